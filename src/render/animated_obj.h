#pragma once
// An animated object: one render object from a model file whose clock and
// frame follow the first animation track of the model's animation file. It
// keeps a base and a working material so that it can be faded.
#include "platform/gfx/types.h"
#include "render/mesh.h"
#include "render/model_tree.h"

#include <cstdint>
#include <string>

namespace vesk {

inline constexpr uint64_t AO_PLAYING = 1;
inline constexpr uint64_t AO_LOOP = 8;
inline constexpr uint64_t AO_PAUSED = 16; // mirrors the game pause every tick
inline constexpr uint64_t AO_KILLATEND = 32;

class AnimatedObjClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override;
    void AddLights(uint16_t mask) override;
    void Tick(float dtMs) override;

    // mesh[meshId].path + "/" + mesh[meshId].name is the model's base name.
    void LoadMesh(const std::string& meshId, const std::string& objectName, uint64_t buildA, uint64_t buildB);
    void SaveRoMaterial();
    void GetROMaterialPointer(platform::D3DMATERIAL9*& base, platform::D3DMATERIAL9*& working);
    void GetROPointer(TRenderObject*& out);
    void SetMaterialFade(float factor);
    void PlayFrom(float seconds);
    void SetAnimFlags(uint64_t mask) { animFlags_ |= mask; }
    void ClearAnimFlags(uint64_t mask) { animFlags_ &= ~mask; }
    bool HasAnimFlags(uint64_t mask) const { return (animFlags_ & mask) != 0; }
    float GetAnimPos() const { return position_; }
    int32_t GetCurrentFrame() const { return currentFrame_; }
    float GetClock() const { return clock_; }
    float GetLength() const { return length_; }
    // The animation's first track (what LoadMesh found).
    void SetTrackInfo(bool hasTrack, uint32_t keyCount, float length);
    // The tree that holds the animation (the ".cma", else the ".cm").
    IModelTree* GetModelTree() const { return modelTree_; }
    // A copy sharing the render objects, with the same animation state (not the materials).
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;

    std::string ClassName() const override { return "AnimatedObjClass"; }

protected:
    ~AnimatedObjClass() override = default;

private:
    uint64_t animFlags_ = 0;
    float position_ = 0;
    int32_t currentFrame_ = 0;
    platform::D3DMATERIAL9 baseMaterial_{};
    platform::D3DMATERIAL9 workingMaterial_{};
    float clock_ = 0;
    float length_ = 0;
    bool hasTrack_ = false;
    uint32_t keyCount_ = 0;
    IModelTree* modelTree_ = nullptr;
};

// The lights an animated unit draws with: its parent's (second word 512), the
// environment's directional light (mask 2) and every lamp child (mask 4),
// whatever the lamp's range; each lamp's glow shrinks to 0.01.
void AddAnimatedUnitLights(TBaseRenderUnit& unit, uint16_t mask);

} // namespace vesk
