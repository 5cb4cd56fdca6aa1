#include "render/mesh_geometry.h"

#include "render/engine.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace vesk {

namespace {

Vec3 TransformNormal(const Vec3& n, const Matrix& m) {
    return {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
            n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
            n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
}

Vec3 TransformCoord(const Vec3& p, const Matrix& m) {
    const Vec3 t = Vec3TransformPoint(p, m);
    const float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    return w != 0 && w != 1 ? Vec3{t.x / w, t.y / w, t.z / w} : t;
}

} // namespace

void MeshGeometryClass::Transform(const Matrix& m) {
    const uint64_t frame = RenderFrameCounter.GetFrame();
    if (!transformEnabled_ || stamp_ == frame) return;
    Matrix inverse;
    MatrixInverse(m, inverse);
    const Matrix normalMatrix = MatrixTranspose(inverse);
    transformedPositions_.resize(positions_.size());
    transformedNormals_.resize(normals_.size());
    for (size_t i = 0; i < positions_.size(); ++i)
        transformedPositions_[i] = TransformCoord(positions_[i], m);
    for (size_t i = 0; i < normals_.size(); ++i)
        transformedNormals_[i] = Vec3Normalize(TransformNormal(normals_[i], normalMatrix));
    stamp_ = frame;
}

void MeshGeometryClass::GetTransformed(const std::vector<Vec3>*& positions, const std::vector<Vec3>*& normals,
                                       const std::vector<uint32_t>*& indices) {
    if (owner_) Transform(owner_->GetGeometryMatrix());
    positions = &transformedPositions_;
    normals = &transformedNormals_;
    indices = &indices_;
}

void MeshGeometryClass::GetSource(const std::vector<Vec3>*& positions, const std::vector<Vec3>*& normals,
                                  const std::vector<uint32_t>*& indices) const {
    positions = &positions_;
    normals = &normals_;
    indices = &indices_;
}

void MeshGeometryClass::LoadFromModel(const ROModelNode& node) {
    positions_.clear();
    normals_.clear();
    for (const ROModelVertex& v : node.vertices) {
        positions_.push_back({v.x, v.y, v.z});
        normals_.push_back({v.nx, v.ny, v.nz});
    }
    transformedPositions_ = positions_;
    transformedNormals_ = normals_;
    indices_.clear();
    for (const ROModelMaterial& m : node.materials)
        indices_.insert(indices_.end(), m.indices.begin(), m.indices.end());
}

float MeshGeometryClass::GetRadius() const {
    float best = 0;
    for (const Vec3& p : positions_) best = std::max(best, Vec3LengthSq(p));
    return std::sqrt(best);
}

void MeshGeometryClass::Collapse() {
    std::erase(indices_, 0xFFFFFFFFu);
    const size_t count = positions_.size();
    std::vector<bool> used(count, false);
    for (uint32_t i : indices_) {
        if (i >= count) {
            ErrorReport("MeshGeometryClass.Collapse: index out of range: " + std::to_string(i), "mhl");
            return;
        }
        used[i] = true;
    }
    size_t firstUnused = 0;
    while (firstUnused < count && used[firstUnused]) ++firstUnused;
    if (std::find(used.begin(), used.end(), true) == used.end()) {
        ErrorReport(
            "MeshGeometryClass.Collapse: not FindUsableIndex(pVerticesUse, verticesCount, vUsableIndex)",
            "mhl");
        return;
    }
    for (;;) {
        size_t lastUsed = count;
        while (lastUsed > 0 && !used[lastUsed - 1]) --lastUsed;
        if (lastUsed == 0 || lastUsed - 1 < firstUnused) break;
        const size_t from = lastUsed - 1;
        positions_[firstUnused] = positions_[from];
        if (from < normals_.size()) normals_[firstUnused] = normals_[from];
        for (uint32_t& i : indices_)
            if (i == from) i = static_cast<uint32_t>(firstUnused);
        used[firstUnused] = true;
        used[from] = false;
        while (firstUnused < count && used[firstUnused]) ++firstUnused;
    }
    positions_.resize(firstUnused);
    normals_.resize(std::min(normals_.size(), firstUnused));
    transformedPositions_.resize(firstUnused);
    transformedNormals_.resize(firstUnused);
}

void MeshGeometryClass::CheckForValid(const std::string& context) const {
    const size_t n = positions_.size();
    if (n > 0 &&
        (normals_.size() != n || transformedPositions_.size() != n || transformedNormals_.size() != n)) {
        ErrorReport("MeshGeometryClass.CheckForValid: verticesCount>0, but one of pointer is nill, " + name_ +
                        ", " + context,
                    "mhl");
        return;
    }
    for (uint32_t i : indices_)
        if (i >= n) {
            ErrorReport("MeshGeometryClass.CheckForValid: : pindices[i]>=verticesCount, " + context, "mhl");
            return;
        }
    for (const auto* list : {&positions_, &normals_, &transformedPositions_, &transformedNormals_})
        for (const Vec3& v : *list)
            if (!std::isfinite(Vec3LengthSq(v))) {
                ErrorReport("MeshGeometryClass.CheckForValid: invalid vector, " + name_ + ", " + context,
                            "mhl");
                return;
            }
}

void MeshGeometryClass::SetVertexData(const Vec3* positions, const Vec3* normals, uint32_t count,
                                      const Vec3* transformedPositions, const Vec3* transformedNormals) {
    if (!positions || !normals || !transformedPositions || !transformedNormals) {
        ErrorReport("MeshGeometryClass.SetVertexData: invalid data, " + name_, "mhl");
        return;
    }
    positions_.assign(positions, positions + count);
    normals_.assign(normals, normals + count);
    transformedPositions_.assign(transformedPositions, transformedPositions + count);
    transformedNormals_.assign(transformedNormals, transformedNormals + count);
}

MeshGeometryClass* MeshGeometryClass::Copy() const {
    auto* g = New<MeshGeometryClass>();
    g->name_ = "_copy_" + name_;
    g->owner_ = owner_;
    g->indices_ = indices_;
    g->positions_ = positions_;
    g->normals_ = normals_;
    g->transformedPositions_ = transformedPositions_;
    g->transformedNormals_ = transformedNormals_;
    g->transformEnabled_ = transformEnabled_;
    g->stamp_ = stamp_;
    return g;
}

void ROMeshGeometyFactory::BuildRO(TRenderObject& ro) {
    if (!geometry_ || !BuffersManager) return;
    const std::vector<Vec3>*positions, *normals;
    const std::vector<uint32_t>* indices;
    geometry_->GetSource(positions, normals, indices);
    const auto n = static_cast<uint32_t>(positions->size());
    ro.SetVB(
        BuffersManager->GetVB(n, FVF_PosNormal, platform::D3DPOOL_DEFAULT, platform::D3DUSAGE_WRITEONLY));
    ro.SetVertexCount(n);
    void* data = nullptr;
    if (ro.GetVB() && ro.LockVB(&data, 0, n, platform::D3DLOCK_NOOVERWRITE) >= 0 && data) {
        auto* out = static_cast<VertexPosNormal*>(data);
        for (uint32_t i = 0; i < n; ++i) {
            const Vec3 p = (*positions)[i];
            const Vec3 q = i < normals->size() ? (*normals)[i] : Vec3{};
            out[i] = {p.x, p.y, p.z, q.x, q.y, q.z};
        }
        ro.UnlockVB();
    }
    ROMaterialClass* m = ro.AddMaterial();
    m->SetTechnique(10);
    if (!geometry_->Owner()) {
        static std::minstd_rand random;
        const uint32_t diffuse = 0xFF0000u | static_cast<uint32_t>(random() % 0x10000u);
        m->SetColors(diffuse, 0x808080u, 0x808080u, 0x808080u, 0);
    } else {
        m->SetColors(0xFFFFFFu, 0xFFFFFFu, 0xFFFFFFu, 0xFFFFFFu, 0);
    }
    m->SetTexture(0, nullptr);
    // Indices as the model builders write them, with the integer primitive count.
    WriteIndexChunk(*m, *indices);
    m->SetPrimCount(static_cast<uint32_t>(indices->size() / 3));
}

} // namespace vesk
