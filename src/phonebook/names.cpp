// Names: the name walk, lookup, add, change and delete, all on key 1.
#include <cstring>

#include "phonebook/session.h"

namespace qorsf {

using pb::Key;

namespace {

// The stored info as a text: what the store gives back is cut at its first NUL.
bool sameInfo(const char* stored, const char* info) { return std::strncmp(stored, info, kPbInfoWidth + 1) == 0; }

}  // namespace

int16_t SF_getfirstname(uint32_t host, char* name, uint16_t* found) {
    if (found) *found = 0;
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    // An empty book gives found 0; a store that fails reading gives 13002.
    if (s.move(kPbKeyName, DB_FIRST)) return s.ended();
    if (s.read()) return SF_WRONGSTATE;
    while (SF_isblank(s.rec().name)) {
        if (s.move(kPbKeyName, DB_NEXT)) return s.ended();
        if (s.read()) return SF_WRONGSTATE;
    }
    pb::putKey(name, s.rec().name);
    UL_strcopy(currentName(s.area()), kPbKeyWidth + 1, s.rec().name);
    if (found) *found = 1;
    return 0;
}

int16_t SF_getnextname(uint32_t host, char* name, uint16_t* found) {
    if (found) *found = 0;
    pb::ReadingStore s(host);
    if (int16_t st = s.resume()) return st;
    // Goes on from the record the store last read: every record of the current name is passed.
    for (;;) {
        if (!SF_isblank(s.rec().name) && SF_strcmp(currentName(s.area()), s.rec().name) != 0) {
            pb::putKey(name, s.rec().name);
            UL_strcopy(currentName(s.area()), kPbKeyWidth + 1, s.rec().name);
            if (found) *found = 1;
            return 0;
        }
        if (s.move(kPbKeyName, DB_NEXT)) {
            currentName(s.area())[0] = '\0';
            return s.ended();
        }
        if (s.read()) return SF_WRONGSTATE;
    }
}

int16_t SF_nametophone(uint32_t host, const char* name, char* info) {
    if (!info) return UL_E_BADARG;
    info[0] = '\0';
    const Key key(name);
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    s.move(kPbKeyName, DB_FIRST);
    if (s.find(kPbKeyName, key)) return pb::notFound(host, key);
    for (;;) {
        if (int16_t st = s.read()) return st;
        if (SF_strcmp(s.rec().name, key) != 0) return 0;
        if (SF_isblank(s.rec().group) && s.rec().info[0] != '\0') {
            pb::storedInfo(s.rec().info, info);
            return 0;
        }
        if (s.move(kPbKeyName, DB_NEXT)) return 0;
    }
}

int16_t SF_addphone(uint32_t host, const char* name, const PB_RECORD* record) {
    if (!record) return UL_E_BADARG;
    const Key key(name);
    const Key recordName(record->name);
    // A blank name would be taken for a group's record (or hidden from every walk).
    if (SF_isblank(key) || SF_isblank(recordName)) return pb::notFound(host, key);
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    // A name that has its own record gets the new details. A name that only has memberships
    // (they were made first, or its own record was deleted alone) gets its own record now, and
    // the copies in the memberships follow; otherwise the name could never be added again.
    bool known = false;
    if (s.find(kPbKeyName, key) == 0) {
        known = true;
        for (;;) {
            if (int16_t st = s.read()) return st;
            if (SF_strcmp(s.rec().name, key) != 0) break;
            if (SF_isblank(s.rec().group)) return SF_updatephone(host, key, record->info);
            if (s.move(kPbKeyName, DB_NEXT)) break;
        }
    }
    PB_RECORD& r = s.rec();
    UL_strcopy(r.name, recordName);
    std::memcpy(r.info, record->info, kPbInfoWidth);
    r.info[kPbInfoWidth] = '\0';
    UL_strcopy(r.group, " ");
    if (int16_t st = s.add()) return st;
    return known ? SF_updatephone(host, key, record->info) : 0;
}

int16_t SF_updatephone(uint32_t host, const char* name, const char* info) {
    if (!info) return UL_E_BADARG;
    const Key key(name);
    // The records of a blank name are the groups' own records: they never take details.
    if (SF_isblank(key)) return pb::notFound(host, key);
    char newInfo[kPbInfoWidth + 1];
    std::memcpy(newInfo, info, kPbInfoWidth);
    newInfo[kPbInfoWidth] = '\0';
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    // The name's record and every membership record of the name get the info. An update gives
    // the record a new number, which moves it within the name's records in key order, so after
    // each update the walk starts again at the first record of the name; a record that holds
    // the info already is passed. Each pass updates one record or ends: the loop always ends,
    // and no record is updated twice.
    bool known = false;
    for (;;) {
        if (s.find(kPbKeyName, key)) break;
        bool updated = false;
        for (;;) {
            if (int16_t st = s.read()) return st;
            if (SF_strcmp(s.rec().name, key) != 0) break;
            known = true;
            if (!sameInfo(s.rec().info, newInfo)) {
                std::memcpy(s.rec().info, newInfo, kPbInfoWidth);
                s.rec().info[kPbInfoWidth] = '\0';
                if (int16_t st = s.update()) return st;
                updated = true;
                break;
            }
            if (s.move(kPbKeyName, DB_NEXT)) break;
        }
        if (!updated) break;
    }
    if (!known) return pb::notFound(host, key);
    return 0;
}

int16_t SF_deletephone(uint32_t host, const char* name) {
    const Key key(name);
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    // The store's own status is passed on when it cannot even go to its first name (an empty
    // phone book among others): the caller learns the phone book's state, not "no such name".
    if (int16_t st = s.move(kPbKeyName, DB_FIRST)) return st;
    // Only the name's own record goes; its memberships stay (SF_removenamefromgroups).
    if (s.find(kPbKeyName, key)) return pb::notFound(host, key);
    for (;;) {
        if (s.read()) return pb::notFound(host, key);
        if (SF_strcmp(s.rec().name, key) != 0) return pb::notFound(host, key);
        if (SF_isblank(s.rec().group)) return s.remove();
        if (s.move(kPbKeyName, DB_NEXT)) return pb::notFound(host, key);
    }
}

int16_t SF_getcurrentrec(uint32_t host, char* name, char* group, char* info) {
    // The record the store last read. The work area is held only for the copy; when the caller
    // holds it already it stays held.
    const bool held = pbworkLocked();
    PbWorkArea* a = nullptr;
    if (int16_t st = SF_pbgetarea(host, &a)) return st;
    pb::putKey(name, a->record.name);
    pb::putKey(group, a->record.group);
    if (info) pb::storedInfo(a->record.info, info);
    if (!held) SF_pbrelease(host);
    return 0;
}

}  // namespace qorsf
