// The record store against SQLite (one table, two indexes), with the phone book's field table:
// name and group keys with duplicates and a 661-byte info.
//
// The baseline is fair to both sides. The store holds an exclusive lock on its file for as long
// as it is open, so SQLite runs in both of its locking modes side by side: "default" (locks
// taken and dropped around every statement) and "exclusive" (locking_mode=EXCLUSIVE, held like
// the store's), with its page cache sized like the memory the store itself uses (kSqlCacheKiB,
// see BM_StoreMemory). Both keep a rollback journal: SQLite its journal_mode=DELETE file, the
// store its journal beside the store file. The second argument of each benchmark says whether
// the changes are synced to disk (SQLite synchronous=FULL; the store durable, as by default)
// or not (synchronous=OFF; the store with [SYSTEM] Durable=0). Writes with syncs are measured
// on 1,000 records: the disk decides their time, not the code. Reads hand the whole record over
// on both sides: the store's read fills the caller's three fields, and SQLite's name, group and
// info columns are copied into the same record.
//
// Memory: the store's heap is counted by replacing operator new and delete (the store and its
// platform layer allocate through them, but for the block cache's area, which comes from mmap;
// SQLite uses malloc and is not counted), and its real memory by the resident set: the peak
// resident set (reset through /proc/self/clear_refs) above what was resident before, which
// counts the block cache and the static tables as well as the heap (run BM_StoreMemory alone:
// memory that earlier benchmarks freed stays resident and is reused). BM_StoreMemory and
// BM_SqlMemory build a file, walk it, search and update it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "store/store.h"

using namespace qorsf;

namespace heap {
std::atomic<long> live{0}, peak{0};
// Each block carries its size in front, so that the counter also falls on unsized deletes.
constexpr std::size_t kFront = alignof(std::max_align_t);
void* take(std::size_t n) {
    void* p = std::malloc(n + kFront);
    if (!p) return nullptr;
    *static_cast<std::size_t*>(p) = n;
    long now = live.fetch_add(static_cast<long>(n)) + static_cast<long>(n);
    long top = peak.load();
    while (now > top && !peak.compare_exchange_weak(top, now)) {
    }
    return static_cast<char*>(p) + kFront;
}
void give(void* q) {
    if (!q) return;
    void* p = static_cast<char*>(q) - kFront;
    live.fetch_sub(static_cast<long>(*static_cast<std::size_t*>(p)));
    std::free(p);
}
}  // namespace heap

void* operator new(std::size_t n) {
    if (void* p = heap::take(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return heap::take(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return heap::take(n); }
void operator delete(void* p) noexcept { heap::give(p); }
void operator delete[](void* p) noexcept { heap::give(p); }
void operator delete(void* p, std::size_t) noexcept { heap::give(p); }
void operator delete[](void* p, std::size_t) noexcept { heap::give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { heap::give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { heap::give(p); }

namespace {

#pragma pack(push, 1)
struct Record {
    char name[31];
    char group[31];
    char info[661];
};
#pragma pack(pop)

std::string tmpPath(const char* what) {
    return std::string("/tmp/bench_") + what + "_" + std::to_string(getpid());
}
void nameOf(int i, char* out, size_t n) { std::snprintf(out, n, "Name %06d", (i * 7919) % 1000003); }

// SQLite's page cache in KiB: about the resident memory the store itself uses while it
// works on the largest file (see BM_StoreMemory: its heap with the block cache of the open
// file, its tables), some 5 MB.
constexpr int kSqlCacheKiB = 5120;

// Modes: whether writes are synced, and SQLite's locking mode.
enum SqlLock { kDefault = 0, kExclusive = 1 };

struct Store {
    DB_HANDLE h{};
    Record rec{};
    uint8_t buf[800]{};
    DB_FIELD t[4] = {{'S', 'S', 'D', 31, 1, rec.name}, {'S', 'S', 'D', 31, 2, rec.group},
                     {'S', 'N', 'N', 661, 0, rec.info}, {'E', 0, 0, 0, 0, nullptr}};
    std::string path = tmpPath("store");
    // Builds n records without syncs (the set-up), then syncs as asked.
    Store(int n, bool synced) {
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
        DB_setdurable(0);
        if (SF_dbcreate(0, &h, path.c_str(), buf, 736) != 0) std::abort();
        for (int i = 0; i < n; ++i) add(i);
        // Whether the store syncs is settled when it opens.
        SF_dbclose(0, &h);
        DB_setdurable(synced ? 1 : 0);
        if (SF_dbopen(0, &h, path.c_str(), buf, 736) != 0) std::abort();
    }
    ~Store() {
        SF_dbclose(0, &h);
        std::remove(path.c_str());
        DB_setdurable(-1);
    }
    void add(int i) {
        std::memset(&rec, 0, sizeof rec);
        nameOf(i, rec.name, sizeof rec.name);
        std::snprintf(rec.group, sizeof rec.group, "Group %d", i % 50);
        std::memset(rec.info, 'a' + i % 26, 660);
        if (SF_dbadd(0, &h, t) != 0) std::abort();
    }
};

// A text column into a fixed field, cut to fit and padded with NULs.
void copyColumn(char* to, size_t n, sqlite3_stmt* st, int col) {
    const unsigned char* text = sqlite3_column_text(st, col);
    size_t len = static_cast<size_t>(sqlite3_column_bytes(st, col));
    if (len >= n) len = n - 1;
    if (text) std::memcpy(to, text, len);
    std::memset(to + len, 0, n - len);
}

struct Sql {
    sqlite3* db = nullptr;
    sqlite3_stmt *ins, *find, *walk, *upd, *del;
    std::string path = tmpPath("sqlite");
    std::string info = std::string(660, 'a');
    Record rec{};
    // The row's name, group and info (from column col on) into the record, as the store's read
    // fills the caller's fields: both sides hand the whole record over.
    void take(sqlite3_stmt* st, int col) {
        copyColumn(rec.name, sizeof rec.name, st, col);
        copyColumn(rec.group, sizeof rec.group, st, col + 1);
        copyColumn(rec.info, sizeof rec.info, st, col + 2);
        benchmark::DoNotOptimize(rec);
    }
    void exec(const std::string& sql) {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    }
    // Builds n records without syncs (the set-up), then syncs as asked.
    Sql(int n, bool synced, SqlLock lock) {
        std::remove(path.c_str());
        std::remove((path + "-journal").c_str());
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
        exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF;"
             "PRAGMA cache_size=-" + std::to_string(kSqlCacheKiB) + ";");
        if (lock == kExclusive) exec("PRAGMA locking_mode=EXCLUSIVE;");
        exec("CREATE TABLE pb(name TEXT, grp TEXT, info TEXT);"
             "CREATE INDEX pbn ON pb(name); CREATE INDEX pbg ON pb(grp);");
        sqlite3_prepare_v2(db, "INSERT INTO pb VALUES(?,?,?)", -1, &ins, nullptr);
        sqlite3_prepare_v2(db, "SELECT rowid,name,grp,info FROM pb WHERE name=? ORDER BY name,rowid LIMIT 1", -1, &find, nullptr);
        sqlite3_prepare_v2(db, "SELECT name,grp,info FROM pb ORDER BY name,rowid", -1, &walk, nullptr);
        sqlite3_prepare_v2(db, "UPDATE pb SET info=? WHERE rowid=(SELECT rowid FROM pb WHERE name=? LIMIT 1)", -1, &upd, nullptr);
        sqlite3_prepare_v2(db, "DELETE FROM pb WHERE rowid=(SELECT rowid FROM pb WHERE name=? LIMIT 1)", -1, &del, nullptr);
        for (int i = 0; i < n; ++i) add(i);
        exec(synced ? "PRAGMA synchronous=FULL;" : "PRAGMA synchronous=OFF;");
    }
    ~Sql() {
        for (auto s : {ins, find, walk, upd, del}) sqlite3_finalize(s);
        sqlite3_close(db);
        std::remove(path.c_str());
    }
    void add(int i) {
        char name[31], group[31];
        nameOf(i, name, sizeof name);
        std::snprintf(group, sizeof group, "Group %d", i % 50);
        sqlite3_bind_text(ins, 1, name, -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 2, group, -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 3, info.c_str(), 660, SQLITE_STATIC);
        if (sqlite3_step(ins) != SQLITE_DONE) std::abort();
        sqlite3_reset(ins);
    }
};

// Arguments: records, synced (0/1) and, for SQLite, the locking mode (0 default, 1 exclusive).
bool synced(const benchmark::State& st) { return st.range(1) != 0; }
SqlLock lockOf(const benchmark::State& st) { return st.range(2) ? kExclusive : kDefault; }

// Adds n records to an empty file, one call (one transaction) each.
void BM_StoreAdd(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    for (auto _ : st) {
        st.PauseTiming();
        Store* s = new Store(0, synced(st));
        st.ResumeTiming();
        for (int i = 0; i < n; ++i) s->add(i);
        st.PauseTiming();
        delete s;
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
void BM_SqlAdd(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    for (auto _ : st) {
        st.PauseTiming();
        Sql* s = new Sql(0, synced(st), lockOf(st));
        st.ResumeTiming();
        for (int i = 0; i < n; ++i) s->add(i);
        st.PauseTiming();
        delete s;
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
void BM_StoreFind(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n, false);
    int i = 0;
    for (auto _ : st) {
        char name[31];
        nameOf((i++ * 31) % n, name, sizeof name);
        if (SF_dbfind(0, &s.h, 1, name, DB_EXACT) != 0 || SF_dbread(0, &s.h, s.t) != 0) std::abort();
    }
    st.SetItemsProcessed(st.iterations());
}
void BM_SqlFind(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Sql s(n, false, lockOf(st));
    int i = 0;
    for (auto _ : st) {
        char name[31];
        nameOf((i++ * 31) % n, name, sizeof name);
        sqlite3_bind_text(s.find, 1, name, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s.find) != SQLITE_ROW) std::abort();
        s.take(s.find, 1);
        sqlite3_reset(s.find);
    }
    st.SetItemsProcessed(st.iterations());
}
// A walk by name, reading every record. Both sides walk once before the timing: SQLite's cache
// is warm from the build, while the store was opened again after it.
int storeWalk(Store& s) {
    int c = 0;
    for (int16_t r = SF_dbmove(0, &s.h, 1, DB_FIRST); r == 0; r = SF_dbmove(0, &s.h, 1, DB_NEXT)) {
        SF_dbread(0, &s.h, s.t);
        ++c;
    }
    return c;
}
void BM_StoreWalk(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n, false);
    if (storeWalk(s) != n) std::abort();
    for (auto _ : st) {
        if (storeWalk(s) != n) std::abort();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
int sqlWalk(Sql& s) {
    int c = 0;
    while (sqlite3_step(s.walk) == SQLITE_ROW) {
        s.take(s.walk, 0);
        ++c;
    }
    sqlite3_reset(s.walk);
    return c;
}
void BM_SqlWalk(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Sql s(n, false, lockOf(st));
    if (sqlWalk(s) != n) std::abort();
    for (auto _ : st) {
        if (sqlWalk(s) != n) std::abort();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
void BM_StoreUpdate(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n, synced(st));
    int i = 0;
    for (auto _ : st) {
        char name[31];
        nameOf((i++ * 31) % n, name, sizeof name);
        if (SF_dbfind(0, &s.h, 1, name, DB_EXACT) != 0 || SF_dbread(0, &s.h, s.t) != 0) std::abort();
        s.rec.info[0] = static_cast<char>('A' + i % 26);
        if (SF_dbupdate(0, &s.h, s.t) != 0) std::abort();
    }
    st.SetItemsProcessed(st.iterations());
}
void BM_SqlUpdate(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Sql s(n, synced(st), lockOf(st));
    int i = 0;
    for (auto _ : st) {
        char name[31];
        nameOf((i++ * 31) % n, name, sizeof name);
        s.info[0] = static_cast<char>('A' + i % 26);
        sqlite3_bind_text(s.upd, 1, s.info.c_str(), 660, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.upd, 2, name, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s.upd) != SQLITE_DONE) std::abort();
        sqlite3_reset(s.upd);
    }
    st.SetItemsProcessed(st.iterations());
}
// Delete then add back (untimed), so the size stays n.
void BM_StoreDelete(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n, synced(st));
    int i = 0;
    for (auto _ : st) {
        int j = (i++ * 31) % n;
        char name[31];
        nameOf(j, name, sizeof name);
        if (SF_dbfind(0, &s.h, 1, name, DB_EXACT) != 0 || SF_dbdelete(0, &s.h, s.t) != 0) std::abort();
        st.PauseTiming();
        s.add(j);
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations());
}
void BM_SqlDelete(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Sql s(n, synced(st), lockOf(st));
    int i = 0;
    for (auto _ : st) {
        int j = (i++ * 31) % n;
        char name[31];
        nameOf(j, name, sizeof name);
        sqlite3_bind_text(s.del, 1, name, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s.del) != SQLITE_DONE) std::abort();
        sqlite3_reset(s.del);
        st.PauseTiming();
        if (synced(st)) s.exec("PRAGMA synchronous=OFF;");
        s.add(j);
        if (synced(st)) s.exec("PRAGMA synchronous=FULL;");
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations());
}

// ---- Memory.
// The resident set now, in bytes (/proc/self/statm counts pages).
long residentBytes() {
    long size = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(f);
    return resident < 0 ? -1 : resident * sysconf(_SC_PAGESIZE);
}
// The peak resident set (VmHWM) since the last resetPeak, in bytes.
long peakResidentBytes() {
    char line[128];
    long kib = -1;
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    std::fclose(f);
    return kib < 0 ? -1 : kib * 1024;
}
// Resets the peak resident set to the current one (Linux: "5" to clear_refs).
bool resetPeak() {
    int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return false;
    bool ok = ::write(fd, "5", 1) == 1;
    ::close(fd);
    return ok;
}

// The work measured for memory: a walk of the whole file, then 1,000 finds with an update each.
template <class Walk, class FindUpdate>
void memoryWork(int n, Walk walk, FindUpdate findUpdate) {
    walk();
    for (int i = 0; i < 1000; ++i) {
        char name[31];
        nameOf((i * 31) % n, name, sizeof name);
        findUpdate(name);
    }
}

// The store's heap (the most it held at once above what was live before the store was made)
// and its resident memory (the peak resident set above the one before), counted while a file
// of n records is built without syncs, walked, searched and updated.
void BM_StoreMemory(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    long most = 0, resident = 0;
    for (auto _ : st) {
        long before = heap::live.load();
        heap::peak.store(before);
        long rssBefore = residentBytes();
        if (!resetPeak()) st.SkipWithError("cannot reset the peak resident set");
        {
            Store s(n, false);
            memoryWork(
                n,
                [&] {
                    for (int16_t r = SF_dbmove(0, &s.h, 1, DB_FIRST); r == 0; r = SF_dbmove(0, &s.h, 1, DB_NEXT))
                        SF_dbread(0, &s.h, s.t);
                },
                [&](const char* name) {
                    if (SF_dbfind(0, &s.h, 1, name, DB_EXACT) != 0 || SF_dbread(0, &s.h, s.t) != 0) std::abort();
                    if (SF_dbupdate(0, &s.h, s.t) != 0) std::abort();
                });
            resident = peakResidentBytes() - rssBefore;
        }
        most = heap::peak.load() - before;
    }
    st.counters["heap_bytes"] = static_cast<double>(most);
    st.counters["resident_bytes"] = static_cast<double>(resident);
}
// The same for SQLite in exclusive mode with its cache of kSqlCacheKiB.
void BM_SqlMemory(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    long resident = 0;
    for (auto _ : st) {
        long rssBefore = residentBytes();
        if (!resetPeak()) st.SkipWithError("cannot reset the peak resident set");
        Sql s(n, false, kExclusive);
        memoryWork(
            n,
            [&] {
                while (sqlite3_step(s.walk) == SQLITE_ROW) s.take(s.walk, 0);
                sqlite3_reset(s.walk);
            },
            [&](const char* name) {
                sqlite3_bind_text(s.upd, 1, s.info.c_str(), 660, SQLITE_TRANSIENT);
                sqlite3_bind_text(s.upd, 2, name, -1, SQLITE_TRANSIENT);
                if (sqlite3_step(s.upd) != SQLITE_DONE) std::abort();
                sqlite3_reset(s.upd);
            });
        resident = peakResidentBytes() - rssBefore;
    }
    st.counters["resident_bytes"] = static_cast<double>(resident);
}

// 100,000 records of the phone book's table do not fit the format (signed 16-bit page numbers:
// at most 32,767 pages of 1 KiB, some 25,000 records with a 661-byte info): the sizes are
// 10,000 and 25,000.
// Without syncs: both sizes; SQLite in both locking modes.
#define NOSYNC Args({10000, 0})->Args({25000, 0})
#define SQL_NOSYNC Args({10000, 0, 0})->Args({10000, 0, 1})->Args({25000, 0, 0})->Args({25000, 0, 1})
// With syncs: 1,000 records added; updates and deletes in a file of 10,000.
#define SYNC_ADD Args({1000, 1})
#define SQL_SYNC_ADD Args({1000, 1, 0})->Args({1000, 1, 1})
#define SYNC Args({10000, 1})
#define SQL_SYNC Args({10000, 1, 0})->Args({10000, 1, 1})
BENCHMARK(BM_StoreAdd)->NOSYNC->SYNC_ADD->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlAdd)->SQL_NOSYNC->SQL_SYNC_ADD->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFind)->NOSYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlFind)->SQL_NOSYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreWalk)->NOSYNC->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlWalk)->SQL_NOSYNC->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreUpdate)->NOSYNC->SYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlUpdate)->SQL_NOSYNC->SQL_SYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreDelete)->NOSYNC->SYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlDelete)->SQL_NOSYNC->SQL_SYNC->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreMemory)->Args({10000})->Args({25000})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlMemory)->Args({10000})->Args({25000})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
