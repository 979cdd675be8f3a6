// How a phone book operation holds the store: the helpers shared by the operations.
#pragma once

#include <cstring>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"

namespace qorsf::pb {

// A name or group argument as a key: cut to 30 characters, as the store keeps it.
struct Key {
    char text[kPbKeyWidth + 1] = {};
    explicit Key(const char* s) { UL_strcopy(text, s ? s : ""); }
    operator const char*() const { return text; }
};

// The open store of one operation.
class Store {
public:
    explicit Store(uint32_t host) : host_(host) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // SF_prolog and the work area.
    int16_t open() {
        SF_PBCONTEXT* c = nullptr;
        if (int16_t st = qorsf::SF_prolog(host_, &c, kPbModeExclusive)) return st;
        return SF_pbgetarea(host_, &area_);
    }
    // The work area of a walk that goes on: 13002 when the store is not open.
    int16_t resume() {
        if (int16_t st = SF_pbgetarea(host_, &area_)) return st;
        if (area_->context.openmode == 0) {
            UL_trace(host_, "phone book walk: the phone book is not open");
            return SF_WRONGSTATE;
        }
        return 0;
    }

    int16_t move(int key, int16_t direction) { return SF_dbmove(host_, &db(), static_cast<int16_t>(key), direction); }
    int16_t find(int key, const char* text, int16_t mode = DB_EXACT) {
        return SF_dbfind(host_, &db(), static_cast<int16_t>(key), text, mode);
    }
    int16_t read() { return SF_dbread(host_, &db(), area_->context.table); }
    // After a move that gave no record: 0 when the key simply ended, 13002 when the store
    // failed reading (a damaged file must not pass for an empty or shorter phone book).
    int16_t ended() {
        if (db().laststatus == DB_NOTFOUND) return 0;
        UL_errorlog(host_, "phone book walk", db().laststatus);
        return SF_WRONGSTATE;
    }
    int16_t add() { return SF_dbadd(host_, &db(), area_->context.table); }
    int16_t update() { return SF_dbupdate(host_, &db(), area_->context.table); }
    int16_t remove() { return SF_dbdelete(host_, &db(), area_->context.table); }

    // Moves to the first entry of a key. An empty phone book is not a failure: `empty` tells it,
    // with status 0; any other failure of the store is passed on.
    int16_t first(int key, bool* empty) {
        *empty = false;
        const int16_t st = move(key, DB_FIRST);
        if (st != 0 && db().laststatus == DB_NOTFOUND) {
            *empty = true;
            return 0;
        }
        return st;
    }

    PB_RECORD& rec() { return area_->record; }
    // The record number the last move reached.
    uint32_t current() { return db().current; }
    PbWorkArea* area() { return area_; }
    uint32_t host() const { return host_; }

private:
    DB_HANDLE& db() { return area_->context.db; }
    uint32_t host_;
    PbWorkArea* area_ = nullptr;
};

// A reading operation: the work area is released on every return, the store stays open.
class ReadingStore : public Store {
public:
    using Store::Store;
    ~ReadingStore() { SF_pbrelease(host()); }
};

// A changing operation: the store is closed (SF_epilog) on every return. Everything it
// changes is one unit for the store's journal: after a crash the operation is wholly there
// or wholly absent, and its changes are synced once, at its end.
class ChangingStore : public Store {
public:
    using Store::Store;
    int16_t open() {
        int16_t st = Store::open();
        if (st == 0 && !unit_) {
            UL_strcopy(path_, area()->context.path);
            unit_ = DB_beginunit(path_) == 0;
        }
        return st;
    }
    ~ChangingStore() {
        SF_epilog(host());
        // The changes reached the file at the end of each store call; what can still fail here
        // is making them durable, which rolls the unit back: the error log says so.
        if (unit_) {
            if (int16_t st = DB_endunit(path_, true)) UL_errorlog(host(), "phone book", st);
        }
    }

private:
    char path_[80] = {};
    bool unit_ = false;
};

// The info of a record as 660 characters. The store gives a text field back up to its NUL and
// leaves the bytes behind it as an earlier record left them: a record with an empty or short
// info must not show another record's details, so those bytes become spaces.
inline void storedInfo(const char* recordInfo, char* out) {
    const std::size_t n = strnlen(recordInfo, kPbInfoWidth);
    std::memcpy(out, recordInfo, n);
    std::memset(out + n, ' ', kPbInfoWidth - n);
    if (n == 0) out[0] = '\0';  // an empty info stays recognisable as empty
}

// Copies a key text of the record into a 31-byte output.
inline void putKey(char* out, const char* text) {
    if (out) UL_strcopy(out, kPbKeyWidth + 1, text);
}

inline int16_t notFound(uint32_t host, const char* text) {
    UL_reporterror(host, SF_NORECORD, text);
    return SF_NORECORD;
}

inline int16_t exists(uint32_t host, const char* text) {
    UL_reporterror(host, SF_EXISTS, text);
    return SF_EXISTS;
}

}  // namespace qorsf::pb
