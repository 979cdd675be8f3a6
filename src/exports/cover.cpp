// Exported entry point of the cover page dialog: its dialog procedure. SF_askcover, which runs
// the dialog, is the send dialog's and is not exported.
#include "cover/askcover.h"
#include "exports/guard.h"

using qorsf::guardedProc;

QORSF_API INT_PTR CALLBACK WN_fsaskcover(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsaskcover", [&] { return qorsf::WN_fsaskcover(window, message, wParam, lParam); });
}
