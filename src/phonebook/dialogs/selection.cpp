// The phone book's small dialogs: a new group (WN_fsaddgroup), the order of the printed phone
// book (WN_sfprint) and one entry shown read-only (WN_displayphone).
#include <cstring>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/phonebook.h"
#include "qorui.h"
#include "qorwindow.h"

namespace qorsf {

namespace {

constexpr int kGroupChars = 30;
constexpr uint16_t kTextGroupExists = 2045;
constexpr uint16_t kTextGroupFailed = 2046;
constexpr uint16_t kTextGroupUnsafe = 2047;
constexpr uint16_t kCaptionPhoneBook = 2037;

// The messages every phone book dialog leaves to the product's helpers.
INT_PTR decoration(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int16_t paint) {
    const uint32_t host = pbdialogs().host;
    if (message == WM_ERASEBKGND) return UX_erasebkgnd(host, window, wParam);
    if (message == WM_PAINT) return UX_paintdialog(host, window, 20, paint);
    return UX_defdialog(window, message, wParam, lParam);
}

// Whether the phone book has the group already (compared as the phone book compares groups).
int16_t groupExists(uint32_t host, const char* group, bool* exists) {
    *exists = false;
    char each[31] = {};
    uint16_t found = 0;
    int16_t st = SF_getfirstgroup(host, each, &found);
    while (st == 0 && found) {
        if (SF_strcmp(each, group) == 0) {
            *exists = true;
            break;
        }
        st = SF_getnextgroup(host, each, &found);
    }
    SF_epilog(host);
    return st;
}

void addGroup(HWND window) {
    PbDialogState& s = pbdialogs();
    char typed[kGroupChars + 1] = {};
    GetDlgItemTextA(window, PB_GROUPNAME, typed, sizeof typed);
    UX_textcopy(s.group, typed);
    if (s.group[0] == '\0') return;  // nothing to create: the dialog stays
    // The groups file could not hold such a name: it is refused while the user can still change it.
    if (!SF_filesafe(s.group)) {
        SF_errorbox(s.host, window, kTextGroupUnsafe, kCaptionPhoneBook);
        return;
    }
    bool exists = false;
    groupExists(s.host, s.group, &exists);
    if (exists) {
        SF_errorbox(s.host, window, kTextGroupExists, kCaptionPhoneBook);
        return;
    }
    if (SF_addnametogroup(s.host, "", s.group) != 0) {
        SF_errorbox(s.host, window, kTextGroupFailed, kCaptionPhoneBook);
        return;
    }
    EndDialog(window, 0);
}

}  // namespace

PbDialogState& pbdialogs() {
    static PbDialogState s;
    return s;
}

INT_PTR WN_fsaddgroup(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            UX_initdialog(pbdialogs().host, window);
            SendDlgItemMessageA(window, PB_GROUPNAME, EM_LIMITTEXT, kGroupChars, 0);
            EnableWindow(GetDlgItem(window, IDOK), FALSE);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case PB_GROUPNAME:
                    if (HIWORD(wParam) == EN_CHANGE) EnableWindow(GetDlgItem(window, IDOK), TRUE);
                    return TRUE;
                case IDOK: addGroup(window); return TRUE;
                case IDCANCEL: EndDialog(window, 1); return TRUE;
                default: break;
            }
            break;
        default: break;
    }
    return decoration(window, message, wParam, lParam, 21);
}

INT_PTR WN_sfprint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            UX_initdialog(pbdialogs().host, window);
            CheckRadioButton(window, PB_BYNAME, PB_BYGROUP, PB_BYNAME);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case PB_BYNAME:
                case PB_BYGROUP:
                    CheckRadioButton(window, PB_BYNAME, PB_BYGROUP, LOWORD(wParam));
                    if (HIWORD(wParam) == BN_DOUBLECLICKED) EndDialog(window, LOWORD(wParam));
                    return TRUE;
                case IDOK:
                    EndDialog(window, IsDlgButtonChecked(window, PB_BYGROUP) ? PB_BYGROUP : PB_BYNAME);
                    return TRUE;
                case IDCANCEL: EndDialog(window, 1); return TRUE;
                default: break;
            }
            break;
        default: break;
    }
    return decoration(window, message, wParam, lParam, 21);
}

INT_PTR WN_displayphone(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            UX_initdialog(pbdialogs().host, window);
            PB_ENTRY shown{};
            if (lParam) std::memcpy(&shown, reinterpret_cast<const void*>(lParam), sizeof shown);
            // Fixed fields: each is terminated within its width before it is shown.
            auto put = [&](int id, char* field, std::size_t width) {
                field[width - 1] = '\0';
                SetDlgItemTextA(window, id, field);
            };
            put(171, shown.name, sizeof shown.name);
            put(172, shown.company, sizeof shown.company);
            put(174, shown.text1, sizeof shown.text1);
            put(175, shown.text2, sizeof shown.text2);
            put(173, shown.voice, sizeof shown.voice);
            put(193, shown.altnumber, sizeof shown.altnumber);
            put(176, shown.number, sizeof shown.number);
            put(194, shown.othernumber, sizeof shown.othernumber);
            put(177, shown.text3, sizeof shown.text3);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                EndDialog(window, 0);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, 1);
                return TRUE;
            }
            break;
        default: break;
    }
    return decoration(window, message, wParam, lParam, 29);
}

int16_t SF_rundialog(uint32_t host, HWND owner, uint16_t number, DLGPROC proc, LPARAM param, INT_PTR* result) {
    pbdialogs().host = host;
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    const INT_PTR r = DialogBoxParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                      MAKEINTRESOURCEA(number), owner, proc, param);
    if (r == -1) return SF_NODIALOG;
    if (result) *result = r;
    return 0;
}

}  // namespace qorsf
