// GDI objects as plain records in a table. A handle is an opaque number that is never null and
// never given out twice, so that a stale handle is recognised as unknown instead of reaching
// another object.
#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "qorwin32.h"

namespace {

// LOGFONT keeps at most 31 characters of a face name.
constexpr std::size_t kFaceChars = 31;
// Handles start away from null and small integers, in steps of 4 like pointers.
constexpr uintptr_t kFirstHandle = 0x4A000;

struct GdiTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, qorwin::FontInfo> fonts;
    uintptr_t next = kFirstHandle;
};

GdiTable& table() {
    static GdiTable t;
    return t;
}

uintptr_t key(HGDIOBJ h) { return reinterpret_cast<uintptr_t>(h); }

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
    return t.fonts.erase(key(obj)) != 0 ? TRUE : FALSE;
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
    return t.fonts.size();
}

}  // namespace qorwin
