// The rollback journal of the record store.
//
// While a store file is open for work, every page and header write of an operation is kept in
// memory (the operation's overlay; reads see it first). At the end of the operation the
// overlay goes to the file: first the original bytes of every block it changes that existed
// when the transaction began go to the journal "<store>-journal" beside the store, the journal
// is made durable (fsync, and its directory's when it was just made), and only then are the
// blocks written in place. A transaction is one store operation, or a unit of several
// (DB_beginunit): at its end the store is made durable and the journal made void, which is the
// moment the work counts: while the store stays open its header is overwritten with zeros (and
// the next transaction writes a new one over it, so the file is made once an open), and when
// the store closes the journal is deleted. Opening a store whose journal is still there and
// valid puts the original bytes back and cuts the file to its old length first; a void one is
// deleted.
//
// Journal format (little-endian):
//   header, 32 bytes: "QORJRNL3", nonce (4), store length when the transaction began (4),
//                     block size 1024 (4), 8 reserved zero bytes, FNV-1a of bytes 0-27 (4)
//   records, 1032 bytes each: block number (4), the block's original 1024 bytes (a block the
//                     file held only in part is padded with zeros), checksum (4)
// A record whose checksum (over nonce, block number and bytes; see recordSum) fails ends the
// journal: it was being written when the work stopped, and its block was not yet touched.
// Journals of versions "QORJRNL1" (the same, with FNV-1a over the record) and "QORJRNL2" (with
// a 32-bit four-lane sum) are rolled back too.
#pragma once

#include <cstdint>

#include "store/store.h"

namespace qorsf::jr {

// ---- Used by the page file's direct I/O. Block b is bytes b * 1024 to b * 1024 + 1023.
// Whether the file has a transaction: its writes go to the overlay.
bool collecting(int16_t file);
// Puts length bytes at offset within block b into the overlay (the rest of the block is read
// from the file when the overlay does not hold it yet). 0 or an I/O status.
int16_t put(int16_t file, uint32_t block, uint32_t offset, const void* bytes, uint32_t length);
// Copies bytes of block b from the overlay; false when the overlay does not hold the block.
bool get(int16_t file, uint32_t block, uint32_t offset, void* out, uint32_t length);

// ---- Used by the record store.
// At open, under the file's lock: rolls back a journal left beside the store. 0 or -4.
int16_t recover(const char* path, int16_t file);
// Gives the handle's open file a transaction (the store path names its journal).
void attach(DB_HANDLE* h, const char* path);
// Whether a unit of work holds the file of this path open (the handle closed it); its number.
int16_t heldFile(const char* path);
// Marks the beginning of an operation: what the handle says of the header is kept, so that an
// operation that fails can be undone in memory.
void beginOp(DB_HANDLE* h);
// Ends an operation: undo discards its overlay and restores the handle; otherwise the overlay
// is written (journal first) and, outside a unit, the transaction commits. A failure while
// writing rolls the transaction back and is returned (the operation's own status otherwise).
int16_t endOp(DB_HANDLE* h, int16_t status, bool undo);
// The handle closes the file: commits (or, inside a unit, keeps the file open and locked for
// the unit). True when the file must still be closed by the caller.
int16_t detach(DB_HANDLE* h, bool* closeFile);
// A transaction that could not be rolled back refuses every further write.
bool broken(int16_t file);

// Units (DB_beginunit, DB_endunit).
int16_t beginUnit(const char* path);
int16_t endUnit(const char* path, bool commit);

// Syncing: -1 = as the settings say ([SYSTEM] Durable, default 1), 0 off, 1 on.
void setDurable(int mode);
bool durable();
long syncCount();

void reset();

}  // namespace qorsf::jr
