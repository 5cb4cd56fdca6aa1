#include "interface/hud_pointer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "interface/hud_world.h"
#include "platform/text.h"
#include "shared/math.h"

namespace vesk {

TMovingNode::TMovingNode() {
    PlaceAt(kCentreX, kCentreY);
}

void TMovingNode::PlaceAt(float x, float y) {
    x_ = x;
    y_ = y;
    SetLeft(Round(x));
    SetTop(Round(y));
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
    return SetOwnProperty<TEditNode>("TMovingNode", key, value, [&](const std::string& k) {
        if (k == "SPEED")
            speed_ = static_cast<float>(PropertyInt(value));
        else if (k == "MINDIST")
            arrivalDistance_ = PropertyInt(value);
        else if (k == "APPROACHDIST")
            approachDistance_ = PropertyInt(value);
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

} // namespace vesk
