#include "interface/hud_nodes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "game/game_object.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "interface/interface_tools.h"
#include "platform/text.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"

namespace vesk {

namespace {

bool IsTrue(const std::string& v) {
    return v == "1";
}

} // namespace

// ---- indicators ---------------------------------------------------------------------

const std::array<const char*, TIndicator::kCount> TIndicator::kNames = {
    "itApproach",        "itShieldOff",     "itShieldOffPermanent",
    "itShieldDismount",  "itArmorOff",      "itArmorOffPermanent",
    "itArmorDismount",   "itFire",          "itCriticalDamageValue",
    "itAutopilot",       "itMessage",       "itDefendMode",
    "itAttackMode",      "itHeatMode",      "itFreezeMode",
    "itNormalizeMode",   "itStealthMode",   "itBerserkMode",
    "itIsDetected",      "itImpact",        "itMissileApproach",
    "itMissileDestroy",  "itMineField",     "itCriticalDamage",
    "itRepair",          "itFreez",         "itSafety",
    "itOnAim",           "itOnGunning",     "itNewMission",
    "itMissionComplete", "itMissionFailed", "itProtectWarning",
    "itFormation",       "itCheckFormation"};

TMegaButton* TIndicator::Lamp(int type) const {
    if (type < 0 || type >= kCount || !lamps_[size_t(type)]) return nullptr;
    return FindEngineObjectAs<TMegaButton>(lamps_[size_t(type)]);
}

int TIndicator::TypeOf(const std::string& name) {
    for (int i = 0; i < kCount; ++i)
        if (TMegaButton* lamp = Lamp(i); lamp && lamp->Name() == name) return i;
    InterfaceFault("TIndicator.StrToIndicatorType fault: control - " + Name() + ", value - " + name, 2);
    return 0;
}

void TIndicator::TurnOnType(int type) {
    if (type < 0 || type >= kCount) return;
    if (TMegaButton* lamp = Lamp(type)) lamp->SetVisible(true);
    remaining_[size_t(type)] = autoOff_[size_t(type)];
}

void TIndicator::TurnOffType(int type) {
    if (type < 0 || type >= kCount) return;
    if (TMegaButton* lamp = Lamp(type)) lamp->SetVisible(false);
    remaining_[size_t(type)] = 0;
}

void TIndicator::Reset() {
    allOn_ = false;
    for (int i = 0; i < kCount; ++i)
        if (Lamp(i)) TurnOffType(i);
}

void TIndicator::Init() {
    for (int i = 0; i < kCount; ++i) {
        // "itMissionFailed" may be missing from older layouts.
        const bool optional = std::string(kNames[size_t(i)]) == "itMissionFailed";
        int status = 0;
        TSimpleNode* n = ChildByName(kNames[size_t(i)], status, optional, !optional);
        auto* lamp = dynamic_cast<TMegaButton*>(n);
        lamps_[size_t(i)] = lamp ? lamp->GetId() : 0;
    }
}

void TIndicator::Tick(int ms) {
    TOpacityNode::Tick(ms);
    if (allOn_) return;
    if (testMode_) {
        testTime_ += ms;
        if (testTime_ > kTestStepMs) {
            testTime_ = 0;
            TurnOnType(testIndex_);
            TurnOffType(previousTest_);
            previousTest_ = testIndex_;
            testIndex_ = testIndex_ >= kCount - 1 ? 0 : testIndex_ + 1;
        }
    }
    for (int i = 0; i < kCount; ++i) {
        int& left = remaining_[size_t(i)];
        if (left < 1 || !Lamp(i)) continue;
        left = std::max(left - ms, 0);
        if (left == 0) Lamp(i)->SetVisible(false);
    }
}

void TIndicator::ExeMethod(const std::string& method) {
    const std::string m = platform::UpperCaseCp1251(method);
    if (m == "INIT") {
        Init();
    } else if (m == "TURNON") {
        TurnOnType(active_);
    } else if (m == "TURNOFF") {
        TurnOffType(active_);
    } else if (m == "TURNONALL") {
        allOn_ = true;
        for (int i = 0; i < kCount; ++i) TurnOnType(i);
    } else if (m == "TURNOFFALL") {
        allOn_ = false;
        for (int i = 0; i < kCount; ++i) TurnOffType(i);
    } else if (m == "TESTON") {
        testMode_ = true;
        testIndex_ = 0;
    } else if (m == "TESTOFF") {
        testMode_ = false;
    } else {
        TOpacityNode::ExeMethod(method);
    }
}

bool TIndicator::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "ACTIVEINDICATOR")
            active_ = TypeOf(value);
        else if (k == "AUTOOFFTIME")
            autoOff_[size_t(active_)] = PropertyInt(value);
        else
            return TOpacityNode::SetProperty(key, value);
        return true;
    } catch (const std::logic_error&) {
        ReportSetFault("TIndicator", k, value);
        return false;
    }
}

bool TIndicator::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "---") {
        value.clear();
        return true;
    }
    return TOpacityNode::GetProperty(key, value);
}

// ---- bars -------------------------------------------------------------------------------

namespace {
const char* const kBarColorKeys[6] = {"DCOLOR1_100", "DCOLOR1_50", "DCOLOR1_25",
                                      "DCOLOR2_100", "DCOLOR2_50", "DCOLOR2_25"};
}

void TActiveHelperBar::Tick(int ms) {
    TMegaButton::Tick(ms);
    auto bind = [this](int32_t& id, const char* name) -> TMegaButton* {
        if (auto* b = id ? CachedDynamicCast<TMegaButton>(FindEngineObjectById(id)) : nullptr) return b;
        int status = 0;
        auto* b = dynamic_cast<TMegaButton*>(ChildByName(name, status, true, false));
        id = b ? b->GetId() : 0;
        return b;
    };
    TMegaButton* b1 = bind(bar1_, "Bar_1");
    TMegaButton* b2 = bind(bar2_, "Bar_2");
    UpdateValue();
    // A value outside 0..1 would give a part a negative width.
    const float v = std::clamp(std::isfinite(value_) ? value_ : 0.0f, 0.0f, 1.0f);
    const int w = Width(), h = Height();
    const int w1 = static_cast<int>(std::lround(static_cast<float>(w) * v));
    const int w2 = static_cast<int>(std::lround((1.0f - v) * static_cast<float>(w)));
    const int band = v >= 0.5f ? 0 : v >= 0.25f ? 1 : 2;
    // Most frames the parts stand as they stood: nothing is set again.
    const std::array<int32_t, 6> layout{bar1_, bar2_, w1, w2, h, band};
    auto stands = [h](TMegaButton* b, int left, int width) {
        return !b || (b->Left() == left && b->Top() == 0 && b->Width() == width && b->Height() == h);
    };
    if (layout == shownLayout_ && !coloursChanged_ && stands(b1, 0, w1) && stands(b2, w1, w2)) return;
    shownLayout_ = layout;
    coloursChanged_ = false;
    auto place = [h](TMegaButton* b, int left, int width, uint32_t color) {
        if (!b) return;
        b->SetLeft(left);
        b->SetTop(0);
        b->SetWidth(width);
        b->SetHeight(h);
        b->SetProperty("IMAGEWIDTH", std::to_string(width));
        b->SetProperty("IMAGEHEIGHT", std::to_string(h));
        b->SetProperty("COLOR", ColorText(color));
        b->SetProperty("IMAGECOLOR", ColorText(color));
    };
    place(b1, 0, w1, colors_[size_t(band)]);
    place(b2, w1, w2, colors_[size_t(3 + band)]);
}

void TActiveHelperBar::CopyTo(TSimpleNode* target) {
    TMegaButton::CopyTo(target);
    if (auto* t = dynamic_cast<TActiveHelperBar*>(target)) {
        t->value_ = value_;
        t->direction_ = direction_;
        t->colors_ = colors_;
        t->coloursChanged_ = true;
    }
}

bool TActiveHelperBar::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "BARVALUE") {
            value_ = PropertyFloat(value);
            return true;
        }
        if (k == "BARTYPE") {
            const std::string v = platform::UpperCaseCp1251(value);
            static const char* const kTypes[] = {"LEFTRIGHT", "RIGHTLEFT", "UPDOWN", "DOWNUP"};
            for (int i = 0; i < 4; ++i)
                if (v == kTypes[i]) {
                    direction_ = static_cast<TDirection>(i);
                    return true;
                }
            ErrorReport("TActiveHelperBar.SetProperty fault: property - " + k + ", value - " + value, "m");
            return false;
        }
        for (size_t i = 0; i < 6; ++i)
            if (k == kBarColorKeys[i]) {
                colors_[i] = static_cast<uint32_t>(std::stoul(value, nullptr, 16));
                coloursChanged_ = true;
                return true;
            }
    } catch (const std::logic_error&) {
        ReportSetFault("TActiveHelperBar", k, value);
        return false;
    }
    return TMegaButton::SetProperty(key, value);
}

void TAHObjParamBar::TryBind() {
    if (paramId_.empty() || pendingObject_.empty()) return;
    TEngineObject* object = HudObjectFromHex(pendingObject_, "TAHObjParamBar.SetProperty");
    pendingObject_.clear();
    if (TGameObjectParam* p = HudParam(object, paramId_)) SetObject(p);
}

void TAHObjParamBar::UpdateValue() {
    auto* p = dynamic_cast<TGameObjectParam*>(Object());
    if (!p || !p->Cur() || !p->Max()) return;
    const float max = p->Max()->GetValue();
    SetValue(max != 0.0f ? p->Cur()->GetValue() / max : 0.0f);
}

void TAHObjParamBar::CopyTo(TSimpleNode* target) {
    TActiveHelperBar::CopyTo(target);
    if (auto* t = dynamic_cast<TAHObjParamBar*>(target)) {
        t->paramId_ = paramId_;
        t->pendingObject_ = pendingObject_;
    }
}

bool TAHObjParamBar::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "PARAMID") {
        paramId_ = value;
    } else if (k == "OBJPOINTER") {
        pendingObject_ = value;
    } else {
        return TActiveHelperBar::SetProperty(key, value);
    }
    TryBind();
    return true;
}

// ---- the tactic map -----------------------------------------------------------------------

TSimpleNode* TMap::AddMarker(const std::string& name, const std::string& pattern,
                             const std::string& objectHex, int left, int top) {
    TEngineObject* object = nullptr;
    if (!objectHex.empty()) {
        int32_t id = 0;
        try {
            id = PropertyInt(objectHex);
        } catch (const std::exception&) {
        }
        object = id > 0 ? FindEngineObjectAs<TEngineObject>(id) : nullptr;
        if (!object) {
            InterfaceFault("TMap.AddMarker fault: _object=nil", 2);
            return nullptr;
        }
    }
    TSimpleNode* node = CreateChild(object ? "TMapNode" : "TMegaButton", pattern);
    if (!node) return nullptr;
    node->SetProperty("NAME", name);
    if (object) {
        static_cast<TMapNode*>(node)->SetObject(object);
        std::string icon;
        if (auto* g = dynamic_cast<TBaseGameObject*>(object))
            if (TBaseGameObject* i = g->FindChild("list_icon")) i->stringValue(icon);
        static_cast<TMapNode*>(node)->SetText(icon.empty() ? "???" : icon);
    } else if (auto* r = node->AsRect()) {
        r->SetLeft(left);
        r->SetTop(top);
    }
    return node;
}

void TMap::DelMarker(const std::string& name) {
    if (IndexOfChild(name) >= 0) DeleteChild(name);
}

void TMap::SetMap(const std::string& image, int xOffset, int yOffset, int angleDegrees, int scaleDivisor) {
    int status = 0;
    TSimpleNode* root = this;
    while (root->Parent()) root = root->Parent();
    if (TSimpleNode* map = root->ChildByName("TacticMap", status, false, true))
        map->SetProperty("IMAGE", image);
    xOffset_ = xOffset;
    yOffset_ = yOffset;
    angle_ = static_cast<float>(angleDegrees) * 3.14159265f / 180.0f;
    cos_ = std::cos(angle_);
    sin_ = std::sin(angle_);
    // A divisor of 0 would make every point infinite: the map keeps its scale.
    if (scaleDivisor != 0) scale_ = 1.0f / static_cast<float>(scaleDivisor);
}

TIPoint TMap::MapPoint(float x, float y) const {
    x += static_cast<float>(xOffset_);
    y += static_cast<float>(yOffset_);
    const float rx = x * cos_ + y * sin_, ry = -x * sin_ + y * cos_;
    return {static_cast<int>(std::lround(rx * scale_)), static_cast<int>(std::lround(ry * scale_))};
}

void TMapNode::Tick(int ms) {
    TMegaButton::Tick(ms);
    auto* map = dynamic_cast<TMap*>(Parent());
    TBaseRenderUnit* unit = HudRenderUnit(Object());
    if (!map || !unit) return;
    Vec3 p;
    unit->GetPosition(p);
    CenterOn(map->MapPoint(p.x, p.y));
}

// ---- timers ---------------------------------------------------------------------------------

void TGameTimer::SetSeconds(int seconds) {
    time_ = seconds * 1000;
    SetVisible(true);
}

void TGameTimer::StopTimer() {
    time_ = 0;
    SetVisible(false);
}

void TGameTimer::Tick(int ms) {
    TLabelNode::Tick(ms);
    if (InterfaceTools && InterfaceTools->Desktop() && InterfaceTools->Desktop()->Paused()) return;
    char text[32];
    if (!countdown_) {
        time_ += ms;
        std::snprintf(text, sizeof text, "%d:%02d", time_ / 60000, time_ / 1000 % 60);
        SetText(text);
        return;
    }
    if (time_ <= 0) return;
    time_ -= ms;
    if (time_ <= 0) {
        StopTimer();
        return;
    }
    std::snprintf(text, sizeof text, "%d:%02d:%02d", time_ / 60000, time_ / 1000 % 60, time_ % 1000 / 10);
    SetText(text);
}

void TGameTimer::ExeMethod(const std::string& method) {
    if (platform::UpperCaseCp1251(method) == "STOPTIMER")
        StopTimer();
    else
        TLabelNode::ExeMethod(method);
}

void TGameTimer::CopyTo(TSimpleNode* target) {
    TLabelNode::CopyTo(target);
    if (auto* t = dynamic_cast<TGameTimer*>(target)) t->countdown_ = countdown_;
}

bool TGameTimer::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "COUNTDOWN")
            countdown_ = IsTrue(value);
        else if (k == "TIMER")
            SetSeconds(PropertyInt(value));
        else
            return TLabelNode::SetProperty(key, value);
        return true;
    } catch (const std::logic_error&) {
        ReportSetFault("TGameTimer", k, value);
        return false;
    }
}

// ---- lists ------------------------------------------------------------------------------------

void TListNode::SetLines(std::vector<std::string> lines) {
    if (lines == lines_) return;
    lines_ = std::move(lines);
    std::string text;
    for (const std::string& l : lines_) text += (text.empty() ? "" : "#R") + l;
    SetText(text);
}

void TListNode::ExeMethod(const std::string& method) {
    if (platform::UpperCaseCp1251(method) == "CLEAR")
        SetLines({});
    else
        TLabelNode::ExeMethod(method);
}

void TListNode::CopyTo(TSimpleNode* target) {
    TLabelNode::CopyTo(target);
    if (auto* t = dynamic_cast<TListNode*>(target)) t->SetLines(lines_);
}

bool TListNode::SetProperty(const std::string& key, const std::string& value) {
    if (platform::UpperCaseCp1251(key) != "ADDLINE") return TLabelNode::SetProperty(key, value);
    std::vector<std::string> lines = lines_;
    lines.push_back(value);
    SetLines(std::move(lines));
    return true;
}

bool TListNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) != "LINECOUNT") return TLabelNode::GetProperty(key, value);
    value = std::to_string(lines_.size());
    return true;
}

void TMissionList::Tick(int ms) {
    TListNode::Tick(ms);
    TBaseGameObject* objectives = objectives_.Find(GlobalObjects);
    if (!objectives) return;
    std::vector<std::string> lines;
    int32_t cursor = 0;
    for (TBaseGameObject* o = nullptr; objectives->Next(cursor, o);) {
        std::string text;
        o->stringValue(text);
        lines.push_back(text);
    }
    SetLines(std::move(lines));
}

// ---- counter labels ----------------------------------------------------------------------

void TFragCounterNode::Tick(int ms) {
    TLabelNode::Tick(ms);
    TBaseGameObject* counter = counter_.Find(GlobalObjects);
    int frags = 0;
    if (counter) {
        std::string v;
        counter->stringValue(v);
        frags = std::atoi(v.c_str());
    }
    // Three digits with leading zeros; counts beyond them show their last three.
    const std::string text = std::to_string(1000 + std::clamp(frags, 0, 1000000) % 1000);
    SetText(text.substr(1, 3));
}

void TDistanceNode::Tick(int ms) {
    TLabelNode::Tick(ms);
    if (!Object()) {
        SetText("GameObj=nil");
        return;
    }
    TBaseRenderUnit* unit = HudRenderUnit(Object());
    TBaseRenderUnit* own = HudRenderUnit(HudPlayerShip());
    if (!unit || !own) return;
    SetText(std::to_string(std::max(0, BRUSurfaceDistance(unit, own))));
}

TGameObjectParam* TGamePropertyNode::Param() const {
    return param_ ? FindEngineObjectAs<TGameObjectParam>(param_) : nullptr;
}

void TGamePropertyNode::LookUp() {
    if (paramId_.empty() || !Object()) return;
    TGameObjectParam* p = HudParam(Object(), paramId_);
    param_ = p ? p->GetId() : 0;
}

void TGamePropertyNode::Tick(int ms) {
    TLabelNode::Tick(ms);
    TGameObjectParam* p = Param();
    if (!p || !p->Cur() || !p->Max()) {
        SetText("ParamObj=nil");
        return;
    }
    const float value = p->Cur()->GetValue(), max = p->Max()->GetValue();
    if (mode_ == kDigit)
        SetText(std::to_string(std::lround(std::max(0.0f, value))));
    else
        SetText(std::to_string(max != 0.0f ? std::lround(100.0f * value / max) : 0) + "%");
}

void TGamePropertyNode::CopyTo(TSimpleNode* target) {
    TLabelNode::CopyTo(target);
    if (auto* t = dynamic_cast<TGamePropertyNode*>(target)) {
        t->paramId_ = paramId_;
        t->mode_ = mode_;
    }
}

bool TGamePropertyNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "PARAMID") {
        paramId_ = value;
        LookUp();
        return true;
    }
    if (k == "OBJPOINTER") {
        const bool ok = TLabelNode::SetProperty(key, value);
        LookUp();
        return ok;
    }
    if (k == "VISUALMODE") {
        const std::string v = platform::UpperCaseCp1251(value);
        if (v == "DIGIT" || v == "PERCENT") {
            mode_ = v == "DIGIT" ? kDigit : kPercent;
            return true;
        }
        ReportSetFault("TGamePropertyNode", k, value);
        return false;
    }
    return TLabelNode::SetProperty(key, value);
}

void TTargetedCounterNode::Tick(int ms) {
    TLabelNode::Tick(ms);
    if (!dynamic_cast<TBaseGameObject*>(Object())) return;
    const size_t count = HudLinkedObjects(Object(), "targeted").size();
    SetText(count > 0 ? std::to_string(count) : "");
}

// ---- the rocket-lock pointer ------------------------------------------------------------------

TMovingNode::TMovingNode() {
    PlaceAt(kCentreX, kCentreY);
}

void TMovingNode::PlaceAt(float x, float y) {
    x_ = x;
    y_ = y;
    SetLeft(static_cast<int>(std::lround(x)));
    SetTop(static_cast<int>(std::lround(y)));
}

TObjectNode* TMovingNode::GetTarget() const {
    return target_ ? FindEngineObjectAs<TObjectNode>(target_) : nullptr;
}

void TMovingNode::TargetPoint(float& x, float& y) const {
    if (TObjectNode* t = GetTarget()) {
        x = static_cast<float>(t->Left());
        y = static_cast<float>(t->Top());
    } else {
        x = kCentreX;
        y = kCentreY;
    }
}

void TMovingNode::SetTarget(TObjectNode* marker) {
    const int32_t id = marker ? marker->GetId() : 0;
    if (id == target_) return;
    target_ = id;
    if (marker && Left() == 511 && Top() == 383) {
        // Approach start: the approach distance short of the target, on the line from the centre.
        float tx = 0, ty = 0;
        TargetPoint(tx, ty);
        const float dx = tx - kCentreX, dy = ty - kCentreY;
        const float d = std::sqrt(dx * dx + dy * dy);
        z_ = 0;
        if (d > 0)
            PlaceAt(tx - dx / d * static_cast<float>(approachDistance_),
                    ty - dy / d * static_cast<float>(approachDistance_));
        else
            PlaceAt(kCentreX, kCentreY);
        SetVisible(true);
    }
    if (!Visible()) FadeIn();
}

void TMovingNode::Tick(int ms) {
    float tx = 0, ty = 0;
    TargetPoint(tx, ty);
    if (HudRocketTarget()) {
        PlaceAt(tx, ty);
        return;
    }
    SetText("");
    const float dx = tx - x_, dy = ty - y_;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d > static_cast<float>(arrivalDistance_)) {
        if (!Visible()) SetVisible(true);
        const float speed = (!GetTarget() || arrived_) ? speed_ : 0.2f * speed_;
        const float step = std::min(d, speed * static_cast<float>(ms) / 1000.0f);
        PlaceAt(x_ + dx / d * step, y_ + dy / d * step);
        TEditNode::Tick(ms);
        return;
    }
    if (TObjectNode* t = GetTarget()) {
        TEngineObject* object = t->Object();
        if (object && object != HudRocketTarget()) {
            HudSetRocketTarget(object);
            SetVisible(false);
        }
    } else {
        SetVisible(false);
    }
    arrived_ = true;
}

bool TMovingNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "SPEED")
            speed_ = static_cast<float>(PropertyInt(value));
        else if (k == "MINDIST")
            arrivalDistance_ = PropertyInt(value);
        else if (k == "APPROACHDIST")
            approachDistance_ = PropertyInt(value);
        else
            return TEditNode::SetProperty(key, value);
        return true;
    } catch (const std::logic_error&) {
        ReportSetFault("TMovingNode", k, value);
        return false;
    }
}

// ---- screen noise ---------------------------------------------------------------------------

void TNoiseGenerator::SetNoiseLevel(int level) {
    if (level == noiseLevel_) return;
    noiseLevel_ = level;
    for (int i = 0; i < ChildCount(); ++i)
        if (TOpacityNode* o = ChildAt(i) ? ChildAt(i)->AsOpacity() : nullptr)
            o->SetOpacity(static_cast<float>(level) / 100.0f);
}

void TNoiseGenerator::Splash(int level, int ms) {
    SetNoiseLevel(std::min(100, level));
    splashCountdown_ = ms;
}

void TNoiseGenerator::Tick(int ms) {
    TOpacityNode::Tick(ms);
    if (splashCountdown_ > 0) {
        splashCountdown_ -= ms;
        if (splashCountdown_ < 1) {
            splashCountdown_ = 0;
            SetNoiseLevel(basicLevel_);
        }
    }
    const int n = ChildCount();
    if (n == 0) return;
    frame_ = frame_ + 1 >= n ? 0 : frame_ + 1;
    for (int i = 0; i < n; ++i)
        if (TSensNode* s = ChildAt(i) ? ChildAt(i)->AsSens() : nullptr) s->SetVisible(i == frame_);
    // Showing a frame resets its opacity to full: the shown frame takes the noise level again.
    if (TOpacityNode* shown = ChildAt(frame_) ? ChildAt(frame_)->AsOpacity() : nullptr)
        shown->SetOpacity(static_cast<float>(noiseLevel_) / 100.0f);
}

void TNoiseGenerator::ExeMethod(const std::string& method) {
    if (platform::UpperCaseCp1251(method) == "SPLASH")
        Splash(noiseLevel_, splashTime_);
    else
        TOpacityNode::ExeMethod(method);
}

void TNoiseGenerator::CopyTo(TSimpleNode* target) {
    TOpacityNode::CopyTo(target);
    if (auto* t = dynamic_cast<TNoiseGenerator*>(target)) {
        t->basicLevel_ = basicLevel_;
        t->SetNoiseLevel(noiseLevel_);
        t->splashTime_ = splashTime_;
    }
}

bool TNoiseGenerator::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "BASICNOISELEVEL")
            basicLevel_ = PropertyInt(value);
        else if (k == "NOISELEVEL")
            SetNoiseLevel(PropertyInt(value));
        else if (k == "SPLASHTIME")
            splashTime_ = PropertyInt(value);
        else
            return TOpacityNode::SetProperty(key, value);
        return true;
    } catch (const std::logic_error&) {
        ReportSetFault("TNoiseGenerator", k, value);
        return false;
    }
}

bool TNoiseGenerator::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "BASICNOISELEVEL")
        value = std::to_string(basicLevel_);
    else if (k == "NOISELEVEL")
        value = std::to_string(noiseLevel_);
    else if (k == "SPLASHTIME")
        value = std::to_string(splashTime_);
    else
        return TOpacityNode::GetProperty(key, value);
    return true;
}

void RegisterHudNodeClasses() {
    ClassManager.RegisterClass<TNodeKind, TIndicator>();
    ClassManager.RegisterClass<TNodeKind, TActiveHelperBar>();
    ClassManager.RegisterClass<TNodeKind, TAHObjParamBar>();
    ClassManager.RegisterClass<TNodeKind, TAHObjComplexParamBar>();
    ClassManager.RegisterClass<TNodeKind, TAHSpeed>();
    ClassManager.RegisterClass<TNodeKind, TAHRange>();
    ClassManager.RegisterClass<TNodeKind, TMap>();
    ClassManager.RegisterClass<TNodeKind, TMapNode>();
    ClassManager.RegisterClass<TNodeKind, TGameTimer>();
    ClassManager.RegisterClass<TNodeKind, TListNode>();
    ClassManager.RegisterClass<TNodeKind, TEnemyList>();
    ClassManager.RegisterClass<TNodeKind, TFriendList>();
    ClassManager.RegisterClass<TNodeKind, TTargetList>();
    ClassManager.RegisterClass<TNodeKind, TMissionList>();
    ClassManager.RegisterClass<TNodeKind, TFragCounterNode>();
    ClassManager.RegisterClass<TNodeKind, TDistanceNode>();
    ClassManager.RegisterClass<TNodeKind, TGamePropertyNode>();
    ClassManager.RegisterClass<TNodeKind, TTargetedCounterNode>();
    ClassManager.RegisterClass<TNodeKind, TMovingNode>();
    ClassManager.RegisterClass<TNodeKind, TNoiseGenerator>();
}

} // namespace vesk
