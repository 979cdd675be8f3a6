// cairo helpers of the document reader that printing shares.
#pragma once

#include <cairo.h>

namespace qordoc {

// A cairo write function that writes to a file descriptor (closure: an int*), going on after
// short writes and interruptions; any other failure is CAIRO_STATUS_WRITE_ERROR.
cairo_status_t writeToFd(void* closure, const unsigned char* data, unsigned int length);

}  // namespace qordoc
