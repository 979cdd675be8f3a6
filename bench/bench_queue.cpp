// The send queue under load: submissions of one document each, and the queue count of a
// large queue. Each benchmark runs on a profile of its own in a temporary directory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "frame/frame.h"
#include "qorul_control.h"
#include "queue/actions.h"
#include "queue/queue.h"
#include "send/send.h"

namespace {

class Profile {
public:
    Profile() {
        // QORBENCH_DIR puts the profile elsewhere, e.g. on a tmpfs (/dev/shm), where the disk's
        // own costs of making and removing files do not drown what the queue's size costs.
        const char* base = std::getenv("QORBENCH_DIR");
        std::string dir = ((base && *base ? std::filesystem::path(base) : std::filesystem::temp_directory_path()) /
                           "qorfax-bench-XXXXXX")
                              .string();
        if (!mkdtemp(dir.data())) std::abort();
        root_ = dir + "/";
        qorul::setProfileRoot(root_);
        qorsf::frame_reset();
        qorsf::queue_reset();
        qorsf::send_reset();
        if (SF_open(0) != 0) std::abort();
    }
    ~Profile() {
        SF_close(0);
        qorsf::frame_reset();
        qorul::resetProfile();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

DocumentEntry document(const std::string& path) {
    DocumentEntry d;
    std::memset(&d, 0, sizeof d);
    d.type = 2;
    std::snprintf(d.text, sizeof d.text, "%s", path.c_str());
    return d;
}

// 1,000 submissions of one document each (a control file and a queue transaction per job).
void BM_Submit1000(benchmark::State& state) {
    Profile p;
    const DocumentEntry doc = document(p.root() + "spool/doc.001");
    SendOptions o;
    std::memset(&o, 0, sizeof o);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            if (qorsf::SF_sendfax(0, &doc, 1, "5551234", &o) != 0) state.SkipWithError("submission failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Submit1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The queue count over 10,000 jobs (what SF_checkqueue does after a change).
void BM_CountQueue10000(benchmark::State& state) {
    Profile p;
    SendJobRecord job;
    std::memset(&job, 0, sizeof job);
    std::snprintf(job.jobfile, sizeof job.jobfile, "%s", (p.root() + "spool/job.SPL").c_str());
    std::snprintf(job.number, sizeof job.number, "5551234");
    job.status = 'Q';
    for (int i = 0; i < 10000; ++i) {
        uint32_t n = 0;
        if (VQ_addjob(0, &job, &n) != 0) std::abort();
    }
    for (auto _ : state) {
        uint16_t total = 0, sent = 0, failed = 0, held = 0;
        if (qorsf::SF_countqueue(0, &total, &sent, &failed, &held) != 0 || total != 10000)
            state.SkipWithError("count failed");
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_CountQueue10000)->Unit(benchmark::kMillisecond);

// A profile as a busy user's looks: `jobs` queued jobs, each holding a spooled copy of its own
// in the delete list. Written directly (one transaction, one list file) to keep the set-up short.
void fillQueue(const Profile& p, int jobs) {
    SendJobRecord job;
    std::memset(&job, 0, sizeof job);
    std::snprintf(job.jobfile, sizeof job.jobfile, "%s", (p.root() + "spool/job.SPL").c_str());
    std::snprintf(job.number, sizeof job.number, "5551234");
    job.status = 'Q';
    std::string list;
    for (int i = 0; i < jobs; ++i) {
        uint32_t n = 0;
        if (VQ_addjob(0, &job, &n) != 0) std::abort();
        DEL_RECORD r;
        std::memset(&r, 0, sizeof r);
        r.count = 1;
        r.inuse = 'n';
        std::snprintf(r.path, sizeof r.path, "%sspool/%08X.SPL.001", p.root().c_str(), 0x100000 + i);
        list.append(reinterpret_cast<const char*>(&r), sizeof r);
    }
    FILE* f = std::fopen((p.root() + "data/delfile.lis").c_str(), "wb");
    if (!f || std::fwrite(list.data(), 1, list.size(), f) != list.size()) std::abort();
    std::fclose(f);
}

// A host's start-up and shut-down (SF_open with its purge of the queue, SF_close) with 0 and
// 10,000 jobs in the queue: the same time either way.
void BM_StartUp(benchmark::State& state) {
    Profile p;
    fillQueue(p, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SF_close(0);
        qorsf::frame_reset();
        if (SF_open(0) != 0) state.SkipWithError("open failed");
    }
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

// One send of one document to one number through the document list (copy, holds, control
// file, job) with 0 and 10,000 jobs in the queue.
void BM_Send(benchmark::State& state) {
    Profile p;
    fillQueue(p, static_cast<int>(state.range(0)));
    const std::string doc = p.root() + "memo.txt";
    FILE* f = std::fopen(doc.c_str(), "wb");
    if (!f) std::abort();
    std::fputs("a memo\n", f);
    std::fclose(f);
    if (FN_adddocument(0, doc.c_str(), 1, 0) != 0) std::abort();
    SendOptions o;
    std::memset(&o, 0, sizeof o);
    const char* numbers[] = {"5551234"};
    uint32_t job = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        if (qorsf::SF_faxfolder(0, numbers, 1, &o) != 0) state.SkipWithError("send failed");
        // The job goes again, with its files, so that the queue keeps its size.
        state.PauseTiming();
        QUEUE_RECORD r;
        if (VQ_readjob(0, ++job, &r) != 0 || qorsf::SF_deletejob(0, &r) != 0) state.SkipWithError("no job to delete");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Send)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
