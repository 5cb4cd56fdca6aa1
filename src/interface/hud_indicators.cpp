#include "interface/hud_indicators.h"

#include <algorithm>

#include "interface/interface_tools.h"
#include "platform/text.h"
#include "shared/fast_cast.h"

namespace vesk {

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
    return SetOwnProperty<TOpacityNode>("TIndicator", key, value, [&](const std::string& k) {
        if (k == "ACTIVEINDICATOR")
            active_ = TypeOf(value);
        else if (k == "AUTOOFFTIME")
            autoOff_[size_t(active_)] = PropertyInt(value);
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TIndicator::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "---") {
        value.clear();
        return true;
    }
    return TOpacityNode::GetProperty(key, value);
}

} // namespace vesk
