#pragma once
// The render side of the object pools: the unit pools for particles and jets,
// the tick manager and the small round-robin list of prepared objects.
#include "render/obj_manager.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

// A pool of units of one class: each slot holds a unit made once with no
// parent; handing one out runs its Init with the parent; a discarded unit
// returns to its slot.
class BRUUnitPoolClass : public AbstractObjManagerClass {
public:
    BRUUnitPoolClass(std::string className, int32_t capacity, const std::string& name, int32_t growthStep);
    TBaseRenderUnit* Take(TBaseRenderUnit* parent);
    const std::string& UnitClassName() const { return className_; }

    void InitObject(ManagedObjectClass& slot) override;
    void DeInitObject(ManagedObjectClass& slot) override;

private:
    std::string className_;
};

class BRUManClass {
public:
    static constexpr int32_t kParticles = 2000, kParticlesGrowth = 500;
    static constexpr int32_t kJets = 200, kJetsGrowth = 200;

    BRUManClass() = default;
    ~BRUManClass() { Destroy(); }
    BRUManClass(const BRUManClass&) = delete;
    BRUManClass& operator=(const BRUManClass&) = delete;

    // The pools are made for the particle and jet classes once those are registered.
    void Create();
    // A unit of the class: particles and jets from their pools, others by their
    // virtual constructor (an unknown class is a fatal report; nullptr).
    TBaseRenderUnit* CreateInstance(const std::string& className, TBaseRenderUnit* parent);
    TBaseRenderUnit* GetBRU(const std::string& className, TBaseRenderUnit* parent) {
        return CreateInstance(className, parent);
    }
    void Destroy();
    BRUUnitPoolClass* Particles() const { return particles_; }
    BRUUnitPoolClass* Jets() const { return jets_; }

private:
    BRUUnitPoolClass* PoolFor(const std::string& className);
    BRUUnitPoolClass* particles_ = nullptr;
    BRUUnitPoolClass* jets_ = nullptr;
};
extern std::unique_ptr<BRUManClass> BRUMan;

// One record per tick-manager slot.
struct BRUTickedObjClass {
    int32_t field = 0;
};

class BRUTickManClass : public AbstractObjManagerClass {
public:
    static constexpr int32_t kCapacity = 5000, kGrowth = 1000;
    BRUTickManClass();
    // Registration only writes 0 into the unit's handle: units are ticked through the tree.
    void AddTickedObj(TBaseRenderUnit* unit, int32_t& handle);
    void RemoveTickedObj(TBaseRenderUnit*) {}

    void InitObject(ManagedObjectClass& slot) override;
    void DeInitObject(ManagedObjectClass& slot) override;
};
// Made at start-up, freed (Free) at shut-down.
extern BRUTickManClass* BRUTickMan;

// A named set of prepared objects handed out in turn.
class SwapManagerClass {
public:
    explicit SwapManagerClass(std::string name) : name_(std::move(name)) {}
    void Add(TEngineObject* o) { list_.push_back(o); }
    // The next object, round robin; an empty list is a fatal report (nullptr).
    TEngineObject* GetNextObj();
    // Frees every object of the list.
    void FreeObjects();
    int Count() const { return static_cast<int>(list_.size()); }
    const std::string& Name() const { return name_; }

private:
    std::vector<TEngineObject*> list_;
    int next_ = 0;
    std::string name_;
};

} // namespace vesk
