// The qorfax cover commands and send --cover, driven as a user types them.
#include <gtest/gtest.h>

#include <dirent.h>

#include <set>
#include <string>
#include <vector>

#include "testprofile.h"

namespace qortest {
namespace {

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) out.emplace_back(e->d_name);
        ::closedir(d);
    }
    return out;
}

TEST(CoverCli, TemplatesPreviewAndAThreeRecipientSendWithCovers) {
    TempProfile p;
    const std::string root = p.root();
    auto run = [&](const std::string& args) { return runQorfax(QORFAX_BINARY, root, args); };

    CommandResult r = run("cover templates");
    ASSERT_EQ(r.exit, 0) << r.both();
    EXPECT_NE(r.out.find("1  classic.001"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3  minimal.001"), std::string::npos) << r.out;

    ASSERT_EQ(run("phonebook add 'Ann Archer' --fax '0111 222' --company Acme").exit, 0);
    ASSERT_EQ(run("phonebook add 'Bob Brown' --fax '0333 444' --voice '0333 445'").exit, 0);

    r = run("cover preview --template 2 --to 'Ann Archer' --memo 'Hello Ann' --png " + shellQuote(p.path("ann.png")));
    ASSERT_EQ(r.exit, 0) << r.both();
    EXPECT_EQ(readFile(p.path("ann.png")).substr(1, 3), "PNG");
    r = run("cover preview --template 9 --to 0123 --pdf " + shellQuote(p.path("x.pdf")));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("cover template"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(p.path("x.pdf")));
    EXPECT_EQ(run("cover preview --template 1 --to 0123").exit, 2);  // no --png or --pdf
    writeFile(p.path("memo.bin"), std::string("\x89PNG\r\n\x1a\n\0\0\0\0", 12));
    r = run("cover preview --template 1 --to 0123 --memo-file " + shellQuote(p.path("memo.bin")) + " --png " +
            shellQuote(p.path("y.png")));
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("not plain text"), std::string::npos) << r.err;

    writeFile(p.path("doc.txt"), "The figures.\n");
    r = run("send --to 'Ann Archer' --to 'Bob Brown' --to '0555 666' --cover 1 --subject Figures --memo 'See below.' " +
            shellQuote(p.path("doc.txt")));
    ASSERT_EQ(r.exit, 0) << r.both();
    // Three cover files, one a job, each different, each the first document of its job.
    std::set<std::string> covers, contents;
    for (const std::string& f : filesIn(p.path("spool"))) {
        const std::string path = p.path("spool/" + f);
        const std::string text = readFile(path);
        if (text.rfind("DIAL ", 0) != 0) continue;
        const std::size_t fax = text.find("FAX ");
        ASSERT_NE(fax, std::string::npos);
        std::string cover = text.substr(fax + 4, text.find('\n', fax) - fax - 4);
        cover = cover.substr(0, cover.find_first_of(" \r"));
        covers.insert(cover);
        contents.insert(readFile(cover));
        EXPECT_EQ(readFile(cover).substr(0, 2), "II") << cover;
    }
    EXPECT_EQ(covers.size(), 3u);
    EXPECT_EQ(contents.size(), 3u);
    // --subject without --cover is a usage error.
    EXPECT_EQ(run("send --to 0123 --subject x " + shellQuote(p.path("doc.txt"))).exit, 2);
}


TEST(CoverCli, TheCoverPageDialogRunsForAScriptAndSaysWhatWasChosen) {
    TempProfile p;
    const std::string root = p.root();
    ASSERT_EQ(runQorfax(QORFAX_BINARY, root, "phonebook add 'Ann Archer' --fax '0111 222' --company Acme").exit, 0);
    writeFile(p.path("memo.txt"), "Dear Ann,\r\nthe figures are attached.\r\n");
    // Modern, a sender name typed, the memo imported from a file, then OK.
    writeFile(p.path("user.txt"),
              "select 424 2\n"
              "type 403 Ada Lovelace\n"
              "click 421\n" +
                  p.path("memo.txt") + "\n"
                  "click 6\n");
    const std::string png = p.path("dialog.png");
    CommandResult r = runQorfax(QORFAX_BINARY, root,
                                "--ui script --picture " + shellQuote(png) + " cover --to 'Ann Archer' < " +
                                    shellQuote(p.path("user.txt")));
    ASSERT_EQ(r.exit, 0) << r.both();
    EXPECT_NE(r.out.find("template       2 Modern"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sender         Ada Lovelace"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("recipient      Ann Archer"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("company        Acme"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fax            0111 222"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("memo\n  Dear Ann,\n  the figures are attached.\n"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(png).substr(1, 3), "PNG");

    // The template is the next cover's default; Esc cancels.
    writeFile(p.path("user.txt"), "escape\n");
    r = runQorfax(QORFAX_BINARY, root, "--ui script cover < " + shellQuote(p.path("user.txt")));
    EXPECT_EQ(r.exit, 1) << r.both();
    EXPECT_NE(r.err.find("cancelled"), std::string::npos) << r.err;
    writeFile(p.path("user.txt"), "click 6\n");
    r = runQorfax(QORFAX_BINARY, root, "--ui script cover < " + shellQuote(p.path("user.txt")));
    ASSERT_EQ(r.exit, 0) << r.both();
    EXPECT_NE(r.out.find("template       2 Modern"), std::string::npos) << r.out;

    // Without a terminal or a script there is nobody to use the dialog.
    r = runQorfax(QORFAX_BINARY, root, "--ui console cover");
    EXPECT_EQ(r.exit, 2) << r.both();
}
}  // namespace
}  // namespace qortest
