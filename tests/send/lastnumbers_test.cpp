// The last-numbers list: loaded by SF_open, changed by SF_storelastnumber, saved by SF_close.
#include "sendtest.h"

namespace {

class LastNumbers : public qortest::SendTest {
protected:
    std::string key(int slot) { return keyName(2128) + std::to_string(slot); }
    std::string slot(int button, std::string* name = nullptr) {
        char number[31] = {}, n[31] = {};
        EXPECT_EQ(qorsf::SF_getalastnumber(kHost, nullptr, static_cast<int16_t>(161 + button), number, n), 0);
        if (name) *name = n;
        return number;
    }
};

TEST_F(LastNumbers, LoadSplitsAtTheLastSemicolonAndCutsToFit) {
    SF_close(kHost);
    put("FAX OPERATION", key(1).c_str(), "Smith; Jones;555");
    put("FAX OPERATION", key(2).c_str(), "NameOnly");
    put("FAX OPERATION", key(3).c_str(), (std::string(40, 'n') + ";" + std::string(40, '9')).c_str());
    ASSERT_EQ(SF_open(kHost), 0);
    std::string name;
    EXPECT_EQ(slot(0, &name), "555");
    EXPECT_EQ(name, "Smith; Jones");
    EXPECT_EQ(slot(1, &name), "");
    EXPECT_EQ(name, "NameOnly");
    EXPECT_EQ(slot(2, &name), std::string(30, '9'));
    EXPECT_EQ(name.size(), 30u);
}

TEST_F(LastNumbers, StoreMovesToTheFrontAndCloseSavesEverySlot) {
    for (const char* n : {"E", "D", "C", "B", "A"})  // A ends in slot 0
        ASSERT_EQ(qorsf::SF_storelastnumber(kHost, n, (std::string("num") + n).c_str()), 0);
    ASSERT_EQ(qorsf::SF_storelastnumber(kHost, "d", "new"), 0);  // found in slot 3, any case
    std::string name;
    EXPECT_EQ(slot(0, &name), "new");
    EXPECT_EQ(name, "d");
    EXPECT_EQ(slot(1), "numA");
    EXPECT_EQ(slot(3), "numC");
    EXPECT_EQ(slot(4), "numE");  // unchanged
    ASSERT_EQ(qorsf::SF_storelastnumber(kHost, "F", "numF"), 0);  // a new one drops slot 4
    EXPECT_EQ(slot(4), "numC");
    ASSERT_EQ(qorsf::SF_storelastnumber(kHost, "", "numA"), 0);  // by number: its name becomes empty
    EXPECT_EQ(slot(0, &name), "numA");
    EXPECT_EQ(name, "");
    char out[31];
    EXPECT_EQ(qorsf::SF_findnameinlastnumbers(kHost, "f", out), 2);
    EXPECT_STREQ(out, "numF");
    EXPECT_EQ(qorsf::SF_findnameinlastnumbers(kHost, "", out), 0);
    EXPECT_EQ(qorsf::SF_findnumberinlastnumbers(kHost, "numB", out), 4);
    SF_close(kHost);
    EXPECT_EQ(get("FAX OPERATION", key(1).c_str()), ";numA");
    EXPECT_EQ(get("FAX OPERATION", key(2).c_str()), "F;numF");
    EXPECT_EQ(get("FAX OPERATION", key(3).c_str()), "d;new");
    EXPECT_EQ(get("FAX OPERATION", key(5).c_str()), "C;numC");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(slot(0, &name), "numA");
    EXPECT_EQ(name, "");
}

TEST_F(LastNumbers, EmptySlotsDeleteTheirKeys) {
    // A key written while the library is open, for a slot that is empty in memory, goes at close.
    put("FAX OPERATION", key(5).c_str(), "Stale;9");
    ASSERT_EQ(qorsf::SF_storelastnumber(kHost, "Kept", "1"), 0);
    SF_close(kHost);
    EXPECT_EQ(get("FAX OPERATION", key(5).c_str()), "<missing>");
    EXPECT_EQ(get("FAX OPERATION", key(1).c_str()), "Kept;1");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(qorsf::SF_getalastnumber(kHost, nullptr, 166, nullptr, nullptr), qorsf::SF_BADARGUMENT);
}

}  // namespace
