// The engine side of the queue. No queue store is attached yet, so the queue is always empty:
// there is nothing to purge, shut down or reset.
#include "qorvq.h"

int16_t VQ_purgequeue(uint32_t) { return 0; }
int16_t VQ_shutdown(uint32_t) { return 0; }
int16_t VQ_resetsys(uint32_t, int16_t, int16_t) { return 0; }
int16_t VQ_resetfull(uint32_t) { return 0; }
int16_t VQ_resetpart(uint32_t) { return 0; }
