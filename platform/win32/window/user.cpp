// The scripted user: a person's actions on a dialog, made of the mouse and keyboard messages
// that the controls turn into their notifications.
#include <algorithm>
#include <cstring>

#include "qorul_control.h"
#include "qorwingdi.h"
#include "qorwinuser.h"
#include "window_internal.h"

namespace qorwin {

using namespace detail;

namespace {

std::string& error() {
    static std::string e;
    return e;
}

bool fail(const std::string& why) {
    error() = why;
    return false;
}

// The control a person can act on, or null with the reason in lastError().
Window* control(HWND dialog, int id) {
    error().clear();
    Window* d = find(dialog);
    if (!d) {
        fail("there is no dialog");
        return nullptr;
    }
    HWND h = GetDlgItem(dialog, id);
    Window* w = find(h);
    if (!w) {
        fail("control " + std::to_string(id) + " does not exist");
        return nullptr;
    }
    if (!IsWindowVisible(h)) {
        fail("control " + std::to_string(id) + " is hidden");
        return nullptr;
    }
    if (!usable(w)) {
        fail(w->enabled ? "the dialog of control " + std::to_string(id) + " does not take input"
                        : "control " + std::to_string(id) + " is disabled");
        return nullptr;
    }
    return w;
}

bool typeChars(HWND h, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!find(h)) return fail("the control went away while typing");
        // A line break is one key (Enter), however the text writes it.
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        const char c = text[i] == '\n' ? '\r' : text[i];
        SendMessageA(h, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    return true;
}

bool takesText(const Window* w) {
    return w->kind == Kind::Edit || (w->kind == Kind::ComboBox && comboType(w) != 3);
}

bool listClick(HWND dialog, int id, int index, bool toggle, bool dbl) {
    Window* w = control(dialog, id);
    if (!w) return false;
    const HWND h = w->self;
    if (w->kind != Kind::ListBox && w->kind != Kind::ComboBox)
        return fail("control " + std::to_string(id) + " is no list");
    if (index < 0 || index >= static_cast<int>(w->items.size()))
        return fail("list " + std::to_string(id) + " has no item " + std::to_string(index));
    if (w->kind == Kind::ComboBox) {
        if (toggle) return fail("combo box " + std::to_string(id) + " has a single selection");
        SetFocus(h);
        if (!(w = find(h))) return true;
        if (comboType(w) != 1) {
            // The list drops down, the user clicks the item, the list closes.
            SendMessageA(h, CB_SHOWDROPDOWN, TRUE, 0);
            if (!(w = find(h))) return true;
            w->cur = index;
            notify(w, CBN_SELENDOK);
            if (!(w = find(h))) return true;
            w->dropped = false;
            notify(w, CBN_CLOSEUP);
            if (!(w = find(h))) return true;
        } else {
            w->cur = index;
        }
        if (hasStrings(w)) {
            w->text = w->items[static_cast<std::size_t>(index)].text;
            w->selStart = 0;
            w->selEnd = w->text.size();
        }
        notify(w, CBN_SELCHANGE);
        if (dbl && (w = find(h)) && comboType(w) == 1) notify(w, CBN_DBLCLK);
        return true;
    }
    SetFocus(h);
    if (!(w = find(h))) return true;
    SelectionWatch watch(w);  // an owner-drawn list draws the items the click changed
    const bool multiple = (w->style & LBS_MULTIPLESEL) != 0;
    const bool extended = (w->style & LBS_EXTENDEDSEL) != 0;
    if (multiple || (extended && toggle)) {
        Item& it = w->items[static_cast<std::size_t>(index)];
        it.selected = dbl ? true : !it.selected;
    } else if (extended) {
        for (Item& it : w->items) it.selected = false;
        w->items[static_cast<std::size_t>(index)].selected = true;
    } else {
        if (toggle) return fail("list " + std::to_string(id) + " has a single selection");
        w->cur = index;
    }
    w->caret = index;
    w->anchor = index;
    if (w->style & LBS_NOTIFY) {
        notify(w, LBN_SELCHANGE);
        if (dbl && (w = find(h))) notify(w, LBN_DBLCLK);
    }
    return true;
}

}  // namespace

const std::string& lastError() { return error(); }

bool type(HWND dialog, int id, const std::string& text) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (!takesText(w)) return fail("control " + std::to_string(id) + " takes no typing");
    const HWND h = w->self;
    dialogFocus(h);
    if (!find(h)) return true;
    if (text.empty()) {
        SendMessageA(h, WM_KEYDOWN, VK_DELETE, 0);
        return true;
    }
    return typeChars(h, text);
}

bool append(HWND dialog, int id, const std::string& text) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (!takesText(w)) return fail("control " + std::to_string(id) + " takes no typing");
    const HWND h = w->self;
    SetFocus(h);
    if (Window* x = find(h)) x->selStart = x->selEnd = x->text.size();
    return typeChars(h, text);
}

bool erase(HWND dialog, int id) { return type(dialog, id, std::string()); }

bool paste(HWND dialog, int id, const std::string& text) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (!takesText(w)) return fail("control " + std::to_string(id) + " takes no typing");
    const HWND h = w->self;
    if (GetFocus() != h) SetFocus(h);
    setClipboardText(text);
    SendMessageA(h, WM_PASTE, 0, 0);
    return true;
}

bool key(HWND dialog, int id, UINT virtualKey) {
    Window* w = control(dialog, id);
    if (!w) return false;
    const HWND h = w->self;
    if (GetFocus() != h) SetFocus(h);
    if (find(h)) SendMessageA(h, WM_KEYDOWN, virtualKey, 0);
    return true;
}

int runModeless(HWND window) {
    int actions = 0;
    for (;;) {
        if (!find(window)) return actions;
        if (pumpOne()) continue;
        if (!find(window)) return actions;
        // The user acts on the window that is up: a popup of it when one is open.
        const HWND up = GetLastActivePopup(window);
        if (!qorui::driver().userAction(find(up) ? up : window)) return actions;
        ++actions;
    }
}

bool click(HWND dialog, int id) {
    Window* w = control(dialog, id);
    if (!w) return false;
    const HWND h = w->self;
    if (w->kind == Kind::ListBox || w->kind == Kind::ComboBox || w->kind == Kind::Edit) {
        SetFocus(h);
        return true;
    }
    SendMessageA(h, WM_LBUTTONDOWN, 0, 0);
    SendMessageA(h, WM_LBUTTONUP, 0, 0);
    return true;
}

bool doubleClick(HWND dialog, int id) {
    Window* w = control(dialog, id);
    if (!w) return false;
    const HWND h = w->self;
    if (w->kind == Kind::ListBox || w->kind == Kind::ComboBox) {
        const int sel = selection(dialog, id);
        if (sel < 0) return fail("list " + std::to_string(id) + " has no selected item to double-click");
        return doubleClickItem(dialog, id, sel);
    }
    SendMessageA(h, WM_LBUTTONDOWN, 0, 0);
    SendMessageA(h, WM_LBUTTONUP, 0, 0);
    SendMessageA(h, WM_LBUTTONDBLCLK, 0, 0);
    SendMessageA(h, WM_LBUTTONUP, 0, 0);
    return true;
}

bool selectItem(HWND dialog, int id, int index) { return listClick(dialog, id, index, false, false); }

bool selectItem(HWND dialog, int id, const std::string& text) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (w->kind != Kind::ListBox && w->kind != Kind::ComboBox)
        return fail("control " + std::to_string(id) + " is no list");
    const int i = findItem(w, -1, text.c_str(), true, 0);
    if (i < 0) return fail("list " + std::to_string(id) + " has no item \"" + text + "\"");
    return listClick(dialog, id, i, false, false);
}

bool doubleClickItem(HWND dialog, int id, int index) {
    Window* w = control(dialog, id);
    if (!w) return false;
    const HWND h = w->self;
    // The first click selects; the second is the double click.
    if (!listClick(dialog, id, index, false, false)) return false;
    if (!(w = find(h))) return true;
    if (w->kind == Kind::ComboBox) {
        if (comboType(w) == 1) notify(w, CBN_DBLCLK);
        return true;
    }
    if ((w->style & LBS_MULTIPLESEL)) w->items[static_cast<std::size_t>(index)].selected = true;
    if (w->style & LBS_NOTIFY) notify(w, LBN_DBLCLK);
    return true;
}

bool toggleItem(HWND dialog, int id, int index) { return listClick(dialog, id, index, true, false); }

bool focus(HWND dialog, int id) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (!(w->style & WS_TABSTOP) && w->kind == Kind::Static) return fail("control " + std::to_string(id) + " takes no focus");
    dialogFocus(w->self);
    return true;
}

bool pressEnter(HWND dialog) {
    error().clear();
    if (!find(dialog)) return fail("there is no dialog");
    HWND f = GetFocus();
    Window* fw = find(f);
    if (fw && fw->parent == dialog && fw->kind == Kind::Edit && (fw->style & ES_MULTILINE) && (fw->style & ES_WANTRETURN)) {
        SendMessageA(f, WM_CHAR, '\r', 1);  // the edit keeps Enter: a line break
        return true;
    }
    if (fw && fw->parent == dialog && isPushButton(fw)) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(fw->id, BN_CLICKED), reinterpret_cast<LPARAM>(f));
        return true;
    }
    const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    const int id = HIWORD(def) == DC_HASDEFID ? static_cast<int>(LOWORD(def)) : IDOK;
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) {
        MessageBeep(0);  // a disabled default button: Enter does nothing
        return true;
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

bool pressEscape(HWND dialog) {
    error().clear();
    if (!find(dialog)) return fail("there is no dialog");
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (cancel && !IsWindowEnabled(cancel)) {
        MessageBeep(0);
        return true;
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    return true;
}

bool closeDialog(HWND dialog) {
    error().clear();
    if (!find(dialog)) return fail("there is no dialog");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    return true;
}

bool spin(HWND dialog, int id, int steps) {
    Window* w = control(dialog, id);
    if (!w) return false;
    if (w->kind != Kind::Spin) return fail("control " + std::to_string(id) + " is no spin control");
    const HWND h = w->self;
    const int step = steps > 0 ? 1 : -1;
    for (int i = 0; i != steps; i += step) {
        if (!(w = find(h))) return true;
        const int lo = std::min(w->low, w->high), hi = std::max(w->low, w->high);
        const int next = std::clamp(w->pos + step, lo, hi);
        if (next == w->pos) {
            MessageBeep(0);
            continue;
        }
        w->pos = next;
        notify(w, SPN_CHANGE);
    }
    return true;
}

// ---------------------------------------------------------------- reading

std::string text(HWND dialog, int id) {
    HWND h = GetDlgItem(dialog, id);
    const int n = GetWindowTextLengthA(h);
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    GetWindowTextA(h, s.data(), n + 1);
    s.resize(std::strlen(s.c_str()));
    return s;
}

UINT checkState(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool enabled(HWND dialog, int id) {
    HWND h = GetDlgItem(dialog, id);
    return h && IsWindowEnabled(h);
}
bool visible(HWND dialog, int id) {
    HWND h = GetDlgItem(dialog, id);
    return h && IsWindowVisible(h);
}

std::vector<std::string> items(HWND dialog, int id) {
    std::vector<std::string> out;
    if (Window* w = find(GetDlgItem(dialog, id)))
        for (const Item& it : w->items) out.push_back(hasStrings(w) ? it.text : std::to_string(it.data));
    return out;
}

int selection(HWND dialog, int id) {
    Window* w = find(GetDlgItem(dialog, id));
    if (!w) return -1;
    if (multiSelect(w)) {
        for (std::size_t i = 0; i < w->items.size(); ++i)
            if (w->items[i].selected) return static_cast<int>(i);
        return -1;
    }
    return w->cur;
}

std::vector<int> selections(HWND dialog, int id) {
    std::vector<int> out;
    Window* w = find(GetDlgItem(dialog, id));
    if (!w) return out;
    if (!multiSelect(w)) {
        if (w->cur >= 0) out.push_back(w->cur);
        return out;
    }
    for (std::size_t i = 0; i < w->items.size(); ++i)
        if (w->items[i].selected) out.push_back(static_cast<int>(i));
    return out;
}

int focusId(HWND dialog) {
    Window* f = find(GetFocus());
    return f && f->parent == dialog ? f->id : 0;
}

std::size_t limit(HWND dialog, int id) {
    Window* w = find(GetDlgItem(dialog, id));
    return w ? w->limit : 0;
}

// ---------------------------------------------------------------- the script

Script& Script::add(std::string what, std::function<bool(HWND)> f) {
    qorui::ScriptedDriver* d = &driver_;
    driver_.act([d, what = std::move(what), f = std::move(f)](HWND dialog) {
        if (!f(dialog)) d->failed(what + ": " + lastError());
    });
    return *this;
}

Script& Script::type(int id, std::string t) {
    return add("type into " + std::to_string(id), [id, t](HWND d) { return qorwin::type(d, id, t); });
}
Script& Script::append(int id, std::string t) {
    return add("append to " + std::to_string(id), [id, t](HWND d) { return qorwin::append(d, id, t); });
}
Script& Script::paste(int id, std::string t) {
    return add("paste into " + std::to_string(id), [id, t](HWND d) { return qorwin::paste(d, id, t); });
}
Script& Script::key(int id, UINT virtualKey) {
    return add("key " + std::to_string(virtualKey) + " in " + std::to_string(id),
               [id, virtualKey](HWND d) { return qorwin::key(d, id, virtualKey); });
}
Script& Script::erase(int id) {
    return add("erase " + std::to_string(id), [id](HWND d) { return qorwin::erase(d, id); });
}
Script& Script::click(int id) {
    return add("click " + std::to_string(id), [id](HWND d) { return qorwin::click(d, id); });
}
Script& Script::doubleClick(int id) {
    return add("double-click " + std::to_string(id), [id](HWND d) { return qorwin::doubleClick(d, id); });
}
Script& Script::select(int id, int index) {
    return add("select item " + std::to_string(index) + " of " + std::to_string(id),
               [id, index](HWND d) { return qorwin::selectItem(d, id, index); });
}
Script& Script::select(int id, std::string t) {
    return add("select \"" + t + "\" in " + std::to_string(id), [id, t](HWND d) { return qorwin::selectItem(d, id, t); });
}
Script& Script::doubleClickItem(int id, int index) {
    return add("double-click item " + std::to_string(index) + " of " + std::to_string(id),
               [id, index](HWND d) { return qorwin::doubleClickItem(d, id, index); });
}
Script& Script::toggle(int id, int index) {
    return add("toggle item " + std::to_string(index) + " of " + std::to_string(id),
               [id, index](HWND d) { return qorwin::toggleItem(d, id, index); });
}
Script& Script::focus(int id) {
    return add("focus " + std::to_string(id), [id](HWND d) { return qorwin::focus(d, id); });
}
Script& Script::enter() {
    return add("press Enter", [](HWND d) { return qorwin::pressEnter(d); });
}
Script& Script::escape() {
    return add("press Esc", [](HWND d) { return qorwin::pressEscape(d); });
}
Script& Script::close() {
    return add("close", [](HWND d) { return qorwin::closeDialog(d); });
}
Script& Script::spin(int id, int steps) {
    return add("spin " + std::to_string(id), [id, steps](HWND d) { return qorwin::spin(d, id, steps); });
}
Script& Script::wait(long seconds) {
    return add("wait", [seconds](HWND) {
        qorul::advanceClock(seconds);
        return true;
    });
}
Script& Script::then(std::function<void(HWND dialog)> f) {
    driver_.act(std::move(f));
    return *this;
}
Script& Script::answer(int id) {
    driver_.answer(id);
    return *this;
}

}  // namespace qorwin
