// qorfax phonebook print: the listings of the phone book, by name or by group.
#include <strings.h>

#include <cstdio>
#include <string>

#include "commands.h"
#include "frame/frame.h"
#include "host.h"
#include "qorlib2.h"
#include "qorul.h"
#include "qorut.h"
#include "qorwin32.h"
#include "report/listings.h"

namespace qorfax {

namespace {

const char* kHelp =
    "usage: qorfax phonebook print --by name|group [--out FILE] [--book PATH]\n"
    "\n"
    "Prints the listing of the phone book by name (each name with its groups) or by group\n"
    "(each group with its members), laid out by the sections \"Phone book by name\" and\n"
    "\"Phone book by group\" of the report layout file. The listing goes to the print target of\n"
    "section [PRINT] of the settings file: by default a PDF file in the profile's print folder.\n"
    "With --out it is written to FILE instead: a PDF file when FILE ends with .pdf, else text.\n"
    "An existing FILE is replaced only with qorfax --yes (asked, and answered no by default).\n"
    "--book PATH lists another phone book file.\n";

bool endsWithPdf(const std::string& s) {
    return s.size() >= 4 && ::strcasecmp(s.c_str() + s.size() - 4, ".pdf") == 0;
}

int16_t paper(uint32_t h) {
    char ini[UL_MAXPATH];
    if (UL_getpath(h, ini, 41) != 0) return 0;
    char value[32] = {};
    GetPrivateProfileStringA("PRINT", "Paper", "A4", value, sizeof value, ini);
    return ::strcasecmp(value, "letter") == 0 ? 1 : 0;
}

int writeTo(uint32_t h, bool byGroup, const std::string& out) {
    // An existing file is replaced only when the user says so (--yes); it stays whole until the
    // new listing is complete.
    int16_t exists = 0;
    UL_fileexists(out.c_str(), &exists);
    if (exists && UT_askoverwrite(h, out.c_str()) != 0) {
        std::fprintf(stderr, "qorfax: %s exists and was left as it is (--yes replaces it)\n", out.c_str());
        return kExitFailed;
    }
    char spool[UL_MAXPATH];
    if (int16_t st = UL_getpath(h, spool, 22)) return fail(st, "spool file");
    int16_t st = qorsf::SF_writelisting(h, byGroup, spool, nullptr);
    if (st == 0) st = endsWithPdf(out) ? FN_texttopdf(h, spool, out.c_str(), paper(h)) : UL_fcopy(h, out.c_str(), spool);
    UL_fdelete(h, spool);
    if (st != 0) return fail(st, "the listing cannot be written");
    std::printf("wrote %s\n", out.c_str());
    return kExitOk;
}

}  // namespace

int phonebookPrint(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    std::string by, out, book;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* target = a == "--by" ? &by : a == "--out" ? &out : a == "--book" ? &book : nullptr;
        if (!target) return usage(kHelp, "phonebook print: unknown argument " + a);
        if (i + 1 >= args.size() || args[i + 1].empty()) return usage(kHelp, a + " needs a value");
        *target = args[++i];
    }
    if (by != "name" && by != "group") return usage(kHelp, "phonebook print needs --by name or --by group");
    if (book.size() > 79) return usage(kHelp, "--book needs a path of 1 to 79 characters");
    const bool byGroup = by == "group";

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    if (!book.empty()) UL_strcopy(qorsf::frame().phonebookPath, book.c_str());
    if (!out.empty()) return writeTo(h, byGroup, out);

    char before[256] = {}, after[256] = {};
    FN_lastprinted(before, sizeof before);
    int16_t status = 0;
    int16_t st = byGroup ? qorsf::SF_printbygroup(h, &status) : qorsf::SF_printbyname(h, &status);
    if (st != 0) return fail(st, "the listing cannot be printed");
    FN_lastprinted(after, sizeof after);
    if (std::string(after) != before && after[0]) {
        std::printf("printed to %s\n", after);
    } else {
        std::printf("the listing went to the output file of its layout\n");
    }
    return kExitOk;
}

}  // namespace qorfax
