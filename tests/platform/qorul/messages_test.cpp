#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qorui.h"
#include "qorul.h"
#include "qorul_control.h"
#include "testprofile.h"

namespace {

TEST(Texts, BoundedCopyAndLanguageTexts) {
    char small[5];
    EXPECT_EQ(UL_strcopy(small, "abcd"), 0);
    EXPECT_STREQ(small, "abcd");
    EXPECT_EQ(UL_strcopy(small, "abcdef"), UL_E_TOOLONG);
    EXPECT_STREQ(small, "abcd");
    EXPECT_EQ(UL_strcopy(small, 0, "x"), UL_E_BADARG);

    qortest::TempProfile tp;
    char buf[80];
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), 0);
    EXPECT_STREQ(buf, "QOR Fax");
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 2200), 0);
    EXPECT_STREQ(buf, "FineResolution");
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 1), UL_E_NOTEXT);
    EXPECT_STREQ(buf, "");
    char tiny[4];
    EXPECT_EQ(UL_loadstring(0, tiny, "QORLANG", 100), 0);  // cut to fit
    EXPECT_STREQ(tiny, "QOR");
}

TEST(Texts, EveryStatusOfTheLibraryHasItsText) {
    qortest::TempProfile tp;
    std::vector<int> codes = {13000, 13001, 13002, 13071, 13102, 20201, 20202, 20211, 20221, 20222, 20231, 20232,
                              20235, 20236, 20251, 20252, 20270, 20271, 20310, 20450, 20800, 20801, 73};
    for (int c = 20213; c <= 20220; ++c) codes.push_back(c);
    for (int c = 20811; c <= 20824; ++c) codes.push_back(c);
    for (int c = 20910; c <= 20915; ++c) codes.push_back(c);
    for (int n : {1, 2, 3, 4, 5, 7, 8, 9, 12, 16, 17, 18, 19, 20, 21, 101, 102}) codes.push_back(-n);
    for (int n = 22; n <= 31; ++n) codes.push_back(-n);
    for (int c = UL_E_NOMEM; c <= UL_E_NOTIME; ++c) {
        char t[8];
        if (UL_loadstring(0, t, "QORLANG", static_cast<uint16_t>(c)) == 0) codes.push_back(c);
    }
    for (int c : {UL_E_NOMEM, UL_E_BADHANDLE, UL_E_NOTLOCKED, UL_E_BADSIZE, UL_E_NOTEXT, UL_E_LANGFILE,
                  UL_E_BADARG, UL_E_TOOLONG, UL_E_PATHLONG, UL_E_NOPATH, UL_E_PROFILE, UL_E_NOVALUE,
                  UL_E_NOWINDOW, UL_E_NOAREA, UL_E_OPEN, UL_E_CREATE, UL_E_READ, UL_E_WRITE, UL_E_SEEK,
                  UL_E_CLOSE, UL_E_BADFILE, UL_E_COPY, UL_E_NOTFOUND, UL_E_DELETE, UL_E_LOCKED, UL_E_NOTIME})
        codes.push_back(c);
    for (int c : codes) {
        char buf[256];
        ASSERT_EQ(UL_errortext(0, static_cast<int16_t>(c), buf, sizeof buf), 0);
        EXPECT_NE(std::string(buf).rfind("status ", 0), 0u) << "no text for " << c;
    }
    // The formats hold exactly one %s.
    for (uint16_t c : {20221, 20222, 20800, 20801, 13102, 20271}) {
        char buf[256];
        ASSERT_EQ(UL_loadstring(0, buf, "QORLANG", c), 0);
        std::string s = buf;
        auto at = s.find("%s");
        ASSERT_NE(at, std::string::npos) << c;
        EXPECT_EQ(s.find("%s", at + 1), std::string::npos) << c;
    }
    char buf[64];
    EXPECT_EQ(UL_errortext(0, 12345, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "status 12345");
}

TEST(Messages, ShownThroughTheDriver) {
    qortest::TempProfile tp;
    auto& ui = tp.ui();
    EXPECT_EQ(UL_showstatus(0, 13000), 0);
    EXPECT_TRUE(ui.shown().empty());
    EXPECT_EQ(UL_showstatus(0, 20251), 0);
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].caption, "QOR Fax");
    EXPECT_EQ(ui.shown()[0].text, "The dial string is too long (50 characters or more).");
    EXPECT_EQ(ui.beeps(), 1);

    // The argument is text, never a format: its % signs stand as they are.
    EXPECT_EQ(UL_reporterror(0, 20221, "100% %s %n"), 0);
    EXPECT_EQ(ui.shown().back().text, "There is no name or group \"100% %s %n\" in the phone book.");

    EXPECT_EQ(UL_message(0, "QORLANG", 100), 0);
    EXPECT_EQ(ui.shown().back().style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));

    int16_t answer = -1;
    ui.answer(IDYES);
    EXPECT_EQ(UL_askyesno(0, "QORLANG", 100, &answer), 0);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(ui.shown().back().style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    ui.answer(IDNO);
    EXPECT_EQ(UL_askyesno(0, "QORLANG", 100, &answer), 0);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(ui.unexpected(), 0);
    // Nothing scripted: counted as unexpected, answered with cancel (= not yes).
    EXPECT_EQ(UL_askyesno(0, "QORLANG", 100, &answer), 0);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(ui.shown().back().answer, IDCANCEL);
    EXPECT_EQ(ui.unexpected(), 1);
    EXPECT_EQ(UL_askyesno(0, "QORLANG", 1, &answer), UL_E_NOTEXT);

    std::string s = "start";
    ui.answerString("typed");
    EXPECT_TRUE(ui.askString(nullptr, "p", "t", s));
    EXPECT_EQ(s, "typed");
    ui.answerCancel();
    EXPECT_FALSE(ui.chooseFile(nullptr, "*.LST", "t", 1, s));
    EXPECT_TRUE(ui.scriptEmpty());
    ui.clear();
    EXPECT_EQ(ui.unexpected(), 0);
}

TEST(Log, ErrorLogAlwaysTraceOnlyWithALevel) {
    qortest::TempProfile tp;
    UL_errorlog(0, "SF_readdata", UL_E_READ);
    EXPECT_EQ(qortest::readFile(tp.path("error.log")),
              "2026-03-14 09:26:53 SF_readdata 30032 A file cannot be read.\n");
    UL_tracetext(0, "label", "text");
    EXPECT_FALSE(qortest::fileExists(tp.path("trace.log")));

    qortest::writeFile(tp.path("qorfax.ini"), "[TRACE]\nLevel=1\n");
    qorul::reset();
    EXPECT_EQ(UL_tracelevel(), 1);
    qorul::advanceClock(2);
    UL_tracetext(0, "label", "text");
    UL_tracevalue(0, "value", -5);
    UL_trace(0, "plain");
    EXPECT_EQ(qortest::readFile(tp.path("trace.log")),
              "2026-03-14 09:26:55 label text\n2026-03-14 09:26:55 value -5\n2026-03-14 09:26:55 plain\n");
}

TEST(Clock, NowAndFormats) {
    qortest::TempProfile tp;
    SF_DATETIME now{};
    UL_now(&now);
    EXPECT_EQ(now.year, 2026);
    EXPECT_EQ(now.month, 3);
    EXPECT_EQ(now.day, 14);
    EXPECT_EQ(now.hour, 9);
    qorul::advanceClock(15 * 3600);  // past midnight
    UL_now(&now);
    char buf[32];
    EXPECT_EQ(UL_fmtdatetime(0, &now, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "2026-03-15 00:26:53");
    EXPECT_EQ(UL_fmtdatetime2(0, &now, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "20260315002653");
    char small[8];
    EXPECT_EQ(UL_fmtdatetime2(0, &now, small, sizeof small), UL_E_TOOLONG);
    EXPECT_STREQ(small, "2026031");
}

TEST(Windows, RegisterGetAndYield) {
    qortest::TempProfile tp;
    HWND w = nullptr;
    EXPECT_EQ(UL_getwindow(0, 101, &w), 0);
    EXPECT_EQ(w, nullptr);
    HWND fake = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(UL_registerwindow(0, 101, fake), 0);
    EXPECT_EQ(UL_getwindow(0, 101, &w), 0);
    EXPECT_EQ(w, fake);
    int runs = 0;
    qorul::setYieldHook([&] { ++runs; });
    UL_yield(0);
    UL_yield(0);
    EXPECT_EQ(runs, 2);
    qorul::reset();
    UL_yield(0);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(UL_getwindow(0, 101, &w), 0);
    EXPECT_EQ(w, nullptr);
}

}  // namespace
