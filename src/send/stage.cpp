// Documents whose path the send's fixed fields cannot carry (a blank, or more than 79
// characters) are copied into the spool first, under a short name of the library's own; the
// job then names the copy. The copy is one of the send's spooled copies: its holds remove it
// with the last job, and a send that fails or is killed leaves nothing (see recovery.h).
#include <string>

#include "send/send.h"

namespace qorsf {

bool SF_needsstaging(const std::string& path) {
    return path.size() >= UL_MAXPATH || path.find(' ') != std::string::npos;
}

int16_t SF_stagedocument(uint32_t host, const std::string& source, std::string* staged) {
    staged->clear();
    char base[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, base, 22)) return st;
    const std::string copy = std::string(base) + ".001";
    if (copy.size() >= UL_MAXPATH) return UL_E_PATHLONG;
    if (int16_t st = UL_fcopy(host, copy.c_str(), source.c_str())) return st;
    *staged = copy;
    return 0;
}

}  // namespace qorsf
