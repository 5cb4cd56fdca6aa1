// A location of the current planet system loaded, placed on its helper (with
// its fog volumes) and unloaded again, one hundred times over, through the
// world's engine functions as the scene does it and on the units alone. The
// heap in use, the live engine objects and the render units after the first
// round and after the last are compared: a round that left anything behind
// would show as growth.
#include "core/lua_readers.h"
#include "mesh.h"
#include "platform/files.h"
#include "platform/gfx/null_device.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "world/locations.h"
#include "world/space_stack.h"

#include <benchmark/benchmark.h>

#include <lua.hpp>
#include <malloc.h>

#include <filesystem>
#include <string>

namespace {

using namespace vesk;
using contentgen::Ellipsoid;
using contentgen::ModelFile;

std::string WriteModel(const std::string& folder, const std::string& name, const ModelFile& m) {
    const std::string path = folder + "/" + name;
    platform::WriteFile(path + ".cm", m.Bytes());
    return path;
}

// The heap in use, after the scripts' garbage is collected.
double HeapInUse() {
    if (LuaMachine) lua_gc(LuaMachine->State(), LUA_GCCOLLECT, 0);
    return static_cast<double>(mallinfo2().uordblks);
}

class Scene {
public:
    Scene() {
        folder_ = (std::filesystem::temp_directory_path() / "vesk_bench_scene").string();
        std::filesystem::create_directories(folder_);
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        d3d_ = platform::CreateNullDirect3D();
        platform::D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        platform::Ref<platform::IDirect3DDevice9> dev;
        d3d_->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr,
                           platform::D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
        Device = dev;
        stack_.Start(R"(
materials = { checker = { id = '0', texture_technique = 20, diffuse_color = 'FFFFFF', specular_color = '0',
  ambient_color = 'FFFFFF', emissive_color = '0', power = 1,
  diffuse_map = { name = 'general/checker', mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } } }
mesh = { space01 = { DustParticles = { DustLen = 15 } } }
fx = { nebula = { id = 'nebula', type = 'particle_alpha', texture = 'fx/smoke.dds' } })");
        engine_ = stack_.engine;
        LoadFXTemplates();

        ModelFile env("env");
        contentgen::Mesh sky = Ellipsoid({0, 0, 0}, {1000, 1000, 1000}, 12, 6, "sky");
        sky.Invert();
        env.AddObject("sky:space01", std::move(sky));
        env.lights.push_back({"SUNLIGHT_01", {800, 0, 0}, {1, 1, 1, 1}, 0});
        const std::string envPath = WriteModel(folder_, "env", env);
        ModelFile sys("sys");
        sys.AddHelper("location:belt", {2000, 0, 0});
        LuaMachine->RunString("spacemodel = { sys = { environment = " + LuaQuote(envPath) + " } }");
        const std::string sysPath = WriteModel(folder_, "sys", sys);
        // The location: a dozen helpers, three fog volumes, a sphere.
        ModelFile belt("belt");
        belt.AddHelper("mission:start", {0, 0, 0});
        for (int i = 1; i <= 9; ++i)
            belt.AddHelper("mesh:rock0" + std::to_string(i), {100.0f * float(i), 50.0f * float(i % 3), 0});
        for (int i = 1; i <= 3; ++i)
            belt.helpers.push_back(
                {"fog:nebula0" + std::to_string(i),
                 {300.0f * float(i), 0, 0},
                 MatrixProduct(MatrixScaling(500, 500, 500), MatrixTranslation(300.0f * float(i), 0, 0))});
        belt.AddSphere("bs_belt", {0, 0, 0}, 2000);
        location_ = WriteModel(folder_, "belt", belt);
        LuaMachine->RunString("engine_CreatePlanetSystem(" + LuaQuote(sysPath) + ")");
    }
    ~Scene() {
        stack_.Stop();
        LiveObjects.reset();
        Device = nullptr;
        TEODestroyManager.reset();
        std::filesystem::remove_all(folder_);
    }
    // One round as the scene makes it: the location loaded and placed on its
    // helper through the world's engine functions, then unloaded and cleaned up.
    void ScriptedRound() {
        const std::string hex = GetLuaString("engine_LoadLocation(" + LuaQuote(location_) + ")", false);
        LuaMachine->RunString("engine_AssignLocationToUHelper('" + hex + "', 'location:belt')");
        int32_t id = 0;
        TryParseInt32(hex, id);
        if (auto* loc = FindEngineObjectAs<WELocationClass>(id)) loc->Kill();
        Clean();
    }
    // The same round on the units alone, without the scripts.
    void DirectRound() {
        WEPlanetSystemClass* psys = Env->PlanetSystem();
        auto* loc = TBaseRenderUnit::Create<WELocationClass>(psys);
        loc->LoadFromFile(location_);
        psys->AddChild(loc);
        loc->SetPosition({2000, 0, 0});
        loc->UpdateMatrices(&psys->GetWorldMatrix());
        loc->CreateFog();
        loc->Kill();
        Clean();
    }
    void Clean() {
        engine_->CleanChildsBRU();
        TEODestroyManager->Flush();
    }

private:
    std::string folder_, location_;
    platform::Ref<platform::NullDirect3D> d3d_;
    test::SpaceStack stack_;
    TEngineClass* engine_ = nullptr;
};

// What a round may leave behind: the heap in use, live engine objects, render units.
struct Marks {
    double heap;
    double objects, units;
    static Marks Now() {
        return {HeapInUse(), static_cast<double>(LiveEngineObjectCount()),
                static_cast<double>(BRUInstanceCount)};
    }
};

template <void (Scene::*Round)()> void LoadAndUnload(benchmark::State& state) {
    Scene scene;
    (scene.*Round)();
    const Marks first = Marks::Now();
    for (auto _ : state) (scene.*Round)();
    const Marks last = Marks::Now();
    state.counters["heap_after_first_kb"] = first.heap / 1024.0;
    state.counters["heap_after_last_kb"] = last.heap / 1024.0;
    state.counters["heap_ratio"] = last.heap / first.heap;
    state.counters["objects_ratio"] = last.objects / first.objects;
    state.counters["units_ratio"] = last.units / first.units;
}

// Through the scripts: the Lua state's own strings and tables are in the heap figure.
void BM_LoadAndUnloadLocationByScript(benchmark::State& state) {
    LoadAndUnload<&Scene::ScriptedRound>(state);
}
BENCHMARK(BM_LoadAndUnloadLocationByScript)->Iterations(100)->Unit(benchmark::kMicrosecond);

void BM_LoadAndUnloadLocationUnits(benchmark::State& state) {
    LoadAndUnload<&Scene::DirectRound>(state);
}
BENCHMARK(BM_LoadAndUnloadLocationUnits)->Iterations(100)->Unit(benchmark::kMicrosecond);

} // namespace
