// The `mesh` Lua table as its readers take it: a description under a name of
// the input (odd characters, quotes and brackets included), with values of
// every kind under the keys they look for: the model's folder and name, the
// sub-object list, the fog and sky fog, the sky's dust, the heads and
// animated objects that load their models from it.
#include "core/lua_adapter.h"
#include "core/lua_machine.h"
#include "core/paths.h"
#include "fuzz_support.h"
#include "lua_value.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "render/animated_obj.h"
#include "render/device.h"
#include "render/fog.h"
#include "render/morphed_obj.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "world/space_dust.h"

using namespace vesk;

namespace {

const char* const kMeshKeys[] = {"path", "name", "kwsubobjects", "fog", "LocalSkyFog", "DustParticles"};
const char* const kFogKeys[] = {"fogEnable", "fogDist", "fogMode", "fogDensity", "fogColor"};
const char* const kDustKeys[] = {"DustLen", "BaseColor", "DecayConstant", "LenghDecayConstant"};
// Texts that mean something to the readers, beside the input's own.
const char* const kWords[] = {"",     "1",     "0",      "-1", "1e30", "nan",  "FF8040", "$",
                              "base", "base2", "models", "..", "/",    "a.cm", "\"]]",   "[==["};

// t[key] for each key, values of the input (a table of the keys below when asked).
template <size_t N> void FillKeys(lua_State* L, fuzz::Bytes& in, const char* const (&keys)[N]) {
    for (const char* key : keys)
        if (fuzz::PushLuaValue(L, in, 0, kWords, 24)) lua_setfield(L, -2, key);
}

void Prepare() {
    static const bool done = [] {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = fuzz::QuietNullDevice();
        DataPath = fuzz::RunFolder() + "/data/";
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        CreateLuaMachine();
        LuaMachine->RunString("function length(t) if type(t) ~= 'table' then return 0 end local n = 0 "
                              "for _ in pairs(t) do n = n + 1 end return n end ini = {}");
        return true;
    }();
    (void)done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    Prepare();
    lua_State* L = LuaMachine->State();
    fuzz::Bytes in(data, size);
    // The name: the input's own text, or one made only of digits (read as a number key).
    std::string name = in.Text(16);
    if (in.U8() % 4 == 0) name = std::to_string(in.U8());

    // mesh = { [name] = { path = ..., kwsubobjects = {...}, fog = {...}, ... } }
    lua_newtable(L);
    lua_newtable(L);
    for (const char* key : kMeshKeys) {
        const uint8_t how = in.U8();
        if (how % 3 == 0) continue;
        if (how % 3 == 1) {
            if (fuzz::PushLuaValue(L, in, 2, kWords, 24)) lua_setfield(L, -2, key);
            continue;
        }
        lua_newtable(L);
        if (std::string(key) == "DustParticles")
            FillKeys(L, in, kDustKeys);
        else if (std::string(key) == "kwsubobjects")
            for (int i = 1, n = in.U8() % 6; i <= n; ++i) {
                if (fuzz::PushLuaValue(L, in, 0, kWords, 24)) lua_rawseti(L, -2, i);
            }
        else
            FillKeys(L, in, kFogKeys);
        lua_setfield(L, -2, key);
    }
    if (name.find_first_not_of("0123456789") == std::string::npos && !name.empty())
        lua_rawseti(L, -2, std::atoi(name.c_str()));
    else
        lua_setfield(L, -2, name.c_str());
    lua_setglobal(L, "mesh");

    auto* owner = TEngineObject::New<TEngineObject>();
    RenderStateManagerClass* states = RenderStateManagerClass::Create(owner);
    FogClass* fog = FogClass::Create(states, owner);
    auto* dust = TBaseRenderUnit::Create<DustClass>(nullptr);
    auto* animated = TBaseRenderUnit::Create<AnimatedObjClass>(nullptr);
    auto* holder = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    try {
        fog->FogLoadFromLua(name, "fog");
        fog->FogLoadFromLua(name, "LocalSkyFog");
        fuzz::g_sink = fuzz::g_sink + fog->Color();
        LuaAdapter.SelectMesh(name);
        int index = 1;
        for (std::string sub; LuaAdapter.GetNextSubObject(index, sub) && index < 64;)
            fuzz::g_sink = fuzz::g_sink + sub.size();
        animated->LoadMesh(name, "base", 0, 0);
        holder->AddHead(name, in.U8() & 1 ? name : std::string(), in.U8() & 1, 0);
        dust->DustLoadFromLua(name);
    } catch (const fuzz::HaltedRun&) {
    }
    lua_settop(L, 0);
    for (TBaseRenderUnit* u :
         {static_cast<TBaseRenderUnit*>(dust), static_cast<TBaseRenderUnit*>(animated), holder}) {
        if (u->DiscardBRU()) u->Release();
    }
    fog->ReleaseRef();
    owner->Free();
    TEODestroyManager->Flush();
    return 0;
}
