// Saved games: the round trip of the player, the ship and the items; where
// saves may go; crafted save files that try to reach outside the game, in
// their data and in the event code they carry.
#include <gtest/gtest.h>

#include <filesystem>

#include "ai_fixture.h"
#include "core/paths.h"
#include "game/player_regimes.h"
#include "platform/files.h"
#include "shared/errors.h"

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
    // Refusals are answers: the script is told, and the game goes on.
    trap.reports.clear();
    EXPECT_EQ(Eval("tostring(engine_Execute('player', 'save', '../../escape'))"), "false");
    EXPECT_TRUE(trap.HasReport("TPlayer.saveGame error: wrong save id: \"../../escape\""));
    EXPECT_EQ(Eval("tostring(engine_Execute('player', 'newProfile', 'a/b'))"), "false");
    EXPECT_EQ(Eval("engine_GetVar('ini.curPlayerProfile')"), "pilot");
    Run("engine_SetVar('ini.curPlayerProfile', 'default')");
    EXPECT_EQ(Eval("tostring(engine_Execute('player', 'save', 'save_1'))"), "false");
    EXPECT_TRUE(
        trap.HasReport(Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и "
                          "сейвы туда записывать НЕЛЬЗЯ!!!")));
    EXPECT_EQ(Eval("tostring(engine_Execute('player', 'newProfile', 'default'))"), "false");
    EXPECT_FALSE(fs::exists(dir / "profiles/default"));
    EXPECT_EQ(FirstFatal(), "");
}

// Saved games are never written or read through a link, whether it leads out
// of the game folder or back into it: a saved game that is a link is replaced
// as the link, never written through; a profile or a save folder that is a
// link refuses saving and loading; nothing the links point to changes.
TEST_F(SavedGames, SavesNeverGoThroughLinks) {
    TempDir outside;
    ASSERT_TRUE(platform::CreateFolders(dir / "Scripts"));
    ASSERT_TRUE(platform::WriteFile(dir / "Scripts/main.lua", "the main script"));
    ASSERT_TRUE(platform::WriteFile(dir / "vesk", "the program"));
    ASSERT_TRUE(Player->SaveGame("save_1"));
    // A whole saved game outside, to be reached through links.
    fs::copy(SaveFolder("save_1"), outside / "save_1");
    std::string outsideShip;
    ASSERT_TRUE(platform::ReadFile(outside / "save_1/pship.lua", outsideShip));
    fs::create_directory_symlink(dir / "Scripts", dir / "profiles/pilot/save/save_s");
    fs::create_directory_symlink("..", dir / "profiles/pilot/save/save_up");
    fs::create_directory_symlink("../../..", dir / "profiles/pilot/save/save_game");
    fs::create_directory_symlink(outside / "save_1", dir / "profiles/pilot/save/save_out");
    fs::create_directories(dir / "profiles/bob");
    fs::create_directory_symlink("../../Scripts", dir / "profiles/bob/save");
    fs::create_directory_symlink(outside.path(), dir / "profiles/linked");
    fs::create_directories(SaveFolder("save_f"));
    fs::copy(SaveFolder("save_1"), SaveFolder("save_f"));
    fs::remove(SaveFolder("save_f") + "pship.lua");
    fs::create_symlink(outside / "save_1/pship.lua", SaveFolder("save_f") + "pship.lua");

    // Loading through any of them is refused whole.
    const std::string shipBefore = Mirror("obj.pship");
    const struct {
        std::string profile, id, through; // through: the path the refusal names, under profiles/
    } loads[] = {
        {"pilot", "save_up", "pilot/save/save_up/"},   {"pilot", "save_game", "pilot/save/save_game/"},
        {"pilot", "save_out", "pilot/save/save_out/"}, {"pilot", "save_s", "pilot/save/save_s/"},
        {"bob", "save_1", "bob/save/save_1/"},         {"linked", "save_1", "linked/save/save_1/"},
    };
    for (const auto& c : loads) {
        SCOPED_TRACE(c.profile + "/" + c.id);
        trap.reports.clear();
        Run("engine_SetVar('ini.curPlayerProfile', '" + c.profile + "')");
        EXPECT_FALSE(Player->LoadGame(c.id));
        EXPECT_TRUE(trap.HasReport("TPlayer.loadGame error: \"" + dir / "profiles/" + c.through +
                                   "\" goes through a link"));
    }
    Run("engine_SetVar('ini.curPlayerProfile', 'pilot')");
    trap.reports.clear();
    EXPECT_FALSE(Player->LoadGame("save_f"));
    EXPECT_TRUE(trap.HasReport("TPlayer.loadGame error: the saved game \"save_f\" is refused: " +
                               SaveFolder("save_f") + "pship.lua goes through a link"));
    EXPECT_EQ(Mirror("obj.pship"), shipBefore);

    // Saving where a profile or its save folder is a link is refused.
    for (const char* profile : {"bob", "linked"}) {
        SCOPED_TRACE(profile);
        trap.reports.clear();
        Run("engine_SetVar('ini.curPlayerProfile', '" + std::string(profile) + "')");
        EXPECT_FALSE(Player->SaveGame("save_2"));
        EXPECT_TRUE(trap.HasReport("TPlayer.saveGame error: \"" + dir / "profiles/" + profile +
                                   "/save/\" goes through a link"));
    }
    // Saving over a saved game that is a link replaces the link.
    Run("engine_SetVar('ini.curPlayerProfile', 'pilot')");
    for (const char* id : {"save_s", "save_up", "save_game", "save_out", "save_f"}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(Player->SaveGame(id));
        EXPECT_FALSE(fs::is_symlink(dir / ("profiles/pilot/save/" + std::string(id))));
        for (const char* f : {"info.lua", "player.lua", "pship.lua", "items.lua"})
            EXPECT_FALSE(fs::is_symlink(SaveFolder(id) + f)) << f;
        EXPECT_TRUE(Player->LoadGame(id));
    }
    EXPECT_EQ(FirstFatal(), "");
    std::string text;
    EXPECT_TRUE(platform::ReadFile(dir / "Scripts/main.lua", text));
    EXPECT_EQ(text, "the main script");
    EXPECT_TRUE(platform::ReadFile(dir / "vesk", text));
    EXPECT_EQ(text, "the program");
    for (const std::string& stray : {dir / "Scripts/info.lua", dir / "Scripts/player.lua", dir / "info.lua",
                                     outside / "info.lua", dir / "profiles/pilot/info.lua"})
        EXPECT_FALSE(fs::exists(stray)) << stray;
    EXPECT_TRUE(platform::ReadFile(outside / "save_1/pship.lua", text));
    EXPECT_EQ(text, outsideShip);
    EXPECT_EQ(platform::ListFolder(outside / "save_1").size(), 4u);
}

// Each unnamed save is named after its own id; a name the scripts gave the
// record is the next save's.
TEST_F(SavedGames, EverySaveKeepsItsOwnLabel) {
    ASSERT_TRUE(Player->SaveGame("save_1"));
    ASSERT_TRUE(Player->SaveGame("save_2"));
    Run("engine_SetVar('playerSettings.newSaveData.name', 'Before the fight')");
    ASSERT_TRUE(Player->SaveGame("save_3"));
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    const struct {
        const char* id;
        std::string label;
    } cases[] = {
        {"save_1", Ru("непоименованный сейв с идентификатором save_1")},
        {"save_2", Ru("непоименованный сейв с идентификатором save_2")},
        {"save_3", "Before the fight"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Eval("engine_GetVar('playerSettings.saves." + std::string(c.id) + ".name')"), c.label)
            << c.id;
    EXPECT_EQ(Eval("engine_GetVar('playerSettings.newSaveData.name')"), "Before the fight");
}

// The scripts write the files of a save: a part they could not write fails
// the save, and the saved game that was there stays as it was.
TEST_F(SavedGames, ASaveNotWrittenWholeFailsAndKeepsTheOldOne) {
    ASSERT_TRUE(Player->SaveGame("save_1"));
    std::string before;
    ASSERT_TRUE(platform::ReadFile(SaveFolder("save_1") + "player.lua", before));
    Run("engine_SetVar('player.res2', '8')");
    for (const char* part : {"info.lua", "player.lua", "pship.lua", "items.lua"}) {
        SCOPED_TRACE(part);
        trap.reports.clear();
        Run(std::string("realSaveData = realSaveData or saveData "
                        "function saveData(path, file) "
                        "  if string.find(file, '") +
            part + "', 1, true) then return end realSaveData(path, file) end");
        EXPECT_EQ(Eval("tostring(engine_Execute('player', 'save', 'save_1'))"), "false");
        bool named = false;
        for (const auto& r : trap.reports)
            named = named || (r.text.find("TPlayer.saveGame error: ") == 0 &&
                              r.text.find(std::string(part) + " was not written") != std::string::npos);
        EXPECT_TRUE(named);
        std::string now;
        ASSERT_TRUE(platform::ReadFile(SaveFolder("save_1") + "player.lua", now));
        EXPECT_EQ(now, before);
        EXPECT_EQ(platform::ListFolder(dir / "profiles/pilot/save"), std::vector<std::string>{"save_1"});
    }
    Run("saveData = realSaveData");
    EXPECT_TRUE(Player->SaveGame("save_1"));
    Run("engine_SetVar('player.res2', '1')");
    EXPECT_TRUE(Player->LoadGame("save_1"));
    EXPECT_EQ(Eval("engine_GetVar('player.res2')"), "8");
    EXPECT_EQ(FirstFatal(), "");
}

// A saved game whose older files lack what the game gained since loads
// quietly: what is missing keeps its value, and the log says so once.
TEST_F(SavedGames, EntriesAnOlderSaveLacksAreLoggedOnce) {
    ASSERT_TRUE(Player->SaveGame("save_1"));
    Run("engine_AddVar('player', 'journal', 'TBaseGameObjectList') "
        "for _, n in ipairs({'a', 'b', 'c'}) do engine_AddVar('player.journal', n, 'TGameObjectIntParam') "
        "engine_SetVar('player.journal.' .. n, '4') end");
    const std::string savedFolder = LogFolder();
    SetLogFolder(dir / "logs");
    platform::CreateFolders(dir / "logs");
    LogEnabled = true;
    trap.reports.clear();
    const bool loaded = Player->LoadGame("save_1");
    std::string log;
    platform::ReadFile(dir / "logs/log.txt", log);
    LogEnabled = false;
    SetLogFolder(savedFolder);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(trap.reports.empty()) << trap.reports.front().text;
    EXPECT_EQ(Eval("engine_GetVar('player.journal.b')"), "4");
    const std::string line =
        "loadData: " + SaveFolder("save_1") +
        "player.lua lacks 1 entries (first exec_table[\"journal\"]); they keep their values";
    const size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("lacks", at + line.size()), std::string::npos) << log;
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

TEST_F(CraftedSaves, DataThatCallsLibrariesRefusesTheWholeSave) {
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
        EXPECT_FALSE(Player->LoadGame("save_1")) << c.file;
        EXPECT_FALSE(Reached()) << c.file;
        bool named = false;
        for (const auto& r : trap.reports)
            named = named ||
                    (r.text.find("TPlayer.loadGame error: the saved game \"save_1\" is refused: ") == 0 &&
                     r.text.find(std::string(c.file) + ": ") != std::string::npos);
        EXPECT_TRUE(named) << c.file;
        EXPECT_EQ(FirstFatal(), "") << c.file;
        ASSERT_TRUE(Player->SaveGame("save_1"));
    }
}

// A save that cannot be read whole is not read at all: the player keeps the
// ship and the game it has (a refused ship file once left the player without
// a ship).
TEST_F(CraftedSaves, ASaveThatCannotBeReadWholeLeavesTheGameAsItWas) {
    SetValue("obj.pship.param.shield", 200, 20);
    Run("engine_SetVar('player.res2', '9')");
    const std::string before = Tree();
    TBaseGameObject* ship = FindVarByPath("obj.pship");
    const struct {
        const char* file;
        std::string text, why; // why: how the report ends
    } cases[] = {
        {"pship.lua", "exec_table = {} io.open('x', 'w')", ""},
        {"pship.lua", "exec_table = 'not an object'", "pship.lua: no saved object in it"},
        {"items.lua", "exec_table = {", ""},
        {"player.lua", "", "player.lua: no saved object in it"},
        {"info.lua", "x = 1", "info.lua: no saved object in it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.text);
        ASSERT_TRUE(Player->SaveGame("save_1"));
        Write(c.file, c.text);
        trap.reports.clear();
        EXPECT_EQ(Eval("tostring(engine_Execute('player', 'load', 'save_1'))"), "false");
        const std::string head =
            "TPlayer.loadGame error: the saved game \"save_1\" is refused: " + SaveFolder("save_1");
        bool named = false;
        for (const auto& r : trap.reports)
            named =
                named || (r.text.rfind(head + c.file, 0) == 0 && (c.why.empty() || r.text == head + c.why));
        EXPECT_TRUE(named);
        EXPECT_EQ(FindVarByPath("obj.pship"), ship);
        EXPECT_EQ(Tree(), before);
    }
    // A ship file gone while the saved player names a ship: refused too.
    ASSERT_TRUE(Player->SaveGame("save_1"));
    fs::remove(SaveFolder("save_1") + "pship.lua");
    EXPECT_FALSE(Player->LoadGame("save_1"));
    EXPECT_EQ(FindVarByPath("obj.pship"), ship);
    EXPECT_EQ(FirstFatal(), "");
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
