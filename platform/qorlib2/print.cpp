// Printing of text documents: to a PDF file in the profile, or through a print command.
//
// The target is section [PRINT] of the settings file (see qorlib2.h). A PDF page holds the
// text in a monospaced font at 10 points on 11-point lines within half-inch margins: at least
// 80 characters and 64 lines on A4 and on Letter. A form feed starts a new page (a form feed on
// an empty page adds no page), a line longer than the page is continued on the next line, and
// a page that is full continues on the next page. Tabs expand to the next multiple of 8; other
// control characters print as blanks; bytes above 127 are Latin-1.
#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qordoc.h"
#include "qordoc_cairo.h"
#include "qorlib2.h"
#include "qorul.h"
#include "qorwin32.h"

extern char** environ;

namespace {

constexpr double kMargin = 36.0;   // half an inch
constexpr double kFontSize = 10.0;
constexpr double kLeading = 11.0;

std::string& lastPrinted() {
    static std::string s;
    return s;
}

struct PrintSettings {
    bool command = false;
    std::string commandLine;
    int16_t paper = 0;  // 0 A4, 1 Letter
    std::string folder;
};

std::string setting(const char* ini, const char* key) {
    char buf[1024] = {};
    GetPrivateProfileStringA("PRINT", key, "", buf, sizeof buf, ini);
    return buf;
}

bool sameText(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

int16_t readSettings(uint32_t host, PrintSettings* s) {
    char ini[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, ini, 41)) return st;
    std::string target = setting(ini, "Target");
    s->commandLine = setting(ini, "Command");
    if (target.empty()) {
        s->command = !s->commandLine.empty();
    } else if (sameText(target, "pdf")) {
        s->command = false;
    } else if (sameText(target, "command")) {
        s->command = true;
        if (s->commandLine.find_first_not_of(" \t") == std::string::npos) return FN_E_PRINTCONF;
    } else {
        return FN_E_PRINTCONF;
    }
    std::string paper = setting(ini, "Paper");
    if (paper.empty() || sameText(paper, "A4")) {
        s->paper = 0;
    } else if (sameText(paper, "Letter")) {
        s->paper = 1;
    } else {
        return FN_E_PRINTCONF;
    }
    s->folder = setting(ini, "Folder");
    if (s->folder.empty()) s->folder = std::string(UL_profileroot()) + "print/";
    if (s->folder.back() != '/') s->folder += '/';
    return 0;
}

// ---- The command target

std::vector<std::string> splitBlanks(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ok;
    FileActions() { ok = posix_spawn_file_actions_init(&actions) == 0; }
    ~FileActions() {
        if (ok) posix_spawn_file_actions_destroy(&actions);
    }
};

int16_t runCommand(uint32_t host, const std::string& commandLine, const char* path) {
    std::vector<std::string> words = splitBlanks(commandLine);
    if (words.empty()) return FN_E_PRINTCONF;
    words.emplace_back(path);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    FileActions fa;
    if (!fa.ok) return FN_E_PRINTSTART;
    // The command reads nothing from the host's input.
    posix_spawn_file_actions_addopen(&fa.actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int err = posix_spawnp(&pid, argv[0], &fa.actions, nullptr, argv.data(), environ);
    if (err != 0) {
        UL_tracetext(host, "FN_printdoc cannot start", argv[0]);
        return FN_E_PRINTSTART;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return FN_E_PRINTCMD;
    }
    // posix_spawnp may report a command that cannot be run as the child's exit status 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return FN_E_PRINTSTART;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        UL_tracetext(host, "FN_printdoc command failed", commandLine.c_str());
        return FN_E_PRINTCMD;
    }
    return 0;
}

// ---- The PDF target

class PdfWriter {
public:
    PdfWriter(cairo_t* cr, double width, double height) : cr_(cr) {
        cairo_select_font_face(cr_, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, kFontSize);
        cairo_font_extents_t fe;
        cairo_font_extents(cr_, &fe);
        double advance = fe.max_x_advance > 0 ? fe.max_x_advance : kFontSize * 0.6;
        columns_ = static_cast<std::size_t>((width - 2 * kMargin) / advance);
        rows_ = static_cast<int>((height - 2 * kMargin) / kLeading);
        if (columns_ < 1) columns_ = 1;
        if (rows_ < 1) rows_ = 1;
        ascent_ = fe.ascent;
    }

    void text(const std::string& doc) {
        std::size_t pos = 0;
        while (pos <= doc.size()) {
            std::size_t nl = doc.find('\n', pos);
            bool last = nl == std::string::npos;
            std::string line = doc.substr(pos, last ? std::string::npos : nl - pos);
            if (last && line.empty()) break;  // the document ended with its line end
            if (!line.empty() && line.back() == '\r') line.pop_back();
            documentLine(line);
            if (last) break;
            pos = nl + 1;
        }
    }

    void finish() {
        if (row_ > 0 || pages_ == 0) showPage();
    }

private:
    void documentLine(const std::string& line) {
        // Split at form feeds: each one starts a new page.
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (;;) {
            std::size_t ff = line.find('\f', start);
            parts.push_back(line.substr(start, ff == std::string::npos ? std::string::npos : ff - start));
            if (ff == std::string::npos) break;
            start = ff + 1;
        }
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) pageBreak();
            if (!parts[i].empty() || parts.size() == 1) printed(expand(parts[i]));
        }
    }

    // Tabs to blanks, control characters to blanks, Latin-1 to UTF-8 (one string per column).
    std::vector<std::string> expand(const std::string& s) {
        std::vector<std::string> cols;
        for (char c : s) {
            auto u = static_cast<unsigned char>(c);
            if (c == '\t') {
                do cols.emplace_back(" ");
                while (cols.size() % 8 != 0);
            } else if (u < 0x20 || u == 0x7F) {
                cols.emplace_back(" ");
            } else if (u < 0x80) {
                cols.emplace_back(1, c);
            } else if (u < 0xA0) {
                cols.emplace_back(" ");  // C1 controls
            } else {
                std::string utf8;
                utf8 += static_cast<char>(0xC0 | (u >> 6));
                utf8 += static_cast<char>(0x80 | (u & 0x3F));
                cols.push_back(utf8);
            }
        }
        return cols;
    }

    void printed(const std::vector<std::string>& cols) {
        std::size_t i = 0;
        do {
            if (row_ >= rows_) showPage();
            std::string utf8;
            std::size_t end = std::min(cols.size(), i + columns_);
            for (std::size_t k = i; k < end; ++k) utf8 += cols[k];
            while (!utf8.empty() && utf8.back() == ' ') utf8.pop_back();
            if (!utf8.empty()) {
                cairo_move_to(cr_, kMargin, kMargin + ascent_ + row_ * kLeading);
                cairo_show_text(cr_, utf8.c_str());
            }
            ++row_;
            i = end;
        } while (i < cols.size());
    }

    void pageBreak() {
        if (row_ > 0) showPage();
    }

    void showPage() {
        cairo_show_page(cr_);
        ++pages_;
        row_ = 0;
    }

    cairo_t* cr_;
    std::size_t columns_ = 80;
    int rows_ = 64;
    double ascent_ = 0;
    int row_ = 0;
    int pages_ = 0;
};

// The PDF file for a document: its name with ".pdf" in the folder, numbered when taken.
int openNewPdf(const std::string& folder, const char* docPath, std::string* pdfPath) {
    std::string base = docPath;
    std::size_t slash = base.rfind('/');
    if (slash != std::string::npos) base.erase(0, slash + 1);
    std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    if (base.empty()) base = "document";
    ::mkdir(folder.c_str(), 0755);
    for (int n = 0; n < 10000; ++n) {
        std::string candidate = folder;
        candidate.append(base);
        if (n) candidate.append("-").append(std::to_string(n));
        candidate.append(".pdf");
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            *pdfPath = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

int16_t writePdf(const std::string& doc, int fd, int16_t paper) {
    const double width = paper == 1 ? 612.0 : 595.276;
    const double height = paper == 1 ? 792.0 : 841.89;
    qordoc::SurfacePtr surface(
        cairo_pdf_surface_create_for_stream(qordoc::writeToFd, &fd, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return FN_E_PDF;
    {
        qordoc::ContextPtr cr(cairo_create(surface.get()));
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return FN_E_PDF;
        PdfWriter writer(cr.get(), width, height);
        writer.text(doc);
        writer.finish();
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return FN_E_PDF;
    }
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return FN_E_PDF;
    return ::fsync(fd) == 0 || errno == EINVAL ? int16_t{0} : int16_t{FN_E_PDF};
}

}  // namespace

int16_t FN_texttopdf(uint32_t, const char* textPath, const char* pdfPath, int16_t paper) {
    if (!textPath || !pdfPath || !*pdfPath) return UL_E_BADARG;
    std::string doc;
    if (qordoc::readFile(textPath, &doc) != 0) return FN_E_PRINTREAD;
    // Written aside and renamed into place when whole: a failure leaves an older file of that
    // name as it was.
    std::string tmp = std::string(pdfPath) + ".XXXXXX";
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return FN_E_PDF;
    ::fchmod(fd, 0644);
    int16_t st = writePdf(doc, fd, paper);
    if (st == 0 && ::fsync(fd) != 0) st = FN_E_PDF;
    if (::close(fd) != 0 && st == 0) st = FN_E_PDF;
    if (st == 0 && ::rename(tmp.c_str(), pdfPath) != 0) st = FN_E_PDF;
    if (st != 0) ::unlink(tmp.c_str());
    return st;
}

int16_t FN_printdoc(uint32_t host, const char* path, int16_t) {
    if (!path || !*path) return UL_E_BADARG;
    PrintSettings settings;
    if (int16_t st = readSettings(host, &settings)) return st;
    if (settings.command) {
        int16_t exists = 0;
        UL_fileexists(path, &exists);
        if (!exists) return FN_E_PRINTREAD;
        if (int16_t st = runCommand(host, settings.commandLine, path)) return st;
        lastPrinted() = settings.commandLine + " " + path;
        return 0;
    }
    std::string doc;
    if (qordoc::readFile(path, &doc) != 0) return FN_E_PRINTREAD;
    std::string pdfPath;
    int fd = openNewPdf(settings.folder, path, &pdfPath);
    if (fd < 0) return FN_E_PDF;
    int16_t st = writePdf(doc, fd, settings.paper);
    ::close(fd);
    if (st != 0) {
        ::unlink(pdfPath.c_str());
        return st;
    }
    lastPrinted() = pdfPath;
    return 0;
}

int16_t FN_lastprinted(char* buf, std::size_t size) {
    if (!buf || size == 0) return UL_E_BADARG;
    return UL_strcopy(buf, size, lastPrinted().c_str());
}

// What printing of fax pages (faxprint.cpp) shares with printing of text documents.
namespace qorlib2_print {

int16_t target(uint32_t host, bool* command, std::string* commandLine, std::string* folder) {
    PrintSettings s;
    if (int16_t st = readSettings(host, &s)) return st;
    *command = s.command;
    *commandLine = s.commandLine;
    *folder = s.folder;
    return 0;
}

int16_t runPrintCommand(uint32_t host, const std::string& commandLine, const char* path) {
    return runCommand(host, commandLine, path);
}

int openPdfIn(const std::string& folder, const char* docPath, std::string* pdfPath) {
    return openNewPdf(folder, docPath, pdfPath);
}

void setLastPrinted(const std::string& what) { lastPrinted() = what; }

}  // namespace qorlib2_print
