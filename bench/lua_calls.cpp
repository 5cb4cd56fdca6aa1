// Cost of a script calling an engine function, against a plain Lua function
// and a bare C function without the engine's guard.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "core/lua_functions.h"
#include "core/lua_machine.h"

namespace {

constexpr int kCalls = 1000000;

int Add(lua_State* L) {
    lua_pushnumber(L, lua_tonumber(L, 1) + 1);
    return 1;
}

// The loop runs in Lua: one million calls per iteration.
void RunCalls(benchmark::State& state, const std::function<void(vesk::TLuaMachine&)>& install) {
    vesk::CreateLuaMachine();
    install(*vesk::LuaMachine);
    vesk::LuaMachine->RunString("function bench() local f, x = target, 0 for i = 1, " +
                                std::to_string(kCalls) + " do x = f(x) end return x end");
    lua_State* L = vesk::LuaMachine->State();
    for (auto _ : state) {
        lua_getglobal(L, "bench");
        lua_call(L, 0, 1);
        benchmark::DoNotOptimize(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    state.counters["per_call"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kCalls,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    vesk::FreeLuaMachine();
}

void BM_RegisteredFunction(benchmark::State& state) {
    RunCalls(state, [](vesk::TLuaMachine& m) { m.RegisterFunction("target", Add); });
}

void BM_EngineTableFunction(benchmark::State& state) {
    vesk::SetEngineFunction("engine_GetTickCount", Add);
    RunCalls(state, [](vesk::TLuaMachine& m) { m.RunString("target = engine_GetTickCount"); });
    vesk::SetEngineFunction("engine_GetTickCount", nullptr);
}

void BM_BareCFunction(benchmark::State& state) {
    RunCalls(state, [](vesk::TLuaMachine& m) {
        lua_pushcfunction(m.State(), Add);
        lua_setglobal(m.State(), "target");
    });
}

void BM_LuaFunction(benchmark::State& state) {
    RunCalls(state, [](vesk::TLuaMachine& m) { m.RunString("function target(x) return x + 1 end"); });
}

BENCHMARK(BM_RegisteredFunction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineTableFunction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCFunction)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaFunction)->Unit(benchmark::kMillisecond);

// Texts the engine runs again and again: an event's code between its hooks
// and the script tick, against calling an already compiled function doing the
// same, and a text that is new every time (what one-off chunks cost).
constexpr const char* kEventText =
    " setHook(\"_G.ships.s1.events.onDamage\",[[if tmp[2] then hits = hits + 1 end]]); "
    "if tmp[2] then hits = hits + 1 end; emptyHook(); ";

void PrepareEventScripts() {
    vesk::CreateLuaMachine();
    vesk::LuaMachine->RunString(
        "hits = 0 tmp = {'1', '2'} function setHook(a, b) end function emptyHook() end "
        "function obj_Tick(ms) hits = hits + ms end");
}

void BM_RepeatedEventText(benchmark::State& state) {
    PrepareEventScripts();
    for (auto _ : state) vesk::LuaMachine->RunString(kEventText);
    vesk::FreeLuaMachine();
}
BENCHMARK(BM_RepeatedEventText);

void BM_RepeatedScriptTick(benchmark::State& state) {
    PrepareEventScripts();
    for (auto _ : state) vesk::LuaMachine->RunString("obj_Tick(100)");
    vesk::FreeLuaMachine();
}
BENCHMARK(BM_RepeatedScriptTick);

void BM_CompiledEventFunction(benchmark::State& state) {
    PrepareEventScripts();
    lua_State* L = vesk::LuaMachine->State();
    luaL_loadstring(L, kEventText);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    for (auto _ : state) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        lua_call(L, 0, 0);
    }
    vesk::FreeLuaMachine();
}
BENCHMARK(BM_CompiledEventFunction);

void BM_NewTextEachTime(benchmark::State& state) {
    PrepareEventScripts();
    int n = 0;
    for (auto _ : state) vesk::LuaMachine->RunString("hits = " + std::to_string(++n));
    vesk::FreeLuaMachine();
}
BENCHMARK(BM_NewTextEachTime);

} // namespace
