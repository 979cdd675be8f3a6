// qorfax config: read and write the settings file of the profile.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "host.h"
#include "qorsf.h"
#include "qorul.h"
#include "qorwin32.h"
#include "recv_settings.h"
#include "settings_keys.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax config get SECTION KEY\n"
    "       qorfax config set [--force] SECTION KEY VALUE\n"
    "       qorfax config unset SECTION KEY\n"
    "       qorfax config autoprint [on|off]\n"
    "       qorfax config deleteafterprint [on|off]\n"
    "       qorfax config keys\n"
    "\n"
    "Reads and writes the settings file of the profile (qorfax.ini). Sections and keys are\n"
    "found without regard to case. `get` exits with 1 when the key is missing. Values that the\n"
    "library keeps while it is open (section FAX OPERATION) are written after it has closed.\n"
    "\n"
    "autoprint shows or sets the automatic printing of received faxes (qorfax recv check prints\n"
    "the faxes waiting to be printed, and imported faxes wait to be printed, while it is on);\n"
    "deleteafterprint shows or sets whether the page files of a fax printed automatically are\n"
    "deleted.\n"
    "\n"
    "`set` refuses a key that the library does not know in one of its own sections (FAX\n"
    "OPERATION, GENERAL, SYSTEM, TRACE, PRINT, TEMPLATES, BOARD), showing the keys it knows,\n"
    "and a value that is not a number for a numeric key or not one of the choices of a key;\n"
    "--force writes it all the same. Other sections take any key. `keys` lists the known keys\n"
    "with their meaning.\n";

// autoprint and deleteafterprint: show the setting, or set it on or off.
int receiveSetting(const Args& args) {
    const bool autoPrint = args[0] == "autoprint";
    if (args.size() > 2 || (args.size() == 2 && args[1] != "on" && args[1] != "off"))
        return usage(kHelp, "config " + args[0] + " takes on or off");
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    char path[UL_MAXPATH];
    if (int16_t st = UL_getpath(host.handle(), path, 41)) return fail(st, "settings file");
    const std::string key = autoPrint ? std::string(kAutoPrintKey) : deleteAfterPrintKey(host.handle());
    const char* section = autoPrint ? kReceiveSection : "FAX OPERATION";
    if (key.empty()) return fail(UL_E_NOTEXT, "the setting's key name");
    if (args.size() == 1) {
        std::printf("%s\n", settingWord(settingValue(host.handle(), section, key.c_str())) ? "on" : "off");
        return kExitOk;
    }
    // The library saves its own keys when it closes: write after that, so the value stays.
    host.close();
    if (!WritePrivateProfileStringA(section, key.c_str(), args[1] == "on" ? "1" : "0", path))
        return fail(SF_SETTINGSWRITE, "the settings file cannot be written");
    return kExitOk;
}

int keys(uint32_t h) {
    const std::vector<SettingKey> all = settingKeys(h);
    std::string section;
    for (const SettingKey& k : all) {
        if (k.section != section) {
            std::printf("%s[%s]\n", section.empty() ? "" : "\n", k.section.c_str());
            section = k.section;
        }
        std::string name = k.key;
        if (!name.empty() && name.back() == '#') name.back() = 'N';
        std::string kind = k.numeric ? "number" : k.choices.empty() ? "text" : k.choices;
        std::printf("  %-20s %-12s %s\n", name.c_str(), kind.c_str(), k.meaning.c_str());
    }
    return kExitOk;
}

// "" when `set` may write the key and value, else the problem (with the known keys).
std::string checkSet(uint32_t h, const std::string& section, const std::string& key, const std::string& value) {
    const std::vector<SettingKey> all = settingKeys(h);
    if (!ownSection(all, section)) {
        // Sections of hosts and other programs take any key.
        return "";
    }
    const SettingKey* k = findKey(all, section, key);
    if (!k) {
        std::string known;
        for (const SettingKey& each : all) {
            if (::strcasecmp(each.section.c_str(), section.c_str()) != 0) continue;
            std::string name = each.key;
            if (!name.empty() && name.back() == '#') name.back() = 'N';
            known += (known.empty() ? "" : ", ") + name;
        }
        return "the library does not know the key " + key + " of section [" + section + "]; its keys are: " +
               known + " (--force writes it all the same)";
    }
    if (std::string problem = checkValue(*k, value); !problem.empty())
        return "the key " + key + " of section [" + section + "] " + problem + ", not \"" + value +
               "\" (--force writes it all the same)";
    return "";
}

int run(const Args& all) {
    if (all.empty()) return usage(kHelp, "config needs get, set, unset or keys");
    if (wantsHelp(all)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    bool force = false;
    Args args;
    for (const std::string& a : all) {
        if (a == "--force") force = true;
        else args.push_back(a);
    }
    const std::string& verb = args.empty() ? std::string() : args[0];
    if (verb == "keys") {
        if (args.size() != 1) return usage(kHelp, "config keys takes no arguments");
        Host host;
        return keys(host.handle());
    }
    if (verb == "autoprint" || verb == "deleteafterprint") return receiveSetting(args);
    const size_t want = verb == "set" ? 4 : 3;
    if ((verb != "get" && verb != "set" && verb != "unset") || args.size() != want)
        return usage(kHelp, "config " + verb + ": wrong arguments");
    if (force && verb != "set") return usage(kHelp, "--force is an option of config set");
    const std::string& section = args[1];
    const std::string& key = args[2];
    for (const std::string* s : {&section, &key})
        if (s->empty() || s->find_first_of("\r\n[]=") != std::string::npos)
            return usage(kHelp, "a section or key may not be empty or hold [ ] = or a line break");
    if (verb == "set" && args[3].find_first_of("\r\n") != std::string::npos)
        return usage(kHelp, "a value may not hold a line break");

    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    char path[UL_MAXPATH];
    if (int16_t st = UL_getpath(host.handle(), path, 41)) return fail(st, "settings file");

    if (verb == "get") {
        // A marker that no real value holds tells a missing key from an empty one.
        const char* missing = "\x01missing\x01";
        std::vector<char> value(4096);
        GetPrivateProfileStringA(section.c_str(), key.c_str(), missing, value.data(),
                                 static_cast<DWORD>(value.size()), path);
        if (std::strcmp(value.data(), missing) == 0) {
            std::fprintf(stderr, "qorfax: no key %s in section [%s]\n", key.c_str(), section.c_str());
            return kExitFailed;
        }
        std::printf("%s\n", value.data());
        return kExitOk;
    }
    if (verb == "set" && !force) {
        if (std::string problem = checkSet(host.handle(), section, key, args[3]); !problem.empty()) {
            std::fprintf(stderr, "qorfax: %s\n", problem.c_str());
            return kExitFailed;
        }
    }
    // The library saves its own keys when it closes: write after that, so the value stays.
    host.close();
    const char* value = verb == "set" ? args[3].c_str() : nullptr;
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value, path))
        return fail(SF_SETTINGSWRITE, "the settings file cannot be written");
    return kExitOk;
}

Registration registration{{"config",
                           "  config get SECTION KEY       print a value of the settings file\n"
                           "  config set SECTION KEY VALUE write a value of the settings file\n"
                           "  config unset SECTION KEY     remove a key of the settings file\n"
                           "  config autoprint|deleteafterprint [on|off]\n"
                           "                               the settings of received faxes\n"
                           "  config keys                  list the keys the library knows, with their meaning\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
