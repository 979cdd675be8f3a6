// Fax pages driven as hosts and users drive them: documents made into page files and read back
// with libtiff (tags and decoded image), printing, saving, merging, the send flow's spooled
// pages, manual send, and qorfax pages.
#include <cairo-pdf.h>
#include <cairo.h>
#include <gtest/gtest.h>
#include <dirent.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "faxfile.h"
#include "qordoc.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorul_control.h"
#include "qorux.h"
#include "send/pages.h"
#include "sendtest.h"

namespace qortest {
namespace {

// A page file decoded with libtiff: its tags and rows (1 = ink).
struct Read {
    uint32_t width = 0, height = 0, t4 = 0;
    uint16_t bps = 0, spp = 0, compression = 0, photometric = 9, fillorder = 0, page = 0, pages = 0;
    float xres = 0, yres = 0;
    std::string software, datetime;
    int directories = 0;
    std::vector<std::vector<uint8_t>> rows;
    bool ink(uint32_t x, uint32_t y) const { return (rows[y][x / 8] >> (7 - x % 8)) & 1; }
    int inkIn(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
        int n = 0;
        for (uint32_t y = y0; y < y1 && y < height; ++y)
            for (uint32_t x = x0; x < x1 && x < width; ++x) n += ink(x, y);
        return n;
    }
};

Read readTiff(const std::string& path) {
    Read r;
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return r;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &r.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &r.height);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &r.bps);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &r.spp);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &r.compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &r.photometric);
    TIFFGetField(t, TIFFTAG_FILLORDER, &r.fillorder);
    TIFFGetField(t, TIFFTAG_GROUP3OPTIONS, &r.t4);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &r.xres);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &r.yres);
    TIFFGetField(t, TIFFTAG_PAGENUMBER, &r.page, &r.pages);
    char* s = nullptr;
    if (TIFFGetField(t, TIFFTAG_SOFTWARE, &s) == 1 && s) r.software = s;
    if (TIFFGetField(t, TIFFTAG_DATETIME, &s) == 1 && s) r.datetime = s;
    std::vector<uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(t)));
    for (uint32_t y = 0; y < r.height; ++y) {
        if (TIFFReadScanline(t, line.data(), y, 0) < 0) break;
        r.rows.push_back(line);
    }
    r.directories = TIFFNumberOfDirectories(t);
    TIFFClose(t);
    return r;
}

// A PDF of `pages` pages with a line of text each (and a grey photo-like block when asked).
void writePdf(const std::string& path, int pages, bool photo = false) {
    cairo_surface_t* s = cairo_pdf_surface_create(path.c_str(), 595.0, 842.0);
    cairo_t* cr = cairo_create(s);
    for (int p = 0; p < pages; ++p) {
        cairo_select_font_face(cr, "sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 28);
        cairo_move_to(cr, 72, 100);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_show_text(cr, ("Page " + std::to_string(p + 1)).c_str());
        if (photo) {
            cairo_pattern_t* g = cairo_pattern_create_linear(72, 0, 523, 0);
            cairo_pattern_add_color_stop_rgb(g, 0, 0.1, 0.1, 0.1);
            cairo_pattern_add_color_stop_rgb(g, 1, 0.9, 0.9, 0.9);
            cairo_set_source(cr, g);
            cairo_rectangle(cr, 72, 200, 451, 450);
            cairo_fill(cr);
            cairo_pattern_destroy(g);
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// A grey gradient PNG (a photo: dithered) of w x h pixels.
void writePng(const std::string& path, int w, int h) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, w, 0);
    cairo_pattern_add_color_stop_rgb(g, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgb(g, 1, 1, 1, 1);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// An RGB colour TIFF: red on the left half, white on the right, 300 dpi.
void writeColourTiff(const std::string& path, uint32_t w, uint32_t h) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<uint8_t> row(w * 3);
    for (uint32_t x = 0; x < w; ++x) {
        const bool left = x < w / 2;
        row[x * 3] = left ? 20 : 255;
        row[x * 3 + 1] = left ? 20 : 255;
        row[x * 3 + 2] = left ? 20 : 255;
    }
    for (uint32_t y = 0; y < h; ++y) TIFFWriteScanline(t, row.data(), y, 0);
    TIFFClose(t);
}

// An 8-bit grey LZW TIFF without a resolution, `pages` pages of `grey`; from page
// `firstFloat` on its samples are floating point (which libtiff's RGBA reader refuses).
bool writeGreyTiff(const std::string& path, uint32_t w, uint32_t h, int pages, int firstFloat, uint8_t grey) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return false;
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        if (p >= firstFloat) TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        std::vector<uint8_t> row(w, grey);
        for (uint32_t y = 0; y < h; ++y) TIFFWriteScanline(t, row.data(), y, 0);
        if (pages > 1) TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    return true;
}

class PagesTest : public SendTest {
protected:
    std::string base() { return profile.path("out/fax"); }
    void SetUp() override {
        SendTest::SetUp();
        ::mkdir(profile.path("out").c_str(), 0755);
    }
    L1_PAGEINFO info(int16_t fine = 0) {
        L1_PAGEINFO i;
        L1_initpageinfo(kHost, &i, fine);
        return i;
    }
    int16_t make(const std::string& doc, int16_t* pages, int16_t fine = 0, std::string* reason = nullptr) {
        L1_PAGEINFO i = info(fine);
        char why[256] = {};
        int16_t st = L1_makepages(kHost, doc.c_str(), base().c_str(), 0, &i, pages, why, sizeof why);
        if (reason) *reason = why;
        return st;
    }
    std::string page(int k) { return UX_pagefilename(base(), k); }
    // Files in the spool directory but its counter and the engine lock.
    std::size_t spoolFiles() {
        std::size_t n = 0;
        if (DIR* d = ::opendir(profile.path("spool").c_str())) {
            while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.' && std::string(e->d_name).find(".seq") == std::string::npos &&
                                                 std::string(e->d_name) != "engine.lock";
            ::closedir(d);
        }
        return n;
    }
};

TEST_F(PagesTest, PageFileNamesNumberFromOneInTheExtension) {
    EXPECT_EQ(UX_pagefilename("/p/spool/0000001A.SPL", 0), "/p/spool/0000001A.001");
    EXPECT_EQ(UX_pagefilename("/p/spool/0000001A.001", 41), "/p/spool/0000001A.042");
    EXPECT_EQ(UX_pagefilename("/p/dir.d/base", 2), "/p/dir.d/base.003");  // a point in a directory stays
    char name[80] = "/p/x";
    EXPECT_EQ(UX_pagefile(0, name, sizeof name, 999), UL_E_BADARG);
    EXPECT_EQ(UX_pagefilename(std::string(78, 'a'), 0), "");  // would pass 79 characters
}

TEST_F(PagesTest, TextPageIsAClassFPageWithInkOnlyWhereTheCharactersAre) {
    writeFile(profile.path("a.txt"), "HELLO WORLD\r\n\tTabbed \x93quoted\x94 text\r\n");
    int16_t pages = 0;
    ASSERT_EQ(make(profile.path("a.txt"), &pages), 0);
    ASSERT_EQ(pages, 1);
    const Read r = readTiff(page(0));
    EXPECT_EQ(r.width, 1728u);
    EXPECT_EQ(r.height, 1146u);  // A4 at 98 lines an inch
    EXPECT_EQ(r.bps, 1);
    EXPECT_EQ(r.spp, 1);
    EXPECT_EQ(r.compression, COMPRESSION_CCITTFAX3);
    EXPECT_EQ(r.photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(r.fillorder, FILLORDER_LSB2MSB);
    EXPECT_EQ(r.t4, static_cast<uint32_t>(GROUP3OPT_FILLBITS));  // 1-D
    EXPECT_FLOAT_EQ(r.xres, 204.0f);
    EXPECT_FLOAT_EQ(r.yres, 98.0f);
    EXPECT_EQ(r.page, 0);
    EXPECT_EQ(r.pages, 1);
    EXPECT_EQ(r.software, "QOR High Level Fax Library");
    EXPECT_EQ(r.datetime, "2026:03:14 09:26:53");  // the driven clock
    EXPECT_EQ(r.directories, 1);
    ASSERT_EQ(r.rows.size(), 1146u);
    // The first line holds 11 characters from the left margin; the second starts after a tab.
    const uint32_t top = 40, lineBottom = 40 + 16;  // 0.4 inch margin, one line at 98 dpi
    EXPECT_GT(r.inkIn(100, top, 100 + 11 * 19, lineBottom), 200);
    EXPECT_EQ(r.inkIn(0, 0, 1728, 36), 0);          // top margin
    EXPECT_EQ(r.inkIn(0, 0, 90, 1146), 0);          // left margin
    EXPECT_EQ(r.inkIn(1650, 0, 1728, 1146), 0);     // right margin
    EXPECT_EQ(r.inkIn(0, 100, 1728, 1146), 0);      // nothing below the two lines
    EXPECT_EQ(r.inkIn(100, lineBottom, 100 + 8 * 19, lineBottom + 16), 0);  // the tab's blank columns
    EXPECT_GT(r.inkIn(100 + 8 * 19, lineBottom, 1000, lineBottom + 16), 200);
}

TEST_F(PagesTest, FormFeedsWrapsAndResolutionsGiveTheExpectedPages) {
    writeFile(profile.path("ff.txt"), "\fone\ftwo\n\f\fthree\n");
    int16_t pages = 0;
    ASSERT_EQ(make(profile.path("ff.txt"), &pages), 0);
    EXPECT_EQ(pages, 3);  // a form feed on an empty page adds no page
    std::string lines;
    for (int i = 1; i <= 200; ++i) lines += "line " + std::to_string(i) + "\n";
    writeFile(profile.path("200.txt"), lines);
    ASSERT_EQ(make(profile.path("200.txt"), &pages, 0), 0);
    EXPECT_EQ(pages, 4);  // 66 lines a page
    EXPECT_EQ(readTiff(page(3)).height, 1146u);
    ASSERT_EQ(make(profile.path("200.txt"), &pages, 1), 0);
    EXPECT_EQ(pages, 4);
    const Read fine = readTiff(page(3));
    EXPECT_EQ(fine.height, 2292u);
    EXPECT_FLOAT_EQ(fine.yres, 196.0f);
    EXPECT_EQ(fine.page, 3);
    EXPECT_EQ(fine.pages, 4);
    // A line of 200 characters wraps onto three lines of at most 80.
    EXPECT_EQ(qordoc::layoutText(std::string(200, 'x'), 80, 66).front().size(), 3u);
    // Letter paper and 2-D coding come from the settings.
    put("PRINT", "Paper", "Letter");
    put("PAGES", "Coding", "2D");
    ASSERT_EQ(make(profile.path("ff.txt"), &pages), 0);
    const Read letter = readTiff(page(0));
    EXPECT_EQ(letter.height, 1078u);
    EXPECT_EQ(letter.t4, static_cast<uint32_t>(GROUP3OPT_FILLBITS | GROUP3OPT_2DENCODING));
}

// Text is drawn into a page image that stays with the thread; a page is wiped before the next is
// drawn, and text drawn while other text is being drawn (by a sink) gets images of its own.
TEST_F(PagesTest, TextDrawnWhileOtherTextIsBeingDrawnComesOutAsDrawnAlone) {
    qordoc::Format f;
    const auto outer = qordoc::layoutText(std::string(3000, '#') + "\fa short page\f", 80, 66);
    const auto inner = qordoc::layoutText("inner text\fsecond inner page", 80, 66);
    const std::vector<qordoc::Page> outerAlone = qordoc::renderText(outer, f);
    const std::vector<qordoc::Page> innerAlone = qordoc::renderText(inner, f);
    ASSERT_EQ(outerAlone.size(), 2u);
    ASSERT_EQ(innerAlone.size(), 2u);
    EXPECT_LT(outerAlone[1].inkIn(0, 0, 1728, 1146) * 20, outerAlone[0].inkIn(0, 0, 1728, 1146))
        << "the short page keeps nothing of the full one drawn before it";
    int seen = 0;
    const int16_t st = qordoc::drawText(outer, f, 80, 66, [&](const qordoc::Page& page, int index, int total) -> int16_t {
        EXPECT_EQ(total, 2);
        const std::vector<qordoc::Page> nested = qordoc::renderText(inner, f);
        EXPECT_EQ(nested.size(), innerAlone.size());
        for (std::size_t i = 0; i < nested.size() && i < innerAlone.size(); ++i) EXPECT_EQ(nested[i].bits, innerAlone[i].bits);
        EXPECT_EQ(page.bits, outerAlone[static_cast<std::size_t>(index)].bits) << "page " << index;
        ++seen;
        return 0;
    });
    EXPECT_EQ(st, 0);
    EXPECT_EQ(seen, 2);
}

TEST_F(PagesTest, UtfEightAndWindows1252TextsBothRender) {
    writeFile(profile.path("u.txt"), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\n");
    writeFile(profile.path("w.txt"), "Gr\xFC\xDF" "e \x80\n");
    EXPECT_TRUE(qordoc::sniff(readFile(profile.path("u.txt"))).utf8);
    EXPECT_FALSE(qordoc::sniff(readFile(profile.path("w.txt"))).utf8);
    EXPECT_EQ(qordoc::layoutText(readFile(profile.path("u.txt")), 80, 66).front().front(), U"Gr\u00FC\u00DFe \u20AC");
    EXPECT_EQ(qordoc::layoutText(readFile(profile.path("w.txt")), 80, 66).front().front(), U"Gr\u00FC\u00DFe \u20AC");
}

TEST_F(PagesTest, PdfPagesColourTiffAndPngBecomeBilevelFaxPages) {
    writePdf(profile.path("three.pdf"), 3);
    int16_t pages = 0;
    std::string reason;
    ASSERT_EQ(make(profile.path("three.pdf"), &pages, 0, &reason), 0) << reason;
    EXPECT_EQ(pages, 3);
    for (int k = 0; k < 3; ++k) {
        const Read r = readTiff(page(k));
        EXPECT_EQ(r.width, 1728u);
        EXPECT_EQ(r.bps, 1);
        EXPECT_GT(r.inkIn(150, 60, 700, 160), 300) << "page " << k;  // "Page N" near the top left
        EXPECT_EQ(r.inkIn(0, 300, 1728, 1146), 0);
    }
    writeColourTiff(profile.path("colour.tif"), 1200, 900);
    ASSERT_EQ(make(profile.path("colour.tif"), &pages, 0, &reason), 0) << reason;
    Read r = readTiff(page(0));
    EXPECT_EQ(r.width, 1728u);
    EXPECT_EQ(r.bps, 1);
    EXPECT_EQ(r.compression, COMPRESSION_CCITTFAX3);
    // 4 inches at 300 dpi keep their true size: 816 pixels, centred; dark left half, white right.
    EXPECT_GT(r.inkIn(460, 10, 860, 200), 400 * 180);
    EXPECT_EQ(r.inkIn(880, 0, 1728, 1146), 0);
    writePng(profile.path("grad.png"), 400, 300);
    ASSERT_EQ(make(profile.path("grad.png"), &pages, 0, &reason), 0) << reason;
    r = readTiff(page(0));
    EXPECT_EQ(r.width, 1728u);
    EXPECT_EQ(r.bps, 1);
    // A grey gradient is dithered: the middle has ink and paper mixed, about half and half.
    const int mid = r.inkIn(800, 100, 900, 200);
    EXPECT_GT(mid, 3000);
    EXPECT_LT(mid, 7000);
}

// Whether a library whose file name holds `name` is mapped into this process.
bool mapped(const std::string& name) { return readFile("/proc/self/maps").find(name) != std::string::npos; }

TEST_F(PagesTest, WithoutThePdfRendererAPdfIsRefusedNamingItAndOtherDocumentsStillWork) {
    // A program loads the renderer only for its first PDF (checked when no earlier test in this
    // process has read one).
    const bool loadedBefore = mapped("libpoppler-glib");
    writePdf(profile.path("two.pdf"), 2);
    writeFile(profile.path("a.txt"), "text still works\n");
    struct Restore {
        ~Restore() { qordoc::setPdfLibrary(""); }
    } restore;
    qordoc::setPdfLibrary("libqor-no-such-renderer.so.0");
    int16_t pages = 7;
    std::string reason;
    EXPECT_EQ(make(profile.path("two.pdf"), &pages, 0, &reason), L1_E_UNSUPPORTED);
    EXPECT_EQ(reason, "PDF documents cannot be read: libqor-no-such-renderer.so.0 is not installed");
    EXPECT_EQ(pages, 0);
    EXPECT_FALSE(fileExists(page(0)));
    char kind[80], why[256];
    int16_t faxImage = 0;
    L1_PAGEINFO i = info();
    EXPECT_EQ(L1_checkdocument(kHost, profile.path("two.pdf").c_str(), &i, &pages, &faxImage, kind, sizeof kind, why,
                               sizeof why),
              L1_E_UNSUPPORTED);
    EXPECT_STREQ(why, "PDF documents cannot be read: libqor-no-such-renderer.so.0 is not installed");
    ASSERT_EQ(make(profile.path("a.txt"), &pages, 0, &reason), 0) << reason;
    EXPECT_EQ(pages, 1);
    // A library that is there but is no PDF renderer is named as such.
    qordoc::setPdfLibrary("libm.so.6");
    EXPECT_EQ(make(profile.path("two.pdf"), &pages, 0, &reason), L1_E_UNSUPPORTED);
    EXPECT_EQ(reason, "PDF documents cannot be read: libm.so.6 is not a usable PDF renderer "
                      "(no poppler_document_new_from_bytes)");
    if (!loadedBefore) {
        EXPECT_FALSE(mapped("libpoppler-glib"));
    }
    // The renderer the library was built against comes back and is loaded on demand.
    qordoc::setPdfLibrary("");
    ASSERT_EQ(make(profile.path("two.pdf"), &pages, 0, &reason), 0) << reason;
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(mapped("libpoppler-glib"));
    EXPECT_GT(readTiff(page(1)).inkIn(150, 60, 700, 160), 300);
}

TEST_F(PagesTest, ADocumentThatFailsPartWayLeavesNoPageFilesOfItsOwn) {
    // Pages are written as they are made. Page 3 of a grey TIFF has samples that cannot be
    // converted (floating point): the two page files made before it go again.
    const std::string bad = profile.path("bad3.tif");
    ASSERT_TRUE(writeGreyTiff(bad, 200, 100, 3, 2, 40));
    int16_t pages = 7;
    std::string reason;
    EXPECT_EQ(make(bad, &pages, 0, &reason), L1_E_NOTFAX);
    EXPECT_NE(reason.find("cannot be converted"), std::string::npos) << reason;
    EXPECT_EQ(pages, 0);
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(fileExists(page(k))) << k;

    // Page file 3 cannot be written (a directory has its name): pages 1 and 2 of this document
    // go, the page before them, of another document of the same fax, stays.
    writePdf(profile.path("three.pdf"), 3);
    writeFile(page(0), "an earlier document's page");
    ASSERT_EQ(::mkdir(page(3).c_str(), 0755), 0);
    L1_PAGEINFO i = info();
    char why[256] = {};
    EXPECT_EQ(L1_makepages(kHost, profile.path("three.pdf").c_str(), base().c_str(), 1, &i, &pages, why, sizeof why),
              L1_E_WRITE);
    EXPECT_STREQ(why, "a page file cannot be written");
    EXPECT_EQ(readFile(page(0)), "an earlier document's page");
    EXPECT_FALSE(fileExists(page(1)));
    EXPECT_FALSE(fileExists(page(2)));
    ::rmdir(page(3).c_str());
    // Once the name is free the same call makes pages 2 to 4, numbered on from the first.
    ASSERT_EQ(L1_makepages(kHost, profile.path("three.pdf").c_str(), base().c_str(), 1, &i, &pages, why, sizeof why), 0)
        << why;
    EXPECT_EQ(pages, 3);
    const Read last = readTiff(page(3));
    EXPECT_EQ(last.page, 3);
    EXPECT_EQ(last.pages, 4);
    EXPECT_GT(last.inkIn(150, 60, 700, 160), 300);
}

// The raw strip of page `page` of a TIFF file (the coded bytes as stored).
std::string rawStrip(const std::string& path, int page = 0) {
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (!t) return "";
    std::string out;
    if (TIFFSetDirectory(t, static_cast<tdir_t>(page)) == 1 && TIFFNumberOfStrips(t) == 1) {
        uint64_t* counts = nullptr;
        TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
        out.resize(counts ? counts[0] : 0);
        if (TIFFReadRawStrip(t, 0, out.data(), static_cast<tmsize_t>(out.size())) != static_cast<tmsize_t>(out.size()))
            out.clear();
    }
    TIFFClose(t);
    return out;
}

// A page coded by libtiff's own Group 3 encoder with the tags of a page file (1-D, EOLs padded).
std::string libtiffStrip(const qordoc::Page& p, const std::string& path) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(p.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(p.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(GROUP3OPT_FILLBITS));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(p.height));
    for (int y = 0; y < p.height; ++y) TIFFWriteScanline(t, const_cast<uint8_t*>(p.row(y)), static_cast<uint32_t>(y), 0);
    TIFFClose(t);
    return rawStrip(path);
}

TEST_F(PagesTest, OneDimensionalPageFilesHoldTheSameCodeAsLibtiffMakes) {
    // Pages of every kind of run: a rendered text page, all paper, all ink, noise, runs longer
    // than the longest makeup code (2560), rows starting and ending in ink, odd widths.
    std::vector<qordoc::Page> pages;
    writePdf(profile.path("one.pdf"), 1);
    qordoc::Format fine;
    fine.fine = true;
    ASSERT_EQ(qordoc::render(readFile(profile.path("one.pdf")), fine, &pages, nullptr), 0);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int w : {1728, 2048, 1, 9, 64, 65, 2700, 5300}) {
        for (int kind = 0; kind < 4; ++kind) {
            qordoc::Page p;
            p.resize(w, 24);
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool ink = kind == 1 || (kind == 2 && (next() >> 16) % 3 == 0) ||
                                     (kind == 3 && (x < y || x >= w - y || (x > 70 && x < 2690 && y % 2)));
                    if (ink) p.set(x, y);
                }
            pages.push_back(p);
        }
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string ours = profile.path("ours.tif"), theirs = profile.path("theirs.tif");
        ASSERT_EQ(qordoc::writeFax(ours, pages[i], false, 0, 1), 0);
        const std::string strip = rawStrip(ours);
        ASSERT_FALSE(strip.empty()) << i;
        EXPECT_EQ(strip, libtiffStrip(pages[i], theirs)) << "page " << i << ", " << pages[i].width << " wide";
        // And it decodes to the page.
        std::vector<qordoc::Page> back;
        ASSERT_EQ(qordoc::readFax(ours, &back), 0);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].bits, pages[i].bits) << i;
    }
    // A multi-page file codes each page the same way.
    ASSERT_EQ(qordoc::writeFax(profile.path("all.tif"), std::vector<qordoc::Page>(pages.begin(), pages.begin() + 3), false), 0);
    EXPECT_EQ(rawStrip(profile.path("all.tif"), 2), libtiffStrip(pages[2], profile.path("theirs.tif")));
}

TEST_F(PagesTest, PdfShapesAreThresholdedWherePopplerDrawsThemOnEveryPageInOrder) {
    // Boxes of black, dark grey and light grey at odd places on three pages (page p's boxes
    // moved down by p inches): dark ones are ink to the pixel, light ones paper, in page order.
    const std::string path = profile.path("boxes.pdf");
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 595.0, 842.0);
    cairo_t* cr = cairo_create(surface);
    struct Box {
        double x, y, w, h, grey;
        bool ink;
    };
    const Box boxes[] = {{37.3, 50, 3.1, 40, 0, true},   {100.7, 50, 61.9, 20, 0, true},  {200.2, 50, 7.4, 7.4, 0.3, true},
                         {300.9, 50, 90, 30, 0.8, false}, {420.4, 50, 33.3, 30, 0.45, true}, {560.1, 50, 30, 15, 0, true}};
    for (int p = 0; p < 3; ++p) {
        for (const Box& b : boxes) {
            cairo_set_source_rgb(cr, b.grey, b.grey, b.grey);
            cairo_rectangle(cr, b.x, b.y + 72 * p, b.w, b.h);
            cairo_fill(cr);
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    int16_t pages = 0;
    std::string reason;
    ASSERT_EQ(make(path, &pages, 1, &reason), 0) << reason;
    ASSERT_EQ(pages, 3);
    // The page is fitted to the paper: the same scale across and down (the height fills it).
    const double k = 2292.0 / 842.0, across = k * 204.0 / 196.0;
    const int left = static_cast<int>((1728 - std::lround(595.0 * across)) / 2);
    for (int p = 0; p < 3; ++p) {
        const Read r = readTiff(page(p));
        ASSERT_EQ(r.height, 2292u);
        int inkTotal = 0;
        for (const Box& b : boxes) {
            const int x0 = left + static_cast<int>(std::ceil(b.x * across)), x1 = left + static_cast<int>((b.x + b.w) * across);
            const int y0 = static_cast<int>(std::ceil((b.y + 72 * p) * k)), y1 = static_cast<int>((b.y + 72 * p + b.h) * k);
            const int inside = r.inkIn(x0 + 1, y0 + 1, x1 - 1, y1 - 1);
            const int area = (x1 - x0 - 2) * (y1 - y0 - 2);
            EXPECT_EQ(inside, b.ink ? area : 0) << "page " << p + 1 << ", box at " << b.x;
            // Nothing spills beyond the box.
            EXPECT_EQ(r.inkIn(x0 - 3, y0 - 3, x1 + 3, y1 + 3), r.inkIn(x0 - 1, y0 - 1, x1 + 1, y1 + 1)) << b.x;
            inkTotal += r.inkIn(x0 - 3, y0 - 3, x1 + 3, y1 + 3);
        }
        EXPECT_EQ(r.inkIn(0, 0, 1728, 2292), inkTotal) << "page " << p + 1;  // no ink elsewhere
    }
}

TEST_F(PagesTest, AFaxPageTiffIsTakenAsItIsAndOtherTiffsSayWhatIsWrong) {
    ASSERT_TRUE(writeTiff(profile.path("fax.tif"), 1728, COMPRESSION_CCITTFAX4, 2));
    char kind[80], reason[256];
    int16_t pages = 0, faxImage = 0;
    L1_PAGEINFO i = info();
    ASSERT_EQ(L1_checkdocument(kHost, profile.path("fax.tif").c_str(), &i, &pages, &faxImage, kind, sizeof kind, reason,
                               sizeof reason), 0);
    EXPECT_EQ(pages, 2);
    EXPECT_EQ(faxImage, 1);
    // An 8-bit grey TIFF of an odd size is converted, but a TIFF libtiff cannot decode says why.
    const std::string odd = profile.path("odd.tif");
    ASSERT_TRUE(writeGreyTiff(odd, 640, 4, 1, 0, 0));
    EXPECT_EQ(L1_checkdocument(kHost, odd.c_str(), &i, &pages, &faxImage, kind, sizeof kind, reason, sizeof reason),
              L1_E_NOTFAX);
    const std::string why = reason;
    EXPECT_NE(why.find("640 pixels wide"), std::string::npos) << why;
    EXPECT_NE(why.find("LZW compression"), std::string::npos) << why;
    EXPECT_NE(why.find("no resolution"), std::string::npos) << why;
}

TEST_F(PagesTest, UnsupportedEmptyDamagedAndTooLongDocumentsAreRefusedWithTheirKind) {
    struct Case {
        std::string name, bytes;
        int16_t status;
        const char* says;
    } cases[] = {
        {"ls", readFile("/bin/ls"), L1_E_UNSUPPORTED, "ELF executable"},
        {"empty", "", L1_E_EMPTY, "empty file"},
        {"bad.pdf", "%PDF-1.4\n1 0 obj garbage\n", L1_E_DAMAGED, "PDF"},
        {"cut.png", readFile(profile.path("nothing")) + "\x89PNG\r\n\x1a\n" + std::string(8, '\0') + "IHDR", L1_E_DAMAGED,
         "PNG"},
        {"bad.jpg", "\xFF\xD8\xFF\xE0 not really", L1_E_DAMAGED, "JPEG"},
        {"zip", std::string("PK\x03\x04", 4) + std::string(40, '\0'), L1_E_UNSUPPORTED, "ZIP"},
    };
    for (const Case& c : cases) {
        writeFile(profile.path(c.name), c.bytes);
        int16_t pages = 7;
        std::string reason;
        EXPECT_EQ(make(profile.path(c.name), &pages, 0, &reason), c.status) << c.name;
        EXPECT_EQ(pages, 0) << c.name;
        EXPECT_NE(reason.find(c.says), std::string::npos) << c.name << ": " << reason;
        EXPECT_FALSE(fileExists(page(0))) << c.name;
    }
    put("PAGES", "Limit", "3");
    std::string lines;
    for (int i = 0; i < 66 * 3 + 1; ++i) lines += "x\n";
    writeFile(profile.path("long.txt"), lines);
    int16_t pages = 0;
    std::string reason;
    EXPECT_EQ(make(profile.path("long.txt"), &pages, 0, &reason), L1_E_TOOMANYPAGES);
    EXPECT_NE(reason.find("4 pages, more than the page limit of 3"), std::string::npos) << reason;
    EXPECT_FALSE(fileExists(page(0)));
}

TEST_F(PagesTest, PrintingATwoPageFaxGivesATwoPagePdfOfThePaperSize) {
    writeFile(profile.path("two.txt"), "first\fsecond\n");
    int16_t pages = 0;
    ASSERT_EQ(make(profile.path("two.txt"), &pages), 0);
    ASSERT_EQ(FN_printfax(kHost, page(0).c_str(), pages, 0), 0);
    char pdf[512];
    FN_lastprinted(pdf, sizeof pdf);
    FILE* p = ::popen(("pdfinfo " + shellQuote(pdf)).c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
    EXPECT_NE(out.find("Pages:           2"), std::string::npos) << out;
    // 1728 pixels at 204 dpi by 1146 rows at 98 lines an inch: 609.88 x 841.96 points (A4).
    EXPECT_NE(out.find("Page size:       609.882 x 841.959 pts"), std::string::npos) << out;
    // A missing page file is an error, not an empty print.
    EXPECT_NE(FN_printfax(kHost, page(0).c_str(), 3, 0), 0);
}

TEST_F(PagesTest, SavingMakesOneMultiPageFaxOrAPdfAndMergingAppends) {
    writeFile(profile.path("two.txt"), "first\fsecond\n");
    int16_t pages = 0;
    ASSERT_EQ(make(profile.path("two.txt"), &pages, 1), 0);
    const std::string p0 = page(0), p1 = page(1);
    const char* names[] = {p0.c_str(), p1.c_str()};
    ASSERT_EQ(FN_savepagesas(kHost, names, 2, profile.path("all.tif").c_str()), 0);
    const Read all = readTiff(profile.path("all.tif"));
    EXPECT_EQ(all.directories, 2);
    EXPECT_EQ(all.pages, 2);
    EXPECT_EQ(all.compression, COMPRESSION_CCITTFAX3);
    ASSERT_EQ(FN_savepagesas(kHost, names, 2, profile.path("all.pdf").c_str()), 0);
    EXPECT_EQ(readFile(profile.path("all.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(FN_savepagesas(kHost, names, 2, profile.path("all.doc").c_str()), FN_E_SAVETYPE);
    // Through the dialog: the chosen file exists, the user says "choose another", then cancels.
    profile.ui().answerString(profile.path("all.tif"));
    profile.ui().answer(IDNO);
    char array[2 * 81] = {};
    UL_strcopy(array, 81, p0.c_str());
    UL_strcopy(array + 81, 81, p1.c_str());
    EXPECT_NE(FN_savepages(kHost, nullptr, array, 2, "", "", 2), 0);
    // Merging at normal resolution halves the rows of fine pages.
    ASSERT_EQ(L1_mergefax(kHost, p0.c_str(), profile.path("merged.tif").c_str(), 256), 0);
    ASSERT_EQ(L1_mergefax(kHost, p1.c_str(), profile.path("merged.tif").c_str(), 0), 0);
    const Read merged = readTiff(profile.path("merged.tif"));
    EXPECT_EQ(merged.directories, 2);
    EXPECT_EQ(merged.height, 1146u);
}

TEST_F(PagesTest, TheSendFlowSpoolsPageFilesAndHoldsEachOne) {
    writeFile(profile.path("a.txt"), "one\fthree pages\fend\n");
    writePdf(profile.path("b.pdf"), 2);
    ASSERT_TRUE(writeTiff(profile.path("fax.tif"), 1728));
    ASSERT_EQ(FN_adddocument(kHost, profile.path("a.txt").c_str(), 0, 0), 0);
    ASSERT_EQ(FN_adddocument(kHost, profile.path("b.pdf").c_str(), 0, 0), 0);
    ASSERT_EQ(FN_adddocument(kHost, profile.path("fax.tif").c_str(), 0, 0), 0);
    SendOptions o = options();
    const char* numbers[] = {"555-0100", "555-0101"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 2, &o), 0);
    ASSERT_EQ(queue().size(), 2u);
    const std::string control = controlFile(queue()[0]);
    // 3 text pages + 2 PDF pages + the fax image as it is: six documents, each held twice.
    const auto held = delList();
    ASSERT_EQ(held.size(), 6u) << control;
    int pageFiles = 0;
    for (const DEL_RECORD& d : held) {
        EXPECT_EQ(d.count, 2);
        char path[80];
        UL_strcopy(path, d.path);
        UL_fullpath(0, path, sizeof path);
        const Read r = readTiff(path);
        EXPECT_EQ(r.width, 1728u) << path;
        pageFiles += r.software == "QOR High Level Fax Library";
    }
    EXPECT_EQ(pageFiles, 5);
}

TEST_F(PagesTest, ADocumentThatCannotBeFaxedQueuesNothing) {
    writeFile(profile.path("bad.pdf"), "%PDF-1.5 damaged");
    const CommandResult r =
        runQorfax(QORFAX_BINARY, profile.root(), "send --to 555-0100 " + shellQuote(profile.path("bad.pdf")));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("cannot be faxed: a PDF document that cannot be read"), std::string::npos) << r.err;
    const CommandResult ls = runQorfax(QORFAX_BINARY, profile.root(), "send --to 555-0100 /bin/ls");
    EXPECT_EQ(ls.exit, 1);
    EXPECT_NE(ls.err.find("a program (ELF executable)"), std::string::npos) << ls.err;
    writeFile(profile.path("empty.txt"), "");
    const CommandResult empty =
        runQorfax(QORFAX_BINARY, profile.root(), "send --to 555-0100 " + shellQuote(profile.path("empty.txt")));
    EXPECT_EQ(empty.exit, 1);
    EXPECT_NE(empty.err.find("an empty file"), std::string::npos) << empty.err;
    EXPECT_TRUE(queue().empty());
}

TEST_F(PagesTest, ManualSendNumbersThePagesOfEveryDocumentInOneSet) {
    char name[80] = "x";
    int16_t count = 5;
    ASSERT_EQ(qorsf::SF_manualsend(kHost, name, &count, 1), 0);  // an empty list: message 2050
    EXPECT_EQ(count, 0);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    writeFile(profile.path("a.txt"), "one\ftwo\n");
    writePng(profile.path("p.png"), 100, 100);
    ASSERT_EQ(FN_adddocument(kHost, profile.path("a.txt").c_str(), 0, 0), 0);
    ASSERT_EQ(FN_adddocument(kHost, profile.path("p.png").c_str(), 0, 0), 0);
    ASSERT_EQ(FN_selectdoc(kHost, 2), 0);
    ASSERT_EQ(qorsf::SF_manualsend(kHost, name, &count, 1), 0);
    EXPECT_EQ(count, 3);
    const std::string last = name;
    ASSERT_EQ(last.substr(last.size() - 4), ".003");  // the output name of the last document
    for (int k = 0; k < 3; ++k) EXPECT_EQ(readTiff(UX_pagefilename(last, k)).width, 1728u);
    int32_t index = 0;
    FN_docinfo(kHost, 3, &index);
    EXPECT_EQ(index, 2);  // the list's current document is kept
    EXPECT_EQ(UX_progresswindow(), nullptr);
    EXPECT_TRUE(queue().empty());
    // Not confirmed: 13000, and the page files of this call go again.
    const std::size_t spooled = spoolFiles();
    profile.ui().answer(IDYES);
    ASSERT_EQ(qorsf::SF_manualsend(kHost, name, &count, 0), SF_CANCELLED);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(spoolFiles(), spooled);
    // Manual receive posts 28644 to the product window 4096.
    HWND product = qorwin::createWindow("product", nullptr);
    UL_registerwindow(kHost, 4096, product);
    EXPECT_EQ(qorsf::SF_manualrecv(kHost), 0);
}

TEST_F(PagesTest, CancelInTheProgressWindowStopsAndTakesThePagesAway) {
    writeFile(profile.path("a.txt"), "one\ftwo\n");
    writeFile(profile.path("b.txt"), "three\n");
    ASSERT_EQ(FN_adddocument(kHost, profile.path("a.txt").c_str(), 0, 0), 0);
    ASSERT_EQ(FN_adddocument(kHost, profile.path("b.txt").c_str(), 0, 0), 0);
    // The user presses Cancel while the first document is being made: the window shows its name.
    std::string shownName;
    qorul::setYieldHook([&] {
        HWND w = UX_progresswindow();
        if (!w) return;
        char text[256] = {};
        GetDlgItemTextA(w, 102, text, sizeof text);
        shownName = text;
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    const std::size_t spooled = spoolFiles();
    char name[80] = {};
    int16_t count = 9;
    EXPECT_EQ(qorsf::SF_manualsend(kHost, name, &count, 1), SF_CANCELLED);
    qorul::setYieldHook(nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(shownName, profile.path("a.txt"));
    EXPECT_EQ(spoolFiles(), spooled);  // the two pages made are gone
    EXPECT_EQ(UX_progresswindow(), nullptr);
}

TEST_F(PagesTest, QorfaxPagesMakesShowsAndSavesPages) {
    writeFile(profile.path("doc.txt"), "Hello\fWorld\n");
    const std::string out = profile.path("out/doc");
    CommandResult r = runQorfax(QORFAX_BINARY, profile.root(),
                                "pages --normal --out " + shellQuote(out) + " " + shellQuote(profile.path("doc.txt")));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, out + ".001\n" + out + ".002\n2 pages\n");
    r = runQorfax(QORFAX_BINARY, profile.root(),
                  "pages show " + shellQuote(out + ".001") + " --png " + shellQuote(profile.path("p.png")));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("1728 x 1146 pixels, 204 x 98 dpi (normal resolution)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find_first_of("#%@*+"), std::string::npos) << r.out;  // ink in the thumbnail
    EXPECT_EQ(readFile(profile.path("p.png")).substr(1, 3), "PNG");
    r = runQorfax(QORFAX_BINARY, profile.root(),
                  "pages save " + shellQuote(out + ".001") + " " + shellQuote(out + ".002") + " --out " +
                      shellQuote(profile.path("both.tif")));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(readTiff(profile.path("both.tif")).directories, 2);
    r = runQorfax(QORFAX_BINARY, profile.root(),
                  "pages save " + shellQuote(out + ".001") + " --out " + shellQuote(profile.path("both.tif")));
    EXPECT_EQ(r.exit, 1);  // exists, and --no is the default answer
    r = runQorfax(QORFAX_BINARY, profile.root(), "pages /bin/ls");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("/bin/ls: cannot be faxed: a program (ELF executable)"), std::string::npos) << r.err;
    r = runQorfax(QORFAX_BINARY, profile.root(), "manual send " + shellQuote(profile.path("doc.txt")));
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("2 pages"), std::string::npos) << r.out;
}

TEST_F(PagesTest, TheViewerShowsAFaxAndDialogViewersDrawAThumbnail) {
    writeFile(profile.path("a.txt"), std::string(30, '#') + "\n");
    int16_t pages = 0;
    ASSERT_EQ(make(profile.path("a.txt"), &pages), 0);
    ASSERT_EQ(L1_viewfax(kHost, nullptr, page(0).c_str(), 1, "job.001", 0, 0, 800, 600), 0);
    const auto view = L1_thumbnail(page(0).c_str(), 40, 20);
    ASSERT_EQ(view.size(), 20u);
    EXPECT_NE(view[0].find_first_not_of(' '), std::string::npos);  // the line of #'s at the top
    for (std::size_t r = 2; r < view.size(); ++r) EXPECT_EQ(view[r], "") << r;
    EXPECT_NE(L1_viewfax(kHost, nullptr, profile.path("none.001").c_str(), 1, "", 0, 0, 800, 600), 0);
}

}  // namespace
}  // namespace qortest
