// The phone book window (template 2070): browse, add, change and delete names, manage groups
// and their members, import, export and print, switch to another phone book file, and in dial
// mode give a name's voice number back to the caller. The selection dialogs it opens, the
// recipient chooser (template 2074) and the group members dialog (template 2073).
#pragma once

#include <cstdint>

#include "qorsf.h"
#include "qorut.h"
#include "qorwindow.h"

namespace qorsf {

// Control ids of the phone book window beyond the form's.
enum : int {
    PW_NEXTFIELD = 1,     // the default button: Enter moves to the next field
    PW_HELP = 4,
    PW_CLOSE = 6,
    PW_DELETE = 11,
    PW_PRINT = 13,
    PW_FONTED = 70,       // gets the window's own font
    PW_ALLGROUPS = 178,   // every group of the phone book
    PW_NEW = 190,
    PW_MEMBERS = 195,
    PW_CHOOSEBOOK = 196,
    PW_ADD = 201,
    PW_UPDATE = 202,
    PW_IMPORT = 226,
    PW_EXPORT = 227,
    PW_JOIN = 229,        // adds the name to the group selected in 178
    PW_LEAVE = 230,       // removes the name from the group selected in 181
    PW_NEWGROUP = 231,
    PW_DELETEGROUP = 232,
    PW_DIAL = 238,
};

// Control ids of the recipient chooser.
enum : int {
    PC_DETAILS = 14,
    PC_REMOVE = 245,
    PC_ADD = 246,
    PC_BOOKNAME = 301,
    PC_NAMES = 302,
    PC_GROUPS = 303,
    PC_CHOSEN = 304,
    PC_CHOOSEBOOK = 307,
    PC_UP = 308,
    PC_DOWN = 309,
    PC_FROMFILE = 312,
};

// Control ids of the group members dialog.
enum : int {
    PM_REMOVE = 11,
    PM_DETAILS = 14,
    PM_NONE = 90,        // "no members"
    PM_SOME = 91,        // "members:"
    PM_MEMBERS = 171,    // the list of members
    PM_GROUP = 178,      // the group's name
    PM_COUNT = 195,      // the count; command 195 refreshes the count and texts
};

constexpr uint16_t kPhoneWindowTemplate = 2070;
constexpr uint16_t kMembersTemplate = 2073;
constexpr uint16_t kChooserTemplate = 2074;
constexpr int16_t kPhoneWindowHelp = 591;
constexpr int16_t kChooserHelp = 608;

// Opens the phone book window. entry: none, or an entry to show (its name listed: the stored
// record with the entry's fax number; not listed: the entry as a new name). mode 1 is dial
// mode: Dial gives the chosen name and its voice dial string back in *entry. 0 when closed with
// Close or Dial, 13000 when cancelled, 13071 when the dialog cannot be made.
int16_t SF_phonemain(uint32_t host, PB_ENTRY* entry, uint16_t mode);
INT_PTR WN_fsphonemain(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// lParam of WM_INITDIALOG: the recipient list (a UT_LIST of PB_ENTRY items).
INT_PTR WN_getfromphonebk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Reads the group from the library-wide group text of the phone book dialogs.
INT_PTR WN_sfgroupmembers(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The import and export commands of the phone book window: a file chooser, then the import or
// export of the names file and its groups file. Export: 0 also when cancelled. Import: 13000
// when cancelled.
int16_t SF_exportcommand(uint32_t host, HWND window);
int16_t SF_importcommand(uint32_t host, HWND window);
// Lets the user choose another phone book file (UT_choosefile mode) and makes it the phone
// book path. 13000 when cancelled.
int16_t SF_choosephonebook(uint32_t host, int16_t mode);
// Whether the windows offer another phone book file (FN_option 1000).
bool SF_offerbookchoice(uint32_t host, int16_t* status);

// Library-wide state of the phone book window (tests read it).
struct PhoneWindowState {
    uint32_t host = 0;
    uint16_t mode = 0;
    PB_ENTRY* caller = nullptr;  // the caller's entry, or none
    bool entryGiven = false;
    int nextFocus = 0;
    bool ready = false;
    HFONT font = nullptr;
    char typed[31] = {};         // the name as the user last typed it in 171
};
PhoneWindowState& phonewindow();
void phonewindow_reset();

}  // namespace qorsf
