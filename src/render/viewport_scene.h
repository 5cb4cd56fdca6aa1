#pragma once
// The private 3D scene an interface viewport shows: its own viewport entry
// and camera, a multirole root, and the one thing shown in it - a
// character's head (with its parts), the item scene, or a turning ship.
#include <memory>
#include <string>

namespace vesk {

class MultiroleBRUClass;
class BasicViewCamera;

class ViewportSceneClass {
public:
    ViewportSceneClass() = default;
    // A scene drawn through a viewport entry the caller holds (-1: one of its own, made on first use).
    explicit ViewportSceneClass(int viewportId) : viewport_(viewportId) {}
    ViewportSceneClass(const ViewportSceneClass&) = delete;
    ViewportSceneClass& operator=(const ViewportSceneClass&) = delete;
    ~ViewportSceneClass();

    // Shows a mesh id ("items_scene" is the item scene, any other a head) or,
    // with shipView, a ship by name; an empty name shows nothing.
    void Show(const std::string& content, bool shipView);
    // Draws the scene into the rectangle (screen pixels).
    void Render(int x, int y, int width, int height);
    MultiroleBRUClass* Root() const { return root_; }
    int ViewportId() const { return viewport_; }

private:
    void Clear();

    MultiroleBRUClass* root_ = nullptr;
    int viewport_ = -1;
    std::string content_;
    bool shipView_ = false;
};

} // namespace vesk
