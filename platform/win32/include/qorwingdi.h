// Drawing and measuring of the window layer: device contexts over cairo image surfaces, the GDI
// calls the dialogs use, system colours and metrics, icons, and the geometry calls.
//
// Every top-level window has a canvas (a cairo image surface of its client size, made when
// something is first drawn on it). A device context of a window draws on its top-level
// window's canvas, moved to the window's client origin and clipped to its client area. Text is
// Latin-1 (the code page of the product), drawn and measured with the same cairo font, so a
// width measured is the width drawn. Fonts are realised from what CreateFontA recorded: the face
// when fontconfig knows it, else DejaVu Sans (Serif, Sans Mono for serif and fixed faces); a
// negative height is the character height in pixels, a positive one the cell height; weights
// of 600 and above are bold. A DC without a selected font uses the system font (the dialog
// base units' 16-pixel cell).
#pragma once

#include "qorwindow.h"

#ifndef QOR_WINDOW_GDI_TYPES
#define QOR_WINDOW_GDI_TYPES
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HPEN;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE;

typedef struct tagTEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICA;

typedef struct tagWNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    void* hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;
typedef WORD ATOM;
#endif

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))

// ---- System colours (GetSysColor) and background modes
enum : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_3DFACE = COLOR_BTNFACE,
    COLOR_3DSHADOW = COLOR_BTNSHADOW,
    COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT,
};
enum : int { TRANSPARENT = 1, OPAQUE = 2 };

// ---- GetDeviceCaps
enum : int { HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, LOGPIXELSX = 88, LOGPIXELSY = 90 };

// ---- More GetSystemMetrics indexes (SM_CXSCREEN, SM_CYSCREEN, SM_CYCAPTION and
// SM_DBCSENABLED are in qorwindow.h)
enum : int {
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
    SM_CXDLGFRAME = 7,
    SM_CYDLGFRAME = 8,
    SM_CYVTHUMB = 9,
    SM_CXHTHUMB = 10,
    SM_CXICON = 11,
    SM_CYICON = 12,
    SM_CYMENU = 15,
    SM_CXFULLSCREEN = 16,
    SM_CYFULLSCREEN = 17,
    SM_CYVSCROLL = 20,
    SM_CXHSCROLL = 21,
    SM_CXMIN = 28,
    SM_CYMIN = 29,
    SM_CXEDGE = 45,
    SM_CYEDGE = 46,
    SM_CXSMICON = 49,
    SM_CYSMICON = 50,
};

// ---- DrawTextA
enum : UINT {
    DT_TOP = 0x0000,
    DT_LEFT = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_BOTTOM = 0x0008,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_EXPANDTABS = 0x0040,
    DT_NOCLIP = 0x0100,
    DT_CALCRECT = 0x0400,
    DT_NOPREFIX = 0x0800,
    DT_END_ELLIPSIS = 0x8000,
};

// ---- More window messages and edit messages
enum : UINT {
    WM_CUT = 0x0300,
    WM_COPY = 0x0301,
    WM_PASTE = 0x0302,
    WM_CLEAR = 0x0303,
    EM_GETRECT = 0x00B2,
    EM_LINEINDEX = 0x00BB,
    EM_LINELENGTH = 0x00C1,
    EM_GETLINE = 0x00C4,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
    EM_LINEFROMCHAR = 0x00C9,
};
enum : UINT { SIZE_RESTORED = 0 };
enum : UINT { ODS_COMBOBOXEDIT = 0x1000 };

// ---- SetWindowPos
enum : UINT {
    SWP_NOSIZE = 0x0001,
    SWP_NOMOVE = 0x0002,
    SWP_NOZORDER = 0x0004,
    SWP_NOREDRAW = 0x0008,
    SWP_NOACTIVATE = 0x0010,
    SWP_SHOWWINDOW = 0x0040,
    SWP_HIDEWINDOW = 0x0080,
};
#define HWND_TOP ((HWND)0)

// ---- Virtual keys (WM_KEYDOWN)
enum : UINT {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
};

// ---- Device contexts. A DC of a window (GetDC, BeginPaint) lives until ReleaseDC or EndPaint;
// GetDC(nullptr) gives a screen DC that measures (and draws on a scratch surface).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // fonts and brushes; returns the previous one
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
HBRUSH CreateSolidBrush(COLORREF colour);
COLORREF GetSysColor(int index);
// A brush of a system colour: never needs deleting (DeleteObject on it does nothing).
HBRUSH GetSysColorBrush(int index);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
// y is the top of the text cell; an opaque background fills the cell behind the text.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
// Tabs go to the next of the `stops` (pixels from `origin`), or every 8 average characters
// without stops; one stop is a repeated interval. Returns the extent: width low, height high.
LONG TabbedTextOutA(HDC dc, int x, int y, LPCSTR text, int length, int count, const int* stops, int origin);
// The DT_ flags above. Returns the height of the text drawn (or measured with DT_CALCRECT,
// which sets the rectangle's right and bottom).
int DrawTextA(HDC dc, LPCSTR text, int length, RECT* rect, UINT format);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int length, SIZE* size);
int GetDeviceCaps(HDC dc, int index);

// ---- Icons: images of the language module's ICON resources (16 x 16).
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
BOOL DestroyIcon(HICON icon);

// ---- Geometry. Window rectangles are in screen pixels; a control's client area is its whole
// rectangle, a top-level window's client area starts at its window rectangle's corner.
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL OffsetRect(RECT* rect, int dx, int dy);

// ---- Window classes of a host or another module: a control of a template whose class has been
// registered gets that window procedure (DefWindowProcA gives the default handling, painting
// included). Registering a built-in class name fails.
ATOM RegisterClassA(const WNDCLASSA* cls);

#ifdef __cplusplus
#include <cstdint>
#include <string>
#include <vector>

namespace qorwin {

// A picture of a window as its user sees it: the window and its controls painted afresh on its
// canvas, each control in its standard look and owner-drawn items by their owner. ARGB pixels,
// row by row (stride = width); a top-level window gets a caption bar above its client area.
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};
// The picture of a top-level window (the client area offset by captionHeight() in y).
Image paintPicture(HWND window);
// Writes the picture as a PNG file; false when the window is missing or the file cannot be written.
bool writePicture(HWND window, const std::string& path);
int captionHeight();
// What the last drawing calls of a DC put as text, for a terminal that shows owner-drawn items by
// their owner's text: a recording DC draws nothing and keeps the texts in drawing order.
HDC recordingDC(HWND window);
std::string recordedText(HDC dc);
// The process's clipboard text (WM_COPY, WM_CUT, WM_PASTE of edits).
void setClipboardText(const std::string& text);
std::string clipboardText();

}  // namespace qorwin
#endif
