#pragma once
// Where render units live: side by side in large-page blocks, each unit on a
// cache-line boundary. A tree of many units is then walked with few misses
// of the address cache, and a freed unit's room is the next one's of its size.
#include <cstddef>

namespace vesk {

void* AllocateUnitMemory(size_t bytes);
void FreeUnitMemory(void* p, size_t bytes);
// The bytes units take in the blocks, each unit's room rounded to whole lines
// (for measures; room freed and not yet taken again is not counted).
size_t UnitMemoryInUse();

} // namespace vesk
