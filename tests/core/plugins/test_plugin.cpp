// A plug-in for the tests. Built several times with another name, version or
// missing export. It writes what happens to it, one line each, to the file
// named by VESK_PLUGIN_TRACE; VESK_TEST_PLUGIN_FAIL=<frames> makes it report a
// fatal error after that many frames, VESK_TEST_PLUGIN_THROW makes InitPlugin throw.
#include "core/plugin_api.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

IPluginAPI* g_api = nullptr;
ILuaAPI* g_lua = nullptr;
int g_frames = 0;

void Trace(const char* event) {
    const char* path = std::getenv("VESK_PLUGIN_TRACE");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s %s\n", PLUGIN_NAME, event);
        std::fclose(f);
    }
}

// plugin_add(a, b) -> a + b, through the API's Lua calls only.
int PluginAdd(lua_State* L) {
    ILuaAPI* lua = g_lua;
    const VeskLuaNumber a = lua->vtbl->tonumber(lua, L, 1);
    const VeskLuaNumber b = lua->vtbl->tonumber(lua, L, 2);
    lua->vtbl->pushnumber(lua, L, a + b);
    // The 5.0 global helpers: plugin_last := the sum, as a string.
    lua->vtbl->pushstring(lua, L, PLUGIN_NAME);
    lua->vtbl->setglobal(lua, L, "plugin_last");
    return 1;
}

} // namespace

EXPORT const char* GetPluginAPIVersion() {
    return PLUGIN_VERSION;
}

EXPORT void InitPlugin(IPluginAPI* api) {
    if (std::getenv("VESK_TEST_PLUGIN_THROW")) throw std::runtime_error("plug-in start failed");
    g_api = api;
    Trace("init");
    g_lua = static_cast<ILuaAPI*>(api->vtbl->GetAPI(api, "luaapi", "1.0"));
    if (g_lua && !api->vtbl->GetAPI(api, "LUAAPI", "1.1")) Trace("getapi");
    if (g_lua) {
        g_lua->vtbl->RegisterFunction(g_lua, "plugin_add_" PLUGIN_NAME, PluginAdd);
        g_lua->vtbl->RunString(g_lua, "plugin_seen = (plugin_seen or '') .. '" PLUGIN_NAME " '");
    }
}

#ifndef PLUGIN_NO_FREE
EXPORT void FreePlugin() {
    // Lua is closed by now: the API's calls do nothing.
    if (g_lua) g_lua->vtbl->RunString(g_lua, "plugin_seen = nil");
    Trace("free");
}
#endif

EXPORT void BeforeTickHook() {
    Trace("before");
}

EXPORT void AfterTickHook() {
    Trace("after");
    ++g_frames;
    if (const char* fail = std::getenv("VESK_TEST_PLUGIN_FAIL"))
        if (g_frames >= std::atoi(fail)) g_api->vtbl->Error(g_api, "Test plug-in: fatal fault after a frame");
}
