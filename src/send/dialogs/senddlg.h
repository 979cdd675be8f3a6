// The send dialog (templates 2020 and 2077): recipients typed or taken from the phone book and
// the last-numbers buttons, dial options, the schedule fields with their spin controls, and the
// documents panel; and the interactive send flows that run it (SF_wndsend and its two callers).
// The dialog's state is library-wide: one send dialog is up at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorsf.h"
#include "qorut.h"
#include "qorwindow.h"

namespace qorsf {

// Control ids of the send dialog beyond the entry form's (171-177, 193, 194).
enum : int {
    SD_OK = 1,
    SD_CANCEL = 2,        // shows the wait caption while documents or a cover page are listed
    SD_HELP = 4,
    SD_SEPTIME = 90,      // static: the time separator
    SD_SEPDATE1 = 91,     // statics: the date separator
    SD_SEPDATE2 = 92,
    SD_SEPDATE3 = 93,
    SD_SEPTIME2 = 94,     // static: the time separator between minute and second
    SD_PREFIX = 103,
    SD_SUFFIX = 104,
    SD_DATE1 = 105,       // the date fields, left to right (their meaning follows the date order)
    SD_DATE2 = 106,
    SD_DATE3 = 107,
    SD_HOUR = 108,
    SD_MINUTE = 109,
    SD_SECOND = 110,
    SD_TIMESPIN = 111,
    SD_DATESPIN = 112,
    SD_AFTERSEND = 113,   // shows parameter word 2203; not read back
    SD_FINE = 114,
    SD_DELETE = 115,
    SD_NOTE = 116,
    SD_SAVE = 118,        // save the entry fields to the phone book
    SD_COVER = 120,
    SD_ATTACH = 128,
    SD_ASAP = 129,
    SD_SAVEDOCS = 130,
    SD_DOCLIST = 145,
    SD_VIEWER = 146,
    SD_CARD = 147,
    SD_CARDSETUP = 148,
    SD_NOPREFIX = 151,
    SD_NOSUFFIX = 152,
    SD_COUNT = 153,       // the recipient count text
    SD_BOOK = 154,        // the phone book label
    SD_LAST1 = 161,       // the five last-number buttons, 161-165
    SD_LAST5 = 165,
    SD_NEW = 190,
    SD_FROMBOOK = 259,
};

constexpr uint16_t kSendTemplate = 2020;
constexpr uint16_t kSendTemplateAlt = 2077;   // when fax parameter 9 is 1
constexpr UINT_PTR kSendTimer = 20000;
constexpr UINT kMsgAsapChecked = 1124;        // posted to the dialog when SENDASAP is checked
constexpr int16_t kSendHelp = 588;

// Texts of the send dialog.
enum : uint16_t {
    kTextCoverName = 2007,     // the display name of the cover page row (and the text cover layout)
    kTextCardMissing = 2030,
    kTextNoRecipient = 2031,
    kTextWait = 2110,
    kCaptionSend = 2126,
    kTextDefaultName = 2129,
    kTextEmptyEntry = 2131,
    kTextOneRecipient = 2132,  // (format) the count
    kTextRecipients = 2133,    // (format) the count
    kTextSavedToBook = 2134,   // (format) the name
    kTextAttachTitle = 2136,
    kTextBookLabel = 2135,
    kTextNoDocuments = 2223,
};

// The dialog's date-time and the schedule fields' state.
struct ScheduleState {
    SF_DATETIME now{};        // the dialog's date-time
    int32_t century = 0;      // 100 * (current year / 100)
    int32_t baseyear = 0;     // current year % 100
    int16_t dateorder = 2;    // 0 month/day/year, 1 day/month/year, 2 year/month/day
    char datesep[8] = "/";
    char timesep[8] = ":";
    int focusdate = 0;        // the date field the date spin steps (0 = none)
    int focustime = 0;        // the time field the time spin steps (0 = none)
    bool dateEdited = false;
    bool timeEdited = false;
    bool dayCorrected = false;
};

struct SendDialogState {
    uint32_t host = 0;
    SendOptions* options = nullptr;
    HWND window = nullptr;
    char savename[80] = {};       // the name preselected when the dialog opens
    char selectedName[80] = {};   // the name last taken from the combo box's list
    char defaultName[80] = {};    // the name of an entry saved without one (text 2129)
    bool waitMode = false;
    char savedCaption[80] = {};
    bool captionSaved = false;
    bool inCommand = false;
    bool timerActive = false;
    bool edited = false;
    int16_t documentCount = 0;    // the document list's count the timer compares with
    uint16_t documentsPresent = 0;
    HFONT fonts[2] = {};
    ScheduleState schedule;
};
SendDialogState& senddialog();
// Forgets the dialog's state (tests); the recipient list and the defaults are not touched.
void senddialog_reset();

// The date conventions used for the schedule fields: the host's, unless a caller fixed them
// (order -1 = take the host's again).
void SF_setdateconventions(int16_t order, const char* datesep, const char* timesep);

// ---- The send flows
int16_t SF_wndsend(uint32_t host, uint16_t flags);
int16_t SF_sendfolder(uint32_t host, uint32_t unused);
int16_t SF_wnddsend(uint32_t host, const char* file, int16_t pages);
int16_t SF_getphoneopen(uint32_t host, SendOptions* options, uint16_t flags, int16_t* recipientCount,
                        int16_t* haveDocuments);

// ---- The dialog
INT_PTR WN_fsgetphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int16_t SF_GPinitdlg(uint32_t host, HWND window);
// 0 = a name and no number, 1 = a valid number (or nothing typed), 9 = an invalid number.
int16_t SF_getphoneentry(uint32_t host, HWND window, char* number /* 80 */, char* name /* 80 */);
int16_t SF_addentrytolist(uint32_t host, const char* number, const char* name, const char* company,
                          const char* voice, UT_LIST* list);
int16_t SF_findentry(uint32_t host, const char* name, const char* number, UT_LIST* list);
int16_t SF_putlistintobox(uint32_t host, HWND window, UT_LIST* list);
int16_t SF_setnamelist(uint32_t host, HWND window);
int16_t SF_apsetcurinfo(uint32_t host, HWND window, int index);
int16_t SF_showrecipientcount(uint32_t host, HWND window);
int16_t SF_addfromphonebook(uint32_t host, HWND window, UT_LIST* list);

// ---- The schedule fields
int16_t SF_getdateformat(uint32_t host);
int SF_datefieldid(int kind);   // kind 0 day, 1 month, 2 year
int SF_datefieldkind(int id);   // -1 for a control that is no date field
int SF_daysinmonth(int year, int month);
int16_t SF_setdatespinrange(uint32_t host, HWND window, SF_DATETIME* datetime);
int16_t SF_settimespinrange(uint32_t host, HWND window, SF_DATETIME* datetime);
int16_t SF_checkdayofmonth(uint32_t host, HWND window, SF_DATETIME* datetime);
int16_t SF_showdatetime(uint32_t host, HWND window, const SF_DATETIME* datetime);
int16_t SF_readdatetime(uint32_t host, HWND window, SF_DATETIME* datetime);
int16_t SF_checkdatetime(uint32_t host, HWND window, bool enable);
int32_t SF_yearfromfield(uint32_t host, HWND window, int id);
void SF_showfield(uint32_t host, HWND window, int id, int32_t value, int32_t add, std::size_t width);
// The schedule's share of the dialog: the separators, the fields set up for `now`, and the
// commands of 105-112 (true when handled).
void SF_setupschedule(uint32_t host, HWND window);
bool SF_schedulecommand(uint32_t host, HWND window, int id, int code);

// ---- The documents panel
int16_t SF_apaskcover(uint32_t host, HWND window, bool silent);
int16_t SF_filldoclist(uint32_t host, HWND window);
void SF_viewselfiles(uint32_t host, HWND window, int row);
int16_t SF_savefilesinlist(uint32_t host, HWND window);
void SF_setwaitbutton(uint32_t host, HWND window, bool on);
// The path part of row `row` of the list box (empty when none).
bool SF_rowpath(HWND window, int row, char* path, std::size_t size);
bool SF_iscoverrow(HWND window, int row);
// The attach command: the user chooses a document for the document list; the rows follow.
int16_t SF_attachcommand(uint32_t host, HWND window);

}  // namespace qorsf
