// The fax log check and automatic printing, and the single-fax operations of the hosts.
//
// Print states: R waiting -> B taken by the printer loop (written before printing) -> X printed
// (written after). A fax taken and not printed gets R back. Every walk has its own cursor, so a
// walk reached through UL_yield never disturbs another one.
#include <cstring>
#include <string>

#include "frame/services/guards.h"
#include "queue/recvlog.h"

namespace qorsf {

namespace {

// How often an operation reads a fax again when another program changed it meanwhile.
constexpr int kRetries = 20;

// The cursor of one walk or update, closed on every path.
struct LogCursor {
    explicit LogCursor(uint32_t h) : host(h) {}
    ~LogCursor() { close(); }
    LogCursor(const LogCursor&) = delete;
    LogCursor& operator=(const LogCursor&) = delete;
    int16_t close() {
        if (!open) return 0;
        open = false;
        return VQ_closelog(host, bytes);
    }
    uint32_t host;
    unsigned char bytes[VQ_CURSORSIZE] = {};
    bool open = false;
};

// Writes a record back: open for update, write, close.
int16_t writeRecord(uint32_t host, int16_t log, LOG_RECORD* record) {
    LogCursor c(host);
    if (int16_t st = VQ_openlogupdate(host, log, 0, c.bytes, 1)) return st;
    c.open = true;
    if (int16_t st = VQ_writelog(host, c.bytes, record)) return st;
    return c.close();
}

uint16_t& selected(LOG_RECORD* r, int16_t selector) {
    return selector == 0 ? r->entrystate : selector == 1 ? r->viewstate : r->printstate;
}

// The name a fax's page files are made from: the fax file, in the receive directory when bare.
int16_t faxBase(uint32_t host, const char* faxfile, std::string* base) {
    int16_t log = 0, mailbox = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    if (int16_t st = UL_getvalue(host, 9, &mailbox)) return st;
    std::string name(faxfile, ::strnlen(faxfile, sizeof(LOG_RECORD::faxfile)));
    if (name.empty()) return VQ_E_BADLOG;
    if (UL_isbarename(name.c_str())) {
        char dir[UL_MAXPATH];
        if (int16_t st = VQ_recvdir(host, log, mailbox, dir, sizeof dir)) return st;
        name = dir + name;
    }
    // Cut at the last "." of the file's own name (a dot in a directory is no extension).
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
    if (name.size() >= UL_MAXPATH) return UL_E_PATHLONG;
    *base = name;
    return 0;
}

// Page file k of a base, expanded to a full path.
int16_t pageFile(uint32_t host, const std::string& base, int16_t k, char* path, std::size_t size) {
    UL_strcopy(path, size, base.c_str());
    if (int16_t st = UX_pagefile(host, path, size, k)) return st;
    return UL_fullpath(host, path, size);
}

}  // namespace

int16_t SF_faxpage0(uint32_t host, const LOG_RECORD* record, char* path, std::size_t size) {
    if (!record || !path || size == 0) return UL_E_BADARG;
    path[0] = '\0';
    std::string base;
    if (int16_t st = faxBase(host, record->faxfile, &base)) return st;
    return pageFile(host, base, 0, path, size);
}

int16_t SF_findandmark(uint32_t host, int16_t selector, uint16_t mark, LOG_RECORD* record) {
    if (!record || (selector != 1 && selector != 2)) return UL_E_BADARG;
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    for (int attempt = 0;; ++attempt) {
        LogCursor walk(host);
        int16_t mailbox = 0;
        if (int16_t st = UL_getvalue(host, 9, &mailbox)) return st;
        std::memcpy(walk.bytes + VQ_LOGMAILBOXAT, &mailbox, sizeof mailbox);
        std::memcpy(walk.bytes + 4, "RPN", 4);
        if (int16_t st = VQ_openlog(host, log, walk.bytes)) return st;
        walk.open = true;
        bool taken = false;
        for (;;) {
            int16_t found = 0;
            if (int16_t st = VQ_readlog(host, walk.bytes, record, &found)) return st;
            if (!found) break;
            if (selected(record, selector) == 'R' && record->pages > 0) {
                taken = true;
                break;
            }
        }
        walk.close();
        if (!taken) {
            std::memset(record, 0, sizeof *record);
            record->entrynum = -1;
            return 0;
        }
        selected(record, selector) = mark;
        if (mark == 0) return 0;
        const int16_t st = writeRecord(host, log, record);
        // Another program took or changed this fax since it was read: look again.
        if (st == VQ_E_CHANGED && attempt < kRetries) continue;
        return st;
    }
}

int16_t SF_printonefax(uint32_t host, const LOG_RECORD* record) {
    if (!record) return UL_E_BADARG;
    char page0[UL_MAXPATH];
    if (int16_t st = SF_faxpage0(host, record, page0, sizeof page0)) return st;
    int16_t exists = 0;
    // A fax whose first page is gone has nothing to print: it counts as printed.
    if (UL_fileexists(page0, &exists) != 0 || !exists) return 0;
    return FN_printfax(host, page0, record->pages, 0);
}

int16_t SF_deletepagefiles(uint32_t host, const char* faxfile, int16_t pages) {
    if (!faxfile) return UL_E_BADARG;
    std::string base;
    if (int16_t st = faxBase(host, faxfile, &base)) return st;
    for (int16_t k = 0; k < pages && k < 999; ++k) {
        char path[UL_MAXPATH];
        if (int16_t st = pageFile(host, base, k, path, sizeof path)) return st;
        UL_fdelete(host, path);  // a page already gone is no failure
    }
    return 0;
}

int16_t SF_autoprint(uint32_t host) {
    WorkBlock<LOG_RECORD> block;
    if (int16_t st = block.allocate()) return st;
    LOG_RECORD* r = block.get();
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    if (int16_t st = SF_findandmark(host, 2, 'B', r)) return st;
    while (r->entrynum >= 0) {
        int16_t st = SF_printonefax(host, r);
        if (st == 0 && frame().word2211) {
            r->entrystate = 'D';
            st = SF_deletepagefiles(host, r->faxfile, r->pages);
        }
        if (st == 0) {
            r->printstate = 'X';
            st = writeRecord(host, log, r);
        }
        if (st) {
            UL_errorlog(host, "SF_autoprint", st);
            // The fax taken and not printed waits again; a failure of this give-back is ignored.
            if (r->printstate == 'B') {
                r->printstate = 'R';
                writeRecord(host, log, r);
            }
            return st;
        }
        if ((st = SF_findandmark(host, 2, 'B', r))) return st;
    }
    return 0;
}

int16_t SF_checkfaxlog(uint32_t host, uint16_t* newcount, uint16_t* allcount) {
    if (!newcount || !allcount) return UL_E_BADARG;
    *newcount = 0xFFFF;
    UL_trace(host, "SF_checkfaxlog");
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    uint16_t all = 0, fresh = 0, toprint = 0;
    uint32_t lists[3] = {};
    struct FreeLists {
        uint32_t* lists;
        ~FreeLists() {
            for (int i = 0; i < 3; ++i)
                if (lists[i]) UL_freehandle(lists[i]);
        }
    } freeLists{lists};
    if (int16_t st = SF_scanrlog(host, &all, &fresh, &toprint, &lists[0], &lists[1], &lists[2])) return st;
    *newcount = fresh;
    *allcount = all;
    if (toprint != 0 && frame().selector5 != 0) return SF_autoprint(host);
    return 0;
}

// ---- Single faxes

int16_t SF_readfax(uint32_t host, int32_t entry, LOG_RECORD* record) {
    if (!record) return UL_E_BADARG;
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    if (int16_t st = VQ_readlogentry(host, log, entry, record)) return st;
    if (record->viewstate == 'D') return VQ_E_NOENTRY;  // deleted faxes are ignored everywhere
    return 0;
}

int16_t SF_markfax(uint32_t host, int32_t entry, int16_t selector, uint16_t state, LOG_RECORD* record) {
    if (selector < 0 || selector > 2) return UL_E_BADARG;
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    LOG_RECORD r;
    for (int attempt = 0;; ++attempt) {
        if (int16_t st = SF_readfax(host, entry, &r)) return st;
        selected(&r, selector) = state;
        const int16_t st = writeRecord(host, log, &r);
        if (st == VQ_E_CHANGED && attempt < kRetries) continue;
        if (st) return st;
        if (record) *record = r;
        return 0;
    }
}

int16_t SF_printfaxentry(uint32_t host, int32_t entry) {
    LOG_RECORD r;
    if (int16_t st = SF_readfax(host, entry, &r)) return st;
    if (r.pages <= 0) return L1_E_NOPAGES;
    char page0[UL_MAXPATH];
    if (int16_t st = SF_faxpage0(host, &r, page0, sizeof page0)) return st;
    int16_t exists = 0;
    if (UL_fileexists(page0, &exists) != 0 || !exists) return L1_E_NOPAGES;
    if (int16_t st = FN_printfax(host, page0, r.pages, 0)) return st;
    // Printed by hand: automatic printing has nothing left to do for it.
    return SF_markfax(host, entry, 2, 'X');
}

int16_t SF_deletefax(uint32_t host, int32_t entry) {
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    LOG_RECORD r;
    for (int attempt = 0;; ++attempt) {
        if (int16_t st = SF_readfax(host, entry, &r)) return st;
        // The entry is marked first: a fax is never listed without its page files.
        r.viewstate = 'D';
        r.entrystate = 'D';
        const int16_t st = writeRecord(host, log, &r);
        if (st == VQ_E_CHANGED && attempt < kRetries) continue;
        if (st) return st;
        break;
    }
    return SF_deletepagefiles(host, r.faxfile, r.pages);
}

}  // namespace qorsf
