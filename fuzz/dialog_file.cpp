// Dialog files: any bytes loaded as a dialog, then a few answers chosen.
// Without a Lua host the scripts run nothing and conditions other than TRUE
// and FALSE fail; fatal reports end the run, never the process.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "game/dialogs.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"

namespace {

volatile size_t g_sink;
struct HaltedRun {};
std::string g_folder;

void PrepareOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    char tmpl[] = "/tmp/vesk_fuzz_dialog_XXXXXX";
    if (const char* dir = mkdtemp(tmpl)) g_folder = std::string(dir) + "/";
    vesk::SetLogFolder(g_folder);
    vesk::platform::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { g_sink = text.size(); });
    vesk::GetErrorHooks().halt = [] { throw HaltedRun{}; };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareOnce();
    if (g_folder.empty()) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The file may name itself as a phrase, answer or script source file.
    if (!vesk::platform::WriteFile(g_folder + "f.dlg", bytes)) return 0;
    vesk::TGameDialog dialog;
    dialog.SetDialogsPath(g_folder);
    try {
        size_t n = static_cast<size_t>(dialog.LoadDialog("f.dlg", "a", "b") + 4);
        for (int step = 0; step < 8; ++step) {
            const int count = dialog.State().answerCount;
            if (count == 0) break;
            n += dialog.ChooseAnswer((step + static_cast<int>(size)) % count) ? 1 : 0;
            n += dialog.StateText().size();
        }
        g_sink = g_sink + n;
    } catch (const HaltedRun&) {
    }
    return 0;
}
