// The lines of a multi-line edit as it shows them: hard breaks are CR LF in the text; without
// ES_AUTOHSCROLL a line longer than the edit's width breaks after its last blank that fits (or
// inside a word longer than the width), measured with the edit's font.
#include "window_internal.h"

namespace qorwin::detail {

namespace {
// The width lines may take: the client width less the margins and, with WS_VSCROLL, the bar.
int wrapWidth(const Window* w) {
    int width = static_cast<int>(w->rect.right - w->rect.left) - 6;
    if (w->style & WS_VSCROLL) width -= 17;
    return std::max(1, width);
}
}  // namespace

std::vector<EditLine> editLines(const Window* w) {
    std::vector<EditLine> out;
    const std::string& t = w->text;
    const bool wrap = (w->style & ES_MULTILINE) && !(w->style & ES_AUTOHSCROLL);
    const int width = wrap ? wrapWidth(w) : 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t brk = (w->style & ES_MULTILINE) ? t.find("\r\n", start) : std::string::npos;
        const std::size_t end = brk == std::string::npos ? t.size() : brk;
        std::size_t s = start;
        while (wrap && s < end && textWidth(w->font, t.substr(s, end - s)) > width) {
            // The longest piece that fits, cut after a blank when there is one.
            std::size_t lo = s + 1, hi = end;
            while (lo < hi) {
                const std::size_t mid = (lo + hi + 1) / 2;
                if (textWidth(w->font, t.substr(s, mid - s)) <= width)
                    lo = mid;
                else
                    hi = mid - 1;
            }
            std::size_t cut = lo;
            const std::size_t blank = t.rfind(' ', lo);
            if (blank != std::string::npos && blank >= s && blank + 1 > s && blank + 1 <= lo) cut = blank + 1;
            out.push_back({s, cut - s});
            s = cut;
        }
        out.push_back({s, end - s});
        if (brk == std::string::npos) break;
        start = brk + 2;
    }
    return out;
}

int editLineOf(const std::vector<EditLine>& lines, std::size_t pos) {
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (pos < lines[i + 1].start) return static_cast<int>(i);
    return static_cast<int>(lines.size()) - 1;
}

}  // namespace qorwin::detail
