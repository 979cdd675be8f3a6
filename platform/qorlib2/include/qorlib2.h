// QORLIB2: the document list of the send flow, and printing.
#pragma once

#include <cstdint>

// Resets the library's document state for SF_resetsys.
int16_t FN_resetsys(uint32_t host);
