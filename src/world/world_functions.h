#pragma once
// The world's engine functions: scripts build the space scene through them
// (the current planet system, its locations and environment objects), find,
// add and delete helpers, place locations and units, measure ranges and
// radii, list spheres and helpers, reload textures and the environment, and
// dump the scene. Every check is a fatal report naming the failed step.
#include <lua.hpp>
#include <string>

namespace vesk {

class PlanetClass;

// Installs the handlers with the Lua host (engine_ChangeObjMesh, which
// rebuilds a ship, is the ship builder's).
void RegisterWorldFunctions();

// A planet of that id in the environment of the current planet system, with
// the reports of engine_AddEnvObj; addFailText is the text for a failed add.
// nullptr after a report.
PlanetClass* AddEnvironmentPlanet(const std::string& id, const std::string& addFailText);

int engine_AddEnvObj(lua_State* L);
int engine_CreatePlanetSystem(lua_State* L);
int engine_LoadLocation(lua_State* L);
int engine_GetUniversalHelperHex(lua_State* L);
int engine_AddEncounterHelper(lua_State* L);
int engine_DelGlobalHelper(lua_State* L);
int engine_GetHelperRange(lua_State* L);
int engine_AssignLocationToUHelper(lua_State* L);
int engine_AssignLocationToBru(lua_State* L);
int engine_GetObjRadius(lua_State* L);
int engine_GetLocationsBSphereList(lua_State* L);
int engine_GetPlanetSystemHelpersList(lua_State* L);
int engine_GetLocationHelpersList(lua_State* L);
int engine_ReloadTexture(lua_State* L);
int engine_ReloadEnvironment(lua_State* L);
int engine_Dump(lua_State* L);

} // namespace vesk
