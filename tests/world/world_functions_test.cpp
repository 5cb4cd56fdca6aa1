// The world's engine functions as scripts call them: what each gives back,
// and the fatal report each makes when the scene is not what it needs.
#include "core/lua_functions.h"
#include "render/helpers.h"
#include "space_fixture.h"
#include "world/world_functions.h"

namespace vesk::test {
namespace {

class WorldFunctionsTest : public SpaceTest {
protected:
    // A system of two helpers only: "fog_mist" first, "gate" second.
    std::string TwoHelperSystem() {
        ModelFile m("pair");
        m.AddHelper("fog_mist", {0, 0, 0});
        m.AddHelper("gate", {300, 400, 0});
        return SystemModel("pair", m, EnvironmentModel());
    }
    int WayPoints() {
        int n = 0;
        for (TBaseRenderUnit* c : *engine->ChildsBRU())
            if (c && c->GetName() == "WayPoint" && !c->HasFlag(BRU_KILLED)) ++n;
        return n;
    }
};

TEST_F(WorldFunctionsTest, EveryFunctionHasItsHandler) {
    for (const char* name :
         {"engine_AddEnvObj", "engine_CreatePlanetSystem", "engine_LoadLocation",
          "engine_GetUniversalHelperHex", "engine_AddEncounterHelper", "engine_DelGlobalHelper",
          "engine_GetHelperRange", "engine_AssignLocationToUHelper", "engine_AssignLocationToBru",
          "engine_GetObjRadius", "engine_GetLocationsBSphereList", "engine_GetPlanetSystemHelpersList",
          "engine_GetLocationHelpersList", "engine_ReloadTexture", "engine_ReloadEnvironment", "engine_Dump"})
        EXPECT_NE(GetEngineFunction(name), nullptr) << name;
}

TEST_F(WorldFunctionsTest, WithoutAPlanetSystemEachNamesWhatItMissed) {
    struct Case {
        const char* call;
        const char* report;
    } cases[] = {
        {"engine_AddEnvObj('rock')", "engine_AddEnvObj: not env.GetPlanetSystem(psys), psys: nil"},
        {"engine_LoadLocation('x')", "engine_LoadLocation: not Env.GetPlanetSystem(psys)"},
        {"engine_GetUniversalHelperHex('x')",
         "engine_GetUniversalHelperHex: Env.GetPlanetSystem(psys)=false"},
        {"engine_AddEncounterHelper('1', 'x', '10')",
         "engine_AddEncounterHelper: Env.GetPlanetSystem(psys)=false"},
        {"engine_DelGlobalHelper('1')", "engine_DelGlobalHelper: Env.GetPlanetSystem(psys)=false"},
        {"engine_GetHelperRange('1', '1')", "engine_GetHelperRange: Env.GetPlanetSystem(psys)=false"},
        {"engine_AssignLocationToUHelper('1', 'x')",
         "engine_AssignLocationToUHelper: Env.GetPlanetSystem(psys)=false"},
        {"engine_AssignLocationToUHelper('1')", "engine_AssignLocationToUHelper: NumElements<2"},
        {"engine_AssignLocationToBru('1', '2')",
         "engine_AssignLocationToBru: Env.GetPlanetSystem(psys)=false"},
        {"engine_AssignLocationToBru('1')", "engine_AssignLocationToBru: NumElements<2"},
        {"engine_GetLocationsBSphereList()",
         "engine_GetLocationsBSPhereList: Env.GetPlanetSystem(psys)=false"},
        {"engine_GetPlanetSystemHelpersList()",
         "engine_GetPlanetSystemHelpersList: Env.GetPlanetSystem(psys)=false"},
        {"engine_GetLocationHelpersList('1')",
         "engine_GetLocationHelpersList: Env.GetPlanetSystem(psys)=false"},
        {"engine_GetLocationHelpersList()", "engine_GetLocationHelpersList: NumElements<1"},
        {"engine_ReloadEnvironment()", "engine_ReloadEnvironment: not env.GetPlanetSystem(psys)"},
        {"engine_Dump()", "engine_Dump: not env.GetPlanetSystem(psys)"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(Lua(c.call), Halted) << c.call;
        EXPECT_TRUE(trapAll.HasReport(c.report)) << c.call << " -> " << c.report;
    }
}

TEST_F(WorldFunctionsTest, ListsSkipFogHelpersAndUnitsAndRoundTheRadii) {
    Lua("engine_CreatePlanetSystem('" + TwoHelperSystem() + "')");
    EXPECT_EQ(Eval("engine_GetPlanetSystemHelpersList()"), "gate#");
    // The system's own parts are no places; a fog unit is skipped; radii are rounded.
    auto* fog = TBaseRenderUnit::Create<TBaseRenderUnit>(Psys());
    fog->SetName("fog_haze");
    Psys()->AddChild(fog);
    auto* station = TBaseRenderUnit::Create<TBaseRenderUnit>(Psys());
    station->SetName("station");
    station->SetBox({-1234.6f, 0, 0}, {1234.6f, 0, 0});
    Psys()->AddChild(station);
    EXPECT_EQ(Eval("engine_GetLocationsBSphereList()"), "station#1235#");
}

TEST_F(WorldFunctionsTest, CreatingTheSystemAgainKeepsOneWayPointAndClearsTheWorldObjects) {
    int cleared = 0;
    GetWorldObjectLinks().deleteWorldObjects = [&cleared] { ++cleared; };
    const std::string model = DefaultSystem();
    const std::string first = Eval("engine_CreatePlanetSystem('" + model + "')");
    const std::string second = Eval("engine_CreatePlanetSystem('" + model + "')");
    EXPECT_NE(first, second);
    EXPECT_EQ(Psys()->GetHex(), second);
    EXPECT_EQ(FindEngineObjectById(std::stoi(first)), nullptr); // freed at once
    EXPECT_EQ(WayPoints(), 1);
    EXPECT_EQ(cleared, 2);
}

TEST_F(WorldFunctionsTest, HelpersAreFoundMeasuredAddedAndDeleted) {
    Lua("engine_CreatePlanetSystem('" + TwoHelperSystem() + "')");
    const std::string gate = Eval("engine_GetUniversalHelperHex('gate')");
    const std::string mist = Eval("engine_GetUniversalHelperHex('fog_mist')");
    EXPECT_EQ(Eval("engine_GetHelperRange('" + gate + "', '" + mist + "')"), "500");
    EXPECT_THROW(Lua("engine_GetUniversalHelperHex('nowhere')"), Halted);
    EXPECT_TRUE(trapAll.HasReport("engine_GetUniversalHelperHex: not psys.GetUHelper(\"nowhere\",uhelper)"));

    // An encounter point 250 units from a ship of the scene.
    BaseAIUnitClass* ai = nullptr;
    int32_t counter = 0;
    TBaseRenderUnit* unit = AddDrone(ai, counter);
    const std::string point = Eval("engine_AddEncounterHelper('" + unit->GetHex() + "', 'meet', 250)");
    EXPECT_EQ(Eval("engine_GetHelperRange('" + point + "', '" + unit->GetHex() + "')"), "250");
    EXPECT_EQ(Eval("engine_GetUniversalHelperHex('meet')"), point);
    EXPECT_THROW(Lua("engine_AddEncounterHelper('" + unit->GetHex() + "', 'meet', 250)"), Halted);
    EXPECT_TRUE(
        trapAll.HasReport("engine_AddEncounterHelper: psys.GetUWHelper(\"meet\"): Helper already exists"));
    EXPECT_THROW(Lua("engine_AddEncounterHelper('" + gate + "', 'other', 250)"), Halted);
    EXPECT_TRUE(trapAll.HasReport("engine_AddEncounterHelper: not TEngine.FindShipBRU(bru)"));

    // Deleted: the name finds nothing from then on, and the helper leaves at the clean-up.
    Lua("engine_DelGlobalHelper('" + point + "')");
    UniHelperClass* gone = nullptr;
    EXPECT_FALSE(Psys()->FindUHelper("meet", gone));
    Step(16.0f);
    EXPECT_EQ(FindEngineObjectById(std::stoi(point)), nullptr);
    EXPECT_EQ(Eval("engine_GetPlanetSystemHelpersList()"), "gate#");
}

TEST_F(WorldFunctionsTest, LocationsArePlacedListedAndCheckedAgainstTheSystem) {
    LoadNebula();
    Lua("engine_CreatePlanetSystem('" + DefaultSystem() + "')");
    const std::string loc = Eval("engine_LoadLocation('" + LocationModel() + "')");
    EXPECT_EQ(Eval("engine_GetLocationHelpersList('" + loc + "')"),
              "mission:start#trigger:t01#FOG:nebula01#bs_loc#");
    EXPECT_EQ(Eval("engine_GetObjRadius('" + loc + "')"), "300");
    // A unit moved to the location's place.
    Lua("engine_AssignLocationToUHelper('" + loc + "', 'location:far')");
    auto* mover = TBaseRenderUnit::Create<TBaseRenderUnit>(engine);
    engine->AddChild(mover);
    Lua("engine_AssignLocationToBru('" + mover->GetHex() + "', '" + loc + "')");
    Vec3 p;
    mover->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 5000.0f);
    // A helper the system lacks, and a location of no one's.
    EXPECT_THROW(Lua("engine_AssignLocationToUHelper('" + loc + "', 'location:moon')"), Halted);
    EXPECT_TRUE(
        trapAll.HasReport("engine_AssignLocationToUHelper: not psys.GetUHelper(location:moon,uhelper)"));
    auto* stray = TBaseRenderUnit::Create<WELocationClass>(engine);
    engine->AddChild(stray);
    for (const std::string& call :
         {"engine_AssignLocationToUHelper('" + stray->GetHex() + "', 'location:far')",
          "engine_AssignLocationToBru('" + mover->GetHex() + "', '" + stray->GetHex() + "')",
          "engine_GetLocationHelpersList('" + stray->GetHex() + "')"})
        EXPECT_THROW(Lua(call), Halted) << call;
    for (const char* text : {"engine_AssignLocationToUHelper: not psys.FindInChildsOnly(loc)",
                             "engine_AssignLocationToBru: not psys.FindInChildsOnly(loc)",
                             "engine_GetLocationHelpersList: not psys.FindInChildsOnly(loc)"})
        EXPECT_TRUE(trapAll.HasReport(text)) << text;
}

TEST_F(WorldFunctionsTest, TheDumpWritesTheSystemAndTheEngineRoot) {
    Lua("engine_CreatePlanetSystem('" + DefaultSystem() + "')");
    Lua("engine_Dump()");
    const std::string log = ReadLog();
    const size_t system = log.find("[WEPlanetSystemClass, name: \"sys\"");
    const size_t root = log.find("[TEngineClass, name: \"3DEngine\"");
    ASSERT_NE(system, std::string::npos);
    ASSERT_NE(root, std::string::npos);
    EXPECT_LT(system, root);
    EXPECT_NE(log.find("[TEnvironmentClass, name: \"Environment\"", system), std::string::npos);
}

} // namespace
} // namespace vesk::test
