// Files by number: the record store's file family.
//
// Numbers are small (1..32767) so that they fit the store's 16-bit words; they name entries of
// this table, never raw descriptors, so a closed number cannot reach a descriptor that another
// part of the program opened since. Mode 2 opens read and write under an exclusive flock, which
// keeps out a second open of the same file in this process (flock locks belong to the open file
// description) and in any other process.
//
// Each number tracks its own file position: a seek only computes and records it, and reads and
// writes go through pread and pwrite at that position, so a page costs one system call instead
// of two. A number may keep a cache of whole blocks of its file (UL_cacheblocks): reads of a
// whole block fill it, reads within a block it holds are served from it, and every write and
// cut of the number changes or drops the blocks it touches, so the cache always holds the
// file's bytes. It lives as long as the number: the store's files are held under an exclusive
// flock for that time, so no other program changes the file behind the cache, and a number
// opened again starts with an empty cache. Its memory is bounded (least recently used blocks
// go), unlike a map of the whole file. Seeks, reads and writes still count for fault injection
// and can still be made to fail, and the kernel's own offset of the descriptor is not used. A
// number with a cache also knows its file's length from its own writes and cuts.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorul_control.h"
#include "ul_internal.h"

namespace {

constexpr int kMaxNumber = 32767;

// Whole blocks of a file kept in memory, in two lists ordered by use (a segmented LRU): a block
// comes into the probation list; used again while it is kept, it moves into the protected list,
// which holds at most half of the cache and hands its least recently used block back
// to probation. The least recently used block on probation goes first. Blocks read once (most of
// a walk's or a search's record pages, and the blocks read with them) thus pass through without
// pushing out the pages every search comes back to (the levels of the indexes).
class BlockCache {
public:
    BlockCache(uint32_t blockSize, uint32_t capacity, bool hugePages)
        : size_(blockSize),
          capacity_(capacity),
          protectedMost_(capacity / 2),
          bytes_(blockArea(static_cast<size_t>(blockSize) * capacity, hugePages)) {
        // The byte area is left uninitialised: only the blocks that come in are touched, so the
        // cache costs memory as it fills, not as it is made.
        slots_.reserve(capacity < 1024 ? capacity : 1024);
    }
    uint32_t blockSize() const { return size_; }
    uint32_t capacity() const { return capacity_; }

    // The bytes of block b, or null; a hit becomes the most recently used (protected).
    bool holds(uint64_t b) const { return b < where_.size() && where_[b] != kNone; }
    uint8_t* find(uint64_t b) {
        if (b >= where_.size() || where_[b] == kNone) return nullptr;
        const uint32_t s = where_[b];
        if (slots_[s].list == kProtected) {
            toFront(s, kProtected);
        } else {
            unlink(s);
            pushFront(s, kProtected);
            if (count_[kProtected] > protectedMost_) {
                const uint32_t old = tail_[kProtected];
                unlink(old);
                pushFront(old, kProbation);
            }
        }
        return at(s);
    }
    // A slot for a block not yet in the cache: one given back, a fresh one, else the least
    // recently used one on probation (or, with none there, protected).
    uint32_t take() {
        if (!spare_.empty()) {
            uint32_t s = spare_.back();
            spare_.pop_back();
            return s;
        }
        if (slots_.size() < capacity_) {
            slots_.push_back(Slot{});
            return static_cast<uint32_t>(slots_.size() - 1);
        }
        uint32_t s = tail_[kProbation] != kNone ? tail_[kProbation] : tail_[kProtected];
        unlink(s);
        where_[slots_[s].block] = kNone;
        slots_[s].used = false;
        return s;
    }
    uint8_t* at(uint32_t s) { return bytes_.get() + static_cast<size_t>(s) * size_; }
    // Files the slot's bytes as block b, the most recently used on probation; false (and the
    // slot given back) past the blocks a cache indexes.
    bool keep(uint32_t s, uint64_t b) {
        if (b >= kMostBlocks) {
            giveBack(s);
            return false;
        }
        if (b >= where_.size()) where_.resize(static_cast<size_t>(b) + 1 + where_.size() / 2, kNone);
        slots_[s].block = b;
        slots_[s].used = true;
        where_[b] = s;
        pushFront(s, kProbation);
        return true;
    }
    // A slot whose read failed goes back unused (it is reused before the least recently used).
    void giveBack(uint32_t s) {
        slots_[s].used = false;
        spare_.push_back(s);
    }
    // Bytes [from, from + n) of the file were written: cached blocks take them.
    void wrote(uint64_t from, const uint8_t* p, uint64_t n) {
        for (uint64_t b = from / size_; b * size_ < from + n && b < where_.size(); ++b) {
            if (where_[b] == kNone) continue;
            const uint64_t lo = std::max<uint64_t>(from, b * size_), hi = std::min<uint64_t>(from + n, (b + 1) * size_);
            std::memcpy(at(where_[b]) + (lo - b * size_), p + (lo - from), hi - lo);
        }
    }
    // The file was cut to length: blocks that are no longer whole go.
    void cut(uint64_t length) {
        for (uint64_t b = length / size_; b < where_.size(); ++b) {
            if (where_[b] == kNone) continue;
            unlink(where_[b]);
            giveBack(where_[b]);
            where_[b] = kNone;
        }
    }

private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint64_t kMostBlocks = 1u << 20;  // the index costs 4 bytes a block
    static constexpr uint8_t kProbation = 0, kProtected = 1;
    struct Slot {
        uint64_t block = 0;
        uint32_t prev = kNone, next = kNone;
        bool used = false;
        uint8_t list = kProbation;
    };
    void unlink(uint32_t s) {
        Slot& x = slots_[s];
        const uint8_t l = x.list;
        if (x.prev != kNone) slots_[x.prev].next = x.next;
        else head_[l] = x.next;
        if (x.next != kNone) slots_[x.next].prev = x.prev;
        else tail_[l] = x.prev;
        x.prev = x.next = kNone;
        --count_[l];
    }
    void pushFront(uint32_t s, uint8_t l) {
        Slot& x = slots_[s];
        x.list = l;
        x.prev = kNone;
        x.next = head_[l];
        if (head_[l] != kNone) slots_[head_[l]].prev = s;
        head_[l] = s;
        if (tail_[l] == kNone) tail_[l] = s;
        ++count_[l];
    }
    void toFront(uint32_t s, uint8_t l) {
        if (head_[l] == s) return;
        unlink(s);
        pushFront(s, l);
    }

    uint32_t size_, capacity_, protectedMost_;
    // The byte area comes straight from the system. For a file large enough to fill most of it,
    // it is made of 2 MiB pages (transparent huge pages, asked for where the system gives them
    // only on request): a walk or a search lands anywhere in the area, and with small pages
    // nearly every block it touches would cost the processor a page table walk. A small file
    // keeps small pages, so that the cache costs memory only as it fills.
    struct Unmap {
        size_t length;
        void operator()(uint8_t* p) const {
            if (p) ::munmap(p, length);
        }
    };
    static constexpr size_t kHugePage = size_t{2} << 20;
    static std::unique_ptr<uint8_t[], Unmap> blockArea(size_t bytes, bool hugePages) {
        const bool huge = hugePages && bytes >= kHugePage;
        const size_t length = huge ? (bytes + kHugePage - 1) / kHugePage * kHugePage : bytes;
        // An extra huge page lets the area start on a huge page's boundary; the ends are
        // given back at once.
        const size_t asked = huge ? length + kHugePage : length;
        void* m = ::mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        auto* p = static_cast<uint8_t*>(m);
        if (huge) {
            const uintptr_t at = reinterpret_cast<uintptr_t>(p);
            const size_t lead = (kHugePage - at % kHugePage) % kHugePage;
            if (lead) ::munmap(p, lead);
            if (asked - lead - length) ::munmap(p + lead + length, asked - lead - length);
            p += lead;
            ::madvise(p, length, MADV_HUGEPAGE);
        }
        return std::unique_ptr<uint8_t[], Unmap>(p, Unmap{length});
    }
    std::unique_ptr<uint8_t[], Unmap> bytes_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> spare_;
    std::vector<uint32_t> where_;  // slot of each block of the file, kNone when not kept
    uint32_t head_[2] = {kNone, kNone}, tail_[2] = {kNone, kNone};
    uint32_t count_[2] = {0, 0};
};

// A read of a whole block that misses fetches the blocks after it in the same system call: the
// most (32 KiB) when it goes on where the last missing read ended, otherwise 4 KiB (a page of
// the system, as a database's page). What was written together lies together (the records of
// an import, a record and its index entries), so the blocks that come along are kept as
// recently used as the one asked for: a walk in key order that comes back near them soon finds
// them.
constexpr size_t kAheadBytes = 32768;
constexpr size_t kFirstAheadBytes = 4096;
constexpr uint32_t kNoSlot = 0xFFFFFFFFu;

struct Numbered {
    int fd = -1;                   // -1 = free
    off_t pos = 0;                 // the number's file position
    std::unique_ptr<BlockCache> cache;  // UL_cacheblocks; none by default
    uint64_t missEnd = ~uint64_t{0};    // the block after those the last missing read fetched
    // With a cache (a file no other program changes while the number lives) the file's length
    // is known from its writes and cuts once it was asked for; -1 when not known.
    int64_t length = -1;
};

std::vector<Numbered>& fds() {  // index = number - 1
    static std::vector<Numbered> v;
    return v;
}

int16_t addFd(int fd) {
    auto& v = fds();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i].fd < 0) {
            v[i] = Numbered{fd, 0, nullptr};
            return static_cast<int16_t>(i + 1);
        }
    }
    if (v.size() >= static_cast<std::size_t>(kMaxNumber)) return -1;
    v.push_back(Numbered{fd, 0, nullptr});
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
    if (BlockCache* c = e->cache.get(); c && count > 0) {
        const uint64_t size = c->blockSize(), block = static_cast<uint64_t>(e->pos) / size,
                       within = static_cast<uint64_t>(e->pos) % size;
        if (within + count <= size) {
            if (const uint8_t* bytes = c->find(block)) {
                std::memcpy(p, bytes + within, count);
                e->pos += count;
                return count;
            }
        }
        if (within == 0 && count == size && size <= kFirstAheadBytes) {
            // The block and those after it in one system call, straight into slots of the
            // cache; a block the cache already holds is read past. Slots for every block are
            // taken first, so that no block of this read pushes out another.
            const uint32_t most = static_cast<uint32_t>(std::min<uint64_t>(kAheadBytes / size, c->capacity()));
            const uint32_t blocks =
                std::min<uint32_t>(most, static_cast<uint32_t>((block == e->missEnd ? kAheadBytes : kFirstAheadBytes) / size));
            static thread_local uint8_t scratch[kFirstAheadBytes];
            uint32_t slots[kAheadBytes / 512];
            iovec parts[kAheadBytes / 512];
            uint32_t n = 0;
            for (; n < blocks && n < std::size(slots); ++n) {
                const bool held = n > 0 && c->holds(block + n);
                slots[n] = held ? kNoSlot : c->take();
                parts[n].iov_base = held ? scratch : c->at(slots[n]);
                parts[n].iov_len = size;
            }
            ssize_t got = -1;
            do {
                got = ::preadv(e->fd, parts, static_cast<int>(n), e->pos);
            } while (got < 0 && errno == EINTR);
            const uint64_t whole = got > 0 ? static_cast<uint64_t>(got) / size : 0;
            e->missEnd = block + whole;
            for (uint32_t k = 0; k < n; ++k) {
                if (slots[k] == kNoSlot) continue;
                if (k < whole) c->keep(slots[k], block + k);
                else c->giveBack(slots[k]);
            }
            if (whole > 0) {
                std::memcpy(p, parts[0].iov_base, count);
                e->pos += count;
                return count;
            }
            // Not a whole block there (the end of the file, or a failure): read as it comes.
        }
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
    const off_t from = e->pos;
    uint16_t done = 0;
    bool failed = false;
    while (done < count) {
        ssize_t n = ::pwrite(e->fd, p + done, count - done, e->pos);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed = n < 0;
            break;
        }
        done = static_cast<uint16_t>(done + n);
        e->pos += n;
    }
    // What reached the file reaches the cached blocks too.
    if (e->cache && done > 0) e->cache->wrote(static_cast<uint64_t>(from), p, done);
    if (e->length >= 0) {
        if (done < count) e->length = -1;  // how much of the rest reached the file is not known
        else e->length = std::max<int64_t>(e->length, static_cast<int64_t>(from) + done);
    }
    return failed && done == 0 ? 0xFFFF : done;
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
    // The blocks past the new end go even when the cut fails: the file may be cut in part.
    if (e->cache) e->cache->cut(size);
    e->length = -1;
    if (::ftruncate(e->fd, static_cast<off_t>(size)) != 0) return -1;
    if (e->cache) e->length = size;
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

int16_t UL_cacheblocks(int16_t file, uint16_t blocksize, uint32_t blocks) {
    Numbered* e = entryOf(file);
    if (!e) return -1;
    e->length = -1;
    if (blocksize == 0 || blocks == 0) {
        e->cache.reset();
        return 0;
    }
    if (static_cast<uint64_t>(blocksize) * blocks > (256u << 20)) return -1;
    try {
        // Huge pages when the file already holds half as many bytes as the cache.
        const uint64_t bytes = static_cast<uint64_t>(blocksize) * blocks;
        struct stat st {};
        const bool large = ::fstat(e->fd, &st) == 0 && static_cast<uint64_t>(st.st_size) * 2 >= bytes;
        e->cache = std::make_unique<BlockCache>(blocksize, blocks, large);
    } catch (const std::bad_alloc&) {
        e->cache.reset();
        return -1;
    }
    return 0;
}

uint32_t UL_filelength(int16_t file) {
    Numbered* e = entryOf(file);
    if (!e) return 0xFFFFFFFFu;
    if (e->length >= 0 && e->cache) return static_cast<uint32_t>(e->length);
    struct stat st {};
    if (::fstat(e->fd, &st) != 0 || st.st_size >= static_cast<off_t>(0xFFFFFFFFu)) return 0xFFFFFFFFu;
    if (e->cache) e->length = st.st_size;
    return static_cast<uint32_t>(st.st_size);
}

void qorul::internal::closeAllNumberedFiles() {
    for (Numbered& e : fds()) {
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
