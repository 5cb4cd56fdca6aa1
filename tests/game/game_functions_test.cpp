// The game side's script functions: includes (with a mod's copies), saved-game
// folders and the names they refuse, script errors and Lua text, the tick
// count, the effect reload and the "gameSystem" actions.
#include <filesystem>
#include <regex>

#include "core/paths.h"
#include "game/game_functions.h"
#include "game_logic_fixture.h"
#include "platform/files.h"
#include "platform/system.h"
#include "render/fx_templates.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <filesystem>

namespace vesk::test {
namespace {

class GameFunctions : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        platform::SetExeFolderOverride(dir.path());
        savedDataPath = DataPath;
        DataPath = dir.path() + "/data/";
    }
    void TearDown() override {
        ModName.clear();
        DataPath = savedDataPath;
        platform::SetExeFolderOverride("");
        GameLogicTest::TearDown();
    }
    void Write(const std::string& rel, const std::string& text) {
        const std::string path = dir / rel;
        platform::CreateFolders(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(platform::WriteFile(path, text));
    }
    // A script that appends its tag and lastInclude to the global `ran`.
    void Script(const std::string& rel, const std::string& tag) {
        Write(rel, "ran = (ran or '') .. '" + tag + "=' .. lastInclude .. ' '");
    }
    std::string savedDataPath;
};

TEST_F(GameFunctions, IncludeRunsFilesAndSetsLastInclude) {
    Script("scripts/a.lua", "a");
    Script("scripts/b.lua", "b");
    const std::string s = dir.path() + "/scripts/";
    Run("engine_Include('" + s + "a.lua', '" + s + "b.lua')");
    EXPECT_EQ("a=" + s + "a.lua b=" + s + "b.lua ", Global("ran"));
    // A number only names the file: it is not run.
    Run("ran = '' engine_Include(12)");
    EXPECT_EQ("", Global("ran"));
    EXPECT_EQ("12", Global("lastInclude"));

    // The mod's copy goes first.
    ModName = "m";
    Script("mods/m/scripts/a.lua", "modA");
    Run("ran = '' engine_Include('" + s + "a.lua')");
    EXPECT_EQ("modA=" + dir.path() + "/mods/m/scripts/a.lua ", Global("ran"));
    for (const auto& r : trap.reports) ADD_FAILURE() << r.text;
}

TEST_F(GameFunctions, IncludeDirAndTreeRunEachLuaFileOnceModCopiesFirst) {
    Script("lib/b.lua", "b");
    Script("lib/a.LUA", "a");
    Write("lib/notes.txt", "this is no script");
    Script("lib/sub/c.lua", "c");
    Script("lib/sub/deeper/d.lua", "d");
    const std::string lib = dir.path() + "/lib";
    Run("engine_IncludeDir('" + lib + "')");
    EXPECT_EQ("a=" + lib + "/a.LUA b=" + lib + "/b.lua ", Global("ran"));
    Run("ran = '' engine_IncludeTree('" + lib + "')");
    EXPECT_EQ("a=" + lib + "/a.LUA b=" + lib + "/b.lua c=" + lib + "/sub/c.lua d=" + lib +
                  "/sub/deeper/d.lua ",
              Global("ran"));

    // A mod replaces b, adds e and a folder of its own; each file runs once.
    ModName = "m";
    const std::string mod = dir.path() + "/mods/m/lib";
    Script("mods/m/lib/B.lua", "modB");
    Script("mods/m/lib/e.lua", "modE");
    Script("mods/m/lib/extra/f.lua", "modF");
    Run("ran = '' engine_IncludeTree('" + lib + "')");
    EXPECT_EQ("a=" + lib + "/a.LUA modB=" + mod + "/b.lua modE=" + mod + "/e.lua c=" + lib +
                  "/sub/c.lua d=" + lib + "/sub/deeper/d.lua modF=" + mod + "/extra/f.lua ",
              Global("ran"));
    // A missing folder runs nothing.
    Run("ran = '' engine_IncludeDir('" + dir.path() + "/none')");
    EXPECT_EQ("", Global("ran"));
    EXPECT_TRUE(NoLuaErrors());
}

// A linked folder is not walked: a link back to the tree's top would run
// every file again, up to the operating system's limit on path length.
TEST_F(GameFunctions, IncludeTreeDoesNotFollowLinkedFolders) {
    Script("lib/a.lua", "a");
    Script("lib/sub/c.lua", "c");
    const std::string lib = dir.path() + "/lib";
    std::filesystem::create_directory_symlink(lib, lib + "/sub/loop");
    std::filesystem::create_directory_symlink(lib + "/sub", lib + "/alias");
    Run("ran = '' engine_IncludeTree('" + lib + "')");
    EXPECT_EQ("a=" + lib + "/a.lua c=" + lib + "/sub/c.lua ", Global("ran"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameFunctions, SaveFoldersAreCopiedAndDeleted) {
    Write("data/save/slot1/game.lua", "g");
    Write("data/save/slot1/player.lua", "p");
    Write("data/save/slot1/inner/skip.lua", "folders are not copied");
    Run("engine_CopySaveDir('slot1', 'slot2')");
    std::string text;
    EXPECT_TRUE(platform::ReadFile(dir / "data/save/slot2/game.lua", text));
    EXPECT_EQ("g", text);
    EXPECT_TRUE(platform::FileExists(dir / "data/save/slot2/player.lua"));
    EXPECT_FALSE(platform::FolderExists(dir / "data/save/slot2/inner"));
    // An empty source still makes the target.
    Run("engine_CopySaveDir('nothing', 'slot3')");
    EXPECT_TRUE(platform::FolderExists(dir / "data/save/slot3"));

    Run("engine_DeleteSaveDir('slot2')");
    EXPECT_FALSE(platform::FolderExists(dir / "data/save/slot2"));
    EXPECT_TRUE(platform::FileExists(dir / "data/save/slot1/game.lua"));
    // The folder holds a folder: its files go, the folder stays.
    Run("engine_DeleteSaveDir('slot1')");
    EXPECT_FALSE(platform::FileExists(dir / "data/save/slot1/game.lua"));
    EXPECT_TRUE(platform::FileExists(dir / "data/save/slot1/inner/skip.lua"));
    EXPECT_TRUE(trap.reports.empty());

    // A target that cannot be made.
    Write("data/save/blocked", "a file where the folder should be");
    EXPECT_THROW(Run("engine_CopySaveDir('slot3', 'blocked')"), Halted);
    EXPECT_EQ("Function \"engine_CopySaveDir\" fault: can not create dir " + dir.path() +
                  "/data/save/blocked/",
              FirstFatal());
}

// Save folders and files that are links leading out of the game folder are
// never followed: nothing outside is deleted, read or written; a file that is
// a link is deleted as a link.
TEST_F(GameFunctions, SaveFoldersNeverFollowLinksOutOfTheGameFolder) {
    TempDir outside;
    ASSERT_TRUE(platform::WriteFile(outside / "victim.lua", "precious"));
    ASSERT_TRUE(platform::WriteFile(outside / "secret.lua", "secret"));
    Write("data/save/slot1/game.lua", "g");
    Write("data/save/withlink/own.lua", "o");
    Write("data/save/slot5/player.lua", "p");
    namespace fs = std::filesystem;
    fs::create_directory_symlink(outside.path(), dir / "data/save/linked");
    fs::create_symlink(outside / "victim.lua", dir / "data/save/withlink/game.lua");
    fs::create_symlink(outside / "victim.lua", dir / "data/save/slot5/game.lua");
    const struct {
        std::string call, leads; // leads: the path the report names
    } cases[] = {
        {"engine_DeleteSaveDir('linked')", "linked/"},
        {"engine_CopySaveDir('slot1', 'linked')", "linked/"},
        {"engine_CopySaveDir('linked', 'slot4')", "linked/"},
        {"engine_CopySaveDir('slot1', 'slot5')", "slot5/game.lua"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        trap.reports.clear();
        EXPECT_THROW(Run(c.call), Halted);
        const std::string fn = c.call.substr(0, c.call.find('('));
        EXPECT_EQ(fn + " - \"" + dir.path() + "/data/save/" + c.leads + "\" leads outside the game folder",
                  FirstFatal());
    }
    std::string text;
    EXPECT_TRUE(platform::ReadFile(outside / "victim.lua", text));
    EXPECT_EQ(text, "precious");
    EXPECT_EQ(platform::ListFolder(outside.path()).size(), 2u);
    EXPECT_FALSE(platform::FileExists(dir / "data/save/slot4/secret.lua"));

    trap.reports.clear();
    Run("engine_DeleteSaveDir('withlink')");
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "data/save/withlink/game.lua")));
    EXPECT_FALSE(platform::FileExists(dir / "data/save/withlink/own.lua"));
    EXPECT_TRUE(platform::ReadFile(outside / "victim.lua", text));
    EXPECT_EQ(text, "precious");
}

TEST_F(GameFunctions, SaveFolderNamesThatLeaveTheSaveFolderAreRefused) {
    Write("data/save/keep.lua", "k");
    Write("data/save/slot/s.lua", "s");
    Write("data/outside.lua", "o");
    const struct {
        const char* name;
        const char* report; // after "<function> - "
    } cases[] = {
        {"../", "\"..\" not allowed!"},
        {"..", "\"..\" not allowed!"},
        {"a..b", "\"..\" not allowed!"},
        {"", "wrong save name: \"\""},
        {".", "wrong save name: \".\""},
        {"slot/x", "wrong save name: \"slot/x\""},
        {"slot\\\\x", "wrong save name: \"slot\\x\""},
        {"/tmp", "wrong save name: \"/tmp\""},
        {"C:", "wrong save name: \"C:\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* fn : {"engine_DeleteSaveDir", "engine_CopySaveDir"}) {
            trap.reports.clear();
            const std::string call = std::string(fn) + (std::string(fn) == "engine_CopySaveDir"
                                                            ? "('slot', '" + std::string(c.name) + "')"
                                                            : "('" + std::string(c.name) + "')");
            EXPECT_THROW(Run(call), Halted);
            EXPECT_EQ(std::string(fn) + " - " + c.report, FirstFatal());
        }
    }
    // Nothing was deleted, nothing was written outside.
    EXPECT_TRUE(platform::FileExists(dir / "data/save/keep.lua"));
    EXPECT_TRUE(platform::FileExists(dir / "data/save/slot/s.lua"));
    EXPECT_TRUE(platform::FileExists(dir / "data/outside.lua"));
    EXPECT_EQ(std::vector<std::string>({"keep.lua", "slot"}), [&] {
        auto v = platform::ListFolder(dir / "data/save");
        std::sort(v.begin(), v.end());
        return v;
    }());
    EXPECT_EQ(SaveNameCheck::ok, CheckSaveName("slot 1"));
}

TEST_F(GameFunctions, ErrorDoStringTickCountAndReloadFx) {
    Run("engine_DoString('x = 6 * 7')");
    EXPECT_EQ("42", Global("x"));

    platform::ManualClock clock;
    platform::ScopedClock use(clock);
    const double t0 = std::stod(Eval("engine_GetTickCount()"));
    clock.AdvanceMs(250);
    EXPECT_DOUBLE_EQ(t0 + 250, std::stod(Eval("engine_GetTickCount()")));

    // The effect library is loaded from the scripts' "fx" table.
    Run("function length(t) if t == nil then return 0 end return table.getn(t) end "
        "function GetGameTable(n) local s = '' for k in pairs(_G[n]) do s = s .. k .. '^' end return s end "
        "fx = { spark = { id = 'spark', type = 'particle' } }");
    Run("engine_ReloadFx()");
    TBaseRenderUnit* spark = FXTemplates.Find("spark");
    ASSERT_NE(nullptr, spark);
    EXPECT_EQ(spark->GetHex(), Eval("fx.spark.hex"));
    EXPECT_TRUE(trap.reports.empty());
    FreeFXTemplates();
    spark->Free(); // a particle template belongs to the particle pool, which this test has not

    EXPECT_THROW(Run("engine_Error('no ship')"), Halted);
    EXPECT_EQ("Script ERROR: no ship", FirstFatal());
}

TEST_F(GameFunctions, GameSystemActions) {
    Run("engine_Execute('gameSystem', 'setDustMode', '2')");
    EXPECT_EQ(std::vector<std::string>{"dust 2"}, link.calls);
    Run("engine_Execute('gameSystem', 'errLogAdd', 'lost cargo')");
    const auto texts = CollectErrorLogFacts().errorTexts;
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "lost cargo"));
    const std::string now = Eval("engine_Execute('gameSystem', 'getCurDateTime')");
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)"))) << now;
    EXPECT_TRUE(NoLuaErrors());

    EXPECT_THROW(Run("engine_Execute('gameSystem', 'reboot')"), Halted);
    EXPECT_EQ("TGameSystem.Execute error: action reboot" + Ru(" не поддерживается"), FirstFatal());
}

} // namespace
} // namespace vesk::test
