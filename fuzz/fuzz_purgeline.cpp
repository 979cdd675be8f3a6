// libFuzzer target: the reader of purge lines (the record of a 480-byte line) on any bytes, and
// the round trip: a record read from a line, written again and read back, is the same record.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qorvq.h"
#include "queue/queue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char line[VQ_PURGELINESIZE];
    std::memset(line, ' ', sizeof line);
    std::memcpy(line, data, size < sizeof line ? size : sizeof line);
    QUEUE_RECORD r;
    if (qorsf::SF_recordfrompurgeline(0, line, &r) != 0) return 0;
    char again[VQ_PURGELINESIZE];
    VQ_makepurgeline(&r, again);
    QUEUE_RECORD back;
    if (qorsf::SF_recordfrompurgeline(0, again, &back) != 0) __builtin_trap();
    // Numbers may have been clamped to their columns once; after that the form is stable.
    char third[VQ_PURGELINESIZE];
    VQ_makepurgeline(&back, third);
    if (std::memcmp(again, third, sizeof again) != 0) __builtin_trap();
    return 0;
}
