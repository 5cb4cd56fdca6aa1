#pragma once
// Smoke: a steady emitter that, at its frequency, sends one particle in a
// random direction from the helper it follows. The particles stay where they
// were let go (they trail behind a moving emitter). Killed, it stops emitting
// and goes once its last particle has died.
#include "world/fx_base.h"
#include "world/fx_particle.h"

#include <string>

namespace vesk {

class FXSmokeClass : public FXBaseClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void FXTick(float dtMs) override;
    // Stops the emission; the smoke goes when its particles are gone.
    void Kill() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // The blend mode its particles are drawn with (the loader's: 3 or 4).
    void SetBlendMode(int32_t mode) { blendMode_ = mode; }
    int32_t GetBlendMode() const { return blendMode_; }
    bool IsStopping() const { return stopping_; }
    float Period() const { return period_; }
    float Timer() const { return timer_; }
    const std::string& ParticleId() const { return particleId_; }
    const ParticleSpread& Spread() const { return spread_; }

private:
    // One particle from the link's position.
    void AddParticle();
    // Follows the link's position.
    void UpdatePosition();
    TBaseRenderUnit* ParticleTemplate() const;

    int32_t blendMode_ = 0;
    bool stopping_ = false;
    ParticleSpread spread_;
    std::string particleId_;
    int32_t particleTemplate_ = 0;
    float timer_ = 0, period_ = 0;
};

} // namespace vesk
