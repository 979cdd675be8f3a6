// The queue's job actions besides delete and purge: see jobs.h.
#include "queue/jobs.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/services/guards.h"
#include "phonebook/phonebook.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorux.h"
#include "qorvq.h"
#include "queue/actions.h"
#include "queue/queue.h"
#include "report/report.h"
#include "send/send.h"

namespace qorsf {

namespace {


std::string field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

// The record of the same full job number as it is now (the caller holds the engine lock).
int16_t reread(uint32_t host, QUEUE_RECORD* record, bool* found) {
    return SF_findjob(host, SF_jobnumber(*record), record, found);
}

// The jobs whose status is one of `letters`, by full number (the caller holds the engine lock).
int16_t jobsWith(uint32_t host, const char* letters, std::vector<uint64_t>* jobs) {
    unsigned char cursor[VQ_CURSORSIZE] = {};
    UL_strcopy(reinterpret_cast<char*>(cursor) + 4, VQ_CURSORSIZE - 4, letters);
    if (int16_t st = VQ_openqueue(host, cursor)) return st;
    int16_t st = 0;
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t more = 0;
        if ((st = VQ_readnext(host, cursor, &r, &more)) != 0 || !more) break;
        if (r.status < 128 && std::strchr(letters, static_cast<char>(r.status))) jobs->push_back(SF_jobnumber(r));
    }
    VQ_closequeue(host, cursor);
    return st;
}

void sendTimeNow(uint32_t host, QUEUE_RECORD* r) {
    int16_t asap = 0;
    UL_getvalue(host, 10, &asap);
    if (asap) std::memset(&r->sendtime, 0, sizeof r->sendtime);
    else UL_now(&r->sendtime);
}

// The job control file's full path.
int16_t controlPath(uint32_t host, const QUEUE_RECORD& r, char (&path)[UL_MAXPATH]) {
    if (UL_strcopy(path, field(r.jobfile, sizeof r.jobfile).c_str()) != 0) return UL_E_PATHLONG;
    if (!*path) return UL_E_NOTFOUND;
    if (UL_isbarename(path)) return UL_fullpath(host, path, sizeof path);
    return 0;
}

// Does `line` start with the keyword (any case), followed by a blank or nothing?
bool isKeywordLine(const std::string& line, const char* keyword) {
    const std::size_t n = std::strlen(keyword);
    if (line.size() < n || ::strncasecmp(line.c_str(), keyword, n) != 0) return false;
    return line.size() == n || line[n] == ' ' || line[n] == '\t';
}

}  // namespace

int16_t SF_jobaction(uint32_t host, QUEUE_RECORD* record, JobAction action, bool* changed) {
    *changed = false;
    if (!record) return UL_E_BADARG;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    bool found = false;
    if (int16_t st = reread(host, record, &found)) return st;
    if (!found) return UL_E_NOTFOUND;
    switch (action) {
        case JobAction::Hold:
            if (record->status != 'Q') return 0;
            record->status = 'U';
            break;
        case JobAction::Release:
            if (record->status != 'U') return 0;
            record->status = 'Q';
            break;
        case JobAction::SendNow:
            if (record->status != 'Q') return 0;
            sendTimeNow(host, record);
            break;
    }
    if (int16_t st = VQ_writejob(host, record, 3)) return st;
    lock.release();
    *changed = true;
    queueState().dirty = true;
    SF_notifyqueue(host);
    return 0;
}

int16_t SF_sendallnow(uint32_t host, uint32_t* count) {
    *count = 0;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    std::vector<uint64_t> jobs;
    if (int16_t st = jobsWith(host, "QW", &jobs)) return st;
    for (uint64_t job : jobs) {
        QUEUE_RECORD r;
        bool found = false;
        if (int16_t st = SF_findjob(host, job, &r, &found)) return st;
        if (!found || (r.status != 'Q' && r.status != 'W')) continue;
        sendTimeNow(host, &r);
        if (int16_t st = VQ_writejob(host, &r, 3)) return st;
        ++*count;
    }
    lock.release();
    queueState().dirty = true;
    SF_notifyqueue(host);
    return 0;
}

int16_t SF_requeue(uint32_t host, QUEUE_RECORD* record) {
    record->progress1 = 0;
    record->progress2 = 0;
    record->status = 'Q';
    UL_now(&record->sendtime);
    return VQ_writejob(host, record, 3);
}

int16_t SF_resendfailed(uint32_t host, uint32_t* count) {
    *count = 0;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    std::vector<uint64_t> jobs;
    if (int16_t st = jobsWith(host, "EA", &jobs)) return st;
    for (uint64_t job : jobs) {
        QUEUE_RECORD r;
        bool found = false;
        if (int16_t st = SF_findjob(host, job, &r, &found)) return st;
        if (!found || (r.status != 'E' && r.status != 'A')) continue;
        if (int16_t st = SF_requeue(host, &r)) return st;
        ++*count;
    }
    lock.release();
    if (*count) {
        queueState().dirty = true;
        SF_notifyqueue(host);
    }
    return 0;
}

int16_t SF_changebatchphone(uint32_t host, const char* path, char* number, std::size_t size) {
    if (!path || !number || !size) return UL_E_BADARG;
    char keyword[80];
    if (int16_t st = UL_loadstring(host, keyword, kLangModule, 3930)) return st;
    const bool writing = *number != '\0';
    // The whole file first: a control file is a few short lines. Only the dial line changes;
    // the document lines keep their paths exactly (the file system tells case apart).
    std::vector<std::string> lines;
    {
        HostFile in(host);
        if (int16_t st = UL_fopenread(host, path, 1, in.out())) return st;
        for (;;) {
            char line[512];
            int16_t end = 0;
            if (int16_t st = UL_freadline(host, in.get(), line, sizeof line, &end)) return st;
            if (end) break;
            lines.emplace_back(line);
        }
    }
    std::size_t at = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (isKeywordLine(lines[i], keyword)) {
            at = i;
            break;
        }
    if (at == lines.size()) return VQ_E_JOBFILE;
    const std::size_t valueAt = std::strlen(keyword) + 1;
    if (!writing) {
        std::string value = lines[at].size() > valueAt ? lines[at].substr(valueAt) : "";
        value.erase(0, value.find_first_not_of(" \t"));
        if (UL_strcopy(number, size, value.c_str()) != 0) UL_tracevalue(host, "SF_changebatchphone cut", 0);
        return 0;
    }
    std::string head = lines[at].substr(0, std::min(valueAt, lines[at].size()));
    if (head.size() < valueAt) head += ' ';
    lines[at] = head + number;
    // Written whole beside the file and put in its place in one step: the engine, reading the
    // file at any moment, sees the old one or the new one.
    HostFile out(host);
    if (int16_t st = UL_fcreatewhole(host, path, out.out())) {
        UL_tracevalue(host, "SF_changebatchphone", st);
        return st;
    }
    for (const std::string& l : lines)
        if (int16_t st = UL_fputline(host, out.get(), l.c_str())) {
            UL_tracevalue(host, "SF_changebatchphone", st);
            return st;
        }
    const uint32_t file = *out.out();
    *out.out() = 0;
    if (int16_t st = UL_fcommit(host, file)) {
        UL_tracevalue(host, "SF_changebatchphone", st);
        return st;
    }
    return 0;
}

int16_t SF_changejobnumber(uint32_t host, QUEUE_RECORD* record, const char* number) {
    if (!record || !number || !*number) return UL_E_BADARG;
    if (std::strlen(number) >= sizeof record->number) return SF_DIALSTRINGLONG;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    bool found = false;
    if (int16_t st = reread(host, record, &found)) return st;
    if (!found) return UL_E_NOTFOUND;
    if (record->status != 'S' && record->status != 'A' && record->status != 'E') return SF_E_JOBSTATE;
    char path[UL_MAXPATH];
    if (int16_t st = controlPath(host, *record, path)) return st;
    char dial[256] = {};
    if (int16_t st = SF_changebatchphone(host, path, dial, sizeof dial)) return st;
    // The prefix and suffix the job was dialled with stay; only the number between them changes.
    char prefix[256] = {}, suffix[256] = {}, old[256] = {};
    if (int16_t st = SF_decodephonenum(host, dial, prefix, suffix, old)) return st;
    std::string fresh = SF_dialstring(number, prefix, suffix, '|');
    if (fresh.size() > 49) return SF_DIALSTRINGLONG;
    if (int16_t st = SF_changebatchphone(host, path, fresh.data(), fresh.size() + 1)) return st;
    UL_strcopy(record->number, number);
    if (int16_t st = SF_requeue(host, record)) return st;
    lock.release();
    queueState().dirty = true;
    SF_notifyqueue(host);
    return 0;
}

int16_t SF_preparepages(uint32_t host, const QUEUE_RECORD& record, char* page0, std::size_t size, int16_t* count) {
    *count = 0;
    char path[UL_MAXPATH];
    if (int16_t st = controlPath(host, record, path)) return st;
    std::vector<std::string> documents;
    {
        uint32_t list = 0;
        if (int16_t st = VQ_readjobfile(host, path, &list)) return st;
        void* p = nullptr;
        if (int16_t st = UL_lockhandle(list, &p)) {
            VQ_freejobfile(host, list);
            return st;
        }
        uint16_t n = 0;
        std::memcpy(&n, p, sizeof n);
        const auto* entries = reinterpret_cast<const VQ_JOBFILE*>(static_cast<const char*>(p) + sizeof n);
        for (uint16_t i = 0; i < n; ++i) documents.push_back(field(entries[i].path, sizeof entries[i].path));
        UL_unlockhandle(list);
        VQ_freejobfile(host, list);
    }
    char base[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, base, 22)) return st;
    if (UL_isbarename(base))
        if (int16_t st = UL_fullpath(host, base, sizeof base)) return st;
    if (char* dot = std::strrchr(base, '.'); dot && !std::strchr(dot, '/')) *dot = '\0';
    int16_t k = 0;
    std::string previous;
    for (const std::string& d : documents) {
        int16_t exists = 0;
        UL_fileexists(d.c_str(), &exists);
        if (!exists) break;
        if (!previous.empty() && ::strcasecmp(previous.c_str(), d.c_str()) == 0) continue;
        previous = d;
        char copy[UL_MAXPATH];
        UL_strcopy(copy, base);
        if (int16_t st = UX_pagefile(host, copy, sizeof copy, k)) {
            SF_droppages(host, base, k);
            return st;
        }
        if (int16_t st = UL_fcopy(host, copy, d.c_str())) {
            SF_droppages(host, base, k);
            return st;
        }
        ++k;
    }
    if (k == 0) return SF_E_NOPAGES;
    char first[UL_MAXPATH];
    UL_strcopy(first, base);
    if (int16_t st = UX_pagefile(host, first, sizeof first, 0)) {
        SF_droppages(host, base, k);
        return st;
    }
    if (UL_strcopy(page0, size, first) != 0) {
        SF_droppages(host, base, k);
        return UL_E_PATHLONG;
    }
    *count = k;
    return 0;
}

void SF_droppages(uint32_t host, const char* page0, int16_t count) {
    if (page0 && *page0 && count > 0) L1_deletepages(host, page0, count);
}

int16_t SF_viewfax(uint32_t host, HWND owner, const QUEUE_RECORD* record) {
    if (!record) return UL_E_BADARG;
    char page0[UL_MAXPATH];
    int16_t count = 0;
    int16_t st = SF_preparepages(host, *record, page0, sizeof page0, &count);
    if (st == 0) {
        const std::string jobfile = field(record->jobfile, sizeof record->jobfile);
        st = L1_viewfax(host, owner, page0, count, jobfile.c_str(), 0, 0, 1024, 768);
    }
    if (st) UL_tracevalue(host, "SF_viewfax", st);
    return st;
}

namespace {

// The names of a copy set as FN_savepages takes them: count + 1 entries of 81 bytes.
std::vector<char> pageNames(uint32_t host, const char* page0, int16_t count) {
    std::vector<char> names(static_cast<std::size_t>(count + 1) * 81, '\0');
    for (int16_t k = 0; k < count; ++k) {
        char name[UL_MAXPATH];
        UL_strcopy(name, page0);
        UX_pagefile(host, name, sizeof name, k);
        UL_strcopy(&names[static_cast<std::size_t>(k) * 81], 81, name);
    }
    return names;
}

}  // namespace

int16_t SF_savefax(uint32_t host, HWND owner, const QUEUE_RECORD* record) {
    if (!record) return UL_E_BADARG;
    char page0[UL_MAXPATH];
    int16_t count = 0;
    int16_t st = SF_preparepages(host, *record, page0, sizeof page0, &count);
    if (st == 0) {
        std::vector<char> names = pageNames(host, page0, count);
        st = FN_savepages(host, owner, names.data(), count, "", "", 2);
        SF_droppages(host, page0, count);
    }
    if (st && UL_tracelevel() > 1) UL_tracevalue(host, "SF_savefax", st);
    return st;
}

int16_t SF_savefaxas(uint32_t host, const QUEUE_RECORD* record, const char* path) {
    if (!record || !path || !*path) return UL_E_BADARG;
    char page0[UL_MAXPATH];
    int16_t count = 0;
    if (int16_t st = SF_preparepages(host, *record, page0, sizeof page0, &count)) return st;
    std::vector<std::string> files;
    for (int16_t k = 0; k < count; ++k) files.push_back(UX_pagefilename(page0, k));
    std::vector<const char*> ptrs;
    for (const std::string& f : files) ptrs.push_back(f.c_str());
    const int16_t st = FN_savepagesas(host, ptrs.data(), count, path);
    SF_droppages(host, page0, count);
    return st;
}

int16_t SF_addqueuetofolder(uint32_t host, const QUEUE_RECORD* record) {
    if (!record) return UL_E_BADARG;
    char page0[UL_MAXPATH];
    int16_t count = 0;
    int16_t st = SF_preparepages(host, *record, page0, sizeof page0, &count);
    if (st == 0) {
        // The copies now belong to the document list, which deletes them after its send.
        st = FN_adddocument(host, page0, count, 1);
        if (st) SF_droppages(host, page0, count);
    }
    if (st) UL_tracevalue(host, "SF_addqueuetofolder", st);
    return st;
}

int16_t SF_printjobs(uint32_t host, const std::vector<QUEUE_RECORD>& records) {
    // Each job's copies are made under their own base name, and every page of every selected job
    // goes into the one print.
    struct Set {
        std::string page0;
        int16_t count;
    };
    std::vector<Set> sets;
    struct Drop {
        uint32_t host;
        std::vector<Set>* sets;
        ~Drop() {
            for (const Set& s : *sets) SF_droppages(host, s.page0.c_str(), s.count);
        }
    } drop{host, &sets};
    for (const QUEUE_RECORD& r : records) {
        char page0[UL_MAXPATH];
        int16_t count = 0;
        if (int16_t st = SF_preparepages(host, r, page0, sizeof page0, &count)) return st;
        sets.push_back({page0, count});
    }
    if (sets.empty()) return 0;
    if (sets.size() == 1) return FN_printfax(host, sets[0].page0.c_str(), sets[0].count, 0);
    std::vector<std::string> files;
    for (const Set& s : sets)
        for (int16_t k = 0; k < s.count; ++k) files.push_back(UX_pagefilename(s.page0, k));
    std::vector<const char*> ptrs;
    for (const std::string& f : files) ptrs.push_back(f.c_str());
    return FN_printpages(host, ptrs.data(), static_cast<int16_t>(ptrs.size()));
}

int16_t SF_queuereport(uint32_t host, const char* output) {
    char path[UL_MAXPATH];
    const bool temporary = !output || !*output;
    if (temporary) {
        if (int16_t st = UL_getpath(host, path, 22)) return st;
        if (UL_isbarename(path))
            if (int16_t st = UL_fullpath(host, path, sizeof path)) return st;
    } else if (UL_strcopy(path, output) != 0) {
        return UL_E_PATHLONG;
    }
    char layout[80];
    if (int16_t st = UL_loadstring(host, layout, kLangModule, 2008)) return st;
    struct Report {
        uint32_t host;
        RPT_CONTEXT ctx{};
        const char* temp;
        ~Report() {
            SF_rptfree(host, &ctx);
            if (temp) UL_fdelete(host, temp);
        }
    } report{host, {}, temporary ? path : nullptr};
    if (int16_t st = SF_rptopen(host, path, layout, &report.ctx)) return st;
    {
        EngineLock lock(host);
        if (int16_t st = lock.take()) return st;
        unsigned char cursor[VQ_CURSORSIZE] = {};
        if (int16_t st = VQ_openqueue(host, cursor)) return st;
        struct Close {
            uint32_t host;
            unsigned char* cursor;
            ~Close() { VQ_closequeue(host, cursor); }
        } close{host, cursor};
        for (;;) {
            QUEUE_RECORD r;
            std::memset(&r, 0, sizeof r);
            int16_t more = 0;
            if (int16_t st = VQ_readnext(host, cursor, &r, &more)) return st;
            if (!more) break;
            if (r.status == 'D' || r.status == 'a' || r.status == 'e') continue;
            char cols[11][80] = {};
            UL_strcopy(cols[0], field(r.code2, sizeof r.code2).c_str());
            char stored[sizeof r.number + 1] = {};
            std::memcpy(stored, r.number, sizeof r.number);
            char prefix[256], suffix[256], number[256];
            if (SF_decodephonenum(host, stored, prefix, suffix, number) != 0) UL_strcopy(number, stored);
            UL_strcopy(cols[1], number);
            const SF_DATETIME& t = r.sendtime;
            // All zero is "as soon as possible": the column stays empty.
            if (t.year || t.month || t.day || t.hour || t.minute || t.second)
                if (int16_t st = UL_fmtdatetime(host, &t, cols[2], sizeof cols[2])) return st;
            if (int16_t st = VQ_statustext(host, r.status, cols[3], sizeof cols[3])) return st;
            std::snprintf(cols[4], sizeof cols[4], "%d", r.info7);
            UL_strcopy(cols[5], field(r.sender, sizeof r.sender).c_str());
            std::snprintf(cols[6], sizeof cols[6], "%d", r.info3);
            UL_strcopy(cols[7], field(r.code1, sizeof r.code1).c_str());
            UL_strcopy(cols[8], field(r.recipient, sizeof r.recipient).c_str());
            std::snprintf(cols[9], sizeof cols[9], "%d", r.info1);
            UL_strcopy(cols[10], field(r.info6, sizeof r.info6).c_str());
            const char* columns[11];
            for (int i = 0; i < 11; ++i) columns[i] = cols[i];
            if (int16_t st = SF_rptline(host, &report.ctx, nullptr, 0, 11, columns)) return st;
        }
    }
    if (int16_t st = SF_rptclose(host, &report.ctx)) return st;
    if (temporary && report.ctx.printAfterwards)
        if (int16_t st = FN_printdoc(host, path, 0)) return st;
    return 0;
}

}  // namespace qorsf
