#include "world/world_functions.h"

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "physics/ai_unit.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_scene.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/texture.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/env.h"
#include "world/environment.h"
#include "world/locations.h"

#include <cmath>
#include <exception>

namespace vesk {

namespace {

std::string Arg(lua_State* L, int i) {
    if (i > lua_gettop(L)) return {};
    size_t n = 0;
    const char* s = lua_tolstring(L, i, &n);
    return s ? std::string(s, n) : std::string();
}

void PushId(lua_State* L, const TEngineObject* o) {
    lua_pushnumber(L, o ? static_cast<lua_Number>(o->GetId()) : 0);
}

// The current planet system; without one the report is made and nullptr given.
WEPlanetSystemClass* PlanetSystemOr(const std::string& report) {
    WEPlanetSystemClass* psys = nullptr;
    if (!Env || !Env->GetPlanetSystem(psys)) {
        ErrorReport(report, "mhl");
        return nullptr;
    }
    return psys;
}

TBaseRenderUnit* UnitFromHex(const std::string& hex, const std::string& context) {
    return dynamic_cast<TBaseRenderUnit*>(EngineObjectFromHex(hex, context));
}

// A unit from its id without a report: nullptr for a bad or dead id.
TBaseRenderUnit* UnitFromIdQuiet(const std::string& hex) {
    int32_t id = 0;
    if (!TryParseInt32(hex, id)) return nullptr;
    return dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
}

bool IsSceneShip(TBaseRenderUnit* unit) {
    return unit &&
           ((Engine && Engine->FindShipBRU(unit)) || (PhysicsScene && PhysicsScene->FindShipBRU(unit)));
}

// Each helper of the unit's universal helpers, in index order, whose name does
// not begin with "fog_", as "<name>#".
std::string HelperList(const TBaseRenderUnit& unit) {
    std::string out;
    const UHelpersContainerClass* c = unit.UHelpersContainer();
    if (!c || !c->ChildsBRU()) return out;
    for (TBaseRenderUnit* u : *c->ChildsBRU()) {
        auto* h = dynamic_cast<UniHelperClass*>(u);
        if (!h || h->HasFlag(BRU_KILLED | BRU_DISCARDED)) continue;
        if (h->GetHelperName().rfind("fog_", 0) == 0) continue;
        out += h->GetHelperName() + "#";
    }
    return out;
}

// Moves a unit to a world position; a unit that flies under physics is moved with its body.
void PlaceUnit(TBaseRenderUnit& unit, const Vec3& world) {
    IRenderUnitAI* rai = nullptr;
    if (unit.GetBPU(rai))
        if (auto* ai = dynamic_cast<BaseAIUnitClass*>(rai)) {
            Matrix pose = ai->GetWorldMatrix();
            MatrixSetTranslation(pose, world);
            ai->SetPoseMatrix(pose);
            unit.UpdateMatrixFromBPU();
            return;
        }
    Vec3 local = world;
    if (TBaseRenderUnit* parent = unit.Parent())
        local = Vec3InverseTransformCoord(world, parent->GetWorldMatrix());
    unit.SetPosition(local);
    const Matrix parent = unit.Parent() ? unit.Parent()->GetWorldMatrix() : Matrix{};
    unit.UpdateMatrices(&parent);
}

// The checks both location-placing functions make; the location or nullptr after a report.
WELocationClass* CheckedLocation(lua_State* L, const std::string& function, const std::string& locHex,
                                 WEPlanetSystemClass*& psys) {
    if (lua_gettop(L) < 2) {
        ErrorReport(function + ": NumElements<2", "mhl");
        return nullptr;
    }
    psys = PlanetSystemOr(function + ": Env.GetPlanetSystem(psys)=false");
    if (!psys) return nullptr;
    TBaseRenderUnit* loc = UnitFromHex(locHex, function + ": location");
    if (!loc || !psys->FindInChildsOnly(loc)) {
        ErrorReport(function + ": not psys.FindInChildsOnly(loc)", "mhl");
        return nullptr;
    }
    auto* location = dynamic_cast<WELocationClass*>(loc);
    if (!location) ErrorReport(function + ": not psys.FindInChildsOnly(loc)", "mhl");
    return location;
}

template <class Body> int Guard(const char* failure, Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        ErrorReport(failure, "mhl");
        return 0;
    }
}

} // namespace

PlanetClass* AddEnvironmentPlanet(const std::string& id, const std::string& addFailText) {
    WEPlanetSystemClass* psys = nullptr;
    if (!Env || !Env->GetPlanetSystem(psys)) {
        ErrorReport("engine_AddEnvObj: not env.GetPlanetSystem(psys), psys: nil", "mhl");
        return nullptr;
    }
    TEnvironmentClass* env = nullptr;
    if (!psys->GetEnvironment(env)) {
        ErrorReport("engine_AddEnvObj: not psys.GetEnvironment(envBRU)", "mhl");
        return nullptr;
    }
    CMTreeClass* tree = nullptr;
    if (!env->GetCM(tree)) {
        ErrorReport("engine_AddEnvObj: not envBRU.GetCM(envCM)", "mhl");
        return nullptr;
    }
    PlanetClass* planet = nullptr;
    if (!env->AddPlanet(id, planet) || !planet) {
        ErrorReport(addFailText, "mhl");
        return nullptr;
    }
    planet->Tick(1.0f);
    planet->GetBSphereRadius();
    return planet;
}

int engine_AddEnvObj(lua_State* L) {
    const std::string id = Arg(L, 1);
    return Guard("engine_AddEnvObj: AV", [&] {
        PlanetClass* planet = AddEnvironmentPlanet(id, "engine_AddEnvObj: not envBRU.AddPlanet(id,planet)");
        if (!planet) return 0;
        if (LuaMachine) LuaMachine->RunString("obj" + LuaSubscript(id) + ".hex=" + planet->GetHex());
        PushId(L, planet);
        return 1;
    });
}

int engine_CreatePlanetSystem(lua_State* L) {
    const std::string model = Arg(L, 1);
    return Guard("engine_CreatePlanetSystem: exeption", [&] {
        if (const auto& clear = GetWorldObjectLinks().deleteWorldObjects) clear();
        if (Engine) Engine->FindOrAddGlobalHelper("WayPoint");
        if (!Env) Env = std::make_unique<TEnv>();
        Env->DestroyPlanetSystem();
        Env->CreatePlanetSystem(model);
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_CreatePlanetSystem: not env.GetPlanetSystem(psys)");
        if (!psys) return 0;
        psys->SetEnvironment(psys->EnvironmentSettings());
        PushId(L, psys);
        return 1;
    });
}

int engine_LoadLocation(lua_State* L) {
    const std::string model = Arg(L, 1);
    return Guard("engine_LoadLocation: exeption", [&] {
        WEPlanetSystemClass* psys = PlanetSystemOr("engine_LoadLocation: not Env.GetPlanetSystem(psys)");
        if (!psys) return 0;
        auto* loc = TBaseRenderUnit::Create<WELocationClass>(psys);
        loc->LoadFromFile(model);
        psys->AddChild(loc);
        PushId(L, loc);
        return 1;
    });
}

int engine_GetUniversalHelperHex(lua_State* L) {
    const std::string name = Arg(L, 1), locHex = Arg(L, 2);
    return Guard("engine_GetUniversalHelperHex: AV", [&] {
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_GetUniversalHelperHex: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        UniHelperClass* helper = nullptr;
        if (lua_gettop(L) >= 2) {
            TBaseRenderUnit* loc = UnitFromIdQuiet(locHex);
            // A location outside the current planet system has none of its helpers.
            if (!loc || !psys->FindInChildsOnly(loc)) {
                lua_pushnumber(L, 0);
                return 1;
            }
            if (!loc->FindUHelper(name, helper)) {
                ErrorReport("engine_GetUniversalHelperHex: loc.GetUHelper({UniHelperName}" + name +
                                ",uhelper)",
                            "mhl");
                return 0;
            }
        } else if (!psys->FindUHelper(name, helper)) {
            ErrorReport("engine_GetUniversalHelperHex: not psys.GetUHelper(\"" + name + "\",uhelper)", "mhl");
            return 0;
        }
        PushId(L, helper);
        return 1;
    });
}

int engine_AddEncounterHelper(lua_State* L) {
    const std::string objHex = Arg(L, 1), name = Arg(L, 2), distance = Arg(L, 3);
    return Guard("engine_AddEncounterHelper: AV", [&] {
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_AddEncounterHelper: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        UniHelperClass* existing = nullptr;
        if (psys->FindUHelper(name, existing)) {
            ErrorReport("engine_AddEncounterHelper: psys.GetUWHelper(\"" + name +
                            "\"): Helper already exists",
                        "mhl");
            return 0;
        }
        TBaseRenderUnit* unit = UnitFromIdQuiet(objHex);
        if (!IsSceneShip(unit)) {
            ErrorReport("engine_AddEncounterHelper: not TEngine.FindShipBRU(bru)", "mhl");
            return 0;
        }
        const float d = kws2f(distance, "engine_AddEncounterHelper: distance");
        Vec3 from;
        unit->GetPosition(from);
        // Towards the player's ship, so the encounter comes from where the
        // player is; from the player's own ship (or without one) along its heading.
        const Matrix& m = unit->GetWorldMatrix();
        Vec3 dir{m.m[0][0], m.m[0][1], m.m[0][2]};
        if (TBaseRenderUnit* player = Engine ? Engine->GetPlayerShip() : nullptr; player && player != unit) {
            Vec3 to;
            player->GetPosition(to);
            if (Vec3Length(Vec3Sub(to, from)) > 0.0f) dir = Vec3Sub(to, from);
        }
        if (Vec3Length(dir) == 0.0f) dir = {1, 0, 0};
        const Vec3 world = Vec3Add(from, Vec3Scale(Vec3Normalize(dir), d));
        const Vec3 local = Vec3InverseTransformCoord(world, psys->GetWorldMatrix());
        UniHelperClass* helper = psys->AddUHelper(name, local, 0.0f);
        PushId(L, helper);
        return 1;
    });
}

int engine_DelGlobalHelper(lua_State* L) {
    const std::string hex = Arg(L, 1);
    return Guard("engine_DelGlobalHelper: bru.ReleaseSelf", [&] {
        WEPlanetSystemClass* psys = PlanetSystemOr("engine_DelGlobalHelper: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        TBaseRenderUnit* unit = UnitFromHex(hex, "engine_DelGlobalHelper: helper");
        if (!unit) return 0;
        auto* helper = dynamic_cast<HelperClass*>(unit);
        const std::string name = helper ? helper->GetHelperName() : unit->GetName();
        unit->SetName("_deleted_" + unit->GetName());
        // Killed: it leaves the tree at the frame's clean-up, and its name no longer finds it.
        unit->Kill();
        UniHelperClass* still = nullptr;
        if (psys->FindUHelper(name, still))
            ErrorReport("engine_DelGlobalHelper: psys.GetUHelper(\"" + hex + "\",uhelper", "mhl");
        return 0;
    });
}

int engine_GetHelperRange(lua_State* L) {
    const std::string a = Arg(L, 1), b = Arg(L, 2);
    return Guard("engine_GetHelperRange: AV: fault", [&] {
        if (!PlanetSystemOr("engine_GetHelperRange: Env.GetPlanetSystem(psys)=false")) return 0;
        // Early in the run the units may not have been placed by a frame yet.
        if (RenderFrameCounter.GetFrame() < 5 && Engine) Engine->UpdateMatrices(nullptr);
        TBaseRenderUnit* ua = UnitFromHex(a, "engine_GetHelperRange: first");
        TBaseRenderUnit* ub = UnitFromHex(b, "engine_GetHelperRange: second");
        if (!ua || !ub) return 0;
        Vec3 pa, pb;
        ua->GetPosition(pa);
        ub->GetPosition(pb);
        lua_pushnumber(L, static_cast<lua_Number>(std::lround(Vec3Length(Vec3Sub(pa, pb)))));
        return 1;
    });
}

int engine_AssignLocationToUHelper(lua_State* L) {
    const std::string locHex = Arg(L, 1), name = Arg(L, 2);
    return Guard("engine_AssignLocationToUHelper: AV", [&] {
        WEPlanetSystemClass* psys = nullptr;
        WELocationClass* loc = CheckedLocation(L, "engine_AssignLocationToUHelper", locHex, psys);
        if (!loc) return 0;
        UniHelperClass* helper = nullptr;
        if (!psys->FindUHelper(name, helper)) {
            ErrorReport("engine_AssignLocationToUHelper: not psys.GetUHelper(" + name + ",uhelper)", "mhl");
            return 0;
        }
        Vec3 p;
        helper->GetPosition(p);
        PlaceUnit(*loc, p);
        loc->CreateFog();
        return 0;
    });
}

int engine_AssignLocationToBru(lua_State* L) {
    const std::string unitHex = Arg(L, 1), locHex = Arg(L, 2);
    return Guard("engine_AssignLocationToBru: AV", [&] {
        WEPlanetSystemClass* psys = nullptr;
        WELocationClass* loc = CheckedLocation(L, "engine_AssignLocationToBru", locHex, psys);
        if (!loc) return 0;
        TBaseRenderUnit* unit = UnitFromHex(unitHex, "engine_AssignLocationToBru: unit");
        if (!unit) return 0;
        Vec3 p;
        loc->GetPosition(p);
        PlaceUnit(*unit, p);
        return 0;
    });
}

int engine_GetObjRadius(lua_State* L) {
    const std::string hex = Arg(L, 1);
    return Guard("engine_GetObjRadius: AV fault", [&] {
        TBaseRenderUnit* unit = UnitFromHex(hex, "engine_GetObjRadius: object");
        if (!unit) return 0;
        lua_pushnumber(L, unit->GetBSphereRadius());
        return 1;
    });
}

int engine_GetLocationsBSphereList(lua_State* L) {
    return Guard("engine_GetLocationsBSPhereList: fault", [&] {
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_GetLocationsBSPhereList: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        std::string out;
        TEnvironmentClass* env = nullptr;
        psys->GetEnvironment(env);
        if (const auto* list = psys->ChildsBRU())
            for (TBaseRenderUnit* c : *list) {
                // The system's own parts (its helper containers and its sky) are no places.
                if (!c || c->HasFlag(BRU_KILLED | BRU_DISCARDED)) continue;
                if (c == static_cast<TBaseRenderUnit*>(psys->UHelpersContainer()) ||
                    c == static_cast<TBaseRenderUnit*>(psys->HelpersContainer()) ||
                    c == static_cast<TBaseRenderUnit*>(env))
                    continue;
                if (c->GetName().rfind("fog_", 0) == 0) continue;
                out += c->GetName() + "#" +
                       IntToStr32(static_cast<int32_t>(std::lround(c->GetBSphereRadius()))) + "#";
            }
        lua_pushlstring(L, out.data(), out.size());
        return 1;
    });
}

int engine_GetPlanetSystemHelpersList(lua_State* L) {
    return Guard("engine_GetPlanetSystemHelpersList: AV 0x0", [&] {
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_GetPlanetSystemHelpersList: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        const std::string out = HelperList(*psys);
        lua_pushlstring(L, out.data(), out.size());
        return 1;
    });
}

int engine_GetLocationHelpersList(lua_State* L) {
    const std::string locHex = Arg(L, 1);
    return Guard("engine_GetLocationHelpersList: AV 0x0", [&] {
        if (lua_gettop(L) < 1) {
            ErrorReport("engine_GetLocationHelpersList: NumElements<1", "mhl");
            return 0;
        }
        WEPlanetSystemClass* psys =
            PlanetSystemOr("engine_GetLocationHelpersList: Env.GetPlanetSystem(psys)=false");
        if (!psys) return 0;
        TBaseRenderUnit* loc = UnitFromHex(locHex, "engine_GetLocationHelpersList: location");
        if (!loc || !psys->FindInChildsOnly(loc)) {
            ErrorReport("engine_GetLocationHelpersList: not psys.FindInChildsOnly(loc)", "mhl");
            return 0;
        }
        const Matrix parent = loc->Parent() ? loc->Parent()->GetWorldMatrix() : Matrix{};
        loc->UpdateMatrices(&parent);
        const std::string out = HelperList(*loc);
        lua_pushlstring(L, out.data(), out.size());
        return 1;
    });
}

int engine_ReloadTexture(lua_State* L) {
    return Guard("engine_ReloadTexture: AV", [&] {
        for (int i = 1; i <= lua_gettop(L); ++i)
            if (TextureManager) TextureManager->RE_ReloadTexture(Arg(L, i));
        return 0;
    });
}

int engine_ReloadEnvironment(lua_State*) {
    return Guard("engine_ReloadEnvironment: AV", [&] {
        WEPlanetSystemClass* psys = PlanetSystemOr("engine_ReloadEnvironment: not env.GetPlanetSystem(psys)");
        if (!psys) return 0;
        // The planets wait on the engine root while the environment is built again.
        TEnvironmentClass* old = nullptr;
        CMTreeClass* oldTree = nullptr;
        if (psys->GetEnvironment(old)) {
            old->DetachPlanets(Engine);
            old->GetCM(oldTree);
            // The old sky goes at once: its parts draw the model that is let go next.
            old->DiscardBRU();
        }
        // The model is read again from its file, so that changes to it show.
        const TEnvironmentSettings settings = psys->EnvironmentSettings();
        if (oldTree && CMTreeManager) CMTreeManager->ReleaseCMTree(settings.modelPath);
        psys->SetEnvironment(settings);
        TEnvironmentClass* env = nullptr;
        if (!psys->GetEnvironment(env) || !Engine || !Engine->ChildsBRU()) return 0;
        CMTreeClass* tree = nullptr;
        env->GetCM(tree);
        std::vector<PlanetClass*> planets;
        for (TBaseRenderUnit* c : *Engine->ChildsBRU())
            if (auto* p = dynamic_cast<PlanetClass*>(c); p && !p->HasFlag(BRU_KILLED | BRU_DISCARDED))
                planets.push_back(p);
        for (PlanetClass* p : planets) {
            // Its render objects were the old model's.
            if (oldTree && tree) p->Rebuild(*tree);
            env->AdoptPlanet(p);
            p->Tick(1.0f);
            p->GetBSphereRadius();
        }
        return 0;
    });
}

int engine_Dump(lua_State*) {
    return Guard("engine_Dump: AV", [&] {
        WEPlanetSystemClass* psys = PlanetSystemOr("engine_Dump: not env.GetPlanetSystem(psys)");
        if (!psys) return 0;
        psys->DumpTree();
        if (Engine) Engine->DumpTree();
        return 0;
    });
}

void RegisterWorldFunctions() {
    static const std::pair<const char*, lua_CFunction> kFunctions[] = {
        {"engine_AddEnvObj", engine_AddEnvObj},
        {"engine_CreatePlanetSystem", engine_CreatePlanetSystem},
        {"engine_LoadLocation", engine_LoadLocation},
        {"engine_GetUniversalHelperHex", engine_GetUniversalHelperHex},
        {"engine_AddEncounterHelper", engine_AddEncounterHelper},
        {"engine_DelGlobalHelper", engine_DelGlobalHelper},
        {"engine_GetHelperRange", engine_GetHelperRange},
        {"engine_AssignLocationToUHelper", engine_AssignLocationToUHelper},
        {"engine_AssignLocationToBru", engine_AssignLocationToBru},
        {"engine_GetObjRadius", engine_GetObjRadius},
        {"engine_GetLocationsBSphereList", engine_GetLocationsBSphereList},
        {"engine_GetPlanetSystemHelpersList", engine_GetPlanetSystemHelpersList},
        {"engine_GetLocationHelpersList", engine_GetLocationHelpersList},
        {"engine_ReloadTexture", engine_ReloadTexture},
        {"engine_ReloadEnvironment", engine_ReloadEnvironment},
        {"engine_Dump", engine_Dump},
    };
    for (const auto& [name, handler] : kFunctions) SetEngineFunction(name, handler);
}

} // namespace vesk
