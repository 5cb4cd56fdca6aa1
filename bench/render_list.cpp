// The per-frame cost of turning the render-unit tree into the render list and
// running it (the engine's Draw), on the recording null device, for trees of
// 1,000 and 10,000 units; the cost per unit should stay flat as the tree grows.
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/world_links.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace vesk;

class CountedUnit : public TBaseRenderUnit {
public:
    void DoRender() override { Engine->IncFrameObjCount(); }
};

// Ten children per unit, breadth first; every third unit blended, the others
// opaque, and every fifth on stage 1.
void BuildTree(TBaseRenderUnit* root, int count) {
    std::vector<TBaseRenderUnit*> parents{root};
    size_t next = 0;
    for (int i = 0; i < count; ++i) {
        TBaseRenderUnit* parent = parents[next];
        if (parent->ChildCount() >= 10) parent = parents[++next];
        auto* u = TBaseRenderUnit::Create<CountedUnit>(parent);
        u->SetFlag(i % 3 == 0 ? BRU_BLENDED : BRU_OPAQUE);
        u->SetRenderStage(i % 5 == 0 ? 1 : 0);
        parent->AddChild(u);
        parents.push_back(u);
    }
}

void BM_BuildAndRunRenderList(benchmark::State& state) {
    const int units = static_cast<int>(state.range(0));
    TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    auto d3d = platform::CreateNullDirect3D();
    platform::D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    platform::Ref<platform::IDirect3DDevice9> dev;
    d3d->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr, platform::D3DCREATE_HARDWARE_VERTEXPROCESSING,
                      &pp, dev.Put());
    Device = dev;
    TEngineClass* engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    auto* env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
    engine->AddChild(env);
    GetRenderWorldLinks().environment = [env]() -> TBaseRenderUnit* { return env; };
    BuildTree(env, units);
    engine->UpdateMatrices(nullptr);

    for (auto _ : state) {
        engine->Draw();
        benchmark::DoNotOptimize(engine->FrameObjCount());
    }
    state.counters["per_unit_ns"] =
        benchmark::Counter(static_cast<double>(units) * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * units);

    engine->DiscardBRU();
    engine->Free();
    TEODestroyManager->Flush();
    TEODestroyManager.reset();
    GetRenderWorldLinks() = RenderWorldLinks{};
    Device = nullptr;
}
BENCHMARK(BM_BuildAndRunRenderList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
