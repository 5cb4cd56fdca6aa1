#include "physics/render_camera_link.h"

#include "render/script_links.h"
#include "shared/errors.h"

namespace vesk {

namespace {

class ScriptCamera final : public IScriptCamera {
public:
    explicit ScriptCamera(std::shared_ptr<CameraClass> camera) : camera_(std::move(camera)) {}
    void StartAlignToObjOri(const Vec3&) override { camera_->SetMode(kCamAlign); }
    void SetZoom(float factor) override { camera_->SetZoom(factor); }
    void StartFreeCamera() override { camera_->StartFreeCamera(); }
    void StopFreeCamera() override { camera_->StopFreeCamera(); }
    void SetFreeCameraVelocity(const Vec3& v) override { camera_->SetFreeCameraVelocity(v); }
    void SetFreeCameraRollSpeed(float s) override { camera_->SetFreeCameraRollSpeed(s); }
    void SetPosition(const Vec3& p) override { camera_->SetPosition(p); }
    Vec3 GetPosition() override { return camera_->GetPosition(); }
    void SetFOV(float degrees) override { camera_->SetFOV(degrees); }
    // The scene camera has no chase view to start from a helper.
    void SetCamFromHelper(const std::string& name) override {
        FastLogAddError("engine_CameraSetHelperFromName: the scene camera has no chase view for " + name);
    }

private:
    std::shared_ptr<CameraClass> camera_;
};

} // namespace

void InstallScriptCamera(std::shared_ptr<CameraClass> camera) {
    static std::unique_ptr<ScriptCamera> installed;
    installed = camera ? std::make_unique<ScriptCamera>(std::move(camera)) : nullptr;
    SetScriptCamera(installed.get());
}

} // namespace vesk
