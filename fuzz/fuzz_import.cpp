// Feeds arbitrary names and groups files through the phone book import, then exports the
// result. The input is split at its first byte 0xFF: the names file before it, the groups file
// after it (no 0xFF: no groups file). Every input must end with a status: no crash, no endless
// loop, no access out of bounds, no leak.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "qorsf.h"
#include "qorui.h"
#include "qorul.h"
#include "qorul_control.h"

namespace {

// Messages of the import (20221, 20222) are dropped: a fuzzer run shows millions of them.
class SilentDriver : public qorui::Driver {
public:
    int messageBox(HWND, const std::string&, const std::string&, UINT) override { return IDOK; }
    void beep(UINT) override {}
    void status(const std::string&) override {}
    bool askString(HWND, const std::string&, const std::string&, std::string&) override { return false; }
    bool chooseFile(HWND, const std::string&, const std::string&, int, std::string&) override { return false; }
};

struct World {
    std::string dir;
    std::string names, groups, exported, book;
    SilentDriver driver;
    World() {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_import_" + std::to_string(getpid()) + "/";
        std::string cmd = "mkdir -p '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        if (qorul::setProfileRoot(dir + "profile")) std::abort();
        qorui::install(&driver);
        if (SF_open(0)) std::abort();
        names = dir + "in.LST";
        groups = dir + "in.GLS";
        exported = dir + "out.LST";
        book = dir + "book.pbk";
        UL_strcopy(qorsf::frame().phonebookPath, book.c_str());
    }
};

World& world() {
    static World w;
    return w;
}

void writeAll(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = world();
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0xFF, size));
    const size_t namesSize = split ? static_cast<size_t>(split - data) : size;
    writeAll(w.names, data, namesSize);
    std::remove(w.groups.c_str());
    if (split) writeAll(w.groups, split + 1, size - namesSize - 1);
    std::remove(w.book.c_str());

    qorsf::SF_importphonebook(0, w.names.c_str());
    // Whatever was imported must walk and export: the book is never left damaged.
    if (qorsf::SF_exportphonebook(0, w.exported.c_str()) != 0) std::abort();
    SF_epilog(0);
    return 0;
}
