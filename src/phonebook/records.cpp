// Entries and their stored form, the comparison of names, number checking and decoding.
#include <cstring>

#include "frame/frame.h"
#include "phonebook/phonebook.h"

namespace qorsf {

namespace {

// The columns of a PB_INFO and the entry fields that fill them.
struct Column {
    std::size_t entryOffset;
    std::size_t entrySize;
    std::size_t infoOffset;
    std::size_t width;
};

#define QOR_COLUMN(f) \
    Column { offsetof(PB_ENTRY, f), sizeof(PB_ENTRY::f), offsetof(PB_INFO, f), sizeof(PB_INFO::f) }
// In the order in which SF_infotoentry fills the entry.
constexpr Column kColumns[] = {QOR_COLUMN(number), QOR_COLUMN(company),   QOR_COLUMN(text1),
                               QOR_COLUMN(text2),  QOR_COLUMN(voice),     QOR_COLUMN(text3),
                               QOR_COLUMN(altnumber), QOR_COLUMN(othernumber)};
#undef QOR_COLUMN

}  // namespace

bool SF_isblank(const char* text) { return !text || text[0] == '\0' || text[0] == ' '; }

int16_t SF_entrytoinfo(uint32_t, const PB_ENTRY* entry, char* info) {
    if (!entry || !info) return UL_E_BADARG;
    std::memset(info, ' ', kPbInfoWidth);
    const char* e = reinterpret_cast<const char*>(entry);
    for (const Column& c : kColumns) {
        // The entry comes from a host: its field may lack the NUL, so take at most its size.
        char field[100] = {};
        const char* src = e + c.entryOffset;
        std::memcpy(field, src, strnlen(src, c.entrySize < sizeof field ? c.entrySize : sizeof field - 1));
        char scratch[100];
        UX_textcopy(scratch, field);
        std::size_t n = std::strlen(scratch);
        if (n > c.width) n = c.width;
        std::memcpy(info + c.infoOffset, scratch, n);
    }
    return 0;
}

int16_t SF_infotoentry(uint32_t, const char* info, PB_ENTRY* entry) {
    if (!info || !entry) return UL_E_BADARG;
    std::memset(entry, 0, sizeof *entry);
    char* e = reinterpret_cast<char*>(entry);
    for (const Column& c : kColumns) {
        char scratch[100];
        std::memcpy(scratch, info + c.infoOffset, c.width);
        scratch[c.width] = '\0';
        UX_textcopy(e + c.entryOffset, c.entrySize, scratch);
    }
    return 0;
}

int SF_strcmp(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    const std::size_t la = std::strlen(a), lb = std::strlen(b);
    auto compare = [](const unsigned char* x, std::size_t lx, const unsigned char* y, std::size_t ly) {
        const std::size_t n = lx < ly ? lx : ly;
        for (std::size_t i = 0; i < n; ++i)
            if (x[i] != y[i]) return static_cast<int>(x[i]) - static_cast<int>(y[i]);
        // Equal as far as the shorter goes: the length decides. The difference is kept within
        // 16 bits without losing its sign, so a very long text never compares as the shorter.
        const long d = static_cast<long>(lx) - static_cast<long>(ly);
        return static_cast<int>(d > 32767 ? 32767 : d < -32768 ? -32768 : d);
    };
    // Both texts go through the utility library's text copy before they are compared, so that
    // names compare as the utility library stores them.
    void* p = nullptr;
    uint32_t handle = 0;
    const uint64_t size = static_cast<uint64_t>(la) + lb + 2;
    if (size > 0xFFFFFFFFu || UL_allochandle(&p, static_cast<uint32_t>(size), &handle) != 0)
        return compare(reinterpret_cast<const unsigned char*>(a), la, reinterpret_cast<const unsigned char*>(b), lb);
    char* ca = static_cast<char*>(p);
    char* cb = ca + la + 1;
    UL_strcopy(ca, la + 1, a);
    UL_strcopy(cb, lb + 1, b);
    const int r = compare(reinterpret_cast<const unsigned char*>(ca), std::strlen(ca),
                          reinterpret_cast<const unsigned char*>(cb), std::strlen(cb));
    UL_freehandle(handle);
    return static_cast<int16_t>(r);
}

int16_t SF_checkphonenum(const char* number, uint16_t* result) {
    if (!result) return 0;
    if (!number || number[0] == '\0') {
        *result = 1;
        return 0;
    }
    const std::size_t n = strnlen(number, kPbKeyWidth + 1);
    if (n > kPbKeyWidth) {
        *result = 2;
        return 0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsCharAlphaA(number[i])) {
            *result = 0;
            return 0;
        }
    }
    *result = 3;
    return 0;
}

int16_t SF_decodephonenum(uint32_t host, const char* dial, char* prefix, char* suffix, char* number) {
    UL_tracetext(host, "SF_decodephonenum", dial ? dial : "");
    // The callers' buffers hold a dial text's parts: the sending side keeps dial texts under 50
    // characters; 80 is the width of the library's text fields.
    constexpr std::size_t kPart = 80;
    if (prefix) prefix[0] = '\0';
    if (suffix) suffix[0] = '\0';
    if (number) number[0] = '\0';
    char scratch[256];
    UL_strcopy(scratch, dial ? dial : "");
    char* rest = scratch;
    if (char* bar = std::strchr(rest, '|')) {
        *bar = '\0';
        if (prefix) UL_strcopy(prefix, kPart, rest);
        UL_tracetext(host, "prefix", rest);
        rest = bar + 1;
    }
    if (char* bar = std::strchr(rest, '|')) {
        *bar = '\0';
        if (suffix) UL_strcopy(suffix, kPart, bar + 1);
        UL_tracetext(host, "suffix", bar + 1);
    }
    if (number) UL_strcopy(number, kPart, rest);
    UL_tracetext(host, "number", rest);
    return 0;
}

}  // namespace qorsf
