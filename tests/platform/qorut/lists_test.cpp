// Lists of movable items: copies, positions from 1, walks, and nothing leaked.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qorul.h"
#include "qorut.h"

namespace {

struct Item {
    char text[16];
};

Item item(const char* s) {
    Item i{};
    UL_strcopy(i.text, s);
    return i;
}

std::vector<std::string> contents(UT_LIST* list) {
    std::vector<std::string> out;
    Item i{};
    int16_t found = 0;
    for (UT_listfirst(0, list, &i, sizeof i, &found); found; UT_listnext(0, list, &i, sizeof i, &found))
        out.push_back(i.text);
    return out;
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override { blocks = UL_handlecount(); }
    void TearDown() override {
        UT_listfree(0, &list);
        EXPECT_EQ(UL_handlecount(), blocks) << "the list leaked blocks";
    }
    UT_LIST list{};
    uint32_t blocks = 0;
};

TEST_F(ListTest, ItemsAreCopiesInOrder) {
    Item a = item("alpha");
    ASSERT_EQ(UT_listadd(0, &list, &a, sizeof a), 0);
    std::strcpy(a.text, "changed");
    Item b = item("beta");
    ASSERT_EQ(UT_listadd(0, &list, &b, sizeof b), 0);
    EXPECT_EQ(UT_listcount(&list), 2u);
    EXPECT_EQ(contents(&list), (std::vector<std::string>{"alpha", "beta"}));
    Item out{};
    ASSERT_EQ(UT_listget(0, &list, 2, &out, sizeof out), 0);
    EXPECT_STREQ(out.text, "beta");
}

TEST_F(ListTest, InsertAfterAndDeleteCountFromOne) {
    for (const char* s : {"a", "b", "c"}) {
        Item i = item(s);
        ASSERT_EQ(UT_listadd(0, &list, &i, sizeof i), 0);
    }
    Item x = item("x");
    ASSERT_EQ(UT_listinsert(0, &list, 1, &x, sizeof x), 0);  // after item 1
    Item y = item("y");
    ASSERT_EQ(UT_listinsert(0, &list, 0, &y, sizeof y), 0);  // at the front
    EXPECT_EQ(contents(&list), (std::vector<std::string>{"y", "a", "x", "b", "c"}));
    ASSERT_EQ(UT_listdelete(0, &list, 5), 0);
    ASSERT_EQ(UT_listdelete(0, &list, 1), 0);
    EXPECT_EQ(contents(&list), (std::vector<std::string>{"a", "x", "b"}));
}

TEST_F(ListTest, PositionsOutsideTheListAreRefused) {
    Item out{};
    EXPECT_EQ(UT_listget(0, &list, 1, &out, sizeof out), UT_E_RANGE);
    EXPECT_EQ(UT_listdelete(0, &list, 0), UT_E_RANGE);
    Item a = item("a");
    ASSERT_EQ(UT_listadd(0, &list, &a, sizeof a), 0);
    EXPECT_EQ(UT_listget(0, &list, 2, &out, sizeof out), UT_E_RANGE);
    EXPECT_EQ(UT_listinsert(0, &list, 3, &a, sizeof a), UT_E_RANGE);
}

TEST_F(ListTest, GrowsPastItsFirstCapacityAndFreesEverything) {
    for (int n = 0; n < 100; ++n) {
        Item i = item(std::to_string(n).c_str());
        ASSERT_EQ(UT_listadd(0, &list, &i, sizeof i), 0);
    }
    EXPECT_EQ(UT_listcount(&list), 100u);
    Item out{};
    ASSERT_EQ(UT_listget(0, &list, 100, &out, sizeof out), 0);
    EXPECT_STREQ(out.text, "99");
    ASSERT_EQ(UT_listfree(0, &list), 0);
    EXPECT_EQ(UT_listcount(&list), 0u);
    EXPECT_EQ(contents(&list), std::vector<std::string>{});
}

TEST_F(ListTest, AnEmptyWalkFindsNothing) {
    Item out{};
    int16_t found = 7;
    ASSERT_EQ(UT_listfirst(0, &list, &out, sizeof out, &found), 0);
    EXPECT_EQ(found, 0);
}

}  // namespace
