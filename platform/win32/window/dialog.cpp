// The dialog manager: dialogs from the templates of the language module, the modal loop, the
// default dialog handling (DefDlgProc) and the Dlg* services.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "qorlang.h"
#include "qorui.h"
#include "window_internal.h"

namespace qorwin::detail {

namespace {

Kind kindOf(const std::string& cls) {
    if (sameText(cls, "Button") || sameText(cls, "QorButton")) return Kind::Button;
    if (sameText(cls, "Edit")) return Kind::Edit;
    if (sameText(cls, "Static")) return Kind::Static;
    if (sameText(cls, "ListBox")) return Kind::ListBox;
    if (sameText(cls, "ComboBox")) return Kind::ComboBox;
    if (sameText(cls, "ScrollBar")) return Kind::ScrollBar;
    if (sameText(cls, "QorSpin")) return Kind::Spin;
    if (sameText(cls, "QorViewer")) return Kind::Viewer;
    return Kind::Generic;
}

// Dialog units to pixels with the system font's base units (8 x 16): a unit is a quarter of the
// average character width and an eighth of its height.
RECT pixels(int x, int y, int cx, int cy) {
    const LONG base = GetDialogBaseUnits();
    const int bx = base & 0xFFFF, by = (base >> 16) & 0xFFFF;
    return RECT{x * bx / 4, y * by / 8, (x + cx) * bx / 4, (y + cy) * by / 8};
}

uint16_t templateNumber(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return static_cast<uint16_t>(reinterpret_cast<UINT_PTR>(name));
    if (!name) return 0;
    const char* p = name[0] == '#' ? name + 1 : name;
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p || *end != '\0' || v <= 0 || v > 0xFFFF) return 0;
    return static_cast<uint16_t>(v);
}

void createControl(Window* dlg, const qorlang::DialogControl& c) {
    // A registered class (RegisterClassA) runs its own procedure, even over a built-in control
    // of the product (the viewer).
    const WNDPROC custom = registeredClass(c.className);
    const Kind kind = custom ? Kind::Generic : kindOf(c.className);
    Window* w = create(kind, c.className);
    w->proc = custom;
    w->parent = dlg->self;
    w->id = c.id;
    w->style = c.style;
    w->exStyle = c.exStyle;
    w->enabled = (c.style & WS_DISABLED) == 0;
    w->visible = (c.style & WS_VISIBLE) != 0;
    w->rect = pixels(c.x, c.y, c.cx, c.cy);
    w->dlu = RECT{c.x, c.y, c.x + c.cx, c.y + c.cy};
    if (kind == Kind::ListBox || kind == Kind::ComboBox)
        w->itemHeight = 16;
    else
        w->text = c.text;
    dlg->children.push_back(w->self);
    if (custom) SendMessageA(w->self, WM_CREATE, 0, 0);
}

// A fixed-height owner-drawn list asks its parent for the item height once, when it is made.
void measureFixed(HWND dialog) {
    Window* d = find(dialog);
    if (!d) return;
    std::vector<HWND> kids = d->children;
    for (HWND h : kids) {
        Window* w = find(h);
        if (!w) continue;
        const bool fixed = (w->kind == Kind::ListBox && (w->style & LBS_OWNERDRAWFIXED)) ||
                           (w->kind == Kind::ComboBox && (w->style & CBS_OWNERDRAWFIXED));
        if (!fixed) continue;
        MEASUREITEMSTRUCT mi{};
        mi.CtlType = w->kind == Kind::ListBox ? ODT_LISTBOX : ODT_COMBOBOX;
        mi.CtlID = static_cast<UINT>(w->id);
        mi.itemHeight = static_cast<UINT>(w->itemHeight);
        SendMessageA(dialog, WM_MEASUREITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&mi));
        if (Window* x = find(h); x && mi.itemHeight > 0) x->itemHeight = static_cast<int>(mi.itemHeight);
    }
}

// Makes a dialog from its template and sends WM_INITDIALOG. Null when the template is missing or
// the dialog destroyed itself on the way. The dialog is not shown yet.
HWND makeDialog(LPCSTR name, HWND owner, DLGPROC proc, LPARAM param, bool modal, bool* focusAsked) {
    const uint16_t number = templateNumber(name);
    const qorlang::Module* module = qorlang::current();
    const qorlang::DialogTemplate* t = module && number ? module->dialog(number) : nullptr;
    if (!t) return nullptr;
    Window* d = create(Kind::Dialog, "#32770");
    const HWND dialog = d->self;
    d->templ = number;
    d->modal = modal;
    d->owner = find(owner) ? owner : nullptr;  // a host's own marker is no window of ours
    d->style = t->style;
    d->exStyle = t->exStyle;
    d->text = t->caption;
    d->rect = pixels(t->x, t->y, t->cx, t->cy);
    d->dlu = RECT{t->x, t->y, t->x + t->cx, t->y + t->cy};
    d->enabled = (t->style & WS_DISABLED) == 0;
    d->dlgProc = proc;
    if (!t->fontFace.empty()) {
        // Points to pixels at 96 dots per inch, as a negative (character) height.
        d->ownFont = CreateFontA(-(t->fontSize * 96 / 72), 0, 0, 0, t->fontWeight ? t->fontWeight : 400,
                                 t->fontItalic ? 1 : 0, 0, 0, 0, 0, 0, 0, 0, t->fontFace.c_str());
        d->font = d->ownFont;
    }
    for (const qorlang::DialogControl& c : t->controls) createControl(d, c);
    measureFixed(dialog);
    if ((d = find(dialog)) == nullptr) return nullptr;
    if (d->font) {
        std::vector<HWND> kids = d->children;
        for (HWND h : kids) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(d->font), FALSE);
    }
    const HWND first = firstTabStop(dialog);
    const LRESULT r = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!find(dialog)) return nullptr;
    *focusAsked = r != 0;
    return dialog;
}

// Shows a made dialog and gives it the focus, as CreateDialog does after WM_INITDIALOG.
void showDialog(HWND dialog, bool focusAsked) {
    Window* d = find(dialog);
    if (!d || d->ended) return;
    d->visible = true;
    d->invalid = d->erase = true;
    if (focusAsked) {
        if (HWND first = firstTabStop(dialog))
            dialogFocus(first);
        else
            activate(dialog);
    } else if (state().active != dialog && (!state().focus || topLevel(state().focus) != dialog)) {
        activate(dialog);
    }
}

// The dialog is idle with nothing for the user to do: the driver acts; without a user the dialog
// ends as Cancel would (Esc, and IDCANCEL when the dialog does not end on it).
void runModal(HWND dialog) {
    for (;;) {
        Window* d = find(dialog);
        if (!d || d->ended) return;
        if (qorwin::pumpOne()) continue;
        d = find(dialog);
        if (!d || d->ended) return;
        if (qorui::driver().userAction(dialog)) continue;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        d = find(dialog);
        if (d && !d->ended) EndDialog(dialog, IDCANCEL);
    }
}

HWND firstUsableTabStop(Window* d) {
    for (HWND h : d->children) {
        Window* w = find(h);
        if (w && (w->style & WS_TABSTOP) && w->visible && w->enabled) return h;
    }
    return nullptr;
}

HWND defaultButton(HWND dialog) {
    Window* d = find(dialog);
    if (!d) return nullptr;
    if (d->hasDefId) return GetDlgItem(dialog, d->defId);
    for (HWND h : d->children)
        if (Window* w = find(h); w && buttonType(w) == BS_DEFPUSHBUTTON) return h;
    return nullptr;
}

LRESULT defDialog(Window* d, UINT m, WPARAM wp, LPARAM lp) {
    const HWND dialog = d->self;
    switch (m) {
        case WM_CLOSE: {
            // Cancel by the title bar: as the Cancel button, unless that button is disabled.
            HWND cancel = GetDlgItem(dialog, IDCANCEL);
            if (cancel && !IsWindowEnabled(cancel)) {
                MessageBeep(0);
                return 0;
            }
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_GETDEFID: {
            if (d->hasDefId) return MAKELONG(d->defId, DC_HASDEFID);
            HWND def = defaultButton(dialog);
            return def ? MAKELONG(GetDlgCtrlID(def), DC_HASDEFID) : 0;
        }
        case DM_SETDEFID: {
            HWND old = defaultButton(dialog);
            if (Window* o = find(old); o && buttonType(o) == BS_DEFPUSHBUTTON) SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
            if ((d = find(dialog)) == nullptr) return TRUE;
            d->defId = static_cast<int>(wp);
            d->hasDefId = true;
            HWND now = GetDlgItem(dialog, d->defId);
            if (Window* n = find(now); n && isPushButton(n)) SendMessageA(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            return TRUE;
        }
        case WM_NEXTDLGCTL: {
            HWND target = nullptr;
            if (LOWORD(lp)) {
                target = reinterpret_cast<HWND>(wp);
            } else {
                // The next (wParam 0) or previous tab stop after the focus.
                std::vector<HWND> stops;
                for (HWND h : d->children)
                    if (Window* w = find(h); w && (w->style & WS_TABSTOP) && w->visible && w->enabled) stops.push_back(h);
                if (stops.empty()) return 0;
                auto it = std::find(stops.begin(), stops.end(), GetFocus());
                std::size_t i = it == stops.end() ? 0 : static_cast<std::size_t>(it - stops.begin());
                if (it != stops.end()) i = wp ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size();
                target = stops[i];
            }
            if (find(target)) dialogFocus(target);
            return 0;
        }
        case WM_ACTIVATE:
            // Coming back: the focus returns to the control that had it.
            if (LOWORD(wp) != WA_INACTIVE && !state().activatingForFocus) {
                Window* last = find(d->lastFocus);
                if (last && last->alive && last->enabled && IsWindowVisible(last->self))
                    dialogFocus(last->self);
                else if (HWND first = firstUsableTabStop(d))
                    dialogFocus(first);
            }
            return 0;
        case WM_SETFOCUS: {
            // The dialog itself got the focus (a control was hidden): pass it on.
            Window* last = find(d->lastFocus);
            if (last && last->self != dialog && last->enabled && IsWindowVisible(last->self))
                dialogFocus(last->self);
            else if (HWND first = firstUsableTabStop(d))
                dialogFocus(first);
            return 0;
        }
        default: return commonProc(d, m, wp, lp);
    }
}

// The messages whose result the dialog procedure returns itself (the others report through
// DWLP_MSGRESULT on Win32; here a handled message returns what the procedure returned unless it
// set DWLP_MSGRESULT).
bool directResult(UINT m) { return m == WM_INITDIALOG || m == WM_GETDLGCODE || (m >= 0x0132 && m <= 0x0138); }

}  // namespace

HWND firstTabStop(HWND dialog) {
    Window* d = find(dialog);
    if (!d) return nullptr;
    for (HWND h : d->children) {
        Window* w = find(h);
        if (w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && w->enabled) return h;
    }
    return nullptr;
}

void dialogFocus(HWND control) {
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        if (Window* w = find(control); w && w->kind == Kind::ComboBox)
            SendMessageA(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        else
            SendMessageA(control, EM_SETSEL, 0, -1);
    }
    SetFocus(control);
}

LRESULT dialogProc(Window* d, UINT m, WPARAM wp, LPARAM lp) {
    const HWND dialog = d->self;
    INT_PTR r = 0;
    if (d->dlgProc) {
        d->msgResultSet = false;
        r = d->dlgProc(dialog, m, wp, lp);
        d = find(dialog);
        if (!d) return r;
    }
    if (r) {
        if (!directResult(m) && d->msgResultSet) return d->msgResult;
        return r;
    }
    return defDialog(d, m, wp, lp);
}

}  // namespace qorwin::detail

using namespace qorwin::detail;

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    Guard g;
    bool focusAsked = false;
    const HWND dialog = makeDialog(name, owner, proc, param, true, &focusAsked);
    if (!dialog) return -1;
    Window* d = find(dialog);
    // The owner is disabled while the dialog runs and enabled again before the dialog goes.
    Window* o = d ? find(d->owner) : nullptr;
    const HWND ownerWindow = o ? o->self : nullptr;
    bool disabledOwner = false;
    if (d && !d->ended) {
        showDialog(dialog, focusAsked);
        if (o && find(ownerWindow) && IsWindowEnabled(ownerWindow)) {
            EnableWindow(ownerWindow, FALSE);
            disabledOwner = true;
        }
        runModal(dialog);
    }
    INT_PTR result = 0;
    if ((d = find(dialog)) != nullptr) result = d->result;
    if (disabledOwner && find(ownerWindow)) EnableWindow(ownerWindow, TRUE);
    if (find(dialog)) DestroyWindow(dialog);
    return result;
}

HWND CreateDialogParamA(HINSTANCE, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    Guard g;
    bool focusAsked = false;
    const HWND dialog = makeDialog(name, owner, proc, param, false, &focusAsked);
    if (!dialog) return nullptr;
    Window* d = find(dialog);
    if (d && (d->style & WS_VISIBLE)) showDialog(dialog, focusAsked);
    return find(dialog) ? dialog : nullptr;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    Window* d = find(dialog);
    if (!d || d->kind != Kind::Dialog) return FALSE;
    d->ended = true;
    d->result = result;
    return TRUE;
}

LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Guard g;
    Window* d = find(dialog);
    if (!d || d->kind != Kind::Dialog) return DefWindowProcA(dialog, message, wParam, lParam);
    return defDialog(d, message, wParam, lParam);
}

HWND GetDlgItem(HWND dialog, int id) {
    Window* d = find(dialog);
    if (!d) return nullptr;
    for (HWND h : d->children)
        if (Window* w = find(h); w && w->id == id) return h;
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    Window* w = find(window);
    return w && w->parent ? w->id : 0;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    if (!text || size <= 0) return 0;
    text[0] = '\0';
    HWND h = GetDlgItem(dialog, id);
    if (!h) return 0;
    return static_cast<UINT>(GetWindowTextA(h, text, size));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND h = GetDlgItem(dialog, id);
    return h ? SetWindowTextA(h, text) : FALSE;
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND h = GetDlgItem(dialog, id);
    if (!h) return 0;
    const int n = GetWindowTextLengthA(h);
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    GetWindowTextA(h, text.data(), n + 1);
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (isSigned && *p == '-') {
        negative = true;
        ++p;
    }
    if (!(*p >= '0' && *p <= '9')) return 0;
    unsigned long long v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > 0xFFFFFFFFull) return 0;
        ++p;
    }
    if (isSigned) {
        if (negative ? v > 0x80000000ull : v > 0x7FFFFFFFull) return 0;
        if (translated) *translated = TRUE;
        return negative ? static_cast<UINT>(-static_cast<long long>(v)) : static_cast<UINT>(v);
    }
    if (translated) *translated = TRUE;
    return static_cast<UINT>(v);
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    std::string text = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return SetDlgItemTextA(dialog, id, text.c_str());
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND h = GetDlgItem(dialog, id);
    return h ? SendMessageA(h, message, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND h = GetDlgItem(dialog, id);
    if (!h) return FALSE;
    SendMessageA(h, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    HWND h = GetDlgItem(dialog, id);
    return h ? static_cast<UINT>(SendMessageA(h, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    if (!find(dialog)) return FALSE;
    Guard g;
    for (int id = first; id <= last; ++id)
        if (HWND h = GetDlgItem(dialog, id)) SendMessageA(h, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    if (!find(dialog) || !rect) return FALSE;
    *rect = pixels(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    return TRUE;
}
