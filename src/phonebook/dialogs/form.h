// The phone book form: the controls in which one entry is shown and edited (the name, the eight
// detail fields and the list of the name's groups), carried on the same control ids by the
// phone book window and the send dialog, and the routines that read, show, clear, add and
// update an entry and offer to save unsaved changes. The form's state is library-wide: one
// form is edited at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorsf.h"
#include "qorwindow.h"

namespace qorsf {

// Control ids of the form.
enum : int {
    PF_NAME = 171,       // combo box with edit field: the names; its edit text is the name edited
    PF_COMPANY = 172,
    PF_VOICE = 173,
    PF_TEXT1 = 174,
    PF_TEXT2 = 175,
    PF_NUMBER = 176,     // the fax number
    PF_TEXT3 = 177,
    PF_GROUPS = 181,     // drop-down list: the groups of the name shown
    PF_ALTNUMBER = 193,
    PF_OTHERNUMBER = 194,
};

// Texts of the form's messages and questions.
enum : uint16_t {
    kTextBadNumber = 2032,
    kTextNoName = 2033,
    kTextGroupUnreadable = 2035,
    kCaptionForm = 2037,
    kAskSaveChanges = 2230,
    kAskSaveNew = 2231,
    kAskSaveChangesClosing = 2232,
    kAskSaveNewClosing = 2233,
};

struct FormState {
    PB_ENTRY form{};       // the entry read from or shown in the form
    PB_ENTRY shown{};      // the entry as last shown or saved: what changes are measured against
    char current[31] = {}; // the name whose record is shown
    bool isNew = false;    // the form holds a name not in the phone book yet, with unsaved data
    bool modified = false; // the form differs from the stored details of the shown name
    int writing = 0;       // > 0 while a routine writes the controls: their notifications are ours
};
FormState& formstate();
void form_reset();

// The send dialog's name and number texts (areas 5 and 7 of the global work block; a library
// that is not open has a spare pair). 80 bytes each.
char* SF_nametext();
char* SF_numbertext();

// Reads the eight detail fields into the entry (each cut to its field); the name is not read.
int16_t SF_readform(uint32_t host, HWND window, PB_ENTRY* entry);
// Shows the entry: its name, its details and (for a name listed in 171) its groups; the entry
// becomes the shown entry and the new and modified flags are cleared.
int16_t SF_showentry(uint32_t host, HWND window, const PB_ENTRY* entry);
// Shows the stored record of item i of 171 (an empty item clears the form).
int16_t SF_shownamerecord(uint32_t host, HWND window, int i);
int16_t SF_clearform(uint32_t host, HWND window);
// Checks the form and adds its name. A failed check shows its message, names the field in
// *focus and returns 0 (nothing added); a store failure is returned. *focus is 0 after an add.
int16_t SF_addfromform(uint32_t host, HWND window, PB_ENTRY* entry, int* focus);
// Checks the form and stores it as the details of the current name; as SF_addfromform.
int16_t SF_updatefromform(uint32_t host, HWND window, PB_ENTRY* entry, int* focus);
// Offers to save a new name or changed details (the closing texts when closing): yes saves,
// no leaves them, cancel gives 13000 so that the caller stays where it is. A save whose check
// failed gives 13000 too (the user corrects the field named by the message).
int16_t SF_offersave(uint32_t host, HWND window, bool closing);
// An error box of the form: text `text`, caption 2037.
void SF_formerror(uint32_t host, HWND window, uint16_t text);

// Helpers shared by the windows that carry the form.
// Whether two entries have the same name and details.
bool SF_sameentry(const PB_ENTRY& a, const PB_ENTRY& b);
// The index of the item of list `id` (list box or combo box) with this whole text, without
// regard to case; -1 when none or when the text is empty.
int SF_finditem(HWND window, int id, const char* text);
// Inserts a name or group into list `id` at its place in the phone book's key order; returns
// the index (an existing item of the same text is not added twice).
int SF_insertsorted(HWND window, int id, const char* text);
// The text of item i of list `id` (combo box or list box), cut to `size`; false when none.
bool SF_itemtext(HWND window, int id, int i, char* out, std::size_t size);

}  // namespace qorsf
