// Sending: submission of one job (job control file, dial string, spooled copies, delete list),
// the last-numbers list, and the non-interactive send of the document list (SF_faxfolder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qorul_durable.h"

#include "frame/frame.h"
#include "qorsf.h"

namespace qorsf {

// Statuses of the send module beyond the library's table.
enum : int16_t {
    SF_DELLISTDAMAGED = 20255,  // "delfile.lis" is not a whole number of sound records
    SF_BADARGUMENT = 20256,     // a null pointer, a negative count or an index out of range
};

constexpr int kMaxDocuments = 100;          // entries of a spooled document list
constexpr uint32_t kQueueMessage = 28659;   // posted to window 101 when the queue changed
constexpr int16_t kNotifyWindow = 101;

// ---- Submission of one job
int16_t SF_sendfax(uint32_t host, const DocumentEntry* documents, int16_t documentCount, const char* number,
                   SendOptions* options);
// The dial string of a number (separator 0 means '|'); cut to outsize - 1. Always 0.
int16_t SF_builddialstring(uint32_t host, const char* number, const char* prefix, const char* suffix, char* out,
                           std::size_t outsize, char separator);
// The same, whole, for callers that check its length before using it.
std::string SF_dialstring(const char* number, const char* prefix, const char* suffix, char separator);
int16_t SF_makecopy(uint32_t host, char* path /* 80 */, int16_t index, int16_t* copied);

// ---- The delete list "delfile.lis"
int16_t SF_getdellistpath(uint32_t host, char* out, std::size_t size);
int16_t SF_addtodellist(uint32_t host, const char* path, int16_t count);
int16_t SF_releasedelfile(uint32_t host, const char* path, int16_t deleteIfUnlisted);
// Several holds changed in one rewrite of the list: `delta` holds are added to the file's count
// (a new record when it has none); a negative delta releases that many, and the file is deleted
// when its last hold goes (or, unlisted, when `deleteIfUnlisted`).
struct HoldChange {
    std::string path;
    long delta = 0;
    bool deleteIfUnlisted = false;
};
int16_t SF_changeholds(uint32_t host, const std::vector<HoldChange>& changes);
// The whole list as it is on disk (exists = false when there is no list), and its replacement;
// SF_lockdellist takes the lock that every change of the list holds.
int16_t SF_readdellist(uint32_t host, std::vector<DEL_RECORD>* records, bool* exists);
int16_t SF_writedellist(uint32_t host, const std::vector<DEL_RECORD>& records);
int16_t SF_lockdellist(uint32_t host, qorul::FileLock* lock);
// Whoever changes the list under its lock calls this first: it moves the list's stamp on, so
// that no process goes on with a copy of the list it kept in memory.
int16_t SF_dellistchanging(const qorul::FileLock& lock);

// ---- The last-numbers list (slots in the frame's last-numbers block)
struct LastNumberSlot {
    char name[31];
    char number[31];
};
int16_t SF_getlastnumbers(uint32_t host);
int16_t SF_savelastnumbers(uint32_t host);
int16_t SF_storelastnumber(uint32_t host, const char* name, const char* number);
// Position from 1, 0 = not found; the slot's number (name) is copied out (31 bytes) when found.
int16_t SF_findnameinlastnumbers(uint32_t host, const char* name, char* numberOut);
int16_t SF_findnumberinlastnumbers(uint32_t host, const char* number, char* nameOut);
int16_t SF_getalastnumber(uint32_t host, HWND window, int16_t buttonId, char* numberOut, char* nameOut);
// Labels the five last-number buttons (161-165) of the send dialog.
int16_t SF_showlastnumbers(uint32_t host, HWND window);

// ---- The non-interactive send of the document list
int16_t SF_faxfolder(uint32_t host, const char* const* numbers, uint16_t count, SendOptions* options);
// The same with a name of its own for each number (the job's recipient name). `queued` (may be
// null) tells how many jobs were queued, also when a later one failed.
struct FolderRecipient {
    std::string number;
    std::string name;
    std::string company{};  // for the recipient's cover page
    std::string voice{};
};
// With options->coverPerRecipient set, each job starts with a cover page made for its
// recipient from options->coverInfo (its template, memo and sender texts); `coverSubject` (may
// be null) is the subject of form covers.
int16_t SF_faxfolderto(uint32_t host, const std::vector<FolderRecipient>& recipients, SendOptions* options,
                       int16_t* queued = nullptr, const char* coverSubject = nullptr);
// Copies the documents of the document list into `destination` (at most `capacity` entries),
// spooling each. `stopped` (may be null) tells that the user chose to stop at a bad document.
int16_t SF_collectdocuments(uint32_t host, SendOptions* options, FN_DOCAREA* documentList,
                            DocumentEntry* destination, int16_t* count, int capacity = kMaxDocuments,
                            bool* stopped = nullptr);
int16_t SF_checkdocument(uint32_t host, const char* path, int16_t type, int16_t* pages, char* text1 /* 80 */,
                         char* text2 /* 80 */);
int16_t SF_holddocuments(uint32_t host, const DocumentEntry* documents, int16_t count, int16_t skipFirst,
                         int16_t recipients);
int16_t SF_releasedocuments(uint32_t host, const DocumentEntry* documents, int16_t count);
int16_t SF_notifyqueue(uint32_t host);

// The send time a person types, read on the library's clock: "YYYY-MM-DD HH:MM[:SS]" or with a
// "T" (ISO 8601), "HH:MM[:SS]" (today; tomorrow when that time has passed), "now" or
// "now + N minutes|hours|days". A time in the past, or a text of no such form, gives false and
// a sentence for the user in `problem`.
bool SF_parsesendtime(const std::string& text, SF_DATETIME* when, std::string* problem);

// A document path that a document entry cannot carry (a blank, or 80 characters or more) is
// copied into the spool under a short name of the library's own first (base.001 of a new
// spool base); `staged` is the copy's path.
bool SF_needsstaging(const std::string& path);
int16_t SF_stagedocument(uint32_t host, const std::string& source, std::string* staged);

// Forgets the library-wide state of the send module (the spool base path of SF_makecopy).
void send_reset();

}  // namespace qorsf
