#include "world/ship_script.h"

#include "core/lua_functions.h"
#include "physics/cm_tree_manager.h"
#include "platform/files.h"
#include "render/engine.h"
#include "shared/errors.h"
#include "world/mesh_source.h"
#include "world/ship.h"

#include <exception>

namespace vesk {

int engine_RegistryModel(lua_State* L) {
    if (lua_gettop(L) < 1) {
        ErrorReport("engine_RegistryModel: NumElements<1", "mhl");
        return 0;
    }
    const std::string name = EngineArgText(L, 1);
    ShipMeshDesc mesh;
    bool known = false;
    try {
        if (!FindShipMesh(name, mesh)) {
            FastLogAddError("engine_RegistryModel: no mesh description " + name);
        } else {
            const std::string file = ShipModelFile(mesh.path, mesh.name);
            if (!platform::FileExists(file))
                FastLogAddError("engine_RegistryModel: " + name + ": no model file " + file);
            else
                known = CMTreeManager && CMTreeManager->GetCMTree(file);
        }
    } catch (const std::exception&) {
        ErrorReport("engine_RegistryModel error: AV", "mhl");
        return 0;
    }
    lua_pushnumber(L, known ? 1 : 0);
    return 1;
}

int engine_ChangeObjMesh(lua_State* L) {
    const std::string name = EngineArgText(L, 1);
    const std::string model = EngineArgText(L, 2);
    if (name.empty()) {
        ErrorReport("engine_ChangeObjMesh: strID= " + name + ", meshName= " + model, "mhl");
        return 0;
    }
    TBaseRenderUnit* unit = nullptr;
    auto* ship = Engine && Engine->FindShipByName(name, unit) ? dynamic_cast<ShipClass*>(unit) : nullptr;
    if (!ship) {
        ErrorReport("engine_ChangeObjMesh fault: no ship " + name + " to take " + model, "mhl");
        return 0;
    }
    try {
        ship->Rebuild(model);
    } catch (const std::exception& e) {
        ErrorReport(std::string("engine_ChangeObjMesh fault: ") + e.what(), "mhl");
    }
    return 0;
}

void InstallShipScriptFunctions() {
    SetEngineFunction("engine_RegistryModel", engine_RegistryModel);
    SetEngineFunction("engine_ChangeObjMesh", engine_ChangeObjMesh);
}

} // namespace vesk
