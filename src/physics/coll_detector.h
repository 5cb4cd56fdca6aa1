#pragma once
// Swept-segment collision of moving units against the bounding-sphere trees
// and mesh triangles of other units.
#include "shared/math.h"

#include <cstdint>
#include <span>

namespace vesk {

class IBoundingSphere2;

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

} // namespace vesk
