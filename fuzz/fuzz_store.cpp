// Opens an arbitrary byte string as a store file, then walks, searches, adds and deletes.
// Every operation must return a status: no crash, no endless loop, no access out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qorul.h"
#include "store/store.h"

using namespace qorsf;

namespace {

#pragma pack(push, 1)
struct Record {
    char name[31];
    char group[31];
    char info[661];
};
#pragma pack(pop)

std::string storePath() {
    static std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_store_" + std::to_string(getpid()) + ".pbk";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = storePath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    static DB_HANDLE h;
    std::memset(static_cast<void*>(&h), 0, sizeof h);
    static Record rec;
    static uint8_t recbuf[800];
    DB_FIELD table[4] = {{'S', 'S', 'D', 31, 1, rec.name},
                         {'S', 'S', 'D', 31, 2, rec.group},
                         {'S', 'N', 'N', 661, 0, rec.info},
                         {'E', 0, 0, 0, 0, nullptr}};
    SF_dbcacheinit(0);
    if (DB_open(&h, path.c_str(), recbuf, 736) == 0) {
        // Walks by both keys and the images, both ways, bounded by the file's size.
        const int bound = 4 * static_cast<int>(size / 8 + 16);
        for (int16_t key : {1, 2, 18, 19}) {
            int n = 0;
            for (int16_t st = DB_move(&h, key, DB_FIRST); st == 0 && n < bound; st = DB_move(&h, key, DB_NEXT), ++n)
                DB_read(&h, table);
            if (n >= bound) __builtin_trap();  // a walk that does not end
            n = 0;
            for (int16_t st = DB_move(&h, key, DB_LAST); st == 0 && n < bound; st = DB_move(&h, key, DB_PREVIOUS), ++n) {
            }
            if (n >= bound) __builtin_trap();
        }
        const char* texts[] = {"", "A", "Ann", "zz", " "};
        for (const char* t : texts)
            for (int16_t mode = 1; mode <= 5; ++mode) DB_find(&h, 1, t, mode);
        std::memset(&rec, 0, sizeof rec);
        std::strcpy(rec.name, "Fuzz");
        std::strcpy(rec.group, " ");
        std::memset(rec.info, 'i', 660);
        for (int i = 0; i < 3; ++i) DB_add(&h, table);
        if (DB_find(&h, 1, "Fuzz", DB_EXACT) == 0) {
            DB_read(&h, table);
            DB_update(&h, table);
        }
        if (DB_move(&h, 1, DB_FIRST) == 0) DB_delete(&h, table);
        if (DB_find(&h, 1, "Fuzz", DB_EXACT) == 0) DB_delete(&h, table);
        DB_close(&h);
    }
    SF_dbcachefree(0);
    return 0;
}
