// Jobs cancelled and purged: their holds on shared spooled copies are released, and a copy goes
// only when no job needs it any more.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "qorsf.h"
#include "qorvq.h"
#include "queue/actions.h"
#include "send/send.h"
#include "testprofile.h"

namespace {

using RunResult = qortest::CommandResult;

class JobActions : public ::testing::Test {
protected:
    RunResult qorfax(const std::string& args) { return qortest::runQorfax(QORFAX_BINARY, profile.root(), args); }
    // The spool's files of one kind: ".001" copies or ".SPL" control files.
    std::vector<std::string> spool(const std::string& ending) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(profile.path("spool"))) {
            const std::string name = e.path().filename().string();
            if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
                out.push_back(name);
        }
        return out;
    }
    // The job numbers of `queue list --tsv`, in order.
    std::vector<std::string> jobs() {
        RunResult r = qorfax("queue list --tsv");
        EXPECT_EQ(r.exit, 0) << r.err;
        std::vector<std::string> out;
        std::size_t pos = 0, end;
        while ((end = r.out.find('\n', pos)) != std::string::npos) {
            out.push_back(r.out.substr(pos, r.out.find('\t', pos) - pos));
            pos = end + 1;
        }
        return out;
    }
    void sendToTwo() {
        qortest::writeFile(profile.path("memo.txt"), "hello\n");
        RunResult r = qorfax("send --to 111 --to 222 --note 'Draft one' " + profile.path("memo.txt"));
        ASSERT_EQ(r.exit, 0) << r.err;
        ASSERT_EQ(spool(".001").size(), 1u) << "one copy shared by both jobs";
        ASSERT_EQ(spool(".SPL").size(), 2u);
    }
    qortest::TempProfile profile;
};

TEST_F(JobActions, ListShowAndCancelKeepASharedCopyUntilItsLastJob) {
    sendToTwo();
    RunResult r = qorfax("queue list --tsv");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "1\t\t111\tQ\tWaiting\t\tDraft one\n2\t\t222\tQ\tWaiting\t\tDraft one\n");

    r = qorfax("queue show 2");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("number       222\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("note         Draft one\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dial string  222\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("delete after no\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("documents    " + profile.path("spool/" + spool(".001")[0])), std::string::npos) << r.out;

    r = qorfax("queue cancel 1");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(jobs(), (std::vector<std::string>{"2"}));
    EXPECT_EQ(spool(".001").size(), 1u) << "job 2 still needs the copy";
    EXPECT_EQ(spool(".SPL").size(), 1u) << "job 1's control file is gone";
    EXPECT_EQ(qorfax("queue show 1").exit, 1);
    EXPECT_EQ(qorfax("queue cancel 1").exit, 1) << "cancelled already";

    ASSERT_EQ(qorfax("queue cancel 2").exit, 0);
    EXPECT_TRUE(spool(".001").empty()) << "the last job released the copy";
    EXPECT_TRUE(spool(".SPL").empty());
    EXPECT_EQ(qortest::readFile(profile.path("data/delfile.lis")).find_first_not_of('\0'), std::string::npos)
        << "no hold is left";

    EXPECT_EQ(qorfax("queue cancel 12345678901234").exit, 2);
    EXPECT_EQ(qorfax("queue cancel x1").exit, 2);
    EXPECT_EQ(qorfax("queue show").exit, 2);
}

TEST_F(JobActions, PurgeReleasesTheFilesOfJobsDeletedElsewhere) {
    sendToTwo();
    // The fax engine marks job 1 deleted (as after a send with delete-after-send).
    ASSERT_EQ(SF_open(0), 0);
    QUEUE_RECORD r;
    bool found = false;
    ASSERT_EQ(qorsf::SF_findjob(0, 1, &r, &found), 0);
    ASSERT_TRUE(found);
    r.status = 'D';
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    SF_close(0);

    RunResult out = qorfax("queue purge");
    ASSERT_EQ(out.exit, 0) << out.err;
    EXPECT_EQ(out.out, "purged 1 job\n");
    EXPECT_EQ(spool(".001").size(), 1u) << "job 2 still needs the copy";
    EXPECT_EQ(spool(".SPL").size(), 1u);
    EXPECT_EQ(qortest::readFile(profile.path("purge.lst")), "") << "every purged job was handled";
    // A second purge finds nothing to hand back twice.
    out = qorfax("queue purge");
    EXPECT_EQ(out.out, "purged 0 jobs\n");
    EXPECT_EQ(spool(".001").size(), 1u);
    ASSERT_EQ(qorfax("queue cancel 2").exit, 0);
    EXPECT_TRUE(spool(".001").empty());
}

TEST_F(JobActions, ASentJobWhoseHoldsTheEngineGaveBackIsDeletedWithoutGivingThemBackAgain) {
    sendToTwo();
    const std::string copy = profile.path("spool/" + spool(".001")[0]);
    // The fax engine sent job 1: it gives back the job's hold on the shared copy and marks the
    // record so.
    ASSERT_EQ(SF_open(0), 0);
    QUEUE_RECORD r;
    bool found = false;
    ASSERT_EQ(qorsf::SF_findjob(0, 1, &r, &found), 0);
    ASSERT_TRUE(found);
    r.status = 'S';
    r.unused2[qorsf::kHoldsReleasedAt - offsetof(QUEUE_RECORD, unused2)] = qorsf::kHoldsReleased;
    ASSERT_EQ(VQ_writejob(0, &r, 3), 0);
    ASSERT_EQ(qorsf::SF_releasedelfile(0, copy.c_str(), 0), 0);
    SF_close(0);
    ASSERT_TRUE(std::filesystem::exists(copy)) << "job 2 still holds the copy";

    // The recovery pass counts no hold for job 1 and keeps its documents.
    RunResult out = qorfax("queue check");
    ASSERT_EQ(out.exit, 0) << out.err;
    ASSERT_TRUE(std::filesystem::exists(copy));
    // Deleting job 1 gives nothing back a second time: job 2's copy stays.
    ASSERT_EQ(qorfax("queue cancel 1").exit, 0);
    EXPECT_TRUE(std::filesystem::exists(copy)) << "a second release would have taken job 2's copy";
    EXPECT_EQ(spool(".SPL").size(), 1u) << "job 1's control file is gone";
    ASSERT_EQ(qorfax("queue cancel 2").exit, 0);
    EXPECT_FALSE(std::filesystem::exists(copy)) << "the last hold went with job 2";
}

}  // namespace
