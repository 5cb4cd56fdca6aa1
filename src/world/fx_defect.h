#pragma once
// Hit marks: a textured mark left on a unit where a shot struck it, lying on
// the surface at the hit point, sized by its template and the hit. It fades
// in from its second colour during its spawn time, then changes back towards
// that colour over its lifetime and goes. Marks do not draw themselves: the
// scene root's shared streak renderer for marks draws them all, a batch per
// texture.
#include "world/fx_base.h"
#include "world/fx_bullet.h"

#include <string>
#include <vector>

namespace vesk {

// Live hit marks (Init raises, Free lowers).
extern int32_t FXDefectCount;

class FXDefectClass : public FXBaseClass, public IStreakClient {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    // A defect configuration with the collision result of the hit.
    int SetFromDescStruct(IEngineObject* configuration) override;
    void Tick(float dtMs) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override { FillRenderListsByPass(); }
    Matrix CalcBillboardMatrix() override;

    // The mark's corners in the world (in the order of the unit quad's corners).
    void Corners(Vec3 (&corners)[4]) const;
    uint32_t GetColorDWORD() const;
    // IStreakClient: the mark's corners in view space, its colour and texture.
    bool StreakCorners(const Matrix& view, Vec3 (&corners)[4]) const override;
    uint32_t StreakColour() const override { return GetColorDWORD(); }
    IKWTexture* CurrentTexture() const override { return texture_.Get(); }
    const float* GetColor() const { return colour_; }
    const float* GetCurrentColor() const { return current_; }
    const float* GetColor2() const { return colour2_; }
    float GetSize() const { return size_; }
    float GetLifeTimeSeconds() const { return lifeTime_; }
    float GetRemaining() const { return remaining_; }
    float GetSpawnTime() const { return spawnTime_; }
    float GetSpawnRemaining() const { return spawnRemaining_; }
    const std::string& GetTextureName() const { return textureName_; }
    int32_t GetMode() const { return mode_; }
    void SetMode(int32_t mode) { mode_ = mode; }
    int32_t GetValue() const { return value_; }
    void SetValue(int32_t v) { value_ = v; }

private:
    float colour_[4]{}, current_[4]{}, colour2_[4]{};
    float size_ = 0;
    float lifeTime_ = 0, remaining_ = 0;
    float spawnRemaining_ = 0, spawnTime_ = 0;
    int32_t mode_ = 4;
    std::string textureName_;
    Matrix billboard_{};
    int32_t value_ = 0;
};

} // namespace vesk
