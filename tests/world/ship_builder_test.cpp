// The ship builder and the ship render unit over real model files: each step
// of a build, what the flag masks switch, the stored main sphere, rings and
// ray guns, the fatal texts, and the level of detail a ship draws.
#include "physics/coll_detector.h"
#include "physics/unit_physic_ops.h"
#include "render/mesh_geometry.h"
#include "render/render_object.h"
#include "render/view_camera.h"
#include "ship_fixture.h"
#include "sound/sound_engine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

class ShipBuilderTest : public ShipWorldTest {
protected:
    // The children of a unit of one class.
    template <class T> std::vector<T*> ChildrenOf(TBaseRenderUnit* unit) {
        std::vector<T*> out;
        if (const auto* childs = unit->ChildsBRU())
            for (TBaseRenderUnit* c : *childs)
                if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
        return out;
    }
    // A camera at the origin looking along x.
    void LookAlongX() {
        camera = std::make_shared<BasicViewCamera>();
        camera->SetPose({0, 0, 0}, {1, 0, 0});
        engine->Viewports().SetViewportCamera(0, camera);
    }
    std::shared_ptr<BasicViewCamera> camera;
};

TEST_F(ShipBuilderTest, AFighterGetsEveryPartOfItsDescription) {
    ShipMeshDesc& d = DescribeFighter();
    d.cylinders = {{"test_ring", "", "Y", "ring_mount", 0.5f}};
    d.defect = "hit_flash";
    WriteModel("ring", RingModel());
    Lua("mesh.test_ring = { path = " + LuaQuote(dir.path() + "/models") + ", name = 'ring' }");
    ShipClass* ship = BuildShip("fighter", "hawk");
    EXPECT_EQ(ship->GetName(), "hawk");
    // The three levels of "base", coarsest first, are the ship's render objects.
    ASSERT_NE(ship->GetLOD(false), nullptr);
    EXPECT_EQ(ship->GetLOD(false)->Count(), 3);
    ASSERT_NE(ship->GetROList(), nullptr);
    EXPECT_EQ(ship->GetROList()->size(), 3u);
    TRenderObject* level0 = nullptr;
    ASSERT_TRUE(ship->GetLOD(false)->GetRO(0, level0));
    EXPECT_EQ(level0->GetName(), "base_lod_8");
    // Attach points, the model's spheres and the model it came from.
    HelperClass* h = nullptr;
    EXPECT_TRUE(ship->FindHelper("gun01", h));
    ASSERT_NE(ship->GetBSphereList(), nullptr);
    EXPECT_EQ(ship->GetBSphereList()->size(), 2u);
    std::string file;
    ASSERT_TRUE(ship->GameOps()->GetFileName(file));
    EXPECT_EQ(file, dir.path() + "/models/fighter.cm");
    // The main sphere: named, with the model's spheres under it; the copy kept
    // for the next ship of the mesh has half the base box's diagonal.
    BSpheresContainerClass* spheres = GetSphereTree(ship);
    ASSERT_NE(spheres, nullptr);
    EXPECT_EQ(spheres->GetName(), "main_sphere");
    EXPECT_EQ(spheres->ChildSpheres().size(), 2u);
    auto* stored = dynamic_cast<BSpheresContainerClass*>(meshes.containers["fighter"]);
    ASSERT_NE(stored, nullptr);
    EXPECT_NEAR(stored->GetLocalRadius(), 0.5f * std::sqrt(20.0f * 20 + 10 * 10 + 4 * 4), 1e-4f);
    // The collision mesh is the low-poly box.
    EXPECT_EQ(ship->GetPhysicOps()->GetMeshGeometry()->GetVertexCount(), 24u);
    // Nozzles: a jet and a lamp each, requested on.
    NozzlesController* nozzles = ship->GetNozzles(false);
    ASSERT_NE(nozzles, nullptr);
    ASSERT_EQ(nozzles->GetJetList().size(), 2u);
    EXPECT_EQ(nozzles->GetJetList()[0]->requestId, "nozzle010");
    EXPECT_TRUE(nozzles->GetJetList()[1]->enabled);
    EXPECT_EQ(nozzles->GetLampList().size(), 2u);
    // The model's light is a lamp too.
    EXPECT_NE(ship->FindBRUByName("navlight"), nullptr);
    // The shield: without a "shield" object, a box around the first render object.
    const Matrix& shield = ship->GameOps()->GetShield()->GetMatrix();
    EXPECT_FLOAT_EQ(shield.m[0][0], 18.0f);
    EXPECT_FLOAT_EQ(shield.m[1][1], 8.0f);
    EXPECT_FLOAT_EQ(shield.m[2][2], 4.0f);
    TBaseRenderUnit* templ = nullptr;
    EXPECT_FALSE(ship->GameOps()->GetShield()->GetEffectTemplate(templ));
    // The defect effect's template.
    ASSERT_TRUE(ship->GameOps()->GetDefectTemplate(templ));
    EXPECT_EQ(templ->GetName(), "hit_flash");
    // The ring turns about y at its frequency, placed at the mount object.
    std::vector<TCylinder*> rings = ChildrenOf<TCylinder>(ship);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0]->GetName(), "test_ring");
    EXPECT_EQ(rings[0]->GetRotator()->GetMode(), kRotateY);
    EXPECT_TRUE(rings[0]->HasFlag(0x20));
    EXPECT_FLOAT_EQ(rings[0]->GetBaseMatrix().m[3][0], 5.0f);
    EXPECT_EQ(rings[0]->Levels()->Count(), 2);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipBuilderTest, RingTypesTurnAboutTheirAxisOrNotAtAll) {
    WriteModel("ring", RingModel());
    Lua("mesh.test_ring = { path = " + LuaQuote(dir.path() + "/models") + ", name = 'ring' }");
    const struct {
        const char* type;
        uint16_t mode;
    } cases[] = {{"x", kRotateX}, {"Y", kRotateY}, {"z", kRotateZ}, {"w", 0}};
    for (const auto& c : cases) {
        ShipMeshDesc& d = DescribeFighter();
        d.nozzles.clear();
        d.cylinders = {{"test_ring", "", c.type, "ring_mount", 0.25f}};
        ShipClass* ship = BuildShip("fighter");
        std::vector<TCylinder*> rings = ChildrenOf<TCylinder>(ship);
        ASSERT_EQ(rings.size(), 1u) << c.type;
        RotatorClass* r = rings[0]->GetRotator();
        EXPECT_EQ(r->GetMode(), c.mode) << c.type;
        // Still placed at its mount.
        EXPECT_FLOAT_EQ(rings[0]->GetBaseMatrix().m[3][0], 5.0f) << c.type;
    }
}

TEST_F(ShipBuilderTest, TheSecondShipOfAMeshCopiesTheStoredMainSphere) {
    DescribeFighter();
    ShipClass* first = BuildShip("fighter", "first");
    ASSERT_EQ(meshes.containerWrites, 1);
    auto* stored = dynamic_cast<BSpheresContainerClass*>(meshes.containers["fighter"]);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, GetSphereTree(first));
    ShipClass* second = BuildShip("fighter", "second");
    EXPECT_EQ(meshes.containerWrites, 1); // not built again
    BSpheresContainerClass* copy = GetSphereTree(second);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, stored);
    EXPECT_EQ(copy->GetName(), "main_sphere");
    EXPECT_EQ(copy->ChildSpheres().size(), 2u);
    // One sphere tree per ship.
    EXPECT_EQ(ChildrenOf<BSpheresContainerClass>(second).size(), 1u);
}

TEST_F(ShipBuilderTest, RayGunsLoadTheirGunMeshWithoutTheDigits) {
    DescribeGuns();
    ShipMeshDesc& d = DescribeFighter();
    d.nozzles.clear();
    d.rays = {{"main", {"mesh:test_gun01"}}, {"spare", {"mesh:test_gun02"}}};
    ShipClass* ship = BuildShip("fighter");
    RayOpsClass* rays = ship->GameOps()->RaysLink();
    ASSERT_NE(rays, nullptr);
    EXPECT_EQ(rays->GroupCount(), 2);
    ASSERT_EQ(rays->GetGroup("main")->Rays().size(), 1u);
    auto* gun = dynamic_cast<CannonClass*>(rays->GetGroup("main")->Rays()[0]);
    ASSERT_NE(gun, nullptr);
    EXPECT_EQ(gun->GetName().rfind("mesh:test_gun01.CannonClass_", 0), 0u) << gun->GetName();
    // On a slot at the model object, with the gun mesh's sub-object and muzzles.
    auto* slot = dynamic_cast<TurretSlotClass*>(gun->Parent());
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->GetSlotName(), "mesh:test_gun01");
    EXPECT_FLOAT_EQ(slot->GetBaseMatrix().m[3][1], 4.0f);
    EXPECT_NE(gun->FindBRUByName("cannon"), nullptr);
    HelperClass* muzzle = nullptr;
    EXPECT_TRUE(gun->FindHelper("weapon", muzzle));
    // The game side switches a group through the unit's rays.
    rays->EnableRay("main", false);
    EXPECT_FALSE(gun->HasFlag(BRU_VISIBLE));
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipBuilderTest, HelperEffectsNeedSoundAndTheConfigurationsYes) {
    ShipMeshDesc& d = DescribeFighter();
    d.nozzles.clear();
    d.helperSounds = {"hit_flash"};
    auto countFlashes = [this](TBaseRenderUnit* ship) {
        int n = 0;
        ship->ForEachInTree(
            [&n](TBaseRenderUnit* u, void*) {
                if (u->GetTemplate() && u->GetTemplate()->GetName() == "hit_flash") ++n;
                return true;
            },
            nullptr);
        return n;
    };
    // Sound off: nothing.
    SoundEngine = std::make_shared<TSoundGag>();
    EXPECT_EQ(countFlashes(BuildShip("fighter", "silent")), 0);
    // Sound on: at the unit (the model has no helper of that name).
    SoundEngine = std::make_shared<TSoundEngine>(false);
    EXPECT_EQ(countFlashes(BuildShip("fighter", "loud")), 1);
    // A configuration that says no.
    auto config = ShipConfigClass::Create();
    config->SetSpawnFX(false);
    EXPECT_EQ(countFlashes(BuildShip("fighter", "quiet", std::move(config))), 0);
    SoundEngine.reset();
}

TEST_F(ShipBuilderTest, AModelWithoutLevelsLeavesThePassFlagsAlone) {
    ModelFile m("bare");
    m.AddObject("hull", Box({-1, -1, -1}, {1, 1, 1}, "hull"));
    m.AddObject("shield", Box({-1, -1, -1}, {1, 1, 1}, "hull"));
    WriteModel("bare", m);
    Describe("bare", "bare");
    auto* ship = TBaseRenderUnit::Create<ShipClass>(engine);
    engine->AddChild(ship);
    const uint64_t passFlags = ship->Flags() & (BRU_OPAQUE | BRU_BLENDED);
    ship->Build("bare", "bare", nullptr);
    TRenderObject* level0 = nullptr;
    EXPECT_FALSE(ship->GetLOD(true)->GetRO(0, level0));
    EXPECT_EQ(ship->Flags() & (BRU_OPAQUE | BRU_BLENDED), passFlags);
}

TEST_F(ShipBuilderTest, FaultsAreReportedInTheirOwnWords) {
    DescribeFighter();
    DescribeGuns();
    const struct {
        std::string text;
        std::function<void()> step;
    } cases[] = {
        {"IsFlagSet(BRUB_CREATE_BASE)and (IsFlagSet(BRUB_CREATE_LODS): both",
         [this] {
             auto* unit = Loose(TBaseRenderUnit::Create<ShipClass>(nullptr));
             BRUBuilderClass* b =
                 BRUBuilderClass::Create(unit, "fighter", "both", BRUB_CREATE_BASE | BRUB_CREATE_LODS);
             try {
                 b->Build();
             } catch (...) {
                 b->Free();
                 throw;
             }
             b->Free();
         }},
        {"ShipClass.CreateRays: invalid ray mesh name: test_gun01",
         [this] {
             meshes.meshes["fighter"].nozzles.clear();
             meshes.meshes["fighter"].rays = {{"main", {"test_gun01"}}};
             ModelFile m = FighterModel();
             m.AddObject("test_gun01", Box({0, 0, 0}, {1, 1, 1}, "hull"));
             WriteModel("fighter2", m);
             meshes.meshes["fighter"].name = "fighter2";
             BuildShip("fighter");
         }},
        {"GameOpsClass.AttachSlot2: pgeomobj=nil; there is not  slot \"mesh:none01\" in [ShipClass]\"ship\"",
         [this] {
             meshes.meshes["fighter"].name = "fighter";
             meshes.meshes["fighter"].rays = {{"main", {"mesh:none01"}}};
             BuildShip("fighter");
         }},
        {"CannonClass.LoadFromFile: mesh not found: nothing",
         [this] {
             Loose(TBaseRenderUnit::Create<CannonClass>(nullptr))->LoadFromFile("test_gun", "nothing");
         }},
        {"ShipClass.CreateNozzles: ship: GetHelper(nowhere,fxdesc.JetBRU)",
         [this] {
             meshes.meshes["fighter"].rays.clear();
             meshes.meshes["fighter"].nozzles = {{"nowhere", "test_jet", "", "", 1, 0, 0}};
             BuildShip("fighter");
         }},
        {"ShipClass.CreateNozzles: fxjet.ClassType<>FXJetClass",
         [this] {
             meshes.meshes["fighter"].nozzles = {{"nozzle01", "hit_flash", "", "", 1, 0, 0}};
             BuildShip("fighter");
         }},
        {"ShipClass.CreateCopy: NOT SUPPORTED",
         [this] {
             meshes.meshes["fighter"].nozzles.clear();
             BuildShip("fighter")->CreateCopy(engine);
         }},
        {"Undefined request (bruFX name=\"ship\", FXIndex=\"nozzle015\")",
         [this] {
             meshes.meshes["fighter"].nozzles = {{"nozzle01", "test_jet", "", "", 1, 0, 0}};
             BuildShip("fighter")->GetNozzles(false)->Request("nozzle015", true);
         }},
        {"ShipClass.GetEllipseMatrix: ROList.Count<1 [BASE]",
         [this] {
             GameOpsOf(Loose(TBaseRenderUnit::Create<ShipClass>(nullptr)))->GetShield()->Build(nullptr, "");
         }},
        {"BRUBuilderClass.Build: RE_GetEnvironmentSet(pEnvSet)",
         [this] {
             GetRenderWorldLinks().environmentSet = nullptr;
             BuildShip("fighter");
         }},
        {"BRUBuilderClass.Build: RE_GetEnvironment(envir)",
         [this] {
             GetRenderWorldLinks().environmentSet = [this]() -> const EnvironmentSet* { return &envSet; };
             envOn = false;
             BuildShip("fighter");
         }},
    };
    for (const auto& c : cases) EXPECT_EQ(FatalOf(c.step), c.text);
}

// A hit the scene's sweep tells a ship of is kept as it was found: the
// point, the normal (facing along the sweep) and the other unit, for what
// asks the ship where it was struck.
TEST_F(ShipBuilderTest, AShipKeepsTheHitItIsToldOfAsItWasFound) {
    DescribeFighter();
    ShipClass* ship = BuildShip("fighter", "a");
    ShipClass* other = BuildShip("fighter", "b");
    const Vec3 point{5, 0, 0};
    CollDataClass* hit = CollDataClass::Create(other, &point, {1, 0, 0}, {0, 0, 0}, {10, 0, 0});
    ship->KeepCollision(*hit);
    IBRUCollisionInfo* info = ship->GetCollisionInfo();
    ASSERT_NE(info, nullptr);
    Vec3 v;
    info->GetNormal(v);
    EXPECT_FLOAT_EQ(v.x, hit->normal.x);
    info->GetPoint(v);
    EXPECT_FLOAT_EQ(v.x, 5.0f);
    EXPECT_EQ(info->GetOtherUnit(), other);
    dynamic_cast<CollisionInformatorClass*>(info)->Free();
    hit->Free();
}

TEST_F(ShipBuilderTest, TheLevelOfDetailFollowsSizeOverDistance) {
    Describe("fighter", "fighter");
    WriteModel("fighter", FighterModel());
    LookAlongX();
    ShipClass* ship = BuildShip("fighter");
    const float r = ship->GetBSphereRadius();
    ASSERT_GT(r, 0.0f);
    // value = radius / (distance + 1) * 100: the first level whose number is above it, else the last.
    const struct {
        float distance;
        const char* level;
    } cases[] = {{0.001f, "base"}, {r * 100.0f / 20.0f - 1.0f, "base_lod_30"}, {r * 1000.0f, "base_lod_8"}};
    for (const auto& c : cases) {
        ship->SetPosition({c.distance, 0, 0});
        ship->UpdateMatrices(nullptr);
        ship->DoRender();
        EXPECT_NEAR(ship->LastLODValue(), r / (c.distance + 1.0f) * 100.0f, 1e-3f) << c.level;
        ASSERT_NE(ship->LastDrawnLevel(), nullptr) << c.level;
        EXPECT_EQ(ship->LastDrawnLevel()->GetName(), c.level);
    }
}

TEST_F(ShipBuilderTest, NozzleControllerAndShipCountFollowTheShipsLife) {
    const int32_t before = ShipCount;
    auto* ship = TBaseRenderUnit::Create<ShipClass>(engine);
    engine->AddChild(ship);
    EXPECT_EQ(ShipCount, before + 1);
    // The state is there only once something built nozzles; asking to build makes it.
    EXPECT_EQ(ship->GetNozzles(false), nullptr);
    NozzlesController* made = ship->GetNozzles(true);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(ship->GetNozzles(false), made);
    EXPECT_TRUE(ship->HasFlag(BRU_SHIP));
    ship->Kill();
    engine->CleanAndRemoveZeroElementsFromChildsBRUList();
    TEODestroyManager->Flush();
    EXPECT_EQ(ShipCount, before);
}

TEST_F(ShipBuilderTest, AShipBuiltAnewKeepsItsAttachPointsAndDropsTheOldParts) {
    DescribeFighter();
    WriteModel("ring", RingModel());
    ShipClass* ship = BuildShip("fighter");
    HelperClass* gun = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", gun));
    ModelFile other("other");
    other.AddObject("base", Box({-3, -3, -3}, {3, 3, 3}, "hull"));
    other.AddHelper("gun01", {1, 2, 3});
    WriteModel("other", other);
    Describe("other", "other");
    ASSERT_TRUE(ship->Rebuild("other"));
    HelperClass* moved = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", moved));
    EXPECT_EQ(moved, gun);
    Vec3 at = MatrixGetTranslation(moved->GetLocalMatrix());
    EXPECT_FLOAT_EQ(at.z, 3.0f);
    EXPECT_EQ(ship->GetROList()->size(), 1u);
    ASSERT_NE(ship->GetNozzles(false), nullptr);
    EXPECT_TRUE(ship->GetNozzles(false)->GetJetList().empty());
    EXPECT_EQ(ChildrenOf<BSpheresContainerClass>(ship).size(), 1u);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

} // namespace
} // namespace vesk::test
