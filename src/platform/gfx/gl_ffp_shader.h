#pragma once
// GLSL generation for the GL backend: the fixed-function pipeline (vertex
// transform, lights, fog, texture coordinates, point size; texture stages,
// specular, fog and alpha test) from keys that hold only the state that
// changes the code, and the wrappers around shaders written in our shader text.
//
// Conventions kept from the device: row vectors (matrices are uploaded as
// stored and applied as M * v in GLSL), left-handed space, depth 0..1 in
// clip space (remapped in the vertex shader), rows counted from the top,
// pixel centres at integers (a half-pixel shift), colours given as B, G, R, A
// bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/types.h"

namespace vesk::platform {

// Fixed attribute locations by declaration usage.
enum AttribLocation : int {
    kAttrPosition = 0,
    kAttrNormal = 1,
    kAttrColor0 = 2,
    kAttrColor1 = 3,
    kAttrTexCoord0 = 4, // .. 11
    kAttrPSize = 12,
    kAttrPosition1 = 13,
    kAttrNormal1 = 14,
    kAttrTangent = 15,
    kAttrCount = 16,
};
// -1 when the usage has no location here (blend weights, indices and the like).
int AttribLocationFor(uint8_t usage, uint8_t usageIndex);

// A vertex layout as elements with attribute locations.
struct VertexLayout {
    struct Element {
        uint8_t stream = 0;
        uint8_t type = 0; // D3DDECLTYPE
        int8_t location = -1;
        uint16_t offset = 0;
    };
    std::vector<Element> elements;
    bool rhw = false;        // pre-transformed positions
    uint32_t present = 0;    // bit per attribute location
    uint8_t texSize[8] = {}; // floats per texture set (0 absent)
};
VertexLayout LayoutFromFvf(uint32_t fvf);
VertexLayout LayoutFromDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements);

// Keys: plain bytes, compared and hashed as such.
template <class T> std::string_view KeyBytes(const T& k) {
    return std::string_view(reinterpret_cast<const char*>(&k), sizeof(T));
}

struct FfpVertexKey {
    uint8_t rhw = 0, hasNormal = 0, hasDiffuse = 0, hasSpecular = 0, hasPSize = 0;
    uint8_t texSize[8] = {};
    uint8_t lighting = 0, lightCount = 0;
    uint8_t lightType[8] = {};
    uint8_t colorVertex = 0, diffuseSrc = 0, ambientSrc = 0, specularSrc = 0, emissiveSrc = 0;
    uint8_t specularEnable = 0, localViewer = 0, normalize = 0;
    uint8_t fogVertexMode = 0, rangeFog = 0; // fogVertexMode: D3DFOGMODE, 0 when fog is off or per pixel
    uint8_t pointSize = 0, pointScale = 0;   // pointSize: drawing points
    uint8_t clip0 = 0, flat = 0;
    uint8_t stageCount = 0;
    uint8_t stageTexSet[8] = {}, stageTexGen[8] = {}, stageTexCount[8] = {};
};

// Fog and alpha test after the stages or a pixel shader.
struct PostKey {
    // 0 none; 1 the factor from the vertex stage; 2 exp, 3 exp2, 4 linear per pixel.
    uint8_t fog = 0;
    uint8_t alphaFunc = 0; // D3DCMPFUNC, 0 when the test is off
};

struct FfpStageKey {
    uint8_t colorOp = 0, colorArg0 = 0, colorArg1 = 0, colorArg2 = 0;
    uint8_t alphaOp = 0, alphaArg0 = 0, alphaArg1 = 0, alphaArg2 = 0;
    uint8_t resultTemp = 0, hasTexture = 0, projected = 0;
};

struct FfpFragmentKey {
    uint8_t stageCount = 0;
    FfpStageKey stages[8];
    uint8_t specularEnable = 0, pointSprite = 0, flat = 0;
    PostKey post;
};

// Uniform names the generated code uses (the device sets them):
//  vertex: uWorldView, uProj, uNormalMat (mat3), uTexMat[8], uPixelFix (vec2: 1/w, 1/h),
//          uScreen (vec4: x, y, 2/w, 2/h of the viewport), uGlobalAmbient, uMat[4]
//          (diffuse, ambient, specular, emissive), uMatPower, uLightDiffuse[8], uLightSpecular[8],
//          uLightAmbient[8], uLightPos[8], uLightDir[8], uLightAtt[8] (a0, a1, a2, range),
//          uLightSpot[8] (cos theta/2, cos phi/2, falloff), uFogParams (start, end, density),
//          uPoint (size, min, max, viewport height), uPointScale (a, b, c), uClipPlane
//  fragment: s0..s7, uTFactor, uFogColor, uFogParams, uAlphaRef (0..255)
std::string BuildFfpVertexShader(const FfpVertexKey& key);
std::string BuildFfpFragmentShader(const FfpFragmentKey& key);

// Wraps the text of our shader format into a complete GLSL shader; false with
// the reason when the text is not usable.
bool WrapVertexShader(const std::string& source, std::string* glsl, std::string* error);
bool WrapPixelShader(const std::string& source, const PostKey& post, std::string* glsl, std::string* error);

} // namespace vesk::platform
