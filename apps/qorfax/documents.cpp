#include "documents.h"

#include <cstdio>

#include "qorlib1.h"

namespace qorfax {

int16_t checkDocument(uint32_t host, const std::string& path, bool fine, int* pages) {
    L1_PAGEINFO info;
    if (int16_t st = L1_initpageinfo(host, &info, fine ? 1 : 0)) return st;
    int16_t count = 0, faxImage = 0;
    char kind[80], reason[256];
    const int16_t st =
        L1_checkdocument(host, path.c_str(), &info, &count, &faxImage, kind, sizeof kind, reason, sizeof reason);
    if (st) {
        std::fprintf(stderr, "qorfax: %s: cannot be faxed: %s\n", path.c_str(), reason[0] ? reason : "cannot be read");
        return st;
    }
    if (pages) *pages = count;
    return 0;
}

}  // namespace qorfax
