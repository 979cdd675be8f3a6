// The store's rollback journal, its units and syncs, the wait for a file another program holds,
// and the check and repair of damaged files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "qorul.h"
#include "qorul_control.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

class Journal : public ::testing::Test {
protected:
    void SetUp() override {
        storeReset();
        path = tp.path("j.pbk");
        journal = path + "-journal";
    }
    void TearDown() override {
        qorul::resetFaults();
        DB_setdurable(-1);
        DB_setlockwait(60);
        storeReset();
    }
    // A store of n records, closed.
    void make(int n) {
        Book b;
        ASSERT_EQ(b.create(path), 0);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(b.add("Name " + std::to_string(i), i % 4 ? " " : "Group", std::string(static_cast<size_t>(i * 13 % 600), 'i')), 0);
        ASSERT_EQ(b.close(), 0);
    }
    qortest::TempProfile tp;
    std::string path, journal;
};

TEST_F(Journal, AnOperationCutShortAtEveryWriteIsRolledBackToTheSameBytesAtTheNextOpen) {
    make(40);
    const std::string before = qortest::readFile(path);
    // The reference: how many changes an update makes, and the bytes it leaves.
    long changes = 0;
    std::string after;
    {
        Book b;
        ASSERT_EQ(b.open(path), 0);
        ASSERT_EQ(b.find(1, "Name 7", DB_EXACT), 0);
        ASSERT_EQ(b.read(), 0);
        std::strcpy(b.rec.info, std::string(650, 'U').c_str());
        qorul::crashAt(0);
        ASSERT_EQ(b.update(), 0);
        ASSERT_EQ(b.close(), 0);
        changes = qorul::changeCalls();
        after = qortest::readFile(path);
        qortest::writeFile(path, before);
    }
    ASSERT_GT(changes, 5);
    for (long n = 1; n <= changes; ++n) {
        SCOPED_TRACE("crash at change " + std::to_string(n));
        {
            Book b;
            ASSERT_EQ(b.open(path), 0);
            ASSERT_EQ(b.find(1, "Name 7", DB_EXACT), 0);
            ASSERT_EQ(b.read(), 0);
            std::strcpy(b.rec.info, std::string(650, 'U').c_str());
            qorul::crashAt(n);
            b.update();
            b.close();
        }
        qorul::resetFaults();
        storeReset();
        Book b;
        ASSERT_EQ(b.open(path), 0) << "the open rolls back what the journal holds";
        EXPECT_FALSE(qortest::fileExists(journal));
        ASSERT_EQ(b.close(), 0);
        const std::string now = qortest::readFile(path);
        // Closing writes the header once more (its write count): compare the pages and the
        // header's numbers, not the count.
        auto sameAs = [&](const std::string& want) {
            return now.size() == want.size() && now.compare(0, 24, want, 0, 24) == 0 &&
                   now.compare(28, std::string::npos, want, 28, std::string::npos) == 0;
        };
        EXPECT_TRUE(sameAs(before) || sameAs(after));
        qortest::writeFile(path, before);
    }
}

TEST_F(Journal, DurableSyncsOnceAUnitAndNeverWithoutIt) {
    make(1);
    DB_setdurable(1);
    long s0 = DB_synccount();
    {
        Book b;
        ASSERT_EQ(b.open(path), 0);
        ASSERT_EQ(b.add("One", " "), 0);
        ASSERT_EQ(b.close(), 0);
    }
    const long perAdd = DB_synccount() - s0;
    EXPECT_GE(perAdd, 2) << "the journal and the store are both made durable";
    s0 = DB_synccount();
    ASSERT_EQ(DB_beginunit(path.c_str()), 0);
    for (int i = 0; i < 50; ++i) {
        Book b;
        ASSERT_EQ(b.open(path), 0);
        ASSERT_EQ(b.add("Unit " + std::to_string(i), " "), 0);
        ASSERT_EQ(b.close(), 0);
        EXPECT_TRUE(qortest::fileExists(journal)) << "the unit's journal lives until its end";
    }
    ASSERT_EQ(DB_endunit(path.c_str(), true), 0);
    EXPECT_FALSE(qortest::fileExists(journal));
    EXPECT_LE(DB_synccount() - s0, 2 * perAdd) << "a unit syncs at its end, not once a change";
    DB_setdurable(0);
    s0 = DB_synccount();
    Book b;
    ASSERT_EQ(b.open(path), 0);
    ASSERT_EQ(b.add("Fast", " "), 0);
    ASSERT_EQ(b.close(), 0);
    EXPECT_EQ(DB_synccount(), s0);
    ASSERT_EQ(b.open(path), 0);
    int n = 0;
    for (int16_t st = b.move(1, DB_FIRST); st == 0; st = b.move(1, DB_NEXT)) ++n;
    EXPECT_EQ(n, 1 + 1 + 50 + 1);
    ASSERT_EQ(b.close(), 0);
}

TEST_F(Journal, AUnitRolledBackLeavesTheFileAsItWas) {
    make(10);
    const std::string before = qortest::readFile(path);
    ASSERT_EQ(DB_beginunit(path.c_str()), 0);
    for (int i = 0; i < 30; ++i) {
        Book b;
        ASSERT_EQ(b.open(path), 0);
        ASSERT_EQ(b.add("Gone " + std::to_string(i), " ", std::string(500, 'g')), 0);
        ASSERT_EQ(b.close(), 0);
    }
    ASSERT_EQ(DB_endunit(path.c_str(), false), 0);
    EXPECT_EQ(qortest::readFile(path), before);
    EXPECT_FALSE(qortest::fileExists(journal));
}

int waited = 0;
int heldFd = -1;

TEST_F(Journal, AFileHeldByAnotherProgramIsWaitedForABoundedTime) {
    make(1);
    heldFd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(heldFd, 0);
    ASSERT_EQ(flock(heldFd, LOCK_EX), 0);  // another open file description: another program
    waited = 0;
    DB_setlockwait(3, [](int) { ++waited; });
    Book b;
    EXPECT_EQ(b.open(path), DB_LOCKOPEN);
    EXPECT_EQ(waited, 3);
    // The holder lets go while the open waits.
    DB_setlockwait(3, [](int) {
        ++waited;
        ::close(heldFd);
    });
    waited = 0;
    EXPECT_EQ(b.open(path), 0);
    EXPECT_EQ(waited, 1);
    EXPECT_EQ(b.close(), 0);
}

TEST_F(Journal, CheckFindsDamageAndRepairRecoversEveryWholeRecord) {
    make(60);
    Book probe;
    DB_CHECKREPORT r;
    ASSERT_EQ(DB_check(path.c_str(), probe.table, probe.recbuf, kRecLen, &r), 0);
    EXPECT_TRUE(r.problems.empty()) << r.problems[0];
    EXPECT_EQ(r.records, 60u);
    EXPECT_EQ(r.indexEntries, 120u);
    // Damage one entry of a leaf: its key text loses its end.
    std::string bytes = qortest::readFile(path);
    const size_t page1 = 2 * 1024;  // page 1
    ASSERT_GT(bytes.size(), page1 + 1024);
    for (size_t i = page1 + 12; i < page1 + 1024; ++i)
        if (bytes[i] == '\0') {
            bytes[i] = 'X';
            break;
        }
    qortest::writeFile(path, bytes);
    ASSERT_EQ(DB_check(path.c_str(), probe.table, probe.recbuf, kRecLen, &r), 0);
    EXPECT_FALSE(r.problems.empty());

    DB_REPAIRREPORT rep;
    ASSERT_EQ(DB_repair(path.c_str(), probe.table, probe.recbuf, kRecLen, &rep), 0);
    EXPECT_EQ(rep.aside, path + ".damaged");
    EXPECT_EQ(qortest::readFile(rep.aside), bytes) << "the damaged file is kept as it was";
    EXPECT_GE(rep.recovered, 55u);
    EXPECT_LE(rep.recovered, 60u);
    ASSERT_EQ(DB_check(path.c_str(), probe.table, probe.recbuf, kRecLen, &r), 0);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(r.records, rep.recovered);
}

TEST_F(Journal, ANewStoreAppearsWholeOrNotAtAll) {
    for (long n = 1;; ++n) {
        qorul::crashAt(n);
        Book b;
        int16_t st = b.create(path);
        const bool crashed = qorul::crashed();
        if (st == 0) b.close();
        qorul::resetFaults();
        storeReset();
        if (!crashed) break;
        if (qortest::fileExists(path)) {
            EXPECT_EQ(qortest::readFile(path).size(), 4096u);
            Book o;
            EXPECT_EQ(o.open(path), 0);
            o.close();
        }
        UL_delete(path.c_str());
        ASSERT_LT(n, 100);
    }
}

// One open, several operations: the journal file is used again by each, and a crash at any
// change of a later operation rolls back to the end of the one before, never further (a
// committed operation's journal is void) and never to a mix (records left from an earlier,
// longer transaction do not count for a later one).
TEST_F(Journal, ACrashInALaterOperationOfOneOpenRollsBackToTheOneBefore) {
    make(30);
    const std::string start = qortest::readFile(path);
    auto firstOps = [&](Book& b) {
        // A long operation first (many blocks journaled), then a short one.
        for (int i = 0; i < 3; ++i) ASSERT_EQ(b.add("Long " + std::to_string(i), "G", std::string(650, 'L')), 0);
        ASSERT_EQ(b.find(1, "Name 3", DB_EXACT), 0);
        ASSERT_EQ(b.remove(), 0);
    };
    auto lastOp = [&](Book& b) {
        EXPECT_EQ(b.find(1, "Name 9", DB_EXACT), 0);
        EXPECT_EQ(b.read(), 0);
        std::strcpy(b.rec.info, "changed");
        return b.update();
    };
    long changesBefore = 0, changes = 0;
    std::string middle;
    {
        Book b;
        ASSERT_EQ(b.open(path), 0);
        firstOps(b);
        EXPECT_TRUE(qortest::fileExists(journal)) << "kept for the next operation of this open";
        middle = qortest::readFile(path);
        qorul::crashAt(0);
        changesBefore = qorul::changeCalls();
        ASSERT_EQ(lastOp(b), 0);
        changes = qorul::changeCalls() - changesBefore;
        ASSERT_EQ(b.close(), 0);
        EXPECT_FALSE(qortest::fileExists(journal)) << "the close deletes it";
    }
    ASSERT_GT(changes, 2);
    for (long n = 1; n <= changes; ++n) {
        SCOPED_TRACE("crash at change " + std::to_string(n));
        qortest::writeFile(path, start);
        storeReset();
        {
            Book b;
            ASSERT_EQ(b.open(path), 0);
            firstOps(b);
            qorul::crashAt(n);
            lastOp(b);
            b.close();
        }
        qorul::resetFaults();
        storeReset();
        const std::string crashed = qortest::readFile(path);
        Book b;
        ASSERT_EQ(b.open(path), 0);
        EXPECT_FALSE(qortest::fileExists(journal));
        EXPECT_EQ(b.find(1, "Long 2", DB_EXACT), 0) << "the operations before stay";
        EXPECT_EQ(b.find(1, "Name 3", DB_EXACT), DB_NOTFOUND);
        ASSERT_EQ(b.find(1, "Name 9", DB_EXACT), 0);
        ASSERT_EQ(b.read(), 0);
        const std::string info = b.rec.info;
        if (info != "changed") {
            const std::string now = qortest::readFile(path);
            EXPECT_EQ(now.size(), middle.size());
            // The header's write count aside, the file is the one the operations before left.
            EXPECT_TRUE(now.compare(0, 24, middle, 0, 24) == 0 &&
                        now.compare(28, std::string::npos, middle, 28, std::string::npos) == 0);
        }
        ASSERT_EQ(b.close(), 0);
    }
}

// Journals of the earlier versions ("QORJRNL1": FNV-1a over each record; "QORJRNL2": a 32-bit
// four-lane sum) left by an older library are rolled back like a new one.
uint32_t fnv(uint32_t h, const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 16777619u;
    return h;
}
uint32_t sumV1(uint32_t nonce, uint32_t block, const std::string& bytes) {
    return fnv(fnv(fnv(2166136261u, &nonce, 4), &block, 4), bytes.data(), bytes.size());
}
uint32_t sumV2(uint32_t nonce, uint32_t block, const std::string& bytes) {
    auto rotl = [](uint32_t v, int r) { return (v << r) | (v >> (32 - r)); };
    constexpr uint32_t p1 = 2654435761u, p2 = 2246822519u, p3 = 3266489917u;
    uint32_t lane[4] = {nonce + p1 + p2, block + p2, nonce ^ block, (nonce - p1) ^ 0x5A5A5A5Au};
    for (size_t i = 0; i < bytes.size(); i += 16) {
        for (int l = 0; l < 4; ++l) {
            uint32_t w;
            std::memcpy(&w, bytes.data() + i + 4 * l, 4);
            lane[l] = rotl(lane[l] + w * p2, 13) * p1;
        }
    }
    uint32_t h = rotl(lane[0], 1) + rotl(lane[1], 7) + rotl(lane[2], 12) + rotl(lane[3], 18) + 1024;
    h ^= h >> 15;
    h *= p2;
    h ^= h >> 13;
    h *= p3;
    h ^= h >> 16;
    return h;
}

TEST_F(Journal, JournalsOfTheEarlierVersionsAreRolledBack) {
    struct Version {
        const char* magic;
        uint32_t (*sum)(uint32_t, uint32_t, const std::string&);
    };
    for (const Version& v : {Version{"QORJRNL1", sumV1}, Version{"QORJRNL2", sumV2}}) {
        SCOPED_TRACE(v.magic);
        std::remove(path.c_str());
        make(5);
        const std::string before = qortest::readFile(path);
        ASSERT_GE(before.size(), 3072u);
        auto le32 = [](uint32_t x) { return std::string(reinterpret_cast<const char*>(&x), 4); };
        const uint32_t nonce = 0x12345678u, size = static_cast<uint32_t>(before.size()), block = 1;
        std::string header = v.magic + le32(nonce) + le32(size) + le32(1024) + std::string(8, '\0');
        header += le32(fnv(2166136261u, header.data(), 28));
        const std::string original = before.substr(1024, 1024);
        // A second record whose sum is wrong ends the journal: its block is not put back.
        const std::string other = before.substr(2048, 1024);
        qortest::writeFile(journal, header + le32(block) + original + le32(v.sum(nonce, block, original)) + le32(2) +
                                        other + le32(v.sum(nonce, 2, other) ^ 1u));
        // The store as a crash left it: blocks 1 and 2 half written, and a block appended.
        std::string damaged = before;
        damaged.replace(1024, 512, std::string(512, '\x7f'));
        damaged.replace(2048, 16, std::string(16, '\x7e'));
        damaged += std::string(1024, 'z');
        qortest::writeFile(path, damaged);
        Book b;
        ASSERT_EQ(b.open(path), 0);
        ASSERT_EQ(b.close(), 0);
        EXPECT_FALSE(qortest::fileExists(journal));
        const std::string now = qortest::readFile(path);
        ASSERT_EQ(now.size(), before.size());
        EXPECT_EQ(now.substr(1024, 1024), before.substr(1024, 1024));
        EXPECT_EQ(now.substr(2048, 16), std::string(16, '\x7e'));
    }
}

}  // namespace
