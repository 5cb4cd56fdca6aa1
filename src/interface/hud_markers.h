#pragma once
// In-flight object markers and their layers. A marker follows one game object
// on screen: a frame around it while it is in view, a pointer at the screen
// border while it is out of view, the "active" look for the selected object.
// The marker layers make a marker for each object the scripts announce and
// carry out target selection.
#include <cstdint>
#include <string>
#include <vector>

#include "interface/draw_nodes.h"
#include "interface/hud_world.h"

namespace vesk {

class TAHSelector : public TMegaButton {
public:
    enum TState : uint8_t { kFrame = 0, kPointer = 1, kActiveFrame = 2, kActivePointer = 3, kHidden = 4 };
    static constexpr int kCentreX = 511, kCentreY = 383;

    TState State() const { return state_; }
    void SetState(TState state);
    bool Marked() const { return marked_; }
    void SetMarked(bool marked);
    bool Selected() const { return selected_; }
    int DistanceKey() const { return distanceKey_; }
    int ScreenSize() const { return screenSize_; }
    int HalfPointerSize() const { return halfPointer_; }
    int FlashTime() const { return flashTime_; }
    TMegaButton* HelperFrame() const { return helperFrame_.Get(); }
    TMegaButton* ActiveFrame() const { return activeFrame_.Get(); }
    TMegaButton* HelperPointer() const { return helperPointer_.Get(); }
    TMegaButton* ActivePointer() const { return activePointer_.Get(); }
    // Finds the four frames by name among the marker's children.
    virtual void BindFrames();

    void Tick(int ms) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    virtual void BecameSelected() {}
    virtual void LostSelection() {}
    virtual void InView() {}
    virtual void OutOfView() {}
    // The active frame came up: its look starts anew.
    virtual void ActiveFrameShown() {}
    // The marker's own part of the tick; the plain marker runs the selector tick.
    virtual void MarkerTick(int ms) { SelectorTick(ms); }
    // Follows the object: selection, distance, screen place, frame or pointer.
    void SelectorTick(int ms);
    // Half the width of the pointer in use, rounded towards zero.
    void UpdateHalfPointerSize();
    bool FramesBound() const { return framesBound_; }
    // The class word of the marker's property faults.
    virtual const char* FaultWord() const { return "TAHSelector"; }
    // How the markers report a value they could not take: under their class
    // word, and the game goes on.
    auto MarkerFault(const std::string& value) const {
        return [this, &value](const std::string& key) { ReportMildSetFault(FaultWord(), key, value); };
    }

private:
    bool marked_ = false;
    int flashTime_ = 0;
    TObjRef<TMegaButton> helperFrame_, activeFrame_, helperPointer_, activePointer_;
    bool framesBound_ = false;
    TState state_ = kHidden;
    bool selected_ = false;
    int distanceKey_ = 0;
    int screenSize_ = 0;
    int halfPointer_ = 0;
};

class TAHWaypoint : public TAHSelector {
public:
    int FadeDist() const { return fadeDist_; }
    int MinDist() const { return minDist_; }
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    void MarkerTick(int ms) override;
    const char* FaultWord() const override { return "TAHWaypoint"; }

private:
    int fadeDist_ = 0, minDist_ = 0;
};

// The markers whose frame sizes follow the object: rockets, mines and ships.
class TSizedHelper : public TAHSelector {
public:
    int AniTimer() const { return aniTimer_; }
    int MaxDist() const { return maxDist_; }
    int MinRadius() const { return minRadius_; }
    int MaxRadius() const { return maxRadius_; }
    int OutRadius() const { return outRadius_; }
    // The active frame's zoom-in, 0 .. 1 over ANITIMER milliseconds.
    float AnimationFactor() const;
    void RestartAnimation() { animMs_ = 0; }
    void ActiveFrameShown() override { RestartAnimation(); }

    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;

protected:
    // Hidden beyond MAXDIST, nearer than 5, or with a pointer of half a screen.
    bool OutOfReach() const;
    // The helper frame sized between the radii (with OUTRADIUS added for ships)
    // and centred on the marked point; the active frame scaled by its zoom.
    void PlaceFrames(bool shipFrame);
    void AdvanceAnimation(int ms) { animMs_ += ms; }
    // Follows the object, hides it out of reach, sizes and places the frames.
    void SizedTick(int ms, bool shipFrame);

private:
    int aniTimer_ = 0, maxDist_ = 0, minRadius_ = 0, maxRadius_ = 0, outRadius_ = 0;
    int animMs_ = 0;
};

class TRocketHelper : public TSizedHelper {
protected:
    void MarkerTick(int ms) override { SizedTick(ms, false); }
    void InView() override { RestartAnimation(); }
    void BecameSelected() override { RestartAnimation(); }
    const char* FaultWord() const override { return "RocketHelper"; }
};

class TMineHelper : public TRocketHelper {
protected:
    const char* FaultWord() const override { return "MineHelper"; }
};

class TShipHelper : public TSizedHelper {
protected:
    void MarkerTick(int ms) override { SizedTick(ms, true); }
    void BecameSelected() override { RestartAnimation(); }
    const char* FaultWord() const override { return "ShipHelper"; }
};

class TEnemyShipHelper : public TShipHelper {
public:
    bool RocketLockCandidate() const { return candidate_; }

protected:
    void MarkerTick(int ms) override;
    const char* FaultWord() const override { return "EnemyShipHelper"; }

private:
    void ShowChild(const char* name, bool on);
    bool candidate_ = false;
};

// The marker layers and target selection.
class TAHLayer : public TImageNode {
public:
    enum TKind : uint8_t { kWaypoint, kWaypointOnShip, kNeutral, kEnemy, kFriend, kFriendMine, kEnemyRocket };

    // Binds "WaypointAHLayer", "FriendAHLayer" and "EnemyAHLayer" under the desktop.
    void Init(TSimpleNode* desktop);
    // A marker of the kind for the object (its "hex" text); nullptr when the
    // object or the layer is missing.
    TAHSelector* AddHelper(TKind kind, TEngineObject* object);

    void SelectNextEnemy(bool includeOffScreen);
    void SelectNextFriend();
    void SelectNearEnemy();
    void SelectAttackingEnemy();
    void SelectNearestEnemy();
    void SelectCentralEnemy();
    void SelectCentralObject();
    void SelectOmega();
    // By marker name; an empty name clears the selection; an unknown one is fatal.
    void Select(const std::string& name);
    // Selects the object (with the lock sound when it changes); false for none.
    bool SetTarget(TEngineObject* object);

    TMegaButton* Layer(TKind kind) const;
    int EnemyIndex() const { return enemyIndex_; }
    int FriendIndex() const { return friendIndex_; }

private:
    // The shown markers of a layer, nearest first (equal keys in layer order).
    void Collect(TMegaButton* layer, bool includeOffScreen, std::vector<TAHSelector*>& list);
    TAHSelector* Central(const std::vector<TAHSelector*>& list);

    TObjRef<TMegaButton> waypoints_, friends_, enemies_;
    std::vector<TAHSelector*> enemyList_, friendList_, combined_;
    int enemyIndex_ = 0, friendIndex_ = 0;
};

void RegisterHudMarkerClasses();

} // namespace vesk
