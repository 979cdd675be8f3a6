// Faxes received elsewhere, taken into the log of received faxes.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/services/guards.h"
#include "queue/recvlog.h"

namespace qorsf {

namespace {

void tell(char* reason, std::size_t size, const char* text) {
    if (reason && size) UL_strcopy(reason, size, text);
}

// A TIFF file starts with "II*\0" or "MM\0*".
bool isTiff(const char* path) {
    unsigned char head[4] = {};
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (n != sizeof head) return false;
    return (head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
           (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42);
}

}  // namespace

int16_t SF_importfax(uint32_t host, const char* file, LOG_RECORD* record, char* reason, std::size_t reasonSize) {
    tell(reason, reasonSize, "");
    if (!file || !*file || !record) return UL_E_BADARG;
    int16_t exists = 0;
    if (UL_fileexists(file, &exists) != 0 || !exists) {
        tell(reason, reasonSize, "the file does not exist");
        return UL_E_NOTFOUND;
    }
    if (!isTiff(file)) {
        tell(reason, reasonSize, "only TIFF files hold received faxes");
        return L1_E_UNSUPPORTED;
    }
    int16_t log = 0;
    if (int16_t st = UL_getvalue(host, 10, &log)) return st;
    char base[UL_MAXPATH];
    if (int16_t st = VQ_recvname(host, log, base, sizeof base)) return st;
    L1_PAGEINFO info;
    if (int16_t st = L1_initpageinfo(host, &info, 0)) return st;
    info.pageLimit = 999;  // a received fax is taken whole, however long
    int16_t pages = 0;
    if (int16_t st = L1_makepages(host, file, base, 0, &info, &pages, reason, reasonSize)) return st;

    std::memset(record, 0, sizeof *record);
    VQ_LOGENTRY e;
    std::memset(&e, 0, sizeof e);
    const std::string page0 = UX_pagefilename(base, 0);
    const std::size_t slash = page0.rfind('/');
    UL_strcopy(e.faxfile, page0.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
    e.pages = pages;
    e.source = 1;
    e.entrystate = 'R';
    e.viewstate = 'R';
    e.printstate = frame().selector5 ? 'R' : 'N';
    std::string name = file;
    const std::size_t s = name.rfind('/');
    if (s != std::string::npos) name.erase(0, s + 1);
    UL_strcopy(e.note, name.c_str());
    std::memcpy(record, &e, sizeof e);
    if (int16_t st = VQ_addlog(host, log, record)) {
        L1_deletepages(host, base, pages);
        tell(reason, reasonSize, "the fax cannot be entered in the log");
        return st;
    }
    return 0;
}

}  // namespace qorsf
