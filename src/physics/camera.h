#pragma once
// The scene camera: eye, look and up, the field of view and the matrices the
// render engine sets on the device. A 64-bit mode set chooses what moves it;
// the movers are stepped in 30 ms slices and everything else is derived from
// the pose they leave behind.
#include "physics/camera_movers.h"
#include "render/view_camera.h"
#include "shared/math_frustum.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

enum CameraMode : std::uint64_t {
    kCamUserControl = 1,
    kCamCutScene = 2,
    kCamZoom = 4,
    kCamSway = 8,
    kCamFromBasis = 16,
    kCamFixed = 32,
    kCamQuake = 64,
    kCamAlign = 128,
    kCamObjView = 256,
    kCamFree = 512,
    kCamCockpit = 1024,
    kCamSpline = 2048,
};

// What the camera needs of the game around it; tests replace these. Without
// the two object hooks a followed unit gives its own position and bounding
// radius.
struct CameraHooks {
    std::function<bool()> paused;                   // the desktop's pause flag
    std::function<void(const std::string&)> runLua; // blur post-process texts
    std::function<float()> sensitivity;             // the "sensitivity" setting
    std::function<float()> random;                  // 0..1, quake phases
    std::function<Vec3(TBaseRenderUnit*)> objectPosition;
    std::function<float(TBaseRenderUnit*)> objectRadius;
};

// A mover stepped by the update; seconds per step.
using CameraMoverStep = std::function<void(float seconds)>;

// The 23-character scientific form of a number (" 5.00000000000000E-0001").
std::string CameraNumberText(double value);

class CameraClass : public IViewCamera, public ICameraPosition {
public:
    explicit CameraClass(std::string name = "generic", CameraHooks hooks = {});
    ~CameraClass() override;
    CameraClass(const CameraClass&) = delete;
    CameraClass& operator=(const CameraClass&) = delete;
    // Frees the movers; the camera stands still afterwards.
    void ReleaseComponents();
    const std::string& Name() const { return name_; }

    // Mode set.
    void SetMode(std::uint64_t bits) { mode_ |= bits; }
    void ClearMode(std::uint64_t bits) { mode_ &= ~bits; }
    bool IsMode(std::uint64_t bits) const { return (mode_ & bits) != 0; }
    std::uint64_t Mode() const { return mode_; }
    void SetControlEnabled(bool on) { on ? SetMode(kCamUserControl) : ClearMode(kCamUserControl); }
    void SetLookFlag(bool first, bool value);
    bool LookFlag(bool first) const { return first ? look1_ : look2_; }
    void SetObject(TBaseRenderUnit* obj);
    // The followed units that still exist, first one first.
    std::vector<TBaseRenderUnit*> Followed() const;
    TBaseRenderUnit* FirstFollowed() const;
    float ObjectRadius() const { return radius_; }
    // The helper of a followed object the align mover starts from.
    void SetCamFromHelper(const std::string& name) {
        if (name != camFromHelper_) camFromHelper_ = name;
    }
    const std::string& CamFromHelper() const { return camFromHelper_; }

    // The steps of the movers the update runs; they drive the camera's own
    // movers unless replaced.
    CameraMoverStep cockpitStep, splineStep, cutSceneStep, alignStep;

    // Pose.
    Vec3 GetPosition() const override { return eye_; }
    Vec3 GetDirection() const override { return look_; }
    Vec3 GetUpVector() const override { return up_; }
    Vec3 GetLookAtPoint() const override { return lookAt_; }
    Vec3 GetVelocity() const override { return velocity_; }
    float GetLADist() const override { return laDist_; }
    float GetFOV() const override { return fov_; }
    void SetPosition(const Vec3& eye) override { eye_ = eye; }
    void SetDirection(const Vec3& dir) override;
    void SetLookAtPoint(const Vec3& p) override;
    void SetUpVector(const Vec3& up) override { up_ = up; }
    void SetPosAndTarget(const Vec3& eye, const Vec3& target);

    // Matrices.
    void CalcMatrices(bool noTranslation, const Vec3* altEye, const Vec3* altOffset, float zNear, float zFar);
    void CalcMatrices(float zNear, float zFar) override {
        CalcMatrices(false, nullptr, nullptr, zNear, zFar);
    }
    void CalcViewProjMatrices(Matrix& view, Matrix& proj, Matrix& basis, const Vec3* eye, const Vec3& offset);
    void SetFOV(float degrees);
    void SetScreenSize(float width, float height) override {
        width_ = width;
        height_ = height;
    }
    Matrix GetViewMatrix() const override { return view_; }
    Matrix GetProjMatrix() const override { return proj_; }
    Matrix GetBasisMatrix() const override { return basis_; }
    Matrix GetInvViewMatrix() const { return invView_; }
    void SetBasisMatrix(const Matrix& m) { basis_ = m; }
    const FrustumClass& GetFrustum() const { return frustum_; }
    Matrix GetCameraMatrix() const;
    void RemoveFollowed(TBaseRenderUnit* unit) override;

    // Orbit and views.
    void MouseInput(float dx, float dy, float ms);
    void SetDistLimits(float minimum, float maximum);
    float GetMinDist();
    float GetMaxDist();
    void SetLADistByRadius(float factor) { wantedDist_ = radius_ * factor * 0.01f; }
    void Zoom(float delta);
    void SetZoom(float factor);
    float ZoomedFOV() const { return zoomedFov_; }
    void CalcPosByLAParams(const Vec3& target, Vec3* eyeOut, float distance, float azimuth, float elevation,
                           Vec3& dirOut);
    void SetAngles(float azimuth, float elevation) {
        azimuth_ = azimuth;
        elevation_ = elevation;
    }
    float Azimuth() const { return azimuth_; }
    float Elevation() const { return elevation_; }
    void SetLADist(float d) { laDist_ = d; }
    float WantedDist() const { return wantedDist_; }
    void SetOrbitTarget(const Vec3& t) { orbitTarget_ = t; }
    Vec3 OrbitTarget() const { return orbitTarget_; }
    float MinElevation() const { return minElev_; }
    float MaxElevation() const { return maxElev_; }

    // Object view: a slow orbit of one object with its own limits and FOV.
    void StartObjView(TBaseRenderUnit* obj, float fov, float minimum, float maximum);
    void StopObjView();
    // Places the orbit on the object: azimuth from its heading, 45 degrees up.
    void PlaceOnObject(TBaseRenderUnit* obj);
    // The chase behind the first followed object, from its cam-from helper.
    void StartAlignToObjOri();
    void StopAlignToObjOri();

    // Cockpit.
    void SetCockpitMode(TBaseRenderUnit* obj, TBaseRenderUnit* baseUnit, float third, float lateral,
                        float speedFactor);
    void ResetCockpitMode();
    void CockpitRotateUp(float x);
    void CockpitRotateDown(float x);
    void CockpitRotateLeft(float x);
    void CockpitRotateRight(float x);
    void CockpitRotateReset();

    // Cut scenes: endEvent runs once when the shot's time has run out.
    void StartCutScene(std::function<void()> endEvent, const std::vector<TBaseRenderUnit*>& objects,
                       const CutSceneParams& params);
    void StopCutScene() { ClearMode(kCamCutScene); }

    // Spline flights (each only in spline mode).
    void StartSplineMode() { SetMode(kCamSpline); }
    void StartSpline(std::vector<CameraKeyPoint> points, std::function<void()> onDone);
    void RunSpline();
    void ResetSpline();
    void StopSpline();

    // The movers, for the game camera and tests; nullptr after ReleaseComponents.
    TCockpitComponent* Cockpit() { return cockpit_.get(); }
    TFlyComponent2* Fly() { return fly_.get(); }
    TSplineMoveComponent* Spline() { return spline_.get(); }
    TCutSceneComponent* CutScene() { return cutScene_.get(); }

    // Free camera.
    void StartFreeCamera();
    void StopFreeCamera() { ClearMode(kCamFree); }
    void SetFreeCameraVelocity(const Vec3& v) { freeVelocity_ = v; }
    void SetFreeCameraRollSpeed(float s) { freeRoll_ = s; }

    // Quake.
    void StartQuake(bool fade, float time, float amplitude, float frequency);
    void StopQuake();
    float QuakeAmplitude() const { return quakeAmp_; }
    float QuakeElapsed() const { return quakeElapsed_; }

    // Per-frame update, dt in milliseconds.
    void Update(float dt);

private:
    void Refresh();
    // The eye and look-at point the basis mode or the fixed mode gives.
    void PlaceByMode();
    void ClampAngles();
    void OrbitStep(float ms);
    void ZoomStep(float ms);
    void SwayStep(float ms);
    void QuakeStep(float seconds);
    void FreeFlyStep(float seconds);
    void FollowSlice(float ms);
    float SpeedFactor(float x);
    void ReportCriticalDistance(float x, float mn, float mx);
    Vec3 ObjectPosition(TBaseRenderUnit* obj) const;
    float RadiusOf(TBaseRenderUnit* obj) const;
    bool Paused() const { return hooks_.paused && hooks_.paused(); }
    float Sensitivity() const { return hooks_.sensitivity ? hooks_.sensitivity() : 1.0f; }
    void SetBlur(const std::string& value);

    std::string name_;
    CameraHooks hooks_;
    std::uint64_t mode_ = kCamUserControl | kCamSway;
    bool look1_ = false, look2_ = false;
    std::string camFromHelper_ = "cam_from2";
    std::vector<UnitRef> objs_;
    float radius_ = 10.0f;
    float azimuth_ = 1.5707964f, elevation_ = 1.5707964f;
    float laDist_ = 650.0f, wantedDist_ = 650.0f;
    float maxElev_ = 3.14f, minElev_ = 0.01f;
    float minFactor_ = 1.0f, maxFactor_ = 10.0f;
    float zoomSpeed_ = 0.0f, zoomHelp1_ = -1.0f, zoomHelp2_ = 2.0f;
    float swayPhase1_ = 0, swayPhase2_ = 0, swayFreq_ = 0.1f, swayAmp_ = 0.0001f;
    Vec3 orbitTarget_{0, 0, 0};
    Matrix basis_, view_, invView_, proj_;
    float fov_ = 75.0f;
    float width_ = 1024.0f, height_ = 768.0f;
    float quakeAmp_ = 1.0f, quakeBaseAmp_ = 1.0f, quakeFreq_ = 6.0f;
    float quakePhase_[3] = {0, 0, 0};
    float quakeTime_ = 0, quakeElapsed_ = 0;
    bool quakeFade_ = false;
    Vec3 eye_{0, 0, 0}, prevEye_{0, 0, 0}, lookAt_{1, 0, 0}, look_{1, 0, 0}, up_{0, 0, 1}, velocity_{0, 0, 0};
    Vec3 fixedEye_{0, 0, 0}, fixedTarget_{1, 0, 0};
    float baseZoomFov_ = 70.0f, savedFov_ = 70.0f, zoomedFov_ = 70.0f;
    Vec3 freeVelocity_{0, 0, 0};
    float freeRoll_ = 0.0f;
    float stepSeconds_ = 0.0f;
    float stepX_ = 0, stepY_ = 0; // per-step mouse inputs
    PlaneClass plane_;
    FrustumClass frustum_;
    std::unique_ptr<TCockpitComponent> cockpit_;
    std::unique_ptr<TFlyComponent2> fly_;
    std::unique_ptr<TSplineMoveComponent> spline_;
    std::unique_ptr<TCutSceneComponent> cutScene_;
};

// The unit's shared accumulators (mouse look x/y, wheel, last step seconds).
struct CameraGlobals {
    float mouseX = 0, mouseY = 0, wheel = 0, step = 0;
};
CameraGlobals& CameraShared();

} // namespace vesk

namespace vesk {
// Makes a scene camera with the engine's hooks (the desktop's pause, the Lua
// host, the "sensitivity" setting) and makes it the camera the render engine
// reads.
std::shared_ptr<CameraClass> InstallSceneCamera(const std::string& name = "generic");
} // namespace vesk
