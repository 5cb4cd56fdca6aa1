#include "render/dynamic_position.h"

#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/math.h"

namespace vesk {

DynamicPositionClass* DynamicPositionClass::Init(TEngineObject* carrier, const std::string& helper,
                                                 TBaseRenderUnit* unit) {
    if (!helper.empty() && !unit) {
        ErrorReport("DynamicPositionClass.Init: bru=nil)", "mhl");
        return nullptr;
    }
    TBaseRenderUnit* followed = unit;
    if (!helper.empty()) {
        HelperClass* h = nullptr;
        if (!unit->FindHelper(helper, h) || !h) {
            ErrorReport("DynamicPositionClass.Init: not [" + unit->GetName() + "].GetHelper(\"" + helper +
                            "\",pHelper)",
                        "mhl");
            return nullptr;
        }
        followed = h;
    }
    auto* link = New<DynamicPositionClass>();
    link->carrier_ = carrier;
    link->unit_ = unit;
    link->followed_ = followed;
    link->helper_ = helper;
    // The link hears of the carrier's end (and goes with it) and of the followed units' end.
    if (carrier) carrier->AddSubscriber(link);
    if (unit) unit->AddSubscriber(link);
    if (followed && followed != unit) followed->AddSubscriber(link);
    link->Refresh();
    return link;
}

void DynamicPositionClass::Refresh() {
    if (!followed_) return;
    followed_->GetPosition(position_);
    matrix_ = followed_->GetWorldMatrix();
    IRenderUnitAI* ai = nullptr;
    direction_ = unit_ && unit_->GetBPU(ai) && ai ? ai->BodyDirection() : Vec3{1.0f, 0.0f, 0.0f};
}

Vec3 DynamicPositionClass::GetPos() {
    Refresh();
    return position_;
}

Matrix DynamicPositionClass::GetMatrix() {
    Refresh();
    return matrix_;
}

Vec3 DynamicPositionClass::GetVelocity() {
    IRenderUnitAI* ai = nullptr;
    if (unit_ && unit_->GetBPU(ai) && ai) return ai->BodyVelocity();
    return {};
}

Vec3 DynamicPositionClass::GetDirection() {
    Refresh();
    return direction_;
}

void DynamicPositionClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == carrier_) {
            carrier_ = nullptr;
            TEngineObject::Message(sender, msg, param);
            Release();
            return;
        }
        if (gone == followed_ || gone == unit_) {
            // The last pose stays; whoever follows through the link is told.
            if (followed_) {
                followed_->GetPosition(position_);
                matrix_ = followed_->GetWorldMatrix();
            }
            if (gone == followed_) followed_ = nullptr;
            if (gone == unit_) {
                unit_ = nullptr;
                followed_ = nullptr;
            }
            TEngineObject::Message(sender, msg, param);
            NotifyAllSubscribers(EM_DYNAMIC_POSITION_LOST, 0);
            return;
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void DynamicPositionClass::Free() {
    carrier_ = nullptr;
    unit_ = followed_ = nullptr;
    TEngineObject::Free();
}

void DropPositionLink(TEngineObject* holder, IDynamicTargetPosition*& link) {
    IDynamicTargetPosition* l = std::exchange(link, nullptr);
    if (!l) return;
    TEngineObject* o = l->LinkObject();
    if (!o) return;
    auto* dp = dynamic_cast<DynamicPositionClass*>(o);
    if (dp && holder && dp->Carrier() == holder) {
        o->Free();
        return;
    }
    if (holder) o->RemoveSubscriber(holder);
}

} // namespace vesk
