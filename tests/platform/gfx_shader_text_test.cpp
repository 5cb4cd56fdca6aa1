// Shader text wrapping, vertex layouts and block decoding of the GL backend,
// checked without a GL context.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gfx/dxt.h"
#include "platform/gfx/gl_ffp_shader.h"

using namespace vesk::platform;

namespace {

TEST(GfxShaderText, HeaderLinesBecomeGlslOrErrors) {
    std::string glsl, error;
    ASSERT_TRUE(WrapVertexShader(
        "#vertexshader\n#const wvp c0 4\n#const tint c8\nvoid main() { oD0 = tint; }\n", &glsl, &error))
        << error;
    EXPECT_NE(glsl.find("#define wvp(k) c[0 + (k)]"), std::string::npos);
    EXPECT_NE(glsl.find("#define tint c[8]"), std::string::npos);
    struct {
        const char* text;
        bool pixel;
        const char* error;
    } bad[] = {
        {"void main() {}\n", false, "missing"},
        {"#pixelshader\nvoid main() {}\n", false, "kind"},
        {"#pixelshader\n#const x c31 2\nvoid main() {}\n", true, "out of range"},
        {"#vertexshader\n#const x c-1\nvoid main() {}\n", false, "out of range"},
        {"#vertexshader\n#const x r1\nvoid main() {}\n", false, "bad #const"},
        {"#vertexshader\n#const x cq\nvoid main() {}\n", false, "bad register"},
        // Numbers near the top of int must not wrap around into the range.
        {"#vertexshader\n#const x c2147483647\nvoid main() {}\n", false, "out of range"},
        {"#pixelshader\n#const x c2147483647 2\nvoid main() {}\n", true, "out of range"},
        {"#vertexshader\n#const x c10 2147483647\nvoid main() {}\n", false, "out of range"},
        {"#vertexshader\n#const x c99999999999\nvoid main() {}\n", false, "bad register"},
    };
    for (const auto& b : bad) {
        error.clear();
        const bool ok = b.pixel ? WrapPixelShader(b.text, PostKey{}, &glsl, &error)
                                : WrapVertexShader(b.text, &glsl, &error);
        EXPECT_FALSE(ok) << b.text;
        EXPECT_NE(error.find(b.error), std::string::npos) << error;
    }
}

TEST(GfxShaderText, LayoutsFromFormatsAndDeclarations) {
    const VertexLayout l =
        LayoutFromFvf(D3DFVF_XYZB2 | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1));
    ASSERT_EQ(l.elements.size(), 5u);
    EXPECT_EQ(l.elements[1].offset, 20); // normal after xyz and two weights
    EXPECT_EQ(l.elements[2].offset, 32); // diffuse
    EXPECT_EQ(l.elements[3].offset, 36);
    EXPECT_EQ(l.elements[4].offset, 44);
    EXPECT_EQ(l.texSize[1], 3);
    EXPECT_FALSE(l.rhw);
    const VertexLayout d =
        LayoutFromDeclaration({{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITIONT, 0},
                               {1, 4, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 1},
                               {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_BLENDINDICES, 0}});
    EXPECT_TRUE(d.rhw);
    ASSERT_EQ(d.elements.size(), 2u); // blend indices have no place
    EXPECT_EQ(d.elements[1].location, kAttrColor1);
    EXPECT_EQ(d.elements[1].stream, 1);
}

TEST(GfxDxt, BlocksDecodeToTheirPalette) {
    // DXT1, colour 0 <= colour 1: index 2 is the average, index 3 transparent black.
    const uint8_t dxt1[8] = {0x00, 0x00, 0xFF, 0xFF, 0xE4, 0xE4, 0xE4, 0xE4}; // rows: 0,1,2,3 indices
    auto out = DecodeDxt(D3DFMT_DXT1, dxt1, sizeof dxt1, 4, 4);
    auto px = [&](int x, int y) {
        return std::vector<int>(out.begin() + (y * 4 + x) * 4, out.begin() + (y * 4 + x) * 4 + 4);
    };
    EXPECT_EQ(px(0, 0), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(px(1, 0), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ(px(2, 0), (std::vector<int>{127, 127, 127, 255}));
    EXPECT_EQ(px(3, 0), (std::vector<int>{0, 0, 0, 0}));
    // DXT5 alpha: 255 and 0 with eight steps; index 1 everywhere gives alpha 0.
    uint8_t dxt5[16] = {255, 0, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    out = DecodeDxt(D3DFMT_DXT5, dxt5, sizeof dxt5, 4, 4);
    EXPECT_EQ(px(0, 0), (std::vector<int>{255, 255, 255, 0}));
    // A truncated level decodes what is there and leaves the rest zero; an odd size clips.
    out = DecodeDxt(D3DFMT_DXT1, dxt1, sizeof dxt1, 8, 2);
    ASSERT_EQ(out.size(), 8u * 2 * 4);
    EXPECT_EQ(out[4 * 4 + 3], 0);
    EXPECT_EQ(out[1 * 4], 255);
}

} // namespace
