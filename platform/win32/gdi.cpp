// GDI objects as plain records in a table. A handle is an opaque number that is never null and
// never given out twice, so that a stale handle is recognised as unknown instead of reaching
// another object.
#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "qorwin32.h"
#include "qorwingdi.h"

namespace {

// LOGFONT keeps at most 31 characters of a face name.
constexpr std::size_t kFaceChars = 31;
// Handles start away from null and small integers, in steps of 4 like pointers.
constexpr uintptr_t kFirstHandle = 0x4A000;

struct GdiTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, qorwin::FontInfo> fonts;
    std::unordered_map<uintptr_t, COLORREF> brushes;
    uintptr_t next = kFirstHandle;
};

GdiTable& table() {
    static GdiTable t;
    return t;
}

uintptr_t key(HGDIOBJ h) { return reinterpret_cast<uintptr_t>(h); }

// The brushes of the system colours: fixed handles below the first made object.
constexpr uintptr_t kSysBrushes = 0x49F00;
int sysBrushIndex(HGDIOBJ h) {
    const uintptr_t k = key(h);
    if (k < kSysBrushes || k > kSysBrushes + 4 * 24 || (k - kSysBrushes) % 4) return -1;
    return static_cast<int>((k - kSysBrushes) / 4);
}

}  // namespace

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeout, DWORD charset, DWORD outprecision, DWORD clipprecision,
                  DWORD quality, DWORD pitchfamily, LPCSTR face) {
    (void)escapement;
    (void)orientation;
    (void)charset;
    (void)outprecision;
    (void)clipprecision;
    (void)quality;
    (void)pitchfamily;
    qorwin::FontInfo info;
    if (face) {
        std::string_view f(face);
        info.face.assign(f.substr(0, kFaceChars));
    }
    info.height = height;
    info.width = width;
    info.weight = weight;
    info.italic = italic != 0;
    info.underline = underline != 0;
    info.strikeout = strikeout != 0;

    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t h = t.next;
    t.next += 4;
    t.fonts.emplace(h, std::move(info));
    return reinterpret_cast<HFONT>(h);
}

BOOL DeleteObject(HGDIOBJ obj) {
    if (!obj) return FALSE;
    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (sysBrushIndex(obj) >= 0) return TRUE;  // system colour brushes are never deleted
    if (t.fonts.erase(key(obj)) != 0) return TRUE;
    return t.brushes.erase(key(obj)) != 0 ? TRUE : FALSE;
}

COLORREF GetSysColor(int index) {
    // A light theme: grey faces, white fields, blue selection.
    switch (index) {
        case COLOR_SCROLLBAR: return RGB(200, 200, 200);
        case COLOR_BACKGROUND: return RGB(0, 0, 0);
        case COLOR_ACTIVECAPTION: return RGB(153, 180, 209);
        case COLOR_INACTIVECAPTION: return RGB(191, 205, 219);
        case COLOR_MENU: return RGB(240, 240, 240);
        case COLOR_WINDOW: return RGB(255, 255, 255);
        case COLOR_WINDOWFRAME: return RGB(100, 100, 100);
        case COLOR_MENUTEXT: return RGB(0, 0, 0);
        case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
        case COLOR_CAPTIONTEXT: return RGB(0, 0, 0);
        case COLOR_ACTIVEBORDER: return RGB(180, 180, 180);
        case COLOR_INACTIVEBORDER: return RGB(244, 247, 252);
        case COLOR_APPWORKSPACE: return RGB(171, 171, 171);
        case COLOR_HIGHLIGHT: return RGB(0, 120, 215);
        case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
        case COLOR_BTNFACE: return RGB(240, 240, 240);
        case COLOR_BTNSHADOW: return RGB(160, 160, 160);
        case COLOR_GRAYTEXT: return RGB(109, 109, 109);
        case COLOR_BTNTEXT: return RGB(0, 0, 0);
        case COLOR_INACTIVECAPTIONTEXT: return RGB(0, 0, 0);
        case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
        case COLOR_3DDKSHADOW: return RGB(105, 105, 105);
        case COLOR_3DLIGHT: return RGB(227, 227, 227);
        case COLOR_INFOTEXT: return RGB(0, 0, 0);
        case COLOR_INFOBK: return RGB(255, 255, 225);
        default: return 0;
    }
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index > COLOR_INFOBK) return nullptr;
    return reinterpret_cast<HBRUSH>(kSysBrushes + static_cast<uintptr_t>(index) * 4);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    uintptr_t h = t.next;
    t.next += 4;
    t.brushes.emplace(h, colour & 0xFFFFFF);
    return reinterpret_cast<HBRUSH>(h);
}

LONG GetDialogBaseUnits() {
    // The system font: 8 pixels wide on average, 16 high.
    constexpr LONG width = 8;
    constexpr LONG height = 16;
    return width | (height << 16);
}

namespace qorwin {

bool fontInfo(HFONT font, FontInfo* out) {
    if (!font) return false;
    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.fonts.find(key(font));
    if (it == t.fonts.end()) return false;
    if (out) *out = it->second;
    return true;
}

std::size_t liveGdiObjects() {
    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.fonts.size() + t.brushes.size();
}

bool brushColour(HGDIOBJ brush, COLORREF* out) {
    if (!brush) return false;
    if (int i = sysBrushIndex(brush); i >= 0) {
        if (out) *out = GetSysColor(i);
        return true;
    }
    GdiTable& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.brushes.find(key(brush));
    if (it == t.brushes.end()) return false;
    if (out) *out = it->second;
    return true;
}

}  // namespace qorwin
