#pragma once
// Characters (faces in dialogs) and cinematics. A character is a model whose
// base render object is blended every frame from morph targets whose weights
// come, frame by frame, from the keys of its animation file; its parts
// (headset, decor, helmet, eyes, a background) hang beside it as
// sub-objects. A cinematic is the same unit showing a video from
// "cinematics/" instead of a model.
#include "render/model_tree.h"
#include "render/morpher.h"
#include "render/render_unit.h"
#include "shared/updater.h"

#include <cstdint>
#include <string>

namespace vesk {

class VideoRendererClass;

// Load flags: the background from the animation mesh's model, the ambient from that background.
inline constexpr uint64_t MORPH_LOAD_BACKGROUND_FROM_ANIM = 1;
inline constexpr uint64_t MORPH_LOAD_AMBIENT_FROM_BACKGROUND = 2;
// The unit of an interface viewport that takes a character's ambient colour (second word).
inline constexpr uint64_t BRU2_VIEWPORT_CHARACTER = 0x40000000ull << 32;

class TMorphedAnimatedObjClass : public TBaseRenderUnit, public IUpdatableInterface {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void Message(IEngineObject* sender, int msg, int param) override;
    void DoRender() override;
    void SetVisible(bool on) override;
    void AddLights(uint16_t mask) override;
    void Tick(float dtMs) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;

    // Names the unit, adds it to its parent and loads the video of that mesh id
    // from "cinematics/" or else the model (see the loading steps in the source).
    void Load(const std::string& meshId, const std::string& name, const std::string& animMeshId,
              const std::string& baseName, bool withParts, uint64_t flags);
    // The model file of a mesh id: mesh[meshId].path + "/" + meshId + ".cm".
    static std::string ModelFileOf(const std::string& meshId);

    void PlayFrom(float seconds) { clock_.PlayFrom(seconds); }
    void SetLoop(bool loop);
    void SetLinkedObject(TMorphedAnimatedObjClass* linked);
    TMorphedAnimatedObjClass* GetLinkedObject() const { return linked_; }
    VideoRendererClass* GetVideoInterface() const { return video_; }
    void SetAnimFlags(uint64_t f) { clock_.flags |= f; }
    bool HasAnimFlags(uint64_t f) const { return (clock_.flags & f) != 0; }
    float GetAnimPos() const { return clock_.position; }
    uint32_t GetCurrentFrame() const { return clock_.frame; }
    float GetClock() const { return clock_.clock; }
    float GetLength() const { return clock_.length; }
    IModelTree* GetModelTree() const { return model_; }
    IModelTree* GetAnimationTree() const { return animation_; }

    // Driven by the updater manager only where no ancestor ticks the tree
    // (an interface viewport's private scene).
    void UpdateTick(float stepMs) override;
    void UpdateEndTick() override {}

    std::string ClassName() const override { return "TMorphedAnimatedObjClass"; }

protected:
    ~TMorphedAnimatedObjClass() override = default;

private:
    // Steps 4 on of the loading: the model, its animation and its parts.
    void LoadModel(const std::string& meshId, const std::string& animMeshId, const std::string& baseName,
                   bool withParts, uint64_t flags);
    void LoadHeadParts(TBaseRenderUnit& parent);
    void LoadEyes(TBaseRenderUnit& parent);
    uint32_t FirstTrackKeys() const;

    MorphAnimationClock clock_;
    VideoRendererClass* video_ = nullptr;
    int32_t value1_ = -1, value2_ = -1;
    TMorphedAnimatedObjClass* linked_ = nullptr;
    IModelTree* model_ = nullptr;
    IModelTree* animation_ = nullptr;
};

} // namespace vesk
