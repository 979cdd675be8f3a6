// qorfax phonebook and qorfax group, driven as a person or a script would.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorul.h"
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
    EXPECT_EQ(r.out, "Ben\tvoice\texact\n");
    r = qorfax("phonebook lookup 5550100");
    EXPECT_EQ(r.out, "Ada Lovelace (voice, by digits)\n") << "the stored number has hyphens";
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

TEST_F(Cli, AddKeepsAnExistingNameUnlessReplaceIsGiven) {
    ASSERT_EQ(qorfax("phonebook add Ada --fax 1 --voice 555 --company Engines --text3 'met in 1833'").exit, 0);
    Outcome r = qorfax("phonebook add Ada --fax 2");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("Ada is in the phone book already"), std::string::npos) << r.err;
    EXPECT_EQ(qorfax("phonebook show --tsv Ada").out, "Ada\t1\t555\t\t\tEngines\t\t\tmet in 1833\n")
        << "nothing of the name was lost";
    // update changes only what it is given.
    ASSERT_EQ(qorfax("phonebook update Ada --fax 3").exit, 0);
    EXPECT_EQ(qorfax("phonebook show --tsv Ada").out, "Ada\t3\t555\t\t\tEngines\t\t\tmet in 1833\n");
    // --replace replaces all the details.
    ASSERT_EQ(qorfax("phonebook add Ada --fax 4 --replace").exit, 0);
    EXPECT_EQ(qorfax("phonebook show --tsv Ada").out, "Ada\t4\t\t\t\t\t\t\t\n");
    EXPECT_EQ(qorfax("phonebook update Ada --fax 5 --replace").exit, 2);
    // A name known only through a group is known too.
    ASSERT_EQ(qorfax("group add Golf").exit, 0);
    ASSERT_EQ(qorfax("group join Golf Ada").exit, 0);
    ASSERT_EQ(qorfax("phonebook delete Ada").exit, 0);
    r = qorfax("phonebook delete Ada");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("there is no name Ada"), std::string::npos) << r.err;
}

TEST_F(Cli, DeleteInAnEmptyBookSaysTheNameIsNotThere) {
    Outcome r = qorfax("phonebook delete Nobody");
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.err, "qorfax: there is no name Nobody in the phone book\n");
}

TEST_F(Cli, LookupMatchesExactlyFirstThenByDigits) {
    ASSERT_EQ(qorfax("phonebook add Ada --fax '+44 (20) 7946-0000' --voice 555-0100").exit, 0);
    ASSERT_EQ(qorfax("phonebook add Ben --fax 5550100").exit, 0);
    Outcome r = qorfax("phonebook lookup 5550100 --tsv");
    EXPECT_EQ(r.out, "Ben\tfax\texact\n") << "the exact match wins over Ada's voice number by digits";
    ASSERT_EQ(qorfax("phonebook delete Ben").exit, 0);
    r = qorfax("phonebook lookup 5550100");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "Ada (voice, by digits)\n");
    EXPECT_EQ(qorfax("phonebook lookup --tsv 442079460000").out, "Ada\tfax\tdigits\n");
    EXPECT_EQ(qorfax("phonebook lookup 44207946000").exit, 1) << "one digit less is another number";
    EXPECT_EQ(qorfax("phonebook lookup ---").exit, 1) << "no digits match nothing";
}

TEST_F(Cli, TextsTheNamesFileCannotHoldAreRefusedWhenEntered) {
    Outcome r = qorfax("phonebook add Ada --fax 1 --company 'Smith\", Jones'");
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.err.find("double quote followed by a comma"), std::string::npos) << r.err;
    EXPECT_EQ(qorfax("phonebook add 'A\", B' --fax 1").exit, 2);
    EXPECT_EQ(qorfax("group add 'G\" ,x'").exit, 2);
    ASSERT_EQ(qorfax("phonebook add Ada --fax 1 --company 'The \"Best\", Ltd' --replace").exit, 2);
    ASSERT_EQ(qorfax("phonebook add Ada --fax 1 --company 'The \"Best\" Ltd'").exit, 0);
    EXPECT_EQ(qorfax("phonebook update Ada --text1 'x\",'").exit, 2);
    EXPECT_EQ(qorfax("phonebook list").exit, 0);

    // A name stored by another host with such a text is left out of an export, and said.
    ASSERT_EQ(SF_open(0), 0);
    PB_ENTRY e{};
    UL_strcopy(e.name, "Ben");
    UL_strcopy(e.number, "2");
    UL_strcopy(e.company, "Smith\", Jones");
    PB_RECORD rec{};
    UL_strcopy(rec.name, "Ben");
    SF_entrytoinfo(0, &e, rec.info);
    ASSERT_EQ(SF_addphone(0, "Ben", &rec), 0);
    SF_close(0);
    r = qorfax("phonebook export " + shellQuote(profile.path("out.LST")));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("Ben"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(profile.path("out.LST")), "\"Ada\",\"1\",\"The \"Best\" Ltd\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

TEST_F(Cli, ProgressShowsOnATerminalOnly) {
    std::string names;
    for (int i = 0; i < 250; ++i) names += "\"Name " + std::to_string(1000 + i) + "\",\"" + std::to_string(i + 1) + "\"\r\n";
    writeFile(profile.path("many.LST"), names);
    const std::string command = std::string(QORFAX_BINARY) + " --profile " + shellQuote(profile.root()) +
                                " phonebook import " + shellQuote(profile.path("many.LST"));
    // Under a terminal (script gives the command one): a line that is rewritten in place.
    std::string out;
    FILE* p = ::popen(("script -qec " + shellQuote(command) + " /dev/null 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ASSERT_EQ(::pclose(p), 0) << out;
    EXPECT_NE(out.find("\rimport: 2 of 250"), std::string::npos) << out;
    EXPECT_NE(out.find("\rimport: 250 of 250"), std::string::npos) << out;
    EXPECT_EQ(out.find("\rimport: 3 of 250"), std::string::npos) << "steps of 1%, not every name";
    // Not a terminal: nothing.
    writeFile(profile.path("more.LST"), "\"Zed\",\"9\"\r\n");
    Outcome r = qorfax("phonebook import " + shellQuote(profile.path("many.LST")));
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.err, "");
    r = qorfax("phonebook export " + shellQuote(profile.path("out.LST")));
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace qortest
