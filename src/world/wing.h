#pragma once
// A ship part with its own model that an item mounts on a ship: built like a
// ship, and while it hangs on a ship it lends its engine nozzles to the
// ship's nozzle controller.
#include "render/render_unit.h"
#include "world/nozzles.h"

#include <string>

namespace vesk {

class WorldGameOpsClass;

class WingClass : public TBaseRenderUnit, public INozzleCarrier {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void DoRender() override;
    bool GetBPU(IRenderUnitAI*& out) const override;
    // Nozzles of its own, lent to the ship it hangs on.
    void OnAttach(TBaseRenderUnit* parent) override;
    // Takes its nozzles back from the ship and drops them.
    void OnDetach() override;
    bool DiscardBRU() override;
    // Built from the mesh description with its base object, attach points,
    // spheres, sub-objects, helper effects and sky fog; true.
    bool LoadFromFile(const std::string& meshName, const std::string& unitName);
    NozzlesController* GetNozzles(bool make) override;
    const std::string& MeshName() const { return meshName_; }
    WorldGameOpsClass* GameOps() const { return gameOps_; }
    std::string ClassName() const override { return "WingClass"; }

    void Message(IEngineObject* sender, int msg, int param) override;

private:
    void DropNozzles();

    WorldGameOpsClass* gameOps_ = nullptr;
    std::string meshName_;
    NozzlesController* nozzles_ = nullptr;
};

} // namespace vesk
