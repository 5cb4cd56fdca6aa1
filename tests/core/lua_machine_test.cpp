#include <gtest/gtest.h>

#include <stdexcept>

#include "core/lua_machine.h"
#include "core/paths.h"
#include "lua_test_support.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk::test {
namespace {

int Thrower(lua_State*) {
    throw std::runtime_error("engine fault");
}

platform::ManualClock* g_clock = nullptr;
int SlowCall(lua_State*) {
    g_clock->AdvanceMs(1500);
    return 0;
}
// Slow work followed by a quick inner chunk: the outer chunk is still slow.
int SlowThenInner(lua_State*) {
    g_clock->AdvanceMs(1200);
    LuaMachine->RunString("inner = 1");
    return 0;
}

std::vector<std::string> g_stackLines;
bool g_stackResult = false;
int CaptureStack(lua_State*) {
    g_stackLines.clear();
    g_stackResult = LuaDebugLines(g_stackLines);
    return 0;
}

// Writes an error-log report from inside a script, as a fatal report would.
std::string g_reportFolder;
int WriteReport(lua_State*) {
    ErrorLogReport("from a script", true);
    return 0;
}

std::string ReadOnlyReport(const std::string& folder) {
    std::string text;
    for (const auto& name : platform::ListFolder(folder, true, false))
        platform::ReadFile(folder + "/" + name, text);
    return text;
}

using LuaHost = LuaMachineTest;

TEST_F(LuaHost, GuardedChunkRunsOnlyWhenTheGuardIsSet) {
    LuaDebugMode = true;
    LuaMachine->RunString("x = 1", "missing");
    EXPECT_EQ(Global("x"), "");
    LuaMachine->RunString("present = {} x = 2", "");
    LuaMachine->RunString("x = 3", "present");
    EXPECT_EQ(Global("x"), "3");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(LuaHost, DebugModeReportsLoadAndRunErrorsWithTheirStatus) {
    LuaDebugMode = true;
    const struct {
        const char* chunk;
        const char* text;
    } cases[] = {
        {"x = = 1", "LUAError (3): [string \"DoString\"]:1: unexpected symbol near '=' Task: <x = = 1>"},
        {"error('boom')", "LUAError (0): [string \"DoString\"]:1: boom Task: <error('boom')>"},
        {"nothing()", "LUAError (0): [string \"DoString\"]:1: attempt to call global 'nothing' (a nil value) "
                      "Task: <nothing()>"},
    };
    for (const auto& c : cases) {
        trap.reports.clear();
        LuaMachine->RunString(c.chunk);
        ASSERT_EQ(trap.reports.size(), 1u) << c.chunk;
        EXPECT_EQ(trap.reports[0].text, c.text);
        EXPECT_EQ(trap.reports[0].flags, "w");
        EXPECT_EQ(lua_gettop(L), 0);
    }
    // "w" queues the text for the error-log report; the program goes on.
    EXPECT_EQ(PendingErrorTexts.size(), 3u);
    LuaMachine->RunString("y = 5");
    EXPECT_EQ(Global("y"), "5");
}

TEST_F(LuaHost, WithoutDebugModeScriptFaultsStayWithLua) {
    LuaMachine->RunString("alerts = {} function _ALERT(m) table.insert(alerts, m) end");
    LuaMachine->RunString("x = = 1");
    LuaMachine->RunString("error('boom')");
    LuaMachine->RunScript("no/such/file.lua");
    EXPECT_TRUE(trap.reports.empty());
    LuaMachine->RunString("n = table.getn(alerts) last = alerts[2]");
    EXPECT_EQ(Global("n"), "3");
    EXPECT_EQ(Global("last"), "[string \"error('boom')\"]:1: boom");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaHost, ScriptsComeFromTheDataPath) {
    TempDir dir;
    ASSERT_TRUE(platform::CreateFolders(dir / "data/Scripts"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/Scripts/main.lua", "loaded = 'main'\n"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/Scripts/bad.lua", "x = = 1\n"));
    const std::string data = dir / "data/";
    DataPath = data;
    LuaMachine->RunScript("scripts\\MAIN.lua");
    EXPECT_EQ(Global("loaded"), "main");

    LuaDebugMode = true;
    LuaMachine->RunScript("Scripts/bad.lua");
    LuaMachine->RunScript("Scripts/none.lua");
    DataPath.clear();
    ASSERT_EQ(trap.reports.size(), 2u);
    const std::string bad = data + "Scripts/bad.lua";
    EXPECT_EQ(trap.reports[0].text,
              "LUAError (3): " + bad + ":1: unexpected symbol near '=' Task: <" + bad + ">");
    const std::string none = data + "Scripts/none.lua";
    EXPECT_EQ(trap.reports[1].text, "LUAError (2): cannot open " + none + " Task: <" + none + ">");
}

TEST_F(LuaHost, ScriptsOfTheActiveModReplaceTheGamesOwn) {
    TempDir dir;
    ASSERT_TRUE(platform::CreateFolders(dir / "data/Scripts"));
    ASSERT_TRUE(platform::CreateFolders(dir / "mods/m/data/Scripts"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/Scripts/a.lua", "from = 'game'\n"));
    ASSERT_TRUE(platform::WriteFile(dir / "mods/m/data/Scripts/a.lua", "from = 'mod'\n"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/Scripts/b.lua", "other = 'game'\n"));
    const std::string data = dir / "data/";
    DataPath = data;
    platform::SetExeFolderOverride(dir.path());
    ModName = "m";
    LuaMachine->RunScript("Scripts/a.lua");
    LuaMachine->RunScript("Scripts/b.lua");
    ModName.clear();
    platform::SetExeFolderOverride("");
    DataPath.clear();
    EXPECT_EQ(Global("from"), "mod");
    EXPECT_EQ(Global("other"), "game");
}

TEST_F(LuaHost, EngineExceptionInsideAChunkIsFatalWithTheChunkText) {
    LuaMachine->RegisterFunction("thrower", Thrower);
    EXPECT_THROW(LuaMachine->RunString("thrower()"), Halted);
    const std::string record = " name: , namewhat, what: , source: , currentline: 0";
    EXPECT_EQ(trap.lastFatal, "TLuaMachine.RunCommand - error while running script: thrower(), HOOKCALL: " +
                                  record + ", HOOKLINE: " + record);
    EXPECT_EQ(trap.reports.back().flags, "mhl");

    // The state survives and a later script fault is not mistaken for an engine fault.
    trap.reports.clear();
    EXPECT_EQ(lua_gettop(L), 0);
    LuaMachine->RunString("error('plain')");
    EXPECT_TRUE(trap.reports.empty());

    TempDir dir;
    ASSERT_TRUE(platform::WriteFile(dir / "t.lua", "thrower()\n"));
    EXPECT_THROW(LuaMachine->RunScript(dir / "t.lua"), Halted);
    EXPECT_EQ(trap.lastFatal, "TLuaMachine.RunScript fault - script: " + (dir / "t.lua"));
}

TEST_F(LuaHost, ResultsOfChunksDoNotPileUpOnTheStack) {
    for (bool debug : {false, true}) {
        LuaDebugMode = debug;
        for (int i = 0; i < 1000; ++i) LuaMachine->RunString("return 1, 2, 3");
        EXPECT_EQ(lua_gettop(L), 0);
    }
}

// A chunk run with arguments reads them as `...` in both modes, fails as a
// plain chunk fails, and leaves the stack as it found it.
TEST_F(LuaHost, ChunksTakeNumbersAsArguments) {
    for (bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug mode" : "5.0 mode");
        LuaDebugMode = debug;
        trap.reports.clear();
        LuaMachine->RunString("alerts = {} function _ALERT(m) table.insert(alerts, m) end");
        const std::vector<double> args = {1.5, -2, 1e300};
        for (int run = 0; run < 3; ++run)
            EXPECT_TRUE(LuaMachine->RunStringWith("a, b, c, d = ... n = select('#', ...)", args));
        EXPECT_EQ(Global("a"), "1.5");
        EXPECT_EQ(Global("b"), "-2");
        EXPECT_EQ(Global("c"), "1e+300");
        EXPECT_EQ(Global("d"), "");
        EXPECT_EQ(Global("n"), "3");
        EXPECT_TRUE(LuaMachine->RunStringWith("none = select('#', ...)", {}));
        EXPECT_EQ(Global("none"), "0");

        std::string failure;
        EXPECT_FALSE(LuaMachine->RunStringWith("error('at ' .. ...)", args, &failure));
        EXPECT_NE(failure.find("at 1.5"), std::string::npos) << failure;
        EXPECT_FALSE(LuaMachine->RunStringWith("x = = ...", args, &failure));
        EXPECT_EQ(trap.reports.size(), debug ? 2u : 0u);
        EXPECT_EQ(lua_gettop(L), 0);
    }
}

// A text run again is compiled once; every run must still act as a fresh
// compile would: it runs again, its locals are new, an environment it changed
// for itself is the globals again, and its faults read the same each time.
TEST_F(LuaHost, RepeatedChunksActAsIfCompiledEachTime) {
    for (bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug mode" : "5.0 mode");
        LuaDebugMode = debug;
        LuaMachine->RunString("alerts = {} function _ALERT(m) table.insert(alerts, m) end n = nil t1 = nil");
        trap.reports.clear();
        const std::string count = "n = (n or 0) + 1";
        const std::string fresh = "local t = {} if t1 == nil then t1 = t else t2 = t end";
        const std::string ownEnv = "x = n setfenv(1, {})";
        const std::string fault = "local a = 1\nerror('boom ' .. n)";
        const std::string syntax = "y = = 1";
        for (int i = 0; i < 3; ++i)
            for (const std::string& chunk : {count, fresh, ownEnv, fault, syntax})
                LuaMachine->RunString(chunk);
        EXPECT_EQ(Global("n"), "3");
        EXPECT_EQ(Global("x"), "3"); // the chunk that left the globals still set one each run
        LuaMachine->RunString("same = tostring(t1 == t2)");
        EXPECT_EQ(Global("same"), "false");

        // The faults: three runs, three reports, with the same line and the run's own value.
        std::vector<std::string> texts;
        if (debug) {
            for (const Report& r : trap.reports) texts.push_back(r.text);
        } else {
            LuaMachine->RunString("k = table.getn(alerts)");
            const int k = std::stoi(Global("k"));
            for (int i = 1; i <= k; ++i) {
                LuaMachine->RunString("a = alerts[" + std::to_string(i) + "]");
                texts.push_back(Global("a"));
            }
        }
        const std::string name = debug ? "[string \"DoString\"]" : "[string \"local a = 1...\"]";
        const std::string syntaxName = debug ? "[string \"DoString\"]" : "[string \"y = = 1\"]";
        ASSERT_EQ(texts.size(), 6u);
        for (int i = 0; i < 3; ++i) {
            const std::string boom = name + ":2: boom " + std::to_string(i + 1);
            const std::string bad = syntaxName + ":1: unexpected symbol near '='";
            EXPECT_NE(texts[2 * i].find(boom), std::string::npos) << texts[2 * i];
            EXPECT_NE(texts[2 * i + 1].find(bad), std::string::npos) << texts[2 * i + 1];
        }
        EXPECT_EQ(lua_gettop(L), 0);
    }
}

TEST_F(LuaHost, ChangedChunkTextIsCompiledAgain) {
    for (int v = 1; v <= 3; ++v) {
        LuaMachine->RunString("v = " + std::to_string(v));
        EXPECT_EQ(Global("v"), std::to_string(v));
        LuaMachine->RunString("v = 1");
        EXPECT_EQ(Global("v"), "1");
    }
}

// A text is kept from its second compile on; kept functions are bounded: the
// least recently used goes first and its registry slot is given back, and a
// dropped text compiles again when it returns.
TEST_F(LuaHost, ChunkCacheKeepsRepeatedTextsWithinItsCapacity) {
    TLuaChunkCache cache(2);
    auto run = [&](const std::string& text) {
        if (!cache.PushKept(L, text)) {
            ASSERT_EQ(cache.Compile(L, text, "t"), 0);
        }
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0);
    };
    const std::string a = "a = (a or 0) + 1", b = "b = (b or 0) + 1", c = "c = (c or 0) + 1";
    run(a);
    EXPECT_EQ(cache.Size(), 0u); // seen once: not worth keeping yet
    run(a);
    run(b);
    run(b);
    EXPECT_EQ(cache.Size(), 2u);
    run(a); // a is now the most recent
    run(c);
    run(c); // b goes
    EXPECT_EQ(cache.Size(), 2u);
    for (const std::string& kept : {a, c}) {
        EXPECT_TRUE(cache.PushKept(L, kept)) << kept;
        lua_settop(L, 0);
    }
    EXPECT_FALSE(cache.PushKept(L, b));
    run(b);
    EXPECT_EQ(Global("a"), "3");
    EXPECT_EQ(Global("b"), "3");
    EXPECT_EQ(Global("c"), "2");
    // A text that does not compile is not kept; a huge one neither.
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(cache.Compile(L, "= =", "t"), 0);
        lua_settop(L, 0);
    }
    EXPECT_FALSE(cache.PushKept(L, "= ="));
    const std::string huge = "h = 1 --" + std::string(TLuaChunkCache::kMaxTextSize, 'x');
    run(huge);
    run(huge);
    EXPECT_FALSE(cache.PushKept(L, huge));
    // Registry slots are reused, not piling up, while texts come and go.
    for (int i = 0; i < 1000; ++i) {
        run("i = " + std::to_string(i));
        run("i = " + std::to_string(i));
    }
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_LT(lua_objlen(L, LUA_REGISTRYINDEX), 64u);
    cache.Clear(L);
    EXPECT_EQ(cache.Size(), 0u);
}

TEST_F(LuaHost, SlowChunksAreWrittenToTheTimingLog) {
    TempDir dir;
    const std::string oldFolder = LogFolder();
    SetLogFolder(dir.path());
    LogEnabled = true;
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    g_clock = &clock;
    LuaMachine->RegisterFunction("slow", SlowCall);
    LuaMachine->RunString("x = 1");
    LuaMachine->RunString("slow()");
    LuaMachine->RegisterFunction("slowThenInner", SlowThenInner);
    LuaMachine->RunString("slowThenInner()");
    LogEnabled = false;
    SetLogFolder(oldFolder);
    std::string log;
    ASSERT_TRUE(platform::ReadFile(dir / "luatlog.txt", log));
    EXPECT_NE(log.find(": Time: 1.5 Command: slow()\n"), std::string::npos) << log;
    EXPECT_NE(log.find(": Time: 1.2 Command: slowThenInner()\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("x = 1"), std::string::npos) << log;
    EXPECT_EQ(log.find("inner = 1"), std::string::npos);
}

// A fixed-step run's clock stands still while a chunk runs; the chunk's
// real time still finds it out.
TEST_F(LuaHost, SlowChunksOfFixedStepRunsAreTimedByTheWallClock) {
    TempDir dir;
    LoggingInto logs(dir.path());
    platform::FrameClock frames;
    platform::ScopedClock scoped(frames);
    platform::ManualClock wall;
    platform::SetWallClock(&wall);
    SlowWork slow(wall, 1500);
    LuaMachine->RunString("x = 1");
    LuaMachine->RunString("slow()");
    platform::SetWallClock(nullptr);
    const std::string log = logs.Text("luatlog.txt");
    EXPECT_NE(log.find(": Time: 1.5 Command: slow()\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("x = 1"), std::string::npos) << log;
}

TEST_F(LuaHost, StackLinesForTheErrorLogReport) {
    LuaMachine->RegisterFunction("capture", CaptureStack);
    LuaMachine->RunString("function inner()\n capture()\nend\ninner()");
    EXPECT_TRUE(g_stackResult);
    // Level 0 is the C function, 1 inner, 2 the chunk; the deepest level is first.
    ASSERT_FALSE(g_stackLines.empty());
    EXPECT_EQ(g_stackLines[0],
              "Debug 2                : Source: function inner()\n capture()\nend\ninner() ");
    const std::string joined = [&] {
        std::string s;
        for (auto& l : g_stackLines) s += l + "|";
        return s;
    }();
    EXPECT_NE(joined.find("Debug 1                : Source: "), std::string::npos) << joined;
    EXPECT_NE(joined.find("                       : Name: inner |"), std::string::npos) << joined;
    EXPECT_NE(joined.find("                       : CurrentLine: 2 |"), std::string::npos) << joined;
    EXPECT_NE(joined.find("Debug 0                : Source: =[C] |                       : What: C |"),
              std::string::npos)
        << joined;

    ASSERT_TRUE(GetErrorLogSources().luaDebug);
    std::vector<std::string> lines;
    EXPECT_TRUE(GetErrorLogSources().luaDebug(lines));
    EXPECT_TRUE(lines.empty()); // no script is running
    CloseLuaMachine();
    EXPECT_FALSE(GetErrorLogSources().luaDebug(lines));
    FreeLuaMachine();
    EXPECT_FALSE(GetErrorLogSources().luaDebug(lines));
}

TEST_F(LuaHost, ErrorLogReportShowsTheScriptStackOrThatLuaWasFreed) {
    TempDir dir;
    platform::SetExeFolderOverride(dir.path());
    GetErrorLogSources().measuredCpuMhz = [] { return 1000u; };
    LuaMachine->RegisterFunction("report", WriteReport);
    LuaMachine->RunString("function f()\n report()\nend\nf()");
    const std::string during = ReadOnlyReport(dir / "Logs/ErrorLogs");
    platform::DeleteFile(dir / "Logs/ErrorLogs/" +
                         platform::ListFolder(dir / "Logs/ErrorLogs", true, false)[0]);
    FreeLuaMachine();
    ErrorLogReport("after", true);
    const std::string after = ReadOnlyReport(dir / "Logs/ErrorLogs");
    GetErrorLogSources().measuredCpuMhz = nullptr;
    platform::SetExeFolderOverride("");

    EXPECT_NE(during.find("LUA Debug\n---------\n"), std::string::npos) << during;
    EXPECT_NE(during.find("Debug 1                : Source: function f()"), std::string::npos) << during;
    EXPECT_NE(during.find("                       : Name: f \n"), std::string::npos) << during;
    EXPECT_EQ(during.find("LUA was Freed"), std::string::npos);
    EXPECT_NE(after.find("LUA was Freed"), std::string::npos) << after;
}

} // namespace
} // namespace vesk::test
