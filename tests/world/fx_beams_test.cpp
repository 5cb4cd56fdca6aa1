// The road of a hit through the effects: laser beams between ship parts, the
// shield hit they light up on a ship, and the hit marks left where shots
// struck. Spawned from their templates, ticked in fixed steps until they end.
#include "core/lua_machine.h"
#include "fx_fixture.h"
#include "fx_stand_ins.h"
#include "physics/coll_detector.h"
#include "render/fake_model_tree.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/render_script.h"
#include "render/world_links.h"
#include "world/fx_bullet.h"
#include "world/fx_burst.h"
#include "world/fx_defect.h"
#include "world/fx_laser.h"
#include "world/fx_model_part.h"
#include "world/fx_shapes.h"
#include "world/fx_shield.h"
#include "world/fx_spawn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace vesk::test {
namespace {

const char* kSpark = "spark = { id = 'spark', type = 'particle' }";
const char* kBurst =
    "boom = { id = 'boom', type = 'burst', numParticles = '2', vmin = '1', vmax = '2', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '1', MinLifeTime = '1', particleID = 'spark', color = 'FFFFFFFF',"
    " friction = '0' }";
const char* kBeam =
    "beam = { id = 'beam', type = 'laser', lifetime = '2', color = '80FF8040', thickness = '4',"
    " bursts = { { id = 'boom', size = 2.6 } } }";

uint32_t Channel(uint32_t c, int shift) {
    return (c >> shift) & 0xFF;
}

class FxBeamsTest : public FxTest {
protected:
    void SetUp() override {
        // The scripts' effect function, registered with the Lua host the fixture makes.
        InstallRenderScriptFunctions();
        FxTest::SetUp();
        // The shield model: one shell whose animation runs 1 s in 11 keys.
        FakeModelTree& shield = models.Add("shield.cm");
        shield.AddObject("shell");
        shield.AddTrack("shell", 11, 30);
        Lua("mesh = { shieldmesh = { path = '', name = 'shield' } }");
        shooter = Ship("shooter", {0, 0, 0});
        shooter->AddHelper("muzzle", {5, 0, 0});
        target = Ship("target", {200, 0, 0});
        target->AddHelper("hull", {0, 3, 0});
        engine->UpdateMatrices(nullptr);
    }
    void TearDown() override {
        SetShieldUpQuery(nullptr);
        FreeFXTemplates();
        TEODestroyManager->Flush();
        models.Clear();
        FxTest::TearDown();
    }
    ShipClass* Ship(const std::string& name, Vec3 at) { return AddPart<ShipClass>(env, name, at); }
    FXLaserClass* Beam(TBaseRenderUnit* from, const std::string& fromHelper, TBaseRenderUnit* to,
                       const std::string& toHelper, const char* templ = "beam") {
        FXDescrStruct desc{};
        desc.LaserObjFromBRU = from;
        desc.LaserFromHelper = fromHelper;
        desc.LaserObjToBRU = to;
        desc.LaserToHelper = toHelper;
        return Spawn<FXLaserClass>(templ, engine, &desc);
    }
    int Count(TBaseRenderUnit* under, const std::string& className) {
        int n = 0;
        if (under->ChildsBRU())
            for (TBaseRenderUnit* c : *under->ChildsBRU())
                if (c && c->ClassName() == className && !c->HasFlag(BRU_KILLED)) ++n;
        return n;
    }

    WorldGameOpsScope gameOps;
    FakeModelTrees models;
    ShipClass* shooter = nullptr;
    ShipClass* target = nullptr;
};

// ---- lasers ----------------------------------------------------------------------------------------

TEST_F(FxBeamsTest, ABeamRunsBetweenItsHelpersAndFadesOverItsLife) {
    const int32_t live = FXBaseClass::LiveCountOf("FXLaserClass");
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam + ", plain = { id = 'plain', type = 'laser' }");
    // Without keys: 100 seconds, half-transparent white, 10 wide.
    auto* plain = dynamic_cast<FXLaserClass*>(Template("plain"));
    EXPECT_FLOAT_EQ(plain->GetLifeTimeSeconds(), 100.0f);
    EXPECT_EQ(plain->GetColor(), 0x80FFFFFFu);
    EXPECT_FLOAT_EQ(plain->GetThickness(), 10.0f);

    FXLaserClass* laser = Beam(shooter, "muzzle", target, "hull");
    ASSERT_NE(laser, nullptr);
    EXPECT_EQ(laser->Parent(), engine);
    EXPECT_EQ(laser->GetFromBRU(), shooter);
    EXPECT_EQ(laser->GetTargetUnit(), target);
    EXPECT_FLOAT_EQ(laser->GetStartPoint().x, 5.0f);
    EXPECT_FLOAT_EQ(laser->GetEndPoint().x, 200.0f);
    EXPECT_FLOAT_EQ(laser->GetEndPoint().y, 3.0f);
    const float distance = Vec3Length(Vec3Sub(laser->GetEndPoint(), laser->GetStartPoint()));
    EXPECT_NEAR(laser->SpawnValue1(), distance / 2.0f * 3.0f, 1e-3f);
    EXPECT_FLOAT_EQ(laser->SpawnValue2(), 100.0f);
    EXPECT_EQ(FXBaseClass::LiveCountOf("FXLaserClass"), live + 1);

    // Half its life gone: RGB x (0x80 / 255) x 0.5, about a quarter, fully opaque.
    Step(500.0f);
    Step(500.0f);
    const uint32_t c = laser->GetCurrentColor();
    EXPECT_EQ(c >> 24, 0xFFu);
    EXPECT_EQ(Channel(c, 16), static_cast<uint32_t>(0xFF * (128.0f / 255.0f) * 0.5f));
    EXPECT_EQ(Channel(c, 0), static_cast<uint32_t>(0x40 * (128.0f / 255.0f) * 0.5f));
    // The beam follows its ends.
    target->SetPosition({200, 50, 0});
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(laser->GetEndPoint().y, 53.0f);
    // At the end of its life it is gone.
    const int32_t id = laser->GetId();
    Step(900.0f);
    ASSERT_NE(FindEngineObjectById(id), nullptr);
    Step(200.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(FXBaseClass::LiveCountOf("FXLaserClass"), live);
}

TEST_F(FxBeamsTest, ABeamThatMeetsAShipSpawnsItsBurstsAtTheContact) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam);
    ShipClass* between = Ship("between", {100, 0, 0});
    between->SetBox({-10, -10, -10}, {10, 10, 10});
    engine->UpdateMatrices(nullptr);
    Frame();
    FXLaserClass* laser = Beam(shooter, "muzzle", target, "hull");
    ASSERT_TRUE(laser->HasHit());
    EXPECT_EQ(laser->LastContact().unit, between);
    EXPECT_LT(laser->LastContact().point.x, 100.0f);
    HelperClass* coll = nullptr;
    ASSERT_TRUE(between->FindHelper("coll", coll));
    int bursts = 0;
    for (TBaseRenderUnit* c : *engine->ChildsBRU())
        if (auto* fx = dynamic_cast<FXBurstClass*>(c)) {
            ++bursts;
            EXPECT_EQ(fx->AnchorHelper(), coll);
        }
    EXPECT_EQ(bursts, 1);
    // Its own ship is never hit: a beam from inside a ship's sphere goes on.
    shooter->SetBox({-10, -10, -10}, {10, 10, 10});
    between->SetPosition({100, 500, 0});
    engine->UpdateMatrices(nullptr);
    Frame();
    EXPECT_FALSE(Beam(shooter, "muzzle", target, "hull")->HasHit());
}

TEST_F(FxBeamsTest, TheBeamsEndsMustBeShipParts) {
    LoadFx(kBeam + std::string(", ") + kSpark + ", " + kBurst);
    auto* cannon = AddPart<CannonClass>(shooter, "cannon", {0, 2, 0});
    auto* turret = AddPart<TurretClass>(shooter, "turret");
    RecUnit* rock = Unit(env, "rock");
    HelperClass* point = rock->AddHelper("point", {1, 1, 1});
    TBaseRenderUnit* cursor = TBaseRenderUnit::Create<CursorClass>(engine);
    engine->AddChild(cursor);
    struct Case {
        TBaseRenderUnit* from;
        TBaseRenderUnit* to;
        std::string text; // empty: accepted
    };
    const std::vector<Case> cases = {
        {cannon, target, ""},
        {turret, target, ""},
        {shooter, cannon, ""},
        {shooter, cursor, ""},
        {shooter, point, ""},
        {rock, target, "FXLaserClass.SetFromDescStruct FROM, not ship not turret - bad"},
        {nullptr, target, "FXLaserClass.SetFromDescStruct FROM, not ship not turret - bad"},
        {shooter, nullptr, "FXLaserClass.SetFromDescStruct: LaserObjToBRU = nil: invalid params"},
        {shooter, rock, "FXLaserClass.SetFromDescStruct TO, not ship not turret - bad"},
    };
    for (const Case& c : cases) {
        trapAll.lastFatal.clear();
        if (c.text.empty()) {
            EXPECT_NE(Beam(c.from, "", c.to, ""), nullptr) << c.to->GetName();
            EXPECT_EQ(trapAll.lastFatal, "") << c.to->GetName();
        } else {
            EXPECT_THROW(Beam(c.from, "", c.to, ""), Halted) << c.text;
            EXPECT_EQ(trapAll.lastFatal, c.text);
        }
    }
    // A turret that fails its check starts no beam: the hit test has no source.
    SetLaserTurretCheck([](TBaseRenderUnit*) { return false; });
    EXPECT_THROW(Beam(turret, "", target, ""), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXLaserClass.SetFromDescStruct: not FInitiator.GetObject(TObject(bru))");
    SetLaserTurretCheck(nullptr);
}

TEST_F(FxBeamsTest, ABeamIsABandAcrossTheViewDrawnByTheSharedRenderer) {
    LoadFx(kBeam + std::string(", ") + kSpark + ", " + kBurst);
    FXLaserClass* laser = Beam(shooter, "muzzle", target, "hull");
    // Seen from the side: as wide as its thickness, as long as the beam.
    const Matrix view = MatrixLookAtLH({100, 0, -300}, {100, 0, 0}, {0, 1, 0});
    Vec3 corners[4];
    ASSERT_TRUE(laser->StreakCorners(view, corners));
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[3], corners[0])), 4.0f, 1e-3f);
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[1], corners[0])), 195.0f, 0.1f);
    Frame();
    EXPECT_EQ(FXStreakRendererClass::Lasers()->BatchesDrawn(), 1);
    // Both ends at one point: nothing to draw.
    target->SetPosition({5, -3, 0});
    engine->UpdateMatrices(nullptr);
    Frame();
    EXPECT_FALSE(laser->StreakCorners(view, corners));
}

TEST_F(FxBeamsTest, TheScriptsPutBurstsAtTheBeamsEndsAndCannotKillIt) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam);
    FXLaserClass* laser = Beam(shooter, "muzzle", target, "hull");
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", laser->GetId());
    Lua(std::string("engine_ModifyVEffect('") + hex + "', 'AddEndPointFX', fx.boom.hex)");
    Lua(std::string("engine_ModifyVEffect('") + hex + "', 'AddStartPointFX', fx.boom.hex)");
    Lua(std::string("engine_ModifyVEffect('") + hex + "', 'KillEffect', fx.boom.hex)");
    EXPECT_FALSE(laser->HasFlag(BRU_KILLED));
    std::vector<float> xs;
    for (TBaseRenderUnit* c : *engine->ChildsBRU())
        if (dynamic_cast<FXBurstClass*>(c)) {
            c->UpdateMatrices(nullptr);
            Vec3 p;
            c->GetPosition(p);
            xs.push_back(p.x);
        }
    EXPECT_EQ(xs, (std::vector<float>{200.0f, 5.0f}));
}

// ---- shield hits -----------------------------------------------------------------------------------

std::string ShieldEntry(const std::string& extra) {
    return "hit = { id = 'hit', type = 'shield', mesh = 'shieldmesh', intensity_keys = {"
           " { percents = 0, intensity = 0 }, { percents = 50, intensity = 1 }, { percents = 100, intensity "
           "= 0 } } " +
           extra + " }";
}

TEST_F(FxBeamsTest, AShieldHitFacesTheShotAndBrightensAlongItsKeys) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam + ", " + ShieldEntry(""));
    const int32_t live = FXShieldCount;
    FXLaserClass* laser = Beam(shooter, "muzzle", target, "hull");
    FXDescrStruct desc{};
    desc.ShieldBRU = target;
    desc.ShieldSpawner = laser;
    auto* shield = Spawn<FXShieldClass>("hit", target, &desc);
    ASSERT_NE(shield, nullptr);
    EXPECT_EQ(FXShieldCount, live + 1);
    // On the ship's centre, its forward axis along the beam.
    const Matrix& m = shield->GetWorldMatrix();
    const Vec3 along = Vec3Normalize(Vec3Sub(laser->GetEndPoint(), laser->GetStartPoint()));
    EXPECT_NEAR(Vec3Dot({m.m[0][0], m.m[0][1], m.m[0][2]}, along), 1.0f, 1e-4f);
    EXPECT_NEAR(m.m[3][0], 200.0f, 1e-3f);
    // The brightness follows the keys over the part's animation: up to 1 at half, down to 0 at the end.
    auto* part = dynamic_cast<FXModelPartClass*>(shield->ChildsBRU()->Get(0));
    ASSERT_NE(part, nullptr);
    float peak = 0.0f;
    for (int i = 0; i < 10; ++i) {
        const float x = part->Progress();
        Step(100.0f);
        const float expected = x <= 0.5f ? 2.0f * x : 2.0f * (1.0f - x);
        EXPECT_NEAR(shield->GetCurrentIntensity(), expected, 1e-4f) << i;
        ASSERT_TRUE(part->Intensity().has_value());
        EXPECT_NEAR(*part->Intensity(), expected, 1e-4f);
        peak = std::max(peak, shield->GetCurrentIntensity());
    }
    EXPECT_NEAR(peak, 1.0f, 1e-4f);
    // Once the part's animation has played, the shield goes.
    const int32_t id = shield->GetId();
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(FXShieldCount, live);
}

TEST_F(FxBeamsTest, AShieldTurnsTowardsTheShotThatStruckIt) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam + ", " +
           "shot = { id = 'shot', type = 'bullet', velocity = '100', lifetime = '2', len = '20' }, " +
           ShieldEntry(""));
    auto forward = [&](TEngineObject* spawner) {
        FXDescrStruct desc{};
        desc.ShieldBRU = target;
        desc.ShieldSpawner = spawner;
        const Matrix& m = Spawn<FXShieldClass>("hit", target, &desc)->GetWorldMatrix();
        return Vec3{m.m[0][0], m.m[0][1], m.m[0][2]};
    };
    // A shot that names no line (or one of no length) turns it as if along (0, 0, 1).
    EXPECT_NEAR(forward(nullptr).z, 1.0f, 1e-5f);
    // A bullet's line ends at the bullet, one step of its velocity back.
    FXConfigBulletClass* cfg = FXConfigurator.GetBulletConfig("test");
    cfg->SetData(shooter, "muzzle", target);
    auto* bullet = dynamic_cast<FXBulletClass*>(Template("shot")->SpawnEffect2(cfg));
    ASSERT_NE(bullet, nullptr);
    bullet->Kinetic()->velocity = {0, 30, 0};
    EXPECT_NEAR(forward(bullet).y, 1.0f, 1e-5f);
    // A cannon stands for the beam it fires.
    auto* cannon = AddPart<CannonClass>(shooter, "cannon", {0, 0, 40});
    engine->UpdateMatrices(nullptr);
    Beam(cannon, "", target, "");
    const Vec3 f = forward(cannon);
    EXPECT_NEAR(f.z, -40.0f / std::sqrt(200.0f * 200.0f + 40.0f * 40.0f), 1e-4f);
}

TEST_F(FxBeamsTest, AShieldHitLightsItsGlowAndAShipWithoutShieldShowsNone) {
    LoadFx(std::string(kSpark) + ", fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' }" +
           ", flash = { id = 'flash', type = 'glow', size = '6', color = '4080FF' }, " +
           ShieldEntry(", gloweffect = 'flash'"));
    FXDescrStruct desc{};
    desc.ShieldBRU = target;
    auto* shield = Spawn<FXShieldClass>("hit", target, &desc);
    FXGlowClass* glow = nullptr;
    for (TBaseRenderUnit* c : *engine->ChildsBRU())
        if (auto* g = dynamic_cast<FXGlowClass*>(c)) glow = g;
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->IntensitySource(), shield);
    ASSERT_NE(glow->GetLamp(), nullptr);
    for (int i = 0; i < 4; ++i) Step(100.0f);
    EXPECT_GT(shield->GetCurrentIntensity(), 0.0f);
    EXPECT_FLOAT_EQ(glow->GetLamp()->GetIntensity(), shield->GetCurrentIntensity());
    // The glow stands at the shield's helper.
    HelperClass* helper = nullptr;
    ASSERT_TRUE(shield->FindHelper("glow_helper", helper));
    Vec3 at, there;
    glow->GetPosition(at);
    helper->GetPosition(there);
    EXPECT_NEAR(Vec3Length(Vec3Sub(at, there)), 0.0f, 1e-4f);

    // A ship whose shield is down: the hit kills itself and is hidden.
    SetShieldUpQuery([](TBaseRenderUnit*) { return false; });
    auto* none = Spawn<FXShieldClass>("hit", target, &desc);
    EXPECT_TRUE(none->HasFlag(BRU_KILLED));
    EXPECT_FALSE(none->HasFlag(BRU_VISIBLE));
}

TEST_F(FxBeamsTest, ShieldHitsReportWhatTheyCannotTakeAndReadAtMostAHundredKeys) {
    std::string keys;
    for (int i = 0; i <= 100; ++i) keys += "{ percents = " + std::to_string(i) + ", intensity = 1 }, ";
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + kBeam + ", " +
           "many = { id = 'many', type = 'shield', intensity_keys = { " + keys + " } }, " + ShieldEntry(""));
    EXPECT_EQ(dynamic_cast<FXShieldClass*>(Template("many"))->Keys().size(), 100u);
    auto* cannon = AddPart<CannonClass>(shooter, "cannon");
    RecUnit* rock = Unit(env, "rock");
    auto* shield = dynamic_cast<FXShieldClass*>(Template("hit"));
    struct Case {
        std::function<void()> act;
        std::string text;
    };
    auto spawn = [&](TBaseRenderUnit* ship, TEngineObject* spawner) {
        return [&, ship, spawner] {
            FXDescrStruct desc{};
            desc.ShieldBRU = ship;
            desc.ShieldSpawner = spawner;
            Spawn<FXShieldClass>("hit", target, &desc);
        };
    };
    const std::vector<Case> cases = {
        {spawn(rock, nullptr),
         "FXShieldClass.SetFromDescStruct: not pdesc.ShieldBRU.IsClassType(TShipClass): rock"},
        {spawn(target, rock), "FXShieldClass.SetFromDescStruct: Undefined type of ShieldBRUSpawner: rock"},
        {spawn(target, cannon), "FXShieldClass.SetFromDescStruct: not "
                                "TEngine.GetLaserByFromBRU(pdesc.ShieldBRUSpawner,laser)cannon"},
        {[&] { shield->CalcMatrixFromCrossLine(nullptr, {}, {}); },
         "FXShieldClass.CalcMatrixFromCrossLine: _bruCrossed=nil"},
        {[&] { shield->CalcMatrixFromCrossLine(rock, {}, {}); },
         "FXShieldClass.CalcMatrixFromCrossLine: not _bruCrossed.IsClassType(ShipClass): rock"},
        {[&] { shield->GetColor(); }, "FXShieldClass.GetColor"},
        {[&] { shield->GetColorDWORD(); }, "FXShieldClass.GetColorDWORD"},
        {[&] { shield->SetColor(0); }, "FXShieldClass.SetColor"},
        {[&] { shield->SetIntensity(1); }, "FXShieldClass.SetIntensity"},
        {[&] {
             FreeFXTemplates();
             LoadFx("bad = { id = 'bad', type = 'shield', intensity_keys = { { percents = 'x', intensity = 1 "
                    "} } }");
         },
         "Exception kws2f: _str=x: LoadShieldsTable: percents: bad"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(c.act(), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
}

// ---- hit marks ---------------------------------------------------------------------------------------

std::string MarkEntry(const std::string& extra) {
    return "mark = { id = 'mark', type = 'defect', texture = 'scorch.tga', LifeTime = '5', size = '4',"
           " color = 'FF0000FF' " +
           extra + " }";
}

class FxMarksTest : public FxBeamsTest {
protected:
    FXDefectClass* Mark(TBaseRenderUnit* struck, Vec3 point, Vec3 normal, float scale = 1.0f) {
        FXConfigDefectClass* cfg = FXConfigurator.GetDefectConfig("test");
        const FXHitInfo hit{struck, point, normal};
        cfg->SetData(struck, &hit, scale);
        return dynamic_cast<FXDefectClass*>(Template("mark")->SpawnEffect2(cfg));
    }
};

TEST_F(FxMarksTest, AMarkLiesOnTheStruckUnitAndFadesInThenOutOverItsLife) {
    LoadFx(MarkEntry(", SpawnTime = '1', color2 = '00FFFFFF'"));
    const int32_t live = FXDefectCount;
    // The collision result the collision engine hands the struck ship names it as the other unit.
    IBRUCollisionInfo* info = CollisionInformatorClass::Init(shooter, target, {190, 0, 0}, {-1, 0, 0});
    FXConfigDefectClass* cfg = FXConfigurator.GetDefectConfig("test");
    cfg->SetData(target, info, 2.0f);
    auto* mark = dynamic_cast<FXDefectClass*>(Template("mark")->SpawnEffect2(cfg));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->Parent(), target);
    EXPECT_FLOAT_EQ(mark->GetSize(), 8.0f);
    EXPECT_EQ(FXDefectCount, live + 1);
    // In the ship's own frame, turned to face along the normal, sized.
    const Matrix& local = mark->GetLocalMatrix();
    EXPECT_NEAR(local.m[3][0], -10.0f, 1e-4f);
    EXPECT_NEAR(local.m[0][0], -8.0f, 1e-4f);
    Vec3 corners[4];
    mark->Corners(corners);
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[1], corners[0])), 8.0f, 1e-3f);
    // From color2 to its colour over the second of spawn time, then back over its five of life.
    Step(500.0f);
    EXPECT_NEAR(mark->GetCurrentColor()[3], 0.0f, 1e-5f); // the first step shows the start of the spawn
    Step(500.0f);
    EXPECT_NEAR(mark->GetCurrentColor()[3], 0.5f, 1e-5f);
    EXPECT_NEAR(mark->GetCurrentColor()[1], 0.5f, 1e-5f);
    // Half its life gone: half way back to color2.
    for (int i = 0; i < 26; ++i) Step(100.0f);
    EXPECT_NEAR(mark->GetCurrentColor()[3], 0.5f, 1e-3f);
    // Not while the game is paused.
    GetRenderWorldLinks().desktopPaused = [] { return true; };
    const float left = mark->GetRemaining();
    Step(1000.0f);
    EXPECT_FLOAT_EQ(mark->GetRemaining(), left);
    GetRenderWorldLinks().desktopPaused = nullptr;
    // About six seconds in all.
    const int32_t id = mark->GetId();
    for (int i = 0; i < 23; ++i) Step(100.0f);
    ASSERT_NE(FindEngineObjectById(id), nullptr);
    for (int i = 0; i < 4; ++i) Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(FXDefectCount, live);
}

TEST_F(FxMarksTest, WithoutSpawnTimeOrSecondColourAMarkKeepsOneColourAndIsDrawn) {
    LoadFx(MarkEntry(""));
    FXDefectClass* mark = Mark(target, {200, 0, 10}, {0, 0, 3});
    Step(100.0f);
    EXPECT_FLOAT_EQ(mark->GetSpawnRemaining(), 0.0f);
    EXPECT_NEAR(mark->GetRemaining(), 4.9f, 1e-5f);
    EXPECT_EQ(mark->GetColorDWORD(), 0xFF0000FFu);
    Step(2000.0f);
    EXPECT_EQ(mark->GetColorDWORD(), 0xFF0000FFu);
    const int before = FXStreakRendererClass::Get("fx_defect")->BatchesDrawn();
    Frame();
    EXPECT_EQ(FXStreakRendererClass::Get("fx_defect")->BatchesDrawn(), before + 1);
}

TEST_F(FxMarksTest, AMarkNeedsItsKeysAndACollisionResult) {
    struct Case {
        std::string lua, text;
    };
    const std::vector<Case> cases = {
        {"mark = { id = 'mark', type = 'defect', size = '1', color = 'FF' }",
         "kws2f: _str=FXDefectClass.CreateFromLua: mark: LifeTime"},
        {"mark = { id = 'mark', type = 'defect', LifeTime = '1', color = 'FF' }",
         "kws2f: _str=FXDefectClass.CreateFromLua: mark: size"},
        {"mark = { id = 'mark', type = 'defect', LifeTime = '1', size = '1' }",
         "Exception kws2i: _str=$: FXDefectClass.CreateFromLua: mark: color"},
    };
    for (const Case& c : cases) {
        FreeFXTemplates();
        Lua("fx = {" + c.lua + "} fxOrder = nil");
        EXPECT_THROW(LoadFXTemplates(), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
    FreeFXTemplates();
    LoadFx(MarkEntry(""));
    FXConfigDefectClass* cfg = FXConfigurator.GetDefectConfig("test");
    cfg->SetData(target, static_cast<IBRUCollisionInfo*>(nullptr), 1.0f);
    EXPECT_THROW(Template("mark")->SpawnEffect2(cfg), Halted);
    EXPECT_TRUE(
        trapAll.HasReport("FXDefectClass.SetFromDescStruct: _fConfig.QueryInterface IID_BRUCollisionInfom"));
}

} // namespace
} // namespace vesk::test
