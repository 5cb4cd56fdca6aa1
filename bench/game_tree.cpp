// The game-object tree from Lua: engine_SetVar / engine_GetVar on a 4-level
// path (with short and long child lists), and saving and loading a tree of
// 10,000 nodes as Lua text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/lua_machine.h"
#include "game/events.h"
#include "game/game_ini_table.h"
#include "game/game_object.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/tree_functions.h"
#include "shared/engine_object.h"

namespace vesk {
namespace {

// Content-side stand-ins: saveData writes exec_table as Lua text, loadData reads it back.
const char* kTreeIo = R"lua(
local function write(v, out)
  if type(v) == "table" then
    table.insert(out, "{")
    for k, x in pairs(v) do
      table.insert(out, "[" .. string.format("%q", k) .. "]=")
      write(x, out)
      table.insert(out, ",\n")
    end
    table.insert(out, "}")
  elseif type(v) == "string" then table.insert(out, string.format("%q", v))
  else table.insert(out, tostring(v)) end
end
function saveData(path, file)
  local out = {"exec_table="}
  write(exec_table, out)
  local f = io.open(file, "wb") f:write(table.concat(out)) f:close()
end
function loadData(path, file)
  exec_table = nil
  dofile(file)
  engine_UpdateToEngine(path, "exec_table")
end
function noop(a, b) end
)lua";

struct World {
    explicit World(int siblings) {
        CreateLuaMachine();
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        LuaMachine->RunString(kTreeIo);
        // a.b.c.d, each level among `siblings` children (the wanted one first).
        TBaseGameObject* node = GlobalObjects;
        for (const char* n : {"a", "b", "c"}) {
            TBaseGameObject* next = NewGameObject<TBaseGameObjectList>(n, node);
            for (int i = 1; i < siblings; ++i) NewGameObject<TBaseGameObject>("s" + std::to_string(i), node);
            node = next;
        }
        NewGameObject<TGameObjectSubParam>("d", node);
        for (int i = 1; i < siblings; ++i) NewGameObject<TBaseGameObject>("s" + std::to_string(i), node);
    }
    ~World() {
        GlobalObjects->Delete();
        DeletedObjects->Tick(0.0f);
        DeletedObjects->Free();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreeLuaMachine();
    }
};

constexpr int kCallsPerRun = 1000;

void RunCalls(benchmark::State& state, const std::string& call) {
    World world(static_cast<int>(state.range(0)));
    const std::string chunk = "for i = 1, " + std::to_string(kCallsPerRun) + " do " + call + " end";
    for (auto _ : state) LuaMachine->RunString(chunk);
    state.SetItemsProcessed(state.iterations() * kCallsPerRun);
}

// A Lua call of a Lua function with the same arguments: the floor of a call.
void BM_LuaCallBaseline(benchmark::State& state) {
    RunCalls(state, "noop('a.b.c.d', '1.5')");
}
void BM_SetVar4Levels(benchmark::State& state) {
    RunCalls(state, "engine_SetVar('a.b.c.d', '1.5')");
}
void BM_GetVar4Levels(benchmark::State& state) {
    RunCalls(state, "engine_GetVar('a.b.c.d')");
}
BENCHMARK(BM_LuaCallBaseline)->Arg(1);
BENCHMARK(BM_SetVar4Levels)->Arg(1)->Arg(10000);
BENCHMARK(BM_GetVar4Levels)->Arg(1)->Arg(10000);

// The native path walk alone.
void BM_FindVarByPath(benchmark::State& state) {
    World world(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(FindVarByPath("a.b.c.d"));
}
BENCHMARK(BM_FindVarByPath)->Arg(1)->Arg(10000);

// About 10,000 nodes of every parameter kind.
void BuildTree(TBaseGameObject* root, TBaseGameObject* table) {
    for (int g = 0, made = 0; made < 10000; ++g) {
        auto* group = NewGameObject<TBaseGameObjectList>("g" + std::to_string(g), root);
        NewGameObject<TGameObjectSubParam>("f", group)->setValue(g * 0.5f);
        NewGameObject<TGameObjectIntParam>("i", group)->setValue(g);
        NewGameObject<TGameObjectStringParam>("s", group)->setValue("name " + std::to_string(g));
        NewGameObject<TGameObjectVectorParam>("v", group)->SetVector(1, 2, 3);
        NewGameObject<TGameMinMaxParam>("mm", group);
        NewGameObject<TGameObjectParam>("p", group)->Max()->setValue(100);
        auto* link = NewGameObject<TGameObjectLinkParam>("l", group);
        link->SetTable(table);
        link->setValue(table->FindChild("t"));
        NewGameObject<TGameEvent>("e", group)->stringUpdate("x = 1");
        made += 26;
    }
}

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "vesk_bench_tree.lua").string();
}

// The big tree under "tree", its links into "table".
TBaseGameObject* MakeBigTree() {
    auto* table = NewGameObject<TBaseGameObjectList>("table", GlobalObjects);
    NewGameObject<TBaseGameObject>("t", table);
    auto* tree = NewGameObject<TBaseGameObjectList>("tree", GlobalObjects);
    BuildTree(tree, table);
    return tree;
}

void BM_Save10000Nodes(benchmark::State& state) {
    World world(1);
    TBaseGameObject* tree = MakeBigTree();
    const std::string file = BenchFile();
    for (auto _ : state) tree->saveData(file);
    std::remove(file.c_str());
}
BENCHMARK(BM_Save10000Nodes)->Unit(benchmark::kMillisecond);

void BM_Load10000Nodes(benchmark::State& state) {
    World world(1);
    TBaseGameObject* tree = MakeBigTree();
    const std::string file = BenchFile();
    tree->saveData(file);
    for (auto _ : state) tree->loadData(file);
    std::remove(file.c_str());
}
BENCHMARK(BM_Load10000Nodes)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vesk
