// Start-up and shut-down: the blocks, repeated opens, closes without an open, failures of the
// profile and of the language module, the reset and the font rule.
#include <cstdlib>
#include <filesystem>

#include "frame_fixture.h"
#include "qorul.h"
#include "qorul_control.h"

namespace qortest {
namespace {

using LifecycleTest = FrameTest;

TEST_F(LifecycleTest, SecondOpenReusesTheBlocksAndReloadsTheParameters) {
    ASSERT_EQ(SF_open(kHost), 0);
    const uint32_t blocks = UL_handlecount();
    const uint32_t global = qorsf::frame().globalHandle;
    ASSERT_EQ(SF_close(kHost), 0);
    ASSERT_EQ(SF_open(kHost), 0);
    putFax(2204, "9");
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(UL_handlecount(), blocks);
    EXPECT_NE(qorsf::frame().globalHandle, 0u);
    EXPECT_EQ(qorsf::params()->word2204, 9);
    (void)global;
}

TEST_F(LifecycleTest, ReopenEmptiesTheRecipientListWithoutLeakingItsItems) {
    ASSERT_EQ(SF_open(kHost), 0);
    const uint32_t blocks = UL_handlecount();
    PB_ENTRY e{};
    UL_strcopy(e.number, "555");
    ASSERT_EQ(UT_listadd(kHost, &qorsf::frame().recipients, &e, sizeof e), 0);
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(UT_listcount(&qorsf::frame().recipients), 0u);
    EXPECT_EQ(UL_handlecount(), blocks);
}

TEST_F(LifecycleTest, CloseWithoutOpenFreesNothing) {
    const uint32_t blocks = UL_handlecount();
    EXPECT_EQ(SF_close(kHost), 0);
    EXPECT_EQ(UL_handlecount(), blocks);
    EXPECT_FALSE(fileExists(datFile()));
}

TEST_F(LifecycleTest, CloseFreesEveryBlockIncludingTheCoverMemo) {
    const uint32_t before = UL_handlecount();
    ASSERT_EQ(SF_open(kHost), 0);
    void* memo = nullptr;
    uint32_t handle = 0;
    ASSERT_EQ(UL_allochandle(&memo, 64, &handle), 0);
    qorsf::defaultCover()->memo = handle;
    ASSERT_EQ(SF_close(kHost), 0);
    EXPECT_EQ(UL_handlecount(), before);
    EXPECT_EQ(UL_lockhandle(handle, &memo), UL_E_BADHANDLE);
    EXPECT_EQ(qorsf::params(), nullptr);
}

TEST_F(LifecycleTest, ResetsysAnswers) {
    ASSERT_EQ(SF_open(kHost), 0);
    EXPECT_EQ(SF_resetsys(kHost, 0), 0);
    EXPECT_EQ(SF_resetsys(kHost, 1), 0);
}

TEST_F(LifecycleTest, MakefontScalesBySquaredDialogUnits) {
    HFONT font = reinterpret_cast<HFONT>(1);
    ASSERT_EQ(qorsf::SF_makefont(kHost, 10, 200, &font, 0), 0);
    ASSERT_NE(font, nullptr);
    qorwin::FontInfo info;
    ASSERT_TRUE(qorwin::fontInfo(font, &info));
    // u = 16: -(10 * 16 * 16 / 256) = -10
    EXPECT_EQ(info.height, -10);
    EXPECT_EQ(info.weight, 200);
    EXPECT_EQ(info.face, "");
    EXPECT_TRUE(DeleteObject(font));

    ASSERT_EQ(qorsf::SF_makefont(kHost, 15, 200, &font, 256), 0);
    ASSERT_TRUE(qorwin::fontInfo(font, &info));
    EXPECT_EQ(info.height, -15);
    DeleteObject(font);
}

TEST(LifecycleFailures, ProfileUnderARegularFileGivesAStatus) {
    TempProfile profile;
    qorsf::frame_reset();
    writeFile(profile.path("plainfile"), "not a directory");
    qorul::resetProfile();
    EXPECT_NE(qorul::setProfileRoot(profile.path("plainfile/qorfax/")), 0);
    const int16_t st = SF_open(0);
    EXPECT_NE(st, 0);
    SF_close(0);
    qorsf::frame_reset();
}

TEST(LifecycleFailures, ProfileTooDeepForPathFieldsGivesAStatus) {
    TempProfile profile;
    qorsf::frame_reset();
    std::string deep = profile.root();
    while (deep.size() < 90) deep += "very-long-directory-name/";
    std::filesystem::create_directories(deep);
    qorul::resetProfile();
    EXPECT_EQ(qorul::setProfileRoot(deep), UL_E_PATHLONG);
    EXPECT_NE(SF_open(0), 0);
    SF_close(0);
    qorsf::frame_reset();
}

TEST(LifecycleFailures, MissingLanguageTextGivesAStatusAndLosesNothing) {
    TempProfile profile;
    qorsf::frame_reset();
    ASSERT_EQ(SF_open(0), 0);
    ASSERT_EQ(SF_close(0), 0);
    const std::string dat = readFile(profile.path("data/sf.dat"));
    const std::string settings = readFile(profile.path("qorfax.ini"));

    writeFile(profile.path("lang.rc"), "STRINGTABLE\nBEGIN\n  100, \"QOR Fax\"\nEND\n");
    setenv("QORLANG_PATH", profile.path("lang.rc").c_str(), 1);
    qorul::reset();
    EXPECT_EQ(SF_open(0), UL_E_NOTEXT);
    SF_close(0);
    unsetenv("QORLANG_PATH");
    qorul::reset();
    qorsf::frame_reset();
    EXPECT_EQ(readFile(profile.path("data/sf.dat")), dat);
    EXPECT_EQ(readFile(profile.path("qorfax.ini")), settings);
}

}  // namespace
}  // namespace qortest
