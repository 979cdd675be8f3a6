// Texts: bounded copies, bounded formatting and the language texts of QORLANG.
#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "qorlang.h"
#include "qorul.h"
#include "ul_internal.h"

namespace {
struct TextState {
    bool failureLogged = false;  // a module that cannot be loaded is logged once per load
};
TextState& state() {
    static TextState s;
    return s;
}
}  // namespace

int16_t UL_strcopy(char* dst, std::size_t dstsize, const char* src) {
    if (!dst || dstsize == 0) return UL_E_BADARG;
    if (!src) src = "";
    std::size_t n = std::strlen(src);
    bool cut = n >= dstsize;
    if (cut) n = dstsize - 1;
    std::memmove(dst, src, n);
    dst[n] = '\0';
    return cut ? UL_E_TOOLONG : 0;
}

std::string qorul::internal::format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(ap2);
    return out;
}

const std::string* qorul::internal::languageText(uint16_t number, int16_t* status) {
    std::string error;
    const qorlang::Module* module = qorlang::current(&error);
    if (!module) {
        if (status) *status = UL_E_LANGFILE;
        if (!state().failureLogged) {
            state().failureLogged = true;
            errorlogDetail(0, "UL_loadstring", UL_E_LANGFILE, error);
        }
        return nullptr;
    }
    const std::string* text = module->text(number);
    if (status) *status = text ? 0 : UL_E_NOTEXT;
    return text;
}

void qorul::internal::resetTexts() { state() = TextState{}; }

int16_t UL_loadstring(uint32_t, char* buf, std::size_t bufsize, const char* module, uint16_t number) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    buf[0] = '\0';
    // One language module exists; another name has no texts.
    if (!module || strcasecmp(module, "QORLANG") != 0) return UL_E_NOTEXT;
    int16_t status = 0;
    const std::string* text = qorul::internal::languageText(number, &status);
    if (!text) return status;
    // The callers' buffers are sized for their texts; a longer translation is cut, not refused.
    UL_strcopy(buf, bufsize, text->c_str());
    return 0;
}
