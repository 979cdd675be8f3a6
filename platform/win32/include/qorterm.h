// The terminal front end: a UI driver that lets a person use every dialog of the window layer in
// a terminal (ncurses).
//
// The dialog that is up is laid out from its template on a character grid (a column for 4
// dialog units, a line for 8), centred, with a status line at the bottom; a terminal too small
// for it says so until it is made larger. Keys act as a dialog user expects, and each goes
// through the window layer as the same action of the scripted user does, so the dialog gets
// the same notifications: Tab and Shift-Tab move the focus, arrows move in lists, radio groups
// and edits, Space toggles and presses, Enter presses the default button (or breaks a line in
// a multi-line edit that wants it), Esc cancels, Alt+letter (or the letter alone where no text
// is typed) is the mnemonic, F4 or Alt+Down drops a combo box down, mouse clicks act where the
// terminal reports them. Message boxes and questions appear over the dialog; file choosers
// are a path prompt with Tab completion.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "qorui.h"

namespace qorterm {

class TerminalDriver : public qorui::Driver {
public:
    // The terminal of `in` and `out` (the process's standard input and output by default); curses
    // starts at the first thing shown and ends with finish() or the driver.
    TerminalDriver(std::FILE* in = stdin, std::FILE* out = stdout);
    ~TerminalDriver() override;
    TerminalDriver(const TerminalDriver&) = delete;
    TerminalDriver& operator=(const TerminalDriver&) = delete;

    // Gives the terminal back (the screen as it was); the next thing shown starts curses again.
    void finish();
    // True when both streams are terminals (qorfax chooses this driver then).
    static bool available(std::FILE* in = stdin, std::FILE* out = stdout);

    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
    void beep(UINT type) override;
    void status(const std::string& text) override;
    bool askString(HWND owner, const std::string& prompt, const std::string& title, std::string& text) override;
    bool chooseFile(HWND owner, const std::string& filter, const std::string& title, int mode,
                    std::string& path) override;
    bool userAction(HWND dialog) override;
    void failed(const std::string& what) override;
    void help(HWND owner, int number) override;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Completes a path as the file chooser's Tab does: the longest text that every name of the
// directory beginning with the typed part shares ("/tm" -> "/tmp/"); `choices` gets those names.
std::string completePath(const std::string& typed, std::string* choices = nullptr);

}  // namespace qorterm
