#pragma once
// Interface viewports: a node that shows a model (a character's head, the
// item scene, a ship) in its rectangle, and the video node, whose content is
// a clip played into it. When a clip that
// does not loop ends, the node runs its CALLBACK text through a game event.
#include <memory>
#include <string>
#include <vector>

#include "interface/draw_nodes.h"
#include "render/video_renderer.h"
#include "render/viewport_scene.h"
#include "shared/helpers.h"

namespace vesk {

class TGameEvent;

// The engine viewport entries the interface's viewports draw through. An
// entry a viewport gives back is the next one handed out, so views that come
// and go (copied patterns, rebuilt windows) do not add entries for ever.
class TViewportList {
public:
    // A free entry, or a new one of the engine's; -1 without an engine.
    int Acquire();
    void GiveBack(int id);
    size_t FreeCount() const { return free_.size(); }

private:
    std::vector<int> free_;
};
// Made when the interface core starts, freed when it ends.
extern std::unique_ptr<TViewportList> InterfaceViewports;

class TViewportNode : public TMegaButton {
public:
    const std::string& Content() const { return content_; }
    // The content shown: a mesh id whose model the node's 3D scene shows (a
    // ship's name in ship view); a clip name for the video node.
    virtual void SetContent(const std::string& name);
    bool ShipView() const { return shipView_; }
    void SetShipView(bool on) { shipView_ = on; }
    // The node's private 3D scene; nullptr while it shows nothing.
    ViewportSceneClass* Scene() const { return scene_.get(); }

    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;
    void Draw() override;
    void Free() override;

protected:
    // The video node shows clips, not models.
    virtual bool ShowsModels() const { return true; }

private:
    std::string content_;
    bool shipView_ = false;
    std::unique_ptr<ViewportSceneClass> scene_;
};

class TVideoNode : public TViewportNode, public IVideoEndListener {
public:
    inline static const std::string kDefaultCallback =
        Ru("log(\"VIDEOPLAYER Critical Error! Не указан параметр CALLBACK \")");

    TVideoNode();
    bool Loop() const { return loop_; }
    TGameEvent* EndEvent() const { return endEvent_; }
    VideoRendererClass* Video() const { return video_; }

    void SetContent(const std::string& name) override;
    void VideoEnded(VideoRendererClass* video) override;
    bool ShowsModels() const override { return false; }
    void Draw() override;
    void Free() override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    void ClipEnded();

    bool loop_ = false;
    TGameEvent* endEvent_ = nullptr;
    VideoRendererClass* video_ = nullptr;
};

void RegisterVideoNodeClasses();

} // namespace vesk
