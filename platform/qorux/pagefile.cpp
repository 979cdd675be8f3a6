// Page file names. A fax of n pages is n files that share a base name: page k (from 0) is
// the base with the extension of k + 1 in three digits, so page 0 of "spool/q000123" is
// "spool/q000123.001" and page 41 is "spool/q000123.042". A name given with an extension is cut
// at its last "." first: every page file of a fax leads to the others.
#include <cstring>
#include <string>

#include "qorul.h"
#include "qorux.h"

int16_t UX_pagefile(uint32_t, char* name, std::size_t size, int16_t page) {
    if (!name || size == 0) return UL_E_BADARG;
    if (page < 0 || page > 998) return UL_E_BADARG;
    std::string base(name, ::strnlen(name, size));
    const std::size_t slash = base.rfind('/');
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
    const std::string ext = std::to_string(page + 1001).substr(1);
    const std::string out = base + "." + ext;
    if (out.size() >= UL_MAXPATH) return UL_E_PATHLONG;  // a cut name would be another file
    if (out.size() >= size) return UL_E_TOOLONG;
    std::memcpy(name, out.c_str(), out.size() + 1);
    return 0;
}

std::string UX_pagefilename(const std::string& name, int page) {
    char buf[UL_MAXPATH];
    UL_strcopy(buf, sizeof buf, name.c_str());
    if (name.size() >= sizeof buf) return std::string();
    if (UX_pagefile(0, buf, sizeof buf, static_cast<int16_t>(page)) != 0) return std::string();
    return buf;
}
