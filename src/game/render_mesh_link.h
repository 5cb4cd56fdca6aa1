#pragma once
// What the render engine reads of the game's mesh descriptions: the flares
// that become lamps on a model.
namespace vesk {

// Installs the render engine's reader of a mesh description's "flares" list.
void InstallRenderMeshLink();

// Lets the world's ship builder read the descriptions of the game's "mesh"
// table (descriptions the scripts have not supplied yet are asked for).
void InstallShipMeshSource();

} // namespace vesk
