// The generator's own record in the game folder: its version, so a game
// folder tells which generator made its assets.
#include "assets.h"

namespace {

constexpr const char* kGeneratorVersion = "1";

void WriteManifest(const vesk::contentgen::AssetSink& sink) {
    sink("data/generated/version.txt", std::string("contentgen ") + kGeneratorVersion + "\n");
}

} // namespace

VESK_ASSET_GROUP(manifest, WriteManifest);
