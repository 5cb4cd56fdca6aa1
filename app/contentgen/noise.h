#pragma once
// Deterministic noise for the generated shapes, pictures and sounds: integer
// hashing only, so every run and every machine draws the same values.
#include <cmath>
#include <cstdint>

namespace vesk::contentgen {

inline uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

inline uint32_t Hash3(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    return Hash(
        static_cast<uint32_t>(x) * 0x8DA6B343u ^
        Hash(static_cast<uint32_t>(y) * 0xD8163841u ^ Hash(static_cast<uint32_t>(z) * 0xCB1AB31Fu ^ seed)));
}

// A value in [0, 1) from a hash.
inline float Unit(uint32_t h) {
    return static_cast<float>(h >> 8) / 16777216.0f;
}

// A small deterministic generator for scattering things.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    float Next() { return Unit(state_ = Hash(state_ + 0x9E3779B9u)); }
    float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }

private:
    uint32_t state_;
};

// Smoothly interpolated lattice noise in [0, 1].
inline float ValueNoise(float x, float y, float z, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy), iz = static_cast<int32_t>(fz);
    auto fade = [](float t) { return t * t * (3 - 2 * t); };
    const float tx = fade(x - fx), ty = fade(y - fy), tz = fade(z - fz);
    auto v = [&](int dx, int dy, int dz) { return Unit(Hash3(ix + dx, iy + dy, iz + dz, seed)); };
    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    const float x00 = lerp(v(0, 0, 0), v(1, 0, 0), tx), x10 = lerp(v(0, 1, 0), v(1, 1, 0), tx);
    const float x01 = lerp(v(0, 0, 1), v(1, 0, 1), tx), x11 = lerp(v(0, 1, 1), v(1, 1, 1), tx);
    return lerp(lerp(x00, x10, ty), lerp(x01, x11, ty), tz);
}

// Octaves of value noise, each twice the frequency and half the weight; in [0, 1].
inline float Fbm(float x, float y, float z, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * ValueNoise(x, y, z, seed + static_cast<uint32_t>(i) * 101u);
        total += weight;
        x *= 2;
        y *= 2;
        z *= 2;
        weight *= 0.5f;
    }
    return sum / total;
}

// Noise that repeats every `period` lattice cells in x and y, for textures
// that tile (the planet's surface wraps around, hull panels repeat).
inline float TiledNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    auto fade = [](float t) { return t * t * (3 - 2 * t); };
    const float tx = fade(x - fx), ty = fade(y - fy);
    auto wrap = [period](int32_t i) { return ((i % period) + period) % period; };
    auto v = [&](int dx, int dy) { return Unit(Hash3(wrap(ix + dx), wrap(iy + dy), 0, seed)); };
    const float a = v(0, 0) + (v(1, 0) - v(0, 0)) * tx;
    const float b = v(0, 1) + (v(1, 1) - v(0, 1)) * tx;
    return a + (b - a) * ty;
}

inline float TiledFbm(float x, float y, int period, int octaves, uint32_t seed) {
    float sum = 0, weight = 0.5f, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * TiledNoise(x, y, period, seed + static_cast<uint32_t>(i) * 101u);
        total += weight;
        x *= 2;
        y *= 2;
        period *= 2;
        weight *= 0.5f;
    }
    return sum / total;
}

} // namespace vesk::contentgen
