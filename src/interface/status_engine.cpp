#include "interface/status_engine.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>

#include "game/game_lua.h"
#include "game/game_object.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "interface/desktop.h"
#include "interface/gun_controller.h"
#include "interface/hud_nodes.h"
#include "interface/interface_tools.h"
#include "interface/video_node.h"
#include "physics/ai_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "sound/sound_script.h"

namespace vesk {

namespace {

// The lamps of the indicator array this panel drives.
enum : int {
    kShieldOff = 1,
    kShieldOffPermanent = 2,
    kShieldDismount = 3,
    kArmorOff = 4,
    kArmorOffPermanent = 5,
    kArmorDismount = 6,
    kFire = 7,
    kDefendMode = 11,
    kAttackMode = 12,
    kImpact = 19,
    kMissileApproach = 20,
    kMineField = 22,
    kCriticalDamage = 23,
    kRepair = 24,
    kFreez = 25,
    kOnAim = 27,
    kOnGunning = 28
};

int Round(float v) {
    return static_cast<int>(std::lround(v));
}

void SetText(TMegaButton* n, const std::string& text) {
    if (n && n->Text() != text) n->SetText(text);
}

void SetShown(TSensNode* n, bool on) {
    if (n && n->Visible() != on) n->SetVisible(on);
}

void SetOpacityPercent(TMegaButton* n, int percent) {
    if (n) n->SetOpacity(static_cast<float>(percent) / 100.0f);
}

// A parameter's current and maximum value (0 and 0 without it).
struct Layer {
    float value = 0, max = 0;
};
Layer LayerOf(TEngineObject* o, const char* name) {
    TGameObjectParam* p = HudParam(o, name);
    if (!p || !p->Cur() || !p->Max()) return {};
    return {p->Cur()->GetValue(), p->Max()->GetValue()};
}

void PlaySound(const char* event) {
    TiTools::RunLua(std::string("play_ex(i_sound.") + event + ")");
}

} // namespace

// ---- binding ----------------------------------------------------------------------------

namespace {

// A control of the listed class: found by path through the desktop, or
// searched under a panel (nothing without the panel). A missing one is
// reported by the lookup, one of another class here; both are left empty.
template <class T> T* Checked(TSimpleNode* n, const char* name) {
    if (!n) return nullptr;
    T* t = dynamic_cast<T*>(n);
    if (!t) InterfaceFault(std::string("TStatusEngine.Bind fault: ") + name + " is a " + n->ClassName(), 1);
    return t;
}

template <class T = TMegaButton> T* ByPath(TDeskTop* desktop, const char* name) {
    int status = 0;
    return Checked<T>(desktop ? desktop->GetChildNode(name, status, true) : nullptr, name);
}

template <class T = TMegaButton> T* InPanel(TSimpleNode* panel, const char* name) {
    int status = 0;
    return Checked<T>(panel ? panel->ChildByName(name, status, false, true) : nullptr, name);
}

} // namespace

void TStatusEngine::Bind() {
    TDeskTop* d = desktop_;
    deflection_ = ByPath(d, "Deflection");
    rocketLockPointer_ = ByPath<TMovingNode>(d, "RocketLockAnimPointer");
    barEnergy_ = ByPath(d, "bar_Energy");
    panelEnergy_ = ByPath(d, "panel_Energy");
    maxEnergy_ = ByPath(d, "MaxEnergy");
    powerValue_ = InPanel(d, "P_PowerValue");
    overheat_ = InPanel(d, "Overheat");
    barSpeed_ = ByPath(d, "bar_Speed");
    pointSpeed_ = ByPath(d, "point_Speed");
    maxSpeed_ = ByPath(d, "MaxSpeed");
    minSpeed_ = ByPath(d, "MinSpeed");
    speedValue_ = ByPath(d, "P_SpeedValue");
    matchIcon_ = ByPath(d, "MachSpeedIcon");
    forsage_ = InPanel(d, "ForsageTransporant");
    pointMaxSpeed_ = ByPath(d, "point_MaxSpeed");
    curMaxSpeed_ = ByPath(d, "cur_MaxSpeed");
    parametersPanel_ = ByPath(d, "ParametersPanel");
    TMegaButton* params = parametersPanel_.Get();
    backIcon_ = InPanel(params, "p_back_icon");
    spIcon_ = InPanel(params, "sp_icon");
    apIcon_ = InPanel(params, "ap_icon");
    dpIcon_ = InPanel(params, "dp_icon");
    spLabel_ = InPanel(params, "sp_label");
    apLabel_ = InPanel(params, "ap_label");
    dpLabel_ = InPanel(params, "dp_label");
    spBar_ = InPanel<TActiveHelperBar>(params, "sp_bar");
    apBar_ = InPanel<TActiveHelperBar>(params, "ap_bar");
    dpBar_ = InPanel<TActiveHelperBar>(params, "dp_bar");
    criticalValue_ = ByPath(d, "itCriticalDamageValue");
    targetPanel_ = ByPath(d, "TargetPanel");
    TMegaButton* target = targetPanel_.Get();
    targetViewport_ = InPanel<TViewportNode>(target, "TargetViewport");
    enemyShipInfo_ = InPanel(target, "EnemyShipInfo");
    targetAnimation_ = InPanel(target, "TargetAnimationPanel");
    shipName_ = InPanel(target, "ShipName");
    targetSpeed_ = InPanel(target, "SpeedValue");
    targetRange_ = InPanel(target, "RangeValue");
    killMessage_ = InPanel(target, "KillMessage");
    targetDurability_ = InPanel<TAHObjParamBar>(target, "TargetDurabilityBar");
    targetArmor_ = InPanel<TAHObjParamBar>(target, "TargetArmorBar");
    targetShield_ = InPanel<TAHObjParamBar>(target, "TargetShieldBar");

    for (auto* b : {spBar_.Get(), apBar_.Get(), dpBar_.Get()})
        if (b) b->SetValue(1.0f);
    lastShield_ = lastArmor_ = lastDurability_ = 0;
    hitCountdown_ = 0;
    SetOpacityPercent(backIcon_.Get(), 70);
    lastSelected_ = nullptr;
}

TSimpleNode* TStatusEngine::Panel() const {
    return targetAnimation_.Get();
}

// ---- the frame --------------------------------------------------------------------------

void TStatusEngine::Tick(float ms) {
    frameMs_ = ms;
    if (hitCountdown_ > 0) {
        hitCountdown_ -= ms;
        if (hitCountdown_ <= 0) EndHitFlash();
    }
    TEngineObject* ship = HudPlayerShip();
    if (ship) {
        shieldHit_ = LayerOf(ship, "shield").value < lastShield_;
        armorHit_ = LayerOf(ship, "armor").value < lastArmor_;
        durabilityHit_ = LayerOf(ship, "durability").value < lastDurability_;
        if (shieldHit_) FlashShieldIcon();
        if (armorHit_) FlashArmorIcon();
        if (durabilityHit_) FlashDurabilityIcon();
        if (shieldHit_ || armorHit_ || durabilityHit_) StartHitFlash();
        UpdateShipInfo();
    }
    TEngineObject* selected = HudSelected();
    auto* scene = dynamic_cast<TBaseGameSceneObject*>(selected);
    if (scene && scene->SOClass() && scene->SOClass()->GetValue() == kSOClassShip) {
        try {
            UpdateEnemyShipInfo();
        } catch (const std::exception& e) {
            ErrorReport(std::string("TStatusEngine.UpdateEnemyShipInfo: ") + e.what(), "m");
        }
    } else {
        HideEnemyShipInfo();
    }
}

void TStatusEngine::Lamp(int type, bool on) {
    TIndicator* lamps = desktop_ ? desktop_->Indicators() : nullptr;
    if (!lamps) return;
    if (on)
        lamps->TurnOnType(type);
    else
        lamps->TurnOffType(type);
}

void TStatusEngine::IconOpacity(const TObjRef<TMegaButton>& icon, int percent) {
    SetOpacityPercent(icon.Get(), percent);
}

void TStatusEngine::StartHitFlash() {
    hitCountdown_ = kHitFlashMs;
    SetOpacityPercent(backIcon_.Get(), 100);
}

void TStatusEngine::EndHitFlash() {
    hitCountdown_ = 0;
    shieldHit_ = armorHit_ = durabilityHit_ = false;
    SetOpacityPercent(backIcon_.Get(), 70);
}

void TStatusEngine::UpdateShipInfo() {
    TEngineObject* ship = HudPlayerShip();
    if (!ship) return;
    const Layer s = LayerOf(ship, "shield"), a = LayerOf(ship, "armor"), d = LayerOf(ship, "durability");
    lastShield_ = std::max(s.value, 0.0f);
    lastArmor_ = std::max(a.value, 0.0f);
    lastDurability_ = std::max(d.value, 0.0f);

    // The bars and the shield and armour lamps.
    if (TActiveHelperBar* b = dpBar_.Get()) b->SetValue(d.max != 0 ? d.value / d.max : 0.0f);
    // A layer the ship does not carry shows its lamp and an empty bar; one that
    // runs low lights its warning once and keeps its "low" lamp while low.
    auto layerLamps = [this](TActiveHelperBar* b, const Layer& l, int dismount, int lowLamp, int dropLamp,
                             bool (*low)(float)) {
        if (!b) return;
        if (l.max < 1) {
            Lamp(dismount, true);
            Lamp(lowLamp, false);
            b->SetValue(0);
            return;
        }
        Lamp(dismount, false);
        const float r = l.value / l.max;
        if (low(r) && !low(b->Value())) Lamp(dropLamp, true);
        Lamp(lowLamp, low(r));
        b->SetValue(r);
    };
    layerLamps(spBar_.Get(), s, kShieldDismount, kShieldOffPermanent, kShieldOff,
               [](float r) { return r < 0.1f; });
    layerLamps(apBar_.Get(), a, kArmorDismount, kArmorOffPermanent, kArmorOff,
               [](float r) { return r == 0; });
    const float total = s.max + a.max + d.max;
    float c = total != 0 ? (s.value + a.value + d.value) / total : 1.0f;
    if (c < 0 || c > 1) c = 1;
    SetCriticalDamage(d.value < 30);

    // The icons show how much of each layer is left, unless it was just hit.
    auto icon = [](TMegaButton* n, bool hit, const Layer& l, float k) {
        if (n && !hit)
            SetOpacityPercent(n, Round(100.0f * (0.05f + k * (l.max != 0 ? l.value / l.max : 0.0f))));
    };
    icon(spIcon_.Get(), shieldHit_, s, 0.75f);
    icon(apIcon_.Get(), armorHit_, a, 0.95f);
    icon(dpIcon_.Get(), durabilityHit_, d, 0.95f);
    SetText(spLabel_.Get(), std::to_string(Round(s.value)));
    SetText(apLabel_.Get(), std::to_string(Round(a.value)));
    SetText(dpLabel_.Get(), std::to_string(Round(d.value)));
    SetText(criticalValue_.Get(), std::to_string(Round(100.0f * c)) + "%");

    UpdateSpeed(ship);

    // Energy.
    SetShown(overheat_.Get(), HudValue(ship, "overheat") == 1.0f);
    const Layer e = LayerOf(ship, "power");
    const float ef = e.max != 0 ? e.value / e.max : 0.0f;
    if (TMegaButton* b = barEnergy_.Get())
        b->SetProperty("IMAGECLIPTOP", std::to_string(Round((1 - ef) * b->Height())));
    if (TMegaButton* v = powerValue_.Get()) {
        SetText(v, std::to_string(Round(e.value)));
        PlaceOnGauge(v, ef);
    }
    SetText(maxEnergy_.Get(), std::to_string(Round(e.max)));

    UpdateWarnings(ship);
    UpdateRegime(ship);
}

void TStatusEngine::PlaceOnGauge(TMegaButton* node, float f) {
    TMegaButton* gauge = barEnergy_.Get();
    if (!node || !gauge) return;
    const float h = static_cast<float>(gauge->Height()), w = static_cast<float>(gauge->Width());
    node->SetTop(Round((1 - f) * h));
    node->SetLeft(Round(80.0f * (1 - f) * (1 - f) + w - 155.0f));
}

namespace {
// The radial-blur power of the post-process. The chunk is the same every
// frame, so it is compiled once, and the power reaches the script as its
// exact value, the number the decimal text of it reads as. A power that is
// not a number goes as the text it always made.
void SetRadialBlur(float power) {
    if (std::isfinite(power))
        TiTools::RunLua("SetPPParam(\"radian_blur\",\"radian_blur_power\",...)",
                        {static_cast<double>(power)});
    else
        TiTools::RunLua("SetPPParam(\"radian_blur\",\"radian_blur_power\"," + FloatToStrRaw(power) + ")");
}
} // namespace

void TStatusEngine::UpdateSpeed(TEngineObject* ship) {
    BaseAIUnitClass* ai = HudShipAI(ship);
    if (!ai) return;
    const float speed = ai->GetSpeed();
    const float maxVelocity = ai->GetPhysicParams()->maxVelocity;
    SetText(speedValue_.Get(), std::to_string(Round(speed)));
    TMegaButton* bar = barSpeed_.Get();
    const float extent = bar ? static_cast<float>(bar->Height()) : 0.0f;
    if (TMegaButton* p = pointSpeed_.Get()) {
        // The set speed as a share of the top speed, so that the pointer stays
        // on the gauge whatever the ship's top speed is.
        const float shown = ShipController ? ShipController->DisplayedSpeed() : 0.0f;
        const float k = maxVelocity > 0 ? std::clamp(shown / maxVelocity, 0.0f, 1.0f) : 0.0f;
        p->SetTop(Round((1 - k) * extent));
        p->SetHeight(4);
    }
    const float x = maxVelocity > 0 ? std::min(speed / maxVelocity, 1.0f) : 0.0f;
    SetRadialBlur(5.0f * x);
    if (bar) bar->SetProperty("IMAGECLIPTOP", std::to_string(Round((1 - x) * extent)));
    SetText(maxSpeed_.Get(), std::to_string(Round(maxVelocity)));
    // The speed limit the engines allow (per cent) and the lower speed.
    auto* engine =
        CachedDynamicCast<TGameObjectParam>(engineParam_.Find(CachedDynamicCast<TBaseGameObject>(ship)));
    const float p = engine ? HudChildValue(engineCur_.Find(engine), 100.0f) : 100.0f;
    if (TMegaButton* n = curMaxSpeed_.Get()) {
        SetText(n, std::to_string(Round(maxVelocity * p / 100.0f)));
        PlaceOnGauge(n, p / 100.0f);
    }
    const float q =
        maxVelocity > 0 ? 100.0f * HudChildValue(minSpeedValue_.Find(HudPlayer())) / maxVelocity : 0.0f;
    if (TMegaButton* n = pointMaxSpeed_.Get()) {
        n->SetTop(Round((1 - q / 100.0f) * extent));
        n->SetHeight(4);
    }
    if (TMegaButton* n = minSpeed_.Get()) {
        SetText(n, std::to_string(Round(maxVelocity * q / 100.0f)));
        PlaceOnGauge(n, q / 100.0f);
    }
    SetShown(forsage_.Get(),
             HudChildValue(forsageValue_.Find(CachedDynamicCast<TBaseGameObject>(ship))) != 0);
}

void TStatusEngine::UpdateWarnings(TEngineObject* ship) {
    SetFire(HudValue(ship, "fire") != 0);
    // A collision the physics reported and nobody acknowledged yet.
    if (HudValue(ship, "collision") != 0) {
        Lamp(kImpact, true);
        if (auto* flag = dynamic_cast<TGameObjectIntParam*>(
                dynamic_cast<TBaseGameObject*>(ship)->FindChild("collision")))
            flag->setValue(0);
        PlaySound("event_collision");
    }
    if (HudValue(ship, "targetedRocket") != 0) {
        Lamp(kMissileApproach, true);
        PlaySound("event_incoming_missile");
        int nearest = INT_MAX;
        for (TEngineObject* rocket : HudLinkedObjects(ship, "targetedRocketList")) {
            int d = 0;
            if (HudSurfaceDistance(rocket, ship, d)) nearest = std::min(nearest, d);
        }
        TiTools::RunLua("showDistanceToRocket(\"" + FloatToStrFixedN(nearest / 1000.0, 2) + "\")");
    } else {
        Lamp(kMissileApproach, false);
    }
    const bool mines = HudValue(ship, "targetedMines") != 0;
    Lamp(kMineField, mines);
    if (mines) PlaySound("event_mine_field");
    Lamp(kRepair, HudValue(ship, "repairedCount") != 0);
    Lamp(kFreez, HudValue(ship, "coolingCount") != 0);
    const bool aimed = !HudLinkedObjects(ship, "targeted").empty();
    Lamp(kOnAim, aimed);
    if (aimed) PlaySound("event_on_aim");
    if (HudValue(HudPlayer(), "targetedBullets") > 0) Lamp(kOnGunning, true);
    // The outermost layer the ship has decides whether its damage is critical.
    Layer outer = LayerOf(ship, "shield");
    if (outer.max <= 0) outer = LayerOf(ship, "armor");
    if (outer.max <= 0) outer = LayerOf(ship, "durability");
    const bool critical = outer.max > 0 && outer.value / outer.max < 0.5f;
    Lamp(kCriticalDamage, critical);
    if (critical) PlaySound("event_critical_damage");
}

void TStatusEngine::UpdateRegime(TEngineObject*) {
    const std::string cls = HudShipRegime();
    if (cls.empty()) return; // no player of the game's own
    if (cls == "TPlayerShipBaseRegime") {
        Lamp(kDefendMode, false);
        Lamp(kAttackMode, false);
    } else if (cls == "TPlayerShipAttackRegime") {
        Lamp(kDefendMode, false);
        Lamp(kAttackMode, true);
    } else if (cls == "TPlayerShipDefenceRegime") {
        Lamp(kDefendMode, true);
        Lamp(kAttackMode, false);
    } else {
        ErrorReport(
            "TStatusEngine.UpdateShipInfo fault: unknow value of Player.getPShipRegime.getRegimeClass",
            "mhl");
    }
}

// ---- the target panel -----------------------------------------------------------------------

void TStatusEngine::UpdateEnemyShipInfo() {
    TEngineObject* t = HudSelected();
    TEngineObject* ship = HudPlayerShip();
    SetShown(enemyShipInfo_.Get(), true);
    if (TMegaButton* a = targetAnimation_.Get()) {
        SetShown(a, false);
        a->SetTicked(false);
    }
    if (!lastSelected_.Is(t)) {
        SetShown(killMessage_.Get(), false);
        lastSelected_ = t;
    }
    // A target destroyed while selected says so on its panel, once.
    if (TMegaButton* k = killMessage_.Get(); k && !k->Visible() && HudValue(t, "isDestroyed") != 0)
        ShowKillMessage(t);
    SetText(shipName_.Get(), HudText(t, "name"));
    if (TAHObjParamBar* b = targetDurability_.Get()) b->SetValue(HudParamFraction(HudParam(t, "durability")));
    if (TAHObjParamBar* b = targetArmor_.Get()) b->SetValue(HudParamFraction(HudParam(t, "armor")));
    if (TAHObjParamBar* b = targetShield_.Get()) b->SetValue(HudParamFraction(HudParam(t, "shield")));
    if (TViewportNode* v = targetViewport_.Get()) {
        v->SetShipView(true);
        SetShown(v, true);
        const std::string model = HudText(t, "spacemodel");
        if (v->Content() != model) v->SetContent(model);
    }
    // A ship whose physics is not built (yet) shows no speed; the game goes on.
    float speed = 0;
    if (BaseAIUnitClass* ai = HudShipAI(t)) speed = ai->GetSpeed();
    SetText(targetSpeed_.Get(), std::to_string(Round(speed)));
    int range = 0;
    HudSurfaceDistance(t, ship, range);
    SetText(targetRange_.Get(), std::to_string(range));
    if (TMegaButton* m = matchIcon_.Get(); m && m->Visible() && HudShipAI(ship) && ShipController)
        ShipController->MatchStep(frameMs_);
    if (TMegaButton* mark = deflection_.Get()) {
        float x = 0, y = 0, depth = 0;
        bool show = HudScreenPoint(t, x, y, depth) && depth >= 0;
        const int ix = Round(x), iy = Round(y);
        // The lead mark needs a moving target within reach, on the screen,
        // that the current weapon points near enough to lead it.
        show = show && range < 5000 && speed != 0 && ix > 0 && ix < 1023 && iy >= 1 && iy < 767 &&
               WeaponAngleTo(t) < kLeadAngle;
        SetShown(mark, show);
        if (show) mark->CenterOn({ix, iy});
    }
}

float TStatusEngine::WeaponAngleTo(TEngineObject* target) const {
    TBaseRenderUnit* aim = HudRenderUnit(target);
    // The selected gun's barrel; the ship itself for a gun without a unit of its own.
    TBaseRenderUnit* barrel = nullptr;
    if (desktop_) {
        TGunController& guns = desktop_->Guns();
        const int g = guns.SelectedGun();
        if (g >= 0 && g < guns.GunCount()) barrel = HudRenderUnit(guns.Gun(g));
    }
    if (!barrel) barrel = HudRenderUnit(HudPlayerShip());
    if (!aim || !barrel) return 180.0f;
    Vec3 axis, from, to;
    MatrixGetAxes(barrel->GetWorldMatrix(), &axis, nullptr, nullptr);
    barrel->GetPosition(from);
    aim->GetPosition(to);
    const Vec3 line = Vec3Sub(to, from);
    const float lengths = Vec3Length(axis) * Vec3Length(line);
    if (lengths <= 0.0f) return 0.0f; // the target at the muzzle
    return RadToDeg(std::acos(std::clamp(Vec3Dot(axis, line) / lengths, -1.0f, 1.0f)));
}

void TStatusEngine::HideEnemyShipInfo() {
    SetShown(enemyShipInfo_.Get(), false);
    if (TMegaButton* a = targetAnimation_.Get()) {
        SetShown(a, true);
        a->SetTicked(true);
    }
    SetShown(targetViewport_.Get(), false);
    SetShown(deflection_.Get(), false);
    if (TMovingNode* p = rocketLockPointer_.Get()) p->SetTarget(nullptr);
}

void TStatusEngine::ShowKillMessage(TEngineObject*) {
    SetShown(killMessage_.Get(), true);
    if (ShipController) ShipController->StopMatching();
}

void TStatusEngine::SetCriticalDamage(bool on) {
    if (on == criticalDamage_) return;
    criticalDamage_ = on;
    std::string value;
    int32_t sound = 0;
    if (GameReadLua("i_sound and i_sound.event_critical_damage", value)) TryParseInt32(value, sound);
    if (on)
        PlayInterfaceSound(sound);
    else
        StopInterfaceSound(sound);
}

void TStatusEngine::SetFire(bool on) {
    if (on == fire_) return;
    fire_ = on;
    if (on) Lamp(kFire, true);
}

void TStatusEngine::ShowMatchMark() {
    SetShown(matchIcon_.Get(), true);
}

void TStatusEngine::HideMatchMark() {
    SetShown(matchIcon_.Get(), false);
}

void TStatusEngine::StartMatchFlash() {
    if (TMegaButton* m = matchIcon_.Get()) m->SetFlash(true);
}

void TStatusEngine::StopMatchFlash() {
    if (TMegaButton* m = matchIcon_.Get()) m->SetFlash(false);
}

} // namespace vesk
