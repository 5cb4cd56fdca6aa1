#pragma once
// Swept-segment collision of moving units against the bounding-sphere trees
// and mesh triangles of other units: the detector a moving unit owns, the
// records of its hits and the information a hit unit is handed.
#include "render/component.h"
#include "shared/math.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vesk {

class IBoundingSphere2;
class TBaseRenderUnit;
class BSpheresContainerClass;
class DynamicTargetPositionClass;

// The segment a->b against a world sphere; p is where it meets it.
bool CollSegmentHitsSphere(const Vec3& a, const Vec3& b, const Vec3& c, float r, Vec3& p);

struct SphereTreeHit {
    Vec3 point;
    Vec3 normal{1, 0, 0};
    IBoundingSphere2* sphere = nullptr;
};
// Descends a sphere tree along a->b to the nearest innermost sphere it meets.
bool IsRayIntersectObject(IBoundingSphere2* sphere, const Vec3& a, const Vec3& b, SphereTreeHit& hit);

class ColliseDetectorTriangles {
public:
    ColliseDetectorTriangles(std::span<const Vec3> positions, std::span<const uint32_t> indices, float tMin,
                             float tMax)
        : positions_(positions), indices_(indices), tMin_(tMin), tMax_(tMax) {}
    // The ray o + d*t against the triangle at index position i; normal may be null.
    bool HitTriangle(const Vec3& o, const Vec3& d, std::size_t i, Vec3& point, Vec3* normal) const;
    bool FindNearestHit(const Vec3& o, const Vec3& d, Vec3& point, Vec3& normal) const;

private:
    std::span<const Vec3> positions_;
    std::span<const uint32_t> indices_;
    float tMin_, tMax_;
};

// A ship that keeps meeting the same thing, as one pushed on against a wall
// does between its stops, is still in the same contact while less than this
// passes between the meetings: it struck once.
inline constexpr float kContactGapSeconds = 0.5f;

// A unit whose bounding radius is at least this is met only where a path
// meets its hull; a smaller one on its spheres alone.
inline constexpr float kHullHitRadius = 100.0f;

struct UnitHit {
    Vec3 point;
    Vec3 normal{1, 0, 0}; // facing back along the path
    bool onHull = false;  // a triangle of the hull, not a sphere
};
class BSpheresContainerClass;
// The path p -> e against a unit's sphere tree: the innermost sphere it meets
// and, for a unit of kHullHitRadius or more whose sphere there carries a
// section, the nearest triangle of the section along the path (tMin 0 from p
// on, -1 also up to as far behind p). False when it meets nothing, or meets
// the spheres of a large unit but not its hull.
bool FindUnitHit(TBaseRenderUnit* unit, BSpheresContainerClass* tree, const Vec3& p, const Vec3& e,
                 float tMin, UnitHit& out);

// Detectors and collision records alive, counted together.
extern int CollDetectorCount;

// The root of a unit's bounding-sphere tree, nullptr when it has none.
BSpheresContainerClass* GetSphereTree(TBaseRenderUnit* unit);

// What a unit hit by another is told: where, from which side, by whom.
class IBRUCollisionInfo {
public:
    virtual void GetPoint(Vec3& out) = 0;
    virtual TBaseRenderUnit* GetOtherUnit() = 0;
    virtual void GetNormal(Vec3& out) = 0;

protected:
    ~IBRUCollisionInfo() = default;
};

// The velocity of a moving unit that has no physics unit (a shot, a rocket).
class IUnitVelocity {
public:
    virtual Vec3 GetUnitVelocity() = 0;

protected:
    ~IUnitVelocity() = default;
};

// A unit whose detector also passes over the marked units (render flag
// 0x80000) of another subtree, such as the launcher it came from.
class ICollisionExclusionRoot {
public:
    virtual TBaseRenderUnit* GetExclusionRoot() = 0;

protected:
    ~ICollisionExclusionRoot() = default;
};

// The ship a unit belongs to as its game operations name it; nullptr when
// none. The default walks up the render parents to the first ship unit.
using CollisionParentQuery = std::function<TBaseRenderUnit*(TBaseRenderUnit* unit)>;
void SetCollisionParentQuery(CollisionParentQuery query);
TBaseRenderUnit* CollisionParentOf(TBaseRenderUnit* unit);

// The information component put on a unit that was hit.
class CollisionInformatorClass : public ClamClass, public IBRUCollisionInfo {
public:
    // The other unit is required: without one it is a fatal report.
    static CollisionInformatorClass* Init(TBaseRenderUnit* unitHit, TBaseRenderUnit* other, const Vec3& point,
                                          const Vec3& normal);
    void GetPoint(Vec3& out) override { out = point_; }
    TBaseRenderUnit* GetOtherUnit() override;
    void GetNormal(Vec3& out) override { out = normal_; }
    void Free() override;

private:
    DynamicTargetPositionClass* other_ = nullptr;
    Vec3 point_{}, normal_{};
};

// One hit of a sweep.
class CollDataClass : public TEngineObject {
public:
    // A missing point is a fatal report (nullptr); the normal is turned to
    // face the sweep and made unit length, (1, 0, 0) when it has none.
    static CollDataClass* Create(TBaseRenderUnit* other, const Vec3* point, const Vec3& normal,
                                 const Vec3& start, const Vec3& end);
    void Free() override;

    // The hit unit while it lives, nullptr after.
    TBaseRenderUnit* GetOtherUnit() const;
    // The collision point in the hit unit's own space (scale removed).
    void ComputeLocalPoint();
    // Puts an information component on the unit that was hit.
    IBRUCollisionInfo* CreateCollisionInformator(TBaseRenderUnit* unitHit);

    Vec3 start{}, end{}, startMinusEnd{}, point{}, localPoint{}, normal{1, 0, 0};
    float distance = 0;

    CollDataClass();

private:
    DynamicTargetPositionClass* other_ = nullptr;
};

class IColliseDetect {
public:
    // True with a hit; the record is then the caller's to free.
    virtual bool CheckCollision(CollDataClass*& out) = 0;
    // Remembers the hits of a sweep against the standing units; always false.
    virtual bool CheckCollisionWithObjects(void* ignored, const Vec3& v, float timeScale,
                                           const std::vector<TBaseRenderUnit*>& units) = 0;
    virtual bool CheckCollisionWithStaticObject(TBaseRenderUnit* ship, const Vec3& v, float timeScale,
                                                const std::vector<TBaseRenderUnit*>& units) = 0;
    virtual void SetAllObjectsMode() = 0;
    virtual void AddExclusions(TBaseRenderUnit* root) = 0;

protected:
    ~IColliseDetect() = default;
};

// Candidate filters.
inline constexpr int kCollStanding = 1, kCollMoving = 2, kCollAll = 3;

// The scene's ships as the per-tick check sweeps against them: those with an
// AI unit outside the non-colliding fields and with a sphere tree, in the
// scene's order, each with the outer sphere of its tree and whether it moves.
// One gathering serves a run of checks in which no ship moves, comes, goes or
// changes its speed or its tree (the physics slice's sweeps up to a hit, whose
// listeners and scripts may change any of that).
class CollisionCandidates {
public:
    // The scene's ships as they are now.
    void Gather();

private:
    friend class CollDetectorClass;
    struct Entry {
        TBaseRenderUnit* unit;
        BSpheresContainerClass* tree;
        Vec3 centre;
        float radius;
        bool moving;
    };
    std::vector<Entry> entries_;
};

class CollDetectorClass : public TEngineObject, public IColliseDetect {
public:
    static CollDetectorClass* Create(TBaseRenderUnit* owner);
    void Free() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    bool CheckCollision(CollDataClass*& out) override;
    // The same check against candidates gathered for several checks.
    bool CheckCollision(CollDataClass*& out, const CollisionCandidates& candidates);
    bool CheckCollisionWithObjects(void* ignored, const Vec3& v, float timeScale,
                                   const std::vector<TBaseRenderUnit*>& units) override;
    // The same sweep against the standing ones of candidates gathered for
    // several checks.
    bool CheckCollisionWithObjects(const Vec3& v, float timeScale, const CollisionCandidates& candidates);
    // The time the per-tick check sweeps its owner's velocity over: two frames.
    static float SweepSeconds();
    bool CheckCollisionWithStaticObject(TBaseRenderUnit* ship, const Vec3& v, float timeScale,
                                        const std::vector<TBaseRenderUnit*>& units) override;
    void SetAllObjectsMode() override { allObjects_ = true; }
    void AddExclusions(TBaseRenderUnit* root) override;

    std::vector<TBaseRenderUnit*> SelectCandidates(const std::vector<TBaseRenderUnit*>& units,
                                                   int mode) const;
    const std::vector<TBaseRenderUnit*>& Exclusions() const { return exclusions_; }
    const std::vector<CollDataClass*>& Results() const { return results_; }
    TBaseRenderUnit* GetOwner() const { return owner_; }
    // The position at the last check (fourth value 1).
    const float* LastPosition() const { return position_; }
    Vec3 SweepStart() const { return sweepStart_; }
    Vec3 SweepEnd() const { return sweepEnd_; }
    // The frame time the per-tick check sweeps over (the application's by default).
    static void SetFrameTimeSource(std::function<float()> source);

    CollDetectorClass();

private:
    void Exclude(TBaseRenderUnit* unit);
    void ExcludeMarkedIn(TBaseRenderUnit* root);
    void FreeResults();
    // Sweeps a->b against each unit's tree; a hit becomes a record.
    std::vector<CollDataClass*> Sweep(const std::vector<TBaseRenderUnit*>& units, const Vec3& a,
                                      const Vec3& b);
    // The owner's position at a check.
    Vec3 OwnerPosition() const;
    // One unit of the per-tick check: a record (the remembered one, updated, or a
    // new one) when the sweep hits its tree.
    CollDataClass* TryUnit(TBaseRenderUnit* unit, BSpheresContainerClass* tree, CollDataClass* remembered,
                           const Vec3& p, const Vec3& e, const Vec3& s, float tMin);
    // The first candidate the sweep p->e hits, nullptr when none.
    CollDataClass* TryCandidates(const CollisionCandidates& candidates, const Vec3& p, const Vec3& e,
                                 const Vec3& s);
    bool Check(CollDataClass*& out, const CollisionCandidates* candidates);
    Vec3 OwnerVelocity() const;

    std::vector<TBaseRenderUnit*> exclusions_;
    TBaseRenderUnit* owner_ = nullptr;
    std::vector<CollDataClass*> results_;
    float position_[4] = {0, 0, 0, 1};
    bool allObjects_ = false;
    Vec3 sweepStart_{}, sweepEnd_{};
};

// The unit's detector, made on first use with the unit as owner and freed with it.
CollDetectorClass* GetCollDetector(TBaseRenderUnit* unit);

} // namespace vesk
