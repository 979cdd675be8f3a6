// What the commands that take documents share: the check that refuses a document that cannot
// be faxed, with its kind and the reason.
#pragma once

#include <cstdint>
#include <string>

namespace qorfax {

// 0 when the document can be faxed (pages gets its page count); otherwise prints
// "qorfax: PATH: cannot be faxed: REASON" and returns the status.
int16_t checkDocument(uint32_t host, const std::string& path, bool fine, int* pages);

}  // namespace qorfax
