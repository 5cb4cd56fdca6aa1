#pragma once
// What the ship builder reads of a mesh description. The descriptions live in
// the game's "mesh" table, which the game side reads for the world: it
// installs the source at start-up. Without one no description is found.
#include "shared/engine_object.h"

#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

// One engine nozzle: where its jet and lamp sit and how they look.
struct MeshNozzleDesc {
    std::string helperName, fxName, texture, color;
    float size = 0, percents = 0, frequency = 0;
};

// A turning ring: its own mesh, the axis it turns about and where it sits.
struct MeshCylinderDesc {
    std::string mesh, name, type, onshipObject;
    float frequency = 0;
};

// A named group of ray guns, each entry a model object "mesh:<gun><digits>".
struct MeshRayGroup {
    std::string name;
    std::vector<std::string> entries;
};

struct ShipMeshDesc {
    std::string path, name, shield, defect;
    std::vector<std::string> helperSounds;
    std::vector<MeshRayGroup> rays;
    std::vector<MeshCylinderDesc> cylinders;
    std::vector<MeshNozzleDesc> nozzles;
};

class IShipMeshSource {
public:
    virtual ~IShipMeshSource() = default;
    // False when the scripts have no description of that name.
    virtual bool GetShipMesh(const std::string& meshName, ShipMeshDesc& out) = 0;
    // The main bounding sphere kept for every later ship of the mesh (nullptr
    // before the first ship of the mesh is built).
    virtual TBaseRenderUnit* GetBSContainer(const std::string& meshName) = 0;
    virtual void SetBSContainer(const std::string& meshName, TBaseRenderUnit* spheres) = 0;
};

// The installed source; nullptr restores "no descriptions". The caller keeps it alive.
void SetShipMeshSource(IShipMeshSource* source);
IShipMeshSource* ShipMeshSource();
// The description of that name; false without a source or a description.
bool FindShipMesh(const std::string& meshName, ShipMeshDesc& out);

// The model file of a description: "<path>/<name>.cm"; a path that already
// names a model file (ends in ".cm") is taken as it is.
std::string ShipModelFile(const std::string& path, const std::string& name);
// A file in a description's folder: "<path>/<file>", or the path itself
// when it already names a model file.
std::string MeshFolderFile(const std::string& path, const std::string& file);

} // namespace vesk
