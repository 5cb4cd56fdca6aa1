#include "world/nozzles.h"

#include "core/lua_adapter.h"
#include "render/fx_descr.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "world/fx_jet.h"
#include "world/mesh_source.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vesk {

namespace {
// Jets carry this mark of their own from Init on; the engine state reaches only them.
constexpr uint64_t kJetMark = 1ull << 32;
// The bits a request and a removal set on a jet unit.
constexpr uint64_t kJetRequested = 0x0000000200000000ull;
constexpr uint64_t kJetRemoved = 0x0000000400000000ull;
constexpr float kLampSize = 10.0f;

bool PoorEffects() {
    return GameIniText("poorfx") == "1";
}
} // namespace

NozzlesController* NozzlesController::Create(TBaseRenderUnit* carrier) {
    auto* c = New<NozzlesController>();
    c->carrier_ = carrier;
    if (carrier) c->AddMutualSubscriber(carrier);
    return c;
}

void NozzlesController::Follow(TEngineObject* unit) {
    if (unit && !unit->IsSubscriber(this)) unit->AddSubscriber(this);
}

void NozzlesController::CreateNozzles(const ShipMeshDesc& mesh) {
    const std::string name = carrier_ ? carrier_->GetName() : std::string();
    size_t index = 0;
    try {
        for (; index < mesh.nozzles.size(); ++index) CreateNozzle(mesh, index);
    } catch (const std::exception& e) {
        ErrorReport("ShipClass.CreateNozzles: " + name + ": nozzle " + std::to_string(index) + ": " +
                        e.what(),
                    "mhl");
    }
}

void NozzlesController::CreateNozzle(const ShipMeshDesc& mesh, size_t index) {
    const MeshNozzleDesc& n = mesh.nozzles[index];
    if (!carrier_) return;
    const std::string carrierName = carrier_->GetName();
    HelperClass* helper = nullptr;
    carrier_->FindHelper(n.helperName, helper);
    std::shared_ptr<NozzleJetRecord> record;
    float jetThickness = 0.0f;
    if (!n.fxName.empty()) {
        record = std::make_shared<NozzleJetRecord>();
        record->fxName = n.fxName;
        record->requestId = n.helperName + std::to_string(index);
        record->helperName = n.helperName;
        jets_.push_back(record);
        if (!helper) {
            ErrorReport("ShipClass.CreateNozzles: " + carrierName + ": GetHelper(" + n.helperName +
                            ",fxdesc.JetBRU)",
                        "mhl");
            return;
        }
        TBaseRenderUnit* templ = TBaseRenderUnit::FindFXTemplate(n.fxName);
        if (!templ) return;
        FXDescrStruct desc;
        desc.JetTargetBRU = helper;
        TBaseRenderUnit* jet = TBaseRenderUnit::SpawnEffect(templ, carrier_->GetRoot(), &desc);
        auto* fxJet = dynamic_cast<FXJetClass*>(jet);
        if (!fxJet) {
            ErrorReport("ShipClass.CreateNozzles: fxjet.ClassType<>FXJetClass", "mhl");
            return;
        }
        jet->SetName(carrierName + "_" + IntToHex8(carrier_->GetId()) + ".fxjet_" + IntToHex8(jet->GetId()));
        carrier_->AddMutualSubscriber(jet);
        record->jet = jet;
        Follow(jet);
        jetThickness = fxJet->GetThickness();
    }
    if (!PoorEffects()) {
        Vec3 at{};
        if (helper) at = MatrixGetTranslation(helper->GetLocalMatrix());
        TLampClass* lamp = TLampClass::Make(carrier_, "lamp for " + carrierName + "jet", at, kLampSize);
        if (helper) lamp->SetDynamicPosition(carrier_, n.helperName);
        lamps_.push_back(lamp);
        Follow(lamp);
        lamp->SetModeStatic();
        if (!n.color.empty()) {
            lamp->SetName(carrierName + ".jetlamp_" + IntToHex8(lamp->GetId()));
            const auto colour = static_cast<uint32_t>(kws2i("$" + n.color, "ShipClass.CreateNozzles: color"));
            lamp->SetColor(colour & 0x00FFFFFFu);
            lamp->SetMaxIntensity(static_cast<float>(colour >> 24) / 255.0f);
            lamp->SetTexture(n.texture);
            lamp->SetSize(n.size);
            lamp->SetSpeed(n.frequency);
            lamp->SetModeFlicker(n.percents * 0.01f);
        }
        lamp->SetGlowSize(record && record->jet ? 1.5f * jetThickness : n.size);
    }
    if (record && record->jet) Request(record->requestId, true);
}

void NozzlesController::Request(const std::string& requestId, bool on) {
    for (const auto& r : jets_) {
        if (r->requestId != requestId) continue;
        r->enabled = on;
        if (r->jet) {
            if (on)
                r->jet->SetFlag(kJetRequested);
            else
                r->jet->ClearFlag(kJetRequested);
        }
        return;
    }
    ErrorReport("Undefined request (bruFX name=\"" + (carrier_ ? carrier_->GetName() : std::string()) +
                    "\", FXIndex=\"" + requestId + "\")",
                "mhl");
}

void NozzlesController::AddJet(std::shared_ptr<NozzleJetRecord> record) {
    if (!record) return;
    Follow(record->jet);
    jets_.push_back(std::move(record));
}

void NozzlesController::AddLamp(TLampClass* lamp) {
    if (!lamp) return;
    Follow(lamp);
    lamps_.push_back(lamp);
}

void NozzlesController::AddJets(const NozzleJetList* list) {
    if (list)
        for (const auto& r : *list) AddJet(r);
}

void NozzlesController::AddLamps(const NozzleLampList* list) {
    if (list)
        for (TLampClass* l : *list) AddLamp(l);
}

void NozzlesController::RemoveJets(const NozzleJetList* list) {
    if (!list) return;
    const NozzleJetList gone = *list; // the list may be this controller's own
    for (const auto& r : gone) {
        if (r->jet) {
            r->jet->SetFlag(kJetRemoved);
            r->jet->RemoveSubscriber(this);
        }
        std::erase(jets_, r);
    }
}

void NozzlesController::RemoveLamps(const NozzleLampList* list) {
    if (!list) return;
    const NozzleLampList gone = *list;
    for (TLampClass* l : gone) {
        l->RemoveSubscriber(this);
        l->Kill();
        std::erase(lamps_, l);
    }
}

void NozzlesController::Update(float intensity, float a, float b) {
    if (PoorEffects()) return;
    for (const auto& r : jets_)
        if (auto* jet = dynamic_cast<FXJetClass*>(r->jet); jet && jet->HasFlag(kJetMark)) {
            jet->ScaleLifeTime(b);
            jet->ScaleSpawnTimeDelta(a);
        }
    for (TLampClass* l : lamps_) l->ScaleIntensity(intensity);
}

void NozzlesController::SetJetsVisible(bool on) {
    for (const auto& r : jets_)
        if (r->jet) r->jet->SetVisible(on);
}

void NozzlesController::ForgetUnit(TEngineObject* gone) {
    for (const auto& r : jets_)
        if (r->jet == gone) r->jet = nullptr;
    std::erase_if(lamps_, [gone](TLampClass* l) { return static_cast<TEngineObject*>(l) == gone; });
}

void NozzlesController::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == carrier_) {
            carrier_ = nullptr;
            // Nobody else holds the controller of a carrier that is gone.
            if (!released_ && !InDestroyQueue()) Release();
        } else {
            ForgetUnit(gone);
        }
    }
    TEngineObject::Message(sender, msg, param);
}

void NozzlesController::Free() {
    released_ = true;
    try {
        // The jets and lamps this controller made go with it: nothing else ends them.
        NozzleJetList jets;
        jets.swap(jets_);
        for (const auto& r : jets)
            if (r->jet) {
                r->jet->RemoveSubscriber(this);
                r->jet->Kill();
            }
        NozzleLampList lamps;
        lamps.swap(lamps_);
        for (TLampClass* l : lamps) {
            l->RemoveSubscriber(this);
            l->Kill();
        }
    } catch (const std::exception& e) {
        ErrorReport(std::string("NozzlesController.Free AV: ") + e.what() + " [" +
                        (carrier_ ? carrier_->GetName() : std::string()) + "] try release NozzlesJetList",
                    "mhl");
    }
    carrier_ = nullptr;
    TEngineObject::Free();
}

} // namespace vesk
