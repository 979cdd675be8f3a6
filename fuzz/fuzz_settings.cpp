// Arbitrary bytes as a settings file: every read and write of the profile-string functions must
// survive it, and a write must keep the lines it does not change.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qorwin32.h"

namespace {

std::string scratchFile() {
    static std::string path = [] {
        char dir[] = "/tmp/qorfax-fuzz-settings-XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir) + "/fuzz.ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = scratchFile();
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    char buf[256];
    GetPrivateProfileStringA(nullptr, nullptr, "", buf, sizeof buf, file.c_str());
    // Use the first section and key names the file offers, as a host listing them would.
    std::string section = buf;
    GetPrivateProfileStringA(section.c_str(), nullptr, "", buf, sizeof buf, file.c_str());
    std::string key = buf;
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "d", buf, 4, file.c_str());
    GetPrivateProfileIntA(section.c_str(), key.c_str(), 5, file.c_str());
    GetPrivateProfileStringA("FAX OPERATION", "FineResolution", "@#$%", buf, sizeof buf, file.c_str());
    if (WritePrivateProfileStringA("FAX OPERATION", "FineResolution", "1", file.c_str())) {
        GetPrivateProfileStringA("FAX OPERATION", "FineResolution", "", buf, sizeof buf, file.c_str());
        if (std::string(buf) != "1") std::abort();  // a written value must read back
    }
    if (!section.empty()) WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, file.c_str());
    return 0;
}
