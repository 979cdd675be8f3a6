#include <cstring>

#include "qorul.h"
#include "qorvq.h"
#include "qorwin32.h"

namespace {

struct ConfigKey {
    uint16_t number;
    const char* name;
};

// The "GENERAL" configuration numbers and the settings keys that hold them.
constexpr ConfigKey kGeneralKeys[] = {
    {4150, "SenderName"},  {4151, "SenderCompany"}, {4153, "SenderAddress"}, {4154, "SenderFax"},
    {4155, "SenderVoice"}, {4156, "SenderEmail"},   {4160, "DialPrefix"},    {4161, "DialSuffix"},
};

}  // namespace

const char* VQ_configkeyname(uint16_t key) {
    for (const auto& k : kGeneralKeys)
        if (k.number == key) return k.name;
    return nullptr;
}

int16_t VQ_getconfig(uint32_t host, int16_t source, const char* section, uint16_t key, char* buf,
                     std::size_t bufsize) {
    if (!buf || bufsize == 0 || !section) return UL_E_BADARG;
    buf[0] = '\0';
    if (source != 1 || strcasecmp(section, "GENERAL") != 0) return VQ_E_SECTION;
    const char* name = VQ_configkeyname(key);
    if (!name) return VQ_E_NOKEY;
    char settings[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, settings, 41)) return st;
    GetPrivateProfileStringA("GENERAL", name, "", buf, static_cast<DWORD>(bufsize), settings);
    return 0;
}
