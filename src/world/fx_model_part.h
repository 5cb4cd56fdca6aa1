#pragma once
// One object of a model shown by an effect: its render object, placed by the
// object's matrix or by the key of its animation track that the effect asks
// for, and optionally brightened or dimmed as a whole. Shield hits, portals
// and mesh effects are made of these parts.
#include "render/render_unit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vesk {

class IModelTree;
struct ROKeyTrack;

class FXModelPartClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Tick(float dtMs) override;
    void DoRender() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;

    // The named object's render object (built once per model and shared) and
    // its track in the animation tree, when there is one; false without the object.
    bool Load(IModelTree& model, IModelTree* animation, const std::string& object, uint64_t options);
    // Starts the track from its beginning; a part that plays once stops at its end.
    void Play(bool loop);
    bool IsPlaying() const { return playing_; }
    bool IsLooping() const { return loop_; }
    // How far the track has played (0..1); 1 for a track of no length.
    float Progress() const { return length_ > 0.0f ? clock_ / length_ : 1.0f; }
    float Length() const { return length_; }
    // Places the part by the key nearest to that share of its track.
    void ShowFraction(float fraction);
    int32_t CurrentKey() const { return key_; }
    uint32_t KeyCount() const;
    // The material colours become white scaled by k for every draw of the part.
    void SetIntensity(float k) { intensity_ = k; }
    std::optional<float> Intensity() const { return intensity_; }
    // Drawn with the user clip plane off (the frame of a gate that clips what passes through it).
    void SetUnclipped(bool on) { unclipped_ = on; }

private:
    const ROKeyTrack* track_ = nullptr;
    float length_ = 0.0f, clock_ = 0.0f;
    bool playing_ = false, loop_ = false;
    int32_t key_ = 0;
    std::optional<float> intensity_;
    bool unclipped_ = false;
};

// "<path>/<name>" of the Lua mesh table's entry; empty when the entry is missing.
std::string MeshEntryFile(const std::string& meshName);

// A part under `owner` for every object of the model of the mesh entry, with
// the tracks of its ".cma" animation when there is one (a ".cma" without an
// animation root is a fatal report). An entry or model that cannot be found
// is written to the error log and gives no parts.
std::vector<FXModelPartClass*> LoadModelParts(TBaseRenderUnit& owner, const std::string& meshName,
                                              uint64_t options);

} // namespace vesk
