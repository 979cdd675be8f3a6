#include <cstring>

#include "qorul.h"
#include "qorut.h"

namespace {

// Locks the handle array of a list for the lifetime of the guard.
class ItemArray {
public:
    explicit ItemArray(uint32_t handle) : handle_(handle) {
        void* p = nullptr;
        if (handle_ && UL_lockhandle(handle_, &p) == 0) items_ = static_cast<uint32_t*>(p);
        else handle_ = 0;
    }
    ~ItemArray() {
        if (handle_) UL_unlockhandle(handle_);
    }
    ItemArray(const ItemArray&) = delete;
    ItemArray& operator=(const ItemArray&) = delete;
    uint32_t* get() const { return items_; }

private:
    uint32_t handle_;
    uint32_t* items_ = nullptr;
};

int16_t copyOut(uint32_t item, void* out, uint32_t outsize) {
    void* p = nullptr;
    if (int16_t st = UL_lockhandle(item, &p)) return st;
    uint32_t size = UL_handlesize(item);
    std::memcpy(out, p, size < outsize ? size : outsize);
    return UL_unlockhandle(item);
}

int16_t makeItem(const void* item, uint32_t size, uint32_t* handle) {
    void* p = nullptr;
    if (int16_t st = UL_allochandle(&p, size ? size : 1, handle)) return st;
    if (size) std::memcpy(p, item, size);
    return UL_unlockhandle(*handle);
}

int16_t ensureRoom(UT_LIST* list) {
    if (list->count < list->capacity && list->items) return 0;
    uint32_t newcap = list->capacity ? list->capacity * 2 : 16;
    void* p = nullptr;
    uint32_t h = 0;
    if (int16_t st = UL_allochandle(&p, newcap * sizeof(uint32_t), &h)) return st;
    if (list->items) {
        ItemArray old(list->items);
        if (!old.get()) {
            UL_freehandle(h);
            return UL_E_BADHANDLE;
        }
        std::memcpy(p, old.get(), list->count * sizeof(uint32_t));
    }
    UL_unlockhandle(h);
    if (list->items) UL_freehandle(list->items);
    list->items = h;
    list->capacity = newcap;
    return 0;
}

}  // namespace

int16_t UT_listinsert(uint32_t, UT_LIST* list, uint32_t n, const void* item, uint32_t size) {
    if (!list || (!item && size)) return UL_E_BADARG;
    if (n > list->count) return UT_E_RANGE;
    uint32_t h = 0;
    if (int16_t st = makeItem(item, size, &h)) return st;
    if (int16_t st = ensureRoom(list)) {
        UL_freehandle(h);
        return st;
    }
    ItemArray arr(list->items);
    if (!arr.get()) {
        UL_freehandle(h);
        return UL_E_BADHANDLE;
    }
    std::memmove(arr.get() + n + 1, arr.get() + n, (list->count - n) * sizeof(uint32_t));
    arr.get()[n] = h;
    ++list->count;
    return 0;
}

int16_t UT_listadd(uint32_t host, UT_LIST* list, const void* item, uint32_t size) {
    if (!list) return UL_E_BADARG;
    return UT_listinsert(host, list, list->count, item, size);
}

int16_t UT_listdelete(uint32_t, UT_LIST* list, uint32_t n) {
    if (!list) return UL_E_BADARG;
    if (n < 1 || n > list->count) return UT_E_RANGE;
    ItemArray arr(list->items);
    if (!arr.get()) return UL_E_BADHANDLE;
    UL_freehandle(arr.get()[n - 1]);
    std::memmove(arr.get() + n - 1, arr.get() + n, (list->count - n) * sizeof(uint32_t));
    --list->count;
    return 0;
}

int16_t UT_listget(uint32_t, const UT_LIST* list, uint32_t n, void* out, uint32_t outsize) {
    if (!list || !out) return UL_E_BADARG;
    if (n < 1 || n > list->count) return UT_E_RANGE;
    ItemArray arr(list->items);
    if (!arr.get()) return UL_E_BADHANDLE;
    return copyOut(arr.get()[n - 1], out, outsize);
}

int16_t UT_listnext(uint32_t host, UT_LIST* list, void* out, uint32_t outsize, int16_t* found) {
    if (!list || !found) return UL_E_BADARG;
    *found = 0;
    if (list->position < 1 || list->position > list->count) return 0;
    if (int16_t st = UT_listget(host, list, list->position, out, outsize)) return st;
    ++list->position;
    *found = 1;
    return 0;
}

int16_t UT_listfirst(uint32_t host, UT_LIST* list, void* out, uint32_t outsize, int16_t* found) {
    if (!list) return UL_E_BADARG;
    list->position = 1;
    return UT_listnext(host, list, out, outsize, found);
}

uint32_t UT_listcount(const UT_LIST* list) { return list ? list->count : 0; }

int16_t UT_listfree(uint32_t, UT_LIST* list) {
    if (!list) return UL_E_BADARG;
    if (list->items) {
        {
            ItemArray arr(list->items);
            if (arr.get())
                for (uint32_t i = 0; i < list->count; ++i) UL_freehandle(arr.get()[i]);
        }
        UL_freehandle(list->items);
    }
    std::memset(list, 0, sizeof *list);
    return 0;
}
