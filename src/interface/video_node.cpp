#include "interface/video_node.h"

#include <stdexcept>

#include "game/events.h"
#include "game/params.h"
#include "platform/text.h"
#include "render/device.h"

namespace vesk {

// ---- viewports -------------------------------------------------------------------------

void TViewportNode::SetContent(const std::string& name) {
    content_ = name;
    if (!ShowsModels()) return;
    if (!scene_) scene_ = std::make_unique<ViewportSceneClass>();
    scene_->Show(name, shipView_);
}

void TViewportNode::Draw() {
    TMegaButton::Draw();
    if (!scene_ || !Visible()) return;
    const TIRect r = GetScaledRect();
    const auto render = [&] { scene_->Render(r.left, r.top, r.Width(), r.Height()); };
    if (InterfaceDrawer)
        InterfaceDrawer->DrawOutside(render);
    else
        render();
}

void TViewportNode::Free() {
    scene_.reset();
    TMegaButton::Free();
}

void TViewportNode::CopyTo(TSimpleNode* target) {
    TMegaButton::CopyTo(target);
    if (auto* t = dynamic_cast<TViewportNode*>(target)) {
        t->shipView_ = shipView_;
        t->SetContent(content_);
    }
}

bool TViewportNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "VIEWPORT" || k == "VIEWPORTSHIP") {
        shipView_ = k == "VIEWPORTSHIP";
        SetContent(value);
        return true;
    }
    return TMegaButton::SetProperty(key, value);
}

bool TViewportNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "VIEWPORT" || k == "VIEWPORTSHIP") {
        value = content_;
        return true;
    }
    return TMegaButton::GetProperty(key, value);
}

// ---- video -------------------------------------------------------------------------------

TVideoNode::TVideoNode() {
    endEvent_ = NewGameObject<TGameEvent>("onVideoEnd", nullptr);
    if (endEvent_->EventCode()) endEvent_->EventCode()->setValue(std::string(kDefaultCallback));
    endEvent_->SetHandler([this](TEngineObject*, TEngineObject*) { ClipEnded(); });
}

void TVideoNode::Free() {
    if (video_) {
        video_->SetEndListener(nullptr);
        video_->Free();
        video_ = nullptr;
    }
    if (endEvent_) {
        endEvent_->SetHandler(nullptr);
        endEvent_->Free();
        endEvent_ = nullptr;
    }
    TViewportNode::Free();
}

void TVideoNode::SetContent(const std::string& name) {
    if (name == Content()) return;
    TViewportNode::SetContent(name);
    // The renderer tells its listener of every stop: a clip that is replaced
    // or stopped has not ended, so the end event is attached only while one plays.
    if (video_) video_->SetEndListener(nullptr);
    if (name.empty()) {
        if (video_) video_->Stop();
        return;
    }
    if (!video_) video_ = VideoRendererClass::Create(Device.Get());
    video_->Load(name);
    video_->SetLoop(loop_);
    video_->SetEndListener(this);
    video_->Play();
}

void TVideoNode::VideoEnded(VideoRendererClass*) {
    if (endEvent_) endEvent_->Fire();
}

void TVideoNode::ClipEnded() {
    if (loop_) return;
    // The clip stops and the node empties itself; the renderer stays for the next clip.
    SetContent("");
}

void TVideoNode::Draw() {
    TViewportNode::Draw();
    if (video_ && InterfaceDrawer && !Content().empty()) InterfaceDrawer->DrawVideo(*video_, GetScaledRect());
}

bool TVideoNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "VIDEOCLIP") {
            SetShipView(false);
            SetContent(value);
        } else if (k == "CALLBACK") {
            loop_ = value == "LOOP";
            if (endEvent_ && endEvent_->EventCode())
                endEvent_->EventCode()->setValue(loop_ ? std::string() : value);
            if (video_) video_->SetLoop(loop_);
        } else {
            return TViewportNode::SetProperty(key, value);
        }
        return true;
    } catch (const std::exception&) {
        ReportSetFault("TVideoNode", k, value);
        return false;
    }
}

bool TVideoNode::GetProperty(const std::string& key, std::string& value) {
    if (key == "--") {
        value.clear();
        return true;
    }
    return TViewportNode::GetProperty(key, value);
}

void RegisterVideoNodeClasses() {
    ClassManager.RegisterClass<TNodeKind, TViewportNode>();
    ClassManager.RegisterClass<TNodeKind, TVideoNode>();
}

} // namespace vesk
