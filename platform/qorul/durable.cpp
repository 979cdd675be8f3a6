// Durable whole-file writes, lock files with a bounded wait, and the write points.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "qorul.h"
#include "qorul_durable.h"

namespace {

struct WritePoints {
    long armedAt = 0;  // 0 = disarmed
    long passed = 0;
    qorul::WriteFault mode = qorul::WriteFault::Fail;
    int error = ENOSPC;
};
WritePoints& points() {
    static WritePoints p;
    return p;
}

int& lockWait() {
    static int ms = 10000;
    return ms;
}

// The marker of writeWholeFile's temporaries: "<name>.qtmp-<pid>".
constexpr const char* kTempMark = ".qtmp-";

bool writeAllFd(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        if (qorul::writePoint()) return false;
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

void syncDirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

namespace qorul {

void armWritePoint(long n, WriteFault mode, int error) {
    WritePoints& p = points();
    p = WritePoints{};
    p.armedAt = n > 0 ? n : 0;
    p.mode = mode;
    p.error = error;
}

void disarmWritePoints() { points() = WritePoints{}; }

long writePointsPassed() { return points().passed; }

bool writePoint() {
    WritePoints& p = points();
    ++p.passed;
    if (p.armedAt == 0 || p.passed != p.armedAt) return false;
    p.armedAt = 0;
    if (p.mode == WriteFault::Crash) ::_exit(kCrashExitStatus);
    errno = p.error;
    return true;
}

int16_t readWholeFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? int16_t{UL_E_NOTFOUND} : int16_t{UL_E_OPEN};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return UL_E_READ;
    }
    // One read for the whole file (and one that finds its end); a file that grew meanwhile is
    // read to its end.
    bytes->resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == bytes->size()) bytes->resize(done * 2 + 4096);
        ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            bytes->clear();
            return UL_E_READ;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes->resize(done);
    ::close(fd);
    return 0;
}

int16_t writeWholeFile(const std::string& path, const std::string& bytes, bool sync) {
    const std::string tmp = path + kTempMark + std::to_string(::getpid());
    if (writePoint()) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
    bool ok = writeAllFd(fd, bytes.data(), bytes.size());
    int saved = errno;
    if (ok && sync && ::fsync(fd) != 0) {
        ok = false;
        saved = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && writePoint()) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return saved == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
    }
    if (sync) syncDirectoryOf(path);
    return 0;
}

int16_t writeInPlace(const std::string& path, const std::vector<std::pair<std::size_t, std::string>>& pieces) {
    if (pieces.empty()) return 0;
    if (writePoint()) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
    int16_t status = 0;
    for (const auto& [offset, bytes] : pieces) {
        if (writePoint()) {
            status = errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
            break;
        }
        ssize_t n;
        do {
            n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        } while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(bytes.size())) {
            status = n < 0 && errno == ENOSPC ? UL_E_DISKFULL : int16_t{UL_E_WRITE};
            break;
        }
    }
    if (::close(fd) != 0 && status == 0) status = UL_E_WRITE;
    return status;
}

bool isWholeFileTemporary(const std::string& name) { return name.find(kTempMark) != std::string::npos; }

int16_t FileLock::take(const std::string& lockPath, int waitMilliseconds) {
    release();
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return UL_E_OPEN;
    // Polled with LOCK_NB so that the wait is bounded; a blocking flock could wait for ever
    // behind a process that hangs with the lock.
    long waited = 0;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || waited >= waitMilliseconds) {
            ::close(fd);
            return UL_E_LOCKED;
        }
        const long step = waited < 100 ? 5 : 25;
        timespec ts{0, step * 1000000L};
        ::nanosleep(&ts, nullptr);
        waited += step;
    }
    fd_ = fd;
    return 0;
}

void FileLock::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

int lockWaitMilliseconds() { return lockWait(); }
void setLockWaitMilliseconds(int milliseconds) { lockWait() = milliseconds < 0 ? 0 : milliseconds; }

}  // namespace qorul
