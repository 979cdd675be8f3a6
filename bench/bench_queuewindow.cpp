// Queue window benchmarks: a refresh of the open window (the queue walked, the list rebuilt with
// every line's texts measured and fitted to their columns, the selection put back) followed by
// the drawing of the list's visible owner-drawn lines, with 2,000 jobs in the queue (the window
// lists its 1,000 lines and says the rest do not fit) and with 500. Target: under 50 ms with
// 2,000 jobs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorui.h"
#include "qorul.h"
#include "qorul_control.h"
#include "qorvq.h"
#include "qorwinuser.h"
#include "queue/dialogs/queuewindow.h"
#include "send/send.h"

namespace {

constexpr uint32_t kHost = 0;

qorui::ScriptedDriver& driver() {
    static qorui::ScriptedDriver d;
    return d;
}

// A profile of its own with `jobs` queued jobs of mixed statuses and names.
class Profile {
public:
    explicit Profile(int jobs) {
        char dir[] = "/tmp/bench_queuewindow_XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        dir_ = dir;
        if (qorul::setProfileRoot(dir_ + "/profile")) std::abort();
        if (SF_open(kHost)) std::abort();
        const char statuses[] = "QQSSAEUW";
        for (int i = 0; i < jobs; ++i) {
            SendJobRecord job;
            std::memset(&job, 0, sizeof job);
            std::snprintf(job.jobfile, sizeof job.jobfile, "%08X.SPL", 0x100000 + i);
            std::snprintf(job.number, sizeof job.number, "+1 555 %07d", i);
            std::snprintf(job.recipientName, sizeof job.recipientName, "Recipient number %d of the queue", i);
            job.sendTime = SF_DATETIME{2027, 3, 14, 9, 26, 53};
            job.status = 'Q';
            uint32_t n = 0;
            if (VQ_addjob(kHost, &job, &n) != 0) std::abort();
            QUEUE_RECORD r;
            if (VQ_readjob(kHost, n, &r) != 0) std::abort();
            r.status = static_cast<uint16_t>(statuses[i % 8]);
            if (VQ_writejob(kHost, &r, 3) != 0) std::abort();
        }
    }
    ~Profile() {
        qorsf::queuewindow_reset();
        SF_close(kHost);
        std::filesystem::remove_all(dir_);
    }

private:
    std::string dir_;
};

void BM_Refresh(benchmark::State& state) {
    const int jobs = static_cast<int>(state.range(0));
    Profile p(jobs);
    HWND w = nullptr;
    if (SF_wndqueue(kHost, &w) != 0) {
        state.SkipWithError("the window failed");
        return;
    }
    qorwin::pump();
    HWND list = GetDlgItem(w, qorsf::QW_LIST);
    const int expected = jobs < qorsf::kQueueWindowMost ? jobs : qorsf::kQueueWindowMost;
    for (auto _ : state) {
        // The refresh a host asks for; it ends by painting the window, the list's visible
        // owner-drawn lines among it (the pump paints whatever is left).
        SendMessageA(w, qorsf::kQueueMessage, 0, 0);
        qorwin::pump();
        if (SendMessageA(list, LB_GETCOUNT, 0, 0) != expected) state.SkipWithError("lines missing");
    }
    state.SetItemsProcessed(state.iterations() * expected);
    driver().clear();
}
BENCHMARK(BM_Refresh)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qorui::ScopedDriver installed(driver());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
