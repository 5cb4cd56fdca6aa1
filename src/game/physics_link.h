#pragma once
// What the physics asks of the game objects: the AI unit a game object holds
// in its "ph" link (for the scripts' physics functions) and the firing of a
// ship's collision event.
namespace vesk {

void InstallPhysicsLink();

} // namespace vesk
