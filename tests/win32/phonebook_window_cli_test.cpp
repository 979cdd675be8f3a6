// qorfax phonebook window and pick, run as a script runs them: without a user at a terminal the
// dialogs end as Cancel does.
#include <gtest/gtest.h>

#include <string>

#include "testprofile.h"

namespace qortest {
namespace {

class WindowCli : public ::testing::Test {
protected:
    CommandResult qorfax(const std::string& args) { return runQorfax(QORFAX_BINARY, profile.root(), args); }
    TempProfile profile;
};

TEST_F(WindowCli, WindowAndPickRunTheirDialogsAndReportACancel) {
    ASSERT_EQ(qorfax("phonebook add Ada --fax 100").exit, 0);
    CommandResult r = qorfax("phonebook window < /dev/null");
    EXPECT_EQ(r.exit, 0) << r.err;  // Cancel is a way to leave the window
    r = qorfax("phonebook pick --tsv < /dev/null");
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no recipients were chosen"), std::string::npos) << r.err;
    r = qorfax("phonebook pick extra");
    EXPECT_EQ(r.exit, 2);
    // Not on a terminal, no verb is still a usage error.
    r = qorfax("phonebook < /dev/null");
    EXPECT_EQ(r.exit, 2);
    r = qorfax("phonebook --help");
    EXPECT_EQ(r.exit, 0);
    EXPECT_NE(r.out.find("  window "), std::string::npos);
    EXPECT_NE(r.out.find("  pick "), std::string::npos);
    // The phone book is as it was.
    EXPECT_EQ(qorfax("phonebook --tsv list").out, "Ada\t100\t\t\t\t\t\t\t\n");
}

}  // namespace
}  // namespace qortest
