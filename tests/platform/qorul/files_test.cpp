#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qorul.h"
#include "testprofile.h"

namespace {

TEST(FileHandle, WriteLinesSeekReadAndTheBytesOnDisk) {
    qortest::TempProfile tp;
    std::string path = tp.path("data/x.txt");
    uint32_t f = 0;
    ASSERT_EQ(UL_fcreate(0, path.c_str(), 2, &f), 0);
    ASSERT_NE(f, 0u);
    EXPECT_EQ(UL_fputline(0, f, "one"), 0);
    EXPECT_EQ(UL_fputline(0, f, ""), 0);
    EXPECT_EQ(UL_fwrite(0, f, "xyz", 3), 0);
    int32_t pos = -1;
    EXPECT_EQ(UL_fseek(0, f, 0, 1, &pos), 0);
    EXPECT_EQ(pos, 0);
    char buf[16] = {};
    EXPECT_EQ(UL_fread(0, f, buf, 5), 0);
    EXPECT_EQ(std::string(buf, 5), "one\r\n");
    EXPECT_EQ(UL_fread(0, f, buf, 10), UL_E_READ);  // only 5 are left: the whole length or nothing
    EXPECT_EQ(UL_fseek(0, f, -3, 3, &pos), 0);
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(UL_fseek(0, f, 0, 9, &pos), UL_E_BADARG);
    EXPECT_EQ(UL_fsetsize(0, f, 4), 0);
    EXPECT_EQ(UL_fclose(0, f), 0);
    EXPECT_EQ(qortest::readFile(path), "one\r");
    // A closed handle is recognised.
    EXPECT_EQ(UL_fclose(0, f), UL_E_BADFILE);
    EXPECT_EQ(UL_fread(0, f, buf, 1), UL_E_BADFILE);
    EXPECT_EQ(UL_fwrite(0, f, buf, 1), UL_E_BADFILE);
    EXPECT_EQ(UL_fwrite(0, 0, buf, 1), UL_E_BADFILE);
    uint32_t size = 0;
    EXPECT_EQ(UL_filesize(0, path.c_str(), &size), 0);
    EXPECT_EQ(size, 4u);
}

TEST(FileHandle, OpenModesExistCopyDelete) {
    qortest::TempProfile tp;
    std::string a = tp.path("a"), b = tp.path("b");
    uint32_t f = 0;
    EXPECT_EQ(UL_fopen(0, a.c_str(), 2, &f), UL_E_NOTFOUND);
    EXPECT_EQ(f, 0u);
    int16_t flag = 1;
    EXPECT_EQ(UL_fileexists(a.c_str(), &flag), 0);
    EXPECT_EQ(flag, 0);
    qortest::writeFile(a, std::string("bin\0ary", 7));
    EXPECT_EQ(UL_fileexists(a.c_str(), &flag), 0);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(UL_fopenread(0, a.c_str(), 1, &f), 0);
    EXPECT_EQ(UL_fwrite(0, f, "x", 1), UL_E_WRITE);  // read only
    EXPECT_EQ(UL_fclose(0, f), 0);
    qortest::writeFile(b, "old content that is longer");
    EXPECT_EQ(UL_fcopy(0, b.c_str(), a.c_str()), 0);
    EXPECT_EQ(qortest::readFile(b), std::string("bin\0ary", 7));
    EXPECT_EQ(UL_fcopy(0, b.c_str(), tp.path("missing").c_str()), UL_E_NOTFOUND);
    EXPECT_EQ(qortest::readFile(b), std::string("bin\0ary", 7));  // untouched by the failure
    EXPECT_EQ(UL_fcopy(0, tp.path("nodir/c").c_str(), a.c_str()), UL_E_COPY);
    EXPECT_EQ(UL_fdelete(0, b.c_str()), 0);
    EXPECT_EQ(UL_fdelete(0, b.c_str()), UL_E_NOTFOUND);
    EXPECT_EQ(UL_fcreate(0, tp.path("nodir/c").c_str(), 2, &f), UL_E_CREATE);
}

TEST(TextFile, LinesPagesCutsAndTheEnd) {
    qortest::TempProfile tp;
    std::string path = tp.path("t.txt");
    // CR LF and LF ends, a form feed ending a page, a line of exactly 7 characters (fills an
    // 8-byte buffer) and a longer one, and a last line without an end.
    qortest::writeFile(path, "alpha\r\nbeta\npage\fnext\r\n1234567\r\nabcdefghij\nlast");
    uint32_t t = 0;
    ASSERT_EQ(UL_textopen(0, path.c_str(), &t), 0);
    char line[8];
    int16_t kind = -1;
    struct L {
        std::string text;
        int16_t kind;
    };
    std::vector<L> got;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(UL_textline(0, t, line, sizeof line, &kind), 0);
        got.push_back({line, kind});
        if (kind == 2) break;
    }
    std::vector<L> want = {{"alpha", 0}, {"beta", 0},    {"page", 1}, {"next", 0},
                           {"1234567", 0}, {"abcdefg", 0}, {"hij", 0},  {"last", 0}, {"", 2}};
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text) << i;
        EXPECT_EQ(got[i].kind, want[i].kind) << i;
    }
    EXPECT_EQ(UL_textline(0, t, line, sizeof line, &kind), 0);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(UL_textclose(0, t), 0);
    EXPECT_EQ(UL_textline(0, t, line, sizeof line, &kind), UL_E_BADFILE);
    EXPECT_EQ(UL_textopen(0, tp.path("none").c_str(), &t), UL_E_OPEN);
}

}  // namespace
