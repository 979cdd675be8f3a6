// The banded text report writer: reading a layout, paging rows, filling fields.
//
// Layout language. Every word is a language text, compared without regard to case:
//   keys    2350 line width, 2351 page length, 2352 header lines, 2353 footer lines,
//           2354 body lines, 2355 first page, 2356 output file, 2363 group column,
//           2364 blank repeats, 2365 no form feed, 2367 no fill, 2368 font
//   blocks  2357 header, 2358 footer, 2359 body
//   fields  2360 page, 2361 time, 2362 date, 2366 running text
//   styles  2310 bold, 2311 italic, 2312 underline (inside the font entry)
// A section is "[name]"; key lines "key=value" (";" starts a comment) come first, then blocks
// "(word)" each followed by its template lines. A field "<name>" is as wide as written,
// brackets included; "<<" and ">>" print as the bracket and a blank.
//
// Paging. A page begins with the header (when it holds fields), takes rows while the next row
// fits, and ends with blank fill lines up to the page length less the footer, the footer (when
// it holds fields) and a line holding a form feed. Lines on the page count the header too, so
// that the footer of a page with a header lands where it does on a page without one.
#include "report/report.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/frame.h"

namespace qorsf {

namespace {

// ---- The word table (module state), loaded at every open.
enum Word {
    W_WIDTH, W_LENGTH, W_HEADERLINES, W_FOOTERLINES, W_BODYLINES, W_FIRSTPAGE, W_OUTPUT,  // 2350..2356
    W_HEADER, W_FOOTER, W_BODY,                                                         // 2357..2359
    W_PAGE, W_TIME, W_DATE,                                                             // 2360..2362
    W_GROUPCOLUMN, W_BLANKREPEATS, W_NOFORMFEED,                                        // 2363..2365
    W_RUNNING,                                                                          // 2366
    W_NOFILL, W_FONT,                                                                   // 2367, 2368
    W_COUNT
};
enum Style { S_BOLD, S_ITALIC, S_UNDERLINE, S_COUNT };
constexpr std::size_t kMaxWord = 19;

struct ModuleState {
    std::array<std::string, W_COUNT> words;
    std::array<std::string, S_COUNT> styles;
    bool loaded = false;
};
ModuleState& module() {
    static ModuleState m;
    return m;
}

int16_t loadWords(uint32_t host) {
    ModuleState& m = module();
    m = ModuleState{};
    char buf[256];
    for (int i = 0; i < W_COUNT; ++i) {
        if (int16_t st = UL_loadstring(host, buf, kLangModule, static_cast<uint16_t>(2350 + i))) return st;
        if (std::strlen(buf) > kMaxWord) {
            UL_tracevalue(host, "SF_rptopen word", static_cast<int16_t>(2350 + i));
            return SF_WRONGSTATE;
        }
        m.words[i] = buf;
    }
    for (int i = 0; i < S_COUNT; ++i) {
        if (int16_t st = UL_loadstring(host, buf, kLangModule, static_cast<uint16_t>(2310 + i))) return st;
        if (std::strlen(buf) > kMaxWord) {
            UL_tracevalue(host, "SF_rptopen word", static_cast<int16_t>(2310 + i));
            return SF_WRONGSTATE;
        }
        m.styles[i] = buf;
    }
    m.loaded = true;
    return 0;
}

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The word a text names, or -1. An empty word (a translation that left one out) names nothing.
int findWord(const std::string& text) {
    const ModuleState& m = module();
    for (int i = 0; i < W_COUNT; ++i)
        if (!m.words[i].empty() && sameText(m.words[i], text)) return i;
    return -1;
}

bool containsText(const std::string& hay, const std::string& needle) {
    if (needle.empty()) return false;
    auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != hay.end();
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool isBlank(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

bool isControl(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Leading decimal digits after optional blanks and a sign, held to the 16-bit range.
int16_t number(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min(v * 10 + (s[i] - '0'), 100000L);
    if (negative) v = -v;
    return static_cast<int16_t>(std::clamp(v, -32768L, 32767L));
}

// A template line as it will print: tabs expanded to the next multiple of 8, other control
// characters as blanks, trailing blanks dropped (they never print).
std::string templateText(const char* raw) {
    std::string out;
    for (const char* p = raw; *p; ++p) {
        if (*p == '\t') {
            out.append(8 - out.size() % 8, ' ');
        } else {
            out += isControl(*p) ? ' ' : *p;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

// ---- The layout of an open report.
struct Field {
    int16_t kind;    // value kind (0 running text, 1 page, 2 date, 3 time, n + 7 column n)
    int16_t line;    // line in the block, from 0
    int16_t column;  // first character, from 0
    int16_t width;   // brackets included
};

struct Block {
    bool seen = false;
    int16_t declared = 0;              // lines of the block (from its key)
    std::vector<std::string> lines;    // template lines with "<<" and ">>" resolved
    std::vector<std::vector<Field>> perLine;
    int16_t fieldCount = 0;
    int16_t runningLine = -1;          // the line that holds the running text field
};

struct RptLayoutData {
    enum { HEADER, FOOTER, BODY };
    Block blocks[3];
    RptValues values;
    const char* running = nullptr;     // the running text of the row being written
    int16_t runningLines = 0;
    int16_t maxColumn = 0;
    std::string font;                  // the font entry, empty = none
};

namespace {

// ---- Reading a layout

class LayoutFile {
public:
    ~LayoutFile() {
        if (file_) UL_fclose(host_, file_);
    }
    int16_t open(uint32_t host, const char* path) {
        host_ = host;
        return UL_fopenread(host, path, 1, &file_);
    }
    // The next line without its line end; false at the end of the file.
    bool next(std::string& line) {
        char buf[256];
        if (UT_readline(buf, sizeof buf, file_) != 0) return false;
        line = buf;
        while (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }

private:
    uint32_t host_ = 0;
    uint32_t file_ = 0;
};

bool isSectionLine(const std::string& line) { return !line.empty() && line[0] == '['; }

bool sectionMatches(const std::string& line, const std::string& name) {
    return isSectionLine(line) && containsText(line, "[" + name + "]");
}

struct KeyValues {
    bool has[W_COUNT] = {};
    int16_t value[W_COUNT] = {};
    std::string text[W_COUNT];
};

int16_t readKey(const std::string& rawLine, KeyValues& keys) {
    std::string line = rawLine.substr(0, rawLine.find(';'));
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) return 0;
    int w = findWord(trim(line.substr(0, eq)));
    if (w < 0) return 0;
    switch (w) {
        case W_HEADER: case W_FOOTER: case W_BODY:
        case W_PAGE: case W_TIME: case W_DATE: case W_RUNNING:
            return SF_TOOMANYDOCS;  // a block or field word used as a key
        default: break;
    }
    std::string value = trim(line.substr(eq + 1));
    keys.has[w] = true;
    keys.value[w] = number(value);
    if (w == W_OUTPUT) std::replace(value.begin(), value.end(), '\t', ' ');
    keys.text[w] = value;
    return 0;
}

// Compiles the fields of one template line, resolving "<<" and ">>" in place.
int16_t compileLine(Block& block, int blockIndex, int16_t lineIndex, bool& runningSeen, int16_t& maxColumn) {
    std::string& s = block.lines[static_cast<std::size_t>(lineIndex)];
    std::vector<Field>& fields = block.perLine[static_cast<std::size_t>(lineIndex)];
    std::size_t start = std::string::npos;  // the "<" of the field being read
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (start == std::string::npos) {
            if ((c == '<' || c == '>') && i + 1 < s.size() && s[i + 1] == c) {
                s[i + 1] = ' ';
                ++i;
                continue;
            }
            if (c == '>') return RPT_E_CLOSEFIRST;
            if (c == '<') start = i;
            continue;
        }
        if (c == '<') return RPT_E_NESTED;
        if (c != '>') continue;
        std::size_t width = i - start + 1;
        if (width > static_cast<std::size_t>(kRptMaxValue)) return RPT_E_FIELDWIDE;
        std::string name = trim(s.substr(start + 1, i - start - 1));
        int16_t kind = -1;
        switch (findWord(name)) {
            case W_PAGE: kind = RPT_V_PAGE; break;
            case W_DATE: kind = RPT_V_DATE; break;
            case W_TIME: kind = RPT_V_TIME; break;
            case W_RUNNING: kind = RPT_V_RUNNING; break;
            default:
                if (!name.empty() && name.size() <= 4 &&
                    name.find_first_not_of("0123456789") == std::string::npos) {
                    int n = std::stoi(name);
                    if (n >= 1 && n <= kRptMaxColumn) {
                        kind = static_cast<int16_t>(RPT_V_COLUMN0 + n);
                        maxColumn = std::max<int16_t>(maxColumn, static_cast<int16_t>(n));
                    }
                }
        }
        if (kind < 0) return RPT_E_FIELDNAME;
        if (kind == RPT_V_RUNNING) {
            if (blockIndex != RptLayoutData::BODY || runningSeen) return RPT_E_RUNNING;
            runningSeen = true;
            block.runningLine = lineIndex;
        }
        fields.push_back({kind, lineIndex, static_cast<int16_t>(start), static_cast<int16_t>(width)});
        ++block.fieldCount;
        start = std::string::npos;
    }
    return start == std::string::npos ? int16_t{0} : int16_t{RPT_E_UNCLOSED};
}

int16_t makeFonts(uint32_t host, RPT_CONTEXT* ctx, const std::string& entry) {
    const ModuleState& m = module();
    std::string parts[3];
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t comma = i < 2 ? entry.find(',', pos) : std::string::npos;
        parts[i] = trim(entry.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    int size = number(parts[1]);
    if (size < 1) size = 12;
    size = std::min(size, 400);  // a size beyond any page
    const std::string& style = parts[2];
    int16_t weight = containsText(style, m.styles[S_BOLD]) ? 700 : 400;
    uint16_t flags = UT_FONT_DEFAULT;
    if (containsText(style, m.styles[S_ITALIC])) flags |= UT_FONT_ITALIC;
    if (containsText(style, m.styles[S_UNDERLINE])) flags |= UT_FONT_UNDERLINE;
    // The host's window is drawn at 96 dots per inch; the fax pages at 200 and 100.
    const int screenDpi = 96;
    auto height = [size](int dpi) { return static_cast<int16_t>((dpi * size + 36) / 72); };
    const char* face = parts[0].c_str();
    if (int16_t st = UT_makefont(host, face, height(screenDpi), 0, weight, flags, &ctx->fonts[0])) return st;
    if (int16_t st = UT_makefont(host, face, height(200), 0, weight, flags, &ctx->fonts[1])) return st;
    // The 100-dpi font keeps the character width of the 200-dpi one, so that a line set for a
    // fine page keeps its length on a standard page. The average width of a character is half
    // its height.
    int16_t width200 = static_cast<int16_t>((height(200) + 1) / 2);
    return UT_makefont(host, face, height(100), width200, weight, flags, &ctx->fonts[2]);
}

int16_t readLayout(uint32_t host, const char* layoutName, RPT_CONTEXT* ctx) {
    char path[UL_MAXPATH];
    int16_t exists = 0;
    if (int16_t st = rpt_layoutpath(host, path, sizeof path)) return st;
    UL_fileexists(path, &exists);
    if (!exists) {
        // A profile without a layout file gets the default one, and the path is built again.
        rpt_installdefault(host);
        if (int16_t st = rpt_layoutpath(host, path, sizeof path)) return st;
        UL_fileexists(path, &exists);
    }
    if (!exists) {
        UL_reporterror(host, RPT_E_NOFILE, path);
        return RPT_E_NOFILE;
    }
    LayoutFile file;
    if (int16_t st = file.open(host, path)) return st;

    std::string name = layoutName && *layoutName ? layoutName : "DEFAULT";
    std::string line;
    bool found = false;
    while (file.next(line)) {
        if (sectionMatches(line, name)) {
            found = true;
            break;
        }
    }
    if (!found) {
        UL_reporterror(host, RPT_E_NOSECTION, name.c_str());
        return RPT_E_NOSECTION;
    }
    ctx->mode = 0;

    auto data = std::make_unique<RptLayoutData>();
    KeyValues keys;
    bool more = file.next(line);
    while (more && !isSectionLine(line) && (line.empty() || line[0] != '(')) {
        if (int16_t st = readKey(line, keys)) return st;
        more = file.next(line);
    }
    int16_t width = keys.has[W_WIDTH] ? keys.value[W_WIDTH] : 0;
    if (width < 0 || width > 80) return RPT_E_WIDTH;
    ctx->lineWidth = width == 0 ? 80 : width;
    int16_t length = keys.has[W_LENGTH] ? keys.value[W_LENGTH] : 55;
    if (length < 0) return RPT_E_LENGTH;
    ctx->pageLength = length == 0 ? 60 : length;
    ctx->headerLines = keys.value[W_HEADERLINES];
    if (ctx->headerLines < 0 || ctx->headerLines > 10) return RPT_E_HEADERLINES;
    ctx->footerLines = keys.value[W_FOOTERLINES];
    if (ctx->footerLines < 0 || ctx->footerLines > 10) return RPT_E_FOOTERLINES;
    ctx->firstPage = keys.has[W_FIRSTPAGE] ? keys.value[W_FIRSTPAGE] : 1;
    if (ctx->firstPage < 0) return RPT_E_FIRSTPAGE;
    // A negative body line count would reserve a negative block: refused like a body block
    // that does not match its count.
    ctx->bodyLines = keys.value[W_BODYLINES];
    if (ctx->bodyLines < 0) return RPT_E_BODYMORE;
    int16_t group = keys.value[W_GROUPCOLUMN];
    ctx->groupColumn = group >= 1 && group <= kRptMaxColumn ? static_cast<int16_t>(group + RPT_V_COLUMN0) : 0;
    ctx->blankRepeats = keys.value[W_BLANKREPEATS] != 0;
    ctx->noFormFeed = keys.value[W_NOFORMFEED] != 0;
    ctx->noFill = keys.value[W_NOFILL] != 0;
    UL_strcopy(ctx->layoutOutput, keys.text[W_OUTPUT].c_str());
    data->font = keys.text[W_FONT];

    const int16_t declared[3] = {ctx->headerLines, ctx->footerLines, ctx->bodyLines};
    for (int b = 0; b < 3; ++b) {
        Block& block = data->blocks[b];
        block.declared = declared[b];
        block.lines.assign(static_cast<std::size_t>(declared[b]), std::string());
        for (auto& l : block.lines) l.reserve(static_cast<std::size_t>(ctx->lineWidth) + 1);
        block.perLine.assign(static_cast<std::size_t>(declared[b]), {});
    }

    // The blocks, up to the next section or the end of the file.
    const int16_t second[3] = {RPT_E_HEADER2, RPT_E_FOOTER2, RPT_E_BODY2};
    const int16_t tooMany[3] = {RPT_E_HEADERMORE, RPT_E_FOOTERMORE, RPT_E_BODYMORE};
    int current = -1;
    int16_t filled = 0;
    for (; more && !isSectionLine(line); more = file.next(line)) {
        if (!line.empty() && line[0] == '(') {
            std::size_t close = line.find(')');
            if (close == std::string::npos) return RPT_E_BLOCKLINE;
            int w = findWord(trim(line.substr(1, close - 1)));
            int b = w == W_HEADER ? RptLayoutData::HEADER
                  : w == W_FOOTER ? RptLayoutData::FOOTER
                  : w == W_BODY   ? RptLayoutData::BODY
                                  : -1;
            if (b < 0) return RPT_E_BLOCKWORD;
            if (data->blocks[b].seen) return second[b];
            data->blocks[b].seen = true;
            current = b;
            filled = 0;
            continue;
        }
        if (current < 0) continue;
        Block& block = data->blocks[current];
        std::string text = templateText(line.c_str());
        if (filled >= block.declared) {
            if (!isBlank(text)) return tooMany[current];
            continue;
        }
        if (text.size() > static_cast<std::size_t>(ctx->lineWidth)) return RPT_E_LINEWIDE;
        block.lines[static_cast<std::size_t>(filled++)] = text;
    }

    bool runningSeen = false;
    for (int b = 0; b < 3; ++b) {
        Block& block = data->blocks[b];
        for (int16_t l = 0; l < block.declared; ++l)
            if (int16_t st = compileLine(block, b, l, runningSeen, data->maxColumn)) return st;
    }
    ctx->headerFields = data->blocks[RptLayoutData::HEADER].fieldCount;
    ctx->footerFields = data->blocks[RptLayoutData::FOOTER].fieldCount;
    ctx->bodyFields = data->blocks[RptLayoutData::BODY].fieldCount;

    if (!data->font.empty())
        if (int16_t st = makeFonts(host, ctx, data->font)) return st;
    ctx->data = data.release();
    return 0;
}

// ---- Writing

int16_t put(uint32_t host, RPT_CONTEXT* ctx, const std::string& line) {
    return UL_fputline(host, ctx->file, line.c_str());
}

void addLines(RPT_CONTEXT* ctx, int n) {
    ctx->linesOnPage = static_cast<int16_t>(std::min(ctx->linesOnPage + n, 32767));
}

// The next piece of a running text, at most `room` characters: it ends at a line feed (which
// is taken), when the room is full, or at the end of the text. Tabs expand with blanks to the
// next multiple of 8, carriage returns are dropped, other control characters print as blanks.
// A character that does not fit begins the next piece, so no character is ever lost.
std::string nextPiece(const char*& p, std::size_t room) {
    std::string out;
    while (*p) {
        char c = *p;
        if (c == '\n') {
            ++p;
            return out;
        }
        if (c == '\r') {
            ++p;
            continue;
        }
        if (out.size() >= room) break;
        if (c == '\t') {
            std::size_t n = 8 - out.size() % 8;
            if (out.size() + n > room) {
                if (!out.empty()) break;
                n = room;  // a tab wider than the whole field
            }
            out.append(n, ' ');
        } else {
            out += isControl(c) ? ' ' : c;
        }
        ++p;
    }
    // A full piece followed by its line end: the line end belongs to this piece.
    const char* q = p;
    while (*q == '\r') ++q;
    if (*q == '\n') p = q + 1;
    return out;
}

int16_t writeBlock(uint32_t host, RPT_CONTEXT* ctx, const Block& block, int* written) {
    RptLayoutData& d = *ctx->data;
    *written = 0;
    for (int16_t l = 0; l < block.declared; ++l) {
        const std::vector<Field>& fields = block.perLine[static_cast<std::size_t>(l)];
        if (l == block.runningLine) {
            const Field* f = nullptr;
            for (const Field& x : fields)
                if (x.kind == RPT_V_RUNNING) f = &x;
            const char* p = d.running;
            for (int k = 0; p && *p && k < d.runningLines; ++k) {
                std::string line(static_cast<std::size_t>(f->column), ' ');
                line += nextPiece(p, static_cast<std::size_t>(f->width));
                if (int16_t st = put(host, ctx, line)) return st;
                ++*written;
            }
            continue;
        }
        std::string line = block.lines[static_cast<std::size_t>(l)];
        for (const Field& f : fields) {
            const char* value = d.values.get(f.kind);
            std::size_t end = static_cast<std::size_t>(f.column + f.width);
            if (line.size() < end) line.resize(end, ' ');
            std::size_t i = 0;
            for (; i < static_cast<std::size_t>(f.width) && value[i]; ++i)
                line[f.column + i] = isControl(value[i]) ? ' ' : value[i];
            for (; i < static_cast<std::size_t>(f.width); ++i) line[f.column + i] = ' ';
        }
        if (int16_t st = put(host, ctx, line)) return st;
        ++*written;
    }
    return 0;
}

int16_t endPage(uint32_t host, RPT_CONTEXT* ctx) {
    if (!ctx->noFill) {
        while (ctx->linesOnPage <= ctx->pageLength - ctx->footerLines) {
            if (int16_t st = put(host, ctx, " ")) return st;
            addLines(ctx, 1);
        }
    }
    if (ctx->footerFields > 0) {
        int written = 0;
        if (int16_t st = writeBlock(host, ctx, ctx->data->blocks[RptLayoutData::FOOTER], &written)) return st;
        addLines(ctx, written);
    }
    if (!ctx->noFormFeed)
        if (int16_t st = put(host, ctx, "\f")) return st;
    return 0;
}

int16_t newPage(uint32_t host, RPT_CONTEXT* ctx) {
    if (ctx->currentPage >= ctx->firstPage)
        if (int16_t st = endPage(host, ctx)) return st;
    if (ctx->currentPage < 32767) ++ctx->currentPage;
    UT_updprt(host, &ctx->data->values, std::to_string(ctx->currentPage).c_str(), RPT_V_PAGE);
    ctx->linesOnPage = 0;
    if (ctx->headerFields > 0) {
        int written = 0;
        if (int16_t st = writeBlock(host, ctx, ctx->data->blocks[RptLayoutData::HEADER], &written)) return st;
        addLines(ctx, written);
    }
    return 0;
}

// Makes the value set with today's date and time.
void makeValues(uint32_t host, RPT_CONTEXT* ctx) {
    if (!ctx->data) ctx->data = new RptLayoutData();
    RptLayoutData& d = *ctx->data;
    int count = RPT_V_COLUMN0 + 1 + std::max<int>(d.maxColumn, ctx->groupColumn ? ctx->groupColumn - RPT_V_COLUMN0 : 0);
    d.values.slots.assign(static_cast<std::size_t>(count) * 80, '\0');
    SF_DATETIME now{};
    UL_now(&now);
    char text[80] = {};
    UL_fmtdatetime(host, &now, text, sizeof text);
    char* blank = std::strchr(text, ' ');
    if (blank) {
        *blank = '\0';
        UT_updprt(host, &d.values, blank + 1, RPT_V_TIME);
    }
    UT_updprt(host, &d.values, text, RPT_V_DATE);
}

void initContext(RPT_CONTEXT* ctx) {
    std::memset(ctx, 0, sizeof *ctx);
    ctx->lineWidth = 80;
    ctx->pageLength = 55;
    ctx->bodyLines = 0;
    ctx->firstPage = 1;
}

// A comma-separated text: as it stands, unless it holds a comma, a quote or a line break,
// which would break the row apart; such a text is quoted with its quotes doubled.
void appendCsv(std::string& row, const char* text) {
    if (!std::strpbrk(text, ",\"\r\n")) {
        row += text;
        return;
    }
    row += '"';
    for (const char* p = text; *p; ++p) {
        if (*p == '"') row += '"';
        row += *p;
    }
    row += '"';
}

}  // namespace

// ---- Interface

int16_t UT_updprt(uint32_t host, RptValues* values, const char* text, int16_t kind) {
    if (!values) return UL_E_BADARG;
    if (kind < 0 || kind >= values->count()) {
        UL_tracevalue(host, "UT_updprt kind", kind);
        return SF_WRONGSTATE;
    }
    UL_strcopy(&values->slots[static_cast<std::size_t>(kind) * 80], 80, text ? text : "");
    return 0;
}

int16_t SF_rptcolumnwidth(const RPT_CONTEXT* ctx, int16_t column) {
    if (!ctx || !ctx->data || column < 1) return 0;
    int16_t widest = 0;
    for (const Block& block : ctx->data->blocks)
        for (const std::vector<Field>& fields : block.perLine)
            for (const Field& f : fields)
                if (f.kind == RPT_V_COLUMN0 + column) widest = std::max(widest, f.width);
    return widest;
}

void SF_rptfree(uint32_t host, RPT_CONTEXT* ctx) {
    if (!ctx) return;
    if (ctx->file) UL_fclose(host, ctx->file);
    for (HFONT& f : ctx->fonts)
        if (f) DeleteObject(f);
    delete ctx->data;
    // "Print afterwards" outlives the release: a caller closes the report and then asks whether
    // to print it. The next open or layout load starts it afresh.
    const int16_t print = ctx->printAfterwards;
    std::memset(ctx, 0, sizeof *ctx);
    ctx->printAfterwards = print;
    module() = ModuleState{};
}

int16_t SF_rptlayout(uint32_t host, const char* layout, RPT_CONTEXT* ctx) {
    if (!ctx) return UL_E_BADARG;
    if (ctx->file) return SF_WRONGSTATE;
    SF_rptfree(host, ctx);
    if (int16_t st = loadWords(host)) return st;
    initContext(ctx);
    ctx->mode = -1;
    if (int16_t st = readLayout(host, layout ? layout : "", ctx)) {
        SF_rptfree(host, ctx);
        return st;
    }
    ctx->printAfterwards = ctx->layoutOutput[0] == '\0';
    ctx->linesOnPage = ctx->pageLength;
    ctx->currentPage = static_cast<int16_t>(ctx->firstPage - 1);
    makeValues(host, ctx);
    return 0;
}

int16_t SF_rptopen(uint32_t host, const char* output, const char* layout, RPT_CONTEXT* ctx) {
    if (!ctx) return UL_E_BADARG;
    if (ctx->file) {
        UL_tracetext(host, "SF_rptopen", "a report is open on this context");
        return SF_WRONGSTATE;
    }
    if (!output || !*output) return UL_E_BADARG;
    SF_rptfree(host, ctx);  // whatever a layout load left in the context
    if (int16_t st = loadWords(host)) return st;
    initContext(ctx);
    if (layout) {
        ctx->mode = -1;
        if (int16_t st = readLayout(host, layout, ctx)) {
            SF_rptfree(host, ctx);
            return st;
        }
        ctx->printAfterwards = ctx->layoutOutput[0] == '\0';
    } else {
        ctx->mode = 1;
    }
    int16_t exists = 0;
    UL_fileexists(output, &exists);
    if (exists && UT_askoverwrite(host, output) != 0) {
        SF_rptfree(host, ctx);
        ctx->printAfterwards = 0;  // nothing was written: nothing to print
        return SF_CANCELLED;
    }
    // The report is written aside and replaces the file of that name only when it is closed
    // whole: a report that fails on the way leaves an existing file as it was.
    if (int16_t st = UL_fcreatewhole(host, output, &ctx->file)) {
        ctx->file = 0;
        SF_rptfree(host, ctx);
        ctx->printAfterwards = 0;
        return st;
    }
    UL_strcopy(ctx->outputName, output);
    ctx->linesOnPage = ctx->pageLength;
    ctx->rowsBefore = 0;
    ctx->rowsInGroup = 0;
    ctx->currentPage = static_cast<int16_t>(ctx->firstPage - 1);
    makeValues(host, ctx);
    return 0;
}

int16_t SF_rptline(uint32_t host, RPT_CONTEXT* ctx, const char* running, int16_t runningLines, int16_t count,
                   const char* const* columns) {
    if (!ctx) return UL_E_BADARG;
    if (!ctx->file || !ctx->data) {
        UL_tracetext(host, "SF_rptline", "no report is open");
        return SF_WRONGSTATE;
    }
    if (count < 0) count = 0;
    if (count > 0 && !columns) return UL_E_BADARG;

    if (ctx->mode == 1) {
        std::string row;
        for (int16_t i = 0; i < count; ++i) {
            if (i) row += ',';
            appendCsv(row, columns[i] ? columns[i] : "");
        }
        row += "\r\n";
        if (int16_t st = UL_fwrite(host, ctx->file, row.data(), static_cast<uint32_t>(row.size()))) return st;
        addLines(ctx, 1);
        return 0;
    }

    RptLayoutData& d = *ctx->data;
    // Columns into values 8 and up; a column the row does not give stays blank, and a column
    // no field names is not kept.
    for (int16_t kind = RPT_V_COLUMN0 + 1; kind < d.values.count(); ++kind) {
        int i = kind - RPT_V_COLUMN0 - 1;
        UT_updprt(host, &d.values, i < count && columns[i] ? columns[i] : "", kind);
    }
    d.running = running;
    d.runningLines = running ? std::max<int16_t>(runningLines, 0) : 0;

    const int16_t g = ctx->groupColumn;
    char rowGroup[80] = {};
    if (g > 0) {
        UL_strcopy(rowGroup, d.values.get(g));
        if (std::strcmp(rowGroup, d.values.get(RPT_V_GROUP)) == 0) {
            if (ctx->blankRepeats) UT_updprt(host, &d.values, "", g);
        } else {
            UT_updprt(host, &d.values, rowGroup, RPT_V_GROUP);
            ctx->rowsBefore += ctx->rowsInGroup;
            ctx->rowsInGroup = 0;
        }
    }
    if (int{ctx->linesOnPage} + ctx->bodyLines + d.runningLines >= ctx->pageLength) {
        if (int16_t st = newPage(host, ctx)) return st;
        // The first row of a page shows its group.
        if (g > 0 && ctx->blankRepeats) UT_updprt(host, &d.values, rowGroup, g);
    }
    if (ctx->bodyLines != 0) {
        int written = 0;
        if (int16_t st = writeBlock(host, ctx, d.blocks[RptLayoutData::BODY], &written)) return st;
        addLines(ctx, written);
    }
    ++ctx->rowsInGroup;
    return 0;
}

int16_t SF_rptclose(uint32_t host, RPT_CONTEXT* ctx) {
    if (!ctx) return UL_E_BADARG;
    if (!ctx->file) {
        SF_rptfree(host, ctx);
        UL_tracetext(host, "SF_rptclose", "no report is open");
        return SF_WRONGSTATE;
    }
    int16_t status = 0;
    if (ctx->mode == 0 && ctx->data) {
        // A report without rows still gets its first page, header included: an empty listing
        // says what it is and when it was made.
        if (ctx->currentPage < ctx->firstPage) status = newPage(host, ctx);
        if (status == 0) status = endPage(host, ctx);
    }
    // Comma-separated rows end with the last row: blank fill lines and a form feed would make
    // the file something else than rows.
    int16_t closed = status == 0 ? UL_fcommit(host, ctx->file) : UL_fclose(host, ctx->file);
    ctx->file = 0;
    if (status == 0) status = closed;

    if (status == 0 && ctx->layoutOutput[0]) {
        char target[UL_MAXPATH];
        UL_strcopy(target, ctx->layoutOutput);
        int16_t exists = 0;
        UL_fileexists(target, &exists);
        if (exists) {
            int16_t answer = UT_askoverwrite(host, target);
            if (answer == 7) {
                char filter[256] = {}, title[256] = {};
                UL_loadstring(host, filter, kLangModule, 2309);
                UL_loadstring(host, title, kLangModule, 2306);
                status = UT_choosefile(host, filter, title, 2, target, sizeof target);
            } else if (answer != 0) {
                status = SF_CANCELLED;
            }
        }
        if (status == 0) status = UL_fcopy(host, target, ctx->outputName);
        ctx->layoutOutput[0] = '\0';
    }
    SF_rptfree(host, ctx);
    return status;
}

void rpt_reset() { module() = ModuleState{}; }

}  // namespace qorsf
