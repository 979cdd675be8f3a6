// QORVQ: the fax engine's send queue, log of received faxes and engine configuration.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Status codes of the queue library (texts in the language module under the same number)
enum : int16_t {
    VQ_E_NOKEY = 31001,     // unknown configuration key number
    VQ_E_SECTION = 31002,   // unknown configuration section or source
};

// Reads configuration text `key` of `section` (source 1 = the settings file) into buf.
// Section "GENERAL": 4150 sender name, 4151 sender company, 4153 sender address, 4154 sender
// fax number, 4155 sender voice number, 4156 sender e-mail, 4160 default dial prefix, 4161
// default dial suffix; each is a key of section [GENERAL] of the settings file (a missing key
// gives an empty text).
int16_t VQ_getconfig(uint32_t host, int16_t source, const char* section, uint16_t key, char* buf,
                     std::size_t bufsize);
// The settings key name of a "GENERAL" configuration number, or nullptr.
const char* VQ_configkeyname(uint16_t key);

// Removes the deleted jobs from the queue and writes them to the purge list file.
int16_t VQ_purgequeue(uint32_t host);
// Shuts the engine side down (closes the queue database).
int16_t VQ_shutdown(uint32_t host);
// Resets of the engine side: the whole system, a full reset, a partial reset.
int16_t VQ_resetsys(uint32_t host, int16_t value, int16_t full);
int16_t VQ_resetfull(uint32_t host);
int16_t VQ_resetpart(uint32_t host);
