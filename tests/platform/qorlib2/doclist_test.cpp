// The document list: kept in the profile, walked by index, typed by content, with the area's
// current document.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "faxfile.h"
#include "qorlib2.h"
#include "qorul.h"
#include "testprofile.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


class DocList : public ::testing::Test {
protected:
    void SetUp() override { FN_resetsys(0); }
    void TearDown() override { FN_resetsys(0); }
    qortest::TempProfile profile;
};

TEST_F(DocList, AddedDocumentsAreSeenByALaterReader) {
    const std::string tif = profile.path("page.tif");
    const std::string txt = profile.path("note.txt");
    ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_CCITTFAX3, 3));
    qortest::writeFile(txt, "hello\n");
    ASSERT_EQ(FN_adddocument(0, tif.c_str(), 0, 0), 0);
    ASSERT_EQ(FN_adddocument(0, txt.c_str(), 0, 0), 0);
    // Another process (here: the state forgotten) reads the list from the profile.
    FN_resetsys(0);
    void* p = nullptr;
    ASSERT_EQ(FN_getarea(0, 10, &p), 0);
    auto* area = static_cast<FN_DOCAREA*>(p);
    EXPECT_EQ(v(area->count), 2);
    ASSERT_EQ(FN_firstdoc(0), 0);
    EXPECT_EQ(v(area->index), 1);
    EXPECT_EQ(v(area->type), 1);
    EXPECT_STREQ(area->name, tif.c_str());
    int32_t pages = 0;
    ASSERT_EQ(FN_docinfo(0, 2, &pages), 0);
    EXPECT_EQ(pages, 3);
    ASSERT_EQ(FN_nextdoc(0), 0);
    EXPECT_EQ(v(area->type), 2);
    char name[80];
    ASSERT_EQ(FN_getdocname(0, name, sizeof name), 0);
    EXPECT_STREQ(name, txt.c_str());
    EXPECT_NE(FN_nextdoc(0), 0);
    EXPECT_EQ(FN_selectdoc(0, 3), FN_E_NODOC);
    EXPECT_EQ(FN_selectdoc(0, 0), FN_E_NODOC);
    EXPECT_EQ(FN_releasearea(0, 10), 0);
    EXPECT_EQ(FN_getarea(0, 9, &p), UL_E_NOAREA);
}

TEST_F(DocList, ChangesAreReportedOnceAndClearingEmptiesTheFile) {
    const std::string txt = profile.path("note.txt");
    qortest::writeFile(txt, "x\n");
    int16_t changed = 0;
    ASSERT_EQ(FN_docschanged(0, &changed), 0);
    EXPECT_EQ(changed, 1);  // the first look
    ASSERT_EQ(FN_docschanged(0, &changed), 0);
    EXPECT_EQ(changed, 0);
    ASSERT_EQ(FN_adddocument(0, txt.c_str(), 1, 0), 0);
    ASSERT_EQ(FN_docschanged(0, &changed), 0);
    EXPECT_EQ(changed, 0);  // its own change
    FN_resetsys(0);
    ASSERT_EQ(FN_docschanged(0, &changed), 0);
    ASSERT_EQ(FN_cleardocs(0), 0);
    int16_t count = -1;
    ASSERT_EQ(FN_doccount(0, &count), 0);
    EXPECT_EQ(count, 0);
    const std::string bytes = qortest::readFile(profile.path("data/doclist.dat"));
    ASSERT_EQ(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 6), std::string("QDL1\0\0", 6));
}

TEST_F(DocList, RefusesLongNamesAndADamagedFile) {
    const std::string longName = "/" + std::string(90, 'n');
    EXPECT_EQ(FN_adddocument(0, longName.c_str(), 1, 1), UL_E_PATHLONG);
    qortest::writeFile(profile.path("data/doclist.dat"), "QDL1\x05\x00\x00\x00\x01\x00\x00\x00short");
    void* p = nullptr;
    EXPECT_EQ(FN_getarea(0, 10, &p), FN_E_DAMAGED);
    EXPECT_EQ(FN_adddocument(0, profile.path("x").c_str(), 1, 1), FN_E_DAMAGED);
}

}  // namespace
