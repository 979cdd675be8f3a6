// QORUL: the utility library of the fax product family.
//
// Memory handles, texts and language texts, the trace and error logs, messages and
// questions (through the UI driver), the profile with its paths and system values,
// files by handle and by number, and time. Every service that returns int16_t returns
// a status: 0 = success, otherwise one of the UL_E codes below (or the status of a
// service it called). The host argument is the host handle, passed on unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorsf.h"  // SF_DATETIME
#include "qorwintypes.h"

// ---- Status codes of the utility library (texts in the language module under the same number)
enum : int16_t {
    UL_E_NOMEM = 30001,       // not enough memory
    UL_E_BADHANDLE = 30002,   // unknown or freed memory handle
    UL_E_NOTLOCKED = 30003,   // unlock of a block that is not locked
    UL_E_BADSIZE = 30004,     // a block size of 0 or above the limit
    UL_E_NOTEXT = 30010,      // no language text with that number
    UL_E_LANGFILE = 30011,    // the language module file cannot be read or parsed
    UL_E_BADARG = 30012,      // a null pointer or a buffer of size 0
    UL_E_TOOLONG = 30013,     // a text does not fit its buffer
    UL_E_PATHLONG = 30020,    // a path would be longer than 79 characters
    UL_E_NOPATH = 30021,      // unknown path number
    UL_E_PROFILE = 30022,     // the profile directory cannot be created or written
    UL_E_NOVALUE = 30023,     // unknown system value number
    UL_E_NOWINDOW = 30024,    // no window registered under that number
    UL_E_NOAREA = 30025,      // unknown shared area number
    UL_E_OPEN = 30030,        // a file cannot be opened
    UL_E_CREATE = 30031,      // a file cannot be created
    UL_E_READ = 30032,        // a read failed or moved fewer bytes than asked
    UL_E_WRITE = 30033,       // a write failed or moved fewer bytes than asked
    UL_E_SEEK = 30034,        // positioning failed
    UL_E_CLOSE = 30035,       // closing failed
    UL_E_BADFILE = 30036,     // unknown or closed file handle
    UL_E_COPY = 30037,        // a file copy failed
    UL_E_NOTFOUND = 30038,    // the file does not exist
    UL_E_DELETE = 30039,      // a file cannot be deleted
    UL_E_LOCKED = 30040,      // the file is held exclusively by another program
    UL_E_NOTIME = 30050,      // a date-time text does not parse
};

constexpr std::size_t UL_MAXPATH = 80;  // path fields hold 79 characters and the NUL

// ---- Memory: movable blocks with 32-bit handles; 0 is never a handle.
// A new block comes back locked and zero-filled; content survives unlock and lock;
// a pointer is valid only while the block is locked. A freed or unknown handle
// gives UL_E_BADHANDLE, never a crash.
int16_t UL_allochandle(void** pointer, uint32_t size, uint32_t* handle);
int16_t UL_lockhandle(uint32_t handle, void** pointer);
int16_t UL_unlockhandle(uint32_t handle);
int16_t UL_freehandle(uint32_t handle);
uint32_t UL_handlesize(uint32_t handle);       // 0 for an unknown handle
uint32_t UL_handlecount();                     // live blocks (for leak checks in tests)

// ---- Texts
// Copies src into dst of dstsize bytes, cut to dstsize - 1 and always terminated.
// Returns UL_E_TOOLONG when the text was cut (the cut copy is still made).
int16_t UL_strcopy(char* dst, std::size_t dstsize, const char* src);
template <std::size_t N>
inline int16_t UL_strcopy(char (&dst)[N], const char* src) { return UL_strcopy(dst, N, src); }
// Loads language text `number` of `module` ("QORLANG") into buf (NUL-terminated, cut to fit).
int16_t UL_loadstring(uint32_t host, char* buf, std::size_t bufsize, const char* module, uint16_t number);
template <std::size_t N>
inline int16_t UL_loadstring(uint32_t host, char (&buf)[N], const char* module, uint16_t number) {
    return UL_loadstring(host, buf, N, module, number);
}

// ---- Trace: lines "time label text" in trace.log of the profile, written when the
// trace level ([TRACE] Level of the settings file, 0 = off) is at least 1.
void UL_trace(uint32_t host, const char* text);
void UL_tracetext(uint32_t host, const char* label, const char* text);
void UL_tracevalue(uint32_t host, const char* label, int16_t value);
int16_t UL_tracelevel();

// ---- Errors, messages and questions
// Appends "time operation status text" to error.log of the profile (and to the trace).
void UL_errorlog(uint32_t host, const char* operation, int16_t status);
// The text of a status: the library's codes, the utility codes and the record store's codes.
int16_t UL_errortext(uint32_t host, int16_t status, char* buf, std::size_t bufsize);
// Shows the message of a status (with a beep). 13000 is never shown.
int16_t UL_showstatus(uint32_t host, int16_t status);
// Shows language text `message` used as a format with `text` as its one argument.
int16_t UL_reporterror(uint32_t host, uint16_t message, const char* text);
// Tells the user interface how far long work is: `done` of `total` steps of `what` (0 = the
// total is not known); done == total, or UL_PROGRESS_END, ends the report.
constexpr uint32_t UL_PROGRESS_END = 0xFFFFFFFFu;
void UL_progress(uint32_t host, const char* what, uint32_t done, uint32_t total);
// Shows language text `number` as an information message.
int16_t UL_message(uint32_t host, const char* module, uint16_t number);
// Asks language text `number` as a yes-or-no question; answer 1 = yes, 0 = no.
int16_t UL_askyesno(uint32_t host, const char* module, uint16_t number, int16_t* answer);

// ---- Paths and values
// Path numbers: 24 data directory (ends with '/'), 41 settings file, 22 a new unique
// file path in the spool directory (different at every call, also across processes),
// 16 the report directory and then 47 on the same buffer the report layout file,
// 7 the purge list file, 40 the cover directory (ends with '/').
// Paths hold at most 79 characters: a longer one gives UL_E_PATHLONG.
int16_t UL_getpath(uint32_t host, char* buf, std::size_t bufsize, int16_t number);
template <std::size_t N>
inline int16_t UL_getpath(uint32_t host, char (&buf)[N], int16_t number) { return UL_getpath(host, buf, N, number); }
// Makes sure a directory path ends with '/' (cut to fit the buffer).
void UL_endpath(char* path, std::size_t pathsize);
// A bare name (no '/') becomes the full path in the spool directory.
int16_t UL_fullpath(uint32_t host, char* path, std::size_t pathsize);
// A path in the spool directory becomes its bare name; other paths stay.
int16_t UL_barename(uint32_t host, char* path, std::size_t pathsize);
bool UL_isbarename(const char* path);
// System values, kept in section [SYSTEM] of the settings file as "Value<n>".
// Known numbers: 1, 9, 10; 13 is the instance of the language module (its dialog templates).
int16_t UL_getvalue(uint32_t host, int16_t number, int16_t* value);

// The profile root: $QORFAX_HOME, else ~/.qorfax; created with defaults on first use.
// Returns 0 or UL_E_PROFILE / UL_E_PATHLONG. Every path service calls it.
int16_t UL_profileinit();
// The root directory (ends with '/'); empty before a successful init.
const char* UL_profileroot();

// ---- Files by handle (the host's texts and data files). Handles are 32-bit, 0 = none.
// Modes: 1 = write only (create) or read only (open), 2 = read and write.
int16_t UL_fileexists(const char* path, int16_t* flag);
int16_t UL_fopen(uint32_t host, const char* path, int16_t mode, uint32_t* file);
int16_t UL_fcreate(uint32_t host, const char* path, int16_t mode, uint32_t* file);
int16_t UL_fopenread(uint32_t host, const char* path, int16_t mode, uint32_t* file);
// A file written whole: the writes go to a new temporary file beside `path` (write only), and
// UL_fcommit makes it the file `path` in one step (synced, then renamed over the old one). A
// handle closed with UL_fclose instead, or left behind by a failure, removes the temporary
// file and leaves `path` as it was. UL_fcommit closes the handle.
int16_t UL_fcreatewhole(uint32_t host, const char* path, uint32_t* file);
int16_t UL_fcommit(uint32_t host, uint32_t file);
// Succeed only when the whole length moved.
int16_t UL_fread(uint32_t host, uint32_t file, void* buf, uint32_t length);
int16_t UL_fwrite(uint32_t host, uint32_t file, const void* buf, uint32_t length);
// origin: 1 = from the start, 2 = from the current position, 3 = from the end.
int16_t UL_fseek(uint32_t host, uint32_t file, int32_t offset, int16_t origin, int32_t* position);
// Reads the next line (its CR and LF removed) into line; end = 1 and an empty line once the file
// has no character left. A line longer than linesize - 1 is cut: the rest of it is skipped.
int16_t UL_freadline(uint32_t host, uint32_t file, char* line, std::size_t linesize, int16_t* end);
// Writes the text and the line end CR LF.
int16_t UL_fputline(uint32_t host, uint32_t file, const char* text);
int16_t UL_fsetsize(uint32_t host, uint32_t file, uint32_t size);
int16_t UL_fclose(uint32_t host, uint32_t file);
int16_t UL_fcopy(uint32_t host, const char* destination, const char* source);
int16_t UL_filesize(uint32_t host, const char* path, uint32_t* size);
int16_t UL_fdelete(uint32_t host, const char* path);

// ---- Text files read line by line. A line is cut to linesize - 1 characters (the rest of a
// longer line comes as the next line); CR and LF are removed. kind: 0 = a line, 1 = a line
// that ends a page (it ended with a form feed), 2 = the end of the file (line empty).
int16_t UL_textopen(uint32_t host, const char* path, uint32_t* text);
int16_t UL_textline(uint32_t host, uint32_t text, char* line, std::size_t linesize, int16_t* kind);
int16_t UL_textclose(uint32_t host, uint32_t text);

// ---- Files by number, for the record store. Numbers fit in 16 bits; -1 = failure.
// Mode 2 = read and write, exclusive: a file open here is refused to any other program.
int16_t UL_open(const char* path, int16_t mode);
int16_t UL_create(const char* path, int16_t mode);
int16_t UL_close(int16_t file);                                // 0 = ok
uint32_t UL_seek(int16_t file, uint32_t offset, int16_t origin);  // new position; 0xFFFFFFFF = failure
uint16_t UL_read(int16_t file, void* buf, uint16_t count);     // bytes read
uint16_t UL_write(int16_t file, const void* buf, uint16_t count);  // bytes written; 0xFFFF = failure
int16_t UL_delete(const char* path);                           // 0 = ok
// What a crash-safe writer of such files needs besides: make a file's content durable (fsync),
// cut it to a length, make the entries of the directory holding `path` durable, give a file a
// second name that must not exist yet (the atomic way to put a finished file in place), and
// tell whether another open holds the lock of a file (1) or not (0; also when it is absent).
int16_t UL_sync(int16_t file);                                 // 0 = ok
int16_t UL_truncate(int16_t file, uint32_t size);              // 0 = ok
int16_t UL_syncdir(const char* path);                          // 0 = ok
int16_t UL_linknew(const char* from, const char* to);          // 0 = ok, -1 (also: `to` exists)
int16_t UL_renameover(const char* from, const char* to);       // 0 = ok; `to` is replaced at once
int16_t UL_filebusy(const char* path);
uint32_t UL_filelength(int16_t file);                          // 0xFFFFFFFF = failure
// Keeps up to `blocks` whole blocks of `blocksize` bytes of the file in memory while the number
// is open (0 blocks: none): reads of a whole block at a multiple of the size fill it, reads
// within a block it holds cost no system call, writes and cuts of this number keep it equal to
// the file. Only for a file no other program may change while it is open (mode 2). 0 = ok.
int16_t UL_cacheblocks(int16_t file, uint16_t blocksize, uint32_t blocks);

// ---- Time, through a clock that tests can drive.
void UL_now(SF_DATETIME* now);
// "YYYY-MM-DD HH:MM:SS" (the date, a blank, the time).
int16_t UL_fmtdatetime(uint32_t host, const SF_DATETIME* when, char* buf, std::size_t bufsize);
// "YYYYMMDDHHMMSS", the 14-character form that the queue parses back.
int16_t UL_fmtdatetime2(uint32_t host, const SF_DATETIME* when, char* buf, std::size_t bufsize);

// ---- Windows and shared areas
// The host registers its windows by number (101: the window told about queue changes).
int16_t UL_registerwindow(uint32_t host, int16_t number, HWND window);
int16_t UL_getwindow(uint32_t host, int16_t number, HWND* window);
// Shared areas by number: 10 is the document list (its content kept by QORLIB2). A pointer is
// valid until the area is released; UL_E_NOAREA for a number that no library keeps.
int16_t UL_getarea(uint32_t host, int16_t number, void** area);
int16_t UL_releasearea(uint32_t host, int16_t number);
// Lets the host's user interface breathe during long loops (runs the registered hook).
void UL_yield(uint32_t host);
void UL_waitcursor(uint32_t host, int16_t on);

// ---- Fax image files (TIFF Class F, read with libtiff).
struct UL_FAXHEADER {
    int16_t format;     // 2 = CCITT group 3 or 4 compression, 1 = another TIFF, 0 = not a TIFF
    int16_t linewidth;  // the image width in pixels (1728 for a fax page)
    int16_t pages;      // the number of pages (directories)
    char text1[80];     // the image description of the first page
    char text2[80];     // the document name of the first page
};
// Reads the header of the first page. A file that is not a TIFF reads with format 0;
// a file that cannot be opened gives UL_E_NOTFOUND or UL_E_OPEN.
int16_t UL_readfaxheader(uint32_t host, const char* path, UL_FAXHEADER* header);
