// The fax engine's call: one calling and one answering T.30 endpoint connected sample to sample
// (the loopback line), sending pages of dense text. Counters: the simulated line time a page
// takes and the CPU time a page costs, for V.17 at 14400 bit/s and V.27ter at 4800 bit/s.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

#include "engine.h"
#include "line.h"
#include "qordoc.h"

namespace {

// Three pages of 66 full lines: about the densest a text fax gets.
std::string pagesFile() {
    static std::string path;
    if (!path.empty()) return path;
    std::string text;
    for (int l = 0; l < 66 * 3; ++l) text += std::string(79, static_cast<char>('A' + l % 26)) + "\n";
    qordoc::Format f;
    const auto pages = qordoc::renderText(qordoc::layoutText(text, 80, 66), f);
    path = "/tmp/bench_engine_" + std::to_string(getpid()) + ".tif";
    qordoc::writeFax(path, pages, false);
    return path;
}

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void call(benchmark::State& state, int modems) {
    const std::string tx = pagesFile();
    qorfaxd::Settings s;
    s.modems = modems;
    s.ident = "+1 555 0100";
    qorfaxd::Inbox inbox;
    qorfaxd::AnswerSettings a;
    a.ident = "+1 555 0200";
    a.modems = modems;
    a.tempDir = "/tmp/";
    a.inbox = &inbox;
    const auto line = qorfaxd::makeLoopbackLine(a);
    std::atomic<bool> stop{false};
    double line_ = 0, cpu = 0;
    int pages = 0, rate = 0;
    for (auto _ : state) {
        const double c0 = cpuSeconds();
        std::unique_ptr<qorfaxd::Call> c;
        std::string why;
        line->dial("", &c, &why);
        double seconds = 0;
        const qorfaxd::Outcome o = qorfaxd::runCall(*c, tx, s, stop, &seconds);
        c.reset();
        cpu += cpuSeconds() - c0;
        line_ += seconds;
        pages += o.pages;
        rate = o.bitRate;
        if (o.code != 0) state.SkipWithError(o.text.c_str());
        for (auto& r : inbox.take()) std::remove(r.tiff.c_str());
    }
    state.counters["line_s_per_page"] = pages ? line_ / pages : 0;
    state.counters["cpu_s_per_page"] = pages ? cpu / pages : 0;
    state.counters["bit_rate"] = rate;
}

void BM_CallV17(benchmark::State& state) { call(state, qorfaxd::kAllModems); }
void BM_CallV27ter(benchmark::State& state) { call(state, qorfaxd::kV27ter); }
BENCHMARK(BM_CallV17)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CallV27ter)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
