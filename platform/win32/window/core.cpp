// The window table, message delivery, focus and activation, visibility and enabling, window
// texts and longs, painting, timers, the pump, and the small system services.
#include <algorithm>
#include <cstring>

#include "qorui.h"
#include "qorul_control.h"
#include "qorwingdi.h"
#include "window_internal.h"

namespace qorwin::detail {

State& state() {
    static State s;
    return s;
}

Window* find(HWND h) {
    if (!h) return nullptr;
    State& s = state();
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(h));
    return it == s.windows.end() ? nullptr : it->second.get();
}

Guard::Guard() { ++state().depth; }
Guard::~Guard() {
    State& s = state();
    if (--s.depth == 0) s.graveyard.clear();
}

Window* create(Kind kind, const std::string& cls) {
    State& s = state();
    auto w = std::make_unique<Window>();
    // Handles count up in steps of 4 from a value far from null and small integers; a handle is
    // never given twice, so a stale one finds no window.
    const uintptr_t h = s.next;
    s.next += 4;
    w->self = reinterpret_cast<HWND>(h);
    w->kind = kind;
    w->cls = cls;
    Window* raw = w.get();
    s.windows.emplace(h, std::move(w));
    return raw;
}

HWND topLevel(HWND h) {
    Window* w = find(h);
    while (w && w->parent) {
        Window* p = find(w->parent);
        if (!p) break;
        w = p;
    }
    return w ? w->self : nullptr;
}

bool usable(const Window* w) {
    for (const Window* x = w; x; x = find(x->parent)) {
        if (!x->alive || !x->visible || !x->enabled) return false;
        if (!x->parent) break;
    }
    return w != nullptr;
}

LRESULT dispatch(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    if (!w || !w->alive) return 0;
    switch (w->kind) {
        case Kind::Dialog: return dialogProc(w, m, wp, lp);
        case Kind::Button: return buttonProc(w, m, wp, lp);
        case Kind::Edit: return editProc(w, m, wp, lp);
        case Kind::Static: return staticProc(w, m, wp, lp);
        case Kind::ListBox: {
            // An owner-drawn list draws the items whose selection or focus a message changed.
            SelectionWatch watch(m == WM_PAINT ? nullptr : w);
            return listProc(w, m, wp, lp);
        }
        case Kind::ComboBox: return comboProc(w, m, wp, lp);
        case Kind::Spin: return spinProc(w, m, wp, lp);
        case Kind::Viewer: return viewerProc(w, m, wp, lp);
        case Kind::Main:
            if (w->proc) return w->proc(w->self, m, wp, lp);
            return DefWindowProcA(w->self, m, wp, lp);
        default:
            // A control of a registered class runs its own procedure.
            if (w->proc) return w->proc(w->self, m, wp, lp);
            return commonProc(w, m, wp, lp);
    }
}

void notify(const Window* control, WORD code) {
    if (!control || !control->parent) return;
    const HWND self = control->self;
    const HWND parent = control->parent;
    const int id = control->id;
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(self));
}

// Makes `top` the active window: the window that loses it and then the one that gains it get
// WM_ACTIVATE (a dialog's default handling gives the focus back to its last control).
void activate(HWND top) {
    State& s = state();
    if (s.active == top) return;
    const HWND old = s.active;
    s.active = top;
    if (Window* t = find(top)) t->activated = ++s.activation;
    if (find(old)) SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
    if (find(top) && s.active == top) SendMessageA(top, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

// Whether `h` lies in the window tree of `root`.
bool within(HWND h, HWND root) {
    for (Window* w = find(h); w; w = find(w->parent)) {
        if (w->self == root) return true;
        if (!w->parent) break;
    }
    return false;
}

// A top-level window that goes away (hidden, destroyed): the focus leaves it and its owner, when
// it can, becomes active again.
void deactivate(Window* w) {
    State& s = state();
    const HWND self = w->self;
    if (s.focus && within(s.focus, self)) SetFocus(nullptr);
    if (s.active != self) return;
    Window* owner = find(w->owner);
    if (owner && owner->visible && owner->enabled)
        activate(owner->self);
    else
        activate(nullptr);
}

LRESULT commonProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case WM_SETTEXT:
            w->text = lp ? reinterpret_cast<const char*>(lp) : "";
            invalidate(w);
            return TRUE;
        case WM_GETTEXT: {
            if (wp == 0 || !lp) return 0;
            char* out = reinterpret_cast<char*>(lp);
            std::size_t n = std::min<std::size_t>(w->text.size(), wp - 1);
            std::memcpy(out, w->text.data(), n);
            out[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
        case WM_SETFONT: w->font = reinterpret_cast<HFONT>(wp); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
        case WM_PAINT: {
            if (w->parent && w->kind != Kind::Generic) {
                paintControl(w);
                return 0;
            }
            PAINTSTRUCT ps;
            BeginPaint(w->self, &ps);
            EndPaint(w->self, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(w->self, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_CLOSE:
            if (w->kind == Kind::Main) DestroyWindow(w->self);
            return 0;
        default: return 0;
    }
}

void destroyTree(HWND h) {
    State& s = state();
    Window* w = find(h);
    if (!w) return;
    SendMessageA(h, WM_DESTROY, 0, 0);
    if ((w = find(h)) == nullptr) return;
    std::vector<HWND> kids = w->children;
    for (HWND c : kids) destroyTree(c);
    if ((w = find(h)) == nullptr) return;
    SendMessageA(h, WM_NCDESTROY, 0, 0);
    if ((w = find(h)) == nullptr) return;
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.window == h; }),
                   s.timers.end());
    if (w->ownFont) DeleteObject(w->ownFont);
    w->ownFont = nullptr;
    if (Window* p = find(w->parent)) p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
    if (!w->parent) dropCanvas(h);
    if (s.focus == h) s.focus = nullptr;
    if (s.active == h) s.active = nullptr;
    w->alive = false;
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(h));
    s.graveyard.push_back(std::move(it->second));
    s.windows.erase(it);
}

void destroyAll() {
    State& s = state();
    for (auto& [h, w] : s.windows) {
        if (w->ownFont) DeleteObject(w->ownFont);
        w->alive = false;
        if (s.depth > 0) s.graveyard.push_back(std::move(w));
    }
    s.windows.clear();
    dropAllCanvases();
    if (s.depth == 0) s.graveyard.clear();
    s.posted.clear();
    s.timers.clear();
    s.focus = nullptr;
    s.active = nullptr;
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

namespace {

// The sort weights of one character of the Latin-1 code page: a primary weight (class and
// letter), an accent weight, and the characters a letter expands to (the ligatures).
struct Weight {
    int primary = 0;
    int accent = 0;
};

int letterWeight(char c) { return 3000 + (c - 'a') * 10; }

// Appends the primary weights of `c` (0 weights are ignorable: hyphen, apostrophe, soft hyphen).
void weigh(unsigned char c, std::vector<Weight>& out, int& ignorables) {
    if (c == '-' || c == '\'' || c == 0xAD) {
        ++ignorables;
        return;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
    if (c >= 'a' && c <= 'z') {
        out.push_back({letterWeight(static_cast<char>(c)), 0});
        return;
    }
    if (c >= '0' && c <= '9') {
        out.push_back({2000 + (c - '0'), 0});
        return;
    }
    if (c >= 0xC0) {
        if (c == 0xD7 || c == 0xF7) {  // multiplication and division signs: symbols
            out.push_back({1000 + c, 0});
            return;
        }
        const unsigned char lower = (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? static_cast<unsigned char>(c + 32) : c;
        // The base letter of each Latin-1 letter from 0xE0 to 0xFF, with its accent.
        static const char base[] = "aaaaaaeceeeeiiiidnooooo/ouuuuyts";
        static const char* const rest = "y";  // 0xFF
        if (lower == 0xE6) {  // ae
            out.push_back({letterWeight('a'), 0});
            out.push_back({letterWeight('e'), 0});
            return;
        }
        if (lower == 0xDF) {  // sharp s
            out.push_back({letterWeight('s'), 0});
            out.push_back({letterWeight('s'), 0});
            return;
        }
        if (lower == 0xFE) {  // thorn sorts after z
            out.push_back({letterWeight('z') + 5, 0});
            return;
        }
        const char b = lower == 0xFF ? rest[0] : base[lower - 0xE0];
        out.push_back({letterWeight(b), 1 + (lower - 0xE0)});
        return;
    }
    if (c == 0xAA || c == 0xBA) {  // ordinal indicators: a and o
        out.push_back({letterWeight(c == 0xAA ? 'a' : 'o'), 40});
        return;
    }
    if (c == 0xB5) {  // micro sign: among the letters after z
        out.push_back({letterWeight('z') + 6, 0});
        return;
    }
    // Controls, blanks, punctuation and symbols come before digits, in their code order.
    out.push_back({1000 + c, 0});
}

}  // namespace

int compareText(const std::string& a, const std::string& b) {
    std::vector<Weight> wa, wb;
    int ia = 0, ib = 0;
    for (char c : a) weigh(static_cast<unsigned char>(c), wa, ia);
    for (char c : b) weigh(static_cast<unsigned char>(c), wb, ib);
    const std::size_t n = std::min(wa.size(), wb.size());
    for (std::size_t i = 0; i < n; ++i)
        if (wa[i].primary != wb[i].primary) return wa[i].primary < wb[i].primary ? -1 : 1;
    if (wa.size() != wb.size()) return wa.size() < wb.size() ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i)
        if (wa[i].accent != wb[i].accent) return wa[i].accent < wb[i].accent ? -1 : 1;
    if (ia != ib) return ia < ib ? -1 : 1;
    return 0;
}

int64_t nowMs() { return static_cast<int64_t>(qorul::clockNow()) * 1000; }

}  // namespace qorwin::detail

using namespace qorwin::detail;

// ---------------------------------------------------------------- messages

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Guard g;
    Window* w = find(window);
    if (!w) return 0;
    return dispatch(w, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) return TRUE;  // a thread message: there is no thread loop to take it
    if (!find(window)) return FALSE;
    state().posted.push_back({window, message, wParam, lParam});
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Guard g;
    Window* w = find(window);
    if (!w) return 0;
    return commonProc(w, message, wParam, lParam);
}

BOOL IsWindow(HWND window) { return find(window) ? TRUE : FALSE; }

HWND GetParent(HWND window) {
    Window* w = find(window);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

BOOL IsChild(HWND parent, HWND window) {
    if (!find(parent) || window == parent) return FALSE;
    return within(window, parent) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window) {
    Guard g;
    Window* w = find(window);
    if (!w) return FALSE;
    State& s = state();
    // Owned windows go first, as on Windows.
    std::vector<HWND> owned;
    for (auto& [h, x] : s.windows)
        if (x->owner == window) owned.push_back(x->self);
    for (HWND o : owned) DestroyWindow(o);
    if ((w = find(window)) == nullptr) return TRUE;
    if (!w->parent && w->visible) {
        w->visible = false;
        deactivate(w);
    } else if (s.focus && within(s.focus, window)) {
        SetFocus(nullptr);
    }
    destroyTree(window);
    return TRUE;
}

// ---------------------------------------------------------------- state of windows

BOOL EnableWindow(HWND window, BOOL enable) {
    Guard g;
    Window* w = find(window);
    if (!w) return FALSE;
    const BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    const bool on = enable != FALSE;
    if (w->enabled == on) return wasDisabled;
    if (!on) SendMessageA(window, WM_CANCELMODE, 0, 0);
    if ((w = find(window)) == nullptr) return wasDisabled;
    w->enabled = on;
    invalidate(w);
    if (!on && state().focus == window) SetFocus(nullptr);  // a disabled window cannot keep the focus
    SendMessageA(window, WM_ENABLE, on ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    Window* w = find(window);
    return w && w->enabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    Guard g;
    Window* w = find(window);
    if (!w) return FALSE;
    const BOOL was = w->visible ? TRUE : FALSE;
    const bool show = command != SW_HIDE;
    if (w->visible == show) return was;
    SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if ((w = find(window)) == nullptr) return was;
    w->visible = show;
    invalidate(w);
    if (w->parent && !show) invalidate(find(topLevel(window)));  // what it covered is painted again
    if (!w->parent) {
        if (show) {
            w->invalid = w->erase = true;
            if (command != SW_SHOWNA && w->enabled) activate(window);
        } else {
            deactivate(w);
        }
    } else if (!show && state().focus && within(state().focus, window)) {
        SetFocus(w->parent);  // the focus goes up to the dialog, which passes it on
    }
    return was;
}

BOOL IsWindowVisible(HWND window) {
    for (Window* w = find(window); w; w = find(w->parent)) {
        if (!w->visible) return FALSE;
        if (!w->parent) return TRUE;
    }
    return FALSE;
}

HWND SetFocus(HWND window) {
    Guard g;
    State& s = state();
    const HWND prev = s.focus;
    if (window) {
        Window* w = find(window);
        if (!w || !w->enabled) return nullptr;
        const HWND top = topLevel(window);
        if (s.active != top) {
            // Activating for a focus change: the window's saved focus is not restored on the way.
            s.activatingForFocus = true;
            activate(top);
            s.activatingForFocus = false;
        }
        if (!find(window)) return nullptr;
    }
    if (s.focus == window) return prev;
    const HWND old = s.focus;
    if (old && find(old)) {
        SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
        if (s.focus != old) return prev;  // the handler moved the focus itself
    }
    s.focus = window;
    if (window) {
        if (Window* t = find(topLevel(window))) t->lastFocus = window;
        if (find(window)) SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return prev;
}

HWND GetFocus() { return state().focus; }

HWND GetActiveWindow() { return state().active; }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!find(window)) return FALSE;
    return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
    if (!text || size <= 0) return 0;
    text[0] = '\0';
    if (!find(window)) return 0;
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthA(HWND window) {
    if (!find(window)) return 0;
    return static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    Window* w = find(window);
    if (!w) return 0;
    if (w->kind == Kind::Dialog) {
        if (index == DWLP_MSGRESULT) return w->msgResult;
        if (index == DWLP_USER) return w->dlgUser;
        if (index == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dlgProc);
    }
    switch (index) {
        case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
        case GWLP_ID: return w->id;
        case GWLP_USERDATA: return w->userData;
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
        default: return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Window* w = find(window);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrA(window, index);
    if (w->kind == Kind::Dialog && index == DWLP_MSGRESULT) {
        w->msgResult = value;
        w->msgResultSet = true;
        return old;
    }
    if (w->kind == Kind::Dialog && index == DWLP_USER) {
        w->dlgUser = value;
        return old;
    }
    switch (index) {
        case GWL_STYLE: {
            w->style = static_cast<DWORD>(value);
            w->enabled = (w->style & WS_DISABLED) == 0;
            w->visible = (w->style & WS_VISIBLE) != 0;
            break;
        }
        case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
        case GWLP_ID: w->id = static_cast<int>(value); break;
        case GWLP_USERDATA: w->userData = value; break;
        default: return 0;
    }
    return old;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    Window* w = find(window);
    if (!w || !rect) return FALSE;
    RECT r = w->rect;
    for (Window* p = find(w->parent); p; p = find(p->parent)) {
        r.left += p->rect.left;
        r.right += p->rect.left;
        r.top += p->rect.top;
        r.bottom += p->rect.top;
        if (!p->parent) break;
    }
    *rect = r;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Window* w = find(window);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
    Guard g;
    Window* w = find(window);
    if (!w) return FALSE;
    const RECT old = w->rect;
    RECT r = old;
    if (!(flags & SWP_NOMOVE)) {
        r.right = x + (r.right - r.left);
        r.bottom = y + (r.bottom - r.top);
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    w->rect = r;
    // The text picture places controls in dialog units: a pixel is half a unit both ways.
    w->dlu = RECT{r.left / 2, r.top / 2, r.right / 2, r.bottom / 2};
    const bool moved = r.left != old.left || r.top != old.top;
    const bool sized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
    if (!(flags & SWP_NOREDRAW) && (moved || sized)) {
        w->invalid = true;
        if (Window* t = find(topLevel(window)); t && t != w) t->invalid = t->erase = true;
    }
    if (moved) SendMessageA(window, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (sized && find(window)) SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    if ((flags & SWP_SHOWWINDOW) && find(window)) ShowWindow(window, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if ((flags & SWP_HIDEWINDOW) && find(window)) ShowWindow(window, SW_HIDE);
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    RECT r;
    if (!point || !GetWindowRect(window, &r)) return FALSE;
    point->x += r.left;
    point->y += r.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    RECT r;
    if (!point || !GetWindowRect(window, &r)) return FALSE;
    point->x -= r.left;
    point->y -= r.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    // A null window is the screen.
    RECT a{0, 0, 0, 0}, b{0, 0, 0, 0};
    if ((from && !GetWindowRect(from, &a)) || (to && !GetWindowRect(to, &b))) return 0;
    const LONG dx = a.left - b.left, dy = a.top - b.top;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(static_cast<short>(dx)), static_cast<WORD>(static_cast<short>(dy)));
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
    Window* w = find(window);
    if (!w) return FALSE;
    w->invalid = true;
    if (erase) w->erase = true;
    return TRUE;
}

namespace {
// Paints a top-level window that needs it and then its controls: all of them after the window
// itself was painted (its background covers them), else the ones marked.
bool paintTree(HWND top) {
    Window* w = find(top);
    if (!w || !w->visible) return false;
    bool any = w->invalid;
    for (HWND h : w->children)
        if (Window* c = find(h); c && c->invalid && c->visible) any = true;
    if (!any) return false;
    const bool whole = w->invalid;
    if (whole) {
        SendMessageA(top, WM_PAINT, 0, 0);
        if ((w = find(top)) == nullptr) return true;
        w->invalid = w->erase = false;
    }
    std::vector<HWND> kids = w->children;
    for (HWND h : kids) {
        Window* c = find(h);
        if (!c || !c->visible || !(whole || c->invalid)) continue;
        c->invalid = false;
        SendMessageA(h, WM_PAINT, 0, 0);
        if ((c = find(h)) != nullptr) c->invalid = c->erase = false;
    }
    return true;
}
}  // namespace

BOOL UpdateWindow(HWND window) {
    Guard g;
    Window* w = find(topLevel(window));
    if (!w) return FALSE;
    paintTree(w->self);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    Window* w = find(window);
    if (!w) return nullptr;
    const bool erase = w->erase;
    w->invalid = w->erase = false;
    HDC dc = paintDC(window);
    if (erase) SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    if (paint) {
        paint->hdc = dc;
        paint->fErase = FALSE;
        GetClientRect(window, &paint->rcPaint);
    }
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) releaseDC(paint->hdc);
    return TRUE;
}

HWND GetLastActivePopup(HWND owner) {
    if (!find(owner)) return owner;
    Window* best = nullptr;
    for (auto& [h, w] : state().windows)
        if (w->owner == owner && !w->parent && w->visible && (!best || w->activated > best->activated)) best = w.get();
    return best ? best->self : owner;
}

// ---------------------------------------------------------------- timers and the pump

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    State& s = state();
    if (window && !find(window)) return 0;
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, 0x7FFFFFFF);
    if (!window) {
        auto it = std::find_if(s.timers.begin(), s.timers.end(),
                               [&](const Timer& t) { return !t.window && t.id == id; });
        if (it == s.timers.end()) id = s.nextTimerId++;
    }
    for (Timer& t : s.timers) {
        if (t.window == window && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = nowMs() + elapse;
            return window ? (id ? id : 1) : id;
        }
    }
    s.timers.push_back({window, id, elapse, proc, nowMs() + elapse});
    return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    State& s = state();
    auto it = std::find_if(s.timers.begin(), s.timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == s.timers.end()) return FALSE;
    s.timers.erase(it);
    return TRUE;
}

namespace qorwin {

bool pumpOne() {
    Guard g;
    State& s = state();
    // Posted messages first, then paints, then timers: the Win32 order.
    while (!s.posted.empty()) {
        Posted p = s.posted.front();
        s.posted.pop_front();
        if (Window* w = find(p.window)) {
            dispatch(w, p.message, p.wParam, p.lParam);
            return true;
        }
    }
    std::vector<HWND> tops;
    for (auto& [h, w] : s.windows)
        if (!w->parent && w->visible) tops.push_back(w->self);
    for (HWND t : tops)
        if (paintTree(t)) return true;
    const int64_t now = nowMs();
    Timer* due = nullptr;
    for (Timer& t : s.timers)
        if (t.due <= now && (!due || t.due < due->due)) due = &t;
    if (due) {
        // A late timer fires once and starts its period again from now, as Win32 timers do.
        due->due = now + due->elapse;
        const Timer t = *due;
        if (t.proc)
            t.proc(t.window, WM_TIMER, t.id, static_cast<DWORD>(now));
        else
            SendMessageA(t.window, WM_TIMER, t.id, 0);
        return true;
    }
    return false;
}

int timerWait() {
    const State& s = state();
    if (s.timers.empty()) return -1;
    int64_t soonest = s.timers.front().due;
    for (const Timer& t : s.timers) soonest = std::min(soonest, t.due);
    const int64_t wait = soonest - nowMs();
    return wait <= 0 ? 0 : static_cast<int>(std::min<int64_t>(wait, 0x7FFFFFFF));
}

int pump() {
    int n = 0;
    // A window that posts to itself at every message would never let the pump end.
    constexpr int kMost = 1000000;
    while (n < kMost && pumpOne()) ++n;
    return n;
}

std::size_t liveWindows() { return state().windows.size(); }

void resetWindows() { destroyAll(); }

std::string className(HWND window) {
    Window* w = find(window);
    return w ? w->cls : std::string();
}

int templateNumber(HWND dialog) {
    Window* w = find(dialog);
    return w ? w->templ : 0;
}

HWND createWindow(const char* title, WNDPROC proc, HWND owner) {
    Guard g;
    Window* w = create(Kind::Main, "QorMain");
    w->text = title ? title : "";
    w->proc = proc;
    w->owner = find(owner) ? owner : nullptr;
    w->style = WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE;
    w->rect = RECT{0, 0, 640, 480};
    w->dlu = RECT{0, 0, 320, 240};
    const HWND h = w->self;
    SendMessageA(h, WM_CREATE, 0, 0);
    if (Window* x = find(h)) {
        x->visible = true;
        x->invalid = x->erase = true;
        activate(h);
    }
    return find(h) ? h : nullptr;
}

}  // namespace qorwin

// ---------------------------------------------------------------- system services

BOOL MessageBeep(UINT type) {
    qorui::driver().beep(type);
    return TRUE;
}

// ---------------------------------------------------------------- registered classes

namespace qorwin::detail {
namespace {
std::map<std::string, WNDPROC>& classes() {
    static std::map<std::string, WNDPROC> c;
    return c;
}
std::string upper(const std::string& s) {
    std::string u;
    for (char c : s) u += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return u;
}
}  // namespace

WNDPROC registeredClass(const std::string& name) {
    auto it = classes().find(upper(name));
    return it == classes().end() ? nullptr : it->second;
}
}  // namespace qorwin::detail

ATOM RegisterClassA(const WNDCLASSA* cls) {
    if (!cls || !cls->lpszClassName || !*cls->lpszClassName || !cls->lpfnWndProc) return 0;
    const std::string name = upper(cls->lpszClassName);
    static const char* const builtin[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "COMBOBOX", "SCROLLBAR", "#32770",
                                          "QORBUTTON", "QORSPIN", "QORMAIN"};
    for (const char* b : builtin)
        if (name == b) return 0;
    auto [it, added] = classes().emplace(name, cls->lpfnWndProc);
    if (!added) return 0;  // a class is registered once
    return static_cast<ATOM>(0xC000 + classes().size());
}
