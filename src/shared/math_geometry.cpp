#include "shared/math_geometry.h"

#include "shared/errors.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

float ClampCos(float c) {
    return std::clamp(c, -1.0f, 1.0f);
}

} // namespace

// ---- segments, spheres and triangles ---------------------------------------------

bool SegmentSphereIntersect(const Vec3& p0, const Vec3& p1, const Vec3& centre, float radius,
                            SegmentSphereHit* hit) {
    const Vec3 d = Vec3Sub(p1, p0);
    const float len = Vec3Length(d);
    if (len < 1e-6f) return false;
    const Vec3 dir = Vec3Scale(d, 1.0f / len);
    const Vec3 m = Vec3Sub(p0, centre);
    const float b = Vec3Dot(m, dir);
    const float distSq = Vec3LengthSq(m);
    const bool inside = distSq <= radius * radius;

    SegmentSphereHit result;
    result.closest = Vec3Add(p0, Vec3Scale(dir, std::clamp(-b, 0.0f, len)));
    result.startInside = inside;
    bool hits = inside;
    if (inside) {
        result.entry = p0;
        result.fraction = 0.0f;
    } else {
        const float disc = b * b - (distSq - radius * radius);
        if (disc >= 0.0f) {
            const float t = -b - std::sqrt(disc);
            if (t >= 0.0f && t <= len) {
                result.entry = Vec3Add(p0, Vec3Scale(dir, t));
                result.fraction = t / len;
                hits = true;
            }
        }
    }
    if (hit) *hit = result;
    return hits;
}

bool SegmentHitsSphere(const Vec3& p0, const Vec3& p1, const Vec3& centre, float radius) {
    const Vec3 d = Vec3Sub(p1, p0);
    const float lenSq = Vec3LengthSq(d);
    const float t = lenSq == 0.0f ? 0.0f : Vec3Dot(Vec3Sub(centre, p0), d) / lenSq;
    if (t < 0.0f || t > 1.0f) return false;
    const Vec3 nearest = Vec3Add(p0, Vec3Scale(d, t));
    return Vec3LengthSq(Vec3Sub(centre, nearest)) <= radius * radius;
}

bool SegmentTriangleIntersect(const Vec3& p0, const Vec3& p1, const Vec3& v0, const Vec3& v1, const Vec3& v2,
                              Vec3* hit) {
    const Vec3 n = Vec3Cross(Vec3Sub(v1, v0), Vec3Sub(v2, v0));
    const Vec3 d = Vec3Sub(p1, p0);
    const float denom = Vec3Dot(n, d);
    // Parallel to the plane, or a degenerate triangle: nothing to cross.
    if (denom == 0.0f) return false;
    const float t = Vec3Dot(n, Vec3Sub(v0, p0)) / denom;
    if (t < -1e-6f || t > 1.00001f) return false;
    const Vec3 point = Vec3Add(p0, Vec3Scale(d, t));
    const Vec3 a = Vec3Sub(v0, point), b = Vec3Sub(v1, point), c = Vec3Sub(v2, point);
    const float sum = Vec3AngleBetween(a, b) + Vec3AngleBetween(b, c) + Vec3AngleBetween(c, a);
    if (std::fabs(sum - kTwoPi) > 0.001f) return false;
    if (hit) *hit = point;
    return true;
}

float ClosestPointOnLine(const Vec3& p, const Vec3& a, const Vec3& b, Vec3& out) {
    const Vec3 ab = Vec3Sub(b, a);
    const float lenSq = Vec3LengthSq(ab);
    if (lenSq == 0.0f) {
        out = b;
        return 0.5f;
    }
    const float t = Vec3Dot(Vec3Sub(p, a), ab) / lenSq;
    out = Vec3Add(a, Vec3Scale(ab, t));
    return t;
}

float TriangleBoundingSphere(const Vec3& p1, const Vec3& p2, const Vec3& p3, Vec3& centre) {
    const Vec3 c = Vec3Scale(Vec3Add(Vec3Add(p1, p2), p3), 0.33333334f);
    centre = c;
    return std::max({Vec3Length(Vec3Sub(p1, c)), Vec3Length(Vec3Sub(p2, c)), Vec3Length(Vec3Sub(p3, c))});
}

// ---- boxes and the virtual screen --------------------------------------------------

std::array<Vec3, 8> BoxCorners(const Vec3& a, const Vec3& b) {
    return {{b,
             a,
             {a.x, b.y, b.z},
             {a.x, b.y, a.z},
             {b.x, b.y, a.z},
             {b.x, a.y, a.z},
             {b.x, a.y, b.z},
             {a.x, a.y, b.z}}};
}

std::array<Vec3, 36> BoxToTriangleVertices(const Vec3& a, const Vec3& b) {
    static constexpr int kIndices[36] = {0, 4, 3, 3, 2, 0, 1, 3, 4, 4, 5, 1, 0, 6, 5, 5, 4, 0,
                                         0, 2, 7, 7, 6, 0, 2, 3, 1, 1, 7, 2, 1, 5, 6, 6, 7, 1};
    const std::array<Vec3, 8> corners = BoxCorners(a, b);
    std::array<Vec3, 36> out;
    for (int i = 0; i < 36; ++i) out[i] = corners[kIndices[i]];
    return out;
}

Vec3 ProjectToVirtualScreen(const Vec3& p, const Matrix& viewProjection) {
    const Vec4 v = Vec4Transform({p.x, p.y, p.z, 1.0f}, viewProjection);
    const float x = v.w == 0.0f ? 0.0f : v.x / v.w;
    const float y = v.w == 0.0f ? 0.0f : v.y / v.w;
    return {(x + 1.0f) * kVirtualScreenWidth * 0.5f, (1.0f - y) * kVirtualScreenHeight * 0.5f, v.z};
}

float CalcBoxScreenArea(const Vec3& a, const Vec3& b, const Matrix& viewProjection) {
    const std::array<Vec3, 36> vertices = BoxToTriangleVertices(a, b);
    float area = 0.0f;
    for (int i = 0; i < 36; i += 3) {
        Vec3 s[3];
        for (int k = 0; k < 3; ++k) {
            s[k] = ProjectToVirtualScreen(vertices[i + k], viewProjection);
            s[k].z = 0.0f; // the area is measured on the screen plane
        }
        const Vec3 n = Vec3CrossFlipZ(Vec3Sub(s[1], s[0]), Vec3Sub(s[2], s[0]));
        // Outward faces towards the viewer wind this way on the y-down screen.
        if (n.z < 0.0f) area += 0.5f * Vec3Length(n);
    }
    return area;
}

void ScreenPosToWorldRay(float x, float y, const Matrix& projection, const Vec3& position,
                         const Vec3& direction, const Vec3& up, Vec3& rayDirection, Vec3& farPoint) {
    const float ndcX = 2.0f * x / kVirtualScreenWidth - 1.0f;
    const float ndcY = -(2.0f * y / kVirtualScreenHeight - 1.0f);
    const float p11 = projection.m[0][0], p22 = projection.m[1][1];
    const Vec3 viewRay{p11 == 0.0f ? 0.0f : ndcX / p11, p22 == 0.0f ? 0.0f : ndcY / p22, 1.0f};
    Matrix orient;
    MatrixOrientLookAt(position, Vec3Add(position, direction), up, orient);
    rayDirection = Vec3Normalize(Vec3TransformNormal(viewRay, orient));
    farPoint = Vec3Add(position, Vec3Scale(rayDirection, 9999999.0f));
}

void CalcSphericAngles(const Vec3& v, const Vec3* axisI, const Vec3* axisJ, const Vec3* axisK, float* angle1,
                       float* angle2) {
    struct Axis {
        const Vec3* given;
        Vec3 fallback;
        const char* zeroText;
    };
    const Axis axes[3] = {{axisI, {1, 0, 0}, "CalcSphericAngles : vI = 0"},
                          {axisJ, {0, 1, 0}, "CalcSphericAngles : vJ = 0"},
                          {axisK, {0, 0, 1}, "CalcSphericAngles : vK = 0"}};
    Vec3 basis[3];
    for (int i = 0; i < 3; ++i) {
        basis[i] = axes[i].fallback;
        if (!axes[i].given) continue;
        if (Vec3Length(*axes[i].given) == 0.0f) {
            ErrorReport(axes[i].zeroText, "mhl");
            return;
        }
        basis[i] = Vec3Normalize(*axes[i].given);
    }
    if (Vec3Length(v) <= 0.0001f) {
        ErrorReport("CalcSphericAngles : v = 0", "mhl");
        return;
    }
    const Vec3& I = basis[0];
    const Vec3& J = basis[1];
    const Vec3& K = basis[2];
    if (angle1) {
        const Vec3 p = Vec3Normalize(Vec3ProjectOnPlane(v, I, J));
        const float a = std::acos(ClampCos(Vec3Dot(I, p)));
        // Beyond a half turn the turn from I to p points against K.
        *angle1 = Vec3Dot(K, Vec3Cross(I, p)) < 0.0f ? kTwoPi - a : a;
    }
    if (angle2) *angle2 = std::acos(ClampCos(Vec3Dot(Vec3Normalize(v), K)));
}

// ---- render units ------------------------------------------------------------------

namespace {

float UnitDistance(const IPlacedUnit& a, const IPlacedUnit& b) {
    return Vec3Length(Vec3Sub(a.UnitPosition(), b.UnitPosition()));
}

} // namespace

int64_t BRUDistance(const IPlacedUnit& a, const IPlacedUnit& b) {
    return std::llrint(UnitDistance(a, b));
}

int64_t BRUSurfaceDistance(const IPlacedUnit& a, const IPlacedUnit& b) {
    return std::llrint(UnitDistance(a, b) - a.UnitBoundingRadius() - b.UnitBoundingRadius());
}

Vec3 CalcBRUGroupCenter(std::span<const IPlacedUnit* const> units) {
    if (units.empty()) {
        ErrorReport("CalcBRUGroupCenter: _BRUList.Count = 0", "mhl");
        return {};
    }
    Vec3 sum{};
    for (const IPlacedUnit* unit : units) sum = Vec3Add(sum, unit->UnitPosition());
    return Vec3Scale(sum, 1.0f / static_cast<float>(units.size()));
}

int CalcNearestBRU(std::span<const IPlacedUnit* const> units, const Vec3& point, float* maxDistance) {
    if (maxDistance) *maxDistance = 0.0f;
    if (units.empty()) {
        ErrorReport("CalcNearestBRU: _BRUList.Count = 0", "mhl");
        return -1;
    }
    int nearest = 0;
    float nearestDistance = 0.0f;
    float largest = 0.0f;
    for (size_t i = 0; i < units.size(); ++i) {
        const float d = Vec3Length(Vec3Sub(units[i]->UnitPosition(), point));
        if (i == 0 || d < nearestDistance) {
            nearest = static_cast<int>(i);
            nearestDistance = d;
        }
        largest = std::max(largest, d);
    }
    if (maxDistance) *maxDistance = largest;
    return nearest;
}

IPlacedUnit* PlaceAsmHelper(IHelperHost& root, const Vec3& from, const Vec3& toward, float length,
                            float angle, const UniformSource& random) {
    const Vec3 offset = Vec3Scale(DeviatedDirection(Vec3Sub(toward, from), angle, random), length);
    return root.AddHelper("asmhelper", Vec3Add(toward, offset));
}

} // namespace vesk
