#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qorul.h"
#include "qorux.h"
#include "testprofile.h"

namespace {

TEST(UxMemory, ResizeKeepsHandleContentAndLocks) {
    void* p = nullptr;
    uint32_t h = 0;
    ASSERT_EQ(UX_allochandle(&p, 8, &h), 0);
    std::memcpy(p, "1234567", 8);
    uint32_t same = h;
    ASSERT_EQ(UX_resizehandle(&h, 8, 4096), 0);
    EXPECT_EQ(h, same);
    EXPECT_EQ(UL_handlesize(h), 4096u);
    ASSERT_EQ(UL_lockhandle(h, &p), 0);  // locks: the allocation's and this one
    auto* b = static_cast<unsigned char*>(p);
    EXPECT_EQ(std::memcmp(b, "1234567", 8), 0);
    for (int i = 8; i < 4096; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(UL_unlockhandle(h), 0);
    EXPECT_EQ(UL_unlockhandle(h), 0);
    // Shrinking an unlocked block; an old size that lies is not used to copy.
    ASSERT_EQ(UX_resizehandle(&h, 100000, 4), 0);
    ASSERT_EQ(UL_lockhandle(h, &p), 0);
    EXPECT_EQ(std::memcmp(p, "1234", 4), 0);
    EXPECT_EQ(UL_unlockhandle(h), 0);
    EXPECT_EQ(UX_resizehandle(&h, 4, 0), UL_E_BADSIZE);
    EXPECT_EQ(UL_freehandle(h), 0);
    EXPECT_EQ(UX_resizehandle(&h, 4, 8), UL_E_BADHANDLE);
}

TEST(UxTexts, TextCopyDropsTrailingSpacesOnly) {
    char buf[128];
    UX_textcopy(buf, "  Smith \t  ");
    EXPECT_STREQ(buf, "  Smith \t") << "a tab is the user's character, not padding";
    UX_textcopy(buf, "a\t");
    EXPECT_STREQ(buf, "a\t");
    UX_textcopy(buf, "   ");
    EXPECT_STREQ(buf, "");
    char small[6];
    UX_textcopy(small, "abc   def");
    EXPECT_STREQ(small, "abc");
    UX_textcopy(small, "ab\t  def");
    EXPECT_STREQ(small, "ab\t");
}

TEST(UxNames, TempNameIsANewSpoolPath) {
    qortest::TempProfile tp;
    char a[UL_MAXPATH], b[UL_MAXPATH];
    ASSERT_EQ(UX_tempname(0, a, sizeof a, 0), 0);
    ASSERT_EQ(UX_tempname(0, b, sizeof b, 0), 0);
    EXPECT_NE(std::string(a), std::string(b));
    EXPECT_EQ(std::string(a).rfind(tp.root() + "spool/", 0), 0u);
}

}  // namespace
