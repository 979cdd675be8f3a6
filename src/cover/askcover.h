// The cover page dialog: the user chooses a cover template (or none, and then a header and a
// footer logo), fills the sender and recipient texts, writes or imports a memo and may look at
// the cover page before it is sent. The dialog works on a cover sheet record of its caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qorsf.h"
#include "qorwintypes.h"

namespace qorsf {

// Control ids of the cover page dialog (template 2027 of the language module).
enum : int {
    CV_ACCEPT = 6,          // OK
    CV_HELP = 4,
    CV_PREVIEW = 228,
    CV_RECIPIENTS = 400,    // the frame around the recipient texts
    CV_SENDERA = 403,       // sender name
    CV_SENDERB = 404,       // sender company
    CV_SENDERC = 405,       // sender address
    CV_RECIPIENT1 = 406,    // recipient name
    CV_RECIPIENT2 = 407,    // recipient company
    CV_RECIPIENT3 = 408,    // recipient voice number
    CV_RECIPIENT4 = 409,    // recipient fax number
    CV_MEMO = 416,          // the memo (multi-line edit)
    CV_HEADERLOGO = 417,    // header logo list (drop-down)
    CV_FOOTERLOGO = 418,    // footer logo list (drop-down)
    CV_CLEARMEMO = 420,
    CV_IMPORTMEMO = 421,
    CV_SAVEMEMO = 422,
    CV_TEMPLATES = 424,     // template list
    CV_RECIPIENTLABEL1 = 436,  // the labels of 406-409, hidden with them
};
enum : int16_t {
    SF_NOTPLAINTEXT = 20270,  // a memo file that is not plain text
    SF_BADLOGO = 20271,       // a logo file that cannot be read
};
constexpr uint16_t kCoverDialogTemplate = 2027;
constexpr int16_t kCoverHelp = 595;
constexpr int kMemoLimit = 2048;          // characters of a memo without a template
constexpr int kTemplateMemoLimit = 3199;  // with a template: what the form data block holds

// Runs the cover page dialog over `cover`. Before the dialog, empty sender texts and logos of
// the record are filled from the parameters and its template number becomes the last one
// accepted. `cancelled` gets 1 when the user cancelled (the record keeps those texts), 0 when
// the user accepted: the record then holds the texts, the
// logo paths (in the data directory, empty = none), the template number and the memo (a
// movable block of NUL-terminated text that the record owns from then on; an earlier memo
// block of the record is freed; 0 = no memo). Returns 13071 when the dialog cannot be made,
// or the status that ended the dialog.
int16_t SF_askcover(uint32_t host, COVER_SHEET* cover, uint16_t* cancelled);

// The mode of the running send dialog: 0 for an ordinary send, where the cover page dialog
// shows the recipient texts; otherwise they are hidden (the send flow fills them per
// recipient). The send dialog sets it while it runs.
void SF_setcovermode(int16_t mode);
int16_t SF_covermode();

// The lines of a memo text, whose lines end in CR LF or LF (a last line end makes no line).
std::vector<std::string> SF_memolines(const std::string& text);

// The preview window the dialog has open (null when none); for tests.
HWND SF_coverpreviewwindow();

INT_PTR WN_fsaskcover(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qorsf
