// Exported entry points of the library frame.
#include "exports/guard.h"
#include "frame/frame.h"

using qorsf::guarded;

QORSF_API int16_t SF_open(uint32_t hHost) {
    return guarded("SF_open", [&] { return qorsf::SF_open(hHost); });
}

QORSF_API int16_t SF_close(uint32_t hHost) {
    return guarded("SF_close", [&] { return qorsf::SF_close(hHost); });
}

QORSF_API int16_t SF_resetsys(uint32_t hHost, int16_t full) {
    return guarded("SF_resetsys", [&] { return qorsf::SF_resetsys(hHost, full); });
}

QORSF_API int16_t SF_getparm(uint32_t hHost, int16_t selector, uint16_t* word) {
    return guarded("SF_getparm", [&] { return qorsf::SF_getparm(hHost, selector, word); });
}

QORSF_API int16_t SF_adjustparm(uint32_t hHost, int16_t selector, const void* value) {
    return guarded("SF_adjustparm", [&] { return qorsf::SF_adjustparm(hHost, selector, value); });
}

QORSF_API int16_t SF_getphonebookpath(uint32_t hHost, char* path) {
    return guarded("SF_getphonebookpath", [&] { return qorsf::SF_getphonebookpath(hHost, path); });
}
