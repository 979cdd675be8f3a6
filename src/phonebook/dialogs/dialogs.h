// The phone book's small dialogs: a new group, the order of the printed phone book, and one
// entry shown read-only. Their openers (the phone book window) keep the host handle and read
// the results from the state below.
#pragma once

#include <cstdint>

#include "qorsf.h"

namespace qorsf {

// Control ids and template numbers.
enum : int {
    PB_GROUPNAME = 178,  // new group: the name (edit, 30 characters)
    PB_BYNAME = 191,     // print choice: by name
    PB_BYGROUP = 192,    // print choice: by group
};
constexpr uint16_t kNewGroupTemplate = 2071;
constexpr uint16_t kPrintChoiceTemplate = 2072;
constexpr uint16_t kDisplayTemplate = 2075;

// Library-wide state of the phone book dialogs (they are modal and one at a time).
struct PbDialogState {
    uint32_t host = 0;       // the host handle the opener stored
    char group[128] = {};    // the group text: the new group's name after WN_fsaddgroup
    bool membersChanged = false;
};
PbDialogState& pbdialogs();

INT_PTR WN_fsaddgroup(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR WN_sfprint(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// lParam of WM_INITDIALOG: the PB_ENTRY to show.
INT_PTR WN_displayphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs one of the dialogs over `owner` from the language module's instance: the dialog's
// result, or 13071 when it cannot be made (the status of reading the instance otherwise).
int16_t SF_rundialog(uint32_t host, HWND owner, uint16_t number, DLGPROC proc, LPARAM param, INT_PTR* result);

}  // namespace qorsf
