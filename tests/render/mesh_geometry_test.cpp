// Collision and bounding geometry: collapsing, transforming once a frame,
// validity checks and the render object drawn from it.
#include <gtest/gtest.h>

#include "null_device_scope.h"
#include "render/engine.h"
#include "render/mesh_geometry.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include <cmath>
#include <cstring>

using namespace vesk;
using namespace vesk::test;

namespace {

class MeshGeometry : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto* g : made) g->Free();
    }
    MeshGeometryClass* Make(std::vector<Vec3> positions, std::vector<uint32_t> indices) {
        auto* g = TEngineObject::New<MeshGeometryClass>();
        made.push_back(g);
        g->SetName("shield");
        std::vector<Vec3> normals(positions.size(), Vec3{0, 0, 1});
        g->SetVertexData(positions.data(), normals.data(), static_cast<uint32_t>(positions.size()),
                         positions.data(), normals.data());
        g->SetIndices(std::move(indices));
        return g;
    }
    ErrorTrap trap;
    std::vector<MeshGeometryClass*> made;
};

TEST_F(MeshGeometry, CollapseMovesTheLastUsedVertexIntoTheFirstHole) {
    MeshGeometryClass* g = Make({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {0, 3, 3, 0xFFFFFFFFu});
    g->Collapse();
    const std::vector<Vec3>*p, *n;
    const std::vector<uint32_t>* idx;
    g->GetSource(p, n, idx);
    EXPECT_EQ(g->GetVertexCount(), 2u);
    EXPECT_EQ(*idx, (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ((*p)[1].x, 3.0f);

    MeshGeometryClass* unused = Make({{0, 0, 0}}, {});
    EXPECT_THROW(unused->Collapse(), Halted);
    EXPECT_EQ(trap.lastFatal,
              "MeshGeometryClass.Collapse: not FindUsableIndex(pVerticesUse, verticesCount, vUsableIndex)");
}

TEST_F(MeshGeometry, TransformRunsOnceAFrame) {
    MeshGeometryClass* g = Make({{1, 0, 0}, {0, 2, 0}}, {0, 1, 1});
    RenderFrameCounter.Reset();
    g->Transform(MatrixTranslation(10, 0, 0));
    g->Transform(MatrixTranslation(50, 0, 0)); // the same frame: kept
    const std::vector<Vec3>*p, *n;
    const std::vector<uint32_t>* idx;
    g->GetTransformed(p, n, idx);
    EXPECT_EQ((*p)[0].x, 11.0f);
    RenderFrameCounter.NextFrame();
    g->Transform(MatrixScaling(2, 1, 1));
    g->GetTransformed(p, n, idx);
    EXPECT_EQ((*p)[0].x, 2.0f);
    EXPECT_NEAR((*n)[0].z, 1.0f, 1e-6f); // normals stay unit length
    EXPECT_FLOAT_EQ(g->GetRadius(), 2.0f);
    RenderFrameCounter.Reset();
}

TEST_F(MeshGeometry, ChecksReportTheirTexts) {
    MeshGeometryClass* g = Make({{1, 0, 0}}, {0, 1});
    EXPECT_THROW(g->CheckForValid("load"), Halted);
    EXPECT_EQ(trap.lastFatal, "MeshGeometryClass.CheckForValid: : pindices[i]>=verticesCount, load");
    EXPECT_THROW(g->SetVertexData(nullptr, nullptr, 0, nullptr, nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "MeshGeometryClass.SetVertexData: invalid data, shield");

    MeshGeometryClass* copy = Make({{1, 0, 0}}, {0})->Copy();
    made.push_back(copy);
    EXPECT_EQ(copy->GetName(), "_copy_shield");
    EXPECT_EQ(copy->GetVertexCount(), 1u);
    copy->CheckForValid("copy");
}

TEST_F(MeshGeometry, BuildROWritesPositionsNormalsAndIndices) {
    NullDeviceScope scope;
    scope.Init();
    GetErrorHooks().releaseDisplay = nullptr;
    BuffersManager = std::make_unique<BuffersManagerClass>();
    MeshGeometryClass* g = Make({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 0}}, {0, 1, 2, 2, 1, 3, 0});
    auto* ro = TEngineObject::New<TRenderObject>();
    auto* factory = TEngineObject::New<ROMeshGeometyFactory>();
    factory->SetMeshGeometry(g);
    factory->BuildRO(*ro);
    ASSERT_EQ(ro->GetVB()->GetFVF(), FVF_PosNormal);
    void* data = nullptr;
    ASSERT_GE(ro->LockVB(&data, 0, 4, 0), 0);
    const float want[12] = {1, 2, 3, 0, 0, 1, 4, 5, 6, 0, 0, 1};
    EXPECT_EQ(std::memcmp(data, want, sizeof want), 0);
    ro->UnlockVB();
    ROMaterialClass* m = ro->GetMaterial(0);
    EXPECT_EQ(m->GetPrimCount(), 2u); // 7 / 3
    EXPECT_EQ(m->GetTechnique(), 10);
    EXPECT_EQ(m->GetIB()->GetCount(), 7u);
    EXPECT_FLOAT_EQ(m->GetD3DMaterial().Diffuse.r, 1.0f); // red without an owner
    factory->Free();
    ro->Free();
    BuffersManager.reset();
}

} // namespace
