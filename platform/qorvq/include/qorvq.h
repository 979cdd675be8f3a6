// QORVQ: the fax engine's send queue, log of received faxes and engine configuration.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorsf.h"  // SendJobRecord, QUEUE_RECORD, SF_DATETIME

// ---- Status codes of the queue library (texts in the language module under the same number)
enum : int16_t {
    VQ_E_NOKEY = 31001,     // unknown configuration key number
    VQ_E_SECTION = 31002,   // unknown configuration section or source
    VQ_E_DB = 31003,        // the queue database cannot be opened, or it is damaged
    VQ_E_BUSY = 31004,      // the queue database is held locked by another process
    VQ_E_NOJOB = 31005,     // no job with that number
    VQ_E_CURSOR = 31006,    // a cursor that is not open
    VQ_E_FULL = 31007,      // the twelve digits of the job numbers are used up
    VQ_E_BADJOB = 31008,    // a job record that cannot be stored (a text does not fit its field)
    VQ_E_JOBFILE = 31009,   // a job control file that is damaged
    VQ_E_PURGE = 31010,     // the purge list file cannot be written
    VQ_E_MODE = 31011,      // an unknown write mode
    VQ_E_DISKFULL = 31012,  // the disk is full: the queue could not be changed
};

// ---- The send queue.
//
// The queue lives in the SQLite database "queue.db" of the profile root (WAL mode, so a fax
// engine process can share it). Every change is one transaction that also advances a change
// counter: a reader never sees half a job, and VQ_queuechanged sees changes of other processes.
constexpr std::size_t VQ_CURSORSIZE = 90;     // a queue cursor: the status filter from byte 4
constexpr std::size_t VQ_FILTERSIZE = 32;     // bytes 4..35: NUL-terminated status letters
constexpr std::size_t VQ_SNAPSHOTSIZE = 12;   // a queue snapshot for VQ_queuechanged
constexpr std::size_t VQ_PURGELINESIZE = 480; // one line of the purge list file
constexpr uint64_t VQ_MAXJOB = 999999999999ULL;  // job numbers have at most twelve digits

// Adds a job: the job record becomes a queue record (status Q) under a new job number, unique
// and larger than every number given before. The whole job appears at once or not at all.
int16_t VQ_addjob(uint32_t host, const SendJobRecord* job, uint32_t* jobNumber);
// The full job number (up to twelve digits) of the last VQ_addjob of this process.
uint64_t VQ_lastjobnumber();
// Walks the queue in job number order. The cursor (VQ_CURSORSIZE bytes) is zero-filled by the
// caller, who may put a set of status letters at byte 4 (empty = every record). found = 0 at the
// end. A walk sees jobs added during it when their numbers lie ahead of it.
int16_t VQ_openqueue(uint32_t host, void* cursor);
int16_t VQ_readnext(uint32_t host, void* cursor, QUEUE_RECORD* record, int16_t* found);
int16_t VQ_closequeue(uint32_t host, void* cursor);
// Reads the job whose lowest five digits are `jobnum` (the newest one, should several match).
int16_t VQ_readjob(uint32_t host, uint32_t jobnum, QUEUE_RECORD* record);
// Stores a changed record under its job number (jobnumhigh and jobnum); mode 3 replaces it.
int16_t VQ_writejob(uint32_t host, const QUEUE_RECORD* record, int16_t mode);
// The display text of a status letter (language texts 31300 + letter; 31300 for any other), or of
// an error code of the fax engine (32001-32099, the queue record's errorcode: its own text).
int16_t VQ_statustext(uint32_t host, uint16_t status, char* buf, std::size_t bufsize);
// Compares the snapshot (VQ_SNAPSHOTSIZE bytes) with the queue: changed = 1 when the queue
// changed since the snapshot was taken (an all-zero snapshot always differs); then updates it.
int16_t VQ_queuechanged(uint32_t host, void* snapshot, int16_t* changed);
// Removes the deleted (D) jobs from the queue and appends each to the purge list file
// (UL_getpath 7) as one VQ_PURGELINESIZE-byte line. Lines and removal succeed or fail together.
int16_t VQ_purgequeue(uint32_t host);
// The purge line of a record (VQ_PURGELINESIZE bytes, ending with CR LF).
void VQ_makepurgeline(const QUEUE_RECORD* record, char* line);
// Parses "YYYYMMDDHHMMSS" (all zeros = as soon as possible); UL_E_NOTIME when it does not.
int16_t VQ_parsetime(uint32_t host, const char* text, SF_DATETIME* when);
// Checks the database's own structure (0, or VQ_E_DB when it is damaged).
int16_t VQ_checkqueue(uint32_t host);
// Puts a damaged queue aside: the database is renamed to "queue.db.damaged-<time>" (its path in
// keptAs), a new one is started, and every job row that still reads from the damaged one is
// carried over under its number (salvaged). Job numbers go on after the largest one ever given.
int16_t VQ_repairqueue(uint32_t host, char* keptAs, std::size_t keptSize, uint32_t* salvaged);
// How long a call waits for another process's lock on the database (default 5000 ms).
void VQ_setbusytimeout(int milliseconds);

// ---- Job control files: what the fax engine makes of the file that SF_sendfax writes.
#pragma pack(push, 1)
struct VQ_JOBFILE {
    char path[162];     // the document's file path (the text up to its first blank)
    uint16_t flag;      // 1: delete the file even when the delete list does not hold it
    char reserved[4];
};
#pragma pack(pop)
static_assert(sizeof(VQ_JOBFILE) == 168, "a job file entry is 168 bytes");
static_assert(offsetof(VQ_JOBFILE, flag) == 162, "the flag of a job file entry lies at byte 162");
// Reads a job control file into a job file list: a movable block (handle in *list) holding a
// 16-bit count and then one VQ_JOBFILE per document, in the file's order. A damaged file gives
// VQ_E_JOBFILE and no list. The dial string is given in `dial` when it is not null (80 bytes).
int16_t VQ_readjobfile(uint32_t host, const char* path, uint32_t* list, char* dial = nullptr);
int16_t VQ_freejobfile(uint32_t host, uint32_t list);

// Reads configuration text `key` of `section` (source 1 = the settings file) into buf.
// Section "GENERAL": 4150 sender name, 4151 sender company, 4153 sender address, 4154 sender
// fax number, 4155 sender voice number, 4156 sender e-mail, 4160 default dial prefix, 4161
// default dial suffix; each is a key of section [GENERAL] of the settings file (a missing key
// gives an empty text).
int16_t VQ_getconfig(uint32_t host, int16_t source, const char* section, uint16_t key, char* buf,
                     std::size_t bufsize);
// The settings key name of a "GENERAL" configuration number, or nullptr.
const char* VQ_configkeyname(uint16_t key);

// Shuts the engine side down (closes the queue database).
int16_t VQ_shutdown(uint32_t host);
// Resets of the engine side: the whole system, a full reset, a partial reset. A reset means that
// no transmission is under way any more: jobs left busy (I) wait again (Q). The partial reset
// only closes the database, so the next call opens it afresh.
int16_t VQ_resetsys(uint32_t host, int16_t value, int16_t full);
int16_t VQ_resetfull(uint32_t host);
int16_t VQ_resetpart(uint32_t host);
