// Fax page files: documents made into page files, text in a layout's grid, merging faxes.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "qordoc.h"
#include "qorlib1.h"
#include "qorul.h"
#include "qorux.h"
#include "qorwin32.h"

namespace {

std::string setting(uint32_t host, const char* section, const char* key) {
    char ini[UL_MAXPATH];
    if (UL_getpath(host, ini, 41) != 0) return std::string();
    char buf[256] = {};
    GetPrivateProfileStringA(section, key, "", buf, sizeof buf, ini);
    return buf;
}

bool sameText(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

qordoc::Format formatOf(uint32_t host, const L1_PAGEINFO* info) {
    L1_PAGEINFO defaults;
    if (!info) {
        L1_initpageinfo(host, &defaults, 0);
        info = &defaults;
    }
    qordoc::Format f;
    f.fine = info->ydpi >= 150;
    f.paper = info->paper == 1 ? 1 : 0;
    f.twoD = info->twoD != 0;
    f.pageLimit = info->pageLimit < 0 ? 0 : info->pageLimit;
    return f;
}

void copyReason(char* out, std::size_t size, const std::string& reason) {
    if (out && size) UL_strcopy(out, size, reason.c_str());
}

// Writes pages as page files first.. of base; on a failure the files of this call go again.
int16_t writePages(uint32_t host, const std::vector<qordoc::Page>& pages, const std::string& base, int first,
                   bool twoD) {
    if (first < 0 || first + static_cast<int>(pages.size()) > 999) return L1_E_TOOMANYPAGES;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string name = UX_pagefilename(base, first + static_cast<int>(i));
        int16_t st = name.empty() ? int16_t{UL_E_PATHLONG}
                                  : qordoc::writeFax(name, {pages[i]}, twoD, first + static_cast<int>(i),
                                                     first + static_cast<int>(pages.size()));
        if (st) {
            L1_deletepages(host, base.c_str(), static_cast<int16_t>(first + static_cast<int>(i)));
            for (std::size_t k = 0; k < i; ++k) std::remove(UX_pagefilename(base, first + static_cast<int>(k)).c_str());
            UL_errorlog(host, "L1_makepages", st);
            return st;
        }
    }
    return 0;
}

int16_t textPages(uint32_t host, const char* text, const char* base, L1_PAGEINFO* info, int columns, int lines,
                  int16_t* pages) {
    if (!text || !base || !pages) return UL_E_BADARG;
    *pages = 0;
    const qordoc::Format f = formatOf(host, info);
    std::string bytes;
    if (int16_t st = qordoc::readFile(text, &bytes)) return st;
    const qordoc::Sniffed type = qordoc::sniff(bytes);
    if (type.kind != qordoc::Kind::Text) return type.kind == qordoc::Kind::Empty ? L1_E_EMPTY : L1_E_UNSUPPORTED;
    const auto laid = qordoc::layoutText(bytes, columns, lines);
    if (f.pageLimit > 0 && static_cast<int>(laid.size()) > f.pageLimit) return L1_E_TOOMANYPAGES;
    const auto rendered = qordoc::renderText(laid, f, columns, lines);
    if (rendered.size() != laid.size()) return L1_E_WRITE;
    if (int16_t st = writePages(host, rendered, base, 0, f.twoD)) return st;
    *pages = static_cast<int16_t>(rendered.size());
    if (info) info->pages = *pages;
    return 0;
}

}  // namespace

int16_t L1_initpageinfo(uint32_t host, L1_PAGEINFO* info, int16_t fine) {
    if (!info) return UL_E_BADARG;
    std::memset(info, 0, sizeof *info);
    info->width = qordoc::kFaxWidth;
    info->xdpi = qordoc::kXdpi;
    info->ydpi = fine ? 200 : 100;
    info->paper = sameText(setting(host, "PRINT", "Paper"), "Letter") ? 1 : 0;
    info->twoD = sameText(setting(host, "PAGES", "Coding"), "2D") ? 1 : 0;
    const std::string limit = setting(host, "PAGES", "Limit");
    info->pageLimit = qordoc::kDefaultPageLimit;
    if (!limit.empty()) {
        char* end = nullptr;
        const long v = std::strtol(limit.c_str(), &end, 10);
        if (end && *end == '\0' && v >= 0 && v <= 999) info->pageLimit = static_cast<int16_t>(v);
    }
    return 0;
}

int16_t L1_texttofax(uint32_t host, const char* text, const char* base, L1_PAGEINFO* info, int16_t* pages, int16_t) {
    return textPages(host, text, base, info, 80, 66, pages);
}

int16_t L1_textpages(uint32_t host, const char* text, const char* name, L1_PAGEINFO* info, int16_t lineWidth,
                     int16_t pageLength, int16_t* pages) {
    if (lineWidth <= 0 || lineWidth > 400 || pageLength <= 0 || pageLength > 400) return UL_E_BADARG;
    return textPages(host, text, name, info, lineWidth, pageLength, pages);
}

int16_t L1_makepages(uint32_t host, const char* document, const char* base, int16_t firstPage, L1_PAGEINFO* info,
                     int16_t* pages, char* reason, std::size_t reasonSize) {
    copyReason(reason, reasonSize, "");
    if (!document || !base || !pages || firstPage < 0) return UL_E_BADARG;
    *pages = 0;
    const qordoc::Format f = formatOf(host, info);
    std::string bytes;
    if (int16_t st = qordoc::readFile(document, &bytes)) {
        copyReason(reason, reasonSize, st == L1_E_TOOLARGE ? "too large to read" : "cannot be read");
        return st;
    }
    // Each page file is written as its page is made, so a long document needs the memory of one
    // page. A document refused as a whole is refused before any file is made; one that fails part
    // way (a damaged page, a file that cannot be written) leaves none of this call's files.
    int made = 0;
    bool writeFailed = false;
    std::string why;
    const int16_t st = qordoc::render(
        bytes, f,
        [&](const qordoc::Page& page, int i, int total) -> int16_t {
            int16_t ws = 0;
            if (firstPage + total > 999) {
                ws = L1_E_TOOMANYPAGES;
            } else {
                const std::string name = UX_pagefilename(base, firstPage + i);
                ws = name.empty() ? int16_t{UL_E_PATHLONG}
                                  : qordoc::writeFax(name, page, f.twoD, firstPage + i, firstPage + total);
            }
            if (ws) {
                writeFailed = true;
                return ws;
            }
            made = i + 1;
            return int16_t{0};
        },
        &why);
    if (st) {
        for (int k = 0; k < made; ++k) std::remove(UX_pagefilename(base, firstPage + k).c_str());
        if (writeFailed) {
            copyReason(reason, reasonSize, "a page file cannot be written");
            UL_errorlog(host, "L1_makepages", st);
        } else {
            copyReason(reason, reasonSize, why);
            UL_tracetext(host, "L1_makepages", why.c_str());
        }
        return st;
    }
    *pages = static_cast<int16_t>(made);
    if (info) info->pages = *pages;
    return 0;
}

int16_t L1_checkdocument(uint32_t host, const char* document, L1_PAGEINFO* info, int16_t* pages, int16_t* faxImage,
                         char* kind, std::size_t kindSize, char* reason, std::size_t reasonSize) {
    copyReason(reason, reasonSize, "");
    copyReason(kind, kindSize, "");
    if (pages) *pages = 0;
    if (faxImage) *faxImage = 0;
    if (!document) return UL_E_BADARG;
    std::string bytes;
    if (int16_t st = qordoc::readFile(document, &bytes)) {
        copyReason(reason, reasonSize, st == L1_E_TOOLARGE ? "too large to read" : "cannot be read");
        return st;
    }
    qordoc::Info facts;
    const int16_t st = qordoc::inspect(bytes, formatOf(host, info), &facts);
    copyReason(kind, kindSize, facts.type.what);
    copyReason(reason, reasonSize, facts.reason);
    if (st == 0) {
        if (pages) *pages = static_cast<int16_t>(facts.pages);
        if (faxImage) *faxImage = facts.faxImage ? 1 : 0;
    }
    return st;
}

int16_t L1_mergefax(uint32_t host, const char* source, const char* destination, int16_t flag) {
    if (!source || !destination) return UL_E_BADARG;
    std::vector<qordoc::Page> add, all;
    if (int16_t st = qordoc::readFax(source, &add)) {
        UL_errorlog(host, "L1_mergefax", st);
        return st;
    }
    int16_t exists = 0;
    UL_fileexists(destination, &exists);
    if (exists) {
        if (int16_t st = qordoc::readFax(destination, &all)) {
            UL_errorlog(host, "L1_mergefax", st);
            return st;
        }
    }
    for (qordoc::Page& p : add) {
        if ((flag & 256) && p.ydpi >= 150) {
            // Normal resolution: every second row of a fine page.
            qordoc::Page half;
            half.resize(p.width, (p.height + 1) / 2);
            half.xdpi = p.xdpi;
            half.ydpi = qordoc::kNormalDpi;
            for (int y = 0; y < half.height; ++y) std::memcpy(half.row(y), p.row(2 * y), p.stride);
            p = std::move(half);
        }
        all.push_back(std::move(p));
    }
    if (all.size() > 999) return L1_E_TOOMANYPAGES;
    return qordoc::writeFax(destination, all, sameText(setting(host, "PAGES", "Coding"), "2D"));
}

int16_t L1_deletepages(uint32_t, const char* base, int16_t count) {
    if (!base) return UL_E_BADARG;
    for (int k = 0; k < count && k < 999; ++k) {
        const std::string name = UX_pagefilename(base, k);
        if (name.empty()) return UL_E_PATHLONG;
        ::unlink(name.c_str());
    }
    return 0;
}
