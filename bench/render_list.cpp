// The per-frame cost of turning the render-unit tree into the render list and
// running it (the engine's Draw), on the recording null device, for trees of
// 1,000, 10,000 and 100,000 units; the cost per unit should stay flat as the
// tree grows. A second measure takes the first frame of a fresh engine, whose
// entry pool must grow to hold the whole list, beside the steady frames. A
// third tells the heap a unit takes with its share of the list and its pool.
#include "platform/gfx/null_device.h"
#include "platform/memory_pages.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/unit_memory.h"
#include "render/world_links.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

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

// A null device, an engine with an environment and a tree of units under it.
class Scene {
public:
    // Units register with the live-object registry, as in the game, unless asked not to.
    explicit Scene(int units, bool registry = true) {
        // The heap as the game sets it up.
        platform::KeepFreedMemoryForReuse();
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        if (registry) LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        auto d3d = platform::CreateNullDirect3D();
        platform::D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        d3d->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr, platform::D3DCREATE_HARDWARE_VERTEXPROCESSING,
                          &pp, dev_.Put());
        Device = dev_;
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        auto* env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
        engine->AddChild(env);
        GetRenderWorldLinks().environment = [env]() -> TBaseRenderUnit* { return env; };
        BuildTree(env, units);
        engine->UpdateMatrices(nullptr);
    }
    ~Scene() {
        engine->DiscardBRU();
        engine->Free();
        TEODestroyManager->Flush();
        TEODestroyManager.reset();
        LiveObjects.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    TEngineClass* engine = nullptr;

private:
    platform::Ref<platform::IDirect3DDevice9> dev_;
};

void PerUnit(benchmark::State& state, int units) {
    state.counters["per_unit_ns"] =
        benchmark::Counter(static_cast<double>(units) * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * units);
}

void BM_BuildAndRunRenderList(benchmark::State& state) {
    const int units = static_cast<int>(state.range(0));
    Scene scene(units);
    for (auto _ : state) {
        scene.engine->Draw();
        benchmark::DoNotOptimize(scene.engine->FrameObjCount());
    }
    PerUnit(state, units);
}
BENCHMARK(BM_BuildAndRunRenderList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// One frame of a fresh engine over a tree of 30,000 units, after some frames
// drawn untimed. Its list of 60,000 entries outgrows the pool of 3,000 the
// engine starts with, so the first frame grows the pool; the second finds it
// large enough, with the tree as warm as the first found it. The third kind
// is a first frame whose pool was grown before it: what a first frame pays
// besides the pool's growth.
void TimeFrameOfFreshEngine(benchmark::State& state, int framesBefore, bool poolGrown = false) {
    const int units = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        {
            Scene scene(units);
            if (poolGrown) {
                ObjManagerClass* pool = scene.engine->RenderListPool();
                std::vector<ManagedObjectClass*> taken;
                for (int i = 0; i < 2 * units + 2; ++i) taken.push_back(pool->GetObject());
                for (ManagedObjectClass* slot : taken) slot->ReturnToPool();
            }
            for (int i = 0; i < framesBefore; ++i) scene.engine->Draw();
            state.ResumeTiming();
            scene.engine->Draw();
            benchmark::DoNotOptimize(scene.engine->FrameObjCount());
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    PerUnit(state, units);
}
void BM_FirstFrameGrowingThePool(benchmark::State& state) {
    TimeFrameOfFreshEngine(state, 0);
}
void BM_SecondFrame(benchmark::State& state) {
    TimeFrameOfFreshEngine(state, 1);
}
void BM_FirstFrameWithThePoolGrown(benchmark::State& state) {
    TimeFrameOfFreshEngine(state, 0, true);
}
BENCHMARK(BM_FirstFrameGrowingThePool)->Arg(30000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SecondFrame)->Arg(30000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FirstFrameWithThePoolGrown)->Arg(30000)->Unit(benchmark::kMicrosecond);

// Bytes the heap has handed out, including blocks of their own mapping, and
// the room units take in their blocks.
size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd + UnitMemoryInUse();
}

// The resident memory of the process.
size_t Resident() {
    size_t pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%zu %zu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// The heap a scene holds after one frame, less that of a scene without units:
// the units, their child lists, the registries' records and the render-list
// entries the frame needed; and the same of the resident memory.
void BM_BytesPerUnit(benchmark::State& state) {
    const int units = static_cast<int>(state.range(0));
    const bool registry = state.range(1) != 0;
    double bytes = 0, resident = 0;
    for (auto _ : state) {
        size_t empty = 0, full = 0, emptyResident = 0, fullResident = 0;
        {
            Scene scene(0, registry);
            scene.engine->Draw();
            empty = HeapInUse();
            emptyResident = Resident();
        }
        {
            Scene scene(units, registry);
            scene.engine->Draw();
            full = HeapInUse();
            fullResident = Resident();
        }
        bytes = (static_cast<double>(full) - static_cast<double>(empty)) / units;
        resident = (static_cast<double>(fullResident) - static_cast<double>(emptyResident)) / units;
    }
    state.counters["bytes_per_unit"] = bytes;
    state.counters["resident_per_unit"] = resident;
}
// Second argument: whether units register with the live-object registry.
BENCHMARK(BM_BytesPerUnit)
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
