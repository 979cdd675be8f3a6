// The send dialog's procedure: the recipients (typed into the entry form, taken from the
// phone book's names, from the last-numbers buttons or from the recipient chooser), the dial
// options, the schedule and the documents panel; OK fills the recipient list and the send
// options, Cancel leaves both as they were.
#include <strings.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "ccard/ccard.h"
#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "phonebook/recipients.h"
#include "qorlib2.h"
#include "send/dialogs/senddlg.h"
#include "send/send.h"

namespace qorsf {

namespace {

bool isChecked(HWND w, int id) { return IsDlgButtonChecked(w, id) == BST_CHECKED; }

// The controls are written by the program: their notifications are not the user's edits.
struct Writing {
    Writing() { ++formstate().writing; }
    ~Writing() { --formstate().writing; }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;
};

// Shows a status of a command: 13000 is silent; true when the dialog must end with it.
bool reportStatus(uint32_t host, HWND w, int16_t st) {
    if (st == 0 || st == SF_CANCELLED) return false;
    MessageBeep(0);
    if (UT_showerror(host, st)) {
        EndDialog(w, st);
        senddialog().timerActive = false;
        return true;
    }
    return false;
}

int16_t documentCount(uint32_t host) {
    int16_t n = 0;
    FN_doccount(host, &n);
    return n;
}

// The entry of the recipient list with this name (without regard to case).
bool recipientNamed(uint32_t host, const char* name, PB_ENTRY* out) {
    if (!name || name[0] == '\0') return false;
    UT_LIST& list = recipientList();
    PB_ENTRY e{};
    for (uint32_t i = 1; i <= UT_listcount(&list); ++i) {
        if (UT_listget(host, &list, i, &e, sizeof e) != 0) break;
        e.name[sizeof e.name - 1] = '\0';
        if (strcasecmp(e.name, name) == 0) {
            *out = e;
            return true;
        }
    }
    return false;
}

// The five buttons of the last numbers, labelled by their slots.
void takeLastNumber(uint32_t host, HWND w, int id) {
    if (SF_offersave(host, w, false) == SF_CANCELLED) return;
    char number[31] = {}, name[31] = {};
    if (SF_getalastnumber(host, w, static_cast<int16_t>(id), number, name) != 0) return;
    UL_strcopy(SF_numbertext(), 80, number);
    UL_strcopy(SF_nametext(), 80, name);
    const int i = name[0] ? static_cast<int>(SendDlgItemMessageA(w, PF_NAME, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                                 reinterpret_cast<LPARAM>(name)))
                          : -1;
    if (i >= 0) {
        {
            Writing writing;
            SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        }
        UL_strcopy(senddialog().selectedName, name);
        SF_apsetcurinfo(host, w, i);
    } else {
        SF_clearform(host, w);
        Writing writing;
        SetDlgItemTextA(w, PF_NUMBER, number);
        SetDlgItemTextA(w, PF_NAME, name);
    }
    senddialog().edited = false;
}

int16_t saveToPhonebook(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    SF_nametext()[0] = '\0';
    SF_numbertext()[0] = '\0';
    PB_ENTRY e{};
    SF_readform(host, w, &e);
    if (SF_getphoneentry(host, w, SF_numbertext(), SF_nametext()) > 1) return 0;
    UL_strcopy(e.name, SF_nametext());
    const char* fields[] = {e.name, e.company, e.voice, e.altnumber, e.othernumber, e.text1, e.text2, e.number, e.text3};
    bool any = false;
    for (const char* f : fields) any = any || f[0] != '\0';
    if (!any) {
        SF_errorbox(host, w, kTextEmptyEntry, kCaptionSend);
        return 0;
    }
    if (SF_nametext()[0] == '\0') {
        // An entry saved without a name is saved under the default name.
        UL_strcopy(SF_nametext(), 80, s.defaultName);
        Writing writing;
        SetDlgItemTextA(w, PF_NAME, s.defaultName);
    }
    UL_strcopy(s.savename, SF_nametext());
    // A name of the phone book is updated; any other is added.
    const int listed = SF_finditem(w, PF_NAME, SF_nametext());
    int focus = 0;
    int16_t st = 0;
    if (listed >= 0) {
        char stored[31] = {};
        SF_itemtext(w, PF_NAME, listed, stored, sizeof stored);
        UL_strcopy(formstate().current, stored);
        st = SF_updatefromform(host, w, nullptr, &focus);
    } else {
        st = SF_addfromform(host, w, nullptr, &focus);
    }
    if (st) return st;
    if (focus) {
        SetFocus(GetDlgItem(w, focus));
        return 0;
    }
    char format[128] = {};
    if (UL_loadstring(host, format, kLangModule, kTextSavedToBook) != 0) UL_strcopy(format, "%s saved to phone book");
    char text[256] = {};
    wsprintfA(text, format, SF_nametext());
    UT_statusmsg(host, text);
    UL_strcopy(s.selectedName, SF_nametext());
    s.edited = false;
    return 0;
}

void nameChosen(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    const int i = static_cast<int>(SendDlgItemMessageA(w, PF_NAME, CB_GETCURSEL, 0, 0));
    char name[31] = {};
    if (i < 0 || !SF_itemtext(w, PF_NAME, i, name, sizeof name)) return;
    // The same name again keeps what the fields hold.
    if (strcasecmp(name, s.selectedName) == 0) return;
    if (SF_offersave(host, w, false) == SF_CANCELLED) {
        // The user stays on the entry: its name is selected again.
        const int back = SF_finditem(w, PF_NAME, s.selectedName);
        Writing writing;
        SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(back), 0);
        if (back < 0) SetDlgItemTextA(w, PF_NAME, formstate().shown.name);
        return;
    }
    // The save may have changed the list: the name is found again.
    const int again = SF_finditem(w, PF_NAME, name);
    {
        Writing writing;
        SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(again), 0);
    }
    UL_strcopy(s.selectedName, name);
    s.edited = false;
    SF_apsetcurinfo(host, w, again);
}

// A detail field changed by hand: the shown phone book entry counts as modified.
void detailEdited(HWND w) {
    FormState& fs = formstate();
    if (fs.writing) return;
    senddialog().edited = true;
    if (fs.current[0] == '\0' || SF_finditem(w, PF_NAME, fs.current) < 0) return;
    char name[31] = {};
    GetDlgItemTextA(w, PF_NAME, name, sizeof name);
    if (strcasecmp(name, fs.current) != 0) return;
    PB_ENTRY e{};
    SF_readform(senddialog().host, w, &e);
    UL_strcopy(e.name, fs.shown.name);
    fs.modified = !SF_sameentry(e, fs.shown);
}

// OK: the recipients, the last numbers and the options. false = the dialog stays open.
bool accept(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    SendOptions* o = s.options;
    SF_PARAMS* p = params();
    if (!o || !p) return false;
    s.documentsPresent = documentCount(host) > 0 ? 1 : 0;
    if (SendDlgItemMessageA(w, SD_DOCLIST, LB_GETCOUNT, 0, 0) <= 0) {
        SF_errorbox(host, w, kTextNoDocuments, kCaptionSend);
        return false;
    }
    if (isChecked(w, SD_CARD)) {
        char second[26] = {};
        UL_strcopy(second, p->ccard.second);
        if (second[0] == '\0') {
            SF_errorbox(host, w, kTextCardMissing, kCaptionSend);
            const int16_t st = qorsf::SF_setupccard(host, w);
            if (st == SF_CANCELLED) return false;
            if (reportStatus(host, w, st)) return false;
            if (st) return false;
            frame().firstRun = 0;
            UL_strcopy(second, p->ccard.second);
            if (second[0] == '\0') return false;
        }
    }
    p->ccardinuse = isChecked(w, SD_CARD) ? 1 : 0;
    if (SF_getphoneentry(host, w, SF_numbertext(), SF_nametext()) > 1) return false;
    UT_LIST& list = recipientList();
    uint32_t n = UT_listcount(&list);
    if (SF_numbertext()[0] == '\0') {
        if (n < 1) {
            SF_errorbox(host, w, kTextNoRecipient, kCaptionSend);
            return false;
        }
    } else {
        PB_ENTRY e{};
        SF_readform(host, w, &e);
        if (SF_strcmp(SF_nametext(), s.savename) != 0) UL_strcopy(s.savename, SF_nametext());
        ++n;
        if (int16_t st = SF_addentrytolist(host, SF_numbertext(), SF_nametext(), e.company, e.voice, &list)) {
            reportStatus(host, w, st);
            return false;
        }
    }
    // The note goes with the fax whoever the recipients are.
    GetDlgItemTextA(w, SD_NOTE, o->note, sizeof o->note);
    // The last five recipients of the send go to the last numbers, the last one in front.
    RecipientCursor& cursor = recipientCursor();
    for (uint32_t i = n > 5 ? n - 5 : 0; i < n; ++i) {
        cursor.position = i;
        PB_ENTRY e{};
        uint16_t end = 0;
        if (SF_getphone(host, &e, &end) != 0 || end) continue;
        e.name[sizeof e.name - 1] = '\0';
        e.number[sizeof e.number - 1] = '\0';
        SF_storelastnumber(host, e.name, e.number);
    }
    cursor.position = 0;
    o->dialPrefix[0] = o->dialSuffix[0] = '\0';
    if (!isChecked(w, SD_NOPREFIX)) GetDlgItemTextA(w, SD_PREFIX, o->dialPrefix, sizeof o->dialPrefix);
    if (!isChecked(w, SD_NOSUFFIX)) GetDlgItemTextA(w, SD_SUFFIX, o->dialSuffix, sizeof o->dialSuffix);
    o->fineResolution = isChecked(w, SD_FINE) ? 1 : 0;
    o->deleteAfterSend = isChecked(w, SD_DELETE) ? 1 : 0;
    if (!isChecked(w, SD_ASAP)) {
        SF_readdatetime(host, w, &o->sendTime);
    } else {
        int16_t value = 0;
        UL_getvalue(host, 10, &value);
        if (value == 0)
            UL_now(&o->sendTime);
        else
            std::memset(&o->sendTime, 0, sizeof o->sendTime);
    }
    return true;
}

void makeFonts(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    if (systemVersion() > 784) return;
    // Old systems draw the fields' default font too large for them.
    SF_makefont(host, 10, 200, &s.fonts[0], 0);
    SF_makefont(host, 12, 100, &s.fonts[1], 0);
    for (int id : std::initializer_list<int>{PF_NUMBER, PF_VOICE, PF_COMPANY, PF_TEXT1, PF_TEXT2, SD_NOTE, SD_PREFIX, SD_SUFFIX})
        if (s.fonts[0]) SendDlgItemMessageA(w, id, WM_SETFONT, reinterpret_cast<WPARAM>(s.fonts[0]), 0);
    HFONT lists = GetSystemMetrics(SM_DBCSENABLED) ? s.fonts[0] : s.fonts[1];
    if (lists) {
        SendDlgItemMessageA(w, PF_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(lists), 0);
        SendDlgItemMessageA(w, SD_DOCLIST, WM_SETFONT, reinterpret_cast<WPARAM>(lists), 0);
    }
}

INT_PTR init(HWND w) {
    SendDialogState& s = senddialog();
    const uint32_t host = s.host;
    s.window = w;
    s.waitMode = false;
    s.captionSaved = false;
    s.savedCaption[0] = '\0';
    s.edited = false;
    UX_initdialog(host, w);
    if (s.schedule.now.year == 0) UL_now(&s.schedule.now);  // a dialog not opened by the send flows
    makeFonts(host, w);
    SF_setupschedule(host, w);
    if (int16_t st = SF_GPinitdlg(host, w); reportStatus(host, w, st)) return TRUE;
    SF_showrecipientcount(host, w);
    CheckDlgButton(w, SD_ASAP, BST_CHECKED);
    SF_checkdatetime(host, w, false);
    {
        Writing writing;
        SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    const int saved = SF_finditem(w, PF_NAME, s.savename);
    if (saved >= 0) {
        {
            Writing writing;
            SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(saved), 0);
        }
        SF_itemtext(w, PF_NAME, saved, s.selectedName, sizeof s.selectedName);
        if (reportStatus(host, w, SF_apsetcurinfo(host, w, saved))) return TRUE;
    }
    SetTimer(w, kSendTimer, 1000, nullptr);
    s.timerActive = true;
    if (frame().word2209) {
        // The cover page dialog first.
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(SD_COVER, 0), 0);
        return TRUE;
    }
    SetFocus(GetDlgItem(w, PF_NAME));
    return FALSE;
}

void timer(HWND w) {
    SendDialogState& s = senddialog();
    if (!s.timerActive || s.inCommand) return;
    if (isChecked(w, SD_ASAP)) {
        // The fields follow the clock, and so does the date-time the spins start from.
        UL_now(&s.schedule.now);
        SF_showdatetime(s.host, w, &s.schedule.now);
    }
    const int16_t n = documentCount(s.host);
    if (n != s.documentCount) {
        s.documentCount = n;
        SF_filldoclist(s.host, w);
        SF_setwaitbutton(s.host, w, SendDlgItemMessageA(w, SD_DOCLIST, LB_GETCOUNT, 0, 0) > 0);
    }
}

void destroy(HWND w) {
    SendDialogState& s = senddialog();
    KillTimer(w, kSendTimer);
    for (HFONT& f : s.fonts) {
        if (f) DeleteObject(f);
        f = nullptr;
    }
    s.timerActive = false;
    // The cover page made for the dialog is no part of the send: the flow makes one for each
    // recipient. Its file goes with the dialog.
    char path[UL_MAXPATH] = {};
    if (SF_iscoverrow(w, 0) && SF_rowpath(w, 0, path, sizeof path) && path[0]) UL_fdelete(s.host, path);
    s.window = nullptr;
}

INT_PTR command(HWND w, int id, int code) {
    SendDialogState& s = senddialog();
    const uint32_t host = s.host;
    int16_t st = 0;
    if (SF_schedulecommand(host, w, id, code)) return TRUE;
    switch (id) {
        case SD_OK:
            if (accept(host, w)) {
                s.timerActive = false;
                EndDialog(w, 0);
            }
            return TRUE;
        case SD_CANCEL:
            s.timerActive = false;
            EndDialog(w, s.waitMode ? 2 : 1);
            return TRUE;
        case SD_HELP: UT_help(host, w, kSendHelp); return TRUE;
        case SD_SAVE: st = saveToPhonebook(host, w); break;
        case SD_COVER: st = SF_apaskcover(host, w, false); break;
        case SD_ATTACH:
            st = SF_attachcommand(host, w);
            s.documentCount = documentCount(host);
            SF_setwaitbutton(host, w, SendDlgItemMessageA(w, SD_DOCLIST, LB_GETCOUNT, 0, 0) > 0);
            break;
        case SD_ASAP:
            if (isChecked(w, SD_ASAP)) {
                SF_checkdatetime(host, w, false);
                ScheduleState& t = s.schedule;
                t.focusdate = t.focustime = 0;
                t.dateEdited = t.timeEdited = false;
                PostMessageA(w, kMsgAsapChecked, 0, 0);
            } else {
                SF_checkdatetime(host, w, true);
            }
            return TRUE;
        case SD_SAVEDOCS: st = SF_savefilesinlist(host, w); break;
        case SD_DOCLIST:
            if (code == LBN_SELCHANGE)
                SF_viewselfiles(host, w, static_cast<int>(SendDlgItemMessageA(w, SD_DOCLIST, LB_GETCURSEL, 0, 0)));
            return TRUE;
        case SD_CARD: {
            // Checking the card with no card set up yet opens its setup.
            char second[26] = {};
            if (params()) UL_strcopy(second, params()->ccard.second);
            if (isChecked(w, SD_CARD) && (frame().firstRun || second[0] == '\0'))
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(SD_CARDSETUP, 0), 0);
            return TRUE;
        }
        case SD_CARDSETUP:
            st = qorsf::SF_setupccard(host, w);
            if (st == 0) frame().firstRun = 0;
            if (st == SF_CANCELLED && params() && params()->ccard.second[0] == '\0') CheckDlgButton(w, SD_CARD, BST_UNCHECKED);
            break;
        case PF_NAME:
            if (code == CBN_SELCHANGE && formstate().writing == 0) nameChosen(host, w);
            if (code == CBN_EDITCHANGE && formstate().writing == 0) s.edited = true;
            return TRUE;
        case PF_COMPANY:
        case PF_VOICE:
        case PF_TEXT1:
        case PF_TEXT2:
        case PF_NUMBER:
        case PF_TEXT3:
        case PF_ALTNUMBER:
        case PF_OTHERNUMBER:
            if (code == EN_CHANGE) detailEdited(w);
            return TRUE;
        case SD_NEW:
            if (SF_offersave(host, w, false) == SF_CANCELLED) return TRUE;
            SF_clearform(host, w);
            s.selectedName[0] = '\0';
            formstate().current[0] = '\0';
            s.edited = false;
            SetFocus(GetDlgItem(w, PF_NUMBER));
            return TRUE;
        case SD_FROMBOOK:
            st = SF_addfromphonebook(host, w, &recipientList());
            SF_showrecipientcount(host, w);
            if (st == 0) SF_putlistintobox(host, w, &recipientList());
            break;
        default:
            if (id >= SD_LAST1 && id <= SD_LAST5) {
                takeLastNumber(host, w, id);
                return TRUE;
            }
            return FALSE;
    }
    reportStatus(host, w, st);
    return TRUE;
}

}  // namespace

SendDialogState& senddialog() {
    static SendDialogState s;
    return s;
}

void senddialog_reset() {
    for (HFONT f : senddialog().fonts)
        if (f) DeleteObject(f);
    senddialog() = SendDialogState{};
    SF_setdateconventions(-1, nullptr, nullptr);
}

int16_t SF_getphoneentry(uint32_t, HWND w, char* number, char* name) {
    if (!number || !name) return UL_E_BADARG;
    int16_t result = 0;
    char typed[80] = {};
    GetDlgItemTextA(w, PF_NUMBER, typed, sizeof typed);
    UL_strcopy(number, 80, typed);
    if (number[0] != '\0') {
        uint16_t check = 0;
        qorsf::SF_checkphonenum(number, &check);
        if (check == 0) {
            result = 1;
        } else {
            SF_formerror(senddialog().host, w, kTextBadNumber);
            result = 9;
        }
    }
    // The name is what the name field shows: the chosen item, or what was typed.
    char text[80] = {};
    GetDlgItemTextA(w, PF_NAME, text, sizeof text);
    UL_strcopy(name, 80, text);
    if (name[0] == '\0' && result != 9) result = 1;
    return result;
}

int16_t SF_findentry(uint32_t host, const char* name, const char* number, UT_LIST* list) {
    if (!list || !name || !number) return 0;
    PB_ENTRY e{};
    for (uint32_t i = 1; i <= UT_listcount(list); ++i) {
        if (UT_listget(host, list, i, &e, sizeof e) != 0) break;
        e.name[sizeof e.name - 1] = '\0';
        e.number[sizeof e.number - 1] = '\0';
        if (strcasecmp(e.name, name) == 0 && strcasecmp(e.number, number) == 0) return 1;
    }
    return 0;
}

int16_t SF_addentrytolist(uint32_t host, const char* number, const char* name, const char* company, const char* voice,
                          UT_LIST* list) {
    if (!number || !name || !list) return UL_E_BADARG;
    if (SF_findentry(host, name, number, list)) return 0;
    PB_ENTRY e{};
    UL_strcopy(e.number, number);
    if (e.number[0] == '\0') return 0;
    UL_strcopy(e.name, name);
    UL_strcopy(e.company, company ? company : "");
    UL_strcopy(e.voice, voice ? voice : "");
    return UT_listadd(host, list, &e, sizeof e);
}

int16_t SF_putlistintobox(uint32_t host, HWND w, UT_LIST* list) {
    if (!list) return UL_E_BADARG;
    PB_ENTRY e{};
    char first[31] = {};
    for (uint32_t i = 1; i <= UT_listcount(list); ++i) {
        if (int16_t st = UT_listget(host, list, i, &e, sizeof e)) return st;
        e.name[sizeof e.name - 1] = '\0';
        if (i == 1) UL_strcopy(first, e.name);
        if (e.name[0] && SF_finditem(w, PF_NAME, e.name) < 0)
            SendDlgItemMessageA(w, PF_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
    }
    const int i = SF_finditem(w, PF_NAME, first);
    if (i < 0) return 0;
    {
        Writing writing;
        SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
    UL_strcopy(senddialog().selectedName, first);
    return SF_apsetcurinfo(host, w, i);
}

int16_t SF_setnamelist(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    {
        Writing writing;
        SendDlgItemMessageA(w, PF_NAME, CB_RESETCONTENT, 0, 0);
    }
    SF_clearform(host, w);
    char path[80] = {};
    qorsf::SF_getphonebookpath(host, path);
    int16_t exists = 0;
    UL_fileexists(path, &exists);
    if (!exists) {
        SetFocus(GetDlgItem(w, PF_NUMBER));
        return 0;
    }
    char name[31] = {};
    uint16_t found = 0;
    int16_t st = 0;
    for (st = qorsf::SF_getfirstname(host, name, &found); st == 0 && found; st = qorsf::SF_getnextname(host, name, &found))
        if (name[0] != '\0' && name[0] != ' ')
            SendDlgItemMessageA(w, PF_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    qorsf::SF_epilog(host);
    SetFocus(GetDlgItem(w, PF_NAME));
    const int saved = SF_finditem(w, PF_NAME, s.savename);
    if (saved >= 0) {
        {
            Writing writing;
            SendDlgItemMessageA(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(saved), 0);
        }
        SF_itemtext(w, PF_NAME, saved, s.selectedName, sizeof s.selectedName);
        if (int16_t shown = SF_apsetcurinfo(host, w, saved)) return shown;
    }
    return st;
}

int16_t SF_apsetcurinfo(uint32_t host, HWND w, int index) {
    char name[31] = {};
    if (!SF_itemtext(w, PF_NAME, index, name, sizeof name)) return 0;
    PB_ENTRY e{};
    if (recipientNamed(host, name, &e)) {
        // A recipient of this send: its fields as chosen.
        UL_strcopy(formstate().current, name);
        return SF_showentry(host, w, &e);
    }
    return SF_shownamerecord(host, w, index);
}

int16_t SF_showrecipientcount(uint32_t host, HWND w) {
    const uint32_t n = UT_listcount(&recipientList());
    HWND label = GetDlgItem(w, SD_COUNT);
    if (n < 1) {
        SetDlgItemTextA(w, SD_COUNT, "");
        ShowWindow(label, SW_HIDE);
        InvalidateRect(w, nullptr, TRUE);
        return 0;
    }
    char format[128] = {};
    if (int16_t st = UL_loadstring(host, format, kLangModule, n == 1 ? kTextOneRecipient : kTextRecipients)) return st;
    char text[256] = {};
    wsprintfA(text, format, static_cast<int>(n));
    SetDlgItemTextA(w, SD_COUNT, text);
    ShowWindow(label, SW_SHOW);
    return 0;
}

int16_t SF_addfromphonebook(uint32_t host, HWND w, UT_LIST* list) {
    if (!list) return UL_E_BADARG;
    // The chooser works on a copy: Cancel leaves the recipients as they were.
    struct Temp {
        uint32_t host;
        UT_LIST list{};
        ~Temp() { UT_listfree(host, &list); }
    } temp{host};
    PB_ENTRY e{};
    for (uint32_t i = 1; i <= UT_listcount(list); ++i) {
        if (int16_t st = UT_listget(host, list, i, &e, sizeof e)) return st;
        if (int16_t st = UT_listadd(host, &temp.list, &e, sizeof e)) return st;
    }
    INT_PTR result = 0;
    if (int16_t st = SF_rundialog(host, w, kChooserTemplate, ::WN_getfromphonebk, reinterpret_cast<LPARAM>(&temp.list), &result))
        return st;
    if (result != 0) return SF_CANCELLED;
    if (int16_t st = UT_listfree(host, list)) return st;
    for (uint32_t i = 1; i <= UT_listcount(&temp.list); ++i) {
        if (int16_t st = UT_listget(host, &temp.list, i, &e, sizeof e)) return st;
        if (int16_t st = UT_listadd(host, list, &e, sizeof e)) return st;
    }
    return 0;
}

int16_t SF_GPinitdlg(uint32_t host, HWND w) {
    SendDialogState& s = senddialog();
    ScheduleState& t = s.schedule;
    SendOptions* o = s.options;
    const SF_PARAMS* p = params();
    t.focusdate = t.focustime = 0;
    t.dateEdited = t.timeEdited = false;
    // The coloured buttons of the product.
    for (int id : {SD_OK, SD_CANCEL, SD_HELP, SD_FROMBOOK, SD_COVER, SD_ATTACH, SD_SAVEDOCS}) {
        SendDlgItemMessageA(w, id, CBM_SETCOLOR, 0, 0x808000);
        SendDlgItemMessageA(w, id, CBM_SETFACECOLOR, 0, 0xFFFFFF);
        SendDlgItemMessageA(w, id, CBM_SETCOLOR, 2, 0xFFFF00);
        SendDlgItemMessageA(w, id, CBM_SETCOLOR, 3, 0);
    }
    SetDlgItemTextA(w, SD_SEPTIME, t.timesep);
    SetDlgItemTextA(w, SD_SEPTIME2, t.timesep);
    for (int id : {SD_SEPDATE1, SD_SEPDATE2, SD_SEPDATE3}) SetDlgItemTextA(w, id, t.datesep);
    SF_showdatetime(host, w, &t.now);
    SendDlgItemMessageA(w, PF_NAME, CB_LIMITTEXT, 30, 0);
    for (int id : std::initializer_list<int>{PF_NUMBER, PF_VOICE, SD_PREFIX, SD_SUFFIX}) SendDlgItemMessageA(w, id, EM_LIMITTEXT, 30, 0);
    for (int id : std::initializer_list<int>{PF_COMPANY, PF_TEXT1, PF_TEXT2}) SendDlgItemMessageA(w, id, EM_LIMITTEXT, 60, 0);
    SendDlgItemMessageA(w, SD_NOTE, EM_LIMITTEXT, 70, 0);
    SendDlgItemMessageA(w, PF_TEXT3, EM_LIMITTEXT, 80, 0);
    SendDlgItemMessageA(w, PF_ALTNUMBER, EM_LIMITTEXT, 30, 0);
    SendDlgItemMessageA(w, PF_OTHERNUMBER, EM_LIMITTEXT, 30, 0);
    {
        Writing writing;
        SetDlgItemTextA(w, PF_NUMBER, "");
        SetDlgItemTextA(w, PF_NAME, "");
        SendDlgItemMessageA(w, PF_NAME, CB_RESETCONTENT, 0, 0);
    }
    if (p) {
        SetDlgItemTextA(w, SD_PREFIX, p->dialprefix);
        SetDlgItemTextA(w, SD_SUFFIX, p->dialsuffix);
    }
    CheckDlgButton(w, SD_FINE, o && o->fineResolution ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(w, SD_DELETE, o && o->deleteAfterSend ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(w, SD_AFTERSEND, frame().word2203 ? BST_CHECKED : BST_UNCHECKED);
    if (!frame().firstRun && p) CheckDlgButton(w, SD_CARD, p->ccardinuse ? BST_CHECKED : BST_UNCHECKED);
    SF_showlastnumbers(host, w);
    SF_numbertext()[0] = '\0';
    SF_nametext()[0] = '\0';
    char label[80] = {};
    UL_loadstring(host, label, kLangModule, kTextBookLabel);
    char path[80] = {};
    qorsf::SF_getphonebookpath(host, path);
    const std::string book = std::string(label) + " " + path;
    SetDlgItemTextA(w, SD_BOOK, book.c_str());
    if (int16_t st = SF_setnamelist(host, w)) return st;
    if (frame().sendState) {
        // The cover page chosen for the last send is made again for the entry in the fields.
        if (int16_t st = SF_apaskcover(host, w, true)) return st;
    }
    const int16_t n = documentCount(host);
    if (n > 0) {
        SF_setwaitbutton(host, w, true);
        if (int16_t st = SF_filldoclist(host, w)) return st;
    } else {
        SF_setwaitbutton(host, w, frame().sendState != 0);
    }
    s.documentCount = n;
    return 0;
}

INT_PTR WN_fsgetphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SendDialogState& s = senddialog();
    switch (message) {
        case WM_INITDIALOG: return init(window);
        case WM_COMMAND: {
            // The timer leaves the fields and the list alone while a command (perhaps with a
            // dialog of its own) runs.
            const bool outer = !s.inCommand;
            s.inCommand = true;
            const INT_PTR r = command(window, LOWORD(wParam), HIWORD(wParam));
            if (outer) s.inCommand = false;
            return r;
        }
        case WM_TIMER:
            if (wParam == kSendTimer) timer(window);
            return TRUE;
        case kMsgAsapChecked: {
            SF_DATETIME now{};
            UL_now(&now);
            s.schedule.now = now;
            SF_showdatetime(s.host, window, &now);
            return TRUE;
        }
        case WM_DESTROY: destroy(window); break;
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

}  // namespace qorsf
