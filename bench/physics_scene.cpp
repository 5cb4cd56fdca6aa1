// One 30 ms physics slice of the scene: every ship's AI unit steps toward its
// point, its unit takes the body's matrix, and every moving ship sweeps for
// collisions against the others and against a station with triangles. Run
// with 10, 25, 50 and 100 ships to see how the slice scales.
#include "../tests/physics/physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/coll_detector.h"
#include "physics/ph_scene.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace vesk;

// A unit with an AI unit and a sphere tree: one sphere whose section is a
// square wall of two triangles at x = wallX (model space).
TBaseRenderUnit* MakeShip(Vec3 at, int32_t cls, float half, float sphereRadius, float wallX) {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    unit->SetBox({-half, -half, -half}, {half, half, half});
    BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, test::MakeRecord(cls));
    Matrix m;
    MatrixSetTranslation(m, at);
    ai->SetPoseMatrix(m);
    auto* tree = TBaseRenderUnit::Create<BSpheresContainerClass>(unit);
    unit->AddChild(tree);
    BSphereClass* s = tree->AddSphere({0, 0, 0}, sphereRadius, false);
    auto mesh = std::make_shared<BSSectionMesh>();
    const float h = sphereRadius * 0.7f;
    mesh->positions = {{wallX, -h, -h}, {wallX, h, -h}, {wallX, h, h}, {wallX, -h, h}};
    mesh->indices = {0, 2, 1, 0, 3, 2};
    s->SetMeshGeometry(mesh);
    unit->UpdateMatrices(nullptr);
    return unit;
}

void BM_PhysicsSliceWithCollisions(benchmark::State& state) {
    const int ships = static_cast<int>(state.range(0));
    CreatePhysicsScene();
    CollDetectorClass::SetFrameTimeSource([] { return 30.0f; });
    std::vector<TBaseRenderUnit*> units;
    // The station: a big standing model ahead of the ships.
    units.push_back(MakeShip({3000, 0, 0}, SC_BIG, 400, 600, -500));
    for (int i = 0; i < ships; ++i) {
        // A 10 x 10 grid, 40 apart: a ship's sweep starts inside its
        // neighbours' outer spheres (radius 34.6) and meets their inner ones.
        const Vec3 at{float(i % 10) * 40.0f, float(i / 10) * 40.0f, 0.0f};
        units.push_back(MakeShip(at, SC_SMALL, 20, 40, 0));
    }
    for (TBaseRenderUnit* u : units) PhysicsScene->AddShip(u);
    for (size_t i = 1; i < units.size(); ++i) {
        IRenderUnitAI* rai = nullptr;
        units[i]->GetBPU(rai);
        auto* ai = static_cast<BaseAIUnitClass*>(rai);
        ai->GetNPCController()->DoMoveToPoint({3000, 30.0f * float(i % 7), 0}, nullptr, nullptr);
        ai->SetVelocity({50, 0, 0});
    }
    int64_t hits = 0;
    PhysicsScene->SetCollisionListener([&hits](TBaseRenderUnit*, CollDataClass&) { ++hits; });
    for (auto _ : state) {
        PhysicsScene->TickPhys(30.0f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * ships);
    state.counters["hits_per_slice"] = double(hits) / double(state.iterations());
    for (TBaseRenderUnit* u : units) {
        IRenderUnitAI* rai = nullptr;
        if (u->GetBPU(rai)) {
            u->SetBPU(nullptr);
            rai->FreeAI();
        }
        u->Free();
    }
    CollDetectorClass::SetFrameTimeSource({});
    FreePhysicsScene();
}
BENCHMARK(BM_PhysicsSliceWithCollisions)->Arg(10)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

} // namespace
