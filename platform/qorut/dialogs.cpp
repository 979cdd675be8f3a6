// The file questions of QORUT: whether to replace an existing file, and choosing a file. Both go
// through the UI driver that the host installed.
#include <string>

#include "qorui.h"
#include "qorul.h"
#include "qorut.h"

namespace {

// Language text `number` with its one %s replaced by `text` ("%%" gives "%").
std::string formatText(uint32_t host, uint16_t number, const char* text) {
    char fmt[512] = {};
    if (UL_loadstring(host, fmt, "QORLANG", number) != 0) return text ? text : "";
    std::string out;
    bool used = false;
    for (const char* p = fmt; *p; ++p) {
        if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else if (p[0] == '%' && p[1] == 's' && !used) {
            out += text ? text : "";
            used = true;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string caption(uint32_t host) {
    char text[256] = {};
    UL_loadstring(host, text, "QORLANG", 100);
    return text;
}

}  // namespace

int16_t UT_askoverwrite(uint32_t host, const char* path) {
    std::string question = formatText(host, 2305, path);
    int id = qorui::driver().messageBox(nullptr, question, caption(host), MB_YESNOCANCEL | MB_ICONQUESTION);
    if (id == IDYES) return 0;
    if (id == IDNO) return 7;
    return 2;
}

int16_t UT_choosefile(uint32_t, const char* filter, const char* title, int16_t mode, char* path,
                      std::size_t pathsize) {
    if (!path || pathsize == 0) return UL_E_BADARG;
    std::string chosen(path);
    if (!qorui::driver().chooseFile(nullptr, filter ? filter : "", title ? title : "", mode, chosen)) return 13000;
    // A name that does not fit the caller's field is refused rather than cut into another name.
    if (chosen.empty()) return 13000;
    if (chosen.size() >= pathsize) return UL_E_TOOLONG;
    return UL_strcopy(path, pathsize, chosen.c_str());
}

int16_t UT_askstring(uint32_t, HWND owner, const char* prompt, char* text, std::size_t size, const char* title) {
    if (!text || size == 0) return UL_E_BADARG;
    std::string answer(text);
    if (!qorui::driver().askString(owner, prompt ? prompt : "", title ? title : "", answer)) return 13000;
    // An answer that does not fit is refused rather than cut into another text.
    if (answer.size() >= size) return UL_E_TOOLONG;
    return UL_strcopy(text, size, answer.c_str());
}
