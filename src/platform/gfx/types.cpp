#include "platform/gfx/types.h"

#include <cstring>

namespace vesk::platform {

uint32_t FvfVertexSize(uint32_t fvf) {
    uint32_t size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case 0:
        break;
    case D3DFVF_XYZ:
        size = 12;
        break;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZW:
        size = 16;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        size = 12 + 4 * (((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZRHW) / 2);
        break;
    default:
        return 0;
    }
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    uint32_t texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return 0;
    for (uint32_t i = 0; i < texCount; ++i) size += 4 * FvfTexCoordSize(fvf, i);
    return size;
}

uint32_t FloatBits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

float BitsFloat(uint32_t v) {
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

D3DCAPS9 DefaultCaps() {
    D3DCAPS9 c;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    c.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                          D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MIPFPOINT |
                          D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                              D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    c.MaxTextureWidth = 8192;
    c.MaxTextureHeight = 8192;
    c.MaxAnisotropy = 16;
    c.FVFCaps = 8 | D3DFVFCAPS_PSIZE;
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 1;
    c.MaxPointSize = 256.0f;
    c.MaxPrimitiveCount = 0xFFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 8;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(2, 0);
    c.MaxVertexShaderConst = 256;
    c.PixelShaderVersion = D3DPS_VERSION(2, 0);
    c.NumSimultaneousRTs = 1;
    return c;
}

bool IsCompressedFormat(D3DFORMAT f) {
    return f == D3DFMT_DXT1 || f == D3DFMT_DXT2 || f == D3DFMT_DXT3 || f == D3DFMT_DXT4 || f == D3DFMT_DXT5;
}

uint32_t FormatBytesPerPixel(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_INDEX16:
        return 2;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 1;
    case D3DFMT_INDEX32:
        return 4;
    default:
        return 0;
    }
}

uint32_t FormatPitch(D3DFORMAT f, uint32_t width) {
    if (IsCompressedFormat(f)) {
        uint32_t blocks = (width + 3) / 4;
        return blocks * (f == D3DFMT_DXT1 ? 8 : 16);
    }
    return width * FormatBytesPerPixel(f);
}

uint32_t FormatRows(D3DFORMAT f, uint32_t height) {
    return IsCompressedFormat(f) ? (height + 3) / 4 : height;
}

const char* FormatName(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_UNKNOWN:
        return "D3DFMT_UNKNOWN";
    case D3DFMT_R8G8B8:
        return "D3DFMT_R8G8B8";
    case D3DFMT_A8R8G8B8:
        return "D3DFMT_A8R8G8B8";
    case D3DFMT_X8R8G8B8:
        return "D3DFMT_X8R8G8B8";
    case D3DFMT_R5G6B5:
        return "D3DFMT_R5G6B5";
    case D3DFMT_X1R5G5B5:
        return "D3DFMT_X1R5G5B5";
    case D3DFMT_A1R5G5B5:
        return "D3DFMT_A1R5G5B5";
    case D3DFMT_A4R4G4B4:
        return "D3DFMT_A4R4G4B4";
    case D3DFMT_A8:
        return "D3DFMT_A8";
    case D3DFMT_L8:
        return "D3DFMT_L8";
    case D3DFMT_A8L8:
        return "D3DFMT_A8L8";
    case D3DFMT_D16:
        return "D3DFMT_D16";
    case D3DFMT_D24S8:
        return "D3DFMT_D24S8";
    case D3DFMT_D24X8:
        return "D3DFMT_D24X8";
    case D3DFMT_D32:
        return "D3DFMT_D32";
    case D3DFMT_INDEX16:
        return "D3DFMT_INDEX16";
    case D3DFMT_INDEX32:
        return "D3DFMT_INDEX32";
    case D3DFMT_DXT1:
        return "D3DFMT_DXT1";
    case D3DFMT_DXT3:
        return "D3DFMT_DXT3";
    case D3DFMT_DXT5:
        return "D3DFMT_DXT5";
    default:
        return "D3DFMT_OTHER";
    }
}

} // namespace vesk::platform
