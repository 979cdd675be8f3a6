// Movable memory blocks behind 32-bit handles.
//
// A block is allocated locked and zero-filled; the lock count goes up with every lock and down
// with every unlock. Blocks do not move while unlocked, but in a sanitizer build an unlocked
// block is poisoned, so a pointer used after its unlock is reported at the faulty access.
#include <cstring>
#include <memory>

#include "qorul.h"
#include "ul_internal.h"

#if defined(__SANITIZE_ADDRESS__)
#define QOR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOR_ASAN 1
#endif
#endif
#if defined(QOR_ASAN)
#include <sanitizer/asan_interface.h>
#define QOR_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define QOR_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define QOR_POISON(p, n) ((void)(p), (void)(n))
#define QOR_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

// Largest block: far above what the library asks (five pages of 1034 bytes, lists of entries)
// and low enough that a size read from a damaged file cannot exhaust memory.
constexpr uint32_t kMaxBlock = 64u * 1024u * 1024u;

struct Block {
    std::unique_ptr<std::byte[]> data;
    uint32_t size = 0;
    uint32_t locks = 0;

    ~Block() {
        if (data) QOR_UNPOISON(data.get(), size);
    }
};

qorul::internal::HandleTable<Block>& table() {
    static qorul::internal::HandleTable<Block> t;
    return t;
}

int16_t newBlock(void** pointer, uint32_t size, uint32_t* handle) {
    if (pointer) *pointer = nullptr;
    if (handle) *handle = 0;
    if (!pointer || !handle) return UL_E_BADARG;
    if (size == 0 || size > kMaxBlock) return UL_E_BADSIZE;
    auto block = std::make_unique<Block>();
    block->data.reset(new (std::nothrow) std::byte[size]());
    if (!block->data) return UL_E_NOMEM;
    block->size = size;
    block->locks = 1;
    void* p = block->data.get();
    uint32_t h = table().add(std::move(block));
    if (h == 0) return UL_E_NOMEM;
    *pointer = p;
    *handle = h;
    return 0;
}

}  // namespace

int16_t UL_allochandle(void** pointer, uint32_t size, uint32_t* handle) { return newBlock(pointer, size, handle); }

int16_t UL_lockhandle(uint32_t handle, void** pointer) {
    if (pointer) *pointer = nullptr;
    if (!pointer) return UL_E_BADARG;
    Block* b = table().find(handle);
    if (!b) return UL_E_BADHANDLE;
    if (b->locks++ == 0) QOR_UNPOISON(b->data.get(), b->size);
    *pointer = b->data.get();
    return 0;
}

int16_t UL_unlockhandle(uint32_t handle) {
    Block* b = table().find(handle);
    if (!b) return UL_E_BADHANDLE;
    if (b->locks == 0) return UL_E_NOTLOCKED;
    if (--b->locks == 0) QOR_POISON(b->data.get(), b->size);
    return 0;
}

int16_t UL_freehandle(uint32_t handle) {
    // Freeing a locked block is allowed: the callers free on their failure paths without
    // unlocking first.
    if (!table().remove(handle)) return UL_E_BADHANDLE;
    return 0;
}

uint32_t UL_handlesize(uint32_t handle) {
    Block* b = table().find(handle);
    return b ? b->size : 0;
}

uint32_t UL_handlecount() { return static_cast<uint32_t>(table().live()); }

int16_t qorul::internal::resizeBlock(uint32_t handle, uint32_t newsize) {
    Block* b = table().find(handle);
    if (!b) return UL_E_BADHANDLE;
    if (newsize == 0 || newsize > kMaxBlock) return UL_E_BADSIZE;
    std::unique_ptr<std::byte[]> data(new (std::nothrow) std::byte[newsize]());
    if (!data) return UL_E_NOMEM;
    QOR_UNPOISON(b->data.get(), b->size);
    std::memcpy(data.get(), b->data.get(), b->size < newsize ? b->size : newsize);
    b->data = std::move(data);
    b->size = newsize;
    if (b->locks == 0) QOR_POISON(b->data.get(), b->size);
    return 0;
}
