// SQLite helpers shared by the send queue and the receive log: self-finalizing statements, write
// transactions that roll back unless committed, and the meta table's counters.
#pragma once

#include <sqlite3.h>

#include <cerrno>
#include <cstdint>

#include "qorul_durable.h"

namespace qorvq::sql {

// A prepared statement that finalizes itself.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Stmt() { sqlite3_finalize(s_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return rc_ == SQLITE_OK && s_; }
    int prepareError() const { return rc_ == SQLITE_OK ? SQLITE_ERROR : rc_; }
    sqlite3_stmt* get() { return s_; }
    void bind(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); }
    void bind(int i, const char* t) { sqlite3_bind_text(s_, i, t, -1, SQLITE_TRANSIENT); }
    void bindBlob(int i, const void* p, int n) { sqlite3_bind_blob(s_, i, p, n, SQLITE_TRANSIENT); }
    int step() { return sqlite3_step(s_); }

private:
    sqlite3_stmt* s_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

inline int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// A write transaction (BEGIN IMMEDIATE) that rolls back unless committed. With writePoint, a
// commit is one write of the caller's store: a test may stop the process or fail it there.
class Transaction {
public:
    explicit Transaction(sqlite3* db, bool writePoint = false) : db_(db), writePoint_(writePoint) {
        rc_ = exec(db, "BEGIN IMMEDIATE");
    }
    ~Transaction() {
        if (rc_ == SQLITE_OK && !done_) exec(db_, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    int began() const { return rc_; }
    int commit() {
        if (writePoint_ && qorul::writePoint()) return errno == ENOSPC ? SQLITE_FULL : SQLITE_IOERR;
        int rc = exec(db_, "COMMIT");
        if (rc == SQLITE_OK) done_ = true;
        return rc;
    }

private:
    sqlite3* db_;
    bool writePoint_;
    int rc_;
    bool done_ = false;
};

// A counter of the meta table (*rc: SQLITE_CORRUPT when the row is missing: a damaged database).
inline int64_t metaValue(sqlite3* db, const char* key, int* rc) {
    Stmt s(db, "SELECT value FROM meta WHERE key = ?1");
    if (!s.ok()) {
        *rc = s.prepareError();
        return 0;
    }
    s.bind(1, key);
    int r = s.step();
    if (r == SQLITE_ROW) {
        *rc = SQLITE_OK;
        return sqlite3_column_int64(s.get(), 0);
    }
    *rc = r == SQLITE_DONE ? SQLITE_CORRUPT : r;
    return 0;
}

inline int setMeta(sqlite3* db, const char* key, int64_t value) {
    Stmt s(db, "UPDATE meta SET value = ?2 WHERE key = ?1");
    if (!s.ok()) return s.prepareError();
    s.bind(1, key);
    s.bind(2, value);
    int r = s.step();
    return r == SQLITE_DONE ? SQLITE_OK : r;
}

}  // namespace qorvq::sql
