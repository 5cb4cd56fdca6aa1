#include "render/view_camera.h"

#include "platform/gfx/device.h"
#include "render/device.h"
#include "shared/math.h"

#include <algorithm>
#include <numbers>

namespace vesk {

void BasicViewCamera::SetPose(const Vec3& eye, const Vec3& look, const Vec3& up) {
    eye_ = eye;
    look_ = look;
    up_ = up;
    Recompute();
}

void BasicViewCamera::CalcMatrices(float zNear, float zFar) {
    near_ = zNear;
    far_ = zFar;
    Recompute();
    if (platform::IDirect3DDevice9* d = Device.Get()) {
        d->SetTransform(platform::D3DTS_VIEW, &view_);
        d->SetTransform(platform::D3DTS_PROJECTION, &proj_);
    }
}

void BasicViewCamera::Recompute() {
    const Vec3 at = Vec3Add(eye_, look_);
    view_ = MatrixLookAtLH(eye_, at, up_);
    MatrixOrientLookAt(eye_, at, up_, basis_);
    const float aspect = height_ != 0.0f ? -(width_ / height_) : -1.0f;
    proj_ = MatrixPerspectiveFovLH(fov_ * std::numbers::pi_v<float> / 180.0f, aspect, near_, far_);
}

void BasicViewCamera::RemoveFollowed(TBaseRenderUnit* unit) {
    std::erase(followed_, unit);
}

namespace {
std::shared_ptr<IViewCamera>& DefaultSlot() {
    static std::shared_ptr<IViewCamera> camera;
    return camera;
}
} // namespace

std::shared_ptr<IViewCamera> DefaultViewCamera() {
    auto& c = DefaultSlot();
    if (!c) c = std::make_shared<BasicViewCamera>();
    return c;
}

void SetDefaultViewCamera(std::shared_ptr<IViewCamera> camera) {
    DefaultSlot() = std::move(camera);
}

} // namespace vesk
