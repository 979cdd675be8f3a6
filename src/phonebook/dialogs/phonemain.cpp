// The phone book window: SF_phonemain and its dialog procedure WN_fsphonemain.
//
// The window carries the phone book form (form.h) and keeps its buttons in step with what the
// form holds: Add for a name that is not in the phone book yet, Update once the details of a
// listed name were changed, Delete for a listed name, and the group buttons for the group
// selected in the list of all groups (178) and in the name's own groups (181).
#include "phonebook/dialogs/phonemain.h"

#include <cstring>
#include <strings.h>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/phonebook.h"
#include "qorlib2.h"
#include "qorui.h"
#include "report/listings.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr uint16_t kAskDelete = 2234;
constexpr std::size_t kTitleChars = 128;

// The cycle of Enter through the fields.
constexpr int kCycle[] = {PF_NAME, PF_COMPANY, PF_TEXT1, PF_TEXT2, PF_NUMBER, PF_VOICE, PF_ALTNUMBER, PF_OTHERNUMBER, PF_TEXT3};

int nextInCycle(int id) {
    constexpr int n = sizeof kCycle / sizeof kCycle[0];
    for (int i = 0; i < n; ++i)
        if (kCycle[i] == id) return kCycle[(i + 1) % n];
    return 0;
}

bool isDetailField(int id) {
    return id == PF_COMPANY || id == PF_VOICE || id == PF_TEXT1 || id == PF_TEXT2 || id == PF_NUMBER || id == PF_TEXT3 ||
           id == PF_ALTNUMBER || id == PF_OTHERNUMBER;
}
bool isNumberField(int id) { return id == PF_VOICE || id == PF_NUMBER || id == PF_ALTNUMBER || id == PF_OTHERNUMBER; }
bool isGroupControl(int c) {
    return c == PW_ALLGROUPS || c == PF_GROUPS || c == PW_MEMBERS || c == PW_JOIN || c == PW_LEAVE || c == PW_NEWGROUP ||
           c == PW_DELETEGROUP;
}

void enable(HWND w, int id, bool on) { EnableWindow(GetDlgItem(w, id), on ? TRUE : FALSE); }
LRESULT send(HWND w, int id, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendDlgItemMessageA(w, id, m, wp, lp); }
int count(HWND w, int id, bool combo) { return static_cast<int>(send(w, id, combo ? static_cast<UINT>(CB_GETCOUNT) : static_cast<UINT>(LB_GETCOUNT))); }
int cursel(HWND w, int id, bool combo) {
    const LRESULT i = send(w, id, combo ? static_cast<UINT>(CB_GETCURSEL) : static_cast<UINT>(LB_GETCURSEL));
    return i < 0 ? -1 : static_cast<int>(i);
}

// The name in 171's edit field, trimmed.
void typedName(HWND w, char* out, std::size_t size) {
    char raw[64] = {};
    GetDlgItemTextA(w, PF_NAME, raw, sizeof raw);
    char trimmed[128] = {};
    UX_textcopy(trimmed, raw);
    UL_strcopy(out, size, trimmed);
}

// Selects item i of 171 without the user's notification and remembers it as the current name.
void selectName(HWND w, int i) {
    ++formstate().writing;
    send(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(i));
    --formstate().writing;
    GetDlgItemTextA(w, PF_NAME, formstate().current, sizeof formstate().current);
}

// Whether the group has a member with a name among its first two records.
bool hasMembers(uint32_t host, const char* group) {
    char name[31] = {};
    uint16_t found = 0;
    bool any = false;
    int16_t st = qorsf::SF_getfirstmember(host, group, name, &found);
    for (int n = 0; st == 0 && found && n < 2 && !any; ++n) {
        if (!SF_isblank(name)) any = true;
        if (n == 0) st = qorsf::SF_getnextmember(host, group, name, &found);
    }
    qorsf::SF_epilog(host);
    return any;
}

void updateButtons(HWND w, int c) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    char name[31] = {};
    typedName(w, name, sizeof name);
    const bool listed = SF_finditem(w, PF_NAME, name) >= 0;
    const bool empty = name[0] == '\0';
    const bool names = count(w, PF_NAME, true) > 0;
    enable(w, PW_PRINT, names);
    enable(w, PW_EXPORT, names);

    const int a = c < 0 ? -c : c;
    if (a == PW_DELETE) {
        enable(w, PW_ADD, false);
        enable(w, PW_UPDATE, false);
        enable(w, PW_DELETE, listed);
        SetFocus(GetDlgItem(w, listed ? static_cast<int>(PW_DELETE) : static_cast<int>(PF_NAME)));
    } else if (c == 0) {
        enable(w, PW_ADD, false);
        enable(w, PW_UPDATE, false);
        enable(w, PW_DELETE, listed);
    } else if (c == 1 || c == PF_NAME || isDetailField(c)) {
        if (!listed) {
            enable(w, PW_UPDATE, false);
            enable(w, PW_ADD, !empty);
            fs.isNew = !empty;
            enable(w, PW_DELETE, false);
        } else {
            enable(w, PW_DELETE, true);
            enable(w, PW_ADD, false);
            if (strcasecmp(name, fs.shown.name) == 0) {
                PB_ENTRY now{};
                UL_strcopy(now.name, fs.shown.name);
                SF_readform(ws.host, w, &now);
                std::memcpy(&fs.form, &now, sizeof now);
                if (!SF_sameentry(now, fs.shown)) {
                    std::memcpy(&fs.shown, &now, sizeof now);
                    enable(w, PW_UPDATE, true);
                    fs.modified = true;
                }
            }
        }
    } else if (c == PW_ADD) {
        enable(w, PW_UPDATE, false);
        enable(w, PW_ADD, !empty);
        fs.isNew = !empty;
    } else if (c == -PW_ADD) {
        enable(w, PW_ADD, false);
        enable(w, PW_DELETE, true);
    } else if (c == -PW_UPDATE) {
        enable(w, PW_UPDATE, false);
    } else if (c == PW_JOIN || c == PW_LEAVE) {
        enable(w, c, false);
        SetFocus(GetDlgItem(w, PW_CLOSE));
    }

    enable(w, PW_LEAVE, cursel(w, PF_GROUPS, true) >= 0);

    const int groups = count(w, PW_ALLGROUPS, false);
    const int gsel = cursel(w, PW_ALLGROUPS, false);
    if (groups == 0) {
        enable(w, PW_MEMBERS, false);
        enable(w, PW_JOIN, false);
        enable(w, PW_DELETEGROUP, false);
        return;
    }
    if (gsel < 0) {
        enable(w, PW_JOIN, false);
        enable(w, PW_DELETEGROUP, false);
    } else {
        enable(w, PW_DELETEGROUP, true);
        if (count(w, PF_GROUPS, true) == 0 && listed) enable(w, PW_JOIN, true);
    }
    if (c != 0 && !isGroupControl(a)) return;
    if (gsel < 0) {
        enable(w, PW_DELETEGROUP, false);
        enable(w, PW_JOIN, false);
        enable(w, PW_MEMBERS, false);
        return;
    }
    char group[31] = {};
    SF_itemtext(w, PW_ALLGROUPS, gsel, group, sizeof group);
    enable(w, PW_JOIN, SF_finditem(w, PF_GROUPS, group) < 0 && listed && !empty);
    enable(w, PW_MEMBERS, hasMembers(ws.host, group));
}

void makeTitle(HWND w) {
    PhoneWindowState& ws = phonewindow();
    char title[kTitleChars + 1] = {};
    GetWindowTextA(w, title, sizeof title);
    std::string t = title;
    const std::size_t dash = t.find('-');
    if (dash != std::string::npos)
        t.resize(std::min(t.size(), dash + 2));
    else
        t += " - ";
    char path[80] = {};
    qorsf::SF_getphonebookpath(ws.host, path);
    t += path;
    SetWindowTextA(w, t.c_str());
}

void fill(HWND w) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    const uint32_t host = ws.host;
    ++fs.writing;
    send(w, PF_NAME, CB_RESETCONTENT);
    send(w, PW_ALLGROUPS, LB_RESETCONTENT);
    --fs.writing;
    SF_clearform(host, w);
    makeTitle(w);

    char path[80] = {};
    qorsf::SF_getphonebookpath(host, path);
    int16_t exists = 0;
    if (path[0] != '\0' && UL_fileexists(path, &exists) == 0 && exists) {
        SF_nametext()[0] = '\0';
        char item[31] = {};
        uint16_t found = 0;
        bool first = true;
        for (int16_t st = qorsf::SF_getfirstname(host, item, &found); st == 0 && found;
             st = qorsf::SF_getnextname(host, item, &found)) {
            if (SF_isblank(item)) continue;
            if (first) UL_strcopy(SF_nametext(), 80, item);
            first = false;
            send(w, PF_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        qorsf::SF_epilog(host);
        if (count(w, PF_NAME, true) > 0) selectName(w, 0);
        for (int16_t st = qorsf::SF_getfirstgroup(host, item, &found); st == 0 && found;
             st = qorsf::SF_getnextgroup(host, item, &found))
            if (!SF_isblank(item)) send(w, PW_ALLGROUPS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        qorsf::SF_epilog(host);
    }
    if (count(w, PW_ALLGROUPS, false) > 0) send(w, PW_ALLGROUPS, LB_SETCURSEL, 0);

    if (ws.entryGiven) {
        ws.entryGiven = false;
        char name[128] = {};
        char number[128] = {};
        UX_textcopy(name, fs.form.name);
        UX_textcopy(number, fs.form.number);
        name[30] = number[30] = '\0';
        const int at = SF_finditem(w, PF_NAME, name);
        if (name[0] == '\0') {
            ++fs.writing;
            const LRESULT i = send(w, PF_NAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
            send(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(i));
            --fs.writing;
            PB_ENTRY given = fs.form;
            SF_showentry(host, w, &given);
            updateButtons(w, PW_ADD);
            SetFocus(GetDlgItem(w, PF_NAME));
        } else if (at < 0) {
            ++fs.writing;
            send(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(-1));
            --fs.writing;
            PB_ENTRY given = fs.form;
            UL_strcopy(given.name, name);
            SF_showentry(host, w, &given);
            UL_strcopy(ws.typed, name);
            updateButtons(w, PW_ADD);
            SetFocus(GetDlgItem(w, PF_COMPANY));
        } else {
            selectName(w, at);
            SF_shownamerecord(host, w, at);
            ++fs.writing;
            SetDlgItemTextA(w, PF_NUMBER, number);
            --fs.writing;
            // The given number differs from the stored one: that is a change to save.
            updateButtons(w, PF_NUMBER);
            if (fs.modified) enable(w, PW_UPDATE, true);
            SetFocus(GetDlgItem(w, PF_COMPANY));
        }
        return;
    }
    if (count(w, PF_NAME, true) == 0) {
        SetFocus(GetDlgItem(w, PF_NAME));
        updateButtons(w, 0);
        return;
    }
    selectName(w, 0);
    SF_shownamerecord(host, w, 0);
    SetFocus(GetDlgItem(w, PF_NAME));
    updateButtons(w, 0);
}

void deleteFont() {
    PhoneWindowState& ws = phonewindow();
    if (ws.font) DeleteObject(reinterpret_cast<HGDIOBJ>(ws.font));
    ws.font = nullptr;
}

// ---- Commands

int16_t deleteName(HWND w) {
    const uint32_t host = phonewindow().host;
    char name[31] = {};
    GetDlgItemTextA(w, PF_NAME, name, sizeof name);
    const int at = SF_finditem(w, PF_NAME, name);
    if (at < 0) return 0;
    int16_t yes = 0;
    if (int16_t st = UL_askyesno(host, kLangModule, kAskDelete, &yes)) return st;
    if (yes != 1) return 0;  // the name stays unless the user said yes
    SF_itemtext(w, PF_NAME, at, name, sizeof name);
    if (int16_t st = qorsf::SF_removenamefromgroups(host, name)) return st;
    if (int16_t st = qorsf::SF_deletephone(host, name)) return st;
    send(w, PF_NAME, CB_DELETESTRING, static_cast<WPARAM>(at));
    SF_clearform(host, w);
    const int n = count(w, PF_NAME, true);
    if (n > 0) {
        const int next = at < n ? at : n - 1;
        selectName(w, next);
        SF_shownamerecord(host, w, next);
    } else {
        formstate().current[0] = '\0';
    }
    updateButtons(w, -PW_DELETE);
    return 0;
}

int16_t print(HWND w) {
    const uint32_t host = phonewindow().host;
    int16_t status = 0;
    if (count(w, PW_ALLGROUPS, false) > 0) {
        INT_PTR choice = 1;
        if (int16_t st = SF_rundialog(host, w, kPrintChoiceTemplate, ::WN_sfprint, 0, &choice)) return st;
        if (choice == PB_BYNAME) return SF_printbyname(host, &status);
        if (choice == PB_BYGROUP) return SF_printbygroup(host, &status);
        return 0;
    }
    return SF_printbyname(host, &status);
}

int16_t showMembers(HWND w) {
    const uint32_t host = phonewindow().host;
    const int g = cursel(w, PW_ALLGROUPS, false);
    if (g < 0) return 0;
    PbDialogState& d = pbdialogs();
    SF_itemtext(w, PW_ALLGROUPS, g, d.group, sizeof d.group);
    d.membersChanged = false;
    INT_PTR result = 0;
    if (int16_t st = SF_rundialog(host, w, kMembersTemplate, ::WN_sfgroupmembers, 0, &result)) return st;
    if (d.membersChanged) {
        const int at = SF_finditem(w, PF_NAME, formstate().current);
        if (at >= 0) SF_shownamerecord(host, w, at);
        updateButtons(w, PW_MEMBERS);
    }
    return result > 1 ? static_cast<int16_t>(result) : 0;
}

int16_t chooseBook(HWND w) {
    const uint32_t host = phonewindow().host;
    if (int16_t st = SF_offersave(host, w, false)) return st;
    if (int16_t st = SF_choosephonebook(host, 4)) return st;
    fill(w);
    return 0;
}

int16_t add(HWND w) {
    int focus = 0;
    const int16_t st = SF_addfromform(phonewindow().host, w, &formstate().form, &focus);
    SetFocus(GetDlgItem(w, focus ? focus : PF_NAME));
    if (st == 0 && focus == 0) updateButtons(w, -PW_ADD);
    return st;
}

int16_t update(HWND w) {
    int focus = 0;
    const int16_t st = SF_updatefromform(phonewindow().host, w, &formstate().form, &focus);
    if (focus) SetFocus(GetDlgItem(w, focus));
    if (st == 0 && focus == 0) updateButtons(w, -PW_UPDATE);
    return st;
}

int16_t importBook(HWND w) {
    const int16_t st = SF_importcommand(phonewindow().host, w);
    if (st == SF_CANCELLED) return st;
    fill(w);  // what was imported before a failure is shown too
    updateButtons(w, 0);
    return st;
}

int16_t joinGroup(HWND w) {
    const uint32_t host = phonewindow().host;
    const int g = cursel(w, PW_ALLGROUPS, false);
    if (g < 0) return 0;
    char name[31] = {};
    char group[31] = {};
    GetDlgItemTextA(w, PF_NAME, name, sizeof name);
    SF_itemtext(w, PW_ALLGROUPS, g, group, sizeof group);
    if (int16_t st = qorsf::SF_addnametogroup(host, name, group)) return st;
    const int n = count(w, PW_ALLGROUPS, false);
    send(w, PW_ALLGROUPS, LB_SETCURSEL, static_cast<WPARAM>(g + 1 < n ? g + 1 : 0));
    const int at = SF_insertsorted(w, PF_GROUPS, group);
    enable(w, PF_GROUPS, true);
    send(w, PF_GROUPS, CB_SETCURSEL, static_cast<WPARAM>(at));
    updateButtons(w, PW_JOIN);
    return 0;
}

int16_t leaveGroup(HWND w) {
    const uint32_t host = phonewindow().host;
    if (count(w, PF_GROUPS, true) == 0) return 0;
    int g = cursel(w, PF_GROUPS, true);
    if (g < 0) g = 0;
    char name[31] = {};
    char group[31] = {};
    GetDlgItemTextA(w, PF_NAME, name, sizeof name);
    SF_itemtext(w, PF_GROUPS, g, group, sizeof group);
    if (int16_t st = qorsf::SF_removenamefromgroup(host, name, group)) return st;
    send(w, PF_GROUPS, CB_DELETESTRING, static_cast<WPARAM>(g));
    const int n = count(w, PF_GROUPS, true);
    if (n == 0) {
        enable(w, PF_GROUPS, false);
    } else {
        send(w, PF_GROUPS, CB_SETCURSEL, static_cast<WPARAM>(g < n ? g : n - 1));
    }
    updateButtons(w, PW_LEAVE);
    return 0;
}

int16_t newGroup(HWND w) {
    const uint32_t host = phonewindow().host;
    PbDialogState& d = pbdialogs();
    d.group[0] = '\0';
    INT_PTR result = 1;
    if (int16_t st = SF_rundialog(host, w, kNewGroupTemplate, ::WN_fsaddgroup, 0, &result)) return st;
    if (result == 0 && d.group[0] != '\0') {
        const int at = SF_insertsorted(w, PW_ALLGROUPS, d.group);
        send(w, PW_ALLGROUPS, LB_SETCURSEL, static_cast<WPARAM>(at));
    }
    updateButtons(w, PW_NEWGROUP);
    return 0;
}

int16_t deleteGroup(HWND w) {
    const uint32_t host = phonewindow().host;
    const int g = cursel(w, PW_ALLGROUPS, false);
    if (g < 0) return 0;
    int16_t yes = 0;
    if (int16_t st = UL_askyesno(host, kLangModule, kAskDelete, &yes)) return st;
    if (yes != 1) return 0;
    char group[31] = {};
    SF_itemtext(w, PW_ALLGROUPS, g, group, sizeof group);
    if (int16_t st = qorsf::SF_deletegroup(host, group)) return st;
    send(w, PW_ALLGROUPS, LB_DELETESTRING, static_cast<WPARAM>(g));
    const int n = count(w, PW_ALLGROUPS, false);
    if (n > 0) send(w, PW_ALLGROUPS, LB_SETCURSEL, static_cast<WPARAM>(g < n ? g : g - 1));
    const int mine = SF_finditem(w, PF_GROUPS, group);
    if (mine >= 0) {
        send(w, PF_GROUPS, CB_DELETESTRING, static_cast<WPARAM>(mine));
        const int left = count(w, PF_GROUPS, true);
        if (left == 0)
            enable(w, PF_GROUPS, false);
        else
            send(w, PF_GROUPS, CB_SETCURSEL, static_cast<WPARAM>(mine > 0 ? mine - 1 : 0));
    }
    updateButtons(w, PW_DELETEGROUP);
    return 0;
}

int16_t closeWindow(HWND w, INT_PTR result) {
    if (int16_t st = SF_offersave(phonewindow().host, w, true)) return st;  // cancelled: stay
    deleteFont();
    EndDialog(w, result);
    return 0;
}

int16_t dial(HWND w) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    PB_ENTRY out{};
    if (ws.caller) {
        std::memcpy(&out, &fs.form, sizeof out);
        SF_readform(ws.host, w, &out);
        uint16_t result = 0;
        qorsf::SF_checkphonenum(out.voice, &result);
        if (result != 0) {
            SF_formerror(ws.host, w, kTextBadNumber);
            SetFocus(GetDlgItem(w, PF_VOICE));
            return 0;
        }
        const SF_PARAMS* p = params();
        const std::string dialled = SF_dialstring(out.voice, p ? p->dialprefix : "", p ? p->dialsuffix : "", ' ');
        // A dial string cut to the field would dial another number: it must fit whole.
        if (dialled.size() >= sizeof out.voice) return SF_DIALSTRINGLONG;
        UL_strcopy(out.voice, dialled.c_str());
        UL_strcopy(out.name, fs.current);
    }
    if (int16_t st = SF_offersave(ws.host, w, true)) return st;  // cancelled: the window stays
    if (ws.caller) {
        std::memcpy(&fs.form, &out, sizeof out);
        std::memcpy(ws.caller, &out, sizeof out);
    }
    deleteFont();
    EndDialog(w, 0);
    return 0;
}

// A selection in 171: the name chosen is shown, after the offer to save what the form holds.
void nameChosen(HWND w) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    ws.nextFocus = PF_COMPANY;
    const int i = cursel(w, PF_NAME, true);
    char item[31] = {};
    SF_itemtext(w, PF_NAME, i, item, sizeof item);
    if (strcasecmp(item, fs.current) != 0 || fs.isNew) {
        if (fs.isNew || fs.modified) {
            // The list put the chosen name into the edit field: the form's own name goes back
            // there while the user is asked about it.
            ++fs.writing;
            if (fs.isNew) {
                send(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(-1));
                SetDlgItemTextA(w, PF_NAME, ws.typed);
            } else {
                send(w, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(SF_finditem(w, PF_NAME, fs.current)));
            }
            --fs.writing;
            const int16_t st = SF_offersave(ws.host, w, false);
            if (st) {
                if (st != SF_CANCELLED) {
                    MessageBeep(0);
                    UT_showerror(ws.host, st);
                }
                return;  // the form stays as it was
            }
        }
        const int at = SF_finditem(w, PF_NAME, item);  // the list may have grown by the save
        selectName(w, at);
        SF_shownamerecord(ws.host, w, at);
    }
    updateButtons(w, 1);
}

INT_PTR command(HWND w, int id, int code) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    int16_t st = 0;
    switch (id) {
        case PW_NEXTFIELD:
            SetFocus(GetDlgItem(w, ws.nextFocus ? ws.nextFocus : PW_CLOSE));
            return TRUE;
        case IDCANCEL:
            deleteFont();
            EndDialog(w, 1);
            return TRUE;
        case PW_HELP: UT_help(ws.host, w, kPhoneWindowHelp); return TRUE;
        case PW_CLOSE: st = closeWindow(w, 0); break;
        case PW_DELETE: st = deleteName(w); break;
        case PW_PRINT: st = print(w); break;
        case PW_NEW:
            st = SF_offersave(ws.host, w, false);
            if (st == 0) {
                SF_clearform(ws.host, w);
                ws.typed[0] = '\0';
                updateButtons(w, 0);
                SetFocus(GetDlgItem(w, PF_NAME));
            }
            break;
        case PW_MEMBERS: st = showMembers(w); break;
        case PW_CHOOSEBOOK: st = chooseBook(w); break;
        case PW_ADD: st = add(w); break;
        case PW_UPDATE: st = update(w); break;
        case PW_IMPORT: st = importBook(w); break;
        case PW_EXPORT: st = SF_exportcommand(ws.host, w); break;
        case PW_JOIN: st = joinGroup(w); break;
        case PW_LEAVE: st = leaveGroup(w); break;
        case PW_NEWGROUP: st = newGroup(w); break;
        case PW_DELETEGROUP: st = deleteGroup(w); break;
        case PW_DIAL: st = dial(w); break;
        case PF_NAME:
            if (code == CBN_SELCHANGE) {
                if (fs.writing == 0) nameChosen(w);
            } else if (code == CBN_EDITUPDATE) {
                GetDlgItemTextA(w, PF_NAME, ws.typed, sizeof ws.typed);
                if (ws.ready && fs.writing == 0) updateButtons(w, PF_NAME);
            }
            return TRUE;
        case PW_ALLGROUPS:
            if (code == LBN_SELCHANGE) updateButtons(w, PW_ALLGROUPS);
            return TRUE;
        case PF_GROUPS:
            if (code == CBN_SELCHANGE && fs.writing == 0) updateButtons(w, PF_GROUPS);
            return TRUE;
        default:
            if (isDetailField(id)) {
                if (fs.writing) return TRUE;  // the form routines writing: not the user's doing
                ws.nextFocus = nextInCycle(id);
                if (code == EN_CHANGE && ws.ready) updateButtons(w, id);
                if (code == EN_SETFOCUS && isNumberField(id)) updateButtons(w, id);
                return TRUE;
            }
            return FALSE;
    }
    // 20221 and 20222 were shown by the phone book operation, with the name or group.
    if (st > 1000 && st != SF_CANCELLED && st != SF_NORECORD && st != SF_EXISTS) {
        MessageBeep(0);
        UT_showerror(ws.host, st);
    }
    ws.ready = true;
    return TRUE;
}

INT_PTR initDialog(HWND w) {
    PhoneWindowState& ws = phonewindow();
    const uint32_t host = ws.host;
    UX_initdialog(host, w);
    ws.ready = false;
    ws.nextFocus = 0;
    ws.typed[0] = '\0';
    HFONT font = nullptr;
    if (UT_makefont(host, "", 12, 6, 200, 0, &font) == 0) {
        ws.font = font;
        send(w, PW_FONTED, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    send(w, PF_NAME, CB_LIMITTEXT, 30);
    const struct {
        int id;
        WPARAM limit;
    } limits[] = {{PF_COMPANY, 60}, {PF_VOICE, 30}, {PF_TEXT1, 60}, {PF_TEXT2, 60}, {PF_NUMBER, 30},
                  {PF_TEXT3, 80},   {PF_ALTNUMBER, 30}, {PF_OTHERNUMBER, 30}};
    for (const auto& l : limits) send(w, l.id, EM_LIMITTEXT, l.limit);
    int16_t status = 0;
    if (!SF_offerbookchoice(host, &status)) {
        // The Help button takes the place of the hidden button.
        RECT dialog{}, there{};
        GetWindowRect(w, &dialog);
        GetWindowRect(GetDlgItem(w, PW_CHOOSEBOOK), &there);
        ShowWindow(GetDlgItem(w, PW_CHOOSEBOOK), SW_HIDE);
        MoveWindow(GetDlgItem(w, PW_HELP), there.left - dialog.left, there.top - dialog.top, there.right - there.left,
                   there.bottom - there.top, FALSE);
    }
    std::memset(&formstate().shown, 0, sizeof(PB_ENTRY));
    formstate().isNew = formstate().modified = false;
    fill(w);
    GetDlgItemTextA(w, PF_NAME, formstate().current, sizeof formstate().current);
    enable(w, PW_DIAL, ws.mode == 1);
    ws.ready = true;
    return FALSE;  // the focus was set by the fill
}

}  // namespace

PhoneWindowState& phonewindow() {
    static PhoneWindowState s;
    return s;
}

void phonewindow_reset() {
    phonewindow() = PhoneWindowState{};
    form_reset();
}

bool SF_offerbookchoice(uint32_t host, int16_t* status) {
    int16_t flag = 0;
    const int16_t st = FN_option(host, 1000, &flag);
    if (status) *status = st;
    return st == 0 && flag != 0;
}

INT_PTR WN_fsphonemain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return initDialog(window);
        case WM_COMMAND: return command(window, LOWORD(wParam), HIWORD(wParam));
        case WM_ERASEBKGND: return UX_erasebkgnd(phonewindow().host, window, wParam);
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

int16_t SF_phonemain(uint32_t host, PB_ENTRY* entry, uint16_t mode) {
    PhoneWindowState& ws = phonewindow();
    FormState& fs = formstate();
    ws.host = host;
    ws.mode = mode;
    ws.caller = nullptr;
    pbdialogs().host = host;
    // The send dialog's name and number texts are the form's too: they come back as they were.
    char savedName[80] = {};
    char savedNumber[80] = {};
    UL_strcopy(savedName, SF_nametext());
    UL_strcopy(savedNumber, SF_numbertext());
    if (!entry) {
        std::memset(&fs.form, 0, sizeof fs.form);
        ws.entryGiven = false;
    } else {
        const char* fields[] = {entry->number, entry->name, entry->company, entry->text1, entry->text2,
                                entry->voice, entry->text3, entry->altnumber, entry->othernumber};
        ws.entryGiven = false;
        for (const char* f : fields)
            if (f[0] != '\0') ws.entryGiven = true;
        std::memcpy(&fs.form, entry, sizeof fs.form);
        ws.caller = entry;
        if (mode == 1) std::memset(entry, 0, sizeof *entry);  // dial mode gives back only what is dialled
    }
    HWND owner = nullptr;
    int16_t st = UL_getwindow(host, kNotifyWindow, &owner);
    if (st == 0) {
        owner = GetLastActivePopup(owner);
        INT_PTR result = 0;
        st = SF_rundialog(host, owner, kPhoneWindowTemplate, ::WN_fsphonemain, 0, &result);
        if (st == 0 && result == 1) st = SF_CANCELLED;
    }
    deleteFont();
    ws.caller = nullptr;
    UL_strcopy(SF_nametext(), 80, savedName);
    UL_strcopy(SF_numbertext(), 80, savedNumber);
    return st;
}

}  // namespace qorsf
