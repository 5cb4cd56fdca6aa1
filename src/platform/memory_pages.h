#pragma once
// Large blocks of memory for what the engine keeps many small objects in: the
// host is asked to back them with large pages, so that walking a great many
// objects spread over the block does not miss the address cache at each one.
#include <cstddef>

namespace vesk::platform {

// The size and alignment of one large page.
inline constexpr size_t kLargePageBytes = size_t{2} << 20;

// A zeroed block of bytes (a multiple of kLargePageBytes), aligned to a large
// page; nullptr when the host has no memory for it.
void* AllocateLargePageBlock(size_t bytes);
void FreeLargePageBlock(void* block, size_t bytes);

// Keeps what the heap frees mapped for the next allocations instead of giving
// it back to the host at once. Memory the process has not touched yet costs a
// fault per page on its first use; a frame that needs more room than the last
// (a render list that outgrows its pool, a tree that grows) then takes pages it
// touched before. Called at the program's start, before the game is made; a
// second call changes nothing.
void KeepFreedMemoryForReuse();

} // namespace vesk::platform
