#include "physics/bsphere_sections.h"

#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "physics/path_hits.h"
#include "platform/files.h"
#include "shared/math.h"

namespace vesk {

namespace {

// The one tester all cutting shares.
const BSSectionIntersectionDetectorClass& SectionTester() {
    static const BSSectionIntersectionDetectorClass tester;
    return tester;
}

BSSectionMesh LoadSection(const GeomObjStruct& object) {
    BSSectionMesh mesh;
    mesh.LoadFromModel(object);
    return mesh;
}

} // namespace

void BSSectionMesh::LoadFromModel(const GeomObjStruct& object) {
    positions.clear();
    normals.clear();
    transformed.clear();
    indices.clear();
    for (const auto& v : object.vertices) {
        positions.push_back(v.position);
        normals.push_back(v.normal);
    }
    const size_t n = positions.size();
    const auto& src = object.indices;
    for (size_t i = 0; i + 2 < src.size(); i += 3)
        if (src[i] < n && src[i + 1] < n && src[i + 2] < n)
            indices.insert(indices.end(), &src[i], &src[i] + 3);
}

bool BSSectionMesh::Collapse() {
    std::erase(indices, kDroppedIndex);
    const size_t n = positions.size();
    std::vector<bool> used(n, false);
    for (uint32_t i : indices)
        if (i < n) used[i] = true;
    if (transformed.size() != n) transformed.clear();
    // Moves the last used vertex into the first free slot until every used
    // vertex lies before every free one.
    size_t firstFree = 0, lastUsed = n;
    for (;;) {
        while (firstFree < n && used[firstFree]) ++firstFree;
        while (lastUsed > 0 && !used[lastUsed - 1]) --lastUsed;
        if (lastUsed == 0) return false;
        if (firstFree >= lastUsed) break;
        const size_t from = lastUsed - 1;
        positions[firstFree] = positions[from];
        if (from < normals.size() && firstFree < normals.size()) normals[firstFree] = normals[from];
        if (!transformed.empty()) transformed[firstFree] = transformed[from];
        for (uint32_t& i : indices)
            if (i == from) i = static_cast<uint32_t>(firstFree);
        used[firstFree] = true;
        used[from] = false;
    }
    positions.resize(firstFree);
    if (normals.size() > firstFree) normals.resize(firstFree);
    if (!transformed.empty()) transformed.resize(firstFree);
    return true;
}

bool BSSectionIntersectionDetectorClass::Test(const Vec3& a, const Vec3& b, const Vec3& centre, float radius,
                                              Vec3& point) const {
    return SegmentMeetsSphere(a, b, centre, radius, SphereRule::kCutting, point);
}

void BSphereSet::AddSpheresFrom(const CMTreeClass& tree) {
    for (const auto& s : tree.BoundingSpheres()) spheres.push_back({s.names.name, s.centre, s.radius, {}});
}

void BSphereSet::LoadFromCM(const CMTreeClass& tree, const BSSectionMesh* mesh) {
    AddSpheresFrom(tree);
    if (mesh) BSMeshBuilderClass(tree.GetFileName() + "2", tree.GetFileDate()).Build(*this, *mesh);
}

void BSMeshBuilderClass::CutSection(BSphereNode& sphere, const BSSectionMesh& source) {
    BSSectionMesh section = source;
    const auto& p = section.positions;
    const uint32_t n = section.VertexCount();
    const auto& tester = SectionTester();
    bool kept = false;
    auto& ind = section.indices;
    size_t i = 0;
    for (; i + 2 < ind.size(); i += 3) {
        const uint32_t t[3] = {ind[i], ind[i + 1], ind[i + 2]};
        bool hit = false;
        if (t[0] < n && t[1] < n && t[2] < n) {
            Vec3 at;
            for (int e = 0; e < 3 && !hit; ++e)
                hit = tester.Test(p[t[e]], p[t[(e + 1) % 3]], sphere.centre, sphere.radius, at);
        }
        if (hit)
            kept = true;
        else
            ind[i] = ind[i + 1] = ind[i + 2] = kDroppedIndex;
    }
    // Indices after the last whole triangle belong to none.
    for (; i < ind.size(); ++i) ind[i] = kDroppedIndex;

    if (!kept || !section.Collapse()) {
        sphere.section.reset();
        return;
    }
    // Kept relative to the sphere: its world matrix brings it back to world space.
    std::vector<Vec3> relative;
    relative.reserve(section.positions.size());
    for (const Vec3& v : section.Transformed()) relative.push_back(Vec3Sub(v, sphere.centre));
    section.positions = std::move(relative);
    section.transformed.clear();
    sphere.section = std::move(section);
}

bool BSGeometryExporterClass::Export(const BSphereSet& set, const std::string& fileName) const {
    CMSceneClass scene;
    auto add = [&](const BSphereNode& node, const std::string& name) {
        CMGeomObjClass* o = scene.NewGeomObj();
        o->SetNames(name, "", "");
        if (!node.section) return;
        const BSSectionMesh& m = node.section.value();
        o->SetVertices(m.VertexCount());
        for (uint32_t i = 0; i < m.VertexCount(); ++i)
            o->SetVertex(i, m.positions[i], i < m.normals.size() ? m.normals[i] : Vec3{}, 0.0f, 0.0f);
        o->SetIndices(m.IndexCount());
        for (uint32_t i = 0; i < m.IndexCount(); ++i) o->SetIndex(i, m.indices[i]);
    };
    if (set.spheres.empty())
        add(set.container, kMainSphereName);
    else
        for (const auto& s : set.spheres) add(s, s.name2);
    return scene.SaveToFile(fileName);
}

bool BSMeshBuilderClass::LoadCache(BSphereSet& set) {
    if (!platform::FileExists(cacheName_)) return false;
    if (static_cast<uint32_t>(platform::FileTime(cacheName_)) != sourceDate_) return false;
    std::string bytes;
    if (!platform::ReadFile(cacheName_, bytes)) return false;
    // A private tree, outside the tree cache; a damaged file is rebuilt, not fatal.
    CMTreeClass cache;
    try {
        cache.Parse(bytes, cacheName_);
    } catch (const CMFileError&) {
        platform::DeleteFile(cacheName_);
        return false;
    }
    auto section = [](const GeomObjStruct& o) -> std::optional<BSSectionMesh> {
        if (o.indices.empty()) return std::nullopt;
        return LoadSection(o);
    };
    GeomObjStruct* entry = nullptr;
    std::vector<std::optional<BSSectionMesh>> loaded;
    for (const auto& s : set.spheres) {
        if (!cache.GetGeomobject(s.name2, entry)) {
            platform::DeleteFile(cacheName_);
            return false;
        }
        loaded.push_back(section(*entry));
    }
    if (cache.GetGeomobject(kMainSphereName, entry)) set.container.section = section(*entry);
    for (size_t i = 0; i < loaded.size(); ++i) set.spheres[i].section = std::move(loaded[i]);
    return true;
}

bool BSMeshBuilderClass::Build(BSphereSet& set, const BSSectionMesh& source) {
    if (LoadCache(set)) return true;
    if (set.spheres.empty())
        CutSection(set.container, source);
    else
        for (auto& s : set.spheres) CutSection(s, source);
    if (BSGeometryExporterClass().Export(set, cacheName_)) platform::SetFileTime(cacheName_, sourceDate_);
    return false;
}

} // namespace vesk
