// QORDOC: documents a user faxes, read by their content and made into fax page images; the
// fax page file format (single-page TIFF Class F) and multi-page fax files.
//
// A page image is bilevel, 1 = ink, rows of whole bytes with the leftmost pixel in the most
// significant bit. A fax page is 1728 pixels across at 204 dpi (2048 only when a file read
// has it), 98 (normal) or 196 (fine) rows an inch, and as long as the paper.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qordoc {

// Statuses (the language module holds their texts under the same numbers).
enum : int16_t {
    E_UNSUPPORTED = 31111,  // a kind of file that cannot be faxed
    E_DAMAGED = 31112,      // the document cannot be read: damaged or cut short
    E_TOOMANYPAGES = 31113, // more pages than the page limit
    E_EMPTY = 31114,        // an empty file
    E_NOTFAX = 31115,       // a TIFF that is not a fax page and cannot be converted
    E_WRITE = 31116,        // a page file cannot be written
    E_READ = 31117,         // a file cannot be read
    E_TOOLARGE = 31118,     // an image or file beyond the reader's limits
};

constexpr int kFaxWidth = 1728;
constexpr int kXdpi = 204;
constexpr int kNormalDpi = 98;
constexpr int kFineDpi = 196;
constexpr int kDefaultPageLimit = 100;

struct Page {
    int width = 0, height = 0;
    int xdpi = kXdpi, ydpi = kNormalDpi;
    std::size_t stride = 0;      // bytes a row
    std::vector<uint8_t> bits;   // height rows of stride bytes

    void resize(int w, int h);
    bool ink(int x, int y) const {
        return (bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1;
    }
    void set(int x, int y) {
        bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 3)] |=
            static_cast<uint8_t>(0x80 >> (x & 7));
    }
    uint8_t* row(int y) { return bits.data() + static_cast<std::size_t>(y) * stride; }
    const uint8_t* row(int y) const { return bits.data() + static_cast<std::size_t>(y) * stride; }
    // Pixels of ink in a rectangle (clipped to the page).
    std::size_t inkIn(int x0, int y0, int x1, int y1) const;
};

// How pages are made: resolution, paper, coding of the page files, page limit.
struct Format {
    bool fine = false;
    int paper = 0;        // 0 A4, 1 Letter
    bool twoD = false;    // G3 2-D coding of the page files (1-D otherwise)
    int pageLimit = kDefaultPageLimit;
    int ydpi() const { return fine ? kFineDpi : kNormalDpi; }
    // Paper length in rows at this resolution.
    int rows() const;
};
// The paper length in inches.
double paperInches(int paper);

enum class Kind { Empty, Text, Tiff, Pdf, Png, Jpeg, Unknown };

// What a document is, from its first bytes (and, for text, all of them).
struct Sniffed {
    Kind kind = Kind::Unknown;
    bool utf8 = false;   // text: valid UTF-8 beyond ASCII
    std::string what;    // a name for the user: "a PNG image", "a program (ELF executable)"
};
Sniffed sniff(const std::string& bytes);

// A document read whole (at most kMaxDocumentBytes).
constexpr std::size_t kMaxDocumentBytes = 256u << 20;
int16_t readFile(const std::string& path, std::string* bytes);

// Facts about a document: its kind, page count and whether it is a fax image already.
struct Info {
    Sniffed type;
    int pages = 0;
    bool faxImage = false;   // a TIFF whose every page is a fax page (sent as it is)
    std::string reason;      // why it cannot be faxed (status nonzero)
};
// Checks a document without rendering it: kind, pages (text pages are laid out), TIFF tags.
int16_t inspect(const std::string& bytes, const Format& format, Info* info);

// Receives the pages of a document as they are made, in order: `index` from 0 of `total`. The
// page is the renderer's, valid during the call only (its memory serves the next page). A
// nonzero status stops the rendering and is what render returns.
using PageSink = std::function<int16_t(const Page& page, int index, int total)>;

// Makes fax pages of a document by its content, each handed to `sink` as it is made: a long
// document needs the memory of one page, not of all. `reason` tells the user what is wrong when
// the status is not 0; a document refused as a whole (its kind, its page count over the page
// limit of `format`, 0 = none) is refused before any page is handed on.
int16_t render(const std::string& bytes, const Format& format, const PageSink& sink, std::string* reason);
// The same, every page kept: `pages` is empty when the status is not 0.
int16_t render(const std::string& bytes, const Format& format, std::vector<Page>* pages, std::string* reason);

// PDF documents are rendered by poppler's GLib interface, loaded when the first PDF is read (a
// program that reads none does not load it). When it cannot be loaded a PDF is refused
// (E_UNSUPPORTED) with a reason naming the library. Names another library to load in its place
// (a test of a system without it; a packaging with another name); empty = the one built against.
void setPdfLibrary(const std::string& name);

// ---- Text
// Lays a text out in pages of `columns` x `lines` (tabs every 8 columns, long lines wrapped, a
// form feed starts a page). The text is UTF-8 when it is valid UTF-8, else Windows-1252.
std::vector<std::vector<std::u32string>> layoutText(const std::string& bytes, int columns, int lines);
// Renders laid-out text: one page image each. fontPoints 0 = the size that fits 80 columns
// on the fax width.
std::vector<Page> renderText(const std::vector<std::vector<std::u32string>>& pages, const Format& format,
                             int columns = 80, int lines = 66);
// The same, each page handed to the sink as it is drawn (one page image serves them all); the
// sink's failure, or E_TOOLARGE when no page image can be made, ends it.
int16_t drawText(const std::vector<std::vector<std::u32string>>& pages, const Format& format, int columns, int lines,
                 const PageSink& sink);

// ---- Images
// A grey image (0 black .. 255 white) made bilevel: thresholded when it is mostly black and
// white, dithered (Floyd-Steinberg) when it holds grey tones.
struct Grey {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};
bool needsDither(const Grey& g);
// Scales a grey image to fit `maxw` x `maxh` (aspect kept in physical units: source dpi sx, sy,
// target dpi tx, ty; sx == 0 means fit freely) and places it at the top centre of a fax page.
Page faxPageOf(const Grey& g, double sxdpi, double sydpi, const Format& format);

// ---- Fax files
// Writes pages as one TIFF Class F file (a page file when pages holds one page), through a
// temporary file and a rename. firstNumber and total fill the PageNumber tags (total 0 = pages'
// count).
int16_t writeFax(const std::string& path, std::span<const Page> pages, bool twoD, int firstNumber = 0, int total = 0);
int16_t writeFax(const std::string& path, const std::vector<Page>& pages, bool twoD, int firstNumber = 0,
                 int total = 0);
// A page file of one page (PageNumber: number of total).
int16_t writeFax(const std::string& path, const Page& page, bool twoD, int number = 0, int total = 0);
// Reads the pages of a fax file (bilevel TIFF of any compression libtiff decodes).
int16_t readFax(const std::string& path, std::vector<Page>* pages, std::string* reason = nullptr);
int16_t readFaxBytes(const std::string& bytes, std::vector<Page>* pages, std::string* reason = nullptr,
                     int limit = 0);

// ---- Output for people
// A picture of a page in characters (cols x rows), darker characters for more ink.
std::vector<std::string> thumbnail(const Page& page, int cols, int rows);
// A PNG of a page, rows doubled at normal resolution so that it has its true proportions.
int16_t writePng(const std::string& path, const Page& page);
// A PDF of pages, each at its true size.
int16_t writePdf(int fd, const std::vector<Page>& pages);

}  // namespace qordoc
