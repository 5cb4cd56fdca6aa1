#pragma once
// The burst: when spawned it throws a number of particles (copies of one
// particle template) outwards from one point with random speeds, sizes and
// lifetimes, follows its anchor while they live, and kills itself when the
// last particle is gone.
#include "world/fx_base.h"

#include <string>

namespace vesk {

class HelperClass;

class FXBurstClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    // The description's burst section: the target unit with its helper, or the position link.
    void OnSpawn(const FXDescrStruct& desc) override;
    // A burst configuration: its initiator becomes the position link.
    int SetFromDescStruct(IEngineObject* configuration) override;
    void Tick(float dtMs) override;
    void Kill() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    bool NotAttached() const { return notAttached_; }
    int32_t ParticleCount() const { return count_; }
    float MinSpeed() const { return vmin_; }
    float MaxSpeed() const { return vmax_; }
    float MinLifeTime() const { return minLife_; }
    float MaxLifeTime() const { return maxLife_; }
    float MinSize() const { return minSize_; }
    float MaxSize() const { return maxSize_; }
    float Friction() const { return friction_; }
    uint32_t Colour() const { return colour_; }
    uint32_t Colour2() const { return colour2_; }
    const std::string& ParticleId() const { return particleId_; }
    HelperClass* AnchorHelper() const { return anchor_; }
    // A helper made for this burst alone (by the burst or its configuration); it goes when the burst goes.
    void SetAnchor(HelperClass* helper);

private:
    void AddParticles();
    void UpdatePosition();
    TBaseRenderUnit* ParticleTemplate();

    bool effectsOff_ = false;
    int32_t count_ = 0;
    float vmin_ = 0, vmax_ = 0, maxLife_ = 0, minLife_ = 0, maxSize_ = 0, minSize_ = 0;
    float friction_ = 0;
    std::string particleId_;
    // The particle template (by id), found by the template on its first copy and shared by the copies.
    int32_t particleTemplate_ = 0;
    uint32_t colour_ = 0, colour2_ = 0;
    bool notAttached_ = false;
    // The "!attached" helper a burst that stays put was placed at.
    HelperClass* anchor_ = nullptr;
};

} // namespace vesk
