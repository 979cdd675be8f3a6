// Board values from the settings file, as the queue window asks for them.
#include <gtest/gtest.h>

#include "qorbd.h"
#include "qorwin32.h"
#include "testprofile.h"

namespace {

TEST(BoardValues, ReadyByDefaultAndAsConfigured) {
    qortest::TempProfile profile;
    int16_t v = -1;
    ASSERT_EQ(BD_getvalue(0, 5207, 1, &v), 0);
    EXPECT_EQ(v, 1);
    const std::string ini = profile.path("qorfax.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("BOARD", "Value5207", "4", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("BOARD", "Board2Value5207", "0", ini.c_str()));
    ASSERT_EQ(BD_getvalue(0, 5207, 1, &v), 0);
    EXPECT_EQ(v, 4);
    ASSERT_EQ(BD_getvalue(0, 5207, 2, &v), 0);
    EXPECT_EQ(v, 0);
}

TEST(BoardValues, UnknownNumbersAndBoardsGiveAStatus) {
    qortest::TempProfile profile;
    int16_t v = 7;
    EXPECT_EQ(BD_getvalue(0, 1234, 1, &v), BD_E_NOVALUE);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(BD_getvalue(0, 5207, 0, &v), BD_E_NOVALUE);
}

}  // namespace
