// SF_faxfolder as a host drives it: documents on the list, numbers and options given.
#include "faxfile.h"
#include "sendtest.h"

namespace {

// Packed record fields are read by value (a reference to one may be misaligned).
template <typename T>
T v(T x) {
    return x;
}


using qortest::SendTest;

class FolderTest : public SendTest {
protected:
    std::string addTiff(const std::string& name, uint32_t width = 1728) {
        const std::string path = profile.path(name);
        EXPECT_TRUE(qortest::writeTiff(path, width, COMPRESSION_CCITTFAX3, 1, "desc", "docname"));
        EXPECT_EQ(FN_adddocument(0, path.c_str(), 1, 0), 0);
        return path;
    }
    std::string addText(const std::string& name, const std::string& body = "text\n") {
        const std::string path = profile.path(name);
        qortest::writeFile(path, body);
        EXPECT_EQ(FN_adddocument(0, path.c_str(), 1, 0), 0);
        return path;
    }
    // The spooled paths named by a control file's document lines.
    static std::vector<std::string> documents(const std::string& control) {
        std::vector<std::string> out;
        std::size_t pos = 0;
        while ((pos = control.find("\r\n", pos)) != std::string::npos) {
            pos += 2;
            const std::size_t blank = control.find(' ', pos);
            const std::size_t end = control.find("\r\n", pos);
            if (blank == std::string::npos || end == std::string::npos || blank > end) continue;
            const std::string word = control.substr(pos, blank - pos);
            if (word == "FAX" || word == "TEXT") {
                const std::string rest = control.substr(blank + 1, end - blank - 1);
                out.push_back(rest.substr(0, rest.find(' ')));
            }
        }
        return out;
    }
};

TEST_F(FolderTest, ThreeRecipientsHoldEveryDocumentThreeTimesUntilEveryRelease) {
    addTiff("page.tif");
    addText("memo.txt");
    // The host's main window, registered as window 101, records what it is sent.
    static std::vector<std::pair<HWND, UINT>> posted;
    posted.clear();
    HWND window = qorwin::createWindow("host", [](HWND w, UINT m, WPARAM p1, LPARAM p2) -> LRESULT {
        if (m == 28659) posted.emplace_back(w, m);
        return DefWindowProcA(w, m, p1, p2);
    });
    ASSERT_NE(window, nullptr);
    UL_registerwindow(0, 101, window);
    SendOptions o = options();
    UL_strcopy(o.recipientName, "Team");
    const char* numbers[] = {"111", "222", "333"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 3, &o), 0);
    EXPECT_EQ(L1_lockdepth(), 0);
    auto q = queue();
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(v(o.jobNumber), 3u);
    const auto docs = documents(controlFile(q[0]));
    ASSERT_EQ(docs.size(), 2u);
    for (const auto& r : q) EXPECT_EQ(documents(controlFile(r)), docs);  // one spooled copy for all
    EXPECT_NE(controlFile(q[0]).find("FAX " + docs[0] + " page.tif\r\n"), std::string::npos);
    auto list = delList();
    ASSERT_EQ(list.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(v(list[i].count), 3);
        EXPECT_EQ(v(list[i].path), docs[i]);
        EXPECT_TRUE(qortest::fileExists(docs[i]));
    }
    EXPECT_TRUE(posted.empty());  // posted: nothing arrives before the host's loop runs
    qorwin::pump();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(v(posted[0].first), window);
    EXPECT_EQ(v(posted[0].second), 28659u);

    // Every job releases its documents; only the last release deletes the copies.
    const DocumentEntry held[] = {doc(1, docs[0] + " page.tif"), doc(2, docs[1])};
    for (int job = 0; job < 3; ++job) {
        for (const auto& p : docs) EXPECT_TRUE(qortest::fileExists(p)) << job;
        ASSERT_EQ(qorsf::SF_releasedocuments(kHost, held, 2), 0);
    }
    for (const auto& p : docs) EXPECT_FALSE(qortest::fileExists(p));
    for (const auto& r : delList()) EXPECT_EQ(v(r.inuse), 0);
    EXPECT_EQ(delList().size(), 2u);
}

TEST_F(FolderTest, NoDocumentsStillQueueOneFourLineJobPerNumber) {
    SendOptions o = options();
    const char* numbers[] = {"1", "2"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 2, &o), 0);
    auto q = queue();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(controlFile(q[1]), "DIAL 2\r\nDELETE  0\r\nFINE  0\r\nEND\r\n");
    EXPECT_TRUE(delList().empty());
    EXPECT_EQ(qorsf::SF_faxfolder(kHost, numbers, 0, &o), SF_CANCELLED);
}

TEST_F(FolderTest, ADocumentThatCannotBeFaxedIsAskedAboutAndNeverSpooled) {
    qortest::writeFile(profile.path("prog"), std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10));
    ASSERT_EQ(FN_adddocument(kHost, profile.path("prog").c_str(), 0, 0), 0);
    addText("memo.txt");
    profile.ui().answer(IDNO);  // leave the bad document out
    SendOptions o = options();
    const char* numbers[] = {"1"};
    ASSERT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), 0);
    ASSERT_EQ(profile.ui().shown().size(), 1u);
    auto q = queue();
    ASSERT_EQ(q.size(), 1u);
    const auto docs = documents(controlFile(q[0]));
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(qortest::readFile(docs[0]).substr(0, 4), std::string("II*\0", 4));  // the text as a fax page
    EXPECT_EQ(docs[0].substr(docs[0].size() - 4), ".001");  // page 0 of a base of its own

    profile.ui().answer(IDYES);  // stop: nothing is sent at all
    EXPECT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), SF_CANCELLED);
    EXPECT_EQ(queue().size(), 1u);
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(FolderTest, MoreThanAHundredDocumentsQueueNothing) {
    const std::string path = profile.path("memo.txt");
    qortest::writeFile(path, "x\n");
    for (int i = 0; i < 101; ++i) ASSERT_EQ(FN_adddocument(0, path.c_str(), 1, 0), 0);
    SendOptions o = options();
    const char* numbers[] = {"1"};
    EXPECT_EQ(qorsf::SF_faxfolder(kHost, numbers, 1, &o), SF_TOOMANYDOCS);
    EXPECT_TRUE(queue().empty());
    EXPECT_EQ(L1_lockdepth(), 0);
    // The list's current document is restored after the collection.
    void* p = nullptr;
    ASSERT_EQ(FN_getarea(0, 10, &p), 0);
    const int16_t index = static_cast<FN_DOCAREA*>(p)->index;
    EXPECT_EQ(index, 0);
}

TEST_F(FolderTest, ALaterFailureKeepsTheHoldsOfTheJobsAlreadyQueued) {
    addText("memo.txt");
    SendOptions o = options();
    const std::string tooLong(60, '5');
    const char* numbers[] = {"1", tooLong.c_str(), "3"};
    EXPECT_EQ(qorsf::SF_faxfolder(kHost, numbers, 3, &o), SF_DIALSTRINGLONG);
    ASSERT_EQ(queue().size(), 1u);
    auto list = delList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(v(list[0].count), 1);  // one queued job still needs the copy
}

TEST_F(FolderTest, CheckDocumentCountsTextPagesAndReadsFaxTexts) {
    int16_t pages = 0;
    char t1[80], t2[80];
    std::string body;
    for (int i = 0; i < 125; ++i) body += "line\n";
    const std::string text = profile.path("long.txt");
    qortest::writeFile(text, body);
    ASSERT_EQ(qorsf::SF_checkdocument(kHost, text.c_str(), 2, &pages, t1, t2), 0);
    EXPECT_EQ(pages, 3);  // 60 + 60 + 5
    qortest::writeFile(text, "a\fb\n");
    ASSERT_EQ(qorsf::SF_checkdocument(kHost, text.c_str(), 2, &pages, t1, t2), 0);
    EXPECT_EQ(pages, 2);  // a form feed ends the first page
    const std::string tif = profile.path("p.tif");
    ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_CCITTFAX4, 2, "fine page", "report"));
    ASSERT_EQ(qorsf::SF_checkdocument(kHost, tif.c_str(), 1, &pages, t1, t2), 0);
    EXPECT_STREQ(t1, "fine page");
    EXPECT_STREQ(t2, "report");
    // A TIFF that is no fax page, or a text listed as a fax image, is made into fax pages.
    ASSERT_TRUE(qortest::writeTiff(tif, 1728, COMPRESSION_NONE));
    EXPECT_EQ(qorsf::SF_checkdocument(kHost, tif.c_str(), 1, &pages, t1, t2), 0);
    EXPECT_EQ(qorsf::SF_checkdocument(kHost, text.c_str(), 1, &pages, t1, t2), 0);
    qortest::writeFile(tif, std::string("II*\0damaged", 11));
    EXPECT_EQ(qorsf::SF_checkdocument(kHost, tif.c_str(), 1, &pages, t1, t2), L1_E_DAMAGED);
    EXPECT_EQ(qorsf::SF_checkdocument(kHost, profile.path("none").c_str(), 1, &pages, t1, t2), UL_E_NOTFOUND);
    EXPECT_EQ(qorsf::SF_checkdocument(kHost, "whatever", 7, &pages, t1, t2), 0);
}

}  // namespace
