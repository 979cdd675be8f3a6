// A three-recipient send ended at every single write: by a process that stops on the spot (no
// further write, no clean-up), and by a full disk failing that one write. After the recovery
// pass the queue, the delete list and the spool agree, and no queued job lost a file.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "faxfile.h"
#include "qorul_durable.h"
#include "send/recovery.h"
#include "sendtest.h"
#include "spoolcheck.h"

namespace {

using qortest::SendTest;

class CrashTest : public SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        const std::string tif = profile.path("page.tif");
        ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_CCITTFAX3, 1, "desc", "docname"));
        ASSERT_EQ(FN_adddocument(0, tif.c_str(), 1, 0), 0);
        const std::string text = profile.path("memo.txt");
        qortest::writeFile(text, "a memo\n");
        ASSERT_EQ(FN_adddocument(0, text.c_str(), 1, 0), 0);
    }
    void TearDown() override {
        qorul::disarmWritePoints();
        SendTest::TearDown();
    }
    static int16_t sendToThree(int16_t* queued = nullptr) {
        SendOptions o;
        std::memset(&o, 0, sizeof o);
        o.deleteAfterSend = 1;
        const std::vector<qorsf::FolderRecipient> to = {{"111", "Ada"}, {"222", "Bob"}, {"333", "Cy"}};
        return qorsf::SF_faxfolderto(kHost, to, &o, queued);
    }
    // The writes of one whole send, counted on a send that runs through.
    long writesOfOneSend() {
        qorul::disarmWritePoints();
        EXPECT_EQ(sendToThree(), 0);
        return qorul::writePointsPassed();
    }
};

TEST_F(CrashTest, AProcessKilledAtAnyWriteLeavesNothingThatTheRecoveryPassCannotMend) {
    const long writes = writesOfOneSend();
    ASSERT_GT(writes, 10);
    ASSERT_TRUE(qortest::checkAgreement(profile).ok());
    int points = 0, damaged = 0, lost = 0, completed = 0;
    for (long n = 1; n <= writes + 1; ++n) {
        const int jobsBefore = qortest::checkAgreement(profile).jobs;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            qorul::armWritePoint(n, qorul::WriteFault::Crash);
            _exit(sendToThree() == 0 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        const bool crashed = WEXITSTATUS(status) == qorul::kCrashExitStatus;
        if (!crashed) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << "write " << n;
            ++completed;
        }
        ++points;
        qorsf::SpoolReport report;
        ASSERT_EQ(qorsf::SF_recoverspool(kHost, &report), 0) << "write " << n;
        const qortest::Agreement a = qortest::checkAgreement(profile);
        if (!a.ok()) ++damaged;
        lost += a.lost;
        EXPECT_TRUE(a.ok()) << "crash at write " << n << ":\n" << a.text();
        // The send in progress is wholly there for each job it queued, or absent.
        EXPECT_GE(a.jobs, jobsBefore);
        EXPECT_LE(a.jobs, jobsBefore + 3);
        if (!crashed) {
            EXPECT_EQ(a.jobs, jobsBefore + 3);
        }
    }
    EXPECT_EQ(completed, 1);  // only the point past the last write lets the send finish
    std::printf("three-recipient send: %d crash points, %d damaged, %d jobs lost\n", points, damaged, lost);
    RecordProperty("crash_points", points);
    RecordProperty("damaged", damaged);
    RecordProperty("lost", lost);
}

TEST_F(CrashTest, AFullDiskAtAnyWriteFailsTheSendCleanlyAndLosesNothing) {
    const long writes = writesOfOneSend();
    int points = 0, damaged = 0, lost = 0;
    for (long n = 1; n <= writes; ++n) {
        const int jobsBefore = qortest::checkAgreement(profile).jobs;
        qorul::armWritePoint(n, qorul::WriteFault::Fail);
        int16_t queued = 0;
        const int16_t st = sendToThree(&queued);
        qorul::disarmWritePoints();
        ++points;
        EXPECT_EQ(L1_lockdepth(), 0);
        // What the failed send says it queued is what the queue holds, and its own clean-up
        // already left the holds and the spool in agreement.
        qortest::Agreement a = qortest::checkAgreement(profile);
        if (st == 0) {
            EXPECT_EQ(a.jobs, jobsBefore + 3) << "write " << n;
        } else {
            EXPECT_EQ(a.jobs, jobsBefore + queued) << "write " << n;
        }
        // A failing delete or clean-up write leaves the mark: the pass mends the rest.
        qorsf::SpoolReport report;
        ASSERT_EQ(qorsf::SF_recoverspool(kHost, &report), 0) << "write " << n;
        a = qortest::checkAgreement(profile);
        if (!a.ok()) ++damaged;
        lost += a.lost;
        EXPECT_TRUE(a.ok()) << "disk full at write " << n << ":\n" << a.text();
    }
    std::printf("three-recipient send, disk full: %d write points, %d damaged, %d jobs lost\n", points, damaged, lost);
    RecordProperty("write_points", points);
    RecordProperty("damaged", damaged);
}

TEST_F(CrashTest, TheNextStartMendsWhatAKilledSendLeft) {
    // What a send killed after its holds leaves: a copy and a control file no job names, the
    // copy held three times, a temporary of a copy, and the mark.
    const std::string copy = profile.path("spool/0000ABCD.SPL.001");
    const std::string control = profile.path("spool/0000ABCE.SPL");
    const std::string temp = profile.path("spool/0000ABCD.SPL.002.x1Y2z3");
    qortest::writeFile(copy, "copy");
    qortest::writeFile(control, "DIAL 1\r\nDELETE  0\r\nFINE  0\r\nTEXT " + copy + "\r\nEND\r\n");
    qortest::writeFile(temp, "half");
    qortest::writeFile(profile.path("spool/send.pending"), "");
    qortest::writeFile(profile.path("spool/notes.txt"), "not the library's");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, copy.c_str(), 3), 0);
    const std::string outside = profile.path("elsewhere.txt");
    qortest::writeFile(outside, "the user's");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, outside.c_str(), 1), 0);
    // A queued job whose hold was lost.
    const std::string kept = profile.path("kept.txt");
    qortest::writeFile(kept, "kept");
    const DocumentEntry docs[] = {doc(2, kept)};
    SendOptions o = options();
    ASSERT_EQ(qorsf::SF_sendfax(kHost, docs, 1, "555", &o), 0);

    SF_close(kHost);
    qorsf::frame_reset();
    ASSERT_EQ(SF_open(kHost), 0);  // the mark is found: the pass runs
    EXPECT_FALSE(qortest::fileExists(copy));
    EXPECT_FALSE(qortest::fileExists(control));
    EXPECT_FALSE(qortest::fileExists(temp));
    EXPECT_FALSE(qortest::fileExists(profile.path("spool/send.pending")));
    EXPECT_TRUE(qortest::fileExists(profile.path("spool/notes.txt")));
    EXPECT_TRUE(qortest::fileExists(outside));  // not the library's to delete: only unheld
    EXPECT_TRUE(qortest::fileExists(kept));
    const qortest::Agreement a = qortest::checkAgreement(profile);
    EXPECT_TRUE(a.ok()) << a.text();
    auto list = delList();
    int inUse = 0;
    for (const auto& r : list)
        if (r.inuse) {
            ++inUse;
            EXPECT_EQ(std::string(r.path), kept);
            EXPECT_EQ(r.count, 1);
        }
    EXPECT_EQ(inUse, 1);
}

TEST_F(CrashTest, ADuplicateRecordOfANeededFileGoesAndTheFileStays) {
    const std::string kept = profile.path("spool/0000ABCD.SPL.001");
    qortest::writeFile(kept, "needed");
    const DocumentEntry docs[] = {doc(2, kept)};
    SendOptions o = options();
    ASSERT_EQ(qorsf::SF_sendfax(kHost, docs, 1, "555", &o), 0);
    DEL_RECORD r{};
    r.count = 2;
    r.inuse = 'n';
    UL_strcopy(r.path, kept.c_str());
    std::string list(reinterpret_cast<const char*>(&r), sizeof r);
    UL_strcopy(r.path, qortest::lowerText(kept).c_str());
    list.append(reinterpret_cast<const char*>(&r), sizeof r);
    qortest::writeFile(profile.path("data/delfile.lis"), list);
    qorsf::SpoolReport report;
    ASSERT_EQ(qorsf::SF_recoverspool(kHost, &report), 0);
    EXPECT_TRUE(qortest::fileExists(kept));
    const qortest::Agreement a = qortest::checkAgreement(profile);
    EXPECT_TRUE(a.ok()) << a.text();
}

TEST_F(CrashTest, NothingIsRemovedWhileAJobsControlFileCannotBeRead) {
    const DocumentEntry docs[] = {doc(2, profile.path("memo.txt"))};
    SendOptions o = options();
    ASSERT_EQ(qorsf::SF_sendfax(kHost, docs, 1, "555", &o), 0);
    const QUEUE_RECORD job = queue().at(0);
    char path[80];
    UL_strcopy(path, job.jobfile);
    UL_fullpath(0, path, sizeof path);
    qortest::writeFile(path, "DIAL 555\r\ngarbage");
    const std::string orphan = profile.path("spool/0000ABCD.SPL.001");
    qortest::writeFile(orphan, "maybe the job's");
    qorsf::SpoolReport report;
    ASSERT_EQ(qorsf::SF_recoverspool(kHost, &report), 0);
    EXPECT_TRUE(qortest::fileExists(orphan));
    ASSERT_EQ(report.unreadableControlFiles.size(), 1u);
    EXPECT_EQ(report.unreadableControlFiles[0], path);
}

}  // namespace
