// Internal pieces shared by the source files of QORUL (not part of its interface).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qorul::internal {

// A table of objects reached through 32-bit handles that are never 0. A handle carries the
// slot (low 20 bits, slot + 1) and a generation (high 12 bits, never 0), so a handle kept after
// its object was released names nothing: find() gives nullptr, never another object. Freed
// slots are reused oldest first, which keeps a stale handle from matching for as long as possible.
template <typename T>
class HandleTable {
public:
    static constexpr uint32_t kSlotBits = 20;
    static constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
    static constexpr uint32_t kMaxSlots = kSlotMask;  // slot + 1 must fit the mask

    // Stores the object; 0 when the table is full.
    uint32_t add(std::unique_ptr<T> obj) {
        uint32_t slot;
        if (!free_.empty()) {
            slot = free_.front();
            free_.pop_front();
        } else {
            if (entries_.size() >= kMaxSlots) return 0;
            slot = static_cast<uint32_t>(entries_.size());
            entries_.push_back({});
        }
        Entry& e = entries_[slot];
        e.gen = e.gen % 0xFFFu + 1u;  // 1..4095, never 0
        e.obj = std::move(obj);
        ++live_;
        return (e.gen << kSlotBits) | (slot + 1);
    }
    T* find(uint32_t handle) const {
        const Entry* e = entry(handle);
        return e ? e->obj.get() : nullptr;
    }
    // Takes the object out; the handle is dead afterwards.
    std::unique_ptr<T> remove(uint32_t handle) {
        Entry* e = const_cast<Entry*>(entry(handle));
        if (!e) return nullptr;
        std::unique_ptr<T> obj = std::move(e->obj);
        free_.push_back((handle & kSlotMask) - 1);
        --live_;
        return obj;
    }
    std::size_t live() const { return live_; }
    // Every live handle (for clean-up).
    std::vector<uint32_t> handles() const {
        std::vector<uint32_t> out;
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].obj) out.push_back((entries_[i].gen << kSlotBits) | static_cast<uint32_t>(i + 1));
        return out;
    }

private:
    struct Entry {
        uint32_t gen = 0;
        std::unique_ptr<T> obj;
    };
    const Entry* entry(uint32_t handle) const {
        uint32_t slot = handle & kSlotMask;
        uint32_t gen = handle >> kSlotBits;
        if (slot == 0 || slot > entries_.size()) return nullptr;
        const Entry& e = entries_[slot - 1];
        if (!e.obj || e.gen != gen) return nullptr;
        return &e;
    }
    std::vector<Entry> entries_;
    std::deque<uint32_t> free_;
    std::size_t live_ = 0;
};

// Memory: resizing for QORUX (handle and lock count kept).
int16_t resizeBlock(uint32_t handle, uint32_t newsize);

// Files: close everything the file families hold open (reset).
void closeAllFiles();
void closeAllNumberedFiles();
void closeAllTextFiles();

// Language texts: the text with that number, or nullptr. A module that cannot be loaded is
// recorded once in the error log; `status` tells UL_E_NOTEXT or UL_E_LANGFILE.
const std::string* languageText(uint16_t number, int16_t* status);
void resetTexts();

// Trace and error log.
// Appends one line (a time stamp is put in front) to a log file of the profile root.
void appendLog(const char* name, const std::string& line);
void resetTrace();
// Appends a line to error.log with an explanation after the status text.
void errorlogDetail(uint32_t host, const char* operation, int16_t status, const std::string& detail);

// Windows and hooks.
void resetWindows();

// Path of a file in the profile root; empty when the profile cannot be used.
std::string profileFile(const char* name);

// Bounded formatting into a std::string (no fixed buffers).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qorul::internal
