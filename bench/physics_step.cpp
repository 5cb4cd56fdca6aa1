// One 30 ms physics step of 1,000 units, per unit: moving to points, braking
// and coasting, in the classes that steer and integrate.
#include "../tests/physics/physic_fixture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace vesk;

void BM_StepThousandUnits(benchmark::State& state) {
    constexpr int kUnits = 1000;
    const int32_t classes[] = {SC_SMALL, SC_BARGA, SC_MISSILE, SC_BIG};
    std::vector<std::unique_ptr<test::Rig>> rigs;
    for (int i = 0; i < kUnits; ++i) {
        auto rig = std::make_unique<test::Rig>(classes[i % 4]);
        rig->unit->GetMovePoint()->SetPosition({1000.0f + i, 500.0f - i, 100.0f});
        rig->unit->AddState(i % 3 == 0 ? D0STOP : DOMOVETOPOINT);
        rig->owner.vel->SetVector({10, 5, 0});
        rigs.push_back(std::move(rig));
    }
    for (auto _ : state) {
        for (auto& r : rigs) {
            if (r->unit->GetState() == 0) r->unit->AddState(DOMOVETOPOINT); // keep every unit busy
            r->Step(30.0f);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kUnits);
}
BENCHMARK(BM_StepThousandUnits)->Unit(benchmark::kMicrosecond);

} // namespace
