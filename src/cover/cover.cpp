// Cover pages (see cover.h).
#include "cover/cover.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "frame/services/guards.h"
#include "qorlib1.h"
#include "qorul.h"
#include "qorux.h"
#include "qorvq.h"
#include "qorwin32.h"
#include "report/report.h"
#include "send/send.h"

namespace qorsf {

namespace {

constexpr const char* kTemplateSection = "TEMPLATES";

std::string textOf(const char* p, std::size_t n) { return std::string(p, ::strnlen(p, n)); }

// Copies a text into a field of the block, cut to the field's room less its NUL.
template <std::size_t N>
void put(char (&field)[N], const std::string& text) {
    UL_strcopy(field, N, text.c_str());
}

// Template n as the settings file holds it (empty = no such template).
std::string templateValue(uint32_t host, int16_t n) {
    char ini[UL_MAXPATH];
    if (UL_getpath(host, ini, 41) != 0) return std::string();
    char key[32];
    std::snprintf(key, sizeof key, "template%-d", n);
    char value[80] = {};
    GetPrivateProfileStringA(kTemplateSection, key, "", value, sizeof value, ini);
    return value;
}

CoverTemplate describe(uint32_t host, int16_t n, const std::string& value) {
    CoverTemplate t;
    t.number = n;
    t.value = value;
    const std::size_t comma = value.find(',');
    t.file = comma == std::string::npos ? value : value.substr(0, comma);
    if (comma != std::string::npos) t.description = value.substr(comma + 1);
    if (t.file.find('.') == std::string::npos) t.file += ".001";
    char dir[UL_MAXPATH] = {};
    if (UL_getpath(host, dir, 24) == 0) t.path = std::string(dir) + t.file;
    int16_t exists = 0;
    // A name that climbs out of the data directory is no template of it.
    if (!t.path.empty() && t.file.find('/') == std::string::npos) UL_fileexists(t.path.c_str(), &exists);
    t.exists = exists != 0;
    return t;
}

}  // namespace

std::vector<CoverTemplate> SF_covertemplates(uint32_t host) {
    std::vector<CoverTemplate> list;
    for (int16_t n = 1; n < 1000; ++n) {
        const std::string value = templateValue(host, n);
        if (value.empty()) break;
        list.push_back(describe(host, n, value));
    }
    return list;
}

int16_t SF_templatelookup(uint32_t host, int16_t number, char* path, char* description) {
    if (path) path[0] = '\0';
    if (description) description[0] = '\0';
    const std::string value = number > 0 ? templateValue(host, number) : std::string();
    const CoverTemplate t = describe(host, number, value);
    if (description) UL_strcopy(description, UL_MAXPATH, t.description.c_str());
    if (t.path.size() >= UL_MAXPATH) return UL_E_PATHLONG;
    if (path) UL_strcopy(path, UL_MAXPATH, t.path.c_str());
    if (value.empty() || !t.exists) {
        UL_reporterror(host, SF_NOTEMPLATE, t.path.c_str());
        return SF_NOTEMPLATE;
    }
    return 0;
}

int16_t SF_formdata(uint32_t host, const COVER_SHEET* cover, int16_t documents, const char* subject,
                    CE_FORMDATA* block) {
    if (!cover || !block) return SF_BADARGUMENT;
    std::memset(block, 0, sizeof *block);
    char description[UL_MAXPATH];
    if (int16_t st = SF_templatelookup(host, cover->templatenumber, block->templatepath, description)) return st;
    block->documents = static_cast<uint16_t>(documents < 0 ? 0 : documents);
    put(block->to, textOf(cover->recipient1, sizeof cover->recipient1));
    put(block->fax, textOf(cover->recipient4, sizeof cover->recipient4));
    put(block->voice, textOf(cover->recipient3, sizeof cover->recipient3));
    put(block->company, textOf(cover->recipient2, sizeof cover->recipient2));
    put(block->from, textOf(cover->sendera, sizeof cover->sendera));
    put(block->fromaddress, textOf(cover->senderc, sizeof cover->senderc));
    char config[256];
    std::string contact[3];
    const uint16_t keys[3] = {4154, 4155, 4156};
    for (int i = 0; i < 3; ++i) {
        if (int16_t st = VQ_getconfig(host, 1, "GENERAL", keys[i], config, sizeof config)) return st;
        contact[i] = config;
    }
    put(block->fromfax, contact[0]);
    put(block->fromcontact,
        textOf(cover->senderb, sizeof cover->senderb) + "\r\n" + contact[1] + "\r\n" + contact[2]);
    SF_DATETIME now;
    UL_now(&now);
    const int16_t parts[6] = {now.year, now.month, now.day, now.hour, now.minute, now.second};
    for (int i = 0; i < 6; ++i) block->date[i] = static_cast<uint16_t>(parts[i]);
    if (subject) put(block->subject, subject);
    if (cover->memo) {
        void* p = nullptr;
        if (int16_t st = UL_lockhandle(cover->memo, &p)) return st;
        // The memo block is NUL-terminated text; at most 3199 characters reach the form.
        put(block->memo, static_cast<const char*>(p));
        UL_unlockhandle(cover->memo);
    }
    return 0;
}

int16_t SF_formcover(uint32_t host, const COVER_SHEET* cover, const char* output, int16_t documents, int16_t fine,
                     const char* subject) {
    if (!output) return SF_BADARGUMENT;
    auto block = std::make_unique<CE_FORMDATA>();
    if (int16_t st = SF_formdata(host, cover, documents, subject, block.get())) return st;
    return CE_fillform(host, output, block.get(), fine, nullptr);
}

int16_t SF_textcover(uint32_t host, const COVER_SHEET* cover, const char* text, const char* output, int16_t fine,
                     int16_t background, HFONT font) {
    if (!cover || !text || !output) return SF_BADARGUMENT;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    char temp[UL_MAXPATH];
    if (int16_t st = UX_tempname(host, temp, sizeof temp, 0)) return st;
    // The rendered pages are page files of the temporary name; they go on every exit.
    int16_t pages = 0;
    struct PagesGuard {
        uint32_t host;
        const char* base;
        int16_t* pages;
        ~PagesGuard() { L1_deletepages(host, base, *pages); }
    } guard{host, temp, &pages};

    if (!font) {
        unsigned char work[372] = {};
        if (int16_t st = CE_rendercover(host, text, temp, work, sizeof work, fine ? 2 : 1, &pages)) return st;
    } else {
        L1_PAGEINFO info;
        if (int16_t st = L1_initpageinfo(host, &info, fine)) return st;
        if (!fine) info.ydpi = 100;
        // The font is the layout's; the page services draw the text in their own printing font.
        (void)font;
        if (int16_t st = L1_textpages(host, text, temp, &info, 72, 60, &pages)) return st;
    }
    if (pages <= 0) return L1_E_NOPAGES;
    const std::string rendered = UX_pagefilename(temp, 0);
    const std::string out(output);
    const std::string header = textOf(cover->headerlogo, sizeof cover->headerlogo);
    const std::string footer = textOf(cover->footerlogo, sizeof cover->footerlogo);
    if (!background && pages == 1) return UL_fcopy(host, output, rendered.c_str());

    // Built aside and renamed into place: the output never holds a half-made cover, and an
    // older file of that name is replaced, not appended to.
    const std::string building = out + ".new";
    ::unlink(building.c_str());
    struct Unlink {
        std::string path;
        ~Unlink() { ::unlink(path.c_str()); }
    } dropBuilding{building};
    const int16_t mergeFlag = fine ? 0 : 256;
    int16_t exists = 0;
    if (background && !header.empty()) {
        UL_fileexists(header.c_str(), &exists);
        if (!exists) return SF_NOHEADERFILE;
        if (int16_t st = L1_mergefax(host, header.c_str(), building.c_str(), mergeFlag)) return st;
    }
    for (int16_t k = 0; k < pages; ++k) {
        const std::string page = UX_pagefilename(temp, k);
        if (int16_t st = L1_mergefax(host, page.c_str(), building.c_str(), 0)) return st;
    }
    if (background && !footer.empty()) {
        exists = 0;
        UL_fileexists(footer.c_str(), &exists);
        if (!exists) return SF_NOFOOTERFILE;
        if (int16_t st = L1_mergefax(host, footer.c_str(), building.c_str(), mergeFlag)) return st;
    }
    if (std::rename(building.c_str(), output) != 0) return L1_E_WRITE;
    return 0;
}

void SF_fillcoverto(uint32_t, const PB_ENTRY* entry, COVER_SHEET* cover) {
    if (!entry || !cover || !entry->name[0]) return;
    put(cover->recipient1, textOf(entry->name, sizeof entry->name));
    put(cover->recipient2, textOf(entry->company, sizeof entry->company));
    put(cover->recipient3, textOf(entry->voice, sizeof entry->voice));
    put(cover->recipient4, textOf(entry->number, sizeof entry->number));
}

int16_t SF_makecover(uint32_t host, const COVER_SHEET* cover, const char* path, int16_t documents, int16_t fine,
                     int16_t* type, const char* subject) {
    if (!cover || !path || !type) return SF_BADARGUMENT;
    EngineLock lock(host);
    if (int16_t st = lock.take()) return st;
    if (cover->templatenumber > 0) {
        if (int16_t st = SF_formcover(host, cover, path, documents, fine, subject)) return st;
        *type = 1;
        return 0;
    }
    char name[80] = {};
    if (int16_t st = UL_loadstring(host, name, "QORLANG", 2007)) return st;
    RPT_CONTEXT layout{};
    struct Free {
        uint32_t host;
        RPT_CONTEXT* ctx;
        ~Free() { SF_rptfree(host, ctx); }
    } freeLayout{host, &layout};
    if (int16_t st = SF_rptlayout(host, name, &layout)) return st;
    const bool logos = cover->headerlogo[0] || cover->footerlogo[0];
    auto write = [&](const char* output) -> int16_t {
        RPT_CONTEXT report{};
        struct FreeReport {
            uint32_t host;
            RPT_CONTEXT* ctx;
            ~FreeReport() { SF_rptfree(host, ctx); }
        } freeReport{host, &report};
        if (int16_t st = SF_rptopen(host, output, name, &report)) return st;
        char count[16];
        std::snprintf(count, sizeof count, "%d", documents);
        const std::string texts[9] = {
            textOf(cover->recipient1, 80), textOf(cover->recipient2, 80), textOf(cover->recipient3, 80),
            textOf(cover->recipient4, 80), textOf(cover->sendera, 80),    textOf(cover->senderb, 80),
            textOf(cover->senderc, 80),    count,                         textOf(cover->previewfile, 20)};
        const char* columns[9];
        for (int i = 0; i < 9; ++i) columns[i] = texts[i].c_str();
        const char* running = nullptr;
        void* memo = nullptr;
        if (cover->memo && UL_lockhandle(cover->memo, &memo) == 0) running = static_cast<const char*>(memo);
        int16_t st = SF_rptline(host, &report, running, static_cast<int16_t>(cover->reserved), 9, columns);
        if (running) UL_unlockhandle(cover->memo);
        if (st) return st;
        return SF_rptclose(host, &report);
    };
    if (!logos && !layout.fonts[1]) {
        if (int16_t st = write(path)) return st;
        *type = 2;
        return 0;
    }
    char temp[UL_MAXPATH];
    if (int16_t st = UX_tempname(host, temp, sizeof temp, 0)) return st;
    struct Drop {
        uint32_t host;
        const char* path;
        ~Drop() { ::unlink(path); }
    } dropTemp{host, temp};
    if (int16_t st = write(temp)) return st;
    if (int16_t st = SF_textcover(host, cover, temp, path, fine, logos ? 1 : 0,
                                  fine ? layout.fonts[1] : layout.fonts[2]))
        return st;
    *type = 1;
    return 0;
}

}  // namespace qorsf
