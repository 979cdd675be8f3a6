#include "qoricon.h"
#include "qorul.h"
#include "qorwingdi.h"

HICON IC_loadicon(const char* name) {
    if (!name || !*name) return nullptr;
    // The instance is the language module's (system value 13); there is one module.
    return LoadIconA(nullptr, name);
}
