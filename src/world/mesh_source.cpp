#include "world/mesh_source.h"

#include "platform/text.h"

namespace vesk {

namespace {
IShipMeshSource* Installed = nullptr;

bool NamesModelFile(const std::string& path) {
    return path.size() > 3 && platform::SameTextCp1251(std::string_view(path).substr(path.size() - 3), ".cm");
}
} // namespace

void SetShipMeshSource(IShipMeshSource* source) {
    Installed = source;
}

IShipMeshSource* ShipMeshSource() {
    return Installed;
}

bool FindShipMesh(const std::string& meshName, ShipMeshDesc& out) {
    out = ShipMeshDesc{};
    return Installed && Installed->GetShipMesh(meshName, out);
}

std::string ShipModelFile(const std::string& path, const std::string& name) {
    return NamesModelFile(path) ? path : path + "/" + name + ".cm";
}

std::string MeshFolderFile(const std::string& path, const std::string& file) {
    return NamesModelFile(path) ? path : path + "/" + file;
}

} // namespace vesk
