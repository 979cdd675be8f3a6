// The scripted user and the text picture of a dialog.
//
// The scripted user acts on the dialog that is up as a person does, control by control, and
// each action produces the messages and notifications that the same action of a person produces
// on Win32: typing goes character by character (EN_UPDATE and EN_CHANGE for each, refused past
// the limit), a click moves the focus first (EN_KILLFOCUS to the old control, then the new
// control's focus notification) and then clicks, a list item chosen by the user sends
// LBN_SELCHANGE or CBN_SELCHANGE, Enter presses the focused push button or the default one,
// Esc is Cancel. An action on a control that is missing, hidden or disabled is not done: it
// returns false and lastError() tells why.
//
// Tests queue actions on the scripted driver (qorui::ScriptedDriver) through Script; they run
// when a modal dialog's loop goes idle. An action that cannot be done is reported to the driver
// as a failure.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qorui.h"
#include "qorwindow.h"

namespace qorwin {

// ---- Actions on the dialog `dialog`; `id` names a control of it.
// Tabs into the control (its text is selected) and types `text`, which replaces the text.
bool type(HWND dialog, int id, const std::string& text);
// Clicks at the end of the control's text and types `text` after it. A line break ("\n" or
// "\r\n") is typed as Enter.
bool append(HWND dialog, int id, const std::string& text);
// Tabs into the control and deletes its text.
bool erase(HWND dialog, int id);
// Puts `text` on the clipboard and pastes it at the control's caret (over its selection).
bool paste(HWND dialog, int id, const std::string& text);
// Presses a key (a VK_ code: arrows, Home, End, Delete) in the control, focusing it first.
bool key(HWND dialog, int id, UINT virtualKey);
bool click(HWND dialog, int id);
bool doubleClick(HWND dialog, int id);
// Clicks list item `index` (a combo box: opens the list and chooses the item). In a list box with
// multiple selection the click toggles the item; in an extended one it selects the item alone.
bool selectItem(HWND dialog, int id, int index);
// The same for the item with that whole text (without regard to case).
bool selectItem(HWND dialog, int id, const std::string& text);
bool doubleClickItem(HWND dialog, int id, int index);
// Ctrl+click: toggles an item of a list box with multiple or extended selection.
bool toggleItem(HWND dialog, int id, int index);
// Moves the focus to the control as Tab does.
bool focus(HWND dialog, int id);
bool pressEnter(HWND dialog);
bool pressEscape(HWND dialog);
// Closes the dialog by its title bar (WM_CLOSE).
bool closeDialog(HWND dialog);
// Steps a spin control up (steps > 0) or down, one notification per step.
bool spin(HWND dialog, int id, int steps);
const std::string& lastError();

// Runs a modeless window as its user uses it: pumps its messages and, when nothing is left,
// asks the UI driver for the next user action on it (or on its popup that is up), until the
// window is destroyed or the driver has no action left. Returns the number of actions.
int runModeless(HWND window);

// ---- Reading what the user sees.
std::string text(HWND dialog, int id);
UINT checkState(HWND dialog, int id);
bool checked(HWND dialog, int id);
bool enabled(HWND dialog, int id);  // the control (false when missing)
bool visible(HWND dialog, int id);
std::vector<std::string> items(HWND dialog, int id);
int selection(HWND dialog, int id);             // -1 when none
std::vector<int> selections(HWND dialog, int id);  // list boxes with multiple selection
int focusId(HWND dialog);                       // the id of the control with the focus, 0 when none
std::size_t limit(HWND dialog, int id);

// ---- The text picture: the dialog drawn as text, controls placed from their template
// rectangles (a column for 4 dialog units, a line for 8), followed by one line per control with
// its id, kind, text, state and list contents. Marks: '>' before the control with the focus,
// '~' before a disabled one; hidden controls are left out of the drawing.
std::string picture(HWND dialog);

// ---- A script of user actions for the scripted driver.
class Script {
public:
    explicit Script(qorui::ScriptedDriver& driver) : driver_(driver) {}
    Script& type(int id, std::string text);
    Script& append(int id, std::string text);
    Script& erase(int id);
    Script& paste(int id, std::string text);
    Script& key(int id, UINT virtualKey);
    Script& click(int id);
    Script& doubleClick(int id);
    Script& select(int id, int index);
    Script& select(int id, std::string text);
    Script& doubleClickItem(int id, int index);
    Script& toggle(int id, int index);
    Script& focus(int id);
    Script& enter();
    Script& escape();
    Script& close();
    Script& spin(int id, int steps);
    // Lets the clock run (timers fall due) before the next action.
    Script& wait(long seconds);
    // Runs a check (or anything) on the dialog that is up.
    Script& then(std::function<void(HWND dialog)> f);
    // Answers the next message box.
    Script& answer(int id);

private:
    Script& add(std::string what, std::function<bool(HWND)> f);
    qorui::ScriptedDriver& driver_;
};

}  // namespace qorwin
