// The fax viewer: viewer windows over a host's window, the scaled view that viewer controls
// show in the text picture, a text-art thumbnail for terminals and a PNG for people.
#include <map>
#include <string>
#include <vector>

#include "qordoc.h"
#include "qorlib1.h"
#include "qorul.h"
#include "qorux.h"
#include "qorwindow.h"

namespace {

struct Shown {
    std::string file;
    int count = 1;
};

std::map<HWND, Shown>& viewers() {
    static std::map<HWND, Shown> v;
    return v;
}

LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case VWM_COMMAND:
            if (wParam == VW_SHOWFILE) {
                viewers()[window] = Shown{lParam ? reinterpret_cast<const char*>(lParam) : "", 1};
                InvalidateRect(window, nullptr, TRUE);
                return TRUE;
            }
            if (wParam == VW_GETFILE) {
                const auto it = viewers().find(window);
                return it == viewers().end() ? 0 : reinterpret_cast<LRESULT>(it->second.file.c_str());
            }
            break;
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY: viewers().erase(window); return 0;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<std::string> painter(const std::string& path, int cols, int rows) { return L1_thumbnail(path.c_str(), cols, rows); }

}  // namespace

void L1_viewerinit() { qorwin::setViewerPainter(painter); }

std::vector<std::string> L1_thumbnail(const char* file, int cols, int rows) {
    std::vector<std::string> out;
    if (!file || cols <= 0 || rows <= 0) return out;
    std::string bytes;
    if (qordoc::readFile(file, &bytes) != 0) return {"(cannot be read)"};
    const qordoc::Sniffed type = qordoc::sniff(bytes);
    if (type.kind == qordoc::Kind::Text) {
        // A text shows its first lines as they are.
        const auto laid = qordoc::layoutText(bytes, cols, rows);
        for (const std::u32string& line : laid.front()) {
            std::string s;
            for (char32_t c : line) s += c < 0x80 ? static_cast<char>(c) : '?';
            out.push_back(s);
        }
        return out;
    }
    if (type.kind == qordoc::Kind::Tiff) {
        std::vector<qordoc::Page> pages;
        if (qordoc::readFaxBytes(bytes, &pages, nullptr, 1) == 0 || !pages.empty())
            if (!pages.empty()) return qordoc::thumbnail(pages.front(), cols, rows);
    }
    return {"(" + type.what + ")"};
}

int16_t L1_pagepng(uint32_t, const char* file, int16_t page, const char* png) {
    if (!file || !png || page < 0) return UL_E_BADARG;
    std::vector<qordoc::Page> pages;
    if (int16_t st = qordoc::readFax(file, &pages)) return st;
    if (static_cast<std::size_t>(page) >= pages.size()) return L1_E_NOPAGES;
    return qordoc::writePng(png, pages[static_cast<std::size_t>(page)]);
}

int16_t L1_viewer(uint32_t, HWND owner, const char* file, const char* title, int16_t x, int16_t y, int16_t width,
                  int16_t height, HWND* viewer) {
    if (viewer) *viewer = nullptr;
    if (!file) return UL_E_BADARG;
    L1_viewerinit();
    HWND w = qorwin::createWindow(title ? title : "Fax Viewer", viewerProc, owner);
    if (!w) return UX_E_NOWINDOW;
    if (width > 0 && height > 0) MoveWindow(w, x, y, width, height, FALSE);
    viewers()[w] = Shown{file, 1};
    if (viewer) *viewer = w;
    return 0;
}

int16_t L1_viewfax(uint32_t host, HWND owner, const char* page0, int16_t count, const char* jobfile, int16_t, int16_t,
                   int16_t screenWidth, int16_t screenHeight) {
    if (!page0 || !*page0) return UL_E_BADARG;
    if (count <= 0) return L1_E_NOPAGES;
    int16_t exists = 0;
    UL_fileexists(page0, &exists);
    if (!exists) return L1_E_NOPAGES;
    std::string title = "Fax Viewer";
    if (jobfile && *jobfile) title += std::string(" - ") + jobfile;
    title += " (" + std::to_string(count) + (count == 1 ? " page)" : " pages)");
    // Three quarters of the screen, centred.
    const int16_t w = static_cast<int16_t>(screenWidth > 0 ? screenWidth * 3 / 4 : 0);
    const int16_t h = static_cast<int16_t>(screenHeight > 0 ? screenHeight * 3 / 4 : 0);
    HWND viewer = nullptr;
    if (int16_t st = L1_viewer(host, owner, page0, title.c_str(), static_cast<int16_t>((screenWidth - w) / 2),
                               static_cast<int16_t>((screenHeight - h) / 2), w, h, &viewer))
        return st;
    viewers()[viewer].count = count;
    return 0;
}

bool L1_viewershows(HWND viewer, std::string* file, int* count) {
    auto it = viewers().find(viewer);
    if (it == viewers().end() || !IsWindow(viewer)) return false;
    if (file) *file = it->second.file;
    if (count) *count = it->second.count;
    return true;
}

int16_t L1_faxinfo(uint32_t, const char* file, int* pages, int* width, int* height, int* ydpi) {
    if (!file || !pages || !width || !height || !ydpi) return UL_E_BADARG;
    std::vector<qordoc::Page> all;
    if (int16_t st = qordoc::readFax(file, &all)) return st;
    *pages = static_cast<int>(all.size());
    *width = all.front().width;
    *height = all.front().height;
    *ydpi = all.front().ydpi;
    return 0;
}
