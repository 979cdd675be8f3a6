// Start-up and shut-down of the library, the global work block and its areas.
#include <cstring>

#include "frame/frame.h"
#include "send/send.h"
#include "frame/pbwork.h"

namespace qorsf {

namespace {

// Sizes of the twelve areas of the global work block, in their order.
constexpr uint32_t kAreaSizes[kGlobalAreas] = {419, 723, 748, 682, 80, 80, 80, 80, 80, 80, 80, 120};

constexpr uint32_t sumAreas() {
    uint32_t total = 0;
    for (uint32_t s : kAreaSizes) total += s;
    return total;
}
static_assert(sumAreas() == kGlobalBlockSize, "the areas fill the global work block exactly");

// What SF_open has loaded into the blocks: SF_close writes back only what was loaded, so an
// open that failed half-way never saves empty blocks over the stored parameters or numbers.
struct Loaded {
    bool params = false;
    bool lastNumbers = false;
};
Loaded& loaded() {
    static Loaded l;
    return l;
}

FrameState& state() {
    static FrameState s;
    return s;
}

void cutAreas(char* block) {
    uint32_t offset = 0;
    for (int i = 0; i < kGlobalAreas; ++i) {
        state().area[i] = block + offset;
        offset += kAreaSizes[i];
    }
}

// Statuses that mean the settings keys cannot be named or the profile cannot be reached.
bool cannotReachSettings(int16_t st) {
    return st == UL_E_NOTEXT || st == UL_E_LANGFILE || st == UL_E_PATHLONG || st == UL_E_PROFILE ||
           st == UL_E_NOPATH;
}

}  // namespace

// The system version recorded when the library is loaded (major * 256 + minor).
uint16_t& loadedVersion() {
    static uint16_t v = 0;
    return v;
}

}  // namespace qorsf

extern "C" uint16_t qorsf_load_version(void) {
    const DWORD v = GetVersion();
    qorsf::loadedVersion() = static_cast<uint16_t>((v & 0xFF) * 256 + ((v >> 8) & 0xFF));
    return qorsf::loadedVersion();
}

namespace qorsf {

uint16_t systemVersion() {
    if (loadedVersion() == 0) qorsf_load_version();
    return loadedVersion();
}

FrameState& frame() { return state(); }

void frame_reset() {
    state() = FrameState{};
    loaded() = Loaded{};
}

SF_PARAMS* params() { return reinterpret_cast<SF_PARAMS*>(state().area[3]); }
COVER_SHEET* defaultCover() { return reinterpret_cast<COVER_SHEET*>(state().area[2]); }

int16_t SF_open(uint32_t host) {
    FrameState& f = state();
    L1_viewerinit();  // the viewer controls of the dialogs show their fax pages
    if (!f.globalHandle) {
        void* block = nullptr;
        if (int16_t st = UX_allochandle(&block, kGlobalBlockSize, &f.globalHandle)) {
            f.globalHandle = 0;
            return st;
        }
        cutAreas(static_cast<char*>(block));
    }
    if (!f.lastNumbersHandle) {
        void* block = nullptr;
        if (int16_t st = UX_allochandle(&block, kLastNumberSlots * kLastNumberSlotSize, &f.lastNumbersHandle)) {
            f.lastNumbersHandle = 0;
            return st;
        }
        if (int16_t st = UL_unlockhandle(f.lastNumbersHandle)) return st;
    }
    if (!loaded().lastNumbers) {
        if (int16_t st = SF_getlastnumbers(host)) return st;
        loaded().lastNumbers = true;
    }

    SF_PARAMS* p = params();
    if (int16_t st = SF_loadparams(host, p)) {
        // Without the key names or the profile nothing can be read or written correctly:
        // saving defaults now would overwrite the stored parameters, so stop instead.
        if (cannotReachSettings(st)) return st;
        // A missing key or an unreadable "sf.dat": the defaults over what was loaded, saved at once.
        SF_setdefaults(p);
        if ((st = SF_saveparams(host, p))) return st;
    }
    loaded().params = true;

    f.word2200 = p->word2200;
    f.word2201 = p->word2201;
    f.word2203 = p->word2203;
    f.sendState = 0;
    // The recipient list starts empty; items left by an earlier open are freed, not dropped.
    UT_listfree(host, &f.recipients);

    if (int16_t st = VQ_purgequeue(host)) return st;
    if (int16_t st = SF_readgeneral(host, p)) return st;
    return 0;
}

int16_t SF_close(uint32_t host) {
    FrameState& f = state();
    VQ_shutdown(host);
    SF_pbclose(host);  // closes the phone book store if open and frees the work area

    if (f.globalHandle) {
        SF_PARAMS* p = params();
        p->word2200 = f.word2200;
        p->word2201 = f.word2201;
        p->word2203 = f.word2203;
        if (loaded().params) SF_saveparams(host, p);
        loaded().params = false;
        COVER_SHEET* cover = defaultCover();
        if (cover->memo) {
            UL_freehandle(cover->memo);
            cover->memo = 0;
        }
        UL_freehandle(f.globalHandle);
        f.globalHandle = 0;
        for (char*& a : f.area) a = nullptr;
    }
    if (f.lastNumbersHandle) {
        if (loaded().lastNumbers) SF_savelastnumbers(host);
        loaded().lastNumbers = false;
        UL_freehandle(f.lastNumbersHandle);
        f.lastNumbersHandle = 0;
    }
    UT_listfree(host, &f.recipients);
    SF_dbcachefree(host);  // the record store's page cache
    return 0;
}

int16_t SF_resetsys(uint32_t host, int16_t full) {
    int16_t value = 0;
    int16_t first = UL_getvalue(host, 10, &value);
    auto keep = [&first](int16_t st) {
        if (first == 0) first = st;
    };
    keep(VQ_resetsys(host, value, full ? 1 : 0));
    if (full) {
        keep(VQ_resetfull(host));
        keep(FN_resetsys(host));
    } else {
        keep(VQ_resetpart(host));
    }
    return first;
}

int16_t SF_makefont(uint32_t host, int16_t size, int16_t weight, HFONT* font, uint16_t flags) {
    if (!font) return UL_E_BADARG;
    *font = nullptr;
    const long u = (static_cast<unsigned long>(GetDialogBaseUnits()) >> 16) & 0xFFFF;
    // Integer division truncates toward zero, as the height rule asks.
    const long height = -(static_cast<long>(size) * u * u / 256);
    HFONT made = nullptr;
    if (int16_t st = UT_makefont(host, "", static_cast<int16_t>(height), 0, weight, flags, &made)) return st;
    *font = made;
    return 0;
}

}  // namespace qorsf
