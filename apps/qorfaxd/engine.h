// The job loop of the fax engine: takes due jobs from the queue, sends them over the line,
// writes what happened into the queue record, and files the faxes that came in.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "line.h"
#include "qorsf.h"
#include "queue/actions.h"

namespace qorfaxd {

// Error codes left in a queue record's `errorcode` (texts: VQ_statustext).
enum : uint16_t {
    kErrNoAnswer = 32001,
    kErrCallFailed = 32002,
    kErrFarCannotReceive = 32003,
    kErrDropped = 32004,
    kErrDocument = 32005,
    kErrMissing = 32006,
    kErrJobFile = 32007,
    kErrNoPages = 32008,
    kErrLine = 32009,
};

// The byte of the queue record that says the engine has released the job's holds on its
// documents (kHoldsReleasedAt, kHoldsReleased) is shared with the library's job actions.
using qorsf::kHoldsReleased;
using qorsf::kHoldsReleasedAt;

struct Settings {
    int retries = 3;          // [ENGINE] Retries: calls after the first
    int retryInterval = 300;  // [ENGINE] RetryInterval: seconds between calls
    double callLimit = 1800;  // seconds of line time a call may take (set for each job from its
                              // page count: a dense page at 2400 bit/s takes minutes)
    int modems = kAllModems;
    bool ecm = true;
    std::string ident;        // our station id ([GENERAL] SenderFax)
    bool autoPrint = false;   // [RECEIVE] AutoPrint: received faxes wait for printing
};

// The events of the engine, one line each (the profile's log, and the terminal in the foreground).
using Report = std::function<void(const std::string&)>;

class Engine {
public:
    Engine(uint32_t host, const Settings& s, Line& line, Inbox& inbox, const std::atomic<bool>& stop, Report report);
    // Jobs left busy (I) by an engine that died wait again (Q). Call with no engine alive.
    int16_t recover();
    // Sends the next due job; false when none is due (or on a queue error, which is reported).
    bool sendNext();
    // Files the faxes received so far into the log.
    void fileReceived();
    // What the engine does now, for `qorfax engine status`.
    const std::string& doing() const { return doing_; }
    std::function<void(const std::string&)> onDoing;

private:
    struct CallResult;
    bool takeJob(QUEUE_RECORD* job);
    void finishJob(const QUEUE_RECORD& taken, const CallResult& r);
    void setDoing(const std::string& text);

    uint32_t host_;
    Settings settings_;
    Line& line_;
    Inbox& inbox_;
    const std::atomic<bool>& stop_;
    Report report_;
    std::string doing_;
};

// Runs one call: our calling endpoint sends `tiff` over `call` until the session ends, the
// line drops, `stop` is set or `limit` seconds of audio went by. `seconds` gets the line time.
Outcome runCall(Call& call, const std::string& tiff, const Settings& s, const std::atomic<bool>& stop,
                double* seconds);

}  // namespace qorfaxd
