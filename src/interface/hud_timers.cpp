#include "interface/hud_timers.h"

#include <cstdio>
#include <stdexcept>

#include "interface/interface_tools.h"
#include "platform/text.h"

namespace vesk {

namespace {

bool IsTrue(const std::string& v) {
    return v == "1";
}

} // namespace

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
    return SetOwnProperty<TLabelNode>("TGameTimer", key, value, [&](const std::string& k) {
        if (k == "COUNTDOWN")
            countdown_ = IsTrue(value);
        else if (k == "TIMER")
            SetSeconds(PropertyInt(value));
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

} // namespace vesk
