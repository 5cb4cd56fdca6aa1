// Items, slots and cargo: loading an item's units by its gun model, binding
// slots to attach points, the events of moving an item between holders, the
// slot checks, use start and end, and the walks through items in items.
#include "game/object_effects.h"
#include "ships_fixture.h"

namespace vesk::test {
namespace {

class Items : public ShipsTest {
protected:
    void SetUp() override {
        ShipsTest::SetUp();
        Run("order = ''");
    }
    // A ship with its unit and attach points, and a slot on each of two helpers.
    TGameObject* ArmedShip() {
        TGameObject* ship = Ship("ship");
        Frame();
        Slot("obj.ship.slots", "a", "gun_left");
        Slot("obj.ship.slots", "b", "gun_right");
        Run("engine_AddVar('obj.ship.cargo', 'hold')");
        Frame();
        return ship;
    }
    // The item's events write their names into `order` as they fire.
    void Trace(const std::string& item) {
        for (const char* e : {"onInSlot", "onOutSlot", "onEnable", "onDisable", "onStartUse", "onEndUse"})
            Run("engine_SetVar('items." + item + "." + e + "', \"order = order .. '" + e + " '\")");
    }
    TBaseRenderUnit* Unit(TBaseGameSceneObject* obj) { return dynamic_cast<TBaseRenderUnit*>(obj->GetHex()); }
};

TEST_F(Items, GunModelTypeChoosesTheUnit) {
    const struct {
        const char* type;
        const char* unitClass;
    } cases[] = {{"gun", "CannonClass"},
                 {"ray", "CannonClass"},
                 {"doubleGun", "CannonClass"},
                 {"turret", "TurretClass"},
                 {"wing", "WingClass"}};
    int i = 0;
    for (const auto& c : cases) {
        const std::string name = "i" + std::to_string(i++);
        TGameItem* item = Item(name, "m_" + name, c.type);
        Run("engine_Execute('items." + name + ".onLoadItem')");
        TBaseRenderUnit* unit = Unit(item);
        ASSERT_NE(nullptr, unit) << c.type;
        EXPECT_EQ(c.unitClass, unit->ClassName());
        EXPECT_EQ("m_" + name + "." + c.unitClass + "_" + IntToHex8(unit->GetId()), unit->GetName());
        EXPECT_EQ("LoadItemUnit " + std::string(c.unitClass) + " m_" + name, world.calls.back());
        EXPECT_EQ(nullptr, item->GetHex2());
    }
    // A weapon of type 1 gets a second cannon; the first one made for it is not left behind.
    TGameItem* twin = Item("twin", "m_twin", "gun");
    Run("engine_SetVar('items.twin.weaponType', '1') engine_Execute('items.twin.onLoadItem')");
    ASSERT_NE(nullptr, twin->GetHex2());
    EXPECT_EQ("CannonClass", twin->GetHex2()->ClassName());
    EXPECT_NE(twin->GetHex(), twin->GetHex2());
    EXPECT_EQ(3, std::count(world.calls.begin(), world.calls.end(), "LoadItemUnit CannonClass m_twin"));
    TEODestroyManager->Flush();
    const size_t n = world.itemUnits.size();
    EXPECT_EQ(nullptr, FindEngineObjectAs<TBaseRenderUnit>(world.itemUnits[n - 3])); // replaced, freed
    EXPECT_EQ(twin->GetHex2(), FindEngineObjectAs<TBaseRenderUnit>(world.itemUnits[n - 2]));
    EXPECT_EQ(twin->GetHex(), FindEngineObjectAs<TBaseRenderUnit>(world.itemUnits[n - 1]));

    // An unknown kind is a fatal report naming it.
    Item("odd", "m_odd", "laser");
    EXPECT_THROW(Run("engine_Execute('items.odd.onLoadItem')"), Halted);
    EXPECT_EQ(Ru("TGameItem.onCreatedFunc error : тип меша предмета laser не поддерживается!"), FirstFatal());
}

TEST_F(Items, AnItemWithoutMeshEndsTheProgramWhenCreated) {
    Run("engine_AddVar('items', 'blank', 'TGameItem')");
    EXPECT_THROW(Frame(), Halted);
    EXPECT_EQ(Ru("TGameItem.werifyMesh error: у предмета ->blank->items->_G не прописан меш!"), FirstFatal());
}

TEST_F(Items, SlotsBindToTheAttachPointsOfTheirOwner) {
    ArmedShip();
    auto* a = dynamic_cast<TGameSlot*>(FindVarByPath("obj.ship.slots.a"));
    auto* helper = dynamic_cast<HelperClass*>(a->HelperHex());
    ASSERT_NE(nullptr, helper);
    EXPECT_EQ("gun_left", helper->GetHelperName());
    // A second attach point gets its link even when the script made none.
    Run("engine_AddVar('obj.ship.slots', 'pair') engine_AddVar('obj.ship.slots.pair', 'helper2', "
        "'TGameObjectStringParam') engine_SetVar('obj.ship.slots.pair.helper', 'gun_left') "
        "engine_SetVar('obj.ship.slots.pair.helper2', 'gun_right')");
    Frame();
    auto* pair = dynamic_cast<TGameSlot*>(FindVarByPath("obj.ship.slots.pair"));
    ASSERT_NE(nullptr, pair->HelperHex2());
    EXPECT_EQ("gun_right", dynamic_cast<HelperClass*>(pair->HelperHex2())->GetHelperName());

    // A slot on a ship not built yet waits; the first item put in binds it.
    world.buildUnits = false;
    TGameObject* late = Ship("late");
    Frame();
    TGameSlot* s = Slot("obj.late.slots", "s", "gun_left");
    Frame();
    EXPECT_EQ(nullptr, s->HelperHex());
    TBaseRenderUnit* unit = world.NewUnit("late");
    unit->AddHelper("gun_left", {});
    late->SetHex(unit);
    Item("g", "m_g", "gun");
    Put("obj.late.slots.s.item", "g");
    ASSERT_NE(nullptr, s->HelperHex());
    EXPECT_EQ(s->ItemLink(), dynamic_cast<TGameItem*>(FindVarByPath("items.g"))->Holder());

    // A slot on an item makes the item load its units first.
    TGameItem* turret = Item("turret", "m_turret", "turret", 2);
    TGameSlot* barrel = Slot("items.turret.slots", "barrel", "gun_left");
    Frame();
    EXPECT_NE(nullptr, turret->GetHex());
    EXPECT_NE(nullptr, barrel->HelperHex());

    // An attach point the model lacks is a fatal report.
    Slot("obj.ship.slots", "bad", "nope");
    EXPECT_THROW(Frame(), Halted);
    EXPECT_EQ(
        Ru("TGameSlotOnCreated.defEventFunc error: невозможно зарегистрировать слот "
           "->bad->slots->ship->obj->_G"
           "(хелпер \"nope\") на обьекте ->ship->obj->_G ,возможно на меше нет соответствующего хелпера"),
        FirstFatal());
}

TEST_F(Items, MovingAnItemBetweenHoldersFiresItsEventsInOrder) {
    TGameObject* ship = ArmedShip();
    TGameItem* gun = Item("gun", "m_gun", "gun");
    Run("engine_SetVar('items.gun.energyTake', '10') engine_SetVar('items.gun.mass', '5')");
    Trace("gun");
    Put("obj.ship.cargo.hold", "gun");
    EXPECT_EQ("", Global("order")); // a cargo hold fires nothing
    EXPECT_EQ(nullptr, gun->ParentShip());

    Put("obj.ship.slots.a.item", "gun");
    EXPECT_EQ("onInSlot onEnable ", Global("order"));
    EXPECT_EQ("", Eval("engine_GetVar('obj.ship.cargo.hold')")); // the hold let go of it
    EXPECT_EQ(ship, gun->ParentShip());
    EXPECT_EQ("1", Eval("engine_GetVar('items.gun.status')"));
    auto* a = dynamic_cast<TGameSlot*>(FindVarByPath("obj.ship.slots.a"));
    EXPECT_EQ(a->HelperHex(), Unit(gun)->Parent());
    EXPECT_EQ(90.0f, Value("obj.ship.param.power"));
    EXPECT_EQ(5.0f, Value("obj.ship.param.capacity"));

    Run("order = ''");
    Put("obj.ship.slots.b.item", "gun");
    // onOutSlot ends the use natively, before its own Lua code runs.
    EXPECT_EQ("onDisable onEndUse onOutSlot onInSlot onEnable ", Global("order"));
    EXPECT_EQ("", Eval("engine_GetVar('obj.ship.slots.a.item')"));
    auto* b = dynamic_cast<TGameSlot*>(FindVarByPath("obj.ship.slots.b"));
    EXPECT_EQ(b->HelperHex(), Unit(gun)->Parent());
    // Moving within the ship costs what mounting once does.
    EXPECT_EQ(90.0f, Value("obj.ship.param.power"));
    EXPECT_EQ(5.0f, Value("obj.ship.param.capacity"));

    // Back into the hold: out of the slot, the ship gets its power back.
    Run("order = ''");
    Put("obj.ship.cargo.hold", "gun");
    EXPECT_EQ("onDisable onEndUse onOutSlot ", Global("order"));
    EXPECT_EQ(nullptr, gun->ParentShip());
    EXPECT_EQ(nullptr, Unit(gun)->Parent());
    EXPECT_EQ(100.0f, Value("obj.ship.param.power"));
    EXPECT_EQ(0.0f, Value("obj.ship.param.capacity"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Items, SlotChecksEndTheProgramWithTheirTexts) {
    ArmedShip();
    struct Case {
        const char* itemType;
        const char* weaponType;
        const char* modelType;
        const char* report;
    };
    // %1 stands for the slot's path, %2 for the item's.
    const Case cases[] = {
        {"2", "0", "gun",
         "TGameItem.onInSlotFunc error :_slot.itemType.value(2)in %1 <>_item.class.value(1) in %2"},
        {"1", "3", "gun",
         "TGameItem.onInSlotFunc error :_slot.weaponType.value(3)in %1  <>_item.weaponType.value(0) in %2"},
        {"1", "0", "turret", "TGameItem.onInSlotFunc error: %1 slotItemType(gun)<> gunModelType(turret) %2 "},
    };
    int i = 0;
    for (const Case& c : cases) {
        trap.reports.clear();
        const std::string slot = "c" + std::to_string(i);
        const std::string item = "x" + std::to_string(i++);
        Slot("obj.ship.slots", slot, "gun_left");
        Run("engine_SetVar('obj.ship.slots." + slot + ".itemType', '" + c.itemType +
            "') engine_SetVar('obj.ship.slots." + slot + ".weaponType', '" + c.weaponType + "')");
        Frame();
        Item(item, "m_" + item, c.modelType);
        EXPECT_THROW(Put("obj.ship.slots." + slot + ".item", item), Halted) << c.report;
        std::string report = c.report;
        report.replace(report.find("%1"), 2, "->" + slot + "->slots->ship->obj->_G");
        report.replace(report.find("%2"), 2, "->" + item + "->items->_G");
        EXPECT_EQ(report, FirstFatal());
        // The program would have ended: the link stops trying.
        dynamic_cast<TGameSlot*>(FindVarByPath("obj.ship.slots." + slot))->ItemLink()->GetLinker()->Stop();
    }
}

TEST_F(Items, ADoubleGunSlotTakesAnyKindAndASlotMeshReplacesTheItems) {
    ArmedShip();
    Run("engine_SetVar('obj.ship.slots.a.class', 'doubleGun') engine_SetVar('obj.ship.slots.b.mesh', "
        "'m_big')");
    Run("gunmodel.m_big = { type = 'gun' }");
    TGameItem* wing = Item("wing", "m_wing", "wing");
    Put("obj.ship.slots.a.item", "wing");
    EXPECT_EQ("1", Eval("engine_GetVar('items.wing.status')"));
    TGameItem* gun = Item("gun", "m_gun", "gun");
    Put("obj.ship.slots.b.item", "gun");
    EXPECT_EQ("m_big", gun->Mesh());
    EXPECT_EQ("", FirstFatal());
    (void)wing;
}

TEST_F(Items, UseStartsOnlyWithChargeAndIsCountedOnTheShip) {
    TGameObject* ship = ArmedShip();
    TGameItem* gun = Item("gun", "m_gun", "gun");
    Run("engine_SetVar('items.gun.functionalType', '1') engine_SetVar('items.gun.group', 'energy')");
    Run("engine_AddVar('items.gun.effects', 'beam', 'TGameObjectEffect') "
        "engine_SetVar('items.gun.effects.beam.events.onEnable', 'beamArg = tmp[2]')");
    auto* beam = dynamic_cast<TGameObjectEffect*>(FindVarByPath("items.gun.effects.beam"));
    Put("obj.ship.slots.a.item", "gun");

    Run("engine_Execute('items.gun.onStartUse', '0', engine_GetHex('obj.ship'))");
    EXPECT_EQ("0", Eval("engine_GetVar('items.gun.used')")); // no charge
    EXPECT_EQ(0, ship->ItemsInUse(1));
    EXPECT_FALSE(beam->IsEnabled());

    SetValue("items.gun.charge", 10, 5);
    Run("engine_Execute('items.gun.onStartUse', '0', engine_GetHex('obj.ship'))");
    EXPECT_EQ("1", Eval("engine_GetVar('items.gun.used')"));
    EXPECT_EQ(1, ship->ItemsInUse(1));
    EXPECT_TRUE(beam->IsEnabled());
    EXPECT_EQ(Eval("engine_GetHex('obj.ship')"), Global("beamArg"));
    Run("engine_Execute('items.gun.onEndUse')");
    EXPECT_EQ(0, ship->ItemsInUse(1));
    EXPECT_FALSE(beam->IsEnabled());

    // The ship's shots: an overheated ship fires only its kinetic weapons.
    TGameItem* cannon = Item("cannon", "m_cannon", "gun");
    Run("engine_SetVar('items.cannon.group', 'kinetic')");
    SetValue("items.cannon.charge", 10, 5);
    Put("obj.ship.slots.b.item", "cannon");
    Run("engine_SetVar('obj.ship.overheat', '1') engine_Execute('obj.ship.events.onShipBeginShot')");
    EXPECT_EQ(0, gun->Used());
    EXPECT_EQ(1, cannon->Used());
    Run("engine_Execute('obj.ship.events.onShipEndShot')");
    EXPECT_EQ(0, cannon->Used());
    Run("engine_SetVar('obj.ship.overheat', '0') engine_Execute('obj.ship.events.onShipBeginShot')");
    EXPECT_EQ(1, gun->Used());
    EXPECT_EQ(1, cannon->Used());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Items, ItemsInsideItemsServeTheShipAndEndingUseReachesThemAll) {
    TGameObject* ship = ArmedShip();
    TGameItem* turret = Item("turret", "m_turret", "turret", 2);
    Run("engine_SetVar('obj.ship.slots.a.class', 'turret') engine_SetVar('obj.ship.slots.a.itemType', '2')");
    Slot("items.turret.slots", "barrel", "gun_left");
    Frame();
    TGameItem* gun = Item("gun", "m_gun", "gun");
    SetValue("items.gun.charge", 10, 5);
    Put("items.turret.slots.barrel.item", "gun");
    EXPECT_EQ(nullptr, gun->ParentShip()); // the turret is loose
    Put("obj.ship.slots.a.item", "turret");
    EXPECT_EQ(ship, turret->ParentShip());
    EXPECT_EQ(ship, gun->ParentShip());

    // A disabled turret keeps its guns from starting, but not from ending.
    Run("engine_Execute('items.turret.onDisable')");
    ship->Slots()->StartUseByClass(1, nullptr);
    EXPECT_EQ(0, gun->Used());
    Run("engine_Execute('items.turret.onEnable')");
    ship->Slots()->StartUseByClass(1, nullptr);
    EXPECT_EQ(1, gun->Used());
    Run("engine_Execute('items.turret.onDisable')");
    ship->Slots()->EndUseByClass(1, nullptr);
    EXPECT_EQ(0, gun->Used());
    EXPECT_TRUE(NoLuaErrors());
}

// Saving, the cockpit and the quick save reach every item on the ship through
// one walk: each mounted item in slot order, followed at once by the items in
// its own slots; an empty slot is passed over.
TEST_F(Items, TheSlotTreeWalkGivesEachItemThenTheItemsItCarries) {
    TGameObject* ship = ArmedShip();
    Slot("obj.ship.slots", "c", "turret_top");
    TGameItem* turret = Item("turret", "m_turret", "turret", 2);
    Run("engine_SetVar('obj.ship.slots.a.class', 'turret') engine_SetVar('obj.ship.slots.a.itemType', '2')");
    Slot("items.turret.slots", "barrel", "gun_left");
    Slot("items.turret.slots", "spare", "gun_right");
    Frame();
    TGameItem* inner = Item("inner", "m_gun", "gun");
    TGameItem* outer = Item("outer", "m_gun", "gun");
    Put("items.turret.slots.barrel.item", "inner");
    Put("obj.ship.slots.a.item", "turret");
    Put("obj.ship.slots.c.item", "outer");
    std::vector<TGameItem*> seen;
    ForEachItemInSlotTree(ship, [&](TGameItem* item) { seen.push_back(item); });
    EXPECT_EQ((std::vector<TGameItem*>{turret, inner, outer}), seen);
    seen.clear();
    ForEachMountedItem(SlotListOf(ship), [&](TGameItem* item) { seen.push_back(item); });
    EXPECT_EQ((std::vector<TGameItem*>{turret, outer}), seen);
    seen.clear();
    ForEachItemInSlotTree(nullptr, [&](TGameItem* item) { seen.push_back(item); });
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Items, ADeletedItemLeavesItsSlotEmptyAndItsUnitKilled) {
    ArmedShip();
    TGameItem* gun = Item("gun", "m_gun", "gun");
    Run("engine_SetVar('items.gun.energyTake', '10')");
    Put("obj.ship.slots.a.item", "gun");
    TBaseRenderUnit* unit = Unit(gun);
    ASSERT_NE(nullptr, unit);
    Run("engine_DelVar('items.gun')");
    EXPECT_EQ("", Eval("engine_GetVar('obj.ship.slots.a.item')"));
    EXPECT_TRUE(unit->HasFlag(BRU_KILLED));
    EXPECT_EQ(100.0f, Value("obj.ship.param.power"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Items, TheOtherFatalTexts) {
    ArmedShip();
    // A unit the world cannot load as any item kind.
    world.loadItemUnits = false;
    Item("odd", "m_odd", "gun");
    EXPECT_THROW(Run("engine_Execute('items.odd.onLoadItem')"), Halted);
    EXPECT_EQ("TGameItem.createBru: unknown result.IsClassType()", FirstFatal());
    world.loadItemUnits = true;

    // An item link under anything but a slot or a cargo hold.
    trap.reports.clear();
    Item("g", "m_g", "gun");
    Run("engine_AddVar('obj.ship', 'stray', 'TGameItemLink')");
    EXPECT_THROW(Put("obj.ship.stray", "g"), Halted);
    EXPECT_EQ(Ru("TGameItem.setLinkPointer error: ->stray->ship->obj->_G неизвестный тип предка TGameObject"),
              FirstFatal());
    dynamic_cast<TGameObjectLinkParam*>(FindVarByPath("obj.ship.stray"))->GetLinker()->Stop();

    // A slot's destruction has no native meaning.
    trap.reports.clear();
    EXPECT_THROW(Run("engine_Execute('obj.ship.slots.a.events.onDestroyed')"), Halted);
    EXPECT_EQ(Ru("TGameSlot.onDestroyedFunc error: функция не прописана"), FirstFatal());
}

} // namespace
} // namespace vesk::test
