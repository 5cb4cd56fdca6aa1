#include "shared/math.h"

#include "math_expect.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace vesk;

namespace {

constexpr float kEps = test::kMathEps;
using test::ExpectMatrix;
using test::ExpectVec;

Matrix MakeMatrix(std::initializer_list<float> values) {
    Matrix m;
    int i = 0;
    for (float v : values) m.m[i / 4][i % 4] = v, ++i;
    return m;
}

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A rotated, scaled and moved matrix used by several cases.
Matrix SampleAffine() {
    return MatrixProduct(
        MatrixProduct(MatrixScaling(2, 3, 0.5f), MatrixRotationYawPitchRoll(0.3f, -0.7f, 1.1f)),
        MatrixTranslation(10, -20, 30));
}

} // namespace

TEST(MathVectors, HandComputedProductsAndAliasSafeForms) {
    const Vec3 a{1, 2, 3}, b{4, 5, 6};
    ExpectVec(Vec3Cross(a, b), {-3, 6, -3});
    EXPECT_FLOAT_EQ(Vec3Dot(a, b), 32);
    ExpectVec(Vec3CrossFlipZ(a, b), {-3, 6, 3});
    ExpectVec(Vec3Delta(a, b), {3, 3, 3});
    ExpectVec(Vec3Lerp(a, b, 2.0f), {7, 8, 9}); // t is not clamped
    EXPECT_FLOAT_EQ(Vec3ProjectDiff(a, b, {0, 0, 1}), -3);
    EXPECT_FLOAT_EQ(Vec3Length({2, 3, 6}), 7);
    EXPECT_DOUBLE_EQ(Vec3dLength({2, 3, 6}), 7);
    EXPECT_DOUBLE_EQ(Vec3dLength({1e-8, 0, 0}), 0); // below 1e-7 counts as zero

    Vec3 out{1, 1, 1};
    Vec3AddScaledDiff(b, a, 2, out);
    ExpectVec(out, {7, 7, 7});
    // The pointer forms may write over an input.
    Vec3 c = a;
    Vec3CrossP(&c, &b, &c);
    ExpectVec(c, {-3, 6, -3});
    Vec3 n = a;
    Vec3Negate(n);
    ExpectVec(n, {-1, -2, -3});

    // Distance tests are strict: touching is not within or overlapping.
    EXPECT_FALSE(PointsWithinDistance({0, 0, 0}, {3, 4, 0}, 5));
    EXPECT_TRUE(PointsWithinDistance({0, 0, 0}, {3, 4, 0}, 5.001f));
    EXPECT_FALSE(SpheresOverlap({0, 0, 0}, 2, {3, 4, 0}, 3));
    EXPECT_FALSE(SpheresOverlapSq({0, 0, 0}, 2, {3, 4, 0}, 3));
    EXPECT_TRUE(SpheresOverlap({0, 0, 0}, 2, {3, 4, 0}, 3.01f));
    EXPECT_TRUE(SpheresOverlapSq({0, 0, 0}, 2, {3, 4, 0}, 3.01f));
}

TEST(MathVectors, ZeroDivisorsGiveLimitsNotNaN) {
    ExpectVec(VectorDivide({1, 2, 3}, 0), {0, 0, 0});
    ExpectVec(VectorDivide({2, 4, 6}, 2), {1, 2, 3});
    ExpectVec(VectorNormalize({0, 0, 0}), {0, 0, 0});
    ExpectVec(Vec3Normalize({0, 3, 4}), {0, 0.6f, 0.8f});
    EXPECT_EQ(Vec3CosAngle({0, 0, 0}, {1, 0, 0}), 0.0f);
    EXPECT_NEAR(Vec3CosAngle({2, 0, 0}, {1, 1, 0}), std::sqrt(0.5f), kEps);

    // Unit vectors whose cosine with themselves rounds above 1 give 0, not NaN.
    int roundedAbove = 0;
    for (int i = 1; i < 2000; ++i) {
        const Vec3 v = Vec3Normalize({std::sin(i * 0.37f), std::cos(i * 0.91f), 0.1f * i});
        const Vec3 w = Vec3Scale(v, 3.0f);
        const float angle = Vec3AngleBetween(v, w);
        ASSERT_TRUE(angle >= 0.0f && angle < 1e-3f) << i;
        if (Vec3CosAngle(v, w) > 1.0f) {
            ++roundedAbove;
            ASSERT_EQ(angle, 0.0f) << i;
        }
    }
    EXPECT_GT(roundedAbove, 0) << "no sample exercised the clamp";
}

TEST(MathVectors, ProjectOnPlaneAndRandomDirections) {
    ExpectVec(Vec3ProjectOnPlane({1, 1, 1}, {2, 0, 0}, {0, 3, 0}), Vec3Normalize({1, 1, 0}));
    ExpectVec(Vec3ProjectOnPlane({1, 2, 3}, {1, 0, 0}, {2, 0, 0}), {1, 2, 3}); // parallel: unchanged

    float values[] = {0.1f, 0.7f, 0.35f, 0.9f, 0.0f, 0.5f};
    int next = 0;
    const UniformSource fixed = [&] { return values[next++ % 6]; };
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(Vec3Length(RandomUnitVector(fixed)), 1.0f, kEps);
    // Only x turns: (0, 0, 1) about x by 0.25 turn is (0, -1, 0).
    float quarter[] = {0.25f, 0.0f, 0.0f};
    next = 0;
    ExpectVec(RandomUnitVector([&] { return quarter[next++]; }), {0, -1, 0});

    // The engine's own generator repeats after a reseed.
    SeedUniformRandom(11);
    const Vec3 first = RandomUnitVector();
    SeedUniformRandom(11);
    ExpectVec(RandomUnitVector(), first);
    for (int i = 0; i < 1000; ++i) {
        const float u = UniformRandom();
        ASSERT_TRUE(u >= 0.0f && u < 1.0f);
    }

    const Vec3 dir{3, -1, 2};
    for (int roll = 0; roll <= 6; ++roll) {
        const Vec3 v = DeviatedDirectionRolled(dir, 0.4f, roll);
        EXPECT_NEAR(Vec3Length(v), 1.0f, kEps);
        EXPECT_NEAR(Vec3AngleBetween(v, dir), 0.4f, 1e-4f) << roll;
    }
    // Different rolls give different points on the cone.
    EXPECT_GT(
        Vec3Length(Vec3Sub(DeviatedDirectionRolled(dir, 0.4f, 0), DeviatedDirectionRolled(dir, 0.4f, 1))),
        0.1f);
    for (const Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 0, -5}})
        EXPECT_NEAR(Vec3AngleBetween(DeviatedDirection(axis, 1.0f, [] { return 0.99f; }), axis), 1.0f, 1e-4f);
}

// Pixels, percentages and shown values round halves away from zero on both
// sides of it: neither to even nor by adding a half and cutting.
TEST(MathRounding, HalvesGoAwayFromZero) {
    const struct {
        float v;
        int want;
    } cases[] = {{0.0f, 0},   {0.49f, 0},  {0.5f, 1},   {1.5f, 2},   {2.5f, 3},
                 {-0.5f, -1}, {-1.5f, -2}, {-2.5f, -3}, {-0.49f, 0}, {767.5f, 768}};
    for (const auto& c : cases) EXPECT_EQ(Round(c.v), c.want) << c.v;
}

TEST(MathAngles, DirToYawPitchAndSinCosToAngle) {
    struct Case {
        Vec3 dir;
        float yaw, pitch;
    };
    const Case cases[] = {
        {{1, 0, 0}, 0, 0},
        {{0, 0, 1}, kPi / 2, 0},
        {{-2, 0, 0}, kPi, 0},
        {{0, 0, -1}, 3 * kPi / 2, 0}, // x of the flattened direction is 0, z < 0
        {{1, 0, -1}, 7 * kPi / 4, 0},
        {{1, 1, 0}, 0, kPi / 4},
        {{0, -3, 0}, kPi / 2, -kPi / 2}, // flattened to zero
    };
    for (const Case& c : cases) {
        float yaw = -1, pitch = -1;
        DirToYawPitch(c.dir, &yaw, &pitch);
        EXPECT_NEAR(yaw, c.yaw, 1e-5f) << c.dir.x << "," << c.dir.y << "," << c.dir.z;
        EXPECT_NEAR(pitch, c.pitch, 1e-5f) << c.dir.x << "," << c.dir.y << "," << c.dir.z;
    }
    float pitch = 0;
    DirToYawPitch({1, 1, 0}, nullptr, &pitch); // either output may be omitted
    EXPECT_NEAR(pitch, kPi / 4, 1e-5f);

    for (float a : {0.0f, 0.5f, kPi / 2, 2.0f, kPi, 4.0f, 3 * kPi / 2, 6.0f, 6.28f}) {
        EXPECT_NEAR(SinCosToAngle(std::sin(a), std::cos(a)), a, 1e-5f) << a;
    }
    const float tiny = SinCosToAngle(-1e-9f, 1.0f);
    EXPECT_TRUE(tiny >= 0 && tiny < kTwoPi);
}

TEST(MathMatrices, MultiplyOrders) {
    const Matrix t = MatrixTranslation(1, 2, 3);
    const Matrix r = MatrixRotationZ(kPi / 2);
    // MatrixProduct(a, b) applies a first: move, then turn.
    ExpectVec(Vec3TransformPoint({0, 0, 0}, MatrixProduct(t, r)), {-2, 1, 3});
    Matrix ref;
    MatrixMultiplyRef(t, r, ref);
    ExpectMatrix(ref, MatrixProduct(t, r));
    // MatrixMultiply(first, second) is second x first, even written over an input.
    Matrix out = t;
    MatrixMultiply(out, r, out);
    ExpectMatrix(out, MatrixProduct(r, t));
    ExpectVec(Vec3TransformPoint({0, 0, 0}, out), {1, 2, 3});
}

TEST(MathMatrices, InverseAndDeterminant) {
    const Matrix m = MakeMatrix({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1});
    EXPECT_FLOAT_EQ(MatrixDeterminant(m), 24);
    Matrix inv;
    float det = 0;
    ASSERT_TRUE(MatrixInverse(m, inv, &det));
    EXPECT_FLOAT_EQ(det, 24);
    ExpectMatrix(inv,
                 MakeMatrix({0.5f, 0, 0, 0, 0, 1 / 3.f, 0, 0, 0, 0, 0.25f, 0, -0.5f, -2 / 3.f, -0.75f, 1}));

    // A full projective matrix: m * inverse is the identity.
    const Matrix p = MakeMatrix({1, 2, 0, 1, 0, 1, 3, 0, 2, 0, 1, 1, 1, 1, 1, 2});
    ASSERT_TRUE(MatrixInverse(p, inv));
    ExpectMatrix(MatrixProduct(p, inv), kIdentityMatrix, 1e-5f);

    Matrix untouched = MatrixTranslation(7, 7, 7);
    const Matrix singular = MakeMatrix({1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_FALSE(MatrixInverse(singular, untouched, &det));
    EXPECT_EQ(det, 0.0f);
    ExpectMatrix(untouched, MatrixTranslation(7, 7, 7));
    ExpectVec(Vec3InverseTransformCoord({1, 2, 3}, singular), {1, 2, 3});

    const Matrix a = SampleAffine();
    ExpectVec(Vec3InverseTransformCoord(Vec3TransformCoord({4, 5, 6}, a), a), {4, 5, 6}, 1e-4f);
}

TEST(MathMatrices, InvertAffineTolerance) {
    struct Case {
        const char* name;
        int row, col;
        float value;
        platform::Result result;
    };
    const Case cases[] = {
        {"plain", 3, 3, 1.0f, platform::S_OK},
        {"m44 within", 3, 3, 1.0005f, platform::S_OK},
        {"m44 beyond", 3, 3, 1.002f, platform::E_INVALIDARG},
        {"m14 within", 0, 3, -0.0009f, platform::S_OK},
        {"m14 beyond", 0, 3, 0.002f, platform::E_INVALIDARG},
        {"m24 beyond", 1, 3, -0.002f, platform::E_INVALIDARG},
        {"m34 beyond", 2, 3, 0.002f, platform::E_INVALIDARG},
    };
    for (const Case& c : cases) {
        Matrix m = SampleAffine();
        m.m[c.row][c.col] = c.value;
        Matrix inv = MatrixTranslation(9, 9, 9);
        EXPECT_EQ(MatrixInvertAffine(m, inv), c.result) << c.name;
        if (c.result != platform::S_OK) {
            ExpectMatrix(inv, MatrixTranslation(9, 9, 9));
            continue;
        }
        // The inverse is exactly affine and undoes the point transform.
        EXPECT_EQ(inv.m[0][3], 0.0f);
        EXPECT_EQ(inv.m[1][3], 0.0f);
        EXPECT_EQ(inv.m[2][3], 0.0f);
        EXPECT_EQ(inv.m[3][3], 1.0f);
        for (const Vec3 p : {Vec3{0, 0, 0}, Vec3{1, -2, 3}, Vec3{-40, 5, 12}}) {
            ExpectVec(Vec3TransformPoint(Vec3TransformPoint(p, m), inv), p, 2e-4f);
        }
    }
    // Hand-computed: scale 2 and translation (4, 6, 8).
    Matrix inv;
    ASSERT_EQ(MatrixInvertAffine(MakeMatrix({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 4, 6, 8, 1}), inv),
              platform::S_OK);
    ExpectMatrix(inv, MakeMatrix({0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, -2, -3, -4, 1}));
    // A flat orientation has no inverse.
    EXPECT_EQ(MatrixInvertAffine(MatrixScaling(1, 0, 1), inv), platform::E_INVALIDARG);
}

TEST(MathMatrices, RotationsFollowOneConvention) {
    struct Case {
        const char* name;
        Matrix m;
        Vec3 in, out;
    };
    Matrix rx, ry, rz, roll, xt;
    SetRotateXMatrix(kPi / 2, rx);
    SetRotateYMatrix(kPi / 2, ry);
    SetRotateZMatrix(kPi / 2, rz);
    SetRollMatrix(kPi / 2, roll);
    SetRotateXMatrixT(kPi / 2, xt);
    const Case cases[] = {
        {"x", rx, {0, 1, 0}, {0, 0, 1}},
        {"y", ry, {0, 0, 1}, {1, 0, 0}},
        {"z", rz, {1, 0, 0}, {0, 1, 0}},
        {"roll", roll, {1, 0, 0}, {0, -1, 0}},
        {"x transposed", xt, {0, 1, 0}, {0, 0, -1}},
        {"axis z", MatrixRotationAxis({0, 0, 3}, kPi / 2), {1, 0, 0}, {0, 1, 0}},
        {"axis diagonal", MatrixRotationAxis({1, 1, 1}, kTwoPi / 3), {1, 0, 0}, {0, 1, 0}},
        {"no axis", MatrixRotationAxis({0, 0, 0}, kPi / 2), {1, 2, 3}, {1, 2, 3}},
        {"quaternion without axis",
         MatrixRotationQuaternion(QuaternionRotationAxis({}, 1)),
         {1, 2, 3},
         {1, 2, 3}},
        {"quaternion z",
         MatrixRotationQuaternion(QuaternionRotationAxis({0, 0, 1}, kPi / 2)),
         {1, 0, 0},
         {0, 1, 0}},
        {"yaw", MatrixRotationYawPitchRoll(kPi / 2, 0, 0), {0, 0, 1}, {1, 0, 0}},
        // Roll first, then pitch, then yaw.
        {"roll pitch yaw", MatrixRotationYawPitchRoll(kPi / 2, kPi / 2, kPi / 2), {1, 0, 0}, {1, 0, 0}},
        {"pitch then yaw", MatrixRotationYawPitchRoll(kPi / 2, kPi / 2, 0), {0, 1, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) ExpectVec(Vec3TransformNormal(c.in, c.m), c.out);
}

TEST(MathMatrices, ViewAndProjection) {
    // Looking down +z from z = -5 is a plain move.
    ExpectMatrix(MatrixLookAtLH({0, 0, -5}, {0, 0, 0}, {0, 1, 0}), MatrixTranslation(0, 0, 5));
    // The engine camera: up z, looking along +x from (1, 2, 3).
    const Matrix view = MatrixLookAtLH({1, 2, 3}, {6, 2, 3}, {0, 0, 1});
    ExpectMatrix(view, MakeMatrix({0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, -2, -3, -1, 1}));
    ExpectVec(Vec3TransformCoord({6, 2, 3}, view), {0, 0, 5});
    ExpectVec(Vec3TransformCoord({1, 4, 3}, view), {2, 0, 0}); // +y world is screen right

    Matrix sv;
    SetViewMatrix({1, 2, 3}, {6, 2, 3}, {0, 0, 1}, 0, sv);
    ExpectMatrix(sv, view);
    Matrix rolled, r;
    SetViewMatrix({1, 2, 3}, {6, 2, 3}, {0, 0, 1}, 0.3f, rolled);
    SetRollMatrix(-0.3f, r);
    ExpectMatrix(rolled, MatrixProduct(view, r));

    Matrix orient;
    MatrixOrientLookAt({1, 2, 3}, {6, 2, 3}, {0, 0, 1}, orient);
    ExpectMatrix(orient, MakeMatrix({0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    Matrix orientRolled;
    MatrixOrientLookAt({1, 2, 3}, {6, 2, 3}, {0, 0, 1}, orientRolled, 0.3f);
    Matrix undo = MatrixProduct(orientRolled, rolled); // the orientation undoes the view's turn
    MatrixClearTranslation(undo);
    ExpectMatrix(undo, kIdentityMatrix);
    MatrixOrientLookAt({0, 0, 0}, {0, 0, 1}, {0, 0, 1}, orient); // up along the view: finite
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Finite({orient.m[i][0], orient.m[i][1], orient.m[i][2]}));

    const Matrix fov = MatrixPerspectiveFovLH(kPi / 2, 2.0f, 1.0f, 101.0f);
    ExpectMatrix(fov, MakeMatrix({0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0}));
    EXPECT_NEAR(Vec3TransformCoord({0, 0, 1}, fov).z, 0.0f, kEps);
    EXPECT_NEAR(Vec3TransformCoord({0, 0, 101}, fov).z, 1.0f, kEps);
    ExpectVec(Vec3TransformCoord({20, 10, 10}, fov), {1, 1, 0.909f}, 1e-3f);

    Matrix proj;
    SetProjectionMatrix(kPi / 2, -2.0f, 3.0f, 15.0f, proj); // the aspect multiplies here
    ExpectMatrix(proj, MakeMatrix({-2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.25f, 1, 0, 0, -3.75f, 0}));
}

TEST(MathMatrices, BasisForDirection) {
    struct Case {
        const char* name;
        Vec3 dir, up, r1, r2, r3;
    };
    const Case cases[] = {
        {"plain", {2, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"zero direction", {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"up along z falls back to y", {0, 0, 1}, {0, 0, 5}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        {"up along y falls back to x", {0, 3, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {"tilted up is squared",
         {1, 0, 0},
         {0, 1, 1},
         {1, 0, 0},
         {0, std::sqrt(0.5f), -std::sqrt(0.5f)},
         {0, std::sqrt(0.5f), std::sqrt(0.5f)}},
    };
    for (const Case& c : cases) {
        Matrix m = MatrixTranslation(7, 8, 9);
        ASSERT_TRUE(KWMatrixGetBasisForDirVect(c.dir, c.up, m)) << c.name;
        Vec3 r1, r2, r3;
        MatrixGetAxes(m, &r1, &r2, &r3);
        ExpectVec(r1, c.r1);
        ExpectVec(r2, c.r2);
        ExpectVec(r3, c.r3);
        ExpectVec(MatrixGetTranslation(m), {7, 8, 9}); // the fourth row is kept
    }
}

// The vector forms give the very bits the element-by-element sums give: the
// replayed game depends on every unit's matrix rounding as it always has.
TEST(MathMatrices, FastFormsRoundAsTheElementSumsDo) {
    const auto bits = [](float f) { return std::bit_cast<uint32_t>(f); };
    const auto expectSameBits = [&](const Matrix& got, const Matrix& want, const std::string& what) {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(bits(got.m[i][j]), bits(want.m[i][j])) << what << " [" << i << "][" << j << "]";
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    const auto randomMatrix = [&] {
        Matrix m;
        for (auto& row : m.m)
            for (float& f : row) f = value(random);
        return m;
    };
    // Signed zeros, magnitudes far apart and a turned, scaled, moved matrix
    // besides the random ones: the cases where a different order of sums rounds differently.
    std::vector<Matrix> matrices = {
        kIdentityMatrix, SampleAffine(),
        MakeMatrix({-0.0f, 0, -0.0f, 0, 0, -1, -0.0f, 0, 1e-30f, 3e7f, -2, 0, 1e20f, -1e20f, 0.5f, 1}),
        MatrixScaling(1, 0, 2)};
    for (int i = 0; i < 40; ++i) matrices.push_back(randomMatrix());
    for (size_t ia = 0; ia < matrices.size(); ++ia)
        for (size_t ib = 0; ib < matrices.size(); ib += 3) {
            const Matrix& a = matrices[ia];
            const Matrix& b = matrices[ib];
            Matrix want;
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    want.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                                   a.m[i][3] * b.m[3][j];
            const std::string what = "product " + std::to_string(ia) + " x " + std::to_string(ib);
            expectSameBits(MatrixProduct(a, b), want, what);
            Matrix intoFirst = a, intoSecond = b;
            MatrixProductTo(intoFirst, b, intoFirst);
            MatrixProductTo(a, intoSecond, intoSecond);
            expectSameBits(intoFirst, want, what + " into a");
            expectSameBits(intoSecond, want, what + " into b");
        }
    for (size_t k = 0; k < matrices.size(); ++k) {
        const Matrix& m = matrices[k];
        Matrix want = m;
        const Vec3 scale = MatrixGetColumnScale(m);
        const float scales[3] = {scale.x, scale.y, scale.z};
        for (int c = 0; c < 3; ++c) {
            const float length =
                std::sqrt(m.m[0][c] * m.m[0][c] + m.m[1][c] * m.m[1][c] + m.m[2][c] * m.m[2][c]);
            EXPECT_EQ(bits(scales[c]), bits(length)) << "scale " << k << " column " << c;
            if (length != 0.0f)
                for (int r = 0; r < 3; ++r) want.m[r][c] /= length;
        }
        Matrix got = m;
        MatrixNormalizeColumns(got);
        expectSameBits(got, want, "normalised " + std::to_string(k));
    }
    // Equal values in other bits are other matrices; a NaN is the same as itself.
    Matrix zero = MatrixScaling(1, 0, 1), negativeZero = zero;
    negativeZero.m[1][1] = -0.0f;
    EXPECT_FALSE(MatrixSameBits(zero, negativeZero));
    Matrix nan = kIdentityMatrix;
    nan.m[3][2] = std::nanf("");
    EXPECT_TRUE(MatrixSameBits(nan, nan));
    EXPECT_FALSE(MatrixSameBits(nan, kIdentityMatrix));
}

TEST(MathMatrices, ColumnsAxesAndTranslation) {
    Matrix m = MatrixRotationYawPitchRoll(0.4f, 0.2f, -0.9f);
    MatrixScaleColumns(m, {2, 3, 4});
    ExpectVec(MatrixGetColumnScale(m), {2, 3, 4});
    MatrixNormalizeColumns(m);
    ExpectMatrix(m, MatrixRotationYawPitchRoll(0.4f, 0.2f, -0.9f));
    Matrix flat = MatrixScaling(1, 0, 2);
    MatrixNormalizeColumns(flat); // a zero column stays zero
    ExpectMatrix(flat, MatrixScaling(1, 0, 1));

    const Vec3 y{4, 5, 6};
    MatrixSetAxes(m, nullptr, &y, nullptr);
    Vec3 x, yy;
    MatrixGetAxes(m, &x, &yy, nullptr);
    ExpectVec(yy, y);
    ExpectVec(x, {m.m[0][0], m.m[0][1], m.m[0][2]});

    MatrixSetTranslation(m, {1, 2, 3});
    MatrixAddTranslation(m, {1, 1, 1});
    ExpectVec(MatrixGetTranslation(m), {2, 3, 4});
    MatrixClearTranslation(m);
    ExpectVec(MatrixGetTranslation(m), {0, 0, 0});
}

TEST(MathTransforms, PointForms) {
    const Matrix m = MakeMatrix({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    const Vec3 p{1, 0, 2};
    ExpectVec(Vec3TransformPoint(p, m), {32, 36, 40});
    ExpectVec(Vec3TransformOffset(p, m, {1, 1, 1}), {33, 37, 41});
    ExpectVec(TransformPointTransposed(p, m), {11, 27, 43});
    ExpectVec(Vec3TransformCoord(p, m), {32 / 44.f, 36 / 44.f, 40 / 44.f});
    ExpectVec(Vec3TransformNormal(p, m), {19, 22, 25});
    const Vec4 v = Vec4Transform({1, 0, 2, 0.5f}, m);
    EXPECT_FLOAT_EQ(v.x, 25.5f);
    EXPECT_FLOAT_EQ(v.w, 36.0f);
    Vec3 q = p;
    Vec3TransformInPlace(q, m);
    ExpectVec(q, {32, 36, 40});

    // w = 0 leaves the point undivided instead of infinite.
    Matrix w0 = kIdentityMatrix;
    w0.m[3][3] = 0;
    ExpectVec(Vec3TransformCoord({1, 2, 3}, w0), {1, 2, 3});

    std::vector<Vec3> pts{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3TransformCoordArray(pts, MatrixTranslation(1, 1, 1), pts);
    ExpectVec(pts[2], {1, 1, 2});

    ExpectVec(Vec3Hermite({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, 0), {0, 0, 0});
    ExpectVec(Vec3Hermite({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, 1), {2, 0, 0});
    ExpectVec(Vec3Hermite({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, 0.5f), {1.125f, -0.125f, 0});

    const ProjectionViewport vp{10, 20, 800, 600, 0, 1};
    const Matrix proj = MatrixPerspectiveFovLH(kPi / 2, 800.f / 600.f, 1, 100);
    const Matrix view = MatrixLookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    ExpectVec(Vec3Project({0, 0, 0}, vp, proj, view, kIdentityMatrix),
              {410, 320, Vec3TransformCoord({0, 0, 10}, proj).z});
    // Up on the world is up on the screen (smaller y).
    EXPECT_LT(Vec3Project({0, 1, 0}, vp, proj, view, kIdentityMatrix).y, 320.0f);
}

TEST(MathQuaternions, TurnsAgreeWithMatrices) {
    const Quat q1 = QuaternionNormalize(QuaternionMake(0.3, -0.2, 0.5, 0.8));
    const Quat q2 = QuaternionRotationAxis({1, 2, -1}, 1.3f);
    const Vec3 v{1, -2, 0.5f};
    ExpectVec(Vec3RotateByQuaternion(v, q1), Vec3TransformNormal(v, MatrixRotationQuaternion(q1)));
    ExpectVec(Vec3RotateByQuaternion(v, q2), Vec3TransformNormal(v, MatrixRotationAxis({1, 2, -1}, 1.3f)));
    // QuaternionMultiply(q1, q2) turns by q1 and then by q2.
    ExpectVec(Vec3RotateByQuaternion(v, QuaternionMultiply(q1, q2)),
              Vec3RotateByQuaternion(Vec3RotateByQuaternion(v, q1), q2));
    ExpectVec(Vec3RotateByQuaternion(Vec3RotateByQuaternion(v, q2), QuaternionInverse(q2)), v);
    const Quat zero = QuaternionInverse({0, 0, 0, 0});
    EXPECT_EQ(zero.w, 0.0f);

    // Turning about an axis uses the matrix of the negated angle.
    ExpectVec(Vec3RotateAroundAxis({1, 0, 0}, {0, 0, 1}, kPi / 2), {0, -1, 0});
    Vec3 out;
    const Vec3 p{1, 0, 0}, axis{0, 0, 1};
    Vec3RotateAroundAxisP(&p, &axis, -kPi / 2, &out);
    ExpectVec(out, {0, 1, 0});
}

TEST(MathQuaternions, FromVectorsIncludingOpposites) {
    struct Case {
        Vec3 a, b;
    };
    const Case cases[] = {
        {{1, 0, 0}, {0, 1, 0}},     {{1, 0, 0}, {1, 0, 0}},    {{1, 0, 0}, {-1, 0, 0}},
        {{0, 0, 2}, {3, 0, 0}},     {{1, 2, 3}, {-2, -4, -6}}, {{0, 1, 0}, {0, -5, 0}},
        {{1, 1, 0}, {0.3f, -2, 7}},
    };
    for (const Case& c : cases) {
        const Quat q = QuaternionFromVectors(c.a, c.b);
        EXPECT_NEAR(QuaternionLength(q), 1.0f, kEps);
        ExpectVec(Vec3RotateByQuaternion(Vec3Normalize(c.a), q), Vec3Normalize(c.b), 1e-4f);
    }
    const Quat none = QuaternionFromVectors({0, 0, 0}, {1, 0, 0});
    EXPECT_EQ(none.w, 1.0f);
}

TEST(MathQuaternions, Slerp) {
    const Quat a{}; // identity
    const Quat b = QuaternionRotationAxis({0, 0, 1}, kPi / 2);
    const Quat half = QuaternionSlerp(a, b, 0.5f);
    ExpectVec(Vec3RotateByQuaternion({1, 0, 0}, half), {std::sqrt(0.5f), std::sqrt(0.5f), 0});
    const Quat end = QuaternionSlerp(a, b, 1.0f);
    EXPECT_NEAR(std::fabs(QuaternionDot(end, b)), 1.0f, kEps);
    // The same rotation written negated still takes the short way.
    const Quat nb{-b.x, -b.y, -b.z, -b.w};
    ExpectVec(Vec3RotateByQuaternion({1, 0, 0}, QuaternionSlerp(a, nb, 0.5f)),
              {std::sqrt(0.5f), std::sqrt(0.5f), 0});
    // Nearly equal rotations stay finite.
    const Quat c = QuaternionSlerp(b, b, 0.3f);
    EXPECT_NEAR(QuaternionDot(c, b), 1.0f, kEps);
}
