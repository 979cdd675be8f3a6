#include <gtest/gtest.h>

#include <cstring>

#include "qorul.h"

namespace {

TEST(Memory, BlockComesBackLockedZeroedAndKeepsContent) {
    void* p = nullptr;
    uint32_t h = 0;
    ASSERT_EQ(UL_allochandle(&p, 5 * 1034, &h), 0);
    ASSERT_NE(h, 0u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(UL_handlesize(h), 5u * 1034u);
    auto* bytes = static_cast<unsigned char*>(p);
    for (uint32_t i = 0; i < 5 * 1034; ++i) ASSERT_EQ(bytes[i], 0) << i;
    std::memcpy(p, "content", 8);
    ASSERT_EQ(UL_unlockhandle(h), 0);  // the allocation's lock
    EXPECT_EQ(UL_unlockhandle(h), UL_E_NOTLOCKED);
    void* q = nullptr;
    ASSERT_EQ(UL_lockhandle(h, &q), 0);
    EXPECT_STREQ(static_cast<char*>(q), "content");
    // Locks nest: two locks need two unlocks.
    ASSERT_EQ(UL_lockhandle(h, &q), 0);
    EXPECT_EQ(UL_unlockhandle(h), 0);
    EXPECT_EQ(UL_unlockhandle(h), 0);
    EXPECT_EQ(UL_unlockhandle(h), UL_E_NOTLOCKED);
    EXPECT_EQ(UL_freehandle(h), 0);
}

TEST(Memory, FreedHandleIsRecognisedEvenAfterItsSlotIsReused) {
    uint32_t before = UL_handlecount();
    void* p = nullptr;
    uint32_t h1 = 0;
    ASSERT_EQ(UL_allochandle(&p, 16, &h1), 0);
    ASSERT_EQ(UL_freehandle(h1), 0);
    EXPECT_EQ(UL_freehandle(h1), UL_E_BADHANDLE);
    EXPECT_EQ(UL_lockhandle(h1, &p), UL_E_BADHANDLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(UL_unlockhandle(h1), UL_E_BADHANDLE);
    EXPECT_EQ(UL_handlesize(h1), 0u);
    // Many new blocks: none of them may answer to the old handle.
    uint32_t hs[64];
    for (auto& h : hs) {
        ASSERT_EQ(UL_allochandle(&p, 8, &h), 0);
        EXPECT_NE(h, h1);
    }
    EXPECT_EQ(UL_lockhandle(h1, &p), UL_E_BADHANDLE);
    for (auto h : hs) EXPECT_EQ(UL_freehandle(h), 0);
    EXPECT_EQ(UL_handlecount(), before);
}

TEST(Memory, BadArgumentsAndSizes) {
    void* p = reinterpret_cast<void*>(1);
    uint32_t h = 7;
    EXPECT_EQ(UL_allochandle(&p, 0, &h), UL_E_BADSIZE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(UL_allochandle(&p, 0xFFFFFFFFu, &h), UL_E_BADSIZE);
    EXPECT_EQ(UL_allochandle(nullptr, 8, &h), UL_E_BADARG);
    EXPECT_EQ(UL_lockhandle(0, &p), UL_E_BADHANDLE);
    EXPECT_EQ(UL_lockhandle(0x12345678u, &p), UL_E_BADHANDLE);
    EXPECT_EQ(UL_freehandle(0), UL_E_BADHANDLE);
}

}  // namespace
