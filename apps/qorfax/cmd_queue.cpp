// qorfax queue: list, count and purge the send queue.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "phonebook/phonebook.h"
#include "phonebook_common.h"
#include "queue/actions.h"
#include "qorlib1.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorvq.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax queue list [--tsv]\n"
    "       qorfax queue show JOB\n"
    "       qorfax queue cancel JOB\n"
    "       qorfax queue count\n"
    "       qorfax queue purge\n"
    "       qorfax queue check [--repair]\n"
    "       qorfax queue hold|release|send-now|delete JOB...\n"
    "       qorfax queue resend-failed\n"
    "       qorfax queue send-all-now\n"
    "       qorfax queue number JOB NEW\n"
    "       qorfax queue view JOB [--png FILE]\n"
    "       qorfax queue save JOB --out FILE.pdf|FILE.tif\n"
    "       qorfax queue print JOB...\n"
    "       qorfax queue report [--out FILE]\n"
    "       qorfax queue window\n"
    "\n"
    "list shows every job of the send queue (job number, recipient, number, status, send time,\n"
    "and in brackets why the fax engine failed it or calls again;\n"
    "with --tsv one job a line, tab-separated: job, recipient, number, status letter, status,\n"
    "send time as YYYY-MM-DD HH:MM:SS or empty for as soon as possible, note). show shows one\n"
    "job: its documents, dial string, fine resolution and delete-after-send flags, note and\n"
    "status. cancel deletes a job: it is marked deleted, its holds on its spooled documents are\n"
    "released and a spooled copy that no other job needs is removed. count shows how many jobs\n"
    "there are, and how many were sent, failed or are held. purge removes the deleted jobs from\n"
    "the queue and releases their documents the same way. check mends the spool after a program\n"
    "was stopped half-way and, with --repair, a damaged queue (qorfax queue check --help).\n"
    "hold keeps a waiting job from being sent until release; send-now sends a waiting job at\n"
    "once (send-all-now every waiting job); delete is cancel for several jobs; resend-failed\n"
    "queues every failed job again. number gives a sent or failed job a new fax number (the\n"
    "dial prefix and suffix stay) and queues it again. view shows a picture of each document of\n"
    "a job (--png writes its first page as a PNG), save writes its pages as a PDF or TIFF file,\n"
    "print prints the pages of the jobs. report prints the queue report, or writes it to FILE.\n"
    "window opens the queue window (in the terminal when run on one; --ui script drives it from\n"
    "standard input): the jobs newest first with their status, kept up to date every second\n"
    "while the fax engine works, and buttons for the actions above on the selected jobs.\n";

// The record's full job number, send time and status text as shown.
struct Shown {
    unsigned long long job = 0;
    std::string when, status, number;
};

int16_t describe(uint32_t h, const QUEUE_RECORD& r, bool iso, Shown* out) {
    out->job = qorsf::SF_jobnumber(r);
    char status[80];
    if (int16_t st = VQ_statustext(h, r.status, status, sizeof status)) return st;
    out->status = status;
    const SF_DATETIME& t = r.sendtime;
    char when[40] = {};
    if (!t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second)
        std::snprintf(when, sizeof when, "%s", iso ? "" : "as soon as possible");
    else if (UL_fmtdatetime(h, &t, when, sizeof when) != 0)
        std::snprintf(when, sizeof when, "?");
    out->when = when;
    // The number in display form: without a dial prefix or suffix framed by '|'.
    char prefix[256], suffix[256], number[256];
    char stored[sizeof r.number + 1] = {};
    std::memcpy(stored, r.number, sizeof r.number);
    qorsf::SF_decodephonenum(h, stored, prefix, suffix, number);
    out->number = number;
    return 0;
}

std::string text(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

int list(uint32_t h, bool tsv) {
    if (int16_t st = L1_lock(h, -1)) return fail(st, "the fax engine lock");
    struct Unlock {
        uint32_t h;
        ~Unlock() { L1_lock(h, 1); }
    } unlock{h};
    unsigned char cursor[VQ_CURSORSIZE] = {};
    if (int16_t st = VQ_openqueue(h, cursor)) return fail(st, "the queue cannot be read");
    if (!tsv) std::printf("%-12s  %-32s  %-30s  %-12s  %s\n", "JOB", "RECIPIENT", "NUMBER", "STATUS", "SEND TIME");
    for (;;) {
        QUEUE_RECORD r;
        std::memset(&r, 0, sizeof r);
        int16_t found = 0;
        if (int16_t st = VQ_readnext(h, cursor, &r, &found)) {
            VQ_closequeue(h, cursor);
            return fail(st, "the queue cannot be read");
        }
        if (!found) break;
        if (r.status == 'D' || r.status == 'a' || r.status == 'e') continue;  // never listed
        Shown s;
        if (int16_t st = describe(h, r, tsv, &s)) {
            VQ_closequeue(h, cursor);
            return fail(st, "status text");
        }
        const std::string recipient = text(r.recipient, sizeof r.recipient);
        if (tsv) {
            const char letter[2] = {static_cast<char>(r.status), '\0'};
            std::printf("%s\n", tsvLine({std::to_string(s.job), recipient, s.number, letter, s.status, s.when,
                                         text(r.info6, sizeof r.info6)})
                                    .c_str());
        } else {
            // Why the fax engine failed the job, or why it waits to call again.
            char reason[128] = {};
            if (r.errorcode && VQ_statustext(h, r.errorcode, reason, sizeof reason) == 0 && reason[0])
                std::printf("%-12llu  %-32s  %-30s  %-12s  %s  (%s)\n", s.job, printable(recipient).c_str(),
                            s.number.c_str(), s.status.c_str(), s.when.c_str(), reason);
            else
                std::printf("%-12llu  %-32s  %-30s  %-12s  %s\n", s.job, printable(recipient).c_str(),
                            s.number.c_str(), s.status.c_str(), s.when.c_str());
        }
    }
    VQ_closequeue(h, cursor);
    return kExitOk;
}

// A job number as the user typed it: 1 to 12 digits.
bool parseJob(const std::string& word, uint64_t* job) {
    if (word.empty() || word.size() > 12 || word.find_first_not_of("0123456789") != std::string::npos) return false;
    *job = std::stoull(word);
    return true;
}

// The job, or a message and kExitFailed.
int findJob(uint32_t h, uint64_t job, QUEUE_RECORD* r) {
    bool found = false;
    if (int16_t st = qorsf::SF_findjob(h, job, r, &found)) return fail(st, "the queue cannot be read");
    if (!found || r->status == 'D' || r->status == 'a' || r->status == 'e') {
        std::fprintf(stderr, "qorfax: there is no job %llu in the queue\n", static_cast<unsigned long long>(job));
        return kExitFailed;
    }
    return kExitOk;
}

// The value after a keyword line of the job control file ("FINE  1"), or "".
std::string controlValue(const std::vector<std::string>& lines, uint32_t h, uint16_t keyword) {
    char word[80];
    if (UL_loadstring(h, word, "QORLANG", keyword) != 0) return "";
    const std::size_t n = std::strlen(word);
    for (const std::string& l : lines) {
        if (l.size() < n || ::strncasecmp(l.c_str(), word, n) != 0) continue;
        std::string v = l.substr(n);
        v.erase(0, v.find_first_not_of(' '));
        return v;
    }
    return "";
}

int show(uint32_t h, uint64_t job) {
    QUEUE_RECORD r;
    if (int rc = findJob(h, job, &r)) return rc;
    Shown s;
    if (int16_t st = describe(h, r, false, &s)) return fail(st, "status text");
    char path[UL_MAXPATH];
    UL_strcopy(path, text(r.jobfile, sizeof r.jobfile).c_str());
    if (UL_isbarename(path)) UL_fullpath(h, path, sizeof path);
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-12s %s\n", label, printable(value).c_str());
    };
    line("job", std::to_string(s.job));
    line("recipient", text(r.recipient, sizeof r.recipient));
    line("number", s.number);
    line("status", s.status);
    line("send time", s.when);
    line("note", text(r.info6, sizeof r.info6));
    line("sender", text(r.sender, sizeof r.sender));
    line("control", path);
    uint32_t list = 0;
    char dial[80] = {};
    if (VQ_readjobfile(h, path, &list, dial) != 0) {
        line("documents", "(the job control file cannot be read)");
        return kExitOk;
    }
    std::vector<std::string> lines;
    uint32_t file = 0;
    if (UL_fopenread(h, path, 1, &file) == 0) {
        char l[256];
        int16_t end = 0;
        while (UL_freadline(h, file, l, sizeof l, &end) == 0 && !end) lines.emplace_back(l);
        UL_fclose(h, file);
    }
    line("dial string", dial);
    line("fine", controlValue(lines, h, 3932) == "1" ? "yes" : "no");
    line("delete after", controlValue(lines, h, 3933) == "1" ? "yes" : "no");
    void* p = nullptr;
    if (UL_lockhandle(list, &p) == 0) {
        uint16_t count = 0;
        std::memcpy(&count, p, sizeof count);
        const auto* docs = reinterpret_cast<const VQ_JOBFILE*>(static_cast<const char*>(p) + sizeof count);
        for (uint16_t i = 0; i < count; ++i) line(i == 0 ? "documents" : "", text(docs[i].path, sizeof docs[i].path));
        if (count == 0) line("documents", "(none)");
        UL_unlockhandle(list);
    }
    VQ_freejobfile(h, list);
    return kExitOk;
}

int cancel(uint32_t h, uint64_t job) {
    QUEUE_RECORD r;
    if (int rc = findJob(h, job, &r)) return rc;
    if (r.status == 'I') {
        std::fprintf(stderr, "qorfax: job %llu is being sent just now and cannot be cancelled\n",
                     static_cast<unsigned long long>(job));
        return kExitFailed;
    }
    if (int16_t st = qorsf::SF_deletejob(h, &r)) return fail(st, "the job cannot be cancelled");
    std::printf("cancelled job %llu\n", static_cast<unsigned long long>(job));
    return kExitOk;
}

int run(const Args& args) {
    if (!args.empty() && args[0] == "check") {
        const Args rest(args.begin() + 1, args.end());
        if (wantsHelp(rest)) {
            std::fputs(kQueueCheckHelp, stdout);
            return kExitOk;
        }
        return queueCheck(rest);
    }
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (!args.empty() && args[0] == "window") return queueWindow(Args(args.begin() + 1, args.end()), kHelp);
    if (int rc = queueJobs(args, kHelp); rc >= 0) return rc;
    Args words;
    bool tsv = false;
    for (const std::string& a : args) {
        if (a == "--tsv") tsv = true;
        else words.push_back(a);
    }
    const std::string verb = words.empty() ? "" : words[0];
    const bool one = verb == "list" || verb == "count" || verb == "purge";
    const bool withJob = verb == "show" || verb == "cancel";
    if (!one && !withJob) return usage(kHelp, "queue needs a verb: list, show, cancel, count, purge, check or a job action");
    if (words.size() != (withJob ? 2u : 1u)) return usage(kHelp, "queue " + verb + ": wrong arguments");
    if (tsv && verb != "list") return usage(kHelp, "--tsv is an option of queue list");
    uint64_t job = 0;
    if (withJob && !parseJob(words[1], &job)) return usage(kHelp, "a job number has 1 to 12 digits, not " + words[1]);
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    if (int16_t st = host.queueStatus()) return fail(st, "the send queue");
    const uint32_t h = host.handle();
    if (verb == "list") return list(h, tsv);
    if (verb == "show") return show(h, job);
    if (verb == "cancel") return cancel(h, job);
    if (verb == "count") {
        uint16_t total = 0, sent = 0, failed = 0, held = 0;
        if (int16_t st = SF_checkqueue(h, 1, &total, &sent, &failed, &held)) return fail(st, "the queue cannot be counted");
        // The first poll of a process always counts; 0xFFFF would mean "unchanged".
        std::printf("total %u\nsent %u\nfailed %u\nheld %u\n", total, sent, failed, held);
        return kExitOk;
    }
    uint32_t purged = 0;
    if (int16_t st = qorsf::SF_purgejobs(h, &purged)) return fail(st, "the queue cannot be purged");
    std::printf("purged %u job%s\n", purged, purged == 1 ? "" : "s");
    return kExitOk;
}

Registration registration{{"queue",
                           "  queue VERB ...               list, show, cancel, count, purge or check the send queue;\n"
                           "                               queue window: the queue window\n", kHelp, run}};

}  // namespace
}  // namespace qorfax
