// The group members dialog (template 2073): the members of the group named in the library-wide
// group text, each of which can be shown or removed from the group.
#include <cstring>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/form.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"

namespace qorsf {

namespace {

LRESULT send(HWND w, int id, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendDlgItemMessageA(w, id, m, wp, lp); }

void refresh(HWND w) {
    const int n = static_cast<int>(send(w, PM_MEMBERS, LB_GETCOUNT));
    ShowWindow(GetDlgItem(w, n < 1 ? PM_SOME : PM_NONE), SW_HIDE);
    ShowWindow(GetDlgItem(w, n < 1 ? PM_NONE : PM_SOME), SW_SHOW);
    if (n >= 1 && send(w, PM_MEMBERS, LB_GETCURSEL) < 0) send(w, PM_MEMBERS, LB_SETCURSEL, 0);
    SetDlgItemInt(w, PM_COUNT, static_cast<UINT>(n < 0 ? 0 : n), FALSE);
    EnableWindow(GetDlgItem(w, PM_REMOVE), n >= 1 ? TRUE : FALSE);
    EnableWindow(GetDlgItem(w, PM_DETAILS), n >= 1 ? TRUE : FALSE);
}

INT_PTR init(HWND w) {
    PbDialogState& d = pbdialogs();
    UX_initdialog(d.host, w);
    SetDlgItemTextA(w, PM_GROUP, d.group);
    char name[31] = {};
    uint16_t found = 0;
    int16_t st = qorsf::SF_getfirstmember(d.host, d.group, name, &found);
    while (st == 0 && found) {
        if (!SF_isblank(name)) send(w, PM_MEMBERS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        st = qorsf::SF_getnextmember(d.host, d.group, name, &found);
    }
    qorsf::SF_epilog(d.host);
    if (st) {
        EndDialog(w, st);
        return TRUE;
    }
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(PM_COUNT, 0), 0);
    return TRUE;
}

void removeMember(HWND w) {
    PbDialogState& d = pbdialogs();
    const int i = static_cast<int>(send(w, PM_MEMBERS, LB_GETCURSEL));
    char name[31] = {};
    if (!SF_itemtext(w, PM_MEMBERS, i, name, sizeof name)) return;
    if (int16_t st = qorsf::SF_removenamefromgroup(d.host, name, d.group)) {
        EndDialog(w, st);
        return;
    }
    send(w, PM_MEMBERS, LB_DELETESTRING, static_cast<WPARAM>(i));
    d.membersChanged = true;
    send(w, PM_MEMBERS, LB_SETCURSEL, static_cast<WPARAM>(i > 0 ? i - 1 : 0));
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(PM_COUNT, 0), 0);
}

void details(HWND w) {
    PbDialogState& d = pbdialogs();
    const int i = static_cast<int>(send(w, PM_MEMBERS, LB_GETCURSEL));
    char name[31] = {};
    if (!SF_itemtext(w, PM_MEMBERS, i, name, sizeof name)) return;
    char info[kPbInfoWidth + 1] = {};
    int16_t st = qorsf::SF_nametophone(d.host, name, info);
    qorsf::SF_epilog(d.host);
    if (st) {
        EndDialog(w, st);
        return;
    }
    PB_ENTRY e{};
    if (info[0] != '\0') qorsf::SF_infotoentry(d.host, info, &e);
    UL_strcopy(e.name, name);
    if ((st = SF_rundialog(d.host, w, kDisplayTemplate, ::WN_displayphone, reinterpret_cast<LPARAM>(&e), nullptr)))
        EndDialog(w, st);
}

}  // namespace

INT_PTR WN_sfgroupmembers(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const uint32_t host = pbdialogs().host;
    switch (message) {
        case WM_INITDIALOG: return init(window);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case PM_COUNT: refresh(window); return TRUE;
                case PM_REMOVE: removeMember(window); return TRUE;
                case PM_DETAILS: details(window); return TRUE;
                case PM_MEMBERS:
                    if (HIWORD(wParam) == LBN_DBLCLK) details(window);
                    return TRUE;
                case IDOK:
                case IDCANCEL: EndDialog(window, 0); return TRUE;
                default: break;
            }
            break;
        case WM_ERASEBKGND: return UX_erasebkgnd(host, window, wParam);
        case WM_PAINT: return UX_paintdialog(host, window, 20, 21);
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

}  // namespace qorsf
