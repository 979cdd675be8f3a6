// qorfax report layouts and qorfax phonebook print driven as a person would.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "frame/frame.h"
#include "phonebook/phonebook.h"
#include "testprofile.h"

namespace {

// Standard output and error together in `out`, as a terminal shows them.
using Result = qortest::CommandResult;

Result qorfaxRun(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

TEST(ReportCli, LayoutsListsTheSectionsAndWhatIsWrongWithThem) {
    qortest::TempProfile profile;
    Result r = qorfaxRun(profile.root(), "report layouts");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("layout file " + profile.path("layouts.rpt")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Phone book by group      width 79, page 60 lines, header 4, body 1, footer 0, group column 2"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("DEFAULT"), std::string::npos);

    qortest::writeFile(profile.path("layouts.rpt"), "[Good]\r\nFont=Mono,10\r\n[Bad]\r\nLineWidth=99\r\n");
    r = qorfaxRun(profile.root(), "report layouts");
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_NE(r.out.find("Good                     width 80, page 55 lines, header 0, body 0, footer 0, font"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Bad                      error 20811: "), std::string::npos) << r.out;

    EXPECT_EQ(qorfaxRun(profile.root(), "report").exit, 2);
    EXPECT_EQ(qorfaxRun(profile.root(), "report --help").exit, 0);
}

class PhonebookPrint : public ::testing::Test {
protected:
    void SetUp() override {
        qorsf::frame_reset();
        ASSERT_EQ(SF_open(0), 0);
        PB_RECORD r{};
        PB_ENTRY e{};
        UL_strcopy(e.number, "555-0101");
        UL_strcopy(r.name, "Ann Archer");
        qorsf::SF_entrytoinfo(0, &e, r.info);
        ASSERT_EQ(qorsf::SF_addphone(0, "Ann Archer", &r), 0);
        ASSERT_EQ(qorsf::SF_addnametogroup(0, "Ann Archer", "Friends"), 0);
        SF_close(0);
        qorsf::frame_reset();
    }
    qortest::TempProfile profile;
};

TEST_F(PhonebookPrint, OutWritesTextOrPdfAndUsageErrorsAreRefused) {
    const std::string text = profile.path("list.txt"), pdf = profile.path("list.PDF");
    Result r = qorfaxRun(profile.root(), "phonebook print --by group --out '" + text + "'");
    ASSERT_EQ(r.exit, 0) << r.out;
    const std::string listing = qortest::readFile(text);
    EXPECT_NE(listing.find("Phone book by group"), std::string::npos);
    EXPECT_NE(listing.find("Friends"), std::string::npos);
    r = qorfaxRun(profile.root(), "phonebook print --out '" + pdf + "' --by name");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(qortest::readFile(pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(qorfaxRun(profile.root(), "phonebook print --by name").exit, 0);
    EXPECT_FALSE(std::filesystem::is_empty(profile.path("print")));
    EXPECT_EQ(qorfaxRun(profile.root(), "phonebook print").exit, 2);
    EXPECT_EQ(qorfaxRun(profile.root(), "phonebook print --by age").exit, 2);
    EXPECT_EQ(qorfaxRun(profile.root(), "phonebook print --by").exit, 2);
    EXPECT_EQ(qorfaxRun(profile.root(), "phonebook print --by name --colour red").exit, 2);
    // An existing file is replaced only when the user says yes.
    qortest::writeFile(text, "mine");
    r = qorfaxRun(profile.root(), "phonebook print --by group --out '" + text + "'");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("--yes replaces it"), std::string::npos) << r.out;
    EXPECT_EQ(qortest::readFile(text), "mine");
    r = qorfaxRun(profile.root(), "--no phonebook print --by name --out '" + pdf + "'");
    EXPECT_EQ(r.exit, 1);
    r = qorfaxRun(profile.root(), "--yes phonebook print --by group --out '" + text + "'");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(qortest::readFile(text).rfind("Phone book by group", 0), 0u);
    r = qorfaxRun(profile.root(), "phonebook print --help");
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("usage: qorfax phonebook print"), std::string::npos) << r.out;
}

}  // namespace
