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

    EXPECT_THROW(SavePlayerProfile("default"), Halted);
    EXPECT_EQ(Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и сейвы туда "
                 "записывать НЕЛЬЗЯ!!!"),
              FirstFatal());
    EXPECT_FALSE(platform::FolderExists(ProfilesPath + "default"));

    for (const char* bad : {"", "..", "../carol", "/tmp", "a/b"}) {
        trap.reports.clear();
        EXPECT_THROW(DeletePlayerProfile(bad), Halted) << bad;
        EXPECT_EQ("TPlayer.deleteProfile error: wrong profile name: \"" + std::string(bad) + "\"",
                  FirstFatal());
    }
    EXPECT_TRUE(platform::FolderExists(ProfilesPath + "carol"));
    DeletePlayerProfile("alice");
    EXPECT_FALSE(platform::FolderExists(ProfilesPath + "alice"));
    EXPECT_TRUE(platform::FolderExists(ProfilesPath + "carol"));

    trap.reports.clear();
    EXPECT_THROW(Run("engine_Execute('playerSettings', 'wipe')"), Halted);
    EXPECT_EQ(Ru("TPlayerSettings.Execute error: action- \"wipe\" не используется"), FirstFatal());
}

// A profile name or a profile folder that leads out of the game folder is
// refused: the save listing reads nothing outside, and nothing outside is
// written or deleted.
TEST_F(Profiles, ProfilesNeverLeadOutOfTheGameFolder) {
    TempDir outside;
    ASSERT_TRUE(platform::CreateFolders(outside / "save/save_1"));
    ASSERT_TRUE(platform::WriteFile(outside / "save/save_1/info.lua", "evil = 1"));
    ASSERT_TRUE(platform::WriteFile(outside / "settings.lua", "evil = 1"));
    std::filesystem::create_directory_symlink(outside.path(), ProfilesPath + "linked");
    const std::string up = "../../../../../../../../" + outside.path().substr(1);
    const struct {
        std::string profile, report;
    } cases[] = {
        {up, "TPlayerSettings.updateSaveNames error: wrong profile name: \"" + up + "\""},
        {"linked", "TPlayerSettings.updateSaveNames error: \"" + ProfilesPath +
                       "linked/save/\" leads outside the game folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        trap.reports.clear();
        GameIniTable->SetText("curPlayerProfile", c.profile);
        EXPECT_THROW(Run("engine_Execute('playerSettings', 'updateSaveNames')"), Halted);
        EXPECT_EQ(c.report, FirstFatal());
        EXPECT_EQ("", Names("playerSettings.saves"));
    }
    trap.reports.clear();
    EXPECT_THROW(SavePlayerProfile("linked"), Halted);
    EXPECT_EQ("TPlayer.saveProfile error: \"" + ProfilesPath +
                  "linked/settings.lua\" leads outside the game folder",
              FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(DeletePlayerProfile("linked"), Halted);
    EXPECT_EQ("TPlayer.deleteProfile error: \"" + ProfilesPath + "linked/\" leads outside the game folder",
              FirstFatal());
    trap.reports.clear();
    EXPECT_THROW(SwitchPlayerProfile("linked"), Halted);
    EXPECT_EQ(Eval("tostring(evil)"), "nil");
    std::string text;
    EXPECT_TRUE(platform::ReadFile(outside / "settings.lua", text));
    EXPECT_EQ(text, "evil = 1");
    EXPECT_TRUE(platform::FileExists(outside / "save/save_1/info.lua"));
}

} // namespace
} // namespace vesk::test
