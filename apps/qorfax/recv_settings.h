// The two settings of received faxes as qorfax keeps them.
//
// Automatic printing is a value the host hands to the library (SF_adjustparm selector 5) after
// SF_open; qorfax keeps it in [RECEIVE] AutoPrint of the settings file. Deleting a fax's pages
// once it was printed automatically is the library's own setting: the [FAX OPERATION] key whose
// name is language text 2211, read by the library at SF_open.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "qorsf.h"
#include "qorul.h"
#include "qorwin32.h"

namespace qorfax {

inline constexpr const char* kReceiveSection = "RECEIVE";
inline constexpr const char* kAutoPrintKey = "AutoPrint";

// The settings file's value of a key, "" when missing.
inline std::string settingValue(uint32_t host, const char* section, const char* key) {
    char ini[UL_MAXPATH];
    if (UL_getpath(host, ini, 41) != 0) return std::string();
    char buf[80] = {};
    GetPrivateProfileStringA(section, key, "", buf, sizeof buf, ini);
    return buf;
}

// A setting's word: the decimal value (anything else is 0).
inline uint16_t settingWord(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return static_cast<uint16_t>(v < 0 || v > 65535 ? 0 : v);
}

inline uint16_t autoPrintSetting(uint32_t host) {
    return settingWord(settingValue(host, kReceiveSection, kAutoPrintKey));
}

// The key name of the delete-after-print setting.
inline std::string deleteAfterPrintKey(uint32_t host) {
    char key[80] = {};
    UL_loadstring(host, key, "QORLANG", 2211);
    return key;
}

// Hands the automatic-print setting to an open library.
inline int16_t applyAutoPrint(uint32_t host) {
    const uint16_t word = autoPrintSetting(host);
    return SF_adjustparm(host, 5, &word);
}

}  // namespace qorfax
