#pragma once
// What the render engine reads of the game's mesh descriptions: the flares
// that become lamps on a model.
namespace vesk {

// Installs the render engine's reader of a mesh description's "flares" list.
void InstallRenderMeshLink();

} // namespace vesk
