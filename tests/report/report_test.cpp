// The report writer driven as its callers drive it: a layout file in the profile, open, rows,
// close, and the bytes of the written report.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qorlang.h"
#include "reporttest.h"

namespace {

using reporttest::ReportTest;
using Lines = std::vector<std::string>;

// ---- Paging

TEST_F(ReportTest, PageLengthTenWritesNineRowsThenTwoFillLinesAndAFormFeed) {
    layout("[TEN]\r\nPageLength=10\r\nBodyLines=1\r\n(Body)\r\n<1   >\r\n");
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 10; ++i) rows.push_back({"r" + std::to_string(i)});
    ASSERT_EQ(report("TEN", rows), 0);
    Lines got = lines(out());
    Lines want;
    for (int i = 1; i <= 9; ++i) want.push_back(("r" + std::to_string(i) + "      ").substr(0, 6));
    want.insert(want.end(), {" ", " ", "\f", "r10   "});
    for (int i = 0; i < 10; ++i) want.push_back(" ");  // the last page filled up at close
    want.push_back("\f");
    EXPECT_EQ(got, want);
}

TEST_F(ReportTest, HeaderAndFooterFrameEveryPageWithDateTimeAndPageNumber) {
    layout(
        "[P]\n"
        "PageLength=8 ; lines per page\n"
        "HeaderLines=2\n"
        "FooterLines=1\n"
        "BodyLines=1\n"
        "FirstPage=7\n"
        "(Header)\n"
        "<Date      > <Time    > page <Page>\n"
        "\n"
        "(Footer)\n"
        "-- <page> --\n"
        "(Body)\n"
        "<1>\n");
    std::vector<std::vector<std::string>> rows;
    for (int i = 1; i <= 6; ++i) rows.push_back({std::to_string(i)});
    ASSERT_EQ(report("P", rows), 0);
    // The header counts on its page: 2 header lines, rows while 2 + rows + 1 < 8, fill up to
    // 8 - 1, the footer, the form feed.
    Lines want = {"2026-03-14   09:26:53   page 7     ", "", "1  ", "2  ", "3  ", "4  ", "5  ",
                  " ", "-- 7      --", "\f",
                  "2026-03-14   09:26:53   page 8     ", "", "6  ", " ", " ", " ", " ", " ",
                  "-- 8      --", "\f"};
    EXPECT_EQ(lines(out()), want);
}

TEST_F(ReportTest, NoFillAndNoFormFeedLeaveThePageAsWritten) {
    layout("[N]\nPageLength=5\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n<1>\n");
    ASSERT_EQ(report("N", {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}, {"f"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"a  ", "b  ", "c  ", "d  ", "e  ", "f  "}));
}

TEST_F(ReportTest, AnEmptyReportStillPrintsItsHeader) {
    layout("[E]\nPageLength=4\nHeaderLines=1\nBodyLines=1\n(Header)\nList of <Date      >\n(Body)\n<1>\n");
    ASSERT_EQ(report("E", {}), 0);
    EXPECT_EQ(lines(out()), (Lines{"List of 2026-03-14  ", " ", " ", " ", " ", "\f"}));
}

// ---- Fields and groups

TEST_F(ReportTest, FieldsAreCutAndPaddedToTheirWidthAndMissingColumnsStayBlank) {
    layout("[F]\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n{<3  >|<1>|<<x>>|<2        >}\n");
    ASSERT_EQ(report("F", {{"1", "two", "abcdefgh"}, {"", "\ttab"}}), 0);
    // "<<" and ">>" print as the bracket and a blank; a control character in a value prints
    // as a blank; the second row gives no column 3.
    EXPECT_EQ(lines(out()), (Lines{"{abcde|1  |< x> |two        }", "{     |   |< x> | tab       }"}));
}

TEST_F(ReportTest, RepeatedGroupValuesAreBlankExceptOnTheFirstRowOfAPage) {
    layout("[G]\nPageLength=4\nBodyLines=1\nGroupColumn=1\nBlankRepeats=1\nNoFill=1\n(Body)\n<1 >|<2>\n");
    ASSERT_EQ(report("G", {{"A", "1"}, {"A", "2"}, {"B", "3"}, {"B", "4"}, {"B", "5"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"A   |1  ", "    |2  ", "B   |3  ", "\f", "B   |4  ", "    |5  ", "\f"}));
}

TEST_F(ReportTest, WithoutBlankRepeatsTheGroupColumnPrintsEveryTime) {
    layout("[G]\nBodyLines=1\nGroupColumn=1\nNoFill=1\nNoFormFeed=1\n(Body)\n<1>\n");
    ASSERT_EQ(report("G", {{"A"}, {"A"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"A  ", "A  "}));
    EXPECT_EQ(ctx.rowsInGroup, 0);  // released by close
}

TEST_F(ReportTest, GroupCountsRestartAtEveryNewGroupValue) {
    layout("[G]\nBodyLines=1\nGroupColumn=2\n(Body)\n<1>\n");
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "G", &ctx), 0);
    for (const char* g : {"x", "x", "x", "y", "y"}) ASSERT_EQ(line({"n", g}), 0);
    EXPECT_EQ(ctx.rowsBefore, 3);
    EXPECT_EQ(ctx.rowsInGroup, 2);
    EXPECT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
}

// ---- Running text

TEST_F(ReportTest, RunningTextIsWrittenInPiecesOfTheFieldWidthWithoutLosingACharacter) {
    std::string field = "<Text" + std::string(54, ' ') + ">";  // 60 wide, the whole line
    layout("[R]\nLineWidth=60\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n" + field + "\n");
    std::string text;
    for (int i = 0; i < 100; ++i) text += static_cast<char>('A' + i % 26);
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "R", &ctx), 0);
    ASSERT_EQ(line({}, text.c_str(), 5), 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    Lines got = lines(out());
    ASSERT_EQ(got.size(), 2u);  // the text ran out after two pieces
    EXPECT_EQ(got[0], text.substr(0, 60));
    EXPECT_EQ(got[1], text.substr(60));
}

TEST_F(ReportTest, RunningTextPiecesHandleLineEndsTabsAndControlCharacters) {
    layout("[R]\nBodyLines=3\nNoFill=1\nNoFormFeed=1\n(Body)\nbefore\n     <Text          >\nafter\n");
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "R", &ctx), 0);
    // 16 wide: a line of exactly 16 takes its line end along; CR dropped; tab to 8; BEL blank.
    const char* text = "0123456789abcdef\r\nshort\r\n\tx\ay\nlast piece is cut here";
    ASSERT_EQ(line({}, text, 3), 0);  // only three lines of it
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    EXPECT_EQ(lines(out()),
              (Lines{"before", "     0123456789abcdef", "     short", "             x y", "after"}));
}

TEST_F(ReportTest, RunningTextFieldWithoutTextWritesNoLine) {
    layout("[R]\nBodyLines=2\nNoFill=1\nNoFormFeed=1\n(Body)\n<1>\n<Text>\n");
    ASSERT_EQ(report("R", {{"a"}, {"b"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"a  ", "b  "}));
}

// ---- Layout file reading

TEST_F(ReportTest, AnEmptyLayoutNameReadsTheDefaultSection) {
    layout("[OTHER]\nBodyLines=1\n(Body)\nother <1>\n[DEFAULT]\nBodyLines=1\nNoFormFeed=1\nNoFill=1\n(Body)\ndefault <1>\n");
    ASSERT_EQ(report("", {{"x"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"default x  "}));
}

TEST_F(ReportTest, CrLfTabsCaseAndCommentsInTheLayoutFile) {
    layout(
        "; a comment line\r\n"
        "[first]\r\n"
        "BodyLines=9\r\n"
        "(BODY)\r\n"
        "never\r\n"
        "[ Sect ] [Tabbed] trailing\r\n"
        "  linewidth = 20 ; narrow\r\n"
        "BODYLINES=1\r\n"
        "unknownkey=3\r\n"
        "a line without an equals sign\r\n"
        "nofill=1\r\n"
        "NoFormFeed=1\r\n"
        "( body )\r\n"
        "\t<1>\tx   \r\n"
        "\r\n"
        "   \r\n");
    ASSERT_EQ(report("tabbed", {{"v"}}), 0);
    EXPECT_EQ(lines(out()), (Lines{"        v       x"}));
}

TEST_F(ReportTest, LayoutOutputFileCopiesTheReportAndAsksBeforeReplacing) {
    std::string target = profile.path("copy.txt");
    layout("[O]\nOutputFile=" + target + "\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n<1>\n");
    ::unlink(out().c_str());
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "O", &ctx), 0);
    EXPECT_EQ(ctx.printAfterwards, 0);
    ASSERT_EQ(line({"one"}), 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    EXPECT_EQ(qortest::readFile(target), "one\r\n");

    // The target exists now: No chooses another name, Cancel gives up.
    std::string other = profile.path("other.txt");
    ::unlink(out().c_str());
    profile.ui().answer(IDNO);
    profile.ui().answerString(other);
    ASSERT_EQ(report("O", {{"two"}}), 0);
    EXPECT_EQ(qortest::readFile(other), "two\r\n");
    EXPECT_EQ(qortest::readFile(target), "one\r\n");

    ::unlink(out().c_str());
    profile.ui().answer(IDCANCEL);
    EXPECT_EQ(report("O", {{"three"}}), SF_CANCELLED);
    EXPECT_EQ(qortest::readFile(target), "one\r\n");
    ::unlink(out().c_str());
    profile.ui().answer(IDNO);
    profile.ui().answerCancel();
    EXPECT_EQ(report("O", {{"four"}}), SF_CANCELLED);
    EXPECT_EQ(profile.ui().unexpected(), 0);
}

TEST_F(ReportTest, ALayoutWithoutOutputFileAsksTheCallerToPrint) {
    layout("[P]\nBodyLines=1\n(Body)\n<1>\n");
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), 0);
    EXPECT_EQ(ctx.printAfterwards, 1);
    EXPECT_EQ(ctx.lineWidth, 80);
    EXPECT_EQ(ctx.pageLength, 55);
    EXPECT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    // The caller closes, then asks whether to print: the flag is still there.
    EXPECT_EQ(ctx.printAfterwards, 1);
    EXPECT_EQ(ctx.file, 0u);
    EXPECT_EQ(ctx.data, nullptr);
    qorsf::SF_rptfree(0, &ctx);
    EXPECT_EQ(ctx.printAfterwards, 1);

    // The next open starts afresh: a layout with an output file of its own, or an open that fails.
    layout("[P]\nBodyLines=1\n(Body)\n<1>\n[O]\nOutputFile=" + profile.path("copy.txt") + "\nBodyLines=1\n(Body)\n<1>\n");
    ::unlink(out().c_str());
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "O", &ctx), 0);
    EXPECT_EQ(ctx.printAfterwards, 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    EXPECT_EQ(ctx.printAfterwards, 0);
    ::unlink(out().c_str());
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    ASSERT_EQ(ctx.printAfterwards, 1);
    profile.ui().answer(IDNO);  // the output exists now: not replaced
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), SF_CANCELLED);
    EXPECT_EQ(ctx.printAfterwards, 0) << "nothing was written, nothing to print";
}

TEST_F(ReportTest, AnExistingOutputIsReplacedWholeOnlyWhenTheUserAgrees) {
    layout("[P]\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n<1>\n");
    std::string old(500, 'o');
    qortest::writeFile(out(), old);
    profile.ui().answer(IDNO);
    EXPECT_EQ(report("P", {{"x"}}), SF_CANCELLED);
    EXPECT_EQ(qortest::readFile(out()), old);
    profile.ui().answer(IDYES);
    ASSERT_EQ(report("P", {{"x"}}), 0);
    EXPECT_EQ(qortest::readFile(out()), "x  \r\n");  // no tail of the old content

    // Until the report is closed whole, the file it replaces stays as it was; a report given up
    // leaves it so.
    profile.ui().answer(IDYES);
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), 0);
    ASSERT_EQ(line({"new"}), 0);
    EXPECT_EQ(qortest::readFile(out()), "x  \r\n");
    qorsf::SF_rptfree(0, &ctx);
    EXPECT_EQ(qortest::readFile(out()), "x  \r\n");
    profile.ui().answer(IDYES);
    ASSERT_EQ(report("P", {{"new"}}), 0);
    EXPECT_EQ(qortest::readFile(out()), "new\r\n");
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(profile.root()))
        if (e.path().filename().string().rfind("report.txt", 0) == 0) ++files;
    EXPECT_EQ(files, 1u) << "no temporary file is left beside it";
}

TEST_F(ReportTest, CommaSeparatedRowsWithoutALayout) {
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), nullptr, &ctx), 0);
    EXPECT_EQ(ctx.mode, 1);
    EXPECT_EQ(ctx.printAfterwards, 0);
    ASSERT_EQ(line({"a", "b c", ""}), 0);
    ASSERT_EQ(line({"x,y", "say \"hi\""}), 0);
    ASSERT_EQ(line({}), 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    EXPECT_EQ(qortest::readFile(out()), "a,b c,\r\n\"x,y\",\"say \"\"hi\"\"\"\r\n\r\n");
}

TEST_F(ReportTest, FontEntryMakesScreenFineAndStandardFonts) {
    layout("[C]\nFont=Courier New, 14 ,Bold and Italic\nBodyLines=1\n(Body)\n<1>\n");
    ASSERT_EQ(qorsf::SF_rptlayout(0, "C", &ctx), 0);
    qorwin::FontInfo screen, fine, standard;
    ASSERT_TRUE(qorwin::fontInfo(ctx.fonts[0], &screen));
    ASSERT_TRUE(qorwin::fontInfo(ctx.fonts[1], &fine));
    ASSERT_TRUE(qorwin::fontInfo(ctx.fonts[2], &standard));
    EXPECT_EQ(screen.face, "Courier New");
    EXPECT_EQ(screen.height, (96 * 14 + 36) / 72);
    EXPECT_EQ(fine.height, (14 * 200 + 36) / 72);
    EXPECT_EQ(standard.height, (14 * 100 + 36) / 72);
    EXPECT_EQ(standard.width, (fine.height + 1) / 2);
    EXPECT_EQ(fine.weight, 700);
    EXPECT_TRUE(fine.italic);
    EXPECT_FALSE(fine.underline);
    EXPECT_EQ(ctx.file, 0u);
    qorsf::SF_rptfree(0, &ctx);  // the fixture checks that the fonts are gone

    layout("[C]\nFont=Mono,0,underline\n");
    ASSERT_EQ(qorsf::SF_rptlayout(0, "C", &ctx), 0);
    ASSERT_TRUE(qorwin::fontInfo(ctx.fonts[1], &fine));
    EXPECT_EQ(fine.height, (12 * 200 + 36) / 72);  // size 0 means 12
    EXPECT_EQ(fine.weight, 400);
    EXPECT_TRUE(fine.underline);

    layout("[C]\nBodyLines=1\n");
    ASSERT_EQ(qorsf::SF_rptlayout(0, "C", &ctx), 0);
    EXPECT_EQ(ctx.fonts[0], nullptr);
}

// ---- Wrong use

TEST_F(ReportTest, WrongStatesGive13002) {
    layout("[P]\nBodyLines=1\n(Body)\n<1>\n");
    const char* col = "x";
    EXPECT_EQ(qorsf::SF_rptline(0, &ctx, nullptr, 0, 1, &col), SF_WRONGSTATE);
    EXPECT_EQ(qorsf::SF_rptclose(0, &ctx), SF_WRONGSTATE);
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), 0);
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "P", &ctx), SF_WRONGSTATE);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);

    qorsf::RptValues values;
    values.slots.assign(9 * 80, '\0');
    EXPECT_EQ(qorsf::UT_updprt(0, &values, "x", 9), SF_WRONGSTATE);
    EXPECT_EQ(qorsf::UT_updprt(0, &values, "x", -1), SF_WRONGSTATE);
    EXPECT_EQ(qorsf::UT_updprt(0, &values, std::string(200, 'v').c_str(), 8), 0);
    EXPECT_EQ(std::string(values.get(8)), std::string(79, 'v'));
}

// ---- Every layout error, each from a layout

struct LayoutCase {
    const char* name;
    const char* section;  // the text after "[L]\n"
    int16_t status;
    friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }
};

class LayoutErrors : public ReportTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutErrors, FailsWithItsStatusAndLeavesNothingBehind) {
    const LayoutCase& c = GetParam();
    layout(std::string("[L]\n") + c.section);
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "L", &ctx), c.status);
    EXPECT_EQ(ctx.file, 0u);
    EXPECT_FALSE(qortest::fileExists(out()));
    EXPECT_EQ(qorsf::SF_rptlayout(0, "L", &ctx), c.status);
}

const std::string kWide81 = std::string("BodyLines=1\n(Body)\n") + std::string(81, 'x') + "\n";
const std::string kLong300 = std::string("BodyLines=1\n(Body)\n") + std::string(300, 'y') + "\n";
const std::string kField80 = "BodyLines=1\n(Body)\n<" + std::string(78, '1') + ">\n";
const std::string kBigColumn = "BodyLines=1\n(Body)\n<1000>\n";

INSTANTIATE_TEST_SUITE_P(
    Report, LayoutErrors,
    ::testing::Values(
        LayoutCase{"BlockWordAsKey", "Body=3\n", SF_TOOMANYDOCS},
        LayoutCase{"FieldWordAsKey", "page = 3\n", SF_TOOMANYDOCS},
        LayoutCase{"WidthOver80", "LineWidth=81\n", 20811},
        LayoutCase{"WidthNegative", "LineWidth=-1\n", 20811},
        LayoutCase{"LengthNegative", "PageLength=-5\n", 20812},
        LayoutCase{"HeaderLines11", "HeaderLines=11\n", 20813},
        LayoutCase{"FooterLinesNegative", "FooterLines=-1\n", 20814},
        LayoutCase{"FirstPageNegative", "FirstPage=-2\n", 20815},
        LayoutCase{"BodyLinesNegative", "BodyLines=-3\n", 20824},
        LayoutCase{"BlockLineUnclosed", "(Body\n", 20816},
        LayoutCase{"SecondHeader", "HeaderLines=1\n(Header)\nh\n(Header)\n", 20817},
        LayoutCase{"SecondFooter", "(Footer)\n(Footer)\n", 20818},
        LayoutCase{"SecondBody", "(Body)\n(body)\n", 20819},
        LayoutCase{"UnknownBlock", "(Middle)\n", 20820},
        LayoutCase{"KeyWordAsBlock", "(LineWidth)\n", 20820},
        LayoutCase{"TemplateLine81", kWide81.c_str(), 20821},
        LayoutCase{"TemplateLine300", kLong300.c_str(), 20821},
        LayoutCase{"TemplateWiderThanWidth", "LineWidth=5\nBodyLines=1\n(Body)\n123456\n", 20821},
        LayoutCase{"HeaderTooMany", "HeaderLines=1\n(Header)\na\nb\n", 20822},
        LayoutCase{"FooterTooMany", "(Footer)\nx\n", 20823},
        LayoutCase{"BodyTooMany", "BodyLines=1\n(Body)\na\n\n  \nb\n", 20824},
        LayoutCase{"CloseBeforeOpen", "BodyLines=1\n(Body)\na>b\n", 20910},
        LayoutCase{"NestedOpen", "BodyLines=1\n(Body)\n<1<2>\n", 20911},
        LayoutCase{"Unclosed", "BodyLines=1\n(Body)\n<1\n", 20912},
        LayoutCase{"FieldWiderThan79", kField80.c_str(), 20913},
        LayoutCase{"UnknownName", "BodyLines=1\n(Body)\n<name>\n", 20914},
        LayoutCase{"ColumnZero", "BodyLines=1\n(Body)\n<0>\n", 20914},
        LayoutCase{"ColumnTooHigh", kBigColumn.c_str(), 20914},
        LayoutCase{"KeyWordAsField", "BodyLines=1\n(Body)\n<BodyLines>\n", 20914},
        LayoutCase{"RunningInHeader", "HeaderLines=1\n(Header)\n<Text>\n", 20915},
        LayoutCase{"RunningInFooter", "FooterLines=1\n(Footer)\n<Text>\n", 20915},
        LayoutCase{"RunningTwice", "BodyLines=2\n(Body)\n<Text>\n<Text>\n", 20915}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(ReportTest, MissingSectionIsReportedWithItsName) {
    layout("no sections at all\njust text\n");
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "Nowhere", &ctx), 20801);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_NE(profile.ui().shown()[0].text.find("Nowhere"), std::string::npos);
    layout("");
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "", &ctx), 20801);
    EXPECT_NE(profile.ui().shown()[1].text.find("DEFAULT"), std::string::npos);
}

TEST_F(ReportTest, AMissingLayoutFileIsReplacedByTheDefaultOne) {
    ASSERT_FALSE(qortest::fileExists(layoutPath()));
    ASSERT_EQ(qorsf::SF_rptlayout(0, "", &ctx), 0);
    EXPECT_TRUE(qortest::fileExists(layoutPath()));
    std::vector<std::string> names;
    ASSERT_EQ(qorsf::rpt_sections(0, &names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"Phone book by name", "Phone book by group", "Cover page",
                                               "Queue report", "DEFAULT"}));
    // Every layout of the default file loads.
    for (const std::string& n : names) EXPECT_EQ(qorsf::SF_rptlayout(0, n.c_str(), &ctx), 0) << n;
    // A layout file of the user is never replaced.
    layout("[MINE]\n");
    ASSERT_EQ(qorsf::rpt_installdefault(0), 0);
    EXPECT_EQ(qortest::readFile(layoutPath()), "[MINE]\n");
}

TEST_F(ReportTest, ALayoutFileThatCannotBeMadeGives20800WithItsPath) {
    // A dangling link: the file does not exist, and the default is not written through it.
    ASSERT_EQ(::symlink(profile.path("nowhere/layouts.rpt").c_str(), layoutPath().c_str()), 0);
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "X", &ctx), 20800);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_NE(profile.ui().shown()[0].text.find(layoutPath()), std::string::npos);
    EXPECT_FALSE(qortest::fileExists(out()));
}

TEST_F(ReportTest, ControlCharactersInRunningTextAndColumnsNeverReachTheFileAsControls) {
    layout("[R]\nBodyLines=2\nNoFill=1\nNoFormFeed=1\n(Body)\n<1       >\n<Text    >\n");
    ASSERT_EQ(qorsf::SF_rptopen(0, out().c_str(), "R", &ctx), 0);
    std::string running = "a\fb\x1b" "c\x7f" "d\te";
    ASSERT_EQ(line({"x\ry\nz\f"}, running.c_str(), 9), 0);
    ASSERT_EQ(qorsf::SF_rptclose(0, &ctx), 0);
    EXPECT_EQ(lines(out()), (Lines{"x y z     ", "a b c d e"}));
}

}  // namespace

namespace {

// A translation whose layout words differ: the layout file speaks them, and a word longer than
// 19 characters cannot be a layout word at all.
class TranslatedWords : public ReportTest {
protected:
    void translate(const std::string& from, const std::string& to) {
        std::string script = qorlang::builtinScript();
        std::size_t at = script.find(from);
        ASSERT_NE(at, std::string::npos);
        script.replace(at, from.size(), to);
        std::string path = profile.path("lang.rc");
        qortest::writeFile(path, script);
        ::setenv("QORLANG_PATH", path.c_str(), 1);
        qorlang::reset();
    }
    void TearDown() override {
        ::unsetenv("QORLANG_PATH");
        qorlang::reset();
        ReportTest::TearDown();
    }
};

TEST_F(TranslatedWords, TheLayoutFileUsesTheWordsOfTheLanguageModule) {
    translate("2360,  \"Page\"", "2360,  \"Seite\"");
    ASSERT_EQ(qorsf::rpt_installdefault(0), 0);
    EXPECT_NE(qortest::readFile(layoutPath()).find("<Seite>"), std::string::npos);
    layout("[S]\nBodyLines=1\nNoFill=1\nNoFormFeed=1\n(Body)\n<seite>|<Page>\n");
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "S", &ctx), 20914);  // "Page" means nothing now
}

TEST_F(TranslatedWords, AWordLongerThan19CharactersGives13002) {
    translate("2363,  \"GroupColumn\"", "2363,  \"TheGroupColumnOfTheRows\"");
    layout("[S]\nBodyLines=1\n(Body)\n<1>\n");
    EXPECT_EQ(qorsf::SF_rptopen(0, out().c_str(), "S", &ctx), SF_WRONGSTATE);
    EXPECT_FALSE(qortest::fileExists(out()));
}

}  // namespace
