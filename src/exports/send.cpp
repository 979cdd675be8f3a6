// Exported entry points of sending: job submission, spooled copies, the folder send and the
// interactive send flows with the send dialog.
#include "exports/guard.h"
#include "send/dialogs/senddlg.h"
#include "send/send.h"

using qorsf::guarded;
using qorsf::guardedProc;

QORSF_API int16_t SF_sendfax(uint32_t hHost, const DocumentEntry* documents, int16_t documentCount,
                             const char* number, SendOptions* options) {
    return guarded("SF_sendfax",
                   [&] { return qorsf::SF_sendfax(hHost, documents, documentCount, number, options); });
}

QORSF_API int16_t SF_makecopy(uint32_t hHost, char* path, int16_t index, int16_t* copied) {
    return guarded("SF_makecopy", [&] { return qorsf::SF_makecopy(hHost, path, index, copied); });
}

QORSF_API int16_t SF_faxfolder(uint32_t hHost, const char* const* numbers, uint16_t count, SendOptions* options) {
    return guarded("SF_faxfolder", [&] { return qorsf::SF_faxfolder(hHost, numbers, count, options); });
}

// ---- The interactive send: the send dialog, then the jobs.

QORSF_API int16_t SF_wndsend(uint32_t hHost, uint16_t flags) {
    return guarded("SF_wndsend", [&] { return qorsf::SF_wndsend(hHost, flags); });
}

QORSF_API int16_t SF_sendfolder(uint32_t hHost, uint32_t unused) {
    return guarded("SF_sendfolder", [&] { return qorsf::SF_sendfolder(hHost, unused); });
}

QORSF_API int16_t SF_wnddsend(uint32_t hHost, const char* file, int16_t pages) {
    return guarded("SF_wnddsend", [&] { return qorsf::SF_wnddsend(hHost, file, pages); });
}

QORSF_API INT_PTR CALLBACK WN_fsgetphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return guardedProc("WN_fsgetphone", [&] { return qorsf::WN_fsgetphone(window, message, wParam, lParam); });
}
