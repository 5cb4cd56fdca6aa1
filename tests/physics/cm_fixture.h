#pragma once
// Builds model files byte by byte for the reader tests: chunks with any
// header size, any fields and any data, including the malformed ones the
// writer never makes.
#include "physics/cm_format.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vesk::test {

class ChunkBytes {
public:
    ChunkBytes(uint32_t type, uint32_t headerSize) : header_(headerSize < 12 ? 12 : headerSize, 0) {
        PutU32(header_.data(), headerSize);
        PutU32(header_.data() + 8, type);
        if (headerSize >= 16) PutU32(header_.data() + 12, 1);
    }
    ChunkBytes& U32(uint32_t off, uint32_t v) {
        Grow(off + 4);
        PutU32(header_.data() + off, v);
        return *this;
    }
    ChunkBytes& F32(uint32_t off, float v) {
        Grow(off + 4);
        PutF32(header_.data() + off, v);
        return *this;
    }
    ChunkBytes& V3(uint32_t off, Vec3 v) { return F32(off, v.x).F32(off + 4, v.y).F32(off + 8, v.z); }
    // Twelve floats: three axis rows and the translation row.
    ChunkBytes& TM(uint32_t off, const Matrix& m) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) F32(off + 12 * r + 4 * c, m.m[r][c]);
        return *this;
    }
    ChunkBytes& Colour(uint32_t off, float r, float g, float b, float a) {
        return F32(off, r).F32(off + 4, g).F32(off + 8, b).F32(off + 12, a);
    }
    ChunkBytes& Data(std::string d) {
        data_ = std::move(d);
        return *this;
    }
    // A data_size that differs from the data actually stored.
    ChunkBytes& DataSize(uint32_t n) {
        dataSize_ = n;
        return *this;
    }
    std::string Bytes() const {
        std::vector<uint8_t> h = header_;
        if (h.size() >= 8) PutU32(h.data() + 4, dataSize_.value_or(static_cast<uint32_t>(data_.size())));
        return std::string(h.begin(), h.end()) + data_;
    }

private:
    void Grow(uint32_t n) {
        if (header_.size() < n) header_.resize(n, 0);
    }
    std::vector<uint8_t> header_;
    std::string data_;
    std::optional<uint32_t> dataSize_;
};

// Little-endian bytes of 32-bit values.
template <class T, void (*Put)(uint8_t*, T)> std::string Words(std::initializer_list<T> values) {
    std::string s;
    for (T v : values) {
        uint8_t b[4];
        Put(b, v);
        s.append(reinterpret_cast<char*>(b), 4);
    }
    return s;
}
inline std::string U32s(std::initializer_list<uint32_t> values) {
    return Words<uint32_t, PutU32>(values);
}
inline std::string F32s(std::initializer_list<float> values) {
    return Words<float, PutF32>(values);
}

// A run of chunks; Strings appends a whole string table.
class CMFileBytes {
public:
    CMFileBytes& Add(const ChunkBytes& c) {
        bytes_ += c.Bytes();
        return *this;
    }
    CMFileBytes& Marker(uint32_t type) { return Add(ChunkBytes(type, kChunkCommonSize)); }
    CMFileBytes& Strings(std::initializer_list<std::string> strings) {
        Marker(CHUNK_STRING_LIST_BEGIN);
        for (const auto& s : strings)
            Add(ChunkBytes(CHUNK_STRING, kChunkCommonSize).Data(s + std::string(1, '\0')));
        return Marker(CHUNK_STRING_LIST_END);
    }
    CMFileBytes& Raw(const std::string& s) {
        bytes_ += s;
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// A scene chunk naming string 1.
inline ChunkBytes SceneChunk(uint32_t nameId = 0) {
    return ChunkBytes(CHUNK_SCENE, kSceneHeaderSize).U32(20, nameId).Colour(24, 0, 0, 0, 0);
}

// A geometry object header with the given names.
inline ChunkBytes GeomObjChunk(uint32_t name, uint32_t second = 0, uint32_t third = 0) {
    return ChunkBytes(CHUNK_GEOMOBJ, kGeomObjHeaderSize)
        .U32(16, third)
        .U32(20, name)
        .U32(24, second)
        .TM(88, Matrix{});
}

inline ChunkBytes VertexList(const std::vector<CMVertex>& vertices, uint32_t vertexSize = 32) {
    std::string d;
    for (const auto& v : vertices)
        d += F32s({v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z, v.tu, v.tv});
    return ChunkBytes(CHUNK_VERTEX_LIST, kListHeaderSize)
        .U32(20, static_cast<uint32_t>(vertices.size()))
        .U32(24, vertexSize)
        .Data(d);
}

inline ChunkBytes IndexList(const std::vector<uint32_t>& indices) {
    std::string d;
    for (uint32_t i : indices) d += U32s({i});
    return ChunkBytes(CHUNK_INDEX_LIST, kListHeaderSize)
        .U32(20, static_cast<uint32_t>(indices.size()))
        .Data(d);
}

} // namespace vesk::test
