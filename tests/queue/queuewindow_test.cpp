// The queue window driven as its user drives it: the lines and their icons, the buttons for each
// status, refreshes when another program changes the queue, and the job actions behind the
// buttons (hold, release, send now, delete, change number, resend failed, purge, details, the
// document list).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "qorlib1.h"
#include "qorlib2.h"
#include "qorwingdi.h"
#include "qorwinuser.h"
#include "queue/actions.h"
#include "queue/dialogs/queuewindow.h"
#include "queue/jobs.h"
#include "sendtest.h"

namespace {

using namespace qorsf;
using V = std::vector<std::string>;

template <typename T>
T v(T x) {
    return x;
}

// The host's main window: what the library posts to it.
std::vector<std::pair<UINT, WPARAM>>& hostMessages() {
    static std::vector<std::pair<UINT, WPARAM>> m;
    return m;
}
LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kQueueMessage || m == WM_USER) hostMessages().push_back({m, wp});
    return DefWindowProcA(w, m, wp, lp);
}

class QueueWindow : public qortest::SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        queuewindow_reset();
        hostMessages().clear();
        main = qorwin::createWindow("host", hostProc);
        UL_registerwindow(kHost, kNotifyWindow, main);
    }
    void TearDown() override {
        queuewindow_reset();
        UL_registerwindow(kHost, kNotifyWindow, nullptr);
        SendTest::TearDown();
    }

    // Queues one job to `number` with one page file and gives it a status.
    QUEUE_RECORD job(char status, const std::string& number, const std::string& name = "") {
        std::filesystem::create_directories(profile.path("docs"));
        const std::string page = profile.path("docs/page" + number + ".001");
        qortest::writeFile(page, "page of " + number);
        SendOptions o = options();
        UL_strcopy(o.recipientName, (name.empty() ? "To " + number : name).c_str());
        DocumentEntry d = doc(1, page);
        EXPECT_EQ(qorsf::SF_sendfax(kHost, &d, 1, number.c_str(), &o), 0);
        QUEUE_RECORD r;
        EXPECT_EQ(VQ_readjob(0, o.jobNumber, &r), 0);
        r.status = static_cast<uint16_t>(status);
        r.sendtime = SF_DATETIME{2027, 1, 2, 8, 30, 0};
        EXPECT_EQ(VQ_writejob(0, &r, 3), 0);
        return r;
    }
    QUEUE_RECORD now(const QUEUE_RECORD& r) {
        QUEUE_RECORD out{};
        EXPECT_EQ(VQ_readjob(0, r.jobnum, &out), 0);
        return out;
    }
    HWND open() {
        HWND w = nullptr;
        EXPECT_EQ(::SF_wndqueue(kHost, &w), 0);
        EXPECT_TRUE(IsWindow(w));
        EXPECT_EQ(qorwin::templateNumber(w), 2044);
        return w;
    }
    V lines(HWND w) { return qorwin::items(w, QW_LIST); }
    std::string statusText(char s) {
        char t[80] = {};
        VQ_statustext(0, static_cast<uint16_t>(s), t, sizeof t);
        return t;
    }
    // The status text a line shows (the third column).
    std::string shownStatus(HWND w, int line) {
        const std::string l = lines(w).at(static_cast<std::size_t>(line));
        std::vector<std::string> cols;
        std::size_t at = 0;
        for (std::size_t tab; (tab = l.find('\t', at)) != std::string::npos; at = tab + 1) cols.push_back(l.substr(at, tab - at));
        cols.push_back(l.substr(at));
        return cols.size() > 3 ? cols[3] : "";
    }
    void board(const char* value) { put("BOARD", "Value5207", value); }
    std::vector<std::string> shownTexts() {
        std::vector<std::string> out;
        for (const auto& s : profile.ui().shown()) out.push_back(s.text);
        return out;
    }
    std::string text(uint16_t number) {
        char t[256] = {};
        UL_loadstring(0, t, "QORLANG", number);
        return t;
    }
    int posted(UINT m, WPARAM wp = 0) {
        qorwin::pump();
        return static_cast<int>(std::count(hostMessages().begin(), hostMessages().end(), std::make_pair(m, wp)));
    }

    HWND main = nullptr;
};

// Whether the record commands, Hold, Change number, Send now and Release are as expected.
struct Buttons {
    bool record, hold, number, sendnow, release;
    bool showSendNow, showRelease;
};

void expectButtons(HWND w, const Buttons& b, const std::string& what) {
    for (int id : {QW_DETAILS, QW_DELETE, QW_VIEW, QW_SAVE, QW_PRINT})
        EXPECT_EQ(qorwin::enabled(w, id), b.record) << what << " control " << id;
    EXPECT_EQ(qorwin::enabled(w, QW_HOLD), b.hold) << what;
    EXPECT_EQ(qorwin::enabled(w, QW_NUMBER), b.number) << what;
    EXPECT_EQ(qorwin::enabled(w, QW_SENDNOW), b.sendnow) << what;
    EXPECT_EQ(qorwin::enabled(w, QW_RELEASE), b.release) << what;
    EXPECT_EQ(qorwin::visible(w, QW_SENDNOW), b.showSendNow) << what;
    EXPECT_EQ(qorwin::visible(w, QW_NUMBER), !b.showSendNow) << what;
    EXPECT_EQ(qorwin::visible(w, QW_RELEASE), b.showRelease) << what;
    EXPECT_EQ(qorwin::visible(w, QW_HOLD), !b.showRelease) << what;
}

TEST_F(QueueWindow, ListsTheJobsNewestFirstWithTheirStatusAndSendTime) {
    const QUEUE_RECORD a = job('Q', "5550100", "Ada Lovelace");
    job('D', "5550200");
    const QUEUE_RECORD c = job('S', "5550300", "Charles Babbage");
    HWND w = open();
    const V l = lines(w);
    ASSERT_EQ(l.size(), 2u) << "a deleted job is not listed";
    EXPECT_EQ(l[0].rfind(" \tCharles Babbage\t5550300\t" + statusText('S') + "\t27-01-02 08:30:00", 0), 0u) << l[0];
    EXPECT_EQ(l[1].rfind(" \tAda Lovelace\t5550100\t" + statusText('Q') + "\t", 0), 0u) << l[1];
    const QueueWindowState& q = queuewindow();
    ASSERT_EQ(q.entries.size(), 2u);
    EXPECT_EQ(q.entries[0].job, SF_jobnumber(a)) << "entry 0 belongs to the last line";
    EXPECT_EQ(q.entries[1].job, SF_jobnumber(c));
    EXPECT_EQ(qorwin::selections(w, QW_LIST), (std::vector<int>{0}));
    EXPECT_TRUE(qorwin::enabled(w, QW_JOBSLABEL));
    EXPECT_TRUE(qorwin::visible(w, QW_CLOSE));
    EXPECT_FALSE(qorwin::visible(w, QW_DONE));
    EXPECT_FALSE(qorwin::visible(w, QW_BOOKTEXT)) << "no other phone book is offered";
    EXPECT_TRUE(profile.ui().shown().empty());

    // A name too long for its column is cut with an ellipsis and the next column still starts
    // at its stop.
    job('Q', "5550400", std::string(30, 'W'));
    SendMessageA(w, kQueueMessage, 0, 0);
    const std::string longest = lines(w)[0];
    EXPECT_NE(longest.find("...\t5550400\t"), std::string::npos) << longest;

    // The close button, the close message and the host's notification.
    EXPECT_TRUE(qorwin::click(w, QW_CLOSE));
    qorwin::pump();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(queuewindow().window, nullptr);
    EXPECT_EQ(posted(kQueueMessage), 0) << "nothing was changed";
}

TEST_F(QueueWindow, DrawsTheSuccessAndFailureIconsOnTheirLines) {
    job('A', "5550100");
    job('Q', "5550200");
    job('S', "5550300");
    HWND w = open();
    const qorwin::Image picture = qorwin::paintPicture(w);
    RECT dialog{}, list{};
    GetWindowRect(w, &dialog);
    GetWindowRect(GetDlgItem(w, QW_LIST), &list);
    // The icons' pixel at column 5 of row 3: green for a job that went well, red for a failed one.
    auto iconPixel = [&](int line) {
        const int x = list.left - dialog.left + 5 + 1;
        const int y = qorwin::captionHeight() + list.top - dialog.top + line * 18 + 3 + 1;
        return picture.at(x, y) & 0xFFFFFF;
    };
    auto greenish = [](uint32_t p) { return ((p >> 8) & 0xFF) > 0x80 && ((p >> 16) & 0xFF) < 0x80; };
    auto reddish = [](uint32_t p) { return ((p >> 16) & 0xFF) > 0x80 && ((p >> 8) & 0xFF) < 0x80; };
    EXPECT_TRUE(greenish(iconPixel(0))) << std::hex << iconPixel(0);  // S, the newest
    EXPECT_FALSE(greenish(iconPixel(1)) || reddish(iconPixel(1))) << "no icon for a waiting job";
    EXPECT_TRUE(reddish(iconPixel(2))) << std::hex << iconPixel(2);  // A
}

TEST_F(QueueWindow, ButtonsFollowTheStatusOfTheCaretLine) {
    const std::string order = "AEISUQWX";
    for (char s : order) job(s, std::string("555010") + s);
    HWND w = open();
    const int n = static_cast<int>(order.size());
    auto lineOf = [&](char s) { return n - 1 - static_cast<int>(order.find(s)); };
    const std::map<char, Buttons> expected = {
        {'A', {true, false, true, false, false, false, false}},
        {'E', {true, false, true, false, false, false, false}},
        {'I', {false, false, false, false, false, false, false}},
        {'S', {true, false, true, false, false, false, false}},
        {'U', {true, false, false, false, true, false, true}},
        {'Q', {true, true, false, true, false, true, false}},
        {'W', {true, true, false, true, false, true, false}},
        {'X', {true, true, false, false, false, true, false}},
    };
    for (const auto& [s, b] : expected) {
        ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, lineOf(s)));
        expectButtons(w, b, std::string("status ") + s);
        EXPECT_EQ(qorwin::enabled(w, QW_ADDDOCS), s != 'I') << s;
        // An I job is listed: no purge while the engine sends.
        EXPECT_FALSE(qorwin::enabled(w, QW_PURGE)) << s;
        EXPECT_TRUE(qorwin::enabled(w, QW_SENDALL)) << s;
        EXPECT_TRUE(qorwin::enabled(w, QW_RESEND)) << s;
        EXPECT_FALSE(qorwin::enabled(w, QW_SENDDOCS)) << "the document list is empty";
    }

    // A board that is missing (0) or busy with another program (4): no Send now.
    for (const char* value : {"0", "4"}) {
        board(value);
        for (char s : std::string("QWX")) {
            ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, lineOf(s)));
            Buttons b = expected.at(s);
            b.sendnow = false;
            b.showSendNow = false;
            expectButtons(w, b, std::string("board ") + value + " status " + s);
        }
    }
}

TEST_F(QueueWindow, PurgeAndTheWholeQueueButtonsFollowTheCounts) {
    job('S', "5550100");
    HWND w = open();
    EXPECT_TRUE(qorwin::enabled(w, QW_PURGE));
    EXPECT_FALSE(qorwin::enabled(w, QW_SENDALL)) << "nothing waits";
    EXPECT_FALSE(qorwin::enabled(w, QW_RESEND)) << "nothing failed";
}

TEST_F(QueueWindow, AnEmptyQueueSaysSoAndOffersNoRecordCommand) {
    job('D', "5550100");
    HWND w = open();
    EXPECT_TRUE(lines(w).empty());
    EXPECT_EQ(shownTexts(), V{text(SF_E_NOJOBS)});
    EXPECT_EQ(profile.ui().beeps(), 1);
    EXPECT_FALSE(qorwin::enabled(w, QW_JOBSLABEL));
    for (int id : {QW_DETAILS, QW_DELETE, QW_VIEW, QW_SAVE, QW_PRINT, QW_HOLD, QW_ADDDOCS})
        EXPECT_FALSE(qorwin::enabled(w, id)) << id;
    EXPECT_TRUE(IsWindow(w)) << "the window stays open";
}

TEST_F(QueueWindow, ARefreshAfterAnotherProgramChangedTheQueueKeepsTheSelection) {
    std::vector<QUEUE_RECORD> jobs;
    for (int i = 0; i < 4; ++i) jobs.push_back(job('Q', "555020" + std::to_string(i)));
    HWND w = open();
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 1));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 3));
    const int before = queuewindow().refreshes;

    // Nothing changed: the timer leaves the list alone.
    SendMessageA(w, WM_TIMER, 1, 0);
    EXPECT_EQ(queuewindow().refreshes, before);

    // Another program holds the job of line 2 (the second oldest).
    const qortest::CommandResult r = qortest::runQorfax(
        QORFAX_BINARY, profile.root(), "queue hold " + std::to_string(SF_jobnumber(jobs[1])));
    ASSERT_EQ(r.exit, 0) << r.both();
    SendMessageA(w, WM_TIMER, 1, 0);
    EXPECT_EQ(queuewindow().refreshes, before + 1);
    EXPECT_EQ(shownStatus(w, 2), statusText('U'));
    EXPECT_EQ(qorwin::selections(w, QW_LIST), (std::vector<int>{1, 3}));
    EXPECT_EQ(v(queuewindow().entries[1].status), 'U');

    // The host's refresh request refreshes whether or not the queue changed.
    SendMessageA(w, kQueueMessage, 0, 0);
    EXPECT_EQ(queuewindow().refreshes, before + 2);
    EXPECT_EQ(qorwin::selections(w, QW_LIST), (std::vector<int>{1, 3}));
}

TEST_F(QueueWindow, HoldReleaseAndSendNowChangeOnlyTheJobsTheyAreFor) {
    const QUEUE_RECORD waiting = job('Q', "5550100");
    const QUEUE_RECORD sent = job('S', "5550200");
    HWND w = open();
    // Lines: 0 = the sent job, 1 = the waiting one. The caret on the waiting job, both selected.
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 1));
    ASSERT_TRUE(qorwin::click(w, QW_HOLD));
    EXPECT_EQ(v(now(waiting).status), 'U');
    EXPECT_EQ(v(now(sent).status), 'S');
    EXPECT_EQ(shownStatus(w, 1), statusText('U'));
    EXPECT_EQ(shownStatus(w, 0), statusText('S'));
    EXPECT_TRUE(queueState().dirty);
    // The caret's job is held now: Release takes Hold's place.
    EXPECT_TRUE(qorwin::visible(w, QW_RELEASE));
    EXPECT_TRUE(qorwin::enabled(w, QW_RELEASE));
    EXPECT_FALSE(qorwin::visible(w, QW_HOLD));
    // The first change turns Close into Done.
    EXPECT_TRUE(qorwin::visible(w, QW_DONE));
    EXPECT_FALSE(qorwin::visible(w, QW_CLOSE));
    EXPECT_EQ(qorwin::focusId(w), QW_LIST);

    ASSERT_TRUE(qorwin::click(w, QW_RELEASE));
    EXPECT_EQ(v(now(waiting).status), 'Q');
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 1));
    put("SYSTEM", "Value10", "1");
    ASSERT_TRUE(qorwin::click(w, QW_SENDNOW));
    const SF_DATETIME t = now(waiting).sendtime;
    EXPECT_TRUE(!t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second) << "as soon as possible";
    EXPECT_EQ(shownStatus(w, 1), statusText('Q'));
    EXPECT_NE(lines(w)[1].find(text(2095)), std::string::npos) << lines(w)[1];

    // Done closes, and the host hears that the queue changed.
    hostMessages().clear();
    ASSERT_TRUE(qorwin::click(w, QW_DONE));
    qorwin::pump();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_GE(posted(kQueueMessage), 1);
    EXPECT_TRUE(profile.ui().shown().empty());
}

TEST_F(QueueWindow, DeleteRemovesExactlyTheSelectedLinesAndClosesWhenNoneIsLeft) {
    std::vector<QUEUE_RECORD> jobs;
    for (int i = 0; i < 5; ++i) jobs.push_back(job('S', "555030" + std::to_string(i)));
    HWND w = open();
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 2));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 3));
    // No: nothing happens.
    profile.ui().answer(IDNO);
    ASSERT_TRUE(qorwin::click(w, QW_DELETE));
    EXPECT_EQ(lines(w).size(), 5u);
    EXPECT_EQ(v(now(jobs[4]).status), 'S');

    profile.ui().answer(IDYES);
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 2));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 3));
    ASSERT_TRUE(qorwin::click(w, QW_DELETE));
    // Lines 0, 2 and 3 were the jobs 4, 2 and 1.
    std::string statuses;
    for (const QUEUE_RECORD& r : jobs) statuses += static_cast<char>(now(r).status);
    EXPECT_EQ(statuses, "SDDSD");
    ASSERT_EQ(lines(w).size(), 2u);
    EXPECT_NE(lines(w)[0].find("5550303"), std::string::npos);
    EXPECT_NE(lines(w)[1].find("5550300"), std::string::npos);
    const QueueWindowState& q = queuewindow();
    ASSERT_EQ(q.entries.size(), 2u);
    EXPECT_EQ(q.entries[0].job, SF_jobnumber(jobs[0]));
    EXPECT_EQ(q.entries[1].job, SF_jobnumber(jobs[3]));
    EXPECT_EQ(qorwin::selections(w, QW_LIST), (std::vector<int>{0}));
    char gone[80];
    UL_strcopy(gone, jobs[1].jobfile);
    UL_fullpath(0, gone, sizeof gone);
    EXPECT_FALSE(qortest::fileExists(gone)) << "a deleted job's control file goes";
    EXPECT_GE(posted(kQueueMessage), 1);

    // The rest: the window closes by itself.
    profile.ui().answer(IDYES);
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 1));
    ASSERT_TRUE(qorwin::click(w, QW_DELETE));
    qorwin::pump();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(profile.ui().unexpected(), 0);
}

TEST_F(QueueWindow, ChangeNumberAsksForTheNumberAndRewritesTheDialLine) {
    const QUEUE_RECORD failed = job('A', "5550100", "Ada Lovelace");
    char path[80];
    UL_strcopy(path, failed.jobfile);
    UL_fullpath(0, path, sizeof path);
    const std::string before = qortest::readFile(path);
    HWND w = open();
    ASSERT_TRUE(qorwin::visible(w, QW_NUMBER));
    // Cancelled: nothing changes and nothing is shown.
    profile.ui().answerCancel();
    ASSERT_TRUE(qorwin::click(w, QW_NUMBER));
    EXPECT_EQ(qortest::readFile(path), before);
    EXPECT_EQ(v(now(failed).status), 'A');
    EXPECT_TRUE(profile.ui().shown().empty());
    EXPECT_EQ(profile.ui().beeps(), 0);

    profile.ui().answerString("5550199");
    ASSERT_TRUE(qorwin::click(w, QW_NUMBER));
    std::string expected = before;
    expected.replace(expected.find("5550100"), 7, "5550199");
    EXPECT_EQ(qortest::readFile(path), expected);
    EXPECT_EQ(v(now(failed).status), 'Q');
    EXPECT_STREQ(now(failed).number, "5550199");
    EXPECT_NE(lines(w)[0].find("\t5550199\t" + statusText('Q')), std::string::npos) << "refreshed";
}

TEST_F(QueueWindow, ResendFailedRequeuesTheFailedJobsAndPurgeClosesTheWindow) {
    const QUEUE_RECORD a = job('A', "5550100"), e = job('E', "5550200"), s = job('S', "5550300");
    const QUEUE_RECORD d = job('D', "5550400");
    HWND w = open();
    ASSERT_TRUE(qorwin::click(w, QW_RESEND));
    EXPECT_EQ(v(now(a).status), 'Q');
    EXPECT_EQ(v(now(e).status), 'Q');
    EXPECT_EQ(v(now(s).status), 'S');
    EXPECT_EQ(shownStatus(w, 2), statusText('Q'));
    EXPECT_FALSE(qorwin::enabled(w, QW_RESEND));
    EXPECT_TRUE(qorwin::enabled(w, QW_SENDALL));

    put("SYSTEM", "Value10", "1");
    ASSERT_TRUE(qorwin::click(w, QW_SENDALL));
    const SF_DATETIME t = now(a).sendtime;
    EXPECT_TRUE(!t.year && !t.hour) << "sent as soon as possible";

    char control[80];
    UL_strcopy(control, d.jobfile);
    UL_fullpath(0, control, sizeof control);
    ASSERT_TRUE(qortest::fileExists(control));
    profile.ui().answer(IDYES);
    ASSERT_TRUE(qorwin::click(w, QW_PURGE));
    qorwin::pump();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(qortest::fileExists(control)) << "the purged job's files were released";
    EXPECT_EQ(shownTexts(), V{text(2020)});
    EXPECT_EQ(queue().size(), 3u);
}

TEST_F(QueueWindow, DetailsShowTheRecordOfTheCaretLine) {
    QUEUE_RECORD r = job('E', "5550100", "Ada Lovelace");
    r.errorcode = 32001;
    r.progress2 = 3;
    UL_strcopy(r.info6, "no answer after 3 calls");
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    HWND w = open();
    qorwin::Script(profile.ui()).then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2045);
        EXPECT_EQ(qorwin::text(d, QD_RECIPIENT), "Ada Lovelace");
        EXPECT_EQ(qorwin::text(d, QD_NUMBER), "5550100");
        EXPECT_EQ(qorwin::text(d, QD_STATUS), statusText('E'));
        EXPECT_EQ(qorwin::text(d, QD_SENDTIME), "2027-01-02 08:30:00");
        EXPECT_EQ(qorwin::text(d, QD_ERROR), "32001");
        EXPECT_EQ(qorwin::text(d, QD_ERRORTEXT), text(32001));
        EXPECT_EQ(qorwin::text(d, QD_OUTCOME), "no answer after 3 calls");
        EXPECT_EQ(qorwin::text(d, QD_TRIES), "3");
        EXPECT_EQ(qorwin::text(d, QD_CODE), "0");
        EXPECT_EQ(qorwin::text(d, QD_JOB), std::to_string(SF_jobnumber(r)));
    });
    qorwin::Script(profile.ui()).click(IDOK);
    ASSERT_TRUE(qorwin::click(w, QW_DETAILS));
    EXPECT_TRUE(profile.ui().scriptEmpty());
    EXPECT_TRUE(profile.ui().shown().empty());
    EXPECT_EQ(qorwin::selections(w, QW_LIST), (std::vector<int>{0}));
}

TEST_F(QueueWindow, AddToDocumentsAndSendDocumentsGoThroughTheDocumentList) {
    job('S', "5550100");
    HWND w = open();
    ASSERT_TRUE(qorwin::enabled(w, QW_ADDDOCS));
    ASSERT_FALSE(qorwin::enabled(w, QW_SENDDOCS));
    ASSERT_TRUE(qorwin::click(w, QW_ADDDOCS));
    int16_t docs = 0;
    ASSERT_EQ(FN_doccount(kHost, &docs), 0);
    EXPECT_EQ(docs, 1);
    EXPECT_EQ(v(queuewindow().entries[0].mark), 'A');
    EXPECT_FALSE(qorwin::enabled(w, QW_ADDDOCS)) << "its pages are on the list already";
    EXPECT_TRUE(qorwin::enabled(w, QW_SENDDOCS));
    EXPECT_TRUE(qorwin::enabled(w, QW_SENDHINT));

    ASSERT_TRUE(qorwin::click(w, QW_SENDDOCS));
    EXPECT_EQ(posted(WM_USER, kSendDocumentsRequest), 1);
    EXPECT_FALSE(qorwin::enabled(w, QW_SENDHINT));
    EXPECT_EQ(v(queuewindow().entries[0].mark), 0);
}

TEST_F(QueueWindow, AJobWhoseControlFileIsGoneIsMarkedAndItsActionsFailWithAMessage) {
    const QUEUE_RECORD r = job('S', "5550100");
    char path[80];
    UL_strcopy(path, r.jobfile);
    UL_fullpath(0, path, sizeof path);
    std::filesystem::remove(path);
    HWND w = open();
    EXPECT_EQ(v(queuewindow().entries[0].mark), 'A');
    ASSERT_TRUE(qorwin::click(w, QW_VIEW));
    EXPECT_EQ(profile.ui().shown().size(), 1u);
    EXPECT_EQ(profile.ui().beeps(), 1);
    EXPECT_TRUE(IsWindow(w)) << "the window stays";
    EXPECT_FALSE(queuewindow().busy);
}

TEST_F(QueueWindow, ANewQueueWindowReplacesTheOpenOne) {
    job('Q', "5550100");
    HWND first = open();
    HWND second = open();
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(queuewindow().window, second);
    EXPECT_EQ(lines(second).size(), 1u);
}

}  // namespace

namespace {

TEST_F(QueueWindow, QorfaxRunsTheWindowForAScriptedUser) {
    const QUEUE_RECORD first = job('Q', "5550100"), second = job('Q', "5550200");
    const std::string script = profile.path("actions.txt");
    // The newest job is line 0: hold it, then delete the older one (answering the question).
    qortest::writeFile(script, "select 110 0\nclick 251\nselect 110 1\nclick 11\nyes\nclick 1\n");
    const qortest::CommandResult r =
        qortest::runQorfax(QORFAX_BINARY, profile.root(), "--ui script queue window < " + qortest::shellQuote(script));
    EXPECT_EQ(r.exit, 0) << r.both();
    EXPECT_EQ(v(now(second).status), 'U');
    EXPECT_EQ(v(now(first).status), 'D');
    EXPECT_NE(r.err.find(text(2234)), std::string::npos) << r.err;

    const qortest::CommandResult help = qortest::runQorfax(QORFAX_BINARY, profile.root(), "queue --help");
    EXPECT_NE(help.out.find("qorfax queue window"), std::string::npos);
    const qortest::CommandResult extra = qortest::runQorfax(QORFAX_BINARY, profile.root(), "queue window 12");
    EXPECT_EQ(extra.exit, 2);
}

}  // namespace

namespace {

TEST_F(QueueWindow, AQueueTooLongForTheWindowListsItsFirstThousandJobsAndSaysSoOnce) {
    SendJobRecord job;
    std::memset(&job, 0, sizeof job);
    job.status = 'Q';
    std::vector<uint64_t> numbers;
    for (int i = 0; i < 1200; ++i) {
        std::snprintf(job.number, sizeof job.number, "555%04d", i);
        std::snprintf(job.jobfile, sizeof job.jobfile, "J%07d.SPL", i);
        uint32_t n = 0;
        ASSERT_EQ(VQ_addjob(0, &job, &n), 0);
        numbers.push_back(VQ_lastjobnumber());
    }
    HWND w = open();
    EXPECT_EQ(shownTexts(), V{text(2094)});
    const V l = lines(w);
    ASSERT_EQ(l.size(), 1000u);
    const QueueWindowState& q = queuewindow();
    ASSERT_EQ(q.entries.size(), 1000u);
    // Line k shows the job of entry 999 - k: the walk's first thousand, the newest of them on top.
    for (int k : {0, 1, 500, 998, 999}) {
        char number[32];
        std::snprintf(number, sizeof number, "\t555%04d\t", 999 - k);
        EXPECT_NE(l[static_cast<std::size_t>(k)].find(number), std::string::npos) << k << ": " << l[static_cast<std::size_t>(k)];
        EXPECT_EQ(q.entries[static_cast<std::size_t>(999 - k)].job, numbers[static_cast<std::size_t>(999 - k)]);
    }
    EXPECT_EQ(v(q.entries[0].mark), 'A') << "its control file does not exist";
    EXPECT_EQ(q.waiting, 1000);
}

}  // namespace

namespace {

TEST_F(QueueWindow, PrintSaveHelpAndThePrintedListGoWhereTheirButtonsSay) {
    job('S', "5550100");
    job('A', "5550200");
    // Each job's page file a real fax page.
    const std::string text = profile.path("docs/letter.txt");
    qortest::writeFile(text, "A letter\n");
    for (const char* number : {"5550100", "5550200"}) {
        int16_t pages = 0;
        ASSERT_EQ(L1_texttofax(kHost, text.c_str(), profile.path(std::string("docs/page") + number).c_str(), nullptr,
                               &pages, 0),
                  0);
        ASSERT_EQ(pages, 1);
    }
    HWND w = open();
    auto lastPrinted = [] {
        char p[256] = {};
        FN_lastprinted(p, sizeof p);
        return std::string(p);
    };
    // Both jobs' pages in one print.
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::toggleItem(w, QW_LIST, 1));
    ASSERT_TRUE(qorwin::click(w, QW_PRINT));
    const std::string printed = lastPrinted();
    EXPECT_TRUE(qortest::fileExists(printed)) << printed;

    // The queue report through the report writer, printed.
    ASSERT_TRUE(qorwin::click(w, QW_PRINTLIST));
    EXPECT_NE(lastPrinted(), printed);
    EXPECT_TRUE(qortest::fileExists(lastPrinted()));

    // Save asks for the file.
    const std::string saved = profile.path("job.pdf");
    profile.ui().answerString(saved);
    ASSERT_TRUE(qorwin::selectItem(w, QW_LIST, 0));
    ASSERT_TRUE(qorwin::click(w, QW_SAVE));
    EXPECT_EQ(qortest::readFile(saved).rfind("%PDF", 0), 0u);

    ASSERT_TRUE(qorwin::click(w, QW_HELP));
    EXPECT_EQ(profile.ui().helps(), (std::vector<int>{kQueueWindowHelp}));
    EXPECT_TRUE(profile.ui().shown().empty()) << profile.ui().shown().front().text;
}

}  // namespace
