// The line: how the engine reaches another fax machine. A call is nothing but audio both ways,
// so the job logic never knows which line it runs on.
//
// A new line (a modem, a SIP/T.38 gateway) implements Line::dial, giving a Call whose exchange()
// moves one block of 8 kHz samples each way, and hands calls it answers to an Answerer, which
// files what it receives through the engine's inbox.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "endpoint.h"

namespace qorfaxd {

// One connected call, seen from our end.
class Call {
public:
    virtual ~Call() = default;
    // Sends n samples of our audio and fills `in` with n samples of the far end's. False once
    // the far end has hung up (then `in` holds silence).
    virtual bool exchange(const int16_t* out, int16_t* in, int n) = 0;
};

enum class Dial { Connected, NoAnswer, Failed };

class Line {
public:
    virtual ~Line() = default;
    // Dials the digits of a number. Connected gives the call; otherwise `why` says what happened.
    virtual Dial dial(const std::string& digits, std::unique_ptr<Call>* call, std::string* why) = 0;
    // A name for logs: "loopback", "network /tmp/qorfax-net".
    virtual std::string name() const = 0;
};

// A fax received on any line, waiting to be filed by the engine's own thread.
struct Received {
    std::string tiff;       // what spandsp wrote (removed once filed)
    Outcome outcome;
    double seconds = 0;     // simulated line time of the call
    bool leftover = false;  // found at start, from a call an engine was killed in
};

// Received faxes handed from answering calls (any thread) to the engine.
class Inbox {
public:
    void put(Received r);
    std::vector<Received> take();

private:
    std::mutex mutex_;
    std::vector<Received> items_;
};

// How our own end answers: the station id, modems and where received images go.
struct AnswerSettings {
    std::string ident;
    int modems = kAllModems;
    bool ecm = true;
    std::string tempDir;     // directory for the images as they come in (ends with '/')
    Inbox* inbox = nullptr;
    const std::atomic<bool>* stop = nullptr;  // set: calls in progress end now
};

// A temporary file name in `dir`, unique in this process and across processes.
std::string tempName(const std::string& dir, const char* what);

// The answering end of one call: a receiving endpoint that files its fax when the call ends.
class Answerer {
public:
    explicit Answerer(const AnswerSettings& s);
    ~Answerer();  // ends the session and hands over whatever pages came in
    Endpoint& endpoint() { return ep_; }
    void countSamples(int n) { samples_ += n; }

private:
    AnswerSettings settings_;
    std::string file_;
    Endpoint ep_;
    long long samples_ = 0;
};

// The engine calls an answering endpoint of its own, in this process.
std::unique_ptr<Line> makeLoopbackLine(const AnswerSettings& answer);

// A directory that stands for a telephone network: each engine answers at a Unix socket named
// after its own number's digits; dialling connects to the socket of the number's digits.
// Calls it answers run on threads of their own, so the engine sends and receives at once.
std::unique_ptr<Line> makeNetworkLine(const std::string& directory, const std::string& ownDigits,
                                      const AnswerSettings& answer, std::string* error);

// The digits of a dial string (what a telephone network routes by).
std::string digitsOf(const std::string& dial);

}  // namespace qorfaxd
