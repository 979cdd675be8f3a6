// Printing and saving of fax pages. A fax prints at its true size: a PDF of one page per fax
// page, each page as large as the fax page (1728 pixels at 204 dpi across, its rows at 98 or
// 196 lines an inch down), or that PDF handed to the print command. Saved pages become one
// multi-page TIFF Class F or a PDF, chosen by the file's extension.
#include <fcntl.h>
#include <unistd.h>

#include <strings.h>

#include <string>
#include <vector>

#include "print_internal.h"
#include "qorwin32.h"
#include "qordoc.h"
#include "qorlib2.h"
#include "qorul.h"
#include "qorut.h"
#include "qorux.h"

namespace {

int16_t readPages(uint32_t host, const std::vector<std::string>& files, std::vector<qordoc::Page>* pages) {
    pages->clear();
    for (const std::string& f : files) {
        std::vector<qordoc::Page> some;
        if (int16_t st = qordoc::readFax(f, &some)) {
            UL_tracetext(host, "FN fax pages cannot be read", f.c_str());
            return st;
        }
        for (qordoc::Page& p : some) pages->push_back(std::move(p));
    }
    return pages->empty() ? int16_t{qordoc::E_READ} : int16_t{0};
}

int16_t writePdfFile(const std::string& path, const std::vector<qordoc::Page>& pages) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return FN_E_PDF;
    int16_t st = qordoc::writePdf(fd, pages);
    if (::close(fd) != 0 && st == 0) st = FN_E_PDF;
    if (st == 0 && std::rename(tmp.c_str(), path.c_str()) != 0) st = FN_E_PDF;
    if (st) ::unlink(tmp.c_str());
    return st ? int16_t{FN_E_PDF} : int16_t{0};
}

std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return path.substr(dot + 1);
}

bool isTiffName(const std::string& ext) { return !::strcasecmp(ext.c_str(), "tif") || !::strcasecmp(ext.c_str(), "tiff"); }
bool isPdfName(const std::string& ext) { return !::strcasecmp(ext.c_str(), "pdf"); }

}  // namespace

int16_t FN_printfax(uint32_t host, const char* page0, int16_t count, int16_t) {
    if (!page0 || !*page0) return UL_E_BADARG;
    if (count <= 0) return FN_E_PRINTREAD;
    std::vector<std::string> files;
    for (int k = 0; k < count; ++k) {
        std::string name = UX_pagefilename(page0, k);
        if (name.empty()) return UL_E_PATHLONG;
        files.push_back(name);
    }
    std::vector<const char*> names;
    for (const std::string& f : files) names.push_back(f.c_str());
    return FN_printpages(host, names.data(), count);
}

int16_t FN_printpages(uint32_t host, const char* const* names, int16_t count) {
    if (!names || count <= 0) return UL_E_BADARG;
    std::vector<std::string> files;
    for (int k = 0; k < count; ++k)
        if (names[k] && names[k][0]) files.emplace_back(names[k]);
    const char* page0 = files.empty() ? "fax" : files.front().c_str();
    std::vector<qordoc::Page> pages;
    if (int16_t st = readPages(host, files, &pages)) return st == qordoc::E_READ ? int16_t{FN_E_PRINTREAD} : st;
    bool command = false;
    std::string commandLine, folder;
    if (int16_t st = qorlib2_print::target(host, &command, &commandLine, &folder)) return st;
    if (command) {
        // The command gets a PDF of the fax, which goes again once it has been printed.
        char tmp[UL_MAXPATH];
        if (int16_t st = UX_tempname(host, tmp, sizeof tmp, 0)) return st;
        const std::string pdf = std::string(tmp) + ".pdf";
        if (int16_t st = writePdfFile(pdf, pages)) return st;
        const int16_t st = qorlib2_print::runPrintCommand(host, commandLine, pdf.c_str());
        ::unlink(pdf.c_str());
        if (st) return st;
        qorlib2_print::setLastPrinted(commandLine + " " + pdf);
        return 0;
    }
    std::string pdfPath;
    int fd = qorlib2_print::openPdfIn(folder, page0, &pdfPath);
    if (fd < 0) return FN_E_PDF;
    int16_t st = qordoc::writePdf(fd, pages);
    ::close(fd);
    if (st) {
        ::unlink(pdfPath.c_str());
        return FN_E_PDF;
    }
    qorlib2_print::setLastPrinted(pdfPath);
    return 0;
}

int16_t FN_savepagesas(uint32_t host, const char* const* files, int16_t count, const char* path) {
    if (!files || count <= 0 || !path || !*path) return UL_E_BADARG;
    const std::string ext = extensionOf(path);
    if (!isTiffName(ext) && !isPdfName(ext)) return FN_E_SAVETYPE;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        if (files[i] && files[i][0]) names.emplace_back(files[i]);
    std::vector<qordoc::Page> pages;
    if (int16_t st = readPages(host, names, &pages)) return st;
    if (isPdfName(ext)) return writePdfFile(path, pages);
    char ini[UL_MAXPATH];
    bool twoD = false;
    if (UL_getpath(host, ini, 41) == 0) {
        char coding[16] = {};
        GetPrivateProfileStringA("PAGES", "Coding", "", coding, sizeof coding, ini);
        twoD = !::strcasecmp(coding, "2D");
    }
    return qordoc::writeFax(path, pages, twoD);
}

int16_t FN_savepages(uint32_t host, HWND, const char* names, int16_t count, const char*, const char*, int16_t) {
    if (!names || count <= 0) return UL_E_BADARG;
    std::vector<const char*> files;
    for (int i = 0; i < count; ++i) files.push_back(names + static_cast<std::ptrdiff_t>(i) * 81);
    char path[UL_MAXPATH] = "fax.tif";
    for (;;) {
        if (int16_t st = UT_choosefile(host, "Fax files (*.tif;*.pdf)", "Save Fax Pages", 0, path, sizeof path)) return st;
        int16_t exists = 0;
        UL_fileexists(path, &exists);
        if (!exists) break;
        const int16_t answer = UT_askoverwrite(host, path);
        if (answer == 0) break;
        if (answer != 7) return 13000;
    }
    return FN_savepagesas(host, files.data(), static_cast<int16_t>(files.size()), path);
}
