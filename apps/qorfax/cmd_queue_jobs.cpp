// qorfax queue: the job actions of the queue window (hold, release, send now, delete, resend
// failed, send all now, a new number, view, save, print, the queue report), through the same
// library operations the window uses.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorux.h"
#include "queue/actions.h"
#include "queue/jobs.h"

namespace qorfax {
namespace {

using Job = unsigned long long;

bool parseJob(const std::string& word, uint64_t* job) {
    if (word.empty() || word.size() > 12 || word.find_first_not_of("0123456789") != std::string::npos) return false;
    *job = std::stoull(word);
    return true;
}

bool listed(uint16_t status) { return status != 'D' && status != 'a' && status != 'e'; }

// The job as it is now, or a message and kExitFailed.
int findJob(uint32_t h, uint64_t job, QUEUE_RECORD* r) {
    bool found = false;
    if (int16_t st = qorsf::SF_findjob(h, job, r, &found)) return fail(st, "the queue cannot be read");
    if (!found || !listed(r->status)) {
        std::fprintf(stderr, "qorfax: there is no job %llu in the queue\n", static_cast<Job>(job));
        return kExitFailed;
    }
    return kExitOk;
}

std::string statusText(uint32_t h, uint16_t status) {
    char text[80] = {};
    if (VQ_statustext(h, status, text, sizeof text) != 0) std::snprintf(text, sizeof text, "%c", status);
    return text;
}

// hold, release, send-now, delete: each job in turn; a job the action does not apply to is
// named and the others go on.
int recordAction(uint32_t h, const std::string& verb, const std::vector<uint64_t>& jobs) {
    int rc = kExitOk;
    for (uint64_t job : jobs) {
        QUEUE_RECORD r;
        if (findJob(h, job, &r) != kExitOk) {
            rc = kExitFailed;
            continue;
        }
        if (verb == "delete") {
            if (r.status == 'I') {
                std::fprintf(stderr, "qorfax: job %llu is being sent just now and cannot be deleted\n",
                             static_cast<Job>(job));
                rc = kExitFailed;
                continue;
            }
            if (int16_t st = qorsf::SF_deletejob(h, &r)) return fail(st, "the job cannot be deleted");
            std::printf("deleted job %llu\n", static_cast<Job>(job));
            continue;
        }
        const qorsf::JobAction action = verb == "hold"      ? qorsf::JobAction::Hold
                                        : verb == "release" ? qorsf::JobAction::Release
                                                            : qorsf::JobAction::SendNow;
        bool changed = false;
        if (int16_t st = qorsf::SF_jobaction(h, &r, action, &changed)) return fail(st, "the job cannot be changed");
        if (!changed) {
            const char* need = action == qorsf::JobAction::Release ? "held" : "waiting";
            std::fprintf(stderr, "qorfax: job %llu is not %s (%s)\n", static_cast<Job>(job), need,
                         statusText(h, r.status).c_str());
            rc = kExitFailed;
            continue;
        }
        const char* done = verb == "hold" ? "held" : verb == "release" ? "released" : "sending now";
        std::printf("%s job %llu\n", done, static_cast<Job>(job));
    }
    return rc;
}

int view(uint32_t h, const QUEUE_RECORD& r, const std::string& png) {
    char page0[UL_MAXPATH];
    int16_t count = 0;
    if (int16_t st = qorsf::SF_preparepages(h, r, page0, sizeof page0, &count))
        return fail(st, "the job's pages cannot be read");
    struct Drop {
        uint32_t h;
        const char* page0;
        int16_t count;
        ~Drop() { qorsf::SF_droppages(h, page0, count); }
    } drop{h, page0, count};
    std::printf("job %llu: %d document%s\n", static_cast<Job>(qorsf::SF_jobnumber(r)), count, count == 1 ? "" : "s");
    const int cols = 72, rows = 24;
    for (int16_t k = 0; k < count; ++k) {
        const std::string file = UX_pagefilename(page0, k);
        std::printf("+%s+\n", std::string(cols, '-').c_str());
        for (const std::string& line : L1_thumbnail(file.c_str(), cols, rows)) std::printf("|%-72s|\n", line.c_str());
    }
    std::printf("+%s+\n", std::string(cols, '-').c_str());
    if (!png.empty()) {
        if (int16_t st = L1_pagepng(h, page0, 0, png.c_str())) return fail(st, png.c_str());
        std::printf("wrote %s\n", png.c_str());
    }
    return kExitOk;
}

}  // namespace

int queueJobs(const Args& args, const char* help) {
    static const std::vector<std::string> kVerbs = {"hold",   "release", "send-now", "delete", "resend-failed",
                                                    "send-all-now", "number", "view", "save", "print", "report"};
    const std::string verb = args.empty() ? "" : args[0];
    bool ours = false;
    for (const std::string& v : kVerbs) ours = ours || v == verb;
    if (!ours) return -1;
    std::string out, png;
    Args words;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--out" || args[i] == "--png") {
            if (i + 1 >= args.size()) return usage(help, args[i] + " needs a file name");
            (args[i] == "--out" ? out : png) = args[i + 1];
            ++i;
        } else {
            words.push_back(args[i]);
        }
    }
    if (!png.empty() && verb != "view") return usage(help, "--png is an option of queue view");
    if (!out.empty() && verb != "save" && verb != "report") return usage(help, "--out is an option of queue save and report");
    const bool none = verb == "resend-failed" || verb == "send-all-now" || verb == "report";
    const bool many = verb == "hold" || verb == "release" || verb == "send-now" || verb == "delete" || verb == "print";
    if (none && !words.empty()) return usage(help, "queue " + verb + " takes no job number");
    if (many && words.empty()) return usage(help, "queue " + verb + " needs a job number");
    if (verb == "number" && words.size() != 2) return usage(help, "queue number needs a job number and the new number");
    if ((verb == "view" || verb == "save") && words.size() != 1) return usage(help, "queue " + verb + " needs one job number");
    if (verb == "save" && out.empty()) return usage(help, "queue save needs --out FILE.pdf or FILE.tif");
    std::vector<uint64_t> jobs;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (verb == "number" && i == 1) break;
        uint64_t job = 0;
        if (!parseJob(words[i], &job)) return usage(help, "a job number has 1 to 12 digits, not " + words[i]);
        jobs.push_back(job);
    }
    if (verb == "number") {
        uint16_t check = 0;
        if (words[1].empty() || SF_checkphonenum(words[1].c_str(), &check) != 0 || check != 0)
            return usage(help, "not a fax number: " + words[1]);
    }

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    if (int16_t st = host.queueStatus()) return fail(st, "the send queue");
    const uint32_t h = host.handle();

    if (many && verb != "print") return recordAction(h, verb, jobs);
    if (verb == "resend-failed" || verb == "send-all-now") {
        uint32_t count = 0;
        const int16_t st = verb == "resend-failed" ? qorsf::SF_resendfailed(h, &count) : qorsf::SF_sendallnow(h, &count);
        if (st) return fail(st, "the queue cannot be changed");
        std::printf("%s %u job%s\n", verb == "resend-failed" ? "re-queued" : "sending now", count, count == 1 ? "" : "s");
        return kExitOk;
    }
    if (verb == "report") {
        if (int16_t st = qorsf::SF_queuereport(h, out.empty() ? nullptr : out.c_str()))
            return fail(st, "the queue report cannot be made");
        if (!out.empty()) {
            std::printf("wrote %s\n", out.c_str());
        } else {
            char where[256] = {};
            if (FN_lastprinted(where, sizeof where) == 0) std::printf("printed the queue report: %s\n", where);
        }
        return kExitOk;
    }
    std::vector<QUEUE_RECORD> records;
    for (uint64_t job : jobs) {
        QUEUE_RECORD r;
        if (int rc = findJob(h, job, &r)) return rc;
        records.push_back(r);
    }
    if (verb == "number") {
        QUEUE_RECORD& r = records[0];
        const int16_t st = qorsf::SF_changejobnumber(h, &r, words[1].c_str());
        if (st == qorsf::SF_E_JOBSTATE) {
            std::fprintf(stderr, "qorfax: job %llu is %s: only a sent or failed job gets a new number\n",
                         static_cast<Job>(jobs[0]), statusText(h, r.status).c_str());
            return kExitFailed;
        }
        if (st) return fail(st, "the job's number cannot be changed");
        std::printf("job %llu: number %s, waiting again\n", static_cast<Job>(jobs[0]), words[1].c_str());
        return kExitOk;
    }
    if (verb == "view") return view(h, records[0], png);
    if (verb == "save") {
        if (int16_t st = qorsf::SF_savefaxas(h, &records[0], out.c_str())) return fail(st, out.c_str());
        std::printf("wrote %s\n", out.c_str());
        return kExitOk;
    }
    if (int16_t st = qorsf::SF_printjobs(h, records)) return fail(st, "the job cannot be printed");
    char where[256] = {};
    if (FN_lastprinted(where, sizeof where) == 0) std::printf("printed: %s\n", where);
    return kExitOk;
}

}  // namespace qorfax
