// Submission of one job: the bytes of the control file, the job record, the dial string, the
// limits, the spooled copies and the delete list.
#include "sendtest.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


using qortest::SendTest;

TEST_F(SendTest, ControlFileBytesAndJobRecord) {
    SendOptions o = options();
    o.deleteAfterSend = 1;
    UL_strcopy(o.dialPrefix, "0");
    UL_strcopy(o.dialSuffix, "#");
    UL_strcopy(o.note, "quarterly figures");
    UL_strcopy(o.sender, "Sender A");
    UL_strcopy(o.recipientName, "Ada");
    o.sendTime = SF_DATETIME{2026, 3, 20, 7, 0, 0};
    const DocumentEntry docs[] = {doc(1, "/d/page.001 page.tif"), doc(-1, "/skipped"), doc(2, "/d/text.002"),
                                  doc(5, "/d/third"), doc(9, "/d/other")};
    ASSERT_EQ(qorsf::SF_sendfax(kHost, docs, 5, "5551234", &o), 0);
    EXPECT_EQ(v(o.jobNumber), 1u);
    EXPECT_EQ(L1_lockdepth(), 0);
    auto q = queue();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(controlFile(q[0]),
              "DIAL 0|5551234|#\r\n"
              "DELETE  1\r\n"
              "FINE  0\r\n"
              "FAX /d/page.001 page.tif\r\n"
              "TEXT /d/text.002\r\n"
              "ATTACH /d/third\r\n"
              "TEXT /d/other\r\n"
              "END\r\n");
    EXPECT_EQ(v(q[0].status), 'Q');
    EXPECT_STREQ(q[0].number, "5551234");  // the number as given, not the dial string
    EXPECT_STREQ(q[0].recipient, "Ada");
    EXPECT_STREQ(q[0].sender, "Sender A");
    EXPECT_EQ(v(q[0].sendtime.day), 20);
    EXPECT_TRUE(qorsf::queueState().dirty);
    EXPECT_EQ(qorsf::queueState().cache.total, 1);

    o.altDocumentKeyword = 1;
    o.fineResolution = 1;
    ASSERT_EQ(qorsf::SF_sendfax(kHost, docs, 5, "5551234", &o), 0);
    const std::string second = controlFile(queue()[1]);
    EXPECT_NE(second.find("FINE  1\r\n"), std::string::npos);
    EXPECT_NE(second.find("OTHER /d/text.002\r\nATTACH /d/third\r\nOTHER /d/other\r\n"), std::string::npos);
}

TEST_F(SendTest, NoDocumentsGiveAFourLineFileAndStillQueue) {
    SendOptions o = options();
    const DocumentEntry empty[] = {doc(-1, ""), doc(-1, "")};
    ASSERT_EQ(qorsf::SF_sendfax(kHost, empty, 2, "12", &o), 0);
    ASSERT_EQ(qorsf::SF_sendfax(kHost, nullptr, 0, "12", &o), 0);
    for (const auto& r : queue()) EXPECT_EQ(controlFile(r), "DIAL 12\r\nDELETE  0\r\nFINE  0\r\nEND\r\n");
}

TEST_F(SendTest, DialStrings) {
    EXPECT_EQ(qorsf::SF_dialstring("555", "", "", 0), "555");
    EXPECT_EQ(qorsf::SF_dialstring("555", "9", "", 0), "9|555|");
    EXPECT_EQ(qorsf::SF_dialstring("555", "", "*1", '/'), "/555/*1");
    SF_PARAMS* p = qorsf::params();
    p->ccardinuse = 1;
    EXPECT_EQ(qorsf::SF_dialstring("555", "", "", 0), "|555|");  // a card with empty texts still frames
    UL_strcopy(p->ccard.first, "CARD");
    UL_strcopy(p->ccard.second, "PIN");
    p->ccard.firstbefore = 1;
    p->ccard.secondbefore = 0;
    EXPECT_EQ(qorsf::SF_dialstring("555", "9", "#", 0), "9CARD|555|PIN#");
    p->ccard.secondbefore = 7;  // any nonzero value is "before"
    EXPECT_EQ(qorsf::SF_dialstring("555", "", "", 0), "CARDPIN|555|");
    p->ccardinuse = 0;
    char small[6];
    EXPECT_EQ(qorsf::SF_builddialstring(kHost, "5551234", "9", "", small, sizeof small, 0), 0);
    EXPECT_STREQ(small, "9|555");
}

TEST_F(SendTest, LimitsAreCheckedOnTheComposedTextAndQueueNothing) {
    SendOptions o = options();
    UL_strcopy(o.dialPrefix, "00");
    // 45 digits + "00" + two separators = 49 characters: accepted; one more digit is 50.
    const std::string ok(45, '1');
    ASSERT_EQ(qorsf::SF_sendfax(kHost, nullptr, 0, ok.c_str(), &o), 0);
    o.jobNumber = 777;
    EXPECT_EQ(qorsf::SF_sendfax(kHost, nullptr, 0, (ok + "1").c_str(), &o), SF_DIALSTRINGLONG);
    EXPECT_EQ(v(o.jobNumber), 777u);
    // "FAX " + 74 characters = 78: accepted; 75 characters = 79: refused.
    const DocumentEntry fits[] = {doc(1, "/" + std::string(73, 'p'))};
    ASSERT_EQ(qorsf::SF_sendfax(kHost, fits, 1, "1", &o), 0);
    const DocumentEntry tooLong[] = {doc(1, "/" + std::string(74, 'p'))};
    EXPECT_EQ(qorsf::SF_sendfax(kHost, tooLong, 1, "1", &o), SF_JOBLINELONG);
    const DocumentEntry full[] = {doc(2, std::string(79, 'q'))};  // a full text field
    EXPECT_EQ(qorsf::SF_sendfax(kHost, full, 1, "1", &o), SF_JOBLINELONG);
    EXPECT_EQ(queue().size(), 2u);
    EXPECT_EQ(L1_lockdepth(), 0);
    EXPECT_EQ(qorsf::SF_sendfax(kHost, nullptr, -1, "1", &o), qorsf::SF_BADARGUMENT);
}

TEST_F(SendTest, MakeCopySpoolsOnceAndNamesTheSource) {
    const std::string src = profile.path("letter.txt");
    qortest::writeFile(src, "dear sir\n");
    char path[80];
    UL_strcopy(path, src.c_str());
    int16_t copied = 0;
    ASSERT_EQ(qorsf::SF_makecopy(kHost, path, 1, &copied), 0);
    EXPECT_EQ(copied, 1);
    const std::string text = path;
    const std::size_t blank = text.find(' ');
    ASSERT_NE(blank, std::string::npos);
    EXPECT_EQ(text.substr(blank), " letter.txt");
    const std::string copy = text.substr(0, blank);
    EXPECT_EQ(copy.substr(copy.size() - 4), ".001");
    EXPECT_EQ(copy.rfind(profile.path("spool/"), 0), 0u);
    EXPECT_EQ(qortest::readFile(copy), "dear sir\n");
    // The second document of the same send gets .012 for index 12 on the same base.
    char second[80];
    UL_strcopy(second, src.c_str());
    ASSERT_EQ(qorsf::SF_makecopy(kHost, second, 12, &copied), 0);
    EXPECT_EQ(std::string(second).substr(0, copy.size()), copy.substr(0, copy.size() - 4) + ".012");
    // A document already in the spool directory stays as it is.
    char spooled[80];
    UL_strcopy(spooled, copy.c_str());
    ASSERT_EQ(qorsf::SF_makecopy(kHost, spooled, 2, &copied), 0);
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(std::string(spooled), copy);
    EXPECT_EQ(qorsf::SF_makecopy(kHost, spooled, 0, &copied), qorsf::SF_BADARGUMENT);
    char missing[80];
    UL_strcopy(missing, profile.path("none.txt").c_str());
    EXPECT_NE(qorsf::SF_makecopy(kHost, missing, 1, &copied), 0);
    EXPECT_EQ(copied, 0);
}

TEST_F(SendTest, DeleteListHoldsSumsReleasesAndReusesSlots) {
    const std::string a = profile.path("spool/A.001"), b = profile.path("spool/B.001");
    qortest::writeFile(a, "a");
    qortest::writeFile(b, "b");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 2), 0);
    std::string upper = a;
    upper.replace(upper.size() - 5, 1, "a");  // same file name in another letter case
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, upper.c_str(), 1), 0);
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, b.c_str(), 1), 0);
    // Neither a path that another one begins with nor one that ends like another is that one.
    const std::string shorter = a.substr(0, a.size() - 1), longer = "x" + a;
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, shorter.c_str(), 0), 0);
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, longer.c_str(), 0), 0);
    auto list = delList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(v(list[0].count), 3);
    EXPECT_EQ(v(list[0].inuse), 'n');
    EXPECT_STREQ(list[0].path, a.c_str());
    // The bytes of a record: count, mark, path, NUL-filled.
    const std::string bytes = qortest::readFile(profile.path("data/delfile.lis"));
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x03\x00n", 3));
    EXPECT_EQ(bytes[3 + a.size()], '\0');

    for (int i = 0; i < 2; ++i) ASSERT_EQ(qorsf::SF_releasedelfile(kHost, a.c_str(), 0), 0);
    EXPECT_TRUE(qortest::fileExists(a));
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, a.c_str(), 0), 0);
    EXPECT_FALSE(qortest::fileExists(a));  // the last hold went
    list = delList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(v(list[0].inuse), 0);
    EXPECT_EQ(bytes.size(), 168u);
    const std::string c = profile.path("spool/C.001");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, c.c_str(), 1), 0);
    list = delList();
    ASSERT_EQ(list.size(), 2u);  // the free slot was reused
    EXPECT_STREQ(list[0].path, c.c_str());

    // A list with a path twice (left by a change cut short): the first record is the one used,
    // and when it goes the second takes its place.
    DEL_RECORD twice{};
    twice.count = 1;
    twice.inuse = 'n';
    UL_strcopy(twice.path, profile.path("spool/T.001").c_str());
    std::string crafted = std::string(reinterpret_cast<const char*>(&twice), sizeof twice) +
                          std::string(sizeof twice, '\0') + std::string(reinterpret_cast<const char*>(&twice), sizeof twice);
    qortest::writeFile(profile.path("data/delfile.lis"), crafted);
    qortest::writeFile(profile.path("data/delfile.lock"), "");  // no stamp: the list is read again
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, twice.path, 1), 0);
    list = delList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(v(list[0].count), 2);
    EXPECT_EQ(v(list[2].count), 1);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(qorsf::SF_releasedelfile(kHost, twice.path, 0), 0);
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, twice.path, 4), 0);
    list = delList();
    EXPECT_EQ(v(list[0].inuse), 0);
    EXPECT_EQ(v(list[2].count), 5) << "the second record took the first one's place";
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, profile.path("spool/U.001").c_str(), 1), 0);
    list = delList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[0].path, profile.path("spool/U.001").c_str()) << "the first free place is taken";

    // A path that is not listed is deleted only when asked.
    const std::string loose = profile.path("spool/loose");
    qortest::writeFile(loose, "x");
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, loose.c_str(), 0), 0);
    EXPECT_TRUE(qortest::fileExists(loose));
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, loose.c_str(), 1), 0);
    EXPECT_FALSE(qortest::fileExists(loose));
}

TEST_F(SendTest, DeleteListRefusesLongPathsAndDamage) {
    const std::string a = profile.path("spool/A.001");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 1), 0);
    const std::string before = qortest::readFile(profile.path("data/delfile.lis"));
    const std::string longPath = "/" + std::string(81, 'z');
    EXPECT_EQ(qorsf::SF_addtodellist(kHost, longPath.c_str(), 1), UL_E_PATHLONG);
    EXPECT_EQ(qortest::readFile(profile.path("data/delfile.lis")), before);

    // A list that is not a whole number of records, and one with a record without its NUL.
    qortest::writeFile(profile.path("data/delfile.lis"), before + "xyz");
    EXPECT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 1), qorsf::SF_DELLISTDAMAGED);
    EXPECT_EQ(qorsf::SF_releasedelfile(kHost, a.c_str(), 1), qorsf::SF_DELLISTDAMAGED);
    EXPECT_EQ(qortest::readFile(profile.path("data/delfile.lis")), before + "xyz");
    std::string unterminated = before;
    for (std::size_t i = 3; i < 84; ++i) unterminated[i] = 'p';
    qortest::writeFile(profile.path("data/delfile.lis"), unterminated);
    EXPECT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 1), qorsf::SF_DELLISTDAMAGED);
    EXPECT_EQ(qortest::readFile(profile.path("data/delfile.lis")), unterminated);
}

}  // namespace
