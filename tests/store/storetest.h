// Test helpers: the phone book's record and field table over a store file.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "store/store.h"

namespace storetest {

#pragma pack(push, 1)
struct Record {
    char name[31];
    char group[31];
    char info[661];
};
#pragma pack(pop)
static_assert(sizeof(Record) == 723);

constexpr uint16_t kRecLen = 736;

// A store handle with the phone book's three-field table.
struct Book {
    qorsf::DB_HANDLE h{};
    Record rec{};
    qorsf::DB_FIELD table[4]{};
    uint8_t recbuf[800]{};

    Book() {
        table[0] = {'S', 'S', 'D', 31, 1, rec.name};
        table[1] = {'S', 'S', 'D', 31, 2, rec.group};
        table[2] = {'S', 'N', 'N', 661, 0, rec.info};
        table[3] = {'E', 0, 0, 0, 0, nullptr};
    }
    int16_t create(const std::string& path) { return qorsf::DB_create(&h, path.c_str(), recbuf, kRecLen); }
    int16_t open(const std::string& path) { return qorsf::DB_open(&h, path.c_str(), recbuf, kRecLen); }
    int16_t close() { return qorsf::DB_close(&h); }
    void set(const std::string& name, const std::string& group, const std::string& info) {
        std::memset(&rec, 0, sizeof rec);
        std::strncpy(rec.name, name.c_str(), sizeof rec.name - 1);
        std::strncpy(rec.group, group.c_str(), sizeof rec.group - 1);
        std::strncpy(rec.info, info.c_str(), sizeof rec.info - 1);
    }
    int16_t add(const std::string& name, const std::string& group, const std::string& info = "") {
        set(name, group, info);
        return qorsf::DB_add(&h, table);
    }
    int16_t read() { return qorsf::DB_read(&h, table); }
    int16_t find(int16_t key, const std::string& text, int16_t mode) {
        return qorsf::DB_find(&h, key, text.c_str(), mode);
    }
    int16_t move(int16_t key, int16_t dir) { return qorsf::DB_move(&h, key, dir); }
    int16_t update() { return qorsf::DB_update(&h, table); }
    int16_t remove() { return qorsf::DB_delete(&h, table); }
    uint32_t current() const { return h.current; }
};

}  // namespace storetest
