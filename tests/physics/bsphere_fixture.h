#pragma once
// Meshes and models shared by the bounding-sphere tests.
#include "physics/bsphere_sections.h"

#include "cm_fixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vesk::test {

inline void ExpectVec(const Vec3& a, const Vec3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-5) << what;
    EXPECT_NEAR(a.y, b.y, 1e-5) << what;
    EXPECT_NEAR(a.z, b.z, 1e-5) << what;
}

// Three separate triangles at x = 0, 5 and 10.
inline BSSectionMesh RowOfTriangles() {
    BSSectionMesh m;
    for (float x : {0.0f, 5.0f, 10.0f}) {
        m.positions.insert(m.positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        m.normals.insert(m.normals.end(), 3, Vec3{0, 0, 1});
    }
    m.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    return m;
}

// A model with the row of triangles as "hull" and three bounding spheres.
inline std::string SphereModel(std::initializer_list<std::pair<Vec3, float>> spheres) {
    CMFileBytes f;
    f.Add(SceneChunk());
    f.Add(GeomObjChunk(1));
    std::vector<CMVertex> vertices;
    for (const Vec3& p : RowOfTriangles().positions) vertices.push_back({p, {0, 0, 1}, 0, 0});
    f.Add(VertexList(vertices)).Add(IndexList(RowOfTriangles().indices));
    f.Marker(CHUNK_GEOMOBJ_END);
    uint32_t name = 2;
    for (const auto& [centre, radius] : spheres)
        f.Add(ChunkBytes(CHUNK_BSPHERE, 92).U32(20, name++).V3(28, centre).F32(40, radius).TM(44, Matrix{}));
    f.Strings({"", "hull", "s_left", "s_mid", "s_none", "s_new"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

} // namespace vesk::test
