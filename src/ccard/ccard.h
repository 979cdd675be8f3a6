// The calling card setup: the dialog that edits the two card texts of the parameter record and
// whether each is dialled before or after the number.
#pragma once

#include <cstdint>

#include "qorsf.h"

namespace qorsf {

// Control ids of the calling card dialog (template 2076).
enum : int {
    CC_FIRSTTEXT = 101,
    CC_FIRSTBEFORE = 102,
    CC_FIRSTAFTER = 103,
    CC_SECONDTEXT = 104,
    CC_SECONDBEFORE = 105,
    CC_SECONDAFTER = 106,
    CC_HELP = 4,
};
constexpr uint16_t kCcardTemplate = 2076;
constexpr int16_t kCcardHelp = 609;

// Runs the calling card dialog over `owner` on the calling card block of the parameter record:
// 0 after OK, 13000 after Cancel, 13071 when the dialog cannot be made, 13002 when the library
// is not open, or the status of reading the language module's instance.
int16_t SF_setupccard(uint32_t host, HWND owner);
// The dialog procedure.
INT_PTR WN_sfsetupccard(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qorsf
