// qorfax manual: fax pages for a fax sent by hand, and a manual receive.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "documents.h"
#include "host.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorux.h"
#include "frame/frame.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax manual send FILE...\n"
    "       qorfax manual receive\n"
    "\n"
    "send makes fax page files of the documents in the spool, for a fax sent by hand (the queue\n"
    "is not touched), and prints the page files and their count; the files are the caller's.\n"
    "receive asks the product's fax window for a manual receive.\n";

int send(const Args& files) {
    if (files.empty()) return usage(kHelp, "manual send needs at least one document");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    const bool fine = qorsf::params() && qorsf::params()->word2200;
    for (const std::string& f : files)
        if (checkDocument(h, f, fine, nullptr)) return kExitFailed;
    if (int16_t st = FN_cleardocs(h)) return fail(st, "the document list cannot be emptied");
    for (const std::string& f : files)
        if (int16_t st = FN_adddocument(h, f.c_str(), 0, 0)) {
            FN_cleardocs(h);
            return fail(st, f.c_str());
        }
    char name[80] = {};
    int16_t count = 0;
    const int16_t st = SF_manualsend(h, name, &count, 1);
    FN_cleardocs(h);
    if (st) return fail(st, "the fax pages cannot be made");
    for (int k = 0; k < count; ++k) std::printf("%s\n", UX_pagefilename(name, k).c_str());
    std::printf("%d page%s\n", count, count == 1 ? "" : "s");
    return kExitOk;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty()) return usage(kHelp, "manual needs send or receive");
    if (args[0] == "send") return send(Args(args.begin() + 1, args.end()));
    if (args[0] == "receive" && args.size() == 1) {
        Host host;
        if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
        SF_manualrecv(host.handle());
        std::printf("manual receive asked of the fax window\n");
        return kExitOk;
    }
    return usage(kHelp, "unknown manual verb " + args[0]);
}

Registration registration{{"manual", "  manual send FILE...         make fax page files for a fax sent by hand\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
