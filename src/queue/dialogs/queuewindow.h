// The queue window (template 2044): a modeless window that lists the jobs of the send queue,
// newest first, with a status icon, and runs the job actions of jobs.h and actions.h on the
// selected lines. The details window of one job (template 2045).
#pragma once

#include <cstdint>
#include <vector>

#include "qorsf.h"
#include "qorwindow.h"

namespace qorsf {

// Control ids of the queue window.
enum : int {
    QW_DONE = 1,           // close button once the window changed something
    QW_CLOSE = 2,          // close button while nothing was changed
    QW_HELP = 4,
    QW_SENDHINT = 7,       // disabled by Send documents
    QW_DELETE = 11,
    QW_SAVE = 12,
    QW_PRINT = 13,
    QW_DETAILS = 14,
    QW_HEADER = 70,        // the column headings: the list's font
    QW_JOBSLABEL = 105,    // enabled once the list holds lines
    QW_LIST = 110,
    QW_BOOKTEXT = 134,     // hidden unless another phone book file is offered
    QW_PRINTLIST = 200,
    QW_VIEW = 228,
    QW_NUMBER = 250,       // shares its place with Send now
    QW_HOLD = 251,         // shares its place with Release
    QW_SENDALL = 252,
    QW_PURGE = 253,
    QW_SENDNOW = 254,
    QW_RELEASE = 255,
    QW_RESEND = 256,
    QW_ADDDOCS = 257,
    QW_SENDDOCS = 258,
    QW_UPDATE = 694,       // update the buttons
};

// Control ids of the details window.
enum : int {
    QD_OUTCOME = 112,
    QD_BITRATE = 113,
    QD_STATUS = 114,
    QD_CODE = 116,
    QD_SENDTIME = 117,
    QD_ERROR = 118,
    QD_ERRORTEXT = 119,
    QD_NUMBER = 120,
    QD_PAGESSENT = 121,
    QD_TRIES = 122,
    QD_CALLS = 124,
    QD_JOB = 125,
    QD_JOBFILE = 126,
    QD_SENDER = 127,
    QD_RECIPIENT = 128,
    QD_PAGES = 129,
};

constexpr uint16_t kQueueWindowTemplate = 2044;
constexpr uint16_t kQueueDetailsTemplate = 2045;
constexpr int16_t kQueueWindowHelp = 597;
constexpr int kQueueWindowMost = 1000;       // lines the window lists at most
constexpr WPARAM kSendDocumentsRequest = 631; // wParam of WM_USER to the host: send the documents
constexpr int16_t SF_E_NOJOBS = 20310;        // the queue window found nothing to list

// One listed record. The full job number (up to twelve digits) is kept, so that two jobs whose
// lowest five digits agree are never taken for one another.
struct QueueEntry {
    uint64_t job = 0;
    uint16_t status = 0;  // its status when listed or last changed
    uint16_t mark = 0;    // 'A' when its control file is missing or its pages were added
};

// Library-wide state of the queue window (one a process; tests read it).
struct QueueWindowState {
    HWND window = nullptr;
    uint32_t host = 0;
    std::vector<QueueEntry> entries;  // in walk order: entry k is line (count - 1 - k)
    uint16_t failed = 0, busyCount = 0, waiting = 0;
    unsigned char snapshot[12] = {};
    QUEUE_RECORD record{};            // the record every command works on
    bool busy = false;
    int changed = 0;                  // 0 at open, 1 after a change, 2 once the close button switched
    bool notify = false;              // the window changed the queue: the host hears at the end
    int caret = 0;
    std::vector<int> selection;       // taken at the start of every command and refresh
    HICON happy = nullptr, sad = nullptr;
    HFONT font = nullptr;
    int refreshes = 0;                // refreshes done since the window opened
};
QueueWindowState& queuewindow();
void queuewindow_reset();

int16_t SF_wndqueue(uint32_t host, HWND* window);
INT_PTR WN_fsqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// lParam of WM_INITDIALOG: the record to show (null: the queue window's record).
INT_PTR WN_fsdispqueuerec(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the details window over `owner`: 0, 13000 when cancelled, 13071 when it cannot be made.
int16_t SF_queuedetails(uint32_t host, HWND owner, const QUEUE_RECORD* record);

// The text of one list line: a blank, a tab, then the recipient, the number and the status text,
// each fitted to its column, and the send time. `dc` measures with the list's font.
int16_t SF_queueline(uint32_t host, HDC dc, const QUEUE_RECORD& record, char* line, std::size_t size);

}  // namespace qorsf
