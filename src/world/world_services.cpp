#include "world/world_services.h"

#include "core/services.h"
#include "physics/obb_collision.h"
#include "physics/pf_objects.h"
#include "physics/unit_physic_ops.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/world_links.h"
#include "world/env.h"
#include "world/fx_base.h"
#include "world/fx_laser.h"
#include "world/fx_library.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/ship_script.h"

#include <memory>

namespace vesk {

namespace {

// Until a planet system brings its own, ships are lit and coloured by a plain
// environment: no suns, no glow.
const EnvironmentSet* DefaultEnvironmentSet() {
    static const EnvironmentSet set;
    return &set;
}

const std::vector<TBaseRenderUnit*>* WorldShips() {
    WorldGameOpsClass* ops = Engine ? GameOpsOf(Engine) : nullptr;
    ShipsOpsClass* ships = ops ? ops->ShipsOps() : nullptr;
    return ships ? ships->GetBRUList(1) : nullptr;
}

} // namespace

void InstallWorldShipList() {
    SetSceneShipsProvider([](std::vector<TBaseRenderUnit*>& out) {
        out.clear();
        if (const auto* ships = WorldShips()) out = *ships;
    });
    SetShipCollisionListHook([] {
        std::vector<ShipCollisionEntry> out;
        if (const auto* ships = WorldShips())
            for (TBaseRenderUnit* u : *ships)
                if (!LeavingScene(u)) out.push_back({u, UnitPhysicOps::Of(u)});
        return out;
    });
}

void InstallWorldServices(CoreServices& services) {
    RegisterEffectUnitClasses();
    RegisterShipPartClasses();
    InstallWorldGameOps();
    InstallShipScriptFunctions();
    SetLaserTurretCheck(TurretIsBuilt);
    RenderWorldLinks& links = GetRenderWorldLinks();
    if (!links.environmentSet) links.environmentSet = DefaultEnvironmentSet;
    // The current planet system, the world's engine functions and the effect library's release.
    InstallSpaceScene(services);
}

} // namespace vesk
