// Profiles and saved games: the catalogue's actions, switching, writing and
// deleting profiles, and the names that are refused.
#include "core/paths.h"
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

} // namespace
} // namespace vesk::test
