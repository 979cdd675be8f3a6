// Exported entry points of the queue: the host's poll.
#include "exports/guard.h"
#include "queue/queue.h"

using qorsf::guarded;

QORSF_API int16_t SF_checkqueue(uint32_t hHost, uint16_t force, uint16_t* total, uint16_t* sent,
                                uint16_t* failed, uint16_t* held) {
    return guarded("SF_checkqueue", [&] { return qorsf::SF_checkqueue(hHost, force, total, sent, failed, held); });
}
