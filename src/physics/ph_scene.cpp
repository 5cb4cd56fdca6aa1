#include "physics/ph_scene.h"

#include "core/lua_adapter.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "physics/pf_objects.h"
#include "physics/player_physic.h"
#include "physics/unit_physic_ops.h"
#include "render/engine.h"
#include "render/mesh.h"
#include "render/mesh_geometry.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"

#include <algorithm>

namespace vesk {

PhysicsSceneClass* PhysicsScene = nullptr;

void CreatePhysicsScene() {
    if (PhysicsScene) return;
    PhysicsScene = TEngineObject::New<PhysicsSceneClass>();
    SetSceneShipsProvider([](std::vector<TBaseRenderUnit*>& out) {
        if (PhysicsScene) out = PhysicsScene->Ships();
    });
    SetShipCollisionListHook([] {
        std::vector<ShipCollisionEntry> out;
        if (PhysicsScene)
            for (TBaseRenderUnit* u : PhysicsScene->Ships())
                if (!LeavingScene(u)) out.push_back({u, UnitPhysicOps::Of(u)});
        return out;
    });
}

void FreePhysicsScene() {
    if (!PhysicsScene) return;
    SetSceneShipsProvider({});
    SetShipCollisionListHook(nullptr);
    std::exchange(PhysicsScene, nullptr)->Free();
}

void PhysicsSceneClass::AddShip(TBaseRenderUnit* unit) {
    if (!unit || !listed_.insert(unit).second) return;
    ships_.push_back(unit);
    AddMutualSubscriber(unit);
}

void PhysicsSceneClass::RemoveShip(TBaseRenderUnit* unit) {
    if (!listed_.erase(unit)) return;
    std::erase(ships_, unit);
    RemoveMutualSubscriber(unit);
}

bool PhysicsSceneClass::FindShipBRU(const TBaseRenderUnit* unit) const {
    return unit && listed_.contains(unit);
}

TBaseRenderUnit* PhysicsSceneClass::FindShipByName(const std::string& name) const {
    for (TBaseRenderUnit* u : ships_)
        if (u->GetName() == name) return u;
    return nullptr;
}

namespace {

// The geometry object that stands for the whole model: "base", else the first.
GeomObjStruct* MainObject(CMTreeClass& tree) {
    GeomObjStruct* g = nullptr;
    if (tree.GetGeomobject("base", g)) return g;
    return tree.GeomObjects().empty() ? nullptr : &tree.GeomObjects().front();
}

} // namespace

TBaseRenderUnit* PhysicsSceneClass::AddObject(const std::string& name, const std::string& modelFile,
                                              IPhysicParamsSource& params, BaseAIUnitClass*& ai) {
    ai = nullptr;
    CMTreeClass* tree = CMTreeManager ? CMTreeManager->GetCMTree(modelFile) : nullptr;
    GeomObjStruct* main = tree ? MainObject(*tree) : nullptr;
    if (!main) {
        // A model without geometry makes no ship; the run goes on.
        ErrorReport("PhysicsScene.AddObject: no geometry in " + modelFile + " for " + name, "");
        return nullptr;
    }
    MeshClass* unit = TBaseRenderUnit::Create<MeshClass>(Engine);
    unit->LoadFromCM(modelFile, name, name);
    unit->AddROFromCM(modelFile, main->names.name);
    unit->SetFlag(BRU_SHIP);
    if (Engine) Engine->AddChild(unit);
    // The model's attach points, where slots, guns and effects hang.
    for (const CMHelperStruct& h : tree->Helpers()) unit->AddHelper(h.names.name, h.position);
    unit->GetBSphereRadius(); // takes the box of its render object

    // The collision mesh: the low-polygon object when the model has one.
    GeomObjStruct* lowpoly = nullptr;
    const GeomObjStruct& collisionObject = tree->GetGeomobject("lowpoly", lowpoly) ? *lowpoly : *main;
    BSSectionMesh collision;
    collision.LoadFromModel(collisionObject);
    SetUnitCollisionMesh(unit, collision);
    auto* spheres = TBaseRenderUnit::Create<BSpheresContainerClass>(unit);
    unit->AddChild(spheres);
    spheres->LoadFromCM(*tree, &collision, IsShowBSpheresOn());
    // Every ship has a sphere list: without the model's, its own sphere.
    std::vector<BSphereRecord>* list = unit->GetBSphereList();
    if (!list || list->empty()) {
        BSphereRecord* own = nullptr;
        unit->GetOwnBSphere(own);
        if (own) unit->AddBSphere(own->centre, own->radius, 0);
    }

    PhConfigObjClass* config = PhConfigObjClass::Create(params, unit);
    ai = BaseAIUnitClass::Init(unit, config->Record());
    config->Free();
    AddShip(unit);
    return unit;
}

namespace {

// The hit's normal turned toward the surface the ship met, seen from where
// the sweep began; false when the sweep began inside what it met (the ship
// overlaps it already: it may leave as it likes) or the hit has no normal.
bool TowardSurface(const CollDataClass& hit, Vec3& n) {
    const Vec3 ahead = Vec3Sub(hit.point, hit.start);
    if (Vec3Length(ahead) <= 1e-4f || Vec3Length(hit.normal) == 0.0f) return false;
    n = Vec3Normalize(hit.normal);
    if (Vec3Dot(ahead, n) < 0.0f) n = Vec3Scale(n, -1.0f);
    return true;
}

// A ship that met something standing goes on no further into it: what its
// last move took it toward the surface is taken back, and its velocity keeps
// only what runs along the surface, so that it slides along the hull.
void StopShort(TBaseRenderUnit* unit, BaseAIUnitClass& ai, const Vec3d& before, const CollDataClass& hit) {
    Vec3 n;
    if (!TowardSurface(hit, n)) return;
    IPhVector* velocity = ai.GetVelocityVector();
    const Vec3 v = velocity ? velocity->GetVector() : Vec3{};
    if (velocity) velocity->SetVector(Vec3Sub(v, Vec3Scale(n, std::max(0.0f, Vec3Dot(v, n)))));
    const Vec3d now = ai.GetPositionD();
    const Vec3 moved{float(now.x - before.x), float(now.y - before.y), float(now.z - before.z)};
    const float into = Vec3Dot(moved, n);
    if (into <= 0.0f) return;
    ai.SetPositionD(Vec3dAdd(now, Vec3ToVec3d(Vec3Scale(n, -into))));
    ai.ComposeWorldMatrix();
    unit->UpdateMatrixFromBPU();
    unit->PlaceAhead(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
}

Vec3 VelocityOf(IOwnerPhObj* ai) {
    return ai && ai->GetVelocityVector() ? ai->GetVelocityVector()->GetVector() : Vec3{};
}

bool Standing(TBaseRenderUnit* unit) {
    IOwnerPhObj* ai = OwnerOfUnit(unit);
    return ai && Vec3Length(VelocityOf(ai)) <= 0.0001f;
}

bool IsMissile(IOwnerPhObj* ai) {
    const TShipPhysicParams* record = ai ? ai->GetPhysicParams() : nullptr;
    return record && record->sizeClass == SC_MISSILE;
}

// The speed at which a ship closed on what it met, along the hit's normal.
// Rockets strike with their own damage: meeting one, or being one, is no impact.
float ImpactSpeed(IOwnerPhObj* ai, TBaseRenderUnit* other, const CollDataClass& hit) {
    IOwnerPhObj* them = OwnerOfUnit(other);
    Vec3 n;
    if (IsMissile(ai) || IsMissile(them) || !TowardSurface(hit, n)) return 0.0f;
    return std::max(0.0f, Vec3Dot(Vec3Sub(VelocityOf(ai), VelocityOf(them)), n));
}

} // namespace

void PhysicsSceneClass::TickPhys(float ms) {
    // A ship may die in a listener: walk a copy.
    const std::vector<TBaseRenderUnit*> ships = ships_;
    // Where each ship was before this slice moved it.
    std::vector<Vec3d> before(ships.size());
    for (size_t i = 0; i < ships.size(); ++i) {
        TBaseRenderUnit* unit = ships[i];
        if (!FindShipBRU(unit)) continue;
        try {
            IRenderUnitAI* rai = nullptr;
            if (!unit->GetBPU(rai) || !rai) continue;
            auto* ai = CachedDynamicCast<BaseAIUnitClass>(rai);
            if (!ai) continue;
            before[i] = ai->GetPositionD();
            ai->Tick(ms);
            unit->UpdateMatrixFromBPU();
            unit->PlaceAhead(unit->Parent() ? &unit->Parent()->GetWorldMatrix() : nullptr);
        } catch (const std::exception&) {
            ErrorReport("TEnv.TickPhys: AV: BaseAIUnitClass(_p.ph.value): " + unit->GetName(), "mhl");
        }
    }
    // Moving ships sweep along their motion. Between the sweeps nothing moves,
    // comes or goes but through a hit's listener and events, so the ships swept
    // against are gathered once, and again after each hit.
    CollisionCandidates candidates;
    bool gathered = false;
    clock_ += ms;
    // Contacts long enough past are over.
    std::erase_if(contacts_,
                  [this](const Contact& c) { return clock_ - c.at > kContactGapSeconds * 1000.0; });
    for (size_t i = 0; i < ships.size(); ++i) {
        TBaseRenderUnit* unit = ships[i];
        if (!FindShipBRU(unit)) continue;
        IOwnerPhObj* ai = OwnerOfUnit(unit);
        if (!ai || !ai->GetVelocityVector() || ai->GetVelocityVector()->GetLength() == 0.0f) continue;
        if (!gathered) candidates.Gather(), gathered = true;
        CollDetectorClass* detector = GetCollDetector(unit);
        // What stands in the way is remembered first: the check tries it
        // before the ships that move.
        detector->CheckCollisionWithObjects(ai->GetVelocityVector()->GetVector(),
                                            CollDetectorClass::SweepSeconds(), candidates);
        CollDataClass* hit = nullptr;
        if (!detector->CheckCollision(hit, candidates) || !hit) continue;
        gathered = false;
        TBaseRenderUnit* other = hit->GetOtherUnit();
        auto* steering = dynamic_cast<BaseAIUnitClass*>(ai);
        if (other && steering) {
            // A ship pressing on against what it met strikes it once.
            const bool fresh = NoteContact(unit->GetId(), other->GetId());
            steering->SetImpact(fresh ? ImpactSpeed(ai, other, *hit) : 0.0f);
            if (Standing(other)) StopShort(unit, *steering, before[i], *hit);
        }
        const int32_t otherId = other ? other->GetId() : 0;
        if (listener_) listener_(unit, *hit);
        // The listener may have ended either ship: the events fire only
        // between ships that are still there.
        other = otherId ? FindEngineObjectAs<TBaseRenderUnit>(otherId) : nullptr;
        // The ship's collision event fires with the other ship's object.
        if (other && FindShipBRU(unit))
            FireCollisionEvents(unit->GetCollisionEvent(), other->GetCollisionEvent());
        // The listener and the events may have ended the ship.
        if (steering && FindShipBRU(unit)) steering->SetImpact(0.0f);
        hit->Free();
        // What the listener and the events did to the ships is not known:
        // the engine's pass places them all again.
        for (TBaseRenderUnit* ship : ships_) ship->ClearFlag2(BRU2_PLACED_AHEAD);
    }
}

bool PhysicsSceneClass::NoteContact(int32_t ship, int32_t other) {
    for (Contact& c : contacts_)
        if (c.ship == ship && c.other == other) {
            c.at = clock_;
            return false;
        }
    contacts_.push_back({ship, other, clock_});
    return true;
}

void PhysicsSceneClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        std::erase_if(ships_, [&](TBaseRenderUnit* u) {
            if (static_cast<TEngineObject*>(u) != gone) return false;
            listed_.erase(u);
            return true;
        });
    }
    TEngineObject::Message(sender, msg, param);
}

void PhysicsSceneClass::Free() {
    for (TBaseRenderUnit* u : ships_) RemoveMutualSubscriber(u);
    ships_.clear();
    listed_.clear();
    listener_ = nullptr;
    TEngineObject::Free();
}

} // namespace vesk
