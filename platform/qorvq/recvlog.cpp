// The log of received faxes: a SQLite database "recvlog.db" in the profile root.
//
// Schema (user_version 1):
//   log(entry INTEGER PRIMARY KEY, entrystate INTEGER, viewstate INTEGER, printstate INTEGER,
//       mailbox INTEGER, rec BLOB)
//     entry is the entry number; the states and the mailbox are copies of the record's words
//     (walks filter on them); rec is the 332-byte log record. The columns are the truth for the
//     states and the entry number: a record read gets them from there.
//   meta(key TEXT PRIMARY KEY, value INTEGER)
//     'lastentry' the largest entry number ever given (numbers are never reused), 'lastname'
//     the last number of a page file name handed out by VQ_recvname.
// The connection is opened on first use, per process (a child made by fork() opens its own).
// Walks read ahead a batch of entries at a time: a host scanning ten thousand entries does not
// pay for ten thousand queries. A record read ahead may be a moment old when it is handed out,
// as any record read may be; writes check the states they change (VQ_writelog), so an old
// record never overwrites a newer change.
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorux.h"
#include "qorvq_log.h"
#include "sqlite_util.h"

namespace {

constexpr int kSchemaVersion = 1;
constexpr uint32_t kWalkMagic = 0x574C5156;    // "VQLW": a walk is open
constexpr uint32_t kUpdateMagic = 0x554C5156;  // "VQLU": the log is open for update
constexpr int kBatch = 256;                    // entries read ahead by one query
constexpr std::size_t kMaxWalks = 16;          // read-ahead buffers kept; older ones are dropped
constexpr int64_t kMaxEntry = 2147483647;      // entry numbers are 32-bit

// The cursor's layout (the caller's 90 bytes).
struct Cursor {
    uint32_t magic;                  // 0
    char filter[VQ_LOGFILTERSIZE];   // 4: entry state letters
    uint32_t walk;                   // 36: the read-ahead buffer of this walk
    int16_t log;                     // 40
    int16_t spare;                   // 42
    int64_t after;                   // 44: the last entry handed out
};
static_assert(sizeof(Cursor) <= VQ_LOGMAILBOXAT, "the cursor leaves bytes 84-85 to system value 9");

// The states of a record and of a row.
// (By value: the packed record's words may lie at any address.)
uint16_t stateOf(const LOG_RECORD& r, int which) {
    return which == 0 ? r.entrystate : which == 1 ? r.viewstate : r.printstate;
}
void setState(LOG_RECORD& r, int which, uint16_t value) {
    if (which == 0) r.entrystate = value;
    else if (which == 1) r.viewstate = value;
    else r.printstate = value;
}

VQ_LOGENTRY entryOf(const LOG_RECORD& r) {
    VQ_LOGENTRY e;
    std::memcpy(&e, &r, sizeof e);
    return e;
}
LOG_RECORD recordOf(const VQ_LOGENTRY& e) {
    LOG_RECORD r;
    std::memcpy(&r, &e, sizeof r);
    return r;
}

using qorvq::sql::exec;
using qorvq::sql::metaValue;
using qorvq::sql::setMeta;
using qorvq::sql::Stmt;
using qorvq::sql::Transaction;

int16_t mapError(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return VQ_E_LOGBUSY;
        default: return VQ_E_LOGDB;
    }
}

struct Connection {
    std::string path;
    sqlite3* db = nullptr;
    sqlite3_stmt* batch = nullptr;  // the walks' query, kept prepared
    pid_t pid = 0;
    int busyMs = 5000;

    void close() {
        if (db && pid == ::getpid()) {
            sqlite3_finalize(batch);
            sqlite3_close_v2(db);
        }
        // A handle inherited through fork() belongs to the parent: it is left alone, never closed.
        db = nullptr;
        batch = nullptr;
        path.clear();
    }
    ~Connection() { close(); }
};

Connection& conn() {
    static Connection c;
    return c;
}

void closeConnection() { conn().close(); }

int16_t prepareSchema(sqlite3* db) {
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    int version = -1;
    {
        Stmt s(db, "PRAGMA user_version");
        if (!s.ok()) return mapError(s.prepareError());
        int r = s.step();
        if (r != SQLITE_ROW) return mapError(r);
        version = sqlite3_column_int(s.get(), 0);
    }
    if (version == kSchemaVersion) return 0;
    if (version != 0) return VQ_E_LOGDB;  // a later schema or a foreign database: left alone
    const char* sql =
        "CREATE TABLE log(entry INTEGER PRIMARY KEY, entrystate INTEGER NOT NULL,"
        " viewstate INTEGER NOT NULL, printstate INTEGER NOT NULL, mailbox INTEGER NOT NULL,"
        " rec BLOB NOT NULL);"
        "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL);"
        "INSERT INTO meta VALUES('lastentry', 0), ('lastname', 0);"
        "PRAGMA user_version = 1;";
    if (int rc = exec(db, sql)) return mapError(rc);
    if (int rc = t.commit()) return mapError(rc);
    return 0;
}

int16_t checkLog(int16_t log) { return log == 0 ? int16_t{0} : int16_t{VQ_E_NOLOG}; }

// The open database of the present profile (opened or created on first use).
int16_t database(sqlite3** out) {
    *out = nullptr;
    if (int16_t st = UL_profileinit()) return st;
    Connection& c = conn();
    const std::string path = std::string(UL_profileroot()) + "recvlog.db";
    if (c.db && (c.pid != ::getpid() || c.path != path)) closeConnection();
    if (!c.db) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close_v2(db);
            return VQ_E_LOGDB;
        }
        sqlite3_busy_timeout(db, c.busyMs);
        int r;
        {
            // WAL: the engine adds entries while a host walks the log.
            Stmt wal(db, "PRAGMA journal_mode=WAL");
            r = wal.ok() ? wal.step() : wal.prepareError();
        }
        if (r != SQLITE_ROW) {
            const int16_t st = mapError(r);
            sqlite3_close_v2(db);
            return st;
        }
        exec(db, "PRAGMA synchronous=NORMAL");
        if (int16_t st = prepareSchema(db)) {
            sqlite3_close_v2(db);
            return st;
        }
        c.db = db;
        c.path = path;
        c.pid = ::getpid();
    }
    *out = c.db;
    return 0;
}

// Fills a record from a row: columns 0 entry, 1..3 states, 4 rec.
int16_t rowRecord(sqlite3_stmt* s, LOG_RECORD* record) {
    if (sqlite3_column_bytes(s, 4) != static_cast<int>(sizeof(LOG_RECORD))) return VQ_E_LOGDB;
    VQ_LOGENTRY e;
    std::memcpy(&e, sqlite3_column_blob(s, 4), sizeof e);
    e.entrynum = static_cast<int32_t>(sqlite3_column_int64(s, 0));
    e.entrystate = e.readentry = static_cast<uint16_t>(sqlite3_column_int(s, 1));
    e.viewstate = e.readview = static_cast<uint16_t>(sqlite3_column_int(s, 2));
    e.printstate = e.readprint = static_cast<uint16_t>(sqlite3_column_int(s, 3));
    e.faxfile[sizeof e.faxfile - 1] = '\0';  // a damaged name never runs past its field
    *record = recordOf(e);
    return 0;
}

// ---- Read-ahead buffers of the open walks.
struct Walk {
    uint32_t id = 0;
    int64_t after = 0;               // the cursor's position when the buffer was filled
    std::vector<LOG_RECORD> ahead;   // the entries after it
    std::size_t next = 0;
};

std::vector<Walk>& walks() {
    static std::vector<Walk> w;
    return w;
}
uint32_t& lastWalkId() {
    static uint32_t id = 0;
    return id;
}

Walk* findWalk(uint32_t id) {
    for (Walk& w : walks())
        if (w.id == id) return &w;
    return nullptr;
}

void dropWalk(uint32_t id) {
    auto& all = walks();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].id == id) {
            all.erase(all.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

// Reads the next batch of a walk from the database.
int16_t fillWalk(Walk* w, const Cursor& c, int16_t mailbox) {
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Connection& k = conn();
    if (!k.batch) {
        const char* sql =
            "SELECT entry, entrystate, viewstate, printstate, rec FROM log WHERE entry > ?1"
            " AND (?2 = '' OR instr(?2, char(entrystate)) > 0) AND (?3 = 0 OR mailbox = ?3)"
            " ORDER BY entry LIMIT ?4";
        if (int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &k.batch, nullptr)) {
            k.batch = nullptr;
            return mapError(rc);
        }
    }
    sqlite3_stmt* s = k.batch;
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, c.after);
    sqlite3_bind_text(s, 2, c.filter, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 3, mailbox);
    sqlite3_bind_int64(s, 4, kBatch);
    w->ahead.clear();
    w->next = 0;
    w->after = c.after;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        LOG_RECORD r;
        if (int16_t st = rowRecord(s, &r)) {
            sqlite3_reset(s);
            w->ahead.clear();
            return st;
        }
        w->ahead.push_back(r);
    }
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) {
        w->ahead.clear();
        return mapError(rc);
    }
    return 0;
}

bool loadCursor(const void* cursor, uint32_t magic, Cursor* c) {
    std::memcpy(c, cursor, sizeof *c);
    c->filter[VQ_LOGFILTERSIZE - 1] = '\0';
    return c->magic == magic;
}

bool fits(const char* text, std::size_t width) { return ::strnlen(text, width) < width; }

}  // namespace

void VQ_setlogbusytimeout(int milliseconds) {
    Connection& c = conn();
    c.busyMs = milliseconds < 0 ? 0 : milliseconds;
    if (c.db && c.pid == ::getpid()) sqlite3_busy_timeout(c.db, c.busyMs);
}

void VQ_closelogdb() {
    closeConnection();
    walks().clear();
}

int16_t VQ_recvdir(uint32_t host, int16_t log, int16_t, char* buf, std::size_t bufsize) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    buf[0] = '\0';
    if (int16_t st = checkLog(log)) return st;
    if (int16_t st = UL_profileinit()) return st;
    (void)host;
    const std::string dir = std::string(UL_profileroot()) + "recv/";
    if (dir.size() >= UL_MAXPATH) return UL_E_PATHLONG;
    return UL_strcopy(buf, bufsize, dir.c_str());
}

int16_t VQ_openlog(uint32_t, int16_t log, void* cursor) {
    if (!cursor) return UL_E_BADARG;
    if (int16_t st = checkLog(log)) return st;
    Cursor c;
    loadCursor(cursor, 0, &c);
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    auto& all = walks();
    if (all.size() >= kMaxWalks) all.erase(all.begin());  // a walk never closed
    Walk w;
    w.id = ++lastWalkId();
    if (w.id == 0) w.id = ++lastWalkId();
    all.push_back(std::move(w));
    c.magic = kWalkMagic;
    c.walk = all.back().id;
    c.log = log;
    c.after = 0;
    std::memcpy(cursor, &c, sizeof c);
    return 0;
}

int16_t VQ_readlog(uint32_t, void* cursor, LOG_RECORD* record, int16_t* found) {
    if (found) *found = 0;
    if (!cursor || !record || !found) return UL_E_BADARG;
    Cursor c;
    if (!loadCursor(cursor, kWalkMagic, &c)) return VQ_E_CURSOR;
    int16_t mailbox = 0;
    std::memcpy(&mailbox, static_cast<const char*>(cursor) + VQ_LOGMAILBOXAT, sizeof mailbox);
    Walk* w = findWalk(c.walk);
    if (!w) {
        // Its buffer was dropped (too many walks left open): the walk goes on from the cursor.
        Walk fresh;
        fresh.id = c.walk;
        auto& all = walks();
        if (all.size() >= kMaxWalks) all.erase(all.begin());
        all.push_back(std::move(fresh));
        w = &all.back();
        w->after = -1;  // never the cursor's position: filled below
    }
    // The buffer serves the cursor only from the position it was filled at on.
    const bool inStep = w->after >= 0 && (w->next == 0 ? w->after == c.after
                                                        : w->ahead[w->next - 1].entrynum == c.after);
    // At the end of a buffer the next batch is asked for, so entries added meanwhile are seen.
    if (!inStep || w->next >= w->ahead.size()) {
        if (int16_t st = fillWalk(w, c, mailbox)) return st;
        if (w->ahead.empty()) return 0;
    }
    *record = w->ahead[w->next++];
    c.after = record->entrynum;
    std::memcpy(cursor, &c, sizeof c);
    *found = 1;
    return 0;
}

int16_t VQ_closelog(uint32_t, void* cursor) {
    if (!cursor) return UL_E_BADARG;
    Cursor c;
    std::memcpy(&c, cursor, sizeof c);
    if (c.magic == kWalkMagic) dropWalk(c.walk);
    else if (c.magic != kUpdateMagic) return VQ_E_CURSOR;
    c.magic = 0;
    std::memcpy(cursor, &c, sizeof c);
    return 0;
}

int16_t VQ_openlogupdate(uint32_t, int16_t log, int16_t, void* cursor, int16_t mode) {
    if (!cursor) return UL_E_BADARG;
    if (int16_t st = checkLog(log)) return st;
    if (mode != 1) return VQ_E_MODE;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Cursor c;
    loadCursor(cursor, 0, &c);
    c.magic = kUpdateMagic;
    c.log = log;
    c.walk = 0;
    std::memcpy(cursor, &c, sizeof c);
    return 0;
}

int16_t VQ_writelog(uint32_t, void* cursor, LOG_RECORD* record) {
    if (!cursor || !record) return UL_E_BADARG;
    Cursor c;
    if (!loadCursor(cursor, kUpdateMagic, &c)) return VQ_E_CURSOR;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    LOG_RECORD stored;
    {
        Stmt s(db, "SELECT entry, entrystate, viewstate, printstate, rec FROM log WHERE entry = ?1");
        if (!s.ok()) return mapError(s.prepareError());
        s.bind(1, record->entrynum);
        const int rc = s.step();
        if (rc == SQLITE_DONE) return VQ_E_NOENTRY;
        if (rc != SQLITE_ROW) return mapError(rc);
        if (int16_t st = rowRecord(s.get(), &stored)) return st;
    }
    const VQ_LOGENTRY mine = entryOf(*record);
    const uint16_t asRead[3] = {mine.readentry, mine.readview, mine.readprint};
    LOG_RECORD next = stored;
    bool changed = false;
    for (int k = 0; k < 3; ++k) {
        const uint16_t want = stateOf(*record, k);
        // A record that was not read from the log (nothing as read) sets its states outright.
        if (asRead[k] != 0 && want == asRead[k]) continue;
        if (asRead[k] != 0 && stateOf(stored, k) != asRead[k]) return VQ_E_CHANGED;
        if (stateOf(next, k) != want) changed = true;
        setState(next, k, want);
    }
    if (changed) {
        VQ_LOGENTRY e = entryOf(next);
        e.readentry = e.readview = e.readprint = 0;  // the as-read words belong to a reader
        Stmt up(db, "UPDATE log SET entrystate = ?2, viewstate = ?3, printstate = ?4, rec = ?5 WHERE entry = ?1");
        if (!up.ok()) return mapError(up.prepareError());
        up.bind(1, e.entrynum);
        up.bind(2, e.entrystate);
        up.bind(3, e.viewstate);
        up.bind(4, e.printstate);
        up.bindBlob(5, &e, sizeof e);
        if (int rc = up.step(); rc != SQLITE_DONE) return mapError(rc);
        if (int rc = t.commit()) return mapError(rc);
    }
    VQ_LOGENTRY back = entryOf(next);
    back.readentry = back.entrystate;
    back.readview = back.viewstate;
    back.readprint = back.printstate;
    *record = recordOf(back);
    return 0;
}

int16_t VQ_recvname(uint32_t host, int16_t log, char* base, std::size_t basesize) {
    if (!base || basesize == 0) return UL_E_BADARG;
    base[0] = '\0';
    char dir[UL_MAXPATH];
    if (int16_t st = VQ_recvdir(host, log, 0, dir, sizeof dir)) return st;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    int rc = SQLITE_OK;
    const int64_t last = metaValue(db, "lastname", &rc);
    if (rc != SQLITE_OK) return mapError(rc);
    if (last < 0 || last >= 99999999) return VQ_E_LOGFULL;
    if ((rc = setMeta(db, "lastname", last + 1))) return mapError(rc);
    if ((rc = t.commit())) return mapError(rc);
    char name[16];
    std::snprintf(name, sizeof name, "R%08lld", static_cast<long long>(last + 1));
    const std::string path = std::string(dir) + name;
    // Room for the page files' extension.
    if (path.size() + 4 >= UL_MAXPATH) return UL_E_PATHLONG;
    return UL_strcopy(base, basesize, path.c_str());
}

int16_t VQ_addlog(uint32_t host, int16_t log, LOG_RECORD* record) {
    if (!record) return UL_E_BADARG;
    if (int16_t st = checkLog(log)) return st;
    VQ_LOGENTRY e = entryOf(*record);
    if (!fits(e.faxfile, sizeof e.faxfile) || e.faxfile[0] == '\0') return VQ_E_BADLOG;
    if (e.pages < 0 || e.pages > 999) return VQ_E_BADLOG;
    if (!fits(e.stationid, sizeof e.stationid) || !fits(e.caller, sizeof e.caller) ||
        !fits(e.callername, sizeof e.callername) || !fits(e.note, sizeof e.note))
        return VQ_E_BADLOG;
    // The page files are there before the entry: a listed fax always has its pages.
    std::string page0 = e.faxfile;
    if (UL_isbarename(e.faxfile)) {
        char dir[UL_MAXPATH];
        if (int16_t st = VQ_recvdir(host, log, 0, dir, sizeof dir)) return st;
        page0 = std::string(dir) + e.faxfile;
    }
    for (int k = 0; k < e.pages; ++k) {
        const std::string name = UX_pagefilename(page0, k);
        if (name.empty()) return VQ_E_BADLOG;
        int16_t exists = 0;
        UL_fileexists(name.c_str(), &exists);
        if (!exists) return VQ_E_NOPAGES;
    }
    if (!e.entrystate) e.entrystate = 'R';
    if (!e.viewstate) e.viewstate = 'R';
    if (!e.printstate) e.printstate = 'N';
    const SF_DATETIME zero{};
    if (std::memcmp(&e.received, &zero, sizeof zero) == 0) UL_now(&e.received);
    e.readentry = e.readview = e.readprint = 0;

    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    int rc = SQLITE_OK;
    int64_t last = metaValue(db, "lastentry", &rc);
    if (rc != SQLITE_OK) return mapError(rc);
    {
        // Never below an entry still in the log, should the meta row have been set back.
        Stmt s(db, "SELECT IFNULL(MAX(entry), 0) FROM log");
        if (!s.ok()) return mapError(s.prepareError());
        if ((rc = s.step()) != SQLITE_ROW) return mapError(rc);
        if (sqlite3_column_int64(s.get(), 0) > last) last = sqlite3_column_int64(s.get(), 0);
    }
    if (last < 0 || last >= kMaxEntry) return VQ_E_LOGFULL;
    e.entrynum = static_cast<int32_t>(last + 1);
    {
        Stmt s(db, "INSERT INTO log(entry, entrystate, viewstate, printstate, mailbox, rec) VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        if (!s.ok()) return mapError(s.prepareError());
        s.bind(1, e.entrynum);
        s.bind(2, e.entrystate);
        s.bind(3, e.viewstate);
        s.bind(4, e.printstate);
        s.bind(5, e.mailbox);
        s.bindBlob(6, &e, sizeof e);
        if ((rc = s.step()) != SQLITE_DONE) return mapError(rc);
    }
    if ((rc = setMeta(db, "lastentry", e.entrynum))) return mapError(rc);
    if ((rc = t.commit())) return mapError(rc);
    *record = recordOf(e);
    return 0;
}

int16_t VQ_readlogentry(uint32_t, int16_t log, int32_t entry, LOG_RECORD* record) {
    if (!record) return UL_E_BADARG;
    if (int16_t st = checkLog(log)) return st;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Stmt s(db, "SELECT entry, entrystate, viewstate, printstate, rec FROM log WHERE entry = ?1");
    if (!s.ok()) return mapError(s.prepareError());
    s.bind(1, entry);
    const int rc = s.step();
    if (rc == SQLITE_DONE) return VQ_E_NOENTRY;
    if (rc != SQLITE_ROW) return mapError(rc);
    return rowRecord(s.get(), record);
}
