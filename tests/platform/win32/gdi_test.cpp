#include <gtest/gtest.h>

#include <string>

#include "qorwin32.h"

namespace {

HFONT makeFont(int height, int weight, DWORD italic, LPCSTR face) {
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, 0, 0, face);
}

TEST(Fonts, CreatedReadBackAndDeletedOnce) {
    const std::size_t before = qorwin::liveGdiObjects();
    HFONT a = CreateFontA(-13, 7, 0, 0, 700, 1, 0, 1, 0, 0, 0, 0, 0, "Arial");
    HFONT b = makeFont(-8, 400, 0, "Courier New");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(qorwin::liveGdiObjects(), before + 2);

    qorwin::FontInfo info;
    ASSERT_TRUE(qorwin::fontInfo(a, &info));
    EXPECT_EQ(info.face, "Arial");
    EXPECT_EQ(info.height, -13);
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.weight, 700);
    EXPECT_TRUE(info.italic);
    EXPECT_FALSE(info.underline);
    EXPECT_TRUE(info.strikeout);
    ASSERT_TRUE(qorwin::fontInfo(b, &info));
    EXPECT_EQ(info.face, "Courier New");
    EXPECT_FALSE(info.italic);

    EXPECT_EQ(DeleteObject(a), TRUE);
    EXPECT_EQ(DeleteObject(a), FALSE);  // twice: refused, no crash
    EXPECT_FALSE(qorwin::fontInfo(a, &info));
    // The other font is untouched, and a new font never takes the deleted handle.
    EXPECT_TRUE(qorwin::fontInfo(b, &info));
    HFONT c = makeFont(10, 400, 0, "Arial");
    EXPECT_NE(c, a);
    EXPECT_EQ(DeleteObject(a), FALSE);
    EXPECT_EQ(DeleteObject(b), TRUE);
    EXPECT_EQ(DeleteObject(c), TRUE);
    EXPECT_EQ(qorwin::liveGdiObjects(), before);
}

TEST(Fonts, UnknownAndNullHandles) {
    EXPECT_EQ(DeleteObject(nullptr), FALSE);
    EXPECT_EQ(DeleteObject(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x1234))), FALSE);
    qorwin::FontInfo info;
    EXPECT_FALSE(qorwin::fontInfo(nullptr, &info));
}

TEST(Fonts, FaceCutToLogfontWidthAndNullFace) {
    const std::string longFace(60, 'F');
    HFONT f = makeFont(12, 400, 0, longFace.c_str());
    qorwin::FontInfo info;
    ASSERT_TRUE(qorwin::fontInfo(f, &info));
    EXPECT_EQ(info.face, std::string(31, 'F'));
    EXPECT_EQ(DeleteObject(f), TRUE);

    HFONT g = makeFont(12, 400, 0, nullptr);
    ASSERT_TRUE(qorwin::fontInfo(g, &info));
    EXPECT_EQ(info.face, "");
    EXPECT_EQ(DeleteObject(g), TRUE);
}

TEST(Fonts, DialogBaseUnitsOfTheSystemFont) {
    LONG u = GetDialogBaseUnits();
    EXPECT_EQ(u & 0xFFFF, 8);
    EXPECT_EQ((u >> 16) & 0xFFFF, 16);
}

}  // namespace
