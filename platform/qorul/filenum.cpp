// Files by number: the record store's file family.
//
// Numbers are small (1..32767) so that they fit the store's 16-bit words; they name entries of
// this table, never raw descriptors, so a closed number cannot reach a descriptor that another
// part of the program opened since. Mode 2 opens read and write under an exclusive flock, which
// keeps out a second open of the same file in this process (flock locks belong to the open file
// description) and in any other process.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "qorul.h"
#include "qorul_control.h"
#include "ul_internal.h"

namespace {

constexpr int kMaxNumber = 32767;

std::vector<int>& fds() {  // index = number - 1; -1 = free
    static std::vector<int> v;
    return v;
}

int16_t addFd(int fd) {
    auto& v = fds();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] < 0) {
            v[i] = fd;
            return static_cast<int16_t>(i + 1);
        }
    }
    if (v.size() >= static_cast<std::size_t>(kMaxNumber)) return -1;
    v.push_back(fd);
    return static_cast<int16_t>(v.size());
}

int fdOf(int16_t file) {
    auto& v = fds();
    if (file < 1 || static_cast<std::size_t>(file) > v.size()) return -1;
    return v[file - 1];
}

// ---- Fault injection: the n-th call of an operation (counted from the arming) fails.
struct Faults {
    qorul::FaultOp op = qorul::FaultOp::Any;
    long armedAt = 0;  // 0 = disarmed
    long calls[4] = {0, 0, 0, 0};
};
Faults& faults() {
    static Faults f;
    return f;
}

int index(qorul::FaultOp op) { return static_cast<int>(op); }

// Counts the call and tells whether it is the one that must fail.
bool injectFault(qorul::FaultOp op) {
    Faults& f = faults();
    long own = ++f.calls[index(op)];
    long any = ++f.calls[index(qorul::FaultOp::Any)];
    if (f.armedAt == 0) return false;
    long n = f.op == qorul::FaultOp::Any ? any : (f.op == op ? own : 0);
    if (n != f.armedAt) return false;
    f.armedAt = 0;  // one failure per arming
    return true;
}

// Takes the lock of the mode without waiting: exclusive for mode 2, shared otherwise, so a
// reader is refused while a writer holds the file.
bool lockFor(int fd, int16_t mode) {
    int how = (mode == 2 ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (flock(fd, how) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

int flagsFor(int16_t mode) {
    switch (mode) {
        case 0: return O_RDONLY;
        case 1: return O_WRONLY;
        default: return O_RDWR;
    }
}

int16_t openWith(const char* path, int16_t mode, bool create) {
    if (!path || !*path || mode < 0 || mode > 2) return -1;
    int flags = flagsFor(mode) | O_CLOEXEC;
    // A create must not truncate before it holds the lock: another program's open file would
    // lose its content. So create without O_TRUNC, lock, then cut to 0.
    if (create) flags |= O_CREAT;
    if (create && mode == 0) flags = O_RDWR | O_CREAT | O_CLOEXEC;
    int fd = ::open(path, flags, 0644);
    if (fd < 0) return -1;
    if (!lockFor(fd, mode) || (create && ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return -1;
    }
    int16_t number = addFd(fd);
    if (number < 0) ::close(fd);
    return number;
}

}  // namespace

int16_t UL_open(const char* path, int16_t mode) { return openWith(path, mode, false); }

int16_t UL_create(const char* path, int16_t mode) { return openWith(path, mode, true); }

int16_t UL_close(int16_t file) {
    int fd = fdOf(file);
    if (fd < 0) return -1;
    fds()[file - 1] = -1;
    return ::close(fd) == 0 ? 0 : -1;
}

uint32_t UL_seek(int16_t file, uint32_t offset, int16_t origin) {
    if (injectFault(qorul::FaultOp::Seek)) return 0xFFFFFFFFu;
    int fd = fdOf(file);
    if (fd < 0) return 0xFFFFFFFFu;
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    if (origin < 0 || origin > 2) return 0xFFFFFFFFu;
    // The offset is unsigned from the start; from the current position or the end it is a
    // signed 32-bit distance, as the 16-bit file services had it.
    off_t off = origin == 0 ? static_cast<off_t>(offset) : static_cast<off_t>(static_cast<int32_t>(offset));
    off_t pos = ::lseek(fd, off, whence);
    if (pos < 0 || pos >= static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(pos);
}

uint16_t UL_read(int16_t file, void* buf, uint16_t count) {
    if (injectFault(qorul::FaultOp::Read)) return 0;
    int fd = fdOf(file);
    if (fd < 0 || (!buf && count)) return 0;
    auto* p = static_cast<unsigned char*>(buf);
    uint16_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done = static_cast<uint16_t>(done + n);
    }
    return done;
}

uint16_t UL_write(int16_t file, const void* buf, uint16_t count) {
    if (injectFault(qorul::FaultOp::Write)) return 0xFFFF;
    int fd = fdOf(file);
    if (fd < 0 || (!buf && count)) return 0xFFFF;
    auto* p = static_cast<const unsigned char*>(buf);
    uint16_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done ? done : 0xFFFF;
        if (n == 0) break;
        done = static_cast<uint16_t>(done + n);
    }
    return done;
}

int16_t UL_delete(const char* path) {
    if (!path || !*path) return -1;
    return ::unlink(path) == 0 ? 0 : -1;
}

void qorul::internal::closeAllNumberedFiles() {
    for (int& fd : fds()) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void qorul::failNth(FaultOp op, long n) {
    Faults& f = faults();
    f = Faults{};
    f.op = op;
    f.armedAt = n > 0 ? n : 0;
}

long qorul::faultCalls(FaultOp op) { return faults().calls[index(op)]; }

void qorul::resetFaults() { faults() = Faults{}; }
