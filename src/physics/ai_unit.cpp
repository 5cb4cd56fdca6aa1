#include "physics/ai_unit.h"

#include "physics/unit_physic_ops.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vesk {

namespace {
bool IsNumber(const Vec3d& p) {
    return !std::isnan(p.x) && !std::isnan(p.y) && !std::isnan(p.z);
}
} // namespace

BaseAIUnitClass::BaseAIUnitClass(TBaseRenderUnit* owner, const TShipPhysicParams& source)
    : owner_(owner), record_(source) {
    record_.reserved1 = 3.0f;
    record_.rotationInertiaTime = 0.25f;
    storedLimit_ = record_.speedLimit;
    const Matrix local = owner ? owner->GetLocalMatrix() : Matrix{};
    local_ = MatrixClass::InitWithMatrix(local);
    orientation_ = MatrixClass::InitWithMatrix(local);
    world_ = MatrixClass::Init();
    scale_ = MatrixGetColumnScale(local);
    ComposeWorldMatrix();
    velocity_ = New<TPhVector>();
    second_ = New<TPhVector>();
    roll_ = TRollComponent::Create(orientation_, &record_);
    // The physics operations of the owner: the player's flight needs its box
    // and its neighbours.
    ops_ = UnitPhysicOps::Of(owner);
    if (!ops_) {
        ErrorReport("BaseAIUnitClass.Init: c_OwnerBRU.QueryInterface(IID_IPhysicOps, PhysOpsInterface)<>S_OK",
                    "mhl");
    } else {
        AddMutualSubscriber(ops_);
        player_ = New<TPlayerCollisionPhysicComponent>(ops_, this, roll_, &position_, velocity_, second_,
                                                       orientation_, &record_);
    }
    npc_ = TNPCPhysicComponent::Create(this, &record_, roll_);
    npc_->SetEnabled(true);
    if (owner) owner->SetBPU(this);
}

void BaseAIUnitClass::DropPlayerComponent() {
    if (player_) std::exchange(player_, nullptr)->Free();
    if (ops_) {
        RemoveMutualSubscriber(ops_);
        ops_ = nullptr;
    }
}

void BaseAIUnitClass::Free() {
    DropPlayerComponent();
    if (npc_) npc_->Free(), npc_ = nullptr;
    if (roll_) roll_->Free(), roll_ = nullptr;
    for (TEngineObject** o :
         {reinterpret_cast<TEngineObject**>(&velocity_), reinterpret_cast<TEngineObject**>(&second_)})
        if (*o) (*o)->Free(), *o = nullptr;
    for (MatrixClass** m : {&local_, &orientation_, &world_})
        if (*m) (*m)->Free(), *m = nullptr;
    TSaveDataClass::Free();
}

void BaseAIUnitClass::Message(IEngineObject* sender, int msg, int param) {
    // The owner's operations going means the owner is going: the player's
    // flight, which works on them, stops here.
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && ops_ && sender->GetInstance() == ops_) {
        ops_ = nullptr;
        if (player_) std::exchange(player_, nullptr)->Free();
        playerControlled_ = false;
    }
    TSaveDataClass::Message(sender, msg, param);
}

void BaseAIUnitClass::Tick(float ms) {
    // Stations, fields and the like stand still.
    if (record_.sizeClass == SC_BIG || record_.sizeClass == SC_FIELD || record_.sizeClass == SC_FIELD_NSC)
        return;
    if (owner_) {
        BSphereRecord* own = nullptr;
        owner_->GetOwnBSphere(own);
        if (own) sphere_ = *own;
    }
    ticked_ = false;
    if (playerControlled_ && player_)
        player_->Tick(ms / 1000.0f);
    else if (!playerControlled_ && npc_)
        npc_->Tick(ms);
    ticked_ = true;
    ComposeWorldMatrix();
    UpdateEngineGlow();
}

void BaseAIUnitClass::UpdateEngineGlow() {
    // Every moving ship asks each slice: the cast is remembered per unit type.
    auto* glow = CachedDynamicCast<IEngineGlow>(owner_);
    if (!glow) return;
    const float speed = GetSpeed();
    if (speed >= 1.0f && ticked_)
        glow->SetEngineGlow(record_.speedLimit != 0.0f ? speed / record_.speedLimit : 0.0f, 1.0f, 0.1f);
    else
        glow->SetEngineGlow(stateByte_ ? 1.0f : 0.0f, 0.1f, 0.1f);
}

void BaseAIUnitClass::ComposeWorldMatrix() {
    Vec3d p = position_;
    if (!IsNumber(p)) {
        if (!IsNumber(previous_)) return;
        p = previous_;
    }
    Matrix m = orientation_->GetMatrix();
    const float s[3] = {scale_.x, scale_.y, scale_.z};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) m.m[r][c] *= s[c];
    m.m[3][0] = float(p.x), m.m[3][1] = float(p.y), m.m[3][2] = float(p.z);
    world_->SetMatrix(m);
}

void BaseAIUnitClass::TakePlayerControl() {
    if (playerControlled_) return;
    playerControlled_ = true;
    SetSpeed(storedLimit_);
    if (npc_) npc_->SetEnabled(false);
    if (roll_) roll_->SetEnabled(false);
}

void BaseAIUnitClass::ReleasePlayerControl() {
    if (!playerControlled_) return;
    storedLimit_ = record_.speedLimit;
    playerControlled_ = false;
    if (npc_) npc_->SetEnabled(true);
    if (roll_) roll_->SetEnabled(true);
}

void BaseAIUnitClass::SetSpeed(float v) {
    if (playerControlled_)
        record_.speedLimit = std::min(v, record_.maxVelocity);
    else if (npc_)
        npc_->SetSpeed(nullptr, v);
}

void BaseAIUnitClass::SetSpeedPercent(float p) {
    // A share of the top speed: full engine power flies at the top speed, not at 1.
    SetSpeed(std::min(std::fabs(p) / 100.0f, 1.0f) * record_.maxVelocity);
}

void BaseAIUnitClass::ForsageOn(float v) {
    if (!playerControlled_ && npc_) npc_->ForsageOn(v);
}

void BaseAIUnitClass::ForsageOff() {
    if (!playerControlled_ && npc_) npc_->ForsageOff(0.0f);
}

bool BaseAIUnitClass::IsForsage() const {
    if (playerControlled_) return player_ && player_->IsForsage();
    return npc_ && npc_->IsForsage();
}

float BaseAIUnitClass::GetForsageSpeed() const {
    if (playerControlled_) return player_ ? player_->GetForsageSpeed() : 0.0f;
    return npc_ ? npc_->GetForsageSpeed() : 0.0f;
}

float BaseAIUnitClass::GetImpact() const {
    return std::max(impact_, player_ ? player_->GetImpact() : 0.0f);
}

bool BaseAIUnitClass::GetPlayerPhysicComponent(IPhPlayerControl*& out) {
    out = player_;
    return out != nullptr;
}

Vec3 BaseAIUnitClass::GetPositionEx() {
    Vec3 p = GetPosition();
    if (playerControlled_ && player_) player_->GetCollisionVector(p);
    return p;
}

Vec3 BaseAIUnitClass::GetVelocity(Vec3* direction, float* length) const {
    if (direction) *direction = velocity_->GetDirection();
    if (length) *length = velocity_->GetLength();
    return velocity_->GetVector();
}

Vec3 BaseAIUnitClass::GetBasisVector(int i) {
    Vec3 a[3];
    orientation_->GetAxes(&a[0], &a[1], &a[2]);
    return a[std::clamp(i, 0, 2)];
}

// ---- service commands ------------------------------------------------------------------------

void BaseAIUnitClass::TurnRight() {
    if (player_) player_->StartTurn(1.0f, 0.0f);
}
void BaseAIUnitClass::TurnLeft() {
    if (player_) player_->StartTurn(-1.0f, 0.0f);
}
void BaseAIUnitClass::RotateLeft(float f) {
    if (roll_) roll_->RotateLeft(f);
}
void BaseAIUnitClass::RotateRight(float f) {
    if (roll_) roll_->RotateRight(f);
}
void BaseAIUnitClass::StopRotate() {
    if (roll_) roll_->StopRotate();
}
void BaseAIUnitClass::StrafeLeft() {
    if (player_) player_->StrafeLeft(1.0f);
}
void BaseAIUnitClass::StrafeRight() {
    if (player_) player_->StrafeRight(1.0f);
}
void BaseAIUnitClass::StrafeStop() {
    if (player_) player_->StrafeStop();
}
void BaseAIUnitClass::SetMoveDirection(const Vec3& v) {
    velocity_->SetDirection(v);
    if (player_) player_->SetMoveDirection(v);
}

namespace {
float Between(const TPhysicMinMaxSet& set, int i, float p) {
    return set.min[i] + (set.max[i] - set.min[i]) * p / 100.0f;
}
} // namespace

void BaseAIUnitClass::ApplyPhParamsPercent(const TPhysicMinMaxSet& set, float p) {
    using V = TPhysicMinMaxSet;
    p = std::clamp(p, 0.0f, 100.0f);
    record_.maxRotateVelocity = DegToRad(Between(set, V::RotateVelocity, p));
    record_.rotationInertiaTime = Between(set, V::RotationInertiaTime, p);
    record_.rollForceMultiply = Between(set, V::RollForceMultiply, p);
    record_.rollFading = Between(set, V::RollFading, p);
    record_.maxRollAngle = DegToRad(Between(set, V::RollAngle, p));
    if (player_) player_->UpdateRotateParams();
}

void BaseAIUnitClass::ApplyPhParamsPercent2(const TPhysicMinMaxSet& set, float p1, float p2) {
    using V = TPhysicMinMaxSet;
    ApplyPhParamsPercent(set, p1);
    p2 = std::clamp(p2, 0.0f, 100.0f);
    record_.maxVelocity = Between(set, V::MaxVelocity, p2);
    record_.accelerateTime = Between(set, V::AccelerateTime, p2);
}

TBaseRenderUnit* BaseAIUnitClass::UpdateOwnerMatrix() {
    if (owner_) owner_->SetLocalMatrix(world_->GetMatrix());
    return owner_;
}

void BaseAIUnitClass::SetMatrix(const Matrix& m) {
    Matrix o = m;
    o.m[3][0] = o.m[3][1] = o.m[3][2] = 0.0f;
    orientation_->SetMatrix(o);
}

void BaseAIUnitClass::SetPoseMatrix(const Matrix& m) {
    SetMatrix(m);
    SetPositionD({m.m[3][0], m.m[3][1], m.m[3][2]});
    ComposeWorldMatrix();
    if (owner_) owner_->SetLocalMatrix(world_->GetMatrix());
}

void BaseAIUnitClass::SetUpVector(const Vec3& up) {
    Vec3 fwd;
    orientation_->GetAxes(&fwd, nullptr, nullptr);
    orientation_->SetBasisForDir(fwd, up);
}

float BaseAIUnitClass::GetBoundingRadius() {
    Vec3 c;
    float r = 0.0f;
    return GetOwnSphere(c, r) ? r : 0.0f;
}

bool BaseAIUnitClass::GetOwnSphere(Vec3& centre, float& radius) {
    BSphereRecord* s = nullptr;
    if (owner_) owner_->GetOwnBSphere(s);
    if (!s) return false;
    centre = s->worldCentre, radius = s->worldRadius;
    return true;
}

bool BaseAIUnitClass::IsFollowerOf(IOwnerPhObj* leader) {
    auto* l = leader ? dynamic_cast<TNPCPhysicComponent*>(leader->GetPhysicUnit()) : nullptr;
    return l && l->IsFollower(npc_);
}

Vec3 BaseAIUnitClass::GetFormationPoint(IOwnerPhObj* follower) {
    Vec3 p = GetPosition();
    if (!playerControlled_ && npc_ && follower) npc_->GetFormationPoint(follower->GetPhysicUnit(), p);
    return p;
}

namespace {
// A single-precision value as text with the digits it really has.
std::string SingleToStr(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v));
    return FloatToStrRaw(std::strtod(buf, nullptr));
}
} // namespace

std::string BaseAIUnitClass::SaveToString() const {
    const TShipPhysicParams& r = record_;
    auto deg = [](float rad) { return SingleToStr(rad * 57.3f); };
    const std::pair<const char*, std::string> lines[] = {
        {"ph_StaticRotate90Time", SingleToStr(r.staticRotate90Time)},
        {"ph_MaxVelocity", SingleToStr(r.maxVelocity)},
        {"ph_SpeedLimit", SingleToStr(r.speedLimit)},
        {"ph_AccelerateTime", SingleToStr(r.accelerateTime)},
        {"ph_SizeClass", std::to_string(r.sizeClass)},
        {"ph_collDist", SingleToStr(r.collDist)},
        {"ph_PathFinderDist", SingleToStr(r.pathFinderDist)},
        {"ph_StartMoveAngle", deg(std::acos(std::clamp(r.startMoveCos, -1.0f, 1.0f)))},
        {"ph_MaxPitchAngle", deg(r.maxPitchAngle)},
        {"ph_UseInFindWay", r.useInFindWay ? "1" : "0"},
        {"ph_RotateForceMultiply", SingleToStr(r.rotateForceMultiply)},
        {"ph_RotateFading", SingleToStr(r.rotateFading)},
        {"ph_MaxRotateVelocity", deg(r.maxRotateVelocity)},
        {"ph_RotateInertia", SingleToStr(r.rotationInertiaTime)},
        {"ph_RollForceMultiply", SingleToStr(r.rollForceMultiply)},
        {"ph_RollFading", SingleToStr(r.rollFading)},
        {"ph_MaxRollAngle", deg(r.maxRollAngle)},
    };
    std::string out;
    for (const auto& [key, value] : lines) out += std::string(key) + "=" + value + "\n";
    return out;
}

void BaseAIUnitClass::LoadFromString() {
    ErrorReport(platform::Utf8ToCp1251("BaseAIUnitClass.LoadFromString - не риализована"), "mhl");
}

} // namespace vesk
