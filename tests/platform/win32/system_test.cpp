#include <gtest/gtest.h>

#include <cstring>

#include "qorwin32.h"

namespace {

TEST(CharClass, AsciiLettersOnly) {
    for (int c = 0; c < 128; ++c) {
        bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        EXPECT_EQ(IsCharAlphaA(static_cast<char>(c)), letter ? TRUE : FALSE) << "code " << c;
    }
}

TEST(CharClass, Latin1Letters) {
    // Accented capitals and small letters.
    for (int c = 0xC0; c <= 0xFF; ++c) {
        bool letter = c != 0xD7 && c != 0xF7;
        EXPECT_EQ(IsCharAlphaA(static_cast<char>(c)), letter ? TRUE : FALSE) << "code " << c;
    }
    // Ordinals and micro are letters; the other signs of the upper half are not.
    for (int c = 0x80; c < 0xC0; ++c) {
        bool letter = c == 0xAA || c == 0xB5 || c == 0xBA;
        EXPECT_EQ(IsCharAlphaA(static_cast<char>(c)), letter ? TRUE : FALSE) << "code " << c;
    }
}

TEST(Version, FourPointTen) {
    DWORD v = GetVersion();
    EXPECT_EQ(v & 0xFF, 4u);
    EXPECT_EQ((v >> 8) & 0xFF, 10u);
    EXPECT_EQ((v & 0xFF) * 256 + ((v >> 8) & 0xFF), 1034u);
}

}  // namespace
