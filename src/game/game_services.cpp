#include "game/game_services.h"

#include "core/lua_adapter.h"
#include "core/lua_functions.h"
#include "game/ai_tasks.h"
#include "game/camera_tracks.h"
#include "game/damage.h"
#include "game/dialogs.h"
#include "game/events.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_object.h"
#include "game/game_parts.h"
#include "game/log_functions.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/physics_link.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/render_mesh_link.h"
#include "game/scene.h"
#include "game/scene_link.h"
#include "game/scene_world_link.h"
#include "game/ships_link.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "game/triggers.h"
#include "physics/bsphere.h"
#include "platform/files.h"
#include "shared/errors.h"

#include <lua.hpp>

namespace vesk {

namespace {

// engine_PrintFastLog(text): one line of the fast log.
int EnginePrintFastLog(lua_State* L) {
    const char* text = lua_tostring(L, 1);
    FastLogAdd(text ? text : "");
    return 0;
}

// The game-object tree: the roots ("_G", "ini", "gameSystem", "bal", "parts"),
// the global lists with the player, the pools, the game ini table, the
// statistics and the dialog engine.
class GameTreeWorld final : public IGameWorld {
public:
    void CreateObjManagers() override {
        CreateStatistics();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
    }
    void CreateRoots() override {
        // A failing event saves its owner beside the error-log reports.
        ErrorReportFolder = platform::ExeFolder() + "/Logs/ErrorLogs";
        RegisterGameTreeClasses();
        RegisterGameLogicClasses();
        RegisterGamePartsClasses();
        RegisterProfileClasses();
        RegisterCameraTrackClasses();
        RegisterSceneClasses();
        RegisterTriggerClasses();
        TGlobalObjects* root = CreateGameRoot();
        CreateGameLogicRoots(root);
        CreateGameParts(root);
    }
    void CreateDialogs(const std::string& dialogsPath) override { CreateGameDialog(dialogsPath); }
    void FreeDialogs() override { FreeGameDialog(); }
    void CreateGameVars() override {
        CreateGameGlobalLists();
        CreateTaskSequences(GlobalObjects);
        CreateGameScene(GlobalObjects);
        CreateGameMeshTable(GlobalObjects);
        CreateGamePartsLists(GlobalObjects);
        CreatePlayerSettings(GlobalObjects);
        CreatePlayer(GlobalObjects);
    }
    std::string CurrentSaveId() override {
        TBaseGameObject* curSave = FindVarByPath("playerSettings.curSave");
        std::string id;
        if (curSave) curSave->stringValue(id);
        return id;
    }
    void LoadDefaultProfile() override {
        if (GameIniTable) SwitchPlayerProfile(GameIniTable->GetText("defPlayerProfile"));
    }
    void CreateStandardManagers() override {
        if (ObjManagersManager) ObjManagersManager->createStandartManagers();
    }
    void ApplySetupFlags(bool nozzles, bool bsphereDisplay, bool showBSpheres) override {
        // Spheres made from now on show their sections.
        BSphereShowLowPoly = bsphereDisplay;
        if (!GameIniTable) return;
        GameIniTable->SetInt("nozzlesEnable", nozzles ? 1 : 0);
        GameIniTable->SetText("showBSpheres", showBSpheres ? "1" : "0");
    }
    void LoadIni() override {
        if (GameIniTable) GameIniTable->LoadCfg();
    }
    void SaveIni() override {
        if (GameIniTable) GameIniTable->SaveCfg();
    }
    std::string IniText(const std::string& key) override {
        return GameIniTable ? GameIniTable->GetText(key) : std::string();
    }
    void TickList(const std::string& name, float dt) override {
        if (TBaseGameObject* list = List(name)) list->Tick(dt);
    }
    // The statistics' timers follow the frame, so their load figures stay current.
    void TickStatistics(float dt) override {
        if (Statistics) Statistics->Tick(dt);
    }
    void FinishStatistics() override {
        if (Statistics) Statistics->Update();
    }
    void DeleteStatistics() override {
        if (Statistics) Statistics->Delete();
    }
    void DeleteItems() override {
        if (TBaseGameObject* items = GlobalObjects ? GlobalObjects->FindChild("items") : nullptr)
            items->DeleteChildren();
    }
    void DeleteTree() override {
        if (GlobalObjects) GlobalObjects->Delete();
    }
    void ReleaseManagers() override {
        ReleaseStandartManagers();
        ObjManagersManager.reset();
    }
    void ReleaseDeleted() override {
        if (DeletedObjects) DeletedObjects->Release();
    }

private:
    static TBaseGameObject* List(const std::string& name) {
        if (name == "created") return CreatedObjects;
        if (name == "created2") return Created2Objects;
        if (name == "ticked") return TickedObjects;
        if (name == "packed") return PackedObjects;
        if (name == "deleted") return DeletedObjects;
        if (name == "linked") return GlobalObjects ? GlobalObjects->FindChild("linked") : nullptr;
        return nullptr;
    }
};

} // namespace

void InstallGameServices(CoreServices& services) {
    SetEngineFunction("engine_PrintFastLog", EnginePrintFastLog);
    RegisterGameTreeFunctions();
    RegisterGameLogicFunctions();
    RegisterDialogFunctions();
    InstallPhysicsLink();
    RegisterCameraTrackFunctions();
    InstallShipsLink();
    // The scene's objects are placed at their helpers whatever built them.
    InstallSceneWorldLink();
    InstallRenderMeshLink();
    InstallRenderSceneLink();
    InstallParamPhysicsLink();
    InstallShieldUpQuery();
    InstallLogFunctions();
    SetGameIniReader(
        [](const std::string& key) { return GameIniTable ? GameIniTable->GetText(key) : std::string(); });
    services.game = std::make_unique<GameTreeWorld>();
}

} // namespace vesk
