// Feeds arbitrary bytes to the setup-record reader, both in memory and as the
// "config.bin" the game loads at start-up.
#include "core/config_record.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

volatile size_t g_sink;

struct HaltedRun {};

std::string g_recordFolder;
std::string g_fuzzerFolder;

void PrepareOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    char tmpl[] = "/tmp/vesk_fuzz_config_XXXXXX";
    if (const char* dir = mkdtemp(tmpl)) g_recordFolder = dir;
    g_fuzzerFolder = vesk::platform::CurrentFolder();
    vesk::platform::SetStartProgramHandler(
        [](const std::string&, const std::vector<std::string>&) { return true; });
    vesk::platform::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { g_sink = text.size(); });
    vesk::GetErrorHooks().halt = [] { throw HaltedRun{}; };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PrepareOnce();
    std::string bytes(reinterpret_cast<const char*>(data), size);

    vesk::ConfigRecord r;
    if (vesk::DecodeConfigRecord(bytes, r)) {
        g_sink = r.AdapterDescription().size() + r.Language().size() + vesk::CheckConfigRecord(r).size();
        // What was read is written back byte for byte.
        if (vesk::EncodeConfigRecord(r) != bytes) std::abort();
    }

    // The game reads the record from the current folder; the fuzzer's own
    // corpus paths are relative to its folder, so step out only for the load.
    if (g_recordFolder.empty() || !vesk::platform::SetCurrentFolder(g_recordFolder)) return 0;
    vesk::platform::WriteFile(vesk::kConfigFileName, bytes);
    try {
        vesk::LoadConfigBin();
    } catch (const HaltedRun&) {
    }
    vesk::platform::SetCurrentFolder(g_fuzzerFolder);
    g_sink = static_cast<size_t>(vesk::SetupRecord.width) + vesk::SetupRecord.AdapterDescription().size();
    vesk::PendingErrorTexts.clear();
    return 0;
}
