#pragma once
// Shared set-up of the GL device pixel tests: a headless device with a small
// back buffer, frame read-back and the matrices built from their formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/gfx/d3dx.h"
#include "platform/gfx/gl_device.h"
#include "support/error_trap.h"

namespace vesk::gltest {

using namespace vesk::platform;

inline constexpr uint32_t W = 64, H = 48;

struct Bgra {
    int b, g, r, a;
};

struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
inline constexpr uint32_t kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
};
inline constexpr uint32_t kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
};
inline constexpr uint32_t kColorFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

inline Matrix PerspectiveFovLH(float fov, float aspect, float zn, float zf) {
    Matrix m;
    const float ys = 1.0f / std::tan(fov / 2), xs = ys / aspect;
    m.m[0][0] = xs;
    m.m[1][1] = ys;
    m.m[2][2] = zf / (zf - zn);
    m.m[2][3] = 1;
    m.m[3][2] = -zn * zf / (zf - zn);
    m.m[3][3] = 0;
    return m;
}

inline Vec3 Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Norm(Vec3 a) {
    const float l = std::sqrt(Dot(a, a));
    return {a.x / l, a.y / l, a.z / l};
}

inline Matrix LookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
    const Vec3 z = Norm(Sub(at, eye)), x = Norm(Cross(up, z)), y = Cross(z, x);
    Matrix m;
    m.m[0][0] = x.x, m.m[0][1] = y.x, m.m[0][2] = z.x;
    m.m[1][0] = x.y, m.m[1][1] = y.y, m.m[1][2] = z.y;
    m.m[2][0] = x.z, m.m[2][1] = y.z, m.m[2][2] = z.z;
    m.m[3][0] = -Dot(x, eye), m.m[3][1] = -Dot(y, eye), m.m[3][2] = -Dot(z, eye);
    return m;
}

// Row vector times matrix, with the perspective divide, to screen pixels.
inline Vec2 ProjectToScreen(Vec3 p, const Matrix& view, const Matrix& proj) {
    float v[4] = {p.x, p.y, p.z, 1}, t[4] = {}, c[4] = {};
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) t[j] += v[i] * view.m[i][j];
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) c[j] += t[i] * proj.m[i][j];
    return {(c[0] / c[3] + 1) * 0.5f * W, (1 - c[1] / c[3]) * 0.5f * H};
}

// A windowed device of the given back-buffer size with a depth buffer, on a
// headless GL context; dev stays empty when it cannot be made.
inline D3DPRESENT_PARAMETERS MakeHeadlessDevice(uint32_t width, uint32_t height, Ref<IDirect3D9>& d3d,
                                                Ref<IDirect3DDevice9>& dev, bool useS3tc = true) {
    GLGfxConfig cfg;
    cfg.headlessWidth = width;
    cfg.headlessHeight = height;
    cfg.useS3tc = useS3tc;
    d3d = CreateGLDirect3D(cfg);
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                          D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &pp,
                          dev.Put()) != D3D_OK)
        dev = nullptr;
    return pp;
}

class GfxGL : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GLHeadlessAvailable()) GTEST_SKIP() << "no GL context can be made";
        const D3DPRESENT_PARAMETERS pp = MakeHeadlessDevice(W, H, d3d_, dev_, useS3tc_);
        ASSERT_TRUE(dev_);
        ASSERT_EQ(pp.BackBufferWidth, W);
        dev_->SetRenderState(D3DRS_LIGHTING, 0);
        dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    }

    // The current render target read back, B, G, R, A per pixel.
    std::vector<uint8_t> Frame(IDirect3DSurface9* target = nullptr) {
        Ref<IDirect3DSurface9> rt;
        if (target)
            rt = Ref<IDirect3DSurface9>::Share(target);
        else
            EXPECT_EQ(dev_->GetRenderTarget(0, rt.Put()), D3D_OK);
        D3DSURFACE_DESC d;
        rt->GetDesc(&d);
        Ref<IDirect3DSurface9> sys;
        EXPECT_EQ(dev_->CreateOffscreenPlainSurface(d.Width, d.Height, d.Format, D3DPOOL_SYSTEMMEM, sys.Put(),
                                                    nullptr),
                  D3D_OK);
        EXPECT_EQ(dev_->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint8_t> out(size_t(d.Width) * d.Height * 4);
        for (uint32_t y = 0; y < d.Height; ++y)
            std::memcpy(out.data() + size_t(y) * d.Width * 4,
                        static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch, d.Width * 4);
        sys->UnlockRect();
        frameWidth_ = d.Width;
        return out;
    }
    Bgra Pixel(const std::vector<uint8_t>& f, int x, int y) {
        const uint8_t* p = f.data() + (size_t(y) * frameWidth_ + size_t(x)) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    Bgra PixelNow(int x, int y) { return Pixel(Frame(), x, y); }

    void Quad(float l, float t, float r, float b, D3DCOLOR c, float z = 0.5f) {
        TLVertex v[4] = {
            {l, t, z, 1, c, 0, 0}, {r, t, z, 1, c, 1, 0}, {l, b, z, 1, c, 0, 1}, {r, b, z, 1, c, 1, 1}};
        dev_->SetFVF(kTLFvf);
        ASSERT_EQ(dev_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex)), D3D_OK);
    }
    // A full-target quad whose pixels map one to one onto the texture's texels.
    void FullQuad(D3DCOLOR c) { Quad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, c); }

    void SetCamera(const Matrix& view, const Matrix& proj) {
        Matrix world;
        dev_->SetTransform(D3DTS_WORLD, &world);
        dev_->SetTransform(D3DTS_VIEW, &view);
        dev_->SetTransform(D3DTS_PROJECTION, &proj);
    }
    // Identity view and a 90-degree projection: camera at the origin looking along +z.
    void SetSimpleCamera() {
        SetCamera(Matrix{}, PerspectiveFovLH(float(M_PI) / 2, float(W) / float(H), 1.0f, 100.0f));
    }

    Ref<IDirect3D9> d3d_;
    Ref<IDirect3DDevice9> dev_;
    uint32_t frameWidth_ = W;
    bool useS3tc_ = true; // false: block textures are drawn from decoded pixels
};

#define EXPECT_NEAR_COLOR(px, R, G, B, tol)                                                                  \
    do {                                                                                                     \
        const Bgra p_ = (px);                                                                                \
        EXPECT_NEAR(p_.r, (R), (tol));                                                                       \
        EXPECT_NEAR(p_.g, (G), (tol));                                                                       \
        EXPECT_NEAR(p_.b, (B), (tol));                                                                       \
    } while (0)

} // namespace vesk::gltest
