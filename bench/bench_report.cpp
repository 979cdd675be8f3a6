// The report writer on 10,000 rows: a layout with a header (date, time, page), a footer (page)
// and a body of a column line and a running text, against comma-separated rows, and the PDF of
// the paged report.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qorlib2.h"
#include "qorul.h"
#include "qorul_control.h"
#include "report/report.h"

namespace {

constexpr int kRows = 10000;

struct Profile {
    std::string root;
    Profile() {
        char dir[] = "/tmp/qorfax-bench-XXXXXX";
        if (!::mkdtemp(dir)) std::abort();
        root = std::string(dir) + "/";
        qorul::setClock(1773480413);
        if (qorul::setProfileRoot(root) != 0) std::abort();
        std::string layout =
            "[BENCH]\n"
            "LineWidth=80\nPageLength=60\nHeaderLines=2\nFooterLines=1\nBodyLines=2\n"
            "(Header)\n"
            "Benchmark report                    <Date      > <Time    >  Page <Page  >\n"
            "\n"
            "(Footer)\n"
            "                                   - <Page> -\n"
            "(Body)\n"
            "<1                  > <2             > <3             > <4                 >\n"
            "    <Text                                                                    >\n";
        FILE* f = std::fopen((root + "layouts.rpt").c_str(), "w");
        std::fputs(layout.c_str(), f);
        std::fclose(f);
    }
    ~Profile() { std::system(("rm -rf '" + root + "'").c_str()); }
};

Profile& profile() {
    static Profile p;
    return p;
}

void writeReport(benchmark::State& state, const char* layout, const std::string& out) {
    std::vector<std::string> a, b;
    for (int i = 0; i < kRows; ++i) {
        a.push_back("Name number " + std::to_string(i));
        b.push_back("+1 555 " + std::to_string(1000000 + i));
    }
    const std::string memo(100, 'm');  // two pieces of running text
    for (auto _ : state) {
        ::unlink(out.c_str());
        qorsf::RPT_CONTEXT ctx{};
        if (qorsf::SF_rptopen(0, out.c_str(), layout, &ctx) != 0) state.SkipWithError("open");
        for (int i = 0; i < kRows; ++i) {
            const char* cols[4] = {a[i].c_str(), b[i].c_str(), "Group", "Company of the name"};
            if (qorsf::SF_rptline(0, &ctx, memo.c_str(), 2, 4, cols) != 0) state.SkipWithError("line");
        }
        if (qorsf::SF_rptclose(0, &ctx) != 0) state.SkipWithError("close");
    }
    uint32_t size = 0;
    UL_filesize(0, out.c_str(), &size);
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(kRows), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = size;
}

void BM_Report10kRows(benchmark::State& state) { writeReport(state, "BENCH", profile().root + "paged.txt"); }
BENCHMARK(BM_Report10kRows)->Unit(benchmark::kMillisecond);

void BM_Report10kRowsCommaSeparated(benchmark::State& state) {
    writeReport(state, nullptr, profile().root + "rows.csv");
}
BENCHMARK(BM_Report10kRowsCommaSeparated)->Unit(benchmark::kMillisecond);

void BM_Report10kRowsToPdf(benchmark::State& state) {
    std::string text = profile().root + "topdf.txt";
    // The paged report of BM_Report10kRows, written once.
    ::unlink(text.c_str());
    qorsf::RPT_CONTEXT ctx{};
    qorsf::SF_rptopen(0, text.c_str(), "BENCH", &ctx);
    const std::string memo(100, 'm');
    for (int i = 0; i < kRows; ++i) {
        std::string n = "Name number " + std::to_string(i);
        const char* cols[4] = {n.c_str(), "+1 555 0100", "Group", "Company of the name"};
        qorsf::SF_rptline(0, &ctx, memo.c_str(), 2, 4, cols);
    }
    qorsf::SF_rptclose(0, &ctx);
    std::string pdf = profile().root + "report.pdf";
    for (auto _ : state)
        if (FN_texttopdf(0, text.c_str(), pdf.c_str(), 0) != 0) state.SkipWithError("pdf");
    uint32_t size = 0;
    UL_filesize(0, pdf.c_str(), &size);
    state.counters["pdf bytes"] = size;
}
BENCHMARK(BM_Report10kRowsToPdf)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
