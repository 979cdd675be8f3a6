// The document list of the send flow, kept in "data/doclist.dat" of the profile.
//
// File format (little-endian): "QDL1", u16 count, u16 zero, u32 change counter, then `count`
// entries of 86 bytes: i16 type, i16 pages, u16 flags, char name[80] (NUL-terminated).
// The file is replaced whole (written aside, synced, then renamed), so a reader never sees half a
// list; changes are made under the list's lock (doclock.cpp).
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "qorlib2.h"
#include "qorul.h"
#include "qorwin32.h"
#include "qorul_durable.h"

namespace {

#pragma pack(push, 1)
struct Entry {
    int16_t type;
    int16_t pages;
    uint16_t flags;
    char name[80];
};
#pragma pack(pop)
static_assert(sizeof(Entry) == 86, "a document list entry is 86 bytes");

constexpr char kMagic[4] = {'Q', 'D', 'L', '1'};
constexpr std::size_t kHeader = 12;

struct Documents {
    bool loaded = false;
    std::string root;        // the profile the list was read from
    std::vector<Entry> entries;
    uint32_t changes = 0;    // the file's change counter when read or written
    uint32_t seen = 0;       // the counter this process last reported through FN_docschanged
    bool seenValid = false;
    FN_DOCAREA area{};
};

Documents& docs() {
    static Documents d;
    return d;
}

std::string listPath() { return std::string(UL_profileroot()) + "data/doclist.dat"; }

int16_t load() {
    if (int16_t st = UL_profileinit()) return st;
    Documents& d = docs();
    const std::string path = listPath();
    std::vector<Entry> entries;
    uint32_t changes = 0;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char h[kHeader];
        const bool headerOk = std::fread(h, 1, kHeader, f) == kHeader && std::memcmp(h, kMagic, 4) == 0;
        uint16_t count = 0;
        if (headerOk) {
            count = static_cast<uint16_t>(h[4] | (h[5] << 8));
            changes = static_cast<uint32_t>(h[8] | (h[9] << 8) | (h[10] << 16)) | (static_cast<uint32_t>(h[11]) << 24);
        }
        bool ok = headerOk && count <= FN_MAXDOCS;
        for (uint16_t i = 0; ok && i < count; ++i) {
            Entry e;
            ok = std::fread(&e, sizeof e, 1, f) == 1;
            if (ok) {
                e.name[sizeof e.name - 1] = '\0';
                entries.push_back(e);
            }
        }
        std::fclose(f);
        if (!ok) return FN_E_DAMAGED;
    }
    const bool sameList = d.loaded && d.root == UL_profileroot();
    d.entries = std::move(entries);
    d.changes = changes;
    d.root = UL_profileroot();
    if (!sameList) {
        d.seenValid = false;
        d.area = FN_DOCAREA{};
    }
    d.loaded = true;
    d.area.count = static_cast<int16_t>(d.entries.size());
    if (d.area.index > d.area.count) {
        d.area.index = 0;
        d.area.type = 0;
        d.area.name[0] = '\0';
    }
    return 0;
}

int16_t ensure() {
    Documents& d = docs();
    if (d.loaded && d.root == UL_profileroot()) return 0;
    return load();
}

int16_t save() {
    Documents& d = docs();
    const uint32_t changes = d.changes + 1;
    const uint16_t count = static_cast<uint16_t>(d.entries.size());
    const unsigned char h[kHeader] = {'Q', 'D', 'L', '1', static_cast<unsigned char>(count & 0xFF),
                                      static_cast<unsigned char>(count >> 8), 0, 0,
                                      static_cast<unsigned char>(changes), static_cast<unsigned char>(changes >> 8),
                                      static_cast<unsigned char>(changes >> 16), static_cast<unsigned char>(changes >> 24)};
    std::string bytes(reinterpret_cast<const char*>(h), kHeader);
    if (!d.entries.empty())
        bytes.append(reinterpret_cast<const char*>(d.entries.data()), d.entries.size() * sizeof(Entry));
    if (int16_t st = qorul::writeWholeFile(listPath(), bytes)) return st == UL_E_DISKFULL ? st : int16_t{UL_E_WRITE};
    d.changes = changes;
    d.area.count = static_cast<int16_t>(count);
    return 0;
}

// The list's lock for the length of one change (nested inside a host's own hold).
class Held {
public:
    Held() : status_(FN_lockdocs(0)) {}
    ~Held() {
        if (status_ == 0) FN_unlockdocs(0);
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    int16_t status() const { return status_; }

private:
    int16_t status_;
};

void setCurrent(int16_t n) {
    Documents& d = docs();
    const Entry& e = d.entries[static_cast<std::size_t>(n - 1)];
    d.area.index = n;
    d.area.type = e.type;
    UL_strcopy(d.area.name, sizeof d.area.name, e.name);
}

}  // namespace

namespace qorlib2_internal {
void forgetDocuments() { docs() = Documents{}; }
}  // namespace qorlib2_internal

int16_t FN_getarea(uint32_t, int16_t number, void** area) {
    if (!area) return UL_E_BADARG;
    *area = nullptr;
    if (number != FN_AREA_DOCLIST) return UL_E_NOAREA;
    // Taking the area reads the list again: another call or process may have added to it.
    if (int16_t st = load()) return st;
    *area = &docs().area;
    return 0;
}

int16_t FN_releasearea(uint32_t, int16_t number) { return number == FN_AREA_DOCLIST ? 0 : int16_t{UL_E_NOAREA}; }

int16_t FN_doccount(uint32_t, int16_t* count) {
    if (!count) return UL_E_BADARG;
    *count = 0;
    if (int16_t st = ensure()) return st;
    *count = docs().area.count;
    return 0;
}

int16_t FN_selectdoc(uint32_t, int16_t n) {
    if (int16_t st = ensure()) return st;
    if (n < 1 || n > docs().area.count) return FN_E_NODOC;
    setCurrent(n);
    return 0;
}

int16_t FN_firstdoc(uint32_t host) { return FN_selectdoc(host, 1) == 0 ? 0 : 1; }

int16_t FN_nextdoc(uint32_t host) {
    if (ensure()) return 1;
    const int16_t next = static_cast<int16_t>(docs().area.index + 1);
    return FN_selectdoc(host, next) == 0 ? 0 : 1;
}

int16_t FN_docinfo(uint32_t, int16_t selector, int32_t* value) {
    if (!value) return UL_E_BADARG;
    *value = 0;
    if (int16_t st = ensure()) return st;
    const Documents& d = docs();
    if (selector == 4) {
        *value = d.area.count;
        return 0;
    }
    if (d.area.index < 1 || d.area.index > d.area.count) return FN_E_NODOC;
    const Entry& e = d.entries[static_cast<std::size_t>(d.area.index - 1)];
    switch (selector) {
        case 1: *value = e.type; return 0;
        case 2: *value = e.pages; return 0;
        case 3: *value = d.area.index; return 0;
        default: return UL_E_BADARG;
    }
}

int16_t FN_getdocname(uint32_t, char* name, std::size_t size) {
    if (!name || size == 0) return UL_E_BADARG;
    name[0] = '\0';
    if (int16_t st = ensure()) return st;
    const Documents& d = docs();
    if (d.area.index < 1 || d.area.index > d.area.count) return FN_E_NODOC;
    UL_strcopy(name, size, d.entries[static_cast<std::size_t>(d.area.index - 1)].name);
    return 0;
}

int16_t FN_adddocument(uint32_t host, const char* file, int16_t pages, uint16_t flags) {
    if (!file || !*file) return UL_E_BADARG;
    if (std::strlen(file) >= sizeof(Entry::name)) return UL_E_PATHLONG;  // never cut a file name
    Held held;
    if (int16_t st = held.status()) return st;
    if (int16_t st = load()) return st;
    Documents& d = docs();
    if (d.entries.size() >= static_cast<std::size_t>(FN_MAXDOCS)) return FN_E_FULL;
    Entry e{};
    e.flags = flags;
    e.pages = pages > 0 ? pages : 1;
    if (flags & 1) {
        e.type = 1;
    } else {
        UL_FAXHEADER h;
        if (int16_t st = UL_readfaxheader(host, file, &h)) return st;
        e.type = h.format ? 1 : 2;
        if (h.format && pages <= 0 && h.pages > 0) e.pages = h.pages;
    }
    UL_strcopy(e.name, sizeof e.name, file);
    d.entries.push_back(e);
    if (int16_t st = save()) {
        d.entries.pop_back();
        return st;
    }
    d.seen = d.changes;  // this process's own change is not news to it
    d.seenValid = true;
    return 0;
}

int16_t FN_docschanged(uint32_t, int16_t* changed) {
    if (!changed) return UL_E_BADARG;
    *changed = 0;
    if (int16_t st = load()) return st;
    Documents& d = docs();
    *changed = (!d.seenValid || d.seen != d.changes) ? 1 : 0;
    d.seen = d.changes;
    d.seenValid = true;
    return 0;
}

// Options live in section [OPTIONS] of the settings file as "Option<n>"; absent ones are 0.
int16_t FN_option(uint32_t host, int16_t number, int16_t* flag) {
    if (!flag) return UL_E_BADARG;
    *flag = 0;
    char settings[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, settings, 41)) return st;
    const std::string key = "Option" + std::to_string(number);
    *flag = static_cast<int16_t>(GetPrivateProfileIntA("OPTIONS", key.c_str(), 0, settings));
    return 0;
}

int16_t FN_cleardocs(uint32_t) {
    Held held;
    if (int16_t st = held.status()) return st;
    if (int16_t st = load()) return st;
    Documents& d = docs();
    if (d.entries.empty()) return 0;
    std::vector<Entry> kept = std::move(d.entries);
    d.entries.clear();
    if (int16_t st = save()) {
        d.entries = std::move(kept);
        return st;
    }
    d.area.index = 0;
    d.area.type = 0;
    d.area.name[0] = '\0';
    d.seen = d.changes;
    d.seenValid = true;
    return 0;
}

int16_t FN_aftersend(uint32_t host) { return FN_cleardocs(host); }
