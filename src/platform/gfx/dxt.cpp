#include "platform/gfx/dxt.h"

#include <array>

namespace vesk::platform {

namespace {

void Expand565(uint16_t c, uint8_t out[3]) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    out[0] = uint8_t((b << 3) | (b >> 2));
    out[1] = uint8_t((g << 2) | (g >> 4));
    out[2] = uint8_t((r << 3) | (r >> 2));
}

// The colour part of a block (8 bytes) into 16 BGRA texels.
void ColorBlock(const uint8_t* b, bool dxt1, std::array<uint8_t, 64>& out) {
    const uint16_t c0 = uint16_t(b[0] | (b[1] << 8)), c1 = uint16_t(b[2] | (b[3] << 8));
    uint8_t pal[4][4];
    Expand565(c0, pal[0]);
    Expand565(c1, pal[1]);
    pal[0][3] = pal[1][3] = 255;
    if (!dxt1 || c0 > c1) {
        for (int i = 0; i < 3; ++i) {
            pal[2][i] = uint8_t((2 * pal[0][i] + pal[1][i] + 1) / 3);
            pal[3][i] = uint8_t((pal[0][i] + 2 * pal[1][i] + 1) / 3);
        }
        pal[2][3] = pal[3][3] = 255;
    } else {
        for (int i = 0; i < 3; ++i) {
            pal[2][i] = uint8_t((pal[0][i] + pal[1][i]) / 2);
            pal[3][i] = 0;
        }
        pal[2][3] = 255;
        pal[3][3] = 0;
    }
    const uint32_t bits =
        uint32_t(b[4]) | (uint32_t(b[5]) << 8) | (uint32_t(b[6]) << 16) | (uint32_t(b[7]) << 24);
    for (int t = 0; t < 16; ++t) {
        const uint8_t* p = pal[(bits >> (2 * t)) & 3];
        for (int i = 0; i < 4; ++i) out[size_t(t * 4 + i)] = p[i];
    }
}

} // namespace

std::vector<uint8_t> DecodeDxt(D3DFORMAT format, const uint8_t* data, size_t size, uint32_t width,
                               uint32_t height) {
    std::vector<uint8_t> out(size_t(width) * height * 4, 0);
    const bool dxt1 = format == D3DFMT_DXT1;
    const size_t blockBytes = dxt1 ? 8 : 16;
    const uint32_t bw = (width + 3) / 4, bh = (height + 3) / 4;
    std::array<uint8_t, 64> texels{};
    for (uint32_t by = 0; by < bh; ++by) {
        for (uint32_t bx = 0; bx < bw; ++bx) {
            const size_t at = (size_t(by) * bw + bx) * blockBytes;
            if (at + blockBytes > size) return out;
            const uint8_t* b = data + at;
            ColorBlock(dxt1 ? b : b + 8, dxt1, texels);
            if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
                for (int t = 0; t < 16; ++t) {
                    const uint8_t nib = (b[t / 2] >> ((t & 1) * 4)) & 15;
                    texels[size_t(t * 4 + 3)] = uint8_t(nib * 17);
                }
            } else if (!dxt1) {
                uint8_t a[8] = {b[0], b[1]};
                if (a[0] > a[1]) {
                    for (int i = 1; i < 7; ++i) a[i + 1] = uint8_t(((7 - i) * a[0] + i * a[1] + 3) / 7);
                } else {
                    for (int i = 1; i < 5; ++i) a[i + 1] = uint8_t(((5 - i) * a[0] + i * a[1] + 2) / 5);
                    a[6] = 0;
                    a[7] = 255;
                }
                uint64_t bits = 0;
                for (int i = 0; i < 6; ++i) bits |= uint64_t(b[2 + i]) << (8 * i);
                for (int t = 0; t < 16; ++t) texels[size_t(t * 4 + 3)] = a[(bits >> (3 * t)) & 7];
            }
            for (uint32_t y = 0; y < 4; ++y) {
                const uint32_t py = by * 4 + y;
                if (py >= height) break;
                for (uint32_t x = 0; x < 4; ++x) {
                    const uint32_t px = bx * 4 + x;
                    if (px >= width) break;
                    for (int i = 0; i < 4; ++i)
                        out[(size_t(py) * width + px) * 4 + size_t(i)] = texels[size_t((y * 4 + x) * 4 + i)];
                }
            }
        }
    }
    return out;
}

} // namespace vesk::platform
