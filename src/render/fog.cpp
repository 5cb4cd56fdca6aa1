#include "render/fog.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/lua_readers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

using namespace platform;

namespace {

// The runtime's scientific number text: sign or blank, one digit, the point,
// 14 digits, "E", the exponent's sign and four exponent digits.
std::string ScientificText(double v) {
    if (std::isnan(v)) return "Nan";
    if (std::isinf(v)) return v < 0 ? "-Inf" : "+Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14E", std::fabs(v));
    std::string s = buf;
    const size_t e = s.find('E');
    const int exponent = std::atoi(s.c_str() + e + 1);
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%04d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return std::string(std::signbit(v) && v != 0 ? "-" : " ") + s.substr(0, e) + tail;
}

} // namespace

FogClass* FogClass::Create(IRenderStatesInterface* renderStates, TEngineObject* owner) {
    if (!renderStates) {
        ErrorReport("FogClass.Init: _fRSManager = nil", "mhl");
        return nullptr;
    }
    auto* fog = new FogClass();
    fog->states_ = renderStates;
    renderStates->AddRef();
    renderStates->StatesObject()->AddSubscriber(fog);
    fog->owner_ = owner;
    if (owner) owner->AddSubscriber(fog);
    fog->AddRef();
    return fog;
}

uint32_t FogClass::ReleaseRef() {
    const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) Free();
    return left;
}

std::string FogClass::Key() const {
    return "fog" + IntToHex8(GetId());
}

std::string FogClass::OwnerName() {
    if (!owner_) return "nil";
    if (auto* named = dynamic_cast<IObjectName*>(owner_)) return named->GetObjectName();
    return owner_->ClassName();
}

void FogClass::FogOn() {
    if (!states_) return;
    const std::string key = Key();
    states_->ClearStates(key);
    states_->ClearRestoreStates(key);
    states_->AddState(D3DRS_FOGENABLE, 0xFFFFFFFFu, key);
    states_->AddState(D3DRS_FOGCOLOR, color_, key);
    states_->AddState(D3DRS_FOGVERTEXMODE, type_, key);
    states_->AddState(D3DRS_FOGTABLEMODE, 0, key);
    states_->AddState(D3DRS_FOGSTART, FloatBits(start_), key);
    states_->AddState(D3DRS_FOGEND, FloatBits(end_), key);
    states_->AddState(D3DRS_FOGDENSITY, FloatBits(density_), key);
    states_->AddRestoreState(D3DRS_FOGENABLE, 0, "fog");
}

void FogClass::FogOff() {
    if (!states_) return;
    states_->ClearStates(Key());
    states_->ClearRestoreStates(Key());
}

void FogClass::NextFogType() {
    switch (type_) {
    case D3DFOG_NONE:
        type_ = D3DFOG_LINEAR;
        break;
    case D3DFOG_LINEAR:
        type_ = D3DFOG_EXP;
        break;
    case D3DFOG_EXP:
        type_ = D3DFOG_EXP2;
        break;
    default:
        type_ = D3DFOG_NONE;
        break;
    }
    FogOn();
}

void FogClass::AddDensity(float delta) {
    density_ += delta;
    FogOn();
}

void FogClass::AddDistEnd(float delta) {
    end_ += delta;
    FogOff();
    FogOn();
}

void FogClass::FogLoadFromLua(const std::string& meshName, const std::string& key) {
    const std::string entry = "mesh[" + LuaQuote(meshName) + "]";
    if (GetLuaStringDef(entry, "length(" + entry + "." + key + ")", "0") == "0") return;
    auto read = [&](const char* name) { return GetLuaString(entry + "." + key + "." + name, true); };
    const std::string context = "FogClass.FogLoadFromLua: " + OwnerName();
    if (read("fogEnable") == "0") {
        FogOff();
        return;
    }
    if (const std::string t = read("fogDist"); !t.empty()) end_ = kws2f(t, context + ", DistEnd");
    if (const std::string t = read("fogMode"); !t.empty()) {
        if (t == "exp")
            type_ = D3DFOG_EXP;
        else if (t == "exp2")
            type_ = D3DFOG_EXP2;
        else if (t == "linear")
            type_ = D3DFOG_LINEAR;
        else if (t == "none")
            type_ = D3DFOG_NONE;
        else
            ErrorReport(context + ", FogType", "mhl");
    }
    if (const std::string t = read("fogDensity"); !t.empty()) density_ = kws2f(t, context + ", fogDensity");
    if (const std::string t = read("fogColor"); !t.empty())
        color_ = uint32_t(kws2i("$" + t, context + ", fogColor"));
    if (density_ > 1e-5f) FogOn();
}

void FogClass::Dump() {
    char color[16];
    std::snprintf(color, sizeof color, "%08X", color_);
    FastLogAdd("FogType: " + std::to_string(type_) + ", Color: " + color +
               ", DistStart: " + ScientificText(start_) + ", DistEnd: " + ScientificText(end_) +
               ", Density: " + ScientificText(density_) + ", obj: " + OwnerName());
}

void FogClass::Message(IEngineObject* sender, int msg, int param) {
    TEngineObject::Message(sender, msg, param);
    if (msg != EM_SENDER_IS_NO_LONGER_EXISTS || !sender) return;
    TEngineObject* who = sender->GetInstance();
    if (owner_ && who == owner_) owner_ = nullptr;
    if (states_ && who == states_->StatesObject()) {
        // The set is going away: its reference dies with it, and so does this fog's.
        states_ = nullptr;
        ReleaseRef();
    }
}

void FogClass::DetachOwner() {
    if (owner_) std::exchange(owner_, nullptr)->RemoveSubscriber(this);
    ReleaseRef();
}

void FogClass::Free() {
    if (owner_) std::exchange(owner_, nullptr)->RemoveSubscriber(this);
    if (IRenderStatesInterface* states = std::exchange(states_, nullptr)) {
        states->StatesObject()->RemoveSubscriber(this);
        states->ReleaseRef();
    }
    TEngineObject::Free();
}

} // namespace vesk
