// Profile strings driven as the library uses them: whole files written byte for byte, then read
// and rewritten through the Win32 calls, and the resulting bytes checked.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

#include "qorwin32.h"
#include "testprofile.h"

namespace {

class Profile : public ::testing::Test {
protected:
    // A directory of its own, so that the profile's own files do not mix with the test's.
    void SetUp() override { ASSERT_EQ(mkdir(dir().c_str(), 0700), 0); }
    std::string dir() const { return world.path("w32/"); }
    std::string file() const { return dir() + "qor.ini"; }
    void put(const std::string& bytes) { qortest::writeFile(file(), bytes); }
    std::string bytes() const { return qortest::readFile(file()); }

    std::string get(const char* section, const char* key, const char* def = "<none>") {
        char buf[512];
        DWORD n = GetPrivateProfileStringA(section, key, def, buf, sizeof buf, file().c_str());
        EXPECT_EQ(n, std::string(buf).size());
        return buf;
    }
    BOOL set(const char* section, const char* key, const char* value) {
        return WritePrivateProfileStringA(section, key, value, file().c_str());
    }
    // Names of a NULL-section or NULL-key list.
    std::vector<std::string> names(const char* section) {
        char buf[512];
        DWORD n = GetPrivateProfileStringA(section, nullptr, "", buf, sizeof buf, file().c_str());
        std::vector<std::string> out;
        for (DWORD i = 0; i < n;) {
            std::string name(buf + i);
            out.push_back(name);
            i += static_cast<DWORD>(name.size()) + 1;
        }
        EXPECT_EQ(buf[n], '\0');
        return out;
    }
    // Names in the directory of the file (the atomic rewrite leaves no temporary behind).
    std::vector<std::string> directory() const {
        std::vector<std::string> out;
        if (DIR* d = opendir(dir().c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") out.push_back(n);
            }
            closedir(d);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // The same without the writers' lock file, which stays beside the settings file.
    std::vector<std::string> temporaries() const {
        std::vector<std::string> out;
        for (const std::string& n : directory())
            if (n != ".qor.ini.lock") out.push_back(n);
        return out;
    }

    qortest::TempProfile world;
};

using Names = std::vector<std::string>;

TEST_F(Profile, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(get("FAX OPERATION", "Retries", "3"), "3");
    EXPECT_EQ(get("FAX OPERATION", "Retries", "dflt  \t"), "dflt");  // trailing blanks go
    EXPECT_EQ(get("FAX OPERATION", "Retries", nullptr), "");
    EXPECT_EQ(GetPrivateProfileIntA("FAX OPERATION", "Retries", 7, file().c_str()), 7u);
    EXPECT_EQ(names(nullptr), Names{});
    EXPECT_EQ(names("FAX OPERATION"), Names{});
    EXPECT_FALSE(qortest::fileExists(file()));  // reading creates nothing

    put("[GENERAL]\r\nName=Ann\r\n");
    EXPECT_EQ(get("TEMPLATES", "Name", "d"), "d");
    EXPECT_EQ(get("GENERAL", "Phone", "d"), "d");
}

TEST_F(Profile, CaseBlanksQuotesAndSeparatorsInValues) {
    put("; settings\r\n"
        "  [ Fax Operation ]  \r\n"
        "  Retries   =   4  \r\n"
        "Header=\"  padded  \"\r\n"
        "Single='x'\r\n"
        "Unbalanced=\"abc'\r\n"
        "Lone=\"\r\n"
        "Semi=a;b ; c\r\n"
        "Eq=x=y==z\r\n"
        "Empty=\r\n"
        "; Retries=99\r\n"
        "no equals sign here\r\n"
        "Number=-12abc\r\n");
    EXPECT_EQ(get("FAX OPERATION", "RETRIES"), "4");
    EXPECT_EQ(get("fax operation", "retries"), "4");
    EXPECT_EQ(get("FAX OPERATION", "Header"), "  padded  ");
    EXPECT_EQ(get("FAX OPERATION", "Single"), "x");
    EXPECT_EQ(get("FAX OPERATION", "Unbalanced"), "\"abc'");
    EXPECT_EQ(get("FAX OPERATION", "Lone"), "\"");
    EXPECT_EQ(get("FAX OPERATION", "Semi"), "a;b ; c");
    EXPECT_EQ(get("FAX OPERATION", "Eq"), "x=y==z");
    EXPECT_EQ(get("FAX OPERATION", "Empty", "d"), "");  // present but empty: not the default
    EXPECT_EQ(get("FAX OPERATION", "no equals sign here", "d"), "d");
    EXPECT_EQ(get("FAX OPERATION", "; Retries", "d"), "d");
    EXPECT_EQ(names("FAX OPERATION"),
              (Names{"Retries", "Header", "Single", "Unbalanced", "Lone", "Semi", "Eq", "Empty", "Number"}));

    const std::string path = file();
    const char* f = path.c_str();
    EXPECT_EQ(GetPrivateProfileIntA("Fax Operation", "Retries", 0, f), 4u);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("Fax Operation", "Number", 0, f)), -12);
    EXPECT_EQ(GetPrivateProfileIntA("Fax Operation", "Semi", 5, f), 0u);   // no digits
    EXPECT_EQ(GetPrivateProfileIntA("Fax Operation", "Empty", 5, f), 5u);  // empty: default
}

TEST_F(Profile, LatinLettersMatchWithoutCase) {
    put("[R\xC9GLAGES]\nCl\xE9=1\n");
    EXPECT_EQ(get("r\xE9glages", "CL\xC9"), "1");
}

TEST_F(Profile, DuplicatesFirstIsReadAndWritten) {
    put("[A]\r\nk=1\r\nK=2\r\n[B]\r\nx=0\r\n[a]\r\nk=3\r\nonly=4\r\n");
    EXPECT_EQ(get("A", "k"), "1");
    EXPECT_EQ(get("A", "only", "d"), "d");  // the second copy of the section is not read
    EXPECT_EQ(names(nullptr), (Names{"A", "B"}));
    EXPECT_EQ(names("a"), (Names{"k"}));

    ASSERT_TRUE(set("a", "K", "9"));
    EXPECT_EQ(bytes(), "[A]\r\nk=9\r\nK=2\r\n[B]\r\nx=0\r\n[a]\r\nk=3\r\nonly=4\r\n");
    ASSERT_TRUE(set("A", "new", "n"));
    EXPECT_EQ(bytes(), "[A]\r\nk=9\r\nK=2\r\nnew=n\r\n[B]\r\nx=0\r\n[a]\r\nk=3\r\nonly=4\r\n");
}

TEST_F(Profile, NewKeysAndSectionsGoAtTheEnd) {
    put("; head\n[A]\nk=1\n; tail of A\n\n\n[B]\nx=0");  // LF file, no line end at the end
    ASSERT_TRUE(set("A", "n", "2"));
    EXPECT_EQ(bytes(), "; head\n[A]\nk=1\n; tail of A\nn=2\n\n\n[B]\nx=0");
    ASSERT_TRUE(set("B", "y", "1"));
    EXPECT_EQ(bytes(), "; head\n[A]\nk=1\n; tail of A\nn=2\n\n\n[B]\nx=0\ny=1\n");
    ASSERT_TRUE(set("C", "z", "q"));
    EXPECT_EQ(bytes(), "; head\n[A]\nk=1\n; tail of A\nn=2\n\n\n[B]\nx=0\ny=1\n[C]\nz=q\n");
    EXPECT_EQ(get("C", "z"), "q");
}

TEST_F(Profile, NewFileUsesCrLfAndKeepsCrLf) {
    ASSERT_TRUE(set("GENERAL", "Name", "Ann"));
    EXPECT_EQ(bytes(), "[GENERAL]\r\nName=Ann\r\n");
    ASSERT_TRUE(set("GENERAL", "Phone", "555"));
    ASSERT_TRUE(set("GENERAL", "Name", "Bob"));
    EXPECT_EQ(bytes(), "[GENERAL]\r\nName=Bob\r\nPhone=555\r\n");
    EXPECT_EQ(get("general", "name"), "Bob");
}

TEST_F(Profile, CrOnlyLineEndsReadAsLinesAndStayOnRewrite) {
    // A file from a system that ends its lines with a lone CR.
    put("[Fax]\rSpeed=9600\rName = Ada \r[Other]\rSpeed=1\r");
    EXPECT_EQ(get("Fax", "Speed"), "9600");
    EXPECT_EQ(get("fax", "name"), "Ada");
    EXPECT_EQ(get("Other", "Speed"), "1");
    EXPECT_EQ(names(nullptr), (std::vector<std::string>{"Fax", "Other"}));
    ASSERT_TRUE(set("Fax", "Retries", "3"));
    EXPECT_EQ(bytes(), "[Fax]\rSpeed=9600\rName = Ada \rRetries=3\r[Other]\rSpeed=1\r");
    // Mixed ends: each line keeps its own.
    put("[A]\r\nx=1\ry=2\nz=3");
    EXPECT_EQ(get("A", "x"), "1");
    EXPECT_EQ(get("A", "y"), "2");
    EXPECT_EQ(get("A", "z"), "3");
}

TEST_F(Profile, ValuesWithSeparatorsRoundTrip) {
    ASSERT_TRUE(set("S", "k", "a;b=c"));
    EXPECT_EQ(get("S", "k"), "a;b=c");
    ASSERT_TRUE(set("S", "k", ""));
    EXPECT_EQ(get("S", "k", "d"), "");
    EXPECT_EQ(bytes(), "[S]\r\nk=\r\n");
}

TEST_F(Profile, DeleteKeyAndSection) {
    const std::string original = "[A]\r\nk=1\r\nj=2\r\nK=3\r\n[B]\r\nx=0\r\n; B note\r\n[a]\r\nk=4\r\n[C]\r\nc=1\r\n";
    put(original);
    ASSERT_TRUE(set("A", "k", nullptr));  // every copy in the section, else the next shows through
    EXPECT_EQ(bytes(), "[A]\r\nj=2\r\n[B]\r\nx=0\r\n; B note\r\n[a]\r\nk=4\r\n[C]\r\nc=1\r\n");
    EXPECT_EQ(get("A", "k", "gone"), "gone");

    ASSERT_TRUE(set("a", nullptr, nullptr));  // every copy of the section
    EXPECT_EQ(bytes(), "[B]\r\nx=0\r\n; B note\r\n[C]\r\nc=1\r\n");
    EXPECT_EQ(names(nullptr), (Names{"B", "C"}));

    // Deleting what is not there succeeds and leaves the file alone.
    const std::string now = bytes();
    EXPECT_TRUE(set("B", "missing", nullptr));
    EXPECT_TRUE(set("Z", "k", nullptr));
    EXPECT_TRUE(set("Z", nullptr, nullptr));
    EXPECT_EQ(bytes(), now);
    EXPECT_TRUE(set("Z", nullptr, nullptr));
}

TEST_F(Profile, LineBreaksAndNamesThatWouldReadBackAsOthersAreRefused) {
    const std::string original = "[A]\r\nk=1\r\n";
    put(original);
    EXPECT_FALSE(set("A", "k", "2\r\nevil=1"));
    EXPECT_FALSE(set("A", "k", "2\nevil=1"));
    EXPECT_FALSE(set("A", "k", "2\revil=1"));
    EXPECT_FALSE(set("A", "k\nevil", "1"));
    EXPECT_FALSE(set("A\n[B", "k", "1"));
    EXPECT_FALSE(set("A\n", nullptr, nullptr));
    EXPECT_FALSE(set("A]x", "k", "1"));
    EXPECT_FALSE(set("A", "k=j", "1"));  // would read back as key "k"
    EXPECT_FALSE(set("A", ";k", "1"));
    EXPECT_FALSE(set("A", "  ", "1"));
    EXPECT_FALSE(set("", "k", "1"));
    EXPECT_FALSE(set(nullptr, "k", "1"));
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(get("A", "evil", "none"), "none");
    EXPECT_EQ(get("A", "k"), "1");
}

TEST_F(Profile, ListsAndCutReturnValues) {
    put("[One]\r\nalpha=1\r\nbeta=2\r\n[Two]\r\n");
    const std::string path = file();
    char buf[64];

    // Whole list "One\0Two\0\0": 8 characters counted, the final NUL not.
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, path.c_str());
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(std::string(buf, 9), std::string("One\0Two\0\0", 9));

    // Exactly fitting: size 9.
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, 9, path.c_str());
    EXPECT_EQ(n, 8u);
    // One short: cut, closed by two NULs, size - 2.
    std::memset(buf, 'x', sizeof buf);
    n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, 8, path.c_str());
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(buf, 8), std::string("One\0Tw\0\0", 8));
    EXPECT_EQ(buf[8], 'x');  // nothing written past size

    std::memset(buf, 'x', sizeof buf);
    n = GetPrivateProfileStringA("one", nullptr, "", buf, 5, path.c_str());
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(buf, 5), std::string("alp\0\0", 5));
    EXPECT_EQ(buf[5], 'x');

    // An empty section gives an empty list.
    n = GetPrivateProfileStringA("Two", nullptr, "", buf, sizeof buf, path.c_str());
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(buf[1], '\0');

    // A value cut to fit: size - 1, terminated.
    std::memset(buf, 'x', sizeof buf);
    n = GetPrivateProfileStringA("One", "alpha", "", buf, 1, path.c_str());
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buf[0], '\0');
    put("[S]\r\nk=abcdef\r\n");
    std::memset(buf, 'x', sizeof buf);
    n = GetPrivateProfileStringA("S", "k", "", buf, 4, path.c_str());
    EXPECT_EQ(n, 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'x');
    n = GetPrivateProfileStringA("S", "k", "", buf, 7, path.c_str());
    EXPECT_EQ(n, 6u);
    EXPECT_STREQ(buf, "abcdef");
    // A default is cut the same way.
    n = GetPrivateProfileStringA("S", "missing", "defaultvalue", buf, 4, path.c_str());
    EXPECT_EQ(n, 3u);
    EXPECT_STREQ(buf, "def");
    // Size zero or no buffer: nothing written, nothing to count.
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buf, 0, path.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", nullptr, 10, path.c_str()), 0u);
}

TEST_F(Profile, GarbageLinesReadSafelyAndSurviveRewritesByteForByte) {
    std::string garbage;
    static const char binary[] = "\x01\x02\xff\xfe binary \0 nul\r\n";
    garbage += std::string(binary, sizeof binary - 1);
    garbage += std::string(100000, 'L') + "\r\n";  // a very long line without "="
    garbage += "[unclosed\r\n";
    garbage += "]stray[\r\n";
    garbage += "=no key\r\n";
    garbage += "   \t  \r\n";
    garbage += "mid\rline=cr\r\n";
    garbage += "lf only\n";
    const std::string before = "junk before any section=1\r\n[A]\r\n" + garbage + "k=1\r\n[B]\r\n" + garbage;
    put(before);

    EXPECT_EQ(get("A", "k"), "1");
    EXPECT_EQ(get("A", "junk before any section", "d"), "d");
    EXPECT_EQ(get("unclosed", "k", "d"), "d");
    EXPECT_EQ(names(nullptr), (Names{"A", "B"}));

    ASSERT_TRUE(set("A", "k", "2"));
    ASSERT_TRUE(set("B", "n", "3"));
    ASSERT_TRUE(set("C", "c", "4"));
    const std::string after =
        "junk before any section=1\r\n[A]\r\n" + garbage + "k=2\r\n[B]\r\n" + garbage + "n=3\r\n[C]\r\nc=4\r\n";
    EXPECT_EQ(bytes(), after);
    ASSERT_TRUE(set("B", nullptr, nullptr));
    EXPECT_EQ(bytes(), "junk before any section=1\r\n[A]\r\n" + garbage + "k=2\r\n[C]\r\nc=4\r\n");
}

TEST_F(Profile, AtomicRewriteLeavesNoTemporaryFile) {
    put("[A]\r\nk=1\r\n");
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(set("A", "k", std::to_string(i).c_str()));
    }
    EXPECT_EQ(get("A", "k"), "19");
    EXPECT_EQ(temporaries(), Names{"qor.ini"});
}

TEST_F(Profile, WritersInSeveralProcessesLoseNoChange) {
    put("[A]\r\n");
    constexpr int kChildren = 4, kWrites = 25;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                const std::string key = "c" + std::to_string(c) + "k" + std::to_string(i);
                ok = WritePrivateProfileStringA("A", key.c_str(), "1", file().c_str()) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int c = 0; c < kChildren; ++c)
        for (int i = 0; i < kWrites; ++i) {
            const std::string key = "c" + std::to_string(c) + "k" + std::to_string(i);
            EXPECT_EQ(get("A", key.c_str()), "1") << key;
        }
}

TEST_F(Profile, UnwritableTargetFailsAndLeavesNothing) {
    const std::string missing = dir() + "no-such-dir/qor.ini";
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "1", missing.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "1", nullptr));
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "1", dir().c_str()));  // a directory
    EXPECT_FALSE(qortest::fileExists(missing));
    EXPECT_EQ(directory(), Names{});
}

}  // namespace
