#include "game/ships_link.h"

#include "game/game_object.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/physic_params_source.h"
#include "game/physics_link.h"
#include "game/render_mesh_link.h"
#include "game/scene_object.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_config.h"
#include "physics/ph_scene.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/math.h"
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

private:
    IGameWorldLink& before_;
};

} // namespace

void InstallShipsLink() {
    static ShipsWorldLink link(GameWorldLink());
    SetGameWorldLink(&link);
    InstallShipMeshSource();
    InstallWorldShipList();
}

} // namespace vesk
