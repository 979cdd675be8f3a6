// QORLANG: reads the language module, a resource script.
//
// The tokenizer turns the script into words, numbers, strings and punctuation and drops what
// the resource compiler's preprocessor would (comments, #define and #include lines). The parser
// reads one top-level statement at a time: STRINGTABLE blocks fill the text table; DIALOG and
// DIALOGEX blocks go to the template parser (dialogs.cpp); any other resource ("id TYPE ...
// BEGIN ... END", or a one-line resource naming a file) is passed over by parseResource().
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "qorlang.h"

extern const char qorlang_builtin_script[];

namespace qorlang {

// ---------------------------------------------------------------- tokenizer

bool isBegin(const Token& t) {
    return (t.kind == Token::Word && t.text == "BEGIN") || (t.kind == Token::Punct && t.text == "{");
}
bool isEnd(const Token& t) {
    return (t.kind == Token::Word && t.text == "END") || (t.kind == Token::Punct && t.text == "}");
}

namespace {
bool wordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool wordChar(char c) { return wordStart(c) || (c >= '0' && c <= '9'); }
bool digit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

const Token& Tokenizer::peek() {
    if (!peeked_) {
        ahead_ = scan();
        peeked_ = true;
    }
    return ahead_;
}

Token Tokenizer::next() {
    if (peeked_) {
        peeked_ = false;
        return ahead_;
    }
    return scan();
}

void Tokenizer::skipBlanks() {
    const std::size_t n = s_.size();
    while (pos_ < n) {
        char c = s_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
            lineStart_ = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++pos_;
        } else if (c == '\\' && pos_ + 1 < n && (s_[pos_ + 1] == '\n' || s_[pos_ + 1] == '\r')) {
            ++pos_;  // a line continuation outside a string: blank
        } else if (c == '#' && lineStart_) {
            // A preprocessor line, with its continuations.
            while (pos_ < n && s_[pos_] != '\n') {
                if (s_[pos_] == '\\' && pos_ + 1 < n && s_[pos_ + 1] == '\n') {
                    ++line_;
                    pos_ += 2;
                    continue;
                }
                if (s_[pos_] == '\\' && pos_ + 2 < n && s_[pos_ + 1] == '\r' && s_[pos_ + 2] == '\n') {
                    ++line_;
                    pos_ += 3;
                    continue;
                }
                ++pos_;
            }
        } else if (c == '/' && pos_ + 1 < n && s_[pos_ + 1] == '/') {
            while (pos_ < n && s_[pos_] != '\n') ++pos_;
        } else if (c == '/' && pos_ + 1 < n && s_[pos_ + 1] == '*') {
            std::size_t close = s_.find("*/", pos_ + 2);
            std::size_t stop = close == std::string::npos ? n : close + 2;
            for (std::size_t i = pos_; i < stop; ++i)
                if (s_[i] == '\n') ++line_;
            if (close == std::string::npos) {
                pos_ = n + 1;  // marks an unterminated comment for scan()
                return;
            }
            pos_ = stop;
        } else {
            return;
        }
    }
}

Token Tokenizer::scan() {
    skipBlanks();
    Token t;
    t.line = line_;
    const std::size_t n = s_.size();
    if (pos_ > n) {
        t.kind = Token::Bad;
        t.text = "unterminated comment";
        return t;
    }
    if (pos_ == n) return t;  // End
    lineStart_ = false;
    char c = s_[pos_];
    bool wide = (c == 'L' || c == 'l') && pos_ + 1 < n && s_[pos_ + 1] == '"';
    if (wide) c = s_[++pos_];
    if (c == '"') {
        ++pos_;
        t.kind = Token::String;
        for (;;) {
            if (pos_ >= n || s_[pos_] == '\n') {
                t.kind = Token::Bad;
                t.text = "unterminated string";
                return t;
            }
            char ch = s_[pos_++];
            if (ch == '"') {
                if (pos_ < n && s_[pos_] == '"') {  // "" is one quote
                    t.text += '"';
                    ++pos_;
                    continue;
                }
                return t;
            }
            if (ch != '\\' || pos_ >= n) {
                t.text += ch;
                continue;
            }
            char e = s_[pos_++];
            switch (e) {
                case 'n': t.text += '\n'; break;
                case 't': t.text += '\t'; break;
                case 'r': t.text += '\r'; break;
                case 'a': t.text += '\a'; break;
                case 'b': t.text += '\b'; break;
                case 'f': t.text += '\f'; break;
                case 'v': t.text += '\v'; break;
                case '\\': t.text += '\\'; break;
                case '"': t.text += '"'; break;
                case '\'': t.text += '\''; break;
                case 'x': case 'X': {
                    int v = 0, digits = 0;
                    int most = wide ? 4 : 2;
                    while (digits < most && pos_ < n && hexValue(s_[pos_]) >= 0) {
                        v = v * 16 + hexValue(s_[pos_++]);
                        ++digits;
                    }
                    if (digits == 0) {
                        t.text += '\\';
                        t.text += e;
                    } else {
                        t.text += static_cast<char>(v & 0xFF);
                    }
                    break;
                }
                default:
                    if (e >= '0' && e <= '7') {
                        int v = e - '0', digits = 1;
                        while (digits < 3 && pos_ < n && s_[pos_] >= '0' && s_[pos_] <= '7') {
                            v = v * 8 + (s_[pos_++] - '0');
                            ++digits;
                        }
                        t.text += static_cast<char>(v & 0xFF);
                    } else if (e == '\n') {
                        ++line_;  // continued string
                    } else {
                        t.text += '\\';  // unknown escapes stand as written
                        t.text += e;
                    }
            }
        }
    }
    if (digit(c)) {
        std::size_t start = pos_;
        int base = 10;
        if (c == '0' && pos_ + 1 < n && (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X')) {
            base = 16;
            pos_ += 2;
        }
        long v = 0;
        bool any = false, overflow = false;
        while (pos_ < n) {
            int d = base == 16 ? hexValue(s_[pos_]) : (digit(s_[pos_]) ? s_[pos_] - '0' : -1);
            if (d < 0) break;
            v = v * base + d;
            if (v > 0xFFFFFFFFL) overflow = true, v = 0xFFFFFFFFL;
            any = true;
            ++pos_;
        }
        while (pos_ < n && (s_[pos_] == 'L' || s_[pos_] == 'l' || s_[pos_] == 'U' || s_[pos_] == 'u')) ++pos_;
        if (!any || overflow || (pos_ < n && wordChar(s_[pos_]))) {
            while (pos_ < n && wordChar(s_[pos_])) ++pos_;
            t.kind = Token::Bad;
            t.text = "bad number " + s_.substr(start, pos_ - start);
            return t;
        }
        t.kind = Token::Number;
        t.value = v;
        t.text = s_.substr(start, pos_ - start);
        return t;
    }
    if (wordStart(c)) {
        std::size_t start = pos_;
        while (pos_ < n && wordChar(s_[pos_])) ++pos_;
        t.kind = Token::Word;
        t.text = s_.substr(start, pos_ - start);
        return t;
    }
    if (std::strchr(",{}|()+-~&!*/=<>", c) && c != '\0') {
        ++pos_;
        t.kind = Token::Punct;
        t.text = std::string(1, c);
        return t;
    }
    t.kind = Token::Bad;
    t.text = "unexpected character '" + std::string(1, c) + "'";
    ++pos_;
    return t;
}

// ---------------------------------------------------------------- parser

namespace {

// Passes over a BEGIN ... END block whose BEGIN was just taken (blocks may nest).
bool skipBlock(Tokenizer& tk, std::string& error) {
    int depth = 1;
    for (;;) {
        Token t = tk.next();
        if (t.kind == Token::End) {
            error = t.where() + "END missing";
            return false;
        }
        if (t.kind == Token::Bad) {
            error = t.where() + t.text;
            return false;
        }
        if (isBegin(t)) ++depth;
        if (isEnd(t) && --depth == 0) return true;
    }
}

// Takes the statement options up to the block's BEGIN ("LANGUAGE 9, 1", "STYLE WS_POPUP | ...",
// "CAPTION "..."", ...), then passes over the block.
bool skipToBlock(Tokenizer& tk, std::string& error) {
    for (;;) {
        Token t = tk.next();
        if (isBegin(t)) return skipBlock(tk, error);
        if (t.kind == Token::End || t.kind == Token::Bad || isEnd(t)) {
            error = t.where() + "BEGIN expected, found " + t.describe();
            return false;
        }
    }
}

bool parseStringTable(Tokenizer& tk, std::map<uint16_t, std::string>& texts, std::string& error) {
    for (;;) {  // options up to BEGIN
        Token t = tk.next();
        if (isBegin(t)) break;
        if (t.kind == Token::String || t.kind == Token::End || t.kind == Token::Bad || isEnd(t)) {
            error = t.where() + "STRINGTABLE: BEGIN expected, found " + t.describe();
            return false;
        }
    }
    for (;;) {
        Token t = tk.next();
        if (isEnd(t)) return true;
        if (t.kind != Token::Number) {
            error = t.where() + "STRINGTABLE: text number expected, found " + t.describe();
            return false;
        }
        if (t.value > 0xFFFF) {
            error = t.where() + "text number " + t.text + " above 65535";
            return false;
        }
        if (tk.peek().kind == Token::Punct && tk.peek().text == ",") tk.next();
        Token s = tk.next();
        if (s.kind != Token::String) {
            error = s.where() + "STRINGTABLE: text expected after " + t.text + ", found " + s.describe();
            return false;
        }
        std::string text = s.text;
        while (tk.peek().kind == Token::String) text += tk.next().text;  // adjacent strings join
        auto number = static_cast<uint16_t>(t.value);
        if (!texts.emplace(number, std::move(text)).second) {
            error = t.where() + "text number " + std::to_string(number) + " given twice";
            return false;
        }
    }
}

// Resource types that are a block after their options.
const std::set<std::string>& blockTypes() {
    static const std::set<std::string> s = {"DIALOG",     "DIALOGEX", "MENU",    "MENUEX",     "ACCELERATORS",
                                            "VERSIONINFO", "RCDATA",   "DLGINIT", "TEXTINCLUDE", "TOOLBAR",
                                            "DESIGNINFO"};
    return s;
}

// The colour of an icon letter (ARGB); false for an unknown letter.
bool iconColour(char c, uint32_t& out) {
    switch (c) {
        case '.': case ' ': out = 0; return true;
        case 'k': out = 0xFF000000; return true;
        case 'w': out = 0xFFFFFFFF; return true;
        case 'd': out = 0xFF606060; return true;
        case 'l': out = 0xFFC0C0C0; return true;
        case 'r': out = 0xFFE02020; return true;
        case 'R': out = 0xFF800000; return true;
        case 'g': out = 0xFF20B040; return true;
        case 'G': out = 0xFF006020; return true;
        case 'b': out = 0xFF2060E0; return true;
        case 'B': out = 0xFF000080; return true;
        case 'y': out = 0xFFFFE040; return true;
        case 'Y': out = 0xFF808000; return true;
        case 'o': out = 0xFFFF9020; return true;
        case 'c': out = 0xFF20C0E0; return true;
        case 'm': out = 0xFFC020C0; return true;
        default: return false;
    }
}

std::string iconKey(const Token& id) {
    if (id.kind == Token::Number) return "#" + std::to_string(id.value);
    std::string k;
    for (char c : id.text) k += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return k;
}

// An icon block after "NAME ICON": BEGIN, rows of colour letters as strings, END.
bool parseIcon(Tokenizer& tk, const Token& id, std::map<std::string, IconImage>& icons, std::string& error) {
    tk.next();  // BEGIN
    IconImage img;
    for (;;) {
        Token t = tk.next();
        if (isEnd(t)) break;
        if (t.kind != Token::String) {
            error = t.where() + "icon row (a string) expected, found " + t.describe();
            return false;
        }
        const int w = static_cast<int>(t.text.size());
        if (w == 0 || w > 64 || (img.height > 0 && w != img.width)) {
            error = t.where() + "icon rows must be 1 to 64 letters, all of one length";
            return false;
        }
        if (img.height >= 64) {
            error = t.where() + "an icon has at most 64 rows";
            return false;
        }
        img.width = w;
        for (char c : t.text) {
            uint32_t argb = 0;
            if (!iconColour(c, argb)) {
                error = t.where() + "unknown icon colour '" + std::string(1, c) + "'";
                return false;
            }
            img.argb.push_back(argb);
        }
        ++img.height;
    }
    if (img.height == 0) {
        error = id.where() + "icon " + id.text + " has no rows";
        return false;
    }
    const std::string key = iconKey(id);
    if (!icons.emplace(key, std::move(img)).second) {
        error = id.where() + "icon " + id.text + " given twice";
        return false;
    }
    return true;
}

// One resource after its name: "id TYPE ...". Dialog templates are kept by number; a template
// named by a word (a symbol of a header the tokenizer drops) is checked but cannot be looked up.
bool parseResource(Tokenizer& tk, const Token& id, const Token& type, std::map<uint16_t, DialogTemplate>& dialogs,
                   std::map<std::string, IconImage>& icons, std::string& error) {
    if (type.kind != Token::Word && type.kind != Token::Number) {
        error = type.where() + "resource type expected after " + id.describe() + ", found " + type.describe();
        return false;
    }
    if (type.kind == Token::Word && (type.text == "DIALOG" || type.text == "DIALOGEX")) {
        DialogTemplate t;
        if (!parseDialog(tk, type, t, error)) return false;
        if (id.kind != Token::Number) return true;
        if (id.value > 0xFFFF) {
            error = id.where() + "dialog number " + id.text + " above 65535";
            return false;
        }
        t.number = static_cast<uint16_t>(id.value);
        t.line = id.line;
        if (!dialogs.emplace(t.number, std::move(t)).second) {
            error = id.where() + "dialog " + std::to_string(id.value) + " given twice";
            return false;
        }
        return true;
    }
    if (type.kind == Token::Word && type.text == "ICON" && isBegin(tk.peek())) return parseIcon(tk, id, icons, error);
    if (type.kind == Token::Word && blockTypes().count(type.text)) return skipToBlock(tk, error);
    // Another type: a one-line resource naming its file ("1 ICON "fax.ico"") or a block of data.
    bool named = false;
    while (tk.peek().kind != Token::End && tk.peek().line == type.line) {
        Token t = tk.next();
        if (t.kind == Token::Bad) {
            error = t.where() + t.text;
            return false;
        }
        if (isBegin(t)) return skipBlock(tk, error);
        if (t.kind == Token::String) named = true;
    }
    if (isBegin(tk.peek())) {
        tk.next();
        return skipBlock(tk, error);
    }
    if (!named) {
        error = id.where() + "not a resource statement: " + id.describe() + " " + type.describe();
        return false;
    }
    return true;
}

}  // namespace

bool Module::parse(const std::string& script, std::string& error) {
    std::map<uint16_t, std::string> texts;
    std::map<uint16_t, DialogTemplate> dialogs;
    std::map<std::string, IconImage> icons;
    Tokenizer tk(script);
    error.clear();
    for (;;) {
        Token t = tk.next();
        if (t.kind == Token::End) break;
        bool ok = true;
        if (t.kind == Token::Word && t.text == "STRINGTABLE") {
            ok = parseStringTable(tk, texts, error);
        } else if (t.kind == Token::Word && t.text == "LANGUAGE") {
            while (tk.peek().kind != Token::End && tk.peek().line == t.line) tk.next();
        } else if (t.kind == Token::Word || t.kind == Token::Number) {
            Token type = tk.next();
            ok = parseResource(tk, t, type, dialogs, icons, error);
        } else {
            error = t.where() + "unexpected " + t.describe();
            ok = false;
        }
        if (!ok) return false;
    }
    texts_ = std::move(texts);
    dialogs_ = std::move(dialogs);
    icons_ = std::move(icons);
    return true;
}

const std::string* Module::text(uint16_t number) const {
    auto it = texts_.find(number);
    return it == texts_.end() ? nullptr : &it->second;
}

const IconImage* Module::icon(const std::string& name) const {
    std::string key;
    for (char c : name) key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto it = icons_.find(key);
    return it == icons_.end() ? nullptr : &it->second;
}

const DialogTemplate* Module::dialog(uint16_t number) const {
    auto it = dialogs_.find(number);
    return it == dialogs_.end() ? nullptr : &it->second;
}

// ---------------------------------------------------------------- the module in use

namespace {
struct Loaded {
    bool tried = false;
    std::unique_ptr<Module> module;
    std::string error;
};
Loaded& loaded() {
    static Loaded l;
    return l;
}

void load(Loaded& l) {
    l.tried = true;
    const char* path = std::getenv("QORLANG_PATH");
    std::string script;
    std::string origin = "built-in language module";
    if (path && *path) {
        origin = path;
        struct stat st {};
        if (::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
            l.error = std::string("the language module ") + path + " is not a file";
            return;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            l.error = std::string("cannot read the language module ") + path + ": " + std::strerror(errno);
            return;
        }
        std::ostringstream s;
        s << in.rdbuf();
        if (in.bad()) {
            l.error = std::string("cannot read the language module ") + path;
            return;
        }
        script = s.str();
    } else {
        script = qorlang_builtin_script;
    }
    auto m = std::make_unique<Module>();
    std::string error;
    if (!m->parse(script, error)) {
        l.error = origin + ", " + error;
        return;
    }
    l.module = std::move(m);
}
}  // namespace

const Module* current(std::string* error) {
    Loaded& l = loaded();
    if (!l.tried) load(l);
    if (!l.module && error) *error = l.error;
    return l.module.get();
}

void reset() { loaded() = Loaded{}; }

const char* builtinScript() { return qorlang_builtin_script; }

}  // namespace qorlang
