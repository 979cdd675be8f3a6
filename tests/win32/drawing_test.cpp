// Drawing and measuring as dialogs use them: owner-drawn items and their DRAWITEMSTRUCT, text
// measured against the pixels drawn, multi-line edits, icons, geometry, modeless windows run by
// the scripted user, and the picture of a dialog with its texts where the template puts them.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "qoricon.h"
#include "qorwingdi.h"
#include "window_fixture.h"

namespace {

using qortest::DialogTest;
using qortest::Recorder;
using Strings = std::vector<std::string>;

// The box holding every pixel darker than `limit` (grey level) inside `area` of a picture.
struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool any() const { return right >= 0; }
    int width() const { return right - left + 1; }
};
Ink inkIn(const qorwin::Image& img, RECT area, int limit = 128) {
    Ink ink;
    for (int y = std::max<LONG>(0, area.top); y < std::min<LONG>(img.height, area.bottom); ++y)
        for (int x = std::max<LONG>(0, area.left); x < std::min<LONG>(img.width, area.right); ++x) {
            const uint32_t p = img.at(x, y);
            const int grey = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
            if (grey >= limit) continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    return ink;
}

// A control's rectangle in picture pixels (the caption bar is above the client area).
RECT inPicture(HWND d, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(d, id), &r);
    POINT p{r.left, r.top};
    ScreenToClient(d, &p);
    const LONG cap = qorwin::captionHeight();
    return RECT{p.x, p.y + cap, p.x + (r.right - r.left), p.y + cap + (r.bottom - r.top)};
}

std::string describe(const DRAWITEMSTRUCT& di) {
    return "draw " + std::to_string(di.CtlID) + " item " + std::to_string(static_cast<int>(di.itemID)) + " action " +
           std::to_string(di.itemAction) + " state " + std::to_string(di.itemState) + " rect " +
           std::to_string(di.rcItem.top) + "-" + std::to_string(di.rcItem.bottom);
}

class DrawingTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // The owner of the owner-drawn controls: records each WM_DRAWITEM and draws the item's text.
        recorder().hook = [this](HWND, UINT m, WPARAM, LPARAM l) -> INT_PTR {
            if (m == WM_MEASUREITEM) {
                auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
                mi->itemHeight = 18;
                log().push_back("measure " + std::to_string(mi->CtlID));
                return TRUE;
            }
            if (m != WM_DRAWITEM) return 0;
            const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
            log().push_back(describe(*di));
            EXPECT_NE(di->hDC, nullptr);
            if (di->CtlType == ODT_LISTBOX) {
                char text[64] = {};
                SendMessageA(di->hwndItem, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(text));
                FillRect(di->hDC, &di->rcItem, GetSysColorBrush((di->itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_WINDOW));
                SetBkMode(di->hDC, TRANSPARENT);
                TextOutA(di->hDC, di->rcItem.left + 20, di->rcItem.top + 1, text, static_cast<int>(std::strlen(text)));
                if (HICON icon = LoadIconA(nullptr, di->itemData ? "QORSAD" : "QORHAPPY"))
                    DrawIcon(di->hDC, di->rcItem.left + 1, di->rcItem.top + 1, icon);
                if (di->itemState & ODS_FOCUS) DrawFocusRect(di->hDC, &di->rcItem);
            }
            return TRUE;
        };
    }
    std::vector<std::string> draws() const {
        std::vector<std::string> out;
        for (const auto& l : Recorder::get().log)
            if (l.rfind("draw ", 0) == 0) out.push_back(l);
        return out;
    }
};

TEST_F(DrawingTest, OwnerDrawnListItemsAreDrawnWhenShownSelectedAndFocused) {
    user.then([&](HWND d) {
        // A fixed-height owner-drawn list asked its owner for the height when it was made.
        EXPECT_EQ(SendDlgItemMessageA(d, 32, LB_GETITEMHEIGHT, 0, 0), 18);
        log().clear();
        for (const char* t : {"one", "two", "three", "four", "five", "six"})
            SendDlgItemMessageA(d, 32, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
        SendDlgItemMessageA(d, 32, LB_SETITEMDATA, 1, 1);
        EXPECT_TRUE(draws().empty());  // drawn when the list is painted, not at each insert
        qorwin::pump();
        // 80 x 40 units: 80 pixels high, so four items of 18 pixels are shown.
        EXPECT_EQ(draws(), (Strings{"draw 32 item 0 action 1 state 0 rect 0-18", "draw 32 item 1 action 1 state 0 rect 18-36",
                                    "draw 32 item 2 action 1 state 0 rect 36-54", "draw 32 item 3 action 1 state 0 rect 54-72"}));
        log().clear();
    });
    user.toggle(32, 2);  // the click takes the focus, then selects
    user.then([&](HWND d) {
        EXPECT_EQ(draws(), (Strings{"draw 32 item 0 action 4 state 16 rect 0-18", "draw 32 item 0 action 4 state 0 rect 0-18",
                                    "draw 32 item 2 action 2 state 17 rect 36-54", "draw 32 item 2 action 4 state 17 rect 36-54"}));
        log().clear();
        // Item 5 is not shown: only the caret leaving item 2 is drawn.
        SendDlgItemMessageA(d, 32, LB_SETSEL, TRUE, 5);
        EXPECT_EQ(draws(), (Strings{"draw 32 item 2 action 4 state 1 rect 36-54"}));
        log().clear();
        SendDlgItemMessageA(d, 32, LB_SETSEL, FALSE, 2);
        EXPECT_EQ(draws(), (Strings{"draw 32 item 2 action 2 state 16 rect 36-54", "draw 32 item 2 action 4 state 16 rect 36-54"}));
        log().clear();
        EnableWindow(GetDlgItem(d, 32), FALSE);  // focus leaves; the caret item loses its rectangle
        EXPECT_EQ(draws(), (Strings{"draw 32 item 2 action 4 state 4 rect 36-54"}));
        EnableWindow(GetDlgItem(d, 32), TRUE);
        log().clear();
        // The picture draws the shown items through their owner, in their own places.
        const qorwin::Image img = qorwin::paintPicture(d);
        std::size_t listDraws = 0;
        for (const auto& l : draws()) listDraws += l.rfind("draw 32 ", 0) == 0 ? 1 : 0;
        EXPECT_EQ(listDraws, 4u);
        const RECT list = inPicture(d, 32);
        // Item 1 (data 1) has the failure icon: red at its centre; item 0 the success icon.
        const uint32_t sad = img.at(list.left + 1 + 2, list.top + 18 + 1 + 2) & 0xFFFFFF;
        const uint32_t happy = img.at(list.left + 1 + 2, list.top + 1 + 2) & 0xFFFFFF;
        EXPECT_EQ(sad, 0xE02020u);
        EXPECT_EQ(happy, 0x20B040u);
        EXPECT_TRUE(inkIn(img, RECT{list.left + 20, list.top, list.right, list.top + 18}).any());  // "one"
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, OwnerDrawnButtonsAreDrawnPushedAndFocused) {
    user.then([&](HWND) { log().clear(); });
    user.click(35);
    user.then([&](HWND) {
        // Focus, down (selected), up, then the click.
        EXPECT_EQ(draws(), (Strings{"draw 35 item 0 action 4 state 16 rect 0-28", "draw 35 item 0 action 2 state 17 rect 0-28",
                                    "draw 35 item 0 action 2 state 16 rect 0-28"}));
        EXPECT_EQ(recorder().commands(35), (Strings{std::to_string(BN_CLICKED)}));
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, MeasuredTextWidthsAreTheWidthsDrawn) {
    HFONT big = CreateFontA(-24, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
    HFONT small = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "No Such Face");
    const char* text = "Hamburgefonstiv 0123";
    SIZE bigSize{}, smallSize{};
    recorder().hook = [&](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m != WM_PAINT) return 0;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(d, &ps);
        SetBkMode(dc, TRANSPARENT);
        SelectObject(dc, big);
        TextOutA(dc, 10, 150, text, static_cast<int>(std::strlen(text)));
        SelectObject(dc, small);
        TextOutA(dc, 10, 190, text, static_cast<int>(std::strlen(text)));
        EndPaint(d, &ps);
        return TRUE;
    };
    user.then([&](HWND d) {
        HDC dc = GetDC(d);
        SelectObject(dc, big);
        ASSERT_TRUE(GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &bigSize));
        TEXTMETRICA tm;
        ASSERT_TRUE(GetTextMetricsA(dc, &tm));
        EXPECT_EQ(tm.tmHeight, bigSize.cy);
        EXPECT_EQ(tm.tmWeight, 700);
        EXPECT_GE(tm.tmHeight, 24);
        SelectObject(dc, small);  // an unknown face falls back to DejaVu Sans
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &smallSize);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
        ReleaseDC(d, dc);
        EXPECT_GT(bigSize.cx, smallSize.cx * 3 / 2);

        // The controls are hidden: only the texts drawn by the dialog are on its face.
        for (int id : {30, 31, 32, 33, 34, 35, 36, 37, 38, int{IDOK}, int{IDCANCEL}}) ShowWindow(GetDlgItem(d, id), SW_HIDE);
        const qorwin::Image img = qorwin::paintPicture(d);
        const int cap = qorwin::captionHeight();
        const Ink a = inkIn(img, RECT{0, cap + 150, img.width, cap + 150 + bigSize.cy});
        const Ink b = inkIn(img, RECT{0, cap + 190, img.width, cap + 190 + smallSize.cy});
        ASSERT_TRUE(a.any() && b.any());
        // The ink starts at the text's origin and ends within its advance (the side bearings
        // of the first and last letters are the difference).
        EXPECT_NEAR(a.left, 10, 3);
        EXPECT_NEAR(a.width(), bigSize.cx, 4);
        EXPECT_NEAR(b.width(), smallSize.cx, 3);
        EXPECT_LE(a.bottom - cap - 150, bigSize.cy);
    });
    user.escape();
    run(902);
    DeleteObject(big);
    DeleteObject(small);
}

TEST_F(DrawingTest, DrawTextWrapsCentresAndCalculates) {
    user.then([&](HWND d) {
        HDC dc = GetDC(d);
        RECT r{0, 0, 60, 0};
        const int h = DrawTextA(dc, "several words that wrap", -1, &r, DT_WORDBREAK | DT_CALCRECT);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        EXPECT_GT(h, tm.tmHeight);  // more than one line
        EXPECT_EQ(h % tm.tmHeight, 0);
        EXPECT_LE(r.right, 60 + 40);
        RECT one{0, 0, 0, 0};
        EXPECT_EQ(DrawTextA(dc, "&Save", -1, &one, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
        SIZE plain;
        GetTextExtentPoint32A(dc, "Save", 4, &plain);
        EXPECT_EQ(one.right, plain.cx);  // the mnemonic mark takes no room
        ReleaseDC(d, dc);
        // A recording DC keeps the texts drawn (a terminal shows owner-drawn items by them).
        HDC rec = qorwin::recordingDC(d);
        TabbedTextOutA(rec, 0, 0, "a\tb", 3, 0, nullptr, 0);
        EXPECT_EQ(qorwin::recordedText(rec), "a\tb");
        ReleaseDC(d, rec);
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, MultiLineEditsKeepCrLfLinesThroughTypingPastingAndDeleting) {
    const auto lines = [](HWND d) {
        std::vector<std::string> out;
        const int n = static_cast<int>(SendDlgItemMessageA(d, 33, EM_GETLINECOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            char buf[80] = {};
            const WORD size = sizeof buf - 1;
            std::memcpy(buf, &size, sizeof size);
            const LRESULT got = SendDlgItemMessageA(d, 33, EM_GETLINE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            out.emplace_back(buf, static_cast<std::size_t>(got));
        }
        return out;
    };
    user.type(33, "Dear Ada\nthe draft");
    user.enter();  // ES_WANTRETURN: Enter breaks the line instead of pressing OK
    user.append(33, "is late");
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, 33), "Dear Ada\r\nthe draft\r\nis late");
        EXPECT_EQ(lines(d), (Strings{"Dear Ada", "the draft", "is late"}));
        EXPECT_EQ(SendDlgItemMessageA(d, 33, EM_LINEINDEX, 1, 0), 10);
        EXPECT_EQ(SendDlgItemMessageA(d, 33, EM_LINELENGTH, 10, 0), 9);
        EXPECT_EQ(SendDlgItemMessageA(d, 33, EM_LINEFROMCHAR, 21, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, 33, EM_LINEINDEX, 5, 0), -1);
        // The caret after "draft"; a paste of two lines with bare LF ends.
        SendDlgItemMessageA(d, 33, EM_SETSEL, 19, 19);
    });
    user.paste(33, " (v2)\nsee notes");
    user.then([&](HWND d) {
        EXPECT_EQ(lines(d), (Strings{"Dear Ada", "the draft (v2)", "see notes", "is late"}));
        // A selection across lines deleted at once joins them.
        SendDlgItemMessageA(d, 33, EM_SETSEL, 4, 14);  // " Ada\r\nthe "
        DWORD a = 0, b = 0;
        SendDlgItemMessageA(d, 33, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(a, 4u);
        EXPECT_EQ(b, 14u);
    });
    user.key(33, VK_DELETE);
    user.then([&](HWND d) {
        EXPECT_EQ(lines(d), (Strings{"Deardraft (v2)", "see notes", "is late"}));
        // Backspace at the start of a line takes the whole line break.
        const LRESULT start = SendDlgItemMessageA(d, 33, EM_LINEINDEX, 2, 0);
        SendDlgItemMessageA(d, 33, EM_SETSEL, static_cast<WPARAM>(start), start);
        SendDlgItemMessageA(d, 33, WM_CHAR, '\b', 0);
        EXPECT_EQ(qorwin::text(d, 33), "Deardraft (v2)\r\nsee notesis late");
        // The arrows move over a line break as one character.
        SendDlgItemMessageA(d, 33, EM_SETSEL, 14, 14);
        SendDlgItemMessageA(d, 33, WM_KEYDOWN, VK_RIGHT, 0);
        DWORD a = 0;
        SendDlgItemMessageA(d, 33, EM_GETSEL, reinterpret_cast<WPARAM>(&a), 0);
        EXPECT_EQ(a, 16u);
        SendDlgItemMessageA(d, 33, WM_KEYDOWN, VK_UP, 0);
        SendDlgItemMessageA(d, 33, EM_GETSEL, reinterpret_cast<WPARAM>(&a), 0);
        EXPECT_EQ(a, 0u);
        // Without ES_AUTOHSCROLL a long line wraps at the edit's width: more lines, no break.
        SetDlgItemTextA(d, 33, "a long line of words that cannot fit in the width of this small memo field at all");
        EXPECT_GT(SendDlgItemMessageA(d, 33, EM_GETLINECOUNT, 0, 0), 2);
        std::string joined;
        for (const auto& l : lines(d)) joined += l;
        EXPECT_EQ(joined, qorwin::text(d, 33));
    });
    user.then([&](HWND) { log().clear(); });
    user.type(34, "a text far too wide for this small field");
    user.then([&](HWND d) {
        // A single-line edit without ES_AUTOHSCROLL takes what its width shows, then refuses.
        const std::string t = qorwin::text(d, 34);
        EXPECT_GT(t.size(), 5u);
        EXPECT_LT(t.size(), 30u);
        HDC dc = GetDC(GetDlgItem(d, 34));
        SIZE sz;
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &sz);
        ReleaseDC(GetDlgItem(d, 34), dc);
        RECT r;
        GetClientRect(GetDlgItem(d, 34), &r);
        EXPECT_LE(sz.cx, r.right);
        const auto cmds = recorder().commands(34);
        EXPECT_NE(std::find(cmds.begin(), cmds.end(), std::to_string(EN_MAXTEXT)), cmds.end());
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, ThePictureShowsEachControlsTextWhereTheTemplatePutsIt) {
    user.then([&](HWND d) {
        CheckDlgButton(d, 38, BST_CHECKED);
        const std::string path = profile.path("dialog.png");
        ASSERT_TRUE(qorwin::writePicture(d, path));
        cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
        // 220 x 160 dialog units at 8 x 16 base units: 440 x 320 pixels, and the caption bar.
        EXPECT_EQ(cairo_image_surface_get_width(png), 440);
        EXPECT_EQ(cairo_image_surface_get_height(png), 320 + qorwin::captionHeight());
        cairo_surface_destroy(png);
        const qorwin::Image img = qorwin::paintPicture(d);

        // "Label text" (LTEXT 8, 100, 80, 8): ink inside its rectangle, starting at its left.
        const RECT label = inPicture(d, 36);
        EXPECT_EQ(label.left, 16);
        EXPECT_EQ(label.top, 200 + qorwin::captionHeight());
        const Ink l = inkIn(img, label);
        ASSERT_TRUE(l.any());
        EXPECT_LE(l.left, label.left + 2);
        HDC dc = GetDC(GetDlgItem(d, 36));
        SIZE sz;
        GetTextExtentPoint32A(dc, "Label text", 10, &sz);
        ReleaseDC(GetDlgItem(d, 36), dc);
        EXPECT_NEAR(l.width(), sz.cx, 3);
        // Nothing drawn between the label and the next control to the right.
        EXPECT_FALSE(inkIn(img, RECT{label.right + 1, label.top, label.right + 15, label.bottom}).any());
        // "Middle" (CTEXT) is centred in its rectangle.
        const RECT mid = inPicture(d, 37);
        const Ink m = inkIn(img, mid);
        ASSERT_TRUE(m.any());
        EXPECT_NEAR((m.left + m.right) / 2, (mid.left + mid.right) / 2, 3);
        // The OK button's text is centred in the button, inside its frame.
        const RECT ok = inPicture(d, IDOK);
        const Ink k = inkIn(img, RECT{ok.left + 3, ok.top + 3, ok.right - 3, ok.bottom - 3});
        ASSERT_TRUE(k.any());
        EXPECT_NEAR((k.left + k.right) / 2, (ok.left + ok.right) / 2, 3);
        EXPECT_NEAR((k.top + k.bottom) / 2, (ok.top + ok.bottom) / 2, 3);
        // The checked box: its check mark is dark ink inside a white box at the left.
        const RECT tick = inPicture(d, 38);
        const int boxTop = static_cast<int>(tick.top + (tick.bottom - tick.top - 13) / 2);
        EXPECT_TRUE(inkIn(img, RECT{tick.left + 2, boxTop + 2, tick.left + 11, boxTop + 11}).any());
        // The dialog face is the button face colour where no control is.
        EXPECT_EQ(img.at(430, 300) & 0xFFFFFF, 0xF0F0F0u);
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, GeometryCallsAgreeWithEachOther) {
    user.then([&](HWND d) {
        RECT r{8, 100, 88, 108};
        ASSERT_TRUE(MapDialogRect(d, &r));
        EXPECT_EQ(r.left, 16);
        EXPECT_EQ(r.bottom, 216);
        HWND label = GetDlgItem(d, 36), ok = GetDlgItem(d, IDOK);
        RECT c;
        GetClientRect(label, &c);
        EXPECT_EQ(c.right, 160);
        EXPECT_EQ(c.bottom, 16);
        POINT p{0, 0};
        ClientToScreen(label, &p);
        RECT wr;
        GetWindowRect(label, &wr);
        EXPECT_EQ(p.x, wr.left);
        ScreenToClient(d, &p);
        EXPECT_EQ(p.x, 16);
        EXPECT_EQ(p.y, 200);
        POINT q{0, 0};
        MapWindowPoints(label, ok, &q, 1);
        EXPECT_EQ(q.x, 16 - 200);
        EXPECT_EQ(q.y, 200 - 260);
        log().clear();
        recorder().hook = nullptr;
        ASSERT_TRUE(SetWindowPos(d, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER));
        GetClientRect(d, &c);
        EXPECT_EQ(c.right, 300);
        EXPECT_EQ(c.bottom, 200);
        MoveWindow(label, 20, 30, 50, 10, TRUE);
        GetWindowRect(label, &wr);
        p = POINT{wr.left, wr.top};
        ScreenToClient(d, &p);
        EXPECT_EQ(p.x, 20);
        EXPECT_EQ(p.y, 30);
        EXPECT_EQ(qorwin::paintPicture(d).width, 300);
        EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    });
    user.escape();
    run(902);
}

TEST_F(DrawingTest, IconsComeFromTheLanguageModule) {
    setenv("QORLANG_PATH", "", 1);  // the built-in module with the product's icons
    qorlang::reset();
    HICON happy = LoadIconA(nullptr, "QORHAPPY");
    ASSERT_NE(happy, nullptr);
    EXPECT_EQ(LoadIconA(nullptr, "qorhappy"), happy);  // shared, found without regard to case
    EXPECT_NE(LoadIconA(nullptr, "QORSAD"), nullptr);
    EXPECT_EQ(IC_loadicon("QORSAD"), LoadIconA(nullptr, "QORSAD"));
    EXPECT_EQ(IC_loadicon("QORHAPPY"), happy);
    EXPECT_EQ(IC_loadicon(""), nullptr);
    EXPECT_NE(LoadIconA(nullptr, "QORFAX"), nullptr);
    EXPECT_EQ(LoadIconA(nullptr, "NOSUCHICON"), nullptr);
    EXPECT_TRUE(DestroyIcon(happy));
    EXPECT_EQ(LoadIconA(nullptr, "QORHAPPY"), happy);  // a shared icon stays
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(DrawIcon(screen, 0, 0, happy));
    EXPECT_FALSE(DrawIcon(screen, 0, 0, reinterpret_cast<HICON>(0x1234)));
    ReleaseDC(nullptr, screen);
    // A damaged icon block is a parse error with its line, not a crash.
    qorlang::Module m;
    std::string error;
    EXPECT_FALSE(m.parse("X ICON\nBEGIN\n  \"kk\"\n  \"kkk\"\nEND\n", error));
    EXPECT_NE(error.find("line 4"), std::string::npos) << error;
    EXPECT_FALSE(m.parse("X ICON\nBEGIN\n  \"kz\"\nEND\n", error));
    EXPECT_NE(error.find("colour"), std::string::npos) << error;
}

TEST_F(DrawingTest, TheScriptedUserActsOnModelessWindowsToo) {
    recorder().hook = nullptr;
    HWND d = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(900), nullptr, Recorder::proc, 0);
    ASSERT_NE(d, nullptr);
    ShowWindow(d, SW_SHOW);
    user.type(10, "modeless");
    user.click(16);
    user.then([&](HWND up) {
        EXPECT_EQ(up, d);
        EXPECT_EQ(qorwin::text(d, 10), "modeless");
        EXPECT_TRUE(qorwin::checked(d, 16));
        DestroyWindow(d);  // the window goes: the run ends
    });
    user.then([&](HWND) { ADD_FAILURE() << "no action after the window went"; });
    EXPECT_EQ(qorwin::runModeless(d), 3);
    EXPECT_FALSE(IsWindow(d));
    profile.ui().clear();
}

class ClassTest : public DialogTest {};

LRESULT CALLBACK swatchProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &ps.rcPaint, b);
        DeleteObject(b);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(ClassTest, ARegisteredClassDrawsItselfInThePicture) {
    const std::string rc = std::string(qortest::testScript()) +
                           "903 DIALOG 0, 0, 100, 50\nBEGIN\n    CONTROL \"\", 40, \"Swatch\", 0, 10, 10, 20, 10\nEND\n";
    qortest::writeFile(profile.path("test.rc"), rc);
    qorlang::reset();
    WNDCLASSA cls{};
    cls.lpfnWndProc = swatchProc;
    cls.lpszClassName = "Swatch";
    EXPECT_NE(RegisterClassA(&cls), 0);
    EXPECT_EQ(RegisterClassA(&cls), 0);  // once
    WNDCLASSA builtin = cls;
    builtin.lpszClassName = "Edit";
    EXPECT_EQ(RegisterClassA(&builtin), 0);
    user.then([&](HWND d) {
        const qorwin::Image img = qorwin::paintPicture(d);
        const RECT r = inPicture(d, 40);
        EXPECT_EQ(img.at(r.left + 5, r.top + 5) & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(img.at(r.right + 5, r.top + 5) & 0xFFFFFF, 0xF0F0F0u);
    });
    user.escape();
    run(903);
}

}  // namespace
