#include "physics/dyn_targets.h"

#include "physics/ph_owner.h"
#include "physics/ph_vector.h"
#include "render/fx_descr.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"

namespace vesk {

// ---- DynamicTargetPositionClass --------------------------------------------------------

DynamicTargetPositionClass* DynamicTargetPositionClass::Init(IEngineObject* carrier, TBaseRenderUnit* bru,
                                                             const std::string& helperName) {
    auto* t = New<DynamicTargetPositionClass>();
    t->carrier_ = carrier;
    if (helperName.empty()) {
        t->helper_ = bru;
    } else if (!bru) {
        ErrorReport("DynamicTargetPositionClass.Init: bru=nil)", "mhl");
    } else {
        HelperClass* h = nullptr;
        if (bru->FindHelper(helperName, h) && h)
            t->helper_ = h;
        else
            ErrorReport("DynamicTargetPositionClass.Init: not bru.GetHelper(\"" + helperName + "\",pHelper)",
                        "mhl");
    }
    if (bru) {
        t->bru_ = bru;
        t->AddMutualSubscriber(bru);
    }
    if (t->helper_ && t->helper_ != bru) t->AddMutualSubscriber(t->helper_);
    t->Refresh();
    return t;
}

void DynamicTargetPositionClass::Refresh() {
    if (!helper_) return;
    helper_->GetPosition(position_);
    matrix_ = helper_->GetWorldMatrix();
}

Vec3 DynamicTargetPositionClass::GetPosition() {
    Refresh();
    return position_;
}

Matrix DynamicTargetPositionClass::GetMatrix() {
    Refresh();
    return matrix_;
}

bool DynamicTargetPositionClass::GetBasis(Vec3& a, Vec3& b, Vec3& c) {
    if (IOwnerPhObj* ai = OwnerOfUnit(bru_)) {
        ai->GetBasis(a, b, c);
        return true;
    }
    a = {1, 0, 0}, b = {0, 1, 0}, c = {0, 0, 1};
    return false;
}

Vec3 DynamicTargetPositionClass::GetVelocity() {
    IOwnerPhObj* ai = OwnerOfUnit(bru_);
    return ai && ai->GetVelocityVector() ? ai->GetVelocityVector()->GetVector() : Vec3{};
}

void DynamicTargetPositionClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        // The last position and matrix stay as they were last seen.
        TEngineObject* gone = sender->GetInstance();
        if (gone == helper_) Refresh(), helper_ = nullptr;
        if (gone == bru_) {
            Refresh();
            bru_ = helper_ = nullptr;
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void DynamicTargetPositionClass::Free() {
    if (helper_ && helper_ != bru_) RemoveMutualSubscriber(helper_);
    if (bru_) RemoveMutualSubscriber(bru_);
    helper_ = bru_ = nullptr;
    TEngineObject::Free();
}

// ---- DynamicTargetBRUClass --------------------------------------------------------------

DynamicTargetBRUClass* DynamicTargetBRUClass::Init(TBaseRenderUnit* bru) {
    auto* t = New<DynamicTargetBRUClass>();
    t->bru_ = bru;
    if (bru) t->AddMutualSubscriber(bru);
    return t;
}

bool DynamicTargetBRUClass::GetTarget(TBaseRenderUnit* bru, const std::string& helperName,
                                      DynamicTargetPositionClass*& out) {
    if (!position_ && (bru || bru_)) {
        position_ = DynamicTargetPositionClass::Init(this, bru ? bru : bru_, helperName);
        AddMutualSubscriber(position_);
    }
    out = position_;
    return out != nullptr;
}

void DynamicTargetBRUClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == position_) {
            position_ = nullptr;
        } else if (gone == bru_) {
            bru_ = nullptr;
            // The target made for the dead unit goes with it.
            if (position_) {
                RemoveMutualSubscriber(position_);
                DynamicTargetPositionClass* gonePosition = std::exchange(position_, nullptr);
                if (TEODestroyManager)
                    gonePosition->Release();
                else
                    gonePosition->Free();
            }
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void DynamicTargetBRUClass::Free() {
    if (position_) {
        RemoveMutualSubscriber(position_);
        std::exchange(position_, nullptr)->Free();
    }
    if (bru_) RemoveMutualSubscriber(bru_);
    bru_ = nullptr;
    TEngineObject::Free();
}

// ---- the physics' dynamic targets --------------------------------------------------------

namespace {

class UnitDynamicTarget : public IDynamicTargetPosition {
public:
    explicit UnitDynamicTarget(TBaseRenderUnit* unit)
        : link_(DynamicTargetPositionClass::Init(nullptr, unit, "")) {}
    ~UnitDynamicTarget() override { link_->Free(); }
    UnitDynamicTarget(const UnitDynamicTarget&) = delete;
    UnitDynamicTarget& operator=(const UnitDynamicTarget&) = delete;

    Vec3 GetPos() override { return link_->GetPosition(); }
    Vec3 GetVelocity() override { return link_->GetVelocity(); }
    Vec3 GetDirection() override {
        const Vec3 v = GetVelocity();
        return Vec3Length(v) > 0.0f ? Vec3Normalize(v) : Vec3{1.0f, 0.0f, 0.0f};
    }
    Matrix GetMatrix() override { return link_->GetMatrix(); }
    TBaseRenderUnit* GetObject() override { return link_->GetTarget(); }
    TEngineObject* LinkObject() override { return link_; }

private:
    DynamicTargetPositionClass* link_;
};

} // namespace

std::unique_ptr<IDynamicTargetPosition> MakeUnitDynamicTarget(TEngineObject* target) {
    auto* unit = dynamic_cast<TBaseRenderUnit*>(target);
    if (!unit) return nullptr;
    return std::make_unique<UnitDynamicTarget>(unit);
}

} // namespace vesk
