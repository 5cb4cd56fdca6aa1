#pragma once
// The camera's movers: small objects that compute a path and write the
// result back into the camera through ICameraPosition. The cockpit mover
// rides inside a ship, the chase mover follows a ship from behind, the spline
// mover flies through key points at constant arc-length speed, the cut-scene
// mover frames objects for a cinematic shot, and the camera adapter puts the
// camera on two units animated from a model file's camera.
#include "physics/ph_helpers.h"
#include "render/key_animation.h"
#include "shared/engine_object.h"
#include "shared/math.h"
#include "shared/save_data.h"
#include "shared/updater.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;
class CMTreeClass;
class CameraClass;
class SimpleKeyAnimationClass;

// What a mover reads and writes of the camera.
class ICameraPosition {
public:
    virtual Vec3 GetPosition() const = 0;
    virtual Vec3 GetDirection() const = 0;
    virtual Vec3 GetUpVector() const = 0;
    virtual Vec3 GetLookAtPoint() const = 0;
    virtual Vec3 GetVelocity() const = 0;
    virtual void SetPosition(const Vec3& eye) = 0;
    virtual void SetDirection(const Vec3& dir) = 0;
    virtual void SetLookAtPoint(const Vec3& p) = 0;
    virtual void SetUpVector(const Vec3& up) = 0;
    virtual float GetLADist() const = 0;
    virtual float GetFOV() const = 0;

protected:
    ~ICameraPosition() = default;
};

// A render unit held by its engine-object id: a unit that went away reads as
// nullptr instead of a stale pointer.
class UnitRef {
public:
    UnitRef() = default;
    explicit UnitRef(TBaseRenderUnit* unit) { Set(unit); }
    void Set(TBaseRenderUnit* unit);
    void Clear() { id_ = 0; }
    TBaseRenderUnit* Get() const;
    bool Empty() const { return id_ == 0; }

private:
    int32_t id_ = 0;
};

// What the cockpit and chase movers read of a ship: its steering unit's
// basis, position, turn rate, speed and physics record.
struct ShipMotion {
    Vec3 forward{1, 0, 0}, side{0, 1, 0}, up{0, 0, 1};
    Vec3 position{};
    Vec3 turnRate{};
    float speed = 0;
    bool forsage = false;
    float forsageSpeed = 0;
    float speedLimit = 0;  // record word 3
    float maxVelocity = 0; // record word 4
    float maxRotate = 0;   // record word 14
};
// False when the unit is gone or has no steering unit.
bool ReadShipMotion(TBaseRenderUnit* unit, ShipMotion& out);
// Switches the ship's banking on or off; nothing for a unit without one.
void SetShipRollActive(TBaseRenderUnit* unit, bool on);

// ---- cockpit -----------------------------------------------------------------------------------

// The five tuning values the camera creates the cockpit mover with: the
// left, right, up and down turn limits (radians) and the turn speed.
struct CockpitTuning {
    float left, right, up, down, turnSpeed;
};
CockpitTuning DefaultCockpitTuning();

class TCockpitComponent {
public:
    TCockpitComponent(ICameraPosition* camera, const CockpitTuning& tuning);
    void Start(TBaseRenderUnit* ship, TBaseRenderUnit* baseUnit, float third, float lateral,
               float speedFactor);
    void Stop();
    void Step(float seconds);
    // Each amount is clamped into [0, 1].
    void RotateUp(float x);
    void RotateDown(float x);
    void RotateLeft(float x);
    void RotateRight(float x);
    void RotateReset();

    bool IsActive() const { return active_; }
    float Yaw() const { return yaw_; }
    float Pitch() const { return pitch_; }
    float YawTarget() const { return yawTarget_; }
    float PitchTarget() const { return pitchTarget_; }
    float SpeedShare() const { return smoothed_; }
    const CockpitTuning& Tuning() const { return tuning_; }

private:
    void PositionStep(float dt);
    void TurnStep(float dt);

    UnitRef ship_, base_;
    ICameraPosition* camera_;
    bool active_ = false;
    float stepSeconds_ = 0;
    CockpitTuning tuning_;
    float yaw_ = 0, yawTarget_ = 0, pitch_ = 0, pitchTarget_ = 0;
    float third_ = 0, lateral_ = 0, speedFactor_ = 0;
    float smoothed_ = 0;
};

// ---- chase (align to an object) ------------------------------------------------------------------

class TFlyComponent2 {
public:
    explicit TFlyComponent2(ICameraPosition* camera) : camera_(camera) {}
    void Start(TBaseRenderUnit* ship, TBaseRenderUnit* helper, float factor);
    void Stop();
    void Step(float seconds);
    bool IsActive() const { return active_; }
    TBaseRenderUnit* Helper() const { return helper_.Get(); }

private:
    UnitRef ship_, helper_;
    ICameraPosition* camera_;
    bool active_ = false;
    float stepSeconds_ = 0;
    float factor_ = 0;
    float c1_ = 0, c2_ = 0;
};

// ---- spline path ---------------------------------------------------------------------------------

// One key point of a camera flight.
struct CameraKeyPoint {
    Vec3 position{};
    Vec3 direction{1, 0, 0};
    Vec3 up{0, 0, 1}; // a zero up vector counts as (0, 0, 1)
    float time = 0;   // seconds to reach the next point
    float speed = 0;
    bool spline = false;   // a Hermite curve to the next point
    bool useSpeed = false; // the time comes from the speed
    TBaseRenderUnit* target = nullptr;
};

// Segment flags.
inline constexpr uint64_t kSegHermite = 1;
inline constexpr uint64_t kSegChord = 2;
inline constexpr uint64_t kSegNoLength = 4;
inline constexpr uint64_t kSegNoTime = 8;
inline constexpr uint64_t kSegLookAtTarget = 16;
inline constexpr uint64_t kSegTurnDirection = 32;
inline constexpr uint64_t kSegTurnUp = 64;
inline constexpr uint64_t kSegTimeFromSpeed = 128;

struct CameraSegment {
    Vec3 position{};
    Vec3 chord{};
    Quat direction{};
    Quat up{};
    float time = 0;
    float speed = 0;
    float length = 0;
    float angle = 0;
    uint64_t flags = 0;
    UnitRef target;
};

// Samples of one Hermite segment with their running arc length, so that a
// distance along the curve maps to a point at constant speed.
class TSpline {
public:
    static constexpr int kSamples = 100;
    void Build(const CameraSegment& a, const CameraSegment& b);
    // The last sample past the end of the curve.
    Vec3 Evaluate(float distance);
    static float Length(const CameraSegment& a, const CameraSegment& b);
    float BuiltLength() const { return samples_[kSamples - 1].cumulative; }

private:
    struct Sample {
        Vec3 position{}, step{};
        float cumulative = 0;
    };
    std::array<Sample, kSamples> samples_{};
    int last_ = 0;
};

struct TSplineVelocityComponent {
    float speed = 0;
    // length / time; 0 for a segment without time.
    void Set(float length, float time) { speed = time != 0.0f ? length / time : 0.0f; }
};

class TSplineMoveComponent {
public:
    explicit TSplineMoveComponent(ICameraPosition* camera);
    ~TSplineMoveComponent();
    TSplineMoveComponent(const TSplineMoveComponent&) = delete;
    TSplineMoveComponent& operator=(const TSplineMoveComponent&) = delete;
    // Builds the segments and leaves the mover stopped on the first point;
    // the callback runs once when the last segment is done.
    void SetPoints(std::vector<CameraKeyPoint> points, std::function<void()> callback);
    void Tick(float seconds);
    void Reset();
    void SetStopped(bool stopped) { stopped_ = stopped; }
    bool IsStopped() const { return stopped_; }
    int SegmentIndex() const { return index_; }
    const std::vector<CameraSegment>& Segments() const { return segments_; }
    float Elapsed() const { return elapsed_; }

private:
    void MoveStep(float d);
    void OrientationStep();
    void EnterSegment();
    void SetLookTarget(TBaseRenderUnit* unit);

    ICameraPosition* camera_;
    float elapsed_ = 0, distance_ = 0;
    bool stopped_ = true;
    int index_ = 0;
    std::vector<CameraSegment> segments_;
    std::function<void()> callback_;
    TSplineVelocityComponent velocity_;
    TSpline spline_;
    // The look-at target; a target that went away keeps its last place.
    TPhDynamicTargetObj* lookTarget_;
};

// ---- cut scene -----------------------------------------------------------------------------------

// Cut-scene mode flags.
inline constexpr uint64_t kCutMoveToObjLook = 2;
inline constexpr uint64_t kCutMoveToObj = 4;
inline constexpr uint64_t kCutFarNearLock = 8;
inline constexpr uint64_t kCutMiddleLook = 16;
inline constexpr uint64_t kCutOriInertia = 32;
inline constexpr uint64_t kCutPosInertia = 256;
inline constexpr uint64_t kCutMoveWithObj = 128;
inline constexpr uint64_t kCutTypeFarNearLock = 72;
inline constexpr uint64_t kCutTypeMiddleLook = 80;
inline constexpr uint64_t kCutTypeMoveToObj = 6;
inline constexpr uint64_t kCutTypeMoveWithObj = 128;

// The cut-scene parameter record the game camera builds from a description.
struct CutSceneParams {
    TBaseRenderUnit* farObj = nullptr;
    Vec3 nearFrom{}, nearTo{};
    float nearFromDist = 1.0f, nearToDist = 1.0f;
    float farFrom = 0, farTo = 0;
    Vec3 ori{};
    float angle = 0; // degrees
    float animationTime = 0;
    float velocity = 0;
    float screenPercent = 0;
    float inertOri = 0, inertPos = 0;
    bool nearBasisAuto = false, farBasisAuto = false;
    uint64_t flags = 0;
};

class TCutSceneComponent {
public:
    explicit TCutSceneComponent(ICameraPosition* camera);
    ~TCutSceneComponent();
    TCutSceneComponent(const TCutSceneComponent&) = delete;
    TCutSceneComponent& operator=(const TCutSceneComponent&) = delete;

    void SetCutSceneParams(std::function<void()> endEvent, const std::vector<TBaseRenderUnit*>& units,
                           const CutSceneParams& params);
    void Step(float seconds);
    void Stop();
    bool IsRunning() const { return running_; }
    uint64_t Mode() const { return mode_; }
    float ScreenShare() const { return screenShare_; }
    const Matrix& Orientation() const { return orientation_.GetMatrix(); }
    Vec3 StartOffset() const { return startOffset_; }
    Vec3 EndOffset() const { return endOffset_; }

private:
    Vec3 EvalNear(float dt);
    Vec3 EvalFar(float dt);

    TPhMovePoint* near_ = nullptr;
    TPhMovePoint* far_ = nullptr;
    Vec3 startOffset_{}, endOffset_{}, farStartOffset_{}, farMove_{};
    MatrixClass orientation_;
    TPhTimer timer_;
    TInertVector inertia_;
    float screenShare_ = 0;
    uint64_t mode_ = 0;
    ICameraPosition* camera_;
    std::function<void()> endEvent_;
    float currentSpeed_ = 0, inertPos_ = 0, inertRate_ = 0;
    bool firstEval_ = true;
    bool running_ = false, done_ = false;
};

// ---- camera adapter --------------------------------------------------------------------------------

// Puts the camera on two child units of a carrier that a model file's camera
// animates: the camera unit gives the eye, the target unit the look-at point.
// It goes away with its carrier.
class CameraAdapterClass : public TEngineObject, public IUpdatableInterface {
public:
    CameraAdapterClass() = default;
    void Init(const std::shared_ptr<CameraClass>& camera, TBaseRenderUnit* carrier);
    void AttachAnimators(CMTreeClass* tree, const std::string& cameraName, const std::string& targetName);
    void UpdateTick(float stepMs) override;
    void UpdateEndTick() override {}
    void Message(IEngineObject* sender, int msg, int param) override;
    std::string ClassName() const override { return "CameraAdapterClass"; }

    TBaseRenderUnit* CameraUnit() const { return cameraUnit_.Get(); }
    TBaseRenderUnit* TargetUnit() const { return targetUnit_.Get(); }

private:
    bool Attach(CMTreeClass* tree, const std::string& name, TBaseRenderUnit* unit, bool takeFov);

    std::weak_ptr<CameraClass> camera_;
    UnitRef cameraUnit_, targetUnit_;
    // Compared with the sender of the end message only, never followed.
    const TEngineObject* carrier_ = nullptr;
};

} // namespace vesk
