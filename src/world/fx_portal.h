#pragma once
// The portal: an animated gate model that opens, stays open looping the
// middle of its animation, and closes when asked, then goes. While it stands,
// a clip plane through the gate cuts what passes through it (ships moved
// under it); the gate's own model is drawn whole.
#include "render/script_links.h"
#include "world/fx_base.h"

#include <string>

namespace vesk {

// Portal states.
inline constexpr uint64_t PORTAL_OPENING = 1;
inline constexpr uint64_t PORTAL_OPEN = 2;
inline constexpr uint64_t PORTAL_CLOSING = 4;
inline constexpr uint64_t PORTAL_CLOSED = 8;
inline constexpr uint64_t PORTAL_CLOSE_REQUESTED = 16;
inline constexpr uint64_t PORTAL_CLIP = 32;

class FXPortalClass : public FXBaseClass, public IPortalEffect {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void UpdateMatrices(const Matrix* parent) override;
    // Listed in both passes: the clip plane is set around whatever it carries.
    bool SkipInPass(int pass) const override;
    void DoRender() override;
    void EndRender() override;

    // The gate model of the mesh entry, with its animation; named `name`.
    void LoadFromMesh(const std::string& meshName, const std::string& name);
    // The switch times as percentages (0-100) of the animation.
    void SetSwitchTimes(float t1Percent, float t2Percent);

    // IPortalEffect: "close" sets PORTAL_CLOSE_REQUESTED.
    void SetPortalStateFlag(uint32_t flag) override { state_ |= flag; }
    uint64_t State() const { return state_; }
    float Time() const { return time_; }
    float Length() const { return length_; }
    float T1() const { return t1_; }
    float T2() const { return t2_; }
    float Fraction() const { return fraction_; }
    int32_t Frame() const { return frame_; }
    const Vec3& GatePoint() const { return gatePoint_; }
    const Vec3& GateDirection() const { return gateDirection_; }
    // The plane through the gate (world), the gate direction its normal.
    const float* ClipPlane() const { return clipPlane_; }

private:
    // Shows every part at the current share of the animation.
    void ShowFrame();

    int32_t frame_ = 0;
    int32_t frameCount_ = 0;
    float fraction_ = 0;
    uint64_t state_ = 0;
    Vec3 gatePoint_{}, gateDirection_{0, 1, 0};
    float clipPlane_[4]{};
    float t1_ = 0, t2_ = 0, time_ = 0, length_ = 0;
};

} // namespace vesk
