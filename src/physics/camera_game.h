#pragma once
// The game camera: the game's one entry to the scene camera. The application
// creates it at start-up and ticks it every frame; scripts, the desktop, game
// objects and the camera tracks call it rather than the camera. It turns a
// cut-scene description into the camera's parameter record and hands the
// camera's pose to the sound listener after every update.
#include "core/services.h"
#include "physics/camera.h"
#include "render/script_links.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// A cut-scene description as the game keeps it: values read by key, a key
// that is not there reads as empty or 0. The game-object tree implements it.
class ICutSceneDescription {
public:
    virtual std::string Text(const std::string& key) = 0;
    virtual float Number(const std::string& key) = 0;
    virtual Vec3 Vector(const std::string& key) = 0;
    // The texts held by the children of a list child.
    virtual std::vector<std::string> ListTexts(const std::string& key) = 0;
    // The render unit standing for the object at a game-object path; nullptr when none.
    virtual TBaseRenderUnit* UnitAt(const std::string& path) = 0;

protected:
    ~ICutSceneDescription() = default;
};

// Receives the listener's pose: position, front, top, velocity.
using ListenerPoseSink =
    std::function<void(const Vec3& position, const Vec3& front, const Vec3& top, const Vec3& velocity)>;

// Also the camera the render engine's script functions steer.
class TGameCamera : public IGameCamera, public IScriptCamera {
public:
    explicit TGameCamera(ListenerPoseSink listener = {}) : listener_(std::move(listener)) {}
    ~TGameCamera() override;

    // ---- the application's calls ------------------------------------------------------
    void Create() override {}
    // Creates the camera "generic"; its field of view comes from "cam.fov".
    // From then on it is the camera the render engine draws with and the
    // scripts steer, and a model's own camera can drive a viewport.
    void Init() override;
    void ApplyStartFlags(int flags, int extra) override;
    void Tick(float dt) override;
    void Free() override;

    CameraClass* Camera() const { return camera_.get(); }
    std::shared_ptr<CameraClass> SharedCamera() const { return camera_; }

    // ---- forwarded operations ----------------------------------------------------------
    void CockpitRotateUp(float x);
    void CockpitRotateDown(float x);
    void CockpitRotateLeft(float x);
    void CockpitRotateRight(float x);
    void CockpitRotateReset();
    void SetCockpitMode(TBaseRenderUnit* obj, TBaseRenderUnit* baseUnit, float third, float lateral,
                        float speedFactor);
    void ResetCockpitMode();
    void Zoom(float delta);
    void MouseRotate(float dx, float dy);
    void SetLookFlag(bool first, bool value);
    void SetFOV(float degrees) override;
    float GetFOV() const;
    void SetDistLimits(float minimum, float maximum);
    void LookAtObject(TBaseRenderUnit* obj, float factor, float unused);
    void SetDefaultObject(TBaseRenderUnit* obj);
    void StartObjView(TBaseRenderUnit* obj, float fov, float minimum, float maximum);
    void StopObjView();
    void SetZoom(float factor) override;
    // The vector is handed on; the camera does not use it.
    void StartAlignToObjOri(const Vec3& offset) override;
    void SetCamFromHelper(const std::string& name) override;
    void StartFreeCamera() override;
    void StopFreeCamera() override;
    void SetFreeCameraVelocity(const Vec3& v) override;
    void SetFreeCameraRollSpeed(float s) override;
    void SetPosition(const Vec3& p) override;
    Vec3 GetPosition() override;
    void SetDirection(const Vec3& d);
    Vec3 GetDirection();
    void SetUpVector(const Vec3& u);
    Vec3 GetUpVector();
    void StartSplineMode();
    void StartSpline(std::vector<CameraKeyPoint> points, std::function<void()> onDone);
    void RunSpline();
    void ResetSpline();
    void StopSpline();
    // endEvent runs once when the shot's time has run out.
    void StartCutScene(ICutSceneDescription& description, std::function<void()> endEvent);
    void StopCutScene();
    void StartQuake(bool fade, float time, float amplitude, float frequency);

private:
    std::shared_ptr<CameraClass> camera_;
    ListenerPoseSink listener_;
};

// The installed game camera, nullptr when the application has none.
TGameCamera* GameCamera();

// Installs the game camera as the application's camera service.
void InstallGameCamera(CoreServices& services, ListenerPoseSink listener);

} // namespace vesk
