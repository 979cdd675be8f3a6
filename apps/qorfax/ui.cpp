// The dialog users of qorfax: the terminal front end, a script on standard input, the console.
#include "ui.h"

#include <cstdio>
#include <iostream>
#include <sstream>

#include "qorterm.h"
#include "qorwingdi.h"
#include "qorwinuser.h"

namespace qorfax {

namespace {

UiMode& mode() {
    static UiMode m = UiMode::Auto;
    return m;
}
std::string& picturePath() {
    static std::string p;
    return p;
}

// User actions read from standard input, one a line:
//   type ID TEXT | append ID TEXT | erase ID | click ID | double-click ID | select ID INDEX |
//   toggle ID INDEX | focus ID | enter | escape | close | picture FILE.png | # comment
// A message box that asks a question takes the next line as its answer: yes, no, ok or cancel;
// a file chooser takes the next line as the file's name (cancel or an empty line cancels).
// The end of the input (or a line that cannot be done) ends the dialog as Cancel would.
class ScriptUser : public qorui::ConsoleDriver {
public:
    bool userAction(HWND dialog) override {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.empty() || line[0] == '#') continue;
            if (!run(dialog, line)) {
                std::fprintf(stderr, "qorfax: script: %s: %s\n", line.c_str(), qorwin::lastError().c_str());
                return false;
            }
            return true;
        }
        return false;
    }
    int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        if ((style & 0x0F) == MB_OK) return IDOK;
        std::string line;
        while (std::getline(std::cin, line) && (line.empty() || line[0] == '#')) {
        }
        if (line == "yes") return IDYES;
        if (line == "no") return IDNO;
        if (line == "ok") return IDOK;
        (void)owner;
        return IDCANCEL;
    }
    // A file chooser takes the next line as the file's name; "cancel" or an empty line cancels.
    bool chooseFile(HWND, const std::string&, const std::string& title, int, std::string& path) override {
        std::string line;
        while (std::getline(std::cin, line) && !line.empty() && line[0] == '#') {
        }
        std::fprintf(stderr, "%s: %s\n", title.c_str(), line.c_str());
        if (line.empty() || line == "cancel") return false;
        path = line;
        return true;
    }
    void failed(const std::string& what) override { std::fprintf(stderr, "qorfax: %s\n", what.c_str()); }

private:
    static bool run(HWND d, const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        int id = 0;
        auto rest = [&in] {
            std::string r;
            std::getline(in, r);
            if (!r.empty() && r[0] == ' ') r.erase(0, 1);
            return r;
        };
        if (verb == "enter") return qorwin::pressEnter(d);
        if (verb == "escape") return qorwin::pressEscape(d);
        if (verb == "close") return qorwin::closeDialog(d);
        if (verb == "picture") return qorwin::writePicture(d, rest());
        if (!(in >> id)) return false;
        if (verb == "type") return qorwin::type(d, id, rest());
        if (verb == "append") return qorwin::append(d, id, rest());
        if (verb == "erase") return qorwin::erase(d, id);
        if (verb == "click") return qorwin::click(d, id);
        if (verb == "double-click") return qorwin::doubleClick(d, id);
        if (verb == "focus") return qorwin::focus(d, id);
        int index = 0;
        if (!(in >> index)) return false;
        if (verb == "select") return qorwin::selectItem(d, id, index);
        if (verb == "toggle") return qorwin::toggleItem(d, id, index);
        return false;
    }
};

}  // namespace

// Passes everything to the chosen user, writing the picture of the dialog first when asked.
struct DialogUser::Tap : qorui::Driver {
    qorui::Driver* inner;
    explicit Tap(qorui::Driver* d) : inner(d) {}
    int messageBox(HWND o, const std::string& t, const std::string& c, UINT s) override { return inner->messageBox(o, t, c, s); }
    void beep(UINT type) override { inner->beep(type); }
    void status(const std::string& text) override { inner->status(text); }
    bool askString(HWND o, const std::string& p, const std::string& t, std::string& text) override {
        return inner->askString(o, p, t, text);
    }
    bool chooseFile(HWND o, const std::string& f, const std::string& t, int m, std::string& path) override {
        return inner->chooseFile(o, f, t, m, path);
    }
    bool userAction(HWND dialog) override {
        if (!picturePath().empty() && !qorwin::writePicture(dialog, picturePath()))
            std::fprintf(stderr, "qorfax: the picture cannot be written to %s\n", picturePath().c_str());
        return inner->userAction(dialog);
    }
    void failed(const std::string& what) override { inner->failed(what); }
    void help(HWND owner, int number) override { inner->help(owner, number); }
};

bool setUiMode(const std::string& name) {
    if (name == "console") mode() = UiMode::Console;
    else if (name == "script") mode() = UiMode::Script;
    else if (name == "terminal") mode() = UiMode::Terminal;
    else return false;
    return true;
}

void setPicturePath(const std::string& path) { picturePath() = path; }

DialogUser::DialogUser(qorui::Driver* own, bool ownOnly) {
    UiMode m = ownOnly ? UiMode::Console : mode();
    if (m == UiMode::Auto) m = qorterm::TerminalDriver::available() ? UiMode::Terminal : UiMode::Console;
    qorui::Driver* use = own;
    if (m == UiMode::Terminal) {
        chosen_ = std::make_unique<qorterm::TerminalDriver>();
        use = chosen_.get();
        interactive_ = true;
    } else if (m == UiMode::Script) {
        chosen_ = std::make_unique<ScriptUser>();
        use = chosen_.get();
        interactive_ = true;
    }
    if (!use) use = &qorui::driver();
    tap_ = std::make_unique<Tap>(use);
    previous_ = qorui::install(tap_.get());
}

DialogUser::~DialogUser() {
    qorui::install(previous_);
    finish();
}

void DialogUser::finish() {
    if (auto* t = dynamic_cast<qorterm::TerminalDriver*>(chosen_.get())) t->finish();
}

}  // namespace qorfax
