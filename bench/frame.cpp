// The cost of one frame of the application object with every subsystem a
// stand-in: the frame's own bookkeeping, the tick's guards and the slicing.
#include <benchmark/benchmark.h>

#include "core/application.h"
#include "shared/engine_object.h"

namespace {

void BM_EmptyFrame(benchmark::State& state) {
    vesk::platform::ManualClock clock;
    vesk::platform::ScopedClock scoped(clock);
    vesk::TCore core{vesk::CoreServices{}};
    core.LastCounter = vesk::platform::PerfCounter();
    for (auto _ : state) {
        clock.AdvanceMs(static_cast<double>(state.range(0)));
        core.Frame();
    }
    state.SetItemsProcessed(state.iterations());
}
// 16 ms: one physics step; 95 ms: three.
BENCHMARK(BM_EmptyFrame)->Arg(16)->Arg(95)->Unit(benchmark::kMicrosecond);

} // namespace
