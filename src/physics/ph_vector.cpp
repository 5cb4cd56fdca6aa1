#include "physics/ph_vector.h"

#include <algorithm>

namespace vesk {

void TPhVector::SetVector(const Vec3& v) {
    prev_ = vec_;
    prevLength_ = length_;
    vec_ = v;
    length_ = Vec3Length(v);
    // A zero vector keeps the last direction so callers can still steer by it.
    if (length_ != 0.0f) dir_ = Vec3Scale(v, 1.0f / length_);
}

void TPhVector::SetDirection(const Vec3& d) {
    if (Vec3LengthSq(d) == 0.0f) return;
    SetVector(Vec3Scale(Vec3Normalize(d), length_));
}

float TPhVector::Angle(const Vec3& b) const {
    return std::acos(std::clamp(Vec3CosAngle(vec_, b), -1.0f, 1.0f));
}

Vec3 ProjectOnPlaneDir(const Vec3& v, const Vec3& a, const Vec3& b) {
    Vec3 n = Vec3Cross(a, b);
    if (Vec3Length(n) == 0.0f) return v;
    if (Vec3Dot(v, n) < 0.0f) n = Vec3Scale(n, -1.0f);
    n = Vec3Normalize(n);
    return Vec3Normalize(Vec3Sub(v, Vec3Scale(n, Vec3Dot(v, n))));
}

Vec3 TurnAboutAxis(const Vec3& v, const Vec3& axis, float angle, const Vec3& toward, bool away) {
    const Vec3 a = Vec3RotateAroundAxis(v, axis, angle);
    const Vec3 b = Vec3RotateAroundAxis(v, axis, -angle);
    const bool aNearer = Vec3Dot(a, toward) >= Vec3Dot(b, toward);
    return aNearer != away ? a : b;
}

} // namespace vesk
