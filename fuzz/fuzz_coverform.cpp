// The cover form reader: any bytes give a status, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "qorce.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string error;
    CE_parseform(std::string(reinterpret_cast<const char*>(data), size), &error);
    return 0;
}
