// Device contexts over cairo image surfaces: the canvases of top-level windows, fonts realised
// with cairo and fontconfig, text output and measuring, rectangles, icons and the screen's
// device capabilities.
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "qorlang.h"
#include "qorwingdi.h"
#include "window_internal.h"

namespace qorwin::detail {

namespace {

constexpr int kScreenWidth = 1024, kScreenHeight = 768, kDpi = 96;
// The system font: DejaVu Sans with the 16-pixel cell of the dialog base units.
constexpr int kSystemCell = 16;

struct Canvas {
    cairo_surface_t* surface = nullptr;
    int width = 0, height = 0;
    ~Canvas() {
        if (surface) cairo_surface_destroy(surface);
    }
};

struct Dc {
    HWND window = nullptr;  // null: the screen
    bool paint = false;     // from BeginPaint
    bool recording = false;
    std::string recorded;
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    COLORREF text = 0, bk = 0xFFFFFF;
    int bkMode = OPAQUE;
    cairo_t* cr = nullptr;  // made at the first drawing call
    ~Dc() {
        if (cr) cairo_destroy(cr);
    }
};

struct GdiState {
    std::map<uintptr_t, std::unique_ptr<Canvas>> canvases;  // by top-level window
    std::map<uintptr_t, std::unique_ptr<Dc>> dcs;
    uintptr_t nextDc = 0xDC0000;
    Canvas scratch;  // the screen DC's surface
};

GdiState& gdi() {
    static GdiState s;
    return s;
}

Dc* findDc(HDC h) {
    auto& m = gdi().dcs;
    auto it = m.find(reinterpret_cast<uintptr_t>(h));
    return it == m.end() ? nullptr : it->second.get();
}

HDC makeDc(HWND window, bool paint) {
    GdiState& s = gdi();
    auto dc = std::make_unique<Dc>();
    dc->window = window;
    dc->paint = paint;
    if (Window* w = find(window)) dc->font = w->font;
    const uintptr_t h = s.nextDc;
    s.nextDc += 4;
    s.dcs.emplace(h, std::move(dc));
    return reinterpret_cast<HDC>(h);
}

// ---------------------------------------------------------------- fonts

struct Face {
    std::string family;
    bool bold = false, italic = false, underline = false;
    double size = 0;  // cairo font size (the em) in pixels
};

bool fontconfigKnows(const std::string& family) {
    static std::map<std::string, bool> known;
    auto it = known.find(family);
    if (it != known.end()) return it->second;
    bool found = false;
    if (FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()))) {
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
        FcDefaultSubstitute(p);
        FcResult r;
        if (FcPattern* m = FcFontMatch(nullptr, p, &r)) {
            FcChar8* got = nullptr;
            if (FcPatternGetString(m, FC_FAMILY, 0, &got) == FcResultMatch && got)
                found = sameText(reinterpret_cast<const char*>(got), family);
            FcPatternDestroy(m);
        }
        FcPatternDestroy(p);
    }
    known[family] = found;
    return found;
}

std::string familyFor(const std::string& face) {
    if (!face.empty() && fontconfigKnows(face)) return face;
    std::string lower;
    for (char c : face) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos ||
        lower.find("fixed") != std::string::npos || lower.find("terminal") != std::string::npos)
        return "DejaVu Sans Mono";
    if (lower.find("times") != std::string::npos || lower.find("roman") != std::string::npos ||
        (lower.find("serif") != std::string::npos && lower.find("sans") == std::string::npos))
        return "DejaVu Serif";
    return "DejaVu Sans";
}

cairo_t* measuringContext() {
    static cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    static cairo_t* cr = cairo_create(surface);
    return cr;
}

void applyOptions(cairo_t* cr) {
    // Unhinted metrics: a width measured is the width drawn, at any position.
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

void selectFace(cairo_t* cr, const Face& f) {
    cairo_select_font_face(cr, f.family.c_str(), f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           f.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, f.size);
    applyOptions(cr);
}

Face realise(HFONT font) {
    Face f;
    FontInfo info;
    const bool have = fontInfo(font, &info);
    f.family = familyFor(have ? info.face : std::string());
    f.bold = have && info.weight >= 600;
    f.italic = have && info.italic;
    f.underline = have && info.underline;
    int height = have ? info.height : kSystemCell;
    if (height == 0) height = kSystemCell;
    if (height < 0) {
        f.size = -height;
    } else {
        // A cell height: the em is the cell less the font's own leading.
        cairo_t* cr = measuringContext();
        Face unit = f;
        unit.size = 100;
        selectFace(cr, unit);
        cairo_font_extents_t e;
        cairo_font_extents(cr, &e);
        const double cell = e.ascent + e.descent;
        f.size = cell > 0 ? height * 100.0 / cell : height;
    }
    f.size = std::clamp(f.size, 1.0, 2000.0);
    return f;
}

// The product's texts are Latin-1; cairo takes UTF-8.
std::string utf8(const char* text, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

struct Metrics {
    int ascent = 0, descent = 0, height = 0, aveWidth = 0, maxWidth = 0;
};

Metrics metricsOf(const Face& f) {
    cairo_t* cr = measuringContext();
    selectFace(cr, f);
    cairo_font_extents_t e;
    cairo_font_extents(cr, &e);
    Metrics m;
    m.height = static_cast<int>(std::lround(e.ascent + e.descent));
    m.ascent = static_cast<int>(std::lround(e.ascent));
    m.descent = m.height - m.ascent;
    cairo_text_extents_t t;
    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    cairo_text_extents(cr, letters, &t);
    m.aveWidth = static_cast<int>((t.x_advance / 26 + 1) / 2);
    cairo_text_extents(cr, "W", &t);
    m.maxWidth = static_cast<int>(std::ceil(std::max(e.max_x_advance, t.x_advance)));
    return m;
}

double advance(const Face& f, const std::string& latin1) {
    if (latin1.empty()) return 0;
    // Each character's advance is measured once a face. Cairo's text calls place every glyph at
    // the sum of the advances before it (no kerning, no ligatures), so a text's advance is the
    // sum of its characters' advances: the width measured stays the width drawn.
    using Key = std::tuple<std::string, bool, bool, double>;
    static std::map<Key, std::array<double, 256>> known;
    auto [it, fresh] = known.try_emplace(Key{f.family, f.bold, f.italic, f.size});
    std::array<double, 256>& widths = it->second;
    if (fresh) widths.fill(-1);
    double sum = 0;
    for (const char ch : latin1) {
        double& w = widths[static_cast<unsigned char>(ch)];
        if (w < 0) {
            cairo_t* cr = measuringContext();
            selectFace(cr, f);
            cairo_text_extents_t t;
            const std::string u = utf8(&ch, 1);
            cairo_text_extents(cr, u.c_str(), &t);
            w = t.x_advance;
        }
        sum += w;
    }
    return sum;
}

// ---------------------------------------------------------------- canvases and drawing contexts

Canvas* canvasOf(HWND top) {
    Window* t = find(top);
    if (!t) return nullptr;
    GdiState& s = gdi();
    const int w = std::max<int>(1, t->rect.right - t->rect.left);
    const int h = std::max<int>(1, t->rect.bottom - t->rect.top);
    auto& slot = s.canvases[reinterpret_cast<uintptr_t>(top)];
    if (!slot || slot->width != w || slot->height != h) {
        auto c = std::make_unique<Canvas>();
        c->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        c->width = w;
        c->height = h;
        cairo_t* cr = cairo_create(c->surface);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        cairo_set_source_rgb(cr, GetRValue(face) / 255.0, GetGValue(face) / 255.0, GetBValue(face) / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
        slot = std::move(c);
    }
    return slot.get();
}

// The client origin of a window in its top-level window's client coordinates.
POINT originInTop(const Window* w) {
    POINT p{0, 0};
    for (const Window* x = w; x && x->parent; x = find(x->parent)) {
        p.x += x->rect.left;
        p.y += x->rect.top;
    }
    return p;
}

cairo_t* context(Dc* dc) {
    if (dc->recording) return nullptr;
    if (dc->cr) return dc->cr;
    Window* w = find(dc->window);
    if (!w) {
        GdiState& s = gdi();
        if (!s.scratch.surface) {
            s.scratch.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64);
            s.scratch.width = s.scratch.height = 64;
        }
        dc->cr = cairo_create(s.scratch.surface);
        return dc->cr;
    }
    Canvas* c = canvasOf(topLevel(w->self));
    if (!c) return nullptr;
    dc->cr = cairo_create(c->surface);
    const POINT o = originInTop(w);
    cairo_translate(dc->cr, o.x, o.y);
    cairo_rectangle(dc->cr, 0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top);
    cairo_clip(dc->cr);
    return dc->cr;
}

void setColour(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void fill(cairo_t* cr, const RECT& r, COLORREF c) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    setColour(cr, c);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr);
}

// Draws one run of text with its top at y; returns its advance in pixels.
int drawRun(Dc* dc, int x, int y, const std::string& latin1) {
    const Face f = realise(dc->font);
    const Metrics m = metricsOf(f);
    const int width = static_cast<int>(std::lround(advance(f, latin1)));
    if (dc->recording) {
        dc->recorded += latin1;
        return width;
    }
    cairo_t* cr = context(dc);
    if (!cr) return width;
    if (dc->bkMode == OPAQUE) fill(cr, RECT{x, y, x + width, y + m.height}, dc->bk);
    if (!latin1.empty()) {
        selectFace(cr, f);
        setColour(cr, dc->text);
        cairo_move_to(cr, x, y + m.ascent);
        const std::string u = utf8(latin1.data(), latin1.size());
        cairo_show_text(cr, u.c_str());
        if (f.underline) {
            cairo_rectangle(cr, x, y + m.ascent + 1, width, std::max(1.0, f.size / 14));
            cairo_fill(cr);
        }
    }
    return width;
}

std::string textOf(LPCSTR text, int length) {
    if (!text) return std::string();
    if (length < 0) return std::string(text);
    return std::string(text, static_cast<std::size_t>(length));
}

// Splits the text at tabs and places each piece at the next stop.
int tabbedWidth(Dc* dc, int x, int y, const std::string& s, int count, const int* stops, int origin, bool draw) {
    const Face f = realise(dc->font);
    const int defaultTab = 8 * std::max(1, metricsOf(f).aveWidth);
    int pos = x;
    std::size_t start = 0;
    int next = 0;
    for (;;) {
        const std::size_t tab = s.find('\t', start);
        const std::string piece = s.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (draw)
            pos += drawRun(dc, pos, y, piece);
        else
            pos += static_cast<int>(std::lround(advance(f, piece)));
        if (tab == std::string::npos) break;
        if (draw && dc->recording) dc->recorded += '\t';
        start = tab + 1;
        int stop = -1;
        if (count == 1 && stops && stops[0] > 0) {
            stop = origin + ((pos - origin) / stops[0] + 1) * stops[0];
        } else if (count > 1 && stops) {
            while (next < count && origin + stops[next] <= pos) ++next;
            if (next < count) stop = origin + stops[next++];
        }
        if (stop < 0) stop = origin + ((pos - origin) / defaultTab + 1) * defaultTab;
        if (draw && !dc->recording && dc->bkMode == OPAQUE)
            if (cairo_t* cr = context(dc)) fill(cr, RECT{pos, y, stop, y + metricsOf(f).height}, dc->bk);
        pos = stop;
    }
    return pos - x;
}

}  // namespace

// ---------------------------------------------------------------- for the painting code

void dropCanvas(HWND top) { gdi().canvases.erase(reinterpret_cast<uintptr_t>(top)); }

void dropAllCanvases() {
    GdiState& s = gdi();
    s.canvases.clear();
    s.dcs.clear();
}

void clearCanvas(HWND top) {
    if (Canvas* c = canvasOf(top)) {
        cairo_t* cr = cairo_create(c->surface);
        fill(cr, RECT{0, 0, c->width, c->height}, GetSysColor(COLOR_BTNFACE));
        cairo_destroy(cr);
    }
}

bool hasCanvas(HWND top) { return gdi().canvases.count(reinterpret_cast<uintptr_t>(top)) != 0; }

void* canvasSurface(HWND top) {
    Canvas* c = canvasOf(top);
    return c ? c->surface : nullptr;
}

HDC paintDC(HWND window) { return makeDc(window, true); }

void releaseDC(HDC dc) { gdi().dcs.erase(reinterpret_cast<uintptr_t>(dc)); }

int textWidth(HFONT font, const std::string& latin1) {
    return static_cast<int>(std::lround(advance(realise(font), latin1)));
}

int lineHeight(HFONT font) { return metricsOf(realise(font)).height; }

// A label's text without its mnemonic marks; `mark` gets the index of the underlined letter.
std::string stripPrefix(const std::string& s, int* mark) {
    std::string out;
    if (mark) *mark = -1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
                continue;
            }
            if (mark && i + 1 < s.size()) *mark = static_cast<int>(out.size());
            continue;
        }
        out += s[i];
    }
    return out;
}

std::string withoutPrefix(const std::string& s) { return stripPrefix(s, nullptr); }

}  // namespace qorwin::detail

using namespace qorwin::detail;

// ---------------------------------------------------------------- the Win32 calls

HDC GetDC(HWND window) {
    if (window && !find(window)) return nullptr;
    return makeDc(window, false);
}

int ReleaseDC(HWND, HDC dc) {
    Dc* d = findDc(dc);
    if (!d || d->paint) return 0;
    releaseDC(dc);
    return 1;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Dc* d = findDc(dc);
    if (!d || !object) return nullptr;
    if (qorwin::fontInfo(object, nullptr)) {
        HGDIOBJ old = d->font;
        d->font = object;
        // The system font stands for "no font selected".
        return old ? old : object;
    }
    if (qorwin::brushColour(object, nullptr)) {
        HGDIOBJ old = d->brush ? d->brush : GetSysColorBrush(COLOR_WINDOW);
        d->brush = object;
        return old;
    }
    return nullptr;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    Dc* d = findDc(dc);
    if (!d) return 0xFFFFFFFF;
    const COLORREF old = d->text;
    d->text = colour & 0xFFFFFF;
    return old;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
    Dc* d = findDc(dc);
    if (!d) return 0xFFFFFFFF;
    const COLORREF old = d->bk;
    d->bk = colour & 0xFFFFFF;
    return old;
}

int SetBkMode(HDC dc, int mode) {
    Dc* d = findDc(dc);
    if (!d || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
    const int old = d->bkMode;
    d->bkMode = mode;
    return old;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Dc* d = findDc(dc);
    COLORREF c = 0;
    // As on Win32 a system colour index + 1 stands for its brush.
    if (reinterpret_cast<uintptr_t>(brush) >= 1 && reinterpret_cast<uintptr_t>(brush) <= 25)
        brush = GetSysColorBrush(static_cast<int>(reinterpret_cast<uintptr_t>(brush) - 1));
    if (!d || !rect || !qorwin::brushColour(brush, &c)) return 0;
    if (cairo_t* cr = context(d)) fill(cr, *rect, c);
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Dc* d = findDc(dc);
    COLORREF c = 0;
    if (!d || !rect || !qorwin::brushColour(brush, &c)) return 0;
    if (cairo_t* cr = context(d)) {
        const RECT& r = *rect;
        fill(cr, RECT{r.left, r.top, r.right, r.top + 1}, c);
        fill(cr, RECT{r.left, r.bottom - 1, r.right, r.bottom}, c);
        fill(cr, RECT{r.left, r.top, r.left + 1, r.bottom}, c);
        fill(cr, RECT{r.right - 1, r.top, r.right, r.bottom}, c);
    }
    return 1;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    Dc* d = findDc(dc);
    if (!d || !rect) return FALSE;
    cairo_t* cr = context(d);
    if (!cr) return TRUE;
    // A dotted frame: every other pixel of the edge, inverted.
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    const RECT& r = *rect;
    for (int x = r.left; x < r.right; x += 2) {
        cairo_rectangle(cr, x, r.top, 1, 1);
        cairo_rectangle(cr, x, r.bottom - 1, 1, 1);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        cairo_rectangle(cr, r.left, y, 1, 1);
        cairo_rectangle(cr, r.right - 1, y, 1, 1);
    }
    cairo_fill(cr);
    cairo_restore(cr);
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    Dc* d = findDc(dc);
    if (!d || !text || length < 0) return FALSE;
    drawRun(d, x, y, std::string(text, static_cast<std::size_t>(length)));
    return TRUE;
}

LONG TabbedTextOutA(HDC dc, int x, int y, LPCSTR text, int length, int count, const int* stops, int origin) {
    Dc* d = findDc(dc);
    if (!d || !text || length < 0) return 0;
    const int width = tabbedWidth(d, x, y, std::string(text, static_cast<std::size_t>(length)), count, stops, origin, true);
    return MAKELONG(width, metricsOf(realise(d->font)).height);
}

int DrawTextA(HDC dc, LPCSTR text, int length, RECT* rect, UINT format) {
    Dc* d = findDc(dc);
    if (!d || !text || !rect) return 0;
    int mark = -1;
    std::string s = textOf(text, length);
    if (!(format & DT_NOPREFIX)) s = stripPrefix(s, &mark);
    const Face f = realise(d->font);
    const Metrics m = metricsOf(f);
    const int width = rect->right - rect->left;
    auto measure = [&](const std::string& t) {
        if (format & DT_EXPANDTABS) return tabbedWidth(d, 0, 0, t, 0, nullptr, 0, false);
        return static_cast<int>(std::lround(advance(f, t)));
    };
    // Lines: broken at line breaks unless single-line, and at word ends to fit with DT_WORDBREAK.
    std::vector<std::string> lines;
    if (format & DT_SINGLELINE) {
        std::string one;
        for (char c : s) one += (c == '\r' || c == '\n') ? ' ' : c;
        lines.push_back(one);
    } else {
        std::size_t start = 0;
        for (;;) {
            std::size_t brk = s.find_first_of("\r\n", start);
            std::string para = s.substr(start, brk == std::string::npos ? std::string::npos : brk - start);
            if (!(format & DT_WORDBREAK)) {
                lines.push_back(para);
            } else {
                std::string line;
                std::size_t i = 0;
                while (i <= para.size()) {
                    std::size_t sp = para.find(' ', i);
                    std::string word = para.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
                    std::string trial = line.empty() ? word : line + " " + word;
                    if (!line.empty() && measure(trial) > width) {
                        lines.push_back(line);
                        line = word;
                    } else {
                        line = trial;
                    }
                    if (sp == std::string::npos) break;
                    i = sp + 1;
                }
                lines.push_back(line);
            }
            if (brk == std::string::npos) break;
            start = brk + (s.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
        }
    }
    if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE) && measure(lines[0]) > width) {
        std::string& l = lines[0];
        while (!l.empty() && measure(l + "...") > width) l.pop_back();
        l += "...";
    }
    const int total = static_cast<int>(lines.size()) * m.height;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const std::string& l : lines) widest = std::max(widest, measure(l));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - m.height) / 2;
        if (format & DT_BOTTOM) y = rect->bottom - m.height;
    }
    cairo_t* cr = d->recording ? nullptr : context(d);
    if (cr && !(format & DT_NOCLIP)) {
        cairo_save(cr);
        cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        cairo_clip(cr);
    }
    int markAt = mark;
    for (const std::string& l : lines) {
        const int w = measure(l);
        int x = rect->left;
        if (format & DT_CENTER) x = rect->left + (width - w) / 2;
        if (format & DT_RIGHT) x = rect->right - w;
        if (format & DT_EXPANDTABS)
            tabbedWidth(d, x, y, l, 0, nullptr, x, true);
        else
            drawRun(d, x, y, l);
        if (d->recording && &l != &lines.back()) d->recorded += '\n';
        if (cr && markAt >= 0 && markAt < static_cast<int>(l.size())) {
            // The mnemonic letter is underlined.
            const int ux = x + static_cast<int>(std::lround(advance(f, l.substr(0, static_cast<std::size_t>(markAt)))));
            const int uw = static_cast<int>(std::lround(advance(f, l.substr(static_cast<std::size_t>(markAt), 1))));
            setColour(cr, d->text);
            cairo_rectangle(cr, ux, y + m.ascent + 1, uw, 1);
            cairo_fill(cr);
        }
        markAt -= static_cast<int>(l.size()) + 1;
        y += m.height;
    }
    if (cr && !(format & DT_NOCLIP)) cairo_restore(cr);
    return total;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
    Dc* d = findDc(dc);
    if (!d || !tm) return FALSE;
    const Face f = realise(d->font);
    const Metrics m = metricsOf(f);
    std::memset(tm, 0, sizeof *tm);
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = std::max(0, m.height - static_cast<int>(std::lround(f.size)));
    tm->tmAveCharWidth = m.aveWidth;
    tm->tmMaxCharWidth = m.maxWidth;
    tm->tmWeight = f.bold ? 700 : 400;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = kDpi;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = '?';
    tm->tmBreakChar = ' ';
    tm->tmItalic = f.italic ? 1 : 0;
    tm->tmUnderlined = f.underline ? 1 : 0;
    tm->tmPitchAndFamily = f.family == "DejaVu Sans Mono" ? 0x30 : 0x26;  // modern fixed / swiss variable, TrueType
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size) {
    Dc* d = findDc(dc);
    if (!d || !size || length < 0 || (!text && length > 0)) return FALSE;
    const Face f = realise(d->font);
    size->cx = static_cast<LONG>(std::lround(advance(f, std::string(text ? text : "", static_cast<std::size_t>(length)))));
    size->cy = metricsOf(f).height;
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    if (!findDc(dc)) return 0;
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY: return kDpi;
        case HORZRES: return kScreenWidth;
        case VERTRES: return kScreenHeight;
        case HORZSIZE: return kScreenWidth * 254 / (kDpi * 10);
        case VERTSIZE: return kScreenHeight * 254 / (kDpi * 10);
        case BITSPIXEL: return 32;
        default: return 0;
    }
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return kScreenWidth;
        case SM_CYSCREEN: return kScreenHeight;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB: return 17;
        case SM_CYCAPTION: return 20;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME: return 3;
        case SM_CXEDGE:
        case SM_CYEDGE: return 2;
        case SM_CXICON:
        case SM_CYICON: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        case SM_CYMENU: return 20;
        case SM_CXFULLSCREEN: return kScreenWidth;
        case SM_CYFULLSCREEN: return kScreenHeight - 20 - 40;  // less the caption and a task bar
        case SM_CXMIN: return 136;
        case SM_CYMIN: return 39;
        case SM_DBCSENABLED: return 0;  // single-byte characters only
        default: return 0;
    }
}

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

namespace qorwin {

HDC recordingDC(HWND window) {
    HDC h = makeDc(window, false);
    findDc(h)->recording = true;
    return h;
}

std::string recordedText(HDC dc) {
    Dc* d = findDc(dc);
    return d ? d->recorded : std::string();
}

}  // namespace qorwin

// ---------------------------------------------------------------- icons

namespace {

struct IconTable {
    std::map<std::string, uintptr_t> byName;
    std::map<uintptr_t, qorlang::IconImage> images;
    uintptr_t next = 0x1C0000;
};

IconTable& icons() {
    static IconTable t;
    return t;
}

}  // namespace

// Icons of the language module are shared, as LoadIcon's are: one handle a name for the life of
// the process, and DestroyIcon leaves them.
HICON LoadIconA(HINSTANCE, LPCSTR name) {
    if (!name) return nullptr;
    const std::string key = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<UINT_PTR>(name)) : std::string(name);
    std::string upper;
    for (char c : key) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    IconTable& t = icons();
    auto it = t.byName.find(upper);
    if (it != t.byName.end()) return reinterpret_cast<HICON>(it->second);
    const qorlang::Module* m = qorlang::current();
    const qorlang::IconImage* img = m ? m->icon(upper) : nullptr;
    if (!img) return nullptr;
    const uintptr_t h = t.next;
    t.next += 4;
    t.images.emplace(h, *img);
    t.byName.emplace(upper, h);
    return reinterpret_cast<HICON>(h);
}

BOOL DestroyIcon(HICON icon) { return icons().images.count(reinterpret_cast<uintptr_t>(icon)) ? TRUE : FALSE; }

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    Dc* d = findDc(dc);
    auto it = icons().images.find(reinterpret_cast<uintptr_t>(icon));
    if (!d || it == icons().images.end()) return FALSE;
    const qorlang::IconImage& img = it->second;
    if (d->recording) return TRUE;
    cairo_t* cr = context(d);
    if (!cr) return TRUE;
    for (int r = 0; r < img.height; ++r)
        for (int c = 0; c < img.width; ++c) {
            const uint32_t p = img.argb[static_cast<std::size_t>(r * img.width + c)];
            if (!(p >> 24)) continue;
            cairo_set_source_rgb(cr, ((p >> 16) & 0xFF) / 255.0, ((p >> 8) & 0xFF) / 255.0, (p & 0xFF) / 255.0);
            cairo_rectangle(cr, x + c, y + r, 1, 1);
            cairo_fill(cr);
        }
    return TRUE;
}

namespace qorwin::detail {

void* dcCairo(HDC dc) {
    Dc* d = findDc(dc);
    return d ? context(d) : nullptr;
}

void drawCaption(void* crp, const std::string& title, int width, int height, bool active) {
    cairo_t* cr = static_cast<cairo_t*>(crp);
    fill(cr, RECT{0, 0, width, height}, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    Face f = realise(nullptr);
    f.bold = false;
    const Metrics m = metricsOf(f);
    selectFace(cr, f);
    setColour(cr, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    cairo_move_to(cr, 6, (height - m.height) / 2 + m.ascent);
    const std::string u = utf8(title.data(), title.size());
    cairo_show_text(cr, u.c_str());
}

}  // namespace qorwin::detail

namespace qorwin {

namespace {
std::string& clipboard() {
    static std::string c;
    return c;
}
}  // namespace

void setClipboardText(const std::string& text) { clipboard() = text; }
std::string clipboardText() { return clipboard(); }

}  // namespace qorwin
