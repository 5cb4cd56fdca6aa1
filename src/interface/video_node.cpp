#include "interface/video_node.h"

#include <algorithm>
#include <stdexcept>

#include "game/events.h"
#include "game/params.h"
#include "platform/text.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/view_camera.h"

namespace vesk {

// ---- viewports -------------------------------------------------------------------------

std::unique_ptr<TViewportList> InterfaceViewports;

int TViewportList::Acquire() {
    if (!Engine) return -1;
    // Entries of an engine made before the present one are not handed out.
    while (!free_.empty()) {
        const int id = free_.back();
        free_.pop_back();
        if (id >= 0 && id < Engine->Viewports().Count()) return id;
    }
    return Engine->Viewports().AddViewport(nullptr, std::make_shared<BasicViewCamera>());
}

void TViewportList::GiveBack(int id) {
    if (id >= 0 && std::find(free_.begin(), free_.end(), id) == free_.end()) free_.push_back(id);
}

void TViewportNode::SetContent(const std::string& name) {
    content_ = name;
    if (!ShowsModels()) return;
    if (!scene_)
        scene_ =
            std::make_unique<ViewportSceneClass>(InterfaceViewports ? InterfaceViewports->Acquire() : -1);
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
    if (scene_) {
        const int id = scene_->ViewportId();
        scene_.reset();
        if (InterfaceViewports) InterfaceViewports->GiveBack(id);
    }
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
