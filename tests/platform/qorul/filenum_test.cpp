#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "qorul.h"
#include "qorul_control.h"
#include "testprofile.h"

namespace {

TEST(FileNumber, CreateWriteSeekReadClose) {
    qortest::TempProfile tp;
    std::string path = tp.path("store.pbk");
    int16_t f = UL_create(path.c_str(), 2);
    ASSERT_GT(f, 0);
    EXPECT_EQ(UL_write(f, "0123456789", 10), 10);
    EXPECT_EQ(UL_seek(f, 4, 0), 4u);
    char buf[8] = {};
    EXPECT_EQ(UL_read(f, buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "456");
    EXPECT_EQ(UL_seek(f, 0, 2), 10u);
    EXPECT_EQ(UL_read(f, buf, 4), 0);  // at the end: nothing moved
    EXPECT_EQ(UL_close(f), 0);
    EXPECT_EQ(UL_close(f), -1);
    EXPECT_EQ(UL_read(f, buf, 1), 0);
    EXPECT_EQ(UL_write(f, buf, 1), 0xFFFF);
    EXPECT_EQ(UL_seek(f, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(qortest::readFile(path), "0123456789");
    EXPECT_EQ(UL_delete(path.c_str()), 0);
    EXPECT_EQ(UL_delete(path.c_str()), -1);
    EXPECT_EQ(UL_open(path.c_str(), 2), -1);
}

TEST(FileNumber, ExclusiveOpenKeepsOthersOut) {
    qortest::TempProfile tp;
    std::string path = tp.path("store.pbk");
    qortest::writeFile(path, "keep me");
    int16_t f = UL_open(path.c_str(), 2);
    ASSERT_GT(f, 0);
    EXPECT_EQ(UL_open(path.c_str(), 2), -1);   // a second open in this process
    EXPECT_EQ(UL_open(path.c_str(), 0), -1);   // also a reader
    EXPECT_EQ(UL_create(path.c_str(), 2), -1); // and a create must not truncate it
    EXPECT_EQ(qortest::readFile(path), "keep me");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        qorul::reset();  // the child's table forgets the inherited number, the parent's lock stays
        _exit(UL_open(path.c_str(), 2) == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(UL_close(f), 0);
    f = UL_open(path.c_str(), 2);
    EXPECT_GT(f, 0);
    EXPECT_EQ(UL_close(f), 0);
}

TEST(FileNumber, FaultInjectionFailsTheNthCallOnce) {
    qortest::TempProfile tp;
    int16_t f = UL_create(tp.path("f").c_str(), 2);
    ASSERT_GT(f, 0);
    char buf[4] = {'a', 'b', 'c', 'd'};

    qorul::failNth(qorul::FaultOp::Write, 2);
    EXPECT_EQ(UL_write(f, buf, 4), 4);
    EXPECT_EQ(UL_seek(f, 0, 0), 0u);  // other kinds do not count for Write
    EXPECT_EQ(UL_write(f, buf, 4), 0xFFFF);
    EXPECT_EQ(UL_write(f, buf, 4), 4);  // only once
    EXPECT_EQ(qorul::faultCalls(qorul::FaultOp::Write), 3);
    EXPECT_EQ(qorul::faultCalls(qorul::FaultOp::Any), 4);

    qorul::failNth(qorul::FaultOp::Seek, 1);
    EXPECT_EQ(UL_seek(f, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(UL_seek(f, 0, 0), 0u);

    qorul::failNth(qorul::FaultOp::Read, 1);
    EXPECT_EQ(UL_read(f, buf, 4), 0);
    EXPECT_EQ(UL_read(f, buf, 4), 4);

    qorul::failNth(qorul::FaultOp::Any, 3);
    EXPECT_EQ(UL_seek(f, 0, 0), 0u);
    EXPECT_EQ(UL_read(f, buf, 2), 2);
    EXPECT_EQ(UL_write(f, buf, 2), 0xFFFF);

    qorul::failNth(qorul::FaultOp::Read, 0);  // disarmed
    EXPECT_EQ(UL_seek(f, 0, 0), 0u);
    EXPECT_EQ(UL_read(f, buf, 4), 4);
    EXPECT_EQ(UL_close(f), 0);
}

TEST(FileNumber, ResetClosesAndReleasesLocks) {
    qortest::TempProfile tp;
    std::string path = tp.path("f");
    ASSERT_GT(UL_create(path.c_str(), 2), 0);
    qorul::reset();
    int16_t f = UL_open(path.c_str(), 2);
    EXPECT_GT(f, 0);
    UL_close(f);
}

}  // namespace
