// The document reader on arbitrary bytes: type detection, then TIFF, PNG, JPEG and PDF loading
// and rendering into fax pages, and the fax file reader. Nothing may crash, hang or read out of
// bounds; a failure is a status with a reason.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qordoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    qordoc::Format format;
    format.pageLimit = 3;  // a bound on the work of one input
    qordoc::Info info;
    qordoc::inspect(bytes, format, &info);
    std::vector<qordoc::Page> pages;
    std::string reason;
    if (qordoc::render(bytes, format, &pages, &reason) == 0) {
        for (const qordoc::Page& p : pages)
            if (p.width <= 0 || p.height <= 0 || p.bits.size() != p.stride * static_cast<std::size_t>(p.height))
                __builtin_trap();
    }
    qordoc::readFaxBytes(bytes, &pages, &reason, 3);
    return 0;
}
