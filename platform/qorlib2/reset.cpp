#include "qorlib2.h"

// The document list keeps no state between calls yet; a reset has nothing to clear.
int16_t FN_resetsys(uint32_t) { return 0; }
