// The `fx` Lua table as the effect library reads it: a few entries of the
// known types (or of types nobody knows) with values of every kind under the
// keys the effect classes look for, naming each other as particles, sounds
// and meshes. The library makes its templates, each is spawned at a unit of
// the scene and the scene runs and draws a few frames.
#include "../tests/support/fx_environment.h"
#include "core/paths.h"
#include "fuzz_support.h"
#include "lua_value.h"
#include "render/device.h"
#include "render/fx_descr.h"
#include "render/world_links.h"

using namespace vesk;

namespace {

const char* const kTypes[] = {"particle",    "particle_alpha", "burst",  "sound", "nozzlejet",
                              "bullet",      "laser",          "shield", "glow",  "sphere",
                              "smoke_blend", "smoke_alpha",    "defect", "mesh",  "directed_mesh",
                              "portal",      "Burst",          ""};
const char* const kKeys[] = {"CameraDist",
                             "CameraDistFactor",
                             "ColorController",
                             "EndSize",
                             "LifeTime",
                             "MaxLifeTime",
                             "MaxSize",
                             "MinLifeTime",
                             "MinSize",
                             "SpawnTime",
                             "StartSize",
                             "color",
                             "color2",
                             "endsize",
                             "frequency",
                             "friction",
                             "gloweffect",
                             "intensity",
                             "len",
                             "lifetime",
                             "loop",
                             "loopanimation",
                             "maxrange",
                             "mesh",
                             "meshname",
                             "minrange",
                             "name",
                             "notattached",
                             "numParticles",
                             "opacity",
                             "particleID",
                             "percents",
                             "player",
                             "priority",
                             "r",
                             "rnd_length_from",
                             "rnd_length_to",
                             "size",
                             "spawntimer_sec",
                             "startsize",
                             "t1",
                             "t2",
                             "texture",
                             "textures",
                             "thickness",
                             "velocity",
                             "vmax",
                             "vmin",
                             "sounds",
                             "particles",
                             "bursts"};
// The entries' names: the effects name each other by these.
const char* const kIds[] = {"a", "b", "c", "d", "e"};
const char* const kWords[] = {"",         "0", "1",   "-1",      "2", "100", "1e30", "-1e30", "nan", "FF8040",
                              "FFFFFFFF", "$", "0.5", "checker", "a", "b",   "c",    "d",     "e"};

// The scene the effects are spawned into: the engine root with an
// environment and a unit to carry them, over the effect managers.
class Scene {
public:
    Scene() {
        environment_.Start("materials = { checker = { id = '0', texture_technique = 60, diffuse_color = "
                           "'FFFFFF', specular_color = '0', ambient_color = '0', emissive_color = '0', "
                           "power = 0 } } fx = {} mesh = {} ini = {}");
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
        engine->AddChild(env);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env; };
        carrier = TBaseRenderUnit::Create<TBaseRenderUnit>(env);
        carrier->SetFlag(BRU_OPAQUE);
        carrier->AddHelper("h", {1, 2, 3});
        env->AddChild(carrier);
    }
    ~Scene() {
        FreeFXTemplates();
        engine->DiscardBRU();
        engine->Free();
        TEODestroyManager->Flush();
        GetRenderWorldLinks() = RenderWorldLinks{};
        environment_.Stop();
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    void Frame(float ms) {
        engine->TickTree(ms);
        engine->RE_BeginScene();
        engine->UpdateMatrices(nullptr);
        engine->RenderFrame();
        engine->RE_EndScene();
        RenderFrameCounter.NextFrame();
        TEODestroyManager->Flush();
    }

    TEngineClass* engine = nullptr;
    TBaseRenderUnit* env = nullptr;
    TBaseRenderUnit* carrier = nullptr;

private:
    test::FxEnvironment environment_;
};

std::unique_ptr<Scene> g_scene;

void Prepare() {
    static const bool done = [] {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = fuzz::QuietNullDevice();
        DataPath = fuzz::RunFolder() + "/data/";
        return true;
    }();
    (void)done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    Prepare();
    // A fresh scene now and then (and after an input that ended in a fatal
    // report, which leaves things as a game that stops there would).
    static int inputs = 0;
    if (!g_scene || ++inputs % 500 == 0) {
        g_scene.reset();
        g_scene = std::make_unique<Scene>();
    }
    Scene& scene = *g_scene;
    lua_State* L = LuaMachine->State();
    fuzz::Bytes in(data, size);

    // fx = { [id] = { id = ..., type = ..., <key> = <value>, ... }, ... }
    lua_newtable(L);
    const int entries = 1 + in.U8() % 5;
    for (int e = 0; e < entries; ++e) {
        const char* id = kIds[in.U8() % std::size(kIds)];
        lua_newtable(L);
        lua_pushstring(L, in.U8() % 8 ? id : kIds[in.U8() % std::size(kIds)]);
        lua_setfield(L, -2, "id");
        lua_pushstring(L, kTypes[in.U8() % std::size(kTypes)]);
        lua_setfield(L, -2, "type");
        for (int k = 0, n = in.U8() % 12; k < n; ++k) {
            const char* key = kKeys[in.U8() % std::size(kKeys)];
            if (fuzz::PushLuaValue(L, in, 2, kWords, 16)) lua_setfield(L, -2, key);
        }
        lua_setfield(L, -2, id);
    }
    lua_setglobal(L, "fx");

    bool halted = false;
    try {
        LoadFXTemplates();
        FXDescrStruct desc;
        desc.BurstTargetBRU = desc.SoundTargetBRU = desc.ShieldBRU = desc.SphereBRU = desc.SmokeTargetBRU =
            desc.MeshTargetBRU = desc.MeshDestBRU = desc.JetTargetBRU = desc.GlowTargetBRU = desc.DefectBRU =
                desc.LaserObjFromBRU = desc.LaserObjToBRU = scene.carrier;
        desc.BurstHelper = desc.SmokeHelper = desc.MeshHelper = desc.JetHelper = desc.GlowHelper =
            desc.LaserFromHelper = desc.LaserToHelper = "h";
        desc.SphereRadius = 5.0f;
        for (int i = 0; i < FXTemplates.Count(); ++i)
            if (in.U8() % 4) TBaseRenderUnit::SpawnEffect(FXTemplates.At(i), scene.carrier, &desc);
        for (int f = 0, n = 1 + in.U8() % 4; f < n; ++f) scene.Frame(static_cast<float>(in.U8()) * 4.0f);
        // Everything spawned goes; the templates with the next load.
        if (const auto* children = scene.carrier->ChildsBRU())
            for (TBaseRenderUnit* c : *children)
                if (dynamic_cast<FXBaseClass*>(c)) c->Kill();
        scene.Frame(16.0f);
    } catch (const fuzz::HaltedRun&) {
        halted = true;
    }
    lua_settop(L, 0);
    if (halted) {
        // A report that ends the game mid-frame leaves the device inside its
        // scene; the next scene starts on a device that is not.
        Device->EndScene();
        g_scene.reset();
    }
    return 0;
}
