// The trace log: "time label text" lines in trace.log of the profile root, written when the
// trace level ([TRACE] Level of the settings file) is at least 1. The level is read once and
// kept until reset, so tracing costs nothing when it is off.
#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "qorul.h"
#include "qorwin32.h"
#include "ul_internal.h"

namespace {
std::optional<int16_t>& cachedLevel() {
    static std::optional<int16_t> level;
    return level;
}

std::string stamp() {
    SF_DATETIME now{};
    UL_now(&now);
    char buf[32];
    UL_fmtdatetime(0, &now, buf, sizeof buf);
    return buf;
}
}  // namespace

void qorul::internal::appendLog(const char* name, const std::string& line) {
    std::string path = profileFile(name);
    if (path.empty()) return;
    std::string text = stamp() + " " + line + "\n";
    // O_APPEND: lines of several processes interleave whole, never overwrite each other.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void qorul::internal::resetTrace() { cachedLevel().reset(); }

int16_t UL_tracelevel() {
    auto& level = cachedLevel();
    if (!level) {
        std::string ini = qorul::internal::profileFile("qorfax.ini");
        int value = ini.empty() ? 0 : static_cast<int>(GetPrivateProfileIntA("TRACE", "Level", 0, ini.c_str()));
        level = static_cast<int16_t>(value < 0 ? 0 : value > 9 ? 9 : value);
    }
    return *level;
}

void UL_trace(uint32_t, const char* text) {
    if (UL_tracelevel() < 1) return;
    qorul::internal::appendLog("trace.log", text ? text : "");
}

void UL_tracetext(uint32_t, const char* label, const char* text) {
    if (UL_tracelevel() < 1) return;
    qorul::internal::appendLog("trace.log", std::string(label ? label : "") + " " + (text ? text : ""));
}

void UL_tracevalue(uint32_t, const char* label, int16_t value) {
    if (UL_tracelevel() < 1) return;
    qorul::internal::appendLog("trace.log", std::string(label ? label : "") + " " + std::to_string(value));
}
