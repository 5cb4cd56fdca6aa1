// The recording null device: call record, CPU copies checked byte for byte,
// argument checks and injected failures.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gfx/d3dx.h"
#include "platform/gfx/null_device.h"

using namespace vesk::platform;

namespace {

struct NullFixture : ::testing::Test {
    Ref<IDirect3DDevice9> Make(NullGfxConfig cfg = {},
                               uint32_t behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        d3d = CreateNullDirect3D(std::move(cfg));
        D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        Ref<IDirect3DDevice9> d;
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, behaviour, &pp, d.Put()), D3D_OK);
        return d;
    }
    static NullDevice* Null(const Ref<IDirect3DDevice9>& d) { return static_cast<NullDevice*>(d.Get()); }
    Ref<NullDirect3D> d3d;
};

using GfxNullDevice = NullFixture;

TEST_F(GfxNullDevice, RecordsEveryCallWithItsArguments) {
    auto dev = Make();
    NullDevice* n = Null(dev);
    Ref<IDirect3DVertexBuffer9> vb;
    ASSERT_EQ(dev->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, vb.Put(), nullptr),
              D3D_OK);
    dev->SetRenderState(D3DRS_ZENABLE, 1);
    dev->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    dev->SetStreamSource(0, vb.Get(), 0, 24);
    dev->SetFVF(0x142);
    dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
    const std::string id = std::to_string(vb->GetId());
    std::vector<std::string> expected = {
        "CreateVertexBuffer(96, 8, 322, 1)",      "SetRenderState(7, 1)", "SetTextureStageState(1, 5, 2)",
        "SetStreamSource(0, #" + id + ", 0, 24)", "SetFVF(322)",          "DrawPrimitive(4, 0, 1)"};
    std::vector<std::string> got;
    for (const auto& c : n->Calls()) got.push_back(c.Text());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(n->Find("SetRenderState"), std::vector<std::string>{"SetRenderState(7, 1)"});
    // The factory records its own calls.
    EXPECT_EQ(d3d->Find("CreateDevice").size(), 1u);
}

TEST_F(GfxNullDevice, CreateDeviceFailsPerBehaviourAndChecksArguments) {
    NullGfxConfig cfg;
    cfg.createDeviceFails = [](uint32_t b) { return (b & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0; };
    auto d3d = CreateNullDirect3D(cfg);
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    Ref<IDirect3DDevice9> dev;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &pp, dev.Put()), D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(dev);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x84, &pp, dev.Put()), D3D_OK);
    EXPECT_TRUE(dev);
    // Windowed with no size takes the window's client size and the desktop format.
    EXPECT_EQ(pp.BackBufferWidth, 800u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    // No vertex-processing mode, two of them, a bad adapter, full screen without a size.
    Ref<IDirect3DDevice9> other;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, other.Put()),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0xA0, &pp, other.Put()), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(3, D3DDEVTYPE_HAL, nullptr, 0x24, &pp, other.Put()), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS full;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x24, &full, other.Put()), D3DERR_INVALIDCALL);

    NullGfxConfig strict;
    strict.failCheckDeviceType = true;
    strict.failGetDisplayMode = true;
    strict.multisampleTypes = {D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_2_SAMPLES};
    auto s = CreateNullDirect3D(strict);
    D3DDISPLAYMODE mode;
    EXPECT_TRUE(Failed(s->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, 0)));
    EXPECT_TRUE(Failed(s->GetAdapterDisplayMode(0, &mode)));
    EXPECT_EQ(s->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_2_SAMPLES,
                                            nullptr),
              D3D_OK);
    EXPECT_EQ(s->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_4_SAMPLES,
                                            nullptr),
              D3DERR_NOTAVAILABLE);
}

TEST_F(GfxNullDevice, BufferLocksAreByteExactAndBounded) {
    auto dev = Make();
    Ref<IDirect3DVertexBuffer9> vb;
    ASSERT_EQ(dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, vb.Put(), nullptr), D3D_OK);
    uint8_t* p = nullptr;
    ASSERT_EQ(vb->Lock(16, 8, reinterpret_cast<void**>(&p), 0), D3D_OK);
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(0xA0 + i);
    // A second, nested lock of another range (two chunks of one shared buffer).
    uint8_t* q = nullptr;
    ASSERT_EQ(vb->Lock(60, 4, reinterpret_cast<void**>(&q), D3DLOCK_NOOVERWRITE), D3D_OK);
    std::memset(q, 0x5A, 4);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL); // not locked any more
    std::vector<uint8_t> expected(64, 0);
    for (int i = 0; i < 8; ++i) expected[size_t(16 + i)] = uint8_t(0xA0 + i);
    std::memset(expected.data() + 60, 0x5A, 4);
    EXPECT_EQ(NullDevice::BufferBytes(vb.Get()), expected);

    struct {
        uint32_t offset, size;
        Result r;
    } cases[] = {{0, 0, D3D_OK},
                 {64, 0, D3D_OK},
                 {60, 4, D3D_OK},
                 {60, 5, D3DERR_INVALIDCALL},
                 {65, 0, D3DERR_INVALIDCALL},
                 {8, 0xFFFFFFF8u, D3DERR_INVALIDCALL}};
    for (const auto& c : cases) {
        void* data = reinterpret_cast<void*>(1);
        EXPECT_EQ(vb->Lock(c.offset, c.size, &data, 0), c.r) << c.offset << "+" << c.size;
        if (c.r == D3D_OK)
            vb->Unlock();
        else
            EXPECT_EQ(data, nullptr);
    }
    Ref<IDirect3DIndexBuffer9> ib;
    EXPECT_EQ(dev->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, ib.Put(), nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(dev->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.Put(), nullptr), D3D_OK);
    uint16_t* idx = nullptr;
    ASSERT_EQ(ib->Lock(2, 4, reinterpret_cast<void**>(&idx), 0), D3D_OK);
    idx[0] = 0x1234;
    idx[1] = 0xBEEF;
    ib->Unlock();
    const std::vector<uint8_t> ibExpected = {0, 0, 0x34, 0x12, 0xEF, 0xBE, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(NullDevice::BufferBytes(ib.Get()), ibExpected);
}

TEST_F(GfxNullDevice, TextureLocksCopiesAndReadBackAreByteExact) {
    auto dev = Make();
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev->CreateTexture(8, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 4u); // 8x4, 4x2, 2x1, 1x1
    D3DSURFACE_DESC d;
    tex->GetLevelDesc(2, &d);
    EXPECT_EQ(d.Width, 2u);
    EXPECT_EQ(d.Height, 1u);
    // A rectangle lock points at the rectangle's first pixel with the level's pitch.
    RECT r{2, 1, 4, 3};
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 32);
    EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL); // already locked
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3DERR_INVALIDCALL);
    tex->UnlockRect(0);
    ASSERT_EQ(tex->LockRect(0, &lr, &r, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            static_cast<uint8_t*>(lr.pBits)[y * lr.Pitch + x] = uint8_t(16 * y + x + 1);
    tex->UnlockRect(0);
    Ref<IDirect3DSurface9> level0;
    ASSERT_EQ(tex->GetSurfaceLevel(0, level0.Put()), D3D_OK);
    const auto& bytes = NullDevice::SurfaceBytes(level0.Get());
    ASSERT_EQ(bytes.size(), 128u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool in = y >= 1 && y < 3 && x >= 8 && x < 16;
            EXPECT_EQ(bytes[size_t(y * 32 + x)], in ? uint8_t(16 * (y - 1) + (x - 8) + 1) : 0)
                << x << "," << y;
        }
    RECT outside{6, 0, 9, 1}, empty{2, 2, 2, 3};
    EXPECT_EQ(tex->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->LockRect(0, &lr, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex->LockRect(9, &lr, nullptr, 0), D3DERR_INVALIDCALL);

    // Compressed levels lock whole 4x4 blocks.
    Ref<IDirect3DTexture9> dxt;
    ASSERT_EQ(dev->CreateTexture(8, 8, 1, 0, D3DFMT_DXT5, D3DPOOL_MANAGED, dxt.Put(), nullptr), D3D_OK);
    RECT block{4, 4, 8, 8}, unaligned{2, 0, 6, 4};
    ASSERT_EQ(dxt->LockRect(0, &lr, &block, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 32);
    dxt->UnlockRect(0);
    EXPECT_EQ(dxt->LockRect(0, &lr, &unaligned, 0), D3DERR_INVALIDCALL);

    // Clear, StretchRect and read-back work on the CPU copies.
    Ref<IDirect3DSurface9> back, rt, sys;
    ASSERT_EQ(dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put()), D3D_OK);
    ASSERT_EQ(dev->CreateRenderTarget(4, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, 0, rt.Put(), nullptr),
              D3D_OK);
    ASSERT_EQ(dev->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
              D3D_OK);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    RECT src{0, 0, 4, 4};
    ASSERT_EQ(dev->StretchRect(back.Get(), &src, rt.Get(), nullptr, D3DTEXF_NONE), D3D_OK);
    ASSERT_EQ(dev->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
    const auto& px = NullDevice::SurfaceBytes(sys.Get());
    for (size_t i = 0; i < px.size(); i += 4) {
        ASSERT_EQ(px[i], 0x30);
        ASSERT_EQ(px[i + 1], 0x20);
        ASSERT_EQ(px[i + 2], 0x10);
    }
    // Read-back needs a matching system-memory surface; render targets do not lock.
    Ref<IDirect3DSurface9> small;
    dev->CreateOffscreenPlainSurface(2, 2, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, small.Put(), nullptr);
    EXPECT_EQ(dev->GetRenderTargetData(rt.Get(), small.Get()), D3DERR_INVALIDCALL);
    EXPECT_EQ(rt->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);
}

// Clears of the target reach its pixels whatever comes after them: further
// clears of part of it, fills, and writes through a lock, also while locked.
TEST_F(GfxNullDevice, ClearsComposeWithFillsAndLockedWrites) {
    constexpr uint32_t A = 0xFF0000AA, B = 0xFF0000BB, C = 0xFF0000CC, X = 0xFF0000EE;
    struct Step {
        enum Kind { Clear, ClearRect, Fill, Lock, Write, Unlock } kind;
        RECT rect{};
        uint32_t color = 0;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        // The colour expected at each pixel of the 4x4 target.
        uint32_t (*expect)(int x, int y);
    };
    const RECT centre{1, 1, 3, 3}, corner{2, 2, 4, 4}, top{0, 0, 2, 1}, px00{0, 0, 1, 1}, px11{1, 1, 2, 2};
    const std::vector<Case> cases = {
        {"a part cleared after the whole",
         {{Step::Clear, {}, A}, {Step::ClearRect, centre, B}},
         [](int x, int y) { return x >= 1 && x < 3 && y >= 1 && y < 3 ? B : A; }},
        {"the whole cleared twice", {{Step::Clear, {}, A}, {Step::Clear, {}, B}}, [](int, int) { return B; }},
        {"the whole cleared after a part",
         {{Step::ClearRect, centre, B}, {Step::Clear, {}, A}},
         [](int, int) { return A; }},
        {"more clears of parts than are kept back",
         {{Step::Clear, {}, A},
          {Step::ClearRect, centre, B},
          {Step::ClearRect, corner, C},
          {Step::ClearRect, top, X},
          {Step::ClearRect, px11, A}},
         [](int x, int y) {
             if (x == 1 && y == 1) return A;
             if (y == 0 && x < 2) return X;
             if (x >= 2 && y >= 2) return C;
             return x >= 1 && x < 3 && y >= 1 && y < 3 ? B : A;
         }},
        {"a part cleared again in its own colour",
         {{Step::Clear, {}, A},
          {Step::ClearRect, centre, B},
          {Step::ClearRect, px11, B},
          {Step::ClearRect, top, C}},
         [](int x, int y) { return y == 0 && x < 2 ? C : (x >= 1 && x < 3 && y >= 1 && y < 3 ? B : A); }},
        {"a fill after a clear",
         {{Step::Clear, {}, A}, {Step::Fill, top, C}},
         [](int x, int y) { return y == 0 && x < 2 ? C : A; }},
        {"a locked write between clears",
         {{Step::Clear, {}, A},
          {Step::Lock},
          {Step::Write, px00, X},
          {Step::Unlock},
          {Step::ClearRect, corner, B}},
         [](int x, int y) { return x == 0 && y == 0 ? X : (x >= 2 && y >= 2 ? B : A); }},
        {"a write through a lock taken before the clear",
         {{Step::Lock}, {Step::Clear, {}, A}, {Step::Write, px11, X}, {Step::Unlock}},
         [](int x, int y) { return x == 1 && y == 1 ? X : A; }},
    };
    for (const Case& c : cases) {
        auto dev = Make();
        Ref<IDirect3DSurface9> rt;
        ASSERT_EQ(
            dev->CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, 1, rt.Put(), nullptr),
            D3D_OK);
        ASSERT_EQ(dev->SetRenderTarget(0, rt.Get()), D3D_OK);
        D3DLOCKED_RECT lr{};
        for (const Step& s : c.steps) {
            switch (s.kind) {
            case Step::Clear:
                ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, s.color, 1.0f, 0), D3D_OK) << c.what;
                break;
            case Step::ClearRect:
                ASSERT_EQ(dev->Clear(1, &s.rect, D3DCLEAR_TARGET, s.color, 1.0f, 0), D3D_OK) << c.what;
                break;
            case Step::Fill:
                ASSERT_EQ(dev->ColorFill(rt.Get(), &s.rect, s.color), D3D_OK) << c.what;
                break;
            case Step::Lock:
                ASSERT_EQ(rt->LockRect(&lr, nullptr, 0), D3D_OK) << c.what;
                break;
            case Step::Write:
                std::memcpy(static_cast<uint8_t*>(lr.pBits) + s.rect.top * lr.Pitch + s.rect.left * 4,
                            &s.color, 4);
                break;
            case Step::Unlock:
                ASSERT_EQ(rt->UnlockRect(), D3D_OK) << c.what;
                break;
            }
        }
        // Every reader sees the same pixels: the CPU copy, a lock and a read-back.
        Ref<IDirect3DSurface9> sys;
        ASSERT_EQ(
            dev->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
            D3D_OK);
        ASSERT_EQ(dev->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        const std::vector<uint8_t> copy = NullDevice::SurfaceBytes(rt.Get());
        ASSERT_EQ(copy.size(), 64u);
        EXPECT_EQ(NullDevice::SurfaceBytes(sys.Get()), copy) << c.what;
        ASSERT_EQ(rt->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(lr.pBits, copy.data(), copy.size()), 0) << c.what;
        rt->UnlockRect();
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                uint32_t v;
                std::memcpy(&v, copy.data() + y * 16 + x * 4, 4);
                EXPECT_EQ(v, c.expect(x, y)) << c.what << " at " << x << "," << y;
            }
    }
}

TEST_F(GfxNullDevice, InjectedFailures) {
    NullGfxConfig cfg;
    cfg.videoMemoryBytes = 1 << 16;
    auto dev = Make(cfg);
    NullDevice* n = Null(dev);
    // The back buffer and depth surface of 800x600 exceed the budget only when counted; they are not.
    Ref<IDirect3DVertexBuffer9> a, b, sys;
    ASSERT_EQ(dev->CreateVertexBuffer(40000, 0, 0, D3DPOOL_DEFAULT, a.Put(), nullptr), D3D_OK);
    EXPECT_EQ(dev->CreateVertexBuffer(40000, 0, 0, D3DPOOL_MANAGED, b.Put(), nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_FALSE(b);
    EXPECT_EQ(dev->CreateVertexBuffer(40000, 0, 0, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr), D3D_OK);
    a = nullptr; // freeing gives the memory back
    EXPECT_EQ(dev->CreateVertexBuffer(40000, 0, 0, D3DPOOL_MANAGED, b.Put(), nullptr), D3D_OK);
    Ref<IDirect3DTexture9> tex;
    EXPECT_EQ(dev->CreateTexture(128, 128, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr),
              D3DERR_OUTOFVIDEOMEMORY);

    n->SetFailLocks(true);
    void* data = reinterpret_cast<void*>(1);
    EXPECT_TRUE(Failed(b->Lock(0, 0, &data, 0)));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(b->Unlock(), D3DERR_INVALIDCALL);
    n->SetFailLocks(false);
    EXPECT_EQ(b->Lock(0, 0, &data, 0), D3D_OK);
    b->Unlock();

    const std::string text = "#pixelshader\nvoid main() { oC0 = vec4(1.0); }\n";
    Ref<ID3DXBuffer> code;
    ASSERT_EQ(
        D3DXAssembleShader(text.data(), uint32_t(text.size()), nullptr, nullptr, 0, code.Put(), nullptr),
        D3D_OK);
    Ref<IDirect3DPixelShader9> ps;
    n->SetFailShaderBuild(true);
    EXPECT_TRUE(
        Failed(dev->CreatePixelShader(static_cast<const uint32_t*>(code->GetBufferPointer()), ps.Put())));
    EXPECT_FALSE(ps);
    EXPECT_NE(dev->GetLastShaderError(), "");
    n->SetFailShaderBuild(false);
    EXPECT_EQ(dev->CreatePixelShader(static_cast<const uint32_t*>(code->GetBufferPointer()), ps.Put()),
              D3D_OK);
    EXPECT_EQ(dev->GetLastShaderError(), "");
    // Arbitrary words are not shader code.
    const uint32_t junk[4] = {1, 2, 3, 4};
    EXPECT_EQ(dev->CreatePixelShader(junk, ps.Put()), D3DERR_INVALIDCALL);
}

TEST_F(GfxNullDevice, RefusesBadArgumentsWithoutSideEffects) {
    auto dev = Make();
    // Draws without a vertex source or format.
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    dev->SetFVF(D3DFVF_XYZ);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL); // no stream
    EXPECT_EQ(dev->DrawPrimitive(D3DPRIMITIVETYPE(9), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL); // no indices
    // Indexed draws stay inside the vertex range they name.
    Ref<IDirect3DVertexBuffer9> vb;
    Ref<IDirect3DIndexBuffer9> ib;
    dev->CreateVertexBuffer(4 * 12, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, vb.Put(), nullptr);
    dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.Put(), nullptr);
    dev->SetStreamSource(0, vb.Get(), 0, 12);
    dev->SetIndices(ib.Get());
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    const float verts[4][3] = {};
    const uint16_t inside[3] = {0, 1, 3}, outside[3] = {0, 1, 4};
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, inside, D3DFMT_INDEX16, verts, 12),
              D3D_OK);
    EXPECT_EQ(dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, outside, D3DFMT_INDEX16, verts, 12),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetFVF(0x00E | 0xF00), D3DERR_INVALIDCALL); // 15 texture sets
    D3DVIEWPORT9 vp{700, 0, 200, 100, 0, 1};
    EXPECT_EQ(dev->SetViewport(&vp), D3DERR_INVALIDCALL); // past the 800-wide target
    D3DVIEWPORT9 now;
    dev->GetViewport(&now);
    EXPECT_EQ(now.Width, 800u);
    D3DLIGHT9 light;
    EXPECT_EQ(dev->SetLight(kMaxLightIndex, &light), D3DERR_INVALIDCALL);
    light.Type = D3DLIGHTTYPE(7);
    EXPECT_EQ(dev->SetLight(0, &light), D3DERR_INVALIDCALL);
    // Enabling a light never set gives a white directional light.
    EXPECT_EQ(dev->LightEnable(3, 1), D3D_OK);
    D3DLIGHT9 got;
    ASSERT_EQ(dev->GetLight(3, &got), D3D_OK);
    EXPECT_EQ(got.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(got.Diffuse.r, 1.0f);
    const float f4[8] = {};
    EXPECT_EQ(dev->SetVertexShaderConstantF(255, f4, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetPixelShaderConstantF(31, f4, 1), D3D_OK);
    EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATETYPE(kRenderStateCount), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
    D3DVERTEXELEMENT9 noEnd[MAXD3DDECLLENGTH + 1];
    for (auto& e : noEnd) e = {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
    Ref<IDirect3DVertexDeclaration9> decl;
    EXPECT_EQ(dev->CreateVertexDeclaration(noEnd, decl.Put()), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->BeginScene(), D3D_OK);
    EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
}

TEST_F(GfxNullDevice, ResourcesOutliveTheirDeviceAndCarryUniqueIds) {
    auto dev = Make();
    Ref<IDirect3DVertexBuffer9> vb;
    Ref<IDirect3DTexture9> tex;
    ASSERT_EQ(dev->CreateVertexBuffer(16, 0, 0, D3DPOOL_MANAGED, vb.Put(), nullptr), D3D_OK);
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex.Put(), nullptr), D3D_OK);
    EXPECT_NE(vb->GetId(), tex->GetId());
    EXPECT_NE(vb->GetId(), dev->GetId());
    Ref<IDirect3DSurface9> level;
    ASSERT_EQ(tex->GetSurfaceLevel(0, level.Put()), D3D_OK);
    dev->SetStreamSource(0, vb.Get(), 0, 16);
    dev->SetTexture(0, tex.Get());
    EXPECT_EQ(vb->RefCount(), 2u); // the caller's and the device's
    dev = nullptr;
    d3d = nullptr;
    // The device is gone: its state let go, the CPU copies still lock.
    EXPECT_EQ(vb->RefCount(), 1u);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    Ref<IDirect3DDevice9> none;
    EXPECT_EQ(vb->GetDevice(none.Put()), D3DERR_INVALIDCALL);
    tex = nullptr;
    D3DLOCKED_RECT lr;
    EXPECT_EQ(level->LockRect(&lr, nullptr, 0), D3D_OK);
    level->UnlockRect();
}

TEST(GfxFormats, VertexSizesAndPitches) {
    struct {
        uint32_t fvf, size;
    } fvfs[] = {{0x1C4, 32},
                {0x212, 40},
                {0x62, 20},
                {D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), 24},
                {D3DFVF_XYZB2 | D3DFVF_NORMAL, 32},
                {0x00E | 0xF00, 0}};
    for (const auto& c : fvfs) EXPECT_EQ(FvfVertexSize(c.fvf), c.size) << std::hex << c.fvf;
    EXPECT_EQ(FormatPitch(D3DFMT_DXT1, 5), 16u);
    EXPECT_EQ(FormatPitch(D3DFMT_DXT3, 4), 16u);
    EXPECT_EQ(FormatRows(D3DFMT_DXT5, 5), 2u);
    EXPECT_EQ(FormatPitch(D3DFMT_R8G8B8, 3), 9u);
}

TEST(GfxD3dx, AssemblyCarriesTheTextAndReportsErrors) {
    const std::string ok = "#vertexshader\nvoid main() { oPos = iPosition; }\n";
    Ref<ID3DXBuffer> code, errors;
    ASSERT_EQ(
        D3DXAssembleShader(ok.data(), uint32_t(ok.size()), nullptr, nullptr, 0, code.Put(), errors.Put()),
        D3D_OK);
    ShaderCodeInfo info;
    ASSERT_TRUE(ReadShaderCode(static_cast<const uint32_t*>(code->GetBufferPointer()), &info));
    EXPECT_FALSE(info.pixel);
    EXPECT_EQ(info.source, ok);
    const std::string noKind = "void main() {}\n";
    EXPECT_EQ(D3DXAssembleShader(noKind.data(), uint32_t(noKind.size()), nullptr, nullptr, 0, code.Put(),
                                 errors.Put()),
              D3DXERR_INVALIDDATA);
    EXPECT_FALSE(code);
    ASSERT_TRUE(errors);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("#vertexshader"),
              std::string::npos);
    EXPECT_EQ(
        D3DXAssembleShaderFromFileA("/nonexistent/x.vsh", nullptr, nullptr, 0, code.Put(), errors.Put()),
        D3DERR_NOTFOUND);
}

TEST(GfxD3dx, BmpRowsArePaddedAndBottomUp) {
    // 3x2 pixels: B, G, R, A.
    const uint8_t px[2][12] = {{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0},
                               {10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0}};
    const std::string bmp = EncodeBmp24(&px[0][0], 3, 2, 12);
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    const std::string rows(bmp.begin() + 54, bmp.end());
    const std::string expected = std::string("\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\0\0\0", 12) +
                                 std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0", 12);
    EXPECT_EQ(rows, expected);
}

} // namespace
