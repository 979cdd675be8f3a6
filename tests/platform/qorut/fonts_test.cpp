// Fonts of UT_makefont are real fonts: measured and drawn with the face, height, weight and
// slant asked for.
#include <gtest/gtest.h>

#include <cstring>

#include "qorut.h"
#include "qorwin32.h"
#include "qorwingdi.h"

namespace {

struct Measured {
    TEXTMETRICA tm{};
    SIZE extent{};
};

Measured measure(const char* face, int16_t height, int16_t weight, uint16_t flags) {
    HFONT font = nullptr;
    EXPECT_EQ(UT_makefont(0, face, height, 0, weight, flags, &font), 0);
    Measured m;
    HDC dc = GetDC(nullptr);
    SelectObject(dc, font);
    GetTextMetricsA(dc, &m.tm);
    const char* text = "The calling card";
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &m.extent);
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(DeleteObject(font));
    return m;
}

TEST(UtMakefont, FontsHaveTheHeightWeightAndSlantAskedFor) {
    const Measured plain = measure("DejaVu Sans", -20, 400, 0);
    const Measured bold = measure("DejaVu Sans", -20, 700, 0);
    const Measured italic = measure("DejaVu Sans", -20, 400, UT_FONT_ITALIC);
    const Measured small = measure("DejaVu Sans", -10, 400, 0);
    const Measured serif = measure("DejaVu Serif", -20, 400, 0);
    const Measured fallback = measure("", -20, 400, 0);  // the default face
    EXPECT_EQ(plain.tm.tmWeight, 400);
    EXPECT_EQ(bold.tm.tmWeight, 700);
    EXPECT_GT(bold.extent.cx, plain.extent.cx);
    EXPECT_EQ(italic.tm.tmItalic, 1);
    // A negative height is the character height: the cell holds it with the font's leading.
    EXPECT_GE(plain.tm.tmHeight, 20);
    EXPECT_LE(plain.tm.tmHeight, 26);
    EXPECT_NEAR(plain.extent.cx, small.extent.cx * 2, 3);
    EXPECT_NE(serif.extent.cx, plain.extent.cx);
    EXPECT_EQ(fallback.extent.cx, plain.extent.cx);
    // A positive height is the cell height.
    const Measured cell = measure("DejaVu Sans", 20, 400, 0);
    EXPECT_EQ(cell.tm.tmHeight, 20);
}

}  // namespace
