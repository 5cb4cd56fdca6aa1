// Copies of render units, effect spawning and the effect-template list.
#include "render/fx_descr.h"
#include "render/fx_templates.h"
#include "render/key_animation.h"
#include "render/managers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace vesk {

FXTemplateList FXTemplates;
FXTemplateList FXJetTemplates;
FXTemplateList FXOwnedTemplates;

// ---- template lists --------------------------------------------------------------------------

void FXTemplateList::Add(TBaseRenderUnit* unit) {
    if (unit) ids_.push_back(unit->GetId());
}

TBaseRenderUnit* FXTemplateList::Find(const std::string& name) const {
    for (int32_t id : ids_)
        if (auto* t = FindEngineObjectAs<TBaseRenderUnit>(id); t && t->GetName() == name) return t;
    return nullptr;
}

TBaseRenderUnit* FXTemplateList::At(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return FindEngineObjectAs<TBaseRenderUnit>(ids_[static_cast<size_t>(i)]);
}

void FXTemplateList::FreeAll() {
    for (int32_t id : ids_)
        if (auto* t = FindEngineObjectAs<TBaseRenderUnit>(id)) t->Free();
    ids_.clear();
}

void FXTemplateList::ReleaseAll() {
    for (int32_t id : ids_)
        if (auto* t = FindEngineObjectAs<TBaseRenderUnit>(id)) t->Release();
    ids_.clear();
}

void FreeFXTemplates() {
    FXTemplates.Clear();
    FXJetTemplates.Clear();
    FXOwnedTemplates.ReleaseAll();
}

// ---- copies ----------------------------------------------------------------------------------

namespace {

// The component's own copy bound to the copy, kept when it is of the link's kind.
template <class C> void CopyComponent(const C* from, C*& to, TBaseRenderUnit* copy) {
    if (!from) return;
    ClamClass* c = from->CreateCopy(copy);
    if (!c) return;
    auto* made = dynamic_cast<C*>(c);
    if (!made) {
        c->Free();
        return;
    }
    // One the copy's own Init made gives way to the copy of the original's.
    if (C* old = std::exchange(to, made)) old->Free();
}

} // namespace

TBaseRenderUnit* TBaseRenderUnit::CreateCopy(TBaseRenderUnit* parent) {
    if (HasFlag(BRU_DONTCREATECOPY)) {
        ErrorReport("TBaseRenderUnit.CreateCopy: _Is(BRU_DONTCREATECOPY): " + ClassName() + ", " + name_,
                    "mhl");
        return nullptr;
    }
    TBaseRenderUnit* copy = BRUMan ? BRUMan->CreateInstance(ClassName(), parent)
                                   : ClassManager.Create<TRenderUnitKind>(ClassName(), parent);
    if (!copy) return nullptr; // the class look-up has reported
    const std::string copyName = "_copy_of_" + name_ + "_" + IntToHex8(copy->GetId());
    copy->name_ = copyName;
    copy->localMatrix_ = localMatrix_;
    copy->viewportId_ = viewportId_;
    copy->flags_ = flags_;
    copy->flags2_ = flags2_;
    copy->lightMask_ = lightMask_;
    const UnitExtras& from = Cold();
    UnitExtras& to = copy->Extras();
    to.baseMatrix = from.baseMatrix;
    to.templ = from.templ;
    to.bsRadius = from.bsRadius;
    to.bsLocalCentre = from.bsLocalCentre;
    to.bsWorldCentre = from.bsWorldCentre;
    to.bsFrame = from.bsFrame;
    if (from.ownedSub) {
        to.ownedSub = from.ownedSub;
        copy->SetFlag2(BRU2_SHARED_SUBOBJECT);
        // Should the owner free it first, the copy hears of it and drops its link.
        from.ownedSub->AddSubscriber(copy);
    }
    CopyComponent(from.keyAnim, to.keyAnim, copy);
    CopyComponent(from.gameOps, to.gameOps, copy);
    CopyComponent(from.lights, to.lights, copy);
    CopyComponent(from.renderOps, to.renderOps, copy);
    CopyComponent(from.rotator, to.rotator, copy);
    to.strID = copyName;
    copy->ShareROList(*this);
    if (childs_)
        for (int i = 0; i < childs_->Count(); ++i) {
            TBaseRenderUnit* c = childs_->Get(i);
            if (!c || c->HasFlag(BRU_DONTCREATECOPY)) continue;
            TBaseRenderUnit* cc = c->CreateCopy(copy);
            if (!cc) continue;
            // The copy's spheres are the copy of this unit's spheres.
            if (c == from.bsContainer)
                copy->SetBSpheres(cc);
            else
                copy->AddChild(cc);
        }
    return copy;
}

// ---- spawning --------------------------------------------------------------------------------

TBaseRenderUnit* TBaseRenderUnit::SpawnEffect(TBaseRenderUnit* templ, TBaseRenderUnit* parent,
                                              const FXDescrStruct* desc) {
    if (!templ) return nullptr;
    TBaseRenderUnit* copy = templ->CreateCopy(parent);
    if (!copy) return nullptr;
    copy->SetTemplate(templ);
    if (desc) copy->OnSpawn(*desc);
    if (parent) parent->AddChild(copy);
    if (BRUTickMan) BRUTickMan->AddTickedObj(copy, *copy->TickHandle());
    return copy;
}

TBaseRenderUnit* TBaseRenderUnit::SpawnEffect2(IEngineObject* configuration) {
    TEngineObject* cfgObject = configuration ? configuration->GetInstance() : nullptr;
    IFXConfigBase* config = cfgObject ? cfgObject->Query<IFXConfigBase>() : nullptr;
    if (!config) {
        ErrorReport("TBaseRenderUnit.SpawnEffect2: _fConfig.QueryInterface(IID_IFXConfigBase, fCB)<>S_OK: " +
                        GetInfoStr(),
                    "mhl");
        return nullptr;
    }
    TBaseRenderUnit* copy = nullptr;
    try {
        TBaseRenderUnit* parent = config->GetParentBRU();
        // Without a parent the copy would hang nowhere: reported like any fault on the way.
        if (!parent) throw std::runtime_error("no parent unit");
        copy = CreateCopy(parent);
        if (!copy) throw std::runtime_error("no copy");
        config->SetFX(copy);
        copy->SetFromDescStruct(configuration);
        parent->AddChild(copy);
        if (BRUTickMan) BRUTickMan->AddTickedObj(copy, *copy->TickHandle());
        cfgObject->Release();
    } catch (const std::exception&) {
        ErrorReport("TBaseRenderUnit.SpawnEffect2: AV: _fC=" + IntToHex8(cfgObject->GetId()) +
                        ", ct=" + ClassName() + ", r=" + IntToHex8(copy ? copy->GetId() : 0),
                    "mhl");
        return nullptr;
    }
    return copy;
}

TBaseRenderUnit* TBaseRenderUnit::FindFXTemplate(const std::string& name, const FXTemplateList* list) {
    if (TBaseRenderUnit* t = (list ? list : &FXTemplates)->Find(name)) return t;
    ErrorReport("TBaseRenderUnit.FindFXTemplate: someone try spawn unregistered fx: \"" + name +
                    "\" (see \"data\\fx\\*.lua\")",
                "mhl");
    return nullptr;
}

} // namespace vesk
