// What a document is, by its content: the signatures of the formats we read, names for the
// common files we do not, and text in UTF-8 or Windows-1252.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "qordoc.h"

namespace qordoc {

namespace {

bool startsWith(const std::string& b, const char* sig, std::size_t n) {
    return b.size() >= n && std::memcmp(b.data(), sig, n) == 0;
}

// Valid UTF-8 (no overlong forms, no surrogates); `nonAscii` tells whether any byte was >= 0x80.
bool validUtf8(const std::string& b, bool* nonAscii) {
    *nonAscii = false;
    const auto* s = reinterpret_cast<const unsigned char*>(b.data());
    const std::size_t n = b.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        *nonAscii = true;
        int len;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
        else return false;
        if (i + static_cast<std::size_t>(len) > n) return false;
        for (int k = 1; k < len; ++k) {
            const unsigned d = s[i + static_cast<std::size_t>(k)];
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

// Text: no NUL, and control characters only those a text document holds (tab, line ends, form
// feed, backspace, escape, end of file).
bool looksLikeText(const std::string& b) {
    std::size_t odd = 0;
    for (unsigned char c : b) {
        if (c == 0) return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\b' && c != 0x1A && c != 0x1B &&
            c != '\v')
            ++odd;
    }
    return odd * 100 <= b.size();  // a stray control character is tolerated, binary data is not
}

}  // namespace

Sniffed sniff(const std::string& b) {
    Sniffed s;
    if (b.empty()) {
        s.kind = Kind::Empty;
        s.what = "an empty file";
        return s;
    }
    if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) {
        s.kind = Kind::Tiff;
        s.what = "a TIFF image";
        return s;
    }
    if (startsWith(b, "II+\0", 4) || startsWith(b, "MM\0+", 4)) {
        s.what = "a BigTIFF image";
        return s;
    }
    if (startsWith(b, "\x89PNG\r\n\x1a\n", 8)) {
        s.kind = Kind::Png;
        s.what = "a PNG image";
        return s;
    }
    if (startsWith(b, "\xFF\xD8\xFF", 3)) {
        s.kind = Kind::Jpeg;
        s.what = "a JPEG image";
        return s;
    }
    // A PDF's header may follow some junk, within the first kilobyte.
    if (b.substr(0, 1024).find("%PDF-") != std::string::npos) {
        s.kind = Kind::Pdf;
        s.what = "a PDF document";
        return s;
    }
    struct Known {
        const char* sig;
        std::size_t n;
        const char* what;
    };
    static const Known known[] = {
        {"\x7F" "ELF", 4, "a program (ELF executable)"},
        {"GIF87a", 6, "a GIF image"},
        {"GIF89a", 6, "a GIF image"},
        {"PK\x03\x04", 4, "a ZIP archive or office document"},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8, "an old Microsoft Office document"},
        {"\x1F\x8B", 2, "gzip-compressed data"},
        {"%!PS", 4, "a PostScript document"},
        {"BZh", 3, "bzip2-compressed data"},
        {"\xFD" "7zXZ", 5, "xz-compressed data"},
        {"{\\rtf", 5, "an RTF document"},
        {"#!", 2, nullptr},  // a script is text
    };
    for (const Known& k : known) {
        if (startsWith(b, k.sig, k.n)) {
            if (!k.what) break;
            s.what = k.what;
            return s;
        }
    }
    if (b.size() >= 12 && startsWith(b, "RIFF", 4) && b.compare(8, 4, "WEBP") == 0) {
        s.what = "a WebP image";
        return s;
    }
    if (startsWith(b, "BM", 2) && b.size() > 26 && b[6] == 0 && b[7] == 0 && b[8] == 0 && b[9] == 0) {
        s.what = "a BMP image";
        return s;
    }
    if (looksLikeText(b)) {
        s.kind = Kind::Text;
        bool nonAscii = false;
        s.utf8 = validUtf8(b, &nonAscii) && nonAscii;
        s.what = s.utf8 ? "a text (UTF-8)" : "a text";
        return s;
    }
    s.what = "binary data of an unknown kind";
    return s;
}

int16_t readFile(const std::string& path, std::string* out) {
    out->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return E_READ;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return E_READ;
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxDocumentBytes) {
        ::close(fd);
        return E_TOOLARGE;
    }
    out->reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return E_READ;
        }
        if (n == 0) break;
        out->append(buf, static_cast<std::size_t>(n));
        if (out->size() > kMaxDocumentBytes) {
            ::close(fd);
            return E_TOOLARGE;
        }
    }
    ::close(fd);
    return 0;
}

double paperInches(int paper) { return paper == 1 ? 11.0 : 297.0 / 25.4; }

int Format::rows() const { return static_cast<int>(paperInches(paper) * ydpi() + 0.5); }

void Page::resize(int w, int h) {
    width = w;
    height = h;
    stride = static_cast<std::size_t>((w + 7) / 8);
    bits.assign(stride * static_cast<std::size_t>(h), 0);
}

std::size_t Page::inkIn(int x0, int y0, int x1, int y1) const {
    std::size_t n = 0;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > width) x1 = width;
    if (y1 > height) y1 = height;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += ink(x, y) ? 1 : 0;
    return n;
}

}  // namespace qordoc
