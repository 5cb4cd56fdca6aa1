#pragma once
// The general-purpose render unit: it draws its render objects (sub-objects
// of models), stands in for removed children (the placeholder "null"), and is
// the root of the small private scene an interface viewport shows. It adds an
// ambient colour, a fog switch and the viewport drawing routine.
#include "render/render_unit.h"

#include <cstdint>
#include <string>

namespace vesk {

// First word, high half.
inline constexpr uint64_t MR_VIDEO_CHILD = 0x10000000ull << 32;   // a child carrying a video
inline constexpr uint64_t MR_MULTIROLE = 0x20000000ull << 32;     // set by Init
inline constexpr uint64_t MR_AMBIENT_RESET = 0x40000000ull << 32; // EndRender puts the ambient back to 0
inline constexpr uint64_t MR_DRAW_ROS = 0x80000000ull << 32;      // DoRender draws the render objects
// Second word.
inline constexpr uint64_t MR2_NO_CLIP_PLANES = 0x800000;
inline constexpr uint64_t MR2_NO_CLEAR = 0x80000000;               // RenderViewport keeps the target
inline constexpr uint64_t MR2_REAPPLY_LOCAL = 0x40000000ull << 32; // world := local x world at each draw
// Render stage of the units an interface viewport draws.
inline constexpr uint16_t kViewportStage = 2;

// A child that plays a video by name (the video renderer's unit).
class IVideoUnit {
public:
    virtual void SetVideoName(const std::string& name) = 0;

protected:
    ~IVideoUnit() = default;
};

class MultiroleBRUClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override;
    void EndRender() override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;

    // The root of an interface viewport: drawn in stage 2 into its viewport.
    void Setup(int32_t viewportId, uint64_t flags2Mask);
    // A unit that only draws its render objects.
    void SetupDrawing();
    void SetAmbient(uint32_t colour) { ambient_ = colour; }
    uint32_t GetAmbient() const { return ambient_; }
    void SetFogEnabled(bool on) { fogOff_ = !on; }
    bool FogEnabled() const { return !fogOff_; }
    // Hands the name to the first unit of the subtree that carries a video.
    void SetVideo(const std::string& name);
    // Draws the subtree into the unit's viewport (called by the interface's viewport node).
    void RenderViewport();

    std::string ClassName() const override { return "MultiroleBRUClass"; }

protected:
    ~MultiroleBRUClass() override = default;

private:
    uint32_t ambient_ = 0;
    bool fogOff_ = false;
};

} // namespace vesk
