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

}  // namespace
}  // namespace qortest
