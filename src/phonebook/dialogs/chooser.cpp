// The recipient chooser (template 2074): names and groups of the phone book moved into a list of
// recipients. The list box of the chosen (304) shows the names of the list's items in the
// list's order: every change is made to both, so that position n of one is item n + 1 of the
// other.
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "qorui.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr uint16_t kTextNoFaxNumber = 2130;  // (format) the name
constexpr uint16_t kNamesFileTitle = 2098;
constexpr uint16_t kNamesFilesFilter = 2105;

struct ChooserState {
    UT_LIST* list = nullptr;
};
ChooserState& chooser() {
    static ChooserState s;
    return s;
}

LRESULT send(HWND w, int id, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendDlgItemMessageA(w, id, m, wp, lp); }
int count(HWND w, int id) { return static_cast<int>(send(w, id, LB_GETCOUNT)); }
int selCount(HWND w, int id) {
    const LRESULT n = send(w, id, LB_GETSELCOUNT);
    return n < 0 ? 0 : static_cast<int>(n);
}
std::vector<int> selected(HWND w, int id) {
    std::vector<int> out(static_cast<std::size_t>(selCount(w, id)));
    if (!out.empty()) send(w, id, LB_GETSELITEMS, out.size(), reinterpret_cast<LPARAM>(out.data()));
    return out;
}
int chosen(HWND w) {
    const LRESULT i = send(w, PC_CHOSEN, LB_GETCURSEL);
    return i < 0 ? -1 : static_cast<int>(i);
}

void updateButtons(HWND w) {
    EnableWindow(GetDlgItem(w, PC_ADD), selCount(w, PC_NAMES) + selCount(w, PC_GROUPS) > 0);
    const int sel = chosen(w);
    const int n = count(w, PC_CHOSEN);
    EnableWindow(GetDlgItem(w, PC_REMOVE), sel >= 0);
    EnableWindow(GetDlgItem(w, PC_DETAILS), sel >= 0);
    EnableWindow(GetDlgItem(w, PC_UP), sel > 0);
    EnableWindow(GetDlgItem(w, PC_DOWN), sel >= 0 && sel < n - 1);
    // A control that is disabled while it has the focus loses it: the focus goes on.
    HWND focus = GetFocus();
    if (!focus || (GetParent(focus) == w && !IsWindowEnabled(focus)))
        SetFocus(GetDlgItem(w, n == 0 ? static_cast<int>(PC_NAMES) : static_cast<int>(IDOK)));
}

void fill(HWND w) {
    const uint32_t host = pbdialogs().host;
    send(w, PC_NAMES, LB_RESETCONTENT);
    send(w, PC_GROUPS, LB_RESETCONTENT);
    char path[80] = {};
    qorsf::SF_getphonebookpath(host, path);
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    SetDlgItemTextA(w, PC_BOOKNAME, base);
    // A failure of the walks is not shown: the dialog opens with what it could fill.
    char item[31] = {};
    uint16_t found = 0;
    for (int16_t st = qorsf::SF_getfirstname(host, item, &found); st == 0 && found;
         st = qorsf::SF_getnextname(host, item, &found))
        if (!SF_isblank(item)) send(w, PC_NAMES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    qorsf::SF_epilog(host);
    for (int16_t st = qorsf::SF_getfirstgroup(host, item, &found); st == 0 && found;
         st = qorsf::SF_getnextgroup(host, item, &found))
        if (!SF_isblank(item)) send(w, PC_GROUPS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    qorsf::SF_epilog(host);
}

void showChosen(HWND w) {
    send(w, PC_CHOSEN, LB_RESETCONTENT);
    UT_LIST* list = chooser().list;
    if (!list) return;
    PB_ENTRY e{};
    int16_t found = 0;
    for (int16_t st = UT_listfirst(pbdialogs().host, list, &e, sizeof e, &found); st == 0 && found;
         st = UT_listnext(pbdialogs().host, list, &e, sizeof e, &found)) {
        e.name[sizeof e.name - 1] = '\0';
        send(w, PC_CHOSEN, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
    }
}

// Refuses a recipient without a fax number with text 2130 (the name put in); true = refused.
bool noFaxNumber(HWND w, const PB_ENTRY& e) {
    char number[31] = {};
    UL_strcopy(number, e.number);
    if (number[0] != '\0') return false;
    const uint32_t host = pbdialogs().host;
    char format[256] = {};
    char caption[128] = {};
    UL_loadstring(host, format, kLangModule, kTextNoFaxNumber);
    GetWindowTextA(w, caption, sizeof caption);
    char text[1024] = {};
    wsprintfA(text, format, e.name);
    UT_msgbox(host, w, text, caption, MB_ICONERROR);
    return true;
}

// Appends one name of the phone book to the recipients unless it is there already.
int16_t addName(HWND w, const char* name) {
    const uint32_t host = pbdialogs().host;
    char info[kPbInfoWidth + 1] = {};
    int16_t st = qorsf::SF_nametophone(host, name, info);
    qorsf::SF_epilog(host);
    if (st) return st;
    PB_ENTRY e{};
    if (info[0] != '\0') qorsf::SF_infotoentry(host, info, &e);
    UL_strcopy(e.name, name);
    if (noFaxNumber(w, e)) return 0;
    if (SF_finditem(w, PC_CHOSEN, e.name) >= 0) return 0;
    if (!chooser().list) return 0;
    if ((st = UT_listadd(host, chooser().list, &e, sizeof e))) return st;
    send(w, PC_CHOSEN, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
    return 0;
}

int16_t addChosen(HWND w) {
    const uint32_t host = pbdialogs().host;
    int16_t st = 0;
    if (selCount(w, PC_NAMES) > 0) {
        for (int i : selected(w, PC_NAMES)) {
            char name[31] = {};
            SF_itemtext(w, PC_NAMES, i, name, sizeof name);
            if ((st = addName(w, name))) break;
        }
        send(w, PC_NAMES, LB_SETSEL, FALSE, -1);
    } else if (selCount(w, PC_GROUPS) > 0) {
        for (int i : selected(w, PC_GROUPS)) {
            char group[31] = {};
            SF_itemtext(w, PC_GROUPS, i, group, sizeof group);
            // The members are collected first: looking each up moves the store away from the walk.
            std::vector<std::string> members;
            char name[31] = {};
            uint16_t found = 0;
            for (st = qorsf::SF_getfirstmember(host, group, name, &found); st == 0 && found;
                 st = qorsf::SF_getnextmember(host, group, name, &found))
                if (!SF_isblank(name)) members.emplace_back(name);
            qorsf::SF_epilog(host);
            if (st) break;
            for (const std::string& m : members)
                if ((st = addName(w, m.c_str()))) break;
            if (st) break;
        }
        send(w, PC_GROUPS, LB_SETSEL, FALSE, -1);
    }
    if (chosen(w) < 0 && count(w, PC_CHOSEN) > 0) send(w, PC_CHOSEN, LB_SETCURSEL, 0);
    updateButtons(w);
    return st;
}

int16_t removeChosen(HWND w) {
    const int i = chosen(w);
    if (i < 0) return 0;
    if (chooser().list) {
        if (int16_t st = UT_listdelete(pbdialogs().host, chooser().list, static_cast<uint32_t>(i) + 1)) return st;
    }
    send(w, PC_CHOSEN, LB_DELETESTRING, static_cast<WPARAM>(i));
    const int n = count(w, PC_CHOSEN);
    if (n > 0) send(w, PC_CHOSEN, LB_SETCURSEL, static_cast<WPARAM>(i < n ? i : n - 1));
    updateButtons(w);
    return 0;
}

int16_t showDetails(HWND w) {
    const uint32_t host = pbdialogs().host;
    const int i = chosen(w);
    char name[31] = {};
    if (!SF_itemtext(w, PC_CHOSEN, i, name, sizeof name) || !chooser().list) return 0;
    PB_ENTRY e{};
    int16_t found = 0;
    for (int16_t st = UT_listfirst(host, chooser().list, &e, sizeof e, &found); st == 0 && found;
         st = UT_listnext(host, chooser().list, &e, sizeof e, &found)) {
        e.name[sizeof e.name - 1] = '\0';
        if (strcasecmp(e.name, name) != 0) continue;
        HWND owner = nullptr;
        if (UL_getwindow(host, kNotifyWindow, &owner) == 0)
            owner = GetLastActivePopup(owner);
        else
            owner = w;
        return SF_rundialog(host, owner, kDisplayTemplate, ::WN_displayphone, reinterpret_cast<LPARAM>(&e), nullptr);
    }
    return 0;
}

// Moves the chosen recipient one place up (-1) or down (+1), in the list and in 304.
int16_t move(HWND w, int step) {
    const uint32_t host = pbdialogs().host;
    const int i = chosen(w);
    const int n = count(w, PC_CHOSEN);
    UT_LIST* list = chooser().list;
    if (i < 0 || !list || (step < 0 && i == 0) || (step > 0 && i >= n - 1)) {
        MessageBeep(0);
        return 0;
    }
    // The upper of the two items (from 1) goes behind the lower one.
    const uint32_t upper = static_cast<uint32_t>(step < 0 ? i : i + 1);
    PB_ENTRY e{};
    if (int16_t st = UT_listget(host, list, upper, &e, sizeof e)) return st;
    if (int16_t st = UT_listinsert(host, list, upper + 1, &e, sizeof e)) return st;
    if (int16_t st = UT_listdelete(host, list, upper)) return st;
    char text[31] = {};
    SF_itemtext(w, PC_CHOSEN, static_cast<int>(upper) - 1, text, sizeof text);
    send(w, PC_CHOSEN, LB_DELETESTRING, upper - 1);
    send(w, PC_CHOSEN, LB_INSERTSTRING, upper, reinterpret_cast<LPARAM>(text));
    send(w, PC_CHOSEN, LB_SETCURSEL, static_cast<WPARAM>(i + step));
    updateButtons(w);
    return 0;
}

int16_t fromNamesFile(HWND w) {
    const uint32_t host = pbdialogs().host;
    UT_LIST* list = chooser().list;
    if (!list) return 0;
    char title[80] = {};
    char filter[160] = {};
    if (int16_t st = UL_loadstring(host, title, kLangModule, kNamesFileTitle)) return st;
    if (int16_t st = UL_loadstring(host, filter, kLangModule, kNamesFilesFilter)) return st;
    char path[80] = ".";
    if (int16_t st = UT_choosefile(host, filter, title, 1, path, sizeof path)) return st;
    UT_LIST read{};
    uint16_t n = 0;
    int16_t st = qorsf::SF_readcsvfile(host, &read, path, &n);
    const int before = chosen(w);
    PB_ENTRY e{};
    int16_t found = 0;
    for (int16_t s = st ? 1 : UT_listfirst(host, &read, &e, sizeof e, &found); st == 0 && s == 0 && found;
         s = UT_listnext(host, &read, &e, sizeof e, &found)) {
        e.name[sizeof e.name - 1] = '\0';
        e.number[sizeof e.number - 1] = '\0';
        if (noFaxNumber(w, e)) continue;
        // An entry of the same name and number is on the list already.
        bool have = false;
        PB_ENTRY x{};
        int16_t more = 0;
        for (int16_t t = UT_listfirst(host, list, &x, sizeof x, &more); t == 0 && more && !have;
             t = UT_listnext(host, list, &x, sizeof x, &more))
            have = strcasecmp(x.name, e.name) == 0 && std::strcmp(x.number, e.number) == 0;
        if (have) continue;
        if ((st = UT_listadd(host, list, &e, sizeof e))) break;
        send(w, PC_CHOSEN, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
    }
    UT_listfree(host, &read);
    const int total = count(w, PC_CHOSEN);
    if (total > 0) send(w, PC_CHOSEN, LB_SETCURSEL, static_cast<WPARAM>(before + 1 < total ? before + 1 : total - 1));
    updateButtons(w);
    return st;
}

INT_PTR init(HWND w, LPARAM param) {
    const uint32_t host = pbdialogs().host;
    UX_initdialog(host, w);
    chooser().list = reinterpret_cast<UT_LIST*>(param);
    int16_t status = 0;
    if (!SF_offerbookchoice(host, &status)) ShowWindow(GetDlgItem(w, PC_CHOOSEBOOK), SW_HIDE);
    if (status) {
        MessageBeep(0);
        if (status != SF_CANCELLED && UT_showerror(host, status)) EndDialog(w, status);
    }
    fill(w);
    showChosen(w);
    updateButtons(w);
    return TRUE;
}

INT_PTR command(HWND w, int id, int code) {
    const uint32_t host = pbdialogs().host;
    int16_t st = 0;
    switch (id) {
        case PC_NAMES:
        case PC_GROUPS:
            if (code != LBN_SELCHANGE && code != LBN_DBLCLK) return TRUE;
            // Names and groups are never chosen together.
            if (selCount(w, id) > 0) send(w, id == PC_NAMES ? PC_GROUPS : PC_NAMES, LB_SETSEL, FALSE, -1);
            updateButtons(w);
            if (code == LBN_DBLCLK) st = addChosen(w);
            break;
        case PC_CHOSEN:
            if (code == LBN_SELCHANGE) updateButtons(w);
            if (code == LBN_DBLCLK) st = showDetails(w);
            break;
        case PC_ADD: st = addChosen(w); break;
        case PC_REMOVE: st = removeChosen(w); break;
        case PC_DETAILS: st = showDetails(w); break;
        case PC_UP: st = move(w, -1); break;
        case PC_DOWN: st = move(w, +1); break;
        case PC_FROMFILE: st = fromNamesFile(w); break;
        case PC_CHOOSEBOOK:
            st = SF_choosephonebook(host, 1);
            if (st == 0) {
                fill(w);
                updateButtons(w);
            }
            break;
        case IDOK: EndDialog(w, 0); return TRUE;
        case IDCANCEL: EndDialog(w, 1); return TRUE;
        case 4: UT_help(host, w, kChooserHelp); return TRUE;
        default: return FALSE;
    }
    if (st == SF_CANCELLED || st == SF_NORECORD || st == SF_EXISTS) {
        MessageBeep(0);  // 20221 and 20222 were shown by the phone book operation
    } else if (st) {
        MessageBeep(0);
        if (UT_showerror(host, st)) EndDialog(w, st);
    }
    return TRUE;
}

}  // namespace

INT_PTR WN_getfromphonebk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return init(window, lParam);
        case WM_COMMAND: return command(window, LOWORD(wParam), HIWORD(wParam));
        case WM_ERASEBKGND: return UX_erasebkgnd(pbdialogs().host, window, wParam);
        case WM_DESTROY: chooser().list = nullptr; break;
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

}  // namespace qorsf
