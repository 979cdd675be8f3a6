// QORVQ: the log of received faxes.
//
// The log lives in the SQLite database "recvlog.db" of the profile root, beside the queue (WAL
// mode, so that the fax engine adds entries from its own process while a host walks the log).
// Every change is one transaction: a reader never sees half an entry. Entry numbers go up and
// are never given twice, even after entries were removed.
//
// System values: 10 selects the log (0 is the profile's one log; any other gives VQ_E_NOLOG);
// 9 is the mailbox a walk is restricted to (0 = every mailbox; an entry's mailbox is its word
// at byte 26).
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorsf.h"  // LOG_RECORD, SF_DATETIME
#include "qorvq.h"  // VQ_CURSORSIZE

enum : int16_t {
    VQ_E_NOLOG = 31201,     // no receive log with that number
    VQ_E_NOENTRY = 31202,   // no log entry with that number
    VQ_E_CHANGED = 31203,   // the entry was changed by another program since it was read
    VQ_E_BADLOG = 31204,    // a log record that cannot be stored (its fax file name or page count)
    VQ_E_LOGFULL = 31205,   // the log has no entry numbers left
    VQ_E_LOGDB = 31206,     // the log database cannot be opened, or it is damaged
    VQ_E_LOGBUSY = 31207,   // the log database is held locked by another program
    VQ_E_NOPAGES = 31208,   // a page file of the fax does not exist
};

// ---- The whole log record as the engine keeps it. The library's view (LOG_RECORD) names only
// the states, the entry number, the page count and the fax file; the rest is the engine's.
#pragma pack(push, 1)
struct VQ_LOGENTRY {
    SF_DATETIME received;   //   0: when the fax came in (local time)
    uint16_t entrystate;    //  12: R received whole, P received in part, E listed but never new,
                            //      D its page files are deleted
    uint16_t resolution;    //  14: rows an inch: 98 normal, 196 fine (0 unknown)
    uint16_t duration;      //  16: seconds the call took
    uint16_t result;        //  18: 0 = received whole; otherwise the engine's code for the call
    uint16_t readentry;     //  20: the three states as VQ_readlog gave them (see VQ_writelog)
    uint16_t readview;      //  22
    uint16_t readprint;     //  24
    uint16_t mailbox;       //  26: the mailbox the fax belongs to (0 = the common one)
    uint16_t source;        //  28: 0 received by the fax engine, 1 imported from a file
    char reserved1[2];      //  30
    uint16_t viewstate;     //  32: R not yet looked at, S seen, D deleted
    uint16_t printstate;    //  34: R or E waiting, B being printed, X printed, N not to print
    char stationid[22];     //  36: the sender's station id (TSI), at most 20 characters
    char reserved2[16];     //  58
    int32_t entrynum;       //  74
    int16_t pages;          //  78
    char faxfile[80];       //  80: page file 0 (a bare name lies in the receive directory)
    char caller[32];        // 160: the caller's number (caller ID), at most 31 characters
    char callername[32];    // 192: the caller's name, at most 31 characters
    char note[80];          // 224: a note of the engine (for an imported fax: the file's name)
    char reserved3[28];     // 304
};
#pragma pack(pop)
static_assert(sizeof(VQ_LOGENTRY) == sizeof(LOG_RECORD), "the engine's record is the log record");
static_assert(offsetof(VQ_LOGENTRY, entrystate) == offsetof(LOG_RECORD, entrystate));
static_assert(offsetof(VQ_LOGENTRY, viewstate) == offsetof(LOG_RECORD, viewstate));
static_assert(offsetof(VQ_LOGENTRY, printstate) == offsetof(LOG_RECORD, printstate));
static_assert(offsetof(VQ_LOGENTRY, entrynum) == offsetof(LOG_RECORD, entrynum));
static_assert(offsetof(VQ_LOGENTRY, pages) == offsetof(LOG_RECORD, pages));
static_assert(offsetof(VQ_LOGENTRY, faxfile) == offsetof(LOG_RECORD, faxfile));
static_assert(offsetof(VQ_LOGENTRY, caller) == 160 && offsetof(VQ_LOGENTRY, note) == 224);

// ---- Walks. The cursor is VQ_CURSORSIZE (90) bytes, zero-filled by the caller, who puts the
// entry state letters to walk at byte 4 (NUL-terminated; empty = every entry) and system value
// 9 at bytes 84-85. Entries come in entry number order; a walk sees entries added during it.
constexpr std::size_t VQ_LOGFILTERSIZE = 32;  // bytes 4..35
constexpr std::size_t VQ_LOGMAILBOXAT = 84;   // bytes 84..85
int16_t VQ_openlog(uint32_t host, int16_t log, void* cursor);
// found = 0 at the end.
int16_t VQ_readlog(uint32_t host, void* cursor, LOG_RECORD* record, int16_t* found);
// Closes a walk or an update.
int16_t VQ_closelog(uint32_t host, void* cursor);

// ---- Changes. VQ_openlogupdate (log, 0, cursor, 1) opens the log for update; VQ_writelog then
// stores the three states of a record under its entry number (the engine's bytes, the page
// count and the fax file stay as stored). A state is written only when the caller changed it
// from what it read, and only when nobody else changed it meanwhile (VQ_E_CHANGED otherwise;
// nothing is written): two programs never both take one fax, and none undoes another's change.
// On success the record is brought up to date with the log, so it can be changed and written
// again.
int16_t VQ_openlogupdate(uint32_t host, int16_t log, int16_t flags, void* cursor, int16_t mode);
int16_t VQ_writelog(uint32_t host, void* cursor, LOG_RECORD* record);

// The directory of received fax files (ends with '/'), for log 10 and mailbox 9.
int16_t VQ_recvdir(uint32_t host, int16_t log, int16_t mailbox, char* buf, std::size_t bufsize);

// ---- Adding received faxes (the fax engine, and faxes received elsewhere).
// A new base name for the page files of one fax in the receive directory (no extension; its
// page files follow with UX_pagefile): unique across processes, never handed out twice.
int16_t VQ_recvname(uint32_t host, int16_t log, char* base, std::size_t basesize);
// Adds an entry for a fax whose page files exist already: `record` holds the fax file (page
// file 0, a bare name in the receive directory or a full path), the page count (0..999) and
// whatever the engine knows; a zero state means R for entrystate and viewstate and N (not to
// print) for printstate, a zero time means now. The record gets its new entry number.
int16_t VQ_addlog(uint32_t host, int16_t log, LOG_RECORD* record);
// Reads the entry with that number (VQ_E_NOENTRY when there is none).
int16_t VQ_readlogentry(uint32_t host, int16_t log, int32_t entry, LOG_RECORD* record);

// How long a call waits for another process's lock on the log (default 5000 ms).
void VQ_setlogbusytimeout(int milliseconds);
// Closes the log database (VQ_shutdown); the next call opens it again.
void VQ_closelogdb();
