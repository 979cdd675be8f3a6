// The terminal front end as a person uses it: qorfax runs on a pseudo-terminal, keys go in and
// the screen is read back through a terminal emulator (libvterm).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "qorterm.h"
#include "testprofile.h"

namespace {

// qorfax on a pseudo-terminal of a given size, with the emulator's screen.
class Terminal {
public:
    Terminal(const std::vector<std::string>& args, int rows, int cols) : rows_(rows), cols_(cols) {
        vt_ = vterm_new(rows, cols);
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        vterm_screen_reset(screen_, 1);
        winsize ws{};
        ws.ws_row = static_cast<unsigned short>(rows);
        ws.ws_col = static_cast<unsigned short>(cols);
        pid_ = forkpty(&fd_, nullptr, nullptr, &ws);
        if (pid_ == 0) {
            setenv("TERM", "xterm", 1);
            std::vector<char*> argv;
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
        vterm_free(vt_);
    }
    bool started() const { return pid_ > 0 && fd_ >= 0; }

    // The screen as text, one line a row, trailing blanks dropped.
    std::string screen() const {
        std::string out;
        for (int r = 0; r < rows_; ++r) {
            std::string line;
            for (int c = 0; c < cols_; ++c) {
                VTermScreenCell cell{};
                vterm_screen_get_cell(screen_, VTermPos{r, c}, &cell);
                const uint32_t ch = cell.chars[0];
                line += ch == 0 ? ' ' : (ch < 0x80 ? static_cast<char>(ch) : '#');
            }
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + "\n";
        }
        return out;
    }
    // Reads what the program writes until `text` is on the screen (at most ten seconds).
    bool waitFor(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (screen().find(text) != std::string::npos) return true;
            if (!readSome(100) && exited_) break;
        }
        return screen().find(text) != std::string::npos;
    }
    void send(const std::string& keys) { ASSERT_EQ(write(fd_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    void resize(int rows, int cols) {
        rows_ = rows;
        cols_ = cols;
        vterm_set_size(vt_, rows, cols);
        winsize ws{};
        ws.ws_row = static_cast<unsigned short>(rows);
        ws.ws_col = static_cast<unsigned short>(cols);
        ioctl(fd_, TIOCSWINSZ, &ws);  // the kernel tells the program (SIGWINCH)
    }
    // Reads to the end and returns the exit status (-1 when it did not end in ten seconds).
    int exitStatus() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!exited_ && std::chrono::steady_clock::now() < end) readSome(100);
        return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

private:
    bool readSome(int ms) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, ms) > 0) {
            char buf[4096];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) {
                vterm_input_write(vt_, buf, static_cast<size_t>(n));
                return true;
            }
        }
        if (!exited_ && waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
        return false;
    }

    int rows_, cols_;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    pid_t pid_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

class TerminalFrontEnd : public ::testing::Test {
protected:
    std::vector<std::string> qorfax(const std::string& command) {
        return {QORFAX_BINARY, "--profile", profile.root(), "--ui", "terminal", command};
    }
    qortest::TempProfile profile;
};

TEST_F(TerminalFrontEnd, APersonFillsInTheCallingCardDialog) {
    Terminal t(qorfax("ccard"), 30, 100);
    ASSERT_TRUE(t.started());
    // The dialog arrives in pieces: wait for each part, not only the frame.
    ASSERT_TRUE(t.waitFor("Calling Card")) << t.screen();
    EXPECT_TRUE(t.waitFor("First card text:")) << t.screen();
    EXPECT_TRUE(t.waitFor("<OK>")) << t.screen();  // the default button
    // The focus starts in the first text: typing goes there.
    t.send("555-1");
    ASSERT_TRUE(t.waitFor("555-1")) << t.screen();
    // Enter presses OK; the second text is empty, so the dialog says so over itself.
    t.send("\r");
    ASSERT_TRUE(t.waitFor("cannot be empty")) << t.screen();
    EXPECT_NE(t.screen().find("Calling Card"), std::string::npos) << t.screen();
    t.send("\r");  // OK on the message
    // Alt+S: the mnemonic of "&Second card text:" moves to its field.
    t.send("\x1bs");
    t.send("77");
    ASSERT_TRUE(t.waitFor("77")) << t.screen();
    // Alt+A chooses "&After the number" for the first text; Tab to it and Space do the same.
    t.send("\x1b" "a");
    ASSERT_TRUE(t.waitFor("(*) After the number")) << t.screen();
    t.send("\r");
    ASSERT_TRUE(t.waitFor("second text")) << t.screen();
    EXPECT_EQ(t.exitStatus(), 0) << t.screen();
    const std::string s = t.screen();
    EXPECT_NE(s.find("first text             555-1 (after the number)"), std::string::npos) << s;
    EXPECT_NE(s.find("second text            77 (after the number)"), std::string::npos) << s;
    // Stored: the card's first text is in the parameter file.
    const std::string dat = qortest::readFile(profile.path("data/sf.dat"));
    ASSERT_EQ(dat.size(), 682u);
    EXPECT_EQ(std::string(dat.c_str() + 4), "555-1");
}

TEST_F(TerminalFrontEnd, ATerminalTooSmallSaysSoAndARelayoutFollowsTheResize) {
    Terminal t(qorfax("ccard"), 10, 40);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.waitFor("too small")) << t.screen();
    t.resize(30, 100);
    t.send("\x0c");  // any key after the resize: the dialog is laid out again
    ASSERT_TRUE(t.waitFor("First card text:")) << t.screen();
    // Centred in the larger terminal: the frame does not start at the left edge.
    const std::string s = t.screen();
    const std::size_t at = s.find("Calling Card");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(at - s.rfind('\n', at) - 1, 10u) << s;
    // Tab moves the focus; Esc cancels and nothing is stored.
    t.send("\t");
    t.send("\x1b");
    EXPECT_EQ(t.exitStatus(), 1) << t.screen();
    EXPECT_TRUE(t.waitFor("cancelled")) << t.screen();
}

TEST_F(TerminalFrontEnd, APersonMakesACoverPageAndLooksAtItsPreview) {
    Terminal t(qorfax("cover"), 40, 110);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.waitFor("Cover Page")) << t.screen();
    EXPECT_TRUE(t.waitFor("Template:")) << t.screen();
    EXPECT_TRUE(t.waitFor("<OK>")) << t.screen();
    // The focus starts in the sender's name.
    t.send("Ada Lovelace");
    ASSERT_TRUE(t.waitFor("Ada Lovelace")) << t.screen();
    // Alt+T: the template list; Down chooses the first template.
    t.send("\x1bt");
    t.send("\x1bOB");  // the Down key of an xterm in keypad mode
    // Alt+M: the memo, two lines typed.
    t.send("\x1bm");
    t.send("Dear Ann,\rthe tables follow.");
    ASSERT_TRUE(t.waitFor("the tables follow.")) << t.screen();
    // Alt+P: the preview over the dialog until a key is pressed.
    t.send("\x1bp");
    ASSERT_TRUE(t.waitFor("Cover Page Preview")) << t.screen();
    EXPECT_TRUE(t.waitFor("Press any key to close the preview.")) << t.screen();
    t.send(" ");
    // Back in the dialog: Alt+N to the name, Enter presses OK, No to saving the memo.
    t.send("\x1bn");
    t.send("\r");
    ASSERT_TRUE(t.waitFor("The memo was changed.")) << t.screen();
    t.send("n");
    EXPECT_EQ(t.exitStatus(), 0) << t.screen();
    ASSERT_TRUE(t.waitFor("template       1 Classic")) << t.screen();
    const std::string s = t.screen();
    EXPECT_NE(s.find("sender         Ada Lovelace"), std::string::npos) << s;
    EXPECT_NE(s.find("  Dear Ann,"), std::string::npos) << s;
    EXPECT_NE(s.find("  the tables follow."), std::string::npos) << s;
}

TEST(PathCompletion, CompletesTheCommonPartAndListsTheChoices) {
    qortest::TempProfile profile;
    const std::string dir = profile.path("files/");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir + "letters").c_str(), 0700), 0);
    qortest::writeFile(dir + "report-may.txt", "x");
    qortest::writeFile(dir + "report-june.txt", "x");
    std::string choices;
    EXPECT_EQ(qorterm::completePath(dir + "rep", &choices), dir + "report-");
    EXPECT_EQ(choices, "report-june.txt  report-may.txt");
    EXPECT_EQ(qorterm::completePath(dir + "report-m", &choices), dir + "report-may.txt");
    EXPECT_TRUE(choices.empty());
    EXPECT_EQ(qorterm::completePath(dir + "let"), dir + "letters/");  // a directory gets its slash
    EXPECT_EQ(qorterm::completePath(dir + "nothing"), dir + "nothing");
}

TEST_F(TerminalFrontEnd, TheQueueWindowFollowsTheQueueWhileItsUserDoesNothing) {
    const std::string letter = profile.path("letter.txt");
    qortest::writeFile(letter, "A letter\n");
    const qortest::CommandResult sent =
        qortest::runQorfax(QORFAX_BINARY, profile.root(), "send --to 5550100 " + qortest::shellQuote(letter));
    ASSERT_EQ(sent.exit, 0) << sent.both();
    Terminal t({QORFAX_BINARY, "--profile", profile.root(), "--ui", "terminal", "queue", "window"}, 40, 120);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.waitFor("Send Queue")) << t.screen();
    ASSERT_TRUE(t.waitFor("5550100")) << t.screen();
    EXPECT_TRUE(t.waitFor("Waiting")) << t.screen();
    // Another program holds the job; the person at the terminal presses nothing.
    const qortest::CommandResult held = qortest::runQorfax(QORFAX_BINARY, profile.root(), "queue hold 1");
    ASSERT_EQ(held.exit, 0) << held.both();
    EXPECT_TRUE(t.waitFor("On hold")) << t.screen();
    // Redrawn in place: the line shows the new status, and Release took Hold's place.
    EXPECT_TRUE(t.waitFor("Release")) << t.screen();
    const std::string s = t.screen();
    EXPECT_EQ(s.find("Waiting"), std::string::npos) << s;
    EXPECT_EQ(s.find("[Hold]"), std::string::npos) << s;
    t.send("\x1b");  // Esc is the close button
    EXPECT_EQ(t.exitStatus(), 0) << t.screen();
}

}  // namespace

TEST_F(TerminalFrontEnd, APersonSendsAFaxThroughTheSendDialog) {
    qortest::writeFile(profile.path("letter.txt"), "Dear Ada,\n");
    Terminal t({QORFAX_BINARY, "--profile", profile.root(), "--ui", "terminal", "send", "--dialog",
                profile.path("letter.txt")},
               40, 120);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.waitFor("Send Fax")) << t.screen();
    EXPECT_TRUE(t.waitFor("Documents:")) << t.screen();
    EXPECT_TRUE(t.waitFor("letter.txt")) << t.screen();  // the file is listed
    EXPECT_TRUE(t.waitFor("Wait")) << t.screen();        // and Cancel is the wait button
    // The focus starts on the name; Alt+F moves to the fax number.
    t.send("Ada");
    ASSERT_TRUE(t.waitFor("Ada")) << t.screen();
    t.send("\x1b" "f");
    t.send("555 0101");
    ASSERT_TRUE(t.waitFor("555 0101")) << t.screen();
    t.send("\r");  // Enter presses OK
    ASSERT_TRUE(t.waitFor("queued the fax")) << t.screen();
    EXPECT_EQ(t.exitStatus(), 0) << t.screen();
    EXPECT_NE(qortest::readFile(profile.path("qorfax.ini")).find("LastNumber1=Ada;555 0101"), std::string::npos);
}
