// The work area and the name operations, driven through the exported functions as a host does.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "pbfixture.h"

namespace qortest {
namespace {

using Book = PhoneBookTest;

TEST_F(Book, PrologCreatesTheStoreOnceAndEpilogClosesIt) {
    ASSERT_FALSE(fileExists(bookPath()));
    SF_PBCONTEXT* first = nullptr;
    ASSERT_EQ(SF_prolog(kHost, &first, 'E'), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(fileExists(bookPath()));
    EXPECT_TRUE(qorsf::pbstoreOpen());
    const std::string made = readFile(bookPath());
    SF_PBCONTEXT* second = nullptr;
    ASSERT_EQ(SF_prolog(kHost, &second, 'E'), 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->openmode, 'E');
    EXPECT_STREQ(second->path, bookPath().c_str());
    EXPECT_EQ(second->reclength, 736);
    ASSERT_EQ(SF_epilog(kHost), 0);
    EXPECT_FALSE(qorsf::pbstoreOpen());
    EXPECT_FALSE(qorsf::pbworkLocked());
    EXPECT_EQ(SF_epilog(kHost), 0) << "closing a closed store only clears the context";
    EXPECT_FALSE(qorsf::pbworkLocked());
    EXPECT_FALSE(qorsf::storeCacheAllocated());
}

TEST_F(Book, EmptyBookAndGroupRecordsOnly) {
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(groups().empty());
    ASSERT_EQ(join("Board", ""), 0);
    ASSERT_EQ(join("Staff", ""), 0);
    EXPECT_TRUE(names().empty()) << "group records have no name";
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(groups(), (Names{"Board", "Staff"}));
}

TEST_F(Book, NamesComeInByteOrderOnceEachAndCaseMakesThemDifferent) {
    for (const char* n : {"smith", "Baker", "Smith", "adams", "\xC9mile"}) ASSERT_EQ(add(n, std::string("1") + n), 0);
    ASSERT_EQ(join("Golf", "Smith"), 0);
    ASSERT_EQ(join("Chess", "Smith"), 0);
    EXPECT_EQ(names(), (Names{"Baker", "Smith", "adams", "smith", "\xC9mile"}));
    EXPECT_STREQ(details("Smith").number, "1Smith");
    EXPECT_STREQ(details("smith").number, "1smith");
    EXPECT_EQ(records().size(), 7u) << "the walk of records gives memberships too";

    // A lookup of the current name between two steps does not disturb the walk.
    char name[31];
    uint16_t found = 0;
    ASSERT_EQ(SF_getfirstname(kHost, name, &found), 0);
    ASSERT_EQ(SF_getnextname(kHost, name, &found), 0);
    ASSERT_STREQ(name, "Smith");
    EXPECT_STREQ(details("Smith").number, "1Smith");
    ASSERT_EQ(SF_getnextname(kHost, name, &found), 0);
    EXPECT_STREQ(name, "adams");
}

TEST_F(Book, LookupOfUnknownAndMembershipOnlyNames) {
    int16_t st = 0;
    details("Nobody", &st);
    EXPECT_EQ(st, SF_NORECORD);
    EXPECT_NE(shownText().find("\"Nobody\""), std::string::npos) << shownText();
    ASSERT_EQ(join("Golf", "Ghost"), 0) << "a group without a record of its own takes any name";
    PB_ENTRY e = details("Ghost", &st);
    EXPECT_EQ(st, 0);
    EXPECT_STREQ(e.number, "");
    EXPECT_EQ(names(), (Names{"Ghost"}));
}

TEST_F(Book, AddOfAnExistingNameReplacesItsDetailsEverywhere) {
    ASSERT_EQ(add("Ada", Details{"111", "v1"}), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(join("Chess", "Ada"), 0);
    ASSERT_EQ(update("Ada", Details{"222", "v2"}), 0);
    ASSERT_EQ(add("Ada", Details{"333", "v3", "alt3"}), 0);
    EXPECT_EQ(names(), (Names{"Ada"}));
    const auto all = records();
    ASSERT_EQ(all.size(), 3u) << "one name record and two memberships, no second name record";
    for (const PB_ENTRY& e : all) {
        EXPECT_STREQ(e.name, "Ada");
        EXPECT_STREQ(e.number, "333");
        EXPECT_STREQ(e.altnumber, "alt3");
    }
    EXPECT_EQ(members("Golf"), (Names{"Ada"}));
    EXPECT_EQ(update("Nobody", Details{"1"}), SF_NORECORD);
    EXPECT_EQ(update("Ada", Details{"333", "v3", "alt3"}), 0) << "details that stand already are no failure";
}

TEST_F(Book, UpdateGivesEveryRecordOfTheNameTheDetailsOnce) {
    // Many memberships, with names before and after, so that new record numbers move the
    // records around within the name's run of keys.
    ASSERT_EQ(add("Aaron", "1"), 0);
    ASSERT_EQ(add("Zoe", "2"), 0);
    ASSERT_EQ(add("Mia", "3"), 0);
    for (int g = 0; g < 12; ++g) ASSERT_EQ(join("G" + std::to_string(g), "Mia"), 0);
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "G3"), 0);  // free record numbers to be taken again
    for (int round = 0; round < 3; ++round) {
        const std::string fax = "9" + std::to_string(round);
        ASSERT_EQ(update("Mia", Details{fax}), 0);
        int mia = 0;
        for (const PB_ENTRY& e : records()) {
            if (std::string(e.name) != "Mia") continue;
            ++mia;
            EXPECT_STREQ(e.number, fax.c_str());
        }
        EXPECT_EQ(mia, 12);
    }
    EXPECT_STREQ(details("Aaron").number, "1");
    EXPECT_STREQ(details("Zoe").number, "2");
}

TEST_F(Book, DeleteTakesOnlyTheNameRecordEvenBehindItsMemberships) {
    ASSERT_EQ(join("Golf", "Ben"), 0);  // memberships first: they come before the name record
    ASSERT_EQ(join("Chess", "Ben"), 0);
    ASSERT_EQ(add("Ben", "42"), 0);
    ASSERT_EQ(add("Cy", "43"), 0);
    ASSERT_EQ(SF_deletephone(kHost, "Ben"), 0);
    int16_t st = 0;
    EXPECT_STREQ(details("Ben", &st).number, "");
    EXPECT_EQ(st, 0) << "the memberships still carry the name";
    EXPECT_EQ(members("Golf"), (Names{"Ben"}));
    EXPECT_EQ(SF_deletephone(kHost, "Ben"), SF_NORECORD);
    EXPECT_EQ(SF_removenamefromgroups(kHost, "Ben"), 0);
    EXPECT_EQ(names(), (Names{"Cy"}));
    EXPECT_EQ(SF_deletephone(kHost, "Nobody"), SF_NORECORD);
}

TEST_F(Book, AChangeEndsEveryWalk) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(add("Ben", "2"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    char text[31];
    PB_ENTRY e;
    uint16_t found = 0;

    ASSERT_EQ(SF_getfirstname(kHost, text, &found), 0);
    ASSERT_EQ(add("Cy", "3"), 0);
    EXPECT_EQ(SF_getnextname(kHost, text, &found), SF_WRONGSTATE);
    EXPECT_EQ(found, 0);

    ASSERT_EQ(SF_getfirstpbrec(kHost, &e, &found), 0);
    ASSERT_EQ(SF_deletephone(kHost, "Cy"), 0);
    EXPECT_EQ(SF_getnextpbrec(kHost, &e, &found), SF_WRONGSTATE);

    ASSERT_EQ(qorsf::SF_getfirstgroup(kHost, text, &found), 0);
    ASSERT_EQ(join("Chess", ""), 0);
    EXPECT_EQ(qorsf::SF_getnextgroup(kHost, text, &found), SF_WRONGSTATE);

    ASSERT_EQ(qorsf::SF_getfirstmember(kHost, "Golf", text, &found), 0);
    ASSERT_EQ(SF_removenamefromgroups(kHost, "Ada"), 0);
    EXPECT_EQ(qorsf::SF_getnextmember(kHost, "Golf", text, &found), SF_WRONGSTATE);

    ASSERT_EQ(qorsf::SF_getfirstgroupofname(kHost, "Ben", text, &found), 0);
    ASSERT_EQ(SF_epilog(kHost), 0) << "a host may end a walk itself";
    EXPECT_EQ(qorsf::SF_getnextgroupofname(kHost, "Ben", text, &found), SF_WRONGSTATE);
    EXPECT_FALSE(qorsf::pbworkLocked()) << "a refused step still releases the work area";
}

TEST_F(Book, NamesAreKeysOfAtMost30CharactersAndNeverBlank) {
    const std::string longName(40, 'N');
    ASSERT_EQ(add(longName, "1"), 0);
    EXPECT_EQ(names(), (Names{std::string(30, 'N')}));
    EXPECT_STREQ(details(longName).number, "1") << "a lookup cuts the name as the add did";
    ASSERT_EQ(add(longName, "2"), 0);
    EXPECT_EQ(records().size(), 1u);

    ASSERT_EQ(join("Golf", ""), 0);
    EXPECT_EQ(add("", "5"), SF_NORECORD);
    EXPECT_EQ(add(" Hidden", "5"), SF_NORECORD);
    EXPECT_EQ(update("", Details{"6"}), SF_NORECORD);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(members("Golf"), (Names{""})) << "the group's own record kept its empty details";
    PB_ENTRY e;
    uint16_t found = 0;
    ASSERT_EQ(SF_getfirstpbrec(kHost, &e, &found), 0);
    EXPECT_STREQ(e.name, std::string(30, 'N').c_str());
}

TEST_F(Book, AStoreThatCannotBeUsedIsNeverOverwritten) {
    // Not a store file.
    writeFile(bookPath(), std::string(3000, 'x'));
    char name[31];
    uint16_t found = 7;
    EXPECT_EQ(SF_getfirstname(kHost, name, &found), SF_STOREFAILED);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(add("Ada", "1"), SF_STOREFAILED);
    uint16_t which = 0;
    PB_ENTRY e;
    EXPECT_EQ(SF_cidnumbertorec(kHost, "1", &which, &e), SF_STOREFAILED);
    EXPECT_EQ(which, qorsf::SF_CID_NONE);
    EXPECT_EQ(readFile(bookPath()), std::string(3000, 'x'));
    EXPECT_FALSE(qorsf::pbworkLocked());

    // A directory where the file should be.
    const std::string dir = profile.path("book.dir");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    ASSERT_EQ(qorsf::SF_setphonebookpath(kHost, dir.c_str()), 0);
    EXPECT_EQ(add("Ada", "1"), SF_STOREFAILED);
    EXPECT_EQ(SF_getfirstname(kHost, name, &found), SF_STOREFAILED);
}

TEST_F(Book, DamagedRecordsGiveStatusesNotGarbage) {
    for (int i = 0; i < 40; ++i) ASSERT_EQ(add("Name" + std::to_string(100 + i), std::to_string(i)), 0);
    ASSERT_EQ(SF_epilog(kHost), 0);
    std::string bytes = readFile(bookPath());
    ASSERT_GT(bytes.size(), 4096u);
    // Spoil the record images: every byte after the header block and the first pages.
    for (std::size_t i = 2048; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    writeFile(bookPath(), bytes);
    // Whatever the damage hit, the walks end with a status or a name: no crash, no endless walk.
    char name[31];
    uint16_t found = 0;
    int16_t st = SF_getfirstname(kHost, name, &found);
    for (int steps = 0; st == 0 && found && steps < 100; ++steps) st = SF_getnextname(kHost, name, &found);
    EXPECT_TRUE(st == 0 || st == SF_WRONGSTATE || st == SF_STOREFAILED) << st;
    uint16_t which = 0;
    PB_ENTRY e;
    st = SF_cidnumbertorec(kHost, "no such number", &which, &e);
    EXPECT_TRUE(st == 0 || st == SF_WRONGSTATE || st == SF_STOREFAILED) << st;
    EXPECT_EQ(which, qorsf::SF_CID_NONE);
}

}  // namespace
}  // namespace qortest
