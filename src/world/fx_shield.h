#pragma once
// The shield hit: an animated shield model put on the ship and turned towards
// the line the shot came along, its brightness following keyed points over
// the animation, with an optional glow at the hit. It lives while a part of
// its model still plays its animation.
#include "world/fx_base.h"
#include "world/fx_shapes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Whether a ship's shield is up (a hit on a ship without one shows nothing).
// Every ship has its shield up until the game side says otherwise.
using ShieldUpQuery = std::function<bool(TBaseRenderUnit* ship)>;
void SetShieldUpQuery(ShieldUpQuery query);

// Live shield hits (Init raises, Free lowers).
extern int32_t FXShieldCount;

class FXShieldClass : public FXBaseClass, public IFXIntensity {
public:
    // One point of the brightness curve: at that share of the animation (percent), that intensity.
    struct IntensityKey {
        float percents = 0, intensity = 0;
    };
    static constexpr int kMaxKeys = 100;

    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void DoRender() override;
    void EndRender() override {}

    // Sets the shield's matrix: on the ship's centre, its forward axis along A -> B
    // (in the ship's own frame; a line of no length counts as (0, 0, 1)).
    void CalcMatrixFromCrossLine(TBaseRenderUnit* ship, const Vec3& a, const Vec3& b);

    // A shield's colour is its parts' brightness: these are refused.
    uint32_t GetColor();
    uint32_t GetColorDWORD();
    void SetColor(uint32_t colour);
    void SetIntensity(float intensity);

    float GetCurrentIntensity() const override { return intensity_; }
    const std::vector<IntensityKey>& Keys() const;
    const std::string& GlowId() const { return glowId_; }
    TBaseRenderUnit* GetGlowTemplate() const;

private:
    // Finds the glow template once (the copy and its template keep it).
    void Prepare();
    // The brightness at the share of the animation its playing parts have reached.
    void FollowKeys();

    Vec3 centre_{};
    std::shared_ptr<std::vector<IntensityKey>> keys_;
    std::string glowId_;
    int32_t glowTemplate_ = 0;
    float intensity_ = 0.0f;
};

} // namespace vesk
