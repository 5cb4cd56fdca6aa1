#include "world/ship.h"

#include "core/var_list.h"
#include "physics/bsphere.h"
#include "physics/coll_detector.h"
#include "physics/player_physic.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/managers.h"
#include "render/multirole.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/ship_builder.h"

#include <exception>
#include <utility>

namespace vesk {

int32_t ShipCount = 0;

namespace {
constexpr uint64_t kShipFlags = 0x80004;
constexpr uint64_t kShipFlags2 = 0x1000010;
// Ships are lit by the suns; in interface scenes by the scene's lamps.
constexpr uint16_t kShipLights = 2;
// Ships carry every part the builder makes.
constexpr uint32_t kShipBuildFlags = 0xFFF;
} // namespace

void ShipClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    ++ShipCount;
    SetFlag(kShipFlags);
    SetFlag2(kShipFlags2);
    roList1_.clear();
    roList2_.clear();
    ownedHelper_ = nullptr;
    SetSortValue(1.0f);
    SetLightMask(kShipLights);
    gameOps_ = GameOpsOf(this);
    // The ship's bounding-sphere container: the builder fills it.
    CreateBSpheres();
    if (BRUTickMan) BRUTickMan->AddTickedObj(this, *TickHandle());
}

void ShipClass::Free() {
    --ShipCount;
    ReleaseCollision();
    if (TEngineObject* h = std::exchange(ownedHelper_, nullptr)) {
        h->RemoveSubscriber(this);
        h->Free();
    }
    if (TBRULOD* l = std::exchange(lod_, nullptr)) l->Free();
    if (NozzlesController* n = std::exchange(nozzles_, nullptr)) n->RemoveSubscriber(this);
    gameOps_ = nullptr;
    TBaseRenderUnit::Free();
}

void ShipClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == nozzles_) nozzles_ = nullptr;
        if (gone == ownedHelper_) ownedHelper_ = nullptr;
    }
    TBaseRenderUnit::Message(sender, msg, param);
}

void ShipClass::SetOwnedHelper(TEngineObject* o) {
    if (ownedHelper_ == o) return;
    if (TEngineObject* old = std::exchange(ownedHelper_, o)) {
        old->RemoveSubscriber(this);
        old->Free();
    }
    if (o) o->AddSubscriber(this);
}

void ShipClass::ReleaseCollision() {
    if (CollDataClass* c = std::exchange(collision_, nullptr)) c->Free();
}

TBRULOD* ShipClass::GetLOD(bool make) {
    if (!lod_ && make) lod_ = TBRULOD::Create();
    return lod_;
}

void ShipClass::SetLOD(TBRULOD* lod) {
    if (lod == lod_) return;
    if (TBRULOD* old = std::exchange(lod_, lod)) old->Free();
}

NozzlesController* ShipClass::GetNozzles(bool make) {
    if (!nozzles_ && make) {
        nozzles_ = NozzlesController::Create(this);
    }
    return nozzles_;
}

void ShipClass::SetEngineGlow(float value, float rise, float fall) {
    if (nozzles_) nozzles_->Update(value, rise, fall);
}

bool ShipClass::GetVelocity(Vec3& out) const {
    out = {};
    IRenderUnitAI* body = nullptr;
    if (!GetBPU(body) || !body) return false;
    out = body->BodyVelocity();
    return true;
}

IBRUCollisionInfo* ShipClass::GetCollisionInfo() {
    return collision_ ? collision_->CreateCollisionInformator(this) : nullptr;
}

void ShipClass::KeepCollision(const CollDataClass& hit) {
    TBaseRenderUnit* other = hit.GetOtherUnit();
    if (!other) return;
    CollDataClass* copy = CollDataClass::Create(other, &hit.point, hit.normal, hit.start, hit.end);
    if (!copy) return;
    // Made anew, the record would turn the normal round once more.
    copy->normal = hit.normal;
    copy->startMinusEnd = hit.startMinusEnd;
    copy->localPoint = hit.localPoint;
    copy->distance = hit.distance;
    ReleaseCollision();
    collision_ = copy;
}

int ShipClass::Build(const std::string& meshName, const std::string& unitName, int32_t options) {
    std::unique_ptr<ShipConfigClass> config;
    if (options & 1) {
        config = ShipConfigClass::Create();
        config->SetSpawnFX(false);
    }
    return Build(meshName, unitName, std::move(config)) ? 1 : 0;
}

bool ShipClass::Build(const std::string& meshName, const std::string& unitName,
                      std::unique_ptr<ShipConfigClass> config) {
    meshName_ = meshName;
    BRUBuilderClass* builder = BRUBuilderClass::Create(this, meshName, unitName, kShipBuildFlags);
    builder->SetConfig(std::move(config));
    builder->Build();
    builder->Free();
    return true;
}

void ShipClass::ClearBuild() {
    if (NozzlesController* n = std::exchange(nozzles_, nullptr)) {
        n->RemoveSubscriber(this);
        RemoveMutualSubscriber(n);
        n->Free();
    }
    SetLOD(nullptr);
    ros_.reset();
    DropBSphereRecords();
    lastLevel_ = nullptr;
    // The builder's children go; the attach points stay and items keep hanging on them.
    if (childs_)
        for (TBaseRenderUnit* c : *childs_) {
            if (!c || c == HelpersContainer()) continue;
            if (dynamic_cast<BSpheresContainerClass*>(c) || dynamic_cast<TLampClass*>(c) ||
                dynamic_cast<TCylinder*>(c) || dynamic_cast<TurretSlotClass*>(c) ||
                dynamic_cast<MultiroleBRUClass*>(c))
                c->Kill();
        }
    CleanAndRemoveZeroElementsFromChildsBRUList();
    CreateBSpheres();
    // The ray groups of the old model went with its guns.
    if (gameOps_) gameOps_->DropRays();
}

bool ShipClass::Rebuild(const std::string& meshName) {
    ClearBuild();
    return Build(meshName, GetName(), nullptr);
}

TBaseRenderUnit* ShipClass::CreateCopy(TBaseRenderUnit*) {
    ErrorReport("ShipClass.CreateCopy: NOT SUPPORTED", "mhl");
    return nullptr;
}

void ShipClass::AddBSpheresFrom(TBaseRenderUnit* source) {
    TBaseRenderUnit::AddBSpheresFrom(source);
    std::vector<BSphereRecord>* list = GetBSphereList();
    if (list && !list->empty()) return;
    BSphereRecord* own = nullptr;
    GetOwnBSphere(own);
    if (own) AddBSphere(own->centre, own->radius, 0);
}

void ShipClass::DoRender() {
    if (!IsInView()) return;
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
    AddLights(GetLightMask());
    BeginRender();
    lastLODValue_ = GetBSphereRadius() / (GetDistanceToCamera() + 1.0f) * 100.0f;
    lastLevel_ = nullptr;
    uint32_t total = 0;
    if (lod_) lod_->GetROByDistance(lastLODValue_, total, lastLevel_);
    if (Engine) Engine->IncFrameObjCount();
    if (lastLevel_ && HasFlag(BRU_VISIBLE)) lastLevel_->Render();
    for (TRenderObject* ro : roList2_)
        if (ro) ro->Render();
    if (!roList1_.empty() && Device) {
        Matrix saved;
        Device->GetTransform(platform::D3DTS_WORLD, &saved);
        static const Matrix identity;
        const Matrix& global = Engine ? Engine->GetLocalMatrix() : identity;
        Device->SetTransform(platform::D3DTS_WORLD, &global);
        for (TRenderObject* ro : roList1_)
            if (ro) ro->Render();
        Device->SetTransform(platform::D3DTS_WORLD, &saved);
    }
    ClearLocalLights();
}

void ShipClass::UpdateMatrices(const Matrix* parent) {
    // Placed by its physics this tick, from the same parent and place: the
    // engine's pass would compute every matrix of the ship again, bit for bit.
    if (HasFlag2(BRU2_PLACED_AHEAD)) {
        ClearFlag2(BRU2_PLACED_AHEAD);
        if (placed_ && (parent != nullptr) == placedUnder_ && MatrixSameBits(localMatrix_, placedLocal_) &&
            (!parent || MatrixSameBits(*parent, placedParent_)))
            return;
    }
    TBaseRenderUnit::UpdateMatrices(parent);
    CalcBSphere(nullptr, nullptr, nullptr);
    placed_ = true;
    placedUnder_ = parent != nullptr;
    placedLocal_ = localMatrix_;
    if (parent) placedParent_ = *parent;
}

void ShipClass::Tick(float dtMs) {
    if (!GameUpdatesFrozen() && gameOps_ && gameOps_->HasCollDetector()) {
        CollDataClass* hit = nullptr;
        if (gameOps_->GetCollDetector()->CheckCollision(hit) && hit) {
            ReleaseCollision();
            collision_ = hit;
            // Back to where the sweep began: the ship stops short of what it met.
            SetPosition(hit->start);
            SetWorldPosition(hit->start);
            TBaseRenderUnit* other = hit->GetOtherUnit();
            if (other && GetCollisionEvent() && other->GetCollisionEvent())
                FireCollisionEvents(GetCollisionEvent(), other->GetCollisionEvent());
        }
    }
    TBaseRenderUnit::Tick(dtMs);
}

bool ShipClass::DiscardBRU() {
    try {
        if (NozzlesController* n = std::exchange(nozzles_, nullptr)) n->RemoveSubscriber(this);
        return TBaseRenderUnit::DiscardBRU();
    } catch (const std::exception& e) {
        ErrorReport("ShipClass.DiscardBRU AV: " + GetName() + ": " + e.what(), "mhl");
    }
    return true;
}

} // namespace vesk
