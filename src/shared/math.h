#pragma once
// Small stateless vector, matrix and quaternion routines over the shared math
// records. Conventions: row vectors multiplied on the left (p' = p * M), the
// translation in the fourth row, a left-handed space (views look down +z,
// projections have m34 = 1), angles in radians, float precision.
//
// By-value forms may be given their output as an input; pointer forms (names
// ending in P) read through their pointers. Where a routine would divide by a
// value that can be zero it returns the limit (usually zero) instead of NaN.
#include "platform/math_types.h"
#include "platform/result_codes.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <span>

namespace vesk {

inline constexpr float kPi = std::numbers::pi_v<float>;
inline constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// The nearest whole number, halves away from zero (std::lround); what the
// interface rounds its pixels, percentages and shown values with.
inline int Round(float v) {
    return static_cast<int>(std::lround(v));
}

// The one identity matrix; routines that start from the identity copy it.
inline constexpr Matrix kIdentityMatrix{};

// ---- random numbers ----------------------------------------------------------
// A source of uniform numbers in [0, 1). The default is the engine's own
// generator (one per thread); tests pass their own to get fixed results.
using UniformSource = std::function<float()>;
float UniformRandom();
void SeedUniformRandom(unsigned seed);

// ---- construction -------------------------------------------------------------
inline Vec3 MakeVector(float x, float y, float z) {
    return {x, y, z};
}
inline Vec3 Vec3Make(float x, float y, float z) {
    return {x, y, z};
}
inline Vec3d Vec3dMake(double x, double y, double z) {
    return {x, y, z};
}
inline Vec3d Vec3dMakeB(double x, double y, double z) {
    return {x, y, z};
}
inline Vec3d Vec3ToVec3d(const Vec3& v) {
    return {v.x, v.y, v.z};
}
inline void Vec3Copy(const Vec3& v, Vec3& out) {
    out = v;
}

// ---- arithmetic ---------------------------------------------------------------
inline Vec3 Vec3Add(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 VectorAdd(const Vec3& a, const Vec3& b) {
    return Vec3Add(a, b);
}
inline void Vec3AddP(const Vec3* a, const Vec3* b, Vec3* out) {
    *out = Vec3Add(*a, *b);
}
inline Vec3d Vec3dAdd(Vec3d a, Vec3d b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline void Vec3dAddP(const Vec3d* a, const Vec3d* b, Vec3d* out) {
    *out = Vec3dAdd(*a, *b);
}

inline Vec3 Vec3Sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 VectorSub(const Vec3& a, const Vec3& b) {
    return Vec3Sub(a, b);
}
inline void Vec3SubP(const Vec3* a, const Vec3* b, Vec3* out) {
    *out = Vec3Sub(*a, *b);
}
// The vector from a to b.
inline Vec3 Vec3Delta(const Vec3& a, const Vec3& b) {
    return Vec3Sub(b, a);
}

inline Vec3 Vec3Scale(Vec3 v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline Vec3 VectorScale(const Vec3& v, float s) {
    return Vec3Scale(v, s);
}
inline void Vec3ScaleP(const Vec3* v, float s, Vec3* out) {
    *out = Vec3Scale(*v, s);
}
// v / s; a zero divisor gives the zero vector.
Vec3 VectorDivide(const Vec3& v, float s);

inline void Vec3Negate(Vec3& v) {
    v = {-v.x, -v.y, -v.z};
}
// out := out + (a - b) * s
inline void Vec3AddScaledDiff(const Vec3& a, const Vec3& b, float s, Vec3& out) {
    out = Vec3Add(out, Vec3Scale(Vec3Sub(a, b), s));
}
// a + (b - a) * t, t not clamped.
inline Vec3 Vec3Lerp(const Vec3& a, const Vec3& b, float t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

// ---- products and lengths -----------------------------------------------------
inline float Vec3Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline float VectorDot(const Vec3& a, const Vec3& b) {
    return Vec3Dot(a, b);
}
inline float Vec3DotP(const Vec3* a, const Vec3* b) {
    return Vec3Dot(*a, *b);
}
inline float Vec3DotB(const Vec3& a, const Vec3& b) {
    return Vec3Dot(a, b);
}

inline Vec3 Vec3Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 VectorCross(const Vec3& a, const Vec3& b) {
    return Vec3Cross(a, b);
}
inline Vec3 Vec3CrossB(const Vec3& a, const Vec3& b) {
    return Vec3Cross(a, b);
}
inline Vec3 Vec3CrossC(const Vec3& a, const Vec3& b) {
    return Vec3Cross(a, b);
}
// Safe even when out is one of the inputs.
inline void Vec3CrossP(const Vec3* a, const Vec3* b, Vec3* out) {
    *out = Vec3Cross(*a, *b);
}
// a x b with z negated: the facing test of projected screen triangles.
inline Vec3 Vec3CrossFlipZ(const Vec3& a, const Vec3& b) {
    Vec3 c = Vec3Cross(a, b);
    c.z = -c.z;
    return c;
}

inline float Vec3LengthSq(const Vec3& v) {
    return Vec3Dot(v, v);
}
inline float Vec3Length(const Vec3& v) {
    return std::sqrt(Vec3LengthSq(v));
}
inline float VectorLength(const Vec3& v) {
    return Vec3Length(v);
}
inline float VectorMagnitude(const Vec3& v) {
    return Vec3Length(v);
}
// Double-precision length; below 1e-7 it counts as 0.
double Vec3dLength(Vec3d v);
inline double Vec3dLengthP(const Vec3d* v) {
    return Vec3dLength(*v);
}

// v / |v|; a zero vector stays zero.
Vec3 Vec3Normalize(Vec3 v);
inline void Vec3NormalizeSelf(Vec3& v) {
    v = Vec3Normalize(v);
}
inline Vec3 VectorNormalize(const Vec3& v) {
    return Vec3Normalize(v);
}

// (a . b) / sqrt(|a|^2 |b|^2); 0 when either vector is zero.
float Vec3CosAngle(const Vec3& a, const Vec3& b);
inline float Vec3CosAngleP(const Vec3* a, const Vec3* b) {
    return Vec3CosAngle(*a, *b);
}
// Angle between two vectors; a cosine rounded past +-1 is clamped, never NaN.
float Vec3AngleBetween(const Vec3& a, const Vec3& b);
// Separation of two points along an axis: a . axis - b . axis.
inline float Vec3ProjectDiff(const Vec3& a, const Vec3& b, const Vec3& axis) {
    return Vec3Dot(a, axis) - Vec3Dot(b, axis);
}
// v projected on the plane through the origin spanned by a and b, normalised;
// v unchanged when a and b are parallel.
Vec3 Vec3ProjectOnPlane(const Vec3& v, const Vec3& a, const Vec3& b);

inline bool PointsWithinDistance(const Vec3& a, const Vec3& b, float r) {
    return Vec3LengthSq(Vec3Sub(a, b)) < r * r;
}
inline bool SpheresOverlap(const Vec3& c1, float r1, const Vec3& c2, float r2) {
    return Vec3Length(Vec3Sub(c1, c2)) < r1 + r2;
}
inline bool SpheresOverlapSq(const Vec3& c1, float r1, const Vec3& c2, float r2) {
    return Vec3LengthSq(Vec3Sub(c1, c2)) < (r1 + r2) * (r1 + r2);
}

// ---- directions and angles ----------------------------------------------------
// (0, 0, 1) turned about x, y and z by three random angles in [0, 2pi).
Vec3 RandomUnitVector(const UniformSource& random = UniformRandom);
// A unit vector at `angle` from `dir`, rolled about `dir` by a random whole
// number of radians (0..6).
Vec3 DeviatedDirection(const Vec3& dir, float angle, const UniformSource& random = UniformRandom);
// The same with the roll given.
Vec3 DeviatedDirectionRolled(const Vec3& dir, float angle, int rollRadians);
// Yaw in [0, 2pi) from the x and z of the direction, pitch from its y;
// either output may be null.
void DirToYawPitch(const Vec3& dir, float* yaw, float* pitch);
// The angle in [0, 2pi) with the given sine and cosine.
float SinCosToAngle(float sinValue, float cosValue);

// ---- matrices ------------------------------------------------------------------
// out := second * first (first applied last).
void MatrixMultiply(const Matrix& first, const Matrix& second, Matrix& out);
// out := a * b, a applied first, then b; out may be a or b. Each row of the
// result is summed in the textbook order (a[i][0] b[0] + a[i][1] b[1] +
// a[i][2] b[2] + a[i][3] b[3]) four columns at a time, so it rounds exactly
// as the element-by-element sum does. The tree's matrix updates make this
// product for every unit every frame.
inline void MatrixProductTo(const Matrix& a, const Matrix& b, Matrix& out) {
    const __m128 b0 = _mm_loadu_ps(b.m[0]), b1 = _mm_loadu_ps(b.m[1]);
    const __m128 b2 = _mm_loadu_ps(b.m[2]), b3 = _mm_loadu_ps(b.m[3]);
    for (int i = 0; i < 4; ++i) {
        const __m128 row = _mm_loadu_ps(a.m[i]);
        __m128 sum = _mm_mul_ps(_mm_shuffle_ps(row, row, _MM_SHUFFLE(0, 0, 0, 0)), b0);
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_shuffle_ps(row, row, _MM_SHUFFLE(1, 1, 1, 1)), b1));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_shuffle_ps(row, row, _MM_SHUFFLE(2, 2, 2, 2)), b2));
        sum = _mm_add_ps(sum, _mm_mul_ps(_mm_shuffle_ps(row, row, _MM_SHUFFLE(3, 3, 3, 3)), b3));
        _mm_storeu_ps(out.m[i], sum);
    }
}
// The two matrices hold the same bits (a NaN equals itself, 0 and -0 differ):
// whatever is computed from one is what the other would give.
inline bool MatrixSameBits(const Matrix& a, const Matrix& b) {
    __m128i same = _mm_set1_epi32(-1);
    for (int i = 0; i < 4; ++i)
        same =
            _mm_and_si128(same, _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a.m[i])),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.m[i]))));
    return _mm_movemask_epi8(same) == 0xFFFF;
}
// a * b: a applied first, then b.
inline Matrix MatrixProduct(const Matrix& a, const Matrix& b) {
    Matrix r;
    MatrixProductTo(a, b, r);
    return r;
}
inline void MatrixMultiplyRef(const Matrix& a, const Matrix& b, Matrix& out) {
    MatrixProductTo(a, b, out);
}
Matrix MatrixTranspose(const Matrix& m);
float MatrixDeterminant(const Matrix& m);
// General inverse; false (out untouched) when the determinant is 0.
bool MatrixInverse(const Matrix& m, Matrix& out, float* determinant = nullptr);
// Inverse of an affine matrix: E_INVALIDARG unless |m44 - 1|, |m14|, |m24|
// and |m34| are all at most 0.001, and for a singular upper 3x3.
platform::Result MatrixInvertAffine(const Matrix& m, Matrix& out);

Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixScaling(float x, float y, float z);
Matrix MatrixRotationX(float angle);
Matrix MatrixRotationY(float angle);
Matrix MatrixRotationZ(float angle);
// Rotation about an axis through the origin (the axis is normalised; a zero
// axis gives the identity).
Matrix MatrixRotationAxis(const Vec3& axis, float angle);
// Roll about z, then pitch about x, then yaw about y.
Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
Matrix MatrixRotationQuaternion(const Quat& q);
Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);

void SetRotateXMatrix(float angle, Matrix& out);
void SetRotateYMatrix(float angle, Matrix& out);
void SetRotateZMatrix(float angle, Matrix& out);
// Identity with m11 = cos, m12 = -sin, m21 = sin, m22 = cos.
void SetRollMatrix(float angle, Matrix& out);
// Identity with m22 = m33 = cos, m23 = -sin, m32 = sin.
void SetRotateXMatrixT(float angle, Matrix& out);
// m11 = aspect * cot(fov/2), m22 = cot(fov/2), m33 = far / (far - near),
// m34 = 1, m43 = -m33 * near.
void SetProjectionMatrix(float fov, float aspect, float zNear, float zFar, Matrix& out);
// Look-at view; a non-zero roll turns the view about its z by -roll.
void SetViewMatrix(const Vec3& eye, const Vec3& target, const Vec3& up, float roll, Matrix& out);
// The orientation looking from eye to target: the inverse of the view
// (SetViewMatrix with the roll) without translation.
void MatrixOrientLookAt(const Vec3& eye, const Vec3& target, const Vec3& up, Matrix& out, float roll = 0.0f);
// Rows 1..3 := direction, up x direction, direction x row 2 (normalised); a
// parallel up falls back to y, x and z. The fourth row is kept.
bool KWMatrixGetBasisForDirVect(const Vec3& dir, const Vec3& up, Matrix& m);

// The lengths of the first three columns' upper three elements, all three
// at once; each rounds as Vec3Length of that column does.
inline __m128 MatrixColumnLengths(const Matrix& m) {
    const __m128 r0 = _mm_loadu_ps(m.m[0]), r1 = _mm_loadu_ps(m.m[1]), r2 = _mm_loadu_ps(m.m[2]);
    const __m128 squares = _mm_add_ps(_mm_add_ps(_mm_mul_ps(r0, r0), _mm_mul_ps(r1, r1)), _mm_mul_ps(r2, r2));
    return _mm_sqrt_ps(squares);
}
// Divides each of the first three columns by its length; a column of length 0 stays.
void MatrixNormalizeColumns(Matrix& m);
inline Vec3 MatrixGetColumnScale(const Matrix& m) {
    alignas(16) float s[4];
    _mm_store_ps(s, MatrixColumnLengths(m));
    return {s[0], s[1], s[2]};
}
void MatrixScaleColumns(Matrix& m, const Vec3& scale);
inline Vec3 MatrixGetTranslation(const Matrix& m) {
    return {m.m[3][0], m.m[3][1], m.m[3][2]};
}
inline void MatrixSetTranslation(Matrix& m, const Vec3& t) {
    m.m[3][0] = t.x;
    m.m[3][1] = t.y;
    m.m[3][2] = t.z;
}
inline void MatrixAddTranslation(Matrix& m, const Vec3& t) {
    MatrixSetTranslation(m, Vec3Add(MatrixGetTranslation(m), t));
}
inline void MatrixClearTranslation(Matrix& m) {
    MatrixSetTranslation(m, {});
}
// The first three rows into (or from) up to three optional vectors.
void MatrixGetAxes(const Matrix& m, Vec3* x, Vec3* y, Vec3* z);
void MatrixSetAxes(Matrix& m, const Vec3* x, const Vec3* y, const Vec3* z);

// ---- transforming points ------------------------------------------------------
// p * M with w = 1, without the divide by w.
inline Vec3 Vec3TransformPoint(const Vec3& p, const Matrix& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}
inline void Vec3TransformInPlace(Vec3& p, const Matrix& m) {
    p = Vec3TransformPoint(p, m);
}
inline Vec3 Vec3TransformOffset(const Vec3& p, const Matrix& m, const Vec3& offset) {
    return Vec3Add(Vec3TransformPoint(p, m), offset);
}
// Point times the transposed matrix (m11 x + m12 y + m13 z + m14 ...).
Vec3 TransformPointTransposed(const Vec3& p, const Matrix& m);
inline Vec4 Vec4Transform(const Vec4& v, const Matrix& m) {
    const auto& a = m.m;
    return {v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0] + v.w * a[3][0],
            v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1] + v.w * a[3][1],
            v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2] + v.w * a[3][2],
            v.x * a[0][3] + v.y * a[1][3] + v.z * a[2][3] + v.w * a[3][3]};
}
inline Vec4 Vec3Transform(const Vec3& p, const Matrix& m) {
    return Vec4Transform({p.x, p.y, p.z, 1.0f}, m);
}
// p * M with w = 1, divided by the resulting w (left undivided when w is 0).
inline Vec3 Vec3TransformCoord(const Vec3& p, const Matrix& m) {
    const Vec4 r = Vec3Transform(p, m);
    if (r.w == 0.0f) return {r.x, r.y, r.z};
    const float inv = 1.0f / r.w;
    return {r.x * inv, r.y * inv, r.z * inv};
}
// Direction times the upper 3x3 (w = 0).
inline Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m) {
    const auto& a = m.m;
    return {v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0], v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1],
            v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2]};
}
// Vec3TransformCoord of each point; out may be in; stops at the shorter span.
void Vec3TransformCoordArray(std::span<const Vec3> in, const Matrix& m, std::span<Vec3> out);
// p transformed by the inverse of M (p unchanged when M is singular).
Vec3 Vec3InverseTransformCoord(const Vec3& p, const Matrix& m);
// Hermite spline through p1 (tangent t1) and p2 (tangent t2) at s in [0, 1].
Vec3 Vec3Hermite(const Vec3& p1, const Vec3& t1, const Vec3& p2, const Vec3& t2, float s);

// A viewport for projecting points to pixels.
struct ProjectionViewport {
    float x = 0, y = 0, width = 0, height = 0, minZ = 0, maxZ = 1;
};
// Object space to viewport pixels through world, view and projection.
Vec3 Vec3Project(const Vec3& p, const ProjectionViewport& viewport, const Matrix& projection,
                 const Matrix& view, const Matrix& world);

// ---- quaternions ----------------------------------------------------------------
inline Quat QuaternionMake(double x, double y, double z, double w) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), static_cast<float>(w)};
}
inline float QuaternionDot(const Quat& a, const Quat& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
inline float QuaternionLength(const Quat& q) {
    return std::sqrt(QuaternionDot(q, q));
}
inline Quat QuaternionConjugate(const Quat& q) {
    return {-q.x, -q.y, -q.z, q.w};
}
// q / |q|; a zero quaternion stays zero.
Quat QuaternionNormalize(const Quat& q);
// Conjugate over the squared length; a zero quaternion stays zero.
Quat QuaternionInverse(const Quat& q);
// The rotation q1 followed by the rotation q2.
Quat QuaternionMultiply(const Quat& q1, const Quat& q2);
Quat QuaternionRotationAxis(const Vec3& axis, float angle);
// Spherical interpolation along the shorter arc.
Quat QuaternionSlerp(const Quat& q1, const Quat& q2, float t);
// The unit rotation that turns direction a onto direction b (a half turn
// about some perpendicular axis when they are opposite).
Quat QuaternionFromVectors(const Vec3& a, const Vec3& b);
// q v q^-1; the same turn as v * MatrixRotationQuaternion(q).
Vec3 Vec3RotateByQuaternion(const Vec3& v, const Quat& q);
// p turned about an axis through the origin by the axis-rotation matrix of -angle.
Vec3 Vec3RotateAroundAxis(const Vec3& p, const Vec3& axis, float angle);
inline void Vec3RotateAroundAxisP(const Vec3* p, const Vec3* axis, float angle, Vec3* out) {
    *out = Vec3RotateAroundAxis(*p, *axis, angle);
}

} // namespace vesk
