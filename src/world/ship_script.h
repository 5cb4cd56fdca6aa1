#pragma once
// The engine functions of the scripts that act on the ships the world builds:
// a model made known ahead of use, and a ship built anew from another model.
struct lua_State;

namespace vesk {

// engine_RegistryModel(mesh name): the mesh description is read from the
// scripts and its model loaded into the model cache; 1 when both are there,
// else 0 (and a line in the error log).
int engine_RegistryModel(lua_State* L);
// engine_ChangeObjMesh(ship name, mesh name): the ship of that name is built
// anew from the other mesh description.
int engine_ChangeObjMesh(lua_State* L);

void InstallShipScriptFunctions();

} // namespace vesk
