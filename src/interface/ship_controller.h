#pragma once
// The HUD's throttle for the player's ship: keeps the speed the pilot set,
// switches between minimum, maximum and the set speed, matches the selected
// target's speed on request and turns mouse movement into two steering axes.
#include <cstdint>
#include <memory>

namespace vesk {

class TBaseGameObject;
class BaseAIUnitClass;

// What the controller shows its state on (the status engine's match mark).
class IMatchMark {
public:
    virtual void ShowMatchMark() = 0;
    virtual void HideMatchMark() = 0;
    virtual void StartMatchFlash() = 0;
    virtual void StopMatchFlash() = 0;

protected:
    ~IMatchMark() = default;
};

class TShipController {
public:
    enum TSpeedMode : uint8_t { kMaximum = 0, kMinimum = 1, kNormal = 2 };

    void SetMatchMark(IMatchMark* mark) { mark_ = mark; }

    void SpeedUp();
    void SpeedDown();
    void SpeedMin();
    void SpeedMax();
    void SpeedNorm();
    // Per cent of the top speed; outside 0..100 a fatal report.
    void SetSpeed(int percent);
    // Toggles speed matching (on only with a selected object).
    void MatchSpeed();
    void StopMatching();
    void SetMatchTime(int ms) { matchTime_ = ms; }
    void SetSensitivity(float s) { sensitivity_ = s; }
    void SetInterval(int ms) { interval_ = ms; }

    // One speed-matching step with the frame time (while the match mark shows).
    void MatchStep(float ms);
    // The mouse axes with the frame time, each desktop frame tick.
    void FrameTick(float ms);
    // Raw mouse motion.
    void MouseMoved(int dx, int dy);
    // Hands the two axes to the player's ship as its steering, while the
    // player flies it himself; false when nothing took them. Holding, the
    // ship is told to turn no more (the mouse looks around meanwhile).
    bool Steer(bool hold = false);

    // The speed the status engine shows: the ship's speed value in normal
    // mode, else the set speed.
    float DisplayedSpeed() const;
    float SetSpeedValue() const { return setSpeed_; }
    TSpeedMode Mode() const { return mode_; }
    bool Matching() const { return matching_; }
    int MatchPause() const { return matchPause_; }
    int MatchTime() const { return matchTime_; }
    float Sensitivity() const { return sensitivity_; }
    int Interval() const { return interval_; }
    float AxisH() const { return axisH_; }
    float AxisV() const { return axisV_; }

    // The player ship's speed value: the speed its steering unit flies at
    // (current) and its top speed (maximum); nothing without a ship.
    static BaseAIUnitClass* ShipUnit();
    static float ShipSpeedValue();
    static float ShipMaxSpeed();
    static void SetShipSpeedValue(float v);

private:
    float Step() const { return ShipMaxSpeed() / 20.0f; }
    void Change(float step);

    IMatchMark* mark_ = nullptr;
    int timeAccumulator_ = 0;
    int interval_ = 1;
    float setSpeed_ = 1.0f;
    TSpeedMode mode_ = kNormal;
    float sensitivity_ = 1.5f;
    int mouseV_ = 0, mouseH_ = 0;
    float axisV_ = 0.0f, axisH_ = 0.0f;
    int matchTime_ = 10000;
    bool matching_ = false;
    int matchPause_ = 0;
};

// Made when the interface core starts, freed when it ends.
extern std::unique_ptr<TShipController> ShipController;

} // namespace vesk
