#include "physics/npc_physic.h"

#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <algorithm>

namespace vesk {

namespace {
constexpr int32_t kMovingClasses = SC_SMALL | SC_BARGA | SC_PLAYER | SC_CONTAINER; // 86

TNPCPhysicComponent* NPCOf(IOwnerPhObj* ai) {
    return ai ? dynamic_cast<TNPCPhysicComponent*>(ai->GetPhysicUnit()) : nullptr;
}
BasePhysicUnitClass* PhysicUnitOf(IEngineObject* sender) {
    return sender ? dynamic_cast<BasePhysicUnitClass*>(sender->GetInstance()) : nullptr;
}
} // namespace

TNPCPhysicComponent::TNPCPhysicComponent(IOwnerPhObj* owner_, TShipPhysicParams* record, IRollComponent* roll)
    : BasePhysicUnitClass(owner_, record, roll) {
    RegisterObstacles();
}

TBaseRenderUnit* TNPCPhysicComponent::FindShip(const std::string& name) {
    std::vector<TBaseRenderUnit*> ships;
    GetSceneShips(ships);
    for (TBaseRenderUnit* s : ships)
        if (s && s->GetName() == name) return s;
    return nullptr;
}

void TNPCPhysicComponent::RegisterObstacles() {
    if (!phParams || !(phParams->sizeClass & kMovingClasses)) return;
    const int32_t cls = phParams->sizeClass;
    obstacleClasses = (cls == SC_SMALL || cls == SC_PLAYER) ? (SC_SMALL | SC_BARGA | SC_PLAYER)
                      : cls == SC_BARGA                     ? SC_BARGA
                                                            : kMovingClasses;
    std::vector<TBaseRenderUnit*> ships;
    GetSceneShips(ships);
    TBaseRenderUnit* self = owner ? owner->GetRenderUnit() : nullptr;
    for (TBaseRenderUnit* ship : ships) {
        if (!ship || ship == self) continue;
        IOwnerPhObj* ai = OwnerOfUnit(ship);
        TNPCPhysicComponent* other = NPCOf(ai);
        const TShipPhysicParams* rec = ai ? ai->GetPhysicParams() : nullptr;
        if (!other || !rec || !(rec->sizeClass & kMovingClasses)) continue;
        if (phParams->useInFindWay && self) other->AddObstacle(self);
        if (rec->useInFindWay) AddObstacle(ship);
    }
}

void TNPCPhysicComponent::Free() {
    c_FollowersList.clear();
    c_FormationList.clear();
    taskCallback = nullptr;
    BasePhysicUnitClass::Free();
}

void TNPCPhysicComponent::SendCallback() {
    if (taskCallback) taskCallback->TaskDone();
}

void TNPCPhysicComponent::Tick(float ms) {
    try {
        if (!owner || !owner->GetRenderUnit()) {
            ErrorReport("TNPCPhysicComponent.Tick: OwnerBRU=nil - tick was called after obj release", "mhl");
            if (!owner) return;
        }
        stepTime = 0.001f * ms;
        if (stepTime > 1.0f) return; // a long stall is skipped, not integrated
        MatrixGetAxes(owner->GetMatrix(), &headingAxis, nullptr, nullptr);
        BasePhysicUnitClass::Tick(ms);
    } catch (const std::exception&) {
        ErrorReport("TNPCPhysicComponent.Tick: AV", "mhl");
    }
}

void TNPCPhysicComponent::Message(IEngineObject* sender, int msg, int param) {
    try {
        BasePhysicUnitClass* unit = PhysicUnitOf(sender);
        if (msg == EM_SENDER_IS_NO_LONGER_EXISTS) {
            StopAll();
            if (unit) RemoveFollower(unit);
        } else if (msg == EM_PH_ADD_FOLLOWER && unit) {
            AddFollower(unit, param);
        } else if (msg == EM_PH_LEAVE && unit) {
            RemoveFollower(unit);
        }
    } catch (const std::exception&) {
        ErrorReport("TNPCPhysicComponent.Message AV", "mhl");
    }
    BasePhysicUnitClass::Message(sender, msg, param);
}

// ---- followers -------------------------------------------------------------------------------

void TNPCPhysicComponent::AddFollower(BasePhysicUnitClass* unit, int mode) {
    const bool known = IsFollower(unit);
    c_FollowersList.push_back(unit);
    if (mode == 2) c_FormationList.push_back(unit);
    if (known) ErrorReport(Ru("TNPCPhysicComponent.AddFollower - уже существует"), "mhl");
}

bool TNPCPhysicComponent::RemoveFollower(BasePhysicUnitClass* unit) {
    if (!IsFollower(unit)) return false;
    std::erase(c_FollowersList, unit);
    std::erase(c_FormationList, unit);
    for (BasePhysicUnitClass* m : c_FormationList) m->RemoveState(HARDSETPOS);
    return true;
}

bool TNPCPhysicComponent::IsFollower(BasePhysicUnitClass* unit) const {
    return std::find(c_FollowersList.begin(), c_FollowersList.end(), unit) != c_FollowersList.end();
}

void TNPCPhysicComponent::GetFormationPoint(BasePhysicUnitClass* follower, Vec3& point) {
    Vec3 A1{1, 0, 0}, A2{0, 1, 0}, A3{0, 0, 1};
    if (rollComponent)
        rollComponent->GetAxes(A1, A2, A3);
    else if (owner)
        MatrixGetAxes(owner->GetMatrix(), &A1, &A2, &A3);
    const float r1 = owner ? owner->GetBoundingRadius() : 0.0f;
    IOwnerPhObj* fo = follower ? follower->GetOwner() : nullptr;
    const float r2 = fo ? fo->GetBoundingRadius() : 0.0f;
    const auto it = std::find(c_FormationList.begin(), c_FormationList.end(), follower);
    const int i = it == c_FormationList.end() ? 0 : static_cast<int>(it - c_FormationList.begin()) + 1;
    if (i == 0) {
        point = Vec3Sub(point, Vec3Scale(Vec3Normalize(A1), r1 + r2));
        return;
    }
    int k = i / 2;
    if (i % 2 == 1) k = -(k + 1);
    const float fk = static_cast<float>(k);
    const float m = 1.0f - std::fabs(fk);
    const float sign = k > 0 ? 1.0f : (k < 0 ? -1.0f : 0.0f);
    Vec3 P = Vec3Scale(A1, m * formationOffset.x + formationSpacing);
    P = Vec3Add(P, Vec3Scale(A2, sign * (r1 + r2) + fk * formationOffset.y));
    P = Vec3Add(P, Vec3Scale(A3, fk * formationOffset.z));
    point = Vec3Add(owner ? owner->GetPosition() : point, P);
}

// ---- orders ------------------------------------------------------------------------------------

void TNPCPhysicComponent::StopTask() {
    NotifyAllSubscribers(EM_PH_LEAVE, 0);
    state = 0;
    ForsageOff(0.0f);
}

void TNPCPhysicComponent::DoMoveToObject(TBaseRenderUnit* unit, IPhysicTaskCallback* callback) {
    StopTask();
    AddState(DOMOVETOPOINT);
    taskCallback = callback;
    c_PhMovePoint->SetTargetObject(unit);
}

void TNPCPhysicComponent::DoMoveToPoint(const Vec3& point, const Vec3* endDirection,
                                        IPhysicTaskCallback* callback) {
    StopTask();
    AddState(DOMOVETOPOINT);
    c_PhMovePoint->SetPosition(point);
    c_PhMovePoint->SetEndDirection(endDirection);
    taskCallback = callback;
}

void TNPCPhysicComponent::DoFollowToObject(TBaseRenderUnit* leader, bool useRundown, float, int mode,
                                           IPhysicTaskCallback* callback) {
    StopTask();
    std::vector<TBaseRenderUnit*> ships;
    GetSceneShips(ships);
    if (!leader || std::find(ships.begin(), ships.end(), leader) == ships.end()) {
        if (!leader) ErrorReport("TNPCPhysicComponent.DoFollowToObject: bru = nil", "mhl");
        return;
    }
    IOwnerPhObj* ai = OwnerOfUnit(leader);
    BasePhysicUnitClass* leaderUnit = ai ? ai->GetPhysicUnit() : nullptr;
    if (!ai) ErrorReport("TNPCPhysicComponent.DoFollowToObject: bpu=nil: ", "mhl");
    AddState(DOFOLLOWTOOBJECT);
    if (useRundown) AddState(FOLLOWUSERUNDOWN);
    c_PhMovePoint->SetTargetObject(leader);
    if (!leaderUnit) {
        ErrorReport("TNPCPhysicComponent.AIFollowToObj : not bpu.GetNPCControllerInterface( NPCController)",
                    "mhl");
        return;
    }
    if (!IsSubscriber(leaderUnit)) AddMutualSubscriber(leaderUnit);
    taskCallback = callback;
    if (phParams) SetSpeedLimit(phParams->maxVelocity);
    leaderUnit->Message(this, EM_PH_ADD_FOLLOWER, mode);
}

void TNPCPhysicComponent::DoStop() {
    StopTask();
    AddState(D0STOP);
}

void TNPCPhysicComponent::SetSpeed(IPhysicTaskCallback* callback, float speed) {
    if (speed < 0.0f) speed = 0.0f;
    const float current = GetSpeed();
    if (phParams && speed <= phParams->speedLimit && current >= speed) {
        taskCallback = callback;
        SetSpeedLimit(current);
        StartLimitRamp(speed);
    } else {
        SetSpeedLimit(speed);
        RemoveState(D0STOP);
        limitRamp = false;
    }
}

void TNPCPhysicComponent::SetEnabled(bool b) {
    if (!b) state = forsageState = 0;
}

// ---- the controller's orders -----------------------------------------------------------------------

void TNPCPhysicComponent::MoveToObjectByName(const std::string& name) {
    if (TBaseRenderUnit* u = FindShip(name)) DoMoveToObject(u, nullptr);
}

void TNPCPhysicComponent::AddObstacle(TBaseRenderUnit* unit) {
    IOwnerPhObj* ai = OwnerOfUnit(unit);
    const TShipPhysicParams* rec = ai ? ai->GetPhysicParams() : nullptr;
    if (rec && pathFinder && (static_cast<uint64_t>(rec->sizeClass) & obstacleClasses))
        pathFinder->AddDynamicObj(unit);
}

void TNPCPhysicComponent::FollowByName(const std::string& name, const std::string&, float distance,
                                       bool useRundown, int mode) {
    if (TBaseRenderUnit* u = FindShip(name)) DoFollowToObject(u, useRundown, distance, mode, nullptr);
}

void TNPCPhysicComponent::StartDrift() {
    StopTask();
    if (SizeClassOf() != SC_CONTAINER || !velocity || !phParams) return;
    AddState(CONTAINERMOVE);
    if (GetSpeed() >= 1.0f) return;
    Vec3 d{random_() - 0.5f, random_() - 0.5f, random_() - 0.5f};
    d = Vec3Length(d) == 0.0f ? Vec3{0, 0, 1} : Vec3Normalize(d);
    if (secondVector) secondVector->SetVector(d);
    velocity->SetVector(Vec3Scale(d, phParams->maxVelocity));
    toTarget = Vec3Scale(d, phParams->maxVelocity);
    distance = Vec3Length(toTarget);
    toTargetDir = d;
    rotateSpeed = phParams->maxRotateVelocity;
}

void TNPCPhysicComponent::TeleportToPosition(const Vec3d& position) {
    StopTask();
    taskCallback = nullptr;
    if (owner) owner->SetPositionD(position);
}

void TNPCPhysicComponent::AITeleportToPoint(const Matrix& m, const std::string&) {
    StopTask();
    taskCallback = nullptr;
    HardSetPos(m);
}

} // namespace vesk
