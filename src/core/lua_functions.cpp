#include "core/lua_functions.h"

#include <array>
#include <string>

#include "core/lua_machine.h"
#include "core/string_tables.h"

namespace vesk {

namespace {

constexpr EngineFunctionEntry kTable[] = {
    {"engine_Include", nullptr},
    {"engine_Print", nullptr},
    {"engine_DoString", nullptr},
    {"engine_PrintPhysis", nullptr},
    {"engine_GetTickCount", nullptr},
    {"engine_PhCommand", nullptr},
    {"engine_PhRange", nullptr},
    {"engine_PhDotRange", nullptr},
    {"engine_UpdatePlayerShip", nullptr},
    {"engine_UpdateSelectedShip", nullptr},
    {"engine_DeleteSaveDir", nullptr},
    {"engine_CopySaveDir", nullptr},
    {"engine_PrintC", nullptr},
    {"engine_IncludeDir", nullptr},
    {"engine_IncludeTree", nullptr},
    {"engine_ModifyVEffect", nullptr},
    {"engine_PreCacheCM", nullptr},
    {"engine_RegistryModel", nullptr},
    {"engine_Error", nullptr},
    {"engine_SetStatus", nullptr},
    {"engine_ChangeObjMesh", nullptr},
    {"engine_PrintLog", nullptr},
    {"engine_PrintFastLog", nullptr},
    {"engine_PhGunGetting", nullptr},
    {"engine_ReloadFx", nullptr},
    {"engine_IsHelper", nullptr},
    {"engine_GetSPTS", nullptr},
    {"engine_PhSetObjParam", nullptr},
    {"engine_AssignLocationToBru", nullptr},
    {"engine_CreatePlanetSystem", nullptr},
    {"engine_GetLocationsBSphereList", nullptr},
    {"engine_GetPlanetSystemHelpersList", nullptr},
    {"engine_AddEnvObj", nullptr},
    {"engine_LoadLocation", nullptr},
    {"engine_GetLocationHelpersList", nullptr},
    {"engine_AssignLocationToUHelper", nullptr},
    {"engine_GetUniversalHelperHex", nullptr},
    {"engine_GetHelperRange", nullptr},
    {"engine_GetStringPhParams", nullptr},
    {"engine_onObjForsage", nullptr},
    {"engine_offObjForsage", nullptr},
    {"engine_SetTurretParams", nullptr},
    {"engine_PhDotRangeHex", nullptr},
    {"engine_AttackActuality", nullptr},
    {"engine_AddEncounterHelper", nullptr},
    {"engine_DelGlobalHelper", nullptr},
    {"engine_GetObjRadius", nullptr},
    {"engine_SetCameraAlign", nullptr},
    {"engine_CameraSetFreeLookMode", nullptr},
    {"engine_CameraResetFreeLookMode", nullptr},
    {"engine_CameraSetFreeLookModeVelocity", nullptr},
    {"engine_CameraSetFreeLookModeRotVelocity", nullptr},
    {"engine_CameraSetPos", nullptr},
    {"engine_CameraGetPos", nullptr},
    {"engine_CameraSetOri", "engine_CameraSetPos"},
    {"engine_CameraGetOri", "engine_CameraGetPos"},
    {"engine_CameraSetFOV", nullptr},
    {"engine_CameraSetHelperFromName", nullptr},
    {"engine_PlaySound", nullptr},
    {"engine_SoundLength", nullptr},
    {"engine_SetCameraZoom", nullptr},
    {"engine_Desktop", nullptr},
    {"set", "engine_Desktop"},
    {"get_hex", nullptr},
    {"setfast_visible", nullptr},
    {"setfast_text", nullptr},
    {"getfast_text", nullptr},
    {"getfast_visible", nullptr},
    {"get_visible", nullptr},
    {"run", "engine_Desktop"},
    {"engine_LoadDialog", nullptr},
    {"engine_GetDialog", nullptr},
    {"engine_GetObjSpeed", nullptr},
    {"engine_CameraOnObj", nullptr},
    {"engine_SetCursorObj", nullptr},
    {"engine_ReloadTexture", nullptr},
    {"engine_ReloadEnvironment", nullptr},
    {"engine_Dump", nullptr},
    {"engine_ParseRefFile", nullptr},
    {"engine_ParseRefFiles", nullptr},
    {"engine_KW1", nullptr},
    {"engine_KW2", nullptr},
    {"FirstTimeInit", nullptr},
    {"engine_SetVar", nullptr},
    {"engine_GetVar", nullptr},
    {"engine_AddVar", nullptr},
    {"engine_AddCashedVar", nullptr},
    {"engine_SpawnVar", nullptr},
    {"engine_UpdateToScript", nullptr},
    {"engine_UpdateToEngine", nullptr},
    {"engine_SaveToFile", nullptr},
    {"engine_LoadFromFile", nullptr},
    {"engine_DelVar", nullptr},
    {"engine_IsVar", nullptr},
    {"engine_Execute", nullptr},
    {"engine_SetParent", nullptr},
    {"engine_GetHex", nullptr},
    {"engine_GetPath", nullptr},
    {"engine_GetId", nullptr},
    {"engine_GetTable", nullptr},
    {"engine_Serv", nullptr},
    {"engine_GetLineWidth", nullptr},
    {"engine_GetDirContent", nullptr},
    {"engine_GetIniParam", nullptr},
    {"engine_SetIniParam", nullptr},
    {"engine_GetFov", nullptr},
    {"engine_SetFov", nullptr},
    {"engine_GetGeneralVolume", nullptr},
    {"engine_SetGeneralVolume", nullptr},
    {"engine_AnsiStr2HexString", nullptr},
    {"engine_HexStr2AnsiString", nullptr},
    {"engine_UpperCase", nullptr},
    {"engine_GetTime", nullptr},
    {"engine_Sound", nullptr},
    {"engine_clearCache", nullptr},
    {"engine_AddMeshToCache", nullptr},
    {"engine_EnableRender", nullptr},
    {"engine_UpdatePostProcess", nullptr},
    {"engine_EnableRenderPostProcess", nullptr},
    {"engine_SetVideoWideScreen", nullptr},
    {"Lua_SetJoyAction", nullptr},
    // The look of the engine's own render-to-texture pass: "none", "simple", "grayscale".
    {"engine_SetPostEffectMode", nullptr},
};
static_assert(std::size(kTable) == kEngineFunctionCount);

std::size_t IndexOf(std::string_view name) {
    for (std::size_t i = 0; i < kEngineFunctionCount; ++i)
        if (name == kTable[i].name) return i;
    return kEngineFunctionCount;
}

// One handler slot per table row; an alias row uses the slot of the row it names.
struct Slot {
    const char* name;
    lua_CFunction handler;
};

std::array<Slot, kEngineFunctionCount>& Slots() {
    static std::array<Slot, kEngineFunctionCount> slots = [] {
        std::array<Slot, kEngineFunctionCount> s{};
        for (std::size_t i = 0; i < kEngineFunctionCount; ++i) s[i] = {kTable[i].name, nullptr};
        s[IndexOf("engine_ParseRefFile")].handler = engine_ParseRefFile;
        s[IndexOf("engine_ParseRefFiles")].handler = engine_ParseRefFiles;
        return s;
    }();
    return slots;
}

std::size_t SlotIndex(std::size_t row) {
    const char* target = kTable[row].sameAs;
    if (!target) return row;
    for (std::size_t i = 0; i < kEngineFunctionCount; ++i)
        if (std::string_view(kTable[i].name) == target) return i;
    return row;
}

int NotAvailable(lua_State* L, const char* name) {
    return luaL_error(L, "%s: not available", name);
}

int Dispatch(lua_State* L) {
    auto* slot = static_cast<Slot*>(lua_touserdata(L, lua_upvalueindex(1)));
    if (!slot->handler) return NotAvailable(L, slot->name);
    return CallLuaHandler(L, slot->handler);
}

} // namespace

std::span<const EngineFunctionEntry> EngineFunctionTable() {
    return kTable;
}

bool SetEngineFunction(std::string_view name, lua_CFunction handler) {
    const std::size_t i = IndexOf(name);
    if (i == kEngineFunctionCount) return false;
    Slots()[SlotIndex(i)].handler = handler;
    return true;
}

lua_CFunction GetEngineFunction(std::string_view name) {
    const std::size_t i = IndexOf(name);
    return i == kEngineFunctionCount ? nullptr : Slots()[SlotIndex(i)].handler;
}

void RegisterEngineFunctions(lua_State* L) {
    // The closures of this state, by slot, so an alias gets the very same function value.
    lua_newtable(L);
    const int closures = lua_gettop(L);
    for (std::size_t i = 0; i < kEngineFunctionCount; ++i) {
        const std::size_t slot = SlotIndex(i);
        lua_rawgeti(L, closures, static_cast<int>(slot) + 1);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            lua_pushlightuserdata(L, &Slots()[slot]);
            lua_pushcclosure(L, Dispatch, 1);
            lua_pushvalue(L, -1);
            lua_rawseti(L, closures, static_cast<int>(slot) + 1);
        }
        lua_setglobal(L, kTable[i].name);
    }
    lua_pop(L, 1);
}

std::string EngineArgText(lua_State* L, int index) {
    if (index > lua_gettop(L) || !lua_isstring(L, index)) return {};
    size_t len = 0;
    const char* s = lua_tolstring(L, index, &len);
    return std::string(s, len);
}

bool EngineArgSwitch(lua_State* L, int index) {
    if (lua_isboolean(L, index)) return lua_toboolean(L, index) != 0;
    if (lua_type(L, index) == LUA_TNUMBER) return lua_tonumber(L, index) != 0;
    const std::string text = EngineArgText(L, index);
    return text == "1" || text == "true";
}

} // namespace vesk
