// The last-numbers list: the five recipients sent to most recently, most recent first, in the
// frame's last-numbers block (5 slots of 80 bytes, each a 31-byte name and a 31-byte number).
// Stored in section "FAX OPERATION" under language text 2128 followed by the slot number from 1,
// as "name;number"; a missing key ("@#$%") is an empty slot.
#include <strings.h>

#include <cstring>
#include <string>

#include "qorwindow.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr const char* kMissing = "@#$%";

// The slots, locked for the life of the guard.
class Slots {
public:
    explicit Slots(uint32_t handle) : handle_(handle) {
        void* p = nullptr;
        status_ = handle ? UL_lockhandle(handle, &p) : int16_t{UL_E_BADHANDLE};
        base_ = static_cast<char*>(p);
    }
    ~Slots() {
        if (status_ == 0) UL_unlockhandle(handle_);
    }
    Slots(const Slots&) = delete;
    Slots& operator=(const Slots&) = delete;
    int16_t status() const { return status_; }
    LastNumberSlot& operator[](uint32_t i) { return *reinterpret_cast<LastNumberSlot*>(base_ + i * kLastNumberSlotSize); }

private:
    uint32_t handle_;
    int16_t status_;
    char* base_ = nullptr;
};

static_assert(sizeof(LastNumberSlot) <= kLastNumberSlotSize, "a slot fits its 80 bytes");

// The slots as loaded or last saved: a session that stored no number writes none back, so it
// never sets back what another session stored meanwhile.
std::string& loadedSlots() {
    static std::string s;
    return s;
}

std::string slotBytes(Slots& slots) {
    std::string bytes;
    for (uint32_t i = 0; i < kLastNumberSlots; ++i)
        bytes.append(reinterpret_cast<const char*>(&slots[i]), sizeof(LastNumberSlot));
    return bytes;
}

int16_t keyPrefix(uint32_t host, std::string* prefix, char* settings) {
    char text[80];
    if (int16_t st = UL_loadstring(host, text, kLangModule, 2128)) return st;
    *prefix = text;
    return UL_getpath(host, settings, UL_MAXPATH, 41);
}

}  // namespace

int16_t SF_getlastnumbers(uint32_t host) {
    std::string prefix;
    char settings[UL_MAXPATH];
    if (int16_t st = keyPrefix(host, &prefix, settings)) return st;
    Slots slots(frame().lastNumbersHandle);
    if (int16_t st = slots.status()) return st;
    for (uint32_t i = 0; i < kLastNumberSlots; ++i) {
        const std::string key = prefix + std::to_string(i + 1);
        char value[80];
        GetPrivateProfileStringA(kFaxSection, key.c_str(), kMissing, value, sizeof value, settings);
        LastNumberSlot& s = slots[i];
        std::memset(&s, 0, sizeof s);
        if (std::strcmp(value, kMissing) == 0) continue;
        // Split at the last ';': a name may hold a ';' of its own. Each part is cut to 30.
        const std::string v = value;
        const std::size_t semi = v.rfind(';');
        if (semi == std::string::npos) {
            UL_strcopy(s.name, v.c_str());
        } else {
            UL_strcopy(s.name, v.substr(0, semi).c_str());
            UL_strcopy(s.number, v.substr(semi + 1).c_str());
        }
    }
    loadedSlots() = slotBytes(slots);
    return 0;
}

int16_t SF_savelastnumbers(uint32_t host) {
    std::string prefix;
    char settings[UL_MAXPATH];
    if (int16_t st = keyPrefix(host, &prefix, settings)) return st;
    Slots slots(frame().lastNumbersHandle);
    if (int16_t st = slots.status()) return st;
    const std::string now = slotBytes(slots);
    if (now == loadedSlots()) return 0;
    for (uint32_t i = 0; i < kLastNumberSlots; ++i) {
        const std::string key = prefix + std::to_string(i + 1);
        const LastNumberSlot& s = slots[i];
        BOOL ok;
        if (!s.number[0]) {
            ok = WritePrivateProfileStringA(kFaxSection, key.c_str(), nullptr, settings);
        } else {
            const std::string value = std::string(s.name, ::strnlen(s.name, sizeof s.name)) + ";" +
                                      std::string(s.number, ::strnlen(s.number, sizeof s.number));
            ok = WritePrivateProfileStringA(kFaxSection, key.c_str(), value.c_str(), settings);
        }
        if (!ok) return SF_SETTINGSWRITE;
    }
    loadedSlots() = now;
    return 0;
}

namespace {

// The position from 1 of the first slot whose `key` field equals the text without regard to case
// (0 when none does, or the text is empty); the slot's `other` field is copied out when found.
using SlotField = char (LastNumberSlot::*)[31];
int16_t findSlot(const char* text, SlotField key, SlotField other, char* otherOut) {
    if (!text || !*text) return 0;
    Slots slots(frame().lastNumbersHandle);
    if (slots.status()) return 0;
    for (uint32_t i = 0; i < kLastNumberSlots; ++i) {
        if (::strcasecmp(slots[i].*key, text) == 0) {
            if (otherOut) UL_strcopy(otherOut, 31, slots[i].*other);
            return static_cast<int16_t>(i + 1);
        }
    }
    return 0;
}

}  // namespace

int16_t SF_findnameinlastnumbers(uint32_t, const char* name, char* numberOut) {
    return findSlot(name, &LastNumberSlot::name, &LastNumberSlot::number, numberOut);
}

int16_t SF_findnumberinlastnumbers(uint32_t, const char* number, char* nameOut) {
    return findSlot(number, &LastNumberSlot::number, &LastNumberSlot::name, nameOut);
}

int16_t SF_storelastnumber(uint32_t host, const char* name, const char* number) {
    const char* n = name ? name : "";
    const char* num = number ? number : "";
    int16_t p = *n ? SF_findnameinlastnumbers(host, n, nullptr) : SF_findnumberinlastnumbers(host, num, nullptr);
    if (p == 0) p = static_cast<int16_t>(kLastNumberSlots);
    Slots slots(frame().lastNumbersHandle);
    if (int16_t st = slots.status()) return st;
    for (int i = p - 2; i >= 0; --i) slots[static_cast<uint32_t>(i + 1)] = slots[static_cast<uint32_t>(i)];
    LastNumberSlot& first = slots[0];
    std::memset(&first, 0, sizeof first);
    UL_strcopy(first.name, n);
    UL_strcopy(first.number, num);
    return 0;
}

int16_t SF_getalastnumber(uint32_t, HWND, int16_t buttonId, char* numberOut, char* nameOut) {
    const int slot = buttonId - 161;
    if (slot < 0 || slot >= static_cast<int>(kLastNumberSlots)) return SF_BADARGUMENT;
    Slots slots(frame().lastNumbersHandle);
    if (int16_t st = slots.status()) return st;
    if (numberOut) UL_strcopy(numberOut, 31, slots[static_cast<uint32_t>(slot)].number);
    if (nameOut) UL_strcopy(nameOut, 31, slots[static_cast<uint32_t>(slot)].name);
    return 0;
}

int16_t SF_showlastnumbers(uint32_t, HWND window) {
    Slots slots(frame().lastNumbersHandle);
    if (int16_t st = slots.status()) return st;
    // A button shows its slot's name, else its number; an empty slot shows its position.
    for (uint32_t i = 0; i < kLastNumberSlots; ++i) {
        char name[31] = {}, number[31] = {};
        UL_strcopy(name, slots[i].name);
        UL_strcopy(number, slots[i].number);
        const std::string label = name[0] ? name : number[0] ? number : std::to_string(i);
        SetDlgItemTextA(window, static_cast<int>(161 + i), label.c_str());
    }
    return 0;
}

}  // namespace qorsf
