// QORLANG: the parser of dialog templates (DIALOG and DIALOGEX blocks of the resource script).
//
//   2076 DIALOG 20, 20, 220, 120
//   STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
//   CAPTION "Calling card"
//   FONT 8, "MS Sans Serif"
//   BEGIN
//       LTEXT "&First text:", -1, 8, 10, 60, 8
//       EDITTEXT 101, 70, 8, 110, 12, ES_AUTOHSCROLL
//       CONTROL "Before", 102, "Button", BS_RADIOBUTTON | WS_GROUP, 8, 30, 60, 10
//   END
//
// Numbers are expressions of numbers and known constant names with + - * / ~ ( ) and, in
// styles, "|" and "NOT name" (which removes the bits from the statement's default style, as the
// resource compiler does). The #define lines of a header are dropped by the tokenizer, so
// constants are the Win32 names listed here; an unknown name is an error, not a silent zero.
#include <cstdint>
#include <map>
#include <string>

#include "qorlang.h"

namespace qorlang {

namespace {

const std::map<std::string, long>& constants() {
    static const std::map<std::string, long> c = {
        // identifiers
        {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5}, {"IDYES", 6},
        {"IDNO", 7}, {"IDCLOSE", 8}, {"IDHELP", 9}, {"IDC_STATIC", -1},
        // window styles
        {"WS_OVERLAPPED", 0}, {"WS_TABSTOP", 0x00010000L}, {"WS_GROUP", 0x00020000L},
        {"WS_MAXIMIZEBOX", 0x00010000L}, {"WS_MINIMIZEBOX", 0x00020000L}, {"WS_THICKFRAME", 0x00040000L},
        {"WS_SIZEBOX", 0x00040000L}, {"WS_SYSMENU", 0x00080000L}, {"WS_HSCROLL", 0x00100000L},
        {"WS_VSCROLL", 0x00200000L}, {"WS_DLGFRAME", 0x00400000L}, {"WS_BORDER", 0x00800000L},
        {"WS_CAPTION", 0x00C00000L}, {"WS_MAXIMIZE", 0x01000000L}, {"WS_CLIPCHILDREN", 0x02000000L},
        {"WS_CLIPSIBLINGS", 0x04000000L}, {"WS_DISABLED", 0x08000000L}, {"WS_VISIBLE", 0x10000000L},
        {"WS_MINIMIZE", 0x20000000L}, {"WS_CHILD", 0x40000000L}, {"WS_CHILDWINDOW", 0x40000000L},
        {"WS_POPUP", 0x80000000L}, {"WS_POPUPWINDOW", 0x80880000L}, {"WS_OVERLAPPEDWINDOW", 0x00CF0000L},
        {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_NOPARENTNOTIFY", 0x4}, {"WS_EX_TOPMOST", 0x8},
        {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_TOOLWINDOW", 0x80}, {"WS_EX_WINDOWEDGE", 0x100},
        {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_CONTEXTHELP", 0x400}, {"WS_EX_CONTROLPARENT", 0x10000L},
        {"WS_EX_STATICEDGE", 0x20000L}, {"WS_EX_APPWINDOW", 0x40000L},
        // dialog styles
        {"DS_ABSALIGN", 0x01}, {"DS_SYSMODAL", 0x02}, {"DS_3DLOOK", 0x04}, {"DS_FIXEDSYS", 0x08},
        {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80},
        {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200}, {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800},
        {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
        // edit
        {"ES_LEFT", 0}, {"ES_CENTER", 1}, {"ES_RIGHT", 2}, {"ES_MULTILINE", 4}, {"ES_UPPERCASE", 8},
        {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20}, {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80},
        {"ES_NOHIDESEL", 0x100}, {"ES_OEMCONVERT", 0x400}, {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000},
        {"ES_NUMBER", 0x2000},
        // buttons
        {"BS_PUSHBUTTON", 0}, {"BS_DEFPUSHBUTTON", 1}, {"BS_CHECKBOX", 2}, {"BS_AUTOCHECKBOX", 3},
        {"BS_RADIOBUTTON", 4}, {"BS_3STATE", 5}, {"BS_AUTO3STATE", 6}, {"BS_GROUPBOX", 7}, {"BS_USERBUTTON", 8},
        {"BS_AUTORADIOBUTTON", 9}, {"BS_PUSHBOX", 0xA}, {"BS_OWNERDRAW", 0xB}, {"BS_LEFTTEXT", 0x20},
        {"BS_TEXT", 0}, {"BS_ICON", 0x40}, {"BS_BITMAP", 0x80}, {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200},
        {"BS_CENTER", 0x300}, {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00},
        {"BS_PUSHLIKE", 0x1000}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
        // statics
        {"SS_LEFT", 0}, {"SS_CENTER", 1}, {"SS_RIGHT", 2}, {"SS_ICON", 3}, {"SS_BLACKRECT", 4},
        {"SS_GRAYRECT", 5}, {"SS_WHITERECT", 6}, {"SS_BLACKFRAME", 7}, {"SS_GRAYFRAME", 8},
        {"SS_WHITEFRAME", 9}, {"SS_SIMPLE", 0xB}, {"SS_LEFTNOWORDWRAP", 0xC}, {"SS_OWNERDRAW", 0xD},
        {"SS_BITMAP", 0xE}, {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11}, {"SS_ETCHEDFRAME", 0x12},
        {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200}, {"SS_SUNKEN", 0x1000},
        // list boxes
        {"LBS_NOTIFY", 1}, {"LBS_SORT", 2}, {"LBS_NOREDRAW", 4}, {"LBS_MULTIPLESEL", 8},
        {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_OWNERDRAWVARIABLE", 0x20}, {"LBS_HASSTRINGS", 0x40},
        {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100}, {"LBS_MULTICOLUMN", 0x200},
        {"LBS_WANTKEYBOARDINPUT", 0x400}, {"LBS_EXTENDEDSEL", 0x800}, {"LBS_DISABLENOSCROLL", 0x1000},
        {"LBS_NODATA", 0x2000}, {"LBS_NOSEL", 0x4000}, {"LBS_STANDARD", 0x00A00003L},
        // combo boxes
        {"CBS_SIMPLE", 1}, {"CBS_DROPDOWN", 2}, {"CBS_DROPDOWNLIST", 3}, {"CBS_OWNERDRAWFIXED", 0x10},
        {"CBS_OWNERDRAWVARIABLE", 0x20}, {"CBS_AUTOHSCROLL", 0x40}, {"CBS_OEMCONVERT", 0x80},
        {"CBS_SORT", 0x100}, {"CBS_HASSTRINGS", 0x200}, {"CBS_NOINTEGRALHEIGHT", 0x400},
        {"CBS_DISABLENOSCROLL", 0x800}, {"CBS_UPPERCASE", 0x2000}, {"CBS_LOWERCASE", 0x4000},
        // scroll bars
        {"SBS_HORZ", 0}, {"SBS_VERT", 1},
    };
    return c;
}

bool isPunct(const Token& t, const char* p) { return t.kind == Token::Punct && t.text == p; }

// A small expression parser over the tokens: | (styles only), + -, * /, unary - ~ and NOT.
class Expr {
public:
    Expr(Tokenizer& tk, std::string& error) : tk_(tk), error_(error) {}

    // A number expression (coordinates, ids, sizes).
    bool number(long& out) { return additive(out); }

    // A style: terms joined by '|'; "NOT term" collects bits to remove.
    bool style(long& set, long& removed) {
        set = 0;
        removed = 0;
        for (;;) {
            bool negate = false;
            if (tk_.peek().kind == Token::Word && tk_.peek().text == "NOT") {
                tk_.next();
                negate = true;
            }
            long v = 0;
            if (!additive(v)) return false;
            if (negate)
                removed |= v;
            else
                set |= v;
            if (!isPunct(tk_.peek(), "|")) return true;
            tk_.next();
        }
    }

private:
    bool additive(long& out) {
        if (!multiplicative(out)) return false;
        while (isPunct(tk_.peek(), "+") || isPunct(tk_.peek(), "-")) {
            bool plus = tk_.next().text == "+";
            long v = 0;
            if (!multiplicative(v)) return false;
            out = plus ? out + v : out - v;
        }
        return true;
    }
    bool multiplicative(long& out) {
        if (!unary(out)) return false;
        while (isPunct(tk_.peek(), "*") || isPunct(tk_.peek(), "/")) {
            Token op = tk_.next();
            long v = 0;
            if (!unary(v)) return false;
            if (op.text == "*") {
                out *= v;
            } else {
                if (v == 0) {
                    error_ = op.where() + "division by zero";
                    return false;
                }
                out /= v;
            }
        }
        return true;
    }
    bool unary(long& out) {
        const Token& p = tk_.peek();
        if (isPunct(p, "-") || isPunct(p, "~")) {
            bool minus = tk_.next().text == "-";
            if (!unary(out)) return false;
            out = minus ? -out : ~out;
            return true;
        }
        if (isPunct(p, "(")) {
            tk_.next();
            long set = 0, removed = 0;
            if (!style(set, removed)) return false;
            out = set & ~removed;
            Token close = tk_.next();
            if (!isPunct(close, ")")) {
                error_ = close.where() + "')' expected, found " + close.describe();
                return false;
            }
            return true;
        }
        Token t = tk_.next();
        if (t.kind == Token::Number) {
            out = t.value;
            return true;
        }
        if (t.kind == Token::Word) {
            auto it = constants().find(t.text);
            if (it == constants().end()) {
                error_ = t.where() + "unknown name " + t.text;
                return false;
            }
            out = it->second;
            return true;
        }
        error_ = t.where() + "a number expected, found " + t.describe();
        return false;
    }

    Tokenizer& tk_;
    std::string& error_;
};

bool comma(Tokenizer& tk, std::string& error, const char* what) {
    Token t = tk.next();
    if (isPunct(t, ",")) return true;
    error = t.where() + "',' expected before " + what + ", found " + t.describe();
    return false;
}

bool optionalComma(Tokenizer& tk) {
    if (!isPunct(tk.peek(), ",")) return false;
    tk.next();
    return true;
}

// Passes over a BEGIN ... END data block whose BEGIN was just taken.
bool skipData(Tokenizer& tk, std::string& error) {
    int depth = 1;
    for (;;) {
        Token t = tk.next();
        if (t.kind == Token::End || t.kind == Token::Bad) {
            error = t.where() + (t.kind == Token::Bad ? t.text : "END missing");
            return false;
        }
        if (isBegin(t)) ++depth;
        if (isEnd(t) && --depth == 0) return true;
    }
}

struct Statement {
    const char* className;
    uint32_t style;  // the default style, before WS_CHILD | WS_VISIBLE
    bool hasText;
};

const std::map<std::string, Statement>& statements() {
    constexpr uint32_t tab = 0x00010000, group = 0x00020000, border = 0x00800000;
    static const std::map<std::string, Statement> s = {
        {"LTEXT", {"Static", 0x0 | group, true}},
        {"RTEXT", {"Static", 0x2 | group, true}},
        {"CTEXT", {"Static", 0x1 | group, true}},
        {"ICON", {"Static", 0x3, true}},
        {"PUSHBUTTON", {"Button", 0x0 | tab, true}},
        {"DEFPUSHBUTTON", {"Button", 0x1 | tab, true}},
        {"PUSHBOX", {"Button", 0xA | tab, true}},
        {"CHECKBOX", {"Button", 0x2 | tab, true}},
        {"AUTOCHECKBOX", {"Button", 0x3 | tab, true}},
        {"RADIOBUTTON", {"Button", 0x4, true}},
        {"AUTORADIOBUTTON", {"Button", 0x9, true}},
        {"STATE3", {"Button", 0x5 | tab, true}},
        {"AUTO3STATE", {"Button", 0x6 | tab, true}},
        {"GROUPBOX", {"Button", 0x7, true}},
        {"EDITTEXT", {"Edit", 0x0 | border | tab, false}},
        {"LISTBOX", {"ListBox", 0x1 | border, false}},
        {"COMBOBOX", {"ComboBox", 0x1 | tab, false}},
        {"SCROLLBAR", {"ScrollBar", 0x0, false}},
    };
    return s;
}

// The class of a CONTROL statement, with the standard classes spelled one way.
std::string canonicalClass(const std::string& name) {
    static const char* known[] = {"Button", "Edit", "Static", "ListBox", "ComboBox", "ScrollBar"};
    for (const char* k : known) {
        std::string a = name, b = k;
        if (a.size() != b.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < a.size() && same; ++i)
            same = (a[i] | 0x20) == (b[i] | 0x20);
        if (same) return k;
    }
    return name;
}

constexpr uint32_t kChildVisible = 0x40000000 | 0x10000000;

bool parseControl(Tokenizer& tk, const Token& word, bool extended, DialogControl& c, std::string& error) {
    Expr expr(tk, error);
    c.statement = word.text;
    c.line = word.line;
    uint32_t defaults = 0;
    const bool isControl = word.text == "CONTROL";
    bool hasText = true;
    if (!isControl) {
        auto it = statements().find(word.text);
        if (it == statements().end()) {
            error = word.where() + "unknown control statement " + word.text;
            return false;
        }
        c.className = it->second.className;
        defaults = it->second.style;
        hasText = it->second.hasText;
    }
    if (hasText) {
        Token t = tk.next();
        if (t.kind == Token::String) {
            c.text = t.text;
            while (tk.peek().kind == Token::String) c.text += tk.next().text;
        } else if (t.kind == Token::Number || t.kind == Token::Word) {
            c.text = t.text;  // an icon or bitmap resource named by number or name
        } else {
            error = t.where() + word.text + ": text expected, found " + t.describe();
            return false;
        }
        if (!comma(tk, error, "the control id")) return false;
    }
    long id = 0;
    if (!expr.number(id)) return false;
    c.id = static_cast<int>(id);
    long set = 0, removed = 0;
    if (isControl) {
        if (!comma(tk, error, "the class")) return false;
        Token cls = tk.next();
        if (cls.kind != Token::String && cls.kind != Token::Word) {
            error = cls.where() + "CONTROL: class expected, found " + cls.describe();
            return false;
        }
        c.className = canonicalClass(cls.text);
        if (!comma(tk, error, "the style")) return false;
        if (!expr.style(set, removed)) return false;
    }
    long r[4] = {};
    for (long& v : r) {
        if (!comma(tk, error, "a coordinate")) return false;
        if (!expr.number(v)) return false;
    }
    c.x = static_cast<int>(r[0]);
    c.y = static_cast<int>(r[1]);
    c.cx = static_cast<int>(r[2]);
    c.cy = static_cast<int>(r[3]);
    if (!isControl && optionalComma(tk)) {
        if (!expr.style(set, removed)) return false;
    }
    long ex = 0, exRemoved = 0;
    if (optionalComma(tk)) {
        if (!expr.style(ex, exRemoved)) return false;
        if (extended && optionalComma(tk)) {  // the help id of DIALOGEX controls
            long help = 0;
            if (!expr.number(help)) return false;
        }
    }
    // A type given in the style replaces the statement's default type ("COMBOBOX ..., CBS_DROPDOWN"
    // is a drop-down combo box, not CBS_SIMPLE | CBS_DROPDOWN).
    if (c.className == "ComboBox" && (set & 3)) defaults &= ~3u;
    if (c.className == "Button" && !isControl && (set & 0xF)) defaults &= ~0xFu;
    c.style = static_cast<uint32_t>((defaults | static_cast<uint32_t>(set) | kChildVisible) &
                                    ~static_cast<uint32_t>(removed));
    c.exStyle = static_cast<uint32_t>(ex & ~exRemoved);
    if (extended && isBegin(tk.peek())) {  // control data of DIALOGEX
        tk.next();
        if (!skipData(tk, error)) return false;
    }
    return true;
}

}  // namespace

bool parseDialog(Tokenizer& tk, const Token& type, DialogTemplate& out, std::string& error) {
    Expr expr(tk, error);
    out.extended = type.text == "DIALOGEX";
    // Memory options of old scripts (DISCARDABLE, MOVEABLE, ...) carry nothing.
    static const char* memory[] = {"DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD", "LOADONCALL"};
    while (tk.peek().kind == Token::Word) {
        bool skipped = false;
        for (const char* m : memory)
            if (tk.peek().text == m) skipped = true;
        if (!skipped) break;
        tk.next();
    }
    long r[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && !comma(tk, error, "a dialog coordinate")) return false;
        if (!expr.number(r[i])) return false;
    }
    out.x = static_cast<int>(r[0]);
    out.y = static_cast<int>(r[1]);
    out.cx = static_cast<int>(r[2]);
    out.cy = static_cast<int>(r[3]);
    if (out.extended && optionalComma(tk)) {
        long help = 0;
        if (!expr.number(help)) return false;
    }
    // Without STYLE a dialog is a bordered popup with a system menu (the resource compiler's default).
    uint32_t style = 0x80000000 | 0x00800000 | 0x00080000;
    uint32_t extra = 0;
    for (;;) {
        Token t = tk.next();
        if (isBegin(t)) break;
        if (t.kind != Token::Word) {
            error = t.where() + type.text + ": BEGIN expected, found " + t.describe();
            return false;
        }
        if (t.text == "STYLE") {
            long set = 0, removed = 0;
            if (!expr.style(set, removed)) return false;
            style = static_cast<uint32_t>(set & ~removed);
        } else if (t.text == "EXSTYLE") {
            long set = 0, removed = 0;
            if (!expr.style(set, removed)) return false;
            out.exStyle = static_cast<uint32_t>(set & ~removed);
        } else if (t.text == "CAPTION") {
            Token s = tk.next();
            if (s.kind != Token::String) {
                error = s.where() + "CAPTION: text expected, found " + s.describe();
                return false;
            }
            out.caption = s.text;
            extra |= 0x00C00000;  // WS_CAPTION
        } else if (t.text == "FONT") {
            long size = 0;
            if (!expr.number(size)) return false;
            if (!comma(tk, error, "the font face")) return false;
            Token face = tk.next();
            if (face.kind != Token::String) {
                error = face.where() + "FONT: face expected, found " + face.describe();
                return false;
            }
            out.fontSize = static_cast<int>(size);
            out.fontFace = face.text;
            if (optionalComma(tk)) {
                long weight = 0, italic = 0, charset = 0;
                if (!expr.number(weight)) return false;
                out.fontWeight = static_cast<int>(weight);
                if (optionalComma(tk)) {
                    if (!expr.number(italic)) return false;
                    out.fontItalic = italic != 0;
                    if (optionalComma(tk) && !expr.number(charset)) return false;
                }
            }
            extra |= 0x40;  // DS_SETFONT
        } else if (t.text == "LANGUAGE") {
            long a = 0, b = 0;
            if (!expr.number(a) || !comma(tk, error, "the sublanguage") || !expr.number(b)) return false;
        } else if (t.text == "CHARACTERISTICS" || t.text == "VERSION") {
            long v = 0;
            if (!expr.number(v)) return false;
        } else if (t.text == "MENU" || t.text == "CLASS") {
            Token name = tk.next();
            if (name.kind != Token::Word && name.kind != Token::Number && name.kind != Token::String) {
                error = name.where() + t.text + ": name expected, found " + name.describe();
                return false;
            }
        } else {
            error = t.where() + type.text + ": unknown option " + t.text;
            return false;
        }
    }
    out.style = style | extra;
    for (;;) {
        Token t = tk.next();
        if (isEnd(t)) return true;
        if (t.kind != Token::Word) {
            error = t.where() + type.text + ": control statement expected, found " + t.describe();
            return false;
        }
        DialogControl c;
        if (!parseControl(tk, t, out.extended, c, error)) return false;
        out.controls.push_back(std::move(c));
    }
}

}  // namespace qorlang
