// Entry layer of the record store: every failure becomes 20450; the store's own code stays in
// the handle (laststatus). The host handle only matters for setting up the page cache.
#include "store/pagefile.h"
#include "store/store.h"

namespace qorsf {

namespace {
// The last store code that said more than "not found" (damage, a file held elsewhere, I/O).
int16_t lastProblem = 0;
int16_t map(int16_t st) {
    if (st != 0 && st != DB_NOTFOUND && st != DB_GREATER && st != DB_SMALLER && st != DB_EXISTS) lastProblem = st;
    return st == 0 ? 0 : SF_DBFAILED;
}
}  // namespace

int16_t SF_dbproblem() { return lastProblem; }

bool DB_damagecode(int16_t st) {
    switch (st) {
        case DB_WRITEFAIL: case DB_NOTSTORE: case DB_READSEEK: case DB_SHORTREAD: case DB_BADSEQUENCE:
        case DB_NOIMAGE: case DB_OTHERTABLE: case DB_CHECKSUM: case DB_DESCENT:
            return true;
        default:
            return false;
    }
}

int16_t SF_dbcacheinit(uint32_t /*host*/) { return pf::cacheInit(); }

int16_t SF_dbcachefree(uint32_t /*host*/) {
    pf::cacheFree();
    return 0;
}

int16_t SF_dbopen(uint32_t host, DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength) {
    if (!pf::cacheAllocated()) {
        int16_t st = SF_dbcacheinit(host);
        if (st != 0) return st;
    }
    lastProblem = 0;
    return map(DB_open(h, path, recbuf, reclength));
}

int16_t SF_dbcreate(uint32_t host, DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength) {
    if (!pf::cacheAllocated()) {
        int16_t st = SF_dbcacheinit(host);
        if (st != 0) return st;
    }
    return map(DB_create(h, path, recbuf, reclength));
}

int16_t SF_dbclose(uint32_t host, DB_HANDLE* h) {
    int16_t st = DB_close(h);
    if (st == 0) SF_dbcachefree(host);
    return map(st);
}

int16_t SF_dbadd(uint32_t, DB_HANDLE* h, DB_FIELD* table) { return map(DB_add(h, table)); }
int16_t SF_dbdelete(uint32_t, DB_HANDLE* h, DB_FIELD* table) { return map(DB_delete(h, table)); }
int16_t SF_dbfind(uint32_t, DB_HANDLE* h, int16_t key, const char* text, int16_t mode) {
    return map(DB_find(h, key, text, mode));
}
int16_t SF_dbread(uint32_t, DB_HANDLE* h, DB_FIELD* table) { return map(DB_read(h, table)); }
int16_t SF_dbmove(uint32_t, DB_HANDLE* h, int16_t key, int16_t direction) {
    return map(DB_move(h, key, direction));
}
int16_t SF_dbupdate(uint32_t, DB_HANDLE* h, DB_FIELD* table) { return map(DB_update(h, table)); }

}  // namespace qorsf
