// The phone book work area, SF_prolog and SF_epilog.
#include "frame/pbwork.h"

#include <cstring>

#include "frame/frame.h"

namespace qorsf {

namespace {

struct PbWorkState {
    uint32_t handle = 0;   // the work area, 0 = not allocated
    bool locked = false;   // the area is locked by this module (one lock, however often it is got)
    bool open = false;     // mirror of the context's open mode, readable without locking
    PbWorkArea* area = nullptr;  // valid only while locked
};

PbWorkState& state() {
    static PbWorkState s;
    return s;
}

// Points the field pointers at the record image and builds the field table of the phone book:
// name and group indexed under keys 1 and 2 with duplicates, info not indexed.
void buildTable(PbWorkArea* a) {
    SF_PBCONTEXT& c = a->context;
    c.name = a->record.name;
    c.group = a->record.group;
    c.info = a->record.info;
    auto field = [](DB_FIELD& f, char keytype, char dups, uint16_t length, uint8_t key, void* buffer) {
        f.type = 'S';
        f.keytype = keytype;
        f.dups = dups;
        f.length = length;
        f.keynum = key;
        f.buffer = buffer;
    };
    field(c.table[0], 'S', 'D', sizeof a->record.name, kPbKeyName, c.name);
    field(c.table[1], 'S', 'D', sizeof a->record.group, kPbKeyGroup, c.group);
    field(c.table[2], 'N', 'N', sizeof a->record.info, 0, c.info);
    std::memset(&c.table[3], 0, sizeof c.table[3]);
    c.table[3].type = 'E';
}

void freeRecordBuffer(SF_PBCONTEXT& c) {
    if (c.recbufHandle) UL_freehandle(c.recbufHandle);
    c.recbufHandle = 0;
    c.recbuf = nullptr;
    c.reclength = 0;
}

}  // namespace

int16_t SF_pbgetarea(uint32_t /*host*/, PbWorkArea** area) {
    PbWorkState& s = state();
    if (area) *area = nullptr;
    if (!s.handle) {
        void* p = nullptr;
        if (int16_t st = UL_allochandle(&p, sizeof(PbWorkArea), &s.handle)) {
            s.handle = 0;
            return st;
        }
        s.area = static_cast<PbWorkArea*>(p);
        s.locked = true;
    } else if (!s.locked) {
        // The area is locked once however many operations get it in a row: the mark, not the
        // lock count, says whether it is held, so one release always frees it.
        void* p = nullptr;
        if (int16_t st = UL_lockhandle(s.handle, &p)) return st;
        s.area = static_cast<PbWorkArea*>(p);
        s.locked = true;
    }
    if (area) *area = s.area;
    return 0;
}

void SF_pbrelease(uint32_t /*host*/) {
    PbWorkState& s = state();
    if (s.handle && s.locked) {
        UL_unlockhandle(s.handle);
        s.locked = false;
        s.area = nullptr;
    }
}

int16_t SF_prolog(uint32_t host, SF_PBCONTEXT** context, uint16_t mode) {
    if (context) *context = nullptr;
    PbWorkArea* a = nullptr;
    if (int16_t st = SF_pbgetarea(host, &a)) return st;
    SF_PBCONTEXT& c = a->context;
    if (context) *context = &c;
    if (c.openmode != 0 && c.openmode == mode) return 0;
    if (c.openmode != 0) {
        // Open in another mode: close first, so the store's file and cache are not left behind.
        SF_dbclose(host, &c.db);
        std::memset(&c.db, 0, sizeof c.db);
        freeRecordBuffer(c);
        c.openmode = 0;
        state().open = false;
    }

    if (int16_t st = SF_getphonebookpath(host, c.path)) return st;
    buildTable(a);
    c.reclength = kPbRecordLength;
    if (!c.recbufHandle) {
        if (int16_t st = UL_allochandle(&c.recbuf, kPbRecordBuffer, &c.recbufHandle)) {
            c.recbufHandle = 0;
            c.recbuf = nullptr;
            return st;
        }
    }
    std::memset(&c.db, 0, sizeof c.db);
    int16_t st = SF_dbopen(host, &c.db, c.path, c.recbuf, kPbRecordLength);
    const int16_t openStatus = c.db.laststatus;
    if (st != 0 && openStatus != DB_LOCKOPEN) {
        // Create only where nothing is: create refuses an existing file (a damaged store, a
        // directory, a file held by another program), so such a file is never overwritten.
        std::memset(&c.db, 0, sizeof c.db);
        st = SF_dbcreate(host, &c.db, c.path, c.recbuf, kPbRecordLength);
        // The file is there: why it could not be opened is what matters.
        if (st != 0 && c.db.laststatus == DB_EXISTS) c.db.laststatus = openStatus;
    }
    if (st == 0) {
        c.openmode = mode;
        state().open = true;
        std::memset(a->scratch, 0, sizeof a->scratch);
        return 0;
    }
    UL_errorlog(host, "SF_prolog", c.db.laststatus);
    freeRecordBuffer(c);
    return SF_STOREFAILED;
}

int16_t SF_epilog(uint32_t host) {
    PbWorkArea* a = nullptr;
    if (int16_t st = SF_pbgetarea(host, &a)) return st;
    SF_PBCONTEXT& c = a->context;
    if (c.openmode != 0) SF_dbclose(host, &c.db);
    c.openmode = 0;
    state().open = false;
    c.name = c.group = c.info = nullptr;
    std::memset(c.table, 0, sizeof c.table);
    std::memset(&c.db, 0, sizeof c.db);
    freeRecordBuffer(c);
    SF_pbrelease(host);
    return 0;
}

void SF_pbclose(uint32_t host) {
    PbWorkState& s = state();
    if (!s.handle) return;
    SF_epilog(host);
    UL_freehandle(s.handle);
    s = PbWorkState{};
}

bool pbworkAllocated() { return state().handle != 0; }
bool pbworkLocked() { return state().locked; }
bool pbstoreOpen() { return state().open; }

void pbwork_reset() { SF_pbclose(0); }

}  // namespace qorsf
