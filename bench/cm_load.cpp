// Loading a model of 50,000 triangles from memory.
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

namespace {

using namespace vesk;

// A grid of 50,000 triangles (a 125 x 200 quad surface) in one object.
std::string GridModel() {
    constexpr uint32_t kCols = 125, kRows = 200;
    CMSceneClass scene("grid");
    CMGeomObjClass* o = scene.NewGeomObj();
    o->SetNames("grid", "", "");
    o->SetVertices((kCols + 1) * (kRows + 1));
    for (uint32_t r = 0; r <= kRows; ++r)
        for (uint32_t c = 0; c <= kCols; ++c) {
            const float x = static_cast<float>(c), y = static_cast<float>(r);
            o->SetVertex(r * (kCols + 1) + c, {x, y, std::sin(x * 0.1f) * std::cos(y * 0.1f)}, {0, 0, 1},
                         x / kCols, y / kRows);
        }
    o->SetIndices(kCols * kRows * 6);
    uint32_t i = 0;
    for (uint32_t r = 0; r < kRows; ++r)
        for (uint32_t c = 0; c < kCols; ++c) {
            const uint32_t a = r * (kCols + 1) + c, b = a + 1, d = a + kCols + 1, e = d + 1;
            for (uint32_t v : {a, d, b, b, d, e}) o->SetIndex(i++, v);
        }
    return scene.ToBytes();
}

void BM_LoadModel50kTriangles(benchmark::State& state) {
    const std::string bytes = GridModel();
    for (auto _ : state) {
        CMTreeClass tree;
        tree.Parse(bytes, "grid.cm");
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    state.counters["triangles"] = 50000;
}
BENCHMARK(BM_LoadModel50kTriangles)->Unit(benchmark::kMillisecond);

// The same through the engine's load path (its log lines and memory mark included).
void BM_LoadFromMemory50kTriangles(benchmark::State& state) {
    const std::string bytes = GridModel();
    for (auto _ : state) {
        CMTreeClass tree;
        tree.LoadFromMemory(bytes, "grid.cm");
        benchmark::DoNotOptimize(tree.GeomObjects().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadFromMemory50kTriangles)->Unit(benchmark::kMillisecond);

} // namespace
