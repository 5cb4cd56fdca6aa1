// The weapon panel over the items in the player's ship's slots: what each
// place shows, the overflows, containers and usable items, and the scripts'
// selection, switching, shooting, launching and use.
#include <gtest/gtest.h>

#include "hud_fixture.h"
#include "interface/gun_controller.h"
#include "shared/helpers.h"

namespace vesk::test {
namespace {

class GunControllerTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        BuildHud();
        TMegaButton* on = Node(desk, "dataWeaponOn");
        on->SetProperty("COLOR", "FF00FF00");
        on->SetProperty("FRAMECOLOR", "FF00FF01");
        on->SetProperty("TEXTCOLOR", "FF00FF02");
        TMegaButton* off = Node(desk, "dataWeaponOff");
        off->SetProperty("COLOR", "FFFF0000");
        off->SetProperty("FRAMECOLOR", "FFFF0001");
        off->SetProperty("TEXTCOLOR", "FFFF0002");
        for (int i = 0; i < TGunController::kSlots; ++i) {
            for (const std::string kind : {"Gun", "Rocket"}) {
                TMegaButton* place =
                    Node(desk, kind + "_" + std::to_string(i), "TMegaButton", 0, 100, 200, 16);
                place->SetVisible(false);
                Node(place, kind + "_Bar_" + std::to_string(i), "TMegaButton", 0, 12, 200, 4);
            }
        }
        TMegaButton* items = Node(desk, "Items_Panel_Left");
        for (int n = 1; n <= 4; ++n) {
            TMegaButton* place = Node(items, "LItems_" + std::to_string(n));
            place->SetVisible(false);
            Node(place, "LItems_" + std::to_string(n) + "_count");
        }
        guns().Bind();
        ASSERT_TRUE(trap.reports.empty()) << trap.reports[0].text;
        Run("shots = '' engine_SetVar('player.events.onStartShooting', 'shots = shots .. \"start;\"') "
            "engine_SetVar('player.events.onEndShooting', 'shots = shots .. \"end;\"')");
    }
    TGunController& guns() { return desk->Guns(); }

    // An item of the class with a bullet type and ammunition (no counter when
    // max is 0), mounted in a new slot of the holder's slot list.
    void Mount(const std::string& holder, const std::string& name, int bullet, float ammoMax, float ammo,
               int functional = 0, int itemClass = 1) {
        Item(name, "gun_" + name, "gun", itemClass);
        const std::string p = "items." + name;
        Run("engine_SetVar('" + p + ".name', '" + name + "') engine_SetVar('" + p + ".bulletType', '" +
            std::to_string(bullet) + "') engine_SetVar('" + p + ".functionalType', '" +
            std::to_string(functional) + "')");
        SetValue(p + ".quanity", ammoMax, ammo);
        SetValue(p + ".reloading", 1, 1);
        Slot(holder + ".slots", "slot_" + name, "gun_left", "gun", itemClass);
        Put(holder + ".slots.slot_" + name + ".item", name);
    }
    TMegaButton* Place(const std::string& name) { return dynamic_cast<TMegaButton*>(Find(name)); }
    bool Status(const std::string& item) { return Value("items." + item + ".status") == 1.0f; }
    int Reports(const std::string& text) {
        int n = 0;
        for (const auto& r : trap.reports) n += r.text == text ? 1 : 0;
        return n;
    }
};

TEST_F(GunControllerTest, PlacesShowNamesAmmunitionReloadAndOverflow) {
    Mount("obj.pship", "free", 2, 0, 0);     // no counter
    Mount("obj.pship", "empty", 2, 10, 0);   // out of rounds
    Mount("obj.pship", "loaded", 2, 10, 7);  // seven rounds
    Mount("obj.pship", "slow", 2, 0, 0);     // reloading
    Mount("obj.pship", "off", 2, 0, 0);      // disabled
    Mount("obj.pship", "sixth", 2, 0, 0);    // one too many
    Mount("obj.pship", "launcher", 1, 6, 6); // a rocket launcher
    SetValue("items.slow.reloading", 1, 0.5f);
    Run("engine_Execute('items.off.onDisable')");
    guns().Update();
    EXPECT_EQ(Reports("TGunController.Update fault: Gun slots overflow!"), 1);
    EXPECT_EQ(guns().GunCount(), 5);
    EXPECT_EQ(guns().RocketCount(), 1);

    EXPECT_EQ(Place("Gun_0")->Text(), "free");
    EXPECT_EQ(Place("Gun_1")->Text(), "[0] empty");
    EXPECT_TRUE(Place("Gun_1")->Flashing());
    EXPECT_EQ(Place("Gun_2")->Text(), "[7] loaded");
    EXPECT_FALSE(Place("Gun_2")->Flashing());
    EXPECT_EQ(Place("Gun_2")->Color(), 0xFF00FF00u); // ready: the "on" colour
    EXPECT_EQ(Place("Gun_2")->FrameColor(), 0xFF00FF01u);
    EXPECT_EQ(Place("Gun_2")->TextColor(), 0xFF00FF02u);
    // Reloading: no colour, the bar shows what is left to reload.
    EXPECT_EQ(Place("Gun_3")->Color(), 0u);
    EXPECT_EQ(Place("Gun_Bar_3")->Width(), 100);
    EXPECT_EQ(Place("Gun_Bar_2")->Width(), 0);
    // Disabled: the "off" look.
    EXPECT_EQ(Place("Gun_4")->Color(), 0xFFFF0000u);
    EXPECT_EQ(Place("Gun_4")->TextColor(), 0xFFFF0002u);
    EXPECT_EQ(Place("Rocket_0")->Text(), "[6] launcher");
    EXPECT_TRUE(Place("Rocket_0")->Visible());
    EXPECT_FALSE(Place("Rocket_1")->Visible());
    // The shown places stand one under another from the first place's top.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Place("Gun_" + std::to_string(i))->Top(), 100 + 16 * i) << i;

    // The next update reports the overflow once again.
    guns().Update();
    EXPECT_EQ(Reports("TGunController.Update fault: Gun slots overflow!"), 2);
}

// A place's colours follow its weapon from update to update; a place of a kind
// that takes its colour its own way is given it every time.
TEST_F(GunControllerTest, ColoursFollowTheWeaponFromUpdateToUpdate) {
    Mount("obj.pship", "gun", 2, 0, 0);
    struct Step {
        float reload;
        bool enabled;
        uint32_t color, text;
    };
    const Step steps[] = {
        {1.0f, true, 0xFF00FF00u, 0xFF00FF02u}, {0.5f, true, 0u, 0xFF00FF02u},
        {0.5f, true, 0u, 0xFF00FF02u},          {1.0f, false, 0xFFFF0000u, 0xFFFF0002u},
        {1.0f, true, 0xFF00FF00u, 0xFF00FF02u},
    };
    for (const Step& s : steps) {
        SetValue("items.gun.reloading", 1, s.reload);
        if (s.enabled != Status("gun"))
            Run(s.enabled ? "engine_Execute('items.gun.onEnable')" : "engine_Execute('items.gun.onDisable')");
        guns().Update();
        EXPECT_EQ(Place("Gun_0")->Color(), s.color) << s.reload << s.enabled;
        EXPECT_EQ(Place("Gun_0")->TextColor(), s.text) << s.reload << s.enabled;
    }

    // A marker as the place colours its frames, even with a colour of its own that matches.
    Find("Gun_0")->Release();
    TEODestroyManager->Flush();
    TMegaButton* marker = Node(desk, "Gun_0", "TAHSelector", 0, 100, 200, 16);
    TMegaButton* frame = Node(marker, "HelperFrame");
    frame->SetProperty("COLOR", "FF123456");
    guns().Bind();
    SetValue("items.gun.reloading", 1, 0.5f);
    guns().Update();
    EXPECT_EQ(marker->Color(), 0u);
    EXPECT_EQ(frame->Color(), 0u);
}

TEST_F(GunControllerTest, AChargedWeaponsReloadBarBrightensAsItReloads) {
    Mount("obj.pship", "gun", 2, 0, 0);
    Mount("obj.pship", "pod", 1, 6, 6);
    Place("Gun_Bar_0")->SetProperty("COLOR", "FF204060");
    guns().Bind(); // the bar's own colour is taken when the panel binds
    const uint32_t own = 0xFF204060u;
    // (reload, charge, charge maximum, enabled) -> the bar's colour value and colour.
    const struct {
        float reload, charge, chargeMax;
        bool enabled;
        int value;
        uint32_t colour;
    } cases[] = {
        {0.5f, 400, 400, true, 50, LerpColor(own, 0xFFFFFFFFu, 0.5f)},
        {0.2f, 400, 400, true, 20, LerpColor(own, 0xFFFFFFFFu, 0.2f)},
        {0.5f, 399, 400, true, 0, own}, // not fully charged: its own colour
        {0.5f, 0, 0, true, 0, own},     // no charge at all
        {0.5f, 400, 400, false, 0, own},
        {1.0f, 400, 400, true, 100, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        SetValue("items.gun.reloading", 1, c.reload);
        SetValue("items.gun.charge", c.chargeMax, c.charge);
        if (c.enabled != Status("gun"))
            Run(c.enabled ? "engine_Execute('items.gun.onEnable')" : "engine_Execute('items.gun.onDisable')");
        guns().Update();
        EXPECT_EQ(guns().GunBarColourValue(0), c.value) << c.reload << " " << c.charge << " " << c.enabled;
        EXPECT_EQ(Place("Gun_Bar_0")->Color(), c.colour) << c.reload << " " << c.charge << " " << c.enabled;
    }
    // A launcher's bar works the same way.
    SetValue("items.pod.reloading", 1, 0.4f);
    SetValue("items.pod.charge", 6, 6);
    Run("engine_Execute('items.pod.onEnable')");
    guns().Update();
    EXPECT_EQ(guns().RocketBarColourValue(0), 40);
}

TEST_F(GunControllerTest, ContainersAndUsableItems) {
    // A weapon inside a container item is shown like one mounted directly.
    Mount("obj.pship", "rack", 0, 0, 0, 0, 3);
    Mount("items.rack", "inner", 2, 0, 0);
    // Usable items: only the first is shown, in the place of its kind.
    Mount("obj.pship", "repair", 0, 3, 3, 2, 5);
    Mount("obj.pship", "shield", 0, 1, 1, 1, 5);
    guns().Update();
    EXPECT_EQ(guns().GunCount(), 1);
    EXPECT_EQ(Place("Gun_0")->Text(), "inner");
    EXPECT_EQ(guns().ItemIndex(), 1);
    EXPECT_TRUE(Place("LItems_2")->Visible());
    EXPECT_FALSE(Place("LItems_1")->Visible());
    EXPECT_EQ(Place("LItems_2_count")->Text(), "[3]");
    EXPECT_EQ(Reports("TGunController.Update fault: Item slots overflow!"), 1);

    // USESLOT starts the item's use with the sound; the next one stops it.
    SetValue("items.repair.charge", 5, 5);
    Serv("'USESLOT', 'ANY'");
    EXPECT_EQ(Value("items.repair.used"), 1.0f);
    EXPECT_EQ(Global("sounds"), "packet;");
    guns().Update();
    EXPECT_TRUE(Place("LItems_2")->Flashing());
    Serv("'USESLOT'");
    EXPECT_EQ(Value("items.repair.used"), 0.0f);
    EXPECT_EQ(Global("sounds"), "packet;");
}

TEST_F(GunControllerTest, SelectingSwitchingAndRevolvingGuns) {
    for (const char* g : {"g0", "g1", "g2"}) Mount("obj.pship", g, 2, 0, 0);
    Mount("obj.pship", "r0", 1, 4, 4);
    Mount("obj.pship", "r1", 1, 4, 4);
    Serv("'GUNENGINE', 'RESET'");
    // Reset: rocket 0 and gun 0 selected, the others off.
    EXPECT_EQ(guns().SelectedGun(), 0);
    EXPECT_EQ(guns().SelectedRocket(), 0);
    EXPECT_TRUE(Status("g0"));
    EXPECT_FALSE(Status("g1"));
    EXPECT_FALSE(Status("g2"));
    EXPECT_FALSE(Status("r0")); // launchers are on only while they fire
    EXPECT_TRUE(guns().RocketMarked(0));
    EXPECT_FALSE(guns().RocketMarked(1));
    EXPECT_EQ(Global("sounds"), "missile;weapon;");

    Run("sounds = ''");
    Serv("'GUNS', 'SELECT', 2");
    EXPECT_TRUE(Status("g2"));
    EXPECT_FALSE(Status("g0"));
    Serv("'GUNS', 'SELECT', 2"); // already selected: nothing, no sound
    Serv("'GUNS', 'SELECT', 4"); // no such gun: nothing
    EXPECT_EQ(Global("sounds"), "weapon;");
    Serv("'GUNS', 'SWITCH', 0");
    EXPECT_TRUE(Status("g0"));
    Serv("'GUNS', 'SWITCH', 0");
    EXPECT_FALSE(Status("g0"));
    Serv("'GUNS', 'REVOLVE'");
    EXPECT_EQ(guns().SelectedGun(), 0); // after the last comes the first
    EXPECT_TRUE(Status("g0"));
    EXPECT_FALSE(Status("g2"));
    // A preset turns on exactly its group of guns (gun i alone in group i).
    Serv("'GUNS', 'PRESET', 1");
    EXPECT_FALSE(Status("g0"));
    EXPECT_TRUE(Status("g1"));

    // Rockets: select marks only one; switch follows the launcher (one that is
    // on loses its mark, any other gets it); revolve moves on.
    Serv("'ROCKETS', 'SELECT', 1");
    EXPECT_TRUE(guns().RocketMarked(1));
    EXPECT_FALSE(guns().RocketMarked(0));
    Serv("'ROCKETS', 'SWITCH', 0");
    EXPECT_TRUE(guns().RocketMarked(0));
    Serv("'ROCKETS', 'SWITCH', 0"); // still off: still marked
    EXPECT_TRUE(guns().RocketMarked(0));
    Run("engine_Execute('items.r0.onEnable')");
    Serv("'ROCKETS', 'SWITCH', 0");
    EXPECT_FALSE(guns().RocketMarked(0));
    Serv("'ROCKETS', 'SWITCH', 0"); // on, whatever the mark was
    EXPECT_FALSE(guns().RocketMarked(0));
    Run("engine_Execute('items.r0.onDisable')");
    Serv("'ROCKETS', 'REVOLVE'");
    EXPECT_EQ(guns().SelectedRocket(), 0);

    // An index outside 0..4 is reported, and the game goes on.
    for (const auto& [args, text] : std::vector<std::pair<std::string, std::string>>{
             {"'GUNS', 'SELECT', 5", "TGunController.SelectGun fault: wrong Gun Index - 5"},
             {"'GUNS', 'SWITCH', -1", "TGunController.SwitchGun fault: wrong Gun Index - -1"},
             {"'ROCKETS', 'SELECT', 9", "TGunController.SelectRocket fault: wrong Rocket Index - 9"},
             {"'ROCKETS', 'SWITCH', 5", "TGunController.SwitchRocket fault: wrong Rocket Index - 5"}}) {
        Serv(args);
        ASSERT_FALSE(trap.reports.empty()) << args;
        EXPECT_EQ(trap.reports.back().text, text);
        EXPECT_EQ(trap.reports.back().flags, "m");
    }
}

TEST_F(GunControllerTest, ShootingAndLaunchingOnlyInFlight) {
    Mount("obj.pship", "g0", 2, 0, 0);
    Mount("obj.pship", "g1", 2, 0, 0);
    Mount("obj.pship", "r0", 1, 4, 4);
    Serv("'GUNENGINE', 'RESET'");
    Serv("'GUNS', 'SWITCH', 1"); // both guns on
    Run("engine_SetVar('player.selfShipControl', '1')");
    // Outside flight nothing fires.
    Serv("'GUNS', 'SHOOTON'");
    Serv("'ROCKETS', 'LAUNCH'");
    EXPECT_EQ(Global("shots"), "");
    desk->SetMode(TDeskTop::kModeGame);
    desk->SetProperty("PAUSE", "1");
    Serv("'GUNS', 'SHOOTON'");
    EXPECT_EQ(Global("shots"), "");
    desk->SetProperty("PAUSE", "0");
    // The player not steering the ship himself does not shoot.
    Run("engine_SetVar('player.selfShipControl', '0')");
    Serv("'GUNS', 'SHOOTON'");
    EXPECT_EQ(Global("shots"), "");
    Run("engine_SetVar('player.selfShipControl', '1')");
    Serv("'GUNS', 'SHOOTON'");
    EXPECT_EQ(Global("shots"), "start;");
    EXPECT_TRUE(guns().Shooting());

    // A launch fires the selected launcher alone, then the guns that are on
    // come back and shooting goes on as it was.
    Run("shots = '' engine_SetVar('player.events.onStartShooting', "
        "'shots = shots .. \"start \" .. engine_GetVar(\"items.g0.status\") .. "
        "engine_GetVar(\"items.g1.status\") "
        ".. engine_GetVar(\"items.r0.status\") .. \";\"')");
    Serv("'ROCKETS', 'LAUNCH'");
    EXPECT_EQ(Global("shots"), "end;start 001;start 110;");
    EXPECT_TRUE(Status("g0"));
    EXPECT_TRUE(Status("g1"));
    EXPECT_FALSE(Status("r0"));
    Serv("'GUNS', 'SHOOTOFF'");
    EXPECT_FALSE(guns().Shooting());
    Run("shots = ''");
    Serv("'ROCKETS', 'LAUNCH'");
    EXPECT_EQ(Global("shots"), "end;start 001;end;");
}

} // namespace
} // namespace vesk::test
