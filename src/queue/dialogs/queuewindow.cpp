// The queue window: SF_wndqueue and its window procedure WN_fsqueue.
//
// The list shows the queue's records in the reverse of the walk order (the newest line on top),
// one entry of the entry table per line: entry k belongs to line (count - 1 - k). Every
// command takes the selection afresh, reads the records it acts on afresh and hands them to the
// job actions (jobs.h, actions.h), which decide on the status they find then.
#include "queue/dialogs/queuewindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "frame/services/guards.h"
#include "phonebook/phonebook.h"
#include "qorbd.h"
#include "qoricon.h"
#include "qorlib2.h"
#include "qorut.h"
#include "qorux.h"
#include "qorvq.h"
#include "qorwingdi.h"
#include "queue/actions.h"
#include "queue/jobs.h"
#include "queue/queue.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr uint16_t kAskDelete = 2234;
constexpr uint16_t kAskPurge = 2020;
constexpr uint16_t kListFull = 2094;
constexpr uint16_t kAsSoonAsPossible = 2095;
constexpr uint16_t kNumberPrompt = 2121;
constexpr uint16_t kNumberTitle = 2122;
constexpr std::size_t kLineSize = 160;
constexpr int kItemHeight = 18;  // the 16-pixel icons and a line of the list font

// Column stops in dialog units: the icon sits before the first, the send time after the last.
constexpr int kStops[4] = {12, 126, 216, 260};
constexpr int kStopsDbcs[4] = {12, 76, 156, 210};

// The controls that act on the record of the caret line.
constexpr int kRecordCommands[] = {QW_DETAILS, QW_DELETE, QW_SAVE, QW_PRINT, QW_VIEW};

const int* columnStops() {
    static const int* stops = GetSystemMetrics(SM_DBCSENABLED) ? kStopsDbcs : kStops;  // decided once
    return stops;
}

int stopPixels(int stop) { return stop * static_cast<int>(GetDialogBaseUnits() & 0xFFFF) / 4; }

void enable(HWND w, int id, bool on) { EnableWindow(GetDlgItem(w, id), on ? TRUE : FALSE); }
void show(HWND w, int id, bool on) { ShowWindow(GetDlgItem(w, id), on ? SW_SHOW : SW_HIDE); }
LRESULT send(HWND w, int id, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendDlgItemMessageA(w, id, m, wp, lp); }
int lineCount(HWND w) { return static_cast<int>(send(w, QW_LIST, LB_GETCOUNT)); }

bool listed(uint16_t s) { return s != 'D' && s != 'a' && s != 'e'; }

std::string field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

// The entry of a line, or null.
QueueEntry* entryOf(int line) {
    QueueWindowState& q = queuewindow();
    const int k = static_cast<int>(q.entries.size()) - 1 - line;
    if (line < 0 || k < 0) return nullptr;
    return &q.entries[static_cast<std::size_t>(k)];
}

// The selection and the caret line as the list has them now.
void takeSelection(HWND w) {
    QueueWindowState& q = queuewindow();
    q.selection.clear();
    const int n = static_cast<int>(send(w, QW_LIST, LB_GETSELCOUNT));
    if (n > 0) {
        q.selection.resize(static_cast<std::size_t>(n));
        const int got = static_cast<int>(send(w, QW_LIST, LB_GETSELITEMS, static_cast<WPARAM>(n),
                                              reinterpret_cast<LPARAM>(q.selection.data())));
        q.selection.resize(static_cast<std::size_t>(std::max(got, 0)));
        std::sort(q.selection.begin(), q.selection.end());
    }
    const LRESULT caret = send(w, QW_LIST, LB_GETCARETINDEX);
    q.caret = caret < 0 ? 0 : static_cast<int>(caret);
}

// The record of a line, read afresh into the window's record buffer.
int16_t readLine(int line) {
    QueueWindowState& q = queuewindow();
    const QueueEntry* e = entryOf(line);
    if (!e) return VQ_E_NOJOB;
    std::memset(&q.record, 0, sizeof q.record);
    // The queue finds a job by its lowest five digits: the newest of them. An older job of the
    // same five digits is looked for by its full number.
    if (VQ_readjob(q.host, static_cast<uint32_t>(e->job % 100000), &q.record) == 0 && SF_jobnumber(q.record) == e->job)
        return 0;
    bool found = false;
    if (int16_t st = SF_findjob(q.host, e->job, &q.record, &found)) return st;
    return found ? 0 : VQ_E_NOJOB;
}

// The changed state: the first change switches the close button from 2 to 1.
void noteChange(HWND w) {
    QueueWindowState& q = queuewindow();
    if (q.changed == 0) q.changed = 1;
    if (q.changed == 1) {
        enable(w, QW_DONE, true);
        show(w, QW_DONE, true);
        show(w, QW_CLOSE, false);
        enable(w, QW_CLOSE, false);
        q.changed = 2;
    }
}

void postHost(UINT message, WPARAM wParam = 0) {
    HWND host = nullptr;
    if (UL_getwindow(queuewindow().host, kNotifyWindow, &host) == 0 && host) PostMessageA(host, message, wParam, 0);
}

// ---- Buttons

void updateButtons(HWND w) {
    QueueWindowState& q = queuewindow();
    const uint32_t host = q.host;
    int16_t board = 1;
    // A board value that cannot be read is taken as a board that cannot send now.
    const bool sendNowAllowed = BD_getvalue(host, 5207, 1, &board) == 0 && board != 0 && board != 4;
    const QueueEntry* e = entryOf(q.caret);
    bool allowed = false;
    if (!e || lineCount(w) == 0) {
        // Nothing listed: nothing to act on.
        for (int id : kRecordCommands) enable(w, id, false);
        for (int id : {QW_NUMBER, QW_HOLD, QW_SENDNOW, QW_RELEASE}) enable(w, id, false);
    } else {
        const uint16_t s = e->status;
        bool known = true;
        bool details = false, hold = false, number = false, sendnow = false, release = false;
        bool showSendNow = false, showRelease = false;
        switch (s) {
            case 'A': case 'E': case 'S': details = true; number = true; allowed = true; break;
            case 'D': case 'I': break;
            case 'Q': case 'W':
                details = true, hold = true, sendnow = sendNowAllowed, showSendNow = sendNowAllowed, allowed = true;
                break;
            case 'U': details = true, release = true, showRelease = true, allowed = true; break;
            case 'X': details = true, hold = true, showSendNow = sendNowAllowed, allowed = true; break;
            default: known = false;
        }
        if (known) {
            for (int id : kRecordCommands) enable(w, id, id == QW_DETAILS || id == QW_DELETE ? details : allowed);
            enable(w, QW_HOLD, hold);
            enable(w, QW_NUMBER, number);
            enable(w, QW_SENDNOW, sendnow);
            enable(w, QW_RELEASE, release);
            show(w, QW_SENDNOW, showSendNow);
            show(w, QW_NUMBER, !showSendNow);
            show(w, QW_RELEASE, showRelease);
            show(w, QW_HOLD, !showRelease);
        }
    }
    enable(w, QW_PURGE, q.busyCount < 1);
    enable(w, QW_SENDALL, q.waiting > 0);
    enable(w, QW_RESEND, q.failed > 0);
    int16_t docs = 0;
    FN_doccount(host, &docs);
    enable(w, QW_ADDDOCS, allowed && e && (e->mark != 'A' || docs == 0));
    enable(w, QW_SENDDOCS, docs != 0);
}

// ---- Lines

int16_t buildLine(HDC dc, const QUEUE_RECORD& r, char* line) {
    return SF_queueline(queuewindow().host, dc, r, line, kLineSize);
}

// A DC of the list with the list's font selected, released on every path.
class ListDC {
public:
    explicit ListDC(HWND w) : list_(GetDlgItem(w, QW_LIST)), dc_(GetDC(list_)) {
        const auto font = reinterpret_cast<HGDIOBJ>(SendMessageA(list_, WM_GETFONT, 0, 0));
        if (font) old_ = SelectObject(dc_, font);
    }
    ~ListDC() {
        if (old_) SelectObject(dc_, old_);
        ReleaseDC(list_, dc_);
    }
    ListDC(const ListDC&) = delete;
    ListDC& operator=(const ListDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND list_;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// The caret line gets a new text after its record changed; its selection stays.
void replaceLine(HWND w, int line, const QUEUE_RECORD& r) {
    char text[kLineSize];
    {
        ListDC dc(w);
        if (buildLine(dc.get(), r, text) != 0) return;
    }
    const bool selected = send(w, QW_LIST, LB_GETSEL, static_cast<WPARAM>(line)) > 0;
    send(w, QW_LIST, LB_DELETESTRING, static_cast<WPARAM>(line));
    send(w, QW_LIST, LB_INSERTSTRING, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text));
    if (selected) send(w, QW_LIST, LB_SETSEL, TRUE, line);
}

// ---- Refresh

int16_t fill(HWND w) {
    QueueWindowState& q = queuewindow();
    const uint32_t host = q.host;
    send(w, QW_LIST, LB_RESETCONTENT);
    UL_waitcursor(host, 1);
    q.failed = q.busyCount = q.waiting = 0;
    q.entries.clear();
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    unsigned char* cursor = queueState().cursor;  // the module cursor
    std::memset(cursor, 0, VQ_CURSORSIZE);
    if (int16_t st = VQ_openqueue(host, cursor)) return st;
    int16_t status = 0;
    std::vector<std::string> texts;  // the line of each entry
    texts.reserve(kQueueWindowMost);
    {
        ListDC dc(w);
        char line[kLineSize];
        for (;;) {
            QUEUE_RECORD r;
            std::memset(&r, 0, sizeof r);
            int16_t found = 0;
            if ((status = VQ_readnext(host, cursor, &r, &found)) != 0 || !found) break;
            if (!listed(r.status)) continue;
            if ((status = buildLine(dc.get(), r, line)) != 0) break;
            if (q.entries.size() >= static_cast<std::size_t>(kQueueWindowMost)) {
                UL_message(host, kLangModule, kListFull);
                break;
            }
            QueueEntry e;
            e.job = SF_jobnumber(r);
            e.status = r.status;
            char path[UL_MAXPATH] = {};
            int16_t exists = 0;
            if (UL_strcopy(path, field(r.jobfile, sizeof r.jobfile).c_str()) == 0 && path[0] &&
                (!UL_isbarename(path) || UL_fullpath(host, path, sizeof path) == 0))
                UL_fileexists(path, &exists);
            e.mark = exists ? 0 : 'A';
            q.entries.push_back(e);
            texts.emplace_back(line);
        }
    }
    VQ_closequeue(host, cursor);
    lock.release();
    // The lines go in newest first, each appended: the list shows the walk reversed.
    for (std::size_t i = texts.size(); i-- > 0;) {
        const LRESULT at = send(w, QW_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i].c_str()));
        if (at == LB_ERRSPACE || at == LB_ERR) {
            // The list is full: the entries whose lines did not go in are dropped.
            UL_message(host, kLangModule, kListFull);
            q.entries.erase(q.entries.begin(), q.entries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            break;
        }
    }
    for (const QueueEntry& e : q.entries) {
        if (e.status == 'A' || e.status == 'E') ++q.failed;
        if (e.status == 'I') ++q.busyCount;
        if (e.status == 'Q' || e.status == 'W') ++q.waiting;
    }
    queueState().cache.waiting = q.waiting;
    return status;
}

int16_t refresh(HWND w) {
    QueueWindowState& q = queuewindow();
    q.busy = true;
    // The lines selected now are selected again afterwards (by their place in the list).
    if (lineCount(w) > 0) takeSelection(w);
    const std::vector<int> previous = q.selection;
    ++q.refreshes;
    int16_t st = fill(w);
    const int count = lineCount(w);
    if (st == 0 && count == 0) st = SF_E_NOJOBS;
    if (count > 0) {
        if (q.caret < 0) q.caret = 0;
        if (q.caret >= count) q.caret = count - 1;
        enable(w, QW_JOBSLABEL, true);
        if (previous.empty()) {
            send(w, QW_LIST, LB_SETSEL, TRUE, 0);
            q.caret = 0;
        } else {
            for (int i : previous)
                if (i < count) send(w, QW_LIST, LB_SETSEL, TRUE, i);
        }
        send(w, QW_LIST, LB_SETCARETINDEX, static_cast<WPARAM>(q.caret));
    } else {
        enable(w, QW_JOBSLABEL, false);
    }
    UL_waitcursor(q.host, 0);
    updateButtons(w);
    SetFocus(GetDlgItem(w, QW_LIST));
    q.busy = false;
    UX_dialogready(q.host, w);
    return st;
}

void showFailure(int16_t st) {
    if (st == 0 || st == SF_CANCELLED) return;
    UL_waitcursor(queuewindow().host, 0);
    MessageBeep(0);
    UT_showerror(queuewindow().host, st);
}

// ---- Commands

void closeWindow(HWND w) {
    PostMessageA(w, WM_CLOSE, 0, 0);
    UX_closedialog(queuewindow().host, w);
}

// Lines of the selection whose entries have the status, from the last up.
int16_t deleteJobs(HWND w) {
    QueueWindowState& q = queuewindow();
    if (q.selection.empty()) return 0;
    int16_t yes = 0;
    if (int16_t st = UL_askyesno(q.host, kLangModule, kAskDelete, &yes)) return st;
    if (yes != 1) return SF_CANCELLED;
    queueState().dirty = true;
    for (auto it = q.selection.rbegin(); it != q.selection.rend(); ++it) {
        const int line = *it;
        if (int16_t st = readLine(line)) return st;
        // A job the engine is sending just now keeps its files: its call still needs them.
        if (q.record.status == 'I') continue;
        if (int16_t st = SF_deletejob(q.host, &q.record)) return st;
        const int k = static_cast<int>(q.entries.size()) - 1 - line;
        q.entries.erase(q.entries.begin() + k);
        send(w, QW_LIST, LB_DELETESTRING, static_cast<WPARAM>(line));
    }
    if (lineCount(w) == 0) {
        closeWindow(w);
        return 0;
    }
    send(w, QW_LIST, LB_SETSEL, FALSE, -1);
    send(w, QW_LIST, LB_SETSEL, TRUE, 0);
    send(w, QW_LIST, LB_SETCARETINDEX, 0);
    q.caret = 0;
    updateButtons(w);
    postHost(kQueueMessage);
    return 0;
}

// Hold, Release and Send now on each selected line; the job action decides on the status.
int16_t recordAction(HWND w, JobAction action) {
    QueueWindowState& q = queuewindow();
    if (action != JobAction::Release) queueState().dirty = true;
    for (int line : q.selection) {
        if (int16_t st = readLine(line)) return st;
        bool changed = false;
        if (int16_t st = SF_jobaction(q.host, &q.record, action, &changed)) return st;
        if (QueueEntry* e = entryOf(line)) e->status = q.record.status;
        if (changed) replaceLine(w, line, q.record);
    }
    send(w, QW_LIST, LB_SETCARETINDEX, static_cast<WPARAM>(q.caret));
    updateButtons(w);
    return 0;
}

int16_t changeNumbers(HWND w) {
    QueueWindowState& q = queuewindow();
    const uint32_t host = q.host;
    char prompt[128] = {};
    char format[128] = {};
    if (int16_t st = UL_loadstring(host, prompt, kLangModule, kNumberPrompt)) return st;
    if (int16_t st = UL_loadstring(host, format, kLangModule, kNumberTitle)) return st;
    for (int line : q.selection) {
        if (int16_t st = readLine(line)) return st;
        const uint16_t s = q.record.status;
        if (s != 'S' && s != 'A' && s != 'E') continue;  // only a sent or failed job gets a new number
        char title[256] = {};
        wsprintfA(title, format, field(q.record.recipient, sizeof q.record.recipient).c_str());
        char path[UL_MAXPATH] = {};
        UL_strcopy(path, field(q.record.jobfile, sizeof q.record.jobfile).c_str());
        if (UL_isbarename(path))
            if (int16_t st = UL_fullpath(host, path, sizeof path)) return st;
        char dial[256] = {};
        if (int16_t st = SF_changebatchphone(host, path, dial, sizeof dial)) return st;
        char prefix[256] = {}, suffix[256] = {}, number[256] = {};
        if (SF_decodephonenum(host, dial, prefix, suffix, number) != 0) UL_strcopy(number, dial);
        char edited[sizeof q.record.number] = {};
        UL_strcopy(edited, number);
        if (int16_t st = UT_askstring(host, w, prompt, edited, sizeof edited, title)) return st;
        if (int16_t st = SF_changejobnumber(host, &q.record, edited)) return st;
    }
    postHost(kQueueMessage);
    const int16_t st = refresh(w);
    return st == SF_E_NOJOBS ? 0 : st;
}

int16_t addDocuments(HWND w) {
    QueueWindowState& q = queuewindow();
    int16_t before = 0;
    if (int16_t st = FN_doccount(q.host, &before)) return st;
    int16_t added = 0;
    int16_t st = 0;
    for (int line : q.selection) {
        if ((st = readLine(line)) != 0) break;
        if ((st = SF_addqueuetofolder(q.host, &q.record)) != 0) break;
        ++added;
    }
    if (added > 0) {
        FN_selectdoc(q.host, static_cast<int16_t>(before + added));
        int16_t changed = 0;
        FN_docschanged(q.host, &changed);
        if (QueueEntry* e = entryOf(q.caret)) e->mark = 'A';
    }
    updateButtons(w);
    return st;
}

int16_t printJobs() {
    QueueWindowState& q = queuewindow();
    std::vector<QUEUE_RECORD> records;
    for (int line : q.selection) {
        if (int16_t st = readLine(line)) return st;
        records.push_back(q.record);
    }
    return SF_printjobs(q.host, records);
}

int16_t details(HWND w) {
    QueueWindowState& q = queuewindow();
    if (int16_t st = readLine(q.caret)) return st;
    const int16_t st = SF_queuedetails(q.host, w, &q.record);
    send(w, QW_LIST, LB_SETSEL, TRUE, q.caret);
    return st;
}

INT_PTR command(HWND w, int id, int code) {
    QueueWindowState& q = queuewindow();
    if (q.busy) return TRUE;
    if (id == QW_LIST && code != LBN_SELCHANGE && code != LBN_DBLCLK) return TRUE;
    q.busy = true;
    takeSelection(w);
    const uint32_t host = q.host;
    int16_t st = 0;
    bool changes = false;
    bool focusList = id >= QW_NUMBER && id <= QW_SENDDOCS;
    switch (id) {
        case QW_DONE:
        case QW_CLOSE:
            closeWindow(w);
            break;
        case QW_HELP: UT_help(host, w, kQueueWindowHelp); break;
        case QW_DELETE:
            changes = true;
            q.notify = true;
            st = deleteJobs(w);
            break;
        case QW_SAVE:
            changes = true;
            if ((st = readLine(q.caret)) == 0) st = SF_savefax(host, w, &q.record);
            break;
        case QW_PRINT:
            changes = true;
            st = printJobs();
            break;
        case QW_DETAILS: st = details(w); break;
        case QW_LIST:
            if (code == LBN_SELCHANGE) updateButtons(w);
            if (code == LBN_DBLCLK && IsWindowEnabled(GetDlgItem(w, QW_ADDDOCS))) {
                changes = true;
                st = addDocuments(w);
            }
            break;
        case QW_PRINTLIST:
            changes = true;
            UL_waitcursor(host, 1);
            st = SF_queuereport(host, nullptr);
            UL_waitcursor(host, 0);
            break;
        case QW_VIEW:
            changes = true;
            if ((st = readLine(q.caret)) == 0) st = SF_viewfax(host, w, &q.record);
            break;
        case QW_NUMBER:
            changes = q.notify = true;
            st = changeNumbers(w);
            break;
        case QW_HOLD:
            changes = q.notify = true;
            st = recordAction(w, JobAction::Hold);
            break;
        case QW_SENDALL: {
            changes = q.notify = true;
            queueState().dirty = true;
            uint32_t n = 0;
            st = SF_sendallnow(host, &n);
            break;
        }
        case QW_PURGE: {
            changes = q.notify = true;
            int16_t yes = 0;
            st = UL_askyesno(host, kLangModule, kAskPurge, &yes);
            if (st == 0 && yes != 1) st = SF_CANCELLED;
            uint32_t purged = 0;
            if (st == 0) st = SF_purgejobs(host, &purged);
            if (st == 0) {
                postHost(kQueueMessage);
                closeWindow(w);
                focusList = false;
            }
            break;
        }
        case QW_SENDNOW:
            changes = q.notify = true;
            st = recordAction(w, JobAction::SendNow);
            break;
        case QW_RELEASE:
            changes = q.notify = true;
            st = recordAction(w, JobAction::Release);
            break;
        case QW_RESEND: {
            changes = q.notify = true;
            uint32_t n = 0;
            st = SF_resendfailed(host, &n);
            if (st == 0) {
                postHost(kQueueMessage);
                q.busy = false;
                st = refresh(w);
                if (st == SF_E_NOJOBS) st = 0;
            }
            break;
        }
        case QW_ADDDOCS:
            changes = true;
            st = addDocuments(w);
            break;
        case QW_SENDDOCS:
            changes = true;
            enable(w, QW_SENDHINT, false);
            postHost(WM_USER, kSendDocumentsRequest);
            for (QueueEntry& e : q.entries) e.mark = 0;
            updateButtons(w);
            break;
        case QW_UPDATE: updateButtons(w); break;
        default:
            q.busy = false;
            return FALSE;
    }
    if (changes && IsWindow(w)) noteChange(w);
    if (st) showFailure(st);
    if (focusList && IsWindow(w) && IsWindowVisible(w)) SetFocus(GetDlgItem(w, QW_LIST));
    q.selection.clear();
    q.busy = false;
    return TRUE;
}

// ---- Drawing a line

void drawItem(const DRAWITEMSTRUCT* di) {
    QueueWindowState& q = queuewindow();
    if (!di || di->CtlID != static_cast<UINT>(QW_LIST)) return;
    char text[kLineSize] = {};
    const int item = static_cast<int>(di->itemID);
    if (item >= 0 &&
        SendMessageA(di->hwndItem, LB_GETTEXTLEN, di->itemID, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(di->hwndItem, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(text));
    const bool selected = (di->itemState & ODS_SELECTED) != 0;
    const bool focused = (di->itemState & ODS_FOCUS) != 0;
    COLORREF fore = RGB(0, 0, 0), back = RGB(255, 255, 255);
    if (selected) {
        fore = RGB(255, 255, 255);
        back = focused ? 0xFF0000 : 0x800000;  // blue-green-red order: blue, dark blue
    }
    const COLORREF oldFore = SetTextColor(di->hDC, fore);
    const COLORREF oldBack = SetBkColor(di->hDC, back);
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(di->hDC, &di->rcItem, brush);
    int stops[4];
    for (int i = 0; i < 4; ++i) stops[i] = stopPixels(columnStops()[i]);
    TabbedTextOutA(di->hDC, di->rcItem.left, di->rcItem.top, text, static_cast<int>(std::strlen(text)), 4, stops,
                   di->rcItem.left);
    if (const QueueEntry* e = entryOf(item)) {
        HICON icon = e->status == 'A' || e->status == 'E' ? q.sad : e->status == 'S' ? q.happy : nullptr;
        if (icon) DrawIcon(di->hDC, di->rcItem.left, di->rcItem.top, icon);
    }
    if (focused) DrawFocusRect(di->hDC, &di->rcItem);
    SetTextColor(di->hDC, oldFore);
    SetBkColor(di->hDC, oldBack);
    DeleteObject(reinterpret_cast<HGDIOBJ>(brush));
}

// ---- Opening and closing

INT_PTR initDialog(HWND w) {
    QueueWindowState& q = queuewindow();
    const uint32_t host = q.host;
    UX_initdialog(host, w);
    q.changed = 0;
    q.notify = false;
    q.busy = false;
    q.entries.clear();
    q.entries.reserve(kQueueWindowMost);
    q.selection.clear();
    q.refreshes = 0;
    q.happy = IC_loadicon("QORHAPPY");
    q.sad = IC_loadicon("QORSAD");
    std::memset(q.snapshot, 0, sizeof q.snapshot);
    int16_t changed = 0;
    VQ_queuechanged(host, q.snapshot, &changed);
    enable(w, QW_DONE, false);
    show(w, QW_DONE, false);
    enable(w, QW_CLOSE, true);
    show(w, QW_CLOSE, true);
    HFONT font = nullptr;
    if (UT_makefont(host, "", 12, 6, 200, 0, &font) == 0) {
        q.font = font;
        send(w, QW_HEADER, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    int16_t offered = 0;
    if (FN_option(host, 1000, &offered) != 0 || offered == 0) {
        show(w, QW_BOOKTEXT, false);
    } else {
        char path[80] = {};
        SF_getphonebookpath(host, path);
        SetDlgItemTextA(w, QW_BOOKTEXT, path);
    }
    int stops[4];
    for (int i = 0; i < 4; ++i) stops[i] = columnStops()[i];
    send(w, QW_LIST, LB_SETTABSTOPS, 4, reinterpret_cast<LPARAM>(stops));
    q.caret = 0;
    showFailure(refresh(w));
    return FALSE;  // the refresh gave the list the focus
}

void destroyed() {
    QueueWindowState& q = queuewindow();
    q.entries.clear();
    q.entries.shrink_to_fit();
    q.selection.clear();
    if (q.notify) postHost(kQueueMessage);
    q.notify = false;
    if (q.font) DeleteObject(reinterpret_cast<HGDIOBJ>(q.font));
    q.font = nullptr;
    q.happy = q.sad = nullptr;  // shared icons: nothing to free
    q.window = nullptr;
}

}  // namespace

QueueWindowState& queuewindow() {
    static QueueWindowState s;
    return s;
}

void queuewindow_reset() {
    QueueWindowState& q = queuewindow();
    if (q.window && IsWindow(q.window)) DestroyWindow(q.window);
    q = QueueWindowState{};
}

int16_t SF_queueline(uint32_t host, HDC dc, const QUEUE_RECORD& r, char* line, std::size_t size) {
    if (!line || size == 0) return UL_E_BADARG;
    const int* stops = columnStops();
    auto width = [&](int i) { return stopPixels(stops[i + 1]) - stopPixels(stops[i]); };
    char stored[sizeof r.number + 1] = {};
    std::memcpy(stored, r.number, sizeof r.number);
    char prefix[256] = {}, suffix[256] = {}, number[256] = {};
    if (SF_decodephonenum(host, stored, prefix, suffix, number) != 0) UL_strcopy(number, stored);
    char status[80] = {};
    if (int16_t st = VQ_statustext(host, r.status, status, sizeof status)) return st;
    char when[40] = {};
    const SF_DATETIME& t = r.sendtime;
    if (!t.year && !t.month && !t.day && !t.hour && !t.minute && !t.second) {
        if (int16_t st = UL_loadstring(host, when, kLangModule, kAsSoonAsPossible)) return st;
    } else {
        // The date with the year's last two digits, a blank and the time.
        char full[40] = {};
        if (int16_t st = UL_fmtdatetime(host, &t, full, sizeof full)) return st;
        UL_strcopy(when, std::strlen(full) > 2 ? full + 2 : full);
    }
    char name[kLineSize], num[kLineSize], stat[kLineSize];
    UX_fittext(host, dc, field(r.recipient, sizeof r.recipient).c_str(), width(0), name, sizeof name);
    UX_fittext(host, dc, number, width(1), num, sizeof num);
    UX_fittext(host, dc, status, width(2), stat, sizeof stat);
    const std::string text = std::string(" \t") + name + num + stat + when;
    UL_strcopy(line, size, text.c_str());
    return 0;
}

INT_PTR WN_fsqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    QueueWindowState& q = queuewindow();
    switch (message) {
        case WM_INITDIALOG: return initDialog(window);
        case WM_COMMAND: return command(window, LOWORD(wParam), HIWORD(wParam));
        case WM_TIMER:
            if (!q.busy) {
                int16_t changed = 0;
                if (VQ_queuechanged(q.host, q.snapshot, &changed) == 0 && changed) {
                    const int16_t st = refresh(window);
                    if (st != SF_E_NOJOBS) showFailure(st);
                }
            }
            return TRUE;
        case kQueueMessage:
            if (!q.busy) {
                int16_t changed = 0;
                VQ_queuechanged(q.host, q.snapshot, &changed);  // this refresh covers the change
                showFailure(refresh(window));
            }
            return TRUE;
        case WM_MEASUREITEM:
            if (auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)) mi->itemHeight = kItemHeight;
            return TRUE;
        case WM_DRAWITEM: drawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
        case WM_ACTIVATE:
            UX_activate(q.host, window, wParam, 99);
            return TRUE;
        case WM_PAINT: return UX_paintdialog(q.host, window, 20, 22);
        case WM_ERASEBKGND: return UX_erasebkgnd(q.host, window, wParam);
        case WM_CLOSE:
            DestroyWindow(window);
            return TRUE;
        case WM_DESTROY:
            if (window == q.window) destroyed();
            return TRUE;
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

int16_t SF_wndqueue(uint32_t host, HWND* window) {
    if (window) *window = nullptr;
    QueueWindowState& q = queuewindow();
    if (q.window && IsWindow(q.window)) DestroyWindow(q.window);
    q.window = nullptr;
    q.host = host;
    HWND owner = nullptr;
    if (int16_t st = UL_getwindow(host, kNotifyWindow, &owner)) return st;
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    // The window is known before its first message: its refresh and drawing look it up.
    HWND w = CreateDialogParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                MAKEINTRESOURCEA(kQueueWindowTemplate), owner, ::WN_fsqueue, 0);
    if (!w) return SF_NODIALOG;
    q.window = w;
    ShowWindow(w, SW_SHOW);
    if (window) *window = w;
    return 0;
}

}  // namespace qorsf
