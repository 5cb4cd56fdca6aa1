#include "shared/math_frustum.h"

namespace vesk {

void PlaneClass::SetFromPointNormal(const Vec3& point, const Vec3& direction) {
    normal_ = Vec3Normalize(direction);
    d_ = -Vec3Dot(normal_, point);
}

namespace {

Vec3 TurnAbout(const Vec3& v, const Vec3& axis, float angle) {
    return Vec3TransformCoord(v, MatrixRotationAxis(axis, angle));
}

} // namespace

void FrustumClass::Build(const Vec3& eye, const Vec3& direction, float fovDegrees, const Vec3& up) {
    const float h = fovDegrees * 0.0174532925f * 0.5f;
    const float w = 1.3333f * h;
    const Vec3 d = Vec3Normalize(direction);
    const Vec3 s = Vec3Normalize(Vec3Cross(up, d));
    const Vec3 u = Vec3Cross(d, s);
    const Vec3 normals[4] = {
        Vec3Scale(TurnAbout(u, s, -h), -1.0f), // top
        TurnAbout(u, s, h),                    // bottom
        TurnAbout(s, u, -w),                   // left
        Vec3Scale(TurnAbout(s, u, w), -1.0f),  // right
    };
    for (int i = 0; i < 4; ++i) planes_[i].SetFromPointNormal(eye, normals[i]);
}

bool FrustumClass::ContainsPoint(const Vec3& p) const {
    for (const PlaneClass& plane : planes_)
        if (!plane.IsInFront(p)) return false;
    return true;
}

} // namespace vesk
