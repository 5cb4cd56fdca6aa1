// Memory and step time of the game's NPC physics units at 1,000, 10,000 and
// 100,000 units: the heap each unit takes when made and after a few steps of
// moving to a point (the forces they then hold), and the cost of one 30 ms
// step per unit.
#include "../tests/physics/physic_fixture.h"
#include "physics/npc_physic.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <vector>

namespace {

using namespace vesk;

// Bytes the heap has handed out, including blocks of their own mapping.
size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void BM_PhysicsUnits(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int32_t classes[] = {SC_SMALL, SC_BARGA, SC_MISSILE, SC_BIG};
    // The owners (the AI units' part) are made first: only the units are measured.
    std::vector<TShipPhysicParams> records;
    records.reserve(static_cast<size_t>(count));
    std::vector<std::unique_ptr<test::FakeOwner>> owners;
    for (int i = 0; i < count; ++i) {
        records.push_back(test::MakeRecord(classes[i % 4]));
        owners.push_back(std::make_unique<test::FakeOwner>());
        owners.back()->params = &records.back();
        owners.back()->vel->SetVector({10, 5, 0});
    }
    std::vector<TNPCPhysicComponent*> units;
    units.reserve(static_cast<size_t>(count));

    const size_t before = HeapInUse();
    for (int i = 0; i < count; ++i) {
        TNPCPhysicComponent* u = TNPCPhysicComponent::Create(owners[i].get(), &records[i], nullptr);
        owners[i]->bpu = u;
        u->GetMovePoint()->SetPosition({1000.0f + i, 500.0f - i, 100.0f});
        u->AddState(DOMOVETOPOINT);
        units.push_back(u);
    }
    const size_t made = HeapInUse();
    auto step = [&units] {
        for (TNPCPhysicComponent* u : units) {
            if (u->GetState() == 0) u->AddState(DOMOVETOPOINT); // keep every unit busy
            u->SetStepTime(0.03f);
            u->BasePhysicUnitClass::Tick(30.0f);
        }
    };
    for (int i = 0; i < 3; ++i) step();
    const size_t stepped = HeapInUse();

    for (auto _ : state) {
        step();
        benchmark::ClobberMemory();
    }
    state.counters["bytes_per_unit"] = static_cast<double>(made - before) / count;
    state.counters["bytes_per_unit_stepped"] = static_cast<double>(stepped - before) / count;
    state.counters["step_ns_per_unit"] =
        benchmark::Counter(static_cast<double>(count) * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    for (TNPCPhysicComponent* u : units) u->Free();
}
BENCHMARK(BM_PhysicsUnits)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
