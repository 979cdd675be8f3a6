// QORLIB1: the fax engine lock, page files and viewer.
#pragma once

#include <cstdint>

enum : int16_t {
    L1_E_LOCKFILE = 31101,  // the engine lock file cannot be opened or locked
    L1_E_UNBALANCED = 31102 // a release without a matching take
};

// The fax engine lock: -1 takes it, +1 releases it. Takes nest within the process; the
// outermost take holds an advisory lock (flock) on "engine.lock" in the spool directory, so
// that a fax engine process, or another host, waits while this one holds it.
int16_t L1_lock(uint32_t host, int16_t delta);
// The nesting depth held by this process (0 = not held).
int L1_lockdepth();
