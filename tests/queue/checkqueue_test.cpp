// The queue count, the host's poll and the record of a purge line.
#include <sqlite3.h>

#include "sendtest.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


class CheckQueue : public qortest::SendTest {
protected:
    // Queues one job and gives it a status.
    void job(char status) {
        SendOptions o = options();
        ASSERT_EQ(qorsf::SF_sendfax(kHost, nullptr, 0, "1", &o), 0);
        QUEUE_RECORD r;
        ASSERT_EQ(VQ_readjob(0, o.jobNumber, &r), 0);
        r.status = static_cast<uint16_t>(status);
        ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    }
    struct Counts {
        uint16_t total = 1, sent = 1, failed = 1, held = 1;
    };
    int16_t check(Counts* c) { return SF_checkqueue(kHost, 0, &c->total, &c->sent, &c->failed, &c->held); }
};

TEST_F(CheckQueue, EmptyThenUnchanged) {
    Counts c;
    ASSERT_EQ(check(&c), 0);
    EXPECT_EQ(v(c.total), 0);
    EXPECT_EQ(v(c.sent), 0);
    Counts again{7, 7, 7, 7};
    ASSERT_EQ(check(&again), 0);
    EXPECT_EQ(v(again.total), 0xFFFF);
    EXPECT_EQ(v(again.sent), 7);  // untouched
    EXPECT_EQ(v(again.held), 7);
}

TEST_F(CheckQueue, CountsByStatus) {
    for (char s : std::string("QWXUSAEIDae")) job(s);
    Counts c;
    ASSERT_EQ(check(&c), 0);
    EXPECT_EQ(v(c.total), 8);  // D, a and e never count
    EXPECT_EQ(v(c.sent), 1);
    EXPECT_EQ(v(c.failed), 2);
    EXPECT_EQ(v(c.held), 1);
    EXPECT_EQ(qorsf::queueState().cache.waiting, 2);
    EXPECT_FALSE(qorsf::queueState().dirty);
    EXPECT_EQ(L1_lockdepth(), 0);
    job('S');  // a change of the queue: counted afresh
    ASSERT_EQ(check(&c), 0);
    EXPECT_EQ(v(c.total), 9);
    EXPECT_EQ(v(c.sent), 2);
}

TEST_F(CheckQueue, OnlyDeletedRecordsCountNothing) {
    for (char s : std::string("Dae")) job(s);
    Counts c;
    ASSERT_EQ(check(&c), 0);
    EXPECT_EQ(v(c.total), 0);
}

TEST_F(CheckQueue, AFailedCountIsRetriedAtTheNextPoll) {
    job('Q');
    VQ_shutdown(0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("queue.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    VQ_setbusytimeout(0);
    Counts c{5, 5, 5, 5};
    EXPECT_EQ(check(&c), VQ_E_BUSY);
    EXPECT_EQ(v(c.total), 5);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    VQ_setbusytimeout(5000);
    ASSERT_EQ(check(&c), 0);
    EXPECT_EQ(v(c.total), 1);  // not "unchanged": the failed poll had not counted
}

TEST_F(CheckQueue, APurgedRecordParsesBackIntoTheSameRecord) {
    SendOptions o = options();
    UL_strcopy(o.recipientName, "Grace Hopper");
    UL_strcopy(o.sender, "Navy");
    UL_strcopy(o.note, "compiler notes");
    o.sendTime = SF_DATETIME{2026, 12, 31, 23, 59, 58};
    ASSERT_EQ(qorsf::SF_sendfax(kHost, nullptr, 0, "+1 (555) 010-0199", &o), 0);
    QUEUE_RECORD r;
    ASSERT_EQ(VQ_readjob(0, o.jobNumber, &r), 0);
    r.status = 'D';
    UL_strcopy(r.code1, "0123456789");
    UL_strcopy(r.code2, "C2");
    r.info1 = 12;
    r.info2 = 2147483647;
    r.progress1 = 3;
    r.progress2 = -4;
    r.errorcode = 65535;
    r.info3 = -1234;
    UL_strcopy(r.info4, "twenty characters!!!");
    r.info5 = 99;
    r.info7 = 31000;
    r.info8 = 999;
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    ASSERT_EQ(VQ_purgequeue(0), 0);
    const std::string line = qortest::readFile(profile.path("purge.lst"));
    ASSERT_EQ(line.size(), 480u);
    QUEUE_RECORD back;
    ASSERT_EQ(qorsf::SF_recordfrompurgeline(kHost, line.data(), &back), 0);
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
    EXPECT_STREQ(back.recipient, "Grace Hopper");
    EXPECT_STREQ(back.info6, "compiler notes");
}

TEST_F(CheckQueue, PurgeLineColumnsAndErrors) {
    std::string line(480, ' ');
    line.replace(145, 12, "000012345678");
    line.replace(45, 14, "00000000000000");
    line[27] = 'S';
    line.replace(31, 5, "  -42");
    line.replace(161, 7, "555 123");
    line[168] = '\0';
    QUEUE_RECORD r;
    ASSERT_EQ(qorsf::SF_recordfrompurgeline(kHost, line.data(), &r), 0);
    EXPECT_EQ(v(r.jobnumhigh), 123);
    EXPECT_EQ(v(r.jobnum), 45678u);
    EXPECT_EQ(v(r.status), 'S');
    EXPECT_EQ(v(r.info7), -42);
    EXPECT_STREQ(r.number, "555 123");
    EXPECT_EQ(v(r.sendtime.year), 0);
    line.replace(45, 14, "2026133100000x");
    EXPECT_EQ(qorsf::SF_recordfrompurgeline(kHost, line.data(), &r), UL_E_NOTIME);
}

}  // namespace
