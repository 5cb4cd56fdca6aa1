#pragma once
// What the scripts ask of ships in a fight: how fast one flies, and whether
// an attack is still worth going on with.
//
// engine_GetObjSpeed(object): the speed of the object's steering unit in
// units per second, 0 when it has none (a station, a ship not yet in the
// scene).
//
// engine_AttackActuality(ship [, target]): 1 while the ship's attack on the
// target is still actual, else 0. The target defaults to the ship's AI model's
// "curAttackTarget", then its "curEnemy". An attack is actual while both are in
// the scene, neither is destroyed, the target is not the ship itself nor of
// its own or a friendly faction (an attitude above 50; a neutral that attacked
// stays a target) and,
// when the ship keeps to an anchor ("curAnchor" with a unit and
// "maxAnchorRange" above 0), the target is within that range of the anchor,
// the leash the AI's enemy choice uses.
//
// Objects are named by their path ("obj.raider1") or their "hex" (of the game
// object or its render unit). A path that names nothing is reported ("m") and
// answers 0; an unknown or dead hex is reported as a bad number is.
#include <lua.hpp>

namespace vesk {

class TEngineObject;

int engine_GetObjSpeed(lua_State* L);
int engine_AttackActuality(lua_State* L);

// The speed of the object's steering unit (0 without one).
float ObjectSpeed(TEngineObject* object);
// Whether the ship's attack on the target (nullptr: its AI's current target)
// is still actual.
bool AttackIsActual(TEngineObject* ship, TEngineObject* target);

void RegisterShipQueryFunctions();

} // namespace vesk
