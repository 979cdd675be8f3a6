// qorfax engine status: whether a fax engine (qorfaxd) runs on this profile, and what it does.
//
// The engine holds an flock on "engine.run" in the profile root while it lives and keeps
// "engine.status" (its pid, its line, what it does) up to date; it removes the status when it
// ends. A status file without the lock is what an engine that was killed left behind.
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>

#include "commands.h"
#include "qorul.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax engine status\n"
    "\n"
    "Tells whether a fax engine (qorfaxd) runs on this profile and, when it does, its process\n"
    "id, its line and what it does now. Exit 0 when an engine runs, 1 when none does.\n";

// True when some process holds the engine's run lock.
bool engineRuns(const std::string& root) {
    const int fd = ::open((root + "engine.run").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    return !free;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.size() != 1 || args[0] != "status") return usage(kHelp, "engine needs status");
    if (int16_t st = UL_profileinit()) return fail(st, "the profile cannot be used");
    const std::string root = UL_profileroot();
    if (!engineRuns(root)) {
        std::printf("no fax engine runs on %s\n", root.c_str());
        return kExitFailed;
    }
    std::printf("a fax engine runs on %s\n", root.c_str());
    std::ifstream status(root + "engine.status");
    std::string line;
    while (std::getline(status, line)) {
        const std::size_t b = line.find(' ');
        if (b == std::string::npos) continue;
        std::printf("%-8s %s\n", line.substr(0, b).c_str(), line.substr(b + 1).c_str());
    }
    return kExitOk;
}

Registration registration{{"engine",
                           "  engine status                is a fax engine (qorfaxd) running on this profile, what it does\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
