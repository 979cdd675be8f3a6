// The commands of qorfax. Each command lives in a file of its own and registers itself here,
// so that the main program lists and dispatches whatever commands are linked in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qorui.h"

namespace qorfax {

using Args = std::vector<std::string>;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;     // the command word, e.g. "info"
    const char* summary;  // lines for the main help: "  info   show ...\n" (may be several lines)
    const char* help;     // the command's own --help text
    int (*run)(const Args& args);  // the arguments after the command word
};

// Registers a command at start-up: `static qorfax::Registration r{{...}};` in its file.
struct Registration {
    explicit Registration(const Command& c);
};
const std::vector<Command>& commands();

// Helpers shared by the commands.
bool wantsHelp(const Args& args);
// Prints "qorfax: WHAT: <the library's message> (status N)" to stderr; returns kExitFailed.
int fail(int16_t status, const char* what);
// Prints the problem and the help to stderr; returns kExitUsage.
int usage(const char* help, const std::string& problem);

// qorfax queue check (cmd_queue_check.cpp) and its help.
int queueCheck(const Args& args);
extern const char* kQueueCheckHelp;
// The queue's job actions (cmd_queue_jobs.cpp): the exit status, or -1 when the verb is not one
// of theirs.
int queueJobs(const Args& args, const char* help);
// qorfax queue window (cmd_queuewindow.cpp): the arguments after "window".
int queueWindow(const Args& args, const char* help);

// The console of qorfax: the library's messages and questions on stderr (answered by --yes or
// --no), and on a terminal a progress line of long work that updates in place.
class Console : public qorui::ConsoleDriver {
public:
    Console(Policy policy, bool terminal) : qorui::ConsoleDriver(policy), terminal_(terminal) {}
    void progress(const std::string& what, uint32_t done, uint32_t total) override;
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
    void status(const std::string& text) override;

private:
    void clearProgress();  // a message starts on a clean line
    bool terminal_;
    bool shown_ = false;
};

// qorfax phonebook print: the listings by name or by group (phonebook_print.cpp).
int phonebookPrint(const Args& args);
// qorfax phonebook window and pick (cmd_phonebookwindow.cpp): the exit status, or -1 when the
// arguments are not theirs.
int phonebookWindow(const Args& args);

}  // namespace qorfax
