// qorfax recv: the received faxes: list, check (with automatic printing), print, show, save,
// mark, delete and import.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "queue/recvlog.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorux.h"
#include "recv_settings.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax recv list [--new] [--tsv]\n"
    "       qorfax recv check\n"
    "       qorfax recv print N\n"
    "       qorfax recv show N [--png FILE]\n"
    "       qorfax recv save N --out FILE.pdf|FILE.tif\n"
    "       qorfax recv mark N --read|--unread\n"
    "       qorfax recv delete N\n"
    "       qorfax recv import FILE\n"
    "\n"
    "The faxes received into the profile's log, by entry number N.\n"
    "  list     every received fax (entry, time, from, pages, new or seen, print state);\n"
    "           --new only those not yet looked at; --tsv tab-separated fields\n"
    "  check    the fax log check of a host: how many faxes are new and how many there are;\n"
    "           with automatic printing on (qorfax config autoprint on) it prints the faxes\n"
    "           waiting to be printed and marks them printed\n"
    "  print    prints a fax (as [PRINT] of the settings file says) and marks it printed\n"
    "  show     shows a fax's details and a picture of its first page and marks it seen;\n"
    "           --png writes the first page as a PNG image\n"
    "  save     saves a fax's pages as one PDF or multi-page TIFF file\n"
    "  mark     marks a fax seen (--read) or new again (--unread)\n"
    "  delete   deletes a fax and its page files\n"
    "  import   takes a fax received elsewhere (a TIFF file) into the log\n";

// An entry number: 1 .. 2147483647.
bool parseEntry(const std::string& text, int32_t* entry) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < 1 || v > 2147483647LL) return false;
    *entry = static_cast<int32_t>(v);
    return true;
}

// A fixed text field as a string (never past its field).
template <std::size_t N>
std::string field(const char (&text)[N]) {
    return std::string(text, ::strnlen(text, N));
}

std::string fromOf(const VQ_LOGENTRY& e) {
    if (!field(e.stationid).empty()) return field(e.stationid);
    if (!field(e.callername).empty()) return field(e.callername);
    if (!field(e.caller).empty()) return field(e.caller);
    if (e.source == 1 && !field(e.note).empty()) return "file " + field(e.note);
    return "unknown";
}

const char* printText(uint16_t state) {
    switch (state) {
        case 'R':
        case 'E': return "waiting";
        case 'B': return "printing";
        case 'X': return "printed";
        default: return "-";
    }
}

std::string timeOf(uint32_t h, const SF_DATETIME& t) {
    char when[40];
    if (UL_fmtdatetime(h, &t, when, sizeof when) != 0) return "?";
    return when;
}

VQ_LOGENTRY entryOf(const LOG_RECORD& r) {
    VQ_LOGENTRY e;
    std::memcpy(&e, &r, sizeof e);
    return e;
}

// The three lists of a scan, freed on every path.
struct Scan {
    uint16_t all = 0, fresh = 0, toprint = 0;
    uint32_t lists[3] = {};
    ~Scan() {
        for (uint32_t h : lists)
            if (h) UL_freehandle(h);
    }
    int16_t run(uint32_t h) { return SF_scanrlog(h, &all, &fresh, &toprint, &lists[0], &lists[1], &lists[2]); }
    std::vector<int32_t> entries(int which, uint16_t count) const {
        std::vector<int32_t> out;
        if (!lists[which] || !count) return out;
        void* p = nullptr;
        if (UL_lockhandle(lists[which], &p) != 0) return out;
        out.assign(static_cast<const int32_t*>(p), static_cast<const int32_t*>(p) + count);
        UL_unlockhandle(lists[which]);
        return out;
    }
};

int list(uint32_t h, bool onlyNew, bool tsv) {
    Scan scan;
    if (int16_t st = scan.run(h)) return fail(st, "the log of received faxes cannot be read");
    const std::vector<int32_t> entries = onlyNew ? scan.entries(1, scan.fresh) : scan.entries(0, scan.all);
    if (!tsv) std::printf("%-8s  %-19s  %-30s  %5s  %-4s  %s\n", "ENTRY", "RECEIVED", "FROM", "PAGES", "NEW", "PRINT");
    for (int32_t n : entries) {
        LOG_RECORD r;
        const int16_t st = qorsf::SF_readfax(h, n, &r);
        if (st == VQ_E_NOENTRY) continue;  // deleted since the scan
        if (st) return fail(st, "a received fax cannot be read");
        const VQ_LOGENTRY e = entryOf(r);
        const bool isNew = e.viewstate == 'R' && e.entrystate != 'E';
        if (tsv)
            std::printf("%d\t%s\t%s\t%d\t%s\t%s\n", e.entrynum, timeOf(h, e.received).c_str(), fromOf(e).c_str(),
                        e.pages, isNew ? "new" : "seen", printText(e.printstate));
        else
            std::printf("%-8d  %-19s  %-30.30s  %5d  %-4s  %s\n", e.entrynum, timeOf(h, e.received).c_str(),
                        fromOf(e).c_str(), e.pages, isNew ? "new" : "", printText(e.printstate));
    }
    return kExitOk;
}

int check(uint32_t h) {
    if (int16_t st = applyAutoPrint(h)) return fail(st, "the automatic-print setting");
    const bool autoPrint = autoPrintSetting(h) != 0;
    uint16_t waitingBefore = 0;
    if (autoPrint) {
        Scan before;
        if (int16_t st = before.run(h)) return fail(st, "the log of received faxes cannot be read");
        waitingBefore = before.toprint;
    }
    uint16_t fresh = 0, all = 0;
    const int16_t st = SF_checkfaxlog(h, &fresh, &all);
    if (fresh != 0xFFFF) std::printf("new %u\nall %u\n", fresh, all);
    if (autoPrint) {
        Scan after;
        if (after.run(h) == 0 && waitingBefore >= after.toprint)
            std::printf("printed %u\n", static_cast<unsigned>(waitingBefore - after.toprint));
    }
    if (st) return fail(st, "the fax log check");
    return kExitOk;
}

int show(uint32_t h, int32_t n, const std::string& png) {
    LOG_RECORD r;
    if (int16_t st = qorsf::SF_readfax(h, n, &r)) return fail(st, "no such received fax");
    const VQ_LOGENTRY e = entryOf(r);
    char page0[UL_MAXPATH];
    if (int16_t st = qorsf::SF_faxpage0(h, &r, page0, sizeof page0)) return fail(st, "the fax's page files");
    std::printf("entry      %d\nreceived   %s\nfrom       %s\n", e.entrynum, timeOf(h, e.received).c_str(),
                fromOf(e).c_str());
    if (!field(e.caller).empty()) std::printf("caller     %s\n", field(e.caller).c_str());
    std::printf("pages      %d\nresolution %s\nprint      %s\nfile       %s\n", e.pages,
                e.resolution >= 150 ? "fine" : e.resolution ? "normal" : "-", printText(e.printstate), page0);
    if (e.pages > 0) {
        for (const std::string& line : L1_thumbnail(page0, 64, 24)) std::printf("| %s\n", line.c_str());
    }
    if (!png.empty()) {
        if (int16_t st = L1_pagepng(h, page0, 0, png.c_str())) return fail(st, "the PNG image cannot be written");
        std::printf("wrote %s\n", png.c_str());
    }
    if (e.viewstate == 'R')
        if (int16_t st = qorsf::SF_markfax(h, n, 1, 'S')) return fail(st, "the fax cannot be marked seen");
    return kExitOk;
}

int save(uint32_t h, int32_t n, const std::string& out) {
    LOG_RECORD r;
    if (int16_t st = qorsf::SF_readfax(h, n, &r)) return fail(st, "no such received fax");
    if (r.pages <= 0) return fail(L1_E_NOPAGES, "the fax has no pages");
    char page0[UL_MAXPATH];
    if (int16_t st = qorsf::SF_faxpage0(h, &r, page0, sizeof page0)) return fail(st, "the fax's page files");
    std::vector<std::string> names;
    for (int k = 0; k < r.pages; ++k) names.push_back(UX_pagefilename(page0, k));
    std::vector<const char*> files;
    for (const std::string& s : names) files.push_back(s.c_str());
    if (int16_t st = FN_savepagesas(h, files.data(), static_cast<int16_t>(files.size()), out.c_str()))
        return fail(st, "the pages cannot be saved");
    std::printf("saved %d page%s to %s\n", int{r.pages}, r.pages == 1 ? "" : "s", out.c_str());
    return kExitOk;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty()) return usage(kHelp, "recv needs list, check, print, show, save, mark, delete or import");
    const std::string& verb = args[0];
    Args rest(args.begin() + 1, args.end());

    // Arguments first: a usage error never opens the library.
    bool onlyNew = false, tsv = false;
    int32_t n = 0;
    std::string option;  // --png FILE, --out FILE, --read / --unread, import FILE
    if (verb == "list") {
        for (const std::string& a : rest) {
            if (a == "--new") onlyNew = true;
            else if (a == "--tsv") tsv = true;
            else return usage(kHelp, "recv list: unknown argument " + a);
        }
    } else if (verb == "check") {
        if (!rest.empty()) return usage(kHelp, "recv check takes no arguments");
    } else if (verb == "print" || verb == "delete") {
        if (rest.size() != 1 || !parseEntry(rest[0], &n)) return usage(kHelp, "recv " + verb + " needs an entry number");
    } else if (verb == "show") {
        if (rest.empty() || !parseEntry(rest[0], &n)) return usage(kHelp, "recv show needs an entry number");
        if (rest.size() == 3 && rest[1] == "--png" && !rest[2].empty()) option = rest[2];
        else if (rest.size() != 1) return usage(kHelp, "recv show: N [--png FILE]");
    } else if (verb == "save") {
        if (rest.size() != 3 || !parseEntry(rest[0], &n) || rest[1] != "--out" || rest[2].empty())
            return usage(kHelp, "recv save: N --out FILE.pdf|FILE.tif");
        option = rest[2];
    } else if (verb == "mark") {
        if (rest.size() != 2 || !parseEntry(rest[0], &n) || (rest[1] != "--read" && rest[1] != "--unread"))
            return usage(kHelp, "recv mark: N --read|--unread");
        option = rest[1];
    } else if (verb == "import") {
        if (rest.size() != 1 || rest[0].empty()) return usage(kHelp, "recv import needs one file");
        option = rest[0];
    } else {
        return usage(kHelp, "recv: unknown verb " + verb);
    }

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    if (verb == "list") return list(h, onlyNew, tsv);
    if (verb == "check") return check(h);
    if (verb == "show") return show(h, n, option);
    if (verb == "save") return save(h, n, option);
    if (verb == "print") {
        if (int16_t st = qorsf::SF_printfaxentry(h, n)) return fail(st, "the fax cannot be printed");
        char where[256] = {};
        FN_lastprinted(where, sizeof where);
        std::printf("printed entry %d: %s\n", n, where);
        return kExitOk;
    }
    if (verb == "mark") {
        if (int16_t st = qorsf::SF_markfax(h, n, 1, option == "--read" ? 'S' : 'R'))
            return fail(st, "the fax cannot be marked");
        return kExitOk;
    }
    if (verb == "delete") {
        if (int16_t st = qorsf::SF_deletefax(h, n)) return fail(st, "the fax cannot be deleted");
        std::printf("deleted entry %d\n", n);
        return kExitOk;
    }
    // import
    if (int16_t st = applyAutoPrint(h)) return fail(st, "the automatic-print setting");
    LOG_RECORD r;
    char reason[160] = {};
    if (int16_t st = qorsf::SF_importfax(h, option.c_str(), &r, reason, sizeof reason)) {
        if (reason[0]) std::fprintf(stderr, "qorfax: %s: %s\n", option.c_str(), reason);
        return fail(st, "the fax cannot be imported");
    }
    std::printf("imported %s as entry %d (%d page%s)\n", option.c_str(), r.entrynum, int{r.pages},
                r.pages == 1 ? "" : "s");
    return kExitOk;
}

Registration registration{{"recv",
                           "  recv VERB ...                list, check, print, show, save, mark, delete, import\n"
                           "                               received faxes\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
