#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "qorlang.h"
#include "qorul.h"
#include "qorul_control.h"
#include "testprofile.h"

namespace {

std::string parseError(const std::string& script) {
    qorlang::Module m;
    std::string error;
    EXPECT_FALSE(m.parse(script, error)) << script;
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(LanguageScript, EntriesEscapesCommentsAndOtherBlocks) {
    const std::string script = R"rc(
#include "resource.h"
#define IDD_QUEUE 2044 \
        // continued define
LANGUAGE 9, 1
/* a comment
   over lines with "quotes" and BEGIN */
2044 DIALOGEX 0, 0, 300, 200
STYLE DS_MODALFRAME | WS_POPUP
CAPTION "Queue ""window"""
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT "Jobs:", -1, 5, 5, 40, 8
    CONTROL "", 101, "ListBox", 0x50010003, 5, 15, 290, 150
END
1 ICON "fax.ico"
STRINGTABLE DISCARDABLE
BEGIN
    1, "plain"                 // an entry with a comma
    2 "no comma"
    3, "say ""hi"""
    4, "a\tb\nc\\d\"e\r\a"
    5, "\101\x42\0103"
    6, "per cent % and \q"
    0x10, "hex number"
    7, "joined " "text"
END
STRINGTABLE { 8, "braces" }
MENU1 MENU
BEGIN
    POPUP "File"
    BEGIN
        MENUITEM "Exit", 1
    END
END
)rc";
    qorlang::Module m;
    std::string error;
    ASSERT_TRUE(m.parse(script, error)) << error;
    EXPECT_EQ(m.textCount(), 9u);
    EXPECT_EQ(*m.text(1), "plain");
    EXPECT_EQ(*m.text(2), "no comma");
    EXPECT_EQ(*m.text(3), "say \"hi\"");
    EXPECT_EQ(*m.text(4), "a\tb\nc\\d\"e\r\a");
    EXPECT_EQ(*m.text(5), "AB\b3");
    EXPECT_EQ(*m.text(6), "per cent % and \\q");
    EXPECT_EQ(*m.text(16), "hex number");
    EXPECT_EQ(*m.text(7), "joined text");
    EXPECT_EQ(*m.text(8), "braces");
    EXPECT_EQ(m.text(2044), nullptr);
}

TEST(LanguageScript, GarbageIsRefusedWithTheLine) {
    EXPECT_NE(parseError("STRINGTABLE\nBEGIN\n 1, \"a\"\n 1, \"b\"\nEND\n").find("line 4"), std::string::npos);
    EXPECT_NE(parseError("STRINGTABLE\nBEGIN\n 1, \"open\nEND\n").find("unterminated string"), std::string::npos);
    parseError("STRINGTABLE BEGIN 1, \"a\"");              // no END
    parseError("STRINGTABLE BEGIN \"a\" END");             // no number
    parseError("STRINGTABLE BEGIN 70000, \"a\" END");      // above 16 bits
    parseError("STRINGTABLE BEGIN 1, 2 END");              // no text
    parseError("hello world");                             // not a resource
    parseError("2044 DIALOG 0, 0, 10, 10\nBEGIN\n");        // dialog without END
    parseError("\"loose text\"");
    parseError("STRINGTABLE BEGIN 1, \"a\" END /* open");
    parseError("@@@");
    qorlang::Module m;
    std::string error;
    EXPECT_TRUE(m.parse("", error));
    EXPECT_EQ(m.textCount(), 0u);
}

TEST(LanguageModule, BuiltInAndReplacedByQorlangPath) {
    qortest::TempProfile tp;
    unsetenv("QORLANG_PATH");
    qorlang::reset();
    ASSERT_NE(qorlang::current(), nullptr);
    EXPECT_EQ(*qorlang::current()->text(100), "QOR Fax");
    for (uint16_t n = 2200; n <= 2211; ++n) EXPECT_NE(qorlang::current()->text(n), nullptr) << n;

    std::string path = tp.path("fr.rc");
    qortest::writeFile(path, "STRINGTABLE\nBEGIN\n100, \"QOR Télécopie\"\nEND\n");
    setenv("QORLANG_PATH", path.c_str(), 1);
    qorlang::reset();
    char buf[80];
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), 0);
    EXPECT_STREQ(buf, "QOR Télécopie");
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 2200), UL_E_NOTEXT);

    // An unparsable translation: a status and one clear error-log line, never a crash.
    qortest::writeFile(path, "STRINGTABLE\nBEGIN\n100 \"x\"\n100 \"y\"\nEND\n");
    qorul::reset();
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), UL_E_LANGFILE);
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), UL_E_LANGFILE);
    std::string log = qortest::readFile(tp.path("error.log"));
    EXPECT_NE(log.find("UL_loadstring 30011 status 30011: " + path + ", line 4: text number 100 given twice\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find('\n'), log.size() - 1);  // logged once
    // Status texts fall back to their number; messages still go out.
    EXPECT_EQ(UL_errortext(0, 20251, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "status 20251");

    setenv("QORLANG_PATH", tp.path("missing.rc").c_str(), 1);
    qorul::reset();
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), UL_E_LANGFILE);
    setenv("QORLANG_PATH", tp.root().c_str(), 1);  // a directory
    qorul::reset();
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), UL_E_LANGFILE);
    unsetenv("QORLANG_PATH");
    qorul::reset();
    EXPECT_EQ(UL_loadstring(0, buf, "QORLANG", 100), 0);
}

}  // namespace
