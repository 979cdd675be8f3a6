// Clean-up guards for the sibling services: whatever a failure path leaves, the guard's
// destructor gives back (a file closed, the engine lock released, a block freed).
#pragma once

#include <cstdint>

#include "frame/services/services.h"

namespace qorsf {

// A file by handle (UL_fopen, UL_fcreate, UL_fopenread), closed on every path. close() reports
// the status of the close for the paths that care.
class HostFile {
public:
    explicit HostFile(uint32_t host) : host_(host) {}
    ~HostFile() { close(); }
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;
    uint32_t* out() { return &file_; }
    uint32_t get() const { return file_; }
    bool isOpen() const { return file_ != 0; }
    int16_t close() {
        int16_t st = 0;
        if (file_) st = UL_fclose(host_, file_);
        file_ = 0;
        return st;
    }
    // A file written whole (UL_fcreatewhole): makes it the file it replaces. Without a commit
    // the file it replaces stays as it was.
    int16_t commit() {
        const int16_t st = file_ ? UL_fcommit(host_, file_) : int16_t{UL_E_BADFILE};
        file_ = 0;
        return st;
    }

private:
    uint32_t host_;
    uint32_t file_ = 0;
};

// The fax engine lock, released exactly once on every path that took it; release() reports the
// release's status for the callers that return it.
class EngineLock {
public:
    explicit EngineLock(uint32_t host) : host_(host) {}
    ~EngineLock() {
        if (held_) L1_lock(host_, 1);
    }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;
    int16_t take() {
        int16_t st = L1_lock(host_, -1);
        held_ = st == 0;
        return st;
    }
    int16_t release() {
        if (!held_) return 0;
        held_ = false;
        return L1_lock(host_, 1);
    }

private:
    uint32_t host_;
    bool held_ = false;
};

// A movable block holding one T, allocated locked and freed on every path.
template <typename T>
class WorkBlock {
public:
    WorkBlock() = default;
    WorkBlock(const WorkBlock&) = delete;
    WorkBlock& operator=(const WorkBlock&) = delete;
    ~WorkBlock() {
        if (handle_) UL_freehandle(handle_);
    }
    int16_t allocate() {
        void* p = nullptr;
        if (int16_t st = UX_allochandle(&p, sizeof(T), &handle_)) {
            handle_ = 0;
            return st;
        }
        data_ = static_cast<T*>(p);
        return 0;
    }
    T* operator->() { return data_; }
    T* get() { return data_; }

private:
    uint32_t handle_ = 0;
    T* data_ = nullptr;
};

}  // namespace qorsf
