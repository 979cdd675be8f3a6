// QORLIB2: the document list of the send flow, and printing.
#pragma once

#include <cstddef>
#include <cstdint>

// Resets the library's document state for SF_resetsys.
int16_t FN_resetsys(uint32_t host);

// ---- Printing (print.cpp). The print target is section [PRINT] of the settings file:
//   Target=pdf      (default) a PDF file in Folder (default: the profile's print/ folder)
//   Target=command  the document is handed to Command (split at blanks, run without a shell,
//                   the document's path as one more argument); absent Target with a Command
//                   set means command too
//   Paper=A4|Letter the paper of PDF files (default A4)
enum : int16_t {
    FN_E_PRINTCONF = 31471,   // the [PRINT] settings are not valid
    FN_E_PRINTSTART = 31472,  // the print command cannot be started
    FN_E_PRINTCMD = 31473,    // the print command failed (exit status not 0)
    FN_E_PDF = 31474,         // the PDF file cannot be written
    FN_E_PRINTREAD = 31475,   // the document cannot be read
    FN_E_SAVETYPE = 31476,    // pages are saved only as .tif, .tiff or .pdf
};
// Prints a text document (lines ending in LF or CR LF; a form feed starts a new page).
int16_t FN_printdoc(uint32_t host, const char* path, int16_t flags);
// Writes a text document as a PDF file of monospaced text; paper 0 = A4, 1 = Letter.
int16_t FN_texttopdf(uint32_t host, const char* textPath, const char* pdfPath, int16_t paper);
// Prints a fax: page files 0..count-1 of page0's base (UX_pagefile), each at its true size.
int16_t FN_printfax(uint32_t host, const char* page0, int16_t count, int16_t flags);
// Prints fax files (page files or multi-page fax files) as one fax.
int16_t FN_printpages(uint32_t host, const char* const* names, int16_t count);
// Saves page files (an array of `count` names of 81 bytes each) into a file the user chooses:
// a multi-page TIFF Class F when it ends in .tif or .tiff, a PDF when it ends in .pdf. An
// existing file is replaced only when the user says so; 13000 when the user cancels.
#include "qorwintypes.h"
int16_t FN_savepages(uint32_t host, HWND owner, const char* names, int16_t count, const char* text1,
                     const char* text2, int16_t flags);
// The same into a named file (no question): FN_E_SAVETYPE for another extension.
int16_t FN_savepagesas(uint32_t host, const char* const* files, int16_t count, const char* path);
// Where the last successful FN_printdoc of this process went: the PDF file, or the command line.
int16_t FN_lastprinted(char* buf, std::size_t size);

// ---- The document list of the send flow (shared work area number 10).
//
// The list is kept in "data/doclist.dat" of the profile, so that a later call (or another
// process of the same profile) sees the documents an earlier one added. The area gives the
// count and the current document; the FN_ services move the current document.
enum : int16_t {
    FN_E_NODOC = 31451,    // no document at that position
    FN_E_FULL = 31452,     // the list holds FN_MAXDOCS documents already
    FN_E_DAMAGED = 31453,  // the list file is damaged
};
constexpr int FN_MAXDOCS = 1000;
constexpr int16_t FN_AREA_DOCLIST = 10;

#pragma pack(push, 1)
struct FN_DOCAREA {
    int16_t count;   // documents on the list
    int16_t type;    // type of the current document: 1 fax image, 2 text
    int16_t index;   // the current document, from 1 (0 = none)
    char name[80];   // the file of the current document
};
#pragma pack(pop)

// The shared area (only number 10, the document list, lives here); the list is read from the
// profile when the area is taken. UL_E_NOAREA for any other number.
int16_t FN_getarea(uint32_t host, int16_t number, void** area);
int16_t FN_releasearea(uint32_t host, int16_t number);

int16_t FN_doccount(uint32_t host, int16_t* count);
// Makes document n (from 1) the current one; FN_E_NODOC outside 1..count.
int16_t FN_selectdoc(uint32_t host, int16_t n);
// The first and the next document: 0 = it is now the current one, nonzero = none left.
int16_t FN_firstdoc(uint32_t host);
int16_t FN_nextdoc(uint32_t host);
// A value of the current document: 1 type, 2 page count, 3 index, 4 the list's count.
int16_t FN_docinfo(uint32_t host, int16_t selector, int32_t* value);
int16_t FN_getdocname(uint32_t host, char* name, std::size_t size);
// Adds a document: a file (or the page-0 file of a page set) and its page count. Flag 1 marks
// a set of fax pages (type 1); otherwise a TIFF is a fax image (1) and any other file text (2).
int16_t FN_adddocument(uint32_t host, const char* file, int16_t pages, uint16_t flags);
// changed = 1 when the list changed since this process last asked (or last changed it).
int16_t FN_docschanged(uint32_t host, int16_t* changed);
// Options of the document list service: section [OPTIONS] of the settings file, key "Option<n>",
// 0 when absent. 1000 offers the choice of another phone book file in the phone book windows.
int16_t FN_option(uint32_t host, int16_t number, int16_t* flag);
// Empties the list (after a send).
int16_t FN_cleardocs(uint32_t host);
int16_t FN_aftersend(uint32_t host);
