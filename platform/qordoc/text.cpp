// Text documents made into fax pages: laid out on a grid of columns and lines, then drawn with
// cairo in the monospaced font of printing into a 1-bit image (no antialiasing: fax strokes
// are crisp, never dithered).
#include <cairo.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "qordoc.h"
#include "qordoc_cairo.h"
#include "qordoc_internal.h"

namespace qordoc {

namespace {

// Windows-1252 at 0x80..0x9F (0 = undefined, shown as a blank); 0xA0..0xFF are Latin-1.
const char32_t kCp1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                              0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::u32string decode(const std::string& b, bool utf8) {
    std::u32string out;
    out.reserve(b.size());
    const auto* s = reinterpret_cast<const unsigned char*>(b.data());
    for (std::size_t i = 0; i < b.size();) {
        const unsigned c = s[i];
        if (c < 0x80) {
            out += static_cast<char32_t>(c);
            ++i;
        } else if (!utf8) {
            out += c < 0xA0 ? (kCp1252[c - 0x80] ? kCp1252[c - 0x80] : U' ') : static_cast<char32_t>(c);
            ++i;
        } else {
            // Valid UTF-8 (checked when sniffed): the lead byte gives the length.
            const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            char32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
            for (int k = 1; k < len && i + static_cast<std::size_t>(k) < b.size(); ++k)
                cp = (cp << 6) | (s[i + static_cast<std::size_t>(k)] & 0x3F);
            out += cp;
            i += static_cast<std::size_t>(len);
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Layout {
public:
    Layout(int columns, int lines) : columns_(columns < 1 ? 1 : columns), lines_(lines < 1 ? 1 : lines) {}

    void text(const std::u32string& t) {
        std::u32string line;
        for (std::size_t i = 0; i < t.size(); ++i) {
            const char32_t c = t[i];
            if (c == U'\n' || c == U'\r') {
                if (c == U'\r' && i + 1 < t.size() && t[i + 1] == U'\n') ++i;
                put(line);
                line.clear();
                // The document's last line end makes no further line.
            } else if (c == U'\f') {
                if (!line.empty()) put(line);
                line.clear();
                pageBreak();
            } else if (c == U'\t') {
                do line += U' ';
                while (line.size() % 8 != 0);
            } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
                if (c != 0x1A) line += U' ';  // end-of-file marks of old editors print nothing
            } else {
                line += c;
            }
        }
        if (!line.empty()) put(line);
    }

    std::vector<std::vector<std::u32string>> finish() {
        if (!page_.empty() || pages_.empty()) pages_.push_back(std::move(page_));
        return std::move(pages_);
    }

private:
    void put(const std::u32string& line) {
        std::size_t i = 0;
        do {
            if (static_cast<int>(page_.size()) >= lines_) pageBreak();
            std::u32string part = line.substr(i, static_cast<std::size_t>(columns_));
            while (!part.empty() && part.back() == U' ') part.pop_back();
            page_.push_back(std::move(part));
            i += static_cast<std::size_t>(columns_);
        } while (i < line.size());
    }
    void pageBreak() {
        // A form feed on an empty page adds no page.
        if (page_.empty()) return;
        pages_.push_back(std::move(page_));
        page_.clear();
    }

    int columns_, lines_;
    std::vector<std::u32string> page_;
    std::vector<std::vector<std::u32string>> pages_;
};

struct FontOptionsDeleter {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};

}  // namespace

namespace {
// Each byte of a word with its bits in the other order (cairo keeps the leftmost pixel of an A1
// byte in its lowest bit on a little-endian machine; a fax row keeps it in the highest).
uint64_t reverseEachByte(uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    return ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
}
}  // namespace

void pageFromA1(cairo_surface_t* surface, Page* page) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    // A page of this size already is written over row by row: no need to clear it first.
    if (page->width != w || page->height != h || page->bits.size() != page->stride * static_cast<std::size_t>(h))
        page->resize(w, h);
    const std::size_t words = page->stride / 8;
    for (int y = 0; y < h; ++y) {
        const unsigned char* src = data + static_cast<std::ptrdiff_t>(y) * stride;
        uint8_t* dst = page->row(y);
        if constexpr (std::endian::native == std::endian::little) {
            for (std::size_t i = 0; i < words; ++i) {
                uint64_t v;
                std::memcpy(&v, src + i * 8, 8);
                v = reverseEachByte(v);
                std::memcpy(dst + i * 8, &v, 8);
            }
            for (std::size_t x = words * 8; x < page->stride; ++x)
                dst[x] = static_cast<uint8_t>(reverseEachByte(src[x]));
        } else {
            std::memcpy(dst, src, page->stride);
        }
        // Bits past the width stay clear.
        if (w % 8) dst[page->stride - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
    }
}

std::vector<std::vector<std::u32string>> layoutText(const std::string& bytes, int columns, int lines) {
    const Sniffed s = sniff(bytes);
    Layout layout(columns, lines);
    layout.text(decode(bytes, s.utf8));
    return layout.finish();
}

std::vector<Page> renderText(const std::vector<std::vector<std::u32string>>& pages, const Format& format,
                             int columns, int lines) {
    std::vector<Page> out;
    drawText(pages, format, columns, lines, [&](const Page& p, int, int) -> int16_t {
        out.push_back(p);
        return 0;
    });
    return out;
}

int16_t drawText(const std::vector<std::vector<std::u32string>>& pages, const Format& format, int columns, int lines,
                 const PageSink& sink) {
    const int ydpi = format.ydpi();
    const int rows = format.rows();
    const double widthPt = kFaxWidth * 72.0 / kXdpi;
    const double heightPt = paperInches(format.paper) * 72.0;
    const double marginX = 36.0, marginY = 28.8;  // half an inch across, 0.4 inch above and below
    if (columns < 1) columns = 1;
    if (lines < 1) lines = 1;
    const double pitch = (heightPt - 2 * marginY) / lines;

    // The drawing surface and the page image stay with the thread from one document to the next:
    // memory of this size is otherwise given back to the system and faulted in afresh each time.
    // A sink that draws text itself gets its own.
    struct Kept {
        SurfacePtr surface;
        Page page;
        bool inUse = false;
    };
    thread_local Kept kept;
    Kept own;
    Kept& k = kept.inUse ? own : kept;
    k.inUse = true;
    struct Release {
        Kept& k;
        ~Release() { k.inUse = false; }
    } release{k};
    SurfacePtr& surface = k.surface;
    Page& p = k.page;
    if (!surface || cairo_image_surface_get_height(surface.get()) != rows)
        surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A1, kFaxWidth, rows));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        surface.reset();
        return E_TOOLARGE;
    }
    ContextPtr cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), kXdpi / 72.0, ydpi / 72.0);
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> fo(cairo_font_options_create());
    cairo_font_options_set_antialias(fo.get(), CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(fo.get(), CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr.get(), fo.get());
    cairo_select_font_face(cr.get(), "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    // The size at which `columns` characters fill the width between the margins, and lines
    // keep a little room between them.
    cairo_set_font_size(cr.get(), 10.0);
    cairo_font_extents_t fe;
    cairo_font_extents(cr.get(), &fe);
    const double advance10 = fe.max_x_advance > 0 ? fe.max_x_advance : 6.0;
    double size = 10.0 * (widthPt - 2 * marginX) / (columns * advance10);
    size = std::min(size, pitch / 1.02);
    cairo_set_font_size(cr.get(), size);
    cairo_font_extents(cr.get(), &fe);
    const double ascent = fe.ascent;
    const double advance = fe.max_x_advance > 0 ? fe.max_x_advance : size * 0.6;
    const double left = (widthPt - columns * advance) / 2;
    cairo_set_source_rgba(cr.get(), 0, 0, 0, 1);

    // One page image, drawn over for each page and handed on before the next.
    const int total = static_cast<int>(pages.size());
    for (int index = 0; index < total; ++index) {
        const auto& lineSet = pages[static_cast<std::size_t>(index)];
        // Cleared by hand: cairo clears a 1-bit surface a pixel at a time.
        cairo_surface_flush(surface.get());
        std::memset(cairo_image_surface_get_data(surface.get()), 0,
                    static_cast<std::size_t>(cairo_image_surface_get_stride(surface.get())) * static_cast<std::size_t>(rows));
        cairo_surface_mark_dirty(surface.get());
        int row = 0;
        for (const std::u32string& line : lineSet) {
            if (!line.empty()) {
                std::string utf8;
                for (char32_t c : line) appendUtf8(utf8, c);
                cairo_move_to(cr.get(), left, marginY + row * pitch + ascent);
                cairo_show_text(cr.get(), utf8.c_str());
            }
            ++row;
        }
        pageFromA1(surface.get(), &p);
        p.ydpi = ydpi;
        if (int16_t st = sink(p, index, total)) return st;
    }
    return 0;
}

}  // namespace qordoc
