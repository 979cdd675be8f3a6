// The progress window: a modeless window (template 2116) with a title, a line of text, the
// name being worked on, a percentage and a Cancel button. One at a time; UX_progress(90) lets
// the window's messages through and reports a cancel.
#include <string>

#include "qorul.h"
#include "qorux.h"
#include "qorui.h"
#include "qorwindow.h"

namespace {

constexpr int kTemplate = 2116;
constexpr int kText = 101, kName = 102, kPercent = 103;

struct Progress {
    HWND window = nullptr;
    bool cancelled = false;
};

Progress& progress() {
    static Progress p;
    return p;
}

INT_PTR CALLBACK progressProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                progress().cancelled = true;
                SetDlgItemTextA(window, kPercent, "Cancelling...");
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE: progress().cancelled = true; return TRUE;
        default: return FALSE;
    }
}

}  // namespace

int16_t UX_progressopen(uint32_t host, const char* title, const char* text, HWND owner) {
    Progress& p = progress();
    if (p.window && IsWindow(p.window)) DestroyWindow(p.window);
    p = Progress{};
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    p.window = CreateDialogParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                  MAKEINTRESOURCEA(kTemplate), owner, progressProc, 0);
    if (!p.window) return UX_E_NOWINDOW;
    if (title) SetWindowTextA(p.window, title);
    if (text) SetDlgItemTextA(p.window, kText, text);
    ShowWindow(p.window, SW_SHOW);
    return 0;
}

int16_t UX_progressset(uint32_t, int16_t what, const char* text, int16_t value) {
    Progress& p = progress();
    if (!p.window || !IsWindow(p.window)) return 0;
    if (what == 2) {
        SetDlgItemTextA(p.window, kName, text ? text : "");
    } else if (what == 3) {
        const std::string percent = std::to_string(value < 0 ? 0 : value > 100 ? 100 : value) + "%";
        SetDlgItemTextA(p.window, kPercent, percent.c_str());
    } else if (what == 1) {
        SetDlgItemTextA(p.window, kText, text ? text : "");
    }
    return 0;
}

int16_t UX_progress(uint32_t host, int16_t what) {
    Progress& p = progress();
    if (what == 91) {
        if (p.window && IsWindow(p.window)) DestroyWindow(p.window);
        p = Progress{};
        return 0;
    }
    // 90: let the user act (and the host breathe), then tell whether Cancel was pressed.
    UL_yield(host);
    qorwin::pump();
    return p.cancelled ? int16_t{13000} : int16_t{0};
}

HWND UX_progresswindow() {
    Progress& p = progress();
    return p.window && IsWindow(p.window) ? p.window : nullptr;
}
