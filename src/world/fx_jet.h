#pragma once
// The jet: the exhaust and trail of a nozzle. It follows a unit and leaves
// behind it a chain of trail points that fade over their lifetime, drawn as a
// textured band as wide as the jet's thickness; or, when it names a particle
// template, it emits particles along the path instead.
#include "world/fx_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class SwapManagerClass;
class TRenderObject;

// High-word flags of a jet.
inline constexpr uint64_t JET_INTERPOLATE = 2ull << 32;
inline constexpr uint64_t JET_TARGET_LOST = 4ull << 32;

class FXJetClass : public FXBaseClass {
public:
    static constexpr int kMaxPoints = 50;
    static constexpr uint32_t kBandQuads = 300;

    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    // The description's jet section: the followed unit (at its helper when one is named).
    void OnSpawn(const FXDescrStruct& desc) override;
    void Tick(float dtMs) override;
    void DoRender() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    void SetLifeTime(float seconds);
    void SetSpawnTimeDelta(float seconds) { spawnStep_ = baseSpawnStep_ = seconds; }
    void ScaleLifeTime(float factor) { lifeTime_ = baseLifeTime_ * factor; }
    void ScaleSpawnTimeDelta(float factor) { spawnStep_ = baseSpawnStep_ * factor; }
    void SetInterpolate(bool on);

    float GetThickness() const { return thickness_; }
    float GetBaseSpawnTimeDelta() const { return baseSpawnStep_; }
    float GetLifeTimeSeconds() const { return lifeTime_; }
    uint32_t GetColour() const { return colour_; }
    const std::string& GetTextureName() const { return textureName_; }
    const std::string& GetParticleId() const { return particleId_; }
    int PointCount() const { return static_cast<int>(points_.size()); }
    const JetPointRecord& Point(int i) const { return *points_[static_cast<size_t>(i)]; }
    int64_t PointsAdded() const { return pointsAdded_; }
    // The band's vertices as the last draw wrote them (four per segment).
    int BandSegments() const { return bandSegments_; }

private:
    TBaseRenderUnit* ParticleTemplate() const;
    void AgeTrail(float dt);
    void AddPoint(const Vec3& at, const Vec3& followed, const Vec3& velocity);
    void EmitParticle(const Vec3& at, const Vec3& followed, const Vec3& velocity);
    void ReleasePoints();
    void FreeSwap();

    float baseLifeTime_ = 100.0f, lifeTime_ = 100.0f, lifeTimeCopy_ = 100.0f;
    uint32_t colour_ = 0;
    float thickness_ = 10.0f;
    std::string textureName_;
    std::vector<JetPointRecord*> points_;
    int64_t pointsAdded_ = 0;
    float spawnStep_ = 0.3f, baseSpawnStep_ = 0.3f;
    Vec3 lastPos_{};
    float moved_ = 0;
    float stepLength_ = 200.0f;
    std::unique_ptr<SwapManagerClass> swap_;
    int32_t particleTemplate_ = 0;
    std::string particleId_;
    int bandSegments_ = 0;
    std::vector<Vec3> edgeA_, edgeB_;
};

} // namespace vesk
