// A library opened on its own profile for the cover tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cover/cover.h"
#include "frame_fixture.h"
#include "qordoc.h"
#include "qorul.h"

namespace qortest {

class CoverTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_EQ(SF_open(kHost), 0);
    }
    static COVER_SHEET sheet() {
        COVER_SHEET c;
        std::memset(&c, 0, sizeof c);
        return c;
    }
    // A memo block holding `text`; freed by the test's end.
    uint32_t memo(const std::string& text) {
        void* p = nullptr;
        uint32_t h = 0;
        EXPECT_EQ(UL_allochandle(&p, static_cast<uint32_t>(text.size() + 1), &h), 0);
        std::memcpy(p, text.c_str(), text.size() + 1);
        UL_unlockhandle(h);
        memos_.push_back(h);
        return h;
    }
    void TearDown() override {
        for (uint32_t h : memos_) UL_freehandle(h);
        FrameTest::TearDown();
    }
    std::vector<qordoc::Page> pagesOf(const std::string& path) {
        std::vector<qordoc::Page> pages;
        EXPECT_EQ(qordoc::readFax(path, &pages), 0) << path;
        return pages;
    }
    std::vector<uint32_t> memos_;
};

}  // namespace qortest
