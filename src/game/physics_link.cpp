#include "game/physics_link.h"

#include "game/events.h"
#include "game/game_object.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/physic_params_source.h"
#include "game/scene_object.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "physics/player_physic.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <sstream>

namespace vesk {

namespace {

// Three numbers separated by blanks or commas; false for anything else.
bool ParsePosition(std::string text, Vec3& out) {
    for (char& c : text)
        if (c == ',') c = ' ';
    std::istringstream in(text);
    std::string x, y, z, rest;
    double v[3];
    if (!(in >> x >> y >> z) || (in >> rest)) return false;
    if (!TryParseFloatVal(x, v[0]) || !TryParseFloatVal(y, v[1]) || !TryParseFloatVal(z, v[2])) return false;
    out = {float(v[0]), float(v[1]), float(v[2])};
    return true;
}

// The AI unit held by the object at that path, nullptr when there is none.
BaseAIUnitClass* ObjectAI(const std::string& id) {
    TBaseGameObject* object = FindVarByPath(id);
    auto* link = object ? dynamic_cast<TGameObjectFreeLink*>(object->FindChild("ph")) : nullptr;
    return link ? dynamic_cast<BaseAIUnitClass*>(link->GetValue()) : nullptr;
}

// The world as far as the scene's physics reaches: a game object with a model
// gets its ship, and slots find the attach points of that ship's model. What
// needs the rest of the space scene (planets, gun units, viewports) is passed
// to the link that stood before.
class PhysicsWorldLink : public IGameWorldLink {
public:
    explicit PhysicsWorldLink(IGameWorldLink& before) : before_(before) {}

    bool AddObjAdv(TBaseGameSceneObject* obj) override {
        auto* object = dynamic_cast<TGameObject*>(obj);
        TGameMesh* mesh = object && object->MeshLink() ? object->MeshLink()->GetMesh() : nullptr;
        if (!mesh || !PhysicsScene) return before_.AddObjAdv(obj);
        GamePhysicParamsSource params(mesh->FindChild("physic_params"));
        BaseAIUnitClass* ai = nullptr;
        // Unit names stay unique when objects share a name.
        TBaseRenderUnit* unit =
            PhysicsScene->AddObject(obj->GetName() + std::to_string(added_++), mesh->ModelFile(), params, ai);
        if (!unit) return false;
        SeatObjectShip(object, unit, ai);
        return true;
    }
    bool AddEnvObjAdv(TBaseGameSceneObject* obj) override { return before_.AddEnvObjAdv(obj); }
    bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) override {
        return before_.LoadItemUnit(unit, mesh);
    }
    TEngineObject* FindSlotHelper(TEngineObject* carrier, const std::string& helper) override {
        auto* unit = dynamic_cast<TBaseRenderUnit*>(carrier);
        HelperClass* found = nullptr;
        if (unit && unit->FindHelper(helper, found)) return found;
        return before_.FindSlotHelper(carrier, helper);
    }
    void PreloadMesh(const std::string& kind, const std::string& object, const std::string& mesh) override {
        before_.PreloadMesh(kind, object, mesh);
    }
    bool AddRocketAdv(TBaseGameSceneObject* obj) override { return before_.AddRocketAdv(obj); }
    bool AddDebrisAdv(TBaseGameSceneObject* obj, const std::string& mesh, TEngineObject* wreck) override {
        return before_.AddDebrisAdv(obj, mesh, wreck);
    }

private:
    IGameWorldLink& before_;
    int added_ = 0;
};

} // namespace

void SeatObjectShip(TGameObject* object, TBaseRenderUnit* unit, BaseAIUnitClass* ai) {
    // The object's "position" ("x y z", or with commas) places the ship.
    Vec3 at{};
    if (ai && ParsePosition(object->TextValue("position"), at)) {
        Matrix m = unit->GetLocalMatrix();
        MatrixSetTranslation(m, at);
        ai->SetPoseMatrix(m);
    }
    unit->UpdateMatrices(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
    object->SetHex(unit);
    if (object->Ph()) object->Ph()->setValue(ai);
}

void InstallPhysicsLink() {
    // Only while no world is installed: the space scene's own link replaces this one.
    if (GameWorldMissing()) {
        static PhysicsWorldLink link(GameWorldLink());
        SetGameWorldLink(&link);
    }
    GetPhysicsScriptLinks().objectAI = ObjectAI;
    SetCollisionEventFirer([](IEngineObject* ours, IEngineObject* theirs) {
        auto* own = dynamic_cast<TGameEvent*>(ours ? ours->GetInstance() : nullptr);
        auto* other = dynamic_cast<TGameEvent*>(theirs ? theirs->GetInstance() : nullptr);
        if (!own || !other) return;
        own->SetEventData(other->GetEventObj());
        own->Fire();
    });
}

} // namespace vesk
