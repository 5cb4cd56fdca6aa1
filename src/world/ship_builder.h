#pragma once
// Turns a mesh description into a finished render-unit tree: render objects,
// levels of detail, attach points, bounding spheres, collision mesh, shield,
// nozzles, lamps, effects, ray guns and turning rings, all from one model
// file and the content tables. A builder serves one build.
#include "shared/engine_object.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vesk {

class CMTreeClass;
class ShipConfigClass;
class TBaseRenderUnit;
class TCylinder;
struct ShipMeshDesc;
struct BSSectionMesh;

// What a build makes (flag, step).
inline constexpr uint32_t BRUB_CREATE_BSPHERES = 0x1;
inline constexpr uint32_t BRUB_CREATE_HELPERS = 0x2;
inline constexpr uint32_t BRUB_CREATE_NOZZLES = 0x4;
inline constexpr uint32_t BRUB_CREATE_LODS = 0x8;
inline constexpr uint32_t BRUB_CREATE_SHIELD = 0x10;
inline constexpr uint32_t BRUB_CREATE_SKYFOG = 0x20;
inline constexpr uint32_t BRUB_CREATE_HELPERFX = 0x40;
inline constexpr uint32_t BRUB_CREATE_MAINSPHERE = 0x80;
inline constexpr uint32_t BRUB_CREATE_LAMPS = 0x100;
inline constexpr uint32_t BRUB_CREATE_CMLAMPS = 0x200;
inline constexpr uint32_t BRUB_CREATE_SUBOBJECTS = 0x400;
inline constexpr uint32_t BRUB_CREATE_LOWPOLY = 0x800;
inline constexpr uint32_t BRUB_CREATE_BASE = 0x1000;

// Model objects of ship bodies, their levels and rings are built with these options.
inline constexpr uint64_t kShipROOptions = 0xC0;

class BRUBuilderClass : public TEngineObject {
public:
    static BRUBuilderClass* Create(TBaseRenderUnit* unit, const std::string& meshName,
                                   const std::string& unitName, uint32_t flags);
    // The builder owns the configuration and drops it when the build ends.
    void SetConfig(std::unique_ptr<ShipConfigClass> config);
    void Build();
    // The effects named in the description's "helpersound" list, each at the
    // helper of its name (or at the unit), while sound is on.
    void SpawnHelperFX(const ShipMeshDesc& mesh, CMTreeClass& tree);
    bool IsFlagSet(uint32_t flag) const { return (flags_ & flag) != 0; }

protected:
    ~BRUBuilderClass() override;

private:
    void CreateLODs(CMTreeClass& tree);
    void CreateMainSphere(const ShipMeshDesc& mesh, CMTreeClass& tree);
    void CreateRings(const ShipMeshDesc& mesh, CMTreeClass& tree);

    uint32_t flags_ = 0;
    TBaseRenderUnit* unit_ = nullptr;
    // The collision mesh of the build (the main sphere's sections are cut from it).
    std::unique_ptr<BSSectionMesh> collision_;
    std::string meshName_;
    std::string unitName_;
    std::unique_ptr<ShipConfigClass> config_;
};

// The ray guns of the description's "rays" groups, each on a slot at its
// model object "mesh:<gun><digits>", registered in the unit's ray groups.
void CreateRays(TBaseRenderUnit* unit, const ShipMeshDesc& mesh, CMTreeClass& tree);
// A turning ring under the unit from mesh["<mesh name>"] (not yet added to it).
TCylinder* SetRingCM(TBaseRenderUnit* unit, const std::string& meshName);
// The model's attach points on the unit; one it has already is moved to the model's place.
void AddOrMoveHelpers(TBaseRenderUnit* unit, CMTreeClass& tree);

} // namespace vesk
