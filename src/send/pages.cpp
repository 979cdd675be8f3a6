// Documents made into fax pages on their way to the spool. A fax image (TIFF Class F pages) is
// spooled as it is; any other document the reader accepts (text, another TIFF, PDF, PNG, JPEG)
// becomes page files under a spool base of its own, one spooled document entry a page, before
// any job is queued. The delete list then holds and releases each page file like any spooled
// copy.
#include <cstring>
#include <string>

#include "qorux.h"
#include "send/pages.h"
#include "send/send.h"

namespace qorsf {

int16_t SF_pageinfo(uint32_t host, const SendOptions* options, L1_PAGEINFO* info) {
    int16_t fine = 0;
    if (options) {
        fine = options->fineResolution ? 1 : 0;
    } else if (const SF_PARAMS* p = params()) {
        fine = p->word2200 ? 1 : 0;
    }
    return L1_initpageinfo(host, info, fine);
}

int16_t SF_documentcheck(uint32_t host, const char* path, bool* convertible, int16_t* pages) {
    if (convertible) *convertible = false;
    L1_PAGEINFO info;
    if (int16_t st = SF_pageinfo(host, nullptr, &info)) return st;
    int16_t count = 0, faxImage = 0;
    char kind[80], reason[256];
    const int16_t st = L1_checkdocument(host, path, &info, &count, &faxImage, kind, sizeof kind, reason, sizeof reason);
    if (st) {
        // The reason goes to the trace; the caller asks the user what to do with the document.
        UL_tracetext(host, "SF_checkdocument", reason);
        return st;
    }
    if (convertible) *convertible = faxImage == 0;
    if (pages) *pages = count;
    return 0;
}

int16_t SF_spooldocument(uint32_t host, const SendOptions* options, const char* path, int16_t type, int16_t index,
                         DocumentEntry* destination, int capacity, int16_t* added) {
    if (!path || !destination || !added) return SF_BADARGUMENT;
    *added = 0;
    if (capacity <= 0) return SF_TOOMANYDOCS;
    bool convertible = false;
    if (int16_t st = SF_documentcheck(host, path, &convertible, nullptr)) return st;
    if (!convertible) {
        DocumentEntry& d = destination[0];
        std::memset(&d, 0, sizeof d);
        d.type = type;
        UL_strcopy(d.text, path);
        int16_t copied = 0;
        if (int16_t st = SF_makecopy(host, d.text, index, &copied)) return st;
        *added = 1;
        return 0;
    }
    L1_PAGEINFO info;
    if (int16_t st = SF_pageinfo(host, options, &info)) return st;
    char base[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, base, 22)) return st;
    int16_t pages = 0;
    char reason[256];
    if (int16_t st = L1_makepages(host, path, base, 0, &info, &pages, reason, sizeof reason)) {
        UL_tracetext(host, "SF_spooldocument", reason);
        return st;
    }
    if (pages > capacity) {
        L1_deletepages(host, base, pages);
        return SF_TOOMANYDOCS;
    }
    // Each entry names its page file and, when there is room, the document it was made from.
    const char* slash = std::strrchr(path, '/');
    const std::string from = slash ? slash + 1 : path;
    for (int16_t k = 0; k < pages; ++k) {
        DocumentEntry& d = destination[k];
        std::memset(&d, 0, sizeof d);
        d.type = 1;
        std::string text = UX_pagefilename(base, k);
        if (text.size() + 1 + from.size() < 52 && from.find(' ') == std::string::npos) text += " " + from;
        UL_strcopy(d.text, text.c_str());
    }
    *added = pages;
    return 0;
}

}  // namespace qorsf
