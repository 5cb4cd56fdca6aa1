// Pixel tests of the GL device, rendered headless (llvmpipe). Expected values
// are worked out here from the formulas, not read from the device.
#include <cmath>
#include <cstring>

#include "gl_fixture.h"
#include "platform/files.h"
#include "platform/gfx/d3dx.h"
#include "support/error_trap.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::gltest;

namespace {

TEST_F(GfxGL, ClearColoursTheWholeTarget) {
    for (D3DCOLOR c : {D3DCOLOR_XRGB(0x33, 0x66, 0x99), D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 0, 1)}) {
        ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, c, 1.0f, 0), D3D_OK);
        auto f = Frame();
        for (int y : {0, int(H) / 2, int(H) - 1})
            for (int x : {0, int(W) / 3, int(W) - 1})
                EXPECT_NEAR_COLOR(Pixel(f, x, y), int(c >> 16 & 255), int(c >> 8 & 255), int(c & 255), 0);
    }
}

TEST_F(GfxGL, ClearTouchesOnlyTheViewport) {
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    D3DVIEWPORT9 vp{8, 4, 16, 10, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&vp), D3D_OK);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0);
    auto f = Frame();
    for (int y = 0; y < int(H); ++y)
        for (int x = 0; x < int(W); ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 4 && y < 14;
            ASSERT_EQ(Pixel(f, x, y).g, inside ? 255 : 0) << x << "," << y;
        }
    // A rectangle list is clipped to the viewport as well.
    RECT r{0, 0, 12, 8};
    dev_->Clear(1, &r, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0);
    f = Frame();
    EXPECT_EQ(Pixel(f, 10, 6).r, 255);
    EXPECT_EQ(Pixel(f, 12, 6).r, 0);
    EXPECT_EQ(Pixel(f, 7, 6).r, 0);
}

TEST_F(GfxGL, PretransformedQuadCoversExactPixelsWithVertexColours) {
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    // Edges on half-pixel lines: pixels 10..19 and 5..14 exactly.
    Quad(9.5f, 4.5f, 19.5f, 14.5f, D3DCOLOR_XRGB(200, 100, 50));
    auto f = Frame();
    for (int y = 3; y <= 16; ++y)
        for (int x = 8; x <= 21; ++x) {
            const bool inside = x >= 10 && x <= 19 && y >= 5 && y <= 14;
            const Bgra p = Pixel(f, x, y);
            ASSERT_EQ(p.r, inside ? 200 : 0) << x << "," << y;
            if (inside) {
                ASSERT_EQ(p.g, 100);
                ASSERT_EQ(p.b, 50);
            }
        }
    // A horizontal gradient: pixel x sits at (x + 0.5) / W of the way from red to green.
    TLVertex v[4] = {{-0.5f, -0.5f, 0.5f, 1, D3DCOLOR_XRGB(255, 0, 0), 0, 0},
                     {W - 0.5f, -0.5f, 0.5f, 1, D3DCOLOR_XRGB(0, 255, 0), 0, 0},
                     {-0.5f, H - 0.5f, 0.5f, 1, D3DCOLOR_XRGB(255, 0, 0), 0, 0},
                     {W - 0.5f, H - 0.5f, 0.5f, 1, D3DCOLOR_XRGB(0, 255, 0), 0, 0}};
    dev_->SetFVF(kTLFvf);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex));
    f = Frame();
    for (int x : {0, 13, 31, 50, 63}) {
        const double t = (x + 0.5) / W;
        EXPECT_NEAR_COLOR(Pixel(f, x, 20), 255 * (1 - t), 255 * t, 0, 1.01);
    }
}

TEST_F(GfxGL, TextureStageOperations) {
    // 2x2 texels; the quad maps texel (i, j) onto one quadrant each.
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    const D3DCOLOR texels[4] = {D3DCOLOR_ARGB(255, 200, 100, 50), D3DCOLOR_ARGB(255, 10, 20, 30),
                                D3DCOLOR_ARGB(255, 128, 255, 0), D3DCOLOR_ARGB(255, 60, 180, 240)};
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &texels[y * 2], 8);
    tex->UnlockRect(0);
    dev_->SetTexture(0, tex.Get());
    dev_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    const int diff[3] = {128, 200, 100}; // r, g, b of the vertex colour
    struct Case {
        D3DTEXTUREOP op;
        int (*fn)(int t, int d);
    } cases[] = {
        {D3DTOP_MODULATE, [](int t, int d) { return t * d / 255; }},
        {D3DTOP_ADD, [](int t, int d) { return std::min(255, t + d); }},
        {D3DTOP_SELECTARG1, [](int t, int) { return t; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.op));
        dev_->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        FullQuad(D3DCOLOR_XRGB(diff[0], diff[1], diff[2]));
        auto f = Frame();
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) {
                const D3DCOLOR t = texels[j * 2 + i];
                const Bgra p = Pixel(f, i * int(W) / 2 + 5, j * int(H) / 2 + 5);
                EXPECT_NEAR(p.r, c.fn(int(t >> 16 & 255), diff[0]), 1);
                EXPECT_NEAR(p.g, c.fn(int(t >> 8 & 255), diff[1]), 1);
                EXPECT_NEAR(p.b, c.fn(int(t & 255), diff[2]), 1);
            }
    }
}

// Swapping one texture for another between draws keeps the program and
// samples the new texture; taking the texture away picks the program that
// reads a stage without one as white, and bringing it back reuses the first.
TEST_F(GfxGL, TextureSwapsKeepTheProgramAndUnboundStagesReadWhite) {
    Ref<IDirect3DTexture9> tex[2];
    const D3DCOLOR colours[2] = {D3DCOLOR_ARGB(255, 200, 0, 0), D3DCOLOR_ARGB(255, 0, 180, 0)};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(dev_->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex[i].Put(), nullptr),
                  D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(tex[i]->LockRect(0, &lr, nullptr, 0), D3D_OK);
        std::memcpy(lr.pBits, &colours[i], 4);
        tex[i]->UnlockRect(0);
    }
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    const D3DCOLOR grey = D3DCOLOR_XRGB(100, 100, 100);
    dev_->SetTexture(0, tex[0].Get());
    FullQuad(grey);
    const size_t programs = GLProgramCacheSize(dev_.Get());
    const struct {
        int texture; // -1: none
        int r, g, b;
    } steps[] = {{1, 0, 70, 0}, {0, 78, 0, 0}, {1, 0, 70, 0}, {-1, 100, 100, 100}, {0, 78, 0, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.texture);
        dev_->SetTexture(0, step.texture < 0 ? nullptr : tex[step.texture].Get());
        FullQuad(grey);
        EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), step.r, step.g, step.b, 2);
    }
    EXPECT_EQ(GLProgramCacheSize(dev_.Get()), programs + 1); // only the stage without a texture added one
}

TEST_F(GfxGL, AlphaBlendAndAlphaTest) {
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 200), 1.0f, 0);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    dev_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    FullQuad(D3DCOLOR_ARGB(64, 255, 0, 0));
    const double a = 64 / 255.0;
    EXPECT_NEAR_COLOR(PixelNow(10, 10), 255 * a, 0, 200 * (1 - a), 1.01);

    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev_->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    dev_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    struct {
        uint32_t ref, alpha;
        bool drawn;
    } cases[] = {{128, 127, false}, {128, 128, true}, {100, 200, true}, {201, 200, false}};
    for (const auto& c : cases) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        dev_->SetRenderState(D3DRS_ALPHAREF, c.ref);
        FullQuad(D3DCOLOR_ARGB(c.alpha, 0, 255, 0));
        EXPECT_EQ(PixelNow(20, 20).g, c.drawn ? 255 : 0) << c.ref << " " << c.alpha;
    }
}

TEST_F(GfxGL, DirectionalAndPointLightsFollowTheLightingFormula) {
    SetSimpleCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, 1);
    dev_->SetRenderState(D3DRS_AMBIENT, 0);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    D3DMATERIAL9 mat;
    mat.Diffuse = {1.0f, 0.8f, 0.5f, 1.0f};
    dev_->SetMaterial(&mat);
    // A quad at z = 5 facing the camera; its corners are all alike for both lights.
    LitVertex q[4] = {{-1, 1, 5, 0, 0, -1}, {1, 1, 5, 0, 0, -1}, {-1, -1, 5, 0, 0, -1}, {1, -1, 5, 0, 0, -1}};
    dev_->SetFVF(kLitFvf);

    D3DLIGHT9 dir;
    dir.Type = D3DLIGHT_DIRECTIONAL;
    dir.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    dir.Direction = {1.0f, 0.0f, 1.0f}; // 45 degrees off the normal
    dev_->SetLight(0, &dir);
    dev_->LightEnable(0, 1);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex)), D3D_OK);
    const double ndl = 1 / std::sqrt(2.0);
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 255 * 1.0 * 0.5 * ndl, 255 * 0.8 * 0.25 * ndl,
                      255 * 0.5 * 1.0 * ndl, 1.01);

    D3DLIGHT9 pt;
    pt.Type = D3DLIGHT_POINT;
    pt.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    pt.Position = {0, 0, 0};
    pt.Range = 100;
    pt.Attenuation1 = 0.1f;
    dev_->LightEnable(0, 0);
    dev_->SetLight(1, &pt);
    dev_->LightEnable(1, 1);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    const double dist = std::sqrt(27.0), att = 1 / (0.1 * dist), ndl2 = 5 / dist;
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 255 * std::min(1.0, 1.0 * ndl2 * att),
                      255 * std::min(1.0, 0.8 * ndl2 * att), 255 * std::min(1.0, 0.5 * ndl2 * att), 1.01);
    // Out of range: dark.
    pt.Range = 5;
    dev_->SetLight(1, &pt);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(LitVertex));
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 0, 0, 0, 0);
}

TEST_F(GfxGL, LinearAndExponentialVertexFog) {
    SetSimpleCamera();
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetRenderState(D3DRS_FOGENABLE, 1);
    dev_->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(0, 0, 0));
    dev_->SetRenderState(D3DRS_FOGSTART, FloatBits(0.0f));
    dev_->SetRenderState(D3DRS_FOGEND, FloatBits(10.0f));
    dev_->SetRenderState(D3DRS_FOGDENSITY, FloatBits(0.1f));
    dev_->SetFVF(kColorFvf);
    struct {
        D3DFOGMODE mode;
        float z;
        double factor;
    } cases[] = {{D3DFOG_LINEAR, 5, 0.5},
                 {D3DFOG_LINEAR, 2.5, 0.75},
                 {D3DFOG_EXP, 5, std::exp(-0.5)},
                 {D3DFOG_EXP, 8, std::exp(-0.8)},
                 {D3DFOG_EXP2, 5, std::exp(-0.25)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.z);
        dev_->SetRenderState(D3DRS_FOGVERTEXMODE, c.mode);
        const float s = c.z; // wide enough to cover the centre at any depth
        const D3DCOLOR white = D3DCOLOR_XRGB(255, 255, 255);
        ColorVertex q[4] = {
            {-s, s, c.z, white}, {s, s, c.z, white}, {-s, -s, c.z, white}, {s, -s, c.z, white}};
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(9, 9, 9), 1.0f, 0);
        ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex)), D3D_OK);
        const double v = 255 * c.factor;
        EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), v, v, v, 1.01);
    }
}

TEST_F(GfxGL, DepthTestKeepsTheNearerSurface) {
    SetSimpleCamera();
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev_->SetFVF(kColorFvf);
    auto quad = [&](float z, D3DCOLOR c) {
        ColorVertex q[4] = {{-z, z, z, c}, {z, z, z, c}, {-z, -z, z, c}, {z, -z, z, c}};
        dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(ColorVertex));
    };
    for (bool nearFirst : {true, false}) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        if (nearFirst) {
            quad(2, D3DCOLOR_XRGB(255, 0, 0));
            quad(5, D3DCOLOR_XRGB(0, 255, 0));
        } else {
            quad(5, D3DCOLOR_XRGB(0, 255, 0));
            quad(2, D3DCOLOR_XRGB(255, 0, 0));
        }
        EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 255, 0, 0, 0);
    }
    // With the test off the last one drawn wins.
    dev_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    quad(2, D3DCOLOR_XRGB(255, 0, 0));
    quad(5, D3DCOLOR_XRGB(0, 255, 0));
    EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), 0, 255, 0, 0);
}

TEST_F(GfxGL, PointSpriteSize) {
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetRenderState(D3DRS_POINTSPRITEENABLE, 1);
    auto covered = [&] {
        auto f = Frame();
        int n = 0;
        for (int y = 0; y < int(H); ++y)
            for (int x = 0; x < int(W); ++x) n += Pixel(f, x, y).r == 255;
        return n;
    };
    // A pre-transformed point of size 8: an 8x8 square.
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    dev_->SetRenderState(D3DRS_POINTSIZE, FloatBits(8.0f));
    TLVertex p{32, 24, 0.5f, 1, D3DCOLOR_XRGB(255, 0, 0), 0, 0};
    dev_->SetFVF(kTLFvf);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p), D3D_OK);
    EXPECT_EQ(covered(), 64);
    // Scaled: size = viewport height * size * sqrt(1 / (A + B d + C d^2)) with d = 6, C = 1.
    SetSimpleCamera();
    dev_->SetRenderState(D3DRS_POINTSCALEENABLE, 1);
    dev_->SetRenderState(D3DRS_POINTSCALE_A, FloatBits(0.0f));
    dev_->SetRenderState(D3DRS_POINTSCALE_B, FloatBits(0.0f));
    dev_->SetRenderState(D3DRS_POINTSCALE_C, FloatBits(1.0f));
    dev_->SetRenderState(D3DRS_POINTSIZE, FloatBits(0.75f)); // 48 * 0.75 / 6 = 6 pixels
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ColorVertex cp{0, 0, 6, D3DCOLOR_XRGB(255, 0, 0)};
    dev_->SetFVF(kColorFvf);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &cp, sizeof cp), D3D_OK);
    EXPECT_EQ(covered(), 36);
}

TEST_F(GfxGL, NegativeAspectProjectionPlacesAndCullsLikeThePlatform) {
    // The game's camera: at the origin looking along +x, up +z, aspect -W/H.
    const Matrix view = LookAtLH({0, 0, 0}, {1, 0, 0}, {0, 0, 1});
    const Matrix proj = PerspectiveFovLH(float(M_PI) / 3, -float(W) / float(H), 1.0f, 1000.0f);
    SetCamera(view, proj);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->SetFVF(kColorFvf);
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0);
    ColorVertex tri[3] = {{20, 6, 4, red}, {20, 2, 4, red}, {20, 4, 1, red}};
    Vec2 s[3];
    for (int i = 0; i < 3; ++i) s[i] = ProjectToScreen({tri[i].x, tri[i].y, tri[i].z}, view, proj);
    const Vec2 c{(s[0].x + s[1].x + s[2].x) / 3, (s[0].y + s[1].y + s[2].y) / 3};
    // Clockwise on screen (rows down) has a positive cross product here.
    const float cross = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[1].y - s[0].y) * (s[2].x - s[0].x);
    if (cross < 0) std::swap(tri[1], tri[2]); // make the order clockwise on screen
    ColorVertex ccw[3] = {tri[0], tri[2], tri[1]};

    auto drawn = [&](const ColorVertex* t) {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        dev_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, t, sizeof(ColorVertex));
        return PixelNow(int(std::lround(c.x)), int(std::lround(c.y))).r == 255;
    };
    // Where the math projects it, and nowhere near the mirrored place.
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_TRUE(drawn(tri));
    EXPECT_EQ(PixelNow(int(W) - 1 - int(std::lround(c.x)), int(std::lround(c.y))).r, 0);
    // Counter-clockwise culling (the default) removes the counter-clockwise order only.
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    EXPECT_TRUE(drawn(tri));
    EXPECT_FALSE(drawn(ccw));
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    EXPECT_FALSE(drawn(tri));
    EXPECT_TRUE(drawn(ccw));
}

TEST_F(GfxGL, BmpOfOddWidthTargetMatchesTheFrame) {
    test::TempDir dir;
    Ref<IDirect3DSurface9> rt;
    ASSERT_EQ(dev_->CreateRenderTarget(37, 11, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, 0, rt.Put(), nullptr),
              D3D_OK);
    ASSERT_EQ(dev_->SetRenderTarget(0, rt.Get()), D3D_OK);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
    TLVertex v[3] = {{2, 1, 0.5f, 1, D3DCOLOR_XRGB(255, 0, 0), 0, 0},
                     {35, 3, 0.5f, 1, D3DCOLOR_XRGB(0, 255, 0), 0, 0},
                     {10, 10, 0.5f, 1, D3DCOLOR_XRGB(0, 0, 255), 0, 0}};
    dev_->SetFVF(kTLFvf);
    ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TLVertex)), D3D_OK);
    auto frame = Frame(rt.Get());
    const std::string path = dir / "shot.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, rt.Get(), nullptr, nullptr), D3D_OK);
    std::string bmp;
    ASSERT_TRUE(ReadFile(path, bmp));
    const uint32_t row = (37 * 3 + 3) & ~3u;
    ASSERT_EQ(bmp.size(), 54 + row * 11);
    auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
               uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24;
    };
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(u32(18), 37u);
    EXPECT_EQ(u32(22), 11u);
    EXPECT_EQ(uint8_t(bmp[28]), 24);
    for (uint32_t y = 0; y < 11; ++y)
        for (uint32_t x = 0; x < 37; ++x) {
            const size_t at = 54 + size_t(10 - y) * row + x * 3; // bottom-up rows
            const Bgra p = Pixel(frame, int(x), int(y));
            ASSERT_EQ(uint8_t(bmp[at]), p.b) << x << "," << y;
            ASSERT_EQ(uint8_t(bmp[at + 1]), p.g);
            ASSERT_EQ(uint8_t(bmp[at + 2]), p.r);
        }
    EXPECT_EQ(Pixel(frame, 0, 0).r, 10);
}

} // namespace

namespace {

TEST_F(GfxGL, TextureTransformScrollsTwoDimensionalCoordinates) {
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev_->CreateTexture(2, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    const D3DCOLOR texels[2] = {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0)};
    std::memcpy(lr.pBits, texels, 8);
    tex->UnlockRect(0);
    dev_->SetTexture(0, tex.Get());
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    FullQuad(0xFFFFFFFF);
    EXPECT_NEAR_COLOR(PixelNow(W / 4, 5), 255, 0, 0, 0);
    // Two-dimensional coordinates take their translation from the third row.
    Matrix scroll;
    scroll.m[2][0] = 0.5f;
    dev_->SetTransform(D3DTS_TEXTURE0, &scroll);
    dev_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    FullQuad(0xFFFFFFFF);
    auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, W / 4, 5), 0, 255, 0, 0);
    EXPECT_NEAR_COLOR(Pixel(f, 3 * W / 4, 5), 255, 0, 0, 0); // wrapped round
}

TEST_F(GfxGL, MaterialColourSourcesPickVertexOrMaterialColour) {
    SetSimpleCamera();
    dev_->SetRenderState(D3DRS_LIGHTING, 1);
    dev_->SetRenderState(D3DRS_AMBIENT, 0);
    dev_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    D3DMATERIAL9 mat;
    mat.Diffuse = {0.0f, 0.0f, 1.0f, 1.0f};
    mat.Emissive = {0.25f, 0.0f, 0.0f, 0.0f};
    dev_->SetMaterial(&mat);
    D3DLIGHT9 light;
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0, 0, 1};
    dev_->SetLight(0, &light);
    dev_->LightEnable(0, 1);
    struct V {
        float x, y, z, nx, ny, nz;
        D3DCOLOR c;
    };
    const D3DCOLOR c = D3DCOLOR_XRGB(0, 200, 0);
    V q[4] = {
        {-9, 9, 5, 0, 0, -1, c}, {9, 9, 5, 0, 0, -1, c}, {-9, -9, 5, 0, 0, -1, c}, {9, -9, 5, 0, 0, -1, c}};
    dev_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
    struct {
        uint32_t colorVertex, diffuseSource, emissiveSource;
        int r, g, b;
    } cases[] = {
        {1, D3DMCS_COLOR1, D3DMCS_MATERIAL, 64, 200, 0},   // vertex colour as diffuse, material emissive
        {1, D3DMCS_MATERIAL, D3DMCS_MATERIAL, 64, 0, 255}, // material diffuse
        {0, D3DMCS_COLOR1, D3DMCS_MATERIAL, 64, 0, 255},   // colour-vertex off: sources ignored
        {1, D3DMCS_MATERIAL, D3DMCS_COLOR1, 0, 200, 255},  // vertex colour as emissive
    };
    for (const auto& t : cases) {
        dev_->SetRenderState(D3DRS_COLORVERTEX, t.colorVertex);
        dev_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, t.diffuseSource);
        dev_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, t.emissiveSource);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(V)), D3D_OK);
        SCOPED_TRACE(std::to_string(t.diffuseSource) + " " + std::to_string(t.emissiveSource));
        EXPECT_NEAR_COLOR(PixelNow(W / 2, H / 2), t.r, t.g, t.b, 1);
    }
}

} // namespace
