// The profile root and its paths and system values.
//
// The root is $QORFAX_HOME, else $HOME/.qorfax, or the directory a test set. On first use it is
// created with data/, spool/, recv/, print/ and a settings file qorfax.ini with default
// sections; an existing settings file is never touched. Every path handed out holds at most
// 79 characters, so the root is refused when its longest path (a spool file) would not fit.
#include "shipped_covers.h"
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qorul.h"
#include "qorul_control.h"
#include "qorwin32.h"
#include "ul_internal.h"
#include "shipped_covers.h"

namespace {

constexpr std::size_t kMaxPath = UL_MAXPATH - 1;       // 79 characters
constexpr std::size_t kLongestName = 18;               // "spool/XXXXXXXX.SPL"
const char* const kSpoolCounter = "spool/spool.seq";   // the last spool number, 8 hex digits

const char* const kDefaultSettings =
    "[GENERAL]\n"
    "\n"
    "[SYSTEM]\n"
    "Value1=1\n"
    "Value9=0\n"
    "Value10=0\n"
    "\n"
    "[TRACE]\n"
    "Level=0\n"
    "\n"
    "[TEMPLATES]\n"
    "template1=classic,Classic: serif heading, labelled rows, framed message\n"
    "template2=modern,Modern: dark title band, two columns, open message area\n"
    "template3=minimal,Minimal: plain text and one hairline\n";

struct Profile {
    std::string explicitRoot;  // set by a test; wins over the environment
    std::string root;          // the root in use, ends with '/'; empty = not set up
};
Profile& profile() {
    static Profile p;
    return p;
}

int16_t makeDir(const std::string& path) {
    // Every component, as mkdir -p; an existing directory is fine, anything else is not.
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (part.empty() || part.back() == '/') continue;
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return UL_E_PROFILE;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return UL_E_PROFILE;
    return 0;
}

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The shipped cover form templates go into the data directory of a new profile, each written
// aside and linked into place, so that a template already there (the user's own) is kept.
bool writeShippedCovers(const std::string& root) {
    bool ok = true;
    for (const ShippedCover& c : kShippedCovers) {
        const std::string path = root + "data/" + c.name;
        if (::access(path.c_str(), F_OK) == 0) continue;
        std::string tmp = root + "data/.cover.XXXXXX";
        int fd = ::mkstemp(tmp.data());
        if (fd < 0) return false;
        const bool written = writeAll(fd, c.text, std::strlen(c.text)) && ::fsync(fd) == 0;
        ::close(fd);
        if (!written || (::link(tmp.c_str(), path.c_str()) != 0 && errno != EEXIST)) ok = false;
        ::unlink(tmp.c_str());
    }
    return ok;
}

// Writes the default settings file unless one exists. It is written aside and linked into
// place: link() refuses an existing name, so a settings file that appeared meanwhile (another
// process) is kept, and no reader ever sees half a file.
int16_t makeSettings(const std::string& root) {
    std::string ini = root + "qorfax.ini";
    if (::access(ini.c_str(), F_OK) == 0) return 0;
    if (!writeShippedCovers(root)) return UL_E_PROFILE;
    std::string tmp = root + ".qorfax.ini.XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return UL_E_PROFILE;
    // The setting "delete a received fax's pages once printed automatically" belongs to a new
    // profile as well (off): the library reads it at every start and never writes it. Its key
    // name is a language text.
    std::string settings = kDefaultSettings;
    char deleteAfterPrint[80] = {};
    if (UL_loadstring(0, deleteAfterPrint, "QORLANG", 2211) == 0 && deleteAfterPrint[0])
        settings += std::string("\n[FAX OPERATION]\n") + deleteAfterPrint + "=0\n";
    bool ok = writeAll(fd, settings.data(), settings.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (ok && ::link(tmp.c_str(), ini.c_str()) != 0 && errno != EEXIST) ok = false;
    ::unlink(tmp.c_str());
    return ok ? 0 : UL_E_PROFILE;
}

int16_t setUp(std::string root) {
    if (root.empty()) return UL_E_PROFILE;
    if (root.back() != '/') root += '/';
    if (root.size() + kLongestName > kMaxPath) return UL_E_PATHLONG;
    for (const char* sub : {"", "data/", "spool/", "recv/", "print/"}) {
        int16_t st = makeDir(root + sub);
        if (st != 0) return st;
    }
    int16_t st = makeSettings(root);
    if (st != 0) return st;
    profile().root = root;
    return 0;
}

std::string rootFromEnvironment() {
    const char* home = std::getenv("QORFAX_HOME");
    if (home && *home) return home;
    home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home) return {};
    std::string r = home;
    if (r.back() != '/') r += '/';
    return r + ".qorfax";
}

// Puts a path into the caller's buffer: a path of more than 79 characters or one that does not
// fit the buffer leaves the buffer empty.
int16_t give(const std::string& path, char* buf, std::size_t bufsize) {
    if (path.size() > kMaxPath) {
        buf[0] = '\0';
        return UL_E_PATHLONG;
    }
    if (path.size() >= bufsize) {
        buf[0] = '\0';
        return UL_E_TOOLONG;
    }
    return UL_strcopy(buf, bufsize, path.c_str());
}

// The highest number that names a file of the spool ("XXXXXXXX" followed by "." or nothing):
// where the counter goes on from when it was lost or set back.
unsigned long highestInSpool(const std::string& dir) {
    unsigned long high = 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    while (const dirent* e = ::readdir(d)) {
        const char* n = e->d_name;
        int i = 0;
        while (i < 8 && std::isxdigit(static_cast<unsigned char>(n[i]))) ++i;
        if (i != 8 || (n[8] != '.' && n[8] != '\0')) continue;
        const unsigned long v = std::strtoul(std::string(n, 8).c_str(), nullptr, 16);
        if (v > high) high = v;
    }
    ::closedir(d);
    return high;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The next spool name: a counter kept in spool/ and advanced under an exclusive flock, so that
// processes sharing the profile never get the same name. A name is new only when no file of
// its base exists (the control file, a copy ".SPL.NNN" or page files ".NNN"): a counter that was lost or set back
// goes on after the highest base in the spool instead of handing out a base still in use.
int16_t newSpoolPath(const std::string& root, std::string* path) {
    std::string counterPath = root + kSpoolCounter;
    int fd = ::open(counterPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return UL_E_PROFILE;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return UL_E_PROFILE;
        }
    }
    char text[16] = {};
    ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    char* end = nullptr;
    unsigned long last = n > 0 ? std::strtoul(text, &end, 16) : 0;
    const std::string spool = root + "spool/";
    if (n <= 0 || end == text) last = highestInSpool(spool);  // the counter was lost
    int16_t status = UL_E_PROFILE;
    bool scanned = false;
    for (int tries = 0; tries < 100000; ++tries) {
        last = (last + 1) & 0xFFFFFFFFul;
        if (last == 0) last = 1;
        std::string candidate = root + qorul::internal::format("spool/%08lX.SPL", last);
        // Page files of a base are named without ".SPL" (page 0 is "XXXXXXXX.001").
        const std::string pageZero = root + qorul::internal::format("spool/%08lX.001", last);
        if (exists(candidate) || exists(candidate + ".001") || exists(pageZero)) {
            if (!scanned) {
                scanned = true;
                const unsigned long high = highestInSpool(spool);
                if (high > last) last = high;
            }
            continue;
        }
        std::string saved = qorul::internal::format("%08lX\n", last);
        if (::pwrite(fd, saved.data(), saved.size(), 0) == static_cast<ssize_t>(saved.size())) {
            *path = candidate;
            status = 0;
        }
        break;
    }
    ::close(fd);  // releases the lock
    return status;
}

}  // namespace

int16_t UL_profileinit() {
    if (!profile().root.empty()) return 0;
    std::string root = profile().explicitRoot.empty() ? rootFromEnvironment() : profile().explicitRoot;
    return setUp(root);
}

const char* UL_profileroot() { return profile().root.c_str(); }

int16_t qorul::setProfileRoot(const std::string& dir) {
    profile().explicitRoot = dir;
    profile().root.clear();
    internal::resetTrace();  // the trace level belongs to the settings file of the root
    return UL_profileinit();
}

void qorul::resetProfile() {
    profile() = Profile{};
    internal::resetTrace();
}

std::string qorul::internal::profileFile(const char* name) {
    if (UL_profileinit() != 0) return {};
    return profile().root + name;
}

int16_t UL_getpath(uint32_t, char* buf, std::size_t bufsize, int16_t number) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    // 47 works on the directory already in the buffer (the caller got it with 16).
    if (number == 47) {
        std::string dir(buf, ::strnlen(buf, bufsize));
        if (dir.empty()) {
            buf[0] = '\0';
            return UL_E_NOPATH;
        }
        if (dir.back() != '/') dir += '/';
        return give(dir + "layouts.rpt", buf, bufsize);
    }
    std::string path;
    switch (number) {
        case 7: case 16: case 22: case 24: case 40: case 41: break;
        default:
            buf[0] = '\0';
            return UL_E_NOPATH;
    }
    int16_t st = UL_profileinit();
    if (st != 0) {
        buf[0] = '\0';
        return st;
    }
    const std::string& root = profile().root;
    switch (number) {
        case 7: path = root + "purge.lst"; break;
        case 16: path = root; break;
        case 22:
            st = newSpoolPath(root, &path);
            if (st != 0) {
                buf[0] = '\0';
                return st;
            }
            break;
        case 24: path = root + "data/"; break;
        case 40: path = root + "data/"; break;
        case 41: path = root + "qorfax.ini"; break;
    }
    return give(path, buf, bufsize);
}

void UL_endpath(char* path, std::size_t pathsize) {
    if (!path || pathsize == 0) return;
    std::size_t n = ::strnlen(path, pathsize);
    if (n == pathsize) {  // not terminated: cut to fit first
        n = pathsize - 1;
        path[n] = '\0';
    }
    if (n > 0 && path[n - 1] == '/') return;
    if (n + 1 < pathsize) {
        path[n] = '/';
        path[n + 1] = '\0';
    } else if (n > 0) {
        path[n - 1] = '/';  // no room: the last character gives way, the result is a directory
    }
}

bool UL_isbarename(const char* path) { return path && *path && !std::strchr(path, '/'); }

int16_t UL_fullpath(uint32_t, char* path, std::size_t pathsize) {
    if (!path || pathsize == 0) return UL_E_BADARG;
    if (!UL_isbarename(path)) return 0;
    int16_t st = UL_profileinit();
    if (st != 0) return st;
    std::string full = profile().root + "spool/" + path;
    if (full.size() > kMaxPath || full.size() >= pathsize) return UL_E_PATHLONG;  // the name stays as it was
    return UL_strcopy(path, pathsize, full.c_str());
}

int16_t UL_barename(uint32_t, char* path, std::size_t pathsize) {
    if (!path || pathsize == 0) return UL_E_BADARG;
    int16_t st = UL_profileinit();
    if (st != 0) return st;
    std::string spool = profile().root + "spool/";
    if (std::strncmp(path, spool.c_str(), spool.size()) != 0) return 0;
    std::string rest = path + spool.size();
    if (!UL_isbarename(rest.c_str())) return 0;  // a subdirectory of the spool stays a full path
    return UL_strcopy(path, pathsize, rest.c_str());
}

int16_t UL_getvalue(uint32_t, int16_t number, int16_t* value) {
    if (!value) return UL_E_BADARG;
    *value = 0;
    int def = 0;
    switch (number) {
        case 1: def = 1; break;
        case 9: case 10: def = 0; break;
        case 13:
            *value = 1;  // the one language module instance
            return 0;
        default: return UL_E_NOVALUE;
    }
    int16_t st = UL_profileinit();
    if (st != 0) return st;
    std::string ini = profile().root + "qorfax.ini";
    std::string key = "Value" + std::to_string(number);
    char text[32] = {};
    GetPrivateProfileStringA("SYSTEM", key.c_str(), "", text, sizeof text, ini.c_str());
    if (text[0] == '\0') {
        *value = static_cast<int16_t>(def);
        return 0;
    }
    long v = std::strtol(text, nullptr, 10);
    *value = static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
    return 0;
}
