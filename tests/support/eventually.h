// Waiting, in tests that start another process (the fax engine, a second qorfax), for what that
// process does: polled every 10 ms, bounded by a minute of wall time.
#pragma once

#include <ctime>

namespace qortest {

inline void pause10ms() {
    timespec ts{0, 10 * 1000000L};
    nanosleep(&ts, nullptr);
}

// Whether done() became true within the bound.
template <class F>
bool eventually(F done) {
    for (int i = 0; i < 6000; ++i) {
        if (done()) return true;
        pause10ms();
    }
    return done();
}

}  // namespace qortest
