// Record operations as the phone book drives them: finds, moves, duplicates, updates, deletes.
#include <gtest/gtest.h>

#include "rawfile.h"
#include "storetest.h"
#include "testprofile.h"

using namespace qorsf;
using namespace storetest;

namespace {

class StoreOps : public ::testing::Test {
protected:
    void SetUp() override {
        storeReset();
        path = tp.path("book.pbk");
        ASSERT_EQ(SF_dbcreate(0, &b.h, path.c_str(), b.recbuf, kRecLen), 0);
    }
    void TearDown() override { storeReset(); }
    std::string nameAt() {
        EXPECT_EQ(b.read(), 0);
        return b.rec.name;
    }
    qortest::TempProfile tp;
    std::string path;
    Book b;
};

TEST_F(StoreOps, FindModes) {
    for (const char* n : {"Abc", "Abd", "Bert", "bert"}) ASSERT_EQ(b.add(n, " "), 0);
    EXPECT_EQ(b.find(1, "Ab", DB_ATORAFTER), DB_GREATER);  // a prefix: the longer text follows
    EXPECT_EQ(nameAt(), "Abc");
    EXPECT_EQ(b.find(1, "Ab", DB_EXACT), DB_NOTFOUND);
    EXPECT_EQ(b.current(), DB_NORECORD);
    EXPECT_EQ(b.find(1, "Abc", DB_EXACT), 0);
    EXPECT_EQ(nameAt(), "Abc");
    EXPECT_EQ(b.find(1, "Abc", DB_AFTER), 0);
    EXPECT_EQ(nameAt(), "Abd");
    EXPECT_EQ(b.find(1, "Abd", DB_BEFORE), 0);
    EXPECT_EQ(nameAt(), "Abc");
    EXPECT_EQ(b.find(1, "Abc", DB_BEFORE), DB_NOTFOUND);
    EXPECT_EQ(b.find(1, "B", DB_ATORBEFORE), DB_SMALLER);
    EXPECT_EQ(nameAt(), "Abd");
    EXPECT_EQ(b.find(1, "Bert", DB_ATORBEFORE), 0);
    EXPECT_EQ(nameAt(), "Bert");
    EXPECT_EQ(b.find(1, "Bert", DB_ATORAFTER), 0);
    EXPECT_EQ(b.find(1, "a", DB_ATORAFTER), 2);  // bytes compare: lower case after upper
    EXPECT_EQ(nameAt(), "bert");
    EXPECT_EQ(b.find(1, "zzz", DB_ATORAFTER), DB_NOTFOUND);
    EXPECT_EQ(b.current(), DB_NORECORD);
    EXPECT_EQ(b.read(), DB_NOCURRENT);
    EXPECT_EQ(b.find(1, "zzz", DB_BEFORE), 0);  // the last text of the key
    EXPECT_EQ(nameAt(), "bert");
    EXPECT_EQ(b.find(2, "zzz", DB_BEFORE), 0);  // key 2 stands before the free numbers and images
    EXPECT_EQ(b.find(21, "x", DB_EXACT), DB_BADKEY);
    EXPECT_EQ(b.find(0, "x", DB_EXACT), DB_BADKEY);
}

TEST_F(StoreOps, MovesWalkBothWaysAndStopAtTheEnds) {
    EXPECT_EQ(b.move(1, DB_FIRST), DB_NOTFOUND);
    EXPECT_EQ(b.move(1, DB_LAST), DB_NOTFOUND);
    for (const char* n : {"C", "A", "B"}) ASSERT_EQ(b.add(n, "G"), 0);
    ASSERT_EQ(b.move(1, DB_FIRST), 0);
    EXPECT_EQ(nameAt(), "A");
    ASSERT_EQ(b.move(1, DB_NEXT), 0);
    ASSERT_EQ(b.move(1, DB_NEXT), 0);
    EXPECT_EQ(nameAt(), "C");
    EXPECT_EQ(b.move(1, DB_NEXT), DB_NOTFOUND);
    EXPECT_EQ(b.move(1, DB_NEXT), DB_NOTFOUND);  // stays at the end
    ASSERT_EQ(b.move(1, DB_PREVIOUS), 0);
    EXPECT_EQ(nameAt(), "C");
    ASSERT_EQ(b.move(1, DB_LAST), 0);
    EXPECT_EQ(nameAt(), "C");
    ASSERT_EQ(b.move(1, DB_PREVIOUS), 0);
    ASSERT_EQ(b.move(1, DB_PREVIOUS), 0);
    EXPECT_EQ(nameAt(), "A");
    EXPECT_EQ(b.move(1, DB_PREVIOUS), DB_NOTFOUND);
    ASSERT_EQ(b.move(1, DB_NEXT), 0);  // from before the first
    EXPECT_EQ(nameAt(), "A");
    // Last on key 1 ends on key 1 although key 2 entries follow.
    ASSERT_EQ(b.move(2, DB_LAST), 0);
    EXPECT_EQ(b.move(2, DB_NEXT), DB_NOTFOUND);
}

TEST_F(StoreOps, DuplicatesAndUniqueKeys) {
    ASSERT_EQ(b.add("Same", " ", "first"), 0);
    ASSERT_EQ(b.add("Same", "G", "second"), 0);
    ASSERT_EQ(b.find(1, "Same", DB_EXACT), 0);
    EXPECT_EQ(b.current(), 1u);
    ASSERT_EQ(b.move(1, DB_NEXT), 0);
    EXPECT_EQ(b.current(), 2u);  // same text: record number order
    // A unique key refuses the second text and leaves nothing behind.
    b.table[0].dups = 'U';
    b.table[1].dups = 'U';
    uint32_t counter = b.h.recordcounter;
    EXPECT_EQ(b.add("Other", "G"), DB_NOTFOUND);  // group "G" exists
    EXPECT_EQ(b.find(1, "Other", DB_EXACT), DB_NOTFOUND);
    b.table[0].dups = 'D';
    b.table[1].dups = 'D';
    ASSERT_EQ(b.add("Third", "H"), 0);
    EXPECT_EQ(b.current(), counter);  // the refused add's number came back
    // The same (text, record) twice in duplicates mode: one entry.
    ASSERT_EQ(b.add("Dup", "Dup"), 0);
    RawFile f(path);
    int dup = 0;
    for (int p : f.leafChain()) {
        for (auto& e : f.entries(p)) dup += (e.text == "\x01" "Dup") + (e.text == "\x02" "Dup");
    }
    EXPECT_EQ(dup, 2);
}

TEST_F(StoreOps, UpdateGivesANewNumberAndFreesTheOld) {
    ASSERT_EQ(b.add("Ann", " ", "old"), 0);
    ASSERT_EQ(b.add("Bob", " ", "bob"), 0);
    ASSERT_EQ(b.find(1, "Ann", DB_EXACT), 0);
    ASSERT_EQ(b.read(), 0);
    std::strcpy(b.rec.info, "new");
    ASSERT_EQ(b.update(), 0);
    EXPECT_EQ(b.current(), 3u);
    ASSERT_EQ(b.find(1, "Ann", DB_EXACT), 0);
    EXPECT_EQ(b.current(), 3u);
    ASSERT_EQ(b.read(), 0);
    EXPECT_STREQ(b.rec.info, "new");
    ASSERT_EQ(b.add("Cid", " "), 0);
    EXPECT_EQ(b.current(), 1u);  // the old number was freed
}

TEST_F(StoreOps, ReadChecksTableAndImage) {
    ASSERT_EQ(b.add("Ann", " ", "x"), 0);
    b.table[1].keynum = 3;
    EXPECT_EQ(b.read(), DB_OTHERTABLE);
    b.table[1].keynum = 2;
    b.table[0].type = 'Q';
    EXPECT_EQ(b.add("A", " "), DB_BADTYPE);
    b.table[0].type = 'S';
    b.table[0].keytype = 'Z';
    EXPECT_EQ(b.add("A", " "), DB_BADKEYTYPE);
    b.table[0].keytype = 'S';
    b.table[0].dups = 'X';
    EXPECT_EQ(b.add("A", " "), DB_BADDUPS);
    b.table[0].dups = 'D';
    b.table[2].length = 2000;
    EXPECT_EQ(b.add("A", " "), DB_BADLENGTH);
    b.table[2].length = 661;
    b.set("A", " ", "");
    std::memset(b.rec.name, 'x', sizeof b.rec.name);  // no room for the NUL
    EXPECT_EQ(DB_add(&b.h, b.table), DB_TEXTLONG);
    b.table[0].keynum = 16;
    EXPECT_EQ(b.add("A", " "), DB_BADKEYNUM);
    b.table[0].keynum = 1;
    // An image longer than the record length.
    b.h.reclength = 100;
    EXPECT_EQ(b.add("A", " ", std::string(200, 'i')), DB_IMAGELONG);
    b.h.reclength = kRecLen;
    EXPECT_EQ(b.find(1, "Nobody", DB_EXACT), DB_NOTFOUND);
    EXPECT_EQ(b.remove(), DB_NOCURRENT);
    EXPECT_EQ(b.update(), DB_NOCURRENT);
}

// A table of more fields than a read notes at once: every field still comes back, in its own
// buffer.
TEST_F(StoreOps, AWideTableReadsBackEveryField) {
    constexpr int kWide = 40;
    char name[31] = "Wide";
    int32_t values[kWide] = {};
    DB_FIELD wide[kWide + 2]{};
    wide[0] = {'S', 'S', 'D', sizeof name, 1, name};
    for (int i = 0; i < kWide; ++i) {
        values[i] = 1000 + i * 7;
        wide[i + 1] = {'I', 'N', 'N', 4, 0, &values[i]};
    }
    wide[kWide + 1] = {'E', 0, 0, 0, 0, nullptr};
    ASSERT_EQ(DB_add(&b.h, wide), 0);
    std::memset(values, 0x55, sizeof values);
    std::memset(name, 'z', sizeof name - 1);
    ASSERT_EQ(DB_find(&b.h, 1, "Wide", DB_EXACT), 0);
    ASSERT_EQ(DB_read(&b.h, wide), 0);
    EXPECT_STREQ(name, "Wide");
    for (int i = 0; i < kWide; ++i) EXPECT_EQ(values[i], 1000 + i * 7) << i;
}

TEST_F(StoreOps, DeletesLeaveEmptyLinkedPagesThatWalksPassOver) {
    const std::string info(660, 'i');
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%03d", i);
        ASSERT_EQ(b.add(name, " ", info), 0);
    }
    for (int i = 5; i < 35; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "N%03d", i);
        ASSERT_EQ(b.find(1, name, DB_EXACT), 0);
        ASSERT_EQ(b.remove(), 0);
    }
    RawFile f(path);
    auto chain = f.leafChain();
    int empty = 0;
    for (size_t i = 0; i < chain.size(); ++i) {
        if (f.page(chain[i]).count == 0) ++empty;
        if (i > 0) {
            EXPECT_EQ(+f.page(chain[i]).prev, chain[i - 1]);
        }
    }
    EXPECT_GT(empty, 0);
    std::vector<std::string> names;
    for (int16_t st = b.move(1, DB_FIRST); st == 0; st = b.move(1, DB_NEXT)) names.push_back(nameAt());
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names[4], "N004");
    EXPECT_EQ(names[5], "N035");
    int images = 0;
    for (int16_t st = b.move(19, DB_LAST); st == 0; st = b.move(19, DB_PREVIOUS)) ++images;
    EXPECT_EQ(images, 10);
    // delete under a walk: the walk goes on with the next entry
    ASSERT_EQ(b.find(1, "N003", DB_EXACT), 0);
    ASSERT_EQ(b.remove(), 0);
    ASSERT_EQ(b.move(1, DB_NEXT), 0);
    EXPECT_EQ(nameAt(), "N004");
    ASSERT_EQ(b.find(1, "N035", DB_EXACT), 0);
    ASSERT_EQ(b.remove(), 0);
    ASSERT_EQ(b.move(1, DB_PREVIOUS), 0);
    EXPECT_EQ(nameAt(), "N004");
}

TEST_F(StoreOps, EntryLayerMapsFailuresAndOwnsTheCache) {
    EXPECT_TRUE(storeCacheAllocated());
    b.set("Ann", " ", "");
    EXPECT_EQ(SF_dbadd(0, &b.h, b.table), 0);
    EXPECT_EQ(SF_dbfind(0, &b.h, 1, "Nobody", DB_EXACT), SF_DBFAILED);
    EXPECT_EQ(+b.h.laststatus, DB_NOTFOUND);
    EXPECT_EQ(SF_dbmove(0, &b.h, 1, DB_FIRST), 0);
    EXPECT_EQ(SF_dbread(0, &b.h, b.table), 0);
    EXPECT_EQ(SF_dbupdate(0, &b.h, b.table), 0);
    EXPECT_EQ(SF_dbdelete(0, &b.h, b.table), 0);
    EXPECT_EQ(SF_dbclose(0, &b.h), 0);
    EXPECT_FALSE(storeCacheAllocated());
    EXPECT_EQ(SF_dbclose(0, &b.h), SF_DBFAILED);
    EXPECT_EQ(+b.h.laststatus, DB_NOTOPEN);
    EXPECT_EQ(SF_dbopen(0, &b.h, path.c_str(), b.recbuf, kRecLen), 0);
    EXPECT_EQ(SF_dbmove(0, &b.h, 1, DB_FIRST), SF_DBFAILED);
    EXPECT_EQ(SF_dbclose(0, &b.h), 0);
}

}  // namespace
