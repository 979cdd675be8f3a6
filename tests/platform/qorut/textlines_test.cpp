// Text lines and field splitting: what a names file exported by the library and typed by hand
// may hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qorul.h"
#include "qorut.h"
#include "testprofile.h"

namespace {

std::vector<std::string> split(std::string line, int16_t most = 9, const char* sep = ",") {
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    char* fields[16] = {};
    int16_t count = -1;
    EXPECT_EQ(UT_splitfields(0, buf.data(), sep, most, fields, &count), 0);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(fields[i]);
    return out;
}

using V = std::vector<std::string>;

TEST(SplitFields, QuotedFieldsLoseTheirQuotesAndKeepTheirCommas) {
    EXPECT_EQ(split(R"("Ada","0123","Engines, Ltd")"), (V{"Ada", "0123", "Engines, Ltd"}));
    EXPECT_EQ(split(R"("a","","c")"), (V{"a", "", "c"}));
}

TEST(SplitFields, PlainAndMixedFields) {
    EXPECT_EQ(split("a,b,,d"), (V{"a", "b", "", "d"}));
    EXPECT_EQ(split("a,"), (V{"a", ""}));
    EXPECT_EQ(split(R"(  "x"  , y )"), (V{"x", " y "}));
}

TEST(SplitFields, StrayAndMissingQuotes) {
    EXPECT_EQ(split(R"("O"Brien","1")"), (V{"O\"Brien", "1"}));
    EXPECT_EQ(split(R"("unclosed,"2")"), (V{"unclosed,\"2"}));
    EXPECT_EQ(split(R"(a"b,c)"), (V{"a\"b", "c"}));
}

TEST(SplitFields, MostFieldsAndEmptyLines) {
    EXPECT_EQ(split("1,2,3,4", 2), (V{"1", "2"}));
    EXPECT_EQ(split(""), V{});
    EXPECT_EQ(split("1,2", 0), V{});
}

TEST(TextLines, CrLfLinesLongLinesAndTheEnd) {
    qortest::TempProfile profile;
    const std::string path = profile.path("lines.txt");
    qortest::writeFile(path, "first\r\nsecond\n" + std::string(3000, 'x') + "\r\nlast");
    uint32_t file = 0;
    ASSERT_EQ(UL_fopenread(0, path.c_str(), 1, &file), 0);
    char line[512];
    ASSERT_EQ(UT_fgetline(line, sizeof line, file), 0);
    EXPECT_STREQ(line, "first");
    ASSERT_EQ(UT_fgetline(line, sizeof line, file), 0);
    EXPECT_STREQ(line, "second");
    ASSERT_EQ(UT_fgetline(line, sizeof line, file), 0);
    EXPECT_EQ(std::string(line), std::string(511, 'x'));  // cut; the rest of the line is skipped
    ASSERT_EQ(UT_readline(line, sizeof line, file), 0);
    EXPECT_STREQ(line, "last");
    EXPECT_NE(UT_fgetline(line, sizeof line, file), 0);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(UL_fclose(0, file), 0);
}

TEST(TextLines, DirectReadsAfterLineReadsSeeTheLogicalPosition) {
    qortest::TempProfile profile;
    const std::string path = profile.path("mixed.bin");
    qortest::writeFile(path, "head\nABCDEF");
    uint32_t file = 0;
    ASSERT_EQ(UL_fopen(0, path.c_str(), 2, &file), 0);
    char line[16];
    ASSERT_EQ(UT_fgetline(line, sizeof line, file), 0);
    char raw[3] = {};
    ASSERT_EQ(UL_fread(0, file, raw, 2), 0);
    EXPECT_EQ(std::string(raw, 2), "AB");
    int32_t pos = 0;
    ASSERT_EQ(UL_fseek(0, file, 0, 2, &pos), 0);
    EXPECT_EQ(pos, 7);
    UL_fclose(0, file);
}

TEST(TextLines, AClosedFileReadsAsTheEnd) {
    char line[8];
    EXPECT_NE(UT_fgetline(line, sizeof line, 12345), 0);
}

}  // namespace
