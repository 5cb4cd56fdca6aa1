// Render objects on the null device: drawing a model of several materials,
// and building one from a model node.
#include <benchmark/benchmark.h>

#include "core/lua_machine.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/ro_builders.h"

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
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString("function length(t) if t == nil then return 0 end local n = 0 for _ in "
                              "pairs(t) do n = n + 1 end return n end\n"
                              "materials = { checker = { id = '1', texture_technique = 10, diffuse_color = "
                              "'FFFFFF', specular_color = '0', ambient_color = '0', emissive_color = '0', "
                              "power = 0 } }");
    }
    ~Scope() {
        FreeLuaMachine();
        BuffersManager.reset();
        RE_DoneDevices();
        SetDirect3DFactory(nullptr);
    }
    D3DRoutineClass routine;
};

// A grid of n x n quads split into four materials (each falls back to the checker material).
ROModelNode Grid(int n) {
    ROModelNode node;
    node.objectName = "grid";
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
            node.vertices.push_back({float(x), float(y), 0, 0, 0, -1, float(x) / n, float(y) / n});
    node.materials.resize(4);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const uint32_t a = uint32_t(y * (n + 1) + x), b = a + 1, c = a + uint32_t(n + 1), d = c + 1;
            auto& idx = node.materials[size_t((y * n + x) % 4)].indices;
            idx.insert(idx.end(), {a, c, b, b, c, d});
        }
    return node;
}

void BM_RenderModelObject(benchmark::State& state) {
    Scope scope;
    TRenderObject* ro = BuildModelRenderObject(Grid(32), {});
    for (auto _ : state) ro->Render();
    ro->Free();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RenderModelObject);

void BM_BuildModelObject(benchmark::State& state) {
    Scope scope;
    const ROModelNode node = Grid(32);
    for (auto _ : state) {
        TRenderObject* ro = BuildModelRenderObject(node, {});
        benchmark::DoNotOptimize(ro);
        ro->Free();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(node.vertices.size()));
}
BENCHMARK(BM_BuildModelObject);

} // namespace
