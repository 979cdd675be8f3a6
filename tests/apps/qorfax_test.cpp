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

TEST_F(QorfaxTest, VersionShortHelpAndAShortUsageOnAUsageError) {
    RunResult r = qorfax(profile.root(), "--version");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out.rfind("qorfax ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.back(), '\n');
    r = qorfax(profile.root(), "-h");
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("commands:"), std::string::npos) << r.out;
    r = qorfax(profile.root(), "queue -h");
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("usage: qorfax queue list"), std::string::npos) << r.out;
    // A usage error: the problem, the usage lines and where to find more; not the whole help.
    r = qorfax(profile.root(), "frobnicate");
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "qorfax: unknown command frobnicate\n"
                     "usage: qorfax [--profile DIR] [--yes | --no] [--ui MODE] [--picture FILE.png] COMMAND [ARGS...]\n"
                     "(qorfax --help shows more)\n");
    r = qorfax(profile.root(), "queue frob");
    EXPECT_EQ(r.exit, 2);
    EXPECT_EQ(r.out, "qorfax: queue needs a verb: list, show, cancel, count, purge, check or a job action\n"
                     "usage: qorfax queue list [--tsv]\n"
                     "       qorfax queue show JOB\n"
                     "       qorfax queue cancel JOB\n"
                     "       qorfax queue count\n"
                     "       qorfax queue purge\n"
                     "       qorfax queue check [--repair]\n"
                     "       qorfax queue hold|release|send-now|delete JOB...\n"
                     "       qorfax queue resend-failed\n"
                     "       qorfax queue send-all-now\n"
                     "       qorfax queue number JOB NEW\n"
                     "       qorfax queue view JOB [--png FILE]\n"
                     "       qorfax queue save JOB --out FILE.pdf|FILE.tif\n"
                     "       qorfax queue print JOB...\n"
                     "       qorfax queue report [--out FILE]\n"
                     "       qorfax queue window\n"
                     "(qorfax queue --help shows more)\n");
    EXPECT_EQ(qorfax(profile.root(), "--frob").exit, 2);
}

TEST_F(QorfaxTest, ConfigSetRefusesWhatTheLibraryWouldMisread) {
    RunResult r = qorfax(profile.root(), "config set TRACE Levle 1");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("does not know the key Levle of section [TRACE]; its keys are: Level"), std::string::npos)
        << r.out;
    EXPECT_EQ(qorfax(profile.root(), "config get TRACE Levle").exit, 1) << "nothing was written";
    r = qorfax(profile.root(), "config set 'fax operation' DeleteAfterSend yes");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("needs a number"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(profile.root(), "config set PRINT Paper Legal").exit, 1);
    EXPECT_EQ(qorfax(profile.root(), "config set PRINT Paper letter").exit, 0);
    EXPECT_EQ(qorfax(profile.root(), "config set 'FAX OPERATION' LastNumber3 555").exit, 0);
    EXPECT_EQ(qorfax(profile.root(), "config set 'FAX OPERATION' DeleteAfterSend 1").exit, 0);
    EXPECT_EQ(qorfax(profile.root(), "config set MyHost Colour blue").exit, 0) << "a section of another program";
    EXPECT_EQ(qorfax(profile.root(), "config set --force TRACE Levle 1").exit, 0);
    EXPECT_EQ(qorfax(profile.root(), "config get TRACE Levle").out, "1\n");
    EXPECT_EQ(qorfax(profile.root(), "config get --force TRACE Levle").exit, 2);
    r = qorfax(profile.root(), "config keys");
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("[FAX OPERATION]\n  FineResolution       number"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Paper                A4|Letter    the paper of PDF files"), std::string::npos) << r.out;
}

TEST_F(QorfaxTest, TheManPageCoversEveryCommandAndVerb) {
    const std::string page = qortest::readFile(QORFAX_MANPAGE);
    ASSERT_FALSE(page.empty());
    // Every command of the main help has a section of its own.
    RunResult r = qorfax(profile.root(), "--help");
    std::size_t pos = r.out.find("commands:\n");
    ASSERT_NE(pos, std::string::npos);
    int commands = 0;
    for (pos = r.out.find('\n', pos) + 1; pos < r.out.size() && r.out.compare(pos, 2, "  ") == 0;
         pos = r.out.find('\n', pos) + 1) {
        const std::size_t start = pos + 2;
        const std::string word = r.out.substr(start, r.out.find(' ', start) - start);
        EXPECT_NE(page.find(".SS " + word), std::string::npos) << word;
        ++commands;
    }
    EXPECT_GE(commands, 8);
    for (const char* verb : {"list", "show", "cancel", "count", "purge", "keys", "lookup", "export", "import",
                             "members", "join", "leave", "\\-\\-replace", "\\-\\-force", "\\-\\-version",
                             "\\-\\-tsv"})
        EXPECT_NE(page.find(verb), std::string::npos) << verb;  // options as roff writes them
}

}  // namespace
