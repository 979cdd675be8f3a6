// The fax engine lock: nesting within the process, and a second process that waits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "qorlib1.h"
#include "qorul.h"
#include "testprofile.h"

namespace {

TEST(EngineLock, NestsAndRefusesAnUnbalancedRelease) {
    qortest::TempProfile profile;
    EXPECT_EQ(L1_lock(0, 1), L1_E_UNBALANCED);
    ASSERT_EQ(L1_lock(0, -1), 0);
    ASSERT_EQ(L1_lock(0, -1), 0);
    EXPECT_EQ(L1_lockdepth(), 2);
    ASSERT_EQ(L1_lock(0, 1), 0);
    ASSERT_EQ(L1_lock(0, 1), 0);
    EXPECT_EQ(L1_lockdepth(), 0);
}

// The child takes the lock while the parent holds it. The parent leaves a mark just before
// it releases; a child that got the lock before the release would not find the mark.
TEST(EngineLock, ASecondProcessWaitsUntilTheFirstReleases) {
    qortest::TempProfile profile;
    const std::string mark = profile.path("released");
    ASSERT_EQ(L1_lock(0, -1), 0);
    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toParent[0]);
        char c = 't';
        if (write(toParent[1], &c, 1) != 1) _exit(3);  // about to ask for the lock
        if (L1_lock(0, -1) != 0) _exit(2);
        const bool waited = access(mark.c_str(), F_OK) == 0;
        L1_lock(0, 1);
        _exit(waited ? 0 : 1);
    }
    close(toParent[1]);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    close(toParent[0]);
    // The child is now asking for the lock (or about to); it cannot have it yet.
    qortest::writeFile(mark, "x");
    ASSERT_EQ(L1_lock(0, 1), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A holder that never lets go: the wait ends with "busy" and the error log names it; nothing is
// held afterwards, and the lock is there again once the holder lets go.
TEST(EngineLock, AHolderThatNeverLetsGoGivesBusyAfterTheWait) {
    qortest::TempProfile profile;
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toChild[1]);
        close(toParent[0]);
        if (L1_lock(0, -1) != 0) _exit(2);
        char c = 'h';
        if (write(toParent[1], &c, 1) != 1) _exit(3);
        if (read(toChild[0], &c, 1) != 1) _exit(4);  // held until the parent says so
        L1_lock(0, 1);
        _exit(0);
    }
    close(toChild[0]);
    close(toParent[1]);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    L1_setlockwait(100);
    EXPECT_EQ(L1_lock(0, -1), L1_E_BUSY);
    EXPECT_EQ(L1_lockdepth(), 0);
    EXPECT_EQ(L1_lock(0, 1), L1_E_UNBALANCED);  // nothing was taken
    EXPECT_NE(qortest::readFile(profile.path("error.log")).find("31103"), std::string::npos)
        << qortest::readFile(profile.path("error.log"));
    ASSERT_EQ(write(toChild[1], &c, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    L1_setlockwait(30000);
    EXPECT_EQ(L1_lock(0, -1), 0);
    EXPECT_EQ(L1_lock(0, 1), 0);
    close(toChild[1]);
    close(toParent[0]);
}

// Taking the lock names no new spool file: the spool counter stays where it was.
TEST(EngineLock, TakingTheLockUsesNoSpoolNumber) {
    qortest::TempProfile profile;
    char first[300], second[300];
    ASSERT_EQ(UL_getpath(0, first, sizeof first, 22), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(L1_lock(0, -1), 0);
        ASSERT_EQ(L1_lock(0, 1), 0);
    }
    ASSERT_EQ(UL_getpath(0, second, sizeof second, 22), 0);
    const std::string a(first), b(second);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::stoul(b.substr(b.size() - 12, 8), nullptr, 16), std::stoul(a.substr(a.size() - 12, 8), nullptr, 16) + 1)
        << a << " then " << b;
}

}  // namespace
