// The entries of the log of received faxes as a walk gives them, oldest first.
#pragma once

#include <cstring>
#include <vector>

#include "qorsf.h"
#include "qorvq.h"
#include "qorvq_log.h"

namespace qortest {

inline std::vector<VQ_LOGENTRY> logRecords() {
    std::vector<VQ_LOGENTRY> out;
    unsigned char cursor[VQ_CURSORSIZE] = {};
    if (VQ_openlog(0, 0, cursor) != 0) return out;
    for (;;) {
        LOG_RECORD r;
        int16_t found = 0;
        if (VQ_readlog(0, cursor, &r, &found) != 0 || !found) break;
        VQ_LOGENTRY e;
        std::memcpy(&e, &r, sizeof e);
        out.push_back(e);
    }
    VQ_closelog(0, cursor);
    return out;
}

}  // namespace qortest
