#pragma once
// Oriented-box collision of the player's ship: the box around the own ship,
// the ship units whose spheres meet it, and the first world triangle of those
// units that overlaps the box.
#include "shared/engine_object.h"
#include "shared/math.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace vesk {

struct OBBStruct {
    Matrix matrix; // rows 1-3: the box axes; translation zeroed
    Vec3 centre;   // the owner's origin in world space
    Vec3 size;     // half-extents (the full model box size)
    std::array<Vec3, 8> corners{};
    float radius = 0;
};

struct CollisionTriangleStruct {
    Vec3 a, b, c;
    Vec3 normal; // (b - a) x (c - a), not normalised
    Vec3 point;  // contact point
};

// Pairs of corner indices: the face Y+, the face Y-, then the edges along Y.
inline constexpr std::array<std::array<int, 2>, 12> kBoxEdgeTable{
    {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {7, 3}, {1, 5}, {6, 2}}};

CollisionTriangleStruct CreateCollisionTriangle(const Vec3& a, const Vec3& b, const Vec3& c,
                                                const Vec3& point);
// Touching counts as overlap in both tests.
bool SphereIntersectOBB(const OBBStruct& box, const Vec3& centre, float radius);
bool TriangleIntersectOBB(const OBBStruct& box, const Vec3& p1, const Vec3& p2, const Vec3& p3);

// The owner's bounding-box information.
class IOwnerBBInfo {
public:
    // The world matrix with its axis columns normalised, and the model box
    // maximum - minimum.
    virtual void GetBBInfo(Matrix& matrix, Vec3& size) = 0;

protected:
    ~IOwnerBBInfo() = default;
};

// What the collision component needs of another ship unit.
class ICollisionBRU {
public:
    virtual void GetBSphere(Vec3& centre, float& radius) = 0; // world sphere
    // The world spheres of the unit's bounding-sphere list; false when it has none.
    virtual bool GetBSphereList(std::vector<std::pair<Vec3, float>>& out) = 0;
    // The collision mesh in world space, three indices per triangle.
    virtual void GetMeshTriangles(std::span<const Vec3>& positions, std::span<const uint32_t>& indices) = 0;
    // The unit's collision event (a game event), nullptr when it has none.
    virtual IEngineObject* GetCollisionEvent() { return nullptr; }

protected:
    ~ICollisionBRU() = default;
};

// The own ship's physics operations.
class IOwnerBRU {
public:
    // nullptr when the owner cannot give its box information.
    virtual IOwnerBBInfo* GetBBInterface() = 0;
    virtual const void* GetBRU() = 0; // the own unit's identity
    // The own unit's collision event, nullptr when it has none.
    virtual IEngineObject* GetCollisionEvent() { return nullptr; }

protected:
    ~IOwnerBRU() = default;
};

// One ship unit of the scene: its identity and its collision operations
// (nullptr when the unit has no physics operations).
struct ShipCollisionEntry {
    const void* unit = nullptr;
    ICollisionBRU* collision = nullptr;
};
// The scene's ship units in creation order; installed by the scene.
using ShipCollisionListHook = std::function<std::vector<ShipCollisionEntry>()>;
void SetShipCollisionListHook(ShipCollisionListHook hook);

class TOBBClass {
public:
    explicit TOBBClass(IOwnerBBInfo* info);
    void Update();
    const OBBStruct& GetData() const { return data_; }
    bool IntersectSphere(const Vec3& centre, float radius) const;
    bool IntersectTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3) const;

private:
    void CalcCorners();
    OBBStruct data_;
    IOwnerBBInfo* info_;
};

class TSphereCollision {
public:
    static constexpr std::size_t kMaxCandidates = 10;
    explicit TSphereCollision(IOwnerBRU* owner);
    virtual ~TSphereCollision() = default;
    virtual void Update();
    void ClearCandidates();
    void AddCandidate(ICollisionBRU* candidate);
    const std::vector<ICollisionBRU*>& Candidates() const { return candidates_; }
    const TOBBClass& Box() const { return *box_; }

protected:
    void CalcIntersection();
    std::unique_ptr<TOBBClass> box_;
    std::vector<ICollisionBRU*> candidates_;
    IOwnerBRU* owner_;
};

class TCollisionComponet : public TSphereCollision {
public:
    explicit TCollisionComponet(IOwnerBRU* owner);
    void Update() override;
    bool HasContact() const { return contactCount_ != 0; }
    void GetContactNormal(Vec3& out) const;
    bool GetContactPoint(Vec3& out) const;
    bool GetFirstCandidate(ICollisionBRU*& out) const;
    const CollisionTriangleStruct& Contact() const { return contact_; }

private:
    void CalcIntersection();
    Vec3 CalcContactPoint(const Vec3& a, const Vec3& b, const Vec3& c) const;
    CollisionTriangleStruct contact_{};
    int32_t contactCount_ = 0;
};

} // namespace vesk
