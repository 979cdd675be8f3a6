// QORUX: the second utility library: memory with resizing, text and name helpers.
#pragma once

#include <cstddef>
#include <cstdint>

// As UL_allochandle: the block comes back locked and zero-filled; free it with UL_freehandle.
int16_t UX_allochandle(void** pointer, uint32_t size, uint32_t* handle);
// Resizes a block (locked or not); the content up to the smaller size is kept, new bytes are
// zero. The handle stays the same; a pointer taken before must be taken again.
int16_t UX_resizehandle(uint32_t* handle, uint32_t oldsize, uint32_t newsize);

// Copies a text without its trailing blanks (spaces and tabs) into dst, which holds 128 bytes
// in the library's callers; leading blanks are kept. Always terminated, cut to fit.
void UX_textcopy(char* dst, std::size_t dstsize, const char* src);
template <std::size_t N>
inline void UX_textcopy(char (&dst)[N], const char* src) { UX_textcopy(dst, N, src); }

// A new temporary file name in the spool directory (flag is passed by the callers; unused).
int16_t UX_tempname(uint32_t host, char* buf, std::size_t bufsize, int16_t flag);
