#include "world/fx_smoke.h"

#include "render/dynamic_position.h"
#include "render/engine.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_particle.h"

namespace vesk {

void FXSmokeClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80800000ull);
    // The particles are placed in the world where they were let go.
    SetFlag2(BRU2_CHILDREN_IDENTITY);
    timer_ = period_ = 0.0f;
    stopping_ = false;
    blendMode_ = 0;
    spread_ = {};
    particleId_.clear();
    particleTemplate_ = 0;
}

void FXSmokeClass::CreateFromLua(const std::string& id) {
    FXBaseClass::CreateFromLua(id);
    spread_.Read(id, "FXSmokeClass");
    particleId_ = FxKey(id, "particleID");
    const float frequency =
        kws2f(FxKey(id, "frequency"), "FXSmokeClass.CreateFromLua: " + id + ": frequency");
    // A smoke without a positive frequency has no period: it emits nothing.
    period_ = frequency > 0.0f ? 1.0f / frequency : 0.0f;
    if (frequency <= 0.0f)
        FastLogAddError("FXSmokeClass.CreateFromLua: " + id + ": frequency " + FloatToStrRaw(frequency) +
                        " is not above 0, the smoke emits nothing");
}

TBaseRenderUnit* FXSmokeClass::ParticleTemplate() const {
    auto* t = FindEngineObjectAs<TBaseRenderUnit>(particleTemplate_);
    return t && !t->InDestroyQueue() ? t : nullptr;
}

TBaseRenderUnit* FXSmokeClass::CreateCopy(TBaseRenderUnit* parent) {
    auto* copy = dynamic_cast<FXSmokeClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->blendMode_ = blendMode_;
    copy->stopping_ = stopping_;
    copy->spread_ = spread_;
    copy->particleId_ = particleId_;
    copy->particleTemplate_ = particleTemplate_;
    copy->timer_ = timer_;
    copy->period_ = period_;
    return copy;
}

void FXSmokeClass::OnSpawn(const FXDescrStruct& desc) {
    if (desc.SmokeTargetBRU) {
        SetPositionLinkByHelper(desc.SmokeTargetBRU, desc.SmokeHelper);
    } else if (desc.SmokeCarrier) {
        SetPositionLink(desc.SmokeCarrier);
    } else {
        ErrorReport("FXSmokeClass.SetFromDescStruct: FCarrier=nil: invalid params", "mhl");
        return;
    }
    UpdatePosition();
    if (!ParticleTemplate()) {
        TBaseRenderUnit* t = FindFXTemplate(particleId_);
        particleTemplate_ = t ? t->GetId() : 0;
    }
    FXDescrStruct sounds{};
    sounds.SoundPosition = position_;
    SpawnSounds(Engine, &sounds);
}

void FXSmokeClass::UpdatePosition() {
    if (!position_) return;
    MatrixSetTranslation(localMatrix_, position_->GetPos());
}

void FXSmokeClass::Tick(float dtMs) {
    int64_t start = 0;
    PerfomanceCounterClass::Start(start);
    FXBaseClass::Tick(dtMs);
    FXTick(dtMs);
    DebugOps.Smokes().Add(start);
}

void FXSmokeClass::FXTick(float dtMs) {
    if (IsRenderPaused() || HasFlag(BRU_KILLED)) return;
    timer_ -= 0.001f * dtMs;
    if (timer_ <= 0.0f) {
        if (!stopping_ && period_ > 0.0f) AddParticle();
        timer_ = period_;
    }
    int live = 0;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_) {
            if (!c) continue;
            if (!dynamic_cast<FXParticleClass*>(c)) {
                ErrorReport("FXSmokeClass._Tick: bru.ClassType<>FXParticleClass", "mhl");
                return;
            }
            if (!c->HasFlag(BRU_KILLED)) ++live;
        }
    if (stopping_ && live == 0) FXBaseClass::Kill();
}

void FXSmokeClass::AddParticle() {
    TBaseRenderUnit* t = ParticleTemplate();
    if (!t) {
        ErrorReport("FXSmokeClass.AddParticle: ParticleTemplate=nil", "mhl");
        return;
    }
    UpdatePosition();
    const FXDescrStruct none{};
    auto* p = dynamic_cast<FXParticleClass*>(SpawnEffect(t, this, &none));
    if (!p) return;
    p->SetBlendMode(blendMode_);
    p->SetPosition(MatrixGetTranslation(localMatrix_));
    spread_.Apply(*p);
}

void FXSmokeClass::Kill() {
    stopping_ = true;
}

void FXSmokeClass::Message(IEngineObject* sender, int msg, int param) {
    // The emitter is gone: the smoke stops where it last was, and its particles live out their lives.
    if (msg == EM_DYNAMIC_POSITION_LOST && sender && position_ &&
        sender->GetInstance() == position_->LinkObject())
        stopping_ = true;
    FXBaseClass::Message(sender, msg, param);
}

} // namespace vesk
