// The fax parameters: "sf.dat", the "FAX OPERATION" settings keys, the "GENERAL" texts, the
// phone book path and the two small accessors SF_getparm and SF_adjustparm.
#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "frame/services/guards.h"
#include "qorul_durable.h"

namespace qorsf {

namespace {

// A key's value as read when the key is missing; it cannot be a real value.
constexpr const char* kMissing = "@#$%";

// The parameters as this process loaded (or last saved) them: the save at close writes back only
// what the session changed since, so that sessions running side by side never undo each other.
struct ParamsState {
    bool snapshot = false;
    SF_PARAMS loaded{};
    uint16_t word2209 = 0;
    bool damaged = false;  // "sf.dat" was cut: it is rewritten whole at once
};
ParamsState& paramsState() {
    static ParamsState s;
    return s;
}

// The fields of "sf.dat", each taken whole from one side when merging.
struct Field {
    std::size_t offset, size;
};
constexpr Field kFields[] = {
    {offsetof(SF_PARAMS, ccardinuse), 4},   {offsetof(SF_PARAMS, ccard), sizeof(CC_SETUP)},
    {offsetof(SF_PARAMS, sendera), 80},     {offsetof(SF_PARAMS, senderb), 80},
    {offsetof(SF_PARAMS, senderc), 113},    {offsetof(SF_PARAMS, dialprefix), 31},
    {offsetof(SF_PARAMS, dialsuffix), 31},  {offsetof(SF_PARAMS, headername), 80},
    {offsetof(SF_PARAMS, footername), 80},  {offsetof(SF_PARAMS, spare1), 111},
    {offsetof(SF_PARAMS, word2203), 2},     {offsetof(SF_PARAMS, word2200), 2},
    {offsetof(SF_PARAMS, word2202), 2},     {offsetof(SF_PARAMS, word2201), 2},
    {offsetof(SF_PARAMS, word2204), 2},     {offsetof(SF_PARAMS, spare2), 2},
};

bool fieldChanged(const SF_PARAMS& now, const SF_PARAMS& before, const Field& f) {
    return std::memcmp(reinterpret_cast<const char*>(&now) + f.offset, reinterpret_cast<const char*>(&before) + f.offset,
                       f.size) != 0;
}

int16_t datLock(uint32_t host, qorul::FileLock* lock) {
    char path[UL_MAXPATH];
    if (int16_t st = SF_datpath(host, path, sizeof path)) return st;
    return lock->take(std::string(path) + ".lock", qorul::lockWaitMilliseconds());
}


int16_t readWord(uint32_t host, uint16_t number, uint16_t* word) {
    char buf[80];
    if (int16_t st = SF_getsetting(host, number, buf, sizeof buf)) return st;
    *word = SF_settingword(buf);
    return 0;
}

int16_t readText(uint32_t host, uint16_t number, char* field, std::size_t size) {
    char buf[80];
    if (int16_t st = SF_getsetting(host, number, buf, sizeof buf)) return st;
    UL_strcopy(field, size, buf);
    return 0;
}

int16_t writeWord(uint32_t host, uint16_t number, uint16_t word) {
    return SF_putsetting(host, number, std::to_string(word).c_str());
}

}  // namespace

uint16_t SF_settingword(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        // Keep the low 16 bits as the words are 16-bit; stop growing long before overflow.
        value = (value * 10 + (*p++ - '0')) % 65536;
    }
    return static_cast<uint16_t>(negative ? -value : value);
}

int16_t SF_getsetting(uint32_t host, uint16_t number, char* buf, std::size_t size) {
    if (!buf || size == 0) return UL_E_BADARG;
    buf[0] = '\0';
    char key[80];
    if (int16_t st = UL_loadstring(host, key, kLangModule, number)) return st;
    char settings[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, settings, 41)) return st;
    char value[80];
    GetPrivateProfileStringA(kFaxSection, key, kMissing, value, sizeof value, settings);
    if (std::strcmp(value, kMissing) == 0) return 1;
    UL_strcopy(buf, size, value);
    return 0;
}

int16_t SF_putsetting(uint32_t host, uint16_t number, const char* value) {
    char key[80];
    if (int16_t st = UL_loadstring(host, key, kLangModule, number)) return st;
    char settings[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, settings, 41)) return st;
    if (!WritePrivateProfileStringA(kFaxSection, key, value, settings)) return SF_SETTINGSWRITE;
    return 0;
}

int16_t SF_datpath(uint32_t host, char* path, std::size_t size) {
    if (int16_t st = UL_getpath(host, path, size, 24)) return st;
    UL_endpath(path, size);
    std::size_t len = std::strlen(path);
    if (len + std::strlen("sf.dat") >= UL_MAXPATH || len + std::strlen("sf.dat") >= size) {
        path[0] = '\0';
        return UL_E_PATHLONG;
    }
    UL_strcopy(path + len, size - len, "sf.dat");
    return 0;
}

int16_t SF_readdata(uint32_t host, SF_PARAMS* record) {
    char path[UL_MAXPATH];
    int16_t st = SF_datpath(host, path, sizeof path);
    if (st) {
        UL_errorlog(host, "SF_readdata", st);
        return st;
    }
    std::string bytes;
    st = qorul::readWholeFile(path, &bytes);
    if (st == UL_E_NOTFOUND) {
        frame().firstRun = 1;
        SF_setdefaults(record);
        return 0;
    }
    if (st) {
        UL_errorlog(host, "SF_readdata", st);
        return st;
    }
    frame().firstRun = 0;
    if (bytes.size() >= sizeof *record) {
        std::memcpy(record, bytes.data(), sizeof *record);  // a longer file keeps its tail on disk
        return 0;
    }
    // A cut file: what it holds is the record as loaded so far; the defaults and the settings
    // keys give the rest, and the record is saved whole at once. The damaged file is kept.
    std::memcpy(record, bytes.data(), bytes.size());
    SF_setdefaults(record);
    paramsState().damaged = true;
    UL_errorlog(host, "SF_readdata", UL_E_READ);
    if (!bytes.empty()) {
        const std::string kept = std::string(path) + ".damaged";
        if (qorul::writeWholeFile(kept, bytes) == 0) UL_reporterror(host, 2245, kept.c_str());
    }
    return 0;
}

int16_t SF_writedata(uint32_t host, const SF_PARAMS* record) {
    char path[UL_MAXPATH];
    int16_t st = SF_datpath(host, path, sizeof path);
    std::string bytes;
    if (st == 0) {
        // The 682 bytes replace the record's place in the file; a longer file keeps its tail.
        std::string old;
        if (qorul::readWholeFile(path, &old) == 0 && old.size() > sizeof *record) bytes = old.substr(sizeof *record);
        bytes.insert(0, reinterpret_cast<const char*>(record), sizeof *record);
        st = qorul::writeWholeFile(path, bytes);
    }
    if (st) UL_errorlog(host, "SF_writedata", st);
    return st;
}

void SF_setdefaults(SF_PARAMS* record) {
    record->word2200 = 1;
    record->word2202 = 1;
    record->word2203 = 1;
    record->word2201 = 0;
    UL_strcopy(record->headername, "HEADER");
    UL_strcopy(record->footername, "FOOTER");
}

int16_t SF_loadparams(uint32_t host, SF_PARAMS* record) {
    FrameState& f = frame();
    if (int16_t st = SF_readdata(host, record)) return st;
    if (int16_t st = readWord(host, 2200, &record->word2200)) return st;
    if (int16_t st = readWord(host, 2202, &record->word2202)) return st;
    if (int16_t st = readWord(host, 2201, &record->word2201)) return st;
    if (int16_t st = readWord(host, 2203, &record->word2203)) return st;
    if (int16_t st = readWord(host, 2204, &record->word2204)) return st;
    if (int16_t st = readText(host, 2207, record->headername, sizeof record->headername)) return st;
    if (int16_t st = readText(host, 2208, record->footername, sizeof record->footername)) return st;
    if (int16_t st = readWord(host, 2209, &f.word2209)) return st;
    if (int16_t st = readWord(host, 2211, &f.word2211)) return st;
    // Optional keys: a missing one keeps the word as it was.
    uint16_t word = 0;
    int16_t st = readWord(host, 2205, &word);
    if (st == 0) f.word2205 = word;
    else if (st != 1) return st;
    st = readWord(host, 2210, &word);
    if (st == 0) f.word2210 = word;
    else if (st != 1) return st;
    return 0;
}

int16_t SF_saveparams(uint32_t host, const SF_PARAMS* record) {
    const FrameState& f = frame();
    {
        qorul::FileLock lock;
        if (int16_t st = datLock(host, &lock)) return st;
        if (int16_t st = SF_writedata(host, record)) return st;
    }
    if (int16_t st = writeWord(host, 2200, record->word2200)) return st;
    if (int16_t st = writeWord(host, 2202, record->word2202)) return st;
    if (int16_t st = writeWord(host, 2201, record->word2201)) return st;
    if (int16_t st = writeWord(host, 2203, record->word2203)) return st;
    if (int16_t st = SF_putsetting(host, 2207, record->headername)) return st;
    if (int16_t st = SF_putsetting(host, 2208, record->footername)) return st;
    if (int16_t st = writeWord(host, 2204, record->word2204)) return st;
    if (int16_t st = writeWord(host, 2209, f.word2209)) return st;
    SF_snapshotparams(record);
    return 0;
}

void SF_snapshotparams(const SF_PARAMS* record) {
    ParamsState& s = paramsState();
    s.snapshot = true;
    s.loaded = *record;
    s.word2209 = frame().word2209;
    s.damaged = false;
}

int16_t SF_saveparamchanges(uint32_t host, const SF_PARAMS* record) {
    ParamsState& s = paramsState();
    if (!s.snapshot) return SF_saveparams(host, record);
    const SF_PARAMS& before = s.loaded;
    {
        // Read, merge and replace under the lock of "sf.dat", so that two sessions closing at
        // once both keep their changes.
        qorul::FileLock lock;
        if (int16_t st = datLock(host, &lock)) return st;
        char path[UL_MAXPATH];
        if (int16_t st = SF_datpath(host, path, sizeof path)) return st;
        std::string onDisk;
        SF_PARAMS merged = before;
        const bool whole = qorul::readWholeFile(path, &onDisk) == 0 && onDisk.size() >= sizeof merged;
        if (whole) std::memcpy(&merged, onDisk.data(), sizeof merged);
        bool changed = !whole;
        for (const Field& fd : kFields) {
            if (!fieldChanged(*record, before, fd)) continue;
            std::memcpy(reinterpret_cast<char*>(&merged) + fd.offset, reinterpret_cast<const char*>(record) + fd.offset,
                        fd.size);
            changed = true;
        }
        if (changed) {
            if (int16_t st = SF_writedata(host, &merged)) return st;
        }
    }
    // The settings keys the session changed, in the order of the full save.
    if (record->word2200 != before.word2200)
        if (int16_t st = writeWord(host, 2200, record->word2200)) return st;
    if (record->word2202 != before.word2202)
        if (int16_t st = writeWord(host, 2202, record->word2202)) return st;
    if (record->word2201 != before.word2201)
        if (int16_t st = writeWord(host, 2201, record->word2201)) return st;
    if (record->word2203 != before.word2203)
        if (int16_t st = writeWord(host, 2203, record->word2203)) return st;
    if (std::strncmp(record->headername, before.headername, sizeof before.headername) != 0)
        if (int16_t st = SF_putsetting(host, 2207, record->headername)) return st;
    if (std::strncmp(record->footername, before.footername, sizeof before.footername) != 0)
        if (int16_t st = SF_putsetting(host, 2208, record->footername)) return st;
    if (record->word2204 != before.word2204)
        if (int16_t st = writeWord(host, 2204, record->word2204)) return st;
    if (frame().word2209 != s.word2209)
        if (int16_t st = writeWord(host, 2209, frame().word2209)) return st;
    SF_snapshotparams(record);
    return 0;
}

bool SF_paramsdamaged() { return paramsState().damaged; }

int16_t SF_readgeneral(uint32_t host, SF_PARAMS* record) {
    struct Target {
        uint16_t key;
        char* field;
        std::size_t size;
    };
    const Target targets[] = {
        {4150, record->sendera, sizeof record->sendera},
        {4151, record->senderb, sizeof record->senderb},
        {4153, record->senderc, sizeof record->senderc},
        {4160, record->dialprefix, sizeof record->dialprefix},
        {4161, record->dialsuffix, sizeof record->dialsuffix},
    };
    for (const Target& t : targets) {
        char text[256];
        if (int16_t st = VQ_getconfig(host, 1, "GENERAL", t.key, text, sizeof text)) return st;
        char trimmed[128];
        UX_textcopy(trimmed, text);
        UL_strcopy(t.field, t.size, trimmed);
    }
    return 0;
}

int16_t SF_getparm(uint32_t, int16_t selector, uint16_t* word) {
    if (!word) return 0;
    if (selector == 4) *word = frame().sendState;
    else if (selector == 5) *word = frame().selector5;
    return 0;
}

int16_t SF_adjustparm(uint32_t host, int16_t selector, const void* value) {
    FrameState& f = frame();
    SF_PARAMS* p = params();
    auto copyText = [&](char* field, std::size_t size) -> int16_t {
        if (!p) return SF_WRONGSTATE;  // the library is not open: there is no record to change
        if (!value) return UL_E_BADARG;
        UL_strcopy(field, size, static_cast<const char*>(value));
        return 0;
    };
    switch (selector) {
    case 1: return copyText(p ? p->dialprefix : nullptr, sizeof(SF_PARAMS::dialprefix));
    case 2: return copyText(p ? p->sendera : nullptr, sizeof(SF_PARAMS::sendera));
    case 3: return copyText(p ? p->dialsuffix : nullptr, sizeof(SF_PARAMS::dialsuffix));
    case 5:
        if (!value) return UL_E_BADARG;
        std::memcpy(&f.selector5, value, sizeof f.selector5);
        return 0;
    default: {
        int16_t v = 0;
        if (int16_t st = UL_getvalue(host, 1, &v)) return st;
        f.systemWord1 = v;
        return 0;
    }
    }
}

int16_t SF_getphonebookpath(uint32_t host, char* path) {
    if (!path) return UL_E_BADARG;
    FrameState& f = frame();
    if (f.phonebookPath[0] == '\0') {
        char value[80];
        int16_t st = SF_getsetting(host, 2206, value, sizeof value);
        if (st > 1) return st;
        if (st == 0 && value[0] != '\0') {
            UL_strcopy(f.phonebookPath, value);
        } else {
            char dir[UL_MAXPATH];
            if ((st = UL_getpath(host, dir, 24))) return st;
            std::string def = std::string(dir) + "personal.pbk";
            if (def.size() >= sizeof f.phonebookPath) return UL_E_PATHLONG;
            UL_strcopy(f.phonebookPath, def.c_str());
            if (SF_putsetting(host, 2206, f.phonebookPath) != 0) {
                // The cache keeps the path, so the next call succeeds without writing.
                UL_strcopy(path, 80, f.phonebookPath);
                return SF_SETTINGSWRITE;
            }
        }
    }
    UL_strcopy(path, 80, f.phonebookPath);
    return 0;
}

int16_t SF_setphonebookpath(uint32_t host, const char* path) {
    if (!path) return UL_E_BADARG;
    if (std::strlen(path) >= sizeof frame().phonebookPath) return UL_E_PATHLONG;
    UL_strcopy(frame().phonebookPath, path);
    return SF_putsetting(host, 2206, path) ? SF_SETTINGSWRITE : 0;
}

void SF_errorbox(uint32_t host, HWND window, uint16_t text, uint16_t caption) {
    char message[256] = {};
    char title[80] = {};
    UL_loadstring(host, message, kLangModule, text);
    UL_loadstring(host, title, kLangModule, caption);
    UT_msgbox(host, window, message, title, MB_ICONERROR);
}

}  // namespace qorsf
