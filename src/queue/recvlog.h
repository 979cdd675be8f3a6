// Received faxes as the library sees them: the scan of the receive log, the host's fax log
// check, automatic printing, and the single-fax operations of the host commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorvq_log.h"

namespace qorsf {

// Library-wide state of the receive log operations.
struct RecvLogState {
    bool scanBusy = false;  // set for the duration of one scan: a nested scan returns empty
};
RecvLogState& recvLogState();
void recvlog_reset();

// Walks the whole log once (under the engine lock) and hands out three lists of entry numbers
// in the log's order: every live fax, the new ones (not looked at, not marked E) and those
// waiting to be printed. The lists are movable blocks of 32-bit entry numbers, given back
// unlocked (0 when empty); the caller frees them. All six outputs are 0 on any failure.
int16_t SF_scanrlog(uint32_t host, uint16_t* all, uint16_t* fresh, uint16_t* toprint, uint32_t* alllist,
                    uint32_t* newlist, uint32_t* printlist);
// Grows an entry list by 50 entries: (list pointer in/out, old capacity, new size in bytes,
// handle in/out). With no handle yet a new block is made; the pointer addresses entry 0.
int16_t SF_growlist(uint32_t host, int32_t** list, int32_t oldCapacity, uint32_t newSize, uint32_t* handle);

// The host's poll: newcount (0xFFFF until it succeeds) and allcount; prints the waiting faxes
// when automatic printing is on.
int16_t SF_checkfaxlog(uint32_t host, uint16_t* newcount, uint16_t* allcount);
// Prints every fax waiting to be printed, in log order, and marks each printed.
int16_t SF_autoprint(uint32_t host);

// Find and mark: takes the first fax whose state (selector 1 viewstate, 2 printstate) is R and
// that has pages, sets that state to `mark` and, when mark is not 0, writes it back. The record
// comes back in `record`; entrynum -1 when there was none.
int16_t SF_findandmark(uint32_t host, int16_t selector, uint16_t mark, LOG_RECORD* record);
// Prints one fax of the log (its page files); a fax whose page file 0 is missing prints nothing
// and succeeds.
int16_t SF_printonefax(uint32_t host, const LOG_RECORD* record);
// Deletes page files 0..pages-1 of a fax file name (a failed delete is ignored).
int16_t SF_deletepagefiles(uint32_t host, const char* faxfile, int16_t pages);
// The full path of page file 0 of a logged fax.
int16_t SF_faxpage0(uint32_t host, const LOG_RECORD* record, char* path, std::size_t size);

// ---- Single faxes, for hosts that list the log (qorfax recv).
// Reads the fax with that entry number (VQ_E_NOENTRY when there is none or it was deleted).
int16_t SF_readfax(uint32_t host, int32_t entry, LOG_RECORD* record);
// Sets one state (selector 0 entrystate, 1 viewstate, 2 printstate) of a fax to `state`,
// reading it afresh should another program change it meanwhile.
int16_t SF_markfax(uint32_t host, int32_t entry, int16_t selector, uint16_t state, LOG_RECORD* record = nullptr);
// Prints a fax by hand: it is taken (B) while printing, then marked X; on a failure it gets its
// earlier print state back.
int16_t SF_printfaxentry(uint32_t host, int32_t entry);
// Deletes a fax: its page files go, the entry is marked deleted (viewstate D, entrystate D).
int16_t SF_deletefax(uint32_t host, int32_t entry);

}  // namespace qorsf

namespace qorsf {

// A fax received elsewhere, taken into the log: the pages of a TIFF file (a multi-page TIFF
// Class F is split into page files as it is; a TIFF that is not a fax is converted as a sent
// document would be) become page files in the receive directory, and a new entry lists them,
// waiting to be printed when automatic printing is on. On a failure nothing is left behind and
// `reason` (may be null) tells the user why.
int16_t SF_importfax(uint32_t host, const char* file, LOG_RECORD* record, char* reason, std::size_t reasonSize);

}  // namespace qorsf
