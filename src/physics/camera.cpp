#include "physics/camera.h"

#include "core/application.h"
#include "core/lua_machine.h"
#include "core/services.h"
#include "core/var_list.h"
#include "platform/gfx/device.h"
#include "render/device.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace vesk {

namespace {
constexpr float kSlice = 30.0f;

float Wrap2Pi(float a) {
    if (a >= kTwoPi) a -= kTwoPi;
    if (a < 0.0f) a += kTwoPi;
    return a;
}
} // namespace

CameraGlobals& CameraShared() {
    static CameraGlobals g;
    return g;
}

std::string CameraNumberText(double value) {
    // printf gives "5.00000000000000E-01"; the texts carry four exponent digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14E", std::fabs(value));
    std::string s = buf;
    const auto e = s.find('E');
    std::string mant = s.substr(0, e);
    const char sign = s[e + 1];
    std::string digits = s.substr(e + 2);
    while (digits.size() < 4) digits.insert(0, "0");
    return std::string(value < 0 ? "-" : " ") + mant + "E" + sign + digits;
}

CameraClass::CameraClass(std::string name, CameraHooks hooks)
    : name_(std::move(name)), hooks_(std::move(hooks)) {
    CameraShared() = {};
    cockpit_ = std::make_unique<TCockpitComponent>(this, DefaultCockpitTuning());
    fly_ = std::make_unique<TFlyComponent2>(this);
    spline_ = std::make_unique<TSplineMoveComponent>(this);
    cutScene_ = std::make_unique<TCutSceneComponent>(this);
    cockpitStep = [this](float s) {
        if (cockpit_) cockpit_->Step(s);
    };
    alignStep = [this](float s) {
        if (fly_) fly_->Step(s);
    };
    splineStep = [this](float s) {
        if (spline_) spline_->Tick(s);
    };
    cutSceneStep = [this](float s) {
        if (cutScene_) cutScene_->Step(s);
    };
    Refresh();
    StopAlignToObjOri();
}

CameraClass::~CameraClass() {
    ReleaseComponents();
}

void CameraClass::ReleaseComponents() {
    // The movers give back what they hold of the ships (the banking switch).
    if (cockpit_ && cockpit_->IsActive()) cockpit_->Stop();
    if (fly_ && fly_->IsActive()) fly_->Stop();
    if (cutScene_) cutScene_->Stop();
    cockpit_.reset();
    fly_.reset();
    spline_.reset();
    cutScene_.reset();
}

void CameraClass::SetLookFlag(bool first, bool value) {
    if (first) {
        look1_ = value;
        return;
    }
    look2_ = value;
    if (!value)
        stepX_ = stepY_ = 0;
    else
        CameraShared().wheel = 0;
}

void CameraClass::SetObject(TBaseRenderUnit* obj) {
    objs_.clear();
    if (!obj) return;
    objs_.emplace_back(obj);
    radius_ = RadiusOf(obj);
}

std::vector<TBaseRenderUnit*> CameraClass::Followed() const {
    std::vector<TBaseRenderUnit*> out;
    for (const UnitRef& r : objs_)
        if (TBaseRenderUnit* u = r.Get()) out.push_back(u);
    return out;
}

TBaseRenderUnit* CameraClass::FirstFollowed() const {
    for (const UnitRef& r : objs_)
        if (TBaseRenderUnit* u = r.Get()) return u;
    return nullptr;
}

void CameraClass::RemoveFollowed(TBaseRenderUnit* unit) {
    std::erase_if(objs_, [unit](const UnitRef& r) { return r.Get() == unit || r.Get() == nullptr; });
}

Vec3 CameraClass::ObjectPosition(TBaseRenderUnit* obj) const {
    if (hooks_.objectPosition) return hooks_.objectPosition(obj);
    Vec3 p{};
    obj->GetPosition(p);
    return p;
}

float CameraClass::RadiusOf(TBaseRenderUnit* obj) const {
    if (hooks_.objectRadius) return hooks_.objectRadius(obj);
    return obj->GetBSphereRadius();
}

void CameraClass::SetDirection(const Vec3& dir) {
    look_ = dir;
    if (IsMode(kCamFree)) {
        const float len = Vec3Length(dir);
        if (len > 0.0f) {
            elevation_ = std::acos(std::clamp(dir.z / len, -1.0f, 1.0f));
            azimuth_ = std::atan2(dir.y, dir.x);
        }
    }
    Refresh();
}

void CameraClass::SetLookAtPoint(const Vec3& p) {
    lookAt_ = p;
    look_ = Vec3Sub(p, eye_);
}

void CameraClass::SetPosAndTarget(const Vec3& eye, const Vec3& target) {
    ClearMode(kCamFromBasis);
    SetMode(kCamFixed);
    eye_ = fixedEye_ = eye;
    lookAt_ = fixedTarget_ = target;
    look_ = Vec3Sub(target, eye);
}

void CameraClass::Refresh() {
    if (stepSeconds_ > 0.0f) velocity_ = Vec3Scale(Vec3Sub(eye_, prevEye_), 1.0f / stepSeconds_);
    lookAt_ = Vec3Add(eye_, look_);
    plane_.SetFromPointNormal(eye_, look_);
    frustum_.Build(eye_, look_, fov_, up_);
}

void CameraClass::PlaceByMode() {
    if (IsMode(kCamFromBasis)) {
        eye_ = {basis_.m[3][0], basis_.m[3][1], basis_.m[3][2]};
        lookAt_ = Vec3Add(eye_, Vec3TransformNormal({0, 1, 0}, basis_));
        look_ = Vec3Sub(lookAt_, eye_);
    }
    if (IsMode(kCamFixed)) {
        eye_ = fixedEye_;
        lookAt_ = fixedTarget_;
        look_ = Vec3Sub(lookAt_, eye_);
    }
}

void CameraClass::CalcMatrices(bool noTranslation, const Vec3* altEye, const Vec3* altOffset, float zNear,
                               float zFar) {
    platform::IDirect3DDevice9* d = Device.Get();
    if (!d) return;
    PlaceByMode();
    if (!altEye) {
        view_ = noTranslation ? MatrixLookAtLH({0, 0, 0}, look_, up_) : MatrixLookAtLH(eye_, lookAt_, up_);
        MatrixInverse(view_, invView_);
        MatrixOrientLookAt(eye_, lookAt_, up_, basis_);
    } else {
        const Vec3 at = Vec3Add(*altEye, altOffset ? *altOffset : Vec3{1, 0, 0});
        SetViewMatrix(*altEye, at, up_, 0.0f, view_);
        MatrixInverse(view_, invView_);
        MatrixOrientLookAt(*altEye, at, up_, basis_);
    }
    d->SetTransform(platform::D3DTS_VIEW, &view_);
    const float aspect = height_ != 0.0f ? -(width_ / height_) : -1.0f;
    proj_ = MatrixPerspectiveFovLH(fov_ * std::numbers::pi_v<float> / 180.0f, aspect, zNear, zFar);
    d->SetTransform(platform::D3DTS_PROJECTION, &proj_);
}

void CameraClass::CalcViewProjMatrices(Matrix& view, Matrix& proj, Matrix& basis, const Vec3* eye,
                                       const Vec3& offset) {
    PlaceByMode();
    if (!eye) {
        ErrorReport("CameraClass.CalcViewProjMatrices: ", "mhl");
        return;
    }
    const Vec3 at = Vec3Add(*eye, offset);
    view = MatrixLookAtLH(*eye, at, {0, 0, 1});
    MatrixOrientLookAt(*eye, at, {0, 0, 1}, basis);
    const float aspect = width_ != 0.0f ? -(height_ / width_) : -1.0f;
    SetProjectionMatrix(fov_ * std::numbers::pi_v<float> / 180.0f, aspect, 3.0f, 150000.0f, proj);
}

void CameraClass::SetFOV(float degrees) {
    fov_ = degrees;
    CalcMatrices(false, nullptr, nullptr, 1.0f, 150000.0f);
}

Matrix CameraClass::GetCameraMatrix() const {
    Matrix m;
    MatrixOrientLookAt(eye_, Vec3Add(eye_, look_), {0, 0, 1}, m);
    MatrixInverse(m, m);
    m.m[3][0] = eye_.x;
    m.m[3][1] = eye_.y;
    m.m[3][2] = eye_.z;
    m.m[3][3] = 1.0f;
    return m;
}

void CameraClass::SetDistLimits(float minimum, float maximum) {
    minFactor_ = minimum * 0.01f;
    maxFactor_ = maximum * 0.01f;
}

float CameraClass::GetMinDist() {
    maxFactor_ = std::max(maxFactor_, minFactor_);
    return radius_ * minFactor_;
}

float CameraClass::GetMaxDist() {
    maxFactor_ = std::max(maxFactor_, minFactor_);
    return radius_ * maxFactor_;
}

void CameraClass::Zoom(float delta) {
    zoomSpeed_ -= (GetMaxDist() - GetMinDist()) * delta * 0.01f;
    zoomHelp1_ = zoomHelp2_;
    SetMode(kCamZoom);
}

void CameraClass::SetZoom(float factor) {
    if (factor == 0.0f && fov_ == baseZoomFov_) return;
    zoomedFov_ = baseZoomFov_ / (factor == 0.0f ? 1.0f : factor);
}

void CameraClass::CalcPosByLAParams(const Vec3& target, Vec3* eyeOut, float distance, float azimuth,
                                    float elevation, Vec3& dirOut) {
    const Vec3 offset{std::sin(elevation) * std::cos(-azimuth) * distance,
                      std::sin(elevation) * std::sin(azimuth) * distance, std::cos(elevation) * distance};
    if (eyeOut) {
        *eyeOut = Vec3Add(target, offset);
        if (std::isnan(eyeOut->x) || std::isnan(eyeOut->y) || std::isnan(eyeOut->z))
            ErrorReport("CameraClass.CalcPosByLAParams: IsNAN(_pvPos^)", "mhl");
    }
    dirOut = Vec3Sub(target, eyeOut ? *eyeOut : eye_);
    if (std::isnan(dirOut.x) || std::isnan(dirOut.y) || std::isnan(dirOut.z))
        ErrorReport("CameraClass.CalcPosByLAParams: IsNAN(_pvDir^)", "mhl");
}

void CameraClass::ClampAngles() {
    elevation_ = std::clamp(elevation_, minElev_, std::max(minElev_, maxElev_));
    if (azimuth_ > kPi)
        azimuth_ -= kTwoPi;
    else if (azimuth_ < -kPi)
        azimuth_ += kTwoPi;
}

void CameraClass::ReportCriticalDistance(float x, float mn, float mx) {
    FastLogAdd("Camera critical error");
    const std::vector<TBaseRenderUnit*> objs = Followed();
    std::string line = "LADist=" + FloatToStrRaw(x) + ", GetMinDist=" + FloatToStrRaw(mn) +
                       ", EndDist=" + FloatToStrRaw(mx) +
                       ", ObjsBRUList.Count=" + IntToStr32(static_cast<int32_t>(objs.size()));
    for (TBaseRenderUnit* obj : objs)
        line += ", obj name=" + obj->GetName() + ", mat: " + MatrixToStr(obj->GetLocalMatrix()) +
                ", CurMat: " + MatrixToStr(obj->GetWorldMatrix());
    FastLogAdd(line);
    ErrorReport(line, "mhl");
}

float CameraClass::SpeedFactor(float x) {
    const float mn = GetMinDist(), mx = GetMaxDist();
    if (x > 999999999.0f) ReportCriticalDistance(x, mn, mx);
    if (mx <= mn) return 0.0f; // no range to move in
    x = std::clamp(x, mn, mx);
    const float c = 0.5f + 0.5f * std::cos((x - (mn + mx) / 2.0f) * 6.2832f / (mx - mn));
    return 0.25f * std::pow(std::max(c, 0.0f), 0.7f);
}

void CameraClass::MouseInput(float dx, float dy, float ms) {
    CameraGlobals& g = CameraShared();
    if (!IsMode(kCamUserControl | kCamFree)) {
        g.wheel = 0;
        return;
    }
    dx = std::round(dx);
    dy = std::round(dy);
    g.step = ms * 0.001f;
    const float d = 0.95f - g.step;
    if ((look1_ && look2_) || IsMode(kCamFree)) {
        float w = dy;
        if (dy < 0 && GetMinDist() * 1.3f > laDist_) w = 0;
        g.wheel += w / 20000.0f * Sensitivity();
    }
    laDist_ += SpeedFactor(laDist_) * g.wheel * 29000.0f * Sensitivity() * ScreenScaleY;
    laDist_ = std::clamp(laDist_, GetMinDist(), GetMaxDist());
    if ((look2_ && !look1_) || IsMode(kCamFree)) {
        stepX_ = -0.0005f * dx;
        stepY_ = 0.0005f * dy * (IsMode(kCamFree) ? -1.0f : 1.0f);
    }
    if (d > 0) g.wheel *= d;
}

void CameraClass::OrbitStep(float ms) {
    CameraGlobals& g = CameraShared();
    if (!IsMode(kCamUserControl | kCamFree)) {
        g.mouseX = g.mouseY = 0;
        return;
    }
    if (const std::vector<TBaseRenderUnit*> objs = Followed(); objs.size() == 1)
        orbitTarget_ = ObjectPosition(objs[0]);
    const float s = ms * 0.001f;
    g.mouseX += stepX_ * s * 80.0f * Sensitivity() * ScreenScaleX;
    g.mouseY += stepY_ * s * 80.0f * Sensitivity() * ScreenScaleY;
    const float f = std::max(0.0f, 0.8f - std::pow(10.0f * s, 5.0f));
    azimuth_ += g.mouseX * 0.25f;
    elevation_ -= g.mouseY * 0.25f;
    if (IsMode(kCamObjView)) azimuth_ += 0.00025f;
    ClampAngles();
    if (!IsMode(kCamFree)) {
        CalcPosByLAParams(orbitTarget_, &eye_, laDist_, azimuth_, elevation_, look_);
        Refresh();
    }
    stepX_ = stepY_ = 0;
    if (f > 0) {
        g.mouseX *= f;
        g.mouseY *= f;
    }
    MouseInput(0, 0, 0);
}

void CameraClass::ZoomStep(float t) {
    if (!IsMode(kCamZoom) || !IsMode(kCamUserControl)) return;
    if (zoomSpeed_ == 0.0f) {
        ClearMode(kCamZoom);
        return;
    }
    const float mn = GetMinDist(), mx = GetMaxDist();
    if ((zoomSpeed_ < 0 && laDist_ <= mn) || (zoomSpeed_ > 0 && laDist_ >= mx)) {
        zoomSpeed_ = 0;
        return;
    }
    const float range = mx - mn;
    zoomSpeed_ = std::clamp(zoomSpeed_, -range * 1.4f, range * 1.4f);
    const float u = range > 0 ? (laDist_ - mn) / range : 0.0f;
    const float e = 1.0f - 0.9f * std::pow(2.0f * u - 1.0f, 4.0f);
    laDist_ = std::clamp(laDist_ + e * zoomSpeed_ * 0.001f * t, mn, mx);
    const float sign = zoomSpeed_ > 0 ? 1.0f : -1.0f;
    const float next = zoomSpeed_ - sign * range * 0.001f * t * 3.0f;
    zoomSpeed_ = (next > 0) == (zoomSpeed_ > 0) ? next : 0.0f;
}

void CameraClass::SwayStep(float t) {
    if (!IsMode(kCamSway)) return;
    const float dp = swayFreq_ * t * 2.0f * kPi * 0.001f;
    swayPhase1_ = Wrap2Pi(swayPhase1_ + dp);
    swayPhase2_ = Wrap2Pi(swayPhase2_ + dp * 2.5f);
    azimuth_ += std::sin(swayPhase1_) * swayAmp_ * 0.5f;
    elevation_ += std::sin(swayPhase2_) * swayAmp_ * 0.5f;
}

void CameraClass::FollowSlice(float ms) {
    TBaseRenderUnit* first = FirstFollowed();
    if (!first) return;
    radius_ = RadiusOf(first);
    const float t = std::round(ms);
    OrbitStep(t);
    ZoomStep(t);
    SwayStep(t);
}

void CameraClass::SetBlur(const std::string& value) {
    if (hooks_.runLua) hooks_.runLua("SetPPParam(\"blur\",\"blur_power\"," + value + ")");
}

void CameraClass::StartQuake(bool fade, float time, float amplitude, float frequency) {
    quakeFade_ = false;
    quakeAmp_ = quakeBaseAmp_ = quakeFreq_ = 0;
    quakeElapsed_ = 0;
    for (float& p : quakePhase_) p = (hooks_.random ? hooks_.random() : UniformRandom()) * kTwoPi;
    SetMode(kCamQuake);
    quakeAmp_ = quakeBaseAmp_ = amplitude;
    quakeFreq_ = frequency;
    quakeTime_ = time;
    quakeFade_ = fade;
    if (time == 0.0f) ErrorReport("CameraClass.StartQuake: _fTime = 0", "mhl");
    SetBlur(CameraNumberText(amplitude / 3.0 + 0.25));
}

void CameraClass::StopQuake() {
    ClearMode(kCamQuake);
    quakeFade_ = false;
    quakeAmp_ = quakeBaseAmp_ = quakeFreq_ = 0;
    quakeElapsed_ = 0;
    SetBlur("\"0.25\"");
}

void CameraClass::QuakeStep(float dt) {
    if (!IsMode(kCamQuake) || Followed().size() != 1) return;
    quakeElapsed_ += dt;
    if (quakeElapsed_ >= quakeTime_) {
        StopQuake();
        return;
    }
    if (quakeFade_) {
        // quakeTime_ > 0 here: elapsed has not reached it.
        quakeAmp_ = quakeBaseAmp_ * (1.0f - quakeElapsed_ / quakeTime_);
        SetBlur(CameraNumberText(quakeAmp_ / 3.0 + 0.2));
    }
    const float dp = quakeFreq_ * dt * kTwoPi;
    quakePhase_[0] = Wrap2Pi(quakePhase_[0] + dp);
    quakePhase_[1] = Wrap2Pi(quakePhase_[1] + dp * 1.1f);
    quakePhase_[2] = Wrap2Pi(quakePhase_[2] + dp);
    const float a = quakeAmp_ * (IsMode(kCamCockpit) ? 0.5f : 1.0f);
    const Vec3 local{0, std::sin(quakePhase_[1]) * a, std::sin(quakePhase_[2]) * a};
    lookAt_ = Vec3Add(lookAt_, Vec3TransformNormal(local, GetCameraMatrix()));
    look_ = Vec3Sub(lookAt_, eye_);
    Refresh();
}

void CameraClass::StartFreeCamera() {
    StopQuake();
    SetMode(kCamFree);
    freeVelocity_ = {0, 0, 0};
}

void CameraClass::FreeFlyStep(float dt) {
    OrbitStep(std::round(dt * 1000.0f));
    look_ = Vec3Scale({std::sin(elevation_) * std::cos(-azimuth_), std::sin(elevation_) * std::sin(azimuth_),
                       std::cos(elevation_)},
                      10.0f);
    const Vec3 side = Vec3Normalize(Vec3Cross(up_, look_));
    const Vec3 second = Vec3Normalize(Vec3Cross(look_, side));
    eye_ = Vec3Add(eye_, Vec3Scale(side, freeVelocity_.x * dt));
    eye_ = Vec3Add(eye_, Vec3Scale(second, freeVelocity_.y * dt));
    eye_ = Vec3Add(eye_, Vec3Scale(Vec3Normalize(look_), freeVelocity_.z * dt));
    lookAt_ = Vec3Add(eye_, look_);
    if (freeRoll_ != 0.0f) up_ = Vec3TransformNormal(up_, MatrixRotationAxis(look_, freeRoll_ * dt));
    up_ = {0, 0, 1};
}

void CameraClass::Update(float dt) {
    stepSeconds_ = dt * 0.001f;
    prevEye_ = eye_;
    const bool paused = Paused();
    const auto sliced = [](float& t, const auto& step) {
        do {
            if (t > kSlice) {
                step(kSlice);
                t -= kSlice;
            } else {
                step(t);
            }
        } while (t > kSlice);
    };
    if (IsMode(kCamFree)) {
        FreeFlyStep(dt / 1000.0f);
        Refresh();
        return;
    }
    if (IsMode(kCamSpline) && !paused) {
        if (splineStep) splineStep(dt / 1000.0f);
        Refresh();
        return;
    }
    float t = dt;
    if (IsMode(kCamCockpit) && !paused) {
        sliced(t, [&](float ms) {
            if (cockpitStep) cockpitStep(ms * 0.001f);
        });
        Refresh();
        QuakeStep(dt / 1000.0f);
        Refresh();
        return;
    }
    if (IsMode(kCamCutScene) && !paused) {
        sliced(t, [&](float ms) {
            if (cutSceneStep) cutSceneStep(ms * 0.001f);
        });
        Refresh();
        return;
    }
    if ((!look2_ || look1_) && !paused) {
        sliced(t, [&](float ms) {
            if (IsMode(kCamAlign) && alignStep) {
                alignStep(ms * 0.001f);
                Refresh();
            }
        });
    }
    if ((look2_ && !look1_) || IsMode(kCamObjView)) sliced(t, [&](float ms) { FollowSlice(ms); });
    if (!paused) QuakeStep(dt / 1000.0f);
    Refresh();
}

// ---- object view and alignment ------------------------------------------------------------------

void CameraClass::PlaceOnObject(TBaseRenderUnit* obj) {
    if (!obj) return;
    const Matrix& world = obj->GetWorldMatrix();
    const Vec3 heading{world.m[0][0], world.m[0][1], world.m[0][2]};
    azimuth_ = std::acos(std::clamp(Vec3CosAngle(heading, {1, 0, 0}), -1.0f, 1.0f));
    elevation_ = DegToRad(45.0f);
    orbitTarget_ = ObjectPosition(obj);
    ClampAngles();
    lookAt_ = orbitTarget_;
    laDist_ = wantedDist_;
    CalcPosByLAParams(orbitTarget_, &eye_, laDist_, azimuth_, elevation_, look_);
    Refresh();
    SetObject(obj);
}

void CameraClass::StartObjView(TBaseRenderUnit* obj, float fov, float minimum, float maximum) {
    StopQuake();
    if (!obj) return;
    radius_ = RadiusOf(obj);
    minElev_ = maxElev_ = DegToRad(65.0f);
    savedFov_ = fov_;
    SetFOV(fov);
    SetDistLimits(minimum, maximum);
    SetLADistByRadius(250.0f);
    PlaceOnObject(obj);
    up_ = {0, 0, 1};
    StopFreeCamera();
    StopAlignToObjOri();
    SetMode(kCamObjView);
    // The view starts from the front of the object and turns slowly from there.
    azimuth_ = 0.0f;
    CalcPosByLAParams(orbitTarget_, &eye_, laDist_, azimuth_, elevation_, look_);
    Refresh();
}

void CameraClass::StopObjView() {
    if (!IsMode(kCamObjView)) return;
    maxElev_ = 3.14f;
    minElev_ = 0.01f;
    SetFOV(savedFov_);
    SetDistLimits(550.0f, 550.0f);
    SetLADistByRadius(550.0f);
    ClearMode(kCamObjView);
}

void CameraClass::StopAlignToObjOri() {
    if (fly_ && fly_->IsActive()) fly_->Stop();
    ClearMode(kCamAlign);
}

void CameraClass::StartAlignToObjOri() {
    StopQuake();
    if (fly_ && fly_->IsActive()) fly_->Stop();
    SetMode(kCamAlign);
    TBaseRenderUnit* obj = FirstFollowed();
    if (!obj || !fly_) return;
    HelperClass* helper = nullptr;
    if (!obj->FindHelper(camFromHelper_, helper) && !obj->FindHelper("cam_from", helper)) return;
    IRenderUnitAI* ai = nullptr;
    if (!obj->GetBPU(ai)) {
        ErrorReport("CameraClass.StartAlignToObjOri : not _obj.GetBPU( bpu)", "mhl");
        return;
    }
    fly_->Start(obj, helper, 25.0f);
}

// ---- cockpit -------------------------------------------------------------------------------------

void CameraClass::SetCockpitMode(TBaseRenderUnit* obj, TBaseRenderUnit* baseUnit, float third, float lateral,
                                 float speedFactor) {
    StopQuake();
    SetMode(kCamCockpit);
    IRenderUnitAI* ai = nullptr;
    if (!obj || !obj->GetBPU(ai)) {
        ErrorReport("CameraClass.SetCockpitMode : not _obj.GetBPU( bpu)", "mhl");
        return;
    }
    if (cockpit_) cockpit_->Start(obj, baseUnit, third, lateral, speedFactor);
}

void CameraClass::ResetCockpitMode() {
    ClearMode(kCamCockpit);
    if (cockpit_ && cockpit_->IsActive()) cockpit_->Stop();
}

void CameraClass::CockpitRotateUp(float x) {
    if (cockpit_) cockpit_->RotateUp(x);
}
void CameraClass::CockpitRotateDown(float x) {
    if (cockpit_) cockpit_->RotateDown(x);
}
void CameraClass::CockpitRotateLeft(float x) {
    if (cockpit_) cockpit_->RotateLeft(x);
}
void CameraClass::CockpitRotateRight(float x) {
    if (cockpit_) cockpit_->RotateRight(x);
}
void CameraClass::CockpitRotateReset() {
    if (cockpit_) cockpit_->RotateReset();
}

// ---- cut scenes and splines ------------------------------------------------------------------------

void CameraClass::StartCutScene(std::function<void()> endEvent, const std::vector<TBaseRenderUnit*>& objects,
                                const CutSceneParams& params) {
    StopQuake();
    SetMode(kCamCutScene);
    if (cutScene_) cutScene_->SetCutSceneParams(std::move(endEvent), objects, params);
}

void CameraClass::StartSpline(std::vector<CameraKeyPoint> points, std::function<void()> onDone) {
    if (!IsMode(kCamSpline) || !spline_) return;
    StopQuake();
    spline_->SetPoints(std::move(points), std::move(onDone));
}

void CameraClass::RunSpline() {
    if (IsMode(kCamSpline) && spline_) spline_->SetStopped(false);
}

void CameraClass::ResetSpline() {
    if (IsMode(kCamSpline) && spline_) spline_->Reset();
}

void CameraClass::StopSpline() {
    if (!IsMode(kCamSpline)) return;
    if (spline_) spline_->Reset();
    ClearMode(kCamSpline);
}

} // namespace vesk

namespace vesk {

std::shared_ptr<CameraClass> InstallSceneCamera(const std::string& name) {
    CameraHooks hooks;
    hooks.paused = [] { return Core && Core->Services().desktop && Core->Services().desktop->Paused(); };
    hooks.runLua = [](const std::string& chunk) {
        if (LuaMachine) LuaMachine->RunString(chunk);
    };
    hooks.sensitivity = [] {
        TVarList* list = FindVarListWith("sensitivity");
        return list ? list->Get("sensitivity").AsSingle() : 0.0f;
    };
    auto camera = std::make_shared<CameraClass>(name, std::move(hooks));
    SetDefaultViewCamera(camera);
    return camera;
}

} // namespace vesk
