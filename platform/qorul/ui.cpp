// The UI drivers: the installed one, the console driver and the scripted driver of the tests.
#include <cstdio>

#include "qorui.h"

namespace qorui {

namespace {
ConsoleDriver& consoleDefault() {
    static ConsoleDriver d(ConsoleDriver::Policy::No);
    return d;
}
Driver*& installed() {
    static Driver* d = nullptr;
    return d;
}
bool isQuestion(UINT style) { return (style & 0x0F) != MB_OK; }
}  // namespace

Driver& driver() {
    Driver* d = installed();
    return d ? *d : consoleDefault();
}

Driver* install(Driver* d) {
    Driver* previous = installed();
    installed() = d;
    return previous ? previous : &consoleDefault();
}

// ---- The window layer's side of every driver.

bool Driver::userAction(HWND) { return false; }

void Driver::failed(const std::string& what) { std::fprintf(stderr, "%s\n", what.c_str()); }

void Driver::help(HWND, int number) { status("Help topic " + std::to_string(number)); }

void Driver::progress(const std::string&, uint32_t, uint32_t) {}

// ---- Console: messages to stderr, questions answered by the policy.

int ConsoleDriver::messageBox(HWND, const std::string& text, const std::string& caption, UINT style) {
    int answer = IDOK;
    switch (style & 0x0F) {
        case MB_OK: answer = IDOK; break;
        case MB_OKCANCEL: answer = policy_ == Policy::Yes ? IDOK : IDCANCEL; break;
        case MB_YESNO: answer = policy_ == Policy::Yes ? IDYES : IDNO; break;
        default:
            answer = policy_ == Policy::Yes ? IDYES : policy_ == Policy::No ? IDNO : IDCANCEL;
            break;
    }
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    if (isQuestion(style)) {
        const char* said = answer == IDYES ? "yes" : answer == IDNO ? "no" : answer == IDOK ? "ok" : "cancel";
        std::fprintf(stderr, " [%s]", said);
    }
    std::fputc('\n', stderr);
    return answer;
}

void ConsoleDriver::beep(UINT) {}

void ConsoleDriver::status(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

bool ConsoleDriver::askString(HWND, const std::string& prompt, const std::string& title, std::string&) {
    std::fprintf(stderr, "%s: %s [%s]\n", title.c_str(), prompt.c_str(), policy_ == Policy::Yes ? "kept" : "cancel");
    return policy_ == Policy::Yes;  // the starting text stands as the answer
}

bool ConsoleDriver::chooseFile(HWND, const std::string&, const std::string& title, int, std::string& path) {
    std::fprintf(stderr, "%s: %s [%s]\n", title.c_str(), path.c_str(), policy_ == Policy::Yes ? "kept" : "cancel");
    return policy_ == Policy::Yes && !path.empty();
}

// ---- Scripted: records everything; questions take the next scripted answer.

void ScriptedDriver::clear() {
    answers_.clear();
    strings_.clear();
    shown_.clear();
    statuses_.clear();
    beeps_ = 0;
    unexpected_ = 0;
    actions_.clear();
    failures_.clear();
    helps_.clear();
    progress_.clear();
}

bool ScriptedDriver::userAction(HWND dialog) {
    if (actions_.empty()) {
        ++unexpected_;
        failed("a dialog is waiting for the user, and the script has no action left");
        return false;
    }
    // Taken off the script before it runs: an action may open a nested dialog that acts in turn.
    Action a = std::move(actions_.front());
    actions_.pop_front();
    if (a) a(dialog);
    return true;
}

void ScriptedDriver::failed(const std::string& what) {
    failures_.push_back(what);
    if (onFailure_) onFailure_(what);
}

void ScriptedDriver::help(HWND, int number) { helps_.push_back(number); }

int ScriptedDriver::messageBox(HWND, const std::string& text, const std::string& caption, UINT style) {
    int answer = IDOK;
    // A plain message needs no answer and leaves the script for the next question.
    if (isQuestion(style)) {
        if (answers_.empty()) {
            ++unexpected_;
            answer = IDCANCEL;
        } else {
            answer = answers_.front();
            answers_.erase(answers_.begin());
        }
    }
    shown_.push_back({text, caption, style, answer});
    return answer;
}

void ScriptedDriver::beep(UINT) { ++beeps_; }

void ScriptedDriver::status(const std::string& text) { statuses_.push_back(text); }

bool ScriptedDriver::askString(HWND, const std::string&, const std::string&, std::string& text) {
    if (strings_.empty()) {
        ++unexpected_;
        return false;
    }
    StringAnswer a = strings_.front();
    strings_.erase(strings_.begin());
    if (a.ok) text = a.text;
    return a.ok;
}

bool ScriptedDriver::chooseFile(HWND owner, const std::string&, const std::string& title, int, std::string& path) {
    return askString(owner, title, title, path);
}

}  // namespace qorui
