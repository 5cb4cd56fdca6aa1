// HUD markers and their layers over real game objects seen by a camera at the
// origin looking along +X: where a marker stands and which frame it shows,
// its flash, fading, reach and frame sizes, the enemy's warnings and rocket
// lock, and target selection through engine_Serv.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "game/game_objects.h"
#include "hud_fixture.h"

namespace vesk::test {
namespace {

class HudMarkersTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        BuildHud();
    }
    // An enemy ship with its marker (made through engine_Serv), placed at a point.
    TAHSelector* Enemy(const std::string& name, Vec3 at) {
        TGameObject* o = Target(name, at);
        Serv("'HELPER', 'ADD', 'ENEMY', '" + Hex(o) + "'");
        return Marker(name);
    }
    static bool Shown(TSimpleNode* n) { return n && n->AsSens()->Visible(); }
};

// The game's own player: its ship and selection as its links hold them now.
TEST_F(HudMarkersTest, TheGamesPlayerShipAndSelectionFollowTheirLinks) {
    EXPECT_EQ(HudPlayerShip(), ship);
    TGameObject* other = Place("other", {100, 0, 0});
    SetPlayerShip("other");
    EXPECT_EQ(HudPlayerShip(), other);
    HudSetSelected(ship);
    EXPECT_EQ(HudSelected(), ship);
    HudSetSelected(other);
    EXPECT_EQ(HudSelected(), other);
    SetPlayerShip("");
    EXPECT_EQ(HudPlayerShip(), nullptr);
    SetPlayerShip("pship");
    EXPECT_EQ(HudPlayerShip(), ship);
}

TEST_F(HudMarkersTest, MarkersFollowTheirObjectOnAndOffTheScreen) {
    TAHSelector* ahead = Enemy("ahead", {1000, 0, 0});
    TAHSelector* side = Enemy("side", {1000, 3000, 0});
    TAHSelector* behind = Enemy("behind", {-1000, 0, 5});
    ASSERT_TRUE(ahead && side && behind);
    EXPECT_EQ(ahead->State(), TAHSelector::kHidden); // until its first tick
    Tick();

    // In view: the frame, at the object's point (the screen centre).
    EXPECT_EQ(ahead->State(), TAHSelector::kFrame);
    EXPECT_NEAR(ahead->Left(), 511, 1);
    EXPECT_NEAR(ahead->Top(), 383, 1);
    EXPECT_TRUE(Shown(ahead->HelperFrame()));
    EXPECT_FALSE(Shown(ahead->HelperPointer()));
    EXPECT_EQ(ahead->DistanceKey(), 1000);

    // Off to the side and behind the camera: a pointer on the screen border,
    // turned towards the object, never a frame.
    for (TAHSelector* m : {side, behind}) {
        SCOPED_TRACE(m->Name());
        EXPECT_EQ(m->State(), TAHSelector::kPointer);
        EXPECT_TRUE(m->Left() <= 9 || m->Left() >= 1014 || m->Top() <= 9 || m->Top() >= 758)
            << m->Left() << " " << m->Top();
        EXPECT_TRUE(Shown(m->HelperPointer()));
        EXPECT_FALSE(Shown(m->HelperFrame()));
    }
    const float angle =
        std::atan(static_cast<float>(side->Top() - 383) / static_cast<float>(side->Left() - 511)) +
        (side->Left() > 511 ? -kPi : 0.0f) + kPi / 2;
    EXPECT_FLOAT_EQ(side->HelperPointer()->Angle(), angle);

    // The selected object gets the active frame, or off screen the active pointer.
    Run("engine_SetVar('player.selected', 'ahead')");
    Tick();
    EXPECT_EQ(ahead->State(), TAHSelector::kActiveFrame);
    EXPECT_TRUE(ahead->Selected());
    EXPECT_TRUE(Shown(ahead->ActiveFrame()));
    EXPECT_FALSE(Shown(ahead->HelperFrame()));
    Run("engine_SetVar('player.selected', 'behind')");
    Tick();
    EXPECT_EQ(behind->State(), TAHSelector::kActivePointer);
    EXPECT_EQ(ahead->State(), TAHSelector::kFrame);

    // Without the player's ship (destroyed, or not there yet) the markers hide
    // and the game goes on; with it they come back.
    Run("engine_SetVar('player.ship', '')");
    Tick();
    EXPECT_EQ(ahead->State(), TAHSelector::kHidden);
    EXPECT_FALSE(Shown(ahead->HelperFrame()));
    EXPECT_TRUE(trap.reports.empty());
    SetPlayerShip("pship");
    Tick();
    EXPECT_EQ(ahead->State(), TAHSelector::kFrame);
}

TEST_F(HudMarkersTest, PointersAreDrawnTurnedTowardsTheirObject) {
    // The pointer's picture points up as drawn; the marker turns it towards
    // its object, clockwise on the screen about the pointer's centre.
    int status = 0;
    Find("TESHelper")->ChildByName("HelperPointer", status, false, false)->SetProperty("IMAGE", "arrow");
    struct Case {
        const char* name;
        Vec3 at;
        float angle, turn;
    };
    // Straight above and below the centre the pointer stands on the middle
    // column, where the slope from the centre has no value.
    const Case cases[] = {
        {"right", {1000, -3000, 0}, -kPi / 2, kPi / 2},
        {"left", {1000, 3000, 0}, kPi / 2, -kPi / 2},
        {"above", {1000, 0, 3000}, kPi, 0},
        {"below", {1000, 0, -3000}, 0, -kPi},
    };
    for (const Case& c : cases) Enemy(c.name, c.at);
    Tick();
    DrawTree(desk);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TAHSelector* m = Marker(c.name);
        ASSERT_EQ(m->State(), TAHSelector::kPointer);
        EXPECT_NEAR(m->HelperPointer()->Angle(), c.angle, 1e-5);
        const TIRect dest{m->Left() - 8, m->Top() - 8, m->Left() + 8, m->Top() + 8};
        auto drawn = std::find_if(draw.images.begin(), draw.images.end(), [&](const TImageDraw& d) {
            return d.texture == "arrow" && d.dest == dest;
        });
        ASSERT_NE(drawn, draw.images.end());
        EXPECT_NEAR(std::remainder(drawn->turn - c.turn, 2 * kPi), 0.0f, 1e-5);
        if (c.turn != 0) {
            EXPECT_FLOAT_EQ(drawn->pivotX, static_cast<float>(m->Left()));
            EXPECT_FLOAT_EQ(drawn->pivotY, static_cast<float>(m->Top()));
        }
    }
    // Unturned, the picture is drawn as it always was.
    EXPECT_NE(
        std::find(draw.calls.begin(), draw.calls.end(), "image arrow 503 0 519 16 from 0 0 0 0 FFFFFFFF"),
        draw.calls.end());
}

TEST_F(HudMarkersTest, MarkerPropertiesFlashColourAndEndIt) {
    TAHSelector* m = Enemy("e1", {1000, 0, 0});
    Tick();
    m->SetProperty("FLASHTIMER", "500");
    EXPECT_TRUE(m->Marked());
    EXPECT_TRUE(m->HelperFrame()->Flashing());
    Tick(100, 4);
    EXPECT_TRUE(m->Marked());
    Tick(100, 1);
    EXPECT_FALSE(m->Marked());
    EXPECT_FALSE(m->HelperFrame()->Flashing());
    m->SetProperty("FLASHTIMER", "soon"); // no number: marked, no time left to run
    EXPECT_TRUE(m->Marked());
    EXPECT_EQ(m->FlashTime(), 0);

    m->SetProperty("COLOR", "FF102030");
    for (TMegaButton* f : {m->HelperFrame(), m->ActiveFrame(), m->HelperPointer(), m->ActivePointer()})
        EXPECT_EQ(f->Color(), 0xFF102030u);

    m->SetProperty("MAXDIST", "far");
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports.back().text, "EnemyShipHelper.SetProperty fault: property - MAXDIST, value - far");
    EXPECT_EQ(trap.reports.back().flags, "m");

    m->SetProperty("HELPEROFF", "0");
    EXPECT_FALSE(m->InDestroyQueue());
    m->SetProperty("HELPEROFF", "1");
    EXPECT_TRUE(m->InDestroyQueue());
}

TEST_F(HudMarkersTest, WaypointFadesOnTheWayInAndStaysHiddenOnceReached) {
    TGameObject* wp = Target("wp", {400, 0, 0});
    TSimpleNode* pattern = Find("TWPHelper");
    pattern->SetProperty("MINDIST", "100");
    pattern->SetProperty("FADEDIST", "300");
    Serv("'HELPER', 'ADD', 'WAYPOINT', '" + Hex(wp) + "'");
    TAHSelector* m = Marker("wp");
    ASSERT_NE(m, nullptr);
    struct Case {
        float x;
        float opacity; // the active frame's
        bool hidden;
    };
    const Case cases[] = {
        {400, 1.0f, false}, {200, 0.5f, false}, {250, 0.75f, false}, {100, 0.75f, true}, {50, 0.75f, true}};
    for (const Case& c : cases) {
        Move(wp, {c.x, 0, 0});
        Tick(16, 3);
        EXPECT_EQ(m->State() == TAHSelector::kHidden, c.hidden) << c.x;
        EXPECT_FLOAT_EQ(m->ActiveFrame()->OwnOpacity(), c.opacity) << c.x;
        if (!c.hidden) {
            EXPECT_FLOAT_EQ(m->HelperFrame()->OwnOpacity(), c.opacity) << c.x;
        } else { // a waypoint reached shows no frame between ticks either
            EXPECT_FALSE(Shown(m->HelperFrame())) << c.x;
        }
    }
}

TEST_F(HudMarkersTest, SizedMarkersHideOutOfReachAndSizeTheirFrames) {
    TGameObject* rocket = Target("rocket", {3, 0, 0});
    TSimpleNode* rocketPattern = Find("TEnemyRocketHelper");
    rocketPattern->SetProperty("MAXDIST", "2000");
    Serv("'HELPER', 'ADD', 'ENEMYROCKET', '" + Hex(rocket) + "'");
    TAHSelector* r = Marker("rocket");
    ASSERT_NE(r, nullptr);
    struct Case {
        float x;
        bool hidden;
    };
    for (const Case& c : {Case{3, true}, Case{1000, false}, Case{2500, true}}) {
        Move(rocket, {c.x, 0, 0});
        Tick();
        EXPECT_EQ(r->State() == TAHSelector::kHidden, c.hidden) << c.x;
    }
    // Its frame's size is the object's size on screen kept between the radii (20 .. 20 here).
    Move(rocket, {1000, 0, 0});
    Tick();
    EXPECT_EQ(r->HelperFrame()->Width(), 20);
    EXPECT_EQ(r->HelperFrame()->Left(), -10);

    // A ship's frame keeps a margin of 5 round its picture.
    TSimpleNode* shipPattern = Find("TFSHelper");
    shipPattern->SetProperty("MINRADIUS", "30");
    shipPattern->SetProperty("MAXRADIUS", "60");
    shipPattern->SetProperty("ANITIMER", "200");
    auto* fsPattern = dynamic_cast<TAHSelector*>(shipPattern);
    ASSERT_NE(fsPattern, nullptr);
    fsPattern->BindFrames();
    Node(fsPattern->HelperFrame(), "picture");
    TGameObject* friendly = Target("wing", {1000, 0, 0}, 10);
    Serv("'HELPER', 'ADD', 'FRIEND', '" + Hex(friendly) + "'");
    TAHSelector* f = Marker("wing");
    Tick();
    TMegaButton* frame = f->HelperFrame();
    const int w = frame->Width() - 10;
    EXPECT_GE(w, 30);
    EXPECT_LE(w, 60);
    EXPECT_EQ(frame->Height(), w + 10); // the marker is square
    EXPECT_EQ(frame->Left(), -(w + 10) / 2);
    TRectNode* inner = frame->ChildAt(0)->AsRect();
    EXPECT_EQ(inner->Left(), 5);
    EXPECT_EQ(inner->Width(), w);

    // Selected: the active frame zooms in over ANITIMER, centred on the point.
    Run("engine_SetVar('player.selected', 'wing')");
    Tick(100);
    EXPECT_EQ(f->ActiveFrame()->Width(), 32); // half of 64 after 100 of 200 ms
    EXPECT_EQ(f->ActiveFrame()->Left(), -16);
    Tick(100, 2);
    EXPECT_EQ(f->ActiveFrame()->Width(), 64);
}

TEST_F(HudMarkersTest, EnemyMarkerWarnsAndDrawsTheRocketLock) {
    TAHSelector* m = Enemy("raider", {1000, 0, 0});
    for (const char* n : {"AttackPlayerShip", "AttackFriendShip"})
        Node(m->HelperFrame(), n)->SetVisible(false);
    Node(m->ActiveFrame(), "_RocketLock")->SetVisible(false);
    TMegaButton* speed = Node(m->ActiveFrame(), "e_Speed");
    auto* pointer = Node<TMovingNode>(desk, "RocketLockAnimPointer", "TMovingNode");
    Tick();
    EXPECT_FALSE(Shown(Find("AttackPlayerShip")));
    // The raider attacks the player: it is in the ship's "targeted" list.
    dynamic_cast<TSmartList*>(ship->FindChild("targeted"))->Add(FindVarByPath("obj.raider"));
    Tick();
    EXPECT_TRUE(Shown(Find("AttackPlayerShip")));
    EXPECT_FALSE(Shown(Find("AttackFriendShip")));

    // Selected near the screen centre it draws the rocket-lock pointer.
    Run("engine_SetVar('player.selected', 'raider')");
    Tick();
    auto* raider = dynamic_cast<TEnemyShipHelper*>(m);
    ASSERT_NE(raider, nullptr);
    EXPECT_TRUE(raider->RocketLockCandidate());
    EXPECT_EQ(pointer->GetTarget(), m);
    EXPECT_EQ(speed->Text(), "0");
    HudSetRocketTarget(FindVarByPath("obj.raider"));
    Tick();
    EXPECT_TRUE(Shown(Find("_RocketLock")));
    // Out of the lock circle: the pointer goes back and the lock is lost.
    Move(FindVarByPath("obj.raider"), {1000, 900, 0});
    Tick();
    EXPECT_FALSE(raider->RocketLockCandidate());
    EXPECT_EQ(pointer->GetTarget(), nullptr);
    EXPECT_EQ(HudRocketTarget(), nullptr);
}

TEST_F(HudMarkersTest, HelpersAreMadeInTheirLayersWithRadarBlips) {
    TGameObject* enemy = Target("raider", {1000, 0, 0});
    Run("engine_SetVar('obj.raider.name', 'Red Raider')");
    auto* pattern = dynamic_cast<TAHSelector*>(Find("TESHelper"));
    pattern->BindFrames();
    Node(pattern->ActiveFrame(), "Durability");
    Serv("'HELPER', 'ADD', 'ENEMY', '" + Hex(enemy) + "'");
    TAHSelector* m = Marker("raider");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->ClassName(), "TEnemyShipHelper");
    EXPECT_EQ(m->Parent()->Name(), "EnemyAHLayer");
    EXPECT_EQ(m->Object(), enemy);
    EXPECT_EQ(m->ActiveFrame()->Text(), "Red Raider");
    EXPECT_EQ(dynamic_cast<TObjectNode*>(Find("Durability"))->Object(), enemy);
    auto* blip = dynamic_cast<TRadarNode*>(Find("RadarMarker_raider"));
    ASSERT_NE(blip, nullptr);
    EXPECT_EQ(blip->Parent(), radar);
    EXPECT_EQ(blip->Object(), enemy);

    // Clicking the marker selects its object.
    Tick();
    desk->Cursor().SetX(m->Left());
    desk->Cursor().SetY(m->Top());
    desk->MouseButtonEvent(0, true);
    desk->MouseButtonEvent(0, false);
    EXPECT_EQ(Selected(), "raider");

    // A waypoint on a ship and its blip carry "_cp"; rockets and mines get no blip.
    TGameObject* escort = Target("escort", {900, 100, 0});
    Serv("'HELPER', 'ADD', 'WAYPOINTONSHIP', '" + Hex(escort) + "'");
    EXPECT_NE(Find("escort_cp"), nullptr);
    EXPECT_EQ(Find("escort_cp")->Parent()->Name(), "WaypointAHLayer");
    EXPECT_NE(Find("RadarMarker_escort_cp"), nullptr);
    TGameObject* rocket = Target("rocket", {500, 0, 0});
    Serv("'HELPER', 'ADD', 'ENEMYROCKET', '" + Hex(rocket) + "'");
    EXPECT_NE(Marker("rocket"), nullptr);
    EXPECT_EQ(Find("RadarMarker_rocket"), nullptr);
    EXPECT_TRUE(Marker("rocket")->HelperFrame()->Handler(TNodeEvent::MouseClick).empty());

    // An object that is gone takes its marker with it.
    FindVarByPath("obj.raider")->Delete();
    Frame();
    EXPECT_TRUE(m->InDestroyQueue());
}

// The click handler names the object in Lua text: any name reads back whole.
TEST_F(HudMarkersTest, ClickingAMarkerSelectsAnObjectWhateverItsName) {
    const std::string name = "Vesk \"Red\" \\ [[one]] ]=] two";
    TGameObject* enemy = Target("raider", {1000, 0, 0});
    enemy->SetName(name);
    Serv("'HELPER', 'ADD', 'ENEMY', '" + Hex(enemy) + "'");
    TAHSelector* m = Marker(name);
    ASSERT_NE(m, nullptr);
    Tick();
    desk->Cursor().SetX(m->Left());
    desk->Cursor().SetY(m->Top());
    desk->MouseButtonEvent(0, true);
    desk->MouseButtonEvent(0, false);
    EXPECT_EQ(HudSelected(), enemy);
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(HudMarkersTest, CyclingSelectsByDistanceAndLocksWithASound) {
    Enemy("far", {300, 0, 0});
    Enemy("near", {100, 0, 0});
    Enemy("mid", {200, 0, 0});
    TGameObject* w = Target("wing", {150, 0, 0});
    Serv("'HELPER', 'ADD', 'FRIEND', '" + Hex(w) + "'");
    Tick();
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        Serv("'TARGET', 'NEXTENEMY'");
        order.push_back(Selected());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"near", "mid", "far", "near"}));
    EXPECT_EQ(Global("sounds"), "lock;lock;lock;lock;");
    // Cycling friends starts the enemies again from the nearest.
    Serv("'TARGET', 'NEXTFRIEND'");
    EXPECT_EQ(Selected(), "wing");
    Serv("'TARGET', 'NEXTENEMY'");
    EXPECT_EQ(Selected(), "near");
    // The object already selected is locked without a sound.
    Run("sounds = ''");
    Serv("'TARGET', 'NEARESTENEMY'");
    EXPECT_EQ(Global("sounds"), "");
    // By name: no sound; an empty name clears.
    Serv("'TARGET', 'SETID', 'far'");
    EXPECT_EQ(Selected(), "far");
    EXPECT_EQ(Global("sounds"), "");
    EXPECT_EQ(Serv("'TARGET', 'GETID'"), "far");
    Serv("'TARGET', 'SETID', ''");
    EXPECT_EQ(Selected(), "");
}

TEST_F(HudMarkersTest, CentralNearestAttackingAndOmegaSelections) {
    // Two enemies on the screen, one off it; the one on the line of sight is central.
    Enemy("offset", {1000, -80, 0});
    Enemy("centre", {1000, 0, 0});
    Enemy("offscreen", {1000, 5000, 0});
    Tick();
    Serv("'TARGET', 'CENTRALENEMY'");
    EXPECT_EQ(Selected(), "centre");
    // The cursor picks the enemy nearest to it on the screen.
    const TAHSelector* offset = Marker("offset");
    desk->Cursor().SetX(offset->Left());
    desk->Cursor().SetY(offset->Top());
    Serv("'TARGET', 'NEARENEMY'");
    EXPECT_EQ(Selected(), "offset");
    // The enemy attacking the player; none attacking changes nothing.
    Serv("'TARGET', 'ATTACKINGENEMY'");
    EXPECT_EQ(Selected(), "offset");
    dynamic_cast<TSmartList*>(ship->FindChild("targeted"))->Add(FindVarByPath("obj.offscreen"));
    Serv("'TARGET', 'ATTACKINGENEMY'");
    EXPECT_EQ(Selected(), "offscreen");
    Serv("'TARGET', 'NEARESTENEMY'");
    EXPECT_EQ(Selected(), "centre"); // 1000 from the ship, "offset" 1003
    // A friend whose name holds "1omega" (any case).
    TGameObject* omega = Target("wing1Omega", {500, 0, 0});
    Serv("'HELPER', 'ADD', 'FRIEND', '" + Hex(omega) + "'");
    Tick();
    Serv("'TARGET', 'OMEGA'");
    EXPECT_EQ(Selected(), "wing1Omega");
    // Enemies and friends together for the central object.
    Serv("'TARGET', 'CENTRALOBJECT'");
    EXPECT_EQ(Selected(), "centre");
}

TEST_F(HudMarkersTest, RadarBlipsShowRangeSelectionAndSide) {
    TGameObject* ahead = Target("ahead", {40000, 0, 0});
    TGameObject* behind = Target("behind", {-1000, 0, 0});
    for (TGameObject* o : {ahead, behind}) Serv("'RADAR', 'ADD', 'RadarLabel_enemy', '" + Hex(o) + "'");
    auto* a = dynamic_cast<TRadarNode*>(Find("RadarMarker_ahead"));
    auto* b = dynamic_cast<TRadarNode*>(Find("RadarMarker_behind"));
    ASSERT_TRUE(a && b);
    Tick();
    EXPECT_TRUE(a->Visible());
    Move(ahead, {60000, 0, 0});
    Tick();
    EXPECT_FALSE(a->Visible()); // beyond the default range of 50000
    Move(ahead, {1000, 0, 0});
    Tick();
    // Ahead: the image colour and size, in the middle of the face.
    EXPECT_TRUE(a->InFront());
    EXPECT_EQ(a->Width(), 15);
    EXPECT_EQ(a->Left(), 100 - 7);
    EXPECT_EQ(a->Top(), 50 - 7);
    EXPECT_EQ(a->Image(), "blip");
    // Behind: the back colour and the smaller size.
    EXPECT_FALSE(b->InFront());
    EXPECT_EQ(b->Width(), 7);
    // The selected object's blip shows the selected image, and the other image again after.
    Run("engine_SetVar('player.selected', 'ahead')");
    Tick();
    EXPECT_EQ(a->Image(), "blip_selected");
    Run("engine_SetVar('player.selected', 'behind')");
    Tick();
    EXPECT_EQ(a->Image(), "blip");
    EXPECT_EQ(b->Image(), "blip_selected");
    // A ship waypoint's blip never matches the selected object's name.
    Serv("'HELPER', 'ADD', 'WAYPOINTONSHIP', '" + Hex(behind) + "'");
    Tick();
    EXPECT_EQ(dynamic_cast<TRadarNode*>(Find("RadarMarker_behind_cp"))->Image(), "blip");

    // A missing object is the interface's fault.
    EXPECT_THROW(Serv("'RADAR', 'ADD', 'RadarLabel_enemy', '999999'"), Halted);
    EXPECT_TRUE(trap.HasReport("TRadar.AddMarker fault: _object=nil"));
}

} // namespace
} // namespace vesk::test
