// QORLANG: the language module. Numbered texts (a STRINGTABLE) and dialog templates,
// written in resource-script syntax in qorlang.rc, which is compiled into the library.
// QORLANG_PATH may name another file (a translation) that replaces it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qorlang {

// ---- The tokens of a resource script, shared by the parsers of its blocks (the string table
// here, the dialog templates beside it). Comments, #-lines (#define, #include, ...) and line
// continuations are dropped by the tokenizer.
struct Token {
    enum Kind { End, Word, Number, String, Punct, Bad };
    Kind kind = End;
    std::string text;   // a word as written, a string with its escapes resolved, a punctuation mark
    long value = 0;     // a number's value
    int line = 0;       // where it starts (1-based)

    // "line N: ", the start of a parse error about this token.
    std::string where() const { return "line " + std::to_string(line) + ": "; }
    // The token as an error message names it.
    std::string describe() const {
        switch (kind) {
            case End: return "the end of the script";
            case String: return "a string";
            case Bad: return text;
            default: return "'" + text + "'";
        }
    }
};

class Tokenizer {
public:
    explicit Tokenizer(const std::string& script) : s_(script) {}
    // The next token (End at the end; Bad with the reason in text for a malformed one).
    Token next();
    // The token that next() will give, without taking it.
    const Token& peek();

private:
    Token scan();
    void skipBlanks();
    const std::string& s_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool lineStart_ = true;
    bool peeked_ = false;
    Token ahead_;
};

// True for the words that open and close a block: BEGIN and '{', END and '}'.
bool isBegin(const Token& t);
bool isEnd(const Token& t);

// ---- Dialog templates (DIALOG and DIALOGEX blocks), looked up by their number. Coordinates are
// dialog units; styles are the final Win32 style bits (a statement's default style, the given
// style, WS_CHILD | WS_VISIBLE for controls, less the bits named after NOT).
struct DialogControl {
    std::string statement;  // LTEXT, PUSHBUTTON, EDITTEXT, CONTROL, ...
    std::string className;  // "Static", "Button", "Edit", "ListBox", "ComboBox", "ScrollBar" or a custom class
    std::string text;       // empty for controls without a text
    int id = 0;             // -1 for IDC_STATIC
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int line = 0;           // where the statement starts in the script
};

struct DialogTemplate {
    uint16_t number = 0;
    bool extended = false;  // DIALOGEX
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    std::string caption;
    std::string fontFace;   // empty without a FONT statement
    int fontSize = 0;       // points
    int fontWeight = 0;
    bool fontItalic = false;
    std::vector<DialogControl> controls;  // in template order (the tab and group order)
    int line = 0;
};

// Parses a DIALOG or DIALOGEX block after its name and type word ("2076 DIALOG"): the header
// numbers, the options up to BEGIN and the control statements up to END. false with a message
// (with the line) in `error` when it does not parse; names of constants must be known ones.
bool parseDialog(Tokenizer& tk, const Token& type, DialogTemplate& out, std::string& error);

// ---- Icons: small images of our own, written in the script as rows of colour letters:
//   QORHAPPY ICON
//   BEGIN
//       "....kkkkkkk....."
//       ...
//   END
// Every row has the same length (at most 64, and at most 64 rows). Letters: '.' or ' '
// transparent, k black, w white, d dark grey, l light grey, r red, R dark red, g green,
// G dark green, b blue, B dark blue, y yellow, Y olive, o orange, c cyan, m magenta.
// An icon is named by its word (looked up without regard to case) or by "#number".
struct IconImage {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;  // row by row, 0 = transparent
};

class Module {
public:
    // Parses resource-script text; false with a message in `error` when it does not parse.
    bool parse(const std::string& script, std::string& error);
    // The text with that number, or nullptr.
    const std::string* text(uint16_t number) const;
    std::size_t textCount() const { return texts_.size(); }
    const std::map<uint16_t, std::string>& texts() const { return texts_; }
    // The dialog template with that number, or nullptr.
    const DialogTemplate* dialog(uint16_t number) const;
    const std::map<uint16_t, DialogTemplate>& dialogs() const { return dialogs_; }
    // The icon of that name, or nullptr.
    const IconImage* icon(const std::string& name) const;

private:
    std::map<std::string, IconImage> icons_;
    std::map<uint16_t, std::string> texts_;
    std::map<uint16_t, DialogTemplate> dialogs_;
};

// The module in use: QORLANG_PATH when it is set, else the built-in script. Loaded once;
// nullptr with `error` set when the file cannot be read or parsed.
const Module* current(std::string* error = nullptr);
// Forget the loaded module (the next current() loads again).
void reset();
// The built-in script (the text of qorlang.rc).
const char* builtinScript();

}  // namespace qorlang
