// UX_fittext: a text cut to the width of its column.
#include <cstring>
#include <string>

#include "qorul.h"
#include "qorux.h"
#include "qorwingdi.h"

namespace {

int widthOf(HDC dc, const std::string& text) {
    SIZE size{};
    if (!GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return static_cast<int>(size.cx);
}

}  // namespace

int16_t UX_fittext(uint32_t, HDC dc, const char* text, int width, char* out, std::size_t outsize) {
    if (!out || outsize < 2) return UL_E_BADARG;
    std::string t = text ? text : "";
    // A small gap keeps the end of one column off the start of the next.
    const int room = width - widthOf(dc, " ");
    if (!t.empty() && widthOf(dc, t) > room) {
        // The longest beginning that fits with the ellipsis: widths grow with the length, so
        // a binary search over the length finds it.
        std::size_t lo = 0, hi = t.size();
        while (lo < hi) {
            const std::size_t mid = (lo + hi + 1) / 2;
            if (widthOf(dc, t.substr(0, mid) + "...") <= room) lo = mid;
            else hi = mid - 1;
        }
        while (lo > 0 && t[lo - 1] == ' ') --lo;
        t = lo > 0 ? t.substr(0, lo) + "..." : std::string();
    }
    // Room for the tab and the NUL: a text longer than the buffer is cut there.
    if (t.size() > outsize - 2) t.resize(outsize - 2);
    std::memcpy(out, t.data(), t.size());
    out[t.size()] = '\t';
    out[t.size() + 1] = '\0';
    return 0;
}
