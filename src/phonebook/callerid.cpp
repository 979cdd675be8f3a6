// The record walk (every record with a name, in name order) and the caller-ID lookup, which gives
// the walk's answer from one pass over the record images.
#include <strings.h>

#include <cctype>
#include <cstring>
#include <string>

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

namespace {

// Whether a field of the info could equal the number: a field is a piece of the info (its column
// up to a NUL, without trailing spaces), so a field equal to the number, case aside, makes the
// number a piece of the info. Most records are passed over here without being converted.
bool mayHold(const char* info, std::size_t size, const char* number, std::size_t len) {
    if (len == 0 || len > size) return false;
    const char* const end = info + (size - len + 1);  // one past the last place the number can start
    const unsigned char first = static_cast<unsigned char>(number[0]);
    if (!std::isalpha(first)) {
        // Digits, '+' and brackets have no case: the C library finds them fast.
        for (const char* p = info; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, number[0], static_cast<std::size_t>(end - p)));
            if (!p) return false;
            if (strncasecmp(p, number, len) == 0) return true;
        }
        return false;
    }
    const int lower = std::tolower(first);
    for (const char* p = info; p < end; ++p)
        if (std::tolower(static_cast<unsigned char>(*p)) == lower && strncasecmp(p, number, len) == 0) return true;
    return false;
}

}  // namespace

uint16_t SF_cidmatch(const char* number, const PB_ENTRY& e) {
    if (strcasecmp(number, e.voice) == 0) return SF_CID_VOICE;
    if (strcasecmp(number, e.number) == 0) return SF_CID_FAX;
    if (strcasecmp(number, e.altnumber) == 0) return SF_CID_ALT;
    return SF_CID_NONE;
}

bool SF_infomayhold(const char* info, const char* number) {
    return mayHold(info, kPbInfoWidth, number, std::strlen(number));
}

// A walk by name reads every image through the record number index; this lookup steps through
// that index once. The first match in name order is chosen among all matches (name order is the
// name index's: the name's bytes, then the record number), so the answer is the walk's.
bool SF_findnumber(uint32_t host, const std::function<bool(const char* info)>& mayMatch,
                   const std::function<NumberMatch(const PB_ENTRY&)>& match, NumberMatch* best, PB_ENTRY* entry) {
    *best = NumberMatch{};
    pb::ReadingStore s(host);
    if (s.open()) return false;
    bool found = false;
    std::string bestName;
    uint32_t bestRecord = 0;
    PB_ENTRY candidate;
    char info[kPbInfoWidth];
    int16_t st = s.move(DB_KEYDATA, DB_FIRST);
    for (; st == 0; st = s.move(DB_KEYDATA, DB_NEXT)) {
        if (s.read()) return false;
        const PB_RECORD& r = s.rec();
        if (SF_isblank(r.name)) continue;
        const std::string name(r.name, strnlen(r.name, sizeof r.name));
        const uint32_t record = s.current();
        const bool later = found && (name > bestName || (name == bestName && record > bestRecord));
        if (later && best->rank == 0) continue;  // nothing can beat the best any more
        pb::storedInfo(r.info, info);
        if (mayMatch && !mayMatch(info)) continue;
        toEntry(host, r, &candidate);
        const NumberMatch m = match(candidate);
        if (m.which == SF_CID_NONE) continue;
        if (found && (m.rank > best->rank || (m.rank == best->rank && later))) continue;
        found = true;
        bestName = name;
        bestRecord = record;
        *best = m;
        *entry = candidate;
    }
    if (s.ended() != 0) return false;
    if (found) return true;
    // The last record in name order; blank names stand first, so it is blank only when all are.
    if (s.move(kPbKeyName, DB_LAST) == 0) {
        if (s.read()) return false;
        if (!SF_isblank(s.rec().name)) toEntry(host, s.rec(), entry);
    } else if (s.ended() != 0) {
        return false;
    }
    return true;
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
    NumberMatch best;
    if (SF_findnumber(
            host, [&](const char* info) { return SF_infomayhold(info, incoming); },
            [&](const PB_ENTRY& e) { return NumberMatch{SF_cidmatch(incoming, e), 0}; }, &best, entry)) {
        *which = best.which;
        UL_tracevalue(host, "SF_cidnumbertorec which", static_cast<int16_t>(*which));
        SF_epilog(host);
        return 0;
    }
    *which = SF_CID_NONE;
    uint16_t found = 0;
    if (int16_t st = qorsf::SF_getfirstpbrec(host, entry, &found)) return failed(st);
    // Name order decides between records; within a record voice goes before fax before the
    // alternative number. Numbers are compared as typed, only the case of letters is ignored.
    while (found) {
        if ((*which = SF_cidmatch(incoming, *entry)) != SF_CID_NONE) break;
        if (int16_t st = qorsf::SF_getnextpbrec(host, entry, &found)) return failed(st);
    }
    UL_tracevalue(host, "SF_cidnumbertorec which", static_cast<int16_t>(*which));
    SF_epilog(host);
    return 0;
}

}  // namespace qorsf
