#pragma once
// Decoding of DXT1/3/5 blocks into B, G, R, A bytes, for drivers without
// compressed texture support.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/types.h"

namespace vesk::platform {

// Rows top first, width * 4 bytes each. Missing input blocks decode as zeros.
std::vector<uint8_t> DecodeDxt(D3DFORMAT format, const uint8_t* data, size_t size, uint32_t width,
                               uint32_t height);

} // namespace vesk::platform
