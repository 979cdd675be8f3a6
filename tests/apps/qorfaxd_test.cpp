// The fax engine driven as a user runs it: qorfax queues, qorfaxd sends over its line, and what
// arrives is compared with what was sent, page by page and bit by bit.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "eventually.h"
#include "qordoc.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorul_control.h"
#include "qorux.h"
#include "qorvq.h"
#include "qorvq_log.h"
#include "queue/actions.h"
#include "logwalk.h"
#include "queuewalk.h"
#include "testprofile.h"

namespace {

using qortest::CommandResult;

CommandResult qorfax(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAX_BINARY, profile, args);
}
CommandResult qorfaxd(const std::string& profile, const std::string& args) {
    return qortest::runQorfaxMerged(QORFAXD_BINARY, profile, args);
}

// An engine running in the background until the test stops it.
class Background {
public:
    Background(const std::string& profile, const std::string& args = "--quiet") {
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(QORFAXD_BINARY, QORFAXD_BINARY, "--profile", profile.c_str(), args.c_str(), (char*)nullptr);
            _exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0) stop(SIGKILL);
    }
    // Sends the signal and waits for the engine; its exit status (-1 when killed by a signal).
    int stop(int sig) {
        kill(pid_, sig);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
};

using qortest::eventually;

std::vector<QUEUE_RECORD> jobs() { return qortest::queueRecords(""); }

std::vector<VQ_LOGENTRY> logEntries() { return qortest::logRecords(); }

// The document paths of a job, as the engine reads them from its control file.
std::vector<std::string> jobDocuments(const QUEUE_RECORD& job) {
    char path[UL_MAXPATH];
    UL_strcopy(path, job.jobfile);
    UL_fullpath(0, path, sizeof path);
    uint32_t list = 0;
    std::vector<std::string> out;
    EXPECT_EQ(VQ_readjobfile(0, path, &list), 0) << path;
    if (!list) return out;
    void* p = nullptr;
    UL_lockhandle(list, &p);
    uint16_t count = 0;
    std::memcpy(&count, p, 2);
    for (uint16_t i = 0; i < count; ++i) {
        VQ_JOBFILE f;
        std::memcpy(&f, static_cast<char*>(p) + 2 + i * sizeof f, sizeof f);
        out.push_back(f.path);
    }
    UL_unlockhandle(list);
    VQ_freejobfile(0, list);
    return out;
}

std::vector<qordoc::Page> pagesOf(const std::vector<std::string>& files) {
    std::vector<qordoc::Page> pages;
    for (const std::string& f : files) {
        std::vector<qordoc::Page> p;
        EXPECT_EQ(qordoc::readFax(f, &p), 0) << f;
        for (auto& page : p) pages.push_back(std::move(page));
    }
    return pages;
}

std::vector<qordoc::Page> receivedPages(const std::string& recvDir, const VQ_LOGENTRY& e) {
    std::vector<std::string> files;
    for (int k = 0; k < e.pages; ++k) files.push_back(UX_pagefilename(recvDir + e.faxfile, k));
    return pagesOf(files);
}

void expectSamePages(const std::vector<qordoc::Page>& sent, const std::vector<qordoc::Page>& got) {
    ASSERT_EQ(got.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got[i].width, sent[i].width) << "page " << i;
        EXPECT_EQ(got[i].height, sent[i].height) << "page " << i;
        EXPECT_EQ(got[i].ydpi, sent[i].ydpi) << "page " << i;
        EXPECT_TRUE(got[i].bits == sent[i].bits) << "page " << i << " differs";
    }
}

// A fine fax page with something on it that is not text: bars and a border.
qordoc::Page patternPage() {
    qordoc::Format f;
    f.fine = true;
    qordoc::Page p;
    p.resize(qordoc::kFaxWidth, f.rows());
    p.ydpi = qordoc::kFineDpi;
    for (int y = 100; y < 1500; ++y)
        for (int x = 200; x < 1500; ++x)
            if ((x / 40 + y / 60) % 2 == 0 || y == 100 || x == 200) p.set(x, y);
    return p;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qorfax(profile.root(), "config set GENERAL SenderFax '+1 555 0100'").exit, 0);
    }
    void TearDown() override {
        VQ_shutdown(0);
        VQ_closelogdb();
    }
    void setting(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_EQ(qorfax(profile.root(), "config set " + section + " " + key + " " + qortest::shellQuote(value)).exit,
                  0);
    }
    qortest::TempProfile profile;
};

TEST_F(EngineTest, TextPdfAndTiffGoThroughTheLoopbackAndArriveBitForBit) {
    // A text of two pages, a PDF of one, a fine fax page as it is.
    qortest::writeFile(profile.path("note.txt"), "Dear Bob,\n\nthe figures follow.\n\fPage two of the note.\n");
    {
        qordoc::Format f;
        auto pdfPages = qordoc::renderText(qordoc::layoutText("A PDF page\nwith two lines", 80, 66), f);
        const int fd = ::open(profile.path("doc.pdf").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(qordoc::writePdf(fd, pdfPages), 0);
        ::close(fd);
        ASSERT_EQ(qordoc::writeFax(profile.path("page.tif"), {patternPage()}, false), 0);
    }
    CommandResult r = qorfax(profile.root(), "send --to 5550199 --name Bob " + profile.path("note.txt") + " " +
                                                 profile.path("doc.pdf") + " " + profile.path("page.tif"));
    ASSERT_EQ(r.exit, 0) << r.out;
    std::vector<QUEUE_RECORD> q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'Q');
    const std::vector<std::string> docs = jobDocuments(q[0]);
    const std::vector<qordoc::Page> sent = pagesOf(docs);
    ASSERT_EQ(sent.size(), 4u);
    // The host's view before the engine runs.
    r = qorfax(profile.root(), "queue count");
    EXPECT_NE(r.out.find("sent 0"), std::string::npos) << r.out;
    r = qorfax(profile.root(), "recv check");
    EXPECT_EQ(r.out.find("new 1"), std::string::npos) << r.out;

    r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("job 1: sent 4 pages"), std::string::npos) << r.out;

    q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'S');
    EXPECT_EQ(q[0].errorcode, 0);
    EXPECT_EQ(q[0].progress1, 4);        // pages sent
    EXPECT_EQ(q[0].info8, 4);            // pages of the job
    EXPECT_EQ(q[0].progress2, 1);        // one call
    EXPECT_EQ(q[0].info1, 1);
    EXPECT_EQ(q[0].info3, 14400);        // V.17
    EXPECT_STREQ(q[0].info4, "+1 555 0100");  // the far end's CSI: our own loopback
    r = qorfax(profile.root(), "queue count");
    EXPECT_NE(r.out.find("sent 1"), std::string::npos) << r.out;
    r = qorfax(profile.root(), "recv check");  // the host's poll of the log sees the new fax
    EXPECT_NE(r.out.find("new 1\nall 1"), std::string::npos) << r.out;

    const std::vector<VQ_LOGENTRY> log = logEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].pages, 4);
    EXPECT_EQ(log[0].entrystate, 'R');
    EXPECT_EQ(log[0].viewstate, 'R');
    EXPECT_EQ(log[0].printstate, 'N');
    EXPECT_STREQ(log[0].stationid, "+1 555 0100");
    EXPECT_EQ(std::strchr(log[0].faxfile, '/'), nullptr);  // a bare name in recv/
    expectSamePages(sent, receivedPages(profile.path("recv/"), log[0]));

    r = qorfax(profile.root(), "recv list");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("+1 555 0100"), std::string::npos) << r.out;

    // Every page file was a spooled copy held once by this job: released, and so deleted. The
    // user's own files are never touched.
    for (const std::string& d : docs) EXPECT_FALSE(qortest::fileExists(d)) << d;
    EXPECT_TRUE(qortest::fileExists(profile.path("page.tif")));
    EXPECT_TRUE(qortest::fileExists(profile.path("note.txt")));
    EXPECT_EQ(q[0].unused2[0], 'R');  // holds released once: nobody releases them again

    // Nothing is due any more: a second run sends nothing and receives nothing.
    r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out.find("calling"), std::string::npos) << r.out;
    EXPECT_EQ(logEntries().size(), 1u);
    const std::string engineLog = qortest::readFile(profile.path("engine.log"));
    EXPECT_NE(engineLog.find("job 1: sent 4 pages"), std::string::npos) << engineLog;
    EXPECT_NE(engineLog.find("received 4 pages from \"+1 555 0100\""), std::string::npos) << engineLog;
}

TEST_F(EngineTest, JobsGoInSendTimeOrderAndLaterOnesWait) {
    qortest::writeFile(profile.path("a.txt"), "first\n");
    ASSERT_EQ(qorfax(profile.root(), "send --to 1 --name Late --at \"2099-01-01 10:00\" " + profile.path("a.txt")).exit, 0)
        << qorfax(profile.root(), "send --help").out;
    ASSERT_EQ(qorfax(profile.root(), "send --to 2 --name Soon " + profile.path("a.txt")).exit, 0);
    // qorfax refuses a time in the past: the job's time passes while it waits (set here as the
    // clock would have moved on).
    ASSERT_EQ(qorfax(profile.root(), "send --to 3 --name Past " + profile.path("a.txt")).exit, 0);
    {
        ASSERT_EQ(SF_open(0), 0);
        QUEUE_RECORD r;
        bool found = false;
        ASSERT_EQ(qorsf::SF_findjob(0, 3, &r, &found), 0);
        ASSERT_TRUE(found);
        r.sendtime = SF_DATETIME{2001, 1, 1, 10, 0, 0};
        ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
        SF_close(0);
    }
    CommandResult r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    // As soon as possible first, then the past time; the future job waits.
    const std::size_t soon = r.out.find("job 2: calling"), past = r.out.find("job 3: calling");
    ASSERT_NE(soon, std::string::npos) << r.out;
    ASSERT_NE(past, std::string::npos) << r.out;
    EXPECT_LT(soon, past);
    EXPECT_EQ(r.out.find("job 1:"), std::string::npos) << r.out;
    const auto q = jobs();
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0].status, 'Q');
    EXPECT_EQ(q[1].status, 'S');
    EXPECT_EQ(q[2].status, 'S');
    EXPECT_EQ(logEntries().size(), 2u);
}

TEST_F(EngineTest, ANumberNobodyAnswersFailsAfterTheRetriesWithTheReason) {
    setting("ENGINE", "Line", "network");
    setting("ENGINE", "Network", profile.path("net"));
    setting("ENGINE", "Retries", "2");
    setting("ENGINE", "RetryInterval", "0");
    qortest::writeFile(profile.path("a.txt"), "nobody reads this\n");
    ASSERT_EQ(qorfax(profile.root(), "send --to 555-0000 --name Nobody " + profile.path("a.txt")).exit, 0);
    const auto docs = jobDocuments(jobs()[0]);
    CommandResult r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("try 1 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("try 2 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("job 1 failed: No answer"), std::string::npos) << r.out;
    const auto q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'E');
    EXPECT_EQ(q[0].errorcode, 32001);
    EXPECT_EQ(q[0].progress2, 3);
    EXPECT_EQ(q[0].info1, 3);
    char text[80];
    ASSERT_EQ(VQ_statustext(0, q[0].errorcode, text, sizeof text), 0);
    EXPECT_STREQ(text, "No answer");
    r = qorfax(profile.root(), "queue list");
    EXPECT_NE(r.out.find("(No answer)"), std::string::npos) << r.out;
    // A failed job keeps its documents for Resend failed.
    for (const std::string& d : docs) EXPECT_TRUE(qortest::fileExists(d)) << d;
}

TEST_F(EngineTest, AJobWhoseDocumentIsGoneFailsAtOnceWithTheReason) {
    qortest::writeFile(profile.path("a.txt"), "x\n");
    ASSERT_EQ(qorfax(profile.root(), "send --to 42 " + profile.path("a.txt")).exit, 0);
    const auto docs = jobDocuments(jobs()[0]);
    ASSERT_FALSE(docs.empty());
    ASSERT_EQ(::unlink(docs[0].c_str()), 0);
    CommandResult r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_EQ(r.out.find("calling"), std::string::npos) << r.out;  // no call is made for it
    const auto q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'E');
    EXPECT_EQ(q[0].errorcode, 32006);
    EXPECT_NE(std::string(q[0].info6).find(docs[0].substr(docs[0].rfind('/') + 1)), std::string::npos)
        << q[0].info6;
    EXPECT_TRUE(logEntries().empty());
}

TEST_F(EngineTest, AFailedCallWaitsForTheRetryInterval) {
    setting("ENGINE", "Line", "network");
    setting("ENGINE", "Network", profile.path("net"));
    setting("ENGINE", "RetryInterval", "3600");
    qortest::writeFile(profile.path("a.txt"), "x\n");
    ASSERT_EQ(qorfax(profile.root(), "send --to 42 " + profile.path("a.txt")).exit, 0);
    CommandResult r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    const auto q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'Q');
    EXPECT_EQ(q[0].errorcode, 32001);
    EXPECT_EQ(q[0].progress2, 1);
    EXPECT_NE(q[0].sendtime.year, 0);  // a time of its own now, an hour ahead
    EXPECT_EQ(r.out.find("try 2"), std::string::npos) << r.out;
}

TEST_F(EngineTest, AKilledEngineLeavesTheJobWaitingAndTheNextOneSendsIt) {
    setting("ENGINE", "Modems", "V27ter");  // a long call at 4800 bit/s
    std::string text;
    for (int p = 0; p < 40; ++p) {  // minutes of line time: the call is still on when killed
        for (int l = 0; l < 66; ++l) text += std::string(79, static_cast<char>('A' + (l + p) % 26)) + "\n";
    }
    qortest::writeFile(profile.path("long.txt"), text);
    ASSERT_EQ(qorfax(profile.root(), "send --to 77 " + profile.path("long.txt")).exit, 0);
    {
        Background engine(profile.root());
        ASSERT_TRUE(eventually([&] {
            return qortest::readFile(profile.path("engine.status")).find("sending job 1") != std::string::npos;
        }));
        CommandResult st = qorfax(profile.root(), "engine status");
        EXPECT_EQ(st.exit, 0) << st.out;
        EXPECT_NE(st.out.find("sending job 1"), std::string::npos) << st.out;
        CommandResult list = qorfax(profile.root(), "queue list");  // a host sees the call going on
        EXPECT_NE(list.out.find("Sending"), std::string::npos) << list.out;
        engine.stop(SIGKILL);
    }
    auto q = jobs();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].status, 'I');  // as the killed engine left it
    CommandResult st = qorfax(profile.root(), "engine status");
    EXPECT_EQ(st.exit, 1) << st.out;
    CommandResult r = qorfaxd(profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("waits again"), std::string::npos) << r.out;
    q = jobs();
    EXPECT_EQ(q[0].status, 'S');
    EXPECT_EQ(q[0].progress2, 1);  // the killed call is no failed try
    const auto log = logEntries();
    ASSERT_GE(log.size(), 1u);
    EXPECT_EQ(log.back().pages, 40);
    EXPECT_EQ(log.back().entrystate, 'R');
}

TEST_F(EngineTest, SigtermEndsTheCallAndTheJobWaitsAgain) {
    setting("ENGINE", "Modems", "V27ter");
    std::string text;
    for (int l = 0; l < 66 * 8; ++l) text += std::string(79, static_cast<char>('a' + l % 26)) + "\n";
    qortest::writeFile(profile.path("long.txt"), text);
    ASSERT_EQ(qorfax(profile.root(), "send --to 77 " + profile.path("long.txt")).exit, 0);
    Background engine(profile.root());
    ASSERT_TRUE(eventually([&] {
        return qortest::readFile(profile.path("engine.status")).find("sending job 1") != std::string::npos;
    }));
    EXPECT_EQ(engine.stop(SIGTERM), 0);
    const auto q = jobs();
    ASSERT_EQ(q.size(), 1u);
    // Either the call ended first (sent) or the stop cut it (waiting, no try counted).
    EXPECT_TRUE(q[0].status == 'Q' || q[0].status == 'S') << q[0].status;
    if (q[0].status == 'Q') {
        EXPECT_EQ(q[0].progress2, 0);
        EXPECT_EQ(q[0].errorcode, 0);
    }
    EXPECT_FALSE(qortest::fileExists(profile.path("engine.status")));
}

TEST_F(EngineTest, TwoProfilesOnTheNetworkFaxEachOtherAtOnce) {
    qortest::TempProfile other;
    const std::string net = profile.path("net");
    for (const std::string* root : {&profile.root(), &other.root()}) {
        ASSERT_EQ(qorfax(*root, "config set ENGINE Line network").exit, 0);
        ASSERT_EQ(qorfax(*root, "config set ENGINE Network " + net).exit, 0);
        // The engine that starts first finds nobody answering yet and calls again shortly.
        ASSERT_EQ(qorfax(*root, "config set ENGINE RetryInterval 1").exit, 0);
        ASSERT_EQ(qorfax(*root, "config set ENGINE Retries 20").exit, 0);
    }
    ASSERT_EQ(qorfax(other.root(), "config set GENERAL SenderFax '+1 555 0200'").exit, 0);
    qortest::writeFile(profile.path("a.txt"), "from the first\n");
    qortest::writeFile(other.path("b.txt"), "from the second\n\fsecond page\n");
    ASSERT_EQ(qorfax(profile.root(), "send --to '+1 555 0200' " + profile.path("a.txt")).exit, 0);
    ASSERT_EQ(qorfax(other.root(), "send --to '(1) 555-0100' " + other.path("b.txt")).exit, 0);
    {
        Background first(profile.root()), second(other.root());
        // Each profile's queue and log databases, read from this process as a host would.
        auto sentAndReceived = [](const std::string& root) {
            setenv("QORFAX_HOME", root.c_str(), 1);
            qorul::resetProfile();
            VQ_shutdown(0);
            VQ_closelogdb();
            const auto q = jobs();
            return q.size() == 1 && q[0].status == 'S' && logEntries().size() == 1;
        };
        ASSERT_TRUE(eventually([&] { return sentAndReceived(profile.root()) && sentAndReceived(other.root()); }));
        EXPECT_EQ(first.stop(SIGTERM), 0);
        EXPECT_EQ(second.stop(SIGTERM), 0);
    }
    setenv("QORFAX_HOME", profile.root().c_str(), 1);
    qorul::resetProfile();
    VQ_shutdown(0);
    VQ_closelogdb();
    auto log = logEntries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].pages, 2);
    EXPECT_STREQ(log[0].stationid, "+1 555 0200");
    EXPECT_FALSE(qortest::fileExists(net + "/15550100"));  // the engine took its socket away
}

TEST_F(EngineTest, OneEngineAProfile) {
    Background engine(profile.root());
    ASSERT_TRUE(eventually([&] { return qorfax(profile.root(), "engine status").exit == 0; }));
    CommandResult r = qorfaxd(profile.root(), "--once");
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.out.find("busy"), std::string::npos) << r.out;
    EXPECT_EQ(engine.stop(SIGINT), 0);
}

}  // namespace
