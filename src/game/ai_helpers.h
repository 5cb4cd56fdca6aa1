#pragma once
// What the AI reads of the objects it watches: their render units and the
// distances between them, their class in the scene, their factions' attitudes,
// and the texts its messages name them by.
#include <cstdint>
#include <string>

#include "game/game_object.h"

namespace vesk {

class BaseAIUnitClass;
class TBaseRenderUnit;
class TGameObjectParam;

// Distances the AI uses when a unit is missing.
inline constexpr float kAiNoRange = 1.0e10f;

// The render unit of a scene object, nullptr when it has none.
TBaseRenderUnit* UnitOf(const TEngineObject* obj);
// The steering unit held by the object's "ph" link, nullptr when it has none.
BaseAIUnitClass* ShipAIUnit(TBaseGameObject* ship);
// The game object of the global list "obj" whose render unit that is, nullptr
// when none is.
TBaseGameObject* ObjectOfUnit(const TBaseRenderUnit* unit);
// "SOClass" of a scene object, 0 for anything else.
int32_t SOClassOf(const TEngineObject* obj);
// Centre to centre, whole units (BRUDistance).
float CentreRange(TBaseRenderUnit* a, TBaseRenderUnit* b);
// Centre to centre less both bounding radii, whole units (BRUSurfaceDistance).
float SurfaceRange(TBaseRenderUnit* a, TBaseRenderUnit* b);

// The attitude of from's faction toward to's faction: neutral when either
// has no faction or the pair has no entry.
float AttitudeOf(const TBaseGameObject* from, const TBaseGameObject* to);
inline bool IsHostile(const TBaseGameObject* from, const TBaseGameObject* to) {
    return AttitudeOf(from, to) < 50.0f;
}
// One faction, or from's faction friendly toward to's.
bool IsFriendly(const TBaseGameObject* from, const TBaseGameObject* to);

// The names from the root down to the node, each followed by "->".
std::string AiAncestry(const TBaseGameObject* node);

// The value parameter (current / maximum / speed) of that name in an object's
// standard set, nullptr when it has none.
TGameObjectParam* AiParam(const TBaseGameObject* obj, const char* name);
// Its current value, 0 when missing.
float AiParamCur(const TBaseGameObject* obj, const char* name);

// The whole number written in a name from its seventh character on (the
// number of "patrol12"); false when that tail is no number.
bool PatrolNumber(const std::string& name, int32_t& out);

// A node of that class from the class's pool (made fresh when there are no
// pools), revived under the parent with the name.
TBaseGameObject* NewPooledObject(const TGameClass& cls, const std::string& name, TBaseGameObject* parent);

} // namespace vesk
