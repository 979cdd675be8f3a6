// An independent reader of store files for byte-level checks.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/store.h"
#include "testprofile.h"

namespace storetest {

struct RawEntry {
    std::string text;  // key-number byte first
    uint32_t rec = 0;
    uint8_t seg = 0;
    int16_t child = 0;
    std::string data;
    int size = 0;      // length byte + length
};

struct RawFile {
    std::string bytes;
    explicit RawFile(const std::string& path) : bytes(qortest::readFile(path)) {}
    qorsf::DB_HEADER header() const {
        qorsf::DB_HEADER h{};
        std::memcpy(&h, bytes.data(), sizeof h);
        return h;
    }
    int pages() const { return static_cast<int>(bytes.size() / 1024) - 1; }
    qorsf::DB_PAGE page(int p) const {
        qorsf::DB_PAGE pg{};
        std::memcpy(&pg, bytes.data() + (p + 1) * 1024, 1024);
        return pg;
    }
    std::vector<RawEntry> entries(int p) const {
        qorsf::DB_PAGE pg = page(p);
        std::vector<RawEntry> out;
        int off = 0;
        for (int i = 0; i < pg.count; ++i) {
            RawEntry e;
            int len = pg.area[off];
            const uint8_t* q = pg.area + off + 1;
            size_t tl = std::strlen(reinterpret_cast<const char*>(q));
            e.text.assign(reinterpret_cast<const char*>(q), tl);
            q += tl + 1;
            std::memcpy(&e.rec, q, 4);
            e.seg = q[4];
            int used = static_cast<int>(tl) + 1 + 5;
            if (pg.level != 0) {
                std::memcpy(&e.child, q + 5, 2);
            } else {
                e.data.assign(reinterpret_cast<const char*>(q + 5), static_cast<size_t>(len - used));
            }
            e.size = len + 1;
            out.push_back(e);
            off += len + 1;
        }
        return out;
    }
    // The leaf pages in link order starting from the leftmost leaf.
    std::vector<int> leafChain() const {
        int p = header().root;
        while (page(p).level != 0) p = page(p).leftchild;
        std::vector<int> chain;
        while (p != -1 && static_cast<int>(chain.size()) <= pages()) {
            chain.push_back(p);
            p = page(p).next;
        }
        return chain;
    }
};

}  // namespace storetest
