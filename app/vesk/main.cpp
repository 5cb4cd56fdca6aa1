// The game program: the composition root makes the application object, which
// starts, runs and shuts the game down.
#include "composition.h"
#include "core/application.h"
#include "platform/quit_signals.h"
#include "platform/text.h"
#include "shared/errors.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace vesk;
    std::vector<std::string> params;
    for (int i = 1; i < argc; ++i) params.push_back(platform::Utf8ToCp1251(argv[i]));

    // Log lines go out in batches; a fatal report and the shut-down write them first.
    SetFastLogBuffered(true);
    // Before the window exists: a quit request ends the game the way a closed window does.
    platform::InstallQuitSignals();
    TCore* core = ComposeGame(params);
    if (!StartGame(core)) {
        ReleaseGame();
        return 1;
    }
    const int status = core->Run();
    core->Free();
    ReleaseGame();
    return status;
}
