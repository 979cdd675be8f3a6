// The queue window open while the fax engine (qorfaxd, another process) sends three jobs: the
// list shows each job sending, then sent.
//
// The engine marks a job I before it reads the job's control file. Each control file is made a
// named pipe here, so the engine waits on it with the job marked I until the test hands it the
// file's bytes (and puts the file itself back in the pipe's place): the test sees every job in
// both states whatever the speed of either process.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "eventually.h"
#include "qorwinuser.h"
#include "queue/actions.h"
#include "queue/dialogs/queuewindow.h"
#include "sendtest.h"

namespace {

using namespace qorsf;

// The engine in the background until the test stops it (killed if the test ends early).
class Engine {
public:
    explicit Engine(const std::string& profile) {
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(QORFAXD_BINARY, QORFAXD_BINARY, "--profile", profile.c_str(), "--once", "--quiet", (char*)nullptr);
            _exit(127);
        }
    }
    ~Engine() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Whether it ended by itself within the bound; its exit status in *status.
    bool ended(int* status) {
        for (int i = 0; i < 6000; ++i) {
            int s = 0;
            if (waitpid(pid_, &s, WNOHANG) == pid_) {
                pid_ = -1;
                *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
                return true;
            }
            qortest::pause10ms();
        }
        return false;
    }
private:
    pid_t pid_ = -1;
};

using qortest::eventually;

class QueueWindowEngine : public qortest::SendTest {
protected:
    void TearDown() override {
        queuewindow_reset();
        SendTest::TearDown();
    }
    uint16_t statusOf(uint64_t job) {
        // Read without the engine lock: the engine is not kept waiting by the test's looking.
        QUEUE_RECORD r{};
        if (VQ_readjob(0, static_cast<uint32_t>(job % 100000), &r) != 0 || SF_jobnumber(r) != job) return 0;
        return r.status;
    }
    const QueueEntry* entry(uint64_t job) {
        for (const QueueEntry& e : queuewindow().entries)
            if (e.job == job) return &e;
        return nullptr;
    }
    std::string statusText(char s) {
        char t[80] = {};
        VQ_statustext(0, static_cast<uint16_t>(s), t, sizeof t);
        return t;
    }
    // The list line of a job shows the status text.
    bool lineShows(HWND w, uint64_t job, char status) {
        const auto& es = queuewindow().entries;
        for (std::size_t k = 0; k < es.size(); ++k)
            if (es[k].job == job) {
                const std::vector<std::string> lines = qorwin::items(w, QW_LIST);
                const std::string& line = lines.at(lines.size() - 1 - k);
                return line.find("\t" + statusText(status) + "\t") != std::string::npos;
            }
        return false;
    }
};

TEST_F(QueueWindowEngine, TheListShowsEachJobSendingThenSent) {
    struct Job {
        uint64_t number;
        std::string control, bytes;
    };
    std::vector<Job> jobs;
    std::filesystem::create_directories(profile.path("docs"));
    for (int i = 0; i < 3; ++i) {
        const std::string letter = profile.path("docs/letter" + std::to_string(i) + ".txt");
        qortest::writeFile(letter, "Letter number " + std::to_string(i) + "\n");
        SendOptions o = options();
        UL_strcopy(o.recipientName, ("Recipient " + std::to_string(i)).c_str());
        DocumentEntry d = doc(2, letter);
        ASSERT_EQ(qorsf::SF_sendfax(kHost, &d, 1, "5550100", &o), 0);
        QUEUE_RECORD r{};
        ASSERT_EQ(VQ_readjob(0, o.jobNumber, &r), 0);
        char path[80];
        UL_strcopy(path, r.jobfile);
        UL_fullpath(0, path, sizeof path);
        Job j{SF_jobnumber(r), path, qortest::readFile(path)};
        ASSERT_FALSE(j.bytes.empty());
        ASSERT_EQ(::unlink(path), 0);
        ASSERT_EQ(::mkfifo(path, 0600), 0);
        jobs.push_back(j);
    }
    HWND w = nullptr;
    ASSERT_EQ(::SF_wndqueue(kHost, &w), 0);
    ASSERT_EQ(queuewindow().entries.size(), 3u);
    for (const Job& j : jobs) EXPECT_TRUE(lineShows(w, j.number, 'Q'));

    Engine engine(profile.root());
    for (const Job& j : jobs) {
        ASSERT_TRUE(eventually([&] { return statusOf(j.number) == 'I'; })) << "job " << j.number << " was not taken";
        SendMessageA(w, kQueueMessage, 0, 0);  // the host asks the window to look
        ASSERT_NE(entry(j.number), nullptr);
        EXPECT_EQ(entry(j.number)->status, 'I');
        EXPECT_TRUE(lineShows(w, j.number, 'I')) << j.number;
        EXPECT_FALSE(qorwin::enabled(w, QW_PURGE)) << "no purge while a job is sent";

        // The engine waits for the control file: hand it over.
        int fd = -1;
        ASSERT_TRUE(eventually([&] {
            fd = ::open(j.control.c_str(), O_WRONLY | O_NONBLOCK);
            return fd >= 0;
        })) << "the engine does not read " << j.control << " (errno " << errno << ")";
        // The engine reads the file again later: from now on the path is the file itself.
        const std::string whole = j.control + ".whole";
        qortest::writeFile(whole, j.bytes);
        ASSERT_EQ(::rename(whole.c_str(), j.control.c_str()), 0);
        const int flags = fcntl(fd, F_GETFL);
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        ASSERT_EQ(::write(fd, j.bytes.data(), j.bytes.size()), static_cast<ssize_t>(j.bytes.size()));
        ::close(fd);

        ASSERT_TRUE(eventually([&] { return statusOf(j.number) != 'I'; }));
        ASSERT_EQ(statusOf(j.number), 'S') << "job " << j.number << " was not sent";
        // The timer notices the change by itself.
        SendMessageA(w, WM_TIMER, 1, 0);
        EXPECT_EQ(entry(j.number)->status, 'S');
        EXPECT_TRUE(lineShows(w, j.number, 'S')) << j.number;
    }
    int exitStatus = -1;
    ASSERT_TRUE(engine.ended(&exitStatus));
    EXPECT_EQ(exitStatus, 0);
    SendMessageA(w, WM_TIMER, 1, 0);
    for (const Job& j : jobs) EXPECT_TRUE(lineShows(w, j.number, 'S'));
    EXPECT_TRUE(qorwin::enabled(w, QW_PURGE));
    EXPECT_TRUE(profile.ui().shown().empty());
}

}  // namespace
