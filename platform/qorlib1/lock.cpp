#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "qorlib1.h"
#include "qorul.h"

namespace {

// Holders keep the lock for one queue or log walk or one submission: far below this.
int gWaitMs = 30000;

struct LockState {
    int depth = 0;
    int fd = -1;
    pid_t pid = 0;  // the process the depth and descriptor belong to
};

// The lock state of this process. A child made by fork() inherits the parent's descriptor,
// whose flock is the parent's: the child starts unlocked, closes its copy (closing never
// releases a flock that the parent's descriptor still holds) and takes a lock of its own.
LockState& state() {
    static LockState s;
    if (s.pid != ::getpid()) {
        if (s.pid != 0 && s.fd >= 0) ::close(s.fd);
        s.depth = 0;
        s.fd = -1;
        s.pid = ::getpid();
    }
    return s;
}

int16_t takeFileLock(uint32_t host) {
    char root[UL_MAXPATH];
    // "engine.lock" in the spool directory of the profile (number 16 is the profile's directory).
    if (int16_t st = UL_getpath(host, root, 16)) return st;
    std::string path = std::string(root) + "spool/engine.lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        UL_errorlog(host, "L1_lock", L1_E_LOCKFILE);
        return L1_E_LOCKFILE;
    }
    // Asked again and again without blocking, so that the wait has an end; the pause grows
    // from 1 to 20 milliseconds, which keeps a short wait short and a long one cheap.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(gWaitMs);
    int pauseMs = 1;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            UL_errorlog(host, "L1_lock", L1_E_LOCKFILE);
            return L1_E_LOCKFILE;
        }
        if (std::chrono::steady_clock::now() >= end) {
            ::close(fd);
            UL_errorlog(host, "L1_lock", L1_E_BUSY);
            return L1_E_BUSY;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        pauseMs = std::min(pauseMs * 2, 20);
    }
    state().fd = fd;
    return 0;
}

}  // namespace

int16_t L1_lock(uint32_t host, int16_t delta) {
    LockState& s = state();
    if (delta < 0) {
        if (s.depth == 0) {
            if (int16_t st = takeFileLock(host)) return st;
        }
        ++s.depth;
        return 0;
    }
    if (delta > 0) {
        if (s.depth == 0) return L1_E_UNBALANCED;
        if (--s.depth == 0 && s.fd >= 0) {
            ::flock(s.fd, LOCK_UN);
            ::close(s.fd);
            s.fd = -1;
        }
    }
    return 0;
}

int L1_lockdepth() { return state().depth; }

void L1_setlockwait(int milliseconds) { gWaitMs = milliseconds < 0 ? 0 : milliseconds; }
