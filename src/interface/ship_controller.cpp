#include "interface/ship_controller.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "interface/hud_world.h"
#include "physics/ai_unit.h"
#include "physics/player_physic.h"
#include "shared/errors.h"

namespace vesk {

std::unique_ptr<TShipController> ShipController;

namespace {

float MinSpeed() {
    return HudValue(HudPlayer(), "playerShipMinSpeed");
}

} // namespace

BaseAIUnitClass* TShipController::ShipUnit() {
    return HudShipAI(HudPlayerShip());
}

float TShipController::ShipSpeedValue() {
    BaseAIUnitClass* ai = ShipUnit();
    return ai ? ai->GetPhysicParams()->speedLimit : 0.0f;
}

float TShipController::ShipMaxSpeed() {
    BaseAIUnitClass* ai = ShipUnit();
    return ai ? ai->GetPhysicParams()->maxVelocity : 0.0f;
}

void TShipController::SetShipSpeedValue(float v) {
    if (BaseAIUnitClass* ai = ShipUnit()) {
        // The limit is what the player's ship flies at; the steering unit
        // keeps it below the top speed.
        ai->GetPhysicParams()->speedLimit = std::min(v, ai->GetPhysicParams()->maxVelocity);
        ai->SetSpeed(v);
    }
}

void TShipController::Change(float step) {
    matching_ = false;
    matchPause_ = matchTime_;
    const float base = mode_ == kNormal ? ShipSpeedValue() : setSpeed_;
    float v = base + step;
    v = step > 0 ? std::min(v, ShipMaxSpeed()) : std::max(v, MinSpeed());
    if (mode_ == kNormal) SetShipSpeedValue(v);
    setSpeed_ = v;
}

void TShipController::SpeedUp() {
    Change(Step());
}

void TShipController::SpeedDown() {
    Change(-Step());
}

void TShipController::SpeedMin() {
    matchPause_ = matchTime_;
    SetShipSpeedValue(Step());
    mode_ = kMinimum;
}

void TShipController::SpeedMax() {
    matchPause_ = matchTime_;
    SetShipSpeedValue(ShipMaxSpeed());
    mode_ = kMaximum;
}

void TShipController::SpeedNorm() {
    mode_ = kNormal;
    if (matching_)
        matchPause_ = 0;
    else
        SetShipSpeedValue(setSpeed_);
}

void TShipController::SetSpeed(int percent) {
    if (percent < 0 || percent > 100) {
        ErrorReport("TShipController.SetSpeed fault: invalid speed value - " + std::to_string(percent) +
                        ". Valid range is [0..100]",
                    "mhl");
        return;
    }
    setSpeed_ = std::round(ShipMaxSpeed() * static_cast<float>(percent) / 100.0f);
    SetShipSpeedValue(setSpeed_);
}

void TShipController::MatchSpeed() {
    if (matching_) {
        StopMatching();
        return;
    }
    if (!HudSelected()) return;
    matchPause_ = 0;
    matching_ = true;
    if (mark_) mark_->ShowMatchMark();
}

void TShipController::StopMatching() {
    matching_ = false;
    if (mark_) mark_->HideMatchMark();
}

void TShipController::MatchStep(float ms) {
    if (matchPause_ >= 1) {
        matchPause_ -= static_cast<int>(ms);
        if (mark_) mark_->StartMatchFlash();
        return;
    }
    if (mark_) mark_->StopMatchFlash();
    const float target = HudSpeed(HudSelected());
    const float own = HudSpeed(HudPlayerShip());
    if (std::fabs(target - own) < 1.0f) return;
    const float step = own >= target ? -ms / 100.0f : ms / 100.0f;
    const float v = std::clamp(ShipSpeedValue() + step, MinSpeed(), std::max(MinSpeed(), ShipMaxSpeed()));
    SetShipSpeedValue(v);
}

void TShipController::FrameTick(float ms) {
    timeAccumulator_ += static_cast<int>(ms);
    if (timeAccumulator_ <= interval_) return;
    const float elapsed = static_cast<float>(timeAccumulator_);
    axisH_ = std::clamp(static_cast<float>(mouseH_) * sensitivity_ / elapsed, -1.0f, 1.0f);
    axisV_ = std::clamp(static_cast<float>(mouseV_) * sensitivity_ / elapsed, -1.0f, 1.0f);
    timeAccumulator_ = 0;
    mouseH_ = mouseV_ = 0;
}

void TShipController::MouseMoved(int dx, int dy) {
    mouseH_ += dx;
    mouseV_ -= dy;
}

bool TShipController::Steer(bool hold) {
    if (HudValue(HudPlayer(), "selfShipControl") != 1.0f) return false;
    BaseAIUnitClass* ai = ShipUnit();
    IPhPlayerControl* controls = nullptr;
    if (!ai || !ai->GetPlayerPhysicComponent(controls)) return false;
    if (hold)
        controls->SetTurn(0.0f, 0.0f);
    else
        controls->SetTurn(axisH_, axisV_);
    return true;
}

float TShipController::DisplayedSpeed() const {
    return mode_ == kNormal ? ShipSpeedValue() : setSpeed_;
}

} // namespace vesk
