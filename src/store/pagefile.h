// Record file and page cache: header and page I/O by file number, page allocation, growth.
#pragma once

#include "store/store.h"

namespace qorsf::pf {

// Direct I/O; each stores its status as the library-wide last I/O status.
int16_t readHeader(DB_HANDLE* h, DB_HEADER* out);
int16_t writeHeader(DB_HANDLE* h);
int16_t readPageDirect(int16_t file, DB_PAGE* page, int16_t pageno);
int16_t writePageDirect(int16_t file, const DB_PAGE* page, int16_t pageno);

// Through the cache (direct when no cache exists).
int16_t readPage(DB_HANDLE* h, DB_PAGE* page, int16_t pageno);
// The same, also giving the slot the bytes came from (-1 when no cache exists) and its version:
// a number that changes whenever the slot's content changes, so that a reader may keep what it
// derived from a page for as long as the slot's version stays.
int16_t readPage(DB_HANDLE* h, DB_PAGE* page, int16_t pageno, int* slot, uint32_t* version);
// The same without the copy: *page points at the page in its slot, and stays valid only until
// the next read or write of a page. With no cache it is null and nothing is read: the caller
// reads a copy instead.
int16_t pinPage(DB_HANDLE* h, const DB_PAGE** page, int16_t pageno, int* slot, uint32_t* version);
// Whether page pageno of the handle's file sits in the cache; the use order stays as it is.
bool cached(const DB_HANDLE* h, int16_t pageno);
// isLeaf decides the write policy 2 case.
int16_t writePage(DB_HANDLE* h, const DB_PAGE* page, int16_t pageno);

// Returns the new page number; -1 when the header write failed; -31 when none is left.
int16_t allocPage(DB_HANDLE* h);
int16_t growFile(DB_HANDLE* h);
// Writes back and frees every slot of the file.
int16_t flushDrop(int16_t file);
// Frees the slots of the file without writing them (a file being deleted).
void dropFile(int16_t file);

int16_t lastIo();
void setLastIo(int16_t status);

int16_t cacheInit();
void cacheFree();
bool cacheAllocated();
void reset();

// Fills an empty page: no entries, 1012 free bytes, no neighbours.
void emptyPage(DB_PAGE* page, int16_t level);

}  // namespace qorsf::pf
