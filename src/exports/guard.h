// The boundary between the host and the library: nothing may throw across it.
#pragma once

#include <cstdint>
#include <new>

#include "qorsf.h"
#include "qorul.h"

namespace qorsf {

// Runs an internal operation for an exported function and turns any exception that escapes
// it into a status: out of memory as UL_E_NOMEM, anything else as SF_WRONGSTATE (logged).
template <typename F>
int16_t guarded(const char* name, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        UL_errorlog(0, name, UL_E_NOMEM);
        return UL_E_NOMEM;
    } catch (...) {
        UL_errorlog(0, name, SF_WRONGSTATE);
        return SF_WRONGSTATE;
    }
}

// The same for dialog procedures, whose result is a message result.
template <typename F>
INT_PTR guardedProc(const char* name, F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        UL_errorlog(0, name, SF_WRONGSTATE);
        return 0;
    }
}

}  // namespace qorsf
