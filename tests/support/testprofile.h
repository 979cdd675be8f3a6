// A test's own world: a temporary profile directory, a driven clock and the scripted UI
// driver. Each test that touches files makes one; tests can therefore run in parallel.
#pragma once

#include <string>

#include "qorui.h"

namespace qortest {

class TempProfile {
public:
    // Creates a new directory under $TMPDIR (or /tmp), makes it the profile root, drives the
    // clock to 2026-03-14 09:26:53 local time and installs the scripted driver.
    TempProfile();
    ~TempProfile();
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    // The profile root, ending with '/'.
    const std::string& root() const { return root_; }
    // A path inside the profile root.
    std::string path(const std::string& relative) const { return root_ + relative; }
    qorui::ScriptedDriver& ui() { return ui_; }

private:
    std::string root_;
    qorui::ScriptedDriver ui_;
    qorui::Driver* previous_ = nullptr;
};

// What a command run through the shell gave: its exit code (-1 when it did not exit), what it
// wrote to its standard output and, separately, to its standard error.
struct CommandResult {
    int exit = -1;
    std::string out;
    std::string err;
    std::string both() const { return out + err; }
};
// Runs `qorfax --profile PROFILE ARGS` (ARGS as shell text, so quoting is the caller's).
CommandResult runQorfax(const std::string& binary, const std::string& profile, const std::string& args);
// The same with its standard error in `out` too, in the order written (as a terminal shows it).
CommandResult runQorfaxMerged(const std::string& binary, const std::string& profile, const std::string& args);
// A text quoted for the shell.
std::string shellQuote(const std::string& text);

// Whole file contents (binary); empty when missing.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace qortest
