// The delete list "delfile.lis" of the data directory: how many queued sends still need each
// spooled file. An array of 84-byte records (DEL_RECORD), read and written in place; a free slot
// (all zero) is reused before the file grows. Paths are compared without regard to case.
#include <strings.h>

#include <cstring>
#include <string>

#include "frame/services/guards.h"
#include "send/send.h"

namespace qorsf {

namespace {


// A record is sound when it is a free slot (all zero) or in use with a terminated path.
bool soundRecord(const DEL_RECORD& r) {
    if (r.inuse == 0) {
        static const DEL_RECORD zero{};
        return std::memcmp(&r, &zero, sizeof r) == 0;
    }
    return r.inuse == 'n' && ::memchr(r.path, '\0', sizeof r.path) != nullptr;
}

struct Scan {
    int32_t found = -1;  // position of the record of the path
    int32_t free = -1;   // position of the first free slot
    int32_t end = 0;     // the file's length
    DEL_RECORD record{};
};

// Reads the whole list (checking every record before anything is changed) and finds the path.
int16_t scanList(uint32_t host, uint32_t file, const char* path, Scan* s) {
    int32_t size = 0;
    if (int16_t st = UL_fseek(host, file, 0, 3, &size)) return st;
    if (size % static_cast<int32_t>(sizeof(DEL_RECORD)) != 0) return SF_DELLISTDAMAGED;
    int32_t pos = 0;
    if (int16_t st = UL_fseek(host, file, 0, 1, &pos)) return st;
    s->end = size;
    for (pos = 0; pos < size; pos += static_cast<int32_t>(sizeof(DEL_RECORD))) {
        DEL_RECORD r;
        if (int16_t st = UL_fread(host, file, &r, sizeof r)) return st;
        if (!soundRecord(r)) return SF_DELLISTDAMAGED;
        if (r.inuse == 0) {
            if (s->free < 0) s->free = pos;
        } else if (s->found < 0 && ::strcasecmp(r.path, path) == 0) {
            s->found = pos;
            s->record = r;
        }
    }
    return 0;
}

int16_t writeRecord(uint32_t host, uint32_t file, int32_t pos, const DEL_RECORD& r) {
    int32_t at = 0;
    if (int16_t st = UL_fseek(host, file, pos, 1, &at)) return st;
    return UL_fwrite(host, file, &r, sizeof r);
}

void deleteFile(uint32_t host, const char* path) {
    int16_t st = UL_fdelete(host, path);
    if (st && st != UL_E_NOTFOUND) UL_errorlog(host, "SF_releasedelfile", st);
}

}  // namespace

int16_t SF_getdellistpath(uint32_t host, char* out, std::size_t size) {
    if (!out || size == 0) return SF_BADARGUMENT;
    char dir[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, dir, 24)) return st;
    UL_endpath(dir, sizeof dir);
    const std::string path = std::string(dir) + "delfile.lis";
    if (path.size() >= size) return UL_E_PATHLONG;
    return UL_strcopy(out, size, path.c_str());
}

int16_t SF_addtodellist(uint32_t host, const char* path, int16_t count) {
    if (!path || !*path) return SF_BADARGUMENT;
    // A path longer than the record's field is refused: cut, it would name another file.
    if (std::strlen(path) >= sizeof(DEL_RECORD::path)) return UL_E_PATHLONG;
    char listPath[UL_MAXPATH];
    if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
    int16_t exists = 0;
    UL_fileexists(listPath, &exists);
    HostFile list(host);
    if (int16_t st = exists ? UL_fopen(host, listPath, 2, list.out()) : UL_fcreate(host, listPath, 258, list.out()))
        return st;
    Scan s;
    if (int16_t st = scanList(host, list.get(), path, &s)) return st;
    DEL_RECORD r{};
    int32_t pos;
    if (s.found >= 0) {
        r = s.record;
        r.count = static_cast<int16_t>(r.count + count);
        pos = s.found;
    } else {
        r.count = count;
        r.inuse = 'n';
        UL_strcopy(r.path, path);
        pos = s.free >= 0 ? s.free : s.end;
    }
    if (int16_t st = writeRecord(host, list.get(), pos, r)) return st;
    int16_t st = list.close();
    return st;
}

int16_t SF_releasedelfile(uint32_t host, const char* path, int16_t deleteIfUnlisted) {
    if (!path || !*path) return SF_BADARGUMENT;
    char listPath[UL_MAXPATH];
    if (int16_t st = SF_getdellistpath(host, listPath, sizeof listPath)) return st;
    int16_t exists = 0;
    UL_fileexists(listPath, &exists);
    if (!exists) {
        if (deleteIfUnlisted) deleteFile(host, path);
        return 0;
    }
    HostFile list(host);
    if (int16_t st = UL_fopen(host, listPath, 2, list.out())) return st;
    Scan s;
    // A path too long for the list cannot be in it.
    if (std::strlen(path) < sizeof(DEL_RECORD::path)) {
        if (int16_t st = scanList(host, list.get(), path, &s)) return st;
    }
    if (s.found >= 0) {
        DEL_RECORD r = s.record;
        r.count = static_cast<int16_t>(r.count - 1);
        if (r.count < 1) {
            deleteFile(host, path);
            r = DEL_RECORD{};
        }
        if (int16_t st = writeRecord(host, list.get(), s.found, r)) return st;
    } else if (deleteIfUnlisted) {
        deleteFile(host, path);
    }
    int16_t st = list.close();
    return st;
}

}  // namespace qorsf
