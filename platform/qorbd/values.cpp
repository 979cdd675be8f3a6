#include <string>

#include "qorbd.h"
#include "qorul.h"
#include "qorwin32.h"

namespace {

struct BoardValue {
    int16_t number;
    int16_t fallback;
};

// The values the library asks for, with what a ready board reports.
constexpr BoardValue kValues[] = {
    {5207, 1},
};

}  // namespace

int16_t BD_getvalue(uint32_t host, int16_t number, int16_t board, int16_t* value) {
    if (!value) return UL_E_BADARG;
    *value = 0;
    const BoardValue* known = nullptr;
    for (const BoardValue& v : kValues)
        if (v.number == number) known = &v;
    if (!known || board < 1) return BD_E_NOVALUE;
    char settings[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, settings, 41)) return st;
    const std::string key = (board == 1 ? std::string() : "Board" + std::to_string(board)) + "Value" +
                            std::to_string(number);
    *value = static_cast<int16_t>(GetPrivateProfileIntA("BOARD", key.c_str(), known->fallback, settings));
    return 0;
}
