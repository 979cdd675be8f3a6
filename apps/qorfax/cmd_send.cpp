// qorfax send: puts files on the document list and sends them to one or more numbers.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "documents.h"
#include "host.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorvq.h"
#include "send/send.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax send --to NUMBER [--to NUMBER ...] [--name NAME] [--fine] [--delete-after]\n"
    "                   [--at \"YYYY-MM-DD HH:MM\"] [--prefix P] [--suffix S] [--note TEXT] FILE...\n"
    "\n"
    "Queues one fax job per number with the files as its documents (at most 100). A --to that is\n"
    "not a number names a person of the phone book, whose fax number is used. Documents are\n"
    "text, TIFF, PDF, PNG or JPEG (by their content): a fax image is sent as it is, anything else\n"
    "is made into fax pages before the fax is queued; any other file is refused.\n"
    "--at schedules the send (default: as soon as possible); --prefix and --suffix default to the\n"
    "dial prefix and suffix of the configuration.\n";

// A fax number: dial characters with at least one digit.
bool looksLikeNumber(const std::string& s) {
    bool digit = false;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            digit = true;
            continue;
        }
        if (!std::strchr(" +-()/.,*#pPwWtT", c)) return false;
    }
    return digit;
}

bool parseWhen(const std::string& text, SF_DATETIME* when) {
    int y, mo, d, h, mi;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail) != 5) return false;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d00", y, mo, d, h, mi);
    return VQ_parsetime(0, digits, when) == 0 && (when->year || when->month);
}

// The fax number of a phone book name: 0 with the number (empty when the name has none), or the
// library's status (20221 when there is no such name; the library has shown that message).
int16_t faxNumberOf(uint32_t host, const std::string& name, std::string* number) {
    char info[661] = {};
    int16_t st = SF_nametophone(host, name.c_str(), info);
    SF_epilog(host);
    if (st) return st;
    number->clear();
    if (info[0] == '\0') return 0;  // only memberships: no details of its own
    PB_ENTRY entry{};
    SF_infotoentry(host, info, &entry);
    *number = entry.number;
    return 0;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    std::vector<std::string> to, files;
    std::string name, note, prefix, suffix, at;
    bool fine = false, deleteAfter = false, havePrefix = false, haveSuffix = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--to") {
            if (!value(&v)) return usage(kHelp, "--to needs a number");
            to.push_back(v);
        } else if (a == "--name") {
            if (!value(&name)) return usage(kHelp, "--name needs a name");
        } else if (a == "--note") {
            if (!value(&note)) return usage(kHelp, "--note needs a text");
        } else if (a == "--prefix") {
            if (!value(&prefix)) return usage(kHelp, "--prefix needs a text");
            havePrefix = true;
        } else if (a == "--suffix") {
            if (!value(&suffix)) return usage(kHelp, "--suffix needs a text");
            haveSuffix = true;
        } else if (a == "--at") {
            if (!value(&at)) return usage(kHelp, "--at needs a date and time");
        } else if (a == "--fine") {
            fine = true;
        } else if (a == "--delete-after") {
            deleteAfter = true;
        } else if (a.rfind("--", 0) == 0) {
            return usage(kHelp, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (to.empty()) return usage(kHelp, "send needs at least one --to");
    if (files.empty()) return usage(kHelp, "send needs at least one file");
    if (files.size() > 100) return fail(SF_TOOMANYDOCS, "too many documents");
    if (name.size() > 30) return usage(kHelp, "--name holds at most 30 characters");
    if (note.size() > 79) return usage(kHelp, "--note holds at most 79 characters");
    if (prefix.size() > 30 || suffix.size() > 30) return usage(kHelp, "--prefix and --suffix hold at most 30 characters");
    SendOptions options;
    std::memset(&options, 0, sizeof options);
    if (!at.empty() && !parseWhen(at, &options.sendTime))
        return usage(kHelp, "--at wants a valid \"YYYY-MM-DD HH:MM\"");

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    const SF_PARAMS* p = qorsf::params();
    if (!havePrefix) prefix = p->dialprefix;
    if (!haveSuffix) suffix = p->dialsuffix;

    // Everything is checked before the first job is queued: a bad number or document queues nothing.
    // A --to that is not a number is a name of the phone book: its fax number is sent to.
    std::string nameFromBook;
    for (std::string& t : to) {
        if (!looksLikeNumber(t)) {
            std::string number;
            if (int16_t st = faxNumberOf(h, t, &number)) return st == SF_NORECORD ? kExitFailed : fail(st, t.c_str());
            if (number.empty()) {
                std::fprintf(stderr, "qorfax: %s has no fax number in the phone book\n", t.c_str());
                return kExitFailed;
            }
            if (to.size() == 1) nameFromBook = t;
            t = number;
        }
        if (qorsf::SF_dialstring(t.c_str(), prefix.c_str(), suffix.c_str(), '|').size() >= 50)
            return fail(SF_DIALSTRINGLONG, t.c_str());
    }
    if (name.empty()) name = nameFromBook;
    std::vector<std::string> paths;
    for (const std::string& f : files) {
        char resolved[PATH_MAX];
        struct stat st {};
        if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !::realpath(f.c_str(), resolved)) {
            std::fprintf(stderr, "qorfax: %s: no such document\n", f.c_str());
            return kExitFailed;
        }
        const std::string path = resolved;
        if (path.size() >= 80) return fail(UL_E_PATHLONG, path.c_str());
        if (path.find(' ') != std::string::npos) {
            std::fprintf(stderr, "qorfax: %s: a document path may not hold a blank\n", path.c_str());
            return kExitFailed;
        }
        // A document that cannot be faxed is refused with its kind and the reason.
        if (checkDocument(h, path, fine, nullptr)) return kExitFailed;
        paths.push_back(path);
    }

    if (int16_t st = FN_cleardocs(h)) return fail(st, "the document list cannot be emptied");
    for (const std::string& path : paths)
        if (int16_t st = FN_adddocument(h, path.c_str(), 0, 0)) {
            FN_cleardocs(h);
            return fail(st, path.c_str());
        }
    options.deleteAfterSend = deleteAfter ? 1 : 0;
    options.fineResolution = fine ? 1 : 0;
    UL_strcopy(options.note, note.c_str());
    UL_strcopy(options.sender, p->sendera);
    UL_strcopy(options.recipientName, name.c_str());
    UL_strcopy(options.dialPrefix, prefix.c_str());
    UL_strcopy(options.dialSuffix, suffix.c_str());
    std::vector<const char*> numbers;
    for (const std::string& t : to) numbers.push_back(t.c_str());
    int16_t st = SF_faxfolder(h, numbers.data(), static_cast<uint16_t>(numbers.size()), &options);
    FN_cleardocs(h);
    if (st) return fail(st, "the fax cannot be queued");
    std::printf("queued %zu job%s, the last as job %llu\n", numbers.size(), numbers.size() == 1 ? "" : "s",
                static_cast<unsigned long long>(VQ_lastjobnumber()));
    return kExitOk;
}

Registration registration{{"send",
                           "  send --to NUMBER ... FILE... queue a fax of the files to each number\n", kHelp, run}};

}  // namespace
}  // namespace qorfax
