// The keys of the settings file that the library and its platform read: their sections, their
// meaning and the kind of value each takes. `qorfax config` checks against them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorfax {

struct SettingKey {
    std::string section;
    std::string key;      // a pattern ends with '#' (digits follow: LastNumber#, template#)
    bool numeric = false;
    std::string choices;  // "a|b": one of these (without regard to case); empty = any text
    std::string meaning;
};

// Every known key; the FAX OPERATION key names come from the language module in use.
std::vector<SettingKey> settingKeys(uint32_t host);
// The library's own sections (their keys are checked).
bool ownSection(const std::vector<SettingKey>& keys, const std::string& section);
// The key of `section` and `key` (compared without regard to case); null when unknown.
const SettingKey* findKey(const std::vector<SettingKey>& keys, const std::string& section, const std::string& key);
// "" when the value suits the key, else what is wrong with it.
std::string checkValue(const SettingKey& k, const std::string& value);

}  // namespace qorfax
