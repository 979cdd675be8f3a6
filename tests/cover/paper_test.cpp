// The shipped cover templates on both papers of [PRINT] Paper, and the recipient's name read
// back off a rendered cover (by OCR where the machine has tesseract, else as ink in its box).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "covertest.h"
#include "qorce.h"
#include "qorlib1.h"

namespace qortest {
namespace {

struct Bounds {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};

// The smallest rectangle that holds every ink pixel of the page.
Bounds inkBounds(const qordoc::Page& p) {
    Bounds b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.ink(x, y)) {
                b.x0 = std::min(b.x0, x);
                b.x1 = std::max(b.x1, x);
                b.y0 = std::min(b.y0, y);
                b.y1 = std::max(b.y1, y);
            }
    return b;
}

// The path of an executable found on PATH, empty when none.
std::string onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

// What tesseract reads on a PNG, its blanks and line ends made single blanks.
std::string ocr(const std::string& tesseract, const std::string& png) {
    const std::string command = shellQuote(tesseract) + " " + shellQuote(png) + " stdout 2>/dev/null";
    std::string text;
    if (FILE* f = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        ::pclose(f);
    }
    std::string flat;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
        if (!blank) flat += c;
        else if (!flat.empty() && flat.back() != ' ') flat += ' ';
    }
    return flat;
}

class CoverPaperTest : public CoverTest {
protected:
    // Template n for Charles Babbage with a short memo, rendered at `fine` into `out`.
    std::vector<qordoc::Page> render(int16_t n, int16_t fine, const std::string& out) {
        COVER_SHEET c = sheet();
        c.templatenumber = n;
        UL_strcopy(c.recipient1, "Charles Babbage");
        UL_strcopy(c.recipient2, "Difference Engines");
        UL_strcopy(c.sendera, "Ada Lovelace");
        c.memo = memo("Please find the tables attached.");
        int16_t type = 0;
        EXPECT_EQ(qorsf::SF_makecover(kHost, &c, out.c_str(), 2, fine, &type), 0);
        return pagesOf(out);
    }
    std::string templatePath(int16_t n) {
        char path[80] = {}, description[80] = {};
        EXPECT_EQ(qorsf::SF_templatelookup(kHost, n, path, description), 0);
        return path;
    }
};

TEST_F(CoverPaperTest, ShippedTemplatesRenderWholeOnLetterAsOnA4) {
    // A4 forms on Letter: scaled to the Letter length, centred across.
    const double fit = 279.4 / 297.0;
    const double faxWidthMm = 1728 * 25.4 / 204;
    for (int16_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE("template " + std::to_string(n));
        put("PRINT", "Paper", "A4");
        const auto a4 = render(n, 0, profile.path("a4.fax"));
        put("PRINT", "Paper", "Letter");
        const auto letter = render(n, 0, profile.path("letter.fax"));
        ASSERT_EQ(a4.size(), 1u);
        ASSERT_EQ(letter.size(), 1u);
        EXPECT_EQ(a4[0].height, 1146);
        EXPECT_EQ(letter[0].height, 1078);  // every page of a Letter fax is as long as Letter

        // Everything drawn on A4 is drawn on Letter, only smaller: the ink's extent, taken back
        // into the form's millimetres, is the same within a millimetre or so.
        const Bounds a = inkBounds(a4[0]), l = inkBounds(letter[0]);
        auto a4mm = [&](int x, int y, double* mx, double* my) {
            *mx = x * 25.4 / 204 - (faxWidthMm - 210) / 2;
            *my = y * 25.4 / 98;
        };
        auto lettermm = [&](int x, int y, double* mx, double* my) {
            *mx = (x * 25.4 / 204 - (faxWidthMm - 210 * fit) / 2) / fit;
            *my = (y * 25.4 / 98) / fit;
        };
        double ax0, ay0, ax1, ay1, lx0, ly0, lx1, ly1;
        a4mm(a.x0, a.y0, &ax0, &ay0);
        a4mm(a.x1, a.y1, &ax1, &ay1);
        lettermm(l.x0, l.y0, &lx0, &ly0);
        lettermm(l.x1, l.y1, &lx1, &ly1);
        EXPECT_NEAR(lx0, ax0, 1.5);
        EXPECT_NEAR(lx1, ax1, 1.5);
        EXPECT_NEAR(ly0, ay0, 1.5);
        EXPECT_NEAR(ly1, ay1, 1.5);
        // The ink in proportion: the same drawing at 94 % holds about 0.94² of the ink.
        const double ratio = static_cast<double>(letter[0].inkIn(0, 0, 1728, 1078)) /
                             static_cast<double>(a4[0].inkIn(0, 0, 1728, 1146));
        EXPECT_GT(ratio, 0.7);  // hairlines keep their width in whole pixels
        EXPECT_LT(ratio, 1.0);

        // The field boxes follow the page: the recipient's name is inside its box on Letter.
        CE_FORM form;
        ASSERT_EQ(CE_openform(kHost, templatePath(n).c_str(), &form), 0);
        int x0, y0, x1, y1;
        ASSERT_TRUE(CE_fieldbox(&form, CE_F_TO, 0, &x0, &y0, &x1, &y1));
        EXPECT_LT(y1, 1078);
        EXPECT_GT(letter[0].inkIn(x0, y0, x1, y1), 150u);
        CE_closeform(kHost, &form);
    }
}

TEST_F(CoverPaperTest, ALetterFormOnA4IsCentredAndWhole) {
    writeFile(profile.path("data/letter.001"),
              "paper Letter\n"
              "box 10 10 195.9 259.4 width 1\n"
              "field to 20 20 100 10 size 14\n"
              "field memo 20 40 175 200\n");
    put("TEMPLATES", "template4", "letter,A Letter form");
    put("PRINT", "Paper", "A4");
    const auto pages = render(4, 1, profile.path("a4.fax"));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].height, 2292);
    // The frame of 10 mm margins, scaled by 210 / 215.9 and centred down the A4 page.
    const double fit = 210 / 215.9;
    const double top = (297 - 279.4 * fit) / 2 + 10 * fit;
    const double bottom = (297 - 279.4 * fit) / 2 + 269.4 * fit;
    const Bounds b = inkBounds(pages[0]);
    EXPECT_NEAR(b.y0 * 25.4 / 196, top - 0.5, 1.0);
    EXPECT_NEAR(b.y1 * 25.4 / 196, bottom + 0.5, 1.0);
}

TEST_F(CoverPaperTest, TheRecipientsNameCanBeReadOffTheCover) {
    const std::string tesseract = onPath("tesseract");
    for (const char* paper : {"A4", "Letter"}) {
        put("PRINT", "Paper", paper);
        for (int16_t n = 1; n <= 3; ++n) {
            SCOPED_TRACE(std::string(paper) + ", template " + std::to_string(n));
            const std::string out = profile.path("cover.fax");
            const auto pages = render(n, 1, out);
            ASSERT_EQ(pages.size(), 1u);
            CE_FORM form;
            ASSERT_EQ(CE_openform(kHost, templatePath(n).c_str(), &form), 0);
            int x0, y0, x1, y1;
            ASSERT_TRUE(CE_fieldbox(&form, CE_F_TO, 1, &x0, &y0, &x1, &y1));
            EXPECT_GT(pages[0].inkIn(x0, y0, x1, y1), 300u);
            ASSERT_TRUE(CE_fieldbox(&form, CE_F_MEMO, 1, &x0, &y0, &x1, &y1));
            EXPECT_GT(pages[0].inkIn(x0, y0, x1, y0 + (y1 - y0) / 10), 200u);
            CE_closeform(kHost, &form);
            // No OCR here: the ink in the boxes must do. OCR takes seconds a page: every template
            // on Letter, the first on A4.
            if (tesseract.empty() || (std::string(paper) == "A4" && n > 1)) continue;
            const std::string png = profile.path("cover.png");
            ASSERT_EQ(L1_pagepng(kHost, out.c_str(), 0, png.c_str()), 0);
            const std::string text = ocr(tesseract, png);
            EXPECT_NE(text.find("Charles Babbage"), std::string::npos) << text;
            EXPECT_NE(text.find("Please find the tables attached"), std::string::npos) << text;
        }
    }
}

}  // namespace
}  // namespace qortest
