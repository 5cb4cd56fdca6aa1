// 10,000 draws with state changes per frame: through the device layer and the
// same stream issued to GL directly. Compare the two per-frame times.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/gfx/gl_device.h"
#include "platform/gfx/gl_reference_stream.h"

using namespace vesk;
using namespace vesk::platform;

namespace {

constexpr uint32_t kDraws = 10000, kQuads = 64, kW = 128, kH = 128;

struct Vertex {
    float x, y, z;
    D3DCOLOR c;
    float u, v;
};

// The layer's draws with the texture swapped before each one or kept: the
// fixed-function program is picked again after every swap, so the difference
// between the two is what that costs.
void DrawsThroughLayer(benchmark::State& state, bool swapTextures) {
    if (!GLHeadlessAvailable()) {
        state.SkipWithError("no GL");
        return;
    }
    GLGfxConfig cfg;
    cfg.headlessWidth = kW;
    cfg.headlessHeight = kH;
    Ref<IDirect3D9> d3d = CreateGLDirect3D(cfg);
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    Ref<IDirect3DDevice9> dev;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
    const uint32_t fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    std::vector<Vertex> verts;
    for (uint32_t q = 0; q < kQuads; ++q) {
        const float x = float(q % 8) - 4, y = float(q / 8 % 8) - 4;
        verts.push_back({x, y, 0, 0xFFFFFFFFu, 0, 0});
        verts.push_back({x + 1, y, 0, 0xFFFFFFFFu, 1, 0});
        verts.push_back({x, y + 1, 0, 0xFFFFFFFFu, 0, 1});
        verts.push_back({x + 1, y + 1, 0, 0xFFFFFFFFu, 1, 1});
    }
    Ref<IDirect3DVertexBuffer9> vb;
    dev->CreateVertexBuffer(uint32_t(verts.size() * sizeof(Vertex)), D3DUSAGE_WRITEONLY, fvf, D3DPOOL_MANAGED,
                            vb.Put(), nullptr);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, verts.data(), verts.size() * sizeof(Vertex));
    vb->Unlock();
    Ref<IDirect3DTexture9> tex[2];
    for (int i = 0; i < 2; ++i) {
        dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tex[i].Put(), nullptr);
        D3DLOCKED_RECT lr;
        tex[i]->LockRect(0, &lr, nullptr, 0);
        std::memset(lr.pBits, 0x80 + i, 16);
        tex[i]->UnlockRect(0);
    }
    Ref<IDirect3DSurface9> back, sys;
    dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
    dev->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr);
    dev->SetRenderState(D3DRS_LIGHTING, 0);
    dev->SetRenderState(D3DRS_ZENABLE, 0);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    dev->SetFVF(fvf);
    dev->SetStreamSource(0, vb.Get(), 0, sizeof(Vertex));
    Matrix identity;
    dev->SetTransform(D3DTS_VIEW, &identity);
    dev->SetTransform(D3DTS_PROJECTION, &identity);
    for (auto _ : state) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        for (uint32_t i = 0; i < kDraws; ++i) {
            dev->SetTexture(0, tex[swapTextures ? (i & 1) : 0].Get());
            dev->SetRenderState(D3DRS_ALPHABLENDENABLE, (i & 2) ? 1 : 0);
            Matrix world;
            world.m[0][0] = world.m[1][1] = world.m[2][2] = 0.1f;
            world.m[3][0] = 0.001f * float(i % 100);
            world.m[3][2] = 0.5f;
            dev->SetTransform(D3DTS_WORLD, &world);
            dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, (i % kQuads) * 4, 2);
        }
        dev->GetRenderTargetData(back.Get(), sys.Get());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kDraws);
}

void BM_DrawsThroughLayer(benchmark::State& state) {
    DrawsThroughLayer(state, true);
}

void BM_DrawsThroughLayerOneTexture(benchmark::State& state) {
    DrawsThroughLayer(state, false);
}

void BM_DrawsDirectGL(benchmark::State& state) {
    auto stream = CreateGLReferenceStream(kW, kH, kQuads);
    if (!stream) {
        state.SkipWithError("no GL");
        return;
    }
    for (auto _ : state) {
        stream->Run(kDraws);
        stream->Finish();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kDraws);
}

} // namespace

BENCHMARK(BM_DrawsThroughLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DrawsThroughLayerOneTexture)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DrawsDirectGL)->Unit(benchmark::kMillisecond)->MinTime(2.0);
