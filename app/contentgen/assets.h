#pragma once
// The demo's binary assets are written from code by this program at build
// time. Each source file of the generator registers one or more asset groups;
// a group writes its files through the sink it is given. The same generator
// version writes the same bytes on every run.
#include <functional>
#include <string>
#include <vector>

namespace vesk::contentgen {

// Receives one generated file: its path inside the game folder (forward
// slashes, the case the game asks for) and its bytes.
using AssetSink = std::function<void(const std::string& path, const std::string& bytes)>;
using AssetGroupWriter = void (*)(const AssetSink& sink);

struct AssetGroup {
    std::string name;
    AssetGroupWriter write = nullptr;
};

// Every registered group, in registration order (the generator sorts them by name).
std::vector<AssetGroup>& AssetGroups();

// Registers a group from a static object in the group's own source file.
struct AssetGroupRegistration {
    AssetGroupRegistration(const char* name, AssetGroupWriter write);
};

} // namespace vesk::contentgen

// One line per group:  VESK_ASSET_GROUP(models_ships, WriteShipModels)
#define VESK_ASSET_GROUP(name, writer)                                                                       \
    static const ::vesk::contentgen::AssetGroupRegistration vesk_asset_group_##name {                        \
#name, writer                                                                                        \
    }
