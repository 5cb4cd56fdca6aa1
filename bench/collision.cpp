// 100 moving units swept against the sphere trees of 100 ships, and the
// player's box component against the same 100 ships. The index of spheres by
// place at 50 to 800 ships: filing them, and what a short path costs to ask.
#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"
#include "physics/coll_detector.h"
#include "physics/obb_collision.h"
#include "physics/path_hits.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace vesk {
namespace {

struct Sphere : IBoundingSphere2 {
    Vec3 pos;
    float radius = 1;
    std::vector<IBoundingSphere2*> children;
    std::shared_ptr<BSSectionMesh> mesh = std::make_shared<BSSectionMesh>();
    float GetRadius() const override { return radius; }
    Vec3 GetPositionV() const override { return pos; }
    Vec3 GetCenter() const override { return pos; }
    float GetLocalRadius() const override { return radius; }
    void ResetChildIterator(int& i) const override { i = 0; }
    bool NextChildSphere(int& i, IBoundingSphere2*& out) override {
        if (i >= static_cast<int>(children.size())) return false;
        out = children[i++];
        return true;
    }
    bool GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const override {
        out = mesh;
        return true;
    }
    void SetMeshGeometry(std::shared_ptr<BSSectionMesh>) override {}
    void ReleaseMeshGeometry() override {}
    void KillSphere() override {}
};

struct Ship : ICollisionBRU {
    Vec3 centre;
    std::vector<Vec3> positions;
    std::vector<uint32_t> indices;
    void GetBSphere(Vec3& c, float& r) override { c = centre, r = 30; }
    bool GetBSphereList(std::vector<std::pair<Vec3, float>>& out) override {
        out = {{centre, 30}};
        return true;
    }
    void GetMeshTriangles(std::span<const Vec3>& p, std::span<const uint32_t>& i) override {
        p = positions, i = indices;
    }
};

struct Owner : IOwnerBRU, IOwnerBBInfo {
    void GetBBInfo(Matrix& m, Vec3& s) override { m = Matrix{}, s = {20, 10, 5}; }
    IOwnerBBInfo* GetBBInterface() override { return this; }
    const void* GetBRU() override { return this; }
};

void BM_SweepHundredUnitsAgainstHundredShips(benchmark::State& state) {
    std::vector<Sphere> roots(100), kids(400);
    for (int i = 0; i < 100; ++i) {
        roots[i].pos = {static_cast<float>(i % 10) * 100, static_cast<float>(i / 10) * 100, 0};
        roots[i].radius = 40;
        for (int k = 0; k < 4; ++k) {
            Sphere& c = kids[i * 4 + k];
            c.pos = Vec3Add(roots[i].pos, {static_cast<float>(k) * 10 - 15, 0, 0});
            c.radius = 10;
            roots[i].children.push_back(&c);
        }
    }
    for (auto _ : state) {
        int hits = 0;
        for (int u = 0; u < 100; ++u) {
            const Vec3 a{static_cast<float>(u) * 9.0f, static_cast<float>(u % 10) * 100, 0};
            const Vec3 b = Vec3Add(a, {30, 0, 0});
            for (Sphere& r : roots) {
                SphereTreeHit hit;
                hits += IsRayIntersectObject(&r, a, b, hit);
            }
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * 100 * 100);
}
BENCHMARK(BM_SweepHundredUnitsAgainstHundredShips);

void BM_BoxComponentAgainstHundredShips(benchmark::State& state) {
    std::vector<Ship> ships(100);
    for (int i = 0; i < 100; ++i) {
        ships[i].centre = {static_cast<float>(i % 10) * 15, static_cast<float>(i / 10) * 15, 0};
        for (int t = 0; t < 50; ++t) {
            const Vec3 o = Vec3Add(ships[i].centre, {static_cast<float>(t % 5) * 4 - 10, 0, 0});
            for (Vec3 v : {o, Vec3Add(o, {3, 0, 0}), Vec3Add(o, {0, 3, 1})}) {
                ships[i].indices.push_back(static_cast<uint32_t>(ships[i].positions.size()));
                ships[i].positions.push_back(v);
            }
        }
    }
    SetShipCollisionListHook([&] {
        std::vector<ShipCollisionEntry> list;
        for (Ship& s : ships) list.push_back({&s, &s});
        return list;
    });
    Owner owner;
    TCollisionComponet component(&owner);
    for (auto _ : state) {
        component.Update();
        benchmark::DoNotOptimize(component.HasContact());
    }
    SetShipCollisionListHook(nullptr);
}
BENCHMARK(BM_BoxComponentAgainstHundredShips);

// Ships of fighter size in two lines 1600 apart, 120 between neighbours, with a
// station among them: the demo battle's layout at any number of ships.
void FillBattleLines(SphereIndex& index, int ships) {
    index.Clear();
    index.Add({3800, 0, 0}, 900);
    for (int i = 1; i < ships; ++i)
        index.Add({3000.0f + static_cast<float>(i % 2) * 1600.0f,
                   static_cast<float>(i / 2 - ships / 4) * 120.0f, static_cast<float>(i % 7) * 10.0f},
                  25.0f + static_cast<float>(i % 5) * 5.0f);
    index.Build();
}

void BM_PathIndexFiling(benchmark::State& state) {
    const int ships = static_cast<int>(state.range(0));
    SphereIndex index;
    for (auto _ : state) FillBattleLines(index, ships);
    state.SetItemsProcessed(state.iterations() * ships);
}
BENCHMARK(BM_PathIndexFiling)->Arg(50)->Arg(200)->Arg(800);

// Each ship's sweep of one slice (20 units ahead) asks the index once.
void BM_PathIndexSweepOfEachShip(benchmark::State& state) {
    const int ships = static_cast<int>(state.range(0));
    SphereIndex index;
    FillBattleLines(index, ships);
    size_t found = 0;
    for (auto _ : state)
        for (int i = 1; i < ships; ++i) {
            const Vec3 from{3000.0f + static_cast<float>(i % 2) * 1600.0f,
                            static_cast<float>(i / 2 - ships / 4) * 120.0f, 0};
            found += index.Meeting(from, Vec3Add(from, {i % 2 ? -20.0f : 20.0f, 0, 0})).size();
        }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * (ships - 1));
}
BENCHMARK(BM_PathIndexSweepOfEachShip)->Arg(50)->Arg(200)->Arg(800);

} // namespace
} // namespace vesk
