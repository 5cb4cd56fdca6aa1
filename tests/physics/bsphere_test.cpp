// Bounding spheres as render units: the container and its spheres, radii,
// iteration, attachments, copies and the fatal misuses.
#include "physics/bsphere.h"
#include "physics/cm_tree.h"
#include "platform/files.h"
#include "render/fx_descr.h"
#include "render/fx_templates.h"
#include "render/null_device_scope.h"
#include "render/render_object.h"
#include "render/vertex_buffers.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include "bsphere_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::ExpectVec;
using test::RowOfTriangles;
using test::SphereModel;
using test::TempDir;

// Sphere units live in a tree that is discarded and flushed at the end.
class BSphereUnits : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownManager_ = true;
        }
        spheresBefore_ = BSphereCount;
        owner = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        owner->SetName("ship");
    }
    void TearDown() override {
        owner->DiscardBRU();
        owner->Free();
        TEODestroyManager->Flush();
        EXPECT_EQ(BSphereCount, spheresBefore_);
        if (ownManager_) TEODestroyManager.reset();
        BSphereShowLowPoly = false;
    }
    BSpheresContainerClass* AddContainer() {
        auto* c = TBaseRenderUnit::Create<BSpheresContainerClass>(owner);
        owner->AddChild(c);
        return c;
    }
    TBaseRenderUnit* owner = nullptr;

private:
    bool ownManager_ = false;
    int spheresBefore_ = 0;
};

TEST_F(BSphereUnits, ContainerAndSpheresFromAModel) {
    ErrorTrap trap;
    TempDir dir;
    const std::string model = dir / "m.cm";
    ASSERT_TRUE(platform::WriteFile(
        model,
        SphereModel({{Vec3{0.25f, 0.25f, 0}, 0.5f}, {Vec3{5.5f, 0.25f, 0}, 1.0f}, {Vec3{100, 0, 0}, 1.0f}})));
    ASSERT_TRUE(platform::SetFileTime(model, 2000000));
    CMTreeClass tree;
    tree.LoadFromFile(model);
    GeomObjStruct* hull = nullptr;
    ASSERT_TRUE(tree.GetGeomobject("hull", hull));
    BSSectionMesh mesh;
    mesh.LoadFromModel(*hull);

    const int before = BSphereCount;
    BSpheresContainerClass* c = AddContainer();
    EXPECT_EQ(c->GetName(), "ship.BSC_" + IntToHex8(c->GetId()));
    c->LoadFromCM(tree, &mesh, false);
    EXPECT_EQ(BSphereCount, before + 4);

    const std::vector<BSphereClass*> spheres = c->ChildSpheres();
    ASSERT_EQ(spheres.size(), 3u);
    EXPECT_EQ(spheres[1]->GetName(), "bs_" + IntToHex8(spheres[1]->GetId()));
    EXPECT_EQ(spheres[1]->GetName2(), "s_mid");
    ExpectVec(spheres[1]->GetCenter(), {5.5f, 0.25f, 0}, "centre");
    std::shared_ptr<BSSectionMesh> section;
    ASSERT_TRUE(spheres[1]->GetMeshGeometry(section));
    EXPECT_EQ(section->VertexCount(), 3u);
    EXPECT_FALSE(spheres[2]->GetMeshGeometry(section)); // touches no triangle
    EXPECT_EQ(platform::FileTime(model + "2"), 2000000);

    // Every sphere finds its container; the container answers itself.
    BSpheresContainerClass* found = nullptr;
    EXPECT_TRUE(spheres[0]->GetContainer(found));
    EXPECT_EQ(found, c);
    EXPECT_TRUE(c->GetContainer(found));
    EXPECT_EQ(found, c);
    EXPECT_TRUE(trap.reports.empty());

    // A second load of the same model takes the sections from the cache.
    BSpheresContainerClass* again = AddContainer();
    again->LoadFromCM(tree, &mesh, false);
    ASSERT_TRUE(again->ChildSpheres()[1]->GetMeshGeometry(section));
    EXPECT_EQ(section->indices, (std::vector<uint32_t>{2, 1, 0}));
}

TEST_F(BSphereUnits, AUnitMakesItsContainerOnceAndAnswersThroughItsInterface) {
    EXPECT_EQ(owner->GetBoundingSphere(), nullptr);
    TBaseRenderUnit* made = owner->CreateBSpheres();
    auto* c = dynamic_cast<BSpheresContainerClass*>(made);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(owner->CreateBSpheres(), made); // one only
    EXPECT_EQ(owner->ChildCount(), 1);
    IBoundingSphere2* sphere = owner->GetBoundingSphere();
    ASSERT_EQ(sphere, static_cast<IBoundingSphere2*>(c));
    c->AddSphere({1, 0, 0}, 0.5f, false);
    int index = 0;
    IBoundingSphere2* child = nullptr;
    EXPECT_TRUE(sphere->NextChildSphere(index, child));
    EXPECT_FLOAT_EQ(child->GetLocalRadius(), 0.5f);

    // Set anew: the old tree is killed, the new one answers.
    auto* other = TBaseRenderUnit::Create<BSpheresContainerClass>(owner);
    owner->SetBSpheres(other);
    EXPECT_TRUE(c->HasFlag(BRU_KILLED));
    EXPECT_EQ(owner->GetBoundingSphere(), static_cast<IBoundingSphere2*>(other));
}

TEST_F(BSphereUnits, RadiiFollowTheWorldMatrix) {
    owner->SetBox({-2, -2, -2}, {2, 2, 2});
    owner->SetLocalMatrix(MatrixScaling(1, 3, 2));
    BSpheresContainerClass* c = AddContainer();
    BSphereClass* s = c->AddSphere({1, 0, 0}, 1.5f, false);
    EXPECT_FLOAT_EQ(s->GetRadius(), 1.5f);
    owner->UpdateMatrices(nullptr);
    // Half the box diagonal, then both times the largest column scale.
    EXPECT_NEAR(c->GetLocalRadius(), std::sqrt(48.0f) / 2, 1e-5);
    EXPECT_NEAR(c->GetRadius(), std::sqrt(48.0f) / 2 * 3, 1e-4);
    EXPECT_FLOAT_EQ(s->GetLocalRadius(), 1.5f);
    EXPECT_FLOAT_EQ(s->GetRadius(), 4.5f);
    ExpectVec(s->GetPositionV(), {1, 0, 0}, "world position");

    // A copy keeps the radii, the names and its own copy of the section.
    s->SetName2("s_gun");
    s->SetMeshGeometry(std::make_shared<BSSectionMesh>(RowOfTriangles()));
    BSphereClass* copy = s->CreateCopy(c);
    c->AddChild(copy);
    EXPECT_FLOAT_EQ(copy->GetRadius(), 4.5f);
    EXPECT_FLOAT_EQ(copy->GetLocalRadius(), 1.5f);
    EXPECT_EQ(copy->GetName2(), "s_gun");
    std::shared_ptr<BSSectionMesh> a, b;
    ASSERT_TRUE(s->GetMeshGeometry(a));
    ASSERT_TRUE(copy->GetMeshGeometry(b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a->indices, b->indices);
    BSphereClass* containerCopy = c->CreateCopy(owner);
    owner->AddChild(containerCopy);
    EXPECT_TRUE(containerCopy->IsClass<BSpheresContainerClass>());
}

TEST_F(BSphereUnits, ChildIterationAndAttachments) {
    BSpheresContainerClass* c = AddContainer();
    BSphereClass* a = c->AddSphere({}, 1, false);
    auto* nested = TBaseRenderUnit::Create<BSpheresContainerClass>(c);
    c->AddChild(nested);
    auto* plain = TBaseRenderUnit::Create<TBaseRenderUnit>(c);
    c->AddChild(plain);
    BSphereClass* b = c->AddSphere({}, 2, false);
    int index = 0;
    IBoundingSphere2* s = nullptr;
    ASSERT_TRUE(c->NextChildSphere(index, s));
    EXPECT_EQ(s, static_cast<IBoundingSphere2*>(a));
    ASSERT_TRUE(c->NextChildSphere(index, s));
    EXPECT_EQ(s, static_cast<IBoundingSphere2*>(b));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(c->NextChildSphere(index, s));

    a->AddAttached(b);
    a->AddAttached(c);
    a->ResetAttachedIndex(index);
    IEngineObject* o = nullptr;
    std::vector<IEngineObject*> seen;
    while (a->GetAttached(index, o)) seen.push_back(o);
    EXPECT_EQ(seen, (std::vector<IEngineObject*>{b, c}));
    EXPECT_FALSE(b->GetAttached(index = 0, o));
}

TEST_F(BSphereUnits, FatalMisuses) {
    ErrorTrap trap;
    auto* loose = TBaseRenderUnit::Create<BSphereClass>(owner);
    owner->AddChild(loose);
    loose->SetName("lost");
    BSpheresContainerClass* found = nullptr;
    EXPECT_THROW(loose->GetContainer(found), test::Halted);
    EXPECT_EQ(trap.lastFatal,
              "BSphereClass.GetContainer: par=nil; \xC1\xDB\xD2\xDC \xD2\xC0\xCA\xCE\xC3\xCE \xCD\xC5 "
              "\xCC\xCE\xC6\xC5\xD2!!!, lost");

    std::shared_ptr<BSSectionMesh> mesh;
    ASSERT_TRUE(loose->GetMeshGeometry(mesh));
    EXPECT_THROW(loose->SetMeshGeometry(mesh), test::Halted);
    EXPECT_EQ(trap.lastFatal, "BSphereClass.SetMeshGeometry: fMeshGeometry.GetSelf = _fMesh.GetSelf");
    loose->SetMeshGeometry(std::make_shared<BSSectionMesh>());

    // Without the low-poly switch a container lists nothing and a sphere may not be listed.
    BSpheresContainerClass* c = AddContainer();
    c->AddSphere({}, 1, false);
    const size_t reports = trap.reports.size();
    c->FillRenderList(0, kPassOpaque);
    EXPECT_EQ(trap.reports.size(), reports);
    EXPECT_THROW(loose->FillRenderList(0, kPassOpaque), test::Halted);
    EXPECT_EQ(trap.lastFatal, "BSphereClass.RenderInList: bShowLowpoly");

    auto* orphan = TBaseRenderUnit::Create<BSpheresContainerClass>(nullptr);
    EXPECT_EQ(orphan->GetName(), "NO_PARENT.BSC_" + IntToHex8(orphan->GetId()));
    orphan->DiscardBRU();
    orphan->Free();
}

// With the setup's sphere display on, every sphere with a section draws it in
// one colour; spheres without triangles draw nothing.
TEST_F(BSphereUnits, LowPolySectionsAreDrawnWhenTheDisplayIsOn) {
    ErrorTrap trap;
    test::NullDeviceScope scope;
    scope.Init();
    GetErrorHooks().releaseDisplay = nullptr;
    BuffersManager = std::make_unique<BuffersManagerClass>();
    TempDir dir;
    const std::string model = dir / "m.cm";
    ASSERT_TRUE(platform::WriteFile(
        model,
        SphereModel({{Vec3{0.25f, 0.25f, 0}, 0.5f}, {Vec3{5.5f, 0.25f, 0}, 1.0f}, {Vec3{100, 0, 0}, 1.0f}})));
    CMTreeClass tree;
    tree.LoadFromFile(model);
    GeomObjStruct* hull = nullptr;
    ASSERT_TRUE(tree.GetGeomobject("hull", hull));
    BSSectionMesh mesh;
    mesh.LoadFromModel(*hull);

    BSphereShowLowPoly = true;
    BSpheresContainerClass* c = AddContainer();
    c->LoadFromCM(tree, &mesh, false);
    const std::vector<BSphereClass*> spheres = c->ChildSpheres();
    ASSERT_EQ(spheres.size(), 3u);
    ASSERT_NE(spheres[1]->LowPoly(), nullptr);
    EXPECT_TRUE(spheres[1]->HasFlag(BRU_OPAQUE));
    EXPECT_EQ(spheres[1]->LowPoly()->GetMaterial(0)->GetD3DMaterial().Diffuse.g, 0.0f); // colour 0
    EXPECT_EQ(spheres[2]->LowPoly(), nullptr);                                          // no triangles
    EXPECT_FALSE(spheres[2]->HasFlag(BRU_OPAQUE));
    EXPECT_EQ(c->LowPoly(), nullptr); // the container has children: no section of its own

    // Drawing copies the section's current vertices in and draws them.
    std::shared_ptr<BSSectionMesh> section;
    spheres[1]->GetMeshGeometry(section);
    section->positions[0] = {9, 8, 7};
    scope.device()->ClearCalls();
    spheres[1]->DoRender();
    EXPECT_EQ(scope.device()->Find("DrawIndexedPrimitive").size(), 1u);
    void* data = nullptr;
    ASSERT_GE(spheres[1]->LowPoly()->LockVB(&data, 0, 1, 0), 0);
    EXPECT_EQ(static_cast<float*>(data)[0], 9.0f);
    spheres[1]->LowPoly()->UnlockVB();
    EXPECT_TRUE(trap.reports.empty());

    // A container without children shows its own section in green.
    BSpheresContainerClass* single = AddContainer();
    single->SetMeshGeometry(std::make_shared<BSSectionMesh>(RowOfTriangles()));
    single->BuildLowPoly(0x00FF00);
    ASSERT_NE(single->LowPoly(), nullptr);
    EXPECT_EQ(single->LowPoly()->GetMaterial(0)->GetD3DMaterial().Diffuse.g, 1.0f);
    // The drawn sections go before their buffers do.
    owner->DiscardBRU();
    TEODestroyManager->Flush();
    owner->Free();
    owner = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    BuffersManager.reset();
}

// The debug effect: the registered template, spawned under the sphere and
// told the sphere's radius, colour and factor.
FXDescrStruct SpawnedWith;
struct SphereFX : TBaseRenderUnit {
    void OnSpawn(const FXDescrStruct& d) override { SpawnedWith = d; }
};

TEST_F(BSphereUnits, TestEffectIsSpawnedFromItsTemplate) {
    ErrorTrap trap;
    BSpheresContainerClass* c = AddContainer();
    EXPECT_THROW(c->AddSphere({}, 2.0f, true), test::Halted);
    EXPECT_EQ(trap.lastFatal, "TBaseRenderUnit.FindFXTemplate: someone try spawn unregistered fx: "
                              "\"fx_testsphere\" (see \"data\\fx\\*.lua\")");
    trap.reports.clear();
    if (ClassManager.IndexOf("SphereFX") < 0) RegisterRenderUnitClass<SphereFX>();
    TBaseRenderUnit* templ = TBaseRenderUnit::Create<SphereFX>(nullptr);
    templ->SetName(kTestSphereFX);
    FXTemplates.Add(templ);
    BSphereClass* s = c->AddSphere({}, 2.0f, true);
    ASSERT_EQ(s->ChildCount(), 1);
    TBaseRenderUnit* fx = nullptr;
    ASSERT_TRUE(s->GetChildBRU(0, fx));
    EXPECT_EQ(fx->GetTemplate(), templ);
    EXPECT_EQ(SpawnedWith.SphereBRU, s);
    EXPECT_FLOAT_EQ(SpawnedWith.SphereRadius, 2.0f);
    EXPECT_EQ(SpawnedWith.SphereColor, 0xFFFFFFu); // the sphere has a section (empty as yet)
    EXPECT_FLOAT_EQ(SpawnedWith.SphereOpacity, 1.0f);
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;
    FreeFXTemplates();
}

} // namespace
} // namespace vesk
