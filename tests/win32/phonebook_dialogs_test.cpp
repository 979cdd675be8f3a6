// The phone book's small dialogs driven as a user would: a new group, the print order, and the
// read-only display of an entry.
#include <gtest/gtest.h>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/phonebook.h"
#include "qorsf.h"
#include "window_fixture.h"

namespace {

class PhonebookDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        qorsf::frame_reset();
        qortest::failOnUiFailure(profile.ui());
        ASSERT_EQ(SF_open(kHost), 0);
        qorsf::pbdialogs() = qorsf::PbDialogState{};
    }
    void TearDown() override {
        SF_close(kHost);
        qorsf::frame_reset();
        qorwin::resetWindows();
    }
    INT_PTR run(uint16_t number, DLGPROC proc, LPARAM param = 0) {
        INT_PTR result = -99;
        EXPECT_EQ(qorsf::SF_rundialog(kHost, nullptr, number, proc, param, &result), 0);
        return result;
    }
    std::vector<std::string> groups() {
        std::vector<std::string> out;
        char g[31];
        uint16_t found = 0;
        for (int16_t st = qorsf::SF_getfirstgroup(kHost, g, &found); st == 0 && found;
             st = qorsf::SF_getnextgroup(kHost, g, &found))
            out.push_back(g);
        qorsf::SF_epilog(kHost);
        return out;
    }

    static constexpr uint32_t kHost = 0;
    qortest::TempProfile profile;
    qorwin::Script user{profile.ui()};
};

TEST_F(PhonebookDialogs, NewGroupIsCreatedAndNamedInTheGroupText) {
    user.then([](HWND d) {
        EXPECT_FALSE(qorwin::enabled(d, IDOK));  // nothing typed yet
        EXPECT_EQ(qorwin::limit(d, qorsf::PB_GROUPNAME), 30u);
    });
    user.type(qorsf::PB_GROUPNAME, "Customers   ").then([](HWND d) { EXPECT_TRUE(qorwin::enabled(d, IDOK)); });
    user.enter();
    EXPECT_EQ(run(qorsf::kNewGroupTemplate, ::WN_fsaddgroup), 0);
    EXPECT_STREQ(qorsf::pbdialogs().group, "Customers");  // trailing blanks trimmed
    EXPECT_EQ(groups(), (std::vector<std::string>{"Customers"}));
}

TEST_F(PhonebookDialogs, NewGroupRefusesAnExistingGroupAndAnEmptyName) {
    ASSERT_EQ(qorsf::SF_addnametogroup(kHost, "", "Friends"), 0);
    user.type(qorsf::PB_GROUPNAME, "   ").enter();  // blanks only: nothing to create, no message
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), qorsf::kNewGroupTemplate);
        EXPECT_TRUE(profile.ui().shown().empty());
    });
    user.type(qorsf::PB_GROUPNAME, "Friends").enter();
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), qorsf::kNewGroupTemplate);  // still up
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "A group of that name exists already.");
        EXPECT_EQ(profile.ui().shown()[0].caption, "Phone Book");
    });
    user.escape();
    EXPECT_EQ(run(qorsf::kNewGroupTemplate, ::WN_fsaddgroup), 1);
    EXPECT_EQ(groups(), (std::vector<std::string>{"Friends"}));
}

TEST_F(PhonebookDialogs, NewGroupRefusesANameTheGroupsFileCouldNotHold) {
    user.type(qorsf::PB_GROUPNAME, "Smith\", Jones").enter();
    user.then([&](HWND d) {
        EXPECT_EQ(qorwin::templateNumber(d), qorsf::kNewGroupTemplate);  // still up, to be changed
        ASSERT_EQ(profile.ui().shown().size(), 1u);
        EXPECT_EQ(profile.ui().shown()[0].text, "A group name cannot hold a double quote followed by a comma.");
    });
    user.type(qorsf::PB_GROUPNAME, "Smith \"Jones\"").enter();  // quotes alone are fine
    EXPECT_EQ(run(qorsf::kNewGroupTemplate, ::WN_fsaddgroup), 0);
    EXPECT_EQ(groups(), (std::vector<std::string>{"Smith \"Jones\""}));
}

TEST_F(PhonebookDialogs, PrintChoiceStartsByNameAndADoubleClickEndsAsOk) {
    user.then([](HWND d) { EXPECT_TRUE(qorwin::checked(d, qorsf::PB_BYNAME)); }).enter();
    EXPECT_EQ(run(qorsf::kPrintChoiceTemplate, ::WN_sfprint), qorsf::PB_BYNAME);
    user.click(qorsf::PB_BYGROUP).click(IDOK);
    EXPECT_EQ(run(qorsf::kPrintChoiceTemplate, ::WN_sfprint), qorsf::PB_BYGROUP);
    user.doubleClick(qorsf::PB_BYGROUP);
    EXPECT_EQ(run(qorsf::kPrintChoiceTemplate, ::WN_sfprint), qorsf::PB_BYGROUP);
    EXPECT_TRUE(profile.ui().scriptEmpty());
    user.click(qorsf::PB_BYGROUP).escape();
    EXPECT_EQ(run(qorsf::kPrintChoiceTemplate, ::WN_sfprint), 1);
}

TEST_F(PhonebookDialogs, DisplayShowsTheNineFieldsReadOnly) {
    PB_ENTRY e{};
    UL_strcopy(e.name, "Ada Lovelace");
    UL_strcopy(e.company, "Analytical Engines");
    UL_strcopy(e.number, "+44 20 7946 0000");
    UL_strcopy(e.voice, "+44 20 7946 0001");
    UL_strcopy(e.text3, "Notes");
    user.then([](HWND d) {
        EXPECT_EQ(qorwin::text(d, 171), "Ada Lovelace");
        EXPECT_EQ(qorwin::text(d, 172), "Analytical Engines");
        EXPECT_EQ(qorwin::text(d, 176), "+44 20 7946 0000");
        EXPECT_EQ(qorwin::text(d, 173), "+44 20 7946 0001");
        EXPECT_EQ(qorwin::text(d, 177), "Notes");
        EXPECT_EQ(qorwin::text(d, 193), "");
    });
    user.type(171, "changed").then([](HWND d) { EXPECT_EQ(qorwin::text(d, 171), "Ada Lovelace"); });
    user.enter();
    EXPECT_EQ(run(qorsf::kDisplayTemplate, ::WN_displayphone, reinterpret_cast<LPARAM>(&e)), 0);
    EXPECT_GE(profile.ui().beeps(), 1);  // typing into a read-only field beeps
    user.escape();
    EXPECT_EQ(run(qorsf::kDisplayTemplate, ::WN_displayphone, reinterpret_cast<LPARAM>(&e)), 1);
}

}  // namespace
