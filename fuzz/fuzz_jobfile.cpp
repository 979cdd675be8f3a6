// libFuzzer target: the job control file reader of the fax engine (VQ_readjobfile) on any bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "qorul.h"
#include "qorul_control.h"
#include "qorvq.h"

namespace {

const std::string& workDir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/qorfax-fuzz-jobfile-XXXXXX";
        if (!mkdtemp(tmpl)) __builtin_trap();
        std::string d = std::string(tmpl) + "/";
        qorul::setProfileRoot(d);
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDir() + "job.SPL";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    const uint32_t blocks = UL_handlecount();
    uint32_t list = 0;
    char dial[80];
    const int16_t st = VQ_readjobfile(0, path.c_str(), &list, dial);
    if (st == 0) {
        void* p = nullptr;
        if (UL_lockhandle(list, &p) != 0) __builtin_trap();
        uint16_t count = 0;
        std::memcpy(&count, p, 2);
        if (count > 100) __builtin_trap();
        for (uint16_t i = 0; i < count; ++i) {
            const char* entry = static_cast<const char*>(p) + 2 + i * sizeof(VQ_JOBFILE);
            if (!memchr(entry, '\0', 162)) __builtin_trap();  // every path is terminated
        }
        UL_unlockhandle(list);
        VQ_freejobfile(0, list);
    } else if (list != 0) {
        __builtin_trap();  // a failure gives no list
    }
    if (UL_handlecount() != blocks) __builtin_trap();
    return 0;
}
