// The `materials` and `mesh` fog tables as the render engine reads them: the
// values (texts, numbers, booleans, tables) come from the input, under the
// keys the readers look for and the material and mesh names they are asked for.
#include "core/lua_machine.h"
#include "core/paths.h"
#include "fuzz_support.h"
#include "render/device.h"
#include "render/fog.h"
#include "render/material.h"
#include "render/shader.h"
#include "render/texture.h"

using namespace vesk;

namespace {

const char* const kMaterialKeys[] = {"id",
                                     "texture_technique",
                                     "shader",
                                     "diffuse_color",
                                     "specular_color",
                                     "ambient_color",
                                     "emissive_color",
                                     "power",
                                     "maxdivider"};
const char* const kMapKeys[] = {"name",      "format",    "mipmaps",  "mipbias",
                                "minfilter", "magfilter", "mipfilter"};
const char* const kNamedMaps[] = {"diffuse_map", "luminace_map", "light_map", "opacity_map"};
const char* const kFogKeys[] = {"fogEnable", "fogDist", "fogMode", "fogDensity", "fogColor"};

// One value chosen by the input on top of the stack (nothing pushed: false).
bool PushValue(lua_State* L, fuzz::Bytes& in, bool allowTable) {
    switch (in.U8() % (allowTable ? 5 : 4)) {
    case 0:
        return false;
    case 1: {
        const std::string t = in.Text(24);
        lua_pushlstring(L, t.data(), t.size());
        return true;
    }
    case 2:
        lua_pushnumber(L, in.F32());
        return true;
    case 3:
        lua_pushboolean(L, in.U8() & 1);
        return true;
    default:
        lua_newtable(L);
        return true;
    }
}

// table[key] = a value of the input, for each key.
template <size_t N> void FillKeys(lua_State* L, fuzz::Bytes& in, const char* const (&keys)[N]) {
    for (const char* key : keys)
        if (PushValue(L, in, false)) lua_setfield(L, -2, key);
}

void FillMap(lua_State* L, fuzz::Bytes& in) {
    lua_newtable(L);
    FillKeys(L, in, kMapKeys);
}

void Prepare() {
    static const bool done = [] {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = fuzz::QuietNullDevice();
        DataPath = fuzz::RunFolder() + "/data/";
        RE_CreateTextureManager();
        CreateLuaMachine();
        LuaMachine->RunString("function length(t) if type(t) ~= 'table' then return 0 end local n = 0 "
                              "for _ in pairs(t) do n = n + 1 end return n end");
        return true;
    }();
    (void)done;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    Prepare();
    // Every texture name asked for stays in the manager's list: a fresh
    // manager now and then keeps a long run's memory flat.
    static int inputs = 0;
    if (++inputs % 1000 == 0) {
        RE_FreeTextureManager();
        RE_CreateTextureManager();
    }
    lua_State* L = LuaMachine->State();
    fuzz::Bytes in(data, size);
    const std::string name = in.Text(12);

    // materials = { checker = { id = "1" }, [name] = { ... } }
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "1");
    lua_setfield(L, -2, "id");
    lua_setfield(L, -2, "checker");
    lua_newtable(L);
    FillKeys(L, in, kMaterialKeys);
    lua_newtable(L);
    const int maps = in.U8() % 4;
    for (int i = 1; i <= maps; ++i) {
        FillMap(L, in);
        lua_rawseti(L, -2, i);
    }
    lua_setfield(L, -2, "maps");
    for (const char* map : kNamedMaps)
        if (in.U8() & 1) {
            FillMap(L, in);
            lua_setfield(L, -2, map);
        }
    lua_setfield(L, -2, name.c_str());
    lua_setglobal(L, "materials");

    // mesh = { [name] = { fog = { ... } } }
    lua_newtable(L);
    lua_newtable(L);
    lua_newtable(L);
    FillKeys(L, in, kFogKeys);
    lua_setfield(L, -2, "fog");
    lua_setfield(L, -2, name.c_str());
    lua_setglobal(L, "mesh");

    MaterialClass* material = MaterialClass::Create();
    auto* owner = TEngineObject::New<TEngineObject>();
    RenderStateManagerClass* states = RenderStateManagerClass::Create(owner);
    FogClass* fog = FogClass::Create(states, owner);
    try {
        material->SetMaterialFromLua(name, "checker");
        fog->FogLoadFromLua(name, "fog");
        fuzz::g_sink = fuzz::g_sink + fog->Color() + size_t(fog->Density() > 0);
    } catch (const fuzz::HaltedRun&) {
    }
    lua_settop(L, 0);
    fog->ReleaseRef();
    owner->Free();
    material->Free();
    TEODestroyManager->Flush();
    return 0;
}
