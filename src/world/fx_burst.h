#pragma once
// The burst: when spawned it throws a number of particles (copies of one
// particle template) outwards from one point with random speeds, sizes and
// lifetimes, follows its anchor while they live, and kills itself when the
// last particle is gone.
#include "world/fx_base.h"
#include "world/fx_particle.h"

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
    float MinSpeed() const { return spread_.vmin; }
    float MaxSpeed() const { return spread_.vmax; }
    float MinLifeTime() const { return spread_.minLife; }
    float MaxLifeTime() const { return spread_.maxLife; }
    float MinSize() const { return spread_.minSize; }
    float MaxSize() const { return spread_.maxSize; }
    float Friction() const { return spread_.friction; }
    uint32_t Colour() const { return spread_.colour; }
    uint32_t Colour2() const { return spread_.colour2; }
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
    ParticleSpread spread_;
    std::string particleId_;
    // The particle template (by id), found by the template on its first copy and shared by the copies.
    int32_t particleTemplate_ = 0;
    bool notAttached_ = false;
    // The "!attached" helper a burst that stays put was placed at.
    HelperClass* anchor_ = nullptr;
};

} // namespace vesk
