// Who uses the dialogs a command opens: a person at the terminal (the terminal front end), a
// script of user actions on standard input, or the command itself (its own actions, messages on
// stderr). `--ui` chooses; by default the terminal when standard input and output are one.
// `--picture FILE.png` writes the picture of the dialog that is up each time it waits for the
// user, so the file shows the last state before the last action.
#pragma once

#include <memory>
#include <string>

#include "qorui.h"

namespace qorfax {

enum class UiMode { Auto, Console, Script, Terminal };

// Parses "console", "script" or "terminal"; false for anything else.
bool setUiMode(const std::string& name);
void setPicturePath(const std::string& path);

// The user of the dialogs of one command, installed for its lifetime. `own` is the command's own
// user (its actions from the command line); it is used in console mode and when no dialog user
// is chosen. interactive() tells whether a person or a script drives the dialogs.
class DialogUser {
public:
    // `ownOnly`: the command drives its dialogs itself whatever --ui says (the picture still applies).
    explicit DialogUser(qorui::Driver* own = nullptr, bool ownOnly = false);
    ~DialogUser();
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;
    bool interactive() const { return interactive_; }
    // Gives the terminal back before the command prints its results.
    void finish();

private:
    struct Tap;
    std::unique_ptr<qorui::Driver> chosen_;
    std::unique_ptr<Tap> tap_;
    qorui::Driver* previous_ = nullptr;
    bool interactive_ = false;
};

}  // namespace qorfax
