// qorfax queue check [--repair]: the recovery pass of the spool, and the repair of a damaged
// queue. Called from the queue command (cmd_queue.cpp).
#include <cstdio>
#include <string>

#include "commands.h"
#include "host.h"
#include "qorsf.h"
#include "qorvq.h"
#include "send/recovery.h"

namespace qorfax {

const char* kQueueCheckHelp =
    "usage: qorfax queue check [--repair]\n"
    "\n"
    "Checks the send queue and brings the spool and the delete list in line with it: control\n"
    "files and spooled copies of sends that never reached the queue are removed, and the holds\n"
    "on every spooled document are counted again from the jobs that need it.\n"
    "\n"
    "--repair is for a queue that is damaged: the database is kept aside as queue.db.damaged-TIME,\n"
    "a new one is started with every job that still reads from the old one, and each control\n"
    "file of the spool that no job names is queued again on hold (release it to send it). Control\n"
    "files that cannot be read are moved into spool/unattached/ and listed.\n";

namespace {

void printSpool(const qorsf::SpoolReport& r) {
    std::printf("%d job%s need their files\n", r.jobs, r.jobs == 1 ? "" : "s");
    std::printf("removed %d control file%s and %d spooled cop%s that no job names\n", r.removedControlFiles,
                r.removedControlFiles == 1 ? "" : "s", r.removedCopies, r.removedCopies == 1 ? "y" : "ies");
    std::printf("corrected %d hold%s of the delete list\n", r.holdsFixed, r.holdsFixed == 1 ? "" : "s");
    if (r.damagedListKept) std::printf("the delete list was damaged: rebuilt, the old one kept as delfile.lis.damaged\n");
    for (const std::string& p : r.missingControlFiles) std::printf("job control file missing: %s\n", p.c_str());
    for (const std::string& p : r.unreadableControlFiles) std::printf("job control file unreadable: %s\n", p.c_str());
}

}  // namespace

int queueCheck(const Args& args) {
    bool repair = false;
    for (const std::string& a : args) {
        if (a == "--repair") repair = true;
        else return usage(kQueueCheckHelp, "unknown argument " + a);
    }
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    int16_t queue = host.queueStatus();
    if (queue == 0) queue = VQ_checkqueue(h);
    if (queue == VQ_E_BUSY) return fail(queue, "the send queue");  // in use, not damaged: leave it
    if (queue && !repair) {
        std::fprintf(stderr, "qorfax: the send queue is damaged (status %d)\n", queue);
        std::fprintf(stderr, "qorfax: run `qorfax queue check --repair` to keep it aside and start a new one\n");
        return kExitFailed;
    }
    if (queue && repair) {
        qorsf::RepairReport r;
        if (int16_t st = qorsf::SF_repairqueue(h, &r)) return fail(st, "the send queue cannot be repaired");
        std::printf("the damaged queue is kept as %s\n", r.keptAs.c_str());
        std::printf("carried over %u job%s\n", r.salvaged, r.salvaged == 1 ? "" : "s");
        for (const std::string& p : r.reattached) std::printf("re-attached on hold: %s\n", p.c_str());
        for (const std::string& p : r.notReattached) std::printf("could not re-attach: %s\n", p.c_str());
        if (r.movedCopies) std::printf("moved %d spooled cop%s no job names into spool/unattached/\n", r.movedCopies,
                                       r.movedCopies == 1 ? "y" : "ies");
        printSpool(r.spool);
        return r.notReattached.empty() ? kExitOk : kExitFailed;
    }
    qorsf::SpoolReport r;
    if (int16_t st = qorsf::SF_recoverspool(h, &r)) return fail(st, "the spool cannot be checked");
    std::printf("the send queue is sound\n");
    printSpool(r);
    return r.missingControlFiles.empty() && r.unreadableControlFiles.empty() ? kExitOk : kExitFailed;
}

}  // namespace qorfax
