#pragma once
// The AI steering unit of a ship's render unit: owns the ship's pose in double
// precision, its velocity vectors, its roll and its NPC physics, and switches
// the ship between computer and player control.
#include "physics/npc_physic.h"
#include "physics/player_physic.h"
#include "render/render_unit.h"

#include <string>

namespace vesk {

class UnitPhysicOps;

// A ship unit that shows its engines' glow: value (the share of the speed
// limit flown, or the state byte's 1 / 0) and the rise and fall rates.
class IEngineGlow {
public:
    virtual void SetEngineGlow(float value, float rise, float fall) = 0;

protected:
    ~IEngineGlow() = default;
};

// Minimum and maximum of the physics values that the player's ship's
// parameters ("versatility", "p_engine") move between, in the order the game's
// min/max set lists them; the two angles in degrees.
struct TPhysicMinMaxSet {
    enum Value {
        RollForceMultiply,
        RollFading,
        RollAngle,
        RotateVelocity,
        RotationInertiaTime, // "rotateMass" in the content
        MaxVelocity,
        AccelerateTime
    };
    float min[7]{};
    float max[7]{};
};

class BaseAIUnitClass : public TSaveDataClass, public IRenderUnitAI, public IOwnerPhObj {
public:
    // Binds itself to `owner` as its physics unit; the record is copied.
    BaseAIUnitClass(TBaseRenderUnit* owner, const TShipPhysicParams& source);
    static BaseAIUnitClass* Init(TBaseRenderUnit* owner, const TShipPhysicParams& source) {
        return New<BaseAIUnitClass>(owner, source);
    }
    void Free() override;

    void Tick(float ms);
    void DeInit() override {}
    void TakePlayerControl();
    void ReleasePlayerControl();
    bool IsPlayerControlled() const { return playerControlled_; }
    void SetSpeed(float v);
    void SetSpeedPercent(float p);
    float GetSpeed() const { return velocity_->GetLength(); }
    float GetMaxVelocity() const { return record_.speedLimit; }
    void ForsageOn(float v) override;
    void ForsageOff() override;
    bool IsForsage() const override;
    float GetForsageSpeed() const override;
    void SetStateByte(uint8_t b) { stateByte_ = b; }
    uint8_t GetStateByte() const { return stateByte_; }
    bool WasTicked() const { return ticked_; }
    // How hard the ship struck what it has just met (the closing speed along
    // the surface's normal), while its collision event fires; 0 otherwise,
    // and for a contact that goes on from the step before.
    void SetImpact(float speed) { impact_ = speed; }
    float GetImpact() const;
    TNPCPhysicComponent* GetNPCController() { return npc_; }
    INPCController* GetNPCControllerInterface() { return npc_; }
    BasePhysicUnitClass* GetBPU() { return npc_; }
    // The player's controls; false without a player physics component.
    bool GetPlayerPhysicComponent(IPhPlayerControl*& out);
    TPlayerCollisionPhysicComponent* PlayerComponent() { return player_; }
    // The own position, or while the player flies it the contact point when
    // the ship touches another.
    Vec3 GetPositionEx();
    // The velocity, its direction and its length.
    Vec3 GetVelocity(Vec3* direction = nullptr, float* length = nullptr) const;
    void SetVelocity(const Vec3& v) { velocity_->SetVector(v); }
    Vec3 GetBasisVector(int i);
    int32_t GetPhParamsField6() const { return record_.sizeClass; }
    void SetPhParams(const TShipPhysicParams& r) { record_ = r; }
    const BSphereRecord& GetBoundingSphere() const { return sphere_; }
    void SetOwnerBRU(TBaseRenderUnit* owner) { owner_ = owner; }
    void SetEventInterface(IEngineObject* e) {
        if (npc_) npc_->SetEventInterface(e);
    }

    // ---- the PHYSICS service commands -----------------------------------------------------
    void TurnRight();
    void TurnLeft();
    void RotateLeft(float f);
    void RotateRight(float f);
    void StopRotate();
    void StrafeLeft();
    void StrafeRight();
    void StrafeStop();
    void SetMoveDirection(const Vec3& v);

    // The five turning and roll values of the record between the set's
    // minimum and maximum, at p percent (clamped to 0..100).
    void ApplyPhParamsPercent(const TPhysicMinMaxSet& set, float p);
    // The same, and the speed ceiling and accelerate time at p2 percent.
    void ApplyPhParamsPercent2(const TPhysicMinMaxSet& set, float p1, float p2);
    TRollComponent* GetRollComponent() { return roll_; }
    const Matrix& GetWorldMatrix() const { return world_->GetMatrix(); }
    // World matrix onto the owner; returns the owner.
    TBaseRenderUnit* UpdateOwnerMatrix();
    // The physics parameters as text, one "key=value" per line; a read-only query.
    std::string SaveToString() const;
    void LoadFromString();
    void Message(IEngineObject* sender, int msg, int param) override;

    // ---- IRenderUnitAI ----
    void ClearOwner() override { owner_ = nullptr; }
    void FreeAI() override { Free(); }
    Matrix BodyMatrix() const override { return world_->GetMatrix(); }
    TBaseRenderUnit* RenderUnit() override { return owner_; }
    Vec3 BodyVelocity() const override { return velocity_->GetVector(); }
    Vec3 BodyDirection() const override { return velocity_->GetDirection(); }

    // ---- IOwnerPhObj ----
    IPhVector* GetVelocityVector() override { return velocity_; }
    IPhVector* GetSecondVector() override { return second_; }
    Vec3 GetPosition() override { return {float(position_.x), float(position_.y), float(position_.z)}; }
    Vec3d GetPositionD() override { return position_; }
    void SetPositionD(const Vec3d& p) override {
        previous_ = position_;
        position_ = p;
    }
    Matrix GetMatrix() override { return orientation_->GetMatrix(); }
    // The orientation only (what the physics turns).
    void SetMatrix(const Matrix& m) override;
    // Orientation and position from a full pose; the owner's matrix follows.
    void SetPoseMatrix(const Matrix& m);
    void SetUpVector(const Vec3& up) override;
    float GetBoundingRadius() override;
    bool GetOwnSphere(Vec3& centre, float& radius) override;
    bool IsFollowerOf(IOwnerPhObj* leader) override;
    Vec3 GetFormationPoint(IOwnerPhObj* follower) override;
    void GetBasis(Vec3& a, Vec3& b, Vec3& c) override { orientation_->GetAxes(&a, &b, &c); }
    TBaseRenderUnit* GetRenderUnit() override { return owner_; }
    BasePhysicUnitClass* GetPhysicUnit() override { return npc_; }
    TShipPhysicParams* GetPhysicParams() override { return &record_; }

    // Orientation scaled by the owner's scale, translated to the position.
    void ComposeWorldMatrix();
    MatrixClass* GetOrientation() const { return orientation_; }

private:
    void UpdateEngineGlow();
    void DropPlayerComponent();

    TBaseRenderUnit* owner_;
    TShipPhysicParams record_;
    TPhVector* velocity_ = nullptr;
    TPhVector* second_ = nullptr;
    Vec3d position_{}, previous_{};
    MatrixClass* local_ = nullptr;
    MatrixClass* orientation_ = nullptr;
    MatrixClass* world_ = nullptr;
    Vec3 scale_{1, 1, 1};
    TRollComponent* roll_ = nullptr;
    TNPCPhysicComponent* npc_ = nullptr;
    TPlayerCollisionPhysicComponent* player_ = nullptr;
    UnitPhysicOps* ops_ = nullptr;
    BSphereRecord sphere_;
    bool playerControlled_ = false;
    bool ticked_ = false;
    uint8_t stateByte_ = 0;
    float impact_ = 0.0f;
    float storedLimit_ = 0.0f;
};

} // namespace vesk
