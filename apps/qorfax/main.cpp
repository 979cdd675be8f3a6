// qorfax: the host application of the QOR fax library.
//
// It opens the library as a desktop fax application does (a host block, its window 101,
// SF_open ... SF_close) and offers the library's services as commands; each command is in a
// file of its own (cmd_*.cpp) and registers itself.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "host.h"
#include "qorui.h"
#include "qorul.h"
#include "ui.h"

namespace qorfax {

namespace {

std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

std::string mainHelp() {
    std::string help =
        "usage: qorfax [--profile DIR] [--yes | --no] [--ui MODE] [--picture FILE.png] COMMAND [ARGS...]\n"
        "\n"
        "The host application of the QOR fax library.\n"
        "\n"
        "commands:\n";
    // Registration order follows the link order of the files: list the commands by name.
    std::vector<Command> sorted = commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::string(a.name) < b.name; });
    for (const Command& c : sorted) help += c.summary;
    help +=
        "\n"
        "options:\n"
        "  --profile DIR   use DIR as the profile (default: $QORFAX_HOME, else ~/.qorfax)\n"
        "  --yes, --no     answer the library's questions with yes or no (default: no)\n"
        "  --ui MODE       who uses the dialogs a command opens: terminal (a person, in this\n"
        "                  terminal), script (user actions read from standard input, one a\n"
        "                  line: type ID TEXT, click ID, select ID INDEX, enter, escape, ...)\n"
        "                  or console (no dialog is opened for a person); the default is\n"
        "                  terminal when standard input and output are a terminal\n"
        "  --picture FILE.png\n"
        "                  write a picture of the dialog that is up each time it waits for\n"
        "                  the user (the file shows the last state before the last action)\n"
        "  --help          show this help; COMMAND --help shows the help of a command\n";
    return help;
}

}  // namespace

Registration::Registration(const Command& c) { registry().push_back(c); }

const std::vector<Command>& commands() { return registry(); }

bool wantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int fail(int16_t status, const char* what) {
    std::fprintf(stderr, "qorfax: %s: %s (status %d)\n", what, statusText(status).c_str(), status);
    return kExitFailed;
}

int usage(const char* help, const std::string& problem) {
    std::fprintf(stderr, "qorfax: %s\n\n%s", problem.c_str(), help);
    return kExitUsage;
}

}  // namespace qorfax

int main(int argc, char** argv) {
    using namespace qorfax;
    Args args(argv + 1, argv + argc);
    qorui::ConsoleDriver console(qorui::ConsoleDriver::Policy::No);
    qorui::ScopedDriver installed(console);
    const std::string help = mainHelp();

    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        const std::string& opt = args[i];
        if (opt == "--help") {
            std::fputs(help.c_str(), stdout);
            return kExitOk;
        } else if (opt == "--yes") {
            console.setPolicy(qorui::ConsoleDriver::Policy::Yes);
        } else if (opt == "--no") {
            console.setPolicy(qorui::ConsoleDriver::Policy::No);
        } else if (opt == "--ui") {
            if (i + 1 >= args.size() || !setUiMode(args[i + 1]))
                return usage(help.c_str(), "--ui needs terminal, script or console");
            ++i;
        } else if (opt == "--picture") {
            if (i + 1 >= args.size()) return usage(help.c_str(), "--picture needs a file name");
            setPicturePath(args[++i]);
        } else if (opt == "--profile") {
            if (i + 1 >= args.size()) return usage(help.c_str(), "--profile needs a directory");
            setenv("QORFAX_HOME", args[++i].c_str(), 1);
        } else {
            return usage(help.c_str(), "unknown option " + opt);
        }
    }
    if (i >= args.size()) return usage(help.c_str(), "no command given");
    const std::string word = args[i];
    Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
    if (word == "help") {
        std::fputs(help.c_str(), stdout);
        return kExitOk;
    }
    for (const Command& c : commands()) {
        if (word != c.name) continue;
        if (int16_t st = UL_profileinit()) return fail(st, "the profile cannot be used");
        return c.run(rest);
    }
    return usage(help.c_str(), "unknown command " + word);
}
