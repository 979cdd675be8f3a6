// The send dialog's tests: a library on its own profile with the dialog's state forgotten, a
// scripted user whose every failure fails the test, and phone book entries to choose.
#pragma once

#include <string>

#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "qorwinuser.h"
#include "send/dialogs/senddlg.h"
#include "sendtest.h"

namespace qortest {

class SendDialogTest : public SendTest {
protected:
    void SetUp() override {
        SendTest::SetUp();
        qorsf::senddialog_reset();
        profile.ui().onFailure([](const std::string& what) { ADD_FAILURE() << "user interface: " << what; });
    }
    void TearDown() override {
        qorsf::senddialog_reset();
        SendTest::TearDown();
    }
    void person(const std::string& name, const std::string& fax, const std::string& company = "",
                const std::string& voice = "") {
        PB_ENTRY e{};
        UL_strcopy(e.name, name.c_str());
        UL_strcopy(e.number, fax.c_str());
        UL_strcopy(e.company, company.c_str());
        UL_strcopy(e.voice, voice.c_str());
        PB_RECORD r{};
        UL_strcopy(r.name, e.name);
        qorsf::SF_entrytoinfo(kHost, &e, r.info);
        ASSERT_EQ(qorsf::SF_addphone(kHost, e.name, &r), 0);
    }

    qorwin::Script user{profile.ui()};
};

}  // namespace qortest
