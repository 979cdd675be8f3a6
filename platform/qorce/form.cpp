// Cover form templates: reading, measuring and filling.
//
// The template is line based: a keyword and its arguments, words or "quoted texts" (a backslash
// escapes the next character inside quotes), "#" starts a comment. Lengths are millimetres from
// the paper's top left corner. See docs/covers.md for the whole format.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "qorce.h"
#include "qordoc.h"
#include "qordoc_cairo.h"
#include "qorlib1.h"
#include "qorul.h"

namespace {

constexpr std::size_t kMaxTemplateBytes = 64 * 1024;
constexpr std::size_t kMaxItems = 400;
constexpr double kFaxWidthMm = qordoc::kFaxWidth * 25.4 / qordoc::kXdpi;  // 215.1 mm

enum class ItemKind { Field, Text, Line, Box, Logo };
enum class Align { Left, Center, Right };

struct Style {
    std::string face;
    double points = 0;  // 0 = the form's size
    bool bold = false, italic = false;
    bool white = false;  // reversed out of a dark box
    Align align = Align::Left;
};

struct Item {
    ItemKind kind = ItemKind::Text;
    int field = 0;
    double x = 0, y = 0, w = 0, h = 0;  // mm; a line: x,y to w,h (end point)
    double stroke = 0.3;                // mm
    double fill = 0;                    // box: 0 none .. 100 black
    Style style;
    std::string text;                   // fixed text, label of a field, or the logo file
};

struct Form {
    int paper = 0;
    std::string face = "DejaVu Sans";
    double points = 11;
    std::string dir;  // the template's directory (logos are found there)
    std::vector<Item> items;
};

const char* const kFieldNames[CE_FIELDS] = {"to",   "company", "voice", "fax",       "from", "fromcontact", "fromaddress",
                                            "fromfax", "date", "pages", "subject", "memo", "reference", "page"};

double paperWidthMm(int paper) { return paper == 1 ? 215.9 : 210.0; }
double paperHeightMm(int paper) { return qordoc::paperInches(paper == 1 ? 1 : 0) * 25.4; }

bool tokenize(const std::string& line, std::vector<std::string>* out, std::string* error) {
    out->clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
        if (c == '#') break;
        std::string tok;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '\\' && i < line.size()) { tok += line[i++]; continue; }
                if (d == '"') { closed = true; break; }
                tok += d;
            }
            if (!closed) { *error = "a quoted text is not closed"; return false; }
            out->push_back("\x01" + tok);  // marks a quoted text
            continue;
        }
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') tok += line[i++];
        out->push_back(tok);
    }
    return true;
}

bool isQuoted(const std::string& t) { return !t.empty() && t[0] == '\x01'; }
std::string unquote(const std::string& t) { return isQuoted(t) ? t.substr(1) : t; }

bool number(const std::string& t, double lo, double hi, double* v) {
    if (t.empty() || isQuoted(t)) return false;
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (!end || *end || !std::isfinite(d) || d < lo || d > hi) return false;
    *v = d;
    return true;
}

int fieldNumber(const std::string& t) {
    for (int i = 0; i < CE_FIELDS; ++i)
        if (::strcasecmp(t.c_str(), kFieldNames[i]) == 0) return i + 1;
    double v;
    if (number(t, 1, CE_FIELDS, &v) && v == std::floor(v)) return static_cast<int>(v);
    return 0;
}

// Options after the positional arguments: font FACE, size PT, bold, italic, white, align A, width MM,
// fill PERCENT, label TEXT.
bool options(const std::vector<std::string>& t, std::size_t from, Item* item, std::string* error) {
    for (std::size_t i = from; i < t.size(); ++i) {
        const std::string k = unquote(t[i]);
        auto arg = [&](std::string* v) {
            if (i + 1 >= t.size()) { *error = "\"" + k + "\" needs a value"; return false; }
            *v = unquote(t[++i]);
            return true;
        };
        std::string v;
        double d;
        if (k == "bold") item->style.bold = true;
        else if (k == "italic") item->style.italic = true;
        else if (k == "white") item->style.white = true;
        else if (k == "font") { if (!arg(&v)) return false; if (v.size() > 31) { *error = "a font name is too long"; return false; } item->style.face = v; }
        else if (k == "size") {
            if (!arg(&v)) return false;
            if (!number(v, 4, 96, &d)) { *error = "a size is 4 to 96 points"; return false; }
            item->style.points = d;
        } else if (k == "width") {
            if (!arg(&v)) return false;
            if (!number(v, 0.05, 10, &d)) { *error = "a line width is 0.05 to 10 mm"; return false; }
            item->stroke = d;
        } else if (k == "fill") {
            if (!arg(&v)) return false;
            if (!number(v, 0, 100, &d)) { *error = "a fill is 0 to 100 (percent of black)"; return false; }
            item->fill = d;
        }
        else if (k == "label") { if (!arg(&v)) return false; item->text = v; }
        else if (k == "align") {
            if (!arg(&v)) return false;
            if (v == "left") item->style.align = Align::Left;
            else if (v == "center" || v == "centre") item->style.align = Align::Center;
            else if (v == "right") item->style.align = Align::Right;
            else { *error = "align is left, center or right"; return false; }
        } else { *error = "unknown option \"" + k + "\""; return false; }
    }
    return true;
}

int16_t parse(const std::string& text, Form* form, std::string* error) {
    if (text.size() > kMaxTemplateBytes) { *error = "the template is larger than 64 KB"; return CE_E_TOOLARGE; }
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    std::vector<std::string> t;
    const double maxX = 300, maxY = 300;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string why;
        auto fail = [&](const std::string& what) {
            *error = "line " + std::to_string(lineNo) + ": " + what;
            return CE_E_SYNTAX;
        };
        if (!tokenize(line, &t, &why)) return fail(why);
        if (t.empty()) continue;
        const std::string key = unquote(t[0]);
        if (form->items.size() >= kMaxItems) { *error = "more than 400 items"; return CE_E_TOOLARGE; }
        Item item;
        double a, b, c, d;
        if (key == "paper") {
            if (t.size() != 2) return fail("paper A4 or paper Letter");
            const std::string p = unquote(t[1]);
            if (::strcasecmp(p.c_str(), "A4") == 0) form->paper = 0;
            else if (::strcasecmp(p.c_str(), "Letter") == 0) form->paper = 1;
            else return fail("paper is A4 or Letter");
        } else if (key == "font") {
            if (t.size() != 3 || !number(t[2], 4, 96, &a)) return fail("font FACE SIZE (4 to 96 points)");
            form->face = unquote(t[1]);
            if (form->face.empty() || form->face.size() > 31) return fail("a font name is 1 to 31 characters");
            form->points = a;
        } else if (key == "description") {
            // For people reading the file; the list of templates has its own description.
        } else if (key == "field") {
            if (t.size() < 6) return fail("field NAME X Y WIDTH HEIGHT [options]");
            item.kind = ItemKind::Field;
            item.field = fieldNumber(unquote(t[1]));
            if (!item.field) return fail("unknown field \"" + unquote(t[1]) + "\"");
            if (!number(t[2], 0, maxX, &a) || !number(t[3], 0, maxY, &b) || !number(t[4], 1, maxX, &c) ||
                !number(t[5], 1, maxY, &d))
                return fail("a field's place and size are millimetres on the page");
            item.x = a; item.y = b; item.w = c; item.h = d;
            if (!options(t, 6, &item, &why)) return fail(why);
            for (const Item& o : form->items)
                if (o.kind == ItemKind::Field && o.field == item.field) return fail("the field is placed twice");
            form->items.push_back(item);
        } else if (key == "text") {
            if (t.size() < 4 || !number(t[1], 0, maxX, &a) || !number(t[2], 0, maxY, &b))
                return fail("text X Y \"TEXT\" [options]");
            item.kind = ItemKind::Text;
            item.x = a; item.y = b; item.text = unquote(t[3]);
            if (!options(t, 4, &item, &why)) return fail(why);
            form->items.push_back(item);
        } else if (key == "line" || key == "box") {
            if (t.size() < 5 || !number(t[1], 0, maxX, &a) || !number(t[2], 0, maxY, &b) ||
                !number(t[3], 0, maxX, &c) || !number(t[4], 0, maxY, &d))
                return fail(key == "line" ? "line X1 Y1 X2 Y2 [width MM]" : "box X Y WIDTH HEIGHT [width MM] [fill PERCENT]");
            item.kind = key == "line" ? ItemKind::Line : ItemKind::Box;
            item.x = a; item.y = b; item.w = c; item.h = d;
            if (!options(t, 5, &item, &why)) return fail(why);
            form->items.push_back(item);
        } else if (key == "logo") {
            if (t.size() != 6 || !number(t[1], 0, maxX, &a) || !number(t[2], 0, maxY, &b) ||
                !number(t[3], 1, maxX, &c) || !number(t[4], 1, maxY, &d))
                return fail("logo X Y WIDTH HEIGHT \"FILE.png\"");
            item.kind = ItemKind::Logo;
            item.x = a; item.y = b; item.w = c; item.h = d; item.text = unquote(t[5]);
            if (item.text.empty() || item.text.find('/') != std::string::npos || item.text[0] == '.')
                return fail("a logo is a file name beside the template");
            form->items.push_back(item);
        } else {
            return fail("unknown keyword \"" + key + "\"");
        }
    }
    return 0;
}

const Form* formOf(const CE_FORM* f) { return f ? reinterpret_cast<const Form*>(f->impl) : nullptr; }

// ---- Drawing

struct FontOptionsDeleter { void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); } };
using Surface = qordoc::SurfacePtr;
using Context = qordoc::ContextPtr;

void setFont(cairo_t* cr, const Form& form, const Style& s) {
    const std::string& face = s.face.empty() ? form.face : s.face;
    cairo_select_font_face(cr, face.c_str(), s.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           s.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, (s.points > 0 ? s.points : form.points) * 25.4 / 72.0);  // user space is mm
}

double textWidth(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

// A text made valid UTF-8: the form data's texts are Windows-1252 unless they are UTF-8.
std::string utf8Of(const std::string& s) {
    bool ascii = true;
    for (unsigned char c : s) ascii = ascii && c < 0x80;
    if (ascii) return s;
    // Valid UTF-8 stays as it is.
    bool valid = true;
    for (std::size_t i = 0; i < s.size() && valid;) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (n < 0 || (n > 0 && i + static_cast<std::size_t>(n) >= s.size())) { valid = false; break; }
        for (int k = 1; k <= n && valid; ++k) valid = (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) >> 6) == 2;
        i += static_cast<std::size_t>(n) + 1;
    }
    if (valid) return s;
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) out += static_cast<char>(c);
        else { out += static_cast<char>(0xC0 | (c >> 6)); out += static_cast<char>(0x80 | (c & 0x3F)); }
    }
    return out;
}

// Cuts a text into lines that fit `width`: its own line ends first, then at the last blank
// that fits, else (a word wider than the box) at the last character that fits.
std::vector<std::string> wrap(cairo_t* cr, const std::string& text, double width) {
    std::vector<std::string> lines;
    std::string para;
    std::istringstream in(text);
    while (std::getline(in, para)) {
        if (!para.empty() && para.back() == '\r') para.pop_back();
        while (textWidth(cr, para) > width && para.size() > 1) {
            std::size_t cut = para.size();
            while (cut > 1 && textWidth(cr, para.substr(0, cut)) > width) {
                const std::size_t blank = para.rfind(' ', cut - 1);
                if (blank != std::string::npos && blank > 0) cut = blank;
                else {
                    --cut;
                    while (cut > 1 && (static_cast<unsigned char>(para[cut]) >> 6) == 2) --cut;  // whole characters
                }
            }
            lines.push_back(para.substr(0, cut));
            std::size_t next = cut;
            while (next < para.size() && para[next] == ' ') ++next;
            para.erase(0, next);
        }
        lines.push_back(para);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

void drawAligned(cairo_t* cr, const std::string& s, double x, double w, double baseline, Align a) {
    double left = x;
    if (a != Align::Left && w > 0) {
        const double tw = textWidth(cr, s);
        left = a == Align::Center ? x + (w - tw) / 2 : x + w - tw;
    }
    cairo_move_to(cr, left, baseline);
    cairo_show_text(cr, s.c_str());
}

std::string fieldText(const CE_FORMDATA& d, int field, int page, int pages) {
    auto str = [](const char* p, std::size_t n) { return std::string(p, ::strnlen(p, n)); };
    char buf[64];
    switch (field) {
    case CE_F_TO: return str(d.to, sizeof d.to);
    case CE_F_COMPANY: return str(d.company, sizeof d.company);
    case CE_F_VOICE: return str(d.voice, sizeof d.voice);
    case CE_F_FAX: return str(d.fax, sizeof d.fax);
    case CE_F_FROM: return str(d.from, sizeof d.from);
    case CE_F_FROMCONTACT: return str(d.fromcontact, sizeof d.fromcontact);
    case CE_F_FROMADDRESS: return str(d.fromaddress, sizeof d.fromaddress);
    case CE_F_FROMFAX: return str(d.fromfax, sizeof d.fromfax);
    case CE_F_DATE:
        if (d.date[0] == 0) return std::string();
        std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u", d.date[0] % 10000u, d.date[1] % 100u, d.date[2] % 100u,
                      d.date[3] % 100u, d.date[4] % 100u);
        return buf;
    case CE_F_PAGES:
        std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(d.documents));
        return buf;
    case CE_F_SUBJECT: return str(d.subject, sizeof d.subject);
    case CE_F_MEMO: return str(d.memo, sizeof d.memo);
    case CE_F_REFERENCE: return str(d.reference, sizeof d.reference);
    case CE_F_PAGE:
        std::snprintf(buf, sizeof buf, "%d / %d", page + 1, pages);
        return buf;
    default: return std::string();
    }
}

// A page drawn in RGB at the fax's size made bilevel: an ordered (Bayer) dither, which leaves
// pure black and pure white exactly as they are and gives logos' greys a fax-friendly pattern.
qordoc::Page bilevel(cairo_surface_t* s, int ydpi) {
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    cairo_surface_flush(s);
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    const int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    qordoc::Page page;
    page.resize(w, h);
    page.ydpi = ydpi;
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const int lum = (299 * ((p >> 16) & 255) + 587 * ((p >> 8) & 255) + 114 * (p & 255)) / 1000;
            const int threshold = (kBayer[y & 3][x & 3] * 255 + 127) / 16 + 8;  // 8..247
            if (lum < threshold) page.set(x, y);
        }
    }
    return page;
}

// Where the form lies on the fax page. The page is as long as the profile's paper ([PRINT]
// Paper), like every page of a fax; a form laid out on the other paper is scaled to fit it with
// its proportions and centred, so that nothing of it is cut (A4 on Letter: 94 %).
struct Geometry {
    double xOffset, yOffset;  // mm of the page from its left and top edge to the form's
    double fit;               // form millimetres to page millimetres
    double xScale, yScale;    // page millimetres to pixels
    int rows;
};

Geometry geometryOf(const Form& form, int pagePaper, bool fine) {
    qordoc::Format f;
    f.fine = fine;
    f.paper = pagePaper;
    Geometry g;
    const double formW = paperWidthMm(form.paper), formH = paperHeightMm(form.paper);
    const double pageW = paperWidthMm(pagePaper), pageH = paperHeightMm(pagePaper);
    g.fit = form.paper == pagePaper ? 1.0 : std::min({1.0, pageW / formW, pageH / formH});
    g.xOffset = (kFaxWidthMm - formW * g.fit) / 2;
    g.yOffset = (pageH - formH * g.fit) / 2;
    g.xScale = qordoc::kXdpi / 25.4;
    g.yScale = f.ydpi() / 25.4;
    g.rows = f.rows();
    return g;
}

int16_t drawLogo(cairo_t* cr, const Form& form, const Item& it) {
    const std::string path = form.dir + it.text;
    Surface png(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(png.get()) != CAIRO_STATUS_SUCCESS) return CE_E_LOGO;
    const int pw = cairo_image_surface_get_width(png.get()), ph = cairo_image_surface_get_height(png.get());
    if (pw <= 0 || ph <= 0) return CE_E_LOGO;
    // Fit inside the box, aspect kept, centred.
    const double scale = std::min(it.w / pw, it.h / ph);
    cairo_save(cr);
    cairo_translate(cr, it.x + (it.w - pw * scale) / 2, it.y + (it.h - ph * scale) / 2);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, png.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    return 0;
}

// Bilevel text: no antialiasing, and no hinting, which would change widths from size to size.
void textOptions(cairo_t* cr) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> fo(cairo_font_options_create());
    cairo_font_options_set_antialias(fo.get(), CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(fo.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(fo.get(), CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, fo.get());
}

// A scratch context for measuring text in millimetres, set up as the pages are drawn (same
// scale and font options), so that text wraps exactly where it is drawn.
struct Measure {
    explicit Measure(double xScale = qordoc::kXdpi / 25.4, double yScale = qordoc::kXdpi / 25.4) {
        cairo_scale(cr.get(), xScale, yScale);
        textOptions(cr.get());
    }
    Surface surface{cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8)};
    Context cr{cairo_create(surface.get())};
};

}  // namespace

struct CE_FORMIMPL {
    Form form;
    int pagePaper = 0;  // the paper of the pages it is rendered on: 0 A4, 1 Letter
};

int16_t CE_parseform(const std::string& text, std::string* error) {
    Form f;
    std::string why;
    const int16_t st = parse(text, &f, &why);
    if (error) *error = why;
    return st;
}

int16_t CE_openform(uint32_t host, const char* path, CE_FORM* form) {
    if (!path || !form) return UL_E_BADARG;
    std::memset(form, 0, sizeof *form);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        UL_tracetext(host, "CE_openform", path);
        return CE_E_OPEN;
    }
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxTemplateBytes) break;
    }
    auto impl = std::make_unique<CE_FORMIMPL>();
    std::string error;
    if (int16_t st = parse(text, &impl->form, &error)) {
        UL_strcopy(form->error, error.c_str());
        UL_tracetext(host, "CE_openform", error.c_str());
        return st;
    }
    const std::string p(path);
    const std::size_t slash = p.rfind('/');
    impl->form.dir = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
    form->paper = static_cast<int16_t>(impl->form.paper);
    L1_PAGEINFO info;
    if (L1_initpageinfo(host, &info, 0) == 0) impl->pagePaper = info.paper == 1 ? 1 : 0;
    for (const Item& it : impl->form.items) form->fields += it.kind == ItemKind::Field;
    form->impl = impl.release();
    return 0;
}

int16_t CE_closeform(uint32_t, CE_FORM* form) {
    if (!form) return UL_E_BADARG;
    delete form->impl;
    form->impl = nullptr;
    return 0;
}

namespace {



int16_t toUnits(double mm) { return static_cast<int16_t>(std::lround(mm * 200.0 / 25.4)); }

std::size_t roomOf(int field) {
    switch (field) {
    case CE_F_TO: case CE_F_FROM: case CE_F_REFERENCE: return 80;
    case CE_F_COMPANY: case CE_F_FROMCONTACT: case CE_F_SUBJECT: return 240;
    case CE_F_MEMO: return 3200;
    case CE_F_PAGES: return 6;
    case CE_F_DATE: return 17;
    case CE_F_PAGE: return 8;
    default: return 40;
    }
}

}  // namespace

int16_t CE_measureform(uint32_t, CE_FORM* form, int16_t mode) {
    const Form* f = formOf(form);
    if (!f) return CE_E_NOTOPEN;
    if (mode != 2) return UL_E_BADARG;
    Measure m;
    Style plain;
    setFont(m.cr.get(), *f, plain);
    cairo_font_extents_t fe;
    cairo_font_extents(m.cr.get(), &fe);
    form->lineheight = toUnits(fe.height);
    form->charwidth = std::max<int16_t>(1, toUnits(textWidth(m.cr.get(), "abcdefghijklmnopqrstuvwxyz") / 26));
    return 0;
}

int16_t CE_readform(uint32_t, CE_FORM* form, CE_FIELD* table) {
    const Form* f = formOf(form);
    if (!f) return CE_E_NOTOPEN;
    if (!table) return UL_E_BADARG;
    std::memset(table, 0, sizeof(CE_FIELD) * CE_FIELDS);
    Measure m;
    for (const Item& it : f->items) {
        if (it.kind != ItemKind::Field) continue;
        CE_FIELD& e = table[it.field - 1];
        e.number = static_cast<int16_t>(it.field);
        e.x = toUnits(it.x);
        e.y = toUnits(it.y);
        e.width = toUnits(it.w);
        e.height = toUnits(it.h);
        const double pts = it.style.points > 0 ? it.style.points : f->points;
        e.size = toUnits(pts * 25.4 / 72.0);
        e.size2 = it.style.bold ? 700 : 400;
        UL_strcopy(e.face, sizeof e.face, (it.style.face.empty() ? f->face : it.style.face).c_str());
        setFont(m.cr.get(), *f, it.style);
        cairo_font_extents_t fe;
        cairo_font_extents(m.cr.get(), &fe);
        const int lines = std::max(1, static_cast<int>((it.h + 0.01) / fe.height));
        e.lines = static_cast<int16_t>(lines);
        // The longest text: what fits the box in average characters, never more than the room
        // the form data block has for it (less its NUL).
        const double avg = std::max(0.1, textWidth(m.cr.get(), "abcdefghijklmnopqrstuvwxyz") / 26);
        const std::size_t fits = static_cast<std::size_t>(it.w / avg) * static_cast<std::size_t>(lines);
        e.maxchars = static_cast<int16_t>(std::min(fits, roomOf(it.field) - 1));
    }
    return 0;
}

bool CE_fieldbox(const CE_FORM* form, int16_t number, int16_t fine, int* x0, int* y0, int* x1, int* y1) {
    const Form* f = formOf(form);
    if (!f) return false;
    const Geometry g = geometryOf(*f, form->impl->pagePaper, fine != 0);
    for (const Item& it : f->items) {
        if (it.kind != ItemKind::Field || it.field != number) continue;
        *x0 = static_cast<int>((it.x * g.fit + g.xOffset) * g.xScale);
        *y0 = static_cast<int>((it.y * g.fit + g.yOffset) * g.yScale);
        *x1 = static_cast<int>(std::ceil(((it.x + it.w) * g.fit + g.xOffset) * g.xScale));
        *y1 = static_cast<int>(std::ceil(((it.y + it.h) * g.fit + g.yOffset) * g.yScale));
        return true;
    }
    return false;
}

int16_t CE_fillform(uint32_t host, const char* output, const CE_FORMDATA* data, int16_t fine, int16_t* pages) {
    if (pages) *pages = 0;
    if (!output || !data) return UL_E_BADARG;
    char tpath[sizeof data->templatepath + 1] = {};
    std::memcpy(tpath, data->templatepath, sizeof data->templatepath);
    CE_FORM handle;
    if (int16_t st = CE_openform(host, tpath, &handle)) return st;
    std::unique_ptr<CE_FORMIMPL> owner(handle.impl);
    const Form& form = owner->form;
    const Geometry g = geometryOf(form, owner->pagePaper, fine != 0);

    // The memo is wrapped first: what does not fit its box goes onto a second page, in a box
    // as wide as the memo's from 20 mm below the top to 20 mm above the bottom.
    const Item* memo = nullptr;
    for (const Item& it : form.items)
        if (it.kind == ItemKind::Field && it.field == CE_F_MEMO) memo = &it;
    std::vector<std::string> memoLines;
    double memoPitch = 1;
    std::size_t firstPageLines = 0, secondPageLines = 0;
    Measure m(g.xScale * g.fit, g.yScale * g.fit);  // as the page draws the form
    if (memo) {
        setFont(m.cr.get(), form, memo->style);
        cairo_font_extents_t fe;
        cairo_font_extents(m.cr.get(), &fe);
        memoPitch = fe.height;
        memoLines = wrap(m.cr.get(), utf8Of(fieldText(*data, CE_F_MEMO, 0, 1)), memo->w);
        firstPageLines = static_cast<std::size_t>(std::max(1.0, (memo->h + 0.01) / memoPitch));
        const double paperMm = paperHeightMm(form.paper);  // in the form's millimetres
        secondPageLines = static_cast<std::size_t>(std::max(1.0, (paperMm - 40) / memoPitch));
        if (memoLines.size() > firstPageLines + secondPageLines) memoLines.resize(firstPageLines + secondPageLines);
    }
    const int pageCount = memoLines.size() > firstPageLines ? 2 : 1;

    std::vector<qordoc::Page> out;
    for (int page = 0; page < pageCount; ++page) {
        Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, qordoc::kFaxWidth, g.rows));
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return CE_E_RENDER;
        Context ctx(cairo_create(surface.get()));
        cairo_t* cr = ctx.get();
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_scale(cr, g.xScale, g.yScale);
        cairo_translate(cr, g.xOffset, g.yOffset);
        cairo_scale(cr, g.fit, g.fit);
        textOptions(cr);

        auto drawLines = [&](const Item& it, const std::vector<std::string>& lines, std::size_t from, std::size_t count,
                             double top) {
            setFont(cr, form, it.style);
            cairo_font_extents_t fe;
            cairo_font_extents(cr, &fe);
            const double ink = it.style.white ? 1 : 0;
            cairo_set_source_rgb(cr, ink, ink, ink);
            for (std::size_t i = 0; i < count && from + i < lines.size(); ++i)
                drawAligned(cr, lines[from + i], it.x, it.w, top + fe.ascent + static_cast<double>(i) * fe.height,
                            it.style.align);
        };

        if (page == 1) {
            // The continuation page: the memo's rest and the page number when the form has one.
            Item cont = *memo;
            drawLines(cont, memoLines, firstPageLines, secondPageLines, 20);
            for (const Item& it : form.items)
                if (it.kind == ItemKind::Field && it.field == CE_F_PAGE)
                    drawLines(it, {fieldText(*data, CE_F_PAGE, page, pageCount)}, 0, 1, it.y);
        } else {
            for (const Item& it : form.items) {
                cairo_set_source_rgb(cr, 0, 0, 0);
                switch (it.kind) {
                case ItemKind::Line:
                    cairo_set_line_width(cr, it.stroke);
                    cairo_move_to(cr, it.x, it.y);
                    cairo_line_to(cr, it.w, it.h);
                    cairo_stroke(cr);
                    break;
                case ItemKind::Box:
                    cairo_rectangle(cr, it.x, it.y, it.w, it.h);
                    if (it.fill > 0) {
                        const double v = 1 - it.fill / 100;
                        cairo_set_source_rgb(cr, v, v, v);
                        cairo_fill_preserve(cr);
                        cairo_set_source_rgb(cr, 0, 0, 0);
                    }
                    cairo_set_line_width(cr, it.stroke);
                    cairo_stroke(cr);
                    break;
                case ItemKind::Logo:
                    if (int16_t st = drawLogo(cr, form, it)) {
                        UL_tracetext(host, "CE_fillform", it.text.c_str());
                        return st;
                    }
                    break;
                case ItemKind::Text:
                    setFont(cr, form, it.style);
                    {
                        cairo_font_extents_t fe;
                        cairo_font_extents(cr, &fe);
                        if (it.style.white) cairo_set_source_rgb(cr, 1, 1, 1);
                        drawAligned(cr, utf8Of(it.text), it.x, it.w, it.y + fe.ascent, it.style.align);
                    }
                    break;
                case ItemKind::Field: {
                    if (it.field == CE_F_MEMO) {
                        drawLines(it, memoLines, 0, firstPageLines, it.y);
                        break;
                    }
                    setFont(cr, form, it.style);
                    std::string value = utf8Of(fieldText(*data, it.field, page, pageCount));
                    if (!it.text.empty() && !value.empty()) value = it.text + value;  // a label before
                    cairo_font_extents_t fe;
                    cairo_font_extents(cr, &fe);
                    const std::size_t fit = static_cast<std::size_t>(std::max(1.0, (it.h + 0.01) / fe.height));
                    const std::vector<std::string> lines = wrap(cr, value, it.w);
                    drawLines(it, lines, 0, fit, it.y);
                    break;
                }
                }
            }
        }
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) return CE_E_RENDER;
        out.push_back(bilevel(surface.get(), fine ? qordoc::kFineDpi : qordoc::kNormalDpi));
    }
    L1_PAGEINFO info;
    L1_initpageinfo(host, &info, fine);
    if (int16_t st = qordoc::writeFax(output, out, info.twoD != 0)) {
        UL_errorlog(host, "CE_fillform", st);
        return st;
    }
    if (pages) *pages = static_cast<int16_t>(pageCount);
    return 0;
}

int16_t CE_rendercover(uint32_t host, const char* text, const char* base, void* work, std::size_t workSize,
                       int16_t resolution, int16_t* pages) {
    if (pages) *pages = 0;
    if (!text || !base || !work || workSize < sizeof(L1_PAGEINFO) || !pages) return UL_E_BADARG;
    auto* info = static_cast<L1_PAGEINFO*>(work);
    if (int16_t st = L1_initpageinfo(host, info, resolution == 2)) return st;
    return L1_texttofax(host, text, base, info, pages, 0);
}
