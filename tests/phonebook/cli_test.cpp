// qorfax phonebook and qorfax group, driven as a person or a script would.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "testprofile.h"

namespace qortest {
namespace {

using Outcome = CommandResult;

class Cli : public ::testing::Test {
protected:
    Outcome qorfax(const std::string& args) { return runQorfax(QORFAX_BINARY, profile.root(), args); }
    TempProfile profile;
};

TEST_F(Cli, NamesAreAddedChangedListedAndLookedUp) {
    ASSERT_EQ(qorfax("phonebook add 'Ada Lovelace' --fax '+44 20 7946 0000' --voice 555-0100 --company 'Analytical, Ltd'").exit, 0);
    ASSERT_EQ(qorfax("phonebook add Ben --fax 123 --alt 999 --text3 'Likes golf'").exit, 0);
    Outcome r = qorfax("phonebook --tsv list");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out,
              "Ada Lovelace\t+44 20 7946 0000\t555-0100\t\t\tAnalytical, Ltd\t\t\t\n"
              "Ben\t123\t\t999\t\t\t\t\tLikes golf\n");
    ASSERT_EQ(qorfax("phonebook update Ben --voice 777 --alt ''").exit, 0);
    r = qorfax("phonebook show --tsv Ben");
    EXPECT_EQ(r.out, "Ben\t123\t777\t\t\t\t\t\tLikes golf\n") << "the details not given stay";
    r = qorfax("phonebook lookup 777 --tsv");
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "Ben\tvoice\n");
    r = qorfax("phonebook lookup 5550100");
    EXPECT_EQ(r.exit, 1) << "the stored number has hyphens";
    r = qorfax("phonebook update Nobody --fax 1");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("Nobody"), std::string::npos) << r.err;
}

TEST_F(Cli, ArgumentsAreCheckedBeforeAnythingIsStored) {
    EXPECT_EQ(qorfax("phonebook add Ada --fax HELLO").exit, 2) << "only letters";
    EXPECT_EQ(qorfax("phonebook add Ada --fax " + std::string(31, '1')).exit, 2);
    EXPECT_EQ(qorfax("phonebook add Ada").exit, 2) << "a fax number is needed";
    EXPECT_EQ(qorfax("phonebook add " + std::string(31, 'a') + " --fax 1").exit, 2);
    EXPECT_EQ(qorfax("phonebook add ' Ada' --fax 1").exit, 2);
    EXPECT_EQ(qorfax("phonebook add Ada --fax 1 --company " + std::string(61, 'c')).exit, 2);
    EXPECT_EQ(qorfax("phonebook add Ada --fax 1 --colour red").exit, 2);
    EXPECT_EQ(qorfax("group add ''").exit, 2);
    EXPECT_EQ(qorfax("phonebook list").out, "");
}

TEST_F(Cli, GroupsAndDeletingANameWithItsMemberships) {
    ASSERT_EQ(qorfax("phonebook add Ada --fax 1").exit, 0);
    ASSERT_EQ(qorfax("phonebook add Ben --fax 2").exit, 0);
    ASSERT_EQ(qorfax("group add Golf").exit, 0);
    EXPECT_EQ(qorfax("group add Golf").exit, 1);
    ASSERT_EQ(qorfax("group join Golf Ada").exit, 0);
    ASSERT_EQ(qorfax("group join Golf Ben").exit, 0);
    EXPECT_EQ(qorfax("group join Golf Nobody").exit, 1);
    EXPECT_EQ(qorfax("group join Chess Ada").exit, 1) << "join needs an existing group";
    EXPECT_EQ(qorfax("group members Golf").out, "Ada\nBen\n");
    EXPECT_EQ(qorfax("group members --tsv Golf").out, "Golf\tAda\nGolf\tBen\n");
    ASSERT_EQ(qorfax("phonebook delete Ada").exit, 0);
    EXPECT_EQ(qorfax("group members Golf").out, "Ben\n");
    EXPECT_EQ(qorfax("group leave Golf Ada").exit, 1);
    ASSERT_EQ(qorfax("group leave Golf Ben").exit, 0);
    EXPECT_EQ(qorfax("group members Golf").out, "");
    EXPECT_EQ(qorfax("group list").out, "Golf\n");
    ASSERT_EQ(qorfax("group delete Golf").exit, 0);
    EXPECT_EQ(qorfax("group list").out, "");
    EXPECT_EQ(qorfax("group delete Golf").exit, 1);
}

TEST_F(Cli, ImportExportAndAnotherBook) {
    const std::string names = profile.path("in.LST");
    writeFile(names, "\"Ada\",\"1\"\r\n\"Ben\",\"2\",\"Ben & Co\"\r\n");
    writeFile(profile.path("in.GLS"), "\"Golf\",\"Ben\"\r\n");
    const std::string other = profile.path("other.pbk");
    ASSERT_EQ(qorfax("phonebook --book " + shellQuote(other) + " import " + shellQuote(names)).exit, 0);
    EXPECT_TRUE(fileExists(other));
    EXPECT_EQ(qorfax("phonebook list").out, "") << "the profile's own book is untouched";
    EXPECT_EQ(qorfax("group --book " + shellQuote(other) + " members Golf").out, "Ben\n");
    const std::string out = profile.path("out.LST");
    ASSERT_EQ(qorfax("phonebook --book " + shellQuote(other) + " export " + shellQuote(out)).exit, 0);
    EXPECT_EQ(readFile(out), "\"Ada\",\"1\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                             "\"Ben\",\"2\",\"Ben & Co\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(readFile(profile.path("out.GLS")), "\"Golf\",\"Ben\"\r\n");

    // A book that is a directory, and a names file that is not text: clear messages, status 1.
    const std::string dir = profile.path("dir.pbk");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    Outcome r = qorfax("phonebook --book " + shellQuote(dir) + " list");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("phone book file cannot be used"), std::string::npos) << r.err;
    writeFile(names, std::string("\x7f" "ELF\0\0\0", 7));
    r = qorfax("phonebook import " + shellQuote(names));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("not a text file"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace qortest
