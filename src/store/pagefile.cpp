// Record file and page cache.
//
// File layout: block 0 is the header block (bytes 0-27 the DB_HEADER, the rest zero and never
// read); page p is block p + 1. The cache is one block of DB_CACHECOUNT slots kept in a list
// ordered by use (most recent first), shared by every open store and tagged by file number.
#include "store/pagefile.h"

#include <cstring>

#include "store/journal.h"

#include "qorul.h"
#include "qorux.h"

namespace qorsf::pf {

namespace {

struct PageFileState {
    uint32_t cacheHandle = 0;
    DB_CACHESLOT* slots = nullptr;  // valid while the cache block is locked (its whole life)
    int head = -1;                  // slot index at the head of the use list
    int16_t lastIo = 0;
};
PageFileState g;

// Version of each slot's content; the counter only grows (also across resets), so a version
// never names two different contents.
uint32_t versionCounter = 0;
uint32_t slotVersion[DB_CACHECOUNT] = {};
uint32_t newVersion() {
    if (++versionCounter == 0) ++versionCounter;  // 0 stays "unknown"
    return versionCounter;
}

// The version of the content of pages read lately, kept past the slot that held them: a page
// read again unchanged gets the version it had, so what was worked out from its bytes (the
// B-tree's parsed entries) still holds. The store's file is locked for as long as it is open,
// so its pages change only through these functions: a write gives the page a new version, a
// direct write forgets it, and a file's entries go with its slots (close, rollback).
struct PageVersion {
    int16_t file = -1;
    int16_t pageno = -1;
    uint32_t version = 0;
};
constexpr int kPageVersions = 1024;
PageVersion pageVersions[kPageVersions];
PageVersion& pageVersionOf(int16_t file, int16_t pageno) {
    return pageVersions[(static_cast<uint32_t>(static_cast<uint16_t>(pageno)) ^ (static_cast<uint32_t>(file) << 7)) &
                        (kPageVersions - 1)];
}
uint32_t versionOfRead(int16_t file, int16_t pageno) {
    PageVersion& v = pageVersionOf(file, pageno);
    if (v.file != file || v.pageno != pageno || v.version == 0) v = PageVersion{file, pageno, newVersion()};
    return v.version;
}
void pageIs(int16_t file, int16_t pageno, uint32_t version) { pageVersionOf(file, pageno) = {file, pageno, version}; }
void forgetPage(int16_t file, int16_t pageno) {
    PageVersion& v = pageVersionOf(file, pageno);
    if (v.file == file && v.pageno == pageno) v = PageVersion{};
}
void forgetFile(int16_t file) {
    for (PageVersion& v : pageVersions)
        if (v.file == file) v = PageVersion{};
}

constexpr uint32_t kFail32 = 0xFFFFFFFFu;

uint32_t blockOffset(int16_t pageno) { return (static_cast<uint32_t>(pageno) + 1u) * DB_PAGESIZE; }

int nextOf(int slot) { return g.slots[slot].link == 0 ? -1 : static_cast<int>(g.slots[slot].link) - 1; }

// Finds the slot of (file, pageno), else the least recently used one, and moves it to the head.
int lookup(int16_t file, int16_t pageno) {
    int prev = -1, cur = g.head, prevOfCur = -1;
    int steps = 0;
    while (cur >= 0 && steps < DB_CACHECOUNT) {
        if (g.slots[cur].file == file && g.slots[cur].pageno == pageno) break;
        int nx = nextOf(cur);
        if (nx < 0) break;  // cur is the last slot
        prevOfCur = cur;
        cur = nx;
        ++steps;
    }
    prev = prevOfCur;
    if (prev >= 0) {  // unlink and put at the head
        g.slots[prev].link = g.slots[cur].link;
        g.slots[cur].link = static_cast<uint32_t>(g.head) + 1u;
        g.head = cur;
    }
    return cur;
}

int16_t writeBack(int slot) {
    DB_CACHESLOT& s = g.slots[slot];
    if (s.file >= 0 && s.dirty) {
        int16_t st = writePageDirect(s.file, &s.page, s.pageno);
        if (st != 0) return st;
        pageIs(s.file, s.pageno, slotVersion[slot]);  // the file holds what the slot holds
        s.dirty = 0;
    }
    return 0;
}

}  // namespace

int16_t lastIo() { return g.lastIo; }
void setLastIo(int16_t status) { g.lastIo = status; }

void emptyPage(DB_PAGE* page, int16_t level) {
    std::memset(page, 0, sizeof *page);
    page->level = level;
    page->freebytes = DB_AREASIZE;
    page->next = -1;
    page->prev = -1;
}

int16_t readHeader(DB_HANDLE* h, DB_HEADER* out) {
    int16_t st = 0;
    if (jr::get(static_cast<int16_t>(h->file), 0, 0, out, sizeof *out)) {
        // the header as the operation under way wrote it
    } else if (UL_seek(static_cast<int16_t>(h->file), 0, 0) != 0) {
        st = DB_READSEEK;
    } else if (UL_read(static_cast<int16_t>(h->file), out, sizeof *out) != sizeof *out) {
        st = DB_SHORTREAD;
    } else if (out->v != 'V' || out->a1 != 'A' || out->l != 'L' || out->i != 'I' || out->d != 'D' ||
               out->a2 != 'A' || out->t != 'T' || out->e != 'E') {
        st = DB_NOTSTORE;
    }
    g.lastIo = st;
    return st;
}

int16_t writeHeader(DB_HANDLE* h) {
    DB_HEADER hd{};
    hd.v = 'V';
    hd.root = h->root;
    hd.a1 = 'A';
    hd.l = 'L';
    hd.i = 'I';
    hd.levels = h->levels;
    hd.d = 'D';
    hd.pagecounter = h->pagecounter;
    hd.a2 = 'A';
    hd.recordcounter = h->recordcounter;
    hd.t = 'T';
    hd.pagespresent = h->pagespresent;
    hd.e = 'E';
    hd.writecount = ++h->writecount;
    int16_t st = 0;
    if (jr::collecting(static_cast<int16_t>(h->file))) {
        st = jr::put(static_cast<int16_t>(h->file), 0, 0, &hd, sizeof hd);
        if (st == 0) h->headerdirty = 0;
    } else if (UL_seek(static_cast<int16_t>(h->file), 0, 0) != 0) {
        st = DB_WRITEFAIL;
    } else if (UL_write(static_cast<int16_t>(h->file), &hd, sizeof hd) != sizeof hd) {
        st = DB_SHORTWRITE;
    } else {
        h->headerdirty = 0;
    }
    g.lastIo = st;
    return st;
}

int16_t readPageDirect(int16_t file, DB_PAGE* page, int16_t pageno) {
    int16_t st = 0;
    uint32_t want = blockOffset(pageno);
    if (pageno >= 0 && jr::get(file, static_cast<uint32_t>(pageno) + 1u, 0, page, DB_PAGESIZE)) {
        // the page as the operation under way wrote it
    } else if (pageno < 0 || UL_seek(file, want, 0) != want) {
        st = DB_READSEEK;
    } else if (UL_read(file, page, DB_PAGESIZE) != DB_PAGESIZE) {
        st = DB_SHORTREAD;
    }
    g.lastIo = st;
    return st;
}

int16_t writePageDirect(int16_t file, const DB_PAGE* page, int16_t pageno) {
    forgetPage(file, pageno);
    int16_t st = 0;
    uint32_t want = blockOffset(pageno);
    if (pageno >= 0 && jr::collecting(file)) {
        // Kept with the operation under way; the journal puts it in the file at its end.
        st = jr::put(file, static_cast<uint32_t>(pageno) + 1u, 0, page, DB_PAGESIZE);
        g.lastIo = st;
        return st;
    }
    uint32_t pos = pageno < 0 ? kFail32 : UL_seek(file, want, 0);
    if (pos != want) {
        st = DB_SHORTWRITE;
    } else {
        uint16_t n = UL_write(file, page, DB_PAGESIZE);
        if (n == 0xFFFF) st = DB_WRITEFAIL;
        else if (n != DB_PAGESIZE) st = DB_SHORTWRITE;
    }
    g.lastIo = st;
    return st;
}

int16_t pinPage(DB_HANDLE* h, const DB_PAGE** page, int16_t pageno, int* slotOut, uint32_t* version) {
    int16_t file = static_cast<int16_t>(h->file);
    *page = nullptr;
    *slotOut = -1;
    *version = 0;
    if (!g.slots) return 0;
    int slot = lookup(file, pageno);
    DB_CACHESLOT& s = g.slots[slot];
    if (!(s.file == file && s.pageno == pageno)) {
        int16_t st = writeBack(slot);
        if (st != 0) return st;
        s.file = -1;
        s.pageno = -1;
        s.dirty = 0;
        slotVersion[slot] = newVersion();
        st = readPageDirect(file, &s.page, pageno);
        if (st != 0) return st;  // the slot stays free: no later lookup sees partial content
        slotVersion[slot] = versionOfRead(file, pageno);
        s.file = file;
        s.pageno = pageno;
    }
    *page = &s.page;
    *slotOut = slot;
    *version = slotVersion[slot];
    return 0;
}

int16_t readPage(DB_HANDLE* h, DB_PAGE* page, int16_t pageno, int* slotOut, uint32_t* version) {
    int16_t file = static_cast<int16_t>(h->file);
    *slotOut = -1;
    *version = 0;
    if (!g.slots) return readPageDirect(file, page, pageno);
    const DB_PAGE* in = nullptr;
    int16_t st = pinPage(h, &in, pageno, slotOut, version);
    if (st != 0) return st;
    std::memcpy(page, in, sizeof *page);
    return 0;
}

int16_t readPage(DB_HANDLE* h, DB_PAGE* page, int16_t pageno) {
    int slot = -1;
    uint32_t version = 0;
    return readPage(h, page, pageno, &slot, &version);
}

bool cached(const DB_HANDLE* h, int16_t pageno) {
    if (!g.slots) return false;
    for (int i = 0; i < DB_CACHECOUNT; ++i)
        if (g.slots[i].file == static_cast<int16_t>(h->file) && g.slots[i].pageno == pageno) return true;
    return false;
}

int16_t writePage(DB_HANDLE* h, const DB_PAGE* page, int16_t pageno) {
    int16_t file = static_cast<int16_t>(h->file);
    h->headerdirty = 1;
    bool atOnce = h->writepolicy >= 3 || (h->writepolicy == 2 && page->level == 0);
    if (!g.slots) {
        return writePageDirect(file, page, pageno);
    }
    int slot = lookup(file, pageno);
    DB_CACHESLOT& s = g.slots[slot];
    if (!(s.file == file && s.pageno == pageno)) {
        int16_t st = writeBack(slot);
        if (st != 0) return st;
    }
    std::memcpy(&s.page, page, sizeof *page);
    slotVersion[slot] = newVersion();
    pageIs(file, pageno, slotVersion[slot]);
    s.file = file;
    s.pageno = pageno;
    s.dirty = 1;
    if (atOnce) {
        int16_t st = writePageDirect(file, &s.page, pageno);
        if (st != 0) {
            // The file keeps its old page; the slot must not claim otherwise.
            forgetPage(file, pageno);
            s.file = -1;
            s.pageno = -1;
            s.dirty = 0;
            return st;
        }
        pageIs(file, pageno, slotVersion[slot]);
        s.dirty = 0;
    }
    return 0;
}

int16_t allocPage(DB_HANDLE* h) {
    if (h->pagecounter < 0 || h->pagecounter > DB_MAXPAGE) return DB_NOPAGE;
    int16_t n = h->pagecounter;
    h->pagecounter = static_cast<int16_t>(n + 1);
    if (h->writepolicy >= 1) {
        if (writeHeader(h) != 0) {
            h->pagecounter = n;
            return -1;
        }
    } else {
        h->headerdirty = 1;
    }
    return n;
}

int16_t growFile(DB_HANDLE* h) {
    static const DB_PAGE zero{};
    int16_t st = 0;
    bool wrote = false;
    int16_t file = static_cast<int16_t>(h->file);
    while (h->pagespresent - h->pagecounter < h->levels + 1) {
        if (h->pagespresent < 0 || h->pagespresent > DB_MAXPAGE) break;  // no page number left
        st = writePageDirect(file, &zero, h->pagespresent);
        if (st != 0) break;
        h->pagespresent = static_cast<int16_t>(h->pagespresent + 1);
        h->filegrown = 1;
        wrote = true;
    }
    if (wrote && h->writepolicy != 0 && h->openmode == 'E') {
        h->filegrown = 0;
        if (h->writepolicy >= 1) {
            int16_t hs = writeHeader(h);
            if (st == 0) st = hs;
        }
    }
    if (wrote) h->headerdirty = 1;
    h->lastio = st;
    g.lastIo = st;
    return st;
}

int16_t flushDrop(int16_t file) {
    forgetFile(file);
    if (!g.slots) return 0;
    int16_t first = 0;
    for (int i = 0; i < DB_CACHECOUNT; ++i) {
        DB_CACHESLOT& s = g.slots[i];
        if (s.file != file) continue;
        int16_t st = writeBack(i);
        if (st != 0 && first == 0) first = st;
        s.file = -1;
        s.pageno = -1;
        s.dirty = 0;
    }
    return first;
}

void dropFile(int16_t file) {
    forgetFile(file);
    if (!g.slots) return;
    for (int i = 0; i < DB_CACHECOUNT; ++i) {
        if (g.slots[i].file == file) {
            g.slots[i].file = -1;
            g.slots[i].pageno = -1;
            g.slots[i].dirty = 0;
        }
    }
}

int16_t cacheInit() {
    if (g.slots) return 0;
    void* p = nullptr;
    uint32_t handle = 0;
    int16_t st = UX_allochandle(&p, DB_CACHECOUNT * sizeof(DB_CACHESLOT), &handle);
    if (st != 0) return st;
    g.cacheHandle = handle;
    g.slots = static_cast<DB_CACHESLOT*>(p);
    for (int i = 0; i < DB_CACHECOUNT; ++i) {
        g.slots[i].file = -1;
        g.slots[i].pageno = -1;
        g.slots[i].dirty = 0;
        g.slots[i].link = i + 1 < DB_CACHECOUNT ? static_cast<uint32_t>(i + 2) : 0u;
    }
    for (uint32_t& v : slotVersion) v = newVersion();
    g.head = 0;
    return 0;
}

void cacheFree() {
    if (!g.slots) return;
    // A slot left dirty by a store that is still open goes to its file before the block goes.
    for (int i = 0; i < DB_CACHECOUNT; ++i) writeBack(i);
    UL_freehandle(g.cacheHandle);
    g.cacheHandle = 0;
    g.slots = nullptr;
    g.head = -1;
}

bool cacheAllocated() { return g.slots != nullptr; }

void reset() {
    if (g.cacheHandle) UL_freehandle(g.cacheHandle);
    g = PageFileState{};
    for (uint32_t& v : slotVersion) v = newVersion();
    for (PageVersion& v : pageVersions) v = PageVersion{};
}

}  // namespace qorsf::pf
