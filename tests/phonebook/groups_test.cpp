// Groups and memberships.
#include <gtest/gtest.h>

#include "pbfixture.h"

namespace qortest {
namespace {

using Groups = PhoneBookTest;

TEST_F(Groups, AGroupIsMadeOnceAndEachNameJoinsOnce) {
    for (const char* n : {"Ada", "Ben", "Cy"}) ASSERT_EQ(add(n, "1"), 0);
    ASSERT_EQ(join("Golf", ""), 0);
    EXPECT_EQ(join("Golf", ""), SF_EXISTS);
    EXPECT_NE(shownText().find("\"Golf\""), std::string::npos) << shownText();
    ASSERT_EQ(join("Golf", "Ben"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(join("Golf", "Cy"), 0);
    EXPECT_EQ(join("Golf", "Ada"), SF_EXISTS);
    EXPECT_EQ(join("Golf", "Nobody"), SF_NORECORD) << "an existing group takes only known names";
    EXPECT_EQ(members("Golf"), (Names{"", "Ben", "Ada", "Cy"})) << "the group's own record, then the members";
    EXPECT_EQ(groups(), (Names{"Golf"}));
    EXPECT_EQ(records().size(), 6u);

    int16_t st = 0;
    members("Chess", &st);
    EXPECT_EQ(st, SF_NORECORD);
    EXPECT_EQ(join("", "Ada"), SF_NORECORD) << "a blank group would look like a name's own record";
    EXPECT_EQ(join(" ", ""), SF_NORECORD);
}

TEST_F(Groups, GroupsOfANameAndTheGroupWalkBetweenMemberWalks) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(add("Ben", "2"), 0);
    for (const char* g : {"Zeta", "Alpha", "Mid"}) {
        ASSERT_EQ(join(g, ""), 0);
        ASSERT_EQ(join(g, "Ada"), 0);
    }
    ASSERT_EQ(join("Mid", "Ben"), 0);
    Names ofAda;
    char group[31];
    uint16_t found = 0;
    ASSERT_EQ(qorsf::SF_getfirstgroupofname(kHost, "Ada", group, &found), 0);
    while (found) {
        ofAda.emplace_back(group);
        ASSERT_EQ(qorsf::SF_getnextgroupofname(kHost, "Ada", group, &found), 0);
    }
    EXPECT_EQ(ofAda, (Names{" ", "Zeta", "Alpha", "Mid"})) << "the name record first, then by record number";
    EXPECT_EQ(qorsf::SF_getfirstgroupofname(kHost, "Nobody", group, &found), SF_NORECORD);

    // The group walk goes on across member walks, as the export runs them.
    Names seen;
    ASSERT_EQ(qorsf::SF_getfirstgroup(kHost, group, &found), 0);
    while (found) {
        seen.emplace_back(group);
        EXPECT_FALSE(members(group).empty());
        ASSERT_EQ(qorsf::SF_getnextgroup(kHost, group, &found), 0);
    }
    EXPECT_EQ(seen, (Names{"Alpha", "Mid", "Zeta"}));
}

TEST_F(Groups, DeletingAGroupLeavesTheNames) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(join("Golf", ""), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(join("Chess", "Ada"), 0);
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), 0);
    EXPECT_EQ(groups(), (Names{"Chess"}));
    EXPECT_STREQ(details("Ada").number, "1");
    EXPECT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), SF_NORECORD);
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Chess"), 0);
    ASSERT_EQ(SF_deletephone(kHost, "Ada"), 0);
}

TEST_F(Groups, AnEmptyPhoneBookHasNothingToRemoveAndSaysNothing) {
    // Nothing was ever stored: the group operations are done at once, without a message.
    EXPECT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), 0);
    EXPECT_EQ(SF_removenamefromgroups(kHost, "Ada"), 0);
    EXPECT_EQ(qorsf::SF_removenamefromgroup(kHost, "Ada", "Golf"), 0);
    EXPECT_TRUE(profile.ui().shown().empty()) << profile.ui().shown().front().text;
    // Deleting a name passes on what the store said about the empty phone book.
    EXPECT_EQ(SF_deletephone(kHost, "Ada"), SF_STOREFAILED);
    EXPECT_TRUE(profile.ui().shown().empty());

    // Emptied again after use: the same.
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), 0);
    ASSERT_EQ(SF_deletephone(kHost, "Ada"), 0);
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), 0);
    EXPECT_EQ(SF_removenamefromgroups(kHost, "Ada"), 0);
    EXPECT_EQ(SF_deletephone(kHost, "Ada"), SF_STOREFAILED);
    EXPECT_TRUE(profile.ui().shown().empty());
}

TEST_F(Groups, RemovingANameFromGroups) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(add("Ben", "2"), 0);
    EXPECT_EQ(SF_removenamefromgroups(kHost, "Ada"), 0) << "no memberships: nothing to do";
    for (const char* g : {"A", "B", "C", "D"}) {
        ASSERT_EQ(join(g, ""), 0);
        ASSERT_EQ(join(g, "Ada"), 0);
        ASSERT_EQ(join(g, "Ben"), 0);
    }
    ASSERT_EQ(qorsf::SF_removenamefromgroup(kHost, "Ben", "C"), 0);
    EXPECT_EQ(members("C"), (Names{"", "Ada"}));
    EXPECT_EQ(qorsf::SF_removenamefromgroup(kHost, "Ben", "Nope"), SF_NORECORD);
    EXPECT_EQ(qorsf::SF_removenamefromgroup(kHost, "", "C"), SF_NORECORD) << "the group's own record stays";

    ASSERT_EQ(SF_removenamefromgroups(kHost, "Ada"), 0);
    EXPECT_EQ(records().size(), 2u + 3u) << "two name records and Ben's three memberships";
    EXPECT_EQ(members("A"), (Names{"", "Ben"}));
    EXPECT_STREQ(details("Ada").number, "1");
    EXPECT_EQ(SF_removenamefromgroups(kHost, "Nobody"), SF_NORECORD);
    EXPECT_EQ(SF_removenamefromgroups(kHost, ""), SF_NORECORD);
    EXPECT_EQ(groups(), (Names{"A", "B", "C", "D"})) << "group records are no name's memberships";
}

}  // namespace
}  // namespace qortest
