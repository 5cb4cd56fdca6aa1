// GL device resources drawn headless: buffers with their lock modes,
// compressed textures, render-target textures and copies, our shader text
// format, clip plane 0, the factory.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gl_fixture.h"
#include "platform/gfx/null_device.h"
#include "platform/image_codecs.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::gltest;

namespace {

class GfxGLResources : public GfxGL {
protected:
    void CompressedTexturesFromPixels();
};

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

// A texture made compressed from pixels is drawn from them at once while its
// blocks are made off the loading thread; a lock waits for the blocks, which
// are byte for byte those a device making them at once gives, and after the
// next frame GL draws from the blocks.
void GfxGLResources::CompressedTexturesFromPixels() {
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    constexpr uint32_t kSide = 64;
    // Four flat quadrants: blue, red, green, white (B, G, R, A).
    std::vector<uint8_t> bgra(kSide * kSide * 4);
    const uint8_t quads[4][4] = {{255, 0, 0, 255}, {0, 0, 255, 255}, {0, 255, 0, 255}, {255, 255, 255, 255}};
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x)
            std::memcpy(&bgra[(y * kSide + x) * 4], quads[(y >= kSide / 2) * 2 + (x >= kSide / 2)], 4);
    const int expect[4][3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {255, 255, 255}}; // r, g, b
    auto checkQuadrants = [&] {
        FullQuad(0xFFFFFFFF);
        const auto f = Frame();
        for (int q = 0; q < 4; ++q)
            EXPECT_NEAR_COLOR(Pixel(f, (q % 2) * int(W) / 2 + 8, (q / 2) * int(H) / 2 + 8), expect[q][0],
                              expect[q][1], expect[q][2], 8);
    };
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
        SCOPED_TRACE(FormatName(format));
        Ref<IDirect3DTexture9> tex;
        ASSERT_EQ(CreateTextureFromBgra(dev_.Get(), bgra.data(), kSide, kSide, 0, 0, format, D3DPOOL_MANAGED,
                                        tex.Put()),
                  D3D_OK);
        dev_->SetTexture(0, tex.Get());
        checkQuadrants();

        // The same texture made on a device that makes the blocks at once.
        Ref<IDirect3D9> nullD3d = CreateNullDirect3D();
        D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        Ref<IDirect3DDevice9> nullDev;
        ASSERT_EQ(nullD3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                        nullDev.Put()),
                  D3D_OK);
        Ref<IDirect3DTexture9> reference;
        ASSERT_EQ(CreateTextureFromBgra(nullDev.Get(), bgra.data(), kSide, kSide, 0, 0, format,
                                        D3DPOOL_MANAGED, reference.Put()),
                  D3D_OK);
        ASSERT_EQ(tex->GetLevelCount(), reference->GetLevelCount());
        for (uint32_t level = 0; level < tex->GetLevelCount(); ++level) {
            D3DSURFACE_DESC d;
            tex->GetLevelDesc(level, &d);
            EXPECT_EQ(d.Format, format);
            D3DLOCKED_RECT a, b;
            ASSERT_EQ(tex->LockRect(level, &a, nullptr, D3DLOCK_READONLY), D3D_OK);
            ASSERT_EQ(reference->LockRect(level, &b, nullptr, D3DLOCK_READONLY), D3D_OK);
            const size_t bytes = size_t(a.Pitch) * ((d.Height + 3) / 4);
            EXPECT_EQ(a.Pitch, b.Pitch);
            EXPECT_EQ(std::memcmp(a.pBits, b.pBits, bytes), 0) << "level " << level;
            tex->UnlockRect(level);
            reference->UnlockRect(level);
        }
        dev_->Present(nullptr, nullptr, nullptr, nullptr);
        checkQuadrants();
    }
    // A texture dropped while its blocks are still being made goes cleanly.
    for (int i = 0; i < 8; ++i) {
        Ref<IDirect3DTexture9> tex;
        ASSERT_EQ(CreateTextureFromBgra(dev_.Get(), bgra.data(), kSide, kSide, 0, 0, D3DFMT_DXT1,
                                        D3DPOOL_MANAGED, tex.Put()),
                  D3D_OK);
    }
    dev_->Present(nullptr, nullptr, nullptr, nullptr);
}

class GfxGLResourcesNoS3tc : public GfxGLResources {
protected:
    GfxGLResourcesNoS3tc() { useS3tc_ = false; }
};

TEST_F(GfxGLResources, CompressedTexturesFromPixelsDrawAtOnceAndGetTheirBlocksLater) {
    CompressedTexturesFromPixels();
}

// Without S3TC the same holds, and blocks written on another thread are
// decoded there and drawn by the device's thread.
TEST_F(GfxGLResourcesNoS3tc, CompressedTexturesFromPixelsDrawAtOnceAndGetTheirBlocksLater) {
    CompressedTexturesFromPixels();
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    std::thread([&] {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        const uint8_t red[8] = {0x00, 0xF8, 0x00, 0x00, 0, 0, 0, 0}; // colour 0 pure red, every index 0
        std::memcpy(lr.pBits, red, 8);
        tex->UnlockRect(0);
    }).join();
    dev_->SetTexture(0, tex.Get());
    FullQuad(0xFFFFFFFF);
    EXPECT_NEAR_COLOR(PixelNow(20, 20), 255, 0, 0, 0);
}

TEST_F(GfxGLResources, UncompressedFormatsUploadInTheirByteOrder) {
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    // X8R8G8B8 with a zero pad byte still reads opaque: blending by source alpha shows it.
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    struct Case {
        D3DFORMAT format;
        std::vector<uint8_t> bytes;
        int r, g, b;
    } cases[] = {
        {D3DFMT_A8R8G8B8, {30, 20, 10, 255}, 10, 20, 30}, {D3DFMT_X8R8G8B8, {30, 20, 10, 0}, 10, 20, 30},
        {D3DFMT_R8G8B8, {30, 20, 10}, 10, 20, 30},        {D3DFMT_R5G6B5, {0x1F, 0xF8}, 255, 0, 255},
        {D3DFMT_R5G6B5, {0xE0, 0x07}, 0, 255, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatName(c.format));
        Ref<IDirect3DTexture9> tex;
        ASSERT_EQ(dev_->CreateTexture(1, 1, 1, 0, c.format, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        EXPECT_EQ(lr.Pitch, int32_t(c.bytes.size()));
        std::memcpy(lr.pBits, c.bytes.data(), c.bytes.size());
        tex->UnlockRect(0);
        dev_->SetTexture(0, tex.Get());
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        FullQuad(0xFFFFFFFF);
        EXPECT_NEAR_COLOR(PixelNow(7, 7), c.r, c.g, c.b, 0);
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
    // A plain off-screen surface filled on the CPU side copies up as well.
    Ref<IDirect3DSurface9> plain;
    ASSERT_EQ(dev_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, plain.Put(), nullptr),
              D3D_OK);
    ASSERT_EQ(dev_->ColorFill(plain.Get(), nullptr, D3DCOLOR_XRGB(0, 200, 0)), D3D_OK);
    RECT corner{40, 30, 48, 38};
    ASSERT_EQ(dev_->StretchRect(plain.Get(), nullptr, back.Get(), &corner, D3DTEXF_LINEAR), D3D_OK);
    f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 40, 30), 0, 200, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 47, 37), 0, 200, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 48, 38), 0, 0, 0, 0);
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

TEST_F(GfxGLResources, LocksFromAnotherThreadNeverTouchGL) {
    // A texture written on another thread (as the frame-capture threads do) is
    // uploaded by the next draw on the device's thread.
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev_->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    std::thread([&] {
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        const uint32_t texel = 0x00336699;
        std::memcpy(lr.pBits, &texel, 4);
        tex->UnlockRect(0);
    }).join();
    dev_->SetTexture(0, tex.Get());
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    FullQuad(0xFFFFFFFF);
    EXPECT_NEAR_COLOR(PixelNow(3, 3), 0x33, 0x66, 0x99, 0);
    // A drawn-into target cannot be read back off the device's thread: refused, not crashed.
    Ref<IDirect3DTexture9> rt;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, rt.Put(),
                                  nullptr),
              D3D_OK);
    Ref<IDirect3DSurface9> surf, back;
    rt->GetSurfaceLevel(0, surf.Put());
    dev_->GetRenderTarget(0, back.Put());
    dev_->SetRenderTarget(0, surf.Get());
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    dev_->SetRenderTarget(0, back.Get());
    Result off = D3D_OK;
    std::thread([&] {
        D3DLOCKED_RECT lr;
        off = rt->LockRect(0, &lr, nullptr, D3DLOCK_READONLY);
        if (Succeeded(off)) rt->UnlockRect(0);
    }).join();
    EXPECT_EQ(off, D3DERR_WASSTILLDRAWING);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(rt->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(lr.pBits)[0], 255);
    rt->UnlockRect(0);
    // The last reference going on another thread leaves the GL object to the device's thread.
    surf = nullptr;
    std::thread([t = rt.Detach()] { t->Release(); }).join();
    std::thread([t = tex.Detach()] { t->Release(); }).join();
    FullQuad(0xFFFFFFFF);
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

namespace {

// Every branch of the generated shaders compiles and links: each variant must draw.
TEST_F(GfxGLResources, EveryFixedFunctionVariantBuilds) {
    SetSimpleCamera();
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev_->CreateTexture(2, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    for (uint32_t s = 0; s < 3; ++s) dev_->SetTexture(s, tex.Get());
    struct V {
        float x, y, z, nx, ny, nz;
        D3DCOLOR d, s;
        float u, v;
    };
    const V tri[3] = {{-1, 1, 5, 0, 0, -1, 0xFFFFFFFF, 0, 0, 0},
                      {1, 1, 5, 0, 0, -1, 0xFFFFFFFF, 0, 1, 0},
                      {0, -1, 5, 0, 0, -1, 0xFFFFFFFF, 0, 0, 1}};
    const uint32_t fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
    auto draw = [&](D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST) {
        dev_->SetFVF(fvf);
        const Result r = dev_->DrawPrimitiveUP(type, 1, tri, sizeof(V));
        EXPECT_EQ(r, D3D_OK) << dev_->GetLastShaderError();
    };
    // Lights of every kind with specular, all material sources.
    D3DLIGHT9 l;
    for (uint32_t i = 0; i < 8; ++i) {
        l.Type = D3DLIGHTTYPE(1 + i % 3);
        l.Diffuse = l.Specular = {1, 1, 1, 1};
        l.Range = 100;
        l.Attenuation0 = 1;
        l.Theta = 0.5f;
        l.Phi = 1.0f;
        l.Falloff = 1;
        dev_->SetLight(i, &l);
        dev_->LightEnable(i, 1);
    }
    dev_->SetRenderState(D3DRS_LIGHTING, 1);
    dev_->SetRenderState(D3DRS_SPECULARENABLE, 1);
    for (uint32_t lv : {0u, 1u})
        for (uint32_t src = 0; src < 3; ++src) {
            dev_->SetRenderState(D3DRS_LOCALVIEWER, lv);
            dev_->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, src);
            dev_->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, src);
            draw();
        }
    // Fog per vertex and per pixel, flat shading, clip plane.
    dev_->SetRenderState(D3DRS_FOGENABLE, 1);
    dev_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    dev_->SetRenderState(D3DRS_CLIPPLANEENABLE, 1);
    dev_->SetRenderState(D3DRS_RANGEFOGENABLE, 1);
    for (uint32_t m = 0; m < 4; ++m) {
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, m);
        draw();
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, 0);
        dev_->SetRenderState(D3DRS_FOGTABLEMODE, m);
        draw();
        dev_->SetRenderState(D3DRS_FOGTABLEMODE, 0);
    }
    // Texture coordinate generation, transforms and projection.
    for (uint32_t gen = 0; gen <= 4; ++gen)
        for (uint32_t ttf : {0u, 2u, 3u | D3DTTFF_PROJECTED}) {
            dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, gen << 16);
            dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, ttf);
            draw();
        }
    dev_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    // Every operation on three stages, with argument modifiers and the temporary register.
    for (uint32_t op = D3DTOP_SELECTARG1; op <= D3DTOP_LERP; ++op) {
        for (uint32_t s = 0; s < 3; ++s) {
            dev_->SetTextureStageState(s, D3DTSS_COLOROP, op);
            dev_->SetTextureStageState(s, D3DTSS_ALPHAOP, op);
            dev_->SetTextureStageState(s, D3DTSS_COLORARG0, D3DTA_SPECULAR | D3DTA_COMPLEMENT);
            dev_->SetTextureStageState(s, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE);
            dev_->SetTextureStageState(s, D3DTSS_COLORARG2, s == 2 ? D3DTA_TEMP : D3DTA_TFACTOR);
            dev_->SetTextureStageState(s, D3DTSS_RESULTARG, s == 1 ? D3DTA_TEMP : D3DTA_CURRENT);
        }
        draw();
    }
    // Alpha test functions; points with and without sprites and scaling.
    dev_->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    for (uint32_t f = D3DCMP_NEVER; f <= D3DCMP_ALWAYS; ++f) {
        dev_->SetRenderState(D3DRS_ALPHAFUNC, f);
        draw();
    }
    for (uint32_t sprite : {0u, 1u})
        for (uint32_t scale : {0u, 1u}) {
            dev_->SetRenderState(D3DRS_POINTSPRITEENABLE, sprite);
            dev_->SetRenderState(D3DRS_POINTSCALEENABLE, scale);
            draw(D3DPT_POINTLIST);
        }
    // Pre-transformed vertices through the same states.
    dev_->SetFVF(kTLFvf);
    TLVertex p[3] = {{1, 1, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                     {9, 1, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                     {1, 9, 0.5f, 1, 0xFFFFFFFF, 0, 1}};
    EXPECT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, p, sizeof(TLVertex)), D3D_OK)
        << dev_->GetLastShaderError();
    EXPECT_EQ(dev_->DrawPrimitiveUP(D3DPT_POINTLIST, 3, p, sizeof(TLVertex)), D3D_OK)
        << dev_->GetLastShaderError();
}

} // namespace
