// Fax pages: text to fax, PDF to fax and TIFF re-encoding, per page, and in the same run the
// tool a fax server uses for the same work, Ghostscript's tiffg3 device, on the same PDFs (a
// text-only PDF of 20 pages and a PDF with a photo).
#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "qordoc.h"

namespace {

std::string dir() {
    static std::string d = [] {
        char tmpl[] = "/tmp/qorbench.XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        return std::string(made ? made : "/tmp") + "/";
    }();
    return d;
}

std::string textPdf() {
    static std::string path = [] {
        const std::string p = dir() + "text20.pdf";
        cairo_surface_t* s = cairo_pdf_surface_create(p.c_str(), 595.0, 842.0);
        cairo_t* cr = cairo_create(s);
        cairo_select_font_face(cr, "serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 10);
        for (int page = 0; page < 20; ++page) {
            for (int line = 0; line < 60; ++line) {
                cairo_move_to(cr, 56, 60 + line * 12.5);
                cairo_show_text(cr, "The quick brown fox jumps over the lazy dog; pack my box with five dozen jugs.");
            }
            cairo_show_page(cr);
        }
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        return p;
    }();
    return path;
}

std::string photoPdf() {
    static std::string path = [] {
        const std::string p = dir() + "photo.pdf";
        // A "photo": a 600 x 450 image of smooth grey shapes, embedded as an image.
        cairo_surface_t* img = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 600, 450);
        unsigned char* data = cairo_image_surface_get_data(img);
        const int stride = cairo_image_surface_get_stride(img);
        for (int y = 0; y < 450; ++y)
            for (int x = 0; x < 600; ++x) {
                const double v = 0.5 + 0.5 * std::sin(x / 37.0) * std::cos(y / 23.0);
                const auto g = static_cast<uint32_t>(v * 255);
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = (g << 16) | (g << 8) | g;
            }
        cairo_surface_mark_dirty(img);
        cairo_surface_t* s = cairo_pdf_surface_create(p.c_str(), 595.0, 842.0);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_surface(cr, img, 60, 300);
        cairo_paint(cr);
        cairo_select_font_face(cr, "serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 14);
        cairo_move_to(cr, 60, 120);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_show_text(cr, "A page with a photo");
        cairo_show_page(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        cairo_surface_destroy(img);
        return p;
    }();
    return path;
}

// CPU seconds of this process, or of its finished children (Ghostscript runs as one).
double cpuSeconds(int who) {
    rusage u{};
    ::getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Per page: CPU milliseconds (comparable on a loaded machine) and pages a second of wall time.
void perPage(benchmark::State& state, int pages, double cpu) {
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
    state.counters["cpu_ms/page"] = pages ? cpu * 1000 / pages : 0;
}

std::string textDocument() {
    std::string t;
    for (int i = 0; i < 66 * 10; ++i) t += "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog.\n";
    return t;
}

void BM_TextToFax(benchmark::State& state) {
    const std::string text = textDocument();
    qordoc::Format f;
    f.fine = state.range(0) != 0;
    const std::string base = dir() + "text";
    int pages = 0;
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        std::vector<qordoc::Page> out;
        qordoc::render(text, f, &out, nullptr);
        for (std::size_t i = 0; i < out.size(); ++i)
            qordoc::writeFax(base + "." + std::to_string(i + 1), {out[i]}, false, static_cast<int>(i));
        pages += static_cast<int>(out.size());
    }
    perPage(state, pages, cpuSeconds(RUSAGE_SELF) - cpu0);
}
BENCHMARK(BM_TextToFax)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void pdfToFax(benchmark::State& state, const std::string& pdf) {
    std::string bytes;
    qordoc::readFile(pdf, &bytes);
    qordoc::Format f;
    f.fine = true;
    const std::string base = dir() + "pdf";
    int pages = 0;
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    // Each page file written as its page is made, as the library makes a document's pages.
    for (auto _ : state) {
        qordoc::render(
            bytes, f,
            [&](const qordoc::Page& p, int i, int total) {
                ++pages;
                return qordoc::writeFax(base + "." + std::to_string(i + 1), p, false, i, total);
            },
            nullptr);
    }
    perPage(state, pages, cpuSeconds(RUSAGE_SELF) - cpu0);
}

void ghostscript(benchmark::State& state, const std::string& pdf, int pagesPerRun) {
    const std::string cmd = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=tiffg3 -r204x196 -sPAPERSIZE=a4 -sOutputFile=" +
                            dir() + "gs%03d.tif " + pdf + " >/dev/null 2>&1";
    int pages = 0;
    const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("ghostscript failed");
            return;
        }
        pages += pagesPerRun;
    }
    perPage(state, pages, cpuSeconds(RUSAGE_CHILDREN) - cpu0);
}

void BM_PdfToFax_Text20(benchmark::State& s) { pdfToFax(s, textPdf()); }
void BM_Ghostscript_Text20(benchmark::State& s) { ghostscript(s, textPdf(), 20); }
void BM_PdfToFax_Photo(benchmark::State& s) { pdfToFax(s, photoPdf()); }
void BM_Ghostscript_Photo(benchmark::State& s) { ghostscript(s, photoPdf(), 1); }
BENCHMARK(BM_PdfToFax_Text20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ghostscript_Text20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PdfToFax_Photo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ghostscript_Photo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TiffReencode(benchmark::State& state) {
    // A fine fax page read back and written again (2-D coding), as a merge or a save does.
    qordoc::Format f;
    f.fine = true;
    std::vector<qordoc::Page> pages;
    qordoc::render(textDocument().substr(0, 4000), f, &pages, nullptr);
    const std::string src = dir() + "src.tif", dst = dir() + "dst.tif";
    qordoc::writeFax(src, {pages.front()}, false);
    int n = 0;
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        std::vector<qordoc::Page> in;
        qordoc::readFax(src, &in);
        qordoc::writeFax(dst, in, true);
        ++n;
    }
    perPage(state, n, cpuSeconds(RUSAGE_SELF) - cpu0);
}
BENCHMARK(BM_TiffReencode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
