// Sends that must neither lose nor cross anything: shared copies under delete-after, long names,
// failures that queue nothing, spool names after a lost counter, two processes filling the
// document list at once, and the send time a person types.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include "qorul_control.h"
#include "qorul_durable.h"
#include "sendtest.h"
#include "spoolcheck.h"

namespace {

using qortest::SendTest;

class SafetyTest : public SendTest {
protected:
    std::string addText(const std::string& name, const std::string& body = "text\n") {
        const std::string path = profile.path(name);
        qortest::writeFile(path, body);
        EXPECT_EQ(FN_adddocument(0, path.c_str(), 1, 0), 0);
        return path;
    }
    std::vector<std::string> spoolFiles() {
        std::vector<std::string> out;
        if (DIR* d = ::opendir(profile.path("spool").c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n.size() >= 12 && n.compare(8, 4, ".SPL") == 0) out.push_back(n);
            }
            ::closedir(d);
        }
        return out;
    }
};

TEST_F(SafetyTest, DeleteAfterSendIsWrittenOnlyForASingleRecipient) {
    addText("memo.txt");
    SendOptions o = options();
    o.deleteAfterSend = 1;
    const char* two[] = {"111", "222"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, two, 2, &o), 0);
    for (const auto& r : queue()) EXPECT_NE(controlFile(r).find("DELETE  0\r\n"), std::string::npos);
    EXPECT_EQ(o.deleteAfterSend, 1);  // the host's block is left as it was
    const char* one[] = {"333"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, one, 1, &o), 0);
    EXPECT_NE(controlFile(queue().back()).find("DELETE  1\r\n"), std::string::npos);
    EXPECT_TRUE(qortest::checkAgreement(profile).ok());
}

TEST_F(SafetyTest, ASourceNameIsAppendedOnlyWhereItFits) {
    // The copy's text with the name would hold 76 characters: the field takes it, the control
    // file's line ("TEXT " and the text) would not.
    const std::size_t copyLength = profile.path("spool/").size() + 16;
    ASSERT_LT(copyLength + 2, 76u) << "temporary directory too deep for this test";
    const std::string name = std::string(76 - copyLength - 1 - 4, 'n') + ".txt";
    addText(name);
    SendOptions o = options();
    const char* numbers[] = {"1"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), 0);
    const auto q = queue();
    ASSERT_EQ(q.size(), 1u);
    const std::string control = controlFile(q[0]);
    const auto docs = qortest::controlDocuments(control);
    ASSERT_EQ(docs.size(), 1u);
    // The text became a fax page of its own; the line carries no source name that would not fit.
    EXPECT_NE(control.find("FAX " + docs[0] + "\r\n"), std::string::npos) << control;
    EXPECT_EQ(qortest::readFile(docs[0]).compare(0, 3, "II*"), 0) << "a TIFF page file";
}

TEST_F(SafetyTest, ASendThatQueuesNoJobLeavesNoCopyNoControlFileAndNoHold) {
    addText("memo.txt");
    addText("other.txt");
    SendOptions o = options();
    const std::string tooLong(60, '5');
    const char* numbers[] = {tooLong.c_str(), "2"};
    EXPECT_EQ(qorsf::SF_faxfolder(kHost, numbers, 2, &o), SF_DIALSTRINGLONG);
    EXPECT_TRUE(queue().empty());
    EXPECT_TRUE(spoolFiles().empty()) << spoolFiles()[0];
    for (const auto& r : delList()) EXPECT_EQ(r.inuse, 0);
    EXPECT_EQ(L1_lockdepth(), 0);

    // A direct submission that fails after its control file was made removes it too.
    const std::string longPath = "/" + std::string(78, 'p');
    const DocumentEntry docs[] = {doc(2, longPath)};
    EXPECT_EQ(qorsf::SF_sendfax(kHost, docs, 1, "1", &o), SF_JOBLINELONG);
    EXPECT_TRUE(spoolFiles().empty());
}

TEST_F(SafetyTest, ALostSpoolCounterNeverHandsOutABaseThatStillHasFiles) {
    addText("memo.txt", "first");
    SendOptions o = options();
    const char* numbers[] = {"1"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), 0);
    const std::string firstCopy = qortest::controlDocuments(controlFile(queue()[0])).at(0);
    const std::string firstBytes = qortest::readFile(firstCopy);
    for (const char* how : {"lost", "set back"}) {
        if (std::string(how) == "lost") std::remove(profile.path("spool/spool.seq").c_str());
        else qortest::writeFile(profile.path("spool/spool.seq"), "00000000\n");
        ASSERT_EQ(FN_cleardocs(0), 0);
        addText("memo2.txt", "second");
        qorsf::send_reset();
        ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), 0) << how;
        EXPECT_EQ(qortest::readFile(firstCopy), firstBytes) << how << ": the first job's page is untouched";
        const std::string copy = qortest::controlDocuments(controlFile(queue().back())).at(0);
        EXPECT_NE(copy, firstCopy) << how;
        EXPECT_NE(qortest::readFile(copy), firstBytes) << how;
    }
    EXPECT_TRUE(qortest::checkAgreement(profile).ok()) << qortest::checkAgreement(profile).text();
}

TEST_F(SafetyTest, TheDocumentListHeldByOneProcessIsBusyForAnother) {
    ASSERT_EQ(FN_lockdocs(0), 0);
    const std::string path = profile.path("memo.txt");
    qortest::writeFile(path, "x\n");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        qorul::setLockWaitMilliseconds(20);
        _exit(FN_adddocument(0, path.c_str(), 1, 0) == FN_E_BUSY ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(FN_adddocument(0, path.c_str(), 1, 0), 0);  // the holder itself goes on (nested)
    ASSERT_EQ(FN_unlockdocs(0), 0);
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(FN_adddocument(0, path.c_str(), 1, 0) == 0 ? 0 : 1);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// One process's sends: each fills the list with its own document and sends it to its own number.
int sendOwn(const std::string& number, const std::string& path, int times) {
    for (int i = 0; i < times; ++i) {
        if (FN_lockdocs(0) != 0) return 1;
        int bad = FN_cleardocs(0) | FN_adddocument(0, path.c_str(), 1, 0);
        SendOptions o;
        std::memset(&o, 0, sizeof o);
        const std::vector<qorsf::FolderRecipient> to = {{number, ""}};
        if (!bad) bad = qorsf::SF_faxfolderto(0, to, &o);
        FN_cleardocs(0);
        FN_unlockdocs(0);
        if (bad) return 2;
    }
    return 0;
}

TEST_F(SafetyTest, TwoProcessesSendingAtOnceNeverCrossTheirDocuments) {
    const std::string a = profile.path("a.txt"), b = profile.path("b.txt");
    qortest::writeFile(a, "from 111\n");
    qortest::writeFile(b, "from 222\n");
    constexpr int kTimes = 12;
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
        children[k] = fork();
        ASSERT_GE(children[k], 0);
        if (children[k] == 0) _exit(k == 0 ? sendOwn("111", a, kTimes) : sendOwn("222", b, kTimes));
    }
    for (pid_t c : children) {
        int status = 0;
        ASSERT_EQ(waitpid(c, &status, 0), c);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    const auto q = queue();
    ASSERT_EQ(q.size(), 2u * kTimes);
    for (const auto& r : q) {
        const auto docs = qortest::controlDocuments(controlFile(r));
        ASSERT_EQ(docs.size(), 1u) << r.number;
        // Each job's page was made from its own sender's file, whose name the line carries.
        const std::string control = controlFile(r);
        const bool from111 = std::string(r.number) == "111";
        EXPECT_NE(control.find(from111 ? " a.txt\r\n" : " b.txt\r\n"), std::string::npos) << control;
        EXPECT_EQ(control.find(from111 ? " b.txt\r\n" : " a.txt\r\n"), std::string::npos) << control;
    }
    EXPECT_TRUE(qortest::checkAgreement(profile).ok());
}

// The driven clock of the test profile stands at 2026-03-14 09:26:53.
std::string when(const std::string& text, std::string* problem = nullptr) {
    SF_DATETIME t{};
    std::string p;
    if (!qorsf::SF_parsesendtime(text, &t, &p)) {
        if (problem) *problem = p;
        return "refused";
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

TEST_F(SafetyTest, SendTimesInTheFormsAPersonTypes) {
    EXPECT_EQ(when("2026-12-24T15:00"), "2026-12-24 15:00:00");
    EXPECT_EQ(when("2026-12-24 15:00"), "2026-12-24 15:00:00");
    EXPECT_EQ(when("2026-12-24 15:00:30"), "2026-12-24 15:00:30");
    EXPECT_EQ(when("15:00"), "2026-03-14 15:00:00");   // later today
    EXPECT_EQ(when("08:00"), "2026-03-15 08:00:00");   // passed today: tomorrow
    EXPECT_EQ(when("now + 10 minutes"), "2026-03-14 09:36:53");
    EXPECT_EQ(when("now+2 hours"), "2026-03-14 11:26:53");
    EXPECT_EQ(when("NOW + 1 day"), "2026-03-15 09:26:53");
    EXPECT_EQ(when("now"), "2026-03-14 09:26:53");
    qorul::setClock(qorul::clockNow() + 14 * 3600 + 33 * 60);  // 23:59:53: a time after midnight is tomorrow's
    EXPECT_EQ(when("00:30"), "2026-03-15 00:30:00");
    std::string problem;
    EXPECT_EQ(when("2026-03-14 09:00", &problem), "refused");
    EXPECT_NE(problem.find("passed"), std::string::npos);
    for (const char* bad : {"2026-02-30 10:00", "2026-13-01 10:00", "25:00", "tomorrow", "now + 3 weeks",
                            "now - 1 hour", "2026-12-24", "12:5", ""}) {
        problem.clear();
        EXPECT_EQ(when(bad, &problem), "refused") << bad;
        EXPECT_FALSE(problem.empty()) << bad;
    }
}

}  // namespace
