// Exported entry points of the phone book window and its selection dialogs.
#include "exports/guard.h"
#include "phonebook/dialogs/phonemain.h"

using qorsf::guarded;
using qorsf::guardedProc;

QORSF_API int16_t SF_phonemain(uint32_t hHost, PB_ENTRY* entry, uint16_t mode) {
    return guarded("SF_phonemain", [&] { return qorsf::SF_phonemain(hHost, entry, mode); });
}

QORSF_API INT_PTR CALLBACK WN_fsphonemain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsphonemain", [&] { return qorsf::WN_fsphonemain(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_getfromphonebk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_getfromphonebk", [&] { return qorsf::WN_getfromphonebk(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_sfgroupmembers(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_sfgroupmembers", [&] { return qorsf::WN_sfgroupmembers(window, message, wParam, lParam); });
}
