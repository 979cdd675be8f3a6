// Grey images made into fax pages (scaled to fit the paper, then thresholded or dithered), and
// pages shown to people: a character thumbnail, a PNG, a PDF at true size.
#include <cairo-pdf.h>
#include <cairo.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "qordoc.h"
#include "qordoc_cairo.h"
#include "qordoc_internal.h"

namespace qordoc {

namespace {


// Area-averaging scale of a grey image (each target pixel averages the source pixels under it;
// the nearest one when enlarging).
Grey scaleGrey(const Grey& g, int dw, int dh) {
    Grey out;
    out.width = dw;
    out.height = dh;
    out.pixels.assign(static_cast<std::size_t>(dw) * static_cast<std::size_t>(dh), 255);
    if (g.width <= 0 || g.height <= 0 || dw <= 0 || dh <= 0) return out;
    std::vector<int> x0(static_cast<std::size_t>(dw)), x1(static_cast<std::size_t>(dw));
    for (int x = 0; x < dw; ++x) {
        int a = static_cast<int>(static_cast<int64_t>(x) * g.width / dw);
        int b = static_cast<int>(static_cast<int64_t>(x + 1) * g.width / dw);
        x0[static_cast<std::size_t>(x)] = a;
        x1[static_cast<std::size_t>(x)] = std::max(b, a + 1);
    }
    std::vector<uint32_t> sums(static_cast<std::size_t>(dw));
    for (int y = 0; y < dh; ++y) {
        int ya = static_cast<int>(static_cast<int64_t>(y) * g.height / dh);
        int yb = std::max(static_cast<int>(static_cast<int64_t>(y + 1) * g.height / dh), ya + 1);
        std::fill(sums.begin(), sums.end(), 0);
        for (int sy = ya; sy < yb; ++sy) {
            const uint8_t* src = g.pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(g.width);
            for (int x = 0; x < dw; ++x) {
                uint32_t s = 0;
                for (int sx = x0[static_cast<std::size_t>(x)]; sx < x1[static_cast<std::size_t>(x)]; ++sx) s += src[sx];
                sums[static_cast<std::size_t>(x)] += s;
            }
        }
        uint8_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(dw);
        for (int x = 0; x < dw; ++x) {
            const uint32_t n = static_cast<uint32_t>((x1[static_cast<std::size_t>(x)] - x0[static_cast<std::size_t>(x)]) * (yb - ya));
            dst[x] = static_cast<uint8_t>(sums[static_cast<std::size_t>(x)] / n);
        }
    }
    return out;
}

}  // namespace


Grey greyOf(cairo_surface_t* surface) {
    Grey g;
    greyInto(surface, &g);
    return g;
}

void greyInto(cairo_surface_t* surface, Grey* out) {
    cairo_surface_flush(surface);
    Grey& g = *out;
    g.width = cairo_image_surface_get_width(surface);
    g.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const bool alpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    const bool rgb16 = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB16_565;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    g.pixels.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height));
    for (int y = 0; y < g.height; ++y) {
        const unsigned char* rowData = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < g.width; ++x) {
            uint32_t p;
            if (rgb16) {
                const uint16_t v = reinterpret_cast<const uint16_t*>(rowData)[x];
                p = ((v & 0xF800u) << 8) | ((v & 0x07E0u) << 5) | ((v & 0x001Fu) << 3);
                p |= (p >> 5) & 0x070307u;  // fill the low bits: white stays white
            } else {
                p = reinterpret_cast<const uint32_t*>(rowData)[x];
            }
            const uint32_t white = alpha ? 255 - (p >> 24) : 0;
            // Premultiplied colour on white: c + (255 - a); luminance in eighths of 256.
            const uint32_t r = ((p >> 16) & 0xFF) + white, gr = ((p >> 8) & 0xFF) + white, b = (p & 0xFF) + white;
            const uint32_t l = (r * 77 + gr * 150 + b * 29) >> 8;
            g.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width) + static_cast<std::size_t>(x)] =
                static_cast<uint8_t>(l > 255 ? 255 : l);
        }
    }
}

namespace {

inline uint32_t luminance(uint32_t p) {
    return ((((p >> 16) & 0xFF) * 77) + (((p >> 8) & 0xFF) * 150) + ((p & 0xFF) * 29)) >> 8;
}

// What a pixel counts for on a fax page: kInk below the threshold, kMid a grey tone (one of the
// tones that make a page a picture to be dithered).
constexpr uint8_t kInk = 1, kMid = 2;
inline uint8_t classOf(uint32_t rgb) {
    const uint32_t l = luminance(rgb);
    return static_cast<uint8_t>((l < 128 ? kInk : 0) | (l > 48 && l < 208 ? kMid : 0));
}

// The class of every RGB 5-6-5 pixel (64 KB, made once): the scan looks it up.
const uint8_t* classes565() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(65536);
        for (uint32_t v = 0; v < 65536; ++v)
            t[v] = classOf(((v & 0xF800u) << 8) | ((v & 0x07E0u) << 5) | ((v & 0x001Fu) << 3));
        return t;
    }();
    return table.data();
}

// The 16 low bits in the opposite order.
inline uint32_t reversed16(uint32_t m) {
    m = ((m >> 1) & 0x5555u) | ((m & 0x5555u) << 1);
    m = ((m >> 2) & 0x3333u) | ((m & 0x3333u) << 2);
    m = ((m >> 4) & 0x0F0Fu) | ((m & 0x0F0Fu) << 4);
    return ((m >> 8) & 0x00FFu) | ((m & 0x00FFu) << 8);
}

// Paper again from x0 to x1 of a row (all ones is white in RGB 5-6-5 and in RGB24).
void whiten(unsigned char* row, int bytesPerPixel, int x0, int x1) {
    if (x1 > x0)
        std::memset(row + static_cast<std::ptrdiff_t>(x0) * bytesPerPixel, 0xFF,
                    static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(bytesPerPixel));
}

// One row of an RGB surface onto a row of a fax page (ink set from bit `left` on): paper is
// passed over sixteen pixels at a time (one compare of whole vectors); the other pixels are
// thresholded and their grey tones counted into `mid`. Returns the pixels drawn on, [first, last)
// (to whole runs of sixteen).
template <bool Rgb16>
std::pair<int, int> scanRow(const unsigned char* row, int w, int left, uint8_t* dst, std::size_t* mid) {
    constexpr int kRun = 16;
    constexpr int kBytes = Rgb16 ? 2 : 4;
    const uint8_t* classes = Rgb16 ? classes565() : nullptr;
    int first = -1, last = 0;
    std::size_t grey = 0;
    // Pixel x: false when it is paper.
    auto pixel = [&](int x) {
        uint8_t c;
        if constexpr (Rgb16) {
            uint16_t v;
            std::memcpy(&v, row + static_cast<std::ptrdiff_t>(x) * 2, 2);
            if (v == 0xFFFF) return false;
            c = classes[v];
        } else {
            uint32_t p;
            std::memcpy(&p, row + static_cast<std::ptrdiff_t>(x) * 4, 4);
            p &= 0xFFFFFF;
            if (p == 0xFFFFFF) return false;
            c = classOf(p);
        }
        grey += c >> 1;
        if (c & kInk) dst[(left + x) >> 3] |= static_cast<uint8_t>(0x80 >> ((left + x) & 7));
        return true;
    };
    int x = 0;
    for (; x + kRun <= w; x += kRun) {
        const unsigned char* at = row + static_cast<std::ptrdiff_t>(x) * kBytes;
        // Pixel k of the run is looked at when bit 2k is set.
        uint32_t look = 0x55555555u;
#if defined(__SSE2__)
        const __m128i ones = _mm_set1_epi32(-1);
        if constexpr (Rgb16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(a, b), ones)) == 0xFFFF) continue;
            // Two mask bits a pixel, both set for paper.
            const uint32_t white = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, ones))) |
                                   (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(b, ones))) << 16);
            // Black (most ink) is set sixteen pixels at a time: one bit a pixel, pixel 0 first.
            const __m128i zero = _mm_setzero_si128();
            const uint32_t blackPixels = static_cast<uint32_t>(
                _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero))));
            if (blackPixels) {
                const uint32_t bits = reversed16(blackPixels);
                const int at = left + x, off = at & 7;
                const uint32_t placed = bits << (8 - off);  // 24 bits from byte at / 8
                uint8_t* d = dst + (at >> 3);
                d[0] |= static_cast<uint8_t>(placed >> 16);
                d[1] |= static_cast<uint8_t>(placed >> 8);
                if (off) d[2] |= static_cast<uint8_t>(placed);  // in the row: the run ends before its end
            }
            const uint32_t black = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, zero))) |
                                   (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(b, zero))) << 16);
            look = ~(white | black) & 0x55555555u;
            if (!look) {
                if (first < 0) first = x;
                last = x + kRun;
                continue;
            }
        } else {
            // RGB24 leaves its top byte undefined: it is set before the compare.
            const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
            __m128i all = ones;
            for (int k = 0; k < 4; ++k)
                all = _mm_and_si128(all, _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * k)), top));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(all, ones)) == 0xFFFF) continue;
        }
#else
        uint64_t q[kRun * kBytes / 8];
        std::memcpy(q, at, sizeof q);
        uint64_t all = ~uint64_t{0};
        for (uint64_t v : q) all &= Rgb16 ? v : (v | 0xFF000000FF000000ull);
        if (all == ~uint64_t{0}) continue;
#endif
        if (first < 0) first = x;
        last = x + kRun;
        for (; look; look &= look - 1) pixel(x + __builtin_ctz(look) / 2);
    }
    for (; x < w; ++x) {
        if (pixel(x)) {
            if (first < 0) first = x;
            last = x + 1;
        }
    }
    *mid += grey;
    return first < 0 ? std::pair<int, int>{0, 0} : std::pair<int, int>{first, last};
}

}  // namespace

void faxPageOfRgb(cairo_surface_t* surface, const Format& format, Grey* scratch, Page* page, bool restorePaper) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const bool rgb16 = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB16_565;
    const int bpp = rgb16 ? 2 : 4;
    auto rowOf = [&](int y) { return data + static_cast<std::ptrdiff_t>(y) * stride; };
    if (w > kFaxWidth || h > format.rows()) {
        greyInto(surface, scratch);
        *page = faxPageOf(*scratch, kXdpi, format.ydpi(), format);
        if (restorePaper) {
            for (int y = 0; y < h; ++y) whiten(rowOf(y), bpp, 0, w);
            cairo_surface_mark_dirty(surface);
        }
        return;
    }
    page->resize(kFaxWidth, format.rows());  // keeps the memory of the last page
    page->xdpi = kXdpi;
    page->ydpi = format.ydpi();
    // One pass thresholds the page and weighs its grey tones; a page with many grey tones is
    // made again, dithered. Where each row was drawn on is kept, to make it paper again after.
    std::vector<std::pair<int, int>> drawn(static_cast<std::size_t>(h), {0, 0});
    std::size_t mid = 0;
    const int left = (kFaxWidth - w) / 2;
    for (int y = 0; y < h; ++y) {
        const auto span = rgb16 ? scanRow<true>(rowOf(y), w, left, page->row(y), &mid)
                                : scanRow<false>(rowOf(y), w, left, page->row(y), &mid);
        drawn[static_cast<std::size_t>(y)] = span;
    }
    if (mid * 10 > static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {
        greyInto(surface, scratch);
        *page = faxPageOf(*scratch, kXdpi, format.ydpi(), format);
    }
    if (restorePaper) {
        for (int y = 0; y < h; ++y)
            whiten(rowOf(y), bpp, drawn[static_cast<std::size_t>(y)].first, drawn[static_cast<std::size_t>(y)].second);
        cairo_surface_mark_dirty(surface);
    }
}

bool needsDither(const Grey& g) {
    // Grey tones over a tenth of the image make it a picture; the soft edges of text and lines
    // stay well below that.
    std::size_t mid = 0;
    for (uint8_t v : g.pixels) mid += (v > 48 && v < 208) ? 1 : 0;
    return !g.pixels.empty() && mid * 10 > g.pixels.size();
}

Page faxPageOf(const Grey& g, double sxdpi, double sydpi, const Format& format) {
    Page page;
    const int rows = format.rows();
    page.resize(kFaxWidth, rows);
    page.ydpi = format.ydpi();
    if (g.width <= 0 || g.height <= 0) return page;
    // The image's size on the fax: its true size when it has a resolution and fits, otherwise
    // fitted to the page (aspect kept, pixels taken as square).
    double w, h;  // in fax pixels
    if (sxdpi > 0 && sydpi > 0) {
        w = g.width * kXdpi / sxdpi;
        h = g.height * page.ydpi / sydpi;
    } else {
        w = g.width;
        h = g.height * static_cast<double>(page.ydpi) / kXdpi;
    }
    const bool fits = sxdpi > 0 && w <= kFaxWidth && h <= rows;
    if (!fits) {
        const double k = std::min(kFaxWidth / w, rows / h);
        w *= k;
        h *= k;
    }
    const int dw = std::clamp(static_cast<int>(std::lround(w)), 1, kFaxWidth);
    const int dh = std::clamp(static_cast<int>(std::lround(h)), 1, rows);
    // Drawn at the fax's size already (a rendered PDF page): no scaling.
    Grey scaled;
    if (dw != g.width || dh != g.height) scaled = scaleGrey(g, dw, dh);
    const Grey& s = dw != g.width || dh != g.height ? scaled : g;
    const int left = (kFaxWidth - dw) / 2;
    if (!needsDither(s)) {
        for (int y = 0; y < dh; ++y) {
            const uint8_t* src = s.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(dw);
            uint8_t* row = page.row(y);
            for (int x = 0; x < dw; ++x)
                if (src[x] < 128) row[(left + x) >> 3] |= static_cast<uint8_t>(0x80 >> ((left + x) & 7));
        }
        return page;
    }
    // Floyd-Steinberg error diffusion over two rows of errors.
    std::vector<int> cur(static_cast<std::size_t>(dw) + 2, 0), next(static_cast<std::size_t>(dw) + 2, 0);
    for (int y = 0; y < dh; ++y) {
        std::fill(next.begin(), next.end(), 0);
        for (int x = 0; x < dw; ++x) {
            const std::size_t i = static_cast<std::size_t>(x) + 1;
            int v = s.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(dw) + static_cast<std::size_t>(x)] + cur[i] / 16;
            int out = v < 128 ? 0 : 255;
            if (out == 0) page.set(left + x, y);
            int err = v - out;
            cur[i + 1] += err * 7;
            next[i - 1] += err * 3;
            next[i] += err * 5;
            next[i + 1] += err;
        }
        std::swap(cur, next);
    }
    return page;
}

std::vector<std::string> thumbnail(const Page& page, int cols, int rows) {
    static const char kShades[] = " .:-=+*#%@";
    std::vector<std::string> out;
    if (cols <= 0 || rows <= 0 || page.width <= 0 || page.height <= 0) return out;
    for (int r = 0; r < rows; ++r) {
        std::string line;
        const int y0 = static_cast<int>(static_cast<int64_t>(r) * page.height / rows);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(r + 1) * page.height / rows));
        for (int c = 0; c < cols; ++c) {
            const int x0 = static_cast<int>(static_cast<int64_t>(c) * page.width / cols);
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(c + 1) * page.width / cols));
            const std::size_t ink = page.inkIn(x0, y0, x1, y1);
            const std::size_t area = static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(y1 - y0);
            // Any ink shows; then the share of ink picks a darker character (text is sparse).
            std::size_t level = ink == 0 ? 0 : 1 + std::min<std::size_t>(8, ink * 8 * 4 / area);
            line += kShades[level];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out.push_back(line);
    }
    return out;
}

namespace {

// An RGB24 surface of a page, rows repeated `repeat` times (white paper, black ink).
SurfacePtr surfaceOf(const Page& page, int repeat) {
    SurfacePtr s(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, page.width, page.height * repeat));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return s;
    unsigned char* data = cairo_image_surface_get_data(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    for (int y = 0; y < page.height; ++y) {
        for (int k = 0; k < repeat; ++k) {
            auto* row = reinterpret_cast<uint32_t*>(data + static_cast<std::ptrdiff_t>(y * repeat + k) * stride);
            for (int x = 0; x < page.width; ++x) row[x] = page.ink(x, y) ? 0x000000u : 0xFFFFFFu;
        }
    }
    cairo_surface_mark_dirty(s.get());
    return s;
}


}  // namespace

int16_t writePng(const std::string& path, const Page& page) {
    if (page.width <= 0 || page.height <= 0) return E_WRITE;
    const int repeat = page.ydpi > 0 && page.ydpi * 3 / 2 < kXdpi ? 2 : 1;
    auto s = surfaceOf(page, repeat);
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) return E_WRITE;
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    if (cairo_surface_write_to_png(s.get(), tmp.c_str()) != CAIRO_STATUS_SUCCESS || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return E_WRITE;
    }
    return 0;
}

int16_t writePdf(int fd, const std::vector<Page>& pages) {
    if (pages.empty()) return E_WRITE;
    auto sizeOf = [](const Page& p, double* w, double* h) {
        *w = p.width * 72.0 / (p.xdpi > 0 ? p.xdpi : kXdpi);
        *h = p.height * 72.0 / (p.ydpi > 0 ? p.ydpi : kNormalDpi);
    };
    double w, h;
    sizeOf(pages[0], &w, &h);
    SurfacePtr pdf(cairo_pdf_surface_create_for_stream(writeToFd, &fd, w, h));
    if (cairo_surface_status(pdf.get()) != CAIRO_STATUS_SUCCESS) return E_WRITE;
    {
        ContextPtr cr(cairo_create(pdf.get()));
        for (const Page& p : pages) {
            sizeOf(p, &w, &h);
            cairo_pdf_surface_set_size(pdf.get(), w, h);
            auto img = surfaceOf(p, 1);
            if (cairo_surface_status(img.get()) != CAIRO_STATUS_SUCCESS) return E_WRITE;
            cairo_save(cr.get());
            cairo_scale(cr.get(), 72.0 / (p.xdpi > 0 ? p.xdpi : kXdpi), 72.0 / (p.ydpi > 0 ? p.ydpi : kNormalDpi));
            cairo_set_source_surface(cr.get(), img.get(), 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_NEAREST);
            cairo_paint(cr.get());
            cairo_restore(cr.get());
            cairo_show_page(cr.get());
        }
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return E_WRITE;
    }
    cairo_surface_finish(pdf.get());
    return cairo_surface_status(pdf.get()) == CAIRO_STATUS_SUCCESS ? int16_t{0} : int16_t{E_WRITE};
}

cairo_status_t writeToFd(void* closure, const unsigned char* data, unsigned int length) {
    int fd = *static_cast<int*>(closure);
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return CAIRO_STATUS_WRITE_ERROR;
        data += n;
        length -= static_cast<unsigned int>(n);
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace qordoc
