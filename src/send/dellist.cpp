// The delete list "delfile.lis" of the data directory: how many queued sends still need each
// spooled file. An array of 84-byte records (DEL_RECORD); a free slot (all zero) is reused
// before the file grows. Paths are compared without regard to case.
//
// Every change works on the whole list and writes back only the records it changed, each in
// place with one positioned write (a record never straddles two writes), under a lock file
// beside it ("delfile.lock") taken with a bounded wait, so two processes never lose each other's
// holds. The lock file carries the list's stamp: 8 bytes chosen at random when the stamp is
// first written, then a count of changes (16 bytes, host order). Every change under the lock
// counts one more before it touches the list, so a process keeps the list it last read or wrote
// in memory, with an index of its paths and free places, and reads the file again only when the
// stamp (or the file's identity and length) moved on: a send costs the same with ten or ten
// thousand jobs queued. A change of several
// records is not one unit on disk: the sends that make such changes mark the spool first, and
// the recovery pass (recovery.cpp) counts the holds again from the queue's jobs should a
// process stop half-way; it also rebuilds a list found damaged. Files whose last hold goes are
// deleted after the list says so.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <set>
#include <unordered_map>
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
std::string folded(const std::string& path) {
    std::string f = path;
    for (char& ch : f) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return f;
}
std::string folded(const char (&path)[sizeof(DEL_RECORD::path)]) {
    return folded(std::string(path, ::strnlen(path, sizeof path)));
}

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

namespace {

struct Stamp {
    uint64_t epoch = 0;  // 0: the lock file has no stamp yet
    uint64_t count = 0;
    bool operator==(const Stamp&) const = default;
};

Stamp readStamp(const qorul::FileLock& lock) {
    Stamp s;
    uint64_t words[2];
    if (::pread(lock.descriptor(), words, sizeof words, 0) == static_cast<ssize_t>(sizeof words)) {
        s.epoch = words[0];
        s.count = words[1];
    }
    return s;
}

// The list as this process last read or wrote it, with the stamp and the file it was then.
struct KeptList {
    std::string path;
    Stamp stamp;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    bool valid = false;
    std::vector<DEL_RECORD> records;
    // Where each path (folded as the list compares paths) stands, lowest place first, and the
    // free places: a change finds its record without going through the list.
    std::unordered_map<std::string, std::vector<std::size_t>> places;
    std::set<std::size_t> free;

    void index() {
        places.clear();
        free.clear();
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].inuse == 0) free.insert(i);
            else places[folded(records[i].path)].push_back(i);
        }
    }
    long find(const std::string& key) const {
        const auto it = places.find(key);
        return it == places.end() || it->second.empty() ? -1 : static_cast<long>(it->second.front());
    }
    void taken(const std::string& key, std::size_t at) {
        free.erase(at);
        auto& v = places[key];
        v.insert(std::lower_bound(v.begin(), v.end(), at), at);
    }
    void freed(const std::string& key, std::size_t at) {
        auto& v = places[key];
        v.erase(std::remove(v.begin(), v.end(), at), v.end());
        if (v.empty()) places.erase(key);
        free.insert(at);
    }
};

KeptList& kept() {
    static KeptList k;
    return k;
}

bool sameFile(const KeptList& k, const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0) return k.size == 0 && errno == ENOENT;  // kept as absent, still absent
    return st.st_dev == k.device && st.st_ino == k.inode && st.st_size == k.size;
}

void noteFile(KeptList& k, const char* path) {
    struct stat st {};
    k.valid = true;
    if (::stat(path, &st) != 0) {
        k.valid = errno == ENOENT && k.records.empty();
        k.size = 0;
        return;
    }
    k.device = st.st_dev;
    k.inode = st.st_ino;
    k.size = st.st_size;
}

}  // namespace

int16_t SF_dellistchanging(const qorul::FileLock& lock) {
    Stamp s = readStamp(lock);
    if (s.epoch == 0) {
        std::random_device random;
        while (s.epoch == 0) s.epoch = (static_cast<uint64_t>(random()) << 32) ^ random();
        s.count = 0;
    }
    ++s.count;
    const uint64_t words[2] = {s.epoch, s.count};
    kept().valid = false;  // whatever this process kept is no longer the file
    if (::pwrite(lock.descriptor(), words, sizeof words, 0) != static_cast<ssize_t>(sizeof words)) return UL_E_WRITE;
    return 0;
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
    char listPath[UL_MAXPATH];
    if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
    KeptList& k = kept();
    const Stamp stamp = readStamp(lock);
    if (!(k.valid && stamp.epoch != 0 && k.path == listPath && k.stamp == stamp && sameFile(k, listPath))) {
        k.valid = false;
        if (int16_t st = SF_readdellist(host, &k.records, nullptr)) return st;
        k.index();
        k.path = listPath;
        k.stamp = stamp;
        noteFile(k, listPath);
    }
    std::vector<DEL_RECORD>& list = k.records;
    // The changes are made in the kept list; should they not reach the file, it is read again.
    k.valid = false;
    std::vector<std::string> doomed;
    std::vector<std::size_t> changed;  // positions of the records to write back
    for (const HoldChange& c : changes) {
        if (c.delta == 0) continue;
        const std::string key = folded(c.path);
        const long found = c.path.size() < sizeof(DEL_RECORD::path) ? k.find(key) : -1;
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
                if (!k.free.empty()) {
                    at = *k.free.begin();  // the first free place goes before the file grows
                    list[at] = r;
                } else {
                    at = list.size();
                    list.push_back(r);
                }
                k.taken(key, at);
            }
            changed.push_back(at);
        } else if (found >= 0) {
            DEL_RECORD& r = list[static_cast<std::size_t>(found)];
            const long left = static_cast<long>(r.count) + c.delta;
            if (left < 1) {
                doomed.emplace_back(r.path);
                r = DEL_RECORD{};
                k.freed(key, static_cast<std::size_t>(found));
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
        if (int16_t st = SF_dellistchanging(lock)) return st;
        if (int16_t st = qorul::writeInPlace(listPath, pieces)) return st;
        k.stamp = readStamp(lock);
    }
    noteFile(k, listPath);
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
