// The rollback journal of the record store (see journal.h for the order of writes and the format).
#include "store/journal.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "qorul.h"
#include "qorwin32.h"
#include "store/btree.h"
#include "store/pagefile.h"

namespace qorsf::jr {

namespace {

constexpr uint32_t kBlock = DB_PAGESIZE;
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kRecordSize = 4 + kBlock + 4;
constexpr char kMagic[8] = {'Q', 'O', 'R', 'J', 'R', 'N', 'L', '3'};
// Journals of the earlier versions (their record checksums below) are still rolled back.
constexpr char kMagicV2[8] = {'Q', 'O', 'R', 'J', 'R', 'N', 'L', '2'};
constexpr char kMagicV1[8] = {'Q', 'O', 'R', 'J', 'R', 'N', 'L', '1'};

uint32_t fnv(uint32_t h, const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) {
        h ^= b[i];
        h *= 16777619u;
    }
    return h;
}
uint32_t recordSumV1(uint32_t nonce, uint32_t block, const uint8_t* bytes) {
    uint32_t h = fnv(2166136261u, &nonce, 4);
    h = fnv(h, &block, 4);
    return fnv(h, bytes, kBlock);
}

// The record checksum of version 2: four lanes over 32-bit little-endian words (each round
// multiplies, rotates and multiplies, so every bit of a word reaches every bit of its lane),
// seeded with the nonce and the block number, folded and mixed at the end. A quarter of the
// dependent steps of FNV over bytes, and the lanes run side by side.
uint32_t rotl(uint32_t v, int r) { return (v << r) | (v >> (32 - r)); }
uint32_t recordSumV2(uint32_t nonce, uint32_t block, const uint8_t* bytes) {
    constexpr uint32_t p1 = 2654435761u, p2 = 2246822519u, p3 = 3266489917u;
    uint32_t lane[4] = {nonce + p1 + p2, block + p2, nonce ^ block, (nonce - p1) ^ 0x5A5A5A5Au};
    for (uint32_t i = 0; i < kBlock; i += 16) {
        for (int l = 0; l < 4; ++l) {
            uint32_t w;
            std::memcpy(&w, bytes + i + 4 * l, 4);
            lane[l] = rotl(lane[l] + w * p2, 13) * p1;
        }
    }
    uint32_t h = rotl(lane[0], 1) + rotl(lane[1], 7) + rotl(lane[2], 12) + rotl(lane[3], 18) + kBlock;
    h ^= h >> 15;
    h *= p2;
    h ^= h >> 13;
    h *= p3;
    h ^= h >> 16;
    return h;
}

// The record checksum of version 3: four lanes over 64-bit little-endian words, one multiply a
// word (xor, multiply by an odd constant, rotate: each step is one-to-one in the word, so a
// change confined to one word always shows), seeded with the nonce and the block number, folded
// and mixed at the end. A quarter of the multiplies of version 2: the journal of a change sums
// every block it saves.
uint64_t rotl64(uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }
uint32_t recordSum(uint32_t nonce, uint32_t block, const uint8_t* bytes) {
    constexpr uint64_t k1 = 0x9E3779B185EBCA87ull, k2 = 0xC2B2AE3D27D4EB4Full;
    const uint64_t seed = (static_cast<uint64_t>(nonce) << 32) | block;
    uint64_t lane[4] = {seed ^ k1, seed + k2, rotl64(seed, 17) ^ k2, ~seed};
    for (uint32_t i = 0; i < kBlock; i += 32) {
        for (int l = 0; l < 4; ++l) {
            uint64_t w;
            std::memcpy(&w, bytes + i + 8 * l, 8);
            lane[l] = rotl64((lane[l] ^ w) * k1, 29);
        }
    }
    uint64_t h = rotl64(lane[0], 1) + rotl64(lane[1], 7) + rotl64(lane[2], 12) + rotl64(lane[3], 18) + kBlock;
    h ^= h >> 33;
    h *= k2;
    h ^= h >> 29;
    h *= k1;
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
}

struct Block {
    uint32_t no;
    std::array<uint8_t, kBlock> bytes;
};

struct Snapshot {
    int16_t root, levels, pagecounter, pagespresent, headerdirty, filegrown;
    uint32_t recordcounter, writecount;
};

struct Txn {
    int16_t file = -1;
    std::string path, jpath;
    bool durable = true;
    bool open = false;        // a handle has the file open (else a unit holds it)
    DB_HANDLE* handle = nullptr;
    int unitDepth = 0;
    bool inOp = false;        // writes are kept in the overlay only within an operation
    std::vector<Block> overlay;  // sorted by block number
    // The journal of the transaction under way.
    bool started = false;     // the journal exists for this transaction
    int16_t jfile = -1;
    uint32_t nonce = 0;
    uint32_t origSize = 0;    // the store's length when the transaction began
    uint32_t jlength = 0;     // bytes of the journal known whole
    std::vector<bool> journaled;
    std::vector<uint8_t> scratch;  // what one flush writes
    bool broken = false;
    Snapshot snap{};
};

struct State {
    std::vector<std::unique_ptr<Txn>> txns;
    int durableMode = -1;
    long syncs = 0;
    // Units begun for a path before its file is open.
    std::vector<std::pair<std::string, int>> pendingUnits;
};
State g;

Txn* byFile(int16_t file) {
    for (auto& t : g.txns)
        if (t->file == file) return t.get();
    return nullptr;
}
Txn* byPath(const char* path) {
    for (auto& t : g.txns)
        if (t->path == path) return t.get();
    return nullptr;
}
void drop(Txn* t) {
    g.txns.erase(std::remove_if(g.txns.begin(), g.txns.end(), [t](const auto& p) { return p.get() == t; }),
                 g.txns.end());
}

std::string journalPath(const char* path) { return std::string(path) + "-journal"; }

// A new nonce for each transaction: records that an earlier transaction left further on in a
// journal file that is used again carry another nonce, so their checksums fail and end the
// journal. A random start for the process (and its id, for forked children), then a bijection
// of a counter, never repeat within 2^32 transactions; the random source is asked only once.
uint32_t nextNonce() {
    static const uint32_t base = static_cast<uint32_t>(std::random_device{}()) ^ static_cast<uint32_t>(::getpid());
    static uint32_t counter = 0;
    return base ^ (++counter * 2654435761u);
}

int16_t syncFile(bool durable, int16_t file) {
    if (!durable) return 0;
    ++g.syncs;
    return UL_sync(file) == 0 ? 0 : DB_WRITEFAIL;
}
int16_t syncDir(bool durable, const std::string& path) {
    if (!durable) return 0;
    ++g.syncs;
    return UL_syncdir(path.c_str()) == 0 ? 0 : DB_WRITEFAIL;
}

// Raw block I/O on the file (never the overlay). A read past the end gives zeros.
int16_t readRaw(int16_t file, uint32_t block, uint8_t* out) {
    std::memset(out, 0, kBlock);
    const uint32_t at = block * kBlock;
    if (UL_seek(file, at, 0) != at) return DB_READSEEK;
    UL_read(file, out, static_cast<uint16_t>(kBlock));
    return 0;
}
int16_t writeRaw(int16_t file, uint32_t at, const void* bytes, uint32_t n) {
    if (UL_seek(file, at, 0) != at) return DB_SHORTWRITE;
    uint16_t w = UL_write(file, bytes, static_cast<uint16_t>(n));
    if (w == 0xFFFF) return DB_WRITEFAIL;
    return w == n ? 0 : DB_SHORTWRITE;
}

Block* findBlock(Txn* t, uint32_t no) {
    auto it = std::lower_bound(t->overlay.begin(), t->overlay.end(), no,
                               [](const Block& b, uint32_t n) { return b.no < n; });
    return it != t->overlay.end() && it->no == no ? &*it : nullptr;
}

bool readDurableSetting() {
    char ini[160] = {};
    if (UL_getpath(0, ini, 41) != 0) return true;
    char text[16] = {};
    GetPrivateProfileStringA("SYSTEM", "Durable", "1", text, sizeof text, ini);
    return !(text[0] == '0' && text[1] == '\0');
}

// Puts the journal's original bytes back into the store file and cuts it to its old length;
// then the journal goes. 0, or -4 when the store could not be restored (the journal stays).
int16_t applyJournal(int16_t file, int16_t jfile, const std::string& jpath, bool durable, uint32_t limit) {
    uint8_t header[kHeaderSize];
    bool valid = UL_seek(jfile, 0, 0) == 0 && UL_read(jfile, header, kHeaderSize) == kHeaderSize &&
                 (std::memcmp(header, kMagic, 8) == 0 || std::memcmp(header, kMagicV2, 8) == 0 ||
                  std::memcmp(header, kMagicV1, 8) == 0);
    auto sumOf = std::memcmp(header, kMagicV1, 8) == 0   ? recordSumV1
                 : std::memcmp(header, kMagicV2, 8) == 0 ? recordSumV2
                                                         : recordSum;
    uint32_t nonce = 0, orig = 0, bsize = 0, sum = 0;
    if (valid) {
        std::memcpy(&nonce, header + 8, 4);
        std::memcpy(&orig, header + 12, 4);
        std::memcpy(&bsize, header + 16, 4);
        std::memcpy(&sum, header + 28, 4);
        valid = bsize == kBlock && sum == fnv(2166136261u, header, 28);
    }
    if (valid) {
        // A header that is whole was made durable before any block of the store was written.
        std::vector<uint8_t> rec(kRecordSize);
        for (uint32_t at = kHeaderSize; limit == 0 || at + kRecordSize <= limit; at += kRecordSize) {
            if (UL_seek(jfile, at, 0) != at || UL_read(jfile, rec.data(), kRecordSize) != kRecordSize) break;
            uint32_t block = 0, rsum = 0;
            std::memcpy(&block, rec.data(), 4);
            std::memcpy(&rsum, rec.data() + 4 + kBlock, 4);
            if (rsum != sumOf(nonce, block, rec.data() + 4)) break;
            if (static_cast<uint64_t>(block) * kBlock >= orig) continue;  // not part of the old file
            if (writeRaw(file, block * kBlock, rec.data() + 4, kBlock) != 0) return DB_WRITEFAIL;
        }
        if (UL_truncate(file, orig) != 0) return DB_WRITEFAIL;
        if (syncFile(durable, file) != 0) return DB_WRITEFAIL;
    }
    // A journal without a whole header was cut short before the store was touched.
    if (UL_delete(jpath.c_str()) != 0) return DB_WRITEFAIL;
    if (syncDir(durable, jpath) != 0) return DB_WRITEFAIL;
    return 0;
}

void closeJournal(Txn* t) {
    if (t->jfile >= 0) UL_close(t->jfile);
    t->jfile = -1;
    t->started = false;
    t->jlength = 0;
    t->journaled.clear();
}

// Rolls the whole transaction back: the overlay is dropped and the journal applied.
int16_t rollback(Txn* t) {
    t->overlay.clear();
    if (!t->started) return 0;
    int16_t st = applyJournal(t->file, t->jfile, t->jpath, t->durable, t->jlength);
    if (st != 0) {
        // The journal stays beside the store: the next open puts the store right.
        t->broken = true;
        UL_close(t->jfile);
        t->jfile = -1;
        return st;
    }
    closeJournal(t);
    return 0;
}

// Writes bytes at a position of a file in as few writes as the 16-bit count allows.
int16_t writeAll(int16_t file, uint32_t at, const uint8_t* bytes, size_t n) {
    constexpr size_t kMost = 60 * kRecordSize;
    for (size_t done = 0; done < n;) {
        const size_t part = std::min(n - done, kMost);
        if (int16_t st = writeRaw(file, at + static_cast<uint32_t>(done), bytes + done, static_cast<uint32_t>(part)))
            return st;
        done += part;
    }
    return 0;
}

// Writes the overlay: journal first (made durable), then the blocks in place. The journal of
// an operation goes in one write (its header with it when the transaction begins), and blocks
// that follow each other in the file go to it in one write.
int16_t flush(Txn* t) {
    if (t->overlay.empty()) return 0;
    if (t->broken) return DB_WRITEFAIL;
    bool created = false;
    std::vector<uint8_t>& out = t->scratch;
    out.clear();
    if (!t->started) {
        uint32_t size = UL_filelength(t->file);
        if (size == 0xFFFFFFFFu) return DB_WRITEFAIL;
        t->origSize = size;
        t->journaled.assign(size / kBlock + 1, false);
        t->nonce = nextNonce();
        if (t->jfile < 0) {
            // The journal file stays (open) from the first transaction of the store's open to
            // its close; later transactions write their header over the void one.
            t->jfile = UL_create(t->jpath.c_str(), 2);
            if (t->jfile < 0) return DB_WRITEFAIL;
            created = true;
        }
        t->started = true;
        t->jlength = 0;
        uint8_t header[kHeaderSize] = {};
        std::memcpy(header, kMagic, 8);
        std::memcpy(header + 8, &t->nonce, 4);
        std::memcpy(header + 12, &t->origSize, 4);
        std::memcpy(header + 16, &kBlock, 4);
        uint32_t sum = fnv(2166136261u, header, 28);
        std::memcpy(header + 28, &sum, 4);
        out.insert(out.end(), header, header + kHeaderSize);
    }
    // The original bytes of every block of the old file that this flush changes for the first time.
    std::vector<uint32_t> fresh;
    uint8_t rec[kRecordSize];
    for (const Block& b : t->overlay) {
        if (static_cast<uint64_t>(b.no) * kBlock >= t->origSize || t->journaled[b.no]) continue;
        std::memcpy(rec, &b.no, 4);
        if (int16_t st = readRaw(t->file, b.no, rec + 4)) return st;
        // Only the bytes the old file had: a block cut short is padded with zeros.
        const uint64_t end = static_cast<uint64_t>(b.no + 1) * kBlock;
        if (end > t->origSize) std::memset(rec + 4 + (t->origSize - b.no * kBlock), 0, end - t->origSize);
        uint32_t sum = recordSum(t->nonce, b.no, rec + 4);
        std::memcpy(rec + 4 + kBlock, &sum, 4);
        out.insert(out.end(), rec, rec + kRecordSize);
        fresh.push_back(b.no);
    }
    if (!out.empty()) {
        if (int16_t st = writeAll(t->jfile, t->jlength, out.data(), out.size())) return st;
        t->jlength += static_cast<uint32_t>(out.size());
        if (syncFile(t->durable, t->jfile) != 0) return DB_WRITEFAIL;
        if (created && syncDir(t->durable, t->jpath) != 0) return DB_WRITEFAIL;
    }
    for (uint32_t no : fresh) t->journaled[no] = true;
    for (size_t i = 0; i < t->overlay.size();) {
        size_t j = i + 1;
        while (j < t->overlay.size() && t->overlay[j].no == t->overlay[j - 1].no + 1 && j - i < 60) ++j;
        const uint32_t at = t->overlay[i].no * kBlock;
        if (j == i + 1) {
            if (int16_t st = writeRaw(t->file, at, t->overlay[i].bytes.data(), kBlock)) return st;
        } else {
            out.clear();
            for (size_t k = i; k < j; ++k) out.insert(out.end(), t->overlay[k].bytes.begin(), t->overlay[k].bytes.end());
            if (int16_t st = writeAll(t->file, at, out.data(), out.size())) return st;
        }
        i = j;
    }
    t->overlay.clear();
    return 0;
}

// The journal of a committed transaction must not roll anything back: the journal goes (the
// store closes) or its header is made void (the store stays open, and the next transaction
// uses the file again without creating it). 0, or -4 when neither could be done.
int16_t voidJournal(Txn* t, bool closing) {
    if (closing) {
        if (UL_delete(t->jpath.c_str()) == 0) {
            closeJournal(t);
            // Without this, a power cut could bring the journal back and undo the work.
            syncDir(t->durable, t->jpath);
            return 0;
        }
    } else {
        static const uint8_t zeros[kHeaderSize] = {};
        if (writeRaw(t->jfile, 0, zeros, kHeaderSize) == 0 && syncFile(t->durable, t->jfile) == 0) {
            t->started = false;
            t->jlength = 0;
            t->journaled.clear();
            return 0;
        }
    }
    // A journal that cannot be deleted must not stay valid: an empty one rolls back nothing.
    if (UL_truncate(t->jfile, 0) == 0 && syncFile(t->durable, t->jfile) == 0) {
        if (closing) {
            closeJournal(t);
        } else {
            t->started = false;
            t->jlength = 0;
            t->journaled.clear();
        }
        return 0;
    }
    return DB_WRITEFAIL;
}

// The journal file of a store that closes goes with it, also when its header is void already.
void removeJournal(Txn* t) {
    if (t->jfile < 0) return;
    closeJournal(t);
    UL_delete(t->jpath.c_str());
}

// Makes the transaction's work count: the store durable, then the journal void.
int16_t commit(Txn* t, bool closing) {
    if (int16_t st = flush(t)) {
        rollback(t);
        return st;
    }
    if (!t->started) {
        if (closing) removeJournal(t);
        return 0;
    }
    int16_t st = syncFile(t->durable, t->file);
    if (st == 0) st = voidJournal(t, closing);
    if (st == 0) return 0;
    rollback(t);
    return st;
}

Snapshot snapshotOf(const DB_HANDLE* h) {
    return Snapshot{h->root,        h->levels,    h->pagecounter,   h->pagespresent,
                    h->headerdirty, h->filegrown, h->recordcounter, h->writecount};
}
void restore(DB_HANDLE* h, const Snapshot& s) {
    h->root = s.root;
    h->levels = s.levels;
    h->pagecounter = s.pagecounter;
    h->pagespresent = s.pagespresent;
    h->headerdirty = s.headerdirty;
    h->filegrown = s.filegrown;
    h->recordcounter = s.recordcounter;
    h->writecount = s.writecount;
}

// After a rollback the handle reads its header again; nothing it had cached stays.
void reloadHandle(DB_HANDLE* h) {
    pf::dropFile(static_cast<int16_t>(h->file));
    bt::resetCursors(h);
    DB_HEADER hd{};
    if (pf::readHeader(h, &hd) == 0) {
        h->root = hd.root;
        h->levels = hd.levels;
        h->pagecounter = hd.pagecounter;
        h->recordcounter = hd.recordcounter;
        h->pagespresent = hd.pagespresent;
    }
    h->headerdirty = 0;
    h->filegrown = 0;
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
}

}  // namespace

bool collecting(int16_t file) {
    Txn* t = byFile(file);
    return t && t->inOp;
}

int16_t put(int16_t file, uint32_t block, uint32_t offset, const void* bytes, uint32_t length) {
    Txn* t = byFile(file);
    if (!t || offset + length > kBlock) return DB_WRITEFAIL;
    if (t->broken) return DB_WRITEFAIL;
    Block* b = findBlock(t, block);
    if (!b) {
        Block nb;
        nb.no = block;
        if (offset != 0 || length != kBlock) {
            if (int16_t st = readRaw(file, block, nb.bytes.data())) return st;
        }
        auto it = std::lower_bound(t->overlay.begin(), t->overlay.end(), block,
                                   [](const Block& x, uint32_t n) { return x.no < n; });
        b = &*t->overlay.insert(it, nb);
    }
    std::memcpy(b->bytes.data() + offset, bytes, length);
    return 0;
}

bool get(int16_t file, uint32_t block, uint32_t offset, void* out, uint32_t length) {
    Txn* t = byFile(file);
    if (!t || t->overlay.empty()) return false;
    Block* b = findBlock(t, block);
    if (!b || offset + length > kBlock) return false;
    std::memcpy(out, b->bytes.data() + offset, length);
    return true;
}

int16_t recover(const char* path, int16_t file) {
    const std::string jpath = journalPath(path);
    int16_t exists = 0;
    if (UL_fileexists(jpath.c_str(), &exists) != 0 || !exists) return 0;
    int16_t jfile = UL_open(jpath.c_str(), 0);
    if (jfile < 0) return DB_WRITEFAIL;
    const bool d = durable();
    int16_t st = applyJournal(file, jfile, jpath, d, 0);
    UL_close(jfile);
    return st;
}

static void reloadIfOpen(Txn* t) {
    if (t->open && t->handle) reloadHandle(t->handle);
}

void attach(DB_HANDLE* h, const char* path) {
    const int16_t file = static_cast<int16_t>(h->file);
    Txn* t = byFile(file);
    if (!t) {
        auto nt = std::make_unique<Txn>();
        nt->file = file;
        nt->path = path;
        nt->jpath = journalPath(path);
        nt->durable = durable();
        for (auto it = g.pendingUnits.begin(); it != g.pendingUnits.end(); ++it) {
            if (it->first == path) {
                nt->unitDepth = it->second;
                g.pendingUnits.erase(it);
                break;
            }
        }
        t = nt.get();
        g.txns.push_back(std::move(nt));
    }
    t->open = true;
    t->handle = h;
}

int16_t heldFile(const char* path) {
    Txn* t = byPath(path);
    return t && !t->open ? t->file : -1;
}

void beginOp(DB_HANDLE* h) {
    Txn* t = byFile(static_cast<int16_t>(h->file));
    if (!t) return;
    t->snap = snapshotOf(h);
    t->inOp = true;
}

int16_t endOp(DB_HANDLE* h, int16_t status, bool undo) {
    Txn* t = byFile(static_cast<int16_t>(h->file));
    if (!t) return status;
    t->inOp = false;
    if (undo) {
        // Nothing of this operation reached the file: forgetting it in memory undoes it.
        t->overlay.clear();
        restore(h, t->snap);
        pf::dropFile(static_cast<int16_t>(h->file));
        bt::resetCursors(h);
        h->current = DB_NORECORD;
        h->held = DB_NORECORD;
        return status;
    }
    int16_t st = t->unitDepth > 0 ? flush(t) : commit(t, false);
    if (st != 0) {
        if (t->unitDepth > 0) rollback(t);
        reloadHandle(h);
        return status != 0 && status != DB_NOTFOUND ? status : st;
    }
    return status;
}

int16_t detach(DB_HANDLE* h, bool* closeFile) {
    *closeFile = true;
    Txn* t = byFile(static_cast<int16_t>(h->file));
    if (!t) return 0;
    t->inOp = false;
    if (t->unitDepth > 0 && !t->broken) {
        int16_t st = flush(t);
        if (st != 0) {
            // Only the close's own header write is lost: the file holds the header of the
            // last operation, which describes it, and the unit's work stays.
            t->overlay.clear();
            if (t->broken) return st;
        }
        t->open = false;  // the unit keeps the file open and locked
        t->handle = nullptr;
        *closeFile = false;
        return 0;
    }
    int16_t st = t->broken ? DB_WRITEFAIL : commit(t, true);
    if (t->started || t->broken) closeJournal(t);
    else removeJournal(t);
    drop(t);
    return st;
}

bool broken(int16_t file) {
    Txn* t = byFile(file);
    return t && t->broken;
}

int16_t beginUnit(const char* path) {
    if (!path) return DB_NOTFOUND;
    if (Txn* t = byPath(path)) {
        ++t->unitDepth;
        return 0;
    }
    for (auto& p : g.pendingUnits) {
        if (p.first == path) {
            ++p.second;
            return 0;
        }
    }
    g.pendingUnits.emplace_back(path, 1);
    return 0;
}

int16_t endUnit(const char* path, bool commitIt) {
    if (!path) return DB_NOTFOUND;
    for (auto it = g.pendingUnits.begin(); it != g.pendingUnits.end(); ++it) {
        if (it->first == path) {
            if (--it->second <= 0) g.pendingUnits.erase(it);
            return 0;
        }
    }
    Txn* t = byPath(path);
    if (!t || t->unitDepth <= 0) return 0;
    if (--t->unitDepth > 0) return 0;
    int16_t st = 0;
    if (t->broken) {
        st = DB_WRITEFAIL;
    } else if (commitIt) {
        st = commit(t, !t->open);
    } else {
        st = rollback(t);
        reloadIfOpen(t);
    }
    if (st != 0) reloadIfOpen(t);
    if (!t->open) {
        // The handle closed the file already: the unit closes it now. A journal that still
        // holds a transaction stays for the next open to roll back.
        if (t->started || t->broken) closeJournal(t);
        else removeJournal(t);
        pf::dropFile(t->file);
        UL_close(t->file);
        drop(t);
    }
    return st;
}

void setDurable(int mode) { g.durableMode = mode; }

bool durable() { return g.durableMode >= 0 ? g.durableMode != 0 : readDurableSetting(); }

long syncCount() { return g.syncs; }

void reset() {
    for (auto& t : g.txns) {
        if (t->jfile >= 0) UL_close(t->jfile);
        if (!t->open) UL_close(t->file);
    }
    g.txns.clear();
    g.pendingUnits.clear();
}

}  // namespace qorsf::jr
