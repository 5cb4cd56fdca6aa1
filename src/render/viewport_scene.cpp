#include "render/viewport_scene.h"

#include "render/engine.h"
#include "render/morphed_obj.h"
#include "render/multirole.h"
#include "render/view_camera.h"

#include <memory>

namespace vesk {

ViewportSceneClass::~ViewportSceneClass() {
    Clear();
}

void ViewportSceneClass::Clear() {
    MultiroleBRUClass* root = std::exchange(root_, nullptr);
    if (!root) return;
    // A ship's scene is never released by a discard: it goes with the view.
    SceneClass* scene = nullptr;
    while (root->FindChildByClass(scene)) scene->DiscardScene();
    if (root->DiscardBRU()) root->Free();
}

void ViewportSceneClass::Show(const std::string& content, bool shipView) {
    if (content == content_ && shipView == shipView_ && (root_ || content.empty())) return;
    Clear();
    content_ = content;
    shipView_ = shipView;
    if (content.empty() || !Engine) return;
    // A camera at the origin looking along +x; a ship's scene sets its own.
    // Each new content starts from it, whatever the entry showed before.
    if (viewport_ < 0)
        viewport_ = Engine->Viewports().AddViewport(nullptr, std::make_shared<BasicViewCamera>());
    else
        Engine->Viewports().SetViewportCamera(viewport_, std::make_shared<BasicViewCamera>());
    root_ = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
    root_->Setup(viewport_, BRU2_VIEWPORT_CHARACTER);
    if (shipView)
        root_->AddViewportScene(content, viewport_);
    else if (content == "items_scene")
        root_->AddItemScene(viewport_);
    else
        root_->AddHead(content, "", true, 0);
}

void ViewportSceneClass::Render(int x, int y, int width, int height) {
    if (!root_ || !Engine || width <= 0 || height <= 0) return;
    platform::D3DVIEWPORT9 rect{static_cast<uint32_t>(x),
                                static_cast<uint32_t>(y),
                                static_cast<uint32_t>(width),
                                static_cast<uint32_t>(height),
                                0.0f,
                                1.0f};
    Engine->Viewports().SetViewportData(viewport_, rect);
    root_->RenderViewport();
}

} // namespace vesk
