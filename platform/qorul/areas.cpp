// Shared areas by number: QORUL hands them out; the library that keeps an area's content
// registers how it is taken and given back (QORLIB2 the document list, area 10).
#include <map>

#include "qorul.h"
#include "qorul_control.h"

namespace {

struct Provider {
    qorul::AreaGet get = nullptr;
    qorul::AreaRelease release = nullptr;
};

std::map<int16_t, Provider>& providers() {
    static std::map<int16_t, Provider> p;
    return p;
}

}  // namespace

bool qorul::setAreaProvider(int16_t number, AreaGet get, AreaRelease release) {
    providers()[number] = Provider{get, release};
    return true;
}

int16_t UL_getarea(uint32_t host, int16_t number, void** area) {
    if (!area) return UL_E_BADARG;
    *area = nullptr;
    auto it = providers().find(number);
    if (it == providers().end() || !it->second.get) return UL_E_NOAREA;
    return it->second.get(host, number, area);
}

int16_t UL_releasearea(uint32_t host, int16_t number) {
    auto it = providers().find(number);
    if (it == providers().end() || !it->second.release) return UL_E_NOAREA;
    return it->second.release(host, number);
}
