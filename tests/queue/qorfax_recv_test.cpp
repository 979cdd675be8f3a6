// qorfax recv and the settings of received faxes, driven as a person or a script would.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "faxfile.h"
#include "testprofile.h"

namespace {

using RunResult = qortest::CommandResult;

RunResult qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

// List lines with their time of reception (the wall clock of that run) made "TIME".
std::string withoutTime(const std::string& tsv) {
    static const std::regex time(R"(\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t)");
    return std::regex_replace(tsv, time, "\tTIME\t");
}

class QorfaxRecv : public ::testing::Test {
protected:
    std::string home() { return profile.path("home"); }
    std::string page(int entry, int k) {
        char name[32];
        std::snprintf(name, sizeof name, "home/recv/R%08d.%03d", entry, k + 1);
        return profile.path(name);
    }
    qortest::TempProfile profile;
};

TEST_F(QorfaxRecv, ImportListShowMarkSavePrintAndDelete) {
    const std::string tif = profile.path("incoming.tif");
    ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_CCITTFAX3, 3));
    RunResult r = qorfax(home(), "recv import " + tif);
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out, "imported " + tif + " as entry 1 (3 pages)\n");
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::filesystem::exists(page(1, k))) << k;

    r = qorfax(home(), "recv list --tsv");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(withoutTime(r.out), "1\tTIME\tfile incoming.tif\t3\tnew\t-\n");
    EXPECT_EQ(qorfax(home(), "recv check").out, "new 1\nall 1\n");

    r = qorfax(home(), "recv show 1 --png " + profile.path("first.png"));
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("pages      3"), std::string::npos) << r.out;
    EXPECT_EQ(qortest::readFile(profile.path("first.png")).substr(1, 3), "PNG");
    EXPECT_EQ(qorfax(home(), "recv list --new").out.find("incoming"), std::string::npos);  // seen now
    ASSERT_EQ(qorfax(home(), "recv mark 1 --unread").exit, 0);
    EXPECT_NE(qorfax(home(), "recv list --new").out.find("file incoming.tif"), std::string::npos);

    r = qorfax(home(), "recv save 1 --out " + profile.path("fax.tif"));
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out, "saved 3 pages to " + profile.path("fax.tif") + "\n");
    TIFF* t = TIFFOpen(profile.path("fax.tif").c_str(), "r");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(TIFFNumberOfDirectories(t), 3);
    TIFFClose(t);

    r = qorfax(home(), "recv print 1");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(profile.path("home/print/R00000001.pdf"))) << r.out;
    EXPECT_EQ(withoutTime(qorfax(home(), "recv list --tsv").out), "1\tTIME\tfile incoming.tif\t3\tnew\tprinted\n");

    r = qorfax(home(), "recv delete 1");
    ASSERT_EQ(r.exit, 0) << r.out;
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(std::filesystem::exists(page(1, k))) << k;
    EXPECT_EQ(qorfax(home(), "recv list --tsv").out, "");
    r = qorfax(home(), "recv show 1");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("There is no received fax with that entry number."), std::string::npos) << r.out;
}

TEST_F(QorfaxRecv, AutomaticPrintingAndDeleteAfterPrintFromTheSettings) {
    const std::string tif = profile.path("in.tif");
    ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_CCITTFAX3, 2));
    EXPECT_EQ(qorfax(home(), "config autoprint").out, "off\n");
    ASSERT_EQ(qorfax(home(), "recv import " + tif).exit, 0);  // not waiting: printing was off
    ASSERT_EQ(qorfax(home(), "config autoprint on").exit, 0);
    ASSERT_EQ(qorfax(home(), "config deleteafterprint on").exit, 0);
    EXPECT_EQ(qorfax(home(), "config deleteafterprint").out, "on\n");
    EXPECT_EQ(qorfax(home(), "config get 'FAX OPERATION' DeleteAfterPrint").out, "1\n");
    ASSERT_EQ(qorfax(home(), "recv import " + tif).exit, 0);
    RunResult r = qorfax(home(), "recv check");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out, "new 2\nall 2\nprinted 1\n");
    EXPECT_TRUE(std::filesystem::exists(profile.path("home/print/R00000002.pdf")));
    EXPECT_FALSE(std::filesystem::exists(page(2, 0)));
    EXPECT_FALSE(std::filesystem::exists(page(2, 1)));
    EXPECT_TRUE(std::filesystem::exists(page(1, 0)));
    // Its pages are gone with it: only the first fax is listed.
    EXPECT_EQ(qorfax(home(), "recv check").out, "new 1\nall 1\nprinted 0\n");
}

TEST_F(QorfaxRecv, BadInputIsAClearMessage) {
    qortest::writeFile(profile.path("notes.txt"), "hello\n");
    RunResult r = qorfax(home(), "recv import " + profile.path("notes.txt"));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("only TIFF files hold received faxes"), std::string::npos) << r.out;
    qortest::writeFile(profile.path("cut.tif"), std::string("II*\0\x08\0\0\0", 8) + "junk");
    r = qorfax(home(), "recv import " + profile.path("cut.tif"));
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(profile.path("home/recv")));
    EXPECT_EQ(qorfax(home(), "recv list --tsv").out, "");
    EXPECT_EQ(qorfax(home(), "recv print 0").exit, 2);
    EXPECT_EQ(qorfax(home(), "recv show x").exit, 2);
    EXPECT_EQ(qorfax(home(), "recv mark 1").exit, 2);
    EXPECT_EQ(qorfax(home(), "recv save 1 --out").exit, 2);
    EXPECT_EQ(qorfax(home(), "recv frob").exit, 2);
    EXPECT_EQ(qorfax(home(), "config autoprint maybe").exit, 2);
    r = qorfax(home(), "recv print 5");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("There is no received fax with that entry number."), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(home(), "recv --help").exit, 0);
}

}  // namespace
