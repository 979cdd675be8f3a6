// The file commands of the phone book windows: export and import of a names file with its
// groups file through the file chooser, and the choice of another phone book file.
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "frame/pbwork.h"
#include "phonebook/dialogs/phonemain.h"
#include "phonebook/phonebook.h"
#include "qorui.h"

namespace qorsf {

namespace {

constexpr uint16_t kImportTitle = 2016;
constexpr uint16_t kExportTitle = 2017;
constexpr uint16_t kNamesFilesFilter = 2105;
constexpr uint16_t kAllFilesFilter = 2107;
constexpr uint16_t kBookFilter = 2221;
constexpr uint16_t kBookTitle = 2222;

// The names file of an export: the chosen name with its extension (if any) replaced by ".LST".
// Only the file name's own extension counts: a '.' in a directory name is not one.
std::string namesFilePath(const char* chosen) {
    std::string path = chosen;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
    return path + ".LST";
}

}  // namespace

int16_t SF_exportcommand(uint32_t host, HWND) {
    char title[80] = {};
    char filter[160] = {};
    int16_t st = UL_loadstring(host, title, kLangModule, kExportTitle);
    if (st == 0) st = UL_loadstring(host, filter, kLangModule, kAllFilesFilter);
    std::string failed;  // the names file whose export failed last
    while (st == 0) {
        char path[80] = {};
        st = UT_choosefile(host, filter, title, 0, path, sizeof path);
        if (st == SF_CANCELLED) return 0;
        if (st) break;
        const std::string names = namesFilePath(path);
        st = names.size() >= sizeof path ? static_cast<int16_t>(UL_E_PATHLONG)
                                         : qorsf::SF_exportphonebook(host, names.c_str());
        if (st == 0) return 0;
        // The user may choose another file; the same choice failing again ends the command, so
        // that a chooser that keeps giving one answer cannot keep the window busy.
        if (names == failed) break;
        failed = names;
        UL_showstatus(host, st);
        st = 0;
    }
    UL_showstatus(host, st);
    return 0;
}

int16_t SF_importcommand(uint32_t host, HWND) {
    char path[80] = {};
    if (int16_t st = UL_getpath(host, path, 24)) return st;
    char title[80] = {};
    if (int16_t st = UL_loadstring(host, title, kLangModule, kImportTitle)) return st;
    char first[160] = {};
    char second[160] = {};
    if (int16_t st = UL_loadstring(host, first, kLangModule, kNamesFilesFilter)) return st;
    if (int16_t st = UL_loadstring(host, second, kLangModule, kAllFilesFilter)) return st;
    std::string filter = first;
    if (!filter.empty() && filter.back() == '|') filter.pop_back();
    filter += second;
    if (int16_t st = UT_choosefile(host, filter.c_str(), title, 1, path, sizeof path)) return st;
    return qorsf::SF_importphonebook(host, path);
}

int16_t SF_choosephonebook(uint32_t host, int16_t mode) {
    char path[80] = {};
    if (int16_t st = UL_getpath(host, path, 24)) return st;
    char filter[160] = {};
    char title[80] = {};
    if (int16_t st = UL_loadstring(host, filter, kLangModule, kBookFilter)) return st;
    if (int16_t st = UL_loadstring(host, title, kLangModule, kBookTitle)) return st;
    if (int16_t st = UT_choosefile(host, filter, title, mode, path, sizeof path)) return st;
    // The store of the old file is closed before the path changes under it.
    qorsf::SF_epilog(host);
    return SF_setphonebookpath(host, path);
}

}  // namespace qorsf
