#include "physics/unit_physic_ops.h"

#include "physics/bsphere_sections.h"
#include "physics/pf_objects.h"
#include "render/component.h"
#include "render/mesh_geometry.h"
#include "render/render_unit.h"

#include <algorithm>
#include <map>

namespace vesk {

namespace {
std::map<const TBaseRenderUnit*, UnitPhysicOps*>& OpsByUnit() {
    static std::map<const TBaseRenderUnit*, UnitPhysicOps*> ops;
    return ops;
}
} // namespace

void SetUnitCollisionMesh(TBaseRenderUnit* unit, const BSSectionMesh& mesh) {
    if (!unit) return;
    std::vector<Vec3> normals = mesh.normals;
    normals.resize(mesh.positions.size());
    MeshGeometryClass* geometry = unit->GetPhysicOps()->GetMeshGeometry();
    geometry->SetVertexData(mesh.positions.data(), normals.data(), mesh.VertexCount(), mesh.positions.data(),
                            normals.data());
    geometry->SetIndices(mesh.indices);
}

UnitPhysicOps* UnitPhysicOps::Of(TBaseRenderUnit* unit) {
    if (!unit) return nullptr;
    UnitPhysicOps*& ops = OpsByUnit()[unit];
    if (!ops) {
        ops = New<UnitPhysicOps>();
        ops->unit_ = unit;
        ops->AddMutualSubscriber(unit);
    }
    return ops;
}

IEngineObject* UnitPhysicOps::GetCollisionEvent() {
    return unit_ ? unit_->GetPhysicOps()->GetCollisionEvent() : nullptr;
}

int UnitPhysicOps::GetBRUList(std::vector<TBaseRenderUnit*>& out) {
    GetSceneShips(out);
    std::erase(out, unit_);
    return static_cast<int>(out.size());
}

void UnitPhysicOps::GetBBInfo(Matrix& matrix, Vec3& size) {
    matrix = Matrix{};
    size = {};
    if (unit_) unit_->GetPhysicOps()->GetBBInfo(matrix, size);
}

void UnitPhysicOps::GetBSphere(Vec3& centre, float& radius) {
    centre = {}, radius = 0;
    if (!unit_) return;
    BSphereRecord* own = nullptr;
    unit_->GetOwnBSphere(own);
    if (!own) return;
    // Where the unit is now, not where it was last drawn.
    unit_->TransformBSphere(*own, unit_->GetWorldMatrix());
    centre = own->worldCentre, radius = own->worldRadius;
}

bool UnitPhysicOps::GetBSphereList(std::vector<std::pair<Vec3, float>>& out) {
    out.clear();
    std::vector<BSphereRecord>* list = unit_ ? unit_->GetBSphereList() : nullptr;
    if (!list || list->empty()) return false;
    for (BSphereRecord& r : *list) {
        unit_->TransformBSphere(r, unit_->GetWorldMatrix());
        out.emplace_back(r.worldCentre, r.worldRadius);
    }
    return true;
}

void UnitPhysicOps::GetMeshTriangles(std::span<const Vec3>& positions, std::span<const uint32_t>& indices) {
    positions = {}, indices = {};
    const std::vector<Vec3>* p = nullptr;
    const std::vector<uint32_t>* i = nullptr;
    uint32_t count = 0;
    if (!unit_ || !unit_->GetPhysicOps()->GetMeshTriangles(p, i, count) || !p || !i) return;
    positions = *p;
    indices = std::span<const uint32_t>(*i).first(std::min<size_t>(count, i->size()));
}

void UnitPhysicOps::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && unit_ && sender->GetInstance() == unit_) {
        OpsByUnit().erase(unit_);
        unit_ = nullptr;
        TEngineObject::Message(sender, msg, param);
        Free(); // the operations go with their unit
        return;
    }
    TEngineObject::Message(sender, msg, param);
}

void UnitPhysicOps::Free() {
    if (unit_) {
        OpsByUnit().erase(unit_);
        RemoveMutualSubscriber(unit_);
        unit_ = nullptr;
    }
    TEngineObject::Free();
}

} // namespace vesk
