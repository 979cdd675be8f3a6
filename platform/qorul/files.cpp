// Files by handle: the host's data and text files.
//
// Handles are entries of a table with generations, so a closed handle is recognised
// (UL_E_BADFILE) even after its descriptor number was reused by another open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "qorul.h"
#include "qorul_durable.h"
#include "ul_internal.h"

namespace {

struct File {
    int fd = -1;
    // Read-ahead of UL_freadline: bytes read from fd but not yet given out.
    std::string ahead;
    std::size_t aheadPos = 0;
    // A file written whole (UL_fcreatewhole): the temporary file being written and the file it
    // becomes at UL_fcommit. A temporary file that was never committed is removed.
    std::string temp;
    std::string target;
    ~File() {
        if (fd >= 0) ::close(fd);
        if (!temp.empty()) ::unlink(temp.c_str());
    }
};

qorul::internal::HandleTable<File>& table() {
    static qorul::internal::HandleTable<File> t;
    return t;
}

int16_t openFile(const char* path, int flags, int16_t failure, uint32_t* file) {
    if (file) *file = 0;
    if (!path || !*path || !file) return UL_E_BADARG;
    int fd = ::open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ENOENT && !(flags & O_CREAT) ? int16_t{UL_E_NOTFOUND} : failure;
    auto f = std::make_unique<File>();
    f->fd = fd;
    uint32_t h = table().add(std::move(f));
    if (h == 0) return failure;
    *file = h;
    return 0;
}

// The descriptor for a direct operation: read-ahead bytes are given back first (the descriptor
// is moved back over them), so direct reads, writes and seeks see the logical position.
int fdOf(uint32_t file) {
    File* f = table().find(file);
    if (!f) return -1;
    if (f->aheadPos < f->ahead.size())
        ::lseek(f->fd, -static_cast<off_t>(f->ahead.size() - f->aheadPos), SEEK_CUR);
    f->ahead.clear();
    f->aheadPos = 0;
    return f->fd;
}

bool writeAll(int fd, const void* buf, std::size_t length) {
    auto* p = static_cast<const unsigned char*>(buf);
    while (length > 0) {
        if (qorul::writePoint()) return false;
        ssize_t n = ::write(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int16_t UL_fileexists(const char* path, int16_t* flag) {
    if (!path || !flag) return UL_E_BADARG;
    struct stat st {};
    *flag = (*path && ::stat(path, &st) == 0) ? 1 : 0;
    return 0;
}

int16_t UL_fopen(uint32_t, const char* path, int16_t mode, uint32_t* file) {
    return openFile(path, mode == 1 ? O_RDONLY : O_RDWR, UL_E_OPEN, file);
}

int16_t UL_fcreate(uint32_t, const char* path, int16_t mode, uint32_t* file) {
    if (file) *file = 0;
    if (qorul::writePoint()) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_CREATE};
    return openFile(path, (mode == 1 ? O_WRONLY : O_RDWR) | O_CREAT | O_TRUNC, UL_E_CREATE, file);
}

int16_t UL_fcreatewhole(uint32_t, const char* path, uint32_t* file) {
    if (file) *file = 0;
    if (!path || !*path || !file) return UL_E_BADARG;
    struct stat old {};
    const bool existed = ::stat(path, &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) return UL_E_CREATE;
    auto f = std::make_unique<File>();
    // Beside the target, so that the rename stays within one file system.
    f->temp = std::string(path) + ".XXXXXX";
    f->fd = ::mkostemp(f->temp.data(), O_CLOEXEC);
    if (f->fd < 0) {
        f->temp.clear();
        return UL_E_CREATE;
    }
    f->target = path;
    // The file keeps the permissions of the one it replaces; a new one gets the usual 0644.
    ::fchmod(f->fd, existed ? (old.st_mode & 0777) : 0644);
    uint32_t h = table().add(std::move(f));
    if (h == 0) return UL_E_CREATE;
    *file = h;
    return 0;
}

int16_t UL_fcommit(uint32_t, uint32_t file) {
    std::unique_ptr<File> f = table().remove(file);
    if (!f) return UL_E_BADFILE;
    if (f->temp.empty()) return UL_E_BADARG;  // not a file written whole: nothing to commit
    // The content reaches the disk before the name does: a crash leaves the old file or the
    // whole new one, never a short one.
    const bool synced = ::fsync(f->fd) == 0;
    const int fd = f->fd;
    f->fd = -1;
    if (::close(fd) != 0 || !synced) return UL_E_WRITE;
    if (::rename(f->temp.c_str(), f->target.c_str()) != 0) return UL_E_CREATE;
    f->temp.clear();
    // The rename itself is made durable through the directory.
    std::string dir = f->target;
    const std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

int16_t UL_fopenread(uint32_t, const char* path, int16_t, uint32_t* file) {
    return openFile(path, O_RDONLY, UL_E_OPEN, file);
}

int16_t UL_fread(uint32_t, uint32_t file, void* buf, uint32_t length) {
    int fd = fdOf(file);
    if (fd < 0) return UL_E_BADFILE;
    if (!buf && length) return UL_E_BADARG;
    auto* p = static_cast<unsigned char*>(buf);
    while (length > 0) {
        ssize_t n = ::read(fd, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return UL_E_READ;  // an error or the end of the file before the whole length
        p += n;
        length -= static_cast<uint32_t>(n);
    }
    return 0;
}

int16_t UL_fwrite(uint32_t, uint32_t file, const void* buf, uint32_t length) {
    int fd = fdOf(file);
    if (fd < 0) return UL_E_BADFILE;
    if (!buf && length) return UL_E_BADARG;
    if (writeAll(fd, buf, length)) return 0;
    return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
}

int16_t UL_fseek(uint32_t, uint32_t file, int32_t offset, int16_t origin, int32_t* position) {
    if (position) *position = 0;
    int fd = fdOf(file);
    if (fd < 0) return UL_E_BADFILE;
    int whence;
    switch (origin) {
        case 1: whence = SEEK_SET; break;
        case 2: whence = SEEK_CUR; break;
        case 3: whence = SEEK_END; break;
        default: return UL_E_BADARG;
    }
    off_t pos = ::lseek(fd, offset, whence);
    if (pos < 0 || pos > INT32_MAX) return UL_E_SEEK;
    if (position) *position = static_cast<int32_t>(pos);
    return 0;
}

int16_t UL_freadline(uint32_t, uint32_t file, char* line, std::size_t linesize, int16_t* end) {
    if (end) *end = 1;
    if (!line || linesize == 0 || !end) return UL_E_BADARG;
    line[0] = '\0';
    File* f = table().find(file);
    if (!f) return UL_E_BADFILE;
    std::size_t used = 0;
    bool any = false;
    for (;;) {
        if (f->aheadPos >= f->ahead.size()) {
            f->ahead.resize(8192);
            ssize_t n;
            do {
                n = ::read(f->fd, f->ahead.data(), f->ahead.size());
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                f->ahead.clear();
                f->aheadPos = 0;
                return UL_E_READ;
            }
            f->ahead.resize(static_cast<std::size_t>(n));
            f->aheadPos = 0;
            if (n == 0) break;  // the end of the file
        }
        const char c = f->ahead[f->aheadPos++];
        any = true;
        if (c == '\n') break;
        // Characters past the buffer are dropped: one line of the file stays one line.
        if (c != '\r' && used + 1 < linesize) line[used++] = c;
    }
    line[used] = '\0';
    *end = any ? 0 : 1;
    return 0;
}

int16_t UL_fputline(uint32_t host, uint32_t file, const char* text) {
    std::string line = text ? text : "";
    line += "\r\n";
    return UL_fwrite(host, file, line.data(), static_cast<uint32_t>(line.size()));
}

int16_t UL_fsetsize(uint32_t, uint32_t file, uint32_t size) {
    int fd = fdOf(file);
    if (fd < 0) return UL_E_BADFILE;
    if (qorul::writePoint()) return UL_E_WRITE;
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : UL_E_WRITE;
}

int16_t UL_fclose(uint32_t, uint32_t file) {
    std::unique_ptr<File> f = table().remove(file);
    if (!f) return UL_E_BADFILE;
    int fd = f->fd;
    f->fd = -1;
    return ::close(fd) == 0 ? 0 : UL_E_CLOSE;
}

int16_t UL_fcopy(uint32_t, const char* destination, const char* source) {
    if (!destination || !source || !*destination || !*source) return UL_E_BADARG;
    File in;
    in.fd = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) return errno == ENOENT ? UL_E_NOTFOUND : UL_E_OPEN;
    // The copy is written aside and renamed over the destination, so a failed copy never
    // leaves a half-written destination behind (nor destroys the one that was there).
    std::string tmp = std::string(destination) + ".XXXXXX";
    File out;
    out.fd = ::mkstemp(tmp.data());
    if (out.fd < 0) return UL_E_COPY;
    struct TmpGuard {
        std::string path;
        bool keep = false;
        ~TmpGuard() {
            if (!keep) ::unlink(path.c_str());
        }
    } guard{tmp};
    struct stat st {};
    if (::fstat(in.fd, &st) == 0) ::fchmod(out.fd, st.st_mode & 0777);
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return UL_E_COPY;
        if (n == 0) break;
        if (!writeAll(out.fd, buf, static_cast<std::size_t>(n))) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_COPY};
    }
    int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) return UL_E_COPY;
    if (qorul::writePoint()) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_COPY};
    if (::rename(tmp.c_str(), destination) != 0) return UL_E_COPY;
    guard.keep = true;
    return 0;
}

int16_t UL_filesize(uint32_t, const char* path, uint32_t* size) {
    if (!path || !size) return UL_E_BADARG;
    *size = 0;
    struct stat st {};
    if (::stat(path, &st) != 0) return UL_E_NOTFOUND;
    *size = st.st_size > static_cast<off_t>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(st.st_size);
    return 0;
}

int16_t UL_fdelete(uint32_t, const char* path) {
    if (!path || !*path) return UL_E_BADARG;
    if (qorul::writePoint()) return UL_E_DELETE;
    if (::unlink(path) == 0) return 0;
    return errno == ENOENT ? UL_E_NOTFOUND : UL_E_DELETE;
}

void qorul::internal::closeAllFiles() {
    for (uint32_t h : table().handles()) table().remove(h);
}
