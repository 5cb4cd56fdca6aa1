#include "render/helpers.h"

#include "platform/text.h"
#include "render/render_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <algorithm>
#include <exception>

namespace vesk {

int32_t HelperCount = 0;

namespace {

const bool kRegistered = RegisterRenderUnitClass<HelperClass>("HelperClass") &&
                         RegisterRenderUnitClass<UniHelperClass>("UniHelperClass");

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

} // namespace

// ---- helpers ---------------------------------------------------------------------------------

void HelperClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    tag_.clear();
    helperName_.clear();
    ++HelperCount;
}

void HelperClass::Free() {
    --HelperCount;
    TBaseRenderUnit::Free();
}

Vec3 HelperClass::GetScreenPos() const {
    // Always fresh: a helper is asked for its screen place between frames.
    const_cast<HelperClass*>(this)->UpdateScreenPos();
    return Cold().screenPos;
}

void HelperClass::Kill() {
    // The old name no longer finds the helper while it waits for the clean-up.
    tag_ = "_deleted" + tag_;
    helperName_ = "_deleted" + helperName_;
    TBaseRenderUnit::Kill();
}

bool HelperClass::GetParentShip(TBaseRenderUnit*& ship) const {
    ship = nullptr;
    try {
        const TBaseRenderUnit* u = this;
        for (;;) {
            if (u->HasFlag(BRU_SHIP)) {
                ship = const_cast<TBaseRenderUnit*>(u);
                return true;
            }
            if (!u->Parent()) return false;
            u = u->Parent();
        }
    } catch (const std::exception& e) {
        ErrorReport(std::string("HelperClass.GetParentShip AV: ") + e.what(), "mhl");
    }
    return false;
}

bool HelperClass::GetBPU(IRenderUnitAI*& out) const {
    out = nullptr;
    TBaseRenderUnit* ship = nullptr;
    if (!GetParentShip(ship)) return false;
    return ship->GetBPU(out);
}

void HelperClass::FillRenderList(int stage, int pass) {
    if (childs_)
        for (int i = 0; i < childs_->Count(); ++i)
            if (TBaseRenderUnit* c = childs_->Get(i)) c->FillRenderList(stage, pass);
}

void HelperClass::FillRenderLists() {
    FillChildRenderLists();
}

TBaseRenderUnit* HelperClass::CreateCopy(TBaseRenderUnit* parent) {
    TBaseRenderUnit* copy = TBaseRenderUnit::CreateCopy(parent);
    if (auto* h = dynamic_cast<HelperClass*>(copy)) {
        h->helperName_ = helperName_;
        h->tag_ = tag_;
    }
    return copy;
}

void UniHelperClass::Init(TBaseRenderUnit* parent) {
    HelperClass::Init(parent);
    location_ = location2_ = 0;
}

TBaseRenderUnit* UniHelperClass::CreateCopy(TBaseRenderUnit* parent) {
    TBaseRenderUnit* copy = HelperClass::CreateCopy(parent);
    if (auto* h = dynamic_cast<UniHelperClass*>(copy)) {
        h->location_ = location_;
        h->location2_ = location2_;
    }
    return copy;
}

// ---- containers ------------------------------------------------------------------------------

void HelpersContainerBase::InitContainer(TBaseRenderUnit* parent, const std::string& infix) {
    TBaseRenderUnit::Init(parent);
    normalizedValid_ = false;
    name_ = (parent ? parent->GetName() : std::string()) + infix + IntToHex8(static_cast<int32_t>(GetId()));
    SetFlag(BRU_DONTCREATECOPY);
    if (parent) {
        parent->AddChild(this);
        // The carrier drops its link when the container dies, and the other way round.
        AddMutualSubscriber(parent);
    }
}

void HelpersContainerBase::UpdateMatrices(const Matrix* parent) {
    if (!parent) {
        TBaseRenderUnit::UpdateMatrices(nullptr);
        return;
    }
    // Attach points keep their modelled offsets on a scaled carrier.
    if (!normalizedValid_ || !MatrixSameBits(*parent, normalizedFrom_)) {
        normalizedFrom_ = normalized_ = *parent;
        MatrixNormalizeColumns(normalized_);
        normalizedValid_ = true;
    }
    TBaseRenderUnit::UpdateMatrices(&normalized_);
}

void HelpersContainerBase::FillRenderList(int stage, int pass) {
    if (childs_)
        for (int i = 0; i < childs_->Count(); ++i)
            if (TBaseRenderUnit* c = childs_->Get(i)) c->FillRenderList(stage, pass);
}

void HelpersContainerBase::FillRenderLists() {
    FillChildRenderLists();
}

bool HelpersContainerBase::FindByName(const std::string& name, HelperClass*& out) const {
    out = nullptr;
    if (!childs_) return false;
    const std::string key = platform::UpperCaseCp1251(name);
    for (TBaseRenderUnit* c : *childs_) {
        auto* h = dynamic_cast<HelperClass*>(c);
        if (h && platform::UpperCaseCp1251(h->GetHelperName()) == key) {
            out = h;
            return true;
        }
    }
    return false;
}

void HelpersContainerBase::WorldPosition(const std::string& name, Vec3& out, const char* who) const {
    HelperClass* h = nullptr;
    if (!FindByName(name, h)) {
        ErrorReport(std::string(who) + ": helper not found in container: " + Quoted(name_) +
                        ", helpername: " + Quoted(name),
                    "mhl");
        return;
    }
    h->GetPosition(out);
}

void HelpersContainerBase::Remove(const std::string& name, const char* text) {
    HelperClass* h = nullptr;
    if (!FindByName(name, h)) {
        ErrorReport(text + name, "mhl");
        return;
    }
    h->Kill();
}

void HelpersContainerClass::Init(TBaseRenderUnit* parent) {
    InitContainer(parent, ".HC_");
    if (parent) {
        parent->Extras().helpers = this;
        const Matrix world = parent->GetWorldMatrix();
        UpdateMatrices(&world);
    }
}

HelperClass* HelpersContainerClass::AddHelper(const std::string& name, const Vec3& position) {
    HelperClass* h = TBaseRenderUnit::Create<HelperClass>(this);
    h->SetPosition(position);
    h->SetName(name + "_" + IntToHex8(static_cast<int32_t>(h->GetId())));
    h->SetHelperName(name);
    AddChild(h);
    h->UpdateMatrices(&worldMatrix_);
    return h;
}

void HelpersContainerClass::GetWHelper(const std::string& name, Vec3& out) const {
    WorldPosition(name, out, "HelpersContainerClass.GetWHelper");
}

void HelpersContainerClass::RemoveHelper(const std::string& name) {
    Remove(name, "HelpersContainerClass.RemoveHelper: not GetHelper(_func,helper): ");
}

void UHelpersContainerClass::Init(TBaseRenderUnit* parent) {
    InitContainer(parent, ".uhelpers_container_");
    if (parent) parent->Extras().uhelpers = this;
}

UniHelperClass* UHelpersContainerClass::AddUHelper(const std::string& name, const Vec3& position,
                                                   float radius) {
    UniHelperClass* h = TBaseRenderUnit::Create<UniHelperClass>(this);
    h->SetPosition(position);
    h->SetName(name);
    h->SetHelperName(name);
    h->SetRadius(radius);
    AddChild(h);
    h->UpdateMatrices(&worldMatrix_);
    return h;
}

bool UHelpersContainerClass::GetUHelper(const std::string& name, UniHelperClass*& out) const {
    HelperClass* h = nullptr;
    const bool found = FindByName(name, h);
    out = static_cast<UniHelperClass*>(h);
    return found;
}

bool UHelpersContainerClass::GetUHelperByIndex(int index, UniHelperClass*& out) const {
    out = nullptr;
    if (!childs_ || index < 0 || index >= childs_->Count()) return false;
    out = dynamic_cast<UniHelperClass*>(childs_->Get(index));
    return out != nullptr;
}

bool UHelpersContainerClass::IsUHelper(const TBaseRenderUnit* unit) const {
    return unit && childs_ && childs_->IndexOf(const_cast<TBaseRenderUnit*>(unit)) >= 0;
}

void UHelpersContainerClass::GetWUHelper(const std::string& name, Vec3& out) const {
    WorldPosition(name, out, "UHelpersContainerClass.GetWUHelper");
}

void UHelpersContainerClass::RemoveUHelper(const std::string& name) {
    Remove(name, "UHelpersContainerClass.RemoveUHelper: not GetUHelper(_func,uhelper): ");
}

// ---- the carrier's side ------------------------------------------------------------------------

HelperClass* TBaseRenderUnit::AddHelper(const std::string& name, const Vec3& position) {
    if (!HelpersContainer()) TBaseRenderUnit::Create<HelpersContainerClass>(this);
    return HelpersContainer()->AddHelper(name, position);
}

bool TBaseRenderUnit::FindHelper(const std::string& name, HelperClass*& out) const {
    out = nullptr;
    return HelpersContainer() && HelpersContainer()->GetHelper(name, out);
}

void TBaseRenderUnit::GetWHelper(const std::string& name, Vec3& out) const {
    if (HelpersContainer()) HelpersContainer()->GetWHelper(name, out);
}

void TBaseRenderUnit::RemoveHelper(const std::string& name) {
    if (!HelpersContainer()) {
        ErrorReport("TBaseRenderUnit.RemoveHelper: " + name_ + " have no helpers", "mhl");
        return;
    }
    HelpersContainer()->RemoveHelper(name);
}

UniHelperClass* TBaseRenderUnit::AddUHelper(const std::string& name, const Vec3& position, float radius) {
    if (!UHelpersContainer()) {
        TBaseRenderUnit::Create<UHelpersContainerClass>(this);
        UHelpersContainer()->UpdateMatrices(&worldMatrix_);
    }
    return UHelpersContainer()->AddUHelper(name, position, radius);
}

bool TBaseRenderUnit::FindUHelper(const std::string& name, UniHelperClass*& out) const {
    out = nullptr;
    return UHelpersContainer() && UHelpersContainer()->GetUHelper(name, out);
}

bool TBaseRenderUnit::GetUHelperByIndex(int index, UniHelperClass*& out) const {
    out = nullptr;
    return UHelpersContainer() && UHelpersContainer()->GetUHelperByIndex(index, out);
}

void TBaseRenderUnit::GetWUHelper(const std::string& name, Vec3& out) const {
    if (UHelpersContainer()) UHelpersContainer()->GetWUHelper(name, out);
}

void TBaseRenderUnit::RemoveUHelper(const std::string& name) {
    if (!UHelpersContainer()) {
        ErrorReport("TBaseRenderUnit.RemoveUHelper: " + name_ + " have no helpers", "mhl");
        return;
    }
    UHelpersContainer()->RemoveUHelper(name);
}

// ---- levels of detail --------------------------------------------------------------------------

void TBRULOD::AddLevel(const std::string& name, TRenderObject* ro, float distance) {
    levels_.push_back({name, distance, ro});
    SortLevels();
}

void TBRULOD::AddLevels(const std::vector<Level>* levels) {
    if (!levels) return;
    levels_.insert(levels_.end(), levels->begin(), levels->end());
    SortLevels();
}

void TBRULOD::SortLevels() {
    std::stable_sort(levels_.begin(), levels_.end(),
                     [](const Level& a, const Level& b) { return a.distance < b.distance; });
}

bool TBRULOD::GetROByDistance(float d, uint32_t& primitiveTotal, TRenderObject*& ro) const {
    primitiveTotal = 0;
    ro = nullptr;
    for (const Level& level : levels_) {
        ro = level.ro;
        if (ro) primitiveTotal += ro->PrimitiveTotal();
        if (level.distance > d) break;
    }
    return ro != nullptr;
}

bool TBRULOD::GetRO(int index, TRenderObject*& ro) const {
    ro = nullptr;
    if (index < 0 || index >= Count()) return false;
    ro = levels_[static_cast<size_t>(index)].ro;
    return ro != nullptr;
}

} // namespace vesk
