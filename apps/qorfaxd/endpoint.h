// One fax machine: spandsp's T.30 protocol engine and its modems, fed and drained 8 kHz 16-bit
// samples. It knows nothing of lines: whoever owns it moves its samples to and from a call.
#pragma once

#include <cstdint>
#include <string>

typedef struct fax_state_s fax_state_t;

namespace qorfaxd {

constexpr int kSampleRate = 8000;
constexpr int kBlock = 160;  // samples exchanged at a time: 20 ms of audio

// Modem sets an endpoint offers ([ENGINE] Modems).
enum Modems : int { kV27ter = 0x01, kV29 = 0x02, kV17 = 0x04, kAllModems = 0x07 };

// What a finished session left behind (filled in by T.30's phase E).
struct Outcome {
    bool finished = false;
    int code = -1;          // T.30 completion code, 0 = every page went through
    std::string text;       // spandsp's words for the code
    int pages = 0;          // pages sent (calling) or received (answering) whole
    int bitRate = 0;        // image bit rate of the last page
    int ydpi = 0;           // rows an inch of the last page (98 or 196; 0 unknown)
    std::string farIdent;   // the far end's station id (its TSI or CSI)
};

class Endpoint {
public:
    // calling = the end that dials and sends; the other answers and receives.
    Endpoint(bool calling, const std::string& ident, int modems, bool ecm);
    ~Endpoint();
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    bool ok() const { return fax_ != nullptr; }
    // The multi-page TIFF to send, or the TIFF to write what is received into.
    void sendFile(const std::string& tiff);
    void receiveFile(const std::string& tiff);
    // Our next n samples of audio (always n: silence when there is nothing to say).
    void produce(int16_t* out, int n);
    // n samples heard from the far end.
    void consume(const int16_t* in, int n);
    // Ends the session now (the line dropped, or we were told to stop).
    void hangUp();
    bool finished() const { return outcome_.finished; }
    const Outcome& outcome() const { return outcome_; }

    // T.30's phase E: the session is over (called by spandsp, `t30` its t30_state_t).
    static void phaseE(void* t30, void* self, int code);

private:
    fax_state_t* fax_ = nullptr;
    Outcome outcome_;
    std::string ident_;
};

}  // namespace qorfaxd
