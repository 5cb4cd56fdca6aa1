#pragma once
// Mesh descriptions kept by a test or benchmark for the ship builder, in
// place of the game's "mesh" table, with the main spheres stored per mesh.
#include "world/mesh_source.h"

#include <map>
#include <string>

namespace vesk::test {

struct MapShipMeshSource : IShipMeshSource {
    std::map<std::string, ShipMeshDesc> meshes;
    std::map<std::string, TBaseRenderUnit*> containers;
    int containerWrites = 0;
    bool GetShipMesh(const std::string& name, ShipMeshDesc& out) override {
        auto it = meshes.find(name);
        if (it == meshes.end()) return false;
        out = it->second;
        return true;
    }
    TBaseRenderUnit* GetBSContainer(const std::string& name) override {
        auto it = containers.find(name);
        return it == containers.end() ? nullptr : it->second;
    }
    void SetBSContainer(const std::string& name, TBaseRenderUnit* spheres) override {
        ++containerWrites;
        containers[name] = spheres;
    }
};

} // namespace vesk::test
