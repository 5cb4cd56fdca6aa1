#pragma once
// Helpers beside the device: shader assembly from our shader text and saving
// a surface as a picture file.
//
// Shader text. A shader file is GLSL (version 330 core) with a few header
// lines of our own, each starting with '#' in the first column:
//   #vertexshader        or   #pixelshader       (the first such line; required)
//   #const NAME REG [COUNT]   names constant register REG (e.g. c4) as NAME;
//                             with COUNT > 1 NAME(k) is register REG + k
// The body defines `void main()`. The layer declares for it:
//   both kinds:  uniform vec4 c[...]; uniform ivec4 ci[16]; uniform bool cb[16];
//                (vertex: 256 float registers, pixel: 32)
//   vertex in:   iPosition, iNormal, iColor0, iColor1, iTexCoord0..7, iPSize,
//                iPosition1, iNormal1, iTangent (vec4 each, from the vertex
//                declaration's usage; absent elements read (0,0,0,1))
//   vertex out:  oPos (clip space as the device expects: depth 0..w, y up),
//                oD0, oD1, oT0..oT7 (vec4), oFog (float), oPts (float)
//   pixel in:    v0, v1 (colours), t0..t7 (texture coordinates), s0..s7 (sampler2D)
//   pixel out:   oC0
// The device applies fog and the alpha test after a pixel shader, as it does
// after the fixed stages.
#include <string>

#include "platform/gfx/device.h"

namespace vesk::platform {

// Assembles shader text into code for CreateVertexShader/CreatePixelShader.
// On failure the result is D3DXERR_INVALIDDATA and errors (when given)
// receives the message text, NUL-terminated.
Result D3DXAssembleShader(const char* source, uint32_t sourceLength, const void* defines, void* include,
                          uint32_t flags, ID3DXBuffer** shader, ID3DXBuffer** errors);
// The same from a file (through the path layer); a missing file is
// D3DERR_NOTFOUND with "file not found" in errors.
Result D3DXAssembleShaderFromFileA(const char* fileName, const void* defines, void* include, uint32_t flags,
                                   ID3DXBuffer** shader, ID3DXBuffer** errors);
inline constexpr uint32_t D3DXSHADER_DEBUG = 1;

// A buffer holding a copy of the given bytes.
Ref<ID3DXBuffer> MakeBuffer(const void* data, uint32_t size);

// What assembled code holds: the kind and the source text. False for code
// that did not come from D3DXAssembleShader.
struct ShaderCodeInfo {
    bool pixel = false;
    std::string source;
};
bool ReadShaderCode(const uint32_t* code, ShaderCodeInfo* out);

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
};

// Saves a surface (or rect of it) to a file. BMP only: 24 bits per pixel,
// rows bottom-up and padded to four bytes. Render targets are read back first.
// Other file formats give D3DERR_INVALIDCALL.
Result D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* surface,
                              const void* palette, const RECT* srcRect);

// Encodes top-down rows of B, G, R, A bytes (pitch bytes apart) as a 24-bit BMP file image.
std::string EncodeBmp24(const uint8_t* bgra, uint32_t width, uint32_t height, uint32_t pitch);

} // namespace vesk::platform
