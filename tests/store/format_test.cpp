// The bytes of store files: header, page frame, entries, pieces, splits and growth.
#include <gtest/gtest.h>

#include <set>

#include "qorul.h"
#include "qorul_control.h"
#include "rawfile.h"
#include "store/btree.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

class StoreFormat : public ::testing::Test {
protected:
    void SetUp() override {
        storeReset();
        ASSERT_EQ(SF_dbcacheinit(0), 0);
        path = tp.path("book.pbk");
    }
    void TearDown() override { storeReset(); }
    qortest::TempProfile tp;
    std::string path;
};

std::string info660(char c) { return std::string(660, c); }

int usedBytes(const std::vector<RawEntry>& es) {
    int n = 0;
    for (const auto& e : es) n += e.size;
    return n;
}

TEST_F(StoreFormat, NewFileIsHeaderEmptyRootAndTwoZeroPages) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    ASSERT_EQ(b.close(), 0);
    RawFile f(path);
    ASSERT_EQ(f.bytes.size(), 4096u);
    const unsigned char expect[28] = {'V', 0, 0, 'A', 0, 0, 'L', 0, 0, 'I', 1, 0, 'D', 1, 0, 'A',
                                      1, 0, 0, 0, 'T', 3, 0, 'E', 0, 0, 0, 0};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(static_cast<unsigned char>(f.bytes[i]), expect[i]) << "byte " << i;
    // The write count only grows; it is not part of the file's meaning.
    EXPECT_GT(+f.header().writecount, 0u);
    for (int i = 28; i < 1024; ++i) ASSERT_EQ(f.bytes[i], 0) << "header block byte " << i;
    const unsigned char root[12] = {0, 0, 0, 0, 0xF4, 0x03, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(static_cast<unsigned char>(f.bytes[1024 + i]), root[i]) << i;
    for (int i = 1036; i < 4096; ++i) ASSERT_EQ(f.bytes[i], 0) << "byte " << i;
}

TEST_F(StoreFormat, RefusesWhatIsNotAStoreFile) {
    Book b;
    qortest::writeFile(path, std::string("XALxxIxxDxxAxxxxTxxExxxx") + std::string(2000, '\0'));
    EXPECT_EQ(b.open(path), DB_NOTSTORE);
    EXPECT_EQ(+b.h.state, 'C');
    EXPECT_EQ(b.create(path), DB_EXISTS);  // so the phone book's open-or-create gives up
    qortest::writeFile(path, "VAL");
    EXPECT_EQ(b.open(path), DB_SHORTREAD);
    EXPECT_EQ(+b.h.lastio, DB_SHORTREAD);
    EXPECT_EQ(SF_dbopen(0, &b.h, tp.path("missing.pbk").c_str(), b.recbuf, kRecLen), SF_DBFAILED);
    EXPECT_EQ(+b.h.laststatus, DB_NOTFOUND);
    DB_HANDLE junk{};
    EXPECT_EQ(DB_close(&junk), DB_BADHANDLE);
    EXPECT_EQ(DB_add(&junk, b.table), DB_BADHANDLE);
}

TEST_F(StoreFormat, FullRecordIsThreePiecesUnderKey19) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    ASSERT_EQ(b.add(std::string(30, 'N'), std::string(30, 'G'), info660('i')), 0);
    EXPECT_EQ(b.current(), 1u);
    RawFile f(path);  // write-through: the file has it before close
    auto es = f.entries(0);
    ASSERT_EQ(es.size(), 5u);
    EXPECT_EQ(es[0].text, "\x01" + std::string(30, 'N'));
    EXPECT_EQ(es[0].seg, 0x80);
    EXPECT_EQ(es[0].rec, 1u);
    EXPECT_EQ(es[0].size, 1 + 31 + 6);
    EXPECT_EQ(es[1].text, "\x02" + std::string(30, 'G'));
    std::string image;
    const uint8_t segs[3] = {0, 1, 0x82};
    const size_t lens[3] = {247, 247, 242};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(es[2 + i].text, "\x13");
        EXPECT_EQ(es[2 + i].rec, 1u);
        EXPECT_EQ(es[2 + i].seg, segs[i]);
        EXPECT_EQ(es[2 + i].data.size(), lens[i]);
        image += es[2 + i].data;
    }
    ASSERT_EQ(image.size(), 736u);
    // signature, checksum, flag, fields, end mark
    uint16_t sig, sum;
    std::memcpy(&sig, image.data(), 2);
    std::memcpy(&sum, image.data() + 2, 2);
    EXPECT_EQ(sig, DB_signature(b.table));
    uint16_t s = 0;
    for (size_t i = 4; i < image.size(); ++i) s = static_cast<uint16_t>((s + static_cast<int8_t>(image[i])) * 2);
    EXPECT_EQ(sum, s);
    EXPECT_EQ(image[4], 0);
    EXPECT_EQ(image.substr(5, 2), std::string("\0\0", 2));
    EXPECT_EQ(image.substr(7, 31), std::string(30, 'N') + '\0');
    EXPECT_EQ(image.substr(38, 2), std::string("\1\0", 2));
    EXPECT_EQ(image.substr(71, 2), std::string("\2\0", 2));
    EXPECT_EQ(image.substr(734, 2), "\xFF\xFF");
    EXPECT_EQ(+f.page(0).freebytes, 1012 - usedBytes(es));
}

TEST_F(StoreFormat, SignatureFollowsTheTable) {
    Book b;
    // S S D 1 / S S D 2 / S N N 0, bytes taken as signed, doubled after each
    uint16_t s = 0;
    const int t[3][4] = {{'S', 'S', 'D', 1}, {'S', 'S', 'D', 2}, {'S', 'N', 'N', 0}};
    for (auto& e : t) s = static_cast<uint16_t>((((((s + e[0]) * 2 + e[1]) * 2 + e[2]) * 2 + e[3]) * 2));
    EXPECT_EQ(DB_signature(b.table), s);
}

TEST_F(StoreFormat, EmptyInfoIsLeftOutOfTheImage) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    ASSERT_EQ(b.add("", "Friends"), 0);
    RawFile f(path);
    auto es = f.entries(0);
    ASSERT_EQ(es.size(), 3u);
    EXPECT_EQ(es[0].text, "\x01");  // an empty name is still indexed
    const std::string& img = es[2].data;
    EXPECT_EQ(es[2].seg, 0x80);
    EXPECT_EQ(img.size(), 5u + 3 + 10 + 2);
    b.set("x", "y", "z");
    ASSERT_EQ(b.read(), 0);
    EXPECT_STREQ(b.rec.name, "");
    EXPECT_STREQ(b.rec.group, "Friends");
    EXPECT_STREQ(b.rec.info, "");
}

// Adds full records until something happens; checks each split's point on the way.
TEST_F(StoreFormat, SplitsTakePagesGrowTheFileAndKeepTheirThresholds) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    int n = 0;
    // First split: pages 1 (new leaf) and 2 (new root), no growth.
    while (RawFile(path).header().levels == 1) {
        char name[16];
        std::snprintf(name, sizeof name, "Name%04d", n++);
        ASSERT_EQ(b.add(name, " ", info660('a' + n % 26)), 0);
        ASSERT_LT(n, 50);
    }
    {
        RawFile f(path);
        auto h = f.header();
        EXPECT_EQ(+h.root, 2);
        EXPECT_EQ(+h.levels, 2);
        EXPECT_EQ(+h.pagecounter, 3);
        EXPECT_EQ(+h.pagespresent, 3);
        EXPECT_EQ(f.bytes.size(), 4096u);
        EXPECT_EQ(+f.page(0).next, 1);
        EXPECT_EQ(+f.page(1).prev, 0);
        EXPECT_EQ(+f.page(1).next, -1);
        EXPECT_EQ(+f.page(2).level, 1);
        EXPECT_EQ(+f.page(2).leftchild, 0);
        auto root = f.entries(2);
        ASSERT_EQ(root.size(), 1u);
        EXPECT_EQ(root[0].child, 1);
        auto left = f.entries(0), right = f.entries(1);
        EXPECT_LT(usedBytes(left), 1000);  // the rightmost page splits at 1000
        EXPECT_GE(usedBytes(left) + right[0].size, 1000);
        // the separator is the left page's last entry, copied into the parent
        EXPECT_EQ(root[0].text, left.back().text);
        EXPECT_EQ(root[0].rec, left.back().rec);
        EXPECT_EQ(root[0].seg, left.back().seg);
    }
    // Second split: the file first grows by three zero pages.
    while (RawFile(path).header().pagecounter == 3) {
        char name[16];
        std::snprintf(name, sizeof name, "Name%04d", n++);
        ASSERT_EQ(b.add(name, " ", info660('a')), 0);
    }
    {
        RawFile f(path);
        EXPECT_EQ(+f.header().pagespresent, 6);
        EXPECT_EQ(+f.header().pagecounter, 4);
        EXPECT_EQ(f.bytes.size(), 7u * 1024);
        for (int i = 5 * 1024 + 1024; i < 7 * 1024; ++i) ASSERT_EQ(f.bytes[i], 0);
    }
    ASSERT_EQ(b.close(), 0);
}

// Split points, entry by entry: a rightmost page keeps under 1000 bytes, a page with a right
// neighbour under 520; the separator is the left page's last entry.
TEST_F(StoreFormat, SplitPointsFollowTheThresholds) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    std::set<int> seen{0, 1, 2};
    int saw520 = 0, saw1000 = 0;
    auto check = [&]() {
        RawFile f(path);
        for (int p = 0; p < f.header().pagecounter; ++p) {
            if (seen.count(p)) continue;
            seen.insert(p);
            if (f.page(p).level != 0) continue;
            int left = f.page(p).prev;
            ASSERT_GE(left, 0);
            int thr = f.page(p).next != -1 ? 520 : 1000;
            auto le = f.entries(left), re = f.entries(p);
            EXPECT_LT(usedBytes(le), thr) << "page " << left;
            EXPECT_GE(usedBytes(le) + re[0].size, thr) << "page " << left;
            (thr == 520 ? saw520 : saw1000)++;
        }
    };
    for (int i = 0; i < 300; ++i) {  // ascending: the rightmost leaf splits
        char text[48];
        std::snprintf(text, sizeof text, "M%05d-%0*d", i, i % 20, 0);
        ASSERT_EQ(bt::insert(&b.h, 1, text, static_cast<uint32_t>(i + 1), nullptr, 0, false), 0);
        check();
    }
    for (int i = 0; i < 300; ++i) {  // spread below: pages with right neighbours split
        char text[48];
        std::snprintf(text, sizeof text, "M%05d-%0*d", (i * 7919) % 300, 25, i);
        ASSERT_EQ(bt::insert(&b.h, 1, text, 1000u + i, nullptr, 0, false), 0);
        check();
    }
    EXPECT_GT(saw520, 0);
    EXPECT_GT(saw1000, 0);
    RawFile f(path);
    EXPECT_GE(+f.header().levels, 2);
    // Every separator in the parents equals the last entry of the page left of its child.
    for (int p = 0; p < f.header().pagecounter; ++p) {
        if (f.page(p).level != 1) continue;
        for (auto& e : f.entries(p)) {
            int left = f.page(e.child).prev;
            ASSERT_GE(left, 0);
            EXPECT_EQ(f.entries(left).back().text, e.text);
        }
    }
    ASSERT_EQ(b.close(), 0);
}

TEST_F(StoreFormat, FreeNumbersLiveUnderKey18AndAreReused) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    ASSERT_EQ(b.add("Ann", " "), 0);
    ASSERT_EQ(b.add("Bob", " "), 0);
    ASSERT_EQ(b.add("Cid", " "), 0);
    ASSERT_EQ(b.find(1, "Bob", DB_EXACT), 0);
    EXPECT_EQ(b.current(), 2u);
    ASSERT_EQ(b.remove(), 0);
    EXPECT_EQ(b.current(), DB_NORECORD);
    RawFile f(path);
    bool found = false;
    for (auto& e : f.entries(0)) {
        if (e.text == "\x12") {
            EXPECT_EQ(e.rec, 2u);
            EXPECT_EQ(e.seg, 0x80);
            EXPECT_EQ(e.size, 1 + 1 + 6);
            found = true;
        }
        EXPECT_NE(e.text, "\x01" "Bob");
    }
    EXPECT_TRUE(found);
    ASSERT_EQ(b.add("Dan", " "), 0);
    EXPECT_EQ(b.current(), 2u);
    ASSERT_EQ(b.add("Eve", " "), 0);
    EXPECT_EQ(b.current(), 4u);
    EXPECT_EQ(+RawFile(path).header().recordcounter, 5u);
    for (auto& e : RawFile(path).entries(0)) EXPECT_NE(e.text, "\x12");
}

TEST_F(StoreFormat, PolicyDecidesWhenPagesReachTheFile) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    EXPECT_EQ(+b.h.writepolicy, 3);
    ASSERT_EQ(b.add("Ann", " "), 0);
    EXPECT_EQ(+RawFile(path).page(0).count, 3);
    b.h.writepolicy = 1;
    ASSERT_EQ(b.add("Bob", " "), 0);
    EXPECT_EQ(+RawFile(path).page(0).count, 3);  // still in the cache
    ASSERT_EQ(b.close(), 0);
    EXPECT_EQ(+RawFile(path).page(0).count, 6);
}

TEST_F(StoreFormat, CacheEvictsTheLeastRecentlyUsedPage) {
    Book b;
    ASSERT_EQ(b.create(path), 0);
    for (int i = 0; i < 60; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%03d", i);
        ASSERT_EQ(b.add(name, " ", info660('x')), 0);
    }
    ASSERT_GE(+RawFile(path).header().pagecounter, 8);
    // Walk key 19: each step touches pages; count the reads of a repeated walk.
    auto walkReads = [&]() {
        qorul::failNth(qorul::FaultOp::Any, 0);
        int16_t st = b.move(19, DB_FIRST);
        while (st == 0) st = b.move(19, DB_NEXT);
        EXPECT_EQ(st, DB_NOTFOUND);
        return qorul::faultCalls(qorul::FaultOp::Read);
    };
    long first = walkReads();
    long second = walkReads();
    EXPECT_GT(first, 5);
    EXPECT_GT(second, 5);  // more pages than slots: a walk cannot stay in the cache
    // Five pages read in turn stay cached: re-reading a record costs no file read.
    ASSERT_EQ(b.find(1, "N005", DB_EXACT), 0);
    ASSERT_EQ(b.read(), 0);
    qorul::failNth(qorul::FaultOp::Any, 0);
    ASSERT_EQ(b.read(), 0);
    EXPECT_EQ(qorul::faultCalls(qorul::FaultOp::Read), 0);
    ASSERT_EQ(b.close(), 0);
}

}  // namespace
