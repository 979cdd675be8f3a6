// QORUX: the second utility library: memory with resizing, text and name helpers.
#pragma once

#include <cstddef>
#include <cstdint>

// As UL_allochandle: the block comes back locked and zero-filled; free it with UL_freehandle.
int16_t UX_allochandle(void** pointer, uint32_t size, uint32_t* handle);
// Resizes a block (locked or not); the content up to the smaller size is kept, new bytes are
// zero. The handle stays the same; a pointer taken before must be taken again.
int16_t UX_resizehandle(uint32_t* handle, uint32_t oldsize, uint32_t newsize);

// Copies a text without its trailing spaces (tabs stay) into dst, which holds 128 bytes
// in the library's callers; leading blanks are kept. Always terminated, cut to fit.
void UX_textcopy(char* dst, std::size_t dstsize, const char* src);
template <std::size_t N>
inline void UX_textcopy(char (&dst)[N], const char* src) { UX_textcopy(dst, N, src); }

// A new temporary file name in the spool directory (flag is passed by the callers; unused).
int16_t UX_tempname(uint32_t host, char* buf, std::size_t bufsize, int16_t flag);

// ---- Dialog helpers (the window layer). `host` is the host handle, passed on.
#include "qorwintypes.h"
// Places a dialog at the start of WM_INITDIALOG: centred over its owner (or the screen).
int16_t UX_initdialog(uint32_t host, HWND dialog);
// Paints the dialog's decoration (two picture numbers of the product, such as 20 and 22) in
// answer to WM_PAINT; returns TRUE (the message is handled).
INT_PTR UX_paintdialog(uint32_t host, HWND dialog, int16_t first, int16_t second);
// Erases the dialog's background in answer to WM_ERASEBKGND; returns TRUE (handled).
INT_PTR UX_erasebkgnd(uint32_t host, HWND dialog, WPARAM dc);
// The default handling of the product's dialogs: returns FALSE, so that the dialog manager's
// own default handling runs, except for WM_ERASEBKGND (as UX_erasebkgnd).
INT_PTR UX_defdialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// WM_ACTIVATE of a modeless window: while it is active it is registered under `number` (the
// host sends it its keyboard messages), and unregistered when it loses the activation.
int16_t UX_activate(uint32_t host, HWND window, WPARAM wParam, int16_t number);
// A modeless window is closing: it is hidden at once and the activation goes back to its owner
// (the window is destroyed by the close message it posted itself).
int16_t UX_closedialog(uint32_t host, HWND window);
// A window has finished filling itself: the wait cursor ends and the window is painted.
int16_t UX_dialogready(uint32_t host, HWND window);
// The picture numbers of the last UX_paintdialog on the dialog (0, 0 when never painted).
void UX_lastdecoration(HWND dialog, int16_t* first, int16_t* second);
// Fits a text into a column of `width` pixels as `dc` measures it: the text as it is when it fits,
// else its longest beginning that fits followed by "..."; then a tab, so that what follows starts
// at the next tab stop. `out` always ends with that tab (an empty text gives the tab alone).
typedef struct HDC__* HDC;
int16_t UX_fittext(uint32_t host, HDC dc, const char* text, int width, char* out, std::size_t outsize);

// ---- Page files (pagefile.cpp)
// Turns `name` (a page file or a base name) into the name of page file `page` (from 0): the
// name cut at its last "." with the extension of page + 1 in three digits (".001" is page 0).
// Pages 0..998; UL_E_PATHLONG when the name would pass 79 characters.
int16_t UX_pagefile(uint32_t host, char* name, std::size_t size, int16_t page);
#include <string>
// The same for callers with strings: empty when the name cannot be made.
std::string UX_pagefilename(const std::string& name, int page);

// ---- The progress window (progress.cpp): one at a time, modeless, template 2116.
enum : int16_t { UX_E_NOWINDOW = 30101 };  // the progress window cannot be made
int16_t UX_progressopen(uint32_t host, const char* title, const char* text, HWND owner);
// What 1 = the text line, 2 = the name worked on, 3 = the percentage (value).
int16_t UX_progressset(uint32_t host, int16_t what, const char* text, int16_t value);
// 90: lets posted messages and the host's yield run; 13000 when the user pressed Cancel.
// 91: closes the window.
int16_t UX_progress(uint32_t host, int16_t what);
// The open progress window (null when none), for hosts and tests that act on it.
HWND UX_progresswindow();
