// The scan of the log of received faxes: three lists of entry numbers in one walk.
#include <cstring>

#include "frame/services/guards.h"
#include "queue/recvlog.h"

namespace qorsf {

namespace {

constexpr int32_t kGrowBy = 50;          // entries a list grows by
constexpr uint16_t kMostEntries = 65535; // the counts are 16-bit: a list holds at most this many

// One growable list of entry numbers; freed unless handed over.
struct EntryList {
    uint32_t handle = 0;
    int32_t* data = nullptr;
    int32_t capacity = 0;
    uint16_t count = 0;

    EntryList() = default;
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;
    ~EntryList() {
        if (handle) UL_freehandle(handle);
    }

    int16_t append(uint32_t host, int32_t entry) {
        if (count == kMostEntries) return 0;  // beyond what a count can say: left out
        if (capacity <= count || capacity <= 0) {
            const uint32_t size = static_cast<uint32_t>(capacity + kGrowBy) * sizeof(int32_t);
            if (int16_t st = SF_growlist(host, &data, capacity, size, &handle)) return st;
            capacity += kGrowBy;
        }
        data[count++] = entry;
        return 0;
    }
    // The handle for the caller: unlocked, and no longer freed here.
    uint32_t release() {
        const uint32_t h = handle;
        if (h) UL_unlockhandle(h);
        handle = 0;
        data = nullptr;
        return h;
    }
};

// Clears the scan's busy flag on every path.
struct BusyScan {
    BusyScan() { recvLogState().scanBusy = true; }
    ~BusyScan() { recvLogState().scanBusy = false; }
    BusyScan(const BusyScan&) = delete;
    BusyScan& operator=(const BusyScan&) = delete;
};

// A log walk closed on every path.
struct LogWalk {
    uint32_t host;
    unsigned char* cursor;
    bool open = false;
    ~LogWalk() {
        if (open) VQ_closelog(host, cursor);
    }
    int16_t close() {
        if (!open) return 0;
        open = false;
        return VQ_closelog(host, cursor);
    }
};

}  // namespace

RecvLogState& recvLogState() {
    static RecvLogState s;
    return s;
}

void recvlog_reset() { recvLogState() = RecvLogState{}; }

int16_t SF_growlist(uint32_t host, int32_t** list, int32_t, uint32_t newSize, uint32_t* handle) {
    (void)host;
    if (!list || !handle) return UL_E_BADARG;
    void* p = nullptr;
    if (*handle == 0) {
        if (int16_t st = UX_allochandle(&p, newSize, handle)) {
            *handle = 0;
            return st;
        }
    } else {
        if (int16_t st = UL_unlockhandle(*handle)) return st;
        // The block knows its own size: the resize keeps what it holds.
        int16_t st = UX_resizehandle(handle, UL_handlesize(*handle), newSize);
        const int16_t locked = UL_lockhandle(*handle, &p);
        if (st) return st;
        if (locked) return locked;
    }
    *list = static_cast<int32_t*>(p);
    return 0;
}

int16_t SF_scanrlog(uint32_t host, uint16_t* all, uint16_t* fresh, uint16_t* toprint, uint32_t* alllist,
                    uint32_t* newlist, uint32_t* printlist) {
    if (!all || !fresh || !toprint || !alllist || !newlist || !printlist) return UL_E_BADARG;
    *all = *fresh = *toprint = 0;
    *alllist = *newlist = *printlist = 0;
    // A scan is running further up the call stack (reached through UL_yield): nothing to do.
    if (recvLogState().scanBusy) return 0;
    BusyScan busy;

    unsigned char cursor[VQ_CURSORSIZE] = {};
    int16_t mailbox = 0;
    if (int16_t st = UL_getvalue(host, 9, &mailbox)) return st;
    std::memcpy(cursor + VQ_LOGMAILBOXAT, &mailbox, sizeof mailbox);
    std::memcpy(cursor + 4, "RPE", 4);

    EngineLock lock(host);
    lock.take();  // its result is ignored: the walk is safe without it, only slower to agree
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    LogWalk walk{host, cursor};
    if (int16_t st = VQ_openlog(host, log, cursor)) return st;
    walk.open = true;

    EntryList allList, newList, printList;
    for (;;) {
        LOG_RECORD r;
        int16_t found = 0;
        if (int16_t st = VQ_readlog(host, cursor, &r, &found)) return st;
        if (!found) break;
        // No pages (a damaged count below 0 included): nothing to list.
        if (r.pages <= 0 || r.viewstate == 'D') continue;
        if (int16_t st = allList.append(host, r.entrynum)) return st;
        if (r.viewstate == 'R' && r.entrystate != 'E')
            if (int16_t st = newList.append(host, r.entrynum)) return st;
        if (r.printstate == 'R' || r.printstate == 'E')
            if (int16_t st = printList.append(host, r.entrynum)) return st;
        UL_yield(host);
    }
    walk.close();
    lock.release();
    *all = allList.count;
    *fresh = newList.count;
    *toprint = printList.count;
    *alllist = allList.release();
    *newlist = newList.release();
    *printlist = printList.release();
    return 0;
}

}  // namespace qorsf
