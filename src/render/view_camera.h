#pragma once
// What the render engine reads of a camera: its pose, field of view and
// matrices, the projection it sets on the device, and the list of units it
// follows. The scene camera implements this; the default camera below serves
// viewports that have none.
#include "platform/math_types.h"

#include <memory>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

class IViewCamera {
public:
    virtual ~IViewCamera() = default;
    virtual Vec3 GetPosition() const = 0;
    virtual Vec3 GetDirection() const = 0;
    virtual Vec3 GetUpVector() const = 0;
    virtual float GetFOV() const = 0; // degrees
    virtual Matrix GetViewMatrix() const = 0;
    virtual Matrix GetProjMatrix() const = 0;
    virtual Matrix GetBasisMatrix() const = 0;
    // The aspect source (no recompute).
    virtual void SetScreenSize(float width, float height) = 0;
    // Recomputes the matrices and sets view and projection on the device.
    virtual void CalcMatrices(float zNear, float zFar) = 0;
    // Drops a unit from the followed-objects list.
    virtual void RemoveFollowed(TBaseRenderUnit* unit) = 0;
};

// A camera at a fixed pose: eye (0,0,0), look (1,0,0), up (0,0,1), 70 degrees,
// with the mirrored projection (aspect -width/height) the engine relies on.
class BasicViewCamera : public IViewCamera {
public:
    BasicViewCamera() { Recompute(); }
    Vec3 GetPosition() const override { return eye_; }
    Vec3 GetDirection() const override { return look_; }
    Vec3 GetUpVector() const override { return up_; }
    float GetFOV() const override { return fov_; }
    Matrix GetViewMatrix() const override { return view_; }
    Matrix GetProjMatrix() const override { return proj_; }
    Matrix GetBasisMatrix() const override { return basis_; }
    void SetScreenSize(float width, float height) override {
        width_ = width;
        height_ = height;
        Recompute();
    }
    void CalcMatrices(float zNear, float zFar) override;
    void RemoveFollowed(TBaseRenderUnit* unit) override;

    void SetPose(const Vec3& eye, const Vec3& look, const Vec3& up = {0, 0, 1});
    void SetFOV(float degrees) {
        fov_ = degrees;
        Recompute();
    }
    std::vector<TBaseRenderUnit*>& Followed() { return followed_; }

private:
    void Recompute();
    float near_ = 1.0f, far_ = 150000.0f;
    Vec3 eye_{0, 0, 0}, look_{1, 0, 0}, up_{0, 0, 1};
    float fov_ = 70.0f;
    float width_ = 1024.0f, height_ = 768.0f;
    Matrix view_, proj_, basis_;
    std::vector<TBaseRenderUnit*> followed_;
};

// The camera a viewport entry gets when it has none.
std::shared_ptr<IViewCamera> DefaultViewCamera();
// Replaces the default camera (the scene installs its own); nullptr restores the basic one.
void SetDefaultViewCamera(std::shared_ptr<IViewCamera> camera);

} // namespace vesk
