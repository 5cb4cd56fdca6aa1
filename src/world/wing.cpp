#include "world/wing.h"

#include "shared/errors.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/ship_builder.h"

#include <exception>
#include <utility>

namespace vesk {

namespace {
constexpr uint64_t kWingFlags = 0x00000020000C0000ull;
constexpr uint64_t kWingFlags2 = 0x1000010;
// A wing has one body, its attach points and spheres, sub-objects, helper
// effects and sky fog; no levels, nozzles of the build or shield.
constexpr uint32_t kWingBuildFlags = BRUB_CREATE_BASE | BRUB_CREATE_SUBOBJECTS | BRUB_CREATE_HELPERFX |
                                     BRUB_CREATE_SKYFOG | BRUB_CREATE_HELPERS | BRUB_CREATE_BSPHERES;
static_assert(kWingBuildFlags == 0x1463);

// The nozzle controller of the ship the wing hangs on; nullptr when it hangs on none.
INozzleCarrier* ShipNozzles(WorldGameOpsClass* ops, const std::string& wingName, const char* who) {
    TBaseRenderUnit* ship = nullptr;
    if (!ops || !ops->GetParentShip(ship) || !ship) return nullptr;
    auto* carrier = dynamic_cast<INozzleCarrier*>(ship);
    if (!carrier) ErrorReport(std::string(who) + ": " + wingName, "mhl");
    return carrier;
}
} // namespace

void WingClass::Init(TBaseRenderUnit* parent) {
    TBaseRenderUnit::Init(parent);
    SetFlag(kWingFlags);
    SetFlag2(kWingFlags2);
    meshName_.clear();
    nozzles_ = nullptr;
    gameOps_ = GameOpsOf(this);
}

void WingClass::Free() {
    DropNozzles();
    gameOps_ = nullptr;
    TBaseRenderUnit::Free();
}

void WingClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && sender->GetInstance() == nozzles_)
        nozzles_ = nullptr;
    TBaseRenderUnit::Message(sender, msg, param);
}

void WingClass::DoRender() {
    RenderShipPart(*this);
}

bool WingClass::GetBPU(IRenderUnitAI*& out) const {
    out = nullptr;
    if (!gameOps_) {
        ErrorReport("WingClass.GetBPU: fGameOps=nil", "mhl");
        return false;
    }
    TBaseRenderUnit* ship = nullptr;
    if (!gameOps_->GetParentShip(ship) || !ship) return false;
    return ship->GetBPU(out);
}

bool WingClass::LoadFromFile(const std::string& meshName, const std::string& unitName) {
    BRUBuilderClass* builder = BRUBuilderClass::Create(this, meshName, unitName, kWingBuildFlags);
    builder->Build();
    builder->Free();
    meshName_ = meshName;
    return true;
}

NozzlesController* WingClass::GetNozzles(bool make) {
    if (!nozzles_ && make) nozzles_ = NozzlesController::Create(this);
    return nozzles_;
}

void WingClass::DropNozzles() {
    if (NozzlesController* n = std::exchange(nozzles_, nullptr)) {
        n->RemoveSubscriber(this);
        RemoveMutualSubscriber(n);
        n->Free();
    }
}

void WingClass::OnAttach(TBaseRenderUnit* parent) {
    TBaseRenderUnit::OnAttach(parent);
    ShipMeshDesc mesh;
    if (FindShipMesh(meshName_, mesh)) GetNozzles(true)->CreateNozzles(mesh);
    INozzleCarrier* ship = ShipNozzles(gameOps_, GetName(), "WingClass.OnAttach");
    if (!ship || !nozzles_) return;
    NozzlesController* shipNozzles = ship->GetNozzles(true);
    shipNozzles->AddJets(&nozzles_->GetJetList());
    shipNozzles->AddLamps(&nozzles_->GetLampList());
}

void WingClass::OnDetach() {
    INozzleCarrier* ship = ShipNozzles(gameOps_, GetName(), "WingClass.OnDetach");
    // A ship that lost its controller (it is being discarded) has nothing of the wing's left.
    if (NozzlesController* shipNozzles = ship ? ship->GetNozzles(false) : nullptr; shipNozzles && nozzles_) {
        shipNozzles->RemoveJets(&nozzles_->GetJetList());
        shipNozzles->RemoveLamps(&nozzles_->GetLampList());
    }
    DropNozzles();
    TBaseRenderUnit::OnDetach();
}

bool WingClass::DiscardBRU() {
    if (GetAttachCount() > 0) OnDetach();
    if (NozzlesController* n = std::exchange(nozzles_, nullptr)) n->RemoveSubscriber(this);
    return TBaseRenderUnit::DiscardBRU();
}

} // namespace vesk
