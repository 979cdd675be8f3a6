// Exported entry points of manual send and receive.
#include "exports/guard.h"
#include "send/pages.h"

using qorsf::guarded;

QORSF_API int16_t SF_manualsend(uint32_t hHost, char* pageName, int16_t* pageCount, uint16_t noConfirm) {
    return guarded("SF_manualsend", [&] { return qorsf::SF_manualsend(hHost, pageName, pageCount, noConfirm); });
}

QORSF_API int16_t SF_manualrecv(uint32_t hHost) {
    return guarded("SF_manualrecv", [&] { return qorsf::SF_manualrecv(hHost); });
}
