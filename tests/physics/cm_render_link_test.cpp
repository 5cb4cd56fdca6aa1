// Model trees building real render objects through the render engine's builder.
#include "physics/cm_render_link.h"
#include "physics/cm_writer.h"
#include "render/null_device_scope.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vesk {
namespace {

class CMRenderLink : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        GetErrorHooks().releaseDisplay = nullptr;
        BuffersManager = std::make_unique<BuffersManagerClass>();
        InstallCMRenderObjectBuilder();
    }
    void TearDown() override {
        tree.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        BuffersManager.reset();
    }
    test::ErrorTrap trap;
    test::NullDeviceScope scope;
    std::unique_ptr<CMTreeClass> tree = std::make_unique<CMTreeClass>();
};

TEST_F(CMRenderLink, CreateROBuildsTheObjectsVerticesOnce) {
    CMSceneClass scene;
    CMGeomObjClass* o = scene.NewGeomObj();
    o->SetNames("hull", "", "");
    o->SetVertices(2);
    o->SetVertex(0, {1, 2, 3}, {0, 0, 1}, 0.5f, 0.25f);
    o->SetVertex(1, {4, 5, 6}, {0, 1, 0}, 1.0f, 0.75f);
    o->vectors[1] = {-1, -1, -1};
    o->vectors[2] = {2, 2, 2};
    tree->Parse(scene.ToBytes(), "ship.cm");

    TRenderObject* ro = tree->CreateRO("hull", false, 0);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(tree->CreateRO("HULL", false, 0x1), ro);
    EXPECT_EQ(ro->GetName(), "hull");
    EXPECT_EQ(ro->VertexTotal(), 2u);
    EXPECT_EQ(ro->ByteTotal(), 64u);
    ASSERT_NE(ro->GetVB(), nullptr);
    EXPECT_EQ(ro->GetVB()->GetFVF(), FVF_PosNormalTex);
    void* data = nullptr;
    ASSERT_GE(ro->LockVB(&data, 0, 2, 0), 0);
    const float want[16] = {1, 2, 3, 0, 0, 1, 0.5f, -0.25f, 4, 5, 6, 0, 1, 0, 1.0f, -0.75f};
    EXPECT_EQ(std::memcmp(data, want, sizeof want), 0);
    ro->UnlockVB();
    Vec3 a, b;
    ro->GetBox(a, b);
    EXPECT_EQ(b.x, 2.0f);
    // The tree's end frees the render object and gives its chunk back.
    auto* manager = BuffersManager->VertexManagers().front().get();
    tree.reset();
    for (const auto* c : manager->Chunks()) EXPECT_TRUE(c->IsFree());
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk
