// The names and groups files: their bytes, the round trip, and what bad files do.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "pbfixture.h"

namespace qortest {
namespace {

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) out.emplace_back(e->d_name);
        ::closedir(d);
    }
    return out;
}

struct Files : PhoneBookTest {
    std::string names_() const { return profile.path("book.LST"); }
    std::string groups_() const { return profile.path("book.GLS"); }
    int16_t exportTo(const std::string& p) { return qorsf::SF_exportphonebook(kHost, p.c_str()); }
    int16_t importFrom(const std::string& p) { return qorsf::SF_importphonebook(kHost, p.c_str()); }
    // A fresh phone book file for the rest of the test.
    void useBook(const std::string& file) { ASSERT_EQ(qorsf::SF_setphonebookpath(kHost, profile.path(file).c_str()), 0); }
};

TEST_F(Files, ExportWritesQuotedFieldsInNameOrderAndMembershipsByGroup) {
    ASSERT_EQ(add("Ben", Details{"555-2", "v2", "", "", "Smith, Jones & Co"}), 0);
    ASSERT_EQ(add("Ada", Details{"555-1", "", "a1", "o1", "", "t1", "t2", "t3"}), 0);
    ASSERT_EQ(join("Golf", ""), 0);
    ASSERT_EQ(join("Golf", "Ben"), 0);
    ASSERT_EQ(join("Chess", "Ada"), 0);
    ASSERT_EQ(join("Chess", "Ben"), 0);
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_EQ(readFile(names_()),
              "\"Ada\",\"555-1\",\"\",\"t1\",\"t2\",\"\",\"t3\",\"a1\",\"o1\"\r\n"
              "\"Ben\",\"555-2\",\"Smith, Jones & Co\",\"\",\"\",\"v2\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(readFile(groups_()), "\"Chess\",\"Ada\"\r\n\"Chess\",\"Ben\"\r\n\"Golf\",\"Ben\"\r\n");
    EXPECT_FALSE(qorsf::pbstoreOpen());
}

TEST_F(Files, ExportOfAnEmptyBookLeavesNoGroupsFile) {
    writeFile(groups_(), "\"Old\",\"Stale\"\r\n");
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_TRUE(fileExists(names_()));
    EXPECT_EQ(readFile(names_()), "");
    EXPECT_FALSE(fileExists(groups_()));
}

TEST_F(Files, EmptyGroupsSurviveExportAndImport) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(join("Empty", ""), 0);
    ASSERT_EQ(join("Golf", ""), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_EQ(readFile(groups_()), "\"Empty\",\"\"\r\n\"Golf\",\"Ada\"\r\n")
        << "the empty group is a line with an empty name; a group with members needs none";

    useBook("fresh.pbk");
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(groups(), (Names{"Empty", "Golf"}));
    EXPECT_EQ(members("Empty"), (Names{""})) << "the group's own record, no member";
    EXPECT_EQ(members("Golf"), (Names{"Ada"}));
}

TEST_F(Files, ExportLeavesOutAndReportsWhatTheFileCannotHold) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(add("Ben", Details{"2", "", "", "", "Smith\", Jones"}), 0);  // a quote before a comma
    ASSERT_EQ(add("Cy", Details{"3", "", "", "", "Say \"hi\" , \"Cy\""}), 0);  // blanks between
    ASSERT_EQ(add("Di", Details{"4", "", "", "", "The \"Best\" Co"}), 0);  // quotes alone are fine
    ASSERT_EQ(join("Golf", "Ben"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(join("A\",B", "Ada"), 0);
    profile.ui().clear();
    EXPECT_EQ(exportTo(names_()), qorsf::SF_EXPORTPARTIAL);
    std::vector<std::string> said;
    for (const auto& m : profile.ui().shown()) said.push_back(m.text);
    EXPECT_EQ(said, (std::vector<std::string>{
                        "The name \"Ben\" was left out of the names file: one of its texts holds a double quote "
                        "followed by a comma, which the file cannot hold.",
                        "The name \"Cy\" was left out of the names file: one of its texts holds a double quote "
                        "followed by a comma, which the file cannot hold.",
                        "The group \"A\",B\" was left out of the groups file: its name holds a double quote "
                        "followed by a comma, which the file cannot hold."}));
    // What was written reads back as it was: no shifted fields, no phantom group.
    EXPECT_EQ(readFile(names_()),
              "\"Ada\",\"1\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
              "\"Di\",\"4\",\"The \"Best\" Co\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
    EXPECT_EQ(readFile(groups_()), "\"Golf\",\"Ada\"\r\n");
    useBook("fresh.pbk");
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(names(), (Names{"Ada", "Di"}));
    EXPECT_STREQ(details("Di").company, "The \"Best\" Co");
    EXPECT_EQ(groups(), (Names{"Golf"}));

    EXPECT_FALSE(qorsf::SF_filesafe("a\",b"));
    EXPECT_FALSE(qorsf::SF_filesafe("a\" \t,b"));
    EXPECT_TRUE(qorsf::SF_filesafe("a\"b,c"));
    EXPECT_TRUE(qorsf::SF_filesafe("a,\"b\""));
}

TEST_F(Files, AFailedExportLeavesTheEarlierExportAsItWas) {
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(exportTo(names_()), 0);
    const std::string earlier = readFile(names_());
    ASSERT_EQ(add("Ben", "2"), 0);
    ASSERT_EQ(join("Golf", "Ben"), 0);
    // The groups file cannot be written (a directory stands in its place): nothing is replaced.
    ASSERT_EQ(::mkdir(groups_().c_str(), 0755), 0);
    EXPECT_NE(exportTo(names_()), 0);
    EXPECT_EQ(readFile(names_()), earlier);
    ::rmdir(groups_().c_str());
    // No temporary file is left beside it.
    int others = 0;
    for (const char* suffix : {".LST.", ".GLS."})
        for (const auto& f : listDir(profile.root()))
            if (f.find(suffix) != std::string::npos) ++others;
    EXPECT_EQ(others, 0);
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_NE(readFile(names_()), earlier);
}

TEST_F(Files, TheGroupsFileIsFoundInAnyCase) {
    ASSERT_EQ(add("Ada", "1"), 0);
    writeFile(names_(), "");
    writeFile(profile.path("book.gls"), "\"Golf\",\"Ada\"\r\n");
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(members("Golf"), (Names{"Ada"}));
    // The exact name wins over another case.
    writeFile(groups_(), "\"Chess\",\"Ada\"\r\n");
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Golf"), 0);
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(groups(), (Names{"Chess"}));
    // An export without groups removes the groups file in every case.
    ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Chess"), 0);
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_FALSE(fileExists(groups_()));
    EXPECT_FALSE(fileExists(profile.path("book.gls")));
    // A names file that is named like a groups file is never taken for its own groups file.
    const std::string odd = profile.path("odd.gls");
    EXPECT_NE(exportTo(odd), 0) << "it would be replaced by its own groups file";
    writeFile(odd, "\"Zed\",\"9\"\r\n");
    ASSERT_EQ(importFrom(odd), 0);
    EXPECT_TRUE(fileExists(odd));
    EXPECT_EQ(groups(), (Names{}));
}

TEST_F(Files, LinesTooLongAndBlankMembersAreRefusedWithTheirLineNumber) {
    ASSERT_EQ(add("Ada", "1"), 0);
    const std::string longLine = "\"Zed\",\"9\",\"" + std::string(520, 'c') + "\"";
    writeFile(names_(), "\"Bob\",\"2\"\r\n\r\n" + longLine + "\r\n\"Cy\",\"3\"\r\n");
    profile.ui().clear();
    EXPECT_EQ(importFrom(names_()), qorsf::SF_CSVLINELONG);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_EQ(profile.ui().shown()[0].text, "Line 3 of the names file is longer than 511 characters.");
    EXPECT_EQ(names(), (Names{"Ada"})) << "nothing of a refused file is imported";
    // 511 characters are a line the reader takes.
    const std::string most = "\"Bob\",\"2\",\"" + std::string(511 - 12, 'c') + "\"";
    ASSERT_EQ(most.size(), 511u);
    writeFile(names_(), most + "\r\n");
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(names(), (Names{"Ada", "Bob"}));

    writeFile(names_(), "");
    writeFile(groups_(), "\"Golf\",\"Ada\"\r\n\"Golf\",\" Ada\"\r\n\"Chess\",\"Ada\"\r\n");
    profile.ui().clear();
    EXPECT_EQ(importFrom(names_()), qorsf::SF_GLSNAMEBLANK);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_EQ(profile.ui().shown()[0].text, "Line 2 of the groups file has a member name that begins with a blank.");
    EXPECT_EQ(groups(), (Names{"Golf"})) << "the import of groups stops at the refused line";
}

TEST_F(Files, TheGroupsFileIsNamedAfterTheFileNameOnly) {
    char out[160];
    qorsf::SF_groupspath("/x/book.lst", out, sizeof out);
    EXPECT_STREQ(out, "/x/book.GLS");
    qorsf::SF_groupspath("/x/book", out, sizeof out);
    EXPECT_STREQ(out, "/x/book.GLS");
    qorsf::SF_groupspath("/x.d/book", out, sizeof out);
    EXPECT_STREQ(out, "/x.d/book.GLS") << "a dot of a directory is no extension";
    qorsf::SF_groupspath("a.b.c", out, sizeof out);
    EXPECT_STREQ(out, "a.b.GLS");
    // A names file that would be its own groups file is refused before anything is written.
    ASSERT_EQ(add("Ada", "1"), 0);
    ASSERT_EQ(join("G", "Ada"), 0);
    EXPECT_NE(exportTo(profile.path("book.GLS")), 0);
    EXPECT_FALSE(fileExists(profile.path("book.GLS")));
}

TEST_F(Files, ExportTakesTheDetailsOfTheNamesOwnRecord) {
    // Memberships made before the name exist: they stand before the name record in key order.
    ASSERT_EQ(join("Golf", "Ada"), 0);
    ASSERT_EQ(add("Ada", Details{"123", "456"}), 0);
    ASSERT_EQ(join("Club", "Ghost"), 0);  // a new group takes a name the book does not hold
    ASSERT_EQ(exportTo(names_()), 0);
    EXPECT_EQ(readFile(names_()),
              "\"Ada\",\"123\",\"\",\"\",\"\",\"456\",\"\",\"\",\"\"\r\n"
              "\"Ghost\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

TEST_F(Files, ExportImportExportOfAFullBookGivesTheSameFiles) {
    // 300 names with every field at full width, and 20 groups of 15 members each.
    auto text = [](int i, char tag, std::size_t width) {
        std::string s = std::string(1, tag) + std::to_string(i) + " ";
        while (s.size() < width) s += static_cast<char>('a' + (s.size() * 7 + i) % 26);
        return s.substr(0, width);
    };
    for (int i = 0; i < 300; ++i) {
        Details d{text(i, 'F', 30), text(i, 'V', 30), text(i, 'A', 30), text(i, 'O', 30),
                  text(i, 'C', 60), text(i, '1', 60), text(i, '2', 60), text(i, '3', 80)};
        d.company[10] = ',';  // a comma inside a field stays inside its quotes
        ASSERT_EQ(add(text(i, 'N', 30), d), 0);
    }
    for (int g = 0; g < 20; ++g)
        for (int m = 0; m < 15; ++m) ASSERT_EQ(join(text(g, 'G', 30), text(g * 15 + m, 'N', 30)), 0);
    ASSERT_EQ(exportTo(names_()), 0);

    useBook("copy.pbk");
    ASSERT_EQ(importFrom(names_()), 0);
    const std::string again = profile.path("again.LST");
    ASSERT_EQ(exportTo(again), 0);
    const std::string first = readFile(names_());
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 300);
    EXPECT_EQ(readFile(again), first);
    EXPECT_EQ(readFile(profile.path("again.GLS")), readFile(groups_()));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 300);
    EXPECT_EQ(names().size(), 300u);
    EXPECT_EQ(groups().size(), 20u);
}

TEST_F(Files, ImportReplacesDetailsKeepsGroupsAndStopsAtARepeatedMembership) {
    ASSERT_EQ(add("Ada", "old"), 0);
    ASSERT_EQ(join("Golf", "Ada"), 0);
    writeFile(names_(), "\"Ada\",\"new\"\r\n\"Ben\",\"2\"\r\n");
    writeFile(groups_(), "\"Chess\",\"Ben\"\r\n\"Golf\",\"Ada\"\r\n\"Chess\",\"Ada\"\r\n");
    EXPECT_EQ(importFrom(names_()), SF_EXISTS);
    EXPECT_NE(shownText().find("\"Golf\""), std::string::npos);
    EXPECT_EQ(names(), (Names{"Ada", "Ben"}));
    for (const PB_ENTRY& e : records())
        if (std::string(e.name) == "Ada") {
            EXPECT_STREQ(e.number, "new");
        }
    EXPECT_EQ(members("Golf"), (Names{"Ada"}));
    EXPECT_EQ(members("Chess"), (Names{"Ben"})) << "the line after the repeated one is not read";
}

TEST_F(Files, ImportWithoutGroupsFileAndWithNothingDecodable) {
    writeFile(names_(), "\"Ada\",\"1\"\n");
    EXPECT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(names(), (Names{"Ada"}));
    // Lines that give no name still let the groups file be read.
    writeFile(names_(), ",\r\n\"\",\"5\"\r\n   \r\n");
    writeFile(groups_(), "\"Golf\",\"Ada\"\r\n");
    EXPECT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(names(), (Names{"Ada"}));
    EXPECT_EQ(members("Golf"), (Names{"Ada"}));
}

TEST_F(Files, UntidyNamesFilesImportWhatTheyHold) {
    const std::string longLine = "\"Long\",\"9\",\"" + std::string(480, 'c') + "\"";
    writeFile(names_(),
              "\"Crlf\",\"1\"\r\n"
              "\r\n"                                           // an empty line does not end the file
              "NoQuotes,2,Plain Co\n"
              "\"Stray\"quote\",\"3\"\n"                        // a quote inside a field
              "\"Open,\"4\"\n"                                  // no closing quote: runs to the end
              "\"" + std::string(45, 'X') + "\",\"" + std::string(31, '5') + "\",\"" + std::string(70, 'k') + "\"\n"
              "\"\xC9mile\",\"5\",\"Soci\xE9t\xE9\"\n" +
              longLine + "\n"
              "\"Extra\",\"6\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"tenth\",\"eleventh\"\n"
              "\"Last\",\"7\"");
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(names(), (Names{"Crlf", "Extra", "Last", "Long", "NoQuotes", "Open,\"4", "Stray\"quote",
                              std::string(30, 'X'), "\xC9mile"}));
    EXPECT_STREQ(details("Crlf").number, "1");
    EXPECT_STREQ(details("NoQuotes").company, "Plain Co");
    EXPECT_STREQ(details("Stray\"quote").number, "3");
    PB_ENTRY cut = details(std::string(30, 'X'));
    EXPECT_STREQ(cut.number, "") << "a fax number too long to hold is left out, not cut";
    EXPECT_EQ(std::string(cut.company), std::string(60, 'k'));
    EXPECT_EQ(std::string(details("Long").company), std::string(60, 'c'));
    EXPECT_STREQ(details("\xC9mile").company, "Soci\xE9t\xE9");
    EXPECT_STREQ(details("Last").number, "7");
}

TEST_F(Files, FilesThatAreNotNamesFilesChangeNothing) {
    ASSERT_EQ(add("Ada", "1"), 0);
    const std::string before = readFile(bookPath());
    std::string binary(3000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 37 % 256);
    writeFile(names_(), binary);
    EXPECT_EQ(importFrom(names_()), 20238);
    const std::string dir = profile.path("adir");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    EXPECT_NE(importFrom(dir), 0) << "a directory is no names file";
    EXPECT_EQ(importFrom(profile.path("missing.LST")), UL_E_NOTFOUND);
    EXPECT_EQ(readFile(bookPath()), before);
    EXPECT_EQ(names(), (Names{"Ada"}));
}

TEST_F(Files, BadGroupsFilesStopAtTheirFirstBadLine) {
    ASSERT_EQ(add("Ada", "1"), 0);
    writeFile(names_(), "");
    struct Case {
        std::string line;
        int16_t status;
    };
    const Case cases[] = {
        {"\"\",\"Ada\"", qorsf::SF_GLSNOGROUP},
        {"\" \",\"Ada\"", qorsf::SF_GLSNOGROUP},
        {"\"G\",\"" + std::string(31, 'n') + "\"", qorsf::SF_GLSNAMELONG},
        {"\"" + std::string(31, 'g') + "\",\"Ada\"", qorsf::SF_GLSGROUPLONG},
        {std::string(3000, 'q'), qorsf::SF_GLSLINELONG},
    };
    for (const Case& c : cases) {
        writeFile(groups_(), "\"Before\",\"Ada\"\r\n" + c.line + "\r\n\"After\",\"Ada\"\r\n");
        EXPECT_EQ(importFrom(names_()), c.status) << c.line.substr(0, 40);
        EXPECT_EQ(members("After", nullptr).size(), 0u);
        ASSERT_EQ(qorsf::SF_deletegroup(kHost, "Before"), 0);
    }
    // An empty line and a group of its own record.
    writeFile(groups_(), "\r\n\"Solo\",\"\"\r\n\"Solo\",\"Ada\"\r\n");
    EXPECT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(members("Solo"), (Names{"", "Ada"}));
    writeFile(groups_(), std::string("\"A\",\"B\"\0\"C\"", 11));
    EXPECT_EQ(importFrom(names_()), 20238);
}

TEST_F(Files, TheRecipientListIsLentAndGivenBack) {
    PB_ENTRY mine = entry("Recipient", Details{"999"});
    ASSERT_EQ(UT_listadd(kHost, &qorsf::recipientList(), &mine, sizeof mine), 0);
    qorsf::recipientCursor().position = 1;
    writeFile(names_(), "\"Ada\",\"1\"\r\n\"Ben\",\"2\"\r\n");
    names();  // the work area exists from here on; the store is closed again below
    ASSERT_EQ(SF_epilog(kHost), 0);
    const uint32_t blocks = UL_handlecount();
    ASSERT_EQ(importFrom(names_()), 0);
    EXPECT_EQ(UL_handlecount(), blocks) << "the names file's items are freed";
    EXPECT_EQ(UT_listcount(&qorsf::recipientList()), 1u);
    EXPECT_EQ(qorsf::recipientCursor().position, 1u);
    qorsf::recipientCursor().position = 0;
    PB_ENTRY got{};
    uint16_t end = 9;
    ASSERT_EQ(qorsf::SF_getphone(kHost, &got, &end), 0);
    EXPECT_EQ(end, 0);
    EXPECT_STREQ(got.name, "Recipient");
    ASSERT_EQ(qorsf::SF_getphone(kHost, &got, &end), 0);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(qorsf::recipientCursor().position, 2u);
    EXPECT_EQ(names(), (Names{"Ada", "Ben"}));
}

TEST_F(Files, DecodeCsvFields) {
    PB_ENTRY e;
    char empty[] = "";
    EXPECT_EQ(qorsf::SF_decodecsv(kHost, empty, &e), qorsf::SF_CSVNOFIELD);
    char line[] = "\"n\",\"f\",\"c\",\"t1\",\"t2\",\"v\",\"t3\",\"a\",\"o\"";
    ASSERT_EQ(qorsf::SF_decodecsv(kHost, line, &e), 0);
    EXPECT_EQ(std::string(e.name) + e.number + e.company + e.text1 + e.text2 + e.voice + e.text3 + e.altnumber +
                  e.othernumber,
              "nfct1t2vt3ao");
    char group[31], name[31];
    char none[] = "";
    EXPECT_EQ(qorsf::SF_decodegroupline(kHost, none, group, name), 0);
    EXPECT_STREQ(group, "");
    char only[] = "\"G\"";
    EXPECT_EQ(qorsf::SF_decodegroupline(kHost, only, group, name), 0);
    EXPECT_STREQ(group, "G");
    EXPECT_STREQ(name, "");
}

}  // namespace
}  // namespace qortest
