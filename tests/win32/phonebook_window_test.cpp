// The phone book window and its entry form driven as a user drives them: browsing, adding,
// changing and deleting names, the question about unsaved changes, groups and their members,
// import and export through the file chooser, printing, dialling and switching phone books.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorwin32.h"
#include "window_fixture.h"

namespace {

using namespace qorsf;

class PhoneWindow : public ::testing::Test {
protected:
    void SetUp() override {
        frame_reset();
        phonewindow_reset();
        qortest::failOnUiFailure(profile.ui());
        ASSERT_EQ(::SF_open(kHost), 0);
        pbdialogs() = PbDialogState{};
    }
    void TearDown() override {
        ::SF_close(kHost);
        frame_reset();
        qorwin::resetWindows();
        phonewindow_reset();
    }

    void add(const std::string& name, const std::string& fax, const std::string& voice = "",
             const std::string& company = "") {
        PB_ENTRY e{};
        UL_strcopy(e.name, name.c_str());
        UL_strcopy(e.number, fax.c_str());
        UL_strcopy(e.voice, voice.c_str());
        UL_strcopy(e.company, company.c_str());
        PB_RECORD r{};
        UL_strcopy(r.name, e.name);
        qorsf::SF_entrytoinfo(kHost, &e, r.info);
        ASSERT_EQ(qorsf::SF_addphone(kHost, e.name, &r), 0);
    }
    void join(const std::string& name, const std::string& group) {
        ASSERT_EQ(qorsf::SF_addnametogroup(kHost, name.c_str(), group.c_str()), 0);
    }
    // The stored details of a name (name empty when it has no record).
    PB_ENTRY stored(const std::string& name) {
        char info[661] = {};
        PB_ENTRY e{};
        const int16_t st = qorsf::SF_nametophone(kHost, name.c_str(), info);
        qorsf::SF_epilog(kHost);
        if (st == 0) {
            if (info[0]) qorsf::SF_infotoentry(kHost, info, &e);
            UL_strcopy(e.name, name.c_str());
        }
        return e;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        char n[31];
        uint16_t found = 0;
        for (int16_t st = qorsf::SF_getfirstname(kHost, n, &found); st == 0 && found;
             st = qorsf::SF_getnextname(kHost, n, &found))
            out.push_back(n);
        qorsf::SF_epilog(kHost);
        return out;
    }
    std::vector<std::string> groupsOf(const std::string& name) {
        std::vector<std::string> out;
        char g[31];
        uint16_t found = 0;
        for (int16_t st = qorsf::SF_getfirstgroupofname(kHost, name.c_str(), g, &found); st == 0 && found;
             st = qorsf::SF_getnextgroupofname(kHost, name.c_str(), g, &found))
            if (!SF_isblank(g)) out.push_back(g);
        qorsf::SF_epilog(kHost);
        return out;
    }
    std::vector<std::string> members(const std::string& group) {
        std::vector<std::string> out;
        char n[31];
        uint16_t found = 0;
        for (int16_t st = qorsf::SF_getfirstmember(kHost, group.c_str(), n, &found); st == 0 && found;
             st = qorsf::SF_getnextmember(kHost, group.c_str(), n, &found))
            if (!SF_isblank(n)) out.push_back(n);
        qorsf::SF_epilog(kHost);
        return out;
    }
    void offerBookChoice() {
        char ini[80];
        ASSERT_EQ(UL_getpath(kHost, ini, 41), 0);
        ASSERT_TRUE(WritePrivateProfileStringA("OPTIONS", "Option1000", "1", ini));
    }
    std::vector<std::string> shownTexts() {
        std::vector<std::string> out;
        for (const auto& s : profile.ui().shown()) out.push_back(s.text);
        return out;
    }

    static constexpr uint32_t kHost = 0;
    qortest::TempProfile profile;
    qorwin::Script user{profile.ui()};
};

using V = std::vector<std::string>;

TEST_F(PhoneWindow, BrowsesTheNamesAndShowsEachWithItsGroups) {
    add("Ada Lovelace", "0201-555-0100", "0201-555-0101", "Analytical Engines");
    add("Charles Babbage", "0201-555-0200");
    join("Ada Lovelace", "Engineers");
    join("Ada Lovelace", "Friends");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2070);
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Charles Babbage"}));
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Ada Lovelace");
        EXPECT_EQ(qorwin::text(d, PF_COMPANY), "Analytical Engines");
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "0201-555-0100");
        EXPECT_EQ(qorwin::text(d, PF_VOICE), "0201-555-0101");
        EXPECT_EQ(qorwin::items(d, PF_GROUPS), (V{"Engineers", "Friends"}));
        EXPECT_EQ(qorwin::items(d, PW_ALLGROUPS), (V{"Engineers", "Friends"}));
        EXPECT_TRUE(qorwin::enabled(d, PW_DELETE));
        EXPECT_FALSE(qorwin::enabled(d, PW_ADD));
        EXPECT_FALSE(qorwin::enabled(d, PW_UPDATE));
        EXPECT_FALSE(qorwin::enabled(d, PW_DIAL));  // not in dial mode
        EXPECT_FALSE(qorwin::visible(d, PW_CHOOSEBOOK));  // the option is off
        EXPECT_EQ(qorwin::limit(d, PF_TEXT3), 80u);
        char title[256] = {};
        GetWindowTextA(d, title, sizeof title);
        EXPECT_EQ(std::string(title).rfind("Phone Book - ", 0), 0u);
        EXPECT_NE(std::string(title).find("personal.pbk"), std::string::npos);
    });
    user.select(PF_NAME, "Charles Babbage").then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "0201-555-0200");
        EXPECT_EQ(qorwin::text(d, PF_COMPANY), "");
        EXPECT_TRUE(qorwin::items(d, PF_GROUPS).empty());
        EXPECT_FALSE(qorwin::enabled(d, PF_GROUPS));
        EXPECT_FALSE(qorwin::enabled(d, PW_LEAVE));
        EXPECT_EQ(formstate().current, std::string("Charles Babbage"));
    });
    // Enter walks the fields in their cycle: from a chosen name to the company first.
    user.enter().then([](HWND d) { EXPECT_EQ(qorwin::focusId(d), PF_COMPANY); });
    user.focus(PF_NUMBER).enter().then([](HWND d) { EXPECT_EQ(qorwin::focusId(d), PF_VOICE); });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    EXPECT_TRUE(profile.ui().shown().empty());
}

TEST_F(PhoneWindow, AddsANameWithDetailsAndGroupsThenChangesIt) {
    add("Ada Lovelace", "0201-555-0100");
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "", "Engineers"), 0);
    user.click(PW_NEW).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "");
        EXPECT_FALSE(qorwin::enabled(d, PW_ADD));
    });
    user.type(PF_NAME, "Grace Hopper").then([](HWND d) {
        EXPECT_TRUE(qorwin::enabled(d, PW_ADD));
        EXPECT_FALSE(qorwin::enabled(d, PW_DELETE));
        EXPECT_TRUE(formstate().isNew);
    });
    user.type(PF_COMPANY, "Navy").type(PF_NUMBER, "+1 202 555 0199").type(PF_TEXT3, "COBOL");
    user.click(PW_ADD).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Grace Hopper"}));
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Grace Hopper");
        EXPECT_FALSE(qorwin::enabled(d, PW_ADD));
        EXPECT_TRUE(qorwin::enabled(d, PW_DELETE));
        EXPECT_FALSE(formstate().isNew);
        EXPECT_STREQ(SF_nametext(), "Grace Hopper");
        EXPECT_STREQ(SF_numbertext(), "+1 202 555 0199");
        PB_ENTRY e = stored("Grace Hopper");
        EXPECT_STREQ(e.company, "Navy");
        EXPECT_STREQ(e.text3, "COBOL");
    });
    // Into a group, then the change of a detail.
    user.select(PW_ALLGROUPS, "Engineers").click(PW_JOIN).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_GROUPS), (V{"Engineers"}));
        EXPECT_TRUE(qorwin::enabled(d, PW_LEAVE));
        EXPECT_FALSE(qorwin::enabled(d, PW_JOIN));
        EXPECT_EQ(groupsOf("Grace Hopper"), (V{"Engineers"}));
    });
    user.type(PF_VOICE, "+1 202 555 0100").then([](HWND d) {
        EXPECT_TRUE(qorwin::enabled(d, PW_UPDATE));
        EXPECT_TRUE(formstate().modified);
    });
    user.click(PW_UPDATE).then([&](HWND d) {
        EXPECT_FALSE(qorwin::enabled(d, PW_UPDATE));
        EXPECT_FALSE(formstate().modified);
        EXPECT_STREQ(stored("Grace Hopper").voice, "+1 202 555 0100");
        EXPECT_STREQ(stored("Grace Hopper").company, "Navy");
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    EXPECT_TRUE(profile.ui().shown().empty()) << shownTexts()[0];
    // The saved name and number texts of the send dialog are back as they were.
    EXPECT_STREQ(SF_nametext(), "");
}

TEST_F(PhoneWindow, ChecksNumbersAndTheNameBeforeSaving) {
    add("Ada Lovelace", "0201-555-0100");
    // A one-letter fax number is let through on add, refused on update.
    user.click(PW_NEW).type(PF_NAME, "Q").type(PF_NUMBER, "X").click(PW_ADD);
    user.then([&](HWND) { EXPECT_EQ(stored("Q").name, std::string("Q")); });
    user.type(PF_NUMBER, "Y").click(PW_UPDATE).then([&](HWND d) {
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].caption, "Phone Book");
        EXPECT_EQ(profile.ui().shown()[0].text.rfind("The number is not valid", 0), 0u);
        EXPECT_EQ(qorwin::focusId(d), PF_NUMBER);
        EXPECT_STREQ(stored("Q").number, "X");
    });
    // A voice number of letters only, and a name of blanks.
    user.click(PW_NEW).answer(IDNO).type(PF_NAME, "Bob").type(PF_VOICE, "abc").click(PW_ADD);
    user.then([&](HWND d) {
        EXPECT_EQ(profile.ui().shown().size(), 3u);  // the question on New, then the message
        EXPECT_EQ(qorwin::focusId(d), PF_VOICE);
        EXPECT_EQ(names(), (V{"Ada Lovelace", "Q"}));
    });
    user.type(PF_VOICE, "123").then([&](HWND) { EXPECT_EQ(profile.ui().shown().size(), 3u) << shownTexts().back(); });
    // A name of blanks is no name: nothing to add.
    user.type(PF_NAME, "   ").then([](HWND d) { EXPECT_FALSE(qorwin::enabled(d, PW_ADD)); });
    user.escape();
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), SF_CANCELLED);
    EXPECT_EQ(names(), (V{"Ada Lovelace", "Q"}));
}

TEST_F(PhoneWindow, LeavingAChangedEntryAsksYesNoOrCancel) {
    add("Ada Lovelace", "0201-555-0100");
    add("Charles Babbage", "0201-555-0200");
    // Cancel: the window stays on the changed entry.
    user.type(PF_COMPANY, "Engines").select(PF_NAME, "Charles Babbage").answer(IDCANCEL);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Ada Lovelace");
        EXPECT_EQ(qorwin::text(d, PF_COMPANY), "Engines");
        EXPECT_TRUE(qorwin::enabled(d, PW_UPDATE));
        EXPECT_STREQ(stored("Ada Lovelace").company, "");
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "The details of this name were changed. Save the changes?");
    });
    // No: the change is dropped and the other name shown.
    user.select(PF_NAME, "Charles Babbage").answer(IDNO);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Charles Babbage");
        EXPECT_STREQ(stored("Ada Lovelace").company, "");
    });
    // Yes: stored before the other name is shown.
    user.type(PF_COMPANY, "Difference Engine").select(PF_NAME, "Ada Lovelace").answer(IDYES);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Ada Lovelace");
        EXPECT_STREQ(stored("Charles Babbage").company, "Difference Engine");
    });
    // A new name typed and left for another: yes adds it.
    user.type(PF_NAME, "Grace Hopper").type(PF_NUMBER, "555 0199").select(PF_NAME, "Ada Lovelace").answer(IDYES);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Ada Lovelace");
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Charles Babbage", "Grace Hopper"}));
        EXPECT_STREQ(stored("Grace Hopper").number, "555 0199");
        EXPECT_EQ(profile.ui().shown().back().text, "This name is not in the phone book yet. Add it?");
    });
    // Closing with a change: cancel stays, no closes without saving.
    user.type(PF_TEXT1, "London").click(PW_CLOSE).answer(IDCANCEL);
    user.then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2070); });
    user.click(PW_CLOSE).answer(IDNO);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    EXPECT_STREQ(stored("Ada Lovelace").text1, "");
    EXPECT_EQ(profile.ui().shown().back().text,
              "The details of this name were changed. Save the changes before closing?");
    // Cancel never asks.
    user.type(PF_TEXT1, "Paris").escape();
    const std::size_t asked = profile.ui().shown().size();
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), SF_CANCELLED);
    EXPECT_EQ(profile.ui().shown().size(), asked);
}

TEST_F(PhoneWindow, DeletesANameWithItsMembershipsAndSelectsTheNext) {
    add("Ada Lovelace", "1");
    add("Bob", "22");
    add("Carol", "33");
    join("Bob", "Friends");
    join("Carol", "Friends");
    user.select(PF_NAME, "Bob").click(PW_DELETE).answer(IDNO);
    user.then([&](HWND d) { EXPECT_EQ(qorwin::items(d, PF_NAME).size(), 3u); });
    user.click(PW_DELETE).answer(IDYES).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Carol"}));
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Carol");  // the item at the same position
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "33");
        EXPECT_EQ(qorwin::focusId(d), PW_DELETE);
        EXPECT_EQ(names(), (V{"Ada Lovelace", "Carol"}));
        EXPECT_EQ(members("Friends"), (V{"Carol"}));
    });
    // The last name deleted: the new last is shown.
    user.click(PW_DELETE).answer(IDYES).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace"}));
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Ada Lovelace");
        EXPECT_TRUE(members("Friends").empty());
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
}

TEST_F(PhoneWindow, CreatesAGroupAndEditsItsMembers) {
    add("Ada Lovelace", "1");
    add("Bob", "22");
    user.click(PW_NEWGROUP).then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2071); });
    user.type(PB_GROUPNAME, "Team").enter().then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PW_ALLGROUPS), (V{"Team"}));
        EXPECT_EQ(qorwin::selection(d, PW_ALLGROUPS), 0);
        EXPECT_FALSE(qorwin::enabled(d, PW_MEMBERS));  // only its group record
        EXPECT_TRUE(qorwin::enabled(d, PW_JOIN));
    });
    user.click(PW_JOIN).select(PF_NAME, "Bob").select(PW_ALLGROUPS, "Team").click(PW_JOIN);
    user.then([&](HWND d) {
        EXPECT_EQ(members("Team"), (V{"Ada Lovelace", "Bob"}));
        EXPECT_TRUE(qorwin::enabled(d, PW_MEMBERS));
    });
    // The members dialog: two members, one removed, the form follows.
    user.click(PW_MEMBERS).then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2073);
        EXPECT_EQ(qorwin::text(d, PM_GROUP), "Team");
        EXPECT_EQ(qorwin::items(d, PM_MEMBERS), (V{"Ada Lovelace", "Bob"}));
        EXPECT_EQ(qorwin::text(d, PM_COUNT), "2");
        EXPECT_TRUE(qorwin::visible(d, PM_SOME));
        EXPECT_FALSE(qorwin::visible(d, PM_NONE));
    });
    user.select(PM_MEMBERS, "Bob").click(PM_REMOVE).then([](HWND d) {
        EXPECT_EQ(qorwin::items(d, PM_MEMBERS), (V{"Ada Lovelace"}));
        EXPECT_EQ(qorwin::text(d, PM_COUNT), "1");
    });
    user.click(PM_DETAILS).then([](HWND d) { EXPECT_EQ(qorwin::text(d, 171), "Ada Lovelace"); }).enter();
    user.click(IDOK).then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2070);
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Bob");
        EXPECT_TRUE(qorwin::items(d, PF_GROUPS).empty());  // shown again without the group
        EXPECT_EQ(members("Team"), (V{"Ada Lovelace"}));
    });
    // Leaving a group from the form, then deleting the group.
    user.select(PF_NAME, "Ada Lovelace").click(PW_LEAVE).then([&](HWND d) {
        EXPECT_TRUE(qorwin::items(d, PF_GROUPS).empty());
        EXPECT_FALSE(qorwin::enabled(d, PF_GROUPS));
        EXPECT_TRUE(members("Team").empty());
    });
    user.select(PW_ALLGROUPS, "Team").click(PW_DELETEGROUP).answer(IDYES).then([&](HWND d) {
        EXPECT_TRUE(qorwin::items(d, PW_ALLGROUPS).empty());
        EXPECT_FALSE(qorwin::enabled(d, PW_DELETEGROUP));
        EXPECT_FALSE(qorwin::enabled(d, PW_MEMBERS));
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    char g[31];
    uint16_t found = 1;
    qorsf::SF_getfirstgroup(kHost, g, &found);
    qorsf::SF_epilog(kHost);
    EXPECT_EQ(found, 0);
}

TEST_F(PhoneWindow, ExportsAndImportsThroughTheFileChooser) {
    add("Ada Lovelace", "0201-555-0100", "", "Engines, Ltd");
    join("Ada Lovelace", "Engineers");
    const std::string chosen = profile.path("out.d/book.txt");  // a '.' in the directory is no extension
    ASSERT_EQ(::system(("mkdir -p '" + profile.path("out.d") + "'").c_str()), 0);
    user.click(PW_EXPORT);
    profile.ui().answerString(chosen);
    user.then([&](HWND) {
        EXPECT_EQ(qortest::readFile(profile.path("out.d/book.LST")),
                  "\"Ada Lovelace\",\"0201-555-0100\",\"Engines, Ltd\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
        EXPECT_EQ(qortest::readFile(profile.path("out.d/book.GLS")), "\"Engineers\",\"Ada Lovelace\"\r\n");
    });
    // Import of a names file and its groups file into the window.
    qortest::writeFile(profile.path("new.LST"), "\"Bob\",\"22\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
                                                "\"Carol\",\"33\"\r\n");
    qortest::writeFile(profile.path("new.GLS"), "\"Team\",\"Bob\"\r\n");
    user.then([&](HWND) { profile.ui().answerString(profile.path("new.LST")); }).click(PW_IMPORT);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Bob", "Carol"}));
        EXPECT_EQ(qorwin::items(d, PW_ALLGROUPS), (V{"Engineers", "Team"}));
    });
    // A cancelled chooser changes nothing and shows nothing.
    user.then([&](HWND) { profile.ui().answerCancel(); }).click(PW_IMPORT);
    user.then([&](HWND) { profile.ui().answerCancel(); }).click(PW_EXPORT);
    user.then([&](HWND) { EXPECT_TRUE(profile.ui().shown().empty()); });
    // The same files again: the names are replaced, the repeated membership stops the groups
    // with its message, shown once.
    user.then([&](HWND) { profile.ui().answerString(profile.path("new.LST")); }).click(PW_IMPORT);
    user.then([&](HWND d) {
        EXPECT_EQ(shownTexts(), (V{"The group \"Team\" exists already, or the name is already in the group."}));
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace", "Bob", "Carol"}));
    });
    // An export that fails is shown and the chooser asked again; the same failing choice twice
    // ends the command.
    user.then([&](HWND) {
        profile.ui().answerString(profile.path("missing/book"));
        profile.ui().answerCancel();
    });
    user.click(PW_EXPORT).then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2070);
        EXPECT_EQ(profile.ui().shown().size(), 2u);
    });
    user.then([&](HWND) {
        profile.ui().answerString(profile.path("missing/book"));
        profile.ui().answerString(profile.path("missing/book"));
    });
    user.click(PW_EXPORT).then([&](HWND) {
        EXPECT_EQ(profile.ui().shown().size(), 4u);
        EXPECT_FALSE(qortest::fileExists(profile.path("missing/book.LST")));
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    EXPECT_EQ(members("Team"), (V{"Bob"}));
}

TEST_F(PhoneWindow, PrintsByNameOrByGroup) {
    add("Ada Lovelace", "0201-555-0100");
    // Without groups the listing by name is printed at once.
    user.click(PW_PRINT).then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2070); });
    user.then([&](HWND) {
        char where[256] = {};
        ASSERT_EQ(FN_lastprinted(where, sizeof where), 0);
        EXPECT_TRUE(qortest::fileExists(where)) << where;
        std::remove(where);
        join("Ada Lovelace", "Engineers");
    });
    // With groups the choice comes first; by group, then cancelled.
    user.click(PW_NEWGROUP).type(PB_GROUPNAME, "Other").enter();
    user.click(PW_PRINT).then([](HWND d) { EXPECT_EQ(qorwin::templateNumber(d), 2072); });
    user.click(PB_BYGROUP).click(IDOK).then([&](HWND) {
        char where[256] = {};
        ASSERT_EQ(FN_lastprinted(where, sizeof where), 0);
        EXPECT_TRUE(qortest::fileExists(where)) << where;
        std::remove(where);
    });
    user.click(PW_PRINT).escape().then([&](HWND) {
        char where[256] = {};
        FN_lastprinted(where, sizeof where);
        EXPECT_FALSE(qortest::fileExists(where));  // nothing printed after Cancel
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    EXPECT_TRUE(profile.ui().shown().empty());
}

TEST_F(PhoneWindow, DialModeGivesTheVoiceDialStringBack) {
    add("Ada Lovelace", "0201-555-0100", "0201-555-0101");
    add("Bob", "22");
    UL_strcopy(params()->dialprefix, "9");
    PB_ENTRY e{};
    user.then([](HWND d) { EXPECT_TRUE(qorwin::enabled(d, PW_DIAL)); });
    // Bob has no voice number: refused, the window stays.
    user.select(PF_NAME, "Bob").click(PW_DIAL).then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2070);
        EXPECT_EQ(qorwin::focusId(d), PF_VOICE);
        EXPECT_EQ(shownTexts(), (V{"The number is not valid: a number holds 1 to 30 characters, not all of them letters."}));
    });
    user.select(PF_NAME, "Ada Lovelace").click(PW_DIAL);
    EXPECT_EQ(::SF_phonemain(kHost, &e, 1), 0);
    EXPECT_STREQ(e.name, "Ada Lovelace");
    EXPECT_STREQ(e.voice, "9 0201-555-0101 ");
    EXPECT_STREQ(e.number, "0201-555-0100");
    // Cancelled: the caller's entry stays cleared (a given name is shown as a new one).
    UL_strcopy(e.name, "Somebody");
    user.then([](HWND d) { EXPECT_EQ(qorwin::text(d, PF_NAME), "Somebody"); });
    user.escape();
    EXPECT_EQ(::SF_phonemain(kHost, &e, 1), SF_CANCELLED);
    EXPECT_STREQ(e.name, "");
}

TEST_F(PhoneWindow, OpensOnTheCallersEntry) {
    add("Ada Lovelace", "0201-555-0100", "", "Engines");
    // A listed name: the stored record with the given fax number, ready to update.
    PB_ENTRY e{};
    UL_strcopy(e.name, "Ada Lovelace");
    UL_strcopy(e.number, "0201-555-0999");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_COMPANY), "Engines");
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "0201-555-0999");
        EXPECT_TRUE(qorwin::enabled(d, PW_UPDATE));
        EXPECT_FALSE(qorwin::enabled(d, PW_ADD));
        EXPECT_EQ(qorwin::focusId(d), PF_COMPANY);
    });
    user.click(PW_UPDATE).click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, &e, 0), 0);
    EXPECT_STREQ(stored("Ada Lovelace").number, "0201-555-0999");
    // A name not listed: the given data, ready to add; closing offers to add it.
    PB_ENTRY f{};
    UL_strcopy(f.name, "Grace Hopper");
    UL_strcopy(f.number, "555 0199");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Grace Hopper");
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "555 0199");
        EXPECT_TRUE(qorwin::enabled(d, PW_ADD));
        EXPECT_FALSE(qorwin::enabled(d, PW_UPDATE));
    });
    user.type(PF_COMPANY, "Navy").click(PW_CLOSE).answer(IDYES);
    EXPECT_EQ(::SF_phonemain(kHost, &f, 0), 0);
    EXPECT_STREQ(stored("Grace Hopper").company, "Navy");
    EXPECT_EQ(profile.ui().shown().back().text, "This name is not in the phone book yet. Add it before closing?");
    // Only a number given: an empty name to fill in first.
    PB_ENTRY g{};
    UL_strcopy(g.number, "0301-555-0199");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "");
        EXPECT_EQ(qorwin::text(d, PF_NUMBER), "0301-555-0199");
        EXPECT_EQ(qorwin::focusId(d), PF_NAME);
        EXPECT_FALSE(qorwin::enabled(d, PW_ADD));
    });
    user.type(PF_NAME, "Alan").then([](HWND d) { EXPECT_TRUE(qorwin::enabled(d, PW_ADD)); });
    user.click(PW_ADD).click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, &g, 0), 0);
    EXPECT_STREQ(stored("Alan").number, "0301-555-0199");
}

TEST_F(PhoneWindow, SwitchesToAnotherPhoneBookFileAndBack) {
    offerBookChoice();
    add("Ada Lovelace", "1");
    const std::string mine = profile.path("data/personal.pbk");
    const std::string other = profile.path("data/other.pbk");
    user.then([](HWND d) { EXPECT_TRUE(qorwin::visible(d, PW_CHOOSEBOOK)); });
    user.then([&](HWND) { profile.ui().answerString(other); }).click(PW_CHOOSEBOOK);
    user.then([&](HWND d) {
        // No file yet: an empty window; the first Add creates the file.
        EXPECT_TRUE(qorwin::items(d, PF_NAME).empty());
        EXPECT_FALSE(qorwin::enabled(d, PW_PRINT));
        EXPECT_FALSE(qortest::fileExists(other));
        char title[256] = {};
        GetWindowTextA(d, title, sizeof title);
        EXPECT_EQ(std::string(title), "Phone Book - " + other);
    });
    user.type(PF_NAME, "Zed").type(PF_NUMBER, "99").click(PW_ADD).then([&](HWND d) {
        EXPECT_TRUE(qortest::fileExists(other));
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Zed"}));
    });
    user.then([&](HWND) { profile.ui().answerString(mine); }).click(PW_CHOOSEBOOK);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PF_NAME), (V{"Ada Lovelace"}));
        char title[256] = {};
        GetWindowTextA(d, title, sizeof title);
        EXPECT_EQ(std::string(title), "Phone Book - " + mine);
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    char path[80] = {};
    qorsf::SF_getphonebookpath(kHost, path);
    EXPECT_EQ(std::string(path), mine);
}

TEST_F(PhoneWindow, ADamagedPhoneBookOpensEmptyAndRefusesChangesWithAMessage) {
    const std::string book = profile.path("data/personal.pbk");
    qortest::writeFile(book, std::string(3000, 'x'));
    user.then([](HWND d) {
        EXPECT_TRUE(qorwin::items(d, PF_NAME).empty());
        EXPECT_TRUE(qorwin::items(d, PW_ALLGROUPS).empty());
    });
    user.type(PF_NAME, "Ada").type(PF_NUMBER, "100").click(PW_ADD).then([&](HWND d) {
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text.rfind("The phone book file cannot be used", 0), 0u)
            << profile.ui().shown()[0].text;
        EXPECT_TRUE(qorwin::items(d, PF_NAME).empty());
        EXPECT_TRUE(qorwin::enabled(d, PW_ADD));  // the name is still there to save
    });
    user.escape();
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), SF_CANCELLED);
    EXPECT_EQ(qortest::readFile(book), std::string(3000, 'x'));  // the file is left as it was
}

TEST_F(PhoneWindow, AGroupWithoutMembersShowsTheNoMembersText) {
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "", "Empty"), 0);
    UL_strcopy(pbdialogs().group, "Empty");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PM_GROUP), "Empty");
        EXPECT_TRUE(qorwin::items(d, PM_MEMBERS).empty());
        EXPECT_TRUE(qorwin::visible(d, PM_NONE));
        EXPECT_FALSE(qorwin::visible(d, PM_SOME));
        EXPECT_EQ(qorwin::text(d, PM_COUNT), "0");
        EXPECT_FALSE(qorwin::enabled(d, PM_REMOVE));
    });
    user.escape();
    INT_PTR result = -1;
    ASSERT_EQ(SF_rundialog(kHost, nullptr, kMembersTemplate, ::WN_sfgroupmembers, 0, &result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(pbdialogs().membersChanged);
    // A group that does not exist: the dialog ends with the status, shown by the walk.
    UL_strcopy(pbdialogs().group, "Nobody");
    ASSERT_EQ(SF_rundialog(kHost, nullptr, kMembersTemplate, ::WN_sfgroupmembers, 0, &result), 0);
    EXPECT_EQ(result, SF_NORECORD);
    EXPECT_EQ(shownTexts(), (V{"There is no name or group \"Nobody\" in the phone book."}));
}

TEST_F(PhoneWindow, HelpAndTheOfferToSaveBeforeAnotherPhoneBook) {
    offerBookChoice();
    add("Ada Lovelace", "1");
    user.click(PW_HELP).then([&](HWND) { EXPECT_EQ(profile.ui().helps(), (std::vector<int>{591})); });
    // A new name typed, then another phone book chosen: the name is offered for saving first,
    // and Cancel keeps the window on it.
    user.click(PW_NEW).type(PF_NAME, "Grace").type(PF_NUMBER, "77").click(PW_CHOOSEBOOK).answer(IDCANCEL);
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::text(d, PF_NAME), "Grace");
        EXPECT_EQ(shownTexts(), (V{"This name is not in the phone book yet. Add it?"}));
    });
    user.then([&](HWND) { profile.ui().answerString(profile.path("data/other.pbk")); });
    user.click(PW_CHOOSEBOOK).answer(IDYES).then([&](HWND d) {
        EXPECT_TRUE(qorwin::items(d, PF_NAME).empty());  // the other book
    });
    user.click(PW_CLOSE);
    EXPECT_EQ(::SF_phonemain(kHost, nullptr, 0), 0);
    char path[80];
    ASSERT_EQ(SF_setphonebookpath(kHost, profile.path("data/personal.pbk").c_str()), 0);
    qorsf::SF_getphonebookpath(kHost, path);
    EXPECT_EQ(names(), (V{"Ada Lovelace", "Grace"}));  // saved in the first book
}

}  // namespace
