#pragma once
// Sections of a collision mesh cut by bounding spheres, and the section cache:
// a second model file next to the model (its name followed by "2") stamped with
// the model file's date, so the slow cutting runs once per model version.
#include "platform/math_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

struct GeomObjStruct;
class CMTreeClass;

inline constexpr uint32_t kDroppedIndex = 0xFFFFFFFFu;
// The cache entry of a container that has no child spheres.
inline constexpr const char* kMainSphereName = "main_sphere";

// Plain vertex and index arrays of a collision mesh or of one section of it:
// source (model-space) positions and normals, and the positions last
// transformed to world space (empty until transformed: then the source ones).
struct BSSectionMesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<Vec3> transformed;
    std::vector<uint32_t> indices;

    uint32_t VertexCount() const { return static_cast<uint32_t>(positions.size()); }
    uint32_t IndexCount() const { return static_cast<uint32_t>(indices.size()); }
    const std::vector<Vec3>& Transformed() const { return transformed.empty() ? positions : transformed; }
    // Positions, normals and indices of a geometry record; indices that name
    // no vertex are dropped with their triangle.
    void LoadFromModel(const GeomObjStruct& object);
    // Drops the dropped indices and packs the vertices still used to the front,
    // renumbering the indices; false when no vertex is used.
    bool Collapse();
};

// The segment-sphere test of section cutting: the segment a -> b against the
// sphere, giving the point where they meet.
class BSSectionIntersectionDetectorClass {
public:
    bool Test(const Vec3& a, const Vec3& b, const Vec3& centre, float radius, Vec3& point) const;
};

// One sphere of a sphere tree as the cutting and the cache see it.
struct BSphereNode {
    std::string name2; // the sphere's name in the model file
    Vec3 centre;
    float radius = 0;
    std::optional<BSSectionMesh> section;
};

// A container and its child spheres.
struct BSphereSet {
    BSphereNode container;
    std::vector<BSphereNode> spheres;
    // One child per bounding-sphere record of the tree, in file order.
    void AddSpheresFrom(const CMTreeClass& tree);
    // The children of the tree's records and, given a mesh, their sections
    // through the cache named after the tree's file ("<file>2").
    void LoadFromCM(const CMTreeClass& tree, const BSSectionMesh* mesh);
};

// Writes sections to a model file: one geometry object per child sphere (or
// one named "main_sphere" for a container without children).
class BSGeometryExporterClass {
public:
    bool Export(const BSphereSet& set, const std::string& fileName) const;
};

class BSMeshBuilderClass {
public:
    BSMeshBuilderClass(std::string cacheName, uint32_t sourceDate)
        : cacheName_(std::move(cacheName)), sourceDate_(sourceDate) {}
    // The sections from a valid cache, or cut anew and cached; true when the
    // cache was used.
    bool Build(BSphereSet& set, const BSSectionMesh& source);
    // The triangles of the source that touch the sphere, kept relative to its
    // centre; no section when none does.
    static void CutSection(BSphereNode& sphere, const BSSectionMesh& source);
    const std::string& CacheName() const { return cacheName_; }

private:
    bool LoadCache(BSphereSet& set);

    std::string cacheName_;
    uint32_t sourceDate_;
};

} // namespace vesk
