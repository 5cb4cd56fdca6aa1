// Physics operations of a render unit: what the physics and the collision
// code ask of the unit they move or test against.
#include "render/component.h"
#include "render/engine.h"
#include "render/mesh_geometry.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <algorithm>

namespace vesk {

// The collision mesh is carried into the world by the unit's own matrix.
struct PhysicOpsClass::GeometryOwner final : IMeshGeometryOwner {
    explicit GeometryOwner(PhysicOpsClass* ops) : ops(ops) {}
    Matrix GetGeometryMatrix() override {
        TBaseRenderUnit* u = ops->GetBRU();
        return u ? u->GetWorldMatrix() : Matrix{};
    }
    PhysicOpsClass* ops;
};

void PhysicOpsClass::Bound() {
    IEngineObject* carrier = Carrier();
    unit_ = carrier ? dynamic_cast<TBaseRenderUnit*>(carrier->GetInstance()) : nullptr;
    geometry_ = New<MeshGeometryClass>();
    geometry_->SetName(unit_ ? unit_->GetInfoStr() : std::string());
    owner_ = new GeometryOwner(this);
    geometry_->SetOwner(owner_);
}

void PhysicOpsClass::Free() {
    if (MeshGeometryClass* g = std::exchange(geometry_, nullptr)) g->Free();
    delete std::exchange(owner_, nullptr);
    unit_ = nullptr;
    ClamClass::Free();
}

bool PhysicOpsClass::GetBSphere(Vec3& centre, float& radius) {
    centre = {};
    radius = 0.0f;
    if (!unit_) return true;
    BSphereRecord* own = nullptr;
    unit_->GetOwnBSphere(own);
    if (own) {
        centre = own->worldCentre;
        radius = own->worldRadius;
    }
    return true;
}

bool PhysicOpsClass::GetMeshTriangles(const std::vector<Vec3>*& positions,
                                      const std::vector<uint32_t>*& indices, uint32_t& indexCount) {
    positions = nullptr;
    indices = nullptr;
    indexCount = 0;
    if (!geometry_) return false;
    const std::vector<Vec3>* normals = nullptr;
    geometry_->GetTransformed(positions, normals, indices);
    indexCount = indices ? static_cast<uint32_t>(indices->size()) : 0;
    return true;
}

void PhysicOpsClass::GetPosition(Vec3& out) const {
    out = {};
    if (unit_) unit_->GetPosition(out);
}

IEngineObject* PhysicOpsClass::GetCollisionEvent() const {
    return unit_ ? unit_->GetCollisionEvent() : nullptr;
}

int PhysicOpsClass::GetBRUListWithSpecFlag() {
    ErrorReport("PhysicOpsClass.GetBRUListWithSpecFlag: XEP", "mhl");
    return 0;
}

int PhysicOpsClass::GetBRUList(std::vector<TBaseRenderUnit*>* list) {
    if (!list) {
        ErrorReport("PhysicOpsClass.GetBRUList: _BRUList", "mhl");
        return 0;
    }
    list->clear();
    GameOpsClass* ops = Engine ? Engine->GetGameOps() : nullptr;
    IShipsOps* ships = ops ? ops->GetShipsOps() : nullptr;
    if (const std::vector<TBaseRenderUnit*>* units = ships ? ships->GetBRUList(1) : nullptr) *list = *units;
    std::erase(*list, unit_);
    return static_cast<int>(list->size());
}

bool PhysicOpsClass::GetBBInfo(Matrix& matrix, Vec3& size) const {
    matrix = Matrix{};
    size = {};
    if (!unit_) return true;
    matrix = unit_->GetWorldMatrix();
    MatrixNormalizeColumns(matrix);
    Vec3 min, max;
    unit_->GetBox(min, max);
    size = Vec3Sub(max, min);
    return true;
}

} // namespace vesk
