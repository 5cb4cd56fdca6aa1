#include "game/game_functions.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "core/paths.h"
#include "game/damage.h"
#include "game/fx_objects.h"
#include "game/game_constants.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/game_text.h"
#include "game/gun_effects.h"
#include "game/items.h"
#include "game/launchers.h"
#include "game/mesh_tables.h"
#include "game/object_effects.h"
#include "game/player.h"
#include "game/projectiles.h"
#include "game/range_effects.h"
#include "game/scene_link.h"
#include "game/scene_object.h"
#include "game/ship_queries.h"
#include "game/slots.h"
#include "game/statistics.h"
#include "game/task_queue.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/fx_library.h"

namespace vesk {

namespace {

TLuaMachine& Machine() {
    if (!LuaMachine || !LuaMachine->IsOpen()) throw std::runtime_error("no Lua machine");
    return *LuaMachine;
}

void SetLastInclude(lua_State* L, const std::string& path) {
    lua_pushlstring(L, path.data(), path.size());
    lua_setglobal(L, "lastInclude");
}

bool IsLuaFile(const std::string& name) {
    return name.size() > 4 && platform::LowerCaseCp1251(name.substr(name.size() - 4)) == ".lua";
}

// The entries of a folder and of its copy in the active mod: the folder's own
// names first, then those only the mod has, each group sorted; a name both
// have (in any letter case) is listed once.
std::vector<std::string> MergedListing(const std::string& folder, bool files) {
    auto list = [files](const std::string& f) {
        std::vector<std::string> names = platform::ListFolder(f, files, !files);
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> names = list(folder);
    const std::string modFolder = ResolveModPath(folder);
    if (modFolder != platform::ToSlashes(folder)) {
        std::vector<std::string> seen;
        for (const auto& n : names) seen.push_back(platform::LowerCaseCp1251(n));
        for (const auto& n : list(modFolder))
            if (std::find(seen.begin(), seen.end(), platform::LowerCaseCp1251(n)) == seen.end())
                names.push_back(n);
    }
    return names;
}

// Runs every "*.lua" file of the folder (the mod's copy of a file when it has
// one), setting lastInclude before each.
void IncludeFolder(lua_State* L, const std::string& folder) {
    for (const std::string& name : MergedListing(folder, true)) {
        if (!IsLuaFile(name)) continue;
        const std::string path = ResolveModPath(folder + "/" + name);
        SetLastInclude(L, path);
        Machine().LuaDoFile(path);
    }
}

// Linked folders are not walked: a link back up the tree would run its files
// again and again.
void IncludeTree(lua_State* L, const std::string& folder) {
    IncludeFolder(L, folder);
    for (const std::string& sub : MergedListing(folder, false)) {
        if (sub == "." || sub == "..") continue;
        const std::string path = folder + "/" + sub;
        if (platform::IsSymbolicLink(path) || platform::IsSymbolicLink(ResolveModPath(path))) continue;
        IncludeTree(L, path);
    }
}

std::string SaveFolder(const std::string& name) {
    return DataPath + "save/" + name + "/";
}

// Reports a refused name; true when the name may be used. A refusal leaves
// the game running: the name may be one a player typed.
bool AcceptSaveName(const char* function, const std::string& name) {
    switch (CheckSaveName(name)) {
    case SaveNameCheck::ok:
        return true;
    case SaveNameCheck::dots:
        ErrorReport(std::string(function) + " - \"..\" not allowed!", "m");
        return false;
    case SaveNameCheck::invalid:
        ErrorReport(std::string(function) + " - wrong save name: \"" + name + "\"", "m");
        return false;
    }
    return false;
}

// Reports a path under the data folder that a link would take elsewhere;
// true when the path may be used.
bool AcceptSavePath(const char* function, const std::string& below) {
    if (platform::NoLinkBelow(DataPath, below)) return true;
    ErrorReport(std::string(function) + " - \"" + DataPath + below + "\" goes through a link", "m");
    return false;
}

std::string TwoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v % 100);
    return buf;
}

} // namespace

int PushDone(lua_State* L, bool done) {
    lua_pushboolean(L, done ? 1 : 0);
    return 1;
}

SaveNameCheck CheckSaveName(const std::string& name) {
    if (name.find("..") != std::string::npos) return SaveNameCheck::dots;
    if (name.empty() || name == "." || name.find_first_of("/\\:") != std::string::npos)
        return SaveNameCheck::invalid;
    // Control characters (a NUL above all) name no folder a player could see.
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return SaveNameCheck::invalid;
    return SaveNameCheck::ok;
}

// ---- TGameSystem ---------------------------------------------------------------------------

int TGameSystem::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    if (action == "setDustMode") {
        GameSceneLink().SetDustMode(kws2i(LuaArgText(L, 3), "TGameSystem.Execute error: setDustMode"));
        return 0;
    }
    if (action == "errLogAdd") {
        ErrorLogReport(LuaArgText(L, 3), false);
        return 0;
    }
    if (action == "getCurDateTime") {
        const platform::LocalDateTime t = platform::Now();
        const std::string text = TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + std::to_string(t.year) +
                                 " " + TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" +
                                 TwoDigits(t.second);
        lua_pushlstring(L, text.data(), text.size());
        return 1;
    }
    ErrorReport("TGameSystem.Execute error: action " + action + Ru(" не поддерживается"), "mhl");
    return 0;
}

// ---- engine functions -------------------------------------------------------------------------

int engine_Include(lua_State* L) {
    const int n = lua_gettop(L);
    for (int i = 1; i <= n; ++i) {
        // Taken first: reading a number as text turns it into a string in place.
        const bool isString = lua_type(L, i) == LUA_TSTRING;
        const std::string path = ResolveModPath(LuaArgText(L, i));
        try {
            SetLastInclude(L, path);
            if (isString) Machine().LuaDoFile(path);
        } catch (...) {
            ErrorReport("engine_Include fault on " + path, "mhl");
            return 0;
        }
    }
    return 0;
}

int engine_IncludeDir(lua_State* L) {
    try {
        IncludeFolder(L, LuaArgText(L, 1));
    } catch (...) {
        ErrorReport("engine_IncludeDir fault", "mhl");
    }
    return 0;
}

int engine_IncludeTree(lua_State* L) {
    return Guarded("engine_IncludeTree", L, [](lua_State* L) {
        IncludeTree(L, LuaArgText(L, 1));
        return 0;
    });
}

int engine_CopySaveDir(lua_State* L) {
    return Guarded("engine_CopySaveDir", L, [](lua_State* L) {
        const char* fn = "engine_CopySaveDir";
        const std::string from = LuaArgText(L, 1);
        const std::string to = LuaArgText(L, 2);
        if (!AcceptSaveName(fn, from) || !AcceptSaveName(fn, to)) return PushDone(L, false);
        if (!AcceptSavePath(fn, "save/" + from + "/") || !AcceptSavePath(fn, "save/" + to + "/"))
            return PushDone(L, false);
        const std::string source = SaveFolder(from);
        const std::string target = SaveFolder(to);
        const std::vector<std::string> files = platform::ListFolder(source, true, false);
        // Every file is checked before anything is written: a link on either
        // side refuses the whole copy.
        for (const std::string& file : files) {
            if (!AcceptSavePath(fn, "save/" + from + "/" + file) ||
                !AcceptSavePath(fn, "save/" + to + "/" + file))
                return PushDone(L, false);
        }
        if (!platform::CreateFolders(target)) {
            ErrorReport("Function \"engine_CopySaveDir\" fault: can not create dir " + target, "mhl");
            return PushDone(L, false);
        }
        for (const std::string& file : files) {
            std::string data;
            if (!platform::ReadFile(source + file, data) || !platform::WriteFile(target + file, data))
                throw std::runtime_error("copy failed");
        }
        return PushDone(L, true);
    });
}

int engine_DeleteSaveDir(lua_State* L) {
    return Guarded("engine_DeleteSaveDir", L, [](lua_State* L) {
        const char* fn = "engine_DeleteSaveDir";
        const std::string name = LuaArgText(L, 1);
        if (!AcceptSaveName(fn, name) || !AcceptSavePath(fn, "save/")) return PushDone(L, false);
        // The folder goes with everything in it; a link, the folder itself or
        // anything inside it, goes as the link.
        const std::string folder = SaveFolder(name);
        std::string failed;
        if (!platform::RemoveTree(folder, &failed)) {
            const size_t slash = failed.rfind('/');
            ErrorReport("engine_DeleteSaveDir fault - can`t delete file " + failed.substr(slash + 1) +
                            " in " + failed.substr(0, slash + 1),
                        "mhl");
            return PushDone(L, false);
        }
        return PushDone(L, true);
    });
}

int engine_Error(lua_State* L) {
    ErrorReport("Script ERROR: " + LuaArgText(L, 1), "mhl");
    return 0;
}

int engine_DoString(lua_State* L) {
    return Guarded("engine_DoString", L, [](lua_State* L) {
        Machine().LuaDoString(LuaArgText(L, 1));
        return 0;
    });
}

int engine_GetTickCount(lua_State* L) {
    return Guarded("engine_GetTickCount", L, [](lua_State* L) {
        const int64_t freq = platform::PerfFrequency();
        const int64_t ms = freq > 0 ? platform::PerfCounter() / (freq / 1000 > 0 ? freq / 1000 : 1) : 0;
        lua_pushnumber(L, static_cast<lua_Number>(ms));
        return 1;
    });
}

int engine_ReloadFx(lua_State* L) {
    return Guarded("engine_ReloadFx", L, [](lua_State*) {
        LoadFXTemplates();
        return 0;
    });
}

// ---- registration ---------------------------------------------------------------------------------

void RegisterGameLogicClasses() {
    RegisterEffectClasses();
    RegisterFxObjectClasses();
    RegisterSceneObjectClasses();
    RegisterTaskClasses();
    RegisterGameConstantsClass();
    RegisterGameClass(TGameSystem::StaticClass());
    RegisterMeshTableClasses();
    RegisterSlotClasses();
    RegisterItemClasses();
    RegisterGameObjectClasses();
    RegisterDamageClasses();
    RegisterGunClasses();
    RegisterProjectileClasses();
    RegisterLauncherClasses();
    RegisterRangeEffectClasses();
    RegisterAiAndPlayerClasses();
}

void RegisterGameLogicFunctions() {
    static const std::pair<const char*, lua_CFunction> kFunctions[] = {
        {"engine_Include", engine_Include},           {"engine_DoString", engine_DoString},
        {"engine_GetTickCount", engine_GetTickCount}, {"engine_DeleteSaveDir", engine_DeleteSaveDir},
        {"engine_CopySaveDir", engine_CopySaveDir},   {"engine_IncludeDir", engine_IncludeDir},
        {"engine_IncludeTree", engine_IncludeTree},   {"engine_Error", engine_Error},
        {"engine_ReloadFx", engine_ReloadFx},
    };
    for (const auto& [name, handler] : kFunctions) SetEngineFunction(name, handler);
    RegisterPlayerFunctions();
    RegisterShipQueryFunctions();
}

void CreateGameLogicRoots(TBaseGameObject* root) {
    NewGameObject<TGameSystem>("gameSystem", root);
    NewGameObject<TGameConstants>("bal", root);
}

} // namespace vesk
