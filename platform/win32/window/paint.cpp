// Painting: the standard look of the built-in controls drawn with the layer's own GDI calls,
// owner-drawn items through WM_DRAWITEM, and the picture of a window as a PNG.
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "qorwingdi.h"
#include "window_internal.h"

namespace qorwin::detail {

namespace {

// A DC for drawing a control outside its WM_PAINT (owner-drawn items), released at scope end.
struct WindowDc {
    HDC dc;
    explicit WindowDc(HWND w) : dc(GetDC(w)) {}
    ~WindowDc() {
        if (dc) releaseDC(dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
};

struct Brush {
    HBRUSH h;
    explicit Brush(COLORREF c) : h(CreateSolidBrush(c)) {}
    ~Brush() { DeleteObject(h); }
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
};

void fillSys(HDC dc, const RECT& r, int colour) { FillRect(dc, &r, GetSysColorBrush(colour)); }
void frameSys(HDC dc, const RECT& r, int colour) { FrameRect(dc, &r, GetSysColorBrush(colour)); }

RECT clientOf(const Window* w) { return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top}; }

// The two-tone edge of a sunken field (edits, lists) or a raised face (buttons).
void edge(HDC dc, const RECT& r, bool sunken) {
    const int light = sunken ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW;
    const int dark = sunken ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
    fillSys(dc, RECT{r.left, r.top, r.right, r.top + 1}, dark);
    fillSys(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, dark);
    fillSys(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, light);
    fillSys(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, light);
}

bool enabledWithParents(const Window* w) {
    for (const Window* x = w; x; x = find(x->parent)) {
        if (!x->enabled) return false;
        if (!x->parent) break;
    }
    return true;
}

void paintStatic(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    const DWORD type = w->style & SS_TYPEMASK;
    switch (type) {
        case SS_ICON:
            if (HICON icon = LoadIconA(nullptr, w->text.c_str())) DrawIcon(dc, 0, 0, icon);
            return;
        case SS_BLACKRECT: fillSys(dc, r, COLOR_WINDOWFRAME); return;
        case SS_GRAYRECT: fillSys(dc, r, COLOR_BTNSHADOW); return;
        case SS_WHITERECT: fillSys(dc, r, COLOR_WINDOW); return;
        case SS_BLACKFRAME: frameSys(dc, r, COLOR_WINDOWFRAME); return;
        case SS_GRAYFRAME: frameSys(dc, r, COLOR_BTNSHADOW); return;
        case SS_WHITEFRAME: frameSys(dc, r, COLOR_WINDOW); return;
        case SS_ETCHEDHORZ: fillSys(dc, RECT{0, 0, r.right, 1}, COLOR_BTNSHADOW); return;
        case SS_ETCHEDVERT: fillSys(dc, RECT{0, 0, 1, r.bottom}, COLOR_BTNSHADOW); return;
        case SS_ETCHEDFRAME: edge(dc, r, true); return;
        case SS_OWNERDRAW: drawItem(w, -1, ODA_DRAWENTIRE); return;
        default: break;
    }
    fillSys(dc, r, COLOR_BTNFACE);  // a text that changed leaves nothing of the old one
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabledWithParents(w) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    format |= (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) ? DT_SINGLELINE : DT_WORDBREAK;
    format |= DT_EXPANDTABS;
    if (w->style & SS_NOPREFIX) format |= DT_NOPREFIX;
    RECT tr = r;
    DrawTextA(dc, w->text.c_str(), -1, &tr, format);
}

void paintEdit(Window* w, HDC dc) {
    RECT r = clientOf(w);
    const bool grey = (w->style & ES_READONLY) || !enabledWithParents(w);
    fillSys(dc, r, grey ? COLOR_BTNFACE : COLOR_WINDOW);
    edge(dc, r, true);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabledWithParents(w) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    const int lh = lineHeight(w->font);
    const bool focused = GetFocus() == w->self;
    if (!(w->style & ES_MULTILINE)) {
        const std::string shown = (w->style & ES_PASSWORD) ? std::string(w->text.size(), '*') : w->text;
        const int y = std::max(1, static_cast<int>((r.bottom - lh) / 2));
        if (focused && w->selEnd > w->selStart && w->selEnd <= shown.size()) {
            // The selection is shown in the highlight colours.
            const int x0 = 3 + textWidth(w->font, shown.substr(0, w->selStart));
            const int x1 = 3 + textWidth(w->font, shown.substr(0, w->selEnd));
            fillSys(dc, RECT{x0, y, x1, y + lh}, COLOR_HIGHLIGHT);
        }
        TextOutA(dc, 3, y, shown.c_str(), static_cast<int>(shown.size()));
        if (focused && w->selEnd > w->selStart && w->selEnd <= shown.size()) {
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            const int x0 = 3 + textWidth(w->font, shown.substr(0, w->selStart));
            const std::string sel = shown.substr(w->selStart, w->selEnd - w->selStart);
            TextOutA(dc, x0, y, sel.c_str(), static_cast<int>(sel.size()));
        }
        return;
    }
    const std::vector<EditLine> lines = editLines(w);
    for (std::size_t i = static_cast<std::size_t>(std::max(0, w->top)); i < lines.size(); ++i) {
        const int y = 2 + static_cast<int>(i - static_cast<std::size_t>(std::max(0, w->top))) * lh;
        if (y >= r.bottom) break;
        const std::string piece = w->text.substr(lines[i].start, lines[i].length);
        TabbedTextOutA(dc, 3, y, piece.c_str(), static_cast<int>(piece.size()), 0, nullptr, 3);
    }
}

void checkMark(HDC dc, const RECT& box, UINT state) {
    auto* cr = static_cast<cairo_t*>(dcCairo(dc));
    if (!cr || state == BST_UNCHECKED) return;
    if (state == BST_INDETERMINATE) {
        fillSys(dc, RECT{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3}, COLOR_BTNSHADOW);
        return;
    }
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, box.left + 3, box.top + 6.5);
    cairo_line_to(cr, box.left + 5.5, box.top + 9.5);
    cairo_line_to(cr, box.left + 10, box.top + 3.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void radioMark(HDC dc, const RECT& box, bool checked) {
    auto* cr = static_cast<cairo_t*>(dcCairo(dc));
    if (!cr) return;
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    cairo_save(cr);
    cairo_arc(cr, cx, cy, 6, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    const COLORREF s = GetSysColor(COLOR_BTNSHADOW);
    cairo_set_source_rgb(cr, GetRValue(s) / 255.0, GetGValue(s) / 255.0, GetBValue(s) / 255.0);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (checked) {
        cairo_arc(cr, cx, cy, 3, 0, 2 * M_PI);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void paintButton(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    const UINT type = buttonType(w);
    const bool on = enabledWithParents(w);
    const bool focused = GetFocus() == w->self;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(on ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    if (type == BS_OWNERDRAW) {
        drawItem(w, -1, ODA_DRAWENTIRE);
        return;
    }
    if (type == BS_GROUPBOX) {
        const int lh = lineHeight(w->font);
        const RECT frame{0, lh / 2, r.right, r.bottom};
        frameSys(dc, frame, COLOR_BTNSHADOW);
        const std::string t = withoutPrefix(w->text);
        if (!t.empty()) {
            RECT tr{8, 0, 8 + textWidth(w->font, t) + 4, lh};
            fillSys(dc, tr, COLOR_BTNFACE);
            tr.left += 2;
            DrawTextA(dc, w->text.c_str(), -1, &tr, DT_SINGLELINE | DT_LEFT | DT_NOCLIP);
        }
        return;
    }
    if (isCheck(w) || isRadio(w)) {
        fillSys(dc, r, COLOR_BTNFACE);
        const int box = 13;
        const bool leftText = (w->style & BS_LEFTTEXT) != 0;
        const int bx = leftText ? r.right - box : 0;
        const RECT b{bx, (r.bottom - box) / 2, bx + box, (r.bottom - box) / 2 + box};
        if (isRadio(w)) {
            radioMark(dc, b, w->check == BST_CHECKED);
        } else {
            fillSys(dc, b, on ? COLOR_WINDOW : COLOR_BTNFACE);
            frameSys(dc, b, COLOR_BTNSHADOW);
            checkMark(dc, b, w->check);
        }
        RECT tr{leftText ? 0 : box + 4, 0, leftText ? r.right - box - 4 : r.right, r.bottom};
        DrawTextA(dc, w->text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | (leftText ? DT_RIGHT : DT_LEFT));
        if (focused) {
            RECT fr;
            DrawTextA(dc, w->text.c_str(), -1, &(fr = tr), DT_SINGLELINE | DT_CALCRECT);
            const int lh = lineHeight(w->font);
            RECT focus{tr.left - 1, (r.bottom - lh) / 2 - 1, tr.left + (fr.right - fr.left) + 1, (r.bottom - lh) / 2 + lh + 1};
            DrawFocusRect(dc, &focus);
        }
        return;
    }
    // A push button: a raised face, a darker frame for the default button, pushed when down.
    LRESULT def = w->parent ? SendMessageA(w->parent, DM_GETDEFID, 0, 0) : 0;
    const bool isDefault = type == BS_DEFPUSHBUTTON || (HIWORD(def) == DC_HASDEFID && LOWORD(def) == w->id);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (w->cls == "QorButton" && w->colours[1]) face = w->colours[1];
    {
        Brush b(face);
        FillRect(dc, &r, b.h);
    }
    RECT inner = r;
    if (isDefault) {
        frameSys(dc, inner, COLOR_WINDOWFRAME);
        InflateRect(&inner, -1, -1);
    }
    edge(dc, inner, w->pushed);
    RECT tr = inner;
    if (w->pushed) OffsetRect(&tr, 1, 1);
    if (w->cls == "QorButton" && w->colours[0]) SetTextColor(dc, w->colours[0]);
    DrawTextA(dc, w->text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    if (focused) {
        RECT fr = inner;
        InflateRect(&fr, -3, -3);
        DrawFocusRect(dc, &fr);
    }
}

int listRows(const Window* w, int height) { return std::max(1, height / std::max(1, w->itemHeight)); }

bool itemIsSelected(const Window* w, std::size_t i) {
    return multiSelect(w) ? w->items[i].selected : w->cur == static_cast<int>(i);
}

// Tab stops of a list box in pixels: its stops in dialog units, or every 32 units.
std::vector<int> pixelStops(const Window* w) {
    const int bx = GetDialogBaseUnits() & 0xFFFF;
    std::vector<int> out;
    for (int t : w->tabs) out.push_back(t * bx / 4);
    if (out.empty()) out.push_back(32 * bx / 4);
    return out;
}

void paintListItems(Window* w, HDC dc, const RECT& area) {
    const bool focused = GetFocus() == w->self;
    const int rows = listRows(w, area.bottom - area.top);
    const std::vector<int> stops = pixelStops(w);
    const int lh = lineHeight(w->font);
    for (int k = 0; k < rows; ++k) {
        const std::size_t i = static_cast<std::size_t>(w->top + k);
        if (i >= w->items.size()) break;
        const RECT ir{area.left, area.top + k * w->itemHeight, area.right, area.top + (k + 1) * w->itemHeight};
        const bool sel = itemIsSelected(w, i);
        fillSys(dc, ir, sel ? COLOR_HIGHLIGHT : COLOR_WINDOW);
        SetTextColor(dc, GetSysColor(sel ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        const std::string t = hasStrings(w) ? w->items[i].text : std::string();
        const int y = ir.top + (w->itemHeight - lh) / 2;
        TabbedTextOutA(dc, ir.left + 2, y, t.c_str(), static_cast<int>(t.size()), static_cast<int>(stops.size()),
                       stops.data(), ir.left + 2);
        if (focused && w->caret == static_cast<int>(i)) DrawFocusRect(dc, &ir);
    }
}

void paintList(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    fillSys(dc, r, COLOR_WINDOW);
    if (ownerDrawn(w)) {
        const HWND self = w->self;
        const int rows = listRows(w, r.bottom - r.top);
        for (int k = 0; k < rows; ++k) {
            Window* x = find(self);
            if (!x || x->top + k >= static_cast<int>(x->items.size())) break;
            drawItem(x, x->top + k, ODA_DRAWENTIRE);
        }
        if (Window* x = find(self)) {
            WindowDc wdc(self);
            edge(wdc.dc, clientOf(x), true);
        }
        return;
    }
    SetBkMode(dc, TRANSPARENT);
    RECT area{1, 1, r.right - 1, r.bottom - 1};
    if (static_cast<int>(w->items.size()) > listRows(w, area.bottom - area.top)) {
        // A scroll bar shows that there is more than the list can show.
        const int sb = GetSystemMetrics(SM_CXVSCROLL);
        area.right -= sb;
        fillSys(dc, RECT{area.right, 1, r.right - 1, r.bottom - 1}, COLOR_SCROLLBAR);
        const int total = static_cast<int>(w->items.size());
        const int h = r.bottom - 2;
        const int rows = listRows(w, area.bottom - area.top);
        const int thumbTop = 1 + h * w->top / total, thumbH = std::max(8, h * rows / total);
        fillSys(dc, RECT{area.right + 2, thumbTop, r.right - 3, std::min<LONG>(r.bottom - 1, thumbTop + thumbH)}, COLOR_BTNSHADOW);
    }
    paintListItems(w, dc, area);
    edge(dc, r, true);
}

void paintCombo(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    const int field = std::min<int>(r.bottom, w->itemHeight + 6);
    const RECT f{0, 0, r.right, field};
    const bool on = enabledWithParents(w);
    fillSys(dc, f, on ? COLOR_WINDOW : COLOR_BTNFACE);
    edge(dc, f, true);
    // The drop button with its arrow.
    const int bw = GetSystemMetrics(SM_CXVSCROLL);
    const RECT b{r.right - bw - 1, 1, r.right - 1, field - 1};
    fillSys(dc, b, COLOR_BTNFACE);
    edge(dc, b, false);
    if (auto* cr = static_cast<cairo_t*>(dcCairo(dc))) {
        const double cx = (b.left + b.right) / 2.0, cy = (b.top + b.bottom) / 2.0;
        cairo_save(cr);
        cairo_move_to(cr, cx - 4, cy - 2);
        cairo_line_to(cr, cx + 4, cy - 2);
        cairo_line_to(cr, cx, cy + 2);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    if (ownerDrawn(w)) {
        drawItem(w, w->cur, ODA_DRAWENTIRE);
    } else {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(on ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        const std::string shown = comboType(w) == 3 ? (w->cur >= 0 && hasStrings(w) ? w->items[static_cast<std::size_t>(w->cur)].text : "") : w->text;
        const int lh = lineHeight(w->font);
        TextOutA(dc, 3, (field - lh) / 2, shown.c_str(), static_cast<int>(shown.size()));
    }
    if (w->dropped && r.bottom > field && !ownerDrawn(w)) {
        const RECT list{0, field, r.right, r.bottom};
        fillSys(dc, list, COLOR_WINDOW);
        SetBkMode(dc, TRANSPARENT);
        paintListItems(w, dc, RECT{1, field + 1, r.right - 1, r.bottom - 1});
        frameSys(dc, list, COLOR_WINDOWFRAME);
    }
}

void paintSpin(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    const int half = (r.bottom - r.top) / 2;
    const RECT up{0, 0, r.right, half}, down{0, half, r.right, r.bottom};
    fillSys(dc, r, COLOR_BTNFACE);
    edge(dc, up, false);
    edge(dc, down, false);
    if (auto* cr = static_cast<cairo_t*>(dcCairo(dc))) {
        const double cx = r.right / 2.0;
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, cx - 3, half / 2.0 + 2);
        cairo_line_to(cr, cx + 3, half / 2.0 + 2);
        cairo_line_to(cr, cx, half / 2.0 - 2);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_move_to(cr, cx - 3, half + half / 2.0 - 2);
        cairo_line_to(cr, cx + 3, half + half / 2.0 - 2);
        cairo_line_to(cr, cx, half + half / 2.0 + 2);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

void paintOther(Window* w, HDC dc) {
    const RECT r = clientOf(w);
    fillSys(dc, r, w->kind == Kind::Viewer ? COLOR_WINDOW : COLOR_BTNFACE);
    frameSys(dc, r, COLOR_BTNSHADOW);
    if (w->kind == Kind::Viewer && !w->text.empty()) {
        SetBkMode(dc, TRANSPARENT);
        RECT tr{4, 4, r.right - 4, r.bottom - 4};
        DrawTextA(dc, w->text.c_str(), -1, &tr, DT_NOPREFIX | DT_WORDBREAK);
    }
}

}  // namespace

bool ownerDrawn(const Window* w) {
    switch (w->kind) {
        case Kind::ListBox: return (w->style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
        case Kind::ComboBox: return (w->style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0;
        case Kind::Button: return buttonType(w) == BS_OWNERDRAW;
        case Kind::Static: return (w->style & SS_TYPEMASK) == SS_OWNERDRAW;
        default: return false;
    }
}

void invalidate(Window* w) {
    if (w) w->invalid = true;
}

void drawItem(Window* w, int index, UINT action, int focus) {
    if (!w || !w->parent || !ownerDrawn(w) || !IsWindowVisible(w->self)) return;
    DRAWITEMSTRUCT di{};
    di.CtlID = static_cast<UINT>(w->id);
    di.hwndItem = w->self;
    di.itemAction = action;
    const bool focused = focus < 0 ? GetFocus() == w->self : focus == 1;
    if (!enabledWithParents(w)) di.itemState |= ODS_DISABLED;
    const RECT r = clientOf(w);
    switch (w->kind) {
        case Kind::ListBox: {
            if (index < 0 || index >= static_cast<int>(w->items.size())) return;
            const int row = index - w->top;
            if (row < 0 || row >= listRows(w, r.bottom - r.top)) return;  // not shown: nothing to draw
            di.CtlType = ODT_LISTBOX;
            di.itemID = static_cast<UINT>(index);
            di.rcItem = RECT{0, row * w->itemHeight, r.right, (row + 1) * w->itemHeight};
            di.itemData = static_cast<UINT_PTR>(w->items[static_cast<std::size_t>(index)].data);
            if (itemIsSelected(w, static_cast<std::size_t>(index))) di.itemState |= ODS_SELECTED;
            if (focused && w->caret == index) di.itemState |= ODS_FOCUS;
            break;
        }
        case Kind::ComboBox:
            di.CtlType = ODT_COMBOBOX;
            di.itemID = static_cast<UINT>(index);  // -1 (all ones) for an empty field
            di.rcItem = RECT{3, 3, r.right - GetSystemMetrics(SM_CXVSCROLL) - 2, std::min<LONG>(r.bottom, w->itemHeight + 3)};
            di.itemState |= ODS_COMBOBOXEDIT;
            if (index >= 0 && index < static_cast<int>(w->items.size()))
                di.itemData = static_cast<UINT_PTR>(w->items[static_cast<std::size_t>(index)].data);
            if (focused) di.itemState |= ODS_SELECTED | ODS_FOCUS;
            break;
        case Kind::Button:
            di.CtlType = ODT_BUTTON;
            di.rcItem = r;
            if (w->pushed) di.itemState |= ODS_SELECTED;
            if (focused) di.itemState |= ODS_FOCUS;
            break;
        default:
            di.CtlType = ODT_STATIC;
            di.rcItem = r;
            break;
    }
    WindowDc dc(w->self);
    di.hDC = dc.dc;
    SendMessageA(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&di));
}

SelectionWatch::SelectionWatch(Window* list) {
    if (!list || list->kind != Kind::ListBox || !ownerDrawn(list)) return;
    list_ = list->self;
    for (std::size_t i = 0; i < list->items.size(); ++i) selected_.push_back(itemIsSelected(list, i));
    caret_ = list->caret;
    focus_ = GetFocus() == list_;
}

SelectionWatch::~SelectionWatch() {
    if (!list_) return;
    Window* w = find(list_);
    if (!w || w->items.size() != selected_.size()) return;  // items came or went: the paint redraws them
    const bool focus = GetFocus() == list_;
    // A caret that moved loses its focus rectangle first, then the selection changes are drawn,
    // then the new caret gets the rectangle.
    if (focus_ && focus && caret_ != w->caret) drawItem(w, caret_, ODA_FOCUS);
    for (std::size_t i = 0; i < selected_.size(); ++i) {
        if (!(w = find(list_))) return;
        if (i < w->items.size() && itemIsSelected(w, i) != selected_[i]) drawItem(w, static_cast<int>(i), ODA_SELECT);
    }
    if ((w = find(list_)) && focus && (caret_ != w->caret || !focus_)) drawItem(w, w->caret, ODA_FOCUS);
}

void paintControl(Window* w) {
    const HWND self = w->self;
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(self, &ps);
    if (!dc) return;
    if ((w = find(self)) != nullptr && IsWindowVisible(self)) {
        switch (w->kind) {
            case Kind::Static: paintStatic(w, dc); break;
            case Kind::Edit: paintEdit(w, dc); break;
            case Kind::Button: paintButton(w, dc); break;
            case Kind::ListBox: paintList(w, dc); break;
            case Kind::ComboBox: paintCombo(w, dc); break;
            case Kind::Spin: paintSpin(w, dc); break;
            case Kind::Viewer:
            case Kind::ScrollBar: paintOther(w, dc); break;
            default: break;
        }
    }
    EndPaint(self, &ps);
}

}  // namespace qorwin::detail

namespace qorwin {

using namespace detail;

int captionHeight() { return GetSystemMetrics(SM_CYCAPTION); }

Image paintPicture(HWND window) {
    Image img;
    Guard g;
    const HWND top = topLevel(window);
    Window* t = find(top);
    if (!t) return img;
    // Painted afresh: the background, the window's own painting, then every visible control.
    clearCanvas(top);
    t->invalid = t->erase = true;
    SendMessageA(top, WM_PAINT, 0, 0);
    if ((t = find(top)) == nullptr) return img;
    std::vector<HWND> kids = t->children;
    for (HWND h : kids)
        if (Window* c = find(h); c && c->visible) {
            SendMessageA(h, WM_PAINT, 0, 0);
            if (Window* x = find(h)) x->invalid = false;
        }
    if ((t = find(top)) == nullptr) return img;
    t->invalid = t->erase = false;
    auto* surface = static_cast<cairo_surface_t*>(canvasSurface(top));
    if (!surface) return img;
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int cap = captionHeight();
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h + cap);
    cairo_t* cr = cairo_create(out);
    drawCaption(cr, t->text, w, cap, state().active == top);
    cairo_set_source_surface(cr, surface, 0, cap);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(out);
    img.width = w;
    img.height = h + cap;
    img.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h + cap));
    const unsigned char* data = cairo_image_surface_get_data(out);
    const int stride = cairo_image_surface_get_stride(out);
    for (int y = 0; y < img.height; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = row[x] | 0xFF000000u;
    }
    cairo_surface_destroy(out);
    return img;
}

bool writePicture(HWND window, const std::string& path) {
    const Image img = paintPicture(window);
    if (img.width == 0) return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, img.width, img.height);
    const int stride = cairo_image_surface_get_stride(s);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < img.height; ++y)
        std::copy_n(&img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width)], img.width,
                    reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride));
    cairo_surface_mark_dirty(s);
    // Written beside the target and renamed: a reader never sees half a picture.
    const std::string tmp = path + ".tmp";
    const bool ok = cairo_surface_write_to_png(s, tmp.c_str()) == CAIRO_STATUS_SUCCESS && std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(tmp.c_str());
    cairo_surface_destroy(s);
    return ok;
}

}  // namespace qorwin
