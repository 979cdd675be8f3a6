// Registered windows, the yield hook, the wait cursor, and the reset of library-wide state.
#include <functional>
#include <map>

#include "qorlang.h"
#include "qorul.h"
#include "qorul_control.h"
#include "ul_internal.h"

namespace {
struct Windows {
    std::map<int16_t, HWND> byNumber;
    std::function<void()> yieldHook;
};
Windows& windows() {
    static Windows w;
    return w;
}
}  // namespace

int16_t UL_registerwindow(uint32_t, int16_t number, HWND window) {
    if (window)
        windows().byNumber[number] = window;
    else
        windows().byNumber.erase(number);
    return 0;
}

int16_t UL_getwindow(uint32_t, int16_t number, HWND* window) {
    if (!window) return UL_E_BADARG;
    // An unregistered number is not an error: callers post to the window only when there is one.
    auto it = windows().byNumber.find(number);
    *window = it == windows().byNumber.end() ? nullptr : it->second;
    return 0;
}

void UL_yield(uint32_t) {
    // A copy, so that a hook that replaces itself does not destroy the function it runs.
    std::function<void()> hook = windows().yieldHook;
    if (hook) hook();
}

void UL_waitcursor(uint32_t, int16_t) {}

void qorul::setYieldHook(std::function<void()> hook) { windows().yieldHook = std::move(hook); }

void qorul::internal::resetWindows() { windows() = Windows{}; }

void qorul::reset() {
    internal::resetWindows();
    internal::resetTexts();
    internal::resetTrace();
    internal::closeAllFiles();
    internal::closeAllTextFiles();
    internal::closeAllNumberedFiles();
    qorlang::reset();
}
