// The game program: the composition root. Every subsystem installs its
// services, then the application object starts, runs and shuts the game down.
#include "core/application.h"
#include "core/var_list.h"
#include "game/game_services.h"
#include "interface/console.h"
#include "interface/input_devices.h"
#include "interface/interface_services.h"
#include "physics/camera.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/text.h"
#include "render/render_services.h"
#include "shared/errors.h"
#include "sound/sound_engine.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace vesk;
    std::vector<std::string> params;
    for (int i = 1; i < argc; ++i) params.push_back(platform::Utf8ToCp1251(argv[i]));

    // What the units set up before the application object exists.
    InitVarLists();
    // Log lines go out in batches; a fatal report and the shut-down write them first.
    SetFastLogBuffered(true);

    CoreServices services;
    InstallRenderServices(services);
    InstallGameServices(services);
    InstallInterfaceServices(services);
    InstallInputDevices();
    InstallConsole();
    // The model-file cache lives for the whole run.
    CMTreeManager = std::make_unique<CMTreeManagerClass>();
    InstallCMRenderObjectBuilder();
    InstallSceneCamera();
    TCore* core = TEngineObject::New<TCore>(std::move(services));
    core->ParseCommandLine(params);
    // The sound engine, or the silent one when the setup record has sound off;
    // headless runs get the null sound device.
    InstallSoundServices(core->Services(), core->Headless);
    try {
        core->Init();
    } catch (const std::exception& e) {
        // Nothing reports a failure that escapes the start-up: write it down
        // before the program ends.
        ErrorLogReport(std::string("TCore.Init: ") + e.what(), true);
        core->Free();
        return 1;
    } catch (...) {
        ErrorLogReport("TCore.Init: unknown exception", true);
        core->Free();
        return 1;
    }
    const int status = core->Run();
    core->Free();
    CMTreeManager.reset();
    return status;
}
