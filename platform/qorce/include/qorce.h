// QORCE: cover forms. A cover form template is a small text file (docs/covers.md) that places
// the fields of the form data block, fixed texts, lines, boxes and PNG logos on an A4 or Letter
// page in millimetres. The library reads it, tells a dialog how much each field holds, and
// renders a filled form into a fax file at the fax resolution.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qorwintypes.h"

enum : int16_t {
    CE_E_SYNTAX = 31201,   // a template line that cannot be read (the form's error tells which)
    CE_E_OPEN = 31202,     // the template file cannot be read
    CE_E_NOTOPEN = 31203,  // a form block that holds no open form
    CE_E_LOGO = 31204,     // a logo file that is not a readable PNG
    CE_E_RENDER = 31205,   // the page cannot be drawn
    CE_E_TOOLARGE = 31206, // a template beyond the reader's limits
};

// The fields of a form, by number. The form data block's texts fill them.
enum : int16_t {
    CE_F_TO = 1,           // recipient name
    CE_F_COMPANY = 2,      // recipient company
    CE_F_VOICE = 3,        // recipient voice number
    CE_F_FAX = 4,          // recipient fax number
    CE_F_FROM = 5,         // sender name
    CE_F_FROMCONTACT = 6,  // sender company, voice number and e-mail (lines)
    CE_F_FROMADDRESS = 7,  // sender address
    CE_F_FROMFAX = 8,      // sender fax number
    CE_F_DATE = 9,         // date and time of the cover
    CE_F_PAGES = 10,       // number of documents sent after the cover
    CE_F_SUBJECT = 11,     // subject
    CE_F_MEMO = 12,        // memo, wrapped, may run onto a second page
    CE_F_REFERENCE = 13,   // reference
    CE_F_PAGE = 14,        // "page n of m" of the cover itself
    CE_FIELDS = 14,
};

// One entry of the field table (CE_readform). Lengths are in 1/200 inch.
#pragma pack(push, 1)
struct CE_FIELD {
    int16_t number;     // 1..14; 0 = the form does not place this field
    int16_t x, y;       // top left on the page
    int16_t width, height;
    int16_t size;       // the font's height
    int16_t size2;      // the font's weight (400 regular, 700 bold)
    int16_t maxchars;   // the longest text the field holds
    int16_t lines;      // lines the box shows
    char face[32];      // font face, empty = the form's font
};
#pragma pack(pop)

// The form data block handed to CE_fillform: fixed offsets, NUL-terminated texts.
#pragma pack(push, 1)
struct CE_FORMDATA {
    char templatepath[80];  //    0
    uint16_t documents;     //   80
    char to[80];            //   82 recipient text 1
    char fax[40];           //  162 recipient text 4
    char voice[40];         //  202 recipient text 3
    char company[240];      //  242 recipient text 2
    char from[80];          //  482 sender text A
    char fromaddress[40];   //  562 sender text C
    char fromfax[40];       //  602 configuration 4154
    char fromcontact[240];  //  642 sender text B, CR LF, 4155, CR LF, 4156
    uint16_t date[6];       //  882 year, month, day, hour, minute, second
    char subject[240];      //  894
    char memo[3200];        // 1134
    char reference[80];     // 4334
};
#pragma pack(pop)
static_assert(sizeof(CE_FORMDATA) == 4414, "the form data block is 4414 bytes");

struct CE_FORMIMPL;
// A form block: the open form and its line metrics (CE_measureform).
struct CE_FORM {
    CE_FORMIMPL* impl;
    int16_t paper;        // 0 A4, 1 Letter
    int16_t lineheight;   // of the form's font, 1/200 inch (after CE_measureform)
    int16_t charwidth;    // average character width, 1/200 inch
    int16_t fields;       // fields placed
    char error[120];      // what is wrong with a template that failed to open
};

int16_t CE_openform(uint32_t host, const char* path, CE_FORM* form);
int16_t CE_closeform(uint32_t host, CE_FORM* form);
// mode 2: the line metrics of the form's font and each field's capacity.
int16_t CE_measureform(uint32_t host, CE_FORM* form, int16_t mode);
// The field table, indexed by field number - 1 (CE_FIELDS entries).
int16_t CE_readform(uint32_t host, CE_FORM* form, CE_FIELD* table);
// Fills the template named in the block and writes the cover as one fax file at `output`
// (fine: 196 lines an inch, else 98) on the paper of the profile ([PRINT] Paper; a form laid out
// on the other paper is scaled to fit it); `pages` (may be null) gets its page count (1 or 2).
int16_t CE_fillform(uint32_t host, const char* output, const CE_FORMDATA* data, int16_t fine, int16_t* pages);
// A text document made into page files of `base` at resolution 1 (normal) or 2 (fine); the
// work block (at least sizeof(L1_PAGEINFO)) is prepared here; `pages` gets the count.
int16_t CE_rendercover(uint32_t host, const char* text, const char* base, void* work, std::size_t workSize,
                       int16_t resolution, int16_t* pages);

// For tests and the documentation: the rectangle of a field on a rendered page, in pixels
// (fine or normal rows), on the paper of the profile the form was opened for. False when the
// form does not place the field.
bool CE_fieldbox(const CE_FORM* form, int16_t number, int16_t fine, int* x0, int* y0, int* x1, int* y1);
// Parses template text without files (the fuzz target's entry); 0 or CE_E_SYNTAX/CE_E_TOOLARGE.
int16_t CE_parseform(const std::string& text, std::string* error);
