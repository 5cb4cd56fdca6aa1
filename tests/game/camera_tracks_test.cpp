// Camera tracks driven as a designer does through engine_Execute on
// "cameraPlayer": points taken from the camera, tracks played in number
// order through the game camera's spline flight, saved and loaded; the
// cut scene of "doTask" and engine_CameraOnObj.
#include "core/application.h"
#include "game/camera_tracks.h"
#include "game/scene_object.h"
#include "game_logic_fixture.h"
#include "render/render_unit.h"

#include <memory>

namespace vesk::test {
namespace {

class CameraTracks : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        RegisterCameraTrackClasses();
        RegisterCameraTrackFunctions();
        player = CreateCameraPlayer(GlobalObjects);
        CoreServices services;
        InstallGameCamera(services, {});
        core = std::make_unique<TCore>(std::move(services));
        GameCamera()->Init();
        Cam().ClearMode(kCamSway);
        SetCameraPointLabelSink([this](const std::string& text) { label = text; });
        // The post-process parameter the camera's shake sets.
        Run("function SetPPParam(effect, key, value) blur = value end");
    }
    void TearDown() override {
        SetCameraPointLabelSink(nullptr);
        GameLogicTest::TearDown();
        core.reset();
        for (TBaseRenderUnit* u : renderUnits) u->Free();
    }
    CameraClass& Cam() { return *GameCamera()->Camera(); }
    void Exec(const std::string& action, const std::string& param = "") {
        Run("engine_Execute('cameraPlayer', '" + action + "', '" + param + "')");
    }
    // A point of the track at that camera position.
    void PointAt(const std::string& track, const Vec3& at) {
        Cam().SetPosition(at);
        Exec("newPoint", track);
    }
    TCameraTrack* Track(const std::string& name) {
        return dynamic_cast<TCameraTrack*>(FindVarByPath("cameraPlayer.tracks." + name));
    }
    std::vector<int32_t> Nums(TCameraTrack* track) {
        std::vector<int32_t> out;
        for (TCameraTaskPoint* p : track->PointList()) out.push_back(p->Num());
        return out;
    }
    TBaseRenderUnit* NewRenderUnit(const Vec3& at) {
        renderUnits.push_back(TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr));
        renderUnits.back()->SetWorldPosition(at);
        return renderUnits.back();
    }

    TCameraPlayer* player = nullptr;
    std::unique_ptr<TCore> core;
    std::string label;
    std::vector<TBaseRenderUnit*> renderUnits;
};

TEST_F(CameraTracks, PlayGathersTracksInNumberOrderAndFlies) {
    Exec("newTrack", "late");
    Exec("newTrack", "early");
    Track("late")->SetNum(30);
    Track("early")->SetNum(10);
    PointAt("late", {100, 0, 0});
    PointAt("late", {100, 100, 0});
    PointAt("early", {0, 0, 0});
    PointAt("early", {50, 0, 0});
    EXPECT_EQ(label, "10");
    Exec("play");
    EXPECT_TRUE(NoLuaErrors());
    EXPECT_EQ(player->EndTrack(), "late");
    EXPECT_TRUE(player->Playing());
    ASSERT_EQ(player->KeyPoints().size(), 4u);
    const float xs[] = {0, 50, 100, 100};
    for (size_t i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(player->KeyPoints()[i].position.x, xs[i]) << i;
    EXPECT_TRUE(Cam().IsMode(kCamSpline));
    EXPECT_FALSE(Cam().IsMode(kCamFree));

    // The points keep their speed of 100: the camera flies the 200 units in
    // two seconds and stops, back in free flight.
    GameCamera()->Tick(250);
    EXPECT_NEAR(Cam().GetPosition().x, 25, 1e-2f);
    for (int i = 0; i < 4; ++i) GameCamera()->Tick(500);
    EXPECT_FALSE(player->Playing());
    EXPECT_FALSE(Cam().IsMode(kCamSpline));
    EXPECT_TRUE(Cam().IsMode(kCamFree));
    EXPECT_TRUE(player->KeyPoints().empty());
}

TEST_F(CameraTracks, LoopPlaysAgainAfterTheLastPoint) {
    Exec("newTrack", "t");
    PointAt("t", {0, 0, 0});
    PointAt("t", {10, 0, 0});
    Run("engine_SetVar('cameraPlayer.loop', '1')");
    Exec("play");
    // 10 units at the points' speed of 100 take 0.1 s.
    GameCamera()->Tick(1000);
    EXPECT_TRUE(player->Playing());
    EXPECT_EQ(player->KeyPoints().size(), 2u);
    GameCamera()->Tick(50);
    EXPECT_NEAR(Cam().GetPosition().x, 5, 1e-3f);
    Exec("stop");
    EXPECT_FALSE(player->Playing());
    EXPECT_FALSE(Cam().IsMode(kCamSpline));
}

TEST_F(CameraTracks, NewPointGoesAfterTheCurrentOne) {
    Exec("newTrack", "t");
    for (float x : {0.0f, 10.0f, 20.0f}) PointAt("t", {x, 0, 0});
    TCameraTrack* t = Track("t");
    EXPECT_EQ(Nums(t), (std::vector<int32_t>{0, 10, 20}));
    EXPECT_EQ(t->CurrentPoint()->Num(), 20);
    // Step back to the first point: the camera takes its pose.
    Exec("prevPoint", "t");
    Exec("prevPoint", "t");
    EXPECT_EQ(t->CurrentPoint()->Num(), 0);
    EXPECT_FLOAT_EQ(Cam().GetPosition().x, 0);
    EXPECT_EQ(label, "0");
    PointAt("t", {5, 0, 0});
    EXPECT_EQ(Nums(t), (std::vector<int32_t>{0, 20, 30, 10}));
    EXPECT_EQ(t->CurrentPoint()->Num(), 10);
    EXPECT_EQ(t->CurrentPoint()->GetName(), "point_" + t->CurrentPoint()->GetHex());
    EXPECT_FLOAT_EQ(t->CurrentPoint()->KeyPoint().time, 1.0f);

    Exec("nextPoint", "t");
    EXPECT_EQ(player->CurTrack(), "t");
    EXPECT_EQ(t->CurrentPoint()->Num(), 20);
    EXPECT_FLOAT_EQ(Cam().GetPosition().x, 10);
    Cam().SetPosition({-7, 0, 0});
    Exec("overwrite");
    EXPECT_FLOAT_EQ(t->CurrentPoint()->KeyPoint().position.x, -7);
    Exec("delPoint");
    EXPECT_EQ(Nums(t), (std::vector<int32_t>{0, 30, 10}));
    EXPECT_EQ(t->CurPoint(), "");
}

TEST_F(CameraTracks, ActionsThatDoNothingOrFail) {
    Exec("pause");
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_FALSE(player->Playing());

    EXPECT_THROW(Exec("jump"), Halted);
    EXPECT_EQ(FirstFatal(), Ru("TCameraPlayer.Execute error: action- \"jump\" не используется"));
    trap.reports.clear();
    EXPECT_THROW(Exec("play"), Halted);
    EXPECT_EQ(FirstFatal(), "TCameraPlayer.playTracks error");
    trap.reports.clear();
    Exec("newTrack", "empty");
    EXPECT_THROW(Exec("play"), Halted);
    EXPECT_EQ(FirstFatal(), "TCameraTrack.play error: empty track");
}

TEST_F(CameraTracks, SaveAndLoadKeepTheTracks) {
    // The content's loader makes the nodes the file has and the tree lacks
    // from their saved classes, then reads the values back.
    Run("function loadData(path, file) "
        "  exec_table = nil dofile(file) "
        "  local function make(p, t) "
        "    for k, v in pairs(t) do "
        "      if type(v) == 'table' and v.engineType then "
        "        if engine_IsVar(p .. '.' .. k) == 0 then engine_AddVar(p, k, v.engineType) end "
        "        make(p .. '.' .. k, v) "
        "      end "
        "    end "
        "  end "
        "  make(path, exec_table) "
        "  engine_UpdateToEngine(path, 'exec_table') "
        "end");
    Exec("newTrack", "t");
    PointAt("t", {1, 2, 3});
    PointAt("t", {4, 5, 6});
    const std::string file = dir / "tracks.lua";
    Exec("save", file);
    Exec("newTrack", "extra");
    Run("engine_SetVar('cameraPlayer.loop', '1')");
    Exec("load", file);
    EXPECT_TRUE(NoLuaErrors());
    // The load clears what was there first, then brings the saved tracks back.
    EXPECT_EQ(Track("extra"), nullptr);
    TCameraTrack* t = Track("t");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->PointList().size(), 2u);
    EXPECT_FLOAT_EQ(t->PointList()[1]->KeyPoint().position.z, 6);
    Exec("play");
    EXPECT_EQ(player->KeyPoints().size(), 2u);
}

TEST_F(CameraTracks, DoTaskRunsACutSceneAndCallsBack) {
    TBaseRenderUnit* nearUnit = NewRenderUnit({0, 0, 0});
    TBaseRenderUnit* farUnit = NewRenderUnit({100, 0, 0});
    Run("engine_AddVar('obj', 'a', 'TBaseGameSceneObject') engine_AddVar('obj', 'b', "
        "'TBaseGameSceneObject')");
    Run("engine_SetVar('obj.a.hex', '" + nearUnit->GetHex() + "') engine_SetVar('obj.b.hex', '" +
        farUnit->GetHex() + "')");
    const std::string task = "cameraPlayer.doTask";
    Run("engine_AddVar('" + task +
        "', 'cinematic_type', 'TGameObjectStringParam') "
        "engine_SetVar('" +
        task +
        ".cinematic_type', 'far_near_lock') "
        "engine_AddVar('" +
        task +
        "', 'far_obj', 'TGameObjectStringParam') "
        "engine_SetVar('" +
        task +
        ".far_obj', 'obj.b') "
        "engine_AddVar('" +
        task +
        "', 'near_from', 'TGameObjectVectorParam') "
        "engine_SetVar('" +
        task +
        ".near_from.y', '-1') "
        "engine_AddVar('" +
        task +
        "', 'near_to', 'TGameObjectVectorParam') "
        "engine_SetVar('" +
        task +
        ".near_to.y', '-1') "
        "engine_AddVar('" +
        task +
        "', 'animation_time', 'TGameObjectSubParam') "
        "engine_SetVar('" +
        task +
        ".animation_time', '0.5') "
        "engine_AddVar('" +
        task +
        "', 'near_objs', 'TBaseGameObjectList') "
        "engine_AddVar('" +
        task +
        ".near_objs', 'n1', 'TGameObjectStringParam') "
        "engine_SetVar('" +
        task +
        ".near_objs.n1', 'obj.a') "
        "ended = 0 camera = {} function camera.callback() ended = ended + 1 end "
        "engine_Execute('cameraPlayer.startTask')");
    EXPECT_TRUE(NoLuaErrors());
    ASSERT_TRUE(Cam().IsMode(kCamCutScene));
    GameCamera()->Tick(30);
    EXPECT_NEAR(Cam().GetPosition().y, -1, 1e-3f);
    EXPECT_NEAR(Cam().GetLookAtPoint().x, 100, 1e-3f);
    for (int i = 0; i < 20; ++i) GameCamera()->Tick(30);
    EXPECT_EQ(Eval("ended"), "1");
    Run("engine_Execute('cameraPlayer.endTasks')");
    EXPECT_FALSE(Cam().IsMode(kCamCutScene));

    // engine_CameraOnObj follows the object's unit.
    Run("engine_CameraOnObj('b')");
    EXPECT_EQ(Cam().FirstFollowed(), farUnit);
    EXPECT_THROW(Run("engine_CameraOnObj('nothing')"), Halted);
    EXPECT_EQ(FirstFatal(), "engine_CameraOnObj: obj.nothing.hex is no render unit");
}

} // namespace
} // namespace vesk::test
