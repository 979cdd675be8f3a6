// The queue store: job numbers, walks with a status filter, reads and writes by number, the
// change snapshot, the purge list, and a locked or damaged database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "qorul.h"
#include "qorvq.h"
#include "queuewalk.h"
#include "testprofile.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


class VqQueue : public ::testing::Test {
protected:
    void TearDown() override {
        VQ_shutdown(0);
        VQ_setbusytimeout(5000);
    }

    SendJobRecord job(const char* number, const char* name = "Ada") {
        SendJobRecord j;
        std::memset(&j, 0, sizeof j);
        UL_strcopy(j.jobfile, profile.path("spool/0000000A.SPL").c_str());
        UL_strcopy(j.number, number);
        UL_strcopy(j.sender, "Sender");
        UL_strcopy(j.recipientName, name);
        UL_strcopy(j.note, "a note");
        j.sendTime = SF_DATETIME{2026, 3, 15, 8, 30, 0};
        j.status = 'Q';
        return j;
    }

    std::vector<QUEUE_RECORD> walk(const char* filter = "") { return qortest::queueRecords(filter); }

    qortest::TempProfile profile;
};

TEST_F(VqQueue, AddJobMakesAWaitingRecordUnderIncreasingNumbers) {
    uint32_t n1 = 0, n2 = 0;
    SendJobRecord j = job("5551234");
    ASSERT_EQ(VQ_addjob(0, &j, &n1), 0);
    ASSERT_EQ(VQ_addjob(0, &j, &n2), 0);
    EXPECT_EQ(n1, 1u);
    EXPECT_EQ(n2, 2u);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, n1, &r), 0);
    EXPECT_EQ(v(r.status), 'Q');
    EXPECT_STREQ(r.number, "5551234");
    EXPECT_STREQ(r.recipient, "Ada");
    EXPECT_STREQ(r.sender, "Sender");
    EXPECT_STREQ(r.jobfile, "0000000A.SPL");  // a spool file is kept by its bare name
    EXPECT_STREQ(r.info6, "a note");
    EXPECT_EQ(v(r.sendtime.day), 15);
    EXPECT_EQ(v(r.jobnumhigh), 0);
    EXPECT_TRUE(qortest::fileExists(profile.path("queue.db")));
}

TEST_F(VqQueue, JobNumbersAreNeverReusedAfterAPurge) {
    SendJobRecord j = job("1");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, n, &r), 0);
    r.status = 'D';
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    ASSERT_EQ(VQ_purgequeue(0), 0);
    EXPECT_TRUE(walk().empty());
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    EXPECT_EQ(n, 2u);
}

TEST_F(VqQueue, TwelveDigitNumbersSplitAndRunOut) {
    // Set the last number near the top of the twelve digits directly in the store.
    SendJobRecord j = job("1");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    VQ_shutdown(0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("queue.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE meta SET value = 999999999998 WHERE key = 'lastjob'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    EXPECT_EQ(VQ_lastjobnumber(), 999999999999ULL);
    EXPECT_EQ(n, 99999u);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, 99999, &r), 0);
    EXPECT_EQ(v(r.jobnumhigh), 9999999);
    EXPECT_EQ(VQ_addjob(0, &j, &n), VQ_E_FULL);
    EXPECT_EQ(walk().size(), 2u);
}

TEST_F(VqQueue, TextsThatDoNotFitAreRefusedNotCut) {
    SendJobRecord j = job("1");
    std::memset(j.number, '7', 51);  // 51 characters: more than the record's 50
    j.number[51] = '\0';
    uint32_t n = 0;
    EXPECT_EQ(VQ_addjob(0, &j, &n), VQ_E_BADJOB);
    j = job("1");
    // A job control file outside the spool directory longer than 60 characters.
    std::string longPath = "/" + std::string(70, 'x');
    UL_strcopy(j.jobfile, longPath.c_str());
    EXPECT_EQ(VQ_addjob(0, &j, &n), VQ_E_BADJOB);
    EXPECT_TRUE(walk().empty());
}

TEST_F(VqQueue, WalkFiltersByStatusLetters) {
    SendJobRecord j = job("1");
    const char statuses[] = "QEASUD";
    for (char c : std::string(statuses)) {
        uint32_t n = 0;
        ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
        QUEUE_RECORD r;
        ASSERT_EQ(VQ_readjob(0, n, &r), 0);
        r.status = static_cast<uint16_t>(c);
        ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    }
    EXPECT_EQ(walk().size(), 6u);
    auto failed = walk("EA");
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(v(failed[0].status), 'E');
    EXPECT_EQ(v(failed[1].status), 'A');
    EXPECT_EQ(v(failed[0].jobnum), 2u);
}

TEST_F(VqQueue, CursorAndWriteMisuseGiveStatuses) {
    unsigned char cursor[VQ_CURSORSIZE] = {};
    QUEUE_RECORD r{};
    int16_t found = 1;
    EXPECT_EQ(VQ_readnext(0, cursor, &r, &found), VQ_E_CURSOR);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(VQ_closequeue(0, cursor), VQ_E_CURSOR);
    r.jobnum = 42;
    EXPECT_EQ(VQ_writejob(0, &r, 3), VQ_E_NOJOB);
    EXPECT_EQ(VQ_writejob(0, &r, 1), VQ_E_MODE);
    EXPECT_EQ(VQ_readjob(0, 42, &r), VQ_E_NOJOB);
}

TEST_F(VqQueue, SnapshotSeesChangesOfAnotherConnection) {
    unsigned char snap[VQ_SNAPSHOTSIZE] = {};
    int16_t changed = 0;
    ASSERT_EQ(VQ_queuechanged(0, snap, &changed), 0);
    EXPECT_EQ(changed, 1);  // an empty queue, first look
    ASSERT_EQ(VQ_queuechanged(0, snap, &changed), 0);
    EXPECT_EQ(changed, 0);
    // Another process's change is a change of the counter in the database itself.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("queue.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE meta SET value = value + 1 WHERE key = 'changes'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(VQ_queuechanged(0, snap, &changed), 0);
    EXPECT_EQ(changed, 1);
    SendJobRecord j = job("1");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    ASSERT_EQ(VQ_queuechanged(0, snap, &changed), 0);
    EXPECT_EQ(changed, 1);
}

TEST_F(VqQueue, PurgeWritesOneLinePerDeletedJobAndParsesBack) {
    SendJobRecord j = job("0049 30 1234", "Grace Hopper");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, n, &r), 0);
    r.status = 'D';
    UL_strcopy(r.code1, "C1");
    r.info7 = 12345;
    r.errorcode = 321;
    r.info2 = -77;
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);  // stays: status Q
    ASSERT_EQ(VQ_purgequeue(0), 0);
    const std::string purge = qortest::readFile(profile.path("purge.lst"));
    ASSERT_EQ(purge.size(), VQ_PURGELINESIZE);
    EXPECT_EQ(purge.substr(145, 12), "000000000001");
    EXPECT_EQ(purge[27], 'D');
    EXPECT_EQ(purge.substr(45, 14), "20260315083000");
    EXPECT_EQ(purge.substr(31, 5), "12345");
    EXPECT_EQ(purge.substr(478, 2), "\r\n");
    EXPECT_EQ(std::string(purge.c_str() + 440), "Grace Hopper");
    EXPECT_EQ(walk().size(), 1u);
    // A second purge with nothing deleted adds nothing.
    ASSERT_EQ(VQ_purgequeue(0), 0);
    EXPECT_EQ(qortest::readFile(profile.path("purge.lst")).size(), VQ_PURGELINESIZE);
}

TEST_F(VqQueue, ParseTimeAcceptsRealDatesAndZeros) {
    SF_DATETIME t;
    ASSERT_EQ(VQ_parsetime(0, "20240229235959", &t), 0);
    EXPECT_EQ(v(t.year), 2024);
    EXPECT_EQ(v(t.second), 59);
    ASSERT_EQ(VQ_parsetime(0, "00000000000000", &t), 0);
    EXPECT_EQ(v(t.year), 0);
    EXPECT_EQ(VQ_parsetime(0, "20230229000000", &t), UL_E_NOTIME);
    EXPECT_EQ(VQ_parsetime(0, "2024013100000x", &t), UL_E_NOTIME);
    EXPECT_EQ(VQ_parsetime(0, "20241301000000", &t), UL_E_NOTIME);
    EXPECT_EQ(VQ_parsetime(0, "20240101240000", &t), UL_E_NOTIME);
}

TEST_F(VqQueue, StatusTextsComeFromTheLanguageModule) {
    char buf[80];
    ASSERT_EQ(VQ_statustext(0, 'Q', buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Waiting");
    ASSERT_EQ(VQ_statustext(0, 'U', buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "On hold");
    ASSERT_EQ(VQ_statustext(0, 'z', buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Unknown");
}

TEST_F(VqQueue, ALockedDatabaseGivesBusyAndTheJobIsNotAdded) {
    SendJobRecord j = job("1");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("queue.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    VQ_setbusytimeout(0);
    EXPECT_EQ(VQ_addjob(0, &j, &n), VQ_E_BUSY);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(walk().size(), 1u);
}

TEST_F(VqQueue, ADamagedDatabaseIsRefusedAndLeftAsItWas) {
    const std::string junk(8192, 'x');
    qortest::writeFile(profile.path("queue.db"), junk);
    SendJobRecord j = job("1");
    uint32_t n = 0;
    EXPECT_EQ(VQ_addjob(0, &j, &n), VQ_E_DB);
    unsigned char snap[VQ_SNAPSHOTSIZE] = {};
    int16_t changed = 0;
    EXPECT_EQ(VQ_queuechanged(0, snap, &changed), VQ_E_DB);
    EXPECT_EQ(qortest::readFile(profile.path("queue.db")), junk);
}

TEST_F(VqQueue, ResetTurnsBusyJobsBackIntoWaiting) {
    SendJobRecord j = job("1");
    uint32_t n = 0;
    ASSERT_EQ(VQ_addjob(0, &j, &n), 0);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, n, &r), 0);
    r.status = 'I';
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    ASSERT_EQ(VQ_resetsys(0, 0, 1), 0);
    ASSERT_EQ(VQ_readjob(0, n, &r), 0);
    EXPECT_EQ(v(r.status), 'Q');
}

}  // namespace
