// Error log, status texts, messages and questions.
//
// Messages go to the installed UI driver. A language text used as a message format is never
// handed to printf: its one "%s" is replaced here, so a translation holding other '%' signs
// cannot read arguments that are not there.
#include <string>

#include "qorui.h"
#include "qorul.h"
#include "ul_internal.h"

namespace {

constexpr uint16_t kCaption = 100;  // the application caption

// The language text that explains a status: the library's and the utility codes under their
// own number, the record store's negative codes -n under 29800 + n.
bool statusNumber(int16_t status, uint16_t* number) {
    if (status > 0) {
        *number = static_cast<uint16_t>(status);
        return true;
    }
    if (status < 0 && status >= -199) {
        *number = static_cast<uint16_t>(29800 - status);
        return true;
    }
    return false;
}

std::string statusText(int16_t status) {
    uint16_t number = 0;
    if (statusNumber(status, &number)) {
        if (const std::string* text = qorul::internal::languageText(number, nullptr)) return *text;
    }
    return "status " + std::to_string(status);
}

std::string caption() {
    const std::string* text = qorul::internal::languageText(kCaption, nullptr);
    return text ? *text : std::string("QOR Fax");
}

// Replaces the first "%s" of a language text with `arg`; "%%" becomes "%".
std::string fillFormat(const std::string& fmt, const std::string& arg) {
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            if (fmt[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (fmt[i + 1] == 's' && !used) {
                out += arg;
                used = true;
                ++i;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

}  // namespace

void qorul::internal::errorlogDetail(uint32_t host, const char* operation, int16_t status,
                                     const std::string& detail) {
    std::string line = std::string(operation && *operation ? operation : "?") + " " + std::to_string(status) +
                       " " + statusText(status);
    if (!detail.empty()) line += ": " + detail;
    appendLog("error.log", line);
    UL_trace(host, line.c_str());
}

void UL_errorlog(uint32_t host, const char* operation, int16_t status) {
    qorul::internal::errorlogDetail(host, operation, status, {});
}

int16_t UL_errortext(uint32_t, int16_t status, char* buf, std::size_t bufsize) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    UL_strcopy(buf, bufsize, statusText(status).c_str());
    return 0;
}

int16_t UL_showstatus(uint32_t, int16_t status) {
    if (status == 0 || status == 13000) return 0;  // success and a user's cancel are not errors
    qorui::Driver& ui = qorui::driver();
    ui.beep(MB_ICONERROR);
    ui.messageBox(nullptr, statusText(status), caption(), MB_OK | MB_ICONERROR);
    return 0;
}

int16_t UL_reporterror(uint32_t, uint16_t message, const char* text) {
    int16_t status = 0;
    const std::string* fmt = qorul::internal::languageText(message, &status);
    if (!fmt) return status;
    qorui::Driver& ui = qorui::driver();
    ui.beep(MB_ICONERROR);
    ui.messageBox(nullptr, fillFormat(*fmt, text ? text : ""), caption(), MB_OK | MB_ICONERROR);
    return 0;
}

void UL_progress(uint32_t, const char* what, uint32_t done, uint32_t total) {
    qorui::driver().progress(what ? what : "", done, total);
}

int16_t UL_message(uint32_t host, const char* module, uint16_t number) {
    char text[512];
    int16_t status = UL_loadstring(host, text, module, number);
    if (status != 0) return status;
    qorui::driver().messageBox(nullptr, text, caption(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

int16_t UL_askyesno(uint32_t host, const char* module, uint16_t number, int16_t* answer) {
    if (!answer) return UL_E_BADARG;
    *answer = 0;
    char text[512];
    int16_t status = UL_loadstring(host, text, module, number);
    if (status != 0) return status;
    int id = qorui::driver().messageBox(nullptr, text, caption(), MB_YESNO | MB_ICONQUESTION);
    *answer = id == IDYES ? 1 : 0;
    return 0;
}
