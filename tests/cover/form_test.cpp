// The cover form reader: what it accepts, what it refuses and says why, and damaged files.
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>

#include "qorce.h"
#include "qordoc.h"
#include "qorul.h"
#include "testprofile.h"

namespace qortest {
namespace {

std::string errorOf(const std::string& text) {
    std::string error;
    EXPECT_NE(CE_parseform(text, &error), 0) << text;
    return error;
}

TEST(CoverForm, AcceptsEveryKeywordAndOption) {
    std::string error;
    EXPECT_EQ(CE_parseform("# a comment\n"
                           "paper Letter\n"
                           "font \"DejaVu Serif\" 11\n"
                           "description \"Every item\"\n"
                           "text 20 10 \"FAX \\\"urgent\\\"\" size 30 bold italic align center\n"
                           "line 20 40 190 40 width 0.5\n"
                           "box 0 0 215 30 fill 100 width 0.1\n"
                           "field to 20 50 100 6 label \"To: \" bold\n"
                           "field 12 20 60 170 150 font \"DejaVu Sans\" size 10\n"
                           "logo 150 5 40 20 \"logo.png\"\n",
                           &error),
              0)
        << error;
}

TEST(CoverForm, RefusesFaultsWithTheLineAndTheReason) {
    EXPECT_EQ(errorOf("paper A4\nfrobnicate 1 2\n"), "line 2: unknown keyword \"frobnicate\"");
    EXPECT_NE(errorOf("paper A5\n").find("A4 or Letter"), std::string::npos);
    EXPECT_NE(errorOf("field nobody 1 1 10 10\n").find("unknown field"), std::string::npos);
    EXPECT_NE(errorOf("field to 1 1 10 10\nfield to 1 20 10 10\n").find("twice"), std::string::npos);
    EXPECT_NE(errorOf("field to 1 1 10\n").find("field NAME"), std::string::npos);
    EXPECT_NE(errorOf("field to 1 1 0 10\n").find("millimetres"), std::string::npos);
    EXPECT_NE(errorOf("field to 1 1 nan 10\n").find("millimetres"), std::string::npos);
    EXPECT_NE(errorOf("text 1 1 \"open\n").find("not closed"), std::string::npos);
    EXPECT_NE(errorOf("text 1 1 \"x\" size 400\n").find("4 to 96"), std::string::npos);
    EXPECT_NE(errorOf("text 1 1 \"x\" size\n").find("needs a value"), std::string::npos);
    EXPECT_NE(errorOf("logo 1 1 10 10 \"../../etc/passwd\"\n").find("beside the template"), std::string::npos);
    EXPECT_NE(errorOf("logo 1 1 10 10 \"/tmp/x.png\"\n").find("beside the template"), std::string::npos);
    EXPECT_EQ(CE_parseform(std::string(70000, '#'), nullptr), CE_E_TOOLARGE);
    std::string many;
    for (int i = 0; i < 500; ++i) many += "line 0 0 10 10\n";
    EXPECT_EQ(CE_parseform(many, nullptr), CE_E_TOOLARGE);
}

TEST(CoverForm, DamagedOrMissingFilesFailCleanly) {
    TempProfile p;
    CE_FORM form;
    EXPECT_EQ(CE_openform(0, p.path("missing.001").c_str(), &form), CE_E_OPEN);
    EXPECT_EQ(form.impl, nullptr);
    writeFile(p.path("bin.001"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    EXPECT_EQ(CE_openform(0, p.path("bin.001").c_str(), &form), CE_E_SYNTAX);
    EXPECT_NE(std::string(form.error).find("line 1"), std::string::npos);
    EXPECT_EQ(CE_readform(0, &form, nullptr), CE_E_NOTOPEN);
    EXPECT_EQ(CE_measureform(0, &form, 2), CE_E_NOTOPEN);
}

TEST(CoverForm, ALogoThatIsNoPngFailsTheFillAndAPngIsDrawn) {
    TempProfile p;
    writeFile(p.path("t.001"), "logo 20 20 50 30 \"logo.png\"\nfield to 20 60 100 8\n");
    writeFile(p.path("logo.png"), "not a png");
    CE_FORMDATA data{};
    UL_strcopy(data.templatepath, p.path("t.001").c_str());
    UL_strcopy(data.to, "Ann");
    const std::string out = p.path("out.fax");
    EXPECT_EQ(CE_fillform(0, out.c_str(), &data, 0, nullptr), CE_E_LOGO);
    EXPECT_FALSE(fileExists(out));

    // A grey square: dithered, so ink covers part of the logo's box but not all of it.
    const std::string png = p.path("logo.png");
    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 40);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
        cairo_paint(cr);
        cairo_destroy(cr);
        ASSERT_EQ(cairo_surface_write_to_png(s, png.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(s);
    }
    int16_t pages = 0;
    ASSERT_EQ(CE_fillform(0, out.c_str(), &data, 1, &pages), 0);
    EXPECT_EQ(pages, 1);
    std::vector<qordoc::Page> got;
    ASSERT_EQ(qordoc::readFax(out, &got), 0);
    ASSERT_EQ(got.size(), 1u);
    // The 30 mm square logo, centred in its 50 x 30 box: x 30..60 mm, y 20..50 mm (A4 on the fax
    // width is shifted by its margin).
    const double off = (1728 * 25.4 / 204 - 210) / 2;
    const int x0 = static_cast<int>((30 + off + 2) * 204 / 25.4), x1 = static_cast<int>((60 + off - 2) * 204 / 25.4);
    const int y0 = static_cast<int>(22 * 196 / 25.4), y1 = static_cast<int>(48 * 196 / 25.4);
    const double area = static_cast<double>(x1 - x0) * (y1 - y0);
    const double ink = static_cast<double>(got[0].inkIn(x0, y0, x1, y1));
    EXPECT_GT(ink / area, 0.3);
    EXPECT_LT(ink / area, 0.7);
}

}  // namespace
}  // namespace qortest
