// Profile strings: the settings file of sections, "key=value" lines and ";" comments.
//
// The file is read whole on every call and split into lines that remember their own line end,
// so that a write changes only the lines it means to change and keeps every other byte (comments,
// garbage, order, CR LF or LF). Writes go to a temporary file in the same directory, which is
// synced and renamed over the file: a reader sees the old file or the new one, never half of one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qorwin32.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Case folding for names: ASCII and the Latin-1 letters (0xC0-0xDE except 0xD7).
unsigned char fold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    return c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

enum class Kind { Other, Section, Key };

// One line of the file. `text` is the line without its end; `end` is "\r\n", "\n", "\r" or "" (the
// last line of a file that does not end with a line break). `name` is the section name or the
// key, `value` the raw value (trimmed, quotes still on); both are copies, so lines can move.
struct Line {
    std::string text;
    std::string end;
    Kind kind = Kind::Other;
    std::string name;
    std::string value;
};

void classify(Line& line) {
    line.kind = Kind::Other;
    line.name.clear();
    line.value.clear();
    std::string_view t = trim(line.text);
    if (t.empty() || t.front() == ';') return;
    if (t.front() == '[') {
        // A header needs its closing bracket; "[name" alone is a garbage line, kept as it is.
        std::size_t close = t.find(']');
        if (close == std::string_view::npos) return;
        line.kind = Kind::Section;
        line.name = trim(t.substr(1, close - 1));
        return;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return;  // no "=": ignored inside a section
    std::string_view key = trim(t.substr(0, eq));
    if (key.empty()) return;
    line.kind = Kind::Key;
    line.name = key;
    line.value = trim(t.substr(eq + 1));
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

struct Profile {
    std::vector<Line> lines;
    std::string eol = "\r\n";  // the line end of new lines: the file's own, CR LF for a new file

    // Index of the header of the first section called `name`, or npos.
    std::size_t findSection(std::string_view name) const {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Kind::Section && sameName(lines[i].name, name)) return i;
        }
        return npos;
    }
    // One past the last line of the section whose header is at `header`.
    std::size_t sectionEnd(std::size_t header) const {
        std::size_t i = header + 1;
        while (i < lines.size() && lines[i].kind != Kind::Section) ++i;
        return i;
    }
    std::size_t findKey(std::size_t header, std::string_view key) const {
        std::size_t end = sectionEnd(header);
        for (std::size_t i = header + 1; i < end; ++i) {
            if (lines[i].kind == Kind::Key && sameName(lines[i].name, key)) return i;
        }
        return npos;
    }
    std::string bytes() const {
        std::string out;
        for (const Line& l : lines) {
            out += l.text;
            out += l.end;
        }
        return out;
    }
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

Profile parse(const std::string& data) {
    Profile p;
    // A line ends with CR LF, LF or a lone CR (files written on older systems); new lines take
    // the end of the file's first line.
    std::size_t pos = 0;
    bool first = true;
    while (pos < data.size()) {
        std::size_t brk = data.find_first_of("\r\n", pos);
        Line line;
        if (brk == std::string::npos) {
            line.text = data.substr(pos);
            pos = data.size();
        } else {
            const std::size_t endLen = data[brk] == '\r' && brk + 1 < data.size() && data[brk + 1] == '\n' ? 2 : 1;
            line.text = data.substr(pos, brk - pos);
            line.end = data.substr(brk, endLen);
            pos = brk + endLen;
            if (first) p.eol = line.end;
            first = false;
        }
        classify(line);
        p.lines.push_back(std::move(line));
    }
    return p;
}

Line makeLine(std::string text, const std::string& eol) {
    Line l;
    l.text = std::move(text);
    l.end = eol;
    classify(l);
    return l;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

enum class ReadResult { Ok, Missing, Failed };

ReadResult readWhole(const char* path, std::string* out) {
    out->clear();
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Failed;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadResult::Failed;
        }
        if (n == 0) break;
        out->append(buf, static_cast<std::size_t>(n));
    }
    return ReadResult::Ok;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Removes the temporary file unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    void keep() { path_.clear(); }

private:
    std::string path_;
};

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Writes `data` as the whole new content of `path`: temporary file, fsync, rename, then a sync
// of the directory so that the rename itself survives a crash.
bool replaceFile(const char* file, const std::string& data) {
    std::string path = file;
    // Write through a symbolic link to its target instead of replacing the link by a file.
    if (char* real = ::realpath(file, nullptr)) {
        path = real;
        std::free(real);
    }
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;

    std::string tmpl = path + ".tmpXXXXXX";
    Fd fd(::mkstemp(tmpl.data()));
    if (fd.get() < 0) return false;
    TempFile guard(tmpl);
    if (::fchmod(fd.get(), mode) != 0) return false;
    if (!writeAll(fd.get(), data)) return false;
    if (::fsync(fd.get()) != 0) return false;
    if (::close(fd.release()) != 0) return false;
    if (::rename(tmpl.c_str(), path.c_str()) != 0) return false;
    guard.keep();
    Fd dir(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

// Copies a value: cut to size - 1 and terminated; returns the count copied.
DWORD copyValue(std::string_view v, LPSTR ret, DWORD size) {
    if (size == 0) return 0;
    std::size_t n = v.size() < size ? v.size() : size - 1;
    if (n > 0) std::memcpy(ret, v.data(), n);
    ret[n] = '\0';
    return static_cast<DWORD>(n);
}

// Copies a list of names, each NUL-terminated, the list ended by a second NUL. When it does not
// fit, the list is cut to size - 2 characters and closed by two NULs; the result is size - 2.
DWORD copyList(const std::vector<std::string_view>& names, LPSTR ret, DWORD size) {
    if (size == 0) return 0;
    std::string list;
    for (std::string_view n : names) {
        list.append(n.data(), n.size());
        list.push_back('\0');
    }
    if (list.size() + 1 <= size) {
        std::memcpy(ret, list.data(), list.size());
        ret[list.size()] = '\0';
        if (list.empty() && size >= 2) ret[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        ret[0] = '\0';
        return 0;
    }
    std::memcpy(ret, list.data(), size - 2);
    ret[size - 2] = '\0';
    ret[size - 1] = '\0';
    return size - 2;
}

void addUnique(std::vector<std::string_view>& names, std::string_view name) {
    for (std::string_view n : names) {
        if (sameName(n, name)) return;
    }
    names.push_back(name);
}

// The value of key in section, quotes removed; nothing when the file, section or key is missing.
std::optional<std::string> lookup(LPCSTR section, LPCSTR key, LPCSTR file) {
    if (!section || !key || !file) return std::nullopt;
    std::string data;
    if (readWhole(file, &data) != ReadResult::Ok) return std::nullopt;
    Profile p = parse(data);
    std::size_t header = p.findSection(trim(section));
    if (header == Profile::npos) return std::nullopt;
    std::size_t at = p.findKey(header, trim(key));
    if (at == Profile::npos) return std::nullopt;
    return std::string(unquote(p.lines[at].value));
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR ret, DWORD size, LPCSTR file) {
    if (!ret || size == 0) return 0;
    if (!section || !key) {
        std::string data;
        Profile p;
        if (file && readWhole(file, &data) == ReadResult::Ok) p = parse(data);
        std::vector<std::string_view> names;
        if (!section) {
            for (const Line& l : p.lines) {
                if (l.kind == Kind::Section) addUnique(names, l.name);
            }
        } else {
            std::size_t header = p.findSection(trim(section));
            if (header != Profile::npos) {
                std::size_t end = p.sectionEnd(header);
                for (std::size_t i = header + 1; i < end; ++i) {
                    if (p.lines[i].kind == Kind::Key) addUnique(names, p.lines[i].name);
                }
            }
        }
        return copyList(names, ret, size);
    }
    if (std::optional<std::string> v = lookup(section, key, file)) return copyValue(*v, ret, size);
    // The default loses its trailing blanks, as the value of a key would.
    std::string_view d = def ? std::string_view(def) : std::string_view();
    while (!d.empty() && isBlank(d.back())) d.remove_suffix(1);
    return copyValue(d, ret, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int def, LPCSTR file) {
    std::optional<std::string> v = lookup(section, key, file);
    if (!v || v->empty()) return static_cast<UINT>(def);
    // Leading decimal digits with an optional sign; anything else ends the number ("12abc" is
    // 12, "abc" is 0). Values beyond the range of int stop at its bounds.
    std::string_view s = *v;
    bool negative = false;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    int64_t n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > static_cast<int64_t>(INT_MAX) + 1) n = static_cast<int64_t>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<UINT>(static_cast<int>(n));
}

namespace {

// Serialises the writers of one settings file across processes: a write reads the whole file,
// changes it and renames a new file over it, so two writers at once would lose one change. The
// lock is an flock on a hidden file beside the settings file (the settings file itself is
// replaced by every write, so it cannot carry the lock).
class WriterLock {
public:
    explicit WriterLock(const char* file) {
        std::string path = file;
        if (char* real = ::realpath(file, nullptr)) {
            path = real;
            std::free(real);
        }
        const std::size_t slash = path.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        fd_ = ::open((dir + "." + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) return;  // no directory: the write itself will fail and say so
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~WriterLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    int fd_ = -1;
};

BOOL writeProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

}  // namespace

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (!section || !file || !*file) return FALSE;
    WriterLock lock(file);
    return writeProfileString(section, key, value, file);
}

namespace {

BOOL writeProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (!section || !file || !*file) return FALSE;
    std::string_view sec = trim(section);
    // Names and values are written into single lines: a line break would start a second key or
    // section, a "]" in a section name or a "=" in a key would read back as another name.
    if (sec.empty() || hasLineBreak(sec) || sec.find(']') != std::string_view::npos) return FALSE;
    std::string_view k;
    if (key) {
        k = trim(key);
        if (k.empty() || hasLineBreak(k) || k.find('=') != std::string_view::npos || k.front() == ';' ||
            k.front() == '[') {
            return FALSE;
        }
    }
    if (value && hasLineBreak(value)) return FALSE;

    std::string data;
    ReadResult rr = readWhole(file, &data);
    if (rr == ReadResult::Failed) return FALSE;
    Profile p = parse(data);

    if (!key) {
        // Delete the section, every copy of it: its header and all lines up to the next header.
        bool changed = false;
        std::size_t i = 0;
        while (i < p.lines.size()) {
            if (p.lines[i].kind == Kind::Section && sameName(p.lines[i].name, sec)) {
                std::size_t end = p.sectionEnd(i);
                p.lines.erase(p.lines.begin() + static_cast<std::ptrdiff_t>(i),
                              p.lines.begin() + static_cast<std::ptrdiff_t>(end));
                changed = true;
            } else {
                ++i;
            }
        }
        if (!changed) return TRUE;
        return replaceFile(file, p.bytes()) ? TRUE : FALSE;
    }

    std::size_t header = p.findSection(sec);
    if (!value) {
        // Delete the key; every copy of it in the section, or the next copy would show through.
        if (header == Profile::npos) return TRUE;
        bool changed = false;
        std::size_t i = header + 1;
        while (i < p.lines.size() && p.lines[i].kind != Kind::Section) {
            if (p.lines[i].kind == Kind::Key && sameName(p.lines[i].name, k)) {
                p.lines.erase(p.lines.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
            } else {
                ++i;
            }
        }
        if (!changed) return TRUE;
        return replaceFile(file, p.bytes()) ? TRUE : FALSE;
    }

    if (header == Profile::npos) {
        // A new section goes at the end of the file.
        if (!p.lines.empty() && p.lines.back().end.empty()) p.lines.back().end = p.eol;
        p.lines.push_back(makeLine("[" + std::string(sec) + "]", p.eol));
        p.lines.push_back(makeLine(std::string(k) + "=" + value, p.eol));
    } else {
        std::size_t at = p.findKey(header, k);
        if (at != Profile::npos) {
            // Keep the key as the file spells it and the line's own end.
            std::string text = p.lines[at].name + "=" + value;
            if (text == p.lines[at].text) return TRUE;
            p.lines[at].text = std::move(text);
            classify(p.lines[at]);
        } else {
            // A new key goes after the last line of its section that is not blank.
            std::size_t end = p.sectionEnd(header);
            std::size_t after = header;
            for (std::size_t i = header + 1; i < end; ++i) {
                if (!trim(p.lines[i].text).empty()) after = i;
            }
            if (p.lines[after].end.empty()) p.lines[after].end = p.eol;
            p.lines.insert(p.lines.begin() + static_cast<std::ptrdiff_t>(after + 1),
                           makeLine(std::string(k) + "=" + value, p.eol));
        }
    }
    return replaceFile(file, p.bytes()) ? TRUE : FALSE;
}

}  // namespace
