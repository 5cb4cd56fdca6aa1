#pragma once
// A plane with a unit normal and the four side planes of a view.
#include "shared/math.h"

#include <array>

namespace vesk {

class PlaneClass {
public:
    // normal := the normalised direction, d := -(normal . point).
    void SetFromPointNormal(const Vec3& point, const Vec3& direction);
    // normal . p + d >= 0
    bool IsInFront(const Vec3& p) const { return Vec3Dot(normal_, p) + d_ >= 0.0f; }
    const Vec3& Normal() const { return normal_; }
    float D() const { return d_; }

private:
    Vec3 normal_{0, 0, 1};
    float d_ = 0.0f;
};

// Four planes through the eye bounding the sides of a view (no near or far plane).
class FrustumClass {
public:
    // fovDegrees is the vertical field of view; the horizontal half-angle is
    // 4/3 of the vertical one.
    void Build(const Vec3& eye, const Vec3& direction, float fovDegrees, const Vec3& up);
    bool ContainsPoint(const Vec3& p) const;
    bool IsPointVisible(Vec3 p) const { return ContainsPoint(p); }
    // Planes 1..4 of the build as 0..3.
    const PlaneClass& Plane(int index) const { return planes_.at(index); }

private:
    std::array<PlaneClass, 4> planes_;
};

} // namespace vesk
