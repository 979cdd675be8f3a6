// QORUT: lists of movable items, message and file dialogs, text lines, fonts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorwintypes.h"

enum : int16_t {
    UT_E_RANGE = 31201,  // a list position outside 1..count
    UT_E_SIZE = 31202,   // an item buffer of the wrong size
};

#pragma pack(push, 1)
// The 24-byte header of a list. All zero is an empty list. Items are copies, each in a movable
// block of its own; the header holds the block of their handles.
struct UT_LIST {
    uint32_t items;     // handle of the array of item handles, 0 = none
    uint32_t count;     // number of items
    uint32_t capacity;  // room in the array
    uint32_t position;  // the item UT_listnext gives next (from 1)
    uint32_t reserved[2];
};
#pragma pack(pop)
static_assert(sizeof(UT_LIST) == 24, "a list header is 24 bytes");

// Appends a copy of the item.
int16_t UT_listadd(uint32_t host, UT_LIST* list, const void* item, uint32_t size);
// Inserts a copy of the item after item n (n from 1; 0 inserts at the front).
int16_t UT_listinsert(uint32_t host, UT_LIST* list, uint32_t n, const void* item, uint32_t size);
// Removes item n (from 1).
int16_t UT_listdelete(uint32_t host, UT_LIST* list, uint32_t n);
// Copies item n (from 1) into out (at most outsize bytes).
int16_t UT_listget(uint32_t host, const UT_LIST* list, uint32_t n, void* out, uint32_t outsize);
// Walks the list: found = 1 and the item copied, or found = 0 at the end.
int16_t UT_listfirst(uint32_t host, UT_LIST* list, void* out, uint32_t outsize, int16_t* found);
int16_t UT_listnext(uint32_t host, UT_LIST* list, void* out, uint32_t outsize, int16_t* found);
uint32_t UT_listcount(const UT_LIST* list);
// Frees every item and empties the header.
int16_t UT_listfree(uint32_t host, UT_LIST* list);

// ---- Messages and help, through the UI driver.
// A message box over `owner` with `text` and `caption`; style is of MessageBox (16 = stop icon).
// Returns the answer (IDOK, IDCANCEL, IDYES, IDNO).
int16_t UT_msgbox(uint32_t host, HWND owner, const char* text, const char* caption, uint16_t style);
// Shows the message of a status in an error box (13000 is never shown). Returns 0 when the
// window that shows it can go on, or the status itself when it cannot (out of memory, no
// language module), so that the caller ends.
int16_t UT_showerror(uint32_t host, int16_t status);
// Opens help topic `number` over `owner`.
int16_t UT_help(uint32_t host, HWND owner, int16_t number);
// An information text on the status line (no answer).
int16_t UT_statusmsg(uint32_t host, const char* text);

// Flags of UT_makefont.
enum : uint16_t { UT_FONT_UNDERLINE = 2, UT_FONT_ITALIC = 4, UT_FONT_DEFAULT = 256 };
// Makes a font: an empty face means the default face. Weight 100..900 (400 normal, 700 bold).
int16_t UT_makefont(uint32_t host, const char* face, int16_t height, int16_t width, int16_t weight,
                    uint16_t flags, HFONT* font);

// ---- Text files (opened with UL_fopenread). A line comes without its CR LF; a line longer than
// size - 1 is cut and the rest of it skipped. The result is 0 when a line was read and nonzero at
// the end of the file (or when the file cannot be read).
int16_t UT_fgetline(char* buffer, std::size_t size, uint32_t file);
int16_t UT_readline(char* buffer, std::size_t size, uint32_t file);

// Splits `line` in place into at most `most` fields at any character of `separators`, giving
// a pointer to each field (into `line`) and their number. A field enclosed in double quotes
// comes back without them, and separators inside the quotes belong to the field; a quote that
// is not followed by a separator or the end of the line is part of the field, and a field whose
// closing quote is missing runs to the end of the line. Blanks around a quoted field are
// dropped. Fields after the `most`-th are ignored. An empty line gives no field.
int16_t UT_splitfields(uint32_t host, char* line, const char* separators, int16_t most, char** fields,
                       int16_t* count);

// ---- File questions, through the UI driver.
// Asks whether the existing file `path` may be replaced: 0 = replace it, 7 = choose another
// name, any other value = cancel.
int16_t UT_askoverwrite(uint32_t host, const char* path);
// Lets the user choose a file (filter and title texts, mode as the driver's), `path` the
// starting name in and the chosen name out. 13000 when cancelled; UL_E_TOOLONG when the chosen
// name does not fit the buffer (the buffer is kept).
int16_t UT_choosefile(uint32_t host, const char* filter, const char* title, int16_t mode, char* path,
                      std::size_t pathsize);
// Lets the user edit a text (`text` the starting text and the answer) under a prompt and a title.
// 13000 when cancelled; UL_E_TOOLONG when the answer does not fit (the text is kept).
int16_t UT_askstring(uint32_t host, HWND owner, const char* prompt, char* text, std::size_t size, const char* title);
