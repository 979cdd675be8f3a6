// The job control file reader: the file list of a sound file, and statuses for damaged ones.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qorul.h"
#include "qorvq.h"
#include "testprofile.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


struct List {
    uint16_t count = 0;
    std::vector<VQ_JOBFILE> files;
};

List readList(uint32_t handle) {
    List l;
    void* p = nullptr;
    EXPECT_EQ(UL_lockhandle(handle, &p), 0);
    std::memcpy(&l.count, p, 2);
    for (uint16_t i = 0; i < l.count; ++i) {
        VQ_JOBFILE f;
        std::memcpy(&f, static_cast<char*>(p) + 2 + i * sizeof f, sizeof f);
        l.files.push_back(f);
    }
    UL_unlockhandle(handle);
    return l;
}

TEST(VqJobFile, ReadsDocumentsAndTheDeleteFlag) {
    qortest::TempProfile profile;
    const std::string path = profile.path("spool/job.SPL");
    qortest::writeFile(path,
                       "DIAL 9|555|\r\nDELETE  1\r\nFINE  0\r\nFAX /a/b.001 b.tif\r\ntext /a/c.002\r\n"
                       "ATTACH /a/d\r\nOTHER /a/e\r\nEND\r\n");
    uint32_t handle = 0;
    char dial[80] = {};
    ASSERT_EQ(VQ_readjobfile(0, path.c_str(), &handle, dial), 0);
    EXPECT_STREQ(dial, "9|555|");
    List l = readList(handle);
    ASSERT_EQ(v(l.count), 4);
    EXPECT_STREQ(l.files[0].path, "/a/b.001");
    EXPECT_STREQ(l.files[1].path, "/a/c.002");  // keywords match in any case
    EXPECT_EQ(l.files[0].flag, 1);
    EXPECT_EQ(VQ_freejobfile(0, handle), 0);
}

TEST(VqJobFile, AFourLineFileHasNoDocuments) {
    qortest::TempProfile profile;
    const std::string path = profile.path("spool/job.SPL");
    qortest::writeFile(path, "DIAL 555\r\nDELETE  0\r\nFINE  1\r\nEND\r\n");
    uint32_t handle = 0;
    ASSERT_EQ(VQ_readjobfile(0, path.c_str(), &handle), 0);
    EXPECT_EQ(readList(handle).count, 0);
    VQ_freejobfile(0, handle);
}

TEST(VqJobFile, DamagedFilesGiveAStatusAndNoList) {
    qortest::TempProfile profile;
    const std::string path = profile.path("spool/job.SPL");
    const char* damaged[] = {
        "",                                                          // empty
        "DIAL 555\r\nDELETE  0\r\nFINE  1\r\n",                      // no end line
        "DELETE  0\r\nDIAL 555\r\nFINE  1\r\nEND\r\n",               // lines out of order
        "DIAL 555\r\nDELETE  2\r\nFINE  1\r\nEND\r\n",               // a flag that is not 0 or 1
        "DIAL 555\r\nDELETE 0\r\nFINE  1\r\nEND\r\n",                // one blank only
        "DIAL 555\r\nDELETE  0\r\nFINE  1\r\nBOGUS /x\r\nEND\r\n",   // unknown keyword
        "DIAL 555\r\nDELETE  0\r\nFINE  1\r\nFAX\r\nEND\r\n",        // a document without a path
        "DIAL\r\nDELETE  0\r\nFINE  1\r\nEND\r\n",                   // no dial string
    };
    for (const char* text : damaged) {
        qortest::writeFile(path, text);
        uint32_t handle = 12345;
        const uint32_t blocks = UL_handlecount();
        EXPECT_EQ(VQ_readjobfile(0, path.c_str(), &handle), VQ_E_JOBFILE) << text;
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(UL_handlecount(), blocks);
    }
    // A line longer than any the library writes, and more than 100 documents.
    qortest::writeFile(path, "DIAL 555\r\nDELETE  0\r\nFINE  1\r\nFAX /" + std::string(400, 'x') + "\r\nEND\r\n");
    uint32_t handle = 0;
    EXPECT_EQ(VQ_readjobfile(0, path.c_str(), &handle), VQ_E_JOBFILE);
    std::string many = "DIAL 555\r\nDELETE  0\r\nFINE  1\r\n";
    for (int i = 0; i < 101; ++i) many += "FAX /d" + std::to_string(i) + "\r\n";
    qortest::writeFile(path, many + "END\r\n");
    EXPECT_EQ(VQ_readjobfile(0, path.c_str(), &handle), VQ_E_JOBFILE);
    EXPECT_EQ(VQ_readjobfile(0, profile.path("spool/none").c_str(), &handle), UL_E_NOTFOUND);
}

}  // namespace
