// The scan of the receive log, the fax log check and automatic printing, as a host drives them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "qorlib1.h"
#include "qorul_control.h"
#include "recvtest.h"

namespace {

using qortest::RecvTest;
using qortest::ScanResult;

template <typename T>
T v(T x) {
    return x;
}

void autoPrint(uint16_t on) { ASSERT_EQ(SF_adjustparm(0, 5, &on), 0); }

std::vector<std::string> pdfsIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(RecvTest, AnEmptyLogScansToNothing) {
    ScanResult s;
    s.run();
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(s.all + s.fresh + s.toprint, 0);
    EXPECT_EQ(s.lists[0] | s.lists[1] | s.lists[2], 0u);
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(RecvTest, EachFaxGoesIntoTheListsItsStatesAsk) {
    addFax(1, 'R', 'R', 'R');  // 1: live, new, waiting
    addFax(0, 'R', 'R', 'R');  // 2: no pages: in no list
    addFax(2, 'N', 'E', 'R');  // 3: marked E: live but never new
    addFax(1, 'E', 'R', 'S');  // 4: print state E waits too
    addFax(1, 'X', 'R', 'D');  // 5: deleted: ignored
    addFax(1, 'X', 'D', 'R');  // 6: its files are gone (entry state D): not walked
    addFax(1, 'X', 'P', 'R');  // 7: received in part: live and new
    ScanResult s;
    s.run();
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(s.list(0, s.all), (std::vector<int32_t>{1, 3, 4, 7}));
    EXPECT_EQ(s.list(1, s.fresh), (std::vector<int32_t>{1, 7}));
    EXPECT_EQ(s.list(2, s.toprint), (std::vector<int32_t>{1, 4}));
    // The lists come back unlocked, for the caller to lock and free.
    EXPECT_EQ(UL_unlockhandle(s.lists[0]), UL_E_NOTLOCKED);
}

TEST_F(RecvTest, FiftyOneFaxesGrowTheListTwice) {
    for (int i = 0; i < 51; ++i) addFax(1, 'X', 'R', 'S');
    const uint32_t blocks = UL_handlecount();
    ScanResult s;
    s.run();
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(v(s.all), 51);
    EXPECT_EQ(UL_handlesize(s.lists[0]), 100u * 4);  // 50 entries, then 100
    EXPECT_EQ(v(s.fresh), 0);
    EXPECT_EQ(s.lists[1], 0u);
    const auto all = s.list(0, s.all);
    for (int i = 0; i < 51; ++i) EXPECT_EQ(all[i], i + 1);
    EXPECT_EQ(UL_handlecount(), blocks + 1);
}

TEST_F(RecvTest, AScanReachedThroughTheYieldReturnsEmpty) {
    addFax(1);
    addFax(1);
    int nested = 0;
    ScanResult inner;
    qorul::setYieldHook([&] {
        if (nested++ == 0) inner.run();
    });
    ScanResult outer;
    outer.run();
    qorul::setYieldHook(nullptr);
    ASSERT_EQ(outer.status, 0);
    EXPECT_EQ(v(outer.all), 2);
    EXPECT_EQ(inner.status, 0);
    EXPECT_EQ(inner.all + inner.fresh + inner.toprint, 0);
    EXPECT_EQ(inner.lists[0] | inner.lists[1] | inner.lists[2], 0u);
    EXPECT_FALSE(qorsf::recvLogState().scanBusy);
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(RecvTest, ADamagedLogIsAStatusForTheHost) {
    addFax(1);
    VQ_closelogdb();
    {
        std::ofstream f(profile.path("recvlog.db"), std::ios::binary | std::ios::trunc);
        f << std::string(8192, '\x13');
    }
    std::remove(profile.path("recvlog.db-wal").c_str());
    std::remove(profile.path("recvlog.db-shm").c_str());
    const uint32_t blocks = UL_handlecount();
    ScanResult s;
    s.run();
    EXPECT_EQ(s.status, VQ_E_LOGDB);
    EXPECT_EQ(s.all + s.fresh + s.toprint, 0);
    EXPECT_EQ(s.lists[0] | s.lists[1] | s.lists[2], 0u);
    EXPECT_EQ(L1_lockdepth(), 0);
    EXPECT_FALSE(qorsf::recvLogState().scanBusy);
    uint16_t fresh = 1, all = 1;
    EXPECT_EQ(SF_checkfaxlog(0, &fresh, &all), VQ_E_LOGDB);
    EXPECT_EQ(v(fresh), 0xFFFF);
    EXPECT_EQ(UL_handlecount(), blocks);
}

TEST_F(RecvTest, WithAutomaticPrintingOffTheCheckNeverPrints) {
    for (int i = 0; i < 3; ++i) addFax(1);
    addFax(2, 'R', 'R', 'S');
    autoPrint(0);
    uint16_t fresh = 0, all = 0;
    ASSERT_EQ(SF_checkfaxlog(0, &fresh, &all), 0);
    EXPECT_EQ(v(fresh), 3);
    EXPECT_EQ(v(all), 4);
    EXPECT_EQ(printStates(4), "RRRR");
    EXPECT_TRUE(pdfsIn(profile.path("print")).empty());
}

TEST_F(RecvTest, ThreeWaitingFaxesArePrintedInLogOrder) {
    const std::string log = usePrintLog();
    addFax(3);
    addFax(1);
    addFax(2);
    addFax(0);  // waiting, but with no pages: never taken
    autoPrint(1);
    const uint32_t blocks = UL_handlecount();
    uint16_t fresh = 0, all = 0;
    ASSERT_EQ(SF_checkfaxlog(0, &fresh, &all), 0);
    EXPECT_EQ(v(all), 3);
    EXPECT_EQ(qortest::readFile(log), "3\n1\n2\n");
    EXPECT_EQ(printStates(4), "XXXR");
    EXPECT_EQ(UL_handlecount(), blocks);
    // Nothing waits any more: the next check prints nothing.
    ASSERT_EQ(SF_checkfaxlog(0, &fresh, &all), 0);
    EXPECT_EQ(qortest::readFile(log), "3\n1\n2\n");
}

TEST_F(RecvTest, APrintFailureGivesTheFaxBackAndStops) {
    addFax(1);
    addFax(2);
    addFax(1);
    // The second fax's first page is damaged: it cannot be printed.
    std::ofstream(pageName(bases[1], 0), std::ios::trunc) << "not a fax page";
    autoPrint(1);
    const int16_t st = SF_autoprint(0);
    EXPECT_EQ(st, L1_E_DAMAGED);  // the print error itself
    EXPECT_EQ(printStates(3), "XRR");
    EXPECT_EQ(pdfsIn(profile.path("print")).size(), 1u);
}

TEST_F(RecvTest, AFaxWhoseFirstPageIsGoneCountsAsPrinted) {
    addFax(2);
    std::remove(pageName(bases[0], 0).c_str());
    ASSERT_EQ(SF_autoprint(0), 0);
    EXPECT_EQ(printStates(1), "X");
    EXPECT_TRUE(pdfsIn(profile.path("print")).empty());
}

TEST_F(RecvTest, DeleteAfterPrintRemovesEveryPageAndMarksTheEntry) {
    putFax(2211, "1");
    SF_close(kHost);
    ASSERT_EQ(SF_open(kHost), 0);
    ASSERT_EQ(qorsf::frame().word2211, 1);
    addFax(4);
    addFax(1, 'N');  // not to print: its pages stay
    ASSERT_EQ(SF_autoprint(0), 0);
    for (int k = 0; k < 4; ++k) EXPECT_FALSE(std::filesystem::exists(pageName(bases[0], k))) << k;
    EXPECT_TRUE(std::filesystem::exists(pageName(bases[1], 0)));
    const LOG_RECORD r = entry(1);
    EXPECT_EQ(v(r.entrystate), 'D');
    EXPECT_EQ(v(r.printstate), 'X');
    EXPECT_EQ(pdfsIn(profile.path("print")), std::vector<std::string>{"R00000001.pdf"});
    // Its files are gone: the scan lists it no more.
    ScanResult s;
    s.run();
    EXPECT_EQ(v(s.all), 1);
}

TEST_F(RecvTest, TwoHostsPrintingAtOnceNeverPrintAFaxTwice) {
    constexpr int kFaxes = 12;
    for (int i = 0; i < kFaxes; ++i) addFax(1);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(SF_autoprint(0) == 0 ? 0 : 1);
    const int16_t mine = SF_autoprint(0);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(mine, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(printStates(kFaxes), std::string(kFaxes, 'X'));
    const auto pdfs = pdfsIn(profile.path("print"));
    EXPECT_EQ(pdfs.size(), static_cast<std::size_t>(kFaxes));  // "name-1.pdf" would be a second print
    for (const auto& p : pdfs) EXPECT_EQ(p.find('-'), std::string::npos) << p;
}

TEST_F(RecvTest, TheEngineAddsFaxesWhileAHostScans) {
    constexpr int kAdded = 150;
    ASSERT_TRUE(qortest::writeTiff(profile.path("recv/shared.001"), 1728));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 1; i <= kAdded; ++i) {
            VQ_LOGENTRY e;
            std::memset(&e, 0, sizeof e);
            UL_strcopy(e.faxfile, "shared.001");
            e.pages = 1;
            std::snprintf(e.stationid, sizeof e.stationid, "station %d", i);
            std::snprintf(e.note, sizeof e.note, "fax %d of the engine", i);
            LOG_RECORD r;
            std::memcpy(&r, &e, sizeof r);
            if (VQ_addlog(0, 0, &r) != 0) _exit(1);
        }
        _exit(0);
    }
    int status = -1;
    uint16_t last = 0;
    bool ordered = true, growing = true, intact = true;
    for (bool running = true; running;) {
        running = waitpid(child, &status, WNOHANG) == 0;
        ScanResult s;
        s.run();
        ASSERT_EQ(s.status, 0);
        if (s.all < last) growing = false;
        last = s.all;
        const auto all = s.list(0, s.all);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i] != static_cast<int32_t>(i + 1)) ordered = false;
            VQ_LOGENTRY e;
            const LOG_RECORD r = entry(all[i]);
            std::memcpy(&e, &r, sizeof e);
            // Every record read is whole: its texts belong together.
            const std::string station = e.stationid, note = e.note;
            if (note != "fax " + station.substr(8) + " of the engine") intact = false;
        }
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(growing);
    EXPECT_TRUE(intact);
    ScanResult s;
    s.run();
    EXPECT_EQ(v(s.all), kAdded);
    EXPECT_EQ(v(s.fresh), kAdded);
    EXPECT_EQ(v(s.toprint), 0);  // the engine's faxes were not to be printed
}

TEST_F(RecvTest, SingleFaxOperationsOfAHost) {
    addFax(2);
    addFax(1);
    LOG_RECORD r;
    ASSERT_EQ(qorsf::SF_markfax(0, 1, 1, 'S', &r), 0);
    EXPECT_EQ(v(r.viewstate), 'S');
    ASSERT_EQ(qorsf::SF_printfaxentry(0, 2), 0);
    EXPECT_EQ(printStates(2), "RX");
    ASSERT_EQ(qorsf::SF_deletefax(0, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(pageName(bases[0], 0)));
    EXPECT_FALSE(std::filesystem::exists(pageName(bases[0], 1)));
    EXPECT_EQ(qorsf::SF_readfax(0, 1, &r), VQ_E_NOENTRY);
    EXPECT_EQ(qorsf::SF_printfaxentry(0, 1), VQ_E_NOENTRY);
    EXPECT_EQ(qorsf::SF_readfax(0, 42, &r), VQ_E_NOENTRY);
    ScanResult s;
    s.run();
    EXPECT_EQ(s.list(0, s.all), std::vector<int32_t>{2});
}

}  // namespace
