#include "world/fx_burst.h"

#include "core/var_list.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_particle.h"
#include "world/fx_spawn.h"

namespace vesk {

void FXBurstClass::Init(TBaseRenderUnit* parent) {
    FXBaseClass::Init(parent);
    SetFlag(0x80804000ull);
    effectsOff_ = false;
    count_ = 0;
    spread_ = {};
    particleId_.clear();
    particleTemplate_ = 0;
    notAttached_ = false;
    anchor_ = nullptr;
}

void FXBurstClass::CreateFromLua(const std::string& id) {
    effectsOff_ = EffectsOffMode() == 1;
    count_ = kws2i(FxKey(id, "numParticles"), "FXBurstClass.CreateFromLua: " + id + ": numParticles");
    spread_.Read(id, "FXBurstClass");
    particleId_ = FxKey(id, "particleID");
    notAttached_ = FxKey(id, "notattached") == "1";
    FXBaseClass::CreateFromLua(id);
}

TBaseRenderUnit* FXBurstClass::ParticleTemplate() {
    auto* t = FindEngineObjectAs<TBaseRenderUnit>(particleTemplate_);
    return t && !t->InDestroyQueue() ? t : nullptr;
}

TBaseRenderUnit* FXBurstClass::CreateCopy(TBaseRenderUnit* parent) {
    // The template finds its particle template on its first copy (again after a reload).
    if (!ParticleTemplate()) {
        TBaseRenderUnit* t = FindFXTemplate(particleId_);
        particleTemplate_ = t ? t->GetId() : 0;
    }
    auto* copy = dynamic_cast<FXBurstClass*>(FXBaseClass::CreateCopy(parent));
    if (!copy) return nullptr;
    copy->effectsOff_ = effectsOff_;
    copy->count_ = count_;
    copy->spread_ = spread_;
    copy->particleId_ = particleId_;
    copy->particleTemplate_ = particleTemplate_;
    copy->notAttached_ = notAttached_;
    return copy;
}

void FXBurstClass::OnSpawn(const FXDescrStruct& desc) {
    if (EffectsOffMode() == 1) return;
    if (notAttached_) {
        Vec3 at;
        if (desc.BurstTargetBRU)
            desc.BurstTargetBRU->GetPosition(at);
        else if (desc.BurstInitiator)
            at = desc.BurstInitiator->GetPos();
        else {
            ErrorReport("FXBurstClass.SetFromDescStruct: FInitiator=nil: invalid params 2", "mhl");
            return;
        }
        // The burst stays where it was spawned: it follows a helper of its own there.
        if (!Engine) return;
        SetAnchor(Engine->AddHelper("!attached", at));
        SetPositionLinkByHelper(anchor_, "");
    } else if (!desc.BurstTargetBRU) {
        if (!desc.BurstInitiator) {
            ErrorReport("FXBurstClass.SetFromDescStruct: FInitiator=nil: invalid params 1", "mhl");
            return;
        }
        if (!desc.BurstInitiator->GetObject()) {
            ErrorReport("FXBurstClass.SetFromDescStruct: not FInitiator.GetObject(bru)", "mhl");
            return;
        }
        SetPositionLink(desc.BurstInitiator);
    } else {
        SetPositionLinkByHelper(desc.BurstTargetBRU, desc.BurstHelper);
    }
    UpdatePosition();
    AddParticles();
}

int FXBurstClass::SetFromDescStruct(IEngineObject* configuration) {
    TEngineObject* cfg = configuration ? configuration->GetInstance() : nullptr;
    auto* initiator = cfg ? cfg->Query<IFXInitiator>() : nullptr;
    if (!initiator) {
        ErrorReport("FXBurstClass.SetFromDescStruct: _fConfig.QueryInterface(IID_IFXInitiator, FInitiator)",
                    "mhl");
        return 0;
    }
    SetPositionLink(initiator->GetInitiator());
    if (EffectsOffMode() == 1) return 0;
    UpdatePosition();
    AddParticles();
    return 0;
}

void FXBurstClass::AddParticles() {
    TBaseRenderUnit* t = ParticleTemplate();
    if (!t) {
        ErrorReport("FXBurstClass.AddParticle: ParticleTemplate=nil", "mhl");
        return;
    }
    for (int32_t i = 0; i < count_; ++i) {
        auto* p = dynamic_cast<FXParticleClass*>(SpawnEffect(t, this, nullptr));
        if (!p) continue;
        spread_.Apply(*p);
        p->SetPosition({0, 0, 0});
    }
}

void FXBurstClass::UpdatePosition() {
    if (!position_) return;
    const Vec3 p = position_->GetPos();
    MatrixSetTranslation(localMatrix_, p);
    if (parent_ && parent_ != Engine) {
        // Under another unit the link's world point is carried into the parent's frame.
        Matrix inverse;
        if (MatrixInverse(parent_->GetWorldMatrix(), inverse))
            MatrixSetTranslation(localMatrix_, Vec3TransformCoord(p, inverse));
        UpdateMatrices(&parent_->GetWorldMatrix());
    } else {
        UpdateMatrices(nullptr);
    }
}

void FXBurstClass::Tick(float dtMs) {
    int64_t start = 0;
    PerfomanceCounterClass::Start(start);
    FXBaseClass::Tick(dtMs);
    int live = 0;
    if (childs_)
        for (TBaseRenderUnit* c : *childs_)
            if (c && !c->HasFlag(BRU_KILLED)) ++live;
    if (live == 0) Kill();
    UpdatePosition();
    DebugOps.BurstPC().Add(start);
}

void FXBurstClass::SetAnchor(HelperClass* helper) {
    if (anchor_) anchor_->RemoveSubscriber(this);
    anchor_ = helper;
    if (anchor_) anchor_->AddSubscriber(this);
}

void FXBurstClass::Kill() {
    if (HelperClass* a = std::exchange(anchor_, nullptr)) {
        a->RemoveSubscriber(this);
        a->Kill();
    }
    FXBaseClass::Kill();
}

void FXBurstClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && anchor_ &&
        sender->GetInstance() == static_cast<TEngineObject*>(anchor_))
        anchor_ = nullptr;
    FXBaseClass::Message(sender, msg, param);
}

} // namespace vesk
