#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "qorul.h"
#include "qorul_control.h"
#include "testprofile.h"

namespace {

TEST(Profile, CreatedWithDefaults) {
    qortest::TempProfile tp;
    for (const char* d : {"data", "spool", "recv", "print"})
        EXPECT_TRUE(std::filesystem::is_directory(tp.path(d))) << d;
    EXPECT_EQ(qortest::readFile(tp.path("qorfax.ini")),
              "[GENERAL]\n\n[SYSTEM]\nValue1=1\nValue9=0\nValue10=0\n\n[TRACE]\nLevel=0\n"
              "\n[TEMPLATES]\n"
              "template1=classic,Classic: serif heading, labelled rows, framed message\n"
              "template2=modern,Modern: dark title band, two columns, open message area\n"
              "template3=minimal,Minimal: plain text and one hairline\n"
              "\n[FAX OPERATION]\nDeleteAfterPrint=0\n");
    // The shipped cover templates come with a new profile.
    for (const char* t : {"data/classic.001", "data/modern.001", "data/minimal.001"})
        EXPECT_NE(qortest::readFile(tp.path(t)).find("field memo"), std::string::npos) << t;
    EXPECT_EQ(std::string(UL_profileroot()), tp.root());
    int16_t v = -1;
    EXPECT_EQ(UL_getvalue(0, 1, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(UL_getvalue(0, 9, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(UL_getvalue(0, 13, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(UL_getvalue(0, 2, &v), UL_E_NOVALUE);
}

TEST(Profile, ExistingSettingsFileIsKept) {
    qortest::TempProfile tp;
    std::string dir = tp.path("other/");
    std::filesystem::create_directories(dir);
    qortest::writeFile(dir + "qorfax.ini", "[SYSTEM]\nValue10=7\n");
    ASSERT_EQ(qorul::setProfileRoot(dir), 0);
    EXPECT_EQ(qortest::readFile(dir + "qorfax.ini"), "[SYSTEM]\nValue10=7\n");
    int16_t v = 0;
    EXPECT_EQ(UL_getvalue(0, 10, &v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(UL_getvalue(0, 1, &v), 0);
    EXPECT_EQ(v, 1);  // missing key: its default
    EXPECT_TRUE(std::filesystem::is_directory(dir + "spool"));
}

TEST(Profile, RootFromEnvironment) {
    qortest::TempProfile tp;
    std::string dir = tp.path("env");
    const char* old = std::getenv("QORFAX_HOME");
    std::string saved = old ? old : "";
    setenv("QORFAX_HOME", dir.c_str(), 1);
    qorul::resetProfile();
    EXPECT_EQ(UL_profileinit(), 0);
    EXPECT_EQ(std::string(UL_profileroot()), dir + "/");
    if (old) setenv("QORFAX_HOME", saved.c_str(), 1); else unsetenv("QORFAX_HOME");
}

TEST(Profile, DeepRootGivesPathLongAndUnwritableRootGivesProfile) {
    qortest::TempProfile tp;
    std::string deep = tp.root() + std::string(80 - tp.root().size(), 'd') + "/";
    EXPECT_EQ(qorul::setProfileRoot(deep), UL_E_PATHLONG);
    char buf[UL_MAXPATH] = "x";
    EXPECT_EQ(UL_getpath(0, buf, 24), UL_E_PATHLONG);
    EXPECT_STREQ(buf, "");
    // The longest root that is still accepted: its spool paths hold exactly 79 characters.
    std::string fits = tp.root() + std::string(61 - tp.root().size() - 1, 'f') + "/";
    ASSERT_EQ(fits.size(), 61u);
    ASSERT_EQ(qorul::setProfileRoot(fits), 0);
    EXPECT_EQ(UL_getpath(0, buf, 22), 0);
    EXPECT_EQ(std::strlen(buf), 79u);
    // Under a regular file no directory can be made (tests run as root: permissions would not do).
    qortest::writeFile(tp.path("plain"), "x");
    EXPECT_EQ(qorul::setProfileRoot(tp.path("plain/root")), UL_E_PROFILE);
    EXPECT_EQ(UL_getpath(0, buf, 41), UL_E_PROFILE);
    EXPECT_STREQ(buf, "");
}

TEST(Profile, PathNumbers) {
    qortest::TempProfile tp;
    char buf[UL_MAXPATH];
    EXPECT_EQ(UL_getpath(0, buf, 24), 0);
    EXPECT_EQ(std::string(buf), tp.root() + "data/");
    EXPECT_EQ(UL_getpath(0, buf, 40), 0);
    EXPECT_EQ(std::string(buf), tp.root() + "data/");
    EXPECT_EQ(UL_getpath(0, buf, 41), 0);
    EXPECT_EQ(std::string(buf), tp.root() + "qorfax.ini");
    EXPECT_EQ(UL_getpath(0, buf, 7), 0);
    EXPECT_EQ(std::string(buf), tp.root() + "purge.lst");
    EXPECT_EQ(UL_getpath(0, buf, 16), 0);
    EXPECT_EQ(UL_getpath(0, buf, 47), 0);
    EXPECT_EQ(std::string(buf), tp.root() + "layouts.rpt");
    EXPECT_EQ(UL_getpath(0, buf, 99), UL_E_NOPATH);
    EXPECT_STREQ(buf, "");
    char small[10];
    EXPECT_EQ(UL_getpath(0, small, 41), UL_E_TOOLONG);
    EXPECT_STREQ(small, "");

    EXPECT_EQ(UL_getpath(0, buf, 22), 0);
    std::string spool = buf;
    EXPECT_EQ(spool.rfind(tp.root() + "spool/", 0), 0u);
    EXPECT_EQ(spool.size(), tp.root().size() + 18);
    EXPECT_EQ(spool.substr(spool.size() - 4), ".SPL");
    EXPECT_TRUE(UL_barename(0, buf, sizeof buf) == 0);
    EXPECT_EQ(std::string(buf), spool.substr(spool.size() - 12));
    EXPECT_TRUE(UL_isbarename(buf));
    EXPECT_EQ(UL_fullpath(0, buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), spool);
    EXPECT_FALSE(UL_isbarename(buf));
    char other[UL_MAXPATH] = "/etc/passwd";
    EXPECT_EQ(UL_barename(0, other, sizeof other), 0);
    EXPECT_STREQ(other, "/etc/passwd");

    char dir[8] = "abc";
    UL_endpath(dir, sizeof dir);
    EXPECT_STREQ(dir, "abc/");
    UL_endpath(dir, sizeof dir);
    EXPECT_STREQ(dir, "abc/");
}

TEST(Profile, SpoolPathsAreUniqueAcrossProcessesAndSkipExistingNames) {
    qortest::TempProfile tp;
    char buf[UL_MAXPATH];
    ASSERT_EQ(UL_getpath(0, buf, 22), 0);
    std::string first = buf;
    // A file under the next name already: it is passed over.
    std::string next = first;
    next.replace(next.size() - 12, 8, "00000002");
    qortest::writeFile(next, "x");
    ASSERT_EQ(UL_getpath(0, buf, 22), 0);
    EXPECT_NE(std::string(buf), next);
    EXPECT_NE(std::string(buf), first);

    constexpr int kChildren = 4, kEach = 50;
    int fds[kChildren][2];
    pid_t pids[kChildren];
    for (int c = 0; c < kChildren; ++c) {
        ASSERT_EQ(pipe(fds[c]), 0);
        pids[c] = fork();
        ASSERT_GE(pids[c], 0);
        if (pids[c] == 0) {
            close(fds[c][0]);
            std::string out;
            for (int i = 0; i < kEach; ++i) {
                char p[UL_MAXPATH];
                if (UL_getpath(0, p, 22) != 0) _exit(1);
                out += std::string(p) + "\n";
            }
            if (write(fds[c][1], out.data(), out.size()) != static_cast<ssize_t>(out.size())) _exit(1);
            _exit(0);
        }
        close(fds[c][1]);
    }
    std::set<std::string> all;
    for (int c = 0; c < kChildren; ++c) {
        std::string text;
        char chunk[4096];
        ssize_t n;
        while ((n = read(fds[c][0], chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(n));
        close(fds[c][0]);
        int status = 0;
        waitpid(pids[c], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::istringstream in(text);
        std::string line;
        int count = 0;
        while (std::getline(in, line)) {
            EXPECT_TRUE(all.insert(line).second) << "duplicate " << line;
            ++count;
        }
        EXPECT_EQ(count, kEach);
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kChildren * kEach));
}

}  // namespace
