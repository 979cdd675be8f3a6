// The library-wide recipient list: a QORUT list of PB_ENTRY items (its header lives in the
// frame's state), filled by the send dialog and by the names file import, handed out one by one.
#pragma once

#include <cstdint>

#include "qorsf.h"
#include "qorut.h"

namespace qorsf {

// Position and kind of the hand-out. The position is the 0-based index of the item that
// SF_getphone gives next; every call advances it, also the one that finds no item.
struct RecipientCursor {
    uint32_t position = 0;
    uint16_t kind = 0;
};
RecipientCursor& recipientCursor();

// The list itself (the frame's 24-byte header).
UT_LIST& recipientList();

// Copies the next recipient into entry and sets end = 0; past the last item sets end = 1 and
// leaves entry as it was.
int16_t SF_getphone(uint32_t host, PB_ENTRY* entry, uint16_t* end);
// Empties the list and clears the send dialog's number and name texts.
int16_t SF_clearrecipients(uint32_t host);

}  // namespace qorsf
