// The queue's job actions: a job found by its full number, deleted with its files, and the
// purge that moves deleted jobs out of the queue and hands their files back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/frame.h"
#include "qorsf.h"

namespace qorsf {

// The fax engine gives back a sent job's holds on its documents itself and marks the record so,
// in a byte of the part the library leaves to the engine; whoever deletes the job later must
// not give them back a second time (that would delete a copy other jobs still need).
constexpr std::size_t kHoldsReleasedAt = 342;
constexpr char kHoldsReleased = 'R';
inline bool SF_holdsreleased(const QUEUE_RECORD& r) {
    return r.unused2[kHoldsReleasedAt - offsetof(QUEUE_RECORD, unused2)] == kHoldsReleased;
}

// The full job number of a record (up to twelve digits).
uint64_t SF_jobnumber(const QUEUE_RECORD& record);
// Finds the job of that full number (found = false when the queue has none).
int16_t SF_findjob(uint32_t host, uint64_t job, QUEUE_RECORD* record, bool* found);
// The files of a job: the job control file's documents are released in the delete list (a
// copy no other job holds is deleted) and the control file is deleted. A job whose control
// file is gone has nothing left to release: 0. With releaseHolds false (holds given back
// already) only the control file is deleted.
int16_t SF_deletejobfiles(uint32_t host, const char* jobfile, bool releaseHolds = true);
// Deletes a job as the queue window does: the record marked D, then its files released; the
// host's window 101 is told. A failure to release the files is traced; the job stays deleted.
int16_t SF_deletejob(uint32_t host, QUEUE_RECORD* record);
// Purges the queue: the deleted jobs go to the purge list, then the files of every job on the
// purge list are released and the list is emptied. `purged` gets the number of jobs.
int16_t SF_purgejobs(uint32_t host, uint32_t* purged);

}  // namespace qorsf
