// The phone book listings: the row rules over records in walk order, and the listings of a
// small phone book written through the default layouts and printed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "qorlib2.h"
#include "report/listings.h"
#include "testprofile.h"

namespace {

using Row = std::vector<std::string>;

PB_RECORD record(const std::string& name, const std::string& group, const std::string& fax = "",
                 const std::string& company = "") {
    PB_RECORD r{};
    UL_strcopy(r.name, name.c_str());
    UL_strcopy(r.group, group.c_str());
    if (!fax.empty() || !company.empty()) {
        PB_ENTRY e{};
        UL_strcopy(e.number, fax.c_str());
        UL_strcopy(e.company, company.c_str());
        qorsf::SF_entrytoinfo(0, &e, r.info);
        r.info[660] = '\0';
    }
    return r;
}

// The rows a walk gives: name, group, number and company of each.
std::vector<Row> rows(bool byGroup, const std::vector<PB_RECORD>& walk) {
    std::vector<Row> out;
    qorsf::ListingRows builder(0, byGroup, [&out](const char* const* c) {
        out.push_back({c[0], c[1], c[2], c[4]});
        return int16_t{0};
    });
    for (const PB_RECORD& r : walk) EXPECT_EQ(builder.add(r), 0);
    EXPECT_EQ(builder.finish(), 0);
    return out;
}

TEST(ListingRows, ByNameEveryGroupOfANameGetsOneRowWithTheNamesDetails) {
    EXPECT_EQ(rows(false, {record("", "Friends"),  // a group's own record: no name, not listed
                           record("Ann", " ", "111", "Acme"), record("Ann", "Friends"), record("Ann", "Work"),
                           record("Ann", "Work"),  // the same group again adds nothing
                           record("Bob", " ", "222"), record("Cid", " ")}),
              (std::vector<Row>{{"Ann", "Friends", "111", "Acme"},
                                {"Ann", "Work", "111", "Acme"},
                                {"Bob", "", "222", ""},
                                {"Cid", "", "", ""}}));
}

TEST(ListingRows, ByNameRecordOrderAndCopiedDetailsDoNotChangeTheRows) {
    // The name's own record after its groups, and groups holding a copy of the details: the
    // same rows, none twice, none lost.
    EXPECT_EQ(rows(false, {record("Ann", "Friends"), record("Ann", " ", "111", "Acme"),
                           record("Ann", "Work", "111", "Acme"), record("Bob", "Work"), record("Bob", " ", "222")}),
              (std::vector<Row>{{"Ann", "Friends", "111", "Acme"},
                                {"Ann", "Work", "111", "Acme"},
                                {"Bob", "Work", "222", ""}}));
    // A second own record of a name with details starts a row of its own.
    EXPECT_EQ(rows(false, {record("Ann", " ", "111"), record("Ann", " ", "333")}),
              (std::vector<Row>{{"Ann", "", "111", ""}, {"Ann", "", "333", ""}}));
    EXPECT_TRUE(rows(false, {}).empty());
}

TEST(ListingRows, ByGroupEachGroupThenItsMembersWithNameAndGroupOnly) {
    EXPECT_EQ(rows(true, {record("Ann", " ", "111"),  // a name's own record: no group, not listed
                          record("", "Friends"), record("Ann", "Friends", "111"), record("Ann", "Friends"),
                          record("Bob", "Friends"), record("", "Lonely"), record("Cid", "Work")}),
              (std::vector<Row>{{"Ann", "Friends", "", ""},  // the first member takes the group's row
                                {"Bob", "Friends", "", ""},
                                {"", "Lonely", "", ""},  // no member: the group's own row stays
                                {"Cid", "Work", "", ""}}));
}

// ---- A small phone book, listed and printed

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        qorsf::frame_reset();
        ASSERT_EQ(qorsf::SF_open(0), 0);
        addName("Zoe Zimmer", "555-0199", "Zeta Ltd");
        addName("Ann Archer", "555-0101", "Acme Corporation International Holdings");
        addName("Bob Baker", "555-0102", "");
        for (const char* g : {"Friends", "Work"}) ASSERT_EQ(qorsf::SF_addnametogroup(0, "", g), 0);
        ASSERT_EQ(qorsf::SF_addnametogroup(0, "Ann Archer", "Friends"), 0);
        ASSERT_EQ(qorsf::SF_addnametogroup(0, "Ann Archer", "Work"), 0);
        ASSERT_EQ(qorsf::SF_addnametogroup(0, "Zoe Zimmer", "Work"), 0);
    }
    void TearDown() override {
        qorsf::SF_close(0);
        qorsf::frame_reset();
    }
    void addName(const char* name, const char* fax, const char* company) {
        PB_ENTRY e{};
        UL_strcopy(e.name, name);
        UL_strcopy(e.number, fax);
        UL_strcopy(e.company, company);
        PB_RECORD r{};
        UL_strcopy(r.name, name);
        qorsf::SF_entrytoinfo(0, &e, r.info);
        ASSERT_EQ(qorsf::SF_addphone(0, name, &r), 0);
    }
    static std::vector<std::string> lines(const std::string& path) {
        std::string bytes = qortest::readFile(path);
        std::vector<std::string> out;
        std::size_t pos = 0, end;
        while ((end = bytes.find("\r\n", pos)) != std::string::npos) {
            std::string l = bytes.substr(pos, end - pos);
            while (!l.empty() && l.back() == ' ') l.pop_back();
            out.push_back(l);
            pos = end + 2;
        }
        EXPECT_EQ(pos, bytes.size()) << "every line ends with CR LF";
        return out;
    }
    qortest::TempProfile profile;
};

TEST_F(ListingTest, ByNameLineByLine) {
    std::string path = profile.path("byname.txt");
    int16_t print = 0;
    ASSERT_EQ(qorsf::SF_writelisting(0, false, path.c_str(), &print), 0);
    EXPECT_EQ(print, 1);
    std::vector<std::string> got = lines(path);
    ASSERT_GE(got.size(), 20u);
    EXPECT_EQ(got[0], "Phone book by name                        2026-03-14   09:26:53    Page 1");
    EXPECT_EQ(got[1], "");
    EXPECT_EQ(got[2], "Name                           Group                           Details");
    EXPECT_EQ(got[3], std::string(79, '-'));
    EXPECT_EQ(got[4], "Ann Archer                     Friends");
    EXPECT_EQ(got[5], "  Fax   555-0101                        Voice");
    EXPECT_EQ(got[6], "  Company Acme Corporation International Holdings");
    EXPECT_EQ(got[7], "");
    EXPECT_EQ(got[8], "                               Work");
    EXPECT_EQ(got[9], "  Fax   555-0101                        Voice");
    EXPECT_EQ(got[12], "Bob Baker");
    EXPECT_EQ(got[13], "  Fax   555-0102                        Voice");
    EXPECT_EQ(got[16], "Zoe Zimmer                     Work");
    EXPECT_EQ(got[18], "  Company Zeta Ltd");
    // One page: filled with blank lines and ended by a form feed.
    for (std::size_t i = 19; i + 1 < got.size(); ++i) EXPECT_EQ(got[i], "") << i;
    EXPECT_EQ(got.back(), "\f");
    EXPECT_EQ(got.size(), 61u + 1);
    EXPECT_FALSE(qorsf::pbstoreOpen());
}

TEST_F(ListingTest, FieldsOfTheirFullWidthAreNeverCut) {
    const std::string name(30, 'N'), group(30, 'G'), fax = "+44 (0)20 7946 0000 ext. 12345", voice(30, '7'),
                      company(60, 'C');
    ASSERT_EQ(fax.size(), 30u);
    PB_ENTRY e{};
    UL_strcopy(e.name, name.c_str());
    UL_strcopy(e.number, fax.c_str());
    UL_strcopy(e.voice, voice.c_str());
    UL_strcopy(e.company, company.c_str());
    PB_RECORD r{};
    UL_strcopy(r.name, name.c_str());
    qorsf::SF_entrytoinfo(0, &e, r.info);
    ASSERT_EQ(qorsf::SF_addphone(0, name.c_str(), &r), 0);
    ASSERT_EQ(qorsf::SF_addnametogroup(0, name.c_str(), group.c_str()), 0);
    for (bool byGroup : {false, true}) {
        std::string path = profile.path(byGroup ? "g.txt" : "n.txt");
        ASSERT_EQ(qorsf::SF_writelisting(0, byGroup, path.c_str(), nullptr), 0);
        const std::string text = qortest::readFile(path);
        EXPECT_NE(text.find(name), std::string::npos) << byGroup;
        EXPECT_NE(text.find(group), std::string::npos) << byGroup;
        if (!byGroup) {
            EXPECT_NE(text.find(fax), std::string::npos) << text;
            EXPECT_NE(text.find(voice), std::string::npos);
            EXPECT_NE(text.find(company), std::string::npos);
        }
        for (const std::string& l : lines(path)) EXPECT_LE(l.size(), 79u) << l;
    }
}

TEST_F(ListingTest, ByGroupLineByLine) {
    std::string path = profile.path("bygroup.txt");
    ASSERT_EQ(qorsf::SF_writelisting(0, true, path.c_str(), nullptr), 0);
    std::vector<std::string> got = lines(path);
    ASSERT_GE(got.size(), 8u);
    EXPECT_EQ(got[0], "Phone book by group                       2026-03-14   09:26:53    Page 1");
    EXPECT_EQ(got[2], "Group                            Name");
    // No row of a group's own record: its first member takes it over.
    EXPECT_EQ(got[4], "Friends                          Ann Archer");
    EXPECT_EQ(got[5], "Work                             Ann Archer");
    EXPECT_EQ(got[6], "                                 Zoe Zimmer");
    EXPECT_EQ(got[7], "");
}

TEST_F(ListingTest, ALongBookRunsOverPagesAndEveryPageShowsItsGroup) {
    for (int i = 0; i < 70; ++i) {
        char name[31];
        std::snprintf(name, sizeof name, "Member %02d", i);
        addName(name, "1", "");
        ASSERT_EQ(qorsf::SF_addnametogroup(0, name, "Big"), 0);
    }
    std::string path = profile.path("big.txt");
    ASSERT_EQ(qorsf::SF_writelisting(0, true, path.c_str(), nullptr), 0);
    std::vector<std::string> got = lines(path);
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].rfind("Phone book by group", 0) == 0) headers.push_back(i);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_NE(got[headers[1]].find("Page 2"), std::string::npos);
    // The first row of page 2 shows the group again.
    EXPECT_EQ(got[headers[1] + 4].substr(0, 3), "Big");
    EXPECT_EQ(got[headers[1] - 1], "\f");
}

TEST_F(ListingTest, PrintingByNameLeavesAPdfAndNoSpoolFile) {
    int16_t status = -1;
    ASSERT_EQ(qorsf::SF_printbyname(0, &status), 0);
    EXPECT_EQ(status, 0);
    char pdf[256];
    ASSERT_EQ(FN_lastprinted(pdf, sizeof pdf), 0);
    ASSERT_TRUE(qortest::fileExists(pdf)) << pdf;
    std::string text;
    FILE* p = ::popen(("pdftotext -layout '" + std::string(pdf) + "' -").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    ::pclose(p);
    EXPECT_NE(text.find("Phone book by name"), std::string::npos) << text;
    EXPECT_NE(text.find("Zoe Zimmer"), std::string::npos);
    for (const auto& e : std::filesystem::directory_iterator(profile.path("spool")))
        EXPECT_NE(e.path().extension(), ".SPL") << e.path();
    EXPECT_FALSE(qorsf::pbstoreOpen());
}

TEST_F(ListingTest, AMissingLayoutFailsAndCleansUp) {
    qortest::writeFile(profile.path("layouts.rpt"), "[Something else]\n");
    int16_t status = 0;
    EXPECT_EQ(qorsf::SF_printbygroup(0, &status), 20801);
    EXPECT_EQ(status, 20801);
    for (const auto& e : std::filesystem::directory_iterator(profile.path("spool")))
        EXPECT_NE(e.path().extension(), ".SPL") << e.path();
    EXPECT_FALSE(qorsf::pbstoreOpen());
    EXPECT_TRUE(std::filesystem::is_empty(profile.path("print")));
}

TEST_F(ListingTest, AnEmptyPhoneBookListsItsHeaderOnly) {
    qorsf::SF_close(0);
    std::filesystem::remove(profile.path("data/personal.pbk"));
    ASSERT_EQ(qorsf::SF_open(0), 0);
    std::string path = profile.path("empty.txt");
    ASSERT_EQ(qorsf::SF_writelisting(0, false, path.c_str(), nullptr), 0);
    std::vector<std::string> got = lines(path);
    ASSERT_GE(got.size(), 5u);
    EXPECT_EQ(got[0].rfind("Phone book by name", 0), 0u);
    EXPECT_EQ(got[4], "");
}

}  // namespace
