// Pages read again: record images found by number after splits moved them, two files with the
// same record numbers, failing reads of a file large enough to be read through its mapping,
// and a store without a cache writing the same bytes as one with it.
#include <gtest/gtest.h>

#include <map>

#include "qorul.h"
#include "qorul_control.h"
#include "rawfile.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

class StoreReread : public ::testing::Test {
protected:
    void SetUp() override {
        storeReset();
        ASSERT_EQ(SF_dbcacheinit(0), 0);
    }
    void TearDown() override {
        qorul::resetFaults();
        storeReset();
    }
    qortest::TempProfile tp;
};

std::string nameOf(int i) { return "Name " + std::to_string(1000 + i); }
std::string infoOf(int i, int round) { return std::string(200 + (i * 37) % 460, static_cast<char>('a' + (i + round) % 26)); }

// Finds the record by name and checks what it reads back.
void expectRecord(Book& b, const std::string& name, const std::string& group, const std::string& info) {
    ASSERT_EQ(b.find(1, name, DB_EXACT), 0) << name;
    ASSERT_EQ(b.read(), 0) << name;
    EXPECT_EQ(std::string(b.rec.name), name);
    EXPECT_EQ(std::string(b.rec.group), group);
    EXPECT_EQ(std::string(b.rec.info), info) << name;
}

TEST_F(StoreReread, ImagesMovedBySplitsStillReadBackByNumber) {
    Book b;
    ASSERT_EQ(b.create(tp.path("book.pbk")), 0);
    std::map<std::string, std::pair<std::string, std::string>> want;  // name -> group, info
    for (int i = 0; i < 240; ++i) {
        ASSERT_EQ(b.add(nameOf(i), "G" + std::to_string(i % 7), infoOf(i, 0)), 0);
        want[nameOf(i)] = {"G" + std::to_string(i % 7), infoOf(i, 0)};
    }
    // Every image is seen once by number, so its place is known...
    int seen = 0;
    for (int16_t st = b.move(1, DB_FIRST); st == 0; st = b.move(1, DB_NEXT), ++seen) {
        ASSERT_EQ(b.read(), 0);
    }
    ASSERT_EQ(seen, 240);
    // ...then deletes free numbers in the middle of key 19 and new records take them, so that
    // images go into full pages and splits move their neighbours to new pages.
    for (int i = 0; i < 240; i += 3) {
        ASSERT_EQ(b.find(1, nameOf(i), DB_EXACT), 0);
        ASSERT_EQ(b.remove(), 0);
        want.erase(nameOf(i));
    }
    const int pagesBefore = b.h.pagecounter;
    for (int i = 0; i < 240; i += 3) {
        std::string name = nameOf(i) + "b";
        std::string info = (infoOf(i, 1) + infoOf(i + 1, 1)).substr(0, 660);  // the longest info
        ASSERT_EQ(b.add(name, "H", info), 0);
        want[name] = {"H", info};
    }
    ASSERT_GT(b.h.pagecounter, pagesBefore) << "the re-adds were meant to split pages";
    for (int i = 1; i < 240; i += 3) {  // updates move images again: a new number each
        ASSERT_EQ(b.find(1, nameOf(i), DB_EXACT), 0);
        ASSERT_EQ(b.read(), 0);
        std::string info = infoOf(i, 2);
        std::memset(b.rec.info, 0, sizeof b.rec.info);
        std::memcpy(b.rec.info, info.data(), info.size());
        ASSERT_EQ(b.update(), 0);
        want[nameOf(i)].second = info;
    }
    for (const auto& [name, r] : want) {
        expectRecord(b, name, r.first, r.second);
    }
    // The walk by key 19 meets every image once, in number order, each readable.
    size_t images = 0;
    uint32_t last = 0;
    for (int16_t st = b.move(19, DB_FIRST); st == 0; st = b.move(19, DB_NEXT), ++images) {
        EXPECT_GT(b.current(), last);
        last = b.current();
        ASSERT_EQ(b.read(), 0);
        ASSERT_EQ(want.count(b.rec.name), 1u);
        EXPECT_EQ(std::string(b.rec.info), want[b.rec.name].second);
    }
    EXPECT_EQ(images, want.size());
    ASSERT_EQ(b.close(), 0);
}

TEST_F(StoreReread, TwoFilesWithTheSameRecordNumbersKeepTheirOwnImages) {
    Book a, c;
    ASSERT_EQ(a.create(tp.path("a.pbk")), 0);
    ASSERT_EQ(c.create(tp.path("c.pbk")), 0);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(a.add(nameOf(i), "A", infoOf(i, 0)), 0);
        ASSERT_EQ(c.add(nameOf(i), "C", infoOf(i, 5)), 0);
        ASSERT_EQ(a.current(), c.current());
    }
    for (int i = 0; i < 60; i += 7) {
        expectRecord(a, nameOf(i), "A", infoOf(i, 0));
        expectRecord(c, nameOf(i), "C", infoOf(i, 5));
    }
    // A file closed and another opened, which may get the same file number.
    ASSERT_EQ(a.close(), 0);
    Book d;
    ASSERT_EQ(d.create(tp.path("d.pbk")), 0);
    for (int i = 0; i < 60; ++i) ASSERT_EQ(d.add(nameOf(i), "D", infoOf(i, 9)), 0);
    for (int i = 0; i < 60; i += 5) {
        expectRecord(d, nameOf(i), "D", infoOf(i, 9));
        expectRecord(c, nameOf(i), "C", infoOf(i, 5));
    }
    ASSERT_EQ(a.open(tp.path("a.pbk")), 0);
    for (int i = 0; i < 60; i += 5) {
        expectRecord(a, nameOf(i), "A", infoOf(i, 0));
    }
    EXPECT_EQ(a.close(), 0);
    EXPECT_EQ(c.close(), 0);
    EXPECT_EQ(d.close(), 0);
}

TEST_F(StoreReread, FailedReadsOfALargeFileLeaveNothingHalfRead) {
    Book b;
    ASSERT_EQ(b.create(tp.path("big.pbk")), 0);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(b.add(nameOf(i), "G", infoOf(i, 0)), 0);
    ASSERT_GT(RawFile(tp.path("big.pbk")).bytes.size(), 128u * 1024u);
    // Every page read is one seek and one read, each counted.
    qorul::failNth(qorul::FaultOp::Any, 0);
    int walked = 0;
    for (int16_t st = b.move(1, DB_FIRST); st == 0; st = b.move(1, DB_NEXT), ++walked) {
        ASSERT_EQ(b.read(), 0);
    }
    EXPECT_EQ(walked, 300);
    EXPECT_GT(qorul::faultCalls(qorul::FaultOp::Read), 100);  // far more pages than slots
    EXPECT_EQ(qorul::faultCalls(qorul::FaultOp::Seek), qorul::faultCalls(qorul::FaultOp::Read));
    EXPECT_EQ(qorul::faultCalls(qorul::FaultOp::Write), 0);
    // A failing seek or read of a page that is not cached fails the find; the page is read
    // whole the next time.
    for (qorul::FaultOp op : {qorul::FaultOp::Seek, qorul::FaultOp::Read}) {
        for (int i = 0; i < 300; i += 37) {
            ASSERT_EQ(b.move(2, DB_FIRST), 0);  // other pages into the cache
            ASSERT_EQ(b.move(19, DB_LAST), 0);
            qorul::failNth(op, 1);
            int16_t st = b.find(1, nameOf(i), DB_EXACT);
            if (st == 0) st = b.read();
            bool failed = qorul::faultCalls(op) >= 1 && st != 0;
            qorul::resetFaults();
            if (!failed) {
                ASSERT_EQ(st, 0);
            }
            expectRecord(b, nameOf(i), "G", infoOf(i, 0));
        }
    }
    ASSERT_EQ(b.close(), 0);
}

// The same operations with and without a page cache write the same file.
TEST_F(StoreReread, WithoutACacheTheFileComesOutTheSame) {
    auto build = [&](const std::string& path) {
        Book b;
        ASSERT_EQ(b.create(path), 0);
        for (int i = 0; i < 150; ++i) {
            ASSERT_EQ(b.add(nameOf((i * 7) % 150), "G" + std::to_string(i % 4), infoOf(i, 0)), 0);
        }
        for (int i = 0; i < 150; i += 4) {
            ASSERT_EQ(b.find(1, nameOf(i), DB_EXACT), 0);
            ASSERT_EQ(b.read(), 0);
            b.rec.info[0] = 'U';
            ASSERT_EQ(b.update(), 0);
        }
        for (int i = 1; i < 150; i += 5) {
            ASSERT_EQ(b.find(1, nameOf(i), DB_EXACT), 0);
            ASSERT_EQ(b.remove(), 0);
        }
        int n = 0;
        for (int16_t st = b.move(2, DB_LAST); st == 0; st = b.move(2, DB_PREVIOUS), ++n) {
            ASSERT_EQ(b.read(), 0);
        }
        EXPECT_EQ(n, 150 - 30);
        ASSERT_EQ(b.close(), 0);
    };
    build(tp.path("cached.pbk"));
    storeReset();  // no cache from here on
    ASSERT_FALSE(storeCacheAllocated());
    build(tp.path("direct.pbk"));
    ASSERT_FALSE(storeCacheAllocated());
    std::string cached = RawFile(tp.path("cached.pbk")).bytes, direct = RawFile(tp.path("direct.pbk")).bytes;
    ASSERT_EQ(cached.size(), direct.size());
    EXPECT_TRUE(cached == direct);
}

}  // namespace
