// qorfax cover: the cover templates of the profile, and a cover page made for a recipient to
// look at (PNG or PDF) before it is sent.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "commands.h"
#include "phonebook_common.h"
#include "cover/cover.h"
#include "frame/frame.h"
#include "host.h"
#include "qordoc.h"
#include "qorlib1.h"
#include "qorlib2.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorux.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax cover templates\n"
    "       qorfax cover preview --template N --to NAME|NUMBER [--subject TEXT]\n"
    "                            [--memo TEXT | --memo-file FILE] --png FILE | --pdf FILE\n"
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
    if (looksLikeNumber(to)) {
        UL_strcopy(cover.recipient4, to.c_str());
    } else {
        char info[661] = {};
        int16_t st = SF_nametophone(h, to.c_str(), info);
        SF_epilog(h);
        if (st) return st == SF_NORECORD ? kExitFailed : fail(st, to.c_str());
        PB_ENTRY entry{};
        SF_infotoentry(h, info, &entry);
        UL_strcopy(entry.name, to.c_str());
        qorsf::SF_fillcoverto(h, &entry, &cover);
    }
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

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty()) return usage(kHelp, "cover needs templates or preview");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "templates") return templates(rest);
    if (args[0] == "preview") return preview(rest);
    return usage(kHelp, "unknown cover command " + args[0]);
}

Registration registration{{"cover",
                           "  cover templates | preview    list the cover templates; make a cover page to look at\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
