#pragma once
// Native plug-ins: found at start-up in the program's "Plugins" folder and in
// the active mod's, handed the plug-in API, called before and after each frame
// and unloaded after Lua is closed.
#include "core/plugin_api.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

struct PluginRecord {
    void* module = nullptr;
    std::string path;
    VeskGetPluginAPIVersionFn getPluginAPIVersion = nullptr;
    VeskInitPluginFn initPlugin = nullptr;
    VeskFreePluginFn freePlugin = nullptr;
    VeskTickHookFn beforeTickHook = nullptr;
    VeskTickHookFn afterTickHook = nullptr;
};

class TPluginSystem {
public:
    // folder: the program's plug-in folder (created when absent); with a mod
    // name, the mod's "Plugins" folder is searched after it.
    TPluginSystem(const std::string& folder, const std::string& modName);
    ~TPluginSystem();
    TPluginSystem(const TPluginSystem&) = delete;
    TPluginSystem& operator=(const TPluginSystem&) = delete;

    // Loads one library; false when it was skipped.
    bool LoadPlugin(const std::string& path);
    void BeforeTick();
    void AfterTick();

    const std::vector<PluginRecord>& Plugins() const { return plugins_; }
    IPluginAPI* PluginAPI();
    ILuaAPI* LuaAPI();

private:
    void LoadFolder(const std::string& folder);

    std::vector<PluginRecord> plugins_;
};

// The one plug-in system, made at the end of the start-up.
extern std::unique_ptr<TPluginSystem> PluginSystem;

} // namespace vesk
