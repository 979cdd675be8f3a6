// The log of received faxes in QORVQ: the record's bytes, walks and their filters, entry
// numbers, checked state writes, and a damaged database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorvq.h"
#include "qorvq_log.h"
#include "testprofile.h"

namespace {

template <typename T>
T v(T x) {
    return x;
}

class RecvLog : public ::testing::Test {
protected:
    void TearDown() override { VQ_closelogdb(); }

    // A fax of `pages` page files in the receive directory, entered in the log.
    LOG_RECORD add(int pages, char entry = 'R', char view = 'R', char print = 'N', uint16_t mailbox = 0) {
        char base[UL_MAXPATH];
        EXPECT_EQ(VQ_recvname(0, 0, base, sizeof base), 0);
        for (int k = 0; k < pages; ++k) std::ofstream(std::string(base) + "." + pad(k + 1)) << "page";
        VQ_LOGENTRY e;
        std::memset(&e, 0, sizeof e);
        const std::string name = std::string(base).substr(std::string(base).rfind('/') + 1) + ".001";
        UL_strcopy(e.faxfile, name.c_str());
        e.pages = static_cast<int16_t>(pages);
        e.entrystate = static_cast<uint16_t>(entry);
        e.viewstate = static_cast<uint16_t>(view);
        e.printstate = static_cast<uint16_t>(print);
        e.mailbox = mailbox;
        LOG_RECORD r;
        std::memcpy(&r, &e, sizeof r);
        EXPECT_EQ(VQ_addlog(0, 0, &r), 0);
        return r;
    }
    static std::string pad(int n) {
        char b[16];
        std::snprintf(b, sizeof b, "%03d", n);
        return b;
    }
    std::vector<LOG_RECORD> walk(const char* filter = "", int16_t mailbox = 0) {
        unsigned char cursor[VQ_CURSORSIZE] = {};
        std::memcpy(cursor + 4, filter, std::strlen(filter));
        std::memcpy(cursor + VQ_LOGMAILBOXAT, &mailbox, 2);
        std::vector<LOG_RECORD> out;
        EXPECT_EQ(VQ_openlog(0, 0, cursor), 0);
        for (;;) {
            LOG_RECORD r;
            int16_t found = 0;
            EXPECT_EQ(VQ_readlog(0, cursor, &r, &found), 0);
            if (!found) break;
            out.push_back(r);
        }
        EXPECT_EQ(VQ_closelog(0, cursor), 0);
        return out;
    }
    static int16_t write(LOG_RECORD* r) {
        unsigned char cursor[VQ_CURSORSIZE] = {};
        if (int16_t st = VQ_openlogupdate(0, 0, 0, cursor, 1)) return st;
        const int16_t st = VQ_writelog(0, cursor, r);
        VQ_closelog(0, cursor);
        return st;
    }

    qortest::TempProfile profile;
};

TEST_F(RecvLog, TheRecordKeepsItsBytesWhereTheyBelong) {
    char base[UL_MAXPATH];
    ASSERT_EQ(VQ_recvname(0, 0, base, sizeof base), 0);
    EXPECT_EQ(std::string(base), profile.path("recv/R00000001"));
    for (const char* ext : {".001", ".002"}) std::ofstream(std::string(base) + ext) << "x";
    VQ_LOGENTRY e;
    std::memset(&e, 0, sizeof e);
    UL_strcopy(e.faxfile, "R00000001.001");
    e.pages = 2;
    UL_strcopy(e.stationid, "+1 555 0100");
    UL_strcopy(e.caller, "5550100");
    e.resolution = 196;
    e.duration = 73;
    e.received = SF_DATETIME{2026, 3, 14, 9, 26, 53};
    LOG_RECORD r;
    std::memcpy(&r, &e, sizeof r);
    ASSERT_EQ(VQ_addlog(0, 0, &r), 0);
    EXPECT_EQ(v(r.entrynum), 1);

    const auto all = walk();
    ASSERT_EQ(all.size(), 1u);
    unsigned char bytes[332];
    std::memcpy(bytes, &all[0], sizeof bytes);
    auto u16 = [&](int at) { return bytes[at] | bytes[at + 1] << 8; };
    EXPECT_EQ(u16(12), 'R');  // entrystate: a fax received whole
    EXPECT_EQ(u16(32), 'R');  // viewstate: not yet looked at
    EXPECT_EQ(u16(34), 'N');  // printstate: not to be printed
    EXPECT_EQ(bytes[74] | bytes[75] << 8 | bytes[76] << 16 | bytes[77] << 24, 1);
    EXPECT_EQ(u16(78), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 80), "R00000001.001");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 36), "+1 555 0100");
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 160), "5550100");
    EXPECT_EQ(u16(0), 2026);
    EXPECT_EQ(u16(14), 196);
    EXPECT_EQ(u16(16), 73);

    // The stored blob is the record, too.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("recvlog.db").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT rec FROM log WHERE entry = 1", -1, &s, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    ASSERT_EQ(sqlite3_column_bytes(s, 0), 332);
    const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(s, 0));
    EXPECT_STREQ(reinterpret_cast<const char*>(blob + 80), "R00000001.001");
    sqlite3_finalize(s);
    sqlite3_close(db);

    char dir[UL_MAXPATH];
    ASSERT_EQ(VQ_recvdir(0, 0, 0, dir, sizeof dir), 0);
    EXPECT_EQ(std::string(dir), profile.path("recv/"));
    EXPECT_EQ(VQ_recvdir(0, 1, 0, dir, sizeof dir), VQ_E_NOLOG);
}

TEST_F(RecvLog, FilterLettersAndMailboxesChooseTheEntries) {
    add(1, 'R');
    add(1, 'P');
    add(1, 'E');
    add(1, 'D');
    add(1, 'R', 'R', 'N', 7);
    std::string states;
    for (const auto& r : walk("RPE")) states += static_cast<char>(r.entrystate);
    EXPECT_EQ(states, "RPER");
    EXPECT_EQ(walk().size(), 5u);     // no letters: every entry
    EXPECT_EQ(walk("D").size(), 1u);
    const auto box = walk("", 7);
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(v(box[0].entrynum), 5);
}

TEST_F(RecvLog, EntryNumbersAreNeverGivenTwice) {
    add(0);
    add(0);
    add(0);
    VQ_closelogdb();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("recvlog.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM log WHERE entry >= 2", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(v(add(0).entrynum), 4);
    char a[UL_MAXPATH], b[UL_MAXPATH];
    ASSERT_EQ(VQ_recvname(0, 0, a, sizeof a), 0);
    ASSERT_EQ(VQ_recvname(0, 0, b, sizeof b), 0);
    EXPECT_STRNE(a, b);
}

TEST_F(RecvLog, AddRefusesWhatItCannotList) {
    VQ_LOGENTRY e;
    std::memset(&e, 0, sizeof e);
    LOG_RECORD r;
    std::memcpy(&r, &e, sizeof r);
    EXPECT_EQ(VQ_addlog(0, 0, &r), VQ_E_BADLOG);  // no fax file
    UL_strcopy(e.faxfile, "R09.001");
    e.pages = 2;
    std::memcpy(&r, &e, sizeof r);
    EXPECT_EQ(VQ_addlog(0, 0, &r), VQ_E_NOPAGES);  // its pages are not there
    e.pages = 1000;
    std::memcpy(&r, &e, sizeof r);
    EXPECT_EQ(VQ_addlog(0, 0, &r), VQ_E_BADLOG);
    std::memset(e.faxfile, 'x', sizeof e.faxfile);  // no terminating NUL
    e.pages = 0;
    std::memcpy(&r, &e, sizeof r);
    EXPECT_EQ(VQ_addlog(0, 0, &r), VQ_E_BADLOG);
    EXPECT_EQ(VQ_addlog(0, 3, &r), VQ_E_NOLOG);
    EXPECT_TRUE(walk().empty());
}

TEST_F(RecvLog, AWriteNeverUndoesAnotherProgramsChange) {
    add(1, 'R', 'R', 'R');
    LOG_RECORD first = walk()[0], second = walk()[0];
    first.printstate = 'B';
    ASSERT_EQ(write(&first), 0);
    EXPECT_EQ(v(first.printstate), 'B');
    // The second reader wants to take the same fax: refused, nothing written.
    second.printstate = 'B';
    EXPECT_EQ(write(&second), VQ_E_CHANGED);
    // Another reader marks it seen; the first one's next write keeps that.
    LOG_RECORD third = walk()[0];
    third.viewstate = 'S';
    ASSERT_EQ(write(&third), 0);
    first.printstate = 'X';
    ASSERT_EQ(write(&first), 0);
    EXPECT_EQ(v(first.viewstate), 'S');  // brought up to date
    const LOG_RECORD now = walk()[0];
    EXPECT_EQ(v(now.printstate), 'X');
    EXPECT_EQ(v(now.viewstate), 'S');
    // A write needs a cursor opened for update, and an entry that exists.
    unsigned char cursor[VQ_CURSORSIZE] = {};
    EXPECT_EQ(VQ_writelog(0, cursor, &first), VQ_E_CURSOR);
    first.entrynum = 99;
    EXPECT_EQ(write(&first), VQ_E_NOENTRY);
}

TEST_F(RecvLog, AWalkSeesEntriesAddedDuringItInOrder) {
    for (int i = 0; i < 300; ++i) add(0);
    unsigned char cursor[VQ_CURSORSIZE] = {};
    ASSERT_EQ(VQ_openlog(0, 0, cursor), 0);
    std::vector<int32_t> seen;
    for (;;) {
        LOG_RECORD r;
        int16_t found = 0;
        ASSERT_EQ(VQ_readlog(0, cursor, &r, &found), 0);
        if (!found) break;
        const int32_t entry = r.entrynum;  // a copy: the packed field is not aligned
        seen.push_back(entry);
        if (seen.size() == 10 || seen.size() == 299) add(0);
    }
    VQ_closelog(0, cursor);
    ASSERT_EQ(seen.size(), 302u);
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<int32_t>(i + 1));
}

TEST_F(RecvLog, ADamagedDatabaseGivesAStatus) {
    add(0);
    VQ_closelogdb();
    {
        std::ofstream f(profile.path("recvlog.db"), std::ios::binary | std::ios::trunc);
        f << std::string(4096, '\x5a');
    }
    std::remove(profile.path("recvlog.db-wal").c_str());
    std::remove(profile.path("recvlog.db-shm").c_str());
    unsigned char cursor[VQ_CURSORSIZE] = {};
    EXPECT_EQ(VQ_openlog(0, 0, cursor), VQ_E_LOGDB);
    LOG_RECORD r;
    EXPECT_EQ(VQ_readlogentry(0, 0, 1, &r), VQ_E_LOGDB);
}

TEST_F(RecvLog, ARecordOfTheWrongSizeIsDamageNotACrash) {
    add(0);
    add(0);
    VQ_closelogdb();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("recvlog.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE log SET rec = x'0102' WHERE entry = 2", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    unsigned char cursor[VQ_CURSORSIZE] = {};
    ASSERT_EQ(VQ_openlog(0, 0, cursor), 0);
    LOG_RECORD r;
    int16_t found = 0;
    EXPECT_EQ(VQ_readlog(0, cursor, &r, &found), VQ_E_LOGDB);
    EXPECT_EQ(found, 0);
    VQ_closelog(0, cursor);
}

TEST_F(RecvLog, ALockHeldByAnotherProgramIsBusyAfterTheWait) {
    add(0);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(profile.path("recvlog.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    VQ_setlogbusytimeout(0);
    LOG_RECORD r = walk()[0];  // readers are never held up by a writer
    r.viewstate = 'S';
    EXPECT_EQ(write(&r), VQ_E_LOGBUSY);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    VQ_setlogbusytimeout(5000);
    EXPECT_EQ(write(&r), 0);
}

}  // namespace
