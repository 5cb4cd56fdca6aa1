#include "composition.h"

#include "core/application.h"
#include "core/var_list.h"
#include "game/camera_tracks.h"
#include "game/game_services.h"
#include "interface/console.h"
#include "interface/desktop.h"
#include "interface/draw_nodes.h"
#include "interface/input_devices.h"
#include "interface/interface_services.h"
#include "interface/scene_map_link.h"
#include "interface/simple_node.h"
#include "physics/camera_game.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_services.h"
#include "platform/memory_pages.h"
#include "render/render_services.h"
#include "shared/errors.h"
#include "sound/sound_engine.h"
#include "world/world_services.h"

#include <exception>
#include <memory>

namespace vesk {

namespace {

// The sound engine's messages reach the console and, through the tools' error
// callback, the error log.
void SoundMessage(const std::string& text) {
    if (Console) Console->AddLine(text);
    ErrorReport(text, "");
}

} // namespace

TCore* ComposeGame(const std::vector<std::string>& params) {
    // What the units set up before the application object exists (a game
    // composed again in the same process gets its destroy queue back).
    if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    InitVarLists();
    // A frame that needs more room than the last takes memory the game freed
    // before, not fresh pages.
    platform::KeepFreedMemoryForReuse();

    CoreServices services;
    InstallRenderServices(services);
    InstallWorldServices(services);
    // The scene's physics first: the game then lists the world's ships as the physics' scene.
    InstallPhysicsServices(services);
    InstallGameServices(services);
    InstallInterfaceServices(services);
    InstallSceneMapLink();
    InstallInputDevices();
    InstallConsole();
    // The model-file cache lives for the whole run.
    CMTreeManager = std::make_unique<CMTreeManagerClass>();
    InstallCMRenderObjectBuilder();
    // The game camera; the sound listener follows it after every update.
    InstallGameCamera(services,
                      [](const Vec3& position, const Vec3& front, const Vec3& top, const Vec3& velocity) {
                          if (!SoundEngine) return;
                          SoundEngine->SetListenerPosition(position);
                          SoundEngine->SetListenerOrientation(front, top);
                          SoundEngine->SetListenerVelocity(velocity);
                      });
    // A camera track's current point number shows in the designer's label.
    SetCameraPointLabelSink([](const std::string& text) {
        TDeskTop* desktop = CurrentDesktop();
        TSimpleNode* node = desktop ? desktop->FindInTree("feCurrentPointInd", false) : nullptr;
        if (auto* label = dynamic_cast<TLabelNode*>(node)) label->SetText(text);
    });
    TCore* core = TEngineObject::New<TCore>(std::move(services));
    core->ParseCommandLine(params);
    // The sound engine, or the silent one when the setup record has sound off;
    // headless runs get the null sound device.
    InstallSoundServices(core->Services(), core->Headless, SoundMessage);
    return core;
}

bool StartGame(TCore*& core) {
    try {
        core->Init();
        return true;
    } catch (const std::exception& e) {
        // Nothing reports a failure that escapes the start-up: write it down
        // before the program ends.
        ErrorLogReport(std::string("TCore.Init: ") + e.what(), true);
    } catch (...) {
        ErrorLogReport("TCore.Init: unknown exception", true);
    }
    core->Free();
    core = nullptr;
    return false;
}

void ReleaseGame() {
    CMTreeManager.reset();
}

} // namespace vesk
