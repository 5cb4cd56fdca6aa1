#include "world/guns.h"

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "physics/cm_tree.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_helpers.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/mesh.h"
#include "render/multirole.h"
#include "render/render_object.h"
#include "render/shader.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/game_ops.h"
#include "world/mesh_source.h"
#include "world/ship.h"
#include "world/wing.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace vesk {

int32_t CannonCount = 0;
int32_t TurretCount = 0;

namespace {

constexpr uint64_t kSlotFlags = 0x0000002000020000ull;
constexpr uint64_t kSlotFlags2 = 0x1000000;
constexpr uint64_t kCannonFlags = 0x00000020000C0000ull;
constexpr uint64_t kTurretFlags = 0x0000002000080002ull;
constexpr uint64_t kGunFlags2 = 0x1000010;
constexpr uint64_t kBarrelFlags = 0x0000002000000000ull;
// Model objects of guns are built with these options.
constexpr uint64_t kGunROOptions = 0x40;
constexpr float kDefaultTurnSpeedDeg = 50.0f;
// Aimed once both angles are this close; at rest once both are this small.
constexpr float kAimedTolerance = 0.01f;
constexpr float kRestTolerance = 0.001f;
constexpr int kMaxMuzzles = 100;

float Sign(float v) {
    return v > 0.0f ? 1.0f : (v < 0.0f ? -1.0f : 0.0f);
}

CMTreeClass* LoadTree(const std::string& file) {
    return CMTreeManager ? CMTreeManager->GetCMTree(file) : nullptr;
}

// The render object of a model object, added to the unit.
TRenderObject* AddModelObject(TBaseRenderUnit& unit, CMTreeClass& tree, const std::string& object) {
    TRenderObject* ro = tree.CreateRO(object, false, kGunROOptions);
    if (!ro) return nullptr;
    SetSpecularFromMaterial(ro);
    unit.AddRO(UnitViewOf(ro));
    return ro;
}

} // namespace

void RegisterShipPartClasses() {
    static const bool done = [] {
        RegisterRenderUnitClass<CannonClass>("CannonClass");
        RegisterRenderUnitClass<TurretClass>("TurretClass");
        RegisterRenderUnitClass<WingClass>("WingClass");
        RegisterRenderUnitClass<TurretSlotClass>("TurretSlotClass");
        RegisterRenderUnitClass<ShipClass>("ShipClass");
        return true;
    }();
    (void)done;
}

void SetSpecularFromMaterial(TRenderObject* ro) {
    if (!ro || !ro->RenderStates()) return;
    RenderStateManagerClass* states = ro->RenderStates();
    // The object is shared by every unit of the model: one record of each, however many units.
    states->RemoveState(platform::D3DRS_SPECULARMATERIALSOURCE);
    states->AddState(platform::D3DRS_SPECULARMATERIALSOURCE, 0, "");
    states->RemoveRestoreState(platform::D3DRS_SPECULARMATERIALSOURCE);
    states->AddRestoreState(platform::D3DRS_SPECULARMATERIALSOURCE, 2, "");
}

std::string LuaMeshPath(const std::string& meshName) {
    return GetLuaString("mesh[" + LuaQuote(meshName) + "].path", true);
}

std::string GunModelFile(const std::string& gunName) {
    std::string mesh = GetLuaString("gunmodel[" + LuaQuote(gunName) + "].mesh", true);
    if (mesh.empty()) mesh = gunName;
    return MeshFolderFile(LuaMeshPath(mesh), gunName);
}

// ---- TurretSlotClass --------------------------------------------------------------------------

void TurretSlotClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetFlag(kSlotFlags);
    SetFlag2(kSlotFlags2);
    slotName_.clear();
}

// ---- guns -------------------------------------------------------------------------------------

void GunUnitBase::InitGun(TBaseRenderUnit* parent, const char* bpuText) {
    TBaseRenderUnit::Init(parent);
    bpuText_ = bpuText;
    muzzleOrigins_.clear();
    gameOps_ = GameOpsOf(this);
}

bool GunUnitBase::GetBPU(IRenderUnitAI*& out) const {
    out = nullptr;
    if (!gameOps_) {
        ErrorReport(bpuText_, "mhl");
        return false;
    }
    TBaseRenderUnit* ship = nullptr;
    if (!gameOps_->GetParentShip(ship) || !ship || ship == this) return false;
    return ship->GetBPU(out);
}

void RenderShipPart(TBaseRenderUnit& unit, GunUnitBase* gun) {
    if (Device) Device->SetTransform(platform::D3DTS_WORLD, &unit.GetWorldMatrix());
    if (!unit.IsInView()) return;
    unit.AddLights(kLightsSuns);
    unit.BeginRender();
    RenderUnitObjects(unit);
    if (gun) gun->RenderExtra();
    unit.ClearLocalLights();
}

void GunUnitBase::DoRender() {
    RenderShipPart(*this, this);
}

TBaseRenderUnit* GunUnitBase::MuzzleCarrier() {
    return this;
}

void GunUnitBase::OnAttach(TBaseRenderUnit* parent) {
    TBaseRenderUnit::OnAttach(parent);
    TBaseRenderUnit* carrier = MuzzleCarrier();
    if (!carrier || !parent) return;
    const Vec3 scale = MatrixGetColumnScale(parent->GetLocalMatrix());
    auto adjust = [&](const std::string& name) {
        HelperClass* h = nullptr;
        if (!carrier->FindHelper(name, h)) return false;
        // From the model position each time: a gun moved between mounts is not scaled twice.
        auto [it, fresh] = muzzleOrigins_.try_emplace(h->GetId(), MatrixGetTranslation(h->GetLocalMatrix()));
        const Vec3& p = it->second;
        Matrix m = h->GetLocalMatrix();
        MatrixSetTranslation(m, {p.x * scale.x, p.y * scale.y, p.z * scale.z});
        h->SetLocalMatrix(m);
        return true;
    };
    for (int i = 0; i <= kMaxMuzzles; ++i) {
        const std::string suffix = i == 0 ? std::string() : std::to_string(i);
        if (!adjust("weapon" + suffix) || !adjust("weapon_out" + suffix)) break;
    }
}

void CannonClass::Init(TBaseRenderUnit* parent) {
    InitGun(parent, "CannonClass.GetBPU: fGameOps=nil");
    ++CannonCount;
    SetFlag(kCannonFlags);
    SetFlag2(kGunFlags2);
}

void CannonClass::Free() {
    --CannonCount;
    gameOps_ = nullptr;
    TBaseRenderUnit::Free();
}

bool CannonClass::LoadFromFile(const std::string& gunName, const std::string& meshName) {
    std::string file;
    if (meshName.empty()) {
        file = GunModelFile(gunName);
    } else {
        const std::string folder = LuaMeshPath(meshName);
        if (folder.empty()) {
            ErrorReport("CannonClass.LoadFromFile: mesh not found: " + meshName, "mhl");
            return false;
        }
        file = MeshFolderFile(folder, meshName);
    }
    CMTreeClass* tree = LoadTree(file);
    if (!tree) return false;
    if (gameOps_) gameOps_->SetCMTree(tree);
    AddModelObject(*this, *tree, "cannon");
    AddBSpheresFromCM(*tree);
    AddHelpersFromCM(*tree);
    return true;
}

bool CannonClass::LoadRayCannon(const std::string& meshName) {
    const std::string folder = LuaMeshPath(meshName);
    if (folder.empty()) {
        ErrorReport("CannonClass.LoadFromFile: mesh not found: " + meshName, "mhl");
        return false;
    }
    CMTreeClass* tree = LoadTree(MeshFolderFile(folder, meshName));
    if (!tree) return false;
    if (gameOps_) gameOps_->SetCMTree(tree);
    AddBSpheresFromCM(*tree);
    AddHelpersFromCM(*tree);
    GetSubObjects(*tree, meshName);
    return true;
}

// ---- TurretClass ------------------------------------------------------------------------------

void TurretClass::Init(TBaseRenderUnit* parent) {
    InitGun(parent, "TurretClass.GetBPU: fGameOps=nil");
    ++TurretCount;
    SetFlag(kTurretFlags);
    SetFlag2(kGunFlags2);
    barrel_ = nullptr;
    up_ = {0, 1, 0};
    limits_[kTurretRotV] = limits_[kBurrelRotV] = DegToRad(kDefaultTurnSpeedDeg);
    limits_[kRightAngle] = DegToRad(180.0f);
    limits_[kLeftAngle] = DegToRad(-180.0f);
    limits_[kUpAngle] = DegToRad(90.0f);
    limits_[kDownAngle] = 0.0f;
    fullCircle_ = std::fabs(limits_[kRightAngle] - limits_[kLeftAngle] - 2.0f * kPi) <= 0.05f;
    returning_ = true;
    aimed_ = false;
    yaw_ = pitch_ = targetYaw_ = targetPitch_ = 0.0f;
    timeStep_ = 0.02f;
    aimed_callback_ = nullptr;
    aimedData_ = nullptr;
    movePoint_ = TPhMovePoint::Create(
        nullptr, [this](void*) { DropTarget(); }, nullptr);
    movePoint_->AddSubscriber(this);
}

void TurretClass::Free() {
    --TurretCount;
    if (TPhMovePoint* m = std::exchange(movePoint_, nullptr)) {
        m->RemoveSubscriber(this);
        m->Free();
    }
    aimed_callback_ = nullptr;
    barrel_ = nullptr;
    gameOps_ = nullptr;
    TBaseRenderUnit::Free();
}

void TurretClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == movePoint_) movePoint_ = nullptr;
        if (gone == static_cast<TEngineObject*>(barrel_)) barrel_ = nullptr;
    }
    GunUnitBase::Message(sender, msg, param);
}

bool TurretClass::LoadFromFile(const std::string& gunName) {
    const std::string file = GunModelFile(gunName);
    CMTreeClass* tree = LoadTree(file);
    if (!tree) return false;
    if (gameOps_) gameOps_->SetCMTree(tree);
    AddModelObject(*this, *tree, "base");
    AddBSpheresFromCM(*tree);
    AddHelpersFromCM(*tree);
    barrel_ = TBaseRenderUnit::Create<MeshClass>(this);
    barrel_->SetFlag(kBarrelFlags);
    AddChild(barrel_);
    barrel_->AddSubscriber(this);
    barrel_->LoadFromCM(file, "burel", "burel");
    Matrix m;
    tree->GetObjectMatrix("burel", m);
    barrel_->SetBaseMatrix(m);
    AddModelObject(*barrel_, *tree, "cannon");
    const std::string params = "gunmodel[" + LuaQuote(gunName) + "].physic_params.";
    static constexpr const char* kKeys[6] = {"TurretRotV",     "BurrelRotV",    "RighTurretAngle",
                                             "LefTurretAngle", "UpBurrelAngle", "DownBurrelAngle"};
    for (int i = 0; i < 6; ++i) {
        const std::string text = GetLuaString(params + kKeys[i], true);
        if (!text.empty())
            limits_[i] = DegToRad(kws2f(text, "TurretClass.LoadFromFile: " + gunName + ": " + kKeys[i]));
    }
    return true;
}

float TurretClass::GetAngleLimit(int index) const {
    return index >= 0 && index < 6 ? limits_[index] : 0.0f;
}

void TurretClass::SetAngleLimit(int index, float radians) {
    if (index >= 0 && index < 6) limits_[index] = radians;
}

bool TurretClass::HasTarget() const {
    return movePoint_ && movePoint_->HasTargetObject();
}

TBaseRenderUnit* TurretClass::MuzzleCarrier() {
    MeshClass* barrel = nullptr;
    if (!FindChildByClass(barrel) || !barrel || barrel->GetName() != "burel") {
        ErrorReport("TurretClass.OnAttach: not FindChildBRU(burel)", "mhl");
        return nullptr;
    }
    return barrel;
}

void TurretClass::RenderExtra() {
    if (extra_.empty() || !Device) return;
    static const Matrix identity;
    const Matrix& global = Engine ? Engine->GetLocalMatrix() : identity;
    Device->SetTransform(platform::D3DTS_WORLD, &global);
    for (TRenderObject* ro : extra_)
        if (ro) ro->Render();
    Device->SetTransform(platform::D3DTS_WORLD, &GetWorldMatrix());
}

void TurretClass::GetObjSphericalCoord(const Vec3& point, float& yaw, float& pitch) {
    yaw = pitch = 0.0f;
    if (!barrel_) {
        ErrorReport("TurretClass.GetObjSphericalCoord: ChildBurrel = nil", "mhl");
        return;
    }
    static const Matrix identity;
    const Matrix& parentWorld = Parent() ? Parent()->GetWorldMatrix() : identity;
    const Matrix turretFrame = MatrixProduct(GetBaseMatrix(), parentWorld);
    const Vec3 p = Vec3InverseTransformCoord(point, turretFrame);
    const float planar = std::sqrt(p.x * p.x + p.y * p.y);
    // A point straight above or below the hinge has no yaw of its own.
    yaw = planar > 0.0f ? Sign(p.y) * std::acos(std::clamp(p.x / planar, -1.0f, 1.0f)) : 0.0f;
    const Matrix barrelFrame = MatrixProduct(barrel_->GetBaseMatrix(), GetWorldMatrix());
    const Vec3 b = Vec3InverseTransformCoord(point, barrelFrame);
    const float distance = Vec3Length(b);
    if (distance > 0.0001f)
        pitch = Sign(b.z) * std::acos(std::clamp(std::sqrt(b.x * b.x + b.y * b.y) / distance, -1.0f, 1.0f));
}

bool TurretClass::WithinLimits(float yaw, float pitch) const {
    return limits_[kLeftAngle] <= yaw && yaw <= limits_[kRightAngle] && limits_[kDownAngle] <= pitch &&
           pitch <= limits_[kUpAngle];
}

void TurretClass::DropTarget() {
    targetYaw_ = targetPitch_ = 0.0f;
    aimed_callback_ = nullptr;
    aimedData_ = nullptr;
    returning_ = true;
    aimed_ = false;
    if (movePoint_) movePoint_->ReleaseTargetObject();
}

void TurretClass::SetTarget(TBaseRenderUnit* target, TurretAimedCallback callback, void* data) {
    DropTarget();
    if (!target || !movePoint_) return;
    Vec3 p;
    target->GetPosition(p);
    float yaw, pitch;
    GetObjSphericalCoord(p, yaw, pitch);
    if (!WithinLimits(yaw, pitch)) return;
    aimed_callback_ = std::move(callback);
    aimedData_ = data;
    movePoint_->SetTargetObject(target);
    targetYaw_ = yaw;
    targetPitch_ = pitch;
}

void TurretClass::TurnStep() {
    float delta = targetYaw_ - yaw_;
    if (fullCircle_ && std::fabs(delta) > kPi) delta = (2.0f * kPi - std::fabs(delta)) * -Sign(delta);
    const float maxYaw = limits_[kTurretRotV] * timeStep_;
    delta = std::clamp(delta, -maxYaw, maxYaw);
    yaw_ += delta;
    if (std::fabs(yaw_) > kPi) yaw_ = (2.0f * kPi - std::fabs(yaw_)) * -Sign(yaw_);
    const float maxPitch = limits_[kBurrelRotV] * timeStep_;
    pitch_ += std::clamp(-targetPitch_ - pitch_, -maxPitch, maxPitch);
    TransformTurret();
}

void TurretClass::TransformTurret() {
    if (!barrel_) {
        ErrorReport("TurretClass.TransformTurret: ChildBurrel = nil", "mhl");
        return;
    }
    SetLocalMatrix(MatrixProduct(MatrixRotationZ(yaw_), GetBaseMatrix()));
    barrel_->SetLocalMatrix(MatrixProduct(MatrixRotationY(pitch_), barrel_->GetBaseMatrix()));
    UpdateMatrices(Parent() ? &Parent()->GetWorldMatrix() : nullptr);
}

void TurretClass::Tick(float dtMs) {
    timeStep_ = 0.001f * dtMs;
    GunUnitBase::Tick(dtMs);
    if (GameUpdatesFrozen()) return;
    if (HasTarget()) {
        Vec3 p = movePoint_->GetPosition();
        float yaw, pitch;
        GetObjSphericalCoord(p, yaw, pitch);
        if (!WithinLimits(yaw, pitch)) {
            DropTarget();
            return;
        }
        targetYaw_ = yaw;
        targetPitch_ = pitch;
        TurnStep();
        if (std::fabs(targetYaw_ - yaw_) <= kAimedTolerance &&
            std::fabs(-targetPitch_ - pitch_) <= kAimedTolerance) {
            aimed_ = true;
            if (aimed_callback_) aimed_callback_(aimedData_);
        }
    } else if (returning_) {
        TurnStep();
        if (std::fabs(yaw_) <= kRestTolerance && std::fabs(pitch_) <= kRestTolerance) returning_ = false;
    }
}

bool IsTurretTurget(TurretClass* turret, TBaseRenderUnit* target) {
    if (!turret) {
        ErrorReport("IsTurretTurget : _turret = nil", "mhl");
        return false;
    }
    if (!target) return false;
    Vec3 p;
    target->GetPosition(p);
    float yaw, pitch;
    turret->GetObjSphericalCoord(p, yaw, pitch);
    return turret->WithinLimits(yaw, pitch);
}

void SetTurretTarget(TurretClass* turret, TBaseRenderUnit* target, TurretAimedCallback callback, void* data) {
    if (!turret) {
        ErrorReport("IsTurretTurget : _turret = nil", "mhl");
        return;
    }
    turret->SetTarget(target, std::move(callback), data);
}

bool TurretIsBuilt(TBaseRenderUnit* unit) {
    auto* turret = dynamic_cast<TurretClass*>(unit);
    return turret && turret->Barrel();
}

} // namespace vesk
