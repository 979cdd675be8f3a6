// What the phonebook and group commands share: their options, argument checks and output.
#pragma once

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "commands.h"
#include "frame/frame.h"
#include "phonebook/phonebook.h"
#include "qorui.h"
#include "qorul.h"

namespace qorfax {

// A --to that is a fax number rather than a name: dial characters with at least one digit.
inline bool looksLikeNumber(const std::string& s) {
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

struct Options {
    std::string book;  // --book PATH: another phone book file
    bool tsv = false;  // --tsv: tab-separated output
    Args rest;         // the verb and its arguments
};

// Takes --book and --tsv from anywhere before a "--"; "" or the problem.
inline std::string takeOptions(const Args& args, Options& o) {
    bool literal = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!literal && args[i] == "--") {
            literal = true;
        } else if (!literal && args[i] == "--tsv") {
            o.tsv = true;
        } else if (!literal && args[i] == "--book") {
            if (i + 1 >= args.size()) return "--book needs a path";
            o.book = args[++i];
            if (o.book.empty() || o.book.size() > 79) return "--book needs a path of 1 to 79 characters";
        } else {
            o.rest.push_back(args[i]);
        }
    }
    return "";
}

// Points the open library at the --book file for this run only (the profile's setting stays).
inline int useBook(const Options& o) {
    if (o.book.empty()) return kExitOk;
    UL_strcopy(qorsf::frame().phonebookPath, o.book.c_str());
    return kExitOk;
}

// Line breaks and tabs would split a record: they are shown as blanks.
inline std::string printable(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

inline std::string tsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + printable(fields[i]);
    return line;
}
inline std::string tsvLine(std::initializer_list<std::string> fields) { return tsvLine(std::vector<std::string>(fields)); }

// A text for a field of `most` characters: "" or the problem.
inline std::string checkText(const std::string& value, std::size_t most, const char* what) {
    if (value.size() > most)
        return std::string(what) + " \"" + value + "\" is longer than " + std::to_string(most) + " characters";
    if (value.find_first_of("\r\n") != std::string::npos) return std::string(what) + " may not hold a line break";
    // Names and groups files have no escapes: a quote before a comma would end the field there
    // and shift the fields after it when the file is read back.
    if (!qorsf::SF_filesafe(value.c_str()))
        return std::string(what) + " \"" + value + "\" may not hold a double quote followed by a comma";
    return "";
}

// A name or group: 1 to 30 characters, not beginning with a blank (such a key would be taken for
// the record of a group or of a name).
inline std::string checkKey(const std::string& value, const char* what) {
    if (value.empty() || value[0] == ' ') return std::string("a ") + what + " may not be empty or begin with a blank";
    if (std::string problem = checkText(value, 30, what); !problem.empty()) return problem;
    if (value.find_first_of("\t") != std::string::npos) return std::string("a ") + what + " may not hold a tab";
    return "";
}

// As fail(), but 20221 and 20222 were shown with their name or group when they arose: only
// what failed is added.
// qorfax phonebook check | repair (cmd_phonebook_check.cpp).
int phonebookCheck(const Args& all);
// Whether the verb (the first argument that is not an option) is check or repair.
inline bool isCheckVerb(const Args& all) {
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == "--book") {
            ++i;
        } else if (all[i] != "--tsv") {
            return all[i] == "check" || all[i] == "repair";
        }
    }
    return false;
}
// What a failed phone book call says about the store file: "" or "the phone book is in use by
// another program" or "the phone book is damaged: run `qorfax phonebook check`".
std::string phonebookProblem(int16_t status);

inline int failPb(int16_t status, const char* what) {
    if (std::string problem = phonebookProblem(status); !problem.empty()) {
        std::fprintf(stderr, "qorfax: %s: %s\n", what, problem.c_str());
        return kExitFailed;
    }
    if (status == SF_NORECORD || status == SF_EXISTS) {
        std::fprintf(stderr, "qorfax: %s (status %d)\n", what, status);
        return kExitFailed;
    }
    return fail(status, what);
}

// A user interface that shows nothing and answers every question with its first choice: for
// the looks that may fail without it being the user's error (is the name there already?).
class QuietDriver : public qorui::ConsoleDriver {
public:
    int messageBox(HWND, const std::string&, const std::string&, UINT) override { return IDOK; }
    void status(const std::string&) override {}
};

// Whether the phone book has a record of the name (its own record or a membership); 0 or the
// store's status. Nothing is shown.
inline int16_t nameKnown(uint32_t host, const std::string& name, bool* known) {
    *known = false;
    QuietDriver quiet;
    qorui::ScopedDriver installed(quiet);
    char info[qorsf::kPbInfoWidth];
    const int16_t st = SF_nametophone(host, name.c_str(), info);
    if (st == SF_NORECORD) return 0;
    if (st == 0) *known = true;
    return st;
}

inline std::string checkPath(const std::string& path) {
    if (path.empty()) return "the file name is empty";
    if (path.size() > 155) return "the file name is too long";
    return "";
}

}  // namespace qorfax
