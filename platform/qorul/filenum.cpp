// Files by number: the record store's file family.
//
// Numbers are small (1..32767) so that they fit the store's 16-bit words; they name entries of
// this table, never raw descriptors, so a closed number cannot reach a descriptor that another
// part of the program opened since. Mode 2 opens read and write under an exclusive flock, which
// keeps out a second open of the same file in this process (flock locks belong to the open file
// description) and in any other process.
//
// Each number tracks its own file position: a seek only computes and records it, and writes go
// through pwrite at that position, so a page costs one system call instead of two. Reads of a
// file of 64 KiB or more are served from a read-only shared mapping of the file, without a
// system call, whenever the bytes asked for lie within the file's size as known (its size when
// mapped, grown by this number's own writes); anything else goes through pread. The mapping
// shows what writes put into the file at once (one page cache), and it is no heap: the pages
// are the file's. The store's files are held under an exclusive flock, which is what makes the
// known size trustworthy: a file cut shorter by a program that ignores the lock would fault on
// read. Seeks, reads and writes still count for fault injection and can still be made to fail,
// and the kernel's own offset of the descriptor is not used.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorul_control.h"
#include "ul_internal.h"

namespace {

constexpr int kMaxNumber = 32767;

struct Numbered {
    int fd = -1;                   // -1 = free
    off_t pos = 0;                 // the number's file position
    off_t size = -1;               // the file's size as known; -1 = not asked yet
    const unsigned char* map = nullptr;
    size_t mapLength = 0;          // bytes of address space mapped (may pass the end of the file)
    bool noMap = false;            // mapping failed (a write-only file): use pread
    unsigned mapReads = 0;         // reads served from the mapping since its pages were let go
    off_t touchedFrom = 0, touchedTo = 0;  // the span those reads touched
};

constexpr off_t kMapFrom = 64 * 1024;     // smaller files are read with pread
constexpr size_t kMapStep = 4u << 20;     // the mapping grows in steps of address space
// The pages of the mapping that reads touched count as the process's memory: after this many
// reads (each touches at most two pages) they are let go, which keeps a walk over a large file
// within a few MiB of resident memory. The page cache keeps them; a read after that costs a
// minor fault.
constexpr unsigned kMapReadsResident = 1024;

void unmap(Numbered& e) {
    if (e.map) ::munmap(const_cast<unsigned char*>(e.map), e.mapLength);
    e.map = nullptr;
    e.mapLength = 0;
}

// Whether bytes [0, end) can be read from the mapping; maps or widens it when needed.
bool mapCovers(Numbered& e, off_t end) {
    if (e.noMap) return false;
    if (e.size < 0) {
        struct stat st {};
        if (::fstat(e.fd, &st) != 0) return false;
        e.size = st.st_size;
    }
    if (end > e.size || e.size < kMapFrom) return false;
    if (static_cast<off_t>(e.mapLength) >= end) return true;
    size_t length = (static_cast<size_t>(e.size) / kMapStep + 1) * kMapStep;
    unmap(e);
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, e.fd, 0);
    if (p == MAP_FAILED) {
        e.noMap = true;
        return false;
    }
    e.map = static_cast<const unsigned char*>(p);
    e.mapLength = length;
    return true;
}

std::vector<Numbered>& fds() {  // index = number - 1
    static std::vector<Numbered> v;
    return v;
}

int16_t addFd(int fd) {
    auto& v = fds();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i].fd < 0) {
            v[i] = Numbered{fd, 0};
            return static_cast<int16_t>(i + 1);
        }
    }
    if (v.size() >= static_cast<std::size_t>(kMaxNumber)) return -1;
    v.push_back(Numbered{fd, 0});
    return static_cast<int16_t>(v.size());
}

Numbered* entryOf(int16_t file) {
    auto& v = fds();
    if (file < 1 || static_cast<std::size_t>(file) > v.size()) return nullptr;
    Numbered* e = &v[static_cast<std::size_t>(file) - 1];
    return e->fd < 0 ? nullptr : e;
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

bool syncsOn = true;

// Crash mode: from the n-th change on, nothing reaches the files any more.
struct Crash {
    long armedAt = 0;  // 0 = off
    long changes = 0;
    bool crashed = false;
};
Crash& crash() {
    static Crash c;
    return c;
}

// Counts a change; true when it must not happen (the process is "dead").
bool crashChange() {
    Crash& c = crash();
    ++c.changes;
    if (c.crashed) return true;
    if (c.armedAt != 0 && c.changes >= c.armedAt) c.crashed = true;
    return c.crashed;
}

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
    // Only a file that has content is cut: cutting an empty one makes some file systems write
    // it out at close, which costs milliseconds for nothing.
    struct stat st {};
    if (!lockFor(fd, mode) || (create && (::fstat(fd, &st) != 0 || (st.st_size > 0 && ftruncate(fd, 0) != 0)))) {
        ::close(fd);
        return -1;
    }
    int16_t number = addFd(fd);
    if (number < 0) ::close(fd);
    return number;
}

}  // namespace

int16_t UL_open(const char* path, int16_t mode) { return openWith(path, mode, false); }

int16_t UL_create(const char* path, int16_t mode) {
    if (crashChange()) return -1;
    return openWith(path, mode, true);
}

int16_t UL_close(int16_t file) {
    Numbered* e = entryOf(file);
    if (!e) return -1;
    int fd = e->fd;
    unmap(*e);
    *e = Numbered{};
    return ::close(fd) == 0 ? 0 : -1;
}

uint32_t UL_seek(int16_t file, uint32_t offset, int16_t origin) {
    if (injectFault(qorul::FaultOp::Seek)) return 0xFFFFFFFFu;
    Numbered* e = entryOf(file);
    if (!e) return 0xFFFFFFFFu;
    if (origin < 0 || origin > 2) return 0xFFFFFFFFu;
    // The offset is unsigned from the start; from the current position or the end it is a
    // signed 32-bit distance, as the 16-bit file services had it.
    off_t base = 0;
    if (origin == 1) {
        base = e->pos;
    } else if (origin == 2) {
        struct stat st {};
        if (::fstat(e->fd, &st) != 0) return 0xFFFFFFFFu;
        base = st.st_size;
        e->size = st.st_size;
    }
    off_t pos = origin == 0 ? static_cast<off_t>(offset) : base + static_cast<off_t>(static_cast<int32_t>(offset));
    // A failed seek leaves the position where it was, as lseek does.
    if (pos < 0 || pos >= static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
    e->pos = pos;
    return static_cast<uint32_t>(pos);
}

uint16_t UL_read(int16_t file, void* buf, uint16_t count) {
    if (injectFault(qorul::FaultOp::Read)) return 0;
    Numbered* e = entryOf(file);
    if (!e || (!buf && count)) return 0;
    auto* p = static_cast<unsigned char*>(buf);
    if (count > 0 && mapCovers(*e, e->pos + count)) {
        if (e->mapReads == 0 || e->pos < e->touchedFrom) e->touchedFrom = e->pos;
        if (e->mapReads == 0 || e->pos + count > e->touchedTo) e->touchedTo = e->pos + count;
        if (++e->mapReads > kMapReadsResident) {
            const off_t page = ::sysconf(_SC_PAGESIZE);
            const off_t from = e->touchedFrom / page * page;
            ::madvise(const_cast<unsigned char*>(e->map) + from, static_cast<size_t>(e->touchedTo - from), MADV_DONTNEED);
            e->mapReads = 0;
        }
        std::memcpy(p, e->map + e->pos, count);
        e->pos += count;
        return count;
    }
    uint16_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(e->fd, p + done, count - done, e->pos);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done = static_cast<uint16_t>(done + n);
        e->pos += n;
    }
    return done;
}

uint16_t UL_write(int16_t file, const void* buf, uint16_t count) {
    if (crashChange()) return 0xFFFF;
    if (injectFault(qorul::FaultOp::Write)) return 0xFFFF;
    Numbered* e = entryOf(file);
    if (!e || (!buf && count)) return 0xFFFF;
    auto* p = static_cast<const unsigned char*>(buf);
    uint16_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(e->fd, p + done, count - done, e->pos);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done ? done : 0xFFFF;
        if (n == 0) break;
        done = static_cast<uint16_t>(done + n);
        e->pos += n;
        if (e->size >= 0 && e->pos > e->size) e->size = e->pos;  // the file grew by this write
    }
    return done;
}

int16_t UL_delete(const char* path) {
    if (!path || !*path) return -1;
    if (crashChange()) return -1;
    return ::unlink(path) == 0 ? 0 : -1;
}

int16_t UL_sync(int16_t file) {
    if (crash().crashed) return -1;
    Numbered* e = entryOf(file);
    if (!e) return -1;
    if (!syncsOn) return 0;
    while (::fsync(e->fd) != 0) {
        if (errno != EINTR) return -1;
    }
    return 0;
}

int16_t UL_truncate(int16_t file, uint32_t size) {
    Numbered* e = entryOf(file);
    if (!e) return -1;
    if (crashChange()) return -1;
    if (::ftruncate(e->fd, static_cast<off_t>(size)) != 0) return -1;
    e->size = static_cast<off_t>(size);
    // A mapping past the new end would fault on read: it is made again when needed.
    unmap(*e);
    return 0;
}

int16_t UL_syncdir(const char* path) {
    if (!path || !*path) return -1;
    if (crash().crashed) return -1;
    if (!syncsOn) return 0;
    std::string dir = path;
    const std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : dir.substr(0, slash));
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc;
    while ((rc = ::fsync(fd)) != 0 && errno == EINTR) {
    }
    ::close(fd);
    return rc == 0 ? 0 : -1;
}

int16_t UL_linknew(const char* from, const char* to) {
    if (!from || !*from || !to || !*to) return -1;
    if (crashChange()) return -1;
    return ::link(from, to) == 0 ? 0 : -1;
}

int16_t UL_renameover(const char* from, const char* to) {
    if (!from || !*from || !to || !*to) return -1;
    if (crashChange()) return -1;
    return ::rename(from, to) == 0 ? 0 : -1;
}

int16_t UL_filebusy(const char* path) {
    if (!path || !*path) return 0;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    int rc;
    while ((rc = flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
    }
    const bool busy = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // the probe's own lock, if it got one, goes with it
    return busy ? 1 : 0;
}

uint32_t UL_filelength(int16_t file) {
    Numbered* e = entryOf(file);
    if (!e) return 0xFFFFFFFFu;
    struct stat st {};
    if (::fstat(e->fd, &st) != 0 || st.st_size >= static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
    e->size = st.st_size;
    return static_cast<uint32_t>(st.st_size);
}

void qorul::internal::closeAllNumberedFiles() {
    for (Numbered& e : fds()) {
        unmap(e);
        if (e.fd >= 0) ::close(e.fd);
        e = Numbered{};
    }
}

void qorul::failNth(FaultOp op, long n) {
    Faults& f = faults();
    f = Faults{};
    f.op = op;
    f.armedAt = n > 0 ? n : 0;
}

long qorul::faultCalls(FaultOp op) { return faults().calls[index(op)]; }

void qorul::resetFaults() {
    faults() = Faults{};
    crash() = Crash{};
}

void qorul::crashAt(long n) {
    crash() = Crash{};
    crash().armedAt = n > 0 ? n : 0;
}

bool qorul::crashed() { return crash().crashed; }

long qorul::changeCalls() { return crash().changes; }

void qorul::setSyncs(bool on) { syncsOn = on; }
