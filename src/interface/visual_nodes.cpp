#include "interface/visual_nodes.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "game/game_object.h" // EM_OBJECT_DELETED
#include "interface/interface_tools.h"
#include "interface/key_names.h"
#include "platform/text.h"
#include "shared/helpers.h"
#include "shared/math.h"

namespace vesk {

float InterfaceScaleX = 1.0f;
float InterfaceScaleY = 1.0f;

// ---- THotKeyNode -------------------------------------------------------------------

namespace {
struct Modifier {
    const char* name;
    uint8_t bits;
};
constexpr Modifier kModifiers[] = {{"RCTRL", 1}, {"LCTRL", 8},       {"RALT", 2},
                                   {"LALT", 16}, {"RSHIFT", 4 + 64}, {"LSHIFT", 32 + 64}};

int ModifierBits(const std::string& name) {
    for (const Modifier& m : kModifiers)
        if (name == m.name) return m.bits;
    return -1;
}

int KeyOfName(const std::string& name) {
    if (name.empty()) return -1;
    int code = KeyCodeByName(name);
    if (code >= 0) return code;
    code = JoystickAxisCode(name);
    if (code >= 0) return code;
    static const std::string kButton = "JOYSTICK_BUTTON";
    if (name.size() > kButton.size() && name.compare(0, kButton.size(), kButton) == 0) {
        const std::string digits = name.substr(kButton.size());
        if (digits.size() <= 2 && digits.find_first_not_of("0123456789") == std::string::npos) {
            const int n = std::stoi(digits);
            if (n <= 31) return 1000 + n;
        }
    }
    return -1;
}
} // namespace

void THotKeyNode::SetHotKey(const std::string& text) {
    hotKeyText_ = text;
    SetHotKeyCode(HotKey(), 0);
    std::string rest = platform::UpperCaseCp1251(text);
    int bits = 0;
    if (rest.find('+') == std::string::npos) {
        if (int b = ModifierBits(rest); b >= 0) bits = b;
    }
    for (size_t plus = rest.find('+'); plus != std::string::npos; plus = rest.find('+')) {
        const int b = ModifierBits(rest.substr(0, plus));
        if (b < 0) {
            InterfaceFault("THotKeyNode.SetHotKey fault - wrong param: " + text, 2);
            return;
        }
        bits |= b;
        rest.erase(0, plus + 1);
    }
    SetHotKeyCode(KeyOfName(rest), static_cast<uint8_t>(bits));
}

void THotKeyNode::CopyTo(TSimpleNode* target) {
    TScriptNode::CopyTo(target);
    if (auto* t = dynamic_cast<THotKeyNode*>(target)) t->SetHotKey(hotKeyText_);
}

bool THotKeyNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TScriptNode>("THotKeyNode", key, value, [&](const std::string& k) {
        if (k != "HOTKEY") return TOwnKey::Other;
        SetHotKey(value);
        return TOwnKey::Set;
    });
}

bool THotKeyNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "HOTKEY") {
        value = hotKeyText_;
        return true;
    }
    return TScriptNode::GetProperty(key, value);
}

// ---- TRectNode -----------------------------------------------------------------------

namespace {
// std::lround for the screen's coordinates without the library call: the part
// after the point is taken exactly, and halves go away from zero.
int RoundCoordinate(double v) {
    if (!(std::fabs(v) < 1.0e9)) return static_cast<int>(std::lround(v));
    const auto whole = static_cast<double>(static_cast<int64_t>(v));
    const double part = v - whole;
    return static_cast<int>(whole + (part >= 0.5 ? 1.0 : part <= -0.5 ? -1.0 : 0.0));
}
} // namespace

TIRect ScaleRect(const TIRect& rect, uint8_t hmode, uint8_t vmode) {
    // Unanchored, a rectangle stands as it is: its whole coordinates need no rounding.
    if (hmode == kScaleNone && vmode == kScaleNone) return rect;
    const double kx = InterfaceScaleX, ky = InterfaceScaleY;
    const double L = rect.left, R = rect.right, T = rect.top, B = rect.bottom;
    double l = L, r = R, t = T, b = B;
    switch (hmode) {
    case kScaleNear:
        l = L * kx;
        r = R * kx;
        break;
    case kScaleFar:
        l = L + (kVirtualWidth - L) * (1 - kx);
        r = R + (kVirtualWidth - R) * (1 - kx);
        break;
    case kScaleCenter: {
        const double h = (R - L) / 2;
        l = L + h * (1 - kx);
        r = R - h * (1 - kx);
        break;
    }
    default:
        break;
    }
    switch (vmode) {
    case kScaleNear:
        t = T * ky;
        b = B * ky;
        break;
    case kScaleFar:
        t = T + (kVirtualHeight - T) * (1 - ky);
        b = B + (kVirtualHeight - B) * (1 - ky);
        break;
    case kScaleCenter:
        t = std::max(0.0, T + (kVirtualHeight / 2 - T) * (1 - ky));
        b = std::min(static_cast<double>(kVirtualHeight), B + (kVirtualHeight / 2 - B) * (1 - ky));
        break;
    default:
        break;
    }
    return {RoundCoordinate(l), RoundCoordinate(t), RoundCoordinate(r), RoundCoordinate(b)};
}

void TRectNode::SetLeft(int v) {
    if (v == left_) return;
    left_ = v;
    SetChanged(true);
}

void TRectNode::SetTop(int v) {
    if (v == top_) return;
    top_ = v;
    SetChanged(true);
}

void TRectNode::SetWidth(int v) {
    if (v == width_) return;
    width_ = v;
    SetChanged(true);
}

void TRectNode::SetHeight(int v) {
    if (v == height_) return;
    height_ = v;
    SetChanged(true);
}

void TRectNode::CenterOn(TIPoint p) {
    left_ = p.x - width_ / 2;
    top_ = p.y - height_ / 2;
    SetChanged(true);
}

TIRect TRectNode::GetRect() const {
    return {left_, top_, left_ + width_, top_ + height_};
}

TIRect TRectNode::GetScreenRect() const {
    TIRect r = GetRect();
    for (TSimpleNode* p = Parent(); p; p = p->Parent()) {
        if (TRectNode* rp = p->AsRect()) {
            r.left += rp->left_;
            r.right += rp->left_;
            r.top += rp->top_;
            r.bottom += rp->top_;
        }
    }
    return r;
}

TIRect TRectNode::GetScaledRect() const {
    return ScaleRect(GetScreenRect(), hscale_, vscale_);
}

void TRectNode::SetChanged(bool flag) {
    for (int i = 0; i < ChildCount(); ++i)
        if (TSimpleNode* n = ChildAt(i); n && n->AsRect()) n->AsRect()->SetChanged(flag);
}

bool TRectNode::IsUnderCursor() {
    const TIPoint c = InterfaceCursor();
    return GetScreenRect().Contains(c.x, c.y);
}

void TRectNode::CopyTo(TSimpleNode* target) {
    THotKeyNode::CopyTo(target);
    auto* t = dynamic_cast<TRectNode*>(target);
    if (!t) return;
    t->SetLeft(left_);
    t->SetTop(top_);
    t->SetWidth(width_);
    t->SetHeight(height_);
    // A copy is anchored on the real screen as its pattern is (markers and
    // list rows made from patterns would otherwise stand unscaled).
    t->hscale_ = hscale_;
    t->vscale_ = vscale_;
}

namespace {
uint8_t ModeOf(const std::string& value, const char* nearName, const char* farName) {
    const std::string v = platform::UpperCaseCp1251(value);
    if (v == nearName) return kScaleNear;
    if (v == farName) return kScaleFar;
    if (v == "CENTER") return kScaleCenter;
    return kScaleNone;
}
} // namespace

bool TRectNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<THotKeyNode>("TRectNode", key, value, [&](const std::string& k) {
        if (k == "LEFT")
            SetLeft(PropertyInt(value));
        else if (k == "TOP")
            SetTop(PropertyInt(value));
        else if (k == "WIDTH")
            SetWidth(PropertyInt(value));
        else if (k == "HEIGHT")
            SetHeight(PropertyInt(value));
        else if (k == "HSCALE")
            hscale_ = ModeOf(value, "LEFT", "RIGHT");
        else if (k == "VSCALE")
            vscale_ = ModeOf(value, "TOP", "BOTTOM");
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TRectNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "LEFT") {
        value = std::to_string(left_);
    } else if (k == "TOP") {
        value = std::to_string(top_);
    } else if (k == "WIDTH") {
        value = std::to_string(width_);
    } else if (k == "HEIGHT") {
        value = std::to_string(height_);
    } else {
        return THotKeyNode::GetProperty(key, value);
    }
    return true;
}

// ---- TOpacityNode ----------------------------------------------------------------------

void TOpacityNode::SetOpacity(float value) {
    if (value == opacity_) return;
    opacity_ = value;
    SetChanged(true);
    opacityType_ = value == 1.0f ? kOpacityParent : kOpacitySelf;
}

float TOpacityNode::GetOpacity() const {
    if (opacityType_ == kOpacityParent)
        for (TSimpleNode* p = Parent(); p; p = p->Parent())
            if (TOpacityNode* op = p->AsOpacity()) return op->GetOpacity();
    return opacity_;
}

void TOpacityNode::SetVisible(bool visible) {
    TRectNode::SetVisible(visible);
    opacity_ = visible ? 1.0f : 0.0f;
    if (!fading_) return;
    fading_ = false;
    // A later fade starts from rest, not from where this one was cut off.
    fadeRemaining_ = 0;
    opacityType_ = kOpacityParent;
    if (fadingIn_)
        FadeInComplete();
    else
        FadeOutComplete();
}

void TOpacityNode::FadeIn() {
    if (Visible() && !fading_) return;
    if (fading_ && fadingIn_) return; // a fade-in already runs on
    opacityType_ = kOpacitySelf;
    SetVisibleFlag(true);
    SetTicked(true);
    fading_ = true;
    fadingIn_ = true;
    fadeRemaining_ = fadeTime_ - fadeRemaining_;
    opacity_ = fadeTime_ ? 1.0f - static_cast<float>(fadeRemaining_) / static_cast<float>(fadeTime_) : 0.0f;
}

void TOpacityNode::FadeOut() {
    if (!Visible()) return;
    if (fading_ && !fadingIn_) return; // a fade-out already runs on
    opacityType_ = kOpacitySelf;
    SetVisibleFlag(true);
    SetTicked(true);
    fading_ = true;
    fadingIn_ = false;
    fadeRemaining_ = fadeTime_ - fadeRemaining_;
    opacity_ = fadeTime_ ? static_cast<float>(fadeRemaining_) / static_cast<float>(fadeTime_) : 1.0f;
}

void TOpacityNode::Tick(int ms) {
    TRectNode::Tick(ms);
    if (!fading_) return;
    if (fadePause_ > 0) {
        fadePause_ = std::max(0, fadePause_ - ms);
        return;
    }
    fadeRemaining_ -= ms;
    if (fadeRemaining_ < 1) {
        fadeRemaining_ = 0;
        fading_ = false;
        opacityType_ = kOpacityParent;
        if (!fadingIn_) SetVisible(false);
        if (fadingIn_)
            FadeInComplete();
        else
            FadeOutComplete();
    }
    const float share = fadeTime_ ? static_cast<float>(fadeRemaining_) / static_cast<float>(fadeTime_) : 0.0f;
    opacity_ = fadeTime_ == 0 ? 1.0f : fadingIn_ ? 1.0f - share : share;
    SetChanged(true);
}

void TOpacityNode::ExeMethod(const std::string& method) {
    const std::string m = platform::UpperCaseCp1251(method);
    if (m == "FADEIN")
        FadeIn();
    else if (m == "FADEOUT")
        FadeOut();
    else
        TRectNode::ExeMethod(method);
}

void TOpacityNode::CopyTo(TSimpleNode* target) {
    TRectNode::CopyTo(target);
    auto* t = dynamic_cast<TOpacityNode*>(target);
    if (!t) return;
    t->SetOpacity(GetOpacity());
    t->opacityType_ = opacityType_;
    t->fadePause_ = fadePause_;
    t->fadeTime_ = fadeTime_;
    t->onFadeIn_ = onFadeIn_;
    t->onFadeOut_ = onFadeOut_;
}

bool TOpacityNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TRectNode>("TOpacityNode", key, value, [&](const std::string& k) {
        if (k == "OPACITY") {
            opacity_ = static_cast<float>(PropertyInt(value)) / 100.0f;
        } else if (k == "OPACITYTYPE") {
            const std::string v = platform::UpperCaseCp1251(value);
            if (v == "SELF") opacityType_ = kOpacitySelf;
            if (v == "PARENT") opacityType_ = kOpacityParent;
        } else if (k == "ALPHAPAUSE") {
            fadePause_ = PropertyInt(value);
        } else if (k == "ALPHATIME") {
            fadeTime_ = PropertyInt(value);
        } else if (k == "ONFADEINCOMPLETE") {
            onFadeIn_ = value;
        } else if (k == "ONFADEOUTCOMPLETE") {
            onFadeOut_ = value;
        } else {
            return TOwnKey::Other;
        }
        return TOwnKey::Set;
    });
}

bool TOpacityNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "ALPHAPAUSE") {
        value = std::to_string(fadePause_);
    } else if (k == "ALPHATIME") {
        value = std::to_string(fadeTime_);
    } else {
        return TRectNode::GetProperty(key, value);
    }
    return true;
}

// ---- TFlashNode ------------------------------------------------------------------------

void TFlashNode::SetFlash(bool flag) {
    if (flag == flashing_) return;
    flashing_ = flag;
    accumulated_ = 0.0f;
    toggle_ = false;
    if (byVisibility_)
        SetVisible(!flag);
    else if (flag)
        ToggleOn();
    else
        FlashEnd();
}

void TFlashNode::StartTimedFlash() {
    countdown_ = flashTime_;
    SetFlash(true);
}

void TFlashNode::Tick(int ms) {
    TOpacityNode::Tick(ms);
    if (!flashing_) return;
    if (countdown_ > 0) {
        countdown_ -= ms;
        if (countdown_ < 1) {
            countdown_ = 0;
            SetFlash(false);
            return;
        }
    }
    accumulated_ += static_cast<float>(ms);
    if (accumulated_ >= static_cast<float>(period_)) {
        toggle_ = !toggle_;
        // The flash starts in its "on" state (hidden, or the toggle-on look).
        if (byVisibility_)
            SetVisible(toggle_);
        else if (toggle_)
            ToggleOff();
        else
            ToggleOn();
        accumulated_ = 0.0f;
    }
}

void TFlashNode::CopyTo(TSimpleNode* target) {
    TOpacityNode::CopyTo(target);
    auto* t = dynamic_cast<TFlashNode*>(target);
    if (!t) return;
    t->period_ = period_;
    t->flashTime_ = flashTime_;
    t->byVisibility_ = byVisibility_;
    t->SetFlash(flashing_);
}

bool TFlashNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TOpacityNode>("TFlashNode", key, value, [&](const std::string& k) {
        if (k == "FLASH")
            SetFlash(value == "1");
        else if (k == "FLASHVISIBLE")
            byVisibility_ = value == "1";
        else if (k == "FLASHTIME")
            flashTime_ = PropertyInt(value);
        else if (k == "FLASHFREQUENCY")
            period_ = PropertyInt(value);
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TFlashNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "FLASH") {
        value = TiTools::BoolToText(flashing_);
    } else if (k == "FLASHFREQUENCY") {
        value = std::to_string(period_);
    } else {
        return TOpacityNode::GetProperty(key, value);
    }
    return true;
}

// ---- TObjectNode -----------------------------------------------------------------------

void TObjectNode::SetObject(TEngineObject* object) {
    if (object == object_) return;
    if (object_) object_->RemoveSubscriber(this);
    if (object) object->AddSubscriber(this);
    object_ = object;
}

void TObjectNode::Message(IEngineObject* sender, int msg, int param) {
    if (object_ && sender && sender->GetInstance() == object_ &&
        (msg == EM_SENDER_IS_NO_LONGER_EXISTS || msg == EM_OBJECT_DELETED)) {
        object_ = nullptr;
        Release();
        SetName("deleted_" + Name());
        SetEnabled(false);
    }
    TFlashNode::Message(sender, msg, param);
}

void TObjectNode::Free() {
    SetObject(nullptr);
    TFlashNode::Free();
}

void TObjectNode::CopyTo(TSimpleNode* target) {
    TFlashNode::CopyTo(target);
    if (auto* t = dynamic_cast<TObjectNode*>(target)) t->SetObject(object_);
}

bool TObjectNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TFlashNode>("TObjectNode", key, value, [&](const std::string& k) {
        if (k == "--") return TOwnKey::Set;
        if (k != "OBJPOINTER") return TOwnKey::Other;
        int32_t id = 0;
        TEngineObject* o = TryParseInt32(value, id) ? FindEngineObjectById(id) : nullptr;
        if (!o) {
            InterfaceFault("TActiveHelper.SetProperty: ( iobj as IEngineObject) = nil", 2);
            return TOwnKey::Refused;
        }
        if (o == object_)
            InterfaceFault("TObjectNode.SetProperty: Try to create double ActiveHelper by name " + Name(), 2);
        SetObject(o);
        return TOwnKey::Set;
    });
}

bool TObjectNode::GetProperty(const std::string& key, std::string& value) {
    if (key == "--") {
        value.clear();
        return true;
    }
    return TFlashNode::GetProperty(key, value);
}

// ---- TTransformNode ----------------------------------------------------------------------

void TTransformNode::SetAngle(float a) {
    angle_ = a;
    SetChanged(true);
}

float TTransformNode::DrawTurn() const {
    // Most nodes keep the initial angle: no remainder to take.
    if (angle_ == kPi || !std::isfinite(angle_)) return 0.0f;
    const float turn = std::remainder(angle_ - kPi, kTwoPi);
    // What float rounding leaves of a whole turn is no turn: the node keeps
    // its plain, unresampled drawing.
    return std::fabs(turn) < 1e-5f ? 0.0f : turn;
}

void TTransformNode::SetScale(float s) {
    scale_ = s;
    SetChanged(true);
}

void TTransformNode::Tick(int ms) {
    TObjectNode::Tick(ms);
    if (Ticked() && rotation_ != 0.0f) SetAngle(angle_ + static_cast<float>(ms) * rotation_ / 1000.0f);
}

void TTransformNode::CopyTo(TSimpleNode* target) {
    TObjectNode::CopyTo(target);
    auto* t = dynamic_cast<TTransformNode*>(target);
    if (!t) return;
    t->SetAngle(angle_);
    t->rotation_ = rotation_;
    t->SetScale(scale_);
}

bool TTransformNode::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TObjectNode>("TTransformNode", key, value, [&](const std::string& k) {
        if (k == "ANGLE")
            SetAngle(PropertyFloat(value));
        else if (k == "ROTATION")
            rotation_ = static_cast<float>(PropertyInt(value)) / 100.0f;
        else if (k == "SCALE")
            SetScale(PropertyFloat(value));
        else
            return TOwnKey::Other;
        return TOwnKey::Set;
    });
}

bool TTransformNode::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "ANGLE") {
        value = FloatToStrRaw(angle_);
    } else if (k == "SCALE") {
        value = FloatToStrRaw(scale_);
    } else {
        return TObjectNode::GetProperty(key, value);
    }
    return true;
}

} // namespace vesk
