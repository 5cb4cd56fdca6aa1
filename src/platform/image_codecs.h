#pragma once
// Picture files for textures: DDS (DXT1/2/3/4/5 and uncompressed RGB, with
// their mip levels), BMP, TGA, JPG and PNG, decoded into the pixel layout the
// device takes, converted between formats (DXT encoding included) and turned
// into device textures the way the texture-file helpers of the device layer
// are expected to do it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/d3dx.h"
#include "platform/gfx/device.h"

namespace vesk::platform {

// Sizes, levels and format as the file gives them.
struct D3DXIMAGE_INFO {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t Depth = 1;
    uint32_t MipLevels = 1;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
};

// "Take it from the file" for sizes, levels and format.
inline constexpr uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;
// Sizes from the file without rounding up to powers of two.
inline constexpr uint32_t D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;

// Largest side a picture file may have; larger ones are refused as bad data.
inline constexpr uint32_t kMaxImageSide = 16384;

// A decoded picture. Each level holds its rows top first, packed (pitch =
// FormatPitch(format, level width)), in the format's memory layout: B, G, R, A
// bytes for A8R8G8B8 and X8R8G8B8, rows of 4x4 blocks for the DXT formats.
struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
    std::vector<std::vector<uint8_t>> levels;
};

// A DDS file image. False with a reason for anything that is not a complete,
// supported DDS image.
bool DecodeDds(const uint8_t* data, size_t size, DecodedImage& out, std::string* error = nullptr);
// BMP, TGA, JPG or PNG: one level of A8R8G8B8 (pictures with alpha) or X8R8G8B8.
bool DecodePicture(const uint8_t* data, size_t size, DecodedImage& out, std::string* error = nullptr);
// Either of the above, chosen by the file's first bytes.
bool DecodeImageFile(const uint8_t* data, size_t size, DecodedImage& out, std::string* error = nullptr);

// Sizes and format of a file image without decoding its pixels (DDS headers
// are checked in full, other pictures by their headers only).
bool ReadImageInfo(const uint8_t* data, size_t size, D3DXIMAGE_INFO& info);

// Formats the converters below read and write.
bool CanConvertFormat(D3DFORMAT format);
// One level in `format` (packed rows as above) to B, G, R, A bytes; empty
// when the format is not one CanConvertFormat accepts or the bytes are short.
std::vector<uint8_t> LevelToBgra(D3DFORMAT format, const uint8_t* data, size_t size, uint32_t width,
                                 uint32_t height);
// B, G, R, A bytes (width * height * 4) to one level in `format`.
std::vector<uint8_t> BgraToLevel(D3DFORMAT format, const uint8_t* bgra, uint32_t width, uint32_t height);
// Resamples B, G, R, A pixels to another size (area average when shrinking,
// bilinear when growing).
std::vector<uint8_t> ResizeBgra(const uint8_t* bgra, uint32_t width, uint32_t height, uint32_t newWidth,
                                uint32_t newHeight);

// Makes a texture of `levels` levels (0: the full chain) from B, G, R, A
// pixels, each lower level averaged from the one above.
Result CreateTextureFromBgra(IDirect3DDevice9* device, const uint8_t* bgra, uint32_t width, uint32_t height,
                             uint32_t levels, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DTexture9** texture);

// The file's sizes and format without making anything; a missing file is
// D3DERR_NOTFOUND, an unreadable one D3DXERR_INVALIDDATA.
Result D3DXGetImageInfoFromFileA(const char* fileName, D3DXIMAGE_INFO* info);
// Loads a picture file into a new texture. width/height 0 or D3DX_DEFAULT
// take the file's size rounded up to powers of two, D3DX_DEFAULT_NONPOW2 the
// file's size; mipLevels 0 or D3DX_DEFAULT the full chain (the file's own
// levels are used where they fit); format D3DFMT_UNKNOWN or D3DX_DEFAULT the
// file's format. Filters and palettes are not used; a colour key other than
// 0 makes pixels of that colour transparent black.
Result D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* fileName, uint32_t width,
                                    uint32_t height, uint32_t mipLevels, uint32_t usage, D3DFORMAT format,
                                    D3DPOOL pool, uint32_t filter, uint32_t mipFilter, D3DCOLOR colorKey,
                                    D3DXIMAGE_INFO* info, void* palette, IDirect3DTexture9** texture);
// The same from a file image in memory.
Result D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, size_t size,
                                           uint32_t width, uint32_t height, uint32_t mipLevels,
                                           uint32_t usage, D3DFORMAT format, D3DPOOL pool, D3DCOLOR colorKey,
                                           D3DXIMAGE_INFO* info, IDirect3DTexture9** texture);

} // namespace vesk::platform
