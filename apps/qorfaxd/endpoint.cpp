#include "endpoint.h"

#include <cstring>

extern "C" {
#include <spandsp.h>
}

namespace qorfaxd {

namespace {
void onPhaseE(t30_state_t* t30, void* self, int code) { Endpoint::phaseE(t30, self, code); }
}  // namespace

Endpoint::Endpoint(bool calling, const std::string& ident, int modems, bool ecm) : ident_(ident) {
    fax_ = fax_init(nullptr, calling ? 1 : 0);
    if (!fax_) return;
    // Always a full block of audio, silence included: the far end's clock is our samples.
    fax_set_transmit_on_idle(fax_, 1);
    t30_state_t* t30 = fax_get_t30_state(fax_);
    // A station id is at most 20 characters of digits, blanks and '+'.
    std::string id = ident_.substr(0, 20);
    t30_set_tx_ident(t30, id.c_str());
    t30_set_supported_modems(t30, modems & kAllModems ? modems & kAllModems : kAllModems);
    t30_set_ecm_capability(t30, ecm ? 1 : 0);
    t30_set_supported_compressions(t30, T30_SUPPORT_T4_1D_COMPRESSION | T30_SUPPORT_T4_2D_COMPRESSION |
                                            T30_SUPPORT_T6_COMPRESSION);
    t30_set_phase_e_handler(t30, onPhaseE, this);
    span_log_set_level(t30_get_logging_state(t30), SPAN_LOG_NONE);
}

Endpoint::~Endpoint() {
    if (fax_) fax_free(fax_);
}

void Endpoint::sendFile(const std::string& tiff) {
    if (fax_) t30_set_tx_file(fax_get_t30_state(fax_), tiff.c_str(), -1, -1);
}

void Endpoint::receiveFile(const std::string& tiff) {
    if (fax_) t30_set_rx_file(fax_get_t30_state(fax_), tiff.c_str(), -1);
}

void Endpoint::produce(int16_t* out, int n) {
    int made = fax_ && !outcome_.finished ? fax_tx(fax_, out, n) : 0;
    if (made < 0) made = 0;
    if (made < n) std::memset(out + made, 0, static_cast<std::size_t>(n - made) * sizeof *out);
}

void Endpoint::consume(const int16_t* in, int n) {
    if (fax_ && !outcome_.finished) fax_rx(fax_, const_cast<int16_t*>(in), n);
}

void Endpoint::hangUp() {
    if (!fax_ || outcome_.finished) return;
    t30_terminate(fax_get_t30_state(fax_));
    if (!outcome_.finished) {  // a session that never started has no phase E
        outcome_.finished = true;
        if (outcome_.code < 0) {
            outcome_.code = T30_ERR_CALLDROPPED;
            outcome_.text = t30_completion_code_to_str(outcome_.code);
        }
    }
}

void Endpoint::phaseE(void* t30p, void* self, int code) {
    auto* me = static_cast<Endpoint*>(self);
    auto* t30 = static_cast<t30_state_t*>(t30p);
    t30_stats_t stats;
    std::memset(&stats, 0, sizeof stats);
    t30_get_transfer_statistics(t30, &stats);
    Outcome& o = me->outcome_;
    o.finished = true;
    o.code = code;
    const char* text = t30_completion_code_to_str(code);
    o.text = text ? text : "";
    o.pages = stats.pages_tx > stats.pages_rx ? stats.pages_tx : stats.pages_rx;
    o.bitRate = stats.bit_rate;
    // Pixels a metre: 3850 is normal (98 rows an inch), 7700 fine.
    o.ydpi = stats.y_resolution >= 5000 ? 196 : stats.y_resolution > 0 ? 98 : 0;
    const char* far = t30_get_rx_ident(t30);
    o.farIdent = far ? far : "";
    // spandsp pads the id with blanks on the right.
    while (!o.farIdent.empty() && o.farIdent.back() == ' ') o.farIdent.pop_back();
    while (!o.farIdent.empty() && o.farIdent.front() == ' ') o.farIdent.erase(0, 1);
}

}  // namespace qorfaxd
