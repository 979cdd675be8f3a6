// The send queue: a SQLite database "queue.db" in the profile root.
//
// Schema (user_version 1):
//   jobs(num INTEGER PRIMARY KEY, low INTEGER, status INTEGER, rec BLOB)
//     num is the full job number (up to twelve digits), low its lowest five digits (the key the
//     library reads back by), status the record's status letter, rec the 426-byte queue record.
//   meta(key TEXT PRIMARY KEY, value INTEGER)
//     'changes' advances in the same transaction as every change; 'lastjob' is the largest job
//     number ever given (so numbers are never reused, even after a purge); 'id' a random
//     identity of this database, part of the snapshots.
// The connection is opened on first use, per process: a child made by fork() opens its own.
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>
#include <string>

#include "qorul.h"
#include "qorul_durable.h"
#include "qorvq.h"
#include "qorvq_log.h"
#include "sqlite_util.h"

namespace {

constexpr int kSchemaVersion = 1;
constexpr uint32_t kCursorMagic = 0x31435156;  // "VQC1": the cursor is open

struct Connection {
    std::string path;
    sqlite3* db = nullptr;
    pid_t pid = 0;
    int busyMs = 5000;
};

Connection& conn() {
    static Connection c;
    return c;
}

void closeConnection() {
    Connection& c = conn();
    if (c.db && c.pid == ::getpid()) sqlite3_close_v2(c.db);
    // A handle inherited through fork() belongs to the parent: it is left alone, never closed.
    c.db = nullptr;
    c.path.clear();
}

int16_t mapError(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return VQ_E_BUSY;
        case SQLITE_FULL: return VQ_E_DISKFULL;
        default: return VQ_E_DB;
    }
}

using qorvq::sql::exec;
using qorvq::sql::metaValue;
using qorvq::sql::setMeta;
using qorvq::sql::Stmt;

// Every commit of the queue is a write point of the crash and disk-full tests.
struct Transaction : qorvq::sql::Transaction {
    explicit Transaction(sqlite3* db) : qorvq::sql::Transaction(db, true) {}
};

int bumpChanges(sqlite3* db) {
    return exec(db, "UPDATE meta SET value = value + 1 WHERE key = 'changes'");
}

// Creates the schema when the database is new; refuses a schema of a later version.
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
    if (version == kSchemaVersion) {
        // The start-up purge looks for deleted jobs by status: a queue made before the index
        // existed gets it once.
        Stmt s(db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'jobs_status'");
        if (!s.ok()) return mapError(s.prepareError());
        int r = s.step();
        if (r == SQLITE_ROW) return 0;
        if (r != SQLITE_DONE) return mapError(r);
        if (int rc = exec(db, "CREATE INDEX jobs_status ON jobs(status)")) return mapError(rc);
        if (int rc = t.commit()) return mapError(rc);
        return 0;
    }
    if (version != 0) return VQ_E_DB;  // a later schema (or a foreign database): leave it alone
    std::random_device rd;
    const int64_t id = (static_cast<int64_t>(rd()) & 0x7FFFFFFF) | 1;  // never 0
    const std::string sql =
        "CREATE TABLE jobs(num INTEGER PRIMARY KEY, low INTEGER NOT NULL, status INTEGER NOT NULL,"
        " rec BLOB NOT NULL);"
        "CREATE INDEX jobs_low ON jobs(low);"
        "CREATE INDEX jobs_status ON jobs(status);"
        "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL);"
        "INSERT INTO meta VALUES('changes', 0), ('lastjob', 0), ('id', " +
        std::to_string(id) + ");PRAGMA user_version = 1;";
    if (int rc = exec(db, sql.c_str())) return mapError(rc);
    if (int rc = t.commit()) return mapError(rc);
    return 0;
}

// The open database of the present profile (opened or created on first use).
int16_t database(sqlite3** out) {
    *out = nullptr;
    if (int16_t st = UL_profileinit()) return st;
    Connection& c = conn();
    const std::string path = std::string(UL_profileroot()) + "queue.db";
    if (c.db && (c.pid != ::getpid() || c.path != path)) closeConnection();
    if (!c.db) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close_v2(db);
            return VQ_E_DB;
        }
        sqlite3_busy_timeout(db, c.busyMs);
        // WAL lets a reader in another process walk the queue while a job is added.
        int r;
        {
            Stmt wal(db, "PRAGMA journal_mode=WAL");
            r = wal.ok() ? wal.step() : wal.prepareError();
        }
        if (r != SQLITE_ROW) {
            int16_t st = mapError(r);
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

// Copies a text into a fixed field only when it fits (width - 1 characters): a job whose text
// would be cut is refused rather than stored with another meaning.
bool fits(char* dst, std::size_t width, const char* src, std::size_t srcwidth) {
    const std::size_t n = ::strnlen(src, srcwidth);
    if (n >= width) return false;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
    return true;
}

uint64_t fullNumber(const QUEUE_RECORD& r) {
    return static_cast<uint64_t>(static_cast<uint32_t>(r.jobnumhigh)) * 100000ULL + r.jobnum;
}

uint64_t& lastJob() {
    static uint64_t n = 0;
    return n;
}

struct Cursor {
    uint32_t magic;
    char filter[VQ_FILTERSIZE];
    int64_t after;  // the walk continues with the first job number above this
};

}  // namespace

void VQ_setbusytimeout(int milliseconds) {
    Connection& c = conn();
    c.busyMs = milliseconds < 0 ? 0 : milliseconds;
    if (c.db && c.pid == ::getpid()) sqlite3_busy_timeout(c.db, c.busyMs);
}

uint64_t VQ_lastjobnumber() { return lastJob(); }

int16_t VQ_addjob(uint32_t host, const SendJobRecord* job, uint32_t* jobNumber) {
    if (!job || !jobNumber) return UL_E_BADARG;
    QUEUE_RECORD rec;
    std::memset(&rec, 0, sizeof rec);
    rec.status = 'Q';
    rec.sendtime = job->sendTime;
    // The record holds 60 characters of path: a job control file of the spool directory is
    // kept by its bare name, which the queue's users expand again (UL_fullpath).
    char jobfile[UL_MAXPATH];
    UL_strcopy(jobfile, sizeof jobfile, "");
    if (!fits(jobfile, sizeof jobfile, job->jobfile, sizeof job->jobfile)) return VQ_E_BADJOB;
    if (int16_t st = UL_barename(host, jobfile, sizeof jobfile)) return st;
    if (!fits(rec.jobfile, 61, jobfile, sizeof jobfile)) return VQ_E_BADJOB;
    if (!fits(rec.number, 51, job->number, sizeof job->number)) return VQ_E_BADJOB;
    // Sender and recipient name are shown in 32 columns; a longer text is cut, as fields are.
    UL_strcopy(rec.sender, 33, std::string(job->sender, ::strnlen(job->sender, sizeof job->sender)).c_str());
    UL_strcopy(rec.recipient, 33,
               std::string(job->recipientName, ::strnlen(job->recipientName, sizeof job->recipientName)).c_str());
    // The note is shown in the detail field of info6 (70 characters).
    UL_strcopy(rec.info6, 71, std::string(job->note, ::strnlen(job->note, sizeof job->note)).c_str());

    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    int rc = SQLITE_OK;
    int64_t last = metaValue(db, "lastjob", &rc);
    if (rc != SQLITE_OK) return mapError(rc);
    {
        // Never below a number still in the queue, should the meta row have been set back.
        Stmt s(db, "SELECT IFNULL(MAX(num), 0) FROM jobs");
        if (!s.ok()) return mapError(s.prepareError());
        if ((rc = s.step()) != SQLITE_ROW) return mapError(rc);
        last = std::max<int64_t>(last, sqlite3_column_int64(s.get(), 0));
    }
    if (last < 0 || static_cast<uint64_t>(last) >= VQ_MAXJOB) return VQ_E_FULL;
    const uint64_t n = static_cast<uint64_t>(last) + 1;
    rec.jobnum = static_cast<uint32_t>(n % 100000);
    rec.jobnumhigh = static_cast<int32_t>(n / 100000);
    {
        Stmt s(db, "INSERT INTO jobs(num, low, status, rec) VALUES(?1, ?2, ?3, ?4)");
        if (!s.ok()) return mapError(s.prepareError());
        s.bind(1, static_cast<int64_t>(n));
        s.bind(2, rec.jobnum);
        s.bind(3, rec.status);
        s.bindBlob(4, &rec, sizeof rec);
        if ((rc = s.step()) != SQLITE_DONE) return mapError(rc);
    }
    if ((rc = setMeta(db, "lastjob", static_cast<int64_t>(n)))) return mapError(rc);
    if ((rc = bumpChanges(db))) return mapError(rc);
    if ((rc = t.commit())) return mapError(rc);
    lastJob() = n;
    *jobNumber = rec.jobnum;
    return 0;
}

int16_t VQ_openqueue(uint32_t, void* cursor) {
    if (!cursor) return UL_E_BADARG;
    Cursor c;
    std::memcpy(&c, cursor, sizeof c);
    c.filter[VQ_FILTERSIZE - 1] = '\0';
    c.magic = kCursorMagic;
    c.after = 0;
    std::memcpy(cursor, &c, sizeof c);
    sqlite3* db = nullptr;
    return database(&db);
}

int16_t VQ_readnext(uint32_t, void* cursor, QUEUE_RECORD* record, int16_t* found) {
    if (found) *found = 0;
    if (!cursor || !record || !found) return UL_E_BADARG;
    Cursor c;
    std::memcpy(&c, cursor, sizeof c);
    if (c.magic != kCursorMagic) return VQ_E_CURSOR;
    c.filter[VQ_FILTERSIZE - 1] = '\0';
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Stmt s(db, c.filter[0]
                   ? "SELECT num, rec FROM jobs WHERE num > ?1 AND instr(?2, char(status)) > 0 ORDER BY num LIMIT 1"
                   : "SELECT num, rec FROM jobs WHERE num > ?1 ORDER BY num LIMIT 1");
    if (!s.ok()) return mapError(s.prepareError());
    s.bind(1, c.after);
    if (c.filter[0]) s.bind(2, c.filter);
    int rc = s.step();
    if (rc == SQLITE_DONE) return 0;
    if (rc != SQLITE_ROW) return mapError(rc);
    if (sqlite3_column_bytes(s.get(), 1) != static_cast<int>(sizeof(QUEUE_RECORD))) return VQ_E_DB;
    std::memcpy(record, sqlite3_column_blob(s.get(), 1), sizeof(QUEUE_RECORD));
    c.after = sqlite3_column_int64(s.get(), 0);
    std::memcpy(cursor, &c, sizeof c);
    *found = 1;
    return 0;
}

int16_t VQ_closequeue(uint32_t, void* cursor) {
    if (!cursor) return UL_E_BADARG;
    Cursor c;
    std::memcpy(&c, cursor, sizeof c);
    if (c.magic != kCursorMagic) return VQ_E_CURSOR;
    c.magic = 0;
    std::memcpy(cursor, &c, sizeof c);
    return 0;
}

int16_t VQ_readjob(uint32_t, uint32_t jobnum, QUEUE_RECORD* record) {
    if (!record) return UL_E_BADARG;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Stmt s(db, "SELECT rec FROM jobs WHERE low = ?1 ORDER BY num DESC LIMIT 1");
    if (!s.ok()) return mapError(s.prepareError());
    s.bind(1, static_cast<int64_t>(jobnum));
    int rc = s.step();
    if (rc == SQLITE_DONE) return VQ_E_NOJOB;
    if (rc != SQLITE_ROW) return mapError(rc);
    if (sqlite3_column_bytes(s.get(), 0) != static_cast<int>(sizeof(QUEUE_RECORD))) return VQ_E_DB;
    std::memcpy(record, sqlite3_column_blob(s.get(), 0), sizeof(QUEUE_RECORD));
    return 0;
}

int16_t VQ_writejob(uint32_t, const QUEUE_RECORD* record, int16_t mode) {
    if (!record) return UL_E_BADARG;
    if (mode != 3) return VQ_E_MODE;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    Stmt s(db, "UPDATE jobs SET status = ?2, rec = ?3 WHERE num = ?1");
    if (!s.ok()) return mapError(s.prepareError());
    s.bind(1, static_cast<int64_t>(fullNumber(*record)));
    s.bind(2, record->status);
    s.bindBlob(3, record, sizeof *record);
    int rc = s.step();
    if (rc != SQLITE_DONE) return mapError(rc);
    if (sqlite3_changes(db) == 0) return VQ_E_NOJOB;
    if ((rc = bumpChanges(db))) return mapError(rc);
    if ((rc = t.commit())) return mapError(rc);
    return 0;
}

int16_t VQ_statustext(uint32_t host, uint16_t status, char* buf, std::size_t bufsize) {
    if (!buf || bufsize == 0) return UL_E_BADARG;
    // The fax engine's error codes (queue record `errorcode`) have texts of their own.
    if (status >= 32001 && status <= 32099) return UL_loadstring(host, buf, bufsize, "QORLANG", status);
    static const char kKnown[] = "QWXUSAEIDae";
    const bool known = status < 128 && status != 0 && std::strchr(kKnown, static_cast<char>(status));
    return UL_loadstring(host, buf, bufsize, "QORLANG", static_cast<uint16_t>(31300 + (known ? status : 0)));
}

int16_t VQ_queuechanged(uint32_t, void* snapshot, int16_t* changed) {
    if (changed) *changed = 0;
    if (!snapshot || !changed) return UL_E_BADARG;
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    int rc = SQLITE_OK;
    // One read transaction, so the counter and the identity belong together.
    if ((rc = exec(db, "BEGIN"))) return mapError(rc);
    const int64_t changes = metaValue(db, "changes", &rc);
    int64_t id = 0;
    if (rc == SQLITE_OK) id = metaValue(db, "id", &rc);
    exec(db, "COMMIT");
    if (rc != SQLITE_OK) return mapError(rc);
    // The snapshot: the change counter (8 bytes) and the database identity (4 bytes).
    unsigned char now[VQ_SNAPSHOTSIZE];
    const uint64_t c = static_cast<uint64_t>(changes);
    const uint32_t i = static_cast<uint32_t>(id);
    for (int k = 0; k < 8; ++k) now[k] = static_cast<unsigned char>(c >> (8 * k));
    for (int k = 0; k < 4; ++k) now[8 + k] = static_cast<unsigned char>(i >> (8 * k));
    *changed = std::memcmp(now, snapshot, sizeof now) != 0 ? 1 : 0;
    std::memcpy(snapshot, now, sizeof now);
    return 0;
}

int16_t VQ_purgequeue(uint32_t host) {
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    {
        // Every start-up purges: with no deleted job (the common case) that is one look into
        // the status index, and no write lock is taken.
        Stmt s(db, "SELECT EXISTS(SELECT 1 FROM jobs WHERE status = 68)");
        if (!s.ok()) return mapError(s.prepareError());
        int r = s.step();
        if (r != SQLITE_ROW) return mapError(r);
        if (sqlite3_column_int(s.get(), 0) == 0) return 0;
    }
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    std::string lines;
    int rc;
    {
        Stmt s(db, "SELECT rec FROM jobs WHERE status = 68 ORDER BY num");
        if (!s.ok()) return mapError(s.prepareError());
        while ((rc = s.step()) == SQLITE_ROW) {
            if (sqlite3_column_bytes(s.get(), 0) != static_cast<int>(sizeof(QUEUE_RECORD))) return VQ_E_DB;
            QUEUE_RECORD rec;
            std::memcpy(&rec, sqlite3_column_blob(s.get(), 0), sizeof rec);
            char line[VQ_PURGELINESIZE];
            VQ_makepurgeline(&rec, line);
            lines.append(line, sizeof line);
        }
        if (rc != SQLITE_DONE) return mapError(rc);
    }
    if (lines.empty()) return 0;
    if ((rc = exec(db, "DELETE FROM jobs WHERE status = 68"))) return mapError(rc);
    if ((rc = bumpChanges(db))) return mapError(rc);

    // The lines go to the end of the purge list; should the removal not commit, the file is cut
    // back, so a purged job is listed exactly once.
    char purge[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, purge, sizeof purge, 7)) return st;
    int16_t exists = 0;
    UL_fileexists(purge, &exists);
    uint32_t file = 0;
    int16_t st = exists ? UL_fopen(host, purge, 2, &file) : UL_fcreate(host, purge, 2, &file);
    if (st) return VQ_E_PURGE;
    int32_t end = 0;
    st = UL_fseek(host, file, 0, 3, &end);
    if (!st) st = UL_fwrite(host, file, lines.data(), static_cast<uint32_t>(lines.size()));
    if (!st && (rc = t.commit()) != SQLITE_OK) st = mapError(rc);
    if (st) {
        UL_fsetsize(host, file, static_cast<uint32_t>(end));
        UL_fclose(host, file);
        return st == VQ_E_BUSY || st == VQ_E_DB ? st : int16_t{VQ_E_PURGE};
    }
    if (UL_fclose(host, file)) return VQ_E_PURGE;
    return 0;
}

int16_t VQ_shutdown(uint32_t) {
    closeConnection();
    VQ_closelogdb();
    return 0;
}

int16_t VQ_resetsys(uint32_t, int16_t, int16_t) {
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    // Busy jobs are collected first and rewritten after the walk, never under it.
    std::vector<std::pair<int64_t, QUEUE_RECORD>> busy;
    int rc;
    {
        Stmt sel(db, "SELECT num, rec FROM jobs WHERE status = 73");
        if (!sel.ok()) return mapError(sel.prepareError());
        while ((rc = sel.step()) == SQLITE_ROW) {
            if (sqlite3_column_bytes(sel.get(), 1) != static_cast<int>(sizeof(QUEUE_RECORD))) return VQ_E_DB;
            QUEUE_RECORD rec;
            std::memcpy(&rec, sqlite3_column_blob(sel.get(), 1), sizeof rec);
            rec.status = 'Q';
            busy.emplace_back(sqlite3_column_int64(sel.get(), 0), rec);
        }
        if (rc != SQLITE_DONE) return mapError(rc);
    }
    if (busy.empty()) return 0;
    for (const auto& [num, rec] : busy) {
        Stmt up(db, "UPDATE jobs SET status = 81, rec = ?2 WHERE num = ?1");
        if (!up.ok()) return mapError(up.prepareError());
        up.bind(1, num);
        up.bindBlob(2, &rec, sizeof rec);
        if ((rc = up.step()) != SQLITE_DONE) return mapError(rc);
    }
    if ((rc = bumpChanges(db))) return mapError(rc);
    if ((rc = t.commit())) return mapError(rc);
    return 0;
}

int16_t VQ_resetfull(uint32_t host) { return VQ_resetsys(host, 0, 1); }

int16_t VQ_resetpart(uint32_t host) { return VQ_shutdown(host); }

int16_t VQ_checkqueue(uint32_t) {
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Stmt s(db, "PRAGMA quick_check");
    if (!s.ok()) return mapError(s.prepareError());
    int rc = s.step();
    if (rc != SQLITE_ROW) return mapError(rc);
    const unsigned char* text = sqlite3_column_text(s.get(), 0);
    return text && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0 ? 0 : int16_t{VQ_E_DB};
}

namespace {

// The job rows that still read from a damaged database, and the largest job number it gave.
void salvage(const std::string& path, std::vector<std::pair<int64_t, QUEUE_RECORD>>* rows, int64_t* last) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return;
    }
    {
        Stmt s(db, "SELECT num, rec FROM jobs ORDER BY num");
        if (s.ok()) {
            while (s.step() == SQLITE_ROW) {
                if (sqlite3_column_bytes(s.get(), 1) != static_cast<int>(sizeof(QUEUE_RECORD))) continue;
                QUEUE_RECORD rec;
                std::memcpy(&rec, sqlite3_column_blob(s.get(), 1), sizeof rec);
                const int64_t num = sqlite3_column_int64(s.get(), 0);
                if (num <= 0 || static_cast<uint64_t>(num) > VQ_MAXJOB || fullNumber(rec) != static_cast<uint64_t>(num))
                    continue;
                rows->emplace_back(num, rec);
                *last = std::max(*last, num);
            }
        }
        int rc = SQLITE_OK;
        *last = std::max(*last, metaValue(db, "lastjob", &rc));
    }
    sqlite3_close_v2(db);
}

}  // namespace

int16_t VQ_repairqueue(uint32_t, char* keptAs, std::size_t keptSize, uint32_t* salvaged) {
    if (salvaged) *salvaged = 0;
    if (keptAs && keptSize) keptAs[0] = '\0';
    if (int16_t st = UL_profileinit()) return st;
    closeConnection();
    const std::string path = std::string(UL_profileroot()) + "queue.db";
    // The damaged database is renamed aside whole (with its journal files), never deleted.
    char stamp[20];
    SF_DATETIME now;
    UL_now(&now);
    UL_fmtdatetime2(0, &now, stamp, sizeof stamp);
    std::string aside = path + ".damaged-" + stamp;
    for (int k = 1; ::access(aside.c_str(), F_OK) == 0; ++k) aside = path + ".damaged-" + stamp + "-" + std::to_string(k);
    for (const char* suffix : {"-wal", "-shm"})
        if (::access((path + suffix).c_str(), F_OK) == 0 && ::rename((path + suffix).c_str(), (aside + suffix).c_str()) != 0)
            return VQ_E_DB;
    if (::access(path.c_str(), F_OK) == 0 && ::rename(path.c_str(), aside.c_str()) != 0) return VQ_E_DB;
    if (keptAs && keptSize) UL_strcopy(keptAs, keptSize, aside.c_str());

    std::vector<std::pair<int64_t, QUEUE_RECORD>> rows;
    int64_t last = 0;
    salvage(aside, &rows, &last);
    sqlite3* db = nullptr;
    if (int16_t st = database(&db)) return st;
    Transaction t(db);
    if (t.began() != SQLITE_OK) return mapError(t.began());
    for (const auto& [num, rec] : rows) {
        Stmt s(db, "INSERT INTO jobs(num, low, status, rec) VALUES(?1, ?2, ?3, ?4)");
        if (!s.ok()) return mapError(s.prepareError());
        s.bind(1, num);
        s.bind(2, rec.jobnum);
        s.bind(3, rec.status);
        s.bindBlob(4, &rec, sizeof rec);
        if (int rc = s.step(); rc != SQLITE_DONE) return mapError(rc);
    }
    // Job numbers are never given twice, not even across a repair.
    if (int rc = setMeta(db, "lastjob", last)) return mapError(rc);
    if (int rc = bumpChanges(db)) return mapError(rc);
    if (int rc = t.commit()) return mapError(rc);
    if (salvaged) *salvaged = static_cast<uint32_t>(rows.size());
    return 0;
}
