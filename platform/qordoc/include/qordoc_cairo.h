// cairo helpers of the document reader that printing shares.
#pragma once

#include <cairo.h>

#include <memory>

namespace qordoc {

// Owners of cairo objects, destroyed on every path.
struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

// A cairo write function that writes to a file descriptor (closure: an int*), going on after
// short writes and interruptions; any other failure is CAIRO_STATUS_WRITE_ERROR.
cairo_status_t writeToFd(void* closure, const unsigned char* data, unsigned int length);

}  // namespace qordoc
