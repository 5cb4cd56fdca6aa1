#pragma once
// The engine nozzles of a ship or a wing: a jet at each nozzle's attach point
// and a lamp that lights its surroundings, switched on and off by request and
// told the engine state every frame. A ship's controller also carries the
// jets and lamps of the wings mounted on it.
#include "shared/engine_object.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;
class TLampClass;
struct ShipMeshDesc;

// One nozzle with an effect: its jet and how it is asked for.
struct NozzleJetRecord {
    std::string fxName;
    std::string requestId; // helper name + the nozzle's index in the description
    std::string helperName;
    bool enabled = false;
    TBaseRenderUnit* jet = nullptr;
};
// Records are shared: a wing's jets sit in its own list and in its ship's.
using NozzleJetList = std::vector<std::shared_ptr<NozzleJetRecord>>;
using NozzleLampList = std::vector<TLampClass*>;

class NozzlesController : public TEngineObject {
public:
    // Empty lists, tied to the carrier: either hears of the other's end.
    static NozzlesController* Create(TBaseRenderUnit* carrier);

    // A jet and a lamp for every nozzle of the description.
    void CreateNozzles(const ShipMeshDesc& mesh);
    // Switches the jet of that request id on or off; an unknown id is a fatal report.
    void Request(const std::string& requestId, bool on);
    void AddJet(std::shared_ptr<NozzleJetRecord> record);
    void AddLamp(TLampClass* lamp);
    void AddJets(const NozzleJetList* list);
    void AddLamps(const NozzleLampList* list);
    // The listed jets are told their nozzle is gone and leave this controller.
    void RemoveJets(const NozzleJetList* list);
    // The listed lamps are killed and leave this controller.
    void RemoveLamps(const NozzleLampList* list);
    const NozzleJetList& GetJetList() const { return jets_; }
    const NozzleLampList& GetLampList() const { return lamps_; }
    // The engine state of the frame: each lamp glows at its base intensity
    // times `intensity`; jets take the two control values (their trail
    // lifetime scale b and spawn step scale a). Nothing with poor effects on.
    void Update(float intensity, float a, float b);
    void SetJetsVisible(bool on);
    TBaseRenderUnit* GetCarrier() const { return carrier_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    // The part of CreateNozzles for one entry.
    void CreateNozzle(const ShipMeshDesc& mesh, size_t index);
    void ForgetUnit(TEngineObject* gone);
    // Follows a jet or lamp so that its end leaves no stale entry.
    void Follow(TEngineObject* unit);

    NozzleJetList jets_;
    NozzleLampList lamps_;
    TBaseRenderUnit* carrier_ = nullptr;
    bool released_ = false;
};

// A unit with engine nozzles (ships and wings). GetNozzles(false) is the
// nozzle state, nullptr before any nozzle was built; GetNozzles(true) makes
// the controller.
class INozzleCarrier {
public:
    virtual NozzlesController* GetNozzles(bool make) = 0;

protected:
    ~INozzleCarrier() = default;
};

} // namespace vesk
