// The document list is shared area 10 of QORUL: it is taken and given back through
// UL_getarea and UL_releasearea, which come here.
#include "qorlib2.h"
#include "qorul_control.h"

namespace {
const bool registered = qorul::setAreaProvider(FN_AREA_DOCLIST, FN_getarea, FN_releasearea);
}  // namespace

extern const bool* const FN_areasLinked = &registered;
