// The document list is shared area 10 of QORUL: a caller takes it with UL_getarea.
#include <gtest/gtest.h>

#include <cstring>

#include "qorlib2.h"
#include "qorul.h"
#include "testprofile.h"

namespace {

TEST(SharedAreas, TheDocumentListIsArea10OfTheUtilityLibrary) {
    qortest::TempProfile profile;
    qortest::writeFile(profile.path("note.txt"), "hello\n");
    ASSERT_EQ(FN_adddocument(0, profile.path("note.txt").c_str(), 0, 0), 0);
    FN_resetsys(0);
    void* p = nullptr;
    ASSERT_EQ(UL_getarea(0, FN_AREA_DOCLIST, &p), 0);
    ASSERT_NE(p, nullptr);
    FN_DOCAREA area;
    std::memcpy(&area, p, sizeof area);
    EXPECT_EQ(area.count, 1);
    void* same = nullptr;
    ASSERT_EQ(FN_getarea(0, FN_AREA_DOCLIST, &same), 0);
    EXPECT_EQ(p, same) << "one area, whoever asks";
    EXPECT_EQ(UL_releasearea(0, FN_AREA_DOCLIST), 0);
    EXPECT_EQ(UL_getarea(0, 9, &p), UL_E_NOAREA);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(UL_releasearea(0, 9), UL_E_NOAREA);
    EXPECT_EQ(UL_getarea(0, FN_AREA_DOCLIST, nullptr), UL_E_BADARG);
}

}  // namespace
