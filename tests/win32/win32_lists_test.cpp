// Win32 details of lists, combo boxes and buttons that dialog procedures rely on: the order
// of sorted texts, what the find and select messages do with an empty text or a bad index,
// the caret and anchor of multiple-selection lists, a combo box losing the focus, and clicks
// on a disabled button.
#include <gtest/gtest.h>

#include "window_fixture.h"

namespace {

using qortest::DialogTest;
using Strings = std::vector<std::string>;

std::string n(int v) { return std::to_string(v); }

LRESULT add(HWND d, int id, UINT m, const char* text) {
    return SendDlgItemMessageA(d, id, m, 0, reinterpret_cast<LPARAM>(text));
}

TEST_F(DialogTest, SortedListsPutEqualTextsFirstAndSortAsLstrcmpi) {
    user.then([&](HWND d) {
        add(d, 30, LB_ADDSTRING, "A");
        EXPECT_EQ(add(d, 30, LB_ADDSTRING, "a"), 0);  // before the equal one already there
        add(d, 30, LB_ADDSTRING, "b");
        EXPECT_EQ(add(d, 30, LB_ADDSTRING, "B"), 2);
        EXPECT_EQ(qorwin::items(d, 30), (Strings{"a", "A", "B", "b"}));
        // Punctuation before digits before letters; '_' and '[' are not between the cases.
        SendDlgItemMessageA(d, 30, LB_RESETCONTENT, 0, 0);
        for (const char* t : {"zeta", "_under", "9lives", "[x]", "Apple", "co-op", "coop", "\xC9mile", "Emil"})
            add(d, 30, LB_ADDSTRING, t);
        EXPECT_EQ(qorwin::items(d, 30),
                  (Strings{"[x]", "_under", "9lives", "Apple", "coop", "co-op", "Emil", "\xC9mile", "zeta"}));
        // The sorted drop-down list of a combo box follows the same order.
        add(d, 31, CB_ADDSTRING, "b");
        add(d, 31, CB_ADDSTRING, "A");
        add(d, 31, CB_ADDSTRING, "a");
        add(d, 31, CB_ADDSTRING, "B");
        EXPECT_EQ(qorwin::items(d, 31), (Strings{"a", "A", "B", "b"}));
    });
    user.escape();
    run(902);
}

TEST_F(DialogTest, EmptyTextsFindNothingAndBadIndexesKeepTheSelection) {
    user.then([&](HWND d) {
        for (const char* t : {"alpha", "beta", "gamma"}) {
            add(d, 12, LB_ADDSTRING, t);
            add(d, 14, CB_ADDSTRING, t);
        }
        const auto msg = [&](int id, UINT m, WPARAM w, const char* t) {
            return SendDlgItemMessageA(d, id, m, w, reinterpret_cast<LPARAM>(t));
        };
        EXPECT_EQ(msg(12, LB_SETCURSEL, 1, nullptr), 1);
        EXPECT_EQ(msg(12, LB_FINDSTRING, static_cast<WPARAM>(-1), ""), LB_ERR);
        EXPECT_EQ(msg(12, LB_SELECTSTRING, static_cast<WPARAM>(-1), ""), LB_ERR);
        EXPECT_EQ(msg(12, LB_GETCURSEL, 0, nullptr), 1);
        EXPECT_EQ(msg(14, CB_SETCURSEL, 2, nullptr), 2);
        EXPECT_EQ(msg(14, CB_FINDSTRING, static_cast<WPARAM>(-1), ""), CB_ERR);
        EXPECT_EQ(msg(14, CB_SELECTSTRING, static_cast<WPARAM>(-1), ""), CB_ERR);
        EXPECT_EQ(msg(14, CB_GETCURSEL, 0, nullptr), 2);
        // An index past the end is refused and the selection stays; -1 removes it.
        EXPECT_EQ(msg(12, LB_SETCURSEL, 3, nullptr), LB_ERR);
        EXPECT_EQ(msg(12, LB_SETCURSEL, static_cast<WPARAM>(-5), nullptr), LB_ERR);
        EXPECT_EQ(msg(12, LB_GETCURSEL, 0, nullptr), 1);
        EXPECT_EQ(msg(12, LB_SETCURSEL, static_cast<WPARAM>(-1), nullptr), LB_ERR);
        EXPECT_EQ(msg(12, LB_GETCURSEL, 0, nullptr), LB_ERR);
    });
    user.escape();
    run();
}

TEST_F(DialogTest, SetSelOnAMultipleSelectionListMovesCaretAndAnchor) {
    user.then([&](HWND d) {
        for (const char* t : {"a", "b", "c", "d"}) add(d, 13, LB_ADDSTRING, t);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_SETSEL, TRUE, 2), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETCARETINDEX, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETANCHORINDEX, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_SETSEL, FALSE, 3), 0);  // clearing moves them too
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETCARETINDEX, 0, 0), 3);
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETANCHORINDEX, 0, 0), 3);
        EXPECT_EQ(qorwin::selections(d, 13), (std::vector<int>{2}));
        SendDlgItemMessageA(d, 13, LB_SETSEL, TRUE, static_cast<LPARAM>(-1));  // all: caret stays
        EXPECT_EQ(SendDlgItemMessageA(d, 13, LB_GETCARETINDEX, 0, 0), 3);
    });
    user.escape();
    run();
}

TEST_F(DialogTest, AComboBoxLosingTheFocusEndsItsSelectionBeforeKillFocus) {
    user.then([&](HWND d) { add(d, 14, CB_ADDSTRING, "one"); });
    user.focus(14);
    user.then([&](HWND d) {
        SendDlgItemMessageA(d, 14, CB_SHOWDROPDOWN, TRUE, 0);
        log().clear();
    });
    user.focus(10);
    user.then([&](HWND) {
        EXPECT_EQ(recorder().commands(14), (Strings{n(CBN_SELENDCANCEL), n(CBN_CLOSEUP), n(CBN_KILLFOCUS)}));
        log().clear();
    });
    user.focus(15).focus(10);  // closed drop-down list: no close-up
    user.then([&](HWND) {
        EXPECT_EQ(recorder().commands(15), (Strings{n(CBN_SETFOCUS), n(CBN_SELENDCANCEL), n(CBN_KILLFOCUS)}));
    });
    user.escape();
    run();
}

TEST_F(DialogTest, BmClickOnADisabledButtonSendsNothing) {
    user.then([&](HWND d) {
        EnableWindow(GetDlgItem(d, 16), FALSE);
        log().clear();
        SendDlgItemMessageA(d, 16, BM_CLICK, 0, 0);
        EXPECT_TRUE(log().empty());
        EXPECT_FALSE(qorwin::checked(d, 16));
        EnableWindow(GetDlgItem(d, 16), TRUE);
        SendDlgItemMessageA(d, 16, BM_CLICK, 0, 0);
        EXPECT_EQ(recorder().commands(16), (Strings{n(BN_CLICKED)}));
        EXPECT_TRUE(qorwin::checked(d, 16));
    });
    user.escape();
    run();
}

}  // namespace
