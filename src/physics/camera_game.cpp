#include "physics/camera_game.h"

#include "core/application.h"
#include "core/var_list.h"
#include "physics/cm_tree.h"
#include "render/engine.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cmath>
#include <exception>

namespace vesk {

namespace {

// A model with two cameras (a character's) moves the camera of the viewport
// its unit is drawn in. A viewport whose camera cannot be driven gets a scene
// camera of its own for that.
void AttachModelCamera(TBaseRenderUnit& unit, IModelTree& animation, const std::string& cameraName,
                       const std::string& targetName) {
    auto* tree = dynamic_cast<CMTreeClass*>(&animation);
    TViewportEntry* entry = unit.GetViewport();
    if (!tree || !entry || !Engine) {
        FastLogAddError("CameraAdapterClass: no viewport camera for " + unit.GetInfoStr());
        return;
    }
    auto camera = std::dynamic_pointer_cast<CameraClass>(entry->camera);
    if (!camera) {
        camera = std::make_shared<CameraClass>("viewport");
        Engine->Viewports().SetViewportCamera(unit.GetViewportID(), camera);
    }
    auto* adapter = TEngineObject::New<CameraAdapterClass>();
    adapter->Init(camera, &unit);
    adapter->AttachAnimators(tree, cameraName, targetName);
    FastLogAdd("CameraAdapterClass: " + unit.GetInfoStr() + " is seen through its camera " + cameraName);
}

} // namespace

TGameCamera::~TGameCamera() {
    Free();
}

void TGameCamera::Init() {
    camera_ = InstallSceneCamera("generic");
    // A field of view of 0 (the setting left at its default) would give a
    // projection that divides by zero: the camera then keeps its own.
    float fov = 0.0f;
    if (TVarList* list = FindVarListWith("cam.fov")) fov = list->Get("cam.fov").AsSingle();
    camera_->SetFOV(fov > 0.0f && fov < 180.0f ? fov : camera_->GetFOV());
    SetScriptCamera(this);
    GetRenderWorldLinks().attachCameraAnimators = AttachModelCamera;
}

void TGameCamera::ApplyStartFlags(int flags, int) {
    if ((flags & 1) && camera_) camera_->SetControlEnabled(true);
}

void TGameCamera::Tick(float dt) {
    if (!camera_) return;
    try {
        camera_->Update(dt);
        if (listener_)
            listener_(camera_->GetPosition(), camera_->GetDirection(),
                      Vec3Scale(camera_->GetUpVector(), -1.0f), camera_->GetVelocity());
    } catch (const std::exception&) {
        ErrorReport("TGameCamera.Tick: Camera Update fault", "mhl");
    }
}

void TGameCamera::Free() {
    if (GetScriptCamera() == this) SetScriptCamera(nullptr);
    GetRenderWorldLinks().attachCameraAnimators = nullptr;
    if (!camera_) return;
    if (DefaultViewCamera() == camera_) SetDefaultViewCamera(nullptr);
    camera_->ReleaseComponents();
    camera_.reset();
}

// ---- forwarded operations ------------------------------------------------------------------------

void TGameCamera::CockpitRotateUp(float x) {
    if (camera_) camera_->CockpitRotateUp(x);
}
void TGameCamera::CockpitRotateDown(float x) {
    if (camera_) camera_->CockpitRotateDown(x);
}
void TGameCamera::CockpitRotateLeft(float x) {
    if (camera_) camera_->CockpitRotateLeft(x);
}
void TGameCamera::CockpitRotateRight(float x) {
    if (camera_) camera_->CockpitRotateRight(x);
}
void TGameCamera::CockpitRotateReset() {
    if (camera_) camera_->CockpitRotateReset();
}

void TGameCamera::SetCockpitMode(TBaseRenderUnit* obj, TBaseRenderUnit* baseUnit, float third, float lateral,
                                 float speedFactor) {
    if (camera_) camera_->SetCockpitMode(obj, baseUnit, third, lateral, speedFactor);
}
void TGameCamera::ResetCockpitMode() {
    if (camera_) camera_->ResetCockpitMode();
}
void TGameCamera::Zoom(float delta) {
    if (camera_) camera_->Zoom(delta);
}
void TGameCamera::MouseRotate(float dx, float dy) {
    if (camera_) camera_->MouseInput(dx, dy, 20.0f);
}
void TGameCamera::SetLookFlag(bool first, bool value) {
    if (camera_) camera_->SetLookFlag(first, value);
}
void TGameCamera::SetFOV(float degrees) {
    if (camera_) camera_->SetFOV(degrees);
}
float TGameCamera::GetFOV() const {
    return camera_ ? camera_->GetFOV() : 0.0f;
}
void TGameCamera::SetDistLimits(float minimum, float maximum) {
    if (camera_) camera_->SetDistLimits(minimum, maximum);
}

void TGameCamera::LookAtObject(TBaseRenderUnit* obj, float factor, float) {
    if (!camera_ || !obj) return;
    camera_->SetObject(obj);
    camera_->SetLADistByRadius(factor);
    camera_->PlaceOnObject(obj);
}

void TGameCamera::SetDefaultObject(TBaseRenderUnit* obj) {
    SetDistLimits(100.0f, 900.0f);
    LookAtObject(obj, 550.0f, 0.0f);
}

void TGameCamera::StartObjView(TBaseRenderUnit* obj, float fov, float minimum, float maximum) {
    if (camera_) camera_->StartObjView(obj, fov, minimum, maximum);
}
void TGameCamera::StopObjView() {
    if (camera_) camera_->StopObjView();
}
void TGameCamera::SetZoom(float factor) {
    if (camera_) camera_->SetZoom(factor);
}
void TGameCamera::StartAlignToObjOri(const Vec3&) {
    if (camera_) camera_->StartAlignToObjOri();
}
void TGameCamera::SetCamFromHelper(const std::string& name) {
    if (camera_) camera_->SetCamFromHelper(name);
}
void TGameCamera::StartFreeCamera() {
    if (camera_) camera_->StartFreeCamera();
}
void TGameCamera::StopFreeCamera() {
    if (camera_) camera_->StopFreeCamera();
}
void TGameCamera::SetFreeCameraVelocity(const Vec3& v) {
    if (camera_) camera_->SetFreeCameraVelocity(v);
}
void TGameCamera::SetFreeCameraRollSpeed(float s) {
    if (camera_) camera_->SetFreeCameraRollSpeed(s);
}
void TGameCamera::SetPosition(const Vec3& p) {
    if (camera_) camera_->SetPosition(p);
}
Vec3 TGameCamera::GetPosition() {
    return camera_ ? camera_->GetPosition() : Vec3{};
}
void TGameCamera::SetDirection(const Vec3& d) {
    if (camera_) camera_->SetDirection(d);
}
Vec3 TGameCamera::GetDirection() {
    return camera_ ? camera_->GetDirection() : Vec3{1, 0, 0};
}
void TGameCamera::SetUpVector(const Vec3& u) {
    if (camera_) camera_->SetUpVector(u);
}
Vec3 TGameCamera::GetUpVector() {
    return camera_ ? camera_->GetUpVector() : Vec3{0, 0, 1};
}
void TGameCamera::StartSplineMode() {
    if (camera_) camera_->StartSplineMode();
}
void TGameCamera::StartSpline(std::vector<CameraKeyPoint> points, std::function<void()> onDone) {
    if (camera_) camera_->StartSpline(std::move(points), std::move(onDone));
}
void TGameCamera::RunSpline() {
    if (camera_) camera_->RunSpline();
}
void TGameCamera::ResetSpline() {
    if (camera_) camera_->ResetSpline();
}
void TGameCamera::StopSpline() {
    if (camera_) camera_->StopSpline();
}
void TGameCamera::StopCutScene() {
    if (camera_) camera_->StopCutScene();
}
void TGameCamera::StartQuake(bool fade, float time, float amplitude, float frequency) {
    if (camera_) camera_->StartQuake(fade, time, amplitude, frequency);
}

// ---- cut-scene descriptions -----------------------------------------------------------------------

void TGameCamera::StartCutScene(ICutSceneDescription& d, std::function<void()> endEvent) {
    CutSceneParams record;
    const std::string type = d.Text("cinematic_type");
    if (type == "far_near_lock")
        record.flags = kCutTypeFarNearLock;
    else if (type == "middle_look")
        record.flags = kCutTypeMiddleLook;
    else if (type == "move_to_obj")
        record.flags = kCutTypeMoveToObj;
    else if (type == "move_with_obj")
        record.flags = kCutTypeMoveWithObj;
    if (record.flags != 0) {
        if (d.Text("use_ori_inertia") == "true") {
            record.flags |= kCutOriInertia;
            record.inertOri = static_cast<float>(StrToExtDef(d.Text("inert_ori_param"), 0.0));
        }
        if (d.Text("use_pos_inertia") == "true") {
            record.flags |= kCutPosInertia;
            record.inertPos = static_cast<float>(StrToExtDef(d.Text("inert_pos_param"), 0.0));
        }
    }
    const bool lock = type == "far_near_lock", withObj = type == "move_with_obj";
    const bool middle = type == "middle_look";
    if (lock || withObj) {
        record.farBasisAuto = d.Text("far_basis") == "auto";
        record.velocity = d.Number("velocity");
        record.angle = d.Number("far_angle");
        record.farFrom = d.Number("far_from");
        record.farTo = d.Number("far_to");
    }
    if (type == "move_to_obj") record.ori = d.Vector("ori");
    if (!middle) {
        record.nearBasisAuto = d.Text("near_basis") == "auto";
        record.nearFrom = d.Vector("near_from");
        record.nearTo = d.Vector("near_to");
        if (!d.Text("near_from_dist").empty()) record.nearFromDist = d.Number("near_from_dist");
        if (!d.Text("near_to_dist").empty()) record.nearToDist = d.Number("near_to_dist");
    } else {
        record.angle = d.Number("camera_angle");
        const float share = std::fabs(d.Number("screen_percent")) / 100.0f;
        record.screenPercent = share >= 0.5f ? 0.49f : share;
    }
    if (!withObj) {
        const std::string far = d.Text("far_obj");
        if (!far.empty()) record.farObj = d.UnitAt(far);
    }
    std::vector<TBaseRenderUnit*> units;
    for (const std::string& path : d.ListTexts("near_objs"))
        if (TBaseRenderUnit* unit = d.UnitAt(path)) units.push_back(unit);
    record.animationTime = d.Number("animation_time");
    if (camera_) camera_->StartCutScene(std::move(endEvent), units, record);
    if (record.flags == 0) ErrorReport("TGameCamera.StartCutScene : unknown cinematic_type = " + type, "mhl");
}

// ---- the service -------------------------------------------------------------------------------------

TGameCamera* GameCamera() {
    return Core ? dynamic_cast<TGameCamera*>(Core->Services().camera.get()) : nullptr;
}

void InstallGameCamera(CoreServices& services, ListenerPoseSink listener) {
    services.camera = std::make_unique<TGameCamera>(std::move(listener));
}

} // namespace vesk
