// Files the game writes as Lua text run as data when read back: crafted
// files reach nothing, runaway files are stopped, plain data passes, and the
// profiles, "new.cfg" and the save list go through it.
#include <filesystem>

#include "core/paths.h"
#include "game/data_files.h"
#include "game/game_ini_table.h"
#include "game/profiles.h"
#include "game_logic_fixture.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

class DataFiles : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        outside = outsideDir.path() + "/pwned";
        // A script that would leave a mark outside the game folder if anything ran it.
        script = dir / "evil.lua";
        platform::WriteFile(script, "local f = io.open('" + outside + "', 'w') f:write('x') f:close()");
        Run("sentinel = 'kept'");
    }
    // Writes the text as a data file and runs it.
    bool RunText(const std::string& text, const std::string& name = "data.lua") {
        platform::WriteFile(dir / name, text);
        return RunDataFile(dir / name, {"exec_table"});
    }
    bool Reached() const { return std::filesystem::exists(outside); }
    // The text of the one report, "" when there is none.
    std::string Refusal() const { return trap.reports.empty() ? "" : trap.reports.back().text; }

    TempDir outsideDir; // stands for any place outside the game folder
    std::string outside;
    std::string script;
};

TEST_F(DataFiles, CraftedFilesAreRefusedAndReachNothing) {
    const std::string o = "'" + outside + "'";
    const std::string s = "'" + script + "'";
    const std::string cases[] = {
        "os.execute('touch ' .. " + o + ")",
        "io.open(" + o + ", 'w'):write('x')",
        "exec_table = {} local f = io.open(" + o + ", 'w')",
        "loadlib('libc.so.6', 'system')",
        "package.loadlib('libc.so.6', 'system')",
        "dofile(" + s + ")",
        "loadfile(" + s + ")()",
        "require('os')",
        "loadstring('os.execute(\"touch " + outside + "\")')()",
        "load(function() return nil end)",
        "getfenv(0).os.execute('touch " + outside + "')",
        "setfenv(1, {})",
        "debug.getregistry()",
        "_G.os.execute('touch " + outside + "')",
        "collectgarbage('stop')",
        "exec_table = string.dump(function() end)",
        "exec_table = (''):dump()",
        "exec_table = ('x'):rep(10)",
        "coroutine.wrap(function() end)()",
        "exec_table = rawget(_G, 'os')",
        "exec_table = {} setmetatable(exec_table, {})",
        "not lua at all",
    };
    for (const std::string& text : cases) {
        trap.reports.clear();
        EXPECT_FALSE(RunText(text)) << text;
        EXPECT_EQ(0u, Refusal().find("RunDataFile: " + dir / "data.lua" + " refused: "))
            << text << ": " << Refusal();
        EXPECT_EQ("m", trap.reports.empty() ? "" : trap.reports.back().flags);
        EXPECT_FALSE(Reached()) << text;
    }
    // What the scripts have is untouched, and the game went on.
    EXPECT_EQ("kept", Global("sentinel"));
    EXPECT_EQ("", FirstFatal());
}

TEST_F(DataFiles, PrecompiledChunksAreRefused) {
    lua_State* L = LuaMachine->State();
    const std::string source = "io.open('" + outside + "', 'w')";
    ASSERT_EQ(0, luaL_loadbuffer(L, source.data(), source.size(), "x"));
    std::string bytes;
    lua_dump(
        L,
        [](lua_State*, const void* p, size_t n, void* ud) {
            static_cast<std::string*>(ud)->append(static_cast<const char*>(p), n);
            return 0;
        },
        &bytes);
    lua_pop(L, 1);
    EXPECT_FALSE(RunText(bytes));
    EXPECT_NE(std::string::npos, Refusal().find("precompiled chunks are not data"));
    EXPECT_FALSE(Reached());
}

TEST_F(DataFiles, RunawayFilesAreStoppedAndTheHostIsAsBefore) {
    lua_State* L = LuaMachine->State();
    void* ud = nullptr;
    const lua_Alloc alloc = lua_getallocf(L, &ud);
    const struct {
        const char* text;
        const char* why;
    } cases[] = {
        {"while true do end", "instructions"},
        {"local s = 'xxxxxxxx' for i = 1, 40 do s = s .. s end", "not enough memory"},
        {"local t = {} for i = 1, 1e9 do t[i] = {} end", ""},
        {"local function f() return 1 + f() end exec_table = f()", "stack overflow"},
    };
    for (const auto& c : cases) {
        trap.reports.clear();
        EXPECT_FALSE(RunText(c.text)) << c.text;
        EXPECT_NE(std::string::npos, Refusal().find(c.why)) << Refusal();
    }
    // The host's own scripts run as before: no hook, the usual allocator, strings with methods.
    EXPECT_EQ(nullptr, lua_gethook(L));
    void* udAfter = nullptr;
    EXPECT_EQ(alloc, lua_getallocf(L, &udAfter));
    EXPECT_EQ(ud, udAfter);
    EXPECT_EQ("AB", Eval("('ab'):upper()"));
    EXPECT_EQ("", FirstFatal());
}

TEST_F(DataFiles, OnlyPlainDataReachesTheScripts) {
    ASSERT_TRUE(RunText("exec_table = { a = 1, b = 'x', c = { d = true, [2] = 'two' }, f = function() end,\n"
                        "  [function() end] = 1, seen = sentinel }\n"
                        "exec_table.self = exec_table\n"
                        "other = 5\n"));
    EXPECT_EQ("1", Eval("exec_table.a"));
    EXPECT_EQ("x", Eval("exec_table.b"));
    EXPECT_EQ("true", Eval("tostring(exec_table.c.d)"));
    EXPECT_EQ("two", Eval("exec_table.c[2]"));
    EXPECT_EQ("nil", Eval("type(exec_table.f)"));
    EXPECT_EQ("1",
              Eval("(function() local n = 0 for k in pairs(exec_table) do n = n + 1 end return n end)() == 4 "
                   "and 1 or 0"));
    EXPECT_EQ("true", Eval("tostring(exec_table.self == exec_table)"));
    EXPECT_EQ("nil", Eval("type(exec_table.seen)")); // the file sees none of the scripts' globals
    EXPECT_EQ("nil", Eval("type(other)"));           // and sets nothing but what was asked for
    // A file that leaves nothing clears the variable, and a missing file changes nothing.
    ASSERT_TRUE(RunText("x = 1"));
    EXPECT_EQ("nil", Eval("type(exec_table)"));
    Run("exec_table = 7");
    EXPECT_FALSE(RunDataFile(dir / "none.lua", {"exec_table"}));
    EXPECT_EQ("7", Eval("exec_table"));
    EXPECT_TRUE(trap.reports.empty());
}

// The loaders of the game: new.cfg, a profile's settings and the save list.
class DataLoaders : public DataFiles {
protected:
    void SetUp() override {
        DataFiles::SetUp();
        RegisterProfileClasses();
        CreatePlayerSettings(GlobalObjects);
        savedProfiles = ProfilesPath;
        ProfilesPath = dir.path() + "/profiles/";
        platform::CreateFolders(ProfilesPath + "alice/save/save_1");
        platform::CreateFolders(ProfilesPath + "alice/save/save_2");
        before = platform::CurrentFolder();
        platform::SetCurrentFolder(dir.path());
    }
    void TearDown() override {
        platform::SetCurrentFolder(before);
        ProfilesPath = savedProfiles;
        DataFiles::TearDown();
    }
    // A report that refused the file, naming it.
    bool Refused(const std::string& file) const {
        for (const auto& r : trap.reports)
            if (r.text.rfind("RunDataFile: " + file + " refused: ", 0) == 0) return true;
        return false;
    }
    std::string savedProfiles, before;
};

TEST_F(DataLoaders, CraftedNewCfgProfileAndSaveInfoAreRefusedAndTheGameGoesOn) {
    const std::string o = "'" + outside + "'";
    // new.cfg: a crafted one changes nothing, a plain one is applied.
    platform::WriteFile(dir / "new.cfg", "exec_table = { fps = '99' } os.execute('touch ' .. " + o + ")");
    GameIniTable->LoadCfg();
    EXPECT_NE(99, GameIniTable->GetInt("fps"));
    EXPECT_TRUE(Refused("new.cfg"));
    platform::WriteFile(dir / "new.cfg", "exec_table = { fps = '99' }");
    GameIniTable->LoadCfg();
    EXPECT_EQ(99, GameIniTable->GetInt("fps"));

    // A profile's settings that try to write a file.
    platform::WriteFile(ProfilesPath + "alice/settings.lua",
                        "exec_table = { PlayerName = 'Eve' } io.open(" + o + ", 'w'):write('x')");
    trap.reports.clear();
    SwitchPlayerProfile("alice");
    EXPECT_EQ("alice", CurrentProfile());
    EXPECT_EQ("", Eval("engine_GetVar('playerSettings.PlayerName')"));
    EXPECT_TRUE(Refused(ProfilesPath + "alice/settings.lua"));

    // The save list: a crafted info file is refused, the next save is still listed.
    platform::WriteFile(ProfilesPath + "alice/save/save_1/info.lua",
                        "exec_table = { name = 'Trap' } loadlib('libc.so.6', 'system') dofile('" + script +
                            "')");
    platform::WriteFile(ProfilesPath + "alice/save/save_2/info.lua",
                        "exec_table = { name = 'Real', mission = '3' }");
    Run("engine_Execute('playerSettings', 'updateSaveNames')");
    EXPECT_EQ("", Eval("engine_GetVar('playerSettings.saves.save_1.name')"));
    EXPECT_EQ("Real", Eval("engine_GetVar('playerSettings.saves.save_2.name')"));
    EXPECT_EQ("3", Eval("engine_GetVar('playerSettings.saves.save_2.mission')"));
    EXPECT_TRUE(Refused(ProfilesPath + "alice/save/save_1/info.lua"));

    EXPECT_FALSE(Reached());
    EXPECT_EQ("", FirstFatal());
    EXPECT_TRUE(NoLuaErrors());
}

} // namespace
} // namespace vesk::test
