// The banded text report writer.
//
// A caller opens a report on an output file with the name of a layout (a section of the layout
// file of the profile), writes rows of column texts and closes it. The layout gives the line
// width, the page length, the first page number, a header, a footer and a body block of
// template lines with fields, a group column and an output file of its own; the writer pages
// the rows, fills the fields and writes plain text lines ending in CR LF. Opened without a
// layout it writes comma-separated rows instead. The cover pages load a layout without an
// output file (SF_rptlayout) for its fonts and page values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/services/services.h"
#include "qorsf.h"

namespace qorsf {

// Statuses of the layout file (texts under the same numbers in the language module).
enum : int16_t {
    RPT_E_NOFILE = 20800,       // the layout file does not exist (reported with its path)
    RPT_E_NOSECTION = 20801,    // the layout section does not exist (reported with its name)
    RPT_E_WIDTH = 20811,        // line width outside 0..80
    RPT_E_LENGTH = 20812,       // page length negative
    RPT_E_HEADERLINES = 20813,  // header lines outside 0..10
    RPT_E_FOOTERLINES = 20814,  // footer lines outside 0..10
    RPT_E_FIRSTPAGE = 20815,    // first page negative
    RPT_E_BLOCKLINE = 20816,    // a block line without ")"
    RPT_E_HEADER2 = 20817,      // a second header block
    RPT_E_FOOTER2 = 20818,      // a second footer block
    RPT_E_BODY2 = 20819,        // a second body block
    RPT_E_BLOCKWORD = 20820,    // a block line naming no block
    RPT_E_LINEWIDE = 20821,     // a template line longer than the line width
    RPT_E_HEADERMORE = 20822,   // more header lines than declared
    RPT_E_FOOTERMORE = 20823,   // more footer lines than declared
    RPT_E_BODYMORE = 20824,     // more body lines than declared (also: a negative body line count)
    RPT_E_CLOSEFIRST = 20910,   // a ">" before its "<"
    RPT_E_NESTED = 20911,       // a "<" inside a field
    RPT_E_UNCLOSED = 20912,     // a field without ">"
    RPT_E_FIELDWIDE = 20913,    // a field wider than 79
    RPT_E_FIELDNAME = 20914,    // a field name that is neither a field word nor a column number
    RPT_E_RUNNING = 20915,      // the running text outside the body, or twice
};

// Value kinds of the value set: 0 the running text, 1 page, 2 date, 3 time, 7 the current group
// column value, 8 and up the columns of the row (column n at n + 7).
enum : int16_t {
    RPT_V_RUNNING = 0,
    RPT_V_PAGE = 1,
    RPT_V_DATE = 2,
    RPT_V_TIME = 3,
    RPT_V_GROUP = 7,
    RPT_V_COLUMN0 = 7,  // column n (from 1) is value RPT_V_COLUMN0 + n
};

constexpr int kRptMaxValue = 79;    // characters of one value and of one field
constexpr int kRptMaxColumn = 999;  // the highest column number a field may name

// The value set: texts indexed by kind, each at most 79 characters, in one growable buffer of
// 80-byte slots. The running text is not copied: its slot stays empty and the writer keeps a
// pointer to the caller's text for the row being written.
struct RptValues {
    std::vector<char> slots;  // count() * 80 bytes
    int16_t count() const { return static_cast<int16_t>(slots.size() / 80); }
    const char* get(int16_t kind) const { return &slots[static_cast<std::size_t>(kind) * 80]; }
};

struct RptLayoutData;  // blocks, field lists and value set of an open report (report.cpp)

// The report context, owned by the caller. All zero is a fresh context; SF_rptopen and
// SF_rptlayout fill it, SF_rptfree releases what it holds and zeroes it again (but for the
// print-afterwards flag). It holds a pointer, so it lives in ordinary memory or a locked block
// and is never written to a file.
struct RPT_CONTEXT {
    int32_t rowsBefore;    // rows before the current group
    int32_t rowsInGroup;   // rows in the current group
    uint32_t file;         // the output file (UL_ file handle), 0 = none
    RptLayoutData* data;   // template blocks, field lists and value set; null = none
    int16_t groupColumn;   // group column n stored as n + 7; 0 = none
    int16_t blankRepeats;  // a group value equal to the previous row's is left blank
    int16_t mode;          // -1 while the layout is read, 0 layout report, 1 comma-separated
    int16_t headerFields, footerFields, bodyFields;
    int16_t lineWidth;     // 1..80
    int16_t pageLength;    // lines per page
    int16_t firstPage;     // first page number
    int16_t currentPage;
    int16_t linesOnPage;
    int16_t noFill;        // pages are not filled up with blank lines before the footer
    int16_t noFormFeed;    // no form feed after a page
    int16_t bodyLines, headerLines, footerLines;
    int16_t printAfterwards;  // the layout names no output file: the caller prints the output
    char outputName[80];      // the caller's output path
    char layoutOutput[80];    // the layout's own output file, empty = none
    HFONT fonts[3];           // screen, 200 dots per inch, 100 dots per inch; null = none
};

// Opens a report on `output` with the layout `layout` (null = comma-separated rows, "" = the
// DEFAULT section). 13002 when the context already has an open output.
int16_t SF_rptopen(uint32_t host, const char* output, const char* layout, RPT_CONTEXT* ctx);
// Loads a layout and makes the value set, without an output file.
int16_t SF_rptlayout(uint32_t host, const char* layout, RPT_CONTEXT* ctx);
// Writes one row: the running text (or null) with its line count, and `count` column texts
// (column 1 is columns[0]). 13002 when no output is open.
int16_t SF_rptline(uint32_t host, RPT_CONTEXT* ctx, const char* running, int16_t runningLines, int16_t count,
                   const char* const* columns);
// Ends the last page, closes the output, copies it to the layout's own output file when it
// names one, and releases the context.
int16_t SF_rptclose(uint32_t host, RPT_CONTEXT* ctx);
// Releases the blocks, field lists, value set and fonts, closes an output left open, and
// zeroes the context, all but its print-afterwards flag: that stays readable after
// SF_rptclose until the next SF_rptopen or SF_rptlayout.
void SF_rptfree(uint32_t host, RPT_CONTEXT* ctx);
// The widest field of column `column` (from 1) in any block of the loaded layout, in characters
// (0 when no field names the column).
int16_t SF_rptcolumnwidth(const RPT_CONTEXT* ctx, int16_t column);
// Sets value `kind` to the text, cut to 79 characters; 13002 for a kind out of range.
int16_t UT_updprt(uint32_t host, RptValues* values, const char* text, int16_t kind);

// ---- The layout file of the profile.
// Its path (UL_getpath 16, then 47).
int16_t rpt_layoutpath(uint32_t host, char* path, std::size_t size);
// The default layout file: the sections the library uses (the name and group listings, the text
// cover, the queue report and DEFAULT), written with the layout words and names of the language
// module in use.
int16_t rpt_defaultlayouts(uint32_t host, std::string* text);
// Writes the default layout file when the profile has none (never replaces a file).
int16_t rpt_installdefault(uint32_t host);
// The section names of the layout file, in file order.
int16_t rpt_sections(uint32_t host, std::vector<std::string>* names);

// Forgets the module state (the word table); tests.
void rpt_reset();

}  // namespace qorsf
