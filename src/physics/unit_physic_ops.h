#pragma once
// What the physics asks of a render unit, as the physics' interfaces: its box
// and world matrix, its own sphere and sphere list in the world, its collision
// mesh in the world (the one its physics operations hold) and its collision
// event. Made for a unit on first use and freed with it.
#include "physics/obb_collision.h"

#include <vector>

namespace vesk {

class TBaseRenderUnit;
struct BSSectionMesh;

// Gives the unit's physics operations the collision mesh (in the unit's model
// space; the whole index list, whatever the materials).
void SetUnitCollisionMesh(TBaseRenderUnit* unit, const BSSectionMesh& mesh);

class UnitPhysicOps : public TEngineObject, public IOwnerBRU, public IOwnerBBInfo, public ICollisionBRU {
public:
    // The unit's operations, made on first use; nullptr for no unit.
    static UnitPhysicOps* Of(TBaseRenderUnit* unit);
    TBaseRenderUnit* GetUnit() const { return unit_; }

    // IOwnerBRU
    IOwnerBBInfo* GetBBInterface() override { return unit_ ? this : nullptr; }
    const void* GetBRU() override { return unit_; }
    IEngineObject* GetCollisionEvent() override;
    // The scene's ship units without the own one.
    int GetBRUList(std::vector<TBaseRenderUnit*>& out);
    // IOwnerBBInfo
    void GetBBInfo(Matrix& matrix, Vec3& size) override;
    // ICollisionBRU
    void GetBSphere(Vec3& centre, float& radius) override;
    bool GetBSphereList(std::vector<std::pair<Vec3, float>>& out) override;
    void GetMeshTriangles(std::span<const Vec3>& positions, std::span<const uint32_t>& indices) override;

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    TBaseRenderUnit* unit_ = nullptr;
};

} // namespace vesk
