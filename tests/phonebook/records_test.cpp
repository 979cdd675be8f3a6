// Entries and their stored form, name comparison, number checking and dial text decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pbfixture.h"

namespace qortest {
namespace {

std::string col(const char* info, std::size_t at, std::size_t width) { return std::string(info + at, width); }
std::string pad(const std::string& s, std::size_t width) { return s + std::string(width - s.size(), ' '); }

TEST(PhoneBookRecords, EntryToInfoFillsFixedColumnsPaddedWithSpaces) {
    Details d{"+1 555 0100", "555-0101", "0172 99", "other 1", "ACME, Inc.", "t1", "t2", std::string(80, 'z')};
    PB_ENTRY e = PhoneBookTest::entry("Ada", d);
    char info[661];
    std::memset(info, 'X', sizeof info);
    ASSERT_EQ(SF_entrytoinfo(0, &e, info), 0);
    EXPECT_EQ(info[660], 'X') << "exactly 660 bytes are written";
    EXPECT_EQ(col(info, 0, 30), pad("+1 555 0100", 30));
    EXPECT_EQ(col(info, 30, 30), pad("555-0101", 30));
    EXPECT_EQ(col(info, 60, 30), pad("0172 99", 30));
    EXPECT_EQ(col(info, 90, 30), pad("other 1", 30));
    EXPECT_EQ(col(info, 120, 60), pad("ACME, Inc.", 60));
    EXPECT_EQ(col(info, 180, 60), pad("t1", 60));
    EXPECT_EQ(col(info, 240, 60), pad("t2", 60));
    EXPECT_EQ(col(info, 300, 80), std::string(80, 'z')) << "a full-width field leaves no space after it";
    EXPECT_EQ(col(info, 380, 280), std::string(280, ' '));
    EXPECT_EQ(std::string(info, 660).find("Ada"), std::string::npos) << "the name is never part of the info";

    PB_ENTRY back;
    std::memset(&back, 'Q', sizeof back);
    ASSERT_EQ(SF_infotoentry(0, info, &back), 0);
    EXPECT_STREQ(back.name, "");
    EXPECT_STREQ(back.number, "+1 555 0100");
    EXPECT_STREQ(back.voice, "555-0101");
    EXPECT_STREQ(back.altnumber, "0172 99");
    EXPECT_STREQ(back.othernumber, "other 1");
    EXPECT_STREQ(back.company, "ACME, Inc.");
    EXPECT_STREQ(back.text3, std::string(80, 'z').c_str());
}

TEST(PhoneBookRecords, BlanksAndUnterminatedFields) {
    PB_ENTRY e{};
    ASSERT_EQ(SF_entrytoinfo(0, &e, nullptr), UL_E_BADARG);
    char info[660];
    ASSERT_EQ(SF_entrytoinfo(0, &e, info), 0);
    EXPECT_EQ(std::string(info, 660), std::string(660, ' '));
    PB_ENTRY back;
    ASSERT_EQ(SF_infotoentry(0, info, &back), 0);
    EXPECT_EQ(std::memcmp(&back, &e, sizeof e), 0) << "an all-blank info gives an all-empty entry";

    // A host's field without its NUL runs into the next field: only the field's own bytes count,
    // and trailing blanks go while leading ones stay.
    std::memset(e.company, 'c', sizeof e.company);
    std::memset(e.text1, 'd', sizeof e.text1);
    UL_strcopy(e.voice, "  42   ");
    ASSERT_EQ(SF_entrytoinfo(0, &e, info), 0);
    EXPECT_EQ(col(info, 120, 60), std::string(60, 'c'));
    EXPECT_EQ(col(info, 180, 60), std::string(60, 'd'));
    EXPECT_EQ(col(info, 30, 30), pad("  42", 30));
}

TEST(PhoneBookRecords, CheckPhoneNumRefusesOnlyEmptyLongAndAllLetters) {
    auto check = [](const std::string& s) {
        uint16_t r = 99;
        EXPECT_EQ(SF_checkphonenum(s.c_str(), &r), 0);
        return r;
    };
    EXPECT_EQ(check(""), 1);
    EXPECT_EQ(check(std::string(30, '7')), 0);
    EXPECT_EQ(check(std::string(31, '7')), 2);
    EXPECT_EQ(check("OPERATOR"), 3);
    EXPECT_EQ(check("\xC9t\xE9"), 3) << "Latin-1 letters are letters";
    EXPECT_EQ(check("CALL ME"), 0);
    EXPECT_EQ(check("ABC1"), 0);
    EXPECT_EQ(check("(5)"), 0);
    EXPECT_EQ(check("*#,-"), 0);
    EXPECT_EQ(SF_checkphonenum(nullptr, nullptr), 0);
}

TEST(PhoneBookRecords, DecodePhoneNumSplitsAtTheBars) {
    char prefix[80], suffix[80], number[80];
    auto decode = [&](const char* dial) {
        std::memset(prefix, 'x', sizeof prefix);
        EXPECT_EQ(qorsf::SF_decodephonenum(0, dial, prefix, suffix, number), 0);
        return std::string(prefix) + "/" + number + "/" + suffix;
    };
    EXPECT_EQ(decode("5550100"), "/5550100/");
    EXPECT_EQ(decode("9|5550100|"), "9/5550100/");
    EXPECT_EQ(decode("|5550100|#22"), "/5550100/#22");
    EXPECT_EQ(decode("9|5550100"), "9/5550100/");
    EXPECT_EQ(decode("9|555|#1|x"), "9/555/#1|x");
    EXPECT_EQ(decode(std::string(300, '1').c_str()), "/" + std::string(79, '1') + "/");
}

TEST(PhoneBookRecords, StrcmpComparesBytesUnsignedThenLength) {
    EXPECT_LT(SF_strcmp("ab", "abc"), 0);
    EXPECT_GT(SF_strcmp("abc", "ab"), 0);
    EXPECT_EQ(SF_strcmp("Ada", "Ada"), 0);
    EXPECT_LT(SF_strcmp("Smith", "smith"), 0) << "case counts";
    EXPECT_GT(SF_strcmp("\xE9", "z"), 0) << "bytes above 127 are unsigned";
    EXPECT_EQ(SF_strcmp("", ""), 0);
    // The 16-bit result never turns the sign of a long length difference.
    const std::string longer(40000, 'a');
    EXPECT_GT(SF_strcmp(longer.c_str(), ""), 0);
    EXPECT_LT(SF_strcmp("", longer.c_str()), 0);
    const uint32_t blocks = UL_handlecount();
    SF_strcmp("x", "y");
    EXPECT_EQ(UL_handlecount(), blocks) << "the scratch block is freed";
}

}  // namespace
}  // namespace qortest
