#pragma once
// The render unit of every ship (and of whatever is built the same way): it
// builds itself from a mesh description, draws the level of detail that suits
// its distance to the camera, carries its engine nozzles, its game operations
// and the last collision its detector found.
#include "physics/ai_unit.h"
#include "render/render_unit.h"
#include "world/nozzles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class CollDataClass;
class IBRUCollisionInfo;
class TBRULOD;
class TRenderObject;
class WorldGameOpsClass;

// Ships alive (Init raises, Free lowers).
extern int32_t ShipCount;

// What a build is told: whether the mesh's effects are spawned at their helpers.
class ShipConfigClass {
public:
    static std::unique_ptr<ShipConfigClass> Create() { return std::make_unique<ShipConfigClass>(); }
    void SetSpawnFX(bool on) { spawnFX_ = on; }
    bool GetSpawnFX() const { return spawnFX_; }

private:
    bool spawnFX_ = true;
};

// A unit drawn through a level-of-detail list it makes on first request.
class ILODCarrier {
public:
    virtual TBRULOD* GetLOD(bool make) = 0;

protected:
    ~ILODCarrier() = default;
};

class ShipClass : public TBaseRenderUnit, public ILODCarrier, public INozzleCarrier, public IEngineGlow {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void DoRender() override;
    void UpdateMatrices(const Matrix* parent) override;
    void Tick(float dtMs) override;
    bool DiscardBRU() override;
    // Ships are always built, never copied: a fatal report.
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    // Every ship has a sphere list: without any, its own sphere is its one entry.
    void AddBSpheresFrom(TBaseRenderUnit* source) override;
    // Builds the ship from the mesh description (options bit 1: no effects at helpers).
    int Build(const std::string& meshName, const std::string& unitName, int32_t options) override;
    // The build with a configuration (nullptr for none); true.
    bool Build(const std::string& meshName, const std::string& unitName,
               std::unique_ptr<ShipConfigClass> config);
    // Builds the ship anew from another mesh description: what the previous
    // build made goes first; attach points are kept (and moved to the new
    // model's places), so parts hung on them stay.
    bool Rebuild(const std::string& meshName);
    std::string ClassName() const override { return "ShipClass"; }

    void SetLightFlags(uint16_t mask) { SetLightMask(mask); }
    TBRULOD* GetLOD(bool make) override;
    // A new level-of-detail object; the previous one is freed.
    void SetLOD(TBRULOD* lod);
    NozzlesController* GetNozzles(bool make) override;
    // The engine state from the ship's steering unit reaches the nozzles.
    void SetEngineGlow(float value, float rise, float fall) override;
    // The velocity of the ship's physics unit; false without one.
    bool GetVelocity(Vec3& out) const;
    // The last hit of the ship's collision detector as the hit unit sees it;
    // nullptr while there was none.
    IBRUCollisionInfo* GetCollisionInfo();
    // Keeps a copy of a hit found for the ship (by the scene's sweep): what
    // it hit can then ask where.
    void KeepCollision(const CollDataClass& hit);
    CollDataClass* GetCollisionResult() const { return collision_; }
    WorldGameOpsClass* GameOps() const { return gameOps_; }
    // The render object the level of detail chose at the last draw.
    TRenderObject* LastDrawnLevel() const { return lastLevel_; }
    float LastLODValue() const { return lastLODValue_; }
    // Objects drawn after the level of detail: the second list under the
    // ship's transform, the first under the engine's.
    std::vector<TRenderObject*>& RenderObjects1() { return roList1_; }
    std::vector<TRenderObject*>& RenderObjects2() { return roList2_; }
    // An object the ship owns and frees with itself.
    void SetOwnedHelper(TEngineObject* o);
    const std::string& MeshName() const { return meshName_; }

    void Message(IEngineObject* sender, int msg, int param) override;

private:
    void ReleaseCollision();
    // What a build made, for a rebuild.
    void ClearBuild();

    WorldGameOpsClass* gameOps_ = nullptr;
    TBRULOD* lod_ = nullptr;
    std::vector<TRenderObject*> roList1_, roList2_;
    TEngineObject* ownedHelper_ = nullptr;
    CollDataClass* collision_ = nullptr;
    NozzlesController* nozzles_ = nullptr;
    std::string meshName_;
    TRenderObject* lastLevel_ = nullptr;
    float lastLODValue_ = 0.0f;
    // What the ship's matrices were last computed from (none yet: a copy
    // carries its original's flags, not its matrices).
    Matrix placedLocal_{}, placedParent_{};
    bool placed_ = false, placedUnder_ = false;
};

} // namespace vesk
