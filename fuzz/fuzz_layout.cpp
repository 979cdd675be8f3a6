// Arbitrary layout files and rows through SF_rptopen, SF_rptline and SF_rptclose.
//
// Input: the layout file, a NUL byte, then rows (one a line, columns separated by tabs; a row
// that begins with \x01 also gives its text as the running text). The first byte chooses the
// layout: "F", "" (DEFAULT) or none (comma-separated rows).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qorui.h"
#include "qorul.h"
#include "qorul_control.h"
#include "report/report.h"

namespace {

// Answers every question with "no" and keeps nothing.
class Quiet : public qorui::Driver {
public:
    int messageBox(HWND, const std::string&, const std::string&, UINT) override { return IDNO; }
    void beep(UINT) override {}
    void status(const std::string&) override {}
    bool askString(HWND, const std::string&, const std::string&, std::string&) override { return false; }
    bool chooseFile(HWND, const std::string&, const std::string&, int, std::string&) override { return false; }
};

std::string& root() {
    static std::string r = [] {
        char dir[] = "/tmp/qorfax-fuzz-layout-XXXXXX";
        if (!::mkdtemp(dir)) std::abort();
        static Quiet quiet;
        qorui::install(&quiet);
        qorul::setClock(1773480413);
        if (qorul::setProfileRoot(dir) != 0) std::abort();
        return std::string(dir) + "/";
    }();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = root();
    std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t nul = input.find('\0');
    std::string layout = input.substr(0, nul);
    std::string rows = nul == std::string::npos ? std::string() : input.substr(nul + 1);

    FILE* f = std::fopen((dir + "layouts.rpt").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(layout.data(), 1, layout.size(), f);
    std::fclose(f);
    std::string out = dir + "out.txt";
    ::unlink(out.c_str());

    const char* name = size == 0 || data[0] % 3 == 0 ? "F" : data[0] % 3 == 1 ? "" : nullptr;
    qorsf::RPT_CONTEXT ctx{};
    if (qorsf::SF_rptopen(0, out.c_str(), name, &ctx) == 0) {
        std::size_t pos = 0;
        int count = 0;
        while (pos < rows.size() && count++ < 200) {
            std::size_t end = rows.find('\n', pos);
            std::string line = rows.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            pos = end == std::string::npos ? rows.size() : end + 1;
            bool running = !line.empty() && line[0] == '\x01';
            std::vector<std::string> cols;
            std::size_t c = running ? 1 : 0;
            for (;;) {
                std::size_t tab = line.find('\t', c);
                cols.push_back(line.substr(c, tab == std::string::npos ? std::string::npos : tab - c));
                if (tab == std::string::npos) break;
                c = tab + 1;
            }
            std::vector<const char*> ptrs;
            for (const auto& s : cols) ptrs.push_back(s.c_str());
            qorsf::SF_rptline(0, &ctx, running ? line.c_str() + 1 : nullptr, static_cast<int16_t>(cols.size()),
                              static_cast<int16_t>(ptrs.size()), ptrs.data());
        }
        qorsf::SF_rptclose(0, &ctx);
    }
    qorsf::SF_rptfree(0, &ctx);
    return 0;
}
