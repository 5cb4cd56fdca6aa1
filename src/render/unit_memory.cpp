#include "render/unit_memory.h"

#include "platform/memory_pages.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_set>

namespace vesk {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnBlocks = false; // the sanitizer watches every unit on its own
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnBlocks = false;
#else
constexpr bool kOwnBlocks = true;
#endif
#else
constexpr bool kOwnBlocks = true;
#endif

constexpr size_t kLine = 64;
// Larger units (few, and large anyway) come from the general heap.
constexpr size_t kLargestKept = 4096;
constexpr std::align_val_t kLineAlign{kLine};

size_t Rounded(size_t bytes) {
    return (bytes + kLine - 1) / kLine * kLine;
}

class UnitArena {
public:
    void* Allocate(size_t bytes) {
        const size_t size = Rounded(bytes);
        if (!kOwnBlocks || size > kLargestKept) return ::operator new(bytes, kLineAlign);
        std::lock_guard lock(mutex_);
        if (FreeRoom*& head = free_[size / kLine]) {
            FreeRoom* room = head;
            head = room->next;
            inUse_ += size;
            return room;
        }
        if (static_cast<size_t>(end_ - next_) < size && !NewBlock()) return ::operator new(bytes, kLineAlign);
        void* p = next_;
        next_ += size;
        inUse_ += size;
        return p;
    }

    void Free(void* p, size_t bytes) {
        if (!p) return;
        const size_t size = Rounded(bytes);
        if (kOwnBlocks && size <= kLargestKept) {
            std::lock_guard lock(mutex_);
            if (blocks_.count(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{kBlock} - 1))) {
                auto* room = static_cast<FreeRoom*>(p);
                room->next = free_[size / kLine];
                free_[size / kLine] = room;
                inUse_ -= size;
                return;
            }
        }
        ::operator delete(p, kLineAlign);
    }

    size_t InUse() {
        std::lock_guard lock(mutex_);
        return inUse_;
    }

private:
    static constexpr size_t kBlock = platform::kLargePageBytes;
    struct FreeRoom {
        FreeRoom* next;
    };

    bool NewBlock() {
        void* block = platform::AllocateLargePageBlock(kBlock);
        if (!block) return false;
        // The rest of the current block stays unused: units are never split.
        blocks_.insert(reinterpret_cast<uintptr_t>(block));
        next_ = static_cast<std::byte*>(block);
        end_ = next_ + kBlock;
        return true;
    }

    std::mutex mutex_;
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
    size_t inUse_ = 0;
    std::array<FreeRoom*, kLargestKept / kLine + 1> free_{};
    std::unordered_set<uintptr_t> blocks_;
};

// Never destroyed: units freed during the program's own exit still find it.
UnitArena& Arena() {
    static UnitArena& arena = *new UnitArena;
    return arena;
}

} // namespace

void* AllocateUnitMemory(size_t bytes) {
    return Arena().Allocate(bytes);
}

void FreeUnitMemory(void* p, size_t bytes) {
    Arena().Free(p, bytes);
}

size_t UnitMemoryInUse() {
    return Arena().InUse();
}

} // namespace vesk
