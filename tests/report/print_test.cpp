// Printing of text documents: PDF files read back with pdftotext, and print commands played by
// small scripts (no printer needed); the file questions of QORUT through the scripted driver.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "qorlib2.h"
#include "qorul.h"
#include "qorut.h"
#include "qorwin32.h"
#include "testprofile.h"

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

// The text of a PDF as pdftotext lays it out: pages end with a form feed.
std::string pdfText(const std::string& pdf) { return run("pdftotext -layout '" + pdf + "' - 2>&1"); }

int pageCount(const std::string& pdf) {
    std::string info = run("pdfinfo '" + pdf + "' 2>&1");
    std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

std::vector<std::string> pdfsIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::system("command -v pdftotext >/dev/null 2>&1"), 0) << "pdftotext missing"; }
    void setting(const char* key, const std::string& value) {
        ASSERT_TRUE(WritePrivateProfileStringA("PRINT", key, value.c_str(), profile.path("qorfax.ini").c_str()));
    }
    // A print command that records its arguments (one a line) and a copy of the document.
    std::string recorder(int exitCode = 0) {
        std::string script = profile.path("fakelp");
        qortest::writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                       profile.path("args") + "\"\nfor a in \"$@\"; do last=$a; done\ncp \"$last\" \"" +
                                       profile.path("copy") + "\"\nexit " + std::to_string(exitCode) + "\n");
        ::chmod(script.c_str(), 0755);
        return script;
    }
    qortest::TempProfile profile;
};

TEST_F(PrintTest, ADocumentBecomesAPdfInThePrintFolderWithAPagePerFormFeed) {
    std::string doc = profile.path("spool/00000001.SPL");
    // Latin-1 e acute, a tab, a form feed line as the report writer writes it.
    qortest::writeFile(doc, "First page caf\xE9\r\n\tindented\r\n\f\r\nSecond page\r\n\f\r\n");
    ASSERT_EQ(FN_printdoc(0, doc.c_str(), 0), 0);
    std::string pdf = profile.path("print/00000001.pdf");
    char where[256];
    ASSERT_EQ(FN_lastprinted(where, sizeof where), 0);
    EXPECT_EQ(std::string(where), pdf);
    std::string text = pdfText(pdf);
    EXPECT_EQ(qortest::readFile(pdf).substr(0, 5), "%PDF-");
    EXPECT_NE(text.find("First page caf\xC3\xA9"), std::string::npos) << text;
    EXPECT_NE(text.find("        indented"), std::string::npos) << text;
    // Two pages: the form feed at the very end adds no empty page.
    ASSERT_EQ(std::count(text.begin(), text.end(), '\f'), 2) << text;
    EXPECT_NE(text.substr(text.find('\f')).find("Second page"), std::string::npos);
    EXPECT_NE(run("pdfinfo '" + pdf + "'").find("595.276 x 841.89"), std::string::npos);  // A4

    // Printing the same document again never replaces the first PDF.
    ASSERT_EQ(FN_printdoc(0, doc.c_str(), 0), 0);
    EXPECT_EQ(pdfsIn(profile.path("print")), (std::vector<std::string>{"00000001-1.pdf", "00000001.pdf"}));
}

TEST_F(PrintTest, LetterPaperAFolderOfItsOwnAndLongDocumentsRunOverPages) {
    setting("Paper", "letter");
    setting("Folder", profile.path("out"));
    std::string doc = profile.path("long.txt");
    std::string text;
    for (int i = 1; i <= 100; ++i) text += "line " + std::to_string(i) + "\n";
    text += std::string(100, 'w') + "\n";  // wider than the page: continued on the next line
    qortest::writeFile(doc, text);
    ASSERT_EQ(FN_printdoc(0, doc.c_str(), 0), 0);
    std::string pdf = profile.path("out/long.pdf");
    EXPECT_NE(run("pdfinfo '" + pdf + "'").find("612 x 792"), std::string::npos);
    std::string back = pdfText(pdf);
    EXPECT_EQ(std::count(back.begin(), back.end(), '\f'), 2) << back;
    EXPECT_EQ(pageCount(pdf), 2);
    EXPECT_NE(back.find("line 100"), std::string::npos);
    EXPECT_EQ(std::count(back.begin(), back.end(), 'w'), 100);
}

TEST_F(PrintTest, TextToPdfWritesTheGivenFileAndAnEmptyDocumentIsOnePage) {
    std::string doc = profile.path("empty.txt");
    qortest::writeFile(doc, "");
    std::string pdf = profile.path("empty.pdf");
    ASSERT_EQ(FN_texttopdf(0, doc.c_str(), pdf.c_str(), 0), 0);
    EXPECT_EQ(pageCount(pdf), 1);
    EXPECT_EQ(FN_texttopdf(0, profile.path("missing.txt").c_str(), pdf.c_str(), 0), FN_E_PRINTREAD);
    EXPECT_EQ(FN_texttopdf(0, profile.root().c_str(), pdf.c_str(), 0), FN_E_PRINTREAD);  // a directory
}

TEST_F(PrintTest, APrintCommandGetsItsWordsAndThePathAsOneArgumentWithoutAShell) {
    std::string script = recorder();
    std::string marker = profile.path("injected");
    setting("Command", script + "  -d  QUEUE ;touch " + marker);
    std::string doc = profile.path("my report.txt");
    qortest::writeFile(doc, "hello\r\n");
    ASSERT_EQ(FN_printdoc(0, doc.c_str(), 0), 0);
    EXPECT_EQ(qortest::readFile(profile.path("args")), "-d\nQUEUE\n;touch\n" + marker + "\n" + doc + "\n");
    EXPECT_EQ(qortest::readFile(profile.path("copy")), "hello\r\n");
    EXPECT_FALSE(qortest::fileExists(marker));
    EXPECT_TRUE(pdfsIn(profile.path("print")).empty());
}

TEST_F(PrintTest, CommandFailuresAndBadSettingsGiveTheirStatus) {
    std::string doc = profile.path("doc.txt");
    qortest::writeFile(doc, "x\n");
    setting("Command", recorder(3));
    EXPECT_EQ(FN_printdoc(0, doc.c_str(), 0), FN_E_PRINTCMD);
    setting("Command", profile.path("no-such-command"));
    EXPECT_EQ(FN_printdoc(0, doc.c_str(), 0), FN_E_PRINTSTART);
    setting("Command", recorder());
    EXPECT_EQ(FN_printdoc(0, profile.path("gone.txt").c_str(), 0), FN_E_PRINTREAD);
    // Target=pdf wins over a configured command.
    setting("Target", "PDF");
    ASSERT_EQ(FN_printdoc(0, doc.c_str(), 0), 0);
    EXPECT_EQ(pdfsIn(profile.path("print")), (std::vector<std::string>{"doc.pdf"}));
    setting("Target", "fax");
    EXPECT_EQ(FN_printdoc(0, doc.c_str(), 0), FN_E_PRINTCONF);
    setting("Target", "command");
    setting("Command", "  ");
    EXPECT_EQ(FN_printdoc(0, doc.c_str(), 0), FN_E_PRINTCONF);
    setting("Target", "pdf");
    setting("Paper", "A3");
    EXPECT_EQ(FN_printdoc(0, doc.c_str(), 0), FN_E_PRINTCONF);
}

// ---- File questions

TEST(FileQuestions, OverwriteAnswersAndChoosingAFile) {
    qortest::TempProfile profile;
    profile.ui().answer(IDYES);
    profile.ui().answer(IDNO);
    profile.ui().answer(IDCANCEL);
    EXPECT_EQ(UT_askoverwrite(0, "/tmp/a.txt"), 0);
    EXPECT_EQ(UT_askoverwrite(0, "/tmp/a.txt"), 7);
    EXPECT_NE(UT_askoverwrite(0, "/tmp/a.txt"), 0);
    ASSERT_EQ(profile.ui().shown().size(), 3u);
    EXPECT_NE(profile.ui().shown()[0].text.find("/tmp/a.txt"), std::string::npos);
    EXPECT_EQ(profile.ui().shown()[0].style & 0xF, static_cast<UINT>(MB_YESNOCANCEL));

    char path[20] = "start.txt";
    profile.ui().answerString("chosen.txt");
    EXPECT_EQ(UT_choosefile(0, "filter", "title", 2, path, sizeof path), 0);
    EXPECT_STREQ(path, "chosen.txt");
    profile.ui().answerCancel();
    EXPECT_EQ(UT_choosefile(0, "filter", "title", 2, path, sizeof path), 13000);
    profile.ui().answerString(std::string(40, 'n'));
    EXPECT_EQ(UT_choosefile(0, "filter", "title", 2, path, sizeof path), UL_E_TOOLONG);
    EXPECT_STREQ(path, "chosen.txt");
    EXPECT_EQ(profile.ui().unexpected(), 0);
}

}  // namespace
