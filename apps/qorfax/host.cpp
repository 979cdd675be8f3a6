#include "host.h"

#include <cstring>

#include "qorsf.h"
#include "qorul.h"
#include "qorul_control.h"
#include "qorvq.h"
#include "qorwindow.h"

namespace qorfax {

namespace {
constexpr uint32_t kHostBlockSize = 612;
constexpr uint32_t kOwnerWindowOffset = 608;

// The host's main window: it receives the library's notifications (the queue changed) and is the
// owner of the library's dialogs. qorfax runs one command and ends, so it has nothing to redraw.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

Host::Host() {
    void* block = nullptr;
    if (UL_allochandle(&block, kHostBlockSize, &handle_) == 0) {
        const uint32_t owner = 0;  // no owner window: the library takes window 101 instead
        std::memcpy(static_cast<char*>(block) + kOwnerWindowOffset, &owner, sizeof owner);
        UL_unlockhandle(handle_);
        window_ = qorwin::createWindow("qorfax", mainWindowProc);
        UL_registerwindow(handle_, 101, window_);
        // Long loops of the library call UL_yield: the host's messages are handled there.
        qorul::setYieldHook([] { qorwin::pump(); });
    }
}

Host::~Host() {
    close();
    qorul::setYieldHook(nullptr);
    if (window_) DestroyWindow(window_);
    if (handle_) UL_freehandle(handle_);
}

int16_t Host::open() {
    int16_t st = SF_open(handle_);
    open_ = true;  // SF_close is right after a failed open too: it frees what open allocated
    queueStatus_ = 0;
    if (isQueueStatus(st)) {
        queueStatus_ = st;
        return 0;
    }
    return st;
}

void Host::close() {
    if (open_) SF_close(handle_);
    open_ = false;
}

bool isQueueStatus(int16_t status) {
    return status == VQ_E_DB || status == VQ_E_BUSY || status == VQ_E_DISKFULL;
}

std::string statusText(int16_t status) {
    char text[256];
    if (UL_errortext(0, status, text, sizeof text) != 0 || text[0] == '\0')
        return "status " + std::to_string(status);
    return text;
}

}  // namespace qorfax
