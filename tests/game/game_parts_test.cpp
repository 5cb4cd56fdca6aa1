// Factions and their attitudes, the parts list's actions, linkers and their
// manager, the player's statistics and objectives, driven through the Lua host.
#include "core/lua_readers.h"
#include "core/services.h"
#include "game/dialogs.h"
#include "game/game_parts.h"
#include "game/game_services.h"
#include "game_logic_fixture.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

class GameParts : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        RegisterGamePartsClasses();
        CreateGameParts(GlobalObjects);
        CreateGamePartsLists(GlobalObjects);
    }
    float Value(const std::string& path) {
        TBaseGameObject* node = FindVarByPath(path);
        return node ? node->singleValue() : -1.0f;
    }
    void AddPart(const std::string& id, int number, const std::string& scene = "") {
        Run("engine_AddVar('parts', '" + id + "') engine_SetVar('parts." + id + ".partNumber', '" +
            std::to_string(number) + "') engine_SetVar('parts." + id + ".sceneId', '" + scene + "')");
    }
};

TEST_F(GameParts, FactionsPairUpNeutralAndAttitudesNeedNotBeSymmetric) {
    Run("engine_AddVar('fractions', 'navy') engine_AddVar('fractions', 'pirates')");
    EXPECT_EQ(50.0f, Value("fractions.navy.attitudes.pirates"));
    EXPECT_EQ(50.0f, Value("fractions.pirates.attitudes.navy"));
    EXPECT_EQ(nullptr, FindVarByPath("fractions.navy.attitudes.navy"));
    Run("engine_SetVar('fractions.navy.attitudes.pirates', '10')");
    Run("engine_AddVar('fractions', 'traders', 'TFraction')");
    EXPECT_EQ(10.0f, Value("fractions.navy.attitudes.pirates"));
    EXPECT_EQ(50.0f, Value("fractions.pirates.attitudes.navy"));
    for (const char* path : {"fractions.traders.attitudes.navy", "fractions.traders.attitudes.pirates",
                             "fractions.navy.attitudes.traders", "fractions.pirates.attitudes.traders"})
        EXPECT_EQ(50.0f, Value(path)) << path;
    auto* navy = dynamic_cast<TFraction*>(FindVarByPath("fractions.navy"));
    ASSERT_NE(nullptr, navy);
    EXPECT_EQ(10.0f, navy->Attitude("pirates"));
    EXPECT_EQ(50.0f, navy->Attitude("nobody"));

    // A faction link finds its target by name in "fractions".
    auto* link = NewGameObject<TFractionLink>("fraction", GlobalObjects);
    link->stringUpdate("pirates");
    EXPECT_EQ(FindVarByPath("fractions.pirates"), link->GetLinked());
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;
}

TEST_F(GameParts, PartsListActions) {
    Run("scenes = '' function loadScene(s, l) scenes = scenes .. s .. '|' .. l .. ';' end");
    // With no parts there is no first part.
    EXPECT_EQ("", Eval("engine_Execute('parts', 'getNextPartId')"));
    AddPart("c9", 9999999);
    AddPart("a", 1, "intro");
    AddPart("b", 2, "second");
    AddPart("c", 2);
    EXPECT_EQ("", Eval("engine_Execute('parts', 'getCurPartId')"));
    EXPECT_EQ("a", Eval("engine_Execute('parts', 'getNextPartId')"));
    Run("engine_Execute('parts', 'loadPart', 'a')");
    EXPECT_EQ("intro|;", Global("scenes"));
    EXPECT_EQ("a", Eval("engine_Execute('parts', 'getCurPartId')"));
    // Among equal numbers the first in list order; 9999999 is never next.
    EXPECT_EQ("b", Eval("engine_Execute('parts', 'getNextPartId')"));
    Run("engine_Execute('parts', 'loadPart', 'b')");
    EXPECT_THROW(Run("engine_Execute('parts', 'getNextPartId')"), Halted);
    EXPECT_EQ(Ru("TGamePartsList.getNextPart error: часть b -ПОСЛЕДНЯЯ!!!"), FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(Run("engine_Execute('parts', 'jump')"), Halted);
    EXPECT_EQ(Ru("TGamePartsList.Execute error: action- \"jump\" не используется"), FirstFatal());
}

TEST_F(GameParts, LinkersResolveOnceFromTheManager) {
    TBaseGameObject* linked = FindVarByPath("linked");
    ASSERT_NE(nullptr, linked);
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    auto* target = NewGameObject<TBaseGameObjectList>("target", table);
    auto* link = NewGameObject<TGameObjectLinkParam>("link", GlobalObjects);
    link->SetTable(table);
    link->setValue(target);

    struct Case {
        const char* key;
        bool linked;
    } cases[] = {{"", false}, {"target", true}};
    for (const auto& c : cases) {
        auto* linker = NewGameObject<TGameLinker>(std::string("l") + c.key, linked);
        linker->Start(table, link, c.key);
        if (c.linked) link->setValue(nullptr);
        linked->Tick(30.0f);
        EXPECT_EQ(c.linked ? target : nullptr, link->GetLinked()) << c.key;
        EXPECT_FALSE(linker->OnLink()->IsActive()) << c.key;
    }
    // Without a link or a table the linker reports it.
    auto* lost = NewGameObject<TGameLinker>("lost", linked);
    lost->Start(table, nullptr, "target");
    EXPECT_THROW(linked->Tick(30.0f), Halted);
    EXPECT_EQ("TGameLinker.onLinkFunc error: " + GetDebugPath(lost) + " link=nil", FirstFatal());
}

TEST_F(GameParts, StatisticsCountShotsDamageAndDestroyedEnemiesByName) {
    auto* stats = NewGameObject<TGameStatistics>("statistics", GlobalObjects);
    stats->CountShot();
    stats->CountShot();
    stats->CountDamage(true);
    stats->CountDamage(false);
    stats->CountDamage(false);
    for (const char* name : {"raider", "pirate", "raider"}) stats->CountDestroyedEnemy(name);
    EXPECT_EQ(2, stats->Value("shotCounter"));
    EXPECT_EQ(1, stats->Value("damageEnemyCounter"));
    EXPECT_EQ(2, stats->Value("damageFriendCounter"));
    EXPECT_EQ(3, stats->Value("destroyedEnemyCounter"));
    EXPECT_EQ(0, stats->Value("primaryShotCounter"));
    TBaseGameObject* enemies = stats->DestroyedEnemyes();
    ASSERT_EQ(2, enemies->CountChildren());
    int32_t cursor = 0;
    TBaseGameObject* child = nullptr;
    std::string seen;
    enemies->First(cursor);
    while (enemies->Next(cursor, child)) {
        auto* e = dynamic_cast<TGameStastisticEnemyCounter*>(child);
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(0u, e->GetName().rfind("c_", 0));
        seen += e->EnemyName()->GetValue() + "=" + std::to_string(e->Counter()->GetValue()) + " ";
    }
    EXPECT_EQ("raider=2 pirate=1 ", seen);
}

TEST_F(GameParts, ObjectivesMirrorEveryChangeToTheInterface) {
    Run("engine_AddVar('', 'objectives', 'TGameObjectives')");
    ChunkRecorder rec;
    Run("engine_Execute('objectives', 'add', 'o1', 'Find \"it\"')");
    Run("engine_Execute('objectives', 'add', 'o1', 'Find it now')");
    Run("engine_Execute('objectives', 'add', 'o2', '')");
    EXPECT_EQ("AddObjectiveReal(\"o1\",\"Find \\\"it\\\"\")\nAddObjectiveReal(\"o1\",\"Find it now\")\n",
              rec.Joined());
    auto* o1 = dynamic_cast<TGameObjective*>(FindVarByPath("objectives.o1"));
    ASSERT_NE(nullptr, o1);
    EXPECT_EQ("Find it now", o1->GetValue());
    ASSERT_NE(nullptr, FindVarByPath("objectives.o2"));

    rec.chunks.clear();
    Run("engine_Execute('objectives', 'done', 'o1') engine_Execute('objectives', 'failed', 'o2')");
    EXPECT_EQ(nullptr, FindVarByPath("objectives.o1"));
    EXPECT_EQ(nullptr, FindVarByPath("objectives.o2"));
    Run("engine_Execute('objectives', 'add', 'o3', 'x') engine_Execute('objectives', 'clear')");
    EXPECT_EQ(nullptr, FindVarByPath("objectives.o3"));
    EXPECT_EQ("DoneObjectiveReal(\"o1\")\nFailedObjectiveReal(\"o2\")\nAddObjectiveReal(\"o3\",\"x\")\n"
              "ClearObjectivesReal()\n",
              rec.Joined());
    EXPECT_THROW(Run("engine_Execute('objectives', 'win')"), Halted);
    EXPECT_EQ(Ru("TGameObjectives.Execute error: action- \"win\" не используется"), FirstFatal());
}

// The game world's start-up makes "parts" after "bal", "linked" and
// "playerSettings" with the global lists, and the dialog engine.
TEST(GameWorldStartUp, PartsListsAndDialogEngine) {
    ErrorTrap trap;
    TempDir dir;
    CreateLuaMachine();
    CoreServices services;
    InstallGameServices(services);
    IGameWorld& world = *services.game;
    world.CreateObjManagers();
    world.CreateRoots();
    world.CreateDialogs(dir.path() + "/Dialogs/");
    world.CreateGameVars();
    ASSERT_NE(nullptr, GlobalObjects);
    EXPECT_EQ(FindVarByPath("bal")->GetIndexInParent() + 1, FindVarByPath("parts")->GetIndexInParent());
    EXPECT_NE(nullptr, dynamic_cast<TGamePartsList*>(FindVarByPath("parts")));
    EXPECT_NE(nullptr, dynamic_cast<TGameLinkersManager*>(FindVarByPath("linked")));
    EXPECT_NE(nullptr, FindVarByPath("playerSettings.profiles"));
    EXPECT_EQ(&TFraction::StaticClass(), FindVarByPath("fractions")->GetDefaultChildClass());
    world.TickList("linked", 30.0f);

    platform::CreateFolders(dir.path() + "/Dialogs");
    platform::WriteFile(dir.path() + "/Dialogs/hi.dlg",
                        "<HEAD>\n<DIALOG>\n<LEVEL AUTH=\"n\">\n<CUE>Hi\n</LEVEL>\n");
    LuaMachine->RunString(
        "missing = engine_LoadDialog('none.dlg', '', '') found = engine_LoadDialog('hi.dlg', '', '') "
        "state = engine_GetDialog()");
    EXPECT_EQ("-1", GetLuaString("missing", false));
    EXPECT_EQ("0", GetLuaString("found", false));
    EXPECT_EQ("NPCName=^NPCDuty=^NPCHead=^NPCCue=Hi^Answer_1=" + Ru("Конец диалога.") + "^",
              GetLuaString("state", false));

    // Shut-down in the application's order.
    world.FreeDialogs();
    EXPECT_EQ(nullptr, GameDialog);
    for (auto step : {&IGameWorld::DeleteTree, &IGameWorld::ReleaseManagers, &IGameWorld::DeleteStatistics}) {
        (world.*step)();
        world.TickList("deleted", 0.0f);
    }
    world.ReleaseDeleted();
    if (TEODestroyManager) TEODestroyManager->Flush();
    FreeLuaMachine();
    EXPECT_EQ(nullptr, GlobalObjects);
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;
}

} // namespace
} // namespace vesk::test
