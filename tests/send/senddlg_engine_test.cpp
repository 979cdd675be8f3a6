// A send through the send dialog to three recipients with a cover page, then the fax engine on
// the loopback line: three faxes arrive, each starting with the cover page made for its own
// recipient; and qorfax send --dialog run by a script of user actions.
#include <cstring>
#include <string>
#include <vector>

#include "cover/cover.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/phonebook.h"
#include "qordoc.h"
#include "qorux.h"
#include "qorvq_log.h"
#include "qorwinuser.h"
#include "send/dialogs/senddlg.h"
#include "logwalk.h"
#include "senddlgtest.h"

namespace {

using namespace qorsf;

std::vector<qordoc::Page> pagesOf(const std::string& file) {
    std::vector<qordoc::Page> pages;
    EXPECT_EQ(qordoc::readFax(file, &pages), 0) << file;
    return pages;
}

class SendDialogEngine : public qortest::SendDialogTest {
protected:
    void TearDown() override {
        VQ_shutdown(0);
        VQ_closelogdb();
        SendDialogTest::TearDown();
    }
};

TEST_F(SendDialogEngine, ThreeRecipientsWithACoverGetThreeFaxesEachWithItsOwnCover) {
    put("GENERAL", "SenderName", "Sam Sender");
    person("Ada", "5550101", "Engines Ltd");
    person("Bob", "5550102", "Bob & Co");
    person("Cy", "5550103", "Cy Corp");
    ::SF_epilog(kHost);
    const std::string doc = profile.path("body.txt");
    qortest::writeFile(doc, "The figures follow.\n");
    ASSERT_EQ(FN_adddocument(kHost, doc.c_str(), 1, 0), 0);
    // The cover page of the last send: form template 1, made again for this send.
    COVER_SHEET* fallback = defaultCover();
    fallback->templatenumber = 1;
    UL_strcopy(fallback->sendera, "Sam Sender");
    frame().sendState = 1;
    user.click(SD_FROMBOOK).select(302, 0).toggle(302, 1).toggle(302, 2).click(246).click(IDOK);
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_COUNT), "3 recipients chosen");
        SetDlgItemTextA(d, PF_NUMBER, "");
    });
    user.click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    ASSERT_EQ(queue().size(), 3u);

    // What each recipient's cover page must be: the same template and texts with the
    // recipient's name, company and number, made at the same (driven) time.
    struct Expected {
        std::string name, company, number;
        std::vector<qordoc::Page> pages;
    };
    std::vector<Expected> expected = {{"Ada", "Engines Ltd", "5550101", {}},
                                      {"Bob", "Bob & Co", "5550102", {}},
                                      {"Cy", "Cy Corp", "5550103", {}}};
    for (Expected& e : expected) {
        COVER_SHEET cover;
        std::memcpy(&cover, fallback, sizeof cover);
        PB_ENTRY entry{};
        UL_strcopy(entry.name, e.name.c_str());
        UL_strcopy(entry.company, e.company.c_str());
        UL_strcopy(entry.number, e.number.c_str());
        SF_fillcoverto(kHost, &entry, &cover);
        const std::string path = profile.path("expected-" + e.name + ".tif");
        int16_t type = 0;
        ASSERT_EQ(SF_makecover(kHost, &cover, path.c_str(), 2, 1, &type), 0);
        EXPECT_EQ(type, 1);
        e.pages = pagesOf(path);
        ASSERT_FALSE(e.pages.empty());
    }
    EXPECT_FALSE(expected[0].pages[0].bits == expected[1].pages[0].bits);  // the names differ on the page

    const qortest::CommandResult r = qortest::runQorfaxMerged(QORFAXD_BINARY, profile.root(), "--once");
    ASSERT_EQ(r.exit, 0) << r.out;
    for (const QUEUE_RECORD& q : queue()) EXPECT_EQ(q.status, 'S') << q.recipient;

    const std::vector<VQ_LOGENTRY> log = qortest::logRecords();
    ASSERT_EQ(log.size(), 3u);
    // The faxes arrive in job order: Ada, Bob, Cy.
    for (std::size_t i = 0; i < log.size(); ++i) {
        ASSERT_GE(log[i].pages, 2) << i;
        const std::vector<qordoc::Page> first = pagesOf(UX_pagefilename(profile.path("recv/") + log[i].faxfile, 0));
        ASSERT_EQ(first.size(), 1u);
        EXPECT_EQ(first[0].width, expected[i].pages[0].width);
        EXPECT_EQ(first[0].height, expected[i].pages[0].height);
        EXPECT_TRUE(first[0].bits == expected[i].pages[0].bits) << "the first page of fax " << i
                                                                 << " is not " << expected[i].name << "'s cover";
    }
}

TEST(QorfaxSendDialog, AScriptTypesARecipientAndPressesOk) {
    qortest::TempProfile profile;
    qortest::writeFile(profile.path("a.txt"), "Hello\n");
    const std::string send = "--ui script send --dialog " + profile.path("a.txt");
    qortest::CommandResult r = qortest::runQorfaxMerged(
        QORFAX_BINARY, profile.root(),
        "send --dialog --to 1 a.txt");
    EXPECT_EQ(r.exit, 2) << r.out;
    // Without a terminal or a script there is nobody to ask: a usage error, not a cancel.
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), "send --dialog " + profile.path("a.txt") + " < /dev/null");
    EXPECT_EQ(r.exit, 2) << r.out;
    EXPECT_NE(r.out.find("the send dialog needs a terminal or --ui script"), std::string::npos) << r.out;
    // The user's actions, one a line, on standard input.
    qortest::writeFile(profile.path("ok.script"), "type 171 Zed Zimmer\ntype 176 555 1234\ntype 103 9\nclick 1\n");
    qortest::writeFile(profile.path("cancel.script"), "escape\n");
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), send + " < " + profile.path("ok.script"));
    ASSERT_EQ(r.exit, 0) << r.out;
    EXPECT_NE(r.out.find("queued the fax, the last job as job 1"), std::string::npos) << r.out;
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), "queue list --tsv");
    EXPECT_NE(r.out.find("Zed Zimmer"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("555 1234"), std::string::npos) << r.out;
    // The last number is remembered for the next dialog; Cancel (the wait button) queues nothing.
    EXPECT_NE(qortest::readFile(profile.path("qorfax.ini")).find("LastNumber1=Zed Zimmer;555 1234"), std::string::npos);
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), send + " < " + profile.path("cancel.script"));
    EXPECT_EQ(r.exit, 1) << r.out;
    EXPECT_NE(r.out.find("cancelled, nothing was queued"), std::string::npos) << r.out;
    // The calling card for one send only: its own setting stays.
    ASSERT_EQ(qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), "ccard set --first '*7' --second 42").exit, 0);
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), "send --to 777 --card " + profile.path("a.txt"));
    ASSERT_EQ(r.exit, 0) << r.out;
    const std::string dat = qortest::readFile(profile.path("data/sf.dat"));
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(dat.substr(0, 4), std::string(4, '\0'));
    r = qortest::runQorfaxMerged(QORFAX_BINARY, profile.root(), "queue list --tsv");
    EXPECT_NE(r.out.find("777"), std::string::npos) << r.out;
}

}  // namespace
