#include "platform/image_codecs.h"

#include <stb_dxt.h>
#include <stb_image.h>

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "platform/gfx/dxt.h"

namespace vesk::platform {

namespace {

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

uint64_t LevelBytes(D3DFORMAT f, uint32_t w, uint32_t h) {
    return uint64_t(FormatPitch(f, w)) * FormatRows(f, h);
}

uint32_t Half(uint32_t v) {
    return std::max(1u, v / 2);
}

uint32_t FullMipCount(uint32_t w, uint32_t h) {
    uint32_t n = 1;
    while (w > 1 || h > 1) w = Half(w), h = Half(h), ++n;
    return n;
}

uint32_t RoundUpPow2(uint32_t v) {
    uint32_t p = 1;
    while (p < v && p < (1u << 31)) p <<= 1;
    return p;
}

// ---- DDS ------------------------------------------------------------------------
constexpr uint32_t kDdsMagic = 0x20534444; // "DDS "
constexpr uint32_t kDdsHeaderSize = 124;
constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDPF_LUMINANCE = 0x20000;

struct DdsPixelFormat {
    uint32_t flags, fourCC, bits, rMask, gMask, bMask, aMask;
};

// The format the file's pixels are kept in; D3DFMT_UNKNOWN for pixel layouts
// that are converted through their masks.
D3DFORMAT NativeDdsFormat(const DdsPixelFormat& pf) {
    if (pf.flags & DDPF_FOURCC) {
        switch (pf.fourCC) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return D3DFORMAT(pf.fourCC);
        case 21: // some writers put the format number where the code goes
        case 22:
        case 23:
            return D3DFORMAT(pf.fourCC);
        default:
            return D3DFMT_UNKNOWN;
        }
    }
    const uint32_t a = (pf.flags & DDPF_ALPHAPIXELS) ? pf.aMask : 0;
    struct Known {
        uint32_t bits, r, g, b, a;
        D3DFORMAT f;
    } static const known[] = {
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, D3DFMT_A8R8G8B8},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8},
        {16, 0xF800, 0x7E0, 0x1F, 0, D3DFMT_R5G6B5},
        {16, 0x7C00, 0x3E0, 0x1F, 0x8000, D3DFMT_A1R5G5B5},
        {16, 0x7C00, 0x3E0, 0x1F, 0, D3DFMT_X1R5G5B5},
        {16, 0xF00, 0xF0, 0xF, 0xF000, D3DFMT_A4R4G4B4},
    };
    if (pf.flags & DDPF_RGB)
        for (const Known& k : known)
            if (pf.bits == k.bits && pf.rMask == k.r && pf.gMask == k.g && pf.bMask == k.b && a == k.a)
                return k.f;
    if ((pf.flags & DDPF_LUMINANCE) && pf.bits == 8 && pf.rMask == 0xFF && !a) return D3DFMT_L8;
    return D3DFMT_UNKNOWN;
}

// 0..255 of a masked channel; `def` when the mask is empty.
uint8_t MaskedChannel(uint32_t pixel, uint32_t mask, uint8_t def) {
    if (!mask) return def;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint32_t max = mask >> shift;
    const uint32_t v = (pixel & mask) >> shift;
    return uint8_t((uint64_t(v) * 255 + max / 2) / max);
}

// An uncompressed layout other than the known ones, read through its masks.
bool DecodeMaskedDds(const DdsPixelFormat& pf, const uint8_t* p, size_t avail, uint32_t w, uint32_t h,
                     DecodedImage& out, std::string* error) {
    const bool rgb = (pf.flags & (DDPF_RGB | DDPF_LUMINANCE)) != 0;
    if (!rgb || (pf.bits != 8 && pf.bits != 16 && pf.bits != 24 && pf.bits != 32))
        return Fail(error, "unsupported DDS pixel format");
    const uint32_t bpp = pf.bits / 8;
    if (uint64_t(w) * h * bpp > avail) return Fail(error, "DDS pixel data is short");
    const bool lum = (pf.flags & DDPF_LUMINANCE) != 0;
    const uint32_t aMask = (pf.flags & DDPF_ALPHAPIXELS) ? pf.aMask : 0;
    std::vector<uint8_t> bgra(size_t(w) * h * 4);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        uint32_t px = 0;
        for (uint32_t b = 0; b < bpp; ++b) px |= uint32_t(p[i * bpp + b]) << (8 * b);
        uint8_t* d = &bgra[i * 4];
        const uint8_t r = MaskedChannel(px, pf.rMask, 0);
        d[0] = lum ? r : MaskedChannel(px, pf.bMask, 0);
        d[1] = lum ? r : MaskedChannel(px, pf.gMask, 0);
        d[2] = r;
        d[3] = MaskedChannel(px, aMask, 255);
    }
    out.format = aMask ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    out.levels.clear();
    out.levels.push_back(std::move(bgra));
    return true;
}

D3DXIMAGE_FILEFORMAT PictureFileFormat(const uint8_t* data, size_t size) {
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return D3DXIFF_BMP;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return D3DXIFF_JPG;
    if (size >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G')
        return D3DXIFF_PNG;
    return D3DXIFF_TGA;
}

} // namespace

bool DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, std::string* error) {
    out = DecodedImage{};
    out.fileFormat = D3DXIFF_DDS;
    if (!data || size < 4 + kDdsHeaderSize || Read32(data) != kDdsMagic) return Fail(error, "not a DDS file");
    const uint8_t* h = data + 4;
    if (Read32(h) != kDdsHeaderSize) return Fail(error, "bad DDS header size");
    const uint32_t flags = Read32(h + 4);
    const uint32_t height = Read32(h + 8), width = Read32(h + 12);
    uint32_t mips = (flags & DDSD_MIPMAPCOUNT) ? Read32(h + 24) : 1;
    DdsPixelFormat pf{Read32(h + 76), Read32(h + 80), Read32(h + 84), Read32(h + 88),
                      Read32(h + 92), Read32(h + 96), Read32(h + 100)};
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        return Fail(error, "bad DDS size");
    if ((pf.flags & DDPF_FOURCC) && pf.fourCC == MakeFourCC('D', 'X', '1', '0'))
        return Fail(error, "DDS files with the extended header are not supported");
    out.width = width;
    out.height = height;
    const uint8_t* p = data + 4 + kDdsHeaderSize;
    size_t avail = size - 4 - kDdsHeaderSize;
    const D3DFORMAT f = NativeDdsFormat(pf);
    if (f == D3DFMT_UNKNOWN) return DecodeMaskedDds(pf, p, avail, width, height, out, error);
    out.format = f;
    const uint32_t full = FullMipCount(width, height);
    if (mips == 0) mips = 1;
    mips = std::min(mips, full);
    uint32_t w = width, hgt = height;
    for (uint32_t i = 0; i < mips; ++i, w = Half(w), hgt = Half(hgt)) {
        const uint64_t n = LevelBytes(f, w, hgt);
        if (n > avail) {
            // Missing lower levels are made again by the loader; a missing top level is bad data.
            if (i == 0) return Fail(error, "DDS pixel data is short");
            break;
        }
        out.levels.emplace_back(p, p + n);
        p += n;
        avail -= size_t(n);
    }
    return true;
}

bool DecodePicture(const uint8_t* data, size_t size, DecodedImage& out, std::string* error) {
    out = DecodedImage{};
    if (!data || size == 0 || size > size_t(INT32_MAX)) return Fail(error, "empty picture file");
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, int(size), &w, &h, &comp)) return Fail(error, "unknown picture format");
    if (w <= 0 || h <= 0 || uint32_t(w) > kMaxImageSide || uint32_t(h) > kMaxImageSide)
        return Fail(error, "bad picture size");
    out.fileFormat = PictureFileFormat(data, size);
    int lw = 0, lh = 0, lc = 0;
    stbi_uc* rgba = stbi_load_from_memory(data, int(size), &lw, &lh, &lc, 4);
    if (!rgba) return Fail(error, stbi_failure_reason() ? stbi_failure_reason() : "bad picture data");
    if (lw != w || lh != h) {
        stbi_image_free(rgba);
        return Fail(error, "bad picture size");
    }
    std::vector<uint8_t> bgra(size_t(w) * h * 4);
    const bool alpha = lc == 2 || lc == 4;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        bgra[i * 4] = rgba[i * 4 + 2];
        bgra[i * 4 + 1] = rgba[i * 4 + 1];
        bgra[i * 4 + 2] = rgba[i * 4];
        bgra[i * 4 + 3] = alpha ? rgba[i * 4 + 3] : 255;
    }
    stbi_image_free(rgba);
    out.width = uint32_t(w);
    out.height = uint32_t(h);
    out.format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    out.levels.push_back(std::move(bgra));
    return true;
}

bool DecodeImageFile(const uint8_t* data, size_t size, DecodedImage& out, std::string* error) {
    if (data && size >= 4 && Read32(data) == kDdsMagic) return DecodeDds(data, size, out, error);
    return DecodePicture(data, size, out, error);
}

bool ReadImageInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO& info) {
    DecodedImage img;
    if (data && size >= 4 && Read32(data) == kDdsMagic) {
        if (!DecodeDds(data, size, img)) return false;
    } else {
        int w = 0, h = 0, comp = 0;
        if (!data || size == 0 || size > size_t(INT32_MAX) ||
            !stbi_info_from_memory(data, int(size), &w, &h, &comp))
            return false;
        if (w <= 0 || h <= 0 || uint32_t(w) > kMaxImageSide || uint32_t(h) > kMaxImageSide) return false;
        img.width = uint32_t(w);
        img.height = uint32_t(h);
        img.format = comp == 2 || comp == 4 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        img.fileFormat = PictureFileFormat(data, size);
        img.levels.resize(1);
    }
    info.Width = img.width;
    info.Height = img.height;
    info.Depth = 1;
    info.MipLevels = uint32_t(img.levels.size());
    info.Format = img.format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = img.fileFormat;
    return true;
}

// ---- format conversion -------------------------------------------------------------
bool CanConvertFormat(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_L8:
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return true;
    default:
        return false;
    }
}

namespace {

uint8_t Expand(uint32_t v, uint32_t bits) {
    const uint32_t max = (1u << bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
}
uint32_t Shrink(uint8_t v, uint32_t bits) {
    const uint32_t max = (1u << bits) - 1;
    return (uint32_t(v) * max + 127) / 255;
}

void Block16(const uint8_t* bgra, uint32_t w, uint32_t h, uint32_t bx, uint32_t by, uint8_t rgba[64]) {
    // Edge blocks repeat the last row and column.
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            const uint32_t sx = std::min(bx * 4 + x, w - 1), sy = std::min(by * 4 + y, h - 1);
            const uint8_t* s = bgra + (size_t(sy) * w + sx) * 4;
            uint8_t* d = rgba + (y * 4 + x) * 4;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = s[3];
        }
}

std::vector<uint8_t> EncodeDxt(D3DFORMAT f, const uint8_t* bgra, uint32_t w, uint32_t h) {
    const uint32_t bw = (w + 3) / 4, bh = (h + 3) / 4;
    const uint32_t blockBytes = f == D3DFMT_DXT1 ? 8 : 16;
    std::vector<uint8_t> out(size_t(bw) * bh * blockBytes);
    uint8_t rgba[64];
    for (uint32_t by = 0; by < bh; ++by)
        for (uint32_t bx = 0; bx < bw; ++bx) {
            Block16(bgra, w, h, bx, by, rgba);
            uint8_t* d = out.data() + (size_t(by) * bw + bx) * blockBytes;
            if (f == D3DFMT_DXT1) {
                stb_compress_dxt_block(d, rgba, 0, STB_DXT_NORMAL);
            } else if (f == D3DFMT_DXT2 || f == D3DFMT_DXT3) {
                // Explicit alpha: four bits per texel, then the colour block.
                for (int i = 0; i < 8; ++i)
                    d[i] = uint8_t(Shrink(rgba[(i * 2) * 4 + 3], 4) |
                                   (Shrink(rgba[(i * 2 + 1) * 4 + 3], 4) << 4));
                stb_compress_dxt_block(d + 8, rgba, 0, STB_DXT_NORMAL);
                // The colour half of a 16-byte block must not use the colour-key mode.
                if ((d[8] | (d[9] << 8)) < (d[10] | (d[11] << 8))) {
                    std::swap(d[8], d[10]);
                    std::swap(d[9], d[11]);
                    for (int i = 12; i < 16; ++i) d[i] = uint8_t(d[i] ^ 0x55);
                }
            } else {
                stb_compress_dxt_block(d, rgba, 1, STB_DXT_NORMAL);
            }
        }
    return out;
}

} // namespace

std::vector<uint8_t> LevelToBgra(D3DFORMAT f, const uint8_t* data, size_t size, uint32_t w, uint32_t h) {
    if (!CanConvertFormat(f) || !data || w == 0 || h == 0 || LevelBytes(f, w, h) > size) return {};
    if (IsCompressedFormat(f)) return DecodeDxt(f, data, size, w, h);
    std::vector<uint8_t> out(size_t(w) * h * 4);
    const uint32_t bpp = FormatBytesPerPixel(f);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const uint8_t* s = data + i * bpp;
        uint8_t* d = &out[i * 4];
        const uint32_t px16 = bpp == 2 ? uint32_t(s[0] | (s[1] << 8)) : 0;
        switch (f) {
        case D3DFMT_A8R8G8B8:
            std::memcpy(d, s, 4);
            break;
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R8G8B8:
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
            break;
        case D3DFMT_R5G6B5:
            d[0] = Expand(px16 & 31, 5), d[1] = Expand((px16 >> 5) & 63, 6), d[2] = Expand(px16 >> 11, 5);
            d[3] = 255;
            break;
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5:
            d[0] = Expand(px16 & 31, 5), d[1] = Expand((px16 >> 5) & 31, 5),
            d[2] = Expand((px16 >> 10) & 31, 5);
            d[3] = f == D3DFMT_X1R5G5B5 || (px16 & 0x8000) ? 255 : 0;
            break;
        case D3DFMT_A4R4G4B4:
            d[0] = Expand(px16 & 15, 4), d[1] = Expand((px16 >> 4) & 15, 4),
            d[2] = Expand((px16 >> 8) & 15, 4);
            d[3] = Expand(px16 >> 12, 4);
            break;
        default: // L8
            d[0] = d[1] = d[2] = s[0];
            d[3] = 255;
            break;
        }
    }
    return out;
}

std::vector<uint8_t> BgraToLevel(D3DFORMAT f, const uint8_t* bgra, uint32_t w, uint32_t h) {
    if (!CanConvertFormat(f) || !bgra || w == 0 || h == 0) return {};
    if (IsCompressedFormat(f)) return EncodeDxt(f, bgra, w, h);
    const uint32_t bpp = FormatBytesPerPixel(f);
    std::vector<uint8_t> out(size_t(w) * h * bpp);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        const uint8_t* s = bgra + i * 4;
        uint8_t* d = &out[i * bpp];
        uint32_t px16 = 0;
        switch (f) {
        case D3DFMT_A8R8G8B8:
            std::memcpy(d, s, 4);
            break;
        case D3DFMT_X8R8G8B8:
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
            break;
        case D3DFMT_R8G8B8:
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            break;
        case D3DFMT_R5G6B5:
            px16 = (Shrink(s[2], 5) << 11) | (Shrink(s[1], 6) << 5) | Shrink(s[0], 5);
            break;
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5:
            px16 = (Shrink(s[2], 5) << 10) | (Shrink(s[1], 5) << 5) | Shrink(s[0], 5);
            if (f == D3DFMT_X1R5G5B5 || s[3] >= 128) px16 |= 0x8000;
            break;
        case D3DFMT_A4R4G4B4:
            px16 =
                (Shrink(s[3], 4) << 12) | (Shrink(s[2], 4) << 8) | (Shrink(s[1], 4) << 4) | Shrink(s[0], 4);
            break;
        default: // L8: the luminance of the colour
            d[0] = uint8_t((s[2] * 77 + s[1] * 150 + s[0] * 29 + 128) >> 8);
            break;
        }
        if (bpp == 2) {
            d[0] = uint8_t(px16 & 255);
            d[1] = uint8_t(px16 >> 8);
        }
    }
    return out;
}

std::vector<uint8_t> ResizeBgra(const uint8_t* bgra, uint32_t w, uint32_t h, uint32_t nw, uint32_t nh) {
    std::vector<uint8_t> out(size_t(nw) * nh * 4);
    if (nw == w && nh == h) {
        std::memcpy(out.data(), bgra, out.size());
        return out;
    }
    if (w == nw * 2 && h == nh * 2) {
        // The next mip level: each texel the rounded mean of a 2x2 square (the
        // general average below, without its per-texel range work).
        const size_t row = size_t(w) * 4;
        for (uint32_t y = 0; y < nh; ++y) {
            const uint8_t* a = bgra + size_t(y) * 2 * row;
            const uint8_t* b = a + row;
            uint8_t* d = &out[size_t(y) * nw * 4];
            for (uint32_t x = 0; x < nw * 4; x += 4, a += 8, b += 8, d += 4)
                for (int c = 0; c < 4; ++c) d[c] = uint8_t((a[c] + a[c + 4] + b[c] + b[c + 4] + 2) / 4);
        }
        return out;
    }
    for (uint32_t y = 0; y < nh; ++y)
        for (uint32_t x = 0; x < nw; ++x) {
            uint8_t* d = &out[(size_t(y) * nw + x) * 4];
            if (nw <= w && nh <= h) {
                // Average of the source texels the target texel covers.
                const uint32_t x0 = uint32_t(uint64_t(x) * w / nw),
                               x1 = std::max(x0 + 1, uint32_t(uint64_t(x + 1) * w / nw));
                const uint32_t y0 = uint32_t(uint64_t(y) * h / nh),
                               y1 = std::max(y0 + 1, uint32_t(uint64_t(y + 1) * h / nh));
                uint64_t sum[4] = {};
                for (uint32_t sy = y0; sy < y1; ++sy)
                    for (uint32_t sx = x0; sx < x1; ++sx)
                        for (int c = 0; c < 4; ++c) sum[c] += bgra[(size_t(sy) * w + sx) * 4 + c];
                const uint64_t n = uint64_t(x1 - x0) * (y1 - y0);
                for (int c = 0; c < 4; ++c) d[c] = uint8_t((sum[c] + n / 2) / n);
            } else {
                const float fx = std::clamp((x + 0.5f) * float(w) / float(nw) - 0.5f, 0.0f, float(w - 1));
                const float fy = std::clamp((y + 0.5f) * float(h) / float(nh) - 0.5f, 0.0f, float(h - 1));
                const uint32_t ix = uint32_t(fx), iy = uint32_t(fy);
                const uint32_t jx = std::min(ix + 1, w - 1), jy = std::min(iy + 1, h - 1);
                const float ax = fx - float(ix), ay = fy - float(iy);
                for (int c = 0; c < 4; ++c) {
                    auto at = [&](uint32_t sx, uint32_t sy) {
                        return float(bgra[(size_t(sy) * w + sx) * 4 + c]);
                    };
                    const float top = at(ix, iy) * (1 - ax) + at(jx, iy) * ax;
                    const float bottom = at(ix, jy) * (1 - ax) + at(jx, jy) * ax;
                    d[c] = uint8_t(std::clamp(top * (1 - ay) + bottom * ay + 0.5f, 0.0f, 255.0f));
                }
            }
        }
    return out;
}

namespace {

// Copies packed level bytes into a locked texture level row by row.
Result FillLevel(IDirect3DTexture9* tex, uint32_t level, D3DFORMAT f, uint32_t w, uint32_t h,
                 const std::vector<uint8_t>& bytes) {
    D3DLOCKED_RECT lr;
    Result r = tex->LockRect(level, &lr, nullptr, 0);
    if (Failed(r)) return r;
    const uint32_t pitch = FormatPitch(f, w), rows = FormatRows(f, h);
    for (uint32_t y = 0; y < rows && size_t(y + 1) * pitch <= bytes.size(); ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + size_t(y) * uint32_t(lr.Pitch),
                    bytes.data() + size_t(y) * pitch, pitch);
    return tex->UnlockRect(level);
}

} // namespace

Result CreateTextureFromBgra(IDirect3DDevice9* device, const uint8_t* bgra, uint32_t w, uint32_t h,
                             uint32_t levels, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    if (!device || !bgra || !texture || w == 0 || h == 0) return D3DERR_INVALIDCALL;
    if (!CanConvertFormat(format)) format = D3DFMT_A8R8G8B8;
    const uint32_t full = FullMipCount(w, h);
    if (levels == 0 || levels > full) levels = full;
    Ref<IDirect3DTexture9> tex;
    Result r = device->CreateTexture(w, h, levels, usage, format, pool, tex.Put(), nullptr);
    if (Failed(r)) return r;
    levels = tex->GetLevelCount();
    std::vector<uint8_t> cur(bgra, bgra + size_t(w) * h * 4);
    // Block-compressed levels are handed to the device as pixels: it makes
    // the blocks where it suits it (the GL device off the loading thread).
    std::vector<std::vector<uint8_t>> pixelLevels;
    uint32_t lw = w, lh = h;
    for (uint32_t i = 0; i < levels; ++i) {
        if (i > 0) {
            const uint32_t nw = Half(lw), nh = Half(lh);
            cur = ResizeBgra(pixelLevels.empty() ? cur.data() : pixelLevels.back().data(), lw, lh, nw, nh);
            lw = nw, lh = nh;
        }
        if (IsCompressedFormat(format)) {
            pixelLevels.push_back(std::move(cur));
            continue;
        }
        r = FillLevel(tex.Get(), i, format, lw, lh, BgraToLevel(format, cur.data(), lw, lh));
        if (Failed(r)) return r;
    }
    if (!pixelLevels.empty()) {
        r = device->FillCompressedTexture(tex.Get(), std::move(pixelLevels));
        if (Failed(r)) return r;
    }
    *texture = tex.Detach();
    return D3D_OK;
}

Result D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, size_t size,
                                           uint32_t width, uint32_t height, uint32_t mipLevels,
                                           uint32_t usage, D3DFORMAT format, D3DPOOL pool, D3DCOLOR colorKey,
                                           D3DXIMAGE_INFO* info, IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    if (!device || !data || !texture) return D3DERR_INVALIDCALL;
    DecodedImage img;
    if (!DecodeImageFile(static_cast<const uint8_t*>(data), size, img)) return D3DXERR_INVALIDDATA;
    if (info) ReadImageInfo(static_cast<const uint8_t*>(data), size, *info);
    auto sizeOf = [](uint32_t asked, uint32_t own) {
        if (asked == 0 || asked == D3DX_DEFAULT) return RoundUpPow2(own);
        if (asked == D3DX_DEFAULT_NONPOW2) return own;
        return asked;
    };
    const uint32_t w = sizeOf(width, img.width), h = sizeOf(height, img.height);
    if (w > kMaxImageSide || h > kMaxImageSide) return D3DERR_INVALIDCALL;
    if (format == D3DFMT_UNKNOWN || uint32_t(format) == D3DX_DEFAULT) format = img.format;
    const uint32_t full = FullMipCount(w, h);
    uint32_t levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? full : std::min(mipLevels, full);

    // The file's own levels go in unchanged when nothing about them changes;
    // levels the file lacks are made from the last one it has.
    if (format == img.format && w == img.width && h == img.height && colorKey == 0 &&
        (levels <= img.levels.size() || CanConvertFormat(format))) {
        Ref<IDirect3DTexture9> tex;
        Result r = device->CreateTexture(w, h, levels, usage, format, pool, tex.Put(), nullptr);
        if (Failed(r)) return r;
        uint32_t lw = w, lh = h, pw = w, ph = h; // this level's size and the one above
        std::vector<uint8_t> made; // B, G, R, A of the level above, once the file's levels run out
        for (uint32_t i = 0; i < tex->GetLevelCount(); ++i) {
            if (i < img.levels.size()) {
                r = FillLevel(tex.Get(), i, format, lw, lh, img.levels[i]);
            } else {
                if (made.empty())
                    made = LevelToBgra(format, img.levels[i - 1].data(), img.levels[i - 1].size(), pw, ph);
                if (made.empty()) return D3DXERR_INVALIDDATA;
                made = ResizeBgra(made.data(), pw, ph, lw, lh);
                r = FillLevel(tex.Get(), i, format, lw, lh, BgraToLevel(format, made.data(), lw, lh));
            }
            if (Failed(r)) return r;
            pw = lw, ph = lh;
            lw = Half(lw), lh = Half(lh);
        }
        *texture = tex.Detach();
        return D3D_OK;
    }
    std::vector<uint8_t> bgra =
        LevelToBgra(img.format, img.levels[0].data(), img.levels[0].size(), img.width, img.height);
    if (bgra.empty()) return D3DXERR_INVALIDDATA;
    if (colorKey != 0)
        for (size_t i = 0; i < bgra.size(); i += 4) {
            const D3DCOLOR c = D3DCOLOR_ARGB(bgra[i + 3], bgra[i + 2], bgra[i + 1], bgra[i]);
            if (c == colorKey) std::memset(&bgra[i], 0, 4);
        }
    if (w != img.width || h != img.height) bgra = ResizeBgra(bgra.data(), img.width, img.height, w, h);
    return CreateTextureFromBgra(device, bgra.data(), w, h, levels, usage, format, pool, texture);
}

Result D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* fileName, uint32_t width,
                                    uint32_t height, uint32_t mipLevels, uint32_t usage, D3DFORMAT format,
                                    D3DPOOL pool, uint32_t, uint32_t, D3DCOLOR colorKey, D3DXIMAGE_INFO* info,
                                    void*, IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    if (!device || !fileName || !texture) return D3DERR_INVALIDCALL;
    std::string bytes;
    if (!ReadFile(fileName, bytes)) return D3DERR_NOTFOUND;
    return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), bytes.size(), width, height, mipLevels,
                                               usage, format, pool, colorKey, info, texture);
}

Result D3DXGetImageInfoFromFileA(const char* fileName, D3DXIMAGE_INFO* info) {
    if (!fileName || !info) return D3DERR_INVALIDCALL;
    std::string bytes;
    if (!ReadFile(fileName, bytes)) return D3DERR_NOTFOUND;
    return ReadImageInfo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), *info)
               ? D3D_OK
               : D3DXERR_INVALIDDATA;
}

} // namespace vesk::platform
