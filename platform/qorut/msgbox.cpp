// QORUT: message boxes and error messages through the UI driver.
#include <string>

#include "qorsf.h"
#include "qorui.h"
#include "qorul.h"
#include "qorut.h"

namespace {
// The caption of error boxes: the product's name (text 100), or a plain word without it.
std::string productName(uint32_t host) {
    char buf[80] = {};
    if (UL_loadstring(host, buf, "QORLANG", 100) != 0 || buf[0] == '\0') return "QOR Fax";
    return buf;
}
}  // namespace

int16_t UT_msgbox(uint32_t, HWND owner, const char* text, const char* caption, uint16_t style) {
    return static_cast<int16_t>(qorui::driver().messageBox(owner, text ? text : "", caption ? caption : "", style));
}

int16_t UT_showerror(uint32_t host, int16_t status) {
    if (status == 0 || status == SF_CANCELLED) return 0;
    char text[256] = {};
    if (UL_errortext(host, status, text, sizeof text) != 0 || text[0] == '\0')
        UL_strcopy(text, ("Status " + std::to_string(status)).c_str());
    qorui::driver().messageBox(nullptr, text, productName(host), MB_OK | MB_ICONERROR);
    // A window cannot sensibly go on without memory or without its texts.
    if (status == UL_E_NOMEM || status == UL_E_LANGFILE) return status;
    return 0;
}

int16_t UT_statusmsg(uint32_t, const char* text) {
    qorui::driver().status(text ? text : "");
    return 0;
}
