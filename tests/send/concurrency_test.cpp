// Two processes submit at the same time while this one walks the queue: no job is lost, every
// job number is unique, and no walk ever meets a job whose control file is not complete.
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "sendtest.h"

namespace {

using qortest::SendTest;

constexpr int kJobsPerProcess = 40;

int submitAll(uint32_t host, const char* prefix, const DocumentEntry* docs) {
    SendOptions o;
    std::memset(&o, 0, sizeof o);
    UL_strcopy(o.recipientName, prefix);
    for (int i = 0; i < kJobsPerProcess; ++i) {
        const std::string number = std::string(prefix) + std::to_string(i);
        if (qorsf::SF_sendfax(host, docs, 1, number.c_str(), &o) != 0) return 1;
    }
    return 0;
}

TEST_F(SendTest, TwoProcessesSubmittingAtOnceLoseNothing) {
    const DocumentEntry docs[] = {doc(2, profile.path("memo.txt"))};
    pid_t children[2];
    const char* prefixes[] = {"100", "200"};
    for (int k = 0; k < 2; ++k) {
        children[k] = fork();
        ASSERT_GE(children[k], 0);
        if (children[k] == 0) _exit(submitAll(kHost, prefixes[k], docs));
    }
    int running = 2;
    int status[2] = {-1, -1};
    bool complete = true;
    std::size_t walks = 0;
    while (true) {
        for (const auto& r : queue()) {
            const std::string control = controlFile(r);
            if (control.size() < 5 || control.compare(control.size() - 5, 5, "END\r\n") != 0) complete = false;
        }
        ++walks;
        if (running == 0) break;
        for (int k = 0; k < 2; ++k) {
            if (children[k] > 0 && waitpid(children[k], &status[k], WNOHANG) == children[k]) {
                children[k] = 0;
                --running;
            }
        }
    }
    EXPECT_TRUE(complete);
    EXPECT_GE(walks, 1u);
    for (int k = 0; k < 2; ++k) {
        ASSERT_TRUE(WIFEXITED(status[k]));
        EXPECT_EQ(WEXITSTATUS(status[k]), 0);
    }
    auto q = queue();
    ASSERT_EQ(q.size(), 2u * kJobsPerProcess);
    std::set<uint32_t> numbers;
    std::set<std::string> files, dialled;
    for (const auto& r : q) {
        numbers.insert(uint32_t{r.jobnum});
        files.insert(r.jobfile);
        dialled.insert(r.number);
    }
    EXPECT_EQ(numbers.size(), q.size());
    EXPECT_EQ(files.size(), q.size());  // every job its own control file
    EXPECT_EQ(dialled.size(), q.size());
    EXPECT_EQ(*numbers.rbegin(), 2u * kJobsPerProcess);
}

// Each process keeps the delete list it last read or wrote; a change another process made in
// between must be seen, or its holds would be written over.
TEST_F(SendTest, AKeptDeleteListGivesWayToAnotherProcesssChanges) {
    const std::string a = profile.path("spool/a.001"), b = profile.path("spool/b.001");
    ASSERT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 1), 0);  // this process now keeps the list
    for (int round = 0; round < 2; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool ok = qorsf::SF_addtodellist(kHost, a.c_str(), 2) == 0 &&
                            qorsf::SF_addtodellist(kHost, b.c_str(), 1) == 0;
            _exit(ok ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ASSERT_EQ(qorsf::SF_addtodellist(kHost, a.c_str(), 1), 0);
    }
    std::vector<DEL_RECORD> list;
    ASSERT_EQ(qorsf::SF_readdellist(kHost, &list, nullptr), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list[0].path, a.c_str());
    EXPECT_EQ(list[0].count, 1 + 2 * 3);
    EXPECT_STREQ(list[1].path, b.c_str());
    EXPECT_EQ(list[1].count, 2);
    // A release finds the record the other process made.
    ASSERT_EQ(qorsf::SF_releasedelfile(kHost, b.c_str(), 0), 0);
    ASSERT_EQ(qorsf::SF_readdellist(kHost, &list, nullptr), 0);
    EXPECT_EQ(list[1].count, 1);
}

}  // namespace
