#pragma once
// The model file layout shared by the reader (CMTreeClass) and the writer
// (CMSceneClass): a flat run of little-endian chunks, each a header of
// header_size bytes (five common fields, then type-specific ones from offset
// 20) followed by data_size bytes of data.
#include "platform/math_types.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace vesk {

inline constexpr uint32_t CHUNK_MATERIAL = 0x1;
inline constexpr uint32_t CHUNK_MATERIAL_END = 0x2;
inline constexpr uint32_t CHUNK_GEOMOBJ = 0x4;
inline constexpr uint32_t CHUNK_GEOMOBJ_END = 0x8;
inline constexpr uint32_t CHUNK_VERTEX_LIST = 0x10;
inline constexpr uint32_t CHUNK_SCENE = 0x20;
inline constexpr uint32_t CHUNK_STRING = 0x40;
inline constexpr uint32_t CHUNK_INDEX_LIST = 0x80;
inline constexpr uint32_t CHUNK_MATERIAL_LIST_BEGIN = 0x200;
inline constexpr uint32_t CHUNK_MATERIAL_LIST_END = 0x400;
inline constexpr uint32_t CHUNK_HELPER = 0x800;
inline constexpr uint32_t CHUNK_HELPER_END = 0x1000;
inline constexpr uint32_t CHUNK_STRING_LIST_BEGIN = 0x2000;
inline constexpr uint32_t CHUNK_STRING_LIST_END = 0x4000;
inline constexpr uint32_t CHUNK_HELPER_LIST_BEGIN = 0x8000;
inline constexpr uint32_t CHUNK_HELPER_LIST_END = 0x10000;
inline constexpr uint32_t CHUNK_LIGHT_LIST_BEGIN = 0x40000;
inline constexpr uint32_t CHUNK_LIGHT_LIST_END = 0x80000;
inline constexpr uint32_t CHUNK_LIGHT = 0x100000;
inline constexpr uint32_t CHUNK_LIGHT_END = 0x200000;
inline constexpr uint32_t CHUNK_END = 0x400000;
inline constexpr uint32_t CHUNK_BSPHERE = 0x800000;
inline constexpr uint32_t CHUNK_CAMERA = 0x1000000;
inline constexpr uint32_t CHUNK_CAMERA_END = 0x2000000;
inline constexpr uint32_t CHUNK_CAMERA_LIST_BEGIN = 0x4000000;
inline constexpr uint32_t CHUNK_CAMERA_LIST_END = 0x8000000;
inline constexpr uint32_t CHUNK_ANIMATION_ROOT = 0x10000000;
inline constexpr uint32_t CHUNK_ANIMATION_TRACK = 0x20000000;
inline constexpr uint32_t CHUNK_ANIMATION_TRACK_END = 0x40000000;
inline constexpr uint32_t CHUNK_SHAPE_LIST_BEGIN = 0x40000001;
inline constexpr uint32_t CHUNK_SHAPE_LIST_END = 0x40000002;
inline constexpr uint32_t CHUNK_SHAPE = 0x40000003;
inline constexpr uint32_t CHUNK_SHAPE_END = 0x40000004;
inline constexpr uint32_t CHUNK_TEXCOORD_LIST = 0x40000005;
inline constexpr uint32_t CHUNK_END_2 = 0x80000000;

// The five fields every chunk header starts with.
inline constexpr uint32_t kChunkCommonSize = 20;
// Header sizes the writer uses (the reader accepts longer ones).
inline constexpr uint32_t kSceneHeaderSize = 60;
inline constexpr uint32_t kGeomObjHeaderSize = 152;
inline constexpr uint32_t kListHeaderSize = 28;
// Bytes per stored animation key.
inline constexpr uint32_t kFileKeySize = 88;

// One model vertex as stored and kept in memory (the fixed-function vertex
// with position, normal and one texture coordinate).
struct CMVertex {
    Vec3 position;
    Vec3 normal;
    float tu = 0, tv = 0;
};
static_assert(sizeof(CMVertex) == 32);

// Channel of the packed colour: 255 at 1 or above, 0 below 0 (and for
// values that are not numbers), else x * 255 + 0.5 truncated.
inline uint32_t PackColorChannel(float x) {
    if (!(x >= 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    return static_cast<uint32_t>(x * 255.0f + 0.5f);
}
// Four floats r, g, b, a to A8R8G8B8.
inline uint32_t PackColor(float r, float g, float b, float a) {
    return (PackColorChannel(a) << 24) | (PackColorChannel(r) << 16) | (PackColorChannel(g) << 8) |
           PackColorChannel(b);
}
// A8R8G8B8 to r, g, b, a (channel byte / 255).
inline void UnpackColor(uint32_t c, float out[4]) {
    out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(c & 0xFF) / 255.0f;
    out[3] = static_cast<float>(c >> 24) / 255.0f;
}

// Little-endian field access on byte buffers the caller has sized.
inline void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutF32(uint8_t* p, float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(p, u);
}
inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline float GetF32(const uint8_t* p) {
    const uint32_t u = GetU32(p);
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

// The file's little-endian records are the host's own layout, so arrays of
// them are copied as they stand.
static_assert(std::endian::native == std::endian::little);

// Replaces `out` with `count` records of T read from `p`, a byte buffer the
// caller has sized. Records that stand on their own alignment (the usual
// case: chunk headers and records are whole words) are copied as one block
// straight into the vector's new storage; elsewhere the vector is sized
// first and the bytes copied over it.
template <class T> void AssignPackedRecords(std::vector<T>& out, const uint8_t* p, size_t count) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (reinterpret_cast<std::uintptr_t>(p) % alignof(T) == 0) {
        const T* first = reinterpret_cast<const T*>(p);
        out.assign(first, first + count);
        return;
    }
    out.resize(count);
    if (count > 0) std::memcpy(out.data(), p, count * sizeof(T));
}

} // namespace vesk
