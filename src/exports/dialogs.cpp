// Exported entry points of the library's dialogs: the functions that run them and their dialog
// procedures. A dialog procedure never lets an exception out into the window layer or the host.
#include "ccard/ccard.h"
#include "exports/guard.h"
#include "phonebook/dialogs/dialogs.h"

using qorsf::guarded;
using qorsf::guardedProc;

QORSF_API int16_t SF_setupccard(uint32_t hHost, HWND owner) {
    return guarded("SF_setupccard", [&] { return qorsf::SF_setupccard(hHost, owner); });
}

QORSF_API INT_PTR CALLBACK WN_sfsetupccard(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_sfsetupccard", [&] { return qorsf::WN_sfsetupccard(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_fsaddgroup(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsaddgroup", [&] { return qorsf::WN_fsaddgroup(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_sfprint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_sfprint", [&] { return qorsf::WN_sfprint(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_displayphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_displayphone", [&] { return qorsf::WN_displayphone(window, message, wParam, lParam); });
}
