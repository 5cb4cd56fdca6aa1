// Texture work per item: cache look-ups by name in a manager of 500 nodes,
// DDS decoding, and DXT1 compression of an opaque 256x256 picture (what a
// texture loaded with an opaque format goes through).
#include "core/paths.h"
#include "platform/gfx/gl_device.h"
#include "platform/gfx/null_device.h"
#include "platform/image_codecs.h"
#include "render/texture.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace vesk;
using namespace vesk::platform;

namespace {

void BM_CacheHit(benchmark::State& state) {
    // No device: nodes are made without loading anything, the look-up is what is measured.
    RE_CreateTextureManager();
    std::vector<TextureRef> held;
    for (int i = 0; i < 500; ++i)
        held.push_back(TextureManager->GetTexture("ships/hull" + std::to_string(i), D3DFMT_UNKNOWN, false));
    const std::string names[3] = {"ships\\hull0", "Ships/Hull250", "textures/ships/hull499"};
    size_t n = 0;
    for (auto _ : state) {
        TextureRef t = TextureManager->GetTexture(names[n++ % 3], D3DFMT_UNKNOWN, false);
        benchmark::DoNotOptimize(t.Get());
    }
    state.SetItemsProcessed(state.iterations());
    held.clear();
    RE_FreeTextureManager();
}
BENCHMARK(BM_CacheHit);

std::vector<uint8_t> Picture(uint32_t side) {
    std::vector<uint8_t> px(size_t(side) * side * 4);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x) {
            uint8_t* p = &px[(size_t(y) * side + x) * 4];
            p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = uint8_t(x ^ y), p[3] = 255;
        }
    return px;
}

void BM_CompressDxt1(benchmark::State& state) {
    const std::vector<uint8_t> px = Picture(256);
    for (auto _ : state) benchmark::DoNotOptimize(BgraToLevel(D3DFMT_DXT1, px.data(), 256, 256).data());
    state.SetItemsProcessed(state.iterations() * 256 * 256); // texels
}
BENCHMARK(BM_CompressDxt1);

void BM_DecodeDxt1Dds(benchmark::State& state) {
    const std::vector<uint8_t> px = Picture(256);
    const std::vector<uint8_t> blocks = BgraToLevel(D3DFMT_DXT1, px.data(), 256, 256);
    for (auto _ : state)
        benchmark::DoNotOptimize(LevelToBgra(D3DFMT_DXT1, blocks.data(), blocks.size(), 256, 256).data());
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_DecodeDxt1Dds);

// Loading an opaque 1024x1024 picture as a DXT1 texture with its mip chain:
// what the loading thread pays on the GL device (the blocks are made by its
// worker meanwhile) against a device that makes the blocks at once.
Ref<IDirect3DDevice9> MakeDevice(Ref<IDirect3D9> d3d) {
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    Ref<IDirect3DDevice9> dev;
    if (d3d)
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
    return dev;
}

void LoadDxt1(benchmark::State& state, IDirect3DDevice9* dev) {
    if (!dev) {
        state.SkipWithError("no device");
        return;
    }
    const std::vector<uint8_t> px = Picture(1024);
    for (auto _ : state) {
        Ref<IDirect3DTexture9> tex;
        CreateTextureFromBgra(dev, px.data(), 1024, 1024, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, tex.Put());
        state.PauseTiming();
        // The blocks, wherever they are made, before the next load.
        D3DLOCKED_RECT lr;
        tex->LockRect(0, &lr, nullptr, D3DLOCK_READONLY);
        tex->UnlockRect(0);
        dev->Present(nullptr, nullptr, nullptr, nullptr);
        state.ResumeTiming();
    }
}

void BM_LoadDxt1TextureMadeAtOnce(benchmark::State& state) {
    Ref<IDirect3DDevice9> dev = MakeDevice(Ref<IDirect3D9>(CreateNullDirect3D().Detach()));
    LoadDxt1(state, dev.Get());
}
BENCHMARK(BM_LoadDxt1TextureMadeAtOnce)->Unit(benchmark::kMillisecond);

void BM_LoadDxt1TextureOnGLDevice(benchmark::State& state) {
    GLGfxConfig cfg;
    cfg.headlessWidth = cfg.headlessHeight = 64;
    Ref<IDirect3DDevice9> dev = MakeDevice(GLHeadlessAvailable() ? CreateGLDirect3D(cfg) : nullptr);
    LoadDxt1(state, dev.Get());
}
BENCHMARK(BM_LoadDxt1TextureOnGLDevice)->Unit(benchmark::kMillisecond);

} // namespace
