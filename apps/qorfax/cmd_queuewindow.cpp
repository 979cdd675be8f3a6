// qorfax queue window: the queue window of the library, run through the user interface that
// qorfax installed (the terminal front end on a terminal, the script of --ui script), looking
// at the queue every second so that it follows the fax engine's work.
#include <cstdio>
#include <string>

#include "commands.h"
#include "host.h"
#include "qorsf.h"
#include "qorwindow.h"
#include "qorwinuser.h"
#include "ui.h"

namespace qorfax {

namespace {

// The window starts no timer of its own: its host gives it the timer messages that make it
// look at the queue.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMilliseconds = 1000;

}  // namespace

int queueWindow(const Args& args, const char* help) {
    if (!args.empty()) return usage(help, "queue window takes no arguments");
    DialogUser user;  // the person at the terminal, or the script of --ui script
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    if (int16_t st = host.queueStatus()) return fail(st, "the send queue");
    HWND window = nullptr;
    if (int16_t st = SF_wndqueue(host.handle(), &window)) return fail(st, "the queue window");
    SetTimer(window, kRefreshTimer, kRefreshMilliseconds, nullptr);
    qorwin::runModeless(window);
    // The user left it open (no more actions): it closes with the program.
    if (IsWindow(window)) DestroyWindow(window);
    qorwin::pump();
    return kExitOk;
}

}  // namespace qorfax
