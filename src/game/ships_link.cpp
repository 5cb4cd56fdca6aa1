#include "game/ships_link.h"

#include "game/game_object.h"
#include "game/game_objects.h"
#include "game/gun_effects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/physic_params_source.h"
#include "game/physics_link.h"
#include "game/render_mesh_link.h"
#include "game/scene_object.h"
#include "game/turret_ai.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "physics/ph_config.h"
#include "physics/ph_scene.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "shared/math_geometry.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/ship.h"
#include "world/wing.h"
#include "world/world_services.h"

namespace vesk {

namespace {

// The steering unit of a ship from its description's physics parameters; the
// ship moves in the scene's physics slices from now on.
BaseAIUnitClass* GiveShipPhysics(TBaseRenderUnit* unit, TGameMesh* mesh) {
    GamePhysicParamsSource params(mesh ? mesh->FindChild("physic_params") : nullptr);
    PhConfigObjClass* config = PhConfigObjClass::Create(params, unit);
    BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, config->Record());
    config->Free();
    if (PhysicsScene) PhysicsScene->AddShip(unit);
    return ai;
}

// Where a projectile leaves its barrel: the barrel's attach point (or the
// barrel itself), facing the target (or along the barrel).
Matrix LaunchPose(TBaseGameSceneObject* obj) {
    auto* projectile = dynamic_cast<IGameProjectile*>(obj);
    auto* gun = projectile ? dynamic_cast<TBaseRenderUnit*>(projectile->GetGunId()) : nullptr;
    Matrix pose;
    if (!gun) return pose;
    Vec3 from = MatrixGetTranslation(gun->GetWorldMatrix());
    std::string helperName;
    if (TBaseGameObject* helperId = obj->FindChild("helperId")) helperId->stringValue(helperName);
    HelperClass* helper = nullptr;
    if (!helperName.empty() && gun->FindHelper(helperName, helper) && helper)
        from = MatrixGetTranslation(helper->GetWorldMatrix());
    Vec3 dir;
    MatrixGetAxes(gun->GetWorldMatrix(), &dir, nullptr, nullptr);
    auto* targetObject = dynamic_cast<TBaseGameSceneObject*>(projectile->GetCurTarget());
    if (auto* target = targetObject ? dynamic_cast<TBaseRenderUnit*>(targetObject->GetHex()) : nullptr) {
        const Vec3 to = Vec3Sub(MatrixGetTranslation(target->GetWorldMatrix()), from);
        if (Vec3Length(to) > 0.0f) dir = to;
    }
    if (Vec3Length(dir) == 0.0f || !KWMatrixGetBasisForDirVect(Vec3Normalize(dir), {0, 0, 1}, pose))
        pose = Matrix{};
    MatrixSetTranslation(pose, from);
    return pose;
}

// Turrets of the world aim for the turret AI.
class WorldTurretAim : public ITurretAim {
public:
    bool IsTurretTarget(TEngineObject* turret, TBaseRenderUnit* target) override {
        auto* t = dynamic_cast<TurretClass*>(turret);
        return t && IsTurretTurget(t, target);
    }
    void SetTurretTarget(TEngineObject* turret, TBaseRenderUnit* target,
                         std::function<void()> onAimed) override {
        auto* t = dynamic_cast<TurretClass*>(turret);
        if (!t) return;
        vesk::SetTurretTarget(
            t, target,
            [aimed = std::move(onAimed)](void*) {
                if (aimed) aimed();
            },
            nullptr);
    }
};

class ShipsWorldLink : public IGameWorldLink {
public:
    explicit ShipsWorldLink(IGameWorldLink& before) : before_(before) {}

    bool AddObjAdv(TBaseGameSceneObject* obj) override {
        auto* object = dynamic_cast<TGameObject*>(obj);
        const std::string meshName = object ? object->TextValue("spacemodel") : std::string();
        WorldGameOpsClass* root = Engine ? GameOpsOf(Engine) : nullptr;
        if (meshName.empty() || !root || !root->ShipsOps()) return before_.AddObjAdv(obj);
        TBaseRenderUnit* unit = root->ShipsOps()->CreateShip(meshName, obj->GetName());
        if (!unit) return false;
        TGameMesh* mesh = object->MeshLink() ? object->MeshLink()->GetMesh() : nullptr;
        SeatObjectShip(object, unit, GiveShipPhysics(unit, mesh));
        return true;
    }
    bool AddEnvObjAdv(TBaseGameSceneObject* obj) override { return before_.AddEnvObjAdv(obj); }
    bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) override {
        if (auto* cannon = dynamic_cast<CannonClass*>(unit)) return cannon->LoadFromFile(mesh, ""), true;
        if (auto* turret = dynamic_cast<TurretClass*>(unit)) return turret->LoadFromFile(mesh), true;
        if (auto* wing = dynamic_cast<WingClass*>(unit)) return wing->LoadFromFile(mesh, wing->GetName());
        return false;
    }
    TEngineObject* FindSlotHelper(TEngineObject* carrier, const std::string& helper) override {
        auto* unit = dynamic_cast<TBaseRenderUnit*>(carrier);
        HelperClass* found = nullptr;
        if (unit && unit->FindHelper(helper, found)) return found;
        return nullptr;
    }
    void PreloadMesh(const std::string&, const std::string&, const std::string& mesh) override {
        // The model is in the cache when an interface viewport shows the ship.
        ShipMeshDesc desc;
        if (FindShipMesh(mesh, desc) && CMTreeManager)
            CMTreeManager->GetCMTree(ShipModelFile(desc.path, desc.name));
    }

    bool AddRocketAdv(TBaseGameSceneObject* obj) override {
        auto* meshLink = dynamic_cast<TGameMeshLink*>(obj ? obj->FindChild("mesh") : nullptr);
        std::string meshName;
        if (meshLink) meshLink->stringValue(meshName);
        WorldGameOpsClass* root = Engine ? GameOpsOf(Engine) : nullptr;
        if (meshName.empty() || !root || !root->ShipsOps()) return before_.AddRocketAdv(obj);
        TBaseRenderUnit* unit = root->ShipsOps()->CreateShip(meshName, obj->GetName());
        if (!unit) return false;
        BaseAIUnitClass* ai = GiveShipPhysics(unit, meshLink->GetMesh());
        const Matrix pose = LaunchPose(obj);
        if (ai) ai->SetPoseMatrix(pose);
        unit->UpdateMatrices(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
        // A rocket meets ships whether they move or not.
        GetCollDetector(unit)->SetAllObjectsMode();
        obj->SetHex(unit);
        if (obj->Ph()) obj->Ph()->setValue(ai);
        return true;
    }
    bool AddDebrisAdv(TBaseGameSceneObject* obj, const std::string& meshName, TEngineObject* wreck) override {
        WorldGameOpsClass* root = Engine ? GameOpsOf(Engine) : nullptr;
        if (!obj || meshName.empty() || !root || !root->ShipsOps())
            return before_.AddDebrisAdv(obj, meshName, wreck);
        // Debris the content cannot build is left out: the wreck still goes.
        ShipMeshDesc desc;
        if (!FindShipMesh(meshName, desc) || !CMTreeManager ||
            !CMTreeManager->GetCMTree(ShipModelFile(desc.path, desc.name))) {
            FastLogAddError("AddDebrisAdv: " + GetLuaPath(obj) + ": no model of the mesh \"" + meshName +
                            "\", no debris");
            return false;
        }
        TBaseRenderUnit* unit = root->ShipsOps()->CreateShip(meshName, obj->GetName());
        if (!unit) return false;
        BaseAIUnitClass* ai =
            GiveShipPhysics(unit, GameMeshTable ? GameMeshTable->FindMesh(meshName) : nullptr);
        // The piece comes off where the wreck stands, turned as it was.
        if (auto* from = dynamic_cast<TBaseRenderUnit*>(wreck); from && ai)
            ai->SetPoseMatrix(from->GetWorldMatrix());
        unit->UpdateMatrices(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
        obj->SetHex(unit);
        if (obj->Ph()) obj->Ph()->setValue(ai);
        // A body of the container kind drifts off on its own, slowing and tumbling.
        if (INPCController* npc = ai ? ai->GetNPCControllerInterface() : nullptr) npc->StartDrift();
        return true;
    }

private:
    IGameWorldLink& before_;
};

// A ship the physics scene finds hitting something keeps the record, so that
// what it hit can ask where (the collision information of its unit).
void KeepCollisionRecords() {
    if (!PhysicsScene) return;
    PhysicsScene->SetCollisionListener([](TBaseRenderUnit* unit, CollDataClass& hit) {
        if (auto* ship = dynamic_cast<ShipClass*>(unit)) ship->KeepCollision(hit);
    });
}

} // namespace

void InstallShipsLink() {
    static ShipsWorldLink link(GameWorldLink());
    SetGameWorldLink(&link);
    InstallShipMeshSource();
    InstallWorldShipList();
    static WorldTurretAim aim;
    SetTurretAim(&aim);
    KeepCollisionRecords();
}

} // namespace vesk
