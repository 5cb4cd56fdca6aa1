#pragma once
// The game operations every ship, wing, cannon, turret and mesh unit carries:
// what the game side needs of a render unit without knowing its class. The
// ship the unit belongs to, slots to hang parts on, the model it was built
// from, its collision detector, its shield, its damage "defect" effect, a
// lookup of the ships under it and the point to aim at when shooting at it.
// Each part is made on its first request.
#include "render/component.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace vesk {

class CMTreeClass;
class CollDetectorClass;
class EllipsoidShieldClass;
class TargetOpsClass;
class ShipsOpsClass;
class TurretSlotClass;
class TBaseRenderUnit;

// Units whose first flag word has any of these bits are listed as ships (ships 4,
// guns and turrets 0x40002).
inline constexpr uint64_t kShipListFlags = 0x40006;
// Projectiles lead their target by this speed (distance per second).
inline constexpr float kLeadSpeed = 3000.0f;

// The model a unit was built from (kept by the unit's game operations).
class ICMTreeInfo {
public:
    virtual void SetCMTree(CMTreeClass* tree) = 0;
    virtual CMTreeClass* GetCMTree() const = 0;

protected:
    ~ICMTreeInfo() = default;
};

class WorldGameOpsClass : public GameOpsClass, public ICMTreeInfo {
public:
    TBaseRenderUnit* GetCarrierUnit() const { return carrier_; }

    // The first unit from the carrier up with the ship flag (4); false when
    // the carrier is in no ship.
    bool GetParentShip(TBaseRenderUnit*& ship);
    // A turret slot under the carrier at the model object of that name, named
    // "<slot name>slot_<id>"; a missing file or object is a fatal report.
    bool AttachSlot(const std::string& modelFile, const std::string& slotName, TurretSlotClass*& slot);
    bool AttachSlot2(CMTreeClass* tree, const std::string& slotName, TurretSlotClass*& slot);
    // True, renewing the mark, once a quarter of a second has passed since the last true.
    bool TimeCheck();
    bool GetFileName(std::string& out);
    IShipsOps* GetShipsOps() override;
    ShipsOpsClass* ShipsOps();
    EllipsoidShieldClass* GetShield();
    CollDetectorClass* GetCollDetector();
    bool HasCollDetector() const { return collDetector_ != nullptr; }
    TargetOpsClass* GetTargetOps();
    // New game operations on another unit with a copy of the shield and the same model.
    ClamClass* CreateCopy(IEngineObject* carrier) const override;

    // The effect template of the damage "defect" effect (followed: a reloaded
    // effect library leaves no stale link).
    void SetDefectTemplate(TBaseRenderUnit* templ);
    // False when none is set.
    bool GetDefectTemplate(TBaseRenderUnit*& out) const {
        out = defectTemplate_;
        return out != nullptr;
    }

    void SetCMTree(CMTreeClass* tree) override { cmTree_ = tree; }
    CMTreeClass* GetCMTree() const override { return cmTree_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

protected:
    void Bound() override;
    void CarrierLost() override;

private:
    TBaseRenderUnit* carrier_ = nullptr;
    ShipsOpsClass* shipsOps_ = nullptr;
    int64_t lastTimeMark_ = 0;
    CollDetectorClass* collDetector_ = nullptr;
    TargetOpsClass* targetOps_ = nullptr;
    EllipsoidShieldClass* shield_ = nullptr;
    TBaseRenderUnit* defectTemplate_ = nullptr;
    CMTreeClass* cmTree_ = nullptr;
};

// The ships under a unit: a cached list of the units below it that carry a
// ship flag (rebuilt on demand, dropped each frame) and the ships it made.
class ShipsOpsClass : public TEngineObject, public IShipsOps {
public:
    static ShipsOpsClass* Create(TBaseRenderUnit* carrier);

    // Case-insensitive on the cached list (skipping undefined units), then
    // exact on a rebuilt list; false with nullptr when none.
    bool FindShipByName(const std::string& name, TBaseRenderUnit*& out) override;
    // The first unit whose name contains the text.
    bool FindShipByPartName(const std::string& part, TBaseRenderUnit*& out);
    // True while the unit is a listed ship, neither undefined nor killed.
    bool FindShipBRU(TBaseRenderUnit* unit) override;
    // A ship built under the carrier from the mesh description (no configuration).
    TBaseRenderUnit* CreateShip(const std::string& meshName, const std::string& name);
    TBaseRenderUnit* CreateShipBRU(const std::string& meshName, const std::string& name) override {
        return CreateShip(meshName, name);
    }
    void DropShipListCache() override;
    // Kind 1: the ships this object made, in the order it made them.
    const std::vector<TBaseRenderUnit*>* GetBRUList(int kind) override;
    const std::vector<TBaseRenderUnit*>& CachedList();
    const std::vector<TBaseRenderUnit*>& CreatedShips() const { return created_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    void RebuildCache();
    bool Listed(const TBaseRenderUnit* unit) const;
    // Ends the subscription of a unit that is in neither list any more.
    void Forget(TBaseRenderUnit* unit);

    std::vector<TBaseRenderUnit*> cache_;
    bool cacheBuilt_ = false;
    std::vector<TBaseRenderUnit*> created_;
    // The two lists' units for the look-ups, which a frame may ask for every ship.
    std::unordered_set<const TBaseRenderUnit*> inCache_, inCreated_;
    TBaseRenderUnit* carrier_ = nullptr;
};

// Shooting at a unit: where a projectile must go to meet it.
class TargetOpsClass : public TEngineObject {
public:
    // The aim point of the target: a helper "targetH_<id>" on it.
    static TargetOpsClass* Create(TBaseRenderUnit* target);
    // The target's position moved ahead by its velocity over the time a
    // projectile takes to reach it (at rest, or below 1 per second: the position).
    bool ComputeLeadPoint(TBaseRenderUnit* shooter, Vec3& point);
    // Moves the aim helper to the lead point and gives it back (nullptr
    // without a target).
    TBaseRenderUnit* UpdateAim(TBaseRenderUnit* shooter);
    // The same seen from the camera for the player's ship ("playership1").
    TBaseRenderUnit* UpdateAimFromCamera(TBaseRenderUnit* shooter);
    TBaseRenderUnit* GetTarget() const { return target_; }
    TBaseRenderUnit* GetAimHelper() const { return aimHelper_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    TBaseRenderUnit* target_ = nullptr;
    TBaseRenderUnit* aimHelper_ = nullptr;
};

// The world's game operations of a unit (made on its first request); nullptr for no unit.
WorldGameOpsClass* GameOpsOf(TBaseRenderUnit* unit);
// Every unit made from now on gets the world's game operations.
void InstallWorldGameOps();

} // namespace vesk
