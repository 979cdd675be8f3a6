// The send time a person types: an ISO 8601 date and time, a time of today, or a time from now.
#include <cctype>
#include <cstdio>
#include <ctime>
#include <string>

#include "qorul_control.h"
#include "send/send.h"

namespace qorsf {

namespace {

std::string trimmed(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Local fields -> seconds of the clock (local time as a time_t of the UTC calendar); false
// when the fields are no real date (31 April) or time.
bool toSeconds(int y, int mo, int d, int h, int mi, int s, std::time_t* out) {
    if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59)
        return false;
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    const std::time_t secs = timegm(&t);
    std::tm back{};
    gmtime_r(&secs, &back);
    if (back.tm_mday != d || back.tm_mon != mo - 1) return false;  // the day does not exist
    *out = secs;
    return true;
}

// "HH:MM" or "HH:MM:SS" exactly.
bool parseClock(const std::string& text, int* h, int* mi, int* s) {
    char tail = 0;
    *s = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d:%2d%c", h, mi, s, &tail) == 3 && text.size() == 8) return true;
    *s = 0;
    return std::sscanf(text.c_str(), "%2d:%2d%c", h, mi, &tail) == 2 && text.size() == 5;
}

}  // namespace

bool SF_parsesendtime(const std::string& input, SF_DATETIME* when, std::string* problem) {
    const std::string text = trimmed(input);
    const std::time_t now = qorul::clockNow();
    std::time_t at = 0;
    bool parsed = false;
    const std::string low = lowered(text);
    if (low.rfind("now", 0) == 0) {
        // now + N minutes|hours|days
        std::string rest = trimmed(low.substr(3));
        if (rest.empty()) {
            at = now;
            parsed = true;
        } else if (rest[0] == '+') {
            rest = trimmed(rest.substr(1));
            long n = -1;
            char unit[16] = {};
            char tail = 0;
            if (std::sscanf(rest.c_str(), "%ld %15[a-z]%c", &n, unit, &tail) == 2 && n >= 0 && n <= 100000) {
                const std::string u = unit;
                long step = 0;
                if (u == "minute" || u == "minutes" || u == "min") step = 60;
                else if (u == "hour" || u == "hours") step = 3600;
                else if (u == "day" || u == "days") step = 86400;
                if (step) {
                    at = now + n * step;
                    parsed = true;
                }
            }
        }
    } else if (text.size() <= 8 && text.find(':') != std::string::npos && text.find('-') == std::string::npos) {
        int h, mi, s;
        if (parseClock(text, &h, &mi, &s)) {
            std::tm today{};
            gmtime_r(&now, &today);
            if (toSeconds(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday, h, mi, s, &at)) {
                if (at <= now) at += 86400;  // that time has passed today: tomorrow
                parsed = true;
            }
        }
    } else if (text.size() >= 16 && (text[10] == 'T' || text[10] == 't' || text[10] == ' ')) {
        int y, mo, d;
        char dash1 = 0, dash2 = 0;
        int h, mi, s;
        if (std::sscanf(text.substr(0, 10).c_str(), "%4d%c%2d%c%2d", &y, &dash1, &mo, &dash2, &d) == 5 &&
            dash1 == '-' && dash2 == '-' && parseClock(text.substr(11), &h, &mi, &s))
            parsed = toSeconds(y, mo, d, h, mi, s, &at);
    }
    if (!parsed) {
        if (problem)
            *problem = "--at wants \"YYYY-MM-DD HH:MM\", \"YYYY-MM-DDTHH:MM\", a time of today \"HH:MM\" or "
                       "\"now + N minutes|hours|days\"";
        return false;
    }
    if (at < now) {
        if (problem) *problem = "--at names a time that has passed: " + text;
        return false;
    }
    std::tm f{};
    gmtime_r(&at, &f);
    when->year = static_cast<int16_t>(f.tm_year + 1900);
    when->month = static_cast<int16_t>(f.tm_mon + 1);
    when->day = static_cast<int16_t>(f.tm_mday);
    when->hour = static_cast<int16_t>(f.tm_hour);
    when->minute = static_cast<int16_t>(f.tm_min);
    when->second = static_cast<int16_t>(f.tm_sec);
    return true;
}

}  // namespace qorsf
