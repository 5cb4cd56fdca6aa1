// Saved games: the round trip of the player, the ship and the items; where
// saves may go; crafted save files that try to reach outside the game, in
// their data and in the event code they carry.
#include <gtest/gtest.h>

#include <filesystem>

#include "ai_fixture.h"
#include "core/paths.h"
#include "game/player_regimes.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

namespace fs = std::filesystem;

class SavedGames : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        oldProfiles_ = ProfilesPath;
        ProfilesPath = dir / "profiles/";
        fs::create_directories(dir / "profiles/pilot/save");
        Run("engine_SetVar('ini.curPlayerProfile', 'pilot') "
            // The scripts' side of a load: the ship comes back under its old name.
            "function loadPlayershipToLua(file) "
            "  if engine_IsVar('obj.pship') == 1 then engine_DelVar('obj.pship') end "
            "  engine_AddVar('obj', 'pship', 'TGameObject') engine_LoadFromFile('obj.pship', file) "
            "  engine_SetVar('player.ship', 'pship') end "
            "service = {} function loadSavedScene(id, x) sceneLoaded = id end "
            "function getUniqId() return 'save_x' end");
        pship = Place("pship", {0, 0, 0});
        SetPlayerShip("pship");
        Move(pship, {120, -40, 8});
        SetValue("obj.pship.param.shield", 200, 150);
        Slot("obj.pship.slots", "left", "gun_left");
        Run("engine_AddVar('obj.pship.cargo', 'hold')");
        Item("gun", "cannon", "gun");
        Item("spare", "cannon", "gun");
        Run("engine_SetVar('items.gun.range', '1500') engine_SetVar('items.spare.description', 'a spare')");
        Put("obj.pship.slots.left.item", "gun");
        Put("obj.pship.cargo.hold", "spare");
        Player->GetShipRegime();
        Run("engine_SetVar('player.res2', '5') engine_AddVar('player.objectives', 'o1') "
            "engine_AddVar('player.vars', 'kills', 'TGameObjectIntParam') engine_SetVar('player.vars.kills', "
            "'3')");
    }
    void TearDown() override {
        ProfilesPath = oldProfiles_;
        AiTest::TearDown();
    }
    // The Lua mirror of a node as text with its keys sorted.
    std::string Mirror(const std::string& path) {
        Run("engine_UpdateToScript('" + path +
            "', 'mirror') "
            "local function dump(v) if type(v) ~= 'table' then return tostring(v) end "
            "local keys = {} for k in pairs(v) do table.insert(keys, k) end table.sort(keys) "
            "local out = '{' for _, k in ipairs(keys) do out = out .. k .. '=' .. dump(v[k]) .. ',' end "
            "return out .. '}' end mirrorText = dump(mirror)");
        return Global("mirrorText");
    }
    std::string Tree() {
        return Mirror("player") + Mirror("obj.pship") + Mirror("items.gun") + Mirror("items.spare");
    }
    std::string SaveFolder(const std::string& id) { return dir / ("profiles/pilot/save/" + id + "/"); }

    TGameObject* pship = nullptr;

private:
    std::string oldProfiles_;
};

TEST_F(SavedGames, LoadingGivesBackTheTreeAsItWasSaved) {
    ASSERT_TRUE(Player->SaveGame("save_1"));
    for (const char* f : {"info.lua", "player.lua", "pship.lua", "items.lua"})
        EXPECT_TRUE(platform::FileExists(SaveFolder("save_1") + f)) << f;
    const std::string saved = Tree();
    for (const char* part : {"position=120 -40 8", "range=1500", "res2=5", "kills=3", "hold=spare",
                             "o1=", "item=gun", "pshipRegime={"})
        EXPECT_NE(saved.find(part), std::string::npos) << part << " in " << saved;
    // The game goes on and changes.
    SetValue("obj.pship.param.shield", 200, 10);
    Run("engine_SetVar('player.res2', '9') engine_SetVar('items.gun.range', '1') "
        "engine_SetVar('obj.pship.cargo.hold', '') engine_DelVar('player.objectives.o1')");
    Frame();
    ASSERT_TRUE(Player->LoadGame("save_1"));
    Frame(0.0f); // the links of the new ship find their items
    EXPECT_EQ(Tree(), saved);
    EXPECT_EQ(Global("sceneLoaded"), "save_1");
    EXPECT_EQ(Eval("service.objcount"), "1");
    EXPECT_EQ(Eval("engine_GetVar('playerSettings.curSave')"), "save_1");
    // The saved ship comes back in its own regime, and its items in their places.
    EXPECT_NE(ShipRegimeOf(FindVarByPath("obj.pship")), nullptr);
    EXPECT_EQ(Eval("engine_GetVar('obj.pship.slots.left.item')"), "gun");
    EXPECT_EQ(Eval("engine_GetVar('items.spare.description')"), "a spare");
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(SavedGames, AnUnnamedSaveIsNamedAfterItsIdAndIsListed) {
    ASSERT_TRUE(Player->SaveGame("save_7"));
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    EXPECT_EQ(Eval("engine_GetVar('playerSettings.saves.save_7.name')"),
              Ru("непоименованный сейв с идентификатором save_7"));
    // Without an id the scripts give one.
    ASSERT_TRUE(Player->SaveGame(""));
    EXPECT_TRUE(platform::FolderExists(SaveFolder("save_x")));
}

TEST_F(SavedGames, SavesStayInsideTheProfileAndNeverInTheDefaultOne) {
    for (const char* id : {"../../escape", "/tmp/escape", "a/b", ".."}) {
        trap.reports.clear();
        EXPECT_FALSE(Player->SaveGame(id)) << id;
        EXPECT_FALSE(Player->LoadGame(id)) << id;
    }
    EXPECT_FALSE(fs::exists(dir / "escape"));
    EXPECT_FALSE(Player->LoadGame("save_missing"));
    Run("engine_SetVar('ini.curPlayerProfile', 'default')");
    try {
        Player->SaveGame("save_1");
    } catch (const Halted&) {
    }
    EXPECT_NE(FirstFatal().find("TPlayer.saveProfile error"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "profiles/default"));
}

class CraftedSaves : public SavedGames {
protected:
    void SetUp() override {
        SavedGames::SetUp();
        ASSERT_TRUE(Player->SaveGame("save_1"));
        outside = dir / "outside";
    }
    void Write(const char* file, const std::string& text) {
        platform::WriteFile(SaveFolder("save_1") + file, text);
    }
    bool Reached() const { return fs::exists(outside); }
    std::string outside;
};

TEST_F(CraftedSaves, DataThatCallsLibrariesIsRefusedAndTheLoadGoesOn) {
    const std::string touch = "'touch " + outside + "'";
    struct Case {
        const char* file;
        std::string text;
    } cases[] = {
        {"player.lua", "exec_table = {} os.execute(" + touch + ")"},
        {"pship.lua", "exec_table = {} io.open('" + outside + "', 'w'):write('x')"},
        {"items.lua", "exec_table = {} loadlib('libc.so.6', 'system')"},
        {"info.lua", "exec_table = {} dofile('" + outside + "')"},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        Write(c.file, c.text);
        EXPECT_TRUE(Player->LoadGame("save_1")) << c.file;
        EXPECT_FALSE(Reached()) << c.file;
        bool named = false;
        for (const auto& r : trap.reports)
            named = named || r.text.find(std::string(c.file) + " refused") != std::string::npos;
        EXPECT_TRUE(named) << c.file;
        EXPECT_EQ(FirstFatal(), "") << c.file;
        ASSERT_TRUE(Player->SaveGame("save_1"));
    }
}

TEST_F(CraftedSaves, EventCodeFromAFileRunsOnlyWhenTheGameUsesTheSameCode) {
    Run("engine_SetVar('obj.pship.events.onDamage', 'damageSeen = (damageSeen or 0) + 1')");
    ASSERT_TRUE(Player->SaveGame("save_1"));
    std::string text;
    ASSERT_TRUE(platform::ReadFile(SaveFolder("save_1") + "pship.lua", text));
    // The game's own code comes back and runs.
    ASSERT_TRUE(Player->LoadGame("save_1"));
    Run("engine_Execute('obj.pship.events.onDamage')");
    EXPECT_EQ(Global("damageSeen"), "1");
    // Planted code reaches nothing, and says so once.
    const std::string own = "damageSeen = (damageSeen or 0) + 1";
    const size_t at = text.find(own);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, own.size(), "os.execute('touch " + outside + "')");
    Write("pship.lua", text);
    trap.reports.clear();
    ASSERT_TRUE(Player->LoadGame("save_1"));
    Run("engine_Execute('obj.pship.events.onDamage') engine_Execute('obj.pship.events.onDamage')");
    EXPECT_FALSE(Reached());
    int refusals = 0;
    for (const auto& r : trap.reports) refusals += r.text.find("is not run") != std::string::npos ? 1 : 0;
    EXPECT_EQ(refusals, 1);
    // Copied as a template, the planted code stays the file's.
    Run("engine_AddVar('obj', 'copy', 'TGameObject', 'obj.pship')");
    Run("engine_Execute('obj.copy.events.onDamage')");
    EXPECT_FALSE(Reached());
    // Given by the game's scripts, the same text is the game's.
    Run("engine_SetVar('obj.copy.events.onDamage', [[os.execute('true')]])");
    auto* code = dynamic_cast<TGameEventCode*>(FindVarByPath("obj.copy.events.onDamage.event"));
    ASSERT_NE(code, nullptr);
    EXPECT_TRUE(code->MayRun());
}

TEST_F(CraftedSaves, AFileMakesOnlyEntriesOfItsListsKinds) {
    // An entry that would take over a global list of the game is not made.
    Write("items.lua", "exec_table = { engineType = 'TBaseGameObjectList', "
                       "deleted = { engineType = 'tDeletedObjects' }, "
                       "extra = { engineType = 'TGameItem', description = 'kept' } }");
    tDeletedObjects* before = DeletedObjects;
    ASSERT_TRUE(Player->LoadGame("save_1"));
    EXPECT_EQ(DeletedObjects, before);
    EXPECT_EQ(FindVarByPath("items.deleted"), nullptr);
    EXPECT_EQ(Eval("engine_GetVar('items.extra.description')"), "kept");
}

} // namespace
} // namespace vesk::test
