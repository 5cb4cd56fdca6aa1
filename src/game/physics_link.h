#pragma once
// What the physics asks of the game objects, and what the game objects ask of
// the world that the physics can give: the AI unit a game object holds in its
// "ph" link (for the scripts' physics functions), the firing of a ship's
// collision event, and, until the space scene exists, the ships of game
// objects built in the scene's physics from their mesh descriptions.
namespace vesk {

class BaseAIUnitClass;
class TBaseRenderUnit;
class TGameObject;

void InstallPhysicsLink();
// The object's ship seated: placed at the object's "position" (three numbers
// separated by blanks or commas; anything else leaves it where it was made),
// given to the object as its unit and its steering unit as its "ph".
void SeatObjectShip(TGameObject* object, TBaseRenderUnit* unit, BaseAIUnitClass* ai);

} // namespace vesk
