#include "qorlib2.h"

namespace qorlib2_internal {
void forgetDocuments();
}

// A reset forgets the document list held in memory; the next use reads it from the profile.
int16_t FN_resetsys(uint32_t) {
    qorlib2_internal::forgetDocuments();
    return 0;
}
