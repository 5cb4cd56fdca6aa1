#include "platform/memory_pages.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>

namespace vesk::platform {

void* AllocateLargePageBlock(size_t bytes) {
    if (bytes == 0 || bytes % kLargePageBytes) return nullptr;
    // One page more than asked, so that an aligned start lies inside; the
    // slack before and after it goes back at once.
    const size_t mapped = bytes + kLargePageBytes;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kLargePageBytes - 1) & ~(uintptr_t{kLargePageBytes} - 1);
    if (aligned > start) ::munmap(p, aligned - start);
    const uintptr_t end = start + mapped;
    if (end > aligned + bytes) ::munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
    // Only advice: without large pages the block still works.
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void FreeLargePageBlock(void* block, size_t bytes) {
    if (block && bytes) ::munmap(block, bytes);
}

void KeepFreedMemoryForReuse() {
    // Blocks below the first size come from the heap, not from mappings of
    // their own that go back on release; the heap's top goes back to the host
    // only beyond the second. A game's peak is what it keeps anyway.
    constexpr int kOwnMappingFrom = 32 << 20;
    constexpr int kGiveBackBeyond = 256 << 20;
    ::mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    ::mallopt(M_TRIM_THRESHOLD, kGiveBackBeyond);
}

} // namespace vesk::platform
