// The clock: wall-clock local time, or a driven clock that stands still until advanced.
//
// Times are kept as local time expressed as a time_t of the UTC calendar, so that gmtime_r
// splits them into the local fields without another time-zone lookup.
#include <cstdio>
#include <ctime>

#include "qorul.h"
#include "qorul_control.h"
#include "ul_internal.h"

namespace {
struct Clock {
    bool driven = false;
    std::time_t now = 0;
};
Clock& theClock() {
    static Clock c;
    return c;
}

int16_t put(char* buf, std::size_t bufsize, const std::string& text) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    return UL_strcopy(buf, bufsize, text.c_str());
}
}  // namespace

void qorul::setClock(std::time_t localSeconds) {
    theClock().driven = true;
    theClock().now = localSeconds;
}

void qorul::advanceClock(long seconds) {
    if (theClock().driven) theClock().now += seconds;
}

void qorul::useWallClock() { theClock() = Clock{}; }

std::time_t qorul::clockNow() {
    if (theClock().driven) return theClock().now;
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return t + local.tm_gmtoff;
}

void UL_now(SF_DATETIME* now) {
    if (!now) return;
    std::time_t t = qorul::clockNow();
    std::tm f{};
    gmtime_r(&t, &f);
    now->year = static_cast<int16_t>(f.tm_year + 1900);
    now->month = static_cast<int16_t>(f.tm_mon + 1);
    now->day = static_cast<int16_t>(f.tm_mday);
    now->hour = static_cast<int16_t>(f.tm_hour);
    now->minute = static_cast<int16_t>(f.tm_min);
    now->second = static_cast<int16_t>(f.tm_sec);
}

int16_t UL_fmtdatetime(uint32_t, const SF_DATETIME* when, char* buf, std::size_t bufsize) {
    if (!when) return UL_E_BADARG;
    return put(buf, bufsize,
               qorul::internal::format("%04d-%02d-%02d %02d:%02d:%02d", when->year, when->month, when->day,
                                       when->hour, when->minute, when->second));
}

int16_t UL_fmtdatetime2(uint32_t, const SF_DATETIME* when, char* buf, std::size_t bufsize) {
    if (!when) return UL_E_BADARG;
    return put(buf, bufsize,
               qorul::internal::format("%04d%02d%02d%02d%02d%02d", when->year, when->month, when->day, when->hour,
                                       when->minute, when->second));
}
