// The engine configuration texts of section GENERAL.
#include <gtest/gtest.h>

#include "qorul.h"
#include "qorvq.h"
#include "qorwin32.h"
#include "testprofile.h"

namespace {

TEST(VqConfig, ReadsGeneralKeysByNumber) {
    qortest::TempProfile profile;
    const std::string ini = profile.path("qorfax.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("GENERAL", "SenderName", "Ada", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("general", "dialprefix", "0", ini.c_str()));
    char buf[256] = "junk";
    ASSERT_EQ(VQ_getconfig(0, 1, "GENERAL", 4150, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "Ada");
    ASSERT_EQ(VQ_getconfig(0, 1, "GENERAL", 4160, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "0");
    ASSERT_EQ(VQ_getconfig(0, 1, "GENERAL", 4161, buf, sizeof buf), 0);  // missing: empty
    EXPECT_STREQ(buf, "");
}

TEST(VqConfig, UnknownNumbersAndSectionsGiveStatuses) {
    qortest::TempProfile profile;
    char buf[256];
    EXPECT_EQ(VQ_getconfig(0, 1, "GENERAL", 4999, buf, sizeof buf), VQ_E_NOKEY);
    EXPECT_EQ(VQ_getconfig(0, 1, "OTHER", 4150, buf, sizeof buf), VQ_E_SECTION);
    EXPECT_EQ(VQ_getconfig(0, 2, "GENERAL", 4150, buf, sizeof buf), VQ_E_SECTION);
    for (uint16_t k : {4150, 4151, 4153, 4154, 4155, 4156, 4160, 4161}) EXPECT_NE(VQ_configkeyname(k), nullptr);
}

}  // namespace
