// qorfax info: where the profile's files are, the fax parameters and the phone book path.
#include <cstdio>
#include <string>

#include "commands.h"
#include "frame/frame.h"
#include "host.h"
#include "qorsf.h"
#include "qorul.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax info\n"
    "\n"
    "Opens the library on the profile and shows where its files are, the fax parameters\n"
    "(\"sf.dat\" and section FAX OPERATION of the settings file) and the phone book path.\n";

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (!args.empty()) return usage(kHelp, "info takes no arguments");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();

    char data[UL_MAXPATH], settings[UL_MAXPATH], spool[UL_MAXPATH], book[80];
    if (int16_t st = UL_getpath(h, data, 24)) return fail(st, "data directory");
    if (int16_t st = UL_getpath(h, settings, 41)) return fail(st, "settings file");
    if (int16_t st = UL_getpath(h, spool, 22)) return fail(st, "spool directory");
    if (int16_t st = SF_getphonebookpath(h, book)) return fail(st, "phone book path");
    std::string spoolDir(spool);
    spoolDir.erase(spoolDir.rfind('/') + 1);

    const SF_PARAMS* p = qorsf::params();
    const qorsf::FrameState& f = qorsf::frame();
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-22s %s\n", label, value.c_str());
    };
    line("profile", UL_profileroot());
    line("data directory", data);
    line("settings file", settings);
    line("spool directory", spoolDir);
    line("phone book", book);
    line("first run", f.firstRun ? "yes" : "no");
    line("sender name", p->sendera);
    line("sender company", p->senderb);
    line("sender address", p->senderc);
    line("dial prefix", p->dialprefix);
    line("dial suffix", p->dialsuffix);
    line("header template", p->headername);
    line("footer template", p->footername);
    line("fine resolution", std::to_string(f.word2200));
    line("delete after send", std::to_string(f.word2201));
    line("after-send service", std::to_string(f.word2203));
    line("cover template", std::to_string(p->word2204));
    line("calling card", p->ccardinuse ? "in use" : "not in use");
    line("calling card texts", std::string(p->ccard.first) + " | " + p->ccard.second);
    return kExitOk;
}

Registration registration{{"info",
                           "  info                         show the profile paths, fax parameters and phone book path\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
