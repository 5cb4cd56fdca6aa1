#include "physics/unit_physic_ops.h"

#include "physics/pf_objects.h"
#include "render/render_unit.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace vesk {

namespace {
std::map<const TBaseRenderUnit*, UnitPhysicOps*>& OpsByUnit() {
    static std::map<const TBaseRenderUnit*, UnitPhysicOps*> ops;
    return ops;
}
} // namespace

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

void UnitPhysicOps::SetCollisionMesh(const BSSectionMesh& mesh) {
    mesh_ = mesh;
    mesh_.transformed.clear();
    transformed_ = false;
}

IEngineObject* UnitPhysicOps::GetCollisionEvent() {
    return unit_ ? unit_->GetCollisionEvent() : nullptr;
}

int UnitPhysicOps::GetBRUList(std::vector<TBaseRenderUnit*>& out) {
    GetSceneShips(out);
    std::erase(out, unit_);
    return static_cast<int>(out.size());
}

void UnitPhysicOps::GetBBInfo(Matrix& matrix, Vec3& size) {
    matrix = unit_ ? unit_->GetWorldMatrix() : Matrix{};
    MatrixNormalizeColumns(matrix);
    Vec3 min{}, max{};
    if (unit_) unit_->GetBox(min, max);
    size = Vec3Sub(max, min);
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
    if (unit_) {
        const Matrix& m = unit_->GetWorldMatrix();
        // The world copy is made again only when the unit has moved.
        if (!transformed_ || std::memcmp(&m, &transformedWith_, sizeof(Matrix)) != 0) {
            mesh_.transformed.resize(mesh_.positions.size());
            Vec3TransformCoordArray(mesh_.positions, m, mesh_.transformed);
            transformedWith_ = m;
            transformed_ = true;
        }
    }
    positions = mesh_.Transformed();
    indices = mesh_.indices;
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
