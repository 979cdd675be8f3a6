// The template list, the form data block, and form and text covers as the send flow makes them.
#include <cstddef>
#include <cstring>
#include <string>

#include "covertest.h"
#include "qorce.h"
#include "qorlib1.h"
#include "qorux.h"

namespace qortest {
namespace {

using qorsf::CoverTemplate;

std::string at(const CE_FORMDATA& b, std::size_t offset) {
    const char* p = reinterpret_cast<const char*>(&b) + offset;
    return std::string(p);
}

TEST_F(CoverTest, NewProfileListsThreeShippedTemplatesThatOpen) {
    const auto list = qorsf::SF_covertemplates(kHost);
    ASSERT_EQ(list.size(), 3u);
    const char* files[] = {"classic.001", "modern.001", "minimal.001"};
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].number, static_cast<int16_t>(i + 1));
        EXPECT_EQ(list[i].file, files[i]);
        EXPECT_TRUE(list[i].exists) << list[i].path;
        EXPECT_FALSE(list[i].description.empty());
        CE_FORM form;
        ASSERT_EQ(CE_openform(kHost, list[i].path.c_str(), &form), 0) << form.error;
        CE_FIELD table[CE_FIELDS];
        ASSERT_EQ(CE_readform(kHost, &form, table), 0);
        // Every shipped form has the recipient, the sender and a memo of real size.
        EXPECT_EQ(table[CE_F_TO - 1].number, CE_F_TO);
        EXPECT_EQ(table[CE_F_FROM - 1].number, CE_F_FROM);
        const CE_FIELD& m = table[CE_F_MEMO - 1];
        EXPECT_EQ(m.number, CE_F_MEMO);
        EXPECT_GT(m.width, 1000);  // over 5 inches
        EXPECT_GT(m.lines, 15);
        EXPECT_LE(m.maxchars, 3199);
        EXPECT_LE(table[CE_F_TO - 1].maxchars, 79);
        ASSERT_EQ(CE_measureform(kHost, &form, 2), 0);
        EXPECT_GT(form.lineheight, 0);
        CE_closeform(kHost, &form);
    }
}

TEST_F(CoverTest, LookupAddsPointZeroZeroOneAndReportsMissingFiles) {
    put("TEMPLATES", "template1", "cover2");
    put("TEMPLATES", "template2", "letter.tpl,Our letterhead");
    put("TEMPLATES", "template3", "");
    put("TEMPLATES", "template4", "after-the-gap");
    char path[80], description[80];
    EXPECT_EQ(qorsf::SF_templatelookup(kHost, 1, path, description), SF_NOTEMPLATE);
    EXPECT_EQ(std::string(path), profile.path("data/cover2.001"));
    EXPECT_EQ(std::string(description), "");
    ASSERT_FALSE(profile.ui().shown().empty());
    EXPECT_NE(profile.ui().shown().back().text.find(profile.path("data/cover2.001")), std::string::npos);

    writeFile(profile.path("data/cover2.001"), "paper A4\nfield memo 20 20 170 200\n");
    EXPECT_EQ(qorsf::SF_templatelookup(kHost, 1, path, description), 0);
    writeFile(profile.path("data/letter.tpl"), "field memo 20 20 170 200\n");
    EXPECT_EQ(qorsf::SF_templatelookup(kHost, 2, path, description), 0);
    EXPECT_EQ(std::string(path), profile.path("data/letter.tpl"));
    EXPECT_EQ(std::string(description), "Our letterhead");
    // The list ends at the first empty key.
    EXPECT_EQ(qorsf::SF_covertemplates(kHost).size(), 2u);
    EXPECT_EQ(qorsf::SF_templatelookup(kHost, 3, path, description), SF_NOTEMPLATE);
    // A name that leaves the data directory is no template.
    put("TEMPLATES", "template1", "../qorfax.ini");
    EXPECT_EQ(qorsf::SF_templatelookup(kHost, 1, path, description), SF_NOTEMPLATE);
}

TEST_F(CoverTest, FormDataBlockHasEveryTextAtItsOffset) {
    put("GENERAL", "SenderFax", "+44 20 7946 0999");
    put("GENERAL", "SenderVoice", "+44 20 7946 0000");
    put("GENERAL", "SenderEmail", "ada@example.org");
    COVER_SHEET c = sheet();
    UL_strcopy(c.sendera, "Ada Lovelace");
    UL_strcopy(c.senderb, "Analytical Engines Ltd");
    UL_strcopy(c.senderc, "12 St James's Square");
    UL_strcopy(c.recipient1, "Charles Babbage");
    UL_strcopy(c.recipient2, "Difference Works");
    UL_strcopy(c.recipient3, "+44 20 1111 2222");
    UL_strcopy(c.recipient4, "+44 20 3333 4444");
    std::string text;
    for (int i = 0; text.size() < 5000; ++i) text += "word" + std::to_string(i) + " ";
    text.resize(5000);
    c.memo = memo(text);
    c.templatenumber = 1;

    CE_FORMDATA b;
    std::memset(&b, 0x55, sizeof b);
    ASSERT_EQ(qorsf::SF_formdata(kHost, &c, 3, nullptr, &b), 0);
    EXPECT_EQ(at(b, 0), profile.path("data/classic.001"));
    uint16_t docs;
    std::memcpy(&docs, reinterpret_cast<const char*>(&b) + 80, 2);
    EXPECT_EQ(docs, 3);
    EXPECT_EQ(at(b, 82), "Charles Babbage");
    EXPECT_EQ(at(b, 162), "+44 20 3333 4444");
    EXPECT_EQ(at(b, 202), "+44 20 1111 2222");
    EXPECT_EQ(at(b, 242), "Difference Works");
    EXPECT_EQ(at(b, 482), "Ada Lovelace");
    EXPECT_EQ(at(b, 562), "12 St James's Square");
    EXPECT_EQ(at(b, 602), "+44 20 7946 0999");
    EXPECT_EQ(at(b, 642), "Analytical Engines Ltd\r\n+44 20 7946 0000\r\nada@example.org");
    uint16_t date[6];
    std::memcpy(date, reinterpret_cast<const char*>(&b) + 882, sizeof date);
    EXPECT_EQ(date[0], 2026);  // the driven clock: 2026-03-14 09:26:53
    EXPECT_EQ(date[1], 3);
    EXPECT_EQ(date[2], 14);
    EXPECT_EQ(date[4], 26);
    EXPECT_EQ(at(b, 894), "");
    // A 5000-character memo reaches the form as its first 3199 characters.
    EXPECT_EQ(at(b, 1134), text.substr(0, 3199));
    EXPECT_EQ(at(b, 4334), "");
    // Every byte after a text is zero: no stale data reaches the form.
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&b)[82 + 16], 0);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&b)[4413], 0);

    CE_FORMDATA s;
    ASSERT_EQ(qorsf::SF_formdata(kHost, &c, 1, "Quarterly figures", &s), 0);
    EXPECT_EQ(at(s, 894), "Quarterly figures");
}

TEST_F(CoverTest, FormCoverHasInkWhereTheTemplatePlacesTheRecipientAndMemo) {
    COVER_SHEET c = sheet();
    UL_strcopy(c.recipient1, "Charles Babbage");
    UL_strcopy(c.sendera, "Ada Lovelace");
    c.memo = memo("Dear Charles,\nthe figures you asked for follow on three pages; the corrected tables for the "
                  "second engine replace those I sent last week, and the rest are unchanged.\n\nAda");
    c.templatenumber = 1;
    const std::string out = profile.path("cover.fax");
    int16_t type = 0;
    ASSERT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 2, 0, &type), 0);
    EXPECT_EQ(type, 1);
    const auto pages = pagesOf(out);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width, 1728);
    EXPECT_EQ(pages[0].ydpi, 98);

    CE_FORM form;
    ASSERT_EQ(CE_openform(kHost, profile.path("data/classic.001").c_str(), &form), 0);
    int x0, y0, x1, y1;
    ASSERT_TRUE(CE_fieldbox(&form, CE_F_TO, 0, &x0, &y0, &x1, &y1));
    EXPECT_GT(pages[0].inkIn(x0, y0, x1, y1), 200u);
    ASSERT_TRUE(CE_fieldbox(&form, CE_F_MEMO, 0, &x0, &y0, &x1, &y1));
    // The memo's first words: ink on its first line, none below its last.
    const int line = (y1 - y0) / 25;
    EXPECT_GT(pages[0].inkIn(x0, y0, x1, y0 + line), 100u);
    EXPECT_EQ(pages[0].inkIn(x0, y0 + 6 * line, x1, y1 - 2), 0u);
    // The long line wraps inside the box: nothing between the box's right edge and its frame.
    EXPECT_EQ(pages[0].inkIn(x1 + 1, y0, x1 + 30, y0 + 5 * line), 0u);
    ASSERT_TRUE(CE_fieldbox(&form, CE_F_COMPANY, 0, &x0, &y0, &x1, &y1));
    EXPECT_EQ(pages[0].inkIn(x0, y0, x1, y1), 0u);  // no company given: nothing there

    // Fine resolution: twice the rows, the same places.
    ASSERT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 2, 1, &type), 0);
    const auto fine = pagesOf(out);
    ASSERT_EQ(fine.size(), 1u);
    EXPECT_EQ(fine[0].ydpi, 196);
    ASSERT_TRUE(CE_fieldbox(&form, CE_F_TO, 1, &x0, &y0, &x1, &y1));
    EXPECT_GT(fine[0].inkIn(x0, y0, x1, y1), 400u);
    CE_closeform(kHost, &form);
}

TEST_F(CoverTest, EachRecipientGetsADifferentCover) {
    COVER_SHEET c = sheet();
    c.templatenumber = 2;
    const char* names[] = {"Ann Archer", "Bob Brown", "Cecilia Castellano-Whitfield"};
    std::string previous;
    for (int i = 0; i < 3; ++i) {
        PB_ENTRY e;
        std::memset(&e, 0, sizeof e);
        UL_strcopy(e.name, names[i]);
        UL_strcopy(e.number, ("0123 45" + std::to_string(i)).c_str());
        UL_strcopy(e.company, "Acme");
        qorsf::SF_fillcoverto(kHost, &e, &c);
        EXPECT_STREQ(c.recipient1, names[i]);
        EXPECT_STREQ(c.recipient4, e.number);
        const std::string out = profile.path("cover." + std::to_string(i));
        int16_t type = 0;
        ASSERT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 1, 0, &type), 0);
        const std::string bytes = readFile(out);
        EXPECT_NE(bytes, previous);
        previous = bytes;
    }
    // An entry without a name leaves the texts as they were.
    PB_ENTRY blank;
    std::memset(&blank, 0, sizeof blank);
    UL_strcopy(blank.number, "999");
    qorsf::SF_fillcoverto(kHost, &blank, &c);
    EXPECT_STREQ(c.recipient1, names[2]);
}

TEST_F(CoverTest, LongMemoRunsOntoASecondPage) {
    COVER_SHEET c = sheet();
    std::string text;
    for (int i = 0; i < 60; ++i) text += "Line " + std::to_string(i) + " of a memo that goes on.\n";
    c.memo = memo(text);
    c.templatenumber = 3;
    const std::string out = profile.path("long.fax");
    int16_t type = 0;
    ASSERT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 1, 0, &type), 0);
    const auto pages = pagesOf(out);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_GT(pages[1].inkIn(0, 0, 1728, pages[1].height), 1000u);
}

TEST_F(CoverTest, MissingTemplateFailsWithoutAnOutput) {
    COVER_SHEET c = sheet();
    c.templatenumber = 7;
    const std::string out = profile.path("none.fax");
    int16_t type = 0;
    EXPECT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 1, 0, &type), SF_NOTEMPLATE);
    EXPECT_FALSE(fileExists(out));
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(CoverTest, TextCoverWithoutBackgroundsIsTheRenderedFile) {
    const std::string text = profile.path("cover.txt");
    writeFile(text, "F A X\r\n\r\nTo: Charles Babbage\r\n");
    COVER_SHEET c = sheet();
    const std::string out = profile.path("text.fax");
    ASSERT_EQ(qorsf::SF_textcover(kHost, &c, text.c_str(), out.c_str(), 0, 0, nullptr), 0);
    unsigned char work[372];
    int16_t pages = 0;
    const std::string base = profile.path("spool/REF.SPL");
    ASSERT_EQ(CE_rendercover(kHost, text.c_str(), base.c_str(), work, sizeof work, 1, &pages), 0);
    ASSERT_EQ(pages, 1);
    const std::string rendered = readFile(UX_pagefilename(base, 0));
    EXPECT_FALSE(rendered.empty());
    EXPECT_TRUE(readFile(out) == rendered);  // byte for byte
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(CoverTest, TextCoverBetweenHeaderAndFooterAndTheirMissingFiles) {
    const std::string text = profile.path("cover.txt");
    writeFile(text, "To: Charles Babbage\r\n");
    // A header and a footer fax file of one page each.
    const std::string header = profile.path("data/header.fax"), footer = profile.path("data/footer.fax");
    unsigned char work[372];
    int16_t pages = 0;
    ASSERT_EQ(CE_rendercover(kHost, text.c_str(), profile.path("hdr").c_str(), work, sizeof work, 2, &pages), 0);
    ASSERT_EQ(std::rename(profile.path("hdr.001").c_str(), header.c_str()), 0);
    writeFile(footer, readFile(header));

    COVER_SHEET c = sheet();
    UL_strcopy(c.headerlogo, header.c_str());
    UL_strcopy(c.footerlogo, footer.c_str());
    const std::string out = profile.path("both.fax");
    writeFile(out, readFile(header));  // an older file of the name is replaced, not added to
    ASSERT_EQ(qorsf::SF_textcover(kHost, &c, text.c_str(), out.c_str(), 0, 1, nullptr), 0);
    const auto merged = pagesOf(out);
    ASSERT_EQ(merged.size(), 3u);
    for (const auto& p : merged) EXPECT_EQ(p.ydpi, 98);  // the fine header made normal

    UL_strcopy(c.headerlogo, profile.path("data/gone.fax").c_str());
    EXPECT_EQ(qorsf::SF_textcover(kHost, &c, text.c_str(), out.c_str(), 0, 1, nullptr), qorsf::SF_NOHEADERFILE);
    UL_strcopy(c.headerlogo, header.c_str());
    UL_strcopy(c.footerlogo, profile.path("data/gone.fax").c_str());
    EXPECT_EQ(qorsf::SF_textcover(kHost, &c, text.c_str(), out.c_str(), 0, 1, nullptr), qorsf::SF_NOFOOTERFILE);
    // The failures left the earlier cover as it was and no temporary behind.
    EXPECT_EQ(pagesOf(out).size(), 3u);
    EXPECT_FALSE(fileExists(out + ".new"));
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(CoverTest, CoverWithoutTemplateOrLogosIsTheTextOfTheCoverLayout) {
    COVER_SHEET c = sheet();
    UL_strcopy(c.recipient1, "Charles Babbage");
    UL_strcopy(c.sendera, "Ada Lovelace");
    c.memo = memo("See the tables.");
    c.reserved = 1;  // the memo's line count
    const std::string out = profile.path("cover.txt");
    int16_t type = 0;
    ASSERT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 4, 0, &type), 0);
    EXPECT_EQ(type, 2);
    const std::string text = readFile(out);
    EXPECT_NE(text.find("Charles Babbage"), std::string::npos);
    EXPECT_NE(text.find("Ada Lovelace"), std::string::npos);
    EXPECT_NE(text.find("See the tables."), std::string::npos);
}

}  // namespace
}  // namespace qortest
