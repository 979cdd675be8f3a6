// The job actions of the queue window: hold, release, send now, resend failed, a new number in
// the job control file, the page copies of a job and the queue report.
#include <filesystem>

#include "qorwinuser.h"
#include "queue/actions.h"
#include "queue/jobs.h"
#include "report/report.h"
#include "sendtest.h"

namespace {

template <typename T>
T v(T x) {
    return x;
}

bool isZero(const SF_DATETIME& t) { return !t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second; }

class QueueJobs : public qortest::SendTest {
protected:
    // Queues one job to `number` with the documents and gives it a status.
    QUEUE_RECORD job(char status, const std::string& number = "1", const std::vector<std::string>& files = {},
                     const std::string& prefix = "") {
        SendOptions o = options();
        UL_strcopy(o.recipientName, ("To " + number).c_str());
        UL_strcopy(o.dialPrefix, prefix.c_str());
        std::vector<DocumentEntry> docs;
        for (const std::string& f : files) docs.push_back(doc(1, f));
        EXPECT_EQ(qorsf::SF_sendfax(kHost, docs.data(), static_cast<int16_t>(docs.size()), number.c_str(), &o), 0);
        QUEUE_RECORD r;
        EXPECT_EQ(VQ_readjob(0, o.jobNumber, &r), 0);
        r.status = static_cast<uint16_t>(status);
        r.progress1 = 7;
        r.progress2 = 8;
        r.sendtime = SF_DATETIME{2027, 1, 1, 8, 0, 0};
        EXPECT_EQ(VQ_writejob(0, &r, 3), 0);
        return r;
    }
    QUEUE_RECORD now(const QUEUE_RECORD& r) {
        QUEUE_RECORD out;
        EXPECT_EQ(VQ_readjob(0, r.jobnum, &out), 0);
        return out;
    }
    std::string controlPath(const QUEUE_RECORD& r) {
        char path[80];
        UL_strcopy(path, r.jobfile);
        UL_fullpath(0, path, sizeof path);
        return path;
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(profile.path("docs"));
        const std::string p = profile.path("docs/" + name);
        qortest::writeFile(p, bytes);
        return p;
    }
    void setSystemValue10(const char* value) {
        ASSERT_TRUE(WritePrivateProfileStringA("SYSTEM", "Value10", value, profile.path("qorfax.ini").c_str()));
    }
};

TEST_F(QueueJobs, HoldReleaseAndSendNowActOnlyOnTheStatusTheyAreFor) {
    const QUEUE_RECORD waiting = job('Q'), sent = job('S');
    QUEUE_RECORD r = sent;
    bool changed = true;
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::Hold, &changed), 0);
    EXPECT_FALSE(changed) << "a sent job is not held";
    EXPECT_EQ(v(now(sent).status), 'S');

    r = waiting;
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::Hold, &changed), 0);
    EXPECT_TRUE(changed);
    EXPECT_EQ(v(now(waiting).status), 'U');
    EXPECT_TRUE(qorsf::queueState().dirty);
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::SendNow, &changed), 0);
    EXPECT_FALSE(changed) << "a held job is not sent now";
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::Release, &changed), 0);
    EXPECT_TRUE(changed);
    EXPECT_EQ(v(now(waiting).status), 'Q');

    // Send now: the driven clock's time, or as soon as possible with system value 10 set.
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::SendNow, &changed), 0);
    SF_DATETIME t;
    UL_now(&t);
    const QUEUE_RECORD sentNow = now(waiting);
    EXPECT_EQ(std::memcmp(&sentNow.sendtime, &t, sizeof t), 0);
    setSystemValue10("1");
    ASSERT_EQ(qorsf::SF_jobaction(kHost, &r, qorsf::JobAction::SendNow, &changed), 0);
    EXPECT_TRUE(isZero(now(waiting).sendtime));
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(QueueJobs, ResendFailedRequeuesOnlyFailedJobsAndSendAllNowTakesEveryWaitingOne) {
    std::vector<QUEUE_RECORD> jobs;
    for (char s : std::string("AEQWSUI")) jobs.push_back(job(s));
    uint32_t count = 0;
    ASSERT_EQ(qorsf::SF_resendfailed(kHost, &count), 0);
    EXPECT_EQ(count, 2u);
    std::string statuses;
    for (const QUEUE_RECORD& r : jobs) statuses += static_cast<char>(now(r).status);
    EXPECT_EQ(statuses, "QQQWSUI");
    EXPECT_EQ(v(now(jobs[0]).progress1), 0);
    EXPECT_EQ(v(now(jobs[1]).progress2), 0);
    EXPECT_EQ(v(now(jobs[2]).progress1), 7) << "a job that was not failed keeps its progress";

    setSystemValue10("1");
    ASSERT_EQ(qorsf::SF_sendallnow(kHost, &count), 0);
    EXPECT_EQ(count, 4u);
    for (std::size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(isZero(now(jobs[i]).sendtime), i < 4) << i;
    ASSERT_EQ(qorsf::SF_resendfailed(kHost, &count), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(QueueJobs, ANewNumberRewritesExactlyTheDialLine) {
    // A document path with lower case letters and "dial" inside it: neither may change.
    const std::string page = file("dialogs-Memo.001", "page");
    const QUEUE_RECORD failed = job('A', "5550100", {page}, "9");
    const std::string path = controlPath(failed);
    const std::string before = qortest::readFile(path);
    ASSERT_EQ(before.rfind("DIAL 9|5550100|\r\n", 0), 0u) << before;

    char dial[80] = {};
    ASSERT_EQ(qorsf::SF_changebatchphone(kHost, path.c_str(), dial, sizeof dial), 0);
    EXPECT_STREQ(dial, "9|5550100|");

    QUEUE_RECORD r = failed;
    ASSERT_EQ(qorsf::SF_changejobnumber(kHost, &r, "5550199"), 0);
    std::string expected = before;
    expected.replace(0, std::string("DIAL 9|5550100|").size(), "DIAL 9|5550199|");
    EXPECT_EQ(qortest::readFile(path), expected);
    const QUEUE_RECORD after = now(failed);
    EXPECT_STREQ(after.number, "5550199");
    EXPECT_EQ(v(after.status), 'Q');
    EXPECT_EQ(v(after.progress1), 0);
    EXPECT_EQ(v(after.progress2), 0);

    // A waiting job keeps its number: the record and the file stay as they are.
    const std::string now2 = qortest::readFile(path);
    r = after;
    EXPECT_EQ(qorsf::SF_changejobnumber(kHost, &r, "1234"), qorsf::SF_E_JOBSTATE);
    EXPECT_EQ(qortest::readFile(path), now2);
    EXPECT_STREQ(now(failed).number, "5550199");

    // A control file without a dial line is reported and left alone.
    const std::string bad = file("bad.SPL", "FAX /x\r\nEND\r\n");
    char number[] = "1";
    EXPECT_EQ(qorsf::SF_changebatchphone(kHost, bad.c_str(), number, sizeof number), VQ_E_JOBFILE);
    EXPECT_EQ(qortest::readFile(bad), "FAX /x\r\nEND\r\n");
}

TEST_F(QueueJobs, PageCopiesSkipARepeatedFileAndEndAtAMissingOne) {
    const std::string a = file("a.001", "first"), b = file("b.001", "second"), d = file("d.001", "fourth");
    const QUEUE_RECORD r = job('Q', "1", {a, a, b, profile.path("docs/gone.001"), d});
    char page0[80];
    int16_t count = 0;
    ASSERT_EQ(qorsf::SF_preparepages(kHost, r, page0, sizeof page0, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(qortest::readFile(page0), "first");
    EXPECT_EQ(qortest::readFile(UX_pagefilename(page0, 1)), "second");
    EXPECT_FALSE(qortest::fileExists(UX_pagefilename(page0, 2)));
    qorsf::SF_droppages(kHost, page0, count);
    EXPECT_FALSE(qortest::fileExists(page0));
    EXPECT_TRUE(qortest::fileExists(a)) << "the job's own files stay";

    const QUEUE_RECORD none = job('Q', "2", {profile.path("docs/gone.001")});
    EXPECT_EQ(qorsf::SF_preparepages(kHost, none, page0, sizeof page0, &count), qorsf::SF_E_NOPAGES);
    EXPECT_EQ(count, 0);

    // Added to the document list: one fax document of both pages, the copies its own.
    ASSERT_EQ(qorsf::SF_addqueuetofolder(kHost, &r), 0);
    int16_t docs = 0;
    ASSERT_EQ(FN_doccount(kHost, &docs), 0);
    EXPECT_EQ(docs, 1);
    int32_t pages = 0;
    ASSERT_EQ(FN_selectdoc(kHost, 1), 0);
    ASSERT_EQ(FN_docinfo(kHost, 2, &pages), 0);
    EXPECT_EQ(pages, 2);
}

TEST_F(QueueJobs, TheQueueReportListsEveryJobButTheDeletedOnes) {
    QUEUE_RECORD kept = job('S', "5550111");
    job('D', "5550222");
    QUEUE_RECORD held = job('U', "5550333");
    (void)kept;
    (void)held;
    const std::string out = profile.path("queue.txt");
    ASSERT_EQ(qorsf::SF_queuereport(kHost, out.c_str()), 0);
    const std::string text = qortest::readFile(out);
    EXPECT_NE(text.find("To 5550111"), std::string::npos) << text;
    EXPECT_NE(text.find("5550333"), std::string::npos) << text;
    EXPECT_EQ(text.find("5550222"), std::string::npos) << "a deleted job is not listed";
    char sentText[80], heldText[80];
    ASSERT_EQ(VQ_statustext(0, 'S', sentText, sizeof sentText), 0);
    ASSERT_EQ(VQ_statustext(0, 'U', heldText, sizeof heldText), 0);
    EXPECT_NE(text.find(std::string("Status ") + sentText), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("Status ") + heldText), std::string::npos) << text;
    EXPECT_LT(text.find("5550111"), text.find("5550333")) << "in the queue's order";
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(QueueJobs, QorfaxVerbsGoThroughTheSameActions) {
    const std::string a = file("a.001", "first");
    const QUEUE_RECORD one = job('Q', "111", {a}), two = job('S', "222", {a});
    auto run = [&](const std::string& args) { return qortest::runQorfax(QORFAX_BINARY, profile.root(), args); };
    const std::string n1 = std::to_string(qorsf::SF_jobnumber(one)), n2 = std::to_string(qorsf::SF_jobnumber(two));
    qortest::CommandResult r = run("queue hold " + n1 + " " + n2);
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "held job " + n1 + "\n");
    EXPECT_NE(r.err.find("job " + n2 + " is not waiting"), std::string::npos) << r.err;
    EXPECT_EQ(v(now(one).status), 'U');
    r = run("queue release " + n1);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(v(now(one).status), 'Q');
    r = run("queue number " + n2 + " 333");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(qortest::readFile(controlPath(two)).rfind("DIAL 333\r\n", 0), 0u);
    EXPECT_EQ(run("queue number " + n1 + " 444").exit, 1) << "a waiting job keeps its number";
    EXPECT_EQ(run("queue number " + n1).exit, 2);
    EXPECT_EQ(run("queue view 99999").exit, 1);
    EXPECT_EQ(run("queue save " + n1).exit, 2) << "save needs --out";
    r = run("queue report --out " + profile.path("r.txt"));
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(qortest::readFile(profile.path("r.txt")).find("333"), std::string::npos);
    r = run("queue delete " + n1 + " " + n2);
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(v(now(one).status), 'D');
    EXPECT_TRUE(qortest::fileExists(a)) << "an unspooled document is not the queue's to delete";
}

}  // namespace
