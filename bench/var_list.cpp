// Cost of reading settings variables by name, as the console and the per-tick
// switches do.
#include "core/var_list.h"

#include <benchmark/benchmark.h>

namespace {

struct Lists {
    Lists() { vesk::InitVarLists(); }
    ~Lists() { vesk::FreeAllVarLists(); }
};

void BM_GetIntegerByName(benchmark::State& state) {
    Lists lists;
    for (auto _ : state) benchmark::DoNotOptimize(vesk::IeVars->Get("maxlag").AsInteger());
}
BENCHMARK(BM_GetIntegerByName);

void BM_GetStringByName(benchmark::State& state) {
    Lists lists;
    for (auto _ : state) benchmark::DoNotOptimize(vesk::IniVars->Get("win.caption"));
}
BENCHMARK(BM_GetStringByName);

void BM_JetsSwitch(benchmark::State& state) {
    Lists lists;
    for (auto _ : state) benchmark::DoNotOptimize(vesk::JetsSwitch());
}
BENCHMARK(BM_JetsSwitch);

void BM_GetVector(benchmark::State& state) {
    Lists lists;
    for (auto _ : state) benchmark::DoNotOptimize(vesk::SpVars->GetVector("cam.Up"));
}
BENCHMARK(BM_GetVector);

} // namespace
