// QORUX: the dialog helpers of the product's dialogs, over the window layer.
#include <map>

#include "qorul.h"
#include "qorux.h"
#include "qorwindow.h"

namespace {
// Decoration asked for by UX_paintdialog, by window (tests and the text front end read it).
std::map<HWND, std::pair<int16_t, int16_t>>& decorations() {
    static std::map<HWND, std::pair<int16_t, int16_t>> d;
    return d;
}
}  // namespace

int16_t UX_initdialog(uint32_t, HWND dialog) {
    if (!IsWindow(dialog)) return UL_E_BADARG;
    RECT me{}, over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWindowRect(dialog, &me);
    HWND owner = GetParent(dialog);
    if (owner && IsWindow(owner)) GetWindowRect(owner, &over);
    const int w = me.right - me.left, h = me.bottom - me.top;
    int x = over.left + ((over.right - over.left) - w) / 2;
    int y = over.top + ((over.bottom - over.top) - h) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    MoveWindow(dialog, x, y, w, h, FALSE);
    return 0;
}

INT_PTR UX_paintdialog(uint32_t, HWND dialog, int16_t first, int16_t second) {
    PAINTSTRUCT ps;
    if (!BeginPaint(dialog, &ps)) return FALSE;
    decorations()[dialog] = {first, second};
    EndPaint(dialog, &ps);
    return TRUE;
}

INT_PTR UX_erasebkgnd(uint32_t, HWND, WPARAM) { return TRUE; }

INT_PTR UX_defdialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_ERASEBKGND) return UX_erasebkgnd(0, dialog, wParam);
    if (message == WM_NCDESTROY) decorations().erase(dialog);
    return FALSE;
}

int16_t UX_activate(uint32_t host, HWND window, WPARAM wParam, int16_t number) {
    if (LOWORD(wParam) != WA_INACTIVE) return UL_registerwindow(host, number, window);
    HWND registered = nullptr;
    UL_getwindow(host, number, &registered);
    if (registered == window) return UL_registerwindow(host, number, nullptr);
    return 0;
}

int16_t UX_closedialog(uint32_t, HWND window) {
    if (!IsWindow(window)) return UL_E_BADARG;
    ShowWindow(window, SW_HIDE);
    return 0;
}

int16_t UX_dialogready(uint32_t host, HWND window) {
    UL_waitcursor(host, 0);
    if (IsWindow(window)) UpdateWindow(window);
    return 0;
}

void UX_lastdecoration(HWND dialog, int16_t* first, int16_t* second) {
    auto it = decorations().find(dialog);
    if (first) *first = it == decorations().end() ? 0 : it->second.first;
    if (second) *second = it == decorations().end() ? 0 : it->second.second;
}
