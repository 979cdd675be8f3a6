// qorfax: the host application of the QOR fax library.
//
// It opens the library as a desktop fax application does (a host block, its window 101,
// SF_open ... SF_close) and offers the library's services as commands; each command is in a
// file of its own (cmd_*.cpp) and registers itself.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
        "  -h, --help      show this help; COMMAND --help shows the help of a command\n"
        "  --version       show the version of qorfax\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 wrong arguments. See also qorfax(1).\n";
    return help;
}

// The first line of a help text ("usage: ..."), for the short usage of a usage error.
std::string usageLine(const char* help) {
    std::string text = help ? help : "";
    std::string out;
    // The usage lines: the first, and those that go on with blanks or repeat "usage" for
    // another form ("       qorfax queue count").
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (line.empty() || (pos != 0 && line[0] != ' ')) break;
        out += line + "\n";
        pos = end + 1;
    }
    return out;
}

}  // namespace

void Console::progress(const std::string& what, uint32_t done, uint32_t total) {
    if (!terminal_) return;  // a log or a pipe gets no progress lines
    const bool end = done == UL_PROGRESS_END || (total != 0 && done >= total);
    if (!end) {
        // A line per step would cost more than the step: at most every 1% or every 100 steps.
        const uint32_t step = total ? std::max<uint32_t>(1, total / 100) : 100;
        if (done % step != 0) return;
    }
    std::string line = "\r" + what + ": ";
    if (done == UL_PROGRESS_END)
        line += "done";
    else if (total)
        line += std::to_string(done) + " of " + std::to_string(total);
    else
        line += std::to_string(done);
    line += "\033[K";  // the rest of an earlier, longer line goes
    if (end) line += "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    shown_ = !end;
}

int Console::messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
    clearProgress();
    return qorui::ConsoleDriver::messageBox(owner, text, caption, style);
}

void Console::status(const std::string& text) {
    clearProgress();
    qorui::ConsoleDriver::status(text);
}

void Console::clearProgress() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    shown_ = false;
}

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
    // The problem and how the command is used; the whole help is one --help away.
    std::string line = usageLine(help);
    std::string word = "qorfax";
    if (line.rfind("usage: qorfax ", 0) == 0) {
        const std::size_t start = std::strlen("usage: ");
        std::size_t end = line.find_first_of(" \n", start + std::strlen("qorfax "));
        word = line.substr(start, end - start);
        if (word.find('[') != std::string::npos || word == "qorfax") word = "qorfax";
    }
    std::fprintf(stderr, "qorfax: %s\n%s(%s --help shows more)\n", problem.c_str(), line.c_str(), word.c_str());
    return kExitUsage;
}

}  // namespace qorfax

int main(int argc, char** argv) {
    using namespace qorfax;
    Args args(argv + 1, argv + argc);
    Console console(qorui::ConsoleDriver::Policy::No, ::isatty(2) == 1);
    qorui::ScopedDriver installed(console);
    const std::string help = mainHelp();

    size_t i = 0;
    for (; i < args.size() && args[i].rfind("-", 0) == 0; ++i) {
        const std::string& opt = args[i];
        if (opt == "--help" || opt == "-h") {
            std::fputs(help.c_str(), stdout);
            return kExitOk;
        } else if (opt == "--version") {
            std::printf("qorfax %s\n", QORFAX_VERSION);
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
