#pragma once
// Plain geometry for bounding and collision shapes: positions, normals and
// 32-bit indices, with copies transformed into the world at most once a
// frame, and the builder that draws one as a render object.
#include "platform/math_types.h"
#include "render/render_object.h"
#include "render/ro_builders.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// What supplies a geometry's world matrix.
class IMeshGeometryOwner {
public:
    virtual Matrix GetGeometryMatrix() = 0;

protected:
    ~IMeshGeometryOwner() = default;
};

class MeshGeometryClass final : public TEngineObject {
public:
    void SetOwner(IMeshGeometryOwner* owner) { owner_ = owner; }
    IMeshGeometryOwner* Owner() const { return owner_; }
    void SetTransformEnabled(bool on) { transformEnabled_ = on; }

    // Transforms the positions (as points) and normals (by the inverse
    // transpose, normalised) once per frame.
    void Transform(const Matrix& m);
    // The transformed arrays, with the owner's matrix applied first when there is an owner.
    void GetTransformed(const std::vector<Vec3>*& positions, const std::vector<Vec3>*& normals,
                        const std::vector<uint32_t>*& indices);
    void GetSource(const std::vector<Vec3>*& positions, const std::vector<Vec3>*& normals,
                   const std::vector<uint32_t>*& indices) const;
    void LoadFromModel(const ROModelNode& node);
    float GetRadius() const;
    // Drops unused vertices, renumbering the indices.
    void Collapse();
    uint32_t GetVertexCount() const { return static_cast<uint32_t>(positions_.size()); }
    uint32_t GetIndexCount() const { return static_cast<uint32_t>(indices_.size()); }
    // Fatal report on arrays of the wrong size, indices out of range or vectors that are not numbers.
    void CheckForValid(const std::string& context) const;
    // Positions, normals, transformed positions, transformed normals: all of count entries.
    void SetVertexData(const Vec3* positions, const Vec3* normals, uint32_t count,
                       const Vec3* transformedPositions, const Vec3* transformedNormals);
    void SetIndices(std::vector<uint32_t> indices) { indices_ = std::move(indices); }
    MeshGeometryClass* Copy() const;

    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    uint64_t LastTransformStamp() const { return stamp_; }
    std::string ClassName() const override { return "MeshGeometryClass"; }

private:
    IMeshGeometryOwner* owner_ = nullptr;
    std::vector<uint32_t> indices_;
    std::vector<Vec3> transformedPositions_, positions_, transformedNormals_, normals_;
    bool transformEnabled_ = true;
    uint64_t stamp_ = ~0ull;
    std::string name_;
};

class ROMeshGeometyFactory final : public TEngineObject {
public:
    void SetMeshGeometry(MeshGeometryClass* geometry) { geometry_ = geometry; }
    // Fills the render object with the geometry's vertices, indices and one material.
    void BuildRO(TRenderObject& ro);
    std::string ClassName() const override { return "ROMeshGeometyFactory"; }

private:
    MeshGeometryClass* geometry_ = nullptr;
};

} // namespace vesk
