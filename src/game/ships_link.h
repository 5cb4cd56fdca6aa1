#pragma once
// The world as the game objects reach it: a game object with a model gets
// its ship built by the world from its mesh description (with its steering
// unit in the scene's physics), an item gets its cannon, turret or wing, a
// slot finds its attach point on the owner's model; and the world reads the
// mesh descriptions of the game's "mesh" table.
namespace vesk {

// Installs the link the game objects build their units through, the mesh
// descriptions the ship builder reads and the world's ship list for the
// physics. Call after the physics' own link.
void InstallShipsLink();

} // namespace vesk
