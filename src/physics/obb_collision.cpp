#include "physics/obb_collision.h"

#include "shared/errors.h"
#include "shared/math_geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vesk {

namespace {

ShipCollisionListHook& ShipListHook() {
    static ShipCollisionListHook hook;
    return hook;
}

Vec3 Row(const Matrix& m, int r) {
    return {m.m[r][0], m.m[r][1], m.m[r][2]};
}

} // namespace

void SetShipCollisionListHook(ShipCollisionListHook hook) {
    ShipListHook() = std::move(hook);
}

CollisionTriangleStruct CreateCollisionTriangle(const Vec3& a, const Vec3& b, const Vec3& c,
                                                const Vec3& point) {
    CollisionTriangleStruct t{};
    t.a = a;
    t.b = b;
    t.c = c;
    t.normal = Vec3Cross(Vec3Sub(b, a), Vec3Sub(c, a));
    t.point = point;
    return t;
}

bool SphereIntersectOBB(const OBBStruct& box, const Vec3& centre, float radius) {
    const Vec3 rel = Vec3Sub(centre, box.centre);
    const float size[3] = {box.size.x, box.size.y, box.size.z};
    float d = 0;
    for (int i = 0; i < 3; ++i) {
        const float u = Vec3Dot(rel, Row(box.matrix, i));
        if (u < -size[i])
            d += (u + size[i]) * (u + size[i]);
        else if (u > size[i])
            d += (u - size[i]) * (u - size[i]);
    }
    return radius * radius >= d;
}

bool TriangleIntersectOBB(const OBBStruct& box, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    const float h[3] = {box.size.x, box.size.y, box.size.z};
    const Vec3 a[3] = {Row(box.matrix, 0), Row(box.matrix, 1), Row(box.matrix, 2)};
    const Vec3 v = Vec3Sub(p1, box.centre);
    const Vec3 e1 = Vec3Sub(p2, p1);
    const Vec3 e2 = Vec3Sub(p3, p1);
    const Vec3 e3 = Vec3Sub(e1, e2);
    const Vec3 n = Vec3Cross(e1, e2);

    const float nv = std::fabs(Vec3Dot(n, v));
    const float nr = h[0] * std::fabs(Vec3Dot(n, a[0])) + h[1] * std::fabs(Vec3Dot(n, a[1])) +
                     h[2] * std::fabs(Vec3Dot(n, a[2]));
    if (nv > nr) return false;

    for (int i = 0; i < 3; ++i) {
        const float p = Vec3Dot(a[i], v);
        const float q1 = p + Vec3Dot(a[i], e1);
        const float q2 = p + Vec3Dot(a[i], e2);
        if (std::min({p, q1, q2}) > h[i] || std::max({p, q1, q2}) < -h[i]) return false;
    }

    const Vec3 edges[3] = {e1, e2, e3};
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        for (int ei = 0; ei < 3; ++ei) {
            const Vec3& e = edges[ei];
            const Vec3 l = Vec3Cross(a[i], e);
            const float p = Vec3Dot(l, v);
            const float q = p + Vec3Dot(l, ei == 0 ? e2 : e1);
            // The box radius on a_i x e: the other two half-extents against the
            // other two axes, crossed over.
            const float r = h[j] * std::fabs(Vec3Dot(a[k], e)) + h[k] * std::fabs(Vec3Dot(a[j], e));
            if (std::min(p, q) > r || std::max(p, q) < -r) return false;
        }
    }
    return true;
}

// ---- the box ------------------------------------------------------------------------
TOBBClass::TOBBClass(IOwnerBBInfo* info) : info_(info) {
    data_.matrix = kIdentityMatrix;
}

void TOBBClass::Update() {
    Vec3 size;
    info_->GetBBInfo(data_.matrix, size);
    data_.centre = MatrixGetTranslation(data_.matrix);
    MatrixClearTranslation(data_.matrix);
    data_.size = size;
    data_.radius = Vec3Length(size);
    CalcCorners();
}

void TOBBClass::CalcCorners() {
    Vec3 x, y, z;
    MatrixGetAxes(data_.matrix, &x, &y, &z);
    x = Vec3Scale(x, data_.size.x);
    y = Vec3Scale(y, data_.size.y);
    z = Vec3Scale(z, data_.size.z);
    static constexpr int kSigns[8][3] = {{1, 1, 1},  {-1, 1, 1},  {-1, 1, -1},  {1, 1, -1},
                                         {1, -1, 1}, {-1, -1, 1}, {-1, -1, -1}, {1, -1, -1}};
    for (int i = 0; i < 8; ++i)
        data_.corners[i] =
            Vec3Add(data_.centre, Vec3Add(Vec3Scale(x, static_cast<float>(kSigns[i][0])),
                                          Vec3Add(Vec3Scale(y, static_cast<float>(kSigns[i][1])),
                                                  Vec3Scale(z, static_cast<float>(kSigns[i][2])))));
}

bool TOBBClass::IntersectSphere(const Vec3& centre, float radius) const {
    if (!SpheresOverlapSq(data_.centre, data_.radius, centre, radius)) return false;
    return SphereIntersectOBB(data_, centre, radius);
}

bool TOBBClass::IntersectTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3) const {
    Vec3 c;
    const float r = TriangleBoundingSphere(p1, p2, p3, c);
    if (!SpheresOverlapSq(data_.centre, data_.radius, c, r)) return false;
    return TriangleIntersectOBB(data_, p1, p2, p3);
}

// ---- candidate search ---------------------------------------------------------------
TSphereCollision::TSphereCollision(IOwnerBRU* owner) : owner_(owner) {
    IOwnerBBInfo* info = owner ? owner->GetBBInterface() : nullptr;
    if (!info) ErrorReport("TSphereCollision.Init : c_OwnerBRU.GetBBInterface( OwnerBBInfo) <> S_OK", "mhl");
    box_ = std::make_unique<TOBBClass>(info);
}

void TSphereCollision::Update() {
    box_->Update();
    CalcIntersection();
}

void TSphereCollision::ClearCandidates() {
    std::fill(candidates_.begin(), candidates_.end(), nullptr);
}

void TSphereCollision::AddCandidate(ICollisionBRU* candidate) {
    if (candidates_.size() < kMaxCandidates) candidates_.push_back(candidate);
}

void TSphereCollision::CalcIntersection() {
    candidates_.clear();
    if (!ShipListHook()) return;
    const void* own = owner_->GetBRU();
    std::vector<std::pair<Vec3, float>> spheres;
    for (const ShipCollisionEntry& ship : ShipListHook()()) {
        if (ship.unit == own) continue;
        if (!ship.collision) {
            ErrorReport("TSphereCollision.CalcIntersection: bru.QueryInterface(IID_IPhysicOps, fPhOps)<>S_OK",
                        "mhl");
            continue;
        }
        Vec3 centre;
        float radius = 0;
        ship.collision->GetBSphere(centre, radius);
        if (!box_->IntersectSphere(centre, radius)) continue;
        // A unit without a sphere list is not a candidate.
        spheres.clear();
        if (!ship.collision->GetBSphereList(spheres)) continue;
        for (const auto& [c, r] : spheres) {
            if (box_->IntersectSphere(c, r)) {
                AddCandidate(ship.collision);
                break;
            }
        }
        if (candidates_.size() >= kMaxCandidates) break;
    }
}

// ---- triangle pass ------------------------------------------------------------------
TCollisionComponet::TCollisionComponet(IOwnerBRU* owner) : TSphereCollision(owner) {}

void TCollisionComponet::Update() {
    TSphereCollision::Update();
    CalcIntersection();
}

void TCollisionComponet::GetContactNormal(Vec3& out) const {
    out = HasContact() ? contact_.normal : Vec3{};
}

bool TCollisionComponet::GetContactPoint(Vec3& out) const {
    if (HasContact()) out = contact_.point;
    return HasContact();
}

bool TCollisionComponet::GetFirstCandidate(ICollisionBRU*& out) const {
    out = nullptr;
    if (!HasContact() || candidates_.empty()) return false;
    out = candidates_.front();
    return true;
}

Vec3 TCollisionComponet::CalcContactPoint(const Vec3& a, const Vec3& b, const Vec3& c) const {
    const OBBStruct& box = box_->GetData();
    for (const auto& edge : kBoxEdgeTable) {
        Vec3 hit;
        if (SegmentTriangleIntersect(box.corners[edge[0]], box.corners[edge[1]], a, b, c, &hit)) return hit;
    }
    // No box edge crosses the triangle (it lies inside the box or pierces a
    // face): its middle is the place of contact.
    return Vec3Scale(Vec3Add(a, Vec3Add(b, c)), 1.0f / 3.0f);
}

void TCollisionComponet::CalcIntersection() {
    contactCount_ = 0;
    for (ICollisionBRU* candidate : candidates_) {
        if (!candidate) continue;
        std::span<const Vec3> positions;
        std::span<const uint32_t> indices;
        candidate->GetMeshTriangles(positions, indices);
        for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
            // Indices beyond the vertices are content faults: such a triangle is passed over.
            if (indices[i] >= positions.size() || indices[i + 1] >= positions.size() ||
                indices[i + 2] >= positions.size())
                continue;
            const Vec3& a = positions[indices[i]];
            const Vec3& b = positions[indices[i + 1]];
            const Vec3& c = positions[indices[i + 2]];
            if (!box_->IntersectTriangle(a, b, c)) continue;
            if (contactCount_ == 1) return;
            contact_ = CreateCollisionTriangle(a, b, c, CalcContactPoint(a, b, c));
            contactCount_ = 1;
        }
    }
}

} // namespace vesk
