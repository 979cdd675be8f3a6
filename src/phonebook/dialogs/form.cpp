// The phone book form's routines: read, show, clear, add, update, and the offer to save.
#include "phonebook/dialogs/form.h"

#include <cstring>
#include <strings.h>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"
#include "qorui.h"

namespace qorsf {

namespace {

// The eight detail fields: control, entry field and its size.
struct FormField {
    int id;
    std::size_t offset;
    std::size_t size;
};
constexpr FormField kFields[] = {
    {PF_COMPANY, offsetof(PB_ENTRY, company), sizeof(PB_ENTRY::company)},
    {PF_VOICE, offsetof(PB_ENTRY, voice), sizeof(PB_ENTRY::voice)},
    {PF_ALTNUMBER, offsetof(PB_ENTRY, altnumber), sizeof(PB_ENTRY::altnumber)},
    {PF_OTHERNUMBER, offsetof(PB_ENTRY, othernumber), sizeof(PB_ENTRY::othernumber)},
    {PF_TEXT1, offsetof(PB_ENTRY, text1), sizeof(PB_ENTRY::text1)},
    {PF_TEXT2, offsetof(PB_ENTRY, text2), sizeof(PB_ENTRY::text2)},
    {PF_NUMBER, offsetof(PB_ENTRY, number), sizeof(PB_ENTRY::number)},
    {PF_TEXT3, offsetof(PB_ENTRY, text3), sizeof(PB_ENTRY::text3)},
};

char* fieldOf(PB_ENTRY* e, const FormField& f) { return reinterpret_cast<char*>(e) + f.offset; }

// The controls are written by the program: their change notifications are not the user's.
struct Writing {
    Writing() { ++formstate().writing; }
    ~Writing() { --formstate().writing; }
    Writing(const Writing&) = delete;
    Writing& operator=(const Writing&) = delete;
};

// A number field: a non-empty text must pass SF_checkphonenum.
bool numberValid(const char* text) {
    uint16_t result = 0;
    qorsf::SF_checkphonenum(text, &result);
    return result == 0;
}

// The checks shared by add and update; the id of the field that failed, or 0.
int checkEntry(uint32_t host, HWND window, const PB_ENTRY& e, bool faxAlways) {
    char trimmed[128] = {};
    UX_textcopy(trimmed, e.number);
    // A one-character fax number is let through on add (a name still being filled in); an
    // update checks any number it stores.
    if ((faxAlways ? trimmed[0] != '\0' : std::strlen(trimmed) >= 2) && !numberValid(trimmed)) {
        SF_formerror(host, window, kTextBadNumber);
        return PF_NUMBER;
    }
    const struct {
        const char* text;
        int id;
    } others[] = {{e.voice, PF_VOICE}, {e.altnumber, PF_ALTNUMBER}, {e.othernumber, PF_OTHERNUMBER}};
    for (const auto& o : others) {
        char copy[31] = {};
        UL_strcopy(copy, o.text);
        if (copy[0] != '\0' && !numberValid(copy)) {
            SF_formerror(host, window, kTextBadNumber);
            return o.id;
        }
    }
    UX_textcopy(trimmed, e.name);
    if (trimmed[0] == '\0') {
        SF_formerror(host, window, kTextNoName);
        return PF_NAME;
    }
    return 0;
}

void setTexts(const PB_ENTRY& e, const char* name) {
    UL_strcopy(SF_nametext(), 80, name);
    UL_strcopy(SF_numbertext(), 80, e.number);
}

bool sameEntry(const PB_ENTRY& a, const PB_ENTRY& b) {
    if (std::strcmp(a.name, b.name) != 0) return false;
    for (const FormField& f : kFields)
        if (std::strcmp(reinterpret_cast<const char*>(&a) + f.offset, reinterpret_cast<const char*>(&b) + f.offset) != 0)
            return false;
    return true;
}

// Asks a question of the form with Yes, No and Cancel: IDYES, IDNO or IDCANCEL.
int ask(uint32_t host, HWND window, uint16_t number) {
    char text[256] = {};
    char caption[80] = {};
    UL_loadstring(host, text, kLangModule, number);
    UL_loadstring(host, caption, kLangModule, kCaptionForm);
    return UT_msgbox(host, window, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
}

char spareName[80];
char spareNumber[80];

}  // namespace

FormState& formstate() {
    static FormState s;
    return s;
}

void form_reset() { formstate() = FormState{}; }

bool SF_sameentry(const PB_ENTRY& a, const PB_ENTRY& b) { return sameEntry(a, b); }

char* SF_nametext() { return frame().area[4] ? frame().area[4] : spareName; }
char* SF_numbertext() { return frame().area[6] ? frame().area[6] : spareNumber; }

void SF_formerror(uint32_t host, HWND window, uint16_t text) { SF_errorbox(host, window, text, kCaptionForm); }

int SF_finditem(HWND window, int id, const char* text) {
    if (!text || text[0] == '\0') return -1;
    HWND list = GetDlgItem(window, id);
    if (!list) return -1;
    const bool combo = qorwin::className(list) == "ComboBox";
    const LRESULT i = SendMessageA(list, combo ? static_cast<UINT>(CB_FINDSTRINGEXACT) : static_cast<UINT>(LB_FINDSTRINGEXACT), static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(text));
    return i < 0 ? -1 : static_cast<int>(i);
}

bool SF_itemtext(HWND window, int id, int i, char* out, std::size_t size) {
    if (!out || size == 0) return false;
    out[0] = '\0';
    HWND list = GetDlgItem(window, id);
    if (!list || i < 0) return false;
    const bool combo = qorwin::className(list) == "ComboBox";
    const LRESULT n = SendMessageA(list, combo ? static_cast<UINT>(CB_GETLBTEXTLEN) : static_cast<UINT>(LB_GETTEXTLEN), static_cast<WPARAM>(i), 0);
    if (n < 0) return false;
    // The list gives the whole text: read it into room of its own size, then cut it.
    std::string whole(static_cast<std::size_t>(n) + 1, '\0');
    if (SendMessageA(list, combo ? static_cast<UINT>(CB_GETLBTEXT) : static_cast<UINT>(LB_GETTEXT), static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(whole.data())) < 0)
        return false;
    UL_strcopy(out, size, whole.c_str());
    return true;
}

int SF_insertsorted(HWND window, int id, const char* text) {
    HWND list = GetDlgItem(window, id);
    if (!list || !text) return -1;
    const bool combo = qorwin::className(list) == "ComboBox";
    const int count = static_cast<int>(SendMessageA(list, combo ? static_cast<UINT>(CB_GETCOUNT) : static_cast<UINT>(LB_GETCOUNT), 0, 0));
    // The lists show the phone book in key order: a binary search for the first item after it.
    int lo = 0, hi = count;
    char item[31];
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        SF_itemtext(window, id, mid, item, sizeof item);
        const int c = qorsf::SF_strcmp(item, text);
        if (c == 0) return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return static_cast<int>(
        SendMessageA(list, combo ? static_cast<UINT>(CB_INSERTSTRING) : static_cast<UINT>(LB_INSERTSTRING), static_cast<WPARAM>(lo), reinterpret_cast<LPARAM>(text)));
}

int16_t SF_readform(uint32_t, HWND window, PB_ENTRY* entry) {
    if (!entry) return UL_E_BADARG;
    for (const FormField& f : kFields) GetDlgItemTextA(window, f.id, fieldOf(entry, f), static_cast<int>(f.size));
    return 0;
}

int16_t SF_showentry(uint32_t host, HWND window, const PB_ENTRY* entry) {
    FormState& s = formstate();
    PB_ENTRY e{};
    if (entry) std::memcpy(&e, entry, sizeof e);
    // Fixed fields of a caller's entry: each terminated within its width before it is shown.
    e.name[sizeof e.name - 1] = '\0';
    for (const FormField& f : kFields) fieldOf(&e, f)[f.size - 1] = '\0';
    {
        Writing writing;
        SetDlgItemTextA(window, PF_NAME, e.name);
        for (const FormField& f : kFields) SetDlgItemTextA(window, f.id, fieldOf(&e, f));
        SendDlgItemMessageA(window, PF_GROUPS, CB_RESETCONTENT, 0, 0);
        // Only a name of the phone book has groups; asking for another would report it missing.
        if (SF_finditem(window, PF_NAME, e.name) >= 0) {
            char group[31] = {};
            uint16_t found = 0;
            int16_t st = qorsf::SF_getfirstgroupofname(host, e.name, group, &found);
            while (st == 0 && found) {
                if (!SF_isblank(group)) SendDlgItemMessageA(window, PF_GROUPS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(group));
                st = qorsf::SF_getnextgroupofname(host, e.name, group, &found);
            }
            qorsf::SF_epilog(host);
        }
        const bool any = SendDlgItemMessageA(window, PF_GROUPS, CB_GETCOUNT, 0, 0) > 0;
        EnableWindow(GetDlgItem(window, PF_GROUPS), any ? TRUE : FALSE);
        if (any) SendDlgItemMessageA(window, PF_GROUPS, CB_SETCURSEL, 0, 0);
    }
    std::memcpy(&s.shown, &e, sizeof e);
    s.isNew = false;
    s.modified = false;
    return 0;
}

int16_t SF_shownamerecord(uint32_t host, HWND window, int i) {
    FormState& s = formstate();
    char name[31] = {};
    if (!SF_itemtext(window, PF_NAME, i, name, sizeof name) || name[0] == '\0') return SF_clearform(host, window);
    char info[kPbInfoWidth + 1] = {};
    const int16_t st = qorsf::SF_nametophone(host, name, info);
    qorsf::SF_epilog(host);
    PB_ENTRY e{};
    if (st == 0 && info[0] != '\0') qorsf::SF_infotoentry(host, info, &e);
    UL_strcopy(e.name, name);
    UL_strcopy(s.current, name);
    SF_showentry(host, window, &e);
    std::memcpy(&s.shown, &e, sizeof e);
    std::memcpy(&s.form, &e, sizeof e);
    return st;
}

int16_t SF_clearform(uint32_t, HWND window) {
    FormState& s = formstate();
    {
        Writing writing;
        SendDlgItemMessageA(window, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetDlgItemTextA(window, PF_NAME, "");
        for (const FormField& f : kFields) SetDlgItemTextA(window, f.id, "");
        SendDlgItemMessageA(window, PF_GROUPS, CB_RESETCONTENT, 0, 0);
        EnableWindow(GetDlgItem(window, PF_GROUPS), FALSE);
    }
    std::memset(&s.shown, 0, sizeof s.shown);
    s.isNew = false;
    s.modified = false;
    return 0;
}

int16_t SF_addfromform(uint32_t host, HWND window, PB_ENTRY* entry, int* focus) {
    FormState& s = formstate();
    int dummy = 0;
    if (!focus) focus = &dummy;
    *focus = 0;
    PB_ENTRY& e = entry ? *entry : s.form;
    std::memset(&e, 0, sizeof e);
    GetDlgItemTextA(window, PF_NAME, e.name, sizeof e.name);
    SF_readform(host, window, &e);
    if ((*focus = checkEntry(host, window, e, false)) != 0) return 0;

    char name[128] = {};
    UX_textcopy(name, e.name);
    PB_RECORD record{};
    UL_strcopy(record.name, name);
    std::memset(record.group, ' ', 30);
    PB_ENTRY stored = e;
    UL_strcopy(stored.name, name);
    qorsf::SF_entrytoinfo(host, &stored, record.info);
    if (int16_t st = qorsf::SF_addphone(host, name, &record)) return st;
    setTexts(stored, name);

    // The name joins the list at its place; the groups shown in the form become its groups.
    const int at = SF_insertsorted(window, PF_NAME, name);
    {
        Writing writing;
        SendDlgItemMessageA(window, PF_NAME, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    }
    const int groups = static_cast<int>(SendDlgItemMessageA(window, PF_GROUPS, CB_GETCOUNT, 0, 0));
    for (int g = 0; g < groups; ++g) {
        char group[31] = {};
        if (!SF_itemtext(window, PF_GROUPS, g, group, sizeof group)) {
            SF_formerror(host, window, kTextGroupUnreadable);
            break;
        }
        // A membership that exists already is reported by the operation; the others still go in.
        qorsf::SF_addnametogroup(host, name, group);
    }
    s.isNew = false;
    return SF_shownamerecord(host, window, at);
}

int16_t SF_updatefromform(uint32_t host, HWND window, PB_ENTRY* entry, int* focus) {
    FormState& s = formstate();
    int dummy = 0;
    if (!focus) focus = &dummy;
    *focus = 0;
    PB_ENTRY& e = entry ? *entry : s.form;
    std::memset(&e, 0, sizeof e);
    UL_strcopy(e.name, s.current);
    SF_readform(host, window, &e);
    if ((*focus = checkEntry(host, window, e, true)) != 0) return 0;
    char info[kPbInfoWidth + 1] = {};
    qorsf::SF_entrytoinfo(host, &e, info);
    if (int16_t st = qorsf::SF_updatephone(host, s.current, info)) return st;
    setTexts(e, s.current);
    // What is stored now is what the form shows.
    std::memcpy(&s.shown, &e, sizeof e);
    s.modified = false;
    return 0;
}

int16_t SF_offersave(uint32_t host, HWND window, bool closing) {
    FormState& s = formstate();
    if (!s.isNew && !s.modified) return 0;
    const bool isNew = s.isNew;
    const int answer = ask(host, window, isNew ? (closing ? kAskSaveNewClosing : kAskSaveNew)
                                               : (closing ? kAskSaveChangesClosing : kAskSaveChanges));
    if (answer == IDNO) {
        s.isNew = false;
        s.modified = false;
        return 0;
    }
    if (answer != IDYES) return SF_CANCELLED;
    int focus = 0;
    const int16_t st = isNew ? SF_addfromform(host, window, &s.form, &focus) : SF_updatefromform(host, window, &s.form, &focus);
    if (st) return st;
    if (focus) {
        SetFocus(GetDlgItem(window, focus));
        return SF_CANCELLED;
    }
    return 0;
}

}  // namespace qorsf
