// The game camera: its start from the settings, the tick that moves the sound
// listener, cut-scene descriptions turned into the camera's record, and the
// scripts' camera functions.
#include "core/application.h"
#include "core/lua_functions.h"
#include "core/var_list.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "interface/variators.h"
#include "physics/camera_game.h"
#include "render/render_script.h"
#include "render/render_unit.h"
#include "shared/engine_object.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

struct Listener {
    Vec3 position{}, front{}, top{}, velocity{};
    int calls = 0;
};

// A game camera installed in an application object, with a Lua state that
// has the engine functions.
class GameCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        if (!SpVars) InitVarLists();
        CoreServices services;
        InstallGameCamera(services, [this](const Vec3& p, const Vec3& f, const Vec3& t, const Vec3& v) {
            listener = {p, f, t, v, listener.calls + 1};
        });
        core = std::make_unique<TCore>(std::move(services));
        InstallRenderScriptFunctions();
        L = luaL_newstate();
        RegisterEngineFunctions(L);
    }
    void TearDown() override {
        lua_close(L);
        if (unit) unit->Free();
        core.reset();
        SpVars->Put("cam.fov", VarValue(0.0f));
    }
    TGameCamera& Game() { return *GameCamera(); }
    CameraClass& Cam() { return *Game().Camera(); }
    // Runs a chunk; false when it raised a script error.
    bool Run(const std::string& chunk) { return luaL_dostring(L, chunk.c_str()) == 0; }

    ErrorTrap trap;
    std::unique_ptr<TCore> core;
    lua_State* L = nullptr;
    Listener listener;
    TBaseRenderUnit* unit = nullptr;
};

TEST_F(GameCameraTest, FieldOfViewFromTheSettingUnlessItIsUnset) {
    struct Case {
        float setting, fov;
    };
    for (const Case& c : {Case{60, 60}, Case{0, 75}, Case{-5, 75}}) {
        SpVars->Put("cam.fov", VarValue(c.setting));
        Game().Init();
        EXPECT_FLOAT_EQ(Game().GetFOV(), c.fov) << c.setting;
        EXPECT_EQ(Cam().Name(), "generic");
        EXPECT_EQ(DefaultViewCamera(), Game().SharedCamera());
        EXPECT_EQ(GetScriptCamera(), &Game());
        Game().ApplyStartFlags(1, 0);
        EXPECT_TRUE(Cam().IsMode(kCamUserControl));
        Game().Free();
        EXPECT_EQ(Game().Camera(), nullptr);
        EXPECT_EQ(GetScriptCamera(), nullptr);
        EXPECT_NE(DefaultViewCamera(), nullptr); // the basic camera again
    }
}

TEST_F(GameCameraTest, TickHandsThePoseToTheListener) {
    Game().Init();
    Cam().SetUpVector({1, 0, 0});
    Cam().StartFreeCamera();
    Cam().SetFreeCameraVelocity({0, 0, 100}); // along the look vector
    Game().Tick(100);
    EXPECT_EQ(listener.calls, 1);
    EXPECT_FLOAT_EQ(listener.position.y, Cam().GetPosition().y);
    EXPECT_NEAR(Vec3Length(listener.position), 10.0f, 1e-3f);
    EXPECT_FLOAT_EQ(listener.front.y, Cam().GetDirection().y);
    // The free flight ends with up (0, 0, 1); the listener's top is its negation.
    EXPECT_FLOAT_EQ(listener.top.z, -1.0f);
    EXPECT_NEAR(Vec3Length(listener.velocity), 100.0f, 1e-2f);

    // The listener's top is always the negated up vector.
    Cam().StopFreeCamera();
    Cam().SetUpVector({1, 0, 0});
    Cam().ClearMode(kCamSway);
    Game().Tick(16);
    EXPECT_FLOAT_EQ(listener.top.x, -1.0f);

    // A fault inside the update is reported and the frame goes on.
    Cam().StartSplineMode();
    Cam().splineStep = [](float) { throw std::runtime_error("broken mover"); };
    EXPECT_THROW(Game().Tick(16), Halted);
    EXPECT_EQ(trap.lastFatal, "TGameCamera.Tick: Camera Update fault");
}

// A description from a map of key texts; it notes every key read.
class MapDescription : public ICutSceneDescription {
public:
    std::map<std::string, std::string> values;
    std::map<std::string, Vec3> vectors;
    std::vector<std::string> nearObjs;
    TBaseRenderUnit* unit = nullptr;
    std::vector<std::string> read;

    std::string Text(const std::string& key) override {
        read.push_back(key);
        auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    }
    float Number(const std::string& key) override {
        const std::string t = Text(key);
        return t.empty() ? 0.0f : std::stof(t);
    }
    Vec3 Vector(const std::string& key) override {
        read.push_back(key);
        return vectors[key];
    }
    std::vector<std::string> ListTexts(const std::string& key) override {
        read.push_back(key);
        return nearObjs;
    }
    TBaseRenderUnit* UnitAt(const std::string& path) override { return path.empty() ? nullptr : unit; }
    bool Read(const std::string& key) const { return std::find(read.begin(), read.end(), key) != read.end(); }
};

TEST_F(GameCameraTest, CutSceneDescriptionsBecomeTheCameraRecord) {
    Game().Init();
    unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    struct Case {
        std::string type;
        std::map<std::string, std::string> values;
        uint64_t mode;
        float share;
        bool readsFar;
    };
    const std::vector<Case> cases = {
        {"middle_look", {{"screen_percent", "60"}}, kCutTypeMiddleLook, 0.49f, true},
        {"middle_look", {{"screen_percent", "-30"}}, kCutTypeMiddleLook, 0.3f, true},
        {"far_near_lock",
         {{"use_pos_inertia", "true"}, {"inert_pos_param", "2.5"}},
         kCutTypeFarNearLock | kCutPosInertia,
         0,
         true},
        {"move_with_obj",
         {{"use_ori_inertia", "true"}, {"inert_ori_param", "3"}},
         kCutTypeMoveWithObj | kCutOriInertia,
         0,
         false},
        {"move_to_obj", {}, kCutTypeMoveToObj, 0, true},
    };
    for (const Case& c : cases) {
        MapDescription d;
        d.values = c.values;
        d.values["cinematic_type"] = c.type;
        d.values["far_obj"] = "obj.far";
        d.values["animation_time"] = "2";
        d.vectors["ori"] = {0, 1, 0};
        d.nearObjs = {"obj.near"};
        d.unit = unit;
        Game().StartCutScene(d, nullptr);
        EXPECT_TRUE(Cam().IsMode(kCamCutScene)) << c.type;
        EXPECT_EQ(Cam().CutScene()->Mode(), c.mode) << c.type;
        if (c.share != 0) {
            EXPECT_FLOAT_EQ(Cam().CutScene()->ScreenShare(), c.share) << c.type;
        }
        EXPECT_EQ(d.Read("far_obj"), c.readsFar) << c.type;
        EXPECT_EQ(d.Read("near_from"), c.type != "middle_look") << c.type;
        EXPECT_TRUE(Cam().CutScene()->IsRunning()) << c.type;
    }

    // An unknown type still hands the record to the camera, then is reported.
    MapDescription d;
    d.values = {{"cinematic_type", "zoom"}, {"animation_time", "1"}};
    d.nearObjs = {"obj.near"};
    d.unit = unit;
    Cam().StopCutScene();
    EXPECT_THROW(Game().StartCutScene(d, nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "TGameCamera.StartCutScene : unknown cinematic_type = zoom");
    EXPECT_TRUE(Cam().IsMode(kCamCutScene));
    EXPECT_EQ(Cam().CutScene()->Mode(), 0u);
}

TEST_F(GameCameraTest, DefaultObjectIsViewedFromItsDistanceLimits) {
    Game().Init();
    unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    unit->AddBSphere({0, 0, 0}, 20, 0);
    const float radius = unit->GetBSphereRadius();
    ASSERT_GT(radius, 0.0f);
    unit->SetWorldPosition({0, 0, 500});
    Game().SetDefaultObject(unit);
    EXPECT_EQ(Cam().FirstFollowed(), unit);
    EXPECT_FLOAT_EQ(Cam().GetMinDist(), radius);
    EXPECT_FLOAT_EQ(Cam().GetMaxDist(), radius * 9);
    EXPECT_FLOAT_EQ(Cam().GetLADist(), radius * 5.5f);
    // 45 degrees above the object, on its nose side.
    const Vec3 eye = Cam().GetPosition();
    EXPECT_NEAR(eye.z - 500, radius * 5.5f * std::cos(45 / 57.3f), 1e-2f);
    EXPECT_NEAR(eye.x, radius * 5.5f * std::sin(45 / 57.3f), 1e-2f);
}

TEST_F(GameCameraTest, ScriptFunctionsSteerTheCamera) {
    Game().Init();
    ASSERT_TRUE(Run("engine_CameraSetPos('10.4', '-2.6', '') x, y, z = engine_CameraGetOri()"));
    lua_getglobal(L, "x");
    lua_getglobal(L, "y");
    lua_getglobal(L, "z");
    EXPECT_EQ(lua_tonumber(L, -3), 10);
    EXPECT_EQ(lua_tonumber(L, -2), -3);
    EXPECT_EQ(lua_tonumber(L, -1), 0);
    lua_pop(L, 3);
    // engine_CameraSetOri is engine_CameraSetPos.
    ASSERT_TRUE(Run("engine_CameraSetOri(1, 2, 3)"));
    EXPECT_FLOAT_EQ(Cam().GetPosition().z, 3);

    ASSERT_TRUE(Run(
        "engine_CameraSetFOV('50') engine_SetCameraZoom('2') engine_CameraSetHelperFromName('cam_side')"));
    EXPECT_FLOAT_EQ(Cam().GetFOV(), 50);
    EXPECT_FLOAT_EQ(Cam().ZoomedFOV(), 35);
    EXPECT_EQ(Cam().CamFromHelper(), "cam_side");

    ASSERT_TRUE(Run("engine_CameraSetFreeLookMode() engine_CameraSetFreeLookModeVelocity('', '', '200') "
                    "engine_CameraSetFreeLookModeRotVelocity('57.3')"));
    EXPECT_TRUE(Cam().IsMode(kCamFree));
    const Vec3 before = Cam().GetPosition();
    Game().Tick(100);
    EXPECT_NEAR(Vec3Length(Vec3Sub(Cam().GetPosition(), before)), 20.0f, 1e-3f);
    ASSERT_TRUE(Run("engine_CameraResetFreeLookMode()"));
    EXPECT_FALSE(Cam().IsMode(kCamFree));

    ASSERT_TRUE(Run("engine_SetCameraAlign('1', '0', '0')"));
    EXPECT_TRUE(Cam().IsMode(kCamAlign));

    struct Case {
        const char* chunk;
        const char* text;
    };
    for (const Case& c : {
             Case{"engine_SetCameraZoom()", "engine_SetCameraZOOM: NumElements<>1"},
             Case{"engine_CameraSetFreeLookModeVelocity(1, 2)",
                  "engine_CameraSetFreeLookModeVelocity: NumElements<>3"},
             Case{"engine_CameraSetFreeLookModeRotVelocity()",
                  "engine_CameraSetFreeLookModeRotVelocity: NumElements<>1"},
             Case{"engine_CameraSetPos(1)", "engine_CameraSetPos: NumElements<>3"},
             Case{"engine_CameraSetFOV(1, 2)", "engine_CameraSetFOV: NumElements<>1"},
             Case{"engine_CameraSetFOV('')", "engine_CameraSetFOV: _fov = 0"},
             Case{"engine_CameraSetHelperFromName()", "engine_CameraSetHelperFromName: NumElements<>1"},
             Case{"engine_CameraSetHelperFromName('')", "engine_CameraSetHelperFromName: helpername = '"},
         }) {
        EXPECT_FALSE(Run(c.chunk)) << c.chunk;
        EXPECT_EQ(trap.lastFatal, c.text);
    }
    // Without a game camera the functions do nothing and the script goes on.
    Game().Free();
    trap.reports.clear();
    EXPECT_TRUE(Run("engine_CameraSetFOV(40) x = engine_CameraGetPos()"));
}

// The desktop's camera controls: the Alt-wheel zoom, the mouse look that
// starts after 21 pixels of travel in rotation mode and ends with it, and the
// field of view the FOV variator sets.
TEST(GameCameraDesktop, TheDesktopSteersTheGameCamera) {
    ErrorTrap trap;
    if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    CoreServices services;
    InstallInterfaceServices(services);
    InstallGameCamera(services, {});
    auto core = std::make_unique<TCore>(std::move(services));
    IDesktop& d = *core->Services().desktop;
    d.InitCore();
    d.Create();
    GameCamera()->Init();
    CameraClass& cam = *GameCamera()->Camera();
    TDeskTop* desk = CurrentDesktop();
    ASSERT_NE(desk, nullptr);

    desk->KeyEvent(56, true); // left Alt
    desk->MouseWheelEvent(-240);
    EXPECT_TRUE(cam.IsMode(kCamZoom));

    desk->SetCameraRotationMode(true);
    desk->MouseMoveEvent(30, 0);
    EXPECT_TRUE(cam.LookFlag(false));
    desk->SetCameraRotationMode(false);
    EXPECT_FALSE(cam.LookFlag(false));

    ASSERT_TRUE(InterfaceCameraFov);
    InterfaceCameraFov(50);
    EXPECT_FLOAT_EQ(cam.GetFOV(), 50);

    GameCamera()->Free();
    d.Release();
    TEODestroyManager->Flush();
    d.FreeCore();
    EXPECT_TRUE(trap.lastFatal.empty()) << trap.lastFatal;
}

} // namespace
} // namespace vesk
