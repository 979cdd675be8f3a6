// Loading the PDF renderer at run time: dlopen of the library named at build time (its
// SONAME), once, under a lock. The handle is never closed: GLib's type system does not
// survive being unloaded, and the library is wanted again by the next PDF.
#include "pdflib.h"

#include <dlfcn.h>

#include <list>
#include <mutex>

#include "qordoc.h"

#ifndef QORDOC_POPPLER_SONAME
#error "QORDOC_POPPLER_SONAME names the PDF renderer's library (set by the build)"
#endif

namespace qordoc {

namespace {

struct Loader {
    std::mutex lock;
    std::string name = QORDOC_POPPLER_SONAME;
    bool tried = false;
    const PdfLib* current = nullptr;
    std::string error;
    // Every table ever handed out stays valid: a caller may still hold one when a test names
    // another library.
    std::list<PdfLib> loaded;
};

Loader& loader() {
    static Loader* l = new Loader;  // never destroyed: a thread may read a PDF during exit
    return *l;
}

template <typename F>
bool resolve(void* handle, const char* symbol, F* out, std::string* missing) {
    *out = reinterpret_cast<F>(::dlsym(handle, symbol));
    if (!*out && missing->empty()) *missing = symbol;
    return *out != nullptr;
}

void load(Loader& l) {
    l.tried = true;
    l.current = nullptr;
    l.error.clear();
    ::dlerror();
    void* handle = ::dlopen(l.name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* e = ::dlerror();
        const std::string detail = e ? e : "";
        // dlopen's message names the file; a missing one is the usual case and is said plainly.
        if (detail.find("No such file") != std::string::npos || detail.empty())
            l.error = "PDF documents cannot be read: " + l.name + " is not installed";
        else
            l.error = "PDF documents cannot be read: " + l.name + " cannot be loaded (" + detail + ")";
        return;
    }
    PdfLib lib;
    std::string missing;
    resolve(handle, "poppler_document_new_from_bytes", &lib.documentNewFromBytes, &missing);
    resolve(handle, "poppler_document_get_n_pages", &lib.documentGetNPages, &missing);
    resolve(handle, "poppler_document_get_page", &lib.documentGetPage, &missing);
    resolve(handle, "poppler_page_get_size", &lib.pageGetSize, &missing);
    resolve(handle, "poppler_page_render_for_printing", &lib.pageRenderForPrinting, &missing);
    resolve(handle, "g_bytes_new_static", &lib.bytesNewStatic, &missing);
    resolve(handle, "g_bytes_unref", &lib.bytesUnref, &missing);
    resolve(handle, "g_object_unref", &lib.objectUnref, &missing);
    resolve(handle, "g_error_free", &lib.errorFree, &missing);
    if (!missing.empty()) {
        // Not the library we were built for; it stays loaded (unloading may run its
        // destructors half set up) but is not used.
        l.error = "PDF documents cannot be read: " + l.name + " is not a usable PDF renderer (no " + missing + ")";
        return;
    }
    l.loaded.push_back(lib);
    l.current = &l.loaded.back();
}

}  // namespace

const PdfLib* pdfLib(std::string* why) {
    Loader& l = loader();
    std::lock_guard<std::mutex> hold(l.lock);
    if (!l.tried) load(l);
    if (!l.current && why) *why = l.error;
    return l.current;
}

void setPdfLibrary(const std::string& name) {
    Loader& l = loader();
    std::lock_guard<std::mutex> hold(l.lock);
    l.name = name.empty() ? std::string(QORDOC_POPPLER_SONAME) : name;
    l.tried = false;
    l.current = nullptr;
}

}  // namespace qordoc
