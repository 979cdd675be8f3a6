// qorfax send and queue as a person meets them when the profile is damaged or the input unusual:
// groups and names as recipients, the configured defaults, paths the fields cannot carry, and a
// queue that cannot be opened.
#include <gtest/gtest.h>

#include <string>

#include "testprofile.h"

namespace {

using RunResult = qortest::CommandResult;

RunResult qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

class QorfaxSafety : public ::testing::Test {
protected:
    std::string home() { return profile.path("home"); }
    std::string memo() {
        const std::string txt = profile.path("memo.txt");
        qortest::writeFile(txt, "hello\n");
        return txt;
    }
    // The control files of the queued jobs, in job order.
    std::vector<std::string> controls() {
        std::vector<std::string> out;
        for (int k = 1; k < 100; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "spool/%08X.SPL", k);
            const std::string c = qortest::readFile(home() + "/" + name);
            if (!c.empty()) out.push_back(c);
        }
        return out;
    }
    qortest::TempProfile profile;
};

TEST_F(QorfaxSafety, AGroupIsSentToEveryMemberUnderTheMembersName) {
    ASSERT_EQ(qorfax(home(), "phonebook add 'Ada Lovelace' --fax 5550101").exit, 0);
    ASSERT_EQ(qorfax(home(), "phonebook add 'Bob Babbage' --fax 5550102").exit, 0);
    ASSERT_EQ(qorfax(home(), "phonebook add 'Cy Nofax' --fax 1").exit, 0);
    ASSERT_EQ(qorfax(home(), "phonebook update 'Cy Nofax' --fax ''").exit, 0);
    ASSERT_EQ(qorfax(home(), "group add Engineers").exit, 0);
    for (const char* n : {"Ada Lovelace", "Bob Babbage", "Cy Nofax"})
        ASSERT_EQ(qorfax(home(), std::string("group join Engineers '") + n + "'").exit, 0);
    RunResult r = qorfax(home(), "send --to Engineers --to 5550199 --name Desk " + memo());
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("Cy Nofax (group Engineers) has no fax number: skipped"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("queued 3 jobs"), std::string::npos) << r.out;
    r = qorfax(home(), "queue list");
    for (const char* line : {"Ada Lovelace", "5550101", "Bob Babbage", "5550102", "Desk", "5550199"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;

    r = qorfax(home(), "send --to 'Ada Lovelace' --to 'Bob Babbage' " + memo());
    ASSERT_EQ(r.exit, 0) << r.out;
    r = qorfax(home(), "queue list");
    // Each job its own recipient: the last two lines carry the two names.
    const std::size_t ada = r.out.rfind("Ada Lovelace"), bob = r.out.rfind("Bob Babbage");
    ASSERT_NE(ada, std::string::npos);
    ASSERT_NE(bob, std::string::npos);
    EXPECT_LT(ada, bob);
    EXPECT_GT(ada, r.out.find("5550199"));
}

TEST_F(QorfaxSafety, TheConfiguredDefaultsApplyUnlessTheCommandLineSaysOtherwise) {
    ASSERT_EQ(qorfax(home(), "config set 'FAX OPERATION' FineResolution 0").exit, 0);
    ASSERT_EQ(qorfax(home(), "config set 'FAX OPERATION' DeleteAfterSend 1").exit, 0);
    ASSERT_EQ(qorfax(home(), "send --to 1 " + memo()).exit, 0);
    ASSERT_EQ(qorfax(home(), "send --to 2 --fine --no-delete-after " + memo()).exit, 0);
    ASSERT_EQ(qorfax(home(), "send --to 3 --to 4 " + memo()).exit, 0);
    const auto c = controls();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_NE(c[0].find("DELETE  1\r\nFINE  0\r\n"), std::string::npos) << c[0];
    EXPECT_NE(c[1].find("DELETE  0\r\nFINE  1\r\n"), std::string::npos) << c[1];
    // Two recipients share the copy: the delete list removes it after the last.
    EXPECT_NE(c[2].find("DELETE  0\r\n"), std::string::npos) << c[2];
    EXPECT_NE(c[3].find("DELETE  0\r\n"), std::string::npos) << c[3];
}

TEST_F(QorfaxSafety, PathsWithBlanksOrOfAnyLengthAreSent) {
    const std::string blank = profile.path("my memo.txt");
    qortest::writeFile(blank, "with a blank\n");
    const std::string deep = profile.path(std::string(60, 'd') + "/" + std::string(40, 'f') + ".txt");
    ASSERT_EQ(system(("mkdir -p " + qortest::shellQuote(deep.substr(0, deep.rfind('/')))).c_str()), 0);
    qortest::writeFile(deep, "deep\n");
    RunResult r = qorfax(home(), "send --to 1 " + qortest::shellQuote(blank) + " " + qortest::shellQuote(deep));
    ASSERT_EQ(r.exit, 0) << r.out;
    const auto c = controls();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].find(" my memo"), std::string::npos);  // the job names the library's copies
    EXPECT_TRUE(qortest::fileExists(blank));
    EXPECT_TRUE(qortest::fileExists(deep));
    r = qorfax(home(), "queue check");
    EXPECT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("removed 0 control files and 0 spooled copies"), std::string::npos) << r.out;
}

TEST_F(QorfaxSafety, ATimeInThePastIsRefused) {
    RunResult r = qorfax(home(), "send --to 1 --at '2001-01-01 10:00' " + memo());
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.out.find("passed"), std::string::npos) << r.out;
    r = qorfax(home(), "send --to 1 --at 'now + 2 hours' " + memo());
    EXPECT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(qorfax(home(), "queue list").out.find("as soon as possible"), std::string::npos);
}

TEST_F(QorfaxSafety, ADamagedQueueStopsOnlyTheQueueWorkUntilRepaired) {
    ASSERT_EQ(qorfax(home(), "phonebook add 'Ada Lovelace' --fax 5550101").exit, 0);
    ASSERT_EQ(qorfax(home(), "send --to 111 --to 222 " + memo()).exit, 0);
    const std::string damaged = "this is not a database, it was overwritten by accident";
    qortest::writeFile(home() + "/queue.db", damaged);
    std::remove((home() + "/queue.db-wal").c_str());
    std::remove((home() + "/queue.db-shm").c_str());

    RunResult r = qorfax(home(), "phonebook list");
    EXPECT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("Ada Lovelace"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(home(), "config get 'FAX OPERATION' FineResolution").exit, 0);
    r = qorfax(home(), "queue list");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("queue check --repair"), std::string::npos) << r.out;
    r = qorfax(home(), "send --to 333 " + memo());
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("queue check --repair"), std::string::npos) << r.out;
    r = qorfax(home(), "queue check");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("--repair"), std::string::npos) << r.out;

    r = qorfax(home(), "queue check --repair");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("re-attached on hold"), std::string::npos) << r.out;
    const std::size_t at = r.out.find("kept as ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string kept = r.out.substr(at + 8, r.out.find('\n', at) - at - 8);
    EXPECT_EQ(qortest::readFile(kept), damaged);  // the damaged file is kept as it was
    r = qorfax(home(), "queue list");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("111"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("222"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(home(), "queue check").exit, 0);
    EXPECT_EQ(qorfax(home(), "send --to 333 " + memo()).exit, 0);
}

}  // namespace
