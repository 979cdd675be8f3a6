// Groups: the group, group-of-name and member walks, and the operations that create, fill,
// empty and delete groups. Group walks run on key 2, the walks of a name on key 1.
#include <cstring>

#include "phonebook/session.h"

namespace qorsf {

using pb::Key;

namespace {

void blankOut(char* out) {
    if (out) {
        out[0] = ' ';
        out[1] = '\0';
    }
}

}  // namespace

int16_t SF_getfirstgroup(uint32_t host, char* group, uint16_t* found) {
    if (found) *found = 0;
    blankOut(group);
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    if (s.move(kPbKeyGroup, DB_FIRST)) return s.ended();
    if (s.read()) return SF_WRONGSTATE;
    while (SF_isblank(s.rec().group)) {
        if (s.move(kPbKeyGroup, DB_NEXT)) return s.ended();
        if (s.read()) return SF_WRONGSTATE;
    }
    pb::putKey(group, s.rec().group);
    UL_strcopy(currentGroup(s.area()), kPbKeyWidth + 1, s.rec().group);
    if (found) *found = 1;
    return 0;
}

int16_t SF_getnextgroup(uint32_t host, char* group, uint16_t* found) {
    if (found) *found = 0;
    blankOut(group);
    pb::ReadingStore s(host);
    if (int16_t st = s.resume()) return st;
    for (;;) {
        if (!SF_isblank(s.rec().group) && SF_strcmp(currentGroup(s.area()), s.rec().group) != 0) {
            pb::putKey(group, s.rec().group);
            UL_strcopy(currentGroup(s.area()), kPbKeyWidth + 1, s.rec().group);
            if (found) *found = 1;
            return 0;
        }
        if (s.move(kPbKeyGroup, DB_NEXT)) {
            currentGroup(s.area())[0] = '\0';
            return s.ended();
        }
        if (s.read()) return SF_WRONGSTATE;
    }
}

int16_t SF_getfirstgroupofname(uint32_t host, const char* name, char* group, uint16_t* found) {
    if (found) *found = 0;
    const Key key(name);
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    // Always searched: the store's current record may belong to another walk since the current
    // name was set, so standing on the current name is not known.
    if (s.find(kPbKeyName, key)) return pb::notFound(host, key);
    if (s.read()) return SF_WRONGSTATE;
    UL_strcopy(currentName(s.area()), kPbKeyWidth + 1, s.rec().name);
    pb::putKey(group, s.rec().group);
    if (found) *found = 1;
    return 0;
}

int16_t SF_getnextgroupofname(uint32_t host, const char* name, char* group, uint16_t* found) {
    if (found) *found = 0;
    const Key key(name);
    pb::ReadingStore s(host);
    if (int16_t st = s.resume()) return st;
    if (s.move(kPbKeyName, DB_NEXT)) return s.ended();
    if (s.read()) return SF_WRONGSTATE;
    if (SF_strcmp(s.rec().name, key) == 0) {
        pb::putKey(group, s.rec().group);
        if (found) *found = 1;
    } else {
        UL_strcopy(currentName(s.area()), kPbKeyWidth + 1, s.rec().name);
    }
    return 0;
}

int16_t SF_getfirstmember(uint32_t host, const char* group, char* name, uint16_t* found) {
    if (found) *found = 0;
    const Key key(group);
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    if (s.find(kPbKeyGroup, key)) return pb::notFound(host, key);
    if (s.read()) return SF_WRONGSTATE;
    pb::putKey(name, s.rec().name);  // empty for the group's own record
    if (found) *found = 1;
    return 0;
}

int16_t SF_getnextmember(uint32_t host, const char* group, char* name, uint16_t* found) {
    if (found) *found = 0;
    const Key key(group);
    pb::ReadingStore s(host);
    if (int16_t st = s.resume()) return st;
    if (s.move(kPbKeyGroup, DB_NEXT)) return s.ended();
    if (s.read()) return SF_WRONGSTATE;
    if (SF_strcmp(s.rec().group, key) == 0) {
        pb::putKey(name, s.rec().name);
        if (found) *found = 1;
    }
    return 0;
}

int16_t SF_addnametogroup(uint32_t host, const char* name, const char* group) {
    Key member(name);
    const Key key(group);
    if (SF_isblank(member)) member.text[0] = '\0';  // a blank name asks for the group's own record
    // A blank group would make a record that looks like a name's own record.
    if (SF_isblank(key)) return pb::notFound(host, key);
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    if (s.find(kPbKeyGroup, key) == 0) {
        if (member.text[0] == '\0') return pb::exists(host, key);
        // Is the name a member already? Its own records, on key 1, tell.
        if (s.find(kPbKeyName, member)) return pb::notFound(host, member);
        for (;;) {
            if (s.read()) return SF_WRONGSTATE;
            if (SF_strcmp(s.rec().name, member) != 0) break;
            if (SF_strcmp(s.rec().group, key) == 0) return pb::exists(host, key);
            if (s.move(kPbKeyName, DB_NEXT)) break;
        }
    }
    PB_RECORD& r = s.rec();
    UL_strcopy(r.name, member);
    UL_strcopy(r.group, key);
    r.info[0] = '\0';
    return s.add();
}

int16_t SF_deletegroup(uint32_t host, const char* group) {
    const Key key(group);
    if (SF_isblank(key)) return pb::notFound(host, key);
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    // An empty phone book has nothing to delete: that is done, not an error to show.
    bool empty = false;
    if (int16_t st = s.first(kPbKeyGroup, &empty)) return st;
    if (empty) return 0;
    if (s.find(kPbKeyGroup, key)) return pb::notFound(host, key);
    do {
        s.read();
        // A record that cannot be deleted is a store failure, not a success.
        if (int16_t st = s.remove()) return st;
    } while (s.find(kPbKeyGroup, key) == 0);
    return 0;
}

int16_t SF_removenamefromgroups(uint32_t host, const char* name) {
    const Key key(name);
    // The records of a blank name are the groups' own records: they are not a name's to remove.
    if (SF_isblank(key)) return pb::notFound(host, key);
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    bool empty = false;
    if (int16_t st = s.first(kPbKeyName, &empty)) return st;
    if (empty) return 0;  // no memberships to remove
    if (s.find(kPbKeyName, key)) return pb::notFound(host, key);
    // The name's records stand together in key order. Each delete starts the walk again at the
    // first of them; the name's own record stays and is passed.
    for (;;) {
        bool deleted = false;
        for (;;) {
            if (s.read()) return pb::notFound(host, key);
            if (SF_strcmp(s.rec().name, key) != 0) break;
            if (!SF_isblank(s.rec().group)) {
                if (int16_t st = s.remove()) return st;
                deleted = true;
                break;
            }
            if (s.move(kPbKeyName, DB_NEXT)) break;
        }
        if (!deleted || s.find(kPbKeyName, key)) return 0;
    }
}

int16_t SF_removenamefromgroup(uint32_t host, const char* name, const char* group) {
    const Key member(name);
    const Key key(group);
    if (SF_isblank(member)) return pb::notFound(host, member);  // the group's own record stays
    pb::ChangingStore s(host);
    if (int16_t st = s.open()) return st;
    bool empty = false;
    if (int16_t st = s.first(kPbKeyGroup, &empty)) return st;
    if (empty) return 0;  // nobody to take out
    if (s.find(kPbKeyGroup, key)) return pb::notFound(host, key);
    for (;;) {
        bool deleted = false;
        for (;;) {
            if (int16_t st = s.read()) return st;  // never decide on a stale record
            if (SF_strcmp(s.rec().group, key) != 0) break;
            if (SF_strcmp(s.rec().name, member) == 0) {
                if (int16_t st = s.remove()) return st;
                deleted = true;
                break;
            }
            if (s.move(kPbKeyGroup, DB_NEXT)) break;
        }
        if (!deleted || s.find(kPbKeyGroup, key)) return 0;
    }
}

}  // namespace qorsf
