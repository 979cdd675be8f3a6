// qorfax group: the groups of the phone book and their members.
//
// Groups are worked on only by the library's own dialogs, so these commands reach the group
// operations through the core's interface (the same code that libqorsf.so wraps).
#include <cstdio>
#include <string>

#include "commands.h"
#include "host.h"
#include "phonebook/phonebook.h"
#include "phonebook_common.h"
#include "qorsf.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax group [--book PATH] [--tsv] VERB [ARGS...]\n"
    "\n"
    "verbs:\n"
    "  list                    every group, one a line\n"
    "  add GROUP               make a new, empty group\n"
    "  delete GROUP            delete a group and its memberships (the names stay)\n"
    "  members GROUP           the names in a group, one a line\n"
    "  join GROUP NAME         put a name of the phone book into an existing group\n"
    "  leave GROUP NAME        take a name out of a group\n"
    "\n"
    "options:\n"
    "  --book PATH             use the phone book file PATH instead of the profile's\n"
    "  --tsv                   tab-separated output (members: group and name)\n"
    "\n"
    "Groups and names hold 1 to 30 characters and may not begin with a blank.\n"
    "Exit status: 0 done, 1 failed, 2 wrong arguments.\n";

int list(uint32_t h) {
    char group[31];
    uint16_t found = 0;
    if (int16_t st = qorsf::SF_getfirstgroup(h, group, &found)) return failPb(st, "the groups cannot be read");
    while (found) {
        std::printf("%s\n", printable(group).c_str());
        if (int16_t st = qorsf::SF_getnextgroup(h, group, &found)) return failPb(st, "the groups cannot be read");
    }
    return kExitOk;
}

// The members of a group (without the group's own record); false with the status on failure.
bool members(uint32_t h, const std::string& group, std::vector<std::string>& names, int16_t& status) {
    char name[31];
    uint16_t found = 0;
    status = qorsf::SF_getfirstmember(h, group.c_str(), name, &found);
    while (status == 0 && found) {
        if (!qorsf::SF_isblank(name)) names.emplace_back(name);
        status = qorsf::SF_getnextmember(h, group.c_str(), name, &found);
    }
    return status == 0;
}

int run(const Args& all) {
    if (wantsHelp(all)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    Options o;
    if (std::string problem = takeOptions(all, o); !problem.empty()) return usage(kHelp, problem);
    const Args& args = o.rest;
    if (args.empty()) return usage(kHelp, "group needs a verb");
    const std::string& verb = args[0];
    std::size_t want = 0;
    if (verb == "list") want = 1;
    else if (verb == "add" || verb == "delete" || verb == "members") want = 2;
    else if (verb == "join" || verb == "leave") want = 3;
    else return usage(kHelp, "unknown verb " + verb);
    if (args.size() != want) return usage(kHelp, "group " + verb + ": wrong number of arguments");
    if (want >= 2)
        if (std::string problem = checkKey(args[1], "group"); !problem.empty()) return usage(kHelp, problem);
    if (want >= 3)
        if (std::string problem = checkKey(args[2], "name"); !problem.empty()) return usage(kHelp, problem);

    Host host;
    if (int16_t st = host.open()) return failPb(st, "the library cannot be opened");
    if (int rc = useBook(o)) return rc;
    const uint32_t h = host.handle();

    if (verb == "list") return list(h);
    const std::string& group = args[1];
    if (verb == "add") {
        if (int16_t st = qorsf::SF_addnametogroup(h, "", group.c_str())) return failPb(st, "the group cannot be made");
        return kExitOk;
    }
    if (verb == "delete") {
        if (int16_t st = qorsf::SF_deletegroup(h, group.c_str())) return failPb(st, "the group cannot be deleted");
        return kExitOk;
    }
    std::vector<std::string> names;
    int16_t st = 0;
    if (!members(h, group, names, st)) return failPb(st, "the group cannot be read");  // also: no such group
    SF_epilog(h);
    if (verb == "members") {
        for (const std::string& n : names)
            std::printf("%s\n", o.tsv ? tsvLine({group, n}).c_str() : printable(n).c_str());
        return kExitOk;
    }
    const std::string& name = args[2];
    if (verb == "join") {
        // Only a name of the phone book joins (the library would take a name it does not know
        // into a group that has no record of its own yet).
        char info[qorsf::kPbInfoWidth];
        if (int16_t rc = SF_nametophone(h, name.c_str(), info)) return failPb(rc, "the name cannot join the group");
        if (int16_t rc = qorsf::SF_addnametogroup(h, name.c_str(), group.c_str()))
            return failPb(rc, "the name cannot join the group");
        return kExitOk;
    }
    // leave
    bool member = false;
    for (const std::string& n : names) member = member || qorsf::SF_strcmp(n.c_str(), name.c_str()) == 0;
    if (!member) {
        std::fprintf(stderr, "qorfax: %s is not in the group %s\n", name.c_str(), group.c_str());
        return kExitFailed;
    }
    if (int16_t rc = qorsf::SF_removenamefromgroup(h, name.c_str(), group.c_str()))
        return failPb(rc, "the name cannot leave the group");
    return kExitOk;
}

Registration registration{{"group",
                           "  group VERB ...               list, add, delete, members, join, leave\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
