// Durable whole-file writes, lock files with a bounded wait, and the write points that tests
// use to stop a process (or fail its write, as a full disk does) at any single write.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The disk is full (a write of the host-file services or of a whole file found no space).
constexpr int16_t UL_E_DISKFULL = 30041;

namespace qorul {

// ---- Whole files.
// Reads a whole file in one go. 0, UL_E_NOTFOUND when it does not exist, or UL_E_READ.
int16_t readWholeFile(const std::string& path, std::string* bytes);
// Replaces a file whole: the bytes go to a temporary file beside it, which is synced and then
// renamed over the file (and the directory synced), so a reader, or a process killed at any
// moment, sees either the old file or the new one. UL_E_WRITE (the old file untouched) when any
// step fails; UL_E_DISKFULL when the disk is full.
// sync = false leaves out the fsyncs (for files that can be rebuilt from others): the rename
// still keeps a killed process from leaving half a file.
int16_t writeWholeFile(const std::string& path, const std::string& bytes, bool sync = true);
// Writes pieces of a file in place, each with one positioned write (the file is made when it
// does not exist). 0, UL_E_WRITE or UL_E_DISKFULL.
int16_t writeInPlace(const std::string& path, const std::vector<std::pair<std::size_t, std::string>>& pieces);
// Whether a file name is a temporary of writeWholeFile (such a file left by a killed process
// can be removed).
bool isWholeFileTemporary(const std::string& name);

// ---- Lock files: an exclusive flock on a file beside the data it guards, taken with a bounded
// wait. The lock is released when the object goes (or the process ends, however it ends).
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // 0, UL_E_LOCKED when another process held it for the whole wait, or UL_E_OPEN.
    int16_t take(const std::string& lockPath, int waitMilliseconds);
    // Takes it only when it is free at once (0 or UL_E_LOCKED).
    int16_t tryTake(const std::string& lockPath) { return take(lockPath, 0); }
    void release();
    bool held() const { return fd_ >= 0; }
    // The lock file, open for reading and writing while held (-1 otherwise): a lock file may
    // carry a few bytes of its own, e.g. a stamp of the data it guards.
    int descriptor() const { return fd_; }

private:
    int fd_ = -1;
};
// How long the library's data files wait for another process's lock (default 10 s).
int lockWaitMilliseconds();
void setLockWaitMilliseconds(int milliseconds);

// ---- Write points. Every write of the host-file services (create, write, copy, delete, resize,
// rename of a whole file) and every queue commit passes one. Armed, the n-th point after the
// arming either fails (the write reports a failure with errno set to `error`, ENOSPC for a full
// disk) or ends the process on the spot with exit status 77: no further write, no clean-up.
enum class WriteFault { Fail, Crash };
void armWritePoint(long n, WriteFault mode, int error = 28 /* ENOSPC */);
void disarmWritePoints();
// Points passed since the last arming (or disarming).
long writePointsPassed();
// Called by the writers: true when this write must fail (errno is set). Never returns when the
// armed mode is Crash and this is the point.
bool writePoint();
constexpr int kCrashExitStatus = 77;

}  // namespace qorul
