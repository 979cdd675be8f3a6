// qorfax ccard: the settings shown, and changed through the dialog as a user would.
#include <gtest/gtest.h>


#include <string>

#include "testprofile.h"

namespace {

// Standard output and error together in `out`, as a terminal shows them.
using Outcome = qortest::CommandResult;

Outcome qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

class QorfaxCcard : public ::testing::Test {
protected:
    qortest::TempProfile profile;
};

TEST_F(QorfaxCcard, SetThenShow) {
    Outcome r = qorfax(profile.root(), "ccard set --first '*67' --second 4711 --second-after");
    ASSERT_EQ(r.exit, 0) << r.out;
    r = qorfax(profile.root(), "ccard");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("first text             *67 (before the number)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("second text            4711 (after the number)"), std::string::npos) << r.out;
    const std::string dat = qortest::readFile(profile.path("data/sf.dat"));
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(std::string(dat.c_str() + 4), "*67");
    EXPECT_EQ(dat.substr(56, 8), std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8));
}

TEST_F(QorfaxCcard, TheDialogsRulesRefuseWhatItNeverStores) {
    ASSERT_EQ(qorfax(profile.root(), "ccard set --first a --second b").exit, 0);
    // The first text after the number while the second stays before it: the dialog will not have it.
    Outcome r = qorfax(profile.root(), "ccard set --first x --first-after");
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_NE(r.out.find("the first text cannot follow the number while the second text comes before it"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("control"), std::string::npos) << "no window layer words: " << r.out;
    r = qorfax(profile.root(), "ccard set --second-after --first-after");  // both after: fine
    EXPECT_EQ(r.exit, 0) << r.out;
    r = qorfax(profile.root(), "ccard");
    EXPECT_NE(r.out.find("first text             a (after the number)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("second text            b (after the number)"), std::string::npos) << r.out;
    // An empty second text: the dialog's message, and nothing changes.
    r = qorfax(profile.root(), "ccard set --first x --second '' --second-after --first-after");
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_NE(r.out.find("cannot be empty"), std::string::npos) << r.out;
    r = qorfax(profile.root(), "ccard");
    EXPECT_NE(r.out.find("second text            b (after the number)"), std::string::npos) << r.out;
    r = qorfax(profile.root(), "ccard set --first 12345678901234567890123456789 --second z");
    EXPECT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("the first text was cut to 25 characters"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(profile.root(), "ccard set --bogus").exit, 2);
}

TEST_F(QorfaxCcard, AScriptOnStandardInputUsesTheDialogAndThePictureShowsIt) {
    // The second text left empty first: the dialog's message, then the script goes on.
    qortest::writeFile(profile.path("user.txt"),
                       "# the calling card, as a person would fill it in\n"
                       "type 101 555-1\n"
                       "enter\n"
                       "type 104 77\n"
                       "click 103\n"
                       "enter\n");
    const std::string png = profile.path("ccard.png");
    Outcome r = qorfax(profile.root(), "--ui script --picture '" + png + "' ccard < '" + profile.path("user.txt") + "'");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("cannot be empty"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("first text             555-1 (after the number)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("second text            77 (after the number)"), std::string::npos) << r.out;
    // The picture of the dialog as it was before the last action: a PNG file.
    const std::string bytes = qortest::readFile(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    // A script that ends before the dialog does cancels it: nothing is stored.
    qortest::writeFile(profile.path("short.txt"), "type 101 999\n");
    r = qorfax(profile.root(), "--ui script ccard < '" + profile.path("short.txt") + "'");
    EXPECT_EQ(r.exit, 1) << r.out;
    r = qorfax(profile.root(), "ccard show");
    EXPECT_NE(r.out.find("555-1"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(profile.root(), "--ui bogus ccard").exit, 2);
}

}  // namespace
