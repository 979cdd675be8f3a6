// The recipient chooser driven as a user drives it: names and groups moved into a recipient
// list, which the list box of the chosen shows in the same order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "qorsf.h"
#include "qorwin32.h"
#include "window_fixture.h"

namespace {

using V = std::vector<std::string>;
using namespace qorsf;

class Chooser : public ::testing::Test {
protected:
    void SetUp() override {
        frame_reset();
        qortest::failOnUiFailure(profile.ui());
        ASSERT_EQ(::SF_open(kHost), 0);
        pbdialogs() = PbDialogState{};
        add("Ada", "100", "Engines");
        add("Bob", "200");
        add("Carol", "");  // no fax number
        add("Dave", "400");
        join("Bob", "Team");
        join("Carol", "Team");
        join("Dave", "Team");
    }
    void TearDown() override {
        UT_listfree(kHost, &list);
        ::SF_close(kHost);
        frame_reset();
        qorwin::resetWindows();
    }
    void add(const std::string& name, const std::string& fax, const std::string& company = "") {
        PB_ENTRY e{};
        UL_strcopy(e.name, name.c_str());
        UL_strcopy(e.number, fax.c_str());
        UL_strcopy(e.company, company.c_str());
        PB_RECORD r{};
        UL_strcopy(r.name, e.name);
        qorsf::SF_entrytoinfo(kHost, &e, r.info);
        ASSERT_EQ(qorsf::SF_addphone(kHost, e.name, &r), 0);
    }
    void join(const std::string& name, const std::string& group) {
        ASSERT_EQ(qorsf::SF_addnametogroup(kHost, name.c_str(), group.c_str()), 0);
    }
    INT_PTR run() {
        INT_PTR result = -99;
        EXPECT_EQ(SF_rundialog(kHost, nullptr, kChooserTemplate, ::WN_getfromphonebk, reinterpret_cast<LPARAM>(&list),
                               &result),
                  0);
        return result;
    }
    // The list's items as "name number".
    V listed() {
        V out;
        PB_ENTRY e{};
        int16_t found = 0;
        for (int16_t st = UT_listfirst(kHost, &list, &e, sizeof e, &found); st == 0 && found;
             st = UT_listnext(kHost, &list, &e, sizeof e, &found))
            out.push_back(std::string(e.name) + " " + e.number);
        return out;
    }
    V shownTexts() {
        V out;
        for (const auto& s : profile.ui().shown()) out.push_back(s.text);
        return out;
    }

    static constexpr uint32_t kHost = 0;
    qortest::TempProfile profile;
    qorwin::Script user{profile.ui()};
    UT_LIST list{};
};

TEST_F(Chooser, MovesNamesAndGroupsIntoTheRecipientList) {
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PC_BOOKNAME), "personal.pbk");
        EXPECT_EQ(qorwin::items(d, PC_NAMES), (V{"Ada", "Bob", "Carol", "Dave"}));
        EXPECT_EQ(qorwin::items(d, PC_GROUPS), (V{"Team"}));
        EXPECT_FALSE(qorwin::enabled(d, PC_ADD));
        EXPECT_FALSE(qorwin::enabled(d, PC_REMOVE));
        EXPECT_FALSE(qorwin::visible(d, PC_CHOOSEBOOK));
    });
    // Two names chosen together (one of them without a fax number, which is refused).
    user.select(PC_NAMES, 0).toggle(PC_NAMES, 2).then([](HWND d) {
        EXPECT_EQ(qorwin::selections(d, PC_NAMES), (std::vector<int>{0, 2}));
        EXPECT_TRUE(qorwin::enabled(d, PC_ADD));
    });
    user.click(PC_ADD).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada"}));
        EXPECT_TRUE(qorwin::selections(d, PC_NAMES).empty());
        EXPECT_EQ(qorwin::selection(d, PC_CHOSEN), 0);
        EXPECT_EQ(shownTexts(), (V{"Carol has no fax number and cannot be a recipient."}));
        EXPECT_EQ(profile.ui().shown()[0].caption, "Choose Recipients");
    });
    // A name chosen twice is added once; choosing a group clears the names' selection.
    user.select(PC_NAMES, 0).select(PC_GROUPS, 0).then([](HWND d) {
        EXPECT_TRUE(qorwin::selections(d, PC_NAMES).empty());
        EXPECT_EQ(qorwin::selections(d, PC_GROUPS), (std::vector<int>{0}));
    });
    user.select(PC_NAMES, 1).then([](HWND d) { EXPECT_TRUE(qorwin::selections(d, PC_GROUPS).empty()); });
    user.doubleClickItem(PC_NAMES, 0);  // Ada again: a double click adds, but only once
    user.select(PC_GROUPS, 0).click(PC_ADD).then([&](HWND d) {
        // The group's members with a fax number, each once.
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada", "Bob", "Dave"}));
        EXPECT_EQ(listed(), (V{"Ada 100", "Bob 200", "Dave 400"}));
        EXPECT_EQ(profile.ui().shown().size(), 2u);  // Carol refused again, as a member
    });
    user.click(IDOK);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(listed(), (V{"Ada 100", "Bob 200", "Dave 400"}));
    EXPECT_TRUE(profile.ui().scriptEmpty());
}

TEST_F(Chooser, OrdersRemovesAndShowsTheChosen) {
    PB_ENTRY e{};
    for (const char* n : {"Ada", "Bob", "Dave"}) {
        UL_strcopy(e.name, n);
        UL_strcopy(e.number, (std::string(n) + "-fax").c_str());
        ASSERT_EQ(UT_listadd(kHost, &list, &e, sizeof e), 0);
    }
    user.then([](HWND d) { EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada", "Bob", "Dave"})); });
    user.select(PC_CHOSEN, 0).then([](HWND d) {
        EXPECT_FALSE(qorwin::enabled(d, PC_UP));
        EXPECT_TRUE(qorwin::enabled(d, PC_DOWN));
    });
    user.click(PC_DOWN).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Bob", "Ada", "Dave"}));
        EXPECT_EQ(listed(), (V{"Bob Bob-fax", "Ada Ada-fax", "Dave Dave-fax"}));
        EXPECT_EQ(qorwin::selection(d, PC_CHOSEN), 1);
    });
    user.click(PC_DOWN).then([&](HWND d) {
        EXPECT_EQ(listed(), (V{"Bob Bob-fax", "Dave Dave-fax", "Ada Ada-fax"}));
        EXPECT_FALSE(qorwin::enabled(d, PC_DOWN));  // the last: down is not offered
    });
    user.click(PC_UP).click(PC_UP).then([&](HWND d) {
        EXPECT_EQ(listed(), (V{"Ada Ada-fax", "Bob Bob-fax", "Dave Dave-fax"}));
        EXPECT_EQ(qorwin::selection(d, PC_CHOSEN), 0);
    });
    // Details of the chosen recipient, read-only.
    user.select(PC_CHOSEN, 1).click(PC_DETAILS).then([](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), 2075);
        EXPECT_EQ(qorwin::text(d, 171), "Bob");
        EXPECT_EQ(qorwin::text(d, 176), "Bob-fax");
    });
    user.enter();
    user.click(PC_REMOVE).then([&](HWND d) {
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada", "Dave"}));
        EXPECT_EQ(qorwin::selection(d, PC_CHOSEN), 1);
        EXPECT_EQ(listed(), (V{"Ada Ada-fax", "Dave Dave-fax"}));
    });
    user.click(PC_REMOVE).click(PC_REMOVE).then([&](HWND d) {
        EXPECT_TRUE(qorwin::items(d, PC_CHOSEN).empty());
        EXPECT_TRUE(listed().empty());
        EXPECT_FALSE(qorwin::enabled(d, PC_REMOVE));
        EXPECT_EQ(qorwin::focusId(d), PC_NAMES);  // the disabled button lost the focus
    });
    user.escape();
    EXPECT_EQ(run(), 1);
}

TEST_F(Chooser, AddsFromANamesFileAndSwitchesThePhoneBook) {
    char ini[80];
    ASSERT_EQ(UL_getpath(kHost, ini, 41), 0);
    ASSERT_TRUE(WritePrivateProfileStringA("OPTIONS", "Option1000", "1", ini));
    PB_ENTRY e{};
    UL_strcopy(e.name, "Ada");
    UL_strcopy(e.number, "100");
    ASSERT_EQ(UT_listadd(kHost, &list, &e, sizeof e), 0);
    qortest::writeFile(profile.path("list.LST"), "\"Ada\",\"100\"\r\n\"Eve\",\"500\"\r\n\"Fay\",\"\"\r\n");
    user.select(PC_CHOSEN, 0).then([&](HWND) { profile.ui().answerString(profile.path("list.LST")); });
    user.click(PC_FROMFILE).then([&](HWND d) {
        // Ada is on the list already (same name and number), Fay has no number.
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada", "Eve"}));
        EXPECT_EQ(listed(), (V{"Ada 100", "Eve 500"}));
        EXPECT_EQ(qorwin::selection(d, PC_CHOSEN), 1);
        EXPECT_EQ(shownTexts(), (V{"Fay has no fax number and cannot be a recipient."}));
    });
    // Another phone book: the names and groups of that file.
    {
        // A second book made with the library, then the path put back.
        char mine[80];
        qorsf::SF_getphonebookpath(kHost, mine);
        ASSERT_EQ(SF_setphonebookpath(kHost, profile.path("data/other.pbk").c_str()), 0);
        add("Zed", "900");
        qorsf::SF_epilog(kHost);
        ASSERT_EQ(SF_setphonebookpath(kHost, mine), 0);
    }
    user.then([&](HWND d) {
        EXPECT_TRUE(qorwin::visible(d, PC_CHOOSEBOOK));
        profile.ui().answerString(profile.path("data/other.pbk"));
    });
    user.click(PC_CHOOSEBOOK).then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, PC_BOOKNAME), "other.pbk");
        EXPECT_EQ(qorwin::items(d, PC_NAMES), (V{"Zed"}));
        EXPECT_TRUE(qorwin::items(d, PC_GROUPS).empty());
        EXPECT_EQ(qorwin::items(d, PC_CHOSEN), (V{"Ada", "Eve"}));  // the recipients stay
    });
    user.doubleClickItem(PC_NAMES, 0).click(IDOK);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(listed(), (V{"Ada 100", "Eve 500", "Zed 900"}));
}

}  // namespace
