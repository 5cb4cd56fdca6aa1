// Batches of the hot math routines: vector work, point transforms, matrix
// products and inverses. Items processed are points or matrices, so the
// reported rate gives the per-item time.
#include "shared/math.h"
#include "shared/math_frustum.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace vesk;

namespace {

std::vector<Vec3> MakePoints(size_t n) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
    std::vector<Vec3> points(n);
    for (Vec3& p : points) p = {dist(rng), dist(rng), dist(rng)};
    return points;
}

std::vector<Matrix> MakeMatrices(size_t n) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> angle(-3.0f, 3.0f), move(-500.0f, 500.0f);
    std::vector<Matrix> out(n);
    for (Matrix& m : out) {
        m = MatrixProduct(MatrixRotationYawPitchRoll(angle(rng), angle(rng), angle(rng)),
                          MatrixTranslation(move(rng), move(rng), move(rng)));
    }
    return out;
}

constexpr size_t kPoints = 1'000'000;
constexpr size_t kMatrices = 10'000;

void BM_VectorBatch(benchmark::State& state) {
    const std::vector<Vec3> points = MakePoints(kPoints);
    for (auto _ : state) {
        Vec3 acc{};
        float len = 0;
        for (size_t i = 1; i < points.size(); ++i) {
            const Vec3 n = Vec3Normalize(Vec3Cross(points[i - 1], points[i]));
            acc = Vec3Add(acc, Vec3Scale(n, Vec3Dot(n, points[i])));
            len += Vec3Length(Vec3Sub(points[i], points[i - 1]));
        }
        benchmark::DoNotOptimize(acc);
        benchmark::DoNotOptimize(len);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * (kPoints - 1));
}
BENCHMARK(BM_VectorBatch)->Unit(benchmark::kMillisecond);

void BM_TransformPoints(benchmark::State& state) {
    const std::vector<Vec3> points = MakePoints(kPoints);
    std::vector<Vec3> out(kPoints);
    const Matrix m = MakeMatrices(1)[0];
    for (auto _ : state) {
        for (size_t i = 0; i < kPoints; ++i) out[i] = Vec3TransformPoint(points[i], m);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPoints);
}
BENCHMARK(BM_TransformPoints)->Unit(benchmark::kMillisecond);

void BM_TransformCoordPoints(benchmark::State& state) {
    const std::vector<Vec3> points = MakePoints(kPoints);
    std::vector<Vec3> out(kPoints);
    const Matrix viewProj = MatrixProduct(MatrixLookAtLH({0, 0, -3000}, {0, 0, 0}, {0, 1, 0}),
                                          MatrixPerspectiveFovLH(kPi / 3, 4.0f / 3.0f, 1.0f, 10000.0f));
    for (auto _ : state) {
        Vec3TransformCoordArray(points, viewProj, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPoints);
}
BENCHMARK(BM_TransformCoordPoints)->Unit(benchmark::kMillisecond);

void BM_MatrixProduct(benchmark::State& state) {
    const std::vector<Matrix> ms = MakeMatrices(kMatrices);
    for (auto _ : state) {
        Matrix acc = kIdentityMatrix;
        for (const Matrix& m : ms) acc = MatrixProduct(acc, m);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMatrices);
}
BENCHMARK(BM_MatrixProduct)->Unit(benchmark::kMicrosecond);

void BM_MatrixInverse(benchmark::State& state) {
    const std::vector<Matrix> ms = MakeMatrices(kMatrices);
    std::vector<Matrix> out(kMatrices);
    for (auto _ : state) {
        for (size_t i = 0; i < kMatrices; ++i) MatrixInverse(ms[i], out[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMatrices);
}
BENCHMARK(BM_MatrixInverse)->Unit(benchmark::kMicrosecond);

void BM_MatrixInvertAffine(benchmark::State& state) {
    const std::vector<Matrix> ms = MakeMatrices(kMatrices);
    std::vector<Matrix> out(kMatrices);
    for (auto _ : state) {
        for (size_t i = 0; i < kMatrices; ++i) benchmark::DoNotOptimize(MatrixInvertAffine(ms[i], out[i]));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMatrices);
}
BENCHMARK(BM_MatrixInvertAffine)->Unit(benchmark::kMicrosecond);

void BM_FrustumTest(benchmark::State& state) {
    const std::vector<Vec3> points = MakePoints(kPoints);
    FrustumClass frustum;
    frustum.Build({0, 0, 0}, {1, 0.2f, 0.1f}, 60.0f, {0, 0, 1});
    for (auto _ : state) {
        int visible = 0;
        for (const Vec3& p : points) visible += frustum.ContainsPoint(p) ? 1 : 0;
        benchmark::DoNotOptimize(visible);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPoints);
}
BENCHMARK(BM_FrustumTest)->Unit(benchmark::kMillisecond);

} // namespace
