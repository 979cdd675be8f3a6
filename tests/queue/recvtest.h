// A library opened on its own profile with a log of received faxes to fill: faxes of real page
// files (TIFF Class F), entered as the fax engine enters them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "faxfile.h"
#include "frame_fixture.h"
#include "qorlib2.h"
#include "qorvq_log.h"
#include "queue/queue.h"
#include "queue/recvlog.h"

namespace qortest {

class RecvTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        qorsf::queue_reset();
        qorsf::recvlog_reset();
        FN_resetsys(0);
        ASSERT_EQ(SF_open(kHost), 0);
    }
    void TearDown() override {
        FrameTest::TearDown();
        VQ_closelogdb();
        FN_resetsys(0);
    }

    // A fax of `pages` page files in the receive directory, entered with these states.
    int32_t addFax(int pages, char print = 'R', char entry = 'R', char view = 'R') {
        char base[UL_MAXPATH];
        EXPECT_EQ(VQ_recvname(0, 0, base, sizeof base), 0);
        for (int k = 0; k < pages; ++k) EXPECT_TRUE(writeTiff(pageName(base, k), 1728));
        VQ_LOGENTRY e;
        std::memset(&e, 0, sizeof e);
        const std::string b = base;
        UL_strcopy(e.faxfile, (b.substr(b.rfind('/') + 1) + ".001").c_str());
        e.pages = static_cast<int16_t>(pages);
        e.entrystate = static_cast<uint16_t>(entry);
        e.viewstate = static_cast<uint16_t>(view);
        e.printstate = static_cast<uint16_t>(print);
        LOG_RECORD r;
        std::memcpy(&r, &e, sizeof r);
        EXPECT_EQ(VQ_addlog(0, 0, &r), 0);
        bases.push_back(b);
        return r.entrynum;
    }
    static std::string pageName(const std::string& base, int k) {
        const std::string n = std::to_string(1000 + (k + 1) % 1000);
        return base + "." + n.substr(1);
    }
    LOG_RECORD entry(int32_t n) {
        LOG_RECORD r;
        std::memset(&r, 0, sizeof r);
        EXPECT_EQ(VQ_readlogentry(0, 0, n, &r), 0);
        return r;
    }
    // The print states of entries 1..n, as letters.
    std::string printStates(int n) {
        std::string out;
        for (int i = 1; i <= n; ++i) out += static_cast<char>(entry(i).printstate);
        return out;
    }
    // Prints through a command that notes the page count of every fax it is given, in order.
    std::string usePrintLog() {
        const std::string script = profile.path("print.sh");
        const std::string log = profile.path("printed.log");
        FILE* f = std::fopen(script.c_str(), "w");
        std::fprintf(f, "#!/bin/sh\npdfinfo \"$1\" | sed -n 's/^Pages: *//p' >> %s\n", log.c_str());
        std::fclose(f);
        chmod(script.c_str(), 0755);
        put("PRINT", "Target", "command");
        put("PRINT", "Command", script.c_str());
        return log;
    }

    std::vector<std::string> bases;  // the page file bases of the faxes added, in order
};

// The lists of one scan, freed at the end.
struct ScanResult {
    uint16_t all = 7, fresh = 7, toprint = 7;
    uint32_t lists[3] = {7, 7, 7};
    int16_t status = -1;
    ~ScanResult() {
        for (uint32_t h : lists)
            if (h && h != 7) UL_freehandle(h);
    }
    void run() { status = SF_scanrlog(0, &all, &fresh, &toprint, &lists[0], &lists[1], &lists[2]); }
    std::vector<int32_t> list(int which, uint16_t count) const {
        std::vector<int32_t> out;
        if (!lists[which]) return out;
        void* p = nullptr;
        EXPECT_EQ(UL_lockhandle(lists[which], &p), 0);
        out.assign(static_cast<const int32_t*>(p), static_cast<const int32_t*>(p) + count);
        UL_unlockhandle(lists[which]);
        return out;
    }
};

}  // namespace qortest
