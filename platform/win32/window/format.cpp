// wsprintfA: the Win32 formatter. It knows %s, %c, %d, %i, %u, %x, %X (with '-', '#', '0',
// width, precision and the l and h size prefixes) and %%; no floating point. Like Win32 it
// writes at most 1024 bytes, the NUL included.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "qorwindow.h"

namespace {
constexpr std::size_t kMost = 1024;

// One conversion of snprintf, however long its result.
template <typename T>
std::string piece(const std::string& conv, T value) {
    const int n = std::snprintf(nullptr, 0, conv.c_str(), value);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), conv.c_str(), value);
    out.resize(static_cast<std::size_t>(n));
    return out;
}
}  // namespace

int wsprintfA(LPSTR out, LPCSTR format, ...) {
    if (!out) return 0;
    std::string result;
    if (format) {
        va_list args;
        va_start(args, format);
        for (const char* p = format; *p; ++p) {
            if (*p != '%') {
                result += *p;
                continue;
            }
            const char* start = p++;
            std::string conv = "%";
            while (*p == '-' || *p == '#' || *p == '0') conv += *p++;
            while (*p >= '0' && *p <= '9') conv += *p++;
            if (*p == '.') {
                conv += *p++;
                while (*p >= '0' && *p <= '9') conv += *p++;
            }
            bool isLong = false;
            if (*p == 'l' || *p == 'h') isLong = *p++ == 'l';
            switch (*p) {
                case '%': result += '%'; break;
                case 's': {
                    const char* s = va_arg(args, const char*);
                    result += piece(conv + "s", s ? s : "(null)");
                    break;
                }
                case 'c': {
                    int c = va_arg(args, int);
                    result += piece(conv + "c", c);
                    break;
                }
                case 'd':
                case 'i': {
                    long v = isLong ? va_arg(args, long) : va_arg(args, int);
                    result += piece(conv + "ld", v);
                    break;
                }
                case 'u':
                case 'x':
                case 'X': {
                    unsigned long v = isLong ? va_arg(args, unsigned long) : va_arg(args, unsigned int);
                    result += piece(conv + "l" + *p, v);
                    break;
                }
                default:
                    // Not a conversion: written as it stands.
                    result.append(start, static_cast<std::size_t>(p - start) + (*p ? 1 : 0));
                    if (!*p) --p;
                    break;
            }
            if (result.size() >= kMost) break;
        }
        va_end(args);
    }
    if (result.size() > kMost - 1) result.resize(kMost - 1);
    std::memcpy(out, result.c_str(), result.size() + 1);
    return static_cast<int>(result.size());
}
