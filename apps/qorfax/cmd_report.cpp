// qorfax report: the layouts of the report writer.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "qorul.h"
#include "report/report.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax report layouts\n"
    "\n"
    "Shows the layout file of the report writer (layouts.rpt in the profile, made with the\n"
    "default layouts when there is none) and each of its sections: the line width, the page\n"
    "length and the lines of the header, body and footer blocks, or what is wrong with it.\n"
    "Exits with 1 when a section cannot be used.\n";

int layouts(uint32_t h) {
    char path[UL_MAXPATH];
    if (int16_t st = qorsf::rpt_layoutpath(h, path, sizeof path)) return fail(st, "layout file");
    std::vector<std::string> names;
    if (int16_t st = qorsf::rpt_sections(h, &names)) return fail(st, "layout file");
    std::printf("layout file %s\n", path);
    if (names.empty()) std::printf("(no sections)\n");
    int result = kExitOk;
    for (const std::string& name : names) {
        qorsf::RPT_CONTEXT ctx{};
        int16_t st = qorsf::SF_rptlayout(h, name.c_str(), &ctx);
        if (st != 0) {
            std::printf("%-24s error %d: %s\n", name.c_str(), st, statusText(st).c_str());
            result = kExitFailed;
            continue;
        }
        std::string line = "width " + std::to_string(ctx.lineWidth) + ", page " + std::to_string(ctx.pageLength) +
                           " lines, header " + std::to_string(ctx.headerLines) + ", body " +
                           std::to_string(ctx.bodyLines) + ", footer " + std::to_string(ctx.footerLines);
        if (ctx.groupColumn) line += ", group column " + std::to_string(ctx.groupColumn - qorsf::RPT_V_COLUMN0);
        if (ctx.fonts[0]) line += ", font";
        if (ctx.layoutOutput[0]) line += std::string(", output file ") + ctx.layoutOutput;
        std::printf("%-24s %s\n", name.c_str(), line.c_str());
        qorsf::SF_rptfree(h, &ctx);
    }
    return result;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.size() != 1 || args[0] != "layouts") return usage(kHelp, "report needs the word layouts");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    return layouts(host.handle());
}

Registration registration{{"report",
                           "  report layouts               show the sections of the report layout file\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
