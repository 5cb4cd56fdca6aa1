// The game ini table "ini": its parameters and "new.cfg".
#include <filesystem>

#include "core/game_ini_params.h"
#include "core/lua_adapter.h"
#include "core/var_list.h"
#include "game_tree_fixture.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

using IniTable = GameTreeTest;

TEST_F(IniTable, HoldsTheFortyParametersWithDefaults) {
    ASSERT_NE(nullptr, GameIniTable);
    EXPECT_EQ(40, GameIniTable->CountChildren());
    EXPECT_EQ("system_talestra_core", Eval("engine_GetVar('ini.startLocation')"));
    EXPECT_EQ("0", Eval("engine_GetVar('ini.joystick')"));
    EXPECT_EQ("0", Eval("engine_GetVar('ini.cam_from.z')"));
    EXPECT_EQ("0", Eval("engine_GetVar('ini.jSensitivity')"));
    Run("engine_SetVar('ini.poorfx', '1')");
    EXPECT_EQ(1, GameIniTable->GetInt("poorfx"));
    EXPECT_EQ(&TGameObjectStringParam::StaticClass(), &FindVarByPath("ini.showBSpheres")->GameClass());
    // The render side reads the table through the reader it installs.
    EXPECT_FALSE(IsShowBSpheresOn());
    Run("engine_SetVar('ini.showBSpheres', '1')");
    EXPECT_TRUE(IsShowBSpheresOn());
}

// The texts the engine reads by key follow the table however it changes.
TEST_F(IniTable, ValueTextsFollowTheTable) {
    for (int round = 0; round < 2; ++round) // the second round asks again what the first kept
        for (const GameIniParam& p : kGameIniParams) {
            std::string text;
            if (auto* param = dynamic_cast<TGameObjectBaseParam*>(GameIniTable->FindChild(p.key)))
                param->stringValue(text);
            EXPECT_EQ(text, GameIniText(std::string(p.key))) << p.key;
        }
    Run("engine_SetVar('ini.poorfx', '1')");
    EXPECT_EQ("1", GameIniText("poorfx"));
    FindVarByPath("ini.poorfx")->Delete();
    EXPECT_EQ("", GameIniText("poorfx"));
    Run("engine_AddVar('ini', 'poorfx', 'TGameObjectStringParam') engine_SetVar('ini.poorfx', 'yes')");
    EXPECT_EQ("yes", GameIniText("poorfx"));
    Run("engine_AddVar('ini', 'poorfx', 'TGameObjectVectorParam')"); // a later one of the name wins
    EXPECT_EQ("", GameIniText("poorfx"));
    EXPECT_EQ("", GameIniText("noSuchKey"));
    Frame();
}

TEST_F(IniTable, SavesWhenAllowedAndKeepsTheStartLocationOnLoad) {
    InitVarLists();
    // "new.cfg" lives in the current folder (the game folder).
    const std::string before = platform::CurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(dir.path()));
    Run("engine_SetVar('ini.playerProfile', 'pilot') engine_SetVar('ini.fps', '60')");
    GameIniTable->SaveCfg(); // "autoSaveIni" is 0
    EXPECT_FALSE(std::filesystem::exists(dir / "new.cfg"));
    IniVars->Put("autoSaveIni", VarValue(int32_t{1}));
    GameIniTable->SaveCfg();
    ASSERT_TRUE(std::filesystem::exists(dir / "new.cfg"));

    Run("engine_SetVar('ini.playerProfile', 'other') engine_SetVar('ini.fps', '1')");
    Run("engine_SetVar('ini.startLocation', 'system_elsewhere')");
    GameIniTable->LoadCfg();
    EXPECT_EQ("pilot", GameIniTable->GetText("playerProfile"));
    EXPECT_EQ(60, GameIniTable->GetInt("fps"));
    EXPECT_EQ("system_elsewhere", GameIniTable->GetText("startLocation"));
    EXPECT_TRUE(NoLuaErrors());
    platform::SetCurrentFolder(before);
    FreeAllVarLists();
}

} // namespace
} // namespace vesk::test
