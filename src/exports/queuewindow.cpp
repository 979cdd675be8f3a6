// Exported entry points of the queue window and the details window of a job.
#include "exports/guard.h"
#include "queue/dialogs/queuewindow.h"

using qorsf::guarded;
using qorsf::guardedProc;

QORSF_API int16_t SF_wndqueue(uint32_t hHost, HWND* window) {
    return guarded("SF_wndqueue", [&] { return qorsf::SF_wndqueue(hHost, window); });
}

QORSF_API INT_PTR CALLBACK WN_fsqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsqueue", [&] { return qorsf::WN_fsqueue(window, message, wParam, lParam); });
}

QORSF_API INT_PTR CALLBACK WN_fsdispqueuerec(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsdispqueuerec", [&] { return qorsf::WN_fsdispqueuerec(window, message, wParam, lParam); });
}
