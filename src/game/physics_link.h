#pragma once
// What the physics asks of the game objects, and what the game objects ask of
// the world that the physics can give: the AI unit a game object holds in its
// "ph" link (for the scripts' physics functions), the firing of a ship's
// collision event, and, until the space scene exists, the ships of game
// objects built in the scene's physics from their mesh descriptions.
namespace vesk {

void InstallPhysicsLink();

} // namespace vesk
