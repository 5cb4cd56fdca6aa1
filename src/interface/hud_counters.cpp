#include "interface/hud_counters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/game_object.h"
#include "game/params.h"
#include "interface/hud_world.h"
#include "platform/text.h"
#include "render/render_unit.h"

namespace vesk {

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
    return SetOwnProperty<TLabelNode>("TGamePropertyNode", key, value, [&](const std::string& k) {
        if (k == "PARAMID") {
            paramId_ = value;
            LookUp();
            return TOwnKey::Set;
        }
        if (k == "OBJPOINTER") {
            const bool ok = TLabelNode::SetProperty(key, value);
            LookUp();
            return ok ? TOwnKey::Set : TOwnKey::Refused;
        }
        if (k == "VISUALMODE") {
            const std::string v = platform::UpperCaseCp1251(value);
            if (v == "DIGIT" || v == "PERCENT") {
                mode_ = v == "DIGIT" ? kDigit : kPercent;
                return TOwnKey::Set;
            }
            ReportSetFault("TGamePropertyNode", k, value);
            return TOwnKey::Refused;
        }
        return TOwnKey::Other;
    });
}

void TTargetedCounterNode::Tick(int ms) {
    TLabelNode::Tick(ms);
    if (!dynamic_cast<TBaseGameObject*>(Object())) return;
    const size_t count = HudLinkedObjects(Object(), "targeted").size();
    SetText(count > 0 ? std::to_string(count) : "");
}

} // namespace vesk
