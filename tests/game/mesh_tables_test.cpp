// Mesh descriptions under "mesh": loaded from the scripts on first lookup,
// found without Lua once there, and their destruction effects.
#include "core/var_list.h"
#include "game/effect_links.h"
#include "ships_fixture.h"

namespace vesk::test {
namespace {

using MeshTables = ShipsTest;

// The content side: builds a description from the table "mesh" and counts the calls.
const char* const kUpdateMesh = R"lua(
meshCalls = 0
function updateMeshToEngine(name)
  meshCalls = meshCalls + 1
  local m = mesh[name]
  if m == nil then return end
  if m.lookAgain then lookedAgain = engine_IsVar("mesh." .. name) end
  engine_AddVar("mesh", name, "TGameMesh")
  engine_SetVar("mesh." .. name .. ".path", m.path)
end
)lua";

TEST_F(MeshTables, LoadedOnFirstLookupAndFoundWithoutLuaAfterwards) {
    Run(kUpdateMesh);
    Run("mesh.frigate = { path = 'Models/frigate.cm' }");
    ASSERT_NE(nullptr, GameMeshTable);
    EXPECT_EQ("1", Eval("engine_IsVar('mesh.frigate')"));
    EXPECT_EQ("1", Global("meshCalls"));
    // Already there: no Lua runs.
    EXPECT_EQ("Models/frigate.cm", Eval("engine_GetVar('mesh.frigate.path')"));
    TGameMesh* frigate = GameMeshTable->FindMesh("frigate");
    ASSERT_NE(nullptr, frigate);
    EXPECT_EQ("Models/frigate.cm", frigate->ModelFile());
    EXPECT_EQ("1", Global("meshCalls"));
    EXPECT_EQ("1", Eval("engine_GetVar('mesh.frigate.defectSizeMultiplier')"));
    EXPECT_EQ("2", Eval("engine_GetVar('mesh.frigate.BSPhereSubdivide')"));
    EXPECT_EQ(
        "{[[defectSizeMultiplier]],[[BSPhereSubdivide]],[[BSContainer]],[[BRULODList]],[[dont_use_mesh]],"
        "[[name]],[[cylinders]],[[shield]],[[icon]],[[path]],[[nozzles]],[[flares]],[[destroyFx]],"
        "[[damageFx]],[[collisionFx]],[[slots]],[[physic_params]],[[helpersound]],[[mapMarker]],"
        "[[defect]],[[rays]],[[minmax_ph_param]],}",
        Eval("engine_GetTable('mesh.frigate')"));
    // The lists make their own entries by default.
    Run("engine_AddVar('mesh.frigate.nozzles', 'n1') engine_SetVar('mesh.frigate.nozzles.n1.size', '2.5')");
    EXPECT_EQ("TGameMeshNozzle", FindVarByPath("mesh.frigate.nozzles.n1")->ClassName());

    // An unknown name asks the scripts once per lookup and finds nothing.
    EXPECT_EQ("0", Eval("engine_IsVar('mesh.none')"));
    EXPECT_EQ("2", Global("meshCalls"));
    EXPECT_EQ(nullptr, GameMeshTable->FindMesh("none"));
    EXPECT_EQ("3", Global("meshCalls"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(MeshTables, ALookupWhileTheScriptsBuildItAsksNoMore) {
    Run(kUpdateMesh);
    // Building "loop" looks "loop" up again before it exists: the scripts are
    // not asked a second time (they would be asked without end).
    Run("mesh.loop = { path = 'a', lookAgain = true }");
    EXPECT_NE(nullptr, GameMeshTable->FindMesh("loop"));
    EXPECT_EQ("1", Global("meshCalls"));
    EXPECT_EQ("0", Global("lookedAgain"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(MeshTables, MeshLinksResolveThroughTheTable) {
    Run(kUpdateMesh);
    Run("mesh.frigate = { path = 'Models/frigate.cm' }");
    TGameObject* ship = Ship("s1");
    Frame(); // onCreated: the "mesh" link takes the space model
    ASSERT_NE(nullptr, ship->MeshLink()->GetMesh());
    EXPECT_EQ("frigate", Eval("engine_GetVar('obj.s1.mesh')"));
    EXPECT_EQ("1", Global("meshCalls"));
}

// A destruction effect as the effect side provides it.
class FakeDestroyFx : public TBaseGameObjectList, public IGameDestroyFxEntry {
public:
    std::string ClassName() const override { return "FakeDestroyFx"; }
    float time = 0.0f;
    std::vector<std::string>* log = nullptr;
    float DestroyFxTime() const override { return time; }
    void SpawnDestroyFx(TBaseGameObject* object) override {
        log->push_back(GetName() + " " + object->GetName());
    }
};

TEST_F(MeshTables, DestroyEffectsSpawnInOrderAndGiveTheLongestTime) {
    Run("engine_AddVar('mesh', 'wreck', 'TGameMesh')");
    TGameMesh* mesh = GameMeshTable->FindMesh("wreck");
    TBaseGameObject* list = FindVarByPath("mesh.wreck.destroyFx");
    std::vector<std::string> log;
    for (auto [name, t] : {std::pair{"debris", 1.5f}, std::pair{"blast", 4.0f}, std::pair{"smoke", 2.0f}}) {
        auto* fx = NewGameObject<FakeDestroyFx>(name, list);
        fx->time = t;
        fx->log = &log;
    }
    TGameObject* ship = Ship("victim");
    EXPECT_EQ(4.0f, mesh->spawnDestroyFx(ship));
    EXPECT_EQ((std::vector<std::string>{"debris victim", "blast victim", "smoke victim"}), log);

    // With the effects switched off nothing starts.
    InitVarLists();
    SpVars->Put("vis.effectsoff", VarValue(int32_t{1}));
    log.clear();
    EXPECT_EQ(0.0f, mesh->spawnDestroyFx(ship));
    EXPECT_TRUE(log.empty());
    FreeAllVarLists();

    // Anything else in the list is no effect.
    NewGameObject<TGameObjectStringParam>("oops", list);
    EXPECT_THROW(mesh->spawnDestroyFx(ship), Halted);
    EXPECT_EQ(
        Ru("TGameMesh.spawnDestroyFx error: в таблице \"destroyFx\" корабля ->victim->obj->_G найден обьект "
           "класса TGameObjectStringParam , это ОШИБКА .Этот класс не может обрабатываться как ФХ!!! "),
        FirstFatal());
}

} // namespace
} // namespace vesk::test
