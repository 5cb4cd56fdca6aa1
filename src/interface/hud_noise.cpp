#include "interface/hud_noise.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text.h"

namespace vesk {

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
    return SetOwnProperty<TOpacityNode>("TNoiseGenerator", key, value, [&](const std::string& k) {
        if (k == "BASICNOISELEVEL")
            basicLevel_ = PropertyInt(value);
        else if (k == "NOISELEVEL")
            SetNoiseLevel(PropertyInt(value));
        else if (k == "SPLASHTIME")
            splashTime_ = PropertyInt(value);
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
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

} // namespace vesk
