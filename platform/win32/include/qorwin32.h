// The Win32 subset that the library runs on, with Win32 semantics.
#pragma once

#include "qorwintypes.h"

#ifdef __cplusplus
#include <cstddef>
#include <string>
#endif

// ---- Profile strings (the settings file).
// Reads `key` of `section` of `file` into ret (size bytes). Sections and keys are found without
// regard to case; blanks around keys and values are trimmed; a value in matching double or
// single quotes loses them. A missing file, section or key gives `def` (trailing blanks trimmed).
// A null section gives every section name, a null key every key name of the section, each
// NUL-terminated and the list ended by a second NUL. Returns the number of characters copied,
// without the terminating NUL; a value cut to fit returns size - 1 (size - 2 for lists).
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR ret, DWORD size, LPCSTR file);
// Writes `value` to `key`; a null value deletes the key (every copy of it in the section), a
// null key deletes the section (every copy of it). The first section and the first key of a
// name are the ones written; a new key goes at the end of its section, a new section at the end
// of the file. Every other line keeps its bytes and line end. The file is rewritten whole
// through a temporary file in the same directory, fsync and a rename. A section, key or value
// holding a line break is refused (FALSE), and so are a section holding "]" and a key holding
// "=" or beginning with ";" or "[": each would read back as another name. Returns FALSE when the
// file cannot be read or written.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);
// The integer value of a key (leading decimal digits, with a sign), or def when the key is
// missing or empty.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int def, LPCSTR file);

// ---- Character classification of the current language (ASCII letters and Latin-1 letters).
BOOL IsCharAlphaA(char ch);

// ---- Version: major in the low byte, minor in the next byte.
DWORD GetVersion();

// ---- GDI fonts: plain records in a table; handles are opaque and never null.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeout, DWORD charset, DWORD outprecision, DWORD clipprecision,
                  DWORD quality, DWORD pitchfamily, LPCSTR face);
// FALSE for a null, unknown or already deleted object.
BOOL DeleteObject(HGDIOBJ obj);
// The system font's average character size: width in the low word (8), height in the high (16).
LONG GetDialogBaseUnits();

#ifdef __cplusplus
namespace qorwin {
// What a font was made of (the face cut to 31 characters), for tests and the window layer.
struct FontInfo {
    std::string face;
    int height = 0, width = 0, weight = 0;
    bool italic = false, underline = false, strikeout = false;
};
// False for a null, unknown or deleted font.
bool fontInfo(HFONT font, FontInfo* out);
// The number of GDI objects (fonts and brushes) not yet deleted (leak checks).
std::size_t liveGdiObjects();
// The colour of a brush (CreateSolidBrush, GetSysColorBrush); false for anything else.
bool brushColour(HGDIOBJ brush, COLORREF* out);
}  // namespace qorwin
#endif
