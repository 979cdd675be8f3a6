#include "settings_keys.h"

#include <strings.h>

#include <cctype>

#include "qorul.h"

namespace qorfax {

namespace {

std::string text(uint32_t host, uint16_t number, const char* fallback) {
    char buf[80] = {};
    if (UL_loadstring(host, buf, "QORLANG", number) != 0 || buf[0] == '\0') return fallback;
    return buf;
}

bool same(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

// A key against a pattern: "LastNumber#" takes "LastNumber1", "lastnumber12"; '#' stands for
// one or more digits at the end.
bool matches(const std::string& pattern, const std::string& key) {
    if (pattern.empty() || pattern.back() != '#') return same(pattern, key);
    const std::string stem = pattern.substr(0, pattern.size() - 1);
    if (key.size() <= stem.size() || !same(stem, key.substr(0, stem.size()))) return false;
    for (std::size_t i = stem.size(); i < key.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return false;
    return true;
}

}  // namespace

std::vector<SettingKey> settingKeys(uint32_t host) {
    const std::string fax = "FAX OPERATION";
    std::vector<SettingKey> k = {
        {fax, text(host, 2200, "FineResolution"), true, "", "1 = send in fine resolution by default"},
        {fax, text(host, 2201, "DeleteAfterSend"), true, "", "1 = delete the documents after sending by default"},
        {fax, text(host, 2202, "NoUser"), true, "", "a word of the fax parameters (no user)"},
        {fax, text(host, 2203, "RunAfterSend"), true, "", "1 = call the after-send service"},
        {fax, text(host, 2204, "CoverTemplate"), true, "", "the number of the cover template, 0 = none"},
        {fax, text(host, 2205, "SendWord"), true, "", "a word of the fax parameters (send)"},
        {fax, text(host, 2206, "PhoneBookPath"), false, "", "the phone book file (at most 79 characters)"},
        {fax, text(host, 2207, "HeaderTemplate"), false, "", "the header logo or template name"},
        {fax, text(host, 2208, "FooterTemplate"), false, "", "the footer logo or template name"},
        {fax, text(host, 2209, "CoverDialogFirst"), true, "", "1 = open the cover page dialog first"},
        {fax, text(host, 2210, "Reserved"), true, "", "reserved"},
        {fax, text(host, 2211, "AutoPrintReceived"), true, "", "1 = print received faxes automatically"},
        {fax, text(host, 2128, "LastNumber") + "#", false, "", "the last numbers sent to, newest first"},
        {"GENERAL", "SenderName", false, "", "the sender's name (cover pages, job records)"},
        {"GENERAL", "SenderCompany", false, "", "the sender's company"},
        {"GENERAL", "SenderAddress", false, "", "the sender's address"},
        {"GENERAL", "SenderFax", false, "", "the sender's fax number"},
        {"GENERAL", "SenderVoice", false, "", "the sender's voice number"},
        {"GENERAL", "SenderEmail", false, "", "the sender's e-mail address"},
        {"GENERAL", "DialPrefix", false, "", "dialled before every number"},
        {"GENERAL", "DialSuffix", false, "", "dialled after every number"},
        {"SYSTEM", "Value1", true, "", "system value 1 (default 1)"},
        {"SYSTEM", "Value9", true, "", "system value 9 (default 0)"},
        {"SYSTEM", "Value10", true, "", "1 = \"send now\" means as soon as possible, not the time now"},
        {"SYSTEM", "Durable", true, "", "0 = the phone book does not wait for the disk (faster, less safe)"},
        {"TRACE", "Level", true, "", "the trace level: 0 off, 1 or more writes trace.log"},
        {"PRINT", "Target", false, "pdf|command", "where printing goes: pdf (a PDF file) or command"},
        {"PRINT", "Command", false, "", "the print command, run without a shell, the file last"},
        {"PRINT", "Paper", false, "A4|Letter", "the paper of PDF files"},
        {"PRINT", "Folder", false, "", "the folder of PDF files (default: print/ of the profile)"},
        {"TEMPLATES", "template#", false, "", "a cover template: FILE or FILE,DESCRIPTION"},
        {"BOARD", "Value#", true, "", "a value of fax board 1 (5207: the board is ready)"},
        {"BOARD", "Board#", true, "", "BoardNValueM: a value of fax board N"},
    };
    return k;
}

bool ownSection(const std::vector<SettingKey>& keys, const std::string& section) {
    for (const SettingKey& k : keys)
        if (same(k.section, section)) return true;
    return false;
}

const SettingKey* findKey(const std::vector<SettingKey>& keys, const std::string& section, const std::string& key) {
    for (const SettingKey& k : keys) {
        if (!same(k.section, section)) continue;
        if (matches(k.key, key)) return &k;
        // BoardNValueM
        if (k.key == "Board#" && key.size() > 5 && same(key.substr(0, 5), "Board")) {
            const std::size_t v = key.find_first_not_of("0123456789", 5);
            if (v != 5 && v != std::string::npos && matches("Value#", key.substr(v))) return &k;
        }
    }
    return nullptr;
}

std::string checkValue(const SettingKey& k, const std::string& value) {
    if (k.numeric) {
        // The library reads leading digits and stops at anything else: "1x" or "yes" would be
        // read as something the user did not write.
        std::size_t i = 0;
        if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
        if (i == value.size()) return "needs a number";
        for (; i < value.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(value[i]))) return "needs a number";
        if (value.size() > 6) return "needs a number between -32768 and 65535";
        const long v = std::stol(value);
        if (v < -32768 || v > 65535) return "needs a number between -32768 and 65535";
        return "";
    }
    if (!k.choices.empty()) {
        std::size_t pos = 0;
        while (pos <= k.choices.size()) {
            std::size_t bar = k.choices.find('|', pos);
            if (bar == std::string::npos) bar = k.choices.size();
            if (same(k.choices.substr(pos, bar - pos), value)) return "";
            pos = bar + 1;
        }
        std::string list = k.choices;
        for (char& c : list)
            if (c == '|') c = ',';
        return "needs one of " + list;
    }
    return "";
}

}  // namespace qorfax
