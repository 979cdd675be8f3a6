// B-tree index: one tree per file holding every key number (the first byte of each stored key
// text), with a cursor per key number kept in the store handle.
#pragma once

#include "store/store.h"

namespace qorsf::bt {

// Each takes an open handle and a key number 1-20 (else -2; -3 when not open).
// Search: 0 exact, 1 same text (other record number or segment), 2 greater text, -1 nothing of
// key k at or after the place; -30 descent failed. Data of the entry reached is read into buf.
int16_t search(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec, void* buf, uint16_t n);
int16_t first(DB_HANDLE* h, int16_t k, void* buf, uint16_t n);
int16_t last(DB_HANDLE* h, int16_t k, void* buf, uint16_t n);
int16_t next(DB_HANDLE* h, int16_t k, void* buf, uint16_t n);
int16_t previous(DB_HANDLE* h, int16_t k, void* buf, uint16_t n);
// unique: -1 when the text exists under k; else -1 when (text, rec) exists.
int16_t insert(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec, const void* data, uint16_t n,
               bool unique);
int16_t remove(DB_HANDLE* h, int16_t k, const char* text, uint32_t rec);
int16_t removeAtCursor(DB_HANDLE* h, int16_t k);

// Sets every cursor undefined (and forgets where record images were seen).
void resetCursors(DB_HANDLE* h);
// Forgets where record images were seen: a file is closed or opened.
void forgetHints();
// Record number of the entry at the cursor of k (valid after a 0 result).
uint32_t cursorRecord(const DB_HANDLE* h);

void reset();

}  // namespace qorsf::bt
