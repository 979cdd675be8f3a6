// poppler's GLib interface, loaded when a PDF is first read. Not a public header.
//
// The reader uses poppler's headers for its types only: every call goes through these pointers,
// resolved from the one library handle (the GLib and GObject calls too, found through the
// library's own dependencies), so no program that links the reader loads poppler at start-up.
#pragma once

#include <poppler.h>

#include <string>

namespace qordoc {

struct PdfLib {
    decltype(&poppler_document_new_from_bytes) documentNewFromBytes = nullptr;
    decltype(&poppler_document_get_n_pages) documentGetNPages = nullptr;
    decltype(&poppler_document_get_page) documentGetPage = nullptr;
    decltype(&poppler_page_get_size) pageGetSize = nullptr;
    decltype(&poppler_page_render_for_printing) pageRenderForPrinting = nullptr;
    decltype(&g_bytes_new_static) bytesNewStatic = nullptr;
    decltype(&g_bytes_unref) bytesUnref = nullptr;
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
};

// The renderer, loaded once (thread-safe) and kept for the life of the process; null when it
// cannot be loaded, with the user's reason in `why`.
const PdfLib* pdfLib(std::string* why);

}  // namespace qordoc
