#include "core/plugins.h"

#include "core/lua_machine.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/text.h"
#include "shared/errors.h"

#include <algorithm>
#include <cstring>
#include <lua.hpp>

namespace vesk {

std::unique_ptr<TPluginSystem> PluginSystem;

namespace {

// ---- the two interface objects ---------------------------------------------
// They are static: their lifetime is the program's, the counts are kept only
// for plug-ins that check them.

struct PluginApiObject {
    IPluginAPI iface;
    uint32_t refs;
};
struct LuaApiObject {
    ILuaAPI iface;
    uint32_t refs;
};

PluginApiObject& PluginApiObj();
LuaApiObject& LuaApiObj();

bool SameGuid(const VeskGUID* a, const VeskGUID& b) {
    return a && std::memcmp(a, &b, sizeof b) == 0;
}

constexpr VeskGUID kIidPluginAPI = VESK_IID_IPLUGINAPI;
constexpr VeskGUID kIidLuaAPI = VESK_IID_ILUAAPI;
constexpr VeskGUID kIidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

int32_t Query(const VeskGUID* iid, void** out) {
    if (!out) return VESK_E_NOINTERFACE;
    *out = nullptr;
    if (SameGuid(iid, kIidPluginAPI) || SameGuid(iid, kIidUnknown)) {
        *out = &PluginApiObj().iface;
        ++PluginApiObj().refs;
    } else if (SameGuid(iid, kIidLuaAPI)) {
        *out = &LuaApiObj().iface;
        ++LuaApiObj().refs;
    }
    return *out ? VESK_S_OK : VESK_E_NOINTERFACE;
}

lua_State* MachineState() {
    return LuaMachine && LuaMachine->IsOpen() ? LuaMachine->State() : nullptr;
}

const IPluginAPIVtbl kPluginApiVtbl = {
    [](IPluginAPI*, const VeskGUID* iid, void** out) { return Query(iid, out); },
    [](IPluginAPI*) { return ++PluginApiObj().refs; },
    [](IPluginAPI*) { return PluginApiObj().refs > 0 ? --PluginApiObj().refs : 0u; },
    [](IPluginAPI*, const char* text) { ErrorReport(text ? text : "", "mhl"); },
    [](IPluginAPI*, const char* name, const char* version) -> void* {
        if (!name || !version) return nullptr;
        if (platform::UpperCaseCp1251(name) == "LUAAPI" && std::strcmp(version, "1.0") == 0)
            return &LuaApiObj().iface;
        return nullptr;
    },
};

// The wrappers keep Lua 5.0's calls on top of 5.1.
#define SELF ILuaAPI*
const ILuaAPIVtbl kLuaApiVtbl = {
    [](SELF, const VeskGUID* iid, void** out) { return Query(iid, out); },
    [](SELF) { return ++LuaApiObj().refs; },
    [](SELF) { return LuaApiObj().refs > 0 ? --LuaApiObj().refs : 0u; },
    [](SELF, const char* name, VeskLuaCFunction handler) {
        if (MachineState() && name && handler) LuaMachine->RegisterFunction(name, handler);
    },
    [](SELF, const char* file) {
        if (MachineState() && file) LuaMachine->RunScript(file);
    },
    [](SELF, const char* chunk) {
        // No guard name: the chunk always runs, timed and with its faults
        // reported as every other chunk's are.
        if (MachineState() && chunk) LuaMachine->RunString(chunk);
    },
    [](SELF, lua_State* L) { return lua_gettop(L); },
    [](SELF, lua_State* L, int i) { lua_settop(L, i); },
    [](SELF, lua_State* L, int i) { lua_pushvalue(L, i); },
    [](SELF, lua_State* L, int i) { lua_remove(L, i); },
    [](SELF, lua_State* L, int i) { lua_insert(L, i); },
    [](SELF, lua_State* L, int i) { lua_replace(L, i); },
    [](SELF, lua_State* L, int n) { return lua_checkstack(L, n); },
    [](SELF, lua_State* from, lua_State* to, int n) { lua_xmove(from, to, n); },
    [](SELF, lua_State* L, int i) { return lua_isnumber(L, i); },
    [](SELF, lua_State* L, int i) { return lua_isstring(L, i); },
    [](SELF, lua_State* L, int i) { return lua_iscfunction(L, i); },
    [](SELF, lua_State* L, int i) { return lua_isuserdata(L, i); },
    [](SELF, lua_State* L, int i) { return lua_type(L, i); },
    [](SELF, lua_State* L, int t) { return lua_typename(L, t); },
    [](SELF, lua_State* L, int a, int b) { return lua_equal(L, a, b); },
    [](SELF, lua_State* L, int a, int b) { return lua_rawequal(L, a, b); },
    [](SELF, lua_State* L, int a, int b) { return lua_lessthan(L, a, b); },
    [](SELF, lua_State* L, int i) { return static_cast<VeskLuaNumber>(lua_tonumber(L, i)); },
    [](SELF, lua_State* L, int i) { return lua_toboolean(L, i); },
    [](SELF, lua_State* L, int i) { return lua_tostring(L, i); },
    [](SELF, lua_State* L, int i) { return lua_objlen(L, i); },
    [](SELF, lua_State* L, int i) { return lua_touserdata(L, i); },
    [](SELF, lua_State* L, int i) { return lua_tothread(L, i); },
    [](SELF, lua_State* L, int i) { return lua_topointer(L, i); },
    [](SELF, lua_State* L) { lua_pushnil(L); },
    [](SELF, lua_State* L, VeskLuaNumber n) { lua_pushnumber(L, n); },
    [](SELF, lua_State* L, const char* s, size_t n) { lua_pushlstring(L, s, n); },
    [](SELF, lua_State* L, const char* s) { lua_pushstring(L, s); },
    [](SELF, lua_State* L, int b) { lua_pushboolean(L, b); },
    [](SELF, lua_State* L, void* p) { lua_pushlightuserdata(L, p); },
    [](SELF, lua_State* L, int i) { lua_gettable(L, i); },
    [](SELF, lua_State* L, int i) { lua_rawget(L, i); },
    [](SELF, lua_State* L, int i, int n) { lua_rawgeti(L, i, n); },
    [](SELF, lua_State* L) { lua_newtable(L); },
    [](SELF, lua_State* L, size_t n) { return lua_newuserdata(L, n); },
    [](SELF, lua_State* L, int i) { return lua_getmetatable(L, i); },
    [](SELF, lua_State* L, int i) { lua_getfenv(L, i); },
    [](SELF, lua_State* L, int i) { lua_settable(L, i); },
    [](SELF, lua_State* L, int i) { lua_rawset(L, i); },
    [](SELF, lua_State* L, int i, int n) { lua_rawseti(L, i, n); },
    [](SELF, lua_State* L, int i) { return lua_setmetatable(L, i); },
    [](SELF, lua_State* L, int i) { return lua_setfenv(L, i); },
    [](SELF) { return LUA_VERSION; },
    [](SELF, lua_State* L) { return lua_error(L); },
    [](SELF, lua_State* L, int i) { return lua_next(L, i); },
    [](SELF, lua_State* L, int n) { lua_concat(L, n); },
    [](SELF, lua_State* L, void* p) { *static_cast<void**>(lua_newuserdata(L, sizeof(void*))) = p; },
    [](SELF, lua_State* L, int i) -> void* {
        void** box = static_cast<void**>(lua_touserdata(L, i));
        return box ? *box : nullptr;
    },
    [](SELF, lua_State* L, int n) { lua_pop(L, n); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_isfunction(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_istable(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_islightuserdata(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_isnil(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_isboolean(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_isnone(L, i)); },
    [](SELF, lua_State* L, int i) { return static_cast<int>(lua_isnoneornil(L, i)); },
    [](SELF, lua_State* L, const char* s) { lua_pushstring(L, s); },
    // Pushes the running C closure's upvalues; returns how many.
    [](SELF, lua_State* L) {
        int n = 0;
        while (lua_checkstack(L, 1)) {
            lua_pushvalue(L, lua_upvalueindex(n + 1));
            if (lua_isnone(L, -1)) {
                lua_pop(L, 1);
                break;
            }
            ++n;
        }
        return n;
    },
    [](SELF, lua_State* L) { lua_pushvalue(L, LUA_REGISTRYINDEX); },
    [](SELF, lua_State* L, const char* name) {
        lua_pushstring(L, name);
        lua_insert(L, -2);
        lua_settable(L, LUA_GLOBALSINDEX);
    },
    [](SELF, lua_State* L, const char* name) {
        lua_pushstring(L, name);
        lua_gettable(L, LUA_GLOBALSINDEX);
    },
};
#undef SELF

PluginApiObject& PluginApiObj() {
    static PluginApiObject obj{{&kPluginApiVtbl}, 1};
    return obj;
}
LuaApiObject& LuaApiObj() {
    static LuaApiObject obj{{&kLuaApiVtbl}, 1};
    return obj;
}

// Plug-in calls running now (entry points and hooks).
int g_callDepth = 0;
struct CallScope {
    CallScope() { ++g_callDepth; }
    ~CallScope() { --g_callDepth; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
};

bool EndsWithSo(const std::string& name) {
    if (name.size() < 4) return false;
    return platform::LowerCaseCp1251(name.substr(name.size() - 3)) == ".so";
}

} // namespace

TPluginSystem::TPluginSystem(const std::string& folder, const std::string& modName) {
    PluginApiObj().refs = 1;
    LuaApiObj().refs = 1;
    LoadFolder(folder);
    if (!modName.empty()) {
        std::string modFolder = platform::ExeFolder() + "/mods/" + modName + "/";
        if (platform::FolderExists(modFolder)) LoadFolder(modFolder + "Plugins/");
    }
}

TPluginSystem::~TPluginSystem() {
    while (!plugins_.empty()) {
        PluginRecord record = plugins_.front();
        plugins_.erase(plugins_.begin());
        if (record.freePlugin) record.freePlugin();
        // A fatal report raised by a plug-in ends the game from inside the
        // plug-in's own code: that code must stay mapped until the end.
        if (g_callDepth == 0) platform::FreeLibrary(record.module);
    }
}

void TPluginSystem::LoadFolder(const std::string& folder) {
    platform::CreateFolders(folder);
    std::vector<std::string> names = platform::ListFolder(folder, true, false);
    // The directory's own order is arbitrary; names give the same order on every run.
    std::sort(names.begin(), names.end());
    std::string base = folder;
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
    for (const std::string& name : names)
        if (EndsWithSo(name)) LoadPlugin(base + name);
}

bool TPluginSystem::LoadPlugin(const std::string& path) {
    void* module = platform::LoadLibrary(platform::NativePath(path));
    if (!module) return false; // skipped without a message
    PluginRecord r;
    r.module = module;
    r.path = path;
    r.getPluginAPIVersion =
        reinterpret_cast<VeskGetPluginAPIVersionFn>(platform::LibrarySymbol(module, "GetPluginAPIVersion"));
    r.initPlugin = reinterpret_cast<VeskInitPluginFn>(platform::LibrarySymbol(module, "InitPlugin"));
    r.freePlugin = reinterpret_cast<VeskFreePluginFn>(platform::LibrarySymbol(module, "FreePlugin"));
    r.beforeTickHook = reinterpret_cast<VeskTickHookFn>(platform::LibrarySymbol(module, "BeforeTickHook"));
    r.afterTickHook = reinterpret_cast<VeskTickHookFn>(platform::LibrarySymbol(module, "AfterTickHook"));
    // A library without the three calls every plug-in has is not a plug-in.
    const char* version =
        r.getPluginAPIVersion && r.initPlugin && r.freePlugin ? r.getPluginAPIVersion() : nullptr;
    if (!version || std::strcmp(version, VESK_PLUGIN_API_VERSION) != 0) {
        platform::FreeLibrary(module);
        return false;
    }
    {
        CallScope scope;
        r.initPlugin(PluginAPI());
    }
    plugins_.push_back(r);
    return true;
}

void TPluginSystem::BeforeTick() {
    CallScope scope;
    // By index: a fatal report inside a hook may empty the list.
    for (size_t i = 0; i < plugins_.size(); ++i)
        if (plugins_[i].beforeTickHook) plugins_[i].beforeTickHook();
}

void TPluginSystem::AfterTick() {
    CallScope scope;
    for (size_t i = 0; i < plugins_.size(); ++i)
        if (plugins_[i].afterTickHook) plugins_[i].afterTickHook();
}

IPluginAPI* TPluginSystem::PluginAPI() {
    return &PluginApiObj().iface;
}

ILuaAPI* TPluginSystem::LuaAPI() {
    return &LuaApiObj().iface;
}

} // namespace vesk
