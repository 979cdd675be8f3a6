// The record walk (every record with a name, in name order) and the caller-ID lookup over it.
#include <strings.h>

#include <cstring>

#include "phonebook/session.h"

namespace qorsf {

namespace {

// A record as an entry: the info's fields, then the name from the key.
void toEntry(uint32_t host, const PB_RECORD& r, PB_ENTRY* entry) {
    char info[kPbInfoWidth];
    pb::storedInfo(r.info, info);
    qorsf::SF_infotoentry(host, info, entry);
    UL_strcopy(entry->name, r.name);
}

}  // namespace

int16_t SF_getfirstpbrec(uint32_t host, PB_ENTRY* entry, uint16_t* found) {
    if (!entry || !found) return UL_E_BADARG;
    *found = 0;
    pb::ReadingStore s(host);
    if (int16_t st = s.open()) return st;
    if (s.move(kPbKeyName, DB_FIRST)) return s.ended();
    if (s.read()) return SF_WRONGSTATE;
    while (SF_isblank(s.rec().name)) {
        if (s.move(kPbKeyName, DB_NEXT)) return s.ended();
        if (s.read()) return SF_WRONGSTATE;
    }
    toEntry(host, s.rec(), entry);
    *found = 1;
    return 0;
}

int16_t SF_getnextpbrec(uint32_t host, PB_ENTRY* entry, uint16_t* found) {
    if (!entry || !found) return UL_E_BADARG;
    *found = 0;
    pb::ReadingStore s(host);
    if (int16_t st = s.resume()) return st;
    do {
        if (s.move(kPbKeyName, DB_NEXT)) return s.ended();
        if (s.read()) return SF_WRONGSTATE;
    } while (SF_isblank(s.rec().name));
    toEntry(host, s.rec(), entry);
    *found = 1;
    return 0;
}

int16_t SF_cidnumbertorec(uint32_t host, const char* number, uint16_t* which, PB_ENTRY* entry) {
    if (!which || !entry) return UL_E_BADARG;
    const char* incoming = number ? number : "";
    UL_tracetext(host, "SF_cidnumbertorec", incoming);
    *which = SF_CID_NONE;
    // An empty number is a call without caller-ID: it would match every empty field.
    if (incoming[0] == '\0') {
        SF_epilog(host);
        return 0;
    }
    auto failed = [host](int16_t st) {
        UL_errorlog(host, "SF_cidnumebrtorec", st);
        SF_epilog(host);
        return st;
    };
    uint16_t found = 0;
    if (int16_t st = qorsf::SF_getfirstpbrec(host, entry, &found)) return failed(st);
    // Name order decides between records; within a record voice goes before fax before the
    // alternative number. Numbers are compared as typed, only the case of letters is ignored.
    while (found) {
        if (strcasecmp(incoming, entry->voice) == 0) {
            *which = SF_CID_VOICE;
            break;
        }
        if (strcasecmp(incoming, entry->number) == 0) {
            *which = SF_CID_FAX;
            break;
        }
        if (strcasecmp(incoming, entry->altnumber) == 0) {
            *which = SF_CID_ALT;
            break;
        }
        if (int16_t st = qorsf::SF_getnextpbrec(host, entry, &found)) return failed(st);
    }
    UL_tracevalue(host, "SF_cidnumbertorec which", static_cast<int16_t>(*which));
    SF_epilog(host);
    return 0;
}

}  // namespace qorsf
