// The calling card setup driven through its dialog as a user would, and its effect on the
// parameter record and "sf.dat".
#include <gtest/gtest.h>

#include <cstring>

#include "../win32/window_fixture.h"
#include "ccard/ccard.h"
#include "frame/frame.h"
#include "qorsf.h"
#include "qorux.h"

namespace {

using qorsf::CC_FIRSTAFTER;
using qorsf::CC_FIRSTBEFORE;
using qorsf::CC_FIRSTTEXT;
using qorsf::CC_SECONDAFTER;
using qorsf::CC_SECONDBEFORE;
using qorsf::CC_SECONDTEXT;

class CcardTest : public ::testing::Test {
protected:
    void SetUp() override {
        qorsf::frame_reset();
        qortest::failOnUiFailure(profile.ui());
        ASSERT_EQ(SF_open(kHost), 0);
    }
    void TearDown() override {
        SF_close(kHost);
        qorsf::frame_reset();
        qorwin::resetWindows();
    }
    CC_SETUP& card() { return qorsf::params()->ccard; }
    void setCard(const char* first, const char* second, uint32_t firstBefore, uint32_t secondBefore) {
        UL_strcopy(card().first, first);
        UL_strcopy(card().second, second);
        card().firstbefore = firstBefore;
        card().secondbefore = secondBefore;
    }

    static constexpr uint32_t kHost = 0;
    qortest::TempProfile profile;
    qorwin::Script user{profile.ui()};
};

TEST_F(CcardTest, OpensWithTheStoredCardAndLimitsBothTexts) {
    setCard("1800", "4711", 1, 0);
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2076);
        EXPECT_EQ(qorwin::text(d, CC_FIRSTTEXT), "1800");
        EXPECT_EQ(qorwin::text(d, CC_SECONDTEXT), "4711");
        EXPECT_TRUE(qorwin::checked(d, CC_FIRSTBEFORE));
        EXPECT_TRUE(qorwin::checked(d, CC_SECONDAFTER));
        EXPECT_TRUE(qorwin::enabled(d, CC_FIRSTAFTER));
        EXPECT_TRUE(qorwin::enabled(d, CC_SECONDBEFORE));
        EXPECT_EQ(qorwin::limit(d, CC_FIRSTTEXT), 25u);
        EXPECT_EQ(qorwin::limit(d, CC_SECONDTEXT), 25u);
        EXPECT_EQ(qorwin::focusId(d), CC_FIRSTTEXT);
        int16_t a = 0, b = 0;
        UX_lastdecoration(d, &a, &b);  // painted with the decoration 20, 22
        EXPECT_EQ(a, 20);
        EXPECT_EQ(b, 22);
    });
    user.escape();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), SF_CANCELLED);
}

TEST_F(CcardTest, AStoredFirstAfterSecondBeforeShowsBothAfterWithSecondBeforeDisabled) {
    setCard("a", "b", 0, 1);  // a combination the dialog never stores
    user.then([](HWND d) {
        EXPECT_TRUE(qorwin::checked(d, CC_FIRSTAFTER));
        EXPECT_TRUE(qorwin::checked(d, CC_SECONDAFTER));
        EXPECT_FALSE(qorwin::checked(d, CC_SECONDBEFORE));
        EXPECT_FALSE(qorwin::enabled(d, CC_SECONDBEFORE));
        EXPECT_TRUE(qorwin::enabled(d, CC_FIRSTAFTER));
    });
    user.enter();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), 0);
    EXPECT_EQ(uint32_t{card().firstbefore}, 0u);
    EXPECT_EQ(uint32_t{card().secondbefore}, 0u);
}

TEST_F(CcardTest, TheRadioButtonsKeepTheFirstTextNeverAfterWhileTheSecondIsBefore) {
    setCard("a", "b", 1, 0);
    user.click(CC_SECONDBEFORE).then([](HWND d) {
        EXPECT_TRUE(qorwin::checked(d, CC_FIRSTBEFORE));
        EXPECT_FALSE(qorwin::enabled(d, CC_FIRSTAFTER));
        // A disabled button cannot be clicked by the user.
        EXPECT_FALSE(qorwin::click(d, CC_FIRSTAFTER));
    });
    user.click(CC_SECONDAFTER).then([](HWND d) { EXPECT_TRUE(qorwin::enabled(d, CC_FIRSTAFTER)); });
    user.click(CC_FIRSTAFTER).then([](HWND d) {
        EXPECT_TRUE(qorwin::checked(d, CC_SECONDAFTER));
        EXPECT_FALSE(qorwin::enabled(d, CC_SECONDBEFORE));
    });
    user.click(CC_FIRSTBEFORE).then([](HWND d) {
        EXPECT_TRUE(qorwin::enabled(d, CC_SECONDBEFORE));
        EXPECT_TRUE(qorwin::checked(d, CC_SECONDAFTER));  // the second keeps its position
    });
    user.click(CC_SECONDBEFORE).click(IDOK);
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), 0);
    EXPECT_EQ(uint32_t{card().firstbefore}, 1u);
    EXPECT_EQ(uint32_t{card().secondbefore}, 1u);
}

TEST_F(CcardTest, OkWithAnEmptySecondTextIsRefusedAndTheDialogStays) {
    setCard("old first", "old second", 1, 1);
    user.type(CC_FIRSTTEXT, "new first").erase(CC_SECONDTEXT).click(CC_SECONDAFTER).click(IDOK);
    user.then([&](HWND d) {
        // Still up, with the message shown; the flags are untouched, the first text is taken.
        EXPECT_EQ(qorwin::templateNumber(d), 2076);
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        const qorui::Shown& box = profile.ui().shown()[0];
        EXPECT_EQ(box.text, "Please enter the second calling card text: it cannot be empty.");
        EXPECT_EQ(box.caption, "Send Fax");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONSTOP));
        EXPECT_STREQ(card().first, "new first");
        EXPECT_STREQ(card().second, "old second");  // a refused text never reaches the card
        EXPECT_EQ(uint32_t{card().firstbefore}, 1u);
        EXPECT_EQ(uint32_t{card().secondbefore}, 1u);
    });
    user.escape();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), SF_CANCELLED);
    EXPECT_EQ(uint32_t{card().secondbefore}, 1u);
    EXPECT_STREQ(card().second, "old second");
}

TEST_F(CcardTest, TextsLongerThan25CharactersCannotBeTyped) {
    user.type(CC_FIRSTTEXT, "12345678901234567890123456789").type(CC_SECONDTEXT, "abcdefghijklmnopqrstuvwxyzABC");
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, CC_FIRSTTEXT), "1234567890123456789012345"); });
    user.enter();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), 0);
    EXPECT_STREQ(card().first, "1234567890123456789012345");
    EXPECT_STREQ(card().second, "abcdefghijklmnopqrstuvwxy");
}

TEST_F(CcardTest, OkStoresTheCardWhichReachesSfDatAtClose) {
    qorsf::params()->ccardinuse = 0;
    setCard("", "x", 1, 1);
    user.type(CC_FIRSTTEXT, "*67").type(CC_SECONDTEXT, "#12").click(CC_FIRSTBEFORE).click(CC_SECONDAFTER).enter();
    EXPECT_EQ(::SF_setupccard(kHost, nullptr), 0);  // the exported entry point
    ASSERT_EQ(SF_close(kHost), 0);
    const std::string dat = qortest::readFile(profile.path("data/sf.dat"));
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(dat.substr(0, 4), std::string(4, '\0'));  // the in-use flag is the send dialog's
    EXPECT_EQ(std::string(dat.c_str() + 4), "*67");
    EXPECT_EQ(std::string(dat.c_str() + 30), "#12");
    EXPECT_EQ(dat.substr(56, 4), std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(dat.substr(60, 4), std::string(4, '\0'));
    ASSERT_EQ(SF_open(kHost), 0);  // and back
    EXPECT_STREQ(card().first, "*67");
    EXPECT_EQ(uint32_t{card().secondbefore}, 0u);
}

TEST_F(CcardTest, CancelChangesNothingAndHelpShowsTopic609) {
    setCard("keep", "this", 1, 0);
    user.type(CC_FIRSTTEXT, "changed").click(CC_SECONDBEFORE).click(4).click(IDCANCEL);
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), SF_CANCELLED);
    EXPECT_STREQ(card().first, "keep");
    EXPECT_EQ(uint32_t{card().secondbefore}, 0u);
    EXPECT_EQ(profile.ui().helps(), (std::vector<int>{609}));
}

TEST_F(CcardTest, TheOwnerWaitsWhileTheDialogRuns) {
    HWND main = qorwin::createWindow("Host", nullptr);
    user.then([main](HWND d) {
        EXPECT_FALSE(IsWindowEnabled(main));
        EXPECT_EQ(GetParent(d), main);
    });
    user.escape();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, main), SF_CANCELLED);
    EXPECT_TRUE(IsWindowEnabled(main));
    DestroyWindow(main);
}

TEST_F(CcardTest, AMissingTemplateGives13071AndAClosedLibrary13002) {
    qortest::writeFile(profile.path("empty.rc"), "STRINGTABLE\nBEGIN\n    100, \"QOR Fax\"\nEND\n");
    setenv("QORLANG_PATH", profile.path("empty.rc").c_str(), 1);
    qorlang::reset();
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), SF_NODIALOG);
    unsetenv("QORLANG_PATH");
    qorlang::reset();
    SF_close(kHost);
    EXPECT_EQ(qorsf::SF_setupccard(kHost, nullptr), SF_WRONGSTATE);
    ASSERT_EQ(SF_open(kHost), 0);
}

}  // namespace
