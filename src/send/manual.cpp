// Manual send and receive: the documents of the document list made into page files for a fax
// the host sends by hand, with a progress window; a manual receive asked of the product window.
#include <cstring>
#include <string>

#include "frame/services/guards.h"
#include "qorux.h"
#include "qorwindow.h"
#include "send/pages.h"
#include "send/send.h"

namespace qorsf {

namespace {

class ListArea {
public:
    explicit ListArea(uint32_t host) : host_(host) {}
    ~ListArea() {
        if (area_) FN_releasearea(host_, FN_AREA_DOCLIST);
    }
    ListArea(const ListArea&) = delete;
    ListArea& operator=(const ListArea&) = delete;
    int16_t take() {
        void* p = nullptr;
        int16_t st = FN_getarea(host_, FN_AREA_DOCLIST, &p);
        if (st == 0) area_ = static_cast<FN_DOCAREA*>(p);
        return st;
    }
    FN_DOCAREA* get() const { return area_; }

private:
    uint32_t host_;
    FN_DOCAREA* area_ = nullptr;
};

// The progress window is closed on every way out once it was opened.
struct ProgressWindow {
    uint32_t host;
    bool open = false;
    ~ProgressWindow() { close(); }
    void close() {
        if (open) UX_progress(host, 91);
        open = false;
    }
};

}  // namespace

int16_t SF_makepages(uint32_t host, const char* document, const char* outName, int16_t, int16_t pagesSoFar,
                     int16_t* pages) {
    if (!document || !outName || !pages) return SF_BADARGUMENT;
    *pages = 0;
    // Every document is made into page files by its content: a text is laid out, a fax image
    // is taken page by page, a PDF or an image is rendered.
    L1_PAGEINFO info;
    if (int16_t st = SF_pageinfo(host, nullptr, &info)) return st;
    UX_progressset(host, 3, nullptr, 0);
    char reason[256];
    if (int16_t st = L1_makepages(host, document, outName, pagesSoFar, &info, pages, reason, sizeof reason)) {
        UL_tracetext(host, "SF_makepages", reason);
        return st;
    }
    UX_progressset(host, 3, nullptr, 100);
    return 0;
}

int16_t SF_deletepages(uint32_t host, const char* outName, int16_t count) {
    // Given the number of pages made, every page file of the base goes.
    return L1_deletepages(host, outName, count);
}

int16_t SF_manualsend(uint32_t host, char* pageNameOut, int16_t* pageCountOut, uint16_t noConfirm) {
    if (!pageNameOut || !pageCountOut) return SF_BADARGUMENT;
    *pageCountOut = 0;
    ListArea area(host);
    if (int16_t st = area.take()) return st;
    FN_DOCAREA* list = area.get();
    if (list->count <= 0) return UL_message(host, kLangModule, 2050);

    char title[256], text[256];
    if (int16_t st = UL_loadstring(host, text, kLangModule, 2112)) return st;
    if (int16_t st = UL_loadstring(host, title, kLangModule, 2115)) return st;
    HWND window = nullptr;
    UL_getwindow(host, kNotifyWindow, &window);  // no host window: the progress window has no owner
    ProgressWindow progress{host};
    if (int16_t st = UX_progressopen(host, title, text, window)) return st;
    progress.open = true;

    const int16_t savedIndex = list->index;
    char savedName[sizeof list->name];
    UL_strcopy(savedName, list->name);
    struct Restore {
        uint32_t host;
        FN_DOCAREA* list;
        int16_t index;
        const char* name;
        ~Restore() {
            if (index >= 1) FN_selectdoc(host, index);
            list->index = index;
            UL_strcopy(list->name, name);
        }
    } restore{host, list, savedIndex, savedName};

    char base[UL_MAXPATH];
    if (int16_t st = UL_getpath(host, base, 22)) return st;
    char outName[UL_MAXPATH] = {};
    int16_t pagesSoFar = 0;
    // Page files made so far go again when the call fails.
    struct Made {
        uint32_t host;
        const char* base;
        int16_t* count;
        bool keep = false;
        ~Made() {
            if (!keep && *count > 0) SF_deletepages(host, base, *count);
        }
    } made{host, base, &pagesSoFar};

    const int16_t total = list->count;
    for (int16_t i = 1; i <= total; ++i) {
        if (int16_t st = FN_selectdoc(host, i)) return st;
        if (int16_t st = FN_getdocname(host, list->name, sizeof list->name)) return st;
        const int16_t type = list->type;
        int16_t pages = 0;
        char text1[80], text2[80];
        if (SF_checkdocument(host, list->name, type, &pages, text1, text2) != 0) {
            int16_t answer = 0;
            if (int16_t st = UL_askyesno(host, kLangModule, 2091, &answer)) return st;
            if (answer == 1) {
                // Stop: no pages are reported; the ones made so far stay for the host.
                made.keep = true;
                return 0;
            }
            continue;
        }
        UX_progressset(host, 2, list->name, 0);
        UL_strcopy(outName, base);
        if (int16_t st = UX_pagefile(host, outName, sizeof outName, pagesSoFar)) return st;
        if (int16_t st = SF_makepages(host, list->name, outName, type, pagesSoFar, &pages)) return st;
        pagesSoFar = static_cast<int16_t>(pagesSoFar + pages);
        if (UX_progress(host, 90) == SF_CANCELLED) return SF_CANCELLED;
    }
    progress.close();
    if (pagesSoFar == 0) {
        made.keep = true;
        return 0;
    }
    if (!noConfirm) {
        int16_t answer = 0;
        if (int16_t st = UL_askyesno(host, kLangModule, 2111, &answer)) return st;
        if (answer != 0) return SF_CANCELLED;
    }
    made.keep = true;
    UL_strcopy(pageNameOut, 80, outName);
    *pageCountOut = pagesSoFar;
    return 0;
}

int16_t SF_manualrecv(uint32_t host) {
    HWND window = nullptr;
    if (UL_getwindow(host, kProductWindow, &window) == 0 && window)
        PostMessageA(window, kManualReceiveMessage, 0, 0);
    return 0;
}

}  // namespace qorsf
