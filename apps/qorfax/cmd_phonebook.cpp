// qorfax phonebook: the names of the phone book, their details, caller-ID, names files.
//
// Exported library functions are called where they exist, as a desktop application calls them;
// import and export, which only the phone book window reaches, go through the core's interface.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "frame/frame.h"
#include "host.h"
#include "phonebook/phonebook.h"
#include "phonebook_common.h"
#include "qorsf.h"
#include "qorul.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax phonebook [--book PATH] [--tsv] VERB [ARGS...]\n"
    "\n"
    "verbs:\n"
    "  list                    every name with its fax and voice numbers and company\n"
    "  show NAME               the details of one name and its groups\n"
    "  add NAME --fax NUMBER [--voice N] [--company T] [--text1 T] [--text2 T] [--text3 T]\n"
    "          [--alt N] [--other N] [--replace]\n"
    "                          add a new name; a name that exists is refused unless --replace\n"
    "                          is given, which replaces all its details by these\n"
    "  update NAME [--fax N] [--voice N] [--company T] [--text1 T] [--text2 T] [--text3 T]\n"
    "          [--alt N] [--other N]\n"
    "                          change the given details of a name; the others stay\n"
    "  delete NAME             delete a name and its memberships in groups\n"
    "  import FILE             read a names file and the groups file of the same name (.GLS,\n"
    "                          found in any case of letters)\n"
    "  export FILE             write the names file FILE and the groups file of the same name;\n"
    "                          both replace the old files only when the whole export worked\n"
    "  lookup NUMBER           whose number it is (caller-ID): the name and the field matched,\n"
    "                          exactly as typed, else by the same digits (\"by digits\")\n"
    "  print --by name|group [--out FILE] [--book PATH]\n"
    "                          print the listing by name or by group (qorfax phonebook print --help)\n"
    "  window                  the phone book window (also: no verb, on a terminal)\n"
    "  pick                    choose recipients in the recipient chooser and print them, one a\n"
    "                          line (name and fax number; every field with --tsv)\n"
    "  check                   walk the phone book file and say what is damaged\n"
    "  repair                  rebuild a damaged phone book from the records that still read\n"
    "\n"
    "options:\n"
    "  --book PATH             use the phone book file PATH instead of the profile's\n"
    "  --tsv                   tab-separated output: one record a line, every field\n"
    "\n"
    "Numbers hold 1 to 30 characters, not all of them letters. Names hold at most 30\n"
    "characters, company, text1 and text2 60, text3 80. A names file has one line per name:\n"
    "nine fields in double quotes separated by commas: name, fax, company, text1, text2,\n"
    "voice, text3, alternative number, other number. A group without members is a line of the\n"
    "groups file with an empty name. The files have no escapes: a text may not hold a double\n"
    "quote followed by a comma (refused when entered; such a name is left out of an export and\n"
    "reported, and the export then exits with 1).\n"
    "Exit status: 0 done, 1 failed (or lookup found nothing), 2 wrong arguments.\n";

// The detail options of add and update, with the entry field each fills and its width.
struct Detail {
    const char* option;
    std::size_t offset;
    std::size_t size;
    bool number;  // checked with SF_checkphonenum
};
const Detail kDetails[] = {
    {"--fax", offsetof(PB_ENTRY, number), sizeof(PB_ENTRY::number), true},
    {"--voice", offsetof(PB_ENTRY, voice), sizeof(PB_ENTRY::voice), true},
    {"--alt", offsetof(PB_ENTRY, altnumber), sizeof(PB_ENTRY::altnumber), true},
    {"--other", offsetof(PB_ENTRY, othernumber), sizeof(PB_ENTRY::othernumber), true},
    {"--company", offsetof(PB_ENTRY, company), sizeof(PB_ENTRY::company), false},
    {"--text1", offsetof(PB_ENTRY, text1), sizeof(PB_ENTRY::text1), false},
    {"--text2", offsetof(PB_ENTRY, text2), sizeof(PB_ENTRY::text2), false},
    {"--text3", offsetof(PB_ENTRY, text3), sizeof(PB_ENTRY::text3), false},
};

char* field(PB_ENTRY& e, const Detail& d) { return reinterpret_cast<char*>(&e) + d.offset; }

// One name as an output line: every field with --tsv, else name, fax, voice and company.
void printEntry(const PB_ENTRY& e, bool tsv) {
    if (tsv) {
        std::printf("%s\n", tsvLine({e.name, e.number, e.voice, e.altnumber, e.othernumber, e.company, e.text1,
                                      e.text2, e.text3})
                                .c_str());
    } else {
        std::printf("%-30s  %-20s  %-20s  %s\n", printable(e.name).c_str(), printable(e.number).c_str(),
                    printable(e.voice).c_str(), printable(e.company).c_str());
    }
}

// The details of a name; status 0 with an empty entry (but the name) when it has no details.
int16_t readEntry(uint32_t h, const std::string& name, PB_ENTRY& e) {
    char info[qorsf::kPbInfoWidth];
    if (int16_t st = SF_nametophone(h, name.c_str(), info)) return st;
    std::memset(&e, 0, sizeof e);
    if (info[0] != '\0') SF_infotoentry(h, info, &e);
    UL_strcopy(e.name, name.c_str());
    return 0;
}

// Reads --fax ... options into the entry; "" or a message.
std::string readDetails(const Args& args, std::size_t from, PB_ENTRY& e, bool& anyGiven) {
    anyGiven = false;
    for (std::size_t i = from; i < args.size(); ++i) {
        if (args[i] == "--replace") continue;  // an option of add, not a detail
        const Detail* d = nullptr;
        for (const Detail& c : kDetails)
            if (args[i] == c.option) d = &c;
        if (!d) return "unknown argument " + args[i];
        if (i + 1 >= args.size()) return args[i] + " needs a value";
        const std::string& value = args[++i];
        if (std::string problem = checkText(value, d->size - 1, d->option + 2); !problem.empty()) return problem;
        if (d->number) {
            uint16_t result = 0;
            SF_checkphonenum(value.c_str(), &result);
            // An empty value clears the field; every other value must be a number.
            if (!value.empty() && result != 0)
                return std::string(d->option + 2) + " number \"" + value + "\" is not valid: " +
                       (result == 2 ? "more than 30 characters" : "it holds only letters");
        }
        UL_strcopy(field(e, *d), d->size, value.c_str());
        anyGiven = true;
    }
    return "";
}

int save(uint32_t h, const PB_ENTRY& e, bool update) {
    PB_RECORD record{};
    UL_strcopy(record.name, e.name);
    SF_entrytoinfo(h, &e, record.info);
    const int16_t st = update ? SF_updatephone(h, e.name, record.info) : SF_addphone(h, e.name, &record);
    return st ? failPb(st, update ? "the name cannot be changed" : "the name cannot be added") : kExitOk;
}

int list(uint32_t h, bool tsv) {
    char name[31];
    uint16_t found = 0;
    if (int16_t st = SF_getfirstname(h, name, &found)) return failPb(st, "the phone book cannot be read");
    while (found) {
        PB_ENTRY e;
        if (int16_t st = readEntry(h, name, e)) return failPb(st, "the phone book cannot be read");
        printEntry(e, tsv);
        if (int16_t st = SF_getnextname(h, name, &found)) return failPb(st, "the phone book cannot be read");
    }
    return kExitOk;
}

int show(uint32_t h, const std::string& name, bool tsv) {
    PB_ENTRY e;
    if (int16_t st = readEntry(h, name, e)) return failPb(st, "the name cannot be shown");
    std::vector<std::string> groups;
    char group[31];
    uint16_t found = 0;
    if (int16_t st = qorsf::SF_getfirstgroupofname(h, e.name, group, &found)) return failPb(st, "the groups cannot be read");
    while (found) {
        if (!qorsf::SF_isblank(group)) groups.emplace_back(group);
        if (int16_t st = qorsf::SF_getnextgroupofname(h, e.name, group, &found))
            return failPb(st, "the groups cannot be read");
    }
    SF_epilog(h);
    if (tsv) {
        std::vector<std::string> fields = {e.name, e.number, e.voice, e.altnumber, e.othernumber,
                                           e.company, e.text1, e.text2, e.text3};
        fields.insert(fields.end(), groups.begin(), groups.end());
        std::printf("%s\n", tsvLine(fields).c_str());
        return kExitOk;
    }
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-8s %s\n", label, printable(value).c_str());
    };
    line("name", e.name);
    line("fax", e.number);
    line("voice", e.voice);
    line("alt", e.altnumber);
    line("other", e.othernumber);
    line("company", e.company);
    line("text1", e.text1);
    line("text2", e.text2);
    line("text3", e.text3);
    std::string all;
    for (const std::string& g : groups) all += (all.empty() ? "" : ", ") + g;
    line("groups", all);
    return kExitOk;
}

std::string digitsOf(const char* text) {
    std::string d;
    for (const char* p = text; *p; ++p)
        if (*p >= '0' && *p <= '9') d += *p;
    return d;
}

// A caller-ID lookup looks twice: the number exactly as stored (the library's comparison), then
// by digits alone, since caller-ID services deliver digits only while people store numbers with
// blanks, hyphens and brackets. An exact match anywhere wins over a match by digits; within each,
// the first record in name order wins, voice before fax before the alternative number.
uint16_t byDigits(const std::string& digits, const PB_ENTRY& e) {
    if (digits.empty()) return qorsf::SF_CID_NONE;
    if (digitsOf(e.voice) == digits) return qorsf::SF_CID_VOICE;
    if (digitsOf(e.number) == digits) return qorsf::SF_CID_FAX;
    if (digitsOf(e.altnumber) == digits) return qorsf::SF_CID_ALT;
    return qorsf::SF_CID_NONE;
}

// Both looks in one pass over the records; false when the store failed.
bool lookupOnce(uint32_t h, const std::string& number, qorsf::NumberMatch* found, PB_ENTRY* e) {
    const std::string digits = digitsOf(number.c_str());
    // A field's digits stand together among the digits of the whole info.
    auto mayHold = [&](const char* info) {
        if (qorsf::SF_infomayhold(info, number.c_str())) return true;
        if (digits.empty()) return false;
        char all[qorsf::kPbInfoWidth];
        std::size_t n = 0;
        for (std::size_t i = 0; i < qorsf::kPbInfoWidth; ++i)
            if (info[i] >= '0' && info[i] <= '9') all[n++] = info[i];
        return memmem(all, n, digits.data(), digits.size()) != nullptr;
    };
    auto match = [&](const PB_ENTRY& entry) {
        const uint16_t exact = qorsf::SF_cidmatch(number.c_str(), entry);
        if (exact != qorsf::SF_CID_NONE) return qorsf::NumberMatch{exact, 0};
        return qorsf::NumberMatch{byDigits(digits, entry), 1};
    };
    const bool ok = qorsf::SF_findnumber(h, mayHold, match, found, e);
    SF_epilog(h);
    return ok;
}

// The same by walking the phone book by name: it reports a failure of the store as a walk does.
int16_t lookupByWalking(uint32_t h, const std::string& number, qorsf::NumberMatch* found, PB_ENTRY* e) {
    *found = qorsf::NumberMatch{};
    if (int16_t st = SF_cidnumbertorec(h, number.c_str(), &found->which, e)) return st;
    if (found->which != qorsf::SF_CID_NONE) return 0;
    const std::string digits = digitsOf(number.c_str());
    PB_ENTRY walked{};
    uint16_t more = 0;
    int16_t st = SF_getfirstpbrec(h, &walked, &more);
    while (st == 0 && more) {
        if (const uint16_t w = byDigits(digits, walked); w != qorsf::SF_CID_NONE) {
            *found = qorsf::NumberMatch{w, 1};
            *e = walked;
            break;
        }
        st = SF_getnextpbrec(h, &walked, &more);
    }
    SF_epilog(h);
    return st;
}

int lookup(uint32_t h, const std::string& number, bool tsv) {
    PB_ENTRY e{};
    qorsf::NumberMatch found;
    if (!number.empty() && !lookupOnce(h, number, &found, &e)) {
        if (int16_t st = lookupByWalking(h, number, &found, &e)) return failPb(st, "the phone book cannot be read");
    }
    const uint16_t which = found.which;
    const bool viaDigits = found.rank == 1;
    if (which == qorsf::SF_CID_NONE) {
        std::fprintf(stderr, "qorfax: no name in the phone book has the number %s\n", number.c_str());
        return kExitFailed;
    }
    const char* what = which == qorsf::SF_CID_VOICE ? "voice" : which == qorsf::SF_CID_FAX ? "fax" : "alt";
    if (tsv)
        std::printf("%s\n", tsvLine({e.name, what, viaDigits ? "digits" : "exact"}).c_str());
    else
        std::printf("%s (%s%s)\n", printable(e.name).c_str(), what, viaDigits ? ", by digits" : "");
    return kExitOk;
}

int run(const Args& all) {
    // The listings have their own options and help.
    if (!all.empty() && all[0] == "print") return phonebookPrint(Args(all.begin() + 1, all.end()));
    if (int rc = phonebookWindow(all); rc >= 0) return rc;
    if (isCheckVerb(all)) return phonebookCheck(all);
    if (wantsHelp(all)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    Options o;
    if (std::string problem = takeOptions(all, o); !problem.empty()) return usage(kHelp, problem);
    const Args& args = o.rest;
    if (args.empty()) return usage(kHelp, "phonebook needs a verb");
    const std::string& verb = args[0];
    auto want = [&](std::size_t n) { return args.size() == n; };

    if (verb == "list" && !want(1)) return usage(kHelp, "list takes no arguments");
    if ((verb == "show" || verb == "delete" || verb == "import" || verb == "export" || verb == "lookup") && !want(2))
        return usage(kHelp, verb + " needs exactly one argument");
    if ((verb == "add" || verb == "update") && args.size() < 2) return usage(kHelp, verb + " needs a name");

    PB_ENTRY entry{};
    if (verb == "add" || verb == "update" || verb == "show" || verb == "delete") {
        if (std::string problem = checkKey(args[1], "name"); !problem.empty()) return usage(kHelp, problem);
    }
    bool anyGiven = false;
    if (verb == "add" || verb == "update") {
        UL_strcopy(entry.name, args[1].c_str());
        // add starts from nothing; update from the details as they are, read below.
        if (std::string problem = readDetails(args, 2, entry, anyGiven); !problem.empty()) return usage(kHelp, problem);
        if (verb == "add" && entry.number[0] == '\0') return usage(kHelp, "add needs --fax NUMBER");
        if (verb == "update" && !anyGiven) return usage(kHelp, "update needs at least one detail to change");
        if (verb == "update")
            for (std::size_t i = 2; i < args.size(); i += 2)
                if (args[i] == "--replace") return usage(kHelp, "--replace is an option of add");
    }

    Host host;
    if (int16_t st = host.open()) return failPb(st, "the library cannot be opened");
    if (int rc = useBook(o)) return rc;
    const uint32_t h = host.handle();

    if (verb == "list") return list(h, o.tsv);
    if (verb == "show") return show(h, args[1], o.tsv);
    if (verb == "add") {
        // The library replaces the details of a name that exists; a user who types "add" means a
        // new name, so an existing one is kept unless --replace says otherwise.
        bool replace = false;
        for (std::size_t i = 2; i < args.size(); ++i) replace = replace || args[i] == "--replace";
        bool known = false;
        if (int16_t st = nameKnown(h, entry.name, &known)) return failPb(st, "the phone book cannot be read");
        if (known && !replace) {
            std::fprintf(stderr,
                         "qorfax: %s is in the phone book already: use phonebook update to change some of its\n"
                         "details, or add --replace to replace all of them\n",
                         entry.name);
            return kExitFailed;
        }
        return save(h, entry, false);
    }
    if (verb == "update") {
        PB_ENTRY current;
        if (int16_t st = readEntry(h, args[1], current)) return failPb(st, "the name cannot be changed");
        PB_ENTRY changed = current;
        PB_ENTRY given{};
        readDetails(args, 2, given, anyGiven);
        for (std::size_t i = 2; i + 1 < args.size(); i += 2)
            for (const Detail& d : kDetails)
                if (args[i] == d.option) UL_strcopy(field(changed, d), d.size, field(given, d));
        return save(h, changed, true);
    }
    if (verb == "delete") {
        // A name that is not there is said as such (the library would only tell the store's
        // state when the phone book is empty).
        bool known = false;
        if (int16_t st = nameKnown(h, args[1], &known)) return failPb(st, "the phone book cannot be read");
        if (!known) {
            std::fprintf(stderr, "qorfax: there is no name %s in the phone book\n", args[1].c_str());
            return kExitFailed;
        }
        // As the phone book window does: the memberships first, then the name's own record.
        if (int16_t st = SF_removenamefromgroups(h, args[1].c_str())) return failPb(st, "the name cannot be deleted");
        if (int16_t st = SF_deletephone(h, args[1].c_str())) return failPb(st, "the name cannot be deleted");
        return kExitOk;
    }
    if (verb == "import") {
        if (std::string problem = checkPath(args[1]); !problem.empty()) return usage(kHelp, problem);
        if (int16_t st = qorsf::SF_importphonebook(h, args[1].c_str())) return failPb(st, "the import stopped");
        return kExitOk;
    }
    if (verb == "export") {
        if (std::string problem = checkPath(args[1]); !problem.empty()) return usage(kHelp, problem);
        const int16_t st = qorsf::SF_exportphonebook(h, args[1].c_str());
        if (st == qorsf::SF_EXPORTPARTIAL) {
            std::fprintf(stderr, "qorfax: %s was written without the names and groups reported above\n",
                         args[1].c_str());
            return kExitFailed;
        }
        if (st) return failPb(st, "the export failed");
        return kExitOk;
    }
    if (verb == "lookup") return lookup(h, args[1], o.tsv);
    return usage(kHelp, "unknown verb " + verb);
}

Registration registration{{"phonebook",
                           "  phonebook VERB ...           list, show, add, update, delete, import, export, lookup, print,\n"
                           "                               check, repair\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
