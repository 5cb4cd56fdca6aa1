// Effects that show a model or a lamp: spheres, glows, mesh and directed-mesh
// effects and the portal, from templates over test model trees, through their
// lives in fixed steps.
#include "fx_fixture.h"
#include "fx_stand_ins.h"
#include "render/fake_model_tree.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/material.h"
#include "render/render_script.h"
#include "render/sprite_renderer.h"
#include "render/world_links.h"
#include "world/fx_model_part.h"
#include "world/fx_particle.h"
#include "world/fx_portal.h"
#include "world/fx_shapes.h"
#include "world/fx_spawn.h"
#include "world/locations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace vesk::test {
namespace {

// A brightness for a glow to follow.
class Brightness : public TEngineObject, public IFXIntensity {
public:
    float GetCurrentIntensity() const override { return value; }
    float value = 0.25f;
};

class FxModelsTest : public FxTest {
protected:
    void SetUp() override {
        InstallRenderScriptFunctions();
        FxTest::SetUp();
        models.Add("ball.cm").AddObject("base");
        FakeModelTree& wave = models.Add("wave.cm");
        wave.AddObject("ring");
        wave.AddObject("core");
        // The gate: its opening runs 60 frames (2 s) in 13 keys, facing +x.
        FakeModelTree& gate = models.Add("gate.cm");
        gate.AddObject("frame");
        gate.AddObject("field");
        gate.AddTrack("frame", 13, 60);
        gate.AddTrack("field", 13, 60);
        gate.helpers = {{"point01", {0, 0, 0}, {}, 0}, {"point02", {10, 0, 0}, {}, 0}};
        Lua("mesh = { ball = { path = '', name = 'ball' }, wave = { path = '', name = 'wave' },"
            " gate = { path = '', name = 'gate' } }");
    }
    void TearDown() override {
        FreeFXTemplates();
        TEODestroyManager->Flush();
        models.Clear();
        FxTest::TearDown();
    }
    std::vector<FXModelPartClass*> Parts(TBaseRenderUnit* u) {
        std::vector<FXModelPartClass*> out;
        if (u->ChildsBRU())
            for (TBaseRenderUnit* c : *u->ChildsBRU())
                if (auto* p = dynamic_cast<FXModelPartClass*>(c)) out.push_back(p);
        return out;
    }
    FakeModelTrees models;
};

// ---- spheres -----------------------------------------------------------------------------------------

TEST_F(FxModelsTest, ASphereTakesItsColourOpacityAndRadiusFromItsSpawn) {
    LoadFx("ball = { id = 'ball', type = 'sphere', mesh = 'ball', r = '3', color = '00FF00', opacity = "
           "'0.75' }");
    auto* t = dynamic_cast<FXSphereClass*>(Template("ball"));
    EXPECT_FLOAT_EQ(t->GetRadius(), 3.0f);
    EXPECT_EQ(t->GetColor(), 0x00FF00u);
    EXPECT_FLOAT_EQ(t->GetOpacity(), 0.75f);
    RecUnit* holder = Unit(env, "holder");
    holder->SetPosition({5, 0, 0});
    FXDescrStruct desc{};
    desc.SphereRadius = 12.0f;
    desc.SphereColor = 0xFF0000;
    desc.SphereOpacity = 0.25f;
    auto* sphere = Spawn<FXSphereClass>("ball", holder, &desc);
    ASSERT_NE(sphere, nullptr);
    // A red sphere at a quarter opacity, scaled by its radius, where its holder is.
    sphere->SetPosition({100, 100, 100});
    engine->UpdateMatrices(nullptr);
    const Matrix& m = sphere->GetWorldMatrix();
    EXPECT_FLOAT_EQ(m.m[0][0], 12.0f);
    EXPECT_FLOAT_EQ(m.m[2][2], 12.0f);
    EXPECT_FLOAT_EQ(m.m[3][0], 5.0f);
    Frame();
    auto* ro = dynamic_cast<TRenderObject*>(sphere->GetROList()->front().get());
    const platform::D3DMATERIAL9 mat = ro->GetMaterial(0)->GetD3DMaterial();
    EXPECT_FLOAT_EQ(mat.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(mat.Diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(mat.Diffuse.a, 0.25f);
    // Spheres are not counted out of the live effects when they are templates.
    EXPECT_GE(FXBaseClass::LiveCountOf("FXSphereClass"), 2);
}

TEST_F(FxModelsTest, ASphereNeedsExactlyOneRenderObjectAndNumbersForItsKeys) {
    struct Case {
        std::string entry, text;
    };
    const std::vector<Case> cases = {
        {"ball = { id = 'ball', type = 'sphere' }", "FXSphereClass.UpdateBaseParams: ROList.Count<>1"},
        {"ball = { id = 'ball', type = 'sphere', mesh = 'ball', r = 'big' }",
         "Exception kws2f: _str=big: FXSphereClass.CreateFromLua: r: big for ball"},
        {"ball = { id = 'ball', type = 'sphere', mesh = 'ball', opacity = 'half' }",
         "Exception kws2f: _str=half: FXSphereClass.CreateFromLua: opacity: half for ball"},
    };
    for (const Case& c : cases) {
        FreeFXTemplates();
        Lua("fx = {" + c.entry + "} fxOrder = nil");
        EXPECT_THROW(LoadFXTemplates(), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
    // A second render object ends the program when the sphere is next set up.
    FreeFXTemplates();
    LoadFx("ball = { id = 'ball', type = 'sphere', mesh = 'ball' }");
    auto* sphere = dynamic_cast<FXSphereClass*>(Template("ball"));
    sphere->AddRO(sphere->GetROList()->front());
    EXPECT_THROW(sphere->UpdateBaseParams(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXSphereClass.UpdateBaseParams: ROList.Count<>1");
}

// ---- glows ------------------------------------------------------------------------------------------

TEST_F(FxModelsTest, AGlowFollowsItsUnitWithItsLampAndItsSourcesBrightness) {
    LoadFx("fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' },"
           " flare = { id = 'flare', type = 'glow', size = '7', color = 'FF8000', texture = 'flare.tga' }");
    auto* t = dynamic_cast<FXGlowClass*>(Template("flare"));
    ASSERT_NE(t->GetLamp(), nullptr);
    EXPECT_EQ(t->GetLamp()->GetName(), "glowlamp");
    EXPECT_FLOAT_EQ(t->GetLamp()->GetBaseSize(), 7.0f);
    EXPECT_EQ(t->GetLamp()->GetColor(), 0xFF8000u);

    RecUnit* ship = Unit(env, "ship");
    ship->AddHelper("nose", {4, 0, 0});
    engine->UpdateMatrices(nullptr);
    auto* source = TEngineObject::New<Brightness>();
    FXDescrStruct desc{};
    desc.GlowTargetBRU = ship;
    desc.GlowHelper = "nose";
    desc.GlowObject = source;
    auto* glow = Spawn<FXGlowClass>("flare", engine, &desc);
    ASSERT_NE(glow, nullptr);
    // Its own lamp, not the template's.
    ASSERT_NE(glow->GetLamp(), nullptr);
    EXPECT_NE(glow->GetLamp(), t->GetLamp());
    ship->SetPosition({0, 30, 0});
    engine->UpdateMatrices(nullptr);
    Step(100.0f);
    Vec3 at;
    glow->GetLamp()->GetPosition(at);
    EXPECT_FLOAT_EQ(at.x, 4.0f);
    EXPECT_FLOAT_EQ(at.y, 30.0f);
    EXPECT_FLOAT_EQ(glow->GetLamp()->GetIntensity(), 0.25f);
    source->value = 0.75f;
    Step(100.0f);
    EXPECT_FLOAT_EQ(glow->GetLamp()->GetIntensity(), 0.75f);
    // The source going leaves the lamp as it was; the unit going ends the glow.
    source->Free();
    Step(100.0f);
    EXPECT_EQ(glow->IntensitySource(), nullptr);
    const int32_t id = glow->GetId();
    ship->Kill();
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

TEST_F(FxModelsTest, InEffectsOffModeAGlowFollowsNothing) {
    LoadFx("fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' }, flare = { id = 'flare', type = "
           "'glow' }");
    SetSwitch("vis.effectsoff", 1);
    RecUnit* ship = Unit(env, "ship");
    FXDescrStruct desc{};
    desc.GlowTargetBRU = ship;
    auto* glow = Spawn<FXGlowClass>("flare", engine, &desc);
    EXPECT_EQ(glow->GetPositionLink(), nullptr);
}

// ---- particles of a model -------------------------------------------------------------------------------

// A particle of a template with a "mesh" shows one piece of that model where it
// flies, drawn as a model rather than handed to a sprite renderer; a mesh entry
// without a model leaves a sprite.
TEST_F(FxModelsTest, AMeshParticleFliesAPieceOfItsModel) {
    LoadFx("debris = { id = 'debris', type = 'particle', mesh = 'wave' }, "
           "dust = { id = 'dust', type = 'particle', mesh = 'nothing' }");
    auto* t = dynamic_cast<FXParticleClass*>(Template("debris"));
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(t->ShowsMeshPiece());
    ASSERT_EQ(Parts(t).size(), 1u);
    const std::string piece = Parts(t)[0]->GetName();
    EXPECT_TRUE(piece == "ring" || piece == "core") << piece;
    EXPECT_TRUE(t->HasFlag(BRU_OPAQUE));
    EXPECT_FALSE(t->HasFlag(BRU_BLENDED));

    auto* p = Spawn<FXParticleClass>("debris", engine, nullptr);
    ASSERT_NE(p, nullptr);
    p->SetPosition({50, 0, 0});
    p->SetVelocity({10, 0, 0});
    p->SetLifeTime(1.0f);
    Step(100.0f);
    ASSERT_EQ(Parts(p).size(), 1u);
    EXPECT_NE(Parts(p)[0]->GetName().find(piece), std::string::npos); // a copy of the same piece
    Vec3 at;
    Parts(p)[0]->GetPosition(at);
    EXPECT_NEAR(at.x, 51.0f, 1e-4f);
    Frame();
    EXPECT_TRUE(engine->GetRenderOps()->DistanceRenderer()->LastRuns().empty());

    auto* dust = dynamic_cast<FXParticleClass*>(Template("dust"));
    ASSERT_NE(dust, nullptr);
    EXPECT_FALSE(dust->ShowsMeshPiece());
    EXPECT_TRUE(dust->HasFlag(BRU_BLENDED));
    EXPECT_TRUE(trapAll.reports.empty());
}

// ---- mesh effects ---------------------------------------------------------------------------------------

TEST_F(FxModelsTest, AMeshEffectShowsItsModelAtAHelperForItsLifetime) {
    LoadFx("wave = { id = 'wave', type = 'mesh', LifeTime = '2', meshname = 'wave' }");
    auto* t = dynamic_cast<FXMeshClass*>(Template("wave"));
    EXPECT_EQ(Parts(t).size(), 2u);
    RecUnit* ship = Unit(env, "ship");
    ship->AddHelper("tail", {-6, 0, 0});
    Matrix turned = MatrixRotationZ(kPi / 2);
    MatrixSetTranslation(turned, {50, 0, 0});
    ship->SetLocalMatrix(turned);
    engine->UpdateMatrices(nullptr);
    FXDescrStruct desc{};
    desc.MeshTargetBRU = ship;
    desc.MeshHelper = "tail";
    auto* wave = Spawn<FXMeshClass>("wave", engine, &desc);
    ASSERT_NE(wave, nullptr);
    ASSERT_EQ(Parts(wave).size(), 2u);
    // Under the root it takes the helper's whole matrix: its place and its turn.
    const Matrix& m = wave->GetWorldMatrix();
    EXPECT_NEAR(m.m[3][0], 50.0f, 1e-4f);
    EXPECT_NEAR(m.m[3][1], -6.0f, 1e-4f);
    EXPECT_NEAR(m.m[0][1], 1.0f, 1e-5f);
    // Two seconds of unpaused play, then it is gone.
    GetRenderWorldLinks().desktopPaused = [] { return true; };
    Step(1000.0f);
    GetRenderWorldLinks().desktopPaused = nullptr;
    EXPECT_FLOAT_EQ(wave->GetRemaining(), 2.0f);
    const int32_t id = wave->GetId();
    for (int i = 0; i < 19; ++i) Step(100.0f);
    ASSERT_NE(FindEngineObjectById(id), nullptr);
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);

    // One whose unit goes, goes too.
    auto* second = Spawn<FXMeshClass>("wave", engine, &desc);
    const int32_t secondId = second->GetId();
    ship->Kill();
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(secondId), nullptr);
}

TEST_F(FxModelsTest, ADirectedMeshPointsAtItsDestinationUnlessItComesTurned) {
    LoadFx("beam = { id = 'beam', type = 'directed_mesh', LifeTime = '5', meshname = 'wave' }");
    RecUnit* gun = Unit(env, "gun");
    RecUnit* target = Unit(env, "target");
    gun->SetPosition({0, 0, 0});
    target->SetPosition({0, 0, 40});
    engine->UpdateMatrices(nullptr);
    FXDescrStruct desc{};
    desc.MeshTargetBRU = gun;
    desc.MeshDestBRU = target;
    auto* beam = Spawn<FXDirectedMeshClass>("beam", engine, &desc);
    ASSERT_NE(beam, nullptr);
    EXPECT_FALSE(beam->IsTurned());
    EXPECT_NEAR(beam->GetWorldMatrix().m[0][2], 1.0f, 1e-5f);
    // It keeps pointing at a destination that moves.
    target->SetPosition({40, 0, 0});
    engine->UpdateMatrices(nullptr);
    Step(100.0f);
    EXPECT_NEAR(beam->GetWorldMatrix().m[0][0], 1.0f, 1e-5f);
    // Spawned turned, it keeps the turn of its unit.
    desc.MeshDirected = true;
    auto* still = Spawn<FXDirectedMeshClass>("beam", engine, &desc);
    EXPECT_TRUE(still->IsTurned());
    EXPECT_NEAR(still->GetWorldMatrix().m[0][0], 1.0f, 1e-5f);
    EXPECT_NEAR(still->GetWorldMatrix().m[0][2], 0.0f, 1e-5f);
}

// The scripts' spawn goes by the template's own class, not by what it derives
// from: a directed mesh is a kind of mesh but is spawned with its destination;
// a sphere on a location hangs under a debug helper of the engine root, one
// on the planet system (a kind of location) stays where it was spawned.
TEST_F(FxModelsTest, ScriptSpawnGoesByTheTemplatesOwnClass) {
    LoadFx("beam = { id = 'beam', type = 'directed_mesh', LifeTime = '5', meshname = 'wave' },"
           " ball = { id = 'ball', type = 'sphere', mesh = 'ball' }");
    RecUnit* gun = Unit(env, "gun");
    RecUnit* target = Unit(env, "target");
    target->SetPosition({0, 0, 40});
    engine->UpdateMatrices(nullptr);
    auto* beam = dynamic_cast<FXDirectedMeshClass*>(
        FXSpawn({"", Template("beam")->GetHex(), gun->GetHex(), "", target->GetHex()}));
    ASSERT_NE(beam, nullptr);
    EXPECT_NE(beam->Destination(), nullptr);

    auto* location = AddPart<WELocationClass>(env, "loc", {10, 0, 0});
    auto* system = AddPart<WEPlanetSystemClass>(env, "sys", {20, 0, 0});
    engine->UpdateMatrices(nullptr);
    const std::vector<std::pair<TBaseRenderUnit*, bool>> cases = {{location, true}, {system, false}};
    for (const auto& [holder, moved] : cases) {
        SCOPED_TRACE(holder->GetName());
        TBaseRenderUnit* sphere =
            FXSpawn({"", Template("ball")->GetHex(), holder->GetHex(), "5", "FF00FF00", "1"});
        ASSERT_NE(sphere, nullptr);
        auto* helper = dynamic_cast<HelperClass*>(sphere->Parent());
        EXPECT_EQ(helper && helper->GetHelperName() == "dbg_ve", moved);
        EXPECT_EQ(sphere->Parent() == holder, !moved);
    }
}

TEST_F(FxModelsTest, AMeshEffectNeedsItsLifetimeAndMeshName) {
    struct Case {
        std::string entry, text;
    };
    const std::vector<Case> cases = {
        {"wave = { id = 'wave', type = 'mesh', meshname = 'wave' }",
         "kws2f: _str=FXMeshClass.CreateFromLua: wave: LifeTime"},
        {"wave = { id = 'wave', type = 'directed_mesh', LifeTime = '1' }", "fx[\"wave\"].meshname = \"\""},
    };
    for (const Case& c : cases) {
        FreeFXTemplates();
        Lua("fx = {" + c.entry + "} fxOrder = nil");
        EXPECT_THROW(LoadFXTemplates(), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
}

// ---- portals ---------------------------------------------------------------------------------------

TEST_F(FxModelsTest, APortalOpensLoopsItsOpenPhaseAndClosesWhenAsked) {
    LoadFx("gate = { id = 'gate', type = 'portal', mesh = 'gate', t1 = '50', t2 = '75' },"
           " plain = { id = 'plain', type = 'portal', mesh = 'gate' },"
           " same = { id = 'same', type = 'portal', mesh = 'gate', t1 = '30', t2 = '70' }");
    auto* t = dynamic_cast<FXPortalClass*>(Template("gate"));
    EXPECT_EQ(t->GetName(), "gate");
    EXPECT_FLOAT_EQ(t->Length(), 2.0f);
    EXPECT_FLOAT_EQ(t->T1(), 1.0f); // 50 % of an animation of 60 frames
    EXPECT_FLOAT_EQ(t->T2(), 1.5f);
    EXPECT_FLOAT_EQ(t->GateDirection().x, 1.0f);
    EXPECT_EQ(Parts(t).size(), 2u);
    // Without switch times, the defaults: 30 % and 70 %.
    for (const char* name : {"plain", "same"}) {
        auto* p = dynamic_cast<FXPortalClass*>(Template(name));
        EXPECT_FLOAT_EQ(p->T1(), 0.6f) << name;
        EXPECT_FLOAT_EQ(p->T2(), 1.4f) << name;
    }

    FXDescrStruct desc{};
    desc.PortalPosition = {300, 0, 0};
    auto* portal = Spawn<FXPortalClass>("gate", engine, &desc);
    ASSERT_NE(portal, nullptr);
    EXPECT_EQ(portal->State(), PORTAL_OPENING | PORTAL_CLIP);
    // Its gate faces against the spawn matrix's forward axis.
    EXPECT_FLOAT_EQ(portal->GateDirection().x, -1.0f);
    for (int i = 0; i < 11; ++i) Step(100.0f);
    EXPECT_TRUE(portal->State() & PORTAL_OPEN);
    // The open phase loops between the two switch times for as long as it is not closed.
    float latest = 0.0f;
    for (int i = 0; i < 40; ++i) {
        Step(100.0f);
        latest = std::max(latest, portal->Time());
        EXPECT_TRUE(portal->State() & PORTAL_OPEN) << i;
    }
    EXPECT_LE(latest, 1.5f + 1e-4f);
    // The parts show the frame of the animation's share.
    const int expected = static_cast<int>(std::nearbyint(12.0f * portal->Fraction()));
    EXPECT_EQ(portal->Frame(), expected);
    EXPECT_EQ(Parts(portal)[0]->CurrentKey(), expected);
    // The scripts close it (any letter case): it plays to the end of its animation and goes.
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", portal->GetId());
    Lua(std::string("engine_ModifyVEffect('") + hex + "', 'Close', '')");
    EXPECT_TRUE(portal->State() & PORTAL_CLOSE_REQUESTED);
    const int32_t id = portal->GetId();
    bool closing = false;
    for (int i = 0; i < 30 && FindEngineObjectById(id); ++i) {
        Step(100.0f);
        if (FindEngineObjectById(id) && (portal->State() & PORTAL_CLOSING)) closing = true;
    }
    EXPECT_TRUE(closing);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

// The scripts' road to a portal: an effect object hands FXSpawn the template,
// a unit and one of its helpers; the gate opens where the helper stands,
// turned and sized as the helper is, and stays there when the unit moves on.
TEST_F(FxModelsTest, FXSpawnOpensAPortalAtAUnitsHelperTurnedAndSizedAsTheHelperIs) {
    LoadFx("gate = { id = 'gate', type = 'portal', mesh = 'gate' }");
    RecUnit* holder = Unit(env, "holder");
    holder->SetPosition({100, 0, 0});
    // A quarter turn about z, four times the model's size.
    Matrix turned = MatrixProduct(MatrixScaling(4, 4, 4), MatrixRotationZ(1.5707963f));
    MatrixSetTranslation(turned, {0, 50, 0});
    holder->AddHelper("gate01", {0, 50, 0})->SetLocalMatrix(turned);
    engine->UpdateMatrices(nullptr);
    const std::string templ = Template("gate")->GetHex();
    auto* portal = dynamic_cast<FXPortalClass*>(FXSpawn({"", templ, holder->GetHex(), "gate01"}));
    ASSERT_NE(portal, nullptr);
    EXPECT_EQ(portal->Parent(), engine);
    EXPECT_EQ(portal->State(), PORTAL_OPENING | PORTAL_CLIP);
    Vec3 at;
    portal->GetPosition(at);
    EXPECT_NEAR(at.x, 100.0f, 1e-3f);
    EXPECT_NEAR(at.y, 50.0f, 1e-3f);
    // The gate faces against the helper's turned forward axis, and is drawn four times as large.
    EXPECT_NEAR(portal->GateDirection().y, -1.0f, 1e-5f);
    EXPECT_NEAR(MatrixGetColumnScale(portal->GetWorldMatrix()).x, 4.0f, 1e-4f);
    holder->SetPosition({300, 0, 0});
    engine->UpdateMatrices(nullptr);
    Step();
    portal->GetPosition(at);
    EXPECT_NEAR(at.x, 100.0f, 1e-3f);
    // A helper the unit lacks is a content slip: the gate opens at the unit itself.
    auto* plain = dynamic_cast<FXPortalClass*>(FXSpawn({"", templ, holder->GetHex(), "gate02"}));
    ASSERT_NE(plain, nullptr);
    plain->GetPosition(at);
    EXPECT_NEAR(at.x, 300.0f, 1e-3f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(FxModelsTest, APortalClipsWhatPassesThroughItAndLeavesItsShipsInPlace) {
    LoadFx("gate = { id = 'gate', type = 'portal', mesh = 'gate' }");
    FXDescrStruct desc{};
    desc.PortalPosition = {300, 0, 0};
    auto* portal = Spawn<FXPortalClass>("gate", engine, &desc);
    auto* ship = AddPart<ShipClass>(env, "ship", {280, 5, 0});
    ship->SetStrID("traveller");
    MovingBody body(ship);
    ship->SetBPU(&body);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", portal->GetId());
    Lua(std::string("engine_ModifyVEffect('") + hex + "', 'addchild', 'traveller')");
    EXPECT_EQ(ship->Parent(), portal);
    Dev().ClearCalls();
    Frame();
    // The plane through the gate point, the gate direction its normal, set while the portal draws.
    EXPECT_GE(Dev().CountCalls("SetClipPlane"), 1u);
    EXPECT_FLOAT_EQ(portal->ClipPlane()[0], -1.0f);
    EXPECT_FLOAT_EQ(portal->ClipPlane()[3], 300.0f);
    Vec3 at;
    ship->GetPosition(at);
    EXPECT_FLOAT_EQ(at.x, 280.0f);
    ship->SetBPU(nullptr);
}

} // namespace
} // namespace vesk::test
