// The window layer of the Win32 subset: a headless window manager with Win32 behaviour.
//
// Windows are records in a table; an HWND is an opaque value that is never null and never given
// out twice while the process lives, so a stale handle is recognised as no window. Messages go
// synchronously to the window's procedure (SendMessageA) or into one queue (PostMessageA).
// Dialogs are made from the templates of the language module (qorlang.rc) and keep the Win32
// signatures, message numbers and notification order, so that a dialog procedure reads like
// Win32 code. A modal loop pumps posted messages, fires due timers from the clock of QORUL and,
// when idle, asks the installed UI driver for the next user action (qorui::Driver::userAction).
//
// Everything runs on one thread: the host's user-interface thread.
#pragma once

#include "qorwin32.h"
#include "qorwintypes.h"

#ifndef QOR_WINDOW_TYPES
#define QOR_WINDOW_TYPES
typedef intptr_t LONG_PTR;
typedef struct HDC__* HDC;
typedef struct HICON__* HICON;
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
} PAINTSTRUCT;

// Owner-drawn list items (list boxes and combo boxes with an owner-drawn style).
typedef struct tagMEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    UINT_PTR itemData;
} MEASUREITEMSTRUCT;

typedef struct tagDRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    UINT_PTR itemData;
} DRAWITEMSTRUCT;
#endif

#define MAKEINTRESOURCEA(i) ((LPSTR)((UINT_PTR)((WORD)(i))))
#define IS_INTRESOURCE(p) ((((UINT_PTR)(p)) >> 16) == 0)
#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xFFFF))
#define MAKELONG(a, b) ((LONG)(((WORD)(((UINT_PTR)(a)) & 0xFFFF)) | ((DWORD)((WORD)(((UINT_PTR)(b)) & 0xFFFF))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))

// ---- Window messages (Win32 values)
enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_ENABLE = 0x000A,
    WM_SETTEXT = 0x000C,
    WM_GETTEXT = 0x000D,
    WM_GETTEXTLENGTH = 0x000E,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_ERASEBKGND = 0x0014,
    WM_SHOWWINDOW = 0x0018,
    WM_CANCELMODE = 0x001F,
    WM_NEXTDLGCTL = 0x0028,
    WM_DRAWITEM = 0x002B,
    WM_MEASUREITEM = 0x002C,
    WM_SETFONT = 0x0030,
    WM_GETFONT = 0x0031,
    WM_NCDESTROY = 0x0082,
    WM_GETDLGCODE = 0x0087,
    WM_KEYDOWN = 0x0100,
    WM_CHAR = 0x0102,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_TIMER = 0x0113,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_USER = 0x0400,
    DM_GETDEFID = WM_USER + 0,
    DM_SETDEFID = WM_USER + 1,
};
enum : WORD { DC_HASDEFID = 0x534B };
enum : WORD { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };

// ---- Window styles
enum : DWORD {
    WS_OVERLAPPED = 0x00000000,
    WS_TABSTOP = 0x00010000,
    WS_GROUP = 0x00020000,
    WS_THICKFRAME = 0x00040000,
    WS_SYSMENU = 0x00080000,
    WS_HSCROLL = 0x00100000,
    WS_VSCROLL = 0x00200000,
    WS_DLGFRAME = 0x00400000,
    WS_BORDER = 0x00800000,
    WS_CAPTION = 0x00C00000,
    WS_MAXIMIZE = 0x01000000,
    WS_CLIPCHILDREN = 0x02000000,
    WS_CLIPSIBLINGS = 0x04000000,
    WS_DISABLED = 0x08000000,
    WS_VISIBLE = 0x10000000,
    WS_MINIMIZE = 0x20000000,
    WS_CHILD = 0x40000000,
    WS_POPUP = 0x80000000,
    DS_ABSALIGN = 0x01,
    DS_SYSMODAL = 0x02,
    DS_LOCALEDIT = 0x20,
    DS_SETFONT = 0x40,
    DS_MODALFRAME = 0x80,
    DS_NOIDLEMSG = 0x100,
    DS_SETFOREGROUND = 0x200,
    DS_3DLOOK = 0x0004,
    DS_FIXEDSYS = 0x0008,
    DS_NOFAILCREATE = 0x0010,
    DS_CONTROL = 0x0400,
    DS_CENTER = 0x0800,
    DS_CENTERMOUSE = 0x1000,
    DS_CONTEXTHELP = 0x2000,
};

// ---- Edit controls
enum : DWORD {
    ES_LEFT = 0x0000,
    ES_CENTER = 0x0001,
    ES_RIGHT = 0x0002,
    ES_MULTILINE = 0x0004,
    ES_UPPERCASE = 0x0008,
    ES_LOWERCASE = 0x0010,
    ES_PASSWORD = 0x0020,
    ES_AUTOVSCROLL = 0x0040,
    ES_AUTOHSCROLL = 0x0080,
    ES_NOHIDESEL = 0x0100,
    ES_OEMCONVERT = 0x0400,
    ES_READONLY = 0x0800,
    ES_WANTRETURN = 0x1000,
    ES_NUMBER = 0x2000,
};
enum : UINT {
    EM_GETSEL = 0x00B0,
    EM_SETSEL = 0x00B1,
    EM_GETMODIFY = 0x00B8,
    EM_SETMODIFY = 0x00B9,
    EM_GETLINECOUNT = 0x00BA,
    EM_REPLACESEL = 0x00C2,
    EM_LIMITTEXT = 0x00C5,
    EM_SETLIMITTEXT = 0x00C5,
    EM_SETREADONLY = 0x00CF,
    EM_GETLIMITTEXT = 0x00D5,
};
enum : WORD {
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
    EN_UPDATE = 0x0400,
    EN_ERRSPACE = 0x0500,
    EN_MAXTEXT = 0x0501,
};

// ---- Buttons
enum : DWORD {
    BS_PUSHBUTTON = 0x0,
    BS_DEFPUSHBUTTON = 0x1,
    BS_CHECKBOX = 0x2,
    BS_AUTOCHECKBOX = 0x3,
    BS_RADIOBUTTON = 0x4,
    BS_3STATE = 0x5,
    BS_AUTO3STATE = 0x6,
    BS_GROUPBOX = 0x7,
    BS_USERBUTTON = 0x8,
    BS_AUTORADIOBUTTON = 0x9,
    BS_OWNERDRAW = 0xB,
    BS_TYPEMASK = 0xF,
    BS_LEFTTEXT = 0x20,
    BS_LEFT = 0x100,
    BS_RIGHT = 0x200,
    BS_CENTER = 0x300,
    BS_MULTILINE = 0x2000,
    BS_NOTIFY = 0x4000,
    BS_FLAT = 0x8000,
};
enum : UINT {
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_GETSTATE = 0x00F2,
    BM_SETSTATE = 0x00F3,
    BM_SETSTYLE = 0x00F4,
    BM_CLICK = 0x00F5,
};
enum : WORD {
    BN_CLICKED = 0,
    BN_PAINT = 1,
    BN_DISABLE = 4,
    BN_DOUBLECLICKED = 5,
    BN_DBLCLK = 5,
    BN_SETFOCUS = 6,
    BN_KILLFOCUS = 7,
};
enum : UINT { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8 };

// ---- Static controls
enum : DWORD {
    SS_LEFT = 0x0,
    SS_CENTER = 0x1,
    SS_RIGHT = 0x2,
    SS_ICON = 0x3,
    SS_BLACKRECT = 0x4,
    SS_GRAYRECT = 0x5,
    SS_WHITERECT = 0x6,
    SS_BLACKFRAME = 0x7,
    SS_GRAYFRAME = 0x8,
    SS_WHITEFRAME = 0x9,
    SS_SIMPLE = 0xB,
    SS_LEFTNOWORDWRAP = 0xC,
    SS_OWNERDRAW = 0xD,
    SS_BITMAP = 0xE,
    SS_ETCHEDHORZ = 0x10,
    SS_ETCHEDVERT = 0x11,
    SS_ETCHEDFRAME = 0x12,
    SS_TYPEMASK = 0x1F,
    SS_NOPREFIX = 0x80,
    SS_NOTIFY = 0x100,
    SS_CENTERIMAGE = 0x200,
    SS_SUNKEN = 0x1000,
};

// ---- List boxes
enum : DWORD {
    LBS_NOTIFY = 0x0001,
    LBS_SORT = 0x0002,
    LBS_NOREDRAW = 0x0004,
    LBS_MULTIPLESEL = 0x0008,
    LBS_OWNERDRAWFIXED = 0x0010,
    LBS_OWNERDRAWVARIABLE = 0x0020,
    LBS_HASSTRINGS = 0x0040,
    LBS_USETABSTOPS = 0x0080,
    LBS_NOINTEGRALHEIGHT = 0x0100,
    LBS_MULTICOLUMN = 0x0200,
    LBS_WANTKEYBOARDINPUT = 0x0400,
    LBS_EXTENDEDSEL = 0x0800,
    LBS_DISABLENOSCROLL = 0x1000,
    LBS_NODATA = 0x2000,
    LBS_STANDARD = 0x00A00003,
};
enum : UINT {
    LB_ADDSTRING = 0x0180,
    LB_INSERTSTRING = 0x0181,
    LB_DELETESTRING = 0x0182,
    LB_SELITEMRANGEEX = 0x0183,
    LB_RESETCONTENT = 0x0184,
    LB_SETSEL = 0x0185,
    LB_SETCURSEL = 0x0186,
    LB_GETSEL = 0x0187,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189,
    LB_GETTEXTLEN = 0x018A,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,
    LB_FINDSTRING = 0x018F,
    LB_GETSELCOUNT = 0x0190,
    LB_GETSELITEMS = 0x0191,
    LB_SETTABSTOPS = 0x0192,
    LB_SETTOPINDEX = 0x0197,
    LB_GETITEMRECT = 0x0198,
    LB_GETITEMDATA = 0x0199,
    LB_SETITEMDATA = 0x019A,
    LB_SELITEMRANGE = 0x019B,
    LB_SETANCHORINDEX = 0x019C,
    LB_GETANCHORINDEX = 0x019D,
    LB_SETCARETINDEX = 0x019E,
    LB_GETCARETINDEX = 0x019F,
    LB_SETITEMHEIGHT = 0x01A0,
    LB_GETITEMHEIGHT = 0x01A1,
    LB_FINDSTRINGEXACT = 0x01A2,
};
enum : int { LB_OKAY = 0, LB_ERR = -1, LB_ERRSPACE = -2 };
enum : WORD {
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    LBN_SELCANCEL = 3,
    LBN_SETFOCUS = 4,
    LBN_KILLFOCUS = 5,
    LBN_ERRSPACE = 0xFFFE,  // -2 in the high word
};

// ---- Combo boxes
enum : DWORD {
    CBS_SIMPLE = 0x0001,
    CBS_DROPDOWN = 0x0002,
    CBS_DROPDOWNLIST = 0x0003,
    CBS_OWNERDRAWFIXED = 0x0010,
    CBS_OWNERDRAWVARIABLE = 0x0020,
    CBS_AUTOHSCROLL = 0x0040,
    CBS_OEMCONVERT = 0x0080,
    CBS_SORT = 0x0100,
    CBS_HASSTRINGS = 0x0200,
    CBS_NOINTEGRALHEIGHT = 0x0400,
    CBS_DISABLENOSCROLL = 0x0800,
    CBS_UPPERCASE = 0x2000,
    CBS_LOWERCASE = 0x4000,
};
enum : UINT {
    CB_GETEDITSEL = 0x0140,
    CB_LIMITTEXT = 0x0141,
    CB_SETEDITSEL = 0x0142,
    CB_ADDSTRING = 0x0143,
    CB_DELETESTRING = 0x0144,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_GETLBTEXT = 0x0148,
    CB_GETLBTEXTLEN = 0x0149,
    CB_INSERTSTRING = 0x014A,
    CB_RESETCONTENT = 0x014B,
    CB_FINDSTRING = 0x014C,
    CB_SELECTSTRING = 0x014D,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_GETITEMDATA = 0x0150,
    CB_SETITEMDATA = 0x0151,
    CB_SETITEMHEIGHT = 0x0153,
    CB_GETITEMHEIGHT = 0x0154,
    CB_GETDROPPEDSTATE = 0x0157,
    CB_FINDSTRINGEXACT = 0x0158,
};
enum : int { CB_OKAY = 0, CB_ERR = -1, CB_ERRSPACE = -2 };
enum : WORD {
    CBN_SELCHANGE = 1,
    CBN_DBLCLK = 2,
    CBN_SETFOCUS = 3,
    CBN_KILLFOCUS = 4,
    CBN_EDITCHANGE = 5,
    CBN_EDITUPDATE = 6,
    CBN_DROPDOWN = 7,
    CBN_CLOSEUP = 8,
    CBN_SELENDOK = 9,
    CBN_SELENDCANCEL = 10,
};

// ---- Owner-drawn items
enum : UINT { ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_STATIC = 5 };
enum : UINT { ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
enum : UINT { ODS_SELECTED = 1, ODS_GRAYED = 2, ODS_DISABLED = 4, ODS_CHECKED = 8, ODS_FOCUS = 16 };

// ---- Dialog codes (WM_GETDLGCODE)
enum : UINT {
    DLGC_WANTARROWS = 0x0001,
    DLGC_WANTTAB = 0x0002,
    DLGC_WANTALLKEYS = 0x0004,
    DLGC_HASSETSEL = 0x0008,
    DLGC_DEFPUSHBUTTON = 0x0010,
    DLGC_UNDEFPUSHBUTTON = 0x0020,
    DLGC_RADIOBUTTON = 0x0040,
    DLGC_WANTCHARS = 0x0080,
    DLGC_STATIC = 0x0100,
    DLGC_BUTTON = 0x2000,
};

// ---- The product's own controls (custom classes of the templates)
// "QorSpin": a spin control. 1024 sets the range (lParam: low word lowest, high word highest),
// 1025 returns it in the same form, 1026 sets the position (wParam), 1027 returns it. A user's
// step sends WM_COMMAND with notification 1 to the parent.
enum : UINT { SPM_SETRANGE = 1024, SPM_GETRANGE = 1025, SPM_SETPOS = 1026, SPM_GETPOS = 1027 };
enum : WORD { SPN_CHANGE = 1 };
// "QorViewer": shows a fax or text file; 1024 with wParam 8 and lParam the path names it. A
// viewer window (QORLIB1) answers 1024 with wParam 9 with the path it shows (a const char*,
// valid until the window changes), 0 from any other window.
enum : UINT { VWM_COMMAND = 1024 };
enum : WPARAM { VW_SHOWFILE = 8, VW_GETFILE = 9 };
// "QorButton": a push button with colours. 1039 sets the colour of part wParam (0..3) to lParam,
// 1038 sets part 1 to lParam; both return the previous colour.
enum : UINT { CBM_SETFACECOLOR = 1038, CBM_SETCOLOR = 1039 };

// ---- ShowWindow, SetWindowLongPtr, GetSystemMetrics
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOW = 5, SW_SHOWNA = 8, SW_RESTORE = 9 };
enum : int { GWLP_USERDATA = -21, GWL_EXSTYLE = -20, GWL_STYLE = -16, GWLP_ID = -12, GWLP_HWNDPARENT = -8 };
enum : int { DWLP_MSGRESULT = 0, DWLP_DLGPROC = 8, DWLP_USER = 16 };
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CYCAPTION = 4, SM_DBCSENABLED = 42 };
enum : UINT_PTR { USER_TIMER_MINIMUM = 0x0000000A };

// ---- Dialogs
// Runs the dialog of template `name` (MAKEINTRESOURCEA(number), or "#number") modally: returns
// the value given to EndDialog, or -1 when the template is missing or the dialog cannot be made.
// The instance is the language module's (any value: there is one module).
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
// Makes a modeless dialog (shown when its template has WS_VISIBLE); null when it cannot be made.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
// Leading blanks are skipped, then an optional '-' (signed only) and decimal digits, up to the
// first other character. No digit, or a value out of range, gives 0 and FALSE in *translated.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
BOOL MapDialogRect(HWND dialog, RECT* rect);

// ---- Windows (a host's main window is made with qorwin::createWindow below)
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);
BOOL IsChild(HWND parent, HWND window);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message; FALSE for a window that does not exist. A null window posts to the thread
// (the message is dropped: there is no thread message loop).
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Returns TRUE when the window was disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// Returns TRUE when the window was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
// Returns the window that had the focus; null (and no change) for a missing or disabled window.
HWND SetFocus(HWND window);
HWND GetFocus();
HWND GetActiveWindow();
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);
int GetWindowTextLengthA(HWND window);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// The popup owned by `owner` that was active last (the owner itself when none is open). A
// window that is not in the table (a host's own marker) comes back unchanged.
HWND GetLastActivePopup(HWND owner);

// ---- Timers (driven by the clock of QORUL; a due timer fires once however late it is)
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---- Other services
BOOL MessageBeep(UINT type);
int GetSystemMetrics(int index);
// Formats into `out` as Win32 does: %[-][#][0][width][.precision][l|h]{s,c,d,i,u,x,X} and %%,
// at most 1024 bytes with the NUL (the Win32 limit). Returns the number of characters written.
int wsprintfA(LPSTR out, LPCSTR format, ...);

#ifdef __cplusplus
#include <cstddef>
#include <string>
#include <vector>

namespace qorwin {
// A visible top-level window with a window procedure (a host's main window), owned by `owner`
// when given; DestroyWindow ends it. `proc` may be null (DefWindowProcA).
HWND createWindow(const char* title, WNDPROC proc, HWND owner = nullptr);
// Pumps posted messages, paints and due timers until none is left; returns how many it handled.
int pump();
// One step of the pump: true when something was handled.
bool pumpOne();
// Milliseconds until the next timer falls due (0: due now), -1 when no timer runs. A UI driver
// that waits for its user wakes up then, so that timers fire while the user does nothing.
int timerWait();
// Windows alive (for leak checks in tests).
std::size_t liveWindows();
// Destroys every window and drops posted messages and timers (tests).
void resetWindows();
// The window's class name as the templates give it ("Edit", "Button", "#32770" for dialogs...).
std::string className(HWND window);
// The template number a dialog was made from (0 for other windows).
int templateNumber(HWND dialog);
// What a viewer control ("QorViewer") shows of its file in the text picture: `rows` lines of at
// most `cols` characters. The fax pages library installs it; without one a viewer shows its
// file's name only.
using ViewerPainter = std::vector<std::string> (*)(const std::string& path, int cols, int rows);
void setViewerPainter(ViewerPainter painter);
ViewerPainter& viewerPainter();
}  // namespace qorwin
#endif
