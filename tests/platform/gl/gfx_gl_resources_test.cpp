// GL device resources drawn headless: buffers with their lock modes,
// compressed textures, render-target textures and copies, our shader text
// format, clip plane 0, the factory.
#include <cstring>
#include <string>

#include "gl_fixture.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::gltest;

namespace {

class GfxGLResources : public GfxGL {};

void SelectDiffuse(IDirect3DDevice9* d) {
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
}

TEST_F(GfxGLResources, IndexedDrawsSeeEveryLockMode) {
    SelectDiffuse(dev_.Get());
    Ref<IDirect3DVertexBuffer9> vb;
    ASSERT_EQ(dev_->CreateVertexBuffer(8 * sizeof(TLVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kTLFvf,
                                       D3DPOOL_DEFAULT, vb.Put(), nullptr),
              D3D_OK);
    Ref<IDirect3DIndexBuffer9> ib;
    ASSERT_EQ(dev_->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.Put(), nullptr), D3D_OK);
    uint16_t* idx = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0), D3D_OK);
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(idx, quad, sizeof quad);
    ib->Unlock();
    auto fill = [&](uint32_t first, uint32_t flags, D3DCOLOR c, float l, float r) {
        TLVertex* v = nullptr;
        ASSERT_EQ(
            vb->Lock(first * sizeof(TLVertex), 4 * sizeof(TLVertex), reinterpret_cast<void**>(&v), flags),
            D3D_OK);
        const TLVertex q[4] = {{l, -0.5f, 0.5f, 1, c, 0, 0},
                               {r, -0.5f, 0.5f, 1, c, 0, 0},
                               {l, H - 0.5f, 0.5f, 1, c, 0, 0},
                               {r, H - 0.5f, 0.5f, 1, c, 0, 0}};
        std::memcpy(v, q, sizeof q);
        ASSERT_EQ(vb->Unlock(), D3D_OK);
    };
    dev_->SetFVF(kTLFvf);
    dev_->SetStreamSource(0, vb.Get(), 0, sizeof(TLVertex));
    dev_->SetIndices(ib.Get());
    // Left half red through DISCARD, then right half green appended with NOOVERWRITE,
    // drawn with a base vertex of 4.
    fill(0, D3DLOCK_DISCARD, D3DCOLOR_XRGB(255, 0, 0), -0.5f, 31.5f);
    ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    fill(4, D3DLOCK_NOOVERWRITE, D3DCOLOR_XRGB(0, 255, 0), 31.5f, W - 0.5f);
    ASSERT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 31, 10), 255, 0, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 32, 10), 0, 255, 0, 0);
    // DISCARD again with new contents replaces what the next draw reads.
    fill(0, D3DLOCK_DISCARD, D3DCOLOR_XRGB(0, 0, 255), -0.5f, 31.5f);
    dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
    EXPECT_NEAR_COLOR(PixelNow(5, 5), 0, 0, 255, 0);
    // A draw reading past the buffer is refused.
    EXPECT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 4, 2), D3DERR_INVALIDCALL);
}

TEST_F(GfxGLResources, CompressedTexturesSampleTheirBlockColours) {
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    // One 4x4 block each: colour 0 pure (565) blue / red, every index 0.
    struct Case {
        D3DFORMAT format;
        std::vector<uint8_t> block;
        int r, g, b;
    } cases[] = {
        {D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0x00, 0, 0, 0, 0}, 0, 0, 255},
        {D3DFMT_DXT3,
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xF8, 0x00, 0x00, 0, 0, 0, 0},
         255,
         0,
         0},
        {D3DFMT_DXT5, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0x00, 0x00, 0, 0, 0, 0}, 0, 255, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        Ref<IDirect3DTexture9> tex;
        ASSERT_EQ(dev_->CreateTexture(4, 4, 1, 0, c.format, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        EXPECT_EQ(lr.Pitch, int32_t(c.block.size()));
        std::memcpy(lr.pBits, c.block.data(), c.block.size());
        tex->UnlockRect(0);
        dev_->SetTexture(0, tex.Get());
        FullQuad(0xFFFFFFFF);
        EXPECT_NEAR_COLOR(PixelNow(20, 20), c.r, c.g, c.b, 0);
    }
}

TEST_F(GfxGLResources, RenderTargetTextureIsDrawnIntoReadAndCopied) {
    Ref<IDirect3DTexture9> rtTex;
    ASSERT_EQ(dev_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                  rtTex.Put(), nullptr),
              D3D_OK);
    Ref<IDirect3DSurface9> rtSurf, back;
    ASSERT_EQ(rtTex->GetSurfaceLevel(0, rtSurf.Put()), D3D_OK);
    ASSERT_EQ(dev_->GetRenderTarget(0, back.Put()), D3D_OK);
    ASSERT_EQ(dev_->SetRenderTarget(0, rtSurf.Get()), D3D_OK);
    D3DVIEWPORT9 vp;
    dev_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 16u); // setting a target resets the viewport to it
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    SelectDiffuse(dev_.Get());
    Quad(-0.5f, -0.5f, 7.5f, 15.5f, D3DCOLOR_XRGB(255, 255, 0)); // left half yellow
    // Locking the target texture reads what was drawn.
    D3DLOCKED_RECT lr;
    ASSERT_EQ(rtTex->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint8_t* px = static_cast<const uint8_t*>(lr.pBits);
    EXPECT_EQ(px[2], 255); // (0, 0) yellow: B, G, R = 0, 255, 255
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[8 * 4], 255); // (8, 0) blue
    EXPECT_EQ(px[8 * 4 + 2], 0);
    rtTex->UnlockRect(0);

    // Sampled onto the back buffer, top row of the texture at the top.
    ASSERT_EQ(dev_->SetRenderTarget(0, back.Get()), D3D_OK);
    dev_->SetTexture(0, rtTex.Get());
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    FullQuad(0xFFFFFFFF);
    auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 2, 2), 255, 255, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, W - 3, H - 3), 0, 0, 255, 0);

    // StretchRect of the right (blue) half into a corner of the back buffer, scaled up.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    RECT src{8, 0, 16, 16}, dst{4, 4, 20, 36};
    ASSERT_EQ(dev_->StretchRect(rtSurf.Get(), &src, back.Get(), &dst, D3DTEXF_POINT), D3D_OK);
    f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 4, 4), 0, 0, 255, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 19, 35), 0, 0, 255, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 20, 20), 0, 0, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 3, 3), 0, 0, 0, 0);
    // Rectangles outside a surface are refused.
    RECT bad{0, 0, 17, 16};
    EXPECT_EQ(dev_->StretchRect(rtSurf.Get(), &bad, back.Get(), nullptr, D3DTEXF_POINT), D3DERR_INVALIDCALL);
}

TEST_F(GfxGLResources, ShaderTextDrawsWithConstantsAndReportsBuildErrors) {
    const std::string vsText = "#vertexshader\n#const tint c4\nvoid main() {\n"
                               "    oPos = vec4(iPosition.xyz, 1.0);\n    oD0 = tint;\n}\n";
    const std::string psText = "#pixelshader\n#const scale c2\nvoid main() { oC0 = v0 * scale; }\n";
    Ref<ID3DXBuffer> vsCode, psCode, errors;
    ASSERT_EQ(D3DXAssembleShader(vsText.data(), uint32_t(vsText.size()), nullptr, nullptr, 0, vsCode.Put(),
                                 errors.Put()),
              D3D_OK);
    ASSERT_EQ(D3DXAssembleShader(psText.data(), uint32_t(psText.size()), nullptr, nullptr, 0, psCode.Put(),
                                 errors.Put()),
              D3D_OK);
    Ref<IDirect3DVertexShader9> vs;
    Ref<IDirect3DPixelShader9> ps;
    ASSERT_EQ(dev_->CreateVertexShader(static_cast<const uint32_t*>(vsCode->GetBufferPointer()), vs.Put()),
              D3D_OK)
        << dev_->GetLastShaderError();
    ASSERT_EQ(dev_->CreatePixelShader(static_cast<const uint32_t*>(psCode->GetBufferPointer()), ps.Put()),
              D3D_OK)
        << dev_->GetLastShaderError();
    const D3DVERTEXELEMENT9 decl[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
    Ref<IDirect3DVertexDeclaration9> vdecl;
    ASSERT_EQ(dev_->CreateVertexDeclaration(decl, vdecl.Put()), D3D_OK);
    dev_->SetVertexDeclaration(vdecl.Get());
    dev_->SetVertexShader(vs.Get());
    dev_->SetPixelShader(ps.Get());
    const float tint[4] = {1.0f, 0.5f, 0.25f, 1.0f}, scale[4] = {0.5f, 1.0f, 1.0f, 1.0f};
    dev_->SetVertexShaderConstantF(4, tint, 1);
    dev_->SetPixelShaderConstantF(2, scale, 1);
    const float tri[4][3] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, -1, 0.5f}};
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, tri, 12), D3D_OK) << dev_->GetLastShaderError();
    EXPECT_NEAR_COLOR(PixelNow(10, 10), 128, 128, 64, 1);

    // With only the pixel shader unset the fixed stages colour the output.
    dev_->SetPixelShader(nullptr);
    SelectDiffuse(dev_.Get());
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, tri, 12);
    EXPECT_NEAR_COLOR(PixelNow(10, 10), 255, 128, 64, 1);

    // A shader that does not build is a failure with the compiler's text.
    const std::string bad = "#pixelshader\nvoid main() { oC0 = undefined_thing; }\n";
    Ref<ID3DXBuffer> badCode;
    ASSERT_EQ(
        D3DXAssembleShader(bad.data(), uint32_t(bad.size()), nullptr, nullptr, 0, badCode.Put(), nullptr),
        D3D_OK);
    Ref<IDirect3DPixelShader9> badPs;
    EXPECT_TRUE(Failed(
        dev_->CreatePixelShader(static_cast<const uint32_t*>(badCode->GetBufferPointer()), badPs.Put())));
    EXPECT_EQ(badPs.Get(), nullptr);
    EXPECT_NE(dev_->GetLastShaderError().find("undefined_thing"), std::string::npos)
        << dev_->GetLastShaderError();
    // Vertex code given for a pixel shader is refused as well.
    EXPECT_TRUE(Failed(
        dev_->CreatePixelShader(static_cast<const uint32_t*>(vsCode->GetBufferPointer()), badPs.Put())));
}

TEST_F(GfxGLResources, ClipPlaneZeroCutsInWorldSpace) {
    SetSimpleCamera();
    SelectDiffuse(dev_.Get());
    // Keep x >= 0 in world space: only the right half of a centred quad remains.
    const float plane[4] = {1, 0, 0, 0};
    dev_->SetClipPlane(0, plane);
    dev_->SetRenderState(D3DRS_CLIPPLANEENABLE, D3DCLIPPLANE0);
    const D3DCOLOR c = D3DCOLOR_XRGB(255, 0, 0);
    ColorVertex q[4] = {{-5, 5, 5, c}, {5, 5, 5, c}, {-5, -5, 5, c}, {5, -5, 5, c}};
    dev_->SetFVF(kColorFvf);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
    auto f = Frame();
    EXPECT_EQ(Pixel(f, W / 2 - 3, H / 2).r, 0);
    EXPECT_EQ(Pixel(f, W / 2 + 3, H / 2).r, 255);
    dev_->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
    EXPECT_EQ(PixelNow(W / 2 - 3, H / 2).r, 255);
}

TEST_F(GfxGLResources, FactoryAndDeviceFacts) {
    Ref<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION | 0x80000000u));
    ASSERT_TRUE(d3d);
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DADAPTER_IDENTIFIER9 id;
    EXPECT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_GT(std::strlen(id.Description), 0u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_4_SAMPLES,
                                              nullptr),
              D3DERR_NOTAVAILABLE);
    Ref<IDirect3DSurface9> back;
    ASSERT_EQ(dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put()), D3D_OK);
    D3DSURFACE_DESC d;
    back->GetDesc(&d);
    EXPECT_EQ(d.Width, W);
    EXPECT_EQ(d.Height, H);
    EXPECT_EQ(dev_->BeginScene(), D3D_OK);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL); // inside a scene
    EXPECT_EQ(dev_->EndScene(), D3D_OK);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // The same fixed-function state reuses its program.
    SelectDiffuse(dev_.Get());
    FullQuad(0xFFFFFFFF);
    const size_t programs = GLProgramCacheSize(dev_.Get());
    for (int i = 0; i < 5; ++i) {
        dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, i & 1);
        FullQuad(0xFFFFFFFF);
    }
    EXPECT_EQ(GLProgramCacheSize(dev_.Get()), programs);
}

} // namespace
