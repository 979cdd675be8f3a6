// Exported entry points of sending: job submission, spooled copies, the folder send.
#include "exports/guard.h"
#include "send/send.h"

using qorsf::guarded;

QORSF_API int16_t SF_sendfax(uint32_t hHost, const DocumentEntry* documents, int16_t documentCount,
                             const char* number, SendOptions* options) {
    return guarded("SF_sendfax",
                   [&] { return qorsf::SF_sendfax(hHost, documents, documentCount, number, options); });
}

QORSF_API int16_t SF_makecopy(uint32_t hHost, char* path, int16_t index, int16_t* copied) {
    return guarded("SF_makecopy", [&] { return qorsf::SF_makecopy(hHost, path, index, copied); });
}

QORSF_API int16_t SF_faxfolder(uint32_t hHost, const char* const* numbers, uint16_t count, SendOptions* options) {
    return guarded("SF_faxfolder", [&] { return qorsf::SF_faxfolder(hHost, numbers, count, options); });
}
