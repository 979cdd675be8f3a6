// The documents panel of the send dialog: list box 145 holds what will be sent (the cover page
// first when one was made, then every usable document of the document list), the viewer 146
// shows the selected row, the cover command makes or remakes the cover page, the save command
// saves the listed files, and Cancel turns into a wait button while anything is listed.
//
// A row is an 80-character display field (the name padded with blanks; column 80 is "C" in the
// cover row) immediately followed by the file's full path.
#include <cstring>
#include <string>
#include <vector>

#include "cover/cover.h"
#include "frame/frame.h"
#include "frame/services/guards.h"
#include "phonebook/dialogs/form.h"
#include "qorlib2.h"
#include "send/dialogs/senddlg.h"
#include "send/send.h"

// The cover page dialog belongs to the cover pages module; a build without it offers no dialog
// (the cover command then reports that the dialog cannot be made).
#if __has_include("cover/askcover.h")
#include "cover/askcover.h"
#define QORSF_HAVE_ASKCOVER 1
#endif

namespace qorsf {

namespace {

constexpr std::size_t kDisplayWidth = 80;

std::string rowText(HWND w, int row) {
    const LRESULT n = SendDlgItemMessageA(w, SD_DOCLIST, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (n < 0) return {};
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    SendDlgItemMessageA(w, SD_DOCLIST, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string makeRow(const std::string& display, bool cover, const std::string& path) {
    std::string field = display.substr(0, kDisplayWidth - 1);
    field.resize(kDisplayWidth - 1, ' ');
    field += cover ? 'C' : ' ';
    return field + path;
}

int rows(HWND w) { return static_cast<int>(SendDlgItemMessageA(w, SD_DOCLIST, LB_GETCOUNT, 0, 0)); }

std::string baseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') base = p + 1;
    return base;
}

// Lets the user choose a document and puts it on the document list.
int16_t attach(uint32_t host) {
    char filter[160] = {};
    if (UL_loadstring(host, filter, kLangModule, 2107) != 0) UL_strcopy(filter, "All files (*.*)|*.*|");
    char title[80] = {};
    if (UL_loadstring(host, title, kLangModule, kTextAttachTitle) != 0) UL_strcopy(title, "Attach a Document");
    char path[UL_MAXPATH] = ".";
    if (int16_t st = UT_choosefile(host, filter, title, 1, path, sizeof path)) return st;
    return FN_adddocument(host, path, 0, 0);
}

}  // namespace

bool SF_iscoverrow(HWND w, int row) {
    if (row < 0 || row >= rows(w)) return false;
    const std::string text = rowText(w, row);
    return text.size() >= kDisplayWidth && text[kDisplayWidth - 1] == 'C';
}

bool SF_rowpath(HWND w, int row, char* path, std::size_t size) {
    if (!path || size == 0) return false;
    path[0] = '\0';
    if (row < 0 || row >= rows(w)) return false;
    const std::string text = rowText(w, row);
    if (text.size() <= kDisplayWidth) return false;
    UL_strcopy(path, size, text.c_str() + kDisplayWidth);
    return true;
}

void SF_viewselfiles(uint32_t, HWND w, int row) {
    char path[UL_MAXPATH] = {};
    if (row >= 0) SF_rowpath(w, row, path, sizeof path);
    SendDlgItemMessageA(w, SD_VIEWER, VWM_COMMAND, VW_SHOWFILE, reinterpret_cast<LPARAM>(path));
}

void SF_setwaitbutton(uint32_t host, HWND w, bool on) {
    SendDialogState& s = senddialog();
    if (on) {
        if (s.waitMode) return;
        if (!s.captionSaved) {
            GetDlgItemTextA(w, SD_CANCEL, s.savedCaption, sizeof s.savedCaption);
            s.captionSaved = true;
        }
        char text[80] = {};
        if (UL_loadstring(host, text, kLangModule, kTextWait) != 0 || text[0] == '\0') UL_strcopy(text, "&Wait");
        SetDlgItemTextA(w, SD_CANCEL, text);
        s.waitMode = true;
    } else if (s.waitMode) {
        SetDlgItemTextA(w, SD_CANCEL, s.savedCaption);
        s.waitMode = false;
    }
}

int16_t SF_filldoclist(uint32_t host, HWND w) {
    // The cover row stays; the document rows are made afresh.
    const bool cover = SF_iscoverrow(w, 0);
    if (cover) {
        while (rows(w) > 1) SendDlgItemMessageA(w, SD_DOCLIST, LB_DELETESTRING, 1, 0);
    } else {
        SendDlgItemMessageA(w, SD_DOCLIST, LB_RESETCONTENT, 0, 0);
    }
    int16_t count = 0;
    if (int16_t st = FN_doccount(host, &count)) return st;
    int32_t current = 0;
    FN_docinfo(host, 3, &current);
    int16_t st = 0;
    if (count > 0 && FN_firstdoc(host) == 0) {
        for (int16_t i = 0; i < count; ++i) {
            int32_t type = 0;
            char path[UL_MAXPATH] = {};
            if ((st = FN_docinfo(host, 1, &type)) || (st = FN_getdocname(host, path, sizeof path))) break;
            int16_t pages = 0;
            char text1[80] = {}, text2[80] = {};
            // A document that cannot be sent is not listed; the walk goes on.
            if (SF_checkdocument(host, path, static_cast<int16_t>(type), &pages, text1, text2) == 0) {
                const std::string display = text2[0] ? std::string(text2) : baseName(path);
                const std::string row = makeRow(display, false, path);
                SendDlgItemMessageA(w, SD_DOCLIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
            }
            if (FN_nextdoc(host) != 0) break;
        }
    }
    if (current >= 1) FN_selectdoc(host, static_cast<int16_t>(current));
    const int first = cover ? (rows(w) > 1 ? 1 : 0) : (rows(w) > 0 ? 0 : -1);
    SendDlgItemMessageA(w, SD_DOCLIST, LB_SETCURSEL, static_cast<WPARAM>(first), 0);
    SF_viewselfiles(host, w, first);
    return st;
}

int16_t SF_savefilesinlist(uint32_t host, HWND w) {
    const int n = rows(w);
    if (n <= 0) return 0;
    std::vector<char> names(static_cast<std::size_t>(n) * 81, '\0');
    for (int i = 0; i < n; ++i) SF_rowpath(w, i, names.data() + static_cast<std::size_t>(i) * 81, 81);
    return FN_savepages(host, w, names.data(), static_cast<int16_t>(n), "", "", 2);
}

int16_t SF_apaskcover(uint32_t host, HWND w, bool silent) {
    SendDialogState& s = senddialog();
    if (!s.options) return SF_WRONGSTATE;
    COVER_SHEET& cover = s.options->coverInfo;
    // The entry in the fields is the cover's recipient; an invalid number gives no recipient lines.
    if (SF_getphoneentry(host, w, SF_numbertext(), SF_nametext()) == 1) {
        PB_ENTRY entry{};
        SF_readform(host, w, &entry);
        UL_strcopy(entry.name, SF_nametext());
        if (entry.name[0] == '\0') {
            cover.recipient1[0] = cover.recipient2[0] = cover.recipient3[0] = '\0';
            UL_strcopy(cover.recipient4, entry.number);
        }
        SF_fillcoverto(host, &entry, &cover);
    } else {
        cover.recipient1[0] = cover.recipient2[0] = cover.recipient3[0] = cover.recipient4[0] = '\0';
    }
    if (!silent) {
#ifdef QORSF_HAVE_ASKCOVER
        uint16_t cancelled = 0;
        if (int16_t st = SF_askcover(host, &cover, &cancelled)) return st;
        if (cancelled) return 0;
#else
        return SF_NODIALOG;
#endif
    }
    frame().sendState = 1;

    char path[UL_MAXPATH] = {};
    if (int16_t st = UL_getpath(host, path, 22)) return st;
    int16_t count = 0;
    FN_doccount(host, &count);
    int16_t type = 1;
    {
        EngineLock lock(host);
        if (int16_t st = lock.take()) return st;
        const int16_t fine = IsDlgButtonChecked(w, SD_FINE) == BST_CHECKED ? 1 : 0;
        if (int16_t st = SF_makecover(host, &cover, path, static_cast<int16_t>(count + 1), fine, &type)) {
            UL_fdelete(host, path);
            return st;
        }
    }
    // The new cover page replaces the old one, whose file goes.
    if (SF_iscoverrow(w, 0)) {
        char old[UL_MAXPATH] = {};
        if (SF_rowpath(w, 0, old, sizeof old) && old[0]) UL_fdelete(host, old);
        SendDlgItemMessageA(w, SD_DOCLIST, LB_DELETESTRING, 0, 0);
    }
    char name[80] = {};
    if (UL_loadstring(host, name, kLangModule, kTextCoverName) != 0) UL_strcopy(name, "Cover page");
    const std::string row = makeRow(name, true, path);
    SendDlgItemMessageA(w, SD_DOCLIST, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    SendDlgItemMessageA(w, SD_DOCLIST, LB_SETCURSEL, 0, 0);
    SF_viewselfiles(host, w, 0);
    SF_setwaitbutton(host, w, true);
    return 0;
}

int16_t SF_attachcommand(uint32_t host, HWND w) {
    if (int16_t st = attach(host)) return st;
    return SF_filldoclist(host, w);
}

}  // namespace qorsf
