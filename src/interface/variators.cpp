#include "interface/variators.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "core/lua_machine.h"
#include "interface/interface_tools.h"
#include "platform/text.h"
#include "shared/math.h"

namespace vesk {

std::function<void(float)> InterfaceCameraFov;

namespace {

constexpr const char* kFunctionNames[] = {"EXTERNAL", "LINE", "SQR", "SQRT", "SIN", "LAMBDA"};

// Colour values are ARGB in up to eight hexadecimal digits; bad text throws.
int32_t ValueOf(const std::string& text, bool hex) {
    if (!hex) return PropertyInt(text);
    if (text.empty() || text.size() > 8 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        }))
        throw std::invalid_argument("'$" + text + "' is not a valid integer value");
    return static_cast<int32_t>(std::stoul(text, nullptr, 16));
}

std::string ValueText(int32_t v, bool hex) {
    return hex ? ColorText(static_cast<uint32_t>(v)) : std::to_string(v);
}

// The Lua global vpr as a float, 0 when it is not a number.
float ReadVpr() {
    if (!LuaMachine || !LuaMachine->IsOpen()) return 0.0f;
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "vpr");
    const float v = lua_isnumber(L, -1) ? static_cast<float>(lua_tonumber(L, -1)) : 0.0f;
    lua_pop(L, 1);
    return v;
}

} // namespace

TVariator::TVariator() {
    SetVisible(false);
    SetEnabled(false);
    SetTicked(false);
}

TSimpleNode* TVariator::Control() const {
    return FindEngineObjectAs<TSimpleNode>(controlId_);
}

TVariator* TVariator::NextVar() const {
    return FindEngineObjectAs<TVariator>(nextVarId_);
}

void TVariator::SetControlNode(TSimpleNode* node) {
    controlId_ = node ? node->GetId() : 0;
}

void TVariator::Start() {
    forward_ = true;
    activationCountdown_ = activationTime_;
    remaining_ = time_;
    t_ = 0.0f;
    repeatCounter_ = repeat_;
    SetTicked(true);
}

void TVariator::Stop() {
    SetTicked(false);
    paused_ = false;
}

void TVariator::SetPause(bool flag) {
    if (flag && Ticked()) {
        SetTicked(false);
        paused_ = true;
    } else if (!flag && paused_) {
        SetTicked(true);
        paused_ = false;
    }
}

float TVariator::Curve(float t) {
    switch (function_) {
    case TVarFunction::Line:
        return t;
    case TVarFunction::Sqr:
        return t * t;
    case TVarFunction::Sqrt:
        return std::sqrt(std::max(t, 0.0f));
    case TVarFunction::Sin:
        return std::sin(2.0f * std::numbers::pi_v<float> * t);
    case TVarFunction::Lambda:
        return 3510.0f * std::pow(t, 8.163f) * std::exp(-8.163f * t);
    case TVarFunction::External: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "vpr=%.9g", static_cast<double>(t));
        TiTools::RunLua(buf);
        TiTools::RunLua("vpr=" + extFunc_);
        return ReadVpr();
    }
    }
    return t;
}

float TVariator::GetValue() {
    return Curve(t_) * static_cast<float>(end_ - begin_) + static_cast<float>(begin_);
}

void TVariator::Tick(int ms) {
    TScriptNode::Tick(ms);
    if (!Control()) return;
    if (activationCountdown_ != 0) {
        activationCountdown_ = std::max(0, activationCountdown_ - ms);
        return;
    }
    remaining_ = std::max(0, remaining_ - ms);
    // A zero time finishes the run at once.
    const float part = time_ > 0 ? static_cast<float>(remaining_) / static_cast<float>(time_) : 0.0f;
    t_ = forward_ ? 1.0f - part : part;
    GetValue();
    if (remaining_ != 0) return;
    if (repeat_ == 0 || repeatCounter_ > 1) {
        --repeatCounter_;
        remaining_ = time_;
        if (reverse_) forward_ = !forward_;
        t_ = forward_ ? 0.0f : 1.0f;
        return;
    }
    Stop();
    TiTools::RunLua(onComplete_);
    if (TVariator* next = NextVar()) next->Start();
}

void TVariator::ExeMethod(const std::string& method) {
    const std::string m = platform::UpperCaseCp1251(method);
    if (m == "STARTVAR")
        Start();
    else if (m == "STOPVAR")
        Stop();
    else
        TScriptNode::ExeMethod(method);
}

void TVariator::CopyTo(TSimpleNode* target) {
    TScriptNode::CopyTo(target);
    auto* v = dynamic_cast<TVariator*>(target);
    if (!v) return;
    // The control and the next variator go by name, as the copy's tree resolves them.
    if (TSimpleNode* c = Control(); c && c != this) v->SetControlName(c->Name());
    v->begin_ = begin_;
    v->end_ = end_;
    v->time_ = time_;
    v->activationTime_ = activationTime_;
    v->function_ = function_;
    v->extFunc_ = extFunc_;
    v->repeat_ = repeat_;
    v->reverse_ = reverse_;
    v->onComplete_ = onComplete_;
    if (TVariator* n = NextVar(); n && v->Parent()) v->SetNextVarName(n->Name());
    v->paused_ = paused_;
}

void TVariator::SetControlName(const std::string& name) {
    TSimpleNode* c = FindInTree(name, false);
    SetControlNode(c);
    if (!c)
        InterfaceFault("TVariator.SetControlName fault: control not found - " + name + ", variation name - " +
                           Name(),
                       2);
}

void TVariator::SetFunctionName(const std::string& name) {
    const std::string n = platform::UpperCaseCp1251(name);
    for (size_t i = 0; i < std::size(kFunctionNames); ++i) {
        if (n == kFunctionNames[i]) {
            function_ = static_cast<TVarFunction>(i);
            return;
        }
    }
    InterfaceFault("TVariator.SetFunctionName fault: unknow fuinction name - " + name +
                       ", variation name - " + Name(),
                   2);
}

void TVariator::SetNextVarName(const std::string& name) {
    int status = 0;
    TSimpleNode* from = Parent() ? Parent() : this;
    auto* next = dynamic_cast<TVariator*>(from->ChildByName(name, status, false, true));
    nextVarId_ = next ? next->GetId() : 0;
    if (!next)
        InterfaceFault("TVariator.SetNextVarName fault: unknow variation name - " + name +
                           ", variation name - " + Name(),
                       2);
}

bool TVariator::SetProperty(const std::string& key, const std::string& value) {
    return SetOwnProperty<TScriptNode>(FaultClass(), key, value, [&](const std::string& k) {
        if (k == "CONTROL") {
            SetControlName(value);
        } else if (k == "BEGINVALUE") {
            begin_ = ValueOf(value, HexValues());
        } else if (k == "ENDVALUE") {
            end_ = ValueOf(value, HexValues());
        } else if (k == "TIME") {
            time_ = PropertyInt(value);
        } else if (k == "ACTIVATIONTIME") {
            activationTime_ = PropertyInt(value);
        } else if (k == "REPEAT") {
            repeat_ = PropertyInt(value);
        } else if (k == "FUNCTION") {
            SetFunctionName(value);
        } else if (k == "EXTFUNC") {
            extFunc_ = value;
        } else if (k == "REVERSE") {
            reverse_ = value == "1";
        } else if (k == "NEXTVAR") {
            SetNextVarName(value);
        } else if (k == "ONVARCOMPLETE") {
            onComplete_ = value;
        } else if (k == "PAUSE") {
            SetPause(PropertyInt(value) != 0);
        } else {
            return TOwnKey::Other;
        }
        return TOwnKey::Set;
    });
}

bool TVariator::GetProperty(const std::string& key, std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "CONTROL") {
        TSimpleNode* c = Control();
        value = c ? c->Name() : std::string();
    } else if (k == "BEGINVALUE") {
        value = ValueText(begin_, HexValues());
    } else if (k == "ENDVALUE") {
        value = ValueText(end_, HexValues());
    } else if (k == "TIME") {
        value = std::to_string(time_);
    } else if (k == "ACTIVATIONTIME") {
        value = std::to_string(activationTime_);
    } else if (k == "REPEAT") {
        value = std::to_string(repeat_);
    } else if (k == "FUNCTION") {
        value = kFunctionNames[static_cast<size_t>(function_)];
    } else if (k == "EXTFUNC") {
        value = extFunc_;
    } else if (k == "REVERSE") {
        value = TiTools::BoolToText(reverse_);
    } else if (k == "NEXTVAR") {
        TVariator* n = NextVar();
        value = n ? n->Name() : std::string();
    } else if (k == "ONVARCOMPLETE") {
        value = onComplete_;
    } else if (k == "PAUSE") {
        value = TiTools::BoolToText(paused_);
    } else {
        return TScriptNode::GetProperty(key, value);
    }
    return true;
}

// ---- the subclasses ----------------------------------------------------------------

namespace {

template <class F> float ApplyRect(TVariator& v, float value, F apply) {
    TSimpleNode* c = v.Control();
    if (TRectNode* r = c ? c->AsRect() : nullptr) apply(*r, Round(value));
    return value;
}

// The rounded value to the control's property under key (the image and font properties).
float ApplyKey(TVariator& v, float value, const char* key) {
    if (TSimpleNode* c = v.Control()) c->SetProperty(key, std::to_string(Round(value)));
    return value;
}

} // namespace

float TVarTop::GetValue() {
    return ApplyRect(*this, TVariator::GetValue(), [](TRectNode& r, int v) { r.SetTop(v); });
}
float TVarLeft::GetValue() {
    return ApplyRect(*this, TVariator::GetValue(), [](TRectNode& r, int v) { r.SetLeft(v); });
}
float TVarWidth::GetValue() {
    return ApplyRect(*this, TVariator::GetValue(), [](TRectNode& r, int v) { r.SetWidth(v); });
}
float TVarHeight::GetValue() {
    return ApplyRect(*this, TVariator::GetValue(), [](TRectNode& r, int v) { r.SetHeight(v); });
}
float TVarOpacity::GetValue() {
    const float v = TVariator::GetValue();
    TSimpleNode* c = Control();
    if (TOpacityNode* o = c ? c->AsOpacity() : nullptr) o->SetOpacity(v / 100.0f);
    return v;
}
float TVarAngle::GetValue() {
    const float v = TVariator::GetValue();
    if (auto* t = dynamic_cast<TTransformNode*>(Control())) t->SetAngle(v / 1000.0f);
    return v;
}
float TVarImageTop::GetValue() {
    return ApplyKey(*this, TVariator::GetValue(), "IMAGETOP");
}
float TVarImageLeft::GetValue() {
    return ApplyKey(*this, TVariator::GetValue(), "IMAGELEFT");
}
float TVarImageWidth::GetValue() {
    return ApplyKey(*this, TVariator::GetValue(), "IMAGEWIDTH");
}
float TVarImageHeight::GetValue() {
    return ApplyKey(*this, TVariator::GetValue(), "IMAGEHEIGHT");
}
float TVarFontSize::GetValue() {
    return ApplyKey(*this, TVariator::GetValue(), "FONTSIZE");
}

uint32_t TColorVariator::ColorValue() {
    const float f = Curve(T());
    const auto b = static_cast<uint32_t>(BeginValue());
    const auto e = static_cast<uint32_t>(EndValue());
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float cb = static_cast<float>((b >> shift) & 0xFF) / 255.0f;
        const float ce = static_cast<float>((e >> shift) & 0xFF) / 255.0f;
        const float c = std::clamp((ce - cb) * f + cb, 0.0f, 1.0f);
        out |= static_cast<uint32_t>(std::lround(c * 255.0f)) << shift;
    }
    return out;
}

float TColorVariator::GetValue() {
    if (TSimpleNode* c = Control()) c->SetProperty(ColorKey(), ColorText(ColorValue()));
    return 0.0f;
}

float TVarFOV::GetValue() {
    const float v = TVariator::GetValue();
    if (InterfaceCameraFov) InterfaceCameraFov(v);
    return v;
}

void TVarNode::ExeMethod(const std::string& method) {
    const std::string m = platform::UpperCaseCp1251(method);
    if (m != "STARTVAR" && m != "STOPVAR") {
        TScriptNode::ExeMethod(method);
        return;
    }
    const bool start = m == "STARTVAR";
    for (int i = 0; i < ChildCount(); ++i) {
        if (auto* v = dynamic_cast<TVariator*>(ChildAt(i))) start ? v->Start() : v->Stop();
    }
    SetTicked(start);
}

void RegisterVariatorClasses() {
    ClassManager.RegisterClass<TNodeKind, TVariator>();
    ClassManager.RegisterClass<TNodeKind, TVarTop>();
    ClassManager.RegisterClass<TNodeKind, TVarLeft>();
    ClassManager.RegisterClass<TNodeKind, TVarWidth>();
    ClassManager.RegisterClass<TNodeKind, TVarHeight>();
    ClassManager.RegisterClass<TNodeKind, TVarOpacity>();
    ClassManager.RegisterClass<TNodeKind, TVarAngle>();
    ClassManager.RegisterClass<TNodeKind, TVarImageTop>();
    ClassManager.RegisterClass<TNodeKind, TVarImageLeft>();
    ClassManager.RegisterClass<TNodeKind, TVarImageWidth>();
    ClassManager.RegisterClass<TNodeKind, TVarImageHeight>();
    ClassManager.RegisterClass<TNodeKind, TVarColor>();
    ClassManager.RegisterClass<TNodeKind, TVarFrameColor>();
    ClassManager.RegisterClass<TNodeKind, TVarImageColor>();
    ClassManager.RegisterClass<TNodeKind, TVarTextColor>();
    ClassManager.RegisterClass<TNodeKind, TVarFontSize>();
    ClassManager.RegisterClass<TNodeKind, TVarFOV>();
    ClassManager.RegisterClass<TNodeKind, TVarNode>();
}

} // namespace vesk
