#pragma once
// Segment, sphere, triangle and box tests, projection to the 1024x768 virtual
// screen, spherical angles, and the helpers that measure render units.
#include "shared/math.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace vesk {

// The virtual screen every screen position of the engine is given on.
inline constexpr float kVirtualScreenWidth = 1024.0f;
inline constexpr float kVirtualScreenHeight = 768.0f;

// ---- segments, spheres and triangles ---------------------------------------------
struct SegmentSphereHit {
    Vec3 closest; // point of the segment nearest the centre
    bool startInside = false;
    Vec3 entry;         // where the segment enters the sphere (p0 when it starts inside)
    float fraction = 0; // of the entry along p0 -> p1
};
// False when the segment misses the sphere or is shorter than 1e-6.
bool SegmentSphereIntersect(const Vec3& p0, const Vec3& p1, const Vec3& centre, float radius,
                            SegmentSphereHit* hit = nullptr);
// True when the point of the line p0-p1 nearest the centre lies on the
// segment (t in [0, 1]) and within the radius.
bool SegmentHitsSphere(const Vec3& p0, const Vec3& p1, const Vec3& centre, float radius);
// The segment crosses the triangle's plane at t in [-1e-6, 1.00001] (t = 1 at
// p1) inside the triangle (the angles at the hit point sum to 2pi within 0.001).
bool SegmentTriangleIntersect(const Vec3& p0, const Vec3& p1, const Vec3& v0, const Vec3& v1, const Vec3& v2,
                              Vec3* hit = nullptr);
// Projects p on the line a-b: returns t (0 at a, 1 at b, not clamped) and the
// point; a zero-length line gives b and t = 0.5.
float ClosestPointOnLine(const Vec3& p, const Vec3& a, const Vec3& b, Vec3& out);
inline float ClosestPointOnLineP(const Vec3* p, const Vec3* a, const Vec3* b, Vec3* out) {
    return ClosestPointOnLine(*p, *a, *b, *out);
}
// Centre := the mean of the points; returns the largest distance from it.
float TriangleBoundingSphere(const Vec3& p1, const Vec3& p2, const Vec3& p3, Vec3& centre);

// ---- boxes and the virtual screen --------------------------------------------------
// The eight corners of the box with opposite corners a and b (corner 0 is b, 1 is a).
std::array<Vec3, 8> BoxCorners(const Vec3& a, const Vec3& b);
// The box as 12 triangles (36 vertices) with outward faces.
std::array<Vec3, 36> BoxToTriangleVertices(const Vec3& a, const Vec3& b);
// (screen x, screen y, depth) of a point on the virtual screen; a point on
// the eye plane (w = 0) lands on the screen centre.
Vec3 ProjectToVirtualScreen(const Vec3& p, const Matrix& viewProjection);
// The box's area on the virtual screen (sum over its faces towards the viewer).
float CalcBoxScreenArea(const Vec3& a, const Vec3& b, const Matrix& viewProjection);
// Pick ray through a point of the virtual screen for a camera; a unit
// direction and a far point 9999999 along it.
void ScreenPosToWorldRay(float x, float y, const Matrix& projection, const Vec3& position,
                         const Vec3& direction, const Vec3& up, Vec3& rayDirection, Vec3& farPoint);

// Angles of v against a basis I, J, K (null axes default to x, y and z): the
// first in [0, 2pi) about K from I within the I-J plane, the second from K.
// Zero vectors are fatal reports. Outputs may be null.
void CalcSphericAngles(const Vec3& v, const Vec3* axisI, const Vec3* axisJ, const Vec3* axisK, float* angle1,
                       float* angle2);

// ---- render units ------------------------------------------------------------------
// What these helpers read of a render unit; the render-unit tree implements it.
class IPlacedUnit {
public:
    virtual Vec3 UnitPosition() const = 0;
    virtual float UnitBoundingRadius() const = 0;

protected:
    ~IPlacedUnit() = default;
};

// Where attach points are added (the render engine's root unit).
class IHelperHost {
public:
    // Adds a helper at a position and returns it.
    virtual IPlacedUnit* AddHelper(const std::string& name, const Vec3& position) = 0;

protected:
    ~IHelperHost() = default;
};

// Distance between the units' positions, rounded to a whole number.
int64_t BRUDistance(const IPlacedUnit& a, const IPlacedUnit& b);
// The same less both bounding-sphere radii (negative when they overlap).
int64_t BRUSurfaceDistance(const IPlacedUnit& a, const IPlacedUnit& b);
// Mean position of the units; an empty list is a fatal report.
Vec3 CalcBRUGroupCenter(std::span<const IPlacedUnit* const> units);
// Index of the unit nearest the point (-1 for an empty list, a fatal report);
// optionally the largest distance of any unit from the point.
int CalcNearestBRU(std::span<const IPlacedUnit* const> units, const Vec3& point,
                   float* maxDistance = nullptr);
// The helper "asmhelper" on the root at toward + length in a direction
// `angle` off the line from -> toward, randomly rolled about it.
IPlacedUnit* PlaceAsmHelper(IHelperHost& root, const Vec3& from, const Vec3& toward, float length,
                            float angle, const UniformSource& random = UniformRandom);

} // namespace vesk
