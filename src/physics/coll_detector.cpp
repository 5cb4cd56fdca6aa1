#include "physics/coll_detector.h"

#include "core/application.h"
#include "physics/bsphere.h"
#include "physics/dyn_targets.h"
#include "physics/pf_objects.h"
#include "physics/ph_owner.h"
#include "physics/ph_vector.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math_geometry.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
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
    // The sphere test first: most paths miss most spheres, and asking for the
    // mesh shares it.
    Vec3 p;
    if (!CollSegmentHitsSphere(a, b, sphere->GetPositionV(), sphere->GetRadius(), p)) return false;
    if (!HasMesh(sphere)) return false;
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

// ---- collision records ------------------------------------------------------------------

int CollDetectorCount = 0;

namespace {

CollisionParentQuery& ParentQuery() {
    static CollisionParentQuery query;
    return query;
}

std::function<float()>& FrameTimeSource() {
    static std::function<float()> source;
    return source;
}

float FrameTimeMs() {
    if (FrameTimeSource()) return FrameTimeSource()();
    return Core ? Core->GetFrameDelta() : 0.0f;
}

// The section's triangles in world space: its positions (kept relative to the
// sphere) moved by the sphere unit's world matrix.
const std::vector<Vec3>& WorldSection(IBoundingSphere2* sphere, BSSectionMesh& mesh) {
    auto* unit = dynamic_cast<TBaseRenderUnit*>(sphere);
    if (!unit) return mesh.Transformed();
    mesh.transformed.resize(mesh.positions.size());
    Vec3TransformCoordArray(mesh.positions, unit->GetWorldMatrix(), mesh.transformed);
    return mesh.transformed;
}

} // namespace

void SetCollisionParentQuery(CollisionParentQuery query) {
    ParentQuery() = std::move(query);
}

TBaseRenderUnit* CollisionParentOf(TBaseRenderUnit* unit) {
    if (!unit) return nullptr;
    if (ParentQuery()) return ParentQuery()(unit);
    for (TBaseRenderUnit* p = unit->Parent(); p; p = p->Parent())
        if (p->HasFlag(BRU_SHIP)) return p;
    return nullptr;
}

BSpheresContainerClass* GetSphereTree(TBaseRenderUnit* unit) {
    BSpheresContainerClass* tree = nullptr;
    if (unit) unit->FindChildByClass(tree);
    return tree;
}

CollisionInformatorClass* CollisionInformatorClass::Init(TBaseRenderUnit* unitHit, TBaseRenderUnit* other,
                                                         const Vec3& point, const Vec3& normal) {
    if (!other) {
        ErrorReport("CollisionInformatorClass.Init: bru2 = nil", "mhl");
        return nullptr;
    }
    auto* info = ClamClass::Init<CollisionInformatorClass>(unitHit);
    info->other_ = DynamicTargetPositionClass::Init(info, other, "");
    info->point_ = point;
    info->normal_ = normal;
    return info;
}

TBaseRenderUnit* CollisionInformatorClass::GetOtherUnit() {
    return other_ ? other_->GetTarget() : nullptr;
}

void CollisionInformatorClass::Free() {
    if (other_) std::exchange(other_, nullptr)->Free();
    ClamClass::Free();
}

CollDataClass::CollDataClass() {
    ++CollDetectorCount;
}

CollDataClass* CollDataClass::Create(TBaseRenderUnit* other, const Vec3* point, const Vec3& normal,
                                     const Vec3& start, const Vec3& end) {
    if (!point) {
        ErrorReport("CollDataClass.Init: _pvColl = nil", "mhl");
        return nullptr;
    }
    auto* r = New<CollDataClass>();
    r->start = start;
    r->end = end;
    r->startMinusEnd = Vec3Sub(start, end);
    if (other) r->other_ = DynamicTargetPositionClass::Init(r, other, "");
    r->point = *point;
    const float len = Vec3Length(normal);
    r->normal = len <= 1e-5f ? Vec3{1, 0, 0} : Vec3Scale(normal, -1.0f / len);
    r->distance = Vec3Length(Vec3Sub(*point, start));
    return r;
}

void CollDataClass::Free() {
    if (other_) std::exchange(other_, nullptr)->Free();
    --CollDetectorCount;
    TEngineObject::Free();
}

TBaseRenderUnit* CollDataClass::GetOtherUnit() const {
    return other_ ? other_->GetTarget() : nullptr;
}

void CollDataClass::ComputeLocalPoint() {
    TBaseRenderUnit* other = GetOtherUnit();
    if (!other) return;
    Matrix m = other->GetWorldMatrix();
    MatrixNormalizeColumns(m);
    localPoint = Vec3InverseTransformCoord(point, m);
}

IBRUCollisionInfo* CollDataClass::CreateCollisionInformator(TBaseRenderUnit* unitHit) {
    return CollisionInformatorClass::Init(unitHit, GetOtherUnit(), point, normal);
}

// ---- the detector ----------------------------------------------------------------------

namespace {
std::map<const TBaseRenderUnit*, CollDetectorClass*>& Detectors() {
    static std::map<const TBaseRenderUnit*, CollDetectorClass*> detectors;
    return detectors;
}
} // namespace

void CollDetectorClass::SetFrameTimeSource(std::function<float()> source) {
    FrameTimeSource() = std::move(source);
}

CollDetectorClass::CollDetectorClass() {
    ++CollDetectorCount;
}

CollDetectorClass* CollDetectorClass::Create(TBaseRenderUnit* owner) {
    auto* d = New<CollDetectorClass>();
    d->owner_ = owner;
    d->Exclude(owner);
    if (TBaseRenderUnit* parent = CollisionParentOf(owner)) d->Exclude(parent);
    if (auto* root = dynamic_cast<ICollisionExclusionRoot*>(owner))
        d->ExcludeMarkedIn(root->GetExclusionRoot());
    return d;
}

CollDetectorClass* GetCollDetector(TBaseRenderUnit* unit) {
    if (!unit) return nullptr;
    CollDetectorClass*& d = Detectors()[unit];
    if (!d) {
        d = CollDetectorClass::Create(unit);
        // The detector goes when its unit does.
        d->AddMutualSubscriber(unit);
    }
    return d;
}

void CollDetectorClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        std::erase(exclusions_, static_cast<TBaseRenderUnit*>(dynamic_cast<TBaseRenderUnit*>(gone)));
        if (owner_ && gone == owner_) {
            auto it = Detectors().find(owner_);
            const bool registered = it != Detectors().end() && it->second == this;
            owner_ = nullptr;
            if (registered) {
                Detectors().erase(it);
                TEngineObject::Message(sender, msg, param);
                Free();
                return;
            }
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void CollDetectorClass::Free() {
    FreeResults();
    exclusions_.clear();
    if (owner_) {
        auto it = Detectors().find(owner_);
        if (it != Detectors().end() && it->second == this) {
            Detectors().erase(it);
            RemoveMutualSubscriber(owner_);
        }
    }
    owner_ = nullptr;
    --CollDetectorCount;
    TEngineObject::Free();
}

void CollDetectorClass::FreeResults() {
    for (CollDataClass* r : results_)
        if (r) r->Free();
    results_.clear();
}

void CollDetectorClass::Exclude(TBaseRenderUnit* unit) {
    if (unit && std::find(exclusions_.begin(), exclusions_.end(), unit) == exclusions_.end())
        exclusions_.push_back(unit);
}

void CollDetectorClass::ExcludeMarkedIn(TBaseRenderUnit* root) {
    if (!root) return;
    root->ForEachInTree(
        [this](TBaseRenderUnit* u, void*) {
            if (u->HasFlag(BRU_OPAQUE)) Exclude(u);
            return true;
        },
        nullptr);
}

void CollDetectorClass::AddExclusions(TBaseRenderUnit* root) {
    ExcludeMarkedIn(root);
}

namespace {

// Whether a unit may be swept against (it has an AI unit and is no
// non-colliding field), and then its speed.
bool SweptAgainst(TBaseRenderUnit* unit, float& speed) {
    IOwnerPhObj* ai = OwnerOfUnit(unit);
    if (!ai) return false;
    const TShipPhysicParams* rec = ai->GetPhysicParams();
    if (rec && rec->sizeClass == SC_FIELD_NSC) return false;
    speed = ai->GetVelocityVector() ? ai->GetVelocityVector()->GetLength() : 0.0f;
    return true;
}

} // namespace

std::vector<TBaseRenderUnit*> CollDetectorClass::SelectCandidates(const std::vector<TBaseRenderUnit*>& units,
                                                                  int mode) const {
    std::vector<TBaseRenderUnit*> out;
    for (TBaseRenderUnit* u : units) {
        float speed = 0.0f;
        if (!SweptAgainst(u, speed)) continue;
        const bool take = mode == kCollStanding ? speed <= 0.0001f
                          : mode == kCollMoving ? allObjects_ || speed >= 0.0001f
                                                : true;
        if (take) out.push_back(u);
    }
    std::erase_if(out, [this](TBaseRenderUnit* u) {
        return std::find(exclusions_.begin(), exclusions_.end(), u) != exclusions_.end();
    });
    return out;
}

std::vector<CollDataClass*> CollDetectorClass::Sweep(const std::vector<TBaseRenderUnit*>& units,
                                                     const Vec3& a, const Vec3& b) {
    std::vector<CollDataClass*> hits;
    for (TBaseRenderUnit* u : units) {
        BSpheresContainerClass* tree = GetSphereTree(u);
        SphereTreeHit hit;
        if (tree && IsRayIntersectObject(tree, a, b, hit))
            if (CollDataClass* r = CollDataClass::Create(u, &hit.point, hit.normal, a, b)) hits.push_back(r);
    }
    return hits;
}

Vec3 CollDetectorClass::OwnerPosition() const {
    Vec3 p{};
    if (owner_) owner_->GetPosition(p);
    return p;
}

bool CollDetectorClass::CheckCollisionWithObjects(void*, const Vec3& v, float timeScale,
                                                  const std::vector<TBaseRenderUnit*>& units) {
    FreeResults();
    const std::vector<TBaseRenderUnit*> candidates = SelectCandidates(units, kCollStanding);
    sweepStart_ = OwnerPosition();
    sweepEnd_ = Vec3Add(sweepStart_, Vec3Scale(v, timeScale));
    results_ = Sweep(candidates, sweepStart_, sweepEnd_);
    return false;
}

bool CollDetectorClass::CheckCollisionWithStaticObject(TBaseRenderUnit* ship, const Vec3& v, float timeScale,
                                                       const std::vector<TBaseRenderUnit*>& units) {
    if (!CollisionParentOf(ship)) {
        ErrorReport("CheckCollisionWithStaticObject: not fgo.GetParentShip(ship)", "mhl");
        return false;
    }
    const std::vector<TBaseRenderUnit*> candidates = SelectCandidates(units, kCollAll);
    // The remembered records go: nobody else holds them (the one a check
    // hands out has left the list).
    FreeResults();
    const Vec3 p = OwnerPosition();
    for (CollDataClass* r : Sweep(candidates, p, Vec3Add(p, Vec3Scale(v, timeScale)))) r->Free();
    return false;
}

Vec3 CollDetectorClass::OwnerVelocity() const {
    if (IOwnerPhObj* ai = OwnerOfUnit(owner_))
        return ai->GetVelocityVector() ? ai->GetVelocityVector()->GetVector() : Vec3{};
    if (auto* v = dynamic_cast<IUnitVelocity*>(owner_)) return v->GetUnitVelocity();
    return {};
}

bool FindUnitHit(TBaseRenderUnit* unit, BSpheresContainerClass* tree, const Vec3& p, const Vec3& e,
                 float tMin, UnitHit& out) {
    SphereTreeHit hit;
    if (!unit || !tree || !IsRayIntersectObject(tree, p, e, hit)) return false;
    out = {hit.point, hit.normal, false};
    std::shared_ptr<BSSectionMesh> section;
    if (!hit.sphere || !hit.sphere->GetMeshGeometry(section) || !section) return true;
    // Small units collide on their spheres alone.
    if (unit->GetBSphereRadius() < kHullHitRadius) return true;
    const std::vector<Vec3>& positions = WorldSection(hit.sphere, *section);
    const ColliseDetectorTriangles triangles(positions, section->indices, tMin, 1.0f);
    Vec3 point, normal;
    if (!triangles.FindNearestHit(p, Vec3Sub(e, p), point, normal)) return false;
    out = {point, normal, true};
    return true;
}

CollDataClass* CollDetectorClass::TryUnit(TBaseRenderUnit* unit, BSpheresContainerClass* tree,
                                          CollDataClass* remembered, const Vec3& p, const Vec3& e,
                                          const Vec3& s, float tMin) {
    UnitHit hit;
    if (!FindUnitHit(unit, tree, p, e, tMin, hit)) return nullptr;
    if (!hit.onHull || !remembered) return CollDataClass::Create(unit, &hit.point, hit.normal, p, e);
    remembered->point = hit.point;
    remembered->normal = hit.normal;
    remembered->startMinusEnd = s;
    return remembered;
}

void CollisionCandidates::Gather() {
    std::vector<TBaseRenderUnit*> units;
    GetSceneShips(units);
    entries_.clear();
    entries_.reserve(units.size());
    for (TBaseRenderUnit* u : units) {
        float speed = 0.0f;
        if (!SweptAgainst(u, speed)) continue;
        // A unit without a tree is never hit.
        BSpheresContainerClass* tree = GetSphereTree(u);
        if (!tree) continue;
        entries_.push_back({u, tree, tree->GetPositionV(), tree->GetRadius(), speed >= 0.0001f});
    }
}

namespace {

// The sweep from a to b as a ball around its middle, for passing over the
// trees whose outer sphere it cannot meet before walking them.
class SweepBall {
public:
    SweepBall(const Vec3& a, const Vec3& b) : mid_(Vec3Scale(Vec3Add(a, b), 0.5f)) {
        const float half = 0.5f * Vec3Length(Vec3Sub(b, a));
        const float size = std::max({std::fabs(mid_.x), std::fabs(mid_.y), std::fabs(mid_.z)});
        reach_ = (half * (1.0f + kSlack) + kSlack * size) / (1.0f - kSlack);
    }
    // True only when every point of the sweep lies clearly outside the
    // sphere, so that CollSegmentHitsSphere on it says no (which takes a
    // negative radius by its size at the ends). The slack, far beyond the
    // rounding of either test, leaves near misses to the exact test.
    bool Misses(const Vec3& centre, float radius) const {
        const float reach = std::fabs(radius) * kRadiusScale + reach_;
        return Vec3LengthSq(Vec3Sub(centre, mid_)) > reach * reach;
    }

private:
    static constexpr float kSlack = 1e-4f;
    static constexpr float kRadiusScale = (1.0f + kSlack) / (1.0f - kSlack);
    Vec3 mid_;
    float reach_;
};

} // namespace

CollDataClass* CollDetectorClass::TryCandidates(const CollisionCandidates& candidates, const Vec3& p,
                                                const Vec3& e, const Vec3& s) {
    const SweepBall sweep(p, e);
    for (const CollisionCandidates::Entry& c : candidates.entries_) {
        if (!allObjects_ && !c.moving) continue;
        // The tree's walk starts with its outer sphere: a sweep clear of it hits nothing inside.
        if (sweep.Misses(c.centre, c.radius)) continue;
        if (std::find(exclusions_.begin(), exclusions_.end(), c.unit) != exclusions_.end()) continue;
        if (CollDataClass* r = TryUnit(c.unit, c.tree, nullptr, p, e, s, -1.0f)) return r;
    }
    return nullptr;
}

bool CollDetectorClass::CheckCollisionWithObjects(const Vec3& v, float timeScale,
                                                  const CollisionCandidates& candidates) {
    FreeResults();
    sweepStart_ = OwnerPosition();
    sweepEnd_ = Vec3Add(sweepStart_, Vec3Scale(v, timeScale));
    const SweepBall sweep(sweepStart_, sweepEnd_);
    std::vector<TBaseRenderUnit*> standing;
    for (const CollisionCandidates::Entry& c : candidates.entries_) {
        if (c.moving || sweep.Misses(c.centre, c.radius)) continue;
        if (std::find(exclusions_.begin(), exclusions_.end(), c.unit) != exclusions_.end()) continue;
        standing.push_back(c.unit);
    }
    results_ = Sweep(standing, sweepStart_, sweepEnd_);
    return false;
}

float CollDetectorClass::SweepSeconds() {
    return FrameTimeMs() * 0.001f * 2.0f;
}

bool CollDetectorClass::CheckCollision(CollDataClass*& out) {
    return Check(out, nullptr);
}

bool CollDetectorClass::CheckCollision(CollDataClass*& out, const CollisionCandidates& candidates) {
    return Check(out, &candidates);
}

bool CollDetectorClass::Check(CollDataClass*& out, const CollisionCandidates* candidates) {
    out = nullptr;
    const Vec3 p = OwnerPosition();
    position_[0] = p.x, position_[1] = p.y, position_[2] = p.z, position_[3] = 1.0f;
    const Vec3 s = Vec3Scale(OwnerVelocity(), SweepSeconds());
    const Vec3 e = Vec3Add(p, s);

    CollDataClass* result = nullptr;
    for (CollDataClass* r : results_) {
        if (!r) continue;
        TBaseRenderUnit* other = r->GetOtherUnit();
        if (!other) continue;
        result = TryUnit(other, GetSphereTree(other), r, p, e, s, 0.0f);
        if (result) break;
    }
    if (!result) {
        if (candidates) {
            result = TryCandidates(*candidates, p, e, s);
        } else {
            CollisionCandidates now;
            now.Gather();
            result = TryCandidates(now, p, e, s);
        }
    }
    if (!result) return false;

    // The result is the caller's now; the other remembered records go.
    std::erase(results_, result);
    FreeResults();
    result->ComputeLocalPoint();
    out = result;
    return true;
}

} // namespace vesk
