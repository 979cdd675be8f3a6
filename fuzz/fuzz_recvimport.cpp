// libFuzzer target: a fax received elsewhere taken into the log (the import of qorfax recv
// import) from any bytes. Either the fax is entered, with every one of its page files there,
// or the status says why and nothing is left behind: no page file, no entry, no block.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "qorsf.h"
#include "qorul.h"
#include "qorul_control.h"
#include "qorux.h"
#include "qorvq_log.h"
#include "queue/recvlog.h"

namespace {

const std::string& workDir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/qorfax-fuzz-recvimport-XXXXXX";
        if (!mkdtemp(tmpl)) __builtin_trap();
        std::string d = std::string(tmpl) + "/";
        qorul::setProfileRoot(d);
        return d;
    }();
    return dir;
}

std::size_t filesIn(const std::string& dir) {
    std::size_t n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDir() + "in.tif";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    const std::string recv = workDir() + "recv/";
    const std::size_t before = filesIn(recv);
    const uint32_t blocks = UL_handlecount();
    LOG_RECORD r;
    char reason[160];
    const int16_t st = qorsf::SF_importfax(0, path.c_str(), &r, reason, sizeof reason);
    if (!std::memchr(reason, '\0', sizeof reason)) __builtin_trap();
    if (st == 0) {
        if (r.pages <= 0 || r.pages > 999 || r.entrynum <= 0) __builtin_trap();
        LOG_RECORD back;
        if (VQ_readlogentry(0, 0, r.entrynum, &back) != 0) __builtin_trap();
        if (filesIn(recv) != before + static_cast<std::size_t>(r.pages)) __builtin_trap();
        // Taken out again, so the receive directory does not grow over a run.
        if (qorsf::SF_deletefax(0, r.entrynum) != 0) __builtin_trap();
        if (filesIn(recv) != before) __builtin_trap();
    } else if (filesIn(recv) != before) {
        __builtin_trap();  // a failed import leaves no page file
    }
    if (UL_handlecount() != blocks) __builtin_trap();
    return 0;
}
