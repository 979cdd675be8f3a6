// The indexed record store: one file of 1024-byte pages holding a single B-tree with every
// index of the file, the packed record images (key 19) and the free record numbers (key 18).
//
// Layers, bottom up:
//   pagefile  - the 28-byte header, page I/O by file number, the five-slot page cache;
//   btree     - entries, order, search, insert with splits, delete, per-key cursors;
//   record    - field tables, record images, record numbers (DB_ operations, store codes);
//   entry     - the SF_db operations, which map every failure to 20450.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorsf {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "store files are little-endian");

constexpr int DB_CACHECOUNT = 5;        // slots of the page cache shared by every open store
constexpr int DB_PAGESIZE = 1024;
constexpr int DB_AREASIZE = 1012;        // entry area of a page
constexpr int DB_MAXENTRIES = 150;       // entries a page may hold
constexpr int DB_MAXKEYTEXT = 101;       // longest key text (without the key-number byte)
constexpr int DB_NKEYS = 22;             // cursor arrays are indexed by key number 0-21
constexpr int DB_MAXLEVELS = 24;         // depth of the search path
constexpr int16_t DB_MAXPAGE = 32766;    // highest page number that may be allocated
constexpr uint8_t DB_KEYFREE = 18;       // free record numbers
constexpr uint8_t DB_KEYDATA = 19;       // record images
constexpr uint32_t DB_NORECORD = 0xFFFFFFFFu;

// Store codes (the entry layer turns each nonzero one into 20450).
inline constexpr int16_t DB_OK = 0;
inline constexpr int16_t DB_GREATER = 2;          // find mode 3: positioned on the first greater text
inline constexpr int16_t DB_SMALLER = 3;          // find mode 5: positioned on the last smaller text
inline constexpr int16_t DB_BADHANDLE = 73;
inline constexpr int16_t DB_NOTFOUND = -1;
inline constexpr int16_t DB_BADKEY = -2;
inline constexpr int16_t DB_NOTOPEN = -3;
inline constexpr int16_t DB_WRITEFAIL = -4;
inline constexpr int16_t DB_NOTSTORE = -5;
inline constexpr int16_t DB_READSEEK = -7;
inline constexpr int16_t DB_SHORTWRITE = -8;
inline constexpr int16_t DB_SHORTREAD = -9;
inline constexpr int16_t DB_BADSEQUENCE = -12;
inline constexpr int16_t DB_NOCURRENT = -16;
inline constexpr int16_t DB_UPDINDEX = -17;
inline constexpr int16_t DB_NOIMAGE = -18;
inline constexpr int16_t DB_UPDIMAGE = -19;
inline constexpr int16_t DB_OTHERTABLE = -20;
inline constexpr int16_t DB_CHECKSUM = -21;
inline constexpr int16_t DB_BADTYPE = -22;
inline constexpr int16_t DB_BADKEYTYPE = -23;
inline constexpr int16_t DB_BADDUPS = -24;
inline constexpr int16_t DB_BADLENGTH = -25;
inline constexpr int16_t DB_TEXTLONG = -26;
inline constexpr int16_t DB_BADKEYNUM = -27;
inline constexpr int16_t DB_IMAGELONG = -28;
inline constexpr int16_t DB_EXISTS = -29;
inline constexpr int16_t DB_DESCENT = -30;
inline constexpr int16_t DB_NOPAGE = -31;
inline constexpr int16_t DB_LOCKOPEN = -101;
inline constexpr int16_t DB_LOCKOTHER = -102;
constexpr int16_t SF_DBFAILED = 20450;

// Find modes and move directions.
inline constexpr int16_t DB_EXACT = 1, DB_AFTER = 2, DB_ATORAFTER = 3, DB_BEFORE = 4, DB_ATORBEFORE = 5;
inline constexpr int16_t DB_NEXT = 1, DB_PREVIOUS = 2, DB_FIRST = 3, DB_LAST = 4;

#pragma pack(push, 1)

// Bytes 0-27 of the header block; the letters V A L I D A T E mark a store file.
struct DB_HEADER {
    char v;
    int16_t root;
    char a1;
    int16_t reserved1;
    char l;
    int16_t reserved2;
    char i;
    int16_t levels;
    char d;
    int16_t pagecounter;
    char a2;
    uint32_t recordcounter;
    char t;
    int16_t pagespresent;
    char e;
    uint32_t writecount;
};
static_assert(sizeof(DB_HEADER) == 28);
static_assert(offsetof(DB_HEADER, v) == 0 && offsetof(DB_HEADER, root) == 1);
static_assert(offsetof(DB_HEADER, a1) == 3 && offsetof(DB_HEADER, reserved1) == 4);
static_assert(offsetof(DB_HEADER, l) == 6 && offsetof(DB_HEADER, reserved2) == 7);
static_assert(offsetof(DB_HEADER, i) == 9 && offsetof(DB_HEADER, levels) == 10);
static_assert(offsetof(DB_HEADER, d) == 12 && offsetof(DB_HEADER, pagecounter) == 13);
static_assert(offsetof(DB_HEADER, a2) == 15 && offsetof(DB_HEADER, recordcounter) == 16);
static_assert(offsetof(DB_HEADER, t) == 20 && offsetof(DB_HEADER, pagespresent) == 21);
static_assert(offsetof(DB_HEADER, e) == 23 && offsetof(DB_HEADER, writecount) == 24);

// One page: a 12-byte frame and the entry area.
struct DB_PAGE {
    int16_t level;       // 0 = leaf
    int16_t count;       // entries
    int16_t freebytes;   // free bytes of the entry area
    int16_t leftchild;   // interior pages: the leftmost child; 0 in leaves
    int16_t next;        // right neighbour, -1 = none
    int16_t prev;        // left neighbour, -1 = none
    uint8_t area[DB_AREASIZE];
};
static_assert(sizeof(DB_PAGE) == 1024);
static_assert(offsetof(DB_PAGE, level) == 0 && offsetof(DB_PAGE, count) == 2);
static_assert(offsetof(DB_PAGE, freebytes) == 4 && offsetof(DB_PAGE, leftchild) == 6);
static_assert(offsetof(DB_PAGE, next) == 8 && offsetof(DB_PAGE, prev) == 10);
static_assert(offsetof(DB_PAGE, area) == 12);

// One slot of the page cache. The link is the number of the next slot in use order plus one
// (0 = last): a 32-bit word cannot hold a pointer here.
struct DB_CACHESLOT {
    int16_t file;        // -1 = free
    int16_t pageno;
    int16_t dirty;
    uint32_t link;
    DB_PAGE page;
};
static_assert(sizeof(DB_CACHESLOT) == 1034);
static_assert(offsetof(DB_CACHESLOT, file) == 0 && offsetof(DB_CACHESLOT, pageno) == 2);
static_assert(offsetof(DB_CACHESLOT, dirty) == 4 && offsetof(DB_CACHESLOT, link) == 6);
static_assert(offsetof(DB_CACHESLOT, page) == 10);

// One field of a field table; a table ends with an entry whose type is 'E'.
struct DB_FIELD {
    char type;       // S B D F H I L
    char keytype;    // N = not indexed
    char dups;       // D duplicates, U unique, N none (unique when indexed)
    uint16_t length; // size of the buffer ('S' with its NUL)
    uint8_t keynum;  // 1-15 when indexed
    void* buffer;
};
static_assert(offsetof(DB_FIELD, type) == 0 && offsetof(DB_FIELD, keytype) == 1);
static_assert(offsetof(DB_FIELD, dups) == 2 && offsetof(DB_FIELD, length) == 3);
static_assert(offsetof(DB_FIELD, keynum) == 5 && offsetof(DB_FIELD, buffer) == 6);

#pragma pack(pop)

// The store handle, owned by the caller. Fields in the order of the record format of the
// handle; pointers are native size. A zero-filled handle is "cleared".
struct DB_HANDLE {
    char valid1, valid2;            // 'V' 'A'
    // argument block of the current B-tree call
    int16_t argkey;
    const char* argtext;
    uint32_t argrecord;             // also the record number of the entry found
    void* argdata;
    int16_t arglength;
    char state;                     // 'O' open, 'C' closed
    uint16_t datalength;            // total length of the data last read
    int16_t laststatus;
    int16_t lastio;
    char valid3;                    // 'L'
    int16_t root;
    uint8_t reserved1[4];
    char valid4;                    // 'I'
    int16_t levels;
    int16_t pagecounter;
    uint32_t recordcounter;
    int16_t pagespresent;
    char valid5;                    // 'D'
    int32_t file;
    int16_t headerdirty;
    int16_t checkflag;
    char valid6;                    // 'A'
    int16_t foundsegment;
    uint8_t found[256];             // the entry last found (its bytes)
    int16_t curindex[DB_NKEYS];
    int16_t curpage[DB_NKEYS];
    int16_t curkey[DB_NKEYS];       // key number of the entry at the cursor; -1 = undefined
    uint8_t removed[DB_NKEYS];
    uint8_t reserved2[51];
    int16_t writepolicy;
    int16_t filegrown;
    void* recbuf;
    uint16_t reclength;
    uint8_t recflag;
    uint32_t current;
    uint32_t held;
    char* savedtext[DB_NKEYS];
    uint32_t savedrecord[DB_NKEYS];
    uint8_t savedsegment[DB_NKEYS];
    uint32_t writecount;
    uint8_t reserved3[2];
    char lockmark[DB_NKEYS];
    char openmode;                  // 'E' exclusive
    char mode2;                     // 'U'
    uint8_t flags[2];
    int16_t busy;
    char valid7, valid8;            // 'T' 'E'
    char savedbuf[DB_NKEYS][DB_MAXKEYTEXT + 1];
};

// ---- Entry layer: 0 or 20450 (the store code stays in the handle's laststatus).
int16_t SF_dbcacheinit(uint32_t host);
int16_t SF_dbcachefree(uint32_t host);
int16_t SF_dbopen(uint32_t host, DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength);
int16_t SF_dbcreate(uint32_t host, DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength);
int16_t SF_dbclose(uint32_t host, DB_HANDLE* h);
int16_t SF_dbadd(uint32_t host, DB_HANDLE* h, DB_FIELD* table);
int16_t SF_dbdelete(uint32_t host, DB_HANDLE* h, DB_FIELD* table);
int16_t SF_dbfind(uint32_t host, DB_HANDLE* h, int16_t key, const char* text, int16_t mode);
int16_t SF_dbread(uint32_t host, DB_HANDLE* h, DB_FIELD* table);
int16_t SF_dbmove(uint32_t host, DB_HANDLE* h, int16_t key, int16_t direction);
int16_t SF_dbupdate(uint32_t host, DB_HANDLE* h, DB_FIELD* table);

// The last store code of an SF_db call that failed for more than "not found" (0 = none since
// the last SF_dbopen): -101 another program holds the file; see DB_damagecode.
int16_t SF_dbproblem();
// Whether a store code says that the file is damaged (or cannot be read).
bool DB_damagecode(int16_t st);

// ---- Store operations: 0 or a store code.
int16_t DB_open(DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength);
int16_t DB_create(DB_HANDLE* h, const char* path, void* recbuf, uint16_t reclength);
int16_t DB_close(DB_HANDLE* h);
int16_t DB_add(DB_HANDLE* h, DB_FIELD* table);
int16_t DB_read(DB_HANDLE* h, DB_FIELD* table);
int16_t DB_update(DB_HANDLE* h, DB_FIELD* table);
int16_t DB_delete(DB_HANDLE* h, DB_FIELD* table);
int16_t DB_find(DB_HANDLE* h, int16_t key, const char* text, int16_t mode);
int16_t DB_move(DB_HANDLE* h, int16_t key, int16_t direction);
// Unpacks the record image of len bytes in the handle's record buffer into the table's
// buffers, after checking its signature and checksum (what a read does once it has the image).
int16_t DB_unpackimage(DB_HANDLE* h, DB_FIELD* table, size_t len);
// The table signature stored at the start of every record image.
uint16_t DB_signature(const DB_FIELD* table);
// Checks a handle: 0, 73 (not a handle) or -3 (not open).
int16_t DB_checkhandle(const DB_HANDLE* h);

// ---- Units of work: every change to the store file at path between the outermost begin and
// its end is one transaction of the journal (all of it or none of it counts, one sync at the
// end), even when handles open and close the file in between; the unit keeps the file open
// and locked meanwhile. The end commits, or with commit false rolls the unit back.
int16_t DB_beginunit(const char* path);
int16_t DB_endunit(const char* path, bool commit);
// Syncing of the store and its journal: -1 as the settings say ([SYSTEM] Durable, default 1),
// 0 off, 1 on. The journal is always written. DB_synccount counts the syncs made.
void DB_setdurable(int mode);
long DB_synccount();
// An open of a file another program holds waits `attempts` times 50 ms (default 60) and then
// fails with -101; `between` (tests) runs instead of each wait.
void DB_setlockwait(int attempts, void (*between)(int attempt) = nullptr);

// ---- Check and repair of a store file (the file must not be open here).
struct DB_CHECKREPORT {
    int16_t openStatus = 0;        // the open's store code (0 = it opened)
    int16_t levels = 0;
    uint32_t pages = 0;            // pages present
    uint32_t entries = 0;          // entries of the leaves
    uint32_t records = 0;          // record images
    uint32_t indexEntries = 0;     // entries of the field indexes
    uint32_t freeNumbers = 0;
    std::vector<std::string> problems;  // empty: the file is sound
};
// Walks every page, entry, record and index of the file with the record's field table.
// 0 when the walk was made (see the report's problems), else the open's store code.
int16_t DB_check(const char* path, DB_FIELD* table, void* recbuf, uint16_t reclength, DB_CHECKREPORT* report);
struct DB_REPAIRREPORT {
    uint32_t found = 0;            // record numbers with at least one piece of an image
    uint32_t recovered = 0;        // records whose image was whole and right, now in the new store
    uint32_t damagedPages = 0;     // pages that could not be read or parsed to their end
    std::string aside;             // where the damaged file is kept
};
// Rebuilds the store from every record image of the file that still reads with a valid
// checksum; the new store takes the file's name and the damaged file is kept beside it.
int16_t DB_repair(const char* path, DB_FIELD* table, void* recbuf, uint16_t reclength, DB_REPAIRREPORT* report);

// ---- Library-wide state of the store, for tests.
void storeReset();         // forgets the cache (without writing it) and the shared buffers
bool storeCacheAllocated();

}  // namespace qorsf
