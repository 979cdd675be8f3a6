#include "qorul.h"
#include "qorut.h"
#include "qorwin32.h"

int16_t UT_makefont(uint32_t, const char* face, int16_t height, int16_t width, int16_t weight,
                    uint16_t flags, HFONT* font) {
    if (!font) return UL_E_BADARG;
    *font = nullptr;
    HFONT f = CreateFontA(height, width, 0, 0, weight, (flags & UT_FONT_ITALIC) ? 1 : 0,
                          (flags & UT_FONT_UNDERLINE) ? 1 : 0, 0, 0, 0, 0, 0, 0, face ? face : "");
    if (!f) return UL_E_NOMEM;
    *font = f;
    return 0;
}
