#pragma once
// The flight HUD over the real game: the player with its ship and targets as
// game objects on plain render units (the AI fixture), a camera at the origin
// looking along +X (up +Z), the interface core, a real desktop and a
// recording drawer. The content functions the HUD calls record what they are
// given.
#include <memory>
#include <string>
#include <vector>

#include "../game/ai_fixture.h"
#include "interface/desktop.h"
#include "interface/draw_target.h"
#include "interface/hud_markers.h"
#include "interface/hud_nodes.h"
#include "interface/interface_tools.h"
#include "interface/radar.h"
#include "interface/service_router.h"
#include "interface/ship_controller.h"
#include "interface/variators.h"
#include "platform/files.h"
#include "render/view_camera.h"

namespace vesk::test {

class HudTest : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        // Interface faults write tree dumps into the current folder.
        oldFolder_ = platform::CurrentFolder();
        platform::SetCurrentFolder(dir.path());
        camera = std::make_shared<BasicViewCamera>();
        camera->SetPose({0, 0, 0}, {1, 0, 0});
        SetDefaultViewCamera(camera);
        StartInterfaceCore();
        desk = TEngineObject::New<TDeskTop>();
        InterfaceTools->SetDesktop(desk);
        InterfaceDrawer = &draw;
        InterfaceTextDrawer = &draw;
        Run("sounds = '' function play_ex(e) sounds = sounds .. tostring(e) .. ';' end "
            "i_sound = { event_target_lock = 'lock', event_weapon_select = 'weapon', "
            "event_missile_select = 'missile', event_packet_use = 'packet', event_collision = 'collision', "
            "event_incoming_missile = 'missile_in', event_mine_field = 'mines', event_on_aim = 'aim', "
            "event_critical_damage = 'critical' } "
            "blur = '' function SetPPParam(e, p, v) blur = tostring(v) end "
            "rocketKm = '' function showDistanceToRocket(km) rocketKm = km end "
            "function setVar(p, v) engine_SetVar(p, v) end");
        ship = Place("pship", {0, 0, 0});
        shipAI = GiveAI(ship);
        SetPlayerShip("pship");
    }
    void TearDown() override {
        InterfaceTools->SetDesktop(nullptr);
        desk->Free();
        InterfaceDrawer = nullptr;
        InterfaceTextDrawer = nullptr;
        EndInterfaceCore();
        SetDefaultViewCamera(nullptr);
        AiTest::TearDown();
        platform::SetCurrentFolder(oldFolder_);
    }

    // A node of the class under a parent, named.
    template <class T = TMegaButton>
    T* Node(TSimpleNode* parent, const std::string& name, const std::string& cls = "TMegaButton",
            int left = 0, int top = 0, int width = 0, int height = 0) {
        TSimpleNode* n = parent->CreateChild(cls, "");
        n->SetProperty("NAME", name);
        if (TRectNode* r = n->AsRect()) {
            r->SetLeft(left);
            r->SetTop(top);
            r->SetWidth(width);
            r->SetHeight(height);
        }
        T* t = dynamic_cast<T*>(n);
        if (!t) ADD_FAILURE() << name << " is a " << n->ClassName();
        return t;
    }
    // A marker pattern of the class with its four frames (hidden) under a
    // hidden, unticked parent, as the content keeps its patterns.
    TSimpleNode* Pattern(const std::string& name, const std::string& cls) {
        if (!patterns_) {
            patterns_ = Node(desk, "patterns");
            patterns_->SetVisible(false);
            patterns_->SetTicked(false);
        }
        TSimpleNode* p = Node<TSimpleNode>(patterns_, name, cls, 0, 0, 64, 64);
        for (const char* f : {"HelperFrame", "ActiveFrame", "HelperPointer", "ActivePointer"})
            Node(p, f, "TMegaButton", -8, -8, 16, 16)->SetVisible(false);
        return p;
    }
    // The controls the desktop binds (marker layers under "spaceAH", the
    // radar, the indicator array, the timers, the map) and the marker patterns
    // of every kind; bound as the interface's upload binds them.
    void BuildHud() {
        // The layers have no size: they take no clicks of their own.
        auto* layers = Node<TAHLayer>(desk, "spaceAH", "TAHLayer");
        lamps = Node<TIndicator>(desk, "IndicatorArray", "TIndicator");
        for (const char* name : TIndicator::kNames) Node(lamps, name)->SetVisible(false);
        lamps->Execute("INIT");
        Node<TSimpleNode>(desk, "Map", "TMap");
        Node<TSimpleNode>(desk, "FOVVariator", "TVarFOV");
        Node<TSimpleNode>(desk, "GameTimer", "TGameTimer");
        Node<TSimpleNode>(desk, "CountdownTimer", "TGameTimer")->SetProperty("COUNTDOWN", "1");
        for (const char* n : {"WaypointAHLayer", "FriendAHLayer", "EnemyAHLayer"})
            Node(layers, n, "TMegaButton");
        radar = Node<TRadar>(desk, "Radar", "TRadar", 400, 600, 200, 100);
        for (const auto& [name, cls] :
             std::vector<std::pair<std::string, std::string>>{{"TESHelper", "TEnemyShipHelper"},
                                                              {"TFSHelper", "TShipHelper"},
                                                              {"TNSHelper", "TShipHelper"},
                                                              {"TWPHelper", "TAHWaypoint"},
                                                              {"TMineHelper", "TMineHelper"},
                                                              {"TEnemyRocketHelper", "TRocketHelper"}}) {
            TSimpleNode* p = Pattern(name, cls);
            for (const char* key : {"MAXDIST", "MINRADIUS", "MAXRADIUS"})
                if (cls != "TAHWaypoint") p->SetProperty(key, key == std::string("MAXDIST") ? "50000" : "20");
        }
        for (const char* n :
             {"RadarLabel_enemy", "RadarLabel_friend", "RadarLabel_Waypoint", "RadarLabel_ShipWaypoint"}) {
            TSimpleNode* p = Node<TSimpleNode>(patterns_, n, "TRadarNode");
            p->SetProperty("IMAGE", "blip");
            p->SetProperty("SELECTEDIMAGE", "blip_selected");
        }
        // The cursor the layers measure from; it takes no clicks.
        TMegaButton* cursor = Node(desk, "CursorLayer");
        cursor->SetEnabled(false);
        Node(cursor, "arrow", "TMegaButton", 0, 0, 4, 4);
        Node(cursor, "aim", "TMegaButton", 0, 0, 4, 4);
        desk->Upload();
        // The status and weapon panels' controls are missing here: their
        // binding reports them (tests of those panels build them).
        trap.reports.clear();
    }

    // engine_Serv as the scripts call it; the results joined by "|".
    std::string Serv(const std::string& args) {
        Run("serv_ = table.concat({engine_Serv(" + args + ")}, '|')");
        return Global("serv_");
    }
    // A ship placed at a point with its unit's size (a box of that half size).
    TGameObject* Target(const std::string& name, Vec3 at, float half = 0.0f) {
        TGameObject* o = Place(name, at);
        UnitOf(o)->SetBox({-half, -half, -half}, {half, half, half});
        return o;
    }
    std::string Hex(TEngineObject* o) { return std::to_string(o->GetId()); }
    // Ticks the desktop's tree.
    void Tick(int ms = 16, int times = 1) {
        for (int i = 0; i < times; ++i) TickTree(desk, ms);
    }
    TAHSelector* Marker(const std::string& name) {
        int status = 0;
        return dynamic_cast<TAHSelector*>(desk->ChildByName(name, status, true, false));
    }
    TSimpleNode* Find(const std::string& name) {
        int status = 0;
        return desk->ChildByName(name, status, true, false);
    }
    std::string Selected() { return HudObjectName(HudSelected()); }

    std::shared_ptr<BasicViewCamera> camera;
    TDeskTop* desk = nullptr;
    TRadar* radar = nullptr;
    TIndicator* lamps = nullptr;
    TDrawRecorder draw;
    TGameObject* ship = nullptr;
    BaseAIUnitClass* shipAI = nullptr;

private:
    TMegaButton* patterns_ = nullptr;
    std::string oldFolder_;
};

} // namespace vesk::test
