// The text picture of a dialog: a drawing on a character grid (4 dialog units a column, 8 a
// line) and a list of the controls with their state, for tests, debugging and a terminal.
#include <algorithm>

#include "qorwinuser.h"
#include "window_internal.h"

namespace qorwin {

using namespace detail;

namespace {

struct Grid {
    int cols, rows;
    std::vector<std::string> lines;
    Grid(int c, int r) : cols(std::max(c, 1)), rows(std::max(r, 1)), lines(static_cast<std::size_t>(rows), std::string(static_cast<std::size_t>(cols), ' ')) {}
    void put(int x, int y, const std::string& s, int width) {
        if (y < 0 || y >= rows) return;
        for (int i = 0; i < static_cast<int>(s.size()) && i < width; ++i) {
            const int cx = x + i;
            if (cx >= 0 && cx < cols) lines[static_cast<std::size_t>(y)][static_cast<std::size_t>(cx)] = s[static_cast<std::size_t>(i)];
        }
    }
};

std::string fit(std::string s, int width) {
    if (width <= 0) return std::string();
    if (static_cast<int>(s.size()) > width) s.resize(static_cast<std::size_t>(width));
    return s;
}

// A label without its mnemonic marks ("&OK" is shown "OK"; "&&" is one '&').
std::string label(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += s[i] == '\t' || s[i] == '\n' ? ' ' : s[i];
    }
    return out;
}

// Tab stops of a list box, in columns (dialog units / 4); 8 columns apart without stops.
std::string expandTabs(const std::string& s, const std::vector<int>& tabs) {
    std::string out;
    std::size_t next = 0;
    for (char c : s) {
        if (c != '\t') {
            out += c;
            continue;
        }
        int col = static_cast<int>(out.size());
        int stop = -1;
        for (; next < tabs.size(); ++next) {
            if (tabs[next] / 4 > col) {
                stop = tabs[next] / 4;
                ++next;
                break;
            }
        }
        if (stop < 0) stop = (col / 8 + 1) * 8;
        out.append(static_cast<std::size_t>(stop - col), ' ');
    }
    return out;
}

std::string itemText(const Window* w, std::size_t i) {
    return hasStrings(w) ? w->items[i].text : "#" + std::to_string(w->items[i].data);
}

bool itemSelected(const Window* w, std::size_t i) {
    return multiSelect(w) ? w->items[i].selected : w->cur == static_cast<int>(i);
}

std::string kindName(const Window* w) {
    switch (w->kind) {
        case Kind::Edit: return "edit";
        case Kind::Static: return "static";
        case Kind::ListBox: return multiSelect(w) ? "list(multi)" : "list";
        case Kind::ComboBox: return comboType(w) == 3 ? "combo(list)" : "combo";
        case Kind::Spin: return "spin";
        case Kind::Viewer: return "viewer";
        case Kind::Button: {
            const UINT t = buttonType(w);
            if (t == BS_GROUPBOX) return "group";
            if (isRadio(w)) return "radio";
            if (isCheck(w)) return "check";
            if (t == BS_DEFPUSHBUTTON) return "default";
            return "button";
        }
        default: return w->cls;
    }
}

void draw(Grid& g, const Window* w, bool isDefault) {
    const int x = w->dlu.left / 4, y = w->dlu.top / 8;
    const int width = std::max(1, (w->dlu.right - w->dlu.left + 3) / 4);
    const int height = std::max(1, (w->dlu.bottom - w->dlu.top + 7) / 8);
    const std::string t = label(w->text);
    switch (w->kind) {
        case Kind::Static: {
            const DWORD a = w->style & SS_TYPEMASK;
            std::string s = fit(t, width);
            int at = x;
            if (a == SS_RIGHT) at = x + width - static_cast<int>(s.size());
            if (a == SS_CENTER) at = x + (width - static_cast<int>(s.size())) / 2;
            g.put(at, y, s, width);
            break;
        }
        case Kind::Edit: {
            std::string s = (w->style & ES_PASSWORD) ? std::string(w->text.size(), '*') : label(w->text);
            s = "[" + fit(s, width - 2);
            s += std::string(static_cast<std::size_t>(std::max(0, width - 1 - static_cast<int>(s.size()))), '_') + "]";
            g.put(x, y, s, width);
            break;
        }
        case Kind::Button: {
            const UINT type = buttonType(w);
            if (type == BS_GROUPBOX) {
                std::string top = "+-" + fit(t, width - 4);
                top += std::string(static_cast<std::size_t>(std::max(0, width - 1 - static_cast<int>(top.size()))), '-') + "+";
                g.put(x, y, top, width);
                for (int r = 1; r < height - 1; ++r) {
                    g.put(x, y + r, "|", 1);
                    g.put(x + width - 1, y + r, "|", 1);
                }
                if (height > 1) g.put(x, y + height - 1, "+" + std::string(static_cast<std::size_t>(std::max(0, width - 2)), '-') + "+", width);
            } else if (isRadio(w)) {
                g.put(x, y, std::string(w->check ? "(o) " : "( ) ") + t, width);
            } else if (isCheck(w)) {
                g.put(x, y, std::string(w->check == BST_CHECKED ? "[x] " : w->check ? "[?] " : "[ ] ") + t, width);
            } else {
                std::string s = isDefault ? "[>" + t + "<]" : "[ " + t + " ]";
                const int at = x + std::max(0, (width - static_cast<int>(s.size())) / 2);
                g.put(at, y, s, width - (at - x));
            }
            break;
        }
        case Kind::ListBox: {
            for (int r = 0; r < height; ++r) {
                const std::size_t i = static_cast<std::size_t>(w->top + r);
                std::string s = "|";
                if (i < w->items.size()) s += (itemSelected(w, i) ? "*" : " ") + expandTabs(itemText(w, i), w->tabs);
                if (r == height - 1 && w->items.size() > static_cast<std::size_t>(w->top + height))
                    s = "| ... " + std::to_string(w->items.size() - static_cast<std::size_t>(w->top + height - 1)) + " more";
                s = fit(s, width - 1);
                s += std::string(static_cast<std::size_t>(std::max(0, width - 1 - static_cast<int>(s.size()))), ' ') + "|";
                g.put(x, y + r, s, width);
            }
            break;
        }
        case Kind::ComboBox: {
            std::string shown = comboType(w) == 3 ? (w->cur >= 0 ? itemText(w, static_cast<std::size_t>(w->cur)) : "") : w->text;
            std::string s = "[" + fit(label(shown), width - 3);
            s += std::string(static_cast<std::size_t>(std::max(0, width - 2 - static_cast<int>(s.size()))), '_') + "v]";
            g.put(x, y, s, width);
            break;
        }
        case Kind::Spin: g.put(x, y, "[^v " + std::to_string(w->pos) + "]", width); break;
        case Kind::Viewer: {
            g.put(x, y, "{" + fit(w->text, width - 2) + "}", width);
            // Below its name, the viewer shows a scaled view of the file when one is drawn.
            const ViewerPainter painter = viewerPainter();
            if (painter && !w->text.empty() && height > 1 && width > 2) {
                const std::vector<std::string> view = painter(w->text, width - 2, height - 1);
                for (std::size_t r = 0; r < view.size() && static_cast<int>(r) < height - 1; ++r)
                    g.put(x + 1, y + 1 + static_cast<int>(r), fit(view[r], width - 2), width - 2);
            }
            break;
        }
        default: g.put(x, y, "<" + w->cls + ">", width); break;
    }
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

ViewerPainter& viewerPainter() {
    static ViewerPainter painter = nullptr;
    return painter;
}

void setViewerPainter(ViewerPainter painter) { viewerPainter() = painter; }

std::string picture(HWND dialog) {
    Window* d = find(dialog);
    if (!d) return "(no dialog)\n";
    const int cols = (d->dlu.right - d->dlu.left + 3) / 4;
    const int rows = (d->dlu.bottom - d->dlu.top + 7) / 8;
    Grid g(cols + 2, rows + 2);
    // The frame with the caption.
    std::string top = "+-" + label(d->text) + " ";
    top += std::string(static_cast<std::size_t>(std::max(0, cols + 1 - static_cast<int>(top.size()))), '-') + "+";
    g.put(0, 0, top, cols + 2);
    for (int r = 1; r <= rows; ++r) {
        g.put(0, r, "|", 1);
        g.put(cols + 1, r, "|", 1);
    }
    g.put(0, rows + 1, "+" + std::string(static_cast<std::size_t>(cols), '-') + "+", cols + 2);

    const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    const int defId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
    const HWND focus = GetFocus();
    std::string list;
    for (HWND h : d->children) {
        Window* w = find(h);
        if (!w) continue;
        const bool isDefault = w->kind == Kind::Button && isPushButton(w) && w->id == defId;
        Grid sub(cols, rows);
        if (w->visible) {
            // Drawn one column in from the frame; the marks go just before the control.
            Grid one(cols + 2, rows + 2);
            draw(sub, w, isDefault);
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) {
                    char ch = sub.lines[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                    if (ch != ' ') g.lines[static_cast<std::size_t>(r + 1)][static_cast<std::size_t>(c + 1)] = ch;
                }
            const int mx = w->dlu.left / 4, my = w->dlu.top / 8 + 1;
            if (h == focus)
                g.put(mx, my, ">", 1);
            else if (!w->enabled)
                g.put(mx, my, "~", 1);
        }
        // The control list.
        std::string line = std::to_string(w->id) + " " + kindName(w);
        if (w->kind == Kind::Edit || w->kind == Kind::ComboBox || w->kind == Kind::Static || w->kind == Kind::Button ||
            w->kind == Kind::Viewer)
            line += " " + quoted(w->kind == Kind::ComboBox && comboType(w) == 3
                                     ? (w->cur >= 0 ? itemText(w, static_cast<std::size_t>(w->cur)) : "")
                                     : w->text);
        if ((isCheck(w) || isRadio(w)) && w->check) line += w->check == BST_CHECKED ? " checked" : " indeterminate";
        if (isDefault) line += " default";
        if (!w->enabled) line += " disabled";
        if (!w->visible) line += " hidden";
        if (h == focus) line += " focus";
        if (w->kind == Kind::Edit && w->limit < 30000) line += " limit " + std::to_string(w->limit);
        if (w->kind == Kind::Spin)
            line += " " + std::to_string(w->pos) + " in " + std::to_string(w->low) + ".." + std::to_string(w->high);
        if (w->kind == Kind::ListBox || w->kind == Kind::ComboBox) {
            line += " [";
            for (std::size_t i = 0; i < w->items.size(); ++i) {
                if (i) line += " | ";
                line += itemText(w, i);
                if (itemSelected(w, i)) line += "*";
            }
            line += "]";
        }
        list += "  " + line + "\n";
    }
    std::string out;
    for (const std::string& l : g.lines) {
        std::string t = l;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        out += t + "\n";
    }
    return out + list;
}

}  // namespace qorwin
