// Phone book window benchmarks on a phone book of 10,000 names: the window's start (the names
// into the name list, the groups into the group list, the first record shown, closed again),
// a full scroll of the name list (every page of rows read as a screen draws it, first to last),
// and one step of browsing (the next name chosen and its record shown). Target: window start
// and full scroll under 100 ms each.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "qorsf.h"
#include "qorui.h"
#include "qorul.h"
#include "qorul_control.h"
#include "qorwinuser.h"

namespace {

constexpr uint32_t kHost = 0;
constexpr long kNames = 10000;
constexpr int kRows = 14;  // rows of the dropped name list on a screen

std::string& root() {
    static std::string r;
    return r;
}

qorui::ScriptedDriver& driver() {
    static qorui::ScriptedDriver d;
    return d;
}

std::string nameOf(long i) {
    std::string digits = std::to_string((i * 7919) % 1000003);
    return "Name " + std::string(7 - digits.size(), '0') + digits;
}

// The book, built once straight through the store: every name with full details, every tenth
// in one of 50 groups.
void buildBook() {
    SF_PBCONTEXT* c = nullptr;
    if (qorsf::SF_prolog(kHost, &c, 'E')) std::abort();
    auto addRecord = [&](const std::string& name, const std::string& group, const PB_ENTRY* e) {
        UL_strcopy(c->name, 31, name.c_str());
        UL_strcopy(c->group, 31, group.c_str());
        c->info[0] = '\0';
        if (e) {
            qorsf::SF_entrytoinfo(kHost, e, c->info);
            c->info[660] = '\0';
        }
        if (qorsf::SF_dbadd(kHost, &c->db, c->table)) std::abort();
    };
    for (long i = 0; i < kNames; ++i) {
        PB_ENTRY e{};
        UL_strcopy(e.name, nameOf(i).c_str());
        UL_strcopy(e.number, ("+1 555 " + std::to_string(1000000 + i)).c_str());
        UL_strcopy(e.voice, ("+1 666 " + std::to_string(1000000 + i)).c_str());
        UL_strcopy(e.company, ("Company number " + std::to_string(i) + ", Incorporated").c_str());
        UL_strcopy(e.text3, "A note that fills a good part of the third text field.");
        addRecord(e.name, " ", &e);
    }
    for (long i = 0; i < kNames; i += 10) addRecord(nameOf(i), "Group " + std::to_string(i % 50), nullptr);
    SF_epilog(kHost);
}

void BM_WindowStart(benchmark::State& state) {
    for (auto _ : state) {
        driver().act([&](HWND d) {
            if (SendDlgItemMessageA(d, qorsf::PF_NAME, CB_GETCOUNT, 0, 0) != kNames) state.SkipWithError("names missing");
            qorwin::click(d, qorsf::PW_CLOSE);
        });
        if (SF_phonemain(kHost, nullptr, 0)) state.SkipWithError("the window failed");
    }
}

// Runs `body` with the window open on the book (the state's loop runs inside the window).
template <typename F>
void inWindow(benchmark::State& state, F body) {
    driver().act([&](HWND d) {
        body(d);
        qorwin::click(d, qorsf::PW_CLOSE);
    });
    if (SF_phonemain(kHost, nullptr, 0)) state.SkipWithError("the window failed");
}

void BM_WindowFullScroll(benchmark::State& state) {
    inWindow(state, [&](HWND d) {
        HWND list = GetDlgItem(d, qorsf::PF_NAME);
        for (auto _ : state) {
            SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
            const int n = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
            char row[64];
            long drawn = 0;
            for (int top = 0; top < n; top += kRows)
                for (int i = top; i < top + kRows && i < n; ++i) {
                    if (SendMessageA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(sizeof row))
                        continue;
                    SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(row));
                    ++drawn;
                }
            SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
            benchmark::DoNotOptimize(drawn);
            if (drawn != kNames) state.SkipWithError("rows missing");
        }
    });
}

void BM_WindowBrowseStep(benchmark::State& state) {
    inWindow(state, [&](HWND d) {
        int i = 0;
        for (auto _ : state) {
            i = (i + 97) % static_cast<int>(kNames);
            qorwin::selectItem(d, qorsf::PF_NAME, i);
        }
        if (qorsf::formstate().current[0] == '\0') state.SkipWithError("nothing shown");
    });
}

BENCHMARK(BM_WindowStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFullScroll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowBrowseStep)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    char dir[] = "/tmp/bench_phonewindow_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    root() = std::string(dir) + "/";
    if (qorul::setProfileRoot(root() + "profile")) return 1;
    qorui::ScopedDriver installed(driver());
    if (SF_open(kHost)) return 1;
    buildBook();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SF_close(kHost);
    std::filesystem::remove_all(dir);
    return 0;
}
