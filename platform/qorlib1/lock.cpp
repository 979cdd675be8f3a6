#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "qorlib1.h"
#include "qorul.h"

namespace {

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
    char spool[UL_MAXPATH];
    // The spool directory: a spool path with its file name removed.
    if (int16_t st = UL_getpath(host, spool, 22)) return st;
    std::string dir(spool);
    dir.erase(dir.rfind('/') + 1);
    std::string path = dir + "engine.lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        UL_errorlog(host, "L1_lock", L1_E_LOCKFILE);
        return L1_E_LOCKFILE;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        UL_errorlog(host, "L1_lock", L1_E_LOCKFILE);
        return L1_E_LOCKFILE;
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
