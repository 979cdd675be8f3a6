// The record store against SQLite (one table, two indexes, journal in memory, no sync), with the
// phone book's field table: name and group keys with duplicates and a 661-byte info.
//
// The store's heap is counted by replacing operator new and delete (the store and its platform
// layer allocate only through them; SQLite uses malloc and is not counted). BM_StoreHeap
// reports the most the store held at once while a file is built, walked, searched and updated.
#include <benchmark/benchmark.h>
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

struct Store {
    DB_HANDLE h{};
    Record rec{};
    uint8_t buf[800]{};
    DB_FIELD t[4] = {{'S', 'S', 'D', 31, 1, rec.name}, {'S', 'S', 'D', 31, 2, rec.group},
                     {'S', 'N', 'N', 661, 0, rec.info}, {'E', 0, 0, 0, 0, nullptr}};
    std::string path = tmpPath("store");
    explicit Store(int n) {
        std::remove(path.c_str());
        SF_dbcreate(0, &h, path.c_str(), buf, 736);
        for (int i = 0; i < n; ++i) add(i);
    }
    ~Store() {
        SF_dbclose(0, &h);
        std::remove(path.c_str());
    }
    void add(int i) {
        std::memset(&rec, 0, sizeof rec);
        nameOf(i, rec.name, sizeof rec.name);
        std::snprintf(rec.group, sizeof rec.group, "Group %d", i % 50);
        std::memset(rec.info, 'a' + i % 26, 660);
        if (SF_dbadd(0, &h, t) != 0) std::abort();
    }
};

struct Sql {
    sqlite3* db = nullptr;
    sqlite3_stmt *ins, *find, *walk, *upd, *del;
    std::string path = tmpPath("sqlite");
    std::string info = std::string(660, 'a');
    explicit Sql(int n) {
        std::remove(path.c_str());
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF;"
                         "CREATE TABLE pb(name TEXT, grp TEXT, info TEXT);"
                         "CREATE INDEX pbn ON pb(name); CREATE INDEX pbg ON pb(grp);", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO pb VALUES(?,?,?)", -1, &ins, nullptr);
        sqlite3_prepare_v2(db, "SELECT rowid,name,grp,info FROM pb WHERE name=? ORDER BY name,rowid LIMIT 1", -1, &find, nullptr);
        sqlite3_prepare_v2(db, "SELECT name,grp,info FROM pb ORDER BY name,rowid", -1, &walk, nullptr);
        sqlite3_prepare_v2(db, "UPDATE pb SET info=? WHERE rowid=(SELECT rowid FROM pb WHERE name=? LIMIT 1)", -1, &upd, nullptr);
        sqlite3_prepare_v2(db, "DELETE FROM pb WHERE rowid=(SELECT rowid FROM pb WHERE name=? LIMIT 1)", -1, &del, nullptr);
        for (int i = 0; i < n; ++i) add(i);
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

void BM_StoreAdd(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    for (auto _ : st) {
        st.PauseTiming();
        Store* s = new Store(0);
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
        Sql* s = new Sql(0);
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
    Store s(n);
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
    Sql s(n);
    int i = 0;
    for (auto _ : st) {
        char name[31];
        nameOf((i++ * 31) % n, name, sizeof name);
        sqlite3_bind_text(s.find, 1, name, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s.find) != SQLITE_ROW) std::abort();
        benchmark::DoNotOptimize(sqlite3_column_text(s.find, 3));
        sqlite3_reset(s.find);
    }
    st.SetItemsProcessed(st.iterations());
}
void BM_StoreWalk(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n);
    for (auto _ : st) {
        int c = 0;
        for (int16_t r = SF_dbmove(0, &s.h, 1, DB_FIRST); r == 0; r = SF_dbmove(0, &s.h, 1, DB_NEXT)) {
            SF_dbread(0, &s.h, s.t);
            ++c;
        }
        if (c != n) std::abort();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
void BM_SqlWalk(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Sql s(n);
    for (auto _ : st) {
        int c = 0;
        while (sqlite3_step(s.walk) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(s.walk, 2));
            ++c;
        }
        sqlite3_reset(s.walk);
        if (c != n) std::abort();
    }
    st.SetItemsProcessed(st.iterations() * n);
}
void BM_StoreUpdate(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n);
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
    Sql s(n);
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
// Delete then add back, so the size stays n.
void BM_StoreDelete(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    Store s(n);
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
    Sql s(n);
    int i = 0;
    for (auto _ : st) {
        int j = (i++ * 31) % n;
        char name[31];
        nameOf(j, name, sizeof name);
        sqlite3_bind_text(s.del, 1, name, -1, SQLITE_TRANSIENT);
        if (sqlite3_step(s.del) != SQLITE_DONE) std::abort();
        sqlite3_reset(s.del);
        st.PauseTiming();
        s.add(j);
        st.ResumeTiming();
    }
    st.SetItemsProcessed(st.iterations());
}

// The store's heap: the most it held at once above what was live before the store was made.
void BM_StoreHeap(benchmark::State& st) {
    int n = static_cast<int>(st.range(0));
    long most = 0;
    for (auto _ : st) {
        long before = heap::live.load();
        heap::peak.store(before);
        {
            Store s(n);
            for (int16_t r = SF_dbmove(0, &s.h, 1, DB_FIRST); r == 0; r = SF_dbmove(0, &s.h, 1, DB_NEXT))
                SF_dbread(0, &s.h, s.t);
            for (int i = 0; i < 1000; ++i) {
                char name[31];
                nameOf((i * 31) % n, name, sizeof name);
                if (SF_dbfind(0, &s.h, 1, name, DB_EXACT) != 0 || SF_dbread(0, &s.h, s.t) != 0) std::abort();
                if (SF_dbupdate(0, &s.h, s.t) != 0) std::abort();
            }
        }
        most = heap::peak.load() - before;
    }
    st.counters["heap_bytes"] = static_cast<double>(most);
}

// 100,000 records of the phone book's table do not fit the format (signed 16-bit page numbers:
// at most 32,767 pages of 1 KiB, some 25,000 records with a 661-byte info): the sizes are
// 10,000 and 25,000.
#define SIZES Arg(10000)->Arg(25000)
BENCHMARK(BM_StoreAdd)->SIZES->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlAdd)->SIZES->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFind)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlFind)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreWalk)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlWalk)->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreUpdate)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlUpdate)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreDelete)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SqlDelete)->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreHeap)->SIZES->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
