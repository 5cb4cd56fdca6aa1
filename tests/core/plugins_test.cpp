// Plug-ins: loading from the program's and the mod's folders, versions and
// missing exports, hook order, the Lua API, unloading after Lua is closed.
#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/plugins.h"
#include "lua_test_support.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace vesk {
namespace {

namespace fs = std::filesystem;

std::string PluginFile(const std::string& name) {
    return std::string(VESK_BUILD_DIR) + "/test_plugins/" + name + ".so";
}

class PluginsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExeFolderOverride(dir.path());
        trace = dir / "trace.txt";
        setenv("VESK_PLUGIN_TRACE", trace.c_str(), 1);
        fs::create_directories(dir / "Plugins");
        fs::create_directories(dir / "mods/m1/Plugins");
        for (const char* p : {"plug_a", "plug_b", "plug_v11", "plug_nofree"})
            fs::copy_file(PluginFile(p), dir / ("Plugins/" + std::string(p) + ".so"));
        fs::copy_file(PluginFile("plug_mod"), dir / "mods/m1/Plugins/plug_mod.so");
        CreateLuaMachine();
    }
    void TearDown() override {
        PluginSystem.reset();
        FreeLuaMachine();
        unsetenv("VESK_PLUGIN_TRACE");
        platform::SetExeFolderOverride("");
    }
    std::vector<std::string> Trace() {
        std::string text;
        platform::ReadFile(trace, text);
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    // Closes Lua and then frees the plug-ins, as the shut-down does.
    void Unload() {
        CloseLuaMachine();
        PluginSystem.reset();
    }

    test::TempDir dir;
    test::ErrorTrap trap;
    std::string trace;
};

TEST_F(PluginsTest, LoadsMatchingPluginsFromProgramThenModFolderAndHooksRunInThatOrder) {
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "m1");
    ASSERT_EQ(PluginSystem->Plugins().size(), 3u); // "1.1" and the one without FreePlugin are skipped
    PluginSystem->BeforeTick();
    PluginSystem->AfterTick();
    Unload();
    std::vector<std::string> expected = {
        "plug_a init",     "plug_a getapi",  "plug_b init",   "plug_b getapi",   "plug_mod init",
        "plug_mod getapi", "plug_a before",  "plug_b before", "plug_mod before", "plug_a after",
        "plug_b after",    "plug_mod after", "plug_a free",   "plug_b free",     "plug_mod free"};
    EXPECT_EQ(Trace(), expected);
}

TEST_F(PluginsTest, WithoutModOnlyProgramFolderAndPluginsFolderIsCreated) {
    fs::remove_all(dir / "Plugins");
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "");
    EXPECT_TRUE(PluginSystem->Plugins().empty());
    EXPECT_TRUE(fs::is_directory(dir / "Plugins"));
    // A mod without a folder adds nothing.
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "absent_mod");
    EXPECT_TRUE(PluginSystem->Plugins().empty());
    EXPECT_FALSE(fs::exists(dir / "mods/absent_mod"));
}

TEST_F(PluginsTest, SkippedLibrariesNeverRun) {
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "");
    // A file that is no library is skipped silently too.
    platform::WriteFile(dir / "Plugins/broken.so", "not a library");
    EXPECT_FALSE(PluginSystem->LoadPlugin(dir / "Plugins/broken.so"));
    EXPECT_FALSE(PluginSystem->LoadPlugin(dir / "Plugins/plug_v11.so"));
    PluginSystem->BeforeTick();
    Unload();
    for (const std::string& line : Trace()) {
        EXPECT_EQ(line.find("plug_v11"), std::string::npos) << line;
        EXPECT_EQ(line.find("plug_nofree"), std::string::npos) << line;
    }
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PluginsTest, PluginRegistersLuaFunctionThatScriptsCall) {
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "m1");
    LuaMachine->RunString("r = plugin_add_plug_mod(2, 3.5)");
    EXPECT_EQ(GetLuaString("r", false), "5.5");
    EXPECT_EQ(GetLuaString("plugin_last", false), "plug_mod");
    // RunString through the API ran in InitPlugin, in load order.
    EXPECT_EQ(GetLuaString("plugin_seen", false), "plug_a plug_b plug_mod ");
    // Lua closed first: FreePlugin's RunString does nothing and nothing breaks.
    Unload();
    EXPECT_EQ(Trace().back(), "plug_mod free");
}

TEST_F(PluginsTest, PluginApiObjects) {
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "");
    IPluginAPI* api = PluginSystem->PluginAPI();
    EXPECT_EQ(api->vtbl->GetAPI(api, "LuaApi", "1.0"), PluginSystem->LuaAPI());
    EXPECT_EQ(api->vtbl->GetAPI(api, "LUAAPI", "1.1"), nullptr);
    EXPECT_EQ(api->vtbl->GetAPI(api, "OTHER", "1.0"), nullptr);
    const VeskGUID iidLua = VESK_IID_ILUAAPI;
    void* out = nullptr;
    EXPECT_EQ(api->vtbl->QueryInterface(api, &iidLua, &out), VESK_S_OK);
    EXPECT_EQ(out, PluginSystem->LuaAPI());
    const VeskGUID other = {1, 2, 3, {4}};
    EXPECT_EQ(api->vtbl->QueryInterface(api, &other, &out), VESK_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    // The Lua wrappers reach the machine's state.
    ILuaAPI* lua = PluginSystem->LuaAPI();
    lua_State* L = LuaMachine->State();
    const int top = lua->vtbl->gettop(lua, L);
    lua->vtbl->pushnumber(lua, L, 7);
    lua->vtbl->setglobal(lua, L, "seven");
    lua->vtbl->getglobal(lua, L, "seven");
    EXPECT_EQ(lua->vtbl->tonumber(lua, L, -1), 7.0);
    lua->vtbl->pop(lua, L, 1);
    EXPECT_EQ(lua->vtbl->gettop(lua, L), top);
    lua->vtbl->boxpointer(lua, L, &out);
    EXPECT_EQ(lua->vtbl->unboxpointer(lua, L, -1), &out);
    lua->vtbl->settop(lua, L, top);

    // Error is the fatal report.
    EXPECT_THROW(api->vtbl->Error(api, "plug-in says no"), test::Halted);
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports.back().text, "plug-in says no");
    EXPECT_EQ(trap.reports.back().flags, "mhl");
}

int ThrowingCall(lua_State*) {
    throw std::runtime_error("engine fault");
}

// A plug-in's chunk is timed and its engine faults are reported as every
// other chunk's are.
TEST_F(PluginsTest, PluginChunksRunAsTheHostRunsThem) {
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "");
    ILuaAPI* lua = PluginSystem->LuaAPI();
    LuaMachine->RegisterFunction("throws", ThrowingCall);
    EXPECT_THROW(lua->vtbl->RunString(lua, "throws()"), test::Halted);
    EXPECT_EQ(trap.lastFatal.rfind("TLuaMachine.RunCommand - error while running script: throws()", 0), 0u)
        << trap.lastFatal;

    test::LoggingInto logs(dir / "logs");
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    test::SlowWork slow(clock, 2000);
    lua->vtbl->RunString(lua, "slow()");
    const std::string log = logs.Text("luatlog.txt");
    EXPECT_NE(log.find(": Time: 2 Command: slow()\n"), std::string::npos) << log;
}

TEST_F(PluginsTest, LuaCallsDoNothingWithoutLuaMachine) {
    FreeLuaMachine();
    PluginSystem = std::make_unique<TPluginSystem>(dir / "Plugins/", "");
    ILuaAPI* lua = PluginSystem->LuaAPI();
    lua->vtbl->RunString(lua, "x = 1");
    lua->vtbl->RunScript(lua, "missing.lua");
    EXPECT_EQ(PluginSystem->Plugins().size(), 2u);
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk
