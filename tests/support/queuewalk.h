// The records of the send queue as a walk with the 90-byte cursor gives them: every step is
// checked, so a failing walk fails the test that asked for it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "qorsf.h"
#include "qorvq.h"

namespace qortest {

// Walks the queue with the status letters of `filter` (empty: every record).
inline std::vector<QUEUE_RECORD> queueRecords(const char* filter = "") {
    unsigned char cursor[VQ_CURSORSIZE] = {};
    std::memcpy(cursor + 4, filter, std::strlen(filter));
    std::vector<QUEUE_RECORD> out;
    EXPECT_EQ(VQ_openqueue(0, cursor), 0);
    for (;;) {
        QUEUE_RECORD r;
        int16_t found = 0;
        EXPECT_EQ(VQ_readnext(0, cursor, &r, &found), 0);
        if (!found) break;
        out.push_back(r);
    }
    EXPECT_EQ(VQ_closequeue(0, cursor), 0);
    return out;
}

}  // namespace qortest
