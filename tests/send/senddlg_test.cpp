// The send dialog driven as a person drives it, through the host's entry points: recipients
// typed, taken from the phone book, from the chooser and from the last-numbers buttons; the dial
// options, the calling card, the defaults written back; the schedule fields and their spins; the
// documents panel; and the jobs that land in the queue.
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/phonebook.h"
#include "phonebook/recipients.h"
#include "qorul_control.h"
#include "qorwinuser.h"
#include "send/dialogs/senddlg.h"
#include "senddlgtest.h"

namespace {

using V = std::vector<std::string>;
using namespace qorsf;

template <typename T>
T v(T x) {
    return x;
}

class SendDialog : public qortest::SendDialogTest {
protected:
    void SetUp() override {
        SendDialogTest::SetUp();
        SF_setdateconventions(2, "-", ":");
    }
    std::string document(const std::string& name, const std::string& body = "Hello\n") {
        const std::string path = profile.path(name);
        qortest::writeFile(path, body);
        EXPECT_EQ(FN_adddocument(kHost, path.c_str(), 1, 0), 0);
        return path;
    }
    // The dial line, the recipient and the note of each queued job.
    V jobs() {
        V out;
        for (const QUEUE_RECORD& r : queue()) {
            const std::string control = controlFile(r);
            out.push_back(control.substr(0, control.find("\r\n")) + " / " + r.recipient);
        }
        return out;
    }
    V lastNumbers() {
        V out;
        for (int16_t id = 161; id <= 165; ++id) {
            char number[31] = {}, name[31] = {};
            qorsf::SF_getalastnumber(kHost, nullptr, id, number, name);
            out.push_back(std::string(name) + ";" + number);
        }
        return out;
    }
    V shown() {
        V out;
        for (const auto& s : profile.ui().shown()) out.push_back(s.text);
        return out;
    }
    // The texts of the date fields (in field order) and the time fields.
    static std::string fields(HWND d) {
        return qorwin::text(d, SD_DATE1) + "-" + qorwin::text(d, SD_DATE2) + "-" + qorwin::text(d, SD_DATE3) + " " +
               qorwin::text(d, SD_HOUR) + ":" + qorwin::text(d, SD_MINUTE) + ":" + qorwin::text(d, SD_SECOND);
    }
};

TEST_F(SendDialog, ATypedNumberAndNameQueueOneJobWithTheDialOptions) {
    document("letter.txt");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2020);
        EXPECT_EQ(qorwin::focusId(d), PF_NAME);
        EXPECT_TRUE(qorwin::checked(d, SD_ASAP));
        EXPECT_FALSE(qorwin::enabled(d, SD_DATE1));
        EXPECT_EQ(qorwin::text(d, SD_CANCEL), "&Wait");  // a document is listed
        EXPECT_FALSE(qorwin::visible(d, SD_COUNT));
        EXPECT_EQ(qorwin::text(d, SD_LAST1), "0");
        EXPECT_EQ(qorwin::text(d, SD_LAST5), "4");
        EXPECT_EQ(fields(d), "26-03-14 09:26:53");
    });
    user.type(PF_NAME, "Zed Zimmer").type(PF_NUMBER, "555 1234").type(SD_PREFIX, "9").type(SD_SUFFIX, "#");
    user.type(SD_NOTE, "urgent").click(SD_NOSUFFIX).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs(), (V{"DIAL 9|555 1234| / Zed Zimmer"}));
    const auto q = queue();
    EXPECT_STREQ(q[0].number, "555 1234");
    EXPECT_EQ(lastNumbers()[0], "Zed Zimmer;555 1234");
    EXPECT_EQ(UT_listcount(&recipientList()), 0u);  // the recipients go with the send
    EXPECT_STREQ(frame().area[9], "Zed Zimmer");    // the first recipient's name
    EXPECT_EQ(L1_lockdepth(), 0);
}

TEST_F(SendDialog, CancelQueuesNothingAndWaitModeTellsTheFlowApart) {
    // No document and no cover: Cancel is a plain cancel.
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, SD_CANCEL), "Cancel"); });
    user.type(PF_NUMBER, "555").click(SD_CANCEL);
    SendOptions o = options();
    int16_t count = -1, docs = -1;
    EXPECT_EQ(qorsf::SF_getphoneopen(kHost, &o, 0, &count, &docs), SF_CANCELLED);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(docs, 0);
    // With a document listed Cancel is the wait button: the dialog ends with 2, which leaves no
    // recipient, and the flow ends cancelled with nothing queued.
    document("a.txt");
    user.type(PF_NUMBER, "555").click(SD_CANCEL);
    EXPECT_EQ(qorsf::SF_getphoneopen(kHost, &o, 2, &count, &docs), 0);
    EXPECT_EQ(count, 0);
    user.type(PF_NUMBER, "555").escape();
    EXPECT_EQ(qorsf::SF_wndsend(kHost, 0), SF_CANCELLED);
    EXPECT_TRUE(queue().empty());
    EXPECT_EQ(lastNumbers()[0], ";");
}

TEST_F(SendDialog, OkRefusesWhatCannotBeSentAndStays) {
    // Nothing listed: message 2223. An invalid number: the form's message. No recipient: 2031.
    user.type(PF_NUMBER, "555").click(SD_OK).then([](HWND d) { EXPECT_TRUE(IsWindow(d)); });
    user.then([&](HWND) { document("late.txt"); }).wait(1);  // the timer lists a new document
    user.then([](HWND d) { EXPECT_EQ(qorwin::items(d, SD_DOCLIST).size(), 1u); });
    user.type(PF_NUMBER, "abc").click(SD_OK);
    user.erase(PF_NUMBER).click(SD_OK);
    user.type(PF_NUMBER, "12 34").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    ASSERT_EQ(shown().size(), 3u);
    EXPECT_EQ(shown()[0], "There are no documents to send.");
    EXPECT_NE(shown()[1].find("number is not valid"), std::string::npos);
    EXPECT_EQ(shown()[2], "Please type a fax number, or choose recipients from the phone book.");
    EXPECT_EQ(jobs(), (V{"DIAL 12 34 / "}));
}

TEST_F(SendDialog, RecipientsFromThePhoneBookEachGetAJobAndTheLastFiveAreRemembered) {
    person("Ada", "100", "Engines Ltd", "101");
    person("Bob", "200");
    person("Cy", "300");
    person("Di", "400");
    person("Ed", "500");
    person("Flo", "600");
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "Bob", "Team"), 0);
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "Cy", "Team"), 0);
    ::SF_epilog(kHost);
    document("report.txt");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada", "Bob", "Cy", "Di", "Ed", "Flo"}));
        EXPECT_EQ(qorwin::focusId(d), PF_NAME);
    });
    // Choosing a name shows its entry; choosing it again keeps what was typed meanwhile.
    user.select(PF_NAME, "Ada").then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "100");
        EXPECT_EQ(qorwin::text(d, PF_COMPANY), "Engines Ltd");
    });
    user.type(PF_TEXT1, "Dock 4").select(PF_NAME, "Ada").then([](HWND d) { EXPECT_EQ(qorwin::text(d, PF_TEXT1), "Dock 4"); });
    // The chooser: every name but Ada, then Di taken out again.
    user.click(SD_FROMBOOK).select(302, "Bob").toggle(302, 3).toggle(302, 4).toggle(302, 5).click(246);
    user.select(303, "Team").click(246);  // Bob and Cy again: each once
    user.select(304, "Di").click(245).click(IDOK);
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_COUNT), "4 recipients chosen");
        EXPECT_TRUE(qorwin::visible(d, SD_COUNT));
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Bob");  // the first recipient is shown
    });
    // Ada typed into the form is a fifth recipient; the note goes with every job.
    user.select(PF_NAME, "Ada").type(SD_NOTE, "Q3").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs(), (V{"DIAL 200 / Bob", "DIAL 500 / Ed", "DIAL 600 / Flo", "DIAL 300 / Cy", "DIAL 100 / Ada"}));
    for (const QUEUE_RECORD& r : queue()) {
        EXPECT_NE(controlFile(r).find("DELETE  0\r\n"), std::string::npos);  // shared copies
    }
    EXPECT_EQ(lastNumbers(), (V{"Ada;100", "Cy;300", "Flo;600", "Ed;500", "Bob;200"}));
}

TEST_F(SendDialog, ARecipientShownInTheFormIsNotSentTwice) {
    person("Bob", "200");
    ::SF_epilog(kHost);
    document("x.txt");
    // Bob from the chooser is shown in the form afterwards: OK with his number in the field adds
    // nothing new.
    user.click(SD_FROMBOOK).select(302, "Bob").click(246).click(IDOK);
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, PF_NUMBER), "200"); }).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs(), (V{"DIAL 200 / Bob"}));
    EXPECT_EQ(lastNumbers(), (V{"Bob;200", ";", ";", ";", ";"}));
}

TEST_F(SendDialog, SixRecipientsLeaveTheLastFiveOnTheButtons) {
    for (const char* n : {"A1", "B2", "C3", "D4", "E5", "F6"}) person(n, std::string("7") + n[1]);
    ::SF_epilog(kHost);
    document("x.txt");
    user.click(SD_FROMBOOK);
    for (int i = 0; i < 6; ++i) user.select(302, i).click(246);
    user.click(IDOK).then([](HWND d) { EXPECT_EQ(qorwin::text(d, SD_COUNT), "6 recipients chosen"); });
    user.then([](HWND d) { SetDlgItemTextA(d, PF_NUMBER, ""); }).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(queue().size(), 6u);
    EXPECT_EQ(lastNumbers(), (V{"F6;76", "E5;75", "D4;74", "C3;73", "B2;72"}));
    // The send emptied the document list (the after-send service is on by default).
    EXPECT_TRUE(qorsf::frame().word2203);
    document("y.txt");
    // The buttons show the names of the next dialog; one of them fills the form.
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_LAST1), "F6");
        EXPECT_EQ(qorwin::text(d, SD_LAST5), "B2");
    });
    user.click(SD_LAST5 - 1).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "C3");
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "73");
    });
    user.click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs().back(), "DIAL 73 / C3");
    EXPECT_EQ(lastNumbers()[0], "C3;73");
}

TEST_F(SendDialog, ALastNumberNotInThePhoneBookIsTypedIntoTheForm) {
    ASSERT_EQ(qorsf::SF_storelastnumber(kHost, "", "0301 555"), 0);
    document("x.txt");
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, SD_LAST1), "0301 555"); });
    user.click(SD_LAST1).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "0301 555");
        EXPECT_EQ(qorwin::text(d, PF_NAME), "");
    });
    user.click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs(), (V{"DIAL 0301 555 / "}));
}

TEST_F(SendDialog, CallingCardPrefixAndDefaultsAreWrittenBack) {
    SF_PARAMS* p = params();
    UL_strcopy(p->ccard.first, "*77");
    UL_strcopy(p->ccard.second, "4711");
    p->ccard.firstbefore = 1;
    p->ccard.secondbefore = 0;
    put("GENERAL", "DialPrefix", "0");
    frame().firstRun = 0;
    frame().word2200 = 0;
    frame().word2201 = 0;
    document("x.txt");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_PREFIX), "0");
        EXPECT_FALSE(qorwin::checked(d, SD_CARD));
        EXPECT_FALSE(qorwin::checked(d, SD_FINE));
    });
    user.type(PF_NUMBER, "123").click(SD_CARD).click(SD_FINE).click(SD_DELETE).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    // One recipient: the delete-after-send choice stands.
    const std::string control = controlFile(queue().at(0));
    EXPECT_EQ(control.substr(0, control.find("\r\n", control.find("FINE"))),
              "DIAL 0*77|123|4711\r\nDELETE  1\r\nFINE  1");
    EXPECT_EQ(v(p->ccardinuse), 1u);
    EXPECT_EQ(frame().word2200, 1);
    EXPECT_EQ(frame().word2201, 1);
    // The next dialog starts from them; the card and the prefix are switched off.
    document("y.txt");
    user.then([](HWND d) {
        EXPECT_TRUE(qorwin::checked(d, SD_CARD));
        EXPECT_TRUE(qorwin::checked(d, SD_FINE));
        EXPECT_TRUE(qorwin::checked(d, SD_DELETE));
    });
    user.type(PF_NUMBER, "123").click(SD_CARD).click(SD_NOPREFIX).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(jobs().back(), "DIAL 123 / ");
    EXPECT_EQ(v(p->ccardinuse), 0u);
}

TEST_F(SendDialog, ACardWithoutItsSecondTextOpensTheCardSetupOnOk) {
    frame().firstRun = 0;
    std::memset(&params()->ccard, 0, sizeof params()->ccard);
    document("x.txt");
    user.type(PF_NUMBER, "123").click(SD_CARD);
    // Checking the card with nothing set up opens the setup: cancelled, the box goes off.
    user.then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2076); }).escape();
    user.then([](HWND d) { EXPECT_FALSE(qorwin::checked(d, SD_CARD)); });
    // On OK with the card checked the message comes first, then the setup.
    user.then([](HWND d) { CheckDlgButton(d, SD_CARD, BST_CHECKED); }).click(SD_OK);
    user.then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2076); });
    user.type(104, "9999").click(IDOK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0], "Please enter the second calling card text: it cannot be empty.");
    EXPECT_EQ(jobs(), (V{"DIAL |123|9999 / "}));
}

TEST_F(SendDialog, ScheduledSendTimeComesFromTheFields) {
    document("x.txt");
    // Year/month/day: 105 is the year, 107 the day.
    user.click(SD_ASAP).then([](HWND d) {
        EXPECT_TRUE(qorwin::enabled(d, SD_DATE1));
        EXPECT_EQ(SF_datefieldid(0), SD_DATE3);
    });
    // Two-digit years: 25 is after the current year 2026 (2125), 26 is this year.
    user.type(SD_DATE1, "25").focus(SD_DATE2).then([](HWND) { EXPECT_EQ(senddialog().schedule.now.year, 2125); });
    user.type(SD_DATE1, "27").focus(SD_DATE2);
    // January 31st, then February: 2027 has 28 days.
    user.type(SD_DATE2, "1").type(SD_DATE3, "31").focus(SD_DATE2).type(SD_DATE2, "2").focus(SD_HOUR);
    user.then([](HWND d) { EXPECT_EQ(fields(d).substr(0, 8), "27-02-28"); });
    // Clamped: month 0 is 1, minute 75 is 59.
    user.type(SD_DATE2, "0").focus(SD_MINUTE).type(SD_MINUTE, "75").focus(SD_HOUR);
    user.then([](HWND d) { EXPECT_EQ(fields(d), "27-01-28 09:59:53"); });
    // The time spin steps the field with the focus.
    user.spin(SD_TIMESPIN, 2).then([](HWND d) { EXPECT_EQ(qorwin::text(d, SD_HOUR), "11"); });
    user.type(PF_NUMBER, "1").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    const SF_DATETIME t = queue().at(0).sendtime;
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
              (std::vector<int>{2027, 1, 28, 11, 59, 53}));
}

TEST_F(SendDialog, LeapYearsAndTheYearSpin) {
    qorul::setClock(qorul::clockNow() - 2 * 365 * 86400L);  // 2024-03-14
    document("x.txt");
    user.click(SD_ASAP);
    // The date spin, before any date field had the focus, steps the day.
    user.spin(SD_DATESPIN, 1).then([](HWND d) { EXPECT_EQ(qorwin::text(d, SD_DATE3), "15"); });
    user.type(SD_DATE3, "31").focus(SD_DATE2).type(SD_DATE2, "1").focus(SD_DATE1);  // 2024-01-31
    // The month spin into February of the leap year 2024: the day becomes 29.
    user.focus(SD_DATE2).spin(SD_DATESPIN, 1).then([](HWND d) { EXPECT_EQ(fields(d).substr(0, 8), "24-02-29"); });
    // The year spin: 0 is this year, 100 the same two digits a century later (2124: a leap year,
    // 2100 is not).
    user.focus(SD_DATE1).spin(SD_DATESPIN, 76).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_DATE1), "00");
        EXPECT_EQ(senddialog().schedule.now.year, 2100);
        EXPECT_EQ(qorwin::text(d, SD_DATE3), "28");
    });
    user.spin(SD_DATESPIN, 30).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, SD_DATE1), "24");
        EXPECT_EQ(senddialog().schedule.now.year, 2124);
    });
    user.spin(SD_DATESPIN, 5).then([](HWND) { EXPECT_EQ(senddialog().schedule.now.year, 2124); });  // the top
    user.type(PF_NUMBER, "1").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    const SF_DATETIME t = queue().at(0).sendtime;
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day}), (std::vector<int>{2124, 2, 28}));
    EXPECT_EQ(SF_daysinmonth(2000, 2), 29);
    EXPECT_EQ(SF_daysinmonth(1900, 2), 28);
}

TEST_F(SendDialog, AsSoonAsPossibleFollowsTheClock) {
    SF_setdateconventions(1, ".", ":");  // day.month.year
    document("x.txt");
    user.then([](HWND d) {
        EXPECT_EQ(fields(d), "14-03-26 09:26:53");
        EXPECT_EQ(qorwin::text(d, SD_SEPDATE1), ".");
    });
    user.wait(10).then([](HWND d) { EXPECT_EQ(fields(d), "14-03-26 09:27:03"); });
    // Edited by hand, the fields stand still; checked again, they follow the clock again.
    user.click(SD_ASAP).type(SD_HOUR, "18").focus(SD_MINUTE).wait(5).then([](HWND d) {
        EXPECT_EQ(fields(d), "14-03-26 18:27:03");
    });
    user.click(SD_ASAP).wait(2).then([](HWND d) {
        EXPECT_EQ(fields(d), "14-03-26 09:27:10");
        EXPECT_FALSE(qorwin::enabled(d, SD_HOUR));
        EXPECT_FALSE(qorwin::enabled(d, SD_TIMESPIN));
    });
    user.type(PF_NUMBER, "1").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    const SF_DATETIME t = queue().at(0).sendtime;
    EXPECT_EQ(t.hour * 3600 + t.minute * 60 + t.second, 9 * 3600 + 27 * 60 + 10);
}

TEST_F(SendDialog, TheDocumentsPanelListsWhatCanBeSent) {
    const std::string good1 = document("first.txt");
    const std::string gone = document("gone.txt");
    const std::string good2 = document("second.txt");
    std::remove(gone.c_str());
    user.then([&](HWND d) {
        const V rows = qorwin::items(d, SD_DOCLIST);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0], std::string("first.txt") + std::string(71, ' ') + good1);
        EXPECT_EQ(rows[1].substr(0, 10), "second.txt");
        EXPECT_EQ(rows[1][79], ' ');
        EXPECT_EQ(qorwin::selection(d, SD_DOCLIST), 0);
        EXPECT_EQ(qorwin::text(d, SD_VIEWER), good1);
    });
    user.select(SD_DOCLIST, 1).then([&](HWND d) { EXPECT_EQ(qorwin::text(d, SD_VIEWER), good2); });
    // Save the listed files: the chooser is cancelled, nothing happens.
    user.then([&](HWND) { profile.ui().answerCancel(); }).click(SD_SAVEDOCS);
    user.escape();
    EXPECT_EQ(qorsf::SF_wndsend(kHost, 0), SF_CANCELLED);
    EXPECT_EQ(profile.ui().beeps(), 0);
}

TEST_F(SendDialog, WithNoDocumentsNothingIsListedOrShown) {
    user.then([](HWND d) {
        EXPECT_TRUE(qorwin::items(d, SD_DOCLIST).empty());
        EXPECT_EQ(qorwin::text(d, SD_VIEWER), "");
        EXPECT_EQ(qorwin::text(d, SD_CANCEL), "Cancel");
    });
    // The attach command puts a chosen document on the list and lists it at once.
    qortest::writeFile(profile.path("added.txt"), "later\n");
    user.then([&](HWND) { profile.ui().answerString(profile.path("added.txt")); });
    user.click(SD_ATTACH).then([](HWND d) {
        EXPECT_EQ(qorwin::items(d, SD_DOCLIST).size(), 1u);
        EXPECT_EQ(qorwin::text(d, SD_CANCEL), "&Wait");
    });
    user.type(PF_NUMBER, "5").click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_EQ(queue().size(), 1u);
}

TEST_F(SendDialog, ACoverChosenBeforeIsMadeAgainAndEachRecipientGetsItsOwn) {
    frame().sendState = 1;  // a cover page was chosen for the last send
    person("Ada", "100", "Engines Ltd");
    person("Bob", "200");
    person("Cy", "300");
    ::SF_epilog(kHost);
    const std::string doc = document("body.txt");
    std::string preview;
    user.then([&](HWND d) {
        const V rows = qorwin::items(d, SD_DOCLIST);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].substr(0, 10), "Cover page");
        EXPECT_EQ(rows[0][79], 'C');
        preview = rows[0].substr(80);
        EXPECT_TRUE(qortest::fileExists(preview));
        EXPECT_EQ(qorwin::selection(d, SD_DOCLIST), 1);  // the first document is shown
        EXPECT_EQ(qorwin::text(d, SD_CANCEL), "&Wait");
    });
    user.click(SD_FROMBOOK).select(302, 0).toggle(302, 1).toggle(302, 2).click(246).click(IDOK);
    user.then([](HWND d) { SetDlgItemTextA(d, PF_NUMBER, ""); }).click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    EXPECT_FALSE(qortest::fileExists(preview));  // the dialog's own cover page went with it
    const auto q = queue();
    ASSERT_EQ(q.size(), 3u);
    std::string base;
    for (std::size_t i = 0; i < q.size(); ++i) {
        const std::string control = controlFile(q[i]);
        // The fourth line, the first document, is the recipient's own cover page (a text cover:
        // no template is chosen).
        const std::size_t at = control.find("FINE  1\r\nTEXT ");
        ASSERT_NE(at, std::string::npos) << control;
        const std::string cover = control.substr(at + 14, control.find("\r\n", at + 14) - at - 14);
        EXPECT_NE(control.find(cover + "\r\nFAX "), std::string::npos) << control;
        if (i == 0) base = cover.substr(0, cover.size() - 4);
        EXPECT_EQ(cover, base + ".00" + std::to_string(i + 1));
        EXPECT_TRUE(qortest::fileExists(cover));
    }
    // Each cover is held once; the document's copy three times.
    int covers = 0, copies = 0;
    for (const DEL_RECORD& r : delList()) {
        if (!r.inuse) continue;
        if (std::string(r.path).rfind(base, 0) == 0) {
            EXPECT_EQ(v(r.count), 1);
            ++covers;
        } else {
            EXPECT_EQ(v(r.count), 3);
            ++copies;
        }
    }
    EXPECT_EQ(covers, 3);
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(frame().sendState, 1);
}

TEST_F(SendDialog, ACoverMadeAgainReplacesTheOldRowAndItsFile) {
    frame().sendState = 1;
    document("body.txt");
    std::string first;
    user.type(PF_NAME, "Ada").type(PF_NUMBER, "100").then([&](HWND d) {
        first = qorwin::items(d, SD_DOCLIST).at(0).substr(80);
        // The cover command's work with the cover data already chosen: made again for the
        // recipient now in the fields.
        ASSERT_EQ(SF_apaskcover(kHost, d, true), 0);
        const V rows = qorwin::items(d, SD_DOCLIST);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0][79], 'C');
        EXPECT_NE(rows[0].substr(80), first);
        EXPECT_FALSE(qortest::fileExists(first));
        EXPECT_TRUE(qortest::fileExists(rows[0].substr(80)));
        EXPECT_EQ(qorwin::selection(d, SD_DOCLIST), 0);
        EXPECT_EQ(qorwin::text(d, SD_VIEWER), rows[0].substr(80));
        // The text cover names its recipient.
        EXPECT_NE(qortest::readFile(rows[0].substr(80)).find("Ada"), std::string::npos);
        EXPECT_STREQ(senddialog().options->coverInfo.recipient1, "Ada");
        EXPECT_STREQ(senddialog().options->coverInfo.recipient4, "100");
    });
    user.escape();
    EXPECT_EQ(qorsf::SF_wndsend(kHost, 0), SF_CANCELLED);
    EXPECT_TRUE(queue().empty());
}

#if __has_include("cover/askcover.h")
// The cover command with the cover page dialog: accepted, the cover row appears; made again,
// it replaces the old one; cancelled, nothing changes.
TEST_F(SendDialog, TheCoverCommandRunsTheCoverPageDialog) {
    document("body.txt");
    std::string first;
    user.type(PF_NAME, "Ada").type(PF_NUMBER, "100").click(SD_COVER);
    user.then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2027); }).click(6);
    user.then([&](HWND d) {
        const V rows = qorwin::items(d, SD_DOCLIST);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0][79], 'C');
        first = rows[0].substr(80);
        EXPECT_EQ(frame().sendState, 1);
    });
    user.click(SD_COVER).click(6).then([&](HWND d) {
        const V rows = qorwin::items(d, SD_DOCLIST);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_NE(rows[0].substr(80), first);
        EXPECT_FALSE(qortest::fileExists(first));
        first = rows[0].substr(80);
    });
    user.click(SD_COVER).escape().then([&](HWND d) { EXPECT_EQ(qorwin::items(d, SD_DOCLIST).at(0).substr(80), first); });
    user.click(SD_OK);
    ASSERT_EQ(qorsf::SF_wndsend(kHost, 0), 0);
    const auto q = queue();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_NE(controlFile(q[0]).find(".001\r\n"), std::string::npos);  // the recipient's own cover
}
#endif

}  // namespace

namespace {

using qortest::SendDialogTest;

// The host's other two ways in: a document handed over with the send, and the folder send.
TEST_F(SendDialogTest, ADocumentHandedToTheSendIsListedAndSent) {
    const std::string page = profile.path("handed.txt");
    qortest::writeFile(page, "Handed over\n");
    user.then([](HWND d) {
        const auto rows = qorwin::items(d, qorsf::SD_DOCLIST);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].substr(0, 10), "handed.txt");
    });
    user.type(qorsf::PF_NUMBER, "42").click(qorsf::SD_OK);
    ASSERT_EQ(::SF_wnddsend(kHost, page.c_str(), 1), 0);
    ASSERT_EQ(queue().size(), 1u);
    // The folder send opens the same dialog over what the list holds: Cancel queues nothing.
    ASSERT_EQ(FN_adddocument(kHost, page.c_str(), 1, 0), 0);
    user.escape();
    EXPECT_EQ(::SF_sendfolder(kHost, 0), SF_CANCELLED);
    EXPECT_EQ(queue().size(), 1u);
    EXPECT_EQ(::SF_wnddsend(kHost, profile.path("missing.txt").c_str(), 1) != 0, true);
    ::SF_close(kHost);
    qorsf::frame_reset();
    EXPECT_EQ(::SF_wndsend(kHost, 0), SF_WRONGSTATE);  // not open: no dialog
}

}  // namespace

namespace {

// Both templates carry every control the dialog works with, and the dialog runs on either.
TEST_F(SendDialogTest, BothTemplatesCarryEveryControl) {
    SendOptions o = options();
    for (int number : {qorsf::kSendTemplate, qorsf::kSendTemplateAlt}) {
        qorsf::senddialog().host = kHost;
        qorsf::senddialog().options = &o;
        user.then([number](HWND d) {
            EXPECT_EQ(qorwin::templateNumber(d), number);
            for (int id : {1, 2, 4, 90, 91, 92, 93, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115,
                           116, 118, 120, 128, 129, 130, 145, 146, 147, 148, 151, 152, 153, 154, 161, 162, 163, 164,
                           165, 171, 172, 173, 174, 175, 176, 177, 190, 193, 194, 259})
                EXPECT_NE(GetDlgItem(d, id), nullptr) << "template " << number << " has no control " << id;
            EXPECT_EQ(qorwin::className(GetDlgItem(d, 111)), "QorSpin");
            EXPECT_EQ(qorwin::className(GetDlgItem(d, 146)), "QorViewer");
            EXPECT_EQ(qorwin::limit(d, 176), 30u);
            EXPECT_EQ(qorwin::limit(d, 116), 70u);
        });
        user.escape();
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(number), nullptr, ::WN_fsgetphone, 0), 1);
    }
}

}  // namespace
