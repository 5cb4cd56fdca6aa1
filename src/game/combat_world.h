#pragma once
// What shots and projectiles ask of the space scene: the visual bullet spawned
// from a barrel towards its aim point, the muzzle flash, hit marks and shield
// flashes where a projectile meets a ship, explosions at a point of a unit,
// the collision record a hit unit keeps, and the helper units that stand for
// aim points and posts. The game sees units as engine objects; anything that
// is not a render unit is simply not acted on.
#include <cstdint>
#include <string>

#include "shared/math.h"

namespace vesk {

class IBRUCollisionInfo;
class TBaseGameSceneObject;
class TBaseRenderUnit;
class TEngineObject;

// The effect template registered under that id (an "fx" entry's "hex"),
// nullptr when there is none.
TBaseRenderUnit* FxTemplateById(int32_t id);

// The visual bullet of the template leaving the source's attach point for the
// target unit (a turret fires from its barrel); nullptr when the template,
// the source or the target is no unit.
TBaseRenderUnit* SpawnBulletFx(int32_t templateId, TEngineObject* source, const std::string& helper,
                               TEngineObject* target);

// A start effect at the source's attach point: a burst that follows a
// position through the burst configuration, any other effect through the
// generic spawn (which also names the target).
void SpawnStartFx(int32_t templateId, TEngineObject* source, const std::string& helper,
                  TEngineObject* target);

// The hit mark of the template on the unit hit, placed by the collision record.
void SpawnDefectFx(int32_t templateId, TEngineObject* unitHit, IBRUCollisionInfo& collision);

// The shield's hit flash on a ship hit by `other`; false when the ship has no
// shield effect.
bool SpawnShieldHit(TEngineObject* ship, TEngineObject* other);

// An explosion of the template at a point of the unit (in the world).
void SpawnBurstAt(TEngineObject* templ, TEngineObject* unit, const Vec3& point);

// What the unit knows of its last collision, nullptr when it knows nothing.
IBRUCollisionInfo* CollisionInfoOf(TEngineObject* unit);

// The unit's text for messages ("nil" for none).
std::string UnitInfoText(TEngineObject* unit);
// True for the render unit of a ship.
bool IsShipUnit(TEngineObject* unit);
// The unit's bounding-sphere radius, 0 for none.
float UnitRadius(TEngineObject* unit);

// The object's unit; a helper unit under the engine root named after the
// object is made for it (at `at`) when it has none. nullptr without an engine.
TBaseRenderUnit* EnsureHelperUnit(TBaseGameSceneObject* object, const Vec3& at);
// Moves the helper object's unit to where a projectile from `shooter` meets
// the target (its lead point) and updates its matrices; false when either has
// no unit.
bool PlaceAimPoint(TBaseGameSceneObject* helper, TEngineObject* target, TEngineObject* shooter);
// The unit's world position, the origin for none.
Vec3 UnitPosition(TEngineObject* unit);
// Puts a unit (and its physics body) at a point of the world.
void MoveUnitTo(TEngineObject* unit, const Vec3& point);

} // namespace vesk
