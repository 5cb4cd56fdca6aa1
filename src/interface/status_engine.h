#pragma once
// The in-flight status panels: the shield, armour and hull readouts with their
// hit flash, the curved energy and speed gauges, the radial blur of the
// post-process, the warning lamps with their sounds, the regime lamps and the
// target panel. It keeps no game state: every frame it reads the player, the
// player's ship and the selected target, and writes node properties.
#include <string>

#include "interface/hud_world.h"
#include "interface/ship_controller.h"

namespace vesk {

class TDeskTop;
class TSimpleNode;
class TMegaButton;
class TMovingNode;
class TActiveHelperBar;
class TAHObjParamBar;
class TViewportNode;
class TIndicator;

class TStatusEngine final : public IMatchMark {
public:
    static constexpr float kHitFlashMs = 50.0f;
    // The lead mark shows while the current weapon points within this many degrees of the target.
    static constexpr float kLeadAngle = 50.0f;

    explicit TStatusEngine(TDeskTop* desktop) : desktop_(desktop) {}

    // Binds the panel's controls (a missing one is reported and left empty) and resets the state.
    void Bind();
    void Tick(float ms);
    void UpdateShipInfo();
    void UpdateEnemyShipInfo();
    void HideEnemyShipInfo();
    void ShowKillMessage(TEngineObject* object);
    void SetCriticalDamage(bool on);
    void SetFire(bool on);
    void ShowMatchMark() override;
    void HideMatchMark() override;
    void StartMatchFlash() override;
    void StopMatchFlash() override;
    void FlashShieldIcon() { IconOpacity(spIcon_, 100); }
    void FlashArmorIcon() { IconOpacity(apIcon_, 100); }
    void FlashDurabilityIcon() { IconOpacity(dpIcon_, 100); }
    void StartHitFlash();
    void EndHitFlash();

    // The panel whose ticked flag follows the pause (the target's idle animation).
    TSimpleNode* Panel() const;
    bool CriticalDamage() const { return criticalDamage_; }
    bool Fire() const { return fire_; }
    float HitFlashCountdown() const { return hitCountdown_; }
    TEngineObject* LastSelected() const { return lastSelected_.Get(); }

private:
    void IconOpacity(const TObjRef<TMegaButton>& icon, int percent);
    void Lamp(int type, bool on);
    // A readout riding on the curved gauge at fraction f.
    void PlaceOnGauge(TMegaButton* node, float f);
    void UpdateSpeed(TEngineObject* ship);
    void UpdateWarnings(TEngineObject* ship);
    void UpdateRegime(TEngineObject* ship);
    // The current weapon's value for a target: the angle in degrees between
    // its barrel's axis and the line to the target (180 without either unit).
    float WeaponAngleTo(TEngineObject* target) const;

    TDeskTop* desktop_;
    bool fire_ = false;
    bool criticalDamage_ = false;
    TObjRef<TMegaButton> killMessage_;
    TObjRef<TEngineObject> lastSelected_;
    TObjRef<TAHObjParamBar> targetDurability_, targetArmor_, targetShield_;
    float frameMs_ = 0.0f;
    TObjRef<TMegaButton> deflection_;
    TObjRef<TMovingNode> rocketLockPointer_;
    TObjRef<TMegaButton> barEnergy_, panelEnergy_, maxEnergy_, powerValue_, overheat_;
    TObjRef<TMegaButton> barSpeed_, pointSpeed_, maxSpeed_, minSpeed_, speedValue_, matchIcon_, forsage_;
    TObjRef<TMegaButton> pointMaxSpeed_, curMaxSpeed_, parametersPanel_;
    TObjRef<TMegaButton> backIcon_, spIcon_, apIcon_, dpIcon_, spLabel_, apLabel_, dpLabel_;
    TObjRef<TActiveHelperBar> spBar_, apBar_, dpBar_;
    TObjRef<TMegaButton> criticalValue_, targetPanel_;
    TObjRef<TViewportNode> targetViewport_;
    TObjRef<TMegaButton> enemyShipInfo_, targetAnimation_, shipName_, targetSpeed_, targetRange_;
    float lastShield_ = 0, lastArmor_ = 0, lastDurability_ = 0;
    float hitCountdown_ = 0;
    bool shieldHit_ = false, armorHit_ = false, durabilityHit_ = false;
    // What UpdateSpeed reads every frame, its names kept.
    THudPathRef engineParam_{"param.p_engine"}, engineCur_{"cur"};
    THudPathRef minSpeedValue_{"playerShipMinSpeed"}, forsageValue_{"isForsage"};
};

} // namespace vesk
