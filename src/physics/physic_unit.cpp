#include "physics/physic_unit.h"

#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

// The report text is Windows-1251 like all engine text.
const std::string kStateTakenText =
    "BasePhysicUnitClass.RegisterState: \xF2\xE0\xEA\xEE\xE9 \xF4\xEB\xE0\xE3 "
    "\xF3\xE6\xE5 \xE7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED: ";

constexpr Vec3 kUp{0.0f, 0.0f, 1.0f};
constexpr Vec3 kAxisX{1.0f, 0.0f, 0.0f};
constexpr Vec3 kAxisY{0.0f, 1.0f, 0.0f};

bool IsClass(int32_t cls, int32_t mask) {
    return (cls & mask) != 0;
}

// v turned about axis by `angle`, in whichever sense brings it nearer `toward`
// (or farther, with away set).
Vec3 TurnRelative(const Vec3& v, const Vec3& axis, float angle, const Vec3& toward, bool away) {
    const Vec3 a = Vec3RotateAroundAxis(v, axis, angle);
    const Vec3 b = Vec3RotateAroundAxis(v, axis, -angle);
    const bool aNearer = Vec3CosAngle(a, toward) >= Vec3CosAngle(b, toward);
    return aNearer != away ? a : b;
}

// Elevation of v above the horizontal plane, and its horizontal direction.
float Elevation(const Vec3& v, Vec3& horizontal) {
    horizontal = ProjectOnPlaneDir(v, kAxisX, kAxisY);
    return Vec3AngleBetween(v, horizontal);
}

} // namespace

Vec3 ClampPitch(const Vec3& v, float maxPitch) {
    Vec3 p;
    const float e = Elevation(v, p);
    if (e <= maxPitch) return v;
    return TurnRelative(v, Vec3Cross(p, v), e - maxPitch, p, false);
}

Vec3 ClampElevation(const Vec3& v, float maxPitch) {
    Vec3 p;
    const float e = Elevation(v, p);
    const float least = kPi / 2.0f - maxPitch;
    if (e >= least) return v;
    return TurnRelative(v, Vec3Cross(v, p), least - e, p, true);
}

BasePhysicUnitClass::BasePhysicUnitClass(IOwnerPhObj* owner_, TShipPhysicParams* record, IRollComponent* roll)
    : rollComponent(roll), owner(owner_), phParams(record) {
    pathFinder = TPFObjectsManager::Create(owner_, record, 2.0f);
    c_PhMovePoint = TPhMovePoint::Create(this, nullptr, nullptr);
    if (owner_) {
        velocity = owner_->GetVelocityVector();
        secondVector = owner_->GetSecondVector();
    }
    static const struct {
        const char* name;
        uint64_t mask;
    } kStates[] = {{"DOMOVETOPOINT", DOMOVETOPOINT},
                   {"STOPINPOINT", STOPINPOINT},
                   {"D0STOP", D0STOP},
                   {"DOFOLLOWTOOBJECT", DOFOLLOWTOOBJECT},
                   {"COLLDISABLE", COLLDISABLE},
                   {"PATHFINDERENABLE", PATHFINDERENABLE},
                   {"STATE_MOVEPOINTFORCEDISABLED", STATE_MOVEPOINTFORCEDISABLED},
                   {"STATE_ORIUSEVELOCITYDIR", STATE_ORIUSEVELOCITYDIR},
                   {"ORIUSEENDDIR", ORIUSEENDDIR},
                   {"HORIZONTALALIGN", HORIZONTALALIGN},
                   {"CONTAINERMOVE", CONTAINERMOVE},
                   {"HARDSETPOS", HARDSETPOS},
                   {"FOLLOWUSERUNDOWN", FOLLOWUSERUNDOWN},
                   {"DONOTDRAWJETS", DONOTDRAWJETS},
                   {"USEFLUCTUATIONMOVE", USEFLUCTUATIONMOVE},
                   {"VELOCITYBRAKE", VELOCITYBRAKE},
                   {"VELOCITYACCELERATE", VELOCITYACCELERATE}};
    states_.reserve(std::size(kStates)); // no room beyond the states every unit has
    for (const auto& s : kStates) RegisterState(s.name, s.mask);
}

void BasePhysicUnitClass::Free() {
    velocity = nullptr;
    secondVector = nullptr;
    rollComponent = nullptr;
    owner = nullptr;
    // The unit made these two; they go with it.
    if (c_PhMovePoint) std::exchange(c_PhMovePoint, nullptr)->Free();
    if (pathFinder) std::exchange(pathFinder, nullptr)->Free();
    TEngineObject::Free();
}

int BasePhysicUnitClass::SendCallbackAndStayInTask() {
    ErrorReport("Error: SendCallbackAndStayInTask - Not overridden! Classname: " + ClassName(), "mhl");
    return 0;
}

// ---- states -------------------------------------------------------------------------------

void BasePhysicUnitClass::RegisterState(const std::string& name, uint64_t mask) {
    bool taken = false;
    for (const RegisteredState& s : states_) taken = taken || (s.mask & mask) != 0;
    states_.push_back({mask, name});
    if (taken) ErrorReport(kStateTakenText + std::to_string(mask), "mhl");
}

std::string BasePhysicUnitClass::GetStatesString() const {
    std::string out;
    for (const RegisteredState& s : states_)
        if (s.mask & state) out += s.name + " #R ";
    return out;
}

// ---- forces ----------------------------------------------------------------------------------

namespace {
constexpr size_t kKeptForceRoom = 32;
} // namespace

void BasePhysicUnitClass::ForceAdd(const Vec3& force) {
    if (ForceNum > MAX_FORCES_NUM) {
        ErrorReport("BasePhysicUnitClass.ForceAdd: ForceNum>MAX_FORCES_NUM", "mhl");
        return; // every slot is taken
    }
    if (!std::isfinite(Vec3Length(force))) return;
    forces.push_back(force);
    ++ForceNum;
}

void BasePhysicUnitClass::ClearForces() {
    // Room far beyond what this step used goes back, so a unit that once held
    // many forces does not keep their memory.
    if (forces.capacity() > kKeptForceRoom && forces.size() < forces.capacity() / 4) {
        forces = std::vector<Vec3>();
    } else {
        forces.clear();
    }
    ForceNum = 0;
}

void BasePhysicUnitClass::SumForces() {
    forceSum = {};
    for (int i = 0; i < ForceNum; ++i) forceSum = Vec3Add(forceSum, forces[i]);
}

float BasePhysicUnitClass::ThrustPerUnit() const {
    const float at = AccelTime();
    return at != 0.0f ? mass * Limit() / at : 0.0f;
}

// ---- orders, limits, afterburner -----------------------------------------------------------------

void BasePhysicUnitClass::StopAll() {
    ClearForces();
    if (TestState(STOPINPOINT) && velocity) velocity->SetLength(0.0f);
    state = 0;
    SendCallback();
}

void BasePhysicUnitClass::SetSpeedLimit(float v) {
    if (!phParams) return;
    phParams->speedLimit = v <= phParams->maxVelocity ? v : phParams->maxVelocity;
}

void BasePhysicUnitClass::StartLimitRamp(float targetLimit) {
    limitTarget = targetLimit;
    limitRamp = true;
}

void BasePhysicUnitClass::LimitRamp(float t) {
    if (!limitRamp || !phParams) return;
    const float at = AccelTime();
    float next = at != 0.0f ? Limit() - phParams->maxVelocity / at * t : limitTarget;
    if (next < limitTarget) {
        limitRamp = false;
        next = limitTarget;
    }
    SetSpeedLimit(next);
}

void BasePhysicUnitClass::ForsageOn(float speed) {
    if (!phParams) return;
    if (!IsForsage()) normalAccelerateTime = phParams->accelerateTime;
    if (speed > phParams->speedLimit) {
        phParams->accelerateTime = normalAccelerateTime * 1.5f;
        forsageSpeed = speed;
        phParams->speedLimit = speed;
        forsageState &= ~FORSAGE_SLOWING;
        forsageState |= FORSAGE_ON | FORSAGE_AT_SPEED;
    }
}

void BasePhysicUnitClass::ForsageOff(float speed) {
    if (!IsForsage() || !phParams) return;
    speedAfterForsage = speed;
    phParams->speedLimit = GetSpeed();
    forsageState &= ~FORSAGE_AT_SPEED;
    forsageState |= FORSAGE_SLOWING;
}

void BasePhysicUnitClass::ForsageRamp() {
    if (!(forsageState & FORSAGE_SLOWING) || !phParams) return;
    TShipPhysicParams& r = *phParams;
    // A zero accelerate time comes down at once.
    r.speedLimit =
        r.accelerateTime != 0.0f ? r.speedLimit - forsageSpeed * stepTime / r.accelerateTime : -INFINITY;
    if (speedAfterForsage >= r.maxVelocity) {
        if (r.speedLimit <= speedAfterForsage) {
            r.speedLimit = speedAfterForsage;
            forsageSpeed = r.speedLimit;
            forsageState = (forsageState & ~FORSAGE_SLOWING) | FORSAGE_AT_SPEED;
        }
    } else if (r.speedLimit <= r.maxVelocity) {
        r.speedLimit = r.maxVelocity;
        r.accelerateTime = normalAccelerateTime;
        forsageState &= ~(FORSAGE_SLOWING | FORSAGE_ON);
    }
}

void BasePhysicUnitClass::StartFluctuationMove(float period, float minAngleDeg, float maxAngleDeg,
                                               float minDistance) {
    fluctuation.minDistance = minDistance;
    fluctuation.period = period;
    fluctuation.minAngle = DegToRad(minAngleDeg);
    fluctuation.maxAngle = DegToRad(maxAngleDeg);
    if (TestState(USEFLUCTUATIONMOVE)) return;
    fluctuation.timer = 0.0f;
    NewFluctuation();
    AddState(USEFLUCTUATIONMOVE);
}

void BasePhysicUnitClass::NewFluctuation() {
    fluctuation.currentRoll = random_() * 2.0f * kPi;
    fluctuation.currentAngle =
        fluctuation.minAngle + random_() * (fluctuation.maxAngle - fluctuation.minAngle);
}

void BasePhysicUnitClass::HardSetPos(const Matrix& m) {
    if (c_PhMovePoint) target = c_PhMovePoint->RefreshPosition();
    if (!owner) return;
    owner->SetMatrix(m);
    owner->SetPositionD({m.m[3][0], m.m[3][1], m.m[3][2]});
    owner->SetUpVector({m.m[2][0], m.m[2][1], m.m[2][2]});
}

// ---- the step ------------------------------------------------------------------------------------

void BasePhysicUnitClass::Tick(float ms) {
    const float t = ms / 1000.0f;
    const int32_t cls = SizeClass();
    RemoveState(STATE_ORIUSEVELOCITYDIR);
    if (IsForsage()) ForsageRamp();
    LimitRamp(t);
    ClearForces();
    if (owner && pathFinder && IsClass(cls, SC_SMALL | SC_BARGA | SC_PLAYER | SC_CONTAINER))
        pathFinder->SetPosition(owner->GetPosition());
    MoveStep(t);
    StopStep(t);
    OrientationStep();
    ContainerMove();
    if (!TestState(COLLDISABLE) && state != 0 && IsClass(cls, SC_SMALL | SC_PLAYER)) AvoidObstacles();
    if (IsClass(cls, SC_MISSILE | SC_SMALL | SC_BARGA | SC_PLAYER | SC_CONTAINER)) {
        IntegrateVelocity();
        IntegratePosition();
        if (owner && velocity && GetSpeed() != 0.0f) {
            Vec3 z;
            MatrixGetAxes(owner->GetMatrix(), nullptr, nullptr, &z);
            Reorient(velocity->GetDirection(), z);
        }
    }
}

void BasePhysicUnitClass::Reorient(const Vec3& dir, const Vec3& up) {
    if (!owner) return;
    Matrix m = owner->GetMatrix();
    KWMatrixGetBasisForDirVect(dir, up, m);
    owner->SetMatrix(m);
}

void BasePhysicUnitClass::IntegrateVelocity() {
    if (!velocity) return;
    if (!std::isfinite(velocity->GetLength())) velocity->SetVector({});
    SumForces();
    const Vec3 dv = Vec3Scale(forceSum, (mass != 0.0f ? 1.0f / mass : 0.0f) * stepTime);
    velocity->SetVector(Vec3Add(velocity->GetVector(), dv));
    if (velocity->GetLength() > Limit()) velocity->SetLength(Limit());
}

void BasePhysicUnitClass::IntegratePosition() {
    if (!velocity || !owner) return;
    const Vec3 d = velocity->Scale(stepTime);
    owner->SetPositionD(Vec3dAdd(owner->GetPositionD(), Vec3ToVec3d(d)));
}

void BasePhysicUnitClass::MoveStep(float t) {
    if (!TestState(DOMOVETOPOINT | DOFOLLOWTOOBJECT) || !owner || !c_PhMovePoint) return;
    if (TestState(DOFOLLOWTOOBJECT)) {
        if (!c_PhMovePoint->GetFollowPoint(target)) {
            StopAll();
            return;
        }
    } else {
        target = c_PhMovePoint->GetPosition();
    }
    const Vec3 position = owner->GetPosition();
    if (!std::isfinite(Vec3Length(target))) target = position;
    toTarget = Vec3Sub(target, position);
    distance = Vec3Length(toTarget);
    if (distance != 0.0f) toTargetDir = Vec3Scale(toTarget, 1.0f / distance);
    endDirection = c_PhMovePoint->GetEndDirection();
    Fluctuate(t);

    if (TestState(DOMOVETOPOINT) && distance != 0.0f) {
        const float k = ThrustPerUnit();
        const int32_t cls = SizeClass();
        if (cls == SC_PLAYER) {
            const float reach = owner->GetBoundingRadius() * (phParams ? phParams->pathFinderDist : 0.0f);
            Vec3 heading;
            MatrixGetAxes(owner->GetMatrix(), &heading, nullptr, nullptr);
            ForceAdd(Vec3Scale(reach >= distance ? moveDir : heading, k));
        } else {
            ForceAdd(Vec3Scale(moveDir, k));
            if (cls == SC_SMALL && 2.0f * owner->GetBoundingRadius() > distance) StopAll();
        }
    }
    if (TestState(DOFOLLOWTOOBJECT)) CalcFollowVelocity();
}

void BasePhysicUnitClass::Fluctuate(float t) {
    if (distance < fluctuation.minDistance) RemoveState(USEFLUCTUATIONMOVE);
    if (!TestState(USEFLUCTUATIONMOVE)) {
        moveVector = toTarget;
        moveDir = toTargetDir;
        return;
    }
    fluctuation.timer += t;
    if (fluctuation.timer > fluctuation.period) {
        NewFluctuation();
        fluctuation.timer = 0.0f;
    }
    if (fluctuation.currentRoll > kTwoPi) fluctuation.currentRoll = 0.0f;
    const Vec3 side = Vec3Cross(toTargetDir, kUp);
    moveVector = Vec3RotateAroundAxis(toTarget, side, fluctuation.currentAngle);
    moveDir = Vec3RotateAroundAxis(toTargetDir, side, fluctuation.currentAngle);
    moveVector = Vec3RotateAroundAxis(moveVector, toTargetDir, fluctuation.currentRoll);
    moveDir = Vec3RotateAroundAxis(moveDir, toTargetDir, fluctuation.currentRoll);
}

void BasePhysicUnitClass::CalcFollowVelocity() {
    if (!velocity || !owner) return;
    Vec3 leaderVelocity, Ld;
    float Ls = 0.0f;
    if (!c_PhMovePoint->GetVelocity(leaderVelocity, Ld, Ls)) {
        ErrorReport("CalcFollowVelocity: TargetBPU = nil", "mhl");
        return;
    }
    if (TestState(FOLLOWUSERUNDOWN) && phParams) {
        BasePhysicUnitClass* leader = nullptr;
        if (!c_PhMovePoint->GetTargetBPU(leader) || !leader || !leader->GetParams()) {
            ErrorReport("BasePhysicUnitClass.CalcFollowVelocity() : not c_PhMovePoint.GetBPU", "mhl");
        } else {
            const TShipPhysicParams& lr = *leader->GetParams();
            if (leader->IsForsage()) {
                ForsageOn(std::min(2.0f * lr.speedLimit, 14000.0f));
            } else if (distance > 2500.0f) {
                ForsageOn(2.0f * std::max(lr.maxVelocity, phParams->maxVelocity));
            } else if (0.9f * phParams->maxVelocity > Ls) {
                ForsageOff(0.0f);
            } else {
                const float s = 1.1f * lr.maxVelocity;
                if (!IsForsage())
                    ForsageOn(s);
                else if (forsageSpeed > s)
                    ForsageOff(s);
            }
        }
    }
    ClearForces(); // following replaces every force of this step
    const Vec3 P = owner->GetPosition();
    const float X = Vec3Dot(Vec3Sub(P, target), Ld) + 150.0f;
    const float Y = distance - 150.0f;
    if (Y >= 50.0f && Y < 100.0f && X < 0.0f)
        velocity->SetLength(std::max(0.0f, LinearMap(X, -50.0f, -100.0f, Ls, velocity->GetPrevLength())));
    const float speed = GetSpeed();
    if (X < 0.0f || Y > 100.0f) {
        if (Y > 50.0f) ForceAdd(Vec3Scale(moveDir, ThrustPerUnit()));
    } else if (speed > Ls / 2.0f) {
        ForceAdd(Vec3Scale(velocity->GetDirection(), -speed / 4.0f));
    }
    const float turnTime = phParams ? phParams->staticRotate90Time : 0.0f;
    const float f = turnTime != 0.0f ? stepTime / turnTime : 1.0f;
    velocity->SetDirection(Vec3Lerp(velocity->GetDirection(), moveDir, f));
    RemoveState(HARDSETPOS);
}

void BasePhysicUnitClass::StopStep(float) {
    if (!TestState(D0STOP) || !velocity) return;
    const float speed = GetSpeed();
    if (speed <= 1.0f) {
        StopAll();
        ClearForces();
        velocity->SetLength(0.0f);
        return;
    }
    Vec3 F = Vec3Scale(velocity->GetDirection(), -ThrustPerUnit());
    if (Vec3Length(F) * stepTime > speed) F = Vec3Scale(Vec3Normalize(F), speed);
    ForceAdd(F);
}

void BasePhysicUnitClass::ContainerMove() {
    if (SizeClass() != SC_CONTAINER || !TestState(CONTAINERMOVE) || !velocity) return;
    const float speed = GetSpeed();
    if (speed <= 1.0f) {
        RemoveState(CONTAINERMOVE);
        velocity->SetLength(0.0f);
        return;
    }
    const float limit = Limit();
    const float k = LinearMap(speed, limit, 0.0f, 1.0f, 0.0f);
    rotateSpeed = k * (phParams ? phParams->maxRotateVelocity : 0.0f);
    const float at = AccelTime();
    if (at != 0.0f) ForceAdd(Vec3Scale(velocity->GetDirection(), -k * mass * limit / at));
}

// ---- orientation ---------------------------------------------------------------------------------

void BasePhysicUnitClass::OrientationStep() {
    RemoveState(STATE_MOVEPOINTFORCEDISABLED | DONOTDRAWJETS);
    if (!owner || !velocity) return;
    Matrix m = owner->GetMatrix();
    Vec3 a1, a2, a3;
    MatrixGetAxes(m, &a1, &a2, &a3);
    const int32_t cls = SizeClass();
    const float speed = GetSpeed();
    if (cls == SC_MISSILE) {
        VelocityBlend();
        Reorient(GetSpeed() > 0.0f ? velocity->GetDirection() : headingAxis, kUp);
    } else if (IsClass(cls, SC_SMALL | SC_BARGA | SC_PLAYER)) {
        headingAxis = a1;
        CalcOrientation(headingAxis);
        TurnReport();
    } else if (cls == SC_CONTAINER) {
        if (!secondVector) return;
        const Vec3 axis = secondVector->GetDirection();
        const float angle = rotateSpeed * stepTime;
        a1 = Vec3RotateAroundAxis(a1, axis, angle);
        a2 = Vec3RotateAroundAxis(a2, axis, angle);
        a3 = Vec3RotateAroundAxis(a3, axis, angle);
        MatrixSetAxes(m, &a1, &a2, &a3);
        owner->SetMatrix(m);
    } else {
        const Vec3 N = a1;
        const float f = std::min(stepTime / 2.0f, 1.0f);
        Vec3 T;
        if (speed != 0.0f) {
            T = velocity->GetDirection();
        } else {
            T = velocity->GetPrevVector();
            T.z = 0.0f;
            if (Vec3Length(T) == 0.0f) return;
            T = Vec3Normalize(T);
        }
        const Vec3 diff = Vec3Sub(T, N);
        if (Vec3Length(diff) == 0.0f) return;
        Reorient(Vec3Add(N, Vec3Scale(diff, f)), kUp);
    }
}

void BasePhysicUnitClass::VelocityBlend() {
    const float speed = GetSpeed();
    if (!(distance > 0.001f && speed >= 0.001f)) return;
    const Vec3 dir = velocity->GetDirection();
    const float limit = Limit();
    float f;
    if (distance < limit) {
        f = 1.0f - distance / limit;
    } else {
        const float turnTime = phParams ? phParams->staticRotate90Time : 0.0f;
        f = turnTime != 0.0f ? stepTime / turnTime : 1.0f;
    }
    velocity->SetDirection(Vec3Lerp(dir, moveDir, f));
}

void BasePhysicUnitClass::CalcOrientation(Vec3 fwd) {
    if (state == 0 || !phParams || !secondVector) return;
    const TShipPhysicParams& r = *phParams;
    Vec3 D = TestState(STATE_ORIUSEVELOCITYDIR) ? velocity->GetDirection()
             : TestState(ORIUSEENDDIR)          ? endDirection
                                                : moveDir;
    float k = r.rotateForceMultiply;
    if (TestState(HORIZONTALALIGN)) {
        D = ProjectOnPlaneDir(D, kAxisX, kAxisY);
        k /= 3.0f;
    }
    if (!std::isfinite(Vec3Length(D))) D = fwd;
    D = ClampPitch(D, r.maxPitchAngle);
    if (Vec3Length(D) > 1e-5f) D = Vec3Normalize(D);

    Vec3 p = Vec3Normalize(Vec3Cross(Vec3Cross(fwd, Vec3Sub(D, fwd)), fwd));
    p = Vec3Scale(p, std::sin(Vec3AngleBetween(D, fwd) / 2.0f));
    const Vec3 torque = ClampElevation(Vec3Scale(Vec3Cross(fwd, p), k), r.maxPitchAngle);

    Vec3 omega = Vec3Add(secondVector->GetVector(), Vec3Scale(torque, stepTime));
    secondVector->SetVector(omega);
    if (secondVector->GetLength() > r.maxRotateVelocity) secondVector->SetLength(r.maxRotateVelocity);
    omega = secondVector->GetVector();

    fwd = Vec3Add(fwd, Vec3Scale(Vec3Cross(omega, fwd), stepTime));
    if (Vec3Length(fwd) == 0.0f) {
        ErrorReport("BasePhysicUnitClass.CalcOrientation : v1 = 0", "mhl");
    } else {
        Reorient(fwd, kUp);
        velocity->SetDirection(fwd);
    }
    secondVector->SetLength(secondVector->GetLength() * (1.0f - r.rotateFading * stepTime));
}

void BasePhysicUnitClass::TurnReport() {
    if (!rollComponent) return;
    Vec3 A1, A2, A3;
    rollComponent->GetAxes(A1, A2, A3);
    const Vec3 q = ProjectOnPlaneDir(headingAxis, A1, A2);
    const float side = Vec3Dot(Vec3Cross(headingAxis, A1), A3);
    const float sign = side > 0.0f ? 1.0f : (side < 0.0f ? -1.0f : 0.0f);
    const float rate = stepTime != 0.0f ? sign * Vec3AngleBetween(A1, q) / stepTime : 0.0f;
    rollComponent->Update(stepTime, rate);
}

// ---- obstacles ------------------------------------------------------------------------------------

void BasePhysicUnitClass::AvoidObstacles() {
    if (!owner || !velocity || !pathFinder) return;
    struct Obstacle {
        float distance, reach, contact;
        Vec3 away;
        bool isStatic;
    };
    std::vector<Obstacle> found;
    Vec3 S{};
    float SR = 0.0f;
    owner->GetOwnSphere(S, SR);
    const float speed = GetSpeed();
    const float at = AccelTime();
    const float strength = at != 0.0f ? speed * 6.0f * mass / at : 0.0f;
    auto add = [&](const Vec3& centre, float radius, float reach, bool isStatic) {
        const Vec3 away = Vec3Sub(S, centre);
        found.push_back({Vec3Length(away), reach, SR + radius + 50.0f, away, isStatic});
    };
    // Each sphere of the unit's list near enough; the world radius serves as the reach.
    auto spheresWithin = [&](TBaseRenderUnit* u, float r, bool isStatic) {
        std::vector<BSphereRecord>* list = u->GetBSphereList();
        if (!list) return;
        for (const BSphereRecord& s : *list)
            if (Vec3Length(Vec3Sub(S, s.worldCentre)) <= r + s.worldRadius)
                add(s.worldCentre, s.worldRadius, r + s.worldRadius, isStatic);
    };

    IOwnerPhObj* leaderOwner = nullptr;
    if (TestState(DOFOLLOWTOOBJECT)) {
        BasePhysicUnitClass* leader = nullptr;
        if (c_PhMovePoint->GetTargetBPU(leader) && leader) leaderOwner = leader->GetOwner();
    }
    TBaseRenderUnit* u = nullptr;
    for (int i = 0; pathFinder->GetDynamic(i, u); ++i) {
        IOwnerPhObj* ai = OwnerOfUnit(u);
        if (ai && ai->IsFollowerOf(owner)) continue;
        if (leaderOwner && ai && ai != leaderOwner && ai->IsFollowerOf(leaderOwner)) continue;
        const bool isLeader = leaderOwner && ai == leaderOwner;
        const float r = SR + (isLeader ? 25.0f : 150.0f);
        BSphereRecord* os = nullptr;
        if (!pathFinder->GetDynamicSphere(i, os)) continue;
        if (!SpheresOverlap(os->worldCentre, os->worldRadius, S, r)) continue;
        const int32_t cls = ai && ai->GetPhysicParams() ? ai->GetPhysicParams()->sizeClass : 0;
        if (IsClass(cls, SC_PLAYER | SC_SMALL))
            add(os->worldCentre, os->worldRadius, r + os->worldRadius, false);
        else
            spheresWithin(u, r, false);
    }
    for (int i = 0; pathFinder->GetStatic(i, u); ++i) {
        const float r = SR + 200.0f;
        BSphereRecord* os = nullptr;
        if (!pathFinder->GetStaticSphere(i, os)) continue;
        if (!SpheresOverlap(os->worldCentre, os->worldRadius, S, r)) continue;
        std::vector<BSphereRecord>* list = u->GetBSphereList();
        if (!list || list->empty())
            add(os->worldCentre, os->worldRadius, r + os->worldRadius, true);
        else
            spheresWithin(u, r, true);
    }

    const Vec3 v = velocity->GetVector();
    for (const Obstacle& o : found) {
        Vec3 d = Vec3Cross(v, Vec3Cross(v, o.away));
        // Moving straight at (or not moving near) the obstacle there is no
        // side to push to: push straight back along the line, away from it.
        if (Vec3Length(d) <= 1e-6f) d = Vec3Scale(o.away, -1.0f);
        d = Vec3Normalize(d);
        float m;
        if (o.isStatic) {
            const float w = (1.0f - std::cos(Vec3AngleBetween(v, o.away))) * 0.5f;
            m = speed * 1.5f * w;
        } else if (o.distance >= o.contact) {
            m = strength * LinearMap(o.distance, o.contact, o.reach, 1.0f, 0.0f);
        } else {
            m = strength;
        }
        ForceAdd(Vec3Scale(d, -m));
    }
}

} // namespace vesk
