#include "game/scene_world_link.h"

#include "core/lua_readers.h"
#include "game/game_object.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/physic_params_source.h"
#include "game/scene_object.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/env.h"
#include "world/environment.h"
#include "world/world_functions.h"

namespace vesk {

namespace {

// The helper the object is placed at: "max_name" in its location, found by the
// scripts' getHelperHex; nullptr when the object names none or the scripts have
// no such helper.
TBaseRenderUnit* PlacementHelper(TBaseGameSceneObject* obj) {
    const std::string helper = ValueTextOf(obj, "max_name");
    if (helper.empty()) return nullptr;
    const std::string location = obj->Location() ? obj->Location()->GetValue() : std::string();
    const std::string hex = GetLuaStringDef(
        "getHelperHex", "getHelperHex(" + LuaQuote(helper) + "," + LuaQuote(location) + ")", "0");
    int32_t id = 0;
    if (!TryParseInt32(hex, id) || id == 0) return nullptr;
    return dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
}

// Places a unit (and the body that moves it) at a helper's place and turn.
void PlaceAt(TBaseRenderUnit* unit, TBaseRenderUnit* helper) {
    IRenderUnitAI* rai = nullptr;
    if (auto* ai = unit->GetBPU(rai) ? dynamic_cast<BaseAIUnitClass*>(rai) : nullptr) {
        ai->SetPoseMatrix(helper->GetWorldMatrix());
        unit->UpdateMatrixFromBPU();
    } else {
        unit->SetLocalMatrix(helper->GetWorldMatrix());
    }
    const Matrix root = unit->Parent() ? unit->Parent()->GetWorldMatrix() : Matrix{};
    unit->UpdateMatrices(&root);
}

// The scene's side of the world link: in front of the link installed before
// it (the ship builder's), which builds what it can; what it cannot build the
// current planet system makes from the object's model. Either way the unit
// stands at the helper the object names; planets join the environment.
class SceneWorldLink final : public IGameWorldLink {
public:
    explicit SceneWorldLink(IGameWorldLink& before) : before_(before) {}

    bool AddObjAdv(TBaseGameSceneObject* obj) override {
        if (!obj) return false;
        if (!before_.AddObjAdv(obj) && !AddFromModel(obj)) return false;
        auto* unit = dynamic_cast<TBaseRenderUnit*>(obj->GetHex());
        if (TBaseRenderUnit* helper = unit ? PlacementHelper(obj) : nullptr) PlaceAt(unit, helper);
        return unit != nullptr;
    }
    bool AddEnvObjAdv(TBaseGameSceneObject* obj) override {
        if (!obj) return false;
        PlanetClass* planet =
            AddEnvironmentPlanet(obj->GetName(), "engine_AddEnvObj: not envBRU.AddPlanet(str[0],planet)");
        if (!planet) return false;
        obj->SetHex(planet);
        return true;
    }
    bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) override {
        return before_.LoadItemUnit(unit, mesh);
    }
    TEngineObject* FindSlotHelper(TEngineObject* carrier, const std::string& helper) override {
        return before_.FindSlotHelper(carrier, helper);
    }
    void PreloadMesh(const std::string& kind, const std::string& object, const std::string& mesh) override {
        before_.PreloadMesh(kind, object, mesh);
    }
    // Rockets, mines and containers are built by the links under this one.
    bool AddRocketAdv(TBaseGameSceneObject* obj) override { return before_.AddRocketAdv(obj); }
    bool AddDebrisAdv(TBaseGameSceneObject* obj, const std::string& mesh, TEngineObject* wreck) override {
        return before_.AddDebrisAdv(obj, mesh, wreck);
    }

private:
    // The unit from the object's model file, through the current planet system.
    static bool AddFromModel(TBaseGameSceneObject* obj) {
        if (!Env) return false;
        auto* meshLink = dynamic_cast<TGameMeshLink*>(obj->FindChild("mesh"));
        TGameMesh* mesh = meshLink ? meshLink->GetMesh() : nullptr;
        const std::string model = mesh ? mesh->ModelFile() : std::string();
        if (model.empty()) {
            FastLogAddError("engine_AddObjAdv: " + GetLuaPath(obj) + ": its mesh names no model file");
            return false;
        }
        GamePhysicParamsSource params(mesh->FindChild("physic_params"));
        BaseAIUnitClass* ai = nullptr;
        int32_t counter = 0;
        TBaseRenderUnit* unit = Env->AddObject(obj->GetName(), model, params, ai, counter);
        if (!unit) return false;
        unit->SetStrID(obj->ClassName());
        obj->SetHex(unit);
        if (obj->Ph()) obj->Ph()->setValue(ai);
        if (ai && ai->GetPhParamsField6() != SC_PLAYER && !ai->GetNPCControllerInterface()) {
            ErrorReport("TEnv.AddObjectAdv : NewObj.ph.GetNPCControllerInterface( NPCControl) = false",
                        "mhl");
            return false;
        }
        return true;
    }

    IGameWorldLink& before_;
};

} // namespace

void InstallSceneWorldLink() {
    static SceneWorldLink link(GameWorldLink());
    SetGameWorldLink(&link);
    WorldObjectLinks& w = GetWorldObjectLinks();
    w.deleteWorldObjects = [] {
        TBaseGameObject* list = GlobalList("obj");
        if (!list) return;
        std::vector<TBaseGameObject*> objects;
        int32_t cursor;
        TBaseGameObject* c;
        list->First(cursor);
        while (list->Next(cursor, c))
            if (c && !c->IsDeleted()) objects.push_back(c);
        for (TBaseGameObject* o : objects) o->Delete();
    };
}

} // namespace vesk
