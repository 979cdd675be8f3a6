// Two sessions of one profile side by side (a long import and a settings change, say): each one
// writes back only what it changed, so neither undoes the other.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "frame_fixture.h"
#include "qorul.h"

namespace qortest {
namespace {

using SessionsTest = FrameTest;

std::string textAt(const std::string& bytes, size_t offset, size_t width) {
    std::string field = bytes.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

TEST_F(SessionsTest, ASessionThatClosesLastKeepsWhatAnotherSavedMeanwhile) {
    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(SF_close(kHost), 0);
    qorsf::frame_reset();
    ASSERT_EQ(SF_open(kHost), 0);  // the long session: open across the other's whole life

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another process: its own session, which changes the card and the delete default...
        qorsf::frame_reset();
        int rc = SF_open(kHost);
        UL_strcopy(qorsf::params()->ccard.first, "9999");
        qorsf::params()->ccardinuse = 1;
        qorsf::frame().word2201 = 1;
        rc |= SF_close(kHost);
        // ... and a settings change made with the library closed (qorfax config set).
        char key[80] = {};
        UL_loadstring(0, key, "QORLANG", 2202);
        char ini[80] = {};
        UL_getpath(0, ini, 41);
        rc |= WritePrivateProfileStringA("FAX OPERATION", key, "0", ini) ? 0 : 1;
        _exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(fax(2201), "1");

    // The long session changes one thing of its own and closes.
    UL_strcopy(qorsf::params()->headername, "MINE");
    qorsf::frame().word2209 = 1;
    ASSERT_EQ(SF_close(kHost), 0);

    const std::string dat = readFile(datFile());
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(textAt(dat, 4, 26), "9999");     // the other session's card
    EXPECT_EQ(dat[0], 1);                      // and its in-use flag
    EXPECT_EQ(textAt(dat, 399, 80), "MINE");   // this session's header
    EXPECT_EQ(fax(2201), "1");                 // not set back to the 0 this session loaded
    EXPECT_EQ(fax(2202), "0");
    EXPECT_EQ(fax(2207), "MINE");
    EXPECT_EQ(fax(2209), "1");

    qorsf::frame_reset();
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_STREQ(qorsf::params()->ccard.first, "9999");
    EXPECT_EQ(qorsf::params()->word2201, 1);
    EXPECT_EQ(qorsf::params()->word2202, 0);
    EXPECT_STREQ(qorsf::params()->headername, "MINE");
}

TEST_F(SessionsTest, ASessionThatChangedNothingWritesNothing) {
    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(SF_close(kHost), 0);
    qorsf::frame_reset();
    ASSERT_EQ(SF_open(kHost), 0);
    // Changed behind the open session's back.
    putFax(2200, "0");
    const std::string settingsBefore = readFile(settings());
    const std::string datBefore = readFile(datFile());
    ASSERT_EQ(SF_close(kHost), 0);
    EXPECT_EQ(readFile(settings()), settingsBefore);
    EXPECT_EQ(readFile(datFile()), datBefore);
}

}  // namespace
}  // namespace qortest
