#pragma once
// What the HUD reads and changes of the game: the player, its ship and its
// selection, objects' parameters and values, their render units and their
// AI steering units. Everything goes through the game-object tree, so the
// HUD works with whatever the scripts have built; a missing piece reads as
// nothing (nullptr, 0) and changes nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/game_object.h"
#include "shared/engine_object.h"
#include "shared/fast_cast.h"
#include "shared/obj_ref.h"

namespace vesk {

class TBaseRenderUnit;
class TEngineObject;
class TGameObjectParam;
class BaseAIUnitClass;

// The global "player", nullptr without one.
TBaseGameObject* HudPlayer();
// The player's ship ("player.ship"), nullptr without one.
TBaseGameObject* HudPlayerShip();
// The player's selected object ("player.selected"), nullptr when none.
TEngineObject* HudSelected();
// Selects an object (nullptr clears the selection) as the player selects:
// the "selected" link changes, the scripts' mirror follows and
// updateSelectedShip() runs; the selected object again does nothing.
void HudSetSelected(TEngineObject* object);
// The class name of the player ship's regime (a ship without one gets the
// base regime); "" without a player's ship.
std::string HudShipRegime();
// Switches the player ship's regime to the class; nothing for an unknown class.
void HudSetShipRegime(const std::string& className);
// The player ship's rocket target (its "rocketTarget" link), nullptr without one.
TEngineObject* HudRocketTarget();
void HudSetRocketTarget(TEngineObject* target);

// The parameter of that name in an object's parameter block ("param"), nullptr without one.
TGameObjectParam* HudParam(TEngineObject* object, const std::string& name);
// current / maximum of a parameter; 0 without the parameter or with a maximum of 0.
float HudParamFraction(TGameObjectParam* p);
// The value of an object's child by name: an integer, a float, a parameter's
// current value or a number text; `fallback` when the child is missing.
float HudValue(TEngineObject* object, const std::string& name, float fallback = 0.0f);
// The value HudValue reads of a child found already; `fallback` without one.
float HudChildValue(TBaseGameObject* child, float fallback = 0.0f);
// A node reached from a root node by a dotted path of child names, as
// FindVarByPath walks it from the root of the tree, each step kept until the
// children list it looked in changes: the HUD reads the same values every
// frame and need not look their names up each time.
class THudPathRef {
public:
    explicit THudPathRef(std::string_view path);
    TBaseGameObject* Find(TBaseGameObject* root);

private:
    std::vector<std::string> names_;
    std::vector<TChildRef<TBaseGameObject>> steps_;
};
// The text of an object's child by name ("" when missing).
std::string HudText(TEngineObject* object, const std::string& name);
// Fires the event of that name of an object (in its "events" list or
// directly under it); false when there is none.
bool HudFireEvent(TEngineObject* object, const std::string& name);

// The render unit of a scene object (its "hex" link), nullptr without one.
TBaseRenderUnit* HudRenderUnit(TEngineObject* object);
// The AI steering unit of an object's render unit, nullptr without one.
BaseAIUnitClass* HudShipAI(TEngineObject* object);
// The speed an object flies at (its steering unit's), 0 without one.
float HudSpeed(TEngineObject* object);
// The rounded distance between the surfaces of two objects' units (the
// centres less both bounding radii); false when either has no unit.
bool HudSurfaceDistance(TEngineObject* a, TEngineObject* b, int& distance);

// Where an object's unit stands on the 1024 x 768 virtual screen, and its
// depth before the camera (below 0: behind it; the point is then mirrored so
// that its direction from the centre still shows where the object is);
// false without a unit.
bool HudScreenPoint(TEngineObject* object, float& x, float& y, float& depth);
// The size of an object's unit on screen (0 when unknown or without a unit).
float HudScreenSize(TEngineObject* object);
// The objects the links of an object's list child hold (links that hold
// nothing are left out).
std::vector<TEngineObject*> HudLinkedObjects(TEngineObject* object, const std::string& listName);

// An engine object from its "hex" text; nullptr (reported) when it names none.
TEngineObject* HudObjectFromHex(const std::string& text, const char* context);
// The object's name in the game-object tree ("" for other objects).
std::string HudObjectName(TEngineObject* object);

} // namespace vesk
