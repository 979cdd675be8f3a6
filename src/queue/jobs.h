// The queue's job actions besides delete and purge (actions.h): hold, release, send now,
// re-queue, the number inside a job control file, the page copies of a job for viewing, saving,
// printing and the document list, and the queue report.
//
// Every action that changes a record reads it afresh under the engine lock and decides on the
// status it finds then, so that a job the engine took meanwhile is never changed behind its back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorwintypes.h"

namespace qorsf {

// What a record action did: 0 when the job's status did not allow it (nothing written).
enum class JobAction { Hold, Release, SendNow };
// Hold: Q becomes U. Release: U becomes Q. Send now: a Q job gets the send time now, or all zero
// (as soon as possible) when system value 10 is not 0. `record` gets the record as it now is.
// The host's window 101 is told when a record changed.
int16_t SF_jobaction(uint32_t host, QUEUE_RECORD* record, JobAction action, bool* changed);
// Send now for every Q or W job; `count` gets how many.
int16_t SF_sendallnow(uint32_t host, uint32_t* count);
// A job back to the queue: progress 0, status Q, send time now; written.
int16_t SF_requeue(uint32_t host, QUEUE_RECORD* record);
// Every A or E job re-queued; `count` gets how many.
int16_t SF_resendfailed(uint32_t host, uint32_t* count);

// The dial string inside a job control file. With a non-empty `number` the text after the
// keyword of the dial line is replaced by it (the other lines stay as they are, byte for byte);
// with an empty one the present dial string is copied into it (cut to `size` - 1).
int16_t SF_changebatchphone(uint32_t host, const char* path, char* number, std::size_t size);
// A new number for a sent or failed job (status S, A or E): the dial line of its control file
// gets it with the prefix and suffix the dial string had, the record the number, and the job is
// re-queued. SF_E_JOBSTATE for a job of another status.
int16_t SF_changejobnumber(uint32_t host, QUEUE_RECORD* record, const char* number);
constexpr int16_t SF_E_JOBSTATE = 13080;  // the job's status does not allow the action

// The page copy set of a job: temporary copies of its documents in order (a document named twice
// in a row is copied once; the copies end at the first document that no longer exists). `page0`
// gets the name of copy 0, `count` the number of copies; 0 copies is SF_E_NOPAGES.
int16_t SF_preparepages(uint32_t host, const QUEUE_RECORD& record, char* page0, std::size_t size, int16_t* count);
constexpr int16_t SF_E_NOPAGES = 13081;  // none of the job's documents exists any more
// Deletes a copy set again.
void SF_droppages(uint32_t host, const char* page0, int16_t count);

int16_t SF_viewfax(uint32_t host, HWND owner, const QUEUE_RECORD* record);
// Saves the job's pages into a file the user chooses.
int16_t SF_savefax(uint32_t host, HWND owner, const QUEUE_RECORD* record);
// The same into a named .tif, .tiff or .pdf file.
int16_t SF_savefaxas(uint32_t host, const QUEUE_RECORD* record, const char* path);
// The job's pages as one document of the send flow's document list.
int16_t SF_addqueuetofolder(uint32_t host, const QUEUE_RECORD* record);
// Prints the pages of the jobs (each job's pages one after the other, in one print).
int16_t SF_printjobs(uint32_t host, const std::vector<QUEUE_RECORD>& records);

// The queue report (layout of language text 2008): one row per job that is not deleted. With an
// output path the report is written there; without, it goes to the printer unless the layout
// names an output file of its own.
int16_t SF_queuereport(uint32_t host, const char* output);

}  // namespace qorsf
