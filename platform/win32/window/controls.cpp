// The built-in controls: edit, button (push, default, check, radio, three-state, group box and
// the product's coloured button), static, list box, combo box, and the product's spin control
// and viewer. Each is a window procedure over the window record; notifications go to the
// parent as WM_COMMAND with the Win32 codes and in the Win32 order.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "qorwingdi.h"
#include "window_internal.h"

namespace qorwin::detail {

namespace {

// ---------------------------------------------------------------- edit text (edits and combo boxes)

bool isComboEdit(const Window* w) { return w->kind == Kind::ComboBox; }

// A change of an edit's text: EN_UPDATE then EN_CHANGE (also for a programmatic change). A combo
// box reports only changes made by the user (CBN_EDITUPDATE, CBN_EDITCHANGE).
void keepCaretShown(Window* w);

void textChanged(Window* w, bool byUser) {
    const HWND self = w->self;
    invalidate(w);
    if (w->kind == Kind::Edit && (w->style & ES_MULTILINE)) keepCaretShown(w);
    if (!isComboEdit(w)) {
        notify(w, EN_UPDATE);
        if (Window* x = find(self)) notify(x, EN_CHANGE);
        return;
    }
    if (!byUser) return;
    // What the user types no longer names a list item: the list's selection goes (a dropped
    // list follows the text instead, selecting the first item that begins with it).
    w->cur = w->dropped && !w->text.empty() ? findItem(w, -1, w->text.c_str(), false, 0) : -1;
    notify(w, CBN_EDITUPDATE);
    if (Window* x = find(self)) notify(x, CBN_EDITCHANGE);
}

void setEditText(Window* w, const char* text) {
    w->text = text ? text : "";
    w->selStart = w->selEnd = 0;
    w->modified = false;
}

void setSelection(Window* w, long start, long end) {
    const long len = static_cast<long>(w->text.size());
    if (start == -1) {  // no selection: the caret stays where the selection ended
        w->selStart = w->selEnd;
        return;
    }
    if (end < 0 || end > len) end = len;
    if (start < 0 || start > len) start = len;
    if (start > end) std::swap(start, end);
    w->selStart = static_cast<std::size_t>(start);
    w->selEnd = static_cast<std::size_t>(end);
    if (w->kind == Kind::Edit && (w->style & ES_MULTILINE)) keepCaretShown(w);
    invalidate(w);
}

bool multiLine(const Window* w) { return w->kind == Kind::Edit && (w->style & ES_MULTILINE); }

// Whether a text the user makes still fits the edit: a single-line edit without ES_AUTOHSCROLL
// takes no more than its width, a multi-line one without ES_AUTOVSCROLL no more lines than its
// height shows (measured with its font).
bool fits(const Window* w, const std::string& text) {
    if (w->kind != Kind::Edit) return true;
    const int width = static_cast<int>(w->rect.right - w->rect.left) - 6;
    const int height = static_cast<int>(w->rect.bottom - w->rect.top) - 4;
    if (!(w->style & ES_MULTILINE)) {
        if (w->style & ES_AUTOHSCROLL) return true;
        const std::string shown = (w->style & ES_PASSWORD) ? std::string(text.size(), '*') : text;
        return textWidth(w->font, shown) <= width;
    }
    if (w->style & ES_AUTOVSCROLL) return true;
    Window probe = *w;
    probe.text = text;
    const int lines = static_cast<int>(editLines(&probe).size());
    return lines <= 1 || lines * lineHeight(w->font) <= height;
}

// The first shown line of a multi-line edit follows the caret (ES_AUTOVSCROLL scrolls).
void keepCaretShown(Window* w) {
    const std::vector<EditLine> lines = editLines(w);
    const int caretLine = editLineOf(lines, std::min(w->selEnd, w->text.size()));
    const int rows = std::max(1, static_cast<int>((w->rect.bottom - w->rect.top - 4) / std::max(1, lineHeight(w->font))));
    if (caretLine < w->top) w->top = caretLine;
    if (caretLine >= w->top + rows) w->top = caretLine - rows + 1;
    w->top = std::clamp(w->top, 0, std::max(0, static_cast<int>(lines.size()) - 1));
}

// Replaces the selection with what the user typed or pasted, within the limit and the width;
// false (with EN_MAXTEXT for an edit) when it does not fit.
bool userReplace(Window* w, const std::string& ins) {
    w->selStart = std::min(w->selStart, w->text.size());
    w->selEnd = std::min(std::max(w->selEnd, w->selStart), w->text.size());
    std::string next = w->text;
    next.replace(w->selStart, w->selEnd - w->selStart, ins);
    if (next.size() > w->limit || !fits(w, next)) {
        if (w->kind == Kind::Edit) notify(w, EN_MAXTEXT);
        return false;
    }
    w->text = std::move(next);
    w->selStart = w->selEnd = w->selStart + ins.size();
    w->modified = true;
    textChanged(w, true);
    return true;
}

// One character typed by the user (WM_CHAR), within the limit and the style's rules.
void typeChar(Window* w, char c) {
    if (w->kind == Kind::Edit && (w->style & ES_READONLY)) {
        MessageBeep(0);
        return;
    }
    w->selStart = std::min(w->selStart, w->text.size());
    w->selEnd = std::min(std::max(w->selEnd, w->selStart), w->text.size());
    if (c == '\b') {
        if (w->selStart == w->selEnd) {
            if (w->selStart == 0) return;
            --w->selStart;
            // A line break is one step back: CR and LF go together.
            if (multiLine(w) && w->selStart > 0 && w->text[w->selStart] == '\n' && w->text[w->selStart - 1] == '\r') --w->selStart;
        }
        w->text.erase(w->selStart, w->selEnd - w->selStart);
        w->selEnd = w->selStart;
        w->modified = true;
        textChanged(w, true);
        return;
    }
    if ((c == '\r' || c == '\n') && multiLine(w)) {
        userReplace(w, "\r\n");  // a typed line break is kept as CR LF
        return;
    }
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return;  // Enter and Esc belong to the dialog
    if (c == '\t' && !multiLine(w)) return;
    if (w->kind == Kind::Edit && (w->style & ES_NUMBER) && !(c >= '0' && c <= '9')) {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    const DWORD upper = w->kind == Kind::Edit ? static_cast<DWORD>(ES_UPPERCASE) : static_cast<DWORD>(CBS_UPPERCASE);
    const DWORD lower = w->kind == Kind::Edit ? static_cast<DWORD>(ES_LOWERCASE) : static_cast<DWORD>(CBS_LOWERCASE);
    if (w->style & upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (w->style & lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    userReplace(w, std::string(1, c));
}

void deleteForward(Window* w) {
    if (w->kind == Kind::Edit && (w->style & ES_READONLY)) return;
    if (w->selStart == w->selEnd) {
        if (w->selEnd >= w->text.size()) return;
        ++w->selEnd;
        if (multiLine(w) && w->text[w->selEnd - 1] == '\r' && w->selEnd < w->text.size() && w->text[w->selEnd] == '\n') ++w->selEnd;
    }
    w->text.erase(w->selStart, w->selEnd - w->selStart);
    w->selEnd = w->selStart;
    w->modified = true;
    textChanged(w, true);
}

// The caret keys: the selection collapses and the caret moves by a character (a line break
// counts as one), to the line's ends, or to the same column of the line above or below.
void moveCaret(Window* w, UINT key) {
    std::size_t pos = std::min(w->selEnd, w->text.size());
    const std::string& t = w->text;
    const std::vector<EditLine> lines = editLines(w);
    const int line = editLineOf(lines, pos);
    const EditLine& l = lines[static_cast<std::size_t>(line)];
    switch (key) {
        case VK_LEFT:
            if (w->selStart != w->selEnd) {
                pos = w->selStart;
                break;
            }
            if (pos > 0) --pos;
            if (pos > 0 && t[pos] == '\n' && t[pos - 1] == '\r') --pos;
            break;
        case VK_RIGHT:
            if (w->selStart != w->selEnd) break;
            if (pos < t.size()) ++pos;
            if (pos < t.size() && t[pos] == '\n' && t[pos - 1] == '\r') ++pos;
            break;
        case VK_HOME: pos = l.start; break;
        case VK_END: pos = l.start + l.length; break;
        case VK_UP:
        case VK_DOWN: {
            const int target = line + (key == VK_UP ? -1 : 1);
            if (target < 0 || target >= static_cast<int>(lines.size())) break;
            const EditLine& o = lines[static_cast<std::size_t>(target)];
            pos = o.start + std::min(pos - l.start, o.length);
            break;
        }
        default: return;
    }
    w->selStart = w->selEnd = pos;
    if (multiLine(w)) keepCaretShown(w);
    invalidate(w);
}

LRESULT copyText(const std::string& text, WPARAM size, LPARAM out) {
    if (size == 0 || !out) return 0;
    char* o = reinterpret_cast<char*>(out);
    std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(o, text.data(), n);
    o[n] = '\0';
    return static_cast<LRESULT>(n);
}

// ---------------------------------------------------------------- lists

int insertItem(Window* w, int index, Item item) {
    const int count = static_cast<int>(w->items.size());
    if (index < 0 || index > count) index = count;
    w->items.insert(w->items.begin() + index, std::move(item));
    invalidate(w);
    if (w->cur >= index) ++w->cur;
    if (w->caret >= index && count > 0) ++w->caret;
    if (w->anchor >= index) ++w->anchor;
    return index;
}

// A sorted list puts a new text before the first item that compares equal or greater, so texts
// equal without regard to case go before the ones already there.
int sortedIndex(const Window* w, const std::string& text) {
    int i = 0;
    for (; i < static_cast<int>(w->items.size()); ++i)
        if (compareText(w->items[static_cast<std::size_t>(i)].text, text) >= 0) break;
    return i;
}

void measure(Window* w, int index) {
    const DWORD ownerDrawn = w->kind == Kind::ListBox ? (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)
                                                      : (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE);
    const DWORD variable = w->kind == Kind::ListBox ? static_cast<DWORD>(LBS_OWNERDRAWVARIABLE) : static_cast<DWORD>(CBS_OWNERDRAWVARIABLE);
    if (!(w->style & ownerDrawn) || !(w->style & variable) || !w->parent) return;
    MEASUREITEMSTRUCT mi{};
    mi.CtlType = w->kind == Kind::ListBox ? ODT_LISTBOX : ODT_COMBOBOX;
    mi.CtlID = static_cast<UINT>(w->id);
    mi.itemID = static_cast<UINT>(index);
    mi.itemHeight = static_cast<UINT>(w->itemHeight);
    mi.itemData = static_cast<UINT_PTR>(w->items[static_cast<std::size_t>(index)].data);
    SendMessageA(w->parent, WM_MEASUREITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&mi));
}

int addItem(Window* w, int index, LPARAM lp, bool sorted) {
    Item item;
    if (hasStrings(w))
        item.text = lp ? reinterpret_cast<const char*>(lp) : "";
    else
        item.data = lp;
    if (sorted && hasStrings(w)) index = sortedIndex(w, item.text);
    const HWND self = w->self;
    int at = insertItem(w, index, std::move(item));
    if (Window* x = find(self)) measure(x, at);
    return at;
}

int deleteItem(Window* w, int index) {
    const int count = static_cast<int>(w->items.size());
    if (index < 0 || index >= count) return LB_ERR;
    w->items.erase(w->items.begin() + index);
    invalidate(w);
    if (w->cur == index)
        w->cur = -1;
    else if (w->cur > index)
        --w->cur;
    if (w->caret > index) --w->caret;
    if (w->caret >= count - 1) w->caret = std::max(0, count - 2);
    if (w->anchor == index) w->anchor = -1;
    else if (w->anchor > index) --w->anchor;
    if (w->top >= count - 1) w->top = std::max(0, count - 2);
    return count - 1;
}

LRESULT itemText(const Window* w, int index, LPARAM out) {
    if (index < 0 || index >= static_cast<int>(w->items.size())) return LB_ERR;
    const Item& it = w->items[static_cast<std::size_t>(index)];
    if (!out) return LB_ERR;
    if (!hasStrings(w)) {
        std::memcpy(reinterpret_cast<void*>(out), &it.data, sizeof it.data);
        return sizeof it.data;
    }
    // As on Win32 the buffer must hold the whole text (LB_GETTEXTLEN tells how long it is).
    std::memcpy(reinterpret_cast<char*>(out), it.text.c_str(), it.text.size() + 1);
    return static_cast<LRESULT>(it.text.size());
}

LRESULT itemTextLength(const Window* w, int index) {
    if (index < 0 || index >= static_cast<int>(w->items.size())) return LB_ERR;
    return hasStrings(w) ? static_cast<LRESULT>(w->items[static_cast<std::size_t>(index)].text.size())
                         : static_cast<LRESULT>(sizeof(LPARAM));
}

void showItem(Window* w, int index) {
    if (index < w->top) w->top = index;
    const int rows = std::max(1, static_cast<int>((w->rect.bottom - w->rect.top) / std::max(1, w->itemHeight)));
    if (index >= w->top + rows) w->top = index - rows + 1;
    if (w->top < 0) w->top = 0;
}

void buttonNotify(Window* w, WORD code) {
    if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
        if (!(w->style & BS_NOTIFY)) return;
    }
    notify(w, code);
}

// A button whose state changed: an owner-drawn one is drawn at once by its owner (only the
// part that changed), the others are painted again at the next pump.
void restyle(Window* w, UINT action, int focus = -1) {
    if (ownerDrawn(w))
        drawItem(w, -1, action, focus);
    else
        invalidate(w);
}

// Buttons that report a double click as BN_DOUBLECLICKED; the others take it as a second click.
bool doubleClickKind(const Window* w) {
    const UINT t = buttonType(w);
    return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON || t == BS_USERBUTTON || t == BS_OWNERDRAW ||
           (w->style & BS_NOTIFY);
}

// An automatic radio button that was clicked: every other radio button of its group is cleared.
void clearGroup(Window* w) {
    Window* parent = find(w->parent);
    if (!parent) return;
    const auto& kids = parent->children;
    auto self = std::find(kids.begin(), kids.end(), w->self);
    if (self == kids.end()) return;
    auto first = self;
    while (first != kids.begin()) {
        Window* x = find(*first);
        if (x && (x->style & WS_GROUP)) break;
        --first;
    }
    std::vector<HWND> group;
    for (auto it = first; it != kids.end(); ++it) {
        Window* x = find(*it);
        if (!x) continue;
        if (it != first && (x->style & WS_GROUP)) break;
        if (x->self != w->self && isRadio(x)) group.push_back(x->self);
    }
    for (HWND h : group)
        if (Window* x = find(h); x && x->check) SendMessageA(h, BM_SETCHECK, BST_UNCHECKED, 0);
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

bool hasStrings(const Window* list) {
    if (list->kind == Kind::ListBox)
        return !(list->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (list->style & LBS_HASSTRINGS);
    return !(list->style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (list->style & CBS_HASSTRINGS);
}

bool multiSelect(const Window* list) {
    return list->kind == Kind::ListBox && (list->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
}

// Looks for an item after `start` (-1: from the first), wrapping round to `start` itself: a
// whole text (exact) or a beginning, without regard to case; items without strings compare
// their data.
int findItem(const Window* list, int start, const char* text, bool exact, LPARAM data) {
    const int count = static_cast<int>(list->items.size());
    if (count == 0) return LB_ERR;
    if (start < -1 || start >= count) start = -1;
    const std::string key = text ? text : "";
    // An empty beginning would match every item: Win32 finds nothing for it.
    if (!exact && hasStrings(list) && key.empty()) return LB_ERR;
    for (int k = 1; k <= count; ++k) {
        const int i = (start + k) % count;
        const Item& it = list->items[static_cast<std::size_t>(i)];
        if (!hasStrings(list)) {
            if (it.data == data) return i;
            continue;
        }
        if (exact ? sameText(it.text, key) : (it.text.size() >= key.size() && sameText(it.text.substr(0, key.size()), key)))
            return i;
    }
    return LB_ERR;
}

UINT buttonType(const Window* w) { return w->kind == Kind::Button ? (w->style & BS_TYPEMASK) : 0xFF; }

bool isPushButton(const Window* w) {
    const UINT t = buttonType(w);
    return w->kind == Kind::Button && (t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == 0xA /* push box */);
}
bool isRadio(const Window* w) {
    const UINT t = buttonType(w);
    return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
}
bool isCheck(const Window* w) {
    const UINT t = buttonType(w);
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}

int comboType(const Window* w) { return static_cast<int>(w->style & 3) == 0 ? 1 : static_cast<int>(w->style & 3); }

// ---------------------------------------------------------------- edit

LRESULT editProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case WM_SETTEXT:
            setEditText(w, reinterpret_cast<const char*>(lp));
            textChanged(w, false);
            return TRUE;
        case WM_GETTEXT: return copyText(w->text, wp, lp);
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
        case WM_CHAR: typeChar(w, static_cast<char>(wp)); return 0;
        case WM_KEYDOWN:
            if (wp == VK_DELETE)
                deleteForward(w);
            else
                moveCaret(w, static_cast<UINT>(wp));
            return 0;
        case WM_COPY:
        case WM_CUT: {
            if (w->selEnd <= w->selStart || (w->style & ES_PASSWORD)) return 0;
            qorwin::setClipboardText(w->text.substr(w->selStart, w->selEnd - w->selStart));
            if (m == WM_CUT && !(w->style & ES_READONLY)) userReplace(w, "");
            return 0;
        }
        case WM_CLEAR:
            if (w->selEnd > w->selStart && !(w->style & ES_READONLY)) userReplace(w, "");
            return 0;
        case WM_PASTE: {
            if (w->style & ES_READONLY) return 0;
            std::string t = qorwin::clipboardText();
            if (!multiLine(w)) {
                // A single-line edit takes the clipboard up to its first line break.
                const std::size_t brk = t.find_first_of("\r\n");
                if (brk != std::string::npos) t.resize(brk);
            } else {
                // Lines pasted from elsewhere may end with a bare LF: kept as CR LF.
                std::string crlf;
                for (std::size_t i = 0; i < t.size(); ++i) {
                    if (t[i] == '\n' && (i == 0 || t[i - 1] != '\r')) crlf += '\r';
                    crlf += t[i];
                }
                t = crlf;
            }
            userReplace(w, t);
            return 0;
        }
        case EM_LINEFROMCHAR: {
            const std::vector<EditLine> lines = editLines(w);
            const std::size_t pos = static_cast<int>(wp) < 0 ? w->selStart : std::min<std::size_t>(wp, w->text.size());
            return editLineOf(lines, pos);
        }
        case EM_LINEINDEX: {
            const std::vector<EditLine> lines = editLines(w);
            const int line = static_cast<int>(wp) < 0 ? editLineOf(lines, w->selEnd) : static_cast<int>(wp);
            if (line >= static_cast<int>(lines.size())) return -1;
            return static_cast<LRESULT>(lines[static_cast<std::size_t>(line)].start);
        }
        case EM_LINELENGTH: {
            const std::vector<EditLine> lines = editLines(w);
            if (static_cast<int>(wp) < 0) {
                // The characters of the selection's lines that are not selected.
                const EditLine& a = lines[static_cast<std::size_t>(editLineOf(lines, w->selStart))];
                const EditLine& b = lines[static_cast<std::size_t>(editLineOf(lines, w->selEnd))];
                return static_cast<LRESULT>((w->selStart - a.start) + (b.start + b.length - std::min(w->selEnd, b.start + b.length)));
            }
            if (wp > w->text.size()) return 0;
            return static_cast<LRESULT>(lines[static_cast<std::size_t>(editLineOf(lines, wp))].length);
        }
        case EM_GETLINE: {
            // The first WORD of the buffer holds its size; the line is copied without a NUL.
            if (!lp) return 0;
            const std::vector<EditLine> lines = editLines(w);
            if (wp >= lines.size()) return 0;
            WORD size = 0;
            std::memcpy(&size, reinterpret_cast<const void*>(lp), sizeof size);
            const EditLine& l = lines[wp];
            const std::size_t n = std::min<std::size_t>(l.length, size);
            std::memcpy(reinterpret_cast<char*>(lp), w->text.data() + l.start, n);
            return static_cast<LRESULT>(n);
        }
        case EM_GETFIRSTVISIBLELINE: return multiLine(w) ? w->top : 0;
        case EM_GETRECT:
            if (lp) *reinterpret_cast<RECT*>(lp) = RECT{3, 2, w->rect.right - w->rect.left - 3, w->rect.bottom - w->rect.top - 2};
            return 0;
        case EM_LIMITTEXT: w->limit = wp ? wp : 0x7FFFFFFE; return 0;
        case EM_GETLIMITTEXT: return static_cast<LRESULT>(w->limit);
        case EM_SETSEL: setSelection(w, static_cast<long>(static_cast<int>(wp)), static_cast<long>(static_cast<int>(lp))); return 0;
        case EM_GETSEL:
            if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(w->selStart);
            if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(w->selEnd);
            return MAKELONG(w->selStart, w->selEnd);
        case EM_REPLACESEL: {
            std::string ins = lp ? reinterpret_cast<const char*>(lp) : "";
            w->selEnd = std::min(w->selEnd, w->text.size());
            w->selStart = std::min(w->selStart, w->selEnd);
            const std::size_t room = w->limit - std::min(w->limit, w->text.size() - (w->selEnd - w->selStart));
            if (ins.size() > room) ins.resize(room);
            w->text.replace(w->selStart, w->selEnd - w->selStart, ins);
            w->selStart = w->selEnd = w->selStart + ins.size();
            if (wp) w->modified = true;  // an undoable replacement is the user's
            textChanged(w, false);
            return 0;
        }
        case EM_GETMODIFY: return w->modified ? TRUE : FALSE;
        case EM_SETMODIFY: w->modified = wp != 0; return 0;
        case EM_SETREADONLY:
            w->style = wp ? (w->style | ES_READONLY) : (w->style & ~static_cast<DWORD>(ES_READONLY));
            return TRUE;
        case EM_GETLINECOUNT: return static_cast<LRESULT>(editLines(w).size());
        case WM_SETFOCUS: invalidate(w); notify(w, EN_SETFOCUS); return 0;
        case WM_KILLFOCUS: invalidate(w); notify(w, EN_KILLFOCUS); return 0;
        case WM_LBUTTONDOWN: SetFocus(w->self); return 0;
        case WM_GETDLGCODE:
            // A multi-line edit wants Enter as well (the dialog passes it on with ES_WANTRETURN).
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (multiLine(w) ? static_cast<UINT>(DLGC_WANTALLKEYS) : 0u);
        default: return commonProc(w, m, wp, lp);
    }
}

// ---------------------------------------------------------------- buttons

LRESULT buttonProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    const HWND self = w->self;
    switch (m) {
        case BM_GETCHECK: return isCheck(w) || isRadio(w) ? static_cast<LRESULT>(w->check) : 0;
        case BM_SETCHECK: {
            if (!isCheck(w) && !isRadio(w)) return 0;
            const UINT t = buttonType(w);
            UINT v = static_cast<UINT>(wp);
            if (v == BST_INDETERMINATE && t != BS_3STATE && t != BS_AUTO3STATE) v = BST_CHECKED;
            w->check = v > BST_INDETERMINATE ? BST_CHECKED : v;
            invalidate(w);
            return 0;
        }
        case BM_GETSTATE:
            return static_cast<LRESULT>(w->check | (w->pushed ? static_cast<UINT>(BST_PUSHED) : 0u) | (w->focused ? static_cast<UINT>(BST_FOCUS) : 0u));
        case BM_SETSTATE:
            if (w->pushed != (wp != 0)) {
                w->pushed = wp != 0;
                restyle(w, ODA_SELECT);
            }
            return 0;
        case BM_SETSTYLE: w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wp) & 0xFFFF); return 0;
        case BM_CLICK:
            // A click on a disabled (or hidden) button does not reach it.
            if (!usable(w)) return 0;
            SendMessageA(self, WM_LBUTTONDOWN, 0, 0);
            SendMessageA(self, WM_LBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (buttonType(w) == BS_GROUPBOX) return 0;
            if (doubleClickKind(w)) {
                buttonNotify(w, BN_DOUBLECLICKED);
                return 0;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            if (buttonType(w) == BS_GROUPBOX) return 0;
            SetFocus(self);
            if (Window* x = find(self)) {
                x->pushed = true;
                restyle(x, ODA_SELECT);
            }
            return 0;
        case WM_LBUTTONUP: {
            if (!w->pushed) return 0;
            w->pushed = false;
            restyle(w, ODA_SELECT);
            if ((w = find(self)) == nullptr) return 0;
            const UINT t = buttonType(w);
            if (t == BS_AUTOCHECKBOX)
                w->check = w->check ? BST_UNCHECKED : BST_CHECKED;
            else if (t == BS_AUTO3STATE)
                w->check = (w->check + 1) % 3;
            else if (t == BS_AUTORADIOBUTTON) {
                w->check = BST_CHECKED;
                clearGroup(w);
            }
            if (Window* x = find(self)) buttonNotify(x, BN_CLICKED);
            return 0;
        }
        case WM_SETFOCUS:
            w->focused = true;
            restyle(w, ODA_FOCUS, 1);
            if ((w = find(self)) != nullptr) buttonNotify(w, BN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            w->focused = false;
            w->pushed = false;
            restyle(w, ODA_FOCUS, 0);
            if ((w = find(self)) != nullptr) buttonNotify(w, BN_KILLFOCUS);
            return 0;
        case WM_GETDLGCODE: {
            const UINT t = buttonType(w);
            if (t == BS_GROUPBOX) return DLGC_STATIC;
            if (isRadio(w)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
            if (t == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            if (isPushButton(w)) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
            return DLGC_BUTTON;
        }
        case CBM_SETCOLOR:
        case CBM_SETFACECOLOR: {
            if (w->cls != "QorButton") return 0;
            const std::size_t part = m == CBM_SETFACECOLOR ? 1 : static_cast<std::size_t>(wp);
            if (part > 3) return 0;
            const COLORREF old = w->colours[part];
            w->colours[part] = static_cast<COLORREF>(lp);
            return static_cast<LRESULT>(old);
        }
        default: return commonProc(w, m, wp, lp);
    }
}

// ---------------------------------------------------------------- static

LRESULT staticProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (w->style & SS_NOTIFY) notify(w, m == WM_LBUTTONDOWN ? 0 /* STN_CLICKED */ : 1 /* STN_DBLCLK */);
            return 0;
        case WM_GETDLGCODE: return DLGC_STATIC;
        default: return commonProc(w, m, wp, lp);
    }
}

// ---------------------------------------------------------------- list box

LRESULT listProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    const int count = static_cast<int>(w->items.size());
    const int index = static_cast<int>(wp);
    const bool multi = multiSelect(w);
    switch (m) {
        case LB_ADDSTRING: return addItem(w, -1, lp, (w->style & LBS_SORT) != 0);
        case LB_INSERTSTRING:
            if (index > count || index < -1) return LB_ERR;
            return addItem(w, index, lp, false);
        case LB_DELETESTRING: return deleteItem(w, index);
        case LB_RESETCONTENT:
            invalidate(w);
            w->items.clear();
            w->cur = -1;
            w->caret = 0;
            w->anchor = -1;
            w->top = 0;
            return 0;
        case LB_GETCOUNT: return count;
        case LB_GETTEXT: return itemText(w, index, lp);
        case LB_GETTEXTLEN: return itemTextLength(w, index);
        case LB_SETCURSEL:
            if (multi) return LB_ERR;
            if (index == -1) {  // -1 removes the selection (and returns LB_ERR, as on Win32)
                w->cur = -1;
                return LB_ERR;
            }
            if (index < 0 || index >= count) return LB_ERR;  // the selection stays
            w->cur = w->caret = index;
            showItem(w, index);
            return index;
        case LB_GETCURSEL:
            if (multi) return count ? w->caret : LB_ERR;
            return w->cur >= 0 ? w->cur : LB_ERR;
        case LB_SETSEL: {
            if (!multi) return LB_ERR;
            const int i = static_cast<int>(lp);
            if (i == -1) {
                for (Item& it : w->items) it.selected = wp != 0;
                return 0;
            }
            if (i < 0 || i >= count) return LB_ERR;
            w->items[static_cast<std::size_t>(i)].selected = wp != 0;
            w->caret = w->anchor = i;
            return 0;
        }
        case LB_GETSEL:
            if (index < 0 || index >= count) return LB_ERR;
            return multi ? (w->items[static_cast<std::size_t>(index)].selected ? 1 : 0) : (w->cur == index ? 1 : 0);
        case LB_GETSELCOUNT:
            if (!multi) return LB_ERR;
            return std::count_if(w->items.begin(), w->items.end(), [](const Item& it) { return it.selected; });
        case LB_GETSELITEMS: {
            if (!multi) return LB_ERR;
            int* out = reinterpret_cast<int*>(lp);
            int n = 0;
            for (int i = 0; i < count && n < index && out; ++i)
                if (w->items[static_cast<std::size_t>(i)].selected) out[n++] = i;
            return n;
        }
        case LB_SELITEMRANGE:
        case LB_SELITEMRANGEEX: {
            if (!multi) return LB_ERR;
            int first = m == LB_SELITEMRANGE ? LOWORD(lp) : index;
            int last = m == LB_SELITEMRANGE ? HIWORD(lp) : static_cast<int>(lp);
            bool select = m == LB_SELITEMRANGE ? wp != 0 : first <= last;
            if (first > last) std::swap(first, last);
            for (int i = std::max(0, first); i <= last && i < count; ++i) w->items[static_cast<std::size_t>(i)].selected = select;
            return 0;
        }
        case LB_FINDSTRING: return findItem(w, index, reinterpret_cast<const char*>(lp), false, lp);
        case LB_FINDSTRINGEXACT: return findItem(w, index, reinterpret_cast<const char*>(lp), true, lp);
        case LB_SELECTSTRING: {
            if (multi) return LB_ERR;
            const int i = findItem(w, index, reinterpret_cast<const char*>(lp), false, lp);
            if (i < 0) return LB_ERR;
            w->cur = w->caret = i;
            showItem(w, i);
            return i;
        }
        case LB_GETITEMDATA:
            if (index < 0 || index >= count) return LB_ERR;
            return w->items[static_cast<std::size_t>(index)].data;
        case LB_SETITEMDATA:
            if (index < 0 || index >= count) return LB_ERR;
            w->items[static_cast<std::size_t>(index)].data = lp;
            return TRUE;
        case LB_SETTABSTOPS: {
            w->tabs.clear();
            const int* stops = reinterpret_cast<const int*>(lp);
            for (int i = 0; i < index && stops; ++i) w->tabs.push_back(stops[i]);
            return TRUE;
        }
        case LB_GETTOPINDEX: return w->top;
        case LB_SETTOPINDEX:
            if (index < 0 || (index >= count && count > 0)) return LB_ERR;
            w->top = index;
            invalidate(w);
            return 0;
        case LB_GETCARETINDEX: return count ? w->caret : 0;
        case LB_SETCARETINDEX:
            if (index < 0 || index >= count) return LB_ERR;
            w->caret = index;
            return 0;
        case LB_GETANCHORINDEX: return w->anchor;
        case LB_SETANCHORINDEX:
            if (index < 0 || index >= count) return LB_ERR;
            w->anchor = index;
            return 0;
        case LB_GETITEMHEIGHT: return w->itemHeight;
        case LB_SETITEMHEIGHT:
            if (LOWORD(lp) == 0) return LB_ERR;
            w->itemHeight = LOWORD(lp);
            return 0;
        case LB_GETITEMRECT: {
            if (index < 0 || index >= count || !lp) return LB_ERR;
            RECT* r = reinterpret_cast<RECT*>(lp);
            const LONG y = static_cast<LONG>((index - w->top) * w->itemHeight);
            *r = RECT{0, y, w->rect.right - w->rect.left, y + w->itemHeight};
            return 1;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            // The item with the caret gains or loses its focus rectangle.
            const HWND self = w->self;
            if (ownerDrawn(w)) drawItem(w, w->caret, ODA_FOCUS, m == WM_SETFOCUS ? 1 : 0);
            else invalidate(w);
            if ((w = find(self)) != nullptr) notify(w, m == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
            return 0;
        }
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        default: return commonProc(w, m, wp, lp);
    }
}

// ---------------------------------------------------------------- combo box

LRESULT comboProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    const int count = static_cast<int>(w->items.size());
    const int index = static_cast<int>(wp);
    const bool listOnly = comboType(w) == 3;
    auto selectedText = [&]() -> std::string {
        if (w->cur < 0 || w->cur >= count || !hasStrings(w)) return std::string();
        return w->items[static_cast<std::size_t>(w->cur)].text;
    };
    switch (m) {
        case WM_SETTEXT:
            // Sets the edit field only: the list's selection stays, and no notification is sent.
            if (listOnly) return CB_ERR;
            setEditText(w, reinterpret_cast<const char*>(lp));
            invalidate(w);
            return TRUE;
        case WM_GETTEXT: return copyText(listOnly ? selectedText() : w->text, wp, lp);
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>((listOnly ? selectedText() : w->text).size());
        case WM_CHAR: {
            if (!listOnly) {
                typeChar(w, static_cast<char>(wp));
                return 0;
            }
            // A drop-down list selects the next item that begins with the typed character.
            const char key[2] = {static_cast<char>(wp), '\0'};
            const int i = findItem(w, w->cur, key, false, 0);
            if (i >= 0 && i != w->cur) {
                w->cur = i;
                notify(w, CBN_SELCHANGE);
            }
            return 0;
        }
        case WM_KEYDOWN:
            if (wp == VK_DELETE && !listOnly) deleteForward(w);
            return 0;
        case CB_ADDSTRING: return addItem(w, -1, lp, (w->style & CBS_SORT) != 0);
        case CB_INSERTSTRING:
            if (index > count || index < -1) return CB_ERR;
            return addItem(w, index, lp, false);
        case CB_DELETESTRING: return deleteItem(w, index);
        case CB_RESETCONTENT:
            invalidate(w);
            w->items.clear();
            w->cur = -1;
            setEditText(w, "");
            return CB_OKAY;
        case CB_GETCOUNT: return count;
        case CB_GETLBTEXT: return itemText(w, index, lp);
        case CB_GETLBTEXTLEN: return itemTextLength(w, index);
        case CB_SETCURSEL:
            if (index < 0 || index >= count) {
                w->cur = -1;
                setEditText(w, "");
                return CB_ERR;
            }
            w->cur = index;
            setEditText(w, selectedText().c_str());
            return index;
        case CB_GETCURSEL: return w->cur >= 0 ? w->cur : CB_ERR;
        case CB_FINDSTRING: return findItem(w, index, reinterpret_cast<const char*>(lp), false, lp);
        case CB_FINDSTRINGEXACT: return findItem(w, index, reinterpret_cast<const char*>(lp), true, lp);
        case CB_SELECTSTRING: {
            const int i = findItem(w, index, reinterpret_cast<const char*>(lp), false, lp);
            if (i < 0) return CB_ERR;
            w->cur = i;
            setEditText(w, selectedText().c_str());
            return i;
        }
        case CB_GETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            return w->items[static_cast<std::size_t>(index)].data;
        case CB_SETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            w->items[static_cast<std::size_t>(index)].data = lp;
            return TRUE;
        case CB_LIMITTEXT: w->limit = wp ? wp : 0x7FFFFFFE; return TRUE;
        case CB_GETEDITSEL:
            if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(w->selStart);
            if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(w->selEnd);
            return MAKELONG(w->selStart, w->selEnd);
        case CB_SETEDITSEL:
            if (listOnly) return CB_ERR;
            setSelection(w, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
            return TRUE;
        case CB_SHOWDROPDOWN: {
            const bool drop = wp != 0;
            if (comboType(w) == 1 || w->dropped == drop) return TRUE;
            if (drop) notify(w, CBN_DROPDOWN);
            if (Window* x = find(w->self)) {
                x->dropped = drop;
                // The list lay over the dialog: what it covered is painted again.
                invalidate(x);
                if (Window* t = find(topLevel(x->self)); t && !drop) t->invalid = t->erase = true;
                if (!drop) notify(x, CBN_CLOSEUP);
            }
            return TRUE;
        }
        case CB_GETDROPPEDSTATE: return w->dropped ? TRUE : FALSE;
        case CB_GETITEMHEIGHT: return w->itemHeight;
        case CB_SETITEMHEIGHT: w->itemHeight = static_cast<int>(LOWORD(lp)); return 0;
        case WM_SETFOCUS: notify(w, CBN_SETFOCUS); return 0;
        case WM_KILLFOCUS: {
            const HWND self = w->self;
            // Focus leaving a combo box with a list that drops down ends any selection in it
            // unconfirmed: CBN_SELENDCANCEL, then the list closes, then CBN_KILLFOCUS.
            if (comboType(w) != 1) {
                notify(w, CBN_SELENDCANCEL);
                if ((w = find(self)) == nullptr) return 0;
            }
            if (w->dropped) {
                w->dropped = false;
                notify(w, CBN_CLOSEUP);
            }
            if (Window* x = find(self)) notify(x, CBN_KILLFOCUS);
            return 0;
        }
        case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS | (listOnly ? 0u : DLGC_HASSETSEL);
        case EM_SETSEL:
            if (listOnly) return 0;
            setSelection(w, static_cast<long>(static_cast<int>(wp)), static_cast<long>(static_cast<int>(lp)));
            return 0;
        default: return commonProc(w, m, wp, lp);
    }
}

// ---------------------------------------------------------------- the product's spin control and viewer

LRESULT spinProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    switch (m) {
        case SPM_SETRANGE:
            w->low = static_cast<short>(LOWORD(lp));
            w->high = static_cast<short>(HIWORD(lp));
            return 0;
        case SPM_GETRANGE: return MAKELONG(w->low, w->high);
        case SPM_SETPOS: w->pos = static_cast<int>(static_cast<short>(wp)); return 0;
        case SPM_GETPOS: return w->pos;
        case WM_GETDLGCODE: return 0;
        default: return commonProc(w, m, wp, lp);
    }
}

LRESULT viewerProc(Window* w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == VWM_COMMAND && wp == VW_SHOWFILE) {
        w->text = lp ? reinterpret_cast<const char*>(lp) : "";
        return TRUE;
    }
    return commonProc(w, m, wp, lp);
}

}  // namespace qorwin::detail
