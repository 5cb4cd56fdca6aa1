#include "world/fx_sound.h"

#include "core/paths.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "sound/sound_buffers.h"
#include "sound/sound_engine.h"
#include "world/fx_shield.h"

#include <cmath>

namespace vesk {

namespace {

constexpr int kSpaceChannel = 7;
// Second-word flag: the channel is not moved with the unit.
constexpr uint64_t kNoChannelUpdate = 4ull << 32;

bool SoundOn() {
    return SoundEngine && SoundEngine->IsEnabled();
}

// An integer key, or the default when it is empty or no number.
int32_t IntKey(const std::string& text, int32_t def) {
    int32_t v = 0;
    return TryParseInt32(text, v) ? v : def;
}

} // namespace

Vec3 DopplerVelocity(const Vec3& v) {
    const float speed = Vec3Length(v);
    if (speed == 0.0f) return v;
    return Vec3Scale(v, std::atan(speed / kSoundDopplerSpeed) * kSoundDopplerMaxSpeed / 3.14f * 2.0f *
                            kSoundDopplerFactor / speed);
}

void FXSoundClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80000000ull | (64ull << 32));
    minRange_ = 100;
    maxRange_ = 1000;
    handle_ = -1;
    controller_ = nullptr;
    controllerId_ = 0;
    loop_ = false;
    priority_ = 1;
    target_ = nullptr;
    fileName_.clear();
}

ISoundController* FXSoundClass::Channel() {
    if (!controller_) return nullptr;
    if (FindEngineObjectById(controllerId_)) return controller_;
    controller_ = nullptr;
    controllerId_ = 0;
    FXBaseClass::Kill();
    return nullptr;
}

bool FXSoundClass::IsPlaying() const {
    return controller_ && FindEngineObjectById(controllerId_);
}

void FXSoundClass::Free() {
    controller_ = nullptr;
    controllerId_ = 0;
    if (target_) target_->RemoveSubscriber(this);
    target_ = nullptr;
    FXBaseClass::Free();
}

void FXSoundClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    fileName_ = FxKey(id, "name");
    loop_ = IntKey(FxKey(id, "loop"), -1) == 1;
    priority_ = IntKey(FxKey(id, "priority"), 1);
    minRange_ = IntKey(FxKey(id, "minrange"), 100);
    maxRange_ = IntKey(FxKey(id, "maxrange"), 1000);
    // The sound is registered once; every copy plays it through the same handle.
    if (SoundOn() && !fileName_.empty())
        handle_ = SoundEngine->Add(kSpaceChannel, DataPath + fileName_, 0, 0, "", loop_);
}

TBaseRenderUnit* FXSoundClass::CreateCopy(TBaseRenderUnit* parent) {
    if (!SoundOn()) return nullptr;
    auto* copy = dynamic_cast<FXSoundClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->fileName_ = fileName_;
    copy->handle_ = handle_;
    copy->loop_ = loop_;
    copy->minRange_ = minRange_;
    copy->maxRange_ = maxRange_;
    copy->priority_ = priority_;
    return copy;
}

void FXSoundClass::OnSpawn(const FXDescrStruct& desc) {
    if (desc.SoundPosition) {
        SetPositionLink(desc.SoundPosition);
    } else if (TBaseRenderUnit* t = desc.SoundTargetBRU ? desc.SoundTargetBRU : Parent()) {
        // A sound told of no place sounds where it was spawned (a helper's own sound).
        target_ = t;
        target_->AddSubscriber(this);
    }
    if (SoundOn() && handle_ >= 0) {
        SoundEngine->Play3DSound(kSpaceChannel, handle_, minRange_, maxRange_, priority_, this, controller_);
        // The channel's link to this unit goes when the sound has played out.
        auto* link = dynamic_cast<TEngineObject*>(controller_);
        controllerId_ = link ? link->GetId() : 0;
        if (!link) controller_ = nullptr;
    }
    std::string templateName;
    if (TBaseRenderUnit* t = GetTemplate()) templateName = t->GetName();
    SetName((Parent() ? Parent()->GetName() : std::string()) + "." + templateName + "_" + IntToHex8(GetId()));
    UpdateChannel();
    // Nothing plays: the effect has nothing to carry.
    if (!controller_) FXBaseClass::Kill();
}

void FXSoundClass::UpdateMatrices(const Matrix* parent) {
    FXBaseClass::UpdateMatrices(parent);
    if (!HasFlag(kNoChannelUpdate)) UpdateChannel();
}

void FXSoundClass::Tick(float dtMs) {
    int64_t start = 0;
    PerfomanceCounterClass::Start(start);
    FXBaseClass::Tick(dtMs);
    Channel();
    DebugOps.SoundsPC().Add(start);
}

void FXSoundClass::UpdateChannel() {
    ISoundController* channel = Channel();
    if (!channel) return;
    if (position_) {
        if (!HasFlag(BRU_KILLED)) channel->SetPositionVelocity(position_->GetPos(), position_->GetVelocity());
        return;
    }
    if (!target_) return;
    Vec3 at;
    target_->GetPosition(at);
    // A sound of a shield hit stays where the hit was.
    for (TBaseRenderUnit* u = target_->Parent(); u; u = u->Parent())
        if (InheritsFrom<FXShieldClass>(u)) {
            channel->SetPositionVelocity(at, {});
            return;
        } else if (!dynamic_cast<HelpersContainerBase*>(u)) {
            break;
        }
    IRenderUnitAI* ai = nullptr;
    const Vec3 v = target_->GetBPU(ai) && ai ? DopplerVelocity(ai->BodyVelocity()) : Vec3{};
    channel->SetPositionVelocity(at, v);
}

void FXSoundClass::Kill() {
    if (loop_) FXBaseClass::Kill();
}

void FXSoundClass::Message(IEngineObject* sender, int msg, int param) {
    TEngineObject* from = sender ? sender->GetInstance() : nullptr;
    const bool hadLink = position_ != nullptr;
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && from && from == static_cast<TEngineObject*>(target_)) {
        target_ = nullptr;
        FXBaseClass::Kill();
    } else if (msg == EM_DYNAMIC_POSITION_LOST && position_ && from == position_->LinkObject()) {
        FXBaseClass::Kill();
    }
    FXBaseClass::Message(sender, msg, param);
    // The link itself went with its carrier: the sound has nothing left to follow.
    if (hadLink && !position_) FXBaseClass::Kill();
}

} // namespace vesk
