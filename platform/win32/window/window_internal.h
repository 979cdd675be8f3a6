// The window table and what the parts of the window layer share. Not a public header.
//
// Windows live in a map keyed by their handle. A destroyed window leaves the map at once (so
// that IsWindow and every lookup fail) but its record is kept in a graveyard until the
// outermost call into the layer returns: code further up the stack may still hold a pointer
// to it and must only find `alive` false, never freed memory.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qorwindow.h"

namespace qorwin::detail {

enum class Kind { Main, Dialog, Button, Edit, Static, ListBox, ComboBox, ScrollBar, Spin, Viewer, Generic };

struct Item {
    std::string text;
    LPARAM data = 0;
    bool selected = false;  // multiple-selection list boxes
};

struct Window {
    HWND self = nullptr;
    Kind kind = Kind::Generic;
    std::string cls;
    bool alive = true;
    HWND parent = nullptr;  // controls
    HWND owner = nullptr;   // top-level windows
    int id = 0;
    DWORD style = 0, exStyle = 0;
    std::string text;
    bool enabled = true, visible = false;
    RECT rect{};  // pixels: relative to the parent for controls, screen for top-level windows
    RECT dlu{};   // the template rectangle in dialog units (for the text picture)
    HFONT font = nullptr;
    LONG_PTR userData = 0;
    WNDPROC proc = nullptr;  // main windows
    std::vector<HWND> children;
    uint64_t activated = 0;    // activation serial (GetLastActivePopup)
    HWND lastFocus = nullptr;  // top-level: its control that had the focus last
    bool invalid = false, erase = false;

    // Dialogs
    DLGPROC dlgProc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    LONG_PTR msgResult = 0, dlgUser = 0;
    bool msgResultSet = false;
    int defId = 0;
    bool hasDefId = false;
    HFONT ownFont = nullptr;
    int templ = 0;
    bool modal = false;

    // Edits and the edit part of combo boxes
    std::size_t limit = 30000;  // the initial limit of a Win32 edit control
    std::size_t selStart = 0, selEnd = 0;
    bool modified = false;

    // Buttons
    UINT check = 0;
    bool pushed = false;
    bool focused = false;
    COLORREF colours[4] = {};

    // List boxes and the list of combo boxes
    std::vector<Item> items;
    int cur = -1;    // single selection; the combo box's selection
    int caret = 0;   // the item with the focus rectangle
    int anchor = -1;
    int top = 0;
    std::vector<int> tabs;
    bool dropped = false;
    int itemHeight = 16;

    // Spin controls
    int low = 0, high = 100, pos = 0;
};

struct Posted {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    int64_t due;  // milliseconds of the clock
};

struct State {
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<std::unique_ptr<Window>> graveyard;
    uintptr_t next = 0x7A0010;
    int depth = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    uint64_t activation = 0;
    std::deque<Posted> posted;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7F00;
    bool activatingForFocus = false;
};

State& state();
Window* find(HWND h);

// Held by every entry point: the graveyard is emptied when the outermost one returns.
struct Guard {
    Guard();
    ~Guard();
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
};

Window* create(Kind kind, const std::string& cls);
HWND topLevel(HWND h);
bool usable(const Window* w);  // alive, visible with its parents, enabled with its parents
LRESULT dispatch(Window* w, UINT message, WPARAM wParam, LPARAM lParam);
void notify(const Window* control, WORD code);
void activate(HWND top);

// Control procedures (controls.cpp) and the dialog procedure (dialog.cpp).
LRESULT editProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT buttonProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT staticProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT listProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT comboProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT spinProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT viewerProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT dialogProc(Window* w, UINT m, WPARAM wp, LPARAM lp);
LRESULT commonProc(Window* w, UINT m, WPARAM wp, LPARAM lp);

// Helpers shared by the controls, the dialog manager and the scripted user.
bool hasStrings(const Window* list);
bool multiSelect(const Window* list);
int findItem(const Window* list, int start, const char* text, bool exact, LPARAM data);
bool sameText(const std::string& a, const std::string& b);  // without regard to case
// The order of lstrcmpi (a word sort without regard to case): blanks and punctuation before
// digits before letters, accented letters with their base letter, hyphens and apostrophes
// weighing only when all else is equal. <0, 0, >0.
int compareText(const std::string& a, const std::string& b);
UINT buttonType(const Window* w);
bool isPushButton(const Window* w);
bool isRadio(const Window* w);
bool isCheck(const Window* w);
int comboType(const Window* w);  // 1 simple, 2 drop-down, 3 drop-down list
HWND firstTabStop(HWND dialog);
// Moves the focus to a control as the dialog manager does (an edit's text is selected).
void dialogFocus(HWND control);
void destroyAll();

// ---- Drawing (gdi_dc.cpp): the canvases of top-level windows and the DCs over them.
void dropCanvas(HWND top);
void dropAllCanvases();
void clearCanvas(HWND top);
void* canvasSurface(HWND top);  // cairo_surface_t*
void* dcCairo(HDC dc);          // cairo_t* of a DC (null for a recording DC)
HDC paintDC(HWND window);
void releaseDC(HDC dc);
int textWidth(HFONT font, const std::string& latin1);
int lineHeight(HFONT font);
// A label's text without its mnemonic marks ("&&" is one "&"); `mark` (may be null) gets the
// index of the underlined letter, -1 when there is none.
std::string stripPrefix(const std::string& label, int* mark);
std::string withoutPrefix(const std::string& label);
void drawCaption(void* cr, const std::string& title, int width, int height, bool active);

// ---- Painting (paint.cpp): the standard look of the controls and owner-drawn items.
// Paints a control (WM_PAINT of the built-in classes) or a top-level window's background.
void paintControl(Window* w);
// Marks a window for painting at the next pump.
void invalidate(Window* w);
// Owner-drawn items: sends WM_DRAWITEM for item `index` (-1: the button or static itself).
// `focus` 0 or 1 states the focus (a control losing it still has it while it is told); -1 asks.
void drawItem(Window* w, int index, UINT action, int focus = -1);
bool ownerDrawn(const Window* w);
// Watches an owner-drawn list box's selection and caret over a change and draws the items whose
// selection or focus changed (ODA_SELECT, ODA_FOCUS), as a list box does when it changes them.
class SelectionWatch {
public:
    explicit SelectionWatch(Window* list);
    ~SelectionWatch();
    SelectionWatch(const SelectionWatch&) = delete;
    SelectionWatch& operator=(const SelectionWatch&) = delete;

private:
    HWND list_ = nullptr;
    std::vector<bool> selected_;
    int caret_ = -1;
    bool focus_ = false;
};

// ---- Multi-line edits (edit_lines.cpp): the lines of an edit as shown, soft breaks included.
struct EditLine {
    std::size_t start = 0, length = 0;  // characters of the text, without the line break
};
std::vector<EditLine> editLines(const Window* edit);
int editLineOf(const std::vector<EditLine>& lines, std::size_t pos);

// ---- Registered window classes (RegisterClassA).
WNDPROC registeredClass(const std::string& name);

}  // namespace qorwin::detail
