// Character class of the current language and the system version.
#include "qorwin32.h"

BOOL IsCharAlphaA(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return TRUE;
    // Latin-1: the accented capitals and small letters (without the multiplication and division
    // signs), and the feminine and masculine ordinals and the micro sign, which are letters too.
    if (c >= 0xC0 && c != 0xD7 && c != 0xF7) return TRUE;
    if (c == 0xAA || c == 0xB5 || c == 0xBA) return TRUE;
    return FALSE;
}

// A fixed Windows-like 4.10: major in the low byte, minor in the next; the high word (build
// and platform bits) stays zero.
DWORD GetVersion() {
    constexpr DWORD major = 4;
    constexpr DWORD minor = 10;
    return major | (minor << 8);
}
