#include "physics/coll_detector.h"

#include "physics/bsphere.h"
#include "shared/errors.h"
#include "shared/math_geometry.h"

#include <cmath>
#include <exception>
#include <memory>

namespace vesk {

bool CollSegmentHitsSphere(const Vec3& a, const Vec3& b, const Vec3& c, float r, Vec3& p) {
    Vec3 d = Vec3Sub(b, a);
    const float len = Vec3Length(d);
    if (len <= 1e-6f) return false;
    d = Vec3Scale(d, -1.0f / len);
    const Vec3 ac = Vec3Sub(a, c), bc = Vec3Sub(b, c);
    if (Vec3LengthSq(ac) < r * r) {
        p = a;
        return true;
    }
    if (Vec3LengthSq(bc) < r * r) {
        p = b;
        return true;
    }
    Vec3 q;
    const float t = ClosestPointOnLine(c, a, b, q);
    const float h = Vec3Length(Vec3Sub(q, c));
    if (h > r) return false;
    if (Vec3Dot(ac, bc) > 0) {
        const float limit = std::sqrt(2.0f) * r;
        if (!(Vec3Length(ac) < limit || Vec3Length(bc) < limit)) return false;
    }
    if (t < 0 || t > 1) return false;
    p = Vec3Add(q, Vec3Scale(d, std::sqrt(r * r - h * h)));
    return true;
}

namespace {

bool HasMesh(IBoundingSphere2* s) {
    std::shared_ptr<BSSectionMesh> mesh;
    return s->GetMeshGeometry(mesh) && mesh;
}

bool Descend(IBoundingSphere2* sphere, const Vec3& a, const Vec3& b, SphereTreeHit& hit) {
    hit = SphereTreeHit{};
    if (!HasMesh(sphere)) return false;
    Vec3 p;
    if (!CollSegmentHitsSphere(a, b, sphere->GetPositionV(), sphere->GetRadius(), p)) return false;
    hit.sphere = sphere;
    hit.point = p;
    hit.normal = Vec3Normalize(Vec3Sub(p, sphere->GetPositionV()));
    float best = 1e10f;
    IBoundingSphere2* winner = nullptr;
    Vec3 winnerPoint;
    int it = 0;
    sphere->ResetChildIterator(it);
    IBoundingSphere2* child = nullptr;
    while (sphere->NextChildSphere(it, child)) {
        Vec3 cp;
        if (!child || !CollSegmentHitsSphere(a, b, child->GetPositionV(), child->GetRadius(), cp)) continue;
        const float d = Vec3Length(Vec3Sub(cp, a));
        if (best > d) {
            best = d;
            winner = child;
            winnerPoint = cp;
        }
    }
    if (winner) {
        hit.point = winnerPoint;
        hit.normal = Vec3Normalize(Vec3Sub(winnerPoint, winner->GetPositionV()));
        hit.sphere = winner;
        SphereTreeHit inner;
        if (Descend(winner, a, b, inner)) hit = inner;
    }
    return true;
}

} // namespace

bool IsRayIntersectObject(IBoundingSphere2* sphere, const Vec3& a, const Vec3& b, SphereTreeHit& hit) {
    try {
        return sphere && Descend(sphere, a, b, hit);
    } catch (const std::exception&) {
        ErrorReport("CollDetectorClass.IsRayIntersectObject: AV", "mhl");
        return false;
    }
}

bool ColliseDetectorTriangles::HitTriangle(const Vec3& o, const Vec3& d, std::size_t i, Vec3& point,
                                           Vec3* normal) const {
    if (i + 2 >= indices_.size()) return false;
    for (std::size_t k = 0; k < 3; ++k)
        if (indices_[i + k] >= positions_.size())
            return false; // index beyond the vertices: no triangle there
    const Vec3 v[3] = {positions_[indices_[i]], positions_[indices_[i + 1]], positions_[indices_[i + 2]]};
    const Vec3 e[3] = {Vec3Sub(v[1], v[0]), Vec3Sub(v[2], v[1]), Vec3Sub(v[0], v[2])};
    const Vec3 n = Vec3Cross(e[2], e[0]);
    const float len = Vec3Length(n);
    if (len < 1e-5f) return false;
    const Vec3 nn = Vec3Scale(n, 1.0f / len);
    if (normal) *normal = nn;
    const float nd = Vec3Dot(nn, d);
    if (nd > 0 || nd == 0) return false; // faces away, or the ray runs along the plane
    const float t = -(Vec3Dot(nn, o) - Vec3Dot(nn, v[0])) / nd;
    if (t < tMin_ || t > tMax_) return false;
    const Vec3 h = Vec3Add(o, Vec3Scale(d, t));
    for (int k = 0; k < 3; ++k) {
        Vec3 m = Vec3Normalize(Vec3Cross(e[k], nn));
        float w = -Vec3Dot(m, v[k]);
        const Vec3& opposite = v[(k + 2) % 3];
        if (Vec3Dot(m, opposite) + w > 0) {
            m = Vec3Scale(m, -1.0f);
            w = -w;
        }
        if (Vec3Dot(m, h) + w > 0) return false;
    }
    point = h;
    return true;
}

bool ColliseDetectorTriangles::FindNearestHit(const Vec3& o, const Vec3& d, Vec3& point, Vec3& normal) const {
    float best = 1e10f;
    for (std::size_t i = 0; i + 2 < indices_.size(); i += 3) {
        Vec3 p, n;
        if (!HitTriangle(o, d, i, p, &n)) continue;
        const float dist = Vec3Length(Vec3Sub(p, o));
        if (dist < best) {
            best = dist;
            point = p;
            normal = n;
        }
    }
    return best < 1e10f;
}

} // namespace vesk
