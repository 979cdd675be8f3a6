// The queue as the library sees it: the count by status, the host's poll, and the record of a
// purge line.
#pragma once

#include <cstdint>

#include "frame/frame.h"
#include "qorsf.h"

namespace qorsf {

struct QueueSummary {
    uint16_t total = 0;    // records that are not D, a or e
    uint16_t sent = 0;     // S
    uint16_t failed = 0;   // A or E
    uint16_t held = 0;     // U
    uint16_t waiting = 0;  // Q or W
};

struct QueueState {
    QueueSummary cache;
    bool dirty = false;         // set by submissions and queue commands, cleared by a recount
    bool firstCall = true;      // SF_checkqueue zeroes its snapshot on the first call
    unsigned char snapshot[12] = {};
    unsigned char cursor[90] = {};  // the module cursor of the count (and the queue window)
};

QueueState& queueState();
void queue_reset();

// Counts the queue by status under the engine lock (also sets the module-wide waiting count).
int16_t SF_countqueue(uint32_t host, uint16_t* total, uint16_t* sent, uint16_t* failed, uint16_t* held);
int16_t SF_checkqueue(uint32_t host, uint16_t force, uint16_t* total, uint16_t* sent, uint16_t* failed,
                      uint16_t* held);
// Fills `record` from one 480-byte purge line; the error of VQ_parsetime when the send time
// does not parse (the record is then left zeroed up to that column).
int16_t SF_recordfrompurgeline(uint32_t host, const char* line, QUEUE_RECORD* record);

// What a submission changes: the queue is dirty and the cached total one larger.
void noteJobQueued();

}  // namespace qorsf
