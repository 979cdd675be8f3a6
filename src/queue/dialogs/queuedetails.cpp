// The details window of one queued job (template 2045): every field of its queue record that
// the library shows, read-only.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "phonebook/phonebook.h"
#include "qorux.h"
#include "qorvq.h"
#include "queue/actions.h"
#include "queue/dialogs/queuewindow.h"

namespace qorsf {

namespace {

constexpr uint16_t kAsSoonAsPossible = 2095;

std::string field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

void setNumber(HWND w, int id, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    SetDlgItemTextA(w, id, text);
}

// Fills the fields; a text that cannot be made ends the window with its status.
int16_t fillDetails(HWND w, const QUEUE_RECORD& r, uint32_t host) {
    const std::string code2 = field(r.code2, sizeof r.code2);
    SetDlgItemTextA(w, QD_CODE, code2.empty() ? "0" : code2.c_str());
    char text[256] = {};
    if (int16_t st = VQ_statustext(host, r.status, text, sizeof text)) return st;
    SetDlgItemTextA(w, QD_STATUS, text);
    const SF_DATETIME& t = r.sendtime;
    if (!t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second) {
        if (int16_t st = UL_loadstring(host, text, kLangModule, kAsSoonAsPossible)) return st;
    } else if (int16_t st = UL_fmtdatetime(host, &t, text, sizeof text)) {
        return st;
    }
    SetDlgItemTextA(w, QD_SENDTIME, text);
    if (r.errorcode != 0) {
        setNumber(w, QD_ERROR, r.errorcode);
        // The engine's reasons are texts of the queue's own; any other code is a status.
        const int16_t code = static_cast<int16_t>(r.errorcode);
        if (UL_errortext(host, code, text, sizeof text) != 0 || !text[0])
            if (int16_t st = VQ_statustext(host, r.errorcode, text, sizeof text)) return st;
        SetDlgItemTextA(w, QD_ERRORTEXT, text);
    }
    char stored[sizeof r.number + 1] = {};
    std::memcpy(stored, r.number, sizeof r.number);
    char prefix[256] = {}, suffix[256] = {}, number[256] = {};
    if (SF_decodephonenum(host, stored, prefix, suffix, number) != 0) UL_strcopy(number, stored);
    SetDlgItemTextA(w, QD_NUMBER, number);
    SetDlgItemTextA(w, QD_OUTCOME, field(r.info6, sizeof r.info6).c_str());
    setNumber(w, QD_PAGESSENT, r.progress1);
    setNumber(w, QD_TRIES, r.progress2);
    setNumber(w, QD_CALLS, r.info1);
    setNumber(w, QD_JOB, static_cast<long long>(SF_jobnumber(r)));
    SetDlgItemTextA(w, QD_JOBFILE, field(r.jobfile, sizeof r.jobfile).c_str());
    SetDlgItemTextA(w, QD_SENDER, field(r.sender, sizeof r.sender).c_str());
    SetDlgItemTextA(w, QD_RECIPIENT, field(r.recipient, sizeof r.recipient).c_str());
    setNumber(w, QD_PAGES, r.info8);
    setNumber(w, QD_BITRATE, r.info3);
    return 0;
}

}  // namespace

INT_PTR WN_fsdispqueuerec(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const uint32_t host = queuewindow().host;
    switch (message) {
        case WM_INITDIALOG: {
            UX_initdialog(host, window);
            const auto* record = reinterpret_cast<const QUEUE_RECORD*>(lParam);
            if (!record) record = &queuewindow().record;
            if (int16_t st = fillDetails(window, *record, host)) EndDialog(window, st);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, 0);
                return TRUE;
            }
            return FALSE;
        case WM_PAINT: return UX_paintdialog(host, window, 20, 37);
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

int16_t SF_queuedetails(uint32_t host, HWND owner, const QUEUE_RECORD* record) {
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    queuewindow().host = host;
    const INT_PTR r = DialogBoxParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                      MAKEINTRESOURCEA(kQueueDetailsTemplate), owner, ::WN_fsdispqueuerec,
                                      reinterpret_cast<LPARAM>(record));
    if (r == -1) return SF_NODIALOG;
    if (r == 1) return SF_CANCELLED;
    return static_cast<int16_t>(r);
}

}  // namespace qorsf
