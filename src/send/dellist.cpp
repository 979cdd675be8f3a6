// The delete list "delfile.lis" of the data directory: how many queued sends still need each
// spooled file. An array of 84-byte records (DEL_RECORD); a free slot (all zero) is reused
// before the file grows. Paths are compared without regard to case.
//
// Every change reads the whole list in one read and writes back only the records it changed,
// each in place with one positioned write (a record never straddles two writes), under a lock
// file beside it ("delfile.lock") taken with a bounded wait, so two processes never lose each
// other's holds; a send costs the same with ten or ten thousand jobs queued. A change of several
// records is not one unit on disk: the sends that make such changes mark the spool first, and
// the recovery pass (recovery.cpp) counts the holds again from the queue's jobs should a
// process stop half-way; it also rebuilds a list found damaged. Files whose last hold goes are
// deleted after the list says so.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "frame/services/guards.h"
#include "qorul_durable.h"
#include "send/send.h"

namespace qorsf {

namespace {

// A record is sound when it is a free slot (all zero) or in use with a terminated path.
bool soundRecord(const DEL_RECORD& r) {
    if (r.inuse == 0) {
        static const DEL_RECORD zero{};
        return std::memcmp(&r, &zero, sizeof r) == 0;
    }
    return r.inuse == 'n' && ::memchr(r.path, '\0', sizeof r.path) != nullptr;
}

int16_t lockPath(uint32_t host, std::string* out) {
    char dir[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, dir, 24)) return st;
    UL_endpath(dir, sizeof dir);
    *out = std::string(dir) + "delfile.lock";
    return 0;
}

void deleteFile(uint32_t host, const std::string& path) {
    int16_t st = UL_fdelete(host, path.c_str());
    if (st && st != UL_E_NOTFOUND) UL_errorlog(host, "SF_releasedelfile", st);
}

int16_t clampCount(long n) { return static_cast<int16_t>(n > INT16_MAX ? INT16_MAX : n); }

// A path as the list compares it: without regard to case, as strcasecmp does. Spooled copies'
// paths share a long directory and have one length; they differ in the name at their end, so
// a record is checked by its length first and then from its last character backwards, which
// rejects the others of a long list after a few bytes each.
class PathKey {
public:
    explicit PathKey(const std::string& path) : folded_(path) {
        for (char& ch : folded_) ch = fold(ch);
    }
    bool names(const DEL_RECORD& r) const {
        const std::size_t n = folded_.size();
        if (n >= sizeof r.path || r.path[n] != '\0') return false;
        for (std::size_t i = n; i-- > 0;)
            if (fold(r.path[i]) != folded_[i]) return false;  // a NUL before n never matches
        return true;
    }

private:
    static char fold(char ch) { return static_cast<char>(std::tolower(static_cast<unsigned char>(ch))); }
    std::string folded_;
};

}  // namespace

int16_t SF_readdellist(uint32_t host, std::vector<DEL_RECORD>* records, bool* exists) {
    records->clear();
    if (exists) *exists = false;
    char listPath[UL_MAXPATH];
    if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
    int fd = ::open(listPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? int16_t{0} : int16_t{UL_E_OPEN};
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } close{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return UL_E_READ;
    if (exists) *exists = true;
    if (st.st_size % static_cast<off_t>(sizeof(DEL_RECORD)) != 0) return SF_DELLISTDAMAGED;
    // The records are read straight into place, the whole list in one read.
    records->resize(static_cast<std::size_t>(st.st_size) / sizeof(DEL_RECORD));
    auto* p = reinterpret_cast<char*>(records->data());
    std::size_t want = static_cast<std::size_t>(st.st_size), done = 0;
    while (done < want) {
        ssize_t n = ::read(fd, p + done, want - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return UL_E_READ;  // the list shrank under the lock: not ours to guess
        done += static_cast<std::size_t>(n);
    }
    for (const DEL_RECORD& r : *records)
        if (!soundRecord(r)) return SF_DELLISTDAMAGED;
    return 0;
}

int16_t SF_writedellist(uint32_t host, const std::vector<DEL_RECORD>& records) {
    char listPath[UL_MAXPATH];
    if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
    std::string bytes(records.size() * sizeof(DEL_RECORD), '\0');
    if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
    return qorul::writeWholeFile(listPath, bytes, false);  // rebuilt from the queue if ever lost
}

int16_t SF_lockdellist(uint32_t host, qorul::FileLock* lock) {
    std::string path;
    if (int16_t st = lockPath(host, &path)) return st;
    return lock->take(path, qorul::lockWaitMilliseconds());
}

int16_t SF_changeholds(uint32_t host, const std::vector<HoldChange>& changes) {
    for (const HoldChange& c : changes) {
        if (c.path.empty()) return SF_BADARGUMENT;
        // A path too long for a record is refused when it is to be held: cut, it would name
        // another file. Released, it cannot be in the list and counts as unlisted.
        if (c.delta > 0 && c.path.size() >= sizeof(DEL_RECORD::path)) return UL_E_PATHLONG;
    }
    if (changes.empty()) return 0;
    qorul::FileLock lock;
    if (int16_t st = SF_lockdellist(host, &lock)) return st;
    // One buffer for the life of the process: a list of thousands of records is read into
    // memory that is already there.
    static std::vector<DEL_RECORD> buffer;
    std::vector<DEL_RECORD>& list = buffer;
    if (int16_t st = SF_readdellist(host, &list, nullptr)) return st;

    std::vector<std::string> doomed;
    std::vector<std::size_t> changed;  // positions of the records to write back
    for (const HoldChange& c : changes) {
        if (c.delta == 0) continue;
        long found = -1, freeSlot = -1;
        if (c.path.size() < sizeof(DEL_RECORD::path)) {
            const PathKey key(c.path);
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (list[i].inuse == 0) {
                    if (freeSlot < 0) freeSlot = static_cast<long>(i);
                } else if (key.names(list[i])) {
                    found = static_cast<long>(i);
                    break;
                }
            }
        }
        if (c.delta > 0) {
            std::size_t at;
            if (found >= 0) {
                at = static_cast<std::size_t>(found);
                list[at].count = clampCount(list[at].count + c.delta);
            } else {
                DEL_RECORD r{};
                r.count = clampCount(c.delta);
                r.inuse = 'n';
                UL_strcopy(r.path, c.path.c_str());
                if (freeSlot >= 0) {
                    at = static_cast<std::size_t>(freeSlot);
                    list[at] = r;
                } else {
                    at = list.size();
                    list.push_back(r);
                }
            }
            changed.push_back(at);
        } else if (found >= 0) {
            DEL_RECORD& r = list[static_cast<std::size_t>(found)];
            const long left = static_cast<long>(r.count) + c.delta;
            if (left < 1) {
                doomed.emplace_back(r.path);
                r = DEL_RECORD{};
            } else {
                r.count = clampCount(left);
            }
            changed.push_back(static_cast<std::size_t>(found));
        } else if (c.deleteIfUnlisted) {
            doomed.push_back(c.path);
        }
    }
    if (!changed.empty()) {
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
        std::vector<std::pair<std::size_t, std::string>> pieces;
        for (std::size_t at : changed)
            pieces.emplace_back(at * sizeof(DEL_RECORD),
                                std::string(reinterpret_cast<const char*>(&list[at]), sizeof(DEL_RECORD)));
        char listPath[UL_MAXPATH];
        if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
        if (int16_t st = qorul::writeInPlace(listPath, pieces)) return st;
    }
    lock.release();
    for (const std::string& path : doomed) deleteFile(host, path);
    return 0;
}

int16_t SF_getdellistpath(uint32_t host, char* out, std::size_t size) {
    if (!out || size == 0) return SF_BADARGUMENT;
    char dir[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, dir, 24)) return st;
    UL_endpath(dir, sizeof dir);
    const std::string path = std::string(dir) + "delfile.lis";
    if (path.size() >= size) return UL_E_PATHLONG;
    return UL_strcopy(out, size, path.c_str());
}

int16_t SF_addtodellist(uint32_t host, const char* path, int16_t count) {
    if (!path || !*path) return SF_BADARGUMENT;
    return SF_changeholds(host, {HoldChange{path, count, false}});
}

int16_t SF_releasedelfile(uint32_t host, const char* path, int16_t deleteIfUnlisted) {
    if (!path || !*path) return SF_BADARGUMENT;
    return SF_changeholds(host, {HoldChange{path, -1, deleteIfUnlisted != 0}});
}

}  // namespace qorsf
