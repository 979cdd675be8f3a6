// qorfax cover: the cover templates of the profile, and a cover page made for a recipient to
// look at (PNG or PDF) before it is sent.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "commands.h"
#include "phonebook_common.h"
#include "cover/askcover.h"
#include "cover/cover.h"
#include "frame/frame.h"
#include "host.h"
#include "qordoc.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorux.h"
#include "ui.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax cover [--to NAME|NUMBER]\n"
    "       qorfax cover templates\n"
    "       qorfax cover preview --template N --to NAME|NUMBER [--subject TEXT]\n"
    "                            [--memo TEXT | --memo-file FILE] --png FILE | --pdf FILE\n"
    "\n"
    "Without a verb, opens the cover page dialog for a person at the terminal (or for a script\n"
    "with --ui script): a template or, for a text cover, header and footer logos; the sender\n"
    "and recipient texts (--to fills the recipient's from the phone book, or the fax number);\n"
    "the memo, typed or imported from a text file; Preview. OK prints what was chosen; the\n"
    "template and the logos become the defaults of the next cover (the sender texts start from\n"
    "[GENERAL] SenderName, SenderCompany and SenderAddress).\n"
    "\n"
    "templates lists the cover templates of the settings ([TEMPLATES]): number, file and\n"
    "description; a template whose file is missing from the data directory is marked so.\n"
    "preview makes the cover page of template N for one recipient and writes its first page as\n"
    "a PNG, or all its pages as a PDF. A --to that is a number is the recipient's fax number; any\n"
    "other --to is a name of the phone book, whose name, company and numbers fill the cover. The\n"
    "sender texts are those of the configuration. A memo holds at most 3199 characters; a memo\n"
    "file must be plain text.\n";

int templates(const Args& args) {
    if (!args.empty()) return usage(kHelp, "cover templates takes no arguments");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const auto list = qorsf::SF_covertemplates(host.handle());
    if (list.empty()) {
        std::puts("no cover templates ([TEMPLATES] of the settings is empty)");
        return kExitOk;
    }
    for (const qorsf::CoverTemplate& t : list)
        std::printf("%3d  %-16s %s%s\n", t.number, t.file.c_str(),
                    t.description.empty() ? t.value.c_str() : t.description.c_str(),
                    t.exists ? "" : "  (file missing)");
    return kExitOk;
}

// The memo: a text given, or a plain text file read whole (at most 3199 characters reach the
// cover; the rest is cut with a warning).
bool memoText(const std::string& text, const std::string& file, std::string* memo) {
    if (file.empty()) {
        *memo = text;
    } else {
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
    }
    if (memo->size() > 3199) {
        std::fprintf(stderr, "qorfax: the memo is cut to its first 3199 characters\n");
        memo->resize(3199);
    }
    return true;
}

// The recipient texts of a cover: a number is the fax number; a name of the phone book gives
// the name, company and numbers. 0, or the exit code of the failure (reported).
int fillRecipient(uint32_t h, const std::string& to, COVER_SHEET* cover) {
    if (looksLikeNumber(to)) {
        UL_strcopy(cover->recipient4, to.c_str());
        return kExitOk;
    }
    char info[661] = {};
    int16_t st = SF_nametophone(h, to.c_str(), info);
    SF_epilog(h);
    if (st) return st == SF_NORECORD ? kExitFailed : fail(st, to.c_str());
    PB_ENTRY entry{};
    SF_infotoentry(h, info, &entry);
    UL_strcopy(entry.name, to.c_str());
    qorsf::SF_fillcoverto(h, &entry, cover);
    return kExitOk;
}

int preview(const Args& args) {
    std::string to, subject, memoArg, memoFile, png, pdf, number;
    bool haveMemo = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        if (a == "--template") {
            if (!value(&number)) return usage(kHelp, "--template needs a number");
        } else if (a == "--to") {
            if (!value(&to)) return usage(kHelp, "--to needs a name or number");
        } else if (a == "--subject") {
            if (!value(&subject)) return usage(kHelp, "--subject needs a text");
        } else if (a == "--memo") {
            if (!value(&memoArg)) return usage(kHelp, "--memo needs a text");
            haveMemo = true;
        } else if (a == "--memo-file") {
            if (!value(&memoFile)) return usage(kHelp, "--memo-file needs a file");
        } else if (a == "--png") {
            if (!value(&png)) return usage(kHelp, "--png needs a file");
        } else if (a == "--pdf") {
            if (!value(&pdf)) return usage(kHelp, "--pdf needs a file");
        } else {
            return usage(kHelp, "unknown argument " + a);
        }
    }
    char* end = nullptr;
    const long n = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || !end || *end || n < 1 || n > 999) return usage(kHelp, "--template needs a number from 1");
    if (to.empty()) return usage(kHelp, "cover preview needs --to");
    if (haveMemo && !memoFile.empty()) return usage(kHelp, "--memo and --memo-file exclude each other");
    if (png.empty() == pdf.empty()) return usage(kHelp, "cover preview needs one of --png and --pdf");
    if (subject.size() > 239) return usage(kHelp, "--subject holds at most 239 characters");
    std::string memo;
    if (!memoText(memoArg, memoFile, &memo)) return kExitFailed;

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const uint32_t h = host.handle();
    COVER_SHEET cover;
    std::memset(&cover, 0, sizeof cover);
    const SF_PARAMS* p = qorsf::params();
    UL_strcopy(cover.sendera, p->sendera);
    UL_strcopy(cover.senderb, p->senderb);
    UL_strcopy(cover.senderc, p->senderc);
    cover.templatenumber = static_cast<int16_t>(n);
    if (int rc = fillRecipient(h, to, &cover)) return rc;
    struct Memo {
        uint32_t handle = 0;
        ~Memo() {
            if (handle) UL_freehandle(handle);
        }
    } memoBlock;
    if (!memo.empty()) {
        void* ptr = nullptr;
        if (int16_t st = UL_allochandle(&ptr, static_cast<uint32_t>(memo.size() + 1), &memoBlock.handle))
            return fail(st, "the memo");
        std::memcpy(ptr, memo.c_str(), memo.size() + 1);
        UL_unlockhandle(memoBlock.handle);
        cover.memo = memoBlock.handle;
    }
    char temp[UL_MAXPATH];
    if (int16_t st = UX_tempname(h, temp, sizeof temp, 0)) return fail(st, "a temporary file");
    struct Drop {
        const char* path;
        ~Drop() { std::remove(path); }
    } drop{temp};
    int16_t type = 0;
    const int16_t fine = qorsf::frame().word2200 ? 1 : 0;
    if (int16_t st = qorsf::SF_makecover(h, &cover, temp, 1, fine, &type, subject.empty() ? nullptr : subject.c_str()))
        return fail(st, "the cover page cannot be made");
    if (!png.empty()) {
        if (int16_t st = L1_pagepng(h, temp, 0, png.c_str())) return fail(st, png.c_str());
        std::printf("wrote %s\n", png.c_str());
    } else {
        const char* files[1] = {temp};
        if (int16_t st = FN_savepagesas(h, files, 1, pdf.c_str())) return fail(st, pdf.c_str());
        std::printf("wrote %s\n", pdf.c_str());
    }
    return kExitOk;
}

void printChosen(uint32_t h, const COVER_SHEET& c) {
    auto row = [](const char* what, const char* text) { std::printf("%-14s %s\n", what, *text ? text : "-"); };
    if (c.templatenumber > 0) {
        char path[80] = {}, description[80] = {};
        qorsf::SF_templatelookup(h, c.templatenumber, path, description);
        std::printf("%-14s %d %s\n", "template", c.templatenumber, *description ? description : path);
    } else {
        row("template", "none (a text cover)");
        row("header logo", c.headerlogo);
        row("footer logo", c.footerlogo);
    }
    row("sender", c.sendera);
    row("company", c.senderb);
    row("address", c.senderc);
    row("recipient", c.recipient1);
    row("company", c.recipient2);
    row("voice", c.recipient3);
    row("fax", c.recipient4);
    std::string memo;
    if (c.memo) {
        void* p = nullptr;
        if (UL_lockhandle(c.memo, &p) == 0 && p) {
            memo = static_cast<const char*>(p);
            UL_unlockhandle(c.memo);
        }
    }
    if (memo.empty()) {
        row("memo", "");
        return;
    }
    std::printf("memo\n");
    for (const std::string& line : qorsf::SF_memolines(memo)) std::printf("  %s\n", line.c_str());
}

// The cover page dialog for its user (a person at the terminal, or a script), then what was
// chosen. The send flows' cover sheet record is the one the dialog works on.
int dialog(const Args& args) {
    std::string to;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--to" && i + 1 < args.size()) to = args[++i];
        else return usage(kHelp, "unknown or incomplete argument " + args[i]);
    }
    int16_t st = 0;
    uint16_t cancelled = 1;
    Host host;
    {
        DialogUser user;
        if (!user.interactive()) return usage(kHelp, "the cover page dialog needs a terminal or --ui script");
        if (int16_t s = host.open()) {
            user.finish();
            return fail(s, "the library cannot be opened");
        }
        COVER_SHEET* cover = qorsf::defaultCover();
        if (!to.empty()) {
            if (int rc = fillRecipient(host.handle(), to, cover)) {
                user.finish();
                return rc;
            }
        }
        st = qorsf::SF_askcover(host.handle(), cover, &cancelled);
        user.finish();
    }
    if (st) return fail(st, "the cover page dialog");
    if (cancelled) {
        std::fprintf(stderr, "qorfax: cover: cancelled, nothing was chosen\n");
        return kExitFailed;
    }
    printChosen(host.handle(), *qorsf::defaultCover());
    return kExitOk;  // the defaults are saved when the library closes
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty() || args[0].rfind("--", 0) == 0) return dialog(args);
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "templates") return templates(rest);
    if (args[0] == "preview") return preview(rest);
    return usage(kHelp, "unknown cover command " + args[0]);
}

Registration registration{{"cover",
                           "  cover [templates | preview]  the cover page dialog; list the cover templates; make a\n"
                           "                               cover page to look at\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
