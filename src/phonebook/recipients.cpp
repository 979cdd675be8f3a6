// The recipient list's hand-out and clearing.
#include "phonebook/recipients.h"

#include <cstring>

#include "frame/frame.h"

namespace qorsf {

RecipientCursor& recipientCursor() {
    static RecipientCursor c;
    return c;
}

UT_LIST& recipientList() { return frame().recipients; }

int16_t SF_getphone(uint32_t host, PB_ENTRY* entry, uint16_t* end) {
    if (!entry || !end) return UL_E_BADARG;
    RecipientCursor& c = recipientCursor();
    const uint32_t n = c.position + 1;  // list items count from 1
    ++c.position;
    if (n > UT_listcount(&recipientList())) {
        *end = 1;
        return 0;
    }
    if (int16_t st = UT_listget(host, &recipientList(), n, entry, sizeof *entry)) return st;
    *end = 0;
    return 0;
}

int16_t SF_clearrecipients(uint32_t host) {
    int16_t st = UT_listfree(host, &recipientList());
    // Areas 5 and 7 of the global work block: the send dialog's name and number texts.
    for (int i : {4, 6})
        if (char* text = frame().area[i]) std::memset(text, 0, 80);
    return st;
}

}  // namespace qorsf
