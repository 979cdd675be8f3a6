#include <cstring>

#include "qorul.h"
#include "qorut.h"

int16_t UT_fgetline(char* buffer, std::size_t size, uint32_t file) {
    int16_t end = 1;
    if (UL_freadline(0, file, buffer, size, &end) != 0) return 1;
    return end;
}

int16_t UT_readline(char* buffer, std::size_t size, uint32_t file) { return UT_fgetline(buffer, size, file); }

int16_t UT_splitfields(uint32_t, char* line, const char* separators, int16_t most, char** fields,
                       int16_t* count) {
    if (!count) return UL_E_BADARG;
    *count = 0;
    if (!line || !separators || !fields || most < 0) return UL_E_BADARG;
    auto isSep = [separators](char c) { return c != '\0' && std::strchr(separators, c) != nullptr; };
    auto isBlank = [&isSep](char c) { return (c == ' ' || c == '\t') && !isSep(c); };
    if (*line == '\0') return 0;

    char* p = line;
    while (*count < most) {
        char* start = p;
        while (isBlank(*start)) ++start;
        char* field = start;
        char* next = nullptr;  // where the next field begins, or null at the end of the line
        if (*start == '"') {
            // A quoted field ends at a quote followed (after blanks) by a separator or the end.
            char* q = start + 1;
            char* close = nullptr;
            for (char* s = q; *s; ++s) {
                if (*s != '"') continue;
                char* after = s + 1;
                while (isBlank(*after)) ++after;
                if (*after == '\0' || isSep(*after)) {
                    close = s;
                    next = *after ? after + 1 : nullptr;
                    break;
                }
            }
            field = q;
            if (close) {
                *close = '\0';
            } else {
                next = nullptr;  // no closing quote: the field runs to the end of the line
            }
        } else {
            // An unquoted field is taken as it stands, blanks included.
            field = p;
            char* s = p;
            while (*s && !isSep(*s)) ++s;
            next = *s ? s + 1 : nullptr;
            *s = '\0';
        }
        fields[(*count)++] = field;
        if (!next) break;
        p = next;
    }
    return 0;
}
