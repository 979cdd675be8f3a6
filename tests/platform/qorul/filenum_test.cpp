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

// The block cache of a number: whatever mix of reads, writes and cuts goes through the number,
// every read gives the file's bytes, with as few blocks kept as it was given.
TEST(FileNumber, BlockCacheAlwaysGivesTheFilesBytes) {
    qortest::TempProfile tp;
    const std::string path = tp.path("cached.pbk");
    constexpr uint16_t kB = 64;
    std::string model(10 * kB, '\0');
    for (size_t i = 0; i < model.size(); ++i) model[i] = static_cast<char>('a' + i % 26);
    qortest::writeFile(path, model);
    int16_t f = UL_open(path.c_str(), 2);
    ASSERT_GT(f, 0);
    EXPECT_EQ(UL_cacheblocks(f, kB, 3), 0);  // fewer blocks than the file has: some go
    auto readBlock = [&](uint32_t b) {
        std::string got(kB, '?');
        EXPECT_EQ(UL_seek(f, b * kB, 0), b * kB);
        EXPECT_EQ(UL_read(f, got.data(), kB), kB);
        return got;
    };
    for (uint32_t b : {0u, 1u, 2u, 0u, 5u, 1u}) EXPECT_EQ(readBlock(b), model.substr(b * kB, kB)) << b;
    // A write across two cached blocks: both read back as written, and the block after them.
    const std::string patch(kB, 'W');
    ASSERT_EQ(UL_seek(f, kB / 2, 0), kB / 2u);
    ASSERT_EQ(UL_write(f, patch.data(), kB), kB);
    model.replace(kB / 2, kB, patch);
    for (uint32_t b : {0u, 1u, 2u}) EXPECT_EQ(readBlock(b), model.substr(b * kB, kB)) << b;
    // A small read within a cached block, and one across two blocks.
    char small[10] = {};
    ASSERT_EQ(UL_seek(f, kB + 3, 0), kB + 3u);
    ASSERT_EQ(UL_read(f, small, 10), 10);
    EXPECT_EQ(std::string(small, 10), model.substr(kB + 3, 10));
    ASSERT_EQ(UL_seek(f, 2 * kB - 5, 0), 2u * kB - 5);
    ASSERT_EQ(UL_read(f, small, 10), 10);
    EXPECT_EQ(std::string(small, 10), model.substr(2 * kB - 5, 10));
    // A cut: a block beyond the new end reads short, and growing the file again reads the new bytes.
    EXPECT_EQ(readBlock(5), model.substr(5 * kB, kB));
    ASSERT_EQ(UL_truncate(f, 5 * kB + 10), 0);
    model.resize(5 * kB + 10);
    char block[kB];
    ASSERT_EQ(UL_seek(f, 5 * kB, 0), 5u * kB);
    EXPECT_EQ(UL_read(f, block, kB), 10);
    const std::string grown(kB, 'G');
    ASSERT_EQ(UL_seek(f, 5 * kB, 0), 5u * kB);
    ASSERT_EQ(UL_write(f, grown.data(), kB), kB);
    model.replace(5 * kB, std::string::npos, grown);
    EXPECT_EQ(readBlock(5), grown);
    // Reads served from the cache still count for fault injection and can be made to fail.
    qorul::failNth(qorul::FaultOp::Read, 1);
    ASSERT_EQ(UL_seek(f, 5 * kB, 0), 5u * kB);
    EXPECT_EQ(UL_read(f, block, kB), 0);
    qorul::resetFaults();
    // A crashed process writes nothing, so the cache keeps what the file has.
    qorul::crashAt(1);
    ASSERT_EQ(UL_seek(f, 0, 0), 0u);
    EXPECT_EQ(UL_write(f, patch.data(), kB), 0xFFFF);
    qorul::resetFaults();
    for (uint32_t b = 0; b < 6; ++b) EXPECT_EQ(readBlock(b), model.substr(b * kB, kB)) << b;
    EXPECT_EQ(UL_close(f), 0);
    EXPECT_EQ(qortest::readFile(path), model);
}

// A file at least half as large as its cache gets the cache in huge pages: every slot of the
// area, up to its last byte, keeps its block's bytes, through reads, a write and a cut.
TEST(FileNumber, LargeBlockCacheGivesTheFilesBytesInEverySlot) {
    qortest::TempProfile tp;
    const std::string path = tp.path("large.pbk");
    constexpr uint32_t kB = 1024, kBlocks = 4096;  // a 4 MiB cache
    std::string model(5u << 20, '\0');
    for (size_t i = 0; i < model.size(); ++i) model[i] = static_cast<char>((i * 7 + i / kB) % 251);
    qortest::writeFile(path, model);
    int16_t f = UL_open(path.c_str(), 2);
    ASSERT_GT(f, 0);
    ASSERT_EQ(UL_cacheblocks(f, kB, kBlocks), 0);
    const uint32_t fileBlocks = static_cast<uint32_t>(model.size() / kB);
    std::string got(kB, '?');
    auto sameAsFile = [&](uint32_t b) {
        if (UL_seek(f, b * kB, 0) != b * kB || UL_read(f, got.data(), kB) != kB) return false;
        return got == model.substr(static_cast<size_t>(b) * kB, kB);
    };
    // The whole file in order (the cache fills, then its oldest blocks go), then back to front.
    for (uint32_t b = 0; b < fileBlocks; ++b) ASSERT_TRUE(sameAsFile(b)) << b;
    for (uint32_t b = fileBlocks; b-- > 0;) ASSERT_TRUE(sameAsFile(b)) << b;
    const std::string patch(kB, 'W');
    ASSERT_EQ(UL_seek(f, 3 * kB + 100, 0), 3 * kB + 100);
    ASSERT_EQ(UL_write(f, patch.data(), kB), kB);
    model.replace(3 * kB + 100, kB, patch);
    for (uint32_t b : {3u, 4u, 2u}) EXPECT_TRUE(sameAsFile(b)) << b;
    ASSERT_EQ(UL_truncate(f, 10 * kB), 0);
    model.resize(10 * kB);
    EXPECT_TRUE(sameAsFile(9));
    EXPECT_EQ(UL_seek(f, 10 * kB, 0), 10 * kB);
    EXPECT_EQ(UL_read(f, got.data(), kB), 0) << "nothing past the cut";
    UL_close(f);
}

// The cache lives with the number: what another program writes while the file is closed is
// what the next open reads.
TEST(FileNumber, BlockCacheStartsAfreshWithEachOpen) {
    qortest::TempProfile tp;
    const std::string path = tp.path("shared.pbk");
    qortest::writeFile(path, std::string(4096, 'o'));
    int16_t f = UL_open(path.c_str(), 2);
    ASSERT_GT(f, 0);
    ASSERT_EQ(UL_cacheblocks(f, 1024, 8), 0);
    char block[1024];
    ASSERT_EQ(UL_seek(f, 1024, 0), 1024u);
    ASSERT_EQ(UL_read(f, block, 1024), 1024);
    EXPECT_EQ(block[0], 'o');
    ASSERT_EQ(UL_close(f), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        qorul::reset();
        int16_t g = UL_open(path.c_str(), 2);
        const std::string other(1024, 'x');
        bool ok = g > 0 && UL_seek(g, 1024, 0) == 1024 && UL_write(g, other.data(), 1024) == 1024 && UL_close(g) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    f = UL_open(path.c_str(), 2);
    ASSERT_GT(f, 0);
    ASSERT_EQ(UL_cacheblocks(f, 1024, 8), 0);
    ASSERT_EQ(UL_seek(f, 1024, 0), 1024u);
    ASSERT_EQ(UL_read(f, block, 1024), 1024);
    EXPECT_EQ(block[0], 'x');
    EXPECT_EQ(block[1023], 'x');
    EXPECT_EQ(UL_close(f), 0);
    EXPECT_EQ(UL_cacheblocks(f, 1024, 8), -1) << "a closed number has no cache";
}

}  // namespace
