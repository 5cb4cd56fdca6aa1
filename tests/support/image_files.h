#pragma once
// Hand-made picture files for the texture tests: DDS images of a given pixel
// format and the 24-bit BMP the device layer writes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/d3dx.h"
#include "platform/gfx/types.h"

namespace vesk::test {

inline void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 255);
}

// A DDS file image: header for the given pixel format, then `pixels`.
inline std::string Dds(uint32_t width, uint32_t height, uint32_t mips, uint32_t pfFlags, uint32_t fourCC,
                       uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                       const std::string& pixels) {
    std::string s(128, '\0');
    Put32(s, 0, 0x20534444);
    Put32(s, 4, 124);
    Put32(s, 8, 0x1007 | (mips > 1 ? 0x20000 : 0));
    Put32(s, 12, height);
    Put32(s, 16, width);
    Put32(s, 28, mips);
    Put32(s, 76, 32);
    Put32(s, 80, pfFlags);
    Put32(s, 84, fourCC);
    Put32(s, 88, bits);
    Put32(s, 92, r);
    Put32(s, 96, g);
    Put32(s, 100, b);
    Put32(s, 104, a);
    Put32(s, 108, 0x1000);
    return s + pixels;
}

inline std::string DxtDds(uint32_t w, uint32_t h, platform::D3DFORMAT f, const std::string& blocks) {
    return Dds(w, h, 1, 0x4, f, 0, 0, 0, 0, 0, blocks);
}

// A8R8G8B8 pixels given as colours, levels one after another.
inline std::string ArgbDds(uint32_t w, uint32_t h, uint32_t mips, const std::vector<uint32_t>& colours) {
    std::string pixels;
    for (uint32_t c : colours) pixels += std::string(reinterpret_cast<const char*>(&c), 4);
    return Dds(w, h, mips, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, pixels);
}

// A w x h BMP of one colour (A8R8G8B8 value; the alpha is dropped).
inline std::string FlatBmp(uint32_t w, uint32_t h, uint32_t colour) {
    std::vector<uint32_t> px(size_t(w) * h, colour);
    return platform::EncodeBmp24(reinterpret_cast<const uint8_t*>(px.data()), w, h, w * 4);
}

// Red (0xF800) and blue (0x001F) endpoints; the four rows use indices 0, 1, 2, 3.
inline const std::string kDxt1Block("\x00\xF8\x1F\x00\x00\x55\xAA\xFF", 8);

} // namespace vesk::test
