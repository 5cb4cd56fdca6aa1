#pragma once
// The render engine's functions for the Lua scripts: modifying visual
// effects, helper queries, a ship's afterburner, turret limits, the game
// camera and the resource caches; and the cache manager behind the last.
#include "render/render_unit.h"

#include <lua.hpp>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Render units kept warm; AddShip warms the caches a ship needs without keeping it.
class BRUCacheManClass {
public:
    // Discards and frees every kept unit and empties the list.
    void Clear();
    // Builds a ship of that mesh once, so its meshes, models, textures and
    // materials are cached, then throws the ship away.
    void AddShip(const std::string& meshName);
    void Add(TBaseRenderUnit* unit) { units_.push_back(unit); }
    size_t Count() const { return units_.size(); }
    ~BRUCacheManClass() { Clear(); }

private:
    std::vector<TBaseRenderUnit*> units_;
};
// Made when the render engine starts.
extern std::unique_ptr<BRUCacheManClass> BRUCacheMan;

int engine_ModifyVEffect(lua_State* L);
int engine_PreCacheCM(lua_State* L);
int engine_IsHelper(lua_State* L);
int engine_onObjForsage(lua_State* L);
int engine_offObjForsage(lua_State* L);
int engine_SetTurretParams(lua_State* L);
int engine_SetCameraAlign(lua_State* L);
int engine_SetCameraZoom(lua_State* L);
int engine_CameraSetFreeLookMode(lua_State* L);
int engine_CameraResetFreeLookMode(lua_State* L);
int engine_CameraSetFreeLookModeVelocity(lua_State* L);
int engine_CameraSetFreeLookModeRotVelocity(lua_State* L);
int engine_CameraSetPos(lua_State* L);
int engine_CameraGetPos(lua_State* L);
int engine_CameraSetFOV(lua_State* L);
int engine_CameraSetHelperFromName(lua_State* L);
int engine_clearCache(lua_State* L);
int engine_AddMeshToCache(lua_State* L);

// Installs every handler above in the Lua host's table.
void InstallRenderScriptFunctions();

} // namespace vesk
