// Deferred destruction of many objects and notification of many subscribers.
#include "shared/engine_object.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using vesk::TEngineObject;

class Plain : public TEngineObject {};

class Counter : public TEngineObject {
public:
    int64_t heard = 0;
    void Message(vesk::IEngineObject* sender, int msg, int param) override {
        ++heard;
        TEngineObject::Message(sender, msg, param);
    }
};

void BM_FlushQueuedObjects(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; ++i) TEngineObject::New<Plain>()->Release();
        state.ResumeTiming();
        benchmark::DoNotOptimize(vesk::TEODestroyManager->Flush());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FlushQueuedObjects)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReleaseAndFlush(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) TEngineObject::New<Plain>()->Release();
        benchmark::DoNotOptimize(vesk::TEODestroyManager->Flush());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ReleaseAndFlush)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NotifySubscribers(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Plain* owner = TEngineObject::New<Plain>();
    std::vector<Counter*> subs;
    for (int i = 0; i < n; ++i) {
        subs.push_back(TEngineObject::New<Counter>());
        owner->AddSubscriber(subs.back());
    }
    for (auto _ : state) owner->NotifyAllSubscribers(5, 0);
    state.SetItemsProcessed(state.iterations() * n);
    owner->Free(); // tells every subscriber and drops the list
    for (Counter* s : subs) s->Free();
}
BENCHMARK(BM_NotifySubscribers)->Arg(1000);

} // namespace
