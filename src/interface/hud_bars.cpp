#include "interface/hud_bars.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "game/params.h"
#include "interface/hud_world.h"
#include "platform/text.h"
#include "shared/fast_cast.h"
#include "shared/math.h"

namespace vesk {

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
    const int w1 = Round(static_cast<float>(w) * v);
    const int w2 = Round((1.0f - v) * static_cast<float>(w));
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
    return SetOwnProperty<TMegaButton>("TActiveHelperBar", key, value, [&](const std::string& k) {
        if (k == "BARVALUE") {
            value_ = PropertyFloat(value);
            return TOwnKey::Set;
        }
        if (k == "BARTYPE") {
            const std::string v = platform::UpperCaseCp1251(value);
            static const char* const kTypes[] = {"LEFTRIGHT", "RIGHTLEFT", "UPDOWN", "DOWNUP"};
            for (int i = 0; i < 4; ++i)
                if (v == kTypes[i]) {
                    direction_ = static_cast<TDirection>(i);
                    return TOwnKey::Set;
                }
            ReportMildSetFault("TActiveHelperBar", k, value);
            return TOwnKey::Refused;
        }
        for (size_t i = 0; i < 6; ++i)
            if (k == kBarColorKeys[i]) {
                colors_[i] = static_cast<uint32_t>(std::stoul(value, nullptr, 16));
                coloursChanged_ = true;
                return TOwnKey::Set;
            }
        return TOwnKey::Other;
    });
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
    return SetOwnProperty<TActiveHelperBar>("TAHObjParamBar", key, value, [&](const std::string& k) {
        if (k == "PARAMID")
            paramId_ = value;
        else if (k == "OBJPOINTER")
            pendingObject_ = value;
        else
            return TOwnKey::Other;
        TryBind();
        return TOwnKey::Set;
    });
}

} // namespace vesk
