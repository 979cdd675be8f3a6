// Text files read line by line (layout files, memo texts, lists).
//
// A line ends with LF, CR LF or a form feed; a form feed also ends the page, which the caller
// learns from the kind. A line longer than the buffer comes in pieces; a piece that fills the
// buffer exactly and is followed by the line end takes the line end with it, so no empty line
// appears that the file does not have.
#include <cstdio>
#include <memory>

#include "qorul.h"
#include "ul_internal.h"

namespace {

struct TextFile {
    std::FILE* fp = nullptr;
    ~TextFile() {
        if (fp) std::fclose(fp);
    }
};

qorul::internal::HandleTable<TextFile>& table() {
    static qorul::internal::HandleTable<TextFile> t;
    return t;
}

// After a CR: a following LF belongs to the same line end.
void takeLf(std::FILE* fp) {
    int c = std::getc(fp);
    if (c != '\n' && c != EOF) std::ungetc(c, fp);
}

}  // namespace

int16_t UL_textopen(uint32_t, const char* path, uint32_t* text) {
    if (text) *text = 0;
    if (!path || !*path || !text) return UL_E_BADARG;
    auto t = std::make_unique<TextFile>();
    t->fp = std::fopen(path, "rbe");
    if (!t->fp) return UL_E_OPEN;
    uint32_t h = table().add(std::move(t));
    if (h == 0) return UL_E_OPEN;
    *text = h;
    return 0;
}

int16_t UL_textline(uint32_t, uint32_t text, char* line, std::size_t linesize, int16_t* kind) {
    if (kind) *kind = 2;
    if (!line || !kind || linesize < 2) return UL_E_BADARG;
    line[0] = '\0';
    TextFile* t = table().find(text);
    if (!t) return UL_E_BADFILE;
    std::FILE* fp = t->fp;
    std::size_t n = 0;
    bool any = false;  // a character or a line end was read: this is a line, not the file's end
    for (;;) {
        if (n == linesize - 1) {
            // Full: take a line end that follows right away, else the rest comes next time.
            int c = std::getc(fp);
            if (c == '\r') {
                takeLf(fp);
                *kind = 0;
            } else if (c == '\n') {
                *kind = 0;
            } else if (c == '\f') {
                *kind = 1;
            } else {
                if (c != EOF) std::ungetc(c, fp);
                *kind = 0;
            }
            break;
        }
        int c = std::getc(fp);
        if (c == EOF) {
            *kind = (any || n > 0) ? 0 : 2;
            break;
        }
        any = true;
        if (c == '\n') {
            *kind = 0;
            break;
        }
        if (c == '\r') {
            takeLf(fp);
            *kind = 0;
            break;
        }
        if (c == '\f') {
            *kind = 1;
            break;
        }
        line[n++] = static_cast<char>(c);
    }
    line[n] = '\0';
    if (std::ferror(fp)) return UL_E_READ;
    return 0;
}

int16_t UL_textclose(uint32_t, uint32_t text) {
    std::unique_ptr<TextFile> t = table().remove(text);
    if (!t) return UL_E_BADFILE;
    std::FILE* fp = t->fp;
    t->fp = nullptr;
    return std::fclose(fp) == 0 ? 0 : UL_E_CLOSE;
}

void qorul::internal::closeAllTextFiles() {
    for (uint32_t h : table().handles()) table().remove(h);
}
