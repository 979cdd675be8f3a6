// The terminal front end (see qorterm.h): curses drawing of the dialog that is up, keys and
// mouse clicks turned into the scripted user's actions, message boxes and prompts over it.
#include <curses.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "qorterm.h"
#include "qorwingdi.h"
#include "qorwinuser.h"
#include "window_internal.h"

namespace qorterm {

using qorwin::detail::find;
using qorwin::detail::Kind;
using qorwin::detail::Window;

namespace {

constexpr int kEsc = 27;
constexpr int kIdle = -2;  // no key came within the wait

// A control's place on the screen.
struct Cell {
    int x = 0, y = 0, w = 1, h = 1;
    bool contains(int cx, int cy) const { return cx >= x && cx < x + w && cy >= y && cy < y + h; }
};

// A label as the terminal shows it: without mnemonic marks, on one line.
std::string label(const std::string& s, int* mark = nullptr) {
    std::string out = qorwin::detail::stripPrefix(s, mark);
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

char mnemonicOf(const std::string& s) {
    int mark = -1;
    const std::string l = label(s, &mark);
    return mark >= 0 ? static_cast<char>(std::tolower(static_cast<unsigned char>(l[static_cast<std::size_t>(mark)]))) : 0;
}

// The product's texts are Latin-1; the terminal shows them as UTF-8 when it can, '?' else.
void put(int y, int x, const std::string& s, int width, attr_t attr = A_NORMAL) {
    if (width <= 0) return;
    attr_on(attr, nullptr);
    int col = 0;
    for (char ch : s) {
        if (col >= width) break;
        const unsigned char c = static_cast<unsigned char>(ch);
        mvaddch(y, x + col, c < 0x20 || c >= 0x7F ? '?' : c);
        ++col;
    }
    attr_off(attr, nullptr);
}

void fillLine(int y, int x, int width, char c, attr_t attr = A_NORMAL) {
    attr_on(attr, nullptr);
    for (int i = 0; i < width; ++i) mvaddch(y, x + i, static_cast<unsigned char>(c));
    attr_off(attr, nullptr);
}

void box(int y, int x, int h, int w, const std::string& title) {
    for (int r = 0; r < h; ++r) fillLine(y + r, x, w, ' ');
    mvaddch(y, x, ACS_ULCORNER);
    mvaddch(y, x + w - 1, ACS_URCORNER);
    mvaddch(y + h - 1, x, ACS_LLCORNER);
    mvaddch(y + h - 1, x + w - 1, ACS_LRCORNER);
    for (int i = 1; i < w - 1; ++i) {
        mvaddch(y, x + i, ACS_HLINE);
        mvaddch(y + h - 1, x + i, ACS_HLINE);
    }
    for (int r = 1; r < h - 1; ++r) {
        mvaddch(y + r, x, ACS_VLINE);
        mvaddch(y + r, x + w - 1, ACS_VLINE);
    }
    if (!title.empty()) put(y, x + 2, " " + title + " ", w - 4, A_BOLD);
}

std::vector<std::string> wrap(const std::string& text, int width) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t brk = text.find('\n', start);
        std::string para = text.substr(start, brk == std::string::npos ? std::string::npos : brk - start);
        if (!para.empty() && para.back() == '\r') para.pop_back();
        while (static_cast<int>(para.size()) > width) {
            std::size_t cut = para.rfind(' ', static_cast<std::size_t>(width));
            if (cut == std::string::npos || cut == 0) cut = static_cast<std::size_t>(width);
            out.push_back(para.substr(0, cut));
            para = para.substr(cut + (para[cut] == ' ' ? 1 : 0));
        }
        out.push_back(para);
        if (brk == std::string::npos) break;
        start = brk + 1;
    }
    return out;
}

bool takesText(const Window* w) {
    return w->kind == Kind::Edit || (w->kind == Kind::ComboBox && qorwin::detail::comboType(w) != 3);
}

}  // namespace

struct TerminalDriver::Impl {
    std::FILE* in;
    std::FILE* out;
    SCREEN* screen = nullptr;
    std::string statusText;
    bool statusIsError = false;
    HWND dialog = nullptr;
    int ox = 0, oy = 0, cols = 0, rows = 0;
    bool tooSmall = false;

    Impl(std::FILE* i, std::FILE* o) : in(i), out(o) {}

    void start() {
        if (screen) return;
        screen = newterm(nullptr, out, in);
        if (!screen) return;
        set_term(screen);
        raw();
        noecho();
        keypad(stdscr, TRUE);
        set_escdelay(40);
        mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_DOUBLE_CLICKED, nullptr);
        mouseinterval(0);
    }

    void stop() {
        if (!screen) return;
        endwin();
        delscreen(screen);
        screen = nullptr;
    }

    // Reads a key: Alt+letter (Esc then the letter) comes back as the letter with bit 0x1000.
    // With a wait (milliseconds, >= 0) no key within it gives kIdle, so that a due timer can fire.
    int key(int wait = -1) {
        refresh();
        int c = 0;
        if (wait >= 0) {
            const int ms = std::max(wait, 20);
            const auto start = std::chrono::steady_clock::now();
            timeout(ms);
            c = getch();
            timeout(-1);
            if (c == ERR) {
                // A terminal that went away answers at once; a wait that ran out took its time.
                const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start).count();
                return took >= ms / 2 ? kIdle : ERR;
            }
        } else {
            c = getch();
        }
        if (c == kEsc) {
            nodelay(stdscr, TRUE);
            const int next = getch();
            nodelay(stdscr, FALSE);
            if (next == ERR) return kEsc;
            if (next == KEY_DOWN) return KEY_F(4);
            return next | 0x1000;
        }
        return c;
    }

    void drawStatus() {
        fillLine(LINES - 1, 0, COLS, ' ', A_REVERSE);
        const std::string hint = "Tab: next  Enter: OK  Esc: cancel  Space: press";
        put(LINES - 1, 1, statusText.empty() ? hint : statusText, COLS - 2, A_REVERSE | (statusIsError ? A_BOLD : A_NORMAL));
    }

    Cell cellOf(const Window* w) const {
        Cell c;
        c.x = ox + 1 + w->dlu.left / 4;
        c.y = oy + 1 + w->dlu.top / 8;
        c.w = std::max(1, static_cast<int>((w->dlu.right - w->dlu.left + 3) / 4));
        c.h = std::max(1, static_cast<int>((w->dlu.bottom - w->dlu.top + 7) / 8));
        return c;
    }

    // The text of an item as its owner draws it (owner-drawn lists without strings).
    static std::string itemText(Window* list, int index) {
        if (qorwin::detail::hasStrings(list)) return list->items[static_cast<std::size_t>(index)].text;
        const HWND self = list->self;
        HDC dc = qorwin::recordingDC(self);
        DRAWITEMSTRUCT di{};
        di.CtlType = list->kind == Kind::ListBox ? ODT_LISTBOX : ODT_COMBOBOX;
        di.CtlID = static_cast<UINT>(list->id);
        di.itemID = static_cast<UINT>(index);
        di.itemAction = ODA_DRAWENTIRE;
        di.hwndItem = self;
        di.hDC = dc;
        di.rcItem = RECT{0, 0, list->rect.right - list->rect.left, list->itemHeight};
        di.itemData = static_cast<UINT_PTR>(list->items[static_cast<std::size_t>(index)].data);
        SendMessageA(list->parent, WM_DRAWITEM, static_cast<WPARAM>(list->id), reinterpret_cast<LPARAM>(&di));
        std::string t = qorwin::recordedText(dc);
        ReleaseDC(self, dc);
        return t;
    }

    static bool selectedItem(const Window* w, std::size_t i) {
        return qorwin::detail::multiSelect(w) ? w->items[i].selected : w->cur == static_cast<int>(i);
    }

    std::string expand(const std::string& s, const std::vector<int>& tabs) {
        std::string o;
        std::size_t next = 0;
        for (char c : s) {
            if (c != '\t') {
                o += c;
                continue;
            }
            const int col = static_cast<int>(o.size());
            int stop = -1;
            for (; next < tabs.size(); ++next)
                if (tabs[next] / 4 > col) {
                    stop = tabs[next] / 4;
                    ++next;
                    break;
                }
            if (stop < 0) stop = (col / 8 + 1) * 8;
            o.append(static_cast<std::size_t>(stop - col), ' ');
        }
        return o;
    }

    void drawList(Window* w, const Cell& c, int firstRow, int rowsShown, bool focus) {
        // The caret is kept in view.
        const int count = static_cast<int>(w->items.size());
        int top = std::clamp(w->top, 0, std::max(0, count - 1));
        const int caret = qorwin::detail::multiSelect(w) ? w->caret : (w->cur >= 0 ? w->cur : w->caret);
        if (caret < top) top = caret;
        if (caret >= top + rowsShown) top = caret - rowsShown + 1;
        top = std::max(0, top);
        for (int r = 0; r < rowsShown; ++r) {
            const int i = top + r;
            fillLine(firstRow + r, c.x, c.w, ' ', A_UNDERLINE & 0);
            if (i >= count) continue;
            const bool sel = selectedItem(w, static_cast<std::size_t>(i));
            std::string t = expand(itemText(w, i), w->tabs);
            if (qorwin::detail::multiSelect(w)) t = (sel ? "[x] " : "[ ] ") + t;
            attr_t a = sel ? A_REVERSE : A_NORMAL;
            if (focus && i == caret) a |= A_BOLD;
            put(firstRow + r, c.x, t, c.w, a);
            if (sel) for (int k = static_cast<int>(t.size()); k < c.w; ++k) mvaddch(firstRow + r, c.x + k, ' ' | A_REVERSE);
        }
        if (count > top + rowsShown) put(firstRow + rowsShown - 1, c.x + c.w - 1, "v", 1, A_BOLD);
        if (top > 0) put(firstRow, c.x + c.w - 1, "^", 1, A_BOLD);
    }

    // Draws the dialog; returns the screen place of the caret of the focused edit (x -1: none).
    std::pair<int, int> draw(HWND dlg) {
        Window* d = find(dlg);
        erase();
        std::pair<int, int> caret{-1, -1};
        if (!d) return caret;
        cols = (d->dlu.right - d->dlu.left + 3) / 4;
        rows = (d->dlu.bottom - d->dlu.top + 7) / 8;
        tooSmall = COLS < cols + 2 || LINES < rows + 3;
        if (tooSmall) {
            const std::string msg = "The terminal is too small for \"" + label(d->text) + "\": it needs " +
                                    std::to_string(cols + 2) + " x " + std::to_string(rows + 3) + ", it has " +
                                    std::to_string(COLS) + " x " + std::to_string(LINES) + ".";
            int y = 0;
            for (const std::string& l : wrap(msg, std::max(10, COLS))) put(y++, 0, l, COLS);
            put(std::min(LINES - 1, y + 1), 0, "Make it larger, or press Esc to cancel.", COLS);
            return caret;
        }
        ox = (COLS - (cols + 2)) / 2;
        oy = std::max(0, (LINES - 1 - (rows + 2)) / 2);
        box(oy, ox, rows + 2, cols + 2, label(d->text));
        const LRESULT def = SendMessageA(dlg, DM_GETDEFID, 0, 0);
        const int defId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
        const HWND focus = GetFocus();
        // Group boxes first: other controls are drawn inside them.
        std::vector<Window*> order;
        for (HWND h : d->children)
            if (Window* w = find(h); w && w->visible && qorwin::detail::buttonType(w) == BS_GROUPBOX) order.push_back(w);
        for (HWND h : d->children)
            if (Window* w = find(h); w && w->visible && qorwin::detail::buttonType(w) != BS_GROUPBOX) order.push_back(w);
        Window* dropped = nullptr;
        for (Window* w : order) {
            const Cell c = cellOf(w);
            const bool on = w->enabled;
            const bool hasFocus = w->self == focus;
            const attr_t dim = on ? A_NORMAL : A_DIM;
            int mark = -1;
            const std::string t = label(w->text, &mark);
            switch (w->kind) {
                case Kind::Static: {
                    const DWORD type = w->style & SS_TYPEMASK;
                    if (type == SS_ICON || type == SS_OWNERDRAW || type >= SS_BLACKRECT) break;
                    int lineNo = 0;
                    for (const std::string& l : wrap(t, c.w)) {
                        if (lineNo >= c.h) break;
                        int at = c.x;
                        if (type == SS_CENTER) at = c.x + (c.w - static_cast<int>(l.size())) / 2;
                        if (type == SS_RIGHT) at = c.x + c.w - static_cast<int>(l.size());
                        put(c.y + lineNo, std::max(c.x, at), l, c.w, dim);
                        if (lineNo == 0 && mark >= 0 && mark < static_cast<int>(l.size()) && !(w->style & SS_NOPREFIX))
                            put(c.y, std::max(c.x, at) + mark, l.substr(static_cast<std::size_t>(mark), 1), 1, dim | A_UNDERLINE);
                        ++lineNo;
                    }
                    break;
                }
                case Kind::Edit: {
                    const attr_t a = (on ? A_UNDERLINE : A_DIM) | (hasFocus ? A_BOLD : A_NORMAL);
                    if (!(w->style & ES_MULTILINE)) {
                        std::string s = (w->style & ES_PASSWORD) ? std::string(w->text.size(), '*') : w->text;
                        const int caretAt = static_cast<int>(std::min(w->selEnd, s.size()));
                        const int first = std::max(0, caretAt - c.w + 1);
                        fillLine(c.y, c.x, c.w, ' ', a);
                        put(c.y, c.x, s.substr(static_cast<std::size_t>(first)), c.w, a);
                        if (hasFocus && w->selEnd > w->selStart) {
                            const int s0 = std::max(first, static_cast<int>(w->selStart)) - first;
                            const int s1 = std::min(static_cast<int>(w->selEnd) - first, c.w);
                            if (s1 > s0) put(c.y, c.x + s0, s.substr(static_cast<std::size_t>(first + s0), static_cast<std::size_t>(s1 - s0)), s1 - s0, A_REVERSE);
                        }
                        if (hasFocus) caret = {c.x + caretAt - first, c.y};
                    } else {
                        const auto lines = qorwin::detail::editLines(w);
                        const int caretLine = qorwin::detail::editLineOf(lines, std::min(w->selEnd, w->text.size()));
                        int top = std::max(0, std::min(caretLine, w->top));
                        if (caretLine >= top + c.h) top = caretLine - c.h + 1;
                        for (int r = 0; r < c.h; ++r) {
                            fillLine(c.y + r, c.x, c.w, ' ', a);
                            const std::size_t i = static_cast<std::size_t>(top + r);
                            if (i < lines.size()) put(c.y + r, c.x, w->text.substr(lines[i].start, lines[i].length), c.w, a);
                        }
                        if (hasFocus) {
                            const auto& l = lines[static_cast<std::size_t>(caretLine)];
                            caret = {c.x + std::min(c.w - 1, static_cast<int>(std::min(w->selEnd, w->text.size()) - l.start)), c.y + caretLine - top};
                        }
                    }
                    break;
                }
                case Kind::Button: {
                    const UINT type = qorwin::detail::buttonType(w);
                    if (type == BS_GROUPBOX) {
                        box(c.y, c.x, std::max(2, c.h), std::max(2, c.w), t);
                        break;
                    }
                    std::string s;
                    int textAt = 0;
                    if (qorwin::detail::isRadio(w)) {
                        s = std::string(w->check ? "(*) " : "( ) ") + t;
                        textAt = 4;
                    } else if (qorwin::detail::isCheck(w)) {
                        s = std::string(w->check == BST_CHECKED ? "[x] " : w->check ? "[-] " : "[ ] ") + t;
                        textAt = 4;
                    } else {
                        const bool isDefault = w->id == defId;
                        s = isDefault ? "<" + t + ">" : "[" + t + "]";
                        textAt = 1;
                        const int pad = std::max(0, (c.w - static_cast<int>(s.size())) / 2);
                        s = std::string(static_cast<std::size_t>(pad), ' ') + s;
                        textAt += pad;
                    }
                    attr_t a = dim | (hasFocus ? A_REVERSE : A_NORMAL);
                    if (type == BS_DEFPUSHBUTTON || w->id == defId) a |= A_BOLD;
                    put(c.y, c.x, s, c.w, a);
                    if (mark >= 0 && textAt + mark < c.w) put(c.y, c.x + textAt + mark, t.substr(static_cast<std::size_t>(mark), 1), 1, a | A_UNDERLINE);
                    if (hasFocus) caret = {c.x + textAt, c.y};
                    break;
                }
                case Kind::ListBox:
                    drawList(w, c, c.y, c.h, hasFocus);
                    if (hasFocus) caret = {c.x, c.y};
                    break;
                case Kind::ComboBox: {
                    const bool listOnly = qorwin::detail::comboType(w) == 3;
                    std::string shown = listOnly ? (w->cur >= 0 ? itemText(w, w->cur) : "") : w->text;
                    const attr_t a = (on ? A_UNDERLINE : A_DIM) | (hasFocus ? A_BOLD : A_NORMAL);
                    fillLine(c.y, c.x, c.w - 1, ' ', a);
                    put(c.y, c.x, shown, c.w - 2, a);
                    put(c.y, c.x + c.w - 1, "v", 1, hasFocus ? A_REVERSE : A_NORMAL);
                    if (w->dropped) dropped = w;
                    if (hasFocus) caret = {c.x + std::min(c.w - 2, static_cast<int>(listOnly ? 0 : std::min(w->selEnd, w->text.size()))), c.y};
                    break;
                }
                case Kind::Spin:
                    put(c.y, c.x, "<" + std::to_string(w->pos) + ">", c.w, dim | (hasFocus ? A_REVERSE : A_NORMAL));
                    break;
                case Kind::Viewer: put(c.y, c.x, "{" + w->text + "}", c.w, dim); break;
                default: break;
            }
        }
        if (dropped) {
            // The dropped list of a combo box lies over what is below it.
            const Cell c = cellOf(dropped);
            const int shown = std::max(1, std::min<int>(static_cast<int>(dropped->items.size()), std::max(1, c.h - 1)));
            Cell l = c;
            l.y = c.y + 1;
            l.h = shown;
            drawList(dropped, l, l.y, shown, true);
        }
        drawStatus();
        return caret;
    }

    // ---- keys to actions

    Window* focused(HWND dlg) {
        Window* f = find(GetFocus());
        return f && f->parent == dlg ? f : nullptr;
    }

    // The controls of the radio group of `w`, in template order.
    std::vector<Window*> radioGroup(Window* w) {
        std::vector<Window*> out;
        Window* d = find(w->parent);
        if (!d) return out;
        const auto& kids = d->children;
        auto self = std::find(kids.begin(), kids.end(), w->self);
        if (self == kids.end()) return out;
        auto first = self;
        while (first != kids.begin()) {
            Window* x = find(*first);
            if (x && (x->style & WS_GROUP)) break;
            --first;
        }
        for (auto it = first; it != kids.end(); ++it) {
            Window* x = find(*it);
            if (!x) continue;
            if (it != first && (x->style & WS_GROUP)) break;
            if (qorwin::detail::isRadio(x) && x->visible && x->enabled) out.push_back(x);
        }
        return out;
    }

    void listStep(HWND dlg, Window* w, int step) {
        const int count = static_cast<int>(w->items.size());
        if (count == 0) return;
        if (w->kind == Kind::ListBox && qorwin::detail::multiSelect(w)) {
            SendMessageA(w->self, LB_SETCARETINDEX, static_cast<WPARAM>(std::clamp(w->caret + step, 0, count - 1)), 0);
            return;
        }
        const int from = w->cur >= 0 ? w->cur : (step > 0 ? -1 : count);
        const int to = std::clamp(from + step, 0, count - 1);
        if (to != w->cur) qorwin::selectItem(dlg, w->id, to);
    }

    bool mnemonic(HWND dlg, char letter) {
        Window* d = find(dlg);
        if (!d) return false;
        const std::vector<HWND> kids = d->children;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            Window* w = find(kids[i]);
            if (!w || !w->visible || mnemonicOf(w->text) != letter) continue;
            if (w->kind == Kind::Static || qorwin::detail::buttonType(w) == BS_GROUPBOX) {
                // A label's letter goes to the control after it.
                for (std::size_t k = i + 1; k < kids.size(); ++k)
                    if (Window* n = find(kids[k]); n && n->visible && n->enabled && (n->style & WS_TABSTOP || takesText(n))) {
                        qorwin::focus(dlg, n->id);
                        return true;
                    }
                continue;
            }
            if (w->kind == Kind::Button && w->enabled) {
                qorwin::click(dlg, w->id);
                return true;
            }
        }
        return false;
    }

    void click(HWND dlg, int mx, int my) {
        Window* d = find(dlg);
        if (!d) return;
        std::vector<HWND> kids = d->children;
        for (HWND h : kids) {
            Window* w = find(h);
            if (!w || !w->visible || qorwin::detail::buttonType(w) == BS_GROUPBOX) continue;
            const Cell c = cellOf(w);
            if (!c.contains(mx, my)) continue;
            if (w->kind == Kind::ListBox) {
                const int i = std::max(0, w->top) + (my - c.y);
                if (i < static_cast<int>(w->items.size())) qorwin::selectItem(dlg, w->id, i);
                else qorwin::click(dlg, w->id);
            } else if (w->kind == Kind::ComboBox) {
                qorwin::click(dlg, w->id);
                if (Window* x = find(h)) SendMessageA(h, CB_SHOWDROPDOWN, x->dropped ? FALSE : TRUE, 0);
            } else if (w->kind == Kind::Edit) {
                qorwin::click(dlg, w->id);
            } else if (w->kind != Kind::Static || (w->style & SS_NOTIFY)) {
                qorwin::click(dlg, w->id);
            }
            return;
        }
    }

    // One key of the user on the dialog.
    void act(HWND dlg, int k) {
        statusText.clear();
        statusIsError = false;
        Window* f = focused(dlg);
        const HWND fh = f ? f->self : nullptr;
        const bool inText = f && takesText(f);
        const bool multiLine = f && f->kind == Kind::Edit && (f->style & ES_MULTILINE);
        if (f && f->kind == Kind::ComboBox && f->dropped) {
            // The dropped list takes the arrows; Enter chooses, Esc closes.
            switch (k) {
                case KEY_UP: listStep(dlg, f, -1); return;
                case KEY_DOWN: listStep(dlg, f, 1); return;
                case '\r':
                case '\n':
                case KEY_ENTER:
                case KEY_F(4): SendMessageA(fh, CB_SHOWDROPDOWN, FALSE, 0); return;
                case kEsc: SendMessageA(fh, CB_SHOWDROPDOWN, FALSE, 0); return;
                default: break;
            }
        }
        switch (k) {
            case '\t': SendMessageA(dlg, WM_NEXTDLGCTL, 0, 0); return;
            case KEY_BTAB: SendMessageA(dlg, WM_NEXTDLGCTL, 1, 0); return;
            case kEsc: qorwin::pressEscape(dlg); return;
            case '\r':
            case '\n':
            case KEY_ENTER:
                if (multiLine && !(f->style & ES_WANTRETURN) && k == '\n') {  // Ctrl+Enter breaks the line
                    SendMessageA(fh, WM_CHAR, '\r', 1);
                    return;
                }
                qorwin::pressEnter(dlg);
                return;
            case KEY_RESIZE: return;  // drawn again at the next action
            case KEY_MOUSE: {
                MEVENT e;
                if (getmouse(&e) == OK && (e.bstate & (BUTTON1_CLICKED | BUTTON1_PRESSED | BUTTON1_DOUBLE_CLICKED))) click(dlg, e.x, e.y);
                return;
            }
            case KEY_F(4):
                if (f && f->kind == Kind::ComboBox) SendMessageA(fh, CB_SHOWDROPDOWN, TRUE, 0);
                return;
            default: break;
        }
        if (k & 0x1000) {  // Alt+letter
            if (!mnemonic(dlg, static_cast<char>(std::tolower(k & 0xFF)))) ::beep();
            return;
        }
        if (!f) {
            if (k < 0x100 && std::isprint(k) && mnemonic(dlg, static_cast<char>(std::tolower(k)))) return;
            return;
        }
        if (inText) {
            switch (k) {
                case KEY_LEFT: SendMessageA(fh, WM_KEYDOWN, VK_LEFT, 0); return;
                case KEY_RIGHT: SendMessageA(fh, WM_KEYDOWN, VK_RIGHT, 0); return;
                case KEY_HOME: SendMessageA(fh, WM_KEYDOWN, VK_HOME, 0); return;
                case KEY_END: SendMessageA(fh, WM_KEYDOWN, VK_END, 0); return;
                case KEY_DC: SendMessageA(fh, WM_KEYDOWN, VK_DELETE, 0); return;
                case KEY_BACKSPACE:
                case 127:
                case 8: SendMessageA(fh, WM_CHAR, '\b', 1); return;
                case KEY_UP:
                case KEY_DOWN:
                    if (multiLine)
                        SendMessageA(fh, WM_KEYDOWN, k == KEY_UP ? VK_UP : VK_DOWN, 0);
                    else if (f->kind == Kind::ComboBox)
                        listStep(dlg, f, k == KEY_UP ? -1 : 1);
                    else
                        SendMessageA(dlg, WM_NEXTDLGCTL, k == KEY_UP ? 1 : 0, 0);
                    return;
                case 22: SendMessageA(fh, WM_PASTE, 0, 0); return;  // Ctrl+V
                case 3: SendMessageA(fh, WM_COPY, 0, 0); return;    // Ctrl+C
                case 24: SendMessageA(fh, WM_CUT, 0, 0); return;    // Ctrl+X
                default:
                    if (k >= 0x20 && k < 0x100 && k != 0x7F) SendMessageA(fh, WM_CHAR, static_cast<WPARAM>(k), 1);
                    return;
            }
        }
        if (f->kind == Kind::ListBox || (f->kind == Kind::ComboBox)) {
            switch (k) {
                case KEY_UP: listStep(dlg, f, -1); return;
                case KEY_DOWN: listStep(dlg, f, 1); return;
                case KEY_PPAGE: listStep(dlg, f, -cellOf(f).h); return;
                case KEY_NPAGE: listStep(dlg, f, cellOf(f).h); return;
                case KEY_HOME: listStep(dlg, f, -static_cast<int>(f->items.size())); return;
                case KEY_END: listStep(dlg, f, static_cast<int>(f->items.size())); return;
                case ' ':
                    if (f->kind == Kind::ListBox && qorwin::detail::multiSelect(f)) qorwin::toggleItem(dlg, f->id, f->caret);
                    return;
                default:
                    if (k < 0x100 && std::isprint(k)) {
                        // A letter selects the next item beginning with it.
                        const char key[2] = {static_cast<char>(k), 0};
                        const int i = qorwin::detail::findItem(f, f->kind == Kind::ListBox ? f->caret : f->cur, key, false, 0);
                        if (i >= 0) qorwin::selectItem(dlg, f->id, i);
                    }
                    return;
            }
        }
        if (f->kind == Kind::Spin) {
            if (k == KEY_UP || k == '+') qorwin::spin(dlg, f->id, 1);
            if (k == KEY_DOWN || k == '-') qorwin::spin(dlg, f->id, -1);
            return;
        }
        if (f->kind == Kind::Button) {
            if (k == ' ') {
                qorwin::click(dlg, f->id);
                return;
            }
            if (qorwin::detail::isRadio(f) && (k == KEY_UP || k == KEY_DOWN || k == KEY_LEFT || k == KEY_RIGHT)) {
                // The arrows move to the next radio button of the group and choose it.
                const std::vector<Window*> g = radioGroup(f);
                auto it = std::find(g.begin(), g.end(), f);
                if (g.size() > 1 && it != g.end()) {
                    const std::size_t i = static_cast<std::size_t>(it - g.begin());
                    const bool back = k == KEY_UP || k == KEY_LEFT;
                    Window* n = g[(i + (back ? g.size() - 1 : 1)) % g.size()];
                    qorwin::click(dlg, n->id);
                }
                return;
            }
            if (k == KEY_UP || k == KEY_LEFT) {
                SendMessageA(dlg, WM_NEXTDLGCTL, 1, 0);
                return;
            }
            if (k == KEY_DOWN || k == KEY_RIGHT) {
                SendMessageA(dlg, WM_NEXTDLGCTL, 0, 0);
                return;
            }
        }
        if (k < 0x100 && std::isprint(k) && !mnemonic(dlg, static_cast<char>(std::tolower(k)))) ::beep();
    }

    // ---- boxes over the dialog

    int ask(const std::string& text, const std::string& caption, UINT style) {
        start();
        if (!screen) return IDCANCEL;
        struct Choice {
            const char* name;
            int id;
        };
        std::vector<Choice> choices;
        switch (style & 0x0F) {
            case MB_OKCANCEL: choices = {{"OK", IDOK}, {"Cancel", IDCANCEL}}; break;
            case MB_YESNO: choices = {{"Yes", IDYES}, {"No", IDNO}}; break;
            case MB_YESNOCANCEL: choices = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}}; break;
            default: choices = {{"OK", IDOK}}; break;
        }
        const int escAnswer = choices.size() == 1 ? IDOK : (style & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
        std::size_t current = 0;
        for (;;) {
            if (dialog && find(dialog)) draw(dialog); else erase();
            const int width = std::min(COLS - 2, std::max<int>(static_cast<int>(caption.size()) + 6, 44));
            const std::vector<std::string> lines = wrap(text, std::max(10, width - 4));
            const int height = static_cast<int>(lines.size()) + 4;
            const int x = std::max(0, (COLS - width) / 2), y = std::max(0, (LINES - height) / 2);
            box(y, x, height, width, caption);
            for (std::size_t i = 0; i < lines.size(); ++i) put(y + 1 + static_cast<int>(i), x + 2, lines[i], width - 4);
            int bx = x + 2;
            for (std::size_t i = 0; i < choices.size(); ++i) {
                const std::string b = std::string("[") + choices[i].name + "]";
                put(y + height - 2, bx, b, static_cast<int>(b.size()), i == current ? A_REVERSE : A_NORMAL);
                bx += static_cast<int>(b.size()) + 2;
            }
            move(y + height - 2, x + 3);
            const int k = key();
            if (k == ERR) return escAnswer;
            if (k == '\r' || k == '\n' || k == KEY_ENTER || k == ' ') return choices[current].id;
            if (k == kEsc) return escAnswer;
            if (k == '\t' || k == KEY_RIGHT) current = (current + 1) % choices.size();
            if (k == KEY_BTAB || k == KEY_LEFT) current = (current + choices.size() - 1) % choices.size();
            const int letter = std::tolower(k & 0xFF);
            for (const Choice& c : choices)
                if (std::tolower(static_cast<unsigned char>(c.name[0])) == letter) return c.id;
        }
    }

    // The visible viewer windows owned by the dialog.
    std::vector<HWND> viewersOf(HWND dlg) {
        std::vector<HWND> owned, out;
        for (const auto& [id, w] : qorwin::detail::state().windows)
            if (w && w->owner == dlg && w->visible && w->kind == Kind::Main) owned.push_back(w->self);
        for (HWND h : owned)
            if (SendMessageA(h, VWM_COMMAND, VW_GETFILE, 0) != 0) out.push_back(h);
        return out;
    }

    // A viewer window over the dialog: its title and a text-art view of its file; false when
    // the terminal went away.
    bool showViewer(HWND dlg, HWND viewer) {
        const char* file = reinterpret_cast<const char*>(SendMessageA(viewer, VWM_COMMAND, VW_GETFILE, 0));
        if (!file) return true;
        if (find(dlg)) draw(dlg); else erase();
        const int height = std::max(6, LINES - 2), width = std::max(20, std::min(COLS - 2, height * 2 + 4));
        const int x = std::max(0, (COLS - width) / 2), y = std::max(0, (LINES - height) / 2);
        Window* w = find(viewer);
        box(y, x, height, width, w ? label(w->text) : std::string());
        for (int r = 1; r < height - 2; ++r) fillLine(y + r, x + 1, width - 2, ' ');
        std::vector<std::string> lines;
        if (const qorwin::ViewerPainter painter = qorwin::viewerPainter())
            lines = painter(file, width - 4, height - 4);
        for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < height - 4; ++i)
            put(y + 1 + static_cast<int>(i), x + 2, lines[i], width - 4);
        put(y + height - 2, x + 2, "Press any key to close the preview.", width - 4, A_DIM);
        curs_set(0);
        const bool on = key() != ERR;
        clearok(stdscr, TRUE);  // the dialog is drawn whole again, not patched from the preview
        return on;
    }

    // A line of input at the bottom of the screen; Tab completes a path when `paths`.
    bool prompt(const std::string& title, const std::string& question, std::string& text, bool paths) {
        start();
        if (!screen) return false;
        std::string value = text;
        std::string choices;
        for (;;) {
            if (dialog && find(dialog)) draw(dialog); else erase();
            const int width = std::max(20, COLS - 4);
            const int x = 2, y = std::max(0, LINES - 7);
            box(y, x - 2, 5, width + 4, title);
            put(y + 1, x, question, width);
            const int shownFrom = std::max(0, static_cast<int>(value.size()) - width + 1);
            fillLine(y + 2, x, width, ' ', A_UNDERLINE);
            put(y + 2, x, value.substr(static_cast<std::size_t>(shownFrom)), width, A_UNDERLINE);
            put(y + 3, x, choices.empty() ? (paths ? "Tab completes, Enter accepts, Esc cancels" : "Enter accepts, Esc cancels") : choices, width, A_DIM);
            move(y + 2, x + static_cast<int>(value.size()) - shownFrom);
            const int k = key();
            if (k == ERR || k == kEsc) return false;
            if (k == '\r' || k == '\n' || k == KEY_ENTER) {
                text = value;
                return true;
            }
            choices.clear();
            if (k == '\t' && paths) {
                value = completePath(value, &choices);
            } else if (k == KEY_BACKSPACE || k == 127 || k == 8) {
                if (!value.empty()) value.pop_back();
            } else if (k >= 0x20 && k < 0x100 && k != 0x7F) {
                value += static_cast<char>(k);
            }
        }
    }
};

TerminalDriver::TerminalDriver(std::FILE* in, std::FILE* out) : impl_(std::make_unique<Impl>(in, out)) {}

TerminalDriver::~TerminalDriver() { impl_->stop(); }

void TerminalDriver::finish() { impl_->stop(); }

bool TerminalDriver::available(std::FILE* in, std::FILE* out) {
    return isatty(fileno(in)) && isatty(fileno(out)) && std::getenv("TERM") && std::strcmp(std::getenv("TERM"), "dumb") != 0;
}

int TerminalDriver::messageBox(HWND, const std::string& text, const std::string& caption, UINT style) {
    return impl_->ask(text, caption, style);
}

void TerminalDriver::beep(UINT) {
    if (impl_->screen) ::beep();
}

void TerminalDriver::status(const std::string& text) {
    impl_->statusText = text;
    impl_->statusIsError = false;
}

bool TerminalDriver::askString(HWND, const std::string& prompt, const std::string& title, std::string& text) {
    return impl_->prompt(title, prompt, text, false);
}

bool TerminalDriver::chooseFile(HWND, const std::string& filter, const std::string& title, int, std::string& path) {
    std::string question = "File name";
    if (!filter.empty()) question += " (" + filter + ")";
    for (;;) {
        if (!impl_->prompt(title, question + ":", path, true)) return false;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            impl_->statusText = path + " is a directory";
            if (!path.empty() && path.back() != '/') path += '/';
            continue;
        }
        return !path.empty();
    }
}

bool TerminalDriver::userAction(HWND dialog) {
    Impl& m = *impl_;
    m.start();
    if (!m.screen) return false;
    m.dialog = dialog;
    // A viewer window the dialog opened (a preview) is shown over it until a key is pressed,
    // then closed: the terminal has one window at a time.
    for (HWND viewer : m.viewersOf(dialog)) {
        if (!m.showViewer(dialog, viewer)) return false;
        if (IsWindow(viewer)) SendMessageA(viewer, WM_CLOSE, 0, 0);
    }
    const auto caret = m.draw(dialog);
    if (caret.first >= 0) {
        curs_set(1);
        move(caret.second, caret.first);
    } else {
        curs_set(0);
    }
    const int k = m.key(qorwin::timerWait());
    if (k == kIdle) {
        // The window's timers run and the user is asked again. What they change is drawn whole:
        // curses' update of only the changed cells was seen to land a line off after such a wait.
        clearok(stdscr, TRUE);
        return true;
    }
    if (k == ERR) return false;  // the terminal went away: the dialog is cancelled
    if (m.tooSmall) {
        if (k == kEsc) qorwin::pressEscape(dialog);
        return true;
    }
    m.act(dialog, k);
    return true;
}

void TerminalDriver::failed(const std::string& what) {
    impl_->statusText = what;
    impl_->statusIsError = true;
    if (impl_->screen) ::beep();
}

void TerminalDriver::help(HWND, int number) {
    impl_->statusText = "Help topic " + std::to_string(number) + " is not available in the terminal";
}

std::string completePath(const std::string& typed, std::string* choices) {
    const std::size_t slash = typed.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : typed.substr(0, slash));
    const std::string head = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string part = slash == std::string::npos ? typed : typed.substr(slash + 1);
    if (dir.size() > 1 && dir[0] == '~' && dir[1] == '/' && std::getenv("HOME")) dir = std::getenv("HOME") + dir.substr(1);
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (part.empty() && n[0] == '.') continue;
            if (n.compare(0, part.size(), part) == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    if (choices) {
        choices->clear();
        if (names.size() > 1)
            for (const std::string& n : names) *choices += (choices->empty() ? "" : "  ") + n;
    }
    if (names.empty()) return typed;
    std::string common = names[0];
    for (const std::string& n : names) {
        std::size_t i = 0;
        while (i < common.size() && i < n.size() && common[i] == n[i]) ++i;
        common.resize(i);
    }
    std::string out = head + common;
    if (names.size() == 1) {
        struct stat st {};
        const std::string full = (dir == "." ? "" : dir + "/") + common;
        if (::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) out += '/';
    }
    return out;
}

}  // namespace qorterm
