// QORUX: memory with resizing and the text and name helpers.
#include "qorux.h"

#include <cstring>

#include "../qorul/ul_internal.h"
#include "qorul.h"

int16_t UX_allochandle(void** pointer, uint32_t size, uint32_t* handle) {
    return UL_allochandle(pointer, size, handle);
}

int16_t UX_resizehandle(uint32_t* handle, uint32_t, uint32_t newsize) {
    // The old size of the callers is not trusted: the block knows its own size, and copying by a
    // wrong old size would read past the block.
    if (!handle) return UL_E_BADARG;
    return qorul::internal::resizeBlock(*handle, newsize);
}

void UX_textcopy(char* dst, std::size_t dstsize, const char* src) {
    if (!dst || dstsize == 0) return;
    if (!src) src = "";
    // Only trailing spaces go: they are the padding of the phone book's fixed columns. A tab is
    // a character the user typed and stays.
    std::size_t n = std::strlen(src);
    while (n > 0 && src[n - 1] == ' ') --n;
    if (n >= dstsize) {
        n = dstsize - 1;  // cut; spaces that the cut brings to the end go too
        while (n > 0 && src[n - 1] == ' ') --n;
    }
    std::memmove(dst, src, n);
    dst[n] = '\0';
}

int16_t UX_tempname(uint32_t host, char* buf, std::size_t bufsize, int16_t) {
    return UL_getpath(host, buf, bufsize, 22);
}
