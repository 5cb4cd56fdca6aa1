#include "game/ship_queries.h"

#include <string>

#include "core/lua_functions.h"
#include "game/ai_helpers.h"
#include "game/ai_models.h"
#include "game/game_functions.h"
#include "game/game_objects.h"
#include "physics/ai_unit.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// An object named by a script: its hex id (of a game object or a render
// unit, "0" for none) or its path.
TEngineObject* ScriptObject(lua_State* L, int index, const std::string& function) {
    const std::string arg = EngineArgText(L, index);
    int32_t id = 0;
    if (TryParseInt32(arg, id)) return ObjectFromHexText(arg, function + ": hex");
    TBaseGameObject* object = arg.empty() ? nullptr : FindVarByPath(arg);
    if (!object) ErrorReport(function + ": no object \"" + arg + "\"", "m");
    return object;
}

TBaseRenderUnit* RenderUnitOf(TEngineObject* object) {
    if (auto* unit = dynamic_cast<TBaseRenderUnit*>(object)) return unit;
    return UnitOf(object);
}

bool IsDestroyed(TEngineObject* object) {
    auto* o = dynamic_cast<TGameObject*>(object);
    return o && o->IntValue("isDestroyed") != 0;
}

// In the scene and still fighting.
bool InTheFight(TEngineObject* object) {
    auto* o = dynamic_cast<TBaseGameObject*>(object);
    return o && !o->IsDeleted() && UnitOf(o) && !IsDestroyed(o);
}

} // namespace

float ObjectSpeed(TEngineObject* object) {
    TBaseRenderUnit* unit = RenderUnitOf(object);
    IRenderUnitAI* ai = nullptr;
    auto* steering = unit && unit->GetBPU(ai) ? dynamic_cast<BaseAIUnitClass*>(ai) : nullptr;
    return steering ? steering->GetSpeed() : 0.0f;
}

bool AttackIsActual(TEngineObject* ship, TEngineObject* target) {
    auto* model = dynamic_cast<TGameObjectEmptyShipAIModel*>(AiModelOf(dynamic_cast<TBaseGameObject*>(ship)));
    if (!target && model) {
        target = model->LinkedObject("curAttackTarget");
        if (!target) target = model->LinkedObject("curEnemy");
    }
    if (!target || target == ship || !InTheFight(ship) || !InTheFight(target)) return false;
    if (IsFriendly(dynamic_cast<TBaseGameObject*>(ship), dynamic_cast<TBaseGameObject*>(target)))
        return false;
    // The leash: an anchored ship does not chase beyond it.
    TBaseRenderUnit* anchor = model ? UnitOf(model->LinkedObject("curAnchor")) : nullptr;
    const float leash = model ? model->Number("maxAnchorRange") : 0.0f;
    return !anchor || leash <= 0.0f || CentreRange(UnitOf(target), anchor) <= leash;
}

int engine_GetObjSpeed(lua_State* L) {
    return Guarded("engine_GetObjSpeed", L, [](lua_State* L) {
        if (lua_gettop(L) < 1) ErrorReport("engine_GetObjSpeed: NumElements<1", "mhl");
        lua_pushnumber(L, ObjectSpeed(ScriptObject(L, 1, "engine_GetObjSpeed")));
        return 1;
    });
}

int engine_AttackActuality(lua_State* L) {
    return Guarded("engine_AttackActuality", L, [](lua_State* L) {
        if (lua_gettop(L) < 1) ErrorReport("engine_AttackActuality: NumElements<1", "mhl");
        TEngineObject* ship = ScriptObject(L, 1, "engine_AttackActuality");
        TEngineObject* target = lua_gettop(L) >= 2 ? ScriptObject(L, 2, "engine_AttackActuality") : nullptr;
        const bool named = lua_gettop(L) >= 2;
        lua_pushnumber(L, ship && (target || !named) && AttackIsActual(ship, target) ? 1 : 0);
        return 1;
    });
}

void RegisterShipQueryFunctions() {
    SetEngineFunction("engine_GetObjSpeed", engine_GetObjSpeed);
    SetEngineFunction("engine_AttackActuality", engine_AttackActuality);
}

} // namespace vesk
