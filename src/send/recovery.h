// The recovery pass of the spool: what a send killed half-way (or stopped by a full disk) left
// is brought back in line with the queue. The invariant it restores:
//   - every job of the queue that is not deleted has its control file, and each document that
//     the control file names has exactly one hold per such job in the delete list;
//   - the delete list holds nothing that no job names;
//   - the spool holds no control file and no spooled copy that no job names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorsf {

struct SpoolReport {
    int jobs = 0;                               // jobs of the queue that still need their files
    int removedControlFiles = 0;                // control files of jobs never queued
    int removedCopies = 0;                      // spooled copies and temporaries no job names
    int holdsFixed = 0;                         // records of the delete list added, changed or dropped
    bool damagedListKept = false;               // a damaged delete list was rebuilt (a copy kept)
    std::vector<std::string> missingControlFiles;   // jobs whose control file is gone
    std::vector<std::string> unreadableControlFiles;  // control files that cannot be read
};

// Runs the pass under the fax engine lock. Nothing is removed when the queue cannot be read:
// the status of the queue is returned instead.
int16_t SF_recoverspool(uint32_t host, SpoolReport* report);
// The cheap check of SF_open: runs the pass only when a send left its mark and no other process
// is sending now. 0 when nothing had to be done or the pass worked.
int16_t SF_recoverifneeded(uint32_t host);

// The repair of a damaged queue: the database is put aside and a new one started with every job
// that still reads from it; then every control file of the spool that no job names is
// re-attached as a new job on hold when it reads (to the number of its dial string; held,
// because it may have been sent before the damage: the user releases what is to go). What cannot be re-attached, and the copies no job names after that, are
// moved into spool/unattached/ (never deleted); last the recovery pass recounts the holds.
struct RepairReport {
    std::string keptAs;                     // where the damaged database is now
    uint32_t salvaged = 0;                  // jobs carried over from it
    std::vector<std::string> reattached;    // control files queued again
    std::vector<std::string> notReattached; // control files that could not be (moved aside)
    int movedCopies = 0;                    // copies no job names, moved aside with them
    SpoolReport spool;
};
int16_t SF_repairqueue(uint32_t host, RepairReport* report);

// The mark of a send in progress (spool/send.pending). begin() runs the pass first when an
// earlier send left the mark; end() removes it. A send that fails leaves the mark, so that its
// clean-up is checked by the next pass.
class SendInProgress {
public:
    explicit SendInProgress(uint32_t host) : host_(host) {}
    int16_t begin();
    void end();

private:
    uint32_t host_;
};

}  // namespace qorsf
