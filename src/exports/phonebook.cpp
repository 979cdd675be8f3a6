// Exported entry points of the phone book and its work area.
#include "exports/guard.h"
#include "frame/pbwork.h"
#include "phonebook/phonebook.h"

using qorsf::guarded;

QORSF_API int16_t SF_prolog(uint32_t hHost, SF_PBCONTEXT** context, uint16_t mode) {
    return guarded("SF_prolog", [&] { return qorsf::SF_prolog(hHost, context, mode); });
}

QORSF_API int16_t SF_epilog(uint32_t hHost) {
    return guarded("SF_epilog", [&] { return qorsf::SF_epilog(hHost); });
}

QORSF_API int16_t SF_getfirstname(uint32_t hHost, char* name, uint16_t* found) {
    return guarded("SF_getfirstname", [&] { return qorsf::SF_getfirstname(hHost, name, found); });
}

QORSF_API int16_t SF_getnextname(uint32_t hHost, char* name, uint16_t* found) {
    return guarded("SF_getnextname", [&] { return qorsf::SF_getnextname(hHost, name, found); });
}

QORSF_API int16_t SF_nametophone(uint32_t hHost, const char* name, char* info) {
    return guarded("SF_nametophone", [&] { return qorsf::SF_nametophone(hHost, name, info); });
}

QORSF_API int16_t SF_addphone(uint32_t hHost, const char* name, const PB_RECORD* record) {
    return guarded("SF_addphone", [&] { return qorsf::SF_addphone(hHost, name, record); });
}

QORSF_API int16_t SF_updatephone(uint32_t hHost, const char* name, const char* info) {
    return guarded("SF_updatephone", [&] { return qorsf::SF_updatephone(hHost, name, info); });
}

QORSF_API int16_t SF_deletephone(uint32_t hHost, const char* name) {
    return guarded("SF_deletephone", [&] { return qorsf::SF_deletephone(hHost, name); });
}

QORSF_API int SF_strcmp(const char* a, const char* b) {
    try {
        return qorsf::SF_strcmp(a, b);
    } catch (...) {
        return 0;  // unreachable: the comparison does not throw
    }
}

QORSF_API int16_t SF_removenamefromgroups(uint32_t hHost, const char* name) {
    return guarded("SF_removenamefromgroups", [&] { return qorsf::SF_removenamefromgroups(hHost, name); });
}

QORSF_API int16_t SF_entrytoinfo(uint32_t hHost, const PB_ENTRY* entry, char* info) {
    return guarded("SF_entrytoinfo", [&] { return qorsf::SF_entrytoinfo(hHost, entry, info); });
}

QORSF_API int16_t SF_infotoentry(uint32_t hHost, const char* info, PB_ENTRY* entry) {
    return guarded("SF_infotoentry", [&] { return qorsf::SF_infotoentry(hHost, info, entry); });
}

QORSF_API int16_t SF_checkphonenum(const char* number, uint16_t* result) {
    return guarded("SF_checkphonenum", [&] { return qorsf::SF_checkphonenum(number, result); });
}

QORSF_API int16_t SF_cidnumbertorec(uint32_t hHost, const char* number, uint16_t* which, PB_ENTRY* entry) {
    return guarded("SF_cidnumbertorec", [&] { return qorsf::SF_cidnumbertorec(hHost, number, which, entry); });
}

QORSF_API int16_t SF_getfirstpbrec(uint32_t hHost, PB_ENTRY* entry, uint16_t* found) {
    return guarded("SF_getfirstpbrec", [&] { return qorsf::SF_getfirstpbrec(hHost, entry, found); });
}

QORSF_API int16_t SF_getnextpbrec(uint32_t hHost, PB_ENTRY* entry, uint16_t* found) {
    return guarded("SF_getnextpbrec", [&] { return qorsf::SF_getnextpbrec(hHost, entry, found); });
}
