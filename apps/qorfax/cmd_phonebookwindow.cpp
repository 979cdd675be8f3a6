// qorfax phonebook window and qorfax phonebook pick: the phone book window and the recipient
// chooser, run through the user interface that qorfax installed. "qorfax phonebook" with no
// verb opens the window when it runs on a terminal.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "commands.h"
#include "host.h"
#include "phonebook/dialogs/dialogs.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook_common.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorut.h"

namespace qorfax {
namespace {

int window(const Options& o) {
    if (o.rest.size() > 1) return usage("usage: qorfax phonebook [--book PATH] window\n", "window takes no arguments");
    Host host;
    if (int16_t st = host.open()) return failPb(st, "the library cannot be opened");
    if (int rc = useBook(o)) return rc;
    const int16_t st = SF_phonemain(host.handle(), nullptr, 0);
    if (st == SF_CANCELLED) return kExitOk;  // Cancel is a way to leave the window
    if (st) return failPb(st, "the phone book window");
    return kExitOk;
}

// The list of the chooser, freed whatever happens.
struct Recipients {
    explicit Recipients(uint32_t h) : host(h) {}
    ~Recipients() { UT_listfree(host, &list); }
    Recipients(const Recipients&) = delete;
    Recipients& operator=(const Recipients&) = delete;
    uint32_t host;
    UT_LIST list{};
};

int pick(const Options& o) {
    if (o.rest.size() > 1) return usage("usage: qorfax phonebook [--book PATH] [--tsv] pick\n", "pick takes no arguments");
    Host host;
    if (int16_t st = host.open()) return failPb(st, "the library cannot be opened");
    if (int rc = useBook(o)) return rc;
    const uint32_t h = host.handle();
    Recipients chosen(h);
    INT_PTR result = 1;
    if (int16_t st = qorsf::SF_rundialog(h, nullptr, qorsf::kChooserTemplate, ::WN_getfromphonebk,
                                         reinterpret_cast<LPARAM>(&chosen.list), &result))
        return failPb(st, "the recipient chooser");
    if (result == 1) {
        std::fprintf(stderr, "qorfax: phonebook pick: no recipients were chosen (cancelled)\n");
        return kExitFailed;
    }
    if (result != 0) return failPb(static_cast<int16_t>(result), "the recipient chooser");
    PB_ENTRY e{};
    int16_t found = 0;
    for (int16_t st = UT_listfirst(h, &chosen.list, &e, sizeof e, &found); st == 0 && found;
         st = UT_listnext(h, &chosen.list, &e, sizeof e, &found)) {
        if (o.tsv)
            std::printf("%s\n", tsvLine({e.name, e.number, e.voice, e.altnumber, e.othernumber, e.company, e.text1,
                                          e.text2, e.text3})
                                    .c_str());
        else
            std::printf("%-30s  %s\n", printable(e.name).c_str(), printable(e.number).c_str());
    }
    return kExitOk;
}

}  // namespace

int phonebookWindow(const Args& args) {
    if (wantsHelp(args)) return -1;
    Options o;
    if (!takeOptions(args, o).empty()) return -1;
    if (o.rest.empty()) return isatty(0) && isatty(1) ? window(o) : -1;
    if (o.rest[0] == "window") return window(o);
    if (o.rest[0] == "pick") return pick(o);
    return -1;
}

}  // namespace qorfax
