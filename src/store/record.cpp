// Record store operations: field tables, record images, record numbers.
//
// Record image: signature (2), checksum over byte 4 to the end (2), record flag (1), then each
// present field as its table index (2), for 'B' its length (2), and the value; last 0xFFFF.
// Keys: 1-15 the field indexes (no data), 18 the free record numbers, 19 the images.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "qorul.h"
#include "store/btree.h"
#include "store/journal.h"
#include "store/pagefile.h"
#include "store/store.h"

namespace qorsf {

namespace {

bool isType(char c) {
    return c == 'E' || c == 'S' || c == 'B' || c == 'I' || c == 'H' || c == 'L' || c == 'F' || c == 'D';
}
bool indexed(const DB_FIELD& f) { return f.keytype != 'N'; }

int valueSize(char type) {
    switch (type) {
        case 'D': return 8;
        case 'F': return 4;
        case 'H': return 2;
        case 'I': return 4;
        case 'L': return 4;
        default: return 0;
    }
}

// The number of entries before the end mark; a table without one within 1024 entries is refused.
int tableSize(const DB_FIELD* t) {
    int n = 0;
    while (n < 1024 && t[n].type != 'E') ++n;
    return n < 1024 ? n : -1;
}

int16_t checkTable(const DB_FIELD* t, bool withLength) {
    int n = tableSize(t);
    if (n < 0) return DB_BADTYPE;
    for (int i = 0; i < n; ++i) {
        const DB_FIELD& f = t[i];
        if (!isType(f.type)) return DB_BADTYPE;
        if (f.keytype != 'N' && !isType(f.keytype)) return DB_BADKEYTYPE;
        if (f.dups != 'D' && f.dups != 'U' && f.dups != 'N') return DB_BADDUPS;
        if (withLength && f.length > 1024) return DB_BADLENGTH;
        if (f.type == 'S') {
            if (!f.buffer || f.length == 0) return DB_TEXTLONG;
            if (std::memchr(f.buffer, 0, f.length) == nullptr) return DB_TEXTLONG;
        }
        if (f.keynum > 15) return DB_BADKEYNUM;
    }
    return 0;
}

// Add each byte (signed) and double, modulo 65536. A byte 16 or more places before the end has
// been doubled 16 times or more by then, which leaves nothing of it: only the last 15 bytes
// count, and the sum starts there.
uint16_t checksum(const uint8_t* p, size_t n) {
    uint16_t s = 0;
    for (size_t i = n > 16 ? n - 16 : 0; i < n; ++i) s = static_cast<uint16_t>((s + static_cast<int8_t>(p[i])) * 2);
    return s;
}

// Length of an 'S' field's text within its buffer.
size_t textLength(const DB_FIELD& f) {
    if (!f.buffer || f.length == 0) return 0;
    const void* z = std::memchr(f.buffer, 0, f.length);
    return z ? static_cast<size_t>(static_cast<const char*>(z) - static_cast<const char*>(f.buffer))
             : f.length - 1u;
}

bool present(const DB_FIELD& f) {
    if (indexed(f)) return true;
    if (!f.buffer) return false;
    switch (f.type) {
        case 'S': return f.length > 0 && static_cast<const char*>(f.buffer)[0] != '\0';
        case 'B': return f.length > 0;
        case 'D': { double v; std::memcpy(&v, f.buffer, 8); return v != 0.0; }
        case 'F': { float v; std::memcpy(&v, f.buffer, 4); return v != 0.0f; }
        case 'H': { int16_t v; std::memcpy(&v, f.buffer, 2); return v != 0; }
        default: { int32_t v; std::memcpy(&v, f.buffer, 4); return v != 0; }
    }
}

// Packs the table into the record buffer; the image length or -28.
int pack(DB_HANDLE* h, const DB_FIELD* t, int n) {
    uint8_t* out = static_cast<uint8_t*>(h->recbuf);
    size_t cap = h->reclength;
    size_t pos = 5;
    if (!out || cap < 7) return DB_IMAGELONG;
    auto put = [&](const void* src, size_t len) {
        if (pos + len > cap) return false;
        if (len) std::memcpy(out + pos, src, len);
        pos += len;
        return true;
    };
    for (int i = 0; i < n; ++i) {
        const DB_FIELD& f = t[i];
        if (!present(f)) continue;
        uint16_t idx = static_cast<uint16_t>(i);
        if (!put(&idx, 2)) return DB_IMAGELONG;
        static const uint8_t zeros[8] = {};
        const void* src = f.buffer ? f.buffer : zeros;
        switch (f.type) {
            case 'S': {
                size_t len = textLength(f);
                if (!put(src, len)) return DB_IMAGELONG;
                uint8_t z = 0;
                if (!put(&z, 1)) return DB_IMAGELONG;
                break;
            }
            case 'B': {
                uint16_t len = f.buffer ? f.length : 0;
                if (!put(&len, 2) || !put(src, len)) return DB_IMAGELONG;
                break;
            }
            default:
                if (!put(src, static_cast<size_t>(valueSize(f.type)))) return DB_IMAGELONG;
        }
    }
    uint16_t endMark = 0xFFFF;
    if (!put(&endMark, 2)) return DB_IMAGELONG;
    uint16_t sig = DB_signature(t);
    out[4] = h->recflag;
    uint16_t sum = checksum(out + 4, pos - 4);
    std::memcpy(out, &sig, 2);
    std::memcpy(out + 2, &sum, 2);
    return static_cast<int>(pos);
}

// One present field of an image: its table index, and its value bytes within the image.
struct ImageField {
    int index;
    const uint8_t* value;
    size_t length;  // 'S': text without NUL
};

// Walks the fields of an image of len bytes; calls fn for each. -21 when the image is malformed.
template <class Fn>
int16_t eachField(const uint8_t* img, size_t len, const DB_FIELD* t, int n, Fn fn) {
    size_t pos = 5;
    for (;;) {
        if (pos + 2 > len) return DB_CHECKSUM;
        uint16_t idx;
        std::memcpy(&idx, img + pos, 2);
        pos += 2;
        if (idx == 0xFFFF) return 0;
        if (idx >= n) return DB_CHECKSUM;
        const DB_FIELD& f = t[idx];
        ImageField fld{idx, nullptr, 0};
        switch (f.type) {
            case 'S': {
                const void* z = std::memchr(img + pos, 0, len - pos);
                if (!z) return DB_CHECKSUM;
                fld.value = img + pos;
                fld.length = static_cast<size_t>(static_cast<const uint8_t*>(z) - (img + pos));
                pos += fld.length + 1;
                break;
            }
            case 'B': {
                if (pos + 2 > len) return DB_CHECKSUM;
                uint16_t bl;
                std::memcpy(&bl, img + pos, 2);
                pos += 2;
                if (pos + bl > len) return DB_CHECKSUM;
                fld.value = img + pos;
                fld.length = bl;
                pos += bl;
                break;
            }
            default: {
                size_t vs = static_cast<size_t>(valueSize(f.type));
                if (pos + vs > len) return DB_CHECKSUM;
                fld.value = img + pos;
                fld.length = vs;
                pos += vs;
            }
        }
        int16_t st = fn(fld, f);
        if (st != 0) return st;
    }
}

// The index text of a field as stored: the value read as a NUL-terminated text.
void indexText(const ImageField& fld, char (&out)[DB_MAXKEYTEXT + 1]) {
    size_t n = 0;
    while (n < fld.length && n < DB_MAXKEYTEXT && fld.value[n] != 0) {
        out[n] = static_cast<char>(fld.value[n]);
        ++n;
    }
    out[n] = '\0';
}

// Reads the image of record rec into the record buffer; its length via *len.
int16_t readImage(DB_HANDLE* h, uint32_t rec, size_t* len) {
    int16_t st = bt::search(h, DB_KEYDATA, "", rec, h->recbuf, h->reclength);
    if (st != 0) return st < -1 ? st : DB_NOTFOUND;
    size_t total = h->datalength;
    *len = total < h->reclength ? total : h->reclength;
    return 0;
}

int16_t verifyImage(DB_HANDLE* h, const DB_FIELD* t, size_t len) {
    const uint8_t* img = static_cast<const uint8_t*>(h->recbuf);
    if (len < 7) return DB_CHECKSUM;
    uint16_t sig, sum;
    std::memcpy(&sig, img, 2);
    std::memcpy(&sum, img + 2, 2);
    if (sig != DB_signature(t)) return DB_OTHERTABLE;
    if (h->datalength > h->reclength) return DB_CHECKSUM;  // cut short: cannot be whole
    if (sum != checksum(img + 4, len - 4)) return DB_CHECKSUM;
    return 0;
}

// Removes the index entries of the image in the record buffer; not-found is ignored.
int16_t removeIndexes(DB_HANDLE* h, const DB_FIELD* t, int n, size_t len, uint32_t rec) {
    // The image lives in the record buffer, which the B-tree does not touch here (no data read).
    return eachField(static_cast<const uint8_t*>(h->recbuf), len, t, n,
                     [&](const ImageField& fld, const DB_FIELD& f) -> int16_t {
                         if (!indexed(f)) return 0;
                         char text[DB_MAXKEYTEXT + 1];
                         indexText(fld, text);
                         int16_t st = bt::remove(h, f.keynum, text, rec);
                         return st == DB_NOTFOUND ? 0 : st;
                     });
}

// Inserts the index entries of the image in the record buffer; on failure the ones of this
// record are taken out again.
int16_t insertIndexes(DB_HANDLE* h, const DB_FIELD* t, int n, size_t len, uint32_t rec, int16_t* cleanup) {
    int16_t st = eachField(static_cast<const uint8_t*>(h->recbuf), len, t, n,
                           [&](const ImageField& fld, const DB_FIELD& f) -> int16_t {
                               if (!indexed(f)) return 0;
                               char text[DB_MAXKEYTEXT + 1];
                               indexText(fld, text);
                               if (f.dups == 'D') {
                                   int16_t s = bt::insert(h, f.keynum, text, rec, nullptr, 0, false);
                                   return s == DB_NOTFOUND ? 0 : s;  // already there: fine
                               }
                               return bt::insert(h, f.keynum, text, rec, nullptr, 0, true);
                           });
    if (st != 0) {
        // Entries of this record that stay behind would point at a record that is not there.
        if (int16_t cs = removeIndexes(h, t, n, len, rec)) *cleanup = cs;
    }
    return st;
}

int16_t newRecordNumber(DB_HANDLE* h, uint32_t* rec) {
    int16_t st = bt::first(h, DB_KEYFREE, nullptr, 0);
    if (st == 0) {
        uint32_t n = bt::cursorRecord(h);
        h->lockmark[DB_KEYFREE] = 'L';
        st = bt::removeAtCursor(h, DB_KEYFREE);
        h->lockmark[DB_KEYFREE] = 'U';
        if (st != 0) return st;
        *rec = n;
        return 0;
    }
    if (st != DB_NOTFOUND) return st;
    uint32_t n = h->recordcounter;
    h->recordcounter = n + 1;
    if (h->writepolicy >= 1) {
        st = pf::writeHeader(h);
        if (st != 0) {
            h->recordcounter = n;
            return DB_WRITEFAIL;
        }
    } else {
        h->headerdirty = 1;
    }
    *rec = n;
    return 0;
}

int16_t freeRecordNumber(DB_HANDLE* h, uint32_t rec) {
    int16_t st = bt::insert(h, DB_KEYFREE, "", rec, nullptr, 0, false);
    return st == DB_NOTFOUND ? 0 : st;
}

void initHandle(DB_HANDLE* h) {
    uint32_t wc = DB_checkhandle(h) == 73 ? 0 : h->writecount;
    std::memset(static_cast<void*>(h), 0, sizeof *h);
    h->writecount = wc;
    h->valid1 = 'V';
    h->valid2 = 'A';
    h->valid3 = 'L';
    h->valid4 = 'I';
    h->valid5 = 'D';
    h->valid6 = 'A';
    h->valid7 = 'T';
    h->valid8 = 'E';
    h->state = 'C';
    h->file = -1;
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
    bt::resetCursors(h);
}

// The record operation under way: the store's last status is kept in the handle.
int16_t done(DB_HANDLE* h, int16_t st) {
    h->laststatus = st;
    return st;
}

// Blocks of an open store file kept in memory: 4 MiB, which holds every interior page of the
// largest file the format allows (32,767 pages of which some 2% are interior) and the leaves
// last used.
constexpr uint32_t kCacheBlocks = 4096;

// How long an open waits for a file another program holds: attempts 50 ms apart.
struct LockWait {
    int attempts = 60;
    void (*between)(int) = nullptr;
};
LockWait lockWait;

// Opens the store file under its lock, waiting a bounded time for another program to let it
// go (-101 when it does not), and rolls back a journal left by work that never ended. A file
// that a unit of work holds open is taken over as it is.
int16_t lockFile(const char* path, int16_t* file) {
    *file = jr::heldFile(path);
    if (*file >= 0) return 0;
    int16_t f = UL_open(path, 2);
    for (int attempt = 0; f < 0 && UL_filebusy(path) == 1; ++attempt) {
        if (attempt >= lockWait.attempts) return DB_LOCKOPEN;
        if (lockWait.between) lockWait.between(attempt);
        else std::this_thread::sleep_for(std::chrono::milliseconds(50));
        f = UL_open(path, 2);
    }
    if (f < 0) return DB_NOTFOUND;
    // The file's blocks are kept in memory for as long as it stays open (the interior pages of
    // the tree above all, which every descent passes): the lock keeps every other program out
    // meanwhile, and the next open starts afresh, so nothing another program wrote is missed.
    UL_cacheblocks(f, DB_PAGESIZE, kCacheBlocks);
    if (jr::recover(path, f) != 0) {
        UL_close(f);
        return DB_WRITEFAIL;
    }
    *file = f;
    return 0;
}

// Closes a file the handle opened, unless a unit of work holds it.
void releaseFile(const char* path, int16_t f) {
    if (jr::heldFile(path) != f) UL_close(f);
}

int16_t openFile(DB_HANDLE* h, const char* path) {
    int16_t f = -1;
    if (int16_t ls = lockFile(path, &f)) return ls;
    bt::resetCursors(h);
    h->file = f;
    h->openmode = 'E';
    h->mode2 = 'U';
    h->headerdirty = 0;
    h->filegrown = 0;
    DB_HEADER hd{};
    int16_t st = pf::readHeader(h, &hd);
    h->lastio = pf::lastIo();
    if (st != 0) {
        releaseFile(path, f);
        h->file = -1;
        return st;
    }
    h->root = hd.root;
    h->levels = hd.levels;
    h->pagecounter = hd.pagecounter;
    h->recordcounter = hd.recordcounter;
    h->pagespresent = hd.pagespresent;
    // A header whose numbers cannot describe a tree is not a store file we can walk safely.
    if (hd.levels < 1 || hd.levels >= DB_MAXLEVELS || hd.root < 0 || hd.pagespresent < 1 ||
        hd.root >= hd.pagespresent || hd.pagecounter < 1) {
        releaseFile(path, f);
        h->file = -1;
        return DB_DESCENT;
    }
    DB_PAGE root;
    st = pf::readPage(h, &root, h->root);
    if (st != 0) {
        pf::dropFile(f);
        releaseFile(path, f);
        h->file = -1;
        return DB_WRITEFAIL;
    }
    h->state = 'O';
    h->writepolicy = 3;
    h->checkflag = 1;
    jr::attach(h, path);
    return 0;
}

// Brackets one changing operation for the journal: end() writes it (or, with undo, forgets it).
struct Op {
    DB_HANDLE* h;
    explicit Op(DB_HANDLE* handle) : h(handle) { jr::beginOp(h); }
    int16_t end(int16_t st, bool undo = false) { return done(h, jr::endOp(h, st, undo)); }
};

}  // namespace

uint16_t DB_signature(const DB_FIELD* t) {
    uint16_t s = 0;
    for (int i = 0; i < 1024 && t[i].type != 'E'; ++i) {
        s = static_cast<uint16_t>(s + static_cast<int8_t>(t[i].type));
        s = static_cast<uint16_t>(s * 2 + static_cast<int8_t>(t[i].keytype));
        s = static_cast<uint16_t>(s * 2 + static_cast<int8_t>(t[i].dups));
        s = static_cast<uint16_t>(s * 2 + static_cast<int8_t>(t[i].keynum));
        s = static_cast<uint16_t>(s * 2);
    }
    return s;
}

int16_t DB_checkhandle(const DB_HANDLE* h) {
    if (!h || h->valid1 != 'V' || h->valid2 != 'A' || h->valid3 != 'L' || h->valid4 != 'I' ||
        h->valid5 != 'D' || h->valid6 != 'A' || h->valid7 != 'T' || h->valid8 != 'E')
        return DB_BADHANDLE;
    if (h->state != 'O' && h->state != 'C') return DB_BADHANDLE;
    if (h->state != 'O') return DB_NOTOPEN;
    return 0;
}

int16_t DB_open(DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength) {
    if (!h || !path) return DB_NOTFOUND;
    if (DB_checkhandle(h) == 0) return done(h, DB_NOTFOUND);  // already open: keep that file
    initHandle(h);
    int16_t st = openFile(h, path);
    if (st != 0) return done(h, st);
    h->recbuf = recbuf;
    h->reclength = reclength;
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
    return done(h, 0);
}

int16_t DB_create(DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength) {
    if (!h || !path) return DB_NOTFOUND;
    if (DB_checkhandle(h) == 0) return done(h, DB_NOTFOUND);
    initHandle(h);
    int16_t exists = 0;
    if (UL_fileexists(path, &exists) == 0 && exists) return done(h, DB_EXISTS);
    // The new store is made whole under a name of its own and then linked into place, which
    // fails when a store appeared there meanwhile: a crash leaves no half-made store behind.
    const std::string temp = std::string(path) + ".new-" + std::to_string(::getpid());
    UL_delete(temp.c_str());
    int16_t f = UL_create(temp.c_str(), 2);
    if (f < 0) return done(h, DB_NOTFOUND);
    h->file = f;
    h->openmode = 'E';
    h->mode2 = 'U';
    h->root = 0;
    h->levels = 1;
    h->pagecounter = 1;
    h->recordcounter = 1;
    h->pagespresent = 0;
    auto fail = [&](int16_t st) {
        pf::dropFile(f);
        if (h->file >= 0) UL_close(f);
        UL_delete(temp.c_str());
        h->file = -1;
        h->state = 'C';
        return done(h, st);
    };
    // The header block: the header and zeros.
    DB_PAGE block{};
    {
        DB_HEADER hd{};
        hd.v = 'V'; hd.a1 = 'A'; hd.l = 'L'; hd.i = 'I'; hd.d = 'D'; hd.a2 = 'A'; hd.t = 'T'; hd.e = 'E';
        hd.root = 0;
        hd.levels = 1;
        hd.pagecounter = 1;
        hd.recordcounter = 1;
        hd.pagespresent = 0;
        hd.writecount = h->writecount;
        std::memcpy(&block, &hd, sizeof hd);
    }
    if (UL_seek(f, 0, 0) != 0) return fail(DB_WRITEFAIL);
    uint16_t w = UL_write(f, &block, DB_PAGESIZE);
    if (w == 0xFFFF) return fail(DB_WRITEFAIL);
    if (w != DB_PAGESIZE) return fail(DB_SHORTWRITE);
    if (pf::writeHeader(h) != 0) return fail(DB_WRITEFAIL);
    h->writepolicy = 0;
    if (pf::growFile(h) != 0) return fail(DB_SHORTWRITE);
    DB_PAGE root;
    pf::emptyPage(&root, 0);
    if (pf::writePage(h, &root, 0) != 0) return fail(DB_WRITEFAIL);
    // What a close would do: the header, then the cache's pages.
    bt::forgetHints();
    if (pf::writeHeader(h) != 0) return fail(DB_WRITEFAIL);
    if (pf::flushDrop(f) != 0) return fail(DB_WRITEFAIL);
    const bool durable = jr::durable();
    if (durable && UL_sync(f) != 0) return fail(DB_WRITEFAIL);
    UL_close(f);
    h->file = -1;
    // Nothing can be rolled back into a store that did not exist: a journal there is stale.
    UL_delete((std::string(path) + "-journal").c_str());
    if (UL_linknew(temp.c_str(), path) != 0) {
        UL_fileexists(path, &exists);
        return fail(exists ? DB_EXISTS : DB_NOTFOUND);
    }
    UL_delete(temp.c_str());
    if (durable) UL_syncdir(path);
    h->state = 'C';
    int16_t st = openFile(h, path);
    if (st != 0) return done(h, st);
    h->recbuf = recbuf;
    h->reclength = reclength;
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
    return done(h, 0);
}

int16_t DB_close(DB_HANDLE* h) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    for (char& m : h->lockmark) m = 'U';
    int16_t f = static_cast<int16_t>(h->file);
    int16_t result = 0;
    bt::forgetHints();
    jr::beginOp(h);
    if (h->headerdirty && pf::writeHeader(h) != 0) result = DB_WRITEFAIL;
    if (pf::flushDrop(f) != 0 && result == 0) result = DB_WRITEFAIL;
    // The end of the handle's work: the journal's transaction commits (or its unit goes on).
    bool closeFile = true;
    if (int16_t js = jr::detach(h, &closeFile); js != 0 && result == 0) result = js;
    // The file is closed whatever happened above: a handle must not keep it open.
    if (closeFile && UL_close(f) != 0 && result == 0) result = DB_NOTFOUND;
    pf::dropFile(f);
    h->file = -1;
    h->state = 'C';
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
    return done(h, result);
}

namespace {

// The add without its journal bracket (an update adds within its own operation). *cleanup
// gets the status of an undo that failed.
int16_t addRecord(DB_HANDLE* h, DB_FIELD* t, int16_t* cleanup) {
    int16_t st = 0;
    if (h->checkflag && (st = checkTable(t, true)) != 0) return st;
    int n = tableSize(t);
    if (n < 0) return DB_BADTYPE;
    uint32_t rec = 0;
    st = newRecordNumber(h, &rec);
    if (st != 0) return st;
    int len = pack(h, t, n);
    if (len < 0) return static_cast<int16_t>(len);
    st = insertIndexes(h, t, n, static_cast<size_t>(len), rec, cleanup);
    if (st != 0) {
        if (int16_t fs = freeRecordNumber(h, rec)) *cleanup = fs;
        return st;
    }
    st = bt::insert(h, DB_KEYDATA, "", rec, h->recbuf, static_cast<uint16_t>(len), false);
    if (st != 0) {
        if (int16_t cs = removeIndexes(h, t, n, static_cast<size_t>(len), rec)) *cleanup = cs;
        if (int16_t fs = freeRecordNumber(h, rec)) *cleanup = fs;
        return DB_NOIMAGE;
    }
    h->current = rec;
    return 0;
}

}  // namespace

int16_t DB_add(DB_HANDLE* h, DB_FIELD* t) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    if (!t) return done(h, DB_BADTYPE);
    if (jr::broken(static_cast<int16_t>(h->file))) return done(h, DB_WRITEFAIL);
    Op op(h);
    int16_t cleanup = 0;
    st = addRecord(h, t, &cleanup);
    // An undo that failed leaves a half-made record: the whole add is forgotten instead.
    if (cleanup != 0) return op.end(cleanup, true);
    return op.end(st);
}

int16_t DB_read(DB_HANDLE* h, DB_FIELD* t) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    if (!t) return done(h, DB_BADTYPE);
    if (h->checkflag && (st = checkTable(t, false)) != 0) return done(h, st);
    int n = tableSize(t);
    if (n < 0) return done(h, DB_BADTYPE);
    if (h->current == DB_NORECORD) return done(h, DB_NOCURRENT);
    size_t len = 0;
    {
        // A read leaves the cursor of key 19 where it was, so that a walk over the images goes
        // on from its own place even when a damaged file holds a record number twice.
        int16_t page = h->curpage[DB_KEYDATA], index = h->curindex[DB_KEYDATA];
        int16_t key = h->curkey[DB_KEYDATA];
        uint8_t removed = h->removed[DB_KEYDATA];
        st = readImage(h, h->current, &len);
        h->curpage[DB_KEYDATA] = page;
        h->curindex[DB_KEYDATA] = index;
        h->curkey[DB_KEYDATA] = key;
        h->removed[DB_KEYDATA] = removed;
    }
    if (st != 0) return done(h, st);
    return done(h, DB_unpackimage(h, t, len));
}

namespace {

// Puts one field of an image into its buffer in the caller's table.
void unpackField(const ImageField& fld, DB_FIELD& f) {
    if (!f.buffer) return;
    if (f.type == 'S') {
        if (f.length == 0) return;
        size_t m = fld.length < f.length - 1u ? fld.length : f.length - 1u;
        std::memcpy(f.buffer, fld.value, m);
        static_cast<char*>(f.buffer)[m] = '\0';
    } else if (f.type == 'B') {
        // Never more than the field's buffer holds.
        size_t m = fld.length < f.length ? fld.length : f.length;
        std::memcpy(f.buffer, fld.value, m);
        f.length = static_cast<uint16_t>(m);
    } else {
        std::memcpy(f.buffer, fld.value, fld.length);
    }
}

}  // namespace

int16_t DB_unpackimage(DB_HANDLE* h, DB_FIELD* t, size_t len) {
    int n = tableSize(t);
    if (n < 0) return DB_BADTYPE;
    int16_t st = verifyImage(h, t, len);
    if (st != 0) return st;
    const uint8_t* img = static_cast<const uint8_t*>(h->recbuf);
    // The whole image is checked before the caller's buffers are touched. The fields found are
    // noted on the way (as many as fit here; an image with more fields is walked again).
    constexpr int kNoted = 32;
    ImageField noted[kNoted];
    int count = 0;
    st = eachField(img, len, t, n, [&](const ImageField& fld, const DB_FIELD&) -> int16_t {
        if (count < kNoted) noted[count] = fld;
        ++count;
        return 0;
    });
    if (st != 0) return st;
    for (int i = 0; i < n; ++i) {
        DB_FIELD& f = t[i];
        if (!f.buffer) continue;
        if (f.type == 'S') {
            if (f.length) static_cast<char*>(f.buffer)[0] = '\0';
        } else if (f.type == 'B') {
            std::memset(f.buffer, 0, f.length);
        } else {
            std::memset(f.buffer, 0, static_cast<size_t>(valueSize(f.type)));
        }
    }
    h->recflag = img[4];
    if (count <= kNoted) {
        for (int i = 0; i < count; ++i) unpackField(noted[i], t[noted[i].index]);
        return 0;
    }
    return eachField(img, len, t, n, [](const ImageField& fld, const DB_FIELD& fc) -> int16_t {
        unpackField(fld, const_cast<DB_FIELD&>(fc));
        return 0;
    });
}

int16_t DB_delete(DB_HANDLE* h, DB_FIELD* t) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    if (!t) return done(h, DB_BADTYPE);
    int n = tableSize(t);
    if (n < 0) return done(h, DB_BADTYPE);
    if (h->current == DB_NORECORD) return done(h, DB_NOCURRENT);
    if (jr::broken(static_cast<int16_t>(h->file))) return done(h, DB_WRITEFAIL);
    Op op(h);
    uint32_t rec = h->current;
    size_t len = 0;
    if (readImage(h, rec, &len) != 0) return op.end(DB_NOIMAGE);
    if ((st = verifyImage(h, t, len)) != 0) return op.end(st);
    st = removeIndexes(h, t, n, len, rec);
    if (st == 0) {
        h->lockmark[DB_KEYDATA] = 'L';
        st = bt::removeAtCursor(h, DB_KEYDATA);
        h->lockmark[DB_KEYDATA] = 'U';
        if (st == 0) st = freeRecordNumber(h, rec);
    }
    h->current = DB_NORECORD;
    h->held = DB_NORECORD;
    // A delete stopped half-way (indexes gone, image still there, or a number lost) is undone.
    return op.end(st, st != 0);
}

int16_t DB_update(DB_HANDLE* h, DB_FIELD* t) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    if (!t) return done(h, DB_BADTYPE);
    if (h->checkflag && (st = checkTable(t, true)) != 0) return done(h, st);
    int n = tableSize(t);
    if (n < 0) return done(h, DB_BADTYPE);
    if (h->current == DB_NORECORD) return done(h, DB_NOCURRENT);
    if (jr::broken(static_cast<int16_t>(h->file))) return done(h, DB_WRITEFAIL);
    Op op(h);
    uint32_t old = h->current;
    size_t len = 0;
    // The old image goes to a copy: the record buffer is about to take the new one.
    if (readImage(h, old, &len) != 0) return op.end(DB_NOIMAGE);
    if ((st = verifyImage(h, t, len)) != 0) return op.end(st);
    if (removeIndexes(h, t, n, len, old) != 0) return op.end(DB_UPDINDEX, true);
    int16_t cleanup = 0;
    st = addRecord(h, t, &cleanup);
    if (st != 0) {
        if (cleanup != 0) return op.end(cleanup, true);
        size_t len2 = 0;
        int16_t rs = readImage(h, old, &len2);
        int16_t restoreCleanup = 0;
        if (rs == 0) rs = insertIndexes(h, t, n, len2, old, &restoreCleanup);
        h->current = old;
        // A name whose index entries could not be put back would be lost: undo the update.
        if (rs != 0) return op.end(rs, true);
        return op.end(st);
    }
    st = bt::remove(h, DB_KEYDATA, "", old);
    // Two images of one record, or a number lost: the update is undone whole.
    if (st != 0) return op.end(DB_UPDIMAGE, true);
    st = freeRecordNumber(h, old);
    return op.end(st, st != 0);
}

int16_t DB_find(DB_HANDLE* h, int16_t k, const char* text, int16_t mode) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    int16_t r = bt::search(h, k, text ? text : "", 0, nullptr, 0);
    if (r < -1 && r != DB_BADSEQUENCE) {
        h->current = DB_NORECORD;
        return done(h, r);
    }
    int16_t res;
    switch (mode) {
        case DB_EXACT: res = r == 1 ? 0 : DB_NOTFOUND; break;
        case DB_AFTER: res = r == 1 ? bt::next(h, k, nullptr, 0) : (r == 2 ? 0 : DB_NOTFOUND); break;
        case DB_ATORAFTER: res = r == 1 ? 0 : (r == 2 ? DB_GREATER : DB_NOTFOUND); break;
        case DB_BEFORE: res = bt::previous(h, k, nullptr, 0); break;
        case DB_ATORBEFORE:
            if (r == 1) {
                res = 0;
            } else {
                res = bt::previous(h, k, nullptr, 0);
                if (res == 0) res = DB_SMALLER;
            }
            break;
        default: res = DB_NOTFOUND;
    }
    h->current = (res == 0 || res == DB_GREATER || res == DB_SMALLER) ? bt::cursorRecord(h) : DB_NORECORD;
    return done(h, res);
}

int16_t DB_move(DB_HANDLE* h, int16_t k, int16_t direction) {
    int16_t st = DB_checkhandle(h);
    if (st != 0) return st == DB_BADHANDLE ? st : done(h, st);
    int16_t res;
    switch (direction) {
        case DB_NEXT: res = bt::next(h, k, nullptr, 0); break;
        case DB_PREVIOUS: res = bt::previous(h, k, nullptr, 0); break;
        case DB_FIRST: res = bt::first(h, k, nullptr, 0); break;
        case DB_LAST: res = bt::last(h, k, nullptr, 0); break;
        default: res = DB_NOTFOUND;
    }
    h->current = res == 0 ? bt::cursorRecord(h) : DB_NORECORD;
    return done(h, res);
}

void storeReset() {
    jr::reset();
    pf::reset();
    bt::reset();
}

int16_t DB_beginunit(const char* path) { return jr::beginUnit(path); }
int16_t DB_endunit(const char* path, bool commit) { return jr::endUnit(path, commit); }
void DB_setdurable(int mode) { jr::setDurable(mode); }
long DB_synccount() { return jr::syncCount(); }
void DB_setlockwait(int attempts, void (*between)(int attempt)) {
    lockWait.attempts = attempts < 0 ? 0 : attempts;
    lockWait.between = between;
}

bool storeCacheAllocated() { return pf::cacheAllocated(); }

}  // namespace qorsf
