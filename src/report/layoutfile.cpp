// The layout file of the profile: its path, its default content and its section names.
//
// The default file holds the layouts the library itself uses: the phone book listings by name
// and by group, the text cover, the queue report, and DEFAULT (a report opened with an empty
// layout name). It is written with the layout words and layout names of the language module in
// use, so that a translated product gets a layout file in its own words.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "report/report.h"

namespace qorsf {

namespace {

std::string text(uint32_t host, uint16_t number, int16_t* status) {
    char buf[256] = {};
    int16_t st = UL_loadstring(host, buf, kLangModule, number);
    if (st != 0 && *status == 0) *status = st;
    return buf;
}

std::string pad(const std::string& s, std::size_t width) {
    std::string out = s.substr(0, width);
    out.resize(width, ' ');
    return out;
}

// A field of the given width (brackets included) naming `name`; never narrower than the name.
std::string field(const std::string& name, std::size_t width) {
    std::string f = "<" + name;
    if (f.size() + 1 < width) f.append(width - f.size() - 1, ' ');
    return f + ">";
}

std::string column(int n, std::size_t width) { return field(std::to_string(n), width); }

// A header line: the title at the left, then date, time and page number at the right end of a
// line of `width` characters.
std::string titleLine(const std::string& title, const std::string& date, const std::string& time,
                      const std::string& page, std::size_t width) {
    std::string right = field(date, 12) + " " + field(time, 10) + "  " + "Page " + field(page, 7);
    std::size_t left = width > right.size() + 1 ? width - right.size() - 1 : 0;
    return pad(title, left) + " " + right;
}

}  // namespace

int16_t rpt_layoutpath(uint32_t host, char* path, std::size_t size) {
    if (int16_t st = UL_getpath(host, path, size, 16)) return st;
    return UL_getpath(host, path, size, 47);
}

int16_t rpt_defaultlayouts(uint32_t host, std::string* out) {
    if (!out) return UL_E_BADARG;
    int16_t st = 0;
    std::string w[19];
    for (int i = 0; i < 19; ++i) w[i] = text(host, static_cast<uint16_t>(2350 + i), &st);
    std::string bold = text(host, 2310, &st);
    const std::string byName = text(host, 2005, &st), byGroup = text(host, 2006, &st);
    const std::string cover = text(host, 2007, &st), queue = text(host, 2008, &st);
    if (st != 0) return st;
    const std::string &kWidth = w[0], &kLength = w[1], &kHeader = w[2], &kFooter = w[3], &kBody = w[4],
                      &kFirst = w[5], &kOutput = w[6], &bHeader = w[7], &bFooter = w[8], &bBody = w[9],
                      &fPage = w[10], &fTime = w[11], &fDate = w[12], &kGroup = w[13], &kBlank = w[14],
                      &kNoFF = w[15], &fRunning = w[16], &kNoFill = w[17], &kFont = w[18];
    const std::string dashes79(79, '-');
    std::string s;
    auto line = [&s](const std::string& l) {
        std::string t = l;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        s += t + "\r\n";
    };
    auto key = [&](const std::string& k, const std::string& v, const std::string& note) {
        line(note.empty() ? k + "=" + v : pad(k + "=" + v, 24) + "; " + note);
    };

    line("; Report layouts of QOR Fax.");
    line(";");
    line("; Each section [name] is one layout. It begins with key lines (key=value; everything");
    line("; after a semicolon is a comment), then come the blocks: a line (" + bHeader + "), (" + bFooter +
         ") or (" + bBody + ")");
    line("; starts a block, and each line after it, up to the next block or section, is one");
    line("; template line of that block. Comments belong before the first block only.");
    line(";");
    line("; A field is written <name>: a column number (1 is the first column of a row) or one of");
    line("; " + fPage + ", " + fDate + ", " + fTime + " and " + fRunning +
         " (the running text, once, in the body only). A field is as wide");
    line("; as it is written, brackets included: pad the name with blanks to widen it, as in");
    line("; <1            >. Values are cut to the width of their field. Write << or >> to print");
    line("; a bracket followed by a blank.");
    line(";");
    line("; " + pad(kWidth, 13) + "characters per line, 1 to 80 (0 = 80)");
    line("; " + pad(kLength, 13) + "lines per page (0 = 60; absent = 55)");
    line("; " + pad(kHeader, 13) + "lines of the header block, 0 to 10");
    line("; " + pad(kFooter, 13) + "lines of the footer block, 0 to 10");
    line("; " + pad(kBody, 13) + "lines of the body block, written once per row");
    line("; " + pad(kFirst, 13) + "number of the first page (absent = 1)");
    line("; " + pad(kOutput, 13) + "a file the report is copied to (without one it is printed)");
    line("; " + pad(kGroup, 13) + "the column that groups the rows (0 = none)");
    line("; " + pad(kBlank, 13) + "1 = the group column stays blank while it repeats");
    line("; " + pad(kNoFF, 13) + "1 = no form feed after a page");
    line("; " + pad(kNoFill, 13) + "1 = pages are not filled up with blank lines before the footer");
    line("; " + pad(kFont, 13) + "face, size and style (for example: Courier New,12," + bold + ")");
    line("");

    // The phone book by name: a name's own row, then one row per group it belongs to, the
    // name left blank while it repeats. Names, groups and numbers hold 30 characters and the
    // company 60, so a row takes three lines (and a blank one): nothing is ever cut.
    line("[" + byName + "]");
    key(kWidth, "79", "");
    key(kLength, "60", "");
    key(kHeader, "4", "");
    key(kFooter, "0", "");
    key(kBody, "4", "");
    key(kGroup, "1", "the name");
    key(kBlank, "1", "");
    line("(" + bHeader + ")");
    line(titleLine(byName, fDate, fTime, fPage, 79));
    line("");
    line(pad("Name", 31) + pad("Group", 32) + "Details");
    line(dashes79);
    line("(" + bBody + ")");
    line(column(1, 30) + " " + column(2, 30));
    line("  Fax   " + column(3, 30) + "  Voice " + column(4, 30));
    line("  Company " + column(5, 60));
    line("");
    line("");

    // The phone book by group: each group with its members, the group blank while it repeats.
    line("[" + byGroup + "]");
    key(kWidth, "79", "");
    key(kLength, "60", "");
    key(kHeader, "4", "");
    key(kFooter, "0", "");
    key(kBody, "1", "");
    key(kGroup, "2", "the group");
    key(kBlank, "1", "");
    line("(" + bHeader + ")");
    line(titleLine(byGroup, fDate, fTime, fPage, 79));
    line("");
    line(pad("Group", 33) + "Name");
    line(dashes79);
    line("(" + bBody + ")");
    line(column(2, 32) + " " + column(1, 32));
    line("");

    // The text cover: one row of recipient texts 1-4, sender texts 5-7 and the number of
    // documents, with the memo as the running text.
    line("[" + cover + "]");
    key(kWidth, "72", "");
    key(kLength, "60", "");
    key(kBody, "17", "");
    key(kNoFF, "1", "a cover is a page of its own");
    line("; " + kFont + "=Courier New,12");
    line("(" + bBody + ")");
    line(pad("", 33) + "F A X");
    line("");
    line("To:       " + column(1, 52));
    line("          " + column(2, 52));
    line("          " + column(3, 52));
    line("          " + column(4, 52));
    line("");
    line("From:     " + column(5, 52));
    line("          " + column(6, 52));
    line("          " + column(7, 52));
    line("");
    line("Pages:    " + column(8, 6));
    line("");
    line(std::string(72, '-'));
    line("");
    line(field(fRunning, 72));
    line("");
    line("");

    // The queue report: two lines per job, so that recipient and number are never cut.
    line("[" + queue + "]");
    key(kWidth, "79", "");
    key(kLength, "60", "");
    key(kHeader, "4", "");
    key(kBody, "2", "");
    line("(" + bHeader + ")");
    line(titleLine(queue, fDate, fTime, fPage, 79));
    line("");
    line(pad("Recipient", 34) + "Number");
    line(dashes79);
    line("(" + bBody + ")");
    line(column(9, 33) + " " + column(2, 30));
    line("  " + pad("Send time", 10) + column(3, 19) + "  Status " + column(4, 30));
    line("");

    // DEFAULT: four columns under a line with the date, time and page number.
    line("[DEFAULT]");
    key(kWidth, "80", "");
    key(kLength, "60", "");
    key(kHeader, "2", "");
    key(kBody, "1", "");
    line("(" + bHeader + ")");
    line(titleLine("", fDate, fTime, fPage, 80));
    line("");
    line("(" + bBody + ")");
    line(column(1, 19) + " " + column(2, 19) + " " + column(3, 19) + " " + column(4, 19));

    (void)kFirst;
    *out = std::move(s);
    return 0;
}

int16_t rpt_installdefault(uint32_t host) {
    char path[UL_MAXPATH];
    if (int16_t st = rpt_layoutpath(host, path, sizeof path)) return st;
    std::string content;
    if (int16_t st = rpt_defaultlayouts(host, &content)) return st;
    // Written aside and linked into place: link() never replaces a file, so a layout file that
    // appeared meanwhile (another process, the user) is kept, and no reader sees half a file.
    std::string tmp = std::string(path) + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return UL_E_CREATE;
    const char* p = content.data();
    std::size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    if (ok) ::chmod(tmp.c_str(), 0644);
    if (ok && ::link(tmp.c_str(), path) != 0 && errno != EEXIST) ok = false;
    ::unlink(tmp.c_str());
    return ok ? 0 : int16_t{UL_E_CREATE};
}

int16_t rpt_sections(uint32_t host, std::vector<std::string>* names) {
    if (!names) return UL_E_BADARG;
    names->clear();
    char path[UL_MAXPATH];
    if (int16_t st = rpt_layoutpath(host, path, sizeof path)) return st;
    int16_t exists = 0;
    UL_fileexists(path, &exists);
    if (!exists) rpt_installdefault(host);
    uint32_t file = 0;
    if (int16_t st = UL_fopenread(host, path, 1, &file)) return st;
    char line[256];
    while (UT_readline(line, sizeof line, file) == 0) {
        if (line[0] != '[') continue;
        const char* close = std::strchr(line + 1, ']');
        if (!close) continue;
        names->emplace_back(line + 1, static_cast<std::size_t>(close - line - 1));
    }
    UL_fclose(host, file);
    return 0;
}

}  // namespace qorsf
