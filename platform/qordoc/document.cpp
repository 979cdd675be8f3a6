// Documents by content: text, TIFF (a fax page as it is, any other TIFF converted), PDF (each
// page rendered with poppler through cairo, fitted to the paper), PNG and JPEG (one page each,
// fitted). Anything else is refused with its kind named.
#include <cairo.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

extern "C" {
#include <jpeglib.h>
}

#include "qordoc.h"
#include "qordoc_cairo.h"
#include "qordoc_internal.h"
#include "pdflib.h"

namespace qordoc {

namespace {

// Owners of poppler's objects, released through the loaded library.
struct GObjectDeleter {
    const PdfLib* lib;
    void operator()(void* o) const { lib->objectUnref(o); }
};
struct BytesDeleter {
    const PdfLib* lib;
    void operator()(GBytes* b) const { lib->bytesUnref(b); }
};
using DocumentPtr = std::unique_ptr<PopplerDocument, GObjectDeleter>;
using PdfPagePtr = std::unique_ptr<PopplerPage, GObjectDeleter>;

std::string tooMany(int pages, int limit) {
    return std::to_string(pages) + " pages, more than the page limit of " + std::to_string(limit);
}

// ---- TIFF

const char* compressionName(uint16_t c) {
    switch (c) {
        case COMPRESSION_NONE: return "no compression";
        case COMPRESSION_CCITTRLE: return "CCITT modified Huffman compression";
        case COMPRESSION_CCITTFAX3: return "CCITT group 3 compression";
        case COMPRESSION_CCITTFAX4: return "CCITT group 4 compression";
        case COMPRESSION_LZW: return "LZW compression";
        case COMPRESSION_OJPEG:
        case COMPRESSION_JPEG: return "JPEG compression";
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE: return "Deflate compression";
        case COMPRESSION_PACKBITS: return "PackBits compression";
        default: return "an unusual compression";
    }
}

struct TiffFacts {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, compression = COMPRESSION_NONE, photometric = 0;
    double xres = 0, yres = 0;
};

TiffFacts factsOf(TIFF* t) {
    TiffFacts f;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &f.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &f.height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &f.bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &f.spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &f.compression);
    TIFFGetFieldDefaulted(t, TIFFTAG_PHOTOMETRIC, &f.photometric);
    f.xres = resolutionOf(t, TIFFTAG_XRESOLUTION);
    f.yres = resolutionOf(t, TIFFTAG_YRESOLUTION);
    return f;
}

bool near(double v, double target, double slack) { return std::fabs(v - target) <= slack; }

// What keeps a TIFF page from being a fax page as it is; empty when it is one.
std::string notFaxBecause(const TiffFacts& f) {
    std::string why;
    auto add = [&](const std::string& s) { why += (why.empty() ? "" : ", ") + s; };
    // A B4 page (2048) is read as it is where a fax file has it, but what we send is 1728 wide.
    if (f.width != 1728) add(std::to_string(f.width) + " pixels wide (a fax page is 1728)");
    if (f.bps != 1 || f.spp != 1) add(std::to_string(f.bps * f.spp) + " bits a pixel (a fax page is bilevel)");
    if (f.compression != COMPRESSION_CCITTFAX3 && f.compression != COMPRESSION_CCITTFAX4)
        add(std::string(compressionName(f.compression)) + " (a fax page has CCITT group 3 or 4)");
    const bool xOk = near(f.xres, 204, 6);
    const bool yOk = near(f.yres, 98, 5) || near(f.yres, 196, 8);
    if (!xOk || !yOk) {
        char res[96];
        if (f.xres > 0 && f.yres > 0)
            std::snprintf(res, sizeof res, "%.0f x %.0f dpi (a fax page is 204 x 98 or 196)", f.xres, f.yres);
        else
            std::snprintf(res, sizeof res, "no resolution (a fax page is 204 x 98 or 196 dpi)");
        add(res);
    }
    return why;
}

int16_t tiffDocument(const std::string& bytes, const Format& format, Info* info, const PageSink* sink,
                     std::string* reason) {
    TiffMemory mem;
    std::unique_ptr<TIFF, TiffCloser> t(openTiffBytes(bytes, &mem));
    if (!t) {
        *reason = "a damaged TIFF image: " + tiffError();
        return E_DAMAGED;
    }
    // The page count first: a document over the limit is refused before any page is made.
    const int total = static_cast<int>(std::min<uint64_t>(TIFFNumberOfDirectories(t.get()), 65535));
    if (format.pageLimit > 0 && total > format.pageLimit) {
        *reason = "a TIFF image of " + tooMany(total, format.pageLimit);
        return E_TOOMANYPAGES;
    }
    int n = 0;
    bool allFax = true;
    do {
        ++n;
        if (format.pageLimit > 0 && n > format.pageLimit) {
            int total = n;
            while (TIFFReadDirectory(t.get()) == 1 && total < 65535) ++total;
            *reason = "a TIFF image of " + tooMany(total, format.pageLimit);
            return E_TOOMANYPAGES;
        }
        const TiffFacts f = factsOf(t.get());
        if (f.width == 0 || f.height == 0) {
            *reason = "a damaged TIFF image: page " + std::to_string(n) + " has no size";
            return E_DAMAGED;
        }
        const std::string why = notFaxBecause(f);
        allFax = allFax && why.empty();
        if (static_cast<uint64_t>(f.width) * f.height > kMaxImagePixels) {
            *reason = "a TIFF image of " + std::to_string(f.width) + " x " + std::to_string(f.height) +
                      " pixels: too large to convert";
            return E_TOOLARGE;
        }
        char emsg[1024] = {};
        if (!why.empty() && !TIFFRGBAImageOK(t.get(), emsg)) {
            *reason = "a TIFF image that is not a fax page (" + why + ") and cannot be converted: " + emsg;
            return E_NOTFAX;
        }
        if (!sink) continue;
        if (why.empty()) {
            // A fax page as it is: decoded, kept at its own width and resolution.
            Page p;
            p.resize(static_cast<int>(f.width), static_cast<int>(f.height));
            p.xdpi = kXdpi;
            p.ydpi = f.yres > 150 ? kFineDpi : kNormalDpi;
            const tmsize_t line = TIFFScanlineSize(t.get());
            if (line <= 0 || static_cast<std::size_t>(line) < p.stride || TIFFIsTiled(t.get())) {
                *reason = "a damaged TIFF image: page " + std::to_string(n) + " cannot be decoded";
                return E_DAMAGED;
            }
            std::vector<uint8_t> buf(static_cast<std::size_t>(line));
            for (uint32_t y = 0; y < f.height; ++y) {
                if (TIFFReadScanline(t.get(), buf.data(), y, 0) < 0) {
                    *reason = "a damaged TIFF image: page " + std::to_string(n) + ": " + tiffError();
                    return E_DAMAGED;
                }
                uint8_t* dst = p.row(static_cast<int>(y));
                for (std::size_t i = 0; i < p.stride; ++i)
                    dst[i] = f.photometric == PHOTOMETRIC_MINISBLACK ? static_cast<uint8_t>(~buf[i]) : buf[i];
                if (f.width % 8) dst[p.stride - 1] &= static_cast<uint8_t>(0xFF00 >> (f.width % 8));
            }
            if (int16_t st = (*sink)(p, n - 1, std::max(total, n))) return st;
        } else {
            std::vector<uint32_t> rgba(static_cast<std::size_t>(f.width) * f.height);
            if (TIFFReadRGBAImageOriented(t.get(), f.width, f.height, rgba.data(), ORIENTATION_TOPLEFT, 0) != 1) {
                *reason = "a damaged TIFF image: page " + std::to_string(n) + ": " + tiffError();
                return E_DAMAGED;
            }
            Grey g;
            g.width = static_cast<int>(f.width);
            g.height = static_cast<int>(f.height);
            g.pixels.resize(rgba.size());
            for (std::size_t i = 0; i < rgba.size(); ++i) {
                const uint32_t p = rgba[i];
                const uint32_t a = TIFFGetA(p);
                const uint32_t l = (TIFFGetR(p) * 299 + TIFFGetG(p) * 587 + TIFFGetB(p) * 114) / 1000;
                g.pixels[i] = static_cast<uint8_t>((l * a + 255 * (255 - a)) / 255);  // on white
            }
            rgba = {};
            if (int16_t st = (*sink)(faxPageOf(g, f.xres, f.yres, format), n - 1, std::max(total, n))) return st;
        }
    } while (TIFFReadDirectory(t.get()) == 1);
    if (info) {
        info->pages = n;
        info->faxImage = allFax;
    }
    return 0;
}

// ---- PDF

// The document reads `bytes` in place: it must not outlive them.
DocumentPtr openPdf(const PdfLib* lib, const std::string& bytes, std::string* reason) {
    std::unique_ptr<GBytes, BytesDeleter> data(lib->bytesNewStatic(bytes.data(), bytes.size()), BytesDeleter{lib});
    GError* err = nullptr;
    PopplerDocument* doc = lib->documentNewFromBytes(data.get(), nullptr, &err);
    if (!doc) {
        *reason = std::string("a PDF document that cannot be read: ") + (err && err->message ? err->message : "damaged");
        if (err) lib->errorFree(err);
        return DocumentPtr(nullptr, GObjectDeleter{lib});
    }
    return DocumentPtr(doc, GObjectDeleter{lib});
}

// Draws page i of a PDF fitted to the paper on `*surface`, made again (and painted white) when
// the page's size differs from the last one's. The surface must be white when given: each
// page's scan leaves it so, and a page is drawn without a fill of the whole surface.
int16_t drawPdfPage(const PdfLib* lib, PopplerDocument* doc, int i, const Format& format, SurfacePtr* surface,
                    std::string* reason) {
    PdfPagePtr page(lib->documentGetPage(doc, i), GObjectDeleter{lib});
    if (!page) {
        *reason = "a damaged PDF document: page " + std::to_string(i + 1) + " cannot be read";
        return E_DAMAGED;
    }
    double w = 0, h = 0;
    lib->pageGetSize(page.get(), &w, &h);
    if (!(w > 1) || !(h > 1) || !std::isfinite(w) || !std::isfinite(h)) {
        *reason = "a damaged PDF document: page " + std::to_string(i + 1) + " has no size";
        return E_DAMAGED;
    }
    // Fitted to the paper: the page's true size, made smaller or larger to fill it.
    const int rows = format.rows();
    const double sx = kXdpi / 72.0, sy = format.ydpi() / 72.0;
    const double k = std::min(kFaxWidth / (w * sx), rows / (h * sy));
    const int dw = std::clamp(static_cast<int>(std::lround(w * sx * k)), 1, kFaxWidth);
    const int dh = std::clamp(static_cast<int>(std::lround(h * sy * k)), 1, rows);
    if (!*surface || cairo_image_surface_get_width(surface->get()) != dw ||
        cairo_image_surface_get_height(surface->get()) != dh) {
        // 16 bits a pixel: half the memory to fill and scan, and enough for a threshold.
        surface->reset(cairo_image_surface_create(CAIRO_FORMAT_RGB16_565, dw, dh));
        if (cairo_surface_status(surface->get()) != CAIRO_STATUS_SUCCESS) {
            surface->reset();
            *reason = "a PDF document whose page " + std::to_string(i + 1) + " cannot be drawn (no memory)";
            return E_TOOLARGE;
        }
        ContextPtr cr(cairo_create(surface->get()));
        cairo_set_source_rgb(cr.get(), 1, 1, 1);
        cairo_paint(cr.get());
    }
    ContextPtr cr(cairo_create(surface->get()));
    cairo_scale(cr.get(), sx * k, sy * k);
    // Fax pages are bilevel: soft edges would only be thresholded away again. Shapes take the
    // context's antialias, text the font options' (poppler keeps ours): bilevel glyphs are
    // FreeType's strokes made for one bit a pixel, and cairo draws them in half the time of
    // grey ones.
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    std::unique_ptr<cairo_font_options_t, decltype(&cairo_font_options_destroy)> text(cairo_font_options_create(),
                                                                                     &cairo_font_options_destroy);
    cairo_font_options_set_antialias(text.get(), CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr.get(), text.get());
    lib->pageRenderForPrinting(page.get(), cr.get());
    return 0;
}

// The pages of a PDF of several pages are drawn on a second thread while this one scans the
// page before and hands it on, so a long document takes about the time of its drawing alone.
// poppler is used by the drawing thread only (one document, one thread at a time); the scan
// and the sink run on the caller's thread in page order. Two surfaces pass between the two.
class PdfPipeline {
public:
    PdfPipeline(const PdfLib* lib, PopplerDocument* doc, int n, const Format& format)
        : lib_(lib), doc_(doc), n_(n), format_(format) {}
    ~PdfPipeline() { finish(); }
    PdfPipeline(const PdfPipeline&) = delete;
    PdfPipeline& operator=(const PdfPipeline&) = delete;

    // False when no thread can be started (the caller draws the pages itself).
    bool start() {
        try {
            thread_ = std::thread([this] { draw(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    int16_t run(const PageSink& sink, std::string* reason) {
        Grey grey;
        Page made;
        for (int i = 0; i < n_; ++i) {
            const int k = i % 2;
            {
                std::unique_lock<std::mutex> hold(lock_);
                changed_.wait(hold, [&] { return full_[k] || failedAt_ == i; });
                if (!full_[k]) {
                    *reason = why_;
                    return status_;
                }
            }
            faxPageOfRgb(slots_[k].get(), format_, &grey, &made, true);
            {
                std::lock_guard<std::mutex> hold(lock_);
                full_[k] = false;
            }
            changed_.notify_all();
            if (int16_t st = sink(made, i, n_)) return st;
        }
        return 0;
    }

private:
    void draw() {
        for (int i = 0; i < n_; ++i) {
            const int k = i % 2;
            {
                std::unique_lock<std::mutex> hold(lock_);
                changed_.wait(hold, [&] { return !full_[k] || stop_; });
                if (stop_) return;
            }
            // Slot k is this thread's until it is marked full.
            std::string why;
            const int16_t st = drawPdfPage(lib_, doc_, i, format_, &slots_[k], &why);
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (st) {
                    failedAt_ = i;
                    status_ = st;
                    why_ = why;
                } else {
                    full_[k] = true;
                }
            }
            changed_.notify_all();
            if (st) return;
        }
    }

    void finish() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    const PdfLib* lib_;
    PopplerDocument* doc_;
    const int n_;
    const Format format_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable changed_;
    SurfacePtr slots_[2];
    bool full_[2] = {false, false};  // drawn, waiting for its scan
    bool stop_ = false;              // the caller wants no more pages
    int failedAt_ = -1;              // the page that could not be drawn
    int16_t status_ = 0;
    std::string why_;
};

int16_t pdfDocument(const std::string& bytes, const Format& format, Info* info, const PageSink* sink,
                    std::string* reason) {
    const PdfLib* lib = pdfLib(reason);
    if (!lib) return E_UNSUPPORTED;
    auto doc = openPdf(lib, bytes, reason);
    if (!doc) return E_DAMAGED;
    const int n = lib->documentGetNPages(doc.get());
    if (n <= 0) {
        *reason = "a PDF document without pages";
        return E_DAMAGED;
    }
    if (format.pageLimit > 0 && n > format.pageLimit) {
        *reason = "a PDF document of " + tooMany(n, format.pageLimit);
        return E_TOOMANYPAGES;
    }
    if (info) info->pages = n;
    if (!sink) return 0;
    if (n > 1 && std::thread::hardware_concurrency() > 1) {
        PdfPipeline pipeline(lib, doc.get(), n, format);
        if (pipeline.start()) return pipeline.run(*sink, reason);
    }
    // One surface, one grey image and one page image serve every page.
    SurfacePtr surface;
    Grey grey;
    Page made;
    for (int i = 0; i < n; ++i) {
        if (int16_t st = drawPdfPage(lib, doc.get(), i, format, &surface, reason)) return st;
        faxPageOfRgb(surface.get(), format, &grey, &made, true);
        if (int16_t st = (*sink)(made, i, n)) return st;
    }
    return 0;
}

// ---- PNG (cairo's reader) and JPEG (libjpeg)

struct PngSource {
    const std::string* bytes;
    std::size_t pos;
};

cairo_status_t pngRead(void* closure, unsigned char* data, unsigned int length) {
    auto* s = static_cast<PngSource*>(closure);
    if (s->pos + length > s->bytes->size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, s->bytes->data() + s->pos, length);
    s->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

int16_t pngImage(const std::string& bytes, Grey* g, std::string* reason) {
    // The size in the header first: a hostile header must not make us allocate gigabytes.
    if (bytes.size() < 24 || bytes.compare(12, 4, "IHDR") != 0) {
        *reason = "a damaged PNG image";
        return E_DAMAGED;
    }
    auto be32 = [&](std::size_t at) {
        return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
    };
    const uint64_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w * h > kMaxImagePixels || w > 32767 || h > 32767) {
        *reason = "a PNG image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels: too large to convert";
        return E_TOOLARGE;
    }
    PngSource src{&bytes, 0};
    SurfacePtr s(cairo_image_surface_create_from_png_stream(pngRead, &src));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) {
        *reason = std::string("a damaged PNG image: ") + cairo_status_to_string(cairo_surface_status(s.get()));
        return E_DAMAGED;
    }
    *g = greyOf(s.get());
    return 0;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFail(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}
void jpegQuiet(j_common_ptr, int) {}

// Plain C style between setjmp and longjmp: nothing here has a destructor to skip.
bool decodeJpeg(const unsigned char* data, unsigned long size, unsigned char** pixels, int* w, int* h,
                char* message, std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    err.message[0] = '\0';
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegQuiet;
    unsigned char* volatile out = nullptr;
    if (setjmp(err.jump)) {
        std::snprintf(message, messageSize, "%s", err.message);
        jpeg_destroy_decompress(&cinfo);
        std::free(out);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > kMaxImagePixels) {
        std::snprintf(message, messageSize, "%ux%u pixels: too large to convert", cinfo.image_width, cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = cinfo.output_width;
    out = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
    if (!out) {
        std::snprintf(message, messageSize, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out + static_cast<std::size_t>(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    *w = static_cast<int>(cinfo.output_width);
    *h = static_cast<int>(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    *pixels = out;
    return true;
}

int16_t jpegImage(const std::string& bytes, Grey* g, std::string* reason) {
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    char message[JMSG_LENGTH_MAX + 64] = {};
    if (!decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()),
                    &pixels, &w, &h, message, sizeof message)) {
        *reason = std::string("a JPEG image that cannot be read: ") + message;
        return std::strstr(message, "too large") ? int16_t{E_TOOLARGE} : int16_t{E_DAMAGED};
    }
    std::unique_ptr<unsigned char, decltype(&std::free)> hold(pixels, &std::free);
    g->width = w;
    g->height = h;
    g->pixels.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    return 0;
}

int16_t limitCheck(int pages, const Format& format, const Sniffed& type, std::string* reason) {
    if (format.pageLimit > 0 && pages > format.pageLimit) {
        *reason = type.what + " of " + tooMany(pages, format.pageLimit);
        return E_TOOMANYPAGES;
    }
    return 0;
}

int16_t work(const std::string& bytes, const Format& format, Info* info, const PageSink* sink, std::string* reason) {
    const Sniffed type = sniff(bytes);
    if (info) info->type = type;
    switch (type.kind) {
        case Kind::Empty:
            *reason = "an empty file: nothing to fax";
            return E_EMPTY;
        case Kind::Unknown:
            *reason = type.what + ": not a document that can be faxed (text, TIFF, PDF, PNG or JPEG)";
            return E_UNSUPPORTED;
        case Kind::Text: {
            auto laid = layoutText(bytes, 80, 66);
            const int n = static_cast<int>(laid.size());
            if (int16_t st = limitCheck(n, format, type, reason)) return st;
            if (info) info->pages = n;
            if (!sink) return 0;
            const int16_t st = drawText(laid, format, 80, 66, *sink);
            if (st == E_TOOLARGE) *reason = type.what + " that cannot be drawn (no memory for the page image)";
            return st;
        }
        case Kind::Tiff: return tiffDocument(bytes, format, info, sink, reason);
        case Kind::Pdf: return pdfDocument(bytes, format, info, sink, reason);
        case Kind::Png:
        case Kind::Jpeg: {
            Grey g;
            if (int16_t st = type.kind == Kind::Png ? pngImage(bytes, &g, reason) : jpegImage(bytes, &g, reason)) return st;
            if (info) info->pages = 1;
            return sink ? (*sink)(faxPageOf(g, 0, 0, format), 0, 1) : int16_t{0};
        }
    }
    return E_UNSUPPORTED;
}

}  // namespace

int16_t inspect(const std::string& bytes, const Format& format, Info* info) {
    *info = Info{};
    std::string reason;
    const Sniffed type = sniff(bytes);
    int16_t st;
    // Images are decoded to be sure of them; a text is laid out; a PDF and a TIFF are opened.
    if (type.kind == Kind::Png || type.kind == Kind::Jpeg) {
        st = work(bytes, format, info, nullptr, &reason);
        if (st == 0) {
            Grey g;
            st = type.kind == Kind::Png ? pngImage(bytes, &g, &reason) : jpegImage(bytes, &g, &reason);
        }
    } else {
        st = work(bytes, format, info, nullptr, &reason);
    }
    info->type = type;
    info->reason = reason;
    return st;
}

int16_t render(const std::string& bytes, const Format& format, const PageSink& sink, std::string* reason) {
    std::string why;
    const int16_t st = work(bytes, format, nullptr, &sink, &why);
    if (reason) *reason = why;
    return st;
}

int16_t render(const std::string& bytes, const Format& format, std::vector<Page>* pages, std::string* reason) {
    pages->clear();
    const int16_t st = render(
        bytes, format,
        [&](const Page& p, int, int total) {
            if (pages->empty()) pages->reserve(static_cast<std::size_t>(total));
            pages->push_back(p);
            return int16_t{0};
        },
        reason);
    if (st) pages->clear();
    return st;
}

}  // namespace qordoc
