#include "render/component.h"

#include "render/render_unit.h"
#include "shared/errors.h"

namespace vesk {

ClamClass* ClamClass::Create() {
    ErrorReport("ClamClass.Create: use Init(_carrier) instead", "mhl");
    return nullptr;
}

void ClamClass::Bind(IEngineObject* carrier) {
    carrier_ = carrier;
    if (carrier_) AddMutualSubscriber(carrier_);
}

void ClamClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && carrier_ && sender == carrier_) {
        CarrierLost();
        carrier_ = nullptr;
    }
    TEngineObject::Message(sender, msg, param);
}

void KillerClass::SetOther(IEngineObject* other) {
    if (other_) RemoveMutualSubscriber(other_);
    other_ = other;
    if (other_) AddMutualSubscriber(other_);
}

void KillerClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && sender == other_) {
        other_ = nullptr;
        // The partner went: the carrier goes with it.
        if (auto* unit = Carrier() ? dynamic_cast<TBaseRenderUnit*>(Carrier()->GetInstance()) : nullptr)
            unit->Kill();
    }
    ClamClass::Message(sender, msg, param);
}

} // namespace vesk
