// The names file and the groups file: export, import and their line readers.
//
// Names file: one line per name, in name order, nine fields each in double quotes, separated by
// single commas, nothing else on the line:
//     "name","number","company","text1","text2","voice","text3","altnumber","othernumber"
// Field texts are written as they stand (no quote or comma inside them is doubled or escaped).
// Groups file (the names file's path with the extension "GLS"): one line per membership:
//     "group","name"
// A group without members is written as a line with an empty name, "group","": the reader
// makes the group's own record of it.
// Lines end with CR LF. The reader takes LF alone too. Both files are written whole: a new file
// replaces the old one only when the whole export worked.
#include <dirent.h>
#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/services/guards.h"
#include "phonebook/recipients.h"
#include "phonebook/session.h"

namespace qorsf {

namespace {

constexpr std::size_t kNamesLine = 512;   // a names file line: at most 511 characters
constexpr std::size_t kGroupsLine = 256;  // a groups file line: at most 255
// Lines are read into twice the room, so that a longer line is seen and refused, not cut.
constexpr std::size_t kReadRoom = 1024;
constexpr std::size_t kTextProbe = 4096;  // bytes looked at to tell text from other files
constexpr int16_t kImportKind = 53;       // kind word of the recipient hand-out during an import
constexpr int16_t SF_NOTTEXT = 20238;     // the names or groups file is not a text file



// A file with a NUL byte among its first bytes is not a text file: its "lines" would be cut at
// the NUL and turn into names made of whatever bytes happen to stand before it.
int16_t checkText(uint32_t host, uint32_t file, const char* path) {
    uint32_t size = 0;
    if (int16_t st = UL_filesize(host, path, &size)) return st;
    if (size == 0) return 0;
    char probe[kTextProbe];
    const uint32_t n = size < kTextProbe ? size : static_cast<uint32_t>(kTextProbe);
    if (int16_t st = UL_fread(host, file, probe, n)) return st;
    if (std::memchr(probe, '\0', n)) return SF_NOTTEXT;
    int32_t position = 0;
    return UL_fseek(host, file, 0, 1, &position);
}

// Opens a names or groups file for reading and makes sure that it is text.
int16_t openText(uint32_t host, const char* path, HostFile& file, const char* operation) {
    int16_t st = UL_fopenread(host, path, 1, file.out());
    if (st == 0) st = checkText(host, file.get(), path);
    if (st) UL_errorlog(host, operation, st);
    return st;
}

// Whether every text of the entry (and the name) can be written faithfully.
bool entrySafe(const char* name, const PB_ENTRY& e) {
    for (const char* field : {name, e.number, e.company, e.text1, e.text2, e.voice, e.text3, e.altnumber,
                              e.othernumber})
        if (!SF_filesafe(field)) return false;
    return true;
}

std::string lineNumber(uint32_t n) { return std::to_string(n); }

// One line of a names file as the export writes it.
std::string namesLine(const char* name, const PB_ENTRY& e) {
    std::string line;
    for (const char* field : {name, e.number, e.company, e.text1, e.text2, e.voice, e.text3, e.altnumber,
                              e.othernumber}) {
        if (!line.empty()) line += ',';
        line += '"';
        line += field;
        line += '"';
    }
    return line;
}

// The recipient list during an import: its header and hand-out position are saved, the list is
// emptied for the names file, and on every return its items are freed and the saved list put back.
class BorrowedRecipients {
public:
    explicit BorrowedRecipients(uint32_t host) : host_(host) {
        std::memcpy(&saved_, &recipientList(), sizeof saved_);
        savedCursor_ = recipientCursor();
        std::memset(&recipientList(), 0, sizeof(UT_LIST));
    }
    ~BorrowedRecipients() {
        UT_listfree(host_, &recipientList());
        std::memcpy(&recipientList(), &saved_, sizeof saved_);
        recipientCursor() = savedCursor_;
    }
    BorrowedRecipients(const BorrowedRecipients&) = delete;
    BorrowedRecipients& operator=(const BorrowedRecipients&) = delete;

private:
    uint32_t host_;
    UT_LIST saved_{};
    RecipientCursor savedCursor_;
};

}  // namespace

void SF_groupspath(const char* namesPath, char* out, std::size_t outsize) {
    if (!out || outsize == 0) return;
    std::string path = namesPath ? namesPath : "";
    // Only a '.' of the file name counts, not one of a directory above it.
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot + 1) += "GLS";
    else
        path += ".GLS";
    UL_strcopy(out, outsize, path.c_str());
}

bool SF_filesafe(const char* text) {
    if (!text) return true;
    for (const char* q = std::strchr(text, '"'); q; q = std::strchr(q + 1, '"')) {
        const char* after = q + 1;
        while (*after == ' ' || *after == '\t') ++after;
        if (*after == ',') return false;
    }
    return true;
}

bool SF_findgroupsfile(const char* namesPath, char* out, std::size_t outsize) {
    char exact[UL_MAXPATH * 2];
    SF_groupspath(namesPath, exact, sizeof exact);
    int16_t exists = 0;
    if (UL_fileexists(exact, &exists) == 0 && exists) {
        UL_strcopy(out, outsize, exact);
        return true;
    }
    // Peers of other systems write ".gls" or ".Gls": on a file system that tells cases apart,
    // look for the name in any case. The exact name wins; otherwise the first in name order.
    const std::string wanted(exact);
    const std::size_t slash = wanted.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : wanted.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? wanted : wanted.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    // The names file itself is never its own groups file ("x.gls" read as names).
    const std::string names(namesPath ? namesPath : "");
    const std::string namesBase = names.substr(names.rfind('/') == std::string::npos ? 0 : names.rfind('/') + 1);
    std::string best;
    while (const dirent* entry = ::readdir(d)) {
        if (::strcasecmp(entry->d_name, base.c_str()) != 0) continue;
        if (namesBase == entry->d_name) continue;
        if (best.empty() || std::strcmp(entry->d_name, best.c_str()) < 0) best = entry->d_name;
    }
    ::closedir(d);
    if (best.empty()) return false;
    const std::string found = slash == std::string::npos ? best : dir + best;
    if (found.size() >= outsize) return false;
    UL_strcopy(out, outsize, found.c_str());
    return true;
}

int16_t SF_exportphonebook(uint32_t host, const char* path) {
    if (!path || !*path) return UL_E_BADARG;
    struct Block {
        char info[kPbInfoWidth];
        char groupsPath[160];
        char name[kPbKeyWidth + 1];
        char group[kPbKeyWidth + 1];
        PB_ENTRY entry;
        char line[kNamesLine];
    };
    static_assert(sizeof(Block) == 1813);
    WorkBlock<Block> b;
    if (int16_t st = b.allocate()) return st;
    SF_groupspath(path, b->groupsPath, sizeof b->groupsPath);
    // A names file named like its own groups file (in any case) would be replaced or deleted by
    // the groups step.
    if (::strcasecmp(b->groupsPath, path) == 0) return UL_E_CREATE;

    struct CloseStore {
        uint32_t host;
        ~CloseStore() { SF_epilog(host); }
    } closeStore{host};
    HostFile names(host), groups(host);
    auto failed = [host](int16_t st) {
        UL_errorlog(host, "SF_exportphonebook", st);
        return st;
    };

    // Both files are written aside and replace the old ones only when the whole export
    // worked: a failure leaves the user's earlier export as it was.
    if (int16_t st = UL_fcreatewhole(host, path, names.out())) return failed(st);
    uint32_t leftOut = 0, written = 0;
    std::vector<std::string> namesLeftOut;  // their memberships are left out too
    uint16_t found = 0;
    if (int16_t st = SF_getfirstname(host, b->name, &found)) return failed(st);
    while (found) {
        if (!SF_isblank(b->name)) {
            // The details are those of the name's own record. The first record of the name in
            // key order may be a membership whose copy of the details is empty or stale; it
            // serves only when the name has no record of its own with details.
            char group[kPbKeyWidth + 1];
            if (int16_t st = SF_getcurrentrec(host, b->name, group, b->info)) return failed(st);
            char own[kPbInfoWidth];
            if (int16_t st = SF_nametophone(host, b->name, own)) return failed(st);
            if (own[0] != '\0') std::memcpy(b->info, own, kPbInfoWidth);
            qorsf::SF_infotoentry(host, b->info, &b->entry);
            if (!entrySafe(b->name, b->entry)) {
                // Written as it stands, the line would be read back with its fields shifted.
                UL_reporterror(host, SF_NAMELEFTOUT, b->name);
                UL_errorlog(host, "SF_exportphonebook", SF_NAMELEFTOUT);
                namesLeftOut.emplace_back(b->name);
                ++leftOut;
            } else {
                const std::string line = namesLine(b->name, b->entry);
                if (int16_t st = UL_fputline(host, names.get(), line.c_str())) return failed(st);
                UL_progress(host, "export", ++written, 0);
            }
        }
        if (int16_t st = SF_getnextname(host, b->name, &found)) return failed(st);
    }

    auto groupLine = [&](const std::string& line) -> int16_t {
        if (!groups.isOpen())
            if (int16_t st = UL_fcreatewhole(host, b->groupsPath, groups.out())) return st;
        return UL_fputline(host, groups.get(), line.c_str());
    };
    if (int16_t st = SF_getfirstgroup(host, b->group, &found)) return failed(st);
    while (found) {
        const bool groupSafe = SF_filesafe(b->group);
        if (!groupSafe) {
            UL_reporterror(host, SF_GROUPLEFTOUT, b->group);
            UL_errorlog(host, "SF_exportphonebook", SF_GROUPLEFTOUT);
            ++leftOut;
        }
        uint16_t member = 0;
        bool anyMember = false;
        if (int16_t st = SF_getfirstmember(host, b->group, b->name, &member)) return failed(st);
        while (member) {
            if (!SF_isblank(b->name)) {
                anyMember = true;
                // A name the names file could not hold was reported there already; a membership
                // of it alone would bring the name back without its details.
                bool nameWritten = SF_filesafe(b->name);
                for (const std::string& n : namesLeftOut)
                    if (SF_strcmp(n.c_str(), b->name) == 0) nameWritten = false;
                if (groupSafe && nameWritten) {
                    if (int16_t st = groupLine(std::string("\"") + b->group + "\",\"" + b->name + "\""))
                        return failed(st);
                }
            }
            if (int16_t st = SF_getnextmember(host, b->group, b->name, &member)) return failed(st);
        }
        // A group without members survives as its own line with an empty name.
        if (!anyMember && groupSafe)
            if (int16_t st = groupLine(std::string("\"") + b->group + "\",\"\"")) return failed(st);
        if (int16_t st = SF_getnextgroup(host, b->group, &found)) return failed(st);
    }

    if (int16_t st = names.commit()) return failed(st);
    if (groups.isOpen()) {
        if (int16_t st = groups.commit()) return failed(st);
    } else {
        // No group at all: an old groups file must not outlive this export.
        char old[UL_MAXPATH * 2];
        while (SF_findgroupsfile(path, old, sizeof old))
            if (UL_fdelete(host, old) != 0) break;
    }
    UL_progress(host, "export", UL_PROGRESS_END, 0);
    if (leftOut) return failed(SF_EXPORTPARTIAL);
    return 0;
}

int16_t SF_importphonebook(uint32_t host, const char* path) {
    if (!path || !*path) return UL_E_BADARG;
    struct Block {
        PB_ENTRY entry;
        PB_RECORD record;
        UT_LIST saved;
    };
    static_assert(sizeof(Block) == 1166);
    WorkBlock<Block> b;
    if (int16_t st = b.allocate()) return st;
    BorrowedRecipients list(host);
    // The whole import is one unit for the store's journal, synced once at its end: a crash
    // or a failing disk leaves all its names or none. A fault of the files it reads stops it
    // with its status, and what it imported before stays, as it always has.
    struct ImportUnit {
        char path[80] = {};
        bool begun = false;
        ~ImportUnit() {
            if (begun) DB_endunit(path, true);
        }
    } unit;
    if (SF_getphonebookpath(host, unit.path) == 0) unit.begun = DB_beginunit(unit.path) == 0;

    uint16_t count = 0;
    if (int16_t st = SF_readcsvfile(host, &recipientList(), path, &count)) return st;
    recipientCursor().position = 0;
    recipientCursor().kind = kImportKind;
    // The list's own count: the 16-bit count stops at 65535, a names file need not.
    const uint32_t items = UT_listcount(&recipientList());
    for (uint32_t i = 0; i < items; ++i) {
        uint16_t end = 0;
        if (int16_t st = SF_getphone(host, &b->entry, &end)) return st;
        if (end) break;
        if (SF_isblank(b->entry.name)) {
            // A blank name cannot be stored: it would stand for a group's own record.
            UL_errorlog(host, "SF_importphonebook", SF_CSVNOFIELD);
            continue;
        }
        qorsf::SF_entrytoinfo(host, &b->entry, b->record.info);
        b->record.info[kPbInfoWidth] = '\0';
        UL_strcopy(b->record.name, b->entry.name);
        b->record.group[0] = '\0';
        if (int16_t st = qorsf::SF_addphone(host, b->entry.name, &b->record)) return st;
        UL_progress(host, "import", i + 1, items);
    }
    UT_listfree(host, &recipientList());

    char groupsPath[UL_MAXPATH * 2];
    if (SF_findgroupsfile(path, groupsPath, sizeof groupsPath)) {  // else names only
        if (int16_t st = SF_importgroups(host, groupsPath)) return st;
    }
    if (!unit.begun) return 0;
    unit.begun = false;
    if (int16_t st = DB_endunit(unit.path, true)) {
        UL_errorlog(host, "SF_importphonebook", st);
        return SF_STOREFAILED;
    }
    return 0;
}

int16_t SF_readcsvfile(uint32_t host, UT_LIST* list, const char* path, uint16_t* count) {
    if (count) *count = 0;
    if (!list || !path || !count) return UL_E_BADARG;
    HostFile file(host);
    if (int16_t st = openText(host, path, file, "SF_readcsvfile")) return st;
    char line[kReadRoom];
    PB_ENTRY entry;
    for (uint32_t number = 1;; ++number) {
        int16_t end = 0;
        // Read failures (a directory, a device error) are failures, not the end of the file.
        if (int16_t st = UL_freadline(host, file.get(), line, sizeof line, &end)) {
            UL_errorlog(host, "SF_readcsvfile", st);
            return st;
        }
        if (end) break;
        if (std::strlen(line) >= kNamesLine) {
            // A cut line would lose the fields at its end without a word: refused, by number.
            UL_reporterror(host, SF_CSVLINELONG, lineNumber(number).c_str());
            UL_errorlog(host, "SF_readcsvfile", SF_CSVLINELONG);
            return SF_CSVLINELONG;
        }
        // An empty line does not end the file: the names after it are read too.
        if (line[0] == '\0') continue;
        std::memset(&entry, 0, sizeof entry);
        if (SF_decodecsv(host, line, &entry) != 0) continue;
        if (int16_t st = UT_listadd(host, list, &entry, sizeof entry)) return st;
    }
    const uint32_t n = UT_listcount(list);
    *count = static_cast<uint16_t>(n > 65535 ? 65535 : n);
    return 0;
}

int16_t SF_decodecsv(uint32_t host, char* line, PB_ENTRY* entry) {
    if (!line || !entry) return UL_E_BADARG;
    std::memset(entry, 0, sizeof *entry);
    char* fields[9] = {};
    int16_t count = 0;
    if (int16_t st = UT_splitfields(host, line, ",", 9, fields, &count)) return st;
    if (count <= 0) {
        UL_errorlog(host, "SF_decodecsv", SF_CSVNOFIELD);
        return SF_CSVNOFIELD;
    }
    struct Target {
        char* field;
        std::size_t size;  // the entry's buffer: the width plus the NUL
        int16_t cut;       // recorded when the text was longer than the width
    };
    const Target targets[9] = {
        {entry->name, sizeof entry->name, 20213},       {entry->number, sizeof entry->number, 0},
        {entry->company, sizeof entry->company, 20214}, {entry->text1, sizeof entry->text1, 20215},
        {entry->text2, sizeof entry->text2, 20216},     {entry->voice, sizeof entry->voice, 20217},
        {entry->text3, sizeof entry->text3, 20218},     {entry->altnumber, sizeof entry->altnumber, 20219},
        {entry->othernumber, sizeof entry->othernumber, 20220}};
    for (int i = 0; i < count && i < 9; ++i) {
        const Target& t = targets[i];
        const std::size_t length = std::strlen(fields[i]);
        if (t.cut == 0) {
            // The fax number is taken whole or not at all: a cut number would dial someone else.
            if (length >= 1 && length < t.size) UL_strcopy(t.field, t.size, fields[i]);
            continue;
        }
        if (length >= t.size) UL_errorlog(host, "SF_decodecsv", t.cut);
        UL_strcopy(t.field, t.size, fields[i]);
    }
    return 0;
}

int16_t SF_importgroups(uint32_t host, const char* path) {
    if (!path) return UL_E_BADARG;
    int16_t exists = 0;
    if (UL_fileexists(path, &exists) != 0 || !exists) return 0;
    HostFile file(host);
    if (int16_t st = openText(host, path, file, "SF_importgroups")) return st;
    char line[kReadRoom];
    char group[kPbKeyWidth + 1], name[kPbKeyWidth + 1];
    for (uint32_t number = 1;; ++number) {
        int16_t end = 0;
        if (int16_t st = UL_freadline(host, file.get(), line, sizeof line, &end)) {
            UL_errorlog(host, "SF_importgroups", st);
            return st;
        }
        if (end) break;
        if (line[0] == '\0') continue;
        if (std::strlen(line) >= kGroupsLine) {
            UL_reporterror(host, SF_GLSLINELONG, lineNumber(number).c_str());
            UL_errorlog(host, "SF_importgroups", SF_GLSLINELONG);
            return SF_GLSLINELONG;
        }
        if (int16_t st = SF_decodegroupline(host, line, group, name)) {
            // The statuses that name a line are told with its number.
            if (st == SF_GLSNAMEBLANK) UL_reporterror(host, st, lineNumber(number).c_str());
            UL_errorlog(host, "SF_importgroups", st);
            return st;
        }
        if (group[0] == '\0') continue;  // a line without fields
        if (int16_t st = SF_addnametogroup(host, name, group)) return st;
    }
    return 0;
}

int16_t SF_decodegroupline(uint32_t host, char* line, char* group, char* name) {
    if (!line || !group || !name) return UL_E_BADARG;
    group[0] = '\0';
    name[0] = '\0';
    char* fields[2] = {};
    int16_t count = 0;
    if (int16_t st = UT_splitfields(host, line, ",", 2, fields, &count)) return st;
    if (count <= 0) return 0;
    if (SF_isblank(fields[0])) return SF_GLSNOGROUP;
    // A longer group is refused rather than cut: cut groups could fall together with another.
    if (std::strlen(fields[0]) > kPbKeyWidth) return SF_GLSGROUPLONG;
    if (count >= 2 && std::strlen(fields[1]) > kPbKeyWidth) return SF_GLSNAMELONG;
    // A member name that begins with a blank would be taken for the group's own record (an
    // empty name) or a name nobody can type; it is refused. An empty name is the group's own.
    if (count >= 2 && (fields[1][0] == ' ' || fields[1][0] == '\t')) return SF_GLSNAMEBLANK;
    UL_strcopy(group, kPbKeyWidth + 1, fields[0]);
    if (count >= 2) UL_strcopy(name, kPbKeyWidth + 1, fields[1]);
    return 0;
}

}  // namespace qorsf
