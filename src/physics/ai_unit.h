#pragma once
// The AI steering unit of a ship's render unit: owns the ship's pose in double
// precision, its velocity vectors, its roll and its NPC physics, and switches
// the ship between computer and player control.
#include "physics/npc_physic.h"
#include "render/render_unit.h"

namespace vesk {

class BaseAIUnitClass : public TSaveDataClass, public IRenderUnitAI, public IOwnerPhObj {
public:
    // Binds itself to `owner` as its physics unit; the record is copied.
    BaseAIUnitClass(TBaseRenderUnit* owner, const TShipPhysicParams& source);
    static BaseAIUnitClass* Init(TBaseRenderUnit* owner, const TShipPhysicParams& source) {
        return New<BaseAIUnitClass>(owner, source);
    }
    void Free() override;

    void Tick(float ms);
    void TakePlayerControl();
    void ReleasePlayerControl();
    bool IsPlayerControlled() const { return playerControlled_; }
    void SetSpeed(float v);
    void SetSpeedPercent(float p);
    float GetSpeed() const { return velocity_->GetLength(); }
    float GetMaxVelocity() const { return record_.speedLimit; }
    void ForsageOn(float v);
    void ForsageOff();
    bool IsForsage() const { return npc_ && npc_->IsForsage(); }
    void SetStateByte(uint8_t b) { stateByte_ = b; }
    bool WasTicked() const { return ticked_; }
    TNPCPhysicComponent* GetNPCController() { return npc_; }
    TRollComponent* GetRollComponent() { return roll_; }
    const Matrix& GetWorldMatrix() const { return world_->GetMatrix(); }
    // World matrix onto the owner; returns the owner.
    TBaseRenderUnit* UpdateOwnerMatrix();
    void SaveToString();
    void LoadFromString();

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

private:
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
    bool playerControlled_ = false;
    bool ticked_ = false;
    uint8_t stateByte_ = 0;
    float storedLimit_ = 0.0f;
};

} // namespace vesk
