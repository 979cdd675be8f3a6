// The fax engine lock: nesting within the process, and a second process that waits.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "qorlib1.h"
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

}  // namespace
