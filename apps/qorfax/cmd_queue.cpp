// qorfax queue: list, count and purge the send queue.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "phonebook/phonebook.h"
#include "host.h"
#include "qorlib1.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorvq.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax queue list\n"
    "       qorfax queue count\n"
    "       qorfax queue purge\n"
    "\n"
    "list shows every job of the send queue (job number, recipient, number, status, send time,\n"
    "and in brackets why the fax engine failed it or calls again);\n"
    "count shows how many jobs there are, and how many were sent, failed or are held; purge\n"
    "moves the deleted jobs to the purge list.\n";

int list(uint32_t h) {
    if (int16_t st = L1_lock(h, -1)) return fail(st, "the fax engine lock");
    struct Unlock {
        uint32_t h;
        ~Unlock() { L1_lock(h, 1); }
    } unlock{h};
    unsigned char cursor[VQ_CURSORSIZE] = {};
    if (int16_t st = VQ_openqueue(h, cursor)) return fail(st, "the queue cannot be read");
    std::printf("%-12s  %-32s  %-30s  %-12s  %s\n", "JOB", "RECIPIENT", "NUMBER", "STATUS", "SEND TIME");
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
        char status[80], when[40];
        if (int16_t st = VQ_statustext(h, r.status, status, sizeof status)) return fail(st, "status text");
        const SF_DATETIME& t = r.sendtime;
        if (!t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second)
            std::snprintf(when, sizeof when, "as soon as possible");
        else if (UL_fmtdatetime(h, &t, when, sizeof when) != 0)
            std::snprintf(when, sizeof when, "?");
        const unsigned long long n = static_cast<unsigned long long>(static_cast<uint32_t>(r.jobnumhigh)) * 100000ULL + r.jobnum;
        // The number in display form: without a dial prefix or suffix framed by '|'.
        char prefix[256], suffix[256], number[256];
        char stored[sizeof r.number + 1] = {};
        std::memcpy(stored, r.number, sizeof r.number);
        qorsf::SF_decodephonenum(h, stored, prefix, suffix, number);
        // Why the fax engine failed the job, or why it waits to call again.
        char reason[128] = {};
        if (r.errorcode && VQ_statustext(h, r.errorcode, reason, sizeof reason) == 0 && reason[0])
            std::printf("%-12llu  %-32s  %-30s  %-12s  %s  (%s)\n", n, r.recipient, number, status, when, reason);
        else
            std::printf("%-12llu  %-32s  %-30s  %-12s  %s\n", n, r.recipient, number, status, when);
    }
    VQ_closequeue(h, cursor);
    return kExitOk;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.size() != 1 || (args[0] != "list" && args[0] != "count" && args[0] != "purge"))
        return usage(kHelp, "queue needs list, count or purge");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    if (args[0] == "list") return list(h);
    if (args[0] == "count") {
        uint16_t total = 0, sent = 0, failed = 0, held = 0;
        if (int16_t st = SF_checkqueue(h, 1, &total, &sent, &failed, &held)) return fail(st, "the queue cannot be counted");
        // The first poll of a process always counts; 0xFFFF would mean "unchanged".
        std::printf("total %u\nsent %u\nfailed %u\nheld %u\n", total, sent, failed, held);
        return kExitOk;
    }
    char purge[UL_MAXPATH];
    if (int16_t st = UL_getpath(h, purge, 7)) return fail(st, "purge list");
    uint32_t before = 0, after = 0;
    UL_filesize(h, purge, &before);
    if (int16_t st = VQ_purgequeue(h)) return fail(st, "the queue cannot be purged");
    UL_filesize(h, purge, &after);
    std::printf("purged %u job%s to %s\n", (after - before) / static_cast<uint32_t>(VQ_PURGELINESIZE),
                (after - before) / VQ_PURGELINESIZE == 1 ? "" : "s", purge);
    return kExitOk;
}

Registration registration{{"queue",
                           "  queue list|count|purge       show, count or purge the send queue\n", kHelp, run}};

}  // namespace
}  // namespace qorfax
