// Caller-ID: which record and which of its numbers an incoming number belongs to.
#include <gtest/gtest.h>

#include <string>

#include "pbfixture.h"

namespace qortest {
namespace {

struct CallerId : PhoneBookTest {
    std::string lookup(const std::string& number, uint16_t* which = nullptr) {
        uint16_t w = 12345;
        PB_ENTRY e{};
        EXPECT_EQ(SF_cidnumbertorec(kHost, number.c_str(), &w, &e), 0);
        if (which) *which = w;
        if (w == qorsf::SF_CID_NONE) return "-";
        return std::string(e.name) + "/" + std::to_string(w);
    }
};

TEST_F(CallerId, EmptyBookFindsNothing) {
    uint16_t which = 0;
    EXPECT_EQ(lookup("5550100", &which), "-");
    EXPECT_EQ(which, qorsf::SF_CID_NONE);
}

TEST_F(CallerId, NameOrderDecidesBetweenRecordsVoiceBeforeFaxWithin) {
    ASSERT_EQ(add("Zed", Details{"", "5550100"}), 0);     // voice
    ASSERT_EQ(add("Amy", Details{"5550100"}), 0);         // fax: Amy comes first in name order
    ASSERT_EQ(add("Kim", Details{"777", "777"}), 0);      // the same number as voice and fax
    ASSERT_EQ(add("Lou", Details{"1", "2", "888", "999"}), 0);
    EXPECT_EQ(lookup("5550100"), "Amy/1");
    EXPECT_EQ(lookup("777"), "Kim/0");
    EXPECT_EQ(lookup("888"), "Lou/2");
    EXPECT_EQ(lookup("999"), "-") << "the fourth number is not compared";
    ASSERT_EQ(SF_deletephone(kHost, "Amy"), 0);
    EXPECT_EQ(lookup("5550100"), "Zed/0");
}

TEST_F(CallerId, TheFirstInNameOrderWinsWhateverOrderTheNamesCameIn) {
    // Name order is the order of the name's bytes: capitals before small letters, letters
    // above ASCII last. The names come in another order, so the records' numbers differ from it.
    ASSERT_EQ(add("b", Details{"X-1"}), 0);
    ASSERT_EQ(add("\xC4rger", Details{"", "x-1"}), 0);
    ASSERT_EQ(add("Bb", Details{"X-1"}), 0);
    ASSERT_EQ(add("B", Details{"", "", "x-1"}), 0);
    ASSERT_EQ(add("Zoe", Details{"222"}), 0);
    EXPECT_EQ(lookup("x-1"), "B/2");
    ASSERT_EQ(SF_deletephone(kHost, "B"), 0);
    EXPECT_EQ(lookup("X-1"), "Bb/1");
    ASSERT_EQ(SF_deletephone(kHost, "Bb"), 0);
    ASSERT_EQ(SF_deletephone(kHost, "b"), 0);
    EXPECT_EQ(lookup("X-1"), "\xC4rger/0");
    // A miss leaves the last record in name order in the entry, as a walk to the end does.
    uint16_t which = 0;
    PB_ENTRY e{};
    ASSERT_EQ(SF_cidnumbertorec(kHost, "333", &which, &e), 0);
    EXPECT_EQ(which, qorsf::SF_CID_NONE);
    EXPECT_STREQ(e.name, "\xC4rger");
}

TEST_F(CallerId, NumbersCompareAsTypedExceptForTheCaseOfLetters) {
    ASSERT_EQ(add("Ada", Details{"555-0100", "", "1-800-FLOWERS"}), 0);
    EXPECT_EQ(lookup("5550100"), "-");
    EXPECT_EQ(lookup("555-0100"), "Ada/1");
    EXPECT_EQ(lookup("1-800-flowers"), "Ada/2");
    EXPECT_EQ(lookup("555-0100 "), "-");
    EXPECT_EQ(lookup(""), "-") << "a call without caller-ID matches no empty field";
    EXPECT_EQ(lookup(std::string(200, '5')), "-");
}

TEST_F(CallerId, MembershipCopiesMatchUnderTheSameName) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(join("Club", "Bea"), 0);  // a new group takes a name without a record of its own
    ASSERT_EQ(update("Ada", Details{"4242"}), 0);
    EXPECT_EQ(lookup("4242"), "Ada/1");
    EXPECT_EQ(lookup(""), "-") << "Bea's empty membership copy is no match for a call without caller-ID";
    // Bea's record follows Ada's in the walk: none of Ada's numbers may show through it.
    ASSERT_EQ(update("Ada", Details{"4242", "777", "888"}), 0);
    const auto all = records();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_STREQ(all[2].name, "Bea");
    EXPECT_STREQ(all[2].voice, "");
    EXPECT_STREQ(all[2].altnumber, "");
    EXPECT_EQ(lookup("888"), "Ada/2");
}

TEST_F(CallerId, TheLookupClosesTheStore) {
    ASSERT_EQ(add("Ada", "1"), 0);
    PB_ENTRY e;
    uint16_t found = 0;
    ASSERT_EQ(SF_getfirstpbrec(kHost, &e, &found), 0);
    ASSERT_EQ(found, 1);
    lookup("1");
    EXPECT_EQ(SF_getnextpbrec(kHost, &e, &found), SF_WRONGSTATE);
    EXPECT_FALSE(qorsf::pbstoreOpen());
}

}  // namespace
}  // namespace qortest
