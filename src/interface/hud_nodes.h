#pragma once
// The small HUD node classes that show values: the indicator array, the
// two-part bars, the tactic map and its markers, the game timers, the text
// lists, the counter labels, the rocket-lock pointer and the screen noise.
// What they read of the game (the player, its ship, objects' parameters) they
// read through the game-object tree, so they work with whatever the scripts
// have built.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "interface/draw_nodes.h"
#include "interface/hud_world.h"

namespace vesk {

// ---- indicators ---------------------------------------------------------------------
class TIndicator : public TOpacityNode {
public:
    static constexpr int kCount = 35;
    static constexpr int kTestStepMs = 500;
    static const std::array<const char*, kCount> kNames;

    // The type whose node bears the name (reported; 0 when none does).
    int TypeOf(const std::string& name);
    void TurnOn(const std::string& name) { TurnOnType(TypeOf(name)); }
    void TurnOff(const std::string& name) { TurnOffType(TypeOf(name)); }
    void TurnOnType(int type);
    void TurnOffType(int type);
    // Every bound indicator off; the test mode is left as it is.
    void Reset();
    TMegaButton* Lamp(int type) const;
    bool TestMode() const { return testMode_; }
    bool AllOn() const { return allOn_; }
    int ActiveType() const { return active_; }

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    void Init();

    bool testMode_ = false;
    int testIndex_ = 0;
    int previousTest_ = kCount - 1;
    int testTime_ = 0;
    bool allOn_ = false;
    std::array<int32_t, kCount> lamps_{}; // node ids, 0 before INIT
    std::array<int, kCount> autoOff_{};
    std::array<int, kCount> remaining_{};
    int active_ = 0;
};

// ---- bars -------------------------------------------------------------------------------
class TActiveHelperBar : public TMegaButton {
public:
    enum TDirection : uint8_t { kLeftRight, kRightLeft, kUpDown, kDownUp };
    enum TColorSlot : uint8_t { k1Full, k1Half, k1Quarter, k2Full, k2Half, k2Quarter };

    float Value() const { return value_; }
    void SetValue(float v) { value_ = v; }
    TDirection Direction() const { return direction_; }
    uint32_t BarColor(TColorSlot slot) const { return colors_[slot]; }

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    // The value before the layout; the plain bar keeps the one set.
    virtual void UpdateValue() {}

private:
    TDirection direction_ = kLeftRight;
    float value_ = 0.0f;
    int32_t bar1_ = 0, bar2_ = 0; // "Bar_1" and "Bar_2", bound on the first tick
    std::array<uint32_t, 6> colors_{};
    std::array<int32_t, 6> shownLayout_{}; // bars, widths, height and colour band last laid out
    bool coloursChanged_ = true;
};

// A bar bound to one parameter of an object: current over maximum.
class TAHObjParamBar : public TActiveHelperBar {
public:
    const std::string& ParamId() const { return paramId_; }
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    void UpdateValue() override;

private:
    void TryBind();
    std::string paramId_;
    std::string pendingObject_;
};

class TAHObjComplexParamBar : public TAHObjParamBar {};
class TAHSpeed : public TActiveHelperBar {};
class TAHRange : public TActiveHelperBar {};

// ---- the tactic map -----------------------------------------------------------------------
class TMap : public TImageNode {
public:
    // A marker copied from a pattern: bound to an object (a TMapNode showing
    // the object's "list_icon"), or a static button at a place.
    TSimpleNode* AddMarker(const std::string& name, const std::string& pattern, const std::string& objectHex,
                           int left, int top);
    void DelMarker(const std::string& name);
    // The "TacticMap" node shows the image; the offsets, angle (degrees) and
    // scale divisor place the map points.
    void SetMap(const std::string& image, int xOffset, int yOffset, int angleDegrees, int scaleDivisor);
    TIPoint MapPoint(float x, float y) const;
    float ScaleFactor() const { return scale_; }

private:
    int xOffset_ = 90, yOffset_ = 0;
    float angle_ = 0, cos_ = 1, sin_ = 0;
    float scale_ = 0.0014285714f;
};

// A map marker: follows its object's place on the map it belongs to.
class TMapNode : public TMegaButton {
public:
    void Tick(int ms) override;
};

// ---- timers ---------------------------------------------------------------------------------
class TGameTimer : public TLabelNode {
public:
    int TimeMs() const { return time_; }
    bool Countdown() const { return countdown_; }
    // The time becomes seconds x 1000 and the timer shows.
    void SetSeconds(int seconds);
    // Time 0, hidden.
    void StopTimer();
    int Seconds() const { return time_ / 1000; }

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    int time_ = 0;
    bool countdown_ = false;
};

// ---- lists ------------------------------------------------------------------------------------
// Rows of text: ADDLINE appends one, CLEAR empties the list.
class TListNode : public TLabelNode {
public:
    const std::vector<std::string>& Lines() const { return lines_; }
    void SetLines(std::vector<std::string> lines);
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::vector<std::string> lines_;
};

class TEnemyList : public TListNode {};
class TFriendList : public TListNode {};
class TTargetList : public TListNode {};
// The player's open objectives ("player.objectives"), one text a row.
class TMissionList : public TListNode {
public:
    TMissionList() { SetTicked(true); }
    void Tick(int ms) override;

private:
    THudPathRef objectives_{"player.objectives"};
};

// ---- counter labels ----------------------------------------------------------------------
class TFragCounterNode : public TLabelNode {
public:
    TFragCounterNode() { SetTicked(true); }
    void Tick(int ms) override;

private:
    THudPathRef counter_{"player.statistics.destroyedEnemyCounter"};
};

class TDistanceNode : public TLabelNode {
public:
    TDistanceNode() { SetTicked(true); }
    void Tick(int ms) override;
};

class TGamePropertyNode : public TLabelNode {
public:
    enum TVisualMode : uint8_t { kDigit, kPercent };
    TGamePropertyNode() { SetTicked(true); }
    TVisualMode VisualMode() const { return mode_; }
    TGameObjectParam* Param() const;

    void Tick(int ms) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    void LookUp();
    TVisualMode mode_ = kDigit;
    int32_t param_ = 0; // by id: the parameter may go first
    std::string paramId_;
};

class TTargetedCounterNode : public TLabelNode {
public:
    TTargetedCounterNode() { SetTicked(true); }
    void Tick(int ms) override;
};

// ---- the rocket-lock pointer ------------------------------------------------------------------
class TMovingNode : public TEditNode {
public:
    static constexpr float kCentreX = 511, kCentreY = 383;

    TMovingNode();
    // A marker node (its object is the one locked on), or nullptr for the centre.
    void SetTarget(TObjectNode* marker);
    TObjectNode* GetTarget() const;
    void ClearArrived() { arrived_ = false; }
    bool Arrived() const { return arrived_; }
    float X() const { return x_; }
    float Y() const { return y_; }

    void Tick(int ms) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

private:
    void TargetPoint(float& x, float& y) const;
    void PlaceAt(float x, float y);

    bool arrived_ = true;
    int approachDistance_ = 511;
    float x_ = kCentreX, y_ = kCentreY, z_ = 0;
    float speed_ = 10;
    int arrivalDistance_ = 1;
    int32_t target_ = 0;
};

// ---- screen noise ---------------------------------------------------------------------------
class TNoiseGenerator : public TOpacityNode {
public:
    TNoiseGenerator() { SetTicked(true); }
    int NoiseLevel() const { return noiseLevel_; }
    int FrameIndex() const { return frame_; }
    void SetNoiseLevel(int level);
    void Splash(int level, int ms);

    void Tick(int ms) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    int frame_ = 0;
    int basicLevel_ = 5;
    int noiseLevel_ = 5;
    int splashTime_ = 0;
    int splashCountdown_ = 0;
};

void RegisterHudNodeClasses();

} // namespace vesk
