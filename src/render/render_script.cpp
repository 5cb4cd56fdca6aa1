#include "render/render_script.h"

#include "core/lua_functions.h"
#include "platform/text.h"
#include "render/engine.h"
#include "render/fx_descr.h"
#include "render/helpers.h"
#include "render/model_tree.h"
#include "render/script_links.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cmath>
#include <exception>

namespace vesk {

std::unique_ptr<BRUCacheManClass> BRUCacheMan;

namespace {

IScriptCamera*& CameraSlot() {
    static IScriptCamera* camera = nullptr;
    return camera;
}

// An argument as text; a missing one reads as empty.
std::string Arg(lua_State* L, int i) {
    if (i > lua_gettop(L)) return {};
    size_t n = 0;
    const char* s = lua_tolstring(L, i, &n);
    return s ? std::string(s, n) : std::string();
}

bool WrongCount(lua_State* L, int wanted, const std::string& text) {
    if (lua_gettop(L) == wanted) return false;
    ErrorReport(text, "mhl");
    return true;
}

// An empty text is 0, anything else must be a number.
float FloatOrZero(const std::string& text, const std::string& context) {
    return text.empty() ? 0.0f : kws2f(text, context);
}

Vec3 VectorArgs(lua_State* L, const char* function) {
    const std::string context = std::string(function) + ": ";
    return {FloatOrZero(Arg(L, 1), context + "x"), FloatOrZero(Arg(L, 2), context + "y"),
            FloatOrZero(Arg(L, 3), context + "z")};
}

IScriptCamera* Camera(const char* function) {
    IScriptCamera* c = CameraSlot();
    if (!c) FastLogAddError(std::string(function) + ": no game camera");
    return c;
}

TBaseRenderUnit* UnitOf(const std::string& hex, const std::string& context) {
    if (hex.empty()) return nullptr;
    return dynamic_cast<TBaseRenderUnit*>(EngineObjectFromHex(hex, context));
}

bool IsShipPart(TBaseRenderUnit* unit) {
    return unit && Engine && Engine->FindShipBRU(unit);
}

// The burst spawned at one end of a laser, named by its own id in hexadecimal.
void SpawnLaserBurst(TBaseRenderUnit* burst, IDynamicTargetPosition* link) {
    FXDescrStruct desc;
    desc.BurstInitiator = link;
    if (TBaseRenderUnit* fx = TBaseRenderUnit::SpawnEffect(burst, Engine, &desc))
        fx->SetName(IntToHex8(fx->GetId()));
}

void ModifyPortal(IPortalEffect& portal, TBaseRenderUnit& unit, const std::string& command,
                  const std::string& argument) {
    if (platform::SameTextCp1251(command, "close")) {
        portal.SetPortalStateFlag(16);
    } else if (command == "addchild") {
        TBaseRenderUnit* child = Engine ? Engine->FindBRUByStrID(argument) : nullptr;
        if (!child) {
            ErrorReport("engine_ModifyVEffect: " + argument + " not found", "mhl");
            return;
        }
        IRenderUnitAI* ai = nullptr;
        if (!child->GetBPU(ai)) {
            ErrorReport("engine_ModifyVEffect: not bru2.GetBPU(BaseAIUnit)", "mhl");
            return;
        }
        child->MoveToParent(&unit);
        child->SetHomeParentUnit(Engine);
    }
}

void ModifyLaser(ILaserEffect& laser, const std::string& command, const std::string& argument) {
    auto* burst =
        dynamic_cast<TBaseRenderUnit*>(EngineObjectFromHex(argument, "engine_ModifyVEffect: bru2:=kws2i"));
    if (!ClassManager.InheritsFrom(burst, "FXBurstClass")) {
        ErrorReport("engine_ModifyVEffect: st[2]<>\"burst\"", "mhl");
        return;
    }
    if (command == "AddStartPointFX")
        SpawnLaserBurst(burst, laser.GetStartLink());
    else if (command == "AddEndPointFX" || command == "AddTargetFX")
        SpawnLaserBurst(burst, laser.GetEndLink());
}

} // namespace

void SetScriptCamera(IScriptCamera* camera) {
    CameraSlot() = camera;
}

IScriptCamera* GetScriptCamera() {
    return CameraSlot();
}

// ---- the cache manager ------------------------------------------------------------------------

void BRUCacheManClass::Clear() {
    std::vector<TBaseRenderUnit*> units;
    units.swap(units_);
    for (TBaseRenderUnit* u : units)
        if (u && u->DiscardBRU()) u->Free();
}

void BRUCacheManClass::AddShip(const std::string& meshName) {
    if (ClassManager.IndexOf("ShipClass") < 0) {
        FastLogAddError("BRUCacheManClass.AddShip: no ship class to build " + meshName);
        return;
    }
    try {
        // Under the engine but not one of its children: it is never drawn.
        TBaseRenderUnit* ship = ClassManager.Create<TRenderUnitKind>("ShipClass", Engine);
        if (!ship) return;
        ship->Build(meshName, meshName, 0);
        if (ship->DiscardBRU()) ship->Free();
    } catch (const std::exception& e) {
        ErrorReport("BRUCacheManClass.AddShip: " + meshName + ": " + e.what(), "mhl");
    }
}

// ---- the handlers -------------------------------------------------------------------------------

int engine_ModifyVEffect(lua_State* L) {
    const std::string first = Arg(L, 1);
    const std::string command = Arg(L, 2);
    const std::string argument = Arg(L, 3);
    auto* effect = dynamic_cast<TBaseRenderUnit*>(
        EngineObjectFromHex("$" + first, "engine_ModifyVEffect: read first parameter: " + first));
    if (!effect) {
        ErrorReport("engine_ModifyVEffect: read first parameter: " + first + " is no render unit", "mhl");
        return 0;
    }
    // Portals and lasers are known here by the faces they show the scripts.
    if (auto* portal = dynamic_cast<IPortalEffect*>(effect)) {
        ModifyPortal(*portal, *effect, command, argument);
    } else if (auto* laser = dynamic_cast<ILaserEffect*>(effect)) {
        ModifyLaser(*laser, command, argument);
    } else if (command == "KillEffect") {
        effect->Kill();
    } else {
        ErrorReport("engine_ModifyVEffect: undefined bru.ClassType: " + effect->ClassName(), "mhl");
    }
    return 0;
}

int engine_PreCacheCM(lua_State* L) {
    const std::string file = Arg(L, 1);
    if (!GetModelTree(file)) FastLogAddError("engine_PreCacheCM: no model cache for " + file);
    return 0;
}

int engine_IsHelper(lua_State* L) {
    const int n = lua_gettop(L);
    if (n < 1 || n > 2) {
        // One result is promised: without a question the answer is "no".
        lua_pushnumber(L, 0);
        return 1;
    }
    const std::string name = Arg(L, 1);
    const std::string locationId = Arg(L, 2);
    bool found = false;
    try {
        const RenderWorldLinks& links = GetRenderWorldLinks();
        TBaseRenderUnit* psys = links.planetSystem ? links.planetSystem() : nullptr;
        if (!psys) {
            ErrorReport("engine_IsHelper: not env.GetPlanetSystem(psys), psys: " +
                            (n == 2 ? locationId : name),
                        "mhl");
            return 0;
        }
        TBaseRenderUnit* holder = psys;
        if (n == 2) {
            const int32_t id = kws2i(locationId, "engine_IsHelper: location id");
            holder = links.location ? links.location(psys, id) : nullptr;
            if (!holder) {
                ErrorReport("engine_IsHelper: not psys.FindInChildsOnly(loc), loc: " + locationId, "mhl");
                return 0;
            }
        }
        UniHelperClass* h = nullptr;
        found = holder->FindUHelper(name, h);
    } catch (const std::exception&) {
        ErrorReport("engine_IsHelper: AV", "mhl");
        return 0;
    }
    lua_pushnumber(L, found ? 1 : 0);
    return 1;
}

namespace {
// The AI unit of a ship of the scene, or nullptr after the report.
IRenderUnitAI* ShipAI(lua_State* L, const char* function) {
    TBaseRenderUnit* ship = UnitOf(Arg(L, 1), std::string(function) + ": ship id");
    if (!IsShipPart(ship)) {
        ErrorReport(std::string(function) + ": TEngine.FindShipBRU( bru)", "mhl");
        return nullptr;
    }
    IRenderUnitAI* ai = nullptr;
    if (!ship->GetBPU(ai) || !ai) {
        ErrorReport(std::string(function) + ": bru.GetBPU( pointer(bpu)", "mhl");
        return nullptr;
    }
    return ai;
}
} // namespace

int engine_onObjForsage(lua_State* L) {
    if (WrongCount(L, 2, Ru("engine_onObjForsage() : не верное число параметров"))) return 0;
    if (IRenderUnitAI* ai = ShipAI(L, "engine_onObjForsage"))
        ai->ForsageOn(kws2f(Arg(L, 2), "engine_onObjForsage: value"));
    return 0;
}

int engine_offObjForsage(lua_State* L) {
    if (WrongCount(L, 1, Ru("engine_offObjForsage() : не верное число параметров"))) return 0;
    if (IRenderUnitAI* ai = ShipAI(L, "engine_offObjForsage")) ai->ForsageOff();
    return 0;
}

int engine_SetTurretParams(lua_State* L) {
    if (WrongCount(L, 7, "engine_SetTurretParams: NumElements<>7")) return 0;
    TBaseRenderUnit* unit = UnitOf(Arg(L, 1), "engine_SetTurretParams: turret id");
    auto* turret = dynamic_cast<ITurretLimits*>(unit);
    if (!IsShipPart(unit) || !turret) {
        ErrorReport("engine_SetTurretParams : not TEngine.FindShipBRU( TBaseRenderUnit(turret))", "mhl");
        return 0;
    }
    for (int i = 0; i < 6; ++i) {
        const std::string text = Arg(L, i + 2);
        if (text.empty()) continue; // an empty limit keeps its value
        turret->SetAngleLimit(
            i, DegToRad(static_cast<float>(kws2i(text, "engine_SetTurretParams: " + std::to_string(i + 1)))));
    }
    return 0;
}

int engine_SetCameraAlign(lua_State* L) {
    const Vec3 v{kws2f(Arg(L, 1), "engine_SetCameraAlign: x"), kws2f(Arg(L, 2), "engine_SetCameraAlign: y"),
                 kws2f(Arg(L, 3), "engine_SetCameraAlign: z")};
    if (IScriptCamera* c = Camera("engine_SetCameraAlign")) c->StartAlignToObjOri(v);
    return 0;
}

int engine_SetCameraZoom(lua_State* L) {
    if (WrongCount(L, 1, "engine_SetCameraZOOM: NumElements<>1")) return 0;
    const float zoom = FloatOrZero(Arg(L, 1), "engine_SetCameraZoom");
    if (IScriptCamera* c = Camera("engine_SetCameraZoom")) c->SetZoom(zoom);
    return 0;
}

int engine_CameraSetFreeLookMode(lua_State*) {
    if (IScriptCamera* c = Camera("engine_CameraSetFreeLookMode")) c->StartFreeCamera();
    return 0;
}

int engine_CameraResetFreeLookMode(lua_State*) {
    if (IScriptCamera* c = Camera("engine_CameraResetFreeLookMode")) c->StopFreeCamera();
    return 0;
}

int engine_CameraSetFreeLookModeVelocity(lua_State* L) {
    if (WrongCount(L, 3, "engine_CameraSetFreeLookModeVelocity: NumElements<>3")) return 0;
    const Vec3 v = VectorArgs(L, "engine_CameraSetFreeLookModeVelocity");
    if (IScriptCamera* c = Camera("engine_CameraSetFreeLookModeVelocity")) c->SetFreeCameraVelocity(v);
    return 0;
}

int engine_CameraSetFreeLookModeRotVelocity(lua_State* L) {
    if (WrongCount(L, 1, "engine_CameraSetFreeLookModeRotVelocity: NumElements<>1")) return 0;
    const float degrees = FloatOrZero(Arg(L, 1), "engine_CameraSetFreeLookModeRotVelocity");
    if (IScriptCamera* c = Camera("engine_CameraSetFreeLookModeRotVelocity"))
        c->SetFreeCameraRollSpeed(DegToRad(degrees));
    return 0;
}

int engine_CameraSetPos(lua_State* L) {
    if (WrongCount(L, 3, "engine_CameraSetPos: NumElements<>3")) return 0;
    const Vec3 p = VectorArgs(L, "engine_CameraSetPos");
    if (IScriptCamera* c = Camera("engine_CameraSetPos")) c->SetPosition(p);
    return 0;
}

int engine_CameraGetPos(lua_State* L) {
    Vec3 p{};
    try {
        if (IScriptCamera* c = Camera("engine_CameraGetPos")) p = c->GetPosition();
    } catch (const std::exception&) {
        ErrorReport("engine_CameraGetPos error: AV", "mhl");
        return 0;
    }
    for (float v : {p.x, p.y, p.z}) lua_pushnumber(L, std::nearbyint(v));
    return 3;
}

int engine_CameraSetFOV(lua_State* L) {
    if (WrongCount(L, 1, "engine_CameraSetFOV: NumElements<>1")) return 0;
    const std::string text = Arg(L, 1);
    if (text.empty()) {
        ErrorReport("engine_CameraSetFOV: _fov = 0", "mhl");
        return 0;
    }
    const float fov = kws2f(text, "engine_CameraSetFOV");
    try {
        if (IScriptCamera* c = Camera("engine_CameraSetFOV")) c->SetFOV(fov);
    } catch (const std::exception&) {
        ErrorReport("engine_CameraSetFOV: AV", "mhl");
    }
    return 0;
}

int engine_CameraSetHelperFromName(lua_State* L) {
    if (WrongCount(L, 1, "engine_CameraSetHelperFromName: NumElements<>1")) return 0;
    const std::string name = Arg(L, 1);
    if (name.empty()) {
        ErrorReport("engine_CameraSetHelperFromName: helpername = '", "mhl");
        return 0;
    }
    try {
        if (IScriptCamera* c = Camera("engine_CameraSetHelperFromName")) c->SetCamFromHelper(name);
    } catch (const std::exception&) {
        ErrorReport("engine_CameraSetHelperFromName: AV", "mhl");
    }
    return 0;
}

int engine_clearCache(lua_State*) {
    if (BRUCacheMan) BRUCacheMan->Clear();
    return 0;
}

int engine_AddMeshToCache(lua_State* L) {
    const std::string mesh = Arg(L, 1);
    if (lua_gettop(L) == 1) {
        ErrorReport("engine_AddMeshToCache(): " + mesh + ", object class is missing", "mhl");
        return 0;
    }
    const std::string cls = Arg(L, 2);
    if (cls != "ShipClass") {
        ErrorReport("engine_AddMeshToCache(): " + mesh + ", unknown class name: " + cls, "mhl");
        return 0;
    }
    if (BRUCacheMan) BRUCacheMan->AddShip(mesh);
    return 0;
}

void InstallRenderScriptFunctions() {
    static constexpr struct {
        const char* name;
        lua_CFunction handler;
    } kFunctions[] = {
        {"engine_ModifyVEffect", engine_ModifyVEffect},
        {"engine_PreCacheCM", engine_PreCacheCM},
        {"engine_IsHelper", engine_IsHelper},
        {"engine_onObjForsage", engine_onObjForsage},
        {"engine_offObjForsage", engine_offObjForsage},
        {"engine_SetTurretParams", engine_SetTurretParams},
        {"engine_SetCameraAlign", engine_SetCameraAlign},
        {"engine_SetCameraZoom", engine_SetCameraZoom},
        {"engine_CameraSetFreeLookMode", engine_CameraSetFreeLookMode},
        {"engine_CameraResetFreeLookMode", engine_CameraResetFreeLookMode},
        {"engine_CameraSetFreeLookModeVelocity", engine_CameraSetFreeLookModeVelocity},
        {"engine_CameraSetFreeLookModeRotVelocity", engine_CameraSetFreeLookModeRotVelocity},
        {"engine_CameraSetPos", engine_CameraSetPos},
        {"engine_CameraGetPos", engine_CameraGetPos},
        {"engine_CameraSetFOV", engine_CameraSetFOV},
        {"engine_CameraSetHelperFromName", engine_CameraSetHelperFromName},
        {"engine_clearCache", engine_clearCache},
        {"engine_AddMeshToCache", engine_AddMeshToCache},
    };
    for (const auto& f : kFunctions) SetEngineFunction(f.name, f.handler);
}

} // namespace vesk
