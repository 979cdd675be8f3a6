// The cover page dialog driven as a user drives it: choosing a template or logos, typing the
// texts and a memo over several lines, importing and saving memo files, previewing, OK and
// Cancel, and the cover sheet record it hands back, byte by byte.
#include <cstring>
#include <string>
#include <vector>

#include "../win32/window_fixture.h"
#include "cover/askcover.h"
#include "covertest.h"
#include "qorlib1.h"
#include "qorux.h"
#include "qorwingdi.h"

namespace qortest {
namespace {

using qorsf::CV_ACCEPT;
using qorsf::CV_CLEARMEMO;
using qorsf::CV_FOOTERLOGO;
using qorsf::CV_HEADERLOGO;
using qorsf::CV_IMPORTMEMO;
using qorsf::CV_MEMO;
using qorsf::CV_PREVIEW;
using qorsf::CV_RECIPIENT1;
using qorsf::CV_RECIPIENT4;
using qorsf::CV_RECIPIENTS;
using qorsf::CV_SAVEMEMO;
using qorsf::CV_SENDERA;
using qorsf::CV_SENDERB;
using qorsf::CV_TEMPLATES;
using qorsf::frame;
using qorsf::params;
using qorsf::SF_askcover;
using qorsf::SF_setcovermode;

class AskCoverTest : public CoverTest {
protected:
    void SetUp() override {
        CoverTest::SetUp();
        failOnUiFailure(profile.ui());
        cover = sheet();
    }
    void TearDown() override {
        if (cover.memo) UL_freehandle(cover.memo);
        SF_setcovermode(0);
        qorwin::resetWindows();
        CoverTest::TearDown();
    }
    // Runs the dialog on `cover`; the status, and `cancelled` as it came back.
    int16_t run() {
        cancelled = 99;
        return SF_askcover(kHost, &cover, &cancelled);
    }
    std::string memoOf(uint32_t handle) {
        if (!handle) return "<none>";
        void* p = nullptr;
        EXPECT_EQ(UL_lockhandle(handle, &p), 0);
        std::string s(static_cast<const char*>(p));
        UL_unlockhandle(handle);
        return s;
    }
    // A fax file of one page in the data directory, named as a logo.
    void makeLogo(const std::string& name, const std::string& text) {
        const std::string src = profile.path("logo-source.txt");
        writeFile(src, text + "\n");
        const std::string base = profile.path("logo-pages");
        int16_t pages = 0;
        ASSERT_EQ(L1_texttofax(kHost, src.c_str(), base.c_str(), nullptr, &pages, 0), 0);
        ASSERT_EQ(std::rename((base + ".001").c_str(), profile.path("data/" + name).c_str()), 0);
    }
    std::string bytesAt(std::size_t offset, std::size_t width) const {
        const char* p = reinterpret_cast<const char*>(&cover) + offset;
        return std::string(p, ::strnlen(p, width));
    }

    COVER_SHEET cover{};
    uint16_t cancelled = 0;
    qorwin::Script user{profile.ui()};
};

TEST_F(AskCoverTest, OpensWithTheTemplatesLogosAndSenderTextsAndCancelKeepsTheRecord) {
    put("GENERAL", "SenderName", "Ada Lovelace");
    ASSERT_EQ(SF_close(kHost), 0);
    ASSERT_EQ(SF_open(kHost), 0);
    UL_strcopy(cover.recipient1, "Charles Babbage");
    UL_strcopy(cover.recipient4, "0201-555-0100");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2027);
        const std::vector<std::string> templates = qorwin::items(d, CV_TEMPLATES);
        ASSERT_EQ(templates.size(), 4u);
        EXPECT_EQ(templates[0], "(none: a text cover)");
        EXPECT_EQ(templates[1].rfind("Classic", 0), 0u) << templates[1];
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 0);
        EXPECT_EQ(qorwin::items(d, CV_HEADERLOGO), std::vector<std::string>{"(no header)"});
        EXPECT_EQ(qorwin::items(d, CV_FOOTERLOGO), std::vector<std::string>{"(no footer)"});
        EXPECT_TRUE(qorwin::enabled(d, CV_HEADERLOGO));
        EXPECT_EQ(qorwin::text(d, CV_SENDERA), "Ada Lovelace");
        EXPECT_EQ(qorwin::text(d, CV_RECIPIENT1), "Charles Babbage");
        EXPECT_EQ(qorwin::text(d, CV_RECIPIENT4), "0201-555-0100");
        EXPECT_EQ(qorwin::limit(d, CV_SENDERA), 50u);  // the text cover's fields are 52 wide
        EXPECT_EQ(qorwin::limit(d, CV_MEMO), 2048u);
        EXPECT_EQ(qorwin::focusId(d), CV_SENDERA);
        EXPECT_TRUE(qorwin::visible(d, CV_RECIPIENTS));
        EXPECT_FALSE(qorwin::enabled(d, CV_CLEARMEMO));  // nothing to clear or save yet
        EXPECT_FALSE(qorwin::enabled(d, CV_SAVEMEMO));
    });
    user.type(CV_RECIPIENT1, "Somebody else").escape();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(bytesAt(400, 80), "Charles Babbage");
    EXPECT_EQ(cover.memo, 0u);
}

TEST_F(AskCoverTest, ATemplateAndAMemoOverSeveralLinesComeBackInTheRecord) {
    UL_strcopy(cover.recipient1, "Charles Babbage");
    auto memoWidth = [](HWND d) {
        RECT r{};
        GetWindowRect(GetDlgItem(d, CV_MEMO), &r);
        return r.right - r.left;
    };
    int full = 0;
    user.then([&](HWND d) { full = memoWidth(d); });
    // Classic's memo is 160 mm wide (605 pixels at 96 dpi) and the memo area follows it, with
    // room for the scroll bar.
    user.select(CV_TEMPLATES, 1).then([&](HWND d) {
        EXPECT_NEAR(memoWidth(d), 160 / 25.4 * 96 + GetSystemMetrics(SM_CXVSCROLL), 1.5);
        EXPECT_LT(memoWidth(d), full);
    });
    user.select(CV_TEMPLATES, 0).then([&](HWND d) { EXPECT_EQ(memoWidth(d), full); });
    user.select(CV_TEMPLATES, 2).then([](HWND d) {
        EXPECT_FALSE(qorwin::enabled(d, CV_HEADERLOGO));
        EXPECT_FALSE(qorwin::enabled(d, CV_FOOTERLOGO));
        EXPECT_EQ(qorwin::limit(d, CV_MEMO), 3199u);
    });
    user.type(CV_SENDERB, "Analytical Engines").append(CV_MEMO, "Dear Charles,\nthe engine works.\n\nAda");
    user.then([](HWND d) { EXPECT_TRUE(qorwin::enabled(d, CV_SAVEMEMO)); });
    user.click(CV_ACCEPT);
    profile.ui().answer(IDNO);  // the changed memo is not saved into a file
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(cover.templatenumber, 2);
    EXPECT_EQ(bytesAt(240, 80), "Analytical Engines");
    EXPECT_EQ(bytesAt(400, 80), "Charles Babbage");
    uint32_t handle = 0;
    std::memcpy(&handle, reinterpret_cast<const char*>(&cover) + 720, 4);
    EXPECT_EQ(handle, cover.memo);
    EXPECT_EQ(memoOf(handle), "Dear Charles,\r\nthe engine works.\r\n\r\nAda");
    int16_t number = 0;
    std::memcpy(&number, reinterpret_cast<const char*>(&cover) + 726, 2);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(bytesAt(0, 80), "");  // a template has no logos
    EXPECT_EQ(params()->word2204, 2);
    EXPECT_STREQ(frame().area[9], "Charles Babbage");
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_EQ(profile.ui().shown()[0].text, "The memo was changed. Save it into a text file first?");
}


TEST_F(AskCoverTest, ImportingAMemoFileFitsItsLinesAndRefusesAFileThatIsNotText) {
    std::string paragraph = "word0";
    for (int i = 1; i < 40; ++i) paragraph += " word" + std::to_string(i);
    writeFile(profile.path("memo.txt"), "First line\r\n" + paragraph + "\nLast line\n");
    writeFile(profile.path("binary.txt"), std::string("PK\x03\x04\0\0binary", 12));
    profile.ui().answerString(profile.path("memo.txt"));
    user.click(CV_IMPORTMEMO).then([&](HWND d) {
        const std::string memo = qorwin::text(d, CV_MEMO);
        EXPECT_EQ(memo.rfind("First line\r\nword0 word1", 0), 0u) << memo;
        EXPECT_NE(memo.find("word39\r\nLast line"), std::string::npos) << memo;
        // The long paragraph was broken at blanks into several lines, no word cut.
        std::size_t lines = 0;
        for (std::size_t at = memo.find("\r\n"); at != std::string::npos; at = memo.find("\r\n", at + 2)) ++lines;
        EXPECT_GT(lines, 3u);
        EXPECT_EQ(memo.find("wo\r\n"), std::string::npos);
        EXPECT_TRUE(qorwin::enabled(d, CV_CLEARMEMO));
    });
    profile.ui().answerString(profile.path("binary.txt"));
    user.click(CV_IMPORTMEMO).then([&](HWND d) {
        ASSERT_FALSE(profile.ui().shown().empty());
        EXPECT_EQ(profile.ui().shown().back().text, "The memo file is not a plain text file.");
        EXPECT_EQ(qorwin::text(d, CV_MEMO).rfind("First line", 0), 0u);  // the memo stays
    });
    profile.ui().answerCancel();  // the chooser cancelled: nothing happens, nothing is shown
    user.click(CV_IMPORTMEMO).click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 0);
    // An imported memo counts as unchanged: OK asked nothing.
    EXPECT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_EQ(memoOf(cover.memo).rfind("First line\r\n", 0), 0u);
}

TEST_F(AskCoverTest, AnImportedMemoLongerThanTheMemoHoldsIsCutAndTheUserTold) {
    writeFile(profile.path("long.txt"), std::string(5000, 'x'));
    profile.ui().answerString(profile.path("long.txt"));
    user.click(CV_IMPORTMEMO).then([&](HWND d) {
        std::string memo = qorwin::text(d, CV_MEMO);
        std::string flat;
        for (char c : memo)
            if (c == 'x') flat += c;
        EXPECT_LE(memo.size(), 2048u);
        EXPECT_GE(flat.size(), 1900u);  // line ends take the rest
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "The memo was cut to its first 2048 characters.");
    });
    user.select(CV_TEMPLATES, 1);
    profile.ui().answerString(profile.path("long.txt"));
    user.click(CV_IMPORTMEMO).then([&](HWND d) {
        // A template's memo holds what the form data block holds.
        std::string memo = qorwin::text(d, CV_MEMO);
        EXPECT_LE(memo.size(), 3199u);
        EXPECT_GT(memo.size(), 3100u);
    });
    user.escape();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(cover.memo, 0u);
}

TEST_F(AskCoverTest, AChangedMemoIsOfferedForSavingAndSavedWithCrLfLines) {
    user.append(CV_MEMO, "One\nTwo");
    profile.ui().answerString(profile.path("notes"));
    user.click(CV_SAVEMEMO).then([&](HWND) {
        EXPECT_EQ(readFile(profile.path("notes.txt")), "One\r\nTwo\r\n");
    });
    user.append(CV_MEMO, "\nThree");
    // OK asks; Yes opens the chooser; cancelling the chooser keeps the dialog up.
    profile.ui().answer(IDYES);
    profile.ui().answerCancel();
    user.click(CV_ACCEPT).then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2027);
        EXPECT_EQ(profile.ui().shown().size(), 1u);
    });
    profile.ui().answer(IDYES);
    profile.ui().answerString(profile.path("notes.txt"));
    profile.ui().answer(IDYES);  // replace the file saved before (the overwrite question)
    user.click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(readFile(profile.path("notes.txt")), "One\r\nTwo\r\nThree\r\n");
    EXPECT_EQ(memoOf(cover.memo), "One\r\nTwo\r\nThree");
}

TEST_F(AskCoverTest, ClearingTheMemoHandsBackNoMemoBlock) {
    cover.memo = memo("An old memo");
    memos_.clear();  // the record owns it now: the dialog frees it when it hands back another
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, CV_MEMO), "An old memo"); });
    user.click(CV_CLEARMEMO).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, CV_MEMO), "");
        EXPECT_FALSE(qorwin::enabled(d, CV_CLEARMEMO));
    });
    user.click(CV_ACCEPT);
    const uint32_t old = cover.memo;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cover.memo, 0u);
    EXPECT_EQ(UL_handlesize(old), 0u);  // the old block was freed
}

TEST_F(AskCoverTest, PreviewShowsTheCoverPageInAViewerAndTheFileGoesWithTheDialog) {
    UL_strcopy(cover.recipient1, "Charles Babbage");
    std::string shown;
    user.select(CV_TEMPLATES, 1).append(CV_MEMO, "Please find the tables attached.").click(CV_PREVIEW);
    user.then([&](HWND d) {
        HWND viewer = qorsf::SF_coverpreviewwindow();
        ASSERT_NE(viewer, nullptr);
        int count = 0;
        ASSERT_TRUE(L1_viewershows(viewer, &shown, &count));
        char title[80] = {};
        GetWindowTextA(viewer, title, sizeof title);
        EXPECT_STREQ(title, "Cover Page Preview");
        const auto pages = pagesOf(shown);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_GT(pages[0].inkIn(0, 0, pages[0].width, pages[0].height), 1000u);
        EXPECT_NE(std::string(cover.previewfile), "");
        EXPECT_EQ(qorwin::templateNumber(d), 2027);  // the dialog is still the one in use
    });
    // A second preview replaces the first: one viewer, one file.
    user.click(CV_PREVIEW).then([&](HWND) {
        std::string second;
        ASSERT_TRUE(L1_viewershows(qorsf::SF_coverpreviewwindow(), &second, nullptr));
        EXPECT_NE(second, shown);
        EXPECT_FALSE(fileExists(shown));
        shown = second;
    });
    user.escape();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(qorsf::SF_coverpreviewwindow(), nullptr);
    EXPECT_FALSE(fileExists(shown));
    EXPECT_EQ(std::string(cover.previewfile), "");
}

TEST_F(AskCoverTest, LogosOfTheDataDirectoryAreOfferedWithoutATemplateAndBecomeTheDefaults) {
    makeLogo("LETTERHEAD.LGO", "ANALYTICAL ENGINES LTD");
    makeLogo("small.lgo", "footer");
    writeFile(profile.path("data/BROKEN.LGO"), "not a fax at all");
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, CV_HEADERLOGO), (std::vector<std::string>{"(no header)", "LETTERHEAD", "small"}));
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "The logo file BROKEN.LGO cannot be read.");
    });
    user.select(CV_HEADERLOGO, 1).select(CV_FOOTERLOGO, 2);
    // A template puts the logos aside; no template brings them back as they were.
    user.select(CV_TEMPLATES, 3).then([](HWND d) {
        EXPECT_EQ(qorwin::selection(d, CV_HEADERLOGO), -1);
        EXPECT_FALSE(qorwin::enabled(d, CV_HEADERLOGO));
    });
    user.select(CV_TEMPLATES, 0).then([](HWND d) {
        EXPECT_EQ(qorwin::selection(d, CV_HEADERLOGO), 1);
        EXPECT_EQ(qorwin::selection(d, CV_FOOTERLOGO), 2);
        EXPECT_TRUE(qorwin::enabled(d, CV_FOOTERLOGO));
        EXPECT_EQ(qorwin::limit(d, CV_MEMO), 2048u);
    });
    user.click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(bytesAt(0, 80), profile.path("data/LETTERHEAD.LGO"));
    EXPECT_EQ(bytesAt(80, 80), profile.path("data/small.lgo"));
    EXPECT_EQ(cover.templatenumber, 0);
    EXPECT_STREQ(params()->headername, "LETTERHEAD");
    EXPECT_STREQ(params()->footername, "small");

    // The next dialog starts from those defaults; accepting with a template leaves them.
    COVER_SHEET next = sheet();
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::selection(d, CV_HEADERLOGO), 1);
        EXPECT_EQ(qorwin::selection(d, CV_FOOTERLOGO), 2);
    });
    user.select(CV_HEADERLOGO, 0).select(CV_TEMPLATES, 1).click(CV_ACCEPT);
    ASSERT_EQ(SF_askcover(kHost, &next, &cancelled), 0);
    EXPECT_EQ(next.templatenumber, 1);
    EXPECT_EQ(std::string(next.headerlogo), "");
    EXPECT_STREQ(params()->headername, "LETTERHEAD");
    EXPECT_EQ(params()->word2204, 1);
}

TEST_F(AskCoverTest, ACancelledDialogLeavesOnlyLogosThatExistInTheRecord) {
    makeLogo("LETTERHEAD.LGO", "ANALYTICAL ENGINES LTD");
    UL_strcopy(params()->headername, "letterhead");  // found whatever its case
    UL_strcopy(params()->footername, "FOOTER");       // the default, with no such file
    user.escape();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(bytesAt(0, 80), profile.path("data/LETTERHEAD.LGO"));
    EXPECT_EQ(bytesAt(80, 80), "");
    // So the text cover made from it has the logo's page before the cover's own.
    const std::string out = profile.path("cover.fax");
    int16_t type = 0;
    ASSERT_EQ(qorsf::SF_makecover(kHost, &cover, out.c_str(), 1, 0, &type), 0);
    EXPECT_EQ(pagesOf(out).size(), 2u);
}

TEST_F(AskCoverTest, SenderTextsGoBackToTheParametersUnlessTheyBeginWithABlank) {
    UL_strcopy(params()->sendera, "Old Name");
    UL_strcopy(params()->senderb, "Old Company");
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, CV_SENDERA), "Old Name"); });
    user.type(CV_SENDERA, "New Name").type(CV_SENDERB, " just this once").click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_STREQ(params()->sendera, "New Name");
    EXPECT_STREQ(params()->senderb, "Old Company");
    EXPECT_EQ(bytesAt(240, 80), " just this once");
}

TEST_F(AskCoverTest, ASendForManyRecipientsHidesTheRecipientTextsAndKeepsThem) {
    SF_setcovermode(1);
    UL_strcopy(cover.recipient1, "kept");
    user.then([](HWND d) {
        for (int id : {400, 406, 407, 408, 409, 436}) EXPECT_FALSE(qorwin::visible(d, id)) << id;
        EXPECT_FALSE(qorwin::type(d, 406, "typed"));
    });
    user.click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(bytesAt(400, 80), "kept");
}

TEST_F(AskCoverTest, ATemplateWhoseFileIsMissingIsReportedAndNotChosen) {
    put("TEMPLATES", "template4", "gone,A template nobody installed");
    params()->word2204 = 4;  // the last cover used it: the dialog starts without a template
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, CV_TEMPLATES).back(), "A template nobody installed");
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 0);
        EXPECT_TRUE(qorwin::enabled(d, CV_HEADERLOGO));
        ASSERT_EQ(profile.ui().shown().size(), 1u);  // told when the dialog opened
    });
    user.select(CV_TEMPLATES, 2).select(CV_TEMPLATES, 4).then([&](HWND d) {
        ASSERT_EQ(profile.ui().shown().size(), 2u);
        EXPECT_EQ(profile.ui().shown()[1].text,
                  "The cover template file " + profile.path("data/gone.001") + " does not exist.");
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 2);  // back to the template in use
    });
    user.click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cover.templatenumber, 2);
}

TEST_F(AskCoverTest, ATemplateThatCannotBeReadOrHasNoMemoSaysWhyAndIsNotChosen) {
    writeFile(profile.path("data/broken.001"), "paper A4\nfield adress 10 10 50 10\n");
    writeFile(profile.path("data/nomemo.001"), "field to 10 10 100 10\n");
    put("TEMPLATES", "template4", "broken,Broken");
    put("TEMPLATES", "template5", "nomemo,Without a memo");
    user.select(CV_TEMPLATES, 4).then([&](HWND d) {
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "The cover template cannot be used: " +
                                                    profile.path("data/broken.001") +
                                                    ": line 2: unknown field \"adress\"");
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 0);
        EXPECT_TRUE(qorwin::enabled(d, CV_HEADERLOGO));
    });
    user.select(CV_TEMPLATES, 5).then([&](HWND d) {
        ASSERT_EQ(profile.ui().shown().size(), 2u);
        EXPECT_EQ(profile.ui().shown()[1].text, "The cover template cannot be used: " +
                                                    profile.path("data/nomemo.001") + ": it has no memo field");
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 0);
    });
    user.click(CV_ACCEPT);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(cover.templatenumber, 0);
}

TEST_F(AskCoverTest, TheDialogOpensOnTheLastTemplateWithItsMemo) {
    params()->word2204 = 3;
    cover.memo = memo("Kept from the last time");
    memos_.clear();
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::selection(d, CV_TEMPLATES), 3);
        EXPECT_FALSE(qorwin::enabled(d, CV_HEADERLOGO));
        EXPECT_EQ(qorwin::text(d, CV_MEMO), "Kept from the last time");
    });
    user.click(CV_ACCEPT);  // the memo was not changed: nothing is asked
    const uint32_t old = cover.memo;
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(memoOf(cover.memo), "Kept from the last time");
    EXPECT_NE(cover.memo, old);
    EXPECT_EQ(UL_handlesize(old), 0u);
    EXPECT_TRUE(profile.ui().shown().empty());
}

TEST_F(AskCoverTest, AMemoStopsAtItsLimitWithABeep) {
    user.paste(CV_MEMO, std::string(2040, 'a')).append(CV_MEMO, std::string(12, 'b')).then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, CV_MEMO).size(), 2048u);
        EXPECT_GE(profile.ui().beeps(), 1);
    });
    user.click(CV_ACCEPT);
    profile.ui().answer(IDNO);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(memoOf(cover.memo), std::string(2040, 'a') + std::string(8, 'b'));
}

TEST_F(AskCoverTest, HelpShowsItsTopic) {
    user.click(4).escape();
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(profile.ui().helps(), std::vector<int>{595});
}
}  // namespace
}  // namespace qortest
