// Random adds, finds, moves, updates and deletes against an in-memory model, with reopen.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <random>
#include <set>

#include "rawfile.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

struct Rec {
    std::string name, group, info;
};
using Entry = std::pair<std::string, uint32_t>;  // key text, record number

class Model {
public:
    std::map<uint32_t, Rec> recs;
    std::set<Entry> keys[3];
    void add(uint32_t n, const Rec& r) {
        recs[n] = r;
        keys[1].insert({r.name, n});
        keys[2].insert({r.group, n});
    }
    void erase(uint32_t n) {
        keys[1].erase({recs[n].name, n});
        keys[2].erase({recs[n].group, n});
        recs.erase(n);
    }
};

// The model's cursor of one key: an entry, or before the first (-1) / after the last (+1).
struct Cursor {
    bool known = false;
    int edge = 0;
    Entry at;
};

class StoreModel : public ::testing::TestWithParam<unsigned> {};

TEST_P(StoreModel, RandomOperationsMatchTheModel) {
    qortest::TempProfile tp;
    storeReset();
    std::string path = tp.path("model.pbk");
    Book b;
    ASSERT_EQ(SF_dbcreate(0, &b.h, path.c_str(), b.recbuf, kRecLen), 0);
    std::mt19937 rng(GetParam());
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const std::vector<std::string> names = {"", "Ann", "Anna", "anna", "ANNA", "Annabel", "Anne", "Bo", "Bob",
                                            "bob", std::string(30, 'Z'), std::string(29, 'Z') + "z", "Z"};
    const std::vector<std::string> groups = {" ", "", "G", "g", "Group", "Groups", std::string(30, 'q')};
    auto randName = [&]() {
        std::string s = names[static_cast<size_t>(pick(static_cast<int>(names.size())))];
        if (pick(3) == 0 && s.size() < 27) s += std::to_string(pick(500));
        return s;
    };
    auto randInfo = [&]() {
        switch (pick(3)) {
            case 0: return std::string();
            case 1: return std::string(660, static_cast<char>('a' + pick(26)));
            default: return std::string(static_cast<size_t>(1 + pick(100)), 'x');
        }
    };
    Model m;
    Cursor cur[3];
    uint32_t current = DB_NORECORD;
    auto expectCurrent = [&](uint32_t n) {
        ASSERT_EQ(b.current(), n);
        if (n == DB_NORECORD) return;
        ASSERT_EQ(b.read(), 0);
        const Rec& r = m.recs.at(n);
        ASSERT_EQ(std::string(b.rec.name), r.name);
        ASSERT_EQ(std::string(b.rec.group), r.group);
        ASSERT_EQ(std::string(b.rec.info), r.info);
    };
    auto forget = [&]() {
        for (auto& c : cur) c.known = false;
    };
    const int steps = 3000;
    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        int op = pick(100);
        int k = 1 + pick(2);
        auto& set = m.keys[k];
        if (op < 45 || m.recs.size() < 20) {  // add
            Rec r{randName(), groups[static_cast<size_t>(pick(static_cast<int>(groups.size())))], randInfo()};
            ASSERT_EQ(b.add(r.name, r.group, r.info), 0);
            uint32_t n = b.current();
            ASSERT_EQ(m.recs.count(n), 0u);
            m.add(n, r);
            current = n;
            forget();
        } else if (op < 65) {  // find
            std::string t = pick(4) == 0 ? randName().substr(0, 2) : randName();
            int16_t mode = static_cast<int16_t>(1 + pick(5));
            auto lb = set.lower_bound({t, 0});
            bool exists = lb != set.end() && lb->first == t;
            int16_t want = DB_NOTFOUND;
            auto pos = set.end();
            switch (mode) {
                case 1: if (exists) { want = 0; pos = lb; } break;
                case 2:
                    if (exists) { pos = std::next(lb); want = pos != set.end() ? 0 : DB_NOTFOUND; }
                    else if (lb != set.end()) { want = 0; pos = lb; }
                    break;
                case 3: if (exists) { want = 0; pos = lb; } else if (lb != set.end()) { want = 2; pos = lb; } break;
                case 4: if (lb != set.begin()) { want = 0; pos = std::prev(lb); } break;
                case 5:
                    if (exists) { want = 0; pos = lb; }
                    else if (lb != set.begin()) { want = 3; pos = std::prev(lb); }
                    break;
            }
            ASSERT_EQ(b.find(static_cast<int16_t>(k), t, mode), want) << "find '" << t << "' mode " << mode;
            current = want == DB_NOTFOUND ? DB_NORECORD : pos->second;
            expectCurrent(current);
            forget();
            if (want != DB_NOTFOUND) cur[k] = Cursor{true, 0, *pos};
        } else if (op < 85) {  // move
            int16_t dir = static_cast<int16_t>(1 + pick(4));
            Cursor& c = cur[k];
            if (!c.known && dir == DB_NEXT) dir = DB_FIRST;
            if (!c.known && dir == DB_PREVIOUS) dir = DB_LAST;
            auto pos = set.end();
            bool ok = false;
            if (dir == DB_FIRST) { pos = set.begin(); ok = pos != set.end(); }
            else if (dir == DB_LAST) { ok = !set.empty(); if (ok) pos = std::prev(set.end()); }
            else if (dir == DB_NEXT) {
                if (c.edge < 0) pos = set.begin();
                else if (c.edge == 0) pos = set.upper_bound(c.at);
                ok = pos != set.end();
            } else {
                if (c.edge > 0) { ok = !set.empty(); if (ok) pos = std::prev(set.end()); }
                else if (c.edge == 0) { auto u = set.lower_bound(c.at); ok = u != set.begin(); if (ok) pos = std::prev(u); }
            }
            ASSERT_EQ(b.move(static_cast<int16_t>(k), dir), ok ? 0 : DB_NOTFOUND) << "move " << dir << " key " << k;
            current = ok ? pos->second : DB_NORECORD;
            expectCurrent(current);
            for (int j = 1; j <= 2; ++j) if (j != k) cur[j].known = false;
            if (ok) c = Cursor{true, 0, *pos};
            else c = Cursor{true, (dir == DB_NEXT || dir == DB_FIRST) ? 1 : -1, {}};
            if (!ok && (dir == DB_FIRST || dir == DB_LAST)) c.known = false;
        } else if (op < 93) {  // update
            if (current == DB_NORECORD) continue;
            Rec r = m.recs.at(current);
            if (pick(2)) r.info = randInfo(); else r.name = randName();
            b.set(r.name, r.group, r.info);
            ASSERT_EQ(b.update(), 0);
            uint32_t n = b.current();
            ASSERT_NE(n, current);
            m.erase(current);
            m.add(n, r);
            current = n;
            forget();
        } else if (op < 99) {  // delete
            if (current == DB_NORECORD) continue;
            ASSERT_EQ(b.remove(), 0);
            m.erase(current);
            current = DB_NORECORD;
            forget();
        } else {  // close and reopen
            ASSERT_EQ(SF_dbclose(0, &b.h), 0);
            ASSERT_EQ(SF_dbopen(0, &b.h, path.c_str(), b.recbuf, kRecLen), 0);
            current = DB_NORECORD;
            forget();
        }
        if (step % 500 == 499) {  // whole walks against the model
            for (int kk = 1; kk <= 2; ++kk) {
                std::vector<uint32_t> got;
                for (int16_t st = b.move(static_cast<int16_t>(kk), DB_FIRST); st == 0;
                     st = b.move(static_cast<int16_t>(kk), DB_NEXT))
                    got.push_back(b.current());
                std::vector<uint32_t> want;
                for (auto& e : m.keys[kk]) want.push_back(e.second);
                ASSERT_EQ(got, want);
            }
            current = DB_NORECORD;
            forget();
        }
    }
    ASSERT_EQ(SF_dbclose(0, &b.h), 0);
    EXPECT_GE(+RawFile(path).header().levels, 3);
    storeReset();
}

INSTANTIATE_TEST_SUITE_P(Seeds, StoreModel, ::testing::Values(1u, 7u, 2024u));

}  // namespace
