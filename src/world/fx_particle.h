#pragma once
// The single sprite particle: a camera-facing quad with a lifetime, a colour
// and size law over its life, an optional texture animation, a velocity with
// friction and an optional spin. Particles come from the render engine's
// particle pool and go back to it when they are discarded; each frame a
// visible particle hands itself to the shared sprite renderer of its root.
#include "render/sprite_client.h"
#include "world/fx_base.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Blend modes of particles: the sprite renderer that draws them.
inline constexpr int32_t kBlendBurst = 1;
inline constexpr int32_t kBlendSmoke = 3;
inline constexpr int32_t kBlendAlpha = 4;
inline constexpr int32_t kBlendLamp = 5;

class FXParticleClass;

// What an emitter gives each particle it lets go: a random direction with a
// speed, a size and a lifetime in their ranges, its two colours and friction.
struct ParticleSpread {
    float vmin = 0, vmax = 0, maxLife = 0, minLife = 0, maxSize = 0, minSize = 0, friction = 0;
    uint32_t colour = 0, colour2 = 0;
    // The keys of fx["<id>"]: "vmax", "vmin", "MaxSize", "MinSize", "MaxLifeTime",
    // "MinLifeTime", "color", "color2" (the colour when empty) and "friction"; an
    // empty one is a fatal report naming the class, the id and the key.
    void Read(const std::string& id, const std::string& className);
    void Apply(FXParticleClass& particle) const;
};

class FXParticleClass final : public FXBaseClass, public ISpriteClient, public IParticleControl {
public:
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void CreateFromLua(const std::string& id) override;
    void Tick(float dtMs) override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    void UpdateMatrices(const Matrix* parent) override;
    void SetPosition(const Vec3& p) override;
    bool DiscardBRU() override;

    // ---- settings of spawners ----
    void SetLifeTime(float seconds) override;
    void SetSize(float size) override;
    void SetTexture(IKWTexture* texture) override;
    void SetColor(uint32_t colour) override;
    void SetBlendMode(int32_t mode) override { blendMode_ = mode; }
    void SetEndColor(uint32_t colour) { endColour_ = colour; }
    void SetVelocity(const Vec3& v) { velocity_ = v; }
    void SetFriction(float percentPerSecond) { friction_ = percentPerSecond; }
    void SetSpinRange(float min, float max, float damping) {
        spinMin_ = min;
        spinMax_ = max;
        spinDamping_ = damping;
    }
    void SetCurrentColor(uint32_t colour) { colour_ = colour; }
    void SetColorController(std::unique_ptr<IColorController> controller) {
        controller_ = std::move(controller);
    }

    float GetCurrentSize() const { return size_; }
    float GetEndAlpha() const { return static_cast<float>(endColour_ >> 24); }
    uint32_t GetStartColor() const { return startColour_; }
    uint32_t GetEndColor() const { return endColour_; }
    int32_t GetBlendMode() const { return blendMode_; }
    float GetRemaining() const { return remaining_; }
    float GetLifeTimeSeconds() const { return lifeTime_; }
    const Vec3& GetParticlePosition() const { return position_; }
    const Vec3& GetVelocity() const { return velocity_; }
    float GetStartSize() const { return startSize_; }
    float GetEndSize() const { return endSize_; }
    int FrameCount() const { return frames_ ? static_cast<int>(frames_->size()) : 0; }
    int CurrentFrame() const { return frame_; }
    float GetSpinSpeed() const { return spinSpeed_; }
    const std::string& GetTextureName() const { return textureName_; }
    IColorController* GetColorController() const { return controller_.get(); }
    // False while the particle would not show: for the alpha mode its alpha is 0, for the others its RGB.
    bool IsVisible() const;
    // A particle of a template with a "mesh" shows a piece of that model instead of a sprite.
    bool ShowsMeshPiece() const { return meshPiece_; }

    // ISpriteClient (its position read beside the unit's own one)
    using TBaseRenderUnit::GetPosition;
    float GetSize() const override { return size_; }
    IKWTexture* GetTexture() const override { return texture_.Get(); }
    Vec3 GetPosition() const override;
    uint32_t GetColour() const override { return colour_; }
    const Matrix* GetMatrix() const override { return &spriteMatrix_; }
    void SetDistance(float d) override { distance_ = d; }
    float GetDistance() const override { return distance_; }
    void SetDistanceFrom(const Vec3& eye) override;
    int32_t GetKind() const override { return blendMode_; }
    void ReadFacts(SpriteFacts& f) const override {
        f.matrix = &spriteMatrix_;
        f.texture = texture_.Get();
        f.distance = distance_;
        f.size = size_;
        f.colour = colour_;
        f.kind = blendMode_;
    }

private:
    // Hands the sprite to the engine's renderer when the camera sees it.
    void ListSprite();
    // Turns the sprite to the camera where it sees it; false where it does not.
    bool PlaceSprite(const FXFrameCache::CameraView& view);
    // One top-level object of the model of the Lua mesh entry, chosen at random,
    // becomes a child drawn in place of the sprite; without the model the
    // particle stays a sprite (an error-log line says so).
    void TakeMeshPiece(const std::string& meshName);

    std::string textureName_;
    std::shared_ptr<std::vector<TextureRef>> frames_;
    int frame_ = 0;
    float spinMin_ = 0, spinMax_ = 0, spinDamping_ = 10.0f;
    float startSize_ = 1.0f, endSize_ = 1.0f;
    int32_t blendMode_ = kBlendBurst;
    std::unique_ptr<IColorController> controller_;
    Vec3 position_{}, velocity_{};
    float friction_ = 0;
    float lifeTime_ = 9999999.0f, remaining_ = 9999999.0f;
    float sizeFactor_ = 1.0f, size_ = 1.0f;
    uint32_t startColour_ = 0x80FFFFFF, colour_ = 0x80FFFFFF, endColour_ = 0;
    Vec3 spinAxis_{0, 0, 1};
    float spinSpeed_ = 0, spinAngle_ = 0, spinDampingInUse_ = 10.0f;
    Matrix spriteMatrix_{};
    float distance_ = 0;
    bool meshPiece_ = false;
};

} // namespace vesk
