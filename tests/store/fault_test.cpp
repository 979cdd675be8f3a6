// Fault injection: the n-th seek, read or write of the store fails, for every n of a scenario.
#include <gtest/gtest.h>

#include "qorul.h"
#include "qorul_control.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

// Creates a store, adds, updates and deletes; stops at the first failure and returns it.
int16_t scenario(Book& b, const std::string& path) {
    int16_t st = SF_dbcreate(0, &b.h, path.c_str(), b.recbuf, kRecLen);
    if (st != 0) return st;
    for (int i = 0; i < 24; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%02d", (i * 7) % 24);
        b.set(name, i % 3 ? " " : "G", std::string(static_cast<size_t>(i % 2 ? 660 : 20), 'a' + i % 26));
        if ((st = SF_dbadd(0, &b.h, b.table)) != 0) return st;
    }
    for (int i = 0; i < 6; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%02d", i * 3);
        if ((st = SF_dbfind(0, &b.h, 1, name, DB_EXACT)) != 0) return st;
        if ((st = SF_dbread(0, &b.h, b.table)) != 0) return st;
        b.rec.info[0] = 'U';
        if ((st = SF_dbupdate(0, &b.h, b.table)) != 0) return st;
        if ((st = SF_dbfind(0, &b.h, 1, name, DB_EXACT)) != 0) return st;
        if ((st = SF_dbdelete(0, &b.h, b.table)) != 0) return st;
    }
    return SF_dbclose(0, &b.h);
}

// Opens the file and walks it; returns the open status (0 = it opened and every walk ended).
int16_t openAndWalk(const std::string& path, int* unclean) {
    Book b;
    int16_t st = DB_open(&b.h, path.c_str(), b.recbuf, kRecLen);
    if (st != 0) return st;
    for (int16_t key : {1, 2, 19}) {
        int n = 0;
        int16_t s = b.move(key, DB_FIRST);
        for (; s == 0 && n < 1000; s = b.move(key, DB_NEXT), ++n) {
            int16_t r = b.read();
            if (r != 0) ++*unclean;
        }
        EXPECT_LT(n, 1000) << "a walk did not end";
        if (s != DB_NOTFOUND) ++*unclean;
        n = 0;
        for (s = b.move(key, DB_LAST); s == 0 && n < 1000; s = b.move(key, DB_PREVIOUS)) ++n;
        EXPECT_LT(n, 1000);
    }
    EXPECT_EQ(b.close(), 0);
    return 0;
}

int waits = 0;
TEST(StoreFaults, EveryFailingCallGivesAStatusAndASaneFile) {
    qortest::TempProfile tp;
    DB_setlockwait(1, [](int) { ++waits; });
    storeReset();
    const std::string path = tp.path("fault.pbk");
    long total = 0;
    {
        Book b;
        qorul::failNth(qorul::FaultOp::Any, 0);
        ASSERT_EQ(scenario(b, path), 0);
        total = qorul::faultCalls(qorul::FaultOp::Seek) + qorul::faultCalls(qorul::FaultOp::Read) +
                qorul::faultCalls(qorul::FaultOp::Write);
        ASSERT_GT(total, 100);
        int unclean = 0;
        ASSERT_EQ(openAndWalk(path, &unclean), 0);
        EXPECT_EQ(unclean, 0);
        UL_delete(path.c_str());
        storeReset();
    }
    const uint32_t blocks = UL_handlecount();
    int refused = 0, opened = 0, unclean = 0, failed = 0;
    for (qorul::FaultOp op : {qorul::FaultOp::Any, qorul::FaultOp::Write}) {
        for (long n = 1; n <= total; ++n) {
            SCOPED_TRACE("call " + std::to_string(n));
            Book b;
            qorul::failNth(op, n);
            int16_t st = scenario(b, path);
            qorul::resetFaults();
            if (st != 0) ++failed;
            if (b.h.state == 'O') SF_dbclose(0, &b.h);  // a failure mid-way leaves it open
            EXPECT_EQ(+b.h.state == 'O', false);
            storeReset();
            EXPECT_EQ(UL_handlecount(), blocks) << "a block leaked";
            int16_t os = openAndWalk(path, &unclean);
            (os == 0 ? opened : refused)++;
            UL_delete(path.c_str());
            storeReset();
        }
    }
    EXPECT_GT(failed, 0);
    EXPECT_GT(opened, 0);
    EXPECT_EQ(waits, 0);
    std::printf("fault runs: %d failed, %d files opened, %d refused, %d unclean reads/walk ends\n", failed, opened,
                refused, unclean);
}

}  // namespace
