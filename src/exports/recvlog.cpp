// Exported entry points of the log of received faxes: the scan, the host's poll and automatic
// printing.
#include "exports/guard.h"
#include "queue/recvlog.h"

using qorsf::guarded;

QORSF_API int16_t SF_scanrlog(uint32_t hHost, uint16_t* all, uint16_t* fresh, uint16_t* toprint,
                              uint32_t* alllist, uint32_t* newlist, uint32_t* printlist) {
    return guarded("SF_scanrlog",
                   [&] { return qorsf::SF_scanrlog(hHost, all, fresh, toprint, alllist, newlist, printlist); });
}

QORSF_API int16_t SF_checkfaxlog(uint32_t hHost, uint16_t* newcount, uint16_t* allcount) {
    return guarded("SF_checkfaxlog", [&] { return qorsf::SF_checkfaxlog(hHost, newcount, allcount); });
}

QORSF_API int16_t SF_autoprint(uint32_t hHost) {
    return guarded("SF_autoprint", [&] { return qorsf::SF_autoprint(hHost); });
}
