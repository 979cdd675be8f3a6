// The dialog templates of the language module: the parser's reading of styles, defaults and
// options, its refusals, and the templates the built-in module carries.
#include <gtest/gtest.h>

#include <string>

#include "qorlang.h"

namespace {

const qorlang::DialogTemplate* parse(qorlang::Module& m, const std::string& script) {
    std::string error;
    EXPECT_TRUE(m.parse(script, error)) << error;
    return m.dialog(7);
}

std::string refusal(const std::string& script) {
    qorlang::Module m;
    std::string error;
    EXPECT_FALSE(m.parse(script, error)) << script;
    return error;
}

TEST(DialogTemplates, StatementsTakeTheirDefaultStylesAndTheGivenOnes) {
    qorlang::Module m;
    const auto* t = parse(m, R"rc(
7 DIALOGEX DISCARDABLE 10, 20, 200, 100, 0
STYLE DS_MODALFRAME | WS_POPUP
CAPTION "Seven"
FONT 8, "MS Sans Serif", 400, 0, 1
BEGIN
    LTEXT "&Name:", IDC_STATIC, 4, 4, 40, 8
    EDITTEXT 101, 50, 4, 80 + 20, 12, ES_AUTOHSCROLL | NOT WS_TABSTOP
    COMBOBOX 102, 50, 20, 100, 60, CBS_DROPDOWN | WS_VSCROLL
    LISTBOX 103, 4, 40, 100, 40, LBS_MULTIPLESEL, WS_EX_CLIENTEDGE, 77
    CONTROL "", 104, "qorspin", WS_TABSTOP | 0x100, 150, 40, 10, 12
    CONTROL "Go", IDOK, "BUTTON", BS_DEFPUSHBUTTON, 150, 80, 40, 14
    {
        1, 2
    }
    RADIOBUTTON "One", 105, 4, 84, 40, 10, WS_GROUP
END
)rc");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->extended);
    EXPECT_EQ(t->caption, "Seven");
    EXPECT_EQ(t->fontFace, "MS Sans Serif");
    EXPECT_EQ(t->fontSize, 8);
    EXPECT_EQ(t->style, 0x80000000u | 0x80 | 0x40 | 0x00C00000u);  // CAPTION and FONT add their bits
    ASSERT_EQ(t->controls.size(), 7u);
    const auto& c = t->controls;
    constexpr uint32_t childVisible = 0x50000000;
    EXPECT_EQ(c[0].id, -1);
    EXPECT_EQ(c[0].className, "Static");
    EXPECT_EQ(c[0].text, "&Name:");
    EXPECT_EQ(c[0].style, childVisible | 0x00020000u);
    EXPECT_EQ(c[1].className, "Edit");
    EXPECT_EQ(c[1].cx, 100);
    EXPECT_EQ(c[1].style, childVisible | 0x00800000u | 0x80);  // the border stays, the tab stop goes
    EXPECT_EQ(c[2].style & 3, 2u);                              // a drop-down, not CBS_SIMPLE | CBS_DROPDOWN
    EXPECT_EQ(c[3].style, childVisible | 0x00800000u | 1 | 8);  // LBS_NOTIFY and the border by default
    EXPECT_EQ(c[3].exStyle, 0x200u);
    EXPECT_EQ(c[4].className, "qorspin");
    EXPECT_EQ(c[4].style, childVisible | 0x00010000u | 0x100);
    EXPECT_EQ(c[5].className, "Button");
    EXPECT_EQ(c[5].id, 1);
    EXPECT_EQ(c[6].style, childVisible | 0x00020000u | 4);
    EXPECT_EQ(c[6].line, 16);
}

TEST(DialogTemplates, MistakesAreRefusedWithTheirLine) {
    EXPECT_NE(refusal("7 DIALOG 0, 0, 10, 10\nBEGIN\n  EDITTEXT 1, 0, 0, 5, 5, ES_NOSUCH\nEND\n").find("line 3: unknown name ES_NOSUCH"),
              std::string::npos);
    EXPECT_NE(refusal("7 DIALOG 0, 0, 10, 10\nBEGIN\n  PUSHBUTTON \"x\" 1, 0, 0, 5, 5\nEND\n").find("line 3"),
              std::string::npos);
    EXPECT_NE(refusal("7 DIALOG 0, 0, 10, 10\nBEGIN\n  WIDGET 1, 0, 0, 5, 5\nEND\n").find("unknown control statement WIDGET"),
              std::string::npos);
    EXPECT_NE(refusal("7 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n7 DIALOG 0, 0, 10, 10\nBEGIN\nEND\n").find("given twice"),
              std::string::npos);
    EXPECT_NE(refusal("7 DIALOG 0, 0, 10, 10\nSTYLE WS_POPUP\nBEGIN\n  LTEXT \"a\", 1, 0, 0, 5\nEND\n").find("line 5: ',' expected"),
              std::string::npos);
    EXPECT_FALSE(refusal("7 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 0, 0, 5, 5\n").empty());
}

TEST(DialogTemplates, TheBuiltInModuleCarriesTheDialogsOfTheLibrary) {
    qorlang::Module m;
    std::string error;
    ASSERT_TRUE(m.parse(qorlang::builtinScript(), error)) << error;
    auto ids = [&](uint16_t number) {
        std::string out;
        const auto* t = m.dialog(number);
        if (!t) return std::string("missing");
        for (const auto& c : t->controls)
            if (c.id > 0) out += std::to_string(c.id) + " ";
        return out;
    };
    EXPECT_EQ(ids(2076), "101 102 103 104 105 106 1 2 4 ");
    EXPECT_EQ(ids(2071), "178 1 2 ");
    EXPECT_EQ(ids(2072), "191 192 1 2 ");
    EXPECT_EQ(ids(2075), "171 172 176 173 193 194 174 175 177 1 2 ");
    // The calling card's radio buttons are the plain kind: the dialog checks them itself, in two groups.
    const auto& cc = m.dialog(2076)->controls;
    EXPECT_EQ(cc[2].style & 0xF, 4u);
    EXPECT_NE(cc[2].style & 0x00020000u, 0u);
    EXPECT_NE(cc[6].style & 0x00020000u, 0u);
    // The phone book window (the form in the order Enter moves through it), the group members
    // and the recipient chooser.
    EXPECT_EQ(ids(2070), "171 172 174 175 176 173 193 194 177 181 230 70 178 229 195 231 232 190 201 202 11 238 226 "
                         "227 13 196 4 6 2 1 ");
    EXPECT_EQ(ids(2073), "178 90 91 195 171 11 14 1 2 ");
    EXPECT_EQ(ids(2074), "301 302 303 246 245 14 308 309 304 312 307 1 2 4 ");
}

}  // namespace
