// The library frame: start-up and shut-down, the global work areas, the fax parameters and the
// settings keys. Internal interface of the core (namespace qorsf); the exported entry points
// that wrap it are in src/exports.
#pragma once

#include <cstddef>

#include <cstdint>

#include "frame/services/services.h"
#include "qorsf.h"

namespace qorsf {

// Sizes of the blocks the frame owns.
constexpr uint32_t kGlobalBlockSize = 3252;
constexpr int kGlobalAreas = 12;
constexpr uint32_t kLastNumberSlots = 5;
constexpr uint32_t kLastNumberSlotSize = 80;

// The module of the language texts.
inline constexpr const char* kLangModule = "QORLANG";
// The settings section of the fax parameters.
inline constexpr const char* kFaxSection = "FAX OPERATION";

// Library-wide state of the frame. All zero is "not open".
struct FrameState {
    uint32_t globalHandle = 0;       // the global work block, locked while the library is open
    char* area[kGlobalAreas] = {};   // its twelve areas, in the order of their sizes
    uint32_t lastNumbersHandle = 0;  // 5 x 80 bytes, unlocked between uses

    char phonebookPath[80] = {};     // cached phone book path

    // Live copies of parameter words, written back into the record at close.
    uint16_t word2200 = 0;
    uint16_t word2201 = 0;
    uint16_t word2203 = 0;
    uint16_t sendState = 0;          // SF_getparm selector 4
    uint16_t selector5 = 0;          // SF_getparm / SF_adjustparm selector 5
    int16_t systemWord1 = 1;         // system value 1, read by SF_adjustparm
    uint16_t firstRun = 0;           // 1 when "sf.dat" did not exist at the last load
    uint16_t word2205 = 0;
    uint16_t word2209 = 0;
    uint16_t word2210 = 0;
    uint16_t word2211 = 0;

    UT_LIST recipients = {};         // the library-wide recipient list of PB_ENTRY items
};

FrameState& frame();
// Forgets every library-wide value of the frame (tests); frees nothing.
void frame_reset();

// The system version recorded at load: major * 256 + minor.
uint16_t systemVersion();

// The areas of the global work block (null while the library is not open).
SF_PARAMS* params();
COVER_SHEET* defaultCover();

// ---- Lifecycle
int16_t SF_open(uint32_t host);
int16_t SF_close(uint32_t host);
int16_t SF_resetsys(uint32_t host, int16_t full);
int16_t SF_makefont(uint32_t host, int16_t size, int16_t weight, HFONT* font, uint16_t flags);

// ---- Fax parameters
int16_t SF_readdata(uint32_t host, SF_PARAMS* record);
int16_t SF_writedata(uint32_t host, const SF_PARAMS* record);
int16_t SF_loadparams(uint32_t host, SF_PARAMS* record);
int16_t SF_saveparams(uint32_t host, const SF_PARAMS* record);
// The save at close: only the fields of "sf.dat" and the settings keys that changed since the
// parameters were loaded (or last saved) are written; the rest stays as other sessions left it.
int16_t SF_saveparamchanges(uint32_t host, const SF_PARAMS* record);
// Remembers the record as loaded: what SF_saveparamchanges compares with.
void SF_snapshotparams(const SF_PARAMS* record);
// Whether the last load found "sf.dat" cut short (it is then saved whole at once).
bool SF_paramsdamaged();
void SF_setdefaults(SF_PARAMS* record);
int16_t SF_readgeneral(uint32_t host, SF_PARAMS* record);
int16_t SF_getparm(uint32_t host, int16_t selector, uint16_t* word);
int16_t SF_adjustparm(uint32_t host, int16_t selector, const void* value);
int16_t SF_getphonebookpath(uint32_t host, char* path /* 80 bytes */);
// Makes `path` the phone book path: the cache and settings key 2206 (20202 when the write fails).
int16_t SF_setphonebookpath(uint32_t host, const char* path);
// The path of "sf.dat".
int16_t SF_datpath(uint32_t host, char* path, std::size_t size);

// ---- Settings keys of "FAX OPERATION" (key names are language texts by number)
// Reads key `number` into buf (at most 79 characters): 0 = present, 1 = missing (buf emptied),
// or the status of loading the key name or the path.
int16_t SF_getsetting(uint32_t host, uint16_t number, char* buf, std::size_t size);
// Writes key `number`; a null value deletes it. 20202 when the settings file cannot be written.
int16_t SF_putsetting(uint32_t host, uint16_t number, const char* value);
// The decimal conversion of settings words: optional blanks, an optional sign, digits; stops
// at the first non-digit; a text that does not begin with a sign or digit gives 0.
uint16_t SF_settingword(const char* text);

// ---- Messages
// The error box of the dialogs: text and caption are language texts, with the error icon.
void SF_errorbox(uint32_t host, HWND window, uint16_t text, uint16_t caption);

}  // namespace qorsf
