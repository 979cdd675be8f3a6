// qorfax send and qorfax queue, driven as a person or a script would.
#include <gtest/gtest.h>

#include <string>

#include "faxfile.h"
#include "testprofile.h"

namespace {

// Standard output and error together in `out`, as a terminal shows them.
using RunResult = qortest::CommandResult;

RunResult qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}

class QorfaxQueue : public ::testing::Test {
protected:
    std::string home() { return profile.path("home"); }
    qortest::TempProfile profile;
};

TEST_F(QorfaxQueue, SendListCountAndPurge) {
    const std::string tif = profile.path("page.tif"), txt = profile.path("memo.txt");
    ASSERT_TRUE(qortest::writeTiff(tif, 1728));
    qortest::writeFile(txt, "hello\n");
    RunResult r = qorfax(home(), "send --to 5551234 --to '+1 555 0100' --name Ada --fine --note hi "
                                 "--at '2026-04-01 08:30' --prefix 9 " + tif + " " + txt);
    ASSERT_EQ(r.exit, 0) << r.out;
    r = qorfax(home(), "queue list");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("5551234"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("+1 555 0100"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Ada"), std::string::npos);
    EXPECT_NE(r.out.find("Waiting"), std::string::npos);
    EXPECT_NE(r.out.find("2026-04-01 08:30:00"), std::string::npos) << r.out;
    r = qorfax(home(), "queue count");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out, "total 2\nsent 0\nfailed 0\nheld 0\n");
    r = qorfax(home(), "queue purge");
    EXPECT_EQ(r.exit, 0) << r.out;
    // The document list is empty again: a second send with a new file sends only that one.
    r = qorfax(home(), "send --to 1 " + txt);
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(qorfax(home(), "queue count").out, "total 3\nsent 0\nfailed 0\nheld 0\n");
}

TEST_F(QorfaxQueue, SendToAPhoneBookNameUsesItsFaxNumber) {
    const std::string txt = profile.path("memo.txt");
    qortest::writeFile(txt, "hello\n");
    ASSERT_EQ(qorfax(home(), "phonebook add 'Grace Hopper' --fax 5550199 --voice 5550100").exit, 0);
    ASSERT_EQ(qorfax(home(), "phonebook add 'No Fax' --fax 1 ").exit, 0);
    ASSERT_EQ(qorfax(home(), "phonebook update 'No Fax' --fax ''").exit, 0);

    RunResult r = qorfax(home(), "send --to 'Grace Hopper' " + txt);
    ASSERT_EQ(r.exit, 0) << r.out;
    r = qorfax(home(), "queue list");
    EXPECT_NE(r.out.find("5550199"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Grace Hopper"), std::string::npos) << r.out;

    r = qorfax(home(), "send --to 'Nobody Known' " + txt);
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("Nobody Known"), std::string::npos) << r.out;
    r = qorfax(home(), "send --to 'No Fax' " + txt);
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("has no fax number"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(home(), "queue count").out, "total 1\nsent 0\nfailed 0\nheld 0\n");
}

TEST_F(QorfaxQueue, BadInputQueuesNothing) {
    const std::string wide = profile.path("wide.tif"), txt = profile.path("memo.txt");
    qortest::writeFile(wide, std::string("II*\0 damaged", 12));
    qortest::writeFile(txt, "x\n");
    EXPECT_EQ(qorfax(home(), "send --to 1 " + profile.path("missing.txt")).exit, 1);
    RunResult r = qorfax(home(), "send --to 1 " + txt + " " + wide);
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("cannot be faxed: a damaged TIFF image"), std::string::npos) << r.out;
    r = qorfax(home(), "send --to " + std::string(50, '1') + " " + txt);
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("20251"), std::string::npos) << r.out;
    std::string many;
    for (int i = 0; i < 101; ++i) many += " " + txt;
    r = qorfax(home(), "send --to 1" + many);
    EXPECT_NE(r.out.find("13001"), std::string::npos) << r.out;
    EXPECT_EQ(qorfax(home(), "send --to Nobody " + txt).exit, 1);
    EXPECT_EQ(qorfax(home(), "send --to 1 --at 'tomorrow' " + txt).exit, 2);
    EXPECT_EQ(qorfax(home(), "send " + txt).exit, 2);
    EXPECT_EQ(qorfax(home(), "queue count").out, "total 0\nsent 0\nfailed 0\nheld 0\n");
}

}  // namespace
