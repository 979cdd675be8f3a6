// B-tree index.
//
// Entry format (in the entry area of a page): a length byte, then the stored key text (the key
// number byte, the text, a NUL), the record number (4 bytes LE), the segment byte (bits 0-6 the
// piece index, bit 7 the last piece), then in interior pages the child page (2 bytes) and in
// leaf pages the piece of data. Order: stored text (unsigned bytes, shorter first), record
// number (signed difference), segment byte unless the segment asked for has index 0.
//
// An interior split keeps the separator in the left page and copies it into the parent; the
// right page's leftmost child is the separator's child. Pages never merge; empty leaves stay
// linked and walks pass over them.
//
// Every page read from the file is checked before use (entry count, entry lengths, the NUL of
// each key text, the free-byte count, the level) and every walk checks that entries strictly
// ascend (or descend), so a damaged file gives -30 instead of looping or reading out of bounds.
// The check's result is kept per cache slot until the slot's bytes change.
//
// Reads that stay within known leaves skip the descent from the root: a record image is looked
// for first where its number was last seen, and an insert or a removal first on the page of its
// key's cursor. Such a leaf is taken only when a descent would surely end there at the same
// index (see tryLeaf), so the entries, the pages and the file's bytes come out as a descent
// would make them; an insert that needs a split always descends, for the search path.
#include "store/btree.h"

#include <cstring>

#include "store/pagefile.h"

namespace qorsf::bt {

namespace {

constexpr int kBigArea = 1268;  // an insert may overfill a page before its split

#pragma pack(push, 1)
struct BigPage {
    int16_t level;
    int16_t count;
    int16_t freebytes;
    int16_t leftchild;
    int16_t next;
    int16_t prev;
    uint8_t area[kBigArea];
};
#pragma pack(pop)
static_assert(sizeof(BigPage) == 1280);

struct BtreeState {
    int16_t path[DB_MAXLEVELS];  // page of each level passed by the last descent
};
BtreeState g;

// A key as asked: stored text (key-number byte first, no NUL), record number, segment.
struct Key {
    uint8_t text[DB_MAXKEYTEXT + 2];
    int len = 0;
    uint32_t rec = 0;
    uint8_t seg = 0;
};

Key makeKey(int16_t k, const char* text, uint32_t rec, uint8_t seg) {
    Key key;
    key.text[0] = static_cast<uint8_t>(k);
    int n = 0;
    if (text) {
        while (n < DB_MAXKEYTEXT && text[n] != '\0') {
            key.text[1 + n] = static_cast<uint8_t>(text[n]);
            ++n;
        }
    }
    key.len = 1 + n;
    key.rec = rec;
    key.seg = seg;
    return key;
}

// A parsed view of one entry.
struct Entry {
    const uint8_t* p = nullptr;  // the length byte
    int size = 0;                // length + 1
    const uint8_t* text = nullptr;
    int textlen = 0;             // stored text length (key byte included, NUL excluded)
    uint32_t rec = 0;
    uint8_t seg = 0;
    int16_t child = 0;
    const uint8_t* data = nullptr;
    int datalen = 0;
};

// Copies of entry bytes, whose sizes are known only at run time, go to the library's memcpy: an
// inline expansion (rep movs) costs more than the copy on the walk's hot path.
[[gnu::noinline]] void copyBytes(void* to, const void* from, size_t n) { std::memcpy(to, from, n); }

uint32_t rd32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
int16_t rd16(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Parses the entry at offset off of a page already checked by checkPage.
Entry entryAt(const uint8_t* area, int off, bool interior) {
    Entry e;
    e.p = area + off;
    e.size = e.p[0] + 1;
    e.text = e.p + 1;
    int n = 0;
    while (e.text[n] != 0) ++n;
    e.textlen = n;
    const uint8_t* q = e.text + n + 1;
    e.rec = rd32(q);
    e.seg = q[4];
    if (interior) {
        e.child = rd16(q + 5);
    } else {
        e.data = q + 5;
        e.datalen = static_cast<int>(e.p + e.size - e.data);
    }
    return e;
}

int cmpText(const uint8_t* a, int alen, const uint8_t* b, int blen) {
    int n = alen < blen ? alen : blen;
    int c = std::memcmp(a, b, static_cast<size_t>(n));
    if (c != 0) return c < 0 ? -1 : 1;
    if (alen == blen) return 0;
    return alen < blen ? -1 : 1;
}

// -1 entry before the key, 0 equal, 1 after.
int cmpEntry(const Entry& e, const Key& k) {
    int c = cmpText(e.text, e.textlen, k.text, k.len);
    if (c != 0) return c;
    int32_t d = static_cast<int32_t>(e.rec - k.rec);
    if (d != 0) return d < 0 ? -1 : 1;
    if ((k.seg & 0x7F) == 0) return 0;
    if (e.seg == k.seg) return 0;
    return e.seg < k.seg ? -1 : 1;
}

// Full order of two entries, segment included (for the walk's ascent check).
int cmpEntries(const Entry& a, const Entry& b) {
    int c = cmpText(a.text, a.textlen, b.text, b.textlen);
    if (c != 0) return c;
    int32_t d = static_cast<int32_t>(a.rec - b.rec);
    if (d != 0) return d < 0 ? -1 : 1;
    if (a.seg == b.seg) return 0;
    return a.seg < b.seg ? -1 : 1;
}

// A page with the offsets of its entries. A page loaded to be changed is a copy (b); a page
// only read is read in place in its cache slot (pin), valid until the next page read or write:
// a reader holds on to nothing of it past its next load. The frame is read through the bytes
// in both cases.
struct Page {
    BigPage b;
    const DB_PAGE* pin = nullptr;
    int16_t no = -1;
    int16_t off[DB_MAXENTRIES + 2];
    const uint8_t* raw() const {
        return pin ? reinterpret_cast<const uint8_t*>(pin) : reinterpret_cast<const uint8_t*>(&b);
    }
    int16_t level() const { return rd16(raw()); }
    int16_t count() const { return rd16(raw() + 2); }
    int16_t freebytes() const { return rd16(raw() + 4); }
    int16_t leftchild() const { return rd16(raw() + 6); }
    int16_t next() const { return rd16(raw() + 8); }
    int16_t prev() const { return rd16(raw() + 10); }
    const uint8_t* area() const { return raw() + 12; }
    bool interior() const { return level() != 0; }
    Entry at(int i) const { return entryAt(area(), off[i], interior()); }
    DB_PAGE* dbpage() { return reinterpret_cast<DB_PAGE*>(&b); }
};
static_assert(offsetof(BigPage, area) == 12);

// Checks a page's frame and entries and fills the offsets; -30 when anything lies.
int16_t checkPage(Page& pg, int limit) {
    const int level = pg.level(), count = pg.count();
    const uint8_t* area = pg.area();
    if (level < 0 || level >= DB_MAXLEVELS) return DB_DESCENT;
    if (count < 0 || count > DB_MAXENTRIES) return DB_DESCENT;
    bool interior = level != 0;
    int off = 0;
    for (int i = 0; i < count; ++i) {
        if (off >= limit) return DB_DESCENT;
        int len = area[off];
        if (off + 1 + len > limit) return DB_DESCENT;
        // key byte, at least NUL + record + segment (+ child)
        int tail = interior ? 7 : 5;
        if (len < 2 + tail) return DB_DESCENT;
        const uint8_t* t = area + off + 1;
        int n = 0;
        int maxText = len - 1 - tail;
        if (maxText > DB_MAXKEYTEXT + 1) maxText = DB_MAXKEYTEXT + 1;
        while (n < maxText && t[n] != 0) ++n;
        if (n >= len - tail || t[n] != 0 || n < 1) return DB_DESCENT;
        if (interior && len != n + 8) return DB_DESCENT;
        pg.off[i] = static_cast<int16_t>(off);
        off += len + 1;
    }
    if (pg.freebytes() != DB_AREASIZE - off) return DB_DESCENT;
    return 0;
}

bool pageInRange(const DB_HANDLE* h, int16_t no) {
    return no >= 0 && no <= DB_MAXPAGE && no < h->pagespresent;
}

// What checkPage found for the content of pages read lately, by the version of that content (a
// version names one content for good; a page read again unchanged keeps its version, also after
// its cache slot went to another page): it is not checked and parsed again while its bytes stay
// the same.
struct Parsed {
    uint32_t version = 0;
    int16_t status = 0;
    int16_t off[DB_MAXENTRIES + 2];
};
constexpr uint32_t kParsed = 256;
Parsed parsed[kParsed];

// Reads and checks a page, as a copy to be changed (load) or in place (view); I/O statuses pass
// through, damage gives -30.
int16_t readChecked(DB_HANDLE* h, Page& pg, int16_t no, bool inPlace) {
    if (!pageInRange(h, no)) return DB_DESCENT;
    int slot = -1;
    uint32_t version = 0;
    pg.pin = nullptr;
    int16_t st = 0;
    if (inPlace) st = pf::pinPage(h, &pg.pin, no, &slot, &version);
    if (st != 0) return st;
    if (!pg.pin) {
        st = pf::readPage(h, pg.dbpage(), no, &slot, &version);
        if (st != 0) return st;
        // Room beyond the page for an insert's overfill starts out zero.
        std::memset(pg.b.area + DB_AREASIZE, 0, sizeof pg.b.area - DB_AREASIZE);
    }
    pg.no = no;
    Parsed* m = slot >= 0 && version != 0 ? &parsed[version % kParsed] : nullptr;
    if (m && m->version == version) {
        if (m->status == 0) std::memcpy(pg.off, m->off, static_cast<size_t>(pg.count()) * sizeof pg.off[0]);
        return m->status;
    }
    st = checkPage(pg, DB_AREASIZE);
    if (m) {
        m->version = version;
        m->status = st;
        if (st == 0) std::memcpy(m->off, pg.off, static_cast<size_t>(pg.count()) * sizeof pg.off[0]);
    }
    return st;
}

int16_t load(DB_HANDLE* h, Page& pg, int16_t no) { return readChecked(h, pg, no, false); }
int16_t view(DB_HANDLE* h, Page& pg, int16_t no) { return readChecked(h, pg, no, true); }

// Turns a page read in place into a copy that may be changed.
void own(Page& pg) {
    if (!pg.pin) return;
    std::memcpy(&pg.b, pg.pin, sizeof *pg.pin);
    std::memset(pg.b.area + DB_AREASIZE, 0, sizeof pg.b.area - DB_AREASIZE);
    pg.pin = nullptr;
}

// The first index of a checked page whose entry does not compare below key (or the count).
int lowerBound(const Page& pg, const Key& key) {
    int lo = 0, hi = pg.count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (cmpEntry(pg.at(mid), key) < 0) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

// Where the first piece of a record image (key 19) was last seen, by record number. Only a
// guess: every use checks that the page holds that very entry, and falls back to a descent.
// The table belongs to one open file at a time; opening or closing any store forgets it.
struct Hint {  // all zero = no hint (generation 0 is never current)
    uint32_t rec;
    uint16_t generation;
    int16_t page;
};
constexpr uint32_t kHints = 1u << 15;  // record numbers map to slots by their low bits
Hint hints[kHints];  // 256 KiB, zero until used
int32_t hintFile = -1;
uint16_t hintGeneration = 1;

}  // namespace

void forgetHints() {
    hintFile = -1;
    if (++hintGeneration == 0) ++hintGeneration;
}

namespace {


void noteImage(const DB_HANDLE* h, uint32_t rec, int16_t page) {
    if (hintFile != h->file) {
        forgetHints();
        hintFile = h->file;
    }
    Hint& e = hints[rec & (kHints - 1)];
    e.rec = rec;
    e.generation = hintGeneration;
    e.page = page;
}

int16_t hintedPage(const DB_HANDLE* h, uint32_t rec) {
    if (hintFile != h->file) return -1;
    const Hint& e = hints[rec & (kHints - 1)];
    return e.generation == hintGeneration && e.rec == rec ? e.page : -1;
}

int16_t store(DB_HANDLE* h, Page& pg) {
    return pf::writePage(h, reinterpret_cast<const DB_PAGE*>(&pg.b), pg.no);
}

int16_t checkArgs(DB_HANDLE* h, int16_t k) {
    if (h->state != 'O') return DB_NOTOPEN;
    if (k < 1 || k > 20) return DB_BADKEY;
    return 0;
}

void saveCursorEntry(DB_HANDLE* h, int16_t k, const Entry& e) {
    int n = e.textlen - 1;
    if (n > DB_MAXKEYTEXT) n = DB_MAXKEYTEXT;
    copyBytes(h->savedbuf[k], e.text + 1, static_cast<size_t>(n));
    h->savedbuf[k][n] = '\0';
    h->savedtext[k] = h->savedbuf[k];
    h->savedrecord[k] = e.rec;
    h->savedsegment[k] = e.seg;
}

// Places the cursor of k on entry i of pg, already parsed as e, and copies it as the last
// found entry.
void setCursor(DB_HANDLE* h, int16_t k, const Page& pg, int i, const Entry& e) {
    h->curpage[k] = pg.no;
    h->curindex[k] = static_cast<int16_t>(i);
    h->removed[k] = 0;
    if (e.text[0] == DB_KEYDATA && e.textlen == 1 && (e.seg & 0x7F) == 0) noteImage(h, e.rec, pg.no);
    h->curkey[k] = e.text[0];
    copyBytes(h->found, e.p, static_cast<size_t>(e.size));
    h->argrecord = e.rec;
    h->foundsegment = e.seg;
    saveCursorEntry(h, k, e);
}

// Places the cursor of k on entry i of pg (an index past the entries sets only the place).
void setCursor(DB_HANDLE* h, int16_t k, const Page& pg, int i) {
    if (i >= 0 && i < pg.count()) {
        setCursor(h, k, pg, i, pg.at(i));
        return;
    }
    h->curpage[k] = pg.no;
    h->curindex[k] = static_cast<int16_t>(i);
    h->removed[k] = 0;
}

// Cursor past the last entry (of page pg, which has no next page) or before the first.
void setCursorEdge(DB_HANDLE* h, int16_t k, const Page& pg, bool end) {
    h->curpage[k] = pg.no;
    h->curindex[k] = end ? pg.count() : -1;
    h->curkey[k] = static_cast<int16_t>(end ? k + 1 : 0);
    h->removed[k] = 0;
}

// Walks from (pg, i) to the next entry, following next links past empty pages.
// Returns 0 and the new index, 1 at the end of the file, or a status.
int16_t stepForward(DB_HANDLE* h, Page& pg, int& i) {
    ++i;
    int hops = 0;
    while (i >= pg.count()) {
        if (pg.next() == -1) return 1;
        if (++hops > h->pagespresent) return DB_DESCENT;  // a cycle of empty pages
        int16_t st = view(h, pg, pg.next());
        if (st != 0) return st;
        if (pg.level() != 0) return DB_DESCENT;
        i = 0;
    }
    return 0;
}

int16_t stepBackward(DB_HANDLE* h, Page& pg, int& i) {
    --i;
    int hops = 0;
    while (i < 0) {
        if (pg.prev() == -1) return 1;
        if (++hops > h->pagespresent) return DB_DESCENT;
        int16_t st = view(h, pg, pg.prev());
        if (st != 0) return st;
        if (pg.level() != 0) return DB_DESCENT;
        i = pg.count() - 1;
    }
    return 0;
}

// Reads the data of the item whose first piece is entry i of pg (parsed: firstPiece) into
// buf (at most n bytes); the total length goes to h->datalength. The caller's cursor is not
// moved.
int16_t readData(DB_HANDLE* h, const Page& start, int i, const Entry& firstPiece, void* buf, uint16_t n) {
    // The pieces are read from the caller's page while they last; a page of its own is taken
    // only when they go on in the next page.
    Page local;
    const Page* pg = &start;
    uint8_t* out = static_cast<uint8_t*>(buf);
    uint32_t total = 0;
    int16_t st = 0;
    Entry e = firstPiece;
    Key first;
    copyBytes(first.text, e.text, static_cast<size_t>(e.textlen > DB_MAXKEYTEXT + 1 ? DB_MAXKEYTEXT + 1 : e.textlen));
    first.len = e.textlen > DB_MAXKEYTEXT + 1 ? DB_MAXKEYTEXT + 1 : e.textlen;
    uint32_t rec = e.rec;
    for (;;) {
        if (out && total < n) {
            uint32_t take = static_cast<uint32_t>(e.datalen);
            if (take > n - total) take = n - total;
            copyBytes(out + total, e.data, take);
        }
        total += static_cast<uint32_t>(e.datalen);
        if (e.seg & 0x80) break;
        int idx = e.seg & 0x7F;
        uint8_t prevBytes[256];
        Entry prevE = e;
        if (i + 1 >= pg->count()) {
            // The next piece lies beyond this page: keep the entry, which the load replaces.
            copyBytes(prevBytes, e.p, static_cast<size_t>(e.size));
            prevE = entryAt(prevBytes, 0, false);
            if (pg != &local) {
                local.no = pg->no;
                local.b.count = pg->count();
                local.b.next = pg->next();
                pg = &local;
            }
        }
        int16_t s = pg == &local ? stepForward(h, local, i) : (++i, 0);
        if (s == 1) { st = DB_BADSEQUENCE; break; }
        if (s != 0) { st = s; break; }
        e = pg->at(i);
        if (cmpEntries(e, prevE) <= 0) { st = DB_DESCENT; break; }
        if ((e.seg & 0x7F) != idx + 1 || e.rec != rec ||
            cmpText(e.text, e.textlen, first.text, first.len) != 0) {
            st = DB_BADSEQUENCE;
            break;
        }
    }
    h->datalength = static_cast<uint16_t>(total > 0xFFFF ? 0xFFFF : total);
    return st;
}

// Descends from the root to the leaf for key; leaf gets the page, index the first entry that does
// not compare below the key (or the page's count). Records the search path.
int16_t descend(DB_HANDLE* h, const Key& key, Page& pg, int& index) {
    int16_t st = view(h, pg, h->root);
    if (st != 0) return st == DB_DESCENT ? st : DB_DESCENT;
    int guard = 0;
    while (pg.level() != 0) {
        int level = pg.level();
        g.path[level] = pg.no;
        int16_t child = pg.leftchild();
        int i = 0;
        for (;;) {
            // The candidate child is the one of the last entry below the key.
            i = lowerBound(pg, key);
            child = i == 0 ? pg.leftchild() : pg.at(i - 1).child;
            if (i < pg.count() || pg.next() == -1) break;
            // Every entry is below the key: go on in the right neighbour.
            if (++guard > h->pagespresent) return DB_DESCENT;
            st = view(h, pg, pg.next());
            if (st != 0) return DB_DESCENT;
            if (pg.level() != level) return DB_DESCENT;
            g.path[level] = pg.no;
            child = pg.leftchild();
            i = 0;
        }
        st = view(h, pg, child);
        if (st != 0) return DB_DESCENT;
        if (pg.level() != level - 1) return DB_DESCENT;
    }
    index = lowerBound(pg, key);
    return 0;
}

// Tries a leaf already known (a cursor's page, a record image's last place) instead of a
// descent from the root. It answers only when a descent would surely end on that leaf at the
// same index: the entry there must be the very one asked for (the first piece of its item),
// or, with strict, the key must fall strictly between two entries of the page. Anything else,
// a read failure included, leaves it to the descent (the result is then false).
bool tryLeaf(DB_HANDLE* h, int16_t no, const Key& key, bool strict, Page& pg, int& index) {
    if (no < 0 || view(h, pg, no) != 0 || pg.level() != 0) return false;
    int i = lowerBound(pg, key);
    if (i >= pg.count()) return false;
    if (strict) {
        if (i == 0) return false;
    } else {
        Entry e = pg.at(i);
        if (cmpEntry(e, key) != 0 || (e.seg & 0x7F) != 0) return false;
    }
    index = i;
    return true;
}

// The leaf to try first for key k: the record image's last place for key 19, else the page
// of the cursor of k when the cache holds it (a guess that is often wrong must not cost a
// file read).
int16_t knownLeaf(const DB_HANDLE* h, int16_t k, const Key& key) {
    if (k == DB_KEYDATA && key.len == 1) {
        int16_t p = hintedPage(h, key.rec);
        if (p >= 0) return p;
    }
    if (h->curkey[k] == -1 || !pf::cached(h, h->curpage[k])) return -1;
    return h->curpage[k];
}

// From a descent's position, puts the cursor of k on the entry reached (following next links
// past the end of the page) and returns the search result.
int16_t settle(DB_HANDLE* h, int16_t k, const Key& key, Page& pg, int index, void* buf, uint16_t n) {
    int i = index;
    if (i >= pg.count()) {
        i = pg.count() - 1;
        int16_t s = stepForward(h, pg, i);
        if (s == 1) {
            setCursorEdge(h, k, pg, true);
            return DB_NOTFOUND;
        }
        if (s != 0) return s;
    }
    const Entry e = pg.at(i);
    setCursor(h, k, pg, i, e);
    if (e.text[0] != k) return DB_NOTFOUND;  // cursor stays with the other key number
    int c = cmpEntry(e, key);
    int16_t result;
    if (c == 0) result = 0;
    else if (cmpText(e.text, e.textlen, key.text, key.len) == 0) result = 1;
    else result = 2;
    int16_t st = readData(h, pg, i, e, buf, n);
    if (st != 0) return st;
    return result;
}

// Moves every cursor (but skip) standing on page no at index >= from by delta.
void shiftCursors(DB_HANDLE* h, int16_t no, int from, int delta, int skip) {
    for (int k = 0; k < DB_NKEYS; ++k) {
        if (k == skip || h->curkey[k] == -1) continue;
        if (h->curpage[k] == no && h->curindex[k] >= from)
            h->curindex[k] = static_cast<int16_t>(h->curindex[k] + delta);
    }
}

int entryEnd(const Page& pg) {
    return pg.count() == 0 ? 0 : pg.off[pg.count() - 1] + pg.area()[pg.off[pg.count() - 1]] + 1;
}

void placeEntry(Page& pg, int i, const uint8_t* e, int size) {
    int end = entryEnd(pg);
    int at = i < pg.count() ? pg.off[i] : end;
    std::memmove(pg.b.area + at + size, pg.b.area + at, static_cast<size_t>(end - at));
    std::memcpy(pg.b.area + at, e, static_cast<size_t>(size));
    pg.b.count = static_cast<int16_t>(pg.count() + 1);
    pg.b.freebytes = static_cast<int16_t>(pg.freebytes() - size);
    int off = 0;
    for (int j = 0; j < pg.count(); ++j) {
        pg.off[j] = static_cast<int16_t>(off);
        off += pg.b.area[off] + 1;
    }
}

int buildEntry(uint8_t* out, const uint8_t* text, int textlen, uint32_t rec, uint8_t seg, bool interior,
               int16_t child, const uint8_t* data, int datalen) {
    int n = 1;
    std::memcpy(out + n, text, static_cast<size_t>(textlen));
    n += textlen;
    out[n++] = 0;
    std::memcpy(out + n, &rec, 4);
    n += 4;
    out[n++] = seg;
    if (interior) {
        std::memcpy(out + n, &child, 2);
        n += 2;
    } else if (datalen > 0) {
        std::memcpy(out + n, data, static_cast<size_t>(datalen));
        n += datalen;
    }
    out[0] = static_cast<uint8_t>(n - 1);
    return n;
}

// Inserts entry e at index i of leaf pg and splits upward while a page is overfull.
int16_t insertAt(DB_HANDLE* h, int16_t k, Page& pg, int i, const uint8_t* e, int size) {
    own(pg);
    placeEntry(pg, i, e, size);
    shiftCursors(h, pg.no, i, 1, k);
    setCursor(h, k, pg, i);

    Page bufs[2];
    Page* p = &pg;         // the page being inserted into
    Page* q = &bufs[0];    // the new right page
    Page* par = &bufs[1];  // the parent (or the right neighbour while relinking)
    bool firstSplit = true, written = false, split = false;
    while (p->freebytes() < 0) {
        int16_t st = pf::growFile(h);
        if (st != 0 && firstSplit) return st;
        int16_t qno = pf::allocPage(h);
        if (qno == DB_NOPAGE) return DB_NOPAGE;
        if (qno < 0) return DB_WRITEFAIL;
        split = true;
        bool interior = p->interior();
        // The left page keeps every entry whose end lies below the threshold.
        int threshold = p->next() != -1 ? 520 : 1000;
        int sep = 0, cum = 0;
        for (int j = 0; j < p->count(); ++j) {
            cum += p->b.area[p->off[j]] + 1;
            if (cum < threshold) sep = j;
            else break;
        }
        if (sep >= p->count() - 1) sep = p->count() - 2;
        if (sep < 0) return DB_DESCENT;
        int keepEnd = p->off[sep + 1];
        int end = entryEnd(*p);
        Entry sepE = p->at(sep);
        uint8_t parentEntry[256];
        int psize = buildEntry(parentEntry, sepE.text, sepE.textlen, sepE.rec, sepE.seg, true, qno, nullptr, 0);

        std::memset(&q->b, 0, sizeof q->b);
        q->no = qno;
        q->b.level = p->level();
        q->b.leftchild = interior ? sepE.child : 0;
        q->b.next = p->next();
        q->b.prev = p->no;
        std::memcpy(q->b.area, p->b.area + keepEnd, static_cast<size_t>(end - keepEnd));
        q->b.count = static_cast<int16_t>(p->count() - sep - 1);
        q->b.freebytes = static_cast<int16_t>(DB_AREASIZE - (end - keepEnd));
        if (checkPage(*q, DB_AREASIZE) != 0) return DB_DESCENT;

        std::memset(p->b.area + keepEnd, 0, static_cast<size_t>(kBigArea - keepEnd));
        int16_t oldNext = p->next();
        p->b.next = qno;
        int newCount = sep + 1;
        p->b.count = static_cast<int16_t>(newCount);
        p->b.freebytes = static_cast<int16_t>(DB_AREASIZE - keepEnd);
        if (firstSplit) {
            for (int kk = 0; kk < DB_NKEYS; ++kk) {
                if (h->curkey[kk] != -1 && h->curpage[kk] == p->no && h->curindex[kk] >= newCount) {
                    h->curpage[kk] = qno;
                    h->curindex[kk] = static_cast<int16_t>(h->curindex[kk] - newCount);
                }
            }
        }
        st = store(h, *q);
        if (st != 0) return st;
        st = store(h, *p);
        if (st != 0) return st;
        written = true;
        if (oldNext != -1) {
            st = load(h, *par, oldNext);
            if (st != 0) return st == DB_DESCENT ? st : DB_WRITEFAIL;
            par->b.prev = qno;
            st = store(h, *par);
            if (st != 0) return st;
        }

        int pi = 0;
        if (p->no == h->root) {
            if (h->levels >= DB_MAXLEVELS - 1) return DB_DESCENT;
            int16_t rno = pf::allocPage(h);
            if (rno == DB_NOPAGE) return DB_NOPAGE;
            if (rno < 0) return DB_WRITEFAIL;
            std::memset(&par->b, 0, sizeof par->b);
            pf::emptyPage(par->dbpage(), h->levels);
            par->b.leftchild = p->no;
            par->no = rno;
            h->root = rno;
            h->levels = static_cast<int16_t>(h->levels + 1);
            st = store(h, *par);
            if (st != 0) return st;
            if (h->writepolicy >= 1) {
                if (pf::writeHeader(h) != 0) return DB_WRITEFAIL;
            } else {
                h->headerdirty = 1;
            }
        } else {
            int level = p->level() + 1;
            if (level >= DB_MAXLEVELS) return DB_DESCENT;
            st = load(h, *par, g.path[level]);
            if (st != 0) return st == DB_DESCENT ? st : DB_WRITEFAIL;
            if (par->level() != level) return DB_DESCENT;
            pi = -1;
            if (par->leftchild() == p->no) pi = 0;
            for (int j = 0; pi < 0 && j < par->count(); ++j)
                if (par->at(j).child == p->no) pi = j + 1;
            if (pi < 0) {  // not linked from the page on the path: place by key
                pi = 0;
                while (pi < par->count() && cmpEntries(par->at(pi), sepE) < 0) ++pi;
            }
        }
        placeEntry(*par, pi, parentEntry, psize);
        // The parent continues the loop; the old page's buffer becomes scratch.
        Page* old = p;
        p = par;
        par = old;
        written = false;
        firstSplit = false;
    }
    if (!written) {
        int16_t st = store(h, *p);
        if (st != 0) return st;
    }
    if (split) h->headerdirty = 1;
    return 0;
}

}  // namespace

void resetCursors(DB_HANDLE* h) {
    forgetHints();
    for (int k = 0; k < DB_NKEYS; ++k) {
        h->curindex[k] = 0;
        h->curpage[k] = -1;
        h->curkey[k] = -1;
        h->removed[k] = 0;
        h->savedbuf[k][0] = '\0';
        h->savedtext[k] = h->savedbuf[k];
        h->savedrecord[k] = 0;
        h->savedsegment[k] = 0;
        h->lockmark[k] = 'U';
    }
}

uint32_t cursorRecord(const DB_HANDLE* h) { return h->argrecord; }

int16_t search(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec, void* buf, uint16_t n) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    Key key = makeKey(k, text, rec, 0);
    Page pg;
    int index = 0;
    if (!tryLeaf(h, knownLeaf(h, k, key), key, false, pg, index)) {
        st = descend(h, key, pg, index);
        if (st != 0) return st;
    }
    return settle(h, k, key, pg, index, buf, n);
}

int16_t first(DB_HANDLE* h, int16_t k, void* buf, uint16_t n) {
    int16_t st = search(h, k, "", 0, buf, n);
    return st >= 0 ? 0 : st;
}

int16_t last(DB_HANDLE* h, int16_t k, void* buf, uint16_t n) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    Key key = makeKey(static_cast<int16_t>(k + 1), "", 0, 0);
    Page pg;
    int index = 0;
    st = descend(h, key, pg, index);
    if (st != 0) return st;
    st = settle(h, k, key, pg, index, nullptr, 0);
    if (st != DB_NOTFOUND) return st < 0 ? st : DB_DESCENT;  // an entry of key k above k + 1
    return previous(h, k, buf, n);
}

namespace {
// Loads the page of the cursor of k; the index is clamped to the page.
int16_t loadCursor(DB_HANDLE* h, int16_t k, Page& pg, int& i) {
    int16_t st = view(h, pg, h->curpage[k]);
    if (st != 0) return st;
    if (pg.level() != 0) return DB_DESCENT;
    i = h->curindex[k];
    if (i > pg.count()) i = pg.count();
    if (i < -1) i = -1;
    return 0;
}
}  // namespace

int16_t next(DB_HANDLE* h, int16_t k, void* buf, uint16_t n) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    if (h->curkey[k] == -1) return first(h, k, buf, n);
    if (h->curkey[k] > k) return DB_NOTFOUND;
    Page pg;
    int i = 0;
    st = loadCursor(h, k, pg, i);
    if (st != 0) return st;
    bool havePrev = i >= 0 && i < pg.count();
    uint8_t prevBytes[256];
    if (havePrev) copyBytes(prevBytes, pg.area() + pg.off[i], pg.area()[pg.off[i]] + 1u);
    Entry e;
    for (;;) {
        int16_t s = stepForward(h, pg, i);
        h->removed[k] = 0;
        if (s == 1) {
            setCursorEdge(h, k, pg, true);
            return DB_NOTFOUND;
        }
        if (s != 0) return s;
        e = pg.at(i);
        if (havePrev && cmpEntries(e, entryAt(prevBytes, 0, false)) <= 0) return DB_DESCENT;
        if (e.text[0] != k) {
            setCursor(h, k, pg, i, e);
            return DB_NOTFOUND;
        }
        if ((e.seg & 0x7F) == 0) break;
        copyBytes(prevBytes, e.p, static_cast<size_t>(e.size));
        havePrev = true;
    }
    setCursor(h, k, pg, i, e);
    return readData(h, pg, i, e, buf, n);
}

int16_t previous(DB_HANDLE* h, int16_t k, void* buf, uint16_t n) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    if (h->curkey[k] == -1) return last(h, k, buf, n);
    if (h->curkey[k] < k) return DB_NOTFOUND;
    Page pg;
    int i = 0;
    st = loadCursor(h, k, pg, i);
    if (st != 0) return st;
    bool havePrev = i >= 0 && i < pg.count();
    uint8_t prevBytes[256];
    if (havePrev) copyBytes(prevBytes, pg.area() + pg.off[i], pg.area()[pg.off[i]] + 1u);
    bool stay = h->removed[k] && i >= 0 && i < pg.count();
    if (stay) havePrev = false;  // the entry at the cursor itself is the answer
    Entry e;
    h->removed[k] = 0;
    for (;;) {
        if (stay) {
            stay = false;
        } else {
            int16_t s = stepBackward(h, pg, i);
            if (s == 1) {
                setCursorEdge(h, k, pg, false);
                return DB_NOTFOUND;
            }
            if (s != 0) return s;
        }
        e = pg.at(i);
        if (havePrev && cmpEntries(e, entryAt(prevBytes, 0, false)) >= 0) return DB_DESCENT;
        if (e.text[0] != k) {
            setCursor(h, k, pg, i, e);
            return DB_NOTFOUND;
        }
        if ((e.seg & 0x7F) == 0) break;
        copyBytes(prevBytes, e.p, static_cast<size_t>(e.size));
        havePrev = true;
    }
    setCursor(h, k, pg, i, e);
    return readData(h, pg, i, e, buf, n);
}

int16_t removeAtCursor(DB_HANDLE* h, int16_t k) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    if (h->removed[k] || h->curkey[k] != k) return DB_NOTFOUND;
    Page pg;
    st = load(h, pg, h->curpage[k]);
    if (st != 0) return st == DB_DESCENT ? st : DB_WRITEFAIL;
    if (pg.level() != 0) return DB_DESCENT;
    int i = h->curindex[k];
    if (i < 0 || i >= pg.count()) return DB_NOTFOUND;
    Entry e = pg.at(i);
    if (e.text[0] != k) return DB_NOTFOUND;
    uint8_t firstBytes[256];
    std::memcpy(firstBytes, e.p, static_cast<size_t>(e.size));
    Entry firstE = entryAt(firstBytes, 0, false);
    int hops = 0;
    for (;;) {
        Entry cur = pg.at(i);
        uint8_t seg = cur.seg;
        int size = cur.size;
        int at = pg.off[i];
        int end = entryEnd(pg);
        std::memmove(pg.b.area + at, pg.b.area + at + size, static_cast<size_t>(end - at - size));
        std::memset(pg.b.area + end - size, 0, static_cast<size_t>(size));
        pg.b.count = static_cast<int16_t>(pg.count() - 1);
        pg.b.freebytes = static_cast<int16_t>(pg.freebytes() + size);
        for (int j = i; j < pg.count(); ++j) pg.off[j] = static_cast<int16_t>(pg.off[j + 1] - size);
        for (int kk = 0; kk < DB_NKEYS; ++kk) {
            if (h->curkey[kk] != -1 && h->curpage[kk] == pg.no && h->curindex[kk] >= i)
                h->curindex[kk] = static_cast<int16_t>(h->curindex[kk] - 1);
        }
        h->removed[k] = 1;
        if (seg & 0x80) break;
        int idx = seg & 0x7F;
        // The next piece: at the same index, or first of a following page.
        bool more = true;
        while (i >= pg.count()) {
            if (pg.next() == -1 || ++hops > h->pagespresent) {
                more = false;
                break;
            }
            if (pf::writePage(h, pg.dbpage(), pg.no) != 0) return DB_WRITEFAIL;
            st = load(h, pg, pg.next());
            if (st != 0) return st == DB_DESCENT ? st : DB_WRITEFAIL;
            if (pg.level() != 0) return DB_DESCENT;
            i = 0;
        }
        if (!more) break;
        Entry nx = pg.at(i);
        if ((nx.seg & 0x7F) != idx + 1 || nx.rec != firstE.rec ||
            cmpText(nx.text, nx.textlen, firstE.text, firstE.textlen) != 0)
            break;
    }
    if (pf::writePage(h, pg.dbpage(), pg.no) != 0) return DB_WRITEFAIL;
    return 0;
}

int16_t remove(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    Key key = makeKey(k, text, rec, 0);
    Page pg;
    int index = 0;
    if (!tryLeaf(h, knownLeaf(h, k, key), key, false, pg, index)) {
        st = descend(h, key, pg, index);
        if (st != 0) return DB_DESCENT;
    }
    st = settle(h, k, key, pg, index, nullptr, 0);
    if (st != 0) return st < -1 && st != DB_BADSEQUENCE ? st : DB_NOTFOUND;
    return removeAtCursor(h, k);
}

int16_t insert(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec, const void* data, uint16_t n,
               bool unique) {
    int16_t st = checkArgs(h, k);
    if (st != 0) return st;
    if (unique) {
        st = search(h, k, text, 0, nullptr, 0);
        if (st == 0 || st == 1) return DB_NOTFOUND;
        if (st < -1) return st;
    }
    Key key = makeKey(k, text, rec, 0);
    int maxPiece = 248 - key.len;
    int pieces = n == 0 ? 1 : (n + maxPiece - 1) / maxPiece;
    if (pieces > 128) return DB_IMAGELONG;
    const uint8_t* src = static_cast<const uint8_t*>(data);
    for (int piece = 0; piece < pieces; ++piece) {
        bool lastPiece = piece == pieces - 1;
        key.seg = static_cast<uint8_t>(piece | (lastPiece ? 0x80 : 0));
        Page pg;
        int index = 0;
        // A piece after the first goes right after the piece before, where the cursor stands.
        // A known leaf stands in for the descent only when the entry fits without a split: a
        // split needs the search path of a descent.
        int16_t known = piece > 0 ? h->curpage[k] : knownLeaf(h, k, key);
        int need = 1 + key.len + 1 + 5 + (n == 0 ? 0 : (lastPiece ? n - piece * maxPiece : maxPiece));
        if (tryLeaf(h, known, key, true, pg, index) && pg.freebytes() >= need) {
            st = 0;
        } else {
            st = descend(h, key, pg, index);
        }
        if (st == 0) own(pg);  // the leaf is about to change
        if (st == 0 && !unique && piece == 0) {
            // An equal (text, record) entry may stand at the position or on a following page.
            Page look;
            std::memcpy(&look.b, &pg.b, sizeof pg.b);
            std::memcpy(look.off, pg.off, sizeof pg.off);
            look.no = pg.no;
            int i = index;
            int16_t s = 0;
            if (i >= look.count()) {
                i = look.count() - 1;
                s = stepForward(h, look, i);
            }
            if (s == 0) {
                Entry e = look.at(i);
                if (cmpEntry(e, makeKey(k, text, rec, 0)) == 0) return DB_NOTFOUND;
            } else if (s != 1) {
                st = s;
            }
        }
        if (st == 0) {
            uint8_t entry[256];
            int len = n == 0 ? 0 : (lastPiece ? n - piece * maxPiece : maxPiece);
            int size = buildEntry(entry, key.text, key.len, rec, key.seg, false, 0,
                                  src ? src + piece * maxPiece : nullptr, len);
            st = insertAt(h, k, pg, index, entry, size);
        } else if (st != DB_DESCENT && st < -1) {
            st = DB_DESCENT;
        }
        if (st != 0) {
            // A piece failed: take back the pieces already in, so that no partial item stays.
            if (piece > 0) remove(h, k, text, rec);
            return st;
        }
    }
    if (pieces > 1) {
        Key firstKey = makeKey(k, text, rec, 0);
        Page pg;
        int index = 0;
        if (tryLeaf(h, knownLeaf(h, k, firstKey), firstKey, false, pg, index) ||
            descend(h, firstKey, pg, index) == 0)
            settle(h, k, firstKey, pg, index, nullptr, 0);
    }
    return 0;
}

void reset() {
    g = BtreeState{};
    for (Parsed& m : parsed) m.version = 0;
    forgetHints();
}

}  // namespace qorsf::bt
