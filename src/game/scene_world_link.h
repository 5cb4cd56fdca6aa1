#pragma once
// The game's objects entering the space scene: a game object with a space
// model gets its render unit, physics and AI unit from the ship builder or,
// for what it does not build, from the current planet system's world, and
// stands at the helper its "max_name" names in its location; a planet joins
// the environment; and the world finds and clears the objects of the world
// object list "obj" through this link. Install it after the ship builder's.
namespace vesk {

void InstallSceneWorldLink();

} // namespace vesk
