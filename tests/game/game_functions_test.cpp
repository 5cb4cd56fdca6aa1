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

    EXPECT_EQ("true", Eval("tostring(engine_DeleteSaveDir('slot2'))"));
    EXPECT_FALSE(platform::FolderExists(dir / "data/save/slot2"));
    EXPECT_TRUE(platform::FileExists(dir / "data/save/slot1/game.lua"));
    // A folder holding a folder goes whole: done is said only when nothing is left.
    EXPECT_EQ("true", Eval("tostring(engine_DeleteSaveDir('slot1'))"));
    EXPECT_FALSE(platform::FolderExists(dir / "data/save/slot1"));
    EXPECT_TRUE(trap.reports.empty());

    // A target that cannot be made.
    Write("data/save/blocked", "a file where the folder should be");
    EXPECT_THROW(Run("engine_CopySaveDir('slot3', 'blocked')"), Halted);
    EXPECT_EQ("Function \"engine_CopySaveDir\" fault: can not create dir " + dir.path() +
                  "/data/save/blocked/",
              FirstFatal());
}

// Save folders and files are never reached through a link, whether it leads
// out of the game folder or back into it (the data folder above the saves,
// the scripts): a link is deleted as the link, a copy from or to one is
// refused with a message, and nothing it points to changes.
TEST_F(GameFunctions, SaveFoldersNeverGoThroughLinks) {
    namespace fs = std::filesystem;
    TempDir outside;
    ASSERT_TRUE(platform::WriteFile(outside / "victim.lua", "precious"));
    ASSERT_TRUE(platform::WriteFile(outside / "secret.lua", "secret"));
    Write("vesk", "the program");
    Write("Scripts/main.lua", "the main script");
    Write("data/settings.lua", "the settings");
    Write("data/save/slot1/game.lua", "g");
    Write("data/save/withlink/own.lua", "o");
    Write("data/save/slot5/player.lua", "p");
    Write("data/save/slot6/own.lua", "o");
    fs::create_directory_symlink(outside.path(), dir / "data/save/out");
    fs::create_directory_symlink("..", dir / "data/save/up");
    fs::create_directory_symlink("../../Scripts", dir / "data/save/scripts");
    fs::create_symlink(outside / "victim.lua", dir / "data/save/withlink/game.lua");
    fs::create_symlink(outside / "victim.lua", dir / "data/save/slot5/game.lua");
    fs::create_symlink("../../../Scripts/main.lua", dir / "data/save/slot6/main.lua");
    const struct {
        std::string call, through; // through: the path the refusal names, under data/save/
    } refused[] = {
        {"engine_CopySaveDir('slot1', 'out')", "out/"},
        {"engine_CopySaveDir('slot1', 'up')", "up/"},
        {"engine_CopySaveDir('slot1', 'scripts')", "scripts/"},
        {"engine_CopySaveDir('out', 'slot4')", "out/"},
        {"engine_CopySaveDir('up', 'slot4')", "up/"},
        {"engine_CopySaveDir('scripts', 'slot4')", "scripts/"},
        {"engine_CopySaveDir('slot1', 'slot5')", "slot5/game.lua"},
        {"engine_CopySaveDir('slot6', 'slot4')", "slot6/main.lua"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.call);
        trap.reports.clear();
        EXPECT_EQ("false", Eval("tostring(" + c.call + ")"));
        EXPECT_TRUE(trap.HasReport("engine_CopySaveDir - \"" + dir.path() + "/data/save/" + c.through +
                                   "\" goes through a link"));
        EXPECT_EQ("", FirstFatal());
    }
    EXPECT_FALSE(fs::exists(dir / "data/save/slot4"));
    // Deleting takes the link away, never what it points to.
    trap.reports.clear();
    for (const char* name : {"out", "up", "scripts", "withlink", "slot5", "slot6"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ("true", Eval("tostring(engine_DeleteSaveDir('" + std::string(name) + "'))"));
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "data/save/" + name)));
    }
    EXPECT_TRUE(trap.reports.empty());
    const struct {
        std::string file, text;
    } kept[] = {
        {outside / "victim.lua", "precious"},
        {outside / "secret.lua", "secret"},
        {dir / "vesk", "the program"},
        {dir / "Scripts/main.lua", "the main script"},
        {dir / "data/settings.lua", "the settings"},
        {dir / "data/save/slot1/game.lua", "g"},
    };
    for (const auto& k : kept) {
        std::string text;
        EXPECT_TRUE(platform::ReadFile(k.file, text)) << k.file;
        EXPECT_EQ(text, k.text) << k.file;
    }
    EXPECT_EQ(platform::ListFolder(outside.path()).size(), 2u);

    // The save folder itself a link (here to the scripts): nothing under it is touched.
    fs::remove_all(dir / "data/save");
    fs::create_directory_symlink("../Scripts", dir / "data/save");
    Write("Scripts/game/world.lua", "w");
    trap.reports.clear();
    EXPECT_EQ("false", Eval("tostring(engine_DeleteSaveDir('game'))"));
    EXPECT_TRUE(
        trap.HasReport("engine_DeleteSaveDir - \"" + dir.path() + "/data/save/\" goes through a link"));
    EXPECT_EQ("false", Eval("tostring(engine_CopySaveDir('game', 'copy'))"));
    EXPECT_TRUE(platform::FileExists(dir / "Scripts/game/world.lua"));
    EXPECT_FALSE(fs::exists(dir / "Scripts/copy"));
    EXPECT_EQ("", FirstFatal());
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
            // A refusal: the script goes on with false, the game with it.
            EXPECT_EQ("false", Eval("tostring(" + call + ")"));
            EXPECT_TRUE(trap.HasReport(std::string(fn) + " - " + c.report));
            EXPECT_EQ("", FirstFatal());
        }
    }
    // A NUL would cut the name short where the system reads it.
    trap.reports.clear();
    EXPECT_EQ("false", Eval("tostring(engine_DeleteSaveDir('slot\\0/..'))"));
    EXPECT_TRUE(trap.HasReport("engine_DeleteSaveDir - \"..\" not allowed!"));
    EXPECT_EQ("false", Eval("tostring(engine_DeleteSaveDir('slot\\0'))"));
    EXPECT_TRUE(trap.HasReport(std::string("engine_DeleteSaveDir - wrong save name: \"slot\0\"", 47)));
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
