#pragma once
// The physics unit of every computer-controlled space object: movement
// orders from the AI and scripts, followers and the leader's formation,
// obstacle registration between units, and the per-frame tick.
#include "physics/physic_unit.h"

#include <string>
#include <vector>

namespace vesk {

// Told when the current order ends.
class IPhysicTaskCallback {
public:
    virtual void TaskDone() = 0;

protected:
    ~IPhysicTaskCallback() = default;
};

// The orders scripts give a computer-controlled ship.
class INPCController {
public:
    virtual void MoveToObjectByName(const std::string& name) = 0;
    virtual void AddObstacle(TBaseRenderUnit* unit) = 0;
    virtual void GoToPoint(const Vec3& point, const Vec3* endDirection, const std::string& name, float a,
                           float b) = 0;
    virtual void SetSpeed(const std::string& name, float speed) = 0;
    virtual void FollowByName(const std::string& name, const std::string& callbackName, float distance,
                              bool useRundown, int mode) = 0;
    virtual void StartDrift() = 0;
    virtual void TeleportToPosition(const Vec3d& position) = 0;
    virtual void AITeleportToPoint(const Matrix& m, const std::string& name) = 0;

protected:
    ~INPCController() = default;
};

inline constexpr int EM_PH_ADD_FOLLOWER = 4;
inline constexpr int EM_PH_LEAVE = 5;

class TNPCPhysicComponent : public BasePhysicUnitClass, public INPCController {
public:
    TNPCPhysicComponent(IOwnerPhObj* owner, TShipPhysicParams* record, IRollComponent* roll);
    static TNPCPhysicComponent* Create(IOwnerPhObj* owner, TShipPhysicParams* record, IRollComponent* roll) {
        return New<TNPCPhysicComponent>(owner, record, roll);
    }
    void Free() override;
    void SendCallback() override;
    void Tick(float ms) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // ---- INPCController ----
    void MoveToObjectByName(const std::string& name) override;
    void AddObstacle(TBaseRenderUnit* unit) override;
    void GoToPoint(const Vec3& point, const Vec3* endDirection, const std::string&, float, float) override {
        DoMoveToPoint(point, endDirection, nullptr);
    }
    void SetSpeed(const std::string&, float speed) override { SetSpeed(nullptr, speed); }
    void FollowByName(const std::string& name, const std::string& callbackName, float distance,
                      bool useRundown, int mode) override;
    void StartDrift() override;
    void TeleportToPosition(const Vec3d& position) override;
    void AITeleportToPoint(const Matrix& m, const std::string& name) override;

    // ---- followers ----
    void AddFollower(BasePhysicUnitClass* unit, int mode);
    bool RemoveFollower(BasePhysicUnitClass* unit);
    bool IsFollower(BasePhysicUnitClass* unit) const;
    int FollowerCount() const { return static_cast<int>(c_FollowersList.size()); }
    int FormationCount() const { return static_cast<int>(c_FormationList.size()); }
    // point: in, the leader's position; out, the follower's place.
    void GetFormationPoint(BasePhysicUnitClass* follower, Vec3& point);

    // ---- orders ----
    void StopTask();
    void DoMoveToObject(TBaseRenderUnit* unit, IPhysicTaskCallback* callback);
    void DoMoveToPoint(const Vec3& point, const Vec3* endDirection, IPhysicTaskCallback* callback);
    void DoFollowToObject(TBaseRenderUnit* leader, bool useRundown, float distance, int mode,
                          IPhysicTaskCallback* callback);
    void DoStop();
    void SetSpeed(IPhysicTaskCallback* callback, float speed);
    void SetEnabled(bool b);
    uint64_t GetObstacleClasses() const { return obstacleClasses; }
    void SetTaskCallback(IPhysicTaskCallback* c) { taskCallback = c; }

private:
    void RegisterObstacles();
    static TBaseRenderUnit* FindShip(const std::string& name);

    uint64_t obstacleClasses = 0;
    std::vector<BasePhysicUnitClass*> c_FollowersList;
    std::vector<BasePhysicUnitClass*> c_FormationList;
    Vec3 formationOffset{50.0f, 100.0f, 0.0f};
    float formationSpacing = 125.0f;
    IPhysicTaskCallback* taskCallback = nullptr;
};

} // namespace vesk
