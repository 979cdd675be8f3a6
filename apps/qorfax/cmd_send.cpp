// qorfax send: puts files on the document list and sends them to one or more numbers.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "phonebook_common.h"
#include "cover/cover.h"
#include "qordoc.h"
#include "documents.h"
#include "host.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorvq.h"
#include "phonebook/phonebook.h"
#include "send/dialogs/senddlg.h"
#include "send/send.h"
#include "ui.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax send --to NUMBER|NAME|GROUP [--to ...] [--name NAME] [--fine | --no-fine]\n"
    "                   [--delete-after | --no-delete-after] [--at WHEN] [--prefix P] [--suffix S]\n"
    "                   [--card | --no-card] [--note TEXT]\n"
    "                   [--cover N [--subject TEXT] [--memo TEXT|--memo-file FILE]] FILE...\n"
    "       qorfax send --dialog FILE...\n"
    "\n"
    "Queues one fax job per recipient with the files as its documents (at most 100). A --to that\n"
    "is not a number names a person of the phone book (the job is sent to the person's fax number\n"
    "and carries the name) or a group (one job to each member with a fax number, each with the\n"
    "member's name; members without one are skipped with a warning). --name names the recipient\n"
    "of the --to numbers. Documents are text, TIFF, PDF, PNG or JPEG (by their content): a fax\n"
    "image is sent as it is, anything else is made into fax pages before the fax is queued; any\n"
    "other file is refused. A file whose path holds a blank or is longer than 79 characters is\n"
    "copied into the spool first.\n"
    "\n"
    "--fine and --delete-after default to the fax parameters (FineResolution and DeleteAfterSend\n"
    "of section FAX OPERATION); with two or more recipients the documents are deleted after the\n"
    "last job only. --at schedules the send: \"2026-12-24 15:00\", \"2026-12-24T15:00\", a time of\n"
    "today \"15:00\" (tomorrow when it has passed) or \"now + 2 hours\" (minutes, hours, days); a\n"
    "time in the past is refused. Default: as soon as possible. --prefix and --suffix default to\n"
    "the dial prefix and suffix of the configuration. --card dials the calling card (qorfax ccard)\n"
    "with every number of this send, --no-card does not; by default the card is dialled when it is\n"
    "in use (the send dialog's choice).\n"
    "--cover N starts each job with a cover page of template N (qorfax cover templates) made for\n"
    "its recipient: the name, company and numbers of the phone book (a --to number gives the\n"
    "number alone), the sender texts of the configuration, --subject and the memo (at most 3199\n"
    "characters; a memo file must be plain text).\n"
    "\n"
    "--dialog (and send without --to on a terminal) opens the send dialog with the files on its\n"
    "document list: type a number and a name or pick recipients from the phone book or the last\n"
    "numbers, set the dial options, the resolution and the send time, make a cover page, attach\n"
    "more documents, and press OK to queue one job per recipient. Cancel queues nothing.\n";

// Whether a text names a group of the phone book (compared as the phone book compares names).
bool isGroup(uint32_t host, const std::string& text) {
    char group[31] = {};
    uint16_t found = 0;
    bool match = false;
    for (int16_t st = qorsf::SF_getfirstgroup(host, group, &found); st == 0 && found && !match;
         st = qorsf::SF_getnextgroup(host, group, &found))
        match = SF_strcmp(group, text.c_str()) == 0;
    SF_epilog(host);
    return match;
}

// The members of a group, in the phone book's order.
std::vector<std::string> membersOf(uint32_t host, const std::string& group) {
    std::vector<std::string> out;
    char name[31] = {};
    uint16_t found = 0;
    for (int16_t st = qorsf::SF_getfirstmember(host, group.c_str(), name, &found); st == 0 && found;
         st = qorsf::SF_getnextmember(host, group.c_str(), name, &found))
        out.emplace_back(name);
    SF_epilog(host);
    return out;
}

// The fax number of a phone book name: 0 with the number (empty when the name has none), or the
// library's status (20221 when there is no such name; the library has shown that message).
int16_t faxNumberOf(uint32_t host, const std::string& name, std::string* number, qorsf::FolderRecipient* details = nullptr) {
    char info[661] = {};
    int16_t st = SF_nametophone(host, name.c_str(), info);
    SF_epilog(host);
    if (st) return st;
    number->clear();
    if (info[0] == '\0') return 0;  // only memberships: no details of its own
    PB_ENTRY entry{};
    SF_infotoentry(host, info, &entry);
    *number = entry.number;
    if (details) {
        details->company = entry.company;
        details->voice = entry.voice;
    }
    return 0;
}

// Files this command copied into the spool itself; removed again unless a send took them over.
struct Staged {
    explicit Staged(uint32_t h) : host(h) {}
    Staged(const Staged&) = delete;
    Staged& operator=(const Staged&) = delete;
    uint32_t host = 0;
    std::vector<std::string> paths;
    bool handedOver = false;
    ~Staged() {
        if (handedOver) return;
        for (const std::string& p : paths) UL_fdelete(host, p.c_str());
    }
};

// The document list held for the whole fill-and-submit: no other send of the profile can put
// its documents into this one, or take them out.
struct DocsHold {
    explicit DocsHold(uint32_t h) : host(h) {}
    DocsHold(const DocsHold&) = delete;
    DocsHold& operator=(const DocsHold&) = delete;
    uint32_t host = 0;
    bool held = false;
    ~DocsHold() {
        if (held) FN_unlockdocs(host);
    }
};

// The memo of the cover pages, freed when the command ends.
struct MemoBlock {
    uint32_t handle = 0;
    MemoBlock() = default;
    MemoBlock(const MemoBlock&) = delete;
    MemoBlock& operator=(const MemoBlock&) = delete;
    ~MemoBlock() {
        if (handle) UL_freehandle(handle);
    }
};

// A memo file: plain text only.
bool readMemoFile(const std::string& file, std::string* memo) {
    std::string bytes;
    if (qordoc::readFile(file, &bytes) != 0) {
        std::fprintf(stderr, "qorfax: %s: the memo file cannot be read\n", file.c_str());
        return false;
    }
    const qordoc::Sniffed kind = qordoc::sniff(bytes);
    if (kind.kind != qordoc::Kind::Text && kind.kind != qordoc::Kind::Empty) {
        std::fprintf(stderr, "qorfax: %s: the memo file is not plain text (%s)\n", file.c_str(), kind.what.c_str());
        return false;
    }
    *memo = bytes;
    return true;
}

// The calling card's in-use flag as it was before a send that chose otherwise for itself.
struct CardChoice {
    explicit CardChoice(SF_PARAMS* params) : p(params), saved(params ? params->ccardinuse : 0) {}
    ~CardChoice() {
        if (p) p->ccardinuse = saved;
    }
    CardChoice(const CardChoice&) = delete;
    CardChoice& operator=(const CardChoice&) = delete;
    SF_PARAMS* p;
    uint32_t saved;
};

// Staged copies that no job holds: a copy the send made into fax pages of their own, or one of
// a send that queued nothing, is needed by nobody. Only a copy the delete list holds belongs to
// the jobs.
void dropUnheld(uint32_t h, const std::vector<std::string>& staged) {
    std::vector<DEL_RECORD> held;
    bool listed = false;
    if (qorsf::SF_readdellist(h, &held, &listed) != 0) return;
    for (const std::string& copy : staged) {
        bool isHeld = false;
        for (const DEL_RECORD& r : held)
            if (r.inuse && copy == std::string(r.path, ::strnlen(r.path, sizeof r.path))) isHeld = true;
        if (!isHeld) UL_fdelete(h, copy.c_str());
    }
}

// The files checked and put on the document list (staged first when the list cannot carry
// their paths); false after telling the user why not.
bool listDocuments(uint32_t h, const std::vector<std::string>& files, bool fine, std::vector<std::string>* staged,
                   int* rc) {
    std::vector<std::string> paths;
    for (const std::string& f : files) {
        char resolved[PATH_MAX];
        struct stat st {};
        if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !::realpath(f.c_str(), resolved)) {
            std::fprintf(stderr, "qorfax: %s: no such document\n", f.c_str());
            *rc = kExitFailed;
            return false;
        }
        if (checkDocument(h, resolved, fine, nullptr)) {
            *rc = kExitFailed;
            return false;
        }
        paths.emplace_back(resolved);
    }
    for (std::string& path : paths) {
        if (!qorsf::SF_needsstaging(path)) continue;
        std::string copy;
        if (int16_t st = qorsf::SF_stagedocument(h, path, &copy)) {
            *rc = fail(st, path.c_str());
            return false;
        }
        staged->push_back(copy);
        path = copy;
    }
    if (int16_t st = FN_cleardocs(h)) {
        *rc = fail(st, "the document list cannot be emptied");
        return false;
    }
    for (const std::string& path : paths)
        if (int16_t st = FN_adddocument(h, path.c_str(), 0, 0)) {
            FN_cleardocs(h);
            *rc = fail(st, path.c_str());
            return false;
        }
    return true;
}

// qorfax send --dialog: the send dialog for a person at the terminal (or a script of user
// actions) with the files on its document list; OK queues the jobs through the library's
// interactive send.
int sendDialog(const std::vector<std::string>& files) {
    if (files.size() > 100) return fail(SF_TOOMANYDOCS, "too many documents");
    int16_t st = 0;
    uint64_t before = 0, after = 0;
    {
        DialogUser user;
        if (!user.interactive()) return usage(kHelp, "the send dialog needs a terminal or --ui script");
        Host host;
        if (int16_t s = host.open()) {
            user.finish();
            return fail(s, "the library cannot be opened");
        }
        if (int16_t s = host.queueStatus()) {
            user.finish();
            return fail(s, "the send queue");
        }
        const uint32_t h = host.handle();
        DocsHold hold{h};
        if (int16_t s = FN_lockdocs(h)) {
            user.finish();
            return fail(s, "the document list");
        }
        hold.held = true;
        Staged staged{h};
        int rc = kExitOk;
        if (!listDocuments(h, files, qorsf::frame().word2200 != 0, &staged.paths, &rc)) {
            user.finish();
            return rc;
        }
        before = VQ_lastjobnumber();
        staged.handedOver = true;
        st = qorsf::SF_wndsend(h, 2);
        after = VQ_lastjobnumber();
        user.finish();
        FN_cleardocs(h);
        dropUnheld(h, staged.paths);
    }
    if (st == SF_CANCELLED) {
        std::fprintf(stderr, "qorfax: send: cancelled, nothing was queued\n");
        return kExitFailed;
    }
    if (st) return fail(st, "the fax cannot be queued");
    if (after == before) {
        std::printf("nothing was queued\n");
        return kExitOk;
    }
    std::printf("queued the fax, the last job as job %llu\n", static_cast<unsigned long long>(after));
    return kExitOk;
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    std::vector<std::string> to, files;
    std::string name, note, prefix, suffix, at, coverArg, subject, memo, memoFile;
    int fine = -1, deleteAfter = -1;  // -1: the configured default
    bool havePrefix = false, haveSuffix = false, dialog = false;
    int card = -1;  // -1: the calling card's own in-use flag
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
        } else if (a == "--cover") {
            if (!value(&coverArg)) return usage(kHelp, "--cover needs a template number");
        } else if (a == "--subject") {
            if (!value(&subject)) return usage(kHelp, "--subject needs a text");
        } else if (a == "--memo") {
            if (!value(&memo)) return usage(kHelp, "--memo needs a text");
        } else if (a == "--memo-file") {
            if (!value(&memoFile)) return usage(kHelp, "--memo-file needs a file");
        } else if (a == "--dialog") {
            dialog = true;
        } else if (a == "--card" || a == "--no-card") {
            card = a == "--card" ? 1 : 0;
        } else if (a == "--fine" || a == "--no-fine") {
            fine = a == "--fine" ? 1 : 0;
        } else if (a == "--delete-after" || a == "--no-delete-after") {
            deleteAfter = a == "--delete-after" ? 1 : 0;
        } else if (a.rfind("--", 0) == 0) {
            return usage(kHelp, "unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (!dialog && to.empty() && ::isatty(0) && ::isatty(1)) dialog = true;
    if (dialog) {
        if (!to.empty() || !name.empty() || !note.empty() || havePrefix || haveSuffix || !at.empty() ||
            !coverArg.empty() || fine >= 0 || deleteAfter >= 0 || card >= 0)
            return usage(kHelp, "--dialog takes files only: the rest is chosen in the dialog");
        return sendDialog(files);
    }
    if (to.empty()) return usage(kHelp, "send needs at least one --to");
    if (files.empty()) return usage(kHelp, "send needs at least one file");
    if (files.size() > 100) return fail(SF_TOOMANYDOCS, "too many documents");
    if (name.size() > 30) return usage(kHelp, "--name holds at most 30 characters");
    if (note.size() > 79) return usage(kHelp, "--note holds at most 79 characters");
    if (prefix.size() > 30 || suffix.size() > 30) return usage(kHelp, "--prefix and --suffix hold at most 30 characters");
    long coverNumber = 0;
    if (!coverArg.empty()) {
        char* end = nullptr;
        coverNumber = std::strtol(coverArg.c_str(), &end, 10);
        if (!end || *end || coverNumber < 1 || coverNumber > 999) return usage(kHelp, "--cover needs a template number from 1");
    } else if (!subject.empty() || !memo.empty() || !memoFile.empty()) {
        return usage(kHelp, "--subject and --memo go with --cover");
    }
    if (!memo.empty() && !memoFile.empty()) return usage(kHelp, "--memo and --memo-file exclude each other");
    if (subject.size() > 239) return usage(kHelp, "--subject holds at most 239 characters");
    if (!memoFile.empty() && !readMemoFile(memoFile, &memo)) return kExitFailed;
    if (memo.size() > 3199) {
        std::fprintf(stderr, "qorfax: the memo is cut to its first 3199 characters\n");
        memo.resize(3199);
    }

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    if (int16_t st = host.queueStatus()) return fail(st, "the send queue");
    const uint32_t h = host.handle();
    SendOptions options;
    std::memset(&options, 0, sizeof options);
    if (!at.empty()) {
        std::string problem;
        if (!qorsf::SF_parsesendtime(at, &options.sendTime, &problem)) return usage(kHelp, problem);
    }
    SF_PARAMS* p = qorsf::params();
    // The calling card choice holds for this send only; the card's own setting stays.
    CardChoice cardChoice(p);
    if (card >= 0) {
        char second[26] = {};
        UL_strcopy(second, p->ccard.second);
        if (card == 1 && second[0] == '\0') {
            std::fprintf(stderr, "qorfax: --card: no calling card is set up (qorfax ccard)\n");
            return kExitFailed;
        }
        p->ccardinuse = static_cast<uint32_t>(card);
    }
    if (!havePrefix) prefix = p->dialprefix;
    if (!haveSuffix) suffix = p->dialsuffix;

    // Everything is checked before the first job is queued: a bad number or document queues nothing.
    // A --to that is not a number is a group or a name of the phone book.
    std::vector<qorsf::FolderRecipient> recipients;
    for (const std::string& t : to) {
        if (looksLikeNumber(t)) {
            recipients.push_back({t, name});
            continue;
        }
        if (isGroup(h, t)) {
            const std::vector<std::string> members = membersOf(h, t);
            std::size_t added = 0;
            for (const std::string& m : members) {
                std::string number;
                qorsf::FolderRecipient details;
                if (int16_t st = faxNumberOf(h, m, &number, &details)) return fail(st, m.c_str());
                if (number.empty()) {
                    std::fprintf(stderr, "qorfax: %s (group %s) has no fax number: skipped\n", m.c_str(), t.c_str());
                    continue;
                }
                recipients.push_back({number, m, details.company, details.voice});
                ++added;
            }
            if (added == 0) {
                std::fprintf(stderr, "qorfax: group %s has no member with a fax number\n", t.c_str());
                return kExitFailed;
            }
            continue;
        }
        std::string number;
        qorsf::FolderRecipient details;
        if (int16_t st = faxNumberOf(h, t, &number, &details))
            return st == SF_NORECORD ? kExitFailed : fail(st, t.c_str());
        if (number.empty()) {
            std::fprintf(stderr, "qorfax: %s has no fax number in the phone book\n", t.c_str());
            return kExitFailed;
        }
        recipients.push_back({number, t, details.company, details.voice});
    }
    for (const qorsf::FolderRecipient& r : recipients)
        if (qorsf::SF_dialstring(r.number.c_str(), prefix.c_str(), suffix.c_str(), '|').size() >= 50)
            return fail(SF_DIALSTRINGLONG, r.number.c_str());
    // A document that cannot be faxed is refused with its kind and the reason.
    const bool fineNow = fine >= 0 ? fine != 0 : qorsf::frame().word2200 != 0;
    DocsHold hold{h};
    if (int16_t st = FN_lockdocs(h)) return fail(st, "the document list");
    hold.held = true;
    Staged staged{h};
    int rc = kExitOk;
    if (!listDocuments(h, files, fineNow, &staged.paths, &rc)) return rc;
    // The configured defaults, unless the command line says otherwise.
    options.deleteAfterSend = static_cast<uint16_t>(deleteAfter >= 0 ? deleteAfter : qorsf::frame().word2201 != 0);
    options.fineResolution = static_cast<uint16_t>(fine >= 0 ? fine : qorsf::frame().word2200 != 0);
    UL_strcopy(options.note, note.c_str());
    UL_strcopy(options.sender, p->sendera);
    UL_strcopy(options.dialPrefix, prefix.c_str());
    UL_strcopy(options.dialSuffix, suffix.c_str());
    MemoBlock memoBlock;
    if (coverNumber) {
        // A cover page for each recipient: the template, the sender texts of the configuration
        // and the memo; the recipient's texts are filled per job.
        options.coverPerRecipient = 1;
        COVER_SHEET& cover = options.coverInfo;
        UL_strcopy(cover.sendera, p->sendera);
        UL_strcopy(cover.senderb, p->senderb);
        UL_strcopy(cover.senderc, p->senderc);
        cover.templatenumber = static_cast<int16_t>(coverNumber);
        char path[80], description[80];
        if (int16_t st = qorsf::SF_templatelookup(h, cover.templatenumber, path, description))
            return fail(st, "the cover template");
        if (!memo.empty()) {
            void* ptr = nullptr;
            if (int16_t st = UL_allochandle(&ptr, static_cast<uint32_t>(memo.size() + 1), &memoBlock.handle))
                return fail(st, "the memo");
            std::memcpy(ptr, memo.c_str(), memo.size() + 1);
            UL_unlockhandle(memoBlock.handle);
            cover.memo = memoBlock.handle;
        }
    }
    int16_t queued = 0;
    // From here the send owns the staged copies: its holds remove them when it fails.
    staged.handedOver = true;
    int16_t st = qorsf::SF_faxfolderto(h, recipients, &options, &queued, subject.empty() ? nullptr : subject.c_str());
    FN_cleardocs(h);
    dropUnheld(h, staged.paths);
    if (st) {
        if (queued > 0)
            std::fprintf(stderr, "qorfax: %d of %zu jobs were queued before the failure\n", queued, recipients.size());
        return fail(st, "the fax cannot be queued");
    }
    std::printf("queued %zu job%s, the last as job %llu\n", recipients.size(), recipients.size() == 1 ? "" : "s",
                static_cast<unsigned long long>(VQ_lastjobnumber()));
    return kExitOk;
}

Registration registration{{"send",
                           "  send --to NUMBER ... FILE... queue a fax of the files to each number, name or group\n"
                           "  send --dialog FILE...        the send dialog with the files: recipients, options, OK\n", kHelp, run}};

}  // namespace
}  // namespace qorfax
