// The HUD node classes: indicators, bars, timers, lists, counters, the
// rocket-lock pointer, screen noise, the map and the video node, each built
// through the class registry as the interface scripts build them.
#include <gtest/gtest.h>

#include "core/services.h"
#include "game/events.h"
#include "game/game_ini_table.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "game/tree_functions.h"
#include "interface/desktop.h"
#include "interface/hud_nodes.h"
#include "interface/interface_fixture.h"
#include "interface/interface_services.h"
#include "interface/video_node.h"
#include "platform/video.h"
#include "render/render_unit.h"

namespace vesk::test {
namespace {

class HudNodeTest : public InterfaceTest {
protected:
    // Ticks the node n times by ms.
    void Ticks(TSimpleNode* n, int count, int ms) {
        for (int i = 0; i < count; ++i) TickTree(n, ms);
    }
    bool Shown(TSimpleNode* n) { return n->AsSens()->Visible(); }
};

TEST_F(HudNodeTest, IndicatorsTurnOnOffTimeOutAndTest) {
    auto* array = Add<TIndicator>(root, "IndicatorArray", "TIndicator");
    for (const char* name : TIndicator::kNames)
        if (std::string(name) != "itMissionFailed") Add(array, name)->SetVisible(false);
    array->Execute("INIT"); // "itMissionFailed" may be missing
    EXPECT_TRUE(trap.reports.empty());
    TMegaButton* fire = array->Lamp(7);
    ASSERT_NE(fire, nullptr);
    EXPECT_EQ(array->Lamp(31), nullptr);

    array->SetProperty("ACTIVEINDICATOR", "itFire");
    array->SetProperty("AUTOOFFTIME", "2000");
    array->Execute("TURNON");
    Ticks(array, 19, 100);
    EXPECT_TRUE(fire->Visible());
    Ticks(array, 1, 100);
    EXPECT_FALSE(fire->Visible());
    // Without an auto-off time an indicator stays on.
    array->TurnOn("itRepair");
    Ticks(array, 50, 100);
    EXPECT_TRUE(array->Lamp(24)->Visible());

    // The test lights each indicator in turn for about half a second.
    array->Reset();
    array->Execute("TESTON");
    Ticks(array, 6, 100); // 600 ms: the first step
    EXPECT_TRUE(array->Lamp(0)->Visible());
    Ticks(array, 6, 100);
    EXPECT_FALSE(array->Lamp(0)->Visible());
    EXPECT_TRUE(array->Lamp(1)->Visible());
    // All on stops the test and the countdowns until all off.
    array->Execute("TURNONALL");
    Ticks(array, 30, 100);
    EXPECT_TRUE(fire->Visible());
    EXPECT_TRUE(array->Lamp(0)->Visible());
    array->Reset();
    EXPECT_FALSE(fire->Visible());
    EXPECT_TRUE(array->TestMode()); // a reset leaves the test as it was
    EXPECT_EQ(Prop(array, "---"), "");

    // An unknown name is a fatal fault of the array.
    EXPECT_THROW(array->SetProperty("ACTIVEINDICATOR", "itNothing"), Halted);
    EXPECT_EQ(trap.lastFatal,
              "TIndicator.StrToIndicatorType fault: control - IndicatorArray, value - itNothing");
}

TEST_F(HudNodeTest, BarsSplitTheirWidthAndColourByTheValue) {
    auto* bar = Add<TActiveHelperBar>(root, "bar", "TActiveHelperBar");
    bar->SetWidth(200);
    bar->SetHeight(10);
    TMegaButton* b1 = Add(bar, "Bar_1");
    TMegaButton* b2 = Add(bar, "Bar_2");
    for (const char* key :
         {"DCOLOR1_100", "DCOLOR1_50", "DCOLOR1_25", "DCOLOR2_100", "DCOLOR2_50", "DCOLOR2_25"})
        bar->SetProperty(key, std::string("FF0000") + std::to_string(10 + std::string(key).size() % 10) +
                                  key[6] + key[7]);
    struct Case {
        const char* value;
        int w1, w2;
        const char* c1;
        const char* c2;
    };
    const Case cases[] = {
        {"0.3", 60, 140, "DCOLOR1_50", "DCOLOR2_50"},  {"0.5", 100, 100, "DCOLOR1_100", "DCOLOR2_100"},
        {"0.25", 50, 150, "DCOLOR1_50", "DCOLOR2_50"}, {"0.2499", 50, 150, "DCOLOR1_25", "DCOLOR2_25"},
        {"1.5", 200, 0, "DCOLOR1_100", "DCOLOR2_100"}, // kept within the bar
    };
    for (const Case& c : cases) {
        bar->SetProperty("BARVALUE", c.value);
        TickTree(bar, 10);
        EXPECT_EQ(b1->Width(), c.w1) << c.value;
        EXPECT_EQ(b1->Left(), 0) << c.value;
        EXPECT_EQ(b2->Width(), c.w2) << c.value;
        EXPECT_EQ(b2->Left(), c.w1) << c.value;
        EXPECT_EQ(b1->Height(), 10);
        EXPECT_EQ(b1->Color(),
                  bar->BarColor(TActiveHelperBar::TColorSlot(std::string(c.c1) == "DCOLOR1_100"  ? 0
                                                             : std::string(c.c1) == "DCOLOR1_50" ? 1
                                                                                                 : 2)))
            << c.value;
    }
    // A copy carries the value, the direction and the colours.
    bar->SetProperty("BARTYPE", "downup");
    Lua("engine_Desktop('insert', 'bar2', 'desktop', 'bar', 'TActiveHelperBar')");
    int status = 0;
    auto* copy = dynamic_cast<TActiveHelperBar*>(root->ChildByName("bar2", status, true, false));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Direction(), TActiveHelperBar::kDownUp);
    EXPECT_FLOAT_EQ(copy->Value(), 1.5f);
    EXPECT_EQ(copy->BarColor(TActiveHelperBar::k2Quarter), bar->BarColor(TActiveHelperBar::k2Quarter));
    EXPECT_TRUE(trap.reports.empty());
    bar->SetProperty("BARTYPE", "SIDEWAYS");
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].text,
              "TActiveHelperBar.SetProperty fault: property - BARTYPE, value - SIDEWAYS");
    EXPECT_EQ(trap.reports[0].flags, "m");
}

TEST_F(HudNodeTest, GameTimersCountUpAndDown) {
    auto* up = Add<TGameTimer>(root, "GameTimer", "TGameTimer");
    up->SetProperty("TIMER", "90");
    Ticks(up, 15, 100);
    EXPECT_EQ(up->Seconds(), 91);
    EXPECT_EQ(up->Text(), "1:31");

    auto* down = Add<TGameTimer>(root, "CountdownTimer", "TGameTimer");
    down->SetProperty("COUNTDOWN", "1");
    down->SetProperty("TIMER", "2");
    EXPECT_TRUE(down->Visible());
    TickTree(down, 450);
    EXPECT_EQ(down->Text(), "0:01:55");
    Ticks(down, 2, 800);
    EXPECT_EQ(down->TimeMs(), 0);
    EXPECT_FALSE(down->Visible());
    down->SetProperty("TIMER", "5");
    down->Execute("STOPTIMER");
    EXPECT_EQ(down->TimeMs(), 0);
    EXPECT_FALSE(down->Visible());
}

TEST_F(HudNodeTest, NoiseCyclesItsFramesAndSplashes) {
    auto* noise = Add<TNoiseGenerator>(root, "noise", "TNoiseGenerator");
    TickTree(noise, 16); // no frames: nothing to do
    std::vector<TMegaButton*> frames;
    for (const char* name : {"n1", "n2", "n3"}) frames.push_back(Add(noise, name));
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        TickTree(noise, 100);
        for (int f = 0; f < 3; ++f)
            if (frames[size_t(f)]->Visible()) shown.push_back(f);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1}));

    noise->SetProperty("NOISELEVEL", "80");
    noise->SetProperty("SPLASHTIME", "500");
    noise->Execute("SPLASH");
    auto shownOpacity = [&] { return frames[size_t(noise->FrameIndex())]->OwnOpacity(); };
    Ticks(noise, 4, 100);
    EXPECT_FLOAT_EQ(shownOpacity(), 0.8f); // the shown frame keeps the noise level
    TickTree(noise, 100);
    EXPECT_EQ(noise->NoiseLevel(), 5);
    EXPECT_FLOAT_EQ(shownOpacity(), 0.05f);
    noise->SetProperty("NOISELEVEL", "150"); // applied as given; only a splash caps it
    EXPECT_EQ(Prop(noise, "NOISELEVEL"), "150");
    noise->Splash(150, 100);
    EXPECT_EQ(noise->NoiseLevel(), 100);
}

TEST_F(HudNodeTest, ListsShowTheirLinesAsRows) {
    auto* list = Add<TListNode>(root, "list", "TMissionList");
    list->SetProperty("ADDLINE", "Reach the gate");
    list->SetProperty("ADDLINE", "Escort the freighter");
    EXPECT_EQ(list->Text(), "Reach the gate#REscort the freighter");
    EXPECT_EQ(Prop(list, "LINECOUNT"), "2");
    list->Execute("CLEAR");
    EXPECT_EQ(list->Text(), "");
}

TEST_F(HudNodeTest, MovingNodeGlidesTowardsItsTargetWithoutOvershooting) {
    auto* pointer = Add<TMovingNode>(root, "RocketLockAnimPointer", "TMovingNode");
    pointer->SetProperty("SPEED", "10");
    TMegaButton* marker = Button(root, "marker", 520, 383, 10, 10);
    // Away from the centre: it travels from where it is.
    pointer->SetLeft(500);
    pointer->SetTop(383);
    TickTree(pointer, 0);
    pointer->SetTarget(marker);
    const float x0 = pointer->X();
    TickTree(pointer, 100);
    EXPECT_NEAR(pointer->X() - x0, 1.0f, 1e-4); // 10 pixels a second, arrived flag still set
    for (int i = 0; i < 40; ++i) TickTree(pointer, 100);
    EXPECT_FLOAT_EQ(pointer->X(), 519.0f); // stops within the arrival distance, never past the target
    EXPECT_TRUE(pointer->Arrived());

    // From the centre a new target starts it the approach distance short of it.
    auto* fresh = Add<TMovingNode>(root, "p2", "TMovingNode");
    fresh->SetProperty("APPROACHDIST", "100");
    TMegaButton* far = Button(root, "far", 811, 383, 10, 10);
    fresh->SetTarget(far);
    EXPECT_EQ(fresh->Left(), 711);
    EXPECT_EQ(fresh->Top(), 383);
    EXPECT_TRUE(fresh->Visible());
}

// The player, its ship and an enemy made directly in the game-object tree.
class HudGameTest : public HudNodeTest {
protected:
    void SetUp() override {
        HudNodeTest::SetUp();
        RegisterGameTreeClasses();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        player = NewGameObject<TBaseGameObjectList>("player", GlobalObjects);
        ship = NewGameObject<TBaseGameObjectList>("pship", GlobalObjects);
        NewGameObject<TGameObjectFreeLink>("ship", player)->setValue(ship);
        rocketTarget = NewGameObject<TGameObjectFreeLink>("rocketTarget", ship);
        auto* stats = NewGameObject<TBaseGameObjectList>("statistics", player);
        frags = NewGameObject<TGameObjectIntParam>("destroyedEnemyCounter", stats);
        enemy = NewGameObject<TBaseGameObjectList>("enemy", GlobalObjects);
        auto* block = NewGameObject<TBaseGameObjectList>("param", enemy);
        shield = NewGameObject<TGameObjectParam>("shield", block);
        shield->Max()->setValue(50.0f);
        shield->Cur()->setValue(25.0f);
    }
    void TearDown() override {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        HudNodeTest::TearDown();
        ObjManagersManager.reset();
    }
    std::string Hex(TEngineObject* o) { return std::to_string(o->GetId()); }

    TBaseGameObject* player = nullptr;
    TBaseGameObject* ship = nullptr;
    TBaseGameObject* enemy = nullptr;
    TGameObjectFreeLink* rocketTarget = nullptr;
    TGameObjectIntParam* frags = nullptr;
    TGameObjectParam* shield = nullptr;
};

TEST_F(HudGameTest, CountersReadTheGameThroughTheTree) {
    auto* fragsLabel = Add<TLabelNode>(root, "frags", "TFragCounterNode");
    for (const auto& [count, shown] : {std::pair{0, "000"}, std::pair{7, "007"}, std::pair{123, "123"}}) {
        frags->setValue(count);
        TickTree(fragsLabel, 16);
        EXPECT_EQ(fragsLabel->Text(), shown);
    }

    auto* prop = Add<TGamePropertyNode>(root, "shield", "TGamePropertyNode");
    TickTree(prop, 16);
    EXPECT_EQ(prop->Text(), "ParamObj=nil");
    prop->SetProperty("PARAMID", "shield"); // before the object: bound when it arrives
    prop->SetProperty("OBJPOINTER", Hex(enemy));
    prop->SetProperty("VISUALMODE", "percent");
    TickTree(prop, 16);
    EXPECT_EQ(prop->Text(), "50%");
    prop->SetProperty("VISUALMODE", "Digit");
    shield->Cur()->setValue(-3.0f);
    TickTree(prop, 16);
    EXPECT_EQ(prop->Text(), "0");
    EXPECT_THROW(prop->SetProperty("VISUALMODE", "BARS"), Halted);
    EXPECT_EQ(trap.lastFatal,
              "TGamePropertyNode.SetProperty fault: control - shield, property - VISUALMODE, value - BARS");
    EXPECT_EQ(prop->VisualMode(), TGamePropertyNode::kDigit);

    auto* distance = Add<TLabelNode>(root, "range", "TDistanceNode");
    TickTree(distance, 16);
    EXPECT_EQ(distance->Text(), "GameObj=nil");
}

// What the HUD takes for the player, its ship and its selection follows the
// tree: a relinked ship, a ship link of another kind, a new player.
TEST_F(HudGameTest, ThePlayersShipAndSelectionFollowTheTree) {
    EXPECT_EQ(HudPlayer(), player);
    EXPECT_EQ(HudPlayerShip(), ship);
    EXPECT_EQ(HudSelected(), nullptr);
    auto* selected = NewGameObject<TGameObjectFreeLink>("selected", player);
    selected->setValue(enemy);
    EXPECT_EQ(HudSelected(), enemy);
    static_cast<TGameObjectFreeLink*>(player->FindChild("ship"))->setValue(enemy);
    EXPECT_EQ(HudPlayerShip(), enemy);
    player->FindChild("ship")->Delete();
    EXPECT_EQ(HudPlayerShip(), nullptr);
    NewGameObject<TGameObjectFreeLink>("ship", player)->setValue(ship);
    EXPECT_EQ(HudPlayerShip(), ship);
    selected->SetName("was_selected");
    EXPECT_EQ(HudSelected(), nullptr);

    player->Delete();
    EXPECT_EQ(HudPlayer(), nullptr);
    EXPECT_EQ(HudPlayerShip(), nullptr);
    auto* next = NewGameObject<TBaseGameObjectList>("player", GlobalObjects);
    NewGameObject<TGameObjectFreeLink>("ship", next)->setValue(enemy);
    EXPECT_EQ(HudPlayer(), next);
    EXPECT_EQ(HudPlayerShip(), enemy);
}

TEST_F(HudGameTest, ParameterBarsBindInEitherOrder) {
    for (bool paramFirst : {true, false}) {
        auto* bar = Add<TAHObjParamBar>(root, paramFirst ? "b1" : "b2", "TAHObjParamBar");
        bar->SetWidth(100);
        if (paramFirst) bar->SetProperty("PARAMID", "shield");
        bar->SetProperty("OBJPOINTER", Hex(enemy));
        if (!paramFirst) bar->SetProperty("PARAMID", "shield");
        shield->Cur()->setValue(10.0f);
        TickTree(bar, 16);
        EXPECT_EQ(bar->Object(), shield) << paramFirst;
        EXPECT_FLOAT_EQ(bar->Value(), 0.2f) << paramFirst;
    }
}

TEST_F(HudGameTest, ArrivingPointerLocksTheRocketTarget) {
    auto* pointer = Add<TMovingNode>(root, "pointer", "TMovingNode");
    pointer->SetProperty("SPEED", "1000");
    auto* marker = Add<TObjectNode>(root, "mark", "TMegaButton");
    marker->SetLeft(600);
    marker->SetTop(383);
    marker->SetObject(enemy);
    pointer->SetLeft(590);
    pointer->SetTarget(marker);
    for (int i = 0; i < 10; ++i) TickTree(pointer, 100);
    EXPECT_EQ(rocketTarget->GetValue(), enemy);
    EXPECT_FALSE(pointer->Visible());
    // Locked: the pointer stays on the marker wherever it moves.
    marker->SetLeft(700);
    TickTree(pointer, 100);
    EXPECT_EQ(pointer->Left(), 700);
}

TEST_F(HudGameTest, DistanceAndTargetedCountersReadTheSceneObjects) {
    auto unitAt = [](float x) {
        TBaseRenderUnit* u = TBaseRenderUnit::Create(nullptr);
        u->SetPosition({x, 0, 0});
        u->UpdateMatrices(nullptr);
        return u;
    };
    auto* own = NewGameObject<TBaseGameSceneObject>("own", GlobalObjects);
    auto* other = NewGameObject<TBaseGameSceneObject>("other", GlobalObjects);
    TBaseRenderUnit* ownUnit = unitAt(0);
    TBaseRenderUnit* otherUnit = unitAt(250.6f);
    own->Hex()->setValue(ownUnit);
    other->Hex()->setValue(otherUnit);
    dynamic_cast<TGameObjectFreeLink*>(player->FindChild("ship"))->setValue(own);

    auto* range = Add<TLabelNode>(root, "range", "TDistanceNode");
    range->SetProperty("OBJPOINTER", Hex(other));
    TickTree(range, 16);
    // The distance between the surfaces: the centres less both spheres' radii.
    const float radii = ownUnit->GetBSphereRadius() + otherUnit->GetBSphereRadius();
    ASSERT_GT(radii, 0.0f);
    EXPECT_EQ(range->Text(), std::to_string(static_cast<int>(250.6f - radii)));
    otherUnit->SetPosition({0, 0, 0});
    otherUnit->UpdateMatrices(nullptr);
    TickTree(range, 16);
    EXPECT_EQ(range->Text(), "0"); // overlapping spheres are touching, not a negative distance

    // Entries of the "targeted" list that hold an object are counted; none shows nothing.
    auto* targeted = NewGameObject<TBaseGameObjectList>("targeted", other);
    NewGameObject<TGameObjectFreeLink>("a", targeted)->setValue(enemy);
    NewGameObject<TGameObjectFreeLink>("b", targeted);
    NewGameObject<TGameObjectFreeLink>("c", targeted)->setValue(ship);
    auto* count = Add<TLabelNode>(root, "count", "TTargetedCounterNode");
    count->SetText("kept");
    TickTree(count, 16);
    EXPECT_EQ(count->Text(), "kept"); // without an object the text stays
    count->SetProperty("OBJPOINTER", Hex(other));
    TickTree(count, 16);
    EXPECT_EQ(count->Text(), "2");
    count->SetProperty("OBJPOINTER", Hex(enemy));
    TickTree(count, 16);
    EXPECT_EQ(count->Text(), "");
    ownUnit->Free();
    otherUnit->Free();
}

TEST_F(HudGameTest, MapPlacesMarkersByItsOffsetsAngleAndScale) {
    auto* map = Add<TMap>(root, "Map", "TMap");
    TImageNode* picture = Add<TImageNode>(root, "TacticMap", "TImageNode");
    Add(root, "markPattern")->SetWidth(8);
    EXPECT_EQ(map->MapPoint(610, 0), (TIPoint{1, 0})); // offsets 90, 0 and scale 1/700

    map->SetMap("maps\\sector", 10, 20, 90, 100);
    EXPECT_EQ(picture->Image(), "maps\\sector");
    // (x + 10, y + 20) turned by 90 degrees: (y', -x'), then a hundredth.
    EXPECT_EQ(map->MapPoint(290, 480), (TIPoint{5, -3}));
    map->SetMap("maps\\sector", 0, 0, 0, 0); // a zero divisor keeps the scale
    EXPECT_FLOAT_EQ(map->ScaleFactor(), 0.01f);

    TSimpleNode* fixed = map->AddMarker("base", "markPattern", "", 40, 50);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->ClassName(), "TMegaButton");
    EXPECT_EQ(Prop(fixed, "LEFT"), "40");
    EXPECT_EQ(Prop(fixed, "WIDTH"), "8");
    NewGameObject<TGameObjectStringParam>("list_icon", enemy)->setValue(std::string("E"));
    TSimpleNode* moving = map->AddMarker("foe", "markPattern", Hex(enemy), 0, 0);
    ASSERT_NE(moving, nullptr);
    EXPECT_EQ(moving->ClassName(), "TMapNode");
    EXPECT_EQ(Prop(moving, "TEXT"), "E");
    EXPECT_EQ(dynamic_cast<TMapNode*>(moving)->Object(), enemy);
    map->DelMarker("base");
    int status = 0;
    EXPECT_EQ(map->ChildByName("base", status, true, false), nullptr);
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_THROW(map->AddMarker("lost", "markPattern", "99999999", 0, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "TMap.AddMarker fault: _object=nil");
}

// The counter keeps its lookups by name from frame to frame; whatever the
// scripts replace, add or take away along its path it reads as a fresh
// lookup would: a new counter, a second one of the same name, a new
// statistics node, none at all.
TEST_F(HudGameTest, CounterFollowsTheNodesOnItsPath) {
    auto* label = Add<TLabelNode>(root, "frags", "TFragCounterNode");
    auto shows = [&](const char* text) {
        TickTree(label, 16);
        EXPECT_EQ(label->Text(), text);
    };
    frags->setValue(4);
    shows("004");
    TBaseGameObject* stats = frags->GetParent();
    frags->Delete();
    shows("000");
    NewGameObject<TGameObjectIntParam>("destroyedEnemyCounter", stats)->setValue(5);
    shows("005");
    NewGameObject<TGameObjectIntParam>("destroyedEnemyCounter", stats)->setValue(6);
    shows("006");
    stats->Delete();
    shows("000");
    auto* fresh = NewGameObject<TBaseGameObjectList>("statistics", player);
    NewGameObject<TGameObjectIntParam>("destroyedEnemyCounter", fresh)->setValue(8);
    shows("008");
    fresh->SetParent(ship);
    shows("000");
    fresh->SetParent(player);
    shows("008");
}

TEST_F(HudGameTest, MissionListShowsTheOpenObjectives) {
    auto* objectives = NewGameObject<TBaseGameObjectList>("objectives", player);
    NewGameObject<TGameObjectStringParam>("o1", objectives)->setValue(std::string("Find the beacon"));
    auto* list = Add<TListNode>(root, "missions", "TMissionList");
    TickTree(list, 16);
    EXPECT_EQ(list->Lines(), (std::vector<std::string>{"Find the beacon"}));
}

TEST_F(HudNodeTest, VideoNodeRunsItsCallbackWhenAClipEnds) {
    platform::SetVideoDecoderFactory([] {
        platform::NullVideoConfig c;
        c.openAnyName = true;
        return platform::CreateNullVideoDecoder(c);
    });
    Lua("tmp = {} function setHook() end function emptyHook() end"); // what the scripts give events
    platform::CreateFolders(dir / "data/video");
    platform::WriteFile(dir / "data/video/intro.avi", "clip");
    auto* video = Add<TVideoNode>(root, "VideoPlayer", "TVideoNode");
    video->SetLeft(10);
    video->SetWidth(100);
    video->SetHeight(50);
    EXPECT_EQ(video->EndEvent()->EventCode()->GetValue(), TVideoNode::kDefaultCallback);
    video->SetProperty("CALLBACK", "loop"); // lower case is a Lua text, not looping
    EXPECT_FALSE(video->Loop());
    video->SetProperty("CALLBACK", "ended = 'intro'");
    video->SetProperty("VIDEOCLIP", "data/video/intro.avi");
    ASSERT_NE(video->Video(), nullptr);
    EXPECT_TRUE(video->Video()->Playing());
    DrawTree(video);
    EXPECT_EQ(draw.calls.back(), "video data/video/intro.avi 10 0 110 50");
    // The same clip again does not restart it.
    video->Video()->SetPosition(0.5);
    video->SetProperty("VIDEOCLIP", "data/video/intro.avi");
    EXPECT_DOUBLE_EQ(video->Video()->GetPosition(), 0.5);
    // The end of the clip runs the callback and empties the node.
    video->Video()->SetPosition(video->Video()->GetStopTime());
    video->Video()->UpdateTick(16);
    EXPECT_EQ(Global("ended"), "intro");
    EXPECT_EQ(video->Content(), "");
    draw.calls.clear();
    DrawTree(video);
    EXPECT_TRUE(draw.calls.empty());

    // Looping clips run no text.
    video->SetProperty("CALLBACK", "LOOP");
    EXPECT_TRUE(video->Loop());
    EXPECT_EQ(video->EndEvent()->EventCode()->GetValue(), "");
    platform::SetVideoDecoderFactory(nullptr);
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

// The desktop plays its videos on the "VideoPlayer" video node.
TEST(DesktopVideo, PlaysOnTheVideoPlayerNodeAndRunsTheHandlerAtItsEnd) {
    ErrorTrap trap;
    TempDir dir;
    const std::string oldFolder = platform::CurrentFolder();
    platform::SetCurrentFolder(dir.path());
    platform::WriteFile(dir / "intro.avi", "clip");
    platform::SetVideoDecoderFactory([] {
        platform::NullVideoConfig c;
        c.openAnyName = true;
        return platform::CreateNullVideoDecoder(c);
    });
    if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    CreateLuaMachine();
    CoreServices services;
    InstallInterfaceServices(services);
    services.desktop->InitCore();
    services.desktop->Create();
    TDeskTop* desk = CurrentDesktop();
    desk->links.setting = [](const std::string& key) { return key == "playvideo" ? std::string("1") : ""; };
    LuaMachine->RunString("tmp = {} function setHook() end function emptyHook() end "
                          "iSubtitles = { Stop = function() stopped = 1 end } "
                          "engine_Desktop('insert', 'VideoPlayer', 'desktop', '', 'TVideoNode')");
    int status = 0;
    auto* player = dynamic_cast<TVideoNode*>(desk->ChildByName("VideoPlayer", status, true, false));
    ASSERT_NE(player, nullptr);

    desk->PlayVideo("intro.avi", "played = 1");
    EXPECT_TRUE(desk->VideoRunning());
    ASSERT_NE(player->Video(), nullptr);
    EXPECT_TRUE(player->Video()->Playing());
    player->Video()->SetPosition(player->Video()->GetStopTime());
    player->Video()->UpdateTick(16);
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "played");
    lua_getglobal(L, "stopped");
    EXPECT_EQ(lua_tonumber(L, -2), 1);
    EXPECT_EQ(lua_tonumber(L, -1), 1);
    lua_pop(L, 2);

    // The lag limit from the settings caps the frame timer; 0 would cut every frame to nothing.
    desk->links.setMaxLag(0);
    EXPECT_EQ(InterfaceTools->MaxFrameTime(), TiTools::kDefaultMaxFrameMs);
    desk->links.setMaxLag(40);
    EXPECT_EQ(InterfaceTools->MaxFrameTime(), 40);

    desk->PlayVideo("intro.avi", "LOOP");
    EXPECT_TRUE(player->Loop());
    desk->StopVideo();
    EXPECT_EQ(player->Content(), "");
    EXPECT_FALSE(desk->VideoRunning());
    EXPECT_TRUE(trap.reports.empty());

    services.desktop->Release();
    services.desktop->FreeCore();
    TEODestroyManager->Flush();
    FreeLuaMachine();
    platform::SetVideoDecoderFactory(nullptr);
    platform::SetCurrentFolder(oldFolder);
}

} // namespace
} // namespace vesk::test
