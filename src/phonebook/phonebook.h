// The phone book: names, groups and memberships in one record store file (key 1 the name, key 2
// the group), the conversions between an entry and its stored form, number checking, the
// caller-ID lookup, and the names and groups files.
//
// Three kinds of record share the file:
//   name record        name = the name,  group = " ",       info = the person's PB_INFO
//   group record       name = "",        group = the group, info = empty
//   membership record  name = the name,  group = the group, info = empty, or the name's info
//                                                           as SF_updatephone last copied it
// A key text is blank when its first character is a space or NUL: name walks skip blank names,
// group walks blank groups. Names and groups hold at most 30 characters; longer arguments are
// cut to 30 before they are looked up, so a lookup finds what an add stored.
//
// Every operation that starts a walk, looks up or changes opens the store with SF_prolog. The
// reading operations leave it open (a walk goes on in the next call); the changing operations
// close it with SF_epilog, which ends every walk: a walk's next step then gives 13002.
// Callers inside namespace qorsf call the functions below qualified (qorsf::SF_infotoentry): where
// an argument is a type of the public header (PB_ENTRY, PB_RECORD, SF_PBCONTEXT), the exported
// function of the same name is found too, through the argument's type, and the call is ambiguous.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "qorsf.h"
#include "qorut.h"

namespace qorsf {

constexpr std::size_t kPbKeyWidth = 30;     // most characters of a name or a group
constexpr std::size_t kPbInfoWidth = 660;   // a PB_INFO, without its NUL

// Statuses of the names and groups files.
constexpr int16_t SF_CSVNOFIELD = 20211;    // a names file line without a (usable) field; skipped
constexpr int16_t SF_CSVNAMECUT = 20213;    // 20213-20220: a field cut to its width (recorded)
constexpr int16_t SF_GLSNOGROUP = 20235;    // a groups file line without a group
constexpr int16_t SF_GLSNAMELONG = 20236;   // a member name longer than 30 characters
constexpr int16_t SF_GLSGROUPLONG = 20237;  // a group longer than 30 characters
constexpr int16_t SF_NAMELEFTOUT = 20239;   // export: a name whose texts the file cannot hold (reported)
constexpr int16_t SF_GROUPLEFTOUT = 20240;  // export: a group the file cannot hold (reported)
constexpr int16_t SF_CSVLINELONG = 20241;   // a names file line longer than 511 characters
constexpr int16_t SF_GLSNAMEBLANK = 20242;  // a groups file member name that begins with a blank
constexpr int16_t SF_EXPORTPARTIAL = 20243; // export written, but without the records reported
constexpr int16_t SF_GLSLINELONG = 20244;   // a groups file line longer than 255 characters

// Results of SF_cidnumbertorec.
constexpr uint16_t SF_CID_VOICE = 0, SF_CID_FAX = 1, SF_CID_ALT = 2, SF_CID_NONE = 65535;

// ---- Records
int16_t SF_entrytoinfo(uint32_t host, const PB_ENTRY* entry, char* info /* 660 */);
int16_t SF_infotoentry(uint32_t host, const char* info /* 660 */, PB_ENTRY* entry);
// Blank: the first character is a space or NUL.
bool SF_isblank(const char* text);

// ---- Names
int SF_strcmp(const char* a, const char* b);
int16_t SF_getfirstname(uint32_t host, char* name /* 31 */, uint16_t* found);
int16_t SF_getnextname(uint32_t host, char* name /* 31 */, uint16_t* found);
int16_t SF_nametophone(uint32_t host, const char* name, char* info /* 660 */);
int16_t SF_addphone(uint32_t host, const char* name, const PB_RECORD* record);
int16_t SF_updatephone(uint32_t host, const char* name, const char* info /* 660 */);
int16_t SF_deletephone(uint32_t host, const char* name);
int16_t SF_getcurrentrec(uint32_t host, char* name /* 31 */, char* group /* 31 */, char* info /* 660 */);

// ---- Groups
int16_t SF_getfirstgroup(uint32_t host, char* group /* 31 */, uint16_t* found);
int16_t SF_getnextgroup(uint32_t host, char* group /* 31 */, uint16_t* found);
int16_t SF_getfirstgroupofname(uint32_t host, const char* name, char* group /* 31 */, uint16_t* found);
int16_t SF_getnextgroupofname(uint32_t host, const char* name, char* group /* 31 */, uint16_t* found);
int16_t SF_getfirstmember(uint32_t host, const char* group, char* name /* 31 */, uint16_t* found);
int16_t SF_getnextmember(uint32_t host, const char* group, char* name /* 31 */, uint16_t* found);
int16_t SF_addnametogroup(uint32_t host, const char* name, const char* group);
int16_t SF_deletegroup(uint32_t host, const char* group);
int16_t SF_removenamefromgroups(uint32_t host, const char* name);
int16_t SF_removenamefromgroup(uint32_t host, const char* name, const char* group);

// ---- Numbers
int16_t SF_checkphonenum(const char* number, uint16_t* result);
// Splits "prefix|number|suffix" (either bar may be missing); each output holds 80 bytes.
int16_t SF_decodephonenum(uint32_t host, const char* dial, char* prefix, char* suffix, char* number);

// ---- Caller-ID and the record walk
int16_t SF_getfirstpbrec(uint32_t host, PB_ENTRY* entry, uint16_t* found);
int16_t SF_getnextpbrec(uint32_t host, PB_ENTRY* entry, uint16_t* found);
int16_t SF_cidnumbertorec(uint32_t host, const char* number, uint16_t* which, PB_ENTRY* entry);
// How a record matched a number: which of its numbers (SF_CID_..., SF_CID_NONE for none), and
// the rank of the match: a match of a lower rank wins over any of a higher one, name order
// decides within a rank.
struct NumberMatch {
    uint16_t which = SF_CID_NONE;
    uint16_t rank = 0;
};
// The best record (of those with a name) that `match` accepts: the lowest rank, then the first in
// name order. `mayMatch`, when given, sees the record's 660-character info first and may pass
// over a record that cannot match. The records are read in the store's own order, not walked by
// name, and the store is left open (released). On a miss *found is SF_CID_NONE and the entry is
// the last record in name order. False when the store failed: the caller then walks by name,
// which reports the failure as a walk does.
bool SF_findnumber(uint32_t host, const std::function<bool(const char* info)>& mayMatch,
                   const std::function<NumberMatch(const PB_ENTRY&)>& match, NumberMatch* found, PB_ENTRY* entry);
// The caller-ID comparison: which of the entry's numbers equals the number, case aside (voice
// before fax before the alternative), and whether an info (660 characters) can hold a field equal
// to it.
uint16_t SF_cidmatch(const char* number, const PB_ENTRY& entry);
bool SF_infomayhold(const char* info, const char* number);

// ---- Names and groups files
// The groups file that goes with a names file: the extension of the file name replaced by
// "GLS", or ".GLS" appended when the file name has none.
void SF_groupspath(const char* namesPath, char* out, std::size_t outsize);
// Whether a text can be written into a names or groups file and read back as it is. The files
// have no escapes: a double quote followed (after blanks) by a comma ends a field there.
bool SF_filesafe(const char* text);
// The groups file of a names file as it is on disk: the path of SF_groupspath, or a file of
// that name in another case of letters ("x.gls") when only such a one exists. False when none.
bool SF_findgroupsfile(const char* namesPath, char* out, std::size_t outsize);
int16_t SF_exportphonebook(uint32_t host, const char* path);
int16_t SF_importphonebook(uint32_t host, const char* path);
int16_t SF_readcsvfile(uint32_t host, UT_LIST* list, const char* path, uint16_t* count);
int16_t SF_decodecsv(uint32_t host, char* line, PB_ENTRY* entry);
int16_t SF_importgroups(uint32_t host, const char* path);
int16_t SF_decodegroupline(uint32_t host, char* line, char* group /* 31 */, char* name /* 31 */);

}  // namespace qorsf
