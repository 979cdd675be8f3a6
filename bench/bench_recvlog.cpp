// The log of received faxes as a host polls it: SF_scanrlog and SF_checkfaxlog (with nothing
// waiting to be printed) over 1,000 and 10,000 received faxes. A host calls them every few
// seconds: 10,000 faxes should take well under 20 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "frame/frame.h"
#include "qorul_control.h"
#include "qorvq_log.h"
#include "queue/queue.h"
#include "queue/recvlog.h"

namespace {

class Profile {
public:
    explicit Profile(int faxes) {
        std::string dir = (std::filesystem::temp_directory_path() / "qorfax-bench-XXXXXX").string();
        if (!mkdtemp(dir.data())) std::abort();
        root_ = dir + "/";
        qorul::setProfileRoot(root_);
        qorsf::frame_reset();
        qorsf::queue_reset();
        qorsf::recvlog_reset();
        if (SF_open(0) != 0) std::abort();
        // Every entry lists the same page files: the log is what is measured, not the files.
        for (const char* ext : {".001", ".002", ".003", ".004", ".005"})
            std::ofstream(root_ + "recv/R00000000" + ext) << "page";
        for (int i = 0; i < faxes; ++i) {
            VQ_LOGENTRY e;
            std::memset(&e, 0, sizeof e);
            std::snprintf(e.faxfile, sizeof e.faxfile, "R00000000.001");
            std::snprintf(e.stationid, sizeof e.stationid, "+1 555 %04d", i % 10000);
            e.pages = static_cast<int16_t>(1 + i % 5);
            e.viewstate = i % 3 ? 'S' : 'R';  // a third of them new
            e.printstate = 'X';               // every one printed: nothing waits
            LOG_RECORD r;
            std::memcpy(&r, &e, sizeof r);
            if (VQ_addlog(0, 0, &r) != 0) std::abort();
        }
    }
    ~Profile() {
        SF_close(0);
        qorsf::frame_reset();
        qorul::resetProfile();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

private:
    std::string root_;
};

void BM_ScanReceiveLog(benchmark::State& state) {
    const int faxes = static_cast<int>(state.range(0));
    Profile p(faxes);
    for (auto _ : state) {
        uint16_t all = 0, fresh = 0, toprint = 0;
        uint32_t lists[3] = {};
        if (SF_scanrlog(0, &all, &fresh, &toprint, &lists[0], &lists[1], &lists[2]) != 0 || all != faxes)
            state.SkipWithError("scan failed");
        for (uint32_t h : lists)
            if (h) UL_freehandle(h);
        benchmark::DoNotOptimize(fresh);
    }
    state.SetItemsProcessed(state.iterations() * faxes);
}
BENCHMARK(BM_ScanReceiveLog)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_CheckFaxLogNothingToPrint(benchmark::State& state) {
    const int faxes = static_cast<int>(state.range(0));
    Profile p(faxes);
    const uint16_t on = 1;  // automatic printing on: the check still finds nothing waiting
    SF_adjustparm(0, 5, &on);
    for (auto _ : state) {
        uint16_t fresh = 0, all = 0;
        if (SF_checkfaxlog(0, &fresh, &all) != 0 || all != faxes) state.SkipWithError("check failed");
        benchmark::DoNotOptimize(fresh);
    }
    state.SetItemsProcessed(state.iterations() * faxes);
}
BENCHMARK(BM_CheckFaxLogNothingToPrint)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
