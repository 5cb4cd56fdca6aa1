#include "physics/ph_script.h"

#include "core/lua_functions.h"
#include "physics/ai_unit.h"
#include "physics/cm_tree.h"
#include "physics/ph_scene.h"
#include "platform/text.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cmath>
#include <string>
#include <vector>

namespace vesk {

int PhGunGettingHit = 0;

PhysicsScriptLinks& GetPhysicsScriptLinks() {
    static PhysicsScriptLinks links;
    return links;
}

namespace {

const std::string kQuote = "\"";

std::string ArgText(lua_State* L, int i) {
    if (i > lua_gettop(L)) return {};
    size_t n = 0;
    const char* s = lua_tolstring(L, i, &n);
    return s ? std::string(s, n) : std::string();
}

// The arguments as texts, then ten empty ones: a missing argument reads as empty.
std::vector<std::string> ArgTexts(lua_State* L) {
    std::vector<std::string> out;
    for (int i = 1; i <= lua_gettop(L); ++i) out.push_back(ArgText(L, i));
    out.resize(out.size() + 10);
    return out;
}

int PushInt(lua_State* L, double v) {
    lua_pushnumber(L, v);
    return 1;
}

BaseAIUnitClass* ObjectAI(const std::string& id) {
    const auto& f = GetPhysicsScriptLinks().objectAI;
    return f ? f(id) : nullptr;
}

// A render unit from its "hex"; an unknown or dead id (or another kind of
// object) is reported like a bad number.
TBaseRenderUnit* UnitFromHex(const std::string& hex, const std::string& context) {
    TEngineObject* o = EngineObjectFromHex(hex, context);
    auto* unit = dynamic_cast<TBaseRenderUnit*>(o);
    if (o && !unit) ErrorReport("Exception kws2i: _str=" + hex + ": " + context, "mhl");
    return unit;
}

Vec3 PositionOf(TBaseRenderUnit* unit) {
    Vec3 p{};
    if (unit) unit->GetPosition(p);
    return p;
}

double RoundedDistance(TBaseRenderUnit* a, TBaseRenderUnit* b) {
    return std::nearbyint(Vec3Length(Vec3Sub(PositionOf(a), PositionOf(b))));
}

bool IsLiveShip(TBaseRenderUnit* unit) {
    const auto& f = GetPhysicsScriptLinks().isLiveShip;
    if (f) return f(unit);
    return PhysicsScene && PhysicsScene->FindShipBRU(unit);
}

// ---- the functions ---------------------------------------------------------------------------

int engine_PhRange(lua_State* L) {
    if (lua_gettop(L) < 2) {
        ErrorReport("engine_PhRange: N < 2", "mhl");
        return PushInt(L, -1);
    }
    const std::string id1 = ArgText(L, 1), id2 = ArgText(L, 2);
    if (id1.empty() || id2.empty())
        ErrorReport("function engine_PhRange(L: lua_State): Integer; cdecl; id1=" + kQuote + id1 + kQuote +
                        " or id2=" + kQuote + id2 + kQuote,
                    "mhl");
    TBaseRenderUnit* a = UnitFromHex(id1, "engine_PhRange: id1");
    TBaseRenderUnit* b = UnitFromHex(id2, "engine_PhRange: id2");
    return PushInt(L, RoundedDistance(a, b));
}

int engine_PhDotRangeHex(lua_State* L) {
    if (lua_gettop(L) != 2) ErrorReport("engine_PhDotRangeHex: n <> 2", "mhl");
    TBaseRenderUnit* a = UnitFromHex(ArgText(L, 1), "engine_PhDotRangeHex: ads2i 1");
    TBaseRenderUnit* b = UnitFromHex(ArgText(L, 2), "engine_PhDotRangeHex: ads2i 2");
    return PushInt(L, RoundedDistance(a, b));
}

int engine_PhDotRange(lua_State* L) {
    const std::string helper = ArgText(L, 1), id = ArgText(L, 2);
    if (id.empty()) ErrorReport("engine_PhDotRange: KWAIU=nil, obj= " + id + ", helper= " + helper, "mhl");
    BaseAIUnitClass* ai = ObjectAI(id);
    if (!ai) {
        ErrorReport("engine_PhDotRange: KWAIU=nil, obj= " + id, "mhl");
        return PushInt(L, 0);
    }
    Vec3 at{};
    float radius = 0;
    const auto& model = GetPhysicsScriptLinks().sceneModel;
    if (CMTreeClass* tree = model ? model() : nullptr)
        tree->GetUniversalHelper(helper, at, radius);
    else // no scene model holds any helper
        ErrorReport("CMTreeClass.GetUniversalHelper(): unknown helper [" + helper + "]!!!", "mhl");
    lua_pushnumber(L, Vec3Length(Vec3Sub(at, PositionOf(ai->GetRenderUnit()))));
    return 1;
}

int engine_PhCommand(lua_State* L) {
    const std::vector<std::string> a = ArgTexts(L);
    const std::string& id = a[0];
    const std::string command = platform::UpperCaseCp1251(a[1]);
    const std::string& name = a[2];
    if (id.empty()) ErrorReport("engine_PhCommand: id=" + kQuote + kQuote, "mhl");
    BaseAIUnitClass* ai = ObjectAI(id);
    if (!ai) {
        ErrorReport("PhCommand: bpu=nil, id=" + id, "mhl");
        return 0;
    }
    INPCController* npc = ai->GetNPCControllerInterface();
    if (!npc) {
        ErrorReport("engine_PhCommand: bpu.GetNPCControllerInterface( KWAIU) = nil, id=" + id, "mhl");
        return 0;
    }
    auto number = [&](const std::string& text) {
        return kws2f(text, "engine_PhCommand: " + a[1] + ", id=" + id);
    };

    if (command == "GOTOPOINT") {
        const Vec3 point{number(a[3]), number(a[4]), number(a[5])};
        TBaseRenderUnit* unit = ai->GetRenderUnit();
        const auto& steer = GetPhysicsScriptLinks().playerSteersByPoint;
        IPhPlayerControl* control = nullptr;
        if (unit && unit->GetName() == "playership1" && steer && steer() &&
            ai->GetPlayerPhysicComponent(control))
            control->SetTurn(point.x, point.y);
        else
            npc->GoToPoint(point, nullptr, name, 1.0f, 1.0f);
    } else if (command == "MANEUR") {
        if (a[3] == "follow") npc->FollowByName(a[4], name, a[5].empty() ? 300.0f : number(a[5]), false, 0);
    } else if (command == "FOLLOWTOOBJ") {
        if (a[4].empty())
            ErrorReport("phCommand: " + kQuote + "followToObj" + kQuote + " sa[1]=" + kQuote + kQuote, "mhl");
        const float distance = (a[4].empty() ? 0.0f : number(a[4])) + ai->GetBoundingRadius();
        npc->FollowByName(a[3], name, distance, a[6] == "1", 2);
    } else if (command == "STOP") {
        npc->SetSpeed(name, a[3].empty() ? 0.0f : number(a[3]));
    } else if (command == "GOTOHELPERHEX") {
        Vec3 point{};
        TEngineObject* o = EngineObjectFromHex(a[3], "puhelper - goToHelperHex for " + id);
        if (auto* helper = dynamic_cast<TBaseRenderUnit*>(o))
            point = PositionOf(helper);
        else if (o)
            ErrorReport("phCommand: AV v:=puhelper.WPos: " + o->GetHex(), "mhl");
        npc->GoToPoint(point, nullptr, name, 1.0f, 1.0f);
    } else if (command == "TELEPORT") {
        TEngineObject* o = EngineObjectFromHex(a[3], "puhelper - teleport" + id);
        if (auto* unit = dynamic_cast<TBaseRenderUnit*>(o))
            npc->AITeleportToPoint(unit->GetWorldMatrix(), name);
        else if (o)
            ErrorReport("phCommand: AV KWAIU.AITeleportToPoint( uhelper.GetCurMatrix): " + o->GetHex(),
                        "mhl");
    } else if (command == "APPROACHTOOBJ") {
        npc->MoveToObjectByName(a[3]);
    }
    return 0;
}

int engine_PhSetObjParam(lua_State* L) {
    if (lua_gettop(L) < 3) {
        ErrorReport("engine_PhSetObjParam: n < 3", "mhl");
        return PushInt(L, -1);
    }
    const std::string id = ArgText(L, 1), key = ArgText(L, 2), value = ArgText(L, 3);
    if (id.empty()) ErrorReport("engine_PhSetObjParam: id=" + kQuote + kQuote, "mhl");
    BaseAIUnitClass* ai = ObjectAI(id);
    if (!ai) {
        ErrorReport("engine_PhSetObjParam: KWAIU=nil, id=" + id, "mhl");
        return 0;
    }
    if (key.empty()) ErrorReport("engine_PhSetObjParam: p2=', id=" + id, "mhl");
    TShipPhysicParams r = *ai->GetPhysicParams();
    const float v = kws2f(value, "engine_PhSetObjParam: " + key + ", id=" + id);
    auto is = [&key](const char* name, const char* alias) {
        return platform::SameTextCp1251(key, name) || (alias && platform::SameTextCp1251(key, alias));
    };
    if (is("ph_MaxVelocity", "p1"))
        r.maxVelocity = v;
    else if (is("ph_AccelerateTime", "p2"))
        r.accelerateTime = v;
    else if (is("ph_MaxPitchAngle", nullptr))
        r.maxPitchAngle = DegToRad(v);
    else if (is("ph_StartMoveAngle", nullptr))
        r.startMoveCos = std::cos(DegToRad(v));
    else if (is("ph_RotateForceMultiply", "p3"))
        r.rotateForceMultiply = v;
    else if (is("ph_RotateFading", "p4"))
        r.rotateFading = v;
    else if (is("ph_MaxRotateVelocity", "p5"))
        r.maxRotateVelocity = DegToRad(v);
    else if (is("ph_RollForceMultiply", "p6"))
        r.rollForceMultiply = v;
    else if (is("ph_RollFading", "p7"))
        r.rollFading = v;
    else if (is("ph_MaxRollAngle", "p8"))
        r.maxRollAngle = DegToRad(v);
    *ai->GetPhysicParams() = r;
    // The player's jets work on copies of the turning values.
    if (TPlayerCollisionPhysicComponent* player = ai->PlayerComponent()) player->UpdateRotateParams();
    return 0;
}

int engine_PhGunGetting(lua_State* L) {
    if (lua_gettop(L) < 6) {
        ErrorReport("engine_PhGunGetting: n < 6", "mhl");
        return PushInt(L, -1);
    }
    TBaseRenderUnit* unit1 = UnitFromHex(ArgText(L, 1), "engine_PhGunGetting: hex1");
    TBaseRenderUnit* unit2 = UnitFromHex(ArgText(L, 5), "engine_PhGunGetting: hex2");
    const float angle = kws2f(ArgText(L, 4), "engine_PhGunGetting: angle") / 57.3f;
    PhGunGettingHit = 0;
    if (unit1 && unit2) {
        Vec3 p1, p2, p3;
        unit1->GetWHelper(ArgText(L, 2), p1);
        unit1->GetWHelper(ArgText(L, 3), p2);
        const std::string helper3 = ArgText(L, 6);
        if (helper3.empty())
            p3 = unit2->GetCenter();
        else
            unit2->GetWHelper(helper3, p3);
        const Vec3 gun = Vec3Sub(p2, p1), toTarget = Vec3Sub(p3, p1);
        if (Vec3Length(gun) != 0.0f && Vec3Length(toTarget) != 0.0f)
            PhGunGettingHit = Vec3CosAngle(gun, toTarget) > std::cos(angle) ? 1 : 0;
    }
    return PushInt(L, PhGunGettingHit);
}

int engine_GetStringPhParams(lua_State* L) {
    try {
        const auto& psys = GetPhysicsScriptLinks().planetSystem;
        if (!psys || !psys()) ErrorReport("engine_GetStringPhParams: Env.GetPlanetSystem(psys)=false", "mhl");
        int32_t id = 0;
        TryParseInt32(ArgText(L, 1), id);
        auto* unit = dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
        if (!unit || !IsLiveShip(unit)) {
            ErrorReport("engine_GetStringPhParams: not TEngine.FindShipBRU(bru)", "mhl");
            return 0;
        }
        IRenderUnitAI* rai = nullptr;
        auto* ai = unit->GetBPU(rai) ? dynamic_cast<BaseAIUnitClass*>(rai) : nullptr;
        if (!ai) {
            ErrorReport("engine_GetStringPhParams: not bru.GetBPU(bru)", "mhl");
            return 0;
        }
        const std::string text = ai->SaveToString();
        lua_pushlstring(L, text.data(), text.size());
        return 1;
    } catch (const std::exception&) {
        ErrorReport("engine_GetStringPhParams: fault", "mhl");
        return 0;
    }
}

} // namespace

void InstallPhysicsScriptFunctions() {
    static const struct {
        const char* name;
        lua_CFunction handler;
    } kFunctions[] = {
        {"engine_PhRange", engine_PhRange},
        {"engine_PhDotRangeHex", engine_PhDotRangeHex},
        {"engine_PhDotRange", engine_PhDotRange},
        {"engine_PhCommand", engine_PhCommand},
        {"engine_PhSetObjParam", engine_PhSetObjParam},
        {"engine_PhGunGetting", engine_PhGunGetting},
        {"engine_GetStringPhParams", engine_GetStringPhParams},
    };
    for (const auto& f : kFunctions) SetEngineFunction(f.name, f.handler);
}

} // namespace vesk
