// The cover page dialog (see askcover.h).
//
// The dialog is modal and one at a time, so its state is library-wide. The memo lives in the
// edit control while the dialog is up; OK collects it into a movable block that SF_askcover
// hands to the record. A preview is a cover page file made in the spool directory from a copy
// of the record; it is deleted when a newer preview replaces it and when the dialog ends.
#include "cover/askcover.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cover/cover.h"
#include "frame/frame.h"
#include "frame/services/guards.h"
#include "qorce.h"
#include "qorlib1.h"
#include "qorul.h"
#include "qorut.h"
#include "qorux.h"
#include "qorwindow.h"
#include "qorwingdi.h"
#include "report/report.h"
#include "send/send.h"

namespace qorsf {

namespace {

// Language texts of the dialog.
constexpr uint16_t kTextNoTemplate = 2119;   // first entry of the template list
constexpr uint16_t kTextNoHeader = 2113;     // first entry of the header logo list
constexpr uint16_t kTextNoFooter = 2114;     // first entry of the footer logo list
constexpr uint16_t kTextSaveMemo = 2092;     // the memo was changed: save it?
constexpr uint16_t kTextMemoFilter = 2108;   // filter of the memo file chooser
constexpr uint16_t kTextMemoTitle = 2090;    // title of the memo file chooser
constexpr uint16_t kTextPreviewTitle = 2109; // title of the preview window
constexpr uint16_t kTextMemoCut = 2093;      // an imported memo was cut to the memo's room
constexpr uint16_t kTextBadTemplate = 2097;  // a template that cannot be used, and why
constexpr uint16_t kTextCoverPage = 2007;    // the default cover form (a report layout)
constexpr uint16_t kTextCaption = 2126;      // "Send Fax"
constexpr UINT kClosePreview = 0x1400;       // asks a preview window to close
constexpr int kFieldLimit = 50;              // the most a sender or recipient text takes

struct LogoFile {
    std::string name;  // the file name in the data directory
    std::string base;  // without its extension: what the list shows
};

struct AskState {
    uint32_t host = 0;
    COVER_SHEET* record = nullptr;
    int16_t mode = 0;                  // the send dialog's mode (0 = ordinary send)
    uint32_t memo = 0;                 // the memo collected by OK, until SF_askcover takes it
    bool memoChanged = false;          // typed since it was last loaded or saved
    bool writing = false;              // the dialog itself is writing the memo
    int16_t selected = 0;              // template number (0 = none)
    int headerChoice = 0, footerChoice = 0;  // logo list selections remembered under a template
    char headerName[80] = {};          // the logo buffers: the user's last logo choices
    char footerName[80] = {};
    std::vector<CoverTemplate> templates;
    std::vector<LogoFile> logos;
    RPT_CONTEXT layout{};              // the default cover form, for its field widths and font
    bool layoutLoaded = false;
    HFONT defaultFont = nullptr;       // the memo font without a template (owned unless the layout's)
    bool ownDefaultFont = false;
    HFONT templateFont = nullptr;      // the memo font of the chosen template
    RECT memoRect{};                   // the memo area as the dialog template places it
    bool busy = false;                 // a preview is being made
    HWND preview = nullptr;
    std::string previewFile;
};

AskState& ask() {
    static AskState s;
    return s;
}

std::string langText(uint32_t host, uint16_t number) {
    char buf[256] = {};
    UL_loadstring(host, buf, kLangModule, number);
    return buf;
}

std::string textOf(const char* p, std::size_t n) { return std::string(p, ::strnlen(p, n)); }

std::string dataDir(uint32_t host) {
    char dir[UL_MAXPATH] = {};
    if (UL_getpath(host, dir, 24) != 0) return std::string();
    return dir;
}

// The file name of a path without its directory and extension.
std::string baseOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

bool endsWithNoCase(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && ::strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

// ---- Fonts and the memo area

void deleteFont(HFONT& font) {
    if (font) DeleteObject(font);
    font = nullptr;
}

void releaseFonts() {
    AskState& s = ask();
    deleteFont(s.templateFont);
    if (s.ownDefaultFont) deleteFont(s.defaultFont);
    s.defaultFont = nullptr;
    s.ownDefaultFont = false;
}

void releaseLayout() {
    AskState& s = ask();
    if (s.layoutLoaded) SF_rptfree(s.host, &s.layout);
    s.layout = RPT_CONTEXT{};
    s.layoutLoaded = false;
}

int screenDpi(int index) {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, index) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

// The memo area as wide as `width` pixels (0 = as the dialog template has it).
void sizeMemo(HWND window, int width) {
    const RECT& r = ask().memoRect;
    const int full = r.right - r.left;
    const int w = width > 0 ? std::min(width, full) : full;
    MoveWindow(GetDlgItem(window, CV_MEMO), r.left, r.top, w, r.bottom - r.top, TRUE);
}

void setMemoFont(HWND window, HFONT font) {
    SendDlgItemMessageA(window, CV_MEMO, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// ---- The memo text

std::string memoText(HWND window) {
    HWND edit = GetDlgItem(window, CV_MEMO);
    const int n = edit ? GetWindowTextLengthA(edit) : 0;
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    if (n > 0) GetWindowTextA(edit, text.data(), n + 1);
    text.resize(::strnlen(text.c_str(), text.size()));
    return text;
}

void setMemo(HWND window, const std::string& text) {
    AskState& s = ask();
    s.writing = true;
    SetDlgItemTextA(window, CV_MEMO, text.c_str());
    s.writing = false;
    s.memoChanged = false;
    EnableWindow(GetDlgItem(window, CV_CLEARMEMO), !text.empty());
    EnableWindow(GetDlgItem(window, CV_SAVEMEMO), !text.empty());
}

int memoLimit() { return ask().selected > 0 ? kTemplateMemoLimit : kMemoLimit; }

// A text as a new movable block (0 for an empty text).
int16_t newMemoBlock(const std::string& text, uint32_t* handle) {
    *handle = 0;
    if (text.empty()) return 0;
    void* p = nullptr;
    if (int16_t st = UX_allochandle(&p, static_cast<uint32_t>(text.size() + 1), handle)) return st;
    std::memcpy(p, text.c_str(), text.size() + 1);
    UL_unlockhandle(*handle);
    return 0;
}

std::string memoOfHandle(uint32_t handle) {
    if (!handle) return std::string();
    void* p = nullptr;
    if (UL_lockhandle(handle, &p) != 0 || !p) return std::string();
    const std::string text(static_cast<const char*>(p), ::strnlen(static_cast<const char*>(p), UL_handlesize(handle)));
    UL_unlockhandle(handle);
    return text;
}

// Cuts `text` into lines no wider than `width` pixels in the memo's font: a line too wide
// breaks at its last blank (the blank becomes the line end), or, with no blank, before the
// character that no longer fits.
std::string fitLines(HWND window, const std::string& text, int width) {
    HWND edit = GetDlgItem(window, CV_MEMO);
    HDC dc = GetDC(edit);
    if (!dc) return text;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    auto wide = [&](const std::string& s) {
        SIZE size{};
        GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &size);
        return size.cx > width;
    };
    std::string out;
    const std::vector<std::string> lines = SF_memolines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        while (width > 0 && line.size() > 1 && wide(line)) {
            // The longest beginning that fits (at least one character).
            std::size_t fits = 1, over = line.size();
            while (over - fits > 1) {
                const std::size_t mid = fits + (over - fits) / 2;
                (wide(line.substr(0, mid)) ? over : fits) = mid;
            }
            const std::size_t cut = fits;
            const std::size_t blank = line.rfind(' ', cut);
            if (blank != std::string::npos && blank > 0) {
                out += line.substr(0, blank) + "\r\n";
                line.erase(0, blank + 1);
            } else {
                out += line.substr(0, cut) + "\r\n";
                line.erase(0, cut);
            }
        }
        out += line;
        if (i + 1 < lines.size()) out += "\r\n";
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(edit, dc);
    return out;
}

// Cuts a memo to `limit` characters without splitting a line end.
void cutMemo(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    text.resize(limit);
    if (!text.empty() && text.back() == '\r') text.pop_back();
}

// ---- Memo files

// Lets the user choose a memo file: `open` 1 for an existing file to import, 0 for a file to
// save into (which gets ".txt" unless it ends so). 13000 when the user cancels.
int16_t chooseMemoFile(uint32_t host, int16_t open, std::string* path) {
    char* remembered = frame().area[7];  // area 8: the memo file's name
    char* filter = frame().area[8];      // area 9: the chooser's filter
    const std::string title = langText(host, kTextMemoTitle);
    if (filter) UL_strcopy(filter, 80, langText(host, kTextMemoFilter).c_str());
    char name[UL_MAXPATH] = {};
    if (remembered && remembered[0]) UL_strcopy(name, remembered);
    else UL_strcopy(name, "*.txt");
    if (int16_t st = UT_choosefile(host, filter ? filter : "*.txt", title.c_str(), open, name, sizeof name)) return st;
    std::string chosen = name;
    if (!open && !endsWithNoCase(chosen, ".txt")) {
        const std::size_t slash = chosen.find_last_of('/');
        const std::size_t dot = chosen.rfind('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) chosen.erase(dot);
        chosen += ".txt";
        if (chosen.size() >= UL_MAXPATH) return UL_E_PATHLONG;
    }
    if (remembered) UL_strcopy(remembered, 80, chosen.c_str());
    *path = chosen;
    return 0;
}

// Saves the memo into a text file the user chooses (lines end in CR LF); 13000 when the user
// cancels. The file is written aside and put in place whole.
int16_t saveMemo(HWND window) {
    AskState& s = ask();
    std::string path;
    for (;;) {
        if (int16_t st = chooseMemoFile(s.host, 0, &path)) return st;
        int16_t exists = 0;
        UL_fileexists(path.c_str(), &exists);
        if (!exists) break;
        const int16_t answer = UT_askoverwrite(s.host, path.c_str());
        if (answer == 0) break;
        if (answer != 7) return SF_CANCELLED;
    }
    HostFile file(s.host);
    if (int16_t st = UL_fcreatewhole(s.host, path.c_str(), file.out())) return st;
    for (const std::string& line : SF_memolines(memoText(window)))
        if (int16_t st = UL_fputline(s.host, file.get(), line.c_str())) return st;
    if (int16_t st = file.commit()) return st;
    s.memoChanged = false;
    return 0;
}

// Whether the bytes are plain text: no control characters but tab, line ends and form feed.
bool plainText(const std::string& bytes) {
    for (unsigned char c : bytes)
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') || c == 0x7F) return false;
    return true;
}

// Imports a memo file the user chooses: plain text only (20270), at most the memo's room,
// each line fitted to the memo's width.
int16_t importMemo(HWND window) {
    AskState& s = ask();
    std::string path;
    if (int16_t st = chooseMemoFile(s.host, 1, &path)) return st;
    uint32_t size = 0;
    if (int16_t st = UL_filesize(s.host, path.c_str(), &size)) return st;
    const uint32_t limit = static_cast<uint32_t>(memoLimit());
    const uint32_t take = std::min(size, limit);
    std::string bytes(take, '\0');
    if (take) {
        HostFile file(s.host);
        if (int16_t st = UL_fopenread(s.host, path.c_str(), 1, file.out())) return st;
        if (int16_t st = UL_fread(s.host, file.get(), bytes.data(), take)) return st;
    }
    if (!plainText(bytes)) return SF_NOTPLAINTEXT;
    for (char& c : bytes)
        if (c == '\f' || c == '\t') c = ' ';
    RECT client{};
    GetClientRect(GetDlgItem(window, CV_MEMO), &client);
    std::string text = fitLines(window, bytes, client.right - client.left - GetSystemMetrics(SM_CXVSCROLL));
    const bool cut = size > limit || text.size() > limit;
    cutMemo(text, limit);
    setMemo(window, text);
    if (cut) UL_reporterror(s.host, kTextMemoCut, std::to_string(limit).c_str());
    return 0;
}

// ---- Lists

// The names of the logo files of a directory (extension LGO, any case), in order.
std::vector<std::string> logoNames(const std::string& dir) {
    std::vector<std::string> names;
    if (dir.empty()) return names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && endsWithNoCase(name, ".lgo")) names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return ::strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

// A logo named by a short name or a path: the path of its file in the data directory, or
// empty when there is no such logo file (a name that names no file must never reach a cover).
std::string logoPath(uint32_t host, const std::string& named) {
    if (named.empty()) return std::string();
    const std::string dir = dataDir(host);
    const std::string base = baseOf(named);
    for (const std::string& name : logoNames(dir))
        if (::strcasecmp(baseOf(name).c_str(), base.c_str()) == 0 && dir.size() + name.size() < UL_MAXPATH)
            return dir + name;
    return std::string();
}

// The readable logo files of the data directory: fax files whose pages go before (header) or
// after (footer) a text cover. One that cannot be read is reported with its name and left out.
void findLogos(uint32_t host) {
    AskState& s = ask();
    s.logos.clear();
    const std::string dir = dataDir(host);
    for (const std::string& name : logoNames(dir)) {
        const std::string path = dir + name;
        UL_FAXHEADER header{};
        if (path.size() >= UL_MAXPATH || UL_readfaxheader(host, path.c_str(), &header) != 0 || header.format != 2 ||
            header.pages < 1) {
            UL_reporterror(host, SF_BADLOGO, name.c_str());
            continue;
        }
        s.logos.push_back({name, baseOf(name)});
    }
}

// The list entry (from 1) of the logo named by a path or a short name; 0 when none matches.
int logoEntry(const std::string& named) {
    if (named.empty()) return 0;
    const std::string base = baseOf(named);
    const std::vector<LogoFile>& logos = ask().logos;
    for (std::size_t i = 0; i < logos.size(); ++i)
        if (::strcasecmp(logos[i].base.c_str(), base.c_str()) == 0) return static_cast<int>(i) + 1;
    return 0;
}

void fillLogoList(HWND window, int id, uint16_t first, const std::string& chosen) {
    SendDlgItemMessageA(window, id, CB_RESETCONTENT, 0, 0);
    const std::string none = langText(ask().host, first);
    SendDlgItemMessageA(window, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none.c_str()));
    for (const LogoFile& l : ask().logos)
        SendDlgItemMessageA(window, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(l.base.c_str()));
    SendDlgItemMessageA(window, id, CB_SETCURSEL, static_cast<WPARAM>(logoEntry(chosen)), 0);
}

int logoChoice(HWND window, int id) {
    const LRESULT sel = SendDlgItemMessageA(window, id, CB_GETCURSEL, 0, 0);
    return sel > 0 && static_cast<std::size_t>(sel) <= ask().logos.size() ? static_cast<int>(sel) : 0;
}

// ---- Templates

// Makes template `number` the dialog's template: the logo lists are put aside, the memo takes
// the font and width of the template's memo field. Returns the status of reading it; a template
// file that is missing (13102), cannot be read or has no memo field (13002) is reported to the
// user here, with its path and what is wrong.
int16_t applyTemplate(HWND window, int16_t number, bool* reported) {
    AskState& s = ask();
    *reported = true;
    char path[UL_MAXPATH] = {};
    char description[UL_MAXPATH] = {};
    if (int16_t st = SF_templatelookup(s.host, number, path, description)) return st;
    CE_FORM form{};
    if (int16_t st = CE_openform(s.host, path, &form)) {
        const std::string why = std::string(path) + (form.error[0] ? std::string(": ") + form.error : std::string());
        UL_reporterror(s.host, kTextBadTemplate, why.c_str());
        return st;
    }
    CE_FIELD table[CE_FIELDS];
    int16_t st = CE_readform(s.host, &form, table);
    CE_closeform(s.host, &form);
    *reported = false;
    if (st) return st;
    const CE_FIELD& memo = table[CE_F_MEMO - 1];
    if (memo.number != CE_F_MEMO) {
        UL_reporterror(s.host, kTextBadTemplate, (std::string(path) + ": it has no memo field").c_str());
        *reported = true;
        return SF_WRONGSTATE;
    }

    HFONT font = nullptr;
    if (memo.face[0]) {
        const int height = memo.size * screenDpi(LOGPIXELSY) / 200;
        // The field's weight as the form gives it (400 regular, 700 bold).
        const int16_t weight = static_cast<int16_t>(std::max<int>(memo.size2, 100));
        st = UT_makefont(s.host, memo.face, static_cast<int16_t>(height), static_cast<int16_t>(height / 2), weight, 0,
                         &font);
    } else {
        st = SF_makefont(s.host, 12, 200, &font, 0);
    }
    if (st) return st;

    if (s.selected <= 0) {
        // Leaving "no template": the logo lists keep their choice for when it comes back.
        s.headerChoice = logoChoice(window, CV_HEADERLOGO);
        s.footerChoice = logoChoice(window, CV_FOOTERLOGO);
    }
    SendDlgItemMessageA(window, CV_HEADERLOGO, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendDlgItemMessageA(window, CV_FOOTERLOGO, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EnableWindow(GetDlgItem(window, CV_HEADERLOGO), FALSE);
    EnableWindow(GetDlgItem(window, CV_FOOTERLOGO), FALSE);

    setMemoFont(window, font);
    deleteFont(s.templateFont);
    s.templateFont = font;
    s.selected = number;
    sizeMemo(window, memo.width * screenDpi(LOGPIXELSX) / 200 + GetSystemMetrics(SM_CXVSCROLL));
    SendDlgItemMessageA(window, CV_MEMO, EM_LIMITTEXT, kTemplateMemoLimit, 0);
    return 0;
}

// Back to "no template": the logo lists and the default memo font and width return. A memo
// longer than a memo without a template holds is cut (the user is told).
void leaveTemplate(HWND window) {
    AskState& s = ask();
    if (s.selected > 0) {
        SendDlgItemMessageA(window, CV_HEADERLOGO, CB_SETCURSEL, static_cast<WPARAM>(s.headerChoice), 0);
        SendDlgItemMessageA(window, CV_FOOTERLOGO, CB_SETCURSEL, static_cast<WPARAM>(s.footerChoice), 0);
    }
    s.selected = 0;
    EnableWindow(GetDlgItem(window, CV_HEADERLOGO), TRUE);
    EnableWindow(GetDlgItem(window, CV_FOOTERLOGO), TRUE);
    setMemoFont(window, s.defaultFont);
    deleteFont(s.templateFont);
    sizeMemo(window, 0);
    std::string text = memoText(window);
    if (text.size() > static_cast<std::size_t>(kMemoLimit)) {
        const bool changed = s.memoChanged;
        cutMemo(text, kMemoLimit);
        setMemo(window, text);
        s.memoChanged = changed;
        UL_reporterror(s.host, kTextMemoCut, std::to_string(kMemoLimit).c_str());
    }
    SendDlgItemMessageA(window, CV_MEMO, EM_LIMITTEXT, kMemoLimit, 0);
}

// The user chose entry `entry` of the template list. A template that cannot be used is
// reported and the list goes back to the template in use.
void chooseTemplate(HWND window, int entry) {
    AskState& s = ask();
    if (entry <= 0) {
        leaveTemplate(window);
        return;
    }
    bool reported = false;
    const int16_t st = applyTemplate(window, static_cast<int16_t>(entry), &reported);
    if (st) {
        if (!reported) UT_showerror(s.host, st);
        SendDlgItemMessageA(window, CV_TEMPLATES, LB_SETCURSEL, static_cast<WPARAM>(s.selected), 0);
    }
}

// ---- Collecting the controls

void getText(HWND window, int id, char (&field)[80]) {
    char buf[256] = {};
    GetDlgItemTextA(window, id, buf, sizeof buf);
    UL_strcopy(field, buf);
}

void collect(HWND window, COVER_SHEET* cover) {
    AskState& s = ask();
    getText(window, CV_SENDERA, cover->sendera);
    getText(window, CV_SENDERB, cover->senderb);
    getText(window, CV_SENDERC, cover->senderc);
    if (s.mode == 0) {
        getText(window, CV_RECIPIENT1, cover->recipient1);
        getText(window, CV_RECIPIENT2, cover->recipient2);
        getText(window, CV_RECIPIENT3, cover->recipient3);
        getText(window, CV_RECIPIENT4, cover->recipient4);
    }
    cover->templatenumber = s.selected;
    std::memset(cover->headerlogo, 0, sizeof cover->headerlogo);
    std::memset(cover->footerlogo, 0, sizeof cover->footerlogo);
    if (s.selected <= 0) {
        const std::string dir = dataDir(s.host);
        const int header = logoChoice(window, CV_HEADERLOGO);
        const int footer = logoChoice(window, CV_FOOTERLOGO);
        const LogoFile* h = header ? &s.logos[static_cast<std::size_t>(header - 1)] : nullptr;
        const LogoFile* f = footer ? &s.logos[static_cast<std::size_t>(footer - 1)] : nullptr;
        if (h) UL_strcopy(cover->headerlogo, (dir + h->name).c_str());
        if (f) UL_strcopy(cover->footerlogo, (dir + f->name).c_str());
        UL_strcopy(s.headerName, h ? h->base.c_str() : "");
        UL_strcopy(s.footerName, f ? f->base.c_str() : "");
    }
}

// ---- Preview

void closePreview() {
    AskState& s = ask();
    if (s.preview && IsWindow(s.preview)) {
        SendMessageA(s.preview, kClosePreview, 0, 0);
        if (IsWindow(s.preview)) DestroyWindow(s.preview);
    }
    s.preview = nullptr;
    if (!s.previewFile.empty()) UL_fdelete(s.host, s.previewFile.c_str());
    s.previewFile.clear();
}

int16_t preview(HWND window) {
    AskState& s = ask();
    COVER_SHEET copy = *s.record;
    collect(window, &copy);
    struct Memo {
        uint32_t handle = 0;
        ~Memo() {
            if (handle) UL_freehandle(handle);
        }
    } memo;
    if (int16_t st = newMemoBlock(memoText(window), &memo.handle)) return st;
    copy.memo = memo.handle;
    char path[UL_MAXPATH] = {};
    if (int16_t st = UL_getpath(s.host, path, 22)) return st;
    s.busy = true;
    struct Busy {
        ~Busy() { ask().busy = false; }
    } busy;
    int16_t type = 0;
    {
        EngineLock lock(s.host);
        if (int16_t st = lock.take()) return st;
        if (int16_t st = SF_makecover(s.host, &copy, path, 1, frame().word2200 ? 1 : 0, &type)) {
            UL_fdelete(s.host, path);
            return st;
        }
    }
    closePreview();
    s.previewFile = path;
    char bare[UL_MAXPATH] = {};
    UL_strcopy(bare, path);
    UL_barename(s.host, bare, sizeof bare);
    UL_strcopy(s.record->previewfile, bare);
    RECT r{};
    GetWindowRect(window, &r);
    const std::string title = langText(s.host, kTextPreviewTitle);
    return L1_viewer(s.host, window, path, title.c_str(), static_cast<int16_t>(r.left + 16),
                     static_cast<int16_t>(r.top + 16), static_cast<int16_t>(r.right - r.left),
                     static_cast<int16_t>(r.bottom - r.top), &s.preview);
}

// ---- The dialog's life

// Asks whether a changed memo is to be saved; false when the user cancelled the save (the
// dialog then stays as it is).
bool offerSave(HWND window) {
    AskState& s = ask();
    if (!s.memoChanged || memoText(window).empty()) return true;
    const std::string question = langText(s.host, kTextSaveMemo);
    const std::string caption = langText(s.host, kTextCaption);
    if (UT_msgbox(s.host, window, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return true;
    const int16_t st = saveMemo(window);
    if (st == SF_CANCELLED) return false;
    if (st) {
        UT_showerror(s.host, st);
        return false;
    }
    return true;
}

void accept(HWND window) {
    AskState& s = ask();
    if (!offerSave(window)) return;
    collect(window, s.record);
    if (s.memo) UL_freehandle(s.memo);
    s.memo = 0;
    if (int16_t st = newMemoBlock(memoText(window), &s.memo)) {
        UT_showerror(s.host, st);
        return;
    }
    EndDialog(window, 0);
}

void clearMemo(HWND window) {
    if (!offerSave(window)) return;
    setMemo(window, std::string());
}

INT_PTR initDialog(HWND window) {
    AskState& s = ask();
    const uint32_t host = s.host;
    UX_initdialog(host, window);

    // Templates: "no template" first, then each description in order.
    s.templates = SF_covertemplates(host);
    SendDlgItemMessageA(window, CV_TEMPLATES, LB_RESETCONTENT, 0, 0);
    const std::string none = langText(host, kTextNoTemplate);
    SendDlgItemMessageA(window, CV_TEMPLATES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none.c_str()));
    for (const CoverTemplate& t : s.templates) {
        const std::string& shown = t.description.empty() && t.value.find(',') == std::string::npos ? t.value
                                                                                                   : t.description;
        SendDlgItemMessageA(window, CV_TEMPLATES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
    SendDlgItemMessageA(window, CV_TEMPLATES, LB_SETCURSEL, 0, 0);

    // The default cover form: its fields give the longest texts, its font the memo's.
    const std::string layoutName = langText(host, kTextCoverPage);
    s.layoutLoaded = SF_rptlayout(host, layoutName.c_str(), &s.layout) == 0;
    const int columns[7] = {5, 6, 7, 1, 2, 3, 4};
    for (int i = 0; i < 7; ++i) {
        int limit = s.layoutLoaded ? SF_rptcolumnwidth(&s.layout, static_cast<int16_t>(columns[i])) : 0;
        if (limit <= 0 || limit > kFieldLimit) limit = kFieldLimit;
        SendDlgItemMessageA(window, CV_SENDERA + i, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
    }
    if (s.layoutLoaded && s.layout.fonts[0]) {
        s.defaultFont = s.layout.fonts[0];
    } else if (int16_t st = SF_makefont(host, 15, 200, &s.defaultFont, 256)) {
        EndDialog(window, st);  // the fonts and the layout go when SF_askcover ends
        return TRUE;
    } else {
        s.ownDefaultFont = true;
    }

    // Logos: "none" first, then every readable logo file.
    findLogos(host);
    fillLogoList(window, CV_HEADERLOGO, kTextNoHeader, textOf(s.record->headerlogo, sizeof s.record->headerlogo));
    fillLogoList(window, CV_FOOTERLOGO, kTextNoFooter, textOf(s.record->footerlogo, sizeof s.record->footerlogo));
    s.headerChoice = logoChoice(window, CV_HEADERLOGO);
    s.footerChoice = logoChoice(window, CV_FOOTERLOGO);

    // Sender and recipient texts.
    SetDlgItemTextA(window, CV_SENDERA, textOf(s.record->sendera, 80).c_str());
    SetDlgItemTextA(window, CV_SENDERB, textOf(s.record->senderb, 80).c_str());
    SetDlgItemTextA(window, CV_SENDERC, textOf(s.record->senderc, 80).c_str());
    const char* recipients[4] = {s.record->recipient1, s.record->recipient2, s.record->recipient3,
                                 s.record->recipient4};
    for (int i = 0; i < 4; ++i) {
        if (s.mode == 0) {
            SetDlgItemTextA(window, CV_RECIPIENT1 + i, textOf(recipients[i], 80).c_str());
        } else {
            for (int id : {CV_RECIPIENT1 + i, CV_RECIPIENTLABEL1 + i}) {
                EnableWindow(GetDlgItem(window, id), FALSE);
                ShowWindow(GetDlgItem(window, id), SW_HIDE);
            }
        }
    }
    if (s.mode != 0) {
        EnableWindow(GetDlgItem(window, CV_RECIPIENTS), FALSE);
        ShowWindow(GetDlgItem(window, CV_RECIPIENTS), SW_HIDE);
    }

    // The memo, in the default font and at its full width until a template says otherwise.
    HWND memo = GetDlgItem(window, CV_MEMO);
    RECT r{};
    GetWindowRect(memo, &r);
    POINT corner{r.left, r.top};
    ScreenToClient(window, &corner);
    s.memoRect = RECT{corner.x, corner.y, corner.x + (r.right - r.left), corner.y + (r.bottom - r.top)};
    setMemoFont(window, s.defaultFont);
    SendDlgItemMessageA(window, CV_MEMO, EM_LIMITTEXT, kMemoLimit, 0);
    std::string text = memoOfHandle(s.record->memo);

    // The record's template, when it can be used; otherwise none.
    const int16_t wanted = s.selected;
    s.selected = 0;
    bool reported = false;
    if (wanted > 0 && static_cast<std::size_t>(wanted) <= s.templates.size() &&
        applyTemplate(window, wanted, &reported) == 0)
        SendDlgItemMessageA(window, CV_TEMPLATES, LB_SETCURSEL, static_cast<WPARAM>(wanted), 0);
    cutMemo(text, static_cast<std::size_t>(memoLimit()));
    setMemo(window, text);

    SetFocus(GetDlgItem(window, CV_SENDERA));
    return FALSE;  // the focus is set
}

INT_PTR command(HWND window, int id, int code) {
    AskState& s = ask();
    if (s.busy) {
        MessageBeep(0);
        return TRUE;
    }
    switch (id) {
        case CV_ACCEPT: accept(window); return TRUE;
        case IDCANCEL: EndDialog(window, 1); return TRUE;  // the fonts go when SF_askcover ends
        case CV_HELP: UT_help(s.host, window, kCoverHelp); return TRUE;
        case CV_PREVIEW:
            if (int16_t st = preview(window)) UT_showerror(s.host, st);
            return TRUE;
        case CV_MEMO:
            if (code == EN_CHANGE && !s.writing) {
                const bool any = GetWindowTextLengthA(GetDlgItem(window, CV_MEMO)) > 0;
                if (any) s.memoChanged = true;
                EnableWindow(GetDlgItem(window, CV_CLEARMEMO), any);
                EnableWindow(GetDlgItem(window, CV_SAVEMEMO), any);
            } else if (code == EN_MAXTEXT) {
                MessageBeep(0);
            }
            return TRUE;
        case CV_CLEARMEMO: clearMemo(window); return TRUE;
        case CV_IMPORTMEMO: {
            if (!offerSave(window)) return TRUE;
            const int16_t st = importMemo(window);
            if (st && st != SF_CANCELLED) UT_showerror(s.host, st);
            return TRUE;
        }
        case CV_SAVEMEMO: {
            const int16_t st = saveMemo(window);
            if (st && st != SF_CANCELLED) UT_showerror(s.host, st);
            return TRUE;
        }
        case CV_HEADERLOGO:
        case CV_FOOTERLOGO:
            if (code == CBN_SELCHANGE) sizeMemo(window, 0);
            return TRUE;
        case CV_TEMPLATES:
            if (code == LBN_SELCHANGE) {
                const LRESULT entry = SendDlgItemMessageA(window, CV_TEMPLATES, LB_GETCURSEL, 0, 0);
                if (entry != s.selected) chooseTemplate(window, entry < 0 ? 0 : static_cast<int>(entry));
            }
            return TRUE;
        default: break;
    }
    return FALSE;
}

}  // namespace

std::vector<std::string> SF_memolines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void SF_setcovermode(int16_t mode) { ask().mode = mode; }
int16_t SF_covermode() { return ask().mode; }
HWND SF_coverpreviewwindow() {
    const AskState& s = ask();
    return s.preview && IsWindow(s.preview) ? s.preview : nullptr;
}

INT_PTR WN_fsaskcover(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return initDialog(window);
        case WM_COMMAND: return command(window, LOWORD(wParam), HIWORD(wParam));
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

int16_t SF_askcover(uint32_t host, COVER_SHEET* cover, uint16_t* cancelled) {
    if (cancelled) *cancelled = 1;
    if (!cover || !cancelled) return SF_BADARGUMENT;
    SF_PARAMS* p = params();
    if (!p) return SF_WRONGSTATE;
    AskState& s = ask();
    if (s.record) return SF_WRONGSTATE;  // the dialog is up already
    s.host = host;
    s.record = cover;
    s.memoChanged = false;
    if (s.memo) UL_freehandle(s.memo);
    s.memo = 0;
    char coverDir[UL_MAXPATH] = {};
    if (int16_t st = UL_getpath(host, coverDir, 40)) {
        s.record = nullptr;
        return st;
    }
    // Whatever happens below, the dialog's hold on the record, its fonts, layout, preview and
    // an uncollected memo end with this call.
    struct Done {
        ~Done() {
            AskState& a = ask();
            closePreview();  // the preview file goes with the dialog
            if (a.record) std::memset(a.record->previewfile, 0, sizeof a.record->previewfile);
            releaseFonts();
            releaseLayout();
            if (a.memo) UL_freehandle(a.memo);
            a.memo = 0;
            a.record = nullptr;
            a.templates.clear();
            a.logos.clear();
        }
    } done;

    HWND owner = nullptr;
    if (UL_getwindow(host, 101, &owner) == 0 && owner) owner = GetLastActivePopup(owner);
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;

    UL_strcopy(s.headerName, p->headername);
    UL_strcopy(s.footerName, p->footername);
    if (!cover->sendera[0]) UL_strcopy(cover->sendera, p->sendera);
    if (!cover->senderb[0]) UL_strcopy(cover->senderb, p->senderb);
    if (!cover->senderc[0]) UL_strcopy(cover->senderc, p->senderc);
    // The record's logos (or else the last ones chosen) as paths of logo files that exist.
    UL_strcopy(cover->headerlogo, logoPath(host, cover->headerlogo[0] ? cover->headerlogo : s.headerName).c_str());
    UL_strcopy(cover->footerlogo, logoPath(host, cover->footerlogo[0] ? cover->footerlogo : s.footerName).c_str());
    cover->templatenumber = static_cast<int16_t>(p->word2204);
    s.selected = cover->templatenumber;

    const INT_PTR result =
        DialogBoxParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                        MAKEINTRESOURCEA(kCoverDialogTemplate), owner, ::WN_fsaskcover, 0);
    if (result == -1) return SF_NODIALOG;
    if (result == 1) return 0;
    if (result != 0) return static_cast<int16_t>(result);

    *cancelled = 0;
    if (cover->memo && cover->memo != s.memo) UL_freehandle(cover->memo);
    cover->memo = s.memo;
    s.memo = 0;
    if (cover->sendera[0] && cover->sendera[0] != ' ') UL_strcopy(p->sendera, cover->sendera);
    if (cover->senderb[0] && cover->senderb[0] != ' ') UL_strcopy(p->senderb, cover->senderb);
    if (cover->senderc[0] && cover->senderc[0] != ' ') UL_strcopy(p->senderc, cover->senderc);
    if (char* last = frame().area[9]) UL_strcopy(last, 80, cover->recipient1);
    cover->templatenumber = s.selected;
    p->word2204 = static_cast<uint16_t>(s.selected < 0 ? 0 : s.selected);
    if (s.selected <= 0) {
        UL_strcopy(p->headername, s.headerName);
        UL_strcopy(p->footername, s.footerName);
    }
    return 0;
}

}  // namespace qorsf
