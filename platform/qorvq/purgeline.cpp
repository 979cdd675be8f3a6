// The purge line: one removed job as a 480-byte fixed-width text line, and the 14-character
// date-time text of its send time.
//
// Columns (0-based byte positions): 1 code1 (10), 14 code2 (10), 27 status (1), 31 info7 (5),
// 45 send time (14, "YYYYMMDDHHMMSS"), 62 info1 (2), 67 info2 (10), 81 progress1 (2),
// 87 progress2 (2), 93 errorcode (5), 101 info8 (3), 107 info3 (5), 115 info4 (20), 140 info5 (2),
// 145 job number (12 digits), 161 number (50), 241 jobfile (60), 321 info6 (70), 401 sender (32),
// 440 recipient (32); every other position is a blank and the line ends with CR LF.
// Numbers stand right-aligned (a value wider than its column is written as the nearest value
// that fits); a text shorter than its column ends with a NUL, so it reads back as it was.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "qorul.h"
#include "qorvq.h"

namespace {

void putText(char* line, std::size_t pos, std::size_t width, const char* text, std::size_t textsize) {
    const std::size_t n = std::min(::strnlen(text, textsize), width);
    std::memcpy(line + pos, text, n);
    if (n < width) std::memset(line + pos + n, 0, width - n);
}

void putNumber(char* line, std::size_t pos, std::size_t width, long long value) {
    long long most = 1;
    for (std::size_t i = 0; i < width; ++i) most *= 10;
    most -= 1;
    const long long least = -(most / 10);
    if (value > most) value = most;
    if (value < least) value = least;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%*lld", static_cast<int>(width), value);
    std::memcpy(line + pos, buf, width);
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

void VQ_makepurgeline(const QUEUE_RECORD* r, char* line) {
    std::memset(line, ' ', VQ_PURGELINESIZE);
    line[VQ_PURGELINESIZE - 2] = '\r';
    line[VQ_PURGELINESIZE - 1] = '\n';
    putText(line, 1, 10, r->code1, sizeof r->code1);
    putText(line, 14, 10, r->code2, sizeof r->code2);
    line[27] = static_cast<char>(r->status & 0xFF);
    putNumber(line, 31, 5, r->info7);
    char when[16];
    if (UL_fmtdatetime2(0, &r->sendtime, when, sizeof when) != 0 || std::strlen(when) != 14)
        std::memset(when, '0', 14);
    std::memcpy(line + 45, when, 14);
    putNumber(line, 62, 2, r->info1);
    putNumber(line, 67, 10, r->info2);
    putNumber(line, 81, 2, r->progress1);
    putNumber(line, 87, 2, r->progress2);
    putNumber(line, 93, 5, r->errorcode);
    putNumber(line, 101, 3, r->info8);
    putNumber(line, 107, 5, r->info3);
    putText(line, 115, 20, r->info4, sizeof r->info4);
    putNumber(line, 140, 2, r->info5);
    const unsigned long long n =
        static_cast<unsigned long long>(static_cast<uint32_t>(r->jobnumhigh)) * 100000ULL + r->jobnum % 100000;
    char num[16];
    std::snprintf(num, sizeof num, "%012llu", n % 1000000000000ULL);
    std::memcpy(line + 145, num, 12);
    putText(line, 161, 50, r->number, sizeof r->number);
    putText(line, 241, 60, r->jobfile, sizeof r->jobfile);
    putText(line, 321, 70, r->info6, sizeof r->info6);
    putText(line, 401, 32, r->sender, sizeof r->sender);
    putText(line, 440, 32, r->recipient, sizeof r->recipient);
}

int16_t VQ_parsetime(uint32_t, const char* text, SF_DATETIME* when) {
    if (!text || !when) return UL_E_BADARG;
    int v[14];
    for (int i = 0; i < 14; ++i) {
        if (text[i] < '0' || text[i] > '9') return UL_E_NOTIME;
        v[i] = text[i] - '0';
    }
    auto num = [&v](int at, int len) {
        int n = 0;
        for (int i = 0; i < len; ++i) n = n * 10 + v[at + i];
        return n;
    };
    SF_DATETIME t;
    t.year = static_cast<int16_t>(num(0, 4));
    t.month = static_cast<int16_t>(num(4, 2));
    t.day = static_cast<int16_t>(num(6, 2));
    t.hour = static_cast<int16_t>(num(8, 2));
    t.minute = static_cast<int16_t>(num(10, 2));
    t.second = static_cast<int16_t>(num(12, 2));
    const bool zero = !t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second;
    if (!zero) {
        static const int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const unsigned month = static_cast<unsigned>(t.month);
        if (month < 1 || month > 12 || t.day < 1) return UL_E_NOTIME;
        const int days = kDays[month] + (month == 2 && leapYear(t.year) ? 1 : 0);
        if (t.day > days || t.hour > 23 || t.minute > 59 || t.second > 59) return UL_E_NOTIME;
    }
    *when = t;
    return 0;
}
