// The window layer driven as a user and a dialog procedure drive it: notification order, focus
// moves, list selection and find-string matching, timers, posted messages, nested and ended
// dialogs, fonts, and the text picture.
#include <gtest/gtest.h>

#include <cstring>

#include "qorul.h"
#include "qorul_control.h"
#include "qorux.h"
#include "window_fixture.h"

namespace {

using qortest::DialogTest;
using qortest::Recorder;
using Strings = std::vector<std::string>;

std::string n(int v) { return std::to_string(v); }

TEST_F(DialogTest, EditChangesNotifyForProgramAndUserAndStopAtTheLimit) {
    user.then([&](HWND d) {
        log().clear();
        SetDlgItemTextA(d, 11, "set");  // a program's change notifies too
        EXPECT_EQ(recorder().commands(11), (Strings{n(EN_UPDATE), n(EN_CHANGE)}));
        SendDlgItemMessageA(d, 10, EM_LIMITTEXT, 3, 0);
        log().clear();
    });
    user.type(10, "abcde");
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, 10), "abc");
        // Three characters changed the text; two were refused at the limit.
        EXPECT_EQ(recorder().commands(10),
                  (Strings{n(EN_UPDATE), n(EN_CHANGE), n(EN_UPDATE), n(EN_CHANGE), n(EN_UPDATE), n(EN_CHANGE),
                           n(EN_MAXTEXT), n(EN_MAXTEXT)}));
        log().clear();
    });
    user.type(10, "xy");  // typing over a tabbed-into field replaces its text
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, 10), "xy");
        char buf[4];
        EXPECT_EQ(GetDlgItemTextA(d, 10, buf, sizeof buf), 2u);
        EXPECT_STREQ(buf, "xy");
        SetDlgItemTextA(d, 10, "longer than the limit");  // a program is not held to the limit
        EXPECT_EQ(GetDlgItemTextA(d, 10, buf, sizeof buf), 3u);  // cut to the buffer, terminated
        EXPECT_STREQ(buf, "lon");
    });
    user.erase(10).escape();
    EXPECT_EQ(run(), IDCANCEL);
}

TEST_F(DialogTest, FocusMovesSendKillFocusToTheOldControlThenSetFocusToTheNew) {
    user.then([&](HWND d) {
        // WM_INITDIALOG returned TRUE: the first tab stop has the focus, its text selected.
        EXPECT_EQ(qorwin::focusId(d), 10);
        EXPECT_EQ(log(), (Strings{"init", "cmd 10 " + n(EN_SETFOCUS)}));
        log().clear();
    });
    user.focus(11);
    user.then([&](HWND) {
        EXPECT_EQ(log(), (Strings{"cmd 10 " + n(EN_KILLFOCUS), "cmd 11 " + n(EN_SETFOCUS)}));
        log().clear();
    });
    user.click(16);  // a click takes the focus first, then clicks
    user.then([&](HWND d) {
        EXPECT_EQ(log(), (Strings{"cmd 11 " + n(EN_KILLFOCUS), "cmd 16 " + n(BN_CLICKED)}));
        EXPECT_EQ(qorwin::focusId(d), 16);
        log().clear();
        // A disabled window cannot keep or take the focus.
        EnableWindow(GetDlgItem(d, 16), FALSE);
        EXPECT_EQ(GetFocus(), nullptr);
        EXPECT_EQ(SetFocus(GetDlgItem(d, 16)), nullptr);
        EXPECT_EQ(GetFocus(), nullptr);
        SetFocus(GetDlgItem(d, 12));
        EXPECT_EQ(log(), (Strings{"cmd 12 " + n(LBN_SETFOCUS)}));
        // Hiding the control with the focus passes the focus back through the dialog.
        log().clear();
        ShowWindow(GetDlgItem(d, 12), SW_HIDE);
        EXPECT_NE(qorwin::focusId(d), 12);
        EXPECT_EQ(log().front(), "cmd 12 " + n(LBN_KILLFOCUS));
    });
    user.escape();
    EXPECT_EQ(run(), IDCANCEL);
}

TEST_F(DialogTest, WhenTheProcedureSetsTheFocusItselfTheDialogLeavesIt) {
    recorder().hook = [](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) SetFocus(GetDlgItem(d, 11));
        return 0;
    };
    recorder().initResult = FALSE;
    user.then([](HWND d) { EXPECT_EQ(qorwin::focusId(d), 11); }).escape();
    EXPECT_EQ(run(), IDCANCEL);
}

TEST_F(DialogTest, OnlyTheUsersListSelectionNotifies) {
    recorder().hook = [](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m != WM_INITDIALOG) return 0;
        for (const char* s : {"Anna", "Bert", "Carl"}) {
            SendDlgItemMessageA(d, 12, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessageA(d, 14, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
            SendDlgItemMessageA(d, 15, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        }
        return 0;
    };
    user.then([&](HWND d) {
        log().clear();
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_SETCURSEL, 1, 0), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, 14, CB_SETCURSEL, 2, 0), 2);
        EXPECT_EQ(qorwin::text(d, 14), "Carl");  // CB_SETCURSEL puts the item into the edit field
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETCURSEL, 0, 0), LB_ERR);
    });
    user.select(12, 2);
    user.then([&](HWND d) {
        EXPECT_EQ(log(), (Strings{"cmd 10 " + n(EN_KILLFOCUS), "cmd 12 " + n(LBN_SETFOCUS), "cmd 12 " + n(LBN_SELCHANGE)}));
        EXPECT_EQ(qorwin::selection(d, 12), 2);
        log().clear();
    });
    user.doubleClickItem(12, 0);
    user.then([&](HWND) {
        EXPECT_EQ(recorder().commands(12), (Strings{n(LBN_SELCHANGE), n(LBN_DBLCLK)}));
        log().clear();
    });
    user.select(14, "bert");
    user.then([&](HWND d) {
        EXPECT_EQ(recorder().commands(14), (Strings{n(CBN_SETFOCUS), n(CBN_DROPDOWN), n(CBN_SELENDOK), n(CBN_CLOSEUP),
                                                     n(CBN_SELCHANGE)}));
        EXPECT_EQ(qorwin::text(d, 14), "Bert");
        EXPECT_EQ(qorwin::selection(d, 14), 1);
        log().clear();
        // A program's text is no user's edit: no notification, the selection stays.
        SetDlgItemTextA(d, 14, "Zoe");
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(qorwin::selection(d, 14), 1);
    });
    user.type(14, "Ed");
    user.then([&](HWND d) {
        EXPECT_EQ(recorder().commands(14), (Strings{n(CBN_EDITUPDATE), n(CBN_EDITCHANGE), n(CBN_EDITUPDATE), n(CBN_EDITCHANGE)}));
        EXPECT_EQ(qorwin::text(d, 14), "Ed");
        EXPECT_EQ(SendDlgItemMessageA(d, 14, CB_GETCURSEL, 0, 0), CB_ERR);  // typed text names no item
        // A drop-down list shows its selected item as its text and takes no typing.
        SendDlgItemMessageA(d, 15, CB_SETCURSEL, 0, 0);
        EXPECT_EQ(qorwin::text(d, 15), "Anna");
        EXPECT_FALSE(qorwin::type(d, 15, "x"));
    });
    user.escape();
    EXPECT_EQ(run(), IDCANCEL);
}

TEST_F(DialogTest, FindStringMatchesBeginningsAndFindStringExactWholeTextsWithoutCase) {
    user.then([](HWND d) {
        for (const char* s : {"Meyer", "meyerhof", "Miller", "MEYER"})
            SendDlgItemMessageA(d, 12, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        auto find = [&](UINT m, int start, const char* s) {
            return SendDlgItemMessageA(d, 12, m, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(s));
        };
        EXPECT_EQ(find(LB_FINDSTRING, -1, "mey"), 0);
        EXPECT_EQ(find(LB_FINDSTRING, 0, "mey"), 1);  // the search starts after the given item
        EXPECT_EQ(find(LB_FINDSTRING, 3, "mey"), 0);  // and wraps round
        EXPECT_EQ(find(LB_FINDSTRING, -1, "mi"), 2);
        EXPECT_EQ(find(LB_FINDSTRING, -1, "x"), LB_ERR);
        EXPECT_EQ(find(LB_FINDSTRINGEXACT, -1, "meyer"), 0);
        EXPECT_EQ(find(LB_FINDSTRINGEXACT, 0, "meyer"), 3);
        EXPECT_EQ(find(LB_FINDSTRINGEXACT, -1, "meye"), LB_ERR);
        EXPECT_EQ(find(LB_SELECTSTRING, -1, "MIL"), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETCURSEL, 0, 0), 2);
        for (const char* s : {"Paris", "par"}) SendDlgItemMessageA(d, 14, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        EXPECT_EQ(SendDlgItemMessageA(d, 14, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("PAR")), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, 14, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("PAR")), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, 14, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("pari")), 0);
        EXPECT_EQ(qorwin::text(d, 14), "Paris");
        // Deleting items keeps the selection on its item, or drops it with the item.
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_DELETESTRING, 0, 0), 3);
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_DELETESTRING, 1, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETCURSEL, 0, 0), LB_ERR);
        char text[16];
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)), 5);
        EXPECT_STREQ(text, "MEYER");
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETTEXT, 5, reinterpret_cast<LPARAM>(text)), LB_ERR);
    });
    user.escape();
    run();
}

TEST_F(DialogTest, MultipleSelectionTogglesItemsAndAnswersTheSelectionMessages) {
    user.then([](HWND d) {
        for (const char* s : {"a", "b", "c", "d"}) SendDlgItemMessageA(d, 13, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_SETCURSEL, 1, 0), LB_ERR);  // not for multiple selection
        EXPECT_EQ(SendDlgItemMessageA(d, 12, LB_GETSELCOUNT, 0, 0), LB_ERR);  // not for single selection
    });
    user.select(13, 1).select(13, 3).select(13, 0).toggle(13, 3);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::selections(d, 13), (std::vector<int>{0, 1}));
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETSELCOUNT, 0, 0), 2);
        int got[4] = {-1, -1, -1, -1};
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(got)), 2);
        EXPECT_EQ(got[0], 0);
        EXPECT_EQ(got[1], 1);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETCARETINDEX, 0, 0), 3);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETSEL, 1, 0), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETSEL, 2, 0), 0);
        // LBS_NOTIFY was not asked for: the user's clicks notified nothing.
        EXPECT_TRUE(recorder().commands(13) == (Strings{n(LBN_SETFOCUS)}));
        SendDlgItemMessageA(d, 13, LB_SETSEL, TRUE, static_cast<LPARAM>(-1));
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETSELCOUNT, 0, 0), 4);
        SendDlgItemMessageA(d, 13, LB_SETSEL, FALSE, 2);
        EXPECT_EQ(qorwin::selections(d, 13), (std::vector<int>{0, 1, 3}));
    });
    user.escape();
    run();
}

TEST_F(DialogTest, TimersFireFromTheDrivenClockOncePerDuePeriod) {
    recorder().hook = [](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) SetTimer(d, 7, 1000, nullptr);
        return 0;
    };
    auto timers = [&] { return std::count(log().begin(), log().end(), "timer 7"); };
    user.then([&](HWND) { EXPECT_EQ(timers(), 0); });  // the clock stands still
    user.wait(1).then([&](HWND) { EXPECT_EQ(timers(), 1); });
    user.wait(30).then([&](HWND) { EXPECT_EQ(timers(), 2); });  // late: once, not thirty times
    user.then([&](HWND d) { EXPECT_TRUE(KillTimer(d, 7)); });
    user.wait(5).then([&](HWND d) {
        EXPECT_EQ(timers(), 2);
        EXPECT_FALSE(KillTimer(d, 7));
    });
    user.escape();
    run();
}

TEST_F(DialogTest, PostedMessagesArriveInOrderWhenTheLoopRuns) {
    recorder().hook = [](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            PostMessageA(d, WM_USER + 101, 1, 2);
            PostMessageA(d, WM_USER + 102, 3, 4);
            PostMessageA(d, WM_COMMAND, MAKEWPARAM(195, 0), 0);
        }
        return 0;
    };
    user.then([&](HWND) {
        EXPECT_EQ(log(), (Strings{"init", "cmd 10 " + n(EN_SETFOCUS), "user " + n(WM_USER + 101) + " 1 2",
                                  "user " + n(WM_USER + 102) + " 3 4", "cmd 195 0"}));
    });
    user.escape();
    run();
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x7A0010), WM_USER, 0, 0));  // no such window (any more)
}

TEST_F(DialogTest, NestedModalDialogsDisableTheOuterAndGiveItsFocusBack) {
    INT_PTR inner = 0;
    recorder().hook = [&](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_COMMAND && LOWORD(w) == 21 && HIWORD(w) == 0) {
            inner = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(901), d, Recorder::proc, 0);
            return TRUE;
        }
        return 0;
    };
    HWND outer = nullptr;
    user.type(11, "kept").then([&](HWND d) {
        outer = d;
        log().clear();
        PostMessageA(d, WM_COMMAND, MAKEWPARAM(21, 0), 0);
    });
    user.then([&](HWND d) {
        // The inner dialog is up: it took the focus, its owner is disabled, and the user acts on it.
        EXPECT_NE(d, outer);
        EXPECT_EQ(qorwin::templateNumber(d), 901);
        EXPECT_FALSE(IsWindowEnabled(outer));
        EXPECT_EQ(GetLastActivePopup(outer), d);
        EXPECT_EQ(log(), (Strings{"init", "cmd 11 " + n(EN_KILLFOCUS), "cmd 20 " + n(EN_SETFOCUS)}));
        log().clear();
        EXPECT_FALSE(qorwin::type(outer, 10, "x"));  // the outer dialog takes no input now
    });
    user.type(20, "inner").enter();
    user.then([&](HWND d) {
        EXPECT_EQ(d, outer);
        EXPECT_EQ(inner, IDOK);
        EXPECT_TRUE(IsWindowEnabled(outer));
        EXPECT_EQ(qorwin::focusId(d), 11);  // back where it was, before the inner dialog went
        const Strings tail(log().end() - 3, log().end());
        EXPECT_EQ(tail, (Strings{"cmd 20 " + n(EN_KILLFOCUS), "cmd 11 " + n(EN_SETFOCUS), "destroy"}));
    });
    user.escape();
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_EQ(qorwin::liveWindows(), 0u);
}

TEST_F(DialogTest, EndDialogDuringInitDialogEndsBeforeTheDialogIsShown) {
    HWND main = qorwin::createWindow("Host", nullptr);
    HWND made = nullptr;
    recorder().hook = [&](HWND d, UINT m, WPARAM, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            made = d;
            EndDialog(d, 42);
        }
        return 0;
    };
    EXPECT_EQ(run(900, main), 42);
    EXPECT_FALSE(IsWindow(made));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
    // Nothing reached the procedure but its creation and destruction; no user action was taken.
    EXPECT_EQ(log(), (Strings{"init", "destroy"}));
    EXPECT_TRUE(profile.ui().failures().empty());
    DestroyWindow(main);
}

TEST_F(DialogTest, TheOwnerIsDisabledWhileItsDialogRunsAndItsPopupIsTheDialog) {
    HWND main = qorwin::createWindow("Host", nullptr);
    user.then([&](HWND d) {
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_EQ(GetLastActivePopup(main), d);
        EXPECT_EQ(GetParent(d), main);
    });
    user.enter();
    EXPECT_EQ(run(900, main), IDOK);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetLastActivePopup(main), main);
    EXPECT_EQ(GetLastActivePopup(reinterpret_cast<HWND>(0x1234)), reinterpret_cast<HWND>(0x1234));
    DestroyWindow(main);
}

TEST_F(DialogTest, AMissingTemplateGivesMinusOne) {
    EXPECT_EQ(run(4242), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, "#900x", nullptr, Recorder::proc, 0), -1);
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(4242), nullptr, Recorder::proc, 0), nullptr);
    EXPECT_TRUE(log().empty());
}

TEST_F(DialogTest, AnIdleDialogWithNothingLeftInTheScriptFailsAndEndsAsCancel) {
    profile.ui().onFailure(nullptr);
    EXPECT_EQ(run(), IDCANCEL);
    ASSERT_EQ(profile.ui().failures().size(), 1u);
    EXPECT_EQ(profile.ui().unexpected(), 1);
    EXPECT_EQ(recorder().commands(IDCANCEL), (Strings{n(BN_CLICKED)}));
    // A dialog that refuses Cancel is ended all the same.
    recorder().hook = [](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR { return m == WM_COMMAND && LOWORD(w) == IDCANCEL; };
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_EQ(profile.ui().failures().size(), 2u);
}

TEST_F(DialogTest, EnterPressesTheFocusedOrDefaultButtonAndEscCancels) {
    user.focus(10).enter();
    EXPECT_EQ(run(), IDOK);
    EXPECT_EQ(recorder().commands(IDOK), (Strings{n(BN_CLICKED)}));
    recorder().clear();
    user.focus(IDCANCEL).enter();  // a focused push button is the one Enter presses
    EXPECT_EQ(run(), IDCANCEL);
    recorder().clear();
    user.then([](HWND d) {
        EnableWindow(GetDlgItem(d, IDOK), FALSE);
        EXPECT_EQ(SendMessageA(d, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    });
    user.enter().close();  // a disabled default button: a beep; the title bar's close is Cancel
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_EQ(profile.ui().beeps(), 1);
    EXPECT_TRUE(recorder().commands(IDOK).empty());
}

TEST_F(DialogTest, AutomaticButtonsCheckThemselvesAndRadioButtonsReportDoubleClicks) {
    user.click(18).click(17).then([](HWND d) {
        EXPECT_TRUE(qorwin::checked(d, 17));
        EXPECT_FALSE(qorwin::checked(d, 18));  // the group keeps one checked
        CheckDlgButton(d, 18, BST_CHECKED);  // a program's check leaves the others alone
        EXPECT_TRUE(qorwin::checked(d, 17));
        CheckRadioButton(d, 17, 18, 18);
        EXPECT_FALSE(qorwin::checked(d, 17));
    });
    user.doubleClick(17).doubleClick(16).then([&](HWND d) {
        EXPECT_EQ(recorder().commands(17), (Strings{n(BN_CLICKED), n(BN_CLICKED), n(BN_DOUBLECLICKED)}));
        // A check box takes a double click as two clicks.
        EXPECT_EQ(recorder().commands(16), (Strings{n(BN_CLICKED), n(BN_CLICKED)}));
        EXPECT_FALSE(qorwin::checked(d, 16));
        EXPECT_EQ(IsDlgButtonChecked(d, 17), BST_CHECKED);
    });
    user.click(21);  // a static with SS_NOTIFY reports a click (STN_CLICKED) and takes no focus
    user.then([&](HWND d) {
        EXPECT_EQ(recorder().commands(21), (Strings{"0"}));
        EXPECT_EQ(qorwin::focusId(d), 16);
    });
    user.escape();
    run();
}

TEST_F(DialogTest, SpinControlsKeepTheirRangeAndNotifyEachStep) {
    user.then([](HWND d) {
        SendDlgItemMessageA(d, 19, SPM_SETRANGE, 0, MAKELPARAM(1, 3));
        SendDlgItemMessageA(d, 19, SPM_SETPOS, 2, 0);
        EXPECT_EQ(SendDlgItemMessageA(d, 19, SPM_GETRANGE, 0, 0), MAKELONG(1, 3));
    });
    user.spin(19, 3).then([&](HWND d) {
        EXPECT_EQ(SendDlgItemMessageA(d, 19, SPM_GETPOS, 0, 0), 3);
        EXPECT_EQ(recorder().commands(19), (Strings{n(SPN_CHANGE)}));  // one step, then the top
        EXPECT_EQ(profile.ui().beeps(), 2);
        EXPECT_EQ(qorwin::focusId(d), 10);  // a spin takes no focus
    });
    user.escape();
    run();
}

TEST_F(DialogTest, TheTemplateFontIsAttachedToEveryControlAndDeletedWithTheDialog) {
    const std::size_t before = qorwin::liveGdiObjects();
    user.then([&](HWND d) {
        HFONT f = reinterpret_cast<HFONT>(SendDlgItemMessageA(d, 10, WM_GETFONT, 0, 0));
        qorwin::FontInfo info;
        ASSERT_TRUE(qorwin::fontInfo(f, &info));
        EXPECT_EQ(info.face, "MS Sans Serif");
        EXPECT_EQ(info.height, -10);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(d, WM_GETFONT, 0, 0)), f);
        EXPECT_EQ(qorwin::liveGdiObjects(), before + 1);
        HFONT mine = CreateFontA(-12, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Courier");
        SendDlgItemMessageA(d, 11, WM_SETFONT, reinterpret_cast<WPARAM>(mine), FALSE);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(d, 11, WM_GETFONT, 0, 0)), mine);
        EXPECT_TRUE(DeleteObject(mine));
    });
    user.escape();
    run();
    EXPECT_EQ(qorwin::liveGdiObjects(), before);
}

TEST_F(DialogTest, ModelessDialogsLiveUntilDestroyedAndTakeTheirTimersAlong) {
    HWND main = qorwin::createWindow("Host", nullptr);
    HWND d = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(901), main, Recorder::proc, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(IsWindowEnabled(main));  // a modeless dialog leaves its owner alone
    EXPECT_FALSE(IsWindowVisible(d));    // its template has no WS_VISIBLE
    ShowWindow(d, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), d);
    SetTimer(d, 3, 500, nullptr);
    qorul::advanceClock(1);
    qorwin::pump();
    EXPECT_EQ(std::count(log().begin(), log().end(), "timer 3"), 1);
    PostMessageA(d, WM_USER + 100, 0, 0);
    EXPECT_TRUE(DestroyWindow(d));
    EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(GetActiveWindow(), main);
    qorul::advanceClock(5);
    qorwin::pump();  // neither the timer nor the posted message reaches a destroyed window
    EXPECT_EQ(std::count(log().begin(), log().end(), "timer 3"), 1);
    EXPECT_EQ(log().back(), "destroy");
    DestroyWindow(main);
    EXPECT_EQ(qorwin::liveWindows(), 0u);
}

TEST_F(DialogTest, ThePictureDrawsTheControlsAndListsTheirState) {
    user.then([](HWND d) {
        SetDlgItemTextA(d, 11, "hello");
        SendDlgItemMessageA(d, 12, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first"));
        SendDlgItemMessageA(d, 12, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("second"));
        SendDlgItemMessageA(d, 12, LB_SETCURSEL, 1, 0);
        EnableWindow(GetDlgItem(d, IDCANCEL), FALSE);
        CheckDlgButton(d, 16, BST_CHECKED);
        const std::string p = qorwin::picture(d);
        EXPECT_EQ(p.rfind("+-Test ", 0), 0u) << p;
        EXPECT_NE(p.find("[hello"), std::string::npos) << p;
        EXPECT_NE(p.find("|*second"), std::string::npos) << p;
        EXPECT_NE(p.find("[x] Check"), std::string::npos) << p;
        EXPECT_NE(p.find("[>OK<]"), std::string::npos) << p;
        EXPECT_NE(p.find("~"), std::string::npos) << p;
        EXPECT_NE(p.find("  11 edit \"hello\"\n"), std::string::npos) << p;
        EXPECT_NE(p.find("  10 edit \"\" focus\n"), std::string::npos) << p;
        EXPECT_NE(p.find("  12 list [first | second*]\n"), std::string::npos) << p;
        EXPECT_NE(p.find("  2 button \"Cancel\" disabled\n"), std::string::npos) << p;
        EXPECT_NE(p.find("  16 check \"Check\" checked\n"), std::string::npos) << p;
    });
    user.close();  // Cancel is disabled: the title bar's close only beeps
    user.then([](HWND d) { EndDialog(d, 5); });
    EXPECT_EQ(run(), 5);
}

TEST_F(DialogTest, DialogHelpersPaintCentreAndRegisterTheActiveWindow) {
    recorder().hook = [](HWND d, UINT m, WPARAM w, LPARAM l) -> INT_PTR {
        if (m == WM_INITDIALOG) UX_initdialog(0, d);
        if (m == WM_PAINT) return UX_paintdialog(0, d, 20, 22);
        if (m == WM_ACTIVATE) UX_activate(0, d, w, 99);
        return UX_defdialog(d, m, w, l);
    };
    user.then([](HWND d) {
        int16_t a = 0, b = 0;
        UX_lastdecoration(d, &a, &b);  // the dialog was painted once it was shown
        EXPECT_EQ(a, 20);
        EXPECT_EQ(b, 22);
        RECT r{};
        GetWindowRect(d, &r);
        EXPECT_EQ((r.left + r.right) / 2, 512);  // centred on the screen (no owner)
        HWND active = nullptr;
        UL_getwindow(0, 99, &active);
        EXPECT_EQ(active, d);
    });
    user.escape();
    run();
}

TEST(Wsprintf, FormatsAsWin32AndStopsAt1024Bytes) {
    char out[2048];
    EXPECT_EQ(wsprintfA(out, "%d recipients, %s", 3, "sent"), 18);
    EXPECT_STREQ(out, "3 recipients, sent");
    wsprintfA(out, "[%-5s|%05d|%x|%X|%lu|%c|%%|%.2s]", "ab", 42, 255, 255, 7ul, 'z', "xyz");
    EXPECT_STREQ(out, "[ab   |00042|ff|FF|7|z|%|xy]");
    std::string big(1500, 'a');
    EXPECT_EQ(wsprintfA(out, "%s", big.c_str()), 1023);
    EXPECT_EQ(std::strlen(out), 1023u);
}

TEST(GetDlgItemInt, ReadsLeadingDigitsAndRefusesWhatIsNoNumber) {
    qortest::TempProfile profile;
    qortest::writeFile(profile.path("t.rc"), qortest::testScript());
    setenv("QORLANG_PATH", profile.path("t.rc").c_str(), 1);
    qorlang::reset();
    HWND d = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(901), nullptr, qortest::Recorder::proc, 0);
    ASSERT_NE(d, nullptr);
    BOOL ok = FALSE;
    auto read = [&](const char* text, BOOL isSigned) {
        SetDlgItemTextA(d, 20, text);
        return GetDlgItemInt(d, 20, &ok, isSigned);
    };
    EXPECT_EQ(read("  42", FALSE), 42u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read("12ab", FALSE), 12u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(static_cast<int>(read("-7", TRUE)), -7);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read("-7", FALSE), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(read("", FALSE), 0u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(read("99999999999", FALSE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemInt(d, 20, static_cast<UINT>(-15), TRUE);
    char buf[8];
    GetDlgItemTextA(d, 20, buf, sizeof buf);
    EXPECT_STREQ(buf, "-15");
    DestroyWindow(d);
    unsetenv("QORLANG_PATH");
    qorlang::reset();
}

}  // namespace
