// The device state cache and the shared buffer chunks on the null device.
#include <benchmark/benchmark.h>

#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/vertex_buffers.h"

using namespace vesk;
using namespace vesk::platform;

namespace {

// A null device without the call record, so the figures show the engine's side.
struct Scope {
    Scope() {
        SetDirect3DFactory([](uint32_t) { return CreateNullDirect3D().Detach(); });
        GetDisplayReleaseHooks().pauseMs = 0;
        RE_InitDevices(routine, nullptr, DeviceSetup{});
        if (auto* d = dynamic_cast<NullDevice*>(Device.Get())) d->SetRecording(false);
    }
    ~Scope() {
        RE_DoneDevices();
        SetDirect3DFactory(nullptr);
    }
    D3DRoutineClass routine;
};

// A material's typical stage set-up, repeated: every call after the first is filtered.
void BM_CachedStageStatesRepeated(benchmark::State& state) {
    Scope scope;
    for (auto _ : state) {
        CachedSetTextureStageState(0, D3DTSS_COLOROP, 4);
        CachedSetTextureStageState(0, D3DTSS_COLORARG1, 2);
        CachedSetTextureStageState(0, D3DTSS_COLORARG2, 0);
        CachedSetSamplerState(0, D3DSAMP_MINFILTER, 2);
        CachedSetFVF(FVF_PosNormalTex);
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_CachedStageStatesRepeated);

// The same calls straight to the device.
void BM_DirectStageStatesRepeated(benchmark::State& state) {
    Scope scope;
    for (auto _ : state) {
        Device->SetTextureStageState(0, D3DTSS_COLOROP, 4);
        Device->SetTextureStageState(0, D3DTSS_COLORARG1, 2);
        Device->SetTextureStageState(0, D3DTSS_COLORARG2, 0);
        Device->SetSamplerState(0, D3DSAMP_MINFILTER, 2);
        Device->SetFVF(FVF_PosNormalTex);
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_DirectStageStatesRepeated);

// Taking and giving back chunks from a buffer shared by 200 live chunks.
void BM_VertexChunkTakeAndGiveBack(benchmark::State& state) {
    Scope scope;
    BuffersManagerClass bm;
    std::vector<IVertexBuffer*> held;
    for (int i = 0; i < 200; ++i) held.push_back(bm.GetVB(8, FVF_PosColorTex, D3DPOOL_MANAGED, 0));
    for (int i = 0; i < 200; i += 2) held[i]->Release();
    for (auto _ : state) {
        IVertexBuffer* vb = bm.GetVB(6, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
        benchmark::DoNotOptimize(vb);
        vb->Release();
    }
}
BENCHMARK(BM_VertexChunkTakeAndGiveBack);

} // namespace
