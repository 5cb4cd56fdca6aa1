#include "shared/math.h"

#include "shared/errors.h"

#include <algorithm>
#include <random>

namespace vesk {

namespace {

float ClampCos(float c) {
    return std::clamp(c, -1.0f, 1.0f);
}

std::mt19937& Generator() {
    thread_local std::mt19937 generator(5489u);
    return generator;
}

} // namespace

float UniformRandom() {
    // 24 random bits give every float step of [0, 1) and never 1 itself.
    return static_cast<float>(Generator()() >> 8) * (1.0f / 16777216.0f);
}

void SeedUniformRandom(unsigned seed) {
    Generator().seed(seed);
}

// ---- vectors -------------------------------------------------------------------

Vec3 VectorDivide(const Vec3& v, float s) {
    if (s == 0.0f) return {};
    return {v.x / s, v.y / s, v.z / s};
}

double Vec3dLength(Vec3d v) {
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return len < 1e-7 ? 0.0 : len;
}

Vec3 Vec3Normalize(Vec3 v) {
    const float len = Vec3Length(v);
    if (len == 0.0f) return {};
    return Vec3Scale(v, 1.0f / len);
}

float Vec3CosAngle(const Vec3& a, const Vec3& b) {
    const float product = Vec3LengthSq(a) * Vec3LengthSq(b);
    if (product == 0.0f) return 0.0f;
    return Vec3Dot(a, b) / std::sqrt(product);
}

float Vec3AngleBetween(const Vec3& a, const Vec3& b) {
    return std::acos(ClampCos(Vec3CosAngle(a, b)));
}

Vec3 Vec3ProjectOnPlane(const Vec3& v, const Vec3& a, const Vec3& b) {
    const Vec3 n = Vec3Cross(a, b);
    if (Vec3Length(n) == 0.0f) return v;
    const Vec3 unit = Vec3Normalize(n);
    return Vec3Normalize(Vec3Sub(v, Vec3Scale(unit, Vec3Dot(v, unit))));
}

Vec3 RandomUnitVector(const UniformSource& random) {
    const float ax = random() * kTwoPi;
    const float ay = random() * kTwoPi;
    const float az = random() * kTwoPi;
    const Matrix turn =
        MatrixProduct(MatrixProduct(MatrixRotationX(ax), MatrixRotationY(ay)), MatrixRotationZ(az));
    return Vec3TransformNormal({0, 0, 1}, turn);
}

Vec3 DeviatedDirection(const Vec3& dir, float angle, const UniformSource& random) {
    const int roll = std::min(6, static_cast<int>(random() * 7.0f));
    return DeviatedDirectionRolled(dir, angle, roll);
}

Vec3 DeviatedDirectionRolled(const Vec3& dir, float angle, int rollRadians) {
    const Vec3 d = Vec3Normalize(dir);
    Vec3 side{};
    for (const Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}) {
        side = Vec3Cross(d, axis);
        if (Vec3Length(side) != 0.0f) break;
    }
    side = Vec3Normalize(side);
    Matrix basis = kIdentityMatrix;
    const Vec3 third = Vec3Normalize(Vec3Cross(d, side));
    MatrixSetAxes(basis, &d, &side, &third);

    Matrix roll;
    SetRotateXMatrixT(static_cast<float>(rollRadians), roll);
    const Vec3 local = Vec3TransformNormal({std::cos(angle), std::sin(angle), 0}, roll);
    return Vec3TransformNormal(local, basis);
}

void DirToYawPitch(const Vec3& dir, float* yaw, float* pitch) {
    if (yaw) {
        const Vec3 flat = Vec3Normalize({dir.x, 0, dir.z});
        float a = std::acos(ClampCos(flat.x));
        if (flat.z < 0) a = kTwoPi - a;
        *yaw = a;
    }
    if (pitch) *pitch = std::asin(ClampCos(Vec3Normalize(dir).y));
}

float SinCosToAngle(float sinValue, float cosValue) {
    const float s = ClampCos(sinValue);
    const float c = ClampCos(cosValue);
    float a;
    if (s >= 0) {
        a = c >= 0 ? std::asin(s) : std::acos(c);
    } else {
        a = c < 0 ? kPi - std::asin(s) : kTwoPi + std::asin(s);
    }
    // A tiny negative sine may round up to a full turn.
    return a >= kTwoPi ? 0.0f : a;
}

// ---- matrices ------------------------------------------------------------------

void MatrixMultiply(const Matrix& first, const Matrix& second, Matrix& out) {
    MatrixProductTo(second, first, out);
}

Matrix MatrixTranspose(const Matrix& m) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
    return r;
}

namespace {

// Cofactors of the whole matrix from its 2x2 sub-determinants.
struct Cofactors {
    Matrix adjugate; // transposed cofactors
    float determinant = 0;
};

Cofactors ComputeCofactors(const Matrix& mat) {
    const auto& m = mat.m;
    const float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
    const float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
    const float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
    const float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
    const float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
    const float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
    const float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
    const float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
    const float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
    const float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
    const float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
    const float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];

    Cofactors r;
    r.determinant = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    auto& a = r.adjugate.m;
    a[0][0] = m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3;
    a[0][1] = -m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3;
    a[0][2] = m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3;
    a[0][3] = -m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3;
    a[1][0] = -m[1][0] * c5 + m[1][2] * c2 - m[1][3] * c1;
    a[1][1] = m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1;
    a[1][2] = -m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1;
    a[1][3] = m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1;
    a[2][0] = m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0;
    a[2][1] = -m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0;
    a[2][2] = m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0;
    a[2][3] = -m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0;
    a[3][0] = -m[1][0] * c3 + m[1][1] * c1 - m[1][2] * c0;
    a[3][1] = m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0;
    a[3][2] = -m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0;
    a[3][3] = m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0;
    return r;
}

float Det3(const Matrix& m) {
    const auto& a = m.m;
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

} // namespace

float MatrixDeterminant(const Matrix& m) {
    return ComputeCofactors(m).determinant;
}

bool MatrixInverse(const Matrix& m, Matrix& out, float* determinant) {
    const Cofactors c = ComputeCofactors(m);
    if (determinant) *determinant = c.determinant;
    if (c.determinant == 0.0f) return false;
    const float inv = 1.0f / c.determinant;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out.m[i][j] = c.adjugate.m[i][j] * inv;
    return true;
}

platform::Result MatrixInvertAffine(const Matrix& m, Matrix& out) {
    constexpr float kTolerance = 0.001f;
    const auto& a = m.m;
    if (std::fabs(a[3][3] - 1.0f) > kTolerance || std::fabs(a[0][3]) > kTolerance ||
        std::fabs(a[1][3]) > kTolerance || std::fabs(a[2][3]) > kTolerance) {
        return platform::E_INVALIDARG;
    }
    const float det = Det3(m);
    // A singular orientation has no inverse; say so rather than fill the result with infinities.
    if (det == 0.0f) return platform::E_INVALIDARG;
    const float inv = 1.0f / det;
    Matrix r;
    r.m[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) * inv;
    r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv;
    r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv;
    r.m[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) * inv;
    r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv;
    r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv;
    r.m[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) * inv;
    r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv;
    r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv;
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0f;
    r.m[3][3] = 1.0f;
    const Vec3 t = MatrixGetTranslation(m);
    r.m[3][0] = r.m[3][1] = r.m[3][2] = 0.0f;
    MatrixSetTranslation(r, Vec3Scale(Vec3TransformNormal(t, r), -1.0f));
    out = r;
    return platform::S_OK;
}

Matrix MatrixTranslation(float x, float y, float z) {
    Matrix r;
    MatrixSetTranslation(r, {x, y, z});
    return r;
}

Matrix MatrixScaling(float x, float y, float z) {
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

namespace {

// A turn in the plane of axes i and j: m[i][j] = sin, m[j][i] = -sin.
Matrix PlaneRotation(int i, int j, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix r;
    r.m[i][i] = c;
    r.m[i][j] = s;
    r.m[j][i] = -s;
    r.m[j][j] = c;
    return r;
}

} // namespace

Matrix MatrixRotationX(float angle) {
    return PlaneRotation(1, 2, angle);
}
Matrix MatrixRotationY(float angle) {
    return PlaneRotation(2, 0, angle);
}
Matrix MatrixRotationZ(float angle) {
    return PlaneRotation(0, 1, angle);
}

Matrix MatrixRotationAxis(const Vec3& axis, float angle) {
    const Vec3 v = Vec3Normalize(axis);
    // No axis, no turn (rather than a matrix that scales by the cosine).
    if (Vec3LengthSq(v) == 0.0f) return kIdentityMatrix;
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    Matrix r;
    r.m[0][0] = t * v.x * v.x + c;
    r.m[0][1] = t * v.x * v.y + s * v.z;
    r.m[0][2] = t * v.x * v.z - s * v.y;
    r.m[1][0] = t * v.x * v.y - s * v.z;
    r.m[1][1] = t * v.y * v.y + c;
    r.m[1][2] = t * v.y * v.z + s * v.x;
    r.m[2][0] = t * v.x * v.z + s * v.y;
    r.m[2][1] = t * v.y * v.z - s * v.x;
    r.m[2][2] = t * v.z * v.z + c;
    return r;
}

Matrix MatrixRotationYawPitchRoll(float yaw, float pitch, float roll) {
    return MatrixProduct(MatrixProduct(MatrixRotationZ(roll), MatrixRotationX(pitch)), MatrixRotationY(yaw));
}

Matrix MatrixRotationQuaternion(const Quat& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    Matrix r;
    r.m[0][0] = 1.0f - 2.0f * (yy + zz);
    r.m[0][1] = 2.0f * (xy + wz);
    r.m[0][2] = 2.0f * (xz - wy);
    r.m[1][0] = 2.0f * (xy - wz);
    r.m[1][1] = 1.0f - 2.0f * (xx + zz);
    r.m[1][2] = 2.0f * (yz + wx);
    r.m[2][0] = 2.0f * (xz + wy);
    r.m[2][1] = 2.0f * (yz - wx);
    r.m[2][2] = 1.0f - 2.0f * (xx + yy);
    return r;
}

namespace {

// The view whose rows hold the axes as columns and the translation -(axis . eye).
Matrix ViewFromAxes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& eye) {
    Matrix r;
    r.m[0][0] = x.x, r.m[1][0] = x.y, r.m[2][0] = x.z;
    r.m[0][1] = y.x, r.m[1][1] = y.y, r.m[2][1] = y.z;
    r.m[0][2] = z.x, r.m[1][2] = z.y, r.m[2][2] = z.z;
    MatrixSetTranslation(r, {-Vec3Dot(x, eye), -Vec3Dot(y, eye), -Vec3Dot(z, eye)});
    return r;
}

} // namespace

Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
    const Vec3 z = Vec3Normalize(Vec3Sub(at, eye));
    const Vec3 x = Vec3Normalize(Vec3Cross(up, z));
    const Vec3 y = Vec3Cross(z, x);
    return ViewFromAxes(x, y, z, eye);
}

Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    Matrix r;
    r.m[0][0] = aspect == 0.0f ? 0.0f : yScale / aspect;
    r.m[1][1] = yScale;
    r.m[2][2] = zFar == zNear ? 1.0f : zFar / (zFar - zNear);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -r.m[2][2] * zNear;
    r.m[3][3] = 0.0f;
    return r;
}

void SetRotateXMatrix(float angle, Matrix& out) {
    out = MatrixRotationX(angle);
}
void SetRotateYMatrix(float angle, Matrix& out) {
    out = MatrixRotationY(angle);
}
void SetRotateZMatrix(float angle, Matrix& out) {
    out = MatrixRotationZ(angle);
}
void SetRollMatrix(float angle, Matrix& out) {
    out = MatrixTranspose(MatrixRotationZ(angle));
}
void SetRotateXMatrixT(float angle, Matrix& out) {
    out = MatrixTranspose(MatrixRotationX(angle));
}

void SetProjectionMatrix(float fov, float aspect, float zNear, float zFar, Matrix& out) {
    const float cot = 1.0f / std::tan(fov * 0.5f);
    const float q = zFar == zNear ? 1.0f : zFar / (zFar - zNear);
    Matrix r;
    r.m[0][0] = aspect * cot;
    r.m[1][1] = cot;
    r.m[2][2] = q;
    r.m[2][3] = 1.0f;
    r.m[3][2] = -q * zNear;
    r.m[3][3] = 0.0f;
    out = r;
}

void SetViewMatrix(const Vec3& eye, const Vec3& target, const Vec3& up, float roll, Matrix& out) {
    Matrix view = MatrixLookAtLH(eye, target, up);
    if (roll != 0.0f) {
        Matrix r;
        SetRollMatrix(-roll, r);
        view = MatrixProduct(view, r);
    }
    out = view;
}

void MatrixOrientLookAt(const Vec3& eye, const Vec3& target, const Vec3& up, Matrix& out, float roll) {
    // The view's rotation is orthonormal, so its inverse is its transpose;
    // this also stays finite when up is parallel to the view.
    Matrix view;
    SetViewMatrix(eye, target, up, roll, view);
    Matrix r = MatrixTranspose(view);
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0f;
    r.m[3][0] = r.m[3][1] = r.m[3][2] = 0.0f;
    r.m[3][3] = 1.0f;
    out = r;
}

bool KWMatrixGetBasisForDirVect(const Vec3& dir, const Vec3& up, Matrix& m) {
    Vec3 d = dir;
    if (Vec3Length(d) == 0.0f) d = {1, 0, 0};
    d = Vec3Normalize(d);
    for (const Vec3& u : {up, Vec3{0, 1, 0}, Vec3{1, 0, 0}, Vec3{0, 0, 1}}) {
        const Vec3 side = Vec3Cross(u, d);
        if (Vec3Length(side) == 0.0f) continue;
        const Vec3 second = Vec3Normalize(side);
        const Vec3 third = Vec3Normalize(Vec3Cross(d, second));
        MatrixSetAxes(m, &d, &second, &third);
        return true;
    }
    ErrorReport("KWMatrixGetBasisForDirVect(const Vec3& dir, const Vec3& up, Matrix& m)", "mhl");
    return false;
}

void MatrixNormalizeColumns(Matrix& m) {
    alignas(16) float s[4];
    _mm_store_ps(s, MatrixColumnLengths(m));
    // A column of length 0, and the fourth column, are divided by 1: they stay as they are.
    for (int c = 0; c < 3; ++c)
        if (s[c] == 0.0f) s[c] = 1.0f;
    s[3] = 1.0f;
    const __m128 divisor = _mm_load_ps(s);
    for (int r = 0; r < 3; ++r) _mm_storeu_ps(m.m[r], _mm_div_ps(_mm_loadu_ps(m.m[r]), divisor));
}

void MatrixScaleColumns(Matrix& m, const Vec3& scale) {
    const float s[3] = {scale.x, scale.y, scale.z};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) m.m[r][c] *= s[c];
}

void MatrixGetAxes(const Matrix& m, Vec3* x, Vec3* y, Vec3* z) {
    Vec3* axes[3] = {x, y, z};
    for (int r = 0; r < 3; ++r)
        if (axes[r]) *axes[r] = {m.m[r][0], m.m[r][1], m.m[r][2]};
}

void MatrixSetAxes(Matrix& m, const Vec3* x, const Vec3* y, const Vec3* z) {
    const Vec3* axes[3] = {x, y, z};
    for (int r = 0; r < 3; ++r) {
        if (!axes[r]) continue;
        m.m[r][0] = axes[r]->x;
        m.m[r][1] = axes[r]->y;
        m.m[r][2] = axes[r]->z;
    }
}

// ---- transforming points ---------------------------------------------------------

Vec3 TransformPointTransposed(const Vec3& p, const Matrix& m) {
    return Vec3TransformPoint(p, MatrixTranspose(m));
}

void Vec3TransformCoordArray(std::span<const Vec3> in, const Matrix& m, std::span<Vec3> out) {
    const size_t n = std::min(in.size(), out.size());
    for (size_t i = 0; i < n; ++i) out[i] = Vec3TransformCoord(in[i], m);
}

Vec3 Vec3InverseTransformCoord(const Vec3& p, const Matrix& m) {
    Matrix inv;
    if (!MatrixInverse(m, inv)) return p;
    return Vec3TransformCoord(p, inv);
}

Vec3 Vec3Hermite(const Vec3& p1, const Vec3& t1, const Vec3& p2, const Vec3& t2, float s) {
    const float s2 = s * s, s3 = s2 * s;
    const float h1 = 2 * s3 - 3 * s2 + 1;
    const float h2 = s3 - 2 * s2 + s;
    const float h3 = -2 * s3 + 3 * s2;
    const float h4 = s3 - s2;
    return {h1 * p1.x + h2 * t1.x + h3 * p2.x + h4 * t2.x, h1 * p1.y + h2 * t1.y + h3 * p2.y + h4 * t2.y,
            h1 * p1.z + h2 * t1.z + h3 * p2.z + h4 * t2.z};
}

Vec3 Vec3Project(const Vec3& p, const ProjectionViewport& viewport, const Matrix& projection,
                 const Matrix& view, const Matrix& world) {
    const Vec3 c = Vec3TransformCoord(p, MatrixProduct(MatrixProduct(world, view), projection));
    return {viewport.x + (1.0f + c.x) * viewport.width * 0.5f,
            viewport.y + (1.0f - c.y) * viewport.height * 0.5f,
            viewport.minZ + c.z * (viewport.maxZ - viewport.minZ)};
}

// ---- quaternions -------------------------------------------------------------------

Quat QuaternionNormalize(const Quat& q) {
    const float len = QuaternionLength(q);
    if (len == 0.0f) return {0, 0, 0, 0};
    return {q.x / len, q.y / len, q.z / len, q.w / len};
}

Quat QuaternionInverse(const Quat& q) {
    const float lenSq = QuaternionDot(q, q);
    if (lenSq == 0.0f) return {0, 0, 0, 0};
    return {-q.x / lenSq, -q.y / lenSq, -q.z / lenSq, q.w / lenSq};
}

Quat QuaternionMultiply(const Quat& q1, const Quat& q2) {
    // The Hamilton product q2 q1: q1 turns first.
    const Quat& a = q2;
    const Quat& b = q1;
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quat QuaternionRotationAxis(const Vec3& axis, float angle) {
    const Vec3 v = Vec3Normalize(axis);
    if (Vec3LengthSq(v) == 0.0f) return {};
    const float s = std::sin(angle * 0.5f);
    return {v.x * s, v.y * s, v.z * s, std::cos(angle * 0.5f)};
}

Quat QuaternionSlerp(const Quat& q1, const Quat& q2, float t) {
    float dot = QuaternionDot(q1, q2);
    float sign = 1.0f;
    if (dot < 0.0f) {
        sign = -1.0f;
        dot = -dot;
    }
    float w1 = 1.0f - t, w2 = t;
    // Nearly equal rotations interpolate linearly: sin(theta) would be ~0.
    if (1.0f - dot > 0.001f) {
        const float theta = std::acos(std::min(dot, 1.0f));
        const float sinTheta = std::sin(theta);
        w1 = std::sin(theta * (1.0f - t)) / sinTheta;
        w2 = std::sin(theta * t) / sinTheta;
    }
    w2 *= sign;
    return {w1 * q1.x + w2 * q2.x, w1 * q1.y + w2 * q2.y, w1 * q1.z + w2 * q2.z, w1 * q1.w + w2 * q2.w};
}

Quat QuaternionFromVectors(const Vec3& a, const Vec3& b) {
    const float la = Vec3Length(a), lb = Vec3Length(b);
    if (la == 0.0f || lb == 0.0f) return {};
    const float c = ClampCos(Vec3Dot(a, b) / (la * lb));
    Vec3 axis = Vec3Cross(a, b);
    if (Vec3Length(axis) == 0.0f) {
        if (c > 0.0f) return {};
        // Opposite directions: any perpendicular axis gives the half turn.
        axis = Vec3Cross(a, {1, 0, 0});
        if (Vec3Length(axis) == 0.0f) axis = Vec3Cross(a, {0, 1, 0});
        return QuaternionRotationAxis(axis, kPi);
    }
    return QuaternionRotationAxis(axis, std::acos(c));
}

Vec3 Vec3RotateByQuaternion(const Vec3& v, const Quat& q) {
    // q v q^-1 in Hamilton order, which QuaternionMultiply writes reversed.
    const Quat p{v.x, v.y, v.z, 0.0f};
    const Quat r = QuaternionMultiply(QuaternionMultiply(QuaternionInverse(q), p), q);
    return {r.x, r.y, r.z};
}

Vec3 Vec3RotateAroundAxis(const Vec3& p, const Vec3& axis, float angle) {
    return Vec3TransformCoord(p, MatrixRotationAxis(axis, -angle));
}

} // namespace vesk
