// The host side of qorfax: the host block, the registered windows, the library's open and close.
#pragma once

#include <cstdint>
#include <string>

#include "qorwintypes.h"

namespace qorfax {

// A host as the library expects one: a movable block of 612 bytes whose 32-bit word at byte
// 608 is the owner window, and its main window registered as window 101. The library is open
// for the lifetime of the object.
class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Opens the library; 0 or the library's status. A queue that cannot be used (damaged,
    // locked, a full disk) does not stop the library: open() gives 0 and queueStatus() tells.
    int16_t open();
    // 0, or why the send queue cannot be used (commands that need the queue check it).
    int16_t queueStatus() const { return queueStatus_; }
    // Closes the library (the destructor closes it too).
    void close();
    uint32_t handle() const { return handle_; }
    bool isOpen() const { return open_; }

private:
    uint32_t handle_ = 0;
    HWND window_ = nullptr;
    bool open_ = false;
    int16_t queueStatus_ = 0;
};

// Whether a status says the queue cannot be used (damaged, locked, a full disk): the library
// opens without the queue.
bool isQueueStatus(int16_t status);

// The library's message text for a status ("status N" when it has none).
std::string statusText(int16_t status);

}  // namespace qorfax
