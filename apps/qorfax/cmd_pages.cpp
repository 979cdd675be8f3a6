// qorfax pages: documents made into fax page files (to see what will be sent), and page files
// shown, printed and saved.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "documents.h"
#include "host.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorut.h"
#include "qorux.h"
#include "frame/frame.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax pages FILE... [--fine|--normal] [--out BASE]\n"
    "       qorfax pages show PAGEFILE [--png FILE]\n"
    "       qorfax pages print PAGEFILE...\n"
    "       qorfax pages save PAGEFILE... --out FILE.tif|FILE.pdf\n"
    "\n"
    "Makes fax page files of documents (text, TIFF, PDF, PNG or JPEG), as a fax of them would be\n"
    "sent: page k of BASE is BASE.001 for the first page, BASE.002 for the second and so on\n"
    "(BASE defaults to the first document's name without its extension, with \"-fax\" added).\n"
    "--fine and --normal choose the resolution (default: the fax parameters). Prints the page\n"
    "files and their count.\n"
    "show prints a page's size and a picture of it; --png writes a PNG of it to open.\n"
    "print prints page files as one fax at their true size ([PRINT] of the settings).\n"
    "save writes page files into one multi-page TIFF fax file or a PDF (by the extension);\n"
    "an existing file is replaced only with --yes.\n";

std::string defaultBase(const std::string& doc) {
    std::string base = doc;
    const std::size_t slash = base.rfind('/');
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
    return base + "-fax";
}

int makePages(const Args& args) {
    std::vector<std::string> files;
    std::string out;
    int fine = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--fine") {
            fine = 1;
        } else if (a == "--normal") {
            fine = 0;
        } else if (a == "--out") {
            if (i + 1 >= args.size()) return usage(kHelp, "--out needs a base name");
            out = args[++i];
        } else if (a.rfind("--", 0) == 0) {
            return usage(kHelp, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage(kHelp, "pages needs at least one document");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    if (fine < 0) fine = qorsf::params() && qorsf::params()->word2200 ? 1 : 0;
    if (out.empty()) out = defaultBase(files.front());
    // Every document is checked before the first page file is written.
    int total = 0;
    for (const std::string& f : files) {
        int pages = 0;
        if (checkDocument(h, f, fine != 0, &pages)) return kExitFailed;
        total += pages;
    }
    if (total > 999) {
        std::fprintf(stderr, "qorfax: %d pages: a fax holds at most 999\n", total);
        return kExitFailed;
    }
    L1_PAGEINFO info;
    L1_initpageinfo(h, &info, static_cast<int16_t>(fine));
    int made = 0;
    for (const std::string& f : files) {
        int16_t pages = 0;
        char reason[256];
        if (int16_t st = L1_makepages(h, f.c_str(), out.c_str(), static_cast<int16_t>(made), &info, &pages, reason,
                                      sizeof reason)) {
            L1_deletepages(h, out.c_str(), static_cast<int16_t>(made));
            std::fprintf(stderr, "qorfax: %s: cannot be faxed: %s\n", f.c_str(), reason);
            return fail(st, f.c_str());
        }
        made += pages;
    }
    for (int k = 0; k < made; ++k) std::printf("%s\n", UX_pagefilename(out, k).c_str());
    std::printf("%d page%s\n", made, made == 1 ? "" : "s");
    return kExitOk;
}

int show(const Args& args) {
    std::string file, png;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--png") {
            if (i + 1 >= args.size()) return usage(kHelp, "--png needs a file name");
            png = args[++i];
        } else if (args[i].rfind("--", 0) == 0) {
            return usage(kHelp, "unknown option " + args[i]);
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage(kHelp, "pages show takes one page file");
        }
    }
    if (file.empty()) return usage(kHelp, "pages show needs a page file");
    int pages = 0, width = 0, height = 0, ydpi = 0;
    if (int16_t st = L1_faxinfo(0, file.c_str(), &pages, &width, &height, &ydpi)) return fail(st, file.c_str());
    std::printf("%s: %d page%s, %d x %d pixels, 204 x %d dpi (%s resolution)\n", file.c_str(), pages,
                pages == 1 ? "" : "s", width, height, ydpi, ydpi > 150 ? "fine" : "normal");
    // A terminal character is about twice as high as wide: rows for the page's true proportions.
    const int cols = 72;
    const double inchesWide = width / 204.0, inchesHigh = static_cast<double>(height) / (ydpi > 0 ? ydpi : 98);
    const int rows = static_cast<int>(cols * inchesHigh / inchesWide / 2.0 + 0.5);
    std::printf("+%s+\n", std::string(cols, '-').c_str());
    for (const std::string& line : L1_thumbnail(file.c_str(), cols, rows > 0 ? rows : 1))
        std::printf("|%-72s|\n", line.c_str());
    std::printf("+%s+\n", std::string(cols, '-').c_str());
    if (!png.empty()) {
        if (int16_t st = L1_pagepng(0, file.c_str(), 0, png.c_str())) return fail(st, png.c_str());
        std::printf("wrote %s\n", png.c_str());
    }
    return kExitOk;
}

int print(const Args& args) {
    if (args.empty()) return usage(kHelp, "pages print needs page files");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    std::vector<const char*> names;
    for (const std::string& a : args) names.push_back(a.c_str());
    if (int16_t st = FN_printpages(host.handle(), names.data(), static_cast<int16_t>(names.size())))
        return fail(st, "the pages cannot be printed");
    char where[512];
    FN_lastprinted(where, sizeof where);
    std::printf("printed %zu page file%s: %s\n", names.size(), names.size() == 1 ? "" : "s", where);
    return kExitOk;
}

int save(const Args& args) {
    std::vector<std::string> files;
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out") {
            if (i + 1 >= args.size()) return usage(kHelp, "--out needs a file name");
            out = args[++i];
        } else if (args[i].rfind("--", 0) == 0) {
            return usage(kHelp, "unknown option " + args[i]);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty() || out.empty()) return usage(kHelp, "pages save needs page files and --out FILE");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    struct stat st {};
    if (::stat(out.c_str(), &st) == 0 && UT_askoverwrite(h, out.c_str()) != 0) {
        std::fprintf(stderr, "qorfax: %s exists: not replaced (--yes replaces it)\n", out.c_str());
        return kExitFailed;
    }
    std::vector<const char*> names;
    for (const std::string& f : files) names.push_back(f.c_str());
    if (int16_t s = FN_savepagesas(h, names.data(), static_cast<int16_t>(names.size()), out.c_str()))
        return fail(s, out.c_str());
    std::printf("saved %zu page file%s into %s\n", files.size(), files.size() == 1 ? "" : "s", out.c_str());
    return kExitOk;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty()) return usage(kHelp, "pages needs documents or a verb");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "show") return show(rest);
    if (args[0] == "print") return print(rest);
    if (args[0] == "save") return save(rest);
    return makePages(args);
}

Registration registration{{"pages",
                           "  pages FILE... [--out BASE]   make fax page files of documents (show, print, save)\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
