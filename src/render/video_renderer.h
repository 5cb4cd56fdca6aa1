#pragma once
// Video files played into a texture: the cinematics and the video panels of
// the interface. A renderer decodes its file through the platform video layer,
// keeps the frame of its current position in a texture and draws it on a
// screen quad. While it plays it ticks through the updater manager.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/video.h"
#include "render/component.h"
#include "render/shader.h"
#include "shared/updater.h"

namespace vesk {

class VideoRendererClass;

// Told when a video that does not loop reaches its end (and when it is stopped).
class IVideoEndListener {
public:
    virtual void VideoEnded(VideoRendererClass* video) = 0;

protected:
    ~IVideoEndListener() = default;
};

// On while the script asked for wide-screen videos (`engine_SetVideoWideScreen` "1").
extern bool VideoWideScreen;
// How much wider than the 4:3 interface screen the real screen is (1 at 4:3):
// the interface stretches a video's rectangle by it, and the video's picture
// is cut top and bottom to keep its proportions. 1 by default.
extern float VideoHorizontalScale;
// Sets the factor for a screen of width x height pixels (nothing for an empty one).
void SetVideoScreenSize(uint32_t width, uint32_t height);

class VideoRendererClass : public ClamClass, public IUpdatableInterface {
public:
    // Vertices of the screen quad: pre-transformed, with a colour and one texture.
    struct QuadVertex {
        float x, y, z, rhw;
        uint32_t colour;
        float u, v;
    };
    static constexpr uint32_t kQuadFvf = 0x004 | 0x040 | 0x100;
    // The quad draws with no depth test or depth writes, no lighting and no
    // clipping (the render-state flag word), from either side.
    static constexpr uint64_t kQuadApplyStates = 131114;

    // A renderer on the device, not bound to any carrier, visible, not looping.
    static VideoRendererClass* Create(platform::IDirect3DDevice9* device);

    void Load(const std::string& fileName);
    void Play();
    void Stop();
    void Pause();
    // Brings the texture up to the current position and draws the quad (while visible).
    void Render();
    void DrawToRect(float x, float y, float width, float height);
    void SetVisible(bool visible) { visible_ = visible; }
    bool Visible() const { return visible_; }
    void SetLoop(bool loop) { loop_ = loop; }
    bool Loop() const { return loop_; }
    void SetEndListener(IVideoEndListener* listener) { endListener_ = listener; }
    // Seconds; 0 without a loaded video.
    double GetPosition() const { return loaded_ ? position_ : 0.0; }
    double GetStopTime() const { return loaded_ ? stopTime_ : 0.0; }
    // Moves to the smaller of seconds and the stop time.
    void SetPosition(double seconds);
    platform::IDirect3DTexture9* GetTexture() const { return texture_.Get(); }
    bool Playing() const { return state_ == State::Running; }
    bool Paused() const { return state_ == State::Paused; }
    const std::string& FileName() const { return fileName_; }
    const std::vector<QuadVertex>& Quad() const { return quad_; }
    // The render states the quad is drawn with; the device's own values come back after it.
    RenderStateManagerClass* QuadStates() const { return states_; }

    void UpdateTick(float stepMs) override;
    void UpdateEndTick() override {}
    void Free() override;
    std::string ClassName() const override { return "VideoRendererClass"; }

    // Every renderer that is playing.
    static const std::vector<VideoRendererClass*>& PlayingList();

private:
    enum class State { Stopped, Paused, Running };
    void Unregister();
    void UploadFrame();

    platform::Ref<platform::IDirect3DDevice9> device_;
    std::unique_ptr<platform::IVideoDecoder> decoder_;
    platform::Ref<platform::IDirect3DTexture9> texture_;
    std::vector<uint8_t> frame_;
    double frameTime_ = -1;        // time of the frame held in frame_, -1 for none
    double shownTime_ = -1;        // time of the frame in the texture
    std::vector<uint8_t> pending_; // decoded ahead of the position
    double pendingTime_ = 0;
    bool havePending_ = false, decoderAtEnd_ = false;
    std::vector<QuadVertex> quad_;
    RenderStateManagerClass* states_ = nullptr;
    std::string fileName_;
    IVideoEndListener* endListener_ = nullptr;
    State state_ = State::Stopped;
    double position_ = 0, stopTime_ = 0;
    bool loop_ = false, visible_ = true, loaded_ = false;
};

} // namespace vesk
