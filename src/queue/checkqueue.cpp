// The queue count by status, the host's poll SF_checkqueue, and the record of a purge line.
#include <algorithm>
#include <cstring>

#include "queue/queue.h"

namespace qorsf {

namespace {

// The engine lock held for a walk; released on every path.
class WalkLock {
public:
    explicit WalkLock(uint32_t host) : host_(host) { L1_lock(host, -1); }  // its result is ignored
    ~WalkLock() { L1_lock(host_, 1); }
    WalkLock(const WalkLock&) = delete;
    WalkLock& operator=(const WalkLock&) = delete;

private:
    uint32_t host_;
};

// A decimal number of a purge line column: leading blanks, an optional sign, digits; stops at
// the first other character or the column's end.
long long columnNumber(const char* p, std::size_t width) {
    std::size_t i = 0;
    while (i < width && p[i] == ' ') ++i;
    bool negative = false;
    if (i < width && (p[i] == '-' || p[i] == '+')) negative = p[i++] == '-';
    long long v = 0;
    while (i < width && p[i] >= '0' && p[i] <= '9') v = v * 10 + (p[i++] - '0');
    return negative ? -v : v;
}

// A text column taken as it stands: it ends at a NUL or at the column's end.
void columnText(char* field, std::size_t fieldsize, const char* p, std::size_t width) {
    const std::size_t n = std::min(::strnlen(p, width), fieldsize - 1);
    std::memcpy(field, p, n);
    field[n] = '\0';
}

}  // namespace

QueueState& queueState() {
    static QueueState s;
    return s;
}

void queue_reset() { queueState() = QueueState{}; }

void noteJobQueued() {
    QueueState& q = queueState();
    q.dirty = true;
    ++q.cache.total;
}

int16_t SF_countqueue(uint32_t host, uint16_t* total, uint16_t* sent, uint16_t* failed, uint16_t* held) {
    if (!total || !sent || !failed || !held) return SF_WRONGSTATE;
    *total = *sent = *failed = *held = 0;
    WalkLock lock(host);
    QUEUE_RECORD* rec = nullptr;
    uint32_t handle = 0;
    if (int16_t st = UL_allochandle(reinterpret_cast<void**>(&rec), sizeof(QUEUE_RECORD), &handle)) return st;
    struct Free {
        uint32_t h;
        ~Free() { UL_freehandle(h); }
    } freeRecord{handle};

    QueueState& q = queueState();
    std::memset(q.cursor, 0, sizeof q.cursor);
    if (int16_t st = VQ_openqueue(host, q.cursor)) return st;
    QueueSummary s;
    for (;;) {
        std::memset(rec, 0, sizeof *rec);
        int16_t found = 0;
        if (int16_t st = VQ_readnext(host, q.cursor, rec, &found)) {
            VQ_closequeue(host, q.cursor);
            return st;
        }
        if (!found) break;
        switch (rec->status) {
            case 'D': case 'a': case 'e': break;
            default:
                ++s.total;
                if (rec->status == 'S') ++s.sent;
                if (rec->status == 'A' || rec->status == 'E') ++s.failed;
                if (rec->status == 'U') ++s.held;
                if (rec->status == 'Q' || rec->status == 'W') ++s.waiting;
        }
        UL_yield(host);
    }
    *total = s.total;
    *sent = s.sent;
    *failed = s.failed;
    *held = s.held;
    q.cache.waiting = s.waiting;
    if (int16_t st = VQ_closequeue(host, q.cursor)) {
        VQ_closequeue(host, q.cursor);  // tried once more; the first error is the answer
        return st;
    }
    return 0;
}

int16_t SF_checkqueue(uint32_t host, uint16_t, uint16_t* total, uint16_t* sent, uint16_t* failed, uint16_t* held) {
    if (!total || !sent || !failed || !held) return SF_WRONGSTATE;
    QueueState& q = queueState();
    if (q.firstCall) {
        std::memset(q.snapshot, 0, sizeof q.snapshot);
        q.firstCall = false;
    }
    int16_t changed = 0;
    if (int16_t st = VQ_queuechanged(host, q.snapshot, &changed)) return st;
    if (!changed) {
        *total = 0xFFFF;
        return 0;
    }
    QueueSummary s;
    if (int16_t st = SF_countqueue(host, &s.total, &s.sent, &s.failed, &s.held)) {
        // The change is not taken as seen: the next poll counts again.
        std::memset(q.snapshot, 0, sizeof q.snapshot);
        return st;
    }
    s.waiting = q.cache.waiting;
    q.cache = s;
    q.dirty = false;
    *total = s.total;
    *sent = s.sent;
    *failed = s.failed;
    *held = s.held;
    return 0;
}

int16_t SF_recordfrompurgeline(uint32_t host, const char* line, QUEUE_RECORD* r) {
    if (!line || !r) return SF_WRONGSTATE;
    std::memset(r, 0, sizeof *r);
    columnText(r->code1, sizeof r->code1, line + 1, 10);
    columnText(r->code2, sizeof r->code2, line + 14, 10);
    r->status = static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(line[27])));
    r->info7 = static_cast<int16_t>(columnNumber(line + 31, 5));
    char when[15];
    std::memcpy(when, line + 45, 14);
    when[14] = '\0';
    if (int16_t st = VQ_parsetime(host, when, &r->sendtime)) return st;
    r->info1 = static_cast<int16_t>(columnNumber(line + 62, 2));
    r->info2 = static_cast<int32_t>(columnNumber(line + 67, 10));
    r->progress1 = static_cast<int16_t>(columnNumber(line + 81, 2));
    r->progress2 = static_cast<int16_t>(columnNumber(line + 87, 2));
    r->errorcode = static_cast<uint16_t>(columnNumber(line + 93, 5));
    r->info8 = static_cast<int16_t>(columnNumber(line + 101, 3));
    r->info3 = static_cast<int16_t>(columnNumber(line + 107, 5));
    columnText(r->info4, sizeof r->info4, line + 115, 20);
    r->info5 = static_cast<int16_t>(columnNumber(line + 140, 2));
    const long long n = columnNumber(line + 145, 12);
    r->jobnumhigh = static_cast<int32_t>(n / 100000);
    r->jobnum = static_cast<uint32_t>(n % 100000);
    columnText(r->number, sizeof r->number, line + 161, 50);
    columnText(r->jobfile, sizeof r->jobfile, line + 241, 60);
    columnText(r->info6, sizeof r->info6, line + 321, 70);
    columnText(r->sender, sizeof r->sender, line + 401, 32);
    columnText(r->recipient, sizeof r->recipient, line + 440, 32);
    return 0;
}

}  // namespace qorsf
