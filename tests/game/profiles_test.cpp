// Profiles and saved games: the catalogue's actions, switching, writing and
// deleting profiles, and the names that are refused.
#include <filesystem>

#include "core/paths.h"
#include "game/game_ini_table.h"
#include "game/game_parts.h"
#include "game/profiles.h"
#include "game_logic_fixture.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

class Profiles : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        RegisterProfileClasses();
        CreatePlayerSettings(GlobalObjects);
        savedProfiles = ProfilesPath;
        ProfilesPath = dir.path() + "/profiles/";
        for (const char* folder :
             {"alice/save/save_1", "alice/save/other", "alice/save/save.bak", "bob.old", "carol"})
            platform::CreateFolders(ProfilesPath + folder);
    }
    void TearDown() override {
        ProfilesPath = savedProfiles;
        GameLogicTest::TearDown();
    }
    std::string Names(const std::string& list) {
        std::string out;
        int32_t cursor = 0;
        TBaseGameObject* node = FindVarByPath(list);
        TBaseGameObject* child = nullptr;
        node->First(cursor);
        while (node->Next(cursor, child)) {
            std::string v;
            if (auto* p = dynamic_cast<TGameObjectStringParam*>(child)) v = "=" + p->GetValue();
            out += child->GetName() + v + " ";
        }
        return out;
    }
    std::string savedProfiles;
};

TEST_F(Profiles, CatalogueSwitchWriteAndDelete) {
    Run("engine_Execute('playerSettings', 'updateProfileNames')");
    const std::string names = Names("playerSettings.profiles");
    EXPECT_NE(std::string::npos, names.find("alice=alice "));
    EXPECT_NE(std::string::npos, names.find("carol=carol "));
    EXPECT_EQ(std::string::npos, names.find("bob"));

    // A profile without a folder falls back to "default".
    SwitchPlayerProfile("nobody");
    EXPECT_EQ("default", CurrentProfile());
    SwitchPlayerProfile("../alice");
    EXPECT_EQ("default", CurrentProfile());

    // Written, changed, and read back on the switch.
    Run("engine_SetVar('playerSettings.PlayerName', 'Ann')");
    SavePlayerProfile("alice");
    EXPECT_TRUE(platform::FileExists(ProfilesPath + "alice/settings.lua"));
    Run("engine_SetVar('playerSettings.PlayerName', 'Zed')");
    SwitchPlayerProfile("alice");
    EXPECT_EQ("alice", CurrentProfile());
    EXPECT_EQ("Ann", Eval("engine_GetVar('playerSettings.PlayerName')"));

    // Saves: only "save*" folders without a "." are listed, each from its info.lua.
    Run("engine_SetVar('playerSettings.newSaveData.name', 'First flight')");
    FindVarByPath("playerSettings.newSaveData")->saveData(ProfilesPath + "alice/save/save_1/info.lua");
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    EXPECT_EQ("save_1 ", Names("playerSettings.saves"));
    EXPECT_EQ("First flight", Eval("engine_GetVar('playerSettings.saves.save_1.name')"));
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;

    // Refusals are reported and the game goes on: a name may be one a player typed.
    EXPECT_FALSE(SavePlayerProfile("default"));
    EXPECT_TRUE(
        trap.HasReport(Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и "
                          "сейвы туда записывать НЕЛЬЗЯ!!!")));
    EXPECT_FALSE(platform::FolderExists(ProfilesPath + "default"));

    for (const char* bad : {"", "..", "../carol", "/tmp", "a/b"}) {
        trap.reports.clear();
        EXPECT_FALSE(DeletePlayerProfile(bad)) << bad;
        EXPECT_TRUE(
            trap.HasReport("TPlayer.deleteProfile error: wrong profile name: \"" + std::string(bad) + "\""))
            << bad;
        // A name that names no folder is not made the current profile either.
        trap.reports.clear();
        EXPECT_FALSE(SavePlayerProfile(bad)) << bad;
        EXPECT_EQ("default", CurrentProfile());
    }
    EXPECT_EQ("", FirstFatal());
    EXPECT_TRUE(platform::FolderExists(ProfilesPath + "carol"));
    EXPECT_TRUE(DeletePlayerProfile("alice"));
    EXPECT_FALSE(platform::FolderExists(ProfilesPath + "alice"));
    EXPECT_TRUE(platform::FolderExists(ProfilesPath + "carol"));

    trap.reports.clear();
    EXPECT_THROW(Run("engine_Execute('playerSettings', 'wipe')"), Halted);
    EXPECT_EQ(Ru("TPlayerSettings.Execute error: action- \"wipe\" не используется"), FirstFatal());
}

// Profiles are never reached through a link, whether it leads out of the game
// folder or back into it (the game folder itself, its scripts): a linked
// profile is no profile, a profile whose save folder is a link is refused with
// a message, a saved game that is a link is not listed, and deleting takes
// links away as links. Nothing the links point to changes.
TEST_F(Profiles, ProfilesNeverGoThroughLinks) {
    namespace fs = std::filesystem;
    TempDir outside;
    ASSERT_TRUE(platform::CreateFolders(outside / "save/save_1"));
    ASSERT_TRUE(platform::WriteFile(outside / "save/save_1/info.lua", "evil = 1"));
    ASSERT_TRUE(platform::WriteFile(outside / "settings.lua", "evil = 1"));
    ASSERT_TRUE(platform::CreateFolders(dir / "Scripts/save_4"));
    ASSERT_TRUE(platform::WriteFile(dir / "Scripts/main.lua", "the main script"));
    ASSERT_TRUE(platform::WriteFile(dir / "vesk", "the program"));
    ASSERT_TRUE(platform::CreateFolders(ProfilesPath + "bob"));
    ASSERT_TRUE(platform::CreateFolders(ProfilesPath + "carol/save/save_2"));
    fs::create_directory_symlink(outside.path(), ProfilesPath + "out");
    fs::create_directory_symlink("..", ProfilesPath + "up");
    fs::create_directory_symlink("../Scripts", ProfilesPath + "scripts");
    fs::create_directory_symlink("../../Scripts", ProfilesPath + "bob/save");
    fs::create_directory_symlink("../../../Scripts/save_4", ProfilesPath + "carol/save/save_9");
    Run("engine_SetVar('playerSettings.newSaveData.name', 'Carol s own')");
    FindVarByPath("playerSettings.newSaveData")->saveData(ProfilesPath + "carol/save/save_2/info.lua");

    Run("engine_Execute('playerSettings', 'updateProfileNames')");
    const std::string names = Names("playerSettings.profiles");
    for (const char* linked : {"out=", "up=", "scripts="})
        EXPECT_EQ(std::string::npos, names.find(linked)) << names;
    EXPECT_NE(std::string::npos, names.find("bob=bob ")) << names;
    for (const char* linked : {"out", "up", "scripts"}) {
        SCOPED_TRACE(linked);
        SwitchPlayerProfile(linked);
        EXPECT_EQ("default", CurrentProfile());
        trap.reports.clear();
        EXPECT_FALSE(SavePlayerProfile(linked));
        EXPECT_TRUE(trap.HasReport("TPlayer.saveProfile error: \"" + ProfilesPath + linked +
                                   "/save/\" goes through a link"));
    }
    trap.reports.clear();
    EXPECT_FALSE(SavePlayerProfile("bob"));
    EXPECT_TRUE(
        trap.HasReport("TPlayer.saveProfile error: \"" + ProfilesPath + "bob/save/\" goes through a link"));
    trap.reports.clear();
    GameIniTable->SetText("curPlayerProfile", "bob");
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    EXPECT_TRUE(trap.HasReport("TPlayerSettings.updateSaveNames error: \"" + ProfilesPath +
                               "bob/save/\" goes through a link"));
    EXPECT_EQ("", Names("playerSettings.saves"));
    // Of carol's saves only her own folder is listed.
    GameIniTable->SetText("curPlayerProfile", "carol");
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    EXPECT_EQ("save_2 ", Names("playerSettings.saves"));
    EXPECT_EQ("Carol s own", Eval("engine_GetVar('playerSettings.saves.save_2.name')"));
    EXPECT_EQ("", FirstFatal());
    EXPECT_EQ(Eval("tostring(evil)"), "nil");

    // Deleting takes each link away as a link.
    trap.reports.clear();
    for (const char* profile : {"out", "up", "scripts", "bob", "carol"}) {
        SCOPED_TRACE(profile);
        EXPECT_TRUE(DeletePlayerProfile(profile));
        EXPECT_FALSE(fs::exists(fs::symlink_status(ProfilesPath + profile)));
    }
    EXPECT_TRUE(trap.reports.empty());
    const struct {
        std::string file, text;
    } kept[] = {
        {outside / "settings.lua", "evil = 1"},
        {outside / "save/save_1/info.lua", "evil = 1"},
        {dir / "Scripts/main.lua", "the main script"},
        {dir / "vesk", "the program"},
    };
    for (const auto& k : kept) {
        std::string text;
        EXPECT_TRUE(platform::ReadFile(k.file, text)) << k.file;
        EXPECT_EQ(text, k.text) << k.file;
    }
    EXPECT_TRUE(platform::FolderExists(dir / "Scripts/save_4"));
    for (const std::string& stray :
         {dir / "settings.lua", dir / "Scripts/settings.lua", outside / "save/settings.lua"})
        EXPECT_FALSE(fs::exists(stray)) << stray;
    EXPECT_TRUE(platform::FolderExists(ProfilesPath + "alice/save/save_1"));
}

} // namespace
} // namespace vesk::test
