#include <gtest/gtest.h>


#include <string>

#include "testprofile.h"

namespace {

// Standard output and error together in `out`, as a terminal shows them.
using RunResult = qortest::CommandResult;

RunResult qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

class QorfaxTest : public ::testing::Test {
protected:
    qortest::TempProfile profile;
};

TEST_F(QorfaxTest, InfoShowsTheProfileAndCreatesTheParameters) {
    RunResult r = qorfax(profile.root(), "info");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find(profile.path("data/personal.pbk")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("header template"), std::string::npos);
    EXPECT_NE(r.out.find("HEADER"), std::string::npos);
    EXPECT_EQ(qortest::readFile(profile.path("data/sf.dat")).size(), 682u);
}

TEST_F(QorfaxTest, ConfigSetThenGetAndUnset) {
    ASSERT_EQ(qorfax(profile.root(), "config set GENERAL SenderName 'Ada Lovelace'").exit, 0);
    RunResult r = qorfax(profile.root(), "config get general sendername");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out, "Ada Lovelace\n");
    r = qorfax(profile.root(), "info");
    EXPECT_NE(r.out.find("Ada Lovelace"), std::string::npos) << r.out;
    ASSERT_EQ(qorfax(profile.root(), "config unset GENERAL SenderName").exit, 0);
    EXPECT_EQ(qorfax(profile.root(), "config get GENERAL SenderName").exit, 1);
}

TEST_F(QorfaxTest, ConfigSetOfALibraryKeySurvivesTheLibrarysOwnSave) {
    ASSERT_EQ(qorfax(profile.root(), "config set 'FAX OPERATION' HeaderTemplate TOP").exit, 0);
    RunResult r = qorfax(profile.root(), "info");
    EXPECT_NE(r.out.find("TOP"), std::string::npos) << r.out;
}

TEST_F(QorfaxTest, HelpOnEveryLevel) {
    for (const char* args : {"--help", "info --help", "config --help", "help"}) {
        RunResult r = qorfax(profile.root(), args);
        EXPECT_EQ(r.exit, 0) << args;
        EXPECT_NE(r.out.find("usage: qorfax"), std::string::npos) << args;
    }
}

TEST_F(QorfaxTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(qorfax(profile.root(), "").exit, 2);
    EXPECT_EQ(qorfax(profile.root(), "frobnicate").exit, 2);
    EXPECT_EQ(qorfax(profile.root(), "config get ONLYSECTION").exit, 2);
    EXPECT_EQ(qorfax(profile.root(), "info extra").exit, 2);
}

TEST_F(QorfaxTest, AnUnusableProfileIsReportedWithTheLibrarysMessage) {
    qortest::writeFile(profile.path("file"), "x");
    RunResult r = qorfax(profile.path("file/sub"), "info");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("qorfax:"), std::string::npos);
    EXPECT_NE(r.out.find("status"), std::string::npos) << r.out;
}

}  // namespace
