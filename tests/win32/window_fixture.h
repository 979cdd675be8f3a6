// A test's world for dialogs: its own profile, a language module of test templates, a scripted
// user, and a dialog procedure that records what it receives.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "qorlang.h"
#include "qorwindow.h"
#include "qorwinuser.h"
#include "testprofile.h"

namespace qortest {

// Every failure the scripted driver records fails the test where it happens.
inline void failOnUiFailure(qorui::ScriptedDriver& ui) {
    ui.onFailure([](const std::string& what) { ADD_FAILURE() << "user interface: " << what; });
}

// What the recording dialog procedure saw: "cmd 10 768" for WM_COMMAND (id, notification),
// "init", "timer 7", "user 1025 1 2", "destroy".
struct Recorder {
    std::vector<std::string> log;
    // Runs first for every message; a nonzero result ends the handling there.
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> hook;
    INT_PTR initResult = TRUE;

    static Recorder& get() {
        static Recorder r;
        return r;
    }
    void clear() {
        log.clear();
        hook = nullptr;
        initResult = TRUE;
    }
    // The commands logged for one control.
    std::vector<std::string> commands(int id) const {
        std::vector<std::string> out;
        const std::string prefix = "cmd " + std::to_string(id) + " ";
        for (const auto& l : log)
            if (l.rfind(prefix, 0) == 0) out.push_back(l.substr(prefix.size()));
        return out;
    }
    static INT_PTR CALLBACK proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        Recorder& r = get();
        if (r.hook) {
            if (INT_PTR x = r.hook(h, m, w, l)) return x;
        }
        switch (m) {
            case WM_INITDIALOG: r.log.push_back("init"); return r.initResult;
            case WM_COMMAND:
                r.log.push_back("cmd " + std::to_string(static_cast<int16_t>(LOWORD(w))) + " " + std::to_string(HIWORD(w)));
                if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) EndDialog(h, LOWORD(w));
                return TRUE;
            case WM_TIMER: r.log.push_back("timer " + std::to_string(w)); return TRUE;
            case WM_DESTROY: r.log.push_back("destroy"); return TRUE;
            default:
                if (m >= WM_USER + 100) {
                    r.log.push_back("user " + std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(l));
                    return TRUE;
                }
                return FALSE;
        }
    }
};

// The test templates: 900 a dialog with one control of each kind, 901 a small inner dialog.
inline const char* testScript() {
    return R"rc(
STRINGTABLE
BEGIN
    100, "QOR Fax"
END
900 DIALOG 0, 0, 200, 120
CAPTION "Test"
FONT 8, "MS Sans Serif"
BEGIN
    EDITTEXT        10, 8, 8, 80, 12, ES_AUTOHSCROLL
    EDITTEXT        11, 8, 24, 80, 12, ES_AUTOHSCROLL
    LISTBOX         12, 8, 40, 80, 40, WS_VSCROLL | WS_TABSTOP
    LISTBOX         13, 100, 40, 80, 40, LBS_MULTIPLESEL | WS_TABSTOP | NOT LBS_NOTIFY
    COMBOBOX        14, 100, 8, 80, 60, CBS_DROPDOWN | WS_VSCROLL
    COMBOBOX        15, 100, 24, 80, 60, CBS_DROPDOWNLIST
    AUTOCHECKBOX    "Check", 16, 8, 84, 40, 10
    AUTORADIOBUTTON "One", 17, 8, 96, 30, 10, WS_GROUP | WS_TABSTOP
    AUTORADIOBUTTON "Two", 18, 40, 96, 30, 10
    CONTROL         "", 19, "QorSpin", 0, 60, 84, 10, 12
    DEFPUSHBUTTON   "OK", IDOK, 140, 84, 50, 14, WS_GROUP
    PUSHBUTTON      "Cancel", IDCANCEL, 140, 100, 50, 14
    LTEXT           "Label", 21, 80, 100, 40, 8, SS_NOTIFY
END
901 DIALOG 10, 10, 120, 60
CAPTION "Inner"
BEGIN
    EDITTEXT        20, 8, 8, 80, 12
    DEFPUSHBUTTON   "OK", IDOK, 8, 30, 40, 14
    PUSHBUTTON      "Cancel", IDCANCEL, 60, 30, 40, 14
END
QORHAPPY ICON
BEGIN
    "gggg"
    "gggg"
    "gggg"
    "gggg"
END
QORSAD ICON
BEGIN
    "rrrr"
    "rrrr"
    "rrrr"
    "rrrr"
END
902 DIALOG 0, 0, 220, 160
CAPTION "Drawing"
FONT 8, "MS Sans Serif"
BEGIN
    LISTBOX         30, 8, 8, 80, 40, LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP
    COMBOBOX        31, 100, 8, 80, 60, CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP
    LISTBOX         32, 8, 52, 80, 40, LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_MULTIPLESEL | LBS_NOTIFY | WS_TABSTOP
    EDITTEXT        33, 100, 28, 110, 42, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL
    EDITTEXT        34, 100, 76, 40, 12
    CONTROL         "Owner", 35, "Button", BS_OWNERDRAW | WS_TABSTOP, 150, 76, 50, 14
    LTEXT           "Label text", 36, 8, 100, 80, 8
    CTEXT           "Middle", 37, 100, 100, 80, 8
    AUTOCHECKBOX    "Tick", 38, 8, 114, 60, 10
    DEFPUSHBUTTON   "OK", IDOK, 100, 130, 50, 14
    PUSHBUTTON      "Cancel", IDCANCEL, 160, 130, 50, 14
END
)rc";
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::get().clear();
        writeFile(profile.path("test.rc"), testScript());
        setenv("QORLANG_PATH", profile.path("test.rc").c_str(), 1);
        qorlang::reset();
        failOnUiFailure(profile.ui());
    }
    void TearDown() override {
        qorwin::resetWindows();
        Recorder::get().clear();
        unsetenv("QORLANG_PATH");
        qorlang::reset();
    }
    // Runs template 900 modally with the recording procedure.
    INT_PTR run(int number = 900, HWND owner = nullptr, LPARAM param = 0) {
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(number), owner, Recorder::proc, param);
    }
    std::vector<std::string>& log() { return Recorder::get().log; }
    Recorder& recorder() { return Recorder::get(); }

    TempProfile profile;
    qorwin::Script user{profile.ui()};
};

}  // namespace qortest
