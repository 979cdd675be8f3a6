// The UI driver: where the utility library's messages, questions and prompts go.
//
// The library never talks to a terminal or a screen itself. Messages, questions, file
// choosers and string prompts go to the driver that the host installed: the console
// driver of the command line, the scripted driver of the tests, and (with the window
// layer) the drivers that run dialogs. Message boxes follow MessageBox: a style of
// MB_ flags and an answer of ID codes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qorwintypes.h"

// MessageBox styles and answers, with their Win32 values.
enum : UINT {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_YESNOCANCEL = 0x0003,
    MB_YESNO = 0x0004,
    MB_ICONERROR = 0x0010,
    MB_ICONSTOP = 0x0010,
    MB_ICONQUESTION = 0x0020,
    MB_ICONWARNING = 0x0030,
    MB_ICONINFORMATION = 0x0040,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

namespace qorui {

// One message box as it was shown.
struct Shown {
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = 0;
};

class Driver {
public:
    virtual ~Driver() = default;
    // A message box: returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) = 0;
    // A beep of MessageBeep (type is an MB_ icon value or 0xFFFFFFFF).
    virtual void beep(UINT type) = 0;
    // A one-line status text (information, no answer).
    virtual void status(const std::string& text) = 0;
    // Asks for a string; false = cancelled. `text` is the starting text and the answer.
    virtual bool askString(HWND owner, const std::string& prompt, const std::string& title, std::string& text) = 0;
    // Asks for a file; mode 0 = save, 1 = open an existing file, other values as the caller's.
    // `path` is the starting path and the answer; false = cancelled.
    virtual bool chooseFile(HWND owner, const std::string& filter, const std::string& title, int mode,
                            std::string& path) = 0;

    // ---- The window layer's side.
    // A modal dialog's loop has nothing left to do: perform the next user action on `dialog` (the
    // dialog that is up) and return true, or return false when there is no user action; the loop
    // then ends the dialog as Cancel would. The default has no user: false.
    virtual bool userAction(HWND dialog);
    // Something asked of the user interface could not be done (a scripted action on a disabled
    // control, a dialog that went idle with no user). The default writes it to stderr.
    virtual void failed(const std::string& what);
    // Help topic `number` was asked for over `owner`. The default shows it as a status text.
    virtual void help(HWND owner, int number);
    // Long work tells how far it is: `done` of `total` steps of `what` (total 0 = not known);
    // done == total (or done == 0xFFFFFFFF when the total is not known) ends it. The default
    // shows nothing.
    virtual void progress(const std::string& what, uint32_t done, uint32_t total);
};

// The installed driver (the console driver with the "no" policy until a host installs another).
Driver& driver();
// Installs a driver; returns the one it replaces. Not owned.
Driver* install(Driver* d);

// The console driver: messages to stderr; questions answered by a policy.
class ConsoleDriver : public Driver {
public:
    enum class Policy { Yes, No, Cancel };
    explicit ConsoleDriver(Policy policy = Policy::No) : policy_(policy) {}
    void setPolicy(Policy p) { policy_ = p; }
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
    void beep(UINT type) override;
    void status(const std::string& text) override;
    bool askString(HWND owner, const std::string& prompt, const std::string& title, std::string& text) override;
    bool chooseFile(HWND owner, const std::string& filter, const std::string& title, int mode,
                    std::string& path) override;

private:
    Policy policy_;
};

// The scripted driver of the tests: records what was shown and answers from a script.
// A question with no answer left in the script is recorded as unexpected and gets IDCANCEL.
// User actions on dialogs come from a second script (act(), usually filled through
// qorwin::Script); a dialog that goes idle with no action left is a failure: it is recorded
// (failures(), and unexpected() counts it) and the dialog ends as Cancel would.
class ScriptedDriver : public Driver {
public:
    using Action = std::function<void(HWND dialog)>;
    // Queue the next user action; it runs when a modal dialog's loop goes idle.
    void act(Action a) { actions_.push_back(std::move(a)); }
    // Failures of the window layer and of scripted actions, in order.
    const std::vector<std::string>& failures() const { return failures_; }
    // Called at every failure as it happens (tests hook ADD_FAILURE here).
    void onFailure(std::function<void(const std::string&)> hook) { onFailure_ = std::move(hook); }
    // Help topics asked for, in order.
    const std::vector<int>& helps() const { return helps_; }
    std::size_t actionsLeft() const { return actions_.size(); }
    // Progress reports, in order: what, done and total.
    struct Progress {
        std::string what;
        uint32_t done = 0, total = 0;
    };
    const std::vector<Progress>& progressReports() const { return progress_; }
    void progress(const std::string& what, uint32_t done, uint32_t total) override {
        progress_.push_back({what, done, total});
    }

    // Queue the answers to the next message boxes (IDOK, IDYES, IDNO, IDCANCEL), in order.
    void answer(int id) { answers_.push_back(id); }
    // Queue the answer to the next string prompt or file chooser; nullopt-like: cancel.
    void answerString(const std::string& s) { strings_.push_back({true, s}); }
    void answerCancel() { strings_.push_back({false, {}}); }

    const std::vector<Shown>& shown() const { return shown_; }
    const std::vector<std::string>& statuses() const { return statuses_; }
    int beeps() const { return beeps_; }
    // Questions that arrived with no answer left in the script.
    int unexpected() const { return unexpected_; }
    bool scriptEmpty() const { return answers_.empty() && strings_.empty() && actions_.empty(); }
    void clear();

    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
    void beep(UINT type) override;
    void status(const std::string& text) override;
    bool askString(HWND owner, const std::string& prompt, const std::string& title, std::string& text) override;
    bool chooseFile(HWND owner, const std::string& filter, const std::string& title, int mode,
                    std::string& path) override;
    bool userAction(HWND dialog) override;
    void failed(const std::string& what) override;
    void help(HWND owner, int number) override;

private:
    struct StringAnswer {
        bool ok;
        std::string text;
    };
    std::vector<int> answers_;
    std::vector<StringAnswer> strings_;
    std::vector<Shown> shown_;
    std::vector<std::string> statuses_;
    int beeps_ = 0;
    int unexpected_ = 0;
    std::deque<Action> actions_;
    std::vector<std::string> failures_;
    std::vector<int> helps_;
    std::vector<Progress> progress_;
    std::function<void(const std::string&)> onFailure_;
};

// Installs a driver for the lifetime of the guard and puts the previous one back.
class ScopedDriver {
public:
    explicit ScopedDriver(Driver& d) : previous_(install(&d)) {}
    ~ScopedDriver() { install(previous_); }
    ScopedDriver(const ScopedDriver&) = delete;
    ScopedDriver& operator=(const ScopedDriver&) = delete;

private:
    Driver* previous_;
};

}  // namespace qorui
