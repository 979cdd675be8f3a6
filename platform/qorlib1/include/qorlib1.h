// QORLIB1: the fax engine lock, page files and viewer.
#pragma once

#include <cstdint>

enum : int16_t {
    L1_E_LOCKFILE = 31101,  // the engine lock file cannot be opened or locked
    L1_E_UNBALANCED = 31102, // a release without a matching take
    L1_E_BUSY = 31103        // another program held the lock for longer than the wait
};

// The fax engine lock: -1 takes it, +1 releases it. Takes nest within the process; the
// outermost take holds an advisory lock (flock) on "engine.lock" in the spool directory, so
// that a fax engine process, or another host, waits while this one holds it. The wait is bounded
// (30 seconds): a holder that never lets go gives L1_E_BUSY, not a program that hangs.
int16_t L1_lock(uint32_t host, int16_t delta);
// Sets the longest wait for the lock of another process, in milliseconds (tests shorten it).
void L1_setlockwait(int milliseconds);
// The nesting depth held by this process (0 = not held).
int L1_lockdepth();

// ---- Fax pages (pages.cpp). A fax of n pages is n page files made by UX_pagefile from one
// base name (page k has the extension of k + 1 in three digits: ".001" is page 0). Each page file
// is a single-page TIFF Class F (see qordoc.h for the tags).
#include <cstddef>
#include "qorwintypes.h"

enum : int16_t {
    L1_E_UNSUPPORTED = 31111,   // a kind of file that cannot be faxed (its kind is named)
    L1_E_DAMAGED = 31112,       // the document cannot be read
    L1_E_TOOMANYPAGES = 31113,  // more pages than the page limit
    L1_E_EMPTY = 31114,         // an empty file
    L1_E_NOTFAX = 31115,        // a TIFF that is not a fax page and cannot be converted
    L1_E_WRITE = 31116,         // a page file cannot be written
    L1_E_READ = 31117,          // a file cannot be read
    L1_E_TOOLARGE = 31118,      // beyond the reader's limits
    L1_E_NOPAGES = 31119,       // no page files to work on
};

// How pages are made (the work block of the page services). Every field is 16 bits.
#pragma pack(push, 1)
struct L1_PAGEINFO {
    int16_t width;      // 0: pixels across (1728)
    int16_t xdpi;       // 2: 204
    int16_t paper;      // 4: 0 A4, 1 Letter ([PRINT] Paper)
    int16_t ydpi;       // 6: 100 = normal (98 lines an inch), 200 = fine (196)
    int16_t twoD;       // 8: 1 = G3 2-D coding ([PAGES] Coding=2D), 0 = 1-D
    int16_t pageLimit;  // 10: pages a document may have ([PAGES] Limit, default 100; 0 = none)
    int16_t pages;      // 12: pages made by the last call
};
#pragma pack(pop)
static_assert(sizeof(L1_PAGEINFO) == 14, "L1_PAGEINFO is 14 bytes");

// Fills the work block from the settings: A4 or Letter, 1-D or 2-D, the page limit, and fine
// resolution when `fine` is set.
int16_t L1_initpageinfo(uint32_t host, L1_PAGEINFO* info, int16_t fine);

// A text document made into page files of `base` (pages 0..n-1); `pages` gets n. The text is
// laid out 80 columns by 66 lines. `info` may be null (the settings, normal resolution).
int16_t L1_texttofax(uint32_t host, const char* text, const char* base, L1_PAGEINFO* info, int16_t* pages,
                     int16_t flag);
// The same with a grid of `lineWidth` columns and `pageLength` lines (the report layouts').
int16_t L1_textpages(uint32_t host, const char* text, const char* name, L1_PAGEINFO* info, int16_t lineWidth,
                     int16_t pageLength, int16_t* pages);
// Any document a user faxes (by content) made into page files firstPage.. of `base`. On a
// failure no page file of this call is left, and `reason` (may be null) tells the user why.
int16_t L1_makepages(uint32_t host, const char* document, const char* base, int16_t firstPage, L1_PAGEINFO* info,
                     int16_t* pages, char* reason, std::size_t reasonSize);
// What a document is and how many pages it makes, without making them. `kind` gets a name for
// the user ("a PDF document"); `faxImage` 1 when it is fax pages as it is. The status and
// `reason` are those L1_makepages would give.
int16_t L1_checkdocument(uint32_t host, const char* document, L1_PAGEINFO* info, int16_t* pages, int16_t* faxImage,
                         char* kind, std::size_t kindSize, char* reason, std::size_t reasonSize);
// The pages of fax file `source` put into fax file `destination` (created when missing): flag
// 0 appends them as they are; 256 appends them at normal resolution (fine pages lose every
// second row), for a fax at normal resolution.
int16_t L1_mergefax(uint32_t host, const char* source, const char* destination, int16_t flag);
// Deletes page files 0..count-1 of a base name (missing ones are no error).
int16_t L1_deletepages(uint32_t host, const char* base, int16_t count);

// ---- The viewer (viewer.cpp)
// Shows a fax: a viewer window over `owner` with page 0 of `page0` (its pages follow by
// UX_pagefile), titled with the job control file's name when given. The window stays until it
// is closed (DestroyWindow, or WM_CLOSE).
int16_t L1_viewfax(uint32_t host, HWND owner, const char* page0, int16_t count, const char* jobfile, int16_t,
                   int16_t, int16_t screenWidth, int16_t screenHeight);
// A viewer window of one fax or text file, with a title, at a position and size; `viewer` (may
// be null) gets it.
int16_t L1_viewer(uint32_t host, HWND owner, const char* file, const char* title, int16_t x, int16_t y,
                  int16_t width, int16_t height, HWND* viewer);
// Makes the viewer controls of dialogs show a scaled view of their file in the text picture.
void L1_viewerinit();
// A text-art thumbnail of a fax or text file: `rows` lines of at most `cols` characters.
#include <string>
#include <vector>
std::vector<std::string> L1_thumbnail(const char* file, int cols, int rows);
// Writes a PNG of page `page` (from 0) of a fax file, at its true proportions.
int16_t L1_pagepng(uint32_t host, const char* file, int16_t page, const char* png);
// What a viewer window shows: its file (page 0 of the fax) and page count; false for a window
// that is no viewer.
bool L1_viewershows(HWND viewer, std::string* file, int* count);
// The size of a fax file: pages, and the first page's width, rows and lines an inch.
int16_t L1_faxinfo(uint32_t host, const char* file, int* pages, int* width, int* height, int* ydpi);
